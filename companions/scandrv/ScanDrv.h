// The entry points of the scanner driver library, as the simulated device exports them (C linkage, bound by name).
// Every entry point returns a 32-bit driver code. Areas are in 1/1200 inch, resolutions in dpi.
//
// Driver codes the simulated device gives:
//   0  success                          7  no paper in the feeder
//   1  failure: bad argument or state   8  paper jam
//   3  device busy (already open)       10 the job was cancelled or aborted (reads after a cancel)
//   4  no device at that name/address   5  end of data: a read past the last page of the job (rows white)
//   18 scan settings it cannot scan (resolution outside 75-1200 dpi, colour, area, source)
//   any other code only through a fault of the control file (ControlFile.h).
// Sources: 0 flatbed, 1 feeder, 2 feeder with manual duplex, 3 feeder duplex, 4 feeder (several pages of a push
// job), 8 one page (a single-page push job). Colour: 0 black and white (1 bit, set = white, most significant bit
// first), 1 grey, 2 and 3 colour (red, green, blue). Rows are packed, top first; pixel x of a row covers the bed from
// left + x * 1200 / dpi.
#pragma once

#include <cstdint>

extern "C" {

// Device events, called on the device's own thread: (context, code, page number in the job, 0 front / 1 back).
// Codes: 2 job start, 3 page done, 7 manual-duplex wait start, 8 its end, 9 job end, 11 abort.
typedef int (*ScanDrvCallback)(void* context, int code, int page, int side);

// A network detection request: the address to test, the community string, a window the caller notifies itself.
struct NetDetectRequest {
    char address[256];
    char community[256];
    void* notifyWindow;
};

enum {
    ScanDrv_STATUS_EOF = 5,
    ScanDrv_LINE_SCANNING = 15,      // line poll status: the mechanism is scanning the page being read
    ScanDrv_LINE_TRANSFERRING = 254, // the page is scanned and waits to be read (or the job pauses)
};

int ScanDrv_Open(const char* deviceName, void** handle);
int ScanDrv_Open_C(const char* deviceName, void** handle);
int ScanDrv_Close(void* handle);
int ScanDrv_SetResolution1200(int on);
int ScanDrv_SetContinueFlag(void* handle, int on);
int ScanDrv_GetLastError(void* handle);
int ScanDrv_SetScanParameter(void* handle, int xres, int yres, int colour, int left, int top, int right, int bottom,
                             int threshold, int source);
int ScanDrv_GetScanParameter(void* handle, int* pixelsPerLine, int* totalLines);
int ScanDrv_StartScan(void* handle);
int ScanDrv_AbortScan(void* handle);
int ScanDrv_ReadScanData(void* handle, void* buffer, int size, int* count);
int ScanDrv_GetCurScanLineNum(void* handle, int* line, int* status);
int ScanDrv_GetCurTransferSize(void* handle, int* total, int* done);
int ScanDrv_SetScanParameterAdj(void* handle, int* brightness, int* contrast, int* curve, int gamma, int threshold,
                                int descreen, int fading);
int ScanDrv_CancelScan(void* handle);
int ScanDrv_CheckConnect(int portType, void* address);
int ScanDrv_GetADFStatus(void* handle);
int ScanDrv_BroadcastMFP(int* count, char* names);
int ScanDrv_LocateMFP(char* address, char* community);
int ScanDrv_DetectNetMFP(NetDetectRequest* request);
int ScanDrv_SetCallBackFun(void* handle, ScanDrvCallback callback, void* context);
int ScanDrv_SetHorizontal(int horizontal);
int ScanDrv_GetNextPushStatus(void* handle);
}
