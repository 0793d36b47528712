// The C runtime's wide-string functions and the kernel's lstr* calls for WCHAR.
#include "platform/base/windows.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

namespace {

// ASCII is mapped directly; the rest of the BMP goes through the C library's tables of a UTF-8 locale (below).
WCHAR Upper(WCHAR c) {
    if (c < 0x80)
        return c >= 'a' && c <= 'z' ? static_cast<WCHAR>(c - 32) : c;
    if (c >= 0xD800 && c < 0xE000)
        return c;
    return static_cast<WCHAR>(std::towupper(static_cast<wint_t>(c)));
}
WCHAR Lower(WCHAR c) {
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? static_cast<WCHAR>(c + 32) : c;
    if (c >= 0xD800 && c < 0xE000)
        return c;
    return static_cast<WCHAR>(std::towlower(static_cast<wint_t>(c)));
}

// glibc's towupper is locale dependent; the program may never call setlocale, so pick a UTF-8 locale once for the
// wide case tables. The global C locale of the program is left alone.
struct CaseTables {
    locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    ~CaseTables() {
        if (locale)
            freelocale(locale);
    }
};
const CaseTables& Tables() {
    static CaseTables tables;
    return tables;
}

int Digit(WCHAR c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

const WCHAR* SkipSpace(const WCHAR* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
        ++s;
    return s;
}

// strtoull-like parse shared by the signed and unsigned forms; saturates instead of overflowing.
unsigned long long Parse(const WCHAR* s, WCHAR** end, int base, bool& negative, bool& overflow) {
    const WCHAR* p = SkipSpace(s);
    negative = false;
    overflow = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if ((base == 0 || base == 16) && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && Digit(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == '0' ? 8 : 10;
    }
    const WCHAR* digits = p;
    unsigned long long v = 0;
    for (; Digit(*p) < base; ++p) {
        unsigned long long next = v * static_cast<unsigned>(base) + static_cast<unsigned>(Digit(*p));
        if (next / static_cast<unsigned>(base) != v)
            overflow = true;
        v = overflow ? ~0ULL : next;
    }
    if (end)
        *end = const_cast<WCHAR*>(p == digits ? s : p);
    return v;
}

} // namespace

WCHAR towupper(WCHAR c) {
    if (c < 0x80 || !Tables().locale)
        return Upper(c);
    if (c >= 0xD800 && c < 0xE000)
        return c;
    return static_cast<WCHAR>(towupper_l(static_cast<wint_t>(c), Tables().locale));
}
WCHAR towlower(WCHAR c) {
    if (c < 0x80 || !Tables().locale)
        return Lower(c);
    if (c >= 0xD800 && c < 0xE000)
        return c;
    return static_cast<WCHAR>(towlower_l(static_cast<wint_t>(c), Tables().locale));
}
bool iswdigit(WCHAR c) {
    return c >= '0' && c <= '9';
}
bool iswspace(WCHAR c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x85 || c == 0xA0 || c == 0x3000;
}
bool iswalpha(WCHAR c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return Tables().locale && iswalpha_l(static_cast<wint_t>(c), Tables().locale);
}

size_t wcslen(const WCHAR* s) {
    return std::char_traits<WCHAR>::length(s);
}
size_t wcsnlen(const WCHAR* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n])
        ++n;
    return n;
}
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
    std::memmove(dst, src, (wcslen(src) + 1) * sizeof(WCHAR));
    return dst;
}
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; ++i)
        dst[i] = src[i];
    for (; i < n; ++i)
        dst[i] = 0;
    return dst;
}
WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
    wcscpy(dst + wcslen(dst), src);
    return dst;
}
WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t n) {
    WCHAR* d = dst + wcslen(dst);
    size_t i = 0;
    for (; i < n && src[i]; ++i)
        d[i] = src[i];
    d[i] = 0;
    return dst;
}
int wcscmp(const WCHAR* a, const WCHAR* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
        if (!a[i])
            return 0;
    }
    return 0;
}
// The C runtime compares case-insensitively by folding to lower case.
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        WCHAR x = towlower(a[i]);
        WCHAR y = towlower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
        if (!x)
            return 0;
    }
    return 0;
}
int _wcsicmp(const WCHAR* a, const WCHAR* b) {
    return _wcsnicmp(a, b, static_cast<size_t>(-1));
}
const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
    for (;; ++s) {
        if (*s == c)
            return s;
        if (!*s)
            return nullptr;
    }
}
WCHAR* wcschr(WCHAR* s, WCHAR c) {
    return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c));
}
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
    const WCHAR* found = nullptr;
    for (;; ++s) {
        if (*s == c)
            found = s;
        if (!*s)
            return found;
    }
}
WCHAR* wcsrchr(WCHAR* s, WCHAR c) {
    return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c));
}
const WCHAR* wcsstr(const WCHAR* s, const WCHAR* what) {
    std::u16string_view hay(s);
    size_t at = hay.find(std::u16string_view(what));
    return at == std::u16string_view::npos ? nullptr : s + at;
}
WCHAR* wcsstr(WCHAR* s, const WCHAR* what) {
    return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(s), what));
}
size_t wcsspn(const WCHAR* s, const WCHAR* accept) {
    size_t n = 0;
    while (s[n] && wcschr(accept, s[n]))
        ++n;
    return n;
}
size_t wcscspn(const WCHAR* s, const WCHAR* reject) {
    size_t n = 0;
    while (s[n] && !wcschr(reject, s[n]))
        ++n;
    return n;
}
const WCHAR* wcspbrk(const WCHAR* s, const WCHAR* accept) {
    size_t n = wcscspn(s, accept);
    return s[n] ? s + n : nullptr;
}
WCHAR* wcspbrk(WCHAR* s, const WCHAR* accept) {
    return const_cast<WCHAR*>(wcspbrk(static_cast<const WCHAR*>(s), accept));
}
WCHAR* _wcsdup(const WCHAR* s) {
    if (!s)
        return nullptr;
    size_t bytes = (wcslen(s) + 1) * sizeof(WCHAR);
    auto* copy = static_cast<WCHAR*>(std::malloc(bytes));
    if (copy)
        std::memcpy(copy, s, bytes);
    return copy;
}

WCHAR* _wcsupr(WCHAR* s) {
    for (WCHAR* p = s; *p; ++p)
        *p = towupper(*p);
    return s;
}
WCHAR* _wcslwr(WCHAR* s) {
    for (WCHAR* p = s; *p; ++p)
        *p = towlower(*p);
    return s;
}
errno_t _wcsupr_s(WCHAR* s, size_t size) {
    if (!s || wcsnlen(s, size) == size)
        return EINVAL;
    _wcsupr(s);
    return 0;
}
errno_t _wcslwr_s(WCHAR* s, size_t size) {
    if (!s || wcsnlen(s, size) == size)
        return EINVAL;
    _wcslwr(s);
    return 0;
}

long long _wtoi64(const WCHAR* s) {
    if (!s)
        return 0;
    bool negative = false;
    bool overflow = false;
    unsigned long long v = Parse(s, nullptr, 10, negative, overflow);
    if (overflow || v > (negative ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL))
        return negative ? LLONG_MIN : LLONG_MAX;
    return negative ? static_cast<long long>(0 - v) : static_cast<long long>(v);
}
long wcstol(const WCHAR* s, WCHAR** end, int base) {
    bool negative = false;
    bool overflow = false;
    unsigned long long v = Parse(s, end, base, negative, overflow);
    if (overflow || v > (negative ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL)) {
        errno = ERANGE;
        return negative ? LONG_MIN : LONG_MAX;
    }
    return negative ? static_cast<long>(0 - v) : static_cast<long>(v);
}
unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base) {
    bool negative = false;
    bool overflow = false;
    unsigned long long v = Parse(s, end, base, negative, overflow);
    if (overflow) {
        errno = ERANGE;
        return ULONG_MAX;
    }
    return negative ? static_cast<unsigned long>(0 - v) : static_cast<unsigned long>(v);
}
// _wtoi and _wtol work in 32 bits (long is 32 bits on Windows) and saturate.
int _wtoi(const WCHAR* s) {
    long long v = _wtoi64(s);
    return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
}
long _wtol(const WCHAR* s) {
    return _wtoi(s);
}
double wcstod(const WCHAR* s, WCHAR** end) {
    const WCHAR* p = SkipSpace(s);
    std::string narrow;
    for (const WCHAR* q = p; *q && *q < 0x80 && narrow.size() < 400; ++q)
        narrow += static_cast<char>(*q);
    char* narrowEnd = nullptr;
    double v = std::strtod(narrow.c_str(), &narrowEnd);
    size_t used = static_cast<size_t>(narrowEnd - narrow.c_str());
    if (end)
        *end = const_cast<WCHAR*>(used ? p + used : s);
    return v;
}
double _wtof(const WCHAR* s) {
    return s ? wcstod(s, nullptr) : 0.0;
}

errno_t _itow_s(int value, WCHAR* buf, size_t size, int radix) {
    if (!buf || size == 0 || radix < 2 || radix > 36)
        return EINVAL;
    WCHAR digits[40];
    size_t n = 0;
    bool negative = radix == 10 && value < 0;
    unsigned v = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        unsigned d = v % static_cast<unsigned>(radix);
        digits[n++] = static_cast<WCHAR>(d < 10 ? '0' + d : 'a' + d - 10);
        v /= static_cast<unsigned>(radix);
    } while (v);
    if (negative)
        digits[n++] = '-';
    if (n + 1 > size) {
        buf[0] = 0;
        return ERANGE;
    }
    for (size_t i = 0; i < n; ++i)
        buf[i] = digits[n - 1 - i];
    buf[n] = 0;
    return 0;
}
WCHAR* _itow(int value, WCHAR* buf, int radix) {
    _itow_s(value, buf, 34, radix);
    return buf;
}

int lstrlenW(LPCWSTR s) {
    return s ? static_cast<int>(wcslen(s)) : 0;
}
int lstrlenA(LPCSTR s) {
    return s ? static_cast<int>(std::strlen(s)) : 0;
}
LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src) {
    if (!dst || !src)
        return nullptr;
    return wcscpy(dst, src);
}
LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int max) {
    if (!dst || !src || max <= 0)
        return max == 0 ? dst : nullptr;
    int i = 0;
    for (; i < max - 1 && src[i]; ++i)
        dst[i] = src[i];
    dst[i] = 0;
    return dst;
}
LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src) {
    if (!dst || !src)
        return nullptr;
    return wcscat(dst, src);
}
// lstrcmp compares by the user's collation; ordinal order with NULL as the smallest string is what callers here need.
int lstrcmpW(LPCWSTR a, LPCWSTR b) {
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    return wcscmp(a, b);
}
int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    return _wcsicmp(a, b);
}

namespace {

template <typename Char> errno_t CopyBounded(Char* dst, size_t size, const Char* src, size_t count, bool append) {
    if (!dst || size == 0)
        return EINVAL;
    if (!src) {
        dst[0] = 0;
        return EINVAL;
    }
    size_t start = 0;
    if (append) {
        while (start < size && dst[start])
            ++start;
        if (start == size) { // the destination was not terminated
            dst[0] = 0;
            return EINVAL;
        }
    }
    size_t n = 0;
    while (n < count && src[n])
        ++n;
    if (start + n + 1 <= size) {
        std::memcpy(dst + start, src, n * sizeof(Char));
        dst[start + n] = 0;
        return 0;
    }
    if (count == _TRUNCATE) {
        size_t fit = size - 1 - start;
        std::memcpy(dst + start, src, fit * sizeof(Char));
        dst[size - 1] = 0;
        return STRUNCATE;
    }
    dst[0] = 0;
    return ERANGE;
}

} // namespace

errno_t wcscpy_s(WCHAR* dst, size_t size, const WCHAR* src) {
    return CopyBounded(dst, size, src, static_cast<size_t>(-2), false);
}
errno_t wcscat_s(WCHAR* dst, size_t size, const WCHAR* src) {
    return CopyBounded(dst, size, src, static_cast<size_t>(-2), true);
}
errno_t wcsncpy_s(WCHAR* dst, size_t size, const WCHAR* src, size_t count) {
    return CopyBounded(dst, size, src, count, false);
}
errno_t wcsncat_s(WCHAR* dst, size_t size, const WCHAR* src, size_t count) {
    return CopyBounded(dst, size, src, count, true);
}
errno_t strcpy_s(char* dst, size_t size, const char* src) {
    return CopyBounded(dst, size, src, static_cast<size_t>(-2), false);
}
errno_t strcat_s(char* dst, size_t size, const char* src) {
    return CopyBounded(dst, size, src, static_cast<size_t>(-2), true);
}
errno_t strncpy_s(char* dst, size_t size, const char* src, size_t count) {
    return CopyBounded(dst, size, src, count, false);
}
