// The driver wrapper over the maker's driver library ("<module folder><File Prefix>lld.dll"), bound by name at run
// time. One instance, g_LLD, serves the engine and the window; it is shared between their threads without locks:
// the read buffer belongs to the one reading thread and callers keep one job at a time.
#pragma once

#include "platform/base/module.h"
#include "scanner/CLLDBase.h"

#include <atomic>

class CLLDKorvel : public CLLDBase {
public:
    CLLDKorvel() = default;
    ~CLLDKorvel() override;
    CLLDKorvel(const CLLDKorvel&) = delete;
    CLLDKorvel& operator=(const CLLDKorvel&) = delete;

    int LoadDriver() override;
    void UnloadDriver() override;
    int DevMon_BroadcastMFP(int* count, char* names, int reserved = 0) override;
    int DevMon_LocateMFP(char* address, char* community) override;
    int DevMon_DetectNetMFP(NetDetectRequest* request, void* reserved = nullptr) override;
    int DevMon_Open(const char* deviceName) override;
    int DevMon_Close() override;
    int DevMon_SetScanParameter(int xRes, int yRes, int colour, int left, int top, int right, int bottom, int threshold,
                                int source) override;
    int DevMon_GetScanParameter(int* pixelsPerLine, int* totalLines) override;
    int DevMon_StartScan() override;
    int DevMon_AbortScan() override;
    int DevMon_ReadScanData(void* dst, int size, int* count) override;
    int DevMon_Reserved() override;
    int DevMon_EndScan() override;
    int DevMon_StopScan() override;
    int DevMon_GetADFStatus() override;
    int DevMon_SetCallBackFun(ScanCallBackFun callback, void* context) override;
    virtual int DevMon_SetScanParameterAdj(int* brightness, int* contrast, int* curve, int gamma, int threshold,
                                           int descreen, int fading);
    virtual int DevMon_GetCurScanLineNum(int* line, int* status); // raw driver result
    virtual int DevMon_GetCurTransferSize(int* total, int* done); // raw driver result
    virtual int DevMon_CancelScan();
    virtual int DevMon_GetLLDError();
    virtual int DevMon_CheckConnect(int portType, void* address); // raw driver result

    // The program's code for a driver code: the table for 0 to 21, -1 for anything else.
    static int MapDriverResult(int driverCode);
    // Aborts through the table of operations (the engine's road before closing).
    int AbortScan();

    bool IsLoaded() const { return m_hModule != nullptr; }
    // Another reference to the loaded driver library for a call made on a thread of its own: released with
    // FreeLibrary once that call is over, it keeps the library loaded should the wrapper unload it meanwhile. Null
    // when no library is loaded.
    HMODULE PinLibrary() const;
    bool IsDeviceOpen() const { return m_hDevice.load() != nullptr; }

private:
    using PFN_Open = int (*)(const char*, void**);
    using PFN_Handle = int (*)(void*);
    using PFN_Flag = int (*)(int);
    using PFN_HandleFlag = int (*)(void*, int);
    using PFN_SetScanParameter = int (*)(void*, int, int, int, int, int, int, int, int, int);
    using PFN_HandleTwoInts = int (*)(void*, int*, int*);
    using PFN_ReadScanData = int (*)(void*, void*, int, int*);
    using PFN_SetScanParameterAdj = int (*)(void*, int*, int*, int*, int, int, int, int);
    using PFN_CheckConnect = int (*)(int, void*);
    using PFN_BroadcastMFP = int (*)(int*, char*);
    using PFN_LocateMFP = int (*)(char*, char*);
    using PFN_DetectNetMFP = int (*)(NetDetectRequest*);
    using PFN_SetCallBackFun = int (*)(void*, ScanCallBackFun, void*);

    void ClearEntryPoints();

    // The 22 entry points, in the order they are resolved.
    PFN_Open m_pfnOpen = nullptr;
    PFN_Open m_pfnOpen_C = nullptr;
    PFN_Handle m_pfnClose = nullptr;
    PFN_Flag m_pfnSetResolution1200 = nullptr;
    PFN_HandleFlag m_pfnSetContinueFlag = nullptr;
    PFN_Handle m_pfnGetLastError = nullptr;
    PFN_SetScanParameter m_pfnSetScanParameter = nullptr;
    PFN_HandleTwoInts m_pfnGetScanParameter = nullptr;
    PFN_Handle m_pfnStartScan = nullptr;
    PFN_Handle m_pfnAbortScan = nullptr;
    PFN_ReadScanData m_pfnReadScanData = nullptr;
    PFN_HandleTwoInts m_pfnGetCurScanLineNum = nullptr;
    PFN_HandleTwoInts m_pfnGetCurTransferSize = nullptr;
    PFN_SetScanParameterAdj m_pfnSetScanParameterAdj = nullptr;
    PFN_Handle m_pfnCancelScan = nullptr;
    PFN_CheckConnect m_pfnCheckConnect = nullptr;
    PFN_Handle m_pfnGetADFStatus = nullptr;
    PFN_BroadcastMFP m_pfnBroadcastMFP = nullptr;
    FARPROC m_pfnLocateMFP = nullptr; // resolved, never called
    PFN_DetectNetMFP m_pfnDetectNetMFP = nullptr;
    PFN_SetCallBackFun m_pfnSetCallBackFun = nullptr;
    PFN_Flag m_pfnSetHorizontal = nullptr;

    HMODULE m_hModule = nullptr;
    BYTE* m_pReadBuffer = nullptr;
    int m_nReadBufferSize = 0;
    std::atomic<void*> m_hDevice{nullptr}; // polled from other threads while the scan thread reads
};

extern CLLDKorvel g_LLD;
