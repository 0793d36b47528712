// One loaded data source: the shared object and its DS_Entry, unloaded when the last owner lets go.
#pragma once

#include "platform/twain/twain.h"

#include <memory>
#include <string>

namespace twaindsm {

class SourceLibrary {
public:
    // Loads the file and binds DS_Entry; null when either fails.
    static std::shared_ptr<SourceLibrary> Load(const std::string& path);
    ~SourceLibrary();
    SourceLibrary(const SourceLibrary&) = delete;
    SourceLibrary& operator=(const SourceLibrary&) = delete;

    TW_UINT16 Call(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) const {
        return m_entry(origin, dg, dat, msg, data);
    }

private:
    SourceLibrary(void* handle, DSENTRYPROC entry) : m_handle(handle), m_entry(entry) {}

    void* m_handle;
    DSENTRYPROC m_entry;
};

} // namespace twaindsm
