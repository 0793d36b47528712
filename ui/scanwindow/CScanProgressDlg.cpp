#include "ui/scanwindow/CScanProgressDlg.h"

#include "scanner/CLLDKorvel.h"
#include "scanner/ScanFlags.h"
#include "settings/DebugOutput.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"

namespace {
constexpr int CTRL_PROGRESS = 10349;
constexpr int CTRL_CAPTION = 10350;
constexpr int CTRL_PERCENT = 10351;
constexpr int CTRL_PAGE_LABEL = 1040;
constexpr int CTRL_PAGE = 1041;

constexpr UINT IDB_BACKGROUND = 10451;
constexpr UINT IDS_TITLE = 1091;
constexpr UINT IDS_CANCEL = 1092;
constexpr UINT IDS_PLEASE_WAIT = 1107;
constexpr UINT IDS_PAGE = 1156;

// The first page of a job keeps Cancel disabled this long: a cancel while the device starts up is not taken.
constexpr UINT_PTR kCancelTimer = 1;
constexpr UINT kCancelDelayMs = 4000;
// Without a ready event a worker gives the window this long to come up.
constexpr DWORD kNoEventWaitMs = 3000;
} // namespace

BEGIN_MESSAGE_MAP(CScanProgressDlg, CDialog)
ON_MESSAGE(WM_SCAN_PROGRESS, OnScanProgress)
ON_MESSAGE(WM_SCAN_END, OnScanEnd)
ON_WM_TIMER()
ON_BN_CLICKED(IDCANCEL, OnBnClickedCancel)
ON_WM_CLOSE()
ON_WM_ERASEBKGND()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CScanProgressDlg::CScanProgressDlg(CWnd* parent) : CDialog(IDD, parent) {
    m_hReadyEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (m_hReadyEvent == nullptr) {
        static int s_switch = -1;
        if (IsDebugSwitchOn(s_switch))
            DebugPrintA("CScanProgressDl CreateEvent error ");
    }
}

CScanProgressDlg::~CScanProgressDlg() {
    if (m_hWnd != nullptr)
        DestroyWindow();
    if (m_hReadyEvent != nullptr)
        ::CloseHandle(m_hReadyEvent);
}

void CScanProgressDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, CTRL_PROGRESS, m_progress);
    DDX_Control(pDX, CTRL_PERCENT, m_stcPercent);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, CTRL_CAPTION, m_stcCaption);
    DDX_Control(pDX, CTRL_PAGE, m_stcPage);
    DDX_Control(pDX, CTRL_PAGE_LABEL, m_stcPageLabel);
}

void CScanProgressDlg::SetPageMode(BOOL pageMode, BOOL resetCounter) {
    m_bPageMode = pageMode ? 1 : 0;
    if (resetCounter)
        m_nPage = 0;
}

INT_PTR CScanProgressDlg::RunWithWorker(LPTHREAD_START_ROUTINE worker, void* argument) {
    // A signal left from an earlier run would let the new worker post before this run's window exists.
    if (m_hReadyEvent != nullptr)
        ::ResetEvent(m_hReadyEvent);
    m_bWorkerFinished = FALSE;
    HANDLE thread = ::CreateThread(nullptr, 0, worker, argument, 0, nullptr);
    if (thread == nullptr) {
        LogLastError(u"CScanProgressDlg::RunWithWorker CreateThread");
        return -1;
    }
    const INT_PTR result = DoModal();
    if (result == -1 && m_hReadyEvent != nullptr)
        ::SetEvent(m_hReadyEvent); // the window never came up: the worker must not wait for it
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    return result;
}

void CScanProgressDlg::WaitUntilShown() {
    if (m_hReadyEvent != nullptr)
        ::WaitForSingleObject(m_hReadyEvent, INFINITE);
    else
        ::Sleep(kNoEventWaitMs);
}

void CScanProgressDlg::PostProgress(int percent) {
    if (HWND hwnd = m_hWndAlive.load())
        ::PostMessageW(hwnd, WM_SCAN_PROGRESS, static_cast<WPARAM>(percent), 0);
}

// The flag first, then the window: either the window exists and gets WM_SCAN_END, or OnInitDialog, which publishes
// the window before it reads the flag, finds the worker finished and ends the run itself.
void CScanProgressDlg::WorkerFinished() {
    m_bWorkerFinished = TRUE;
    if (HWND hwnd = m_hWndAlive.load())
        ::PostMessageW(hwnd, WM_SCAN_END, 0, 0);
}

BOOL CScanProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    DebugPrint(u"CScanProgressDlg::OnInitDialog()");
    if (g_bHebrew) {
        MirrorChildLayout(this);
        // "42 %": the number first, as Hebrew and Arabic write a percentage, not the sign first.
        m_stcPercent.ModifyStyleEx(WS_EX_RTLREADING, 0);
    }

    m_progress.SetRange(0, 100);
    m_progress.SetStep(1);
    m_progress.SetPos(0);
    m_nLastPercent = 0;

    m_btnCancel.SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    LoadModuleBitmap(m_bmpBackground, IDB_BACKGROUND);
    const ControlText texts[] = {
        {this, IDS_TITLE}, {&m_stcCaption, IDS_PLEASE_WAIT}, {&m_btnCancel, IDS_CANCEL}, {&m_stcPageLabel, IDS_PAGE}};
    SetControlTexts(texts, 4);
    m_stcPercent.SetWindowText(u"0 %");

    m_hWndAlive = m_hWnd;
    if (m_hReadyEvent != nullptr)
        ::SetEvent(m_hReadyEvent);

    m_stcPage.ShowWindow(m_bPageMode ? SW_SHOW : SW_HIDE);
    m_stcPageLabel.ShowWindow(m_bPageMode ? SW_SHOW : SW_HIDE);
    if (m_bPageMode) {
        ++m_nPage;
        CString number;
        number.Format(u"%d", m_nPage);
        m_stcPage.SetWindowText(number);
    }
    if (m_bPageMode && m_nPage > 1) {
        m_bCancelAllowed = 1;
    } else {
        m_bCancelAllowed = 0;
        m_btnCancel.EnableWindow(FALSE);
        SetTimer(kCancelTimer, kCancelDelayMs);
    }
    if (m_bWorkerFinished)
        PostMessage(WM_SCAN_END); // the worker finished before the window was there to hear it
    return FALSE;
}

LRESULT CScanProgressDlg::OnScanProgress(WPARAM wParam, LPARAM) {
    const int percent = static_cast<int>(wParam);
    if (percent == m_nLastPercent)
        return 0;
    m_progress.SetPos(percent);
    CString text;
    text.Format(u"%d %%", percent);
    m_stcPercent.SetWindowText(text); // the transparent text has the dialog repaint its background under it
    m_nLastPercent = percent;
    return 0;
}

LRESULT CScanProgressDlg::OnScanEnd(WPARAM, LPARAM) {
    OnOK();
    return 0;
}

void CScanProgressDlg::OnOK() {
    CDialog::OnOK();
}

void CScanProgressDlg::OnTimer(UINT_PTR id) {
    if (id == kCancelTimer) {
        m_bCancelAllowed = 1;
        m_btnCancel.EnableWindow(TRUE);
        KillTimer(kCancelTimer);
    }
    CDialog::OnTimer(id);
}

// The window stays: it ends when the worker posts WM_SCAN_END once the driver has stopped.
void CScanProgressDlg::OnBnClickedCancel() {
    if (!m_bCancelAllowed)
        return;
    DebugPrint(u" CScanProgressDlg::OnBnClickedCancel()");
    g_bCancelScan = TRUE;
    g_LLD.DevMon_CancelScan();
}

void CScanProgressDlg::OnClose() {
    OnBnClickedCancel();
}

BOOL CScanProgressDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CScanProgressDlg::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

void CScanProgressDlg::OnDestroy() {
    m_hWndAlive = nullptr;
    KillTimer(kCancelTimer);
    m_bmpBackground.DeleteObject();
    CDialog::OnDestroy();
}
