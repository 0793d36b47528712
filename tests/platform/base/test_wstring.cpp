// Wide strings, the formatting engine with its Windows meanings, narrow/wide conversion and CString.
#include "platform/base/cstring.h"
#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string U8(const WCHAR* s) {
    return platform::ToUtf8(s);
}

TEST(WideFormat, LowerSIsWideAndUpperSIsNarrowInAWideFormat) {
    WCHAR buf[64];
    ASSERT_EQ(swprintf_s(buf, u"%s|%S|%ls|%hs|%ws", u"wide", "narrow", u"l", "h", u"w"), 17);
    EXPECT_EQ(U8(buf), "wide|narrow|l|h|w");
}

TEST(NarrowFormat, LowerSIsNarrowAndUpperSIsWideInANarrowFormat) {
    char buf[64];
    ASSERT_GT(sprintf_s(buf, "%s|%S|%ls|%hs", "narrow", u"wide", u"l", "h"), 0);
    EXPECT_STREQ(buf, "narrow|wide|l|h");
}

TEST(WideFormat, ConvertsNonAsciiAcrossWidths) {
    WCHAR buf[32];
    swprintf_s(buf, u"%S", "\xC3\xA9t\xC3\xA9 \xE4\xB8\xAD");
    EXPECT_EQ(std::u16string(buf), u"été 中");
    char narrow[32];
    sprintf_s(narrow, "%S", u"été 中");
    EXPECT_STREQ(narrow, "\xC3\xA9t\xC3\xA9 \xE4\xB8\xAD");
}

TEST(WideFormat, IntegerSizesFollowWindows) {
    WCHAR buf[128];
    long long big = 0x123456789LL;
    LONG l = -5;
    swprintf_s(buf, u"%d %ld %I64d %lld %u %x %X %o %zu %hd %I64u", -7, l, big, big, 4000000000u, 255u, 255u, 8u,
               static_cast<size_t>(1) << 40, 70000, ~0ULL);
    EXPECT_EQ(U8(buf), "-7 -5 4886718345 4886718345 4000000000 ff FF 10 1099511627776 4464 18446744073709551615");
}

TEST(WideFormat, FlagsWidthPrecisionAndStar) {
    WCHAR buf[128];
    swprintf_s(buf, u"[%5d][%-5d][%05d][%+d][% d][%#x][%.3d][%*d][%-*d][%.*s]", 42, 42, 42, 42, 42, 255, 7, 4, 1, 3, 2,
               2, u"abcdef");
    EXPECT_EQ(U8(buf), "[   42][42   ][00042][+42][ 42][0xff][007][   1][2  ][ab]");
    swprintf_s(buf, u"[%8s][%-8s][%3s]", u"ab", u"ab", u"abcdef");
    EXPECT_EQ(U8(buf), "[      ab][ab      ][abcdef]");
}

TEST(WideFormat, FloatsCharactersPointersAndPercent) {
    WCHAR buf[128];
    swprintf_s(buf, u"%.2f %0.5f %e %g %c%C %% %5.1f", 3.14159, 0.5, 1234.5, 0.0001, u'\x4E2D', 'n', 2.25);
    EXPECT_EQ(U8(buf), "3.14 0.50000 1.234500e+03 0.0001 中n %   2.2");
    swprintf_s(buf, u"%p", reinterpret_cast<void*>(0xABCDEF));
    EXPECT_EQ(U8(buf), "0000000000ABCDEF");
}

TEST(WideFormat, NullStringPrintsNull) {
    WCHAR buf[16];
    swprintf_s(buf, u"%s", static_cast<const WCHAR*>(nullptr));
    EXPECT_EQ(U8(buf), "(null)");
}

TEST(WideFormat, BoundedFormsCutAndTerminate) {
    WCHAR buf[8];
    for (auto& c : buf)
        c = u'#';
    EXPECT_EQ(_snwprintf(buf, 5, u"%s", u"abcdefgh"), -1);
    EXPECT_EQ(std::u16string(buf), u"abcd") << "cut output is still terminated";
    EXPECT_EQ(buf[5], u'#') << "nothing is written past the count";

    EXPECT_EQ(_snwprintf_s(buf, _countof(buf), _TRUNCATE, u"%d", 123456789), -1);
    EXPECT_EQ(std::u16string(buf), u"1234567");
    EXPECT_EQ(_snwprintf_s(buf, _countof(buf), 3, u"%s", u"abcdef"), -1);
    EXPECT_EQ(std::u16string(buf), u"abc");

    EXPECT_EQ(swprintf_s(buf, u"%s", u"far too long"), -1);
    EXPECT_EQ(buf[0], 0) << "a secure form without _TRUNCATE empties the buffer";

    EXPECT_EQ(_snwprintf(buf, 8, u"%d", 42), 2);
    EXPECT_EQ(std::u16string(buf), u"42");
    EXPECT_EQ(_scwprintf(u"%s-%d", u"abc", 12345), 9);
}

TEST(WideFormat, WsprintfStopsAt1024Characters) {
    std::u16string big(2000, u'x');
    std::u16string out(3000, u'#');
    int n = wsprintfW(out.data(), u"%s", big.c_str());
    EXPECT_EQ(n, 1023);
    EXPECT_EQ(out[1023], 0);
    EXPECT_EQ(out[1024], u'#');
}

TEST(WideString, ComparisonsAndSearch) {
    EXPECT_EQ(_wcsicmp(u"Scanner.INI", u"scanner.ini"), 0);
    EXPECT_LT(_wcsicmp(u"abc", u"ABD"), 0);
    EXPECT_EQ(_wcsnicmp(u"PhotoShop.EXE", u"PHOTOSHOP", 9), 0);
    EXPECT_EQ(_wcsicmp(u"ÉTÉ", u"été"), 0) << "case folding covers more than ASCII";
    EXPECT_GT(wcscmp(u"b", u"a"), 0);
    const WCHAR* path = u"C:\\Windows\\twain\\file.ini";
    EXPECT_EQ(wcsrchr(path, u'\\'), path + 16);
    EXPECT_EQ(wcschr(path, u'W'), path + 3);
    EXPECT_EQ(wcsstr(path, u"twain"), path + 11);
    EXPECT_EQ(wcsstr(path, u"none"), nullptr);
    WCHAR up[] = u"photoshop.exe é";
    EXPECT_EQ(std::u16string(_wcsupr(up)), u"PHOTOSHOP.EXE É");
}

TEST(WideString, NumbersParseLikeTheRuntime) {
    EXPECT_EQ(_wtoi(u"  -42abc"), -42);
    EXPECT_EQ(_wtoi(u"x1"), 0);
    EXPECT_EQ(_wtoi(u"99999999999"), INT_MAX);
    WCHAR* end = nullptr;
    const WCHAR* text = u"0x1F rest";
    EXPECT_EQ(wcstol(text, &end, 16), 31);
    EXPECT_EQ(end, text + 4);
    EXPECT_DOUBLE_EQ(_wtof(u"2.5e1"), 25.0);
    WCHAR buf[16];
    EXPECT_EQ(std::u16string(_itow(-123, buf, 10)), u"-123");
}

TEST(WideString, SecureCopiesRefuseOrTruncate) {
    WCHAR buf[6];
    EXPECT_EQ(wcscpy_s(buf, u"abcde"), 0);
    EXPECT_EQ(wcscat_s(buf, u"f"), ERANGE);
    EXPECT_EQ(buf[0], 0) << "a failed copy leaves an empty string";
    EXPECT_EQ(wcsncpy_s(buf, _countof(buf), u"abcdefgh", _TRUNCATE), STRUNCATE);
    EXPECT_EQ(std::u16string(buf), u"abcde");
    EXPECT_EQ(wcsncpy_s(buf, _countof(buf), u"abcdefgh", 3), 0);
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_EQ(std::u16string(lstrcpynW(buf, u"abcdefgh", 4)), u"abc");
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrcmpiW(u"ABC", u"abc"), 0);
}

TEST(CodePage, RoundTripsAndMeasures) {
    const char* text = "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"; // "Grüß 😀"
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    ASSERT_EQ(n, 8) << "a supplementary character takes two units, and -1 counts the terminator";
    WCHAR wide[8];
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, n), n);
    EXPECT_EQ(std::u16string(wide), u"Grüß 😀");
    char back[16];
    int m = WideCharToMultiByte(CP_ACP, 0, wide, -1, back, sizeof back, nullptr, nullptr);
    EXPECT_EQ(m, static_cast<int>(std::strlen(text)) + 1);
    EXPECT_STREQ(back, text);

    WCHAR small[3];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, small, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\xFF", 1, small, 3), 0);
    EXPECT_EQ(platform::ToUtf16("a\xFF"), u"a\uFFFD") << "bad bytes become the replacement character";
}

TEST(CString, FormatTakesWideStringsForPercentS) {
    CString s;
    s.Format(u"%s failed with error %d: %s", u"Wait error", 6, u"The handle is invalid.");
    EXPECT_EQ(s, u"Wait error failed with error 6: The handle is invalid.");
    s.AppendFormat(u" (%S)", "narrow");
    EXPECT_EQ(s.Right(8), u"(narrow)");
}

TEST(CString, StringObjectsPassToPercentSAsOnWindows) {
    CString name(u"Scanner64");
    CStringA label("label");
    CString s;
    s.Format(u"%s.ds %S:%d", name, label, 7);
    EXPECT_EQ(s, u"Scanner64.ds label:7");
    s.AppendFormat(u" [%s]", CString(u"more"));
    EXPECT_EQ(s, u"Scanner64.ds label:7 [more]");
}

TEST(CString, EditingMembers) {
    CString s(u"  C:\\Temp\\Kor1A.tmp  ");
    s.Trim();
    EXPECT_EQ(s.GetLength(), 17);
    EXPECT_EQ(s.ReverseFind(u'\\'), 7);
    EXPECT_EQ(s.Left(2), u"C:");
    EXPECT_EQ(s.Mid(8), u"Kor1A.tmp");
    EXPECT_EQ(s.Mid(8, 3), u"Kor");
    EXPECT_EQ(s.Mid(40), u"") << "out-of-range arguments are clamped";
    EXPECT_EQ(s.Find(u".tmp"), 13);
    EXPECT_EQ(s.Find(u'Z'), -1);
    EXPECT_EQ(s.Replace(u"\\", u"/"), 2);
    EXPECT_EQ(s, u"C:/Temp/Kor1A.tmp");
    EXPECT_EQ(s.CompareNoCase(u"c:/TEMP/kor1a.TMP"), 0);
    EXPECT_NE(s.Compare(u"c:/TEMP/kor1a.TMP"), 0);
    s.MakeUpper();
    EXPECT_EQ(s, u"C:/TEMP/KOR1A.TMP");
    CString t = CString(u"a") + u"b" + u'c';
    EXPECT_EQ(t, u"abc");
    LPCWSTR raw = t;
    EXPECT_EQ(wcslen(raw), 3u);
}

TEST(CString, GetBufferReleaseBufferTakesTheTerminatedLength) {
    CString s;
    WCHAR* p = s.GetBuffer(MAX_PATH);
    wcscpy_s(p, MAX_PATH, u"C:\\Windows");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 10);
    p = s.GetBuffer();
    p[2] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(s, u"C:");
}

TEST(CString, NarrowAndWideConvertAsUtf8) {
    CStringA a(CString(u"Grüß"));
    EXPECT_STREQ(a.GetString(), "Gr\xC3\xBC\xC3\x9F");
    CString w("Gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(w, u"Grüß");
    CStringA f;
    f.Format("%s:%d", "label", 3);
    EXPECT_STREQ(f, "label:3");
}

} // namespace

namespace {

std::string FormatOne(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string text = platform::FormatV(format, args);
    va_end(args);
    return platform::ToUtf8(text);
}

TEST(WideFormat, LessCommonDirectives) {
    EXPECT_EQ(FormatOne(u"[%-*s]", -6, u"ab"), "[ab    ]") << "a negative * width means left-justified";
    EXPECT_EQ(FormatOne(u"[%*.*f]", 8, 2, 3.14159), "[    3.14]");
    EXPECT_EQ(FormatOne(u"%I32d %I32u", -1, 0xFFFFFFFFu), "-1 4294967295");
    EXPECT_EQ(FormatOne(u"%hhd %hhu", 300, 300), "44 44");
    EXPECT_EQ(FormatOne(u"%+.3e", 12345.678), "+1.235e+04");
    EXPECT_EQ(FormatOne(u"%#o %#X", 8, 255), "010 0XFF");
    EXPECT_EQ(FormatOne(u"%05.1f|%-6.2f|", 2.5, 1.0), "002.5|1.00  |");
    EXPECT_EQ(FormatOne(u"%lc%hc", u'\u00E9', 'a'), "éa");
    EXPECT_EQ(FormatOne(u"%5c|%-3c|", u'x', u'y'), "    x|y  |");
    EXPECT_EQ(FormatOne(u"100%%"), "100%");
    EXPECT_EQ(FormatOne(u"tail %"), "tail ") << "a lone % at the end writes nothing";
    EXPECT_EQ(FormatOne(u"%.3S", "abcdef"), "abc") << "precision cuts a narrow argument too";
    EXPECT_EQ(FormatOne(u"%zd %Iu", static_cast<size_t>(1) << 33, static_cast<size_t>(7)), "8589934592 7");
}

TEST(NarrowFormat, BoundedFormsCutAndTerminate) {
    char buf[6];
    EXPECT_EQ(_snprintf(buf, sizeof buf, "%s", "abcdefgh"), -1);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(_snprintf_s(buf, sizeof buf, _TRUNCATE, "%d", 1234567), -1);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(sprintf_s(buf, "%s:%d", "ab", 12), 5);
    EXPECT_STREQ(buf, "ab:12");
    EXPECT_EQ(sprintf_s(buf, "%s", "toolong"), -1);
    EXPECT_STREQ(buf, "");
    char label[64];
    sprintf_s(label, "%s:%d", "PDF_ToFile error :", 32);
    EXPECT_STREQ(label, "PDF_ToFile error ::32");
}

TEST(CString, TokensSpansAndInsertion) {
    CString list(u"a, b,,c");
    int at = 0;
    std::vector<std::u16string> tokens;
    for (CString token = list.Tokenize(u", ", at); at != -1; token = list.Tokenize(u", ", at))
        tokens.emplace_back(token.GetString());
    EXPECT_EQ(tokens, (std::vector<std::u16string>{u"a", u"b", u"c"})) << "empty tokens are skipped";
    CString digits(u"2024-03-05_007");
    EXPECT_EQ(digits.SpanIncluding(u"0123456789"), u"2024");
    EXPECT_EQ(digits.SpanExcluding(u"_"), u"2024-03-05");
    EXPECT_EQ(digits.FindOneOf(u"_-"), 4);
    EXPECT_EQ(digits.Find(u'0', 5), 5);
    CString edit(u"Scan.pdf");
    edit.Insert(4, u" 5");
    EXPECT_EQ(edit, u"Scan 5.pdf");
    edit.Delete(4, 2);
    EXPECT_EQ(edit, u"Scan.pdf");
    EXPECT_EQ(edit.Remove(u'a'), 1);
    EXPECT_EQ(CString(u"xx--yy--").TrimRight(u'-').TrimLeft(u"x"), u"--yy");
}

} // namespace
