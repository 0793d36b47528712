// The settings details: a modal list of every current scan setting of the scanning window, with the rows that do
// not apply to the colour mode left out and the rows below moved up into their places. The object is kept by the
// window; each run builds the window anew.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/dialogs/CPaneHost.h"

class CDlg_SettingInfo : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10381 };

    // The rows, top to bottom in the template.
    enum Row {
        kSource,
        kColorMode,
        kResolution,
        kScanArea,
        kDescreen,
        kFading,
        kRotation,
        kBrightness,
        kContrast,
        kGamma,
        kThreshold,
        kToneCurve,
        kRowCount
    };
    struct RowControls {
        int label;
        UINT labelString;
        int value;
    };
    static const RowControls kRows[kRowCount];

    explicit CDlg_SettingInfo(CPaneHost* host, CWnd* parent = nullptr);

    CStaticTrans m_stcTexts[2 * kRowCount];
    CxSkinButton m_btnOK;
    CBitmap m_bmpBackground;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(CDC* dc);

private:
    void SetValue(Row row, const CString& text);
    void HideRow(Row row);
    // Moves the row `from` into the template place of the row `to`: each control keeps its size and takes the
    // top-left corner of the control whose place it takes.
    void MoveRow(Row from, Row to);

    CPaneHost* m_pHost;
    CRect m_rcTemplate[2 * kRowCount]; // where the template put each label and value
};
