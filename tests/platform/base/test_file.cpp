// Files: dispositions and their errors, sharing, copies and moves, folders, searches, temporary names, free space,
// _wfopen, FormatMessage and the per-thread last error.
#include "kernel_fixture.h"

#include <set>
#include <thread>

namespace {

using FileTest = KernelTest;

std::set<std::u16string> FindAll(LPCWSTR pattern) {
    std::set<std::u16string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(data.cFileName);
    while (FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    FindClose(find);
    return names;
}

TEST_F(FileTest, DispositionsReportWhatHappenedToTheFile) {
    HANDLE h = CreateFileW(u"C:\\a.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(CreateFileW(u"C:\\a.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    h = CreateFileW(u"C:\\a.bin", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "OPEN_ALWAYS tells an existing file";
    CloseHandle(h);
    h = CreateFileW(u"C:\\b.bin", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    CloseHandle(h);

    EXPECT_EQ(CreateFileW(u"C:\\none.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFileW(u"C:\\no\\such.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CreateFileW(u"Q:\\x.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CreateFileW(u"C:\\", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "a folder is not a file";
}

TEST_F(FileTest, ReadWriteSeekAndTruncate) {
    HANDLE h = CreateFileW(u"C:\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(GetFileSize(h, nullptr), 10u);
    EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(h, buf, 3, &done, nullptr));
    EXPECT_EQ(std::string(buf, done), "234");
    EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_END), 8u);
    ASSERT_TRUE(ReadFile(h, buf, 16, &done, nullptr));
    EXPECT_EQ(done, 2u) << "a read at the end answers what is left";
    ASSERT_TRUE(ReadFile(h, buf, 16, &done, nullptr));
    EXPECT_EQ(done, 0u) << "end of file is success with no bytes";
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_BEGIN), 0u) << "the high part moves by 4 GiB";
    EXPECT_EQ(high, 1);
    SetFilePointer(h, 4, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 4);
    EXPECT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ(Read("data.bin"), "0123");

    h = CreateFileW(u"C:\\data.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "writing through a read-only handle";
    CloseHandle(h);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(h, buf, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FileTest, SharingModesAreEnforcedInTheProcess) {
    HANDLE h = CreateFileW(u"C:\\locked.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileW(u"C:\\locked.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(u"C:\\locked.bin"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
    EXPECT_TRUE(DeleteFileW(u"C:\\locked.bin"));

    h = CreateFileW(u"C:\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, 0,
                    nullptr);
    HANDLE second = CreateFileW(u"C:\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(second, INVALID_HANDLE_VALUE) << "two readers that share reading";
    EXPECT_TRUE(DeleteFileW(u"C:\\shared.bin")) << "FILE_SHARE_DELETE lets a delete through";
    CloseHandle(second);
    CloseHandle(h);
}

TEST_F(FileTest, DeleteCopyAndMove) {
    Put("src.txt", "source");
    Put("dst.txt", "old");
    EXPECT_FALSE(CopyFileW(u"C:\\src.txt", u"C:\\dst.txt", TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(Read("dst.txt"), "old");
    EXPECT_TRUE(CopyFileW(u"C:\\SRC.TXT", u"C:\\dst.txt", FALSE));
    EXPECT_EQ(Read("dst.txt"), "source");
    EXPECT_FALSE(CopyFileW(u"C:\\none.txt", u"C:\\x.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_FALSE(MoveFileExW(u"C:\\src.txt", u"C:\\dst.txt", 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    Put("src.txt", "newer");
    EXPECT_TRUE(MoveFileExW(u"C:\\src.txt", u"C:\\dst.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Read("dst.txt"), "newer");
    EXPECT_FALSE(Exists("src.txt"));

    EXPECT_TRUE(DeleteFileW(u"C:\\DST.txt"));
    EXPECT_FALSE(DeleteFileW(u"C:\\dst.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileTest, FoldersAndAttributes) {
    EXPECT_TRUE(CreateDirectoryW(u"C:\\Scans", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"C:\\scans", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(u"C:\\a\\b", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    Put("Scans/page.jpg");
    EXPECT_EQ(GetFileAttributesW(u"C:\\Scans") & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"C:\\Scans\\page.jpg") & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(GetFileAttributesW(u"C:\\Scans\\none.jpg"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\Scans"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(DeleteFileW(u"C:\\Scans")) << "DeleteFile does not remove folders";
    EXPECT_TRUE(DeleteFileW(u"C:\\Scans\\page.jpg"));
    EXPECT_TRUE(RemoveDirectoryW(u"C:\\Scans"));
}

TEST_F(FileTest, ReadOnlyFilesAndFoldersRefuseChangesEvenToRoot) {
    Put("Locked/old.txt", "keep");
    Put("ro.txt", "keep");
    std::filesystem::permissions(m_root + "/ro.txt", std::filesystem::perms::owner_read);
    EXPECT_EQ(CreateFileW(u"C:\\ro.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(GetFileAttributesW(u"C:\\ro.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileW(u"C:\\ro.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(SetFileAttributesW(u"C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(u"C:\\ro.txt"));

    std::filesystem::permissions(m_root + "/Locked",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(CreateFileW(u"C:\\Locked\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    WCHAR name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameW(u"C:\\Locked", u"Kor", 0, name), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileW(u"C:\\Locked\\old.txt"));
    EXPECT_EQ(_wfopen(u"C:\\Locked\\new.txt", u"wb"), nullptr);
    HANDLE reading =
        CreateFileW(u"C:\\Locked\\old.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reading, INVALID_HANDLE_VALUE) << "reading is still allowed";
    CloseHandle(reading);
}

TEST_F(FileTest, FindFirstFileMatchesCaseInsensitivelyLikeWindows) {
    Put("Out/a.txt");
    Put("Out/B.TXT");
    Put("Out/README");
    Put("Out/2024-03-05_007.jpg");
    Put("Out/Sub/inner.txt");
    EXPECT_EQ(FindAll(u"C:\\Out\\*.txt"), (std::set<std::u16string>{u"a.txt", u"B.TXT"}));
    EXPECT_EQ(FindAll(u"C:\\out\\*.*"),
              (std::set<std::u16string>{u".", u"..", u"a.txt", u"B.TXT", u"README", u"2024-03-05_007.jpg", u"Sub"}));
    EXPECT_EQ(FindAll(u"C:\\Out\\2024-03-05_*.*"), (std::set<std::u16string>{u"2024-03-05_007.jpg"}));
    EXPECT_EQ(FindAll(u"C:\\*"), (std::set<std::u16string>{u"Out"})) << "a drive's root has no \".\" or \"..\"";
    EXPECT_EQ(FindAll(u"c:/OUT/b.txt"), (std::set<std::u16string>{u"B.TXT"})) << "a plain name is looked up too";

    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"C:\\Out\\Sub", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(find);
    find = FindFirstFileW(u"C:\\Out\\README", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 1u);
    FindClose(find);

    EXPECT_EQ(FindFirstFileW(u"C:\\Out\\*.pdf", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileW(u"C:\\Missing\\*.*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileTest, GetTempFileNameCreatesAUniqueFile) {
    WCHAR folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    WCHAR first[MAX_PATH];
    WCHAR second[MAX_PATH];
    UINT n = GetTempFileNameW(folder, u"Korvel", 0, first);
    ASSERT_NE(n, 0u);
    ASSERT_NE(GetTempFileNameW(folder, u"Kor", 0, second), 0u);
    std::u16string name(first);
    EXPECT_EQ(name.substr(0, 11), u"C:\\Temp\\Kor") << "the prefix keeps at most three characters";
    EXPECT_EQ(name.substr(name.size() - 4), u".tmp");
    WCHAR hex[16];
    swprintf(hex, 16, u"%X.tmp", n);
    EXPECT_EQ(name.substr(11), std::u16string(hex)) << "the name holds the number in upper-case hex";
    EXPECT_NE(name, std::u16string(second));
    EXPECT_NE(GetFileAttributesW(first), INVALID_FILE_ATTRIBUTES) << "the file is created";
    EXPECT_NE(GetFileAttributesW(second), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FindAll(u"C:\\Temp\\Kor*.tmp").size(), 2u);

    EXPECT_EQ(GetTempFileNameW(u"C:\\Temp", u"Jpg", 0x1A2B, first), 0x1A2Bu);
    EXPECT_EQ(std::u16string(first), u"C:\\Temp\\Jpg1A2B.tmp");
    EXPECT_EQ(GetFileAttributesW(first), INVALID_FILE_ATTRIBUTES) << "a given number creates nothing";

    EXPECT_EQ(GetTempFileNameW(u"C:\\NoFolder", u"Kor", 0, first), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
}

TEST_F(FileTest, FreeDiskSpaceIsRealOrInjected) {
    ULARGE_INTEGER toCaller, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"C:\\", &toCaller, &total, &totalFree));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(totalFree.QuadPart, total.QuadPart);
    platform::testing::SetDiskFreeSpace(12345678ULL);
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\Windows", &toCaller, &total, &totalFree));
    EXPECT_EQ(totalFree.QuadPart, 12345678u);
    DWORD sectors, bytes, freeClusters, clusters;
    ASSERT_TRUE(GetDiskFreeSpaceW(u"C:\\", &sectors, &bytes, &freeClusters, &clusters));
    EXPECT_EQ(static_cast<ULONGLONG>(sectors) * bytes * freeClusters, 12345678ULL / 4096 * 4096);
    platform::testing::SetDiskFreeSpace(std::nullopt);
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"C:\\Missing\\", &toCaller, &total, &totalFree));
}

TEST_F(FileTest, WfopenTakesDosPathsAndWindowsModes) {
    FILE* f = _wfopen(u"C:\\Out.txt", u"wt, ccs=UTF-8");
    ASSERT_NE(f, nullptr);
    std::fputs("hello", f);
    std::fclose(f);
    f = _wfopen(u"c:\\OUT.TXT", u"rb");
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, f), 5u);
    std::fclose(f);
    EXPECT_EQ(_wfopen(u"C:\\none.txt", u"rb"), nullptr);
}

TEST_F(FileTest, TruncatingDispositionsAndDeleteOnClose) {
    Put("t.bin", "0123456789");
    HANDLE h = CreateFileW(u"C:\\t.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "CREATE_ALWAYS tells it replaced a file";
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    CloseHandle(h);
    Put("t.bin", "0123456789");
    h = CreateFileW(u"C:\\t.bin", GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    CloseHandle(h);
    EXPECT_EQ(CreateFileW(u"C:\\none.bin", GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    h = CreateFileW(u"C:\\scratch.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Exists("scratch.bin"));
    CloseHandle(h);
    EXPECT_FALSE(Exists("scratch.bin"));
}

TEST_F(FileTest, MovesAcrossFoldersAndCopiesOntoItself) {
    Put("a/page1.jpg", "jpeg");
    ASSERT_TRUE(CreateDirectoryW(u"C:\\b", nullptr));
    EXPECT_TRUE(MoveFileW(u"C:\\a\\page1.jpg", u"C:\\b\\page1.jpg"));
    EXPECT_EQ(Read("b/page1.jpg"), "jpeg");
    EXPECT_TRUE(MoveFileW(u"C:\\a", u"C:\\c")) << "folders move too";
    EXPECT_FALSE(CopyFileW(u"C:\\b\\page1.jpg", u"C:\\B\\PAGE1.JPG", FALSE));
    EXPECT_EQ(Read("b/page1.jpg"), "jpeg") << "copying a file onto itself leaves it intact";
    EXPECT_TRUE(CopyFileW(u"C:\\b\\page1.jpg", u"C:\\c\\copy.jpg", TRUE));
    EXPECT_EQ(Read("c/copy.jpg"), "jpeg");
}

TEST_F(FileTest, TemporaryNamesStayUniqueAcrossThreads) {
    WCHAR folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    constexpr size_t kThreads = 8;
    constexpr size_t kEach = 25;
    std::vector<std::u16string> names(kThreads * kEach);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (size_t i = 0; i < kEach; ++i) {
                WCHAR name[MAX_PATH] = {};
                if (GetTempFileNameW(u"C:\\Temp\\", u"Jpg", 0, name))
                    names[t * kEach + i] = name;
            }
        });
    for (auto& t : threads)
        t.join();
    std::set<std::u16string> unique;
    for (const auto& name : names)
        if (!name.empty())
            unique.insert(name);
    EXPECT_EQ(unique.size(), FindAll(u"C:\\Temp\\Jpg*.tmp").size()) << "every name is a file of its own";
    EXPECT_EQ(unique.size(), names.size()) << "no call failed and no name came twice";
}

TEST_F(FileTest, OpenFileTestsOrCreatesTheTransferFile) {
    OFSTRUCT info;
    EXPECT_EQ(OpenFile("C:\\Scans\\page.bmp", &info, OF_EXIST), HFILE_ERROR);
    EXPECT_EQ(info.nErrCode, ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Scans", nullptr));
    EXPECT_EQ(OpenFile("C:\\Scans\\page.bmp", &info, OF_EXIST), HFILE_ERROR);
    HFILE created = OpenFile("C:\\Scans\\page.bmp", &info, OF_CREATE);
    ASSERT_NE(created, HFILE_ERROR);
    EXPECT_STREQ(info.szPathName, "C:\\Scans\\page.bmp");
    EXPECT_EQ(_lclose(created), 0);
    EXPECT_TRUE(Exists("Scans/page.bmp"));
    EXPECT_NE(OpenFile("c:/scans/PAGE.BMP", &info, OF_EXIST), HFILE_ERROR);
    EXPECT_EQ(_lclose(created), HFILE_ERROR) << "closed already";
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_DISK_FULL);
    DWORD seen = 1234;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    }).join();
    EXPECT_EQ(seen, static_cast<DWORD>(ERROR_SUCCESS)) << "a new thread starts with no error";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
}

TEST(SystemMessage, TextsComeInAnAllocatedBuffer) {
    LPWSTR text = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        ERROR_FILE_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"The system cannot find the file specified.\r\n");
    EXPECT_EQ(n, wcslen(text));
    EXPECT_EQ(LocalFree(text), nullptr);

    WCHAR small[8];
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, small, 8, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 0xDEAD, 0,
                             reinterpret_cast<LPWSTR>(&text), 0, nullptr),
              0u)
        << "an unknown code has no text";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

} // namespace
