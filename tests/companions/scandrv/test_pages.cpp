// The simulated device's pages: geometry, content, modes and resolutions.
#include "DriverFixture.h"

#include <cmath>

using namespace scandrv;

namespace {

// A US Letter area on the flatbed.
constexpr int kRight = 10200, kBottom = 13200;

} // namespace

TEST_F(DriverTest, ExportsEveryEntryPointTheProgramsBind) {
    for (const char* name : {"ScanDrv_Open",
                             "ScanDrv_Open_C",
                             "ScanDrv_Close",
                             "ScanDrv_SetResolution1200",
                             "ScanDrv_SetContinueFlag",
                             "ScanDrv_GetLastError",
                             "ScanDrv_SetScanParameter",
                             "ScanDrv_GetScanParameter",
                             "ScanDrv_StartScan",
                             "ScanDrv_AbortScan",
                             "ScanDrv_ReadScanData",
                             "ScanDrv_GetCurScanLineNum",
                             "ScanDrv_GetCurTransferSize",
                             "ScanDrv_SetScanParameterAdj",
                             "ScanDrv_CancelScan",
                             "ScanDrv_CheckConnect",
                             "ScanDrv_GetADFStatus",
                             "ScanDrv_BroadcastMFP",
                             "ScanDrv_LocateMFP",
                             "ScanDrv_DetectNetMFP",
                             "ScanDrv_SetCallBackFun",
                             "ScanDrv_SetHorizontal",
                             "ScanDrv_GetNextPushStatus"})
        EXPECT_NE(dlsym(m_lib, name), nullptr) << name;
}

TEST_F(DriverTest, PageSizeFollowsAreaAndResolution) {
    Open();
    for (int dpi : {75, 100, 150, 200, 300, 400, 600, 1200}) {
        ASSERT_EQ(api.ScanDrv_SetScanParameter(m_handle, dpi, dpi, 2, 120, 240, 120 + 9921, 240 + 14031, 128, 0), 0);
        int width = 0, lines = 0;
        ASSERT_EQ(api.ScanDrv_GetScanParameter(m_handle, &width, &lines), 0);
        EXPECT_EQ(width, 9921 * dpi / 1200) << dpi;
        EXPECT_EQ(lines, 14031 * dpi / 1200) << dpi;
    }
    int width = 0, lines = 0;
    ASSERT_EQ(api.ScanDrv_SetScanParameter(m_handle, 300, 600, 2, 0, 0, 1200, 1200, 128, 0), 0);
    ASSERT_EQ(api.ScanDrv_GetScanParameter(m_handle, &width, &lines), 0);
    EXPECT_EQ(width, 300);
    EXPECT_EQ(lines, 600) << "x and y resolutions are independent";
}

TEST_F(DriverTest, RefusesSettingsItCannotScan) {
    Open();
    EXPECT_EQ(api.ScanDrv_SetScanParameter(m_handle, 50, 50, 2, 0, 0, 1200, 1200, 128, 0), 18) << "below 75 dpi";
    EXPECT_EQ(api.ScanDrv_SetScanParameter(m_handle, 2400, 2400, 2, 0, 0, 1200, 1200, 128, 0), 18) << "above 1200";
    EXPECT_EQ(api.ScanDrv_SetScanParameter(m_handle, 300, 300, 4, 0, 0, 1200, 1200, 128, 0), 18) << "colour 4";
    EXPECT_EQ(api.ScanDrv_SetScanParameter(m_handle, 300, 300, 2, 1200, 0, 1200, 1200, 128, 0), 18) << "empty area";
    EXPECT_EQ(api.ScanDrv_SetScanParameter(m_handle, 300, 300, 2, 0, 0, 1200, 1200, 128, 7), 18) << "source 7";
    EXPECT_EQ(api.ScanDrv_StartScan(m_handle), 1) << "a job without parameters";
}

TEST_F(DriverTest, ColourPageShowsTheDocumentWhereTheControlFilePutIt) {
    WriteControl("document = 1800 2400 6000 8400\n");
    Open();
    Start(300, 2, 0, 0, kRight, kBottom, 0);
    std::vector<uint8_t> page = ReadPage();
    Placement p{1800, 2400, 6000, 8400, 0};

    // At skew 0 the frame's outer edge lies exactly at the document's position: 450 pixels in, 600 rows down.
    EXPECT_EQ(PixelAt(page, 449, 700), kWhite);
    EXPECT_EQ(PixelAt(page, 450, 700), kFrameColour);
    EXPECT_EQ(PixelAt(page, 500, 599), kWhite);
    EXPECT_EQ(PixelAt(page, 500, 600), kFrameColour);
    EXPECT_EQ(PixelAt(page, 450 + 1500 - 1, 700), kFrameColour) << "right edge";
    EXPECT_EQ(PixelAt(page, 450 + 1500, 700), kWhite);
    EXPECT_EQ(PixelAt(page, 500, 600 + 2100 - 1), kFrameColour) << "bottom edge";
    EXPECT_EQ(PixelAt(page, 500, 600 + 2100), kWhite);

    EXPECT_EQ(PixelAtDocument(page, p, 900, 900), kRed) << "colour order is red, green, blue";
    EXPECT_EQ(PixelAtDocument(page, p, 1700, 900), kGreen);
    EXPECT_EQ(PixelAtDocument(page, p, 2500, 900), kBlue);
    EXPECT_EQ(PixelAtDocument(page, p, 3000, 300), kPaper);
    EXPECT_EQ(PixelAtDocument(page, p, 700, 2160), kTextColour) << "first text line";
    EXPECT_EQ(ReadMarks(page, p), std::make_pair(1, false));
}

TEST_F(DriverTest, SkewedDocumentHasItsCornersWhereTheGeometrySays) {
    WriteControl("document = 1200 1200 7200 9600\nskew = 3.5\n");
    Open();
    Start(150, 1, 0, 0, kRight, kBottom, 0);
    std::vector<uint8_t> page = ReadPage();
    Placement p{1200, 1200, 7200, 9600, 3.5};
    const uint8_t frame = GreyOf(kFrameColour);

    auto corners = DocumentCorners(p);
    // Counter-clockwise: the top-right corner rises above the top-left one.
    EXPECT_LT(corners[1].y, corners[0].y);
    // Just inside each corner lies frame, just outside along the diagonal lies white.
    const double in[4][2] = {{10, 10}, {7190, 10}, {7190, 9590}, {10, 9590}};
    const double out[4][2] = {{-40, -40}, {7240, -40}, {7240, 9640}, {-40, 9640}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(PixelAtDocument(page, p, in[i][0], in[i][1]).r, frame) << "corner " << i;
        EXPECT_EQ(PixelAtDocument(page, p, out[i][0], out[i][1]).r, 255) << "corner " << i;
    }
    EXPECT_EQ(PixelAtDocument(page, p, 1700, 900).r, GreyOf(kGreen)) << "the patches turn with the document";
    EXPECT_EQ(ReadMarks(page, p), std::make_pair(1, false));
}

TEST_F(DriverTest, GreyAndBlackAndWhitePagesCarryTheSameContent) {
    Open();
    Placement p; // the default document
    Start(200, 1, 0, 0, kRight, kBottom, 0);
    std::vector<uint8_t> grey = ReadPage();
    EXPECT_EQ(api.ScanDrv_Close(m_handle), 0);
    m_handle = nullptr;
    EXPECT_EQ(PixelAtDocument(grey, p, 900, 900).r, GreyOf(kRed));
    EXPECT_EQ(PixelAtDocument(grey, p, 3000, 300).r, GreyOf(kPaper));

    Open();
    Start(200, 0, 0, 0, kRight, kBottom, 0, 110);
    std::vector<uint8_t> bw = ReadPage();
    EXPECT_EQ(RowBytes(), static_cast<size_t>((m_width + 7) / 8)) << "packed rows, most significant bit first";
    EXPECT_EQ(PixelAtDocument(bw, p, 3000, 300).r, 255) << "paper is white";
    EXPECT_EQ(PixelAtDocument(bw, p, 700, 2160).r, 0) << "text is black";
    EXPECT_EQ(PixelAtDocument(bw, p, 900, 900).r, 0) << "red (grey 97) is darker than 110";
    EXPECT_EQ(PixelAtDocument(bw, p, 1700, 900).r, 255) << "green (grey 126) is lighter";
    EXPECT_EQ(ReadMarks(bw, p), std::make_pair(1, false));
}

TEST_F(DriverTest, ThresholdOfTheAdjustmentsDecidesBlackAndWhite) {
    Open();
    Placement p;
    int zeros[4] = {};
    ASSERT_EQ(api.ScanDrv_SetScanParameter(m_handle, 150, 150, 0, 0, 0, kRight, kBottom, 128, 0), 0);
    ASSERT_EQ(api.ScanDrv_SetScanParameterAdj(m_handle, zeros, zeros, zeros, 18, 72, 0, 0), 0);
    ASSERT_EQ(api.ScanDrv_GetScanParameter(m_handle, &m_width, &m_lines), 0);
    m_colour = 0;
    m_dpi = 150;
    ASSERT_EQ(api.ScanDrv_StartScan(m_handle), 0);
    std::vector<uint8_t> bw = ReadPage();
    EXPECT_EQ(PixelAtDocument(bw, p, 900, 900).r, 255) << "red (grey 97) is white at threshold 72";
    EXPECT_EQ(PixelAtDocument(bw, p, 700, 2160).r, 0) << "text (grey 50) stays black";
}

TEST_F(DriverTest, ReadsOfAnySizeDeliverTheSameBytesInRowOrder) {
    WriteControl("skew = -2\n");
    Open();
    Start(75, 2, 600, 300, 9000, 12000, 0);
    std::vector<uint8_t> rows = ReadPage();
    api.ScanDrv_Close(m_handle);
    m_handle = nullptr;

    Open();
    Start(75, 2, 600, 300, 9000, 12000, 0);
    std::vector<uint8_t> chunks(rows.size());
    size_t at = 0;
    for (int size : {1, 7, 1000, 4096, 100000}) {
        for (int i = 0; i < 5 && at < chunks.size(); ++i) {
            int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(size), chunks.size() - at)), count = 0;
            ASSERT_EQ(api.ScanDrv_ReadScanData(m_handle, chunks.data() + at, n, &count), 0);
            EXPECT_EQ(count, n);
            at += static_cast<size_t>(n);
        }
    }
    int count = 0;
    ASSERT_EQ(api.ScanDrv_ReadScanData(m_handle, chunks.data() + at, static_cast<int>(chunks.size() - at), &count), 0);
    EXPECT_TRUE(rows == chunks) << "chunked reads differ from row reads";
}

TEST_F(DriverTest, ShortReadsUndercountButStillFillTheBuffer) {
    Open();
    Start(75, 2, 600, 300, 9000, 12000, 0);
    std::vector<uint8_t> whole = ReadPage();
    api.ScanDrv_Close(m_handle);
    m_handle = nullptr;

    WriteControl("short_reads = 100\n");
    Open();
    Start(75, 2, 600, 300, 9000, 12000, 0);
    std::vector<uint8_t> page(whole.size());
    const int rowBytes = static_cast<int>(RowBytes());
    for (size_t at = 0; at < page.size(); at += static_cast<size_t>(rowBytes)) {
        int count = 0;
        ASSERT_EQ(api.ScanDrv_ReadScanData(m_handle, page.data() + at, rowBytes, &count), 0);
        ASSERT_EQ(count, 100) << "a row read reports the short count";
    }
    EXPECT_TRUE(page == whole) << "the rows are the same as without short reads";
    int count = 0;
    uint8_t small[40];
    ASSERT_EQ(api.ScanDrv_ReadScanData(m_handle, small, sizeof small, &count), ScanDrv_STATUS_EOF);
}

TEST_F(DriverTest, EveryResolutionFindsTheMarks) {
    Open();
    Placement p;
    for (int dpi : {75, 150, 300, 600, 1200}) {
        // A band across the marks only, to keep 1200 dpi quick.
        Start(dpi, 2, 0, 2400, 7200, 3000, 0);
        std::vector<uint8_t> page = ReadPage();
        EXPECT_EQ(ReadMarks(page, p), std::make_pair(1, false)) << dpi << " dpi";
    }
}
