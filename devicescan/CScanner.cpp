#include "devicescan/CScanner.h"

#include "devicescan/ProgramPaths.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/PlatformFlags.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The flatbed's largest area, 1/1200 inch.
constexpr int kFlatbedMaxWidth = 10205;
constexpr int kFlatbedMaxHeight = 14031;
// The widest line a page can have: the largest side of a JPEG page.
constexpr UINT kMaxDriverPixels = 65535;

// Nothing the library throws reaches the scan thread.
template <typename Fn, typename... Args> int CallDriver(Fn fn, Args... args) {
    try {
        return fn(args...);
    } catch (...) {
        return -1;
    }
}

void Put16(BYTE*& p, WORD v) {
    std::memcpy(p, &v, 2);
    p += 2;
}

void Put32(BYTE*& p, DWORD v) {
    std::memcpy(p, &v, 4);
    p += 4;
}

} // namespace

bool GetLLDPath(WCHAR out[MAX_PATH]) {
    WCHAR folder[MAX_PATH] = {};
    WCHAR prefix[MAX_PATH] = {};
    GetProgramFolderAndPrefix(folder, prefix);
    swprintf(out, MAX_PATH, u"%s%slld.dll", folder, prefix);
    DebugPrint(u"LLDPath:");
    DebugPrint(u"%s", out);
    if (wcscmp(prefix, u"kvx7718") == 0) {
        g_bIsPlatformOrca = TRUE;
        DebugPrint(u"g_bIsPlatformOrca = TRUE");
    }
    return true;
}

bool SwapLineRedBlue(int lines, BYTE* data, int stride, int pixelsPerLine) {
    if (lines <= 0 || stride <= 0 || pixelsPerLine <= 0 || !data)
        return false;
    for (int y = 0; y < lines; ++y) {
        BYTE* p = data + static_cast<size_t>(y) * static_cast<size_t>(stride);
        for (int x = 0; x < pixelsPerLine; ++x, p += 3)
            std::swap(p[0], p[2]);
    }
    return true;
}

CScanner::~CScanner() {
    FreeDriver();
}

void CScanner::ClearCounters() {
    m_nLinesRead = m_nTotalLines = m_nDriverLines = m_nStride = 0;
    m_nPixelsPerLine = m_nBitsPerPixel = m_nDpi = m_nDriverLineBytes = 0;
}

void CScanner::ForgetEntryPoints() {
    m_pfnOpen = m_pfnOpen_C = nullptr;
    m_pfnClose = m_pfnStartScan = m_pfnAbortScan = m_pfnGetNextPushStatus = nullptr;
    m_pfnSetScanParameter = nullptr;
    m_pfnGetScanParameter = m_pfnGetCurScanLineNum = m_pfnGetCurTransferSize = nullptr;
    m_pfnReadScanData = nullptr;
    m_pfnSetScanParameterAdj = nullptr;
}

void CScanner::CloseDevice() {
    if (m_bOpen && m_pfnClose)
        CallDriver(m_pfnClose, m_hDevice);
    m_bOpen = false;
    m_hDevice = nullptr;
}

void CScanner::FreeDriver() {
    if (!m_hLLD)
        return;
    CloseDevice();
    FreeLibrary(m_hLLD);
    m_hLLD = nullptr;
    ForgetEntryPoints();
}

int CScanner::LoadDriver(const WCHAR* libraryPath) {
    FreeDriver();
    m_hLLD = libraryPath ? LoadLibraryW(libraryPath) : nullptr;
    if (!m_hLLD) {
        DebugPrint(u"%s", libraryPath ? libraryPath : u"");
        DebugPrint(u"can not init Devmon interfaces");
        return kNoDriver;
    }
    auto bind = [&](const char* name, auto& slot) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(GetProcAddress(m_hLLD, name));
        return slot != nullptr;
    };
    bool all = bind("ScanDrv_Open", m_pfnOpen) && bind("ScanDrv_Open_C", m_pfnOpen_C) &&
               bind("ScanDrv_Close", m_pfnClose) && bind("ScanDrv_SetScanParameter", m_pfnSetScanParameter) &&
               bind("ScanDrv_GetScanParameter", m_pfnGetScanParameter) && bind("ScanDrv_StartScan", m_pfnStartScan) &&
               bind("ScanDrv_AbortScan", m_pfnAbortScan) && bind("ScanDrv_ReadScanData", m_pfnReadScanData) &&
               bind("ScanDrv_SetScanParameterAdj", m_pfnSetScanParameterAdj) &&
               bind("ScanDrv_GetNextPushStatus", m_pfnGetNextPushStatus) &&
               bind("ScanDrv_GetCurScanLineNum", m_pfnGetCurScanLineNum) &&
               bind("ScanDrv_GetCurTransferSize", m_pfnGetCurTransferSize);
    if (!all) {
        FreeLibrary(m_hLLD);
        m_hLLD = nullptr;
        ForgetEntryPoints();
        return kNoDriver;
    }
    return 0;
}

int CScanner::DevMon_Open(const char* devicePath, BOOL openDevice) {
    if (!m_hLLD) {
        DebugPrint(u"error:m_hLLD = NULL");
        return -1;
    }
    CloseDevice();
    if (!openDevice || !devicePath)
        return -1;
    int r;
    if (g_bIsPlatformOrca) {
        r = CallDriver(m_pfnOpen_C, devicePath, &m_hDevice);
        DebugPrint(u"CScanner:: DevMon_Open_C_()");
    } else {
        r = CallDriver(m_pfnOpen, devicePath, &m_hDevice);
    }
    m_bOpen = r == 0;
    if (!m_bOpen)
        m_hDevice = nullptr;
    ClearCounters();
    return r;
}

int CScanner::SetScanParameterEx(ScanRequest* request) {
    if (!request || !m_hLLD || !m_bOpen || request->dpiX <= 0 || request->dpiY <= 0)
        return -1;
    int zeros[3][4] = {};
    CallDriver(m_pfnSetScanParameterAdj, m_hDevice, zeros[0], zeros[1], zeros[2], 18, 72, 0, 0);
    const int left = request->left * 1200 / request->dpiX;
    const int top = request->top * 1200 / request->dpiY;
    int width = request->width, height = request->height;
    if (request->source == 0) {
        width = std::min(width, kFlatbedMaxWidth);
        height = std::min(height, kFlatbedMaxHeight);
    }
    return CallDriver(m_pfnSetScanParameter, m_hDevice, request->dpiX, request->dpiY, request->colour, left, top,
                      left + width, top + height, request->threshold, request->source);
}

int CScanner::DevMon_StartScan(ScanRequest* request) {
    if (!request || !m_hLLD || !m_bOpen)
        return kNoDriver;
    int r = SetScanParameterEx(request);
    if (r != 0) {
        DebugPrint(u"SetScanParameterEx fail:%d", r);
        CallDriver(m_pfnAbortScan, m_hDevice);
        ClearCounters();
        return r;
    }
    r = CallDriver(m_pfnGetScanParameter, m_hDevice, &request->driverPixelsPerLine, &request->driverLines);
    if (r != 0) {
        CallDriver(m_pfnAbortScan, m_hDevice);
        ClearCounters();
        return r;
    }
    UINT bits;
    switch (request->colour) {
    case 0:
        bits = 1;
        break;
    case 1:
        bits = 8;
        break;
    case 2:
        bits = 24;
        break;
    default:
        CallDriver(m_pfnAbortScan, m_hDevice);
        ClearCounters();
        return -1;
    }
    const UINT driverPixels = static_cast<UINT>(std::max(request->driverPixelsPerLine, 0));
    const UINT driverLines = static_cast<UINT>(std::max(request->driverLines, 0));
    // A driver line wider than any page is a fault of the driver: each read would take gigabytes for one line.
    if (driverPixels > kMaxDriverPixels) {
        DebugPrint(u"DevMon_StartScan: the driver reports %u pixels per line", driverPixels);
        CallDriver(m_pfnAbortScan, m_hDevice);
        ClearCounters();
        return -1;
    }
    const UINT wanted = static_cast<UINT>(std::max(request->height, 0)) * static_cast<UINT>(request->dpiY) / 1200;
    m_nLinesRead = 0;
    // A page never has more lines than the driver scans (the flatbed clamps the area): reading past them would
    // take rows of the next page or fail.
    m_nTotalLines = driverLines > 0 ? std::min(wanted, driverLines) : wanted;
    m_nDriverLines = driverLines;
    m_nPixelsPerLine = std::min(
        static_cast<UINT>(std::max(request->width, 0)) * static_cast<UINT>(request->dpiX) / 1200, driverPixels);
    m_nBitsPerPixel = bits;
    m_nStride = (m_nPixelsPerLine * bits + 31) / 32 * 4;
    m_nDpi = static_cast<UINT>(request->dpiX);
    m_nDriverLineBytes = (driverPixels * bits + 7) / 8;
    CallDriver(m_pfnStartScan, m_hDevice);
    return 0;
}

int CScanner::GetBmpHeader(BYTE* buffer, int* headerSize) {
    const UINT entries = m_nBitsPerPixel < 24 ? 1u << m_nBitsPerPixel : 0;
    const DWORD offBits = 54 + 4 * entries;
    WORD bitCount = 32;
    for (WORD depth : {1, 4, 8, 16, 24, 32})
        if (m_nBitsPerPixel <= depth) {
            bitCount = depth;
            break;
        }
    // The pixels per metre in single precision: 75 dpi gives 2952, 300 gives 11811, 600 gives 23622.
    const LONG perMetre = static_cast<LONG>(static_cast<float>(m_nDpi) * 39.37f);
    if (headerSize)
        *headerSize = static_cast<int>(offBits);
    if (!buffer)
        return 0;
    BYTE* p = buffer;
    Put16(p, 0x4D42); // "BM"
    Put32(p, m_nStride * m_nTotalLines + offBits);
    Put16(p, 0);
    Put16(p, 0);
    Put32(p, offBits);
    Put32(p, 40);
    Put32(p, m_nPixelsPerLine);
    Put32(p, static_cast<DWORD>(-static_cast<LONG>(m_nTotalLines))); // negative height: rows run top-down
    Put16(p, 1);
    Put16(p, bitCount);
    Put32(p, 0);
    Put32(p, m_nStride * m_nTotalLines);
    Put32(p, static_cast<DWORD>(perMetre));
    Put32(p, static_cast<DWORD>(perMetre));
    Put32(p, entries);
    Put32(p, 0);
    for (UINT i = 0; i < entries; ++i) {
        // Before any job the depth is 0: one black entry, no division by zero.
        BYTE grey = static_cast<BYTE>(entries > 1 ? i * 255 / (entries - 1) : 0);
        *p++ = grey;
        *p++ = grey;
        *p++ = grey;
        *p++ = 0;
    }
    return 0;
}

int CScanner::DevMon_ReadScanData(BYTE* buffer, int size, int* bytes, int* percent) {
    if (!m_hLLD || !m_bOpen || !buffer || !bytes || !percent || size <= 0)
        return -1;
    *bytes = 0;
    *percent = 0;
    if (m_nLinesRead >= m_nTotalLines) {
        DebugPrint(u"WIA_STATUS_END_OF_MEDIA ");
        return kEndOfPage;
    }
    const UINT lines = m_nStride ? std::min(static_cast<UINT>(size) / m_nStride, m_nTotalLines - m_nLinesRead) : 0;
    if (lines == 0) {
        CallDriver(m_pfnAbortScan, m_hDevice);
        ClearCounters();
        return -1;
    }
    // Each driver line is copied at the smaller of its width and the stride; the rest of the stride is 0.
    std::vector<BYTE> line(std::max<UINT>(m_nDriverLineBytes, 1));
    const UINT copy = std::min(m_nDriverLineBytes, m_nStride);
    for (UINT i = 0; i < lines; ++i) {
        int count = 0;
        int r = CallDriver(m_pfnReadScanData, m_hDevice, static_cast<void*>(line.data()),
                           static_cast<int>(m_nDriverLineBytes), &count);
        if (r != 0) {
            CallDriver(m_pfnAbortScan, m_hDevice);
            ClearCounters();
            return r;
        }
        BYTE* dst = buffer + static_cast<size_t>(i) * m_nStride;
        std::memcpy(dst, line.data(), copy);
        std::memset(dst + copy, 0, m_nStride - copy);
    }
    *bytes = static_cast<int>(lines * m_nStride);
    m_nLinesRead += lines;
    if (m_nBitsPerPixel == 24)
        SwapLineRedBlue(static_cast<int>(lines), buffer, static_cast<int>(m_nStride),
                        static_cast<int>(m_nPixelsPerLine));
    *percent = static_cast<int>(static_cast<double>(m_nLinesRead) / m_nTotalLines * 100);
    return 0;
}

int CScanner::DevMon_AbortScan() {
    if (!m_hLLD || !m_bOpen)
        return kNoDriver;
    int r = CallDriver(m_pfnAbortScan, m_hDevice);
    ClearCounters();
    return r;
}

int CScanner::AbortFromOtherThread() {
    if (!m_hLLD || !m_bOpen)
        return kNoDriver;
    return CallDriver(m_pfnAbortScan, m_hDevice);
}

int CScanner::GetNextPushStatus() {
    if (!m_hLLD || !m_bOpen)
        return -1;
    return CallDriver(m_pfnGetNextPushStatus, m_hDevice);
}
