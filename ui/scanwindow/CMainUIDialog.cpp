#include "ui/scanwindow/CMainUIDialog.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CapabilityTable.h"
#include "twain/ScanState.h"

#include "scanner/PaperTables.h"
#include "settings/DebugOutput.h"
#include "settings/PlatformFlags.h"
#include "settings/SettingStore.h"

namespace {
constexpr UINT IDC_SCAN = 20006;
constexpr UINT IDC_CLOSE = 20007;
constexpr const WCHAR* kAppWindowClass = u"Z7731IDAVEV";

// Layout 1004 names its own window class: a copy of the standard dialog class.
void RegisterAppWindowClass() {
    WNDCLASSW existing{};
    if (GetClassInfoW(AfxGetInstanceHandle(), kAppWindowClass, &existing))
        return;
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, u"#32770", &wc))
        return;
    wc.lpszClassName = kAppWindowClass;
    wc.hInstance = AfxGetInstanceHandle();
    AfxRegisterClass(&wc);
}

// A pump dispatches at most this many messages per call, so that a window that keeps posting to itself cannot hold
// the host's call forever.
constexpr int kPumpLimit = 1000;
} // namespace

BEGIN_MESSAGE_MAP(CMainUIDialog, CDialog)
ON_BN_CLICKED(20007, OnClose)
ON_WM_CLOSE()
ON_BN_CLICKED(20006, OnBnClickedScan)
END_MESSAGE_MAP()

CMainUIDialog::CMainUIDialog(CWnd* parent) : CDialog(IDD, parent) {
    if (CWinApp* app = AfxGetApp())
        app->m_pMainWnd = this;
    RegisterAppWindowClass();
    g_pScanWindow = this;
}

CMainUIDialog::~CMainUIDialog() {
    CScanWindow* self = this;
    g_pScanWindow.compare_exchange_strong(self, nullptr);
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    if (m_hWnd != nullptr)
        DestroyWindow();
}

BOOL CMainUIDialog::CreateModeless(CWnd* parent) {
    return Create(g_bAppMode ? IDD_APP : IDD, parent);
}

void CMainUIDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SCAN, m_btnScan);
    DDX_Control(pDX, IDC_CLOSE, m_btnClose);
}

BOOL CMainUIDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_dwThreadId = GetCurrentThreadId();
    m_btnScan.SetSkin();
    m_btnClose.SetSkin();
    m_btnScan.SetFocus();
    return TRUE;
}

BOOL CMainUIDialog::PreTranslateMessage(MSG* pMsg) {
    return CDialog::PreTranslateMessage(pMsg);
}

void CMainUIDialog::PumpMessages() {
    if (m_hWnd == nullptr || m_bPumping || GetCurrentThreadId() != m_dwThreadId)
        return;
    m_bPumping = true;
    MSG msg{};
    for (int n = 0; n < kPumpLimit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // the host's own loop ends on it, not ours
            break;
        }
        CWinApp* app = AfxGetApp();
        if (app != nullptr && app->PreTranslateMessage(&msg))
            continue;
        if (m_hWnd != nullptr && IsDialogMessageW(m_hWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (m_hWnd == nullptr)
            break; // a handler closed the window
    }
    m_bPumping = false;
}

void CMainUIDialog::OnBnClickedScan() {
    SetScanResetValue(0);
    Scan_();
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
    for (int i = 0; i < 12; ++i)
        m_ScanParam.adv[i] = 0;
    m_ScanParam.adv[12] = GetDefaultGamma();
    m_ScanParam.adv[13] = GetDefaultThreshold();
    m_ScanParam.adv[14] = 0;
    m_ScanParam.adv[15] = 0;
    m_ScanParam.adv[16] = 0;

    const bool feeder = m_ScanParam.source != 0;
    switch (nScanSize) {
    case TWSS_JISB5:
        m_ScanParam.paperSize = 3;
        break;
    case TWSS_USLETTER:
        m_ScanParam.paperSize = 4;
        break;
    case TWSS_USLEGAL:
        m_ScanParam.paperSize = 5;
        break;
    case TWSS_A5:
        m_ScanParam.paperSize = 1;
        break;
    case TWSS_A3:
        m_ScanParam.paperSize = feeder ? 7 : 6;
        break;
    case TWSS_A6:
        m_ScanParam.paperSize = 2;
        break;
    default: // A4 and anything unknown
        m_ScanParam.paperSize = 0;
        break;
    }
    DebugPrint(u"UpdateNoUIScanParam(): nColorMode = %d, nResolution = %d, nScanSize = %d, nScanSource = %d\r\n",
               nColorMode, nResolution, nScanSize, nScanSource);
    return 0;
}

// The page is announced to the engine; reading it from the device comes with the transfers.
void CMainUIDialog::Scan_() {
    if (!g_bNoUI)
        m_btnScan.SetFocus();
    if (m_bBusy)
        return;
    m_bBusy = 1;
    m_nPageCount = 0;
    g_bPageScanPending = TRUE;
    if (CDsAssistor* assistor = g_pDsAssistor)
        assistor->NotifyXferReady();
}

void CMainUIDialog::OnClose() {
    if (!g_bNoUI) {
        // A control that keeps the focus (an entry being checked) keeps the window open too.
        m_btnClose.SetFocus();
        if (::GetFocus() != m_btnClose.m_hWnd)
            return;
    }
    RequestCloseSource();
}

// The window goes only when the application answers with MSG_DISABLEDS.
void CMainUIDialog::RequestCloseSource() {
    g_bUserClose = TRUE;
    if (CDsAssistor* assistor = g_pDsAssistor)
        assistor->RequestClose(FALSE);
}
