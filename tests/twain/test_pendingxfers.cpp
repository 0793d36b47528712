// The end of each transfer and the pending-transfer count, with the window's stand-in: the flatbed job that ends
// with its page, the feeder's decision on the next page from the device's page counts (with the bounded wait, the
// cancel and the disk and memory checks), MSG_GET and MSG_RESET; and the dispatcher refusing calls while the engine
// runs a modal loop.
#include "TransferTestSupport.h"

#include "twain/CDS.h"
#include "twain/CFakeUI.h"
#include "twain/CMsgIdentity.h"
#include "twain/CMsgImageMemXfer.h"
#include "twain/CMsgImageNativeXfer.h"
#include "twain/CMsgPendingXfer.h"
#include "twain/CMsgStatus.h"
#include "twain/CTwainDsApp.h"
#include "twain/CapabilityTable.h"
#include "twain/DeviceState.h"
#include "twain/HostFlags.h"
#include "twain/ScanState.h"

#include "scanner/PaperTables.h"
#include "scanner/ScanFlags.h"
#include "settings/SettingStore.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace transfer_test;

class PendingXferTest : public TransferTestRoot {
protected:
    void SetUp() override {
        TransferTestRoot::SetUp();
        InitCapabilityTable();
        g_nDevPageCount = 0;
        g_nXferPageCount = 0;
        g_bCancelScan = FALSE;
    }
    void TearDown() override {
        g_bHostMsPhotoScan = FALSE;
        g_bHostAcrobat = FALSE;
        g_bHostIedit = FALSE;
        g_bHostIeditExe = FALSE;
        g_bHostPhotoshopCS2 = FALSE;
        g_bNoUI = FALSE;
        g_bAppMode = FALSE;
        g_bUserClose = FALSE;
        g_bCancelScan = FALSE;
        g_bFeederStatusKnown = FALSE;
        g_bPaperInFeeder = FALSE;
        g_bJobEnded = FALSE;
        g_nDevPageCount = 0;
        g_nXferPageCount = 0;
        platform::testing::SetTickCount(std::nullopt);
        platform::testing::SetMemoryStatus(std::nullopt);
        platform::testing::SetMemoryStatusFails(false);
        SetManualDuplexFlag(0);
        FreeCapabilityTable();
        TransferTestRoot::TearDown();
    }
    TW_UINT16 Pending(TW_UINT16 msg, TW_PENDINGXFERS& pending) {
        pending = TW_PENDINGXFERS{0xFFFF, 0x12345678};
        return Call(m_pending, DAT_PENDINGXFERS, msg, &pending);
    }
    // A page of the job handed over by memory transfer (the job's device left open).
    void TransferPage(int source) {
        Announce(1, 75, 60, 40);
        m_window->param.source = source;
        std::vector<BYTE> buffer(65535);
        TW_IMAGEMEMXFER xfer{};
        xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
        ASSERT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_XFERDONE);
        ASSERT_EQ(m_assistor->GetState(), 700);
    }

    CMsgPendingXfer m_pending;
    CMsgImageMemXfer m_memXfer;
};

// A flatbed page ends its job: Count 0, state 600, the device closed, the application asked to close, the page's
// temporary file gone.
TEST_F(PendingXferTest, FlatbedPageEndsTheJob) {
    TransferPage(0);
    EXPECT_EQ(TempFiles(m_root).size(), 1u) << "a memory transfer's page lies in its file until the end";
    m_manager.Clear();
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(+pending.EOJ, 0x12345678u) << "the second field is not touched";
    EXPECT_EQ(m_assistor->GetState(), 600);
    EXPECT_EQ(m_manager.Messages(), std::vector<TW_UINT16>{MSG_CLOSEDSREQ});
    EXPECT_FALSE(g_bScanStarted);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u);
    ExpectJobClosed("after MSG_ENDXFER");
}

// This host scans flatbed pages one after another: the next page is left pending.
TEST_F(PendingXferTest, PhotoScanHostKeepsTheFlatbedJobGoing) {
    g_bHostMsPhotoScan = TRUE;
    TransferPage(0);
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 1);
    EXPECT_TRUE(g_bPageScanPending);
    EXPECT_FALSE(g_b_devmon_close);
}

TEST_F(PendingXferTest, AcrobatWithTheDeviceClosedIsAnsweredAtOnce) {
    g_bHostAcrobat = TRUE;
    m_assistor->SetState(700);
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0xFFFF) << "nothing is written";
    EXPECT_EQ(m_assistor->GetState(), 700);
    ASSERT_EQ(Pending(MSG_RESET, pending), TWRC_SUCCESS);
    EXPECT_EQ(m_assistor->GetState(), 700);
}

// Without the window the job ends: Count 0, written all the same.
TEST_F(PendingXferTest, EndOfTransferWithoutTheWindowEndsTheJob) {
    TransferPage(1);
    g_nDevPageCount = 3;
    m_window.reset();
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(m_assistor->GetState(), 600);
    EXPECT_TRUE(g_b_devmon_close);
    EXPECT_TRUE(TempFiles(m_root).empty());
}

// The feeder's next page: reported by the device (or the job's end with its count), else a wait that gives up.
TEST_F(PendingXferTest, FeederNextPageFollowsTheDevicesCount) {
    TransferPage(1);
    g_nDevPageCount = 2; // the device has the second page
    m_manager.Clear();
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 1);
    EXPECT_EQ(m_manager.Messages(), std::vector<TW_UINT16>{MSG_XFERREADY}) << "the next page is announced at once";
    EXPECT_EQ(m_assistor->GetState(), 600);
    EXPECT_TRUE(g_bPageScanPending);
    EXPECT_EQ(m_window->rows, 0);
    EXPECT_TRUE(GetFeederEnabled());
    EXPECT_TRUE(IsPaperInFeeder());
    EXPECT_TRUE(m_window->busy);

    // The job ended after the second page: no waiting, Count 0, the device closed, state 500.
    m_assistor->SetState(700);
    g_nDevPageCount = 10002;
    m_manager.Clear();
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(m_assistor->GetState(), 500);
    EXPECT_EQ(m_manager.Messages(), std::vector<TW_UINT16>{MSG_CLOSEDSREQ});
    EXPECT_FALSE(GetFeederEnabled());
    EXPECT_FALSE(IsPaperInFeeder());
    EXPECT_EQ(g_nDevPageCount.load(), 0);
    EXPECT_EQ(g_nXferPageCount.load(), 0);
    EXPECT_FALSE(m_window->busy);
    ExpectJobClosed("the job's end");
}

// In app mode the window stays up after the job: the application is asked to close the source only once the
// user has closed the window.
TEST_F(PendingXferTest, AppModeHoldsTheCloseRequestBackUntilTheUserClosesTheWindow) {
    g_bAppMode = TRUE;
    TransferPage(0);
    m_manager.Clear();
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 0) << "the job's end asks nothing in app mode";
    ExpectJobClosed("the job's end in app mode");
    m_assistor->NotifyCloseDsReq();
    EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 0) << "nor does any other request while the window is open";
    g_bUserClose = TRUE;
    m_assistor->NotifyCloseDsReq();
    EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 1) << "the user closed the window";
}

// The image editor takes one page a job: a feeder job ends with its first page, whatever the device has left.
TEST_F(PendingXferTest, TheImageEditorHostEndsTheFeederJobWithThePage) {
    g_bHostIedit = TRUE;
    TransferPage(1);
    g_nDevPageCount = 3;
    m_manager.Clear();
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0) << "no next page for this host";
    EXPECT_EQ(m_manager.Count(MSG_XFERREADY), 0);
    EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 1);
    ExpectJobClosed("the editor's page");
}

// The editor's other program gets its window back at every end of transfer, also when the next page follows.
TEST_F(PendingXferTest, TheImageEditorProgramGetsTheWindowBackAtEveryPage) {
    g_bHostIeditExe = TRUE;
    TransferPage(1);
    g_nDevPageCount = 2;
    m_window->enabled = FALSE;
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 1) << "the feeder's next page still follows";
    EXPECT_FALSE(m_window->busy) << "the window is no longer busy";
    EXPECT_TRUE(m_window->enabled) << "the window is enabled again";
}

// Without this host the window stays busy and disabled while the next page is announced.
TEST_F(PendingXferTest, OtherHostsKeepTheWindowBusyWhileTheNextPageFollows) {
    TransferPage(1);
    g_nDevPageCount = 2;
    m_window->enabled = FALSE;
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 1);
    EXPECT_TRUE(m_window->busy);
    EXPECT_FALSE(m_window->enabled);
}

// The image host of that version keeps the source's window behind its own unless the window is put on top at each
// end of transfer; no other host gets that.
TEST_F(PendingXferTest, TheOldPhotoEditorHostGetsTheWindowOnTopAfterEachPage) {
    for (BOOL cs2 : {TRUE, FALSE}) {
        SCOPED_TRACE(cs2 ? "that host" : "another host");
        g_bHostPhotoshopCS2 = cs2;
        m_window->topMost.clear();
        TransferPage(0);
        TW_PENDINGXFERS pending{};
        ASSERT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
        EXPECT_EQ(m_window->topMost, cs2 ? std::vector<BOOL>{TRUE} : std::vector<BOOL>{});
    }
}

// When the window cannot set the next page's parameters the end of transfer fails with the page still counted;
// without the window shown the source asks to be closed itself.
TEST_F(PendingXferTest, ANextPageThatCannotGetItsSettingsFailsTheEndOfTransfer) {
    for (BOOL noUI : {FALSE, TRUE}) {
        SCOPED_TRACE(noUI ? "without the window shown" : "with the window");
        TransferPage(1);
        g_nDevPageCount = 2;
        g_bNoUI = noUI;
        m_window->applyFails = true;
        m_manager.Clear();
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(Pending(MSG_ENDXFER, pending), TWRC_FAILURE);
        EXPECT_EQ(+pending.Count, 1);
        EXPECT_EQ(m_manager.Count(MSG_XFERREADY), 0) << "no page is announced";
        EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), noUI ? 1 : 0);
        m_window->applyFails = false;
        g_bNoUI = FALSE;
        CloseJobDevice(false, true);
        g_nDevPageCount = 0;
        g_nXferPageCount = 0;
    }
}

TEST_F(PendingXferTest, FeederWaitGivesUpAfterTwoMinutes) {
    TransferPage(1);
    platform::testing::SetTickCount(1000);
    std::thread clock([] {
        Sleep(300);
        platform::testing::AdvanceTickCount(120000);
    });
    const auto start = std::chrono::steady_clock::now();
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Pending(MSG_ENDXFER, pending), TWRC_FAILURE);
    clock.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60)) << "the two minutes are the clock's";
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_TRUE(m_window->errors.empty()) << "a timeout shows no driver error";
    EXPECT_EQ(m_assistor->GetConditionCode(), TWCC_OPERATIONERROR) << "the failure does not say why";
    EXPECT_EQ(m_assistor->GetState(), 500);
    EXPECT_EQ(m_window->rotationsRestored, 1) << "the user's own rotation is back";
    ExpectJobClosed("after the timeout");
}

// A cancelled job, a closed device, or a call outside a transfer take "no more pages" without waiting.
TEST_F(PendingXferTest, FeederEndsAtOnceWithoutAJobToWaitFor) {
    for (int why = 0; why < 3; ++why) {
        SCOPED_TRACE(why);
        TransferPage(1);
        if (why == 0)
            g_bCancelScan = TRUE;
        else if (why == 1)
            CloseJobDevice(false, true);
        else
            m_assistor->SetState(500);
        const auto start = std::chrono::steady_clock::now();
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "no two-minute wait";
        EXPECT_EQ(+pending.Count, 0);
        EXPECT_TRUE(m_window->errors.empty());
        ExpectJobClosed("no next page");
        g_bCancelScan = FALSE;
    }
}

// A cancel while the end of a transfer waits for the next page ends the wait and the job without an error.
TEST_F(PendingXferTest, CancelDuringTheWaitEndsTheJob) {
    TransferPage(1);
    platform::testing::SetTickCount(1000); // the two minutes never pass by themselves
    std::atomic<bool> ended{false};
    std::thread user([&ended] {
        Sleep(200);
        g_bCancelScan = TRUE;
        // Should the cancel go unnoticed, the wait's own end makes the test fail instead of hang.
        for (int i = 0; i < 3000 && !ended; ++i)
            Sleep(10);
        if (!ended)
            platform::testing::AdvanceTickCount(120000);
    });
    TW_PENDINGXFERS pending{};
    const TW_UINT16 rc = Pending(MSG_ENDXFER, pending);
    ended = true;
    user.join();
    EXPECT_EQ(rc, TWRC_SUCCESS) << "the cancel, not the two minutes, ended the wait";
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_TRUE(m_window->errors.empty());
    ExpectJobClosed("cancelled while waiting");
}

// A driver error during the wait ends it at once and is shown; the driver's second success (200) is no error.
TEST_F(PendingXferTest, DriverErrorEndsTheWait) {
    WriteControl("fault = ScanDrv_GetLastError 8 from\n");
    TransferPage(1);
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Pending(MSG_ENDXFER, pending), TWRC_FAILURE);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(m_window->errors, std::vector<std::string>{"6 -72"});
    EXPECT_EQ(m_assistor->GetConditionCode(), TWCC_PAPERJAM) << "the failure does not say why";
    ExpectJobClosed("after the driver error");

    WriteControl("fault = ScanDrv_GetLastError 6 from\n"); // the cover is open
    TransferPage(1);
    EXPECT_EQ(Pending(MSG_ENDXFER, pending), TWRC_FAILURE);
    EXPECT_EQ(m_window->errors.back(), "6 -7");
    EXPECT_EQ(m_assistor->GetConditionCode(), TWCC_INTERLOCK);

    WriteControl("fault = ScanDrv_GetLastError 2 from\n");
    TransferPage(1);
    std::thread device([] {
        Sleep(250);
        g_nDevPageCount = 10001;
    });
    EXPECT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    device.join();
    EXPECT_EQ(+pending.Count, 0) << "the job ended after its one page";
}

// Too little disk or memory for the next page ends the job with the error box.
TEST_F(PendingXferTest, NextPageNeedsDiskAndMemory) {
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which == 0 ? "disk" : "memory");
        if (which == 0) {
            platform::testing::SetDiskFreeSpace(200000000);
        } else {
            MEMORYSTATUSEX status{};
            status.ullAvailPhys = status.ullTotalPhys = 8ULL << 30;
            status.ullTotalVirtual = 8ULL << 30;
            status.ullAvailVirtual = 200000000;
            platform::testing::SetMemoryStatus(status);
        }
        TransferPage(1);
        g_nDevPageCount = 2;
        m_window->errors.clear();
        m_manager.Clear();
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
        EXPECT_EQ(+pending.Count, 0);
        EXPECT_EQ(m_window->errors, std::vector<std::string>{"Load String Error!"}) << "string 1105";
        EXPECT_EQ(m_manager.Count(MSG_XFERREADY), 0);
        EXPECT_GE(m_manager.Count(MSG_CLOSEDSREQ), 1);
        EXPECT_FALSE(m_window->busy);
        ExpectJobClosed("short of room");
        platform::testing::SetDiskFreeSpace(100ULL << 30);
        platform::testing::SetMemoryStatus(std::nullopt);
    }
}

// Memory the system cannot tell about does not stop the job: the next page is announced.
TEST_F(PendingXferTest, AFailedMemoryQueryCountsAsEnough) {
    platform::testing::SetMemoryStatusFails(true);
    TransferPage(1);
    g_nDevPageCount = 2;
    m_manager.Clear();
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Pending(MSG_ENDXFER, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 1);
    EXPECT_EQ(m_manager.Messages(), std::vector<TW_UINT16>{MSG_XFERREADY});
    EXPECT_TRUE(m_window->errors.empty());
    EXPECT_FALSE(g_b_devmon_close);
}

// The two minutes the end of a transfer waits for the next page start again when a manual-duplex pause ends: the
// user may take longer than that to turn the stack over.
TEST_F(PendingXferTest, ManualDuplexPauseRestartsTheWaitForTheNextPage) {
    SetManualDuplexFlag(1);
    if (g_devStateEvent.load() == nullptr)
        g_devStateEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    TransferPage(1);
    platform::testing::SetTickCount(1000);
    // The fronts are done: the device waits for the stack to be turned over.
    SetDevState(kDevStateShowDuplexNote);
    SetEvent(g_devStateEvent);
    m_window->duplexNote = [] {
        // Three minutes later the device has the stack back, ends its pause (which closes the note) and soon has
        // the first back side.
        platform::testing::AdvanceTickCount(180000);
        SetDevState(kDevStateHideDuplexNote);
        SetEvent(g_devStateEvent);
        g_nDevPageCount = 2;
        return static_cast<INT_PTR>(1); // IDOK: the device closed the note
    };
    m_manager.Clear();
    std::vector<std::u16string> notes;
    platform::debug::SetSink([&notes](std::u16string_view line) {
        if (line.find(u"Manual Duplex Dialog") != std::u16string_view::npos)
            notes.emplace_back(line);
    });
    TW_PENDINGXFERS pending{};
    const TW_UINT16 rc = Pending(MSG_ENDXFER, pending);
    platform::debug::SetSink(nullptr);
    EXPECT_EQ(rc, TWRC_SUCCESS) << "no timeout: the wait started afresh at the end of the pause";
    EXPECT_EQ(notes, (std::vector<std::u16string>{u"Show Manual Duplex Dialog", u"Hide Manual Duplex Dialog"}))
        << "the end of the pause that closed the note is taken up";
    EXPECT_EQ(m_window->notes, 1);
    EXPECT_EQ(+pending.Count, 1);
    EXPECT_EQ(m_manager.Messages(), std::vector<TW_UINT16>{MSG_XFERREADY});
    EXPECT_TRUE(m_window->errors.empty());
}

// During a manual-duplex job the wait for the device's word lasts only what is left of the two minutes: a device
// that falls silent ends the job on time.
TEST_F(PendingXferTest, ManualDuplexWaitKeepsToTheTwoMinutes) {
    SetManualDuplexFlag(1);
    if (g_devStateEvent.load() == nullptr)
        g_devStateEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    TransferPage(1);
    platform::testing::SetTickCount(1000);
    // The device says a page is ready but never counts it, and then says nothing more. Once its word is taken up,
    // the clock stands 5 ms short of the end of the wait and runs on slowly.
    SetDevState(kDevStatePageReady);
    SetEvent(g_devStateEvent);
    std::atomic<bool> running{false}, ended{false};
    platform::debug::SetSink([&running](std::u16string_view line) {
        if (!running && line == u"m_devState: 2") {
            platform::testing::SetTickCount(1000 + 120000 - 5);
            running = true;
        }
    });
    std::thread clock([&] {
        for (int i = 0; i < 1000 && !ended; ++i) {
            Sleep(20);
            if (running)
                platform::testing::AdvanceTickCount(1);
        }
        if (!ended) { // a wait that does not end by itself is ended here, so the test fails instead of hanging
            g_bCancelScan = TRUE;
            SetDevState(kDevStateJobEnd);
            SetEvent(g_devStateEvent);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    TW_PENDINGXFERS pending{};
    const TW_UINT16 rc = Pending(MSG_ENDXFER, pending);
    ended = true;
    clock.join();
    platform::debug::SetSink(nullptr);
    EXPECT_TRUE(running) << "the device's word was taken up";
    EXPECT_EQ(rc, TWRC_FAILURE) << "the two minutes, not the rescue, ended the wait";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(m_assistor->GetState(), 500);
    ExpectJobClosed("after the silent device");
}

TEST_F(PendingXferTest, GetCountsPagesByStateAndFeeder) {
    TW_PENDINGXFERS pending{};
    SetFeederEnabled(FALSE);
    for (auto [state, count] : {std::pair{400, 1}, std::pair{500, 1}, std::pair{600, 1}, std::pair{700, 0}}) {
        m_assistor->SetState(state);
        ASSERT_EQ(Pending(MSG_GET, pending), TWRC_SUCCESS);
        EXPECT_EQ(+pending.Count, count) << "state " << state;
    }
    SetFeederEnabled(TRUE);
    g_bFeederStatusKnown = TRUE; // as a feeder job leaves it
    for (BOOL paper : {FALSE, TRUE}) {
        g_bPaperInFeeder = paper;
        for (TW_UINT16 state : {500, 700}) {
            m_assistor->SetState(state);
            ASSERT_EQ(Pending(MSG_GET, pending), TWRC_SUCCESS);
            EXPECT_EQ(+pending.Count, paper ? 1 : 0) << "state " << state;
        }
    }
    g_bPaperInFeeder = FALSE;
    m_assistor->SetState(300);
    EXPECT_EQ(Pending(MSG_GET, pending), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(Pending(MSG_SET, pending), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
    EXPECT_EQ(Call(m_pending, DAT_PENDINGXFERS, MSG_ENDXFER, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
}

// MSG_RESET drops the page and the job, in states 600 and 700 only.
TEST_F(PendingXferTest, ResetDropsThePagesAndEndsTheJob) {
    Announce(2, 75, 200, 100);
    std::vector<BYTE> buffer(700);
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 700, buffer.data()};
    ASSERT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_SUCCESS) << "half a page handed over";
    m_manager.Clear();
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Pending(MSG_RESET, pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(m_assistor->GetState(), 500);
    EXPECT_EQ(m_manager.Messages(), std::vector<TW_UINT16>{MSG_CLOSEDSREQ});
    EXPECT_FALSE(g_bScanStarted);
    EXPECT_FALSE(m_window->busy) << "the window may scan again";
    EXPECT_EQ(m_window->rotationsRestored, 1) << "the user's own rotation is back";
    ExpectJobClosed("after the reset");
    EXPECT_EQ(Pending(MSG_RESET, pending), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
}

// An application that disables in the middle of a page leaves no page file behind.
TEST_F(PendingXferTest, DisableDropsAPageHalfHandedOver) {
    Announce(2, 75, 200, 100);
    std::vector<BYTE> buffer(700);
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 700, buffer.data()};
    ASSERT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_SUCCESS);
    ASSERT_FALSE(TempFiles(m_root).empty());
    TW_USERINTERFACE ui{};
    ASSERT_EQ(m_assistor->DisableDS(&ui), TWRC_SUCCESS);
    EXPECT_EQ(m_assistor->GetState(), 400);
    ExpectJobClosed("after the disable");
}

// While the engine runs a modal loop, the application's calls are refused, all but DAT_STATUS and
// MSG_PROCESSEVENT.
TEST_F(PendingXferTest, DispatcherRefusesCallsDuringAModalLoop) {
    m_window.reset();
    g_pDsAssistor = nullptr;
    m_assistor.reset();
    // The module's handlers are its static objects; a test makes those it calls.
    CMsgIdentity identityHandler;
    CMsgStatus statusHandler;
    CTwainDsApp app;
    ASSERT_TRUE(app.InitInstance());
    TW_IDENTITY origin = MakeAppIdentity(5);
    TW_IDENTITY identity{};
    ASSERT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
    {
        ModalEngineCall modal;
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_FAILURE);
        EXPECT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_FAILURE);
        TW_STATUS status{};
        ASSERT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
        EXPECT_EQ(status.ConditionCode, TWCC_SEQERROR);
        TW_EVENT event{nullptr, 7};
        EXPECT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
        EXPECT_EQ(event.TWMessage, MSG_NULL);
    }
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
    EXPECT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_SUCCESS);
}

} // namespace
