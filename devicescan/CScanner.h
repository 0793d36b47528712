// Velmora's wrapper over the driver library: opens the device by its path, sets the scan window, starts the job,
// reads whole lines into the caller's buffer as a top-down device-independent bitmap holds them (4-byte strides,
// pixels blue, green, red) and builds the BMP header of the page.
// Loaded on the main thread, then used only by the scan thread.
#pragma once

#include "devicescan/ScanRequest.h"
#include "platform/base/module.h"

// The driver library's path: program folder + [TWAIN] "File Prefix" + "lld.dll" (out: MAX_PATH units). Sets
// g_bIsPlatformOrca for the prefix "kvx7718". Always true.
bool GetLLDPath(WCHAR out[MAX_PATH]);

// Swaps the first and third byte of every 3-byte pixel of `lines` lines `stride` bytes apart. False when a count is
// 0 (nothing done).
bool SwapLineRedBlue(int lines, BYTE* data, int stride, int pixelsPerLine);

class CScanner {
public:
    static constexpr int kEndOfPage = 201;
    static constexpr int kNoDriver = -3;

    CScanner() = default;
    ~CScanner();
    CScanner(const CScanner&) = delete;
    CScanner& operator=(const CScanner&) = delete;

    // 0, or -3 when the library cannot be loaded or lacks one of its 12 entry points.
    int LoadDriver(const WCHAR* libraryPath);
    // The driver's result, or -1 without a library, without a path or when openDevice is false.
    int DevMon_Open(const char* devicePath, BOOL openDevice);
    // 0 or an error; fills the request's driver pixels per line and lines. -1 (the job aborted) when the driver
    // reports lines of more than 65535 pixels.
    int DevMon_StartScan(ScanRequest* request);
    int SetScanParameterEx(ScanRequest* request);
    // Always 0; writes the file and info headers and a grey palette below 24 bits; *headerSize = their bytes.
    int GetBmpHeader(BYTE* buffer, int* headerSize);
    // 0 with whole lines (stride bytes each), 201 at the end of the page, -1, or the driver's code.
    int DevMon_ReadScanData(BYTE* buffer, int size, int* bytes, int* percent);
    // The result of ScanDrv_AbortScan, or -3 without a library or open device.
    int DevMon_AbortScan();

    // From another thread while the scan thread reads: ScanDrv_AbortScan alone, which wakes a read the device holds
    // up (that read then fails and clears the counters on its own thread). -3 without a library or open device.
    int AbortFromOtherThread();

    // For the scan thread: between pages, at the start of each page, and at the end of the job.
    int GetNextPushStatus(); // -1 without a library or open device
    void ResetLinesRead() { m_nLinesRead = 0; }
    void CloseDevice(); // ScanDrv_Close when a device is open
    void FreeDriver();  // closes the device and frees the library

    bool IsLoaded() const { return m_hLLD != nullptr; }
    bool IsOpen() const { return m_bOpen; }
    UINT GetTotalLines() const { return m_nTotalLines; }
    UINT GetStride() const { return m_nStride; }
    UINT GetPixelsPerLine() const { return m_nPixelsPerLine; }
    UINT GetBitsPerPixel() const { return m_nBitsPerPixel; }

private:
    using PFN_Open = int (*)(const char*, void**);
    using PFN_Handle = int (*)(void*);
    using PFN_SetScanParameter = int (*)(void*, int, int, int, int, int, int, int, int, int);
    using PFN_HandleTwoInts = int (*)(void*, int*, int*);
    using PFN_ReadScanData = int (*)(void*, void*, int, int*);
    using PFN_SetScanParameterAdj = int (*)(void*, int*, int*, int*, int, int, int, int);

    void ClearCounters();
    void ForgetEntryPoints();

    UINT m_nLinesRead = 0;
    UINT m_nTotalLines = 0;
    UINT m_nDriverLines = 0;
    UINT m_nStride = 0;
    UINT m_nPixelsPerLine = 0;
    UINT m_nBitsPerPixel = 0;
    UINT m_nDpi = 0;
    UINT m_nDriverLineBytes = 0;
    HMODULE m_hLLD = nullptr;
    bool m_bOpen = false;
    PFN_Open m_pfnOpen = nullptr;
    PFN_Open m_pfnOpen_C = nullptr;
    PFN_Handle m_pfnClose = nullptr;
    PFN_SetScanParameter m_pfnSetScanParameter = nullptr;
    PFN_HandleTwoInts m_pfnGetScanParameter = nullptr;
    PFN_Handle m_pfnStartScan = nullptr;
    PFN_Handle m_pfnAbortScan = nullptr;
    PFN_ReadScanData m_pfnReadScanData = nullptr;
    PFN_SetScanParameterAdj m_pfnSetScanParameterAdj = nullptr;
    PFN_Handle m_pfnGetNextPushStatus = nullptr;
    PFN_HandleTwoInts m_pfnGetCurScanLineNum = nullptr; // bound and required, never called
    PFN_HandleTwoInts m_pfnGetCurTransferSize = nullptr;
    void* m_hDevice = nullptr;
};
