// Input and system values: mouse tracking, capture, cursors, the virtual screen, system colours, waiting for
// messages and kernel objects together.
#include "platform/base/windows.h"
#include "platform/user/internal.h" // the cursor picture the X view shows
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

namespace ut = platform::user::testing;

std::vector<UINT>* g_mouse = nullptr;

LRESULT CALLBACK TrackingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_mouse && (msg == WM_MOUSEMOVE || msg == WM_MOUSELEAVE || msg == WM_LBUTTONDOWN || msg == WM_SETCURSOR))
        g_mouse->push_back(msg);
    if (msg == WM_MOUSEMOVE) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&tme);
    }
    if (msg == WM_SETCURSOR) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeTracked(int x, int y) {
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TrackingProc;
        wc.lpszClassName = u"Tracked";
        return RegisterClassW(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExW(0, u"Tracked", u"", WS_POPUP | WS_VISIBLE, x, y, 100, 100, nullptr, nullptr, nullptr,
                           nullptr);
}

TEST(Mouse, LeavingATrackedWindowSendsMouseLeaveOnce) {
    std::vector<UINT> log;
    g_mouse = &log;
    HWND a = MakeTracked(0, 0);
    ut::MouseMove(POINT{50, 50});
    ut::RunPendingMessages();
    ut::MouseMove(POINT{60, 50});
    ut::RunPendingMessages();
    log.clear();
    ut::MouseMove(POINT{500, 500});
    ut::MouseMove(POINT{600, 500});
    ut::RunPendingMessages();
    EXPECT_EQ(log, std::vector<UINT>{WM_MOUSELEAVE});
    g_mouse = nullptr;
    DestroyWindow(a);
}

TEST(Mouse, TheCaptureGetsTheMouseEverywhere) {
    std::vector<UINT> log;
    HWND a = MakeTracked(0, 0);
    HWND b = MakeTracked(200, 0);
    SetCapture(a);
    g_mouse = &log;
    ut::MouseDown(POINT{250, 50});
    ut::RunPendingMessages();
    EXPECT_EQ(log, std::vector<UINT>{WM_LBUTTONDOWN}) << "no WM_SETCURSOR while captured";
    EXPECT_EQ(GetCapture(), a);
    ReleaseCapture();
    g_mouse = nullptr;
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(Cursor, AResourceCursorKeepsItsPictureForTheScreen) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    platform::user::CursorPicture picture;
    ASSERT_TRUE(platform::user::GetCursorPicture(LoadCursorW(self, MAKEINTRESOURCEW(702)), &picture));
    EXPECT_EQ(picture.width, 32);
    EXPECT_EQ(picture.height, 32);
    EXPECT_EQ(picture.hotX, 0);
    EXPECT_EQ(picture.hotY, 0);
    auto at = [&](int x, int y) { return static_cast<std::size_t>(y) * 32 + static_cast<std::size_t>(x); };
    EXPECT_TRUE(picture.shown[at(0, 5)]) << "the black outline";
    EXPECT_FALSE(picture.white[at(0, 5)]);
    EXPECT_TRUE(picture.shown[at(2, 5)]) << "the white inside";
    EXPECT_TRUE(picture.white[at(2, 5)]);
    EXPECT_FALSE(picture.shown[at(6, 5)]) << "the screen beside it";
    EXPECT_FALSE(picture.shown[at(0, 20)]);

    EXPECT_FALSE(platform::user::GetCursorPicture(LoadCursorW(self, MAKEINTRESOURCEW(700)), &picture))
        << "a cursor file without an image";
    EXPECT_FALSE(platform::user::GetCursorPicture(LoadCursorW(nullptr, IDC_ARROW), &picture)) << "a system cursor";
}

TEST(Cursor, TheWindowUnderThePointerSetsTheCursor) {
    HWND a = MakeTracked(0, 0);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    ut::MouseMove(POINT{10, 10});
    ut::RunPendingMessages();
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    POINT p{};
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), LoadCursorW(nullptr, IDC_WAIT)) << "system cursors are shared";
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
    DestroyWindow(a);
}

TEST(System, TheScreenSizeCanBeSetForATest) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    ut::SetScreenSize(1366, 768);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1366);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    ut::SetScreenSize(1920, 1080);
}

TEST(System, SystemColourBrushesAreTheColoursAndOutliveDeleteObject) {
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(240, 240, 240));
    EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), RGB(0, 0, 0));
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    ASSERT_NE(face, nullptr);
    DeleteObject(face);
    LOGBRUSH lb{};
    ASSERT_EQ(GetObjectW(face, sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbColor, RGB(240, 240, 240));
    EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), face);
}

TEST(Waiting, MsgWaitWakesForAnEventOrForInput) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([event] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SetEvent(event);
    });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    setter.join();
    PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 30, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(event);
}

} // namespace
