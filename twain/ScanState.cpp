#include "twain/ScanState.h"

#include "twain/CScanWindow.h"

std::atomic<BOOL> g_bNoUI{FALSE};
std::atomic<BOOL> g_bUserClose{FALSE};
std::atomic<BOOL> g_bKeepOpenAfterXfer{TRUE};
std::atomic<BOOL> g_b_devmon_close{TRUE};
std::atomic<BOOL> g_bPageScanPending{FALSE};
std::atomic<BOOL> g_bScanStarted{FALSE};
std::atomic<BOOL> g_bAutoDeskew{FALSE};
std::atomic<BOOL> g_bAutoCrop{FALSE};
std::atomic<BOOL> g_bJobEnded{FALSE};
std::atomic<int> g_nModalEngineCalls{0};

std::atomic<CScanWindow*> g_pScanWindow{nullptr};

const ScanParam& CScanWindow::GetScanParam() const {
    static const ScanParam none{};
    return none;
}
