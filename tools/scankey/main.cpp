// scankey: presses the simulated device's scan key. It plays the device and the still-image service: it takes the
// push settings a user would choose on the device's panel, writes the service's launch information (the push
// command as the device value "EventData", and the device path), starts the device-scan program as the service
// does ("/StiDevice:<device>"), or with the command on its command line ("-PUSH_PARAM <device> <digits>"), waits
// for it and lists the files it saved. Without options: one A4 colour page from the flatbed, at 300 dpi, to a PDF.
// The program, the service stand-in and the device all work under the C:\ root of $PLATFORM_ROOT.

#include "companions/sti/StiLaunch.h"
#include "devicescan/VazeDoziSettings.h"
#include "platform/base/path.h"
#include "platform/base/profile.h"
#include "platform/base/wstring.h"
#include "settings/IniPath.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr const WCHAR* kDeviceName = u"KVX-7731\\0000";
constexpr DWORD kScanKeyEvent = 1;

struct Choice {
    const char* name;
    int value;
};
constexpr Choice kResolutions[] = {{"75", 0}, {"150", 1}, {"300", 2}, {"600", 3}};
constexpr Choice kColours[] = {{"bw", 0}, {"grey", 1}, {"gray", 1}, {"colour", 2}, {"color", 2}};
constexpr Choice kPapers[] = {{"a4", 0},      {"a5", 1},     {"a5-landscape", 2}, {"b5", 3},
                              {"flatbed", 4}, {"letter", 5}, {"card", 6},         {"legal", 7},
                              {"folio", 8},   {"b5-jis", 9}, {"a6", 10},          {"a3", 13}};
constexpr Choice kTypes[] = {{"tiff", 0}, {"jpeg", 1}, {"pdf", 2}, {"ofd", 3}};
constexpr Choice kSources[] = {{"flatbed", 0}, {"feeder", 1}, {"duplex", 3}};

struct Options {
    int resolution = 2;
    int colour = 2;
    int paper = 0;
    int type = 2;
    int source = 0;
    bool several = false;
    bool pushParam = false;
    std::string device = "\\\\.\\Usbscan";
    std::string program;
    int timeoutSeconds = 0; // 0: wait as long as it takes
};

void Usage() {
    std::printf("usage: scankey [options]\n"
                "  --resolution 75|150|300|600          (300)\n"
                "  --colour colour|grey|bw              (colour)\n"
                "  --paper a4|a5|a5-landscape|b5|flatbed|letter|card|legal|folio|b5-jis|a6|a3   (a4)\n"
                "  --type pdf|tiff|jpeg|ofd             (pdf)\n"
                "  --source flatbed|feeder|duplex       (flatbed)\n"
                "  --several                            several pages in one job (one PDF or OFD for those types)\n"
                "  --push-param                         start the program with -PUSH_PARAM instead of as the service\n"
                "  --device PATH                        the device path the program opens (\\\\.\\Usbscan)\n"
                "  --program PATH                       the program (../twain/kvx7731/ScannerVazeDozi.exe from here)\n"
                "  --timeout SECONDS                    end the program if it runs longer (default: wait)\n"
                "Files go to the folder of the program's settings window (default: My Pictures, C:\\Pictures).\n");
}

bool Pick(const Choice* choices, size_t count, const char* text, int& out) {
    for (size_t i = 0; i < count; ++i)
        if (std::strcmp(choices[i].name, text) == 0) {
            out = choices[i].value;
            return true;
        }
    return false;
}

std::string DefaultProgram() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "twain" / "kvx7731" / "ScannerVazeDozi.exe").string();
}

// The program's INI file as the program finds it: in the Windows folder, named after the program's file less its
// last 12 characters (ScannerVazeDozi.exe: Scanner.ini). Empty when it cannot be formed.
std::u16string ProgramIniPath(const std::string& program) {
    WCHAR windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    WCHAR ini[MAX_PATH] = {};
    FormIniPath(windows, platform::path::ToDosPath(program).c_str(), kIniDropCharsDeviceScan, ini, nullptr);
    return ini;
}

// PlatformOrca models (File Prefix "kvx7718") send 8 bytes: the scan mode instead of source and pages.
bool IsPlatformOrca(const std::u16string& ini) {
    WCHAR prefix[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"File Prefix", u"", prefix, MAX_PATH, ini.c_str());
    return std::u16string(prefix) == u"kvx7718";
}

std::vector<BYTE> PushCommand(const Options& o, bool platformOrca) {
    std::vector<BYTE> command = {'V',
                                 static_cast<BYTE>(o.resolution),
                                 static_cast<BYTE>(o.colour),
                                 static_cast<BYTE>(o.paper),
                                 static_cast<BYTE>(o.type),
                                 static_cast<BYTE>(o.source),
                                 static_cast<BYTE>(o.several ? 1 : 0)};
    if (platformOrca) {
        command[5] = command[6] = 0;
        command.push_back(o.several ? 1 : 0);
    }
    return command;
}

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec))
            files.insert(entry.path().string());
    return files;
}

// Runs the program and waits for it; its exit status, or -1 when it could not be started or was ended.
int RunProgram(const Options& o, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(o.program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, o.program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "scankey: cannot start %s: %s\n", o.program.c_str(), std::strerror(errno));
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(o.timeoutSeconds);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, o.timeoutSeconds > 0 ? WNOHANG : 0);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR)
            return -1;
        if (o.timeoutSeconds > 0 && std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "scankey: the program did not end within %d s; ending it\n", o.timeoutSeconds);
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    o.program = DefaultProgram();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else if (arg == "--several") {
            o.several = true;
            continue;
        } else if (arg == "--push-param") {
            o.pushParam = true;
            continue;
        } else if (arg == "--resolution") {
            ok = Pick(kResolutions, std::size(kResolutions), value, o.resolution);
        } else if (arg == "--colour" || arg == "--color") {
            ok = Pick(kColours, std::size(kColours), value, o.colour);
        } else if (arg == "--paper") {
            ok = Pick(kPapers, std::size(kPapers), value, o.paper);
        } else if (arg == "--type") {
            ok = Pick(kTypes, std::size(kTypes), value, o.type);
        } else if (arg == "--source") {
            ok = Pick(kSources, std::size(kSources), value, o.source);
        } else if (arg == "--device") {
            o.device = value;
        } else if (arg == "--program") {
            o.program = value;
        } else if (arg == "--timeout") {
            o.timeoutSeconds = std::atoi(value);
        } else {
            ok = false;
        }
        if (!ok || i + 1 >= argc) {
            std::fprintf(stderr, "scankey: bad option %s %s\n", arg.c_str(), value);
            Usage();
            return 2;
        }
        ++i;
    }

    // Without its INI file the program finds neither its driver nor its texts and ends at once, saving nothing.
    const std::u16string ini = ProgramIniPath(o.program);
    if (ini.empty() || GetFileAttributesW(ini.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "scankey: the model's INI file %s is missing (scripts/scankey.sh writes a sample one)\n",
                     ini.empty() ? "" : platform::path::ToHostPath(ini).c_str());
        return 1;
    }

    const std::vector<BYTE> command = PushCommand(o, IsPlatformOrca(ini));
    std::vector<std::string> arguments;
    if (o.pushParam) {
        std::string digits;
        for (size_t i = 1; i < command.size(); ++i)
            digits += static_cast<char>('0' + command[i]);
        arguments = {"-PUSH_PARAM", o.device, digits};
    } else {
        sti::Launch launch;
        launch.deviceName = kDeviceName;
        launch.eventCode = kScanKeyEvent;
        launch.eventName = u"Scan key";
        launch.eventData = command;
        launch.devicePath = platform::ToUtf16(o.device);
        if (!sti::WriteLaunch(launch)) {
            std::fprintf(stderr, "scankey: cannot write the launch information %s\n",
                         platform::path::ToHostPath(sti::kLaunchFile).c_str());
            return 1;
        }
        arguments = {"/StiDevice:" + platform::ToUtf8(kDeviceName), "/StiEvent:" + std::to_string(kScanKeyEvent)};
    }

    // Where the program saves: its settings file, found through its INI file, not through this program's name.
    VazeDoziSettings settings{};
    ReadVazeDoziSettingsFromIni(ini.c_str(), settings);
    const std::string folder = platform::path::ToHostPath(settings.saveFolder);
    const std::set<std::string> before = FilesIn(folder);

    std::printf("scankey: command");
    for (BYTE b : command)
        std::printf(" %02x", b);
    std::printf(", saving into %s\n", folder.c_str());
    const int status = RunProgram(o, arguments);

    int saved = 0;
    for (const std::string& file : FilesIn(folder))
        if (!before.count(file)) {
            std::printf("saved %s\n", file.c_str());
            ++saved;
        }
    if (saved == 0)
        std::printf("scankey: no file was saved\n");
    return status < 0 ? 1 : status;
}
