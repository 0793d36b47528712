// The translator's check: texts measured with their control's font, laid out by DrawTextW as the controls draw
// them, against the room each kind of control gives its text.
#include "platform/base/wstring.h"
#include "platform/gdi/testing.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

namespace platform::user::testing {

namespace {

// Room the controls of this layer leave around their text (button.cpp, combobox.cpp, listbox.cpp).
constexpr int kPushInset = 3;       // each side: the raised edge and the focus rectangle
constexpr int kCheckBox = 13 + 4;   // the box and its gap
constexpr int kGroupCaption = 10;   // the caption's left end; as much again is kept clear at the right
constexpr int kComboFace = 5 + 20;  // text start, and the drop button with its edges
constexpr int kListItemInset = 3;   // items start 3 pixels in
constexpr int kLineTolerance = 2;   // pixels a control may lack for its last line without cutting it
constexpr int kShadeTolerance = 12; // a channel may differ this much on a background that counts as plain
constexpr int kClearance = 6;       // pixels a wrapped text's last line keeps clear of a control or strip below it

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
    // The height of all its lines, which fallback fonts may set further apart than one line of the control's font.
    int Lines(const std::u16string& text, UINT format, int width, int* widest, int* height) {
        RECT r{0, 0, width, 0};
        DrawTextW(m_dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_WORDBREAK | DT_CALCRECT);
        *widest = r.right - r.left;
        *height = r.bottom - r.top;
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

// A parent's background as its WM_ERASEBKGND paints it (a skin's picture, without any child's text), in the
// parent's client pixels as they stand on the screen.
class Background {
public:
    explicit Background(HWND parent) {
        RECT client{};
        GetClientRect(parent, &client);
        m_width = client.right - client.left;
        const int height = client.bottom - client.top;
        if (m_width <= 0 || height <= 0)
            return;
        HDC reference = GetDC(parent);
        HDC dc = CreateCompatibleDC(reference);
        HBITMAP bitmap = CreateCompatibleBitmap(reference, m_width, height);
        ReleaseDC(parent, reference);
        HGDIOBJ old = SelectObject(dc, bitmap);
        if (GetWindowLongW(parent, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)
            SetLayout(dc, LAYOUT_RTL); // as the window's own DC, so the picture lands where the user sees it
        const bool painted = SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
        SelectObject(dc, old);
        DeleteDC(dc);
        if (painted)
            m_pixels = platform::gdi::ReadBitmapPixels(bitmap);
        DeleteObject(bitmap);
    }

    // The first row of `span` (parent client pixels) that does not continue the plain colour of its top-left
    // pixel, or span.bottom when all of it does (or nothing was painted to compare).
    int FirstChangedRow(RECT span) const {
        if (m_pixels.empty())
            return span.bottom;
        const int height = static_cast<int>(m_pixels.size()) / m_width;
        span.left = std::max<LONG>(span.left, 0);
        span.top = std::max<LONG>(span.top, 0);
        span.right = std::min<LONG>(span.right, m_width);
        const int bottom = std::min<int>(span.bottom, height);
        if (span.left >= span.right || span.top >= bottom)
            return span.bottom;
        const std::uint32_t plain = At(span.left, span.top);
        for (int y = span.top; y < bottom; ++y)
            for (int x = span.left; x < span.right; ++x)
                if (!Alike(At(x, y), plain))
                    return y;
        return span.bottom;
    }

private:
    std::uint32_t At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    static bool Alike(std::uint32_t a, std::uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
                kShadeTolerance)
                return false;
        return true;
    }

    int m_width = 0;
    std::vector<std::uint32_t> m_pixels; // 0x00RRGGBB, top-down
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

    void Across(HWND control, const std::u16string& cls, const std::u16string& text, int needed, int available,
                std::string into = {}) {
        ++report.checked;
        if (needed > available)
            report.overflows.push_back(TextOverflow{control, GetDlgCtrlID(control), cls, text, needed,
                                                    std::max(0, available), false, std::move(into)});
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
        case BS_AUTORADIOBUTTON: {
            const int needed = measure.Width(text, 0);
            if (needed > width - kCheckBox) {
                Across(control, cls, text, needed, width - kCheckBox);
                break;
            }
            // The caption starts beside the box, on the side the box is not.
            const bool boxAtRight = ((style & BS_LEFTTEXT) != 0) != Mirrored(control);
            RECT client{};
            GetClientRect(control, &client);
            const int left = boxAtRight ? client.right - kCheckBox - needed : kCheckBox;
            if (!AcrossSiblings(control, cls, text, RECT{left, 0, left + needed, client.bottom}, needed))
                ++report.checked;
            break;
        }
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
        const int height = client.bottom - client.top;
        const int lineHeight = std::max(1, measure.LineHeight());
        const bool wraps =
            (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) && !(style & (SS_CENTERIMAGE | SS_WORDELLIPSIS));
        if (!wraps) {
            const int needed = measure.Width(text, format);
            if (needed > width) {
                Across(control, cls, text, needed, width);
                return;
            }
            const int top = (style & SS_CENTERIMAGE) ? (height - lineHeight) / 2 : 0;
            const RECT span = TextSpan(control, type, width, needed, top, top + lineHeight);
            if (!AcrossSiblings(control, cls, text, span, needed)) {
                ++report.checked;
                OnPlainBackground(control, cls, text, span, 1, lineHeight);
            }
            return;
        }
        int widest = 0, textHeight = 0;
        const int lines = measure.Lines(text, format, width, &widest, &textHeight);
        if (widest > width) {
            Across(control, cls, text, widest, width);
            return;
        }
        // Japanese may break between any two characters, but a katakana word broken in two reads as two words.
        for (const std::u16string& word : KatakanaWords(text)) {
            const int needed = measure.Width(word, format);
            if (needed > width) {
                Across(control, cls, text, needed, width);
                return;
            }
        }
        // Lines may lack a pixel or two at the control's own bottom, but none may reach into a control below.
        HWND below = nullptr;
        const int room = RoomAbove(control, &below);
        const int pitch = std::max(1, textHeight / std::max(1, lines));
        const bool cut = textHeight > height + kLineTolerance;
        const bool blocked = below && textHeight + kClearance > room;
        ++report.checked;
        if (cut || blocked) {
            const int shown = blocked ? std::max(0, room - kClearance) / pitch : (height + kLineTolerance) / pitch;
            report.overflows.push_back(TextOverflow{control, GetDlgCtrlID(control), cls, text, lines,
                                                    std::min(lines - 1, shown), true, blocked ? Describe(below) : ""});
            return;
        }
        const int top = (type == SS_CENTER && (style & SS_CENTERIMAGE)) ? (height - textHeight) / 2 : 0;
        if (lines == 1 &&
            AcrossSiblings(control, cls, text, TextSpan(control, type, width, widest, top, top + textHeight), widest)) {
            --report.checked; // counted once above
            return;
        }
        OnPlainBackground(control, cls, text,
                          TextSpan(control, type, width, widest, top, top + textHeight + kClearance), lines, pitch);
    }

    // The runs of katakana (with the prolonged sound mark) in a text; the middle dot between two words parts them.
    static std::vector<std::u16string> KatakanaWords(const std::u16string& text) {
        std::vector<std::u16string> words;
        std::u16string word;
        for (char16_t c : text) {
            if (c >= u'\u30A0' && c <= u'\u30FF' && c != u'\u30FB') {
                word += c;
                continue;
            }
            if (word.size() > 1)
                words.push_back(word);
            word.clear();
        }
        if (word.size() > 1)
            words.push_back(word);
        return words;
    }

    static bool Mirrored(HWND control) { return (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; }

    static std::string Describe(HWND control) {
        return ToUtf8(ClassOf(control)) + " " + std::to_string(GetDlgCtrlID(control));
    }

    // Where a static's text of `textWidth` pixels stands in its client area, as the user sees it: by its alignment,
    // which a mirrored control turns round, from row `top` to `bottom`.
    static RECT TextSpan(HWND control, DWORD type, int width, int textWidth, int top, int bottom) {
        bool right = type == SS_RIGHT;
        if ((GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_RIGHT) != 0 && type != SS_CENTER)
            right = !right;
        if (Mirrored(control) && type != SS_CENTER)
            right = !right;
        const int left = type == SS_CENTER ? (width - textWidth) / 2 : right ? width - textWidth : 0;
        return RECT{left, top, left + textWidth, bottom};
    }

    // A single line of text, fitting its own control, must not reach into a sibling control its control overlaps
    // (a frame or group box around it does not count). Answers whether it does.
    bool AcrossSiblings(HWND control, const std::u16string& cls, const std::u16string& text, RECT span, int needed) {
        POINT corners[2] = {{span.left, span.top}, {span.right, span.bottom}};
        MapWindowPoints(control, nullptr, corners, 2);
        const RECT drawn{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
        RECT own{};
        GetWindowRect(control, &own);
        for (HWND sibling = GetWindow(GetParent(control), GW_CHILD); sibling;
             sibling = GetWindow(sibling, GW_HWNDNEXT)) {
            RECT other{}, overlap{};
            if (sibling == control || !IsWindowVisible(sibling) || !GetWindowRect(sibling, &other) ||
                !IntersectRect(&overlap, &drawn, &other) || Encloses(other, own))
                continue;
            const int free = overlap.left > drawn.left ? overlap.left - drawn.left : drawn.right - overlap.right;
            Across(control, cls, text, needed, free, Describe(sibling));
            return true;
        }
        return false;
    }

    static bool Encloses(const RECT& outer, const RECT& inner) {
        return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
               outer.bottom >= inner.bottom;
    }

    // The text's lines stand on one plain stretch of the parent's background: a line that reaches a skin's button
    // strip, a separator or a frame painted there is as lost as a cut one.
    void OnPlainBackground(HWND control, const std::u16string& cls, const std::u16string& text, const RECT& span,
                           int lines, int lineHeight) {
        HWND parent = GetParent(control);
        if (!parent || span.right <= span.left)
            return;
        auto& background = m_backgrounds[parent];
        if (!background)
            background = std::make_unique<Background>(parent);
        POINT corners[2] = {{span.left, span.top}, {span.right, span.bottom}};
        MapWindowPoints(control, parent, corners, 2);
        const RECT inParent{std::min(corners[0].x, corners[1].x), corners[0].y, std::max(corners[0].x, corners[1].x),
                            corners[1].y};
        const int changed = background->FirstChangedRow(inParent);
        if (changed >= inParent.bottom)
            return;
        report.overflows.push_back(TextOverflow{control, GetDlgCtrlID(control), cls, text, lines,
                                                std::max(0, changed - inParent.top - kClearance) / lineHeight, true,
                                                "the background"});
    }

    // The height of `control` above the first visible sibling that starts lower down and overlaps it (that sibling
    // in `below`): lines that wrap into a button below them are as lost as lines cut at the bottom. Controls that
    // lie wholly inside it are framed by it (a group box drawn as a static), not under its text.
    static int RoomAbove(HWND control, HWND* below) {
        RECT own{};
        GetWindowRect(control, &own);
        int room = own.bottom - own.top;
        for (HWND sibling = GetWindow(GetParent(control), GW_CHILD); sibling;
             sibling = GetWindow(sibling, GW_HWNDNEXT)) {
            RECT other{}, overlap{};
            if (sibling == control || !IsWindowVisible(sibling) || !GetWindowRect(sibling, &other) ||
                other.top <= own.top || !IntersectRect(&overlap, &own, &other) || Encloses(own, other))
                continue;
            if (other.top - own.top < room) {
                room = other.top - own.top;
                *below = sibling;
            }
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

    std::map<HWND, std::unique_ptr<Background>> m_backgrounds; // painted once for each parent
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
           std::to_string(o.needed) + (o.lines ? " lines, shows " : " px, has ") + std::to_string(o.available) +
           (o.into.empty() ? "" : ", runs into " + o.into);
}

} // namespace platform::user::testing
