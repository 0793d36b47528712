// Controls that sit on the dialog's background: the hand-drawn group frame, the coloured check box and the slider
// painted over a snapshot of the dialog.
#include "TestHost.h"
#include "ui/controls/CTransCheckBox.h"
#include "ui/controls/CTransparentSlider.h"
#include "ui/controls/Trans_GroupBox.h"

#include <gtest/gtest.h>

namespace {

using namespace controls_test;

constexpr const char* kTemplate = R"(DIALOGEX 20, 20, 200, 120
STYLE WS_POPUP | WS_VISIBLE
BEGIN
    GROUPBOX "", 100, 10, 10, 80, 40
    GROUPBOX "Group", 101, 110, 10, 80, 40
    AUTOCHECKBOX "Option", 102, 10, 60, 80, 12
    CONTROL "", 103, "msctls_trackbar32", WS_TABSTOP, 10, 80, 180, 20
END
)";

class TransparentTest : public ::testing::Test {
protected:
    TestHost host;
    Trans_GroupBox emptyBox, captionBox;
    CTransCheckBox checkBox;
    CTransparentSlider slider;

    void SetUp() override {
        ASSERT_TRUE(host.Open(kTemplate));
        emptyBox.SubclassDlgItem(100, &host);
        captionBox.SubclassDlgItem(101, &host);
        checkBox.SubclassDlgItem(102, &host);
        slider.SubclassDlgItem(103, &host);
        slider.SetRange(0, 100, TRUE);
        host.Repaint();
    }
    void TearDown() override { host.DestroyWindow(); }

    // The first row from the top whose pixel at x has the frame colour.
    int FrameTop(CWnd& box, int x) {
        CRect r;
        box.GetClientRect(&r);
        for (int y = 0; y < r.Height(); ++y)
            if (ut::WindowPixel(box.m_hWnd, x, y) == RGB(0xAC, 0xAC, 0xAC))
                return y;
        return -1;
    }
};

TEST_F(TransparentTest, AGroupBoxWithAnEmptyCaptionLeavesAGapFrom8To14) {
    const int top = FrameTop(emptyBox, 1);
    ASSERT_GT(top, 0) << "the left edge of the frame";
    for (int x : {1, 4, 7})
        EXPECT_EQ(ut::WindowPixel(emptyBox.m_hWnd, x, top), RGB(0xAC, 0xAC, 0xAC)) << "x " << x;
    for (int x : {8, 12, 14})
        EXPECT_EQ(ut::WindowPixel(emptyBox.m_hWnd, x, top), kLeftColour) << "gap at x " << x;
    for (int x : {15, 30, 100})
        EXPECT_EQ(ut::WindowPixel(emptyBox.m_hWnd, x, top), RGB(0xAC, 0xAC, 0xAC)) << "x " << x;
    EXPECT_EQ(ut::WindowPixel(emptyBox.m_hWnd, 30, top + 5), kLeftColour) << "the inside is not painted";
}

TEST_F(TransparentTest, AGroupBoxCaptionIsMeasuredAndItsGapFollowsIt) {
    const RECT caption = captionBox.GetCaptionRect();
    EXPECT_EQ(caption.left, 12);
    EXPECT_EQ(caption.top, 1);
    EXPECT_GT(caption.right, 12);
    const int top = FrameTop(captionBox, 1);
    ASSERT_GT(top, 0);
    EXPECT_NE(ut::WindowPixel(captionBox.m_hWnd, caption.right + 2, top), RGB(0xAC, 0xAC, 0xAC));
    EXPECT_EQ(ut::WindowPixel(captionBox.m_hWnd, caption.right + 3, top), RGB(0xAC, 0xAC, 0xAC));

    captionBox.SetFrameStyle(Trans_GroupBox::kCaptionOnly);
    host.RedrawWindow(nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ut::RunPendingMessages();
    EXPECT_EQ(FrameTop(captionBox, 1), -1) << "caption only: no frame";
}

TEST_F(TransparentTest, AGroupBoxOfARightToLeftLayoutHasItsCaptionGapAtTheRight) {
    emptyBox.ModifyStyleEx(0, WS_EX_RTLREADING);
    host.Repaint();
    CRect r;
    emptyBox.GetClientRect(&r);
    const int right = r.Width() - 1;
    const int top = FrameTop(emptyBox, right - 1);
    ASSERT_GT(top, 0) << "the right edge of the frame";
    for (int x : {8, 12, 14})
        EXPECT_EQ(ut::WindowPixel(emptyBox.m_hWnd, right - x, top), kLeftColour)
            << "gap at x " << x << " from the right";
    for (int x : {1, 4, 30})
        EXPECT_EQ(ut::WindowPixel(emptyBox.m_hWnd, right - x, top), RGB(0xAC, 0xAC, 0xAC)) << "x " << x;
}

TEST_F(TransparentTest, TheCheckBoxPaintsItsColourAndRepaintsWithoutNewObjects) {
    checkBox.SetBkColor(RGB(0xDA, 0xDA, 0xDA));
    checkBox.Invalidate();
    ut::RunPendingMessages();
    CRect r;
    checkBox.GetClientRect(&r);
    EXPECT_EQ(ut::WindowPixel(checkBox.m_hWnd, r.right - 2, r.bottom - 2), RGB(0xDA, 0xDA, 0xDA));
    const int before = platform::gdi::LiveObjectCount();
    for (int i = 0; i < 200; ++i) {
        checkBox.Invalidate();
        ut::RunPendingMessages();
    }
    EXPECT_EQ(platform::gdi::LiveObjectCount(), before);
    checkBox.SetBkColor(RGB(0xF9, 0xF9, 0xF9));
    checkBox.Invalidate();
    ut::RunPendingMessages();
    EXPECT_EQ(ut::WindowPixel(checkBox.m_hWnd, r.right - 2, r.bottom - 2), RGB(0xF9, 0xF9, 0xF9));
    EXPECT_EQ(platform::gdi::LiveObjectCount(), before) << "the old brush gives way to the new one";
}

TEST_F(TransparentTest, TheSliderShowsTheDialogBackgroundAroundChannelAndThumb) {
    ASSERT_TRUE(slider.HasSnapshot());
    CRect client, channel, thumb;
    slider.GetClientRect(&client);
    slider.GetChannelRect(&channel);
    slider.GetThumbRect(&thumb);
    POINT leftTop{1, 1}, rightTop{client.right - 2, 1};
    slider.MapWindowPoints(&host, &leftTop, 1);
    slider.MapWindowPoints(&host, &rightTop, 1);
    EXPECT_EQ(ut::WindowPixel(slider.m_hWnd, 1, 1), kLeftColour) << "the left half of the dialog shows through";
    EXPECT_EQ(ut::WindowPixel(slider.m_hWnd, client.right - 2, 1), kRightColour);
    EXPECT_NE(ut::WindowPixel(slider.m_hWnd, (thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2),
              kLeftColour)
        << "the thumb is drawn on top";
    const int channelY = (channel.top + channel.bottom) / 2;
    const int channelX = client.right - 30;
    EXPECT_NE(ut::WindowPixel(slider.m_hWnd, channelX, channelY), kRightColour) << "the channel is drawn on top";
}

TEST_F(TransparentTest, TheSliderKeepsItsFirstSnapshot) {
    host.left = RGB(0, 0, 255);
    host.right = RGB(0, 0, 255);
    slider.Invalidate();
    ut::RunPendingMessages();
    EXPECT_EQ(ut::WindowPixel(slider.m_hWnd, 1, 1), kLeftColour) << "the old background, as it was at first paint";
}

TEST_F(TransparentTest, AThousandRepaintsLeaveNoGdiObjectBehind) {
    const int before = platform::gdi::LiveObjectCount();
    for (int i = 0; i < 1000; ++i) {
        host.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        if (i % 100 == 0)
            ut::RunPendingMessages();
    }
    ut::RunPendingMessages();
    EXPECT_EQ(platform::gdi::LiveObjectCount(), before);
}

} // namespace
