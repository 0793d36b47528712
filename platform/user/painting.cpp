// Painting as on classic Windows: one surface per top-level window, update areas per window, WM_ERASEBKGND then
// WM_PAINT, parents before their children, DCs clipped to what the window may touch.
#include "platform/user/internal.h"

#include <algorithm>

namespace platform::user {

namespace {

RECT ClientSize(const Window& w) {
    RECT c = ClientRectInWindow(w);
    return RECT{0, 0, c.right - c.left, c.bottom - c.top};
}

void IntersectWithRect(HRGN rgn, const RECT& r) {
    HRGN box = CreateRectRgnIndirect(&r);
    CombineRgn(rgn, rgn, box, RGN_AND);
    DeleteObject(box);
}

void SubtractWindow(HRGN rgn, const Window& w) {
    POINT o = WindowOriginOnSurface(w);
    RECT r{o.x, o.y, o.x + (w.rect.right - w.rect.left), o.y + (w.rect.bottom - w.rect.top)};
    HRGN box = CreateRectRgnIndirect(&r);
    if (w.region) {
        HRGN shape = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(shape, w.region, nullptr, RGN_COPY);
        OffsetRgn(shape, o.x, o.y);
        CombineRgn(box, box, shape, RGN_AND);
        DeleteObject(shape);
    }
    CombineRgn(rgn, rgn, box, RGN_DIFF);
    DeleteObject(box);
}

HWND FindPaintIn(HWND hwnd, DWORD tid, HWND filter, bool inFilter) {
    Window* w = Find(hwnd);
    if (!w || !(w->style & WS_VISIBLE))
        return nullptr;
    inFilter = inFilter || !filter || hwnd == filter;
    if (w->threadId == tid && w->needsPaint && inFilter)
        return hwnd;
    for (HWND c : w->children)
        if (HWND found = FindPaintIn(c, tid, filter, inFilter))
            return found;
    return nullptr;
}

void PaintNow(HWND hwnd, bool children) {
    bool needs = false;
    std::vector<HWND> kids;
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w || !IsVisibleChain(*w))
            return;
        needs = w->needsPaint;
        if (children)
            kids = w->children;
    }
    if (needs)
        SendMessageW(hwnd, WM_PAINT, 0, 0);
    {
        // A WM_PAINT handler that did not validate would be asked again forever.
        Lock lock(G().mutex);
        if (Window* w = Find(hwnd); w && needs)
            w->needsPaint = w->needsErase = false;
    }
    for (HWND c : kids)
        PaintNow(c, true);
}

void NotifyView(HWND hwnd) {
    std::function<void(HWND)> fn;
    {
        Lock lock(G().mutex);
        fn = G().windowChanged;
        hwnd = RootOf(hwnd);
    }
    if (fn && hwnd)
        fn(hwnd);
}

} // namespace

void InvalidateLocked(Window& w, const RECT* rect, bool erase, Children children) {
    RECT client = ClientSize(w);
    RECT r = client;
    if (rect && !IntersectRect(&r, rect, &client))
        return;
    if (IsRectEmpty(&r))
        return;
    if (w.needsPaint)
        UnionRect(&w.update, &w.update, &r);
    else
        w.update = r;
    w.needsPaint = true;
    w.needsErase = w.needsErase || erase;
    bool withChildren = children == Children::All || (children == Children::Default && !(w.style & WS_CLIPCHILDREN));
    if (withChildren) {
        for (HWND c : w.children) {
            Window* cw = Find(c);
            if (!cw || !(cw->style & WS_VISIBLE))
                continue;
            RECT part{};
            if (!IntersectRect(&part, &r, &cw->rect))
                continue;
            RECT cc = ClientRectInWindow(*cw);
            OffsetRect(&part, -(cw->rect.left + cc.left), -(cw->rect.top + cc.top));
            InvalidateLocked(*cw, &part, erase, children == Children::All ? Children::All : Children::Default);
        }
    }
    if (ThreadQueue* q = FindQueue(w.threadId))
        q->cv.notify_all();
}

HWND FindWindowToPaint(ThreadQueue& queue, HWND filter) {
    for (HWND top : G().topLevel)
        if (HWND found = FindPaintIn(top, queue.threadId, filter, false))
            return found;
    return nullptr;
}

void SurfaceFollowWindow(Window& w) {
    if (w.surface)
        w.surface->resize(std::max<int>(w.rect.right - w.rect.left, 1), std::max<int>(w.rect.bottom - w.rect.top, 1));
}

HRGN VisibleRegion(const Window& w, bool clientArea) {
    POINT o = clientArea ? ClientOriginOnSurface(w) : WindowOriginOnSurface(w);
    RECT size = clientArea ? ClientSize(w) : RECT{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
    HRGN rgn = CreateRectRgn(o.x, o.y, o.x + size.right, o.y + size.bottom);
    if (!IsVisibleChain(w)) {
        SetRectRgn(rgn, 0, 0, 0, 0);
        return rgn;
    }
    if (w.region) {
        POINT wo = WindowOriginOnSurface(w);
        HRGN shape = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(shape, w.region, nullptr, RGN_COPY);
        OffsetRgn(shape, wo.x, wo.y);
        CombineRgn(rgn, rgn, shape, RGN_AND);
        DeleteObject(shape);
    }
    // Inside every ancestor's client area, and outside higher siblings where WS_CLIPSIBLINGS asks for it.
    const Window* c = &w;
    while (c->parent) {
        Window* p = Find(c->parent);
        if (!p)
            break;
        POINT po = ClientOriginOnSurface(*p);
        RECT pc = ClientSize(*p);
        OffsetRect(&pc, po.x, po.y);
        IntersectWithRect(rgn, pc);
        if (c->style & WS_CLIPSIBLINGS) {
            for (HWND s : p->children) {
                if (s == c->handle)
                    break;
                Window* sw = Find(s);
                if (sw && (sw->style & WS_VISIBLE))
                    SubtractWindow(rgn, *sw);
            }
        }
        c = p;
    }
    if (clientArea && (w.style & WS_CLIPCHILDREN))
        for (HWND ch : w.children)
            if (Window* cw = Find(ch); cw && (cw->style & WS_VISIBLE))
                SubtractWindow(rgn, *cw);
    return rgn;
}

HDC MakeWindowDC(const Window& w, bool clientArea, const RECT* limit) {
    HWND root = RootOf(w.handle);
    Window* r = Find(root);
    if (!r || !r->surface)
        return nullptr;
    POINT o = clientArea ? ClientOriginOnSurface(w) : WindowOriginOnSurface(w);
    RECT size = clientArea ? ClientSize(w) : RECT{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
    HRGN vis = VisibleRegion(w, clientArea);
    if (limit) {
        RECT l = *limit;
        OffsetRect(&l, o.x, o.y);
        IntersectWithRect(vis, l);
    }
    DWORD layout = (w.exStyle & WS_EX_LAYOUTRTL) ? LAYOUT_RTL : 0;
    HDC dc = gdi::CreateSurfaceDC(r->surface, o, vis, SIZE{size.right, size.bottom}, layout);
    DeleteObject(vis);
    if (dc)
        G().dcWindows[dc] = w.handle;
    return dc;
}

void Redraw(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, TRUE);
}

} // namespace platform::user

using namespace platform::user;

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    if (!ps)
        return nullptr;
    *ps = PAINTSTRUCT{};
    bool frame = false;
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w)
            return nullptr;
        frame = w->needsFrame;
        w->needsFrame = false;
    }
    if (frame)
        SendMessageW(hwnd, WM_NCPAINT, 1, 0);
    bool erase = false;
    HDC dc = nullptr;
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w)
            return nullptr;
        RECT update = w->needsPaint ? w->update : RECT{0, 0, 0, 0};
        erase = w->needsErase;
        w->needsPaint = w->needsErase = false;
        ++w->paintCount;
        dc = MakeWindowDC(*w, true, &update);
        ps->rcPaint = update;
    }
    ps->hdc = dc;
    ps->fErase = TRUE;
    if (erase && dc)
        ps->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (ps && ps->hdc) {
        {
            Lock lock(G().mutex);
            G().dcWindows.erase(ps->hdc);
        }
        DeleteDC(ps->hdc);
    }
    NotifyView(hwnd);
    return TRUE;
}

HDC GetDCEx(HWND hwnd, HRGN clip, DWORD flags) {
    if (!hwnd)
        return CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    HDC dc = MakeWindowDC(*w, !(flags & DCX_WINDOW), nullptr);
    if (dc && clip)
        ExtSelectClipRgn(dc, clip, RGN_AND);
    return dc;
}

HDC GetDC(HWND hwnd) {
    return GetDCEx(hwnd, nullptr, 0);
}
HDC GetWindowDC(HWND hwnd) {
    return GetDCEx(hwnd, nullptr, DCX_WINDOW);
}

int ReleaseDC(HWND hwnd, HDC dc) {
    if (!dc)
        return 0;
    {
        Lock lock(G().mutex);
        G().dcWindows.erase(dc);
    }
    DeleteDC(dc);
    if (hwnd)
        NotifyView(hwnd);
    return 1;
}

HWND WindowFromDC(HDC dc) {
    Lock lock(G().mutex);
    auto it = G().dcWindows.find(dc);
    return it == G().dcWindows.end() ? nullptr : it->second;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    Lock lock(G().mutex);
    if (!hwnd) {
        for (HWND top : G().topLevel)
            if (Window* w = Find(top))
                InvalidateLocked(*w, nullptr, erase);
        return TRUE;
    }
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    InvalidateLocked(*w, rect, erase);
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase) {
    if (!region)
        return InvalidateRect(hwnd, nullptr, erase);
    RECT box{};
    GetRgnBox(region, &box);
    return InvalidateRect(hwnd, &box, erase);
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    RECT covered{};
    if (!rect || (UnionRect(&covered, rect, &w->update) && EqualRect(&covered, rect)))
        w->needsPaint = w->needsErase = false;
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    if (rect)
        *rect = w->needsPaint ? w->update : RECT{0, 0, 0, 0};
    return w->needsPaint;
}

BOOL UpdateWindow(HWND hwnd) {
    PaintNow(hwnd, false);
    return IsWindow(hwnd);
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags) {
    RECT box{};
    if (region && !rect) {
        GetRgnBox(region, &box);
        rect = &box;
    }
    bool all = (flags & RDW_ALLCHILDREN) != 0;
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        Children mode = all ? Children::All : (flags & RDW_NOCHILDREN) ? Children::None : Children::Default;
        if (flags & RDW_FRAME)
            w->needsFrame = true;
        if (flags & RDW_INVALIDATE)
            InvalidateLocked(*w, rect, (flags & RDW_ERASE) != 0, mode);
        if (flags & RDW_VALIDATE)
            w->needsPaint = w->needsErase = false;
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
        PaintNow(hwnd, !(flags & RDW_NOCHILDREN));
    return TRUE;
}

BOOL LockWindowUpdate(HWND) {
    return TRUE;
}
