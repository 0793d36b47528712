// DOS paths on POSIX: drives, separators, relative paths, case-insensitive lookup and the known folders.
#include "kernel_fixture.h"

#include <algorithm>

#include <sys/stat.h>

namespace {

using platform::path::ToDosPath;
using platform::path::ToHostPath;

using PathTest = KernelTest;

TEST_F(PathTest, DriveCIsTheRootAndZIsTheFileSystem) {
    EXPECT_EQ(ToHostPath(u"C:\\Windows\\twain.ini"), m_root + "/Windows/twain.ini");
    EXPECT_EQ(ToHostPath(u"c:/Temp/a.tmp"), m_root + "/Temp/a.tmp") << "lower-case drive and forward slashes";
    EXPECT_EQ(ToHostPath(u"Z:\\usr\\lib"), "/usr/lib");
    EXPECT_EQ(ToHostPath(u"C:\\"), m_root);
    EXPECT_EQ(ToHostPath(u"C:\\Temp\\"), m_root + "/Temp") << "a folder's trailing backslash is dropped";
    EXPECT_EQ(ToHostPath(u"C:\\Windows\\..\\Temp\\.\\x"), m_root + "/Temp/x");
    EXPECT_EQ(ToHostPath(u"C:\\..\\..\\etc"), m_root + "/etc") << "\"..\" never climbs above the drive";
    EXPECT_EQ(ToHostPath(u"D:\\data"), "") << "other drives are not mapped";
    EXPECT_EQ(ToHostPath(u"\\\\server\\share\\f"), "");
}

TEST_F(PathTest, PosixPathsComeBackAsDosPaths) {
    EXPECT_EQ(ToDosPath(m_root + "/AppData/Tmpdata/temp.bin"), u"C:\\AppData\\Tmpdata\\temp.bin");
    EXPECT_EQ(ToDosPath(m_root), u"C:\\");
    EXPECT_EQ(ToDosPath("/usr/lib/libx.so"), u"Z:\\usr\\lib\\libx.so");
    EXPECT_EQ(ToDosPath("/"), u"Z:\\");
    EXPECT_EQ(ToDosPath(m_root + "/a/../b//c"), u"C:\\b\\c");
}

TEST_F(PathTest, SiblingOfTheRootIsNotUnderIt) {
    // "<root>x" shares the root's spelling as a prefix but lies outside it.
    std::u16string dos = ToDosPath(m_root + "x/file");
    EXPECT_EQ(dos.substr(0, 3), u"Z:\\");
}

TEST_F(PathTest, ExistingNamesAreFoundWhateverTheirCase) {
    Put("Windows/Scanner.INI");
    EXPECT_EQ(ToHostPath(u"C:\\WINDOWS\\scanner.ini"), m_root + "/Windows/Scanner.INI");
    // Past the first missing component the rest is kept as written, ready to be created.
    EXPECT_EQ(ToHostPath(u"C:\\windows\\New\\Sub.dat"), m_root + "/Windows/New/Sub.dat");
    // An exact match wins over a case variant.
    Put("windows/scanner.ini");
    EXPECT_EQ(ToHostPath(u"C:\\windows\\scanner.ini"), m_root + "/windows/scanner.ini");
}

TEST_F(PathTest, TrailingDotsAndBlanksAreDroppedAsOnWindows) {
    EXPECT_EQ(ToHostPath(u"C:\\Temp.\\name. "), m_root + "/Temp/name");
}

TEST_F(PathTest, RelativePathsFollowTheCurrentDirectory) {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Work", nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Work"));
    WCHAR current[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryW(MAX_PATH, current), 7u);
    EXPECT_EQ(std::u16string(current), u"C:\\Work");
    EXPECT_EQ(ToHostPath(u"sub\\f.txt"), m_root + "/Work/sub/f.txt");
    EXPECT_EQ(ToHostPath(u"..\\f.txt"), m_root + "/f.txt");
    EXPECT_EQ(ToHostPath(u"\\f.txt"), m_root + "/f.txt") << "a leading backslash is the current drive's root";
    EXPECT_EQ(ToHostPath(u"/tmp/image.bmp"), "/tmp/image.bmp") << "a POSIX program's path stays a POSIX path";
    WCHAR full[MAX_PATH];
    LPWSTR name = nullptr;
    EXPECT_EQ(GetFullPathNameW(u"a\\..\\b.txt", MAX_PATH, full, &name), 13u);
    EXPECT_EQ(std::u16string(full), u"C:\\Work\\b.txt");
    EXPECT_EQ(std::u16string(name), u"b.txt");
    EXPECT_FALSE(SetCurrentDirectoryW(u"C:\\Missing"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(PathTest, KnownFoldersLieUnderTheRootAndAreCreated) {
    WCHAR buf[MAX_PATH];
    EXPECT_EQ(GetTempPathW(MAX_PATH, buf), 8u);
    EXPECT_EQ(std::u16string(buf), u"C:\\Temp\\") << "the temporary folder ends with a backslash";
    EXPECT_TRUE(Exists("Temp"));
    EXPECT_EQ(GetWindowsDirectoryW(buf, MAX_PATH), 10u);
    EXPECT_EQ(std::u16string(buf), u"C:\\Windows");
    EXPECT_TRUE(Exists("Windows"));
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, buf), S_OK);
    EXPECT_EQ(std::u16string(buf), u"C:\\AppData");
    EXPECT_TRUE(Exists("AppData"));
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, buf, CSIDL_MYPICTURES, TRUE));
    EXPECT_TRUE(Exists("Pictures"));

    EXPECT_EQ(GetTempPathW(3, buf), 9u) << "a short buffer gets the size needed, terminator included";

    platform::testing::SetKnownFoldersFail(true);
    EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, buf, CSIDL_APPDATA, TRUE));
    EXPECT_TRUE(FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buf)));
    platform::testing::SetKnownFoldersFail(false);
}

TEST_F(PathTest, ABackslashIsAddedOnlyWhenMissingAndOnlyWhenItFits) {
    WCHAR path[MAX_PATH] = u"C:\\Pictures";
    EXPECT_EQ(PathAddBackslashW(path), path + 12);
    EXPECT_EQ(std::u16string(path), u"C:\\Pictures\\");
    EXPECT_EQ(PathAddBackslashW(path), path + 12) << "a second call adds nothing";
    WCHAR empty[MAX_PATH] = u"";
    EXPECT_EQ(PathAddBackslashW(empty), empty);
    EXPECT_EQ(empty[0], 0) << "an empty path stays empty";

    WCHAR full[MAX_PATH];
    std::fill_n(full, MAX_PATH - 1, u'a');
    full[MAX_PATH - 1] = 0;
    EXPECT_EQ(PathAddBackslashW(full), nullptr) << "259 characters leave no room";
    EXPECT_EQ(full[MAX_PATH - 2], u'a');
    full[MAX_PATH - 2] = 0;
    EXPECT_EQ(PathAddBackslashW(full), full + MAX_PATH - 1) << "258 do";
    EXPECT_EQ(full[MAX_PATH - 2], u'\\');
}

TEST_F(PathTest, WildcardsMatchLikeWindows) {
    using platform::path::MatchesWildcard;
    EXPECT_TRUE(MatchesWildcard(u"*.*", u"README")) << "*.* also takes names without a dot";
    EXPECT_TRUE(MatchesWildcard(u"*.*", u"a.b.c"));
    EXPECT_TRUE(MatchesWildcard(u"*.TXT", u"notes.txt"));
    EXPECT_FALSE(MatchesWildcard(u"*.txt", u"notes.txt.bak"));
    EXPECT_TRUE(MatchesWildcard(u"Scan*.*", u"scan 4.pdf"));
    EXPECT_TRUE(MatchesWildcard(u"Scan*.*", u"Scan"));
    EXPECT_TRUE(MatchesWildcard(u"Kor????.tmp", u"KorA1B2.tmp"));
    EXPECT_FALSE(MatchesWildcard(u"Kor????.tmp", u"KorA1B.tmp"));
    EXPECT_TRUE(MatchesWildcard(u"*.", u"README"));
    EXPECT_FALSE(MatchesWildcard(u"*.", u"a.txt"));
}

} // namespace
