// A module with its own copy of platform_user that leaves behind, on its caller's thread, what a module unloaded in
// the middle of its work would: a top-level window with a child, a window class, a message hook and a timer, all
// running its code, and the cursor shape it set.
#include "platform/user/winuser.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

LRESULT CALLBACK LeftProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK LeftHook(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK LeftTimer(HWND, UINT, UINT_PTR, DWORD) {}

} // namespace

// Answers the top-level window it left.
EXPORT HWND LeavingModuleLeaveThings() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = LeftProc;
    wc.lpszClassName = u"LeavingModuleClass";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, u"LeavingModuleClass", u"left", WS_OVERLAPPEDWINDOW, 0, 0, 100, 80, nullptr,
                                  nullptr, nullptr, nullptr);
    CreateWindowExW(0, u"Button", u"child", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, window, nullptr, nullptr, nullptr);
    SetWindowsHookExW(WH_GETMESSAGE, LeftHook, nullptr, GetCurrentThreadId());
    SetTimer(nullptr, 0, 1, LeftTimer);
    PostMessageW(window, WM_USER, 0, 0);
    SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
    return window;
}

// Shows a top-level window, which puts this module's copy of the X view on the display when there is one.
EXPORT HWND LeavingModuleShowWindow() {
    HWND window = CreateWindowExW(0, u"Static", u"shown by the leaving module", WS_POPUP | WS_CAPTION, 0, 0, 120, 60,
                                  nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    return window;
}

// Shows a window large enough that its first picture does not fit what the connection to the server buffers.
EXPORT HWND LeavingModuleShowLargeWindow() {
    HWND window = CreateWindowExW(0, u"Static", u"large window of the leaving module", WS_POPUP | WS_CAPTION, 0, 0,
                                  1000, 700, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    return window;
}
