// Device contexts: creation, attributes, saved states, coordinates, layout and clipping.
#include "platform/gdi/internal.h"
#include "platform/gdi/state.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace platform::gdi {

namespace {

void Retain(const DCState& s) {
    for (GdiObject* o : {static_cast<GdiObject*>(s.pen), static_cast<GdiObject*>(s.brush),
                         static_cast<GdiObject*>(s.font), static_cast<GdiObject*>(s.bitmap)})
        if (o && !o->stock) // stock objects are shared by every thread's DCs and never freed: not counted
            ++o->selectedIn;
}

void Release(const DCState& s) {
    ReleaseSelected(s.pen);
    ReleaseSelected(s.brush);
    ReleaseSelected(s.font);
    ReleaseSelected(s.bitmap);
}

} // namespace

DeviceContext* NewDC(DCKind kind) {
    auto* dc = new DeviceContext; // owned by the handle table until DeleteDC
    dc->kind = kind;
    dc->state.pen = StockPen(BLACK_PEN);
    dc->state.brush = StockBrush(WHITE_BRUSH);
    dc->state.font = StockFont(SYSTEM_FONT);
    if (kind == DCKind::Memory)
        dc->state.bitmap = DefaultBitmap();
    Retain(dc->state);
    RegisterDC(dc);
    return dc;
}

void SetScreenSize(int width, int height) {
    G().screenWidth = std::max(width, 1);
    G().screenHeight = std::max(height, 1);
}

Target DeviceContext::target() const {
    Target t;
    if (kind == DCKind::Surface && surface) {
        t.base = surface->pixels();
        t.stride = surface->width();
        t.width = surface->width();
        t.height = surface->height();
    } else if (kind == DCKind::Memory && state.bitmap && state.bitmap->width > 0 && state.bitmap->height > 0) {
        Bitmap* b = state.bitmap;
        t.base = b->row(0);
        t.stride = b->external ? b->stride : b->width;
        t.width = b->width;
        t.height = b->height;
        t.mono = b->mono;
    }
    return t;
}

int DeviceContext::mirrorWidth() const {
    if (kind == DCKind::Surface)
        return extent.cx;
    if (kind == DCKind::Memory && state.bitmap)
        return state.bitmap->width;
    return G().screenWidth;
}

POINT DeviceContext::toDevice(int x, int y) const {
    POINT p{x - state.windowOrg.x + state.viewportOrg.x, y - state.windowOrg.y + state.viewportOrg.y};
    if (state.layout & LAYOUT_RTL)
        p.x = mirrorWidth() - 1 - p.x;
    return p;
}

Region DeviceContext::effectiveClip() const {
    Target t = target();
    Region clip;
    clip.setRect(RECT{0, 0, t.width, t.height});
    if (kind == DCKind::Surface)
        clip = Region::combine(clip, visible, RGN_AND);
    if (state.hasClip) {
        Region app = state.clip;
        POINT o = devToTarget();
        app.offset(o.x, o.y);
        clip = Region::combine(clip, app, RGN_AND);
    }
    return clip;
}

RECT ToDeviceRect(const DeviceContext& dc, int left, int top, int right, int bottom) {
    OrderCorners(left, top, right, bottom);
    POINT a = dc.toDevice(left, top);
    RECT r{a.x, a.y, a.x + (right - left), a.y + (bottom - top)};
    if (dc.state.layout & LAYOUT_RTL) {
        // Pixel columns left..right-1 mirror onto W-right..W-1-left.
        r.right = a.x + 1;
        r.left = r.right - (right - left);
    }
    return r;
}

// A region mirrored about the DC's width: how right-to-left layouts store clip regions.
static Region MirrorRegion(const Region& r, int width) {
    std::vector<RECT> rects;
    rects.reserve(r.rects.size());
    for (const RECT& q : r.rects)
        rects.push_back(RECT{width - q.right, q.top, width - q.left, q.bottom});
    return Region::fromRects(rects.data(), rects.size());
}

} // namespace platform::gdi

using namespace platform::gdi;

HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR output, const void* initData) {
    // Only the display exists; it has no pixels of its own here and serves as the reference for compatibility.
    return reinterpret_cast<HDC>(NewDC(DCKind::Display));
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !ToDC(dc))
        return nullptr;
    return reinterpret_cast<HDC>(NewDC(DCKind::Memory));
}

BOOL DeleteDC(HDC hdc) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    UnregisterDC(dc);
    Release(dc->state);
    for (const DCState& s : dc->saved)
        Release(s);
    delete dc;
    return TRUE;
}

int SaveDC(HDC hdc) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return 0;
    Retain(dc->state);
    dc->saved.push_back(dc->state);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int savedDC) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    int depth = static_cast<int>(dc->saved.size());
    int target = savedDC < 0 ? depth + savedDC + 1 : savedDC;
    if (target < 1 || target > depth)
        return FALSE;
    while (static_cast<int>(dc->saved.size()) > target) {
        Release(dc->saved.back());
        dc->saved.pop_back();
    }
    DCState restored = std::move(dc->saved.back());
    dc->saved.pop_back();
    // The restored state's references move into the DC; the current state's are released.
    DCState current = std::move(dc->state);
    dc->state = std::move(restored);
    Release(current);
    // Releasing the current state may have let go of the same bitmap the restored one holds.
    if (dc->state.bitmap && !dc->state.bitmap->stock)
        dc->state.bitmap->inDC = true;
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return 0;
    bool mono = dc->kind == DCKind::Memory && dc->state.bitmap && dc->state.bitmap->mono;
    switch (index) {
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZRES:
    case DESKTOPHORZRES:
        return G().screenWidth;
    case VERTRES:
    case DESKTOPVERTRES:
        return G().screenHeight;
    case HORZSIZE:
        return G().screenWidth * 254 / 960;
    case VERTSIZE:
        return G().screenHeight * 254 / 960;
    case BITSPIXEL:
        return mono ? 1 : 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case RASTERCAPS:
        return RC_BITBLT | RC_STRETCHBLT | RC_STRETCHDIB | RC_DI_BITMAP;
    default: // SIZEPALETTE and the rest: no palette, nothing to report
        return 0;
    }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_PEN:
        return dc->state.pen;
    case OBJ_BRUSH:
        return dc->state.brush;
    case OBJ_FONT:
        return dc->state.font;
    case OBJ_BITMAP:
        return dc->state.bitmap;
    default:
        return nullptr;
    }
}

DWORD SetLayout(HDC hdc, DWORD layout) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return GDI_ERROR;
    DWORD old = dc->state.layout;
    DWORD next = layout & (LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED);
    if ((old ^ next) & LAYOUT_RTL) {
        // The clip region stays over the same pixels only if it is mirrored with the layout.
        if (dc->state.hasClip)
            dc->state.clip = MirrorRegion(dc->state.clip, dc->mirrorWidth());
    }
    dc->state.layout = next;
    return old;
}

DWORD GetLayout(HDC hdc) {
    DeviceContext* dc = ToDC(hdc);
    return dc ? dc->state.layout : GDI_ERROR;
}

int SetMapMode(HDC hdc, int mode) {
    return ToDC(hdc) ? MM_TEXT : 0;
}

namespace {
// Moves one of the DC's origins (logical units), giving the old one.
BOOL SetOrigin(HDC hdc, POINT DCState::*origin, POINT to, LPPOINT old) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    if (old)
        *old = dc->state.*origin;
    dc->state.*origin = to;
    return TRUE;
}

BOOL GetOrigin(HDC hdc, POINT DCState::*origin, LPPOINT out) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !out)
        return FALSE;
    *out = dc->state.*origin;
    return TRUE;
}
} // namespace

BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return SetOrigin(hdc, &DCState::viewportOrg, POINT{x, y}, old);
}

BOOL GetViewportOrgEx(HDC hdc, LPPOINT org) {
    return GetOrigin(hdc, &DCState::viewportOrg, org);
}

BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, LPPOINT old) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    if (old)
        *old = dc->state.viewportOrg;
    dc->state.viewportOrg.x += dx;
    dc->state.viewportOrg.y += dy;
    return TRUE;
}

BOOL SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return SetOrigin(hdc, &DCState::windowOrg, POINT{x, y}, old);
}

BOOL GetWindowOrgEx(HDC hdc, LPPOINT org) {
    return GetOrigin(hdc, &DCState::windowOrg, org);
}

BOOL SetBrushOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return SetOrigin(hdc, &DCState::brushOrg, POINT{x, y}, old);
}

BOOL LPtoDP(HDC hdc, LPPOINT points, int count) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || (!points && count > 0))
        return FALSE;
    for (int i = 0; i < count; ++i)
        points[i] = dc->toDevice(points[i].x, points[i].y);
    return TRUE;
}

BOOL DPtoLP(HDC hdc, LPPOINT points, int count) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || (!points && count > 0))
        return FALSE;
    for (int i = 0; i < count; ++i) {
        POINT p = points[i];
        if (dc->state.layout & LAYOUT_RTL)
            p.x = dc->mirrorWidth() - 1 - p.x;
        points[i] = POINT{p.x - dc->state.viewportOrg.x + dc->state.windowOrg.x,
                          p.y - dc->state.viewportOrg.y + dc->state.windowOrg.y};
    }
    return TRUE;
}

namespace {
// Sets one attribute of the DC's state and gives the old value; `failed` for an unknown DC or an invalid value.
template <typename T> T SetAttribute(HDC hdc, T DCState::*field, T value, T failed, bool valid = true) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !valid)
        return failed;
    return std::exchange(dc->state.*field, value);
}

template <typename T> T GetAttribute(HDC hdc, T DCState::*field, T failed) {
    DeviceContext* dc = ToDC(hdc);
    return dc ? dc->state.*field : failed;
}
} // namespace

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    return SetAttribute(hdc, &DCState::bkColor, color, CLR_INVALID);
}
COLORREF GetBkColor(HDC hdc) {
    return GetAttribute(hdc, &DCState::bkColor, CLR_INVALID);
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return SetAttribute(hdc, &DCState::textColor, color, CLR_INVALID);
}
COLORREF GetTextColor(HDC hdc) {
    return GetAttribute(hdc, &DCState::textColor, CLR_INVALID);
}

UINT SetTextAlign(HDC hdc, UINT align) {
    return SetAttribute(hdc, &DCState::textAlign, align, UINT(GDI_ERROR));
}
UINT GetTextAlign(HDC hdc) {
    return GetAttribute(hdc, &DCState::textAlign, UINT(GDI_ERROR));
}

int SetBkMode(HDC hdc, int mode) {
    return SetAttribute(hdc, &DCState::bkMode, mode, 0, mode == TRANSPARENT || mode == OPAQUE);
}
int GetBkMode(HDC hdc) {
    return GetAttribute(hdc, &DCState::bkMode, 0);
}

int SetROP2(HDC hdc, int rop2) {
    return SetAttribute(hdc, &DCState::rop2, rop2, 0, rop2 >= R2_BLACK && rop2 <= R2_WHITE);
}
int GetROP2(HDC hdc) {
    return GetAttribute(hdc, &DCState::rop2, 0);
}

int SetStretchBltMode(HDC hdc, int mode) {
    return SetAttribute(hdc, &DCState::stretchMode, mode, 0, mode >= BLACKONWHITE && mode <= HALFTONE);
}
int GetStretchBltMode(HDC hdc) {
    return GetAttribute(hdc, &DCState::stretchMode, 0);
}

COLORREF SetDCBrushColor(HDC hdc, COLORREF color) {
    return SetAttribute(hdc, &DCState::dcBrushColor, color, CLR_INVALID);
}
COLORREF SetDCPenColor(HDC hdc, COLORREF color) {
    return SetAttribute(hdc, &DCState::dcPenColor, color, CLR_INVALID);
}

// ---- Clipping ----------------------------------------------------------------------------------------------------

int ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return ERROR;
    DCState& s = dc->state;
    RegionObject* r = ToObjectOf<RegionObject>(rgn, ObjectKind::Region);
    if (!r) {
        if (mode != RGN_COPY)
            return ERROR;
        s.hasClip = false; // NULL region: no application clipping
        s.clip = Region{};
        return SIMPLEREGION;
    }
    // The region is in device units; a right-to-left DC mirrors it like everything else.
    Region given = (s.layout & LAYOUT_RTL) ? MirrorRegion(r->region, dc->mirrorWidth()) : r->region;
    if (mode == RGN_COPY || !s.hasClip) {
        if (mode == RGN_DIFF && !s.hasClip) {
            Target t = dc->target();
            Region all;
            all.setRect(RECT{0, 0, dc->kind == DCKind::Surface ? dc->extent.cx : t.width,
                             dc->kind == DCKind::Surface ? dc->extent.cy : t.height});
            s.clip = Region::combine(all, given, RGN_DIFF);
        } else {
            s.clip = given;
        }
    } else {
        s.clip = Region::combine(s.clip, given, mode);
    }
    s.hasClip = true;
    return s.clip.complexity();
}

int SelectClipRgn(HDC hdc, HRGN rgn) {
    return ExtSelectClipRgn(hdc, rgn, RGN_COPY);
}

static int ClipWithRect(HDC hdc, int left, int top, int right, int bottom, int mode) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return ERROR;
    DCState& s = dc->state;
    Region rect;
    rect.setRect(ToDeviceRect(*dc, left, top, right, bottom));
    if (!s.hasClip) {
        Target t = dc->target();
        s.clip.setRect(RECT{0, 0, dc->kind == DCKind::Surface ? dc->extent.cx : t.width,
                            dc->kind == DCKind::Surface ? dc->extent.cy : t.height});
        s.hasClip = true;
    }
    s.clip = Region::combine(s.clip, rect, mode);
    return s.clip.complexity();
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    return ClipWithRect(hdc, left, top, right, bottom, RGN_AND);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    return ClipWithRect(hdc, left, top, right, bottom, RGN_DIFF);
}

int GetClipBox(HDC hdc, LPRECT rect) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !rect)
        return ERROR;
    Region clip = dc->effectiveClip();
    POINT o = dc->devToTarget();
    clip.offset(-o.x, -o.y);
    RECT box = clip.box();
    // Back to logical coordinates.
    POINT a{box.left, box.top}, b{box.right - 1, box.bottom - 1};
    if (!clip.empty()) {
        DPtoLP(hdc, &a, 1);
        DPtoLP(hdc, &b, 1);
        *rect = RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
    } else {
        *rect = RECT{0, 0, 0, 0};
    }
    return clip.complexity();
}

int GetClipRgn(HDC hdc, HRGN rgn) {
    DeviceContext* dc = ToDC(hdc);
    RegionObject* r = ToObjectOf<RegionObject>(rgn, ObjectKind::Region);
    if (!dc || !r)
        return -1;
    if (!dc->state.hasClip)
        return 0;
    r->region = (dc->state.layout & LAYOUT_RTL) ? MirrorRegion(dc->state.clip, dc->mirrorWidth()) : dc->state.clip;
    return 1;
}

BOOL PtVisible(HDC hdc, int x, int y) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    POINT p = dc->toTarget(x, y);
    return dc->effectiveClip().contains(p.x, p.y);
}

BOOL RectVisible(HDC hdc, const RECT* rect) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !rect)
        return FALSE;
    RECT r = ToDeviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
    POINT o = dc->devToTarget();
    OffsetRect(&r, o.x, o.y);
    return dc->effectiveClip().overlaps(r);
}
