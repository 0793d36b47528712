// The image-effect wrapper: binding the library beside the module, the results without it or without an entry
// point, the preview's order of effects by colour mode, the margin whitening, and right-angle rotation as the page
// fixes use it (in stripes, and against the free rotation of the image routines).
#include "imaging/CEffectLibrary.h"
#include "imaging/ImageProcessing.h"

#include "platform/base/module.h"
#include "platform/base/testing.h"
#include "platform/base/wstring.h"
#include "settings/CompanionNames.h"
#include "tests/support/DebugLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

class EffectLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        wcscpy_s(m_savedName, g_szEffectLibName);
        m_debug.Capture();
    }
    void TearDown() override {
        m_debug.Release();
        wcscpy_s(g_szEffectLibName, m_savedName);
        if (m_recording)
            FreeLibrary(m_recording);
    }

    static void UseLibrary(const WCHAR* name) { wcscpy_s(g_szEffectLibName, MAX_PATH, name); }

    // The recording library, held loaded by the test so its record outlives each CEffectLibrary.
    void UseRecording() {
        UseLibrary(u"recTonalis.dll");
        WCHAR path[MAX_PATH];
        ASSERT_TRUE(GetCompanionPath(g_szEffectLibName, path));
        m_recording = LoadLibraryW(path);
        ASSERT_NE(m_recording, nullptr);
        m_log = reinterpret_cast<const char* (*)()>(GetProcAddress(m_recording, "Recording_Log"));
        m_setResult = reinterpret_cast<void (*)(const char*, int)>(GetProcAddress(m_recording, "Recording_SetResult"));
        reinterpret_cast<void (*)()>(GetProcAddress(m_recording, "Recording_Reset"))();
    }
    std::string Log() const { return m_log(); }

    bool DebugHas(std::u16string_view text) const { return m_debug.Has(text); }

    static ScanParam Param(int colorMode) {
        ScanParam p{};
        p.colorMode = colorMode;
        const int adv[19] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 1, 2, 3, 18, 72, 0, 2, 0, 0, 0};
        std::copy(adv, adv + 19, p.adv);
        return p;
    }

    WCHAR m_savedName[MAX_PATH] = {};
    HMODULE m_recording = nullptr;
    const char* (*m_log)() = nullptr;
    void (*m_setResult)(const char*, int) = nullptr;
    testsupport::DebugLines m_debug;
};

// A 24-bit strip of `rows` rows of `width` pixels, filled with 0x11.
struct Strip {
    Strip(int width, int rows) : info{rows, CEffectLibrary::ComputeBytesPerLine(width, 24), width, 24} {
        bytes.assign(static_cast<size_t>(info.bytesPerLine) * rows, 0x11);
    }
    bool RowIsWhite(int y, int from, int to) const {
        return std::all_of(bytes.begin() + y * info.bytesPerLine + from, bytes.begin() + y * info.bytesPerLine + to,
                           [](BYTE b) { return b == 0xFF; });
    }
    bool RowIsUntouched(int y, int from, int to) const {
        return std::all_of(bytes.begin() + y * info.bytesPerLine + from, bytes.begin() + y * info.bytesPerLine + to,
                           [](BYTE b) { return b == 0x11; });
    }
    EffectImageInfo info;
    std::vector<BYTE> bytes;
};

std::vector<BYTE> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<BYTE> v(n);
    for (BYTE& b : v)
        b = static_cast<BYTE>(random());
    return v;
}

} // namespace

TEST_F(EffectLibraryTest, LoadsTheLibraryNamedWithItsPrefixFromTheModulesFolder) {
    UseLibrary(EFFECTS_LIBRARY_NAME);
    CEffectLibrary library;
    ASSERT_TRUE(library.IsLoaded());
    BYTE pixel[3] = {255, 0, 0};
    EXPECT_EQ(library.ChangeToGray_Preview({1, 3, 1, 24}, pixel), 0);
    EXPECT_EQ(pixel[1], 76) << "the library did the work";
    BYTE lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = static_cast<BYTE>(i);
    EXPECT_EQ(library.Curve_BrightAndConsent(50, 0, lut), 0);
    EXPECT_EQ(lut[0], 64);
    EXPECT_FALSE(DebugHas(u"load Tonalis.dll fail!"));
}

TEST_F(EffectLibraryTest, WithoutTheLibraryEveryCallAnswersFourAndThePreviewIsLeftAsItWas) {
    UseLibrary(u"kvxMissingTonalis.dll");
    CEffectLibrary library;
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(DebugHas(u"load Tonalis.dll fail!"));

    Strip strip(4, 2);
    const std::vector<BYTE> before = strip.bytes;
    const int four[4] = {};
    BYTE lut[256] = {};
    BYTE histogram[CEffectLibrary::kHistogramSize] = {};
    EXPECT_EQ(library.ChangeGamma(strip.info, strip.bytes.data(), 1.8f), CEffectLibrary::kNoLibrary);
    EXPECT_EQ(library.Change_BrightAndConsent(strip.info, strip.bytes.data(), four, four), 4);
    EXPECT_EQ(library.ColorCurse_Ajust(strip.info, strip.bytes.data(), four), 4);
    EXPECT_EQ(library.Theashold_Preview(strip.info, strip.bytes.data(), 72), 4);
    EXPECT_EQ(library.ChangeToGray_Preview(strip.info, strip.bytes.data()), 4);
    EXPECT_EQ(library.CorrectFading(strip.info, strip.bytes.data(), 2), 4);
    EXPECT_EQ(library.Descreen(strip.info, strip.bytes.data()), 4);
    EXPECT_EQ(library.Curve_BrightAndConsent(0, 0, lut), 4);
    EXPECT_EQ(library.GetHistogramData(histogram, strip.info, strip.bytes.data()), 4);
    EXPECT_EQ(library.RotationImg(90, strip.info, strip.bytes.data(), strip.info, strip.bytes.data()), 4)
        << "a rotation without the library is a failure the caller sees";
    library.SetGrayPreviewFlag(1);
    for (int mode = 0; mode <= 2; ++mode)
        EXPECT_EQ(library.ApplyPreviewEffects(strip.info, strip.bytes.data(), Param(mode)), 4) << "mode " << mode;
    EXPECT_EQ(strip.bytes, before);
}

TEST_F(EffectLibraryTest, AMissingEntryPointAnswersFiveWhileTheOthersWork) {
    UseRecording();
    CEffectLibrary library;
    ASSERT_TRUE(library.IsLoaded());
    BYTE lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = static_cast<BYTE>(i);
    EXPECT_EQ(library.Curve_BrightAndConsent(10, 10, lut), CEffectLibrary::kNoEntryPoint);
    EXPECT_EQ(lut[200], 200) << "the table stays the identity";
    m_setResult("Descreen", 3);
    BYTE pixel[3] = {9, 8, 7};
    EXPECT_EQ(library.Descreen({1, 3, 1, 24}, pixel), 3) << "the entry point's own result";
    EXPECT_EQ(Log(), "Descreen 1x1/3/24 first=9\n");
}

TEST_F(EffectLibraryTest, BlackAndWhitePreviewIsGreyGammaOneThenThreshold) {
    UseRecording();
    Strip strip(5, 2);
    EXPECT_EQ(CEffectLibrary().ApplyPreviewEffects(strip.info, strip.bytes.data(), Param(0)), 0);
    EXPECT_EQ(Log(), "ChangeToGray_Preview 5x2/15/24 first=17\n"
                     "SetGrayPreviewFlag 1\n"
                     "ChangeGamma 5x2/15/24 first=17 1\n"
                     "SetGrayPreviewFlag 0\n"
                     "Theashold_Preview 5x2/15/24 first=17 72\n")
        << "no descreen, fading, curve or brightness in black and white";
}

TEST_F(EffectLibraryTest, GreyPreviewConvertsDescreensAndSkipsFading) {
    UseRecording();
    Strip strip(4, 3);
    EXPECT_EQ(CEffectLibrary().ApplyPreviewEffects(strip.info, strip.bytes.data(), Param(1)), 0);
    EXPECT_EQ(Log(), "ChangeToGray_Preview 4x3/12/24 first=17\n"
                     "Descreen 4x3/12/24 first=17\n"
                     "SetGrayPreviewFlag 1\n"
                     "ChangeGamma 4x3/12/24 first=17 1.8\n"
                     "SetGrayPreviewFlag 0\n"
                     "ColorCurse_Ajust 4x3/12/24 first=17 0,1,2,3\n"
                     "Change_BrightAndConsent 4x3/12/24 first=17 1,2,3,4 5,6,7,8\n");
}

TEST_F(EffectLibraryTest, ColourPreviewDescreensAlwaysAndCorrectsFading) {
    UseRecording();
    Strip strip(4, 3);
    ScanParam param = Param(2);
    param.adv[14] = 0; // descreen off: the preview descreens anyway
    EXPECT_EQ(CEffectLibrary().ApplyPreviewEffects(strip.info, strip.bytes.data(), param), 0);
    EXPECT_EQ(Log(), "Descreen 4x3/12/24 first=17\n"
                     "SetGrayPreviewFlag 0\n"
                     "ChangeGamma 4x3/12/24 first=17 1.8\n"
                     "CorrectFading 4x3/12/24 first=17 2\n"
                     "ColorCurse_Ajust 4x3/12/24 first=17 0,1,2,3\n"
                     "Change_BrightAndConsent 4x3/12/24 first=17 1,2,3,4 5,6,7,8\n");
}

TEST_F(EffectLibraryTest, AFailingStepEndsThePreviewWithItsResult) {
    UseRecording();
    Strip strip(2, 2);
    m_setResult("Descreen", 2);
    EXPECT_EQ(CEffectLibrary().ApplyPreviewEffects(strip.info, strip.bytes.data(), Param(2)), 2);
    EXPECT_EQ(Log(), "Descreen 2x2/6/24 first=17\n");

    UseRecording();
    m_setResult("ChangeGamma", 1);
    EXPECT_EQ(CEffectLibrary().ApplyPreviewEffects(strip.info, strip.bytes.data(), Param(0)), 1);
    EXPECT_EQ(Log(), "ChangeToGray_Preview 2x2/6/24 first=17\n"
                     "SetGrayPreviewFlag 1\n"
                     "ChangeGamma 2x2/6/24 first=17 1\n"
                     "SetGrayPreviewFlag 0\n")
        << "the grey-preview flag is put back even when gamma fails";
}

TEST_F(EffectLibraryTest, BlackAndWhitePreviewThroughTheLibraryIsPureBlackAndWhite) {
    UseLibrary(EFFECTS_LIBRARY_NAME);
    Strip strip(3, 1);
    const BYTE pixels[9] = {200, 200, 200, 60, 70, 80, 255, 0, 0};
    std::copy(pixels, pixels + 9, strip.bytes.begin());
    ASSERT_EQ(CEffectLibrary().ApplyPreviewEffects(strip.info, strip.bytes.data(), Param(0)), 0);
    EXPECT_EQ(std::vector<BYTE>(strip.bytes.begin(), strip.bytes.begin() + 9),
              (std::vector<BYTE>{255, 255, 255, 0, 0, 0, 255, 255, 255}))
        << "luminances 200, 68 and 76 against the threshold 72";
}

TEST_F(EffectLibraryTest, HistogramAndRotationReachTheLibraryWithTheirDescriptors) {
    UseRecording();
    CEffectLibrary library;
    Strip source(3, 2), turned(2, 3);
    BYTE histogram[CEffectLibrary::kHistogramSize] = {};
    EXPECT_EQ(library.GetHistogramData(histogram, source.info, source.bytes.data()), 0);
    EXPECT_EQ(library.RotationImg(270, source.info, source.bytes.data(), turned.info, turned.bytes.data()), 0);
    EXPECT_EQ(Log(), "GetHistogramData 3x2/9/24 first=17 out\n"
                     "RotationImg 270 3x2/9/24 first=17 2x3/6/24 first=17\n");
}

TEST_F(EffectLibraryTest, BytesPerLineAreNotPaddedToFour) {
    EXPECT_EQ(CEffectLibrary::ComputeBytesPerLine(5, 24), 15);
    EXPECT_EQ(CEffectLibrary::ComputeBytesPerLine(9, 1), 2);
    EXPECT_EQ(CEffectLibrary::ComputeBytesPerLine(100000, 24), 300000);
}

TEST_F(EffectLibraryTest, MarginWhiteningOfStripsAtTheTopMiddleAndBottom) {
    // An image of 20 rows, margins of 2 pixels left, 1 right, 5 rows top and 4 bottom; strips of 4 rows of 6 pixels.
    const EffectMargins margins{2, 1, 5, 4};
    Strip top(6, 4);
    EXPECT_EQ(CEffectLibrary::WhiteOutMargins(top.info, top.bytes.data(), margins, 0, 20), 0);
    for (int y = 0; y < 4; ++y)
        EXPECT_TRUE(top.RowIsWhite(y, 0, 18)) << "a strip inside the top margin is white, row " << y;

    Strip middle(6, 4);
    EXPECT_EQ(CEffectLibrary::WhiteOutMargins(middle.info, middle.bytes.data(), margins, 4, 20), 0);
    EXPECT_TRUE(middle.RowIsWhite(0, 0, 18)) << "row 4 lies in the top margin";
    for (int y = 1; y < 4; ++y) {
        EXPECT_TRUE(middle.RowIsWhite(y, 0, 6)) << "left margin, row " << y;
        EXPECT_TRUE(middle.RowIsUntouched(y, 6, 15)) << "inside, row " << y;
        EXPECT_TRUE(middle.RowIsWhite(y, 15, 18)) << "right margin, row " << y;
    }

    Strip bottom(6, 4);
    EXPECT_EQ(CEffectLibrary::WhiteOutMargins(bottom.info, bottom.bytes.data(), margins, 14, 20), 0);
    EXPECT_TRUE(bottom.RowIsUntouched(0, 6, 15)) << "row 14";
    EXPECT_TRUE(bottom.RowIsUntouched(1, 6, 15)) << "row 15";
    EXPECT_TRUE(bottom.RowIsWhite(2, 0, 18)) << "row 16 lies in the bottom margin";
    EXPECT_TRUE(bottom.RowIsWhite(3, 0, 18));

    EXPECT_EQ(CEffectLibrary::WhiteOutMargins(bottom.info, nullptr, margins, 0, 20), 1);
}

TEST_F(EffectLibraryTest, MarginsWiderThanTheRowAreHeldToTheRow) {
    Strip strip(6, 3);
    strip.bytes.resize(strip.bytes.size() + 64, 0x22); // whatever follows the strip must stay as it was
    EXPECT_EQ(CEffectLibrary::WhiteOutMargins(strip.info, strip.bytes.data(), {1000, 0, 0, 0}, 10, 100), 0);
    for (int y = 0; y < 3; ++y)
        EXPECT_TRUE(strip.RowIsWhite(y, 0, 18)) << "row " << y;
    EXPECT_TRUE(std::all_of(strip.bytes.end() - 64, strip.bytes.end(), [](BYTE b) { return b == 0x22; }));

    Strip right(6, 1);
    EXPECT_EQ(CEffectLibrary::WhiteOutMargins(right.info, right.bytes.data(), {-3, 7, 0, 0}, 10, 100), 0);
    EXPECT_TRUE(right.RowIsWhite(0, 0, 18)) << "a right margin beyond the row reaches its start, and no further";

    Strip below(6, 2);
    EXPECT_EQ(CEffectLibrary::WhiteOutMargins(below.info, below.bytes.data(), {0, 0, -5, 500}, 10, 100), 0);
    EXPECT_TRUE(below.RowIsWhite(0, 0, 18));
    EXPECT_TRUE(below.RowIsWhite(1, 0, 18));
}

// The page fixes turn 8- and 24-bit pages in column stripes: for 90 degrees from the right edge leftwards, each
// stripe's turn filling the next rows of the new page (for 270 from the left edge rightwards).
TEST_F(EffectLibraryTest, TurningInColumnStripesGivesTheWholeTurn) {
    UseLibrary(EFFECTS_LIBRARY_NAME);
    CEffectLibrary library;
    const int width = 23, height = 7, stripe = 5;
    for (int bpp : {8, 24}) {
        const int pixel = bpp / 8;
        std::vector<BYTE> page = RandomBytes(static_cast<size_t>(width * height * pixel), 7u + bpp);
        const EffectImageInfo pageInfo{height, width * pixel, width, bpp};
        for (int angle : {90, 270}) {
            const EffectImageInfo turnedInfo{width, height * pixel, height, bpp};
            std::vector<BYTE> whole(page.size()), striped(page.size());
            ASSERT_EQ(library.RotationImg(angle, pageInfo, page.data(), turnedInfo, whole.data()), 0);
            int nextRow = 0;
            for (int done = 0; done < width; done += stripe) {
                const int columns = std::min(stripe, width - done);
                const int first = angle == 90 ? width - done - columns : done;
                std::vector<BYTE> gathered;
                for (int y = 0; y < height; ++y)
                    gathered.insert(gathered.end(), page.begin() + (y * width + first) * pixel,
                                    page.begin() + (y * width + first + columns) * pixel);
                const EffectImageInfo stripeInfo{height, columns * pixel, columns, bpp};
                const EffectImageInfo outInfo{columns, height * pixel, height, bpp};
                ASSERT_EQ(library.RotationImg(angle, stripeInfo, gathered.data(), outInfo,
                                              striped.data() + static_cast<size_t>(nextRow) * height * pixel),
                          0);
                nextRow += columns;
            }
            EXPECT_EQ(striped, whole) << angle << " degrees at " << bpp << " bits";
        }
    }
}

// The right-angle turns agree with the image routines' free rotation by the opposite angle (normal_rotate turns
// clockwise) everywhere but its white border, to within the rounding of its interpolation.
TEST_F(EffectLibraryTest, RightAngleTurnsAgreeWithTheFreeRotation) {
    UseLibrary(EFFECTS_LIBRARY_NAME);
    CEffectLibrary library;
    const int n = 41;
    for (int mode : {1, 2}) {
        const int pixel = mode == 2 ? 3 : 1;
        const std::vector<BYTE> page = RandomBytes(static_cast<size_t>(n * n * pixel), 11u + mode);
        const EffectImageInfo info{n, n * pixel, n, 8 * pixel};
        for (int angle : {90, 180, 270}) {
            std::vector<BYTE> turned(page.size());
            ASSERT_EQ(library.RotationImg(angle, info, const_cast<BYTE*>(page.data()), info, turned.data()), 0);
            ImgProcParam param{mode, 300, n, n, 0, 0, static_cast<float>(360 - angle)};
            std::unique_ptr<BYTE[]> rotated = normal_rotate(page.data(), &param);
            ASSERT_TRUE(rotated);
            int worst = 0;
            for (int y = 2; y < n - 2; ++y)
                for (int x = 2 * pixel; x < (n - 2) * pixel; ++x) {
                    const size_t at = static_cast<size_t>(y * n * pixel + x);
                    worst = std::max(worst, std::abs(turned[at] - rotated[at]));
                }
            EXPECT_LE(worst, 1) << "RotationImg " << angle << " against normal_rotate " << 360 - angle << ", mode "
                                << mode;
        }
    }
}

TEST_F(EffectLibraryTest, OneBitTurnsMatchTheGreyTurnsOfTheSameBits) {
    UseLibrary(EFFECTS_LIBRARY_NAME);
    CEffectLibrary library;
    const int width = 19, height = 11;
    std::vector<BYTE> bits = RandomBytes(static_cast<size_t>((width + 7) / 8 * height), 5);
    std::vector<BYTE> grey(static_cast<size_t>(width * height));
    BwToGray(bits.data(), grey.data(), width, height);
    for (int angle : {90, 180, 270}) {
        const bool swap = angle != 180;
        const int w = swap ? height : width, h = swap ? width : height;
        std::vector<BYTE> turnedBits(static_cast<size_t>((w + 7) / 8 * h)), turnedGrey(static_cast<size_t>(w * h));
        ASSERT_EQ(library.RotationImg(angle, {height, (width + 7) / 8, width, 1}, bits.data(), {h, (w + 7) / 8, w, 1},
                                      turnedBits.data()),
                  0);
        ASSERT_EQ(library.RotationImg(angle, {height, width, width, 8}, grey.data(), {h, w, w, 8}, turnedGrey.data()),
                  0);
        std::vector<BYTE> packed(turnedBits.size());
        GrayToBW(turnedGrey.data(), packed.data(), w, h);
        EXPECT_EQ(turnedBits, packed) << angle << " degrees";
    }
}
