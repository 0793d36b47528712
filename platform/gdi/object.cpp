// GDI objects: the handle table, stock objects, pens and brushes, SelectObject, DeleteObject and GetObject.
#include "platform/gdi/internal.h"
#include "platform/gdi/state.h"
#include "platform/gdi/testing.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace platform::gdi {

namespace {

void Add(void* p, int type) {
    SharedState& g = G();
    std::lock_guard lock(g.handleMutex);
    g.live.emplace(p, type);
    ++g.counts[type];
}

void Remove(void* p) {
    SharedState& g = G();
    std::lock_guard lock(g.handleMutex);
    auto it = g.live.find(p);
    if (it == g.live.end())
        return;
    --g.counts[it->second];
    g.live.erase(it);
}

bool IsLive(void* p, int* type = nullptr) {
    SharedState& g = G();
    std::lock_guard lock(g.handleMutex);
    auto it = g.live.find(p);
    if (it == g.live.end())
        return false;
    if (type)
        *type = it->second;
    return true;
}

// Objects are plain structs (no virtual destructor, see state.h): free each as what it is.
void Destroy(GdiObject* obj) {
    Remove(obj);
    switch (obj->kind) {
    case ObjectKind::Pen:
        delete static_cast<Pen*>(obj);
        break;
    case ObjectKind::Brush:
        delete static_cast<Brush*>(obj);
        break;
    case ObjectKind::Font:
        delete static_cast<Font*>(obj);
        break;
    case ObjectKind::Bitmap:
        delete static_cast<Bitmap*>(obj);
        break;
    case ObjectKind::Region:
        delete static_cast<RegionObject*>(obj);
        break;
    }
}

} // namespace

void Register(GdiObject* obj) {
    Add(obj, static_cast<int>(obj->kind));
}
void RegisterDC(DeviceContext* dc) {
    Add(dc, dc->kind == DCKind::Memory ? OBJ_MEMDC : OBJ_DC);
}
void UnregisterDC(DeviceContext* dc) {
    Remove(dc);
}

DeviceContext* ToDC(HDC dc) {
    int type = 0;
    if (!dc || !IsLive(dc, &type) || (type != OBJ_DC && type != OBJ_MEMDC))
        return nullptr;
    return reinterpret_cast<DeviceContext*>(dc);
}

GdiObject* ToObject(HGDIOBJ h) {
    int type = 0;
    if (!h || !IsLive(h, &type) || type == OBJ_DC || type == OBJ_MEMDC)
        return nullptr;
    return static_cast<GdiObject*>(h);
}

void ReleaseSelected(GdiObject* obj) {
    if (!obj || obj->stock)
        return;
    if (obj->selectedIn > 0)
        --obj->selectedIn;
    if (obj->kind == ObjectKind::Bitmap) {
        auto* bmp = static_cast<Bitmap*>(obj);
        if (bmp->inDC && bmp->convertedSection())
            PixelsToSection(*bmp); // the drawing becomes visible in the section's bits
        bmp->inDC = false;
    }
    if (obj->selectedIn == 0 && obj->deletePending)
        Destroy(obj);
}

Pen* StockPen(int index) {
    if (index == DC_PEN)
        return G().dcPen;
    return index >= WHITE_PEN && index <= NULL_PEN ? G().stockPens[index - WHITE_PEN] : nullptr;
}
Brush* StockBrush(int index) {
    if (index == DC_BRUSH)
        return G().dcBrush;
    return index >= WHITE_BRUSH && index <= NULL_BRUSH ? G().stockBrushes[index] : nullptr;
}
Font* StockFont(int index) {
    if (index == SYSTEM_FONT || index == OEM_FIXED_FONT || index == SYSTEM_FIXED_FONT || index == ANSI_FIXED_FONT)
        return G().systemFont;
    return G().guiFont;
}
Bitmap* DefaultBitmap() {
    return G().defaultBitmap;
}

Bitmap* NewBitmap(int width, int height, bool mono) {
    // Device bitmaps hold windows and previews; 2^28 pixels (1 GiB) is far beyond them, so refuse before allocating.
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > (1LL << 28))
        return nullptr;
    auto bmp = std::make_unique<Bitmap>();
    bmp->width = width;
    bmp->height = height;
    bmp->mono = mono;
    try {
        // A new bitmap is black, as on Windows (monochrome: all 0 bits).
        bmp->store.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    Register(bmp.get());
    return bmp.release();
}

HBRUSH CreatePermanentBrush(COLORREF color) {
    auto* brush = new Brush; // lives for the process, like the system's own brushes
    brush->stock = true;
    brush->color = color & 0x00FFFFFF;
    SharedState& g = G();
    std::lock_guard lock(g.handleMutex);
    g.live.emplace(brush, OBJ_BRUSH); // a valid handle, not counted
    return reinterpret_cast<HBRUSH>(brush);
}

// ---- Test support ------------------------------------------------------------------------------------------------

int LiveObjectCount() {
    SharedState& g = G();
    std::lock_guard lock(g.handleMutex);
    return g.counts[OBJ_PEN] + g.counts[OBJ_BRUSH] + g.counts[OBJ_FONT] + g.counts[OBJ_BITMAP] + g.counts[OBJ_REGION] +
           g.counts[OBJ_DC] + g.counts[OBJ_MEMDC];
}

int LiveObjectCount(DWORD objType) {
    if (objType >= 16)
        return 0;
    SharedState& g = G();
    std::lock_guard lock(g.handleMutex);
    return g.counts[objType];
}

} // namespace platform::gdi

using namespace platform::gdi;

HGDIOBJ GetStockObject(int index) {
    if (Brush* b = StockBrush(index))
        return b;
    if (Pen* p = StockPen(index))
        return p;
    switch (index) {
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case SYSTEM_FIXED_FONT:
    case DEFAULT_GUI_FONT:
        return StockFont(index);
    default:
        return nullptr;
    }
}

HPEN CreatePen(int style, int width, COLORREF color) {
    auto* pen = new Pen; // owned by the handle table until DeleteObject
    pen->style = static_cast<UINT>(style) & PS_STYLE_MASK;
    if (pen->style > PS_INSIDEFRAME)
        pen->style = PS_SOLID;
    pen->width = std::max(width, 1);
    // Styled lines are cosmetic: a wide dotted pen draws solid, as on Windows.
    if (pen->width > 1 && pen->style >= PS_DASH && pen->style <= PS_DASHDOTDOT)
        pen->style = PS_SOLID;
    pen->color = color & 0x00FFFFFF;
    Register(pen);
    return reinterpret_cast<HPEN>(pen);
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
    return pen ? CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor) : nullptr;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto* brush = new Brush;
    brush->color = color & 0x00FFFFFF;
    Register(brush);
    return reinterpret_cast<HBRUSH>(brush);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
    if (!lb)
        return nullptr;
    if (lb->lbStyle == BS_PATTERN)
        return CreatePatternBrush(reinterpret_cast<HBITMAP>(lb->lbHatch));
    auto* brush = new Brush;
    brush->style = lb->lbStyle == BS_NULL ? BS_NULL : BS_SOLID; // hatches are drawn solid
    brush->color = lb->lbColor & 0x00FFFFFF;
    Register(brush);
    return reinterpret_cast<HBRUSH>(brush);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    Bitmap* bmp = ToObjectOf<Bitmap>(bitmap, ObjectKind::Bitmap);
    if (!bmp || bmp->width <= 0 || bmp->height <= 0)
        return nullptr;
    if (bmp->convertedSection() && !bmp->inDC)
        SectionToPixels(*bmp);
    auto* brush = new Brush;
    brush->style = BS_PATTERN;
    brush->patternWidth = bmp->width;
    brush->patternHeight = bmp->height;
    brush->patternMono = bmp->mono;
    for (int y = 0; y < bmp->height; ++y)
        brush->pattern.insert(brush->pattern.end(), bmp->row(y), bmp->row(y) + bmp->width);
    Register(brush);
    return reinterpret_cast<HBRUSH>(brush);
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    DeviceContext* dc = ToDC(hdc);
    GdiObject* obj = ToObject(h);
    if (!dc || !obj)
        return nullptr;
    DCState& s = dc->state;
    auto swap = [&](auto*& slot) -> HGDIOBJ {
        auto* old = slot;
        slot = static_cast<std::remove_reference_t<decltype(slot)>>(obj);
        if (!obj->stock)
            ++obj->selectedIn;
        ReleaseSelected(old);
        return old;
    };
    switch (obj->kind) {
    case ObjectKind::Pen:
        return swap(s.pen);
    case ObjectKind::Brush:
        return swap(s.brush);
    case ObjectKind::Font:
        return swap(s.font);
    case ObjectKind::Bitmap: {
        auto* bmp = static_cast<Bitmap*>(obj);
        if (dc->kind != DCKind::Memory)
            return nullptr;
        if (bmp == s.bitmap)
            return bmp;
        if (bmp->inDC && !bmp->stock)
            return nullptr; // already selected into another memory DC
        if (bmp->convertedSection())
            SectionToPixels(*bmp); // what the caller wrote into the bits is what gets drawn on
        HGDIOBJ old = swap(s.bitmap);
        if (!bmp->stock)
            bmp->inDC = true;
        return old;
    }
    case ObjectKind::Region: {
        int result = SelectClipRgn(hdc, reinterpret_cast<HRGN>(h));
        return reinterpret_cast<HGDIOBJ>(static_cast<LONG_PTR>(result));
    }
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ h) {
    GdiObject* obj = ToObject(h);
    if (!obj)
        return FALSE;
    if (obj->stock)
        return TRUE;
    if (obj->selectedIn > 0) {
        // Windows refuses to free an object still selected into a DC; we free it once the DC lets go.
        obj->deletePending = true;
        return TRUE;
    }
    Destroy(obj);
    return TRUE;
}

DWORD GetObjectType(HGDIOBJ h) {
    int type = 0;
    return h && IsLive(h, &type) ? static_cast<DWORD>(type) : 0;
}

int GetObjectW(HGDIOBJ h, int size, LPVOID out) {
    GdiObject* obj = ToObject(h);
    if (!obj)
        return 0;
    auto put = [&](const auto& value) -> int {
        int n = static_cast<int>(sizeof(value));
        if (!out)
            return n;
        n = std::min(n, size);
        if (n <= 0)
            return 0;
        std::memcpy(out, &value, static_cast<size_t>(n));
        return n;
    };
    switch (obj->kind) {
    case ObjectKind::Pen: {
        auto* p = static_cast<Pen*>(obj);
        LOGPEN lp{p->style, POINT{p->width, 0}, p->color};
        return put(lp);
    }
    case ObjectKind::Brush: {
        auto* b = static_cast<Brush*>(obj);
        LOGBRUSH lb{b->style, b->color, 0};
        return put(lb);
    }
    case ObjectKind::Font:
        return put(static_cast<Font*>(obj)->log);
    case ObjectKind::Bitmap: {
        auto* b = static_cast<Bitmap*>(obj);
        if (b->inDC && b->convertedSection())
            PixelsToSection(*b); // the caller is about to read the bits
        BITMAP bm{};
        bm.bmWidth = b->width;
        bm.bmHeight = b->height;
        bm.bmPlanes = 1;
        bm.bmBitsPixel = static_cast<WORD>(b->dibBits ? b->dibBitCount : (b->mono ? 1 : 32));
        bm.bmWidthBytes =
            b->dibBits ? ((b->width * bm.bmBitsPixel + 31) / 32) * 4 : ((b->width * bm.bmBitsPixel + 15) / 16) * 2;
        bm.bmBits = b->dibBits;
        if (b->dibBits && out && size >= static_cast<int>(sizeof(DIBSECTION))) {
            DIBSECTION ds{};
            ds.dsBm = bm;
            std::memcpy(&ds.dsBmih, b->dibHeader.data(), sizeof(BITMAPINFOHEADER));
            if (ds.dsBmih.biCompression == BI_BITFIELDS)
                std::memcpy(ds.dsBitfields, reinterpret_cast<const BYTE*>(b->dibHeader.data()) + ds.dsBmih.biSize,
                            sizeof(ds.dsBitfields));
            return put(ds);
        }
        return put(bm);
    }
    case ObjectKind::Region:
        return 0;
    }
    return 0;
}
