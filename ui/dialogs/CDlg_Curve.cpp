#include "ui/dialogs/CDlg_Curve.h"

#include "ui/controls/ControlTexts.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/AdjustmentDialogs.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kChannelCombo = 10293, kPresetCombo = 10294, kGraph = 10285;
constexpr int kChannelLabel = 10320, kPresetGroup = 10355;
constexpr int kResetButton = 10146, kCloseButton = 10284;
constexpr UINT kBackground = 10435;
constexpr UINT kStringTitle = 1066, kStringChannel = 1067, kStringPresets = 1081;
constexpr UINT kStringReset = 1074, kStringClose = 1017;
constexpr UINT kStringsPresets[CDlg_Curve::kPresetCount] = {1082, 1083, 1084, 1085, 1086};
constexpr int kCurveIndex = 8; // adv[] of the combined channel; + channel for the others
constexpr int kBitmapSize = 300;
// The part of the bitmap that is shown: every input and the outputs 0..256 (the negative starts at 256).
constexpr int kShownWidth = 256, kShownHeight = 257;
} // namespace

BEGIN_MESSAGE_MAP(CDlg_Curve, CDialog)
ON_BN_CLICKED(kCloseButton, OnBnClickedClose)
ON_BN_CLICKED(kResetButton, OnBnClickedReset)
ON_CBN_SELCHANGE(kChannelCombo, OnCbnSelchangeChannel)
ON_CBN_SELCHANGE(kPresetCombo, OnCbnSelchangePreset)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_CLOSE()
END_MESSAGE_MAP()

CDlg_Curve::CDlg_Curve(CAdjustmentOwner& owner, CWnd* parent) : CDialog(IDD, parent), m_owner(owner) {}

CDlg_Curve::~CDlg_Curve() = default;

void CDlg_Curve::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kChannelCombo, m_cmbChannel);
    DDX_Control(pDX, kPresetCombo, m_cmbPreset);
    DDX_Control(pDX, kResetButton, m_btnReset);
    DDX_Control(pDX, kCloseButton, m_btnClose);
    DDX_Control(pDX, kChannelLabel, m_stcChannel);
    DDX_Control(pDX, kPresetGroup, m_grpPreset);
}

BOOL CDlg_Curve::OnInitDialog() {
    CDialog::OnInitDialog();
    DressAdjustmentDialog(this, m_bmpBackground, kBackground, {&m_btnReset, &m_btnClose});
    const ScanParam& param = m_owner.GetAdjustedScanParam();
    FillChannelCombo(m_cmbChannel, param.colorMode);
    FillComboFromStrings(&m_cmbPreset, kStringsPresets, kPresetCount);
    const ControlText texts[] = {{this, kStringTitle},
                                 {&m_stcChannel, kStringChannel},
                                 {&m_grpPreset, kStringPresets},
                                 {&m_btnClose, kStringClose},
                                 {&m_btnReset, kStringReset}};
    SetControlTexts(texts, 5);
    m_nChannel = kChannelCombined;
    m_cmbChannel.SetCurSel(kChannelCombined);
    m_cmbPreset.SetCurSel(param.adv[kCurveIndex]); // an unknown index selects nothing
    InvalidateGraph();
    return TRUE;
}

void CDlg_Curve::FillPresetTable(int preset, int table[256]) {
    for (int i = 0; i < 256; ++i) {
        const double x = i;
        switch (preset) {
        case 1: { // lighten
            double v = (0.03168 + 6.6347 * x) / (1 + 0.024496 * x - 8.9e-6 * x * x) + 0.5;
            if (v > 255)
                v = 255;
            table[i] = static_cast<int>(v + 0.5);
            break;
        }
        case 2: { // darken
            double v = std::pow(x, 1.5) * 255 * std::pow(255.0, -1.5);
            if (v > 255)
                v = 255;
            table[i] = static_cast<int>(std::floor(v + 0.5));
            break;
        }
        case 3: // more contrast
            table[i] =
                std::clamp(static_cast<int>(((-3.977e-5 * x + 0.0152614) * x - 0.283512) * x - 0.753321), 0, 255);
            break;
        case 4: // negative
            table[i] = 256 - i;
            break;
        default:
            table[i] = i;
            break;
        }
    }
}

void CDlg_Curve::SettingChanged() {
    m_owner.MarkSettingModified();
    m_owner.RefreshPreviewImage();
}

void CDlg_Curve::InvalidateGraph() {
    const CRect graph = ControlRectInClient(this, kGraph);
    InvalidateRect(&graph, FALSE);
}

void CDlg_Curve::OnCbnSelchangeChannel() {
    const int selection = m_cmbChannel.GetCurSel();
    if (selection < kChannelCombined || selection > kChannelBlue)
        return; // no selection (CB_ERR)
    m_nChannel = selection;
    m_cmbPreset.SetCurSel(m_owner.GetAdjustedScanParam().adv[kCurveIndex + m_nChannel]);
    InvalidateGraph();
}

void CDlg_Curve::OnCbnSelchangePreset() {
    const int selection = m_cmbPreset.GetCurSel();
    if (selection < 0 || selection >= kPresetCount)
        return; // no selection (CB_ERR)
    int& stored = m_owner.GetAdjustedScanParam().adv[kCurveIndex + m_nChannel];
    if (selection == stored)
        return;
    stored = selection;
    InvalidateGraph();
    SettingChanged();
}

void CDlg_Curve::OnBnClickedReset() {
    ScanParam& param = m_owner.GetAdjustedScanParam();
    for (int channel = kChannelCombined; channel <= kChannelBlue; ++channel)
        param.adv[kCurveIndex + channel] = 0;
    m_cmbPreset.SetCurSel(0);
    m_nChannel = kChannelCombined;
    m_cmbChannel.SetCurSel(kChannelCombined);
    InvalidateGraph();
    SettingChanged();
}

void CDlg_Curve::OnPaint() {
    CPaintDC dc(this);
    const CRect graph = ControlRectInClient(this, kGraph);
    CDC mem;
    CBitmap bitmap;
    if (!mem.CreateCompatibleDC(&dc) || !bitmap.CreateCompatibleBitmap(&dc, kBitmapSize, kBitmapSize))
        return;
    CBitmap* oldBitmap = mem.SelectObject(&bitmap);
    mem.PatBlt(0, 0, kBitmapSize, kBitmapSize, WHITENESS);
    const int* curve = m_owner.GetAdjustedScanParam().adv + kCurveIndex;
    // The selected channel is drawn last, on top of the other two.
    switch (m_nChannel) {
    case kChannelRed:
        DrawPresetCurve(curve[kChannelGreen], kCurveGreen, &mem);
        DrawPresetCurve(curve[kChannelBlue], kCurveBlue, &mem);
        DrawPresetCurve(curve[kChannelRed], kCurveRed, &mem);
        break;
    case kChannelGreen:
        DrawPresetCurve(curve[kChannelRed], kCurveRed, &mem);
        DrawPresetCurve(curve[kChannelBlue], kCurveBlue, &mem);
        DrawPresetCurve(curve[kChannelGreen], kCurveGreen, &mem);
        break;
    case kChannelBlue:
        DrawPresetCurve(curve[kChannelRed], kCurveRed, &mem);
        DrawPresetCurve(curve[kChannelGreen], kCurveGreen, &mem);
        DrawPresetCurve(curve[kChannelBlue], kCurveBlue, &mem);
        break;
    default:
        DrawPresetCurve(curve[kChannelCombined], kCurveBlack, &mem);
        break;
    }
    // Upside down onto the graph, so that output 0 lies at the bottom.
    dc.StretchBlt(graph.left + 1, graph.bottom - 1, graph.Width() - 1, -(graph.Height() - 4), &mem, 0, 0, kShownWidth,
                  kShownHeight, SRCCOPY);
    mem.SelectObject(oldBitmap);
}

void CDlg_Curve::DrawPresetCurve(int preset, COLORREF colour, CDC* dc) {
    int table[256];
    FillPresetTable(preset, table);
    CPen pen(PS_SOLID, 1, colour);
    CPen* oldPen = dc->SelectObject(&pen);
    dc->MoveTo(0, table[0]);
    for (int x = 1; x < 256; ++x)
        dc->LineTo(x, table[x]);
    dc->SelectObject(oldPen);
}

void CDlg_Curve::OnBnClickedClose() {
    CDialog::OnOK();
}

void CDlg_Curve::OnClose() {
    CDialog::OnOK();
}

BOOL CDlg_Curve::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

BOOL CDlg_Curve::PreTranslateMessage(MSG* pMsg) {
    return CDialog::PreTranslateMessage(pMsg);
}
