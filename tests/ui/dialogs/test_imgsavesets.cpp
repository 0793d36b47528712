// The app-mode save pane: what it shows from "imgSaveSettings.dat" or without it, what it writes and when it makes
// a new name, how it takes the save dialogs' answers, and its Alt keys.
#include "DialogTest.h"
#include "FakePaneHost.h"

#include "platform/base/testing.h"
#include "scanner/PaperTables.h"
#include "ui/dialogs/CDlg_ImgSaveSets.h"

#include <fstream>
#include <iterator>

namespace {

using namespace dialogs_test;

constexpr int kFolderEdit = 10262, kNameEdit = 10116, kOk = 1039;

class ImgSaveSetsTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        SYSTEMTIME t{};
        t.wYear = 2024, t.wMonth = 5, t.wDay = 1, t.wHour = 12;
        platform::testing::SetLocalTime(t);
        WriteIni("[TWAIN]\nSetting Folder=\\Kvx\nSetting Path=\\Kvx\\Scanner\\\n");
        SetManualDuplexFlag(0);
    }
    void TearDown() override {
        if (pane.m_hWnd)
            pane.DestroyWindow();
        platform::testing::SetLocalTime(std::nullopt);
        platform::testing::SetKnownFoldersFail(false);
        SetManualDuplexFlag(0);
        DialogTest::TearDown();
    }

    // The pane as the app-mode window shows it: over its placeholder of 231 x 98 dialog units.
    void Open() {
        ASSERT_TRUE(pane.Create(CDlg_ImgSaveSets::IDD, &host.window));
        pane.MoveWindow(10, 10, 346, 159);
        pane.ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
    }
    std::u16string Shown(int id) { return ItemText(pane.m_hWnd, id); }
    std::string SettingsFile() const { return "AppData/Kvx/Scanner/imgSaveSettings.dat"; }
    ImgSaveSettings Written() {
        ImgSaveSettings record{};
        EXPECT_TRUE(ReadImgSaveSettings(Dos(SettingsFile()).c_str(), record));
        return record;
    }
    void Store(const ImgSaveSettings& record) {
        WriteFile(SettingsFile(), std::string(reinterpret_cast<const char*>(&record), sizeof record));
    }
    std::u16string Str(UINT id) { return std::u16string(LoadResString(id)); }

    FakePaneHost host;
    CDlg_ImgSaveSets pane{&host, &host.window};
};

TEST_F(ImgSaveSetsTest, WithoutAFileThePaneShowsThePicturesFolderJpgAndTodaysNextName) {
    WriteFile("Pictures/2024-05-01_001.jpg", "");
    WriteFile("Pictures/2024-05-01_004.png", "");
    Open();
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_FOLDER), u"C:\\Pictures");
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_TYPE), u"JPG");
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_NAME), u"2024-05-01_005") << "the next free number of the day";
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_MODE_LABEL), Str(1134));
    EXPECT_EQ(Shown(1003), Str(1115) + u":");
    EXPECT_EQ(pane.m_ImgSaveSettings.nOpenFolder, 1);
    EXPECT_EQ(pane.m_ImgSaveSettings.nOpenFile, 0);
    EXPECT_TRUE(pane.m_bNameCustom);
    EXPECT_EQ(host.manualDuplexCheck, 0);
}

TEST_F(ImgSaveSetsTest, TheFileGivesFolderTypeModeAndManualDuplexButNotTheName) {
    ImgSaveSettings stored{};
    wcscpy_s(stored.szFolder, u"C:\\Scans");
    wcscpy_s(stored.szName, u"old name");
    wcscpy_s(stored.szType, u"png");
    stored.nMode = 1;
    stored.nManualDuplex = 1;
    Store(stored);
    Open();
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_FOLDER), u"C:\\Scans");
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_TYPE), u"PNG") << "shown in upper case";
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_NAME), u"2024-05-01_001");
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_MODE_LABEL), Str(1135));
    EXPECT_EQ(host.manualDuplexCheck, 1);
    EXPECT_EQ(GetManualDuplexFlag(), 1);
}

TEST_F(ImgSaveSetsTest, SavingWritesLowerCaseTheManualDuplexFlagAndANewNameOnlyWhenAsked) {
    Open();
    SetManualDuplexFlag(1);
    pane.m_ImgSaveSettings.nScanReset = 9;
    pane.SaveImgSaveSettings(FALSE);
    ImgSaveSettings written = Written();
    EXPECT_EQ(std::u16string(written.szType), u"jpg");
    EXPECT_EQ(std::u16string(written.szName), u"2024-05-01_001");
    EXPECT_EQ(written.nManualDuplex, 1);
    EXPECT_EQ(written.nScanReset, 0);

    WriteFile("Pictures/2024-05-01_001.jpg", ""); // the scan wrote it; the end of the transfer clears the flag
    pane.m_bNameCustom = FALSE;
    pane.SaveImgSaveSettings(TRUE);
    EXPECT_EQ(std::u16string(Written().szName), u"2024-05-01_002");
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_NAME), u"2024-05-01_001") << "keepTexts: the pane is not updated";
    EXPECT_TRUE(pane.m_bNameCustom);

    WriteFile("Pictures/2024-05-01_002.jpg", "");
    pane.m_bNameCustom = FALSE;
    pane.SaveImgSaveSettings(FALSE);
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_NAME), u"2024-05-01_003");
}

TEST_F(ImgSaveSetsTest, FeederPagesOfSingleImageTypesAreAnnouncedUnderNumberedNames) {
    std::filesystem::create_directories(Host("Scans"));
    Open();
    wcscpy_s(pane.m_ImgSaveSettings.szFolder, u"C:\\Scans");
    wcscpy_s(pane.m_ImgSaveSettings.szName, u"letter");
    host.param.source = 1;
    pane.SaveImgSaveSettings(TRUE);
    EXPECT_EQ(std::u16string(Written().szName), u"letter") << "no file starts with the base yet";
    WriteFile("Scans/letter.jpg", "");
    WriteFile("Scans/letter 3.jpg", "");
    pane.SaveImgSaveSettings(TRUE);
    EXPECT_EQ(std::u16string(Written().szName), u"letter 4");
    EXPECT_EQ(std::u16string(pane.m_ImgSaveSettings.szName), u"letter") << "the pane keeps the plain base";

    wcscpy_s(pane.m_ImgSaveSettings.szType, u"PDF");
    pane.SaveImgSaveSettings(TRUE);
    EXPECT_EQ(std::u16string(Written().szName), u"letter") << "one PDF for the whole job";
    host.param.source = 0;
    wcscpy_s(pane.m_ImgSaveSettings.szType, u"jpg");
    pane.SaveImgSaveSettings(TRUE);
    EXPECT_EQ(std::u16string(Written().szName), u"letter") << "the flatbed scans one page";
}

TEST_F(ImgSaveSetsTest, WithoutAnApplicationDataFolderNothingIsReadOrWritten) {
    ImgSaveSettings stored{};
    wcscpy_s(stored.szFolder, u"C:\\Scans");
    wcscpy_s(stored.szType, u"tif");
    Store(stored);
    platform::testing::SetKnownFoldersFail(true);
    Open();
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_TYPE), u"JPG") << "the defaults";
    pane.SaveImgSaveSettings(FALSE);
    platform::testing::SetKnownFoldersFail(false);
    EXPECT_EQ(std::u16string(Written().szType), u"tif") << "the file is left alone";
}

TEST_F(ImgSaveSetsTest, TheFolderDialogsAnswerIsTakenOnOkOnly) {
    std::filesystem::create_directories(Host("Scans"));
    Open();
    InterceptModal([&](HWND dlg) {
        EXPECT_EQ(ItemText(dlg, kFolderEdit), u"C:\\Pictures");
        EXPECT_EQ(ItemText(dlg, kNameEdit), u"2024-05-01_001");
        SetDlgItemTextW(dlg, kFolderEdit, Dos("Scans").c_str());
        SetDlgItemTextW(dlg, kNameEdit, u"report");
        SendDlgItemMessageW(dlg, 10264, CB_SETCURSEL, 2, 0); // TIF
        SendMessageW(dlg, WM_CLOSE, 0, 0);                   // the close box: nothing is taken
        ut::RunPendingMessages();
    });
    ClickItem(pane.m_hWnd, CDlg_ImgSaveSets::IDC_FOLDER_MODE);
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_NAME), u"2024-05-01_001");
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_TYPE), u"JPG");

    InterceptModal([&](HWND dlg) {
        SetDlgItemTextW(dlg, kFolderEdit, Dos("Scans").c_str());
        SetDlgItemTextW(dlg, kNameEdit, u"report");
        SendDlgItemMessageW(dlg, 10264, CB_SETCURSEL, 2, 0);
        CheckDlgButton(dlg, 10200, BST_CHECKED);
        ClickItem(dlg, kOk);
    });
    ClickItem(pane.m_hWnd, CDlg_ImgSaveSets::IDC_FOLDER_MODE);
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_NAME), u"report");
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_TYPE), u"TIF");
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_FOLDER), u"C:\\Scans");
    EXPECT_EQ(pane.m_ImgSaveSettings.nOpenFile, 1);
    EXPECT_EQ(pane.m_ImgSaveSettings.nMode, 0);
    EXPECT_TRUE(pane.m_bNameCustom);
    pane.SaveImgSaveSettings(FALSE);
    EXPECT_EQ(std::u16string(Written().szName), u"report") << "a chosen name stands";
}

TEST_F(ImgSaveSetsTest, TheMailDialogsAnswerSwitchesToMailMode) {
    std::filesystem::create_directories(Host("Scans"));
    host.param.source = 2;
    Open();
    bool typeFixed = false;
    InterceptModal([&](HWND dlg) {
        typeFixed = !IsWindowEnabled(GetDlgItem(dlg, 10264));
        SetDlgItemTextW(dlg, 10263, Dos("Scans").c_str());
        ClickItem(dlg, kOk);
    });
    ClickItem(pane.m_hWnd, CDlg_ImgSaveSets::IDC_EMAIL_MODE);
    EXPECT_TRUE(typeFixed) << "a duplex source keeps its type";
    EXPECT_EQ(pane.m_ImgSaveSettings.nMode, 1);
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_MODE_LABEL), Str(1135));
    EXPECT_EQ(Shown(CDlg_ImgSaveSets::IDC_FOLDER), u"C:\\Scans");
}

TEST_F(ImgSaveSetsTest, AltWithThePreviewOrScanKeyPressesTheWindowsButtons) {
    Open();
    SetFocus(GetDlgItem(pane.m_hWnd, CDlg_ImgSaveSets::IDC_FOLDER_MODE));
    ut::SetKeyState(VK_MENU, true);
    ut::SetKeyState(g_chPreviewKey, true);
    ut::KeyDown(g_chPreviewKey);
    ut::RunPendingMessages();
    ut::SetKeyState(g_chPreviewKey, false);
    ut::SetKeyState(g_chScanKey, true);
    ut::KeyDown(g_chScanKey);
    ut::RunPendingMessages();
    ut::SetKeyState(g_chScanKey, false);
    ut::SetKeyState(VK_MENU, false);
    EXPECT_EQ(host.previews, 1);
    EXPECT_EQ(host.scans, 1);
    ut::PressKey(VK_RETURN);
    ut::PressKey(VK_ESCAPE);
    ut::RunPendingMessages();
    EXPECT_TRUE(IsWindowVisible(pane.m_hWnd)) << "Enter and Escape do nothing";
}

TEST_F(ImgSaveSetsTest, RightToLeftThePaneKeepsItsTextsAndButtonsAgainstItsRightEdge) {
    // Left to right, the distance of each control from the pane's left edge.
    Open();
    auto placeOf = [this](int id) {
        CRect rect;
        GetWindowRect(GetDlgItem(pane.m_hWnd, id), &rect);
        MapWindowPoints(nullptr, pane.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    const int ids[] = {1026, CDlg_ImgSaveSets::IDC_FOLDER_MODE, 1003, CDlg_ImgSaveSets::IDC_NAME,
                       CDlg_ImgSaveSets::IDC_FOLDER};
    std::vector<int> fromLeft;
    for (int id : ids)
        fromLeft.push_back(placeOf(id).left);
    pane.DestroyWindow();

    for (const Language& language : {kHebrew, Language{"ar", 10}}) {
        UseLanguage(language);
        if (pane.m_hWnd)
            pane.DestroyWindow();
        Open(); // wider than its template, as the window places it
        CRect client;
        pane.GetClientRect(&client);
        for (size_t i = 0; i < std::size(ids); ++i)
            EXPECT_EQ(client.right - placeOf(ids[i]).right, fromLeft[i])
                << language.code << ": control " << ids[i] << " is as far from the right edge as from the left one "
                << "left to right";
    }
}

TEST_F(ImgSaveSetsTest, SnapshotsInEachLanguage) {
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        if (pane.m_hWnd)
            pane.DestroyWindow();
        Open();
        EXPECT_EQ(Shown(1026), Str(1112));
        Snapshot(pane.m_hWnd, "save_pane");
    }
}

} // namespace
