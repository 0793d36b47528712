// The trackbar (slider): signed ranges, WM_HSCROLL/WM_VSCROLL codes to the parent, and custom draw in the order
// Windows uses: CDDS_PREPAINT, then the items channel, tics and thumb (CDDS_ITEMPREPAINT each), then post-paint.
#include "platform/user/internal.h"

#include <algorithm>

namespace platform::user {

namespace {

constexpr int kThumbWidth = 11;
constexpr int kMargin = 8;

struct TrackData : ControlData {
    int min = 0;
    int max = 100;
    int pos = 0;
    int line = 1;
    int page = 20;
    int ticFreq = 1;
    std::vector<int> tics;
    bool dragging = false;
    bool focused = false;
    int selMin = 0;
    int selMax = 0;
    HWND tooltips = nullptr;
};

bool Vertical(HWND hwnd) {
    return (StyleOf(hwnd) & TBS_VERT) != 0;
}

RECT ChannelRect(HWND hwnd) {
    RECT c{};
    GetClientRect(hwnd, &c);
    if (Vertical(hwnd)) {
        int x = std::min<int>(c.right / 2, 10);
        return RECT{x - 2, kMargin, x + 2, c.bottom - kMargin};
    }
    int y = std::min<int>(c.bottom / 2, 10);
    return RECT{kMargin, y - 2, c.right - kMargin, y + 2};
}

int PixelOf(HWND hwnd, const TrackData& d, int value) {
    RECT ch = ChannelRect(hwnd);
    int start = Vertical(hwnd) ? ch.top : ch.left;
    int length = Vertical(hwnd) ? ch.bottom - ch.top : ch.right - ch.left;
    int range = d.max - d.min;
    if (range <= 0)
        return start;
    return start + static_cast<int>(static_cast<long long>(length) * (value - d.min) / range);
}

int ValueAt(HWND hwnd, const TrackData& d, int pixel) {
    RECT ch = ChannelRect(hwnd);
    int start = Vertical(hwnd) ? ch.top : ch.left;
    int length = Vertical(hwnd) ? ch.bottom - ch.top : ch.right - ch.left;
    if (length <= 0)
        return d.min;
    long long v = d.min + (static_cast<long long>(pixel - start) * (d.max - d.min) + length / 2) / length;
    return std::clamp(static_cast<int>(v), d.min, d.max);
}

RECT ThumbRect(HWND hwnd, const TrackData& d) {
    RECT c{};
    GetClientRect(hwnd, &c);
    int at = PixelOf(hwnd, d, d.pos);
    if (Vertical(hwnd)) {
        int x = std::min<int>(c.right / 2, 10);
        return RECT{x - 10, at - kThumbWidth / 2, x + 10, at + kThumbWidth / 2 + 1};
    }
    int y = std::min<int>(c.bottom / 2, 10);
    return RECT{at - kThumbWidth / 2, y - 10, at + kThumbWidth / 2 + 1, y + 10};
}

void Notify(HWND hwnd, int code, int pos) {
    HWND parent = GetParent(hwnd);
    if (!parent)
        return;
    bool withPos = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
    SendMessageW(parent, Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL,
                 MAKEWPARAM(code, withPos ? static_cast<WORD>(pos) : 0), reinterpret_cast<LPARAM>(hwnd));
}

void SetPos(HWND hwnd, TrackData& d, int pos) {
    pos = std::clamp(pos, d.min, d.max);
    if (pos != d.pos) {
        d.pos = pos;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

LRESULT CustomDraw(HWND hwnd, DWORD stage, HDC dc, const RECT& rc, DWORD_PTR item, UINT state) {
    HWND parent = GetParent(hwnd);
    if (!parent)
        return CDRF_DODEFAULT;
    NMCUSTOMDRAW nm{};
    nm.hdr.hwndFrom = hwnd;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    nm.hdr.code = NM_CUSTOMDRAW;
    nm.dwDrawStage = stage;
    nm.hdc = dc;
    nm.rc = rc;
    nm.dwItemSpec = item;
    nm.uItemState = state;
    return SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

void DrawChannel(HDC dc, const RECT& ch) {
    RECT r = ch;
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
}

void DrawTics(HWND hwnd, HDC dc, const TrackData& d) {
    DWORD style = StyleOf(hwnd);
    if (style & TBS_NOTICKS)
        return;
    RECT c{};
    GetClientRect(hwnd, &c);
    RECT thumb = ThumbRect(hwnd, d);
    HBRUSH brush = GetSysColorBrush(COLOR_BTNTEXT);
    auto tic = [&](int value) {
        int at = PixelOf(hwnd, d, value);
        RECT t = Vertical(hwnd) ? RECT{thumb.right + 2, at, thumb.right + 5, at + 1}
                                : RECT{at, thumb.bottom + 2, at + 1, thumb.bottom + 5};
        FillRect(dc, &t, brush);
    };
    tic(d.min);
    tic(d.max);
    if ((style & TBS_AUTOTICKS) && d.ticFreq > 0)
        for (int v = d.min + d.ticFreq; v < d.max; v += d.ticFreq)
            tic(v);
    for (int v : d.tics)
        tic(v);
    (void)c;
}

void DrawThumb(HDC dc, const RECT& thumb, bool disabled) {
    RECT r = thumb;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | (disabled ? BF_FLAT : 0));
}

// The whole frame is drawn off screen and copied at the end, as the common control does: until then the screen
// keeps what was under the trackbar, which a custom-draw handler may read through its parent's DC.
void Paint(HWND hwnd, TrackData& d) {
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(hwnd, &ps);
    if (!screen) {
        EndPaint(hwnd, &ps);
        return;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP frame = CreateCompatibleBitmap(screen, std::max<int>(client.right, 1), std::max<int>(client.bottom, 1));
    HGDIOBJ oldFrame = SelectObject(dc, frame);
    bool disabled = !IsWindowEnabled(hwnd);
    auto brush = reinterpret_cast<HBRUSH>(SendCtlColor(hwnd, WM_CTLCOLORSTATIC, dc));
    if (brush)
        FillRect(dc, &client, brush);
    UINT state = (d.focused ? CDIS_FOCUS : 0) | (disabled ? CDIS_DISABLED : 0);
    LRESULT pre = CustomDraw(hwnd, CDDS_PREPAINT, dc, client, 0, state);
    if (!(pre & CDRF_SKIPDEFAULT)) {
        bool items = (pre & CDRF_NOTIFYITEMDRAW) != 0;
        auto item = [&](DWORD_PTR which, const RECT& rc, auto draw) {
            LRESULT r = items ? CustomDraw(hwnd, CDDS_ITEMPREPAINT, dc, rc, which, state) : CDRF_DODEFAULT;
            if (!(r & CDRF_SKIPDEFAULT))
                draw();
            if (r & CDRF_NOTIFYPOSTPAINT)
                CustomDraw(hwnd, CDDS_ITEMPOSTPAINT, dc, rc, which, state);
        };
        RECT ch = ChannelRect(hwnd);
        item(TBCD_CHANNEL, ch, [&] { DrawChannel(dc, ch); });
        item(TBCD_TICS, client, [&] { DrawTics(hwnd, dc, d); });
        RECT thumb = ThumbRect(hwnd, d);
        if (!(StyleOf(hwnd) & TBS_NOTHUMB))
            item(TBCD_THUMB, thumb, [&] { DrawThumb(dc, thumb, disabled); });
        if (d.focused) {
            RECT f = client;
            DrawFocusRect(dc, &f);
        }
        if (pre & CDRF_NOTIFYPOSTPAINT)
            CustomDraw(hwnd, CDDS_POSTPAINT, dc, client, 0, state);
    }
    BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFrame);
    DeleteObject(frame);
    DeleteDC(dc);
    EndPaint(hwnd, &ps);
}

} // namespace

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* d = ControlOf<TrackData>(hwnd);
    if (!d)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        d->focused = msg == WM_SETFOCUS;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TBM_GETPOS:
        return d->pos;
    case TBM_GETRANGEMIN:
        return d->min;
    case TBM_GETRANGEMAX:
        return d->max;
    case TBM_SETPOS:
        SetPos(hwnd, *d, static_cast<int>(lParam));
        return 0;
    case TBM_SETRANGE:
        // Both ends are signed 16-bit values (a range of -100..100 is packed with MAKELONG).
        d->min = static_cast<SHORT>(LOWORD(lParam));
        d->max = static_cast<SHORT>(HIWORD(lParam));
        d->page = std::max(1, (d->max - d->min) / 5);
        d->pos = std::clamp(d->pos, d->min, std::max(d->min, d->max));
        if (wParam)
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX:
        (msg == TBM_SETRANGEMIN ? d->min : d->max) = static_cast<int>(lParam);
        d->page = std::max(1, (d->max - d->min) / 5);
        d->pos = std::clamp(d->pos, d->min, std::max(d->min, d->max));
        if (wParam)
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TBM_SETPAGESIZE: {
        int old = d->page;
        d->page = static_cast<int>(lParam);
        return old;
    }
    case TBM_GETPAGESIZE:
        return d->page;
    case TBM_SETLINESIZE: {
        int old = d->line;
        d->line = static_cast<int>(lParam);
        return old;
    }
    case TBM_GETLINESIZE:
        return d->line;
    case TBM_SETTICFREQ:
        d->ticFreq = static_cast<int>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TBM_SETTIC:
        if (static_cast<int>(lParam) <= d->min || static_cast<int>(lParam) >= d->max)
            return FALSE;
        d->tics.push_back(static_cast<int>(lParam));
        return TRUE;
    case TBM_CLEARTICS:
        d->tics.clear();
        if (wParam)
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TBM_GETNUMTICS:
        return static_cast<LRESULT>(d->tics.size()) + 2;
    case TBM_SETSEL:
        d->selMin = static_cast<SHORT>(LOWORD(lParam));
        d->selMax = static_cast<SHORT>(HIWORD(lParam));
        return 0;
    case TBM_GETTHUMBRECT:
        if (lParam)
            *reinterpret_cast<RECT*>(lParam) = ThumbRect(hwnd, *d);
        return 0;
    case TBM_GETCHANNELRECT:
        if (lParam)
            *reinterpret_cast<RECT*>(lParam) = ChannelRect(hwnd);
        return 0;
    case TBM_SETTOOLTIPS:
        d->tooltips = reinterpret_cast<HWND>(wParam);
        return 0;
    case WM_KEYDOWN: {
        int code = -1;
        int pos = d->pos;
        switch (wParam) {
        case VK_LEFT:
        case VK_UP:
            code = TB_LINEUP;
            pos -= d->line;
            break;
        case VK_RIGHT:
        case VK_DOWN:
            code = TB_LINEDOWN;
            pos += d->line;
            break;
        case VK_PRIOR:
            code = TB_PAGEUP;
            pos -= d->page;
            break;
        case VK_NEXT:
            code = TB_PAGEDOWN;
            pos += d->page;
            break;
        case VK_HOME:
            code = TB_TOP;
            pos = d->min;
            break;
        case VK_END:
            code = TB_BOTTOM;
            pos = d->max;
            break;
        default:
            return 0;
        }
        SetPos(hwnd, *d, pos);
        Notify(hwnd, code, d->pos);
        return 0;
    }
    case WM_KEYUP:
        if (wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_UP || wParam == VK_DOWN || wParam == VK_PRIOR ||
            wParam == VK_NEXT || wParam == VK_HOME || wParam == VK_END)
            Notify(hwnd, TB_ENDTRACK, 0);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        SetFocus(hwnd);
        POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        RECT thumb = ThumbRect(hwnd, *d);
        SetCapture(hwnd);
        if (PtInRect(&thumb, p)) {
            d->dragging = true;
            return 0;
        }
        int at = Vertical(hwnd) ? p.y : p.x;
        int thumbAt = PixelOf(hwnd, *d, d->pos);
        int code = at < thumbAt ? TB_PAGEUP : TB_PAGEDOWN;
        SetPos(hwnd, *d, d->pos + (code == TB_PAGEUP ? -d->page : d->page));
        Notify(hwnd, code, d->pos);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (d->dragging) {
            int at = Vertical(hwnd) ? static_cast<SHORT>(HIWORD(lParam)) : static_cast<SHORT>(LOWORD(lParam));
            int pos = ValueAt(hwnd, *d, at);
            if (pos != d->pos) {
                SetPos(hwnd, *d, pos);
                Notify(hwnd, TB_THUMBTRACK, d->pos);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() != hwnd)
            return 0;
        if (d->dragging) {
            d->dragging = false;
            Notify(hwnd, TB_THUMBPOSITION, d->pos);
        }
        ReleaseCapture();
        Notify(hwnd, TB_ENDTRACK, 0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform::user
