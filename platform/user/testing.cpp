// Test support: the application loop in miniature, the clock, input, modal interception and pixel read-back.
#include "platform/user/testing.h"

#include "platform/user/internal.h"

namespace platform::user::testing {

namespace {

HWND DialogRoot(HWND hwnd) {
    Lock lock(G().mutex);
    HWND root = RootOf(hwnd);
    Window* w = Find(root);
    return (w && w->dialog) ? root : nullptr;
}

} // namespace

int RunPendingMessages(int limit) {
    int handled = 0;
    MSG msg;
    while (handled < limit && PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (msg.message == WM_QUIT)
            break;
        PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        ++handled;
        if (PreTranslateFn pre = FrameworkPreTranslate(); pre && pre(&msg))
            continue;
        if (HWND dlg = msg.hwnd ? DialogRoot(msg.hwnd) : nullptr; dlg && IsDialogMessageW(dlg, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return handled;
}

void UseManualClock(bool manual) {
    std::uint64_t now = NowMs();
    Lock lock(G().mutex);
    G().manualNow = now;
    G().manualClock = manual;
    WakeAll();
}

void AdvanceClock(DWORD milliseconds) {
    Lock lock(G().mutex);
    G().manualNow += milliseconds;
    WakeAll();
}

void SetScreenSize(int width, int height) {
    Lock lock(G().mutex);
    G().screen = SIZE{width, height};
    G().screenFixed = true;
}

void SetKeyState(int virtKey, bool down) {
    Lock lock(G().mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    BYTE& k = q.keys[virtKey & 0xFF];
    if (down && !(k & 0x80))
        k ^= 0x01;
    k = down ? (k | 0x80) : (k & static_cast<BYTE>(~0x80));
    G().asyncKeys[virtKey & 0xFF] = down ? 0x80 : 0;
}

void MouseMove(POINT screen) {
    DeliverMouse(WM_MOUSEMOVE, screen, 0);
}
void MouseDown(POINT screen, UINT button) {
    DeliverMouse(button, screen, button == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON);
}
void MouseUp(POINT screen, UINT button) {
    DeliverMouse(button, screen, 0);
}

void Click(POINT screen) {
    MouseMove(screen);
    MouseDown(screen);
    MouseUp(screen);
}

void Click(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    Click(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void KeyDown(WPARAM virtKey) {
    bool alt = (GetAsyncKeyState(VK_MENU) & 0x8000) || virtKey == VK_MENU;
    DeliverKey(alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtKey, alt ? (1 | (1 << 29)) : 1);
}

void KeyUp(WPARAM virtKey) {
    bool alt = (GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
    DeliverKey(alt ? WM_SYSKEYUP : WM_KEYUP, virtKey, static_cast<LPARAM>(0xC0000001u) | (alt ? (1 << 29) : 0));
}

void PressKey(WPARAM virtKey) {
    KeyDown(virtKey);
    KeyUp(virtKey);
}

void TypeText(std::u16string_view text) {
    for (char16_t c : text)
        DeliverChar(c);
}

void SetModalInterceptor(ModalInterceptor interceptor) {
    Lock lock(G().mutex);
    G().modalInterceptor = std::move(interceptor);
}

std::u16string MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::u16string();
}

std::shared_ptr<platform::gdi::Surface> WindowSurface(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(RootOf(hwnd));
    return w ? w->surface : nullptr;
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
    std::shared_ptr<platform::gdi::Surface> surface;
    POINT o{};
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        Window* root = w ? Find(RootOf(hwnd)) : nullptr;
        if (!root || !root->surface)
            return CLR_INVALID;
        surface = root->surface;
        o = ClientOriginOnSurface(*w);
    }
    int sx = o.x + x;
    int sy = o.y + y;
    if (sx < 0 || sy < 0 || sx >= surface->width() || sy >= surface->height())
        return CLR_INVALID;
    std::uint32_t p = surface->pixel(sx, sy);
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

BOOL SaveWindowPng(HWND hwnd, const char* path) {
    std::shared_ptr<platform::gdi::Surface> surface;
    RECT area{};
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        Window* root = w ? Find(RootOf(hwnd)) : nullptr;
        if (!root || !root->surface)
            return FALSE;
        surface = root->surface;
        POINT o = WindowOriginOnSurface(*w);
        area = RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
    }
    return platform::gdi::WriteSurfacePng(*surface, area, path);
}

HWND LargestThreadWindow() {
    struct Search {
        HWND best = nullptr;
        long area = 0;
    } search;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) {
            auto* s = reinterpret_cast<Search*>(data);
            RECT r{};
            if (IsWindowVisible(hwnd) && GetWindowRect(hwnd, &r)) {
                const long area = static_cast<long>(r.right - r.left) * (r.bottom - r.top);
                if (area > s->area) {
                    s->best = hwnd;
                    s->area = area;
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.best;
}

} // namespace platform::user::testing
