// The framework's drawing classes: wrapper bookkeeping (permanent and temporary maps) and the few members that do
// more than forward to GDI.
#include "platform/gdi/afxgdi.h"
#include "platform/base/lifetime.h"
#include "platform/gdi/state.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// Handle -> permanent wrapper, used from any thread.
template <typename Handle, typename Wrapper> class PermanentMap {
public:
    void add(Handle h, Wrapper* wrapper) {
        std::lock_guard lock(m_mutex);
        m_map[h] = wrapper;
    }
    // Forgets the handle only while it still names this wrapper.
    void remove(Handle h, const Wrapper* wrapper) {
        std::lock_guard lock(m_mutex);
        auto it = m_map.find(h);
        if (it != m_map.end() && it->second == wrapper)
            m_map.erase(it);
    }
    Wrapper* find(Handle h) {
        std::lock_guard lock(m_mutex);
        auto it = m_map.find(h);
        return it != m_map.end() ? it->second : nullptr;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<Handle, Wrapper*> m_map;
};

PermanentMap<HGDIOBJ, CGdiObject>& PermanentObjects() {
    static auto* map = platform::KeepUntilUnload(new PermanentMap<HGDIOBJ, CGdiObject>);
    return *map;
}
PermanentMap<HDC, CDC>& PermanentDCs() {
    static auto* map = platform::KeepUntilUnload(new PermanentMap<HDC, CDC>);
    return *map;
}

// Installed by this copy's window framework: a module's bitmaps come from its own resources, and the loader's code
// goes away with the module, so it is never kept in the process-wide renderer state.
std::atomic<HBITMAP (*)(LPCWSTR)> g_bitmapLoader{nullptr};

// Handle -> temporary wrapper (per thread, freed by DeleteTempMap or with its thread). A temporary wrapper never
// owns its handle: it lets go of it before it is destroyed.
struct TempObjects {
    std::unordered_map<HGDIOBJ, std::unique_ptr<CGdiObject>> map;
    void Clear() {
        for (auto& [h, wrapper] : map)
            wrapper->m_hObject = nullptr;
        map.clear();
    }
    ~TempObjects() { Clear(); }
};
struct TempDCs {
    std::unordered_map<HDC, std::unique_ptr<CDC>> map;
    void Clear() {
        for (auto& [h, wrapper] : map)
            wrapper->m_hDC = wrapper->m_hAttribDC = nullptr;
        map.clear();
    }
    ~TempDCs() { Clear(); }
};
platform::PerThread<TempObjects> t_tempObjects;
platform::PerThread<TempDCs> t_tempDCs;

// A wrapper of the right class for a handle, so callers may cast to CPen*, CBitmap*...
std::unique_ptr<CGdiObject> MakeWrapper(HGDIOBJ h) {
    switch (GetObjectType(h)) {
    case OBJ_PEN:
        return std::make_unique<CPen>();
    case OBJ_BRUSH:
        return std::make_unique<CBrush>();
    case OBJ_FONT:
        return std::make_unique<CFont>();
    case OBJ_BITMAP:
        return std::make_unique<CBitmap>();
    case OBJ_REGION:
        return std::make_unique<CRgn>();
    default:
        return std::make_unique<CGdiObject>();
    }
}

} // namespace

namespace platform::gdi {
void SetResourceBitmapLoader(HBITMAP (*loader)(LPCWSTR name)) {
    g_bitmapLoader = loader;
}
} // namespace platform::gdi

// ---- CGdiObject --------------------------------------------------------------------------------------------------

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
    if (!object)
        return FALSE;
    if (m_hObject)
        DeleteObject();
    m_hObject = object;
    PermanentObjects().add(object, this);
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    if (h)
        PermanentObjects().remove(h, this);
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject)
        return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CGdiObject::CreateStockObject(int index) {
    // Stock objects are shared: the wrapper refers to one without owning it.
    HGDIOBJ h = ::GetStockObject(index);
    if (!h)
        return FALSE;
    if (m_hObject)
        DeleteObject();
    m_hObject = h;
    return TRUE;
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ object) {
    if (!object)
        return nullptr;
    if (CGdiObject* permanent = PermanentObjects().find(object))
        return permanent;
    auto& temp = t_tempObjects->map[object];
    if (!temp) {
        temp = MakeWrapper(object);
        temp->m_hObject = object; // not attached: the temporary wrapper never deletes the object
    }
    return temp.get();
}

void CGdiObject::DeleteTempMap() {
    if (TempObjects* temporaries = t_tempObjects.Find())
        temporaries->Clear();
}

BOOL CBrush::CreatePatternBrush(CBitmap* bitmap) {
    return bitmap && Attach(::CreatePatternBrush(static_cast<HBITMAP>(*bitmap)));
}

BOOL CFont::CreatePointFont(int pointSize, LPCWSTR faceName, CDC* dc) {
    LOGFONTW lf{};
    // Tenths of a point to pixels at 96 dpi, rounded; negative: a character height.
    lf.lfHeight = -((pointSize * 96 + 360) / 720);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    for (int i = 0; faceName && faceName[i] && i < LF_FACESIZE - 1; ++i)
        lf.lfFaceName[i] = faceName[i];
    return CreateFontIndirect(&lf);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
    return dc && Attach(::CreateCompatibleBitmap(dc->m_hDC, width, height));
}

BOOL CBitmap::LoadBitmap(LPCWSTR name) {
    auto loader = g_bitmapLoader.load();
    return loader && Attach(loader(name));
}

BOOL CBitmap::LoadBitmap(UINT id) {
    return LoadBitmap(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(id))));
}

// ---- CDC ---------------------------------------------------------------------------------------------------------

CDC::~CDC() {
    if (m_hDC)
        ::DeleteDC(Detach());
}

BOOL CDC::Attach(HDC dc) {
    if (!dc)
        return FALSE;
    m_hDC = m_hAttribDC = dc;
    PermanentDCs().add(dc, this);
    return TRUE;
}

HDC CDC::Detach() {
    HDC h = m_hDC;
    if (h)
        PermanentDCs().remove(h, this);
    m_hDC = m_hAttribDC = nullptr;
    return h;
}

BOOL CDC::DeleteDC() {
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

CDC* CDC::FromHandle(HDC dc) {
    if (!dc)
        return nullptr;
    if (CDC* permanent = PermanentDCs().find(dc))
        return permanent;
    auto& temp = t_tempDCs->map[dc];
    if (!temp) {
        temp = std::make_unique<CDC>();
        temp->m_hDC = temp->m_hAttribDC = dc; // not attached: never deleted by the wrapper
    }
    return temp.get();
}

void CDC::DeleteTempMap() {
    if (TempDCs* temporaries = t_tempDCs.Find())
        temporaries->Clear();
}

CGdiObject* CDC::Select(CGdiObject* object) {
    if (!object)
        return nullptr;
    return CGdiObject::FromHandle(::SelectObject(m_hDC, object->m_hObject));
}

CGdiObject* CDC::SelectStockObject(int index) {
    HGDIOBJ h = ::GetStockObject(index);
    return h ? CGdiObject::FromHandle(::SelectObject(m_hDC, h)) : nullptr;
}

void CDC::FillSolidRect(const RECT* r, COLORREF color) {
    ::SetBkColor(m_hDC, color);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, r, nullptr, 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int w, int h, COLORREF color) {
    RECT r{x, y, x + w, y + h};
    FillSolidRect(&r, color);
}

void CDC::Draw3dRect(const RECT* r, COLORREF topLeft, COLORREF bottomRight) {
    Draw3dRect(r->left, r->top, r->right - r->left, r->bottom - r->top, topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int w, int h, COLORREF topLeft, COLORREF bottomRight) {
    FillSolidRect(x, y, w - 1, 1, topLeft);
    FillSolidRect(x, y, 1, h - 1, topLeft);
    FillSolidRect(x + w, y, -1, h, bottomRight);
    FillSolidRect(x, y + h, w, -1, bottomRight);
}

BOOL CDC::TextOut(int x, int y, const WCHAR* text) {
    int n = 0;
    while (text && text[n])
        ++n;
    return ::TextOutW(m_hDC, x, y, text, n);
}

CSize CDC::GetTextExtent(const WCHAR* text) const {
    int n = 0;
    while (text && text[n])
        ++n;
    return GetTextExtent(text, n);
}
