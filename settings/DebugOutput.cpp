#include "settings/DebugOutput.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {
constexpr size_t kDebugLineSize = 256;
}

void DebugPrint(const WCHAR* format, ...) {
    if (!format)
        return;
    WCHAR line[kDebugLineSize] = {};
    va_list args;
    va_start(args, format);
    _vsnwprintf_s(line, kDebugLineSize, _TRUNCATE, format, args);
    va_end(args);
    line[kDebugLineSize - 1] = 0;
    OutputDebugStringW(line);
}

void DebugPrintA(const char* format, ...) {
    if (!format)
        return;
    char line[kDebugLineSize] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, kDebugLineSize, format, args);
    va_end(args);
    OutputDebugStringA(line);
}

void LogLastError(const WCHAR* what) {
    const DWORD code = GetLastError();
    if (!what)
        what = u"";
    WCHAR* message = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    // Without a system message the line still names the failure and its code.
    const WCHAR* text = (length > 0 && message) ? message : u"";
    std::vector<WCHAR> line(wcslen(text) + wcslen(what) + 40, 0);
    _snwprintf_s(line.data(), line.size(), _TRUNCATE, u"%s failed with error %d: %s", what, static_cast<int>(code),
                 text);
    OutputDebugStringW(line.data());
    if (message)
        LocalFree(message);
}

bool IsDebugSwitchOn(int& cachedLength) {
    if (cachedLength < 0) {
        char value[64] = {};
        cachedLength = static_cast<int>(GetEnvironmentVariableA("kvxTWAINtest", value, sizeof value));
    }
    return cachedLength == 1;
}

void DebugSwitchLine(int& cachedLength, const char* label, int number) {
    if (!IsDebugSwitchOn(cachedLength))
        return;
    char line[kDebugLineSize] = {};
    std::snprintf(line, sizeof line, "%s:%d", label ? label : "", number);
    OutputDebugStringA(line);
}
