// File mappings as the image buffer uses them, and global memory handles.
#include "kernel_fixture.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class MappingTest : public KernelTest {
protected:
    // The image buffer's road: a temporary file, opened unshared, a section of `size`, the file handle closed.
    HANDLE CreateSection(DWORD size, std::u16string& path) {
        WCHAR folder[MAX_PATH];
        WCHAR name[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        EXPECT_NE(GetTempFileNameW(folder, u"Kor", 0, name), 0u);
        path = name;
        HANDLE file =
            CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        HANDLE section = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, size, nullptr);
        CloseHandle(file);
        return section;
    }
};

TEST_F(MappingTest, TheSectionGrowsItsFileAndOutlivesTheFileHandle) {
    std::u16string path;
    HANDLE section = CreateSection(300000, path);
    ASSERT_NE(section, nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_EQ(data.nFileSizeLow, 300000u);

    BYTE* view = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 300000));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[299999], 0) << "the grown part reads as zeros";
    std::memset(view + 0x20000, 0xAB, 16);
    EXPECT_TRUE(FlushViewOfFile(view + 0x20000, 16));
    EXPECT_TRUE(UnmapViewOfFile(view));

    // A second view at a granularity boundary sees what the first one wrote.
    BYTE* second = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0x20000, 16));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second[0], 0xAB);
    EXPECT_EQ(second[15], 0xAB);
    EXPECT_TRUE(UnmapViewOfFile(second));
    EXPECT_FALSE(UnmapViewOfFile(second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    CloseHandle(section);
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(MappingTest, ViewsStartAtMultiplesOfTheAllocationGranularity) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    ASSERT_EQ(info.dwAllocationGranularity, 65536u);
    std::u16string path;
    HANDLE section = CreateSection(200000, path);
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(MapViewOfFile(section, FILE_MAP_READ, 0, 4096, 100), nullptr) << "a page-aligned offset is not enough";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MAPPED_ALIGNMENT));

    // The image buffer rounds the offset down and points into the view.
    DWORD offset = 150000;
    DWORD base = offset / info.dwAllocationGranularity * info.dwAllocationGranularity;
    void* view = MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, base, offset - base + 50000);
    ASSERT_NE(view, nullptr) << "a window that ends exactly at the end of the section";
    static_cast<BYTE*>(view)[offset - base + 49999] = 7;
    UnmapViewOfFile(view);
    EXPECT_EQ(MapViewOfFile(section, FILE_MAP_READ, 0, base, offset - base + 50001), nullptr)
        << "one byte beyond the section is refused";
    EXPECT_EQ(MapViewOfFile(section, FILE_MAP_READ, 0, 0x40000, 0), nullptr) << "an offset past the end";
    CloseHandle(section);
    DeleteFileW(path.c_str());
}

TEST_F(MappingTest, EveryViewShowsTheBytesAtItsOwnFileOffset) {
    // A file whose every 4-byte word holds its own offset, over several 2 MiB spans.
    const DWORD size = 5 << 20;
    std::vector<DWORD> words(size / 4);
    for (DWORD i = 0; i < words.size(); ++i)
        words[i] = i * 4;
    HANDLE file = CreateFileW(u"C:\\words.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, words.data(), size, &written, nullptr));
    HANDLE section = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    CloseHandle(file);
    ASSERT_NE(section, nullptr);
    for (DWORD offset : {0x0u, 0x10000u, 0x1F0000u, 0x200000u, 0x210000u, 0x4F0000u}) {
        DWORD length = std::min<DWORD>(0x40000, size - offset);
        auto* view = static_cast<DWORD*>(MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, offset, length));
        ASSERT_NE(view, nullptr) << "offset " << offset;
        EXPECT_EQ(view[0], offset);
        EXPECT_EQ(view[length / 4 - 1], offset + length - 4) << "the last word of the view";
        view[1] = 0xFFFFFFFF;
        EXPECT_TRUE(UnmapViewOfFile(view));
    }
    auto* whole = static_cast<DWORD*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole[0x210000 / 4 + 1], 0xFFFFFFFFu) << "writes through a view reach the file";
    EXPECT_EQ(whole[0x210000 / 4 + 2], 0x210008u);
    UnmapViewOfFile(whole);
    CloseHandle(section);
}

TEST_F(MappingTest, TheFileStaysInUseUntilTheLastViewIsReleased) {
    std::u16string path;
    HANDLE section = CreateSection(65536 * 2, path);
    ASSERT_NE(section, nullptr);
    void* view = MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 65536, 65536);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(DeleteFileW(path.c_str())) << "a file with an open section cannot be deleted";
    CloseHandle(section);
    static_cast<BYTE*>(view)[0] = 1; // the view keeps the section alive
    EXPECT_FALSE(DeleteFileW(path.c_str())) << "nor while one of its views is mapped";
    UnmapViewOfFile(view);
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(MappingTest, ExistingFilesAreReusedAndReadOnlyHandlesCannotGrowThem) {
    Put("Temp/given.bin", "abc");
    HANDLE file =
        CreateFileW(u"C:\\Temp\\given.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    HANDLE section = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 100, nullptr);
    CloseHandle(file);
    ASSERT_NE(section, nullptr);
    auto* view = static_cast<char*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 100));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 3), "abc") << "OPEN_ALWAYS keeps what the file held";
    UnmapViewOfFile(view);
    CloseHandle(section);

    file = CreateFileW(u"C:\\Temp\\given.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 200, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(file);
}

TEST_F(MappingTest, PagingFileSectionsNeedNoFile) {
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 3 * 65536, nullptr);
    ASSERT_NE(section, nullptr);
    auto* a = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 65536, 10));
    auto* b = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    a[3] = 42;
    EXPECT_EQ(b[65536 + 3], 42) << "two views of one section share their bytes";
    UnmapViewOfFile(a);
    UnmapViewOfFile(b);
    CloseHandle(section);
}

TEST_F(MappingTest, AccessIsCheckedAndCopyViewsKeepTheFile) {
    Put("Temp/fixed.bin", std::string(70000, 'a'));
    HANDLE file =
        CreateFileW(u"C:\\Temp\\fixed.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE section = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    ASSERT_NE(section, nullptr) << "size 0 maps the whole file";
    EXPECT_EQ(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 10), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "no writing through a read-only section";
    auto* copy = static_cast<char*>(MapViewOfFile(section, FILE_MAP_COPY, 0, 0, 70000));
    ASSERT_NE(copy, nullptr);
    copy[0] = 'z';
    UnmapViewOfFile(copy);
    CloseHandle(section);
    EXPECT_EQ(Read("Temp/fixed.bin")[0], 'a') << "a copy-on-write view never reaches the file";

    Put("Temp/empty.bin", "");
    file = CreateFileW(u"C:\\Temp\\empty.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID)) << "an empty file has no size to map";
    CloseHandle(file);
}

TEST(GlobalMemory, HandlesArePlainZeroedBlocksThatFreeReleases) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1001);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), h) << "locking gives the block itself";
    EXPECT_EQ(GlobalSize(h), 1001u) << "the size asked for, not the allocator's rounded size";
    EXPECT_EQ(GlobalHandle(h), h);
    auto* bytes = static_cast<BYTE*>(GlobalLock(h));
    for (int i = 0; i < 1001; ++i)
        ASSERT_EQ(bytes[i], 0);
    GlobalUnlock(h);
    std::free(h); // what an application does with a native transfer's handle

    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 10);
    std::memset(fixed, 0x55, 10);
    fixed = GlobalReAlloc(fixed, 5000, GMEM_MOVEABLE | GMEM_ZEROINIT);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(GlobalSize(fixed), 5000u);
    EXPECT_EQ(static_cast<BYTE*>(fixed)[9], 0x55);
    EXPECT_EQ(static_cast<BYTE*>(fixed)[4999], 0) << "GMEM_ZEROINIT zeroes the grown part";
    EXPECT_EQ(GlobalFree(fixed), nullptr);
}

TEST(GlobalMemory, TheAllocationCapMakesLargeBlocksFail) {
    platform::testing::SetAllocationCap(1 << 20);
    SetLastError(0);
    EXPECT_EQ(GlobalAlloc(GHND, (1 << 20) + 1), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    HGLOBAL small = GlobalAlloc(GHND, 1 << 20);
    EXPECT_NE(small, nullptr);
    GlobalFree(small);
    platform::testing::SetAllocationCap(std::nullopt);
    HGLOBAL big = GlobalAlloc(GHND, 64 << 20);
    EXPECT_NE(big, nullptr);
    GlobalFree(big);
}

TEST(GlobalMemory, AFailedReAllocLeavesTheBlockAsItWas) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
    std::memcpy(block, "kept", 5);
    platform::testing::SetAllocationCap(1024);
    EXPECT_EQ(GlobalReAlloc(block, 4096, GMEM_MOVEABLE), nullptr);
    platform::testing::SetAllocationCap(std::nullopt);
    EXPECT_STREQ(static_cast<const char*>(block), "kept");
    EXPECT_EQ(GlobalSize(block), 16u);
    GlobalFree(block);

    void* local = LocalAlloc(LPTR, 40);
    EXPECT_EQ(LocalSize(local), 40u);
    EXPECT_EQ(LocalFree(local), nullptr);
    auto* heap = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 32));
    EXPECT_EQ(heap[31], 0);
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, heap));
}

TEST(GlobalMemory, MemoryStatusIsRealOrInjected) {
    MEMORYSTATUSEX status{};
    EXPECT_FALSE(GlobalMemoryStatusEx(&status)) << "dwLength must be set";
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    EXPECT_GT(status.ullTotalPhys, 0u);
    EXPECT_LE(status.ullAvailPhys, status.ullTotalPhys);
    EXPECT_LE(status.dwMemoryLoad, 100u);

    MEMORYSTATUSEX fixed{};
    fixed.ullAvailPhys = 123ULL << 20;
    fixed.dwMemoryLoad = 97;
    platform::testing::SetMemoryStatus(fixed);
    MEMORYSTATUSEX seen{};
    seen.dwLength = sizeof seen;
    ASSERT_TRUE(GlobalMemoryStatusEx(&seen));
    EXPECT_EQ(seen.ullAvailPhys, 123ULL << 20);
    EXPECT_EQ(seen.dwMemoryLoad, 97u);
    platform::testing::SetMemoryStatus(std::nullopt);
}

} // namespace
