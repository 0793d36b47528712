// The image-effect library against known pixels: every operation on small images whose results can be worked out
// by hand, through the entry points bound by name as the data source binds them.
#include "companions/effects/Tonalis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <vector>

namespace {

struct Api {
    decltype(&::ChangeGamma) ChangeGamma;
    decltype(&::Change_BrightAndConsent) Change_BrightAndConsent;
    decltype(&::ColorCurse_Ajust) ColorCurse_Ajust;
    decltype(&::Theashold_Preview) Theashold_Preview;
    decltype(&::ChangeToGray_Preview) ChangeToGray_Preview;
    decltype(&::CorrectFading) CorrectFading;
    decltype(&::Descreen) Descreen;
    decltype(&::SetGrayPreviewFlag) SetGrayPreviewFlag;
    decltype(&::Curve_BrightAndConsent) Curve_BrightAndConsent;
    decltype(&::GetHistogramData) GetHistogramData;
    decltype(&::RotationImg) RotationImg;
};

// An image of width x height pixels with `pad` spare bytes at the end of each row, which no operation may touch.
struct Picture {
    Picture(int width, int height, int bitsPerPixel, int pad = 0)
        : info{height, (width * bitsPerPixel + 7) / 8 + pad, width, bitsPerPixel},
          bytes(static_cast<size_t>(info.bytesPerLine) * height, 0xA5) {
        for (int y = 0; y < height; ++y)
            std::memset(Row(y), 0, static_cast<size_t>((width * bitsPerPixel + 7) / 8));
    }
    unsigned char* Row(int y) { return bytes.data() + static_cast<size_t>(y) * info.bytesPerLine; }
    unsigned char* Pixel(int x, int y) { return Row(y) + x * info.bitsPerPixel / 8; }
    void SetRgb(int x, int y, int r, int g, int b) {
        unsigned char* p = Pixel(x, y);
        p[0] = static_cast<unsigned char>(r);
        p[1] = static_cast<unsigned char>(g);
        p[2] = static_cast<unsigned char>(b);
    }
    bool PaddingIntact() {
        const int used = (info.width * info.bitsPerPixel + 7) / 8;
        for (int y = 0; y < info.height; ++y)
            for (int i = used; i < info.bytesPerLine; ++i)
                if (Row(y)[i] != 0xA5)
                    return false;
        return true;
    }
    TonalisImageInfo info;
    std::vector<unsigned char> bytes;
};

TonalisChannels Channels(int all, int r, int g, int b) {
    return {{all, r, g, b}};
}

class EffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_lib = dlopen(TONALIS_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_lib, nullptr) << dlerror();
#define BIND(name)                                                                                                     \
    api.name = reinterpret_cast<decltype(api.name)>(dlsym(m_lib, #name));                                              \
    ASSERT_NE(api.name, nullptr) << #name;
        BIND(ChangeGamma)
        BIND(Change_BrightAndConsent)
        BIND(ColorCurse_Ajust)
        BIND(Theashold_Preview)
        BIND(ChangeToGray_Preview)
        BIND(CorrectFading)
        BIND(Descreen)
        BIND(SetGrayPreviewFlag)
        BIND(Curve_BrightAndConsent)
        BIND(GetHistogramData)
        BIND(RotationImg)
#undef BIND
        api.SetGrayPreviewFlag(0);
    }
    void TearDown() override {
        if (m_lib) {
            api.SetGrayPreviewFlag(0);
            dlclose(m_lib);
        }
    }

    // A colour picture holding every byte value in each channel, in a different order per channel.
    Picture Ramp(int pad = 0) {
        Picture p(16, 16, 24, pad);
        for (int i = 0; i < 256; ++i)
            p.SetRgb(i % 16, i / 16, i, 255 - i, (i * 7) % 256);
        return p;
    }

    Api api{};
    void* m_lib = nullptr;
};

} // namespace

TEST_F(EffectsTest, GammaOneLeavesEveryValueAsItWas) {
    Picture colour = Ramp(3);
    const std::vector<unsigned char> before = colour.bytes;
    EXPECT_EQ(api.ChangeGamma(colour.info, colour.bytes.data(), 1.0f), 0);
    EXPECT_EQ(colour.bytes, before) << "colour";

    Picture grey(256, 1, 8);
    for (int i = 0; i < 256; ++i)
        grey.Row(0)[i] = static_cast<unsigned char>(i);
    const std::vector<unsigned char> greyBefore = grey.bytes;
    api.SetGrayPreviewFlag(1);
    EXPECT_EQ(api.ChangeGamma(grey.info, grey.bytes.data(), 1.0f), 0);
    EXPECT_EQ(grey.bytes, greyBefore) << "grey under the grey-preview flag";
}

TEST_F(EffectsTest, GammaRaisesTheMidTonesByItsInversePower) {
    Picture p(4, 1, 8);
    const unsigned char values[4] = {0, 64, 128, 255};
    std::memcpy(p.Row(0), values, 4);
    ASSERT_EQ(api.ChangeGamma(p.info, p.bytes.data(), 2.0f), 0);
    EXPECT_EQ(p.Row(0)[0], 0);
    EXPECT_EQ(p.Row(0)[1], 128) << "255 x sqrt(64 / 255) = 127.75";
    EXPECT_EQ(p.Row(0)[2], 181) << "255 x sqrt(128 / 255) = 180.7";
    EXPECT_EQ(p.Row(0)[3], 255);
    EXPECT_EQ(api.ChangeGamma(p.info, p.bytes.data(), 0.0f), Tonalis_BAD_ARGUMENT);
}

TEST_F(EffectsTest, UnderTheGreyFlagGammaWorksOnTheLuminanceOfEachColourPixel) {
    Picture p(2, 1, 24);
    p.SetRgb(0, 0, 200, 100, 50);
    p.SetRgb(1, 0, 10, 20, 30);
    Picture perChannel = p;
    api.SetGrayPreviewFlag(1);
    ASSERT_EQ(api.ChangeGamma(p.info, p.bytes.data(), 1.0f), 0);
    // (299 x 200 + 587 x 100 + 114 x 50 + 500) / 1000 = 124
    EXPECT_EQ(p.Pixel(0, 0)[0], 124);
    EXPECT_EQ(p.Pixel(0, 0)[1], 124);
    EXPECT_EQ(p.Pixel(0, 0)[2], 124);
    EXPECT_EQ(p.Pixel(1, 0)[2], 18);

    api.SetGrayPreviewFlag(0);
    ASSERT_EQ(api.ChangeGamma(perChannel.info, perChannel.bytes.data(), 1.0f), 0);
    EXPECT_EQ(perChannel.Pixel(0, 0)[0], 200) << "without the flag each byte keeps its own value";
}

TEST_F(EffectsTest, GreyConversionGivesTheLuminanceAndLeavesRowPaddingAlone) {
    Picture p(3, 2, 24, 2);
    p.SetRgb(0, 0, 255, 0, 0);
    p.SetRgb(1, 0, 0, 255, 0);
    p.SetRgb(2, 0, 0, 0, 255);
    p.SetRgb(0, 1, 255, 255, 255);
    ASSERT_EQ(api.ChangeToGray_Preview(p.info, p.bytes.data()), 0);
    const int expected[4] = {76, 150, 29, 255};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(p.Pixel(i % 3, i / 3)[c], expected[i]) << "pixel " << i << " byte " << c;
    EXPECT_TRUE(p.PaddingIntact());
}

TEST_F(EffectsTest, ThresholdMakesPixelsBelowItBlackAndTheRestWhite) {
    Picture grey(4, 1, 8);
    const unsigned char values[4] = {0, 71, 72, 200};
    std::memcpy(grey.Row(0), values, 4);
    ASSERT_EQ(api.Theashold_Preview(grey.info, grey.bytes.data(), 72), 0);
    EXPECT_EQ(grey.Row(0)[0], 0);
    EXPECT_EQ(grey.Row(0)[1], 0);
    EXPECT_EQ(grey.Row(0)[2], 255) << "the threshold value itself is white, as the device scans it";
    EXPECT_EQ(grey.Row(0)[3], 255);

    Picture colour(2, 1, 24);
    colour.SetRgb(0, 0, 255, 0, 0); // luminance 76
    colour.SetRgb(1, 0, 0, 0, 255); // luminance 29
    ASSERT_EQ(api.Theashold_Preview(colour.info, colour.bytes.data(), 50), 0);
    EXPECT_EQ(std::vector<unsigned char>(colour.Row(0), colour.Row(0) + 6),
              (std::vector<unsigned char>{255, 255, 255, 0, 0, 0}));
}

TEST_F(EffectsTest, BrightnessAndContrastTableFollowsItsFormula) {
    unsigned char lut[256];
    auto table = [&](int b, int c) {
        for (int i = 0; i < 256; ++i)
            lut[i] = static_cast<unsigned char>(i);
        EXPECT_EQ(api.Curve_BrightAndConsent(b, c, lut), 0);
    };
    table(0, 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(lut[i], i) << "(0, 0) is the identity";
    table(50, 0);
    EXPECT_EQ(lut[0], 64);
    EXPECT_EQ(lut[100], 164);
    EXPECT_EQ(lut[200], 255);
    table(0, -100);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(lut[i], 128) << "no contrast at all leaves mid-grey";
    table(0, 50);
    // C = 127.5, k = 259 x 382.5 / (255 x 131.5) = 2.9545
    EXPECT_EQ(lut[128], 128);
    EXPECT_EQ(lut[100], 45);
    EXPECT_EQ(lut[200], 255);
    table(0, 500);
    EXPECT_EQ(lut[127], 0) << "values beyond 100 count as 100";
    EXPECT_EQ(api.Curve_BrightAndConsent(0, 0, nullptr), Tonalis_BAD_ARGUMENT);
}

TEST_F(EffectsTest, BrightnessOfAChannelChangesOnlyThatChannelAfterTheCombinedOne) {
    Picture p(1, 1, 24);
    p.SetRgb(0, 0, 100, 100, 100);
    ASSERT_EQ(api.Change_BrightAndConsent(p.info, p.bytes.data(), Channels(10, 0, 20, 0), Channels(0, 0, 0, 0)), 0);
    EXPECT_EQ(p.Pixel(0, 0)[0], 113) << "combined +12.8";
    EXPECT_EQ(p.Pixel(0, 0)[1], 139) << "combined, then green +25.6";
    EXPECT_EQ(p.Pixel(0, 0)[2], 113);

    Picture grey(1, 1, 8);
    grey.Row(0)[0] = 100;
    ASSERT_EQ(api.Change_BrightAndConsent(grey.info, grey.bytes.data(), Channels(10, 50, 50, 50), Channels(0, 0, 0, 0)),
              0);
    EXPECT_EQ(grey.Row(0)[0], 113) << "a grey image takes the combined values only";
}

TEST_F(EffectsTest, ToneCurvePresetsFollowTheCurveDialogsFormulas) {
    Picture p(256, 1, 8);
    auto apply = [&](int preset) {
        for (int i = 0; i < 256; ++i)
            p.Row(0)[i] = static_cast<unsigned char>(i);
        EXPECT_EQ(api.ColorCurse_Ajust(p.info, p.bytes.data(), Channels(preset, 0, 0, 0)), 0);
        return std::vector<int>(p.Row(0), p.Row(0) + 256);
    };
    std::vector<int> v = apply(0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(v[i], i);
    v = apply(1);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[128], 213);
    EXPECT_EQ(v[255], 254);
    v = apply(2);
    EXPECT_EQ(v[128], 91) << "128^1.5 x 255 / 255^1.5 = 90.7";
    EXPECT_EQ(v[255], 255);
    v = apply(3);
    EXPECT_EQ(v[0], 0);
    EXPECT_EQ(v[10], 0) << "the cubic is below 0 there";
    EXPECT_EQ(v[128], 129);
    EXPECT_EQ(v[255], 255);
    v = apply(4);
    EXPECT_EQ(v[0], 255) << "256 - 0 is held at 255";
    EXPECT_EQ(v[1], 255);
    EXPECT_EQ(v[255], 1);
    v = apply(9);
    EXPECT_EQ(v[77], 77) << "an unknown preset is linear";

    Picture colour(1, 1, 24);
    colour.SetRgb(0, 0, 10, 10, 10);
    ASSERT_EQ(api.ColorCurse_Ajust(colour.info, colour.bytes.data(), Channels(0, 4, 0, 0)), 0);
    EXPECT_EQ(colour.Pixel(0, 0)[0], 246) << "red takes its own preset";
    EXPECT_EQ(colour.Pixel(0, 0)[1], 10);
}

TEST_F(EffectsTest, FadingCorrectionStretchesEachChannelByItsLevel) {
    Picture p(101, 1, 24);
    for (int x = 0; x <= 100; ++x)
        p.SetRgb(x, 0, 100 + x / 2, 50 + x, 7); // red 100..150, green 50..150, blue flat
    Picture untouched = p;
    ASSERT_EQ(api.CorrectFading(untouched.info, untouched.bytes.data(), 0), 0);
    EXPECT_EQ(untouched.bytes, p.bytes) << "level 0 is no correction";

    Picture full = p;
    ASSERT_EQ(api.CorrectFading(full.info, full.bytes.data(), 3), 0);
    EXPECT_EQ(full.Pixel(0, 0)[0], 0);
    EXPECT_EQ(full.Pixel(100, 0)[0], 255);
    EXPECT_EQ(full.Pixel(0, 0)[1], 0);
    EXPECT_EQ(full.Pixel(100, 0)[1], 255);
    EXPECT_EQ(full.Pixel(50, 0)[2], 7) << "a flat channel has nothing to stretch";

    Picture low = p;
    ASSERT_EQ(api.CorrectFading(low.info, low.bytes.data(), 1), 0);
    EXPECT_EQ(low.Pixel(0, 0)[0], 67) << "a third of the way from 100 to 0";
    EXPECT_EQ(low.Pixel(100, 0)[0], 185) << "a third of the way from 150 to 255";
}

TEST_F(EffectsTest, DescreenFlattensTheFinestHalftoneAndKeepsFlatAreas) {
    Picture dots(8, 8, 8, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            dots.Row(y)[x] = (x + y) % 2 ? 255 : 0;
    ASSERT_EQ(api.Descreen(dots.info, dots.bytes.data()), 0);
    for (int y = 1; y < 7; ++y)
        for (int x = 1; x < 7; ++x)
            ASSERT_EQ(dots.Row(y)[x], 128) << "a one-pixel checkerboard becomes even grey at " << x << "," << y;
    EXPECT_TRUE(dots.PaddingIntact());

    Picture flat(5, 5, 24);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            flat.SetRgb(x, y, 30, 60, 90);
    const std::vector<unsigned char> before = flat.bytes;
    ASSERT_EQ(api.Descreen(flat.info, flat.bytes.data()), 0);
    EXPECT_EQ(flat.bytes, before);

    Picture edge(6, 1, 8);
    const unsigned char step[6] = {0, 0, 0, 255, 255, 255};
    std::memcpy(edge.Row(0), step, 6);
    ASSERT_EQ(api.Descreen(edge.info, edge.bytes.data()), 0);
    EXPECT_EQ(std::vector<int>(edge.Row(0), edge.Row(0) + 6), (std::vector<int>{0, 0, 64, 191, 255, 255}))
        << "an edge is softened, not moved";
}

TEST_F(EffectsTest, HistogramCountsEachChannelAndTheLuminanceWithItsStatistics) {
    Picture p(4, 1, 24);
    p.SetRgb(0, 0, 0, 10, 255);
    p.SetRgb(1, 0, 0, 20, 255);
    p.SetRgb(2, 0, 100, 30, 255);
    p.SetRgb(3, 0, 100, 40, 255);
    TonalisHistogram h;
    std::memset(&h, 0, sizeof h);
    ASSERT_EQ(api.GetHistogramData(&h, p.info, p.bytes.data()), 0);
    EXPECT_EQ(h.bins[0][0], 2u);
    EXPECT_EQ(h.bins[0][100], 2u);
    EXPECT_EQ(h.bins[1][10] + h.bins[1][20] + h.bins[1][30] + h.bins[1][40], 4u);
    EXPECT_EQ(h.bins[2][255], 4u);
    unsigned combined = 0;
    for (unsigned n : h.bins[3])
        combined += n;
    EXPECT_EQ(combined, 4u);
    EXPECT_EQ(h.bins[3][35], 1u) << "(587 x 10 + 114 x 255 + 500) / 1000";
    EXPECT_EQ(h.pixels, 4);

    // Statistics by channel number: 0 combined, 1 red, 2 green, 3 blue.
    EXPECT_DOUBLE_EQ(h.mean[1], 50.0);
    EXPECT_DOUBLE_EQ(h.median[1], 0.0) << "half of the red values are 0";
    EXPECT_DOUBLE_EQ(h.deviation[1], 50.0);
    EXPECT_DOUBLE_EQ(h.mean[2], 25.0);
    EXPECT_DOUBLE_EQ(h.median[2], 20.0);
    EXPECT_NEAR(h.deviation[2], std::sqrt(125.0), 1e-9);
    EXPECT_DOUBLE_EQ(h.mean[3], 255.0);
    EXPECT_DOUBLE_EQ(h.deviation[3], 0.0);

    Picture grey(3, 1, 8);
    const unsigned char values[3] = {5, 5, 9};
    std::memcpy(grey.Row(0), values, 3);
    std::memset(&h, 0, sizeof h);
    ASSERT_EQ(api.GetHistogramData(&h, grey.info, grey.bytes.data()), 0);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(h.bins[b][5], 2u) << "a grey image fills every histogram, " << b;
        EXPECT_EQ(h.bins[b][9], 1u);
        EXPECT_DOUBLE_EQ(h.median[b], 5.0);
    }
}

TEST_F(EffectsTest, RotationTurnsCounterClockwiseAtEachDepth) {
    // 3 x 2, pixel value 10 x row + column:   0  1  2
    //                                         10 11 12
    Picture grey(3, 2, 8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            grey.Row(y)[x] = static_cast<unsigned char>(10 * y + x);
    auto turn = [&](int angle) {
        const bool swap = angle != 180;
        Picture out(swap ? 2 : 3, swap ? 3 : 2, 8);
        EXPECT_EQ(api.RotationImg(angle, grey.info, grey.bytes.data(), out.info, out.bytes.data()), 0);
        std::vector<int> v;
        for (int y = 0; y < out.info.height; ++y)
            for (int x = 0; x < out.info.width; ++x)
                v.push_back(out.Row(y)[x]);
        return v;
    };
    EXPECT_EQ(turn(90), (std::vector<int>{2, 12, 1, 11, 0, 10})) << "the right column becomes the top row";
    EXPECT_EQ(turn(270), (std::vector<int>{10, 0, 11, 1, 12, 2})) << "the left column, upwards, becomes the top";
    EXPECT_EQ(turn(180), (std::vector<int>{12, 11, 10, 2, 1, 0}));

    // 1 bit: 10 x 3 with a single black (clear) pixel at (9, 0), the rest white.
    Picture bits(10, 3, 1);
    for (int y = 0; y < 3; ++y) {
        bits.Row(y)[0] = 0xFF;
        bits.Row(y)[1] = 0xC0;
    }
    bits.Row(0)[1] = 0x80;
    Picture turned(3, 10, 1);
    ASSERT_EQ(api.RotationImg(90, bits.info, bits.bytes.data(), turned.info, turned.bytes.data()), 0);
    EXPECT_EQ(turned.Row(0)[0], 0x60) << "(9, 0) goes to (0, 0); spare bits clear";
    for (int y = 1; y < 10; ++y)
        EXPECT_EQ(turned.Row(y)[0], 0xE0) << "row " << y;
}

TEST_F(EffectsTest, RotationRefusesWhatItCannotTurn) {
    Picture source(4, 2, 8), sameSize(4, 2, 8), turned(2, 4, 8), deeper(2, 4, 24);
    EXPECT_EQ(api.RotationImg(45, source.info, source.bytes.data(), turned.info, turned.bytes.data()),
              Tonalis_BAD_ARGUMENT);
    EXPECT_EQ(api.RotationImg(90, source.info, source.bytes.data(), sameSize.info, sameSize.bytes.data()),
              Tonalis_BAD_ARGUMENT);
    EXPECT_EQ(api.RotationImg(90, source.info, source.bytes.data(), deeper.info, deeper.bytes.data()),
              Tonalis_BAD_ARGUMENT);
    EXPECT_EQ(api.RotationImg(180, source.info, source.bytes.data(), source.info, source.bytes.data()),
              Tonalis_BAD_ARGUMENT)
        << "in place";
    EXPECT_EQ(api.RotationImg(90, source.info, nullptr, turned.info, turned.bytes.data()), Tonalis_BAD_ARGUMENT);
}

TEST_F(EffectsTest, EveryImageOperationChecksItsDescriptor) {
    Picture p(4, 4, 24);
    TonalisImageInfo shortRows = p.info;
    shortRows.bytesPerLine = 11;
    TonalisImageInfo negative = p.info;
    negative.height = -1;
    TonalisImageInfo oneBit{4, 1, 4, 1};
    TonalisImageInfo empty{0, 0, 0, 24};
    EXPECT_EQ(api.Descreen(shortRows, p.bytes.data()), Tonalis_BAD_ARGUMENT);
    EXPECT_EQ(api.ChangeToGray_Preview(negative, p.bytes.data()), Tonalis_BAD_ARGUMENT);
    EXPECT_EQ(api.Theashold_Preview(oneBit, p.bytes.data(), 10), Tonalis_BAD_DEPTH);
    EXPECT_EQ(api.CorrectFading(p.info, nullptr, 3), Tonalis_BAD_ARGUMENT);
    EXPECT_EQ(api.Descreen(empty, nullptr), 0) << "an empty image has nothing to do";
    EXPECT_EQ(api.GetHistogramData(nullptr, p.info, p.bytes.data()), Tonalis_BAD_ARGUMENT);
}
