// The scanning window in its first form: its layouts, the Scan and Close buttons and the engine calls behind them,
// the window-less settings, the engine's window object, and the pump that serves hosts without our message loop.
#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CTwainUIFactory.h"
#include "ui/scanwindow/CTwainUIImp.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CapabilityTable.h"
#include "twain/ScanState.h"

#include "platform/base/testing.h"
#include "platform/user/testing.h"
#include "settings/PlatformFlags.h"
#include "settings/SettingStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

namespace ut = platform::user::testing;

// The engine as the window sees it, recording the close requests.
class RecordingAssistor : public CDsAssistor {
public:
    int RequestClose(BOOL atEndOfTransfer) override {
        closeRequests.push_back(atEndOfTransfer);
        return 0;
    }
    std::vector<BOOL> closeRequests;
};

std::u16string ClassOf(HWND hwnd) {
    WCHAR name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

class MainUIDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/scanwindow-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        std::filesystem::create_directories(m_root + "/Windows");
        platform::testing::SetRoot(m_root);
        g_bAppMode = FALSE;
        g_bNoUI = FALSE;
        g_bUserClose = FALSE;
        m_assistor = std::make_unique<RecordingAssistor>();
        m_colMsg.SetAssistor(m_assistor.get());
        TW_IDENTITY app{};
        app.Id = 5;
        TW_IDENTITY ds{};
        ds.Id = 6;
        TwainCall call{&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
        ASSERT_EQ(m_assistor->ConnectApp(&call), TWRC_SUCCESS);
        m_assistor->SetState(500);
    }
    void TearDown() override {
        m_dialog.reset();
        g_pDsAssistor = nullptr;
        m_assistor.reset();
        g_bAppMode = FALSE;
        g_bNoUI = FALSE;
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    CMainUIDialog& Create() {
        m_dialog = std::make_unique<CMainUIDialog>();
        EXPECT_TRUE(m_dialog->CreateModeless(nullptr));
        return *m_dialog;
    }

    std::string m_root;
    std::unique_ptr<RecordingAssistor> m_assistor;
    CColMsg m_colMsg;
    std::unique_ptr<CMainUIDialog> m_dialog;
};

TEST_F(MainUIDialogTest, CreatedHiddenFromItsLayoutWithScanAndClose) {
    CMainUIDialog& dialog = Create();
    ASSERT_NE(dialog.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog.m_hWnd)) << "the engine shows it";
    EXPECT_EQ(ClassOf(dialog.m_hWnd), u"#32770");
    EXPECT_NE(GetDlgItem(dialog.m_hWnd, 20006), nullptr);
    EXPECT_NE(GetDlgItem(dialog.m_hWnd, 20007), nullptr);
    EXPECT_EQ(g_pScanWindow.load(), static_cast<CScanWindow*>(&dialog));
    EXPECT_EQ(dialog.m_nUnitIndex, 2);
    EXPECT_EQ(dialog.m_nSavedSettingIndex, -1);
    m_dialog.reset();
    EXPECT_EQ(g_pScanWindow.load(), nullptr) << "the engine never reaches a window that is gone";
}

TEST_F(MainUIDialogTest, AppModeUsesItsOwnLayoutAndWindowClass) {
    g_bAppMode = TRUE;
    CMainUIDialog& dialog = Create();
    ASSERT_NE(dialog.m_hWnd, nullptr);
    EXPECT_EQ(ClassOf(dialog.m_hWnd), u"Z7731IDAVEV");
    EXPECT_NE(GetDlgItem(dialog.m_hWnd, 20006), nullptr);
}

TEST_F(MainUIDialogTest, ScanAnnouncesThePageOnceWhileBusy) {
    CMainUIDialog& dialog = Create();
    dialog.ShowWindow(SW_SHOW);
    ut::Click(GetDlgItem(dialog.m_hWnd, 20006));
    ut::RunPendingMessages();
    EXPECT_EQ(m_assistor->GetState(), 600) << "MSG_XFERREADY moves the source to state 600";
    EXPECT_EQ(dialog.m_bBusy, 1);
    EXPECT_TRUE(g_bPageScanPending);

    m_assistor->SetState(500);
    ut::Click(GetDlgItem(dialog.m_hWnd, 20006));
    ut::RunPendingMessages();
    EXPECT_EQ(m_assistor->GetState(), 500) << "a busy window starts nothing";
    dialog.SetBusy(FALSE);
    EXPECT_EQ(dialog.m_bBusy, 0);
}

TEST_F(MainUIDialogTest, CloseButtonAndCloseBoxAskTheApplicationToClose) {
    CMainUIDialog& dialog = Create();
    dialog.ShowWindow(SW_SHOW);
    ut::Click(GetDlgItem(dialog.m_hWnd, 20007));
    ut::RunPendingMessages();
    ASSERT_EQ(m_assistor->closeRequests.size(), 1u);
    EXPECT_EQ(m_assistor->closeRequests[0], FALSE) << "an immediate request, not one at the end of the transfer";
    EXPECT_TRUE(g_bUserClose);
    EXPECT_TRUE(IsWindow(dialog.m_hWnd)) << "the window waits for MSG_DISABLEDS";

    dialog.SendMessage(WM_CLOSE);
    EXPECT_EQ(m_assistor->closeRequests.size(), 2u);

    // Enter and Esc end nothing.
    dialog.SendMessage(WM_COMMAND, IDOK);
    dialog.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));
    EXPECT_EQ(m_assistor->closeRequests.size(), 2u);
}

TEST_F(MainUIDialogTest, WindowlessScanTakesTheCapabilitySettings) {
    CMainUIDialog& dialog = Create();
    g_nTwainPixelBits = 8;
    g_nTwainXResolution = 600;
    g_nTwainScanSize = TWSS_A3;
    g_nTwainScanSource = 1;
    dialog.ScanWithoutUI();
    EXPECT_TRUE(g_bNoUI);
    EXPECT_EQ(dialog.m_ScanParam.colorMode, 1);
    EXPECT_EQ(dialog.m_ScanParam.resolution, 3);
    EXPECT_EQ(dialog.m_ScanParam.source, 1);
    EXPECT_EQ(dialog.m_ScanParam.paperSize, 7) << "A3 on the feeder";
    EXPECT_EQ(m_assistor->GetState(), 600);
    g_nTwainPixelBits = 24;
    g_nTwainXResolution = 150;
    g_nTwainScanSize = 1;
    g_nTwainScanSource = 0;
}

TEST_F(MainUIDialogTest, WindowlessSettingsMapUnknownValuesToDefaults) {
    CMainUIDialog& dialog = Create();
    struct Case {
        int bits, dpi, size, source;
        int colorMode, resolution, paper, wantSource;
    };
    const Case cases[] = {
        {16, 100, 99, 7, 2, 1, 0, 0},          {1, 75, TWSS_A3, 0, 0, 0, 6, 0},
        {24, 1200, TWSS_JISB5, 2, 2, 4, 3, 2}, {8, 300, TWSS_USLETTER, 0, 1, 2, 4, 0},
        {8, 150, TWSS_USLEGAL, 1, 1, 1, 5, 1}, {1, 150, TWSS_A5, 0, 0, 1, 1, 0},
        {1, 150, TWSS_A6, 2, 0, 1, 2, 2},
    };
    for (const Case& c : cases) {
        dialog.m_ScanParam.adv[0] = 55;
        EXPECT_EQ(dialog.UpdateNoUIScanParam(c.bits, c.dpi, c.size, c.source), 0);
        EXPECT_EQ(dialog.m_ScanParam.colorMode, c.colorMode) << c.bits << " bits";
        EXPECT_EQ(dialog.m_ScanParam.resolution, c.resolution) << c.dpi << " dpi";
        EXPECT_EQ(dialog.m_ScanParam.paperSize, c.paper) << "size " << c.size << " source " << c.source;
        EXPECT_EQ(dialog.m_ScanParam.source, c.wantSource);
        EXPECT_EQ(dialog.m_ScanParam.adv[0], 0) << "adjustments start from neutral";
        EXPECT_EQ(dialog.m_ScanParam.adv[12], GetDefaultGamma());
        EXPECT_EQ(dialog.m_ScanParam.adv[13], GetDefaultThreshold());
    }
}

TEST_F(MainUIDialogTest, PumpServesOnlyTheWindowsOwnThread) {
    CMainUIDialog& dialog = Create();
    dialog.ShowWindow(SW_SHOW);
    PostMessageW(dialog.m_hWnd, WM_CLOSE, 0, 0);
    std::thread other([&] { dialog.PumpMessages(); });
    other.join();
    EXPECT_TRUE(m_assistor->closeRequests.empty()) << "another thread dispatches nothing";
    dialog.PumpMessages();
    EXPECT_EQ(m_assistor->closeRequests.size(), 1u);
}

TEST(TwainUIImp, CreatesShowsAndClosesTheWindow) {
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

    HWND window = imp->GetDialog()->m_hWnd;
    EXPECT_EQ(imp->Close(), 1) << "callers ignore the value";
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(imp->GetDialog(), nullptr);
    EXPECT_EQ(g_pScanWindow.load(), nullptr);
}

} // namespace
