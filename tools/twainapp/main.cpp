// twainapp: loads the data source manager, opens a data source as an imaging application does, prints its
// identity, its capabilities with their values and every session state it goes through, sets the capabilities a
// user sets, enables the source with or without its window, shows the notifications it receives and transfers the
// pages the source announces (natively, in memory or as files), printing each page's image information and writing
// what it received as PNG files.
// The manager defaults to ../lib/libtwaindsm_standin.so beside this program; the manager finds the sources in
// $TWAIN_DS_PATH. Run twainapp --help for the options.

#include "tools/twainapp/CapabilityText.h"
#include "tools/twainapp/PageTransfer.h"
#include "tools/twainapp/TwainSession.h"

#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <chrono>
#include <malloc.h>
#include <thread>
#include <utility>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const char* StateName(int state) {
    switch (state) {
    case 1:
        return "pre-session";
    case 2:
        return "manager loaded";
    case 3:
        return "manager open";
    case 4:
        return "source open";
    case 5:
        return "source enabled";
    case 6:
        return "transfer ready";
    case 7:
        return "transferring";
    default:
        return "?";
    }
}

std::string DefaultManagerPath() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "libtwaindsm_standin.so";
    return (self.parent_path().parent_path() / "lib" / "libtwaindsm_standin.so").string();
}

// A TW_STR32 from a source is not trusted to be terminated.
std::string Str32(const TW_STR32& s) {
    return std::string(s, strnlen(s, sizeof(TW_STR32)));
}

void PrintIdentity(const TW_IDENTITY& id) {
    std::printf("Identity:\n");
    std::printf("  Id              %u\n", id.Id);
    std::printf("  Version         %u.%u \"%s\" (language %u, country %u)\n", id.Version.MajorNum, id.Version.MinorNum,
                Str32(id.Version.Info).c_str(), id.Version.Language, id.Version.Country);
    std::printf("  Protocol        %u.%u\n", id.ProtocolMajor, id.ProtocolMinor);
    std::printf("  SupportedGroups 0x%08x\n", id.SupportedGroups);
    std::printf("  Manufacturer    \"%s\"\n", Str32(id.Manufacturer).c_str());
    std::printf("  ProductFamily   \"%s\"\n", Str32(id.ProductFamily).c_str());
    std::printf("  ProductName     \"%s\"\n", Str32(id.ProductName).c_str());
}

// Where the stand-in manager looks for data sources.
std::string SourceFolder() {
    const char* path = std::getenv("TWAIN_DS_PATH");
    if (path != nullptr && *path != 0)
        return std::string(path) + " (TWAIN_DS_PATH)";
    return "/usr/local/lib/twain (TWAIN_DS_PATH is not set)";
}

// What C:\ is for the source.
std::string RootFolder() {
    if (const char* root = std::getenv("PLATFORM_ROOT"); root != nullptr && *root != 0)
        return std::string(root) + " (PLATFORM_ROOT)";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "~") + "/.cdrive (PLATFORM_ROOT is not set)";
}

// The data source files the manager would try: those in the subfolders of the folder it looks in (files in that
// folder itself are no sources).
std::vector<std::string> SourceFiles() {
    const char* path = std::getenv("TWAIN_DS_PATH");
    const std::string folder = path != nullptr && *path != 0 ? path : "/usr/local/lib/twain";
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it.depth() > 0 && it->path().filename().string().find(".ds") != std::string::npos && !it->is_directory(ec))
            files.push_back(it->path().string());
    }
    return files;
}

// What a source needs beside it that it could not have: its INI file, the one outside file every source reads.
std::string IniFileHint() {
    return "it reads Windows/<its file name less the last 5 characters>.ini (Windows/Scanner.ini for Scanner64.ds) "
           "in C:\\, which is " +
           RootFolder();
}

// Why MSG_OPENDS failed, in words, from the manager's condition code.
std::string OpenFailure(TW_UINT16 code, const std::vector<TW_IDENTITY>& sources, const std::string& wanted) {
    switch (code) {
    case TWCC_NODS:
        if (sources.empty()) {
            const std::vector<std::string> files = SourceFiles();
            if (files.empty())
                return "no data source found in " + SourceFolder();
            // The manager lists only the sources that tell their identity.
            return "no data source in " + SourceFolder() + " told its identity: " + files.front() +
                   (files.size() > 1 ? " and " + std::to_string(files.size() - 1) + " more" : "") +
                   " did not answer; a source that cannot read its INI file may fail so (" + IniFileHint() + ")";
        }
        return "no data source named \"" + wanted + "\" among the " + std::to_string(sources.size()) + " in " +
               SourceFolder();
    case TWCC_MAXCONNECTIONS:
    case TWCC_OPERATIONERROR:
        return "the source refused to open: another application has it in use";
    case TWCC_BUMMER:
        return "the source could not start";
    default:
        return "the source could not be opened";
    }
}

// A bad command line: one line that names the option and what is wrong with it.
int BadArgument(const std::string& what) {
    std::fprintf(stderr, "twainapp: %s (twainapp --help lists the options)\n", what.c_str());
    return 2;
}

int Usage(FILE* to, int result) {
    std::fprintf(
        to, "usage: twainapp [--dsm <manager library>] [--source <product name>] [settings] [--enable | --enable-ui]\n"
            "  Loads the data source manager (default ../lib/libtwaindsm_standin.so beside this program),\n"
            "  opens a data source (default: the manager's first), prints its identity, every state and the\n"
            "  capabilities with their values. The manager finds sources in $TWAIN_DS_PATH.\n"
            "settings (set before enabling, each reported):\n"
            "  --pixeltype bw|gray|rgb   --resolution <dpi>   --feeder on|off   --duplex on|off\n"
            "  --size a4|a5|a6|a3|b5|letter|legal\n"
            "enabling:\n"
            "  --enable       without the source's window: the source scans at once\n"
            "  --enable-ui    with the source's window (Scan announces a page, Close asks to be closed)\n"
            "  --wait <s>     how long to wait for notifications once enabled, 0 to 86400 (default 10)\n"
            "  --no-pump      once enabled, only wait for the manager's callback and never call the source\n"
            "                 meanwhile, as Linux imaging applications do (not with --png)\n"
            "  --png <file>   enable with the source's window, save it as a PNG file once it has painted, and end\n"
            "  --preview      with --png: press the window's Preview button first, so the picture shows the preview\n"
            "  --check        with --png: also measure every text of the window against its control, name each one\n"
            "                 that does not fit, and end with 1 if any does not\n"
            "  --lang <code>  the system locale of that language for the source (enus, zhcn, zhtw, ja, ru, pt, esmx,\n"
            "                 fr, pl, de, it, ar, tr, no, sv, he); a registry value \"Language\" still comes first\n"
            "  The notifications the source sends (MSG_XFERREADY, MSG_CLOSEDSREQ) are printed; the source is\n"
            "  disabled on MSG_CLOSEDSREQ, once the pages are transferred without the window, or when the wait ends.\n"
            "transfers (each announced page; its image information is printed):\n"
            "  --xfer native|memory|file   how pages come (default memory): a DIB, rows in buffers, or a file the\n"
            "                 source writes (BMP, or TIFF for a name ending in .tif or .tiff; needs --out)\n"
            "  --out <file>   where each page goes: a PNG written from what came (native, memory) or the source's\n"
            "                 own file; as given with --pages 1, else numbered (scan.png: scan-001.png, ...)\n"
            "  --pages <n>    transfer at most n pages (1 to 9999), then drop the rest (default: every page)\n"
            "  These need --enable or --enable-ui; the exit status is 1 when a page failed to transfer.\n");
    return result;
}

struct Setting {
    TW_UINT16 cap;
    TW_UINT16 type;
    TW_UINT32 item;
    std::string text;
};

bool ParseOnOff(const std::string& text, TW_UINT32& value) {
    if (text == "on" || text == "1")
        value = 1;
    else if (text == "off" || text == "0")
        value = 0;
    else
        return false;
    return true;
}

bool IsSettingOption(const std::string& option) {
    return option == "--pixeltype" || option == "--resolution" || option == "--feeder" || option == "--duplex" ||
           option == "--size";
}

// The system locale that makes the source choose each language code when the registry names no language: the
// locale of the environment, which the source reads when it opens (LC_ALL first).
constexpr std::pair<const char*, const char*> kLanguageLocales[] = {
    {"enus", "en_US.UTF-8"}, {"zhcn", "zh_CN.UTF-8"}, {"zhtw", "zh_TW.UTF-8"}, {"ja", "ja_JP.UTF-8"},
    {"ru", "ru_RU.UTF-8"},   {"pt", "pt_BR.UTF-8"},   {"esmx", "es_MX.UTF-8"}, {"fr", "fr_FR.UTF-8"},
    {"pl", "pl_PL.UTF-8"},   {"de", "de_DE.UTF-8"},   {"it", "it_IT.UTF-8"},   {"ar", "ar_SA.UTF-8"},
    {"tr", "tr_TR.UTF-8"},   {"no", "nb_NO.UTF-8"},   {"sv", "sv_SE.UTF-8"},   {"he", "he_IL.UTF-8"}};

const char* LocaleOfLanguage(const std::string& code) {
    for (const auto& [known, locale] : kLanguageLocales)
        if (code == known)
            return locale;
    return nullptr;
}

// A whole number from low to high, written as such.
bool ParseWhole(const std::string& text, long low, long high, int& number) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || *end != 0 || errno != 0 || value < low || value > high)
        return false;
    number = static_cast<int>(value);
    return true;
}

// A user's setting as the capability and ONEVALUE item that carry it; false, with `why`, for a value it does not
// know.
bool ParseSetting(const std::string& option, const std::string& value, Setting& out, std::string& why) {
    out.text = option.substr(2) + " " + value;
    why = "'" + value + "' is not ";
    if (option == "--pixeltype") {
        why += "bw, gray or rgb";
        out = {ICAP_PIXELTYPE, TWTY_UINT16, 0, out.text};
        if (value == "bw")
            out.item = TWPT_BW;
        else if (value == "gray")
            out.item = TWPT_GRAY;
        else if (value == "rgb")
            out.item = TWPT_RGB;
        else
            return false;
        return true;
    }
    if (option == "--resolution") {
        why += "a resolution from 1 to 32767 dpi";
        char* end = nullptr;
        const double dpi = std::strtod(value.c_str(), &end);
        if (end == value.c_str() || *end != 0 || !std::isfinite(dpi) || dpi < 1 || dpi > 32767)
            return false;
        const auto n = static_cast<TW_INT32>(dpi * 65536.0 + 0.5);
        TW_FIX32 fix{static_cast<TW_INT16>(n >> 16), static_cast<TW_UINT16>(n & 0xFFFF)};
        TW_UINT32 item = 0;
        std::memcpy(&item, &fix, sizeof fix);
        out = {ICAP_XRESOLUTION, TWTY_FIX32, item, out.text};
        return true;
    }
    if (option == "--feeder" || option == "--duplex") {
        why += "on or off";
        out.cap = option == "--feeder" ? CAP_FEEDERENABLED : CAP_DUPLEXENABLED;
        out.type = TWTY_BOOL;
        return ParseOnOff(value, out.item);
    }
    if (option == "--size") {
        const std::pair<const char*, TW_UINT32> sizes[] = {
            {"a4", TWSS_A4},    {"a5", TWSS_A5},           {"a6", TWSS_A6},        {"a3", TWSS_A3},
            {"b5", TWSS_JISB5}, {"letter", TWSS_USLETTER}, {"legal", TWSS_USLEGAL}};
        why += "a4, a5, a6, a3, b5, letter or legal";
        out = {ICAP_SUPPORTEDSIZES, TWTY_UINT16, 0, out.text};
        for (auto [name, code] : sizes)
            if (value == name) {
                out.item = code;
                return true;
            }
        return false;
    }
    return false;
}

void PrintCapabilities(twainapp::TwainSession& session) {
    TW_CAPABILITY supported{CAP_SUPPORTEDCAPS, 0, nullptr};
    if (session.Capability(MSG_GET, supported) != TWRC_SUCCESS || supported.ConType != TWON_ARRAY) {
        std::printf("Capabilities: not listed (%s)\n", twainapp::ConditionText(session.LastConditionCode()).c_str());
        return;
    }
    const auto* bytes = static_cast<const unsigned char*>(supported.hContainer);
    const std::size_t size = malloc_usable_size(supported.hContainer);
    TW_UINT32 count = 0;
    if (size >= 6)
        std::memcpy(&count, bytes + 2, 4);
    std::vector<TW_UINT16> caps;
    for (TW_UINT32 i = 0; i < count && 6 + 2 * (i + 1) <= size; ++i) {
        TW_UINT16 cap;
        std::memcpy(&cap, bytes + 6 + 2 * i, 2);
        if (cap != 0)
            caps.push_back(cap);
    }
    twainapp::TwainSession::FreeContainer(supported);

    std::printf("Capabilities: %zu\n", caps.size());
    for (TW_UINT16 id : caps) {
        TW_CAPABILITY cap{id, 0, nullptr};
        if (session.Capability(MSG_GET, cap) != TWRC_SUCCESS) {
            std::printf("  %-32s MSG_GET failed (%s)\n", twainapp::CapabilityName(id).c_str(),
                        twainapp::ConditionText(session.LastConditionCode()).c_str());
            continue;
        }
        std::printf(
            "  %-32s %s\n", twainapp::CapabilityName(id).c_str(),
            twainapp::DescribeContainer(cap.ConType, cap.hContainer, malloc_usable_size(cap.hContainer)).c_str());
        twainapp::TwainSession::FreeContainer(cap);
    }
}

const char* NotificationName(TW_UINT16 msg) {
    switch (msg) {
    case MSG_XFERREADY:
        return "MSG_XFERREADY";
    case MSG_CLOSEDSREQ:
        return "MSG_CLOSEDSREQ";
    case MSG_CLOSEDSOK:
        return "MSG_CLOSEDSOK";
    case MSG_DEVICEEVENT:
        return "MSG_DEVICEEVENT";
    default:
        return "?";
    }
}

// Whether a window or one of its visible children still waits for a paint.
bool PaintPending(HWND hwnd) {
    if (GetUpdateRect(hwnd, nullptr, FALSE))
        return true;
    bool pending = false;
    EnumChildWindows(
        hwnd,
        [](HWND child, LPARAM data) {
            if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE))
                *reinterpret_cast<bool*>(data) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&pending));
    return pending;
}

// Gives the source turns until its window has painted (at most 5 s), then saves the window as the user sees it
// and, with `checkTexts`, names every text of it that does not fit its control.
bool SaveSourceWindow(twainapp::TwainSession& session, const std::string& path, bool checkTexts, bool preview) {
    auto waitForPaint = [&session] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        HWND window = nullptr;
        for (int turns = 0; std::chrono::steady_clock::now() < deadline; ++turns) {
            session.ProcessEvent();
            window = platform::user::testing::LargestThreadWindow(); // the source's window, not its dialogs
            if (window != nullptr && turns >= 3 && !PaintPending(window))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return window;
    };
    HWND window = waitForPaint();
    if (window == nullptr) {
        std::fprintf(stderr, "twainapp: the source shows no window\n");
        return false;
    }
    if (preview) {
        // The button of the scanning window's layout; the preview runs (with its progress window) before the
        // click returns.
        constexpr int kPreviewButton = 20005;
        HWND button = GetDlgItem(window, kPreviewButton);
        if (button == nullptr) {
            std::fprintf(stderr, "twainapp: the source's window has no Preview button\n");
            return false;
        }
        SendMessageW(button, BM_CLICK, 0, 0);
        std::printf("Pressed the source's Preview button\n");
        window = waitForPaint();
        if (window == nullptr)
            return false;
    }
    if (!platform::user::testing::SaveWindowPng(window, path.c_str())) {
        std::fprintf(stderr, "twainapp: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("Saved the source's window as %s\n", path.c_str());
    if (!checkTexts)
        return true;
    const platform::user::testing::TextFitReport fit = platform::user::testing::CheckTextFit(window);
    for (const platform::user::testing::TextOverflow& overflow : fit.overflows)
        std::fprintf(stderr, "twainapp: a text does not fit: %s\n",
                     platform::user::testing::DescribeOverflow(overflow).c_str());
    std::printf("Checked %d texts of the source's window: %s\n", fit.checked,
                fit.overflows.empty() ? "each fits its control" : "some do not fit");
    return fit.overflows.empty();
}

struct TransferOptions {
    twainapp::Mechanism mechanism = twainapp::Mechanism::Memory;
    std::string out;  // empty: nothing is written
    int maxPages = 0; // 0: every page
};

// "scan.png" numbered for page 3: "scan-003.png" (the number goes before the extension of the last component).
std::string NumberedName(const std::string& path, int page) {
    char number[16];
    std::snprintf(number, sizeof number, "-%03d", page);
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path + number;
    return path.substr(0, dot) + number + path.substr(dot);
}

// The announced page: its information, its transfer (written out as asked) and its end. Answers false when the
// application should stop (a failure, or the page limit reached with pages left, which are then dropped); `failed`
// is set when the page did not arrive or could not be written.
bool TransferAnnouncedPage(twainapp::TwainSession& session, const TransferOptions& options, int& pagesDone,
                           bool& failed) {
    session.TransferReady();
    const int number = pagesDone + 1;
    TW_IMAGEINFO info{};
    if (session.ImageInfo(info) != TWRC_SUCCESS) {
        std::printf("Page %d: no image information (%s)\n", number,
                    twainapp::ConditionText(session.LastConditionCode()).c_str());
        failed = true;
        TW_UINT16 count = 0;
        session.EndXfer(count);
        return false;
    }
    std::printf("Page %d: %s\n", number, twainapp::DescribeImageInfo(info).c_str());
    std::string target;
    if (!options.out.empty())
        target = options.maxPages == 1 ? options.out : NumberedName(options.out, number);
    twainapp::ReceivedPage page;
    std::string report;
    const TW_UINT16 rc = twainapp::TransferPage(session, options.mechanism, info, target, page, report);
    std::printf("Page %d: %s\n", number, report.c_str());
    const bool ok = rc == TWRC_XFERDONE;
    if (rc != TWRC_XFERDONE && rc != TWRC_CANCEL)
        failed = true; // a page the user cancelled is no failure of the transfer
    if (rc == TWRC_FAILURE)
        std::printf("Page %d: %s\n", number, twainapp::ConditionText(session.LastConditionCode()).c_str());
    if (ok) {
        ++pagesDone;
        if (!target.empty() && options.mechanism != twainapp::Mechanism::File) {
            std::string why;
            if (twainapp::WritePng(page, info.XResolution.Whole, target, why)) {
                std::printf("Page %d: wrote %s\n", number, target.c_str());
            } else {
                std::printf("Page %d: %s\n", number, why.c_str());
                failed = true;
            }
        }
    }
    TW_UINT16 count = 0;
    session.EndXfer(count);
    std::printf("Pending transfers: %u\n", count);
    if (ok && count != 0 && options.maxPages != 0 && pagesDone >= options.maxPages) {
        session.ResetXfers();
        return false;
    }
    // With more pages the source announces the next one during MSG_ENDXFER (or soon after).
    return ok;
}

// The application's event loop while the source is enabled: MSG_PROCESSEVENT gives the source its turn, the
// callback collects what it sends, and each announced page is transferred. False when a page failed.
// With `pump` false the loop never calls the source while it waits: it sleeps until the manager's callback brings a
// notification.
bool RunEnabled(twainapp::TwainSession& session, bool showUI, int waitSeconds, const TransferOptions& options,
                bool pump) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    bool done = false;
    bool failed = false;
    int pagesDone = 0;
    while (!done) {
        for (TW_UINT16 msg : session.TakeNotifications()) {
            std::printf("Notification: %s\n", NotificationName(msg));
            if (msg == MSG_CLOSEDSREQ) {
                done = true;
            } else if (msg == MSG_XFERREADY && !done) {
                const bool goOn = TransferAnnouncedPage(session, options, pagesDone, failed);
                // Without the window the job is the whole session; with it the user may scan again.
                if (!goOn || (!showUI && session.State() == 5))
                    done = true;
            }
        }
        if (done || std::chrono::steady_clock::now() >= deadline)
            break;
        if (!pump) {
            session.WaitForNotification(deadline);
            continue;
        }
        session.ProcessEvent();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!done)
        std::printf("No request to close within %d s\n", waitSeconds);
    if (failed)
        std::fprintf(stderr, "twainapp: a page failed to transfer\n");
    return !failed;
}

} // namespace

int main(int argc, char** argv) {
    std::string dsmPath = DefaultManagerPath();
    std::string sourceName;
    std::vector<Setting> settings;
    int enable = 0; // 1 without the window, 2 with it
    int waitSeconds = 10;
    std::string pngPath;
    bool checkTexts = false;
    TransferOptions transfer;
    bool transferOption = false; // --xfer, --out or --pages given
    bool preview = false;
    bool pump = true;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "-h" || option == "--help")
            return Usage(stdout, 0);
        if (option == "--enable" || option == "--enable-ui") {
            enable = option == "--enable" ? 1 : 2;
            continue;
        }
        if (option == "--check") {
            checkTexts = true;
            continue;
        }
        if (option == "--preview") {
            preview = true;
            continue;
        }
        if (option == "--no-pump") {
            pump = false;
            continue;
        }
        // Every other option takes a value.
        if (option != "--dsm" && option != "--source" && option != "--wait" && option != "--png" &&
            option != "--lang" && option != "--xfer" && option != "--out" && option != "--pages" &&
            !IsSettingOption(option))
            return BadArgument("unknown option '" + option + "'");
        if (i + 1 >= argc)
            return BadArgument(option + " needs a value");
        const std::string value = argv[++i];
        Setting setting;
        std::string why;
        if (option == "--dsm") {
            dsmPath = value;
        } else if (option == "--source") {
            sourceName = value;
        } else if (option == "--png") {
            pngPath = value;
            enable = 2; // the picture is of the window
        } else if (option == "--lang") {
            const char* locale = LocaleOfLanguage(value);
            if (locale == nullptr)
                return BadArgument("--lang: '" + value + "' is not a language code (see --help)");
            setenv("LC_ALL", locale, 1);
        } else if (option == "--wait") {
            if (!ParseWhole(value, 0, 86400, waitSeconds))
                return BadArgument("--wait: '" + value + "' is not a whole number of seconds from 0 to 86400");
        } else if (option == "--xfer") {
            transferOption = true;
            if (value == "native")
                transfer.mechanism = twainapp::Mechanism::Native;
            else if (value == "memory")
                transfer.mechanism = twainapp::Mechanism::Memory;
            else if (value == "file")
                transfer.mechanism = twainapp::Mechanism::File;
            else
                return BadArgument("--xfer: '" + value + "' is not native, memory or file");
        } else if (option == "--out") {
            transferOption = true;
            if (value.empty())
                return BadArgument("--out needs a file name");
            transfer.out = value;
        } else if (option == "--pages") {
            transferOption = true;
            if (!ParseWhole(value, 1, 9999, transfer.maxPages))
                return BadArgument("--pages: '" + value + "' is not a whole number of pages from 1 to 9999");
        } else if (ParseSetting(option, value, setting, why)) {
            settings.push_back(setting);
            if (setting.cap == ICAP_XRESOLUTION) { // one resolution for both directions
                setting.cap = ICAP_YRESOLUTION;
                settings.push_back(setting);
            }
        } else {
            return BadArgument(option + ": " + why);
        }
    }
    if (transfer.mechanism == twainapp::Mechanism::File) {
        if (transfer.out.empty())
            return BadArgument("--xfer file needs --out <file>: the source writes the page there");
        if (transfer.out.size() > 255)
            return BadArgument("--out: a file transfer takes names of at most 255 bytes");
    }
    // Pages come only while the source is enabled, and the window's picture takes none.
    if (transferOption && (enable == 0 || !pngPath.empty()))
        return BadArgument(pngPath.empty()
                               ? "--xfer, --out and --pages transfer pages: they need --enable or --enable-ui"
                               : "--xfer, --out and --pages transfer pages: --png takes none");
    if (!pump && !pngPath.empty())
        return BadArgument("--no-pump cannot go with --png: the picture is taken in the application's own loop");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    twainapp::TwainSession session([](int state, const std::string& why) {
        std::printf("State %d (%s): %s\n", state, StateName(state), why.c_str());
    });
    std::printf("State 1 (%s)\n", StateName(1));

    std::string error;
    if (!session.LoadManager(dsmPath, error)) {
        std::fprintf(stderr, "twainapp: cannot load the data source manager: %s\n", error.c_str());
        return 1;
    }
    if (session.OpenManager() != TWRC_SUCCESS) {
        std::fprintf(stderr, "twainapp: MSG_OPENDSM failed (%s)\n",
                     twainapp::ConditionText(session.LastConditionCode()).c_str());
        return 1;
    }
    std::vector<TW_IDENTITY> sources;
    session.ListSources(sources);
    std::printf("Sources: %zu\n", sources.size());
    for (const TW_IDENTITY& s : sources)
        std::printf("  %u: \"%s\" by \"%s\"\n", s.Id, Str32(s.ProductName).c_str(), Str32(s.Manufacturer).c_str());

    TW_UINT16 rc = session.OpenSource(sourceName);
    if (rc != TWRC_SUCCESS) {
        const TW_UINT16 code = session.LastConditionCode();
        std::fprintf(stderr, "twainapp: MSG_OPENDS failed: %s (return code %u, %s)\n",
                     OpenFailure(code, sources, sourceName).c_str(), rc, twainapp::ConditionText(code).c_str());
        return 1;
    }
    PrintIdentity(session.SourceIdentity());
    // A source without a usable INI file (missing, empty or damaged) knows neither its maker nor its model.
    const TW_IDENTITY& identity = session.SourceIdentity();
    if (identity.Manufacturer[0] == 0 && Str32(identity.ProductName) == " TWAIN")
        std::fprintf(stderr, "twainapp: the source has no usable INI file (missing, empty or damaged): %s\n",
                     IniFileHint().c_str());
    TW_UINT16 condition = 0;
    rc = session.SourceStatus(condition);
    std::printf("Status: return code %u, condition code %u\n", rc, condition);

    for (const Setting& setting : settings) {
        rc = session.SetOneValue(setting.cap, setting.type, setting.item);
        if (rc == TWRC_SUCCESS)
            std::printf("Set %s: ok\n", setting.text.c_str());
        else if (rc == TWRC_CHECKSTATUS)
            std::printf("Set %s: the source took the nearest value it offers\n", setting.text.c_str());
        else
            std::printf("Set %s: failed (%s)\n", setting.text.c_str(),
                        twainapp::ConditionText(session.LastConditionCode()).c_str());
    }
    PrintCapabilities(session);

    int result = 0;
    if (enable != 0) {
        // A program with a message loop has a message queue on its thread: the source then runs its window there
        // and takes its turns from MSG_PROCESSEVENT. Without one the source runs the window on a thread of its own.
        if (pump)
            IsGUIThread(TRUE);
        if (session.Enable(enable == 2) == TWRC_SUCCESS) {
            if (!pngPath.empty()) {
                if (!SaveSourceWindow(session, pngPath, checkTexts, preview))
                    result = 1;
            } else if (!RunEnabled(session, enable == 2, waitSeconds, transfer, pump)) {
                result = 1;
            }
            if (session.Disable() != TWRC_SUCCESS) {
                std::fprintf(stderr, "twainapp: MSG_DISABLEDS failed (%s)\n",
                             twainapp::ConditionText(session.LastConditionCode()).c_str());
                result = 1;
            }
        } else {
            std::fprintf(stderr, "twainapp: MSG_ENABLEDS failed (%s)\n",
                         twainapp::ConditionText(session.LastConditionCode()).c_str());
            result = 1;
        }
    }
    if (session.CloseSource() != TWRC_SUCCESS) {
        std::fprintf(stderr, "twainapp: MSG_CLOSEDS failed (%s)\n",
                     twainapp::ConditionText(session.LastConditionCode()).c_str());
        result = 1;
    }
    return result; // the session walks back to state 1 as it goes
}
