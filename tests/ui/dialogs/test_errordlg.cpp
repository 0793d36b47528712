// The error dialog: its texts, its place on the screen, its background by reading direction, and the keys and
// clicks it ignores.
#include "platform/base/path.h"
#include "platform/gdi/testing.h"
#include "platform/user/testing.h"
#include "settings/Language.h"
#include "tests/support/WindowText.h"
#include "ui/dialogs/CErrorDlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace {

namespace ut = platform::user::testing;

// The tests drive input themselves: no X windows (and no real pointer) even when DISPLAY is set.
const int g_headless = setenv("PLATFORM_HEADLESS", "1", 0);

using testsupport::TextOf;

bool Reddish(COLORREF c) {
    return GetRValue(c) > 180 && GetGValue(c) < 110 && GetBValue(c) < 110;
}

class ErrorDlgTest : public ::testing::Test {
protected:
    HMODULE strings = nullptr;

    void SetUp() override {
        std::string folder;
        if (const char* m = std::getenv("MODULE_DIR"))
            folder = m;
        else if (const char* s = std::getenv("STAGE_DIR"))
            folder = std::string(s) + "/twain/kvx7731";
        if (!folder.empty())
            strings = LoadLibraryW((platform::path::ToDosPath(folder) + u"\\kvxtwrcenus.dll").c_str());
        if (strings)
            AfxSetResourceHandle(strings);
        ut::SetScreenSize(1920, 1080);
        g_bHebrew = FALSE;
    }
    void TearDown() override {
        ut::SetModalInterceptor(nullptr);
        AfxSetResourceHandle(nullptr);
        g_bHebrew = FALSE;
    }

    // Runs the dialog with `message`; `inside` looks at it while it runs, then OK is clicked.
    INT_PTR Run(const CString& message, const std::function<void(HWND)>& inside, CWnd* parent = nullptr) {
        CErrorDlg dlg(parent);
        dlg.m_strMessage = message;
        ut::SetModalInterceptor([&](HWND hwnd) {
            ut::RunPendingMessages();
            inside(hwnd);
            ut::Click(GetDlgItem(hwnd, IDOK));
        });
        return dlg.DoModal();
    }
};

TEST_F(ErrorDlgTest, ShowsTheCallersTextWithTheLanguagesCaptionAndOkLabel) {
    bool seen = false;
    const INT_PTR result = Run(CString(u"Not enough disk space."), [&](HWND dlg) {
        seen = true;
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 10306)), u"Not enough disk space.");
        if (strings) {
            EXPECT_EQ(TextOf(dlg), std::u16string(LoadResString(1094)));
            EXPECT_EQ(TextOf(GetDlgItem(dlg, IDOK)), std::u16string(LoadResString(1090)));
        }
        EXPECT_EQ(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0) << "no taskbar button unless asked";
        if (const char* out = std::getenv("CONTROLS_PNG_DIR"))
            ut::SaveWindowPng(dlg, (std::string(out) + "/error_dialog.png").c_str());
    });
    EXPECT_TRUE(seen);
    EXPECT_EQ(result, IDOK) << "a click on OK ends it";
}

TEST_F(ErrorDlgTest, WithoutALanguageLibraryItStillReadsAsAnErrorBox) {
    AfxSetResourceHandle(nullptr); // as when the INI file that names the library is lost
    ASSERT_EQ(LoadResString(1094), CString(u"Load String Error!"));
    bool seen = false;
    Run(CString(u"The scanner's settings file is missing."), [&](HWND dlg) {
        seen = true;
        EXPECT_EQ(TextOf(dlg), u"Error") << "the caption";
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDOK)), u"OK") << "the button";
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 10306)), u"The scanner's settings file is missing.");
    });
    EXPECT_TRUE(seen);
}

TEST_F(ErrorDlgTest, OpensInTheMiddleOfThePrimaryScreenWhereverItsParentIs) {
    ut::SetScreenSize(1601, 901);
    CWnd parent;
    ASSERT_TRUE(
        parent.CreateEx(0, u"#32770", u"Parent", WS_POPUP | WS_VISIBLE, CRect(1400, 800, 1600, 900), nullptr, 0));
    Run(
        CString(u"x"),
        [&](HWND dlg) {
            RECT r{};
            GetWindowRect(dlg, &r);
            const int w = r.right - r.left, h = r.bottom - r.top;
            EXPECT_EQ(r.left, 1601 / 2 - w / 2);
            EXPECT_EQ(r.top, 901 / 2 - h / 2);
            EXPECT_EQ(GetWindow(dlg, GW_OWNER), parent.m_hWnd);
        },
        &parent);
    parent.DestroyWindow();
}

TEST_F(ErrorDlgTest, EnterEscapeSpaceAndRightClicksLeaveItOpen) {
    bool open = false;
    const INT_PTR result = Run(CString(u""), [&](HWND dlg) {
        for (WPARAM key : {VK_RETURN, VK_ESCAPE, VK_SPACE}) {
            ut::PressKey(key);
            ut::RunPendingMessages();
            EXPECT_TRUE(IsWindowVisible(dlg)) << "key " << key;
        }
        SetFocus(GetDlgItem(dlg, IDOK));
        ut::PressKey(VK_RETURN);
        ut::PressKey(VK_SPACE);
        ut::RunPendingMessages();
        RECT r{};
        GetWindowRect(dlg, &r);
        ut::MouseDown(POINT{r.left + 20, r.bottom - 10}, WM_RBUTTONDOWN);
        ut::MouseUp(POINT{r.left + 20, r.bottom - 10}, WM_RBUTTONUP);
        ut::RunPendingMessages();
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 10306)), u"") << "an empty message shows an empty text";
        open = IsWindowVisible(dlg) != FALSE;
    });
    EXPECT_TRUE(open) << "only OK ends the dialog";
    EXPECT_EQ(result, IDOK);
}

TEST_F(ErrorDlgTest, RightToLeftTheBoxIsLaidOutAsTheMirrorOfItsLeftToRightLayout) {
    auto redAt = [](HWND dlg, int x, int y) { return Reddish(ut::WindowPixel(dlg, x, y)); };
    struct Layout {
        RECT text{}, ok{};
        int clientWidth = 0;
        LONG textStyle = 0, exStyle = 0;
    };
    auto layoutOf = [](HWND dlg) {
        Layout l;
        RECT client{};
        GetClientRect(dlg, &client);
        l.clientWidth = client.right;
        for (auto [id, rect] : {std::pair{10306, &l.text}, std::pair{int(IDOK), &l.ok}}) {
            GetWindowRect(GetDlgItem(dlg, id), rect);
            MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(rect), 2);
        }
        l.textStyle = GetWindowLongW(GetDlgItem(dlg, 10306), GWL_STYLE);
        l.exStyle = GetWindowLongW(dlg, GWL_EXSTYLE);
        return l;
    };
    Layout ltr, rtl;
    Run(CString(u"LTR"), [&](HWND dlg) {
        EXPECT_TRUE(redAt(dlg, 30, 37)) << "bitmap 10439: the error mark sits left of the text";
        ltr = layoutOf(dlg);
    });
    g_bHebrew = TRUE;
    Run(CString(u"RTL"), [&](HWND dlg) {
        EXPECT_FALSE(redAt(dlg, 30, 37));
        EXPECT_TRUE(redAt(dlg, 277 - 1 - 30, 37)) << "bitmap 10456: the mark, as large, right of the text";
        rtl = layoutOf(dlg);
    });
    EXPECT_EQ(rtl.text.left, ltr.clientWidth - ltr.text.right) << "the message block stands at the mirror place";
    EXPECT_EQ(rtl.text.right - rtl.text.left, ltr.text.right - ltr.text.left);
    EXPECT_EQ(rtl.ok.left, ltr.clientWidth - ltr.ok.right);
    EXPECT_EQ(rtl.textStyle & SS_TYPEMASK, SS_RIGHT) << "the message lines start at the right";
    EXPECT_NE(rtl.exStyle & WS_EX_RTLREADING, 0) << "the caption and texts read right to left";
    EXPECT_EQ(ltr.textStyle & SS_TYPEMASK, SS_LEFT);
}

TEST_F(ErrorDlgTest, TheApplicationWindowFlagAddsATaskbarButton) {
    CErrorDlg dlg(nullptr);
    dlg.m_bAppWindow = TRUE;
    ut::SetModalInterceptor([&](HWND hwnd) {
        EXPECT_NE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
        EndDialog(hwnd, IDOK);
    });
    dlg.DoModal();
}

TEST_F(ErrorDlgTest, RunningItAHundredTimesLeavesNoGdiObjectBehind) {
    Run(CString(u"warm-up"), [](HWND) {});
    const int before = platform::gdi::LiveObjectCount();
    for (int i = 0; i < 100; ++i)
        Run(CString(u"again"), [](HWND) {});
    EXPECT_EQ(platform::gdi::LiveObjectCount(), before);
}

} // namespace
