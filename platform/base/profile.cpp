#include "platform/base/profile.h"

#include "platform/base/path.h"
#include "platform/base/readfile.h"
#include "platform/base/winbase.h"
#include "platform/base/wstring.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace platform::profile {
namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::u16string_view a, const WCHAR* b) {
    const size_t n = wcslen(b);
    return a.size() == n && _wcsnicmp(std::u16string(a).c_str(), b, n) == 0;
}

// The whole file as UTF-16: a UTF-16 LE (or BE) byte-order mark decides, anything else is 8-bit UTF-8.
std::optional<std::u16string> ReadText(const WCHAR* fileName) {
    std::u16string dos = fileName;
    if (dos.find_first_of(u"\\/:") == std::u16string::npos) {
        WCHAR windows[MAX_PATH];
        const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return std::nullopt;
        dos = std::u16string(windows) + u"\\" + dos;
    }
    std::string raw;
    if (!file::ReadWholeFile(path::ToHostPath(dos.c_str()), raw))
        return std::nullopt; // missing, a folder, unreadable: every key reads as absent
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(raw[i]); };
    if (raw.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        std::u16string text;
        text.reserve(raw.size() / 2);
        for (size_t i = 2; i + 1 < raw.size(); i += 2)
            text.push_back(static_cast<char16_t>(little ? byte(i) | (byte(i + 1) << 8) : (byte(i) << 8) | byte(i + 1)));
        return text;
    }
    const size_t skip = raw.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF ? 3 : 0;
    return ToUtf16(std::string_view(raw).substr(skip));
}

// One pair of matching quotes around a value is removed, as Windows does.
std::u16string_view Unquote(std::u16string_view value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The value of key in section: the first such section, the first such key in it.
std::optional<std::u16string> Lookup(const std::u16string& text, const WCHAR* section, const WCHAR* key) {
    bool inSection = false;
    bool seenSection = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string::npos)
            end = text.size();
        const std::u16string_view line = Trim(std::u16string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            if (seenSection && inSection)
                return std::nullopt; // a later section of the same name is not looked at
            const size_t close = line.find(u']');
            const std::u16string_view name =
                Trim(line.substr(1, close == std::u16string_view::npos ? line.npos : close - 1));
            inSection = SameName(name, section);
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const size_t equals = line.find(u'=');
        const std::u16string_view name = Trim(line.substr(0, equals));
        if (!SameName(name, key))
            continue;
        if (equals == std::u16string_view::npos)
            return std::u16string();
        return std::u16string(Unquote(Trim(line.substr(equals + 1))));
    }
    return std::nullopt;
}

DWORD CopyOut(std::u16string_view value, LPWSTR returned, DWORD size) {
    const size_t copied = std::min<size_t>(value.size(), size - 1);
    std::memcpy(returned, value.data(), copied * sizeof(WCHAR));
    returned[copied] = 0;
    return static_cast<DWORD>(copied);
}

} // namespace
} // namespace platform::profile

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR returned, DWORD size,
                               LPCWSTR fileName) {
    using namespace platform::profile;
    if (!returned || size == 0)
        return 0;
    if (!section || !key || !fileName) {
        returned[0] = 0;
        return 0;
    }
    const auto text = ReadText(fileName);
    const auto value = text ? Lookup(*text, section, key) : std::nullopt;
    if (value)
        return CopyOut(*value, returned, size);
    std::u16string_view fallback = defaultValue ? defaultValue : u"";
    while (!fallback.empty() && fallback.back() == u' ')
        fallback.remove_suffix(1);
    return CopyOut(fallback, returned, size);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
    WCHAR value[64];
    if (GetPrivateProfileStringW(section, key, u"", value, 64, fileName) == 0)
        return static_cast<UINT>(defaultValue);
    const WCHAR* p = value;
    const bool negative = *p == u'-';
    if (*p == u'-' || *p == u'+')
        ++p;
    long long number = 0;
    for (; *p >= u'0' && *p <= u'9' && number < 0x100000000LL; ++p)
        number = number * 10 + (*p - u'0');
    return static_cast<UINT>(negative ? -number : number);
}
