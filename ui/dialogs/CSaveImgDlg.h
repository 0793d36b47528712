// What the two save dialogs of the app-mode pane share (CDlg_SaveImgToFile, CDlg_SaveImgToEmail): the folder,
// name and type fields, the folder browser, the checks of OK and the look. The pane hands the members in before
// DoModal and takes them back after IDOK. Only the buttons end a save dialog: Enter and Escape do nothing, and the
// caption's close box is Cancel.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"

class CSaveImgDlg : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    // The members the dialog edits; each check of OK updates them as it passes (and they keep that value when a
    // later check fails).
    WCHAR m_szFolder[MAX_PATH] = {};
    WCHAR m_szName[MAX_PATH] = {};
    WCHAR m_szType[MAX_PATH] = {};
    // Handed in by the pane: manual duplex on a feeder source, and a duplex source (the e-mail dialog then keeps
    // the type the scan needs; the folder dialog does not read them).
    int m_nManualDuplexOnFeeder = 0;
    int m_nDuplexSource = 0;

    CxSkinButton m_btnBrowse;    // 1006
    CxSkinButton m_btnOK;        // 1039
    CxSkinButton m_btnCancel;    // 10003
    CComboBox m_cmbType;         // 10264
    CStaticTrans m_stcLabels[4]; // save location, file name, file type, and the dialog's own fourth label
    CBitmap m_bmpBackground;

    enum { IDC_BROWSE = 1006, IDC_OK = 1039, IDC_CANCEL = 10003, IDC_TYPE = 10264 };
    static constexpr int kMaxNameLength = 16;
    static constexpr int kMaxFolderLength = 200;

protected:
    struct Controls {
        UINT templateId;
        UINT caption; // string id
        int folderEdit;
        int nameEdit;
        int labels[4];
        UINT labelStrings[4];
    };
    CSaveImgDlg(const Controls& controls, CWnd* parent);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter does nothing
    void OnCancel() override {} // nor does Escape

    // Checks 1 to 8 of OK, in order: the name (trimmed and written back; not empty; none of \ / : * ? " < > |),
    // the folder (chosen; at most 200 characters; an existing folder not starting with '.' or '\'; writable), then
    // the overwrite question for an existing "<folder>\<name>.<type>". The first failure is shown and answers
    // FALSE; the dialog stays open.
    BOOL CheckFolderAndName();
    void ShowError(UINT stringId);

    virtual void OnBnClickedOk() = 0;
    void OnBnClickedBrowse();
    void OnBnClickedCancel();
    void OnClose();
    BOOL OnEraseBkgnd(CDC* dc);

    Controls m_controls;

private:
    BOOL CheckName(CString& name);
    BOOL CheckFolder(WCHAR path[MAX_PATH]);
};

// Whether a new file can be made in `folderWithSlash`: a probe named after the time is made (under a name not yet
// taken) and deleted again; nothing that was there before is touched.
BOOL CanWriteInFolder(const WCHAR* folderWithSlash);
