// Threads: CreateThread with a waitable handle and an exit code, thread and process ids.
#include "platform/base/kernel.h"
#include "platform/base/lifetime.h"

#include <climits>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <vector>

using namespace platform::kernel;

namespace {

class Thread : public Waitable {
public:
    bool IsSignaled(DWORD) const override { return finished; }
    bool Acquire(DWORD) override { return false; }

    // All under the dispatcher lock.
    DWORD id = 0;
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD suspendCount = 0;
    int priority = THREAD_PRIORITY_NORMAL;
};

struct Start {
    std::shared_ptr<Thread> thread;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};

thread_local Thread* t_current = nullptr;
thread_local DWORD t_exitCode = 0;

std::condition_variable& StartSignal() {
    static auto* signal = platform::KeepUntilUnload(new std::condition_variable);
    return *signal;
}

void* Run(void* raw) {
    std::unique_ptr<Start> start(static_cast<Start*>(raw));
    std::shared_ptr<Thread> thread = start->thread;
    t_current = thread.get();
    {
        std::unique_lock lock(DispatchLock());
        thread->id = GetCurrentThreadId();
        StartSignal().notify_all();
        StartSignal().wait(lock, [&] { return thread->suspendCount == 0; });
    }
    // Also runs when ExitThread unwinds the thread.
    struct Finish {
        Thread& thread;
        ~Finish() {
            AbandonOwnedMutexes();
            std::lock_guard lock(DispatchLock());
            thread.exitCode = t_exitCode;
            thread.finished = true;
            NotifyWaiters();
        }
    } finish{*thread};
    t_exitCode = start->routine(start->parameter);
    return nullptr;
}

// A thread's handle is signalled while the thread still runs a little of this module's code (the end of Run, the
// destructors of its per-thread objects). A host that waited for the thread and then unloads the module must not
// pull the code from under it, so threads stay joinable and are joined once they have signalled: at the next
// thread's start, and when this copy's static objects are destroyed (at the module's unload, or the program's exit).
struct Reaper {
    std::mutex lock;
    std::vector<std::pair<std::shared_ptr<Thread>, pthread_t>> unjoined;

    // Joins every thread that has signalled; they are at most a few instructions from their end.
    void JoinFinished() {
        std::vector<pthread_t> ending;
        {
            std::lock_guard guard(lock);
            std::lock_guard dispatch(DispatchLock());
            std::erase_if(unjoined, [&](const auto& entry) {
                if (!entry.first->finished)
                    return false;
                ending.push_back(entry.second);
                return true;
            });
        }
        for (pthread_t native : ending)
            pthread_join(native, nullptr);
    }
};

Reaper& TheReaper() {
    static auto* reaper = platform::KeepUntilUnload(new Reaper);
    return *reaper;
}

struct JoinAtUnload {
    JoinAtUnload() = default;
    JoinAtUnload(const JoinAtUnload&) = delete;
    JoinAtUnload& operator=(const JoinAtUnload&) = delete;
    ~JoinAtUnload() { TheReaper().JoinFinished(); }
} g_joinAtUnload;

} // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE routine, LPVOID parameter,
                    DWORD flags, LPDWORD threadId) {
    if (!routine) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<Thread>();
    thread->suspendCount = (flags & CREATE_SUSPENDED) ? 1 : 0;
    HANDLE handle = AddHandle(thread);
    if (!handle)
        return nullptr;

    Reaper& reaper = TheReaper();
    reaper.JoinFinished();
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize > 0)
        pthread_attr_setstacksize(&attributes, std::max<SIZE_T>(stackSize, PTHREAD_STACK_MIN));
    auto start = std::make_unique<Start>(Start{thread, routine, parameter});
    pthread_t native;
    int rc = pthread_create(&native, &attributes, Run, start.get());
    pthread_attr_destroy(&attributes);
    if (rc != 0) {
        TakeHandle(handle);
        SetLastError(rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : ErrorFromErrno(rc));
        return nullptr;
    }
    static_cast<void>(start.release()); // the thread owns it now
    {
        std::lock_guard guard(reaper.lock);
        reaper.unjoined.emplace_back(thread, native);
    }

    // The id is the kernel's thread id, which the new thread reports itself.
    std::unique_lock lock(DispatchLock());
    StartSignal().wait(lock, [&] { return thread->id != 0; });
    if (threadId)
        *threadId = thread->id;
    return handle;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    auto thread = Get<Thread>(handle);
    if (!thread || !exitCode) {
        if (thread)
            SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(DispatchLock());
    *exitCode = thread->finished ? thread->exitCode : STILL_ACTIVE;
    return TRUE;
}

void ExitThread(DWORD exitCode) {
    t_exitCode = exitCode;
    pthread_exit(nullptr);
}

DWORD ResumeThread(HANDLE handle) {
    auto thread = Get<Thread>(handle);
    if (!thread)
        return static_cast<DWORD>(-1);
    std::lock_guard lock(DispatchLock());
    DWORD previous = thread->suspendCount;
    if (thread->suspendCount > 0 && --thread->suspendCount == 0)
        StartSignal().notify_all();
    return previous;
}

// Priorities are remembered but not applied: normal users cannot raise them on Linux.
BOOL SetThreadPriority(HANDLE handle, int priority) {
    if (handle == GetCurrentThread())
        return TRUE;
    auto thread = Get<Thread>(handle);
    if (!thread)
        return FALSE;
    std::lock_guard lock(DispatchLock());
    thread->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE handle) {
    if (handle == GetCurrentThread())
        return t_current ? t_current->priority : THREAD_PRIORITY_NORMAL;
    auto thread = Get<Thread>(handle);
    if (!thread)
        return 0x7FFFFFFF; // THREAD_PRIORITY_ERROR_RETURN
    std::lock_guard lock(DispatchLock());
    return thread->priority;
}

BOOL TerminateThread(HANDLE, DWORD) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

DWORD GetCurrentThreadId() {
    thread_local DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
    return id;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}
