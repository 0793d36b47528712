// The driver wrapper against the simulated device, a scripted fault for every driver code, and a driver library
// that lacks entry points and throws.
#include "ScannerTestRoot.h"

#include "companions/scandrv/TestPage.h"
#include "scanner/CLLDKorvel.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScanFlags.h"
#include "settings/PlatformFlags.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const char* const kUsb = "\\\\.\\Usbscan";

struct Events {
    std::atomic<int> count{0};
    std::atomic<int> last{0};
    static int Callback(void* context, int code, int, int) {
        auto* self = static_cast<Events*>(context);
        self->last = code;
        ++self->count;
        return 0;
    }
};

} // namespace

class CLLDKorvelTest : public ScannerTestRoot {
protected:
    void TearDown() override {
        lld.UnloadDriver();
        ScannerTestRoot::TearDown();
    }
    void LoadAndOpen() {
        ASSERT_EQ(lld.LoadDriver(), 1);
        ASSERT_EQ(lld.DevMon_Open(kUsb), 0);
    }
    CLLDKorvel lld;
};

TEST_F(CLLDKorvelTest, LoadsTheLibraryNamedByModuleFolderAndFilePrefixOnce) {
    ASSERT_EQ(lld.LoadDriver(), 1);
    EXPECT_TRUE(DebugHas(u"kvxlld.dll")) << "the path is written to the debug output";
    m_debug.Clear();
    EXPECT_EQ(lld.LoadDriver(), 1);
    EXPECT_FALSE(DebugHas(u"lld.dll")) << "a second load does not load again";
}

TEST_F(CLLDKorvelTest, APinnedLibraryOutlivesTheWrappersUnload) {
    EXPECT_EQ(lld.PinLibrary(), nullptr) << "nothing loaded, nothing to pin";
    ASSERT_EQ(lld.LoadDriver(), 1);
    HMODULE pin = lld.PinLibrary();
    ASSERT_NE(pin, nullptr);
    auto broadcast = reinterpret_cast<int (*)(int*, char*)>(GetProcAddress(pin, "ScanDrv_BroadcastMFP"));
    lld.UnloadDriver();
    int count = -1;
    ASSERT_NE(broadcast, nullptr);
    EXPECT_EQ(broadcast(&count, nullptr), 0) << "a call on another thread still finds the library mapped";
    EXPECT_TRUE(FreeLibrary(pin));
}

TEST_F(CLLDKorvelTest, WithoutTheLibraryEveryOperationAnswersMinusOne) {
    SetFilePrefix("absent");
    EXPECT_EQ(lld.LoadDriver(), 0);
    int count = 0, a = 0, b = 0;
    BYTE row[16] = {};
    NetDetectRequest request{};
    EXPECT_EQ(lld.DevMon_Open(kUsb), -1);
    EXPECT_EQ(lld.DevMon_Close(), -1);
    EXPECT_EQ(lld.DevMon_BroadcastMFP(&count, nullptr, 0), -1);
    EXPECT_EQ(lld.DevMon_DetectNetMFP(&request), -1);
    EXPECT_EQ(lld.DevMon_SetScanParameter(300, 300, 2, 0, 0, 1200, 1200, 128, 0), -1);
    EXPECT_EQ(lld.DevMon_GetScanParameter(&a, &b), -1);
    EXPECT_EQ(lld.DevMon_StartScan(), -1);
    EXPECT_EQ(lld.DevMon_AbortScan(), -1);
    EXPECT_EQ(lld.DevMon_StopScan(), -1);
    EXPECT_EQ(lld.DevMon_ReadScanData(row, sizeof row, &count), -1);
    EXPECT_EQ(lld.DevMon_SetCallBackFun(&Events::Callback, nullptr), -1);
    EXPECT_EQ(lld.DevMon_GetCurScanLineNum(&a, &b), -1);
    EXPECT_EQ(lld.DevMon_GetCurTransferSize(&a, &b), -1);
    EXPECT_EQ(lld.DevMon_CancelScan(), -1);
    EXPECT_EQ(lld.DevMon_GetLLDError(), -1);
    EXPECT_EQ(lld.DevMon_CheckConnect(0, nullptr), -1);
    EXPECT_EQ(lld.DevMon_LocateMFP(nullptr, nullptr), 0);
    EXPECT_EQ(lld.DevMon_Reserved(), 0);
    EXPECT_EQ(lld.DevMon_EndScan(), 0);
    EXPECT_EQ(lld.DevMon_GetADFStatus(), -73) << "no open device counts as driver code 7";
    EXPECT_TRUE(DebugHas(u"DevMon_GetADFStatus ret:-73"));
}

TEST_F(CLLDKorvelTest, ScansAColourPageRowByRow) {
    LoadAndOpen();
    ASSERT_EQ(lld.DevMon_SetScanParameter(150, 150, 2, 0, 0, 10200, 13200, 128, 0), 0);
    int width = 0, lines = 0;
    ASSERT_EQ(lld.DevMon_GetScanParameter(&width, &lines), 0);
    ASSERT_EQ(width, 1275);
    ASSERT_EQ(lines, 1650);
    g_bCancelScan = TRUE;
    ASSERT_EQ(lld.DevMon_StartScan(), 0);
    EXPECT_FALSE(g_bCancelScan) << "a new job clears the cancel flag";
    const int rowBytes = width * 3;
    std::vector<BYTE> page(static_cast<size_t>(rowBytes) * lines);
    for (int y = 0; y < lines; ++y) {
        int count = -1;
        ASSERT_EQ(lld.DevMon_ReadScanData(page.data() + static_cast<size_t>(y) * rowBytes, rowBytes, &count), 0);
        ASSERT_EQ(count, rowBytes) << "a successful read reports the whole request";
    }
    // The red patch of the default document: document (900, 900) lies at bed (2100, 2100), pixel (262, 262).
    const BYTE* red = page.data() + static_cast<size_t>(262) * rowBytes + 262 * 3;
    EXPECT_EQ(red[0], scandrv::kRed.r);
    EXPECT_EQ(red[1], scandrv::kRed.g);
    EXPECT_EQ(red[2], scandrv::kRed.b);
    int line = -1, status = -1, total = -1, done = -1;
    EXPECT_EQ(lld.DevMon_GetCurScanLineNum(&line, &status), 0);
    EXPECT_EQ(lld.DevMon_GetCurTransferSize(&total, &done), 0);
    EXPECT_EQ(lld.DevMon_GetCurScanLineNum(nullptr, &status), -1);
    EXPECT_EQ(lld.DevMon_GetCurTransferSize(&total, nullptr), -1);
    EXPECT_EQ(lld.DevMon_EndScan(), 0);
    EXPECT_EQ(lld.DevMon_Close(), 0);
    EXPECT_TRUE(DebugHas(u"DevMon_Close"));
    EXPECT_FALSE(lld.IsDeviceOpen());
    EXPECT_EQ(lld.DevMon_Close(), -1) << "closed once";
}

TEST_F(CLLDKorvelTest, ReadGuardsAndAFailedReadLeaveTheDestinationAlone) {
    LoadAndOpen();
    ASSERT_EQ(lld.DevMon_SetScanParameter(75, 75, 1, 0, 0, 1200, 1200, 128, 0), 0);
    ASSERT_EQ(lld.DevMon_StartScan(), 0);
    BYTE row[75];
    int count = 0;
    EXPECT_EQ(lld.DevMon_ReadScanData(nullptr, 75, &count), -1);
    EXPECT_EQ(lld.DevMon_ReadScanData(row, 75, nullptr), -1);
    EXPECT_EQ(lld.DevMon_ReadScanData(row, 0, &count), -1);
    EXPECT_EQ(lld.DevMon_ReadScanData(row, -75, &count), -1);
    EXPECT_EQ(lld.DevMon_ReadScanData(row, 75, &count), 0);
    EXPECT_EQ(lld.DevMon_ReadScanData(row, 30, &count), 0) << "a read of another size replaces the buffer";
    EXPECT_EQ(count, 30);
    WriteControl("fault = ScanDrv_ReadScanData 8 from 1\n");
    EXPECT_EQ(lld.DevMon_GetADFStatus(), 0); // picks up the control file
    std::memset(row, 0x5A, sizeof row);
    EXPECT_EQ(lld.DevMon_ReadScanData(row, 75, &count), -72);
    EXPECT_EQ(row[0], 0x5A);
    EXPECT_EQ(row[74], 0x5A);
}

TEST_F(CLLDKorvelTest, EveryDriverCodeReachesTheCallerMapped) {
    LoadAndOpen();
    for (int code = -5; code <= 22; ++code) {
        WriteControl("fault = ScanDrv_SetScanParameter " + std::to_string(code) + " from 1\n");
        int expected = code >= 0 && code <= 21 ? DriverResultMap[code] : -1;
        EXPECT_EQ(lld.DevMon_SetScanParameter(300, 300, 2, 0, 0, 1200, 1200, 128, 0), expected) << "code " << code;
    }
    WriteControl("fault = ScanDrv_StartScan 2\n");
    EXPECT_EQ(lld.DevMon_StartScan(), 200) << "driver code 2 is the special success";
    WriteControl("fault = ScanDrv_SetCallBackFun 7\nfault = ScanDrv_CheckConnect 9\n"
                 "fault = ScanDrv_GetCurScanLineNum 100\n");
    int a, b;
    EXPECT_EQ(lld.DevMon_SetCallBackFun(&Events::Callback, nullptr), 7) << "raw, not mapped";
    EXPECT_EQ(lld.DevMon_CheckConnect(0, nullptr), 9) << "raw, not mapped";
    EXPECT_EQ(lld.DevMon_GetCurScanLineNum(&a, &b), 100) << "raw, not mapped";
    WriteControl("fault = ScanDrv_GetLastError 12\nfault = ScanDrv_CancelScan 15\nfault = ScanDrv_Close 3\n");
    EXPECT_EQ(lld.DevMon_GetLLDError(), -210);
    EXPECT_EQ(lld.DevMon_CancelScan(), -75);
    EXPECT_EQ(lld.DevMon_Close(), -21);
    EXPECT_FALSE(lld.IsDeviceOpen()) << "the handle is cleared once the close returned, whatever its result";
}

TEST_F(CLLDKorvelTest, FeederChecksAndDeviceEvents) {
    LoadAndOpen();
    EXPECT_EQ(lld.DevMon_GetADFStatus(), 0);
    Events events;
    ASSERT_EQ(lld.DevMon_SetCallBackFun(&Events::Callback, &events), 0);
    ASSERT_EQ(lld.DevMon_SetScanParameter(75, 75, 1, 0, 0, 1200, 1200, 128, 1), 0);
    ASSERT_EQ(lld.DevMon_StartScan(), 0);
    BYTE row[75];
    int count;
    for (int i = 0; i < 3 * 75; ++i)
        ASSERT_EQ(lld.DevMon_ReadScanData(row, 75, &count), 0);
    for (int i = 0; i < 200 && events.last != 9; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(events.last, 9) << "job end";
    EXPECT_EQ(events.count, 5) << "job start, three pages, job end";
    lld.DevMon_Close();
    WriteControl("feeder_sheets = 0\n");
    ASSERT_EQ(lld.DevMon_Open(kUsb), 0);
    EXPECT_EQ(lld.DevMon_GetADFStatus(), -73) << "empty feeder";
}

TEST_F(CLLDKorvelTest, CancelFromAnotherThreadEndsABlockedRead) {
    WriteControl("stall = 1 3 0\n");
    LoadAndOpen();
    ASSERT_EQ(lld.DevMon_SetScanParameter(75, 75, 2, 0, 0, 1200, 1200, 128, 1), 0);
    ASSERT_EQ(lld.DevMon_StartScan(), 0);
    std::thread canceller([&] {
        std::this_thread::sleep_for(50ms);
        g_bCancelScan = TRUE;
        EXPECT_EQ(lld.DevMon_CancelScan(), 0);
    });
    BYTE rows[75 * 3 * 5];
    int count = 0;
    EXPECT_EQ(lld.DevMon_ReadScanData(rows, sizeof rows, &count), -1) << "cancelled (driver code 10)";
    canceller.join();
    int brightness[4] = {}, contrast[4] = {}, curve[4] = {};
    EXPECT_EQ(lld.DevMon_SetScanParameterAdj(brightness, contrast, curve, 18, 72, 0, 0), 0);
    EXPECT_FALSE(g_bCancelScan) << "the adjustments clear the cancel flag";
}

TEST_F(CLLDKorvelTest, DiscoveryTakesTheExtraArgumentOfThePortDialog) {
    WriteControl("net_device = KVX-7731 192.168.0.9\n");
    ASSERT_EQ(lld.LoadDriver(), 1);
    int count = 0;
    EXPECT_EQ(lld.DevMon_BroadcastMFP(&count, nullptr, 0), 0);
    EXPECT_EQ(count, 1);
    char names[256] = {};
    EXPECT_EQ(lld.DevMon_BroadcastMFP(&count, names, 0), 0);
    EXPECT_STREQ(names, "KVX-7731");
    NetDetectRequest request{};
    std::strcpy(request.address, "192.168.0.9");
    std::strcpy(request.community, "quorby");
    EXPECT_EQ(lld.DevMon_DetectNetMFP(&request, request.community), 0);
    std::strcpy(request.address, "192.168.0.10");
    EXPECT_EQ(lld.DevMon_DetectNetMFP(&request, request.community), -4);
    EXPECT_EQ(lld.DevMon_Open("KVX-7731"), 0) << "a found device opens by its name";
}

TEST_F(CLLDKorvelTest, UnloadingClosesTheOpenDeviceFirst) {
    LoadAndOpen();
    lld.UnloadDriver();
    EXPECT_TRUE(DebugHas(u"DevMon_Close"));
    EXPECT_FALSE(lld.IsDeviceOpen());
    EXPECT_FALSE(lld.IsLoaded());
    EXPECT_EQ(lld.DevMon_Open(kUsb), -1) << "no entry point survives the unload";
    ASSERT_EQ(lld.LoadDriver(), 1);
    EXPECT_EQ(lld.DevMon_Open(kUsb), 0) << "the device was closed, not left busy";
}

TEST_F(CLLDKorvelTest, EveryOpenTheDriverCallsASuccessKeepsItsDevice) {
    SetFilePrefix("quirk");
    ASSERT_EQ(lld.LoadDriver(), 1);
    for (const char* code : {"0", "5", "21"}) {
        setenv("QUIRK_OPEN_CODE", code, 1);
        EXPECT_EQ(lld.DevMon_Open(kUsb), 0) << "driver code " << code << " maps to success";
        EXPECT_TRUE(lld.IsDeviceOpen()) << "driver code " << code << " opened the device";
        EXPECT_EQ(lld.DevMon_StartScan(), 0) << "driver code " << code << ": the next start reaches the device";
        lld.UnloadDriver();
        ASSERT_EQ(lld.LoadDriver(), 1);
    }
    setenv("QUIRK_OPEN_CODE", "4", 1);
    EXPECT_EQ(lld.DevMon_Open(kUsb), -4);
    EXPECT_FALSE(lld.IsDeviceOpen()) << "a failed open keeps no handle";
    unsetenv("QUIRK_OPEN_CODE");
}

TEST_F(CLLDKorvelTest, ADriverWithoutACloseLeavesNoDeviceOpenForTheNextDriver) {
    SetFilePrefix("quirk");
    ASSERT_EQ(lld.LoadDriver(), 1);
    ASSERT_EQ(lld.DevMon_Open(kUsb), 0);
    lld.UnloadDriver();
    EXPECT_FALSE(lld.IsDeviceOpen()) << "the unloaded driver's handle is gone with it";

    SetFilePrefix("kvx");
    ASSERT_EQ(lld.LoadDriver(), 1);
    EXPECT_EQ(lld.DevMon_StartScan(), -1) << "nothing is open in the new driver";
    EXPECT_EQ(lld.DevMon_Close(), -1);
    EXPECT_EQ(lld.DevMon_Open(kUsb), 0);
    EXPECT_EQ(lld.DevMon_Close(), 0);
}

TEST_F(CLLDKorvelTest, PlatformOrcaOpensThroughTheSecondEntry) {
    ASSERT_EQ(lld.LoadDriver(), 1);
    WriteControl("fault = ScanDrv_Open 1 from 1\n");
    g_bIsPlatformOrca = TRUE;
    int r = lld.DevMon_Open(kUsb);
    g_bIsPlatformOrca = FALSE;
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(DebugHas(u"CLLDKorvel::DevMon_Open_C_()"));
}

TEST_F(CLLDKorvelTest, SecondOpenIsRefusedWithoutLosingTheOpenDevice) {
    LoadAndOpen();
    EXPECT_EQ(lld.DevMon_Open(kUsb), -21) << "busy";
    EXPECT_TRUE(lld.IsDeviceOpen());
    EXPECT_EQ(lld.DevMon_Close(), 0);
}

TEST_F(CLLDKorvelTest, StopAbortsAndEveryStopWritesItsLine) {
    LoadAndOpen();
    ASSERT_EQ(lld.DevMon_SetScanParameter(75, 75, 2, 0, 0, 1200, 1200, 128, 0), 0);
    ASSERT_EQ(lld.DevMon_StartScan(), 0);
    EXPECT_TRUE(DebugHas(u"DevMon_StartScan"));
    EXPECT_EQ(lld.DevMon_StopScan(), 0);
    EXPECT_TRUE(DebugHas(u"DevMon_StopScan"));
    EXPECT_TRUE(DebugHas(u"DevMon_AbortScan()"));
    BYTE row[225];
    int count;
    EXPECT_EQ(lld.DevMon_ReadScanData(row, sizeof row, &count), -1) << "the job is aborted";
    EXPECT_EQ(g_LLD.IsLoaded(), false) << "the global wrapper loads nothing by itself";
    EXPECT_EQ(lld.AbortScan(), 0);
}

TEST_F(CLLDKorvelTest, AReadReportsTheWholeRequestWhateverCountTheDriverGives) {
    WriteControl("short_reads = 10\n");
    LoadAndOpen();
    ASSERT_EQ(lld.DevMon_SetScanParameter(75, 75, 2, 0, 0, 1200, 1200, 128, 0), 0);
    ASSERT_EQ(lld.DevMon_StartScan(), 0);
    BYTE row[225];
    for (int y = 0; y < 3; ++y) {
        int count = -1;
        ASSERT_EQ(lld.DevMon_ReadScanData(row, sizeof row, &count), 0);
        EXPECT_EQ(count, static_cast<int>(sizeof row)) << "row " << y << ": the driver said 10 bytes";
    }
}

TEST_F(CLLDKorvelTest, EveryJobTellsTheDriverWhetherThePhotoScanHostAsksToContinue) {
    WriteControl("journal = journal.txt\n");
    LoadAndOpen();
    for (BOOL host : {TRUE, FALSE}) {
        g_bHostMsPhotoScan = host;
        ASSERT_EQ(lld.DevMon_SetScanParameter(75, 75, 2, 0, 0, 1200, 1200, 128, 0), 0);
        ASSERT_EQ(lld.DevMon_StartScan(), 0);
        ASSERT_EQ(lld.DevMon_AbortScan(), 0);
    }
    g_bHostMsPhotoScan = FALSE;
    std::ifstream journal(m_root + "/journal.txt");
    std::vector<std::string> flags;
    for (std::string line; std::getline(journal, line);)
        if (line.rfind("ScanDrv_SetContinueFlag", 0) == 0)
            flags.push_back(line);
    EXPECT_EQ(flags, (std::vector<std::string>{"ScanDrv_SetContinueFlag 1 -> 0", "ScanDrv_SetContinueFlag 0 -> 0"}))
        << "after each start: 1 for a photo-scanning host, else 0";
}

TEST_F(CLLDKorvelTest, WithTheDebugSwitchAnAbortWritesTheDriversRawCode) {
    if (std::getenv("kvxTWAINtest") == nullptr) {
        // The switch is read once per process: the line is checked in a fresh one with it on.
        char self[PATH_MAX] = {};
        ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
        const std::string command =
            std::string("kvxTWAINtest=1 '") + self +
            "' --gtest_filter=CLLDKorvelTest.WithTheDebugSwitchAnAbortWritesTheDriversRawCode >&2";
        EXPECT_EQ(std::system(command.c_str()), 0) << "the switched debug line, checked in a child process";
        return;
    }
    LoadAndOpen();
    WriteControl("fault = ScanDrv_AbortScan 3\n");
    EXPECT_EQ(lld.DevMon_AbortScan(), -21) << "mapped";
    const std::vector<std::u16string> lines = m_debug.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"DevMon_AbortScan nret :3"), lines.end())
        << "the raw driver code after the label; lines:\n"
        << m_debug.Text();
}

TEST_F(CLLDKorvelTest, ADriverWithoutSomeEntriesOrThatThrowsGivesMinusOne) {
    SetFilePrefix("partial");
    ASSERT_EQ(lld.LoadDriver(), 1) << "missing entry points do not refuse the library";
    EXPECT_EQ(lld.DevMon_Open(kUsb), 0) << "the missing optional setters are skipped";
    EXPECT_EQ(lld.DevMon_StartScan(), -1) << "the driver threw";
    BYTE row[16];
    int count = 0, a, b;
    EXPECT_EQ(lld.DevMon_ReadScanData(row, sizeof row, &count), -1) << "the driver threw";
    EXPECT_EQ(lld.DevMon_GetCurTransferSize(&a, &b), -1);
    EXPECT_EQ(lld.DevMon_GetADFStatus(), -1);
    EXPECT_EQ(lld.DevMon_CancelScan(), -1);
    EXPECT_EQ(lld.DevMon_GetLLDError(), -1);
    EXPECT_EQ(lld.DevMon_BroadcastMFP(&a, nullptr, 0), -1);
    EXPECT_EQ(lld.DevMon_GetScanParameter(&a, &b), 0);
    EXPECT_EQ(lld.DevMon_Close(), 0);
}
