#include "twain/WindowThread.h"

#include "platform/base/afxcore.h"
#include "platform/user/winuser.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr UINT kRunHandedCall = WM_APP + 0x2A0;
constexpr const WCHAR* kCallWindowClass = u"DsWindowThreadCalls";

struct HandedCall {
    std::function<TW_UINT16()> call;
    TW_UINT16 result = TWRC_FAILURE;
    bool done = false;
};

struct WindowThread {
    std::mutex lock;
    std::condition_variable changed;
    // A thread of the C++ library, joined for real: its end (its per-thread data included) is over before an
    // unload goes on.
    std::thread thread;
    DWORD threadId = 0;
    HWND callWindow = nullptr; // hidden, on the thread: a posted message reaches it also inside modal loops
    bool started = false;      // the loop takes calls
    std::deque<std::shared_ptr<HandedCall>> pending;
    std::function<void()> last;
    // Unloading: the thread leaves its windows to the unloading thread and waits until they are taken.
    bool park = false;
    bool parked = false;
    bool released = false;
};

WindowThread& Thread() {
    static WindowThread thread;
    return thread;
}

// Set on an application thread once the source made its message queue (see NoteSourceMadeQueueHere).
thread_local bool t_queueMadeBySource = false;

void FinishCall(const std::shared_ptr<HandedCall>& call, TW_UINT16 result) {
    WindowThread& t = Thread();
    std::lock_guard guard(t.lock);
    call->result = result;
    call->done = true;
    t.changed.notify_all();
}

LRESULT CALLBACK CallWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != kRunHandedCall)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    WindowThread& t = Thread();
    std::shared_ptr<HandedCall> call;
    {
        std::lock_guard guard(t.lock);
        if (t.pending.empty())
            return 0;
        call = t.pending.front();
        t.pending.pop_front();
    }
    const TW_UINT16 result = call->call();
    // The window paints what the call changed before the application goes on: an application that unloads the
    // source right after a call finds the thread idle, not drawing (which may need the loader the unload holds).
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) {
            if (IsWindowVisible(window))
                RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            return TRUE;
        },
        0);
    FinishCall(call, result);
    return 0;
}

// The loop an application with a window loop would run for the window: the framework's pre-translation (the
// window's keys), the dialog keys of the top-level window, then the window procedures.
void RunLoop() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        CWinApp* app = AfxGetApp();
        if (app != nullptr && app->PreTranslateMessage(&msg))
            continue;
        HWND top = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (top != nullptr && top != Thread().callWindow && IsDialogMessageW(top, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void WindowThreadMain() {
    WindowThread& t = Thread();
    WNDCLASSW wc{};
    wc.lpfnWndProc = CallWindowProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.lpszClassName = kCallWindowClass;
    RegisterClassW(&wc);
    HWND callWindow = CreateWindowExW(0, kCallWindowClass, u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      AfxGetInstanceHandle(), nullptr);
    {
        std::lock_guard guard(t.lock);
        t.callWindow = callWindow;
        t.threadId = GetCurrentThreadId();
        t.started = true;
        t.changed.notify_all();
    }
    if (callWindow != nullptr)
        RunLoop();

    std::function<void()> last;
    bool park = false;
    {
        std::lock_guard guard(t.lock);
        last = std::move(t.last);
        park = t.park;
    }
    if (last && !park)
        last();
    // Calls handed after the end was asked are answered as failures.
    std::deque<std::shared_ptr<HandedCall>> orphans;
    {
        std::lock_guard guard(t.lock);
        t.callWindow = nullptr;
        orphans.swap(t.pending);
    }
    for (const auto& call : orphans)
        FinishCall(call, TWRC_FAILURE);
    if (callWindow != nullptr)
        DestroyWindow(callWindow);
    UnregisterClassW(kCallWindowClass, AfxGetInstanceHandle()); // its procedure leaves with the module
    if (park) {
        std::unique_lock guard(t.lock);
        t.parked = true;
        t.changed.notify_all();
        t.changed.wait(guard, [&] { return t.released; });
    }
}

} // namespace

BOOL WindowThreadNeededHere() {
    return !IsGUIThread(FALSE) || t_queueMadeBySource ? TRUE : FALSE;
}

void NoteSourceMadeQueueHere() {
    if (!IsGUIThread(FALSE))
        t_queueMadeBySource = true;
}

BOOL IsWindowThreadRunning() {
    WindowThread& t = Thread();
    std::lock_guard guard(t.lock);
    return t.thread.joinable() ? TRUE : FALSE;
}

BOOL IsOnWindowThread() {
    WindowThread& t = Thread();
    std::lock_guard guard(t.lock);
    return t.thread.joinable() && t.threadId == GetCurrentThreadId() ? TRUE : FALSE;
}

BOOL StartWindowThread() {
    WindowThread& t = Thread();
    std::unique_lock guard(t.lock);
    if (t.thread.joinable())
        return TRUE;
    t.started = false;
    try {
        t.thread = std::thread(WindowThreadMain);
    } catch (...) {
        return FALSE;
    }
    t.changed.wait(guard, [&] { return t.started; });
    if (t.callWindow == nullptr) {
        std::thread failed = std::move(t.thread);
        guard.unlock();
        failed.join();
        guard.lock();
        t.threadId = 0;
        return FALSE;
    }
    return TRUE;
}

TW_UINT16 RunOnWindowThread(const std::function<TW_UINT16()>& call) {
    WindowThread& t = Thread();
    auto handed = std::make_shared<HandedCall>();
    handed->call = call;
    std::unique_lock guard(t.lock);
    if (t.callWindow == nullptr)
        return TWRC_FAILURE;
    t.pending.push_back(handed);
    // Posted, not sent: the application's thread gets no message queue from the source for it.
    if (!PostMessageW(t.callWindow, kRunHandedCall, 0, 0)) {
        t.pending.pop_back();
        return TWRC_FAILURE;
    }
    t.changed.wait(guard, [&] { return handed->done; });
    return handed->result;
}

namespace {
void JoinWindowThread(std::thread& thread) {
    WindowThread& t = Thread();
    thread.join();
    std::lock_guard guard(t.lock);
    t.threadId = 0;
    t.park = t.parked = t.released = false;
}
} // namespace

void TakeOverWindowThread() {
    WindowThread& t = Thread();
    std::thread thread;
    DWORD threadId = 0;
    {
        std::unique_lock guard(t.lock);
        if (!t.thread.joinable() || t.threadId == GetCurrentThreadId())
            return;
        thread = std::move(t.thread);
        threadId = t.threadId;
        t.park = true;
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        t.changed.wait(guard, [&] { return t.parked; });
    }
    platform::user::AdoptThreadWindows(threadId);
    {
        std::lock_guard guard(t.lock);
        t.released = true;
        t.changed.notify_all();
    }
    JoinWindowThread(thread);
}

void StopWindowThread(const std::function<void()>& last) {
    WindowThread& t = Thread();
    std::thread thread;
    {
        std::lock_guard guard(t.lock);
        if (!t.thread.joinable() || t.threadId == GetCurrentThreadId())
            return; // a thread cannot wait for its own end
        thread = std::move(t.thread);
        t.last = last;
        // A posted WM_QUIT ends every modal loop of the thread on its way out, then its own loop.
        PostThreadMessageW(t.threadId, WM_QUIT, 0, 0);
    }
    JoinWindowThread(thread);
}
