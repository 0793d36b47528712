#include "twain/CMsgImageFileXfer.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CScanWindow.h"
#include "twain/PageScan.h"
#include "twain/ScanState.h"

#include "scanner/ScanErrors.h"
#include "settings/DebugOutput.h"

TW_UINT16 CMsgImageFileXfer::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    if (assistor->GetState() != 600 || g_bJobEnded)
        return FailWith(TWCC_SEQERROR);
    if (pCall->MSG != MSG_GET)
        return FailWith(TWCC_BADPROTOCOL);
    CScanWindow* window = g_pScanWindow;
    const CString path = assistor->m_strXferFileName;
    if (window == nullptr || path.IsEmpty() || (!g_bPageScanPending && !assistor->HasPage()))
        return FailWith(TWCC_SEQERROR); // no page, or nowhere to put it

    window->SetCloseOnActivate(FALSE);
    const int result = ScanPendingPage(window, u"in FileXfer", false);
    if (result != 0) {
        // The application's file stays as it was: nothing was written to it.
        assistor->SetState(500);
        CloseJobDevice(true, false);
        static int s_switch = -1;
        DebugSwitchLine(s_switch, "error code:", result);
        window->SetBusy(FALSE);
        ShowEngineScanError(window, kScanErrorTransfer, result);
        assistor->NotifyCloseDsReq();
        assistor->FreePage();
        return TWRC_CANCEL;
    }

    int width = 0;
    int height = 0;
    GetTransferredPageSize(window, width, height);
    const int colour = window->GetScanParam().colorMode;
    int written = CDsAssistor::kNotBuilt;
    if (assistor->m_wXferFileFormat == TWFF_TIFF)
        written = assistor->WritePageTiff(width, height, colour, path);
    else
        assistor->BuildDib(width, height, colour, path, &written);
    if (written == CDsAssistor::kFileNotWritten) {
        // The page stays: the application may try another file.
        DebugPrint(u"file xfer: %s cannot be written", static_cast<LPCWSTR>(path));
        return FailWith(assistor->GetAppIdentity().ProtocolMajor < 2 ? TWCC_OPERATIONERROR : TWCC_FILEWRITEERROR);
    }
    if (written != CDsAssistor::kBuilt)
        return FailWith(TWCC_LOWMEMORY);
    assistor->SetState(700);
    DebugPrint(u"file xfer done");
    if (window->GetScanSource() == 0) {
        window->SetBusy(FALSE);
        window->EnableMainWindow(TRUE);
    }
    return TWRC_XFERDONE;
}
