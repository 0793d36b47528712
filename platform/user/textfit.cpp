// The translator's check: texts measured with their control's font, laid out by DrawTextW as the controls draw
// them, against the room each kind of control gives its text.
#include "platform/base/wstring.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <algorithm>

namespace platform::user::testing {

namespace {

// Room the controls of this layer leave around their text (button.cpp, combobox.cpp, listbox.cpp).
constexpr int kPushInset = 3;      // each side: the raised edge and the focus rectangle
constexpr int kCheckBox = 13 + 4;  // the box and its gap
constexpr int kGroupCaption = 10;  // the caption's left end; as much again is kept clear at the right
constexpr int kComboFace = 5 + 20; // text start, and the drop button with its edges
constexpr int kListItemInset = 3;  // items start 3 pixels in
constexpr int kLineTolerance = 2;  // pixels a control may lack for its last line without cutting it

std::u16string ClassOf(HWND hwnd) {
    WCHAR name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::u16string TextOf(HWND hwnd) {
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, u'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Measures texts in one control's font.
class Measurer {
public:
    explicit Measurer(HWND control) : m_dc(CreateCompatibleDC(nullptr)) {
        if (auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)))
            m_old = SelectObject(m_dc, font);
    }
    ~Measurer() {
        if (m_old)
            SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
    }
    Measurer(const Measurer&) = delete;
    Measurer& operator=(const Measurer&) = delete;

    int Width(const std::u16string& text, UINT format) {
        RECT r{0, 0, 0, 0};
        DrawTextW(m_dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_SINGLELINE | DT_CALCRECT);
        return r.right - r.left;
    }
    // The text wrapped to `width`: its lines, and its widest line (wider than `width` when a word cannot break).
    int Lines(const std::u16string& text, UINT format, int width, int* widest) {
        RECT r{0, 0, width, 0};
        DrawTextW(m_dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_WORDBREAK | DT_CALCRECT);
        *widest = r.right - r.left;
        return (r.bottom - r.top) / std::max(1, LineHeight());
    }
    int LineHeight() {
        RECT r{0, 0, 0, 0};
        DrawTextW(m_dc, u"X", 1, &r, DT_SINGLELINE | DT_CALCRECT);
        return r.bottom - r.top;
    }

private:
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
};

class Checker {
public:
    TextFitReport report;

    void Check(HWND control) {
        if (!IsWindowVisible(control))
            return;
        const std::u16string cls = ClassOf(control);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        RECT client{};
        GetClientRect(control, &client);
        const int width = client.right - client.left;
        Measurer measure(control);
        if (EqualsNoCase(cls, u"Button"))
            CheckButton(control, cls, style, width, measure);
        else if (EqualsNoCase(cls, u"Static"))
            CheckStatic(control, cls, style, client, measure);
        else if (EqualsNoCase(cls, u"ComboBox"))
            CheckItems(control, cls, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, width - kComboFace, measure);
        else if (EqualsNoCase(cls, u"ListBox"))
            CheckItems(control, cls, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, width - 2 * kListItemInset, measure);
    }

private:
    static bool EqualsNoCase(const std::u16string& a, const std::u16string& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
                   return (x >= u'A' && x <= u'Z' ? x + 32 : x) == (y >= u'A' && y <= u'Z' ? y + 32 : y);
               });
    }

    void Across(HWND control, const std::u16string& cls, const std::u16string& text, int needed, int available) {
        ++report.checked;
        if (needed > available)
            report.overflows.push_back(
                TextOverflow{control, GetDlgCtrlID(control), cls, text, needed, std::max(0, available), false});
    }

    void CheckButton(HWND control, const std::u16string& cls, DWORD style, int width, Measurer& measure) {
        const std::u16string text = TextOf(control);
        if (text.empty())
            return;
        switch (style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            Across(control, cls, text, measure.Width(text, 0), width - kCheckBox);
            break;
        case BS_GROUPBOX:
            Across(control, cls, text, measure.Width(text, 0), width - 2 * kGroupCaption);
            break;
        default: // push buttons, and owner-drawn ones, which centre their caption the same way
            Across(control, cls, text, measure.Width(text, 0), width - 2 * kPushInset);
            break;
        }
    }

    void CheckStatic(HWND control, const std::u16string& cls, DWORD style, const RECT& client, Measurer& measure) {
        const DWORD type = style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE &&
            type != SS_LEFTNOWORDWRAP && type != SS_OWNERDRAW)
            return; // pictures, rectangles and frames
        const std::u16string text = TextOf(control);
        if (text.empty())
            return;
        const UINT format = DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
        const int width = client.right - client.left;
        const bool wraps =
            (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) && !(style & (SS_CENTERIMAGE | SS_WORDELLIPSIS));
        if (!wraps) {
            Across(control, cls, text, measure.Width(text, format), width);
            return;
        }
        int widest = 0;
        const int lines = measure.Lines(text, format, width, &widest);
        const int height = std::min<int>(client.bottom - client.top, RoomAbove(control));
        const int shown = std::max(1, (height + kLineTolerance) / std::max(1, measure.LineHeight()));
        if (widest > width) {
            Across(control, cls, text, widest, width);
            return;
        }
        ++report.checked;
        if (lines > shown)
            report.overflows.push_back(TextOverflow{control, GetDlgCtrlID(control), cls, text, lines, shown, true});
    }

    // The height of `control` above the first visible sibling that starts lower down and overlaps it: lines that
    // wrap into a button below them are as lost as lines cut at the bottom.
    static int RoomAbove(HWND control) {
        RECT own{};
        GetWindowRect(control, &own);
        int room = own.bottom - own.top;
        for (HWND sibling = GetWindow(GetParent(control), GW_CHILD); sibling;
             sibling = GetWindow(sibling, GW_HWNDNEXT)) {
            RECT other{}, overlap{};
            if (sibling == control || !IsWindowVisible(sibling) || !GetWindowRect(sibling, &other) ||
                other.top <= own.top || !IntersectRect(&overlap, &own, &other))
                continue;
            room = std::min<int>(room, other.top - own.top);
        }
        return room;
    }

    void CheckItems(HWND control, const std::u16string& cls, UINT count, UINT length, UINT get, int available,
                    Measurer& measure) {
        const auto n = static_cast<int>(SendMessageW(control, count, 0, 0));
        for (int i = 0; i < n; ++i) {
            const auto len = static_cast<int>(SendMessageW(control, length, static_cast<WPARAM>(i), 0));
            if (len <= 0)
                continue;
            std::u16string item(static_cast<size_t>(len) + 1, u'\0');
            item.resize(static_cast<size_t>(
                SendMessageW(control, get, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()))));
            Across(control, cls, item, measure.Width(item, DT_NOPREFIX), available);
        }
    }
};

BOOL CALLBACK CheckChild(HWND child, LPARAM checker) {
    reinterpret_cast<Checker*>(checker)->Check(child);
    return TRUE;
}

} // namespace

TextFitReport CheckTextFit(HWND window) {
    Checker checker;
    if (IsWindow(window))
        EnumChildWindows(window, CheckChild, reinterpret_cast<LPARAM>(&checker));
    return checker.report;
}

std::string DescribeOverflow(const TextOverflow& o) {
    return ToUtf8(o.className) + " " + std::to_string(o.id) + " \"" + ToUtf8(o.text) + "\" needs " +
           std::to_string(o.needed) + (o.lines ? " lines, shows " : " px, has ") + std::to_string(o.available);
}

} // namespace platform::user::testing
