#include "tools/twainapp/TwainSession.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <utility>

namespace twainapp {

namespace {
// The manager calls back without a context pointer, so the one session of the process is found here.
TwainSession* g_session = nullptr;

void CopyString(TW_STR32& to, const char* from) {
    std::strncpy(to, from, sizeof(TW_STR32) - 1);
    to[sizeof(TW_STR32) - 1] = '\0';
}
} // namespace

TwainSession::TwainSession(StateObserver observer) : m_observer(std::move(observer)) {
    m_app.Version.MajorNum = 1;
    m_app.Version.MinorNum = 0;
    m_app.Version.Language = TWLG_USA;
    m_app.Version.Country = TWCY_USA;
    CopyString(m_app.Version.Info, "1.0");
    m_app.ProtocolMajor = TWON_PROTOCOLMAJOR;
    m_app.ProtocolMinor = TWON_PROTOCOLMINOR;
    m_app.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    CopyString(m_app.Manufacturer, "Korvel");
    CopyString(m_app.ProductFamily, "Command line");
    CopyString(m_app.ProductName, "twainapp");
    g_session = this;
}

TwainSession::~TwainSession() {
    if (m_state >= 4)
        CloseSource();
    if (m_state >= 3)
        CloseManager();
    UnloadManager();
    g_session = nullptr;
}

void TwainSession::SetState(int state, const std::string& why) {
    m_state = state;
    if (m_observer)
        m_observer(state, why);
}

TW_UINT16 TwainSession::Call(pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (m_entry == nullptr)
        return TWRC_FAILURE;
    TW_UINT16 rc = m_entry(&m_app, dest, dg, dat, msg, data);
    if (rc == TWRC_FAILURE) {
        TW_STATUS status{};
        m_entry(&m_app, dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        m_lastCondition = status.ConditionCode;
    } else {
        m_lastCondition = TWCC_SUCCESS;
    }
    return rc;
}

bool TwainSession::LoadManager(const std::string& path, std::string& error) {
    m_library = dlopen(path.c_str(), RTLD_LAZY);
    if (m_library == nullptr) {
        error = dlerror();
        return false;
    }
    m_entry = reinterpret_cast<DSMENTRYPROC>(dlsym(m_library, "DSM_Entry"));
    if (m_entry == nullptr) {
        error = "no DSM_Entry in " + path;
        dlclose(m_library);
        m_library = nullptr;
        return false;
    }
    SetState(2, "manager loaded");
    return true;
}

TW_UINT16 TwainSession::OpenManager() {
    // There is no window on the command line: the parent handle is null.
    TW_HANDLE parent = nullptr;
    TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent);
    if (rc == TWRC_SUCCESS)
        SetState(3, "manager open");
    return rc;
}

TW_UINT16 TwainSession::ListSources(std::vector<TW_IDENTITY>& sources) {
    sources.clear();
    TW_IDENTITY identity{};
    TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity);
    while (rc == TWRC_SUCCESS) {
        sources.push_back(identity);
        rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity);
    }
    return rc == TWRC_ENDOFLIST ? TW_UINT16(TWRC_SUCCESS) : rc;
}

TW_UINT16 TwainSession::OpenSource(const std::string& productName) {
    m_source = TW_IDENTITY{};
    CopyString(m_source.ProductName, productName.c_str());
    TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_source);
    if (rc != TWRC_SUCCESS)
        return rc;
    SetState(4, "source open");
    TW_CALLBACK2 callback{};
    callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&TwainSession::Callback);
    Call(&m_source, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback);
    return rc;
}

TW_UINT16 TwainSession::SourceStatus(TW_UINT16& conditionCode) {
    TW_STATUS status{};
    TW_UINT16 rc =
        m_entry ? m_entry(&m_app, &m_source, DG_CONTROL, DAT_STATUS, MSG_GET, &status) : TW_UINT16(TWRC_FAILURE);
    conditionCode = status.ConditionCode;
    return rc;
}

TW_UINT16 TwainSession::Capability(TW_UINT16 msg, TW_CAPABILITY& cap) {
    cap.ConType = TWON_DONTCARE16;
    cap.hContainer = nullptr;
    return Call(&m_source, DG_CONTROL, DAT_CAPABILITY, msg, &cap);
}

TW_UINT16 TwainSession::SetOneValue(TW_UINT16 capId, TW_UINT16 itemType, TW_UINT32 item) {
    // Containers travel as blocks of the C heap, as the manager's DSM_MemAllocate hands them out.
    auto* value = static_cast<TW_ONEVALUE*>(std::calloc(1, sizeof(TW_ONEVALUE)));
    if (value == nullptr)
        return TWRC_FAILURE;
    value->ItemType = itemType;
    value->Item = item;
    TW_CAPABILITY cap{capId, TWON_ONEVALUE, value};
    TW_UINT16 rc = Call(&m_source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
    std::free(value);
    return rc;
}

void TwainSession::FreeContainer(TW_CAPABILITY& cap) {
    std::free(cap.hContainer);
    cap.hContainer = nullptr;
}

TW_UINT16 TwainSession::Enable(bool showUI) {
    TW_USERINTERFACE ui{static_cast<TW_BOOL>(showUI ? 1 : 0), 0, nullptr};
    TW_UINT16 rc = Call(&m_source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    if (rc == TWRC_SUCCESS)
        SetState(5, showUI ? "source enabled with its window" : "source enabled without a window");
    return rc;
}

TW_UINT16 TwainSession::Disable() {
    TW_USERINTERFACE ui{};
    TW_UINT16 rc = Call(&m_source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    if (rc == TWRC_SUCCESS)
        SetState(4, "source disabled");
    return rc;
}

// A command-line program has no window events of its own: the call only gives the source its turn.
TW_UINT16 TwainSession::ProcessEvent() {
    TW_EVENT event{};
    return Call(&m_source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
}

void TwainSession::TransferReady() {
    if (m_state == 5)
        SetState(6, "a page is ready");
}

TW_UINT16 TwainSession::ImageInfo(TW_IMAGEINFO& info) {
    return Call(&m_source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
}

TW_UINT16 TwainSession::SetupMemXfer(TW_SETUPMEMXFER& setup) {
    return Call(&m_source, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
}

TW_UINT16 TwainSession::SetupFileXfer(TW_SETUPFILEXFER& setup) {
    return Call(&m_source, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
}

TW_UINT16 TwainSession::NativeXfer(TW_HANDLE& handle) {
    handle = nullptr;
    TW_UINT16 rc = Call(&m_source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (rc == TWRC_XFERDONE)
        SetState(7, "the page was transferred natively");
    return rc;
}

TW_UINT16 TwainSession::MemXfer(TW_IMAGEMEMXFER& xfer) {
    TW_UINT16 rc = Call(&m_source, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
    if ((rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) && m_state == 6)
        SetState(7, "the page is being transferred in memory");
    return rc;
}

TW_UINT16 TwainSession::FileXfer() {
    TW_UINT16 rc = Call(&m_source, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
    if (rc == TWRC_XFERDONE)
        SetState(7, "the page was transferred to a file");
    return rc;
}

TW_UINT16 TwainSession::EndXfer(TW_UINT16& count) {
    TW_PENDINGXFERS pending{};
    TW_UINT16 rc = Call(&m_source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    count = pending.Count;
    if (rc == TWRC_SUCCESS || rc == TWRC_FAILURE)
        SetState(count != 0 ? 6 : 5, count != 0 ? "more pages follow" : "no more pages");
    return rc;
}

TW_UINT16 TwainSession::ResetXfers() {
    TW_PENDINGXFERS pending{};
    TW_UINT16 rc = Call(&m_source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    if (rc == TWRC_SUCCESS)
        SetState(5, "the remaining pages were dropped");
    return rc;
}

TW_UINT16 TwainSession::CloseSource() {
    TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source);
    if (rc == TWRC_SUCCESS)
        SetState(3, "source closed");
    return rc;
}

TW_UINT16 TwainSession::CloseManager() {
    TW_HANDLE parent = nullptr;
    TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
    if (rc == TWRC_SUCCESS)
        SetState(2, "manager closed");
    return rc;
}

void TwainSession::UnloadManager() {
    if (m_library == nullptr)
        return;
    dlclose(m_library);
    m_library = nullptr;
    m_entry = nullptr;
    SetState(1, "manager unloaded");
}

std::vector<TW_UINT16> TwainSession::TakeNotifications() {
    std::lock_guard lock(m_notifyLock);
    return std::exchange(m_notifications, {});
}

bool TwainSession::WaitForNotification(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_notifyLock);
    return m_notified.wait_until(lock, deadline, [this] { return !m_notifications.empty(); });
}

TW_UINT16 TwainSession::Callback(pTW_IDENTITY origin, pTW_IDENTITY, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg,
                                 TW_MEMREF) {
    TwainSession* session = g_session;
    if (session == nullptr || origin == nullptr || origin->Id != session->m_source.Id || dat != DAT_NULL)
        return TWRC_FAILURE;
    std::lock_guard lock(session->m_notifyLock);
    session->m_notifications.push_back(msg);
    session->m_notified.notify_all();
    return TWRC_SUCCESS;
}

} // namespace twainapp
