// The page fixes give, for every page, exactly what their first, plain form gave: the same angle from auto_deskew
// and DetectSkewAngle, the same bytes from the conversions, normal_rotate and auto_crop. Pages of the simulated
// device at every resolution, skew and colour mode, cut to odd sizes, and drawn point sets for the Hough step.
#include "imaging/ImageProcessing.h"
#include "imaging/ParallelBands.h"

#include "ReferencePageFixes.h"
#include "SimulatedScanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace ref = reference_fixes;

// "" when the two buffers hold the same bytes, else where they first differ.
std::string FirstDifference(const BYTE* got, const BYTE* want, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        if (got[i] != want[i])
            return "byte " + std::to_string(i) + " of " + std::to_string(size) + " is " + std::to_string(got[i]) +
                   ", the reference has " + std::to_string(want[i]);
    return "";
}

std::size_t RowBytes(int width, int mode) {
    return (static_cast<std::size_t>(width) * (mode == 0 ? 1 : mode == 1 ? 8 : 24) + 7) / 8;
}

// The grey image of a page by mode, from both forms of the conversions; they must agree.
std::vector<BYTE> GreyOfPage(const BYTE* data, int width, int height, int mode) {
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<BYTE> grey(pixels, 0x33), want(pixels, 0x33);
    if (mode == 0) {
        BwToGray(data, grey.data(), width, height);
        ref::BwToGray(data, want.data(), width, height);
    } else if (mode == 2) {
        RgbToGray(data, grey.data(), width, height);
        ref::RgbToGray(data, want.data(), width, height);
    } else {
        std::memcpy(grey.data(), data, pixels);
        want = grey;
    }
    EXPECT_EQ(FirstDifference(grey.data(), want.data(), pixels), "") << "grey conversion";
    return grey;
}

void ExpectSameCrop(const BYTE* data, int mode, int dpi, int width, int height, const std::string& what) {
    const std::size_t size = RowBytes(width, mode) * static_cast<std::size_t>(height);
    std::vector<BYTE> out(size, 0x5A), want(size, 0x5A);
    ImgProcParam param{mode, dpi, width, height, -1, -1, 0};
    ref::ImgProcParam wantParam{mode, dpi, width, height, -1, -1, 0};
    const int found = auto_crop(data, out.data(), &param);
    ASSERT_EQ(found, ref::auto_crop(data, want.data(), &wantParam)) << what << ": whether a box was found";
    EXPECT_EQ(param.outWidth, wantParam.outWidth) << what << ": cropped width";
    EXPECT_EQ(param.outHeight, wantParam.outHeight) << what << ": cropped height";
    EXPECT_EQ(FirstDifference(out.data(), want.data(), size), "") << what << ": cropped page";
}

// normal_rotate by the angle against the reference; returns the turned page (empty when it failed).
std::vector<BYTE> ExpectSameTurn(const BYTE* input, int mode, int dpi, int width, int height, float angle,
                                 const std::string& what) {
    ImgProcParam param{mode, dpi, width, height, 0, 0, angle};
    ref::ImgProcParam wantParam{mode, dpi, width, height, 0, 0, angle};
    std::unique_ptr<BYTE[]> got = normal_rotate(input, &param);
    std::unique_ptr<BYTE[]> want = ref::normal_rotate(input, &wantParam);
    if (!got || !want) {
        ADD_FAILURE() << what << ": a turn by " << angle << " failed";
        return {};
    }
    EXPECT_EQ(param.outWidth, width) << what;
    EXPECT_EQ(param.outHeight, height) << what;
    const std::size_t size = RowBytes(width, mode) * static_cast<std::size_t>(height);
    EXPECT_EQ(FirstDifference(got.get(), want.get(), size), "") << what << ": page turned by " << angle;
    return std::vector<BYTE>(got.get(), got.get() + size);
}

// Every fix of the scan thread, in its order, on one page: grey copy, skew, turn, crop of the turned page; the crop
// of the page as scanned too.
void ExpectSameFixes(const BYTE* data, int mode, int dpi, int width, int height, const std::string& what) {
    SCOPED_TRACE(what + ", " + std::to_string(width) + " x " + std::to_string(height));
    std::vector<BYTE> grey = GreyOfPage(data, width, height, mode);
    const float angle = auto_deskew(grey.data(), width, height, mode, dpi);
    ASSERT_EQ(angle, ref::auto_deskew(grey.data(), width, height, mode, dpi)) << "skew angle";
    ExpectSameCrop(data, mode, dpi, width, height, "page as scanned");
    std::vector<BYTE> turned = ExpectSameTurn(mode == 0 ? grey.data() : data, mode, dpi, width, height, angle, "turn");
    if (!turned.empty())
        ExpectSameCrop(turned.data(), mode, dpi, width, height, "turned page");
}

void ExpectSameFixes(const ScannedPage& page, const std::string& what) {
    ExpectSameFixes(page.bytes.data(), page.colour, page.dpi, page.width, page.height, what);
}

// The top-left width x height pixels of a page, in its own format.
std::vector<BYTE> Cut(const ScannedPage& page, int width, int height) {
    const std::size_t rowBytes = RowBytes(width, page.colour);
    std::vector<BYTE> out(rowBytes * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(out.data() + rowBytes * y, page.bytes.data() + page.RowBytes() * y, rowBytes);
    if (page.colour == 0 && width % 8 != 0) // the spare bits of a cut row are not part of the page
        for (int y = 0; y < height; ++y)
            out[rowBytes * y + rowBytes - 1] &= static_cast<BYTE>(0xFF00u >> (width % 8));
    return out;
}

const char* ModeName(int mode) {
    return mode == 0 ? "black and white" : mode == 1 ? "grey" : "colour";
}

float Hough(const std::vector<int>& rows, const std::vector<int>& columns, int width, int height) {
    const float got = DetectSkewAngle(rows.data(), columns.data(), static_cast<int>(rows.size()), width, height);
    EXPECT_EQ(got, ref::DetectSkewAngle(rows.data(), columns.data(), static_cast<int>(rows.size()), width, height))
        << rows.size() << " points on " << width << " x " << height;
    return got;
}

// Points (round(row0 + x * slope), x) for x in [from, to).
void Line(std::vector<int>& rows, std::vector<int>& columns, double row0, double slope, int from, int to) {
    for (int x = from; x < to; ++x) {
        rows.push_back(static_cast<int>(std::lround(row0 + x * slope)));
        columns.push_back(x);
    }
}

} // namespace

TEST(PageFixesEquivalence, EverySkewFromMinus10To10GivesTheSameAngleTurnAndCrop) {
    SimulatedScanner scanner;
    for (int skew = -10; skew <= 10; ++skew) {
        scanner.Control("skew = " + std::to_string(skew) + "\ndocument = 1200 1200 4800 6000\n");
        for (int mode : {0, 1, 2}) {
            ScannedPage page = scanner.ScanA4(75, mode);
            ExpectSameFixes(page, "75 dpi " + std::string(ModeName(mode)) + ", skew " + std::to_string(skew));
        }
        const int mode = (skew + 12) % 3; // every mode takes a third of the skews at 150 dpi
        ScannedPage page = scanner.Scan(150, mode, 0, 0, 7200, 9600);
        ExpectSameFixes(page, "150 dpi " + std::string(ModeName(mode)) + ", skew " + std::to_string(skew));
    }
}

TEST(PageFixesEquivalence, EveryResolutionAndModeGivesTheSameAngleTurnAndCrop) {
    SimulatedScanner scanner;
    // A smaller document in a smaller area keeps 600 and 1200 dpi quick; A4 at 300 as the device scans it.
    struct Case {
        int dpi, skew, right, bottom;
        const char* document;
    };
    for (const Case& c :
         {Case{300, 2, 9921, 14031, "1200 1200 7200 9600"}, Case{600, -3, 4800, 6000, "600 600 3600 4800"},
          Case{1200, 4, 2400, 2800, "300 300 1800 2200"}, Case{300, 0, 4800, 6000, "600 600 3600 4800"}}) {
        scanner.Control("skew = " + std::to_string(c.skew) + "\ndocument = " + c.document + "\n");
        for (int mode : {0, 1, 2}) {
            ScannedPage page = scanner.Scan(c.dpi, mode, 0, 0, c.right, c.bottom);
            ExpectSameFixes(page,
                            std::to_string(c.dpi) + " dpi " + ModeName(mode) + ", skew " + std::to_string(c.skew));
        }
    }
}

TEST(PageFixesEquivalence, OddSizesAndResolutionsOutsideTheTableGiveTheSameResults) {
    SimulatedScanner scanner;
    scanner.Control("skew = -6\ndocument = 300 300 4000 5200\n");
    for (int mode : {0, 1, 2}) {
        ScannedPage page = scanner.Scan(300, mode, 0, 0, 4800, 6000);
        ASSERT_GE(page.width, 1021);
        ASSERT_GE(page.height, 1021);
        // 101 and 102 sit at the smallest page the deskew examines; 1009 and 1021 are primes.
        for (auto [w, h] :
             {std::pair{101, 1009}, std::pair{102, 1021}, std::pair{1009, 101}, std::pair{1021, 102},
              std::pair{1009, 1021}, std::pair{157, 1013}, std::pair{1, 1}, std::pair{2, 3}, std::pair{13, 7}}) {
            std::vector<BYTE> cut = Cut(page, w, h);
            for (int dpi : {300, 600, 200})
                ExpectSameFixes(cut.data(), mode, dpi, w, h,
                                std::string(ModeName(mode)) + " cut, " + std::to_string(dpi) + " dpi");
        }
    }
}

TEST(PageFixesEquivalence, TurnsByAnyAngleGiveTheSameBytes) {
    SimulatedScanner scanner;
    scanner.Control("skew = 5\ndocument = 300 300 2400 3000\n");
    for (int mode : {0, 1, 2}) {
        ScannedPage page = scanner.Scan(150, mode, 0, 0, 3000, 3600);
        std::vector<BYTE> grey = GreyOfPage(page.bytes.data(), page.width, page.height, mode);
        const BYTE* input = mode == 0 ? grey.data() : page.bytes.data();
        for (float angle : {0.0f, 1.0f, -1.0f, 14.0f, -14.0f, 2.5f, -7.3f, 90.0f, 180.0f, 269.0f, 0.001f})
            ExpectSameTurn(input, mode, 150, page.width, page.height, angle, ModeName(mode));
    }
}

TEST(PageFixesEquivalence, TheHoughStepFoldsAndBreaksTiesAsBefore) {
    std::vector<int> rows, columns;
    // Candidate 178: a line rising 2 degrees to the right close to the top edge, seen from its far side.
    Line(rows, columns, -40, std::tan(2 * M_PI / 180), 200, 2000);
    EXPECT_EQ(Hough(rows, columns, 2000, 1000), 2.0f) << "178 folds to 2";

    // Candidate 269: a nearly vertical line at negative columns.
    rows.clear(), columns.clear();
    for (int y = 0; y < 1500; ++y) {
        rows.push_back(y);
        columns.push_back(static_cast<int>(std::lround(-300 - y * std::tan(1 * M_PI / 180))));
    }
    EXPECT_EQ(Hough(rows, columns, 2000, 2000), 1.0f) << "269 folds to 1";

    // Skews -10..10 on a line, and two equal lines a few degrees apart (a tie of peaks).
    for (int skew = -10; skew <= 10; ++skew) {
        rows.clear(), columns.clear();
        Line(rows, columns, 900, -std::tan(skew * M_PI / 180), 100, 1900);
        EXPECT_EQ(Hough(rows, columns, 2000, 1800), static_cast<float>(skew)) << "skew " << skew;
        Line(rows, columns, 300, -std::tan((skew + 3) * M_PI / 180), 100, 1900);
        Hough(rows, columns, 2000, 1800);
    }

    // Points beyond the diagonal, far from the origin, on the edges and none at all.
    rows.clear(), columns.clear();
    Line(rows, columns, 29000, -std::tan(3 * M_PI / 180), 20000, 23000);
    EXPECT_EQ(Hough(rows, columns, 30000, 30000), 3.0f);
    Line(rows, columns, 0, 0, 0, 100);
    Hough(rows, columns, 100, 100);
    for (int i = 0; i < 50; ++i)
        rows.push_back(i * 7919 % 3001 - 1000), columns.push_back(i * 104729 % 2999 - 500);
    Hough(rows, columns, 2000, 2000);
    EXPECT_EQ(Hough({}, {}, 2000, 1000), 0.0f) << "no points";
}

TEST(PageFixesEquivalence, VeryWidePagesGiveTheSameAngle) {
    // Wide enough that 32 bits no longer hold every vote's value for some angles, and wider than 16-bit columns.
    for (int width : {40000, 66000}) {
        const int height = 400;
        std::vector<BYTE> grey(static_cast<std::size_t>(width) * height, 240);
        for (int x = 0; x < width; ++x) // dark bars rising by 3 degrees (1 row in 19 columns), 250 rows tall
            for (int t = 0; t < 6; ++t)
                grey[static_cast<std::size_t>(320 - (x / 19) % 250 + t) * width + x] = 10;
        for (int mode : {1, 0}) {
            std::vector<BYTE> input = grey;
            if (mode == 0)
                for (BYTE& v : input)
                    v = v > 128 ? 1 : 0;
            const float angle = auto_deskew(input.data(), width, height, mode, 300);
            EXPECT_EQ(angle, ref::auto_deskew(input.data(), width, height, mode, 300))
                << width << " pixels wide, mode " << mode;
            EXPECT_NE(angle, 0.0f) << width << " pixels wide, mode " << mode;
        }
    }
}

TEST(PageFixesEquivalence, NearlyEqualLinesAtTwoAnglesPickTheSameWinnerAsBefore) {
    // Two dark bars, one falling by 2 degrees and one rising by 3, the second a little longer page by page: the
    // winner flips where their votes meet, so votes counted differently on either line move the flip.
    const int width = 760, height = 420;
    std::vector<float> angles;
    for (int extra = 0; extra < 48; ++extra) {
        std::vector<BYTE> grey(static_cast<std::size_t>(width) * height, 235);
        auto bar = [&](double row0, double degrees, int from, int to) {
            for (int x = from; x < to; ++x) {
                const int top = static_cast<int>(std::lround(row0 - (x - from) * std::tan(degrees * M_PI / 180)));
                for (int t = 0; t < 7; ++t)
                    grey[static_cast<std::size_t>(top + t) * width + x] = 20;
            }
        };
        bar(140, 2, 90, 410);
        bar(330, -3, 420, 420 + 240 + extra);
        for (int mode : {1, 0}) {
            std::vector<BYTE> input = grey;
            if (mode == 0)
                for (BYTE& v : input)
                    v = v > 128 ? 1 : 0;
            const float angle = auto_deskew(input.data(), width, height, mode, 300);
            EXPECT_EQ(angle, ref::auto_deskew(input.data(), width, height, mode, 300))
                << "second bar " << 240 + extra << " long, mode " << mode;
            angles.push_back(angle);
        }
    }
    std::sort(angles.begin(), angles.end());
    EXPECT_GT(std::unique(angles.begin(), angles.end()) - angles.begin(), 1) << "the winner never flipped";
}

TEST(PageFixesEquivalence, RowsOfAnyPointCountAndPagesOfAnyWidthGiveTheSameAngle) {
    // Two nearly equal bars (as above) decide the angle, so a vote counted differently shows. Short dashes of 1 to
    // 24 pixels give rows with every small number of edge points, on either side of the vector widths, and the second
    // bar reaches the last examined column; sixteen widths in a row put that column at every place in a block of
    // columns.
    const int height = 420;
    std::vector<float> angles;
    for (int width = 760; width < 776; ++width)
        for (int extra = 0; extra < 120; extra += 5) {
            std::vector<BYTE> grey(static_cast<std::size_t>(width) * height, 235);
            auto dark = [&](int row, int column, int thickness) {
                for (int t = 0; t < thickness; ++t)
                    grey[static_cast<std::size_t>(row + t) * width + column] = 20;
            };
            auto bar = [&](double row0, double degrees, int from, int to) {
                for (int x = from; x < to; ++x)
                    dark(static_cast<int>(std::lround(row0 - (x - from) * std::tan(degrees * M_PI / 180))), x, 7);
            };
            bar(140, 2, 90, 410);
            bar(330, -3, width - 50 - 160 - extra, width - 50); // up to the last examined column
            int x = 60, length = 1;
            for (int top = 64; top < 120; top += 7) {
                for (int i = 0; i < length; ++i)
                    dark(top - (x + i) / 29, x + i, 3);
                x = x + 2 * length + 13 > width - 90 ? 60 + length % 7 : x + length + 13;
                length = length % 24 + 1;
            }
            const float angle = auto_deskew(grey.data(), width, height, 1, 300);
            EXPECT_EQ(angle, ref::auto_deskew(grey.data(), width, height, 1, 300))
                << width << " pixels wide, second bar " << 160 + extra << " long";
            angles.push_back(angle);
        }
    std::sort(angles.begin(), angles.end());
    EXPECT_GT(std::unique(angles.begin(), angles.end()) - angles.begin(), 1) << "the winner never flipped";
}

TEST(PageFixesEquivalence, GreyOf129AndUpCountsAsWhiteForTheEdgesAsBefore) {
    // A dark bar falling by 2 degrees and a longer one rising by 3, a little lighter than the grey of 120 around it:
    // from 129 up the second bar counts as white, so its edges are strong and it wins; below, they are too weak.
    for (int width : {760, 767}) {
        const int height = 420;
        for (int shade : {124, 127, 128, 129, 130}) {
            std::vector<BYTE> grey(static_cast<std::size_t>(width) * height, 120);
            auto bar = [&](double row0, double degrees, int from, int to, BYTE value) {
                for (int x = from; x < to; ++x) {
                    const int top = static_cast<int>(std::lround(row0 - (x - from) * std::tan(degrees * M_PI / 180)));
                    for (int t = 0; t < 7; ++t)
                        grey[static_cast<std::size_t>(top + t) * width + x] = value;
                }
            };
            bar(140, 2, 90, 410, 20);
            bar(330, -3, 300, 700, static_cast<BYTE>(shade));
            const float angle = auto_deskew(grey.data(), width, height, 1, 300);
            EXPECT_EQ(angle, ref::auto_deskew(grey.data(), width, height, 1, 300))
                << width << " pixels wide, second bar of " << shade;
            EXPECT_EQ(angle, shade >= 129 ? -3.0f : 2.0f) << width << " pixels wide, second bar of " << shade;
        }
    }
}

TEST(PageFixesEquivalence, SpeckledPagesWhereNoDirectionStandsOutGiveTheSameAngle) {
    // Random specks and short strokes of every slope: the counts of many angles come close to the largest, so nearly
    // every column of the accumulator has to be counted in full, and ties between far-apart angles are common.
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (const auto& [width, height] : {std::pair{331, 257}, std::pair{900, 700}})
        for (int density : {2, 20, 200}) {
            std::vector<BYTE> grey(static_cast<std::size_t>(width) * height, 230);
            const int specks = width * height * density / 10000;
            for (int i = 0; i < specks; ++i) {
                const int x = static_cast<int>(next() % static_cast<std::uint32_t>(width - 20)) + 10;
                const int y = static_cast<int>(next() % static_cast<std::uint32_t>(height - 20)) + 10;
                const int length = static_cast<int>(next() % 9), slope = static_cast<int>(next() % 5) - 2;
                for (int t = 0; t <= length; ++t)
                    grey[static_cast<std::size_t>(y + (t * slope) / 4) * width + x + t] =
                        static_cast<BYTE>(next() % 60);
            }
            for (int mode : {1, 0}) {
                std::vector<BYTE> input = grey;
                if (mode == 0)
                    for (BYTE& v : input)
                        v = v > 128 ? 1 : 0;
                for (int dpi : {150, 300, 600}) {
                    EXPECT_EQ(auto_deskew(input.data(), width, height, mode, dpi),
                              ref::auto_deskew(input.data(), width, height, mode, dpi))
                        << width << " x " << height << ", " << density << " specks in 10000, mode " << mode << ", "
                        << dpi << " dpi";
                }
            }
        }
}

TEST(PageFixesEquivalence, AnglesWhosePeakIsCrowdedOrTiedAreStillCountedInFull) {
    // Pairs of neighbouring points, every third column: runs too short to blur their counts.
    auto pairs = [](std::vector<int>& rows, std::vector<int>& columns, double row0, double degrees, int from, int to) {
        for (int x = from; x < to; x += 3) {
            const int row = static_cast<int>(std::lround(row0 - x * std::tan(degrees * M_PI / 180)));
            rows.insert(rows.end(), {row, row});
            columns.insert(columns.end(), {x, x + 1});
        }
    };
    std::vector<int> rows, columns;
    pairs(rows, columns, 1000, 2, 200, 350);
    EXPECT_EQ(Hough(rows, columns, 2000, 2000), 2.0f) << "a line of pairs at 2 degrees alone";

    // Tied with a line of pairs at 9 degrees (96 votes each): peaks 7 degrees apart give no angle.
    std::vector<int> tiedRows = rows, tiedColumns = columns;
    pairs(tiedRows, tiedColumns, 400, 9, 300, 475);
    EXPECT_EQ(Hough(tiedRows, tiedColumns, 2000, 2000), 0.0f) << "two equal peaks 7 degrees apart";

    // Runs of three neighbours, each starting just past a rho row's start at 60 degrees, where the steps of 0.866
    // put two of each run into one rho row: 60 runs give 120 votes there, more than the 96 of the pairs, so the
    // steep direction wins and no angle results.
    int runs = 0;
    for (int y = 100; runs < 60; ++y) {
        const long long base = 1349LL * 100000 - y * 50000LL;
        const long long next = (base + 86601) / 86602; // column + 1 of the run's first point
        if (y * 50000LL + next * 86602 - 1349LL * 100000 >= 13398)
            continue;
        for (int i = 0; i < 3; ++i)
            rows.push_back(y), columns.push_back(static_cast<int>(next - 1) + i);
        ++runs;
    }
    EXPECT_EQ(Hough(rows, columns, 2000, 2000), 0.0f) << "120 votes at 60 degrees against 96 at 2";

    // A line rising 2 degrees just below the top edge votes only at 178 degrees, where the cosine is negative.
    rows.clear(), columns.clear();
    Line(rows, columns, -40, std::tan(2 * M_PI / 180), 1200, 2000);
    EXPECT_EQ(Hough(rows, columns, 2000, 2000), 2.0f) << "178 folds to 2";
}

TEST(PageFixesEquivalence, CornersThatAreNearlyAllLightGiveNoEdgeAsBefore) {
    // A bar falling by 2 degrees against a longer line rising by 3 made of dark specks on a light page. The edge of a
    // square counts only where its four corners (two columns and rows away) sum to less than 765, light ones as
    // 255: a lone speck is one dark corner among three light ones, so a line of lone specks has no edges and the
    // bar wins; two specks four columns apart are two dark corners, which count when their sum is below 255.
    const int width = 760, height = 420;
    struct Case {
        int pair; // 0: lone specks; else the second speck of each pair, four columns to the right
        BYTE first, second;
        float angle;
    };
    for (const Case& c :
         {Case{0, 0, 0, 2.0f}, Case{1, 127, 127, -3.0f}, Case{1, 127, 128, 2.0f}, Case{1, 0, 0, -3.0f}}) {
        std::vector<BYTE> grey(static_cast<std::size_t>(width) * height, 235);
        for (int x = 90; x < 250; ++x) {
            const int top = static_cast<int>(std::lround(140 - (x - 90) * std::tan(2 * M_PI / 180)));
            for (int t = 0; t < 7; ++t)
                grey[static_cast<std::size_t>(top + t) * width + x] = 20;
        }
        for (int x = 260; x < 700; x += 11) {
            const int row = static_cast<int>(std::lround(330 + (x - 260) * std::tan(3 * M_PI / 180)));
            grey[static_cast<std::size_t>(row) * width + x] = c.first;
            if (c.pair != 0)
                grey[static_cast<std::size_t>(row) * width + x + 4] = c.second;
        }
        const float angle = auto_deskew(grey.data(), width, height, 1, 300);
        EXPECT_EQ(angle, ref::auto_deskew(grey.data(), width, height, 1, 300))
            << "specks " << int{c.first} << (c.pair != 0 ? " and " + std::to_string(c.second) : std::string());
        EXPECT_EQ(angle, c.angle) << "specks " << int{c.first}
                                  << (c.pair != 0 ? " and " + std::to_string(c.second) : std::string());
    }
}

namespace {

// A one-bit page (set bits white) drawn with black shapes: bars, boxes and scattered dots from a fixed seed, so a
// page is the same on every run. Spare bits at the end of each row are set or clear as asked: they are no pixels.
class BitPage {
public:
    BitPage(int width, int height, bool spareBitsBlack)
        : m_width(width), m_height(height), m_rowBytes((static_cast<std::size_t>(width) + 7) / 8),
          m_bits(m_rowBytes * static_cast<std::size_t>(height), 0xFF) {
        if (spareBitsBlack && width % 8 != 0)
            for (int y = 0; y < height; ++y)
                m_bits[m_rowBytes * y + m_rowBytes - 1] &= static_cast<BYTE>(0xFF00u >> (width % 8));
    }
    void Black(int x, int y, bool black = true) {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height)
            return;
        BYTE& byte = m_bits[m_rowBytes * y + x / 8];
        const BYTE bit = static_cast<BYTE>(0x80u >> (x % 8));
        byte = black ? static_cast<BYTE>(byte & ~bit) : static_cast<BYTE>(byte | bit);
    }
    // Columns left .. right - 1 of rows top .. bottom - 1, clipped to the page.
    void Box(int left, int top, int right, int bottom, bool black = true) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                Black(x, y, black);
    }
    // Dots at random over the page, one in `every` pixels on average.
    void Scatter(unsigned seed, int every) {
        std::uint32_t s = seed * 2654435761u + 1;
        const std::size_t dots = static_cast<std::size_t>(m_width) * m_height / static_cast<std::size_t>(every);
        for (std::size_t i = 0; i < dots; ++i) {
            s = s * 1664525u + 1013904223u;
            const int x = static_cast<int>((s >> 8) % static_cast<std::uint32_t>(m_width));
            s = s * 1664525u + 1013904223u;
            Black(x, static_cast<int>((s >> 8) % static_cast<std::uint32_t>(m_height)));
        }
    }
    const BYTE* data() const { return m_bits.data(); }
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width, m_height;
    std::size_t m_rowBytes;
    std::vector<BYTE> m_bits;
};

void ExpectSameBitCrop(const BitPage& page, const std::string& what) {
    for (int dpi : {75, 150, 300, 600, 1200, 200})
        ExpectSameCrop(page.data(), 0, dpi, page.width(), page.height(),
                       what + ", " + std::to_string(page.width()) + " x " + std::to_string(page.height()) + " at " +
                           std::to_string(dpi) + " dpi");
}

} // namespace

TEST(PageFixesEquivalence, BlackAndWhitePagesOfOddWidthsCropAsBefore) {
    // Widths on both sides of a byte and of 64 pixels, and primes; content near every margin and across word edges.
    for (int width : {101, 102, 103, 127, 128, 129, 191, 193, 1009, 1021}) {
        for (int height : {101, 102, 131, 1013}) {
            for (bool spare : {false, true}) {
                BitPage page(width, height, spare);
                page.Box(width / 3, height / 3, width / 3 + 40, height / 3 + 30);
                page.Box(35, 35, 36, height - 35); // a rule at the far reach of the first examined column
                page.Box(63, height / 2, width - 63, height / 2 + 2); // a bar across word edges
                page.Scatter(static_cast<unsigned>(width * 7 + height), 997);
                ExpectSameBitCrop(page, spare ? "spare bits clear" : "spare bits set");
            }
        }
    }
}

TEST(PageFixesEquivalence, EmptyAndFullBlackAndWhitePagesCropAsBefore) {
    for (auto [w, h] : {std::pair{1, 1}, std::pair{100, 100}, std::pair{101, 101}, std::pair{150, 99},
                        std::pair{99, 150}, std::pair{1009, 1013}}) {
        BitPage empty(w, h, false);
        ExpectSameBitCrop(empty, "empty page");
        BitPage full(w, h, false);
        full.Box(0, 0, w, h);
        ExpectSameBitCrop(full, "black page");
        // Black only in the margins the crop does not look at, and just inside them.
        BitPage margins(w, h, false);
        margins.Box(0, 0, w, 35);
        margins.Box(0, 0, 35, h);
        margins.Box(w - 35, 0, w, h);
        margins.Box(0, h - 35, w, h);
        ExpectSameBitCrop(margins, "black margins");
        margins.Box(w - 36, 0, w, h);
        margins.Box(0, h - 36, w, h);
        ExpectSameBitCrop(margins, "black margins reaching the window");
    }
}

TEST(PageFixesEquivalence, BlackAndWhiteBoxesAtTheCountThresholdsCropAsBefore) {
    // Bars whose dark window spans just under, at and just over each resolution's count (15, 30, 160 columns or
    // rows), so a count off by one moves or loses the box; text-like dots let the trim stop on a light row.
    for (int reach : {-1, 0, 1}) {
        for (int count : {15, 30, 160}) {
            const int span = count - 31 + reach; // a bar of span pixels is within 15 of span + 30 columns
            BitPage page(1201, 1300, true);
            page.Box(600, 200, 600 + std::max(span, 1), 203); // a short bar: rows count only if it is long enough
            page.Box(300, 700, 303, 700 + std::max(span, 1)); // a short column bar
            page.Box(500, 500, 700, 700 + count / 4);
            for (int i = 0; i < count + reach; ++i) // a light row of count + reach black pixels below the box
                page.Black(500 + 3 * i % 300, 1000);
            ExpectSameBitCrop(page, "count " + std::to_string(count) + " and " + std::to_string(reach));
        }
    }
}

TEST(PageFixesEquivalence, BlackAndWhiteBoxesClippedAtThePageEdgesCropAsBefore) {
    // Content so near an edge that the extensions stop at the page, on each side in turn and on all of them; pages
    // tall enough for several bands of rows.
    const int width = 1523, height = 2011;
    for (int side = 0; side < 5; ++side) {
        BitPage page(width, height, side % 2 == 0);
        page.Scatter(static_cast<unsigned>(side), 50000);
        const int left = side == 0 || side == 4 ? 40 : 600, right = side == 1 || side == 4 ? width - 40 : 900;
        const int top = side == 2 || side == 4 ? 40 : 700, bottom = side == 3 || side == 4 ? height - 40 : 1200;
        page.Box(left, top, right, bottom);
        page.Box(left + 20, top + 20, right - 20, bottom - 20, false); // white inside, as a frame
        ExpectSameBitCrop(page, "box at side " + std::to_string(side));
        page.Scatter(static_cast<unsigned>(side + 9), 200); // dense noise: every row and column counts
        ExpectSameBitCrop(page, "noisy page, box at side " + std::to_string(side));
    }
}

TEST(PageFixesEquivalence, BlackAndWhiteTrimStopsOnTheSamePixelsAsBefore) {
    // At 300 dpi (N 30, E1 400) a block at rows 450..849 and columns 445..869 counts from rows 435 to 864 and columns
    // 430 to 884, and the first extension reaches rows 35..1264 and columns 30..1284. A row of N - 1 dots that the
    // content search cannot see as content stops the trim when one more dot lies in the box: at its first or last
    // column, or just outside. Columns 32 and 1270, outside the examined ones, do the same for the sides.
    for (int rowShift : {-1, 0, 1})
        for (int columnShift : {-1, 0, 1}) {
            BitPage page(1300, 1300, true);
            page.Box(445, 450, 870, 850);
            for (int i = 0; i < 29; ++i) {
                page.Black(100 + 35 * i, 300);
                page.Black(120 + 35 * i, 1200);
                page.Black(32, 400 + 23 * i);
                page.Black(1270, 420 + 23 * i);
            }
            page.Black(30 + rowShift, 300);
            page.Black(1284 + rowShift, 1200);
            page.Black(32, 300 + columnShift);
            page.Black(1270, 1200 + columnShift);
            ExpectSameCrop(page.data(), 0, 300, page.width(), page.height(),
                           "dots " + std::to_string(rowShift) + " and " + std::to_string(columnShift) +
                               " from the box's edges");
        }
}

TEST(PageFixesEquivalence, TallBlackAndWhitePagesCountEveryRowOfAColumn) {
    // Black columns through thousands of rows: per-column counts far past what a byte holds.
    for (int height : {3001, 6007}) {
        BitPage page(131, height, false);
        page.Box(60, 0, 61, height);
        page.Box(100, 0, 102, height / 2);
        for (int dpi : {600, 200})
            ExpectSameCrop(page.data(), 0, dpi, page.width(), page.height(),
                           std::to_string(height) + " rows at " + std::to_string(dpi) + " dpi");
    }
}

TEST(PageFixesEquivalence, ABlackAndWhiteCropWhileAnotherPageIsFixedCountsEveryRowOfAColumn) {
    // While another caller holds the worker threads, the crop runs on its own thread alone, so one set of counters
    // takes every row: a line 300 rows tall under a bar counts 334 rows in its columns, more than a byte holds.
    BitPage page(400, 1000, false);
    page.Box(300, 100, 302, 400);
    page.Box(60, 500, 340, 504);

    std::mutex mutex;
    std::condition_variable changed;
    bool holding = false, release = false;
    std::thread other([&] {
        ParallelBands(2, 1, [&](int, int, int) {
            std::unique_lock lock(mutex);
            holding = true;
            changed.notify_all();
            changed.wait(lock, [&] { return release; });
        });
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return holding; });
    }
    ExpectSameCrop(page.data(), 0, 600, page.width(), page.height(), "a line of 300 rows under a bar");
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    other.join();
}

namespace {

// The 0/1 bytes that normal_rotate takes for a one-bit page.
std::vector<BYTE> Levels(const BitPage& page) {
    std::vector<BYTE> bytes(static_cast<std::size_t>(page.width()) * page.height());
    ref::BwToGray(page.data(), bytes.data(), page.width(), page.height());
    return bytes;
}

} // namespace

TEST(PageFixesEquivalence, BlackAndWhiteTurnsGiveTheSameBits) {
    // Large white and black areas (whole runs of 64 result pixels take one value) beside thin lines and dots (runs
    // turned pixel by pixel), on widths around 64 and primes, by small, steep and folded angles.
    for (int width : {101, 127, 128, 129, 191, 257, 1009}) {
        for (int height : {101, 307}) {
            BitPage page(width, height, true);
            page.Box(0, 0, width / 2, height / 3);                  // black from the top-left corner
            page.Box(width / 3, height / 2, width, height / 2 + 3); // a bar to the right edge
            page.Box(width - 2, 0, width, height);                  // the last two columns
            page.Box(10, height - 40, width / 2, height - 10);
            page.Box(12, height - 38, width / 2 - 2, height - 12, false);
            page.Scatter(static_cast<unsigned>(width + height), 401);
            const std::vector<BYTE> levels = Levels(page);
            for (float angle : {0.0f, 0.001f, 0.5f, 2.0f, -2.0f, 7.3f, -14.0f, 45.0f, -60.0f, 90.0f, 180.0f, 269.0f})
                ExpectSameTurn(levels.data(), 0, 300, width, height, angle,
                               std::to_string(width) + " x " + std::to_string(height));
        }
    }
}

TEST(PageFixesEquivalence, BlackAndWhiteTurnsOfOtherByteValuesGiveTheSameBits) {
    // Bytes other than 0 and 1 count as set when packed: areas of 2 and 255 next to 1, noise of every value, and
    // specks of values with and without their low or high bits on black, where a speck taken for 0 would make the
    // pixels around it black. The width leaves 61 pixels after the last 64; the page is taller than wide, so that
    // turned rows read the last columns from inside.
    const int width = 445, height = 523;
    std::vector<BYTE> bytes(static_cast<std::size_t>(width) * height, 1);
    std::uint32_t s = 7;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE& v = bytes[static_cast<std::size_t>(y) * width + x];
            if (x < 130) {
                v = y < 130 ? 2 : 255;
            } else if (y > 100 && y <= 250) {
                s = s * 1664525u + 1013904223u;
                v = static_cast<BYTE>(s >> 24);
            } else if (y > 250) {
                const BYTE specks[] = {0x80, 2, 0xFF, 0x40, 0x81, 0x7F};
                v = x % 23 == 0 && y % 19 == 0 ? x >= 384 ? 0x80 : specks[(x / 23 + y / 19) % 6] : 0;
            }
        }
    for (float angle : {0.0f, 1.0f, -3.0f, 11.0f, -14.0f, 90.0f})
        ExpectSameTurn(bytes.data(), 0, 300, width, height, angle, "bytes of any value");
}
