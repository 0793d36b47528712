// The app-mode pane's dialog for saving scans into a folder: folder (chosen by browsing), file-name base, type and
// what opens after scanning.
#pragma once

#include "ui/controls/CTransCheckBox.h"
#include "ui/dialogs/CSaveImgDlg.h"

class CDlg_SaveImgToFile : public CSaveImgDlg {
public:
    enum { IDD = 1001 };
    explicit CDlg_SaveImgToFile(CWnd* parent = nullptr);

    int m_nOpenFile = 0;    // check box 10200
    int m_nOpenFolder = 1;  // check box 1001
    BOOL m_bFeeder = FALSE; // a feeder source: the file of many pages is not opened, so 10200 is disabled

    CTransCheckBox m_chkOpenFile;
    CTransCheckBox m_chkOpenFolder;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnBnClickedOk() override;
};
