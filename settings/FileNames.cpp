#include "settings/FileNames.h"

#include <algorithm>
#include <climits>

namespace {

// Leading blanks skipped, then the digits up to the first other character; 0 when there are none.
int LeadingNumber(const WCHAR* text) {
    while (*text == u' ' || *text == u'\t')
        ++text;
    long long value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text)
        value = std::min<long long>(value * 10 + (*text - u'0'), INT_MAX - 1);
    return static_cast<int>(value);
}

// The highest number + 1 over the entries matching folder + prefix + "*.*", never below `first`.
int NextNumberAfter(const WCHAR* folderWithSlash, const WCHAR* prefix, int first) {
    WCHAR pattern[MAX_PATH];
    if (_snwprintf_s(pattern, MAX_PATH, _TRUNCATE, u"%s%s*.*", folderWithSlash, prefix) < 0)
        return first;
    int next = first;
    const size_t prefixLength = wcslen(prefix);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return next;
    do {
        if (wcslen(entry.cFileName) >= prefixLength)
            next = std::max(next, LeadingNumber(entry.cFileName + prefixLength) + 1);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return next;
}

void WithTrailingSlash(const WCHAR* folder, WCHAR out[MAX_PATH]) {
    wcsncpy_s(out, MAX_PATH, folder ? folder : u"", _TRUNCATE);
    size_t length = wcslen(out);
    if ((length == 0 || out[length - 1] != u'\\') && length + 1 < MAX_PATH)
        wcscat_s(out, MAX_PATH, u"\\");
}

} // namespace

CString GetTempDataPath(const WCHAR* folder, const WCHAR* name) {
    if (!name)
        name = u"";
    WCHAR root[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, root, CSIDL_APPDATA, TRUE) || !root[0]) {
        GetTempPathW(MAX_PATH, root);
        size_t length = wcslen(root);
        if (length > 0 && root[length - 1] == u'\\')
            root[length - 1] = 0;
    }
    CString base;
    base.Format(u"%s\\Tmpdata\\", root);
    CreateDirectoryW(base, nullptr);
    CString inBase;
    inBase.Format(u"%s%s", base.GetString(), name);
    if (!folder || wcslen(folder) <= 2)
        return inBase;
    CString other(folder);
    if (other.Right(1) != u"\\")
        other += u"\\";
    if (GetFileAttributesW(inBase) != INVALID_FILE_ATTRIBUTES)
        return inBase;
    CreateDirectoryW(base, nullptr);
    return other + name;
}

int NextDatedFileName(const WCHAR* folder, WCHAR out[MAX_PATH]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR prefix[32];
    _snwprintf_s(prefix, _countof(prefix), _TRUNCATE, u"%04d-%02d-%02d_", now.wYear, now.wMonth, now.wDay);
    WCHAR dir[MAX_PATH];
    WithTrailingSlash(folder, dir);
    int next = NextNumberAfter(dir, prefix, 1);
    _snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s%03d", prefix, next);
    return 1;
}

int NextNumberedFileName(WCHAR* folder, const WCHAR* base, WCHAR out[MAX_PATH]) {
    if (!base)
        base = u"";
    WCHAR dir[MAX_PATH];
    WithTrailingSlash(folder, dir);
    if (folder)
        wcscpy_s(folder, MAX_PATH, dir);
    int next = NextNumberAfter(dir, base, 0);
    if (next == 0)
        _snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s", base);
    else
        _snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s %d", base, next);
    return 1;
}

BOOL GetDefaultSaveFolder(WCHAR out[MAX_PATH]) {
    out[0] = 0;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    const bool vistaOrLater = GetVersionExW(&version) && version.dwMajorVersion >= 6;
    if (SHGetSpecialFolderPathW(nullptr, out, vistaOrLater ? CSIDL_MYPICTURES : CSIDL_PERSONAL, TRUE))
        return TRUE;
    out[0] = 0;
    return FALSE;
}
