#include "ui/dialogs/CSaveImgDlg.h"

#include "platform/user/shell.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/CErrorDlg.h"
#include "ui/dialogs/CWarningDlg.h"
#include "ui/dialogs/ImgSaveSettings.h"

namespace {

constexpr UINT kBackground = 1010;
constexpr UINT kStringOK = 1090, kStringCancel = 1092, kStringBrowse = 1118;
constexpr UINT kStringNoFolder = 1124;
constexpr UINT kStringBadName = 1125;
constexpr UINT kStringNoName = 1126;
constexpr UINT kStringFolderTooLong = 1127;
constexpr UINT kStringBadFolder = 1128;
constexpr UINT kStringFolderNotWritable = 1129;
constexpr UINT kStringReplaceFile = 1130;
constexpr int kProbeAttempts = 100;

int CALLBACK BrowseFolderCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data)
        ::SendMessageW(hwnd, BFFM_SETSELECTIONW, FALSE, data);
    return 0;
}

bool IsFolder(const WCHAR* path) {
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

BOOL CanWriteInFolder(const WCHAR* folderWithSlash) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        WCHAR probe[MAX_PATH];
        WCHAR suffix[8] = u"";
        if (attempt > 0)
            _snwprintf_s(suffix, _countof(suffix), _TRUNCATE, u"%d", attempt);
        if (_snwprintf_s(probe, MAX_PATH, _TRUNCATE, u"%s%02d%02d%02d%02d%02d%02dtemp%s.dat", folderWithSlash,
                         now.wYear % 100, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, suffix) < 0)
            return FALSE;
        HANDLE file = ::CreateFileW(probe, GENERIC_ALL, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            ::DeleteFileW(probe); // ours alone: CREATE_NEW made it
            return TRUE;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return FALSE;
    }
    return FALSE;
}

BEGIN_MESSAGE_MAP(CSaveImgDlg, CDialog)
ON_BN_CLICKED(IDC_BROWSE, OnBnClickedBrowse)
ON_BN_CLICKED(IDC_OK, OnBnClickedOk)
ON_BN_CLICKED(IDC_CANCEL, OnBnClickedCancel)
ON_WM_ERASEBKGND()
ON_WM_CLOSE()
END_MESSAGE_MAP()

CSaveImgDlg::CSaveImgDlg(const Controls& controls, CWnd* parent)
    : CDialog(controls.templateId, parent), m_controls(controls) {}

void CSaveImgDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BROWSE, m_btnBrowse);
    DDX_Control(pDX, IDC_OK, m_btnOK);
    DDX_Control(pDX, IDC_CANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_TYPE, m_cmbType);
    for (int i = 0; i < 4; ++i)
        DDX_Control(pDX, m_controls.labels[i], m_stcLabels[i]);
}

BOOL CSaveImgDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (CxSkinButton* button : {&m_btnBrowse, &m_btnOK, &m_btnCancel})
        button->SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    LoadModuleBitmap(m_bmpBackground, kBackground);
    const ControlText texts[] = {{this, m_controls.caption},
                                 {&m_btnBrowse, kStringBrowse},
                                 {&m_btnOK, kStringOK},
                                 {&m_btnCancel, kStringCancel},
                                 {&m_stcLabels[0], m_controls.labelStrings[0]},
                                 {&m_stcLabels[1], m_controls.labelStrings[1]},
                                 {&m_stcLabels[2], m_controls.labelStrings[2]},
                                 {&m_stcLabels[3], m_controls.labelStrings[3]}};
    SetControlTexts(texts, static_cast<int>(std::size(texts)));

    SendDlgItemMessage(m_controls.nameEdit, EM_LIMITTEXT, kMaxNameLength);
    SendDlgItemMessage(m_controls.folderEdit, EM_LIMITTEXT, kMaxFolderLength);
    m_cmbType.ResetContent();
    int selection = 1; // "JPG" for any other type
    for (int i = 0; i < static_cast<int>(std::size(kImgSaveTypes)); ++i) {
        m_cmbType.AddString(kImgSaveTypes[i]);
        if (_wcsicmp(kImgSaveTypes[i], m_szType) == 0)
            selection = i;
    }
    m_cmbType.SetCurSel(selection);
    SetDlgItemText(m_controls.nameEdit, m_szName);
    SetDlgItemText(m_controls.folderEdit, m_szFolder);
    if (g_bHebrew) {
        MirrorChildLayout(this);
        // File names and paths read left to right in any language ("2026-12-09_001", "C:\\Pictures"); they only
        // move to the right side. 10262 is the folder here and the e-mail program in the e-mail dialog.
        KeepNumberOrder(this, {m_controls.nameEdit, m_controls.folderEdit, 10262});
    }
    return TRUE;
}

void CSaveImgDlg::ShowError(UINT stringId) {
    CErrorDlg error(this);
    error.m_strMessage = LoadResString(stringId);
    error.DoModal();
}

BOOL CSaveImgDlg::CheckName(CString& name) {
    CWnd* edit = GetDlgItem(m_controls.nameEdit);
    GetDlgItemText(m_controls.nameEdit, name);
    name.Trim();
    SetDlgItemText(m_controls.nameEdit, name);
    UINT failure = 0;
    if (name.IsEmpty())
        failure = kStringNoName;
    else if (name.FindOneOf(u"\\/:*?\"<>|") >= 0)
        failure = kStringBadName;
    if (failure == 0)
        return TRUE;
    ShowError(failure);
    if (edit) {
        edit->SendMessage(EM_SETSEL, 0, -1);
        edit->SetFocus();
    }
    return FALSE;
}

BOOL CSaveImgDlg::CheckFolder(WCHAR path[MAX_PATH]) {
    CString folder;
    GetDlgItemText(m_controls.folderEdit, folder);
    if (folder.IsEmpty()) {
        ShowError(kStringNoFolder);
        return FALSE;
    }
    if (folder.GetLength() > kMaxFolderLength) {
        ShowError(kStringFolderTooLong);
        return FALSE;
    }
    wcsncpy_s(m_szFolder, folder, _TRUNCATE);
    const bool fits = wcsncpy_s(path, MAX_PATH, folder, _TRUNCATE) == 0 && PathAddBackslashW(path) != nullptr;
    if (!fits || !IsFolder(path) || path[0] == u'.' || path[0] == u'\\') {
        ShowError(kStringBadFolder);
        return FALSE;
    }
    if (!CanWriteInFolder(path)) {
        ShowError(kStringFolderNotWritable);
        return FALSE;
    }
    return TRUE;
}

BOOL CSaveImgDlg::CheckFolderAndName() {
    CString name;
    if (!CheckName(name))
        return FALSE;
    WCHAR path[MAX_PATH] = {};
    if (!CheckFolder(path))
        return FALSE;
    CString type;
    m_cmbType.GetWindowText(type);
    wcsncpy_s(m_szName, name, _TRUNCATE);
    wcsncpy_s(m_szType, type, _TRUNCATE);

    // The name of the file the next scan writes; the file system's lookup ignores case, so "name.JPG" finds an
    // existing "name.jpg".
    WCHAR target[MAX_PATH];
    if (_snwprintf_s(target, MAX_PATH, _TRUNCATE, u"%s%s.%s", path, m_szName, m_szType) < 0) {
        ShowError(kStringBadFolder);
        return FALSE;
    }
    if (::GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES) {
        CWarningDlg question(this);
        question.m_strMessage = LoadResString(kStringReplaceFile);
        if (question.DoModal() != IDOK)
            return FALSE;
    }
    return TRUE;
}

void CSaveImgDlg::OnBnClickedBrowse() {
    WCHAR folder[MAX_PATH] = {};
    ::GetDlgItemTextW(m_hWnd, m_controls.folderEdit, folder, MAX_PATH);
    PIDLIST_ABSOLUTE initial = nullptr;
    if (folder[0] && ::GetFileAttributesW(folder) != INVALID_FILE_ATTRIBUTES)
        SHParseDisplayName(folder, nullptr, &initial, 0, nullptr);

    BROWSEINFOW info{};
    info.hwndOwner = m_hWnd;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE | BIF_BROWSEFORCOMPUTER;
    info.lpfn = BrowseFolderCallback;
    info.lParam = reinterpret_cast<LPARAM>(initial);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    WCHAR path[MAX_PATH] = {};
    if (chosen && SHGetPathFromIDListW(chosen, path)) {
        wcsncpy_s(m_szFolder, path, _TRUNCATE);
        SetDlgItemText(m_controls.folderEdit, m_szFolder);
    }
    CoTaskMemFree(chosen);
    CoTaskMemFree(initial);
}

void CSaveImgDlg::OnBnClickedCancel() {
    EndDialog(IDCANCEL);
}

// The caption's close box cancels: the pane keeps its values.
void CSaveImgDlg::OnClose() {
    EndDialog(IDCANCEL);
}

BOOL CSaveImgDlg::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}
