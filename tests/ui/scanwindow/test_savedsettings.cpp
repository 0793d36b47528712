// Saved settings in the scanning window: names typed into the list, saving, picking and deleting them in the store,
// the limit of sixteen, a package version that starts afresh, and the network scanner an installation left in the
// registry, taken over once per installation by each kind of window.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/NetInstall.h"

#include "scanner/PaperTables.h"
#include "settings/SettingStore.h"
#include "ui/dialogs/CDlg_ImgSaveSets.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace {

using namespace scanwindow_test;

class SavedSettingsTest : public ScanWindowTestRoot {
protected:
    void TearDown() override {
        m_dialog.reset();
        ScanWindowTestRoot::TearDown();
    }

    CMainUIDialog& Create() {
        m_dialog.reset();
        ut::UseManualClock(true);
        m_dialog = std::make_unique<CMainUIDialog>();
        EXPECT_TRUE(m_dialog->CreateModeless(nullptr));
        m_dialog->ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        return *m_dialog;
    }
    // The window goes as the engine ends it: the current settings are saved.
    void Close() { m_dialog.reset(); }

    HWND Item(int id) const { return GetDlgItem(m_dialog->m_hWnd, id); }
    HWND Combo() const { return Item(10301); }
    void ClickItem(int id) {
        ut::AdvanceClock(1000); // no double click, which the skinned buttons ignore
        ut::Click(Item(id));
        ut::RunPendingMessages();
    }
    // The user clears the name and types another.
    void TypeName(std::u16string_view text) {
        SetWindowTextW(Combo(), u"");
        SetFocus(Combo());
        ut::TypeText(text);
        ut::RunPendingMessages();
    }
    void Select(int index) {
        SendMessageW(Combo(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(10301, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Combo()));
        ut::RunPendingMessages();
    }
    std::vector<std::u16string> Items() const {
        std::vector<std::u16string> items;
        const int count = static_cast<int>(SendMessageW(Combo(), CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            WCHAR text[256] = {};
            SendMessageW(Combo(), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            items.emplace_back(text);
        }
        return items;
    }
    static std::vector<std::u16string> StoredNames() {
        WCHAR buffers[128][128] = {};
        WCHAR* names[128];
        for (int i = 0; i < 128; ++i)
            names[i] = buffers[i];
        const int count = ListNamedSettings(names, 128);
        return std::vector<std::u16string>(names, names + count);
    }
    static bool Stored(const WCHAR* name, ScanParam& record) {
        return LoadNamedSetting(name, reinterpret_cast<BYTE*>(&record)) != FALSE;
    }
    bool SaveShown() const { return IsWindowVisible(Item(10302)) && !IsWindowVisible(Item(10303)); }
    bool DeleteShown() const { return IsWindowVisible(Item(10303)) && !IsWindowVisible(Item(10302)); }

    std::unique_ptr<CMainUIDialog> m_dialog;
};

TEST_F(SavedSettingsTest, SavePickAndDeleteANamedSetting) {
    CMainUIDialog& dialog = Create();
    EXPECT_EQ(Items(), std::vector<std::u16string>{u"Default"});
    EXPECT_EQ(TextOf(Combo()), u"Default");
    EXPECT_TRUE(DeleteShown());
    EXPECT_FALSE(IsWindowEnabled(Item(10303))) << "the defaults cannot be deleted";

    dialog.m_ScanParam.colorMode = 1;
    dialog.m_ScanParam.resolution = 3;
    dialog.MarkSettingModified();
    EXPECT_EQ(TextOf(Combo()), u"Custom Settings");
    EXPECT_TRUE(SaveShown());
    TypeName(u"Photo");
    EXPECT_TRUE(SaveShown());
    EXPECT_TRUE(IsWindowEnabled(Item(10302)));
    ClickItem(10302);
    EXPECT_TRUE(m_modalTexts.empty()) << "a new name is saved without a question";
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"Default", u"Photo"}));
    EXPECT_EQ(SendMessageW(Combo(), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(dialog.m_nSavedSettingIndex, 1);
    EXPECT_TRUE(DeleteShown());
    EXPECT_TRUE(IsWindowEnabled(Item(10303)));
    EXPECT_EQ(StoredNames(), (std::vector<std::u16string>{u"Default", u"Photo"}));
    ScanParam photo{};
    ASSERT_TRUE(Stored(u"Photo", photo));
    EXPECT_EQ(std::memcmp(&photo, &dialog.m_ScanParam, sizeof photo), 0);

    Select(0);
    EXPECT_EQ(TextOf(Combo()), u"Default");
    EXPECT_EQ(dialog.m_ScanParam.colorMode, 2) << "the defaults are back";
    EXPECT_EQ(dialog.m_ScanParam.resolution, 2);
    EXPECT_EQ(SendMessageW(dialog.m_pBasicSetting->m_cmbResolution.m_hWnd, CB_GETCURSEL, 0, 0), 2)
        << "the pages show what was picked";
    Select(1);
    EXPECT_EQ(dialog.m_ScanParam.colorMode, 1);
    EXPECT_EQ(dialog.m_ScanParam.resolution, 3);
    EXPECT_EQ(dialog.m_nSavedSettingIndex, 1);

    ClickItem(10303);
    EXPECT_TRUE(m_modalTexts.empty()) << "deleting asks nothing";
    EXPECT_EQ(StoredNames(), std::vector<std::u16string>{u"Default"});
    EXPECT_EQ(Items(), std::vector<std::u16string>{u"Default"});
    EXPECT_EQ(TextOf(Combo()), u"Default") << "the first item is picked and loaded";
    EXPECT_EQ(dialog.m_ScanParam.resolution, 2);
    EXPECT_EQ(dialog.m_nSavedSettingIndex, 0);
}

TEST_F(SavedSettingsTest, TheWindowStartsFromWhatItLastHad) {
    CMainUIDialog& dialog = Create();
    dialog.m_ScanParam.colorMode = 0;
    dialog.MarkSettingModified();
    TypeName(u"Text");
    ClickItem(10302);
    Close();

    CMainUIDialog& again = Create();
    EXPECT_EQ(TextOf(Combo()), u"Text");
    EXPECT_EQ(again.m_nSavedSettingIndex, 1);
    EXPECT_EQ(again.m_ScanParam.colorMode, 0);
    EXPECT_TRUE(DeleteShown());

    again.m_ScanParam.resolution = 1;
    again.MarkSettingModified();
    Close();
    CMainUIDialog& third = Create();
    EXPECT_EQ(TextOf(Combo()), u"Custom Settings") << "changed settings come back as changed";
    EXPECT_EQ(third.m_ScanParam.resolution, 1);
    EXPECT_EQ(third.m_nSavedSettingIndex, -1);
    EXPECT_TRUE(SaveShown());
}

TEST_F(SavedSettingsTest, AStoreThatCannotBeUsedIsToldOnceByItsFileAndTheWindowGoesOnWithTheDefaults) {
    std::filesystem::create_directories(m_root + "/AppData/Korvel/settings.dat"); // a folder where the file belongs
    CMainUIDialog& dialog = Create();
    ASSERT_EQ(m_modalTexts.size(), 1u) << "told once";
    EXPECT_EQ(m_modalTexts[0], u"The saved settings (settings.dat) cannot be read or written. The default settings are "
                               u"used.");
    EXPECT_TRUE(DebugHas(u"initializeSetting: the settings store C:\\AppData\\Korvel\\settings.dat cannot be read"));
    EXPECT_EQ(TextOf(Combo()), u"Default");
    EXPECT_EQ(dialog.m_ScanParam.resolution, 2) << "the defaults";
    EXPECT_EQ(dialog.m_ScanParam.colorMode, 2) << "the defaults";
    EXPECT_TRUE(g_LLD.IsLoaded()) << "the driver is loaded for the scan, which does not blame the scanner";
    dialog.m_ScanParam.resolution = 1;
    dialog.MarkSettingModified();
    Close();
    EXPECT_EQ(m_modalTexts.size(), 1u) << "nothing more when the window goes";
}

TEST_F(SavedSettingsTest, TypedNamesLoseForbiddenCharactersAndStopAtSixteen) {
    Create();
    TypeName(u"a,b");
    EXPECT_EQ(TextOf(Combo()), u"ab");
    TypeName(u"x\\/:*?\"<>|y");
    EXPECT_EQ(TextOf(Combo()), u"xy");
    TypeName(u"abcdefghijklmnopqrst");
    EXPECT_EQ(TextOf(Combo()), u"abcdefghijklmnop");
    EXPECT_TRUE(SaveShown());
    EXPECT_FALSE(IsWindowEnabled(Item(10303)));
    EXPECT_TRUE(IsWindowEnabled(Item(10302)));

    TypeName(u"DEFAULT");
    EXPECT_TRUE(SaveShown());
    EXPECT_FALSE(IsWindowEnabled(Item(10302))) << "the default name, in any case, cannot be saved over";

    SetWindowTextW(Combo(), u" Default ");
    m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(10301, CBN_SELENDCANCEL), reinterpret_cast<LPARAM>(Combo()));
    EXPECT_TRUE(SaveShown());
    EXPECT_FALSE(IsWindowEnabled(Item(10302)));
}

TEST_F(SavedSettingsTest, SaveRefusesTheDefaultEmptyAndModifiedNames) {
    Create();
    SetWindowTextW(Combo(), u"Default");
    m_dialog->OnBnClickedSaveSetting();
    EXPECT_TRUE(m_modalTexts.empty());
    EXPECT_TRUE(SaveShown());
    EXPECT_FALSE(IsWindowEnabled(Item(10302)));

    for (const WCHAR* name : {u"", u"  ", u"Custom Settings"}) {
        m_modalTexts.clear();
        SetWindowTextW(Combo(), name);
        m_dialog->OnBnClickedSaveSetting();
        ut::RunPendingMessages();
        ASSERT_EQ(m_modalTexts.size(), 1u) << "name \"" << std::string(name, name + wcslen(name)) << "\"";
        EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1108)));
        const HWND focus = GetFocus();
        EXPECT_TRUE(focus == Combo() || GetParent(focus) == Combo()) << "the focus is back in the list's name";
    }
    EXPECT_EQ(StoredNames(), std::vector<std::u16string>{u"Default"});
}

TEST_F(SavedSettingsTest, AnExistingNameIsReplacedOnlyWhenTheUserAgrees) {
    CMainUIDialog& dialog = Create();
    dialog.m_ScanParam.colorMode = 1;
    TypeName(u"Scan");
    ClickItem(10302);
    TypeName(u"Other");
    ClickItem(10302);
    ASSERT_EQ(Items(), (std::vector<std::u16string>{u"Default", u"Scan", u"Other"}));

    dialog.m_ScanParam.colorMode = 0;
    std::u16string asked;
    m_onModal = [&](HWND dlg) {
        asked = TextOf(GetDlgItem(dlg, 10308));
        EndDialog(dlg, IDCANCEL);
    };
    TypeName(u"Scan");
    ClickItem(10302);
    EXPECT_EQ(asked, std::u16string(LoadResString(1095)));
    ScanParam stored{};
    ASSERT_TRUE(Stored(u"Scan", stored));
    EXPECT_EQ(stored.colorMode, 1) << "Cancel keeps the saved one";
    EXPECT_TRUE(SaveShown());

    m_onModal = [&](HWND dlg) { EndDialog(dlg, IDOK); };
    ClickItem(10302);
    ASSERT_TRUE(Stored(u"Scan", stored));
    EXPECT_EQ(stored.colorMode, 0);
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"Default", u"Other", u"Scan"})) << "one item, now last";
    EXPECT_EQ(dialog.m_nSavedSettingIndex, 2);
    EXPECT_TRUE(DeleteShown());

    m_onModal = nullptr;
    m_modalTexts.clear();
    TypeName(u"scan");
    ClickItem(10302);
    EXPECT_TRUE(m_modalTexts.empty()) << "names differ by case";
    EXPECT_EQ(Items().size(), 4u);
}

TEST_F(SavedSettingsTest, SixteenItemsAreTheLimit) {
    ASSERT_TRUE(InitSettingsFile());
    const ScanParam record{};
    for (int i = 1; i <= 15; ++i) {
        const std::u16string name = u"Set " + Wide(std::to_string(i));
        ASSERT_TRUE(SaveNamedSetting(name.c_str(), reinterpret_cast<const BYTE*>(&record)));
    }
    Create();
    ASSERT_EQ(Items().size(), 16u) << "the defaults and fifteen names";
    TypeName(u"One more");
    ClickItem(10302);
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1100)));
    EXPECT_EQ(StoredNames().size(), 16u);

    m_modalTexts.clear();
    TypeName(u"Set 3");
    ClickItem(10302);
    EXPECT_EQ(m_modalTexts, std::vector<std::u16string>{std::u16string(LoadResString(1100))})
        << "at the limit even an existing name is refused";

    SetWindowTextW(Combo(), u"Set 15");
    m_dialog->OnBnClickedDeleteSetting();
    m_modalTexts.clear();
    TypeName(u"One more");
    ClickItem(10302);
    EXPECT_TRUE(m_modalTexts.empty()) << "room again after a delete";
    EXPECT_EQ(Items().back(), u"One more");
}

TEST_F(SavedSettingsTest, NamesThatCannotBeStoredAreNotShownAsSaved) {
    Create();
    m_dialog->MarkSettingModified();
    SetWindowTextW(Combo(), u"a>b"); // not typed: no characters are removed
    ClickItem(10302);
    EXPECT_EQ(Items(), std::vector<std::u16string>{u"Default"});
    EXPECT_EQ(StoredNames(), std::vector<std::u16string>{u"Default"});
    EXPECT_TRUE(SaveShown()) << "Save stays: nothing was saved";
}

TEST_F(SavedSettingsTest, DeleteLeavesTheDefaultsAndTheModifiedLabelAlone) {
    Create();
    for (const WCHAR* name : {u"Default", u"Custom Settings", u""}) {
        SetWindowTextW(Combo(), name);
        m_dialog->OnBnClickedDeleteSetting();
    }
    EXPECT_EQ(StoredNames(), std::vector<std::u16string>{u"Default"});
    EXPECT_EQ(Items(), std::vector<std::u16string>{u"Default"});
}

TEST_F(SavedSettingsTest, AfterALanguageChangeTheDefaultsReadInTheNewLanguageAndStayUndeletable) {
    CMainUIDialog& english = Create();
    english.m_ScanParam.colorMode = 1;
    english.MarkSettingModified();
    TypeName(u"Photo");
    ClickItem(10302);
    Select(0);
    EXPECT_EQ(TextOf(Combo()), u"Default");
    Close();

    SetLanguage(u"German");
    Create();
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"Photo", u"Standard"}))
        << "the defaults saved in English are the German defaults, listed once";
    EXPECT_EQ(TextOf(Combo()), u"Standard") << "the current setting was the defaults";
    EXPECT_TRUE(DeleteShown());
    EXPECT_FALSE(IsWindowEnabled(Item(10303))) << "the defaults cannot be deleted in any language";
    ClickItem(10303);
    EXPECT_EQ(StoredNames(), (std::vector<std::u16string>{u"Photo", u"Standard"}));
    ScanParam photo{};
    ASSERT_TRUE(Stored(u"Photo", photo)) << "the user's own setting stays";
    EXPECT_EQ(photo.colorMode, 1);

    // Changed settings carry the label of the language the window speaks when it comes back.
    m_dialog->MarkSettingModified();
    Close();
    SetLanguage(u"Hebrew");
    Create();
    EXPECT_EQ(TextOf(Combo()), u"\u05D4\u05D2\u05D3\u05E8\u05D5\u05EA \u05DE\u05D5\u05EA\u05D0\u05DE\u05D5\u05EA");
    EXPECT_TRUE(SaveShown());
    Select(static_cast<int>(Items().size()) - 1);
    EXPECT_EQ(TextOf(Combo()), u"\u05D1\u05E8\u05D9\u05E8\u05EA \u05DE\u05D7\u05D3\u05DC");
    EXPECT_FALSE(IsWindowEnabled(Item(10303))) << "the Hebrew defaults cannot be deleted either";
}

TEST_F(SavedSettingsTest, ASettingOfTheUsersNamedLikeAnotherLanguagesDefaultsStays) {
    CMainUIDialog& english = Create();
    english.m_ScanParam.resolution = 4;
    english.MarkSettingModified();
    TypeName(u"Standard");
    ClickItem(10302);
    Close();
    SetLanguage(u"Hebrew");
    Create();
    const std::vector<std::u16string> items = Items();
    EXPECT_EQ(items.size(), 2u) << "the Hebrew defaults in place of the English ones, and the user's setting";
    EXPECT_NE(std::find(items.begin(), items.end(), u"Standard"), items.end())
        << "the user's own setting of that name is no defaults and stays";
}

TEST_F(SavedSettingsTest, APickedSettingIsCheckedBeforeUse) {
    ASSERT_TRUE(InitSettingsFile());
    ScanParam damaged{};
    damaged.colorMode = 7;
    damaged.resolution = -3;
    damaged.paperSize = 400;
    damaged.adv[18] = 9;
    std::memset(damaged.szHostAddress, 'x', sizeof damaged.szHostAddress);
    ASSERT_TRUE(SaveNamedSetting(u"Broken", reinterpret_cast<const BYTE*>(&damaged)));
    CMainUIDialog& dialog = Create();
    ASSERT_EQ(Items(), (std::vector<std::u16string>{u"Broken", u"Default"})) << "in the store's order";
    Select(0);
    EXPECT_EQ(dialog.m_nSavedSettingIndex, 0);
    EXPECT_EQ(TextOf(Combo()), u"Broken");
    EXPECT_EQ(dialog.m_ScanParam.colorMode, 2);
    EXPECT_EQ(dialog.m_ScanParam.resolution, 2);
    EXPECT_EQ(dialog.m_ScanParam.paperSize, 5);
    EXPECT_EQ(dialog.m_ScanParam.adv[18], 2);
    EXPECT_EQ(std::strlen(dialog.m_ScanParam.szHostAddress), 255u);
}

TEST_F(SavedSettingsTest, ANewPackageVersionStartsAfresh) {
    AddIni("Version=1.0\n");
    CMainUIDialog& dialog = Create();
    dialog.m_ScanParam.colorMode = 1;
    TypeName(u"Kept");
    ClickItem(10302);
    Close();
    Create();
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"Default", u"Kept"})) << "the same version keeps its names";
    Close();

    m_iniText.replace(m_iniText.find("Version=1.0"), 11, "Version=1.1");
    WriteIni();
    CMainUIDialog& fresh = Create();
    EXPECT_EQ(Items(), std::vector<std::u16string>{u"Default"});
    EXPECT_EQ(TextOf(Combo()), u"Default");
    EXPECT_EQ(fresh.m_ScanParam.colorMode, 2);
}

TEST_F(SavedSettingsTest, AFeederSourceTellsTheSavePaneNotToOpenEachFile) {
    g_bAppMode = TRUE;
    CMainUIDialog& dialog = Create();
    ASSERT_NE(dialog.m_pDlg_ImgSaveSets, nullptr);
    CDlg_ImgSaveSets& pane = *dialog.m_pDlg_ImgSaveSets;
    pane.m_ImgSaveSettings.nOpenFile = 1;
    wcscpy_s(pane.m_ImgSaveSettings.szType, u"JPG");
    dialog.m_ScanParam.source = 1;
    dialog.UpdateSourceControls();
    EXPECT_TRUE(pane.m_bFeeder);
    EXPECT_EQ(pane.m_ImgSaveSettings.nOpenFile, 0);
    EXPECT_EQ(std::u16string(pane.m_ImgSaveSettings.szType), u"JPG") << "without manual duplex the type stays";

    SetManualDuplexFlag(1);
    dialog.UpdateSourceControls();
    EXPECT_EQ(std::u16string(pane.m_ImgSaveSettings.szType), u"PDF") << "both sides of each sheet in one PDF";
    EXPECT_EQ(TextOf(GetDlgItem(pane.m_hWnd, CDlg_ImgSaveSets::IDC_TYPE)), u"PDF");

    wcscpy_s(pane.m_ImgSaveSettings.szType, u"JPG");
    dialog.m_ScanParam.source = 2;
    dialog.UpdateSourceControls();
    EXPECT_EQ(std::u16string(pane.m_ImgSaveSettings.szType), u"JPG") << "the duplex feeder needs no manual turn";
    EXPECT_TRUE(pane.m_bFeeder);
    SetManualDuplexFlag(0);

    pane.m_ImgSaveSettings.nOpenFile = 1;
    dialog.m_ScanParam.source = 0;
    dialog.UpdateSourceControls();
    EXPECT_FALSE(pane.m_bFeeder);
    EXPECT_EQ(pane.m_ImgSaveSettings.nOpenFile, 1);
}

// ---- The network scanner of an installation ----

TEST(NetInstallDecision, EachWindowTakesAnInstallationOverOnce) {
    const std::u16string time = u"2024-05-01 10:00";
    struct Case {
        std::u16string marker;
        BOOL appMode;
        bool adopt;
        WCHAR letter;
    };
    const Case cases[] = {
        {u"", FALSE, true, u'T'},
        {u"", TRUE, true, u'A'},
        {u"T" + time, FALSE, false, 0},
        {u"T" + time, TRUE, true, u'D'},
        {u"A" + time, TRUE, false, 0},
        {u"A" + time, FALSE, true, u'D'},
        {u"D" + time, FALSE, false, 0},
        {u"D" + time, TRUE, false, 0},
        {u"X" + time, FALSE, true, u'D'},
        {u"D2023-01-01 09:00", FALSE, true, u'T'}, // a new installation
        {u"T" + time + u"0", FALSE, true, u'T'},   // a longer text is another one
        {u"T" + time.substr(0, 5), TRUE, true, u'A'},
    };
    for (const Case& c : cases) {
        WCHAR letter = 0;
        EXPECT_EQ(DecideNetInstall(c.marker.data(), c.marker.size(), time.c_str(), c.appMode, letter), c.adopt)
            << std::string(c.marker.begin(), c.marker.end()) << " app " << c.appMode;
        if (c.adopt) {
            EXPECT_EQ(letter, c.letter) << std::string(c.marker.begin(), c.marker.end());
        }
    }
    WCHAR letter = 0;
    EXPECT_TRUE(DecideNetInstall(nullptr, 0, u"", FALSE, letter)) << "an empty marker and an empty time";
    EXPECT_EQ(letter, u'T');
}

class NetInstallTest : public SavedSettingsTest {
protected:
    void SetValue(const WCHAR* name, const std::u16string& value, DWORD type = REG_SZ) {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()), bytes),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void Install(const std::u16string& address, const std::u16string& time) {
        SetValue(u"IP", address);
        SetValue(u"IP TIME", time);
    }
    std::string MarkerFile() const { return m_root + "/AppData/Korvel/net_install.dat"; }
    std::u16string Marker() const {
        std::ifstream in(MarkerFile(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::u16string text(bytes.size() / 2, 0);
        std::memcpy(text.data(), bytes.data(), text.size() * 2);
        return text;
    }
    void WriteMarker(const std::u16string& text) {
        std::filesystem::create_directories(m_root + "/AppData/Korvel");
        std::ofstream(MarkerFile(), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * 2));
    }
    // The user goes back to USB in the window, which keeps that as the current settings.
    void BackToUsb() {
        m_dialog->m_ScanParam.portType = 0;
        m_dialog->MarkSettingModified();
        Close();
    }
};

TEST_F(NetInstallTest, TheTwainWindowTakesTheAddressOverOnce) {
    Install(u"192.168.5.20", u"2024-05-01 10:00");
    CMainUIDialog& dialog = Create();
    EXPECT_EQ(dialog.m_ScanParam.portType, 2);
    EXPECT_STREQ(dialog.m_ScanParam.szHostAddress, "192.168.5.20");
    EXPECT_EQ(TextOf(Combo()), u"Custom Settings");
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"Default", u"Custom Settings"}))
        << "the modified label joins the list";
    EXPECT_TRUE(SaveShown());
    EXPECT_EQ(Marker(), u"T2024-05-01 10:00");
    EXPECT_TRUE(DebugHas(u"initializeSetting: IP:"));
    ScanParam current{};
    WCHAR name[128] = {};
    ASSERT_TRUE(LoadCurrentSetting(reinterpret_cast<BYTE*>(&current), name));
    EXPECT_EQ(std::u16string(name), u"Custom Settings");
    EXPECT_EQ(current.portType, 2);
    BackToUsb();

    CMainUIDialog& again = Create();
    EXPECT_EQ(again.m_ScanParam.portType, 0) << "the same installation is not taken over twice";
    EXPECT_EQ(Marker(), u"T2024-05-01 10:00");
    Close();

    g_bAppMode = TRUE;
    CMainUIDialog& app = Create();
    EXPECT_EQ(app.m_ScanParam.portType, 2) << "app mode keeps settings of its own and takes it over once too";
    EXPECT_EQ(Marker(), u"D2024-05-01 10:00");
    BackToUsb();
    Create();
    EXPECT_EQ(m_dialog->m_ScanParam.portType, 0);
    Close();
    g_bAppMode = FALSE;
    Create();
    EXPECT_EQ(m_dialog->m_ScanParam.portType, 0);
    Close();

    Install(u"10.0.0.7", u"2024-06-02 8:30");
    CMainUIDialog& reinstalled = Create();
    EXPECT_EQ(reinstalled.m_ScanParam.portType, 2) << "a new installation is taken over again";
    EXPECT_STREQ(reinstalled.m_ScanParam.szHostAddress, "10.0.0.7");
    EXPECT_EQ(Marker(), u"T2024-06-02 8:30") << "nothing of the longer old text is left behind";
    BackToUsb();
    Create();
    EXPECT_EQ(m_dialog->m_ScanParam.portType, 0) << "and only once, even after a longer marker";
}

TEST_F(NetInstallTest, ASavedCurrentSettingKeepsItsNameAndGetsTheAddress) {
    ASSERT_TRUE(InitSettingsFile());
    ScanParam record{};
    record.resolution = 3;
    std::memset(record.szHostAddress, 'z', 100);
    ASSERT_TRUE(SaveNamedSetting(u"Office", reinterpret_cast<const BYTE*>(&record)));
    ASSERT_TRUE(SaveCurrentSetting(u"Office", reinterpret_cast<const BYTE*>(&record)));
    Install(u"scanner.example", u"1");
    CMainUIDialog& dialog = Create();
    EXPECT_EQ(TextOf(Combo()), u"Office");
    EXPECT_EQ(Items(), (std::vector<std::u16string>{u"Office", u"Default"}));
    EXPECT_EQ(dialog.m_ScanParam.resolution, 3);
    EXPECT_STREQ(dialog.m_ScanParam.szHostAddress, "scanner.example") << "the field is cleared first";
}

TEST_F(NetInstallTest, MissingOrOverlongValuesTakeNothingOver) {
    SetValue(u"IP", u"192.168.5.20");
    CMainUIDialog& withoutTime = Create();
    EXPECT_EQ(withoutTime.m_ScanParam.portType, 0);
    EXPECT_TRUE(DebugHas(u"failed to get IP TIME"));
    EXPECT_FALSE(std::filesystem::exists(MarkerFile()));
    Close();

    SetValue(u"IP TIME", std::u16string(128, u'9'));
    CMainUIDialog& overlong = Create();
    EXPECT_EQ(overlong.m_ScanParam.portType, 0) << "a time too long for its buffer counts as missing";
    Close();

    SetValue(u"IP TIME", std::u16string(127, u'9'));
    SetValue(u"IP", u"10." + std::u16string(130, u'1'));
    Create();
    EXPECT_EQ(m_dialog->m_ScanParam.portType, 0) << "an address too long for its buffer counts as missing";
    Close();

    SetValue(u"IP", u"10.1.1.1", REG_BINARY);
    Create();
    EXPECT_EQ(m_dialog->m_ScanParam.portType, 0) << "a value that is no string counts as missing";
    Close();

    SetValue(u"IP", u"10.1.1.1");
    CMainUIDialog& fits = Create();
    EXPECT_EQ(fits.m_ScanParam.portType, 2) << "127 characters and a terminator fit";
    EXPECT_EQ(Marker(), u"T" + std::u16string(127, u'9'));
}

TEST_F(NetInstallTest, WithoutAMarkerFileTheAddressIsStillTakenOver) {
    Install(u"192.168.5.20", u"7");
    std::filesystem::create_directories(MarkerFile()); // a folder where the file would be
    CMainUIDialog& dialog = Create();
    EXPECT_EQ(dialog.m_ScanParam.portType, 2);
    EXPECT_TRUE(DebugHas(u"CMainUIDialog::initializeSetting, open failed: "));
    const std::vector<std::u16string> lines = m_debug.Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::u16string& line) {
        return line.rfind(u"initializeSetting, open failed: ", 0) == 0;
    })) << "nor can it be made";
}

TEST_F(NetInstallTest, AMarkerOfAnotherInstallationIsRewrittenWhole) {
    WriteMarker(u"D" + std::u16string(300, u'x')); // longer than is read
    Install(u"192.168.5.20", u"7");
    Create();
    EXPECT_EQ(m_dialog->m_ScanParam.portType, 2);
    EXPECT_EQ(Marker(), u"T7");
}

} // namespace
