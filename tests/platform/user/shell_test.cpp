// Shell stand-ins: the folder browser with its callback, the open-file dialog, ShellExecuteW and HtmlHelpW.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
        SetDlgItemTextW(dlg, 100, u"Z:\\tmp");
        ut::PressKey(VK_RETURN);
    });
    BROWSEINFOW bi{};
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    ut::SetModalInterceptor(nullptr);
    ASSERT_NE(pidl, nullptr);
    WCHAR path[MAX_PATH];
    SHGetPathFromIDListW(pidl, path);
    EXPECT_EQ(std::u16string(path), u"Z:\\tmp");
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

namespace {

// A fake desktop opener first on PATH: it writes what it was asked to open into a file.
class FakeOpener {
public:
    FakeOpener() {
        char pattern[] = "/tmp/opener-test-XXXXXX";
        m_dir = mkdtemp(pattern);
        std::ofstream(m_dir + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" << m_dir << "/opened\"\n";
        std::filesystem::permissions(m_dir + "/xdg-open", std::filesystem::perms::owner_all);
        const char* path = std::getenv("PATH");
        m_oldPath = path ? path : "";
        setenv("PATH", (m_dir + ":" + m_oldPath).c_str(), 1);
        ut::AllowShellLaunch(true);
    }
    ~FakeOpener() {
        ut::AllowShellLaunch(false);
        setenv("PATH", m_oldPath.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string Opened() const {
        std::ifstream in(m_dir + "/opened");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string m_dir;

private:
    std::string m_oldPath;
};

} // namespace

TEST(Shell, HelpHandsAnExistingFileToTheDesktopOpener) {
    FakeOpener opener;
    ut::ClearShellCalls();
    const std::string help = opener.m_dir + "/twenus.chm";
    std::ofstream(help) << "help";
    const std::u16string dosPath = u"Z:" + std::u16string(help.begin(), help.end());

    HWND caller = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(HtmlHelpW(caller, dosPath.c_str(), HH_DISPLAY_TOPIC, 0), caller);
    EXPECT_EQ(opener.Opened(), help + "\n");

    EXPECT_EQ(HtmlHelpW(caller, u"Z:\\no\\help.chm", HH_DISPLAY_TOPIC, 0), nullptr);
    const std::u16string folder = u"Z:" + std::u16string(opener.m_dir.begin(), opener.m_dir.end());
    EXPECT_EQ(HtmlHelpW(caller, folder.c_str(), HH_DISPLAY_TOPIC, 0), nullptr) << "a folder is no help file";
    EXPECT_EQ(HtmlHelpW(caller, dosPath.c_str(), HH_CLOSE_ALL, 0), nullptr);
    EXPECT_EQ(opener.Opened(), help + "\n") << "only the one existing file was opened";
    EXPECT_EQ(ut::ShellCalls().size(), 4u) << "every call is recorded";
}

TEST(Shell, ShellExecuteExOpensAnExistingFileWithTheDefaultVerb) {
    FakeOpener opener;
    ut::ClearShellCalls();
    const std::string file = opener.m_dir + "/img-240305-001.pdf";
    std::ofstream(file) << "%PDF";
    const std::u16string dosPath = u"Z:" + std::u16string(file.begin(), file.end());

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = dosPath.c_str();
    info.nShow = SW_SHOW;
    info.hProcess = reinterpret_cast<HANDLE>(1);
    ASSERT_TRUE(ShellExecuteExW(&info));
    EXPECT_GT(reinterpret_cast<INT_PTR>(info.hInstApp), 32);
    EXPECT_EQ(info.hProcess, nullptr) << "the desktop's opener leaves no process to wait for";
    EXPECT_EQ(opener.Opened(), file + "\n");

    info.lpFile = u"Z:\\no\\such.pdf";
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    info.cbSize = 60;
    info.lpFile = dosPath.c_str();
    EXPECT_FALSE(ShellExecuteExW(&info)) << "a structure of another size";
    std::vector<std::u16string> calls = ut::ShellCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], u"ShellExecuteExW open " + dosPath + u" ");
    EXPECT_EQ(opener.Opened(), file + "\n");
}
