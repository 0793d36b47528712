// The progress bar: range, position, step, colours.
#include "platform/user/internal.h"

#include <algorithm>

namespace platform::user {

namespace {

struct ProgressData : ControlData {
    int min = 0;
    int max = 100;
    int pos = 0;
    int step = 10;
    COLORREF bar = CLR_INVALID;
    COLORREF background = CLR_INVALID;
};

void Paint(HWND hwnd, const ProgressData& d) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) {
        RECT r{};
        GetClientRect(hwnd, &r);
        HBRUSH back = d.background == CLR_INVALID ? nullptr : CreateSolidBrush(d.background);
        FillRect(dc, &r, back ? back : GetSysColorBrush(COLOR_BTNFACE));
        RECT edge = r;
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        int range = d.max - d.min;
        if (range > 0) {
            RECT fill = edge;
            bool vertical = (StyleOf(hwnd) & PBS_VERTICAL) != 0;
            long long done = static_cast<long long>(d.pos - d.min);
            if (vertical)
                fill.top = fill.bottom - static_cast<int>((fill.bottom - fill.top) * done / range);
            else
                fill.right = fill.left + static_cast<int>((fill.right - fill.left) * done / range);
            HBRUSH bar = d.bar == CLR_INVALID ? nullptr : CreateSolidBrush(d.bar);
            FillRect(dc, &fill, bar ? bar : GetSysColorBrush(COLOR_HIGHLIGHT));
            if (bar)
                DeleteObject(bar);
        }
        if (back)
            DeleteObject(back);
    }
    EndPaint(hwnd, &ps);
}

int SetPos(HWND hwnd, ProgressData& d, int pos) {
    int old = d.pos;
    d.pos = std::clamp(pos, d.min, std::max(d.min, d.max));
    if (d.pos != old)
        InvalidateRect(hwnd, nullptr, FALSE);
    return old;
}

} // namespace

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* d = ControlOf<ProgressData>(hwnd);
    if (!d)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case PBM_SETRANGE: {
        LRESULT old = MAKELONG(static_cast<WORD>(d->min), static_cast<WORD>(d->max));
        d->min = LOWORD(lParam);
        d->max = HIWORD(lParam);
        SetPos(hwnd, *d, d->pos);
        InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    case PBM_SETRANGE32: {
        LRESULT old = MAKELONG(static_cast<WORD>(d->min), static_cast<WORD>(d->max));
        d->min = static_cast<int>(static_cast<INT_PTR>(wParam));
        d->max = static_cast<int>(lParam);
        SetPos(hwnd, *d, d->pos);
        InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    case PBM_GETRANGE:
        if (lParam) {
            auto* range = reinterpret_cast<int*>(lParam); // PBRANGE: iLow, iHigh
            range[0] = d->min;
            range[1] = d->max;
        }
        return wParam ? d->min : d->max;
    case PBM_SETPOS:
        return SetPos(hwnd, *d, static_cast<int>(static_cast<INT_PTR>(wParam)));
    case PBM_GETPOS:
        return d->pos;
    case PBM_DELTAPOS:
        return SetPos(hwnd, *d, d->pos + static_cast<int>(static_cast<INT_PTR>(wParam)));
    case PBM_SETSTEP: {
        int old = d->step;
        d->step = static_cast<int>(static_cast<INT_PTR>(wParam));
        return old;
    }
    case PBM_STEPIT: {
        int next = d->pos + d->step;
        if (next > d->max)
            next = d->min + (next - d->max);
        return SetPos(hwnd, *d, next);
    }
    case PBM_SETBARCOLOR: {
        COLORREF old = d->bar;
        d->bar = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    case PBM_SETBKCOLOR: {
        COLORREF old = d->background;
        d->background = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform::user
