// windowshots: every window of the data source, saved by name as a PNG file in any language.
//
//   windowshots --png <file.png|folder> [--dialog <name>|all] [--lang <code>|all] [--check] [--list]
//
// Each window is opened headless, as the scanning window opens it, under a C:\ root of its own (a sample model INI
// file, the language chosen in the registry, the simulated device and the language libraries beside this program),
// and written as <name>_<lang>.png into the folder (default: the current one), or as the one file named when a
// single window in a single language is asked for. --check also measures every text against its control and names
// each one that does not fit, runs into another control or into the skin's button strip; the program then ends
// with 1. --list names the windows.
#include "platform/base/path.h"
#include "platform/base/registry.h"
#include "platform/base/testing.h"
#include "platform/user/afxwin.h"
#include "platform/user/testing.h"
#include "scanner/PaperTables.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/SettingStore.h"
#include "tools/support/ViewerSupport.h"
#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/DeviceState.h"
#include "ui/dialogs/CDlg_About.h"
#include "ui/dialogs/CDlg_SaveImgToEmail.h"
#include "ui/dialogs/CDlg_SaveImgToFile.h"
#include "ui/dialogs/CErrorDlg.h"
#include "ui/dialogs/CWarningDlg.h"
#include "ui/scanwindow/CAdvancedSetting.h"
#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CManualDuplexDlg.h"
#include "ui/scanwindow/CScanProgressDlg.h"
#include "ui/scanwindow/LanguageLibrary.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace ut = platform::user::testing;

constexpr const char* kTool = "windowshots";
constexpr const WCHAR* kRegistryKey = u"Software\\Korvel\\KVX7731";

// The texts shown in the error box, the questions (OK and Cancel) and the notices (OK alone).
constexpr UINT kErrorMessages[] = {1096, 1097, 1101, 1103, 1104, 1105, 1124, 1125, 1126, 1127, 1128, 1129,
                                   1132, 1139, 1140, 1141, 1143, 1149, 1151, 1152, 1153, 1154, 1155};
constexpr UINT kQuestions[] = {1095, 1098, 1130};
constexpr UINT kNotices[] = {1100, 1108};

// Buttons of the scanning window and its advanced page that open a window.
constexpr int kAbout = 20001, kPort = 20003, kSettingInfo = 10314;
constexpr int kBrightContrast = 10243, kGamma = 10269, kHistogram = 10270, kCurve = 10271;
constexpr int kSourceList = 10297;
constexpr int kPreview = 20005;
constexpr int kProgressText = 10350, kProgressPercent = 10351;

// One run: where the pictures go, the language, and whether every text was found to fit.
struct Run {
    std::string out;      // a folder, or the one file
    bool oneFile = false; // `out` names the file itself
    std::string code;
    bool check = false;
    bool ok = true;
    int saved = 0;

    std::string PathOf(const std::string& name) const { return oneFile ? out : out + "/" + name + "_" + code + ".png"; }
    void Save(HWND hwnd, const std::string& name) {
        ok &= viewer::SaveWindow(kTool, hwnd, PathOf(name), check, name + "_" + code);
        ++saved;
    }
};

// What a modal dialog that comes up meanwhile is saved as; with an empty name it is only closed.
std::string g_modalName;
Run* g_run = nullptr;

bool g_previewing = false; // a preview runs: its progress dialog is left to the preview, which ends it

void OnModal(HWND dlg) {
    if (g_previewing && GetDlgItem(dlg, kProgressText) && GetDlgItem(dlg, kProgressPercent))
        return;
    ut::RunPendingMessages();
    if (!g_modalName.empty() && g_run) {
        g_run->Save(dlg, g_modalName);
        g_modalName.clear();
    }
    EndDialog(dlg, IDCANCEL);
}

// The sample model's INI file in the language's root: auto deskew and, but in app mode (where the manual-duplex
// box takes its place), horizontal scanning; the app-mode window's title, which an application's INI gives.
int g_language = kLanguageEnglish;
void WriteIni(bool horizontal) {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini);
    WCHAR model[MAX_PATH] = {};
    GetModelKeyName(model);
    const std::string key(model, model + std::char_traits<char16_t>::length(model));
    std::ofstream(platform::path::ToHostPath(ini), std::ios::trunc)
        << "[TWAIN]\nFile Prefix=kvx\nRegistry=Software\\Korvel\\KVX7731\nSetting Path=\\Korvel\\\n"
           "Version=1.0.2\nProduct Name("
        << key << ")=KVX 7731\nHasAutoRotate(" << key << ")=TRUE\n"
        << (horizontal ? "HasHorizontal(" + key + ")=TRUE\n" : "") << "["
        << platform::ToUtf8(GetLanguageInfo(g_language).name)
        << "]\nCopyright=Copyright (C) 2024 Korvel\nRight=All rights reserved.\nAP UI Title=KVX 7731 Scan\n";
}

// The scanning window of a sample model with every option shown, in the language of the registry.
class ScanWindow {
public:
    explicit ScanWindow(bool appMode) {
        WriteIni(!appMode);
        g_bAppMode = appMode ? TRUE : FALSE;
        m_dialog = std::make_unique<CMainUIDialog>();
        m_dialog->CreateModeless(nullptr);
        m_dialog->ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
    }
    ~ScanWindow() {
        m_dialog.reset();
        ut::RunPendingMessages();
        g_bAppMode = FALSE;
    }
    ScanWindow(const ScanWindow&) = delete;
    ScanWindow& operator=(const ScanWindow&) = delete;

    CMainUIDialog& Dialog() { return *m_dialog; }
    HWND Hwnd() const { return m_dialog->m_hWnd; }
    // Presses a button of the window (or of a page) as a click does, running whatever it opens.
    static void Press(HWND parent, int id) {
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(parent, id)));
        ut::RunPendingMessages();
    }
    // Previews the simulated page, as the Preview button does.
    void Preview() {
        g_previewing = true;
        Press(Hwnd(), kPreview);
        g_previewing = false;
    }
    void ChooseSource(int index) {
        HWND basic = m_dialog->m_pBasicSetting->m_hWnd;
        SendDlgItemMessageW(basic, kSourceList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(basic, WM_COMMAND, MAKEWPARAM(kSourceList, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(basic, kSourceList)));
        ut::RunPendingMessages();
    }

private:
    std::unique_ptr<CMainUIDialog> m_dialog;
};

// A top-level window of this thread of the class `cls` that is shown (a drop-down list, a tooltip), or null.
HWND ShownPopup(const char16_t* cls) {
    struct Search {
        const char16_t* cls;
        HWND found;
    } search{cls, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) {
            auto* s = reinterpret_cast<Search*>(data);
            WCHAR name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (IsWindowVisible(hwnd) && std::u16string(name) == s->cls) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs `dialog` modally, saved under `name` as soon as it stands.
// A save dialog as the save pane opens it: with the pane's folder, next name and type.
void FillSaveDialog(CSaveImgDlg& dialog) {
    wcscpy_s(dialog.m_szFolder, u"C:\\Pictures");
    wcscpy_s(dialog.m_szName, u"2026-12-09_001");
    wcscpy_s(dialog.m_szType, u"jpg");
}

void Modal(Run& run, CDialog& dialog, const std::string& name) {
    g_modalName = name;
    dialog.DoModal();
    if (!g_modalName.empty()) {
        std::fprintf(stderr, "%s: %s did not open\n", kTool, name.c_str());
        run.ok = false;
    }
    g_modalName.clear();
}

// Presses a button whose handler opens a modal window, saved under `name`.
void Opened(Run& run, HWND parent, int id, const std::string& name) {
    g_modalName = name;
    ScanWindow::Press(parent, id);
    if (!g_modalName.empty()) {
        std::fprintf(stderr, "%s: %s did not open\n", kTool, name.c_str());
        run.ok = false;
    }
    g_modalName.clear();
}

template <typename Box>
void Boxes(Run& run, const std::string& kind, const UINT* ids, size_t count, const std::string& only) {
    for (size_t i = 0; i < count; ++i) {
        const std::string name = kind + "_" + std::to_string(ids[i]);
        if (!only.empty() && only != kind && only != name)
            continue;
        Box box;
        box.m_strMessage = LoadResString(ids[i]);
        Modal(run, box, name);
    }
}

struct Window {
    const char* name;
    const char* what;
    std::function<void(Run&)> show;
};

const std::vector<Window>& Windows() {
    static const std::vector<Window> windows = {
        {"basic", "the scanning window with its basic settings page",
         [](Run& run) {
             ScanWindow window(false);
             run.Save(window.Hwnd(), "basic");
         }},
        {"advanced", "the scanning window with its advanced settings page",
         [](Run& run) {
             ScanWindow window(false);
             window.Dialog().OnClickedAdvancedTab();
             ut::RunPendingMessages();
             run.Save(window.Hwnd(), "advanced");
         }},
        {"app", "the app-mode window with its save and information panes",
         [](Run& run) {
             ScanWindow window(true);
             run.Save(window.Hwnd(), "app");
         }},
        {"feeder", "the app-mode window scanning from the feeder: the feeder view and the manual-duplex box",
         [](Run& run) {
             ScanWindow window(true);
             window.ChooseSource(1);
             run.Save(window.Hwnd(), "feeder");
         }},
        {"preview", "the scanning window with the simulated page previewed",
         [](Run& run) {
             ScanWindow window(false);
             window.Preview();
             run.Save(window.Hwnd(), "preview");
         }},
        {"zoom", "the previewed page zoomed in twice, with the preview's scroll bars",
         [](Run& run) {
             ScanWindow window(false);
             window.Preview();
             window.Dialog().m_Preview.ZoomIn(CPoint(120, 160));
             window.Dialog().m_Preview.ZoomIn(CPoint(120, 160));
             ut::RunPendingMessages();
             run.Save(window.Hwnd(), "zoom");
         }},
        {"dropdown", "the source list opened (the list itself)",
         [](Run& run) {
             ScanWindow window(false);
             HWND list = GetDlgItem(window.Dialog().m_pBasicSetting->m_hWnd, kSourceList);
             SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
             ut::RunPendingMessages();
             if (HWND popup = ShownPopup(u"ComboLBox"))
                 run.Save(popup, "dropdown");
             else
                 std::fprintf(stderr, "%s: the list did not open\n", kTool), run.ok = false;
             SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
         }},
        {"tooltip", "the tooltip of the advanced page's brightness and contrast button",
         [](Run& run) {
             ScanWindow window(false);
             window.Dialog().OnClickedAdvancedTab();
             ut::RunPendingMessages();
             HWND button = GetDlgItem(window.Dialog().m_pAdvancedSetting->m_hWnd, kBrightContrast);
             RECT r{};
             GetWindowRect(button, &r);
             ut::MouseMove(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
             ut::MouseMove(POINT{(r.left + r.right) / 2 + 1, (r.top + r.bottom) / 2});
             for (int i = 0; i < 20 && !ShownPopup(u"tooltips_class32"); ++i) {
                 ut::AdvanceClock(100);
                 ut::RunPendingMessages();
             }
             if (HWND tip = ShownPopup(u"tooltips_class32"))
                 run.Save(tip, "tooltip");
             else
                 std::fprintf(stderr, "%s: the tooltip did not show\n", kTool), run.ok = false;
         }},
        {"brightcontrast", "the brightness and contrast dialog",
         [](Run& run) {
             ScanWindow window(false);
             Opened(run, window.Dialog().m_pAdvancedSetting->m_hWnd, kBrightContrast, "brightcontrast");
         }},
        {"gamma", "the gamma and threshold dialog",
         [](Run& run) {
             ScanWindow window(false);
             Opened(run, window.Dialog().m_pAdvancedSetting->m_hWnd, kGamma, "gamma");
         }},
        {"histogram", "the histogram dialog",
         [](Run& run) {
             ScanWindow window(false);
             Opened(run, window.Dialog().m_pAdvancedSetting->m_hWnd, kHistogram, "histogram");
         }},
        {"curve", "the tone-curve dialog",
         [](Run& run) {
             ScanWindow window(false);
             Opened(run, window.Dialog().m_pAdvancedSetting->m_hWnd, kCurve, "curve");
         }},
        {"port", "the port settings dialog",
         [](Run& run) {
             ScanWindow window(false);
             Opened(run, window.Hwnd(), kPort, "port");
         }},
        {"about", "the About box",
         [](Run& run) {
             ScanWindow window(false);
             Opened(run, window.Hwnd(), kAbout, "about");
         }},
        {"setting_info", "the settings details",
         [](Run& run) {
             ScanWindow window(false);
             Opened(run, window.Hwnd(), kSettingInfo, "setting_info");
         }},
        {"save_to_file", "the save-to-file dialog of the app-mode save pane",
         [](Run& run) {
             CDlg_SaveImgToFile dialog;
             FillSaveDialog(dialog);
             Modal(run, dialog, "save_to_file");
         }},
        {"save_to_email", "the save-to-e-mail dialog of the app-mode save pane",
         [](Run& run) {
             CDlg_SaveImgToEmail dialog;
             FillSaveDialog(dialog);
             wcscpy_s(dialog.m_szProgram, u"C:\\Program Files\\Mail\\mail.exe");
             Modal(run, dialog, "save_to_email");
         }},
        {"progress", "the scan's progress dialog at 42 %",
         [](Run& run) {
             CScanProgressDlg progress;
             progress.SetPageMode(TRUE, TRUE);
             ut::SetModalInterceptor([&](HWND dlg) {
                 SendMessageW(dlg, WM_SCAN_PROGRESS, 42, 0);
                 ut::RunPendingMessages();
                 run.Save(dlg, "progress");
                 EndDialog(dlg, IDOK);
             });
             progress.DoModal();
             ut::SetModalInterceptor(OnModal);
         }},
        {"duplex", "the manual-duplex note",
         [](Run& run) {
             m_devState = kDevStateShowDuplexNote;
             Modal(run, CManualDuplexDlg::GetInstance(), "duplex");
             m_devState = 0;
         }},
        {"error", "the error box with each of its messages (error_<id> for one)",
         [](Run& run) { Boxes<CErrorDlg>(run, "error", kErrorMessages, std::size(kErrorMessages), ""); }},
        {"question", "the question box with each of its messages (question_<id> for one)",
         [](Run& run) { Boxes<CWarningDlg>(run, "question", kQuestions, std::size(kQuestions), ""); }},
        {"notice", "the notice box with each of its messages (notice_<id> for one)",
         [](Run& run) { Boxes<CWarningOK>(run, "notice", kNotices, std::size(kNotices), ""); }},
    };
    return windows;
}

// A C:\ root of its own for one language: the model's INI file and the language in the registry.
class Root {
public:
    explicit Root(int language) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/windowshots-XXXXXX";
        if (const char* made = mkdtemp(pattern.data()))
            m_folder = made;
        if (m_folder.empty())
            return; // never the user's own C:\ root
        platform::testing::SetRoot(m_folder);
        std::filesystem::create_directories(m_folder + "/Windows");
        g_language = language;
        WriteIni(true);
        HKEY hkey = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hkey, nullptr) ==
            ERROR_SUCCESS) {
            const WCHAR* name = GetLanguageInfo(language).name;
            RegSetValueExW(hkey, u"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                           static_cast<DWORD>((std::char_traits<char16_t>::length(name) + 1) * sizeof(WCHAR)));
            RegCloseKey(hkey);
        }
    }
    ~Root() {
        std::error_code ignored;
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, ignored);
    }
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;
    bool Made() const { return !m_folder.empty(); }

private:
    std::string m_folder;
};

int Usage(FILE* out) {
    std::fprintf(out,
                 "usage: %s --png <file.png|folder> [--dialog <name>|all] [--lang <code>|all] [--check] "
                 "[--list]\n",
                 kTool);
    return out == stdout ? 0 : 2;
}

} // namespace

int main(int argc, char** argv) {
    setenv("PLATFORM_HEADLESS", "1", 1);
    std::string out = ".", dialog = "all", lang = "enus";
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--png" && hasValue)
            out = argv[++i];
        else if (arg == "--dialog" && hasValue)
            dialog = argv[++i];
        else if (arg == "--lang" && hasValue)
            lang = argv[++i];
        else if (arg == "--check")
            check = true;
        else if (arg == "--list") {
            for (const Window& w : Windows())
                std::printf("%-15s %s\n", w.name, w.what);
            return 0;
        } else if (arg == "-h" || arg == "--help")
            return Usage(stdout);
        else
            return Usage(stderr);
    }

    std::vector<std::string> codes;
    if (lang == "all") {
        for (const WCHAR* code : LanguageLibraryCodes())
            codes.push_back(platform::ToUtf8(code));
    } else {
        const std::u16string wide(lang.begin(), lang.end());
        if (LanguageNumberOfCode(wide.c_str()) < 0) {
            std::fprintf(stderr, "%s: no language \"%s\"\n", kTool, lang.c_str());
            return 2;
        }
        codes.push_back(lang);
    }
    std::vector<const Window*> chosen;
    std::string only; // one message of a box kind ("error_1105")
    for (const Window& w : Windows()) {
        const std::string name = w.name;
        if (dialog == "all" || dialog == name)
            chosen.push_back(&w);
        else if (dialog.rfind(name + "_", 0) == 0 && (name == "error" || name == "question" || name == "notice")) {
            chosen.push_back(&w);
            only = dialog;
        }
    }
    if (chosen.empty()) {
        std::fprintf(stderr, "%s: no window \"%s\" (--list names them)\n", kTool, dialog.c_str());
        return 2;
    }
    const bool oneFile = out.size() > 4 && out.compare(out.size() - 4, 4, ".png") == 0;
    const std::string first = chosen[0]->name;
    const bool onePicture = codes.size() == 1 && chosen.size() == 1 &&
                            (!only.empty() || (first != "error" && first != "question" && first != "notice"));
    if (oneFile && !onePicture) {
        std::fprintf(stderr, "%s: a file name takes one window in one language; name a folder\n", kTool);
        return 2;
    }
    if (!oneFile)
        std::filesystem::create_directories(out);

    ut::SetScreenSize(1920, 1080);
    ut::UseManualClock(true);
    ut::AllowShellLaunch(false);
    ut::SetModalInterceptor(OnModal);
    std::unique_ptr<CDsAssistor> assistor;
    CColMsg registry;
    bool ok = true;
    for (const std::string& code : codes) {
        const std::u16string wide(code.begin(), code.end());
        Root root(LanguageNumberOfCode(wide.c_str()));
        if (!root.Made()) {
            std::fprintf(stderr, "%s: cannot make a C:\\ root\n", kTool);
            return 1;
        }
        if (!assistor) {
            // The engine the window reaches, built once the INI file names the companions' prefix: one connected
            // application, in state 5.
            assistor = std::make_unique<CDsAssistor>();
            registry.SetAssistor(assistor.get());
            TW_IDENTITY app{};
            app.Id = 5;
            TW_IDENTITY source{};
            source.Id = 6;
            TwainCall call{&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source};
            assistor->ConnectApp(&call);
            assistor->SetState(500);
        }
        // The boxes and dialogs opened without the scanning window read the language the window would load.
        AcquireLanguageLibrary();
        ResetPaperListsForTesting(); // the paper names are read once, in the language of their first use
        g_LangugueID = LanguageNumberOfCode(wide.c_str());
        SetUiLanguage(g_LangugueID); // the renderer's Han forms and the folder browser follow it
        g_chDecimalSep = GetLanguageInfo(g_LangugueID).decimalSep;
        g_bHebrew = IsRightToLeftCode(wide.c_str());
        Run run{out, oneFile, code, check};
        g_run = &run;
        for (const Window* w : chosen) {
            const std::string name = w->name;
            if (!only.empty() && name == only.substr(0, name.size())) {
                if (name == "error")
                    Boxes<CErrorDlg>(run, name, kErrorMessages, std::size(kErrorMessages), only);
                else if (name == "question")
                    Boxes<CWarningDlg>(run, name, kQuestions, std::size(kQuestions), only);
                else
                    Boxes<CWarningOK>(run, name, kNotices, std::size(kNotices), only);
            } else {
                w->show(run);
            }
        }
        if (run.saved == 0) {
            std::fprintf(stderr, "%s: nothing saved for %s\n", kTool, dialog.c_str());
            run.ok = false;
        }
        g_run = nullptr;
        ReleaseLanguageLibrary();
        ok &= run.ok;
    }
    ut::SetModalInterceptor(nullptr);
    g_pDsAssistor = nullptr;
    assistor.reset();
    platform::testing::SetRoot("");
    return ok ? 0 : 1;
}
