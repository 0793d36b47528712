// Velmora's driver wrapper against the simulated scanner and against a library
// that lacks one entry point.
#include "companions/scandrv/TestPage.h"
#include "devicescan/CScanner.h"
#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "settings/IniPath.h"
#include "settings/PlatformFlags.h"
#include "tests/devicescan/velmora_test_root.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// The test driver that lacks only ScanDrv_GetCurTransferSize, built beside the
// scanner tests.
std::string PartialDriver() {
    const char* stageDir = std::getenv("STAGE_DIR");
    return std::filesystem::path(stageDir ? stageDir : "").parent_path().string() + "/tests/scanner/partiallld.so";
}

int32_t Read32(const BYTE* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

} // namespace

class CScannerTest : public velmoratest::TestRoot {
protected:
    void TearDown() override {
        scanner.FreeDriver();
        g_bIsPlatformOrca = FALSE;
        platform::testing::SetHostProgramName(nullptr);
        TestRoot::TearDown();
    }

    void LoadAndOpen() {
        ASSERT_EQ(scanner.LoadDriver(velmoratest::SimulatedDriverName().c_str()), 0) << velmoratest::ModuleDir();
        ASSERT_EQ(scanner.DevMon_Open("\\\\.\\Usbscan", TRUE), 0);
    }

    static ScanRequest Request(int dpi, int colour, int width, int height, int source) {
        ScanRequest r{};
        r.openDevice = 1;
        r.source = source;
        r.colour = colour;
        r.dpiX = r.dpiY = dpi;
        r.width = width;
        r.height = height;
        r.threshold = 127;
        return r;
    }

    // Reads one page in chunks of `chunk` bytes; the result of the call that
    // ended it.
    int ReadPage(std::vector<BYTE>& page, int chunk) {
        std::vector<BYTE> buffer(static_cast<size_t>(chunk));
        page.clear();
        int bytes = 0, percent = 0, r;
        while ((r = scanner.DevMon_ReadScanData(buffer.data(), chunk, &bytes, &percent)) == 0)
            page.insert(page.end(), buffer.begin(), buffer.begin() + bytes);
        return r;
    }

    CScanner scanner;
};

TEST_F(CScannerTest, RefusesALibraryThatIsMissingOrIncomplete) {
    EXPECT_EQ(scanner.LoadDriver(u"C:\\nowhere\\kvxlld.dll"), -3);
    EXPECT_TRUE(Logged(u"can not init Devmon interfaces"));
    EXPECT_EQ(scanner.LoadDriver(velmoratest::LibraryName(PartialDriver()).c_str()), -3)
        << "lacks ScanDrv_GetCurTransferSize";
    EXPECT_FALSE(scanner.IsLoaded());
    EXPECT_EQ(scanner.DevMon_Open("\\\\.\\Usbscan", TRUE), -1);
    EXPECT_TRUE(Logged(u"error:m_hLLD = NULL"));
    EXPECT_EQ(scanner.DevMon_AbortScan(), -3);
}

TEST_F(CScannerTest, OpensOnlyWhenAskedAndThroughTheSecondEntryOnPlatformOrca) {
    ASSERT_EQ(scanner.LoadDriver(velmoratest::SimulatedDriverName().c_str()), 0);
    EXPECT_EQ(scanner.DevMon_Open("\\\\.\\Usbscan", FALSE), -1);
    EXPECT_FALSE(scanner.IsOpen());
    WriteControl("fault = ScanDrv_Open 4 from 1\n");
    g_bIsPlatformOrca = TRUE;
    EXPECT_EQ(scanner.DevMon_Open("\\\\.\\Usbscan", TRUE), 0);
    EXPECT_TRUE(Logged(u"CScanner:: DevMon_Open_C_()"));
    EXPECT_TRUE(scanner.IsOpen());
    EXPECT_EQ(scanner.DevMon_Open("\\\\.\\Usbscan", TRUE), 0) << "an open device is closed before the new open";
    ScanRequest start = Request(75, 2, 1200, 1200, 0);
    EXPECT_EQ(scanner.DevMon_StartScan(&start), 0);
    EXPECT_EQ(scanner.DevMon_AbortScan(), 0);
    EXPECT_EQ(scanner.GetTotalLines(), 0u) << "an abort clears the counters";
}

TEST_F(CScannerTest, FlatbedRequestIsClampedToTheBedButTheFeederIsNot) {
    LoadAndOpen();
    ScanRequest flatbed = Request(75, 2, 14031, 19842, 0);
    ASSERT_EQ(scanner.DevMon_StartScan(&flatbed), 0);
    EXPECT_EQ(flatbed.driverPixelsPerLine, 10205 * 75 / 1200);
    EXPECT_EQ(flatbed.driverLines, 14031 * 75 / 1200);
    EXPECT_EQ(scanner.GetPixelsPerLine(), 637u);
    EXPECT_EQ(scanner.GetTotalLines(), 876u) << "never more lines than the driver scans";
    std::vector<BYTE> page;
    EXPECT_EQ(ReadPage(page, 1 << 20), CScanner::kEndOfPage);
    EXPECT_EQ(page.size(), size_t{876} * scanner.GetStride());

    ScanRequest feeder = Request(75, 2, 14031, 19842, 1);
    ASSERT_EQ(scanner.DevMon_StartScan(&feeder), 0);
    EXPECT_EQ(feeder.driverPixelsPerLine, 14031 * 75 / 1200);
    EXPECT_EQ(feeder.driverLines, 19842 * 75 / 1200);
}

TEST_F(CScannerTest, BlackAndWhiteLinesArePaddedToTheStrideWithZeros) {
    LoadAndOpen();
    ScanRequest r = Request(300, 0, 10200, 1200, 0);
    ASSERT_EQ(scanner.DevMon_StartScan(&r), 0);
    EXPECT_EQ(scanner.GetPixelsPerLine(), 2550u);
    EXPECT_EQ(scanner.GetStride(), 320u) << "319 bytes of pixels, rounded up to 4";
    std::vector<BYTE> page;
    EXPECT_EQ(ReadPage(page, 320 * 7 + 100), CScanner::kEndOfPage);
    ASSERT_EQ(page.size(), size_t{320} * 300);
    for (size_t y = 0; y < 300; ++y)
        ASSERT_EQ(page[y * 320 + 319], 0) << "row " << y;
    EXPECT_EQ(page[0], 0xFF) << "white paper around the document";
}

TEST_F(CScannerTest, ColourLinesComeBlueGreenRed) {
    LoadAndOpen();
    ScanRequest r = Request(150, 2, 9921, 14031, 0);
    ASSERT_EQ(scanner.DevMon_StartScan(&r), 0);
    std::vector<BYTE> page;
    ASSERT_EQ(ReadPage(page, 131072), CScanner::kEndOfPage);
    // The red patch of the default document: bed (2100, 2100), pixel (262, 262).
    const BYTE* pixel = page.data() + 262 * scanner.GetStride() + 262 * 3;
    EXPECT_EQ(pixel[0], scandrv::kRed.b);
    EXPECT_EQ(pixel[1], scandrv::kRed.g);
    EXPECT_EQ(pixel[2], scandrv::kRed.r);
}

TEST_F(CScannerTest, BmpHeaderDescribesTheTopDownPage) {
    LoadAndOpen();
    BYTE header[2048];
    int size = 0;
    struct Case {
        int dpi, colour, bits, entries, perMetre;
    } cases[] = {{75, 2, 24, 0, 2952}, {150, 1, 8, 256, 5905}, {300, 0, 1, 2, 11811}, {600, 2, 24, 0, 23622}};
    for (const Case& c : cases) {
        ScanRequest r = Request(c.dpi, c.colour, 2400, 1200, 0);
        ASSERT_EQ(scanner.DevMon_StartScan(&r), 0);
        ASSERT_EQ(scanner.GetBmpHeader(header, &size), 0);
        const int offBits = 54 + 4 * c.entries;
        const int stride = static_cast<int>(scanner.GetStride()), lines = c.dpi;
        EXPECT_EQ(size, offBits);
        EXPECT_EQ(header[0], 'B');
        EXPECT_EQ(header[1], 'M');
        EXPECT_EQ(Read32(header + 2), stride * lines + offBits);
        EXPECT_EQ(Read32(header + 10), offBits);
        EXPECT_EQ(Read32(header + 14), 40);
        EXPECT_EQ(Read32(header + 18), 2 * c.dpi);
        EXPECT_EQ(Read32(header + 22), -lines) << "rows run top-down";
        EXPECT_EQ(header[28], c.bits);
        EXPECT_EQ(Read32(header + 34), stride * lines);
        EXPECT_EQ(Read32(header + 38), c.perMetre) << c.dpi << " dpi";
        EXPECT_EQ(Read32(header + 46), c.entries);
        if (c.entries) {
            const BYTE* last = header + 54 + 4 * (c.entries - 1);
            EXPECT_EQ(header[54], 0);
            EXPECT_EQ(last[0], 255);
            EXPECT_EQ(last[1], 255);
            EXPECT_EQ(last[3], 0);
        }
        scanner.DevMon_AbortScan();
    }
}

TEST_F(CScannerTest, AHeaderAskedForWithoutAJobIsWrittenNotACrash) {
    BYTE header[64] = {};
    int size = 0;
    EXPECT_EQ(scanner.GetBmpHeader(header, &size), 0);
    EXPECT_EQ(size, 58) << "depth 0: one palette entry";
    EXPECT_EQ(header[54], 0);
    EXPECT_EQ(header[57], 0);
}

TEST_F(CScannerTest, ReadsWholeLinesAndEndsThePageWith201) {
    LoadAndOpen();
    ScanRequest r = Request(75, 1, 1200, 1200, 0);
    ASSERT_EQ(scanner.DevMon_StartScan(&r), 0);
    BYTE buffer[76 * 50];
    int bytes = -1, percent = -1;
    EXPECT_EQ(scanner.DevMon_ReadScanData(nullptr, 100, &bytes, &percent), -1);
    EXPECT_EQ(scanner.DevMon_ReadScanData(buffer, 0, &bytes, &percent), -1);
    EXPECT_EQ(scanner.DevMon_ReadScanData(buffer, 100, nullptr, &percent), -1);
    EXPECT_EQ(scanner.GetStride(), 76u);
    ASSERT_EQ(scanner.DevMon_ReadScanData(buffer, 76 * 30 + 75, &bytes, &percent), 0);
    EXPECT_EQ(bytes, 76 * 30) << "whole lines only";
    EXPECT_EQ(percent, 40);
    ASSERT_EQ(scanner.DevMon_ReadScanData(buffer, sizeof buffer, &bytes, &percent), 0);
    EXPECT_EQ(bytes, 76 * 45) << "at most the lines still to come";
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(scanner.DevMon_ReadScanData(buffer, sizeof buffer, &bytes, &percent), 201);
    EXPECT_TRUE(Logged(u"WIA_STATUS_END_OF_MEDIA "));
}

TEST_F(CScannerTest, BufferBelowOneLineEndsTheJob) {
    LoadAndOpen();
    ScanRequest r = Request(75, 2, 1200, 1200, 0);
    ASSERT_EQ(scanner.DevMon_StartScan(&r), 0);
    BYTE buffer[100];
    int bytes, percent;
    EXPECT_EQ(scanner.DevMon_ReadScanData(buffer, sizeof buffer, &bytes, &percent), -1);
    EXPECT_EQ(scanner.GetTotalLines(), 0u) << "the counters are cleared";
}

TEST_F(CScannerTest, DriverErrorsComeBackUnchangedAfterAnAbort) {
    WriteControl("jam = 1 20\n");
    LoadAndOpen();
    ScanRequest r = Request(75, 2, 1200, 1200, 1);
    ASSERT_EQ(scanner.DevMon_StartScan(&r), 0);
    std::vector<BYTE> page;
    EXPECT_EQ(ReadPage(page, 228 * 8), 8) << "paper jam";
    EXPECT_EQ(page.size(), size_t{228} * 16) << "the whole chunks before the jam";
    EXPECT_EQ(scanner.GetTotalLines(), 0u);

    WriteControl("fault = ScanDrv_SetScanParameter 18\n");
    ScanRequest bad = Request(75, 2, 1200, 1200, 0);
    EXPECT_EQ(scanner.DevMon_StartScan(&bad), 18);
    EXPECT_TRUE(Logged(u"SetScanParameterEx fail:18"));
    ScanRequest colour = Request(75, 3, 1200, 1200, 0);
    EXPECT_EQ(scanner.DevMon_StartScan(&colour), -1) << "the preview colour code 3 has no depth here";
}

TEST_F(CScannerTest, AStartThatAbortsClearsTheCountersOfTheJobBefore) {
    LoadAndOpen();
    ScanRequest good = Request(75, 2, 1200, 1200, 1);
    ASSERT_EQ(scanner.DevMon_StartScan(&good), 0);
    ASSERT_EQ(scanner.GetTotalLines(), 75u);
    BYTE line[228];
    int bytes = 0, percent = 0;
    ScanRequest colour = Request(75, 3, 1200, 1200, 0);
    EXPECT_EQ(scanner.DevMon_StartScan(&colour), -1);
    EXPECT_EQ(scanner.GetTotalLines(), 0u) << "a refused depth aborts the job";
    EXPECT_EQ(scanner.GetStride(), 0u);
    EXPECT_EQ(scanner.DevMon_ReadScanData(line, sizeof line, &bytes, &percent), CScanner::kEndOfPage)
        << "nothing is left of the earlier job to read";

    ASSERT_EQ(scanner.DevMon_StartScan(&good), 0);
    WriteControl("fault = ScanDrv_GetScanParameter 1\n");
    EXPECT_EQ(scanner.DevMon_StartScan(&good), 1);
    EXPECT_EQ(scanner.GetTotalLines(), 0u) << "a failed parameter read aborts the job";

    ASSERT_EQ(scanner.DevMon_StartScan(&good), 0) << "the fault played once";
    WriteControl("fault = ScanDrv_SetScanParameter 18\n");
    EXPECT_EQ(scanner.DevMon_StartScan(&good), 18);
    EXPECT_EQ(scanner.GetTotalLines(), 0u) << "refused scan settings abort the job";
}

TEST_F(CScannerTest, PagesOfAPushJobFollowTheDriversPushStatus) {
    WriteControl("feeder_sheets = 2\n");
    LoadAndOpen();
    ScanRequest r = Request(150, 1, 9921, 14031, 1);
    ASSERT_EQ(scanner.DevMon_StartScan(&r), 0);
    scandrv::Placement document;
    std::vector<BYTE> page;
    for (int sheet = 1; sheet <= 2; ++sheet) {
        scanner.ResetLinesRead();
        ASSERT_EQ(ReadPage(page, 262144), CScanner::kEndOfPage);
        // The page-number cells: cell 1 is bit 0, cell 2 bit 1.
        auto cell = [&](int i) {
            scandrv::Point c = scandrv::MarkCellCentre(i);
            scandrv::Point px = scandrv::BedToPixel(scandrv::DocumentToBed(document, c.x, c.y), 0, 0, 150, 150);
            return page[static_cast<size_t>(px.y + 0.5) * scanner.GetStride() + static_cast<size_t>(px.x + 0.5)] < 64;
        };
        EXPECT_EQ(cell(1), sheet == 1);
        EXPECT_EQ(cell(2), sheet == 2);
        EXPECT_EQ(scanner.GetNextPushStatus(), sheet == 1 ? 0 : 1);
    }
}

TEST_F(CScannerTest, SwapLineRedBlueTurnsEveryPixelOfEveryLine) {
    BYTE data[2][8] = {{1, 2, 3, 4, 5, 6, 9, 9}, {7, 8, 9, 10, 11, 12, 9, 9}};
    EXPECT_FALSE(SwapLineRedBlue(0, data[0], 8, 2));
    EXPECT_FALSE(SwapLineRedBlue(2, data[0], 8, 0));
    EXPECT_EQ(data[0][0], 1);
    EXPECT_TRUE(SwapLineRedBlue(2, data[0], 8, 2));
    const BYTE expected[2][8] = {{3, 2, 1, 6, 5, 4, 9, 9}, {9, 8, 7, 12, 11, 10, 9, 9}};
    EXPECT_EQ(std::memcmp(data, expected, sizeof data), 0);
}

TEST_F(CScannerTest, LibraryPathComesFromProgramFolderAndFilePrefix) {
    platform::testing::SetHostProgramName(u"C:\\Program Files\\Vazedozi\\ScannerVazeDozi.exe");
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini, kIniDropCharsDeviceScan);
    std::ofstream(platform::path::ToHostPath(ini)) << "[TWAIN]\nFile Prefix=kvx7718\n";
    WCHAR path[MAX_PATH] = {};
    EXPECT_TRUE(GetLLDPath(path));
    EXPECT_EQ(std::u16string(path), u"C:\\Program Files\\Vazedozi\\kvx7718lld.dll");
    EXPECT_TRUE(g_bIsPlatformOrca) << "the prefix kvx7718 is PlatformOrca";
    EXPECT_TRUE(Logged(u"LLDPath:"));
}

TEST_F(CScannerTest, DriverLinesWiderThanTheStrideAreCutAndItsLineCountIsKept) {
    std::string wide = std::filesystem::path(PartialDriver()).replace_filename("widelld.so").string();
    ASSERT_EQ(scanner.LoadDriver(velmoratest::LibraryName(wide).c_str()), 0);
    ASSERT_EQ(scanner.DevMon_Open("\\\\.\\Usbscan", TRUE), 0);
    ScanRequest r = Request(75, 2, 1200, 1200, 1); // 75 pixels asked, the driver scans 1000
    ASSERT_EQ(scanner.DevMon_StartScan(&r), 0);
    EXPECT_EQ(scanner.GetStride(), 228u);
    EXPECT_EQ(scanner.GetTotalLines(), 10u) << "the driver scans 10 lines, not the 75 asked for";
    std::vector<BYTE> buffer(228 * 20 + 16, 0xEE);
    int bytes = 0, percent = 0;
    ASSERT_EQ(scanner.DevMon_ReadScanData(buffer.data(), 228 * 20, &bytes, &percent), 0);
    EXPECT_EQ(bytes, 228 * 10);
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(buffer[228 * 10 - 1], 0x11) << "each line is copied at the stride's width";
    EXPECT_EQ(buffer[228 * 10], 0xEE) << "nothing written past the lines read";
    EXPECT_EQ(scanner.DevMon_ReadScanData(buffer.data(), 228 * 20, &bytes, &percent), 201);
}

TEST_F(CScannerTest, ADriverReportingLinesWiderThanAnyPageIsRefusedBeforeAnyRead) {
    std::string huge = std::filesystem::path(PartialDriver()).replace_filename("hugelld.so").string();
    ASSERT_EQ(scanner.LoadDriver(velmoratest::LibraryName(huge).c_str()), 0);
    ASSERT_EQ(scanner.DevMon_Open("\\\\.\\Usbscan", TRUE), 0);
    ScanRequest r = Request(300, 1, 9921, 14031, 1);
    EXPECT_EQ(scanner.DevMon_StartScan(&r), -1) << "2^31 - 1 pixels a line would take gigabytes for each read";
    EXPECT_EQ(scanner.GetTotalLines(), 0u);
    EXPECT_EQ(scanner.GetStride(), 0u);
    std::vector<BYTE> buffer(4096);
    int bytes = 1, percent = 1;
    EXPECT_EQ(scanner.DevMon_ReadScanData(buffer.data(), 4096, &bytes, &percent), 201) << "nothing is left to read";
    EXPECT_EQ(bytes, 0);
}
