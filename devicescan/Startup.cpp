#include "devicescan/Startup.h"

#include "devicescan/OfdWriter.h"
#include "devicescan/ProgramPaths.h"
#include "devicescan/VelmoraLanguage.h"
#include "platform/user/winuser.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/PlatformFlags.h"

BOOL g_bRestartRegistered = FALSE;
LONGLONG g_tRestartTime = 0;

namespace {

constexpr const WCHAR* kPlatformOrcaPrefix = u"kvx7718";

// FILETIME counts 100 ns from 1601; 1970 is this many seconds later.
constexpr LONGLONG kSecondsFrom1601To1970 = 11644473600LL;

using RegisterApplicationRestartFn = HRESULT (*)(LPCWSTR, DWORD);
using RegistrationFn = HRESULT (*)();

void CallQuillet(const char* entry) {
    WCHAR path[MAX_PATH] = {};
    GetQuilletDllPath(path);
    HMODULE library = path[0] ? LoadLibraryW(path) : nullptr;
    if (!library)
        return;
    if (auto function = reinterpret_cast<RegistrationFn>(GetProcAddress(library, entry)))
        function();
    FreeLibrary(library);
}

// Deletes the entries of `folder` (ending with a backslash) that match `pattern`, folders with what they hold.
void DeleteMatching(const WCHAR* folder, const WCHAR* pattern) {
    const std::u16string base(folder);
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((base + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::u16string path = base + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            OfdWriter::DeleteFolderTree(path);
            RemoveDirectoryW(path.c_str());
        } else {
            DeleteFileW(path.c_str());
        }
        DebugPrint(u"left by an earlier run: %s", found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

constexpr DWORD kCleanUpWaitMs = 10000;

} // namespace

void ReportNoLanguageLibrary(const WCHAR* libraryPath) {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini, kIniDropCharsDeviceScan);
    const DWORD attributes = ini[0] ? GetFileAttributesW(ini) : INVALID_FILE_ATTRIBUTES;
    WCHAR prefix[MAX_PATH] = {};
    const bool readable = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (readable)
        GetPrivateProfileStringW(u"TWAIN", u"File Prefix", u"", prefix, MAX_PATH, ini);
    // Each path on a line of its own: the box is only as wide as its longest line.
    WCHAR text[3 * MAX_PATH];
    if (!readable)
        _snwprintf_s(text, _TRUNCATE,
                     u"The scan cannot start. The scanner's settings file is missing or cannot be read:\n%s", ini);
    else if (!prefix[0])
        _snwprintf_s(text, _TRUNCATE,
                     u"The scan cannot start. The scanner's settings file is empty or damaged:\n%s\nIt names no "
                     u"[TWAIN] File Prefix.",
                     ini);
    else
        _snwprintf_s(text, _TRUNCATE,
                     u"The scan cannot start. Its language library is missing:\n%s\nIts name comes from the File "
                     u"Prefix in\n%s",
                     libraryPath && libraryPath[0] ? libraryPath : u"?", ini);
    DebugPrint(u"%s", text);
    MessageBoxW(nullptr, text, u"Error", MB_OK | MB_ICONERROR);
}

HANDLE ClaimTemporaryFolder() {
    HANDLE run = CreateMutexW(nullptr, TRUE, kScanRunMutexName);
    if (!run)
        return nullptr;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another run lives: its files stay. Should it be clearing the folder just now, that ends first.
        if (WaitForSingleObject(run, kCleanUpWaitMs) != WAIT_TIMEOUT)
            ReleaseMutex(run);
        return run;
    }
    WCHAR folder[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length > 0 && length < MAX_PATH - 1) {
        if (folder[length - 1] != u'\\')
            lstrcatW(folder, u"\\");
        DeleteMatching(folder, u"Jpg*.tmp");
        DeleteMatching(folder, u"img-*.ofd");
    }
    ReleaseMutex(run);
    return run;
}

void GetResourceDllPath(WCHAR out[MAX_PATH]) {
    WCHAR folder[MAX_PATH];
    WCHAR prefix[MAX_PATH];
    GetProgramFolderAndPrefix(folder, prefix);
    WCHAR code[MAX_PATH] = {};
    GetVelmoraLanguageCode(code);
    if (_snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s%spsrc%s.dll", folder, prefix, code) < 0)
        out[0] = 0; // a cut path would name another file
    if (wcscmp(prefix, kPlatformOrcaPrefix) == 0) {
        g_bIsPlatformOrca = TRUE;
        DebugPrint(u"g_bIsPlatformOrca = TRUE");
    }
}

void GetQuilletDllPath(WCHAR out[MAX_PATH]) {
    WCHAR folder[MAX_PATH];
    WCHAR prefix[MAX_PATH];
    GetProgramFolderAndPrefix(folder, prefix);
    if (_snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s%sQuillet.dll", folder, prefix) < 0)
        out[0] = 0;
}

void RegisterQuillet() {
    CallQuillet("DllRegisterServer");
}

void UnregisterQuillet() {
    CallQuillet("DllUnregisterServer");
}

LONGLONG CurrentTimeSeconds() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<LONGLONG>(ticks / 10000000ULL) - kSecondsFrom1601To1970;
}

void RegisterRestart() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(&version) || version.dwMajorVersion < 6 || version.dwMinorVersion != 0 ||
        version.dwBuildNumber < 6000)
        return;
    HMODULE kernel = LoadLibraryW(u"KERNEL32.DLL");
    if (!kernel)
        return;
    auto registerRestart =
        reinterpret_cast<RegisterApplicationRestartFn>(GetProcAddress(kernel, "RegisterApplicationRestart"));
    if (registerRestart && registerRestart(u"/RESTART", 0) >= 0) {
        g_tRestartTime = CurrentTimeSeconds();
        g_bRestartRegistered = TRUE;
    }
    FreeLibrary(kernel);
}
