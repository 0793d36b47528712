#include "ui/scanwindow/DeviceEvents.h"

#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CManualDuplexDlg.h"

#include "twain/DeviceState.h"

#include "scanner/CLLDKorvel.h"
#include "settings/DebugOutput.h"

#include <mutex>

namespace {

constexpr int eScnrNotify_jobStart = 2;
constexpr int eScnrNotify_pageEnd = 3;
constexpr int eScnrNotify_startMannalDuplexWait = 7;
constexpr int eScnrNotify_endMannalDuplexWait = 8;
constexpr int eScnrNotify_jobEnd = 9;
constexpr int eScnrNotify_abort = 11;

constexpr int kRotation = 16; // the rotation code in ScanParam::adv

// The window the callback may touch; the lock is held for the whole of a callback and while the window goes.
std::mutex g_windowLock;
CMainUIDialog* g_pEventWindow = nullptr;

void Signal(int state) {
    if (HANDLE event = g_devStateEvent.load()) {
        SetDevState(state);
        ::SetEvent(event);
    }
}

} // namespace

void StartDeviceEvents(CMainUIDialog* window) {
    {
        std::lock_guard lock(g_windowLock);
        g_pEventWindow = window;
    }
    const int result = g_LLD.DevMon_SetCallBackFun(myScanCallBack, window);
    g_bDeviceEventsRefused = result != 0 ? TRUE : FALSE;
    if (result != 0)
        DebugPrint(u"DevMon_SetCallBackFun failed: %d; the job goes on without device events", result);
}

void StopDeviceEvents(CMainUIDialog* window) {
    std::lock_guard lock(g_windowLock);
    if (g_pEventWindow == window)
        g_pEventWindow = nullptr;
}

int myScanCallBack(void* context, int code, int, int) {
    if (context == nullptr)
        return -1;
    DebugPrint(u"myScanCallBack, scanMasg: %d", code);
    std::lock_guard lock(g_windowLock);
    // A window that is gone (or another one) is not touched; the device state still follows the job.
    CMainUIDialog* window = context == g_pEventWindow ? g_pEventWindow : nullptr;

    switch (code) {
    case eScnrNotify_jobStart:
        g_nDevPageCount = 0;
        g_nXferPageCount = 0;
        if (window != nullptr) {
            window->RestoreFrontRotation(); // a job that ended without putting it back leaves the back's rotation
            g_nFrontRotation = window->m_ScanParam.adv[kRotation];
        }
        if (g_devStateEvent.load() == nullptr) {
            DebugPrint(u"CreateEvent: g_devStateEvent");
            SetDevState(kDevStateJobStarted);
            g_devStateEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        }
        if (HANDLE held = g_hManualDuplexEvent.exchange(nullptr))
            ::CloseHandle(held);
        break;
    case eScnrNotify_pageEnd:
        g_nDevPageCount += 1;
        if (!g_bSkipFirstPageSignal)
            Signal(kDevStatePageReady);
        g_bSkipFirstPageSignal = 0; // the first page after the scan road goes with MSG_XFERREADY; later ones here
        break;
    case eScnrNotify_startMannalDuplexWait:
        DebugPrint(u"myScanCallBack: eScnrNotify_startMannalDuplexWait");
        Signal(kDevStateShowDuplexNote);
        break;
    case eScnrNotify_endMannalDuplexWait:
        DebugPrint(u"myScanCallBack: eScnrNotify_endMannalDuplexWait");
        Signal(kDevStateHideDuplexNote);
        if (HANDLE held =
                g_hManualDuplexEvent.exchange(::CreateEventW(nullptr, FALSE, FALSE, u"Global\\manual_duplex")))
            ::CloseHandle(held);
        if (window != nullptr) {
            // From the front's rotation saved at job start, so a second report cannot turn it back.
            window->m_ScanParam.adv[kRotation] = BackSideRotation(g_nFrontRotation);
            g_bBackSideRotation = TRUE;
        }
        CManualDuplexDlg::GetInstance().PostEnd();
        break;
    // The state before the note's close, as at the end of the wait: a note coming up right now either finds the
    // state no longer 5 or is already there to get the close.
    case eScnrNotify_jobEnd:
        g_nDevPageCount += 10000;
        Signal(kDevStateJobEnd);
        CManualDuplexDlg::GetInstance().PostEnd();
        break;
    case eScnrNotify_abort:
        DebugPrint(u"myScanCallBack: eScnrNotify_abort");
        if (window != nullptr)
            window->RestoreFrontRotation();
        // The job is over: a waiter for the next page must not wait in vain.
        Signal(kDevStateJobEnd);
        CManualDuplexDlg::GetInstance().PostEnd();
        break;
    default:
        break;
    }
    return 0;
}
