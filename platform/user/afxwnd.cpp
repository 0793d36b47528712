// CWnd: attaching objects to windows, the window procedure of framework windows, message-map dispatch, reflection
// of control notifications, PreTranslateMessage walks, and the application's message loop.
#include "platform/user/afxwin.h"

#include "platform/user/internal.h"

#include "platform/base/lifetime.h"

#include <map>
#include <memory>
#include <vector>

namespace {

// The object of a window is kept in a window property, so every module's copy of the framework finds it.
constexpr const char16_t* kObjectProperty = u"PlatformFrameworkWindow";

platform::PerThread<std::vector<MSG>> t_messages;                         // messages being handled, innermost last
platform::PerThread<std::map<HWND, std::unique_ptr<CWnd>>> t_temporaries; // wrappers made by FromHandle

struct CurrentMessage {
    explicit CurrentMessage(const MSG& m) { t_messages->push_back(m); }
    ~CurrentMessage() { t_messages->pop_back(); }
    CurrentMessage(const CurrentMessage&) = delete;
    CurrentMessage& operator=(const CurrentMessage&) = delete;
};

// The attach hook of CreateEx: the new window gets its object before its first message.
void AttachOnCreate(HWND hwnd, void* context) {
    auto* wnd = static_cast<CWnd*>(context);
    wnd->SubclassWindow(hwnd);
}

BOOL WalkPreTranslate(MSG* msg) {
    for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(h))
            if (wnd->PreTranslateMessage(msg))
                return TRUE;
        if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD))
            break; // the walk ends at the top-level window, as the framework's does
    }
    return FALSE;
}

BOOL AppPreTranslate(MSG* msg) {
    if (CWinThread* thread = AfxGetThread())
        return thread->PreTranslateMessage(msg);
    return WalkPreTranslate(msg);
}

// The framework's idle work: the temporary GDI wrappers made by FromHandle go.
void OnIdle() {
    CGdiObject::DeleteTempMap();
    CDC::DeleteTempMap();
}

int RunMessageLoop(CWinThread* thread) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0)) {
        if (!thread->PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            OnIdle();
    }
    return static_cast<int>(msg.wParam);
}

// Bitmaps come from the module's own resources, even while a language library supplies the strings.
HBITMAP LoadResourceBitmap(LPCWSTR name) {
    if (HBITMAP b = ::LoadBitmapW(AfxGetInstanceHandle(), name))
        return b;
    return ::LoadBitmapW(AfxGetResourceHandle(), name);
}

// The framework's hooks into base and gdi, installed before any framework window exists.
void InstallHooks() {
    static const bool installed = [] {
        platform::afx::g_walkPreTranslate = WalkPreTranslate;
        platform::afx::g_runMessageLoop = RunMessageLoop;
        platform::user::SetFrameworkPreTranslate(AppPreTranslate);
        platform::user::SetFrameworkIdle(OnIdle);
        platform::gdi::SetResourceBitmapLoader(LoadResourceBitmap);
        return true;
    }();
    (void)installed;
}

const int g_hooksInstalledAtLoad = (InstallHooks(), 0);

// Finds the entry for a message in a class's map or its bases'.
const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id) {
    for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage != message)
                continue;
            if (message == WM_COMMAND || message == WM_NOTIFY) {
                if (e->nCode != code || id < e->nID || id > e->nLastID)
                    continue;
            } else if (message == WM_REFLECT_BASE + WM_COMMAND || message == WM_REFLECT_BASE + WM_NOTIFY) {
                if (e->nCode != code)
                    continue;
            }
            return e;
        }
    }
    return nullptr;
}

// Handlers are stored type-erased and called back through the type they were stored with.
template <typename T> T As(AFX_PMSG pfn) {
    return std::bit_cast<T>(pfn);
}

CPoint PointOf(LPARAM lParam) {
    return CPoint(static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
}

} // namespace

// ---- Objects and windows ----

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

const CWnd CWnd::wndTop;
const CWnd CWnd::wndBottom;
const CWnd CWnd::wndTopMost;
const CWnd CWnd::wndNoTopMost;

namespace {
// The placement objects carry the special handles SetWindowPos takes.
const bool g_placementsReady = [] {
    const_cast<CWnd&>(CWnd::wndTop).m_hWnd = HWND_TOP;
    const_cast<CWnd&>(CWnd::wndBottom).m_hWnd = HWND_BOTTOM;
    const_cast<CWnd&>(CWnd::wndTopMost).m_hWnd = HWND_TOPMOST;
    const_cast<CWnd&>(CWnd::wndNoTopMost).m_hWnd = HWND_NOTOPMOST;
    return true;
}();
} // namespace

CWnd::CWnd() {
    InstallHooks();
}

CWnd::~CWnd() {
    // The placement objects (wndTop & co) hold pseudo-handles: they have no window to look up, not even while the
    // module's static objects are destroyed.
    if (!m_hWnd || m_hWnd == HWND_TOPMOST || m_hWnd == HWND_NOTOPMOST || m_hWnd == HWND_TOP || m_hWnd == HWND_BOTTOM)
        return;
    if (::IsWindow(m_hWnd) && FromHandlePermanent(m_hWnd) == this && !m_bTemporary)
        ::DestroyWindow(m_hWnd);
    if (FromHandlePermanent(m_hWnd) == this)
        ::RemovePropW(m_hWnd, kObjectProperty);
}

HWND CWnd::GetSafeHwnd() const {
    const CWnd* self = this;
    asm("" : "+r"(self)); // a null object is allowed here; keep the compiler from assuming otherwise
    return self ? self->m_hWnd : nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    if (CWnd* wnd = FromHandlePermanent(hwnd))
        return wnd;
    // Wrappers of windows that are gone are dropped here; nobody may hold one past its window.
    auto& temporaries = t_temporaries.Get();
    for (auto it = temporaries.begin(); it != temporaries.end();)
        it = ::IsWindow(it->first) ? std::next(it) : temporaries.erase(it);
    auto& slot = temporaries[hwnd];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = hwnd;
        slot->m_bTemporary = true;
    }
    return slot.get();
}

BOOL CWnd::Attach(HWND hwnd) {
    if (!hwnd || m_hWnd)
        return FALSE;
    m_hWnd = hwnd;
    ::SetPropW(hwnd, kObjectProperty, this);
    t_temporaries->erase(hwnd);
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hwnd = m_hWnd;
    if (hwnd && FromHandlePermanent(hwnd) == this)
        ::RemovePropW(hwnd, kObjectProperty);
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (!Attach(hwnd))
        return FALSE;
    PreSubclassWindow();
    auto old =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
    if (old != AfxWndProc)
        m_pfnSuper = old;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    HWND ctl = ::GetDlgItem(HwndOf(parent), static_cast<int>(id));
    return ctl ? SubclassWindow(ctl) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    if (m_pfnSuper)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT&) {
    return TRUE;
}
void CWnd::PreSubclassWindow() {}
void CWnd::PostNcDestroy() {}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, LPVOID param) {
    CREATESTRUCT cs{param,
                    AfxGetInstanceHandle(),
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                    HwndOf(parent),
                    rect.bottom - rect.top,
                    rect.right - rect.left,
                    rect.top,
                    rect.left,
                    static_cast<LONG>(style),
                    windowName,
                    className,
                    exStyle};
    if (!PreCreateWindow(cs))
        return FALSE;
    platform::user::SetThreadCreateHook(AttachOnCreate, this);
    HWND hwnd = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                                  cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    platform::user::SetThreadCreateHook(nullptr, nullptr);
    if (!hwnd && m_hWnd)
        Detach();
    return hwnd != nullptr;
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id);
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    CurrentMessage current(MSG{hwnd, msg, wParam, lParam, 0, {}});
    LRESULT result = wnd->WindowProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY && CWnd::FromHandlePermanent(hwnd) == wnd) {
        // The window is gone: the object lets go of it; the application forgets it as its main window.
        wnd->Detach();
        wnd->m_pfnSuper = nullptr;
        if (CWinThread* thread = AfxGetThread(); thread && thread->m_pMainWnd == wnd)
            thread->m_pMainWnd = nullptr;
        if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == wnd)
            app->m_pMainWnd = nullptr;
        wnd->PostNcDestroy();
    }
    return result;
}

const MSG* CWnd::GetCurrentMessage() {
    std::vector<MSG>* messages = t_messages.Find();
    return messages == nullptr || messages->empty() ? nullptr : &messages->back();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    const MSG* m = GetCurrentMessage();
    return m ? DefWindowProc(m->message, m->wParam, m->lParam) : 0;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    LRESULT result = 0;
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) {
            if (pResult)
                *pResult = 1;
            return TRUE;
        }
        return FALSE;
    }
    if (message == WM_NOTIFY) {
        LRESULT notifyResult = 0;
        if (OnNotify(wParam, lParam, &notifyResult)) {
            if (pResult)
                *pResult = notifyResult;
            return TRUE;
        }
        return FALSE;
    }
    UINT lookup = message;
    UINT ctlType = 0;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        lookup = WM_CTLCOLOR;
        ctlType = message - WM_CTLCOLORMSGBOX;
    }
    const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), lookup, 0, 0);
    if (!e)
        return FALSE;
    switch (e->nSig) {
    case AfxSig_vv:
        (this->*As<void (CWnd::*)()>(e->pfn))();
        break;
    case AfxSig_bD:
        result = (this->*As<BOOL (CWnd::*)(CDC*)>(e->pfn))(CDC::FromHandle(reinterpret_cast<HDC>(wParam)));
        break;
    case AfxSig_vt:
        (this->*As<void (CWnd::*)(UINT_PTR)>(e->pfn))(static_cast<UINT_PTR>(wParam));
        break;
    case AfxSig_vw:
        (this->*As<void (CWnd::*)(UINT)>(e->pfn))(static_cast<UINT>(wParam));
        break;
    case AfxSig_vwwW:
        (this->*As<void (CWnd::*)(UINT, UINT, CScrollBar*)>(e->pfn))(
            LOWORD(wParam), static_cast<UINT>(static_cast<SHORT>(HIWORD(wParam))),
            // The sender may be a trackbar, not a scroll bar: the handler gets the same object under the framework's
            // type and casts it back; a checked downcast would claim a type the object does not have.
            reinterpret_cast<CScrollBar*>(FromHandle(reinterpret_cast<HWND>(lParam))));
        break;
    case AfxSig_vwWb:
        (this->*As<void (CWnd::*)(UINT, CWnd*, BOOL)>(e->pfn))(
            LOWORD(wParam), FromHandle(reinterpret_cast<HWND>(lParam)), HIWORD(wParam));
        break;
    case AfxSig_bWww:
        result = (this->*As<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(e->pfn))(FromHandle(reinterpret_cast<HWND>(wParam)),
                                                                        LOWORD(lParam), HIWORD(lParam));
        break;
    case AfxSig_vwww:
        (this->*As<void (CWnd::*)(UINT, UINT, UINT)>(e->pfn))(static_cast<UINT>(wParam), LOWORD(lParam),
                                                              HIWORD(lParam));
        break;
    case AfxSig_vwp:
        (this->*As<void (CWnd::*)(UINT, CPoint)>(e->pfn))(static_cast<UINT>(wParam), PointOf(lParam));
        break;
    case AfxSig_bwsp:
        result = (this->*As<BOOL (CWnd::*)(UINT, short, CPoint)>(e->pfn))(
            LOWORD(wParam), static_cast<short>(HIWORD(wParam)), PointOf(lParam));
        break;
    case AfxSig_vW:
        (this->*As<void (CWnd::*)(CWnd*)>(e->pfn))(FromHandle(reinterpret_cast<HWND>(
            message == WM_CAPTURECHANGED ? reinterpret_cast<HWND>(lParam) : reinterpret_cast<HWND>(wParam))));
        break;
    case AfxSig_bHELPINFO:
        result = (this->*As<BOOL (CWnd::*)(HELPINFO*)>(e->pfn))(reinterpret_cast<HELPINFO*>(lParam));
        break;
    case AfxSig_hDWw:
        result = reinterpret_cast<LRESULT>((this->*As<HBRUSH (CWnd::*)(CDC*, CWnd*, UINT)>(e->pfn))(
            CDC::FromHandle(reinterpret_cast<HDC>(wParam)), FromHandle(reinterpret_cast<HWND>(lParam)), ctlType));
        break;
    case AfxSig_vOWNER:
        (this->*As<void (CWnd::*)(int, LPDRAWITEMSTRUCT)>(e->pfn))(static_cast<int>(wParam),
                                                                   reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        result = TRUE;
        break;
    case AfxSig_vwii:
        (this->*As<void (CWnd::*)(UINT, int, int)>(e->pfn))(
            static_cast<UINT>(wParam), static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        break;
    case AfxSig_vii:
        (this->*As<void (CWnd::*)(int, int)>(e->pfn))(static_cast<SHORT>(LOWORD(lParam)),
                                                      static_cast<SHORT>(HIWORD(lParam)));
        break;
    case AfxSig_is:
        result = (this->*As<int (CWnd::*)(LPCREATESTRUCT)>(e->pfn))(reinterpret_cast<LPCREATESTRUCT>(lParam));
        break;
    case AfxSig_vbw:
        (this->*As<void (CWnd::*)(BOOL, UINT)>(e->pfn))(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));
        break;
    case AfxSig_hv:
        result = reinterpret_cast<LRESULT>((this->*As<HCURSOR (CWnd::*)()>(e->pfn))());
        break;
    case AfxSig_vwl:
        (this->*As<void (CWnd::*)(UINT, LPARAM)>(e->pfn))(static_cast<UINT>(wParam), lParam);
        break;
    case AfxSig_bv:
        result = (this->*As<BOOL (CWnd::*)()>(e->pfn))();
        break;
    case AfxSig_vb:
        (this->*As<void (CWnd::*)(BOOL)>(e->pfn))(static_cast<BOOL>(wParam));
        break;
    case AfxSig_lp:
        result = (this->*As<LRESULT (CWnd::*)(CPoint)>(e->pfn))(PointOf(lParam));
        break;
    case AfxSig_wv:
        result = (this->*As<UINT (CWnd::*)()>(e->pfn))();
        break;
    case AfxSig_lwl:
        result = (this->*As<LRESULT (CWnd::*)(WPARAM, LPARAM)>(e->pfn))(wParam, lParam);
        break;
    default:
        return FALSE;
    }
    if (pResult)
        *pResult = result;
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    auto ctl = reinterpret_cast<HWND>(lParam);
    if (ctl && ReflectLastMsg(ctl))
        return TRUE; // the control's own object took it
    const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), WM_COMMAND, code, id);
    if (!e)
        return FALSE;
    // Command handlers are members of any command target (stored as such), called on this window.
    CCmdTarget* target = this;
    if (e->nSig == AfxSig_cmdRange)
        (target->*As<void (CCmdTarget::*)(UINT)>(e->pfn))(id);
    else
        (target->*As<void (CCmdTarget::*)()>(e->pfn))();
    return TRUE;
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (!nm)
        return FALSE;
    if (nm->hwndFrom && ReflectLastMsg(nm->hwndFrom, pResult))
        return TRUE;
    const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), WM_NOTIFY, nm->code, static_cast<UINT>(wParam));
    if (!e)
        return FALSE;
    (this->*As<void (CWnd::*)(NMHDR*, LRESULT*)>(e->pfn))(nm, pResult);
    return TRUE;
}

BOOL CWnd::ReflectLastMsg(HWND child, LRESULT* pResult) {
    CWnd* wnd = FromHandlePermanent(child);
    if (!wnd)
        return FALSE;
    return wnd->SendChildNotifyLastMsg(pResult);
}

BOOL CWnd::SendChildNotifyLastMsg(LRESULT* pResult) {
    const MSG* m = GetCurrentMessage();
    if (!m)
        return FALSE;
    MSG copy = *m;
    return OnChildNotify(copy.message, copy.wParam, copy.lParam, pResult);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const AFX_MSGMAP* map = GetMessageMap();
    switch (message) {
    case WM_COMMAND: {
        const AFX_MSGMAP_ENTRY* e = FindEntry(map, WM_REFLECT_BASE + WM_COMMAND, HIWORD(wParam), 0);
        if (!e)
            return FALSE;
        CCmdTarget* target = this;
        (target->*As<void (CCmdTarget::*)()>(e->pfn))();
        return TRUE;
    }
    case WM_NOTIFY: {
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        const AFX_MSGMAP_ENTRY* e = nm ? FindEntry(map, WM_REFLECT_BASE + WM_NOTIFY, nm->code, 0) : nullptr;
        if (!e)
            return FALSE;
        LRESULT local = 0;
        (this->*As<void (CWnd::*)(NMHDR*, LRESULT*)>(e->pfn))(nm, pResult ? pResult : &local);
        return TRUE;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        const AFX_MSGMAP_ENTRY* e = FindEntry(map, WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0);
        if (!e)
            return FALSE;
        HBRUSH brush = (this->*As<HBRUSH (CWnd::*)(CDC*, UINT)>(e->pfn))(CDC::FromHandle(reinterpret_cast<HDC>(wParam)),
                                                                         message - WM_CTLCOLORMSGBOX);
        // No brush means the parent's default handling goes on.
        if (!brush)
            return FALSE;
        if (pResult)
            *pResult = reinterpret_cast<LRESULT>(brush);
        return TRUE;
    }
    case WM_DRAWITEM: {
        const AFX_MSGMAP_ENTRY* e = FindEntry(map, WM_REFLECT_BASE + WM_DRAWITEM, 0, 0);
        if (!e)
            return FALSE;
        (this->*As<void (CWnd::*)(LPDRAWITEMSTRUCT)>(e->pfn))(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        if (pResult)
            *pResult = TRUE;
        return TRUE;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
        const AFX_MSGMAP_ENTRY* e = FindEntry(map, WM_REFLECT_BASE + message, 0, 0);
        if (!e)
            return FALSE;
        (this->*As<void (CWnd::*)(UINT, UINT)>(e->pfn))(LOWORD(wParam),
                                                        static_cast<UINT>(static_cast<SHORT>(HIWORD(wParam))));
        return TRUE;
    }
    default:
        return FALSE;
    }
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

// ---- Window operations ----

CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}
CWnd* CWnd::GetTopLevelParent() const {
    return FromHandle(::GetAncestor(m_hWnd, GA_ROOT));
}
CWnd* CWnd::GetDlgItem(int id) const {
    return FromHandle(::GetDlgItem(m_hWnd, id));
}

CWnd* CWnd::GetNextDlgTabItem(CWnd* ctl, BOOL previous) const {
    return FromHandle(::GetNextDlgTabItem(m_hWnd, HwndOf(ctl), previous));
}

CWnd* CWnd::GetNextDlgGroupItem(CWnd* ctl, BOOL previous) const {
    return FromHandle(::GetNextDlgGroupItem(m_hWnd, HwndOf(ctl), previous));
}

void CWnd::GetWindowText(CString& text) const {
    int n = ::GetWindowTextLengthW(m_hWnd);
    ::GetWindowTextW(m_hWnd, text.GetBufferSetLength(n), n + 1);
    text.ReleaseBuffer();
}

int CWnd::GetDlgItemText(int id, CString& text) const {
    text.Empty();
    HWND ctl = ::GetDlgItem(m_hWnd, id);
    if (!ctl)
        return 0;
    int n = ::GetWindowTextLengthW(ctl);
    ::GetWindowTextW(ctl, text.GetBufferSetLength(n), n + 1);
    text.ReleaseBuffer();
    return text.GetLength();
}

void CWnd::ScreenToClient(LPRECT rect) const {
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(rect));
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(rect) + 1);
}

void CWnd::ClientToScreen(LPRECT rect) const {
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(rect));
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(rect) + 1);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    DWORD style = GetStyle();
    DWORD next = (style & ~remove) | add;
    if (next == style)
        return FALSE;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(next));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
    DWORD style = GetExStyle();
    DWORD next = (style & ~remove) | add;
    if (next == style)
        return FALSE;
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, static_cast<LONG>(next));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    HWND center = alternateOwner ? alternateOwner->m_hWnd : nullptr;
    bool child = (GetStyle() & WS_CHILD) != 0;
    if (!center)
        center = child ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    if (child) {
        ::GetClientRect(center, &area);
    } else if (center && ::IsWindowVisible(center) && !::IsIconic(center)) {
        ::GetWindowRect(center, &area);
    }
    RECT r{};
    ::GetWindowRect(m_hWnd, &r);
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    int x = (area.left + area.right) / 2 - w / 2;
    int y = (area.top + area.bottom) / 2 - h / 2;
    if (!child) {
        // Stay on the screen.
        x = std::max(0, std::min(x, ::GetSystemMetrics(SM_CXSCREEN) - w));
        y = std::max(0, std::min(y, ::GetSystemMetrics(SM_CYSCREEN) - h));
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CWnd::ReleaseDC(CDC* dc) {
    if (!dc)
        return 0;
    HDC h = dc->GetSafeHdc();
    dc->Detach();
    return ::ReleaseDC(m_hWnd, h);
}

int CWnd::MessageBox(LPCWSTR text, LPCWSTR caption, UINT type) {
    if (!caption)
        caption = AfxGetApp() && AfxGetApp()->m_pszAppName ? AfxGetApp()->m_pszAppName : u"";
    return ::MessageBoxW(m_hWnd, text, caption, type);
}

// ---- Default handlers ----

void CWnd::OnPaint() {
    Default();
}
BOOL CWnd::OnEraseBkgnd(CDC*) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnNcDestroy() {
    Default();
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}

void CWnd::OnHScroll(UINT, UINT, CScrollBar* bar) {
    if (bar && bar->SendChildNotifyLastMsg())
        return;
    Default();
}

void CWnd::OnVScroll(UINT, UINT, CScrollBar* bar) {
    if (bar && bar->SendChildNotifyLastMsg())
        return;
    Default();
}

void CWnd::OnActivate(UINT, CWnd*, BOOL) {
    Default();
}
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnKeyUp(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnSysKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnChar(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnMButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}
void CWnd::OnMouseLeave() {
    Default();
}
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnSetFocus(CWnd*) {
    Default();
}
void CWnd::OnKillFocus(CWnd*) {
    Default();
}
void CWnd::OnCaptureChanged(CWnd*) {
    Default();
}
BOOL CWnd::OnHelpInfo(HELPINFO*) {
    return static_cast<BOOL>(Default());
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd* wnd, UINT) {
    LRESULT result = 0;
    if (wnd && ReflectLastMsg(wnd->m_hWnd, &result))
        return reinterpret_cast<HBRUSH>(result);
    return reinterpret_cast<HBRUSH>(Default());
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT dis) {
    if (dis && ReflectLastMsg(dis->hwndItem))
        return;
    Default();
}

void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnMove(int, int) {
    Default();
}
int CWnd::OnCreate(LPCREATESTRUCT) {
    return static_cast<int>(Default());
}
void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}
HCURSOR CWnd::OnQueryDragIcon() {
    return reinterpret_cast<HCURSOR>(Default());
}
void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}
BOOL CWnd::OnQueryEndSession() {
    return static_cast<BOOL>(Default());
}
void CWnd::OnEndSession(BOOL) {
    Default();
}
void CWnd::OnEnable(BOOL) {
    Default();
}
LRESULT CWnd::OnNcHitTest(CPoint) {
    return Default();
}
UINT CWnd::OnGetDlgCode() {
    return static_cast<UINT>(Default());
}

// CWnd's own map: the messages whose default handling reflects them to the control that sent them.
const AFX_MSGMAP* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}
const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    using ThisClass = CWnd;
    static const AFX_MSGMAP_ENTRY messageEntries[] = {ON_WM_CTLCOLOR() ON_WM_DRAWITEM() ON_WM_HSCROLL()
                                                          ON_WM_VSCROLL(){0, 0, 0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP messageMap = {nullptr, &messageEntries[0]};
    return &messageMap;
}

// ---- Window DCs ----

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(HwndOf(wnd)) {
    Attach(::BeginPaint(m_hWnd, &m_ps));
}
CPaintDC::~CPaintDC() {
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(HwndOf(wnd)) {
    Attach(::GetDC(m_hWnd));
}
CClientDC::~CClientDC() {
    ::ReleaseDC(m_hWnd, Detach());
}

CWindowDC::CWindowDC(CWnd* wnd) : m_hWnd(HwndOf(wnd)) {
    Attach(::GetWindowDC(m_hWnd));
}
CWindowDC::~CWindowDC() {
    ::ReleaseDC(m_hWnd, Detach());
}

// ---- Application-wide ----

CWnd* AfxGetMainWnd() {
    if (CWinThread* thread = AfxGetThread(); thread && thread->m_pMainWnd)
        return thread->m_pMainWnd;
    CWinApp* app = AfxGetApp();
    return app ? app->m_pMainWnd : nullptr;
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT) {
    HWND owner = HwndOf(AfxGetMainWnd());
    if (owner && !::IsWindowVisible(owner))
        owner = nullptr;
    CWinApp* app = AfxGetApp();
    return ::MessageBoxW(owner, text, app && app->m_pszAppName ? app->m_pszAppName : u"", type);
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId) {
    CString text;
    text.LoadString(promptId);
    return AfxMessageBox(text, type, helpId);
}

BOOL AfxRegisterClass(WNDCLASSW* wc) {
    WNDCLASSW existing{};
    if (::GetClassInfoW(wc->hInstance, wc->lpszClassName, &existing))
        return TRUE;
    return ::RegisterClassW(wc) != 0;
}
