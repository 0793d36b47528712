// The window's settings: the defaults, the start-up load of the current settings (checked before use) and the
// network scanner an installation chose, the saved settings (save, pick, delete), the controls that follow the
// settings, and the save when the window goes.
#include "ui/scanwindow/CMainUIDialog.h"

#include "ui/scanwindow/CAdvancedSetting.h"
#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/LanguageLibrary.h"
#include "ui/scanwindow/NetInstall.h"

#include "scanner/PaperTables.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"
#include "settings/SettingStore.h"
#include "ui/dialogs/CDlg_ImgSaveSets.h"
#include "ui/dialogs/CWarningDlg.h"

#include "twain/ScanState.h"

#include <array>
#include <cstring>
#include <vector>

namespace {
constexpr UINT IDS_DEFAULT_NAME = 1019;
constexpr UINT IDS_MODIFIED_NAME = 1020;
constexpr UINT IDS_NAME_EXISTS = 1095;
constexpr UINT IDS_NO_MORE_SETTINGS = 1100;
constexpr UINT IDS_ENTER_NAME = 1108;
constexpr UINT IDS_STORE_UNUSABLE = 1159; // %s: the settings file's name
constexpr int kMaxListedNames = 128;
constexpr int kMaxSavedItems = 16;
constexpr int kMaxNameChars = 16;
// Characters a saved name never holds: those of file names, and the comma.
constexpr const WCHAR* kNameForbidden = u"\\/:*?\"<>|,";

// ScanParam::adv: brightness, contrast and tone curve per channel (combined, red, green, blue), then one each.
constexpr int kAdvBrightness = 0;
constexpr int kAdvContrast = 4;
constexpr int kAdvCurve = 8;
constexpr int kAdvGamma = 12; // gamma x 10
constexpr int kAdvThreshold = 13;
constexpr int kAdvDescreen = 14;
constexpr int kAdvFading = 15;
constexpr int kAdvRotation = 16;
constexpr int kAdvAutoDeskew = 17;
constexpr int kAdvUnits = 18;
constexpr int kBrightContrastLimit = 100;
constexpr int kCurvePresets = 5;

ScanParam DefaultScanParam() {
    ScanParam p{};
    p.portType = 0;
    p.source = g_bIsPlatformIbis ? 1 : 0;
    p.colorMode = 2;
    p.resolution = 2;
    p.paperSize = g_bIsPlatformIbis ? 0 : GetDefaultPaperIndex();
    p.horizontal = 0;
    p.adv[12] = GetDefaultGamma();
    p.adv[13] = GetDefaultThreshold();
    p.adv[18] = 2;
    return p;
}

bool InRange(int value, int first, int last) {
    return value >= first && value <= last;
}

// The list item of exactly that name (the list's own search ignores case), or -1.
int FindItemExact(const CComboBox& combo, const CString& name) {
    const int count = combo.GetCount();
    for (int i = 0; i < count; ++i) {
        CString item;
        combo.GetLBText(i, item);
        if (item == name)
            return i;
    }
    return -1;
}

CString TrimmedText(const CComboBox& combo) {
    CString text;
    combo.GetWindowText(text);
    text.Trim();
    return text;
}

// A stored name that is the defaults' name of another language and holds the model's defaults. A setting of the
// user's that happens to carry such a name holds other values and stays.
bool IsDefaultsOfAnotherLanguage(const WCHAR* name, const CString& defaultName, const ScanParam& defaults) {
    if (defaultName == name || !IsStringOfAnyLanguage(IDS_DEFAULT_NAME, name))
        return false;
    ScanParam stored{};
    return LoadNamedSetting(name, reinterpret_cast<BYTE*>(&stored)) &&
           std::memcmp(&stored, &defaults, sizeof stored) == 0;
}

// Both sides of every sheet go into one PDF.
void SavePaneToPdf(CDlg_ImgSaveSets& pane) {
    wcscpy_s(pane.m_ImgSaveSettings.szType, u"pdf");
    pane.RefreshTexts();
}
} // namespace

void CMainUIDialog::CheckLoadedScanParam(ScanParam& record, const ScanParam& defaults) {
    if (!InRange(record.portType, 0, 2))
        record.portType = defaults.portType;
    record.szFoundAddress[sizeof record.szFoundAddress - 1] = 0;
    record.szHostAddress[sizeof record.szHostAddress - 1] = 0;
    if (!InRange(record.source, 0, 2))
        record.source = defaults.source;
    if (!InRange(record.colorMode, 0, 2))
        record.colorMode = defaults.colorMode;
    if (!InRange(record.resolution, 0, 4))
        record.resolution = defaults.resolution;
    // The paper index counts the source's listed papers; one past them is the source's own (custom) area.
    const int papers = GetMaxSanSizeNum(static_cast<unsigned>(record.source));
    if (!InRange(record.paperSize, 0, papers))
        record.paperSize = InRange(defaults.paperSize, 0, papers) ? defaults.paperSize : papers;
    // The adjustments, each within what its slider, edit or list can show and the driver is told.
    for (int channel = 0; channel < 4; ++channel) {
        for (int block : {kAdvBrightness, kAdvContrast}) {
            if (!InRange(record.adv[block + channel], -kBrightContrastLimit, kBrightContrastLimit))
                record.adv[block + channel] = defaults.adv[block + channel];
        }
        if (!InRange(record.adv[kAdvCurve + channel], 0, kCurvePresets - 1))
            record.adv[kAdvCurve + channel] = defaults.adv[kAdvCurve + channel];
    }
    struct Limit {
        int index, first, last;
    };
    constexpr Limit kLimits[] = {{kAdvGamma, 1, 99}, {kAdvThreshold, 0, 255}, {kAdvDescreen, 0, 1},
                                 {kAdvFading, 0, 3}, {kAdvRotation, 0, 3},    {kAdvAutoDeskew, 0, 1},
                                 {kAdvUnits, 0, 2}};
    for (const Limit& limit : kLimits) {
        if (!InRange(record.adv[limit.index], limit.first, limit.last))
            record.adv[limit.index] = defaults.adv[limit.index];
    }
    if (!InRange(record.horizontal, 0, 1))
        record.horizontal = defaults.horizontal;
    // Settings saved on a model that scans across (the settings file may serve several models): a model without
    // horizontal scanning has no box to clear the flag with, and its device must not be asked for it.
    if (!g_bHasHorizontal)
        record.horizontal = 0;
}

// Told once per window, when the store first fails: the window goes on with the default settings. The box names the
// file (its whole path would not fit the box); the debug output has the path.
void CMainUIDialog::ReportUnusableStore() {
    if (m_bStoreReported)
        return;
    m_bStoreReported = true;
    WCHAR path[MAX_PATH] = {};
    GetSettingsFilePath(path);
    DebugPrint(u"initializeSetting: the settings store %s cannot be read or written", path);
    CString format = LoadResString(IDS_STORE_UNUSABLE);
    if (format.Find(u"%s") < 0) // a language library without the text
        format = u"The saved settings (%s) cannot be read or written. The default settings are used.";
    CString message;
    message.Format(format, g_bAppMode ? u"APPsettings.dat" : u"settings.dat");
    ModalEngineCall modal;
    ShowErrorMessage(message);
}

BOOL CMainUIDialog::initializeSetting() {
    m_bStoreReported = false;
    const bool store = InitSettingsFile() != FALSE;
    ReadPlatformWrenFlags();
    ReadPlatformIbisFlag();
    ReadBriselA3Flag();

    const ScanParam defaults = DefaultScanParam();
    ScanParam working = defaults;
    const CString defaultName = LoadResString(IDS_DEFAULT_NAME);
    if (!store)
        ReportUnusableStore();
    if (!LoadNamedSetting(defaultName, reinterpret_cast<BYTE*>(&working))) {
        working = defaults;
        if (!SaveNamedSetting(defaultName, reinterpret_cast<const BYTE*>(&defaults)))
            ReportUnusableStore();
    }

    m_cmbSettings.ResetContent();
    std::vector<std::array<WCHAR, 128>> buffers(kMaxListedNames);
    std::vector<WCHAR*> names;
    for (auto& buffer : buffers)
        names.push_back(buffer.data());
    const int count = ListNamedSettings(names.data(), kMaxListedNames);
    for (int i = 0; i < count; ++i) {
        if (IsDefaultsOfAnotherLanguage(names[i], defaultName, defaults)) {
            // The model's defaults saved while the window spoke another language: they are the defaults listed
            // under this language's name, and never a setting of the user's to delete.
            DeleteNamedSetting(names[i]);
            continue;
        }
        m_cmbSettings.AddString(names[i]);
    }

    WCHAR currentName[128] = u"CurrentSettingName";
    CString current;
    if (LoadCurrentSetting(reinterpret_cast<BYTE*>(&working), currentName)) {
        current = currentName;
        // The labels of the defaults and of changed settings read in the window's language, whichever it had.
        if (current != defaultName && FindItemExact(m_cmbSettings, current) < 0 &&
            IsStringOfAnyLanguage(IDS_DEFAULT_NAME, current))
            current = defaultName;
        else if (current != LoadResString(IDS_MODIFIED_NAME) && IsStringOfAnyLanguage(IDS_MODIFIED_NAME, current))
            current = LoadResString(IDS_MODIFIED_NAME);
        m_cmbSettings.SetWindowText(current);
    } else {
        current = defaultName;
        if (!LoadNamedSetting(current, reinterpret_cast<BYTE*>(&working)))
            working = defaults;
        if (!SaveCurrentSetting(current, reinterpret_cast<const BYTE*>(&working)))
            ReportUnusableStore();
    }
    CheckLoadedScanParam(working, defaults);
    if (!TakeOverNetInstall(current, working))
        ReportUnusableStore();
    if (m_cmbSettings.GetCount() == 0)
        m_cmbSettings.AddString(defaultName); // the list always offers the defaults

    m_nSavedSettingIndex = FindItemExact(m_cmbSettings, current);
    if (m_nSavedSettingIndex >= 0) {
        m_cmbSettings.SetCurSel(m_nSavedSettingIndex);
        m_btnDeleteSetting.ShowWindow(SW_SHOW);
        m_btnSaveSetting.ShowWindow(SW_HIDE);
        m_btnDeleteSetting.EnableWindow(current != defaultName);
    } else {
        m_cmbSettings.SetWindowText(current);
        m_btnSaveSetting.ShowWindow(SW_SHOW);
        m_btnDeleteSetting.ShowWindow(SW_HIDE);
    }

    if (ModelValueIs(u"HasADF(%s)", u"FALSE"))
        working.source = 0;
    m_ScanParam = working;

    if (lstrcmpW(g_szModuleFolderName, u"kvx7718") == 0) {
        g_bIsPlatformOrca = TRUE;
        m_btnPort.ShowWindow(SW_HIDE);
        DebugPrint(u"CMainUIDialog::initializeSetting, IsPlatformOrca: TRUE");
    }
    if (g_bIsPlatformIbis)
        m_btnPort.ShowWindow(SW_HIDE);
    return TRUE;
}

BOOL CMainUIDialog::TakeOverNetInstall(CString& current, ScanParam& working) {
    CNetInstall install;
    if (!install.Check(g_bAppMode))
        return TRUE;
    char address[256];
    if (!install.NarrowAddress(address)) {
        DebugPrint(u"initializeSetting: the IP value does not fit an address");
        return TRUE;
    }
    if (current == LoadResString(IDS_DEFAULT_NAME)) {
        current = LoadResString(IDS_MODIFIED_NAME);
        m_cmbSettings.AddString(current);
    }
    working.portType = 2;
    std::memcpy(working.szHostAddress, address, sizeof working.szHostAddress);
    if (!SaveCurrentSetting(current, reinterpret_cast<const BYTE*>(&working)))
        return FALSE;
    install.WriteMarker();
    return TRUE;
}

void CMainUIDialog::OnCbnSelchangeSettings() {
    const int selection = m_cmbSettings.GetCurSel();
    if (selection < 0)
        return;
    m_nSavedSettingIndex = selection;
    CString name;
    m_cmbSettings.GetLBText(selection, name);
    m_cmbSettings.SetWindowText(name);
    ScanParam loaded{};
    if (!LoadNamedSetting(name, reinterpret_cast<BYTE*>(&loaded)))
        return;
    CheckLoadedScanParam(loaded, DefaultScanParam());
    m_ScanParam = loaded;
    RefreshSettingControls(TRUE);
    if (name != LoadResString(IDS_DEFAULT_NAME))
        RefreshPreviewImage();
    else
        ResetPreviewImage();
    UpdateTitle();
}

void CMainUIDialog::OnCbnEditchangeSettings() {
    CString text = TrimmedText(m_cmbSettings);
    if (text.FindOneOf(kNameForbidden) >= 0) {
        for (const WCHAR* c = kNameForbidden; *c != 0; ++c)
            text.Remove(*c);
        m_cmbSettings.SetWindowText(text);
        m_cmbSettings.SetEditSel(text.GetLength(), text.GetLength());
    }
    if (text.GetLength() > kMaxNameChars) {
        text = text.Left(kMaxNameChars);
        m_cmbSettings.SetWindowText(text);
        m_cmbSettings.SetEditSel(kMaxNameChars, kMaxNameChars);
    }
    m_btnDeleteSetting.ShowWindow(SW_HIDE);
    m_btnDeleteSetting.EnableWindow(FALSE);
    m_btnSaveSetting.ShowWindow(SW_SHOW);
    m_btnSaveSetting.EnableWindow(text.CompareNoCase(LoadResString(IDS_DEFAULT_NAME)) != 0);
}

void CMainUIDialog::OnCbnSelendcancelSettings() {
    if (TrimmedText(m_cmbSettings) != LoadResString(IDS_DEFAULT_NAME))
        return;
    m_btnDeleteSetting.ShowWindow(SW_HIDE);
    m_btnDeleteSetting.EnableWindow(FALSE);
    m_btnSaveSetting.ShowWindow(SW_SHOW);
    m_btnSaveSetting.EnableWindow(FALSE);
}

void CMainUIDialog::OnBnClickedSaveSetting() {
    if (m_cmbSettings.GetCount() >= kMaxSavedItems) {
        CWarningOK full(this);
        full.m_strMessage = LoadResString(IDS_NO_MORE_SETTINGS);
        full.DoModal();
        return;
    }
    const CString name = TrimmedText(m_cmbSettings);
    if (name == LoadResString(IDS_DEFAULT_NAME)) {
        m_btnDeleteSetting.ShowWindow(SW_HIDE);
        m_btnDeleteSetting.EnableWindow(FALSE);
        m_btnSaveSetting.ShowWindow(SW_SHOW);
        m_btnSaveSetting.EnableWindow(FALSE);
        return;
    }
    if (name.IsEmpty() || name == LoadResString(IDS_MODIFIED_NAME)) {
        CWarningOK enterName(this);
        enterName.m_strMessage = LoadResString(IDS_ENTER_NAME);
        enterName.DoModal();
        m_cmbSettings.SetFocus();
        return;
    }
    const int existing = FindItemExact(m_cmbSettings, name);
    if (existing >= 0) {
        CWarningDlg replace(this);
        replace.m_strMessage = LoadResString(IDS_NAME_EXISTS);
        if (replace.DoModal() == IDCANCEL)
            return;
    }
    if (!SaveNamedSetting(name, reinterpret_cast<const BYTE*>(&m_ScanParam))) {
        // Nothing was saved: Save stays, so the name is not taken for a saved one.
        DebugPrint(u"OnBnClickedSaveSetting: the settings could not be saved");
        return;
    }
    if (existing >= 0)
        m_cmbSettings.DeleteString(static_cast<UINT>(existing));
    m_nSavedSettingIndex = m_cmbSettings.AddString(name);
    m_cmbSettings.SetCurSel(m_nSavedSettingIndex);
    m_btnDeleteSetting.ShowWindow(SW_SHOW);
    m_btnDeleteSetting.EnableWindow(TRUE);
    m_btnSaveSetting.ShowWindow(SW_HIDE);
    m_btnSaveSetting.EnableWindow(FALSE);
}

// No confirmation: the name goes at once.
void CMainUIDialog::OnBnClickedDeleteSetting() {
    const CString name = TrimmedText(m_cmbSettings);
    if (name.IsEmpty() || name == LoadResString(IDS_DEFAULT_NAME) || name == LoadResString(IDS_MODIFIED_NAME))
        return;
    if (!DeleteNamedSetting(name))
        return;
    const int item = FindItemExact(m_cmbSettings, name);
    if (item >= 0)
        m_cmbSettings.DeleteString(static_cast<UINT>(item));
    m_nSavedSettingIndex = -1;
    m_cmbSettings.SetCurSel(0);
    OnCbnSelchangeSettings();
}

void CMainUIDialog::RefreshSettingControls(BOOL updateButtons) {
    if (updateButtons) {
        CString text;
        m_cmbSettings.GetWindowText(text);
        if (text.CompareNoCase(LoadResString(IDS_MODIFIED_NAME)) == 0) {
            m_btnSaveSetting.ShowWindow(SW_SHOW);
            m_btnDeleteSetting.ShowWindow(SW_HIDE);
        } else {
            m_btnDeleteSetting.ShowWindow(SW_SHOW);
            m_btnSaveSetting.ShowWindow(SW_HIDE);
            m_btnDeleteSetting.EnableWindow(text.CompareNoCase(LoadResString(IDS_DEFAULT_NAME)) != 0);
        }
    }
    if (m_cmbUnits.GetCurSel() != m_ScanParam.adv[18]) {
        m_cmbUnits.SetCurSel(m_ScanParam.adv[18]);
        OnCbnSelchangeUnits();
    }
    if (m_pBasicSetting && m_pBasicSetting->m_hWnd != nullptr)
        m_pBasicSetting->UpdateControlsFromParam();
    if (m_pAdvancedSetting && m_pAdvancedSetting->m_hWnd != nullptr)
        m_pAdvancedSetting->UpdateControlsFromParam();
    OnClickedBasicTab();
    UpdateSourceControls();
    UpdatePreviewPaper();
}

void CMainUIDialog::UpdateSourceControls() {
    const bool flatbed = m_ScanParam.source == 0;
    m_btnPreview.EnableWindow(flatbed);
    // The save pane of app mode: the many pages of a feeder job are not opened one by one.
    if (CDlg_ImgSaveSets* pane = m_pDlg_ImgSaveSets) {
        pane->m_bFeeder = flatbed ? FALSE : TRUE;
        if (!flatbed) {
            pane->m_ImgSaveSettings.nOpenFile = 0;
            if (m_ScanParam.source == 1 && GetManualDuplexFlag())
                SavePaneToPdf(*pane);
        }
    }
    const int show = flatbed ? SW_SHOW : SW_HIDE;
    for (CWnd* control :
         {static_cast<CWnd*>(&m_btnSelect), static_cast<CWnd*>(&m_btnZoomIn), static_cast<CWnd*>(&m_btnZoomOut),
          static_cast<CWnd*>(&m_btnHand), static_cast<CWnd*>(&m_btnClearPreview), static_cast<CWnd*>(&m_Preview)})
        if (control != nullptr && control->m_hWnd != nullptr)
            control->ShowWindow(show);
}

void CMainUIDialog::MarkSettingModified() {
    const CString modified = LoadResString(IDS_MODIFIED_NAME);
    CString text;
    m_cmbSettings.GetWindowText(text);
    if (text == modified)
        return;
    m_cmbSettings.SetCurSel(-1);
    m_cmbSettings.SetWindowText(modified);
    m_btnSaveSetting.ShowWindow(SW_SHOW);
    m_btnDeleteSetting.ShowWindow(SW_HIDE);
    m_nSavedSettingIndex = -1;
}

void CMainUIDialog::SaveCurrentSettingOnExit() {
    CString name;
    m_cmbSettings.GetWindowText(name);
    SaveCurrentSetting(name, reinterpret_cast<const BYTE*>(&m_ScanParam));
}

// The save pane of app mode records the choice for the application; both sides of every sheet go into one PDF.
void CMainUIDialog::SetSavePaneManualDuplex(BOOL on) {
    CDlg_ImgSaveSets* pane = m_pDlg_ImgSaveSets;
    if (pane == nullptr)
        return;
    pane->m_ImgSaveSettings.nManualDuplex = on ? 1 : 0;
    if (on)
        SavePaneToPdf(*pane);
}
