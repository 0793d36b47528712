// Test steering of the base services: everything a test needs to fix is set here. Each setter affects the whole
// process; passing std::nullopt (or an empty value) goes back to the real system.
#pragma once

#include "platform/base/windows.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform::testing {

// The POSIX folder that is C:\ (default: $PLATFORM_ROOT, else $HOME/.cdrive; "" goes back to it). Also resets the
// current directory.
void SetRoot(const std::string& posixFolder);

// Clock: a fixed local time for GetLocalTime (GetSystemTime gives the same instant in UTC, the zone being UTC
// while the clock is fixed), and a tick count that GetTickCount/GetTickCount64 answer until changed.
void SetLocalTime(std::optional<SYSTEMTIME> time);
void SetTickCount(std::optional<ULONGLONG> milliseconds);
void AdvanceTickCount(ULONGLONG milliseconds); // only while a tick count is set

// Locale: the system and user default LCID (also the UI language), and the country code LOCALE_ICOUNTRY answers
// (by default the country of the LCID).
void SetSystemLocale(std::optional<LCID> lcid);
void SetUserLocale(std::optional<LCID> lcid);
void SetCountryCode(std::optional<int> code);

// The version GetVersionExW reports (6.1 build 7601 unless set).
struct OsVersion {
    DWORD major, minor, build;
};
void SetOsVersion(std::optional<OsVersion> version);

// Free bytes every GetDiskFreeSpace* call reports (the total is reported as twice that).
void SetDiskFreeSpace(std::optional<ULONGLONG> bytes);

// What GlobalMemoryStatusEx reports (dwLength is set by the call).
void SetMemoryStatus(std::optional<MEMORYSTATUSEX> status);
// While set, GlobalMemoryStatusEx fails (FALSE, ERROR_NOT_SUPPORTED).
void SetMemoryStatusFails(bool fails);

// GlobalAlloc/LocalAlloc/HeapAlloc of more than `bytes` in one block fail with ERROR_NOT_ENOUGH_MEMORY.
void SetAllocationCap(std::optional<SIZE_T> bytes);
// How many GlobalAlloc/LocalAlloc/HeapAlloc blocks are allocated and not yet freed.
size_t LiveMemoryBlocks();

// How many times an INI file was read from disk by GetPrivateProfileString and GetPrivateProfileInt (an unchanged
// file is not read again).
size_t ProfileFileReads();

// The last RegisterApplicationRestart of this process: its command line and flags; nullopt when none. Clear it
// with ClearRestartRegistration.
struct RestartRegistration {
    std::u16string commandLine;
    DWORD flags;
};
std::optional<RestartRegistration> RegisteredRestart();
void ClearRestartRegistration();

} // namespace platform::testing

namespace platform::debug {

// Receives every OutputDebugStringW/A line (narrow text converted from UTF-8) instead of stderr; an empty
// function goes back to the environment's choice (PLATFORM_DEBUG=1 sends it to stderr, else silent).
void SetSink(std::function<void(std::u16string_view)> sink);

} // namespace platform::debug

namespace platform::testing {

// The host program's name as GetModuleFileNameW(NULL) reports it, in every module of the process: a bare name
// replaces the executable's file name, a name with a backslash is the whole DOS path; NULL goes back to the real one.
void SetHostProgramName(const WCHAR* name);

} // namespace platform::testing
