#include "twain/CTwainDsApp.h"

#include "twain/CColMsg.h"
#include "twain/CDS.h"
#include "twain/CDsAssistor.h"
#include "twain/CFakeScanner.h"
#include "twain/CFakeUI.h"
#include "twain/CScanWindow.h"
#include "twain/CScannerTemplate.h"
#include "twain/DsEnableMutex.h"
#include "twain/ScanState.h"
#include "twain/TwainCall.h"
#include "twain/WindowThread.h"

#include "platform/user/winuser.h"

#include <memory>

CTwainDsApp::CTwainDsApp() {
    // Makes the window thread's record now, so that it is destroyed after this object, whose end still ends that
    // thread.
    IsWindowThreadRunning();
}

CTwainDsApp::~CTwainDsApp() {
    // The graph's teardown closes the window on this thread, as the window thread's last owner.
    TakeOverWindowThread();
    if (m_pDS != nullptr)
        m_pDS->Teardown();
    delete m_pDS;
    m_pDS = nullptr;
}

BOOL CTwainDsApp::InitInstance() {
    auto scannerTemplate = std::make_unique<CScannerTemplate>(RUNTIME_CLASS(CFakeScanner), RUNTIME_CLASS(CFakeUI),
                                                              RUNTIME_CLASS(CDsAssistor));
    m_pDS = scannerTemplate->CreateDS();
    return m_pDS != nullptr ? TRUE : FALSE;
}

int CTwainDsApp::ExitInstance() {
    return CWinApp::ExitInstance();
}

TW_UINT16 CTwainDsApp::DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
    if (m_pDS == nullptr) {
        // The module could not build itself; loading cannot fail on Linux, so every call says so. DAT_STATUS still
        // answers, or the application could never learn why.
        if (DAT == DAT_STATUS && MSG == MSG_GET && pData != nullptr) {
            auto* status = static_cast<pTW_STATUS>(pData);
            status->ConditionCode = TWCC_BUMMER;
            status->Reserved = 0;
        }
        return TWRC_FAILURE;
    }

    const bool processEvent = MSG == MSG_PROCESSEVENT; // answered on any thread, without the window thread
    if (!processEvent && !IsOnWindowThread()) {
        bool handOver = IsWindowThreadRunning() != FALSE;
        if (!handOver && DAT == DAT_USERINTERFACE && MSG == MSG_ENABLEDS && pData != nullptr) {
            if (static_cast<pTW_USERINTERFACE>(pData)->ShowUI && WindowThreadNeededHere())
                handOver = StartWindowThread() != FALSE;
            else
                NoteSourceMadeQueueHere(); // the window (shown or not) is made on this thread
        }
        if (handOver) {
            const TW_UINT16 result = RunOnWindowThread([&] { return Dispatch(pOrigin, DG, DAT, MSG, pData); });
            // The thread lives as long as the window it runs, and never beyond the connection.
            const bool closed = DAT == DAT_IDENTITY && MSG == MSG_CLOSEDS && result == TWRC_SUCCESS;
            if (closed || g_pScanWindow.load() == nullptr)
                StopWindowThread([this] { CloseWindowOfThisThread(); });
            return result;
        }
    }
    return Dispatch(pOrigin, DG, DAT, MSG, pData);
}

void CTwainDsApp::CloseWindowOfThisThread() {
    if (CDsAssistor* assistor = g_pDsAssistor)
        if (CFakeUI* ui = assistor->GetUI())
            ui->Close();
}

TW_UINT16 CTwainDsApp::Dispatch(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
    TwainCall call{pOrigin, DG, DAT, MSG, pData};
    if (MSG == MSG_OPENDS && IsDsEnableMutexPresent()) {
        // Another process has the source enabled.
        if (CDsAssistor* assistor = g_pDsAssistor)
            assistor->SetConditionCode(TWCC_MAXCONNECTIONS);
        return TWRC_FAILURE;
    }

    TW_UINT32 appId = m_pDS->GetAppId();
    if (appId != 0 && (pOrigin == nullptr || pOrigin->Id != appId))
        return TWRC_FAILURE;

    TW_UINT16 result = TWRC_NOTDSEVENT;
    if (g_nModalEngineCalls > 0 && DAT != DAT_STATUS && MSG != MSG_PROCESSEVENT) {
        // A call from inside one of the engine's own modal loops (a page scan, the manual-duplex note, an error
        // box): the engine is in the middle of another call.
        if (CDsAssistor* assistor = g_pDsAssistor)
            assistor->SetConditionCode(TWCC_SEQERROR);
        return TWRC_FAILURE;
    }
    const bool endsWindow =
        (DAT == DAT_USERINTERFACE && MSG == MSG_DISABLEDS) || (DAT == DAT_IDENTITY && MSG == MSG_CLOSEDS);
    if (endsWindow && g_pScanWindow.load() != nullptr && platform::user::ModalLoopDepth() > 0) {
        // A dialog of the window (About, Port, an error box, a preview's progress) is up on this thread and
        // returns into the window: it cannot be destroyed underneath it.
        if (CDsAssistor* assistor = g_pDsAssistor)
            assistor->SetConditionCode(TWCC_SEQERROR);
        return TWRC_FAILURE;
    }
    if (MSG == MSG_PROCESSEVENT) {
        // The window's keys go through a message hook on the host's thread instead. Only a TW_EVENT is written.
        if (DAT == DAT_EVENT && pData != nullptr)
            static_cast<pTW_EVENT>(pData)->TWMessage = MSG_NULL;
    } else {
        result = m_pDS->Dispatch(&call);
    }
    // A host whose thread runs the window has no loop that dispatches its messages; its calls (MSG_PROCESSEVENT
    // above all, which it makes from its event loop) give the window its turn on the host's thread. The window
    // thread's own loop does that there, and a handed call returns before the window's next message runs.
    if (CScanWindow* window = g_pScanWindow; window != nullptr && !IsOnWindowThread())
        window->PumpMessages();
    return result;
}
