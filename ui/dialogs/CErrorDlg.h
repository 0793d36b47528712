// The data source's one modal message box: a skinned dialog with the caller's text and an OK button. The caller
// sets m_strMessage (and, rarely, m_bAppWindow) and runs DoModal; the result means nothing. Only a click on OK or
// the close box ends it: Enter, Escape, Space and right clicks are swallowed.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"

class CErrorDlg : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10376 };

    explicit CErrorDlg(CWnd* parent = nullptr);
    ~CErrorDlg() override;

    CString m_strMessage;
    CxSkinButton m_btnOK;
    CBitmap m_bmpBackground;
    CStaticTrans m_stcMessage;
    BOOL m_bAppWindow = FALSE; // a taskbar button (WS_EX_APPWINDOW)

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnEraseBkgnd(CDC* dc);
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnClickedOK();
};
