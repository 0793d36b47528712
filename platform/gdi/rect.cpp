// Rectangles and the drawing helpers Windows keeps in user32: FillRect, FrameRect, InvertRect, DrawEdge,
// DrawFocusRect, with the system colours they use.
#include "platform/gdi/internal.h"
#include "platform/gdi/state.h"

#include <algorithm>
#include <atomic>

namespace platform::gdi {

namespace {

COLORREF ClassicSysColor(int index) {
    switch (index) {
    case 5: // COLOR_WINDOW
        return RGB(255, 255, 255);
    case 6:  // COLOR_WINDOWFRAME
    case 8:  // COLOR_WINDOWTEXT
    case 18: // COLOR_BTNTEXT
        return RGB(0, 0, 0);
    case 15: // COLOR_BTNFACE
        return RGB(240, 240, 240);
    case 16: // COLOR_BTNSHADOW
        return RGB(160, 160, 160);
    case 17: // COLOR_GRAYTEXT
        return RGB(109, 109, 109);
    case 20: // COLOR_BTNHIGHLIGHT
        return RGB(255, 255, 255);
    case 21: // COLOR_3DDKSHADOW
        return RGB(105, 105, 105);
    case 22: // COLOR_3DLIGHT
        return RGB(227, 227, 227);
    default:
        return RGB(192, 192, 192);
    }
}

enum SysColorIndex { BtnFace = 15, BtnShadow = 16, BtnHighlight = 20, DkShadow = 21, Light = 22, WindowFrame = 6 };

} // namespace

bool ResolveBrush(HBRUSH h, Brush& out) {
    auto value = reinterpret_cast<std::uintptr_t>(h);
    if (value >= 1 && value <= 31) {
        out.style = BS_SOLID;
        out.color = SysColor(static_cast<int>(value) - 1);
        return true;
    }
    Brush* b = ToObjectOf<Brush>(h, ObjectKind::Brush);
    if (!b)
        return false;
    out.style = b->style;
    out.color = b->color;
    out.pattern = b->pattern;
    out.patternWidth = b->patternWidth;
    out.patternHeight = b->patternHeight;
    out.patternMono = b->patternMono;
    return true;
}

COLORREF SysColor(int index) {
    auto source = G().sysColors.load();
    return source ? source(index) : ClassicSysColor(index);
}

void SetSysColorSource(COLORREF (*source)(int index)) {
    G().sysColors = source;
}

} // namespace platform::gdi

using namespace platform::gdi;

// ---- Rectangles --------------------------------------------------------------------------------------------------

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect)
        return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT dest, const RECT* src) {
    if (!dest || !src)
        return FALSE;
    *dest = *src;
    return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT pt) {
    return rect && pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top && pt.y < rect->bottom;
}

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || rect->left >= rect->right || rect->top >= rect->bottom;
}

BOOL IntersectRect(LPRECT dest, const RECT* a, const RECT* b) {
    if (!dest || !a || !b)
        return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(dest);
        return FALSE;
    }
    *dest = r;
    return TRUE;
}

BOOL UnionRect(LPRECT dest, const RECT* a, const RECT* b) {
    if (!dest || !a || !b)
        return FALSE;
    if (IsRectEmpty(a)) {
        if (IsRectEmpty(b)) {
            SetRectEmpty(dest);
            return FALSE;
        }
        *dest = *b;
        return TRUE;
    }
    if (IsRectEmpty(b)) {
        *dest = *a;
        return TRUE;
    }
    *dest = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                 std::max(a->bottom, b->bottom)};
    return TRUE;
}

BOOL SubtractRect(LPRECT dest, const RECT* a, const RECT* b) {
    if (!dest || !a || !b)
        return FALSE;
    RECT r = *a, inter;
    if (IntersectRect(&inter, a, b)) {
        // Only a full band of `a` can be cut off; anything else leaves `a` unchanged.
        if (inter.top == r.top && inter.bottom == r.bottom) {
            if (inter.left == r.left)
                r.left = inter.right;
            else if (inter.right == r.right)
                r.right = inter.left;
        } else if (inter.left == r.left && inter.right == r.right) {
            if (inter.top == r.top)
                r.top = inter.bottom;
            else if (inter.bottom == r.bottom)
                r.bottom = inter.top;
        }
    }
    if (IsRectEmpty(&r)) {
        SetRectEmpty(dest);
        return FALSE;
    }
    *dest = r;
    return TRUE;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

// ---- Fills -------------------------------------------------------------------------------------------------------

int FillRect(HDC hdc, const RECT* rect, HBRUSH h) {
    DeviceContext* dc = ToDC(hdc);
    Brush brush;
    if (!dc || !rect || !ResolveBrush(h, brush))
        return FALSE;
    if (IsRectEmpty(rect))
        return TRUE;
    FillRectBrush(*dc, ToDeviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom), brush);
    return TRUE;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH h) {
    DeviceContext* dc = ToDC(hdc);
    Brush brush;
    if (!dc || !rect || !ResolveBrush(h, brush))
        return FALSE;
    if (IsRectEmpty(rect))
        return TRUE;
    const RECT& r = *rect;
    const RECT sides[4] = {{r.left, r.top, r.right, r.top + 1},
                           {r.left, r.bottom - 1, r.right, r.bottom},
                           {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                           {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
    for (const RECT& s : sides)
        if (!IsRectEmpty(&s))
            FillRectBrush(*dc, ToDeviceRect(*dc, s.left, s.top, s.right, s.bottom), brush);
    return TRUE;
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !rect)
        return FALSE;
    FillRectDevice(*dc, ToDeviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom), 0, R2_NOT);
    return TRUE;
}

// ---- 3-D edges and focus rectangles ------------------------------------------------------------------------------

BOOL DrawEdge(HDC hdc, LPRECT rect, UINT edge, UINT flags) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !rect)
        return FALSE;
    RECT r = *rect;
    auto fill = [&](const RECT& q, int colorIndex) {
        if (!IsRectEmpty(&q))
            FillRectDevice(*dc, ToDeviceRect(*dc, q.left, q.top, q.right, q.bottom), ToPixel(SysColor(colorIndex)));
    };
    // Each ring: colours of the top-left and bottom-right sides, outer ring first.
    struct Ring {
        UINT raised, sunken;
        int raisedTL, raisedBR, sunkenTL, sunkenBR;
    };
    const Ring rings[2] = {{BDR_RAISEDOUTER, BDR_SUNKENOUTER, Light, DkShadow, BtnShadow, BtnHighlight},
                           {BDR_RAISEDINNER, BDR_SUNKENINNER, BtnHighlight, BtnShadow, DkShadow, Light}};
    for (const Ring& ring : rings) {
        int tl, br;
        if (edge & ring.raised) {
            tl = ring.raisedTL;
            br = ring.raisedBR;
        } else if (edge & ring.sunken) {
            tl = ring.sunkenTL;
            br = ring.sunkenBR;
        } else {
            continue;
        }
        if (flags & BF_MONO)
            tl = br = WindowFrame;
        else if (flags & BF_FLAT)
            tl = br = BtnShadow;
        if (flags & BF_BOTTOM)
            fill(RECT{r.left, r.bottom - 1, r.right, r.bottom}, br);
        if (flags & BF_RIGHT)
            fill(RECT{r.right - 1, r.top, r.right, r.bottom}, br);
        if (flags & BF_TOP)
            fill(RECT{r.left, r.top, r.right - ((flags & BF_RIGHT) ? 1 : 0), r.top + 1}, tl);
        if (flags & BF_LEFT)
            fill(RECT{r.left, r.top, r.left + 1, r.bottom - ((flags & BF_BOTTOM) ? 1 : 0)}, tl);
        if (flags & BF_LEFT)
            ++r.left;
        if (flags & BF_TOP)
            ++r.top;
        if (flags & BF_RIGHT)
            --r.right;
        if (flags & BF_BOTTOM)
            --r.bottom;
    }
    if (flags & BF_MIDDLE)
        fill(r, BtnFace);
    if (flags & BF_ADJUST)
        *rect = r;
    return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !rect || IsRectEmpty(rect))
        return FALSE;
    // Every other pixel of the border is inverted (XOR), so drawing it twice removes it.
    Target t = dc->target();
    if (!t.base)
        return TRUE;
    Region clip = dc->effectiveClip();
    auto flip = [&](int x, int y) {
        POINT p = dc->toTarget(x, y);
        if (clip.contains(p.x, p.y)) {
            std::uint32_t& px = t.row(p.y)[p.x];
            px = (~px) & 0x00FFFFFF;
        }
    };
    // A checkerboard pattern anchored at the top-left corner, as the 50% grey brush Windows uses.
    const RECT& r = *rect;
    for (int y = r.top; y < r.bottom; ++y) {
        bool edgeRow = y == r.top || y == r.bottom - 1;
        for (int x = r.left; x < r.right; x += edgeRow ? 1 : std::max(1, static_cast<int>(r.right - r.left - 1)))
            if (((x - r.left) + (y - r.top)) % 2 == 0)
                flip(x, y);
    }
    return TRUE;
}
