// The about box: the model's product name, the version and the copyright, all from the INI file. Only its button
// ends it: Enter, Escape and right clicks are swallowed.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"

class CDlg_About : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10437 };
    enum { IDC_PRODUCT = 10339, IDC_VERSION = 10340, IDC_COPYRIGHT = 10341 };
    explicit CDlg_About(CWnd* parent = nullptr);

    CxSkinButton m_btnOK;
    CStaticTrans m_stcProduct;
    CStaticTrans m_stcVersion;
    CStaticTrans m_stcCopyright;
    CBitmap m_bmpBackground;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(CDC* dc);
};

// Shared by the about box and the settings details: a right click, or Enter or Escape pressed.
BOOL IsIgnoredInfoInput(const MSG* msg);
