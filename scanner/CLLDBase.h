// The driver interface of the data source: every scan, preview, discovery and progress poll goes through it.
#pragma once

#include "scanner/DriverTypes.h"

// Results: 0 success, negative failure, 200 a special success (see CLLDKorvel::MapDriverResult); -1 when the library,
// the entry point or the open device is missing.
class CLLDBase {
public:
    virtual ~CLLDBase() = default;

    virtual int LoadDriver() = 0; // 1 loaded (or already loaded), 0 when the library cannot be loaded
    virtual void UnloadDriver() = 0;
    // The port dialog passes one argument more than the driver takes; it is accepted and ignored.
    virtual int DevMon_BroadcastMFP(int* count, char* names, int reserved = 0) = 0;
    virtual int DevMon_LocateMFP(char* address, char* community) = 0;
    virtual int DevMon_DetectNetMFP(NetDetectRequest* request, void* reserved = nullptr) = 0;
    virtual int DevMon_Open(const char* deviceName) = 0;
    virtual int DevMon_Close() = 0;
    // Resolutions in dpi; the area in 1/1200 inch; colour 0 black and white, 1 grey, 2 colour, 3 preview colour;
    // source 0 flatbed, 1 feeder, 2 feeder with manual duplex, 3 feeder duplex.
    virtual int DevMon_SetScanParameter(int xRes, int yRes, int colour, int left, int top, int right, int bottom,
                                        int threshold, int source) = 0;
    virtual int DevMon_GetScanParameter(int* pixelsPerLine, int* totalLines) = 0;
    virtual int DevMon_StartScan() = 0;
    virtual int DevMon_AbortScan() = 0;
    virtual int DevMon_ReadScanData(void* dst, int size, int* count) = 0;
    virtual int DevMon_Reserved() = 0;
    virtual int DevMon_EndScan() = 0;
    virtual int DevMon_StopScan() = 0;
    virtual int DevMon_GetADFStatus() = 0;
    virtual int DevMon_SetCallBackFun(ScanCallBackFun callback, void* context) = 0;
};
