// CStringW / CStringA.
#include "platform/base/cstring.h"
#include "platform/base/resource.h"
#include "platform/base/windows.h"

#include <algorithm>

namespace platform {

namespace {

template <typename Char> Char Fold(Char c) {
    if constexpr (sizeof(Char) == 2)
        return towlower(c);
    else
        return c >= 'A' && c <= 'Z' ? static_cast<Char>(c + 32) : c;
}
template <typename Char> Char Raise(Char c) {
    if constexpr (sizeof(Char) == 2)
        return towupper(c);
    else
        return c >= 'a' && c <= 'z' ? static_cast<Char>(c - 32) : c;
}
template <typename Char> bool IsSpace(Char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
template <typename Char> bool InSet(const Char* set, Char c) {
    if (!set)
        return false;
    for (; *set; ++set)
        if (*set == c)
            return true;
    return false;
}

} // namespace

template <typename Char> int CSimpleString<Char>::Compare_(const std::basic_string<Char>& a, PCXSTR b, bool noCase) {
    for (size_t i = 0;; ++i) {
        Char x = i < a.size() ? a[i] : Char();
        Char y = b[i];
        if (noCase) {
            x = Fold(x);
            y = Fold(y);
        }
        if (x != y)
            return x < y ? -1 : 1;
        if (x == Char() || i >= a.size())
            return 0;
    }
}

template <typename Char> CSimpleString<Char> CSimpleString<Char>::SpanIncluding(PCXSTR set) const {
    size_t n = 0;
    while (n < m_text.size() && InSet(set, m_text[n]))
        ++n;
    return CSimpleString(m_text.substr(0, n));
}

template <typename Char> CSimpleString<Char> CSimpleString<Char>::SpanExcluding(PCXSTR set) const {
    size_t n = 0;
    while (n < m_text.size() && !InSet(set, m_text[n]))
        ++n;
    return CSimpleString(m_text.substr(0, n));
}

template <typename Char> CSimpleString<Char> CSimpleString<Char>::Tokenize(PCXSTR delimiters, int& start) const {
    if (start < 0 || static_cast<size_t>(start) >= m_text.size()) {
        start = -1;
        return CSimpleString();
    }
    size_t from = static_cast<size_t>(start);
    while (from < m_text.size() && InSet(delimiters, m_text[from]))
        ++from;
    if (from >= m_text.size()) {
        start = -1;
        return CSimpleString();
    }
    size_t to = from;
    while (to < m_text.size() && !InSet(delimiters, m_text[to]))
        ++to;
    start = static_cast<int>(to + 1);
    return CSimpleString(m_text.substr(from, to - from));
}

template <typename Char> int CSimpleString<Char>::Find(Char ch, int start) const {
    if (start < 0 || static_cast<size_t>(start) >= m_text.size())
        return -1;
    size_t at = m_text.find(ch, static_cast<size_t>(start));
    return at == std::basic_string<Char>::npos ? -1 : static_cast<int>(at);
}

template <typename Char> int CSimpleString<Char>::Find(PCXSTR what, int start) const {
    if (!what || start < 0 || static_cast<size_t>(start) > m_text.size())
        return -1;
    size_t at = m_text.find(what, static_cast<size_t>(start));
    return at == std::basic_string<Char>::npos ? -1 : static_cast<int>(at);
}

template <typename Char> int CSimpleString<Char>::ReverseFind(Char ch) const {
    size_t at = m_text.rfind(ch);
    return at == std::basic_string<Char>::npos ? -1 : static_cast<int>(at);
}

template <typename Char> int CSimpleString<Char>::FindOneOf(PCXSTR set) const {
    for (size_t i = 0; i < m_text.size(); ++i)
        if (InSet(set, m_text[i]))
            return static_cast<int>(i);
    return -1;
}

template <typename Char> int CSimpleString<Char>::Replace(Char from, Char to) {
    int count = 0;
    for (Char& c : m_text)
        if (c == from) {
            c = to;
            ++count;
        }
    return count;
}

template <typename Char> int CSimpleString<Char>::Replace(PCXSTR from, PCXSTR to) {
    if (!from || !*from)
        return 0;
    std::basic_string_view<Char> f(from);
    std::basic_string_view<Char> t(to ? to : Empty_());
    std::basic_string<Char> result;
    int count = 0;
    size_t pos = 0;
    for (size_t at; (at = m_text.find(f, pos)) != std::basic_string<Char>::npos; pos = at + f.size()) {
        result.append(m_text, pos, at - pos);
        result.append(t);
        ++count;
    }
    if (count) {
        result.append(m_text, pos);
        m_text.swap(result);
    }
    return count;
}

template <typename Char> int CSimpleString<Char>::Remove(Char ch) {
    size_t before = m_text.size();
    m_text.erase(std::remove(m_text.begin(), m_text.end(), ch), m_text.end());
    return static_cast<int>(before - m_text.size());
}

template <typename Char> int CSimpleString<Char>::Insert(int index, Char ch) {
    index = Clamp_(index, 0, GetLength());
    m_text.insert(static_cast<size_t>(index), 1, ch);
    return GetLength();
}

template <typename Char> int CSimpleString<Char>::Insert(int index, PCXSTR text) {
    index = Clamp_(index, 0, GetLength());
    if (text)
        m_text.insert(static_cast<size_t>(index), text);
    return GetLength();
}

template <typename Char> int CSimpleString<Char>::Delete(int index, int count) {
    index = Clamp_(index, 0, GetLength());
    count = Clamp_(count, 0, GetLength() - index);
    m_text.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

template <typename Char> CSimpleString<Char>& CSimpleString<Char>::TrimLeft() {
    size_t n = 0;
    while (n < m_text.size() && IsSpace(m_text[n]))
        ++n;
    m_text.erase(0, n);
    return *this;
}
template <typename Char> CSimpleString<Char>& CSimpleString<Char>::TrimLeft(Char ch) {
    size_t n = 0;
    while (n < m_text.size() && m_text[n] == ch)
        ++n;
    m_text.erase(0, n);
    return *this;
}
template <typename Char> CSimpleString<Char>& CSimpleString<Char>::TrimLeft(PCXSTR set) {
    size_t n = 0;
    while (n < m_text.size() && InSet(set, m_text[n]))
        ++n;
    m_text.erase(0, n);
    return *this;
}
template <typename Char> CSimpleString<Char>& CSimpleString<Char>::TrimRight() {
    while (!m_text.empty() && IsSpace(m_text.back()))
        m_text.pop_back();
    return *this;
}
template <typename Char> CSimpleString<Char>& CSimpleString<Char>::TrimRight(Char ch) {
    while (!m_text.empty() && m_text.back() == ch)
        m_text.pop_back();
    return *this;
}
template <typename Char> CSimpleString<Char>& CSimpleString<Char>::TrimRight(PCXSTR set) {
    while (!m_text.empty() && InSet(set, m_text.back()))
        m_text.pop_back();
    return *this;
}

template <typename Char> CSimpleString<Char>& CSimpleString<Char>::MakeUpper() {
    for (Char& c : m_text)
        c = Raise(c);
    return *this;
}
template <typename Char> CSimpleString<Char>& CSimpleString<Char>::MakeLower() {
    for (Char& c : m_text)
        c = Fold(c);
    return *this;
}
template <typename Char> CSimpleString<Char>& CSimpleString<Char>::MakeReverse() {
    std::reverse(m_text.begin(), m_text.end());
    return *this;
}

template <typename Char> void CSimpleString<Char>::FormatV(PCXSTR format, va_list args) {
    m_text = platform::FormatV(format, args);
}
template <typename Char> void CSimpleString<Char>::AppendFormatV(PCXSTR format, va_list args) {
    m_text += platform::FormatV(format, args);
}
template <typename Char> void CSimpleString<Char>::FormatArguments(PCXSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}
template <typename Char> void CSimpleString<Char>::AppendFormatArguments(PCXSTR format, ...) {
    va_list args;
    va_start(args, format);
    AppendFormatV(format, args);
    va_end(args);
}

template <typename Char> BOOL CSimpleString<Char>::LoadString(UINT id) {
    return LoadString(AfxGetResourceHandle(), id);
}

// A string table entry holds at most 4095 characters plus its terminator.
template <typename Char> BOOL CSimpleString<Char>::LoadString(HINSTANCE instance, UINT id) {
    WCHAR buffer[4096];
    int n = ::LoadStringW(instance, id, buffer, static_cast<int>(_countof(buffer)));
    if (n <= 0)
        return FALSE;
    if constexpr (sizeof(Char) == 2)
        m_text.assign(buffer, static_cast<size_t>(n));
    else
        m_text = ToUtf8(std::u16string_view(buffer, static_cast<size_t>(n)));
    return TRUE;
}

template class CSimpleString<WCHAR>;
template class CSimpleString<char>;

} // namespace platform

CStringW::CStringW(const char* text) : CSimpleString(std::u16string_view(platform::ToUtf16(text ? text : ""))) {}
CStringA::CStringA(const WCHAR* text)
    : CSimpleString(std::string_view(platform::ToUtf8(text ? std::u16string_view(text) : std::u16string_view()))) {}
