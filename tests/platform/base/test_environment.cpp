// Environment variables, locale and country, the reported version, and the debug channel.
#include "platform/base/testing.h"
#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(Environment, VariablesWithWindowsSizeRules) {
    ASSERT_TRUE(SetEnvironmentVariableW(u"kvxTWAINtest", u"1"));
    char narrow[64];
    EXPECT_EQ(GetEnvironmentVariableA("kvxTWAINtest", narrow, sizeof narrow), 1u);
    EXPECT_STREQ(narrow, "1");
    ASSERT_TRUE(SetEnvironmentVariableW(u"kvxTWAINtest", u"long value"));
    EXPECT_EQ(GetEnvironmentVariableA("kvxTWAINtest", narrow, 4), 11u) << "a short buffer gets the size needed";
    WCHAR wide[64];
    EXPECT_EQ(GetEnvironmentVariableW(u"kvxTWAINtest", wide, 64), 10u);
    EXPECT_EQ(std::u16string(wide), u"long value");
    ASSERT_TRUE(SetEnvironmentVariableW(u"kvxTWAINtest", nullptr));
    EXPECT_EQ(GetEnvironmentVariableA("kvxTWAINtest", narrow, sizeof narrow), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

TEST(Environment, ExpandsKnownVariablesOnly) {
    SetEnvironmentVariableW(u"KERNEL_TEST_DIR", u"C:\\Scans");
    WCHAR out[64];
    DWORD n = ExpandEnvironmentStringsW(u"%KERNEL_TEST_DIR%\\a %NOT_SET_ANYWHERE% 100%", out, 64);
    EXPECT_EQ(std::u16string(out), u"C:\\Scans\\a %NOT_SET_ANYWHERE% 100%");
    EXPECT_EQ(n, wcslen(out) + 1) << "this call counts the terminator";
    SetEnvironmentVariableW(u"KERNEL_TEST_DIR", nullptr);
}

TEST(Time, FileTimesAndSystemTimesConvertBothWays) {
    SYSTEMTIME st{2024, 2, 4, 29, 23, 59, 58, 123}; // a leap day
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    ULONGLONG ticks = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    EXPECT_EQ(ticks, 133537247981230000ULL) << "100 ns intervals since 1601";
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(back.wYear, 2024);
    EXPECT_EQ(back.wMonth, 2);
    EXPECT_EQ(back.wDay, 29);
    EXPECT_EQ(back.wDayOfWeek, 4);
    EXPECT_EQ(back.wMilliseconds, 123);
    st.wMonth = 13;
    EXPECT_FALSE(SystemTimeToFileTime(&st, &ft));
}

TEST(Locale, DefaultsAndCountryCanBeFixed) {
    platform::testing::SetSystemLocale(0x0406); // Danish
    EXPECT_EQ(GetSystemDefaultLCID(), 0x0406u);
    EXPECT_EQ(GetUserDefaultLCID(), 0x0406u) << "the user locale follows the system one unless set";
    platform::testing::SetUserLocale(0x0409);
    EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409);

    // The two-call pattern: the size first, then the text.
    int size = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, nullptr, 0);
    ASSERT_EQ(size, 2);
    std::vector<WCHAR> text(static_cast<size_t>(size));
    ASSERT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, text.data(), size), size);
    EXPECT_EQ(std::u16string(text.data()), u"1");

    platform::testing::SetCountryCode(44);
    WCHAR buf[16];
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, buf, 16);
    EXPECT_EQ(std::u16string(buf), u"44");
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, buf, 2), 0) << "no room for the terminator";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    platform::testing::SetCountryCode(std::nullopt);

    GetLocaleInfoW(0x0407, LOCALE_SDECIMAL, buf, 16);
    EXPECT_EQ(std::u16string(buf), u",");
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO639LANGNAME, buf, 16);
    EXPECT_EQ(std::u16string(buf), u"da");
    EXPECT_EQ(GetLocaleInfoW(0x0409, 0x7777, buf, 16), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));

    platform::testing::SetSystemLocale(std::nullopt);
    platform::testing::SetUserLocale(std::nullopt);
}

TEST(Version, ReportsAWindows7LevelSystem) {
    OSVERSIONINFOW info{};
    EXPECT_FALSE(GetVersionExW(&info)) << "the size field must be filled in";
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));

    platform::testing::SetOsVersion(platform::testing::OsVersion{10, 0, 19045});
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 10u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 19045u);
    platform::testing::SetOsVersion(std::nullopt);
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMinorVersion, 1u);
}

TEST(Restart, TheRegistrationIsRecordedAndFoundByNameInKernel32) {
    platform::testing::ClearRestartRegistration();
    using Register = HRESULT (*)(LPCWSTR, DWORD);
    auto reg = reinterpret_cast<Register>(GetProcAddress(LoadLibraryW(u"KERNEL32.DLL"), "RegisterApplicationRestart"));
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(reg(u"/RESTART", 0), S_OK);
    auto recorded = platform::testing::RegisteredRestart();
    ASSERT_TRUE(recorded.has_value());
    EXPECT_EQ(recorded->commandLine, u"/RESTART");
    EXPECT_EQ(recorded->flags, 0u);
    EXPECT_EQ(RegisterApplicationRestart(std::u16string(1025, u'x').c_str(), 0), E_INVALIDARG);
    EXPECT_EQ(platform::testing::RegisteredRestart()->commandLine, u"/RESTART") << "a refused line changes nothing";
    platform::testing::ClearRestartRegistration();
    EXPECT_FALSE(platform::testing::RegisteredRestart().has_value());
}

TEST(DebugChannel, LinesReachTheSinkWideAndNarrow) {
    std::vector<std::u16string> lines;
    platform::debug::SetSink([&](std::u16string_view line) { lines.emplace_back(line); });
    OutputDebugStringW(u"==== enableDS =====OpenMutex  :true ");
    OutputDebugStringA("label:\xC3\xA9");
    OutputDebugStringW(nullptr);
    platform::debug::SetSink({});
    OutputDebugStringW(u"not captured");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"==== enableDS =====OpenMutex  :true ");
    EXPECT_EQ(lines[1], u"label:é") << "narrow lines are UTF-8";
}

TEST(DebugChannel, SilentUnlessSwitchedOnForStderr) {
    unsetenv("PLATFORM_DEBUG");
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("quiet");
    setenv("PLATFORM_DEBUG", "1", 1);
    OutputDebugStringW(u"loud\n");
    unsetenv("PLATFORM_DEBUG");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "loud\n");
}

TEST(DebugChannel, EachCallIsOneLineOnStderr) {
    setenv("PLATFORM_DEBUG", "1", 1);
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("CDsAssistor::GetDsIdInfo: ProductName: KVX");
    OutputDebugStringW(u"out DisableDS");
    OutputDebugStringA("ends its own line\n");
    OutputDebugStringA("");
    unsetenv("PLATFORM_DEBUG");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "CDsAssistor::GetDsIdInfo: ProductName: KVX\nout DisableDS\nends its own line\n\n");
}

} // namespace
