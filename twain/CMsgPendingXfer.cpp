#include "twain/CMsgPendingXfer.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CScanWindow.h"
#include "twain/CapabilityTable.h"
#include "twain/DeviceState.h"
#include "twain/HostFlags.h"
#include "twain/PageScan.h"
#include "twain/ScanState.h"

#include "scanner/CLLDKorvel.h"
#include "scanner/PaperTables.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScanFlags.h"
#include "settings/DebugOutput.h"
#include "settings/Language.h"
#include "settings/SettingStore.h"

#include <algorithm>
#include <limits>

namespace {

constexpr UINT IDS_NO_SPACE = 1105;
constexpr ULONGLONG kNextPageTimeoutMs = 120000;
constexpr DWORD kPollMs = 100;
constexpr ULONGLONG kMinFreeBytes = 300000000ULL; // free disk and available virtual memory the next page needs
constexpr int kDriverSuccess2 = 200;              // the driver's second kind of success
constexpr INT_PTR kNoteCancelled = 2;             // IDCANCEL: the manual-duplex note ended by its Cancel button
constexpr int kLineScanning = 15;                 // line poll status: the device scans a page
constexpr int kLineTransferring = 254;            // a scanned page waits to be read

constexpr int kErrorCoverOpen = -7; // mapped driver results (see the error texts of the transfer)
constexpr int kErrorPaperJam = -72;

// The condition code of a MSG_ENDXFER that failed because the device did (a mapped driver result, 0 for none).
TW_UINT16 ConditionOfDeviceError(int error) {
    switch (error) {
    case kErrorPaperJam:
        return TWCC_PAPERJAM;
    case kErrorCoverOpen:
        return TWCC_INTERLOCK;
    default:
        return TWCC_OPERATIONERROR;
    }
}

constexpr ULONGLONG MiB(ULONGLONG bytes) {
    return bytes / (1024 * 1024);
}

// Total free bytes of the drive of the Windows folder; a query that fails counts as plenty.
ULONGLONG FreeBytesOfWindowsDrive() {
    WCHAR windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length < 3 || length >= MAX_PATH)
        return std::numeric_limits<ULONGLONG>::max();
    windows[3] = 0; // "C:\"
    ULARGE_INTEGER toCaller{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER totalFree{};
    if (!GetDiskFreeSpaceExW(windows, &toCaller, &total, &totalFree))
        return std::numeric_limits<ULONGLONG>::max();
    return totalFree.QuadPart;
}

} // namespace

int ManualDuplexWait(DWORD timeoutMs, BOOL* pauseEnded) {
    *pauseEnded = FALSE;
    HANDLE event = g_devStateEvent;
    if (event == nullptr)
        return 1; // no job has reported yet: the caller polls on
    for (;;) {
        const DWORD waited = WaitForSingleObject(event, timeoutMs);
        if (waited == WAIT_TIMEOUT)
            return 1;
        if (waited != WAIT_OBJECT_0) {
            LogLastError(u"Wait error");
            return 0;
        }
        const int state = GetDevState();
        DebugPrint(u"m_devState: %d", state);
        switch (state) {
        case kDevStatePageReady:
            return 1;
        case kDevStateShowDuplexNote: {
            DebugPrint(u"Show Manual Duplex Dialog");
            CScanWindow* window = g_pScanWindow;
            if (window == nullptr)
                break; // nothing to show: wait for the end of the pause
            INT_PTR answer = 0;
            {
                ModalEngineCall modal;
                answer = window->RunManualDuplexNote();
            }
            if (answer == kNoteCancelled || g_bCancelScan)
                return 0; // the note's Cancel has stopped the device
            // The device closed the note: the state that closed it (the end of the pause, of the job) is waiting.
            *pauseEnded = TRUE;
            break;
        }
        case kDevStateHideDuplexNote:
            DebugPrint(u"Hide Manual Duplex Dialog");
            *pauseEnded = TRUE;
            return 1;
        case kDevStateJobEnd:
            if (CScanWindow* window = g_pScanWindow)
                window->EndManualDuplexNote();
            return 0;
        default:
            return 0;
        }
    }
}

TW_UINT16 CMsgPendingXfer::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    auto* pending = static_cast<TW_PENDINGXFERS*>(pCall->pData);
    if (pending == nullptr && (pCall->MSG == MSG_GET || pCall->MSG == MSG_RESET || pCall->MSG == MSG_ENDXFER))
        return FailWith(TWCC_BADVALUE);
    switch (pCall->MSG) {
    case MSG_GET: {
        const TW_UINT16 state = assistor->GetState();
        const BOOL feeder = GetFeederEnabled();
        if (g_bJobEnded && state >= 500 && state <= 700)
            pending->Count = 0; // the job's last MSG_ENDXFER said 0: nothing is pending until a page is announced
        else if (state >= 400 && state <= 600)
            pending->Count = feeder ? (IsPaperInFeeder() ? 1 : 0) : 1;
        else if (state == 700)
            pending->Count = feeder && IsPaperInFeeder() ? 1 : 0;
        else
            return FailWith(TWCC_SEQERROR);
        return TWRC_SUCCESS;
    }
    case MSG_RESET:
        return Reset(assistor, pending);
    case MSG_ENDXFER:
        return EndXfer(assistor, pending);
    default:
        return FailWith(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 CMsgPendingXfer::Reset(CDsAssistor* assistor, TW_PENDINGXFERS* pending) {
    DebugPrint(u"pengding MSG_RESET ");
    if (g_bHostAcrobat)
        return TWRC_SUCCESS;
    const TW_UINT16 state = assistor->GetState();
    if (state != 600 && state != 700)
        return FailWith(TWCC_SEQERROR);
    assistor->SetState(500);
    pending->Count = 0;
    if (!g_b_devmon_close) {
        CloseJobDevice(false, true);
        assistor->NotifyCloseDsReq();
    }
    g_bScanStarted = FALSE;
    g_bJobEnded = TRUE;
    assistor->FreePage();
    // The window may scan again.
    if (CScanWindow* window = g_pScanWindow) {
        window->SetBusy(FALSE);
        window->RestoreFrontRotation();
    }
    return TWRC_SUCCESS;
}

TW_UINT16 CMsgPendingXfer::EndXfer(CDsAssistor* assistor, TW_PENDINGXFERS* pending) {
    DebugPrint(u"MSG_ENDXFER");
    if (g_bHostAcrobat && g_b_devmon_close)
        return TWRC_SUCCESS;
    // Whatever became of it, the application is done with this page.
    assistor->FreePage();
    CScanWindow* window = g_pScanWindow;
    TW_UINT16 rc = TWRC_SUCCESS;
    TW_UINT16 count = 0;
    if (g_bHostIeditExe && window != nullptr) {
        window->SetBusy(FALSE);
        window->EnableMainWindow(TRUE);
    }
    if (window != nullptr) {
        window->Activate();
        if (g_bHostIedit) {
            count = 0;
        } else if (window->GetScanSource() != 0) {
            // A page announced but never transferred (the application drops it) is still on the device.
            int dropped = 0;
            if (assistor->GetState() == 600 && !g_b_devmon_close)
                dropped = DiscardPendingPage(window);
            count = NextPage(assistor, window, rc, dropped);
            if (count != 0 && rc == TWRC_FAILURE) {
                pending->Count = count;
                return rc; // the window could not prepare the next page, and has said so
            }
        } else if (g_bHostMsPhotoScan) {
            // This host scans flatbed pages one after another.
            g_b_devmon_close = FALSE;
            g_bPageScanPending = TRUE;
            count = 1;
        }
    }
    pending->Count = count;

    if (assistor->GetState() == 700) {
        assistor->SetState(600);
        if (g_bHostPhotoshopCS2 && window != nullptr)
            window->SetTopMost(TRUE);
    }
    if (!g_bKeepOpenAfterXfer || rc == TWRC_FAILURE) {
        assistor->NotifyCloseDsReq();
    } else if (g_bHostIeditExe && window != nullptr && window->GetScanSource() == 0) {
        if (!g_b_devmon_close) {
            CloseJobDevice(false, true);
            assistor->NotifyCloseDsReq();
            window->EnableMainWindow(TRUE);
        }
        window->SetBusy(FALSE);
    }

    if (count != 0) {
        if (g_bAppMode && window != nullptr)
            window->SaveImgSaveSettings();
        return rc;
    }
    g_nXferPageCount = 0;
    g_nDevPageCount = 0;
    g_bJobEnded = TRUE;
    if (window != nullptr)
        window->RestoreFrontRotation();
    static int s_switch = -1;
    DebugSwitchLine(s_switch, "pengding g_b_devmon_close ", g_b_devmon_close ? 1 : 0);
    if (!g_b_devmon_close) {
        CloseJobDevice(false, true);
        assistor->NotifyCloseDsReq();
    }
    g_bScanStarted = FALSE;
    if (window != nullptr)
        window->RenewSaveName();
    return rc;
}

TW_UINT16 CMsgPendingXfer::NextPage(CDsAssistor* assistor, CScanWindow* window, TW_UINT16& rc, int dropped) {
    g_nXferPageCount += 1;
    const int handed = g_nXferPageCount;
    DebugPrint(u"MSG_ENDXFER, read pages: %d", handed);

    // A job whose device is closed, or a call outside a transfer, has no next page to wait for.
    const TW_UINT16 state = assistor->GetState();
    const int limit = GetTransferCountLimit();
    bool more = false;
    bool stopFeeder = false;
    if (dropped != 0) {
        // The dropped page could not be read off the device: the job cannot go on.
        if (dropped < 0 && dropped != -10000)
            ShowEngineScanError(window, kScanErrorTransfer, dropped);
        assistor->SetConditionCode(ConditionOfDeviceError(dropped));
        rc = TWRC_FAILURE;
    } else if (limit > 0 && handed >= limit) {
        DebugPrint(u"MSG_ENDXFER, the application's %d pages are done", limit);
        stopFeeder = true;
    } else if (!g_bCancelScan && !g_b_devmon_close && (state == 600 || state == 700)) {
        ULONGLONG deadline = GetTickCount64() + kNextPageTimeoutMs;
        for (;;) {
            if (g_bCancelScan)
                break;
            // Pages the device has fully scanned go to the application before any error of a later sheet.
            const int reported = g_nDevPageCount;
            if (handed < (reported > 9999 ? reported - 10000 : reported)) {
                more = true;
                break;
            }
            const int error = g_LLD.DevMon_GetLLDError();
            const bool failed = error != 0 && error != kDriverSuccess2;
            if (reported > 9999 && !failed)
                break; // the job is over
            if (!failed && g_bDeviceEventsRefused) {
                // No events: the device's line poll tells whether it is on a further page.
                int line = 0;
                int status = 0;
                g_LLD.DevMon_GetCurScanLineNum(&line, &status);
                if (status == kLineScanning || status == kLineTransferring) {
                    more = true;
                    break;
                }
                const int after = g_LLD.DevMon_GetLLDError();
                if (after == 0 || after == kDriverSuccess2)
                    break; // the job is over
                continue; // the error is reported next round
            }
            if (GetTickCount64() >= deadline || failed) {
                DebugPrint(u"CMsgPendingXfer::Handle: get next page TIMEOUT or DevMon_GetLLDError = %d", error);
                if (error != 0)
                    ShowEngineScanError(window, kScanErrorTransfer, error);
                assistor->SetConditionCode(ConditionOfDeviceError(failed ? error : 0));
                rc = TWRC_FAILURE;
                break;
            }
            Sleep(kPollMs);
            if (GetManualDuplexFlag()) {
                const ULONGLONG now = GetTickCount64();
                BOOL pauseEnded = FALSE;
                ManualDuplexWait(static_cast<DWORD>(deadline > now ? deadline - now : 0), &pauseEnded);
                if (pauseEnded)
                    deadline = GetTickCount64() + kNextPageTimeoutMs;
            }
        }
    }
    DebugPrint(u"nADFRet: %d", more ? 0 : -1);
    SetFeederEnabled(more ? TRUE : FALSE);
    g_bPaperInFeeder = more ? TRUE : FALSE;
    g_bFeederStatusKnown = TRUE;

    if (!more) {
        DebugPrint(u"FeederEnable fasle");
        if (!g_b_devmon_close) {
            DebugPrint(u"g_b_devmon_close fasle");
            CloseJobDevice(stopFeeder, true);
            assistor->SetState(500);
            assistor->NotifyCloseDsReq();
        }
        window->SetBusy(FALSE);
        window->EnableMainWindow(TRUE);
        return 0;
    }

    int width = 0;
    int height = 0;
    window->GetPageSize(width, height);
    const ULONGLONG freeBytes = FreeBytesOfWindowsDrive();
    const ULONGLONG needed =
        static_cast<ULONGLONG>(std::max(width, 0)) * static_cast<ULONGLONG>(std::max(height, 0)) * 6;
    ULONGLONG availVirtual = std::numeric_limits<ULONGLONG>::max(); // a query that fails counts as enough
    MEMORYSTATUSEX statex{};
    statex.dwLength = sizeof statex;
    if (GlobalMemoryStatusEx(&statex)) {
        availVirtual = statex.ullAvailVirtual;
        DebugPrint(u"MSG_ENDXFER, TotalNumberOfFreeBytes.QuadPart = %I64d M, statex.ullAvailPhys = %I64d M, "
                   u"statex.ullAvailVirtual = %I64d M, statex.dwMemoryLoad = %d%%",
                   MiB(freeBytes), MiB(statex.ullAvailPhys), MiB(statex.ullAvailVirtual),
                   static_cast<int>(statex.dwMemoryLoad));
    } else {
        DebugPrint(u"MSG_ENDXFER, GlobalMemoryStatusEx GetLastError = %d", static_cast<int>(GetLastError()));
    }
    if (needed < freeBytes && freeBytes >= kMinFreeBytes && availVirtual >= kMinFreeBytes) {
        if (window->ApplyScanParameters(FALSE) == -1) {
            if (g_bNoUI)
                assistor->NotifyCloseDsReq();
            assistor->SetConditionCode(TWCC_OPERATIONERROR);
            rc = TWRC_FAILURE;
            return 1;
        }
        if (g_bAutoCrop || g_bAutoDeskew) {
            window->SetPageSize(g_nPageWidthBeforeFix, g_nPageHeightBeforeFix); // the next page starts uncropped
            ScanBeforeXferReady();
        } else {
            assistor->NotifyXferReady();
        }
        return 1;
    }

    CloseJobDevice(true, true);
    window->SetBusy(FALSE);
    assistor->NotifyCloseDsReq();
    DebugPrint(u"MSG_ENDXFER, ERROR_NOENOUGHSPACE, TotalNumberOfFreeBytes.QuadPart = %I64d M, "
               u"statex.ullAvailVirtual = %I64d M",
               MiB(freeBytes), MiB(availVirtual));
    ShowEngineError(window, LoadResString(IDS_NO_SPACE));
    return 0;
}
