// Singletons of this copy of platform. Every module links its own copy, so a singleton made with plain `new` in a
// library that is loaded and unloaded again would be lost at each unload.
#pragma once

#include <mutex>

namespace platform {

// Frees `object` with `release` when the module holding this copy of platform is unloaded, after every static
// destructor of the module has run. In the executable nothing is freed: its singletons serve until the process ends,
// threads and exit-time destructors included.
void FreeAtUnload(void (*release)(void*), void* object);

// True while the module holding this copy is being unloaded and its singletons are freed: a per-thread object's
// destructor then frees memory only, since its thread lives on without this module.
bool Unloading();

// An object the process keeps past the unload of the module that made it (the states that every module's copy of
// platform shares, found through the environment): leak checkers count it, and all it holds, as kept.
void KeepForProcess(const void* object);

// The one object of this process that every module's copy of platform shares, published in the environment
// variable `variable` as "<pid>:<address>" (a child process, which inherits the variable, makes its own). The first
// copy to ask makes it with `make`; it is kept for the process (KeepForProcess). Version the variable's name with
// the object's layout.
void* ProcessWideObject(const char* variable, void* (*make)());
template <class T> T* ProcessWide(const char* variable) {
    return static_cast<T*>(ProcessWideObject(variable, []() -> void* { return new T(); }));
}

// A singleton that lives as long as the code that uses it: `static auto* x = KeepUntilUnload(new X);`.
template <class T> T* KeepUntilUnload(T* object) {
    FreeAtUnload([](void* p) { delete static_cast<T*>(p); }, object);
    return object;
}

// The type-erased slot of PerThread: one object per thread, destroyed when the thread ends or, for threads still
// running then, when the module is unloaded.
class ThreadSlot {
public:
    explicit ThreadSlot(void (*destroy)(void*));
    ~ThreadSlot(); // destroys the objects of every thread still running
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    void* Get() const;
    void Adopt(void* object); // the calling thread's object, owned by the slot from now on

private:
    struct Shared;
    Shared* m_shared;
};

// One T per thread, built at the thread's first use. Stands in for a thread_local with a destructor: the C library
// keeps a module in memory for as long as any thread still owes it such a destructor, so a module that ran once on
// its host's thread could never be unloaded. Declare it at namespace scope: it is constant-initialised and has no
// destructor of its own.
template <class T> class PerThread {
public:
    constexpr PerThread() = default;

    T& Get() {
        ThreadSlot& slot = Slot();
        if (void* object = slot.Get())
            return *static_cast<T*>(object);
        auto* object = new T();
        slot.Adopt(object);
        return *object;
    }
    T* Find() { return static_cast<T*>(Slot().Get()); } // without building it
    T* operator->() { return &Get(); }

private:
    ThreadSlot& Slot() {
        std::call_once(m_once, [this] {
            m_slot = KeepUntilUnload(new ThreadSlot([](void* object) { delete static_cast<T*>(object); }));
        });
        return *m_slot;
    }
    std::once_flag m_once;
    ThreadSlot* m_slot = nullptr;
};

} // namespace platform
