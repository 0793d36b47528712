// The scan road on the simulated device: what the window asks the driver for each source and port, the page size
// it works out, the disk and memory checks, the failures and their error texts, the parameters the engine's scan
// thread sets through the window, and the window-less scan with the application's frame.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CScanProgressDlg.h"

#include "twain/CapabilityTable.h"
#include "twain/DeviceState.h"
#include "twain/HostFlags.h"

#include "scanner/PaperTables.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScanFlags.h"
#include "settings/PlatformFlags.h"

#include <atomic>
#include <thread>

namespace {

using namespace scanwindow_test;

class ScanRoadTest : public ScanWindowTest {
protected:
    void TearDown() override {
        g_bHostOffice = FALSE;
        g_bHostWordExcelStore = FALSE;
        g_bSkipScanAdjust = FALSE;
        g_bAutoDeskew = FALSE;
        SetManualDuplexFlag(0);
        g_bIsPlatformWren = FALSE;
        ScanWindowTest::TearDown();
    }

    // Settings as the pages would leave them: A4 from the source, colour, 300 dpi.
    void Settings(int source, int paper = 0, int colour = 2, int resolution = 2) {
        ScanParam& p = m_dialog->m_ScanParam;
        p.source = source;
        p.paperSize = paper;
        p.colorMode = colour;
        p.resolution = resolution;
    }
    void ClickScan() { ClickItem(20006); }
    bool Announced() const { return m_assistor->GetState() == 600; }
};

TEST_F(ScanRoadTest, FlatbedOpensTheLocalDeviceAndAnnouncesThePage) {
    Settings(0);
    ClickScan();
    EXPECT_TRUE(Announced());
    EXPECT_EQ(m_dialog->m_bBusy, 1) << "busy until the engine ends the job";
    EXPECT_FALSE(g_b_devmon_close);
    EXPECT_TRUE(g_bPageScanPending);
    EXPECT_EQ(m_dialog->m_nWidth, 2480) << "A4 at 300 dpi";
    EXPECT_EQ(m_dialog->m_nHeight, 3508);
    EXPECT_EQ(DriverCalls(),
              (std::vector<std::string>{"ScanDrv_SetResolution1200 0 -> 0", "ScanDrv_SetHorizontal 0 -> 0",
                                        "ScanDrv_Open \\\\.\\Usbscan -> 0"}))
        << "a flatbed scan neither asks the feeder nor registers for device events";
    EXPECT_FALSE(m_dialog->m_pScanProgressDlg->m_bPageMode);

    // The engine's scan thread then sets the job up through the window.
    ClearDriverCalls();
    EXPECT_EQ(m_dialog->ApplyScanParameters(TRUE), 0);
    EXPECT_EQ(DriverCalls(),
              (std::vector<std::string>{"ScanDrv_SetScanParameterAdj 0,0,0,0 0,0,0,0 0,0,0,0 18 72 0 0 -> 0",
                                        "ScanDrv_SetScanParameter 300 300 2 0 0 9920 14032 72 0 -> 0"}));

    // A second click while busy starts nothing.
    ClearDriverCalls();
    m_assistor->SetState(500);
    ClickScan();
    EXPECT_FALSE(Announced());
    EXPECT_TRUE(DriverCalls().empty());
}

TEST_F(ScanRoadTest, EachFeederSourceRegistersForEventsAndTellsTheDriverItsSource) {
    struct Case {
        int source;
        int manualDuplex;
        int driverSource;
    };
    for (const Case c : {Case{1, 0, 1}, Case{2, 0, 3}, Case{1, 1, 2}}) {
        SetManualDuplexFlag(c.manualDuplex);
        Settings(c.source, 0, 1, 1); // A4, grey, 150 dpi
        m_assistor->SetState(500);
        ClickScan();
        EXPECT_TRUE(Announced()) << "source " << c.source;
        EXPECT_EQ(g_bSkipFirstPageSignal, 1) << "the first page goes with MSG_XFERREADY";
        EXPECT_TRUE(m_dialog->m_pScanProgressDlg->m_bPageMode) << "feeder jobs count pages";
        EXPECT_EQ(m_dialog->m_pScanProgressDlg->m_nPage, 0) << "a new job starts counting";
        EXPECT_EQ(m_dialog->ApplyScanParameters(TRUE), 0);
        const auto calls = DriverCalls();
        ASSERT_GE(calls.size(), 7u);
        EXPECT_EQ(calls[3], "ScanDrv_SetCallBackFun callback -> 0");
        EXPECT_EQ(calls[4], "ScanDrv_GetADFStatus -> 0");
        EXPECT_EQ(calls[6],
                  "ScanDrv_SetScanParameter 150 150 1 0 0 9920 14032 72 " + std::to_string(c.driverSource) + " -> 0")
            << "source " << c.source << ", manual duplex " << c.manualDuplex;
        // The engine's end of the job.
        EndJob();
        ClearDriverCalls();
    }
}

TEST_F(ScanRoadTest, ResolutionAndHorizontalGoToTheDeviceBeforeItOpens) {
    Settings(0, 0, 0, 4);
    m_dialog->m_ScanParam.horizontal = 1;
    ClickScan();
    const auto calls = DriverCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], "ScanDrv_SetResolution1200 1 -> 0");
    EXPECT_EQ(calls[1], "ScanDrv_SetHorizontal 1 -> 0");
}

TEST_F(ScanRoadTest, ANetworkPortOpensItsAddress) {
    WriteControl("net_device = KVX-NET 10.0.0.5\n");
    Settings(0);
    m_dialog->m_ScanParam.portType = 2;
    std::strcpy(m_dialog->m_ScanParam.szHostAddress, "10.0.0.5");
    ClickScan();
    EXPECT_TRUE(Announced());
    EXPECT_EQ(CallsOf("ScanDrv_Open"), std::vector<std::string>{"ScanDrv_Open 10.0.0.5 -> 0"});

    // The preview's road opens it too (its network lookup answers at once).
    EndJob();
    ClearDriverCalls();
    EXPECT_TRUE(m_dialog->OpenScanDevice());
    EXPECT_EQ(CallsOf("ScanDrv_Open"), std::vector<std::string>{"ScanDrv_Open 10.0.0.5 -> 0"});
    EndJob();
    std::strcpy(m_dialog->m_ScanParam.szHostAddress, "10.0.0.9");
    EXPECT_FALSE(m_dialog->OpenScanDevice());
    EXPECT_EQ(m_dialog->m_bBusy, 0);
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(GetScanErrorMessage(kScanErrorOpen, DriverResultMap[4])));
}

TEST_F(ScanRoadTest, DiskSpaceAndMemoryDecideAtTheirLimits) {
    Settings(0); // A4 colour 300 dpi: 2480 x 3508 pixels
    const ULONGLONG need = 2480ULL * 3508 * 3 * 2 + 314572800ULL;
    platform::testing::SetDiskFreeSpace(need);
    ClickScan();
    EXPECT_FALSE(Announced()) << "a need equal to the free space is refused";
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1105)));
    EXPECT_TRUE(DriverCalls().empty()) << "nothing is opened";
    EXPECT_EQ(m_dialog->m_bBusy, 0);

    platform::testing::SetDiskFreeSpace(need + 1);
    ClickScan();
    EXPECT_TRUE(Announced());
    EndJob();

    // Grey needs a third of it.
    Settings(0, 0, 1);
    platform::testing::SetDiskFreeSpace(2480ULL * 3508 * 2 + 314572800ULL + 1);
    ClickScan();
    EXPECT_TRUE(Announced());
    EndJob();

    MEMORYSTATUSEX memory{};
    memory.ullAvailPhys = memory.ullTotalPhys = 1ULL << 30;
    memory.ullTotalVirtual = 1ULL << 40;
    memory.ullAvailVirtual = 299999999;
    platform::testing::SetMemoryStatus(memory);
    m_modalTexts.clear();
    ClickScan();
    EXPECT_FALSE(Announced()) << "299,999,999 bytes of virtual memory are too few";
    EXPECT_EQ(m_modalTexts.size(), 1u);
    memory.ullAvailVirtual = 300000000;
    platform::testing::SetMemoryStatus(memory);
    ClickScan();
    EXPECT_TRUE(Announced()) << "300,000,000 are enough";
}

TEST_F(ScanRoadTest, DiskAndMemoryQueriesThatFailCountAsPassed) {
    Settings(0);
    platform::testing::SetDiskFreeSpace(std::nullopt);
    std::ofstream(m_root + "/not-a-folder") << "";
    platform::testing::SetRoot(m_root + "/not-a-folder/root"); // C:\ cannot be there: the query fails
    ClickScan();
    platform::testing::SetRoot(m_root);
    EXPECT_TRUE(Announced());
    EXPECT_TRUE(DebugHas(u"GetDiskFreeSpaceExW GetLastError"));
    EndJob();

    platform::testing::SetMemoryStatusFails(true);
    ClickScan();
    platform::testing::SetMemoryStatusFails(false);
    EXPECT_TRUE(Announced());
    EXPECT_TRUE(m_modalTexts.empty());
    EXPECT_TRUE(DebugHas(u"GlobalMemoryStatusEx GetLastError"));
}

TEST_F(ScanRoadTest, AnEmptyFeederIsReportedAndTheDeviceClosed) {
    WriteControl("feeder_sheets = 0\n");
    Settings(1);
    ClickScan();
    EXPECT_FALSE(Announced());
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1139)));
    EXPECT_EQ(m_dialog->m_bBusy, 0);
    EXPECT_TRUE(g_b_devmon_close);
    const auto calls = DriverCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 2], "ScanDrv_SetCallBackFun (null) -> 0") << "no event after the close";
    EXPECT_EQ(calls.back(), "ScanDrv_Close -> 0");
}

TEST_F(ScanRoadTest, ADeviceThatCannotBeOpenedIsReportedByItsCause) {
    struct Case {
        std::string control;
        UINT text;
    };
    const Case cases[] = {{"usb = 0\n", GetDefaultErrorStringId()}, // nothing answers
                          {"fault = ScanDrv_Open 3\n", 1104}};      // busy with another program
    for (const Case& c : cases) {
        WriteControl(c.control);
        m_modalTexts.clear();
        Settings(0);
        ClickScan();
        EXPECT_FALSE(Announced()) << c.control;
        ASSERT_EQ(m_modalTexts.size(), 1u) << c.control;
        EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(c.text))) << c.control;
        EXPECT_EQ(m_dialog->m_bBusy, 0);
        EXPECT_TRUE(g_b_devmon_close) << "no closing road closes what is not open";
    }
}

TEST_F(ScanRoadTest, RefusedParametersCloseTheDeviceAndAreReported) {
    WriteControl("fault = ScanDrv_SetScanParameter 18\n");
    Settings(0);
    ClickScan();
    ASSERT_TRUE(Announced());
    EXPECT_EQ(m_dialog->ApplyScanParameters(TRUE), -1);
    EXPECT_TRUE(g_b_devmon_close);
    EXPECT_EQ(m_dialog->m_bBusy, 0);
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1152)));
    EXPECT_EQ(DriverCalls().back(), "ScanDrv_Close -> 0");
    // Without the area nothing is refused: the adjustments alone.
    EXPECT_EQ(m_dialog->ApplyScanParameters(FALSE), 0);
}

// The engine's scan thread reports a failure with the window's error box on its own thread, while this thread runs
// the progress dialog; the run ends once the box is closed and the thread has finished.
TEST_F(ScanRoadTest, AnErrorOfTheScanThreadShowsOnItsThreadBeforeTheRunEnds) {
    std::atomic<DWORD> boxThread{0};
    m_onModal = [&](HWND dlg) {
        if (GetDlgItem(dlg, 10306) != nullptr) {
            boxThread = GetCurrentThreadId();
            RecordAndClose(dlg);
        }
    };
    CMainUIDialog* window = m_dialog.get();
    const INT_PTR result = m_dialog->GetScanProgress()->RunWithWorker(
        [](void* argument) -> DWORD {
            auto* w = static_cast<CMainUIDialog*>(argument);
            w->GetScanProgress()->WaitUntilShown();
            w->ShowScanError(kScanErrorParameters, -78);
            w->GetScanProgress()->WorkerFinished();
            return 0;
        },
        window);
    EXPECT_EQ(result, IDOK);
    EXPECT_NE(boxThread.load(), 0u);
    EXPECT_NE(boxThread.load(), GetCurrentThreadId()) << "the box belongs to the scan thread";
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1152)));
    EXPECT_TRUE(IsWindowEnabled(m_dialog->m_hWnd)) << "the window takes input again";
}

TEST_F(ScanRoadTest, TheApplicationCanSwitchTheAdjustmentsOff) {
    g_bSkipScanAdjust = TRUE;
    Settings(0);
    ClickScan();
    ClearDriverCalls();
    EXPECT_EQ(m_dialog->ApplyScanParameters(TRUE), 0);
    EXPECT_TRUE(CallsOf("ScanDrv_SetScanParameterAdj").empty());
    EXPECT_EQ(CallsOf("ScanDrv_SetScanParameter").size(), 1u);
}

TEST_F(ScanRoadTest, OnlyNegativeCodesShowAnError) {
    m_dialog->ShowScanError(6, 200);
    m_dialog->ShowScanError(0, 0);
    EXPECT_TRUE(m_modalTexts.empty());
    EXPECT_TRUE(DebugHas(u"ShowScanError(6, 200)")) << "the silent case is logged";
    m_dialog->ShowScanError(5, 3);
    m_dialog->ShowScanError(6, -72);
    ASSERT_EQ(m_modalTexts.size(), 2u);
    EXPECT_EQ(m_modalTexts[1], std::u16string(LoadResString(1143)));
}

TEST_F(ScanRoadTest, HostsThatNeedRoundSizesGetThem) {
    g_bHostOffice = TRUE;
    g_bNoUI = TRUE;
    Settings(0, 5); // the whole bed at 300 dpi: 2551 x 3508
    ClickScan();
    EXPECT_EQ(m_dialog->m_nWidth, 2550);
    EXPECT_EQ(m_dialog->m_nHeight, 3506) << "even, and two rows less without a window";
    EndJob();

    g_bHostOffice = FALSE;
    g_bNoUI = FALSE;
    g_bHostWordExcelStore = TRUE;
    for (int rotation : {0, 1}) {
        Settings(0, 5, 2, 0); // 75 dpi: 638 x 877
        m_dialog->m_ScanParam.adv[16] = rotation;
        ClickScan();
        EXPECT_EQ(m_dialog->m_nWidth, rotation == 0 ? 636 : 638) << "rotation " << rotation;
        EXPECT_EQ(m_dialog->m_nHeight, rotation == 0 ? 877 : 876) << "rotation " << rotation;
        EndJob();
    }
}

TEST_F(ScanRoadTest, AutoCropIsChosenByModelSourceAndPaper) {
    struct Case {
        BOOL hasAutoCrop;
        int source, paper;
        BOOL crop;
    };
    const Case cases[] = {{TRUE, 0, 5, TRUE}, {TRUE, 0, 4, FALSE}, {TRUE, 1, 6, FALSE}, {FALSE, 0, 5, FALSE}};
    for (const Case& c : cases) {
        g_bHasAutoCrop = c.hasAutoCrop;
        Settings(c.source, c.paper);
        m_assistor->SetState(500);
        ClickScan();
        EXPECT_EQ(g_bAutoCrop.load(), c.crop) << "source " << c.source << " paper " << c.paper;
        EXPECT_TRUE(Announced()) << "the page is announced either way";
        EndJob();
    }
    g_bHasAutoCrop = FALSE;
}

TEST_F(ScanRoadTest, WindowlessScanTakesTheCapabilitiesAndTheApplicationsFrame) {
    InitCapabilityTable();
    g_nTwainPixelBits = 8;
    g_nTwainXResolution = 150;
    g_nTwainScanSize = TWSS_A4;
    g_nTwainScanSource = 0;
    // Without a frame of the application: the paper rule.
    m_dialog->ScanWithoutUI();
    EXPECT_TRUE(g_bNoUI);
    EXPECT_TRUE(Announced());
    EXPECT_EQ(m_dialog->m_ScanParam.colorMode, 1);
    EXPECT_EQ(m_dialog->m_nWidth, 1240) << "A4 at 150 dpi";
    EndJob();

    // A frame from DAT_IMAGELAYOUT: 1 in from the left, 2 from the top, 4 by 5 inches.
    TW_IMAGELAYOUT layout{};
    layout.Frame = {FloatToFix32(1), FloatToFix32(2), FloatToFix32(5), FloatToFix32(7)};
    SetImageLayoutFrame(&layout);
    ClearDriverCalls();
    m_dialog->ScanWithoutUI();
    EXPECT_EQ(m_dialog->m_nWidth, 600);
    EXPECT_EQ(m_dialog->m_nHeight, 750);
    EXPECT_EQ(m_dialog->ApplyScanParameters(TRUE), 0);
    EXPECT_EQ(CallsOf("ScanDrv_SetScanParameter"),
              std::vector<std::string>{"ScanDrv_SetScanParameter 150 150 1 1200 2400 6000 8400 128 0 -> 0"})
        << "the threshold is ICAP_THRESHOLD's";
    EndJob();

    // A frame beyond the bed is held to it.
    layout.Frame = {FloatToFix32(0), FloatToFix32(0), FloatToFix32(20), FloatToFix32(30)};
    SetImageLayoutFrame(&layout);
    m_dialog->ScanWithoutUI();
    EXPECT_EQ(m_dialog->m_nWidth, 1276);
    EXPECT_EQ(m_dialog->m_nHeight, 1754);
    EndJob();
    FreeCapabilityTable();
    g_nTwainPixelBits = 24;
    g_nTwainXResolution = 300;
}

TEST_F(ScanRoadTest, WindowlessSettingsMapUnknownValuesToDefaults) {
    struct Case {
        int bits, dpi, size, source;
        int colorMode, resolution, paper, wantSource;
    };
    const Case cases[] = {
        {16, 100, 99, 7, 2, 1, 0, 0},          {1, 75, TWSS_A3, 0, 0, 0, 6, 0},
        {24, 1200, TWSS_JISB5, 2, 2, 4, 3, 2}, {8, 300, TWSS_USLETTER, 0, 1, 2, 4, 0},
        {8, 150, TWSS_USLEGAL, 1, 1, 1, 5, 1}, {1, 150, TWSS_A5, 0, 0, 1, 1, 0},
        {1, 150, TWSS_A6, 2, 0, 1, 2, 2},      {8, 600, TWSS_A3, 1, 1, 3, 7, 1},
    };
    for (const Case& c : cases) {
        m_dialog->m_ScanParam.adv[0] = 55;
        m_dialog->m_ScanParam.adv[16] = 2;
        EXPECT_EQ(m_dialog->UpdateNoUIScanParam(c.bits, c.dpi, c.size, c.source), 0);
        EXPECT_EQ(m_dialog->m_ScanParam.colorMode, c.colorMode) << c.bits << " bits";
        EXPECT_EQ(m_dialog->m_ScanParam.resolution, c.resolution) << c.dpi << " dpi";
        EXPECT_EQ(m_dialog->m_ScanParam.paperSize, c.paper) << "size " << c.size << " source " << c.source;
        EXPECT_EQ(m_dialog->m_ScanParam.source, c.wantSource);
        EXPECT_EQ(m_dialog->m_ScanParam.adv[0], 0) << "adjustments start from neutral";
        EXPECT_EQ(m_dialog->m_ScanParam.adv[16], 0);
        EXPECT_EQ(m_dialog->m_ScanParam.adv[12], GetDefaultGamma());
        EXPECT_EQ(m_dialog->m_ScanParam.adv[13], 128) << "ICAP_THRESHOLD as the application reads it";
    }
}

TEST_F(ScanRoadTest, WrenModelsWithoutA3ScanNoWiderThanLetter) {
    g_bIsPlatformWren = TRUE;
    Settings(0, 6); // the bed's own area, 8.503937 in wide
    InchRect area{};
    m_dialog->GetScanRangeFromPreview(area);
    EXPECT_FLOAT_EQ(area.Right, 8.5f);
    EXPECT_TRUE(DebugHas(u"inchRect.Right = WIDTH_MAX_INCH_LX;"));
    // Listed papers start at the corner.
    Settings(0, 1);
    m_dialog->GetScanRangeFromPreview(area);
    EXPECT_FLOAT_EQ(area.Left, 0);
    EXPECT_FLOAT_EQ(area.Top, 0);
    EXPECT_NEAR(area.Right, 148 / 25.4, 1e-5);
    EXPECT_NEAR(area.Bottom, 210 / 25.4, 1e-5);
}

TEST_F(ScanRoadTest, ThePumpServesOnlyTheWindowsOwnThread) {
    PostMessageW(m_dialog->m_hWnd, WM_CLOSE, 0, 0);
    std::thread other([&] { m_dialog->PumpMessages(); });
    other.join();
    EXPECT_TRUE(m_assistor->closeRequests.empty()) << "another thread dispatches nothing";
    m_dialog->PumpMessages();
    EXPECT_EQ(m_assistor->closeRequests.size(), 1u);
}

} // namespace
