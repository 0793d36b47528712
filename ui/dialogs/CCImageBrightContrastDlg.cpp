#include "ui/dialogs/CCImageBrightContrastDlg.h"

#include "imaging/CEffectLibrary.h"
#include "settings/DebugOutput.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/AdjustmentDialogs.h"

namespace {
constexpr int kChannelLabel = 10278, kChannelCombo = 10279, kGraph = 10285;
constexpr int kBrightnessLabel = 10280, kContrastLabel = 10281;
constexpr int kBrightnessSlider = 10282, kContrastSlider = 10283;
constexpr int kBrightnessEdit = 10262, kContrastEdit = 10116;
constexpr int kResetButton = 10146, kCloseButton = 10284;
constexpr UINT kBackground = 10433;
constexpr UINT kStringTitle = 1063, kStringChannel = 1067, kStringBrightness = 1072, kStringContrast = 1073;
constexpr UINT kStringReset = 1074, kStringClose = 1017;
constexpr int kBrightnessIndex = 0, kContrastIndex = 4; // adv[] of the combined channel; + channel for the others
constexpr int kLimit = 100;
constexpr COLORREF kFramePen = 0x919295;
constexpr COLORREF kFrameFill = 0xEDE9EB;

bool IsChannel(int channel) {
    return channel >= kChannelCombined && channel <= kChannelBlue;
}
} // namespace

BEGIN_MESSAGE_MAP(CCImageBrightContrastDlg, CDialog)
ON_BN_CLICKED(kCloseButton, OnBnClickedClose)
ON_WM_HSCROLL()
ON_WM_PAINT()
ON_CBN_SELCHANGE(kChannelCombo, OnCbnSelchangeChannel)
ON_BN_CLICKED(kResetButton, OnBnClickedReset)
ON_MESSAGE(WM_NUMBEREDIT_CHANGED, OnNumberEditChanged)
ON_WM_ERASEBKGND()
ON_WM_CLOSE()
END_MESSAGE_MAP()

CCImageBrightContrastDlg::CCImageBrightContrastDlg(CAdjustmentOwner& owner, CWnd* parent)
    : CDialog(IDD, parent), m_owner(owner) {}

CCImageBrightContrastDlg::~CCImageBrightContrastDlg() = default;

void CCImageBrightContrastDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kChannelCombo, m_cmbChannel);
    DDX_Control(pDX, kBrightnessSlider, m_sldBrightness);
    DDX_Control(pDX, kContrastSlider, m_sldContrast);
    DDX_Control(pDX, kBrightnessEdit, m_edtBrightness);
    DDX_Control(pDX, kContrastEdit, m_edtContrast);
    DDX_Control(pDX, kResetButton, m_btnReset);
    DDX_Control(pDX, kCloseButton, m_btnClose);
    DDX_Control(pDX, kChannelLabel, m_stcChannel);
    DDX_Control(pDX, kBrightnessLabel, m_stcBrightness);
    DDX_Control(pDX, kContrastLabel, m_stcContrast);
}

BOOL CCImageBrightContrastDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    DressAdjustmentDialog(this, m_bmpBackground, kBackground, {&m_btnReset, &m_btnClose});
    KeepNumberOrder(this, {kBrightnessEdit, kContrastEdit});
    const ControlText texts[] = {{this, kStringTitle},
                                 {&m_stcChannel, kStringChannel},
                                 {&m_stcBrightness, kStringBrightness},
                                 {&m_stcContrast, kStringContrast},
                                 {&m_btnReset, kStringReset},
                                 {&m_btnClose, kStringClose}};
    SetControlTexts(texts, 6);
    FillChannelCombo(m_cmbChannel, m_owner.GetAdjustedScanParam().colorMode);

    // The graph is a square as high as the layout's area, with room for its frame.
    CRect graph = ControlRectInClient(this, kGraph);
    graph.right = graph.left + graph.Height();
    graph.InflateRect(3, 3);
    graph.OffsetRect(-1, 1);
    if (CWnd* area = GetDlgItem(kGraph))
        area->MoveWindow(&graph, TRUE);

    m_nChannel = kChannelCombined;
    m_cmbChannel.SetCurSel(kChannelCombined);
    m_sldBrightness.SetRange(-kLimit, kLimit, TRUE);
    m_sldContrast.SetRange(-kLimit, kLimit, TRUE);
    for (CNumberEdit* edit : {&m_edtBrightness, &m_edtContrast}) {
        edit->SetMode(CNumberEdit::kSigned);
        edit->SetRange(-kLimit, kLimit);
        edit->LimitText(4);
    }
    const ScanParam& param = m_owner.GetAdjustedScanParam();
    m_nBrightness = param.adv[kBrightnessIndex];
    m_nContrast = param.adv[kContrastIndex];
    ShowChannelValues();
    UpdateCurves();
    return TRUE;
}

void CCImageBrightContrastDlg::ShowChannelValues() {
    m_sldBrightness.SetPos(m_nBrightness);
    m_sldContrast.SetPos(m_nContrast);
    m_edtBrightness.SetValue(m_nBrightness);
    m_edtContrast.SetValue(m_nContrast);
}

void CCImageBrightContrastDlg::SettingChanged() {
    m_owner.MarkSettingModified();
    m_owner.RefreshPreviewImage();
}

CRect CCImageBrightContrastDlg::GraphRect() {
    return ControlRectInClient(this, kGraph);
}

void CCImageBrightContrastDlg::ComputeLut(int brightness, int contrast, BYTE table[256]) {
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<BYTE>(i);
    CEffectLibrary effects;
    effects.Curve_BrightAndConsent(brightness, contrast, table);
}

void CCImageBrightContrastDlg::UpdateCurves() {
    const ScanParam& param = m_owner.GetAdjustedScanParam();
    if (m_nChannel == kChannelCombined) {
        ComputeLut(param.adv[kBrightnessIndex], param.adv[kContrastIndex], m_lutCombined);
    } else {
        ComputeLut(param.adv[kBrightnessIndex + kChannelRed], param.adv[kContrastIndex + kChannelRed], m_lutRed);
        ComputeLut(param.adv[kBrightnessIndex + kChannelGreen], param.adv[kContrastIndex + kChannelGreen], m_lutGreen);
        ComputeLut(param.adv[kBrightnessIndex + kChannelBlue], param.adv[kContrastIndex + kChannelBlue], m_lutBlue);
    }
    const CRect graph = GraphRect();
    InvalidateRect(&graph, FALSE);
}

CRect CCImageBrightContrastDlg::CurveArea(int width, int height) {
    // The bitmap is shown without its last two columns and rows; a 2-pixel frame around this area ends at that edge.
    return CRect(3, 3, width - 5, height - 5);
}

void CCImageBrightContrastDlg::OnPaint() {
    CPaintDC dc(this);
    const CRect graph = GraphRect();
    if (graph.Width() <= 2 || graph.Height() <= 2)
        return;
    CDC mem;
    CBitmap bitmap;
    if (!mem.CreateCompatibleDC(&dc) || !bitmap.CreateCompatibleBitmap(&dc, graph.Width(), graph.Height()))
        return;
    CBitmap* oldBitmap = mem.SelectObject(&bitmap);
    mem.PatBlt(0, 0, graph.Width(), graph.Height(), WHITENESS);
    // One frame, then every curve of the selection with the selected channel last, on top.
    DrawFrame(&mem);
    switch (m_cmbChannel.GetCurSel()) {
    case kChannelRed:
        Drawline(&mem, kCurveGreen, m_lutGreen);
        Drawline(&mem, kCurveBlue, m_lutBlue);
        Drawline(&mem, kCurveRed, m_lutRed);
        break;
    case kChannelGreen:
        Drawline(&mem, kCurveBlue, m_lutBlue);
        Drawline(&mem, kCurveRed, m_lutRed);
        Drawline(&mem, kCurveGreen, m_lutGreen);
        break;
    case kChannelBlue:
        Drawline(&mem, kCurveGreen, m_lutGreen);
        Drawline(&mem, kCurveRed, m_lutRed);
        Drawline(&mem, kCurveBlue, m_lutBlue);
        break;
    default:
        Drawline(&mem, kCurveBlack, m_lutCombined);
        break;
    }
    dc.BitBlt(graph.left + 2, graph.top + 2, graph.Width() - 2, graph.Height() - 2, &mem, 0, 0, SRCCOPY);
    mem.SelectObject(oldBitmap);
}

void CCImageBrightContrastDlg::DrawFrame(CDC* dc) {
    const CRect graph = GraphRect();
    CRect frame = CurveArea(graph.Width(), graph.Height());
    frame.InflateRect(2, 2);
    CPen pen(PS_SOLID, 2, kFramePen);
    CBrush brush(kFrameFill);
    CPen* oldPen = dc->SelectObject(&pen);
    CBrush* oldBrush = dc->SelectObject(&brush);
    dc->Rectangle(&frame);
    dc->SelectObject(oldPen);
    dc->SelectObject(oldBrush);
}

void CCImageBrightContrastDlg::Drawline(CDC* dc, COLORREF colour, const BYTE table[256]) {
    const CRect graph = GraphRect();
    const CRect area = CurveArea(graph.Width(), graph.Height());
    CPen pen(PS_SOLID, 1, colour);
    CPen* oldPen = dc->SelectObject(&pen);
    DebugPrint(u"CCImageBrightContrastDlg::Drawline: x= %d, y = %d,Prect.Width() = %d, Prect.Height() = %d", area.left,
               area.top, area.Width(), area.Height());
    // 256 = 3 x 85 + 1 points: 85 cubic pieces with the table's points as control points.
    POINT points[256];
    for (int i = 0; i < 256; ++i) {
        points[i].x = area.left + area.Width() * i / 255;
        points[i].y = area.top + (255 - table[i]) * area.Height() / 255;
    }
    dc->PolyBezier(points, 256);
    dc->SelectObject(oldPen);
}

void CCImageBrightContrastDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
    const HWND sender = HwndOf(bar);
    if (sender != nullptr && IsChannel(m_nChannel)) {
        ScanParam& param = m_owner.GetAdjustedScanParam();
        if (sender == m_sldBrightness.m_hWnd) {
            const int value = m_sldBrightness.GetPos();
            m_nBrightness = value;
            if (param.adv[kBrightnessIndex + m_nChannel] != value) {
                m_edtBrightness.SetValue(value);
                param.adv[kBrightnessIndex + m_nChannel] = value;
                UpdateCurves();
                SettingChanged();
            }
        } else if (sender == m_sldContrast.m_hWnd) {
            const int value = m_sldContrast.GetPos();
            m_nContrast = value;
            if (param.adv[kContrastIndex + m_nChannel] != value) {
                m_edtContrast.SetValue(value);
                param.adv[kContrastIndex + m_nChannel] = value;
                UpdateCurves();
                SettingChanged();
            }
        }
    }
    CDialog::OnHScroll(code, pos, bar);
}

LRESULT CCImageBrightContrastDlg::OnNumberEditChanged(WPARAM wParam, LPARAM) {
    const HWND edit = reinterpret_cast<HWND>(wParam);
    if (!IsChannel(m_nChannel))
        return 0;
    ScanParam& param = m_owner.GetAdjustedScanParam();
    if (edit == m_edtBrightness.m_hWnd) {
        const int value = m_edtBrightness.GetValue();
        if (value == m_nBrightness)
            return 0;
        m_nBrightness = value;
        param.adv[kBrightnessIndex + m_nChannel] = value;
        m_sldBrightness.SetPos(value);
    } else if (edit == m_edtContrast.m_hWnd) {
        const int value = m_edtContrast.GetValue();
        if (value == m_nContrast)
            return 0;
        m_nContrast = value;
        param.adv[kContrastIndex + m_nChannel] = value;
        m_sldContrast.SetPos(value);
    } else {
        return 0;
    }
    UpdateCurves();
    SettingChanged();
    return 0;
}

void CCImageBrightContrastDlg::OnCbnSelchangeChannel() {
    const int selection = m_cmbChannel.GetCurSel();
    if (!IsChannel(selection) || selection == m_nChannel)
        return; // no selection (CB_ERR), or the same channel
    m_nChannel = selection;
    const ScanParam& param = m_owner.GetAdjustedScanParam();
    m_nBrightness = param.adv[kBrightnessIndex + m_nChannel];
    m_nContrast = param.adv[kContrastIndex + m_nChannel];
    ShowChannelValues();
    UpdateCurves();
}

void CCImageBrightContrastDlg::OnBnClickedReset() {
    ScanParam& param = m_owner.GetAdjustedScanParam();
    bool changed = false;
    for (int i = kBrightnessIndex; i < kContrastIndex + kChannelCount; ++i) {
        changed = changed || param.adv[i] != 0;
        param.adv[i] = 0;
    }
    if (changed)
        SettingChanged();
    // Back to the combined channel: the channel is forgotten first so that the selection is always taken.
    m_cmbChannel.SetCurSel(kChannelCombined);
    m_nChannel = -1;
    OnCbnSelchangeChannel();
}

void CCImageBrightContrastDlg::OnOK() {
    DebugPrint(u" CCImageBrightContrastDlg::OnOK()");
}

void CCImageBrightContrastDlg::OnBnClickedClose() {
    CDialog::OnOK();
}

void CCImageBrightContrastDlg::OnClose() {
    CDialog::OnOK();
}

BOOL CCImageBrightContrastDlg::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

BOOL CCImageBrightContrastDlg::PreTranslateMessage(MSG* pMsg) {
    return CDialog::PreTranslateMessage(pMsg);
}
