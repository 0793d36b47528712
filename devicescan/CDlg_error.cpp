#include "devicescan/CDlg_error.h"

#include "devicescan/VelmoraLanguage.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/StretchBackground.h"

namespace {
constexpr UINT kBackground = 10439;
constexpr UINT kBackgroundRightToLeft = 10456;
constexpr UINT kStringTitle = 8014;
constexpr UINT kStringOK = 8011;
} // namespace

BEGIN_MESSAGE_MAP(CDlg_error, CDialog)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CDlg_error::CDlg_error(CWnd* parent) : CDialog(IDD, parent) {}

CDlg_error::~CDlg_error() = default;

void CDlg_error::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kMessage, m_stcMessage);
    DDX_Control(pDX, IDOK, m_btnOK);
}

BOOL CDlg_error::OnInitDialog() {
    CDialog::OnInitDialog();
    const ControlText texts[] = {{this, kStringTitle}, {&m_btnOK, kStringOK}};
    SetControlTexts(texts, 2);
    m_stcMessage.SetWindowText(m_strMessage);
    m_bmpBackground.DeleteObject();
    // A right-to-left window stands mirrored, its error mark too.
    const LPCWSTR background = MAKEINTRESOURCEW(IsVelmoraRightToLeft() ? kBackgroundRightToLeft : kBackground);
    if (HBITMAP bitmap = ::LoadBitmapW(AfxFindResourceHandle(background, RT_BITMAP), background))
        m_bmpBackground.Attach(bitmap);
    m_btnOK.SetSkin(10431, 10429, 10432, 10430, 0, 0, CxSkinButton::kStretch, 0, 0);
    MirrorForReadingOrder(m_hWnd);
    SetForegroundWindow();
    return TRUE;
}

BOOL CDlg_error::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}
