// The device-scan program's message box: one message over a bitmap background, with a skinned OK button. The
// caller sets m_strMessage and runs DoModal (from any thread); the result means nothing.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"

class CDlg_error : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 8004 };
    enum { kMessage = 8007 };

    explicit CDlg_error(CWnd* parent = nullptr);
    ~CDlg_error() override;

    CStaticTrans m_stcMessage;
    CString m_strMessage;
    CxSkinButton m_btnOK;
    CBitmap m_bmpBackground;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(CDC* dc);
};
