// DefWindowProcW: the default handling of every message, and the non-client frame of windows.
#include "platform/user/internal.h"

#include <algorithm>
#include <cstring>

namespace platform::user {

namespace {

void DrawNonClient(HWND hwnd) {
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};
    std::u16string title;
    bool active = false;
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w)
            return;
        style = w->style;
        exStyle = w->exStyle;
        rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        title = w->text;
        active = QueueOf(w->threadId).active == hwnd;
    }
    RECT in = NonClientInsets(style, exStyle);
    if (in.left == 0 && in.top == 0 && in.right == 0 && in.bottom == 0)
        return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc)
        return;
    RECT r = rect;
    if ((style & WS_CAPTION) == WS_CAPTION || (style & (WS_DLGFRAME | WS_THICKFRAME)) ||
        (exStyle & WS_EX_DLGMODALFRAME)) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        int extra = ((style & WS_THICKFRAME) ? 4 : 3) - 2;
        for (int i = 0; i < extra; ++i) {
            FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
            InflateRect(&r, -1, -1);
        }
    } else if (style & WS_BORDER) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if ((style & WS_CAPTION) == WS_CAPTION) {
        int h = (exStyle & WS_EX_TOOLWINDOW) ? 17 : 23;
        RECT cap{r.left, r.top, r.right, r.top + h};
        FillRect(dc, &cap, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"MS Shell Dlg");
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
        // A right-to-left window reads its title from the right edge.
        const bool rightToLeft = (exStyle & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL)) != 0;
        RECT text = cap;
        text.left += 6;
        text.right -= 6;
        DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX |
                      (rightToLeft ? DT_RIGHT | DT_RTLREADING : DT_LEFT));
        SelectObject(dc, oldFont);
        DeleteObject(font);
        r.top += h;
    }
    if (exStyle & WS_EX_CLIENTEDGE)
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (exStyle & WS_EX_STATICEDGE)
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    // Window scroll bars: a plain track with the thumb where the position says.
    for (int bar = SB_HORZ; bar <= SB_VERT; ++bar) {
        if (!(style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)))
            continue;
        RECT track = r;
        if (bar == SB_HORZ) {
            track.top = r.bottom - 17;
            if (style & WS_VSCROLL)
                track.right -= 17;
        } else {
            track.left = r.right - 17;
            if (style & WS_HSCROLL)
                track.bottom -= 17;
        }
        FillRect(dc, &track, GetSysColorBrush(COLOR_SCROLLBAR));
        SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
        GetScrollInfo(hwnd, bar, &si);
        int range = si.nMax - si.nMin + 1;
        int length = bar == SB_HORZ ? track.right - track.left - 34 : track.bottom - track.top - 34;
        if (range > 0 && length > 8 && static_cast<int>(si.nPage) < range) {
            int thumb =
                std::max(8, si.nPage ? static_cast<int>(static_cast<long long>(length) * si.nPage / range) : 17);
            int travel = range - std::max<int>(static_cast<int>(si.nPage), 1);
            int offset = travel > 0
                             ? static_cast<int>(static_cast<long long>(length - thumb) * (si.nPos - si.nMin) / travel)
                             : 0;
            RECT t = track;
            if (bar == SB_HORZ) {
                t.left += 17 + offset;
                t.right = t.left + thumb;
            } else {
                t.top += 17 + offset;
                t.bottom = t.top + thumb;
            }
            FillRect(dc, &t, GetSysColorBrush(COLOR_BTNFACE));
            DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
        }
    }
    ReleaseDC(hwnd, dc);
}

HBRUSH ClassBackground(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    HBRUSH b = w->cls->wc.hbrBackground;
    auto value = reinterpret_cast<ULONG_PTR>(b);
    if (value > 0 && value <= 31) { // (HBRUSH)(COLOR_xxx + 1)
        lock.unlock();
        return GetSysColorBrush(static_cast<int>(value - 1));
    }
    return b;
}

} // namespace

void NotifyParent(HWND hwnd, WORD code) {
    HWND parent = GetParent(hwnd);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

LRESULT SendCtlColor(HWND hwnd, UINT msg, HDC dc) {
    HWND parent = GetParent(hwnd);
    LRESULT brush =
        parent ? SendMessageW(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)) : 0;
    if (!brush)
        brush = DefWindowProcW(hwnd, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
    return brush;
}

HFONT WindowFont(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    return w ? w->font : nullptr;
}

void KeepWindowFont(HWND hwnd, HFONT font) {
    Lock lock(G().mutex);
    if (Window* w = Find(hwnd))
        w->font = font;
}

} // namespace platform::user

using namespace platform::user;

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
            Lock lock(G().mutex);
            if (Window* w = Find(hwnd))
                w->text = cs->lpszName;
        }
        return TRUE;
    }
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<LPCWSTR>(lParam);
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        w->text = text ? text : u"";
        if ((w->style & WS_CAPTION) == WS_CAPTION) {
            w->needsFrame = true;
            InvalidateLocked(*w, nullptr, false, Children::None);
        }
        return TRUE;
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w) {
            buffer[0] = 0;
            return 0;
        }
        size_t n = std::min<size_t>(w->text.size(), wParam - 1);
        std::memcpy(buffer, w->text.data(), n * sizeof(WCHAR));
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCPAINT:
        DrawNonClient(hwnd);
        return 0;
    case WM_ERASEBKGND: {
        HBRUSH brush = ClassBackground(hwnd);
        if (!brush)
            return 0;
        RECT r{};
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        return 1;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR: {
        auto dc = reinterpret_cast<HDC>(wParam);
        bool window = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
        SetTextColor(dc, GetSysColor(window ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE));
        if (msg == WM_CTLCOLORSCROLLBAR)
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_SCROLLBAR));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(window ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && !(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
            SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_KEYF1: {
        HELPINFO hi{sizeof hi, HELPINFO_WINDOW, GetDlgCtrlID(hwnd), hwnd, 0, {}};
        GetCursorPos(&hi.MousePos);
        SendMessageW(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
        return 0;
    }
    case WM_HELP:
        // Help climbs to the parent until someone answers it.
        if (HWND parent = (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr)
            return SendMessageW(parent, WM_HELP, wParam, lParam);
        return 0;
    case WM_SETCURSOR: {
        if (HWND parent = (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr)
            if (SendMessageW(parent, WM_SETCURSOR, wParam, lParam))
                return TRUE;
        if (LOWORD(lParam) == HTCLIENT) {
            HCURSOR cursor = nullptr;
            {
                Lock lock(G().mutex);
                if (Window* w = Find(hwnd))
                    cursor = w->cls->wc.hCursor;
            }
            if (cursor) {
                SetCursor(cursor);
                return TRUE;
            }
        }
        return FALSE;
    }
    case WM_NCHITTEST: {
        POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        RECT wr{};
        GetWindowRect(hwnd, &wr);
        if (!PtInRect(&wr, p))
            return HTNOWHERE;
        ScreenToClient(hwnd, &p);
        RECT cr{};
        GetClientRect(hwnd, &cr);
        if (PtInRect(&cr, p))
            return HTCLIENT;
        return p.y < 0 ? HTCAPTION : HTNOWHERE;
    }
    case WM_MOUSEACTIVATE:
        return 1; // MA_ACTIVATE
    case WM_WINDOWPOSCHANGED: {
        auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!pos)
            return 0;
        if (!(pos->flags & SWP_NOMOVE)) {
            RECT wr{};
            GetWindowRect(hwnd, &wr);
            POINT o{0, 0};
            ClientToScreen(hwnd, &o);
            if (HWND parent = GetAncestor(hwnd, GA_PARENT))
                ScreenToClient(parent, &o);
            SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(o.x), static_cast<WORD>(o.y)));
        }
        if (!(pos->flags & SWP_NOSIZE)) {
            RECT cr{};
            GetClientRect(hwnd, &cr);
            SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cr.right, cr.bottom));
        }
        return 0;
    }
    case WM_CANCELMODE:
        if (GetCapture() == hwnd)
            ReleaseCapture();
        return 0;
    case WM_SETICON: {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w)
            return 0;
        HICON& slot = w->icons[wParam == ICON_BIG ? 1 : 0];
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON: {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        return w ? reinterpret_cast<LRESULT>(w->icons[wParam == ICON_BIG ? 1 : 0]) : 0;
    }
    case WM_QUERYDRAGICON: {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        return w ? reinterpret_cast<LRESULT>(w->icons[1] ? w->icons[1] : w->cls->wc.hIcon) : 0;
    }
    case WM_QUERYENDSESSION:
        return TRUE;
    default:
        return 0;
    }
}
