#include "twain/CMsgImageNativeXfer.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CScanWindow.h"
#include "twain/PageScan.h"
#include "twain/ScanState.h"

#include "scanner/ScanErrors.h"
#include "settings/DebugOutput.h"

TW_UINT16 CMsgImageNativeXfer::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    if (assistor->GetState() != 600 || g_bJobEnded)
        return FailWith(TWCC_SEQERROR);
    if (pCall->MSG != MSG_GET)
        return FailWith(TWCC_BADPROTOCOL);
    auto* handle = static_cast<TW_HANDLE*>(pCall->pData);
    if (handle == nullptr)
        return FailWith(TWCC_BADVALUE);
    *handle = nullptr;
    CScanWindow* window = g_pScanWindow;
    if (window == nullptr || (!g_bPageScanPending && !assistor->HasPage()))
        return FailWith(TWCC_SEQERROR); // no page to hand over

    window->SetCloseOnActivate(FALSE);
    const int result = ScanPendingPage(window, u"in NativeXfer", true);
    if (result != 0) {
        assistor->SetState(500);
        CloseJobDevice(false, true);
        static int s_switch = -1;
        DebugSwitchLine(s_switch, "nret ", result);
        window->SetBusy(FALSE);
        ShowEngineScanError(window, kScanErrorTransfer, result);
        assistor->NotifyCloseDsReq();
        g_bScanStarted = FALSE;
        assistor->FreePage();
        return TWRC_CANCEL;
    }

    g_bScanStarted = TRUE;
    int width = 0;
    int height = 0;
    GetTransferredPageSize(window, width, height);
    *handle = assistor->BuildDib(width, height, window->GetScanParam().colorMode, nullptr);
    if (*handle == nullptr) {
        // The bitmap does not fit: the job ends here.
        assistor->SetConditionCode(TWCC_LOWMEMORY);
        assistor->SetState(500);
        CloseJobDevice(false, true);
        window->SetBusy(FALSE);
        assistor->NotifyCloseDsReq();
        g_bScanStarted = FALSE;
        assistor->FreePage();
        return TWRC_FAILURE;
    }
    DebugPrint(u"nativexfer done");
    assistor->SetState(700);
    if (window->GetScanSource() != 0)
        return TWRC_XFERDONE; // the device stays open for the next page of the feeder
    if (!g_b_devmon_close) {
        CloseJobDevice(false, true);
        assistor->NotifyCloseDsReq();
    }
    DebugPrint(u" in nativeXfer request closeds");
    window->SetBusy(FALSE);
    return TWRC_XFERDONE;
}
