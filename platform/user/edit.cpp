// The edit control (single line, as the dialogs use it): text limit, selection, typing, clipboard, EN_CHANGE. Laid
// out right to left (WS_EX_LAYOUTRTL) its line starts at the right edge and reads right to left.
#include "platform/gdi/textline.h"
#include "platform/user/internal.h"

#include <algorithm>

namespace platform::user {

namespace {

struct EditData : ControlData {
    std::u16string text;
    int selStart = 0; // anchor
    int selEnd = 0;   // caret
    int limit = 0x7FFFFFFE;
    bool modified = false;
    bool focused = false;
    bool dragging = false;
    int scroll = 0; // pixels of the line scrolled off to the left
    std::u16string undo;
};

int Lo(const EditData& d) {
    return std::min(d.selStart, d.selEnd);
}
int Hi(const EditData& d) {
    return std::max(d.selStart, d.selEnd);
}

void Changed(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, EN_UPDATE);
    NotifyParent(hwnd, EN_CHANGE);
}

// Replaces the selection by `insert` within the text limit; answers false (EN_MAXTEXT) when nothing fits.
bool ReplaceSelection(HWND hwnd, EditData& d, std::u16string insert) {
    DWORD style = StyleOf(hwnd);
    if (!(style & ES_MULTILINE)) {
        size_t eol = insert.find_first_of(u"\r\n");
        if (eol != std::u16string::npos)
            insert.resize(eol);
    }
    if (style & ES_UPPERCASE)
        for (auto& c : insert)
            c = towupper(c);
    if (style & ES_LOWERCASE)
        for (auto& c : insert)
            c = towlower(c);
    int lo = Lo(d);
    int hi = Hi(d);
    int room = d.limit - (static_cast<int>(d.text.size()) - (hi - lo));
    bool fits = true;
    if (static_cast<int>(insert.size()) > room) {
        insert.resize(static_cast<size_t>(std::max(room, 0)));
        fits = false;
    }
    if (insert.empty() && lo == hi) {
        if (!fits)
            NotifyParent(hwnd, EN_MAXTEXT);
        return false;
    }
    d.undo = d.text;
    d.text.replace(static_cast<size_t>(lo), static_cast<size_t>(hi - lo), insert);
    d.selStart = d.selEnd = lo + static_cast<int>(insert.size());
    d.modified = true;
    Changed(hwnd);
    if (!fits)
        NotifyParent(hwnd, EN_MAXTEXT);
    return true;
}

// The text as shown: a password edit shows one star per character.
std::u16string Shown(HWND hwnd, const EditData& d) {
    if (StyleOf(hwnd) & ES_PASSWORD)
        return std::u16string(d.text.size(), u'*');
    return d.text;
}

// The shown line laid out as drawn (WS_EX_RTLREADING reverses the reading order, as everywhere).
platform::gdi::TextLineMetrics Measure(HWND hwnd, HDC dc, const std::u16string& shown) {
    UINT options = (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING) ? ETO_RTLREADING : 0;
    return platform::gdi::MeasureTextLine(dc, shown.c_str(), static_cast<int>(shown.size()), options);
}

constexpr int kMargin = 2;

// The caret index under client x.
int CharAt(HWND hwnd, EditData& d, int x) {
    if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) { // the line is laid out from the right edge
        RECT client{};
        GetClientRect(hwnd, &client);
        x = client.right - 1 - x;
    }
    HDC dc = GetDC(hwnd);
    if (HFONT font = WindowFont(hwnd))
        SelectObject(dc, font);
    int at = Measure(hwnd, dc, Shown(hwnd, d)).indexAt(x - kMargin + d.scroll);
    ReleaseDC(hwnd, dc);
    return at;
}

void Paint(HWND hwnd, EditData& d) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) {
        EndPaint(hwnd, &ps);
        return;
    }
    DWORD style = StyleOf(hwnd);
    bool disabled = !IsWindowEnabled(hwnd);
    int saved = SaveDC(dc);
    if (HFONT font = WindowFont(hwnd))
        SelectObject(dc, font);
    UINT ctl = (disabled || (style & ES_READONLY)) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    auto brush = reinterpret_cast<HBRUSH>(SendCtlColor(hwnd, ctl, dc));
    RECT client{};
    GetClientRect(hwnd, &client);
    if (brush)
        FillRect(dc, &client, brush);
    if (disabled)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    const std::u16string shown = Shown(hwnd, d);
    const platform::gdi::TextLineMetrics line = Measure(hwnd, dc, shown);
    const UINT options = ETO_CLIPPED | ((GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING) ? ETO_RTLREADING : 0);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const int height = tm.tmHeight;
    // Keep the caret in view, and no more of the line scrolled off than it needs.
    const int room = client.right - 2 * kMargin;
    const int caretAt = line.caret.empty() ? 0 : line.caret[static_cast<size_t>(d.selEnd)];
    if (caretAt < d.scroll)
        d.scroll = caretAt;
    else if (caretAt - d.scroll > room)
        d.scroll = caretAt - room;
    d.scroll = std::clamp(d.scroll, 0, std::max(0, line.width - room));
    const int origin = kMargin - d.scroll;
    int y = std::max(0, (client.bottom - height) / 2);
    SetBkMode(dc, TRANSPARENT);
    const int count = static_cast<int>(shown.size());
    ExtTextOutW(dc, origin, y, options, &client, shown.c_str(), static_cast<UINT>(count), nullptr);
    if ((d.focused || (style & ES_NOHIDESEL)) && Hi(d) > Lo(d)) {
        // The selected characters, which right-to-left runs may split into several pieces of the line.
        std::vector<RECT> pieces;
        for (int i = Lo(d); i < Hi(d); ++i) {
            const auto& span = line.spans[static_cast<size_t>(i)];
            if (span.to <= span.from)
                continue;
            if (!pieces.empty() && pieces.back().right == origin + span.from)
                pieces.back().right = origin + span.to;
            else if (!pieces.empty() && pieces.back().left == origin + span.to)
                pieces.back().left = origin + span.from;
            else
                pieces.push_back(RECT{origin + span.from, y, origin + span.to, y + height});
        }
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        for (RECT& piece : pieces) {
            IntersectRect(&piece, &piece, &client);
            FillRect(dc, &piece, GetSysColorBrush(COLOR_HIGHLIGHT));
            ExtTextOutW(dc, origin, y, options, &piece, shown.c_str(), static_cast<UINT>(count), nullptr);
        }
    }
    if (d.focused) {
        int x = origin + caretAt;
        RECT caret{x, y, x + 1, y + height};
        FillRect(dc, &caret, GetSysColorBrush(COLOR_WINDOWTEXT));
    }
    RestoreDC(dc, saved);
    EndPaint(hwnd, &ps);
}

void Copy(EditData& d) {
    if (Hi(d) == Lo(d))
        return;
    Lock lock(G().mutex);
    G().clipboardText = d.text.substr(static_cast<size_t>(Lo(d)), static_cast<size_t>(Hi(d) - Lo(d)));
    G().clipboardHasText = true;
}

// The caret index one step left or right on screen from the caret: forward through left-to-right text, backward
// through Hebrew and Arabic. Never inside a character (before a mark or a surrogate's second half).
int StepOnScreen(HWND hwnd, EditData& d, bool right) {
    HDC dc = GetDC(hwnd);
    if (HFONT font = WindowFont(hwnd))
        SelectObject(dc, font);
    const platform::gdi::TextLineMetrics line = Measure(hwnd, dc, Shown(hwnd, d));
    ReleaseDC(hwnd, dc);
    if (line.caret.empty())
        return d.selEnd;
    auto onScreen = [&](int index) { // x growing to the right whatever the DC's layout
        int x = line.caret[static_cast<size_t>(index)];
        return line.mirrored ? -x : x;
    };
    const int n = static_cast<int>(line.spans.size());
    const int here = onScreen(d.selEnd);
    int best = d.selEnd, bestDistance = 0;
    for (int i = 0; i <= n; ++i) {
        if (i < n && line.spans[static_cast<size_t>(i)].to <= line.spans[static_cast<size_t>(i)].from)
            continue;
        int distance = right ? onScreen(i) - here : here - onScreen(i);
        if (distance > 0 && (best == d.selEnd || distance < bestDistance)) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void MoveCaret(HWND hwnd, EditData& d, int to, bool extend) {
    to = std::clamp(to, 0, static_cast<int>(d.text.size()));
    d.selEnd = to;
    if (!extend)
        d.selStart = to;
    InvalidateRect(hwnd, nullptr, TRUE);
}

} // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* d = ControlOf<EditData>(hwnd);
    if (!d)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    DWORD style = StyleOf(hwnd);
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName))
            d->text = cs->lpszName;
        return TRUE;
    }
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        auto* m = reinterpret_cast<const MSG*>(lParam);
        if (m && (style & ES_MULTILINE) && (style & ES_WANTRETURN) && m->message == WM_KEYDOWN &&
            m->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<LPCWSTR>(lParam);
        d->text = text ? text : u"";
        d->selStart = d->selEnd = 0;
        d->scroll = 0;
        d->modified = false;
        // As on Windows, a single-line edit reports the change even when the program made it.
        InvalidateRect(hwnd, nullptr, TRUE);
        if (!(style & ES_MULTILINE)) {
            NotifyParent(hwnd, EN_UPDATE);
            NotifyParent(hwnd, EN_CHANGE);
        }
        return TRUE;
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        size_t n = std::min<size_t>(d->text.size(), wParam - 1);
        std::copy_n(d->text.data(), n, buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(d->text.size());
    case WM_SETFONT:
        KeepWindowFont(hwnd, reinterpret_cast<HFONT>(wParam));
        if (lParam)
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(WindowFont(hwnd));
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
        d->focused = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        d->focused = false;
        d->dragging = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        SetFocus(hwnd);
        if (GetFocus() != hwnd)
            return 0;
        int at = CharAt(hwnd, *d, static_cast<SHORT>(LOWORD(lParam)));
        MoveCaret(hwnd, *d, at, (wParam & MK_SHIFT) != 0);
        if (msg == WM_LBUTTONDBLCLK) {
            d->selStart = 0;
            d->selEnd = static_cast<int>(d->text.size());
        }
        d->dragging = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (d->dragging && GetCapture() == hwnd)
            MoveCaret(hwnd, *d, CharAt(hwnd, *d, static_cast<SHORT>(LOWORD(lParam))), true);
        return 0;
    case WM_LBUTTONUP:
        if (d->dragging) {
            d->dragging = false;
            if (GetCapture() == hwnd)
                ReleaseCapture();
        }
        return 0;
    case WM_KEYDOWN: {
        bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        switch (wParam) {
        case VK_LEFT:
            MoveCaret(hwnd, *d, (!shift && Lo(*d) != Hi(*d)) ? Lo(*d) : StepOnScreen(hwnd, *d, false), shift);
            return 0;
        case VK_RIGHT:
            MoveCaret(hwnd, *d, (!shift && Lo(*d) != Hi(*d)) ? Hi(*d) : StepOnScreen(hwnd, *d, true), shift);
            return 0;
        case VK_HOME:
            MoveCaret(hwnd, *d, 0, shift);
            return 0;
        case VK_END:
            MoveCaret(hwnd, *d, static_cast<int>(d->text.size()), shift);
            return 0;
        case VK_DELETE:
            if (style & ES_READONLY)
                return 0;
            if (Lo(*d) == Hi(*d)) {
                if (d->selEnd >= static_cast<int>(d->text.size()))
                    return 0;
                d->selEnd = d->selEnd + 1;
            }
            if (shift)
                Copy(*d);
            ReplaceSelection(hwnd, *d, u"");
            return 0;
        default:
            return 0;
        }
    }
    case WM_CHAR: {
        auto ch = static_cast<WCHAR>(wParam);
        switch (ch) {
        case 0x01: // Ctrl+A
            d->selStart = 0;
            d->selEnd = static_cast<int>(d->text.size());
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case 0x03:
            SendMessageW(hwnd, WM_COPY, 0, 0);
            return 0;
        case 0x16:
            SendMessageW(hwnd, WM_PASTE, 0, 0);
            return 0;
        case 0x18:
            SendMessageW(hwnd, WM_CUT, 0, 0);
            return 0;
        case 0x1A:
            SendMessageW(hwnd, EM_UNDO, 0, 0);
            return 0;
        default:
            break;
        }
        if (style & ES_READONLY)
            return 0;
        if (ch == 0x08) {
            if (Lo(*d) == Hi(*d)) {
                if (d->selEnd == 0)
                    return 0;
                d->selStart = d->selEnd - 1;
            }
            ReplaceSelection(hwnd, *d, u"");
            return 0;
        }
        if (ch < 0x20)
            return 0;
        if ((style & ES_NUMBER) && (ch < u'0' || ch > u'9')) {
            MessageBeep(0);
            return 0;
        }
        ReplaceSelection(hwnd, *d, std::u16string(1, ch));
        return 0;
    }
    case WM_COPY:
        Copy(*d);
        return 0;
    case WM_CUT:
        if (style & ES_READONLY)
            return 0;
        Copy(*d);
        ReplaceSelection(hwnd, *d, u"");
        return 0;
    case WM_CLEAR:
        if (!(style & ES_READONLY))
            ReplaceSelection(hwnd, *d, u"");
        return 0;
    case WM_PASTE: {
        if (style & ES_READONLY)
            return 0;
        std::u16string text;
        {
            Lock lock(G().mutex);
            if (!G().clipboardHasText)
                return 0;
            text = G().clipboardText;
        }
        ReplaceSelection(hwnd, *d, text);
        return 0;
    }
    case EM_UNDO:
        if (style & ES_READONLY)
            return FALSE;
        std::swap(d->text, d->undo);
        d->selStart = d->selEnd = static_cast<int>(d->text.size());
        Changed(hwnd);
        return TRUE;
    case EM_CANUNDO:
        return d->undo != d->text;
    case EM_GETSEL:
        if (wParam)
            *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(Lo(*d));
        if (lParam)
            *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(Hi(*d));
        return MAKELONG(Lo(*d), Hi(*d));
    case EM_SETSEL: {
        int n = static_cast<int>(d->text.size());
        int start = static_cast<int>(static_cast<INT_PTR>(wParam));
        int end = static_cast<int>(lParam);
        if (start < 0) { // deselect, caret stays
            d->selStart = d->selEnd;
        } else {
            if (end < 0 || end > n)
                end = n;
            d->selStart = std::min(start, n);
            d->selEnd = end;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case EM_REPLACESEL:
        ReplaceSelection(hwnd, *d, lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"");
        return 0;
    case EM_LIMITTEXT:
        d->limit = wParam ? static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE)) : 0x7FFFFFFE;
        return 0;
    case EM_GETLIMITTEXT:
        return d->limit;
    case EM_GETMODIFY:
        return d->modified;
    case EM_SETMODIFY:
        d->modified = wParam != 0;
        return 0;
    case EM_SETREADONLY:
        SetWindowLongW(hwnd, GWL_STYLE,
                       static_cast<LONG>(wParam ? style | ES_READONLY : style & ~static_cast<DWORD>(ES_READONLY)));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case EM_GETLINECOUNT:
        return 1;
    case EM_GETRECT:
        if (lParam)
            GetClientRect(hwnd, reinterpret_cast<LPRECT>(lParam));
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform::user

using namespace platform::user;

// ---- Clipboard (text only, within the process) ----

BOOL OpenClipboard(HWND) {
    Lock lock(G().mutex);
    if (G().clipboardOpen)
        return FALSE;
    G().clipboardOpen = true;
    return TRUE;
}

BOOL CloseClipboard() {
    Lock lock(G().mutex);
    G().clipboardOpen = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    Lock lock(G().mutex);
    G().clipboardText.clear();
    G().clipboardHasText = false;
    return TRUE;
}

// The data is a GlobalAlloc block of UTF-16 text (CF_UNICODETEXT); the clipboard copies it.
HANDLE SetClipboardData(UINT format, HANDLE data) {
    if (format != CF_UNICODETEXT || !data)
        return nullptr;
    Lock lock(G().mutex);
    G().clipboardText = static_cast<const WCHAR*>(data);
    G().clipboardHasText = true;
    return data;
}

HANDLE GetClipboardData(UINT format) {
    if (format != CF_UNICODETEXT)
        return nullptr;
    Lock lock(G().mutex);
    return G().clipboardHasText ? const_cast<WCHAR*>(G().clipboardText.c_str()) : nullptr;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    Lock lock(G().mutex);
    return format == CF_UNICODETEXT && G().clipboardHasText;
}
