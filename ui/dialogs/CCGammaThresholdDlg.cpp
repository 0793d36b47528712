#include "ui/dialogs/CCGammaThresholdDlg.h"

#include "settings/PlatformFlags.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/AdjustmentDialogs.h"
#include "ui/dialogs/ScanParamNames.h"

namespace {
constexpr int kGammaSlider = 10287, kThresholdSlider = 10236;
constexpr int kGammaEdit = 10042, kThresholdEdit = 10043;
constexpr int kGammaLabel = 10198, kThresholdLabel = 10200;
constexpr int kGammaMin = 10316, kGammaMax = 10317, kThresholdMin = 10318, kThresholdMax = 10319;
constexpr int kCloseButton = 10284, kResetButton = 10146;
constexpr UINT kBackground = 10434;
constexpr UINT kStringTitle = 1064, kStringClose = 1017, kStringReset = 1074;
constexpr UINT kStringGamma = 1075, kStringThreshold = 1076;
constexpr int kGammaIndex = 12, kThresholdIndex = 13; // in ScanParam::adv
constexpr int kBlackAndWhite = 0;
} // namespace

BEGIN_MESSAGE_MAP(CCGammaThresholdDlg, CDialog)
ON_BN_CLICKED(kResetButton, OnBnClickedReset)
ON_BN_CLICKED(kCloseButton, OnBnClickedClose)
ON_MESSAGE(WM_NUMBEREDIT_CHANGED, OnNumberEditChanged)
ON_WM_HSCROLL()
ON_WM_ERASEBKGND()
ON_WM_CLOSE()
END_MESSAGE_MAP()

CCGammaThresholdDlg::CCGammaThresholdDlg(CAdjustmentOwner& owner, CWnd* parent)
    : CDialog(IDD, parent), m_nThreshold(GetDefaultThreshold()), m_nGamma(GetDefaultGamma()), m_owner(owner) {}

CCGammaThresholdDlg::~CCGammaThresholdDlg() = default;

void CCGammaThresholdDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kGammaSlider, m_sldGamma);
    DDX_Control(pDX, kThresholdSlider, m_sldThreshold);
    DDX_Control(pDX, kGammaEdit, m_edtGamma);
    DDX_Control(pDX, kThresholdEdit, m_edtThreshold);
    DDX_Control(pDX, kGammaLabel, m_stcGamma);
    DDX_Control(pDX, kThresholdLabel, m_stcThreshold);
    DDX_Control(pDX, kGammaMin, m_stcGammaMin);
    DDX_Control(pDX, kGammaMax, m_stcGammaMax);
    DDX_Control(pDX, kThresholdMin, m_stcThresholdMin);
    DDX_Control(pDX, kThresholdMax, m_stcThresholdMax);
    DDX_Control(pDX, kCloseButton, m_btnClose);
    DDX_Control(pDX, kResetButton, m_btnReset);
}

BOOL CCGammaThresholdDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    DressAdjustmentDialog(this, m_bmpBackground, kBackground, {&m_btnClose, &m_btnReset});
    KeepSliderEndLabels(this, kGammaSlider, kGammaMin, kGammaMax);
    KeepSliderEndLabels(this, kThresholdSlider, kThresholdMin, kThresholdMax);
    KeepNumberOrder(this, {kGammaEdit, kThresholdEdit});
    // The labels carry the language's words rather than the layout's fixed ones.
    const ControlText texts[] = {{this, kStringTitle},
                                 {&m_btnClose, kStringClose},
                                 {&m_btnReset, kStringReset},
                                 {&m_stcGamma, kStringGamma},
                                 {&m_stcThreshold, kStringThreshold}};
    SetControlTexts(texts, 5);
    // The gamma range ends are decimals, written as the value beside them is.
    m_stcGammaMin.SetWindowText(WithDecimalSeparator(u"0.1"));
    m_stcGammaMax.SetWindowText(WithDecimalSeparator(u"9.9"));

    m_sldGamma.SetRange(1, 99, TRUE);
    m_sldThreshold.SetRange(0, 255, TRUE);
    m_edtGamma.SetMode(CNumberEdit::kOneDecimal);
    m_edtGamma.SetRange(1, 99);
    m_edtGamma.LimitText(3);
    m_edtThreshold.SetMode(CNumberEdit::kUnsigned);
    m_edtThreshold.SetRange(0, 255);
    m_edtThreshold.LimitText(3);

    const ScanParam& param = m_owner.GetAdjustedScanParam();
    m_nGamma = param.adv[kGammaIndex];
    m_nThreshold = param.adv[kThresholdIndex];
    const BOOL blackAndWhite = param.colorMode == kBlackAndWhite;
    for (CWnd* control :
         {static_cast<CWnd*>(&m_sldThreshold), static_cast<CWnd*>(&m_edtThreshold), static_cast<CWnd*>(&m_stcThreshold),
          static_cast<CWnd*>(&m_stcThresholdMin), static_cast<CWnd*>(&m_stcThresholdMax)})
        control->EnableWindow(blackAndWhite);
    ShowValues();
    return TRUE;
}

void CCGammaThresholdDlg::ShowValues() {
    m_sldGamma.SetPos(m_nGamma);
    m_sldThreshold.SetPos(m_nThreshold);
    m_edtGamma.SetValue(m_nGamma);
    m_edtThreshold.SetValue(m_nThreshold);
}

void CCGammaThresholdDlg::SettingChanged() {
    m_owner.MarkSettingModified();
    m_owner.RefreshPreviewImage();
}

void CCGammaThresholdDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
    ScanParam& param = m_owner.GetAdjustedScanParam();
    const HWND sender = HwndOf(bar);
    if (sender != nullptr && sender == m_sldGamma.m_hWnd) {
        const int position = m_sldGamma.GetPos();
        if (position != param.adv[kGammaIndex]) {
            m_nGamma = position;
            m_edtGamma.SetValue(position);
            param.adv[kGammaIndex] = position;
            SettingChanged();
        }
    } else if (sender != nullptr && sender == m_sldThreshold.m_hWnd) {
        const int position = m_sldThreshold.GetPos();
        if (position != param.adv[kThresholdIndex]) {
            m_nThreshold = position;
            m_edtThreshold.SetValue(position);
            param.adv[kThresholdIndex] = position;
            SettingChanged();
        }
    }
    CDialog::OnHScroll(code, pos, bar);
}

LRESULT CCGammaThresholdDlg::OnNumberEditChanged(WPARAM wParam, LPARAM) {
    const HWND edit = reinterpret_cast<HWND>(wParam);
    ScanParam& param = m_owner.GetAdjustedScanParam();
    // The edit's own reading of its text, so "1,5" in a language with a decimal comma is 15 as it was checked.
    if (edit == m_edtGamma.m_hWnd) {
        const int value = m_edtGamma.GetValue();
        if (value != m_nGamma) {
            m_nGamma = value;
            param.adv[kGammaIndex] = value;
            m_sldGamma.SetPos(value);
            SettingChanged();
        }
    } else if (edit == m_edtThreshold.m_hWnd) {
        const int value = m_edtThreshold.GetValue();
        if (value != m_nThreshold) {
            m_nThreshold = value;
            param.adv[kThresholdIndex] = value;
            m_sldThreshold.SetPos(value);
            SettingChanged();
        }
    }
    return 0;
}

void CCGammaThresholdDlg::OnBnClickedReset() {
    m_nGamma = GetDefaultGamma();
    m_nThreshold = GetDefaultThreshold();
    ScanParam& param = m_owner.GetAdjustedScanParam();
    // The threshold comes back too in colour and grey, where its controls are disabled.
    if (param.adv[kGammaIndex] != m_nGamma || param.adv[kThresholdIndex] != m_nThreshold) {
        param.adv[kGammaIndex] = m_nGamma;
        param.adv[kThresholdIndex] = m_nThreshold;
        SettingChanged();
    }
    ShowValues();
}

void CCGammaThresholdDlg::OnBnClickedClose() {
    CDialog::OnOK();
}

void CCGammaThresholdDlg::OnClose() {
    CDialog::OnOK();
}

BOOL CCGammaThresholdDlg::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

BOOL CCGammaThresholdDlg::PreTranslateMessage(MSG* pMsg) {
    return CDialog::PreTranslateMessage(pMsg);
}
