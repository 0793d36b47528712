#include "platform/base/lifetime.h"

#include <dlfcn.h>
#include <link.h>

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>

namespace platform {
namespace {

struct Singleton {
    void (*release)(void*);
    void* object;
};

// Static storage only: the list itself must outlive everything it frees. A few singletons per copy; past the last
// slot one is simply kept.
constexpr int kMaxSingletons = 64;
Singleton g_singletons[kMaxSingletons];
std::atomic<int> g_count{0};
std::atomic<bool> g_unloading{false};

bool InSharedObject() {
    Dl_info info{};
    link_map* map = nullptr;
    // The executable is the first object of the loader's list.
    return dladdr1(&g_singletons, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 && map &&
           map->l_prev != nullptr;
}

struct FreeLast {
    FreeLast() = default;
    FreeLast(const FreeLast&) = delete;
    FreeLast& operator=(const FreeLast&) = delete;
    ~FreeLast() {
        if (!InSharedObject())
            return;
        g_unloading = true;
        for (int i = std::min(g_count.load(), kMaxSingletons); i-- > 0;)
            g_singletons[i].release(g_singletons[i].object);
        g_count = 0;
    }
};

// Built before any other static object of the module, hence destroyed after all of them: a static destructor may
// still use a singleton.
__attribute__((init_priority(101))) FreeLast g_freeLast;

} // namespace

void FreeAtUnload(void (*release)(void*), void* object) {
    const int slot = g_count.fetch_add(1);
    if (slot < kMaxSingletons)
        g_singletons[slot] = Singleton{release, object};
}

} // namespace platform

// LeakSanitizer's, when the process runs with it.
extern "C" void __lsan_ignore_object(const void* object) __attribute__((weak));

namespace platform {

void KeepForProcess(const void* object) {
    if (&__lsan_ignore_object != nullptr)
        __lsan_ignore_object(object);
}

void* ProcessWideObject(const char* variable, void* (*make)()) {
    if (const char* value = std::getenv(variable)) {
        long pid = 0;
        unsigned long long address = 0;
        if (std::sscanf(value, "%ld:%llx", &pid, &address) == 2 && pid == static_cast<long>(getpid()) && address)
            return reinterpret_cast<void*>(static_cast<std::uintptr_t>(address));
    }
    void* object = make();
    KeepForProcess(object);
    char value[64];
    std::snprintf(value, sizeof value, "%ld:%llx", static_cast<long>(getpid()),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(object)));
    setenv(variable, value, 1);
    return object;
}

bool Unloading() {
    return g_unloading;
}

// The key's destructor runs at the end of each thread that has an object; the set finds the objects of the threads
// still running when the slot goes.
struct ThreadSlot::Shared {
    struct Entry {
        Shared* shared;
        void* object;
    };
    pthread_key_t key{};
    void (*destroy)(void*) = nullptr;
    std::mutex lock;
    std::unordered_set<Entry*> entries;

    static void ThreadEnded(void* value) {
        auto* entry = static_cast<Entry*>(value);
        {
            std::lock_guard guard(entry->shared->lock);
            entry->shared->entries.erase(entry);
        }
        entry->shared->destroy(entry->object);
        delete entry;
    }
};

ThreadSlot::ThreadSlot(void (*destroy)(void*)) : m_shared(new Shared) {
    m_shared->destroy = destroy;
    pthread_key_create(&m_shared->key, &Shared::ThreadEnded);
}

ThreadSlot::~ThreadSlot() {
    // Once the key is gone, no thread's end calls into this module any more.
    pthread_key_delete(m_shared->key);
    for (Shared::Entry* entry : m_shared->entries) {
        m_shared->destroy(entry->object);
        delete entry;
    }
    delete m_shared;
}

void* ThreadSlot::Get() const {
    auto* entry = static_cast<Shared::Entry*>(pthread_getspecific(m_shared->key));
    return entry != nullptr ? entry->object : nullptr;
}

void ThreadSlot::Adopt(void* object) {
    auto* entry = new Shared::Entry{m_shared, object};
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->entries.insert(entry);
    }
    pthread_setspecific(m_shared->key, entry);
}

} // namespace platform
