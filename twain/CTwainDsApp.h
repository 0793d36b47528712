// The module's application object: builds the data source graph at load and dispatches every DS_Entry call.
#pragma once

#include "platform/base/afxcore.h"
#include "platform/twain/twain.h"

class CDS;

class CTwainDsApp : public CWinApp {
public:
    CTwainDsApp();
    ~CTwainDsApp() override; // tears the graph down

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The dispatcher: while the source's window thread runs, every call but MSG_PROCESSEVENT is handed to it
    // (twain/WindowThread.h); then the enable-mutex probe at MSG_OPENDS, the single-application check,
    // MSG_PROCESSEVENT, then the handler of the DAT. Without a graph (InitInstance failed) every call fails with
    // TWCC_BUMMER.
    TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);

    CDS* GetDS() const { return m_pDS; }

private:
    // The dispatch proper, on the thread that runs the window (the host's, or the source's own window thread).
    TW_UINT16 Dispatch(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
    void CloseWindowOfThisThread();

    CDS* m_pDS = nullptr;
};
