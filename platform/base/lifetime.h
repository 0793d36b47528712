// Singletons of this copy of platform. Every module links its own copy, so a singleton made with plain `new` in a
// library that is loaded and unloaded again would be lost at each unload.
#pragma once

namespace platform {

// Frees `object` with `release` when the module holding this copy of platform is unloaded, after every static
// destructor of the module has run. In the executable nothing is freed: its singletons serve until the process ends,
// threads and exit-time destructors included.
void FreeAtUnload(void (*release)(void*), void* object);

// A singleton that lives as long as the code that uses it: `static auto* x = KeepUntilUnload(new X);`.
template <class T> T* KeepUntilUnload(T* object) {
    FreeAtUnload([](void* p) { delete static_cast<T*>(p); }, object);
    return object;
}

} // namespace platform
