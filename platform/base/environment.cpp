// Environment variables and the machine's and user's names.
#include "platform/base/kernel.h"

#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {

std::mutex g_environmentLock; // getenv/setenv are not safe against each other

template <typename Char> DWORD CopyOut(const std::basic_string<Char>& value, Char* buffer, DWORD size) {
    // Windows answers the size needed, terminator included, when the buffer is short.
    if (!buffer || value.size() + 1 > size)
        return static_cast<DWORD>(value.size() + 1);
    std::memcpy(buffer, value.c_str(), (value.size() + 1) * sizeof(Char));
    return static_cast<DWORD>(value.size());
}

bool Lookup(const std::string& name, std::string& value) {
    std::lock_guard guard(g_environmentLock);
    const char* found = name.empty() || name.find('=') != std::string::npos ? nullptr : std::getenv(name.c_str());
    if (!found)
        return false;
    value = found;
    return true;
}

bool Store(const std::string& name, const char* value) {
    if (name.empty() || name.find('=') != std::string::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::lock_guard guard(g_environmentLock);
    int rc = value ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str());
    if (rc != 0) {
        platform::kernel::SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

} // namespace

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
    std::string value;
    if (!name || !Lookup(name, value)) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    return CopyOut(value, buffer, size);
}

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
    std::string value;
    if (!name || !Lookup(platform::ToUtf8(name), value)) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    return CopyOut(platform::ToUtf16(value), buffer, size);
}

BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
    return name && Store(name, value);
}

BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string narrow = value ? platform::ToUtf8(value) : std::string();
    return Store(platform::ToUtf8(name), value ? narrow.c_str() : nullptr);
}

DWORD ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR destination, DWORD size) {
    if (!source) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // %NAME% is replaced by the variable's value; unknown names and a lone % stay as written.
    std::u16string in(source), out;
    for (size_t i = 0; i < in.size();) {
        size_t end = in[i] == u'%' ? in.find(u'%', i + 1) : std::u16string::npos;
        std::string value;
        if (end != std::u16string::npos && end > i + 1 &&
            Lookup(platform::ToUtf8(in.substr(i + 1, end - i - 1)), value)) {
            out += platform::ToUtf16(value);
            i = end + 1;
        } else {
            out += in[i++];
        }
    }
    // This call counts the terminator in both results.
    if (!destination || out.size() + 1 > size)
        return static_cast<DWORD>(out.size() + 1);
    std::memcpy(destination, out.c_str(), (out.size() + 1) * sizeof(WCHAR));
    return static_cast<DWORD>(out.size() + 1);
}

BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    // NetBIOS names: at most 15 characters, upper case, up to the first dot.
    std::string name(host, strcspn(host, "."));
    name.resize(std::min<size_t>(name.size(), 15));
    std::u16string wide = platform::ToUtf16(name);
    for (char16_t& c : wide)
        c = towupper(c);
    if (!size || !buffer || wide.size() + 1 > *size) {
        if (size)
            *size = static_cast<DWORD>(wide.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    *size = static_cast<DWORD>(wide.size());
    return TRUE;
}

BOOL GetUserNameW(LPWSTR buffer, LPDWORD size) {
    passwd entry;
    passwd* found = nullptr;
    char scratch[1024];
    std::u16string name = getpwuid_r(getuid(), &entry, scratch, sizeof scratch, &found) == 0 && found
                              ? platform::ToUtf16(found->pw_name)
                              : u"user";
    // This call counts the terminator in the size it reports.
    if (!size || !buffer || name.size() + 1 > *size) {
        if (size)
            *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    *size = static_cast<DWORD>(name.size() + 1);
    return TRUE;
}
