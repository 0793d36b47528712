// The progress dialog of a preview or a page, and the manual-duplex note: what they show, the keys and clicks that
// do not close them, Cancel stopping the device, and the handshake with the worker that ends them.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CManualDuplexDlg.h"
#include "ui/scanwindow/CScanProgressDlg.h"

#include "twain/DeviceState.h"
#include "twain/ScanProgress.h"

#include "scanner/ScanFlags.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace scanwindow_test;

class ProgressTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        HoldLanguageLibrary();
        ut::UseManualClock(true);
        g_bCancelScan = FALSE;
        m_dialog = std::make_unique<CScanProgressDlg>();
    }
    void TearDown() override {
        m_dialog.reset();
        g_bCancelScan = FALSE;
        ScanWindowTestRoot::TearDown();
    }

    // A worker that waits for the window, reports the percents it is given and finishes when `finish` is set.
    struct Worker {
        CScanProgressDlg* dialog = nullptr;
        std::vector<int> percents;
        std::atomic<bool> finish{false};
        bool waitForWindow = true;
    };
    static DWORD WINAPI RunWorker(void* argument) {
        auto* worker = static_cast<Worker*>(argument);
        if (worker->waitForWindow)
            worker->dialog->WaitUntilShown();
        for (int percent : worker->percents)
            worker->dialog->PostProgress(percent);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!worker->finish && !g_bCancelScan && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        worker->dialog->WorkerFinished();
        return 0;
    }

    // One run of the dialog with a worker; `inside` looks at the window while it is up (the worker is then held
    // until `inside` returns, unless it lets it go itself).
    INT_PTR Run(Worker& worker, const std::function<void(HWND)>& inside) {
        worker.dialog = m_dialog.get();
        m_onModal = [&](HWND dlg) {
            inside(dlg);
            worker.finish = true;
        };
        return m_dialog->RunWithWorker(&RunWorker, &worker);
    }

    std::unique_ptr<CScanProgressDlg> m_dialog;
};

TEST_F(ProgressTest, FeederJobCountsPagesAndAllowsCancelAtOnceFromTheSecond) {
    m_dialog->SetPageMode(TRUE, TRUE);
    for (int page = 1; page <= 2; ++page) {
        Worker worker;
        Run(worker, [&](HWND dlg) {
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, 1041))) << "the page number shows in a feeder job";
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, 1040)));
            EXPECT_EQ(TextOf(GetDlgItem(dlg, 1041)), page == 1 ? u"1" : u"2");
            EXPECT_EQ(TextOf(GetDlgItem(dlg, 1040)), u"Page");
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(dlg, IDCANCEL)) != 0, page > 1)
                << "page " << page << ": Cancel waits 4 s only on the first page";
            if (page == 1) {
                ut::AdvanceClock(3999);
                ut::RunPendingMessages();
                EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDCANCEL)));
                ut::AdvanceClock(1);
                ut::RunPendingMessages();
                EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDCANCEL)));
            }
        });
    }
}

TEST_F(ProgressTest, FlatbedAndPreviewShowNoPageAndHoldCancelEveryRun) {
    m_dialog->SetPageMode(FALSE, TRUE);
    for (int run = 0; run < 2; ++run) {
        Worker worker;
        Run(worker, [&](HWND dlg) {
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 1041)));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 1040)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDCANCEL)));
            EXPECT_EQ(TextOf(dlg), u"Scanning");
            EXPECT_EQ(TextOf(GetDlgItem(dlg, 10350)), u"Scanning, please wait...");
            EXPECT_EQ(TextOf(GetDlgItem(dlg, IDCANCEL)), u"Cancel");
        });
    }
}

TEST_F(ProgressTest, PercentsMoveTheBarAndTheSameOneRepaintsOnce) {
    Worker worker;
    worker.percents = {10, 10, 55};
    Run(worker, [&](HWND dlg) {
        // The worker's posts arrive as the loop runs them.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (m_dialog->m_nLastPercent != 55 && std::chrono::steady_clock::now() < deadline)
            ut::RunPendingMessages();
        EXPECT_EQ(SendMessageW(GetDlgItem(dlg, 10349), PBM_GETPOS, 0, 0), 55);
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 10351)), u"55 %");
        int repaints = 0;
        const std::u16string before = TextOf(GetDlgItem(dlg, 10351));
        SendMessageW(dlg, WM_SCAN_PROGRESS, 55, 0);
        repaints += TextOf(GetDlgItem(dlg, 10351)) != before;
        EXPECT_EQ(repaints, 0) << "an unchanged percent changes nothing";
    });
}

TEST_F(ProgressTest, RightToLeftThePercentReadsNumberFirst) {
    g_bHebrew = TRUE;
    Worker worker;
    worker.percents = {42};
    Run(worker, [&](HWND dlg) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (m_dialog->m_nLastPercent != 42 && std::chrono::steady_clock::now() < deadline)
            ut::RunPendingMessages();
        HWND percent = GetDlgItem(dlg, 10351);
        EXPECT_EQ(TextOf(percent), u"42 %");
        // Read right to left the sign, a neutral after a space, would stand left of the number: "% 42".
        EXPECT_EQ(GetWindowLongW(percent, GWL_EXSTYLE) & WS_EX_RTLREADING, 0) << "the percent reads \"42 %\"";
        EXPECT_NE(GetWindowLongW(GetDlgItem(dlg, 10349), GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0)
            << "while the bar fills from the right";
    });
}

TEST_F(ProgressTest, EnterEscCloseBoxAndCancelLeaveItOpenCancelStopsTheDevice) {
    ASSERT_EQ(g_LLD.LoadDriver(), 1);
    ASSERT_EQ(g_LLD.DevMon_Open("\\\\.\\Usbscan"), 0);
    g_b_devmon_close = FALSE;
    Worker worker;
    bool openAfterKeys = false;
    const INT_PTR result = Run(worker, [&](HWND dlg) {
        ut::AdvanceClock(4000);
        ut::RunPendingMessages();
        SetFocus(GetDlgItem(dlg, IDCANCEL));
        ut::PressKey(VK_RETURN);
        ut::PressKey(VK_ESCAPE);
        ut::RunPendingMessages();
        openAfterKeys = IsWindow(dlg) && !g_bCancelScan;
        SendMessageW(dlg, WM_CLOSE, 0, 0); // the close box
        EXPECT_TRUE(g_bCancelScan) << "the close box is Cancel";
        EXPECT_TRUE(IsWindow(dlg));
        g_bCancelScan = FALSE;
        ut::Click(GetDlgItem(dlg, IDCANCEL));
        ut::RunPendingMessages();
        EXPECT_TRUE(IsWindow(dlg)) << "Cancel waits for the worker";
        EXPECT_TRUE(g_bCancelScan);
    });
    EXPECT_TRUE(openAfterKeys);
    EXPECT_EQ(result, IDOK) << "the worker's end closes it";
    EXPECT_EQ(CallsOf("ScanDrv_CancelScan").size(), 2u) << "each cancel stops the device";
}

TEST_F(ProgressTest, CancelBeforeItsTimeDoesNothing) {
    Worker worker;
    Run(worker, [&](HWND dlg) {
        SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        SendMessageW(dlg, WM_CLOSE, 0, 0);
        EXPECT_FALSE(g_bCancelScan);
    });
}

TEST_F(ProgressTest, AWorkerThatFinishesFirstStillEndsTheRun) {
    // The worker does not wait for the window and is done before it exists.
    Worker worker;
    worker.waitForWindow = false;
    worker.finish = true;
    worker.dialog = m_dialog.get();
    m_onModal = [](HWND) { std::this_thread::sleep_for(std::chrono::milliseconds(50)); };
    EXPECT_EQ(m_dialog->RunWithWorker(&RunWorker, &worker), IDOK);
    EXPECT_EQ(m_dialog->m_hWnd, nullptr);

    // A ready signal left over from that run does not let the next worker start before its window.
    Worker next;
    std::atomic<bool> sawWindow{false};
    next.dialog = m_dialog.get();
    m_onModal = [&](HWND) {
        sawWindow = true;
        next.finish = true;
    };
    EXPECT_EQ(m_dialog->RunWithWorker(&RunWorker, &next), IDOK);
    EXPECT_TRUE(sawWindow);
}

TEST_F(ProgressTest, WithoutItsLayoutTheWorkerIsNotLeftWaiting) {
    // A dialog whose template cannot be found never comes up: the worker must still run to its end.
    class Broken : public CScanProgressDlg {
    public:
        Broken() { m_lpszTemplateName = MAKEINTRESOURCEW(4); }
    };
    Broken broken;
    Worker worker;
    worker.dialog = &broken;
    worker.finish = true;
    EXPECT_EQ(broken.RunWithWorker(&RunWorker, &worker), -1);
}

class DuplexNoteTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        HoldLanguageLibrary();
    }
    void TearDown() override {
        m_devState = 0;
        g_bCancelScan = FALSE;
        ScanWindowTestRoot::TearDown();
    }
};

TEST_F(DuplexNoteTest, OnlyTheDeviceClosesTheNote) {
    m_devState = kDevStateShowDuplexNote;
    CManualDuplexDlg& note = CManualDuplexDlg::GetInstance();
    std::thread device;
    m_onModal = [&](HWND dlg) {
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDCANCEL))) << "the user cannot cancel the wait";
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDCANCEL)), u"Cancel");
        EXPECT_NE(TextOf(GetDlgItem(dlg, 10450)).find(u"Turn the stack"), std::u16string::npos);
        ut::PressKey(VK_RETURN);
        ut::PressKey(VK_ESCAPE);
        SendMessageW(dlg, WM_CLOSE, 0, 0); // Alt+F4
        SendMessageW(dlg, WM_COMMAND, IDOK, 0);
        ut::RunPendingMessages();
        EXPECT_TRUE(IsWindow(dlg));
        EXPECT_EQ(note.GetWindowAlive(), dlg);
        // The end of the wait comes from the device's thread.
        device = std::thread([&] { note.PostEnd(); });
    };
    EXPECT_EQ(note.DoModal(), IDOK);
    device.join();
    EXPECT_EQ(note.GetWindowAlive(), nullptr);
    note.PostEnd(); // nothing is up: the request is lost, nothing breaks
    EXPECT_FALSE(g_bCancelScan);
}

TEST_F(DuplexNoteTest, AWaitThatEndedBeforeTheNoteCameUpEndsItAtOnce) {
    m_devState = kDevStateHideDuplexNote;
    bool shown = false;
    m_onModal = [&](HWND) { shown = true; };
    EXPECT_EQ(CManualDuplexDlg::GetInstance().DoModal(), IDOK);
    EXPECT_TRUE(shown);
    m_devState = kDevStateJobEnd;
    EXPECT_EQ(CManualDuplexDlg::GetInstance().DoModal(), IDOK) << "an aborted or ended job leaves no note";
}

} // namespace
