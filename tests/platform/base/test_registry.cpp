// The registry: file-backed hives, exact value bytes, and the Windows result codes callers branch on.
#include "platform/base/testing.h"
#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        root_ =
            std::filesystem::temp_directory_path() / ("registry_" + std::to_string(getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        platform::testing::SetRoot(root_.string());
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    static HKEY Create(HKEY root, const WCHAR* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }

    std::filesystem::path root_;
};

TEST_F(Registry, AMissingKeyOrValueIsFileNotFound) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Korvel", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    key = Create(HKEY_LOCAL_MACHINE, u"Software\\Korvel");
    DWORD size = 16;
    BYTE data[16];
    EXPECT_EQ(RegQueryValueExW(key, u"Language", nullptr, nullptr, data, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, AStringRoundTripsThroughTheHiveFile) {
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\KVX7731", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    const WCHAR value[] = u"Simplified_Chinese";
    ASSERT_EQ(RegSetValueExW(key, u"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(std::filesystem::exists(root_ / "Registry" / "HKLM.reg"));

    key = Create(HKEY_LOCAL_MACHINE, u"software\\korvel\\kvx7731", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY)) << "key names compare without case";
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Korvel\\kvx7731", 0, KEY_READ | KEY_WOW64_64KEY, &key),
              ERROR_SUCCESS);
    WCHAR read[64] = {};
    DWORD size = sizeof read, type = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"LANGUAGE", nullptr, &type, reinterpret_cast<BYTE*>(read), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, sizeof value);
    EXPECT_EQ(std::u16string(read), u"Simplified_Chinese");
    RegCloseKey(key);
}

TEST_F(Registry, AnUnterminatedStringComesBackExactlyAsStored) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Korvel");
    const WCHAR english[] = {u'E', u'n', u'g', u'l', u'i', u's', u'h'};
    ASSERT_EQ(RegSetValueExW(key, u"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(english), sizeof english),
              ERROR_SUCCESS);
    WCHAR read[16];
    for (WCHAR& c : read)
        c = u'#';
    DWORD size = sizeof read;
    ASSERT_EQ(RegQueryValueExW(key, u"Language", nullptr, nullptr, reinterpret_cast<BYTE*>(read), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(std::u16string(read, 7), u"English");
    EXPECT_EQ(read[7], u'#') << "no terminator is added behind the stored bytes";
    RegCloseKey(key);
}

TEST_F(Registry, ASizeQueryAndAShortBufferReportTheSizeNeeded) {
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Microsoft\\Office\\11.0\\Common\\Scan");
    const WCHAR device[] = u"KVX7731 TWAIN";
    ASSERT_EQ(RegSetValueExW(key, u"DEVICE0", 0, REG_SZ, reinterpret_cast<const BYTE*>(device), sizeof device),
              ERROR_SUCCESS);
    DWORD size = 0, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"DEVICE0", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof device);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    BYTE small[8];
    std::memset(small, 0x5A, sizeof small);
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, u"DEVICE0", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof device);
    EXPECT_EQ(small[0], 0x5A) << "a short buffer is left alone";
    RegCloseKey(key);
}

TEST_F(Registry, DwordsBinaryDataAndOddNamesRoundTrip) {
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Test");
    const DWORD flags = 15;
    ASSERT_EQ(RegSetValueExW(key, u"FLAGS3", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof flags),
              ERROR_SUCCESS);
    const BYTE binary[] = {0, '"', '\\', '\n', 0xFF, ' '};
    ASSERT_EQ(RegSetValueExW(key, u"name \"with\" \\ odd\nchars", 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, nullptr, 0), ERROR_SUCCESS) << "the default value, empty";
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Test", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD read = 0, size = sizeof read;
    EXPECT_EQ(RegQueryValueExW(key, u"flags3", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
    EXPECT_EQ(read, 15u);
    BYTE back[16] = {};
    size = sizeof back;
    EXPECT_EQ(RegQueryValueExW(key, u"name \"with\" \\ odd\nchars", nullptr, nullptr, back, &size), ERROR_SUCCESS);
    ASSERT_EQ(size, sizeof binary);
    EXPECT_EQ(std::memcmp(back, binary, sizeof binary), 0);
    size = 4;
    EXPECT_EQ(RegQueryValueExW(key, u"", nullptr, nullptr, back, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    RegCloseKey(key);

    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Test", 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND)
        << "each root is its own hive";
}

TEST_F(Registry, CreatingADeepKeyCreatesTheKeysOnTheWay) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"\\A\\\\B\\C\\");
    RegCloseKey(key);
    for (const WCHAR* path : {u"A", u"A\\B", u"a\\b\\c"}) {
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_SUCCESS) << platform::ToUtf8(path);
        RegCloseKey(key);
    }
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"A", 0, KEY_READ, &parent), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(parent, u"B\\C", 0, KEY_READ, &key), ERROR_SUCCESS) << "a sub-key of an open key";
    RegCloseKey(key);
    RegCloseKey(parent);
}

TEST_F(Registry, AClosedHandleIsRefused) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software");
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS) << "closing a predefined key is harmless";
}

TEST_F(Registry, ADamagedHiveReadsAsFarAsItIsWhole) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Korvel");
    const DWORD one = 1;
    RegSetValueExW(key, u"IP", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
    {
        std::ofstream append(root_ / "Registry" / "HKLM.reg", std::ios::app);
        append << "value \"broken";
    }
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Korvel", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD read = 0, size = sizeof read;
    EXPECT_EQ(RegQueryValueExW(key, u"IP", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size), ERROR_SUCCESS);
    EXPECT_EQ(read, 1u);
    RegCloseKey(key);
}

// A line this version cannot read (damaged, or written by someone else) stays in the hive through every write,
// and so does everything after it.
TEST_F(Registry, ADamagedLineIsKeptAndHidesNothingAfterIt) {
    const std::string hive = "platform-registry 1\n"
                             "stray line before any key\n"
                             "key \"Software\\\\A\"\n"
                             "value \"One\" 4 01000000\n"
                             "value \"broken 1 00\n"
                             "value \"Odd\" 3 abc\n"
                             "key \"Software\\\\B\"\r\n"
                             "value \"Two\" 4 02000000\r\n";
    std::filesystem::create_directories(root_ / "Registry");
    std::ofstream(root_ / "Registry" / "HKLM.reg", std::ios::binary) << hive;

    HKEY a = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\A", 0, KEY_ALL_ACCESS, &a), ERROR_SUCCESS);
    const DWORD three = 3;
    ASSERT_EQ(RegSetValueExW(a, u"Three", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&three), 4), ERROR_SUCCESS);
    RegCloseKey(a);

    HKEY b = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\B", 0, KEY_READ, &b), ERROR_SUCCESS)
        << "the key after the damaged lines was lost by the write";
    DWORD two = 0, size = sizeof two;
    EXPECT_EQ(RegQueryValueExW(b, u"Two", nullptr, nullptr, reinterpret_cast<BYTE*>(&two), &size), ERROR_SUCCESS);
    EXPECT_EQ(two, 2u) << "a hive with CR LF line ends reads like any other";
    RegCloseKey(b);

    std::ifstream in(root_ / "Registry" / "HKLM.reg", std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (const char* line : {"\nstray line before any key\n", "\nvalue \"broken 1 00\n", "\nvalue \"Odd\" 3 abc\n"})
        EXPECT_NE(written.find(line), std::string::npos) << "the unreadable line " << line << " was not written back:\n"
                                                         << written;
    EXPECT_LT(written.find("value \"broken"), written.find("key \"Software\\\\B\""))
        << "an unreadable line stays with the key it followed";
}

// A hive that exists but cannot be read (here a folder in its place) reads as empty and is never written over.
TEST_F(Registry, AHiveThatCannotBeReadIsNotReplaced) {
    std::filesystem::create_directories(root_ / "Registry" / "HKLM.reg");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\A", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"One", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_CANTREAD);
    EXPECT_TRUE(std::filesystem::is_directory(root_ / "Registry" / "HKLM.reg"));
}

// Reading a value costs time in proportion to its size: a multi-MiB value comes back at once.
TEST_F(Registry, ALongValueIsReadInTimeProportionalToItsSize) {
    std::vector<BYTE> big(4 << 20);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<BYTE>(i * 7 + 1);
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Big");
    ASSERT_EQ(RegSetValueExW(key, u"Language", 0, REG_BINARY, big.data(), static_cast<DWORD>(big.size())),
              ERROR_SUCCESS);
    std::vector<BYTE> back(big.size());
    DWORD size = static_cast<DWORD>(back.size());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RegQueryValueExW(key, u"Language", nullptr, nullptr, back.data(), &size), ERROR_SUCCESS);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(back == big) << "the value did not come back as stored";
    EXPECT_LT(seconds, 15.0) << "reading a 4 MiB value took " << seconds << " s (about 0.1 s expected)";
    RegCloseKey(key);
}

TEST_F(Registry, ConcurrentWritersLoseNoValue) {
    constexpr int kThreads = 4, kValues = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            HKEY key = nullptr;
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Race", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr);
            for (int i = 0; i < kValues; ++i) {
                const DWORD value = static_cast<DWORD>(t * 1000 + i);
                const std::u16string name = platform::ToUtf16("v" + std::to_string(value));
                RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
            }
            RegCloseKey(key);
        });
    }
    for (auto& writer : writers)
        writer.join();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Race", 0, KEY_READ, &key), ERROR_SUCCESS);
    int found = 0;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kValues; ++i) {
            const std::u16string name = platform::ToUtf16("v" + std::to_string(t * 1000 + i));
            DWORD value = 0, size = sizeof value;
            if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
                    ERROR_SUCCESS &&
                value == static_cast<DWORD>(t * 1000 + i))
                ++found;
        }
    }
    EXPECT_EQ(found, kThreads * kValues);
    RegCloseKey(key);
}

} // namespace

TEST_F(Registry, ADeletedValueIsGoneAndItsNeighboursStay) {
    HKEY key = Create(HKEY_CLASSES_ROOT, u"CLSID\\Quillet");
    const DWORD one = 1;
    ASSERT_EQ(RegSetValueExW(key, u"A", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, u"B", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"a"), ERROR_SUCCESS) << "value names compare without case";
    EXPECT_EQ(RegQueryValueExW(key, u"A", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(key, u"B", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"A"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteValueW(key, u"B"), ERROR_INVALID_HANDLE) << "a closed key";
}
