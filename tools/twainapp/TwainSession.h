// An imaging application's side of a TWAIN session: the manager library, its entry, the open source and the
// session state (1 to 7) the application is in. Every state change is reported to the observer.
#pragma once

#include "platform/twain/twain.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace twainapp {

class TwainSession {
public:
    using StateObserver = std::function<void(int state, const std::string& why)>;

    explicit TwainSession(StateObserver observer);
    ~TwainSession(); // walks the session back to state 1
    TwainSession(const TwainSession&) = delete;
    TwainSession& operator=(const TwainSession&) = delete;

    const TW_IDENTITY& SourceIdentity() const { return m_source; }

    // Each answers the TWAIN return code; on failure LastConditionCode() tells why.
    bool LoadManager(const std::string& path, std::string& error);
    TW_UINT16 OpenManager();
    TW_UINT16 ListSources(std::vector<TW_IDENTITY>& sources);
    TW_UINT16 OpenSource(const std::string& productName); // empty = the manager's default
    TW_UINT16 SourceStatus(TW_UINT16& conditionCode);
    // DAT_CAPABILITY with msg; on success the container in cap belongs to the caller (FreeContainer).
    TW_UINT16 Capability(TW_UINT16 msg, TW_CAPABILITY& cap);
    // MSG_SET with a ONEVALUE of the given type; the item is the 32-bit slot as TWAIN stores it.
    TW_UINT16 SetOneValue(TW_UINT16 capId, TW_UINT16 itemType, TW_UINT32 item);
    static void FreeContainer(TW_CAPABILITY& cap);
    // MSG_ENABLEDS (state 5), MSG_DISABLEDS (back to 4), and MSG_PROCESSEVENT as an event loop makes it.
    TW_UINT16 Enable(bool showUI);
    TW_UINT16 Disable();
    TW_UINT16 ProcessEvent();
    // The source announced a page (MSG_XFERREADY): the session is in state 6.
    void TransferReady();
    // The image calls of states 6 and 7; a transfer that hands over data moves to state 7, MSG_ENDXFER back to 6
    // (more pages, count > 0) or 5, MSG_RESET to 5.
    TW_UINT16 ImageInfo(TW_IMAGEINFO& info);
    TW_UINT16 SetupMemXfer(TW_SETUPMEMXFER& setup);
    TW_UINT16 SetupFileXfer(TW_SETUPFILEXFER& setup);
    TW_UINT16 NativeXfer(TW_HANDLE& handle);
    TW_UINT16 MemXfer(TW_IMAGEMEMXFER& xfer);
    TW_UINT16 FileXfer();
    TW_UINT16 EndXfer(TW_UINT16& count);
    TW_UINT16 ResetXfers();
    int State() const { return m_state; }
    TW_UINT16 CloseSource();
    TW_UINT16 CloseManager();
    void UnloadManager();

    TW_UINT16 LastConditionCode() const { return m_lastCondition; }
    // Notifications the source sent since the last call (MSG_XFERREADY, MSG_CLOSEDSREQ...).
    std::vector<TW_UINT16> TakeNotifications();
    // Waits, without calling the source, until a notification is there or the deadline passes (as an application
    // does that enables the source and then waits for the manager's callback). True when one is there.
    bool WaitForNotification(std::chrono::steady_clock::time_point deadline);

private:
    static TW_UINT16 Callback(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                              TW_MEMREF data);
    TW_UINT16 Call(pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    void SetState(int state, const std::string& why);

    StateObserver m_observer;
    void* m_library = nullptr;
    DSMENTRYPROC m_entry = nullptr;
    TW_IDENTITY m_app{};
    TW_IDENTITY m_source{};
    int m_state = 1;
    TW_UINT16 m_lastCondition = TWCC_SUCCESS;
    std::mutex m_notifyLock; // a source may notify from its own thread
    std::vector<TW_UINT16> m_notifications;
    std::condition_variable m_notified;
};

} // namespace twainapp
