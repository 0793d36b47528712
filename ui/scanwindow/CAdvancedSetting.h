// The advanced settings page of the scanning window: descreen, fading correction, rotation and (on models with the
// INI key) auto deskew, a restore of every image adjustment, and the four buttons that open the brightness and
// contrast, gamma and threshold, histogram and tone-curve dialogs. Like the basic page it writes straight into the
// window's ScanParam; which of its controls may be used is decided by the basic page's colour-mode rules.
#pragma once

#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CTransCheckBox.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/controls/Trans_GroupBox.h"

#include "platform/user/afxwin.h"

#include <memory>

class CMainUIDialog;
class CCImageBrightContrastDlg;
class CCGammaThresholdDlg;
class CDlg_Curve;
class CCHistogramDlg;

class CAdvancedSetting : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10370 };

    explicit CAdvancedSetting(CMainUIDialog* owner);
    ~CAdvancedSetting() override;
    CAdvancedSetting(const CAdvancedSetting&) = delete;
    CAdvancedSetting& operator=(const CAdvancedSetting&) = delete;

    // Shows the window's descreen, fading, rotation and deskew values (after a saved setting is loaded).
    void UpdateControlsFromParam();

    BOOL PreTranslateMessage(MSG* pMsg) override;

    CMainUIDialog* m_pOwner;
    CComboBox m_cmbDescreen; // 10027
    CComboBox m_cmbFading;   // 10268
    CComboBox m_cmbRotation; // 10264
    // The adjustment dialogs, made with the page; each has a window only while it runs.
    std::unique_ptr<CCImageBrightContrastDlg> m_pBrightContrastDlg;
    std::unique_ptr<CCGammaThresholdDlg> m_pGammaThresholdDlg;
    std::unique_ptr<CDlg_Curve> m_pCurveDlg;
    std::unique_ptr<CCHistogramDlg> m_pHistogramDlg;
    CxSkinButton m_btnBrightContrast; // 10243
    CxSkinButton m_btnGamma;          // 10269
    CxSkinButton m_btnHistogram;      // 10270
    CxSkinButton m_btnCurve;          // 10271
    CBitmap m_bmpBackground;
    Trans_GroupBox m_grpProcessing; // 10347
    Trans_GroupBox m_grpAdjustment; // 10346
    CStaticTrans m_stcDescreen;     // 10157
    CStaticTrans m_stcFading;       // 10276
    CStaticTrans m_stcRotation;     // 10348
    CTransCheckBox m_chkAutoDeskew; // 21003
    CxSkinButton m_btnRestore;      // 10291

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;     // the page never closes itself
    void OnCancel() override; // nor on Escape

    void OnBnClickedBrightContrast();
    void OnBnClickedGamma();
    void OnBnClickedHistogram();
    void OnBnClickedCurve();
    void OnCbnSelchangeDescreen();
    void OnCbnSelchangeFading();
    void OnBnClickedRestoreDefaults();
    void OnCbnSelendcancelRotation() {}
    void OnCbnSelchangeRotation();
    void OnBnClickedAutoDeskew();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnSize(UINT type, int cx, int cy);

private:
    int m_nMirroredWidth = 0; // right to left: the client width the children were mirrored in, 0 left to right
    void InitSkins();
    void InitAdvancedTexts();
    // A list's new selection (none, or the stored one, changes nothing) into adv[index]; the settings are marked
    // modified and, with `render`, the preview shows the change.
    void StoreSelection(CComboBox& combo, int index, BOOL render);
};
