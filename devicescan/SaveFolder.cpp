#include "devicescan/SaveFolder.h"

bool AddFolderBackslash(WCHAR folder[MAX_PATH]) {
    const size_t length = wcsnlen(folder, MAX_PATH);
    if (length > 0 && folder[length - 1] == u'\\')
        return true;
    if (length + 1 >= MAX_PATH)
        return false;
    folder[length] = u'\\';
    folder[length + 1] = 0;
    return true;
}

bool ProbeFolderWrite(const WCHAR* folder, const SYSTEMTIME& now) {
    constexpr int kMaxTries = 100;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kMaxTries; ++attempt) {
        WCHAR probe[MAX_PATH];
        WCHAR suffix[8] = {};
        if (attempt > 0)
            _snwprintf_s(suffix, _TRUNCATE, u"%d", attempt);
        if (_snwprintf_s(probe, MAX_PATH, _TRUNCATE, u"%s%02d%02d%02d%02d%02d%02dtemp%s.dat", folder, now.wYear % 100,
                         now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, suffix) < 0) {
            error = ERROR_FILENAME_EXCED_RANGE;
            break;
        }
        // CREATE_NEW: a file of the same name that is already there (the user's, or another scan's probe) is
        // neither opened nor deleted.
        HANDLE file = CreateFileW(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileW(probe);
            return true;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    SetLastError(error);
    return false;
}
