#include "scanner/CLLDKorvel.h"

#include "scanner/ScanErrors.h"
#include "scanner/ScanFlags.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/PlatformFlags.h"

#include <cstring>
#include <new>

// Built before the data source's application object and destroyed after it, whose teardown at unload still closes
// the device through it.
__attribute__((init_priority(1000))) CLLDKorvel g_LLD;

namespace {

// Every call into the library goes through here: whatever it throws becomes -1 (no C++ exception crosses back into
// the caller; a crash inside the library cannot be caught).
template <typename Fn, typename... Args> int CallDriver(Fn fn, Args... args) {
    try {
        return fn(args...);
    } catch (...) {
        return -1;
    }
}

template <typename Fn> void Resolve(HMODULE module, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(GetProcAddress(module, name));
}

} // namespace

CLLDKorvel::~CLLDKorvel() {
    delete[] m_pReadBuffer;
    m_pReadBuffer = nullptr;
    m_nReadBufferSize = 0;
    UnloadDriver();
}

int CLLDKorvel::MapDriverResult(int driverCode) {
    if (driverCode < 0 || driverCode >= kDriverResultCount)
        return -1;
    return DriverResultMap[driverCode];
}

int CLLDKorvel::LoadDriver() {
    if (m_hModule)
        return 1;
    // "<module folder><File Prefix>lld.dll": the folder up to and including its last backslash.
    WCHAR folder[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(platform::ThisModule(), folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    if (WCHAR* slash = wcsrchr(folder, u'\\'))
        slash[1] = 0;
    else
        folder[0] = 0;
    WCHAR iniPath[MAX_PATH] = {};
    GetIniPath(iniPath);
    WCHAR prefix[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"File Prefix", u"", prefix, MAX_PATH, iniPath);
    WCHAR path[MAX_PATH] = {};
    if (swprintf(path, MAX_PATH, u"%s%slld.dll", folder, prefix) < 0)
        return 0; // a cut path would name another file
    DebugPrint(u"%s", path);
    m_hModule = LoadLibraryW(path);
    if (!m_hModule)
        return 0;
    Resolve(m_hModule, "ScanDrv_Open", m_pfnOpen);
    Resolve(m_hModule, "ScanDrv_Open_C", m_pfnOpen_C);
    Resolve(m_hModule, "ScanDrv_Close", m_pfnClose);
    Resolve(m_hModule, "ScanDrv_SetResolution1200", m_pfnSetResolution1200);
    Resolve(m_hModule, "ScanDrv_SetContinueFlag", m_pfnSetContinueFlag);
    Resolve(m_hModule, "ScanDrv_GetLastError", m_pfnGetLastError);
    Resolve(m_hModule, "ScanDrv_SetScanParameter", m_pfnSetScanParameter);
    Resolve(m_hModule, "ScanDrv_GetScanParameter", m_pfnGetScanParameter);
    Resolve(m_hModule, "ScanDrv_StartScan", m_pfnStartScan);
    Resolve(m_hModule, "ScanDrv_AbortScan", m_pfnAbortScan);
    Resolve(m_hModule, "ScanDrv_ReadScanData", m_pfnReadScanData);
    Resolve(m_hModule, "ScanDrv_GetCurScanLineNum", m_pfnGetCurScanLineNum);
    Resolve(m_hModule, "ScanDrv_GetCurTransferSize", m_pfnGetCurTransferSize);
    Resolve(m_hModule, "ScanDrv_SetScanParameterAdj", m_pfnSetScanParameterAdj);
    Resolve(m_hModule, "ScanDrv_CancelScan", m_pfnCancelScan);
    Resolve(m_hModule, "ScanDrv_CheckConnect", m_pfnCheckConnect);
    Resolve(m_hModule, "ScanDrv_GetADFStatus", m_pfnGetADFStatus);
    Resolve(m_hModule, "ScanDrv_BroadcastMFP", m_pfnBroadcastMFP);
    Resolve(m_hModule, "ScanDrv_LocateMFP", m_pfnLocateMFP);
    Resolve(m_hModule, "ScanDrv_DetectNetMFP", m_pfnDetectNetMFP);
    Resolve(m_hModule, "ScanDrv_SetCallBackFun", m_pfnSetCallBackFun);
    Resolve(m_hModule, "ScanDrv_SetHorizontal", m_pfnSetHorizontal);
    return 1;
}

void CLLDKorvel::ClearEntryPoints() {
    m_pfnOpen = nullptr;
    m_pfnOpen_C = nullptr;
    m_pfnClose = nullptr;
    m_pfnSetResolution1200 = nullptr;
    m_pfnSetContinueFlag = nullptr;
    m_pfnGetLastError = nullptr;
    m_pfnSetScanParameter = nullptr;
    m_pfnGetScanParameter = nullptr;
    m_pfnStartScan = nullptr;
    m_pfnAbortScan = nullptr;
    m_pfnReadScanData = nullptr;
    m_pfnGetCurScanLineNum = nullptr;
    m_pfnGetCurTransferSize = nullptr;
    m_pfnSetScanParameterAdj = nullptr;
    m_pfnCancelScan = nullptr;
    m_pfnCheckConnect = nullptr;
    m_pfnGetADFStatus = nullptr;
    m_pfnBroadcastMFP = nullptr;
    m_pfnLocateMFP = nullptr;
    m_pfnDetectNetMFP = nullptr;
    m_pfnSetCallBackFun = nullptr;
    m_pfnSetHorizontal = nullptr;
}

void CLLDKorvel::UnloadDriver() {
    if (m_hDevice.load())
        DevMon_Close();
    // A driver without a close entry leaves its handle behind: it means nothing to the next driver loaded.
    m_hDevice = nullptr;
    // No entry point may outlive the library it points into.
    ClearEntryPoints();
    if (m_hModule) {
        FreeLibrary(m_hModule);
        m_hModule = nullptr;
    }
}

HMODULE CLLDKorvel::PinLibrary() const {
    if (!m_hModule)
        return nullptr;
    WCHAR path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(m_hModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    return LoadLibraryW(path);
}

int CLLDKorvel::DevMon_BroadcastMFP(int* count, char* names, int) {
    if (!m_pfnBroadcastMFP)
        return -1;
    return MapDriverResult(CallDriver(m_pfnBroadcastMFP, count, names));
}

int CLLDKorvel::DevMon_LocateMFP(char*, char*) {
    return 0;
}

int CLLDKorvel::DevMon_DetectNetMFP(NetDetectRequest* request, void*) {
    if (!m_pfnDetectNetMFP)
        return -1;
    return MapDriverResult(CallDriver(m_pfnDetectNetMFP, request));
}

int CLLDKorvel::DevMon_Open(const char* deviceName) {
    if (!m_pfnOpen || !deviceName)
        return -1;
    DebugPrint(u"DevMon_Open()");
    // Both settings are optional in a driver: a missing one is skipped.
    if (m_pfnSetResolution1200)
        CallDriver(m_pfnSetResolution1200, static_cast<int>(g_bScan1200Dpi.load()));
    if (m_pfnSetHorizontal)
        CallDriver(m_pfnSetHorizontal, g_nScanHorizontal.load());
    void* device = nullptr;
    int r;
    if (g_bIsPlatformOrca) {
        if (!m_pfnOpen_C)
            return -1;
        r = CallDriver(m_pfnOpen_C, deviceName, &device);
        DebugPrint(u"CLLDKorvel::DevMon_Open_C_()");
    } else {
        r = CallDriver(m_pfnOpen, deviceName, &device);
    }
    // Only a successful open replaces the handle, so a refused second open cannot lose the open device. The driver
    // has three codes of success (0, 5 and 21, all mapped to 0); each leaves a device open.
    const int mapped = MapDriverResult(r);
    if (mapped == 0 && device)
        m_hDevice = device;
    return mapped;
}

int CLLDKorvel::DevMon_Close() {
    void* device = m_hDevice.load();
    if (!device || !m_pfnClose)
        return -1;
    DebugPrint(u"DevMon_Close");
    int r = CallDriver(m_pfnClose, device);
    m_hDevice = nullptr;
    return MapDriverResult(r);
}

int CLLDKorvel::DevMon_SetScanParameter(int xRes, int yRes, int colour, int left, int top, int right, int bottom,
                                        int threshold, int source) {
    void* device = m_hDevice.load();
    if (!device || !m_pfnSetScanParameter)
        return -1;
    return MapDriverResult(
        CallDriver(m_pfnSetScanParameter, device, xRes, yRes, colour, left, top, right, bottom, threshold, source));
}

int CLLDKorvel::DevMon_GetScanParameter(int* pixelsPerLine, int* totalLines) {
    void* device = m_hDevice.load();
    if (!device || !m_pfnGetScanParameter || !pixelsPerLine || !totalLines)
        return -1;
    return MapDriverResult(CallDriver(m_pfnGetScanParameter, device, pixelsPerLine, totalLines));
}

int CLLDKorvel::DevMon_StartScan() {
    void* device = m_hDevice.load();
    if (!device || !m_pfnStartScan)
        return -1;
    DebugPrint(u"DevMon_StartScan");
    g_bCancelScan = FALSE;
    int r = CallDriver(m_pfnStartScan, device);
    if (m_pfnSetContinueFlag)
        CallDriver(m_pfnSetContinueFlag, device, static_cast<int>(g_bHostMsPhotoScan.load()));
    return MapDriverResult(r);
}

int CLLDKorvel::DevMon_AbortScan() {
    void* device = m_hDevice.load();
    if (!device || !m_pfnAbortScan)
        return -1;
    DebugPrint(u"DevMon_AbortScan()");
    int r = CallDriver(m_pfnAbortScan, device);
    static int s_debugSwitch = -1;
    DebugSwitchLine(s_debugSwitch, "DevMon_AbortScan nret ", r);
    return MapDriverResult(r);
}

int CLLDKorvel::DevMon_ReadScanData(void* dst, int size, int* count) {
    void* device = m_hDevice.load();
    if (!device || !m_pfnReadScanData || !dst || !count || size <= 0)
        return -1;
    if (!m_pReadBuffer || m_nReadBufferSize != size) {
        delete[] m_pReadBuffer;
        m_pReadBuffer = nullptr; // forgotten before the new one, so a failed allocation leaves nothing dangling
        m_nReadBufferSize = 0;
        m_pReadBuffer = new (std::nothrow) BYTE[static_cast<size_t>(size)];
        if (!m_pReadBuffer)
            return -1;
        m_nReadBufferSize = size;
    }
    int driverCount = 0;
    int r =
        MapDriverResult(CallDriver(m_pfnReadScanData, device, static_cast<void*>(m_pReadBuffer), size, &driverCount));
    if (r != 0)
        return r;
    std::memcpy(dst, m_pReadBuffer, static_cast<size_t>(size));
    *count = size; // the callers count rows; a successful read is always the whole request
    return 0;
}

int CLLDKorvel::DevMon_Reserved() {
    return 0;
}

int CLLDKorvel::DevMon_EndScan() {
    return 0;
}

int CLLDKorvel::DevMon_StopScan() {
    DebugPrint(u"DevMon_StopScan");
    return DevMon_AbortScan();
}

int CLLDKorvel::DevMon_GetADFStatus() {
    void* device = m_hDevice.load();
    int r;
    if (!device)
        r = MapDriverResult(7);
    else if (!m_pfnGetADFStatus)
        r = -1;
    else
        r = MapDriverResult(CallDriver(m_pfnGetADFStatus, device));
    DebugPrint(u"DevMon_GetADFStatus ret:%d", r);
    return r;
}

int CLLDKorvel::DevMon_SetCallBackFun(ScanCallBackFun callback, void* context) {
    void* device = m_hDevice.load();
    if (!device || !m_pfnSetCallBackFun)
        return -1;
    return CallDriver(m_pfnSetCallBackFun, device, callback, context);
}

int CLLDKorvel::DevMon_SetScanParameterAdj(int* brightness, int* contrast, int* curve, int gamma, int threshold,
                                           int descreen, int fading) {
    void* device = m_hDevice.load();
    if (!device || !m_pfnSetScanParameterAdj)
        return -1;
    g_bCancelScan = FALSE;
    return MapDriverResult(
        CallDriver(m_pfnSetScanParameterAdj, device, brightness, contrast, curve, gamma, threshold, descreen, fading));
}

int CLLDKorvel::DevMon_GetCurScanLineNum(int* line, int* status) {
    void* device = m_hDevice.load();
    if (!line || !status || !device || !m_pfnGetCurScanLineNum)
        return -1;
    return CallDriver(m_pfnGetCurScanLineNum, device, line, status);
}

int CLLDKorvel::DevMon_GetCurTransferSize(int* total, int* done) {
    void* device = m_hDevice.load();
    if (!total || !done || !device || !m_pfnGetCurTransferSize)
        return -1;
    return CallDriver(m_pfnGetCurTransferSize, device, total, done);
}

int CLLDKorvel::DevMon_CancelScan() {
    void* device = m_hDevice.load();
    if (!device || !m_pfnCancelScan)
        return -1;
    return MapDriverResult(CallDriver(m_pfnCancelScan, device));
}

int CLLDKorvel::DevMon_GetLLDError() {
    void* device = m_hDevice.load();
    if (!device || !m_pfnGetLastError)
        return -1;
    return MapDriverResult(CallDriver(m_pfnGetLastError, device));
}

int CLLDKorvel::DevMon_CheckConnect(int portType, void* address) {
    if (!m_pfnCheckConnect)
        return -1;
    return CallDriver(m_pfnCheckConnect, portType, address);
}

int CLLDKorvel::AbortScan() {
    return DevMon_AbortScan();
}
