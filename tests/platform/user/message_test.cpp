// Message queues: sending across threads, posting, hooks, timers and the key state.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <thread>
#include <vector>

namespace {

namespace ut = platform::user::testing;

std::vector<UINT>* g_log = nullptr;

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_log && msg >= WM_USER)
        g_log->push_back(msg);
    if (msg == WM_USER + 1)
        return static_cast<LRESULT>(wParam * 2);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeWindow() {
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = LoggingProc;
        wc.lpszClassName = u"TestWindow";
        return RegisterClassW(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExW(0, u"TestWindow", u"test", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr, nullptr,
                           nullptr);
}

TEST(Messages, SendMessageOnTheSameThreadCallsTheProcedureDirectly) {
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 21, 0), 42);
    DestroyWindow(hwnd);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 21, 0), 0) << "a destroyed window answers nothing";
}

TEST(Messages, PostMessageToNullWindowIsAThreadMessageNeverDispatchedToAWindow) {
    std::vector<UINT> log;
    g_log = &log;
    HWND hwnd = MakeWindow();
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 5, 7, 8));
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(DispatchMessageW(&msg), 0);
    EXPECT_TRUE(log.empty()) << "a thread message reached a window procedure";
    DestroyWindow(hwnd);
    g_log = nullptr;
}

TEST(Messages, CrossThreadSendIsDeliveredWhileTheTargetWaitsInGetMessage) {
    HWND hwnd = MakeWindow();
    std::atomic<LRESULT> answer{-1};
    std::thread other([&] {
        answer = SendMessageW(hwnd, WM_USER + 1, 50, 0);
        PostMessageW(hwnd, WM_USER + 9, 0, 0);
    });
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (msg.message == WM_USER + 9)
            break;
        DispatchMessageW(&msg);
    }
    other.join();
    EXPECT_EQ(answer.load(), 100);
    DestroyWindow(hwnd);
}

HHOOK g_hook = nullptr;
LRESULT CALLBACK SwallowKeysHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code >= 0 && wParam == PM_REMOVE && msg->message == WM_KEYDOWN) {
        msg->message = WM_NULL;
        msg->wParam = 0;
        msg->lParam = 0;
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

TEST(Messages, GetMessageHookMayRewriteTheMessageToWmNull) {
    HWND hwnd = MakeWindow();
    g_hook = SetWindowsHookExW(WH_GETMESSAGE, SwallowKeysHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_hook, nullptr);
    PostMessageW(hwnd, WM_KEYDOWN, 'A', 1);
    PostMessageW(hwnd, WM_USER + 3, 0, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_NULL));
    EXPECT_EQ(msg.wParam, 0u);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 3)) << "other messages pass unchanged";
    EXPECT_TRUE(UnhookWindowsHookEx(g_hook));
    DestroyWindow(hwnd);
}

TEST(Messages, KeyStateFollowsTheMessagesRetrieved) {
    HWND hwnd = MakeWindow();
    PostMessageW(hwnd, WM_KEYDOWN, VK_CONTROL, 1);
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0) << "not retrieved yet";
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<WORD>(GetKeyState(VK_CONTROL)), 0xFF81) << "down, with the toggle bit of the first press";
    PostMessageW(hwnd, WM_KEYUP, VK_CONTROL, 1);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<WORD>(GetKeyState(VK_CONTROL)), 0x0001);
    PostMessageW(hwnd, WM_KEYDOWN, VK_CONTROL, 1);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<WORD>(GetKeyState(VK_CONTROL)), 0xFF80);
    DestroyWindow(hwnd);
}

TEST(Messages, TimersFireOnTheTestClock) {
    ut::UseManualClock(true);
    std::vector<UINT> log;
    HWND hwnd = MakeWindow();
    ASSERT_EQ(SetTimer(hwnd, 7, 100, nullptr), 7u);
    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    ut::AdvanceClock(99);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    ut::AdvanceClock(1);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) << "the next one is 100 ms away";
    EXPECT_TRUE(KillTimer(hwnd, 7));
    ut::AdvanceClock(500);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    DestroyWindow(hwnd);
    ut::UseManualClock(false);
}

TEST(Messages, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    HWND mine = MakeWindow();
    std::atomic<HWND> theirs{nullptr};
    std::atomic<bool> done{false};
    std::atomic<LRESULT> answer{0};
    std::thread other([&] {
        theirs = MakeWindow();
        // Sends to the main thread, which is itself blocked sending to us.
        while (!done) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            std::this_thread::yield();
        }
        DestroyWindow(theirs);
    });
    while (!theirs)
        std::this_thread::yield();
    answer = SendMessageW(theirs, WM_USER + 1, 4, 0);
    done = true;
    other.join();
    EXPECT_EQ(answer.load(), 8);
    DestroyWindow(mine);
}

} // namespace

namespace {

TEST(Windows, TopmostWindowsStayAboveOthersAndHiddenWindowsKeepTheirRectangles) {
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOSENDCHANGING | SWP_SHOWWINDOW);
    EXPECT_TRUE(GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
    BringWindowToTop(b);
    EXPECT_EQ(GetTopWindow(nullptr), a) << "a normal window cannot rise above a topmost one";
    SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    BringWindowToTop(b);
    EXPECT_EQ(GetTopWindow(nullptr), b);
    MoveWindow(b, 30, 40, 120, 80, TRUE);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(b, &r));
    EXPECT_FALSE(IsWindowVisible(b));
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.bottom, 120);
    DestroyWindow(a);
    DestroyWindow(b);
}

} // namespace

namespace {

TEST(Messages, PostThreadMessageReachesAnotherThreadsQueue) {
    std::atomic<DWORD> tid{0};
    std::atomic<WPARAM> got{0};
    std::thread other([&] {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes the queue
        tid = GetCurrentThreadId();
        if (GetMessageW(&msg, nullptr, 0, 0) && msg.message == WM_USER + 7 && !msg.hwnd)
            got = msg.wParam;
    });
    while (!tid)
        std::this_thread::yield();
    EXPECT_TRUE(PostThreadMessageW(tid, WM_USER + 7, 99, 0));
    other.join();
    EXPECT_EQ(got.load(), 99u);
    EXPECT_FALSE(PostThreadMessageW(tid, WM_USER + 7, 1, 0)) << "the thread and its queue are gone";
}

TEST(Messages, QuitEndsGetMessageAndAModalLoopPassesItOn) {
    PostQuitMessage(3);
    MSG msg{};
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    ut::SetModalInterceptor([](HWND) { PostQuitMessage(4); });
    constexpr const char* kBox = "DIALOGEX 0, 0, 50, 20\nSTYLE WS_POPUP\nBEGIN\nEND\n";
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kBox), nullptr, nullptr, 0), -1);
    ut::SetModalInterceptor(nullptr);
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0)) << "the quit is posted again for the outer loop";
    EXPECT_EQ(msg.wParam, 4u);
}

std::vector<int>* g_hookOrder = nullptr;
HHOOK g_first = nullptr;
HHOOK g_second = nullptr;
LRESULT CALLBACK FirstHook(int code, WPARAM wParam, LPARAM lParam) {
    g_hookOrder->push_back(1);
    return CallNextHookEx(g_first, code, wParam, lParam);
}
LRESULT CALLBACK SecondHook(int code, WPARAM wParam, LPARAM lParam) {
    g_hookOrder->push_back(2);
    return CallNextHookEx(g_second, code, wParam, lParam);
}

TEST(Messages, HooksChainNewestFirstAndSeeMessagesThatStayQueued) {
    std::vector<int> order;
    g_hookOrder = &order;
    g_first = SetWindowsHookExW(WH_GETMESSAGE, FirstHook, nullptr, GetCurrentThreadId());
    g_second = SetWindowsHookExW(WH_GETMESSAGE, SecondHook, nullptr, GetCurrentThreadId());
    PostMessageW(nullptr, WM_USER, 0, 0);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(order, (std::vector<int>{2, 1, 2, 1}));
    UnhookWindowsHookEx(g_first);
    UnhookWindowsHookEx(g_second);
    g_hookOrder = nullptr;
}

int g_timerCalls = 0;
void CALLBACK CountTimer(HWND, UINT, UINT_PTR, DWORD) {
    ++g_timerCalls;
}

TEST(Messages, ThreadTimersCallTheirProcedureThroughDispatch) {
    ut::UseManualClock(true);
    UINT_PTR id = SetTimer(nullptr, 0, 50, CountTimer);
    ASSERT_NE(id, 0u);
    ut::AdvanceClock(120);
    ut::RunPendingMessages();
    EXPECT_EQ(g_timerCalls, 1) << "a late timer fires once, not once per period missed";
    ut::AdvanceClock(50);
    ut::RunPendingMessages();
    EXPECT_EQ(g_timerCalls, 2);
    KillTimer(nullptr, id);
    ut::UseManualClock(false);
}

TEST(Messages, SendNotifyToAnotherThreadDoesNotWait) {
    std::atomic<HWND> theirs{nullptr};
    std::atomic<bool> release{false};
    std::vector<UINT> log;
    std::thread other([&] {
        theirs = MakeWindow();
        while (!release)
            std::this_thread::yield();
        g_log = &log;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        g_log = nullptr;
        DestroyWindow(theirs);
    });
    while (!theirs)
        std::this_thread::yield();
    EXPECT_TRUE(SendNotifyMessageW(theirs, WM_USER + 2, 0, 0)) << "returns while the other thread is busy";
    release = true;
    other.join();
    EXPECT_EQ(log, std::vector<UINT>{WM_USER + 2});
}

} // namespace
