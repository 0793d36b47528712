// Scroll bars: the scroll bar control (SB_CTL) with the SB_ codes it sends its parent, and the scroll values of
// windows with WS_HSCROLL / WS_VSCROLL. A scroll bar never moves itself: the parent sets the new position.
#include "platform/user/internal.h"

#include <algorithm>

namespace platform::user {

namespace {

constexpr int kArrow = 17;

struct ScrollData : ControlData {
    SCROLLINFO si{sizeof(SCROLLINFO), 0, 0, 100, 0, 0, 0};
    bool dragging = false;
    int dragOffset = 0;
    int pressed = -1; // the SB_ code of the part held down
};

void Clamp(SCROLLINFO& si) {
    if (si.nMax < si.nMin)
        si.nMax = si.nMin;
    int range = si.nMax - si.nMin + 1;
    if (static_cast<int>(si.nPage) > range)
        si.nPage = static_cast<UINT>(range);
    int top = si.nMax - std::max<int>(static_cast<int>(si.nPage) - 1, 0);
    si.nPos = std::clamp(si.nPos, si.nMin, std::max(top, si.nMin));
}

void Apply(SCROLLINFO& si, const SCROLLINFO& in) {
    if (in.fMask & SIF_RANGE) {
        si.nMin = in.nMin;
        si.nMax = in.nMax;
    }
    if (in.fMask & SIF_PAGE)
        si.nPage = in.nPage;
    if (in.fMask & SIF_POS)
        si.nPos = in.nPos;
    Clamp(si);
}

void Fill(const SCROLLINFO& si, SCROLLINFO& out) {
    if (out.fMask & SIF_RANGE) {
        out.nMin = si.nMin;
        out.nMax = si.nMax;
    }
    if (out.fMask & SIF_PAGE)
        out.nPage = si.nPage;
    if (out.fMask & SIF_POS)
        out.nPos = si.nPos;
    if (out.fMask & SIF_TRACKPOS)
        out.nTrackPos = si.nTrackPos;
}

bool Vertical(HWND hwnd) {
    return (StyleOf(hwnd) & SBS_VERT) != 0;
}

// A horizontal bar laid out right to left runs from its right end: the minimum and the line-up arrow lie there.
bool Mirrored(HWND hwnd) {
    return !Vertical(hwnd) && (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
}

// Where a mouse message's point lies along the bar, counted from the bar's start.
int AlongBar(HWND hwnd, LPARAM lParam) {
    if (Vertical(hwnd))
        return static_cast<SHORT>(HIWORD(lParam));
    const int x = static_cast<SHORT>(LOWORD(lParam));
    if (!Mirrored(hwnd))
        return x;
    RECT r{};
    GetClientRect(hwnd, &r);
    return r.right - 1 - x;
}

// Geometry along the bar: the track between the arrows and the thumb in it.
struct Layout {
    int length = 0;
    int trackStart = kArrow;
    int trackEnd = 0;
    int thumbStart = 0;
    int thumbSize = 0;
};

Layout Measure(HWND hwnd, const SCROLLINFO& si, int pos) {
    RECT r{};
    GetClientRect(hwnd, &r);
    Layout l;
    l.length = Vertical(hwnd) ? r.bottom : r.right;
    int arrow = std::min(kArrow, l.length / 2);
    l.trackStart = arrow;
    l.trackEnd = l.length - arrow;
    int track = std::max(l.trackEnd - l.trackStart, 0);
    int range = si.nMax - si.nMin + 1;
    l.thumbSize = si.nPage ? std::max(8, static_cast<int>(static_cast<long long>(track) * si.nPage / range))
                           : std::min(kArrow, track);
    l.thumbSize = std::min(l.thumbSize, track);
    int travel = range - std::max<int>(static_cast<int>(si.nPage), 1);
    int offset =
        travel > 0 ? static_cast<int>(static_cast<long long>(track - l.thumbSize) * (pos - si.nMin) / travel) : 0;
    l.thumbStart = l.trackStart + std::clamp(offset, 0, std::max(track - l.thumbSize, 0));
    return l;
}

void Notify(HWND hwnd, int code, int pos) {
    HWND parent = GetParent(hwnd);
    if (!parent)
        return;
    UINT msg = Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL;
    SendMessageW(parent, msg, MAKEWPARAM(code, (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) ? pos : 0),
                 reinterpret_cast<LPARAM>(hwnd));
}

void Paint(HWND hwnd, ScrollData& d) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) {
        RECT r{};
        GetClientRect(hwnd, &r);
        auto brush = reinterpret_cast<HBRUSH>(SendCtlColor(hwnd, WM_CTLCOLORSCROLLBAR, dc));
        FillRect(dc, &r, brush ? brush : GetSysColorBrush(COLOR_SCROLLBAR));
        bool vertical = Vertical(hwnd);
        Layout l = Measure(hwnd, d.si, d.dragging ? d.si.nTrackPos : d.si.nPos);
        auto part = [&](int a, int b) { return vertical ? RECT{0, a, r.right, b} : RECT{a, 0, b, r.bottom}; };
        bool enabled = IsWindowEnabled(hwnd);
        for (int i = 0; i < 2; ++i) {
            RECT arrow = i == 0 ? part(0, l.trackStart) : part(l.trackEnd, l.length);
            FillRect(dc, &arrow, GetSysColorBrush(COLOR_BTNFACE));
            RECT e = arrow;
            DrawEdge(dc, &e, d.pressed == (i == 0 ? SB_LINEUP : SB_LINEDOWN) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
            int cx = (arrow.left + arrow.right) / 2;
            int cy = (arrow.top + arrow.bottom) / 2;
            HBRUSH glyph = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
            for (int k = 0; k < 4; ++k) {
                int w = i == 0 ? k : 3 - k;
                RECT g = vertical ? RECT{cx - w, cy - 2 + k, cx + w + 1, cy - 1 + k}
                                  : RECT{cx - 2 + k, cy - w, cx - 1 + k, cy + w + 1};
                FillRect(dc, &g, glyph);
            }
        }
        if (enabled && l.thumbSize > 0 && d.si.nMax > d.si.nMin &&
            static_cast<int>(d.si.nPage) <= d.si.nMax - d.si.nMin) {
            RECT thumb = part(l.thumbStart, l.thumbStart + l.thumbSize);
            FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
            DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
        }
    }
    EndPaint(hwnd, &ps);
}

} // namespace

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* d = ControlOf<ScrollData>(hwnd);
    if (!d)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case SBM_SETSCROLLINFO: {
        auto* in = reinterpret_cast<const SCROLLINFO*>(lParam);
        if (in)
            Apply(d->si, *in);
        if (wParam)
            InvalidateRect(hwnd, nullptr, TRUE);
        return d->si.nPos;
    }
    case SBM_GETSCROLLINFO: {
        auto* out = reinterpret_cast<SCROLLINFO*>(lParam);
        if (!out)
            return FALSE;
        Fill(d->si, *out);
        return TRUE;
    }
    case SBM_SETPOS: {
        int old = d->si.nPos;
        d->si.nPos = static_cast<int>(static_cast<INT_PTR>(wParam));
        Clamp(d->si);
        if (lParam)
            InvalidateRect(hwnd, nullptr, TRUE);
        return old;
    }
    case SBM_GETPOS:
        return d->si.nPos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW:
        d->si.nMin = static_cast<int>(static_cast<INT_PTR>(wParam));
        d->si.nMax = static_cast<int>(lParam);
        Clamp(d->si);
        if (msg == SBM_SETRANGEREDRAW)
            InvalidateRect(hwnd, nullptr, TRUE);
        return d->si.nPos;
    case SBM_GETRANGE:
        if (wParam)
            *reinterpret_cast<LPINT>(wParam) = d->si.nMin;
        if (lParam)
            *reinterpret_cast<LPINT>(lParam) = d->si.nMax;
        return 0;
    case WM_KEYDOWN: {
        int code = -1;
        switch (wParam) {
        case VK_UP:
            code = SB_LINEUP;
            break;
        case VK_DOWN:
            code = SB_LINEDOWN;
            break;
        case VK_LEFT:
        case VK_RIGHT: // the arrow key moves the thumb its way, also on a mirrored bar
            code = (wParam == VK_LEFT) != Mirrored(hwnd) ? SB_LINEUP : SB_LINEDOWN;
            break;
        case VK_PRIOR:
            code = SB_PAGEUP;
            break;
        case VK_NEXT:
            code = SB_PAGEDOWN;
            break;
        case VK_HOME:
            code = SB_TOP;
            break;
        case VK_END:
            code = SB_BOTTOM;
            break;
        default:
            break;
        }
        if (code >= 0) {
            Notify(hwnd, code, 0);
            Notify(hwnd, SB_ENDSCROLL, 0);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (StyleOf(hwnd) & WS_TABSTOP)
            SetFocus(hwnd);
        int at = AlongBar(hwnd, lParam);
        Layout l = Measure(hwnd, d->si, d->si.nPos);
        SetCapture(hwnd);
        if (at < l.trackStart) {
            d->pressed = SB_LINEUP;
        } else if (at >= l.trackEnd) {
            d->pressed = SB_LINEDOWN;
        } else if (at < l.thumbStart) {
            d->pressed = SB_PAGEUP;
        } else if (at >= l.thumbStart + l.thumbSize) {
            d->pressed = SB_PAGEDOWN;
        } else {
            d->pressed = SB_THUMBTRACK;
            d->dragging = true;
            d->dragOffset = at - l.thumbStart;
            d->si.nTrackPos = d->si.nPos;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        }
        Notify(hwnd, d->pressed, 0);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (d->dragging) {
            int at = AlongBar(hwnd, lParam);
            Layout l = Measure(hwnd, d->si, d->si.nPos);
            int track = l.trackEnd - l.trackStart - l.thumbSize;
            int range = d->si.nMax - d->si.nMin + 1 - std::max<int>(static_cast<int>(d->si.nPage), 1);
            int offset = std::clamp(at - d->dragOffset - l.trackStart, 0, std::max(track, 0));
            int pos =
                track > 0 ? d->si.nMin + static_cast<int>(static_cast<long long>(offset) * range / track) : d->si.nMin;
            if (pos != d->si.nTrackPos) {
                d->si.nTrackPos = pos;
                Notify(hwnd, SB_THUMBTRACK, pos);
                InvalidateRect(hwnd, nullptr, TRUE);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (d->pressed < 0)
            return 0;
        if (d->dragging) {
            d->dragging = false;
            Notify(hwnd, SB_THUMBPOSITION, d->si.nTrackPos);
        }
        d->pressed = -1;
        if (GetCapture() == hwnd)
            ReleaseCapture();
        Notify(hwnd, SB_ENDSCROLL, 0);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform::user

using namespace platform::user;

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw) {
    if (!info)
        return 0;
    if (bar == SB_CTL)
        return static_cast<int>(SendMessageW(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
    if (bar != SB_HORZ && bar != SB_VERT)
        return 0;
    int pos = 0;
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w)
            return 0;
        SCROLLINFO& si = w->scroll[bar];
        Apply(si, *info);
        pos = si.nPos;
        if (redraw)
            w->needsFrame = true;
    }
    if (redraw)
        RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info) {
    if (!info)
        return FALSE;
    if (bar == SB_CTL)
        return static_cast<BOOL>(SendMessageW(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)));
    if (bar != SB_HORZ && bar != SB_VERT)
        return FALSE;
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    Fill(w->scroll[bar], *info);
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    SCROLLINFO old{sizeof old, SIF_POS, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd, bar, &old);
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old.nPos;
}

int GetScrollPos(HWND hwnd, int bar) {
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd, bar, &si);
    return si.nPos;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
    SCROLLINFO si{sizeof si, SIF_RANGE, minPos, maxPos, 0, 0, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, LPINT minPos, LPINT maxPos) {
    SCROLLINFO si{sizeof si, SIF_RANGE, 0, 0, 0, 0, 0};
    BOOL ok = GetScrollInfo(hwnd, bar, &si);
    if (minPos)
        *minPos = si.nMin;
    if (maxPos)
        *maxPos = si.nMax;
    return ok;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    if (bar == SB_CTL)
        return ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE), TRUE;
    DWORD bits = (bar == SB_HORZ ? WS_HSCROLL : bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL | WS_VSCROLL);
    DWORD style = StyleOf(hwnd);
    SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(show ? style | bits : style & ~bits));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
    if (bar == SB_CTL)
        EnableWindow(hwnd, arrows != ESB_DISABLE_BOTH);
    return TRUE;
}
