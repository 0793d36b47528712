// The page fixes: conversions, the content box of auto_crop, the skew of auto_deskew and DetectSkewAngle, and
// normal_rotate, on drawn pages and on pages of the simulated device with a known frame and skew.
#include "imaging/ImageProcessing.h"

#include "SimulatedScanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A white grey page with dark rectangles drawn in.
struct GreyPage {
    GreyPage(int w, int h) : width(w), height(h), bytes(static_cast<size_t>(w) * h, 255) {}
    void Fill(int top, int left, int bottom, int right, BYTE value) { // inclusive
        for (int y = top; y <= bottom; ++y)
            std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(y) * width + left, right - left + 1, value);
    }
    int width, height;
    std::vector<BYTE> bytes;
};

struct CropResult {
    int found = 0;
    ImgProcParam param{};
    std::vector<BYTE> out;
};

CropResult Crop(const BYTE* data, int mode, int dpi, int width, int height, size_t size) {
    CropResult r;
    r.param = {mode, dpi, width, height, 0, 0, 0};
    r.out.assign(size, 0x5A);
    r.found = auto_crop(data, r.out.data(), &r.param);
    return r;
}

CropResult Crop(const GreyPage& page, int dpi) {
    return Crop(page.bytes.data(), 1, dpi, page.width, page.height, page.bytes.size());
}

CropResult Crop(const ScannedPage& page) {
    return Crop(page.bytes.data(), page.colour, page.dpi, page.width, page.height, page.bytes.size());
}

// The grey image the deskew works on, by mode.
std::vector<BYTE> GreyOf(const ScannedPage& page) {
    std::vector<BYTE> grey(static_cast<size_t>(page.width) * page.height);
    if (page.colour == 0)
        BwToGray(page.bytes.data(), grey.data(), page.width, page.height);
    else if (page.colour == 2)
        RgbToGray(page.bytes.data(), grey.data(), page.width, page.height);
    else
        grey = page.bytes;
    return grey;
}

// Points on the line through (row0, 0) falling by `degrees` (counter-clockwise positive) to the right.
void Line(std::vector<int>& rows, std::vector<int>& columns, double row0, double degrees, int from, int to) {
    for (int x = from; x < to; ++x) {
        rows.push_back(static_cast<int>(std::lround(row0 - x * std::tan(degrees * M_PI / 180))));
        columns.push_back(x);
    }
}

float Hough(const std::vector<int>& rows, const std::vector<int>& columns, int width, int height) {
    return DetectSkewAngle(rows.data(), columns.data(), static_cast<int>(rows.size()), width, height);
}

// The A4 scan at 300 dpi holds the default document at rows 300..2699 and columns 300..2099.
constexpr int kDocTop = 300, kDocBottom = 2699, kDocLeft = 300, kDocRight = 2099;

} // namespace

TEST(ImageConversions, GreyOfColourIsTheDarkestByteAndBitsRoundTripWithOddWidths) {
    const BYTE rgb[6] = {200, 30, 90, 7, 250, 8};
    BYTE grey[2];
    RgbToGray(rgb, grey, 2, 1);
    EXPECT_EQ(grey[0], 30);
    EXPECT_EQ(grey[1], 7);

    const int width = 13, height = 3;
    const BYTE bits[6] = {0b10110011, 0b11111000, 0b00000000, 0b00001000, 0b11111111, 0b11111000};
    std::vector<BYTE> bytes(width * height);
    BwToGray(bits, bytes.data(), width, height);
    EXPECT_EQ(std::vector<BYTE>(bytes.begin(), bytes.begin() + width),
              (std::vector<BYTE>{1, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1}));
    BYTE packed[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    GrayToBW(bytes.data(), packed, width, height);
    EXPECT_EQ(std::vector<BYTE>(packed, packed + 6), std::vector<BYTE>(bits, bits + 6)) << "spare bits are cleared";
}

TEST(AutoCrop, ARectangleOnWhitePaperIsCroppedToItsBoxPlusTheDarkWindowAndTheLastExtension) {
    GreyPage page(2000, 2200);
    page.Fill(600, 700, 900, 1100, 0);
    CropResult r = Crop(page, 300);
    ASSERT_EQ(r.found, 1);
    // Rows 600 - 65 .. 900 + 64, columns 700 - 65 .. 1100 + 64: the trim took back the 400 empty rows and columns
    // of the first extension.
    EXPECT_EQ(r.param.outHeight, 900 + 64 - (600 - 65) + 1);
    EXPECT_EQ(r.param.outWidth, 1100 + 64 - (700 - 65) + 1);
    const int w = r.param.outWidth;
    EXPECT_EQ(r.out[65 * w + 65], 0) << "the rectangle's corner";
    EXPECT_EQ(r.out[64 * w + 65], 255);
    EXPECT_EQ(r.out[65 * w + 64], 255);
    EXPECT_EQ(r.out[static_cast<size_t>(r.param.outHeight - 65) * w + (w - 65)], 0) << "the far corner";
}

TEST(AutoCrop, TheTrimStopsAtTheFirstLightContentAboveTheDarkContent) {
    GreyPage page(2000, 2200);
    page.Fill(800, 700, 1100, 1100, 0);
    page.Fill(600, 700, 600, 1100, 240); // a light line: not dark, but content for the trim
    CropResult r = Crop(page, 300);
    ASSERT_EQ(r.found, 1);
    // The dark rows start at 785 (the 15-row window); the trim from 385 downwards stops on row 600, then 50 more.
    EXPECT_EQ(r.param.outHeight, 1100 + 64 - (600 - 50) + 1);
    EXPECT_EQ(r.out[50 * static_cast<size_t>(r.param.outWidth) + 65], 240) << "the light line is kept whole";
}

TEST(AutoCrop, APageWithoutContentHasNothingToCropAndItsOutputIsUntouched) {
    for (int dpi : {75, 300, 600}) {
        GreyPage page(1200, 1500);
        CropResult r = Crop(page, dpi);
        EXPECT_EQ(r.found, 0) << dpi << " dpi";
        EXPECT_TRUE(std::all_of(r.out.begin(), r.out.end(), [](BYTE b) { return b == 0x5A; })) << dpi << " dpi";
    }
    GreyPage tiny(100, 100);
    tiny.Fill(10, 10, 90, 90, 0);
    EXPECT_EQ(Crop(tiny, 300).found, 0) << "a page without an examined area";
}

TEST(PageFixes, ParametersThatDescribeNoPageAreRefused) {
    GreyPage page(300, 300);
    page.Fill(100, 100, 200, 200, 0);
    EXPECT_EQ(Crop(page.bytes.data(), 3, 300, 300, 300, page.bytes.size()).found, 0) << "mode 3";
    EXPECT_EQ(Crop(page.bytes.data(), 1, 300, 0, 300, page.bytes.size()).found, 0) << "width 0";
    EXPECT_EQ(auto_crop(page.bytes.data(), page.bytes.data(), nullptr), 0);
    ImgProcParam turn{-1, 300, 300, 300, 0, 0, 2.0f};
    EXPECT_FALSE(normal_rotate(page.bytes.data(), &turn));
    turn = {1, 300, 300, -5, 0, 0, 2.0f};
    EXPECT_FALSE(normal_rotate(page.bytes.data(), &turn));
    EXPECT_FALSE(normal_rotate(nullptr, &turn));
}

TEST(AutoCrop, AtAResolutionOutsideTheTableEveryExaminedRowCounts) {
    GreyPage page(300, 200);
    CropResult r = Crop(page, 200);
    ASSERT_EQ(r.found, 1);
    EXPECT_EQ(r.param.outWidth, 300 - 50 - 51);
    EXPECT_EQ(r.param.outHeight, 200 - 50 - 51);
}

TEST(AutoCrop, TheSimulatedDocumentIsCroppedAlikeInEveryMode) {
    SimulatedScanner scanner;
    for (int colour : {0, 1, 2}) {
        SCOPED_TRACE(colour == 0 ? "black and white" : colour == 1 ? "grey" : "colour");
        ScannedPage page = scanner.ScanA4(300, colour);
        ASSERT_EQ(page.width, 2480);
        CropResult r = Crop(page);
        ASSERT_EQ(r.found, 1);
        const int top = kDocTop - 65, left = kDocLeft - 65;
        EXPECT_EQ(r.param.outHeight, kDocBottom + 65 - top);
        EXPECT_EQ(r.param.outWidth, kDocRight + 65 - left);
        // The output is the page's own pixels of the box, in the page's format.
        const size_t outRow = colour == 0 ? (r.param.outWidth + 7) / 8 : r.param.outWidth * (colour == 2 ? 3 : 1);
        for (int y = 0; y < r.param.outHeight; y += 97) {
            const BYTE* source = page.bytes.data() + (top + y) * page.RowBytes();
            const BYTE* cropped = r.out.data() + y * outRow;
            for (int x = 0; x < r.param.outWidth; ++x) {
                const int sx = left + x;
                bool same = colour == 0
                                ? ((source[sx / 8] >> (7 - sx % 8)) & 1) == ((cropped[x / 8] >> (7 - x % 8)) & 1)
                                : std::memcmp(source + sx * (colour == 2 ? 3 : 1), cropped + x * (colour == 2 ? 3 : 1),
                                              colour == 2 ? 3 : 1) == 0;
                ASSERT_TRUE(same) << "pixel " << x << "," << y;
            }
        }
    }
}

TEST(AutoDeskew, PagesOfAtMost101RowsOrColumnsHaveNoSkew) {
    for (auto [w, h] : {std::pair{400, 101}, std::pair{101, 400}}) {
        GreyPage page(w, h);
        for (int x = 0; x < w; ++x)
            page.Fill(std::clamp(60 - x / 20, 0, h - 1), x, std::clamp(62 - x / 20, 0, h - 1), x, 0);
        EXPECT_EQ(auto_deskew(page.bytes.data(), w, h, 1, 300), 0.0f) << w << "x" << h;
    }
    GreyPage blank(800, 800);
    EXPECT_EQ(auto_deskew(blank.bytes.data(), 800, 800, 1, 300), 0.0f) << "nothing dark";
}

TEST(AutoDeskew, FindsTheSkewOfTheSimulatedDocumentInEachMode) {
    SimulatedScanner scanner;
    for (auto [colour, skew] : {std::pair{1, 3}, std::pair{2, -2}, std::pair{0, 4}, std::pair{1, 0}}) {
        scanner.Control("skew = " + std::to_string(skew) + "\n");
        ScannedPage page = scanner.ScanA4(300, colour);
        std::vector<BYTE> grey = GreyOf(page);
        EXPECT_EQ(auto_deskew(grey.data(), page.width, page.height, colour, 300), static_cast<float>(skew))
            << "mode " << colour;
    }
}

TEST(AutoDeskew, AStraightenedSkewedDocumentIsCroppedToItsUprightBox) {
    SimulatedScanner scanner;
    for (auto [colour, skew] : {std::pair{1, 3}, std::pair{2, -2}, std::pair{0, 4}}) {
        SCOPED_TRACE("mode " + std::to_string(colour));
        scanner.Control("skew = " + std::to_string(skew) + "\n");
        ScannedPage page = scanner.ScanA4(300, colour);
        std::vector<BYTE> grey = GreyOf(page);
        const float angle = auto_deskew(grey.data(), page.width, page.height, colour, 300);
        ASSERT_EQ(angle, static_cast<float>(skew));

        // Straighten as the page fixes do: black and white through its 0/1 bytes.
        ImgProcParam turn{colour, 300, page.width, page.height, 0, 0, angle};
        std::unique_ptr<BYTE[]> upright = normal_rotate(colour == 0 ? grey.data() : page.bytes.data(), &turn);
        ASSERT_TRUE(upright);
        CropResult r = Crop(upright.get(), colour, 300, page.width, page.height, page.bytes.size());
        ASSERT_EQ(r.found, 1);

        // Where the document's corners land after the turn about the page's centre (clockwise by the angle).
        const scandrv::Placement placement{1200, 1200, 7200, 9600, static_cast<double>(skew)};
        const double rad = skew * M_PI / 180;
        const double hw = static_cast<double>(page.width / 2),
                     hh = static_cast<double>(page.height / 2); // as the turn halves
        double top = 1e9, bottom = -1e9, left = 1e9, right = -1e9;
        for (scandrv::Point corner : scandrv::DocumentCorners(placement)) {
            scandrv::Point px = scandrv::BedToPixel(corner, 0, 0, 300, 300);
            const double sr = px.y - hh, sc = px.x - hw;
            const double row = hh + sr * std::cos(rad) + sc * std::sin(rad);
            const double col = hw - sr * std::sin(rad) + sc * std::cos(rad);
            top = std::min(top, row), bottom = std::max(bottom, row);
            left = std::min(left, col), right = std::max(right, col);
        }
        EXPECT_NEAR(r.param.outHeight, bottom - top + 130, 4);
        EXPECT_NEAR(r.param.outWidth, right - left + 130, 4);
    }
}

TEST(DetectSkewAngle, TheLongestLineGivesTheAngleFoldedToWithinFifteenDegrees) {
    std::vector<int> rows, columns;
    Line(rows, columns, 600, 2, 100, 1900);
    EXPECT_EQ(Hough(rows, columns, 2000, 1000), 2.0f);

    rows.clear(), columns.clear();
    Line(rows, columns, 300, -2, 100, 1900);
    EXPECT_EQ(Hough(rows, columns, 2000, 1000), -2.0f) << "358 folds to -2";

    rows.clear(), columns.clear();
    Line(rows, columns, 500, 0, 0, 1500);
    EXPECT_EQ(Hough(rows, columns, 2000, 1000), 0.0f);

    rows.clear(), columns.clear();
    Line(rows, columns, 900, 20, 0, 1500);
    EXPECT_EQ(Hough(rows, columns, 2000, 1000), 0.0f) << "a skew of 15 degrees or more is not corrected";

    rows.clear(), columns.clear();
    for (int y = 0; y < 900; ++y) {
        rows.push_back(y);
        columns.push_back(700);
    }
    EXPECT_EQ(Hough(rows, columns, 2000, 1000), 0.0f) << "a vertical line";
    EXPECT_EQ(DetectSkewAngle(nullptr, nullptr, 0, 2000, 1000), 0.0f) << "no points";
}

TEST(DetectSkewAngle, VotesOfPointsFarFromTheOriginAreSummedIn64Bits) {
    // row x 100000 passes 2^31 beyond row 21474.
    std::vector<int> rows, columns;
    Line(rows, columns, 29000, 3, 20000, 23000);
    EXPECT_EQ(Hough(rows, columns, 30000, 30000), 3.0f);
}

TEST(NormalRotate, ATurnByZeroKeepsThePageButForItsWhiteBorder) {
    const int w = 9, h = 7;
    for (int mode : {0, 1, 2}) {
        const int pixel = mode == 2 ? 3 : 1;
        std::vector<BYTE> page(static_cast<size_t>(w * h * pixel));
        for (size_t i = 0; i < page.size(); ++i)
            page[i] = mode == 0 ? static_cast<BYTE>(i % 3 == 0 ? 0 : 1) : static_cast<BYTE>(i * 37);
        ImgProcParam param{mode, 300, w, h, 0, 0, 0.0f};
        std::unique_ptr<BYTE[]> turned = normal_rotate(page.data(), &param);
        ASSERT_TRUE(turned);
        EXPECT_EQ(param.outWidth, w);
        EXPECT_EQ(param.outHeight, h);
        std::vector<BYTE> result(static_cast<size_t>(w * h * pixel));
        if (mode == 0)
            BwToGray(turned.get(), result.data(), w, h);
        else
            std::copy(turned.get(), turned.get() + result.size(), result.begin());
        const BYTE white = mode == 0 ? 1 : 255;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < pixel; ++c) {
                    const size_t at = static_cast<size_t>((y * w + x) * pixel + c);
                    const bool border = y == 0 || x == 0 || y >= h - 2 || x >= w - 2;
                    ASSERT_EQ(result[at], border ? white : page[at]) << "mode " << mode << " at " << x << "," << y;
                }
    }
}
