// The scanning window's side of its dialogs and panes: the about box, the port dialog and the settings details on
// their buttons, and the app-mode save pane at scan start, at the end of a job and for the basic page.
#include "ui/scanwindow/CMainUIDialog.h"

#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CPortSettingDlg.h"

#include "settings/DebugOutput.h"
#include "settings/Language.h"
#include "settings/SettingStore.h"
#include "ui/dialogs/CDlg_About.h"
#include "ui/dialogs/CDlg_ImgSaveSets.h"
#include "ui/dialogs/CDlg_SettingInfo.h"
#include "ui/dialogs/CErrorDlg.h"

#include <limits>

namespace {
constexpr UINT IDS_NO_MAIL_PROGRAM = 1132;
constexpr UINT IDS_BAD_SAVE_FOLDER = 1128;

void ShowError(CWnd* parent, UINT stringId) {
    CErrorDlg error(parent);
    error.m_strMessage = LoadResString(stringId);
    error.DoModal();
}
} // namespace

void CMainUIDialog::OnBnClickedAbout() {
    EnableMainWindow(FALSE);
    CDlg_About about(this);
    about.DoModal();
    EnableMainWindow(TRUE);
}

// The port dialog edits the head of the settings; a new network choice marks them modified.
void CMainUIDialog::OnBnClickedPort() {
    EnableMainWindow(FALSE);
    PortSetting port = GetPortSetting(m_ScanParam);
    const int oldType = port.type;
    CPortSettingDlg dialog(&port, this);
    if (dialog.DoModal() == IDOK) {
        SetPortSetting(m_ScanParam, port);
        if (port.type != oldType && port.type != 0)
            MarkSettingModified();
        UpdateTitle();
    }
    EnableMainWindow(TRUE);
}

void CMainUIDialog::OnBnClickedSettingInfo() {
    if (m_pDlg_SettingInfo)
        m_pDlg_SettingInfo->DoModal();
}

void CMainUIDialog::SetManualDuplexCheck(BOOL checked) {
    if (m_pBasicSetting && m_pBasicSetting->m_hWnd != nullptr)
        m_pBasicSetting->m_chkManualDuplex.SetCheck(checked ? BST_CHECKED : BST_UNCHECKED);
}

void CMainUIDialog::SaveImgSaveSettings() {
    if (g_bAppMode && m_pDlg_ImgSaveSets != nullptr)
        m_pDlg_ImgSaveSets->SaveImgSaveSettings(FALSE);
}

void CMainUIDialog::RenewSaveName() {
    if (g_bAppMode && m_pDlg_ImgSaveSets != nullptr)
        m_pDlg_ImgSaveSets->m_bNameCustom = FALSE;
}

BOOL CMainUIDialog::SavePaneBeforeScan() {
    if (!g_bAppMode || m_pDlg_ImgSaveSets == nullptr)
        return TRUE;
    CDlg_ImgSaveSets& pane = *m_pDlg_ImgSaveSets;
    const ImgSaveSettings& record = pane.m_ImgSaveSettings;
    // The next image's file: "<folder>\<name>.<type>", found whatever the case of its name.
    WCHAR folder[MAX_PATH];
    wcsncpy_s(folder, record.szFolder, _TRUNCATE);
    WCHAR target[MAX_PATH];
    if (PathAddBackslashW(folder) &&
        _snwprintf_s(target, MAX_PATH, _TRUNCATE, u"%s%s.%s", folder, record.szName, record.szType) >= 0 &&
        ::GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES) {
        DebugPrint(u"m_pDlg_ImgSaveSets->m_bNameCustom = FALSE;");
        pane.m_bNameCustom = FALSE;
    }
    pane.SaveImgSaveSettings(FALSE);
    if (record.nMode == kImgSaveModeEmail && ::GetFileAttributesW(record.szMailProgram) == INVALID_FILE_ATTRIBUTES) {
        ShowError(this, IDS_NO_MAIL_PROGRAM);
        return FALSE;
    }
    return TRUE;
}

BOOL CMainUIDialog::SaveFolderFreeBytes(ULONGLONG& freeBytes) {
    freeBytes = 0;
    if (!g_bAppMode || m_pDlg_ImgSaveSets == nullptr)
        return TRUE;
    const WCHAR* folder = m_pDlg_ImgSaveSets->m_ImgSaveSettings.szFolder;
    const DWORD attributes = ::GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || folder[0] == u'.' ||
        folder[0] == u'\\') {
        ShowError(this, IDS_BAD_SAVE_FOLDER);
        return FALSE;
    }
    ULARGE_INTEGER total{};
    ULARGE_INTEGER totalFree{};
    if (::GetDiskFreeSpaceExW(folder, nullptr, &total, &totalFree)) {
        freeBytes = totalFree.QuadPart;
    } else {
        // A query that fails counts as enough space.
        DebugPrint(u"CMainUIDialog::Scan_, save folder GetDiskFreeSpaceExW GetLastError = %d: the free space is not "
                   u"checked",
                   static_cast<int>(::GetLastError()));
        freeBytes = std::numeric_limits<ULONGLONG>::max();
    }
    return TRUE;
}
