// Focus, activation, capture, mouse tracking and the cursor; delivery of mouse and keyboard input to the window
// under the pointer or with the focus.
#include "platform/user/internal.h"

#include "platform/base/windows.h"

#include <cstdlib>

namespace platform::user {

namespace {

// Cursors are shared: loading the same one twice gives the same handle, and they are never freed. A handle may
// outlive the module that loaded it (the cursor shape is the process's), so the table is the process's too, kept
// with the state every module's copy shares: a module loaded again finds its cursors there. A resource cursor is the
// same only with the same file, since another module may come to the address of one that is gone.
HCURSOR SharedCursor(HINSTANCE module, ULONG_PTR id, const BYTE* file = nullptr, DWORD size = 0) {
    State& g = G();
    std::vector<BYTE> bytes = file ? std::vector<BYTE>(file, file + size) : std::vector<BYTE>();
    std::lock_guard<std::mutex> lock(g.cursorsLock);
    for (const std::unique_ptr<CursorObject>& c : g.cursors)
        if (c->module == module && c->id == id && c->file == bytes)
            return reinterpret_cast<HCURSOR>(c.get());
    g.cursors.push_back(std::make_unique<CursorObject>(CursorObject{module, id, std::move(bytes)}));
    return reinterpret_cast<HCURSOR>(g.cursors.back().get());
}

std::uint32_t Read16(const BYTE* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}
std::uint32_t Read32(const BYTE* p) {
    return Read16(p) | (Read16(p + 2) << 16);
}

struct ClickState {
    HWND hwnd = nullptr;
    UINT button = 0;
    std::uint64_t time = 0;
    POINT pt{};
};
ClickState g_lastClick;
thread_local bool t_activatingForFocus = false;

bool ClassWantsDoubleClicks(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && (w->cls->wc.style & CS_DBLCLKS);
}

void PostTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w)
        return;
    ThreadQueue& q = QueueOf(w->threadId);
    q.posted.push_back(MSG{hwnd, msg, wParam, lParam, static_cast<DWORD>(NowMs()), G().cursor});
    q.cv.notify_all();
}

HWND CaptureWindow() {
    for (auto& [tid, q] : G().queues)
        if (q->capture && Find(q->capture))
            return q->capture;
    return nullptr;
}

} // namespace

void DeliverMouse(UINT msg, POINT screen, WPARAM keys) {
    HWND target = WindowFromPoint(screen);
    State& g = G();
    Lock lock(g.mutex);
    g.cursor = screen;
    HWND capture = CaptureWindow();
    HWND under = target;
    if (capture)
        target = capture;
    if (g.trackLeave && g.trackLeave != under) {
        PostTo(g.trackLeave, WM_MOUSELEAVE, 0, 0);
        g.trackLeave = nullptr;
    }
    g.hoverWindow = under;
    Window* w = Find(target);
    if (!w)
        return;
    if (!capture && !IsEnabledChain(*w))
        return; // a disabled window (an owner under a modal dialog) takes no mouse input
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) {
        std::uint64_t now = NowMs();
        bool dbl = g_lastClick.hwnd == target && g_lastClick.button == msg && now - g_lastClick.time <= 500 &&
                   std::abs(g_lastClick.pt.x - screen.x) <= 4 && std::abs(g_lastClick.pt.y - screen.y) <= 4 &&
                   ClassWantsDoubleClicks(target);
        if (dbl) {
            msg += 2; // WM_xBUTTONDBLCLK
            g_lastClick.hwnd = nullptr;
        } else {
            g_lastClick = ClickState{target, msg, now, screen};
        }
        g.foreground = RootOf(target);
    }
    POINT o = ClientOriginOnScreen(*w);
    // The window under the pointer chooses the cursor first (posted here: input arrives from other threads).
    if (!capture)
        PostTo(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, msg));
    PostTo(target, msg, keys, MAKELPARAM(static_cast<WORD>(screen.x - o.x), static_cast<WORD>(screen.y - o.y)));
}

void DeliverKey(UINT msg, WPARAM vk, LPARAM lParam) {
    State& g = G();
    Lock lock(g.mutex);
    if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN)
        g.asyncKeys[vk & 0xFF] |= 0x80;
    else
        g.asyncKeys[vk & 0xFF] &= static_cast<BYTE>(~0x80);
    // The thread of the foreground window takes the keyboard; without one, the calling thread.
    DWORD tid = CurrentThreadId();
    if (Window* fg = Find(g.foreground))
        tid = fg->threadId;
    ThreadQueue& q = QueueOf(tid);
    HWND target = q.focus ? q.focus : q.active;
    if (!target)
        return;
    if (Window* w = Find(target); !w || !IsEnabledChain(*w))
        return;
    q.posted.push_back(MSG{target, msg, vk, lParam, static_cast<DWORD>(NowMs()), g.cursor});
    q.cv.notify_all();
}

void DeliverChar(WCHAR ch) {
    State& g = G();
    Lock lock(g.mutex);
    DWORD tid = CurrentThreadId();
    if (Window* fg = Find(g.foreground))
        tid = fg->threadId;
    ThreadQueue& q = QueueOf(tid);
    HWND target = q.focus ? q.focus : q.active;
    if (!target)
        return;
    q.posted.push_back(MSG{target, WM_CHAR, ch, 1, static_cast<DWORD>(NowMs()), g.cursor});
    q.cv.notify_all();
}

bool HasFocus(HWND hwnd) {
    return hwnd && GetFocus() == hwnd;
}

} // namespace platform::user

using namespace platform::user;

HWND GetFocus() {
    Lock lock(G().mutex);
    return QueueOf(CurrentThreadId()).focus;
}

HWND SetFocus(HWND hwnd) {
    State& g = G();
    HWND previous = nullptr;
    HWND root = nullptr;
    {
        Lock lock(g.mutex);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        if (hwnd) {
            Window* w = Find(hwnd);
            if (!w || w->threadId != q.threadId)
                return nullptr;
            if (!IsEnabledChain(*w))
                return nullptr;
            root = RootOf(hwnd);
        }
        previous = q.focus;
        if (previous == hwnd)
            return previous;
    }
    if (root && root != GetActiveWindow()) {
        t_activatingForFocus = true;
        SetActiveWindow(root);
        t_activatingForFocus = false;
    }
    {
        Lock lock(g.mutex);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        previous = q.focus;
        if (previous == hwnd)
            return previous;
        q.focus = hwnd;
    }
    if (previous && IsWindow(previous)) {
        SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
        // The window losing the focus may have taken it back (or given it elsewhere): then the new one gets nothing.
        if (GetFocus() != hwnd)
            return previous;
    }
    if (hwnd && IsWindow(hwnd))
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND GetActiveWindow() {
    Lock lock(G().mutex);
    return QueueOf(CurrentThreadId()).active;
}

HWND SetActiveWindow(HWND hwnd) {
    State& g = G();
    HWND previous = nullptr;
    {
        Lock lock(g.mutex);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        if (hwnd) {
            Window* w = Find(hwnd);
            if (!w || w->threadId != q.threadId)
                return nullptr;
            hwnd = RootOf(hwnd);
        }
        previous = q.active;
        if (previous == hwnd)
            return previous;
        q.active = hwnd;
        if (hwnd)
            g.foreground = hwnd;
    }
    if (previous && IsWindow(previous))
        SendMessageW(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
    if (hwnd && IsWindow(hwnd)) {
        SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(previous));
        // An activated window takes the focus unless a window of its own already has it.
        HWND focus = GetFocus();
        if (!t_activatingForFocus && focus != hwnd && !IsChild(hwnd, focus) && GetActiveWindow() == hwnd)
            SetFocus(hwnd);
    }
    return previous;
}

BOOL SetForegroundWindow(HWND hwnd) {
    if (!IsWindow(hwnd))
        return FALSE;
    DWORD tid = GetWindowThreadProcessId(hwnd, nullptr);
    if (tid == CurrentThreadId()) {
        SetActiveWindow(hwnd);
    } else {
        Lock lock(G().mutex);
        G().foreground = RootOf(hwnd);
    }
    return TRUE;
}

HWND GetForegroundWindow() {
    Lock lock(G().mutex);
    return G().foreground;
}

HWND SetCapture(HWND hwnd) {
    Lock lock(G().mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    HWND previous = q.capture;
    q.capture = Find(hwnd) ? hwnd : nullptr;
    return previous;
}

BOOL ReleaseCapture() {
    HWND previous = nullptr;
    {
        Lock lock(G().mutex);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        previous = q.capture;
        q.capture = nullptr;
    }
    if (previous)
        SendMessageW(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    Lock lock(G().mutex);
    return QueueOf(CurrentThreadId()).capture;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT tme) {
    if (!tme || tme->cbSize < sizeof(TRACKMOUSEEVENT))
        return FALSE;
    State& g = G();
    Lock lock(g.mutex);
    if (tme->dwFlags & TME_QUERY) {
        tme->dwFlags = g.trackLeave ? TME_LEAVE : 0;
        tme->hwndTrack = g.trackLeave;
        return TRUE;
    }
    if (!(tme->dwFlags & TME_LEAVE))
        return TRUE;
    if (tme->dwFlags & TME_CANCEL) {
        if (g.trackLeave == tme->hwndTrack)
            g.trackLeave = nullptr;
        return TRUE;
    }
    if (!Find(tme->hwndTrack))
        return FALSE;
    // As on Windows: asked while the pointer is elsewhere, the leave notification comes at once.
    if (g.hoverWindow != tme->hwndTrack) {
        PostTo(tme->hwndTrack, WM_MOUSELEAVE, 0, 0);
        return TRUE;
    }
    g.trackLeave = tme->hwndTrack;
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point)
        return FALSE;
    Lock lock(G().mutex);
    *point = G().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    Lock lock(G().mutex);
    G().cursor = POINT{x, y};
    return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
    Lock lock(G().mutex);
    HCURSOR old = G().cursorShape;
    G().cursorShape = cursor;
    return old;
}

HCURSOR GetCursor() {
    Lock lock(G().mutex);
    return G().cursorShape;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    if (!IS_INTRESOURCE(name))
        return nullptr;
    auto id = reinterpret_cast<ULONG_PTR>(name);
    if (!instance) {
        if (id < 32512 || id > 32651)
            return nullptr;
        return SharedCursor(nullptr, id);
    }
    if (HRSRC res = FindResourceW(instance, name, RT_CURSOR)) {
        const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, res)));
        return SharedCursor(instance, id, data, data ? SizeofResource(instance, res) : 0);
    }
    if (!FindResourceW(instance, name, RT_GROUP_CURSOR))
        return nullptr;
    return SharedCursor(instance, id);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    if (!IS_INTRESOURCE(name))
        return nullptr;
    auto id = reinterpret_cast<ULONG_PTR>(name);
    if (instance && !FindResourceW(instance, name, RT_GROUP_ICON) && !FindResourceW(instance, name, RT_ICON))
        return nullptr;
    return SharedCursor(instance, id | 0x10000);
}

BOOL DestroyCursor(HCURSOR) {
    return TRUE;
}
BOOL DestroyIcon(HICON) {
    return TRUE;
}
int ShowCursor(BOOL show) {
    return show ? 0 : -1;
}
BOOL MessageBeep(UINT) {
    return TRUE;
}
UINT GetDoubleClickTime() {
    return 500;
}

namespace platform::user {
// The system cursor id of a cursor handle (32512 = arrow...), 0 for a cursor from a module's resources.
ULONG_PTR CursorSystemId(HCURSOR cursor) {
    auto* c = reinterpret_cast<const CursorObject*>(cursor);
    return (c && !c->module) ? c->id : 0;
}
bool IconResource(HICON icon, HINSTANCE* module, ULONG_PTR* id) {
    auto* c = reinterpret_cast<const CursorObject*>(icon);
    if (!c || !c->module || !(c->id & 0x10000))
        return false;
    *module = c->module;
    *id = c->id & 0xFFFF;
    return true;
}

// A .cur file: ICONDIR (reserved, type 2, count), ICONDIRENTRY (width, height, colours, reserved, hot spot x and y,
// bytes, offset), then a BITMAPINFOHEADER whose height counts both masks, the colour table, the XOR mask and the
// AND mask, bottom row first, rows padded to 4 bytes. Only 1-bit images are read.
BOOL GetCursorPicture(HCURSOR cursor, CursorPicture* out) {
    const auto* c = reinterpret_cast<const CursorObject*>(cursor);
    if (!c || !out || c->file.size() < 6 + 16)
        return FALSE;
    const BYTE* f = c->file.data();
    const std::size_t size = c->file.size();
    if (Read16(f + 2) != 2 || Read16(f + 4) < 1)
        return FALSE;
    const BYTE* entry = f + 6;
    const std::size_t offset = Read32(entry + 12);
    if (offset > size || size - offset < 40 + 8)
        return FALSE;
    const BYTE* info = f + offset;
    const auto width = static_cast<int>(Read32(info + 4));
    const auto height = static_cast<int>(Read32(info + 8)) / 2;
    if (Read32(info) < 40 || Read16(info + 14) != 1 || width <= 0 || height <= 0 || width > 256 || height > 256)
        return FALSE;
    const std::size_t stride = static_cast<std::size_t>((width + 31) / 32) * 4;
    const std::size_t masks = Read32(info) + 8;
    if (size - offset < masks + 2 * stride * static_cast<std::size_t>(height))
        return FALSE;
    const BYTE* xorMask = info + masks;
    const BYTE* andMask = xorMask + stride * static_cast<std::size_t>(height);
    out->width = width;
    out->height = height;
    out->hotX = static_cast<int>(Read16(entry + 4));
    out->hotY = static_cast<int>(Read16(entry + 6));
    out->shown.assign(static_cast<std::size_t>(width) * height, 0);
    out->white.assign(out->shown.size(), 0);
    for (int y = 0; y < height; ++y) {
        const std::size_t row = static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const bool transparent = (andMask[row + x / 8] & bit) != 0;
            const bool set = (xorMask[row + x / 8] & bit) != 0;
            out->shown[i] = !transparent || set; // an inverting pixel shows as black
            out->white[i] = !transparent && set;
        }
    }
    return TRUE;
}
} // namespace platform::user
