// Every scanning-window test runs headless under its own C:\ root: an INI file naming the File Prefix of the
// simulated device and language libraries beside this program ("kvx"), the user's language in the registry, the
// simulated device's control file with a journal of its calls, an engine connected to an application in state 500,
// and a guard that closes (and records) every error box instead of waiting for a person.
#pragma once

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/ScanState.h"
#include "tests/companions/scandrv/WriteControlFile.h"
#include "tests/support/CompanionNames.h"
#include "tests/support/DebugLines.h"
#include "tests/support/WindowText.h"
#include "tests/support/TempRoot.h"

#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CScanProgressDlg.h"
#include "ui/scanwindow/LanguageLibrary.h"

#include "scanner/CLLDKorvel.h"
#include "settings/CompanionNames.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/SettingStore.h"

#include "platform/base/path.h"
#include "platform/base/registry.h"
#include "platform/base/testing.h"
#include "platform/user/testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace scanwindow_test {

namespace ut = platform::user::testing;

// The tests drive input themselves: no X windows (and no real pointer) even when DISPLAY is set.
inline const int g_headless = setenv("PLATFORM_HEADLESS", "1", 0);

inline constexpr const WCHAR* kRegistryKey = u"Software\\Korvel\\KVX7731";

// The engine as the window sees it, recording the close requests.
class RecordingAssistor : public CDsAssistor {
public:
    int RequestClose(BOOL atEndOfTransfer) override {
        closeRequests.push_back(atEndOfTransfer);
        return 0;
    }
    std::vector<BOOL> closeRequests;
};

using testsupport::TextOf;

// Where a test saves a picture to look at: "snapshots/<name>.png" beside this program.
inline std::string SnapshotPath(const std::string& name) {
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string("./x");
    folder = folder.substr(0, folder.rfind('/')) + "/snapshots";
    std::filesystem::create_directories(folder);
    return folder + "/" + name + ".png";
}

inline std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// The windows of this thread, top-level ones and their tooltips.
inline int ThreadWindowCount() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND, LPARAM data) {
            ++*reinterpret_cast<int*>(data);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Alt+<key> as the host's loop delivers it: with the key held, WM_SYSKEYDOWN to the focus window.
inline void AltKey(WPARAM key, HWND focus) {
    SetFocus(focus);
    ut::SetKeyState(VK_MENU, true);
    ut::SetKeyState(static_cast<int>(key), true);
    PostMessageW(focus, WM_SYSKEYDOWN, key, 0x20000000);
    ut::RunPendingMessages();
    ut::SetKeyState(static_cast<int>(key), false);
    ut::SetKeyState(VK_MENU, false);
}

// A progress dialog whose worker thread cannot be made (the system is out of threads).
class NoThreadProgress : public CScanProgressDlg {
public:
    INT_PTR RunWithWorker(LPTHREAD_START_ROUTINE, void*) override { return -1; }
};

class ScanWindowTestRoot : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("scanwindow-test");
        ASSERT_FALSE(m_root.empty());
        testsupport::UseAsRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        WCHAR ini[MAX_PATH] = {};
        GetIniPath(ini);
        m_ini = platform::path::ToHostPath(ini);
        WCHAR model[MAX_PATH] = {};
        GetModelKeyName(model);
        m_model = std::string(model, model + std::char_traits<char16_t>::length(model));
        m_iniText = "[TWAIN]\nFile Prefix=kvx\nRegistry=Software\\Korvel\\KVX7731\nSetting Path=\\Korvel\\\n"
                    "Product Name(" +
                    m_model + ")=KVX 7731\n";
        WriteIni();
        WriteControl("");
        SetLanguage(u"English");
        m_debug.Capture();
        platform::testing::SetDiskFreeSpace(100ULL << 30);
        MEMORYSTATUSEX plenty{};
        plenty.dwMemoryLoad = 10;
        plenty.ullTotalPhys = plenty.ullAvailPhys = 8ULL << 30;
        plenty.ullTotalVirtual = plenty.ullAvailVirtual = 64ULL << 30;
        platform::testing::SetMemoryStatus(plenty);
        ut::SetScreenSize(1920, 1080);
        ut::ClearShellCalls();
        ut::AllowShellLaunch(false);
        GuardModalDialogs();

        g_bAppMode = FALSE;
        g_bNoUI = FALSE;
        g_bUserClose = FALSE;
        g_bHebrew = FALSE;
        g_b_devmon_close = TRUE;
        testsupport::ResetCompanionNames(); // each test's assistor prefixes them anew
        m_assistor = std::make_unique<RecordingAssistor>();
        m_colMsg.SetAssistor(m_assistor.get());
        TW_IDENTITY app{};
        app.Id = 5;
        TW_IDENTITY ds{};
        ds.Id = 6;
        TwainCall call{&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
        ASSERT_EQ(m_assistor->ConnectApp(&call), TWRC_SUCCESS);
        m_assistor->SetState(500);
    }

    void TearDown() override {
        for (; m_languageHeld > 0; --m_languageHeld)
            ReleaseLanguageLibrary();
        ut::SetModalInterceptor(nullptr);
        ut::UseManualClock(false);
        if (!g_b_devmon_close) {
            g_LLD.DevMon_SetCallBackFun(nullptr, nullptr);
            g_LLD.DevMon_Close();
            g_b_devmon_close = TRUE;
        }
        g_LLD.UnloadDriver();
        g_pDsAssistor = nullptr;
        m_assistor.reset();
        g_bAppMode = FALSE;
        g_bNoUI = FALSE;
        g_bHebrew = FALSE;
        m_debug.Release();
        platform::testing::SetDiskFreeSpace(std::nullopt);
        platform::testing::SetMemoryStatus(std::nullopt);
        testsupport::RemoveFolder(m_root);
    }

    void WriteIni() { std::ofstream(m_ini, std::ios::trunc) << m_iniText; }
    // The language library of the current language, as a window holds it (for dialogs tested without the window).
    void HoldLanguageLibrary() {
        AcquireLanguageLibrary();
        ++m_languageHeld;
    }
    void AddIni(const std::string& lines) {
        m_iniText += lines;
        WriteIni();
    }
    // The simulated device's control file; every test keeps a journal of the driver calls.
    void WriteControl(const std::string& text) {
        scandrv_test::WriteControlFile(m_root, "journal = calls.log\n" + text);
    }
    // The driver calls so far, one a line ("<entry> <arguments> -> <code>").
    std::vector<std::string> DriverCalls() const {
        std::vector<std::string> calls;
        std::ifstream in(m_root + "/calls.log");
        for (std::string line; std::getline(in, line);)
            calls.push_back(line);
        return calls;
    }
    // The calls of one entry point.
    std::vector<std::string> CallsOf(const std::string& entry) const {
        std::vector<std::string> found;
        for (const std::string& line : DriverCalls())
            if (line.rfind(entry + " ", 0) == 0)
                found.push_back(line);
        return found;
    }
    void ClearDriverCalls() { std::filesystem::remove(m_root + "/calls.log"); }

    void SetLanguage(const WCHAR* name) {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        const DWORD bytes = static_cast<DWORD>((std::char_traits<char16_t>::length(name) + 1) * sizeof(WCHAR));
        ASSERT_EQ(RegSetValueExW(key, u"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), bytes),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // Every modal dialog that comes up is recorded with its texts and closed at once, unless a test installed a
    // handler of its own (`m_onModal`), which then decides.
    void GuardModalDialogs() {
        ut::SetModalInterceptor([this](HWND dlg) {
            if (m_onModal) {
                m_onModal(dlg);
                return;
            }
            RecordAndClose(dlg);
        });
    }
    void RecordAndClose(HWND dlg) {
        std::u16string text;
        for (int id : {10306, 10307, 10308}) // the error box, the notice and the question
            if (HWND message = GetDlgItem(dlg, id))
                text = TextOf(message);
        m_modalTexts.push_back(text.empty() ? TextOf(dlg) : text);
        EndDialog(dlg, IDOK);
    }

    bool DebugHas(std::u16string_view text) const { return m_debug.Has(text); }

    std::string m_root;
    std::string m_ini;
    std::string m_iniText;
    std::string m_model;
    std::unique_ptr<RecordingAssistor> m_assistor;
    CColMsg m_colMsg;
    std::vector<std::u16string> m_modalTexts;
    std::function<void(HWND)> m_onModal;
    testsupport::DebugLines m_debug;
    int m_languageHeld = 0;
};

// A shown scanning window on a manual clock (clicks never become double clicks).
class ScanWindowTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        ut::UseManualClock(true);
        m_dialog = std::make_unique<CMainUIDialog>();
        ASSERT_TRUE(m_dialog->CreateModeless(nullptr));
        m_dialog->ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        ClearDriverCalls();
    }
    void TearDown() override {
        m_dialog.reset();
        ScanWindowTestRoot::TearDown();
    }

    HWND Item(int id) const { return GetDlgItem(m_dialog->m_hWnd, id); }
    void ClickItem(int id) {
        ut::AdvanceClock(1000); // apart from the last click: no double click, which the skinned buttons ignore
        ut::Click(Item(id));
        ut::RunPendingMessages();
    }
    // The engine's end of a job: the device's events unregistered and the device closed, the window free again,
    // the source back in state 5.
    void EndJob() {
        g_LLD.DevMon_SetCallBackFun(nullptr, nullptr);
        g_LLD.DevMon_Close();
        g_b_devmon_close = TRUE;
        g_bScanStarted = FALSE; // a page scanned before its announcement is not handed over here
        m_dialog->SetBusy(FALSE);
        m_assistor->SetState(500);
    }

    std::unique_ptr<CMainUIDialog> m_dialog;
};

} // namespace scanwindow_test
