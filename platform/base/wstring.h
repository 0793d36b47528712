// The C runtime's wide-string and formatting functions for WCHAR (= char16_t), and the narrow/wide conversion.
// They live in the global namespace beside the wchar_t ones of <cwchar>; every overload takes WCHAR pointers, so the
// two sets never clash.
//
// Formatting follows the Windows meanings: in a wide format %s and %ls take a wide string, %S and %hs a narrow
// (UTF-8) one, %c a wide character, %C a narrow one; in a narrow format it is the other way round. `l` is 32 bits
// (LONG), `ll`/`I64` 64 bits, `z`/`I` pointer-sized. Every function writes at most the size it is given and always
// terminates what it wrote (also where the C runtime would not).
#pragma once

#include "platform/base/wintypes.h"

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

#ifndef _TRUNCATE
#define _TRUNCATE (static_cast<size_t>(-1))
#endif
#ifndef _countof
#define _countof(a) (sizeof(a) / sizeof((a)[0]))
#endif

using errno_t = int;

// Lengths, copies and comparisons.
size_t wcslen(const WCHAR* s);
size_t wcsnlen(const WCHAR* s, size_t max);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n); // pads with zeros; no terminator when src is longer
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t n);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n);
const WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcschr(WCHAR* s, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(WCHAR* s, WCHAR c);
const WCHAR* wcsstr(const WCHAR* s, const WCHAR* what);
WCHAR* wcsstr(WCHAR* s, const WCHAR* what);
size_t wcsspn(const WCHAR* s, const WCHAR* accept);
size_t wcscspn(const WCHAR* s, const WCHAR* reject);
const WCHAR* wcspbrk(const WCHAR* s, const WCHAR* accept);
WCHAR* wcspbrk(WCHAR* s, const WCHAR* accept);
WCHAR* _wcsdup(const WCHAR* s); // free() it

// Case: simple upper/lower case mapping of the Basic Multilingual Plane.
WCHAR towupper(WCHAR c);
WCHAR towlower(WCHAR c);
WCHAR* _wcsupr(WCHAR* s);
WCHAR* _wcslwr(WCHAR* s);
errno_t _wcsupr_s(WCHAR* s, size_t size);
errno_t _wcslwr_s(WCHAR* s, size_t size);
bool iswdigit(WCHAR c);
bool iswspace(WCHAR c);
bool iswalpha(WCHAR c);

// Numbers. Leading white space is skipped; conversion stops at the first character that does not fit.
int _wtoi(const WCHAR* s);
long _wtol(const WCHAR* s);
long long _wtoi64(const WCHAR* s);
double _wtof(const WCHAR* s);
long wcstol(const WCHAR* s, WCHAR** end, int base);
unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base);
double wcstod(const WCHAR* s, WCHAR** end);
WCHAR* _itow(int value, WCHAR* buf, int radix);
errno_t _itow_s(int value, WCHAR* buf, size_t size, int radix);

// The Windows string calls (kernel32 forms).
int lstrlenW(LPCWSTR s); // NULL gives 0
LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src);
LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int max); // copies at most max-1 characters and always terminates
LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src);
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
int lstrlenA(LPCSTR s);
#define lstrlen lstrlenW
#define lstrcpy lstrcpyW
#define lstrcpyn lstrcpynW
#define lstrcat lstrcatW
#define lstrcmp lstrcmpW
#define lstrcmpi lstrcmpiW

// Secure forms: 0 on success; on a short buffer the destination becomes empty and ERANGE (STRUNCATE for
// _TRUNCATE, which keeps as much as fits) is answered.
#ifndef STRUNCATE
#define STRUNCATE 80
#endif
errno_t wcscpy_s(WCHAR* dst, size_t size, const WCHAR* src);
errno_t wcscat_s(WCHAR* dst, size_t size, const WCHAR* src);
errno_t wcsncpy_s(WCHAR* dst, size_t size, const WCHAR* src, size_t count);
errno_t wcsncat_s(WCHAR* dst, size_t size, const WCHAR* src, size_t count);
errno_t strcpy_s(char* dst, size_t size, const char* src);
errno_t strcat_s(char* dst, size_t size, const char* src);
errno_t strncpy_s(char* dst, size_t size, const char* src, size_t count);
template <size_t N> errno_t wcscpy_s(WCHAR (&dst)[N], const WCHAR* src) {
    return wcscpy_s(dst, N, src);
}
template <size_t N> errno_t wcscat_s(WCHAR (&dst)[N], const WCHAR* src) {
    return wcscat_s(dst, N, src);
}
template <size_t N> errno_t wcsncpy_s(WCHAR (&dst)[N], const WCHAR* src, size_t count) {
    return wcsncpy_s(dst, N, src, count);
}
template <size_t N> errno_t strcpy_s(char (&dst)[N], const char* src) {
    return strcpy_s(dst, N, src);
}
template <size_t N> errno_t strcat_s(char (&dst)[N], const char* src) {
    return strcat_s(dst, N, src);
}

// Formatting. Results are the number of characters written without the terminator, or -1 when the output did not
// fit (the destination then holds the part that fitted, terminated, except for the _s forms without _TRUNCATE,
// which leave it empty). wsprintfW writes at most 1024 characters, as on Windows.
int swprintf(WCHAR* buf, size_t count, const WCHAR* format, ...);
int swprintf_s(WCHAR* buf, size_t size, const WCHAR* format, ...);
int _snwprintf(WCHAR* buf, size_t count, const WCHAR* format, ...);
int _snwprintf_s(WCHAR* buf, size_t size, size_t count, const WCHAR* format, ...);
int wsprintfW(LPWSTR buf, LPCWSTR format, ...);
int vswprintf(WCHAR* buf, size_t count, const WCHAR* format, va_list args);
int vswprintf_s(WCHAR* buf, size_t size, const WCHAR* format, va_list args);
int _vsnwprintf(WCHAR* buf, size_t count, const WCHAR* format, va_list args);
int _vsnwprintf_s(WCHAR* buf, size_t size, size_t count, const WCHAR* format, va_list args);
int wvsprintfW(LPWSTR buf, LPCWSTR format, va_list args);
int _scwprintf(const WCHAR* format, ...); // the length the output would have
int _vscwprintf(const WCHAR* format, va_list args);
int sprintf_s(char* buf, size_t size, const char* format, ...);
int _snprintf(char* buf, size_t count, const char* format, ...);
int _snprintf_s(char* buf, size_t size, size_t count, const char* format, ...);
int vsprintf_s(char* buf, size_t size, const char* format, va_list args);
int _vsnprintf(char* buf, size_t count, const char* format, va_list args);
int _vsnprintf_s(char* buf, size_t size, size_t count, const char* format, va_list args);
int _vscprintf(const char* format, va_list args);
int wsprintfA(LPSTR buf, LPCSTR format, ...);
#define wsprintf wsprintfW
template <size_t N> int swprintf_s(WCHAR (&buf)[N], const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vswprintf_s(buf, N, format, args);
    va_end(args);
    return n;
}
template <size_t N> int _snwprintf_s(WCHAR (&buf)[N], size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf_s(buf, N, count, format, args);
    va_end(args);
    return n;
}
template <size_t N> int sprintf_s(char (&buf)[N], const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vsprintf_s(buf, N, format, args);
    va_end(args);
    return n;
}

// Narrow/wide conversion. Every code page is UTF-8 (the "ANSI code page" of this system).
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst, int dstLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLength, LPSTR dst, int dstLength,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar);

namespace platform {

// Ill-formed input becomes U+FFFD; an unpaired surrogate is encoded as itself would be (WTF-8) so names survive.
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

// The formatting engine behind every call above, for callers that want a growing string.
std::u16string FormatV(const WCHAR* format, va_list args);
std::u16string Format(const WCHAR* format, ...);
std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...);

} // namespace platform
