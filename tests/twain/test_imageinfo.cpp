// What the application learns of the page before it transfers it (DAT_IMAGEINFO), the frame it can read and set
// (DAT_IMAGELAYOUT) and the palette it can ask for (DAT_PALETTE8).
#include "TransferTestSupport.h"

#include "twain/CMsgImageInfo.h"
#include "twain/CMsgImageLayout.h"
#include "twain/CMsgPallette8.h"
#include "twain/CapabilityTable.h"
#include "twain/HostFlags.h"

namespace {

using namespace transfer_test;

class ImageInfoTest : public TransferTestRoot {
protected:
    void TearDown() override {
        g_bHostOffice = FALSE;
        TransferTestRoot::TearDown();
    }
    TW_UINT16 Info(TW_IMAGEINFO& info) { return Call(m_info, DAT_IMAGEINFO, MSG_GET, &info); }

    CMsgImageInfo m_info;
    CMsgImageLayout m_layout;
    CMsgPallette8 m_palette;
};

TEST_F(ImageInfoTest, EachColourModeDescribesItsPixels) {
    struct Expected {
        int colour;
        TW_INT16 pixelType, bitsPerPixel, samples;
        TW_INT16 bits[8];
    };
    const Expected modes[] = {{0, TWPT_BW, 1, 1, {1, 0, 0, 0, 0, 0, 0, 0}},
                              {1, TWPT_GRAY, 8, 1, {8, 0, 0, 0, 0, 0, 0, 0}},
                              {2, TWPT_RGB, 24, 3, {8, 8, 8, 0, 0, 0, 0, 0}}};
    m_assistor->SetState(600);
    for (const Expected& mode : modes) {
        SCOPED_TRACE("colour " + std::to_string(mode.colour));
        m_window->param.colorMode = mode.colour;
        m_window->dpi = 300;
        m_window->width = 2550;
        m_window->height = 3300;
        TW_IMAGEINFO info;
        std::memset(&info, 0x5A, sizeof info);
        ASSERT_EQ(Info(info), TWRC_SUCCESS);
        EXPECT_EQ(+info.XResolution.Whole, 300);
        EXPECT_EQ(+info.XResolution.Frac, 0);
        EXPECT_EQ(+info.YResolution.Whole, 300);
        EXPECT_EQ(+info.ImageWidth, 2550);
        EXPECT_EQ(+info.ImageLength, 3300);
        EXPECT_EQ(+info.PixelType, mode.pixelType);
        EXPECT_EQ(+info.BitsPerPixel, mode.bitsPerPixel);
        EXPECT_EQ(+info.SamplesPerPixel, mode.samples);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(+info.BitsPerSample[i], mode.bits[i]) << "sample " << i;
        EXPECT_EQ(+info.Planar, 0);
        EXPECT_EQ(+info.Compression, TWCP_NONE);
    }
}

// Turns by 90 and 270 degrees exchange the reported width and length; 180 does not.
TEST_F(ImageInfoTest, TheReportedSizeIsTheTransferredPage) {
    m_assistor->SetState(600);
    m_window->param.colorMode = 1;
    m_window->width = 2550;
    m_window->height = 3300;
    for (auto [rotation, width, height] :
         {std::tuple{0, 2550, 3300}, std::tuple{1, 3300, 2550}, std::tuple{2, 3300, 2550}, std::tuple{3, 2550, 3300}}) {
        m_window->param.adv[16] = rotation;
        TW_IMAGEINFO info{};
        ASSERT_EQ(Info(info), TWRC_SUCCESS);
        EXPECT_EQ(+info.ImageWidth, width) << "rotation " << rotation;
        EXPECT_EQ(+info.ImageLength, height) << "rotation " << rotation;
    }
}

// The page that auto-crop has cut before the page was announced is reported at its cropped size.
TEST_F(ImageInfoTest, AutoCroppedPageIsReportedCropped) {
    Announce(1, 75, 638, 877);
    g_bAutoCrop = TRUE;
    ScanBeforeXferReady();
    EXPECT_EQ(g_iScanThreadRet.load(), 0);
    EXPECT_EQ(g_nPageWidthBeforeFix.load(), 638);
    EXPECT_EQ(g_nPageHeightBeforeFix.load(), 877);
    TW_IMAGEINFO info{};
    ASSERT_EQ(Info(info), TWRC_SUCCESS);
    // The document lies at 1 inch from the corner, 6 x 8 inches: 450 x 600 pixels at 75 dpi, and a margin.
    EXPECT_GE(+info.ImageWidth, 450);
    EXPECT_LT(+info.ImageWidth, 500);
    EXPECT_GE(+info.ImageLength, 600);
    EXPECT_LT(+info.ImageLength, 650);
    g_bAutoCrop = FALSE;
}

TEST_F(ImageInfoTest, OnlyMsgGetInStateSix) {
    TW_IMAGEINFO info{};
    for (TW_UINT16 state : {400, 500, 700}) {
        m_assistor->SetState(state);
        EXPECT_EQ(Info(info), TWRC_FAILURE) << "state " << state;
        EXPECT_EQ(Condition(), TWCC_SEQERROR);
    }
    m_assistor->SetState(600);
    EXPECT_EQ(Call(m_info, DAT_IMAGEINFO, MSG_SET, &info), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
    EXPECT_EQ(Call(m_info, DAT_IMAGEINFO, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
}

// The layout reports the frame the next window-less scan takes (its paper from the bed's corner, or the frame the
// application set; Office: the letter-wide A4 frame as its default) and fixed numbers in every state; a frame the
// application sets becomes the area of the scan without the window.
TEST_F(ImageInfoTest, LayoutReportsTheWindowlessFrameAndTakesTheApplicationsOne) {
    InitCapabilityTable();
    for (TW_UINT16 state : {300, 500, 700}) {
        m_assistor->SetState(state);
        for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
            TW_IMAGELAYOUT layout;
            std::memset(&layout, 0x33, sizeof layout);
            ASSERT_EQ(Call(m_layout, DAT_IMAGELAYOUT, msg, &layout), TWRC_SUCCESS) << "state " << state;
            EXPECT_EQ(Fix32ToFloat(layout.Frame.Left), 0.0f);
            EXPECT_EQ(Fix32ToFloat(layout.Frame.Top), 0.0f);
            EXPECT_NEAR(Fix32ToFloat(layout.Frame.Right), 210 / 25.4, 1e-4) << "A4 is the window-less paper";
            EXPECT_NEAR(Fix32ToFloat(layout.Frame.Bottom), 297 / 25.4, 1e-4);
            EXPECT_EQ(+layout.DocumentNumber, 4u);
            EXPECT_EQ(+layout.PageNumber, 88u);
            EXPECT_EQ(+layout.FrameNumber, 1u);
        }
    }
    g_nTwainScanSize = TWSS_USLETTER;
    TW_IMAGELAYOUT letter{};
    ASSERT_EQ(Call(m_layout, DAT_IMAGELAYOUT, MSG_GET, &letter), TWRC_SUCCESS);
    EXPECT_NEAR(Fix32ToFloat(letter.Frame.Right), 8.5, 1e-4);
    EXPECT_NEAR(Fix32ToFloat(letter.Frame.Bottom), 11, 1e-4);
    g_nTwainScanSize = TWSS_A4;
    g_bHostOffice = TRUE;
    TW_IMAGELAYOUT layout{};
    ASSERT_EQ(Call(m_layout, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(+layout.Frame.Right.Whole, 8);
    EXPECT_EQ(+layout.Frame.Right.Frac, 32768);
    EXPECT_EQ(+layout.Frame.Bottom.Whole, 11);
    EXPECT_EQ(+layout.Frame.Bottom.Frac, 45219) << "11.69 inches";

    float left = 0, top = 0, right = 0, bottom = 0;
    EXPECT_FALSE(GetApplicationFrame(left, top, right, bottom));
    layout.Frame = {FloatToFix32(0.5f), FloatToFix32(1.0f), FloatToFix32(4.25f), FloatToFix32(6.5f)};
    ASSERT_EQ(Call(m_layout, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
    ASSERT_TRUE(GetApplicationFrame(left, top, right, bottom));
    EXPECT_EQ(left, 0.5f);
    EXPECT_EQ(top, 1.0f);
    EXPECT_EQ(right, 4.25f);
    EXPECT_EQ(bottom, 6.5f);
    TW_IMAGELAYOUT back{};
    ASSERT_EQ(Call(m_layout, DAT_IMAGELAYOUT, MSG_GETCURRENT, &back), TWRC_SUCCESS);
    EXPECT_EQ(Fix32ToFloat(back.Frame.Right), 4.25f) << "the application's frame is the one the scan takes";
    EXPECT_EQ(Fix32ToFloat(back.Frame.Bottom), 6.5f);
    EXPECT_EQ(Call(m_layout, DAT_IMAGELAYOUT, MSG_RESET, &layout), TWRC_SUCCESS);
    EXPECT_TRUE(GetApplicationFrame(left, top, right, bottom)) << "a reset changes nothing";
    EXPECT_EQ(Call(m_layout, DAT_IMAGELAYOUT, MSG_GETFIRST, &layout), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
    EXPECT_EQ(Call(m_layout, DAT_IMAGELAYOUT, MSG_SET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    FreeCapabilityTable();
}

TEST_F(ImageInfoTest, PaletteIsEmptyAndOnlyGetDefaultSetAndResetAreTaken) {
    TW_PALETTE8 palette;
    for (TW_UINT16 state : {400, 500, 600}) {
        m_assistor->SetState(state);
        std::memset(&palette, 0x77, sizeof palette);
        ASSERT_EQ(Call(m_palette, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
        EXPECT_EQ(+palette.NumColors, 0);
        EXPECT_EQ(+palette.PaletteType, TWPA_RGB);
        EXPECT_EQ(+palette.Colors[0].Index, 0x77) << "no entries are written";
        for (TW_UINT16 msg : {MSG_GETDEFAULT, MSG_SET, MSG_RESET})
            EXPECT_EQ(Call(m_palette, DAT_PALETTE8, msg, &palette), TWRC_SUCCESS);
    }
    EXPECT_EQ(Call(m_palette, DAT_PALETTE8, MSG_GETCURRENT, &palette), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
    m_assistor->SetState(700);
    EXPECT_EQ(Call(m_palette, DAT_PALETTE8, MSG_GET, &palette), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
}

} // namespace
