// The gamma and threshold dialog of the advanced settings page: gamma (times ten, 1-99) and the black-and-white
// threshold (0-255), each with a slider and a number edit that follow each other. Every change goes straight into
// the scanning window's settings, marks them modified and renders the preview again, so closing keeps what was set
// (Enter and Escape do not close it; the Close button and the close box do). The threshold can be changed only in
// black and white.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CTransparentSlider.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/dialogs/CAdjustmentOwner.h"
#include "ui/dialogs/CNumberEdit.h"

class CCGammaThresholdDlg : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10372 };

    CCGammaThresholdDlg(CAdjustmentOwner& owner, CWnd* parent = nullptr);
    ~CCGammaThresholdDlg() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    CTransparentSlider m_sldGamma;     // 10287
    CTransparentSlider m_sldThreshold; // 10236
    CNumberEdit m_edtGamma;            // 10042
    CNumberEdit m_edtThreshold;        // 10043
    int m_nThreshold;
    int m_nGamma; // times ten
    CAdjustmentOwner& m_owner;
    CStaticTrans m_stcGamma;        // 10198
    CStaticTrans m_stcThreshold;    // 10200
    CStaticTrans m_stcGammaMin;     // 10316 "0.1"
    CStaticTrans m_stcGammaMax;     // 10317 "9.9"
    CStaticTrans m_stcThresholdMin; // 10318 "0"
    CStaticTrans m_stcThresholdMax; // 10319 "255"
    CBitmap m_bmpBackground;
    CxSkinButton m_btnClose; // 10284
    CxSkinButton m_btnReset; // 10146

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnClose();

    void OnBnClickedReset();
    void OnBnClickedClose();
    LRESULT OnNumberEditChanged(WPARAM wParam, LPARAM lParam);
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    BOOL OnEraseBkgnd(CDC* dc);

private:
    // Both sliders and both edits show the dialog's two values.
    void ShowValues();
    void SettingChanged();
};
