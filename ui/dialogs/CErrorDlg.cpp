#include "ui/dialogs/CErrorDlg.h"

#include "settings/Language.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/BoxInput.h"

namespace {
constexpr int kMessageControl = 10306;
constexpr UINT kBackground = 10439;
constexpr UINT kBackgroundRightToLeft = 10456;
constexpr UINT kStringErrorCaption = 1094;
constexpr UINT kStringOK = 1090;

// The language library's text, or `fallback` when the library lacks it.
CString TextOr(UINT id, const WCHAR* fallback) {
    CString text = LoadResString(id);
    return text == u"Load String Error!" ? CString(fallback) : text;
}
} // namespace

BEGIN_MESSAGE_MAP(CErrorDlg, CDialog)
ON_WM_ERASEBKGND()
ON_WM_SYSCOMMAND()
ON_BN_CLICKED(IDOK, OnClickedOK)
END_MESSAGE_MAP()

CErrorDlg::CErrorDlg(CWnd* parent) : CDialog(IDD, parent) {}

CErrorDlg::~CErrorDlg() = default;

void CErrorDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnOK);
    DDX_Control(pDX, kMessageControl, m_stcMessage);
}

BOOL CErrorDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_bAppWindow)
        ModifyStyleEx(0, WS_EX_APPWINDOW);

    // The middle of the primary screen, wherever the parent is.
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    CRect rect;
    GetWindowRect(&rect);
    MoveWindow(screenWidth / 2 - rect.Width() / 2, screenHeight / 2 - rect.Height() / 2, rect.Width(), rect.Height(),
               TRUE);

    m_btnOK.SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    LoadModuleBitmap(m_bmpBackground, g_bHebrew ? kBackgroundRightToLeft : kBackground);

    // Without a language library (its INI file lost) the box still reads as an error box with an OK button.
    SetWindowText(TextOr(kStringErrorCaption, u"Error"));
    m_btnOK.SetWindowText(TextOr(kStringOK, u"OK"));
    m_stcMessage.SetWindowText(m_strMessage);
    if (g_bHebrew)
        MirrorChildLayout(this);
    return TRUE;
}

BOOL CErrorDlg::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

void CErrorDlg::OnSysCommand(UINT id, LPARAM lParam) {
    CDialog::OnSysCommand(id, lParam);
}

void CErrorDlg::OnClickedOK() {
    OnOK();
}

void CErrorDlg::OnOK() {
    CDialog::OnOK();
}

BOOL CErrorDlg::PreTranslateMessage(MSG* pMsg) {
    if (IsIgnoredBoxInput(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}
