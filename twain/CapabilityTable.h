// The capability table and the window-less scan settings kept beside it. The table's rows exist from MSG_OPENDS to
// MSG_CLOSEDS; the values live for the life of the module.
#pragma once

#include "platform/twain/twain.h"

#include <atomic>

// Set by capability MSG_SET, read by the scan without a window.
extern std::atomic<int> g_nTwainPixelBits;
extern std::atomic<int> g_nTwainXResolution;
extern std::atomic<int> g_nTwainYResolution;
extern std::atomic<int> g_nTwainScanSize;
extern std::atomic<int> g_nTwainScanSource;

void InitCapabilityTable();
void FreeCapabilityTable();

// The current values of ICAP_XRESOLUTION and ICAP_YRESOLUTION in dpi.
float GetCurrentXResolution();
float GetCurrentYResolution();
