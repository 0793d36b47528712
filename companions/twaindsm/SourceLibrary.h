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
    const std::string& Path() const { return m_path; }

private:
    SourceLibrary(void* handle, DSENTRYPROC entry, std::string path)
        : m_handle(handle), m_entry(entry), m_path(std::move(path)) {}

    void* m_handle;
    DSENTRYPROC m_entry;
    std::string m_path;
};

} // namespace twaindsm
