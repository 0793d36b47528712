// Tick counts, wall-clock time and Sleep. Both clocks can be fixed by tests (testing.h).
#include "platform/base/kernel.h"
#include "platform/base/testing.h"

#include <ctime>
#include <optional>
#include <thread>

namespace {

std::mutex g_clockLock;
std::optional<SYSTEMTIME> g_localTime;
std::optional<ULONGLONG> g_tickCount;

SYSTEMTIME FromTm(const std::tm& tm, long nanoseconds) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec);
    st.wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
    return st;
}

// Seconds since 1970 of a SYSTEMTIME read as UTC; false for an impossible date.
bool ToSeconds(const SYSTEMTIME& st, long long& seconds) {
    if (st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 || st.wDay > 31 || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59 || st.wMilliseconds > 999 || st.wYear < 1601 || st.wYear > 30827)
        return false;
    std::tm tm{};
    tm.tm_year = st.wYear - 1900;
    tm.tm_mon = st.wMonth - 1;
    tm.tm_mday = st.wDay;
    tm.tm_hour = st.wHour;
    tm.tm_min = st.wMinute;
    tm.tm_sec = st.wSecond;
    seconds = timegm(&tm);
    return true;
}

// The time now, broken down by `breakDown` (local or UTC); a clock fixed by a test is returned as it is.
SYSTEMTIME WallClock(std::tm* (*breakDown)(const time_t*, std::tm*)) {
    {
        std::lock_guard guard(g_clockLock);
        if (g_localTime)
            return *g_localTime;
    }
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    breakDown(&ts.tv_sec, &tm);
    return FromTm(tm, ts.tv_nsec);
}

} // namespace

ULONGLONG GetTickCount64() {
    {
        std::lock_guard guard(g_clockLock);
        if (g_tickCount)
            return *g_tickCount;
    }
    // Milliseconds since boot, as on Windows, from a clock that never jumps.
    timespec ts;
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<ULONGLONG>(ts.tv_sec) * 1000 + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    count->QuadPart = static_cast<LONGLONG>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = 1000000000LL;
    return TRUE;
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0)
        std::this_thread::yield();
    else if (milliseconds == INFINITE)
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void GetLocalTime(LPSYSTEMTIME time) {
    *time = WallClock(localtime_r);
}

void GetSystemTime(LPSYSTEMTIME time) {
    *time = WallClock(gmtime_r);
}

void GetSystemTimeAsFileTime(LPFILETIME time) {
    SYSTEMTIME st;
    GetSystemTime(&st);
    SystemTimeToFileTime(&st, time);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
    long long seconds;
    if (!systemTime || !fileTime || !ToSeconds(*systemTime, seconds)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fileTime = platform::kernel::ToFileTime(seconds, systemTime->wMilliseconds * 1000000L);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
    if (!fileTime || !systemTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ULONGLONG ticks = (static_cast<ULONGLONG>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
    time_t seconds = static_cast<time_t>(ticks / 10000000ULL) - 11644473600LL;
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    *systemTime = FromTm(tm, static_cast<long>(ticks % 10000000ULL) * 100);
    return TRUE;
}

namespace platform::testing {

void SetLocalTime(std::optional<SYSTEMTIME> time) {
    std::lock_guard guard(g_clockLock);
    g_localTime = time;
}

void SetTickCount(std::optional<ULONGLONG> milliseconds) {
    std::lock_guard guard(g_clockLock);
    g_tickCount = milliseconds;
}

void AdvanceTickCount(ULONGLONG milliseconds) {
    std::lock_guard guard(g_clockLock);
    if (g_tickCount)
        *g_tickCount += milliseconds;
}

} // namespace platform::testing
