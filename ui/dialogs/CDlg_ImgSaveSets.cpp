#include "ui/dialogs/CDlg_ImgSaveSets.h"

#include "scanner/PaperTables.h"
#include "settings/FileNames.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/BoxInput.h"
#include "ui/dialogs/CDlg_SaveImgToEmail.h"
#include "ui/dialogs/CDlg_SaveImgToFile.h"

namespace {

constexpr UINT kBackground = 1009;
constexpr int kTextIds[7] = {1026, 1003, 1027, 1028, 1031, 1032, 1033};
constexpr UINT kStringTitle = 1112, kStringFolder = 1113, kStringEmail = 1114, kStringFileName = 1115,
               kStringFileType = 1116, kStringLocation = 1117, kStringFolderMode = 1134, kStringEmailMode = 1135;

// A label's text: the string followed by ":".
CString Label(UINT id) {
    return LoadResString(id) + u":";
}

} // namespace

BEGIN_MESSAGE_MAP(CDlg_ImgSaveSets, CDialog)
ON_WM_ERASEBKGND()
ON_WM_SIZE()
ON_BN_CLICKED(IDC_FOLDER_MODE, OnBnClickedFolderMode)
ON_BN_CLICKED(IDC_EMAIL_MODE, OnBnClickedEmailMode)
END_MESSAGE_MAP()

CDlg_ImgSaveSets::CDlg_ImgSaveSets(CPaneHost* host, CWnd* parent) : CDialog(IDD, parent), m_pHost(host) {}

CDlg_ImgSaveSets::~CDlg_ImgSaveSets() = default;

void CDlg_ImgSaveSets::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int i = 0; i < 7; ++i)
        DDX_Control(pDX, kTextIds[i], m_stcTexts[i]);
    DDX_Control(pDX, IDC_MODE_LABEL, m_stcModeLabel);
    DDX_Control(pDX, IDC_FOLDER_MODE, m_btnFolderMode);
    DDX_Control(pDX, IDC_EMAIL_MODE, m_btnEmailMode);
}

BOOL CDlg_ImgSaveSets::OnInitDialog() {
    CDialog::OnInitDialog();
    m_pDlgSaveToFile = std::make_unique<CDlg_SaveImgToFile>(this);
    m_pDlgSaveToEmail = std::make_unique<CDlg_SaveImgToEmail>(this);

    const ControlText texts[] = {{&m_stcTexts[0], kStringTitle},
                                 {&m_btnFolderMode, kStringFolder},
                                 {&m_btnEmailMode, kStringEmail},
                                 {&m_stcModeLabel, kStringFolderMode}};
    SetControlTexts(texts, static_cast<int>(std::size(texts)));
    m_stcTexts[1].SetWindowText(Label(kStringFileName));
    m_stcTexts[2].SetWindowText(Label(kStringFileType));
    m_stcTexts[3].SetWindowText(Label(kStringLocation));
    m_nMirroredWidth = 0;
    if (g_bHebrew) {
        MirrorChildLayout(this);
        // Names and paths read left to right whatever the language; they only move to the right side.
        for (int id : {IDC_NAME, IDC_TYPE, IDC_FOLDER})
            GetDlgItem(id)->ModifyStyleEx(WS_EX_RTLREADING, 0);
        CRect client;
        GetClientRect(&client);
        m_nMirroredWidth = client.Width();
    }

    LoadImgSaveSettings();
    SkinModeButtons(m_ImgSaveSettings.nMode == kImgSaveModeEmail);
    LoadModuleBitmap(m_bmpBackground, kBackground);
    FolderText().SetTipText(m_ImgSaveSettings.szFolder);
    return TRUE;
}

// The window places the pane over its placeholder, wider than its template: mirrored, it keeps its texts and
// buttons against its right edge.
void CDlg_ImgSaveSets::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    FollowRightEdge(this, m_nMirroredWidth, cx);
}

void CDlg_ImgSaveSets::SkinModeButtons(BOOL emailMode) {
    m_btnFolderMode.SetSkin(emailMode ? 10431 : 10432, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    m_btnEmailMode.SetSkin(emailMode ? 10432 : 10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    m_btnFolderMode.Invalidate();
    m_btnEmailMode.Invalidate();
}

void CDlg_ImgSaveSets::LoadImgSaveSettings() {
    WCHAR path[MAX_PATH];
    const bool read = GetImgSaveSettingsPath(path, MAX_PATH) && ReadImgSaveSettings(path, m_ImgSaveSettings);
    if (!read) {
        std::memset(&m_ImgSaveSettings, 0, sizeof m_ImgSaveSettings);
        m_ImgSaveSettings.nOpenFolder = 1;
        m_ImgSaveSettings.nOpenFile = 0;
        m_ImgSaveSettings.nMode = kImgSaveModeFolder;
        GetDefaultSaveFolder(m_ImgSaveSettings.szFolder);
        wcscpy_s(m_ImgSaveSettings.szType, u"jpg");
    }
    _wcsupr_s(m_ImgSaveSettings.szType, MAX_PATH);
    if (m_pHost)
        m_pHost->SetManualDuplexCheck(m_ImgSaveSettings.nManualDuplex);
    SetManualDuplexFlag(m_ImgSaveSettings.nManualDuplex);
    // The name of the file is not taken over: each session starts from today's next free name.
    NextDatedFileName(m_ImgSaveSettings.szFolder, m_ImgSaveSettings.szName);
    m_bNameCustom = TRUE;
    RefreshTexts();
}

void CDlg_ImgSaveSets::SaveImgSaveSettings(BOOL keepTexts) {
    if (!m_bNameCustom) {
        NextDatedFileName(m_ImgSaveSettings.szFolder, m_ImgSaveSettings.szName);
        if (!keepTexts)
            RefreshTexts();
        m_bNameCustom = TRUE;
    }
    _wcslwr_s(m_ImgSaveSettings.szType, MAX_PATH);
    ImgSaveSettings file = m_ImgSaveSettings;
    file.nManualDuplex = GetManualDuplexFlag();
    file.nScanReset = 0;

    // Each feeder page of a one-image-per-file type is announced under a free name of its own; PDF, TIFF and OFD
    // keep one name for the job. The pane keeps showing the plain base.
    const int source = m_pHost ? m_pHost->GetScanParam().source : 0;
    const WCHAR* type = m_ImgSaveSettings.szType;
    if ((source == 1 || source == 2) && (!wcscmp(type, u"bmp") || !wcscmp(type, u"jpg") || !wcscmp(type, u"png")))
        NextNumberedFileName(m_ImgSaveSettings.szFolder, m_ImgSaveSettings.szName, file.szName);

    WCHAR path[MAX_PATH];
    if (GetImgSaveSettingsPath(path, MAX_PATH))
        WriteImgSaveSettings(path, file);
}

void CDlg_ImgSaveSets::RefreshTexts() {
    _wcsupr_s(m_ImgSaveSettings.szType, MAX_PATH);
    if (!m_hWnd)
        return;
    SetDlgItemText(IDC_NAME, m_ImgSaveSettings.szName);
    SetDlgItemText(IDC_TYPE, m_ImgSaveSettings.szType);
    SetDlgItemText(IDC_FOLDER, m_ImgSaveSettings.szFolder);
    if (CWnd* area = GetDlgItem(IDC_VALUES_AREA)) {
        CRect rect;
        area->GetWindowRect(&rect);
        ScreenToClient(&rect);
        InvalidateRect(&rect, TRUE);
    }
    FolderText().SetTipText(m_ImgSaveSettings.szFolder);
    m_stcModeLabel.SetWindowText(
        LoadResString(m_ImgSaveSettings.nMode == kImgSaveModeEmail ? kStringEmailMode : kStringFolderMode));
    m_stcModeLabel.Invalidate();
}

BOOL CDlg_ImgSaveSets::RunSaveDialog(CSaveImgDlg& dialog) {
    if (!m_bNameCustom)
        NextDatedFileName(m_ImgSaveSettings.szFolder, m_ImgSaveSettings.szName);
    wcsncpy_s(dialog.m_szFolder, m_ImgSaveSettings.szFolder, _TRUNCATE);
    wcsncpy_s(dialog.m_szName, m_ImgSaveSettings.szName, _TRUNCATE);
    wcsncpy_s(dialog.m_szType, m_ImgSaveSettings.szType, _TRUNCATE);
    const int source = m_pHost ? m_pHost->GetScanParam().source : 0;
    dialog.m_nManualDuplexOnFeeder = m_ImgSaveSettings.nManualDuplex && source != 0;
    dialog.m_nDuplexSource = source == 2;
    if (dialog.DoModal() != IDOK)
        return FALSE;
    wcsncpy_s(m_ImgSaveSettings.szFolder, dialog.m_szFolder, _TRUNCATE);
    wcsncpy_s(m_ImgSaveSettings.szName, dialog.m_szName, _TRUNCATE);
    wcsncpy_s(m_ImgSaveSettings.szType, dialog.m_szType, _TRUNCATE);
    return TRUE;
}

void CDlg_ImgSaveSets::OnBnClickedFolderMode() {
    CDlg_SaveImgToFile& dialog = *m_pDlgSaveToFile;
    dialog.m_nOpenFile = m_ImgSaveSettings.nOpenFile;
    dialog.m_nOpenFolder = m_ImgSaveSettings.nOpenFolder;
    dialog.m_bFeeder = m_bFeeder;
    if (!RunSaveDialog(dialog))
        return;
    m_ImgSaveSettings.nOpenFile = dialog.m_nOpenFile;
    m_ImgSaveSettings.nOpenFolder = dialog.m_nOpenFolder;
    m_ImgSaveSettings.nMode = kImgSaveModeFolder;
    RefreshTexts();
    m_bNameCustom = TRUE;
    SkinModeButtons(FALSE);
}

void CDlg_ImgSaveSets::OnBnClickedEmailMode() {
    CDlg_SaveImgToEmail& dialog = *m_pDlgSaveToEmail;
    wcsncpy_s(dialog.m_szProgram, m_ImgSaveSettings.szMailProgram, _TRUNCATE);
    if (!RunSaveDialog(dialog))
        return;
    wcsncpy_s(m_ImgSaveSettings.szMailProgram, dialog.m_szProgram, _TRUNCATE);
    m_ImgSaveSettings.nMode = dialog.m_nModeResult;
    SkinModeButtons(TRUE);
    RefreshTexts();
    m_bNameCustom = TRUE;
}

BOOL CDlg_ImgSaveSets::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

// Alt with the window's preview or scan key works while the pane has the focus.
BOOL CDlg_ImgSaveSets::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_SYSKEYDOWN && m_pHost) {
        if (IsKeyDown(g_chPreviewKey))
            m_pHost->OnBnClickedPreview();
        else if (IsKeyDown(g_chScanKey))
            m_pHost->OnBnClickedScan();
    }
    return CDialog::PreTranslateMessage(pMsg);
}
