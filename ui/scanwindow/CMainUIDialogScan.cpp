// The scan road of the window: the self test's series of scans, the window-less settings, the page size, the disk
// and memory checks, opening the device by its port, the feeder check and the hand-over to the engine; the scan
// parameters the engine's scan thread sets through the window; the error box by step and code; and the scan area
// from the preview.
#include "ui/scanwindow/CMainUIDialog.h"

#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CScanProgressDlg.h"
#include "ui/scanwindow/DeviceEvents.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CapabilityTable.h"
#include "twain/DeviceState.h"
#include "twain/HostFlags.h"
#include "twain/ScanState.h"

#include "scanner/CLLDKorvel.h"
#include "scanner/PaperTables.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScanFlags.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"
#include "settings/SettingStore.h"
#include "ui/dialogs/CErrorDlg.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace {
constexpr UINT IDS_NO_SPACE = 1105;
constexpr ULONGLONG kReserveBytes = 314572800ULL;    // 300 MiB kept free beside the page
constexpr ULONGLONG kMinVirtualBytes = 300000000ULL; // available virtual memory a scan needs
constexpr int kRotation = 16;                        // the rotation code in ScanParam::adv
constexpr int kThreshold = 13;

constexpr const WCHAR* kSelfTesting = u"Self Testing";

constexpr ULONGLONG MiB(ULONGLONG bytes) {
    return bytes / (1024 * 1024);
}

// Total free bytes of the drive that holds the Windows folder; a query that fails counts as enough.
ULONGLONG FreeBytesOfWindowsDrive() {
    WCHAR windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || length < 3) {
        DebugPrint(u"CMainUIDialog::Scan_, no Windows folder: the free space is not checked");
        return std::numeric_limits<ULONGLONG>::max();
    }
    windows[3] = 0; // "C:\"
    ULARGE_INTEGER total{};
    ULARGE_INTEGER totalFree{};
    if (!::GetDiskFreeSpaceExW(windows, nullptr, &total, &totalFree)) {
        DebugPrint(u"CMainUIDialog::Scan_, GetDiskFreeSpaceExW GetLastError = %d: the free space is not checked",
                   static_cast<int>(::GetLastError()));
        return std::numeric_limits<ULONGLONG>::max();
    }
    return totalFree.QuadPart;
}
} // namespace

bool SelfTestValueIsTrue(const WCHAR* key) {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini);
    WCHAR value[MAX_PATH] = {};
    GetPrivateProfileStringW(kSelfTesting, key, u"", value, MAX_PATH, ini);
    return wcscmp(value, u"TRUE") == 0;
}

SelfTestFigures ReadSelfTestFigures() {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini);
    SelfTestFigures figures;
    figures.randomColor = SelfTestValueIsTrue(u"Color Random");
    figures.randomResolution = SelfTestValueIsTrue(u"Resolution Random");
    figures.randomPaper = SelfTestValueIsTrue(u"Paper Random");
    figures.count = static_cast<int>(GetPrivateProfileIntW(kSelfTesting, u"Testing Count", 3, ini));
    figures.seconds = static_cast<int>(GetPrivateProfileIntW(kSelfTesting, u"Testing Seconds", 5, ini));
    return figures;
}

void CMainUIDialog::OnBnClickedScan() {
    SetScanResetValue(0);
    if (g_bAppMode && SelfTestValueIsTrue(u"Testing Enable"))
        SelfTestScan();
    else
        Scan_();
}

// A series of scans with settings drawn at random and a countdown between them, on the window's thread: the window
// (and the application's thread it runs on) does nothing else until the series ends.
void CMainUIDialog::SelfTestScan() {
    const SelfTestFigures figures = ReadSelfTestFigures();
    const bool randomColor = figures.randomColor;
    const bool randomResolution = figures.randomResolution;
    const bool randomPaper = figures.randomPaper;
    const int count = figures.count;
    const int seconds = figures.seconds;
    CString title;
    GetWindowText(title);

    CString text;
    for (int n = 1;; ++n) {
        // Each value is drawn right after seeding with the time in seconds.
        if (randomColor) {
            std::srand(static_cast<unsigned>(std::time(nullptr)));
            m_ScanParam.colorMode = std::rand() % 3;
        }
        if (randomResolution) {
            std::srand(static_cast<unsigned>(std::time(nullptr)));
            m_ScanParam.resolution = std::rand() % 5;
        }
        if (randomPaper) {
            std::srand(static_cast<unsigned>(std::time(nullptr)));
            m_ScanParam.paperSize = std::rand() % 5;
        }
        if (m_pBasicSetting && m_pBasicSetting->m_hWnd != nullptr)
            m_pBasicSetting->UpdateControlsFromParam();
        text.Format(u"%s: Scanned %d / %d", static_cast<const WCHAR*>(title), n, count);
        SetWindowText(text);
        Scan_();
        if (g_bCancelScan || n >= count)
            break;
        for (int s = seconds; s >= 1; --s) {
            text.Format(u"%s: Scanned %d / %d, %d seconds next scan", static_cast<const WCHAR*>(title), n, count, s);
            SetWindowText(text);
            ::Sleep(1000);
        }
        DebugPrint(u"OnBnClickedScan: self testing: Scanned %d / %d, iColorMode = %d, iResolution = %d, "
                   u"iScansize = %d",
                   n, count, m_ScanParam.colorMode, m_ScanParam.resolution, m_ScanParam.paperSize);
    }
    SetWindowText(title);
}

void CMainUIDialog::ScanWithoutUI() {
    g_bNoUI = TRUE;
    UpdateNoUIScanParam(g_nTwainPixelBits, g_nTwainXResolution, g_nTwainScanSize, g_nTwainScanSource);
    OnBnClickedScan();
}

int CMainUIDialog::UpdateNoUIScanParam(int nColorMode, int nResolution, int nScanSize, int nScanSource) {
    m_ScanParam.colorMode = nColorMode == 1 ? 0 : nColorMode == 8 ? 1 : 2;
    m_ScanParam.source = (nScanSource == 1 || nScanSource == 2) ? nScanSource : 0;
    switch (nResolution) {
    case 75:
        m_ScanParam.resolution = 0;
        break;
    case 300:
        m_ScanParam.resolution = 2;
        break;
    case 600:
        m_ScanParam.resolution = 3;
        break;
    case 1200:
        m_ScanParam.resolution = 4;
        break;
    default: // 150 and anything unknown
        m_ScanParam.resolution = 1;
        break;
    }
    // Brightness, contrast and curve per channel (12 values), then gamma, threshold, descreen, fading, rotation.
    // The application's brightness, contrast and threshold take the combined channel and the threshold.
    for (int i = 0; i < 12; ++i)
        m_ScanParam.adv[i] = 0;
    m_ScanParam.adv[0] = WindowlessBrightnessContrast(GetCurrentNumber(ICAP_BRIGHTNESS));
    m_ScanParam.adv[4] = WindowlessBrightnessContrast(GetCurrentNumber(ICAP_CONTRAST));
    m_ScanParam.adv[12] = GetDefaultGamma();
    m_ScanParam.adv[13] = WindowlessThreshold(GetCurrentNumber(ICAP_THRESHOLD));
    m_ScanParam.adv[14] = 0;
    m_ScanParam.adv[15] = 0;
    m_ScanParam.adv[16] = 0;
    m_ScanParam.paperSize = WindowlessPaperIndex(nScanSize, m_ScanParam.source);
    DebugPrint(u"UpdateNoUIScanParam(): nColorMode = %d, nResolution = %d, nScanSize = %d, nScanSource = %d\r\n",
               nColorMode, nResolution, nScanSize, nScanSource);
    return 0;
}

void CMainUIDialog::Scan_() {
    if (!g_bNoUI)
        m_btnScan.SetFocus();
    if (m_bBusy)
        return;
    if (!SavePaneBeforeScan())
        return;

    InchRect area{};
    GetScanRangeFromPreview(area);
    const int dpi = GetResolutionDpi();
    // The products are single precision, the half added in double precision.
    m_nWidth = static_cast<int>(static_cast<double>((area.Right - area.Left) * static_cast<float>(dpi)) + 0.5);
    m_nHeight = static_cast<int>(static_cast<double>((area.Bottom - area.Top) * static_cast<float>(dpi)) + 0.5);

    if (g_bHostOffice) {
        m_nWidth &= ~1;
        m_nHeight &= ~1;
        if (g_bNoUI)
            m_nHeight -= 2;
    }
    if (g_bHostWordExcelStore) {
        if (m_ScanParam.adv[kRotation] == 1 || m_ScanParam.adv[kRotation] == 2)
            m_nHeight &= ~3;
        else
            m_nWidth &= ~3;
    }
    if (m_nWidth <= 0 || m_nHeight <= 0) {
        // A frame too small to hold a pixel (or one row, once the host's rounding took its share) is no page.
        DebugPrint(u"CMainUIDialog::Scan_, no page: %d x %d", m_nWidth, m_nHeight);
        if (g_bNoUI)
            if (CDsAssistor* assistor = g_pDsAssistor)
                assistor->NotifyCloseDsReq();
        ShowScanError(kScanErrorParameters, -1);
        return;
    }

    const ULONGLONG freeBytes = FreeBytesOfWindowsDrive();
    ULONGLONG folderFreeBytes = 0; // app mode: the save folder's
    if (!SaveFolderFreeBytes(folderFreeBytes))
        return;
    const ULONGLONG need = static_cast<ULONGLONG>(static_cast<unsigned>(m_nWidth)) * static_cast<unsigned>(m_nHeight) *
                               (m_ScanParam.colorMode == 2 ? 3 : 1) * 2 +
                           kReserveBytes;
    MEMORYSTATUSEX statex{};
    statex.dwLength = sizeof statex;
    ULONGLONG availVirtual = std::numeric_limits<ULONGLONG>::max();
    if (::GlobalMemoryStatusEx(&statex)) {
        availVirtual = statex.ullAvailVirtual;
        DebugPrint(u"CMainUIDialog::Scan_, TotalNumberOfFreeBytes.QuadPart = %I64d M, FreeBytes_File.QuadPart = %I64d "
                   u"M, statex.ullAvailPhys = %I64d M, statex.ullAvailVirtual = %I64d M, statex.dwMemoryLoad = %d%%",
                   MiB(freeBytes), MiB(folderFreeBytes), MiB(statex.ullAvailPhys), MiB(statex.ullAvailVirtual),
                   static_cast<int>(statex.dwMemoryLoad));
    } else {
        // A memory query that fails counts as enough memory.
        DebugPrint(u"CMainUIDialog::Scan_, GlobalMemoryStatusEx GetLastError = %d", static_cast<int>(::GetLastError()));
    }
    // (A folder whose space is not known never counts as full.)
    const bool folderFull = g_bAppMode && m_pDlg_ImgSaveSets != nullptr &&
                            folderFreeBytes <= std::numeric_limits<ULONGLONG>::max() - kReserveBytes &&
                            need >= folderFreeBytes + kReserveBytes;
    if (need >= freeBytes || folderFull || availVirtual < kMinVirtualBytes) {
        DebugPrint(u"CMainUIDialog::Scan_, ERROR_NOENOUGHSPACE, TotalNumberOfFreeBytes.QuadPart = %I64d M, "
                   u"FreeBytes_File.QuadPart = %I64d M, statex.ullAvailVirtual = %I64d M",
                   MiB(freeBytes), MiB(folderFreeBytes), MiB(availVirtual));
        if (g_bNoUI)
            if (CDsAssistor* assistor = g_pDsAssistor)
                assistor->NotifyCloseDsReq();
        CErrorDlg error(this);
        error.m_strMessage = LoadResString(IDS_NO_SPACE);
        error.DoModal();
        return;
    }

    m_bBusy = 1;
    g_b_devmon_close = FALSE;
    const char* name = "\\\\.\\Usbscan";
    if (m_ScanParam.portType == 1)
        name = m_ScanParam.szFoundAddress;
    else if (m_ScanParam.portType == 2)
        name = m_ScanParam.szHostAddress;
    g_bScan1200Dpi = m_ScanParam.resolution == 4;
    g_nScanHorizontal = m_ScanParam.horizontal;
    const int opened = g_LLD.DevMon_Open(name);
    if (opened != 0) {
        static int s_switch = -1;
        if (IsDebugSwitchOn(s_switch))
            DebugPrintA("DevMon_Open Fail");
        ShowScanError(kScanErrorOpen, opened);
        m_bBusy = 0;
        if (g_bNoUI)
            if (CDsAssistor* assistor = g_pDsAssistor)
                assistor->NotifyCloseDsReq();
        g_LLD.DevMon_Close();
        g_b_devmon_close = TRUE; // nothing is open: no closing road closes it again
        return;
    }

    if (m_ScanParam.source != 0) {
        g_bSkipFirstPageSignal = 1;
        StartDeviceEvents(this);
        const int feeder = g_LLD.DevMon_GetADFStatus();
        if (feeder < 0) {
            if (!g_b_devmon_close)
                CloseDevice(true);
            m_bBusy = 0;
            ShowScanError(kScanErrorStart, feeder);
            if (g_bNoUI)
                if (CDsAssistor* assistor = g_pDsAssistor)
                    assistor->NotifyCloseDsReq();
            return;
        }
    }

    m_nPageCount = 0;
    g_bPageScanPending = TRUE;
    m_pScanProgressDlg->SetPageMode(m_ScanParam.source != 0, TRUE);
    const int source = m_ScanParam.source;
    const int paper = m_ScanParam.paperSize;
    g_bAutoCrop = g_bHasAutoCrop && ((source == 0 && paper == 5) || ((source == 1 || source == 2) && paper == 7));
    if (g_bAutoCrop || g_bAutoDeskew)
        ScanBeforeXferReady();
    else if (CDsAssistor* assistor = g_pDsAssistor)
        assistor->NotifyXferReady();
}

void CMainUIDialog::CloseDevice(bool endScan) {
    if (endScan)
        g_LLD.DevMon_EndScan();
    g_LLD.DevMon_SetCallBackFun(nullptr, nullptr);
    g_LLD.DevMon_Close();
    g_b_devmon_close = TRUE;
}

bool CMainUIDialog::OpenScanDevice() {
    m_bBusy = 1;
    char name[256] = "\\\\.\\Usbscan";
    int result = 0;
    if (m_ScanParam.portType == 1 || m_ScanParam.portType == 2) {
        const char* address = m_ScanParam.portType == 1 ? m_ScanParam.szFoundAddress : m_ScanParam.szHostAddress;
        const size_t length = strnlen(address, sizeof name - 1);
        std::copy_n(address, length, name);
        name[length] = 0;
        char community[256] = "quorby";
        result = g_LLD.DevMon_LocateMFP(name, community);
        if (result != 0)
            ShowScanError(13, result);
    }
    if (result == 0) {
        result = g_LLD.DevMon_Open(name);
        if (result == 0) {
            g_b_devmon_close = FALSE;
            return true;
        }
        ShowScanError(kScanErrorOpen, result);
    }
    if (g_bNoUI)
        if (CDsAssistor* assistor = g_pDsAssistor)
            assistor->NotifyCloseDsReq();
    m_bBusy = 0;
    return false;
}

int CMainUIDialog::ApplyScanParameters(BOOL sendArea) {
    g_bPageScanPending = TRUE;
    if (!g_bSkipScanAdjust)
        g_LLD.DevMon_SetScanParameterAdj(&m_ScanParam.adv[0], &m_ScanParam.adv[4], &m_ScanParam.adv[8],
                                         m_ScanParam.adv[12], m_ScanParam.adv[kThreshold], m_ScanParam.adv[14],
                                         m_ScanParam.adv[15]);
    InchRect area{};
    GetScanRangeFromPreview(area);
    const int dpi = GetResolutionDpi();
    int result = 0;
    if (sendArea) {
        int source = m_ScanParam.source;
        if (source == 2)
            source = 3; // feeder duplex
        else if (source == 1 && GetManualDuplexFlag())
            source = 2; // feeder with manual duplex
        const int left = static_cast<int>(area.Left * 1200.0f);
        const int top = static_cast<int>(area.Top * 1200.0f);
        result = g_LLD.DevMon_SetScanParameter(dpi, dpi, m_ScanParam.colorMode, left, top, left + m_nWidth * 1200 / dpi,
                                               top + m_nHeight * 1200 / dpi, m_ScanParam.adv[kThreshold], source);
    }
    if (!sendArea || result == 0) {
        m_nPageCount = 0;
        return 0;
    }
    if (!g_b_devmon_close) {
        CloseDevice(true);
        if (CDsAssistor* assistor = g_pDsAssistor)
            assistor->NotifyCloseDsReq();
    }
    m_bBusy = 0;
    ShowScanError(kScanErrorParameters, result);
    return -1;
}

// The selection of the preview in inches; for a window-less scan, the frame the application set, when it set one.
void CMainUIDialog::GetScanRangeFromPreview(InchRect& area) {
    DebugPrint(u"GetScanRangeFromPreview()");
    area = InchRect{};
    const int source = m_ScanParam.source;
    float left = 0, top = 0, right = 0, bottom = 0;
    if (g_bNoUI && GetApplicationFrame(left, top, right, bottom)) {
        const float maxWidth = static_cast<float>(GetMaxScanWidthInch());
        const float maxLength = source == 0 ? static_cast<float>(GetMaxScanLengthInch()) : kFeederMaxLengthInch;
        left = std::clamp(left, 0.0f, maxWidth);
        right = std::clamp(right, 0.0f, maxWidth);
        top = std::clamp(top, 0.0f, maxLength);
        bottom = std::clamp(bottom, 0.0f, maxLength);
        if (right > left && bottom > top)
            area = {top, left, right, bottom};
    }
    if (area.Right <= area.Left || area.Bottom <= area.Top) {
        const SelectionZone zone = SelectionInches();
        area.Top = zone.y;
        area.Left = zone.x;
        area.Right = zone.x + zone.width;
        area.Bottom = zone.y + zone.height;
    }
    // The application's frame is held to the same width as the selection.
    if (g_bIsPlatformWren && !g_bHasA3 && area.Right > kWidthMaxInchLx) {
        area.Right = kWidthMaxInchLx;
        DebugPrint(u"inchRect.Right = WIDTH_MAX_INCH_LX;");
    }
}

void CMainUIDialog::ShowScanError(int category, int code) {
    if (category != 5 && code >= 0) {
        DebugPrint(u"ShowScanError(%d, %d): nothing to show", category, code);
        return;
    }
    const CString message = GetScanErrorMessage(category, code);
    if (g_bHostPhotoshopCS2)
        SetTopMost(FALSE);
    CErrorDlg error(this);
    error.m_strMessage = message;
    error.DoModal();
}

void CMainUIDialog::ShowErrorMessage(const WCHAR* text) {
    if (g_bHostPhotoshopCS2)
        SetTopMost(FALSE);
    CErrorDlg error(this);
    error.m_strMessage = text;
    error.DoModal();
}

void CMainUIDialog::Activate() {
    if (m_hWnd != nullptr && IsWindowVisible())
        SetActiveWindow();
}

void CMainUIDialog::RestoreFrontRotation() {
    if (g_bBackSideRotation.exchange(FALSE))
        m_ScanParam.adv[kRotation] = g_nFrontRotation;
}
