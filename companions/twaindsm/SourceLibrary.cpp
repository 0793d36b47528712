#include "companions/twaindsm/SourceLibrary.h"

#include <dlfcn.h>

namespace twaindsm {

std::shared_ptr<SourceLibrary> SourceLibrary::Load(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_LAZY);
    if (handle == nullptr)
        return nullptr;
    auto entry = reinterpret_cast<DSENTRYPROC>(dlsym(handle, "DS_Entry"));
    if (entry == nullptr) {
        dlclose(handle);
        return nullptr;
    }
    return std::shared_ptr<SourceLibrary>(new SourceLibrary(handle, entry));
}

SourceLibrary::~SourceLibrary() {
    dlclose(m_handle);
}

} // namespace twaindsm
