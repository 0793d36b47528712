// The brightness and contrast dialog of the advanced settings page: brightness and contrast (-100 to 100) for the
// combined channel and, in colour, for red, green and blue, each with a slider and a number edit, and a graph of
// the transfer curves the image-effect library makes of them. Every change goes straight into the scanning
// window's settings (adv[0..3] brightness, adv[4..7] contrast), marks them modified and renders the preview again;
// only the Close button and the close box end it.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CTransparentSlider.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/dialogs/CAdjustmentOwner.h"
#include "ui/dialogs/CNumberEdit.h"

class CCImageBrightContrastDlg : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10371 };

    CCImageBrightContrastDlg(CAdjustmentOwner& owner, CWnd* parent = nullptr);
    ~CCImageBrightContrastDlg() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Fills `table` with the identity and maps it through the library's curve for brightness and contrast; the
    // identity stays when the library or its entry point is missing.
    static void ComputeLut(int brightness, int contrast, BYTE table[256]);
    // Where the curves are drawn inside the graph's memory bitmap of `width` x `height` pixels: the frame (drawn
    // with a 2-pixel pen) is this rectangle inflated by 2, and it stays inside the part of the bitmap that is shown.
    static CRect CurveArea(int width, int height);

    CComboBox m_cmbChannel;             // 10279
    CTransparentSlider m_sldBrightness; // 10282
    CTransparentSlider m_sldContrast;   // 10283
    CNumberEdit m_edtBrightness;        // 10262
    CNumberEdit m_edtContrast;          // 10116
    int m_nBrightness = 0;              // of the current channel
    int m_nContrast = 0;
    int m_nChannel = 0; // -1 while Reset returns to the combined channel
    CAdjustmentOwner& m_owner;
    BYTE m_lutCombined[256] = {};
    BYTE m_lutRed[256] = {};
    BYTE m_lutGreen[256] = {};
    BYTE m_lutBlue[256] = {};
    CxSkinButton m_btnReset; // 10146
    CxSkinButton m_btnClose; // 10284
    CBitmap m_bmpBackground;
    CStaticTrans m_stcChannel;    // 10278
    CStaticTrans m_stcBrightness; // 10280
    CStaticTrans m_stcContrast;   // 10281

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override {}
    void OnClose();

    void OnBnClickedClose();
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnPaint();
    void OnCbnSelchangeChannel();
    void OnBnClickedReset();
    LRESULT OnNumberEditChanged(WPARAM wParam, LPARAM lParam);
    BOOL OnEraseBkgnd(CDC* dc);

    void UpdateCurves();
    // Draws one curve of `table` into the graph's memory DC; the frame is drawn once per paint before the curves.
    void Drawline(CDC* dc, COLORREF colour, const BYTE table[256]);
    void DrawFrame(CDC* dc);

private:
    CRect GraphRect();
    void ShowChannelValues();
    void SettingChanged();
};
