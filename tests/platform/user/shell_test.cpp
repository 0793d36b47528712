// Shell stand-ins: the folder browser with its callback, the open-file dialog, ShellExecuteW and HtmlHelpW.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace ut = platform::user::testing;

int CALLBACK SelectStart(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED)
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

TEST(Shell, ScriptedFolderBrowserAnswersAndStillCallsBack) {
    ut::ClearShellCalls();
    ut::ScriptFolderBrowser(u"C:\\Scans");
    WCHAR display[MAX_PATH] = {};
    BROWSEINFOW bi{};
    bi.pszDisplayName = display;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = SelectStart;
    bi.lParam = reinterpret_cast<LPARAM>(u"C:\\Start");
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    ASSERT_NE(pidl, nullptr);
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDListW(pidl, path));
    EXPECT_EQ(std::u16string(path), u"C:\\Scans");
    EXPECT_EQ(std::u16string(display), u"Scans");
    ILFree(pidl);
    std::vector<std::u16string> calls = ut::ShellCalls();
    EXPECT_EQ(calls, (std::vector<std::u16string>{u"SHBrowseForFolderW", u"BFFM_SETSELECTIONW C:\\Start"}));
    ut::ScriptFolderBrowser(std::nullopt);
    EXPECT_EQ(SHBrowseForFolderW(&bi), nullptr) << "cancelled";
}

TEST(Shell, UnscriptedFolderBrowserIsADialogTheInterceptorCanDrive) {
    ut::SetModalInterceptor([](HWND dlg) {
        SetDlgItemTextW(dlg, 100, u"C:\\Typed");
        ut::PressKey(VK_RETURN);
    });
    BROWSEINFOW bi{};
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    ut::SetModalInterceptor(nullptr);
    ASSERT_NE(pidl, nullptr);
    WCHAR path[MAX_PATH];
    SHGetPathFromIDListW(pidl, path);
    EXPECT_EQ(std::u16string(path), u"C:\\Typed");
    ILFree(pidl);
}

TEST(Shell, OpenFileAnswersWithinTheCallersBuffer) {
    ut::ScriptOpenFile(u"C:\\Scans\\page.tif");
    WCHAR file[64] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 64;
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(file), u"C:\\Scans\\page.tif");
    EXPECT_EQ(ofn.nFileOffset, 9);
    EXPECT_EQ(ofn.nFileExtension, 14);
    ut::ScriptOpenFile(u"C:\\a-name-much-too-long-for-the-buffer-the-caller-gave-here.tif");
    ofn.nMaxFile = 16;
    EXPECT_FALSE(GetOpenFileNameW(&ofn)) << "never written past the buffer";
}

TEST(Shell, ShellExecuteAndHelpAreRecordedAndCheckTheFile) {
    ut::AllowShellLaunch(false);
    ut::ClearShellCalls();
    EXPECT_LE(reinterpret_cast<INT_PTR>(
                  ShellExecuteW(nullptr, u"open", u"Z:\\no\\such\\file.pdf", nullptr, nullptr, SW_SHOW)),
              32);
    EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, u"open", u"Z:\\tmp", nullptr, nullptr, SW_SHOW)), 32);
    EXPECT_EQ(HtmlHelpW(nullptr, u"Z:\\no\\help.chm", HH_DISPLAY_TOPIC, 0), nullptr);
    std::vector<std::u16string> calls = ut::ShellCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2], u"HtmlHelpW Z:\\no\\help.chm 0");
}

} // namespace
