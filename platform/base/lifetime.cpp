#include "platform/base/lifetime.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <atomic>

namespace platform {
namespace {

struct Singleton {
    void (*release)(void*);
    void* object;
};

// Static storage only: the list itself must outlive everything it frees. A few singletons per copy; past the last
// slot one is simply kept.
constexpr int kMaxSingletons = 32;
Singleton g_singletons[kMaxSingletons];
std::atomic<int> g_count{0};

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
