// The folder browser a person uses: the drives, a folder's subfolders, choosing, opening and going up, typing a
// path, and OK only for a folder that exists.
#include "platform/base/afxcore.h"
#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/winnls.h"
#include "platform/gdi/testing.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"
#include "tests/support/TempRoot.h"
#include "tests/support/WindowText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace ut = platform::user::testing;

constexpr int kPathEdit = 100;
constexpr int kTitle = 101;
constexpr int kList = 102;

using testsupport::TextOf;

std::vector<std::u16string> Entries(HWND dlg) {
    HWND list = GetDlgItem(dlg, kList);
    std::vector<std::u16string> out;
    for (int i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        WCHAR text[MAX_PATH] = {};
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        out.push_back(text);
    }
    return out;
}

// A double click on the entry named `name` (the second click of two on the same item).
void Open(HWND dlg, const std::u16string& name) {
    HWND list = GetDlgItem(dlg, kList);
    const LRESULT index =
        SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(index, LB_ERR) << "no entry " << std::string(name.begin(), name.end());
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(kList, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
}

void Choose(HWND dlg, const std::u16string& name) {
    HWND list = GetDlgItem(dlg, kList);
    const LRESULT index =
        SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(index, LB_ERR);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(kList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// OK as a person presses it (the focus goes to the button).
void PressOk(HWND dlg) {
    ut::Click(GetDlgItem(dlg, IDOK));
    ut::RunPendingMessages();
}

std::vector<std::u16string>* g_changes = nullptr;

int CALLBACK Callback(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data)
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    if (msg == BFFM_SELCHANGED && g_changes) {
        WCHAR path[MAX_PATH] = {};
        SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path);
        g_changes->push_back(path);
    }
    return 0;
}

class FolderBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("browser-test");
        ASSERT_FALSE(m_root.empty());
        platform::testing::SetRoot(m_root);
        for (const char* folder : {"Scans/2024", "Scans/2025", "Scans/.hidden", "Pictures", "Documents"})
            std::filesystem::create_directories(m_root + "/" + folder);
        std::ofstream(m_root + "/Scans/page.pdf") << "not a folder";
        g_changes = &m_changes;
    }
    void TearDown() override {
        ut::SetModalInterceptor(nullptr);
        g_changes = nullptr;
        testsupport::RemoveFolder(m_root);
    }

    // Runs the browser starting at `start` (none when empty); `inside` works the dialog. Answers the chosen path,
    // or "<cancelled>".
    std::u16string Run(const std::u16string& start, const std::function<void(HWND)>& inside) {
        ut::SetModalInterceptor([&](HWND dlg) {
            ut::RunPendingMessages();
            inside(dlg);
            if (IsWindow(dlg) && IsWindowVisible(dlg))
                SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        });
        BROWSEINFOW bi{};
        bi.ulFlags = 0x1053;
        bi.lpfn = Callback;
        bi.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
        PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
        ut::SetModalInterceptor(nullptr);
        if (!pidl)
            return u"<cancelled>";
        WCHAR path[MAX_PATH] = {};
        SHGetPathFromIDListW(pidl, path);
        ILFree(pidl);
        return path;
    }

    std::string m_root;
    std::vector<std::u16string> m_changes;
};

TEST_F(FolderBrowser, StartsAtTheDrivesAndOpensAFolderToItsVisibleSubfolders) {
    const std::u16string chosen = Run(u"", [&](HWND dlg) {
        EXPECT_EQ(Entries(dlg), (std::vector<std::u16string>{u"C:\\", u"Z:\\"}));
        EXPECT_EQ(TextOf(GetDlgItem(dlg, kTitle)), u"Look in: Drives");
        Open(dlg, u"C:\\");
        EXPECT_EQ(Entries(dlg), (std::vector<std::u16string>{u"..", u"Documents", u"Pictures", u"Scans"}));
        Open(dlg, u"Scans");
        EXPECT_EQ(Entries(dlg), (std::vector<std::u16string>{u"..", u"2024", u"2025"})) << "files and dot folders "
                                                                                           "are not listed";
        EXPECT_EQ(TextOf(GetDlgItem(dlg, kPathEdit)), u"C:\\Scans");
        Choose(dlg, u"2025");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, kPathEdit)), u"C:\\Scans\\2025");
        PressOk(dlg);
    });
    EXPECT_EQ(chosen, u"C:\\Scans\\2025");
    EXPECT_EQ(m_changes.back(), u"C:\\Scans\\2025") << "the callback hears of each choice";
}

TEST_F(FolderBrowser, TheStartingFolderIsChosenAmongItsSiblingsAndUpKeepsTheFolderLeft) {
    const std::u16string chosen = Run(u"C:\\Scans\\2024", [&](HWND dlg) {
        EXPECT_EQ(Entries(dlg), (std::vector<std::u16string>{u"..", u"2024", u"2025"}));
        EXPECT_EQ(SendDlgItemMessageW(dlg, kList, LB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(TextOf(GetDlgItem(dlg, kPathEdit)), u"C:\\Scans\\2024");
        Open(dlg, u"..");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, kTitle)), u"Look in: C:\\");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, kPathEdit)), u"C:\\Scans");
        WCHAR text[MAX_PATH] = {};
        SendDlgItemMessageW(dlg, kList, LB_GETTEXT, SendDlgItemMessageW(dlg, kList, LB_GETCURSEL, 0, 0),
                            reinterpret_cast<LPARAM>(text));
        EXPECT_EQ(std::u16string(text), u"Scans");
        PressOk(dlg);
    });
    EXPECT_EQ(chosen, u"C:\\Scans");
}

TEST_F(FolderBrowser, OkTakesATypedFolderOnlyWhenItExists) {
    bool refused = false;
    const std::u16string chosen = Run(u"", [&](HWND dlg) {
        SetDlgItemTextW(dlg, kPathEdit, u"C:\\Nowhere");
        PressOk(dlg);
        refused = IsWindowVisible(dlg);
        SetDlgItemTextW(dlg, kPathEdit, u"C:\\Scans\\page.pdf");
        PressOk(dlg);
        refused = refused && IsWindowVisible(dlg);
        SetDlgItemTextW(dlg, kPathEdit, u"C:\\Pictures\\");
        PressOk(dlg);
    });
    EXPECT_TRUE(refused);
    EXPECT_EQ(chosen, u"C:\\Pictures");
}

TEST_F(FolderBrowser, EnterInTheListOpensTheChosenFolder) {
    const std::u16string chosen = Run(u"C:\\Scans", [&](HWND dlg) {
        SetFocus(GetDlgItem(dlg, kList));
        ut::PressKey(VK_RETURN);
        ut::RunPendingMessages();
        EXPECT_EQ(Entries(dlg), (std::vector<std::u16string>{u"..", u"2024", u"2025"}));
        EXPECT_TRUE(IsWindowVisible(dlg));
    });
    EXPECT_EQ(chosen, u"<cancelled>");
}

} // namespace

namespace {

// The process speaks Hebrew, and its resource module (the test program's) carries the browser's Hebrew texts.
class HebrewFolderBrowser : public FolderBrowser {
protected:
    void SetUp() override {
        FolderBrowser::SetUp();
        ASSERT_TRUE(SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, u"040D\0", nullptr));
        m_texts = LoadLibraryW(platform::path::ToDosPath(BROWSER_TEXTS_HE).c_str());
        ASSERT_NE(m_texts, nullptr);
        AfxSetResourceHandle(m_texts);
    }
    void TearDown() override {
        SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, nullptr, nullptr);
        AfxSetResourceHandle(nullptr);
        if (m_texts)
            FreeLibrary(m_texts);
        FolderBrowser::TearDown();
    }
    HMODULE m_texts = nullptr;
};

RECT RectIn(HWND dlg, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dlg, id), &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(FolderBrowser, SpeaksEnglishWithoutTextsOfTheProgramsAndReadsLeftToRight) {
    Run(u"", [&](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), u"Browse For Folder");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 103)), u"Folder:");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDOK)), u"OK");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDCANCEL)), u"Cancel");
        EXPECT_LT(RectIn(dlg, IDOK).left, RectIn(dlg, IDCANCEL).left) << "OK left of Cancel";
        EXPECT_EQ(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
    });
}

TEST_F(HebrewFolderBrowser, TakesItsTextsFromTheLanguageAndIsLaidOutRightToLeft) {
    const std::u16string chosen = Run(u"", [&](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), u"\u05E2\u05D9\u05D5\u05DF \u05D0\u05D7\u05E8 \u05EA\u05D9\u05E7\u05D9\u05D9\u05D4");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, kTitle)),
                  u"\u05D7\u05D9\u05E4\u05D5\u05E9 \u05D1: \u05DB\u05D5\u05E0\u05E0\u05D9\u05DD")
            << "\"Look in: Drives\" in Hebrew";
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDOK)), u"\u05D0\u05D9\u05E9\u05D5\u05E8");
        RECT client{};
        GetClientRect(dlg, &client);
        EXPECT_GT(RectIn(dlg, IDOK).left, RectIn(dlg, IDCANCEL).left) << "mirrored: OK right of Cancel";
        EXPECT_GT(RectIn(dlg, 103).left, RectIn(dlg, kPathEdit).left) << "the label right of the path box";
        EXPECT_LT(RectIn(dlg, IDCANCEL).right, client.right / 2) << "the buttons stand at the left";
        EXPECT_NE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_RTLREADING, 0) << "the caption reads from the right";
        EXPECT_EQ(GetWindowLongW(GetDlgItem(dlg, 103), GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);
        const LONG pathBox = GetWindowLongW(GetDlgItem(dlg, kPathEdit), GWL_EXSTYLE);
        EXPECT_EQ(pathBox & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING), WS_EX_LAYOUTRTL | WS_EX_RTLREADING)
            << "the path box starts at the right, the path reads left to right";
        Open(dlg, u"C:\\");
        // "C:\" after the label, read right to left, keeps its own order: C left of the backslash.
        HWND title = GetDlgItem(dlg, kTitle);
        const std::u16string text = TextOf(title);
        const size_t drive = text.find(u"C:\\");
        ASSERT_NE(drive, std::u16string::npos);
        HDC dc = GetDC(title);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(title, WM_GETFONT, 0, 0)));
        int letterAt = -1, slashAt = -1;
        for (const auto& g :
             platform::gdi::ShapeText(dc, text.c_str(), static_cast<int>(text.size()), ETO_RTLREADING)) {
            if (g.unit == static_cast<int>(drive))
                letterAt = g.x;
            if (g.unit == static_cast<int>(drive) + 2)
                slashAt = g.x;
        }
        SelectObject(dc, old);
        ReleaseDC(title, dc);
        EXPECT_LT(letterAt, slashAt) << "the drive reads \"C:\\\", not \"\\:C\"";
        // The folders stand at the list's right edge, each name read left to right.
        HWND list = GetDlgItem(dlg, kList);
        EXPECT_EQ(GetWindowLongW(list, GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING),
                  WS_EX_LAYOUTRTL | WS_EX_RTLREADING);
        RECT inside{};
        GetClientRect(list, &inside);
        int leftInk = 0, rightInk = 0;
        for (int y = 0; y < inside.bottom; ++y)
            for (int x = 0; x < inside.right; ++x) {
                const COLORREF c = ut::WindowPixel(list, x, y);
                if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 200)
                    ++(x < inside.right / 2 ? leftInk : rightInk);
            }
        EXPECT_GT(rightInk, 0) << "the names are drawn";
        EXPECT_EQ(leftInk, 0) << "no name starts at the list's left edge";
        Choose(dlg, u"Pictures");
        PressOk(dlg);
    });
    EXPECT_EQ(chosen, u"C:\\Pictures") << "mirrored, it still answers the folder chosen";
}

} // namespace
