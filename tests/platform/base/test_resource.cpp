// Resources: a program's own compiled resources, a data-only resource module, and LoadStringW's rules.
#include "platform/base/afxcore.h"
#include "platform/base/path.h"
#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string U8(const WCHAR* s, size_t n) {
    return platform::ToUtf8(std::u16string_view(s, n));
}
std::string U8(const WCHAR* s) {
    return platform::ToUtf8(s);
}

TEST(Resource, EachTypeHasItsOwnIdsInTheProgramsOwnResources) {
    HRSRC data = FindResourceW(nullptr, MAKEINTRESOURCEW(1000), RT_RCDATA);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, data), 8u);
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(nullptr, data)), "rc\0data\377", 8), 0);

    HRSRC dialog = FindResourceW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(1000), RT_DIALOG);
    ASSERT_NE(dialog, nullptr);
    const auto* text = static_cast<const char*>(LockResource(LoadResource(AfxGetInstanceHandle(), dialog)));
    EXPECT_EQ(std::string(text, SizeofResource(nullptr, dialog)), "DIALOG 10 10 100 50\n") << "stored raw";

    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(1001), RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(1000), RT_CURSOR), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, u"NAMED", RT_RCDATA), nullptr) << "only integer ids exist";
}

TEST(Resource, ABitmapIsThePackedDibWithoutTheFileHeader) {
    HRSRC bitmap = FindResourceW(nullptr, MAKEINTRESOURCEW(10431), RT_BITMAP);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, bitmap), 40u + 16u);
    DWORD headerSize = 0;
    std::memcpy(&headerSize, LockResource(LoadResource(nullptr, bitmap)), 4);
    EXPECT_EQ(headerSize, 40u) << "BITMAPINFOHEADER first";
    EXPECT_FALSE(FreeResource(LoadResource(nullptr, bitmap)));
}

TEST(Resource, LoadStringCopiesTruncatesAndTerminates) {
    WCHAR buffer[32];
    EXPECT_EQ(LoadStringW(nullptr, 1000, buffer, 32), 10);
    EXPECT_EQ(U8(buffer), "own string");
    EXPECT_EQ(LoadStringW(nullptr, 1000, buffer, 4), 3);
    EXPECT_EQ(U8(buffer), "own");
    EXPECT_EQ(LoadStringW(nullptr, 1000, buffer, 1), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 32), 3);
    EXPECT_EQ(LoadStringW(nullptr, 15, buffer, 32), 7) << "the first and last string of one block";
    EXPECT_EQ(U8(buffer), "fifteen");
    EXPECT_EQ(LoadStringW(nullptr, 65535, buffer, 32), 7);
    EXPECT_EQ(U8(buffer), "last id");
}

TEST(Resource, AMissingOrEmptyStringAnswersZero) {
    WCHAR buffer[8] = {u'#'};
    EXPECT_EQ(LoadStringW(nullptr, 999, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(LoadStringW(nullptr, 1002, buffer, 8), 0) << "an empty string is a missing one";
    EXPECT_EQ(LoadStringW(nullptr, 2, buffer, 8), 0) << "a gap in a present block";
    EXPECT_EQ(LoadStringW(nullptr, 1000, nullptr, 8), 0);
}

TEST(Resource, SizeZeroGivesAReadOnlyPointerAndTheLength) {
    const WCHAR* text = nullptr;
    EXPECT_EQ(LoadStringW(nullptr, 1000, reinterpret_cast<LPWSTR>(&text), 0), 10);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(U8(text, 10), "own string");
}

class DataModule : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryW((platform::path::ToDosPath(TEST_MODULE_DIR) + u"\\TESTSTR.DLL").c_str());
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_)
            FreeLibrary(module_);
    }
    std::string String(UINT id) {
        WCHAR buffer[128];
        const int n = LoadStringW(module_, id, buffer, 128);
        return n ? U8(buffer) : std::string("<missing>");
    }
    HMODULE module_ = nullptr;
};

TEST_F(DataModule, StringsComeFromALoadedResourceLibrary) {
    EXPECT_EQ(String(1000), "Scan");
    EXPECT_EQ(String(1001), "Line one\nLine two\t\"quoted\" \\ back") << "escapes of the string table";
    EXPECT_EQ(String(1015), "last of a block");
    EXPECT_EQ(String(1016), "first of the next block");
    EXPECT_EQ(String(1100), "\u05E9\u05DC\u05D5\u05DD Hebrew");
    EXPECT_EQ(String(1101), "\u00DCn\u00EFc\u00F6d\u00E9 \u2713");
    EXPECT_EQ(String(1002), "<missing>");
    EXPECT_EQ(String(5000), "<missing>");
}

TEST_F(DataModule, TheFrameworksResourceHandleSwitchesWhereStringsComeFrom) {
    EXPECT_EQ(AfxGetResourceHandle(), AfxGetInstanceHandle());
    AfxSetResourceHandle(module_);
    WCHAR buffer[32];
    EXPECT_EQ(LoadStringW(AfxGetResourceHandle(), 1000, buffer, 32), 4);
    EXPECT_EQ(U8(buffer), "Scan");
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEW(1000), RT_DIALOG), AfxGetInstanceHandle())
        << "what the resource module lacks comes from the module itself";
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEW(63), RT_STRING), module_);
    AfxSetResourceHandle(nullptr);
    EXPECT_EQ(LoadStringW(AfxGetResourceHandle(), 1000, buffer, 32), 10) << "back to the program's own";
}

TEST(Resource, ALibraryFindsItsOwnCompiledResources) {
    HMODULE lib = LoadLibraryW((platform::path::ToDosPath(TEST_MODULE_DIR) + u"\\TestLib.dll").c_str());
    ASSERT_NE(lib, nullptr);
    auto load = reinterpret_cast<int (*)(UINT, WCHAR*, int)>(GetProcAddress(lib, "TestLib_LoadOwnString"));
    auto size = reinterpret_cast<DWORD (*)()>(GetProcAddress(lib, "TestLib_OwnDataSize"));
    ASSERT_TRUE(load && size);
    WCHAR buffer[32];
    EXPECT_EQ(load(100, buffer, 32), 14);
    EXPECT_EQ(U8(buffer), "library string");
    EXPECT_EQ(size(), 12u);
    EXPECT_EQ(load(200, buffer, 32), 21) << "resources of a static library the module links";
    EXPECT_EQ(U8(buffer), "from a static library");
    EXPECT_EQ(LoadStringW(nullptr, 100, buffer, 32), 0) << "the program does not see the library's strings";
    FreeLibrary(lib);
}

} // namespace
