// The framework's string classes: CStringW (= CString) over UTF-16 and CStringA over narrow UTF-8 text.
// Format and AppendFormat use the platform's formatting engine, so a wide format's %s takes a wide string.
#pragma once

#include "platform/base/resource.h" // LoadString
#include "platform/base/windows.h"

#include <string>
#include <string_view>
#include <type_traits>

// The module whose string table CString::LoadString(id) reads; defined by the framework core.
HINSTANCE AfxGetResourceHandle();

namespace platform {

template <typename Char> class CSimpleString;

// What a Format argument becomes on its way through "...": a string object passes its characters (the framework's
// strings are a single pointer, so Windows code passes them to %s directly); everything else passes unchanged.
template <typename T> decltype(auto) FormatArgument(const T& value) {
    if constexpr (std::is_base_of_v<CSimpleString<WCHAR>, T> || std::is_base_of_v<CSimpleString<char>, T>)
        return value.GetString();
    else
        return (value);
}

// One implementation for both widths; Char is WCHAR or char.
template <typename Char> class CSimpleString {
public:
    using XCHAR = Char;
    using PXSTR = Char*;
    using PCXSTR = const Char*;

    CSimpleString() = default;
    CSimpleString(const CSimpleString&) = default;
    CSimpleString(CSimpleString&&) noexcept = default;
    CSimpleString(PCXSTR text) : m_text(text ? text : Empty_()) {}
    CSimpleString(PCXSTR text, int length) : m_text(text, text ? static_cast<size_t>(length < 0 ? 0 : length) : 0) {}
    CSimpleString(Char ch, int repeat = 1) : m_text(static_cast<size_t>(repeat < 0 ? 0 : repeat), ch) {}
    CSimpleString(std::basic_string_view<Char> text) : m_text(text) {}
    CSimpleString& operator=(const CSimpleString&) = default;
    CSimpleString& operator=(CSimpleString&&) noexcept = default;
    CSimpleString& operator=(PCXSTR text) {
        m_text = text ? text : Empty_();
        return *this;
    }
    CSimpleString& operator=(Char ch) {
        m_text.assign(1, ch);
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    Char GetAt(int index) const { return m_text.at(static_cast<size_t>(index)); }
    void SetAt(int index, Char ch) { m_text.at(static_cast<size_t>(index)) = ch; }
    Char operator[](int index) const { return GetAt(index); }
    PCXSTR GetString() const { return m_text.c_str(); }
    operator PCXSTR() const { return m_text.c_str(); }
    const std::basic_string<Char>& str() const { return m_text; }

    // The buffer holds at least `minLength` characters plus a terminator; ReleaseBuffer(-1) takes the length up to
    // the first terminator.
    PXSTR GetBuffer(int minLength = 0) {
        if (minLength > GetLength())
            m_text.resize(static_cast<size_t>(minLength));
        return m_text.data();
    }
    PXSTR GetBufferSetLength(int length) {
        m_text.resize(static_cast<size_t>(length < 0 ? 0 : length));
        return m_text.data();
    }
    void ReleaseBuffer(int newLength = -1) {
        if (newLength < 0) {
            size_t n = 0;
            while (n < m_text.size() && m_text[n] != Char())
                ++n;
            m_text.resize(n);
        } else if (static_cast<size_t>(newLength) <= m_text.size()) {
            m_text.resize(static_cast<size_t>(newLength));
        }
    }
    void ReleaseBufferSetLength(int newLength) { ReleaseBuffer(newLength); }
    void Preallocate(int length) { m_text.reserve(static_cast<size_t>(length < 0 ? 0 : length)); }

    CSimpleString& operator+=(const CSimpleString& other) {
        m_text += other.m_text;
        return *this;
    }
    CSimpleString& operator+=(PCXSTR text) {
        if (text)
            m_text += text;
        return *this;
    }
    CSimpleString& operator+=(Char ch) {
        m_text += ch;
        return *this;
    }
    void Append(PCXSTR text) { *this += text; }
    void Append(PCXSTR text, int length) { m_text.append(text, static_cast<size_t>(length < 0 ? 0 : length)); }
    void AppendChar(Char ch) { m_text += ch; }

    int Compare(PCXSTR other) const { return Compare_(m_text, other ? other : Empty_(), false); }
    int CompareNoCase(PCXSTR other) const { return Compare_(m_text, other ? other : Empty_(), true); }

    CSimpleString Left(int count) const {
        return CSimpleString(m_text.substr(0, static_cast<size_t>(Clamp_(count, 0, GetLength()))));
    }
    CSimpleString Right(int count) const {
        int n = Clamp_(count, 0, GetLength());
        return CSimpleString(m_text.substr(m_text.size() - static_cast<size_t>(n)));
    }
    CSimpleString Mid(int first) const { return Mid(first, GetLength()); }
    CSimpleString Mid(int first, int count) const {
        first = Clamp_(first, 0, GetLength());
        count = Clamp_(count, 0, GetLength() - first);
        return CSimpleString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
    }
    CSimpleString SpanIncluding(PCXSTR set) const;
    CSimpleString SpanExcluding(PCXSTR set) const;
    CSimpleString Tokenize(PCXSTR delimiters, int& start) const;

    int Find(Char ch, int start = 0) const;
    int Find(PCXSTR what, int start = 0) const;
    int ReverseFind(Char ch) const;
    int FindOneOf(PCXSTR set) const;

    int Replace(Char from, Char to);
    int Replace(PCXSTR from, PCXSTR to);
    int Remove(Char ch);
    int Insert(int index, Char ch);
    int Insert(int index, PCXSTR text);
    int Delete(int index, int count = 1);

    CSimpleString& Trim() { return TrimRight().TrimLeft(); }
    CSimpleString& Trim(Char ch) { return TrimRight(ch).TrimLeft(ch); }
    CSimpleString& Trim(PCXSTR set) { return TrimRight(set).TrimLeft(set); }
    CSimpleString& TrimLeft();
    CSimpleString& TrimLeft(Char ch);
    CSimpleString& TrimLeft(PCXSTR set);
    CSimpleString& TrimRight();
    CSimpleString& TrimRight(Char ch);
    CSimpleString& TrimRight(PCXSTR set);

    CSimpleString& MakeUpper();
    CSimpleString& MakeLower();
    CSimpleString& MakeReverse();

    template <typename... Args> void Format(PCXSTR format, const Args&... args) {
        FormatArguments(format, FormatArgument(args)...);
    }
    template <typename... Args> void AppendFormat(PCXSTR format, const Args&... args) {
        AppendFormatArguments(format, FormatArgument(args)...);
    }
    void FormatArguments(PCXSTR format, ...);
    void AppendFormatArguments(PCXSTR format, ...);
    void FormatV(PCXSTR format, va_list args);
    void AppendFormatV(PCXSTR format, va_list args);

    // The string `id` of the current resource module (AfxGetResourceHandle) or of `instance`. (LoadString is a
    // macro of the Windows headers, so these members are really named LoadStringW.)
    BOOL LoadString(UINT id);
    BOOL LoadString(HINSTANCE instance, UINT id);

    friend bool operator==(const CSimpleString& a, const CSimpleString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CSimpleString& a, PCXSTR b) { return a.Compare(b) == 0; }
    friend bool operator==(PCXSTR a, const CSimpleString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CSimpleString& a, const CSimpleString& b) { return a.m_text != b.m_text; }
    friend bool operator!=(const CSimpleString& a, PCXSTR b) { return a.Compare(b) != 0; }
    friend bool operator!=(PCXSTR a, const CSimpleString& b) { return b.Compare(a) != 0; }
    friend bool operator<(const CSimpleString& a, const CSimpleString& b) { return a.m_text < b.m_text; }
    friend bool operator>(const CSimpleString& a, const CSimpleString& b) { return a.m_text > b.m_text; }
    friend CSimpleString operator+(const CSimpleString& a, const CSimpleString& b) {
        CSimpleString r(a);
        r += b;
        return r;
    }
    friend CSimpleString operator+(const CSimpleString& a, PCXSTR b) {
        CSimpleString r(a);
        r += b;
        return r;
    }
    friend CSimpleString operator+(PCXSTR a, const CSimpleString& b) {
        CSimpleString r(a);
        r += b;
        return r;
    }
    friend CSimpleString operator+(const CSimpleString& a, Char b) {
        CSimpleString r(a);
        r += b;
        return r;
    }
    friend CSimpleString operator+(Char a, const CSimpleString& b) {
        CSimpleString r(a);
        r += b;
        return r;
    }

protected:
    static PCXSTR Empty_() {
        static const Char empty[1] = {};
        return empty;
    }
    static int Clamp_(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
    static int Compare_(const std::basic_string<Char>& a, PCXSTR b, bool noCase);

    std::basic_string<Char> m_text;
};

extern template class CSimpleString<WCHAR>;
extern template class CSimpleString<char>;

} // namespace platform

// CStringW converts from narrow text and CStringA from wide text (both UTF-8), as the framework does.
class CStringW : public platform::CSimpleString<WCHAR> {
public:
    using CSimpleString::CSimpleString;
    using CSimpleString::operator=;
    CStringW() = default;
    CStringW(const CSimpleString& other) : CSimpleString(other) {}
    CStringW(CSimpleString&& other) noexcept : CSimpleString(std::move(other)) {}
    CStringW(const char* text);
    CStringW(const std::u16string& text) : CSimpleString(std::u16string_view(text)) {}
    CStringW& operator=(const char* text) { return *this = CStringW(text); }
};

class CStringA : public platform::CSimpleString<char> {
public:
    using CSimpleString::CSimpleString;
    using CSimpleString::operator=;
    CStringA() = default;
    CStringA(const CSimpleString& other) : CSimpleString(other) {}
    CStringA(CSimpleString&& other) noexcept : CSimpleString(std::move(other)) {}
    CStringA(const WCHAR* text);
    CStringA(const CStringW& text) : CStringA(text.GetString()) {}
    CStringA(const std::string& text) : CSimpleString(std::string_view(text)) {}
    CStringA& operator=(const WCHAR* text) { return *this = CStringA(text); }
};

using CString = CStringW;
