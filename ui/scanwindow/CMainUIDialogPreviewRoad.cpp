// The preview road: the Preview button scans the whole flatbed at 75 dpi in colour into the raw preview on a thread
// of its own, while the progress dialog runs modally on the window's thread. Every band of 20 rows has its margins
// whitened, is copied into the display image with the current adjustments and painted, so the picture grows
// during the scan. A second thread polls the driver's progress until the first row arrives.
//
//   window thread                    PreviewThread                    PreviewProgressThread
//   OnBnClickedPreview
//     open the device, images
//     RunWithWorker ──creates──▶     WaitUntilShown
//       (progress dialog modal)      set parameters, start
//                                    first read ──creates──────────▶  polls every 200 ms
//                                    ... rows, bands, WM_PREVIEW_ROWS   until the first row is read
//                                        (posted, never sent)
//                                    WorkerFinished
//     result: blank page and error, or the new preview
#include "ui/scanwindow/CMainUIDialog.h"

#include "ui/scanwindow/CScanProgressDlg.h"

#include "twain/CDsAssistor.h"
#include "twain/ScanState.h"

#include "imaging/CEffectLibrary.h"
#include "scanner/CLLDKorvel.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScanFlags.h"
#include "settings/DebugOutput.h"
#include "settings/PlatformFlags.h"

#include <atomic>
#include <cstring>

namespace {
constexpr int CTRL_SELECT = 10149;
constexpr int kPreviewDpi = 75;
constexpr int kPreviewColourMode = 3; // the driver's preview colour
constexpr int kPreviewThreshold = 127;
constexpr int kDeviceUnitsPerPixel = 1200 / kPreviewDpi;
constexpr int kNotRun = 0x7FFFFFFF; // the preview thread has not set a result: it never ran
constexpr int kOutOfMemory = -100;

// Margins whitened on every band: 1.5 mm on the left and 2 mm at the top at 75 dpi (truncated); the band's
// position is passed as one row before its first, so the top margin covers six rows.
constexpr EffectMargins kPreviewMargins{4, 0, 5, 0};

// The driver's statuses while it scans.
constexpr int kStatusScanning = 15;
constexpr int kStatusScanningToo = 254;
constexpr DWORD kPollMs = 200;

// Shared by the preview thread and its poller: where the rows' percentages start (0, or 90 once the poller has
// covered the wait for the first row), and whether the first row has been read.
std::atomic<int> g_nPreviewProgressBase{0};
std::atomic<BYTE> g_bPreviewFirstRowRead{0};

bool Scanning(int status) {
    return status == kStatusScanning || status == kStatusScanningToo;
}

// The preview in pixels at 75 dpi: the bed of an A3 model, else an A4 bed; the device reads the same area in
// 1/1200 inch.
void PreviewSize(int& width, int& height) {
    width = g_bHasA3 ? 877 : 638;
    height = g_bHasA3 ? 1240 : 877;
}
} // namespace

void CMainUIDialog::OnBnClickedPreview() {
    if (!g_bNoUI) {
        m_btnPreview.SetFocus();
        if (::GetFocus() != m_btnPreview.m_hWnd)
            return; // a control keeps the focus (an entry being checked)
    }
    if (m_bBusy)
        return;
    if (!OpenScanDevice()) {
        m_bBusy = 0;
        g_LLD.DevMon_Close();
        return;
    }
    m_pScanProgressDlg->SetPageMode(FALSE, TRUE);
    m_nPreviewResult = 0;
    m_bBusy = 1;
    g_b_devmon_close = FALSE;
    g_bCancelScan = FALSE; // a Cancel of an earlier job says nothing about this one

    OnBnClickedTool(CTRL_SELECT);
    m_btnClearPreview.EnableWindow(FALSE);
    m_Preview.ResetZoom();
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));

    int width = 0, height = 0;
    PreviewSize(width, height);
    bool images = false;
    try {
        images = m_imgPreview.Create(3, 8, width, height, kPreviewDpi, kPreviewDpi) &&
                 m_imgDisplay.Create(3, 8, width, height, kPreviewDpi, kPreviewDpi);
    } catch (const char* error) {
        DebugPrint(u"CMainUIDialog::OnBnClickedPreview: %hs", error);
    }
    if (!images) {
        m_nPreviewResult = kOutOfMemory;
    } else {
        m_nPreviewResult = kNotRun;
        m_pScanProgressDlg->RunWithWorker(PreviewThread, this);
        if (m_nPreviewResult == kNotRun) {
            LogLastError(u"PreviewThread");
            m_nPreviewResult = kOutOfMemory; // no thread to be had: the system is short of resources
        }
    }

    if (m_nPreviewResult != 0) {
        g_LLD.DevMon_EndScan();
        g_LLD.DevMon_Close();
        g_b_devmon_close = TRUE;
        // The user's own Cancel stops the device too; that is no error to show.
        if (m_nPreviewResult < 0 && !g_bCancelScan)
            ShowScanError(kScanErrorTransfer, m_nPreviewResult);
        m_bBusy = 0;
        ResetPreviewImage();
    } else {
        m_bBusy = 0;
        g_b_devmon_close = TRUE;
        m_btnClearPreview.EnableWindow(TRUE);
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}

DWORD WINAPI CMainUIDialog::PreviewThread(LPVOID param) {
    auto* dlg = static_cast<CMainUIDialog*>(param);
    CScanProgressDlg& progress = *dlg->m_pScanProgressDlg;
    progress.WaitUntilShown();
    dlg->m_nPreviewResult = 0;
    ::Sleep(100);
    {
        CEffectLibrary effects; // for the thread's life
        dlg->m_nPageCount = 0;
        dlg->ReadPreview(effects);
    }
    g_nPreviewProgressBase = 0;
    g_bPreviewFirstRowRead = 0;
    progress.WorkerFinished();
    return 0;
}

// The steps of the preview thread between its start and its end; the result is in m_nPreviewResult.
void CMainUIDialog::ReadPreview(CEffectLibrary& effects) {
    int width = 0, height = 0;
    PreviewSize(width, height);
    m_nPreviewResult =
        g_LLD.DevMon_SetScanParameter(kPreviewDpi, kPreviewDpi, kPreviewColourMode, 0, 0, width * kDeviceUnitsPerPixel,
                                      height * kDeviceUnitsPerPixel, kPreviewThreshold, 0);
    if (m_nPreviewResult != 0)
        return;
    m_nPreviewHeight = height;
    m_nPreviewWidth = width;
    if (g_bCancelScan) { // cancelled while the device was being set up: starting it would forget the Cancel
        m_nPreviewResult = -1;
        return;
    }
    m_nPreviewResult = g_LLD.DevMon_StartScan();
    if (m_nPreviewResult != 0)
        return;

    const size_t rowBytes = static_cast<size_t>(width) * 3;
    BYTE* raw = m_imgPreview.GetBits();
    BYTE* display = m_imgDisplay.GetBits();
    std::memset(display, 0xFF, rowBytes * static_cast<size_t>(height));
    m_Preview.SetImage(&m_imgDisplay);
    // Posted, as the page scan's thread does: the window's thread may have left the progress dialog (it ended early
    // or never came up) and be waiting for this thread, so a sent message would never return.
    ::PostMessageW(m_hWnd, WM_PREVIEW_ROWS, 0, static_cast<LPARAM>(height));

    const ScanParam adjustments = m_ScanParam; // the window is disabled meanwhile
    CScanProgressDlg& progress = *m_pScanProgressDlg;
    int lastPercent = 0;
    for (int i = 0; i < height; ++i) {
        HANDLE poller = nullptr;
        if (!g_bPreviewFirstRowRead)
            poller = ::CreateThread(nullptr, 0, PreviewProgressThread, this, 0, nullptr);
        int count = 0;
        const int result =
            g_LLD.DevMon_ReadScanData(raw + rowBytes * static_cast<size_t>(i), static_cast<int>(rowBytes), &count);
        g_bPreviewFirstRowRead = 1;
        if (poller != nullptr) {
            ::WaitForSingleObject(poller, INFINITE);
            ::CloseHandle(poller);
        }
        if (result != 0) {
            DebugPrint(u"g_LLD.DevMon_ReadScanData error");
            m_nPreviewResult = result;
            return;
        }
        if (g_bCancelScan) { // a driver that goes on delivering after Cancel is not read to the end
            m_nPreviewResult = -1;
            return;
        }

        if ((i + 1) % kPreviewBandRows == 0 || i == height - 1) {
            const int rows = (i + 1) % kPreviewBandRows == 0 ? kPreviewBandRows : height % kPreviewBandRows;
            const size_t first = static_cast<size_t>(i + 1 - rows);
            const EffectImageInfo band{rows, static_cast<int>(rowBytes), width, 24};
            CEffectLibrary::WhiteOutMargins(band, raw + first * rowBytes, kPreviewMargins, i - rows, height);
            std::memcpy(display + first * rowBytes, raw + first * rowBytes, rowBytes * static_cast<size_t>(rows));
            effects.ApplyPreviewEffects(band, display + first * rowBytes, adjustments);
            ::PostMessageW(m_hWnd, WM_PREVIEW_ROWS, static_cast<WPARAM>(i), static_cast<LPARAM>(height));
        }

        const int percent = g_nPreviewProgressBase + (i + 1) * (100 - g_nPreviewProgressBase) / height;
        if (percent != lastPercent) {
            progress.PostProgress(percent);
            lastPercent = percent;
            if (percent > 90)
                ::Sleep(1);
            if (percent > 98)
                ::Sleep(3);
        }
    }
    // Only a preview read to its end closes the device here; the window closes it after a failure.
    g_LLD.DevMon_EndScan();
    g_LLD.DevMon_Close();
}

// Covers the wait for the first row: the driver's own line count while it scans, as 0 to 90 percent.
DWORD WINAPI CMainUIDialog::PreviewProgressThread(LPVOID param) {
    auto* dlg = static_cast<CMainUIDialog*>(param);
    int pixels = 0, total = 0;
    g_LLD.DevMon_GetScanParameter(&pixels, &total);
    int status = 0;
    while (!g_bPreviewFirstRowRead) {
        int line = 0;
        g_LLD.DevMon_GetCurScanLineNum(&line, &status);
        if (Scanning(status) && line != 0 && total != 0 && total >= line)
            dlg->m_pScanProgressDlg->PostProgress((line * 90 + 90) / total);
        ::Sleep(kPollMs);
    }
    if (Scanning(status)) {
        g_nPreviewProgressBase = 90;
        dlg->m_pScanProgressDlg->PostProgress(90);
    }
    return 0;
}
