#include "ui/scanwindow/CBasicSetting.h"

#include "ui/scanwindow/CAdvancedSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"

#include "scanner/PaperTables.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"
#include "settings/SettingStore.h"
#include "settings/SystemProbes.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {
constexpr int CTRL_SOURCE = 10297;
constexpr int CTRL_COLOR_MODE = 10265;
constexpr int CTRL_PAPER = 10146;
constexpr int CTRL_RESOLUTION = 10266;
constexpr int CTRL_SOURCE_LABEL = 10322;
constexpr int CTRL_COLOR_LABEL = 10155;
constexpr int CTRL_RESOLUTION_LABEL = 10156;
constexpr int CTRL_SCAN_AREA_LABEL = 10158;
constexpr int CTRL_MANUAL_DUPLEX = 10200;
constexpr int CTRL_RESTORE = 10243;
constexpr int CTRL_HORIZONTAL = 21004;

constexpr UINT IDB_BACKGROUND = 10445;
// The colour of the page's background bitmap where the check boxes stand, so they paint no patch of their own.
constexpr COLORREF kPageBackground = 0xF9F9F9;
constexpr UINT kStringHorizontal = 1197;
constexpr UINT kStringManualDuplex = 1198;

// Sources: flatbed, feeder, feeder duplex; the model offers the first one, two or three.
constexpr UINT kSourceStrings[] = {1026, 1138, 1145};
// Colour modes in list order: colour (2), grey (1), black and white (0).
constexpr UINT kColorStrings[] = {1028, 1029, 1030};
// 75, 150, 300, 600 and 1200 dpi; the models that stop at 600 or 400 dpi have lists of their own.
constexpr UINT kFullResolutions[] = {1032, 1033, 1034, 1035, 1036};
constexpr UINT k600DpiResolutions[] = {1032, 1033, 1034, 1035};
constexpr UINT k400DpiResolutions[] = {1032, 1033, 1034, 1148};

constexpr int kColor = 2;
constexpr int kGray = 1;
constexpr int kBlackAndWhite = 0;

// ScanParam::adv: brightness, contrast and curve preset each per channel (combined, red, green, blue), then the
// single values.
constexpr int kBrightness = 0;
constexpr int kContrast = 4;
constexpr int kCurve = 8;
constexpr int kThreshold = 13;
constexpr int kDescreen = 14;
constexpr int kFading = 15;

// The five basic values lie one after the other in ScanParam, from the source to the horizontal flag.
struct BasicValues {
    std::int32_t source;
    std::int32_t colorMode;
    std::int32_t resolution;
    std::int32_t paperSize;
    std::int32_t horizontal;
};
static_assert(sizeof(BasicValues) == offsetof(ScanParam, adv) - offsetof(ScanParam, source));
} // namespace

BEGIN_MESSAGE_MAP(CBasicSetting, CDialog)
ON_WM_SIZE()
ON_CBN_SELCHANGE(CTRL_SOURCE, OnCbnSelchangeSource)
ON_CBN_SELCHANGE(CTRL_COLOR_MODE, OnCbnSelchangeColorMode)
ON_CBN_SELCHANGE(CTRL_RESOLUTION, OnCbnSelchangeResolution)
ON_CBN_SELCHANGE(CTRL_PAPER, OnCbnSelchangePaperSize)
ON_BN_CLICKED(CTRL_RESTORE, OnBnClickedRestoreDefaults)
ON_WM_ERASEBKGND()
ON_BN_CLICKED(CTRL_MANUAL_DUPLEX, OnBnClickedManualDuplex)
ON_BN_CLICKED(CTRL_HORIZONTAL, OnBnClickedHorizontal)
END_MESSAGE_MAP()

CBasicSetting::CBasicSetting(CMainUIDialog* owner) : CDialog(IDD, owner), m_pOwner(owner) {}

CBasicSetting::~CBasicSetting() {
    if (m_hWnd != nullptr)
        DestroyWindow();
}

void CBasicSetting::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, CTRL_SOURCE, m_cmbSource);
    DDX_Control(pDX, CTRL_COLOR_MODE, m_cmbColorMode);
    DDX_Control(pDX, CTRL_PAPER, m_cmbPaperSize);
    DDX_Control(pDX, CTRL_RESOLUTION, m_cmbResolution);
    DDX_Control(pDX, CTRL_SOURCE_LABEL, m_stcSource);
    DDX_Control(pDX, CTRL_COLOR_LABEL, m_stcColorMode);
    DDX_Control(pDX, CTRL_RESOLUTION_LABEL, m_stcResolution);
    DDX_Control(pDX, CTRL_SCAN_AREA_LABEL, m_stcScanArea);
    DDX_Control(pDX, CTRL_MANUAL_DUPLEX, m_chkManualDuplex);
    DDX_Control(pDX, CTRL_RESTORE, m_btnRestore);
    DDX_Control(pDX, CTRL_HORIZONTAL, m_chkHorizontal);
}

// The window places the page over its frame, wider than its layout: mirrored, the page keeps its controls' distance
// from its right edge.
void CBasicSetting::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    FollowRightEdge(this, m_nMirroredWidth, cx);
}

BOOL CBasicSetting::OnInitDialog() {
    DebugPrint(u"CBasicSetting::OnInitDialog : Start");
    CDialog::OnInitDialog();
    DebugPrint(u"CBasicSetting::OnInitDialog : Middle");
    m_nMirroredWidth = 0;
    if (g_bHebrew) {
        MirrorChildLayout(this);
        CRect client;
        GetClientRect(&client);
        m_nMirroredWidth = client.Width();
    }
    InitSkins();
    ReadFeatureKeys();
    if (m_bHasManualDuplex)
        m_chkManualDuplex.ShowWindow(g_bAppMode ? SW_SHOW : SW_HIDE);
    DebugPrint(u"CBasicSetting::OnInitDialog : End");
    return TRUE;
}

void CBasicSetting::InitSkins() {
    LoadModuleBitmap(m_bmpBackground, IDB_BACKGROUND);
    m_btnRestore.SetSkin(10431, 10429, 10432, 10430, 0, 0, CxSkinButton::kStretch, 0, 0);
}

void CBasicSetting::ReadFeatureKeys() {
    ScanParam& param = m_pOwner->m_ScanParam;
    m_nSourceCount = 2;
    if (ModelValueIs(u"HasADF(%s)", u"FALSE"))
        m_nSourceCount = 1;
    if (ModelValueIs(u"IsAutoduplex(%s)", u"TRUE"))
        m_nSourceCount = 3; // wins over HasADF
    if (ModelValueIs(u"HasAutoCrop(%s)", u"TRUE"))
        g_bHasAutoCrop = TRUE;
    if (ModelValueIs(u"HasManualDuplex(%s)", u"FALSE")) {
        m_bHasManualDuplex = FALSE;
        m_chkManualDuplex.ShowWindow(SW_HIDE);
    }
    if (ModelValueIs(u"HasA3(%s)", u"TRUE"))
        g_bHasA3 = TRUE;
    if (ModelValueIs(u"HasHorizontal(%s)", u"TRUE")) {
        m_chkHorizontal.ShowWindow(SW_SHOW);
        g_bHasHorizontal = TRUE;
    } else {
        param.horizontal = 0;
    }

    FillComboFromStrings(&m_cmbSource, kSourceStrings, m_nSourceCount);
    FillComboFromStrings(&m_cmbColorMode, kColorStrings, static_cast<int>(std::size(kColorStrings)));
    FillComboFromStrings(&m_cmbResolution, kFullResolutions, static_cast<int>(std::size(kFullResolutions)));
    const ControlText texts[] = {{&m_stcSource, 1025},
                                 {&m_stcColorMode, 1027},
                                 {&m_stcResolution, 1031},
                                 {&m_stcScanArea, 1037},
                                 {&m_btnRestore, 1046},
                                 {&m_chkManualDuplex, kStringManualDuplex},
                                 {&m_chkHorizontal, kStringHorizontal}};
    SetControlTexts(texts, static_cast<int>(std::size(texts)));
    m_chkManualDuplex.SetBkColor(kPageBackground);
    m_chkHorizontal.SetBkColor(kPageBackground);
}

void CBasicSetting::RebuildResolutionList(int paper) {
    ScanParam& param = m_pOwner->m_ScanParam;
    const BOOL ibis = g_bIsPlatformIbis;
    const bool color = param.colorMode == kColor;

    m_cmbPaperSize.ResetContent();
    int resolutions = static_cast<int>(std::size(kFullResolutions));
    switch (param.source) {
    case 0:
        for (INT_PTR i = 0; i < GetFlatbedPaperList().GetSize(); ++i)
            m_cmbPaperSize.AddString(GetFlatbedPaperList()[i]);
        resolutions = (ibis && color) ? 4 : 5;
        m_chkManualDuplex.ShowWindow(SW_HIDE);
        break;
    case 1:
        for (INT_PTR i = 0; i < GetAdfPaperList().GetSize(); ++i)
            m_cmbPaperSize.AddString(GetAdfPaperList()[i]);
        resolutions = (ibis && !color) ? 5 : 4;
        if (g_bAppMode && m_bHasManualDuplex)
            m_chkManualDuplex.ShowWindow(SW_SHOW);
        break;
    case 2:
        for (INT_PTR i = 0; i < GetAdfPaperList().GetSize(); ++i)
            m_cmbPaperSize.AddString(GetAdfPaperList()[i]);
        resolutions = (ibis && !color) ? 4 : 3;
        m_chkManualDuplex.ShowWindow(SW_HIDE);
        break;
    default: // a source no list belongs to: no paper to offer
        break;
    }
    FillComboFromStrings(&m_cmbResolution, kFullResolutions, resolutions);

    if (g_bIsPlatformWren) {
        if (g_bIsPlatformWren_RGB) {
            FillComboFromStrings(&m_cmbResolution, k600DpiResolutions, static_cast<int>(std::size(k600DpiResolutions)));
        } else {
            FillComboFromStrings(&m_cmbResolution, k400DpiResolutions, static_cast<int>(std::size(k400DpiResolutions)));
            g_nResolutionDpi[3] = 400; // for the life of the module: every reader of index 3 scans at 400
        }
    }
    if (g_bIsBriselA3)
        FillComboFromStrings(&m_cmbResolution, k600DpiResolutions, static_cast<int>(std::size(k600DpiResolutions)));

    if (paper == -1) {
        if (param.source == 0)
            paper = ibis ? 0 : GetDefaultPaperIndex();
        else
            paper = IsA4Country() ? 0 : 4;
    }

    int resolution = param.resolution;
    if (ibis) {
        if (param.source != 2 && color)
            resolution = std::min(resolution, 3);
    } else if (param.source == 1) {
        resolution = std::min(resolution, 3);
    }
    const int offered = m_cmbResolution.GetCount();
    if (resolution >= offered)
        resolution = offered - 1;
    resolution = std::max(resolution, 0); // an index below the table is taken as its first entry
    param.resolution = resolution;
    m_pOwner->UpdateRulers();

    m_cmbPaperSize.SetCurSel(paper);
    m_cmbResolution.SetCurSel(resolution);
}

void CBasicSetting::OnCbnSelchangeSource() {
    ScanParam& param = m_pOwner->m_ScanParam;
    const int selection = m_cmbSource.GetCurSel();
    if (selection == CB_ERR || selection == param.source)
        return;
    param.source = selection;
    m_pOwner->UpdateSourceControls();
    RebuildResolutionList(-1);
    param.paperSize = -1; // the paper handler now always takes the new list's selection
    OnCbnSelchangePaperSize();
    m_pOwner->ClearPreview(FALSE);
}

void CBasicSetting::OnCbnSelchangeColorMode() {
    ScanParam& param = m_pOwner->m_ScanParam;
    const int selection = m_cmbColorMode.GetCurSel();
    if (selection == CB_ERR)
        return;
    if (2 - selection != param.colorMode) {
        param.colorMode = 2 - selection;
        ApplyColorModeRules();
        m_pOwner->MarkSettingModified();
        m_pOwner->RefreshPreviewImage();
        m_pOwner->UpdateSizeInfo();
    }
    // On PlatformIbis the resolutions offered depend on the colour mode.
    if (g_bIsPlatformIbis)
        RebuildResolutionList(param.paperSize);
}

void CBasicSetting::OnCbnSelchangeResolution() {
    ScanParam& param = m_pOwner->m_ScanParam;
    const int selection = m_cmbResolution.GetCurSel();
    if (selection == CB_ERR || selection == param.resolution)
        return;
    param.resolution = selection;
    m_pOwner->MarkSettingModified();
    m_pOwner->UpdateRulers();
    m_pOwner->UpdateSizeInfo();
}

void CBasicSetting::OnCbnSelchangePaperSize() {
    ScanParam& param = m_pOwner->m_ScanParam;
    const int selection = m_cmbPaperSize.GetCurSel();
    if (selection == CB_ERR || selection == param.paperSize)
        return;
    param.paperSize = selection;
    m_pOwner->MarkSettingModified();
    m_pOwner->UpdatePreviewPaper();
    m_pOwner->UpdateSizeInfo();
    UpdateHorizontalOption();
}

void CBasicSetting::UpdateControlsFromParam() {
    const ScanParam& param = m_pOwner->m_ScanParam;
    m_cmbSource.SetCurSel(param.source);
    const bool knownColor = param.colorMode >= kBlackAndWhite && param.colorMode <= kColor;
    m_cmbColorMode.SetCurSel(knownColor ? 2 - param.colorMode : -1);
    m_cmbResolution.SetCurSel(param.resolution);
    m_chkHorizontal.SetCheck(param.horizontal ? BST_CHECKED : BST_UNCHECKED);
    RebuildResolutionList(param.paperSize);
    m_pOwner->UpdateRulers();
    m_pOwner->UpdateSizeInfo();
    m_pOwner->UpdatePreviewPaper();
    ApplyColorModeRules();
    UpdateHorizontalOption();
}

void CBasicSetting::SelectPaperSize() {
    m_cmbPaperSize.SetCurSel(m_pOwner->m_ScanParam.paperSize);
}

void CBasicSetting::OnBnClickedRestoreDefaults() {
    ScanParam& param = m_pOwner->m_ScanParam;
    if (g_bAppMode && m_cmbSource.GetCurSel() == 1 && m_chkManualDuplex.GetCheck() == BST_CHECKED) {
        m_chkManualDuplex.SetCheck(BST_UNCHECKED);
        OnBnClickedManualDuplex();
    }
    if (g_bHasHorizontal) {
        m_chkHorizontal.EnableWindow(FALSE);
        m_chkHorizontal.SetCheck(BST_UNCHECKED);
        param.horizontal = 0;
    }

    BasicValues defaults{0, kColor, 2, GetDefaultPaperIndex(), 0};
    if (g_bIsPlatformIbis) {
        defaults.source = 1;
        defaults.paperSize = 0;
    }
    if (std::memcmp(&defaults, &param.source, sizeof defaults) == 0)
        return; // nothing changes: nothing is marked modified
    std::memcpy(&param.source, &defaults, sizeof defaults);
    m_pOwner->MarkSettingModified();
    UpdateControlsFromParam();
    m_pOwner->UpdateSourceControls();
    m_pOwner->RefreshPreviewImage();
    m_pOwner->ResetPreviewImage();
}

void CBasicSetting::ApplyColorModeRules() {
    std::int32_t* adv = m_pOwner->m_ScanParam.adv;
    CAdvancedSetting* page = m_pOwner->m_pAdvancedSetting.get();
    if (page != nullptr && page->m_hWnd == nullptr)
        page = nullptr;
    auto enable = [page](BOOL descreen, BOOL fading, BOOL adjustments) {
        if (page == nullptr)
            return;
        page->m_cmbDescreen.EnableWindow(descreen);
        page->m_cmbFading.EnableWindow(fading);
        page->m_btnBrightContrast.EnableWindow(adjustments);
        page->m_btnHistogram.EnableWindow(adjustments);
        page->m_btnCurve.EnableWindow(adjustments);
    };

    switch (m_pOwner->m_ScanParam.colorMode) {
    case kColor:
        enable(TRUE, TRUE, TRUE);
        adv[kThreshold] = GetDefaultThreshold();
        break;
    case kGray:
        enable(TRUE, FALSE, TRUE);
        if (page != nullptr)
            page->m_cmbFading.SetCurSel(0);
        adv[kFading] = 0;
        // Grey keeps the combined channel's brightness, contrast and curve; red, green and blue go.
        for (int block : {kBrightness, kContrast, kCurve})
            for (int channel = 1; channel <= 3; ++channel)
                adv[block + channel] = 0;
        adv[kThreshold] = GetDefaultThreshold();
        break;
    case kBlackAndWhite:
        enable(FALSE, FALSE, FALSE);
        if (page != nullptr) {
            page->m_cmbDescreen.SetCurSel(0);
            page->m_cmbFading.SetCurSel(0);
        }
        adv[kDescreen] = 0;
        adv[kFading] = 0;
        std::fill(adv + kBrightness, adv + kCurve + 4, 0);
        break; // the threshold keeps its value
    default:   // a colour mode without rules changes nothing
        break;
    }
}

void CBasicSetting::UpdateHorizontalOption() {
    if (!g_bHasHorizontal)
        return;
    ScanParam& param = m_pOwner->m_ScanParam;
    switch (param.paperSize) {
    case 2:
    case 5:
    case 6:
    case 7:
    case 8:
        m_chkHorizontal.EnableWindow(FALSE);
        m_chkHorizontal.SetCheck(BST_UNCHECKED);
        param.horizontal = 0;
        break;
    default:
        m_chkHorizontal.EnableWindow(TRUE);
        break;
    }
}

void CBasicSetting::OnBnClickedManualDuplex() {
    const BOOL on = g_bAppMode && m_cmbSource.GetCurSel() == 1 && m_chkManualDuplex.GetCheck() == BST_CHECKED;
    SetManualDuplexFlag(on);
    m_pOwner->SetSavePaneManualDuplex(on);
}

void CBasicSetting::OnBnClickedHorizontal() {
    m_pOwner->m_ScanParam.horizontal = m_chkHorizontal.GetCheck() == BST_CHECKED ? 1 : 0;
}

BOOL CBasicSetting::PreTranslateMessage(MSG* pMsg) {
    DebugPrint(u"CBasicSetting::PreTranslateMessage : message = %d,wParam = %d,lParam = %d,time = %d",
               static_cast<int>(pMsg->message), static_cast<int>(pMsg->wParam), static_cast<int>(pMsg->lParam),
               static_cast<int>(pMsg->time));
    if (m_pOwner->OnRoadKey(pMsg))
        return TRUE;
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN))
        return TRUE; // the page never closes
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CBasicSetting::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}
