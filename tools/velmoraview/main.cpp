// velmoraview: the device-scan program's windows, as PNG files or on the X display.
//
//   velmoraview [--png <folder>] [--lang <code>|all] [--check] [--window settings|progress|error|browse]
//
// With --png (or without DISPLAY) every window is rendered headless, as the user sees it in that language (any
// code of the language table, or all sixteen), and written as settings_<lang>.png, browse_<lang>.png,
// progress_<lang>.png, progress_canceling_<lang>.png (once Cancel is pressed) and error_<lang>.png into the folder
// (default: the current one); they run under a C:\ root of their own, so no real settings are read or written.
// --check also measures every text against its control and names each one that does not fit; the program then
// ends with 1.
// Otherwise the chosen window (default: settings) opens on the X display under the user's C:\ root, as the
// program shows it: the settings window reads and writes the real vazedozi_settings.dat; the progress window runs
// a page every few seconds until Cancel.
#include "devicescan/CDlg_error.h"
#include "devicescan/CProgressDlg.h"
#include "devicescan/CScanManagerDlg.h"
#include "devicescan/VelmoraLanguage.h"
#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/user/afxwin.h"
#include "platform/user/commctrl.h"
#include "platform/user/testing.h"
#include "settings/Language.h"
#include "tools/support/ViewerSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace ut = platform::user::testing;

constexpr UINT kStringPercent = 8012;
constexpr UINT kStringSaveFailed = 8019;

// The program's INI file for the headless renders: its folder names and the window titles of every language.
constexpr const char* kSampleIni = "[TWAIN]\n"
                                   "File Prefix=kvx7731\n"
                                   "Setting Folder=\\Korvel\n"
                                   "Setting Path=\\Korvel\\kvx7731\\\n"
                                   "[English]\n"
                                   "Push UI Title=Korvel Scan Manager\n"
                                   "[Simplified_Chinese]\n"
                                   "Push UI Title=Korvel 扫描管理器\n"
                                   "[Traditional_Chinese]\n"
                                   "Push UI Title=Korvel 掃描管理員\n"
                                   "[Japanese]\n"
                                   "Push UI Title=Korvel スキャン マネージャー\n"
                                   "[Russian]\n"
                                   "Push UI Title=Диспетчер сканирования Korvel\n"
                                   "[Portuguese]\n"
                                   "Push UI Title=Gerenciador de Digitalização Korvel\n"
                                   "[Spanish]\n"
                                   "Push UI Title=Administrador de escaneo Korvel\n"
                                   "[French]\n"
                                   "Push UI Title=Gestionnaire de numérisation Korvel\n"
                                   "[Polish]\n"
                                   "Push UI Title=Menedżer skanowania Korvel\n"
                                   "[German]\n"
                                   "Push UI Title=Korvel Scan-Manager\n"
                                   "[Italian]\n"
                                   "Push UI Title=Gestione scansioni Korvel\n"
                                   "[Arabic]\n"
                                   "Push UI Title=مدير المسح الضوئي Korvel\n"
                                   "[Turkish]\n"
                                   "Push UI Title=Korvel Tarama Yöneticisi\n"
                                   "[Norwegian]\n"
                                   "Push UI Title=Korvel skannebehandler\n"
                                   "[Swedish]\n"
                                   "Push UI Title=Korvel skanningshanterare\n"
                                   "[Hebrew]\n"
                                   "Push UI Title=מנהל הסריקה Korvel\n";

std::string g_language = "enus";
std::string g_folder = ".";
bool g_check = false;

HMODULE LoadLanguage(const std::string& code) {
    HMODULE library = viewer::LoadLanguageLibrary("velmoraview", "kvxpsrc", code, VIEWER_MODULE_DIR);
    const int number = LanguageNumberOfCode(std::u16string(code.begin(), code.end()).c_str());
    g_nVelmoraLanguageID = number >= 0 ? number : kLanguageEnglish;
    SetUiLanguage(g_nVelmoraLanguageID); // as the program does when it chooses its language
    return library;
}

bool Save(HWND hwnd, const char* window) {
    const std::string name = std::string(window) + "_" + g_language;
    return viewer::SaveWindow("velmoraview", hwnd, g_folder + "/" + name + ".png", g_check, name);
}

// Shows `percent` of the page the way the scan does: string 8012 with each "0" replaced by the number.
void ShowPercent(CProgressDlg& dlg, int percent) {
    HWND hwnd = dlg.GetSafeHwnd();
    if (!hwnd)
        return;
    const CString format = LoadResString(kStringPercent);
    CString text;
    for (int i = 0; i < format.GetLength(); ++i) {
        if (format[i] == u'0')
            text.AppendFormat(u"%d", percent);
        else
            text += format[i];
    }
    SetDlgItemTextW(hwnd, CProgressDlg::kPercentText, text);
    SendDlgItemMessageW(hwnd, CProgressDlg::kProgressBar, PBM_SETPOS, percent, 0);
    ShowWindow(GetDlgItem(hwnd, IDCANCEL), percent != 100 ? SW_SHOW : SW_HIDE);
    dlg.SetLastPercent(percent);
}

// The progress window lives on its own thread: its picture is ready once that thread has painted.
bool SaveProgress() {
    auto* dlg = new CProgressDlg();
    dlg->AddRef();
    dlg->SetPageNumber(1001);
    ShowPercent(*dlg, 45);
    bool ok = false;
    if (HWND hwnd = dlg->GetSafeHwnd()) {
        UpdateWindow(hwnd);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ok = Save(hwnd, "progress");
        // Cancel turns the button into "Canceling...", which must fit it too.
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        UpdateWindow(hwnd);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ok &= Save(hwnd, "progress_canceling");
    }
    dlg->Release();
    return ok;
}

int RenderHeadless() {
    char pattern[] = "/tmp/velmoraview-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("velmoraview: temporary root");
        return 1;
    }
    const std::string root = pattern;
    platform::testing::SetRoot(root);
    std::filesystem::create_directories(root + "/Windows");
    std::filesystem::create_directories(root + "/Pictures");
    std::ofstream(root + "/Windows/Scanner.ini") << kSampleIni;
    std::error_code error;
    std::filesystem::create_directories(g_folder, error);

    bool ok = true;
    ut::SetModalInterceptor([&](HWND dlg) {
        ut::RunPendingMessages();
        if (GetDlgItem(dlg, CScanManagerDlg::kBrowse)) {
            ok &= Save(dlg, "settings");
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(CScanManagerDlg::kBrowse, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dlg, CScanManagerDlg::kBrowse)));
            EndDialog(dlg, IDCANCEL);
        } else if (GetDlgItem(dlg, CDlg_error::kMessage)) {
            ok &= Save(dlg, "error");
            EndDialog(dlg, IDOK);
        } else {
            ok &= Save(dlg, "browse");
            EndDialog(dlg, IDCANCEL);
        }
    });
    CScanManagerDlg settings;
    settings.DoModal();
    CDlg_error message;
    message.m_strMessage = LoadResString(kStringSaveFailed);
    message.DoModal();
    // The progress window is this tool's to end: intercepted, it is not taken for one that nobody answers.
    ut::SetModalInterceptor([](HWND) {});
    ok &= SaveProgress();
    ut::SetModalInterceptor(nullptr);
    std::filesystem::remove_all(root, error);
    return ok ? 0 : 1;
}

// On X: a page every few seconds until Cancel, then the window closes.
void RunProgress() {
    auto* dlg = new CProgressDlg();
    dlg->AddRef();
    for (int page = 1; dlg->GetSafeHwnd() && dlg->GetCancelCount() == 0; ++page) {
        dlg->SetPageNumber(page);
        for (int percent = 0; percent <= 100 && dlg->GetCancelCount() == 0; percent += 5) {
            ShowPercent(*dlg, percent);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
    }
    dlg->Release();
}

} // namespace

int main(int argc, char** argv) {
    bool headless = std::getenv("DISPLAY") == nullptr;
    std::string window = "settings";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--png") {
            headless = true;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                g_folder = argv[++i];
        } else if (arg == "--lang" && i + 1 < argc) {
            g_language = argv[++i];
        } else if (arg == "--window" && i + 1 < argc) {
            window = argv[++i];
        } else if (arg == "--check") {
            g_check = true;
        } else {
            std::fprintf(stderr, "usage: velmoraview [--png <folder>] [--lang <code>|all] [--check] "
                                 "[--window settings|progress|error|browse]\n");
            return 2;
        }
    }
    // The program's own name, which names its INI file (Scanner.ini) and its help file's folder.
    platform::testing::SetHostProgramName(u"ScannerVazeDozi.exe");
    if (g_language == "all") {
        setenv("PLATFORM_HEADLESS", "1", 1);
        int result = 0;
        for (const WCHAR* code : LanguageLibraryCodes()) {
            g_language = platform::ToUtf8(code);
            HMODULE strings = LoadLanguage(g_language);
            AfxSetResourceHandle(strings);
            result |= RenderHeadless();
            AfxSetResourceHandle(nullptr);
            if (strings)
                FreeLibrary(strings);
        }
        return result;
    }
    if (HMODULE strings = LoadLanguage(g_language))
        AfxSetResourceHandle(strings);

    if (headless) {
        setenv("PLATFORM_HEADLESS", "1", 1); // no X windows, even with DISPLAY set
        return RenderHeadless();
    }
    if (window == "progress") {
        RunProgress();
    } else if (window == "error") {
        CDlg_error message;
        message.m_strMessage = LoadResString(kStringSaveFailed);
        message.DoModal();
    } else if (window == "browse") {
        CScanManagerDlg settings;
        settings.m_strFolder.Empty();
        BROWSEINFOW bi{};
        if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi)) {
            WCHAR path[MAX_PATH] = {};
            SHGetPathFromIDListW(chosen, path);
            std::printf("%s\n", platform::path::ToHostPath(path).c_str());
            ILFree(chosen);
        }
    } else {
        CScanManagerDlg settings;
        settings.DoModal();
    }
    return 0;
}
