// Enabling and disabling in-process, with a stand-in window: the state machine, the enable mutex, the window's life
// in normal and app mode, the window-less scan, and the close request of the window.

#include "TwainTestSupport.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CFakeUI.h"
#include "twain/CMsgIdentity.h"
#include "twain/CMsgInterface.h"
#include "twain/CScanWindow.h"
#include "twain/CUIFactory.h"
#include "twain/CUIImp.h"
#include "twain/DsEnableMutex.h"
#include "twain/ScanState.h"

#include "settings/IniPath.h"
#include "settings/SettingStore.h"
#include "platform/base/path.h"
#include "tests/support/DebugLines.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct WindowLog {
    int created = 0;
    int shown = 0;
    int closed = 0;
    int scans = 0;
    bool failCreate = false;
    bool scanAnnounces = true; // the window-less scan ends in MSG_XFERREADY
};
WindowLog g_log;

class StandInWindow : public CScanWindow {
public:
    StandInWindow() { g_pScanWindow = this; }
    ~StandInWindow() {
        CScanWindow* self = this;
        g_pScanWindow.compare_exchange_strong(self, nullptr);
    }
    void ScanWithoutUI() override {
        ++g_log.scans;
        if (g_log.scanAnnounces)
            g_pDsAssistor.load()->NotifyXferReady();
    }
    void SetBusy(BOOL busy) override { m_busy = busy; }
    void SetCloseOnActivate(BOOL) override {}
    void PumpMessages() override {}
    BOOL m_busy = TRUE;
};

class StandInUI : public CUIImp {
public:
    int Show(int) override {
        ++g_log.shown;
        return 0;
    }
    int Close() override {
        ++g_log.closed;
        m_window.reset();
        return 1;
    }
    int ProcessEvent(MSG*) override { return 1; }
    int Create(CDsProxy*, HWND) override {
        if (g_log.failCreate)
            return 1;
        ++g_log.created;
        m_window = std::make_unique<StandInWindow>();
        return 0;
    }
    std::unique_ptr<StandInWindow> m_window;
};

class StandInFactory : public CUIFactory {
public:
    int CreateUI(CUIImp** ppUI) override {
        *ppUI = new StandInUI;
        return 0;
    }
};

class EnableTest : public TwainTestRoot {
protected:
    void SetUp() override {
        TwainTestRoot::SetUp();
        g_log = WindowLog{};
        g_bAppMode = FALSE;
        g_bUserClose = FALSE;
        g_bKeepOpenAfterXfer = TRUE;
        CFakeUI::RegisterFactory(&m_factory);
        m_assistor = std::make_unique<CDsAssistor>();
        m_assistor->SetUI(&m_ui);
        m_colMsg.SetAssistor(m_assistor.get());
        m_app = MakeAppIdentity(31);
    }
    void TearDown() override {
        if (State() >= 500)
            Disable();
        m_ui.Close();
        CFakeUI::RegisterFactory(nullptr);
        g_pDsAssistor = nullptr;
        m_assistor.reset();
        g_bAppMode = FALSE;
        TwainTestRoot::TearDown();
    }

    TW_UINT16 Call(TW_UINT16 dat, TW_UINT16 msg, void* data) {
        TwainCall call{&m_app, DG_CONTROL, dat, msg, data};
        return dat == DAT_IDENTITY ? m_identity.Handle(&call) : m_interface.Handle(&call);
    }
    TW_UINT16 Open() {
        TW_IDENTITY ds{};
        ds.Id = 4;
        return Call(DAT_IDENTITY, MSG_OPENDS, &ds);
    }
    TW_UINT16 Enable(bool showUI) {
        TW_USERINTERFACE ui{static_cast<TW_BOOL>(showUI ? 1 : 0), 0, nullptr};
        return Call(DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }
    TW_UINT16 Disable() {
        TW_USERINTERFACE ui{};
        return Call(DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    TW_UINT16 State() const { return m_assistor ? m_assistor->GetState() : 0; }
    TW_UINT16 Code() const { return m_assistor->GetConditionCode(); }

    StandInFactory m_factory;
    CFakeUI m_ui;
    std::unique_ptr<CDsAssistor> m_assistor;
    CColMsg m_colMsg;
    CMsgIdentity m_identity;
    CMsgInterface m_interface;
    TW_IDENTITY m_app{};
};

TEST_F(EnableTest, EnableWithWindowAndDisableWalkTheStates) {
    EXPECT_EQ(Enable(true), TWRC_FAILURE) << "state 300";
    EXPECT_EQ(Code(), TWCC_SEQERROR);
    EXPECT_FALSE(IsDsEnableMutexPresent()) << "a refused enable takes no mutex";
    EXPECT_EQ(g_log.created, 0);

    ASSERT_EQ(Open(), TWRC_SUCCESS);
    EXPECT_EQ(Disable(), TWRC_FAILURE) << "state 400";
    EXPECT_EQ(Code(), TWCC_SEQERROR);

    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    EXPECT_EQ(State(), 500);
    EXPECT_EQ(g_log.created, 1);
    EXPECT_EQ(g_log.shown, 1);
    EXPECT_EQ(g_log.scans, 0) << "with a window, the user starts the scan";
    EXPECT_FALSE(g_bNoUI);
    EXPECT_TRUE(IsDsEnableMutexPresent());

    EXPECT_EQ(Enable(true), TWRC_FAILURE) << "already enabled";
    EXPECT_EQ(Code(), TWCC_SEQERROR);
    EXPECT_EQ(g_log.created, 1);

    m_assistor->NotifyXferReady();
    EXPECT_EQ(State(), 600) << "a page was announced";

    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_EQ(State(), 400);
    EXPECT_EQ(g_log.closed, 1);
    EXPECT_EQ(g_pScanWindow.load(), nullptr);
    EXPECT_FALSE(IsDsEnableMutexPresent()) << "disabling lets go of the mutex";
    EXPECT_TRUE(g_bPageScanPending);
    EXPECT_FALSE(g_bScanStarted);

    // Enabled again after a disable.
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    EXPECT_EQ(State(), 500);
    EXPECT_TRUE(IsDsEnableMutexPresent());
}

TEST_F(EnableTest, WindowlessEnableScansAtOnce) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(g_log.created, 1) << "the window exists also without a user interface";
    EXPECT_EQ(g_log.shown, 0);
    EXPECT_EQ(g_log.scans, 1);
    EXPECT_TRUE(g_bNoUI);
    EXPECT_EQ(State(), 600);
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_EQ(State(), 400);
}

TEST_F(EnableTest, FailedWindowlessScanLeavesTheSourceEnabled) {
    g_log.scanAnnounces = false;
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    EXPECT_EQ(Enable(false), TWRC_SUCCESS) << "the application learns of the failure by MSG_CLOSEDSREQ";
    EXPECT_EQ(State(), 500);
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
}

TEST_F(EnableTest, WindowThatCannotBeCreatedGivesLowMemory) {
    // The INI file is there: the window failed for want of resources.
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini);
    std::ofstream(platform::path::ToHostPath(ini), std::ios::trunc) << m_ini;
    g_log.failCreate = true;
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    EXPECT_EQ(Enable(true), TWRC_FAILURE);
    EXPECT_EQ(Code(), TWCC_LOWMEMORY);
    EXPECT_EQ(State(), 400);
    EXPECT_TRUE(IsDsEnableMutexPresent()) << "the mutex stays until disable or close";
    EXPECT_EQ(Disable(), TWRC_FAILURE);
    EXPECT_EQ(Code(), TWCC_SEQERROR);
    EXPECT_TRUE(IsDsEnableMutexPresent()) << "a disable in state 400 leaves the mutex alone";
    TW_IDENTITY ds{};
    ASSERT_EQ(Call(DAT_IDENTITY, MSG_CLOSEDS, &ds), TWRC_SUCCESS);
    EXPECT_FALSE(IsDsEnableMutexPresent());
}

TEST_F(EnableTest, WindowThatCannotBeCreatedForWantOfTheIniFileGivesBummer) {
    // The program's own INI file is missing: the window told the user why; it is no shortage of memory.
    g_log.failCreate = true;
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    EXPECT_EQ(Enable(true), TWRC_FAILURE);
    EXPECT_EQ(Code(), TWCC_BUMMER);
    EXPECT_EQ(State(), 400);
}

TEST_F(EnableTest, DebugLinesTellTheExistingMutexAndTheDisable) {
    if (std::getenv("kvxTWAINtest") == nullptr) {
        // Each site reads the switch once per process, so the lines are checked in a fresh one with it on.
        char self[PATH_MAX] = {};
        ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
        const std::string command = std::string("kvxTWAINtest=1 '") + self +
                                    "' --gtest_filter=EnableTest.DebugLinesTellTheExistingMutexAndTheDisable >&2";
        EXPECT_EQ(std::system(command.c_str()), 0) << "the switched debug lines, checked in a child process";
        return;
    }
    testsupport::DebugLines debug; // gone with the test, also when an assertion ends it early
    debug.Capture();
    auto logged = [&](const std::u16string& line) {
        const std::vector<std::u16string> lines = debug.Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };

    g_log.failCreate = true;
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(true), TWRC_FAILURE);
    EXPECT_FALSE(logged(u"==== enableDS =====OpenMutex  :true ")) << "the first enable creates the mutex";
    g_log.failCreate = false;
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    EXPECT_TRUE(logged(u"==== enableDS =====OpenMutex  :true ")) << "the retry finds the mutex of the first attempt";
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_FALSE(IsDsEnableMutexPresent()) << "the one handle is let go of";
    EXPECT_TRUE(logged(u"out DisableDS"));
}

TEST_F(EnableTest, AppModeKeepsTheWindowAcrossDisable) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    g_bAppMode = TRUE;
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    StandInWindow* window = static_cast<StandInWindow*>(g_pScanWindow.load());
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_EQ(State(), 400);
    EXPECT_EQ(g_log.closed, 0);
    EXPECT_EQ(g_pScanWindow.load(), window) << "the window stays in app mode";
    EXPECT_FALSE(window->m_busy) << "but is no longer busy";
    window->m_busy = TRUE;
    EXPECT_EQ(Disable(), TWRC_FAILURE);
    EXPECT_EQ(Code(), TWCC_SEQERROR);
    EXPECT_EQ(g_pScanWindow.load(), window) << "a disable in state 400 leaves the window as it is";
    EXPECT_TRUE(window->m_busy);
}

TEST_F(EnableTest, CloseOfAnEnabledSourceDisablesFirst) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    TW_IDENTITY ds{};
    ASSERT_EQ(Call(DAT_IDENTITY, MSG_CLOSEDS, &ds), TWRC_SUCCESS);
    EXPECT_EQ(State(), 300);
    EXPECT_EQ(g_log.closed, 1) << "the window went with the source";
    EXPECT_FALSE(IsDsEnableMutexPresent());
    EXPECT_TRUE(g_b_devmon_close);
}

TEST_F(EnableTest, UnloadingAnEnabledSourceLetsGoOfTheMutex) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    ASSERT_TRUE(IsDsEnableMutexPresent());
    m_ui.Close();
    m_assistor.reset();
    EXPECT_FALSE(IsDsEnableMutexPresent());
}

TEST_F(EnableTest, PageWithoutApplicationMovesNothing) {
    m_assistor->NotifyXferReady();
    EXPECT_EQ(State(), 300);
}

TEST_F(EnableTest, RequestCloseAtEndOfTransferOnlyClearsKeepOpen) {
    EXPECT_EQ(m_assistor->RequestClose(TRUE), 0);
    EXPECT_FALSE(g_bKeepOpenAfterXfer);
}

} // namespace
