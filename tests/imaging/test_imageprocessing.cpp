// The page fixes: conversions, the content box of auto_crop, the skew of auto_deskew and DetectSkewAngle, and
// normal_rotate, on drawn pages and on pages of the simulated device with a known frame and skew.
#include "imaging/ImageProcessing.h"
#include "platform/base/testing.h"

#include "SimulatedScanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
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

namespace {

// Points (row, column) of the straight line whose Hough cell is (theta degrees, rho), counted along the row axis
// when the line is nearer vertical and along the column axis when nearer horizontal.
void HoughLine(std::vector<int>& rows, std::vector<int>& columns, double theta, double rho, int from, int to) {
    const double c = std::cos(theta * M_PI / 180), s = std::sin(theta * M_PI / 180);
    for (int t = from; t < to; ++t) {
        if (std::abs(c) < std::abs(s)) { // rho = row cos + (column + 1) sin: solve for the column
            rows.push_back(t);
            columns.push_back(static_cast<int>(std::lround((rho - t * c) / s)) - 1);
        } else {
            columns.push_back(t);
            rows.push_back(static_cast<int>(std::lround((rho - (t + 1) * s) / c)));
        }
    }
}

} // namespace

TEST(DetectSkewAngle, CandidatesBetween90And270FoldToSmallAngles) {
    std::vector<int> rows, columns;
    // A line rising to the right that meets row 0 inside the page: its cell lies at 178 degrees.
    HoughLine(rows, columns, 178, 20, 700, 1900);
    ASSERT_TRUE(std::all_of(rows.begin(), rows.end(), [](int r) { return r >= 0; }));
    EXPECT_EQ(Hough(rows, columns, 2000, 1000), 2.0f) << "178 folds to 2";

    // Only points left of the page reach a cell between 180 and 270 with a positive rho.
    rows.clear(), columns.clear();
    HoughLine(rows, columns, 269, 600, 0, 1800);
    EXPECT_EQ(Hough(rows, columns, 2000, 2000), 1.0f) << "269 folds to 1";

    rows.clear(), columns.clear();
    HoughLine(rows, columns, 260, 600, 0, 1800);
    EXPECT_EQ(Hough(rows, columns, 2000, 2000), 10.0f) << "260 folds to 10";

    // Just past 180 the fold is 270 - angle, far beyond the limit, not 180 - angle.
    rows.clear(), columns.clear();
    HoughLine(rows, columns, 182, 600, 0, 1800);
    EXPECT_EQ(Hough(rows, columns, 2000, 2000), 0.0f) << "182 folds to 88, which is no skew";
}

TEST(AutoCrop, EachResolutionHasItsOwnDarkThresholdAndCount) {
    struct Rule {
        int dpi, dark, count;
    };
    for (Rule rule :
         {Rule{75, 220, 15}, Rule{150, 200, 15}, Rule{300, 150, 30}, Rule{600, 150, 160}, Rule{1200, 150, 160}}) {
        SCOPED_TRACE(std::to_string(rule.dpi) + " dpi");
        const int side = rule.count + 40;
        GreyPage atThreshold(1000, 1000);
        atThreshold.Fill(400, 400, 400 + side - 1, 400 + side - 1, static_cast<BYTE>(rule.dark));
        EXPECT_EQ(Crop(atThreshold, rule.dpi).found, 1) << "a square at the threshold is content";

        GreyPage lighter(1000, 1000);
        lighter.Fill(400, 400, 400 + side - 1, 400 + side - 1, static_cast<BYTE>(rule.dark + 1));
        EXPECT_EQ(Crop(lighter, rule.dpi).found, 0) << "a square one step lighter is paper";

        // Dark pixels in fewer columns than the count never make a row count, nor in fewer rows a column.
        GreyPage narrow(1000, 1000);
        narrow.Fill(400, 400, 400 + rule.count - 2, 400 + rule.count - 2, 0);
        EXPECT_EQ(Crop(narrow, rule.dpi).found, 0) << "a square one pixel short of the count";
        GreyPage wide(1000, 1000);
        wide.Fill(400, 400, 400 + rule.count - 1, 400 + rule.count - 1, 0);
        EXPECT_EQ(Crop(wide, rule.dpi).found, 1) << "a square as wide as the count";
    }
}

TEST(PageFixes, TheSimulatedDocumentIsCroppedAndDeskewedAtEveryResolution) {
    // A 2 x 2.5 inch document, an inch from the corner of a 4 x 4.5 inch scan; with each resolution's rule the
    // box is the frame plus the 15-pixel window and the last extension.
    struct Case {
        int dpi, finalExtend;
    };
    SimulatedScanner scanner;
    for (Case c : {Case{75, 0}, Case{150, 0}, Case{600, 80}, Case{1200, 80}}) {
        SCOPED_TRACE(std::to_string(c.dpi) + " dpi");
        scanner.Control("document = 1200 1200 2400 3000\nskew = 0\n");
        ScannedPage page = scanner.Scan(c.dpi, 1, 0, 0, 4800, 5400);
        const int docTop = c.dpi, docLeft = c.dpi;
        const int docBottom = c.dpi + c.dpi * 5 / 2 - 1, docRight = c.dpi + 2 * c.dpi - 1;
        CropResult r = Crop(page);
        ASSERT_EQ(r.found, 1);
        EXPECT_EQ(r.param.outHeight, (docBottom + 14 + c.finalExtend) - (docTop - 15 - c.finalExtend) + 1);
        EXPECT_EQ(r.param.outWidth, (docRight + 14 + c.finalExtend) - (docLeft - 15 - c.finalExtend) + 1);

        for (int skew : {3, -2}) {
            scanner.Control("document = 1200 1200 2400 3000\nskew = " + std::to_string(skew) + "\n");
            ScannedPage skewed = scanner.Scan(c.dpi, 1, 0, 0, 4800, 5400);
            EXPECT_EQ(auto_deskew(skewed.bytes.data(), skewed.width, skewed.height, 1, c.dpi), static_cast<float>(skew))
                << "skew " << skew;
        }
    }
}

TEST(AutoDeskew, At600DpiContentMustBe90BelowThePagesMean) {
    // A grey page (not light enough to darken the mean much) with a skewed band: the band is content only when
    // it lies at or below the mean less 90.
    auto page = [](BYTE band) {
        GreyPage p(1200, 1200);
        std::fill(p.bytes.begin(), p.bytes.end(), 200);
        for (int x = 100; x < 1100; ++x) {
            const int top = 500 - static_cast<int>(std::lround(x * std::tan(3 * M_PI / 180)));
            p.Fill(top, x, top + 40, x, band);
        }
        return p;
    };
    auto threshold = [](const GreyPage& p) {
        double mean = 0;
        for (int y = 50; y < p.height - 50; ++y) {
            double sum = 0;
            for (int x = 50; x < p.width - 50; ++x)
                sum += p.bytes[static_cast<size_t>(y) * p.width + x];
            mean += sum / (p.width - 100);
        }
        return static_cast<int>(mean / (p.height - 100) - 90);
    };
    const int t = threshold(page(100));
    ASSERT_GT(t, 60);
    ASSERT_LT(t, 127) << "the band must stay dark enough to make edges";
    GreyPage dark = page(static_cast<BYTE>(t));
    ASSERT_EQ(threshold(dark), t);
    EXPECT_EQ(auto_deskew(dark.bytes.data(), dark.width, dark.height, 1, 600), 3.0f) << "a band at the threshold";
    GreyPage light = page(static_cast<BYTE>(t + 1));
    ASSERT_EQ(threshold(light), t);
    EXPECT_EQ(auto_deskew(light.bytes.data(), light.width, light.height, 1, 600), 0.0f)
        << "a band one step lighter is no content";
    EXPECT_EQ(auto_deskew(light.bytes.data(), light.width, light.height, 1, 300), 3.0f)
        << "at 300 dpi the same band is content (mean less 80)";
}

TEST(AutoCrop, WritesItsEntryItsConversionAndItsExitToTheDebugOutputInEachMode) {
    // A one-bit page names its conversion to grey although it is read from its bits where they lie.
    const int width = 400, height = 300;
    std::vector<BYTE> data(static_cast<size_t>(width) * height * 3, 255), out(data.size());
    for (int y = 100; y < 200; ++y) // a black bar in each format's first bytes
        std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(y) * 50 + 12, 20, 0);
    const std::u16string conversion[] = {u"BwToGray", u"", u"RgbToGray"};
    for (int mode : {0, 1, 2}) {
        std::vector<std::u16string> lines;
        platform::debug::SetSink([&](std::u16string_view line) { lines.emplace_back(line); });
        ImgProcParam param{mode, 300, width, height, 0, 0, 0};
        auto_crop(data.data(), out.data(), &param);
        platform::debug::SetSink({});
        std::vector<std::u16string> want{u"auto_crop()<---------"};
        if (!conversion[mode].empty()) {
            want.push_back(conversion[mode] + u"()<---------");
            want.push_back(conversion[mode] + u"()---------->");
        }
        ASSERT_GE(lines.size(), want.size()) << "mode " << mode;
        EXPECT_TRUE(std::equal(want.begin(), want.end(), lines.begin())) << "mode " << mode << ": the lines begin so";
        EXPECT_EQ(lines.back(), u"auto_crop()---------->") << "mode " << mode;
    }
}
