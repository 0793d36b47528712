// The tone-curve dialog of the advanced settings page: per channel (combined and, in colour, red, green and blue)
// one of five preset curves, stored as its index in the scanning window's settings (adv[8..11]) and drawn from the
// presets' formulas. A change marks the settings modified and renders the preview again; only the Close button and
// the close box end it.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/controls/Trans_GroupBox.h"
#include "ui/dialogs/CAdjustmentOwner.h"

class CDlg_Curve : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10380 };
    // 0 linear, 1 lighten, 2 darken, 3 more contrast, 4 negative.
    static constexpr int kPresetCount = 5;

    CDlg_Curve(CAdjustmentOwner& owner, CWnd* parent = nullptr);
    ~CDlg_Curve() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The output of the preset for each input 0..255, as drawn; any index outside 0-4 is the identity. The
    // negative runs from 256 down to 1.
    static void FillPresetTable(int preset, int table[256]);

    CAdjustmentOwner& m_owner;
    int m_nChannel = 0;
    CComboBox m_cmbChannel;    // 10293
    CComboBox m_cmbPreset;     // 10294
    CxSkinButton m_btnReset;   // 10146
    CxSkinButton m_btnClose;   // 10284
    CStaticTrans m_stcChannel; // 10320
    CBitmap m_bmpBackground;
    Trans_GroupBox m_grpPreset; // 10355

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnClose();

    void OnBnClickedClose();
    void OnBnClickedReset();
    void OnCbnSelchangeChannel();
    void OnCbnSelchangePreset();
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* dc);

    void InvalidateGraph();
    void DrawPresetCurve(int preset, COLORREF colour, CDC* dc);

private:
    void SettingChanged();
};
