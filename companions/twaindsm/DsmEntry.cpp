// DSM_Entry: the data source manager's one entry, called by applications and by the sources they opened.
// Applications reach the manager (destination null) to open and close it, list, choose, open and close sources and
// register their callback; calls with a source as destination go to that source's DS_Entry; a source's DAT_NULL
// notification (origin = source, destination = application) goes to the application's callback.
// The table lock is never held while a source or a callback runs: a source may call back from its own threads.

#include "companions/twaindsm/SourceCatalog.h"
#include "companions/twaindsm/SourceLibrary.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace twaindsm {
namespace {

struct CatalogEntry {
    std::string path;
    TW_IDENTITY identity;
};

struct OpenSource {
    TW_IDENTITY identity;
    std::shared_ptr<SourceLibrary> library;
    DSMENTRYPROC callback = nullptr;
};

struct Application {
    TW_IDENTITY identity;
    TW_UINT16 conditionCode = TWCC_SUCCESS;
    std::vector<CatalogEntry> catalog; // filled by MSG_GETFIRST
    std::size_t cursor = 0;
    std::vector<OpenSource> sources;
};

std::mutex g_lock;
std::map<TW_UINT32, Application> g_apps;
std::map<std::string, TW_UINT32> g_sourceIds; // a source keeps its Id for the life of the manager
TW_UINT32 g_nextId = 1;

TW_UINT32 NewId() {
    return g_nextId++;
}

TW_UINT32 SourceIdFor(const std::string& path) {
    auto [it, inserted] = g_sourceIds.try_emplace(path, 0);
    if (inserted)
        it->second = NewId();
    return it->second;
}

Application* FindApp(const TW_IDENTITY* origin) {
    if (origin == nullptr)
        return nullptr;
    auto it = g_apps.find(origin->Id);
    return it == g_apps.end() ? nullptr : &it->second;
}

OpenSource* FindOpenSource(Application& app, TW_UINT32 id) {
    for (OpenSource& source : app.sources)
        if (source.identity.Id == id)
            return &source;
    return nullptr;
}

TW_UINT16 Fail(Application* app, TW_UINT16 code) {
    if (app != nullptr)
        app->conditionCode = code;
    return TWRC_FAILURE;
}

// Asks every installed source for its identity, with the application as origin; sources that do not answer are
// left out. Runs without the lock, since each source is loaded and asked.
std::vector<CatalogEntry> ScanSources(TW_IDENTITY appIdentity) {
    std::vector<CatalogEntry> found;
    for (const std::string& path : FindSourceFiles(DataSourceFolder())) {
        auto library = SourceLibrary::Load(path);
        if (!library)
            continue;
        TW_IDENTITY identity{};
        if (library->Call(&appIdentity, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity) != TWRC_SUCCESS)
            continue;
        found.push_back({path, identity});
    }
    std::lock_guard lock(g_lock);
    for (CatalogEntry& entry : found)
        entry.identity.Id = SourceIdFor(entry.path);
    return found;
}

TW_UINT16 OpenManager(pTW_IDENTITY origin) {
    std::lock_guard lock(g_lock);
    if (origin->Id != 0 && g_apps.count(origin->Id) != 0)
        return Fail(&g_apps[origin->Id], TWCC_SEQERROR);
    origin->Id = NewId();
    origin->SupportedGroups |= DF_DSM2;
    Application app;
    app.identity = *origin;
    g_apps.emplace(origin->Id, std::move(app));
    return TWRC_SUCCESS;
}

TW_UINT16 CloseManager(pTW_IDENTITY origin) {
    std::lock_guard lock(g_lock);
    Application* app = FindApp(origin);
    if (app == nullptr)
        return TWRC_FAILURE;
    if (!app->sources.empty())
        return Fail(app, TWCC_SEQERROR);
    g_apps.erase(origin->Id);
    return TWRC_SUCCESS;
}

TW_UINT16 ListSource(pTW_IDENTITY origin, TW_UINT16 msg, pTW_IDENTITY out) {
    TW_IDENTITY appIdentity;
    {
        std::lock_guard lock(g_lock);
        Application* app = FindApp(origin);
        if (app == nullptr)
            return TWRC_FAILURE;
        if (out == nullptr)
            return Fail(app, TWCC_BADVALUE);
        appIdentity = app->identity;
        if (msg == MSG_GETNEXT) {
            if (app->cursor >= app->catalog.size())
                return TWRC_ENDOFLIST;
            *out = app->catalog[app->cursor++].identity;
            return TWRC_SUCCESS;
        }
    }
    std::vector<CatalogEntry> catalog = ScanSources(appIdentity);
    std::lock_guard lock(g_lock);
    Application* app = FindApp(origin);
    if (app == nullptr)
        return TWRC_FAILURE;
    app->catalog = std::move(catalog);
    app->cursor = 0;
    if (app->catalog.empty())
        return msg == MSG_GETFIRST ? TWRC_ENDOFLIST : Fail(app, TWCC_NODS);
    // MSG_GETFIRST starts the list; the default and the user's choice are simply the first source.
    *out = app->catalog[0].identity;
    if (msg == MSG_GETFIRST)
        app->cursor = 1;
    return TWRC_SUCCESS;
}

TW_UINT16 OpenSourceFor(pTW_IDENTITY origin, pTW_IDENTITY wanted) {
    TW_IDENTITY appIdentity;
    {
        std::lock_guard lock(g_lock);
        Application* app = FindApp(origin);
        if (app == nullptr)
            return TWRC_FAILURE;
        if (wanted == nullptr)
            return Fail(app, TWCC_BADVALUE);
        appIdentity = app->identity;
    }
    // Choose by Id, else by product name, else the first source.
    std::vector<CatalogEntry> catalog = ScanSources(appIdentity);
    const CatalogEntry* chosen = nullptr;
    for (const CatalogEntry& entry : catalog) {
        bool byId = wanted->Id != 0 && entry.identity.Id == wanted->Id;
        bool byName = wanted->Id == 0 && wanted->ProductName[0] != '\0' &&
                      std::strncmp(entry.identity.ProductName, wanted->ProductName, sizeof(TW_STR32)) == 0;
        if (byId || byName) {
            chosen = &entry;
            break;
        }
    }
    if (chosen == nullptr && wanted->Id == 0 && wanted->ProductName[0] == '\0' && !catalog.empty())
        chosen = &catalog[0];
    std::shared_ptr<SourceLibrary> library = chosen ? SourceLibrary::Load(chosen->path) : nullptr;
    if (!library) {
        std::lock_guard lock(g_lock);
        return Fail(FindApp(origin), TWCC_NODS);
    }
    {
        std::lock_guard lock(g_lock);
        Application* app = FindApp(origin);
        if (app == nullptr)
            return TWRC_FAILURE;
        if (FindOpenSource(*app, chosen->identity.Id) != nullptr)
            return Fail(app, TWCC_SEQERROR);
    }
    // The source gets its identity in a temporary copy: it must keep no pointer into the manager.
    TW_IDENTITY handed = chosen->identity;
    TW_UINT16 rc = library->Call(&appIdentity, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &handed);
    if (rc != TWRC_SUCCESS) {
        // The source is unloaded below, so keep its reason where DAT_STATUS to the manager finds it.
        TW_STATUS status{};
        library->Call(&appIdentity, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        std::lock_guard lock(g_lock);
        Fail(FindApp(origin), status.ConditionCode != TWCC_SUCCESS ? status.ConditionCode : TWCC_OPERATIONERROR);
        return rc;
    }
    std::lock_guard lock(g_lock);
    Application* app = FindApp(origin);
    if (app == nullptr)
        return TWRC_FAILURE;
    app->sources.push_back({chosen->identity, std::move(library), nullptr});
    *wanted = chosen->identity;
    return TWRC_SUCCESS;
}

TW_UINT16 CloseSourceFor(pTW_IDENTITY origin, pTW_IDENTITY which) {
    std::shared_ptr<SourceLibrary> library;
    TW_IDENTITY appIdentity;
    TW_IDENTITY handed;
    {
        std::lock_guard lock(g_lock);
        Application* app = FindApp(origin);
        if (app == nullptr)
            return TWRC_FAILURE;
        if (which == nullptr)
            return Fail(app, TWCC_BADVALUE);
        OpenSource* source = FindOpenSource(*app, which->Id);
        if (source == nullptr)
            return Fail(app, TWCC_NODS);
        library = source->library;
        appIdentity = app->identity;
        handed = source->identity;
    }
    TW_UINT16 rc = library->Call(&appIdentity, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &handed);
    if (rc != TWRC_SUCCESS)
        return rc;
    std::lock_guard lock(g_lock);
    Application* app = FindApp(origin);
    if (app != nullptr)
        std::erase_if(app->sources, [&](const OpenSource& s) { return s.identity.Id == which->Id; });
    return TWRC_SUCCESS; // the library is unloaded when the last call into it has returned
}

TW_UINT16 ManagerStatus(pTW_IDENTITY origin, TW_MEMREF data) {
    std::lock_guard lock(g_lock);
    Application* app = FindApp(origin);
    if (app == nullptr)
        return TWRC_FAILURE;
    if (data == nullptr)
        return Fail(app, TWCC_BADVALUE);
    auto* status = static_cast<pTW_STATUS>(data);
    status->ConditionCode = app->conditionCode;
    status->Reserved = 0;
    app->conditionCode = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

TW_UINT16 RegisterCallback(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT16 dat, TW_MEMREF data) {
    std::lock_guard lock(g_lock);
    Application* app = FindApp(origin);
    if (app == nullptr)
        return TWRC_FAILURE;
    OpenSource* source = FindOpenSource(*app, dest->Id);
    if (source == nullptr)
        return Fail(app, TWCC_BADDEST);
    if (data == nullptr)
        return Fail(app, TWCC_BADVALUE);
    TW_MEMREF proc = dat == DAT_CALLBACK2 ? static_cast<pTW_CALLBACK2>(data)->CallBackProc
                                          : static_cast<pTW_CALLBACK>(data)->CallBackProc;
    source->callback = reinterpret_cast<DSMENTRYPROC>(proc);
    return TWRC_SUCCESS;
}

// A source's notification to its application.
TW_UINT16 Notify(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT16 msg) {
    DSMENTRYPROC callback = nullptr;
    TW_IDENTITY sourceIdentity;
    TW_IDENTITY appIdentity;
    {
        std::lock_guard lock(g_lock);
        auto it = g_apps.find(dest->Id);
        if (it == g_apps.end())
            return TWRC_FAILURE;
        OpenSource* source = FindOpenSource(it->second, origin->Id);
        if (source == nullptr)
            return Fail(&it->second, TWCC_BADDEST);
        if (msg != MSG_XFERREADY && msg != MSG_CLOSEDSREQ && msg != MSG_CLOSEDSOK && msg != MSG_DEVICEEVENT)
            return Fail(&it->second, TWCC_BADPROTOCOL);
        if (source->callback == nullptr)
            return Fail(&it->second, TWCC_OPERATIONERROR);
        callback = source->callback;
        sourceIdentity = source->identity;
        appIdentity = it->second.identity;
    }
    callback(&sourceIdentity, &appIdentity, DG_CONTROL, DAT_NULL, msg, nullptr);
    return TWRC_SUCCESS;
}

TW_UINT16 Route(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    std::shared_ptr<SourceLibrary> library;
    {
        std::lock_guard lock(g_lock);
        Application* app = FindApp(origin);
        if (app == nullptr)
            return TWRC_FAILURE;
        OpenSource* source = FindOpenSource(*app, dest->Id);
        if (source == nullptr)
            return Fail(app, TWCC_BADDEST);
        library = source->library;
    }
    return library->Call(origin, dg, dat, msg, data);
}

TW_HANDLE MemAllocate(TW_UINT32 size) {
    return std::malloc(size);
}
void MemFree(TW_HANDLE handle) {
    std::free(handle);
}
TW_MEMREF MemLock(TW_HANDLE handle) {
    return handle;
}
void MemUnlock(TW_HANDLE) {}

} // namespace
} // namespace twaindsm

extern "C" __attribute__((visibility("default"))) TW_UINT16
DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);

namespace twaindsm {
namespace {

TW_UINT16 GetEntryPoint(pTW_IDENTITY origin, TW_MEMREF data) {
    std::lock_guard lock(g_lock);
    Application* app = FindApp(origin);
    if (data == nullptr)
        return Fail(app, TWCC_BADVALUE);
    auto* entry = static_cast<pTW_ENTRYPOINT>(data);
    entry->Size = sizeof(TW_ENTRYPOINT);
    entry->DSM_Entry = &DSM_Entry;
    entry->DSM_MemAllocate = &MemAllocate;
    entry->DSM_MemFree = &MemFree;
    entry->DSM_MemLock = &MemLock;
    entry->DSM_MemUnlock = &MemUnlock;
    return TWRC_SUCCESS;
}

TW_UINT16 ToManager(pTW_IDENTITY origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    switch (dat) {
    case DAT_PARENT:
        if (msg == MSG_OPENDSM)
            return OpenManager(origin);
        if (msg == MSG_CLOSEDSM)
            return CloseManager(origin);
        break;
    case DAT_IDENTITY: {
        auto* identity = static_cast<pTW_IDENTITY>(data);
        switch (msg) {
        case MSG_GETFIRST:
        case MSG_GETNEXT:
        case MSG_GETDEFAULT:
        case MSG_USERSELECT:
            return ListSource(origin, msg, identity);
        case MSG_OPENDS:
            return OpenSourceFor(origin, identity);
        case MSG_CLOSEDS:
            return CloseSourceFor(origin, identity);
        default:
            break;
        }
        break;
    }
    case DAT_STATUS:
        if (msg == MSG_GET)
            return ManagerStatus(origin, data);
        break;
    case DAT_ENTRYPOINT:
        if (msg == MSG_GET)
            return GetEntryPoint(origin, data);
        break;
    default:
        break;
    }
    std::lock_guard lock(g_lock);
    return Fail(FindApp(origin), TWCC_BADPROTOCOL);
}

} // namespace
} // namespace twaindsm

extern "C" TW_UINT16 DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                               TW_MEMREF pData) {
    using namespace twaindsm;
    if (pOrigin == nullptr)
        return TWRC_FAILURE;
    try {
        if (pDest == nullptr)
            return ToManager(pOrigin, DAT, MSG, pData);
        if (DAT == DAT_NULL)
            return Notify(pOrigin, pDest, MSG);
        if ((DAT == DAT_CALLBACK || DAT == DAT_CALLBACK2) && MSG == MSG_REGISTER_CALLBACK)
            return RegisterCallback(pOrigin, pDest, DAT, pData);
        return Route(pOrigin, pDest, DG, DAT, MSG, pData);
    } catch (...) {
        // Nothing may leave a C entry point; an allocation failure in the tables lands here.
        return TWRC_FAILURE;
    }
}
