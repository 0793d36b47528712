// The tone-curve dialog: the presets' values (and the preview following them), the choice per channel reaching the
// settings, Reset, the graph (upside down, the selected channel on top, the identity for an unknown index).
#include "AdjustTestHost.h"

#include "ui/dialogs/AdjustmentDialogs.h"
#include "ui/dialogs/CDlg_Curve.h"

#include <algorithm>

namespace {

using namespace adjust_test;

constexpr int kChannelCombo = 10293, kPresetCombo = 10294, kGraph = 10285, kReset = 10146;

unsigned Ramp(int x, int) {
    const unsigned v = static_cast<unsigned>(x);
    return (v << 16) | (v << 8) | v;
}

class CurveTest : public AdjustTest {
protected:
    void SetUp() override {
        AdjustTest::SetUp();
        window.param.adv[12] = 10; // gamma 1.0
        window.SetPreview(256, 1, Ramp);
        window.refreshed = 0;
    }
    static int Selection(HWND dlg, int combo) {
        return static_cast<int>(SendMessageW(GetDlgItem(dlg, combo), CB_GETCURSEL, 0, 0));
    }
    // Whether the graph shows `colour` within two pixels of the point (x, v) of a curve.
    static bool GraphShows(HWND dlg, int x, int v, COLORREF colour) {
        RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        CRect graph;
        GetWindowRect(GetDlgItem(dlg, kGraph), &graph);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&graph), 2);
        const int px = graph.left + 1 + x * (graph.Width() - 1) / 256;
        const int py = graph.bottom - 1 - v * (graph.Height() - 4) / 257;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (ut::WindowPixel(dlg, px + dx, py + dy) == colour)
                    return true;
        return false;
    }
};

TEST(CurvePresets, FollowTheirFormulas) {
    int table[256];
    CDlg_Curve::FillPresetTable(1, table);
    EXPECT_EQ(table[0], 1) << "lighten: 0.03168 + 0.5, stored with another 0.5 and truncated";
    EXPECT_EQ(table[255], 254) << "253.74 + 0.5 stays below 255";
    EXPECT_EQ(table[128], 213);
    CDlg_Curve::FillPresetTable(2, table);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[64], 32) << "darken: 255 (x / 255)^1.5";
    EXPECT_EQ(table[255], 255);
    CDlg_Curve::FillPresetTable(3, table);
    EXPECT_EQ(table[0], 0) << "the cubic's -0.75 truncates to 0";
    EXPECT_EQ(table[2], 0) << "negative values are held to 0";
    EXPECT_EQ(table[255], 255) << "and values above 255 to 255";
    CDlg_Curve::FillPresetTable(4, table);
    EXPECT_EQ(table[0], 256) << "the negative starts one above the range";
    EXPECT_EQ(table[255], 1);
    for (int unknown : {0, -1, 5, 1000}) {
        CDlg_Curve::FillPresetTable(unknown, table);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(table[i], i) << "preset " << unknown;
    }
}

TEST_F(CurveTest, ThePreviewFollowsTheGraphOfEachPreset) {
    for (int preset = 0; preset < CDlg_Curve::kPresetCount; ++preset) {
        window.param.adv[8] = preset;
        window.Render();
        int table[256];
        CDlg_Curve::FillPresetTable(preset, table);
        for (int x = 0; x < 256; ++x)
            ASSERT_EQ(window.Pixel(x, 0) & 0xFF, static_cast<unsigned>(std::clamp(table[x], 0, 255)))
                << "preset " << preset << " at " << x;
    }
}

TEST_F(CurveTest, APresetChoiceReachesItsChannelAndThePreview) {
    CDlg_Curve dlg(window);
    Run(dlg, [&](HWND hwnd) {
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kChannelCombo), CB_GETCOUNT, 0, 0), 4);
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kPresetCombo), CB_GETCOUNT, 0, 0), 5);
        EXPECT_EQ(Selection(hwnd, kPresetCombo), 0);
        SelectItem(hwnd, kPresetCombo, 4);
        EXPECT_EQ(window.param.adv[8], 4);
        EXPECT_EQ(window.modified, 1);
        EXPECT_EQ(window.Pixel(10, 0), 0xF6F6F6U) << "the negative: 256 - 10";
        SelectItem(hwnd, kPresetCombo, 4);
        EXPECT_EQ(window.modified, 1) << "the same preset again is no change";

        SelectItem(hwnd, kChannelCombo, kChannelBlue);
        EXPECT_EQ(window.modified, 1) << "changing channel changes nothing";
        EXPECT_EQ(Selection(hwnd, kPresetCombo), 0) << "blue's own preset";
        SelectItem(hwnd, kPresetCombo, 2);
        EXPECT_EQ(window.param.adv[11], 2);
        EXPECT_EQ(window.param.adv[8], 4);
        EXPECT_EQ(window.Pixel(64, 0), 0xC0C0A7U) << "the negative's 192 everywhere, then blue darkened to 167";
        SelectItem(hwnd, kChannelCombo, kChannelCombined);
        EXPECT_EQ(Selection(hwnd, kPresetCombo), 4);

        SelectItem(hwnd, kChannelCombo, -1);
        SelectItem(hwnd, kPresetCombo, -1);
        EXPECT_EQ(window.param.adv[8], 4) << "a change to no selection is ignored";
        EXPECT_EQ(window.modified, 2);
    });
    window.param.colorMode = 1;
    CDlg_Curve grey(window);
    Run(grey, [&](HWND hwnd) { EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kChannelCombo), CB_GETCOUNT, 0, 0), 1); });
}

TEST_F(CurveTest, ResetClearsEveryChannelAndAlwaysMarksTheChange) {
    window.param.adv[9] = 3;
    window.param.adv[10] = 1;
    window.Render();
    CDlg_Curve dlg(window);
    Run(dlg, [&](HWND hwnd) {
        SelectItem(hwnd, kChannelCombo, kChannelGreen);
        EXPECT_EQ(Selection(hwnd, kPresetCombo), 1);
        ut::Click(GetDlgItem(hwnd, kReset));
        ut::RunPendingMessages();
        for (int i = 8; i < 12; ++i)
            EXPECT_EQ(window.param.adv[i], 0) << "adv[" << i << "]";
        EXPECT_EQ(Selection(hwnd, kChannelCombo), 0);
        EXPECT_EQ(Selection(hwnd, kPresetCombo), 0);
        EXPECT_EQ(window.Pixel(100, 0), 0x646464U) << "the ramp as it was";
        Press(hwnd, kReset);
    });
    EXPECT_EQ(window.modified, 2) << "marked even when everything was linear already";
    EXPECT_EQ(window.refreshed, 2);
}

TEST_F(CurveTest, TheGraphShowsOutputZeroAtTheBottomAndTheSelectedChannelOnTop) {
    window.param.adv[8] = 4;
    CDlg_Curve dlg(window);
    Run(dlg, [&](HWND hwnd) {
        EXPECT_TRUE(GraphShows(hwnd, 0, 256, kCurveBlack)) << "the negative's first point, one above the range";
        EXPECT_TRUE(GraphShows(hwnd, 200, 56, kCurveBlack));
        EXPECT_FALSE(GraphShows(hwnd, 200, 200, kCurveBlack));
        SelectItem(hwnd, kChannelCombo, kChannelGreen);
        EXPECT_TRUE(GraphShows(hwnd, 128, 128, kCurveGreen)) << "three identities: the selected green on top";
        SelectItem(hwnd, kChannelCombo, kChannelRed);
        EXPECT_TRUE(GraphShows(hwnd, 128, 128, kCurveRed));
        window.param.adv[11] = 7; // an index the presets do not know
        SelectItem(hwnd, kChannelCombo, kChannelBlue);
        EXPECT_EQ(Selection(hwnd, kPresetCombo), -1) << "nothing listed is selected";
        EXPECT_TRUE(GraphShows(hwnd, 128, 128, kCurveBlue)) << "and the identity is drawn";
    });
}

TEST_F(CurveTest, Snapshots) {
    window.param.adv[8] = 1;
    window.param.adv[9] = 3;
    window.param.adv[10] = 2;
    window.param.adv[11] = 4;
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        CDlg_Curve dlg(window);
        Run(dlg, [&](HWND hwnd) {
            SelectItem(hwnd, kChannelCombo, kChannelRed);
            Snapshot(hwnd, "curve");
            if (g_bHebrew) {
                RECT label{}, combo{};
                GetWindowRect(GetDlgItem(hwnd, 10320), &label);
                GetWindowRect(GetDlgItem(hwnd, kChannelCombo), &combo);
                EXPECT_GT(label.left, combo.right) << "mirrored: the channel label at the right";
            }
        });
    }
}

} // namespace
