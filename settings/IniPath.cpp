#include "settings/IniPath.h"

#include "platform/base/module.h"

#include <mutex>

WCHAR g_szModuleFolderName[64] = {};

namespace {
// The whole folder name behind g_szModuleFolderName; both are refreshed from any thread that reads the INI file.
WCHAR s_szModelKeyName[MAX_PATH] = {};
std::mutex s_folderLock;
} // namespace

void FormIniPath(LPCWSTR windowsDir, LPCWSTR modulePath, int nDropChars, WCHAR out[MAX_PATH], WCHAR* folderName) {
    out[0] = 0;
    if (windowsDir == nullptr || modulePath == nullptr || modulePath[0] == 0)
        return;
    const WCHAR* fileName = modulePath;
    if (const WCHAR* lastSlash = wcsrchr(modulePath, u'\\')) {
        fileName = lastSlash + 1;
        // The folder name lies between the last two backslashes; without a second one it is left as it was.
        const WCHAR* folderEnd = lastSlash;
        const WCHAR* folderStart = nullptr;
        for (const WCHAR* p = modulePath; p < folderEnd; ++p)
            if (*p == u'\\')
                folderStart = p + 1;
        if (folderStart != nullptr && folderName != nullptr) {
            size_t length = static_cast<size_t>(folderEnd - folderStart);
            if (length >= MAX_PATH)
                length = MAX_PATH - 1;
            wcsncpy(folderName, folderStart, length);
            folderName[length] = 0;
        }
    }
    int nameLength = lstrlenW(fileName) - nDropChars;
    if (nameLength < 0)
        nameLength = 0;
    int written = _snwprintf(out, MAX_PATH, u"%s\\%.*s.ini", windowsDir, nameLength, fileName);
    if (written < 0 || written >= MAX_PATH)
        out[0] = 0; // a cut path would name another file: read nothing rather than the wrong file
}

void GetIniPath(WCHAR out[MAX_PATH], int nDropChars) {
    out[0] = 0;
    WCHAR windowsDir[MAX_PATH] = {};
    GetWindowsDirectoryW(windowsDir, MAX_PATH);
    WCHAR modulePath[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(platform::ThisModule(), modulePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    WCHAR folderName[MAX_PATH] = {};
    FormIniPath(windowsDir, modulePath, nDropChars, out, folderName);
    if (folderName[0] != 0) {
        std::lock_guard lock(s_folderLock);
        wcscpy_s(s_szModelKeyName, folderName);
        lstrcpynW(g_szModuleFolderName, folderName, static_cast<int>(std::size(g_szModuleFolderName)));
    }
}

void GetModelKeyName(WCHAR out[MAX_PATH]) {
    std::lock_guard lock(s_folderLock);
    wcscpy_s(out, MAX_PATH, s_szModelKeyName);
}

void FormatModelKey(LPCWSTR keyFormat, WCHAR out[MAX_PATH]) {
    WCHAR name[MAX_PATH];
    GetModelKeyName(name);
    if (_snwprintf(out, MAX_PATH, keyFormat, name) < 0)
        out[MAX_PATH - 1] = 0;
}

void ReadModelValue(LPCWSTR keyFormat, WCHAR out[MAX_PATH]) {
    WCHAR ini[MAX_PATH];
    GetIniPath(ini);
    WCHAR key[MAX_PATH];
    FormatModelKey(keyFormat, key);
    GetPrivateProfileStringW(u"TWAIN", key, u"", out, MAX_PATH, ini);
}

BOOL ModelValueIs(LPCWSTR keyFormat, LPCWSTR literal) {
    WCHAR value[MAX_PATH];
    ReadModelValue(keyFormat, value);
    return wcscmp(value, literal) == 0 ? TRUE : FALSE;
}

BOOL IsIniFileUsable(WCHAR* path, int nDropChars) {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini, nDropChars);
    if (path != nullptr)
        wcscpy_s(path, MAX_PATH, ini);
    const DWORD attributes = ini[0] != 0 ? GetFileAttributesW(ini) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return FALSE;
    // A default no value can have tells a missing key from an empty one.
    constexpr WCHAR kAbsent[] = u"\x01";
    WCHAR prefix[MAX_PATH] = {};
    try {
        GetPrivateProfileStringW(u"TWAIN", u"File Prefix", kAbsent, prefix, MAX_PATH, ini);
    } catch (...) {
        return FALSE;
    }
    return wcscmp(prefix, kAbsent) != 0 ? TRUE : FALSE;
}
