// The data source's skinned question and notice boxes, in place of the system message box: CWarningDlg asks with
// OK and Cancel, CWarningOK tells with OK alone. The caller assigns m_strMessage and runs DoModal: IDOK from the OK
// button; IDCANCEL from Cancel or the caption's close box. Only a click answers them: Enter, Escape, Space and right
// clicks are swallowed. Both are laid out mirrored, on a mirrored background, in a right-to-left language.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"

// What the two boxes share; not used on its own.
class CWarningBox : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    CString m_strMessage; // empty at construction
    CStaticTrans m_stcMessage;
    CxSkinButton m_btnOK;
    CBitmap m_bmpBackground;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    struct Look {
        UINT templateId;
        int messageControl;
        UINT background;
        UINT backgroundRightToLeft;
    };
    CWarningBox(const Look& look, CWnd* parent);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(CDC* dc);
    void OnSysCommand(UINT id, LPARAM lParam);
    // The Cancel button, for the box that has one (null otherwise).
    virtual CxSkinButton* CancelButton() { return nullptr; }

private:
    Look m_look;
};

class CWarningDlg : public CWarningBox {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10378 };
    explicit CWarningDlg(CWnd* parent = nullptr);

    CxSkinButton m_btnCancel;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    CxSkinButton* CancelButton() override { return &m_btnCancel; }
    void OnClickedCancel();
};

class CWarningOK : public CWarningBox {
public:
    enum { IDD = 10377 };
    explicit CWarningOK(CWnd* parent = nullptr);
};
