// The one push-scan request of the process: filled from the push command on the main thread, read by the scan
// thread (which fills only the two driver fields, through CScanner::DevMon_StartScan).
#pragma once

#include "platform/base/windows.h"

class CTransferCallback;

struct ScanRequest {
    int32_t openDevice;   // 1: the scan thread opens the device itself
    char devicePath[260]; // ANSI (UTF-8) device path
    WCHAR saveFolder[260];
    int32_t multiPage; // 1: several pages in one job
    int32_t source;    // driver source: 0 flatbed, 1 feeder, 3 duplex; PlatformOrca 8 single, 4 several
    int32_t colour;    // 0 black and white, 1 grey, 2 colour
    int32_t dpiX, dpiY;
    int32_t left, top;           // 1/1200 inch, always 0
    int32_t width, height;       // 1/1200 inch
    int32_t driverPixelsPerLine; // filled from ScanDrv_GetScanParameter
    int32_t driverLines;
    int32_t threshold; // always 127
    CTransferCallback* callback;
};
