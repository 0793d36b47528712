#include "ui/scanwindow/CAdvancedSetting.h"

#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/MessageHook.h"

#include "twain/ScanState.h"

#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/CCGammaThresholdDlg.h"
#include "ui/dialogs/CCHistogramDlg.h"
#include "ui/dialogs/CCImageBrightContrastDlg.h"
#include "ui/dialogs/CDlg_Curve.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <new>

namespace {
constexpr int CTRL_DESCREEN = 10027;
constexpr int CTRL_FADING = 10268;
constexpr int CTRL_ROTATION = 10264;
constexpr int CTRL_BRIGHT_CONTRAST = 10243;
constexpr int CTRL_GAMMA = 10269;
constexpr int CTRL_HISTOGRAM = 10270;
constexpr int CTRL_CURVE = 10271;
constexpr int CTRL_PROCESSING_GROUP = 10347;
constexpr int CTRL_ADJUSTMENT_GROUP = 10346;
constexpr int CTRL_DESCREEN_LABEL = 10157;
constexpr int CTRL_FADING_LABEL = 10276;
constexpr int CTRL_ROTATION_LABEL = 10348;
constexpr int CTRL_AUTO_DESKEW = 21003;
constexpr int CTRL_RESTORE = 10291;

constexpr UINT IDB_BACKGROUND = 10446;
// The colour of the page's background bitmap, so the auto-deskew box paints no patch of its own.
constexpr COLORREF kPageBackground = 0xF9F9F9;
constexpr UINT kStringAutoDeskew = 1196;

constexpr UINT kDescreenStrings[] = {1051, 1050};             // off, on
constexpr UINT kFadingStrings[] = {1053, 1054, 1055, 1056};   // off, low, medium, high
constexpr UINT kRotationStrings[] = {1058, 1059, 1060, 1061}; // none, 90 clockwise, 90 counter-clockwise, 180

// ScanParam::adv
constexpr int kGamma = 12;
constexpr int kThreshold = 13;
constexpr int kDescreen = 14;
constexpr int kFading = 15;
constexpr int kRotation = 16;
constexpr int kAutoDeskew = 17;
constexpr int kAdjustmentCount = 18; // adv[0..17]; the unit index after them is not an adjustment

// Runs a dialog made with the page, ignoring how it ended; a dialog that could not be made does nothing.
template <typename Dialog> void RunAdjustmentDialog(const std::unique_ptr<Dialog>& dialog) {
    if (dialog)
        dialog->DoModal();
}
} // namespace

BEGIN_MESSAGE_MAP(CAdvancedSetting, CDialog)
ON_WM_SIZE()
ON_BN_CLICKED(CTRL_BRIGHT_CONTRAST, OnBnClickedBrightContrast)
ON_BN_CLICKED(CTRL_GAMMA, OnBnClickedGamma)
ON_BN_CLICKED(CTRL_HISTOGRAM, OnBnClickedHistogram)
ON_BN_CLICKED(CTRL_CURVE, OnBnClickedCurve)
ON_CBN_SELCHANGE(CTRL_DESCREEN, OnCbnSelchangeDescreen)
ON_CBN_SELCHANGE(CTRL_FADING, OnCbnSelchangeFading)
ON_BN_CLICKED(CTRL_RESTORE, OnBnClickedRestoreDefaults)
ON_CBN_SELENDCANCEL(CTRL_ROTATION, OnCbnSelendcancelRotation)
ON_CBN_SELCHANGE(CTRL_ROTATION, OnCbnSelchangeRotation)
ON_BN_CLICKED(CTRL_AUTO_DESKEW, OnBnClickedAutoDeskew)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CAdvancedSetting::CAdvancedSetting(CMainUIDialog* owner) : CDialog(IDD, owner), m_pOwner(owner) {}

// The adjustment dialogs go before the page's own members.
CAdvancedSetting::~CAdvancedSetting() {
    m_pBrightContrastDlg.reset();
    m_pGammaThresholdDlg.reset();
    m_pCurveDlg.reset();
    m_pHistogramDlg.reset();
    if (m_hWnd != nullptr)
        DestroyWindow();
}

void CAdvancedSetting::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, CTRL_DESCREEN, m_cmbDescreen);
    DDX_Control(pDX, CTRL_FADING, m_cmbFading);
    DDX_Control(pDX, CTRL_ROTATION, m_cmbRotation);
    DDX_Control(pDX, CTRL_BRIGHT_CONTRAST, m_btnBrightContrast);
    DDX_Control(pDX, CTRL_GAMMA, m_btnGamma);
    DDX_Control(pDX, CTRL_HISTOGRAM, m_btnHistogram);
    DDX_Control(pDX, CTRL_CURVE, m_btnCurve);
    DDX_Control(pDX, CTRL_PROCESSING_GROUP, m_grpProcessing);
    DDX_Control(pDX, CTRL_ADJUSTMENT_GROUP, m_grpAdjustment);
    DDX_Control(pDX, CTRL_DESCREEN_LABEL, m_stcDescreen);
    DDX_Control(pDX, CTRL_FADING_LABEL, m_stcFading);
    DDX_Control(pDX, CTRL_ROTATION_LABEL, m_stcRotation);
    DDX_Control(pDX, CTRL_AUTO_DESKEW, m_chkAutoDeskew);
    DDX_Control(pDX, CTRL_RESTORE, m_btnRestore);
}

// The window places the page over its frame, wider than its layout: mirrored, the page keeps its controls' distance
// from its right edge.
void CAdvancedSetting::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    FollowRightEdge(this, m_nMirroredWidth, cx);
}

BOOL CAdvancedSetting::OnInitDialog() {
    CDialog::OnInitDialog();
    m_nMirroredWidth = 0;
    if (g_bHebrew) {
        MirrorChildLayout(this);
        CRect client;
        GetClientRect(&client);
        m_nMirroredWidth = client.Width();
    }
    InitSkins();
    InitAdvancedTexts();
    // Objects only: their windows exist while they run. One that cannot be made leaves its button without effect.
    m_pBrightContrastDlg.reset(new (std::nothrow) CCImageBrightContrastDlg(*m_pOwner, this));
    m_pGammaThresholdDlg.reset(new (std::nothrow) CCGammaThresholdDlg(*m_pOwner, this));
    m_pHistogramDlg.reset(new (std::nothrow) CCHistogramDlg(*m_pOwner, this));
    m_pCurveDlg.reset(new (std::nothrow) CDlg_Curve(*m_pOwner, this));
    return TRUE;
}

void CAdvancedSetting::InitSkins() {
    m_btnBrightContrast.SetSkin(10413, 10414, 10415, 10416, 0, 0, CxSkinButton::kNatural, 0, 0);
    m_btnGamma.SetSkin(10425, 10426, 10427, 10428, 0, 0, CxSkinButton::kNatural, 0, 0);
    m_btnHistogram.SetSkin(10421, 10422, 10423, 10424, 0, 0, CxSkinButton::kNatural, 0, 0);
    m_btnCurve.SetSkin(10417, 10418, 10419, 10420, 0, 0, CxSkinButton::kNatural, 0, 0);
    m_btnRestore.SetSkin(10431, 10429, 10432, 10430, 0, 0, CxSkinButton::kStretch, 0, 0);
    LoadModuleBitmap(m_bmpBackground, IDB_BACKGROUND);
}

void CAdvancedSetting::InitAdvancedTexts() {
    FillComboFromStrings(&m_cmbRotation, kRotationStrings, static_cast<int>(std::size(kRotationStrings)));
    FillComboFromStrings(&m_cmbDescreen, kDescreenStrings, static_cast<int>(std::size(kDescreenStrings)));
    FillComboFromStrings(&m_cmbFading, kFadingStrings, static_cast<int>(std::size(kFadingStrings)));
    const std::pair<CWnd*, UINT> tips[] = {
        {&m_btnBrightContrast, 1063}, {&m_btnGamma, 1064}, {&m_btnHistogram, 1065}, {&m_btnCurve, 1066}};
    if (g_ToolTip.m_hWnd != nullptr)
        for (const auto& [button, id] : tips)
            g_ToolTip.AddTool(button, CString(u" ") + LoadResString(id) + u" ");
    const ControlText texts[] = {{&m_grpProcessing, 1048},
                                 {&m_stcDescreen, 1049},
                                 {&m_stcFading, 1052},
                                 {&m_stcRotation, 1057},
                                 {&m_grpAdjustment, 1062},
                                 {&m_btnRestore, 1046},
                                 {&m_chkAutoDeskew, kStringAutoDeskew}};
    SetControlTexts(texts, static_cast<int>(std::size(texts)));
    if (ModelValueIs(u"HasAutoRotate(%s)", u"TRUE")) {
        m_chkAutoDeskew.SetBkColor(kPageBackground);
        m_chkAutoDeskew.ShowWindow(SW_SHOW);
    }
}

void CAdvancedSetting::OnBnClickedBrightContrast() {
    RunAdjustmentDialog(m_pBrightContrastDlg);
}

void CAdvancedSetting::OnBnClickedGamma() {
    RunAdjustmentDialog(m_pGammaThresholdDlg);
}

void CAdvancedSetting::OnBnClickedHistogram() {
    RunAdjustmentDialog(m_pHistogramDlg);
}

void CAdvancedSetting::OnBnClickedCurve() {
    RunAdjustmentDialog(m_pCurveDlg);
}

void CAdvancedSetting::OnCbnSelchangeDescreen() {
    StoreSelection(m_cmbDescreen, kDescreen, TRUE);
}

void CAdvancedSetting::OnCbnSelchangeFading() {
    StoreSelection(m_cmbFading, kFading, TRUE);
}

// The page turns after the scan: the preview stays as it is.
void CAdvancedSetting::OnCbnSelchangeRotation() {
    StoreSelection(m_cmbRotation, kRotation, FALSE);
}

void CAdvancedSetting::StoreSelection(CComboBox& combo, int index, BOOL render) {
    std::int32_t* adv = m_pOwner->m_ScanParam.adv;
    const int selection = combo.GetCurSel();
    if (selection == CB_ERR || selection == adv[index])
        return;
    adv[index] = selection;
    m_pOwner->MarkSettingModified();
    if (render)
        m_pOwner->RefreshPreviewImage();
}

void CAdvancedSetting::OnBnClickedAutoDeskew() {
    const BOOL on = m_chkAutoDeskew.GetCheck() == BST_CHECKED;
    g_bAutoDeskew = on;
    m_pOwner->m_ScanParam.adv[kAutoDeskew] = on ? 1 : 0;
}

void CAdvancedSetting::OnBnClickedRestoreDefaults() {
    std::int32_t* adv = m_pOwner->m_ScanParam.adv;
    std::array<std::int32_t, kAdjustmentCount> defaults{};
    defaults[kGamma] = GetDefaultGamma();
    defaults[kThreshold] = GetDefaultThreshold();
    if (std::memcmp(defaults.data(), adv, sizeof defaults) == 0)
        return;
    std::copy(defaults.begin(), defaults.end(), adv);
    m_pOwner->MarkSettingModified();
    UpdateControlsFromParam();
    m_pOwner->RefreshPreviewImage();
}

void CAdvancedSetting::UpdateControlsFromParam() {
    const std::int32_t* adv = m_pOwner->m_ScanParam.adv;
    m_cmbDescreen.SetCurSel(adv[kDescreen]);
    m_cmbFading.SetCurSel(adv[kFading]);
    m_cmbRotation.SetCurSel(adv[kRotation]);
    m_chkAutoDeskew.SetCheck(adv[kAutoDeskew] ? BST_CHECKED : BST_UNCHECKED);
    g_bAutoDeskew = adv[kAutoDeskew] ? TRUE : FALSE;
}

BOOL CAdvancedSetting::PreTranslateMessage(MSG* pMsg) {
    if (m_pOwner->OnRoadKey(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

void CAdvancedSetting::OnOK() {
    DebugPrint(u"OnOK");
}

void CAdvancedSetting::OnCancel() {
    DebugPrint(u"OnCancel");
}

BOOL CAdvancedSetting::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}
