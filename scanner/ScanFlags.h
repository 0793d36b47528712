// Flags the driver wrapper reads and the window and engine set. They live here, with the wrapper, so that every
// layer above reaches the same variables. Shared between threads without locks, hence atomic.
#pragma once

#include "platform/base/windows.h"

#include <atomic>

// Set by the window before it opens the device: the next job is at 1200 dpi; the horizontal flag of the settings.
extern std::atomic<BOOL> g_bScan1200Dpi;
extern std::atomic<int> g_nScanHorizontal;
// The user cancelled the scan (progress and manual-duplex dialogs); cleared by every new job of the driver wrapper.
extern std::atomic<BOOL> g_bCancelScan;
// The host is MSPVIEW.EXE or MSPSCAN.EXE: passed to the driver as its continue flag at every job start.
extern std::atomic<BOOL> g_bHostMsPhotoScan;
