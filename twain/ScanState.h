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

// The page scan that runs before MSG_XFERREADY when auto-crop or deskew needs the whole page first (so that the
// image information reports the final size); announces the page when done. 0, or the announcement's result.
int ScanBeforeXferReady();
