// File mappings: sections over files (or over anonymous memory) and views of them at the 64 KiB allocation
// granularity Windows imposes on view offsets.
#include "platform/base/kernel.h"
#include "platform/base/lifetime.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/mman.h>
#include <unistd.h>

using namespace platform::kernel;

namespace {

constexpr DWORD kGranularity = 0x10000;
constexpr DWORD kPageSize = 4096;

class Section : public Object {
public:
    Section(std::shared_ptr<File> file, int fd, ULONGLONG size, bool writable)
        : m_file(std::move(file)), m_fd(fd), m_size(size), m_writable(writable) {}
    ~Section() override {
        if (!m_file)
            close(m_fd); // the anonymous memory file is ours
    }
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;

    int fd() const { return m_fd; }
    ULONGLONG size() const { return m_size; }
    bool writable() const { return m_writable; }

private:
    std::shared_ptr<File> m_file; // keeps the file open (and its sharing in force) while the section lives
    int m_fd;
    ULONGLONG m_size;
    bool m_writable;
};

// The kernel maps whole 2 MiB-aligned spans around each view: ext4 then backs the pages with large folios, which
// makes writing a fresh image through many small views several times faster. The caller sees only its view.
constexpr ULONGLONG kSpan = 2 << 20;

struct View {
    std::shared_ptr<Section> section; // a view keeps its section alive after CloseHandle
    size_t length;                    // what the caller asked for, from the address it got
    char* spanBase;                   // what was really mapped
    size_t spanLength;
};

struct Views {
    std::mutex lock;
    std::map<const char*, View> byAddress;
};

// Freed with the module only when none of its views is left mapped; else kept by the process with them.
Views& TheViews() {
    static auto* views = [] {
        auto* created = new Views;
        platform::FreeAtUnload(
            [](void* object) {
                if (auto* unused = static_cast<Views*>(object); unused->byAddress.empty())
                    delete unused;
                else
                    platform::KeepForProcess(unused);
            },
            created);
        return created;
    }();
    return *views;
}

// Reserves the blocks, so a full disk fails here (as on Windows) rather than as a fault on first write.
int Grow(int fd, ULONGLONG from, ULONGLONG to) {
    int rc = fallocate(fd, 0, static_cast<off_t>(from), static_cast<off_t>(to - from));
    if (rc == 0)
        return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    return ftruncate(fd, static_cast<off_t>(to)) == 0 ? 0 : errno;
}

} // namespace

void GetSystemInfo(LPSYSTEM_INFO info) {
    *info = SYSTEM_INFO{};
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info->dwPageSize = kPageSize;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFFEFFFFULL);
    // Asked once: the C library reads it from sysfs at every call, and callers ask for the granularity per view.
    static const DWORD processors = [] {
        const long online = sysconf(_SC_NPROCESSORS_ONLN);
        return online > 0 ? static_cast<DWORD>(online) : 1;
    }();
    info->dwNumberOfProcessors = processors;
    info->dwActiveProcessorMask =
        info->dwNumberOfProcessors >= 64 ? ~DWORD_PTR(0) : (DWORD_PTR(1) << info->dwNumberOfProcessors) - 1;
    info->dwProcessorType = 8664;
    info->dwAllocationGranularity = kGranularity;
    info->wProcessorLevel = 6;
}

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD sizeHigh, DWORD sizeLow, LPCWSTR) {
    ULONGLONG size = (static_cast<ULONGLONG>(sizeHigh) << 32) | sizeLow;
    DWORD access = protect & 0xFF;
    bool writable = access == PAGE_READWRITE || access == PAGE_WRITECOPY;
    if (access != PAGE_READONLY && access != PAGE_READWRITE && access != PAGE_WRITECOPY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<Section> section;
    if (file == INVALID_HANDLE_VALUE) {
        // A section of the paging file: anonymous memory with a descriptor, so views can start at any offset.
        if (size == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        int fd = memfd_create("section", MFD_CLOEXEC);
        if (fd < 0) {
            SetLastErrorFromErrno(errno);
            return nullptr;
        }
        if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
            SetLastError(ERROR_COMMITMENT_LIMIT);
            close(fd);
            return nullptr;
        }
        section = std::make_shared<Section>(nullptr, fd, size, writable);
    } else {
        auto f = Get<File>(file);
        if (!f)
            return nullptr;
        if (!f->CanRead() || (access == PAGE_READWRITE && !f->CanWrite())) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        struct stat st;
        if (fstat(f->fd(), &st) != 0) {
            SetLastErrorFromErrno(errno);
            return nullptr;
        }
        auto fileSize = static_cast<ULONGLONG>(st.st_size);
        if (size == 0) {
            if (fileSize == 0) { // an empty file cannot be mapped by its own size
                SetLastError(ERROR_FILE_INVALID);
                return nullptr;
            }
            size = fileSize;
        } else if (size > fileSize) {
            if (!f->CanWrite()) {
                SetLastError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
            if (int error = Grow(f->fd(), fileSize, size)) {
                SetLastError(error == ENOSPC || error == EFBIG ? ERROR_DISK_FULL : ErrorFromErrno(error));
                return nullptr;
            }
        }
        section = std::make_shared<Section>(f, f->fd(), size, writable);
    }
    HANDLE handle = AddHandle(std::move(section));
    if (handle)
        SetLastError(NO_ERROR);
    return handle;
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
    auto section = Get<Section>(mapping);
    if (!section)
        return nullptr;
    ULONGLONG offset = (static_cast<ULONGLONG>(offsetHigh) << 32) | offsetLow;
    if (offset % kGranularity != 0) {
        SetLastError(ERROR_MAPPED_ALIGNMENT);
        return nullptr;
    }
    if (offset > section->size() || (bytes == 0 && offset == section->size())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (bytes == 0)
        bytes = static_cast<SIZE_T>(section->size() - offset); // to the end of the section
    if (bytes > section->size() - offset) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    bool copy = (access & FILE_MAP_COPY) && !(access & FILE_MAP_WRITE);
    bool write = (access & FILE_MAP_WRITE) || copy;
    if ((access & FILE_MAP_WRITE) && !section->writable()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    int protection = PROT_READ | (write ? PROT_WRITE : 0);
    ULONGLONG spanStart = offset / kSpan * kSpan;
    ULONGLONG sectionEnd = (section->size() + kPageSize - 1) / kPageSize * kPageSize;
    ULONGLONG spanEnd = std::min((offset + bytes + kSpan - 1) / kSpan * kSpan, sectionEnd);
    auto spanLength = static_cast<size_t>(spanEnd - spanStart);
    void* span = mmap(nullptr, spanLength, protection, copy ? MAP_PRIVATE : MAP_SHARED, section->fd(),
                      static_cast<off_t>(spanStart));
    if (span == MAP_FAILED) {
        SetLastError(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ErrorFromErrno(errno));
        return nullptr;
    }
    char* view = static_cast<char*>(span) + (offset - spanStart);
    Views& views = TheViews();
    std::lock_guard guard(views.lock);
    views.byAddress.emplace(view, View{std::move(section), bytes, static_cast<char*>(span), spanLength});
    return view;
}

BOOL UnmapViewOfFile(LPCVOID address) {
    View view;
    {
        Views& views = TheViews();
        std::lock_guard guard(views.lock);
        auto it = views.byAddress.find(static_cast<const char*>(address));
        if (it == views.byAddress.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        view = std::move(it->second);
        views.byAddress.erase(it);
    }
    munmap(view.spanBase, view.spanLength);
    return TRUE; // the section (and its file) may die here with its last view
}

BOOL FlushViewOfFile(LPCVOID address, SIZE_T bytes) {
    const char* start = static_cast<const char*>(address);
    const char* base = nullptr;
    size_t length = 0;
    {
        Views& views = TheViews();
        std::lock_guard guard(views.lock);
        auto it = views.byAddress.upper_bound(start);
        if (it != views.byAddress.begin()) {
            --it;
            if (start < it->first + it->second.length) {
                base = it->first;
                length = it->second.length;
            }
        }
    }
    if (!base) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    // From the page that holds `address`; 0 bytes means to the end of the view.
    const char* page = base + ((start - base) / kPageSize) * kPageSize;
    size_t end = bytes == 0 ? length : std::min<size_t>(length, static_cast<size_t>(start - base) + bytes);
    if (msync(const_cast<char*>(page), end - static_cast<size_t>(page - base), MS_ASYNC) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}
