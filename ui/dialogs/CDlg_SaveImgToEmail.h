// The app-mode pane's dialog for sending scans by e-mail: folder, file-name base, type and the e-mail program.
#pragma once

#include "ui/dialogs/CSaveImgDlg.h"

class CDlg_SaveImgToEmail : public CSaveImgDlg {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 1005 };
    explicit CDlg_SaveImgToEmail(CWnd* parent = nullptr);

    WCHAR m_szProgram[MAX_PATH] = {};
    // 1 once OK accepted the program (an empty one included); 0 at each opening.
    int m_nModeResult = 0;

    CxSkinButton m_btnAddProgram; // 1035

    enum { IDC_ADD_PROGRAM = 1035, IDC_PROGRAM = 10262 };

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnBnClickedOk() override;
    void OnBnClickedAddProgram();
};
