// The basic settings page of the scanning window: scan source, colour mode, resolution, paper size, and in app mode
// manual duplex, on models that have it horizontal scanning. Which sources, resolutions and papers it offers
// follows the model's INI keys and platform flags. The page keeps no values of its own: every change goes straight
// into the window's ScanParam, and the window then marks the settings modified and follows with its preview, rulers
// and size strip.
#pragma once

#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CTransCheckBox.h"
#include "ui/controls/CxSkinButton.h"

#include "platform/user/afxwin.h"

class CMainUIDialog;

class CBasicSetting : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10369 };

    explicit CBasicSetting(CMainUIDialog* owner);
    ~CBasicSetting() override;
    CBasicSetting(const CBasicSetting&) = delete;
    CBasicSetting& operator=(const CBasicSetting&) = delete;

    // Shows the window's current values (after a saved setting is loaded, after restore).
    void UpdateControlsFromParam();
    // Selects the window's paper index (after the preview's selection made it the source's own area).
    void SelectPaperSize();
    // What the colour mode allows on the advanced page, and the adjustments it resets.
    void ApplyColorModeRules();
    // Horizontal scanning only for the papers that can be fed across.
    void UpdateHorizontalOption();

    BOOL PreTranslateMessage(MSG* pMsg) override;

    CMainUIDialog* m_pOwner;
    CComboBox m_cmbSource;     // 10297
    CComboBox m_cmbColorMode;  // 10265
    CComboBox m_cmbPaperSize;  // 10146
    CComboBox m_cmbResolution; // 10266
    CBitmap m_bmpBackground;
    CStaticTrans m_stcSource;         // 10322
    CStaticTrans m_stcColorMode;      // 10155
    CStaticTrans m_stcResolution;     // 10156
    CStaticTrans m_stcScanArea;       // 10158
    CTransCheckBox m_chkManualDuplex; // 10200
    CxSkinButton m_btnRestore;        // 10243
    CTransCheckBox m_chkHorizontal;   // 21004
    BOOL m_bHasManualDuplex = TRUE;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnCbnSelchangeSource();
    void OnCbnSelchangeColorMode();
    void OnCbnSelchangeResolution();
    void OnCbnSelchangePaperSize();
    void OnBnClickedRestoreDefaults();
    void OnBnClickedManualDuplex();
    void OnBnClickedHorizontal();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnSize(UINT type, int cx, int cy);

private:
    int m_nMirroredWidth = 0; // right to left: the client width the children were mirrored in, 0 left to right
    void InitSkins();
    // The model's feature keys: sources, auto-crop, manual duplex, A3, horizontal scanning; then the fixed lists.
    void ReadFeatureKeys();
    // Papers and resolutions of the current source, colour mode and model; `paper` is selected (-1: the source's
    // default paper). Clamps the stored resolution index to what is offered.
    void RebuildResolutionList(int paper);

    int m_nSourceCount = 2;
};
