#include "devicescan/CScanManagerDlg.h"

#include "devicescan/CDlg_error.h"
#include "devicescan/ProgramPaths.h"
#include "devicescan/SaveFolder.h"
#include "devicescan/VazeDoziSettings.h"
#include "devicescan/VelmoraLanguage.h"
#include "platform/user/shell.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"

namespace {

constexpr UINT kStringFolderLabel = 8006;
constexpr UINT kStringBrowse = 8007;
constexpr UINT kStringOpenFile = 8008;
constexpr UINT kStringHelp = 8009;
constexpr UINT kStringCancel = 8010;
constexpr UINT kStringOK = 8011;
constexpr UINT kStringNoFolder = 8015;
constexpr UINT kStringFolderMissing = 8016;
constexpr UINT kStringNotWritable = 8021;
constexpr UINT kStringTooLong = 8022;

// BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_BROWSEFORCOMPUTER
constexpr UINT kBrowseFlags = 0x1053;

bool IsExistingPath(const CString& path) {
    return !path.IsEmpty() && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// Selects the starting folder (the item list in `data`) once the browser is up.
int CALLBACK BrowseCallbackProc(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data)
        SendMessageW(hwnd, BFFM_SETSELECTIONW, FALSE, data);
    return 0;
}

} // namespace

BEGIN_MESSAGE_MAP(CScanManagerDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(CScanManagerDlg::kBrowse, OnBnClickedBrowse)
ON_BN_CLICKED(IDOK, OnBnClickedOk)
ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CScanManagerDlg::CScanManagerDlg(CWnd* parent) : CDialog(IDD, parent) {
    const LPCWSTR icon = MAKEINTRESOURCEW(kIcon);
    m_hIcon = ::LoadIconW(AfxFindResourceHandle(icon, RT_ICON), icon);
}

CScanManagerDlg::~CScanManagerDlg() = default;

void CScanManagerDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, kFolderEdit, m_strFolder);
    DDX_Check(pDX, kOpenFile, m_bOpenFile);
    DDX_Check(pDX, kOpenFolder, m_bOpenFolder);
    DDX_Control(pDX, kFolderEdit, m_editFolder);
    DDX_Control(pDX, kFolderLabel, m_stcFolder);
    DDX_Control(pDX, kBrowse, m_btnBrowse);
    DDX_Control(pDX, ID_HELP, m_btnHelp);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDOK, m_btnOK);
}

BOOL CScanManagerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    // The folder is chosen with the browser only.
    m_editFolder.LimitText(kMaxFolderLength);
    m_editFolder.EnableWindow(FALSE);
    LoadSettings();
    SetWindowText(GetPushUITitle());
    const ControlText texts[] = {
        {&m_stcFolder, kStringFolderLabel}, {&m_btnBrowse, kStringBrowse}, {GetDlgItem(kOpenFile), kStringOpenFile},
        {&m_btnHelp, kStringHelp},          {&m_btnCancel, kStringCancel}, {&m_btnOK, kStringOK},
    };
    SetControlTexts(texts, static_cast<int>(std::size(texts)));
    MirrorForReadingOrder(m_hWnd);
    return TRUE;
}

void CScanManagerDlg::LoadSettings() {
    VazeDoziSettings settings;
    const bool read = ReadVazeDoziSettings(settings);
    m_bOpenFile = settings.openFile;
    m_bOpenFolder = settings.openFolder;
    m_strFolder = settings.saveFolder;
    if (!read)
        SaveSettings();
    if (m_hWnd)
        UpdateData(FALSE);
}

void CScanManagerDlg::SaveSettings() {
    VazeDoziSettings settings{};
    settings.openFile = m_bOpenFile;
    settings.openFolder = m_bOpenFolder;
    wcsncpy_s(settings.saveFolder, m_strFolder, _TRUNCATE);
    WriteVazeDoziSettings(settings);
}

void CScanManagerDlg::OnBnClickedBrowse() {
    UpdateData(TRUE);
    PIDLIST_ABSOLUTE start = nullptr;
    if (IsExistingPath(m_strFolder))
        SHParseDisplayName(m_strFolder, nullptr, &start, 0, nullptr);
    WCHAR displayName[MAX_PATH] = {};
    BROWSEINFOW bi{};
    bi.hwndOwner = m_hWnd;
    bi.pszDisplayName = displayName;
    bi.ulFlags = kBrowseFlags;
    bi.lpfn = BrowseCallbackProc;
    bi.lParam = reinterpret_cast<LPARAM>(start);
    if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi)) {
        WCHAR path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(chosen, path)) {
            m_strFolder = path;
            UpdateData(FALSE);
        }
        ILFree(chosen);
    }
    ILFree(start);
}

void CScanManagerDlg::RefuseFolder(UINT stringId) {
    CDlg_error error(this);
    error.m_strMessage = LoadResString(stringId);
    error.DoModal();
    m_editFolder.SetFocus();
}

void CScanManagerDlg::OnBnClickedOk() {
    UpdateData(TRUE);
    if (m_strFolder.IsEmpty()) {
        RefuseFolder(kStringNoFolder);
        return;
    }
    WCHAR folder[MAX_PATH] = {};
    wcsncpy_s(folder, m_strFolder, _TRUNCATE);
    const bool fits = AddFolderBackslash(folder);
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || folder[0] == u'.' ||
        folder[0] == u'\\') {
        RefuseFolder(kStringFolderMissing);
        return;
    }
    if (!fits || wcslen(folder) > kMaxFolderLength) {
        RefuseFolder(kStringTooLong);
        return;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    if (!ProbeFolderWrite(folder, now)) {
        RefuseFolder(kStringNotWritable);
        return;
    }
    SaveSettings();
    CDialog::OnOK();
}

void CScanManagerDlg::OnHelp() {
    WCHAR path[MAX_PATH];
    if (GetVelmoraHelpPath(path))
        HtmlHelpW(m_hWnd, path, HH_DISPLAY_TOPIC, 0);
}

void CScanManagerDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CScanManagerDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}
