// Files and folders: CreateFileW and its handle calls, copies, moves, deletes, attributes, temporary names, free
// disk space and the C runtime's wide fopen.
#include "platform/base/kernel.h"
#include "platform/base/lifetime.h"
#include "platform/base/path.h"
#include "platform/base/testing.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

using namespace platform;
using namespace platform::kernel;

namespace {

// Access rights that count as reading, writing or deleting for the sharing rules.
constexpr DWORD kReadRights = GENERIC_READ | GENERIC_ALL | 0x0001 /*FILE_READ_DATA*/;
constexpr DWORD kWriteRights = GENERIC_WRITE | GENERIC_ALL | 0x0002 /*FILE_WRITE_DATA*/ | 0x0004 /*APPEND*/;
constexpr DWORD kDeleteRights = DELETE | GENERIC_ALL;

struct Opener {
    const void* owner;
    DWORD access;
    DWORD share;
};

struct Shares {
    std::mutex lock;
    std::map<std::pair<unsigned long long, unsigned long long>, std::vector<Opener>> opens;
};

// Freed with the module only when none of its files is left open; else kept by the process with them.
Shares& TheShares() {
    static auto* shares = [] {
        auto* created = new Shares;
        platform::FreeAtUnload(
            [](void* object) {
                if (auto* unused = static_cast<Shares*>(object); unused->opens.empty())
                    delete unused;
                else
                    platform::KeepForProcess(unused);
            },
            created);
        return created;
    }();
    return *shares;
}

// Windows lets a new open through only when it shares every right the others hold and they share every right
// it asks for.
bool Compatible(DWORD access, DWORD share, const Opener& other) {
    auto conflicts = [](DWORD wanted, DWORD sharedByOther) {
        return ((wanted & kReadRights) && !(sharedByOther & FILE_SHARE_READ)) ||
               ((wanted & kWriteRights) && !(sharedByOther & FILE_SHARE_WRITE)) ||
               ((wanted & kDeleteRights) && !(sharedByOther & FILE_SHARE_DELETE));
    };
    return !conflicts(access, other.share) && !conflicts(other.access, share);
}

bool SharingAllows(const struct stat& st, DWORD access, DWORD share) {
    Shares& shares = TheShares();
    std::lock_guard guard(shares.lock);
    auto it = shares.opens.find({st.st_dev, st.st_ino});
    if (it == shares.opens.end())
        return true;
    for (const Opener& other : it->second)
        if (!Compatible(access, share, other))
            return false;
    return true;
}

// ENOENT means a missing file when the folder exists and a missing path otherwise.
DWORD MissingError(const std::string& host) {
    size_t slash = host.rfind('/');
    std::string folder = slash == 0 ? "/" : host.substr(0, slash);
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

void FailFromErrno(int error, const std::string& host) {
    if (error == ENOENT)
        SetLastError(MissingError(host));
    else
        SetLastErrorFromErrno(error);
}

std::string ParentOf(const std::string& host) {
    size_t slash = host.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : host.substr(0, slash);
}

// Root passes every permission check of the kernel. Running as root (as CI does), the owner's bits decide instead,
// so a read-only file or folder refuses changes as it does for a normal user (and as the read-only attribute does on
// Windows). A missing entry passes; the operation itself reports it.
bool OwnerMay(const std::string& host, mode_t bit) {
    static const bool root = geteuid() == 0;
    if (!root)
        return true;
    struct stat st;
    return stat(host.c_str(), &st) != 0 || (st.st_mode & bit) != 0;
}

bool DeniedUnless(bool allowed) {
    if (!allowed)
        SetLastError(ERROR_ACCESS_DENIED);
    return !allowed;
}

std::string HostOf(LPCWSTR dos) {
    std::string host = path::ToHostPath(dos);
    if (host.empty())
        SetLastError(dos && *dos ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return host;
}

bool WriteAll(int fd, const char* data, size_t size, size_t& written) {
    written = 0;
    while (written < size) {
        ssize_t n = write(fd, data + written, size - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

bool CopyContents(int from, int to) {
    struct stat st;
    if (fstat(from, &st) != 0)
        return false;
    // copy_file_range lets the kernel (or the file system) do it; fall back to a buffer across file systems.
    off_t remaining = st.st_size;
    while (remaining > 0) {
        ssize_t n = copy_file_range(from, nullptr, to, nullptr, static_cast<size_t>(remaining), 0);
        if (n <= 0)
            break;
        remaining -= n;
    }
    if (remaining == 0)
        return true;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ssize_t n = read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        size_t written;
        if (!WriteAll(to, buffer.data(), static_cast<size_t>(n), written))
            return false;
    }
}

std::optional<ULONGLONG> g_diskFree;
std::mutex g_diskFreeLock;

bool FreeSpace(const std::string& host, ULONGLONG& toCaller, ULONGLONG& total, ULONGLONG& totalFree) {
    {
        std::lock_guard guard(g_diskFreeLock);
        if (g_diskFree) {
            toCaller = totalFree = *g_diskFree;
            total = *g_diskFree * 2;
            return true;
        }
    }
    struct statvfs vfs;
    if (statvfs(host.c_str(), &vfs) != 0) {
        FailFromErrno(errno, host);
        return false;
    }
    toCaller = static_cast<ULONGLONG>(vfs.f_bavail) * vfs.f_frsize;
    total = static_cast<ULONGLONG>(vfs.f_blocks) * vfs.f_frsize;
    totalFree = static_cast<ULONGLONG>(vfs.f_bfree) * vfs.f_frsize;
    return true;
}

std::string FolderHost(LPCWSTR directory) {
    if (!directory || !*directory) {
        WCHAR current[MAX_PATH * 4];
        GetCurrentDirectoryW(static_cast<DWORD>(std::size(current)), current);
        return path::ToHostPath(current);
    }
    return HostOf(directory);
}

} // namespace

namespace platform::kernel {

File::File(int fd, DWORD access, DWORD share, bool deleteOnClose, std::string hostPath)
    : m_fd(fd), m_access(access), m_share(share), m_deleteOnClose(deleteOnClose), m_hostPath(std::move(hostPath)) {
    struct stat st;
    if (fstat(fd, &st) == 0) {
        m_device = st.st_dev;
        m_inode = st.st_ino;
        Shares& shares = TheShares();
        std::lock_guard guard(shares.lock);
        shares.opens[{m_device, m_inode}].push_back({this, m_access, m_share});
    }
}

File::~File() {
    {
        Shares& shares = TheShares();
        std::lock_guard guard(shares.lock);
        auto it = shares.opens.find({m_device, m_inode});
        if (it != shares.opens.end()) {
            std::erase_if(it->second, [this](const Opener& o) { return o.owner == this; });
            if (it->second.empty())
                shares.opens.erase(it);
        }
    }
    if (m_deleteOnClose)
        unlink(m_hostPath.c_str());
    close(m_fd);
}

bool File::CanRead() const {
    return (m_access & kReadRights) != 0;
}
bool File::CanWrite() const {
    return (m_access & kWriteRights) != 0;
}

FILETIME ToFileTime(long long seconds, long nanoseconds) {
    ULONGLONG ticks =
        static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL + static_cast<ULONGLONG>(nanoseconds / 100);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

} // namespace platform::kernel

HANDLE CreateFileW(LPCWSTR dosPath, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE) {
    std::string host = HostOf(dosPath);
    if (host.empty())
        return INVALID_HANDLE_VALUE;
    bool reads = (access & kReadRights) != 0;
    bool writes = (access & kWriteRights) != 0;
    int flags = O_CLOEXEC | (reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY);
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        if (!writes) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        flags |= O_TRUNC;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    struct stat before;
    bool existed = stat(host.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (existed && disposition != CREATE_NEW && !SharingAllows(before, access, shareMode)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    if (DeniedUnless(existed ? (!writes || OwnerMay(host, S_IWUSR)) && (!reads || OwnerMay(host, S_IRUSR))
                             : !(flags & O_CREAT) || OwnerMay(ParentOf(host), S_IWUSR)))
        return INVALID_HANDLE_VALUE;
    mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    int fd = open(host.c_str(), flags, mode);
    if (fd < 0) {
        if (errno == EEXIST)
            SetLastError(ERROR_FILE_EXISTS);
        else
            FailFromErrno(errno, host);
        return INVALID_HANDLE_VALUE;
    }
    bool deleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    HANDLE handle = AddHandle(std::make_shared<File>(fd, access, shareMode, deleteOnClose, host));
    if (!handle)
        return INVALID_HANDLE_VALUE;
    // Windows reports that an existing file was opened (or overwritten) through the last error.
    bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    if (read)
        *read = 0;
    auto f = Get<File>(file);
    if (!f)
        return FALSE;
    if (!f->CanRead()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < toRead) {
        ssize_t n = ::read(f->fd(), out + total, toRead - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastErrorFromErrno(errno);
            if (read)
                *read = total;
            return FALSE;
        }
        if (n == 0)
            break; // end of file: success with fewer bytes
        total += static_cast<DWORD>(n);
    }
    if (read)
        *read = total;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
    if (written)
        *written = 0;
    auto f = Get<File>(file);
    if (!f)
        return FALSE;
    if (!f->CanWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    size_t done = 0;
    bool ok = WriteAll(f->fd(), static_cast<const char*>(buffer), toWrite, done);
    if (written)
        *written = static_cast<DWORD>(done);
    if (!ok) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method) {
    auto f = Get<File>(file);
    if (!f)
        return FALSE;
    int whence = method == FILE_BEGIN     ? SEEK_SET
                 : method == FILE_CURRENT ? SEEK_CUR
                 : method == FILE_END     ? SEEK_END
                                          : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    off_t base = whence == SEEK_SET ? 0 : lseek(f->fd(), 0, whence);
    if (base < 0 || (distance.QuadPart < 0 && base + distance.QuadPart < 0)) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return FALSE;
    }
    off_t at = lseek(f->fd(), base + distance.QuadPart, SEEK_SET);
    if (at < 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    if (newPosition)
        newPosition->QuadPart = at;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    LARGE_INTEGER move;
    move.QuadPart = distanceHigh ? (static_cast<LONGLONG>(*distanceHigh) << 32) | static_cast<DWORD>(distance)
                                 : static_cast<LONGLONG>(distance);
    LARGE_INTEGER at;
    if (!SetFilePointerEx(file, move, &at, method))
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh)
        *distanceHigh = at.HighPart;
    SetLastError(NO_ERROR); // lets callers tell a position of 0xFFFFFFFF from a failure
    return at.LowPart;
}

BOOL SetEndOfFile(HANDLE file) {
    auto f = Get<File>(file);
    if (!f)
        return FALSE;
    off_t at = lseek(f->fd(), 0, SEEK_CUR);
    if (at < 0 || ftruncate(f->fd(), at) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    auto f = Get<File>(file);
    if (!f)
        return FALSE;
    struct stat st;
    if (fstat(f->fd(), &st) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    size->QuadPart = st.st_size;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return INVALID_FILE_SIZE;
    if (sizeHigh)
        *sizeHigh = static_cast<DWORD>(size.HighPart);
    SetLastError(NO_ERROR);
    return size.LowPart;
}

BOOL FlushFileBuffers(HANDLE file) {
    auto f = Get<File>(file);
    if (!f)
        return FALSE;
    if (fsync(f->fd()) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR dosPath) {
    std::string host = HostOf(dosPath);
    if (host.empty())
        return FALSE;
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) {
        FailFromErrno(errno, host);
        return FALSE;
    }
    if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR) || !OwnerMay(ParentOf(host), S_IWUSR)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!SharingAllows(st, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (unlink(host.c_str()) != 0) {
        FailFromErrno(errno, host);
        return FALSE;
    }
    return TRUE;
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
    std::string source = HostOf(from);
    std::string target = HostOf(to);
    if (source.empty() || target.empty())
        return FALSE;
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        FailFromErrno(errno, source);
        return FALSE;
    }
    struct stat st;
    fstat(in, &st);
    if (S_ISDIR(st.st_mode) || !SharingAllows(st, GENERIC_READ, FILE_SHARE_READ)) {
        SetLastError(S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION);
        close(in);
        return FALSE;
    }
    struct stat existing;
    if (stat(target.c_str(), &existing) == 0) {
        if (failIfExists || S_ISDIR(existing.st_mode) || !(existing.st_mode & S_IWUSR)) {
            SetLastError(failIfExists ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
            close(in);
            return FALSE;
        }
        if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) {
            SetLastError(ERROR_SHARING_VIOLATION); // copying a file onto itself
            close(in);
            return FALSE;
        }
        if (!SharingAllows(existing, GENERIC_WRITE, 0)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            close(in);
            return FALSE;
        }
    }
    if (DeniedUnless(OwnerMay(ParentOf(target), S_IWUSR))) {
        close(in);
        return FALSE;
    }
    int out =
        open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0), st.st_mode & 0777);
    if (out < 0) {
        if (errno == EEXIST)
            SetLastError(ERROR_FILE_EXISTS);
        else
            FailFromErrno(errno, target);
        close(in);
        return FALSE;
    }
    bool ok = CopyContents(in, out);
    int error = errno;
    if (ok) {
        // Windows keeps the last-write time of the source.
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
    }
    close(in);
    if (close(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        SetLastErrorFromErrno(error);
        unlink(target.c_str());
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    std::string source = HostOf(from);
    if (source.empty())
        return FALSE;
    if (!to) { // MOVEFILE_DELAY_UNTIL_REBOOT deletion is not available
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string target = HostOf(to);
    if (target.empty())
        return FALSE;
    struct stat st;
    if (lstat(source.c_str(), &st) != 0) {
        FailFromErrno(errno, source);
        return FALSE;
    }
    if (!SharingAllows(st, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    struct stat existing;
    bool targetExists = lstat(target.c_str(), &existing) == 0;
    bool sameFile = targetExists && existing.st_dev == st.st_dev && existing.st_ino == st.st_ino;
    if (targetExists && !sameFile) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (S_ISDIR(existing.st_mode) || S_ISDIR(st.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (!SharingAllows(existing, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return FALSE;
        }
    }
    if (DeniedUnless(OwnerMay(ParentOf(source), S_IWUSR) && OwnerMay(ParentOf(target), S_IWUSR)))
        return FALSE;
    if (rename(source.c_str(), target.c_str()) == 0)
        return TRUE;
    if (errno == EXDEV && (flags & MOVEFILE_COPY_ALLOWED) && !S_ISDIR(st.st_mode)) {
        if (!CopyFileW(from, to, FALSE))
            return FALSE;
        unlink(source.c_str());
        return TRUE;
    }
    if (errno == EXDEV)
        SetLastError(ERROR_NOT_SAME_DEVICE);
    else
        FailFromErrno(errno, errno == ENOENT ? target : source);
    return FALSE;
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to) {
    return MoveFileExW(from, to, MOVEFILE_COPY_ALLOWED);
}

BOOL CreateDirectoryW(LPCWSTR dosPath, LPSECURITY_ATTRIBUTES) {
    std::string host = HostOf(dosPath);
    if (host.empty())
        return FALSE;
    struct stat existing;
    if (stat(host.c_str(), &existing) != 0 && DeniedUnless(OwnerMay(ParentOf(host), S_IWUSR)))
        return FALSE;
    if (mkdir(host.c_str(), 0777) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR dosPath) {
    std::string host = HostOf(dosPath);
    if (host.empty())
        return FALSE;
    if (DeniedUnless(OwnerMay(ParentOf(host), S_IWUSR)))
        return FALSE;
    if (rmdir(host.c_str()) != 0) {
        SetLastError(errno == ENOTDIR ? ERROR_DIRECTORY : errno == ENOENT ? MissingError(host) : ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

namespace platform::kernel {

DWORD AttributesOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
    return FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
}

} // namespace platform::kernel

DWORD GetFileAttributesW(LPCWSTR dosPath) {
    std::string host = HostOf(dosPath);
    if (host.empty())
        return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        FailFromErrno(errno, host);
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(st);
}

BOOL SetFileAttributesW(LPCWSTR dosPath, DWORD attributes) {
    std::string host = HostOf(dosPath);
    if (host.empty())
        return FALSE;
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        FailFromErrno(errno, host);
        return FALSE;
    }
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | S_IWUSR);
    if (chmod(host.c_str(), mode) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

UINT GetTempFileNameW(LPCWSTR dosFolder, LPCWSTR prefix, UINT unique, LPWSTR tempFileName) {
    if (!dosFolder || !tempFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string base(dosFolder);
    if (!base.empty() && base.back() != u'\\' && base.back() != u'/')
        base += u'\\';
    if (prefix)
        base += std::u16string_view(prefix).substr(0, std::min<size_t>(3, wcslen(prefix)));
    auto nameOf = [&](UINT number) {
        WCHAR hex[16];
        swprintf(hex, std::size(hex), u"%X.tmp", number);
        return base + hex;
    };
    auto store = [&](const std::u16string& name) {
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return false;
        }
        std::memcpy(tempFileName, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
        return true;
    };
    if (unique != 0) {
        unique &= 0xFFFF;
        return store(nameOf(unique)) ? unique : 0;
    }
    std::string folderHost = path::ToHostPath(dosFolder);
    struct stat st;
    if (folderHost.empty() || stat(folderHost.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    if (DeniedUnless(OwnerMay(folderHost, S_IWUSR)))
        return 0;
    // Windows starts from the tick count and walks the 16-bit numbers until it creates a new file.
    UINT start = (static_cast<UINT>(GetTickCount()) ^ static_cast<UINT>(getpid() << 4)) & 0xFFFF;
    for (UINT i = 0; i < 0x10000; ++i) {
        UINT number = (start + i) & 0xFFFF;
        if (number == 0)
            continue;
        std::u16string name = nameOf(number);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        std::string host = path::ToHostPath(name);
        int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            store(name);
            return number;
        }
        if (errno != EEXIST) {
            FailFromErrno(errno, host);
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                         PULARGE_INTEGER totalFree) {
    std::string host = FolderHost(directory);
    if (host.empty())
        return FALSE;
    ULONGLONG a, b, c;
    if (!FreeSpace(host, a, b, c))
        return FALSE;
    if (freeToCaller)
        freeToCaller->QuadPart = a;
    if (total)
        total->QuadPart = b;
    if (totalFree)
        totalFree->QuadPart = c;
    return TRUE;
}

BOOL GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                         PULARGE_INTEGER totalFree) {
    std::u16string wide = directory ? ToUtf16(directory) : std::u16string();
    return GetDiskFreeSpaceExW(directory ? wide.c_str() : nullptr, freeToCaller, total, totalFree);
}

// Reported with 4 KiB clusters (8 sectors of 512 bytes); cluster counts are capped at 32 bits.
BOOL GetDiskFreeSpaceW(LPCWSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                       LPDWORD totalClusters) {
    ULARGE_INTEGER toCaller, total, totalFree;
    if (!GetDiskFreeSpaceExW(root, &toCaller, &total, &totalFree))
        return FALSE;
    auto clusters = [](ULONGLONG bytes) { return static_cast<DWORD>(std::min<ULONGLONG>(bytes / 4096, 0xFFFFFFFFu)); };
    if (sectorsPerCluster)
        *sectorsPerCluster = 8;
    if (bytesPerSector)
        *bytesPerSector = 512;
    if (freeClusters)
        *freeClusters = clusters(totalFree.QuadPart);
    if (totalClusters)
        *totalClusters = clusters(total.QuadPart);
    return TRUE;
}

BOOL GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                       LPDWORD totalClusters) {
    std::u16string wide = root ? ToUtf16(root) : std::u16string();
    return GetDiskFreeSpaceW(root ? wide.c_str() : nullptr, sectorsPerCluster, bytesPerSector, freeClusters,
                             totalClusters);
}

HFILE OpenFile(LPCSTR fileName, LPOFSTRUCT openBuffer, UINT style) {
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return HFILE_ERROR;
    }
    std::u16string name = ToUtf16(fileName);
    std::u16string full = path::FullDosPath(name);
    if (openBuffer) {
        *openBuffer = OFSTRUCT{};
        openBuffer->cBytes = sizeof(OFSTRUCT);
        openBuffer->fFixedDisk = 1;
        std::string narrow = ToUtf8(full);
        std::memcpy(openBuffer->szPathName, narrow.c_str(), std::min(narrow.size(), sizeof openBuffer->szPathName - 1));
    }
    auto fail = [&] {
        if (openBuffer)
            openBuffer->nErrCode = static_cast<WORD>(GetLastError());
        return HFILE_ERROR;
    };
    if (style & OF_DELETE)
        return DeleteFileW(full.c_str()) ? 1 : fail();
    DWORD access = (style & 3) == OF_WRITE       ? GENERIC_WRITE
                   : (style & 3) == OF_READWRITE ? GENERIC_READ | GENERIC_WRITE
                                                 : GENERIC_READ;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (style & 0x70) {
    case OF_SHARE_EXCLUSIVE:
        share = 0;
        break;
    case OF_SHARE_DENY_WRITE:
        share = FILE_SHARE_READ;
        break;
    case OF_SHARE_DENY_READ:
        share = FILE_SHARE_WRITE;
        break;
    default:
        break;
    }
    if (style & OF_CREATE)
        access |= GENERIC_WRITE;
    HANDLE file = CreateFileW(full.c_str(), access, share, nullptr, (style & OF_CREATE) ? CREATE_ALWAYS : OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail();
    if (style & OF_EXIST) { // only a test: the file is closed again
        CloseHandle(file);
        return 1;
    }
    return static_cast<HFILE>(reinterpret_cast<uintptr_t>(file));
}

HFILE _lclose(HFILE file) {
    return CloseHandle(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(static_cast<unsigned>(file)))) ? 0 : HFILE_ERROR;
}

FILE* _wfopen(const WCHAR* dosPath, const WCHAR* mode) {
    if (!dosPath || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    std::string host = path::ToHostPath(dosPath);
    if (host.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    // Keep the C modes; drop Windows-only ones ('t', 'S', 'R', 'D', 'N', ",ccs=...").
    std::string narrow;
    for (const WCHAR* m = mode; *m && *m != u','; ++m)
        if (*m == u'r' || *m == u'w' || *m == u'a' || *m == u'+' || *m == u'b' || *m == u'x')
            narrow += static_cast<char>(*m);
    bool writes = narrow.find_first_of("wa+") != std::string::npos;
    if (writes && !OwnerMay(host, S_IWUSR)) {
        errno = EACCES;
        return nullptr;
    }
    struct stat st;
    if (writes && stat(host.c_str(), &st) != 0 && !OwnerMay(ParentOf(host), S_IWUSR)) {
        errno = EACCES;
        return nullptr;
    }
    narrow += 'e'; // close on exec
    return std::fopen(host.c_str(), narrow.c_str());
}

errno_t _wfopen_s(FILE** file, const WCHAR* dosPath, const WCHAR* mode) {
    if (!file)
        return EINVAL;
    *file = _wfopen(dosPath, mode);
    return *file ? 0 : errno;
}

int _wremove(const WCHAR* dosPath) {
    std::string host = path::ToHostPath(dosPath);
    return host.empty() ? (errno = ENOENT, -1) : std::remove(host.c_str());
}

int _wmkdir(const WCHAR* dosPath) {
    std::string host = path::ToHostPath(dosPath);
    return host.empty() ? (errno = ENOENT, -1) : mkdir(host.c_str(), 0777);
}

namespace platform::testing {

void SetDiskFreeSpace(std::optional<ULONGLONG> bytes) {
    std::lock_guard guard(g_diskFreeLock);
    g_diskFree = bytes;
}

} // namespace platform::testing
