// The settings window of the device-scan program, shown when it is started without a scan command: the folder
// where pushed scans are saved and whether the file, the folder or both are opened after a scan. The choice lives
// in vazedozi_settings.dat (VazeDoziSettings.h); nothing is saved until every check of OK passes.
#pragma once

#include "platform/user/afxwin.h"

class CScanManagerDlg : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 8000 };
    enum {
        kFolderLabel = 8000,
        kFolderEdit = 8001,
        kBrowse = 8002,
        kOpenFile = 8004,
        kOpenFolder = 8008,
        kIcon = 8006,
    };
    static constexpr int kMaxFolderLength = 200; // with its trailing backslash

    explicit CScanManagerDlg(CWnd* parent = nullptr);
    ~CScanManagerDlg() override;

    // Reads vazedozi_settings.dat into the fields; a file that cannot be read gives the defaults, which are then
    // written to a new file.
    void LoadSettings();
    // Creates the file (replacing any) with the fields; a file that cannot be written is ignored.
    void SaveSettings();

    CString m_strFolder;
    int m_bOpenFile = 0;
    int m_bOpenFolder = 1;

    CEdit m_editFolder;
    CStatic m_stcFolder;
    CButton m_btnBrowse, m_btnHelp, m_btnCancel, m_btnOK;
    HICON m_hIcon = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnBnClickedBrowse();
    void OnBnClickedOk();
    void OnHelp();
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    // Shows `stringId` in the error window and puts the focus back on the folder.
    void RefuseFolder(UINT stringId);
};
