// The scanning window's dialogs and panes: the port, about and details buttons, and in app mode the image
// information and save panes over their places, the save pane's record at scan start and when the window goes.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CPortSettingDlg.h"

#include "ui/dialogs/CDlg_ImgINFO.h"
#include "ui/dialogs/CDlg_ImgSaveSets.h"
#include "ui/dialogs/ImgSaveSettings.h"

#include "scanner/PaperTables.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace scanwindow_test;

class WindowDialogsTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        ut::UseManualClock(true);
    }
    void TearDown() override {
        m_dialog.reset();
        ScanWindowTestRoot::TearDown();
    }
    void Open(bool appMode) {
        g_bAppMode = appMode ? TRUE : FALSE;
        m_dialog = std::make_unique<CMainUIDialog>();
        ASSERT_TRUE(m_dialog->CreateModeless(nullptr));
        m_dialog->ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        ClearDriverCalls();
    }
    HWND Item(int id) const { return GetDlgItem(m_dialog->m_hWnd, id); }
    void ClickItem(int id) {
        ut::AdvanceClock(1000);
        ut::Click(Item(id));
        ut::RunPendingMessages();
    }
    CRect ScreenRect(HWND hwnd) {
        CRect rect;
        GetWindowRect(hwnd, &rect);
        return rect;
    }
    std::string SettingsFile() const { return m_root + "/AppData/Korvel/imgSaveSettings.dat"; }

    std::unique_ptr<CMainUIDialog> m_dialog;
};

TEST_F(WindowDialogsTest, ThePortButtonEditsThePortOfTheSettingsWhileTheWindowWaits) {
    Open(false);
    WriteControl("net_device = KVX-7731-LAB 10.0.0.7\n");
    bool windowDisabled = false;
    m_onModal = [&](HWND dlg) {
        if (GetDlgItem(dlg, 10306)) { // the error box of a failed test: none expected
            RecordAndClose(dlg);
            return;
        }
        windowDisabled = !IsWindowEnabled(m_dialog->m_hWnd);
        ut::RunPendingMessages();
        SetWindowTextW(GetDlgItem(dlg, CPortSettingDlg::IDC_HOST_EDIT), u"10.0.0.7");
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(CPortSettingDlg::IDC_HOST, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, CPortSettingDlg::IDC_HOST)));
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
        for (int i = 0; i < 400 && IsWindowVisible(dlg); ++i) {
            ut::RunPendingMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    ClickItem(20003);
    EXPECT_TRUE(windowDisabled) << "the window is disabled while the port dialog runs";
    EXPECT_TRUE(IsWindowEnabled(m_dialog->m_hWnd));
    EXPECT_TRUE(m_modalTexts.empty());
    EXPECT_EQ(m_dialog->m_ScanParam.portType, 2);
    EXPECT_STREQ(m_dialog->m_ScanParam.szHostAddress, "10.0.0.7");
    EXPECT_NE(TextOf(m_dialog->m_hWnd).find(u"10.0.0.7"), std::u16string::npos) << "the title names the port";
    CString settings;
    m_dialog->m_cmbSettings.GetWindowText(settings);
    EXPECT_EQ(std::u16string(settings), std::u16string(LoadResString(1020))) << "the settings are marked modified";

    m_onModal = [&](HWND dlg) {
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(CPortSettingDlg::IDC_USB, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, CPortSettingDlg::IDC_USB)));
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
    };
    ClickItem(20003);
    EXPECT_EQ(m_dialog->m_ScanParam.portType, 2) << "Cancel changes nothing";
}

TEST_F(WindowDialogsTest, AboutAndDetailsOpenFromTheirButtons) {
    Open(false);
    std::vector<int> seen;
    m_onModal = [&](HWND dlg) {
        for (int id : {10339, 10326})
            if (GetDlgItem(dlg, id))
                seen.push_back(id);
        if (GetDlgItem(dlg, 10339)) {
            EXPECT_EQ(TextOf(GetDlgItem(dlg, 10339)), u"KVX 7731");
        }
        if (GetDlgItem(dlg, 10326)) {
            EXPECT_EQ(TextOf(GetDlgItem(dlg, 10326)), std::u16string(LoadResString(1026)));
        }
        EndDialog(dlg, IDOK);
    };
    ClickItem(20001);
    ClickItem(10314);
    ClickItem(10314);
    EXPECT_EQ(seen, (std::vector<int>{10339, 10326, 10326})) << "the details are built anew each time";
}

TEST_F(WindowDialogsTest, AppModePanesLieOverTheirPlacesAndShowTheSettings) {
    Open(true);
    ASSERT_NE(m_dialog->m_pDlg_ImgINFO, nullptr);
    ASSERT_NE(m_dialog->m_pDlg_ImgSaveSets, nullptr);
    EXPECT_EQ(ScreenRect(m_dialog->m_pDlg_ImgINFO->m_hWnd), ScreenRect(Item(1010)));
    EXPECT_EQ(ScreenRect(m_dialog->m_pDlg_ImgSaveSets->m_hWnd), ScreenRect(Item(1009)));
    EXPECT_TRUE(IsWindowVisible(m_dialog->m_pDlg_ImgINFO->m_hWnd));
    EXPECT_EQ(TextOf(GetDlgItem(m_dialog->m_pDlg_ImgSaveSets->m_hWnd, CDlg_ImgSaveSets::IDC_FOLDER)), u"C:\\Pictures");
    m_dialog->m_nUnitIndex = 2;
    EXPECT_NE(std::u16string(m_dialog->m_pDlg_ImgINFO->ImageSizeText()).find(u" px"), std::u16string::npos);
    ut::SaveWindowPng(m_dialog->m_hWnd, SnapshotPath("main_app_enus").c_str());

    m_dialog->DestroyWindow();
    ImgSaveSettings record{};
    ASSERT_TRUE(ReadImgSaveSettings(platform::path::ToDosPath(SettingsFile()).c_str(), record))
        << "the window writes the record when it goes";
    EXPECT_EQ(std::u16string(record.szType), u"jpg");
}

TEST_F(WindowDialogsTest, TheSavedRecordsManualDuplexChecksTheBasicPagesBox) {
    ImgSaveSettings record{};
    record.nMode = kImgSaveModeFolder;
    record.nManualDuplex = 1;
    wcscpy_s(record.szFolder, u"C:\\Pictures");
    wcscpy_s(record.szType, u"pdf");
    std::filesystem::create_directories(m_root + "/AppData/Korvel");
    ASSERT_TRUE(WriteImgSaveSettings(platform::path::ToDosPath(SettingsFile()).c_str(), record));
    Open(true);
    EXPECT_EQ(m_dialog->m_pBasicSetting->m_chkManualDuplex.GetCheck(), BST_CHECKED);
    EXPECT_EQ(GetManualDuplexFlag(), 1);
    SetManualDuplexFlag(0);
}

TEST_F(WindowDialogsTest, AScanInAppModeRenewsAUsedNameAndChecksTheMailProgramAndTheFolder) {
    Open(true);
    CDlg_ImgSaveSets& pane = *m_dialog->m_pDlg_ImgSaveSets;
    std::filesystem::create_directories(m_root + "/Scans");
    wcscpy_s(pane.m_ImgSaveSettings.szFolder, u"C:\\Scans"); // without a trailing backslash
    wcscpy_s(pane.m_ImgSaveSettings.szName, u"page");
    wcscpy_s(pane.m_ImgSaveSettings.szType, u"JPG");
    std::ofstream(m_root + "/Scans/page.jpg") << "scanned before";

    pane.m_ImgSaveSettings.nMode = kImgSaveModeEmail;
    wcscpy_s(pane.m_ImgSaveSettings.szMailProgram, u"C:\\Mail\\absent.exe");
    ClickItem(20006);
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1132)));
    EXPECT_TRUE(CallsOf("ScanDrv_Open").empty()) << "the scan ends before the device";
    EXPECT_TRUE(DebugHas(u"m_pDlg_ImgSaveSets->m_bNameCustom = FALSE;"));
    ImgSaveSettings record{};
    ASSERT_TRUE(ReadImgSaveSettings(platform::path::ToDosPath(SettingsFile()).c_str(), record));
    EXPECT_NE(std::u16string(record.szName), u"page") << "\"page.jpg\" exists: a new dated name is written";

    pane.m_ImgSaveSettings.nMode = kImgSaveModeFolder;
    wcscpy_s(pane.m_ImgSaveSettings.szFolder, u"C:\\Gone");
    m_modalTexts.clear();
    ClickItem(20006);
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1128)));
    EXPECT_TRUE(CallsOf("ScanDrv_Open").empty());

    wcscpy_s(pane.m_ImgSaveSettings.szFolder, u"C:\\Scans");
    m_modalTexts.clear();
    ClickItem(20006);
    EXPECT_TRUE(m_modalTexts.empty());
    EXPECT_EQ(CallsOf("ScanDrv_Open").size(), 1u) << "a good folder lets the scan go on";
}

TEST_F(WindowDialogsTest, TheEnginesEndOfJobAndSaveReachThePane) {
    Open(true);
    CDlg_ImgSaveSets& pane = *m_dialog->m_pDlg_ImgSaveSets;
    CScanWindow* window = m_dialog.get();
    window->RenewSaveName();
    EXPECT_FALSE(pane.m_bNameCustom);
    window->SaveImgSaveSettings();
    EXPECT_TRUE(pane.m_bNameCustom);
    EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
}

} // namespace
