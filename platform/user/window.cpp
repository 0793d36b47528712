// Window classes and windows: creation and destruction, the tree and z-order, styles and long values, positions,
// visibility and enabling, texts, hit tests.
#include "platform/user/internal.h"

#include "platform/base/lifetime.h"
#include "platform/base/windows.h"

#include <algorithm>
#include <cstring>

namespace platform::user {

namespace {

thread_local CreateHookFn t_createHook = nullptr;
thread_local void* t_createHookContext = nullptr;
platform::PerThread<std::unique_ptr<DialogData>> t_pendingDialog;

bool SameName(const std::u16string& a, LPCWSTR b) {
    if (!b)
        return false;
    size_t n = 0;
    for (; b[n]; ++n) {
        if (n >= a.size())
            return false;
        if (towlower(a[n]) != towlower(b[n]))
            return false;
    }
    return n == a.size();
}

std::shared_ptr<WindowClass> FindClass(LPCWSTR name) {
    State& g = G();
    if (IS_INTRESOURCE(name)) {
        auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
        size_t index = atom >= 0xC000 ? atom - 0xC000 : SIZE_MAX;
        return index < g.classes.size() ? g.classes[index] : nullptr;
    }
    for (auto it = g.classes.rbegin(); it != g.classes.rend(); ++it)
        if (*it && SameName((*it)->name, name))
            return *it;
    return nullptr;
}

std::vector<HWND>* SiblingList(Window& w) {
    if (w.parent) {
        Window* p = Find(w.parent);
        return p ? &p->children : nullptr;
    }
    return &G().topLevel;
}

void CollectSubtree(HWND hwnd, std::vector<HWND>& out) {
    out.push_back(hwnd);
    if (Window* w = Find(hwnd))
        for (HWND c : w->children)
            CollectSubtree(c, out);
}

// Places a top-level window in the z-order: topmost windows stay above the others.
void PlaceTopLevel(HWND hwnd, HWND after) {
    State& g = G();
    Window* w = Find(hwnd);
    std::erase(g.topLevel, hwnd);
    auto firstNormal = std::find_if(g.topLevel.begin(), g.topLevel.end(), [](HWND h) {
        Window* o = Find(h);
        return !o || !(o->exStyle & WS_EX_TOPMOST);
    });
    if (after == HWND_TOPMOST) {
        w->exStyle |= WS_EX_TOPMOST;
        g.topLevel.insert(g.topLevel.begin(), hwnd);
    } else if (after == HWND_NOTOPMOST) {
        w->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
        g.topLevel.insert(firstNormal, hwnd);
    } else if (after == HWND_BOTTOM) {
        g.topLevel.push_back(hwnd);
    } else if (after == HWND_TOP || !after) {
        g.topLevel.insert((w->exStyle & WS_EX_TOPMOST) ? g.topLevel.begin() : firstNormal, hwnd);
    } else {
        auto it = std::find(g.topLevel.begin(), g.topLevel.end(), after);
        g.topLevel.insert(it == g.topLevel.end() ? g.topLevel.end() : it + 1, hwnd);
    }
}

void PlaceChild(Window& parent, HWND hwnd, HWND after) {
    std::erase(parent.children, hwnd);
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST || !after)
        parent.children.insert(parent.children.begin(), hwnd);
    else if (after == HWND_BOTTOM)
        parent.children.push_back(hwnd);
    else {
        auto it = std::find(parent.children.begin(), parent.children.end(), after);
        parent.children.insert(it == parent.children.end() ? parent.children.end() : it + 1, hwnd);
    }
}

void NotifyViewLocked(HWND hwnd) {
    State& g = G();
    if (!g.windowChanged)
        return;
    auto fn = g.windowChanged;
    fn(hwnd); // the view only records the handle; it never calls back into the window manager here
}

// Invalidates the area a child covers in its parent (used when it moves, hides or goes away).
void InvalidateUnder(Window& w) {
    if (!w.parent)
        return;
    Window* p = Find(w.parent);
    if (!p)
        return;
    RECT r = w.rect;
    InvalidateLocked(*p, &r, true);
}

bool HitTransparent(const Window& w) {
    // Statics without SS_NOTIFY and group boxes answer HTTRANSPARENT: the point belongs to what lies under them.
    if (SameName(w.cls->name, u"Static"))
        return !(w.style & SS_NOTIFY);
    if (SameName(w.cls->name, u"Button"))
        return (w.style & BS_TYPEMASK) == BS_GROUPBOX;
    return false;
}

bool PointInWindow(const Window& w, POINT screen) {
    RECT r = w.rect;
    if (w.parent) {
        Window* p = Find(w.parent);
        if (!p)
            return false;
        POINT o = ClientOriginOnScreen(*p);
        OffsetRect(&r, o.x, o.y);
    }
    if (!PtInRect(&r, screen))
        return false;
    if (w.region && !PtInRegion(w.region, screen.x - r.left, screen.y - r.top))
        return false;
    return true;
}

HWND ChildAt(const Window& parent, POINT screen) {
    for (HWND c : parent.children) {
        Window* w = Find(c);
        if (!w || !(w->style & WS_VISIBLE) || !PointInWindow(*w, screen))
            continue;
        if (w->style & WS_DISABLED)
            return nullptr; // the parent gets it, as for a disabled control on Windows
        if (HWND deeper = ChildAt(*w, screen))
            return deeper;
        if (HitTransparent(*w))
            continue;
        return c;
    }
    return nullptr;
}

} // namespace

std::unique_ptr<DialogData>& PendingDialogData() {
    return t_pendingDialog.Get();
}

void SetThreadCreateHook(CreateHookFn fn, void* context) {
    t_createHook = fn;
    t_createHookContext = context;
}

RECT NonClientInsets(DWORD style, DWORD exStyle) {
    RECT in{0, 0, 0, 0};
    int frame = 0;
    if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME))
        frame = (style & WS_THICKFRAME) ? 4 : 3;
    else if (style & WS_THICKFRAME)
        frame = 4;
    else if (style & WS_BORDER)
        frame = 1;
    else if (exStyle & WS_EX_DLGMODALFRAME)
        frame = 3;
    if (exStyle & WS_EX_CLIENTEDGE)
        frame += 2;
    if (exStyle & WS_EX_STATICEDGE)
        frame += 1;
    in.left = in.top = in.right = in.bottom = frame;
    if ((style & WS_CAPTION) == WS_CAPTION)
        in.top += (exStyle & WS_EX_TOOLWINDOW) ? 17 : 23;
    if (style & WS_VSCROLL)
        in.right += 17;
    if (style & WS_HSCROLL)
        in.bottom += 17;
    return in;
}

RECT ClientRectInWindow(const Window& w) {
    RECT in = NonClientInsets(w.style, w.exStyle);
    RECT r{in.left, in.top, (w.rect.right - w.rect.left) - in.right, (w.rect.bottom - w.rect.top) - in.bottom};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

HWND RootOf(HWND hwnd) {
    Window* w = Find(hwnd);
    while (w && w->parent) {
        hwnd = w->parent;
        w = Find(hwnd);
    }
    return w ? hwnd : nullptr;
}

POINT WindowOriginOnSurface(const Window& w) {
    if (!w.parent)
        return POINT{0, 0};
    Window* p = Find(w.parent);
    if (!p)
        return POINT{0, 0};
    POINT o = ClientOriginOnSurface(*p);
    return POINT{o.x + w.rect.left, o.y + w.rect.top};
}

POINT ClientOriginOnSurface(const Window& w) {
    POINT o = WindowOriginOnSurface(w);
    RECT c = ClientRectInWindow(w);
    return POINT{o.x + c.left, o.y + c.top};
}

POINT ClientOriginOnScreen(const Window& w) {
    HWND root = w.handle;
    const Window* r = &w;
    while (r->parent) {
        root = r->parent;
        r = Find(root);
        if (!r)
            return POINT{0, 0};
    }
    POINT o = ClientOriginOnSurface(w);
    return POINT{o.x + r->rect.left, o.y + r->rect.top};
}

bool IsVisibleChain(const Window& w) {
    const Window* c = &w;
    while (c) {
        if (!(c->style & WS_VISIBLE))
            return false;
        c = c->parent ? Find(c->parent) : nullptr;
    }
    return true;
}

bool IsEnabledChain(const Window& w) {
    const Window* c = &w;
    while (c) {
        if (c->style & WS_DISABLED)
            return false;
        c = c->parent ? Find(c->parent) : nullptr;
    }
    return true;
}

int CompareNoCase(const std::u16string& a, const std::u16string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        WCHAR x = towlower(a[i]);
        WCHAR y = towlower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::u16string WindowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::u16string s(static_cast<size_t>(n) + 1, u'\0');
    int got = GetWindowTextW(hwnd, s.data(), n + 1);
    s.resize(static_cast<size_t>(std::max(got, 0)));
    return s;
}

DWORD StyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
}

} // namespace platform::user

using namespace platform::user;

// ---- Classes ----

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc)
        return 0;
    if (IS_INTRESOURCE(wc->lpszClassName))
        return 0;
    RegisterSystemClasses();
    State& g = G();
    Lock lock(g.mutex);
    for (auto& c : g.classes)
        if (c && !c->system && SameName(c->name, wc->lpszClassName) && c->wc.hInstance == wc->hInstance) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    auto c = std::make_shared<WindowClass>();
    c->name = wc->lpszClassName;
    c->wc = *wc;
    c->wc.cbSize = sizeof(WNDCLASSEXW);
    c->wc.lpszClassName = c->name.c_str();
    c->wc.lpszMenuName = nullptr;
    g.classes.push_back(c);
    return static_cast<ATOM>(0xC000 + g.classes.size() - 1);
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc)
        return 0;
    WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExW(&ex);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    State& g = G();
    Lock lock(g.mutex);
    for (auto& c : g.classes)
        if (c && !c->system && SameName(c->name, className)) {
            c.reset(); // keep the slot so other atoms stay valid
            return TRUE;
        }
    return FALSE;
}

BOOL GetClassInfoExW(HINSTANCE, LPCWSTR className, WNDCLASSEXW* wc) {
    RegisterSystemClasses();
    State& g = G();
    Lock lock(g.mutex);
    std::shared_ptr<WindowClass> c = FindClass(className);
    if (!c || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wc = c->wc;
    // A built-in class answers the procedure of the caller's copy: the copy that registered it may be unloaded.
    if (c->system)
        if (WNDPROC local = LocalSystemProc(c->name))
            wc->lpfnWndProc = local;
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* wc) {
    WNDCLASSEXW ex{};
    if (!wc || !GetClassInfoExW(instance, className, &ex))
        return FALSE;
    *wc = WNDCLASSW{ex.style, ex.lpfnWndProc, ex.cbClsExtra,    ex.cbWndExtra,   ex.hInstance,
                    ex.hIcon, ex.hCursor,     ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR name, int maxCount) {
    State& g = G();
    Lock lock(g.mutex);
    Window* w = Find(hwnd);
    if (!w || !name || maxCount <= 0)
        return 0;
    int n = std::min<int>(static_cast<int>(w->cls->name.size()), maxCount - 1);
    std::memcpy(name, w->cls->name.data(), static_cast<size_t>(n) * sizeof(WCHAR));
    name[n] = 0;
    return n;
}

// ---- Creation and destruction ----

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    RegisterSystemClasses();
    State& g = G();
    HWND hwnd = nullptr;
    {
        Lock lock(g.mutex);
        std::shared_ptr<WindowClass> cls = FindClass(className);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if ((style & WS_CHILD) && (!parent || !Find(parent))) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        auto w = std::make_shared<Window>();
        hwnd = reinterpret_cast<HWND>(g.nextHandle);
        g.nextHandle += 0x10;
        w->handle = hwnd;
        w->cls = cls;
        WNDPROC local = cls->system ? LocalSystemProc(cls->name) : nullptr;
        w->proc = local ? local : cls->wc.lpfnWndProc;
        w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
        w->exStyle = exStyle;
        w->instance = instance;
        w->threadId = CurrentThreadId();
        w->extra.assign(static_cast<size_t>(std::max(cls->wc.cbWndExtra, 0)), 0);
        w->dialog = std::move(PendingDialogData());
        if (windowName && !IS_INTRESOURCE(windowName))
            w->text = windowName;
        if (x == CW_USEDEFAULT) {
            x = 100;
            y = 100;
        }
        if (width == CW_USEDEFAULT) {
            width = 640;
            height = 480;
        }
        w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        if (style & WS_CHILD) {
            w->parent = parent;
            w->id = reinterpret_cast<LONG_PTR>(menu);
            // New children go to the bottom of the z-order, so the tab order is the creation order.
            Find(parent)->children.push_back(hwnd);
        } else {
            w->owner = parent ? RootOf(parent) : nullptr;
            w->surface = std::make_shared<platform::gdi::Surface>(std::max(width, 1), std::max(height, 1));
            g.windows[hwnd] = w;
            PlaceTopLevel(hwnd, HWND_TOP);
        }
        g.windows[hwnd] = w;
        QueueOf(w->threadId);
    }
    if (t_createHook) {
        CreateHookFn hook = t_createHook;
        t_createHook = nullptr;
        hook(hwnd, t_createHookContext);
    }
    CREATESTRUCTW cs{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd))
        return nullptr;
    RECT client{};
    GetClientRect(hwnd, &client);
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    {
        Lock lock(g.mutex);
        Window* w = Find(hwnd);
        RECT c = w ? ClientRectInWindow(*w) : RECT{};
        POINT o{w ? w->rect.left + c.left : 0, w ? w->rect.top + c.top : 0};
        lock.unlock();
        SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(o.x, o.y));
    }
    {
        Lock lock(g.mutex);
        if (Window* w = Find(hwnd))
            w->createdDone = true;
    }
    if (style & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    State& g = G();
    std::vector<HWND> owned;
    {
        Lock lock(g.mutex);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        if (w->threadId != CurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying)
            return TRUE;
        w->destroying = true;
        if (!w->parent)
            for (HWND top : g.topLevel)
                if (Window* o = Find(top); o && o->owner == hwnd)
                    owned.push_back(top);
    }
    for (HWND o : owned)
        DestroyWindow(o);

    ShowWindow(hwnd, SW_HIDE);
    std::vector<HWND> subtree;
    {
        Lock lock(g.mutex);
        CollectSubtree(hwnd, subtree);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        bool focusInside = std::find(subtree.begin(), subtree.end(), q.focus) != subtree.end();
        if (std::find(subtree.begin(), subtree.end(), q.capture) != subtree.end())
            q.capture = nullptr;
        if (focusInside) {
            lock.unlock();
            SetFocus(nullptr);
            lock.lock();
        }
        if (q.active == hwnd)
            q.active = nullptr;
        if (g.foreground == hwnd)
            g.foreground = nullptr;
        if (g.trackLeave && std::find(subtree.begin(), subtree.end(), g.trackLeave) != subtree.end())
            g.trackLeave = nullptr;
    }
    for (HWND h : subtree)
        if (IsWindow(h))
            SendMessageW(h, WM_DESTROY, 0, 0);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it)
        if (IsWindow(*it))
            SendMessageW(*it, WM_NCDESTROY, 0, 0);

    Lock lock(g.mutex);
    for (HWND h : subtree) {
        Window* w = Find(h);
        if (!w)
            continue;
        if (std::vector<HWND>* siblings = SiblingList(*w))
            std::erase(*siblings, h);
        if (w->region)
            DeleteObject(w->region);
        if (w->dialog && w->dialog->font)
            DeleteObject(w->dialog->font);
        if (ThreadQueue* q = FindQueue(w->threadId)) {
            std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == h; });
            std::erase_if(q->posted, [&](const MSG& m) { return m.hwnd == h; });
            if (q->focus == h)
                q->focus = nullptr;
            if (q->active == h)
                q->active = nullptr;
        }
        if (g.hoverWindow == h)
            g.hoverWindow = nullptr;
        g.windows.erase(h);
    }
    NotifyViewLocked(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    Lock lock(G().mutex);
    return Find(hwnd) != nullptr;
}

BOOL IsWindowVisible(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    return w && IsVisibleChain(*w);
}

BOOL IsWindowEnabled(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL IsChild(HWND parent, HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    while (w && w->parent) {
        if (w->parent == parent)
            return TRUE;
        w = Find(w->parent);
    }
    return FALSE;
}

BOOL IsIconic(HWND hwnd) {
    return (StyleOf(hwnd) & WS_MINIMIZE) != 0;
}
BOOL IsZoomed(HWND hwnd) {
    return (StyleOf(hwnd) & WS_MAXIMIZE) != 0;
}

HWND GetParent(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    if (w->style & WS_CHILD)
        return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND SetParent(HWND hwnd, HWND newParent) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    HWND old = w->parent ? w->parent : w->owner;
    if (!(w->style & WS_CHILD)) {
        w->owner = newParent;
        return old;
    }
    Window* np = Find(newParent);
    if (!np)
        return nullptr;
    if (Window* op = Find(w->parent))
        std::erase(op->children, hwnd);
    w->parent = newParent;
    np->children.insert(np->children.begin(), hwnd);
    InvalidateLocked(*np, nullptr, true);
    return old;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    if (cmd == GW_CHILD)
        return w->children.empty() ? nullptr : w->children.front();
    if (cmd == GW_OWNER)
        return w->parent ? nullptr : w->owner;
    std::vector<HWND>* list = SiblingList(*w);
    if (!list || list->empty())
        return nullptr;
    auto it = std::find(list->begin(), list->end(), hwnd);
    switch (cmd) {
    case GW_HWNDFIRST:
        return list->front();
    case GW_HWNDLAST:
        return list->back();
    case GW_HWNDNEXT:
        return (it == list->end() || it + 1 == list->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return (it == list->end() || it == list->begin()) ? nullptr : *(it - 1);
    default:
        return nullptr;
    }
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    if (flags == GA_PARENT)
        return w->parent;
    HWND root = RootOf(hwnd);
    if (flags == GA_ROOTOWNER) {
        Window* r = Find(root);
        while (r && r->owner && Find(r->owner)) {
            root = r->owner;
            r = Find(root);
        }
    }
    return root;
}

HWND GetTopWindow(HWND hwnd) {
    if (!hwnd) {
        Lock lock(G().mutex);
        return G().topLevel.empty() ? nullptr : G().topLevel.front();
    }
    return GetWindow(hwnd, GW_CHILD);
}

HWND GetDesktopWindow() {
    return nullptr;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    Lock lock(G().mutex);
    for (HWND top : G().topLevel) {
        Window* w = Find(top);
        if (!w)
            continue;
        if (className && !SameName(w->cls->name, className))
            continue;
        if (windowName && w->text != windowName)
            continue;
        return top;
    }
    return nullptr;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
    std::vector<HWND> all;
    {
        Lock lock(G().mutex);
        if (!Find(parent))
            return FALSE;
        CollectSubtree(parent, all);
    }
    for (size_t i = 1; i < all.size(); ++i)
        if (IsWindow(all[i]) && !proc(all[i], lParam))
            break;
    return TRUE;
}

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam) {
    std::vector<HWND> tops;
    {
        Lock lock(G().mutex);
        for (HWND h : G().topLevel)
            if (Window* w = Find(h); w && w->threadId == threadId)
                tops.push_back(h);
    }
    for (HWND h : tops)
        if (IsWindow(h) && !proc(h, lParam))
            break;
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return 0;
    if (processId)
        *processId = GetCurrentProcessId();
    return w->threadId;
}

// ---- Long values and properties ----

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return 0;
    if (w->dialog && index >= 0) {
        if (index == DWLP_MSGRESULT)
            return w->dialog->msgResult;
        if (index == DWLP_DLGPROC)
            return reinterpret_cast<LONG_PTR>(w->dialog->proc);
        if (index == DWLP_USER)
            return w->dialog->user;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWL_STYLE:
        return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_ID:
        return w->id;
    default:
        break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size())
        return 0;
    LONG_PTR v = 0;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return 0;
    LONG_PTR old = 0;
    if (w->dialog && index >= 0 && (index == DWLP_MSGRESULT || index == DWLP_DLGPROC || index == DWLP_USER)) {
        if (index == DWLP_MSGRESULT)
            std::swap(old, w->dialog->msgResult), w->dialog->msgResult = value;
        else if (index == DWLP_DLGPROC) {
            old = reinterpret_cast<LONG_PTR>(w->dialog->proc);
            w->dialog->proc = reinterpret_cast<DLGPROC>(value);
        } else {
            old = w->dialog->user;
            w->dialog->user = value;
        }
        return old;
    }
    switch (index) {
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_HWNDPARENT:
        old = reinterpret_cast<LONG_PTR>(w->owner);
        if (!w->parent)
            w->owner = reinterpret_cast<HWND>(value);
        return old;
    case GWL_STYLE:
        old = static_cast<LONG>(w->style);
        // Visibility only changes through ShowWindow.
        w->style = (static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_VISIBLE)) | (w->style & WS_VISIBLE);
        return old;
    case GWL_EXSTYLE:
        old = static_cast<LONG>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        return old;
    case GWLP_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    case GWLP_ID:
        old = w->id;
        w->id = value;
        return old;
    default:
        break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size())
        return 0;
    std::memcpy(&old, w->extra.data() + index, sizeof old);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

LONG GetWindowLongW(HWND hwnd, int index) {
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}
LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL SetPropW(HWND hwnd, LPCWSTR name, HANDLE data) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w || !name)
        return FALSE;
    w->props[name] = data;
    return TRUE;
}

HANDLE GetPropW(HWND hwnd, LPCWSTR name) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(name);
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND hwnd, LPCWSTR name) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(name);
    if (it == w->props.end())
        return nullptr;
    HANDLE h = it->second;
    w->props.erase(it);
    return h;
}

// ---- Visibility, enabling, position ----

BOOL ShowWindow(HWND hwnd, int cmd) {
    State& g = G();
    bool wasVisible = false;
    bool show = cmd != SW_HIDE;
    bool child = false;
    {
        Lock lock(g.mutex);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        child = (w->style & WS_CHILD) != 0;
        if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE)
            w->style |= WS_MINIMIZE;
        else if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL)
            w->style &= ~static_cast<DWORD>(WS_MINIMIZE | WS_MAXIMIZE);
    }
    if (wasVisible == show)
        return wasVisible;
    SendMessageW(hwnd, WM_SHOWWINDOW, show, 0);
    {
        Lock lock(g.mutex);
        Window* w = Find(hwnd);
        if (!w)
            return wasVisible;
        if (show) {
            w->style |= WS_VISIBLE;
            w->needsFrame = true;
            InvalidateLocked(*w, nullptr, true);
        } else {
            w->style &= ~static_cast<DWORD>(WS_VISIBLE);
            InvalidateUnder(*w);
        }
        if (!child)
            NotifyViewLocked(hwnd);
    }
    if (!show) {
        // The focus leaves a window that is hidden: to its parent for a control, to nobody for a top-level one.
        HWND focus = GetFocus();
        if (focus && (focus == hwnd || IsChild(hwnd, focus)))
            SetFocus(child ? GetParent(hwnd) : nullptr);
        if (!child) {
            Lock lock(g.mutex);
            ThreadQueue& q = QueueOf(CurrentThreadId());
            if (q.active == hwnd)
                q.active = nullptr;
            if (g.foreground == hwnd)
                g.foreground = nullptr;
        }
    } else if (!child) {
        StartViewIfDisplay();
        if (cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE)
            SetActiveWindow(hwnd);
    }
    return wasVisible;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    State& g = G();
    bool wasDisabled = false;
    {
        Lock lock(g.mutex);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable)
            return wasDisabled;
        if (enable)
            w->style &= ~static_cast<DWORD>(WS_DISABLED);
        else
            w->style |= WS_DISABLED;
    }
    if (!enable) {
        HWND focus = GetFocus();
        if (focus && (focus == hwnd || IsChild(hwnd, focus)))
            SetFocus(nullptr);
        if (HWND cap = GetCapture(); cap && (cap == hwnd || IsChild(hwnd, cap)))
            ReleaseCapture();
    }
    // A modal dialog on another thread disables its owner without waiting for the owner's thread, which may be
    // blocked waiting for the dialog's thread.
    if (GetWindowThreadProcessId(hwnd, nullptr) == CurrentThreadId())
        SendMessageW(hwnd, WM_ENABLE, enable, 0);
    else
        SendNotifyMessageW(hwnd, WM_ENABLE, enable, 0);
    return wasDisabled;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    State& g = G();
    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    {
        Lock lock(g.mutex);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        if (flags & SWP_NOMOVE) {
            pos.x = w->rect.left;
            pos.y = w->rect.top;
        }
        if (flags & SWP_NOSIZE) {
            pos.cx = w->rect.right - w->rect.left;
            pos.cy = w->rect.bottom - w->rect.top;
        }
    }
    if (!(flags & SWP_NOSENDCHANGING))
        SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    UINT changed = SWP_NOMOVE | SWP_NOSIZE;
    {
        Lock lock(g.mutex);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        RECT newRect{pos.x, pos.y, pos.x + std::max(pos.cx, 0), pos.y + std::max(pos.cy, 0)};
        bool moved = newRect.left != w->rect.left || newRect.top != w->rect.top;
        bool sized = (newRect.right - newRect.left) != (w->rect.right - w->rect.left) ||
                     (newRect.bottom - newRect.top) != (w->rect.bottom - w->rect.top);
        if (moved)
            changed &= ~static_cast<UINT>(SWP_NOMOVE);
        if (sized)
            changed &= ~static_cast<UINT>(SWP_NOSIZE);
        if ((moved || sized) && (w->style & WS_VISIBLE) && !(flags & SWP_NOREDRAW))
            InvalidateUnder(*w);
        w->rect = newRect;
        if (!(flags & SWP_NOZORDER)) {
            if (w->parent) {
                if (Window* p = Find(w->parent))
                    PlaceChild(*p, hwnd, insertAfter);
            } else {
                PlaceTopLevel(hwnd, insertAfter);
            }
        }
        if (sized && w->surface)
            SurfaceFollowWindow(*w);
        if ((moved || sized) && !(flags & SWP_NOREDRAW)) {
            w->needsFrame = true;
            InvalidateLocked(*w, nullptr, true);
        }
        if (!w->parent)
            NotifyViewLocked(hwnd);
    }
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    else if (flags & SWP_HIDEWINDOW)
        ShowWindow(hwnd, SW_HIDE);
    pos.flags = flags | changed;
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w || !rect)
        return FALSE;
    *rect = w->rect;
    if (w->parent) {
        Window* p = Find(w->parent);
        POINT o = p ? ClientOriginOnScreen(*p) : POINT{0, 0};
        OffsetRect(rect, o.x, o.y);
    }
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w || !rect)
        return FALSE;
    RECT c = ClientRectInWindow(*w);
    *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD exStyle) {
    if (!rect)
        return FALSE;
    RECT in = NonClientInsets(style, exStyle);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ClientOriginOnScreen(*w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ClientOriginOnScreen(*w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    Lock lock(G().mutex);
    POINT a{0, 0};
    POINT b{0, 0};
    if (Window* w = Find(from))
        a = ClientOriginOnScreen(*w);
    if (Window* w = Find(to))
        b = ClientOriginOnScreen(*w);
    int dx = a.x - b.x;
    int dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

// ---- Texts ----

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    if (!IsWindow(hwnd))
        return FALSE;
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR text, int maxCount) {
    if (!text || maxCount <= 0)
        return 0;
    text[0] = 0;
    return static_cast<int>(
        SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND hwnd) {
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---- Regions and hit tests ----

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw) {
    State& g = G();
    Lock lock(g.mutex);
    Window* w = Find(hwnd);
    if (!w)
        return 0;
    if (w->region && w->region != region)
        DeleteObject(w->region);
    w->region = region; // the window owns it from now on
    if (redraw) {
        InvalidateUnder(*w);
        InvalidateLocked(*w, nullptr, true);
    }
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w || !w->region || !region)
        return ERROR;
    return CombineRgn(region, w->region, nullptr, RGN_COPY);
}

HWND WindowFromPoint(POINT point) {
    Lock lock(G().mutex);
    for (HWND top : G().topLevel) {
        Window* w = Find(top);
        if (!w || !(w->style & WS_VISIBLE) || !PointInWindow(*w, point))
            continue;
        if (SameName(w->cls->name, u"tooltips_class32"))
            continue; // a tip never takes the mouse from what it describes
        if (HWND child = ChildAt(*w, point))
            return child;
        return top;
    }
    return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
    Lock lock(G().mutex);
    Window* p = Find(parent);
    if (!p)
        return nullptr;
    POINT o = ClientOriginOnScreen(*p);
    POINT screen{point.x + o.x, point.y + o.y};
    for (HWND c : p->children) {
        Window* w = Find(c);
        if (w && PointInWindow(*w, screen))
            return c;
    }
    RECT client = ClientRectInWindow(*p);
    RECT cr{0, 0, client.right - client.left, client.bottom - client.top};
    return PtInRect(&cr, point) ? parent : nullptr;
}

BOOL FlashWindow(HWND, BOOL) {
    return FALSE;
}

// ---- Procedures ----

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}
