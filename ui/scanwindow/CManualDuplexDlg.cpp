#include "ui/scanwindow/CManualDuplexDlg.h"

#include "twain/DeviceState.h"
#include "twain/ScanProgress.h"

#include "scanner/CLLDKorvel.h"
#include "scanner/ScanFlags.h"
#include "settings/DebugOutput.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"

namespace {
constexpr int CTRL_NOTE = 10450;
constexpr UINT IDS_TITLE = 1091;
constexpr UINT IDS_CANCEL = 1092;
constexpr UINT IDS_TURN_OVER = 1157;
} // namespace

BEGIN_MESSAGE_MAP(CManualDuplexDlg, CDialog)
ON_BN_CLICKED(IDCANCEL, OnBnClickedCancel)
ON_MESSAGE(WM_SCAN_END, OnScanEnd)
ON_WM_CLOSE()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CManualDuplexDlg& CManualDuplexDlg::GetInstance() {
    static CManualDuplexDlg instance;
    return instance;
}

CManualDuplexDlg::CManualDuplexDlg() : CDialog(IDD, nullptr) {}

CManualDuplexDlg::~CManualDuplexDlg() {
    if (m_hWnd != nullptr)
        DestroyWindow();
}

void CManualDuplexDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, CTRL_NOTE, m_stcNote);
}

void CManualDuplexDlg::PostEnd() {
    if (HWND hwnd = m_hWndAlive.load())
        ::PostMessageW(hwnd, WM_SCAN_END, 0, 0);
}

BOOL CManualDuplexDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    DebugPrint(u"CManualDuplexDlg::OnInitDialog()");
    if (g_bHebrew)
        MirrorChildLayout(this);
    m_btnCancel.SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    const ControlText texts[] = {{this, IDS_TITLE}, {&m_btnCancel, IDS_CANCEL}, {&m_stcNote, IDS_TURN_OVER}};
    SetControlTexts(texts, 3);
    m_btnCancel.ShowWindow(SW_HIDE);
    m_hWndAlive = m_hWnd;
    // The wait may have ended (or the job been aborted) between the engine's decision and this window: an end
    // posted before the window existed was lost, so the note looks at the state itself.
    if (m_devState.load() != kDevStateShowDuplexNote)
        PostMessage(WM_SCAN_END);
    return FALSE;
}

void CManualDuplexDlg::OnBnClickedCancel() {
    DebugPrint(u" CManualDuplexDlg::OnBnClickedCancel()");
    g_bCancelScan = TRUE;
    g_LLD.DevMon_CancelScan();
    EndDialog(IDCANCEL);
}

LRESULT CManualDuplexDlg::OnScanEnd(WPARAM, LPARAM) {
    OnOK();
    return 0;
}

BOOL CManualDuplexDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

void CManualDuplexDlg::OnDestroy() {
    m_hWndAlive = nullptr;
    CDialog::OnDestroy();
}
