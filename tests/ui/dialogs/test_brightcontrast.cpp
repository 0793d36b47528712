// The brightness and contrast dialog: values per channel reaching the settings and the preview, the channel list
// by colour mode, Reset, the curve graph (frame once, the selected channel on top, the identity without the
// library), and how it closes.
#include "AdjustTestHost.h"

#include "ui/dialogs/AdjustmentDialogs.h"
#include "ui/dialogs/CCImageBrightContrastDlg.h"

#include "platform/base/testing.h"
#include "tests/support/DebugLines.h"

namespace {

using namespace adjust_test;

constexpr int kCombo = 10279, kGraph = 10285, kBrightnessSlider = 10282, kContrastSlider = 10283;
constexpr int kBrightnessEdit = 10262, kContrastEdit = 10116, kReset = 10146, kClose = 10284;
constexpr COLORREF kFramePen = 0x919295; // the frame's border

// Mid grey with a red tint on the left half: (128, 128, 128) and (200, 100, 50).
unsigned Patches(int x, int) {
    return x < 8 ? 0xC86432U : 0x808080U;
}

class BrightContrastTest : public AdjustTest {
protected:
    void SetUp() override {
        AdjustTest::SetUp();
        window.param.adv[12] = 10; // gamma 1.0: the preview shows the patches as they are
        window.SetPreview(16, 2, Patches);
    }
    static int ComboCount(HWND dlg) {
        return static_cast<int>(SendMessageW(GetDlgItem(dlg, kCombo), CB_GETCOUNT, 0, 0));
    }
    // The graph control's rectangle in the dialog's client coordinates.
    static CRect Graph(HWND dlg) {
        CRect graph;
        GetWindowRect(GetDlgItem(dlg, kGraph), &graph);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&graph), 2);
        return graph;
    }
    // The frame as it shows on the screen: its outer edges and the box inside its border, found by walking the
    // graph's middle row and column for the frame's pen colour.
    struct Frame {
        int outerLeft = -1, outerRight = -1, outerTop = -1, outerBottom = -1;
        int left = 0, right = 0, top = 0, bottom = 0; // inside the border, inclusive
    };
    static Frame FindFrame(HWND dlg) {
        RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        const CRect graph = Graph(dlg);
        Frame f;
        // Runs of the pen colour: the first ends the left (top) border, the last starts the right (bottom) one.
        auto edges = [&](bool across, int& outerFirst, int& innerFirst, int& innerLast, int& outerLast) {
            const int from = across ? graph.left : graph.top, to = across ? graph.right : graph.bottom;
            const int at = across ? graph.top + graph.Height() / 3 : graph.left + graph.Width() / 3;
            std::vector<int> pen;
            for (int p = from; p < to; ++p)
                if (ut::WindowPixel(dlg, across ? p : at, across ? at : p) == kFramePen)
                    pen.push_back(p);
            if (pen.size() < 2)
                return;
            outerFirst = pen.front();
            outerLast = pen.back();
            size_t i = 0;
            while (i + 1 < pen.size() && pen[i + 1] == pen[i] + 1)
                ++i;
            innerFirst = pen[i] + 1;
            size_t j = pen.size() - 1;
            while (j > 0 && pen[j - 1] == pen[j] - 1)
                --j;
            innerLast = pen[j] - 1;
        };
        edges(true, f.outerLeft, f.left, f.right, f.outerRight);
        edges(false, f.outerTop, f.top, f.bottom, f.outerBottom);
        return f;
    }
    // Whether the curve point of input value i and output value v shows `colour` (within two pixels of it, as a
    // drawn curve's last pixel may be left out): the curve spans the box inside the frame, value 0 at its bottom
    // edge and 255 at its top.
    static bool CurveShows(HWND dlg, int i, int v, COLORREF colour) {
        const Frame f = FindFrame(dlg);
        const int x = f.left + (f.right - f.left) * i / 255;
        const int y = f.top + (255 - v) * (f.bottom - f.top) / 255;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (ut::WindowPixel(dlg, x + dx, y + dy) == colour)
                    return true;
        return false;
    }
};

TEST_F(BrightContrastTest, OpensOnTheCombinedChannelWithItsStoredValues) {
    window.param.adv[0] = 20;
    window.param.adv[4] = -30;
    window.param.adv[1] = 55;
    CCImageBrightContrastDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        EXPECT_EQ(ComboCount(hwnd), 4) << "colour: combined, red, green, blue";
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kCombo), CB_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(SliderPos(hwnd, kBrightnessSlider), 20);
        EXPECT_EQ(SliderPos(hwnd, kContrastSlider), -30);
        EXPECT_EQ(ItemText(hwnd, kBrightnessEdit), u"20");
        EXPECT_EQ(ItemText(hwnd, kContrastEdit), u"-30");
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kBrightnessEdit), EM_GETLIMITTEXT, 0, 0), 4);
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kContrastSlider), TBM_GETRANGEMIN, 0, 0), -100);
        CRect graph;
        GetWindowRect(GetDlgItem(hwnd, kGraph), &graph);
        EXPECT_EQ(graph.Width(), graph.Height()) << "the graph is square";
        if (HaveStrings()) {
            EXPECT_EQ(TextOf(hwnd), std::u16string(LoadResString(1063)));
            EXPECT_EQ(ItemText(hwnd, 10280), std::u16string(LoadResString(1072)));
            EXPECT_EQ(ItemText(hwnd, 10281), std::u16string(LoadResString(1073)));
            EXPECT_EQ(ItemText(hwnd, 10278), std::u16string(LoadResString(1067)));
        }
    });
    EXPECT_EQ(window.modified, 0);
    for (int mode : {1, 0}) {
        window.param.colorMode = mode;
        CCImageBrightContrastDlg grey(window);
        Run(grey, [&](HWND hwnd) { EXPECT_EQ(ComboCount(hwnd), 1) << "only the combined channel in mode " << mode; });
    }
}

TEST_F(BrightContrastTest, SlidersAndEditsChangeTheirChannelAndThePreview) {
    ASSERT_EQ(window.Pixel(12, 0), 0x808080U);
    CCImageBrightContrastDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        TypeAndEnter(hwnd, kBrightnessEdit, u"50");
        EXPECT_EQ(window.param.adv[0], 50);
        EXPECT_EQ(SliderPos(hwnd, kBrightnessSlider), 50);
        EXPECT_EQ(window.Pixel(12, 0), 0xC0C0C0U) << "128 + 1.28 x 50 = 192";
        EXPECT_EQ(window.modified, 1);
        EXPECT_EQ(window.refreshed, 1);

        SelectItem(hwnd, kCombo, kChannelRed);
        EXPECT_EQ(window.modified, 1) << "changing channel changes nothing";
        EXPECT_EQ(ItemText(hwnd, kBrightnessEdit), u"0") << "the red channel's own values";
        SetFocus(GetDlgItem(hwnd, kContrastSlider));
        ut::PressKey(VK_RIGHT);
        ut::RunPendingMessages();
        EXPECT_EQ(window.param.adv[5], 1) << "the red contrast";
        EXPECT_EQ(ItemText(hwnd, kContrastEdit), u"1");
        EXPECT_EQ(window.param.adv[4], 0) << "the combined contrast stays";
        TypeAndEnter(hwnd, kBrightnessEdit, u"-100");
        EXPECT_EQ(window.param.adv[1], -100);
        const unsigned pixel = window.Pixel(12, 0);
        EXPECT_LT(pixel >> 16, 0x50U) << "red darkened by 128";
        EXPECT_EQ(pixel & 0xFFFF, 0xC0C0U) << "green and blue keep the combined brightness";

        SelectItem(hwnd, kCombo, kChannelCombined);
        EXPECT_EQ(ItemText(hwnd, kBrightnessEdit), u"50");
        TypeAndEnter(hwnd, kBrightnessEdit, u"50");
        EXPECT_EQ(window.modified, 3) << "the same value again is no change";
        TypeAndEnter(hwnd, kContrastEdit, u"101");
        EXPECT_EQ(window.param.adv[4], 0) << "out of range";
    });
    EXPECT_EQ(m_boxes.size(), 1U);
}

TEST_F(BrightContrastTest, ResetZeroesEveryChannelAndReturnsToTheCombinedOne) {
    CCImageBrightContrastDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        SelectItem(hwnd, kCombo, kChannelGreen);
        ut::Click(GetDlgItem(hwnd, kReset));
        ut::RunPendingMessages();
        EXPECT_EQ(window.modified, 0) << "all were 0 already";
        EXPECT_EQ(SendMessageW(GetDlgItem(hwnd, kCombo), CB_GETCURSEL, 0, 0), 0) << "but it is back on combined";

        for (int i = 0; i < 8; ++i)
            window.param.adv[i] = 10 * (i + 1);
        window.Render();
        SelectItem(hwnd, kCombo, kChannelBlue);
        EXPECT_EQ(ItemText(hwnd, kBrightnessEdit), u"40");
        Press(hwnd, kReset);
        ut::RunPendingMessages();
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(window.param.adv[i], 0) << "adv[" << i << "]";
        EXPECT_EQ(window.modified, 1);
        EXPECT_EQ(window.Pixel(12, 0), 0x808080U) << "the preview as it was";
        EXPECT_EQ(window.Pixel(0, 0), 0xC86432U);
        EXPECT_EQ(ItemText(hwnd, kBrightnessEdit), u"0");
        EXPECT_EQ(SliderPos(hwnd, kContrastSlider), 0);
    });
}

TEST_F(BrightContrastTest, TheGraphDrawsEveryChannelInOneFrameTheSelectedOneOnTop) {
    window.param.adv[2] = 40; // green brighter: its curve lies above the others
    CCImageBrightContrastDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        EXPECT_TRUE(CurveShows(hwnd, 0, 0, kCurveBlack)) << "the identity runs from the bottom-left corner";
        EXPECT_TRUE(CurveShows(hwnd, 128, 128, kCurveBlack));
        EXPECT_TRUE(CurveShows(hwnd, 255, 255, kCurveBlack)) << "to the top-right one";
        EXPECT_FALSE(CurveShows(hwnd, 64, 128, kCurveBlack)) << "and nowhere off the diagonal";
        EXPECT_FALSE(CurveShows(hwnd, 200, 100, kCurveBlack));
        const CRect graph = Graph(hwnd);
        const Frame frame = FindFrame(hwnd);
        EXPECT_EQ(frame.outerLeft, graph.left + 2) << "the frame's left edge";
        EXPECT_EQ(frame.outerTop, graph.top + 2) << "the frame's top edge";
        // The frame encloses the whole graph, two pixels wide on every side.
        EXPECT_GE(frame.outerRight, graph.right - 4);
        EXPECT_LT(frame.outerRight, graph.right);
        EXPECT_GE(frame.outerBottom, graph.bottom - 4);
        EXPECT_LT(frame.outerBottom, graph.bottom);
        EXPECT_EQ(frame.left - frame.outerLeft, 2);
        EXPECT_EQ(frame.outerRight - frame.right, 2);
        EXPECT_EQ(frame.top - frame.outerTop, 2);
        EXPECT_EQ(frame.outerBottom - frame.bottom, 2);
        EXPECT_EQ(ut::WindowPixel(hwnd, graph.left + 40, graph.top + 20), 0xEDE9EBU) << "inside the frame";

        SelectItem(hwnd, kCombo, kChannelRed);
        EXPECT_TRUE(CurveShows(hwnd, 128, 128, kCurveRed)) << "red and blue coincide; the selected red is on top";
        EXPECT_TRUE(CurveShows(hwnd, 64, 64 + 51, kCurveGreen)) << "green, drawn first, is not painted over";
        SelectItem(hwnd, kCombo, kChannelBlue);
        EXPECT_TRUE(CurveShows(hwnd, 128, 128, kCurveBlue));
        SelectItem(hwnd, kCombo, kChannelGreen);
        EXPECT_TRUE(CurveShows(hwnd, 128, 128, kCurveRed)) << "then red over blue";
        EXPECT_TRUE(CurveShows(hwnd, 64, 64 + 51, kCurveGreen));
    });
}

TEST_F(BrightContrastTest, WithoutTheLibraryTheCurveStaysTheIdentity) {
    wcscpy_s(g_szEffectLibName, MAX_PATH, u"kvxMissingTonalis.dll");
    window.param.adv[0] = 100;
    BYTE table[256];
    CCImageBrightContrastDlg::ComputeLut(100, 0, table);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(table[i], i);
    CCImageBrightContrastDlg dlg(window);
    Run(dlg, [&](HWND hwnd) { EXPECT_TRUE(CurveShows(hwnd, 128, 128, kCurveBlack)) << "a straight diagonal"; });
}

TEST_F(BrightContrastTest, ASelectionChangeWithoutASelectionIsIgnored) {
    window.param.adv[1] = 30;
    CCImageBrightContrastDlg dlg(window);
    Run(dlg, [&](HWND hwnd) {
        SelectItem(hwnd, kCombo, -1);
        EXPECT_EQ(ItemText(hwnd, kBrightnessEdit), u"0") << "still the combined channel";
        SetFocus(GetDlgItem(hwnd, kBrightnessSlider));
        ut::PressKey(VK_RIGHT);
        ut::RunPendingMessages();
        EXPECT_EQ(window.param.adv[0], 1);
        EXPECT_EQ(window.param.adv[1], 30);
    });
}

TEST_F(BrightContrastTest, EnterAndEscapeLeaveItOpenTheCloseButtonEndsIt) {
    testsupport::DebugLines debug;
    debug.Capture();
    CCImageBrightContrastDlg dlg(window);
    bool open = false;
    Run(dlg, [&](HWND hwnd) {
        SetFocus(GetDlgItem(hwnd, kBrightnessSlider));
        ut::PressKey(VK_RETURN);
        ut::PressKey(VK_ESCAPE);
        ut::RunPendingMessages();
        open = IsWindowVisible(hwnd) != FALSE;
    });
    debug.Release();
    EXPECT_TRUE(open);
    const std::vector<std::u16string> lines = debug.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), u" CCImageBrightContrastDlg::OnOK()"), lines.end());
    CCImageBrightContrastDlg again(window);
    ut::SetModalInterceptor([](HWND hwnd) {
        ut::RunPendingMessages();
        ut::Click(GetDlgItem(hwnd, kClose));
        ut::RunPendingMessages();
        if (IsWindowVisible(hwnd))
            EndDialog(hwnd, IDCANCEL);
    });
    EXPECT_EQ(again.DoModal(), IDOK);
}

TEST_F(BrightContrastTest, Snapshots) {
    window.param.adv[0] = 10;
    window.param.adv[1] = 30;
    window.param.adv[5] = 40;
    window.param.adv[3] = -40;
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        CCImageBrightContrastDlg dlg(window);
        Run(dlg, [&](HWND hwnd) {
            SelectItem(hwnd, kCombo, kChannelRed);
            Snapshot(hwnd, "brightcontrast");
            if (g_bHebrew) {
                RECT edit{}, slider{};
                GetWindowRect(GetDlgItem(hwnd, kBrightnessEdit), &edit);
                GetWindowRect(GetDlgItem(hwnd, kBrightnessSlider), &slider);
                EXPECT_LT(edit.right, slider.left) << "mirrored: the edit stands left of its slider";
                // The list is laid out right to left; the numbers right-aligned but in their own order.
                EXPECT_NE(GetWindowLongW(GetDlgItem(hwnd, kCombo), GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0) << language.code;
                for (int id : {kBrightnessEdit, kContrastEdit}) {
                    const LONG ex = GetWindowLongW(GetDlgItem(hwnd, id), GWL_EXSTYLE);
                    EXPECT_EQ(ex & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING), WS_EX_LAYOUTRTL | WS_EX_RTLREADING)
                        << language.code << " edit " << id;
                }
                // "-40" of the blue channel reads with its sign in front: the leftmost ink is the minus, one thin
                // stroke, and the rightmost the round 0.
                SelectItem(hwnd, kCombo, 3);
                HWND number = GetDlgItem(hwnd, kBrightnessEdit);
                EXPECT_EQ(TextOf(number), u"-40");
                RECT client{};
                GetClientRect(number, &client);
                auto inked = [&](int x) {
                    int n = 0;
                    for (int y = 0; y < client.bottom; ++y)
                        n += ut::WindowPixel(number, x, y) != GetSysColor(COLOR_WINDOW) ? 1 : 0;
                    return n;
                };
                int first = -1, last = -1;
                for (int x = 1; x < client.right - 1; ++x)
                    if (inked(x) > 0) {
                        if (first < 0)
                            first = x;
                        last = x;
                    }
                EXPECT_GT(first, client.right / 3) << "the number stands at the right";
                EXPECT_LE(inked(first), 2) << "the sign is left of the digits";
                EXPECT_GT(inked(last), 2) << "the last digit ends the number at the right";
            }
        });
    }
}

} // namespace
