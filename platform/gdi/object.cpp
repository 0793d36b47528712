// GDI objects: the handle table, stock objects, pens and brushes, SelectObject, DeleteObject and GetObject.
#include "platform/gdi/objects.h"
#include "platform/gdi/testing.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace platform::gdi {

namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<void*, int> live; // object or DC -> its OBJ_ type
    int counts[16] = {};
};

HandleTable& Table() {
    static auto* table = new HandleTable; // outlives static destructors of other modules
    return *table;
}

void Add(void* p, int type) {
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.live.emplace(p, type);
    ++t.counts[type];
}

void Remove(void* p) {
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    auto it = t.live.find(p);
    if (it == t.live.end())
        return;
    --t.counts[it->second];
    t.live.erase(it);
}

bool IsLive(void* p, int* type = nullptr) {
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    auto it = t.live.find(p);
    if (it == t.live.end())
        return false;
    if (type)
        *type = it->second;
    return true;
}

// Stock objects are registered (so handles validate) but not counted as live application objects.
template <class T> T* MakeStock(T* obj) {
    obj->stock = true;
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    t.live.emplace(obj, static_cast<int>(obj->kind));
    return obj;
}

struct StockObjects {
    Brush* brushes[6];
    Pen* pens[3];
    Font* guiFont;
    Font* systemFont;
    Brush* dcBrush;
    Pen* dcPen;
    Bitmap* defaultBitmap;

    StockObjects() {
        const COLORREF greys[5] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64),
                                   RGB(0, 0, 0)};
        for (int i = 0; i < 5; ++i) {
            brushes[i] = MakeStock(new Brush);
            brushes[i]->color = greys[i];
        }
        brushes[5] = MakeStock(new Brush);
        brushes[5]->style = BS_NULL;
        const COLORREF penColors[2] = {RGB(255, 255, 255), RGB(0, 0, 0)};
        for (int i = 0; i < 2; ++i) {
            pens[i] = MakeStock(new Pen);
            pens[i]->color = penColors[i];
        }
        pens[2] = MakeStock(new Pen);
        pens[2]->style = PS_NULL;
        guiFont = MakeStock(new Font);
        guiFont->log.lfHeight = -11;
        guiFont->log.lfWeight = FW_NORMAL;
        std::memcpy(guiFont->log.lfFaceName, u"MS Shell Dlg", sizeof(u"MS Shell Dlg"));
        systemFont = MakeStock(new Font);
        systemFont->log.lfHeight = 16;
        systemFont->log.lfWeight = FW_BOLD;
        std::memcpy(systemFont->log.lfFaceName, u"System", sizeof(u"System"));
        dcBrush = MakeStock(new Brush);
        dcPen = MakeStock(new Pen);
        defaultBitmap = MakeStock(new Bitmap);
        defaultBitmap->width = defaultBitmap->height = 1;
        defaultBitmap->mono = true;
        defaultBitmap->store.assign(1, 0);
    }
};

StockObjects& Stock() {
    static auto* stock = new StockObjects;
    return *stock;
}

void Destroy(GdiObject* obj) {
    Remove(obj);
    delete obj;
}

} // namespace

void Register(GdiObject* obj) {
    Add(obj, static_cast<int>(obj->kind));
}
void RegisterDC(DeviceContext* dc) {
    Add(dc, dc->kind == DCKind::Memory ? OBJ_MEMDC : OBJ_DC);
}
void Unregister(GdiObject* obj) {
    Remove(obj);
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
    if (!obj)
        return;
    if (obj->selectedIn > 0)
        --obj->selectedIn;
    if (obj->kind == ObjectKind::Bitmap) {
        auto* bmp = static_cast<Bitmap*>(obj);
        if (bmp->inDC && bmp->convertedSection())
            PixelsToSection(*bmp); // the drawing becomes visible in the section's bits
        bmp->inDC = false;
    }
    if (obj->selectedIn == 0 && obj->deletePending && !obj->stock)
        Destroy(obj);
}

Pen* StockPen(int index) {
    if (index == DC_PEN)
        return Stock().dcPen;
    return index >= WHITE_PEN && index <= NULL_PEN ? Stock().pens[index - WHITE_PEN] : nullptr;
}
Brush* StockBrush(int index) {
    if (index == DC_BRUSH)
        return Stock().dcBrush;
    return index >= WHITE_BRUSH && index <= NULL_BRUSH ? Stock().brushes[index] : nullptr;
}
Font* StockFont(int index) {
    if (index == SYSTEM_FONT || index == OEM_FIXED_FONT || index == SYSTEM_FIXED_FONT || index == ANSI_FIXED_FONT)
        return Stock().systemFont;
    return Stock().guiFont;
}
Bitmap* DefaultBitmap() {
    return Stock().defaultBitmap;
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
    auto* brush = MakeStock(new Brush); // lives for the process, like the system's own brushes
    brush->color = color & 0x00FFFFFF;
    return reinterpret_cast<HBRUSH>(brush);
}

// ---- Test support ------------------------------------------------------------------------------------------------

int LiveObjectCount() {
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    return t.counts[OBJ_PEN] + t.counts[OBJ_BRUSH] + t.counts[OBJ_FONT] + t.counts[OBJ_BITMAP] + t.counts[OBJ_REGION] +
           t.counts[OBJ_DC] + t.counts[OBJ_MEMDC];
}

int LiveObjectCount(DWORD objType) {
    if (objType >= 16)
        return 0;
    HandleTable& t = Table();
    std::lock_guard lock(t.mutex);
    return t.counts[objType];
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
        bmp->inDC = !bmp->stock;
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
        return put(bm);
    }
    case ObjectKind::Region:
        return 0;
    }
    return 0;
}
