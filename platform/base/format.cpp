// The one printf engine of the platform, with the Windows meanings of the conversions, and the C runtime's
// formatting functions built on it.
#include "platform/base/windows.h"
#include "platform/base/unicode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

template <typename Char> constexpr bool kWide = sizeof(Char) == 2;

// Counts every unit and stores those that fit in [buf, buf + capacity), or appends to a growing string.
template <typename Char> class Sink {
public:
    Sink(Char* buf, size_t capacity) : m_buf(buf), m_capacity(buf ? capacity : 0) {}
    explicit Sink(std::basic_string<Char>* grow) : m_grow(grow) {}

    void Put(Char c) {
        if (m_grow)
            m_grow->push_back(c);
        else if (m_length < m_capacity)
            m_buf[m_length] = c;
        ++m_length;
    }
    void Put(const Char* p, size_t n) {
        if (m_grow) {
            m_grow->append(p, n);
        } else if (m_length < m_capacity) {
            size_t room = m_capacity - m_length;
            std::memcpy(m_buf + m_length, p, (n < room ? n : room) * sizeof(Char));
        }
        m_length += n;
    }
    void Fill(Char c, size_t n) {
        for (size_t i = 0; i < n; ++i)
            Put(c);
    }
    // ASCII text from the C library's number formatting.
    void PutAscii(const char* p, size_t n) {
        if constexpr (kWide<Char>) {
            for (size_t i = 0; i < n; ++i)
                Put(static_cast<Char>(static_cast<unsigned char>(p[i])));
        } else {
            Put(p, n);
        }
    }
    size_t Length() const { return m_length; }

private:
    Char* m_buf = nullptr;
    size_t m_capacity = 0;
    std::basic_string<Char>* m_grow = nullptr;
    size_t m_length = 0;
};

struct Directive {
    bool left = false;
    bool zero = false;
    char flags[6] = {}; // '+', ' ', '#', '0' for the C library
    int width = 0;
    int precision = -1;
    enum Size { Default, Char, Short, Long32, Long64, Pointer, LongDouble, Wide, Narrow } size = Default;
};

size_t StrLen(const char* s, int precision) {
    return precision < 0 ? std::strlen(s) : strnlen(s, static_cast<size_t>(precision));
}
size_t StrLen(const char16_t* s, int precision) {
    size_t n = 0;
    while ((precision < 0 || n < static_cast<size_t>(precision)) && s[n])
        ++n;
    return n;
}

// A string argument of either width, written into output of Char, padded to the width in output units.
template <typename Char, typename ArgChar>
void PutString(Sink<Char>& out, const ArgChar* s, const Directive& directive) {
    static const ArgChar kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    if (!s)
        s = kNull;
    size_t n = StrLen(s, directive.precision);
    std::basic_string_view<ArgChar> text(s, n);
    size_t outLength = n;
    if constexpr (sizeof(Char) != sizeof(ArgChar)) {
        outLength = 0;
        platform::unicode::ForEachCodePoint(text, [&](char32_t cp) {
            Char units[4];
            if constexpr (kWide<Char>)
                outLength += platform::unicode::EncodeUtf16(cp, units);
            else
                outLength += platform::unicode::EncodeUtf8(cp, units);
        });
    }
    size_t pad =
        directive.width > 0 && static_cast<size_t>(directive.width) > outLength ? directive.width - outLength : 0;
    if (!directive.left)
        out.Fill(directive.zero ? '0' : ' ', pad);
    if constexpr (sizeof(Char) == sizeof(ArgChar)) {
        out.Put(reinterpret_cast<const Char*>(text.data()), n);
    } else {
        platform::unicode::ForEachCodePoint(text, [&](char32_t cp) {
            Char units[4];
            if constexpr (kWide<Char>)
                out.Put(units, platform::unicode::EncodeUtf16(cp, units));
            else
                out.Put(units, platform::unicode::EncodeUtf8(cp, units));
        });
    }
    if (directive.left)
        out.Fill(' ', pad);
}

// Numbers are formatted by the C library (its output is plain ASCII); only the argument sizes follow Windows.
template <typename Char, typename Value>
void PutNumber(Sink<Char>& out, const Directive& directive, const char* length, char conversion, Value value) {
    char format[32];
    int f = 0;
    format[f++] = '%';
    if (directive.left)
        format[f++] = '-';
    for (const char* p = directive.flags; *p; ++p)
        format[f++] = *p;
    format[f++] = '*';
    format[f++] = '.';
    format[f++] = '*';
    for (const char* p = length; *p; ++p)
        format[f++] = *p;
    format[f++] = conversion;
    format[f] = 0;

    char local[128];
    int n = std::snprintf(local, sizeof local, format, directive.width, directive.precision, value);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof local) {
        out.PutAscii(local, static_cast<size_t>(n));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::snprintf(big.data(), big.size(), format, directive.width, directive.precision, value);
    out.PutAscii(big.data(), static_cast<size_t>(n));
}

template <typename Char> int ReadNumber(const Char*& p) {
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
        if (v < 100000000)
            v = v * 10 + (*p - '0');
        ++p;
    }
    return static_cast<int>(v);
}

template <typename Char> void Run(Sink<Char>& out, const Char* format, va_list args) {
    if (!format)
        return;
    const Char* p = format;
    while (*p) {
        if (*p != '%') {
            const Char* start = p;
            while (*p && *p != '%')
                ++p;
            out.Put(start, static_cast<size_t>(p - start));
            continue;
        }
        ++p;
        if (*p == '%') {
            out.Put('%');
            ++p;
            continue;
        }
        Directive directive;
        int nflags = 0;
        for (;; ++p) {
            if (*p == '-')
                directive.left = true;
            else if (*p == '0')
                directive.zero = true;
            else if (*p == '+' || *p == ' ' || *p == '#')
                ;
            else
                break;
            if (*p != '-' && nflags < 4 && !std::strchr(directive.flags, static_cast<char>(*p)))
                directive.flags[nflags++] = static_cast<char>(*p);
        }
        if (*p == '*') {
            directive.width = va_arg(args, int);
            if (directive.width < 0) {
                directive.left = true;
                directive.width = directive.width == -2147483647 - 1 ? 2147483647 : -directive.width;
            }
            ++p;
        } else {
            directive.width = ReadNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                directive.precision = va_arg(args, int);
                if (directive.precision < 0)
                    directive.precision = -1;
                ++p;
            } else {
                directive.precision = ReadNumber(p);
            }
        }
        switch (*p) {
        case 'h':
            ++p;
            directive.size = Directive::Short;
            if (*p == 'h') {
                directive.size = Directive::Char;
                ++p;
            }
            break;
        case 'l':
            ++p;
            directive.size = Directive::Long32; // long is 32 bits on Windows
            if (*p == 'l') {
                directive.size = Directive::Long64;
                ++p;
            }
            break;
        case 'w':
            ++p;
            directive.size = Directive::Wide;
            break;
        case 'L':
            ++p;
            directive.size = Directive::LongDouble;
            break;
        case 'z':
        case 't':
        case 'j':
            ++p;
            directive.size = Directive::Pointer;
            break;
        case 'I':
            if (p[1] == '6' && p[2] == '4') {
                p += 3;
                directive.size = Directive::Long64;
            } else if (p[1] == '3' && p[2] == '2') {
                p += 3;
                directive.size = Directive::Long32;
            } else {
                ++p;
                directive.size = Directive::Pointer;
            }
            break;
        default:
            break;
        }
        Char conversion = *p;
        if (!conversion)
            break;
        ++p;
        switch (conversion) {
        case 'd':
        case 'i': {
            long long v;
            switch (directive.size) {
            case Directive::Char:
                v = static_cast<signed char>(va_arg(args, int));
                break;
            case Directive::Short:
                v = static_cast<short>(va_arg(args, int));
                break;
            case Directive::Long64:
            case Directive::Pointer:
                v = va_arg(args, long long);
                break;
            default:
                v = va_arg(args, int);
                break;
            }
            PutNumber(out, directive, "ll", 'd', v);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            unsigned long long v;
            switch (directive.size) {
            case Directive::Char:
                v = static_cast<unsigned char>(va_arg(args, unsigned));
                break;
            case Directive::Short:
                v = static_cast<unsigned short>(va_arg(args, unsigned));
                break;
            case Directive::Long64:
            case Directive::Pointer:
                v = va_arg(args, unsigned long long);
                break;
            default:
                v = va_arg(args, unsigned);
                break;
            }
            PutNumber(out, directive, "ll", static_cast<char>(conversion), v);
            break;
        }
        case 'p': {
            // Windows prints a pointer as 16 upper-case hex digits.
            Directive pointer = directive;
            pointer.precision = 16;
            pointer.flags[0] = 0;
            PutNumber(out, pointer, "ll", 'X', reinterpret_cast<unsigned long long>(va_arg(args, void*)));
            break;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            // %Lf is a double on Windows as well. A precision of -1 is the C library's "none given".
            PutNumber(out, directive, "", static_cast<char>(conversion), va_arg(args, double));
            break;
        }
        case 'c':
        case 'C': {
            bool wideArg = (conversion == 'c') == kWide<Char>;
            if (directive.size == Directive::Short)
                wideArg = false;
            else if (directive.size == Directive::Long32 || directive.size == Directive::Wide)
                wideArg = true;
            int v = va_arg(args, int);
            Directive one = directive;
            one.precision = -1;
            if (wideArg) {
                const char16_t s[2] = {static_cast<char16_t>(v), 0};
                PutString(out, s, one);
            } else if constexpr (kWide<Char>) {
                // A lone narrow byte is taken as Latin-1 rather than as broken UTF-8.
                const char16_t w[2] = {static_cast<char16_t>(static_cast<unsigned char>(v)), 0};
                PutString(out, w, one);
            } else {
                const char s[2] = {static_cast<char>(v), 0};
                PutString(out, s, one);
            }
            break;
        }
        case 's':
        case 'S':
        case 'Z': {
            bool wideArg = (conversion == 's') == kWide<Char>;
            if (directive.size == Directive::Short)
                wideArg = false;
            else if (directive.size == Directive::Long32 || directive.size == Directive::Wide)
                wideArg = true;
            if (wideArg)
                PutString(out, va_arg(args, const char16_t*), directive);
            else
                PutString(out, va_arg(args, const char*), directive);
            break;
        }
        case 'n':
            (void)va_arg(args, void*); // never written, as with the secure run-time's default
            break;
        default:
            out.Put(conversion);
            break;
        }
    }
}

// Writes into buf (capacity units plus a terminator); answers the full length of the output.
template <typename Char> size_t FormatInto(Char* buf, size_t capacity, const Char* format, va_list args) {
    Sink<Char> out(buf, capacity);
    Run(out, format, args);
    size_t n = out.Length();
    if (buf)
        buf[n < capacity ? n : capacity] = 0;
    return n;
}

// vsnprintf-like: at most count - 1 units and a terminator; -1 when cut. A null buffer of count 0 measures.
template <typename Char> int Bounded(Char* buf, size_t count, const Char* format, va_list args) {
    if (!buf || count == 0) {
        if (!buf && count == 0) {
            Sink<Char> out(nullptr, 0);
            Run(out, format, args);
            return static_cast<int>(out.Length());
        }
        errno = EINVAL;
        return -1;
    }
    size_t n = FormatInto(buf, count - 1, format, args);
    return n > count - 1 ? -1 : static_cast<int>(n);
}

// The secure forms: an output longer than the buffer empties it, unless count is _TRUNCATE (keep what fits) or
// count itself is the smaller limit (truncate at count).
template <typename Char> int Secure(Char* buf, size_t size, size_t count, const Char* format, va_list args) {
    if (!buf || size == 0 || !format) {
        if (buf && size)
            buf[0] = 0;
        errno = EINVAL;
        return -1;
    }
    bool truncate = count == _TRUNCATE || count < size;
    size_t capacity = count == _TRUNCATE || count >= size ? size - 1 : count;
    size_t n = FormatInto(buf, capacity, format, args);
    if (n <= capacity)
        return static_cast<int>(n);
    if (!truncate) {
        buf[0] = 0;
        errno = ERANGE;
    }
    return -1;
}

} // namespace

int vswprintf(WCHAR* buf, size_t count, const WCHAR* format, va_list args) {
    return Bounded(buf, count, format, args);
}
int _vsnwprintf(WCHAR* buf, size_t count, const WCHAR* format, va_list args) {
    return Bounded(buf, count, format, args);
}
int vswprintf_s(WCHAR* buf, size_t size, const WCHAR* format, va_list args) {
    return Secure(buf, size, size, format, args);
}
int _vsnwprintf_s(WCHAR* buf, size_t size, size_t count, const WCHAR* format, va_list args) {
    return Secure(buf, size, count, format, args);
}
int wvsprintfW(LPWSTR buf, LPCWSTR format, va_list args) {
    int n = Bounded(buf, 1024, format, args);
    return n < 0 ? 1023 : n;
}
int _vscwprintf(const WCHAR* format, va_list args) {
    return Bounded<WCHAR>(nullptr, 0, format, args);
}
int _vsnprintf(char* buf, size_t count, const char* format, va_list args) {
    return Bounded(buf, count, format, args);
}
int vsprintf_s(char* buf, size_t size, const char* format, va_list args) {
    return Secure(buf, size, size, format, args);
}
int _vsnprintf_s(char* buf, size_t size, size_t count, const char* format, va_list args) {
    return Secure(buf, size, count, format, args);
}
int _vscprintf(const char* format, va_list args) {
    return Bounded<char>(nullptr, 0, format, args);
}

#define PLATFORM_VARIADIC(call)                                                                                        \
    va_list args;                                                                                                      \
    va_start(args, format);                                                                                            \
    int n = call;                                                                                                      \
    va_end(args);                                                                                                      \
    return n

int swprintf(WCHAR* buf, size_t count, const WCHAR* format, ...) {
    PLATFORM_VARIADIC(vswprintf(buf, count, format, args));
}
int swprintf_s(WCHAR* buf, size_t size, const WCHAR* format, ...) {
    PLATFORM_VARIADIC(vswprintf_s(buf, size, format, args));
}
int _snwprintf(WCHAR* buf, size_t count, const WCHAR* format, ...) {
    PLATFORM_VARIADIC(_vsnwprintf(buf, count, format, args));
}
int _snwprintf_s(WCHAR* buf, size_t size, size_t count, const WCHAR* format, ...) {
    PLATFORM_VARIADIC(_vsnwprintf_s(buf, size, count, format, args));
}
int wsprintfW(LPWSTR buf, LPCWSTR format, ...) {
    PLATFORM_VARIADIC(wvsprintfW(buf, format, args));
}
int _scwprintf(const WCHAR* format, ...) {
    PLATFORM_VARIADIC(_vscwprintf(format, args));
}
int sprintf_s(char* buf, size_t size, const char* format, ...) {
    PLATFORM_VARIADIC(vsprintf_s(buf, size, format, args));
}
int _snprintf(char* buf, size_t count, const char* format, ...) {
    PLATFORM_VARIADIC(_vsnprintf(buf, count, format, args));
}
int _snprintf_s(char* buf, size_t size, size_t count, const char* format, ...) {
    PLATFORM_VARIADIC(_vsnprintf_s(buf, size, count, format, args));
}
int wsprintfA(LPSTR buf, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = Bounded(buf, 1024, format, args);
    va_end(args);
    return n < 0 ? 1023 : n;
}

namespace platform {

std::u16string FormatV(const WCHAR* format, va_list args) {
    std::u16string text;
    Sink<WCHAR> out(&text);
    Run(out, format, args);
    return text;
}

std::string FormatV(const char* format, va_list args) {
    std::string text;
    Sink<char> out(&text);
    Run(out, format, args);
    return text;
}

std::u16string Format(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string text = FormatV(format, args);
    va_end(args);
    return text;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

} // namespace platform
