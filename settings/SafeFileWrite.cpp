#include "settings/SafeFileWrite.h"

#include "settings/FileHandle.h"

#include <algorithm>

namespace {

bool WriteAll(HANDLE file, const BYTE* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

bool WriteFileReplacing(const WCHAR* path, const void* data, size_t size) {
    if (!path || (!data && size > 0))
        return false;
    WCHAR temp[MAX_PATH + 8] = {};
    if (_snwprintf_s(temp, _countof(temp), _TRUNCATE, u"%s.new", path) < 0)
        return false;
    FileHandle out(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid())
        return false;
    const bool written = WriteAll(out.get(), static_cast<const BYTE*>(data), size) && FlushFileBuffers(out.get());
    out.close();
    if (!written || !MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteFileW(temp);
        SetLastError(error);
        return false;
    }
    return true;
}
