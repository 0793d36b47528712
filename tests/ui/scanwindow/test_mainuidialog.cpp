// The scanning window itself: its layouts and first state, the keys it answers and those it leaves alone, its
// message hook, title, help, top-most handling, units, tabs and app-mode panes, the language library it shares, its
// start-up settings, and every road that closes it leaving nothing behind.
#include "ScanWindowTestSupport.h"

#include "ui/dialogs/CCGammaThresholdDlg.h"
#include "ui/dialogs/CCHistogramDlg.h"
#include "ui/scanwindow/CAdvancedSetting.h"
#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CTwainUIFactory.h"
#include "ui/scanwindow/CTwainUIImp.h"
#include "ui/scanwindow/MessageHook.h"

#include "twain/CapabilityTable.h"
#include "twain/DeviceState.h"
#include "twain/HostFlags.h"

#include "scanner/PaperTables.h"
#include "settings/PlatformFlags.h"

#include "platform/gdi/testing.h"
#include "platform/user/shell.h"

#include <cstdint>
#include <thread>

namespace {

using namespace scanwindow_test;

// The program's application object, as the data source module has one: the message hook pre-translates through it.
CWinApp g_application(u"ui_scanwindow_tests");

std::u16string ClassOf(HWND hwnd) {
    WCHAR name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

class MainUIDialogTest : public ScanWindowTestRoot {
protected:
    void TearDown() override {
        m_dialog.reset();
        g_bHostPhotoshopNotCS4 = FALSE;
        g_bHostPhotoshopCS2 = FALSE;
        g_bHostTwainClientU = FALSE;
        SetManualDuplexFlag(0);
        ScanWindowTestRoot::TearDown();
    }

    CMainUIDialog& Create(bool show = true) {
        m_dialog = std::make_unique<CMainUIDialog>();
        EXPECT_TRUE(m_dialog->CreateModeless(nullptr));
        if (show) {
            m_dialog->ShowWindow(SW_SHOW);
            ut::RunPendingMessages();
        }
        return *m_dialog;
    }
    HWND Item(int id) const { return GetDlgItem(m_dialog->m_hWnd, id); }

    std::unique_ptr<CMainUIDialog> m_dialog;
};

TEST_F(MainUIDialogTest, CreatedHiddenWithItsFirstState) {
    CMainUIDialog& dialog = Create(false);
    ASSERT_NE(dialog.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog.m_hWnd)) << "the engine shows it";
    EXPECT_EQ(ClassOf(dialog.m_hWnd), u"#32770");
    EXPECT_EQ(g_pScanWindow.load(), static_cast<CScanWindow*>(&dialog));
    EXPECT_EQ(dialog.m_nUnitIndex, 2);
    EXPECT_EQ(SendMessageW(Item(20004), CB_GETCURSEL, 0, 0), 2) << "pixels";
    EXPECT_TRUE(IsWindowEnabled(Item(10152))) << "zoom in";
    EXPECT_FALSE(IsWindowEnabled(Item(10153))) << "zoom out, at the smallest zoom";
    EXPECT_NE(g_hMsgHook, nullptr);
    EXPECT_EQ(g_ToolTip.GetToolCount(), 9) << "five preview tools and the advanced page's four adjustment buttons";
    EXPECT_NE(dialog.GetScanProgress(), nullptr);

    dialog.ShowWindow(SW_SHOW);
    ut::RunPendingMessages();
    EXPECT_EQ(GetFocus(), Item(20006)) << "Scan has the focus";

    m_dialog.reset();
    EXPECT_EQ(g_pScanWindow.load(), nullptr) << "the engine never reaches a window that is gone";
}

TEST_F(MainUIDialogTest, AppModeUsesItsOwnLayoutAndWindowClass) {
    g_bAppMode = TRUE;
    CMainUIDialog& dialog = Create();
    EXPECT_EQ(ClassOf(dialog.m_hWnd), u"Z7731IDAVEV");
    EXPECT_NE(Item(1009), nullptr);
    EXPECT_NE(Item(1010), nullptr);
    EXPECT_FALSE(IsWindowVisible(Item(1000))) << "a tall screen keeps the panes";
}

TEST_F(MainUIDialogTest, OnASmallScreenTheAppModePanesFoldAway) {
    g_bAppMode = TRUE;
    ut::SetScreenSize(1366, 768);
    CMainUIDialog& dialog = Create();
    ASSERT_TRUE(IsWindowVisible(Item(1000)));
    EXPECT_FALSE(IsWindowVisible(Item(1009)));
    EXPECT_FALSE(IsWindowVisible(Item(1010)));
    CRect before;
    dialog.GetWindowRect(&before);
    CRect scanBefore;
    GetWindowRect(Item(20006), &scanBefore);
    ASSERT_GT(dialog.m_nPaneHeight, 0);

    ut::Click(Item(1000));
    ut::RunPendingMessages();
    CRect after;
    dialog.GetWindowRect(&after);
    CRect scanAfter;
    GetWindowRect(Item(20006), &scanAfter);
    EXPECT_EQ(after.Height(), before.Height() - dialog.m_nPaneHeight);
    EXPECT_EQ(scanAfter.top, scanBefore.top - dialog.m_nPaneHeight) << "the buttons move up with it";
    EXPECT_TRUE(dialog.m_bPanesCollapsed);

    dialog.SendMessage(WM_COMMAND, 1000); // a second click at once would be a double click, which skins ignore
    dialog.GetWindowRect(&after);
    EXPECT_EQ(after.Height(), before.Height());
    EXPECT_FALSE(dialog.m_bPanesCollapsed);
}

TEST_F(MainUIDialogTest, EnterAndEscDoNothingCloseAsksTheApplication) {
    CMainUIDialog& dialog = Create();
    ut::PressKey(VK_RETURN);
    ut::PressKey(VK_ESCAPE);
    dialog.SendMessage(WM_COMMAND, IDOK);
    dialog.SendMessage(WM_COMMAND, IDCANCEL);
    ut::RunPendingMessages();
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));
    EXPECT_TRUE(m_assistor->closeRequests.empty());
    EXPECT_EQ(m_assistor->GetState(), 500) << "Enter is no scan";

    ut::Click(Item(20007));
    ut::RunPendingMessages();
    ASSERT_EQ(m_assistor->closeRequests.size(), 1u);
    EXPECT_EQ(m_assistor->closeRequests[0], FALSE) << "an immediate request, not one at the end of the transfer";
    EXPECT_TRUE(g_bUserClose);
    EXPECT_TRUE(IsWindow(dialog.m_hWnd)) << "the window waits for MSG_DISABLEDS";
    dialog.SendMessage(WM_CLOSE); // the close box
    EXPECT_EQ(m_assistor->closeRequests.size(), 2u);
}

TEST_F(MainUIDialogTest, AControlThatKeepsTheFocusKeepsTheWindowOpen) {
    CMainUIDialog& dialog = Create();
    // An entry that takes the focus back whenever it loses it, as an entry checking its value does.
    HWND entry = CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE, 10, 10, 50, 20, dialog.m_hWnd, nullptr,
                                 nullptr, nullptr);
    static WNDPROC s_editProc = nullptr;
    s_editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            if (msg == WM_KILLFOCUS) {
                CallWindowProcW(s_editProc, hwnd, msg, w, l);
                SetFocus(hwnd);
                return 0;
            }
            return CallWindowProcW(s_editProc, hwnd, msg, w, l);
        })));
    SetFocus(entry);
    dialog.SendMessage(WM_CLOSE);
    EXPECT_TRUE(m_assistor->closeRequests.empty());
    DestroyWindow(entry);
}

TEST_F(MainUIDialogTest, AltSScansFromTheWindowAndItsControlsOnlyWhileItTakesInput) {
    CMainUIDialog& dialog = Create();
    AltKey('S', Item(20004)); // from the units list
    EXPECT_EQ(m_assistor->GetState(), 600) << "Alt+S scans";
    EXPECT_EQ(dialog.m_bBusy, 1);

    dialog.SetBusy(FALSE);
    m_assistor->SetState(500);
    dialog.EnableMainWindow(FALSE);
    AltKey('S', dialog.m_hWnd);
    EXPECT_EQ(m_assistor->GetState(), 500) << "a disabled window (a dialog in front) starts nothing";
    AltKey('S', dialog.m_pBasicSetting->m_cmbSource.m_hWnd);
    AltKey('S', dialog.m_pAdvancedSetting->m_hWnd);
    EXPECT_EQ(m_assistor->GetState(), 500) << "nor do its settings pages";
    dialog.EnableMainWindow(TRUE);

    // A key of another window of the thread (here an error box in front) never reaches the window's keys.
    m_onModal = [&](HWND box) {
        dialog.EnableMainWindow(TRUE); // even were the window enabled
        AltKey('S', GetDlgItem(box, IDOK));
        EndDialog(box, IDOK);
    };
    dialog.ShowScanError(0, -4);
    EXPECT_EQ(m_assistor->GetState(), 500);
    m_onModal = nullptr;

    AltKey('X', dialog.m_hWnd);
    EXPECT_EQ(m_assistor->GetState(), 500) << "other Alt keys are not ours";
}

TEST_F(MainUIDialogTest, TheHookGivesTheHostsOwnLoopTheWindowsKeys) {
    Create();
    // A host loop of its own: GetMessage/Translate/Dispatch, no pre-translation of ours.
    SetFocus(Item(20007));
    ut::SetKeyState(VK_MENU, true);
    ut::SetKeyState('S', true);
    PostMessageW(Item(20007), WM_SYSKEYDOWN, 'S', 0x20000000);
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ut::SetKeyState('S', false);
    ut::SetKeyState(VK_MENU, false);
    EXPECT_EQ(m_assistor->GetState(), 600) << "the hook's pre-translation scanned";

    // One hook at a time: a second window replaces it; each road that ends a window removes it.
    HHOOK first = g_hMsgHook;
    {
        CMainUIDialog second;
        ASSERT_TRUE(second.CreateModeless(nullptr));
        EXPECT_NE(g_hMsgHook, nullptr);
        EXPECT_NE(g_hMsgHook, first);
    }
    EXPECT_EQ(g_hMsgHook, nullptr) << "the window's end removes its hook";
}

TEST_F(MainUIDialogTest, TheTitleNamesTheProductAndTheNetworkPort) {
    CMainUIDialog& dialog = Create();
    EXPECT_EQ(TextOf(dialog.m_hWnd), u"KVX 7731 TWAIN (USB)");
    dialog.m_ScanParam.portType = 2;
    std::strcpy(dialog.m_ScanParam.szHostAddress, "192.168.1.20");
    dialog.UpdateTitle();
    EXPECT_EQ(TextOf(dialog.m_hWnd), u"KVX 7731 TWAIN (192.168.1.20)");
    dialog.m_ScanParam.portType = 1;
    std::strcpy(dialog.m_ScanParam.szFoundAddress, "KVX-OFFICE");
    dialog.UpdateTitle();
    EXPECT_EQ(TextOf(dialog.m_hWnd), u"KVX 7731 TWAIN (KVX-OFFICE)");
}

TEST_F(MainUIDialogTest, AppModeTitleComesFromTheLanguageSectionAndTellsTheParent) {
    AddIni("[English]\nAP UI Title=Scan to File\n");
    g_bAppMode = TRUE;
    HWND parent = CreateWindowExW(0, u"Static", u"host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    m_dialog = std::make_unique<CMainUIDialog>();
    ASSERT_TRUE(m_dialog->CreateModeless(CWnd::FromHandle(parent)));
    EXPECT_EQ(TextOf(m_dialog->m_hWnd), u"Scan to File");
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, parent, WM_APP_TITLE_CHANGED, WM_APP_TITLE_CHANGED, PM_REMOVE));
    m_dialog.reset();
    DestroyWindow(parent);
}

TEST_F(MainUIDialogTest, HelpOpensTheLanguagesHelpFileBesideTheModule) {
    Create();
    ut::Click(Item(20002));
    ut::RunPendingMessages();
    std::vector<std::u16string> calls = ut::ShellCalls();
    ASSERT_EQ(calls.size(), 1u);
    WCHAR self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::u16string folder(self);
    folder = folder.substr(0, folder.rfind(u'\\') + 1);
    EXPECT_EQ(calls[0], u"HtmlHelpW " + folder + u"kvxtwenus.chm 0");

    // App mode: the host program's folder and the app-mode help.
    ut::ClearShellCalls();
    g_bAppMode = TRUE;
    platform::testing::SetHostProgramName(u"C:\\Apps\\Scan\\scanapp.exe");
    m_dialog->SendMessage(WM_COMMAND, 20002);
    platform::testing::SetHostProgramName(nullptr);
    calls = ut::ShellCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], u"HtmlHelpW C:\\Apps\\Scan\\kvxAppenus.chm 0");
}

TEST_F(MainUIDialogTest, F1AsksForTheSameHelpAsTheHelpButton) {
    Create();
    SetFocus(Item(20006));
    ut::PressKey(VK_F1);
    ut::RunPendingMessages();
    std::vector<std::u16string> calls = ut::ShellCalls();
    ASSERT_EQ(calls.size(), 1u) << "F1 on a control of the window opens the help once";
    WCHAR self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::u16string folder(self);
    folder = folder.substr(0, folder.rfind(u'\\') + 1);
    EXPECT_EQ(calls[0], u"HtmlHelpW " + folder + u"kvxtwenus.chm 0");
}

TEST_F(MainUIDialogTest, ASaveFolderThatCannotBeUsedIsReportedInAnErrorBox) {
    Create();
    m_dialog->SendMessage(WM_SAVE_FOLDER_ERROR, 10, 0);
    ASSERT_EQ(m_modalTexts.size(), 1u) << "the error box comes up";
    EXPECT_EQ(m_modalTexts[0], u"The save folder does not exist or cannot be used. Please choose another folder.");
    m_modalTexts.clear();
    for (WPARAM other : {0, 9, 11})
        EXPECT_EQ(m_dialog->SendMessage(WM_SAVE_FOLDER_ERROR, other, 0), 0);
    EXPECT_TRUE(m_modalTexts.empty()) << "only reason 10 is reported";
}

// The models of the folder kvx7718 (exactly so) are PlatformOrca: the flag is set as the window reads its settings
// and the window has no Port button.
TEST_F(MainUIDialogTest, AModuleInTheFolderKvx7718IsPlatformOrcaWithoutThePortButton) {
    WCHAR self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::u16string name(self);
    name = name.substr(name.rfind(u'\\') + 1); // the same file name, so the same INI file
    struct Case {
        const char16_t* folder;
        BOOL orca;
    };
    for (Case c : {Case{u"KVX7718", FALSE}, Case{u"kvx77180", FALSE}, Case{u"kvx7718", TRUE}}) {
        SCOPED_TRACE(std::string(c.folder, c.folder + std::char_traits<char16_t>::length(c.folder)));
        g_bIsPlatformOrca = FALSE;
        const std::u16string path = u"C:\\TWAIN\\" + std::u16string(c.folder) + u"\\" + name;
        platform::testing::SetHostProgramName(path.c_str());
        m_debug.Clear();
        Create();
        platform::testing::SetHostProgramName(nullptr);
        EXPECT_EQ(g_bIsPlatformOrca.load(), c.orca);
        EXPECT_EQ(IsWindowVisible(Item(20003)), !c.orca) << "the Port button";
        EXPECT_EQ(m_debug.Has(u"CMainUIDialog::initializeSetting, IsPlatformOrca: TRUE"), c.orca == TRUE);
        m_dialog.reset();
    }
    g_bIsPlatformOrca = FALSE;
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini); // the model folder of the real module again
}

TEST_F(MainUIDialogTest, TopMostOnlyForPhotoshopAndOnlyForAMoment) {
    ut::UseManualClock(true);
    CMainUIDialog& dialog = Create();
    EXPECT_FALSE(dialog.SetTopMost(TRUE)) << "other hosts keep the window's place";
    EXPECT_FALSE(dialog.GetExStyle() & WS_EX_TOPMOST);

    g_bHostPhotoshopNotCS4 = TRUE;
    EXPECT_TRUE(dialog.SetTopMost(TRUE));
    EXPECT_TRUE(dialog.GetExStyle() & WS_EX_TOPMOST);
    ut::AdvanceClock(100);
    ut::RunPendingMessages();
    EXPECT_FALSE(dialog.GetExStyle() & WS_EX_TOPMOST) << "back after 100 ms";

    g_bHostTwainClientU = TRUE;
    dialog.SetTopMost(FALSE);
    EXPECT_TRUE(dialog.GetExStyle() & WS_EX_TOPMOST) << "TWAINCLIENTU always keeps it on top";
}

// That host's older version would hide an error box behind a window on top: the window leaves the top first.
TEST_F(MainUIDialogTest, ForTheOldPhotoEditorAnErrorBoxTakesTheWindowOffTheTopFirst) {
    ut::UseManualClock(true);
    CMainUIDialog& dialog = Create();
    g_bHostPhotoshopNotCS4 = TRUE;
    std::vector<bool> topMostUnderBox;
    m_onModal = [&](HWND box) {
        topMostUnderBox.push_back((dialog.GetExStyle() & WS_EX_TOPMOST) != 0);
        RecordAndClose(box);
    };
    for (BOOL cs2 : {FALSE, TRUE}) {
        g_bHostPhotoshopCS2 = cs2;
        ASSERT_TRUE(dialog.SetTopMost(TRUE));
        dialog.ShowScanError(5, -1);
        ASSERT_TRUE(dialog.SetTopMost(TRUE));
        dialog.ShowErrorMessage(u"text");
    }
    m_onModal = nullptr;
    EXPECT_EQ(topMostUnderBox, (std::vector<bool>{true, true, false, false}))
        << "only that version's window leaves the top, for both kinds of error";
}

TEST_F(MainUIDialogTest, APhotoshopPixelFlavourQuestionClosesTheSourceOnActivation) {
    ut::UseManualClock(true);
    CMainUIDialog& dialog = Create();
    ut::Click(Item(20006)); // the device is open for a scan
    ut::RunPendingMessages();
    ASSERT_FALSE(g_b_devmon_close);
    dialog.SetCloseOnActivate(TRUE);
    dialog.SendMessage(WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(g_b_devmon_close);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u);
    EXPECT_TRUE(m_assistor->closeRequests.empty());
    ut::AdvanceClock(1000);
    ut::RunPendingMessages();
    EXPECT_EQ(m_assistor->closeRequests.size(), 1u) << "timer 30006 closes";
    ut::AdvanceClock(1000);
    ut::RunPendingMessages();
    EXPECT_EQ(m_assistor->closeRequests.size(), 2u) << "and repeats until the window is gone";
    dialog.SendMessage(WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u) << "the device is closed once";
}

TEST_F(MainUIDialogTest, TheUnitFollowsTheListAndMarksTheSettingsModified) {
    CMainUIDialog& dialog = Create();
    SendMessageW(Item(20004), CB_SETCURSEL, 0, 0);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(20004, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(20004)));
    EXPECT_EQ(dialog.m_nUnitIndex, 0);
    EXPECT_EQ(dialog.m_ScanParam.adv[18], 0);
    EXPECT_EQ(TextOf(Item(10301)), u"Custom Settings");
    EXPECT_EQ(dialog.m_nSavedSettingIndex, -1);
    EXPECT_TRUE(IsWindowVisible(Item(10302)));
    EXPECT_FALSE(IsWindowVisible(Item(10303)));
    EXPECT_EQ(std::u16string(dialog.m_stcSizeInfo.GetWidthText()), u": 8.50 in");

    SendMessageW(Item(20004), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(20004, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(20004)));
    EXPECT_EQ(dialog.m_nUnitIndex, 0) << "no selection changes nothing";
}

TEST_F(MainUIDialogTest, TheAdjustmentDialogsEditTheWindowsSettingsAndMarkThemModified) {
    CMainUIDialog& dialog = Create();
    dialog.m_ScanParam.adv[12] = 18;
    CCGammaThresholdDlg gamma(dialog, &dialog);
    ut::SetModalInterceptor([&](HWND hwnd) {
        ut::RunPendingMessages();
        SetFocus(GetDlgItem(hwnd, 10287));
        ut::PressKey(VK_RIGHT);
        ut::RunPendingMessages();
        EXPECT_EQ(GetWindow(hwnd, GW_OWNER), dialog.m_hWnd);
        EndDialog(hwnd, IDOK);
    });
    gamma.DoModal();
    EXPECT_EQ(dialog.m_ScanParam.adv[12], 19);
    EXPECT_EQ(TextOf(Item(10301)), u"Custom Settings") << "the window's settings are marked modified";

    CCHistogramDlg histogram(dialog, &dialog);
    ut::SetModalInterceptor([&](HWND hwnd) {
        ut::RunPendingMessages();
        EndDialog(hwnd, IDOK);
    });
    EXPECT_EQ(histogram.DoModal(), IDOK);
    EXPECT_EQ(histogram.m_result.pixels, 730 * 912) << "before any scan the histogram counts the blank page";
    ut::SetModalInterceptor(nullptr);
}

TEST_F(MainUIDialogTest, TheAdvancedTabSwapsTheTabs) {
    CMainUIDialog& dialog = Create();
    ut::Click(Item(10353));
    ut::RunPendingMessages();
    EXPECT_EQ(dialog.m_bAdvancedTab, 1);
    ut::Click(Item(10353));
    EXPECT_EQ(dialog.m_bAdvancedTab, 1) << "already there";
    ut::Click(Item(10352));
    ut::RunPendingMessages();
    EXPECT_EQ(dialog.m_bAdvancedTab, 0);
}

TEST_F(MainUIDialogTest, ToolButtonsActAsAGroup) {
    CMainUIDialog& dialog = Create();
    ut::Click(Item(10152));
    ut::RunPendingMessages();
    EXPECT_TRUE(dialog.m_btnZoomIn.IsPressedDisplay());
    EXPECT_FALSE(dialog.m_btnSelect.IsPressedDisplay());
    ut::Click(Item(10310));
    ut::RunPendingMessages();
    EXPECT_TRUE(dialog.m_btnHand.IsPressedDisplay());
    EXPECT_FALSE(dialog.m_btnZoomIn.IsPressedDisplay());
}

TEST_F(MainUIDialogTest, OverlappingWindowsShareOneLanguageLibrary) {
    const HINSTANCE own = AfxGetResourceHandle();
    auto first = std::make_unique<CMainUIDialog>();
    auto second = std::make_unique<CMainUIDialog>();
    EXPECT_EQ(LanguageLibraryUsers(), 2);
    EXPECT_NE(AfxGetResourceHandle(), own);
    first.reset();
    EXPECT_EQ(LoadResString(1016), CString(u"Scan")) << "the other window still reads from the library";
    second.reset();
    EXPECT_EQ(LanguageLibraryUsers(), 0);
    EXPECT_EQ(AfxGetResourceHandle(), own) << "the previous resource handle is back before the library goes";
    EXPECT_EQ(LoadResString(1016), CString(u"Load String Error!"));
}

TEST_F(MainUIDialogTest, ALoadedRecordIsCheckedBeforeUse) {
    ScanParam defaults{};
    defaults.source = 0;
    defaults.colorMode = 2;
    defaults.resolution = 2;
    defaults.paperSize = 5;
    defaults.adv[18] = 2;
    ScanParam bad{};
    bad.portType = 9;
    bad.source = 3;
    bad.colorMode = -1;
    bad.resolution = 5;
    bad.paperSize = 40;
    bad.adv[16] = 4;
    bad.adv[18] = 7;
    std::memset(bad.szFoundAddress, 'a', sizeof bad.szFoundAddress);
    std::memset(bad.szHostAddress, 'b', sizeof bad.szHostAddress);
    CMainUIDialog::CheckLoadedScanParam(bad, defaults);
    EXPECT_EQ(bad.portType, 0);
    EXPECT_EQ(bad.source, 0);
    EXPECT_EQ(bad.colorMode, 2);
    EXPECT_EQ(bad.resolution, 2);
    EXPECT_EQ(bad.paperSize, 5);
    EXPECT_EQ(bad.adv[16], 0);
    EXPECT_EQ(bad.adv[18], 2);
    EXPECT_EQ(std::strlen(bad.szFoundAddress), 255u);
    EXPECT_EQ(std::strlen(bad.szHostAddress), 255u);

    ScanParam good = defaults;
    good.portType = 2;
    good.source = 2;
    good.colorMode = 0;
    good.resolution = 4;
    good.paperSize = GetMaxSanSizeNum(2); // the feeder's own area
    good.adv[16] = 3;
    good.adv[18] = 1;
    std::strcpy(good.szHostAddress, "10.1.2.3");
    ScanParam checked = good;
    CMainUIDialog::CheckLoadedScanParam(checked, defaults);
    EXPECT_EQ(std::memcmp(&checked, &good, sizeof good), 0) << "a valid record stays as it was";
}

TEST_F(MainUIDialogTest, ALoadedRecordsAdjustmentsOutOfRangeTakeTheDefaults) {
    ScanParam defaults{};
    defaults.colorMode = 2;
    defaults.resolution = 2;
    defaults.adv[12] = 18;
    defaults.adv[13] = 72;
    defaults.adv[18] = 2;
    struct Field {
        int index;
        int lowest, highest; // the range the dialogs show
    };
    const Field fields[] = {
        {0, -100, 100}, {1, -100, 100}, {2, -100, 100}, {3, -100, 100}, // brightness per channel
        {4, -100, 100}, {5, -100, 100}, {6, -100, 100}, {7, -100, 100}, // contrast per channel
        {8, 0, 4},      {9, 0, 4},      {10, 0, 4},     {11, 0, 4},     // tone-curve preset per channel
        {12, 1, 99},                                                    // gamma x 10
        {13, 0, 255},                                                   // threshold
        {14, 0, 1},     {15, 0, 3},     {16, 0, 3},     {17, 0, 1},     // descreen, fading, rotation, deskew
        {18, 0, 2},                                                     // units
    };
    for (const Field& f : fields) {
        for (int value : {f.lowest, f.highest}) {
            ScanParam record = defaults;
            record.adv[f.index] = value;
            CMainUIDialog::CheckLoadedScanParam(record, defaults);
            EXPECT_EQ(record.adv[f.index], value) << "adv[" << f.index << "] = " << value << " is a valid value";
        }
        for (int value : {f.lowest - 1, f.highest + 1, INT32_MIN, INT32_MAX}) {
            ScanParam record = defaults;
            record.adv[f.index] = value;
            CMainUIDialog::CheckLoadedScanParam(record, defaults);
            EXPECT_EQ(record.adv[f.index], defaults.adv[f.index])
                << "adv[" << f.index << "] = " << value << " is damage and takes the default";
        }
    }
    g_bHasHorizontal = TRUE;
    ScanParam across = defaults;
    across.horizontal = 7;
    CMainUIDialog::CheckLoadedScanParam(across, defaults);
    EXPECT_EQ(across.horizontal, 0) << "the horizontal flag is 0 or 1";
    across.horizontal = 1;
    CMainUIDialog::CheckLoadedScanParam(across, defaults);
    EXPECT_EQ(across.horizontal, 1);
    g_bHasHorizontal = FALSE;
}

TEST_F(MainUIDialogTest, StartsFromTheSavedCurrentSettingsChecked) {
    ScanParam saved{};
    saved.source = 1;
    saved.colorMode = 1;
    saved.resolution = 99; // damaged
    saved.paperSize = 2;
    saved.adv[18] = 1;
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveCurrentSetting(u"Photo", reinterpret_cast<const BYTE*>(&saved)));
    CMainUIDialog& dialog = Create();
    EXPECT_EQ(dialog.m_ScanParam.source, 1);
    EXPECT_EQ(dialog.m_ScanParam.colorMode, 1);
    EXPECT_EQ(dialog.m_ScanParam.resolution, 2) << "the damaged index takes the default";
    EXPECT_EQ(dialog.m_nUnitIndex, 1) << "the unit follows the settings";
    EXPECT_EQ(TextOf(Item(10301)), u"Photo");
    EXPECT_FALSE(IsWindowVisible(Item(10139))) << "a feeder source has no preview";
    EXPECT_FALSE(IsWindowEnabled(Item(20005)));
    m_dialog.reset();

    AddIni("HasADF(" + m_model + ")=FALSE\n");
    CMainUIDialog& again = Create();
    EXPECT_EQ(again.m_ScanParam.source, 0) << "a model without a feeder scans from the bed";
}

TEST_F(MainUIDialogTest, AWindowWhoseSettingsCannotBeReadNeverBreaksOnScan) {
    // The application-data folder cannot be made: the store can be neither read nor written. The window says so
    // once and goes on with the defaults and its driver.
    std::ofstream(m_root + "/AppData") << "a file where the folder should be";
    CMainUIDialog& dialog = Create();
    ASSERT_NE(dialog.GetScanProgress(), nullptr) << "the progress dialog is there all the same";
    ASSERT_EQ(m_modalTexts.size(), 1u) << "the settings file is named once";
    EXPECT_NE(m_modalTexts[0].find(u"(settings.dat)"), std::u16string::npos)
        << std::string(m_modalTexts[0].begin(), m_modalTexts[0].end());
    ut::Click(Item(20006));
    ut::RunPendingMessages();
    EXPECT_EQ(m_modalTexts.size(), 1u) << "the scan blames nothing: the device opens with its driver";
    EXPECT_EQ(m_assistor->GetState(), 600) << "the page is announced";
}

TEST_F(MainUIDialogTest, EveryClosingRoadLeavesNothingBehind) {
    const int windowsBefore = ThreadWindowCount();
    const int gdiBefore = platform::gdi::LiveObjectCount();
    {
        CMainUIDialog& dialog = Create();
        dialog.m_ScanParam.source = 1; // a feeder scan registers the device's events
        dialog.m_ScanParam.adv[16] = 1;
        ut::Click(Item(20006));
        ut::RunPendingMessages();
        ASSERT_FALSE(g_b_devmon_close);
        // The end of a manual-duplex wait turned the rotation for the back sides.
        g_nFrontRotation = 1;
        dialog.m_ScanParam.adv[16] = BackSideRotation(1);
        g_bBackSideRotation = TRUE;
        // The engine's MSG_DISABLEDS road: the device first, then the window.
        g_LLD.AbortScan();
        g_LLD.DevMon_EndScan();
        g_LLD.DevMon_SetCallBackFun(nullptr, nullptr);
        g_LLD.DevMon_Close();
        g_b_devmon_close = TRUE;
        m_dialog.reset();
    }
    EXPECT_EQ(ThreadWindowCount(), windowsBefore) << "no window (nor tooltip) is left";
    EXPECT_EQ(g_hMsgHook, nullptr);
    EXPECT_EQ(platform::gdi::LiveObjectCount(), gdiBefore) << "no GDI object is left";
    EXPECT_EQ(g_pScanWindow.load(), nullptr);
    const auto callbacks = CallsOf("ScanDrv_SetCallBackFun");
    ASSERT_EQ(callbacks.size(), 2u);
    EXPECT_EQ(callbacks.back(), "ScanDrv_SetCallBackFun (null) -> 0") << "unregistered before the close";
    // The settings were saved with the user's own rotation.
    ScanParam saved{};
    WCHAR name[128] = {};
    ASSERT_TRUE(LoadCurrentSetting(reinterpret_cast<BYTE*>(&saved), name));
    EXPECT_EQ(saved.adv[16], 1);
    EXPECT_EQ(saved.source, 1);
}

TEST_F(MainUIDialogTest, DisablingTheSourcePutsTheFrontRotationBack) {
    g_bAppMode = TRUE; // the window stays after the disable
    CMainUIDialog& dialog = Create();
    g_nFrontRotation = 2;
    dialog.m_ScanParam.adv[16] = BackSideRotation(2);
    g_bBackSideRotation = TRUE;
    m_assistor->SetState(600);
    TW_USERINTERFACE ui{};
    ASSERT_EQ(m_assistor->DisableDS(&ui), TWRC_SUCCESS);
    EXPECT_EQ(dialog.m_ScanParam.adv[16], 2);
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));
}

TEST_F(MainUIDialogTest, TheWindowSweepsOldTemporaryImageFiles) {
    WCHAR temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::string folder = platform::path::ToHostPath(temp);
    std::filesystem::create_directories(folder);
    for (const char* name : {"Kor1A.tmp", "Kor2B.tmp", "Other.tmp", "Kor3C.dat"})
        std::ofstream(folder + "/" + name) << "old";
    Create(false);
    EXPECT_FALSE(std::filesystem::exists(folder + "/Kor1A.tmp"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/Kor2B.tmp"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/Other.tmp"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/Kor3C.dat"));
}

// The window stands on a root with its INI file, as the source's does.
class TwainUIImp : public ScanWindowTestRoot {};

TEST_F(TwainUIImp, CreatesShowsAndClosesTheWindow) {
    CTwainUIFactory factory;
    CUIImp* made = nullptr;
    ASSERT_EQ(factory.CreateUI(&made), 0);
    std::unique_ptr<CUIImp> ui(made);
    auto* imp = static_cast<CTwainUIImp*>(made);
    EXPECT_EQ(imp->Show(SW_SHOW), 1) << "no window yet";
    EXPECT_EQ(imp->Close(), 1);

    ASSERT_EQ(imp->Create(nullptr, nullptr), 0);
    CMainUIDialog* first = imp->GetDialog();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(imp->Show(SW_SHOWNORMAL), 0);
    EXPECT_TRUE(IsWindowVisible(first->m_hWnd));

    MSG key{first->m_hWnd, WM_KEYDOWN, 'C', 0, 0, {}};
    EXPECT_EQ(imp->ProcessEvent(&key), 0) << "the 'C' key is swallowed";
    MSG foreign{nullptr, WM_MOUSEMOVE, 0, 0, 0, {}};
    EXPECT_EQ(imp->ProcessEvent(&foreign), 1) << "not for the dialog";

    // A second window replaces the first only once it stands.
    HWND firstWindow = first->m_hWnd;
    ASSERT_EQ(imp->Create(nullptr, nullptr), 0);
    EXPECT_NE(imp->GetDialog(), first);
    EXPECT_FALSE(IsWindow(firstWindow));
    EXPECT_EQ(g_pScanWindow.load(), static_cast<CScanWindow*>(imp->GetDialog()));
    EXPECT_NE(g_hMsgHook, nullptr) << "the first window's end leaves the new window's keys hooked";
    ASSERT_NE(g_ToolTip.m_hWnd, nullptr);
    EXPECT_EQ(GetParent(g_ToolTip.m_hWnd), imp->GetDialog()->m_hWnd) << "and its tooltip too";

    HWND window = imp->GetDialog()->m_hWnd;
    EXPECT_EQ(imp->Close(), 1) << "callers ignore the value";
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(imp->GetDialog(), nullptr);
    EXPECT_EQ(g_pScanWindow.load(), nullptr);
    EXPECT_EQ(g_hMsgHook, nullptr);
}

} // namespace
