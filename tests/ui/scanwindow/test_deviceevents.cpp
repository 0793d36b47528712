// The device's events as the window's callback turns them into the device state: each notification from another
// thread, in every order a job may give them, the back sides' rotation of manual duplex and its way back, a window
// that is gone, and a whole manual-duplex job on the simulated device with the note shown and closed by the device.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CManualDuplexDlg.h"
#include "ui/scanwindow/DeviceEvents.h"

#include "twain/DeviceState.h"

#include "scanner/PaperTables.h"

#include <chrono>
#include <thread>

namespace {

using namespace scanwindow_test;

constexpr int kJobStart = 2, kPageEnd = 3, kWaitStart = 7, kWaitEnd = 8, kJobEnd = 9, kAbort = 11;

class DeviceEventsTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        m_dialog = std::make_unique<CMainUIDialog>();
        ASSERT_TRUE(m_dialog->CreateModeless(nullptr));
        StartDeviceEvents(m_dialog.get()); // as the scan road does for a feeder source
        g_bBackSideRotation = FALSE;
        if (HANDLE event = g_devStateEvent.load())
            ResetEvent(event); // an earlier test's last signal is no news for this one
    }
    void TearDown() override {
        m_dialog.reset();
        g_bSkipFirstPageSignal = 0;
        g_bBackSideRotation = FALSE;
        SetManualDuplexFlag(0);
        if (HANDLE held = g_hManualDuplexEvent.exchange(nullptr))
            CloseHandle(held);
        ScanWindowTestRoot::TearDown();
    }

    // The notifications, one after the other, from a thread of their own as the driver sends them.
    void FromTheDevice(std::initializer_list<int> codes, void* context = nullptr) {
        std::vector<int> list(codes);
        void* target = context != nullptr ? context : m_dialog.get();
        std::thread device([&] {
            for (int code : list)
                m_results.push_back(myScanCallBack(target, code, 0, 0));
        });
        device.join();
    }
    bool Signalled() { return WaitForSingleObject(g_devStateEvent.load(), 0) == WAIT_OBJECT_0; }

    std::unique_ptr<CMainUIDialog> m_dialog;
    std::vector<int> m_results;
};

TEST_F(DeviceEventsTest, ANullContextChangesNothing) {
    g_nDevPageCount = 4;
    EXPECT_EQ(myScanCallBack(nullptr, kPageEnd, 0, 0), -1);
    EXPECT_EQ(g_nDevPageCount, 4);
}

TEST_F(DeviceEventsTest, JobStartCountsAfreshAndKeepsTheFrontRotation) {
    g_nDevPageCount = 10007;
    g_nXferPageCount = 6;
    m_dialog->m_ScanParam.adv[16] = 2;
    g_hManualDuplexEvent = CreateEventW(nullptr, FALSE, FALSE, u"Global\\manual_duplex");
    FromTheDevice({kJobStart});
    EXPECT_EQ(g_nDevPageCount, 0);
    EXPECT_EQ(g_nXferPageCount, 0);
    EXPECT_EQ(g_nFrontRotation, 2);
    EXPECT_NE(g_devStateEvent.load(), nullptr) << "made at the first job start and kept";
    EXPECT_FALSE(Signalled()) << "a job start signals nothing";
    EXPECT_EQ(g_hManualDuplexEvent.load(), nullptr) << "the last job's marker goes";
    EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, u"Global\\manual_duplex"), nullptr);
    EXPECT_EQ(m_results, std::vector<int>{0});
}

TEST_F(DeviceEventsTest, TheFirstPageAfterTheScanRoadIsNotSignalledTheNextAre) {
    FromTheDevice({kJobStart});
    g_bSkipFirstPageSignal = 1;
    const int before = m_devState;
    FromTheDevice({kPageEnd});
    EXPECT_EQ(m_devState, before) << "the first page goes with MSG_XFERREADY";
    EXPECT_FALSE(Signalled());
    FromTheDevice({kPageEnd});
    EXPECT_EQ(m_devState, kDevStatePageReady);
    EXPECT_TRUE(Signalled());
    EXPECT_EQ(g_nDevPageCount, 2);
    FromTheDevice({kPageEnd, kJobEnd});
    EXPECT_EQ(g_nDevPageCount, 10003) << "a job of three pages";
    EXPECT_EQ(m_devState, kDevStateJobEnd);
    EXPECT_TRUE(Signalled());
}

TEST_F(DeviceEventsTest, TheManualDuplexWaitTurnsTheRotationForTheBacks) {
    const std::pair<int, int> turns[] = {{0, 3}, {1, 2}, {2, 1}, {3, 0}, {7, 7}};
    for (const auto& [front, back] : turns) {
        m_dialog->m_ScanParam.adv[16] = front;
        FromTheDevice({kJobStart, kPageEnd, kWaitStart});
        EXPECT_EQ(m_devState, kDevStateShowDuplexNote);
        EXPECT_TRUE(Signalled());
        FromTheDevice({kWaitEnd});
        EXPECT_EQ(m_devState, kDevStateHideDuplexNote);
        EXPECT_TRUE(Signalled());
        EXPECT_EQ(m_dialog->m_ScanParam.adv[16], back) << "front " << front;
        HANDLE marker = OpenEventW(SYNCHRONIZE, FALSE, u"Global\\manual_duplex");
        EXPECT_NE(marker, nullptr) << "other programs can see the wait took place";
        CloseHandle(marker);
        FromTheDevice({kWaitEnd}); // a second report does not turn it back
        EXPECT_EQ(m_dialog->m_ScanParam.adv[16], back);
        // Every road that ends the job puts the front rotation back, once.
        m_dialog->RestoreFrontRotation();
        EXPECT_EQ(m_dialog->m_ScanParam.adv[16], front);
        m_dialog->m_ScanParam.adv[16] = 1;
        m_dialog->RestoreFrontRotation();
        EXPECT_EQ(m_dialog->m_ScanParam.adv[16], 1) << "nothing to put back twice";
    }
    // A job that ended without putting the front rotation back: the next job starts from the user's own.
    m_dialog->m_ScanParam.adv[16] = 1;
    FromTheDevice({kJobStart, kWaitStart, kWaitEnd});
    ASSERT_EQ(m_dialog->m_ScanParam.adv[16], 2);
    FromTheDevice({kJobStart});
    EXPECT_EQ(m_dialog->m_ScanParam.adv[16], 1);
    EXPECT_EQ(g_nFrontRotation, 1);
}

TEST_F(DeviceEventsTest, AnAbortEndsTheJobForTheWaiterAndRestoresTheRotation) {
    m_dialog->m_ScanParam.adv[16] = 1;
    FromTheDevice({kJobStart, kPageEnd, kWaitStart, kWaitEnd});
    ASSERT_EQ(m_dialog->m_ScanParam.adv[16], 2);
    Signalled();
    FromTheDevice({kAbort});
    EXPECT_EQ(m_devState, kDevStateJobEnd) << "the waiter for the next page stops waiting";
    EXPECT_TRUE(Signalled());
    EXPECT_EQ(m_dialog->m_ScanParam.adv[16], 1);
}

TEST_F(DeviceEventsTest, EveryEndClosesAShownNote) {
    for (int end : {kWaitEnd, kJobEnd, kAbort}) {
        m_devState = kDevStateShowDuplexNote;
        std::thread device;
        m_onModal = [&](HWND) { device = std::thread([&, end] { myScanCallBack(m_dialog.get(), end, 0, 0); }); };
        EXPECT_EQ(CManualDuplexDlg::GetInstance().DoModal(), IDOK) << "event " << end;
        device.join();
    }
}

TEST_F(DeviceEventsTest, AWindowThatIsGoneIsNeverTouched) {
    m_dialog->m_ScanParam.adv[16] = 1;
    FromTheDevice({kJobStart});
    CMainUIDialog* gone = m_dialog.get();
    m_dialog.reset(); // its OnDestroy stops the events
    FromTheDevice({kPageEnd, kWaitStart, kWaitEnd, kJobEnd, kAbort}, gone);
    EXPECT_EQ(m_results, (std::vector<int>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(m_devState, kDevStateJobEnd) << "the state still follows the job";
    EXPECT_FALSE(g_bBackSideRotation) << "no window's rotation was turned";
}

// A whole manual-duplex job of two sheets: the engine's reader takes the pages while this thread waits on the
// device state as the end of transfer does, runs the note when the device waits and sees the device close it. The
// device pauses until the note is up, however long this thread takes to see that it waits.
TEST_F(DeviceEventsTest, AManualDuplexJobOnTheDevice) {
    WriteControl("feeder_sheets = 2\nduplex_wait_ms = never\n");
    SetManualDuplexFlag(1);
    ScanParam& p = m_dialog->m_ScanParam;
    p.source = 1;
    p.paperSize = 0;  // A4
    p.colorMode = 1;  // grey
    p.resolution = 0; // 75 dpi: 620 x 877
    p.adv[16] = 1;
    m_dialog->ShowWindow(SW_SHOW);
    m_dialog->OnBnClickedScan();
    ASSERT_EQ(m_assistor->GetState(), 600);
    ASSERT_EQ(m_dialog->ApplyScanParameters(TRUE), 0);
    ASSERT_EQ(g_LLD.DevMon_StartScan(), 0);
    EXPECT_EQ(CallsOf("ScanDrv_SetScanParameter").back(), "ScanDrv_SetScanParameter 75 75 1 0 0 9920 14032 72 2 -> 0");

    std::atomic<int> rowsRead{0};
    std::thread reader([&] {
        std::vector<BYTE> row(620);
        for (int i = 0; i < 4 * 877; ++i) {
            int count = 0;
            if (g_LLD.DevMon_ReadScanData(row.data(), 620, &count) != 0)
                break;
            ++rowsRead;
        }
    });
    std::vector<int> states;
    bool noteShown = false;
    m_onModal = [&](HWND) { // the note stays until the device ends the wait, which the user now lets it do
        noteShown = true;
        WriteControl("feeder_sheets = 2\n");
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (WaitForSingleObject(g_devStateEvent.load(), 50) != WAIT_OBJECT_0)
            continue;
        const int state = GetDevState();
        states.push_back(state);
        if (state == kDevStateShowDuplexNote) {
            EXPECT_EQ(m_dialog->RunManualDuplexNote(), IDOK);
            EXPECT_EQ(m_dialog->m_ScanParam.adv[16], 2) << "the backs are turned the other way";
        }
        if (state == kDevStateJobEnd)
            break;
    }
    reader.join();
    EXPECT_TRUE(noteShown);
    EXPECT_EQ(rowsRead, 4 * 877);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), kDevStateJobEnd);
    EXPECT_NE(std::find(states.begin(), states.end(), kDevStateShowDuplexNote), states.end());
    EXPECT_EQ(g_nDevPageCount, 10004);
    m_dialog->RestoreFrontRotation(); // the end of the job
    EXPECT_EQ(m_dialog->m_ScanParam.adv[16], 1);
}

} // namespace
