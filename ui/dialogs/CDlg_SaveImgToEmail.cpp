#include "ui/dialogs/CDlg_SaveImgToEmail.h"

#include "platform/user/shell.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"

namespace {
constexpr int kFolderEdit = 10263;
constexpr int kNameEdit = 10117;
constexpr UINT kStringNoProgram = 1132;
constexpr UINT kStringChooseProgram = 1133;
} // namespace

BEGIN_MESSAGE_MAP(CDlg_SaveImgToEmail, CSaveImgDlg)
ON_BN_CLICKED(IDC_ADD_PROGRAM, OnBnClickedAddProgram)
END_MESSAGE_MAP()

CDlg_SaveImgToEmail::CDlg_SaveImgToEmail(CWnd* parent)
    : CSaveImgDlg({IDD, 1114, kFolderEdit, kNameEdit, {1002, 1003, 1004, 1034}, {1117, 1115, 1116, 1122}}, parent) {}

void CDlg_SaveImgToEmail::DoDataExchange(CDataExchange* pDX) {
    CSaveImgDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ADD_PROGRAM, m_btnAddProgram);
}

BOOL CDlg_SaveImgToEmail::OnInitDialog() {
    m_nModeResult = 0;
    CSaveImgDlg::OnInitDialog();
    m_btnAddProgram.SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    const ControlText texts[] = {{&m_btnAddProgram, 1123}};
    SetControlTexts(texts, 1);
    SetDlgItemText(IDC_PROGRAM, m_szProgram);
    if (m_nManualDuplexOnFeeder || m_nDuplexSource)
        m_cmbType.EnableWindow(FALSE);
    return TRUE;
}

void CDlg_SaveImgToEmail::OnBnClickedAddProgram() {
    WCHAR file[MAX_PATH] = {};
    WCHAR folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(m_hWnd, folder, CSIDL_PROGRAM_FILES, FALSE);
    const CString title = LoadResString(kStringChooseProgram);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = u"EXE Files(*.exe)\0*.exe\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!GetOpenFileNameW(&dialog))
        return;
    if (::GetFileAttributesW(file) != INVALID_FILE_ATTRIBUTES) {
        SetDlgItemText(IDC_PROGRAM, file);
        return;
    }
    ShowError(kStringNoProgram);
    SetDlgItemText(IDC_PROGRAM, u"");
}

void CDlg_SaveImgToEmail::OnBnClickedOk() {
    if (!CheckFolderAndName())
        return;
    CString program;
    GetDlgItemText(IDC_PROGRAM, program);
    wcsncpy_s(m_szProgram, program, _TRUNCATE);
    if (!program.IsEmpty() && ::GetFileAttributesW(program) == INVALID_FILE_ATTRIBUTES) {
        ShowError(kStringNoProgram);
        return;
    }
    m_nModeResult = 1;
    CDialog::OnOK();
}
