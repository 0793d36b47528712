// The histogram dialog of the advanced settings page: the histogram of one channel of the preview as it is shown
// (combined, and in colour red, green and blue) as a bar graph, and its statistics. The image-effect library counts
// the preview once per opening; the dialog changes no setting.
#pragma once

#include "imaging/CEffectLibrary.h"
#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/dialogs/CAdjustmentOwner.h"

#include <cstddef>
#include <cstdint>

// What the library's GetHistogramData fills (little-endian):
//
// offset  content
//      0  uint32 bins[0][256]   red       (shown for channel 1)
//   1024  uint32 bins[1][256]   green     (channel 2)
//   2048  uint32 bins[2][256]   blue      (channel 3)
//   3072  uint32 bins[3][256]   luminance (channel 0, combined)
//   4096  double mean[4]        by channel number 0-3
//   4128  double median[4]      shown as an integer
//   4160  double deviation[4]   the population standard deviation
//   4192  int32  pixels         the same for every channel
//   4196  4 bytes               up to the record's size
struct HistogramResult {
    std::uint32_t bins[4][256];
    double mean[4];
    double median[4];
    double deviation[4];
    std::int32_t pixels;
    std::uint8_t reserved[4];
};
static_assert(sizeof(HistogramResult) == CEffectLibrary::kHistogramSize);
static_assert(offsetof(HistogramResult, mean) == 4096);
static_assert(offsetof(HistogramResult, median) == 4128);
static_assert(offsetof(HistogramResult, deviation) == 4160);
static_assert(offsetof(HistogramResult, pixels) == 4192);

class CCHistogramDlg : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10373 };
    // The bars' area in the drawing bitmap: 256 columns, bars up to 200 pixels standing on the baseline row 200.
    static constexpr int kBarHeight = 200;
    static constexpr int kDrawnWidth = 256, kDrawnHeight = 201;

    CCHistogramDlg(CAdjustmentOwner& owner, CWnd* parent = nullptr);
    ~CCHistogramDlg() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Draws the bars of `bins` into the 256 x 201 pixels at the DC's origin (already white): bar i is a column of
    // h + 1 black pixels up from the baseline, h being the bin scaled to the peak and held to 0..200. A single tall
    // bin does not flatten the rest: the peak is limited to about a 64th of all pixels, and such bins are cut at
    // 200. Where the peak comes to nothing, only the baseline is drawn.
    static void DrawBars(CDC* dc, const std::uint32_t bins[256]);
    // The statistics of channel `channel` as shown: mean, standard deviation, median and pixel count, each on its
    // line after its label, with the language's decimal separator. Values that are not finite or not possible for
    // 8-bit pixels show as 0.
    static CString FormatStatistics(const HistogramResult& result, int channel);

    void UpdateStatisticsText();
    void InvalidateGraph();

    CAdjustmentOwner& m_owner;
    int m_nChannel = 0;
    CComboBox m_cmbChannel; // 10264
    HistogramResult m_result;
    CBitmap m_bmpBackground;
    CxSkinButton m_btnClose;      // 10284
    CStaticTrans m_stcChannel;    // 10338
    CStaticTrans m_stcStatistics; // 10290

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnClose();

    void OnBnClickedClose();
    void OnCbnSelchangeChannel();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnPaint();
    void DrawHistogram(CDC* dc, const std::uint32_t bins[256]);

private:
    // The counts of the preview as shown, or none (all zero) without a preview or without the library.
    void RequestHistogram();
};
