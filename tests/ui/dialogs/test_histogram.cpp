// The histogram dialog: the counts and statistics of a known preview, the bars and their peak limit, the channels
// by colour mode, the guards for odd statistics and a missing preview or library, and the statistics' separator.
#include "AdjustTestHost.h"

#include "ui/dialogs/AdjustmentDialogs.h"
#include "ui/dialogs/CCHistogramDlg.h"

#include "platform/gdi/testing.h"

#include <cmath>
#include <limits>

namespace {

using namespace adjust_test;

constexpr int kCombo = 10264, kGraph = 10285, kStatistics = 10290;

// 64 x 50 pixels: the left half black, then a red, a green and a white quarter of the rest.
unsigned Quarters(int x, int) {
    if (x < 32)
        return 0x000000U;
    if (x < 40)
        return 0xFF0000U;
    if (x < 48)
        return 0x00FF00U;
    return 0xFFFFFFU;
}

class HistogramTest : public AdjustTest {
protected:
    void SetUp() override {
        AdjustTest::SetUp();
        window.SetPreview(64, 50, Quarters);
        window.ShowRaw(); // the known picture, unfiltered
    }
    // The bars of `bins` as drawn: the height above the baseline of each column (-1 without any pixel).
    static std::vector<int> BarHeights(const std::uint32_t bins[256]) {
        HDC screen = GetDC(nullptr);
        CDC mem;
        mem.Attach(CreateCompatibleDC(screen));
        CBitmap bitmap;
        bitmap.Attach(CreateCompatibleBitmap(screen, 300, 300));
        ReleaseDC(nullptr, screen);
        CBitmap* old = mem.SelectObject(&bitmap);
        mem.PatBlt(0, 0, 300, 300, WHITENESS);
        CCHistogramDlg::DrawBars(&mem, bins);
        std::vector<int> heights(256, -1);
        for (int x = 0; x < 256; ++x)
            for (int y = 0; y <= 200; ++y)
                if (platform::gdi::ReadPixel(mem.m_hDC, x, y) == 0) {
                    heights[x] = 200 - y;
                    break;
                }
        EXPECT_EQ(platform::gdi::ReadPixel(mem.m_hDC, 0, 201), 0xFFFFFFU) << "nothing below the baseline";
        mem.SelectObject(old);
        return heights;
    }
    std::u16string Statistics(HWND dlg) { return ItemText(dlg, kStatistics); }
};

TEST_F(HistogramTest, CountsEveryChannelOfThePreviewAsShown) {
    CCHistogramDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        const HistogramResult& r = dlg.m_result;
        EXPECT_EQ(r.pixels, 3200);
        EXPECT_EQ(r.bins[0][0], 2000U) << "red: black and green";
        EXPECT_EQ(r.bins[0][255], 1200U) << "red: red and white";
        EXPECT_EQ(r.bins[1][255], 1200U);
        EXPECT_EQ(r.bins[2][0], 2400U) << "blue: only white has it";
        EXPECT_EQ(r.bins[3][0], 1600U) << "luminance of black";
        EXPECT_EQ(r.bins[3][76], 400U) << "of red: (299 x 255 + 500) / 1000";
        EXPECT_EQ(r.bins[3][150], 400U) << "of green";
        EXPECT_EQ(r.bins[3][255], 800U);
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kCombo), CB_GETCOUNT, 0, 0), 4);
        if (HaveStrings()) {
            const CString mean = LoadResString(1077), deviation = LoadResString(1078), median = LoadResString(1079),
                          pixels = LoadResString(1080);
            CString expected;
            expected.Format(u"%s %.2f\n%s %.2f\n%s %d\n%s %d", mean.GetString(), r.mean[0], deviation.GetString(),
                            r.deviation[0], median.GetString(), static_cast<int>(r.median[0]), pixels.GetString(),
                            3200);
            EXPECT_EQ(Statistics(hwnd), std::u16string(expected.GetString()));
            EXPECT_NE(Statistics(hwnd).find(u" 92.00\n"), std::u16string::npos) << "the mean of the luminance";
            SelectItem(hwnd, kCombo, kChannelBlue);
            EXPECT_NE(Statistics(hwnd).find(u" 63.75\n"), std::u16string::npos) << "the blue mean: 255 / 4";
            EXPECT_NE(Statistics(hwnd).find(median.GetString() + std::u16string(u" 0\n")), std::u16string::npos);
        }
    });
}

TEST_F(HistogramTest, TheBarsOfTheSelectedChannelFillTheGraph) {
    CCHistogramDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        CRect graph;
        GetWindowRect(GetDlgItem(hwnd, kGraph), &graph);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&graph), 2);
        auto blackAt = [&](int bin, int fromTop) {
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            const int x = graph.left + bin * (graph.Width() - 1) / 256;
            return ut::WindowPixel(hwnd, x, graph.top + fromTop) == 0;
        };
        EXPECT_TRUE(blackAt(0, 2)) << "combined: black is a full bar";
        EXPECT_TRUE(blackAt(76, 2)) << "and so is red's luminance";
        EXPECT_FALSE(blackAt(120, graph.Height() / 2)) << "nothing in between";
        EXPECT_TRUE(blackAt(120, graph.Height() - 2)) << "but the baseline";
        SelectItem(hwnd, kCombo, kChannelGreen);
        EXPECT_FALSE(blackAt(76, 2)) << "green has nothing at 76";
        EXPECT_TRUE(blackAt(255, 2));
    });
}

TEST_F(HistogramTest, BarsAreScaledToALimitedPeakSoOneTallBinDoesNotFlattenTheRest) {
    // A mostly white page: every value 10 times, every fourth 40 times, and white 5000 times more.
    std::uint32_t bins[256];
    for (int i = 0; i < 256; ++i)
        bins[i] = i % 4 == 0 ? 40 : 10;
    bins[255] += 5000;
    // total 9480, limit 148; the tall bin is 53 % of the pixels: factor 1.10674, peak 133, scale 200 / 133.
    const std::vector<int> heights = BarHeights(bins);
    EXPECT_EQ(heights[1], 15) << "10 x 1.504 above the baseline";
    EXPECT_EQ(heights[4], 60);
    EXPECT_EQ(heights[255], 200) << "cut at the top of the graph";

    std::uint32_t flat[256];
    for (int i = 0; i < 256; ++i)
        flat[i] = 100;
    flat[7] = 150;
    const std::vector<int> even = BarHeights(flat);
    EXPECT_EQ(even[7], 200) << "no bin above a 64th: the highest bin is the peak";
    EXPECT_EQ(even[0], 133);
}

TEST_F(HistogramTest, APeakThatComesToNothingDrawsOnlyTheBaseline) {
    std::uint32_t empty[256] = {};
    for (int h : BarHeights(empty))
        ASSERT_EQ(h, 0);
    std::uint32_t few[256] = {};
    few[10] = 30; // under 64 pixels: the limit and so the peak come to 0
    few[20] = 5;
    for (int h : BarHeights(few))
        ASSERT_EQ(h, 0);
    std::uint32_t huge[256] = {};
    huge[0] = 0xFFFFFFFFU;
    huge[1] = 0xFFFFFFFFU;
    huge[2] = 1;
    const std::vector<int> heights = BarHeights(huge);
    EXPECT_EQ(heights[0], 200) << "sums beyond 32 bits still scale";
    EXPECT_EQ(heights[2], 0);
}

TEST_F(HistogramTest, StatisticsThatCannotBeShowAsZeroAndUseTheLanguagesSeparator) {
    HistogramResult result{};
    result.mean[1] = std::numeric_limits<double>::quiet_NaN();
    result.deviation[1] = std::numeric_limits<double>::infinity();
    result.median[1] = 1e300;
    result.pixels = -5;
    const std::u16string odd(CCHistogramDlg::FormatStatistics(result, 1).GetString());
    EXPECT_NE(odd.find(u" 0.00\n"), std::u16string::npos);
    EXPECT_EQ(odd.find(u"nan"), std::u16string::npos);
    EXPECT_EQ(odd.find(u"inf"), std::u16string::npos);
    EXPECT_EQ(odd.substr(odd.size() - 2), u" 0") << "no negative count";
    EXPECT_NE(odd.find(u" 0\n"), std::u16string::npos) << "a median out of range";

    result.mean[0] = 82.3125;
    result.deviation[0] = 12.5;
    g_chDecimalSep = u',';
    const std::u16string comma(CCHistogramDlg::FormatStatistics(result, 0).GetString());
    EXPECT_NE(comma.find(u" 82,31\n"), std::u16string::npos);
    EXPECT_NE(comma.find(u" 12,50\n"), std::u16string::npos);
    EXPECT_EQ(comma.find(u'.'), std::u16string::npos);
    EXPECT_EQ(std::u16string(CCHistogramDlg::FormatStatistics(result, -1).GetString()), comma)
        << "an unknown channel shows the combined one";
}

TEST_F(HistogramTest, WithoutAPreviewOrTheLibraryTheHistogramIsEmpty) {
    for (int missing = 0; missing < 3; ++missing) {
        FakeWindow other;
        other.param.adv[12] = 10;
        if (missing == 1) {
            other.SetPreview(64, 50, Quarters);
            other.display.Destroy(); // a preview without pixels
        } else if (missing == 2) {
            other.SetPreview(64, 50, Quarters);
            wcscpy_s(g_szEffectLibName, MAX_PATH, u"kvxMissingTonalis.dll");
        }
        CCHistogramDlg dlg(other);
        Run(dlg, [&](HWND hwnd) {
            EXPECT_EQ(dlg.m_result.pixels, 0) << "case " << missing;
            EXPECT_EQ(dlg.m_result.bins[3][0], 0U);
            if (HaveStrings()) {
                EXPECT_NE(Statistics(hwnd).find(u" 0.00\n"), std::u16string::npos);
                EXPECT_NE(Statistics(hwnd).find(std::u16string(LoadResString(1080).GetString()) + u" 0"),
                          std::u16string::npos);
            }
        });
        wcscpy_s(g_szEffectLibName, MAX_PATH, EFFECTS_LIBRARY_NAME);
    }
}

TEST_F(HistogramTest, GreyOffersOnlyTheCombinedChannelAndNoSelectionIsIgnored) {
    window.param.colorMode = 1;
    CCHistogramDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kCombo), CB_GETCOUNT, 0, 0), 1);
        const std::u16string before = Statistics(hwnd);
        SelectItem(hwnd, kCombo, -1);
        EXPECT_EQ(dlg.m_nChannel, 0);
        EXPECT_EQ(Statistics(hwnd), before);
    });
    EXPECT_EQ(window.modified, 0) << "the histogram changes no setting";
}

TEST_F(HistogramTest, Snapshots) {
    window.SetPreview(128, 96, [](int x, int y) {
        const unsigned r = static_cast<unsigned>(x * 2), g = static_cast<unsigned>(y * 2), b = (r + g) / 4;
        return (r << 16) | (g << 8) | b;
    });
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        CCHistogramDlg dlg(window);
        Run(dlg, [&](HWND hwnd) {
            Snapshot(hwnd, "histogram");
            if (g_bHebrew) {
                RECT label{}, combo{};
                GetWindowRect(GetDlgItem(hwnd, 10338), &label);
                GetWindowRect(GetDlgItem(hwnd, kCombo), &combo);
                EXPECT_GT(label.left, combo.right) << "mirrored: the channel label at the right";
            }
        });
    }
}

} // namespace
