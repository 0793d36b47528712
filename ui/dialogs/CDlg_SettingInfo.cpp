#include "ui/dialogs/CDlg_SettingInfo.h"

#include "scanner/PaperTables.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/CDlg_About.h"
#include "ui/dialogs/ScanParamNames.h"

namespace {
constexpr UINT kBackground = 10442;
constexpr UINT kStringCaption = 1021, kStringClose = 1017;

CString GammaText(int gammaTimesTen) {
    CString text;
    text.Format(u"%.1f", gammaTimesTen / 10.0 + 0.005);
    return WithDecimalSeparator(text);
}
} // namespace

const CDlg_SettingInfo::RowControls CDlg_SettingInfo::kRows[kRowCount] = {
    {10322, 1025, 10326}, {10323, 1027, 10327}, {10156, 1031, 10328}, {10158, 1037, 10329},
    {10157, 1049, 10331}, {10276, 1052, 10332}, {10238, 1057, 10330}, {10280, 1072, 10333},
    {10281, 1073, 10334}, {10198, 1075, 10335}, {10200, 1076, 10336}, {10325, 1066, 10337}};

BEGIN_MESSAGE_MAP(CDlg_SettingInfo, CDialog)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CDlg_SettingInfo::CDlg_SettingInfo(CPaneHost* host, CWnd* parent) : CDialog(IDD, parent), m_pHost(host) {}

void CDlg_SettingInfo::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int row = 0; row < kRowCount; ++row) {
        DDX_Control(pDX, kRows[row].label, m_stcTexts[2 * row]);
        DDX_Control(pDX, kRows[row].value, m_stcTexts[2 * row + 1]);
    }
    DDX_Control(pDX, IDOK, m_btnOK);
}

void CDlg_SettingInfo::SetValue(Row row, const CString& text) {
    m_stcTexts[2 * row + 1].SetWindowText(text);
    if (g_bHebrew)
        ReadAsItsTextReads(&m_stcTexts[2 * row + 1]);
}

void CDlg_SettingInfo::HideRow(Row row) {
    m_stcTexts[2 * row].ShowWindow(SW_HIDE);
    m_stcTexts[2 * row + 1].ShowWindow(SW_HIDE);
}

void CDlg_SettingInfo::MoveRow(Row from, Row to) {
    for (int part = 0; part < 2; ++part) {
        const CRect& mine = m_rcTemplate[2 * from + part];
        const CRect& place = m_rcTemplate[2 * to + part];
        m_stcTexts[2 * from + part].SetWindowPos(nullptr, place.left, place.top, mine.Width(), mine.Height(),
                                                 SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

BOOL CDlg_SettingInfo::OnInitDialog() {
    CDialog::OnInitDialog();
    m_btnOK.SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    LoadModuleBitmap(m_bmpBackground, kBackground);
    const ControlText texts[] = {{this, kStringCaption}, {&m_btnOK, kStringClose}};
    SetControlTexts(texts, 2);
    for (int row = 0; row < kRowCount; ++row)
        m_stcTexts[2 * row].SetWindowText(LoadResString(kRows[row].labelString));
    if (g_bHebrew) {
        MirrorChildLayout(this);
        // Values of numbers, dpi and channel letters read left to right, at the right side; values with words of
        // the language read right to left (SetValue).
        for (const RowControls& row : kRows)
            GetDlgItem(row.value)->ModifyStyleEx(WS_EX_RTLREADING, 0);
    }
    // Rows move into the places the template gave the rows above them, whatever moved first.
    for (int i = 0; i < 2 * kRowCount; ++i) {
        m_stcTexts[i].GetWindowRect(&m_rcTemplate[i]);
        ScreenToClient(&m_rcTemplate[i]);
    }
    if (!m_pHost)
        return TRUE;

    const ScanParam& p = m_pHost->GetScanParam();
    const auto* adv = p.adv;
    SetValue(kSource, SourceName(p.source));
    SetValue(kColorMode, ColorModeName(p.colorMode));
    SetValue(kResolution, ResolutionName(p.resolution));
    SetValue(kScanArea, GetPaperName(p.source, p.paperSize));
    CString text;
    if (p.colorMode == 2) {
        HideRow(kThreshold);
        MoveRow(kToneCurve, kThreshold);
        SetValue(kRotation, RotationName(adv[16]));
        SetValue(kDescreen, DescreenName(adv[14]));
        SetValue(kFading, FadingName(adv[15]));
        text.Format(u"RGB:%d  R:%d  G:%d   B:%d", adv[0], adv[1], adv[2], adv[3]);
        SetValue(kBrightness, text);
        text.Format(u"RGB:%d  R:%d  G:%d   B:%d", adv[4], adv[5], adv[6], adv[7]);
        SetValue(kContrast, text);
        SetValue(kGamma, GammaText(adv[12]));
        text.Format(u"RGB:%s \nR:%s \nG:%s \nB:%s", CurveName(adv[8]).GetString(), CurveName(adv[9]).GetString(),
                    CurveName(adv[10]).GetString(), CurveName(adv[11]).GetString());
        SetValue(kToneCurve, text);
    } else if (p.colorMode == 1) {
        HideRow(kFading);
        HideRow(kThreshold);
        MoveRow(kRotation, kFading);
        MoveRow(kBrightness, kRotation);
        MoveRow(kContrast, kBrightness);
        MoveRow(kGamma, kContrast);
        MoveRow(kToneCurve, kGamma);
        SetValue(kRotation, RotationName(adv[16]));
        SetValue(kDescreen, DescreenName(adv[14]));
        text.Format(u"RGB:%d ", adv[0]);
        SetValue(kBrightness, text);
        text.Format(u"RGB:%d ", adv[4]);
        SetValue(kContrast, text);
        SetValue(kGamma, GammaText(adv[12]));
        text.Format(u"RGB:%s ", CurveName(adv[8]).GetString());
        SetValue(kToneCurve, text);
    } else if (p.colorMode == 0) {
        for (Row row : {kDescreen, kFading, kBrightness, kContrast, kToneCurve})
            HideRow(row);
        MoveRow(kRotation, kDescreen);
        MoveRow(kGamma, kFading);
        MoveRow(kThreshold, kRotation);
        SetValue(kRotation, RotationName(adv[16]));
        SetValue(kGamma, GammaText(adv[12]));
        text.Format(u"%d", adv[13]);
        SetValue(kThreshold, text);
    }
    return TRUE;
}

BOOL CDlg_SettingInfo::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

BOOL CDlg_SettingInfo::PreTranslateMessage(MSG* pMsg) {
    if (IsIgnoredInfoInput(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}
