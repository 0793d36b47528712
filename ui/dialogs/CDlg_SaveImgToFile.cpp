#include "ui/dialogs/CDlg_SaveImgToFile.h"

#include "settings/DebugOutput.h"
#include "ui/controls/ControlTexts.h"

namespace {
constexpr int kFolderEdit = 10262;
constexpr int kNameEdit = 10116;
constexpr int kOpenFileCheck = 10200;
constexpr int kOpenFolderCheck = 1001;
constexpr COLORREF kBackgroundFace = RGB(0xFF, 0xFF, 0xFF); // the background's colour under the check boxes
} // namespace

CDlg_SaveImgToFile::CDlg_SaveImgToFile(CWnd* parent)
    : CSaveImgDlg({IDD, 1113, kFolderEdit, kNameEdit, {1002, 1003, 1004, 1005}, {1117, 1115, 1116, 1119}}, parent) {}

void CDlg_SaveImgToFile::DoDataExchange(CDataExchange* pDX) {
    CSaveImgDlg::DoDataExchange(pDX);
    DDX_Control(pDX, kOpenFileCheck, m_chkOpenFile);
    DDX_Control(pDX, kOpenFolderCheck, m_chkOpenFolder);
    DDX_Check(pDX, kOpenFileCheck, m_nOpenFile);
    DDX_Check(pDX, kOpenFolderCheck, m_nOpenFolder);
}

BOOL CDlg_SaveImgToFile::OnInitDialog() {
    CSaveImgDlg::OnInitDialog();
    const ControlText texts[] = {{&m_chkOpenFile, 1120}, {&m_chkOpenFolder, 1121}};
    SetControlTexts(texts, 2);
    m_chkOpenFile.SetBkColor(kBackgroundFace);
    m_chkOpenFolder.SetBkColor(kBackgroundFace);
    UpdateData(FALSE);
    if (m_bFeeder)
        m_chkOpenFile.EnableWindow(FALSE);
    return TRUE;
}

void CDlg_SaveImgToFile::OnBnClickedOk() {
    DebugPrint(u"CDlg_SaveImgToFile OnBnClickedOk");
    UpdateData(TRUE);
    if (!CheckFolderAndName())
        return;
    CDialog::OnOK();
}
