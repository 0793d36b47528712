// Narrow/wide conversion. Every code page is UTF-8.
#include "platform/base/windows.h"
#include "platform/base/unicode.h"

namespace platform {

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    unicode::ForEachCodePoint(text, [&](char32_t cp) { unicode::AppendUtf8(out, cp); });
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    unicode::ForEachCodePoint(text, [&](char32_t cp) { unicode::AppendUtf16(out, cp); });
    return out;
}

} // namespace platform

namespace {

// A sink that counts everything and stores what fits; `overflow` tells the caller the buffer was short.
template <typename Char> struct BoundedOut {
    Char* dst;
    size_t capacity;
    size_t length = 0;
    bool overflow = false;
    void Put(const Char* units, size_t n) {
        if (dst && capacity) {
            if (length + n > capacity) {
                overflow = true;
                return;
            }
            for (size_t i = 0; i < n; ++i)
                dst[length + i] = units[i];
        }
        length += n;
    }
};

} // namespace

int MultiByteToWideChar(UINT, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst, int dstLength) {
    if (!src || srcLength == 0 || dstLength < 0 || (dstLength > 0 && !dst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A length of -1 includes the terminator in the conversion and the count.
    size_t n = srcLength < 0 ? std::char_traits<char>::length(src) + 1 : static_cast<size_t>(srcLength);
    if ((flags & MB_ERR_INVALID_CHARS) && !platform::unicode::IsValidUtf8(std::string_view(src, n))) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    BoundedOut<WCHAR> out{dst, static_cast<size_t>(dstLength)};
    platform::unicode::ForEachCodePoint(std::string_view(src, n), [&](char32_t cp) {
        WCHAR units[2];
        out.Put(units, platform::unicode::EncodeUtf16(cp, units));
    });
    if (out.overflow) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(out.length);
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR src, int srcLength, LPSTR dst, int dstLength, LPCSTR,
                        LPBOOL usedDefaultChar) {
    if (!src || srcLength == 0 || dstLength < 0 || (dstLength > 0 && !dst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = srcLength < 0 ? std::char_traits<char16_t>::length(src) + 1 : static_cast<size_t>(srcLength);
    if (usedDefaultChar)
        *usedDefaultChar = FALSE;
    BoundedOut<char> out{dst, static_cast<size_t>(dstLength)};
    platform::unicode::ForEachCodePoint(std::u16string_view(src, n), [&](char32_t cp) {
        char units[4];
        out.Put(units, platform::unicode::EncodeUtf8(cp, units));
    });
    if (out.overflow) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(out.length);
}

UINT GetACP() {
    return CP_UTF8;
}
UINT GetOEMCP() {
    return CP_UTF8;
}
