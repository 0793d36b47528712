// FindFirstFileW / FindNextFileW / FindClose: a snapshot of the matching entries of one folder.
#include "platform/base/kernel.h"
#include "platform/base/path.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <vector>

using namespace platform;
using namespace platform::kernel;

namespace {

class Search : public Object {
public:
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
};

bool HasWildcard(std::u16string_view name) {
    return name.find_first_of(u"*?") != std::u16string_view::npos;
}

void Fill(WIN32_FIND_DATAW& data, const std::u16string& name, const struct stat& st) {
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = AttributesOf(st);
    data.ftCreationTime = ToFileTime(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    data.ftLastAccessTime = ToFileTime(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    data.ftLastWriteTime = ToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    if (!S_ISDIR(st.st_mode)) {
        auto size = static_cast<ULONGLONG>(st.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
    }
    size_t n = std::min<size_t>(name.size(), MAX_PATH - 1);
    std::memcpy(data.cFileName, name.data(), n * sizeof(WCHAR));
}

} // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
    if (!pattern || !*pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string full = path::FullDosPath(pattern);
    size_t slash = full.rfind(u'\\');
    std::u16string folder = full.substr(0, slash + 1);
    std::u16string name = full.substr(slash + 1);
    if (name.empty()) { // "C:\Temp\" names no entry
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string host = path::ToHostPath(folder);
    DIR* dir = host.empty() ? nullptr : opendir(host.c_str());
    if (!dir) {
        SetLastError(host.empty() || errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                                         : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<Search>();
    bool wildcard = HasWildcard(name);
    bool driveRoot = folder.size() == 3; // "C:\": a drive's root lists no "." and ".."
    while (dirent* entry = readdir(dir)) {
        if (driveRoot && (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0))
            continue;
        std::u16string entryName = ToUtf16(entry->d_name);
        if (wildcard ? !path::MatchesWildcard(name, entryName) : !path::NamesEqual(name, entryName))
            continue;
        struct stat st;
        std::string entryHost = host == "/" ? "/" + std::string(entry->d_name) : host + "/" + entry->d_name;
        if (stat(entryHost.c_str(), &st) != 0 && lstat(entryHost.c_str(), &st) != 0)
            continue;
        Fill(search->entries.emplace_back(), entryName, st);
        if (!wildcard)
            break;
    }
    closedir(dir);
    if (search->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = search->entries[0];
    search->next = 1;
    HANDLE handle = AddHandle(std::move(search));
    if (!handle)
        return INVALID_HANDLE_VALUE;
    SetLastError(NO_ERROR);
    return handle;
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data) {
    auto search = Get<Search>(find);
    if (!search)
        return FALSE;
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = search->entries[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    if (!Get<Search>(find))
        return FALSE;
    return CloseHandle(find);
}
