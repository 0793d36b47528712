// DOS paths on POSIX, the current directory and the known folders.
#include "platform/base/path.h"
#include "platform/base/kernel.h"
#include "platform/base/lifetime.h"
#include "platform/base/testing.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::path {

namespace {

struct State {
    std::mutex lock;
    std::optional<std::string> rootOverride;
    std::string createdRoot;
    std::optional<std::u16string> currentDirectory; // DOS form; computed from getcwd on first use
};

State& TheState() {
    static auto* state = KeepUntilUnload(new State);
    return *state;
}

std::atomic<bool> g_knownFoldersFail{false};

bool IsDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

char16_t UpperDrive(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

void MakeFolders(const std::string& posix) {
    std::string partial;
    partial.reserve(posix.size());
    for (size_t i = 0; i <= posix.size(); ++i) {
        if (i == posix.size() || (posix[i] == '/' && i > 0)) {
            partial.assign(posix, 0, i);
            mkdir(partial.c_str(), 0755);
        }
    }
}

std::string RootLocked(State& state) {
    std::string root;
    if (state.rootOverride) {
        root = *state.rootOverride;
    } else if (const char* env = std::getenv("PLATFORM_ROOT"); env && *env) {
        root = env;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        root = std::string(home) + "/.cdrive";
    } else {
        root = "/tmp/.cdrive-" + std::to_string(getuid());
    }
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    if (root != state.createdRoot) {
        MakeFolders(root);
        state.createdRoot = root;
    }
    return root;
}

// Lexical normalisation of a POSIX path: "//", "." and ".." resolved, no trailing slash (except "/").
std::string NormalizeHost(const std::string& host) {
    std::vector<std::string_view> parts;
    std::string_view rest(host);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (std::string_view part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

// A normalised host path as a DOS path: below the root on C:, anywhere else on Z:.
std::u16string HostToDos(const std::string& host, const std::string& root) {
    std::u16string dos;
    if (host == root || host.compare(0, root.size() + 1, root + "/") == 0)
        dos = u"C:" + ToUtf16(host.substr(root.size()));
    else
        dos = u"Z:" + ToUtf16(host);
    for (char16_t& c : dos)
        if (c == u'/')
            c = u'\\';
    if (dos.size() == 2)
        dos += u'\\';
    return dos;
}

std::u16string CurrentDirectoryLocked(State& state) {
    if (!state.currentDirectory) {
        char buffer[PATH_MAX];
        std::string cwd = getcwd(buffer, sizeof buffer) ? buffer : "/";
        state.currentDirectory = HostToDos(NormalizeHost(cwd), RootLocked(state));
    }
    return *state.currentDirectory;
}

// Splits an absolute DOS path into its drive letter and resolved components.
bool Split(std::u16string_view dos, char16_t& drive, std::vector<std::u16string>& parts) {
    std::u16string full = FullDosPath(dos);
    if (full.size() < 3 || full[1] != u':')
        return false;
    drive = full[0];
    parts.clear();
    std::u16string_view rest = std::u16string_view(full).substr(3);
    while (!rest.empty()) {
        size_t slash = rest.find(u'\\');
        if (slash != 0) // a trailing backslash adds no component
            parts.emplace_back(rest.substr(0, slash));
        rest = slash == std::u16string_view::npos ? std::u16string_view() : rest.substr(slash + 1);
    }
    return true;
}

// Appends `name` to the POSIX folder `host`, finding the entry case-insensitively when the exact name is missing.
// Once a component is missing, the rest are appended as written.
void AppendComponent(std::string& host, const std::u16string& name, bool& missing) {
    std::string exact = host == "/" ? "/" + ToUtf8(name) : host + "/" + ToUtf8(name);
    if (missing) {
        host = std::move(exact);
        return;
    }
    struct stat st;
    if (lstat(exact.c_str(), &st) == 0) {
        host = std::move(exact);
        return;
    }
    if (DIR* dir = opendir(host.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (NamesEqual(ToUtf16(entry->d_name), name)) {
                host = host == "/" ? std::string("/") + entry->d_name : host + "/" + entry->d_name;
                closedir(dir);
                return;
            }
        }
        closedir(dir);
    }
    missing = true;
    host = std::move(exact);
}

bool MatchFrom(std::u16string_view p, std::u16string_view n) {
    // Iterative glob with one backtrack point for the last '*'.
    size_t pi = 0, ni = 0, star = std::u16string_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || towlower(p[pi]) == towlower(n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::u16string_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

} // namespace

std::string Root() {
    State& state = TheState();
    std::lock_guard guard(state.lock);
    return RootLocked(state);
}

std::u16string FullDosPath(std::u16string_view dos) {
    // A path that starts with '/' comes from a POSIX program (a TWAIN application's file name): it names the POSIX
    // root, whatever drive is current.
    if (!dos.empty() && dos[0] == u'/' && (dos.size() == 1 || dos[1] != u'/'))
        return FullDosPath(u"Z:" + std::u16string(dos));
    std::u16string path(dos);
    for (char16_t& c : path)
        if (c == u'/')
            c = u'\\';
    if (path.rfind(u"\\\\?\\", 0) == 0)
        path.erase(0, 4);
    if (path.rfind(u"\\\\", 0) == 0)
        return path; // a UNC share: left as it is
    std::u16string joined;
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':') {
        char16_t drive = UpperDrive(path[0]);
        std::u16string_view rest = std::u16string_view(path).substr(2);
        if (!rest.empty() && rest[0] == u'\\') {
            joined = std::u16string(1, drive) + u":" + std::u16string(rest);
        } else {
            // "C:name" is relative to the current directory of that drive, which is its root unless current.
            State& state = TheState();
            std::lock_guard guard(state.lock);
            std::u16string current = CurrentDirectoryLocked(state);
            std::u16string base = current[0] == drive ? current : std::u16string(1, drive) + u":\\";
            joined = base + u"\\" + std::u16string(rest);
        }
    } else {
        State& state = TheState();
        std::lock_guard guard(state.lock);
        std::u16string current = CurrentDirectoryLocked(state);
        joined = !path.empty() && path[0] == u'\\' ? current.substr(0, 2) + path : current + u"\\" + path;
    }

    std::vector<std::u16string_view> parts;
    std::u16string_view rest = std::u16string_view(joined).substr(2);
    bool trailing = !rest.empty() && rest.back() == u'\\' && rest.size() > 1;
    while (!rest.empty()) {
        size_t slash = rest.find(u'\\');
        std::u16string_view part = rest.substr(0, slash);
        rest = slash == std::u16string_view::npos ? std::u16string_view() : rest.substr(slash + 1);
        if (part == u"..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        // Windows drops trailing dots and blanks of a component; "." and "..." vanish altogether.
        while (!part.empty() && (part.back() == u'.' || part.back() == u' '))
            part.remove_suffix(1);
        if (part.empty())
            continue;
        parts.push_back(part);
    }
    std::u16string out = joined.substr(0, 2);
    for (std::u16string_view part : parts) {
        out += u'\\';
        out += part;
    }
    if (parts.empty() || trailing)
        out += u'\\';
    return out;
}

std::string ToHostPath(std::u16string_view dos) {
    if (dos.empty())
        return std::string();
    char16_t drive;
    std::vector<std::u16string> parts;
    if (!Split(dos, drive, parts))
        return std::string();
    std::string host;
    if (drive == u'C')
        host = Root();
    else if (drive == u'Z')
        host = "/";
    else
        return std::string();
    bool missing = false;
    for (const std::u16string& part : parts)
        AppendComponent(host, part, missing);
    return host;
}

std::string ToHostPath(const WCHAR* dos) {
    return dos ? ToHostPath(std::u16string_view(dos)) : std::string();
}

std::u16string ToDosPath(const std::string& hostPath) {
    std::string host = hostPath;
    if (host.empty() || host[0] != '/') {
        char buffer[PATH_MAX];
        host = std::string(getcwd(buffer, sizeof buffer) ? buffer : "/") + "/" + host;
    }
    return HostToDos(NormalizeHost(host), Root());
}

bool EnsureDosFolder(std::u16string_view dosFolder) {
    std::string host = ToHostPath(dosFolder);
    if (host.empty())
        return false;
    MakeFolders(host);
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && towlower(a[i]) != towlower(b[i]))
            return false;
    return true;
}

bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name) {
    if (MatchFrom(pattern, name))
        return true;
    // A final ".*" may also match nothing ("*.*" and "name.*" take names without an extension)...
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*")
        return MatchFrom(pattern.substr(0, pattern.size() - 2), name);
    // ...and a final "." asks for a name without one ("*." matches "README").
    if (pattern.size() >= 2 && pattern.back() == u'.' && name.find(u'.') == std::u16string_view::npos)
        return MatchFrom(pattern.substr(0, pattern.size() - 1), name);
    return false;
}

} // namespace platform::path

namespace platform::testing {

void SetRoot(const std::string& posixFolder) {
    auto& state = platform::path::TheState();
    std::lock_guard guard(state.lock);
    if (posixFolder.empty())
        state.rootOverride.reset();
    else
        state.rootOverride = posixFolder;
    state.currentDirectory.reset();
}

void SetKnownFoldersFail(bool fail) {
    platform::path::g_knownFoldersFail = fail;
}

} // namespace platform::testing

using namespace platform;

namespace {

DWORD CopyDos(const std::u16string& text, DWORD size, LPWSTR buffer) {
    // Windows answers the size needed (with the terminator) when the buffer is short, else the length written.
    if (!buffer || text.size() + 1 > size)
        return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return static_cast<DWORD>(text.size());
}

std::u16string KnownFolder(int csidl) {
    switch (csidl & 0xFF) {
    case CSIDL_APPDATA:
        return u"C:\\AppData";
    case CSIDL_LOCAL_APPDATA:
        return u"C:\\AppData\\Local";
    case CSIDL_COMMON_APPDATA:
        return u"C:\\ProgramData";
    case CSIDL_PERSONAL:
        return u"C:\\Documents";
    case CSIDL_MYPICTURES:
        return u"C:\\Pictures";
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
        return u"C:\\Desktop";
    case CSIDL_WINDOWS:
        return u"C:\\Windows";
    case CSIDL_SYSTEM:
        return u"C:\\Windows\\System32";
    case CSIDL_PROGRAM_FILES:
        return u"C:\\Program Files";
    default:
        return std::u16string();
    }
}

} // namespace

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
    auto& state = path::TheState();
    std::u16string current;
    {
        std::lock_guard guard(state.lock);
        current = path::CurrentDirectoryLocked(state);
    }
    return CopyDos(current, size, buffer);
}

BOOL SetCurrentDirectoryW(LPCWSTR dosPath) {
    if (!dosPath || !*dosPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string full = path::FullDosPath(dosPath);
    std::string host = path::ToHostPath(full);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) {
        SetLastError(host.empty() ? ERROR_INVALID_DRIVE : ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (full.size() > 3 && full.back() == u'\\')
        full.pop_back();
    auto& state = path::TheState();
    std::lock_guard guard(state.lock);
    state.currentDirectory = full;
    return TRUE;
}

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
    path::EnsureDosFolder(u"C:\\Windows");
    return CopyDos(u"C:\\Windows", size, buffer);
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    path::EnsureDosFolder(u"C:\\Windows\\System32");
    return CopyDos(u"C:\\Windows\\System32", size, buffer);
}

DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
    path::EnsureDosFolder(u"C:\\Temp");
    return CopyDos(u"C:\\Temp\\", size, buffer);
}

DWORD GetFullPathNameW(LPCWSTR dosPath, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
    if (!dosPath || !*dosPath) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    std::u16string full = path::FullDosPath(dosPath);
    DWORD n = CopyDos(full, size, buffer);
    if (filePart && n < size) {
        size_t slash = full.rfind(u'\\');
        *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
    }
    return n;
}

LPWSTR PathAddBackslashW(LPWSTR path) {
    if (!path)
        return nullptr;
    size_t length = 0;
    while (length < MAX_PATH && path[length])
        ++length;
    if (length >= MAX_PATH)
        return nullptr; // not a path of a MAX_PATH buffer
    if (length == 0 || path[length - 1] == u'\\')
        return path + length; // an empty path stays empty
    if (length + 1 >= MAX_PATH)
        return nullptr;
    path[length] = u'\\';
    path[length + 1] = 0;
    return path + length + 1;
}

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR dosPath) {
    std::u16string folder = KnownFolder(csidl);
    if (!dosPath || folder.empty() || path::g_knownFoldersFail || !path::EnsureDosFolder(folder)) {
        if (dosPath)
            dosPath[0] = 0;
        return E_FAIL;
    }
    std::memcpy(dosPath, folder.c_str(), (folder.size() + 1) * sizeof(WCHAR));
    return S_OK;
}

BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR dosPath, int csidl, BOOL) {
    return SUCCEEDED(SHGetFolderPathW(owner, csidl, nullptr, SHGFP_TYPE_CURRENT, dosPath)) ? TRUE : FALSE;
}
