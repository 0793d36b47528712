// Internal object model of the renderer: what each GDI handle points to. Not for use outside platform/gdi.
#pragma once

#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::gdi {

// 0x00BBGGRR <-> 0x00RRGGBB
inline std::uint32_t ToPixel(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ToColorRef(std::uint32_t p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}
// A colour on a monochrome target: the nearer of black and white.
inline std::uint32_t ToMono(std::uint32_t p) {
    unsigned sum = ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
    return sum >= 384 ? 0x00FFFFFF : 0;
}

// Puts a rectangle's corners in order: callers may give them either way round.
inline void OrderCorners(int& left, int& top, int& right, int& bottom) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
}

// A region: disjoint rectangles sorted by top then left, grouped in bands of equal top/bottom.
class Region {
public:
    std::vector<RECT> rects;

    bool empty() const { return rects.empty(); }
    RECT box() const;
    int complexity() const { return rects.empty() ? NULLREGION : rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION; }
    bool contains(int x, int y) const;
    bool overlaps(const RECT& r) const; // shares at least one pixel with r
    void offset(int dx, int dy);
    void setRect(const RECT& r);
    static Region combine(const Region& a, const Region& b, int mode);
    static Region fromRects(const RECT* rects, size_t count); // any rectangles, overlapping or not
};

enum class ObjectKind { Pen = OBJ_PEN, Brush = OBJ_BRUSH, Font = OBJ_FONT, Bitmap = OBJ_BITMAP, Region = OBJ_REGION };

// Plain structs without virtual functions: a module may free what another module's copy of this code made.
struct GdiObject {
    explicit GdiObject(ObjectKind k) : kind(k) {}
    ObjectKind kind;
    bool stock = false;         // never deleted, not counted
    int selectedIn = 0;         // number of DCs that hold it selected
    bool deletePending = false; // DeleteObject while selected: freed when the last DC lets go
};

struct Pen : GdiObject {
    Pen() : GdiObject(ObjectKind::Pen) {}
    UINT style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct Brush : GdiObject {
    Brush() : GdiObject(ObjectKind::Brush) {}
    UINT style = BS_SOLID;
    COLORREF color = 0;
    std::vector<std::uint32_t> pattern; // BS_PATTERN: 8x8 or the bitmap's size, 0x00RRGGBB
    int patternWidth = 0, patternHeight = 0;
    bool patternMono = false; // mono pattern: 0 bits take the text colour, 1 bits the background colour
};

struct FontFace; // text.cpp
struct Font : GdiObject {
    Font() : GdiObject(ObjectKind::Font) {}
    LOGFONTW log{};
    FontFace* face = nullptr; // resolved on first use; faces live as long as the process
};

struct Bitmap : GdiObject {
    Bitmap() : GdiObject(ObjectKind::Bitmap) {}
    int width = 0, height = 0;
    bool mono = false;                 // 1 bpp: pixels are 0 or 0x00FFFFFF
    std::vector<std::uint32_t> store;  // 0x00RRGGBB, top-down; empty when `external` is used
    std::uint32_t* external = nullptr; // a 32-bit DIB section's own memory
    std::ptrdiff_t stride = 0;         // in pixels; negative for a bottom-up DIB section
    // DIB section bookkeeping: the caller-visible bits and their format. A 32-bit section draws straight into its
    // bits; other depths keep `store` as the pixels while selected into a DC and `dibStore` otherwise, converting
    // on selection and deselection (SectionToPixels / PixelsToSection).
    void* dibBits = nullptr;
    std::vector<std::uint8_t> dibStore;
    std::vector<std::uint32_t> dibHeader; // BITMAPINFO with its colour table, 4-byte aligned
    int dibBitCount = 0;
    bool convertedSection() const { return dibBits && !external; }
    bool inDC = false; // selected into a memory DC (a bitmap can be selected into one DC at a time)

    std::uint32_t* row(int y) {
        return external ? external + y * stride : store.data() + static_cast<std::ptrdiff_t>(y) * width;
    }
    const std::uint32_t* row(int y) const { return const_cast<Bitmap*>(this)->row(y); }
};

struct RegionObject : GdiObject {
    RegionObject() : GdiObject(ObjectKind::Region) {}
    Region region;
};

// Everything SaveDC keeps.
struct DCState {
    Pen* pen = nullptr;
    Brush* brush = nullptr;
    Font* font = nullptr;
    Bitmap* bitmap = nullptr;
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF dcBrushColor = RGB(255, 255, 255);
    COLORREF dcPenColor = RGB(0, 0, 0);
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int stretchMode = BLACKONWHITE;
    UINT textAlign = TA_LEFT | TA_TOP;
    DWORD layout = 0;
    POINT viewportOrg{0, 0};
    POINT windowOrg{0, 0};
    POINT brushOrg{0, 0};
    POINT position{0, 0};
    bool hasClip = false;
    Region clip; // application clip, device coordinates (before mirroring and the surface offset)
};

enum class DCKind { Memory, Surface, Display };

// The pixels a DC draws on right now: a window surface, the selected bitmap, or nothing.
struct Target {
    std::uint32_t* base = nullptr;
    std::ptrdiff_t stride = 0; // pixels
    int width = 0, height = 0;
    bool mono = false;
    std::uint32_t* row(int y) const { return base + y * stride; }
    // The pixel a colour becomes on this target.
    std::uint32_t pixelOf(COLORREF c) const { return mono ? ToMono(ToPixel(c)) : ToPixel(c); }
};

struct PathFigure {
    std::vector<POINT> points; // device coordinates
    bool closed = false;
};

struct DeviceContext {
    DCKind kind = DCKind::Memory;
    DCState state;
    std::vector<DCState> saved;
    // Surface DCs: where logical device (0,0) lies on the surface, the area's size and the visible region
    // (surface coordinates). Memory and display DCs use the target itself.
    std::shared_ptr<Surface> surface;
    POINT origin{0, 0};
    SIZE extent{0, 0};
    Region visible;
    // Path being recorded between BeginPath and EndPath, and the finished one.
    bool pathOpen = false;
    std::vector<PathFigure> path;

    Target target() const;
    // Width the DC mirrors about under LAYOUT_RTL.
    int mirrorWidth() const;
    // Logical point -> device point (viewport/window origins, then mirroring).
    POINT toDevice(int x, int y) const;
    // The effective clip in target pixels: visible area, application clip, target bounds.
    Region effectiveClip() const;
    // Device (DC-relative) -> target pixels: adds the surface origin.
    POINT devToTarget() const { return kind == DCKind::Surface ? origin : POINT{0, 0}; }
    // Logical point -> target pixel.
    POINT toTarget(int x, int y) const {
        POINT p = toDevice(x, y), o = devToTarget();
        return POINT{p.x + o.x, p.y + o.y};
    }
};

// A new DC of that kind with the default objects selected, registered (dc.cpp).
DeviceContext* NewDC(DCKind kind);

// Handle table: every live object and DC, so a stale or foreign handle is refused instead of followed.
void Register(GdiObject* obj);
void RegisterDC(DeviceContext* dc);
DeviceContext* ToDC(HDC dc);
GdiObject* ToObject(HGDIOBJ h);
template <class T> T* ToObjectOf(HGDIOBJ h, ObjectKind kind) {
    GdiObject* o = ToObject(h);
    return o && o->kind == kind ? static_cast<T*>(o) : nullptr;
}
void UnregisterDC(DeviceContext* dc);
void ReleaseSelected(GdiObject* obj); // a DC let go of obj; frees it when a delete was pending

// Shared drawing primitives (draw.cpp / blit.cpp).
void FillRectDevice(DeviceContext& dc, RECT devRect, std::uint32_t pixel, int rop2 = R2_COPYPEN);
void FillRectBrush(DeviceContext& dc, RECT devRect, const Brush& brush, int rop2 = R2_COPYPEN);
RECT ToDeviceRect(const DeviceContext& dc, int left, int top, int right, int bottom); // normalised
std::uint32_t ApplyRop2(int rop2, std::uint32_t pen, std::uint32_t dst);
COLORREF SysColor(int index);
// The brush FillRect & co. take: a brush handle or (HBRUSH)(COLOR_x + 1).
bool ResolveBrush(HBRUSH h, Brush& out);

// The default objects of a new DC and the 1x1 monochrome bitmap of a new memory DC.
Pen* StockPen(int index);
Brush* StockBrush(int index);
Font* StockFont(int index);
Bitmap* DefaultBitmap();

Bitmap* NewBitmap(int width, int height, bool mono);

// A DIB described by a BITMAPINFO (bitmap.cpp): enough to decode any of its rows into 0x00RRGGBB pixels.
struct DibInfo {
    int width = 0, height = 0; // height positive
    bool topDown = false;
    int bitCount = 0;
    std::size_t stride = 0; // bytes per row, DWORD aligned
    std::uint32_t palette[256] = {};
    int paletteSize = 0;
    std::uint32_t masks[3] = {};
    int shifts[3] = {}, widths[3] = {};
    std::size_t headerBytes = 0; // header + colour table + masks: where packed bits begin
    std::size_t imageBytes() const { return stride * static_cast<std::size_t>(height); }
};
bool ParseDib(const BITMAPINFO* info, UINT usage, DibInfo& out);
// Decodes image row `row` (0 = top of the picture) of the DIB bits into `out` (width pixels).
void DecodeDibRow(const DibInfo& dib, const void* bits, int row, std::uint32_t* out);
// Moves the pixels of a DIB section of 1 to 24 bits between its caller-visible bits and the drawable pixels.
void SectionToPixels(Bitmap& bmp);
void PixelsToSection(Bitmap& bmp);

// Text (text.cpp): logs each string drawn for the tests.
void LogText(const std::u16string& text, POINT pos);

} // namespace platform::gdi
