// The framework's drawing classes: wrapper bookkeeping (permanent and temporary maps) and the few members that do
// more than forward to GDI.
#include "platform/gdi/afxgdi.h"
#include "platform/gdi/state.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// Handle -> permanent wrapper (any thread); handle -> temporary wrapper (per thread, freed by DeleteTempMap).
std::mutex g_mapMutex;
std::unordered_map<HGDIOBJ, CGdiObject*>& PermanentObjects() {
    static auto* map = new std::unordered_map<HGDIOBJ, CGdiObject*>;
    return *map;
}
std::unordered_map<HDC, CDC*>& PermanentDCs() {
    static auto* map = new std::unordered_map<HDC, CDC*>;
    return *map;
}
thread_local std::unordered_map<HGDIOBJ, std::unique_ptr<CGdiObject>> t_tempObjects;
thread_local std::unordered_map<HDC, std::unique_ptr<CDC>> t_tempDCs;

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
    platform::gdi::G().bitmapLoader = loader;
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
    std::lock_guard lock(g_mapMutex);
    PermanentObjects()[object] = this;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    if (h) {
        std::lock_guard lock(g_mapMutex);
        auto it = PermanentObjects().find(h);
        if (it != PermanentObjects().end() && it->second == this)
            PermanentObjects().erase(it);
    }
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
    {
        std::lock_guard lock(g_mapMutex);
        auto it = PermanentObjects().find(object);
        if (it != PermanentObjects().end())
            return it->second;
    }
    auto& temp = t_tempObjects[object];
    if (!temp) {
        temp = MakeWrapper(object);
        temp->m_hObject = object; // not attached: the temporary wrapper never deletes the object
    }
    return temp.get();
}

void CGdiObject::DeleteTempMap() {
    for (auto& [h, wrapper] : t_tempObjects)
        wrapper->m_hObject = nullptr;
    t_tempObjects.clear();
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
    auto loader = platform::gdi::G().bitmapLoader.load();
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
    std::lock_guard lock(g_mapMutex);
    PermanentDCs()[dc] = this;
    return TRUE;
}

HDC CDC::Detach() {
    HDC h = m_hDC;
    if (h) {
        std::lock_guard lock(g_mapMutex);
        auto it = PermanentDCs().find(h);
        if (it != PermanentDCs().end() && it->second == this)
            PermanentDCs().erase(it);
    }
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
    {
        std::lock_guard lock(g_mapMutex);
        auto it = PermanentDCs().find(dc);
        if (it != PermanentDCs().end())
            return it->second;
    }
    auto& temp = t_tempDCs[dc];
    if (!temp) {
        temp = std::make_unique<CDC>();
        temp->m_hDC = temp->m_hAttribDC = dc; // not attached: never deleted by the wrapper
    }
    return temp.get();
}

void CDC::DeleteTempMap() {
    for (auto& [h, wrapper] : t_tempDCs)
        wrapper->m_hDC = wrapper->m_hAttribDC = nullptr;
    t_tempDCs.clear();
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
