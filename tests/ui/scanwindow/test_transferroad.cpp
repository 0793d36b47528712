// The pages of a job from the Scan button to the application, through the scanning window, its progress dialog,
// the device's events and the engine's transfers: feeder jobs simplex and duplex, the manual-duplex pause and its
// cancel, a jam, an empty feeder, a stalled read cancelled from the progress dialog, the device failing at each
// step, and auto-crop's scan before the page is announced. Each job ends in the right state, with the device closed
// and no page file left.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CScanProgressDlg.h"

#include "tests/twain/recording_dsm/ManagerRecorder.h"

#include "twain/CMsgImageInfo.h"
#include "twain/CMsgImageMemXfer.h"
#include "twain/CMsgImageNativeXfer.h"
#include "twain/CMsgPendingXfer.h"
#include "twain/DeviceState.h"
#include "twain/PageScan.h"

#include "companions/scandrv/TestPage.h"
#include "scanner/PaperTables.h"
#include "scanner/ScanFlags.h"
#include "settings/PlatformFlags.h"

#include <thread>

namespace {

using namespace scanwindow_test;

constexpr int kProgressBar = 10349; // a control of the progress dialog
constexpr int kDuplexNote = 10450;  // the text of the manual-duplex note

// A grey page as the application received it.
struct GreyPage {
    int width = 0;
    int height = 0;
    std::vector<BYTE> rows;
    int At(int x, int y) const { return rows[static_cast<size_t>(y) * width + x]; }
};

// The sheet and side a page of the simulated device shows in its mark cells.
struct Marks {
    bool valid = false;
    int sheet = 0;
    bool back = false;
};
Marks ReadMarks(const GreyPage& page, int dpi) {
    auto black = [&](int cell) {
        const scandrv::Point centre = scandrv::MarkCellCentre(cell);
        const scandrv::Point pixel =
            scandrv::BedToPixel(scandrv::DocumentToBed(scandrv::Placement{}, centre.x, centre.y), 0, 0, dpi, dpi);
        const int x = static_cast<int>(pixel.x + 0.5), y = static_cast<int>(pixel.y + 0.5);
        return x >= 0 && y >= 0 && x < page.width && y < page.height && page.At(x, y) < 100;
    };
    Marks marks;
    marks.valid = black(0);
    for (int bit = 0; bit < 8; ++bit)
        if (black(bit + 1))
            marks.sheet |= 1 << bit;
    marks.back = black(9);
    return marks;
}

class TransferRoadTest : public ScanWindowTest {
protected:
    void SetUp() override {
        ScanWindowTest::SetUp();
        // No job of an earlier test goes on.
        g_bScanStarted = FALSE;
        g_bPageScanPending = FALSE;
        g_bCancelScan = FALSE;
        g_bAutoDeskew = FALSE;
        m_onModal = [this](HWND dlg) {
            if (GetDlgItem(dlg, kProgressBar) != nullptr) {
                ++m_progressRuns;
                if (m_inProgress)
                    m_inProgress(dlg);
                return; // it runs until the scan ends
            }
            if (GetDlgItem(dlg, kDuplexNote) != nullptr) {
                ++m_duplexNotes;
                // The user cancels, or has turned the stack and the device's pause may end.
                if (m_cancelNote)
                    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                else if (!m_controlAtNote.empty())
                    WriteControl(m_controlAtNote);
                return; // the device ends it
            }
            RecordAndClose(dlg);
        };
    }
    void TearDown() override {
        SetManualDuplexFlag(0);
        g_bCancelScan = FALSE;
        g_bHasAutoCrop = FALSE;
        g_bAutoDeskew = FALSE;
        if (!g_b_devmon_close)
            EndJob();
        g_nDevPageCount = 0;
        g_nXferPageCount = 0;
        ScanWindowTest::TearDown();
    }

    // Grey A4 pages at 75 dpi from the chosen source (0 flatbed, 1 feeder, 2 feeder duplex).
    void StartJob(int source) {
        ScanParam& p = m_dialog->m_ScanParam;
        p.source = source;
        p.paperSize = 0;
        p.colorMode = 1;
        p.resolution = 0;
        m_manager.Clear();
        ClickItem(20006);
    }
    bool Announced() { return m_manager.Count(MSG_XFERREADY) > 0 && m_assistor->GetState() == 600; }

    // One page by memory transfers; rc is the last transfer's return code.
    GreyPage TransferPage(TW_UINT16& rc) {
        GreyPage page;
        std::vector<BYTE> buffer(65535);
        for (;;) {
            TW_IMAGEMEMXFER xfer{};
            xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
            TwainCall call{nullptr, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer};
            rc = m_memXfer.Handle(&call);
            if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE)
                return page;
            if (page.width == 0) {
                GetTransferredPageSize(m_dialog.get(), page.width, page.height);
                page.rows.resize(static_cast<size_t>(page.width) * page.height);
            }
            for (TW_UINT32 r = 0; r < xfer.Rows; ++r)
                std::memcpy(page.rows.data() + (xfer.YOffset + r) * page.width, buffer.data() + r * xfer.BytesPerRow,
                            page.width);
            if (rc == TWRC_XFERDONE)
                return page;
        }
    }
    TW_UINT16 EndXfer(TW_UINT16& count) {
        TW_PENDINGXFERS pending{};
        TwainCall call{nullptr, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending};
        const TW_UINT16 rc = m_pending.Handle(&call);
        count = pending.Count;
        return rc;
    }
    // Every page of the job, each end of transfer's count after it; stops at the first failure.
    std::vector<Marks> TransferJob(std::vector<TW_UINT16>& counts, TW_UINT16& lastEnd) {
        std::vector<Marks> marks;
        for (int guard = 0; guard < 20 && m_assistor->GetState() == 600; ++guard) {
            TW_UINT16 rc = 0;
            const GreyPage page = TransferPage(rc);
            if (rc != TWRC_XFERDONE)
                break;
            marks.push_back(ReadMarks(page, 75));
            TW_UINT16 count = 0;
            lastEnd = EndXfer(count);
            counts.push_back(count);
            if (count == 0)
                break;
        }
        return marks;
    }
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> files;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(m_root + "/Temp", ec), end; !ec && it != end; it.increment(ec))
            files.push_back(it->path().filename().string());
        return files;
    }
    void ExpectJobOver(TW_UINT16 state, const std::string& what) {
        EXPECT_EQ(m_assistor->GetState(), state) << what;
        EXPECT_TRUE(g_b_devmon_close) << what;
        EXPECT_FALSE(g_LLD.IsDeviceOpen()) << what;
        EXPECT_FALSE(m_dialog->m_bBusy) << what << ": the window may scan again";
        EXPECT_TRUE(TempFiles().empty()) << what;
        // A device that reported events is told to stop before it is closed.
        const std::vector<std::string> calls = DriverCalls();
        int lastCallback = -1, lastClose = -1;
        for (int i = 0; i < static_cast<int>(calls.size()); ++i) {
            if (calls[i].rfind("ScanDrv_SetCallBackFun ", 0) == 0)
                lastCallback = i;
            else if (calls[i].rfind("ScanDrv_Close ", 0) == 0)
                lastClose = i;
        }
        if (lastCallback >= 0) {
            EXPECT_EQ(calls[lastCallback], "ScanDrv_SetCallBackFun (null) -> 0") << what;
            EXPECT_LT(lastCallback, lastClose) << what;
        }
    }

    transfer_test::ManagerRecorder m_manager;
    CMsgImageMemXfer m_memXfer;
    CMsgPendingXfer m_pending;
    int m_progressRuns = 0;
    int m_duplexNotes = 0;
    bool m_cancelNote = false;
    std::string m_controlAtNote; // the device's control file once the manual-duplex note is up
    std::function<void(HWND)> m_inProgress;
};

// Three sheets through the feeder: each page scanned under the progress dialog when the application asks for it,
// announced again at the end of the one before, the job ending after the third.
TEST_F(TransferRoadTest, FeederJobHandsOverEverySheetInTurn) {
    StartJob(1);
    ASSERT_TRUE(Announced());
    std::vector<TW_UINT16> counts;
    TW_UINT16 lastEnd = 0;
    const std::vector<Marks> marks = TransferJob(counts, lastEnd);
    ASSERT_EQ(marks.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(marks[i].valid) << "page " << i + 1;
        EXPECT_EQ(marks[i].sheet, i + 1);
        EXPECT_FALSE(marks[i].back);
    }
    EXPECT_EQ(counts, (std::vector<TW_UINT16>{1, 1, 0}));
    EXPECT_EQ(lastEnd, TWRC_SUCCESS);
    EXPECT_EQ(m_progressRuns, 3);
    EXPECT_EQ(m_dialog->m_pScanProgressDlg->m_nPage, 3) << "the dialog counted the job's pages";
    EXPECT_EQ(m_manager.Count(MSG_XFERREADY), 3);
    EXPECT_EQ(CallsOf("ScanDrv_StartScan").size(), 1u) << "one job for all sheets";
    EXPECT_TRUE(m_modalTexts.empty());
    ExpectJobOver(500, "the feeder is empty");
}

// Duplex: the front and back of each sheet, in that order.
TEST_F(TransferRoadTest, DuplexJobHandsOverFrontAndBackOfEachSheet) {
    WriteControl("feeder_sheets = 2\n");
    StartJob(2);
    ASSERT_TRUE(Announced());
    std::vector<TW_UINT16> counts;
    TW_UINT16 lastEnd = 0;
    const std::vector<Marks> marks = TransferJob(counts, lastEnd);
    ASSERT_EQ(marks.size(), 4u);
    const std::pair<int, bool> sides[] = {{1, false}, {1, true}, {2, false}, {2, true}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(marks[i].sheet, sides[i].first) << "page " << i + 1;
        EXPECT_EQ(marks[i].back, sides[i].second) << "page " << i + 1;
    }
    EXPECT_EQ(counts.back(), 0);
    ExpectJobOver(500, "duplex job");
}

// Manual duplex: every front, then the note while the user turns the stack, then every back (turned by 180
// degrees, as they come upside down); the rotation setting is the user's again afterwards.
TEST_F(TransferRoadTest, ManualDuplexPausesWithTheNoteBetweenFrontsAndBacks) {
    // The device pauses until the note is up, however long the engine takes to see that it waits.
    WriteControl("feeder_sheets = 2\nduplex_wait_ms = never\n");
    m_controlAtNote = "feeder_sheets = 2\n";
    SetManualDuplexFlag(1);
    StartJob(1);
    ASSERT_TRUE(Announced());
    std::vector<TW_UINT16> counts;
    TW_UINT16 lastEnd = 0;
    const std::vector<Marks> marks = TransferJob(counts, lastEnd);
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_EQ(m_duplexNotes, 1);
    EXPECT_EQ(marks[0].sheet, 1);
    EXPECT_EQ(marks[1].sheet, 2);
    EXPECT_FALSE(marks[0].back);
    EXPECT_FALSE(marks[1].back);
    EXPECT_EQ(m_dialog->m_ScanParam.adv[16], 0) << "the front's rotation is back";
    EXPECT_EQ(counts, (std::vector<TW_UINT16>{1, 1, 1, 0}));
    ExpectJobOver(500, "manual duplex job");
}

TEST_F(TransferRoadTest, CancelOnTheManualDuplexNoteEndsTheJob) {
    // A pause of a minute: a job that ends well within it did not wait for the device.
    WriteControl("feeder_sheets = 2\nduplex_wait_ms = 60000\n");
    SetManualDuplexFlag(1);
    m_cancelNote = true;
    StartJob(1);
    ASSERT_TRUE(Announced());
    std::vector<TW_UINT16> counts;
    TW_UINT16 lastEnd = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Marks> marks = TransferJob(counts, lastEnd);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "no wait for the device";
    EXPECT_EQ(marks.size(), 2u) << "the fronts";
    EXPECT_EQ(m_duplexNotes, 1);
    EXPECT_EQ(counts.back(), 0);
    EXPECT_TRUE(g_bCancelScan);
    ExpectJobOver(500, "cancelled at the note");
}

// A jam in the second sheet: the first page comes, the end of its transfer reports the device's error.
TEST_F(TransferRoadTest, JamEndsTheJobWithTheDevicesError) {
    WriteControl("jam = 2 100\n");
    StartJob(1);
    ASSERT_TRUE(Announced());
    std::vector<TW_UINT16> counts;
    TW_UINT16 lastEnd = 0;
    const std::vector<Marks> marks = TransferJob(counts, lastEnd);
    EXPECT_EQ(marks.size(), 1u);
    EXPECT_EQ(counts, std::vector<TW_UINT16>{0});
    EXPECT_EQ(lastEnd, TWRC_FAILURE);
    EXPECT_EQ(m_modalTexts.size(), 1u) << "the jam is shown once";
    ExpectJobOver(500, "after the jam");
}

TEST_F(TransferRoadTest, EmptyFeederAnnouncesNoPage) {
    WriteControl("feeder_sheets = 0\n");
    StartJob(1);
    EXPECT_FALSE(Announced());
    EXPECT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_progressRuns, 0);
    ExpectJobOver(500, "empty feeder");
}

// A read that stalls: the user's Cancel in the progress dialog stops the device and the transfer cancels, silently.
TEST_F(TransferRoadTest, CancelInTheProgressDialogEndsAStalledRead) {
    WriteControl("stall = 1 20 0\n");
    m_inProgress = [](HWND dlg) {
        // Cancel is taken once the first page's start-up time has passed and the read has begun.
        ut::AdvanceClock(5000);
        ut::RunPendingMessages();
        for (int i = 0; i < 1000 && !g_bFirstRowRead; ++i)
            Sleep(2);
        Sleep(50);
        ut::Click(GetDlgItem(dlg, IDCANCEL));
    };
    StartJob(0);
    ASSERT_TRUE(Announced());
    TW_UINT16 rc = 0;
    TransferPage(rc);
    EXPECT_EQ(rc, TWRC_CANCEL);
    EXPECT_TRUE(g_bCancelScan);
    EXPECT_TRUE(m_modalTexts.empty()) << "the user's own Cancel is no error to show";
    ExpectJobOver(500, "cancelled");
}

// A scan thread that cannot be made: no progress dialog waits for it, the device is closed and the error shown.
TEST_F(TransferRoadTest, AScanThreadThatCannotBeMadeEndsTheJobWithAnError) {
    StartJob(0);
    ASSERT_TRUE(Announced());
    m_dialog->m_pScanProgressDlg = std::make_unique<NoThreadProgress>();
    TW_UINT16 rc = 0;
    TransferPage(rc);
    EXPECT_EQ(rc, TWRC_CANCEL);
    EXPECT_EQ(m_progressRuns, 0);
    EXPECT_EQ(m_modalTexts.size(), 1u);
    EXPECT_TRUE(CallsOf("ScanDrv_ReadScanData").empty());
    ExpectJobOver(500, "no scan thread");
}

// The device failing at each step of the job: one error box, the transfer cancelled (or no page announced), state
// 500, the device closed and no page file.
TEST_F(TransferRoadTest, DeviceFailureAtEachStepEndsTheJob) {
    struct Case {
        const char* fault;
        bool announced;
    };
    for (Case c :
         {Case{"ScanDrv_Open 4", false}, Case{"ScanDrv_SetScanParameter 18", true}, Case{"ScanDrv_StartScan 8", true},
          Case{"ScanDrv_ReadScanData 8 once 30", true}, Case{"ScanDrv_ReadScanData 12 once 1", true}}) {
        SCOPED_TRACE(c.fault);
        WriteControl(std::string("fault = ") + c.fault + "\n");
        m_modalTexts.clear();
        m_assistor->SetState(500);
        StartJob(1);
        ASSERT_EQ(Announced(), c.announced);
        if (c.announced) {
            TW_UINT16 rc = 0;
            TransferPage(rc);
            EXPECT_EQ(rc, TWRC_CANCEL);
        }
        EXPECT_EQ(m_modalTexts.size(), 1u);
        ExpectJobOver(500, "after the failure");
        if (c.announced) { // a device that does not open leaves the window to the user
            EXPECT_GE(m_manager.Count(MSG_CLOSEDSREQ), 1) << "the application is asked to close";
        }
    }
}

// With auto-crop the page is scanned and cut before it is announced: the image information reports the cut size
// and the transfer hands it over without scanning again.
TEST_F(TransferRoadTest, AutoCropScansBeforeThePageIsAnnounced) {
    g_bHasAutoCrop = TRUE;
    ScanParam& p = m_dialog->m_ScanParam;
    p.source = 0;
    p.paperSize = 5; // the paper that asks for auto-crop on the flatbed
    p.colorMode = 1;
    p.resolution = 0;
    ClickItem(20006);
    ASSERT_TRUE(Announced());
    EXPECT_EQ(m_progressRuns, 1) << "scanned before the announcement";
    CMsgImageInfo infoHandler;
    TW_IMAGEINFO info{};
    TwainCall call{nullptr, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info};
    ASSERT_EQ(infoHandler.Handle(&call), TWRC_SUCCESS);
    EXPECT_LT(+info.ImageWidth, 638);
    EXPECT_GE(+info.ImageWidth, 450);
    TW_UINT16 rc = 0;
    const GreyPage page = TransferPage(rc);
    EXPECT_EQ(rc, TWRC_XFERDONE);
    EXPECT_EQ(page.width, info.ImageWidth);
    EXPECT_EQ(page.height, info.ImageLength);
    EXPECT_EQ(m_progressRuns, 1) << "nothing scanned again";
    EXPECT_EQ(CallsOf("ScanDrv_StartScan").size(), 1u);
    TW_UINT16 count = 0;
    EXPECT_EQ(EndXfer(count), TWRC_SUCCESS);
    EXPECT_EQ(count, 0);
    ExpectJobOver(600, "flatbed page");
}

} // namespace
