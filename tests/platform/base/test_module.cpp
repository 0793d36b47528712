// Modules: Windows names onto shared objects, entry points, handles and DOS file names.
#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::u16string Dos(const std::string& posix) {
    return platform::path::ToDosPath(posix);
}

// The test library under a name of another case and the Windows extension: "...\testlib.DLL" for "TestLib.so".
std::u16string TestLibDllName() {
    return Dos(TEST_MODULE_DIR) + u"\\testlib.DLL";
}

std::string FileName(HMODULE module) {
    WCHAR buffer[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, buffer, MAX_PATH);
    return n ? platform::ToUtf8(buffer) : std::string();
}

TEST(Module, ADllPathLoadsTheSharedObjectOfThatNameWithoutRegardToCase) {
    HMODULE lib = LoadLibraryW(TestLibDllName().c_str());
    ASSERT_NE(lib, nullptr);
    auto instance = reinterpret_cast<HMODULE (*)()>(GetProcAddress(lib, "TestLib_Instance"));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance(), lib) << "the library's own handle is the handle LoadLibraryW gave";
    EXPECT_EQ(LoadLibraryExW(TestLibDllName().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH), lib);
    EXPECT_TRUE(FreeLibrary(lib));
    EXPECT_TRUE(FreeLibrary(lib));
}

TEST(Module, GetModuleFileNameGivesTheDosPathOfTheSharedObject) {
    HMODULE lib = LoadLibraryW(TestLibDllName().c_str());
    ASSERT_NE(lib, nullptr);
    const std::string expected = platform::ToUtf8(Dos(std::string(TEST_MODULE_DIR) + "/TestLib.so"));
    EXPECT_EQ(FileName(lib), expected);
    EXPECT_EQ(expected.find('/'), std::string::npos) << "backslashes only: " << expected;

    auto own = reinterpret_cast<DWORD (*)(WCHAR*, DWORD)>(GetProcAddress(lib, "TestLib_OwnFileName"));
    ASSERT_NE(own, nullptr);
    WCHAR buffer[MAX_PATH];
    ASSERT_GT(own(buffer, MAX_PATH), 0u);
    EXPECT_EQ(platform::ToUtf8(buffer), expected) << "the library sees its own file, not the host's";
    FreeLibrary(lib);
}

TEST(Module, AShortBufferGetsTheTruncatedNameTerminated) {
    WCHAR buffer[5] = {u'#', u'#', u'#', u'#', u'#'};
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(std::u16string(buffer).size(), 4u);
}

TEST(Module, TheHostProgramNameCanBeSetForTests) {
    const std::string real = FileName(nullptr);
    ASSERT_NE(real.find("platform_base_tests"), std::string::npos) << real;
    platform::testing::SetHostProgramName(u"EXCEL.EXE");
    const std::string excel = FileName(nullptr);
    EXPECT_EQ(excel, real.substr(0, real.rfind('\\') + 1) + "EXCEL.EXE");
    platform::testing::SetHostProgramName(u"C:\\Program Files\\Adobe\\Photoshop.exe");
    EXPECT_EQ(FileName(nullptr), "C:\\Program Files\\Adobe\\Photoshop.exe");
    platform::testing::SetHostProgramName(nullptr);
    EXPECT_EQ(FileName(nullptr), real);
}

TEST(Module, MissingModulesAndEntryPointsFailWithTheirErrors) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW((Dos(TEST_MODULE_DIR) + u"\\nosuch.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryW(u"nosuch.dll"), nullptr);
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);

    HMODULE lib = LoadLibraryW(TestLibDllName().c_str());
    ASSERT_NE(lib, nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(lib, "NoSuchEntry"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(lib, "malloc"), nullptr) << "a module exports only what it defines";
    EXPECT_EQ(GetProcAddress(lib, "CWinApp"), nullptr);
    FreeLibrary(lib);
}

TEST(Module, ModuleHandlesNameLoadedModulesOnly) {
    EXPECT_EQ(GetModuleHandleW(nullptr), platform::ThisModule()) << "the test program is the executable";
    EXPECT_EQ(GetModuleHandleW(TestLibDllName().c_str()), nullptr);
    HMODULE lib = LoadLibraryW(TestLibDllName().c_str());
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(GetModuleHandleW(TestLibDllName().c_str()), lib);
    FreeLibrary(lib);
    EXPECT_EQ(GetModuleHandleW(TestLibDllName().c_str()), nullptr) << "unloaded by its last FreeLibrary";
}

TEST(Module, ABareNameIsSearchedInTheExecutablesFolder) {
    const std::filesystem::path exeFolder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::filesystem::path copy = exeFolder / "BareLib.so";
    std::filesystem::copy_file(std::string(TEST_MODULE_DIR) + "/TestLib.so", copy,
                               std::filesystem::copy_options::overwrite_existing);
    HMODULE lib = LoadLibraryW(u"barelib.DLL");
    EXPECT_NE(lib, nullptr);
    if (lib)
        FreeLibrary(lib);
    std::filesystem::remove(copy);
}

TEST(Module, ABareNameIsSearchedFirstInTheCallingModulesFolder) {
    HMODULE lib = LoadLibraryW(TestLibDllName().c_str());
    ASSERT_NE(lib, nullptr);
    auto loadBare = reinterpret_cast<HMODULE (*)(const WCHAR*)>(GetProcAddress(lib, "TestLib_LoadBare"));
    ASSERT_NE(loadBare, nullptr);
    HMODULE strings = loadBare(u"teststr.dll");
    EXPECT_NE(strings, nullptr) << "the library's folder holds TestStr.so";
    EXPECT_EQ(LoadLibraryW(u"teststr.dll"), nullptr) << "the test program's folder does not";
    if (strings)
        FreeLibrary(strings);
    FreeLibrary(lib);
}

TEST(Module, SystemNamesMapOntoLinuxLibrariesAndCanBeMadeUnresolvable) {
    HMODULE zip = LoadLibraryW(u"C:\\Program Files\\Velmora\\zlibwapi.dll");
    ASSERT_NE(zip, nullptr) << "the folder of a system name does not matter";
    EXPECT_NE(GetProcAddress(zip, "zipOpen"), nullptr);
    EXPECT_NE(GetProcAddress(zip, "zipCloseFileInZip"), nullptr);
    FreeLibrary(zip);

    setenv("PLATFORM_ZLIBWAPI", "/nonexistent/libminizip.so.1", 1);
    EXPECT_EQ(LoadLibraryW(u"zlibwapi.dll"), nullptr);
    unsetenv("PLATFORM_ZLIBWAPI");

    setenv("PLATFORM_TWAIN_DSM", (std::string(TEST_MODULE_DIR) + "/TestLib.so").c_str(), 1);
    HMODULE dsm = LoadLibraryW(u"twain_32.dll");
    EXPECT_NE(dsm, nullptr);
    EXPECT_NE(GetProcAddress(dsm, "TestLib_Instance"), nullptr);
    FreeLibrary(dsm);
    unsetenv("PLATFORM_TWAIN_DSM");
}

TEST(Module, Kernel32IsPlatformItself) {
    HMODULE kernel = GetModuleHandleW(u"KERNEL32.DLL");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(LoadLibraryW(u"kernel32.dll"), kernel);
    using FreeSpace = BOOL (*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    EXPECT_EQ(reinterpret_cast<FreeSpace>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")), &GetDiskFreeSpaceExA);
    EXPECT_EQ(reinterpret_cast<HRESULT (*)(LPCWSTR, DWORD)>(GetProcAddress(kernel, "RegisterApplicationRestart")),
              &RegisterApplicationRestart);
    EXPECT_EQ(GetProcAddress(kernel, "CreateProcessW"), nullptr) << "only what the system looks up by name";
    EXPECT_TRUE(FreeLibrary(kernel));
}

} // namespace
