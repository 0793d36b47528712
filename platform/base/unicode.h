// UTF-8 and UTF-16 code-point walking shared by the conversions and the formatting engine (internal).
#pragma once

#include <string>
#include <string_view>

namespace platform::unicode {

inline constexpr char32_t kReplacement = 0xFFFD;

// Ill-formed UTF-8 yields U+FFFD per bad byte; encoded surrogates (as WTF-8 writes them) come back as themselves.
template <typename F> void ForEachCodePoint(std::string_view s, F&& emit) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        unsigned char b = *p;
        if (b < 0x80) {
            emit(static_cast<char32_t>(b));
            ++p;
            continue;
        }
        int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
        if (extra < 0 || end - p <= extra) {
            emit(kReplacement);
            ++p;
            continue;
        }
        char32_t cp = b & (0x3F >> extra);
        bool ok = true;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[extra] || cp > 0x10FFFF) {
            emit(kReplacement);
            ++p;
            continue;
        }
        emit(cp);
        p += extra + 1;
    }
}

// An unpaired surrogate is passed through as its own value.
template <typename F> void ForEachCodePoint(std::u16string_view s, F&& emit) {
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t u = s[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            emit(0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else {
            emit(u);
        }
    }
}

inline size_t EncodeUtf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

inline size_t EncodeUtf16(char32_t cp, char16_t* out) {
    if (cp < 0x10000) {
        out[0] = static_cast<char16_t>(cp);
        return 1;
    }
    cp -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    return 2;
}

inline void AppendUtf8(std::string& out, char32_t cp) {
    char units[4];
    out.append(units, EncodeUtf8(cp, units));
}
inline void AppendUtf16(std::u16string& out, char32_t cp) {
    char16_t units[2];
    out.append(units, EncodeUtf16(cp, units));
}

inline bool IsValidUtf8(std::string_view s) {
    bool valid = true;
    // A literal U+FFFD in the input is valid; only a replacement produced from bad bytes is not. Re-encode and compare.
    std::string again;
    again.reserve(s.size());
    ForEachCodePoint(s, [&](char32_t cp) { AppendUtf8(again, cp); });
    valid = again == s;
    return valid;
}

} // namespace platform::unicode
