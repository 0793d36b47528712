#include "ui/dialogs/CCHistogramDlg.h"

#include "imaging/CImage.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/AdjustmentDialogs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr int kChannelCombo = 10264, kChannelLabel = 10338, kGraph = 10285, kStatistics = 10290;
constexpr int kCloseButton = 10284;
constexpr UINT kBackground = 10436;
constexpr UINT kStringTitle = 1065, kStringChannel = 1067, kStringClose = 1017;
constexpr UINT kStringMean = 1077, kStringDeviation = 1078, kStringMedian = 1079, kStringPixels = 1080;
constexpr int kBitmapSize = 300;
constexpr int kBinsCombined = 3; // the luminance, shown for the combined channel

// A statistic of 8-bit values lies in 0..255; anything else (or not a number at all) shows as 0.
double Shown(double value) {
    return (std::isfinite(value) && value >= 0 && value <= 255) ? value : 0;
}

// The bins shown for a channel: red, green, blue for 1 to 3, the luminance for the combined channel.
int BinsOf(int channel) {
    return (channel >= kChannelRed && channel <= kChannelBlue) ? channel - 1 : kBinsCombined;
}
} // namespace

BEGIN_MESSAGE_MAP(CCHistogramDlg, CDialog)
ON_BN_CLICKED(kCloseButton, OnBnClickedClose)
ON_CBN_SELCHANGE(kChannelCombo, OnCbnSelchangeChannel)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_CLOSE()
END_MESSAGE_MAP()

CCHistogramDlg::CCHistogramDlg(CAdjustmentOwner& owner, CWnd* parent) : CDialog(IDD, parent), m_owner(owner) {
    std::memset(&m_result, 0, sizeof m_result);
}

CCHistogramDlg::~CCHistogramDlg() = default;

void CCHistogramDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kChannelCombo, m_cmbChannel);
    DDX_Control(pDX, kCloseButton, m_btnClose);
    DDX_Control(pDX, kChannelLabel, m_stcChannel);
    DDX_Control(pDX, kStatistics, m_stcStatistics);
}

BOOL CCHistogramDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    DressAdjustmentDialog(this, m_bmpBackground, kBackground, {&m_btnClose});
    FillChannelCombo(m_cmbChannel, m_owner.GetAdjustedScanParam().colorMode);
    const ControlText texts[] = {{this, kStringTitle}, {&m_stcChannel, kStringChannel}, {&m_btnClose, kStringClose}};
    SetControlTexts(texts, 3);
    RequestHistogram();
    m_cmbChannel.SetCurSel(kChannelCombined);
    m_nChannel = kChannelCombined;
    InvalidateGraph();
    UpdateStatisticsText();
    return TRUE;
}

void CCHistogramDlg::RequestHistogram() {
    std::memset(&m_result, 0, sizeof m_result);
    CImage* image = m_owner.GetDisplayImage();
    if (image == nullptr)
        return;
    const int width = image->GetWidth();
    const int height = image->GetHeight();
    BYTE* bits = image->GetBits();
    // Only a preview with pixels, and only as the 24-bit picture it is described as.
    if (width <= 0 || height <= 0 || bits == nullptr || image->GetSamplesPerPixel() * image->GetBitsPerSample() != 24)
        return;
    CEffectLibrary effects;
    const EffectImageInfo info{height, CEffectLibrary::ComputeBytesPerLine(width, 24), width, 24};
    effects.GetHistogramData(&m_result, info, bits);
}

CString CCHistogramDlg::FormatStatistics(const HistogramResult& result, int channel) {
    if (channel < kChannelCombined || channel > kChannelBlue)
        channel = kChannelCombined;
    CString text;
    text.Format(u"%s %.2f", LoadResString(kStringMean).GetString(), Shown(result.mean[channel]));
    text += u"\n";
    text += LoadResString(kStringDeviation);
    text.AppendFormat(u" %.2f", Shown(result.deviation[channel]));
    text += u"\n";
    text += LoadResString(kStringMedian);
    text.AppendFormat(u" %d", static_cast<int>(Shown(result.median[channel])));
    text += u"\n";
    text += LoadResString(kStringPixels);
    text.AppendFormat(u" %d", std::max(result.pixels, 0));
    text.Replace(u'.', g_chDecimalSep);
    return text;
}

void CCHistogramDlg::UpdateStatisticsText() {
    m_stcStatistics.SetWindowText(FormatStatistics(m_result, m_nChannel));
    const CRect statistics = ControlRectInClient(this, kStatistics);
    InvalidateRect(&statistics, TRUE);
}

void CCHistogramDlg::InvalidateGraph() {
    const CRect graph = ControlRectInClient(this, kGraph);
    InvalidateRect(&graph, FALSE);
}

void CCHistogramDlg::OnCbnSelchangeChannel() {
    const int selection = m_cmbChannel.GetCurSel();
    if (selection < kChannelCombined || selection > kChannelBlue || selection == m_nChannel)
        return; // no selection (CB_ERR), or the same channel
    m_nChannel = selection;
    InvalidateGraph();
    UpdateStatisticsText();
}

void CCHistogramDlg::OnPaint() {
    CPaintDC dc(this);
    DrawHistogram(&dc, m_result.bins[BinsOf(m_cmbChannel.GetCurSel())]);
}

void CCHistogramDlg::DrawHistogram(CDC* dc, const std::uint32_t bins[256]) {
    const CRect graph = ControlRectInClient(this, kGraph);
    CDC mem;
    CBitmap bitmap;
    if (!mem.CreateCompatibleDC(dc) || !bitmap.CreateCompatibleBitmap(dc, kBitmapSize, kBitmapSize))
        return;
    CBitmap* oldBitmap = mem.SelectObject(&bitmap);
    mem.PatBlt(0, 0, kBitmapSize, kBitmapSize, WHITENESS);
    DrawBars(&mem, bins);
    dc->StretchBlt(graph.left, graph.top, graph.Width() - 1, graph.Height() - 1, &mem, 0, 0, kDrawnWidth, kDrawnHeight,
                   SRCCOPY);
    mem.SelectObject(oldBitmap);
}

void CCHistogramDlg::DrawBars(CDC* dc, const std::uint32_t bins[256]) {
    std::uint64_t total = 0;
    std::uint64_t peak = 0;
    for (int i = 0; i < 256; ++i) {
        total += bins[i];
        peak = std::max<std::uint64_t>(peak, bins[i]);
    }
    // One tall bin (a white page) would flatten every other: the peak is brought down to about a 64th of the
    // pixels, by a factor that grows with the share of the bins above that.
    const std::uint64_t limit = total >> 6;
    if (limit < peak) {
        std::uint64_t above = 0;
        for (int i = 0; i < 256; ++i)
            if (bins[i] > limit)
                above += bins[i];
        const double share = static_cast<double>(above) / static_cast<double>(total);
        const double factor = 0.99944371 + (0.08887 + 0.21598 * share) * share;
        peak = static_cast<std::uint64_t>(static_cast<double>(limit) / factor);
    }
    const double scale = peak >= 1 ? static_cast<double>(kBarHeight) / static_cast<double>(peak) : 0;
    for (int i = 0; i < 256; ++i) {
        const double height = std::clamp(scale * bins[i], 0.0, static_cast<double>(kBarHeight));
        const int h = static_cast<int>(height);
        // The line leaves out its end point: h + 1 pixels, the baseline's included.
        dc->MoveTo(i, kBarHeight);
        dc->LineTo(i, kBarHeight - h - 1);
    }
}

void CCHistogramDlg::OnBnClickedClose() {
    CDialog::OnOK();
}

void CCHistogramDlg::OnClose() {
    CDialog::OnOK();
}

BOOL CCHistogramDlg::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

BOOL CCHistogramDlg::PreTranslateMessage(MSG* pMsg) {
    return CDialog::PreTranslateMessage(pMsg);
}
