// Message queues: one per thread, SendMessage within and across threads, PostMessage, GetMessage/PeekMessage,
// TranslateMessage/DispatchMessage, WH_GETMESSAGE hooks, the key state that follows retrieved messages.
#include "platform/user/internal.h"

#include "platform/base/lifetime.h"
#include "platform/base/windows.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace platform::user {

namespace {

// Every module links its own copy of platform, but windows and queues must be one table per process: the first
// copy publishes its state in the environment (tagged with the process id, so a child process ignores it).
constexpr const char* kStateVariable = "PLATFORM_USER_STATE_V1";

// Ends a thread's queue when the thread ends: pending senders get 0, its windows leave the table.
void ThreadExit(DWORD tid) {
    State& g = G();
    Lock lock(g.mutex);
    auto it = g.queues.find(tid);
    if (it == g.queues.end())
        return;
    std::shared_ptr<ThreadQueue> queue = it->second;
    queue->alive = false;
    for (auto& sent : queue->sent) {
        sent->done = true;
        if (ThreadQueue* sender = FindQueue(sent->senderThread))
            sender->cv.notify_all();
    }
    queue->sent.clear();
    std::vector<HWND> gone;
    for (auto& [h, w] : g.windows)
        if (w->threadId == tid)
            gone.push_back(h);
    for (HWND h : gone) {
        Window* w = Find(h);
        if (!w)
            continue;
        if (w->parent) {
            if (Window* p = Find(w->parent))
                std::erase(p->children, h);
        } else {
            std::erase(g.topLevel, h);
        }
        g.windows.erase(h);
    }
    g.queues.erase(it);
}

// When the module is unloaded the thread lives on, and so do its queue and windows.
struct ThreadGuard {
    DWORD tid = 0;
    ~ThreadGuard() {
        if (tid && !platform::Unloading())
            ThreadExit(tid);
    }
};
platform::PerThread<ThreadGuard> t_guard;

bool MatchesFilter(const MSG& m, HWND filter, UINT first, UINT last) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd)
            return false;
    } else if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd)) {
        return false;
    }
    if (first == 0 && last == 0)
        return true;
    return m.message >= first && m.message <= last;
}

bool InRange(UINT msg, UINT first, UINT last) {
    return (first == 0 && last == 0) || (msg >= first && msg <= last);
}

void UpdateKeyState(ThreadQueue& q, const MSG& m) {
    auto press = [&](int vk) {
        if (!(q.keys[vk] & 0x80))
            q.keys[vk] ^= 0x01;
        q.keys[vk] |= 0x80;
    };
    auto release = [&](int vk) { q.keys[vk] &= static_cast<BYTE>(~0x80); };
    switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        press(static_cast<int>(m.wParam & 0xFF));
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        release(static_cast<int>(m.wParam & 0xFF));
        break;
    case WM_LBUTTONDOWN:
        press(VK_LBUTTON);
        break;
    case WM_LBUTTONUP:
        release(VK_LBUTTON);
        break;
    case WM_RBUTTONDOWN:
        press(VK_RBUTTON);
        break;
    case WM_RBUTTONUP:
        release(VK_RBUTTON);
        break;
    case WM_MBUTTONDOWN:
        press(VK_MBUTTON);
        break;
    case WM_MBUTTONUP:
        release(VK_MBUTTON);
        break;
    default:
        break;
    }
}

// Picks the next message for this thread in Windows' order: posted (and input), quit, paint, timers.
bool FetchMessage(Lock& lock, ThreadQueue& q, MSG* out, HWND filter, UINT first, UINT last, UINT flags) {
    ReceiveSentMessages(lock, q);
    bool remove = (flags & PM_REMOVE) != 0;
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!MatchesFilter(*it, filter, first, last))
            continue;
        *out = *it;
        if (remove) {
            q.posted.erase(it);
            UpdateKeyState(q, *out);
        }
        return true;
    }
    if (q.quit) {
        *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, static_cast<DWORD>(NowMs()), G().cursor};
        if (remove)
            q.quit = false;
        return true;
    }
    if (InRange(WM_PAINT, first, last) && filter != reinterpret_cast<HWND>(-1)) {
        if (HWND hwnd = FindWindowToPaint(q, filter)) {
            *out = MSG{hwnd, WM_PAINT, 0, 0, static_cast<DWORD>(NowMs()), G().cursor};
            return true;
        }
    }
    if (InRange(WM_TIMER, first, last)) {
        std::uint64_t now = NowMs();
        Timer* best = nullptr;
        for (Timer& t : q.timers) {
            if (t.due > now)
                continue;
            MSG probe{t.hwnd, WM_TIMER, 0, 0, 0, {}};
            if (!MatchesFilter(probe, filter, first, last))
                continue;
            if (!best || t.due < best->due)
                best = &t;
        }
        if (best) {
            *out = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), static_cast<DWORD>(now),
                       G().cursor};
            if (remove)
                best->due = now + best->elapse;
            return true;
        }
    }
    return false;
}

// Waits until something may have arrived for the queue: a notification, the next real-clock timer, or the real
// clock's `deadline` (SteadyMs).
void WaitForWork(Lock& lock, ThreadQueue& q, std::uint64_t deadline = UINT64_MAX) {
    if (!q.sent.empty())
        return;
    State& g = G();
    std::uint64_t wait = UINT64_MAX;
    if (!g.manualClock) {
        std::uint64_t next = UINT64_MAX;
        for (const Timer& t : q.timers)
            next = std::min(next, t.due);
        if (next != UINT64_MAX) {
            std::uint64_t now = NowMs();
            if (next <= now)
                return;
            wait = next - now;
        }
    }
    if (deadline != UINT64_MAX) {
        std::uint64_t now = SteadyMs();
        if (deadline <= now)
            return;
        wait = std::min(wait, deadline - now);
    }
    if (wait == UINT64_MAX)
        q.cv.wait(lock);
    else
        q.cv.wait_for(lock, std::chrono::milliseconds(wait));
}

bool IsWindowWithin(HWND hwnd, HWND ancestor) { // lock held
    for (Window* w = Find(hwnd); w; w = Find(w->parent))
        if (w->handle == ancestor)
            return true;
    return false;
}

void CallGetMessageHooks(ThreadQueue& q, Lock& lock, MSG* msg, UINT flags) {
    HOOKPROC first = nullptr;
    for (const Hook& h : q.hooks)
        if (h.kind == WH_GETMESSAGE) {
            first = h.proc;
            break;
        }
    if (!first)
        return;
    lock.unlock();
    first(HC_ACTION, flags & PM_REMOVE, reinterpret_cast<LPARAM>(msg));
    lock.lock();
}

bool GetOrPeek(MSG* msg, HWND hwnd, UINT first, UINT last, UINT flags, bool wait) {
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    for (;;) {
        if (FetchMessage(lock, q, msg, hwnd, first, last, flags)) {
            if (flags & PM_REMOVE)
                q.last = *msg;
            CallGetMessageHooks(q, lock, msg, flags);
            return true;
        }
        if (!wait)
            return false;
        WaitForWork(lock, q);
    }
}

WCHAR CharForKey(const BYTE* keys, WPARAM vk) {
    bool shift = (keys[VK_SHIFT] & 0x80) != 0;
    bool ctrl = (keys[VK_CONTROL] & 0x80) != 0;
    bool caps = (keys[VK_CAPITAL] & 0x01) != 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl)
            return static_cast<WCHAR>(vk - 'A' + 1);
        return static_cast<WCHAR>((shift != caps) ? vk : vk - 'A' + 'a');
    }
    if (ctrl)
        return 0;
    if (vk >= '0' && vk <= '9') {
        static const char16_t shifted[] = u")!@#$%^&*(";
        return shift ? shifted[vk - '0'] : static_cast<WCHAR>(vk);
    }
    if (vk >= 0x60 && vk <= 0x69) // numeric keypad
        return static_cast<WCHAR>('0' + (vk - 0x60));
    switch (vk) {
    case VK_SPACE:
        return u' ';
    case VK_RETURN:
        return u'\r';
    case VK_ESCAPE:
        return 0x1B;
    case VK_BACK:
        return 0x08;
    case VK_TAB:
        return u'\t';
    case 0x6D: // VK_SUBTRACT
    case 0xBD: // VK_OEM_MINUS
        return shift ? u'_' : u'-';
    case 0x6E: // VK_DECIMAL
    case 0xBE: // VK_OEM_PERIOD
        return shift ? u'>' : u'.';
    case 0xBC: // VK_OEM_COMMA
        return shift ? u'<' : u',';
    case 0xBB: // VK_OEM_PLUS
        return shift ? u'+' : u'=';
    default:
        return 0;
    }
}

} // namespace

namespace {

// When this copy's module is unloaded, what it leaves in the process's window state goes with it: windows, window
// classes, hooks and timers whose code lies in the module. Nothing of the module is called any more (its static
// objects are gone by then); its windows only leave the tables.
void ForgetModuleCode() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&ForgetModuleCode), &self) == 0)
        return;
    auto inModule = [base = self.dli_fbase](const void* code) {
        Dl_info info{};
        return code != nullptr && dladdr(code, &info) != 0 && info.dli_fbase == base;
    };
    State& g = G();
    Lock lock(g.mutex);
    std::vector<HWND> gone;
    for (auto& [h, w] : g.windows)
        if (inModule(reinterpret_cast<const void*>(w->proc)))
            gone.push_back(h);
    for (size_t i = 0; i < gone.size(); ++i) // with their children, whatever code those run
        if (Window* w = Find(gone[i]))
            for (HWND child : w->children)
                if (std::find(gone.begin(), gone.end(), child) == gone.end())
                    gone.push_back(child);
    for (HWND h : gone) {
        Window* w = Find(h);
        if (w == nullptr)
            continue;
        if (Window* parent = w->parent ? Find(w->parent) : nullptr)
            std::erase(parent->children, h);
        std::erase(g.topLevel, h);
        std::erase_if(g.dcWindows, [h](const auto& entry) { return entry.second == h; });
        for (auto& [tid, queue] : g.queues) {
            std::erase_if(queue->posted, [h](const MSG& m) { return m.hwnd == h; });
            std::erase_if(queue->timers, [h](const Timer& t) { return t.hwnd == h; });
            for (HWND* held : {&queue->focus, &queue->active, &queue->capture})
                if (*held == h)
                    *held = nullptr;
        }
        for (HWND* held : {&g.foreground, &g.hoverWindow, &g.trackLeave})
            if (*held == h)
                *held = nullptr;
        g.windows.erase(h);
    }
    for (auto& c : g.classes)
        if (c && !c->system && inModule(reinterpret_cast<const void*>(c->wc.lpfnWndProc)))
            c.reset(); // keep the slot so other atoms stay valid
    for (auto& [tid, queue] : g.queues) {
        std::erase_if(queue->hooks,
                      [&](const Hook& hook) { return inModule(reinterpret_cast<const void*>(hook.proc)); });
        std::erase_if(queue->timers,
                      [&](const Timer& timer) { return inModule(reinterpret_cast<const void*>(timer.proc)); });
    }
}

} // namespace

State& G() {
    static State* state = [] {
        platform::FreeAtUnload([](void*) { ForgetModuleCode(); }, nullptr);
        return platform::ProcessWide<State>(kStateVariable); // windows may be touched during exit
    }();
    return *state;
}

DWORD CurrentThreadId() {
    return static_cast<DWORD>(gettid());
}

ThreadQueue* FindQueue(DWORD threadId) {
    auto it = G().queues.find(threadId);
    return it == G().queues.end() ? nullptr : it->second.get();
}

ThreadQueue& QueueOf(DWORD threadId) {
    State& g = G();
    auto it = g.queues.find(threadId);
    if (it != g.queues.end())
        return *it->second;
    auto q = std::make_shared<ThreadQueue>();
    q->threadId = threadId;
    g.queues[threadId] = q;
    if (threadId == CurrentThreadId())
        t_guard->tid = threadId;
    return *q;
}

std::uint64_t NowMs() {
    State& g = G();
    return g.manualClock ? g.manualNow : SteadyMs();
}

std::uint64_t SteadyMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool WaitForMessageUntil(std::uint64_t deadline) {
    Lock lock(G().mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    MSG probe{};
    for (;;) {
        if (FetchMessage(lock, q, &probe, nullptr, 0, 0, PM_NOREMOVE))
            return true;
        if (SteadyMs() >= deadline)
            return false;
        WaitForWork(lock, q, deadline);
    }
}

void WakeAll() {
    for (auto& [tid, q] : G().queues)
        q->cv.notify_all();
}

Window* Find(HWND hwnd) {
    auto it = G().windows.find(hwnd);
    return it == G().windows.end() ? nullptr : it->second.get();
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    {
        Lock lock(G().mutex);
        Window* w = Find(hwnd);
        if (!w)
            return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

void ReceiveSentMessages(Lock& lock, ThreadQueue& q) {
    while (!q.sent.empty()) {
        std::shared_ptr<SentMessage> sm = q.sent.front();
        q.sent.pop_front();
        ++q.inSend;
        lock.unlock();
        LRESULT result = CallProc(sm->hwnd, sm->msg, sm->wParam, sm->lParam);
        lock.lock();
        --q.inSend;
        if (q.watchedDialog && IsWindowWithin(sm->hwnd, q.watchedDialog))
            q.watchedActivity = SteadyMs();
        sm->result = result;
        sm->done = true;
        if (ThreadQueue* sender = FindQueue(sm->senderThread))
            sender->cv.notify_all();
    }
}

} // namespace platform::user

using namespace platform::user;

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    State& g = G();
    Lock lock(g.mutex);
    Window* w = Find(hwnd);
    if (!w)
        return 0;
    DWORD me = CurrentThreadId();
    if (w->threadId == me) {
        lock.unlock();
        return CallProc(hwnd, msg, wParam, lParam);
    }
    ThreadQueue* target = FindQueue(w->threadId);
    if (!target || !target->alive)
        return 0;
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    sm->msg = msg;
    sm->wParam = wParam;
    sm->lParam = lParam;
    sm->senderThread = me;
    target->sent.push_back(sm);
    target->cv.notify_all();
    ThreadQueue& mine = QueueOf(me);
    // While waiting, this thread answers what others send to it, as Windows does, so two threads sending to each
    // other do not deadlock.
    while (!sm->done) {
        if (!mine.sent.empty()) {
            ReceiveSentMessages(lock, mine);
            continue;
        }
        mine.cv.wait(lock);
    }
    return sm->result;
}

BOOL SendNotifyMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    State& g = G();
    Lock lock(g.mutex);
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    if (w->threadId == CurrentThreadId()) {
        lock.unlock();
        CallProc(hwnd, msg, wParam, lParam);
        return TRUE;
    }
    ThreadQueue* target = FindQueue(w->threadId);
    if (!target)
        return FALSE;
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    sm->msg = msg;
    sm->wParam = wParam;
    sm->lParam = lParam;
    sm->wantsReply = false;
    target->sent.push_back(sm);
    target->cv.notify_all();
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue* q = FindQueue(threadId);
    if (!q && threadId == CurrentThreadId())
        q = &QueueOf(threadId);
    if (!q || !q->alive)
        return FALSE;
    q->posted.push_back(MSG{nullptr, msg, wParam, lParam, static_cast<DWORD>(NowMs()), g.cursor});
    q->cv.notify_all();
    return TRUE;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // A null window makes it a message of the calling thread, which DispatchMessage never hands to a window.
    if (!hwnd)
        return PostThreadMessageW(CurrentThreadId(), msg, wParam, lParam);
    State& g = G();
    Lock lock(g.mutex);
    if (hwnd == HWND_BROADCAST) {
        for (HWND top : g.topLevel)
            if (Window* w = Find(top))
                if (ThreadQueue* q = FindQueue(w->threadId)) {
                    q->posted.push_back(MSG{top, msg, wParam, lParam, static_cast<DWORD>(NowMs()), g.cursor});
                    q->cv.notify_all();
                }
        return TRUE;
    }
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    ThreadQueue& q = QueueOf(w->threadId);
    q.posted.push_back(MSG{hwnd, msg, wParam, lParam, static_cast<DWORD>(NowMs()), g.cursor});
    q.cv.notify_all();
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    q.quit = true;
    q.quitCode = exitCode;
    q.cv.notify_all();
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg)
        return -1;
    GetOrPeek(msg, hwnd, filterMin, filterMax, PM_REMOVE, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    MSG scratch{};
    return GetOrPeek(msg ? msg : &scratch, hwnd, filterMin, filterMax, removeFlags, false) ? TRUE : FALSE;
}

BOOL WaitMessage() {
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    MSG probe{};
    while (!FetchMessage(lock, q, &probe, nullptr, 0, 0, PM_NOREMOVE))
        WaitForWork(lock, q);
    return TRUE;
}

DWORD GetQueueStatus(UINT flags) {
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    DWORD status = 0;
    for (const MSG& m : q.posted) {
        if (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST)
            status |= QS_KEY;
        else if (m.message == WM_MOUSEMOVE)
            status |= QS_MOUSEMOVE;
        else if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST)
            status |= QS_MOUSEBUTTON;
        else
            status |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
    }
    if (!q.sent.empty())
        status |= QS_SENDMESSAGE;
    if (FindWindowToPaint(q, nullptr))
        status |= QS_PAINT;
    std::uint64_t now = NowMs();
    for (const Timer& t : q.timers)
        if (t.due <= now)
            status |= QS_TIMER;
    status &= flags;
    return MAKELONG(status, status);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds, DWORD wakeMask) {
    // Kernel objects cannot wake this queue, so they are polled in short steps while the queue is watched.
    std::uint64_t start = NowMs();
    auto realStart = std::chrono::steady_clock::now();
    for (;;) {
        if (count > 0) {
            DWORD r = WaitForMultipleObjects(count, handles, waitAll, 0);
            if (r != WAIT_TIMEOUT)
                return r;
        }
        if (HIWORD(GetQueueStatus(wakeMask)) != 0)
            return WAIT_OBJECT_0 + count;
        auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - realStart);
        if (milliseconds != INFINITE && static_cast<DWORD>(elapsed.count()) >= milliseconds)
            return WAIT_TIMEOUT;
        State& g = G();
        Lock lock(g.mutex);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        q.cv.wait_for(lock, std::chrono::milliseconds(2));
        (void)start;
    }
}

LONG GetMessageTime() {
    State& g = G();
    Lock lock(g.mutex);
    return static_cast<LONG>(QueueOf(CurrentThreadId()).last.time);
}

DWORD GetMessagePos() {
    State& g = G();
    Lock lock(g.mutex);
    POINT p = QueueOf(CurrentThreadId()).last.pt;
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

BOOL InSendMessage() {
    State& g = G();
    Lock lock(g.mutex);
    return QueueOf(CurrentThreadId()).inSend > 0;
}

BOOL IsGUIThread(BOOL bConvert) {
    State& g = G();
    Lock lock(g.mutex);
    if (FindQueue(CurrentThreadId()) != nullptr)
        return TRUE;
    if (bConvert)
        QueueOf(CurrentThreadId());
    return bConvert;
}

namespace platform::user {
BOOL AdoptThreadWindows(DWORD threadId) {
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue* from = FindQueue(threadId);
    const DWORD me = CurrentThreadId();
    if (from == nullptr || threadId == me)
        return FALSE;
    ThreadQueue& mine = QueueOf(me);
    for (auto& [h, w] : g.windows)
        if (w->threadId == threadId)
            w->threadId = me;
    mine.hooks.insert(mine.hooks.begin(), from->hooks.begin(), from->hooks.end());
    from->hooks.clear();
    mine.timers.insert(mine.timers.end(), from->timers.begin(), from->timers.end());
    from->timers.clear();
    if (mine.focus == nullptr)
        mine.focus = from->focus;
    if (mine.active == nullptr)
        mine.active = from->active;
    from->focus = from->active = from->capture = nullptr;
    // What was posted to those windows stays behind: no loop of the old thread runs it any more.
    return TRUE;
}
} // namespace platform::user

BOOL ReplyMessage(LRESULT) {
    return FALSE;
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!name || !*name)
        return 0;
    State& g = G();
    Lock lock(g.mutex);
    auto [it, added] = g.registeredMessages.try_emplace(std::u16string(name), g.nextRegisteredMessage);
    if (added)
        ++g.nextRegisteredMessage;
    return it->second;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F1) {
        // F1 asks for help: the window with the focus gets WM_KEYF1, which its default handling turns into WM_HELP.
        q.posted.push_front(MSG{msg->hwnd, WM_KEYF1, 0, 0, msg->time, msg->pt});
        return TRUE;
    }
    WCHAR ch = CharForKey(q.keys, msg->wParam);
    if (!ch)
        return FALSE;
    UINT charMsg = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    // The character comes next, before anything queued after the key.
    q.posted.push_front(MSG{msg->hwnd, charMsg, ch, msg->lParam, msg->time, msg->pt});
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg)
        return 0;
    // A timer with a procedure runs it, also for a thread timer (no window).
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(NowMs()));
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    unsigned paintsBefore = 0;
    {
        Lock lock(G().mutex);
        Window* w = Find(msg->hwnd);
        if (!w || w->threadId != CurrentThreadId())
            return 0;
        paintsBefore = w->paintCount;
    }
    LRESULT r = CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT) {
        // A WM_PAINT handler that never called BeginPaint would otherwise be asked again forever.
        Lock lock(G().mutex);
        if (Window* w = Find(msg->hwnd); w && w->paintCount == paintsBefore)
            w->needsPaint = w->needsErase = false;
    }
    return r;
}

// ---- Hooks ----

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId) {
    if (!proc)
        return nullptr;
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue& q = QueueOf(threadId ? threadId : CurrentThreadId());
    Hook h;
    h.handle = reinterpret_cast<HHOOK>(g.nextHook);
    g.nextHook += 0x10;
    h.kind = idHook;
    h.proc = proc;
    q.hooks.insert(q.hooks.begin(), h);
    return h.handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
    State& g = G();
    Lock lock(g.mutex);
    for (auto& [tid, q] : g.queues) {
        auto it = std::find_if(q->hooks.begin(), q->hooks.end(), [&](const Hook& h) { return h.handle == hook; });
        if (it != q->hooks.end()) {
            q->hooks.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    HOOKPROC next = nullptr;
    {
        State& g = G();
        Lock lock(g.mutex);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        auto it = std::find_if(q.hooks.begin(), q.hooks.end(), [&](const Hook& h) { return h.handle == hook; });
        if (it != q.hooks.end()) {
            int kind = it->kind;
            for (++it; it != q.hooks.end(); ++it)
                if (it->kind == kind) {
                    next = it->proc;
                    break;
                }
        }
    }
    return next ? next(code, wParam, lParam) : 0;
}

// ---- Timers ----

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    State& g = G();
    Lock lock(g.mutex);
    DWORD tid = CurrentThreadId();
    if (hwnd) {
        Window* w = Find(hwnd);
        if (!w || w->threadId != tid)
            return 0;
    }
    ThreadQueue& q = QueueOf(tid);
    elapse = std::max<UINT>(elapse, 10);
    if (!hwnd) {
        auto existing = std::find_if(q.timers.begin(), q.timers.end(),
                                     [&](const Timer& t) { return !t.hwnd && t.id == id && id != 0; });
        if (existing == q.timers.end())
            id = g.nextThreadTimer++;
    }
    for (Timer& t : q.timers)
        if (t.hwnd == hwnd && t.id == id) {
            t.elapse = elapse;
            t.proc = proc;
            t.due = NowMs() + elapse;
            return hwnd ? (id ? id : 1) : id;
        }
    q.timers.push_back(Timer{hwnd, id, elapse, proc, NowMs() + elapse});
    q.cv.notify_all();
    return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    State& g = G();
    Lock lock(g.mutex);
    ThreadQueue& q = QueueOf(CurrentThreadId());
    auto n = std::erase_if(q.timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    std::erase_if(q.posted, [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; });
    return n > 0;
}

// ---- Key state ----

SHORT GetKeyState(int virtKey) {
    State& g = G();
    Lock lock(g.mutex);
    BYTE k = QueueOf(CurrentThreadId()).keys[virtKey & 0xFF];
    // Windows reports a key that is down as 0xFF80 (plus the toggle bit), not just the high bit.
    WORD value = static_cast<WORD>((k & 0x80) ? 0xFF80 : 0) | (k & 0x01);
    return static_cast<SHORT>(value);
}

SHORT GetAsyncKeyState(int virtKey) {
    State& g = G();
    Lock lock(g.mutex);
    return static_cast<SHORT>((g.asyncKeys[virtKey & 0xFF] & 0x80) ? 0x8000 : 0);
}

BOOL GetKeyboardState(BYTE* keyState) {
    if (!keyState)
        return FALSE;
    State& g = G();
    Lock lock(g.mutex);
    std::memcpy(keyState, QueueOf(CurrentThreadId()).keys, 256);
    return TRUE;
}
