// INI files: the Windows rules the system's readers rely on (case, blanks, quotes, defaults, truncation, encodings).
#include "platform/base/testing.h"
#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        root_ =
            std::filesystem::temp_directory_path() / ("profile_" + std::to_string(getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "Windows");
        platform::testing::SetRoot(root_.string());
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    // Writes C:\Windows\<name> with the given raw bytes.
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(root_ / "Windows" / name, std::ios::binary) << bytes;
    }

    std::string Read(const WCHAR* section, const WCHAR* key, const WCHAR* def = u"", DWORD size = 260,
                     const WCHAR* file = u"C:\\Windows\\Scanner.ini", DWORD* result = nullptr) {
        WCHAR buffer[260];
        const DWORD n = GetPrivateProfileStringW(section, key, def, buffer, size, file);
        if (result)
            *result = n;
        return platform::ToUtf8(buffer);
    }

    std::filesystem::path root_;
};

TEST_F(Profile, SectionAndKeyCompareWithoutCaseAndValuesKeepTheirCase) {
    Write("Scanner.ini", "[TWAIN]\r\nFile Prefix=kvx7731\r\nHasADF(kvx7731)=false\r\n");
    EXPECT_EQ(Read(u"twain", u"FILE PREFIX"), "kvx7731");
    EXPECT_EQ(Read(u"TWAIN", u"hasadf(KVX7731)"), "false") << "the value itself is not changed";
}

TEST_F(Profile, BlanksAroundNamesAndValuesAndOneQuotePairAreRemoved) {
    Write("Scanner.ini", "  [ TWAIN ]  \n"
                         "  Spaced  =  \t two words \t \n"
                         "Double=\"  quoted  \"\n"
                         "Single='single'\n"
                         "Mixed=\"mixed'\n"
                         "Inner=a \"b\" c\n"
                         "Empty=\n"
                         "Semicolon=value ; not a comment\n");
    EXPECT_EQ(Read(u"TWAIN", u"Spaced"), "two words");
    EXPECT_EQ(Read(u"TWAIN", u"Double"), "  quoted  ");
    EXPECT_EQ(Read(u"TWAIN", u"Single"), "single");
    EXPECT_EQ(Read(u"TWAIN", u"Mixed"), "\"mixed'");
    EXPECT_EQ(Read(u"TWAIN", u"Inner"), "a \"b\" c");
    EXPECT_EQ(Read(u"TWAIN", u"Empty", u"default"), "") << "a present empty value is not the default";
    EXPECT_EQ(Read(u"TWAIN", u"Semicolon"), "value ; not a comment");
}

TEST_F(Profile, CommentLinesAndOtherSectionsAreSkipped) {
    Write("Scanner.ini", "; File Prefix=comment\n[Other]\nFile Prefix=other\n[TWAIN]\n;File Prefix=no\n"
                         "File Prefix=yes\nFile Prefix=second\n");
    EXPECT_EQ(Read(u"TWAIN", u"File Prefix"), "yes") << "the first key of the section wins";
    EXPECT_EQ(Read(u"Other", u"File Prefix"), "other");
}

TEST_F(Profile, MissingFileSectionOrKeyGivesTheDefaultWithoutTrailingBlanks) {
    DWORD n = 0;
    EXPECT_EQ(Read(u"TWAIN", u"File Prefix", u"def  ", 260, u"C:\\Windows\\Missing.ini", &n), "def");
    EXPECT_EQ(n, 3u);
    Write("Scanner.ini", "[TWAIN]\nVersion=1.0\n");
    EXPECT_EQ(Read(u"Nowhere", u"Version", u"  lead"), "  lead") << "leading blanks of a default stay";
    EXPECT_EQ(Read(u"TWAIN", u"Missing", nullptr, 260, u"C:\\Windows\\Scanner.ini", &n), "");
    EXPECT_EQ(n, 0u);
}

TEST_F(Profile, LongValuesAreCutToTheBufferAndAnswerSizeMinusOne) {
    Write("Scanner.ini", "[TWAIN]\nKey=abcdef\n");
    DWORD n = 0;
    EXPECT_EQ(Read(u"TWAIN", u"Key", u"", 4, u"C:\\Windows\\Scanner.ini", &n), "abc");
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(Read(u"TWAIN", u"Key", u"", 7, u"C:\\Windows\\Scanner.ini", &n), "abcdef");
    EXPECT_EQ(n, 6u) << "an exact fit is not a truncation";
    EXPECT_EQ(Read(u"TWAIN", u"Key", u"", 1, u"C:\\Windows\\Scanner.ini", &n), "");
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(Read(u"TWAIN", u"Missing", u"longdefault", 5, u"C:\\Windows\\Scanner.ini", &n), "long");
    EXPECT_EQ(n, 4u) << "a default is cut the same way";

    WCHAR untouched[2] = {u'x', u'y'};
    EXPECT_EQ(GetPrivateProfileStringW(u"TWAIN", u"Key", u"", untouched, 0, u"C:\\Windows\\Scanner.ini"), 0u);
    EXPECT_EQ(untouched[0], u'x') << "a zero-size buffer is not written";
}

TEST_F(Profile, Utf16FilesWithAByteOrderMarkAreRead) {
    const std::u16string text = u"[English]\r\nCopyright=\u00A9 K\u00F6rvel \u05D0\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    Write("Scanner.ini", bytes);
    EXPECT_EQ(Read(u"english", u"copyright"), "\u00A9 K\u00F6rvel \u05D0");
}

TEST_F(Profile, EightBitFilesAreUtf8WithOrWithoutAByteOrderMark) {
    Write("Scanner.ini", "\xEF\xBB\xBF[TWAIN]\nManufacturer=K\xC3\xB6rvel\n");
    EXPECT_EQ(Read(u"TWAIN", u"Manufacturer"), "K\u00F6rvel") << "the byte-order mark is not part of the section";
    Write("Scanner.ini", "[TWAIN]\nManufacturer=K\xC3\xB6rvel\n");
    EXPECT_EQ(Read(u"TWAIN", u"Manufacturer"), "K\u00F6rvel");
}

TEST_F(Profile, TheFileIsReadAfreshAtEveryCall) {
    Write("Scanner.ini", "[TWAIN]\nVersion=1\n");
    EXPECT_EQ(Read(u"TWAIN", u"Version"), "1");
    Write("Scanner.ini", "[TWAIN]\nVersion=2\n");
    EXPECT_EQ(Read(u"TWAIN", u"Version"), "2");
}

// A file that cannot be read (here a folder in its place) is a missing file, never an error that ends the program.
TEST_F(Profile, AnIniThatCannotBeReadGivesTheDefaults) {
    std::filesystem::create_directories(root_ / "Windows" / "Scanner.ini");
    EXPECT_EQ(Read(u"TWAIN", u"File Prefix", u"none"), "none") << "a folder named Scanner.ini reads as no file";
    EXPECT_EQ(GetPrivateProfileIntW(u"Self Testing", u"Testing Count", 3, u"C:\\Windows\\Scanner.ini"), 3u);
}

// A large INI file is read once for all the keys a program asks while it stays unchanged, and read again as soon as
// it changes, even in place and to the same size.
TEST_F(Profile, AnUnchangedFileIsReadOnceForAllItsKeys) {
    std::string ini = "[TWAIN]\nFile Prefix=kvx\nVersion=1.0\n";
    std::string filler = "[Filler]\n";
    for (int i = 0; filler.size() < (16u << 20); ++i)
        filler += "Key" + std::to_string(i) + "=" + std::string(100, 'x') + "\n";
    ini += filler + "[Self Testing]\nTesting Count=7\n";
    Write("Scanner.ini", ini);
    // A file changed within the last second is read at every call: let it settle first.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));

    const size_t readsBefore = platform::testing::ProfileFileReads();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(Read(u"TWAIN", u"File Prefix"), "kvx");
        ASSERT_EQ(GetPrivateProfileIntW(u"Self Testing", u"Testing Count", 3, u"C:\\Windows\\Scanner.ini"), 7u);
        ASSERT_EQ(Read(u"Filler", u"Key12345"), std::string(100, 'x'));
        ASSERT_EQ(Read(u"Filler", u"NoSuchKey", u"none"), "none");
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LE(platform::testing::ProfileFileReads() - readsBefore, 1u)
        << "an unchanged 16 MiB INI file was read again for each of 400 keys";
    EXPECT_LT(seconds, 20.0) << "400 keys of an unchanged 16 MiB INI file took " << seconds << " s";

    ini.replace(ini.find("File Prefix=kvx"), 15, "File Prefix=abc"); // the same size, in place
    std::ofstream(root_ / "Windows" / "Scanner.ini", std::ios::binary | std::ios::in | std::ios::out) << ini;
    EXPECT_EQ(Read(u"TWAIN", u"File Prefix"), "abc") << "a file changed in place was not read again";
    std::filesystem::rename(root_ / "Windows" / "Scanner.ini", root_ / "Windows" / "Old.ini");
    Write("Scanner.ini", "[TWAIN]\nFile Prefix=new\n");
    EXPECT_EQ(Read(u"TWAIN", u"File Prefix"), "new") << "a file replaced by another was not read again";
    std::filesystem::remove(root_ / "Windows" / "Scanner.ini");
    EXPECT_EQ(Read(u"TWAIN", u"File Prefix", u"gone"), "gone") << "a removed file still answered";
}

TEST_F(Profile, ABareFileNameLiesInTheWindowsFolder) {
    Write("Scanner.ini", "[TWAIN]\nVersion=3\n");
    EXPECT_EQ(Read(u"TWAIN", u"Version", u"", 260, u"Scanner.ini"), "3");
    EXPECT_EQ(Read(u"TWAIN", u"Version", u"", 260, u"c:\\WINDOWS\\scanner.INI"), "3")
        << "the path is found without regard to case";
}

TEST_F(Profile, IntegersReadTheLeadingDecimalNumber) {
    Write("Scanner.ini", "[Self Testing]\nTesting Count= 12 pages\nNegative=-5\nText=abc\nEmpty=\n");
    const WCHAR* ini = u"C:\\Windows\\Scanner.ini";
    EXPECT_EQ(GetPrivateProfileIntW(u"Self Testing", u"Testing Count", 3, ini), 12u);
    EXPECT_EQ(GetPrivateProfileIntW(u"Self Testing", u"Testing Seconds", 5, ini), 5u);
    EXPECT_EQ(static_cast<int>(GetPrivateProfileIntW(u"Self Testing", u"Negative", 0, ini)), -5);
    EXPECT_EQ(GetPrivateProfileIntW(u"Self Testing", u"Text", 7, ini), 0u);
    EXPECT_EQ(GetPrivateProfileIntW(u"Self Testing", u"Empty", 7, ini), 7u);
    EXPECT_EQ(GetPrivateProfileIntW(u"Self Testing", u"Testing Count", 3, u"C:\\Windows\\None.ini"), 3u);
}

} // namespace
