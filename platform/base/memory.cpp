// Global, local and heap memory. A handle is the block itself, allocated with calloc and freeable with free();
// the sizes asked for are kept in a side table, since the allocator's usable size is rounded up.
#include "platform/base/kernel.h"
#include "platform/base/lifetime.h"
#include "platform/base/readfile.h"
#include "platform/base/testing.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unistd.h>

namespace {

struct Blocks {
    std::mutex lock;
    std::unordered_map<const void*, SIZE_T> sizes;
};

Blocks& TheBlocks() {
    static auto* blocks = platform::KeepUntilUnload(new Blocks); // blocks may be freed from static destructors
    return *blocks;
}

std::atomic<SIZE_T> g_allocationCap{~SIZE_T(0)};
std::mutex g_memoryStatusLock;
std::optional<MEMORYSTATUSEX> g_memoryStatus;
std::atomic<bool> g_memoryStatusFails{false};

void* Allocate(SIZE_T bytes) {
    if (bytes > g_allocationCap.load()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // A zero-byte block is still a distinct, freeable handle.
    void* block = std::calloc(1, bytes ? bytes : 1);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Blocks& blocks = TheBlocks();
    std::lock_guard guard(blocks.lock);
    blocks.sizes[block] = bytes;
    return block;
}

// Forgets the block's size; answers false for a block we never handed out (or one already freed).
bool Forget(const void* block) {
    Blocks& blocks = TheBlocks();
    std::lock_guard guard(blocks.lock);
    return blocks.sizes.erase(block) != 0;
}

SIZE_T SizeOf(const void* block) {
    Blocks& blocks = TheBlocks();
    std::lock_guard guard(blocks.lock);
    auto it = blocks.sizes.find(block);
    return it == blocks.sizes.end() ? 0 : it->second;
}

void* Reallocate(void* block, SIZE_T bytes, bool zero) {
    if (!block)
        return Allocate(bytes);
    if (bytes > g_allocationCap.load()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    SIZE_T old = SizeOf(block);
    void* moved = std::realloc(block, bytes ? bytes : 1);
    if (!moved) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (zero && bytes > old)
        std::memset(static_cast<char*>(moved) + old, 0, bytes - old);
    Blocks& blocks = TheBlocks();
    std::lock_guard guard(blocks.lock);
    blocks.sizes.erase(block);
    blocks.sizes[moved] = bytes;
    return moved;
}

void Release(void* block) {
    // A block an application allocated itself may reach us too (it is a plain heap block either way).
    Forget(block);
    std::free(block);
}

// Values of /proc/meminfo in bytes, 0 when missing.
ULONGLONG MemInfo(const std::string& text, const char* key) {
    size_t at = text.find(key);
    if (at == std::string::npos)
        return 0;
    return std::strtoull(text.c_str() + at + std::strlen(key), nullptr, 10) * 1024;
}

} // namespace

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes) {
    return Allocate(bytes);
}
HGLOBAL GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags) {
    if (flags & GMEM_MODIFY)
        return memory;
    return Reallocate(memory, bytes, (flags & GMEM_ZEROINIT) != 0);
}
LPVOID GlobalLock(HGLOBAL memory) {
    if (!memory)
        SetLastError(ERROR_INVALID_HANDLE);
    return memory;
}
BOOL GlobalUnlock(HGLOBAL memory) {
    // Lock counts are not kept: FALSE with NO_ERROR means "no longer locked", which is what callers test for.
    SetLastError(memory ? NO_ERROR : ERROR_INVALID_HANDLE);
    return FALSE;
}
HGLOBAL GlobalFree(HGLOBAL memory) {
    if (memory)
        Release(memory);
    return nullptr;
}
SIZE_T GlobalSize(HGLOBAL memory) {
    if (!memory) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return SizeOf(memory);
}
HGLOBAL GlobalHandle(LPCVOID pointer) {
    return const_cast<LPVOID>(pointer);
}
UINT GlobalFlags(HGLOBAL) {
    return 0;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    return GlobalAlloc(flags, bytes);
}
HLOCAL LocalReAlloc(HLOCAL memory, SIZE_T bytes, UINT flags) {
    return GlobalReAlloc(memory, bytes, flags);
}
LPVOID LocalLock(HLOCAL memory) {
    return GlobalLock(memory);
}
BOOL LocalUnlock(HLOCAL memory) {
    return GlobalUnlock(memory);
}
HLOCAL LocalFree(HLOCAL memory) {
    return GlobalFree(memory);
}
SIZE_T LocalSize(HLOCAL memory) {
    return GlobalSize(memory);
}

HANDLE GetProcessHeap() {
    static int heap;
    return &heap;
}
LPVOID HeapAlloc(HANDLE, DWORD, SIZE_T bytes) {
    return Allocate(bytes);
}
LPVOID HeapReAlloc(HANDLE, DWORD flags, LPVOID memory, SIZE_T bytes) {
    return Reallocate(memory, bytes, (flags & HEAP_ZERO_MEMORY) != 0);
}
BOOL HeapFree(HANDLE, DWORD, LPVOID memory) {
    if (memory)
        Release(memory);
    return TRUE;
}
SIZE_T HeapSize(HANDLE, DWORD, LPCVOID memory) {
    return SizeOf(memory);
}

BOOL GlobalMemoryStatusEx(LPMEMORYSTATUSEX status) {
    if (!status || status->dwLength != sizeof(MEMORYSTATUSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (g_memoryStatusFails) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    {
        std::lock_guard guard(g_memoryStatusLock);
        if (g_memoryStatus) {
            *status = *g_memoryStatus;
            status->dwLength = sizeof(MEMORYSTATUSEX);
            return TRUE;
        }
    }
    std::string text;
    platform::file::ReadWholeFile("/proc/meminfo", text);
    ULONGLONG total = MemInfo(text, "MemTotal:");
    ULONGLONG available = MemInfo(text, "MemAvailable:");
    if (!total) {
        long pages = sysconf(_SC_PHYS_PAGES);
        long free = sysconf(_SC_AVPHYS_PAGES);
        long page = sysconf(_SC_PAGESIZE);
        total = static_cast<ULONGLONG>(pages) * static_cast<ULONGLONG>(page);
        available = static_cast<ULONGLONG>(free) * static_cast<ULONGLONG>(page);
    }
    ULONGLONG swapTotal = MemInfo(text, "SwapTotal:");
    ULONGLONG swapFree = MemInfo(text, "SwapFree:");
    status->ullTotalPhys = total;
    status->ullAvailPhys = available;
    status->dwMemoryLoad = total ? static_cast<DWORD>((total - available) * 100 / total) : 0;
    status->ullTotalPageFile = total + swapTotal;
    status->ullAvailPageFile = available + swapFree;
    // A 64-bit process has 128 TiB of user address space; what it has mapped (statm, in pages) is not available.
    status->ullTotalVirtual = 0x7FFFFFFE0000ULL;
    unsigned long long mappedPages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu", &mappedPages) != 1)
            mappedPages = 0;
        std::fclose(statm);
    }
    status->ullAvailVirtual = status->ullTotalVirtual - mappedPages * static_cast<ULONGLONG>(sysconf(_SC_PAGESIZE));
    status->ullAvailExtendedVirtual = 0;
    return TRUE;
}

namespace platform::testing {

void SetAllocationCap(std::optional<SIZE_T> bytes) {
    g_allocationCap = bytes ? *bytes : ~SIZE_T(0);
}

size_t LiveMemoryBlocks() {
    Blocks& blocks = TheBlocks();
    std::lock_guard guard(blocks.lock);
    return blocks.sizes.size();
}

void SetMemoryStatus(std::optional<MEMORYSTATUSEX> status) {
    std::lock_guard guard(g_memoryStatusLock);
    g_memoryStatus = status;
}

void SetMemoryStatusFails(bool fails) {
    g_memoryStatusFails = fails;
}

} // namespace platform::testing

LPVOID CoTaskMemAlloc(SIZE_T bytes) {
    return std::malloc(bytes ? bytes : 1);
}

void CoTaskMemFree(LPVOID memory) {
    std::free(memory);
}
