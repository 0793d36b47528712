// Process-wide flags that the engine and the scanning window share about the current job and how the source was
// enabled. Plain flags in the design; atomic here because the scan threads read them too.
#pragma once

#include "platform/base/windows.h"

#include <atomic>

extern std::atomic<BOOL> g_bNoUI;              // 1 while the source runs without its window
extern std::atomic<BOOL> g_bUserClose;         // the user closed the window: lets the close request through in app mode
extern std::atomic<BOOL> g_bKeepOpenAfterXfer; // 1 at load: the end of a job asks no close
extern std::atomic<BOOL> g_b_devmon_close;     // the device is closed (1 at load); every closing road closes it once
extern std::atomic<BOOL> g_bPageScanPending;   // a page is prepared and its scan not yet started
extern std::atomic<BOOL> g_bScanStarted;
extern std::atomic<BOOL> g_bAutoDeskew; // the advanced page's deskew switch
extern std::atomic<BOOL> g_bAutoCrop;   // auto-crop for this scan, chosen by the scan road from model and paper
// The job has ended (MSG_ENDXFER answered Count 0, or MSG_RESET dropped the pages): no page is announced until the
// next MSG_XFERREADY, so transfers and image information are out of sequence.
extern std::atomic<BOOL> g_bJobEnded;

// The page scan that runs before MSG_XFERREADY when auto-crop or deskew needs the whole page first (so that the
// image information reports the final size): the page is read with the progress dialog, then announced. Answers
// the announcement's result (0); the scan's own result is left in g_iScanThreadRet (twain/PageScan.h) for the
// transfer that follows.
int ScanBeforeXferReady();

// While the engine runs a modal loop of its own on the application's thread (a page scan with its progress dialog,
// the manual-duplex note, an error box), the application may call in again from its window procedures: DS_Entry then
// answers every call but DAT_STATUS and MSG_PROCESSEVENT with TWCC_SEQERROR. One object per modal loop.
extern std::atomic<int> g_nModalEngineCalls;
class ModalEngineCall {
public:
    ModalEngineCall() { ++g_nModalEngineCalls; }
    ~ModalEngineCall() { --g_nModalEngineCalls; }
    ModalEngineCall(const ModalEngineCall&) = delete;
    ModalEngineCall& operator=(const ModalEngineCall&) = delete;
};
