#include "twain/ScanState.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CScanWindow.h"

std::atomic<BOOL> g_bNoUI{FALSE};
std::atomic<BOOL> g_bUserClose{FALSE};
std::atomic<BOOL> g_bKeepOpenAfterXfer{TRUE};
std::atomic<BOOL> g_b_devmon_close{TRUE};
std::atomic<BOOL> g_bPageScanPending{FALSE};
std::atomic<BOOL> g_bScanStarted{FALSE};
std::atomic<BOOL> g_bAutoDeskew{FALSE};
std::atomic<BOOL> g_bAutoCrop{FALSE};

std::atomic<CScanWindow*> g_pScanWindow{nullptr};

const ScanParam& CScanWindow::GetScanParam() const {
    static const ScanParam none{};
    return none;
}

// Pages are not read from the device yet: the page is announced at once, and its scan comes with the transfer.
int ScanBeforeXferReady() {
    if (CDsAssistor* assistor = g_pDsAssistor)
        assistor->NotifyXferReady();
    return 0;
}
