#include "ui/dialogs/CWarningDlg.h"

#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/BoxInput.h"

namespace {
constexpr UINT kStringOK = 1090;
constexpr UINT kStringCancel = 1092;
constexpr UINT kStringWarningCaption = 1093;
} // namespace

BEGIN_MESSAGE_MAP(CWarningBox, CDialog)
ON_WM_ERASEBKGND()
ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

CWarningBox::CWarningBox(const Look& look, CWnd* parent) : CDialog(look.templateId, parent), m_look(look) {}

void CWarningBox::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, m_look.messageControl, m_stcMessage);
    DDX_Control(pDX, IDOK, m_btnOK);
}

BOOL CWarningBox::OnInitDialog() {
    CDialog::OnInitDialog();
    m_btnOK.SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    CxSkinButton* cancel = CancelButton();
    if (cancel)
        cancel->SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    LoadModuleBitmap(m_bmpBackground, g_bHebrew ? m_look.backgroundRightToLeft : m_look.background);

    const ControlText texts[] = {{this, kStringWarningCaption}, {&m_btnOK, kStringOK}, {cancel, kStringCancel}};
    SetControlTexts(texts, 3);
    m_stcMessage.SetWindowText(m_strMessage);
    if (g_bHebrew)
        MirrorChildLayout(this);
    return TRUE;
}

BOOL CWarningBox::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

// The close box ends the box as Cancel would.
void CWarningBox::OnSysCommand(UINT id, LPARAM lParam) {
    CDialog::OnSysCommand(id, lParam);
}

BOOL CWarningBox::PreTranslateMessage(MSG* pMsg) {
    if (IsIgnoredBoxInput(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

BEGIN_MESSAGE_MAP(CWarningDlg, CWarningBox)
ON_BN_CLICKED(IDCANCEL, OnClickedCancel)
END_MESSAGE_MAP()

CWarningDlg::CWarningDlg(CWnd* parent) : CWarningBox({IDD, 10308, 10438, 10455}, parent) {}

void CWarningDlg::DoDataExchange(CDataExchange* pDX) {
    CWarningBox::DoDataExchange(pDX);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
}

void CWarningDlg::OnClickedCancel() {
    EndDialog(IDCANCEL);
}

CWarningOK::CWarningOK(CWnd* parent) : CWarningBox({IDD, 10307, 10440, 10457}, parent) {}
