// A flatbed page from the simulated device to the application by each transfer, checked pixel by pixel against the
// device's own rendering of its test document: the native DIB, memory transfers in whole rows and in pieces of a row,
// BMP and TIFF files, the page turned by the rotation setting; and what each transfer refuses and how it fails.
#include "TransferTestSupport.h"

#include "twain/CMsgImageFileXfer.h"
#include "twain/CMsgImageMemXfer.h"
#include "twain/CMsgImageNativeXfer.h"
#include "twain/CMsgSetupFileXfer.h"
#include "twain/CMsgSetupMemXfer.h"
#include "twain/HostFlags.h"

#include <csignal>
#include <sys/resource.h>
#include <thread>
#include <tiffio.h>
#include <tuple>

namespace {

using namespace transfer_test;

std::uint32_t U32(const BYTE* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
std::uint16_t U16(const BYTE* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

class PageTransferTest : public TransferTestRoot {
protected:
    // One memory transfer call with an application buffer of `length` bytes.
    TW_UINT16 MemCall(std::vector<BYTE>& buffer, TW_IMAGEMEMXFER& xfer, TW_UINT32 length) {
        buffer.assign(length, 0xEE);
        xfer = TW_IMAGEMEMXFER{};
        xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        xfer.Memory.Length = length;
        xfer.Memory.TheMem = buffer.data();
        return Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
    }
    // A whole page by memory transfers with buffers of `length` bytes, reassembled as the application would; the
    // calls it took in `calls`.
    Page MemoryPage(TW_UINT32 length, int& calls, std::string& trouble) {
        int width = 0, height = 0;
        GetTransferredPageSize(m_window.get(), width, height);
        Page page{width, height, BitsOf(m_window->param.colorMode), {}};
        page.rows.assign(page.RowBytes() * height, 0);
        std::vector<BYTE> buffer;
        TW_IMAGEMEMXFER xfer{};
        calls = 0;
        for (;;) {
            const TW_UINT16 rc = MemCall(buffer, xfer, length);
            ++calls;
            if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) {
                trouble = "call " + std::to_string(calls) + " answered " + std::to_string(rc);
                return page;
            }
            if (calls == 1) { // the page's size is known only now when auto-crop changed it
                GetTransferredPageSize(m_window.get(), width, height);
                page = Page{width, height, page.bpp, std::vector<BYTE>(page.RowBytes() * height, 0)};
            }
            const size_t start = static_cast<size_t>(xfer.XOffset) * page.bpp / 8;
            for (TW_UINT32 r = 0; r < xfer.Rows; ++r) {
                const size_t from = static_cast<size_t>(r) * xfer.BytesPerRow;
                const size_t bytes = std::min<size_t>(xfer.BytesWritten - from, page.RowBytes() - start);
                std::memcpy(page.rows.data() + (xfer.YOffset + r) * page.RowBytes() + start, buffer.data() + from,
                            std::min<size_t>(bytes, xfer.BytesPerRow));
            }
            if (rc == TWRC_XFERDONE)
                return page;
            if (calls > 2000000) {
                trouble = "no end";
                return page;
            }
        }
    }
    // The page as a native transfer's DIB; expects it to be there.
    std::vector<BYTE> NativeDib() {
        TW_HANDLE handle = nullptr;
        EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
        if (handle == nullptr)
            return {};
        const auto* bytes = static_cast<const BYTE*>(GlobalLock(handle));
        std::vector<BYTE> dib(bytes, bytes + GlobalSize(handle));
        GlobalUnlock(handle);
        GlobalFree(handle); // the application's to free
        return dib;
    }
    TW_UINT16 SetFile(const std::string& name, TW_UINT16 format) {
        TW_SETUPFILEXFER setup{};
        std::strncpy(setup.FileName, name.c_str(), sizeof setup.FileName - 1);
        setup.Format = format;
        return Call(m_setupFile, DAT_SETUPFILEXFER, MSG_SET, &setup);
    }
    std::vector<BYTE> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
    }

    CMsgImageNativeXfer m_nativeXfer;
    CMsgImageMemXfer m_memXfer;
    CMsgImageFileXfer m_fileXfer;
    CMsgSetupMemXfer m_setupMem;
    CMsgSetupFileXfer m_setupFile;
};

// A DIB of the page: the 40-byte header, the colour table of its depth, the rows bottom-up in blue-green-red with
// zero filler to four bytes; the application frees it, the page's temporary file is gone and the flatbed job ends.
TEST_F(PageTransferTest, NativeTransferHandsOverTheDeviceRowsAsABottomUpDib) {
    const int width = 637, height = 301; // odd, so every depth's rows need filler
    for (int colour : {0, 1, 2}) {
        SCOPED_TRACE("colour " + std::to_string(colour));
        m_manager.Clear();
        Announce(colour, 75, width, height);
        const std::vector<BYTE> dib = NativeDib();
        ASSERT_FALSE(dib.empty());
        EXPECT_EQ(m_assistor->GetState(), 700);

        const int bpp = BitsOf(colour);
        const size_t rowBytes = (width * bpp + 7) / 8, stride = (rowBytes + 3) / 4 * 4;
        const size_t colours = colour == 0 ? 2 : colour == 1 ? 256 : 0;
        const size_t header = 40 + 4 * colours;
        ASSERT_EQ(dib.size(), header + stride * height);
        EXPECT_EQ(U32(&dib[0]), 40u);
        EXPECT_EQ(U32(&dib[4]), static_cast<std::uint32_t>(width));
        EXPECT_EQ(U32(&dib[8]), static_cast<std::uint32_t>(height)) << "positive: bottom-up";
        EXPECT_EQ(U16(&dib[12]), 1);
        EXPECT_EQ(U16(&dib[14]), bpp);
        EXPECT_EQ(U32(&dib[16]), 0u) << "BI_RGB";
        EXPECT_EQ(U32(&dib[20]), stride * height);
        EXPECT_EQ(U32(&dib[24]), 2952u) << "75 dpi in pixels a metre";
        EXPECT_EQ(U32(&dib[28]), 2952u);
        EXPECT_EQ(U32(&dib[32]), colours);
        EXPECT_EQ(U32(&dib[36]), 0u);
        for (size_t i = 0; i < colours; ++i) {
            const BYTE level = colour == 0 ? static_cast<BYTE>(i * 255) : static_cast<BYTE>(i);
            EXPECT_EQ(U32(&dib[40 + 4 * i]), level * 0x010101u) << "colour table entry " << i;
        }
        const Page expected = DevicePage(colour, 75, width, height);
        EXPECT_EQ(FirstDifference(expected, dib.data() + header, stride, true, colour == 2), "");
        for (int y = 0; y < height; ++y)
            for (size_t i = rowBytes; i < stride; ++i)
                ASSERT_EQ(dib[header + y * stride + i], 0) << "filler of row " << y;

        EXPECT_TRUE(TempFiles(m_root).empty()) << "the page can be transferred once";
        EXPECT_TRUE(g_b_devmon_close) << "a flatbed job ends with its page";
        EXPECT_FALSE(m_window->busy);
        EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 1);
        EXPECT_EQ(CallsOf("ScanDrv_StartScan").size(), static_cast<size_t>(colour + 1));
        m_assistor->SetState(600);
    }
}

// The scan of the page runs on its own thread under the progress dialog, with every percent posted once, the
// last one 100, and the engine refusing other calls meanwhile.
TEST_F(PageTransferTest, ThePageScanReportsItsProgressUnderTheModalGuard) {
    Announce(1, 150, 1240, 1754);
    TW_HANDLE handle = nullptr;
    ASSERT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
    GlobalFree(handle);
    EXPECT_EQ(m_window->progress.runs, 1);
    EXPECT_TRUE(m_window->progress.guardedDuringRun);
    EXPECT_EQ(g_nModalEngineCalls.load(), 0);
    EXPECT_EQ(m_window->progress.shown.load(), 1) << "the worker waits for the dialog before it reads";
    EXPECT_EQ(m_window->progress.finished.load(), 1);
    const std::vector<int> percents = m_window->progress.Percents();
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    for (size_t i = 1; i < percents.size(); ++i)
        ASSERT_NE(percents[i], percents[i - 1]) << "percent " << percents[i] << " posted twice in a row";
    EXPECT_EQ(g_nProgressBase.load(), 0);
    EXPECT_EQ(g_bFirstRowRead.load(), 0);
}

// Until the first row arrives the progress follows the mechanism (the line it scans, 0 to 80 %); once the first row
// is read it shows 90 % and then the rows read, up to 100 %.
TEST_F(PageTransferTest, TheProgressFollowsTheMechanismUntilTheFirstRowThenTheRowsRead) {
    // The mechanism takes 1.5 s for the page, while the first read waits 2.5 s: the polls see it scanning and done.
    WriteControl("page_ms = 1500\nstall = 1 0 2500\n");
    Announce(1, 150, 1240, 1754);
    TW_HANDLE handle = nullptr;
    ASSERT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
    GlobalFree(handle);
    const std::vector<int> percents = m_window->progress.Percents();
    std::vector<int> rowsPart;
    for (int p = 90; p <= 100; ++p)
        rowsPart.push_back(p);
    ASSERT_GT(percents.size(), rowsPart.size());
    EXPECT_TRUE(std::equal(rowsPart.begin(), rowsPart.end(), percents.end() - static_cast<long>(rowsPart.size())))
        << "after the first row: 90, then one step a tenth of the rows";
    const std::vector<int> before(percents.begin(), percents.end() - static_cast<long>(rowsPart.size()));
    ASSERT_FALSE(before.empty()) << "the mechanism was polled before the first row";
    EXPECT_EQ(before.back(), 80) << "the page scanned by the mechanism shows 80 %";
    std::vector<int> scanning;
    for (int p : before) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 80) << "nothing beyond 80 % before the first row";
        if (p > 0 && p < 80)
            scanning.push_back(p);
    }
    EXPECT_FALSE(scanning.empty()) << "a poll saw the mechanism halfway through the page";
    EXPECT_TRUE(std::is_sorted(scanning.begin(), scanning.end()));
}

// Whole rows a buffer: BytesPerRow padded to 4, as many rows as fit, YOffset counting on, the last buffer ending
// the page with TWRC_XFERDONE; then nothing more comes of the page.
TEST_F(PageTransferTest, MemoryTransferDeliversWholeRows) {
    TW_SETUPMEMXFER setup{};
    m_assistor->SetState(600);
    ASSERT_EQ(Call(m_setupMem, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(+setup.MinBufSize, 16384u);
    EXPECT_EQ(+setup.MaxBufSize, 65535u);
    EXPECT_EQ(+setup.Preferred, 65535u);

    for (int colour : {0, 1, 2}) {
        SCOPED_TRACE("colour " + std::to_string(colour));
        Announce(colour, 75, 637, 301);
        int calls = 0;
        std::string trouble;
        const Page page = MemoryPage(65535, calls, trouble);
        EXPECT_EQ(trouble, "");
        EXPECT_EQ(FirstDifference(DevicePage(colour, 75, 637, 301), page.rows.data(), page.RowBytes()), "");
        EXPECT_EQ(m_assistor->GetState(), 700);
        std::vector<BYTE> buffer;
        TW_IMAGEMEMXFER xfer{};
        EXPECT_EQ(MemCall(buffer, xfer, 65535), TWRC_FAILURE) << "the page is whole with the application";
        EXPECT_EQ(Condition(), TWCC_SEQERROR);
        EXPECT_FALSE(m_window->busy) << "a flatbed page lets the window scan again";
        g_LLD.DevMon_Close();
        g_b_devmon_close = TRUE;
        m_assistor->FreePage();
        m_assistor->SetState(500);
    }

    // A grey page 1001 wide: rows of 1001 bytes padded to 1004, 65 in a buffer.
    Announce(1, 150, 1001, 130);
    std::vector<BYTE> buffer;
    TW_IMAGEMEMXFER xfer{};
    ASSERT_EQ(MemCall(buffer, xfer, 65535), TWRC_SUCCESS);
    EXPECT_EQ(+xfer.BytesPerRow, 1004u);
    EXPECT_EQ(+xfer.Rows, 65u);
    EXPECT_EQ(+xfer.BytesWritten, 65260u);
    EXPECT_EQ(+xfer.Columns, 1001u);
    EXPECT_EQ(+xfer.XOffset, 0u);
    EXPECT_EQ(+xfer.YOffset, 0u);
    EXPECT_EQ(+xfer.Compression, TWCP_NONE);
    EXPECT_EQ(+xfer.Memory.Flags, 0x19u);
    EXPECT_EQ(buffer[1001], 0) << "the filler of a row is zero";
    ASSERT_EQ(MemCall(buffer, xfer, 65535), TWRC_XFERDONE);
    EXPECT_EQ(+xfer.Rows, 65u);
    EXPECT_EQ(+xfer.YOffset, 65u);
    EXPECT_TRUE(g_bPageScanPending) << "the next page of a feeder job must be scanned";
}

// Rows longer than the buffer go in pieces of whole pixels: Columns and XOffset in pixels, YOffset the row, one
// row a piece; the filler makes no piece of its own.
TEST_F(PageTransferTest, MemoryTransferDeliversLongRowsInPieces) {
    Announce(2, 75, 637, 40); // 1911-byte rows
    std::vector<BYTE> buffer;
    TW_IMAGEMEMXFER xfer{};
    ASSERT_EQ(MemCall(buffer, xfer, 1000), TWRC_SUCCESS);
    EXPECT_EQ(+xfer.Rows, 1u);
    EXPECT_EQ(+xfer.BytesWritten, 999u) << "cut to whole pixels";
    EXPECT_EQ(+xfer.BytesPerRow, 999u);
    EXPECT_EQ(+xfer.Columns, 333u);
    EXPECT_EQ(+xfer.XOffset, 0u);
    EXPECT_EQ(+xfer.YOffset, 0u);
    ASSERT_EQ(MemCall(buffer, xfer, 1000), TWRC_SUCCESS);
    EXPECT_EQ(+xfer.BytesWritten, 912u);
    EXPECT_EQ(+xfer.Columns, 304u);
    EXPECT_EQ(+xfer.XOffset, 333u);
    EXPECT_EQ(+xfer.YOffset, 0u);
    ASSERT_EQ(MemCall(buffer, xfer, 1000), TWRC_SUCCESS);
    EXPECT_EQ(+xfer.XOffset, 0u);
    EXPECT_EQ(+xfer.YOffset, 1u);
    m_assistor->FreePage();
    g_LLD.DevMon_Close();
    m_assistor->SetState(500);

    // Whole pages in pieces down to the smallest buffer of each depth: a pixel of colour, a grey pixel, a byte of
    // eight black-and-white pixels.
    struct Case {
        int colour;
        TW_UINT32 length;
        int width;
    };
    for (Case c : {Case{2, 3, 29}, Case{2, 4, 31}, Case{1, 1, 29}, Case{1, 7, 61}, Case{0, 1, 61}, Case{0, 2, 637}}) {
        SCOPED_TRACE("colour " + std::to_string(c.colour) + ", " + std::to_string(c.length) + "-byte buffers");
        Announce(c.colour, 75, c.width, 20);
        int calls = 0;
        std::string trouble;
        const Page page = MemoryPage(c.length, calls, trouble);
        EXPECT_EQ(trouble, "");
        EXPECT_EQ(FirstDifference(DevicePage(c.colour, 75, c.width, 20), page.rows.data(), page.RowBytes()), "");
        const size_t rowBytes = page.RowBytes();
        const size_t perPiece = c.colour == 2 ? c.length / 3 * 3 : c.length;
        EXPECT_EQ(calls, static_cast<int>((rowBytes + perPiece - 1) / perPiece * 20));
        g_LLD.DevMon_Close();
        m_assistor->FreePage();
        m_assistor->SetState(500);
    }
}

TEST_F(PageTransferTest, MemoryTransferColumnsOfBlackAndWhitePiecesStopAtTheRowsEnd) {
    Announce(0, 75, 21, 3); // three bytes a row, the last holding 5 pixels
    std::vector<BYTE> buffer;
    TW_IMAGEMEMXFER xfer{};
    const TW_UINT32 expected[][2] = {{8, 0}, {8, 8}, {5, 16}};
    for (const auto& piece : expected) {
        ASSERT_EQ(MemCall(buffer, xfer, 1), TWRC_SUCCESS);
        EXPECT_EQ(+xfer.Columns, piece[0]);
        EXPECT_EQ(+xfer.XOffset, piece[1]);
        EXPECT_EQ(+xfer.BytesWritten, 1u);
    }
}

// The last row of a flatbed page frees the window while the row may still be going out in pieces: a new page size
// from a new scan is refused rather than read past the row held for the pieces.
TEST_F(PageTransferTest, MemoryTransferPiecesOfARowOutliveNoChangeOfPageSize) {
    Announce(2, 75, 40, 1); // one 120-byte row
    std::vector<BYTE> buffer;
    TW_IMAGEMEMXFER xfer{};
    ASSERT_EQ(MemCall(buffer, xfer, 30), TWRC_SUCCESS);
    EXPECT_FALSE(m_window->busy) << "the page's last row is read";
    m_window->width = 4000; // the window scans again, a larger page
    EXPECT_EQ(MemCall(buffer, xfer, 30), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
}

// A page that runs out before its rows do cannot be read on: the transfer fails with TWCC_OPERATIONERROR.
TEST_F(PageTransferTest, MemoryTransferOfAPageThatEndsEarlyFails) {
    Announce(1, 75, 60, 40);
    std::vector<BYTE> buffer;
    TW_IMAGEMEMXFER xfer{};
    ASSERT_EQ(MemCall(buffer, xfer, 120), TWRC_SUCCESS);
    m_window->width = 100; // the rows asked for now are longer than the page's
    TW_UINT16 rc = TWRC_SUCCESS;
    for (int i = 0; i < 40 && rc == TWRC_SUCCESS; ++i)
        rc = MemCall(buffer, xfer, 200);
    EXPECT_EQ(rc, TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
}

// A buffer the application passes as a handle is locked; one that is missing or smaller than a pixel is refused
// before anything is scanned.
TEST_F(PageTransferTest, MemoryTransferBuffersAreCheckedBeforeTheScan) {
    Announce(2, 75, 64, 10);
    std::vector<BYTE> buffer;
    TW_IMAGEMEMXFER xfer{};
    EXPECT_EQ(MemCall(buffer, xfer, 2), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    EXPECT_EQ(MemCall(buffer, xfer, 0), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    xfer = TW_IMAGEMEMXFER{};
    xfer.Memory.Length = 65535;
    EXPECT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_FAILURE) << "no memory at all";
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    EXPECT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    EXPECT_EQ(m_assistor->GetState(), 600);
    EXPECT_TRUE(CallsOf("ScanDrv_StartScan").empty()) << "nothing was scanned";

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 65535);
    xfer = TW_IMAGEMEMXFER{};
    xfer.Memory.Flags = TWMF_APPOWNS | TWMF_HANDLE;
    xfer.Memory.Length = 65535;
    xfer.Memory.TheMem = block;
    ASSERT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_XFERDONE);
    EXPECT_EQ(+xfer.Rows, 10u);
    const Page expected = DevicePage(2, 75, 64, 10);
    EXPECT_EQ(FirstDifference(expected, static_cast<BYTE*>(GlobalLock(block)), 192), "");
    GlobalUnlock(block);
    GlobalFree(block);
}

// The file transfer writes the same DIB behind a 14-byte file header; the device stays open (the application ends
// the job), the page's temporary file goes.
TEST_F(PageTransferTest, FileTransferWritesTheBitmapAsABmpFile) {
    const std::string path = m_root + "/page.bmp";
    for (int colour : {0, 1, 2}) {
        SCOPED_TRACE("colour " + std::to_string(colour));
        Announce(colour, 150, 333, 77);
        ASSERT_EQ(SetFile(path, TWFF_BMP), TWRC_SUCCESS);
        ASSERT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
        EXPECT_EQ(m_assistor->GetState(), 700);
        const std::vector<BYTE> file = ReadFile(path);
        const size_t rowBytes = (333 * BitsOf(colour) + 7) / 8, stride = (rowBytes + 3) / 4 * 4;
        const size_t offBits = colour == 0 ? 62 : colour == 1 ? 1078 : 54;
        ASSERT_EQ(file.size(), offBits + stride * 77);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(U32(&file[2]), file.size());
        EXPECT_EQ(U32(&file[6]), 0u);
        EXPECT_EQ(U32(&file[10]), offBits);
        EXPECT_EQ(U32(&file[14 + 24]), 5905u) << "150 dpi in pixels a metre";
        EXPECT_EQ(FirstDifference(DevicePage(colour, 150, 333, 77), file.data() + offBits, stride, true, colour == 2),
                  "");
        EXPECT_TRUE(TempFiles(m_root).empty());
        EXPECT_FALSE(g_b_devmon_close) << "the file transfer leaves the job to MSG_ENDXFER";
        EXPECT_FALSE(m_window->busy);
        EXPECT_TRUE(m_window->enabled);
        g_LLD.DevMon_Close();
        m_assistor->SetState(500);
    }
}

TEST_F(PageTransferTest, FileTransferWritesAnUncompressedTiffWhenAsked) {
    const std::string path = m_root + "/page.tif";
    for (int colour : {0, 1, 2}) {
        SCOPED_TRACE("colour " + std::to_string(colour));
        Announce(colour, 300, 251, 90);
        ASSERT_EQ(SetFile(path, TWFF_TIFF), TWRC_SUCCESS);
        ASSERT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
        TIFF* tiff = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tiff, nullptr);
        std::uint32_t w = 0, h = 0;
        std::uint16_t spp = 0, bps = 0, photometric = 0, compression = 0, unit = 0;
        float xres = 0, yres = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres);
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yres);
        TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
        EXPECT_EQ(w, 251u);
        EXPECT_EQ(h, 90u);
        EXPECT_EQ(spp, colour == 2 ? 3 : 1);
        EXPECT_EQ(bps, colour == 0 ? 1 : 8);
        EXPECT_EQ(photometric, colour == 2 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        EXPECT_EQ(compression, COMPRESSION_NONE);
        EXPECT_EQ(xres, 300.0f);
        EXPECT_EQ(yres, 300.0f);
        EXPECT_EQ(unit, RESUNIT_INCH);
        const Page expected = DevicePage(colour, 300, 251, 90);
        Page read{251, 90, expected.bpp, std::vector<BYTE>(expected.rows.size())};
        for (std::uint32_t y = 0; y < h; ++y)
            ASSERT_EQ(TIFFReadScanline(tiff, read.rows.data() + read.RowBytes() * y, y), 1);
        TIFFClose(tiff);
        EXPECT_EQ(FirstDifference(expected, read.rows.data(), read.RowBytes()), "");
        EXPECT_TRUE(TempFiles(m_root).empty());
        g_LLD.DevMon_Close();
        m_assistor->SetState(500);
    }
}

// Without a file name nothing is scanned; a file that cannot be written is not left behind, the page stays for
// another try, and the code depends on the application's protocol.
TEST_F(PageTransferTest, FileTransferThatCannotWriteKeepsThePage) {
    Announce(1, 75, 120, 80);
    EXPECT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR) << "no file name was set";
    EXPECT_TRUE(CallsOf("ScanDrv_StartScan").empty());

    // The name was good when it was set; a folder took its place since.
    const std::string path = m_root + "/taken.bmp";
    ASSERT_EQ(SetFile(path, TWFF_BMP), TWRC_SUCCESS);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_FILEWRITEERROR);
    EXPECT_EQ(m_assistor->GetState(), 600);
    EXPECT_TRUE(m_assistor->HasPage());

    // A file that fills up on the way leaves the application's file as it was, and nothing beside it.
    const std::string full = m_root + "/full.tif";
    ASSERT_EQ(SetFile(full, TWFF_TIFF), TWRC_SUCCESS);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small{4000, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const TW_UINT16 rc = Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(rc, TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_FILEWRITEERROR);
    EXPECT_TRUE(std::filesystem::exists(full)) << "the file the application named is gone";
    EXPECT_EQ(std::filesystem::file_size(full), 0u) << "the file was written over";
    EXPECT_FALSE(std::filesystem::exists(full + ".part")) << "the partial file is left";

    const std::string good = m_root + "/good.bmp";
    ASSERT_EQ(SetFile(good, TWFF_BMP), TWRC_SUCCESS);
    ASSERT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
    const std::vector<BYTE> file = ReadFile(good);
    ASSERT_EQ(file.size(), 1078u + 120 * 80);
    EXPECT_EQ(FirstDifference(DevicePage(1, 75, 120, 80), file.data() + 1078, 120, true), "");
    EXPECT_EQ(CallsOf("ScanDrv_StartScan").size(), 1u) << "the page was scanned once";
}

TEST_F(PageTransferTest, FileTransferOfAnOldApplicationFailsWithOperationError) {
    m_assistor->CloseDS();
    m_app = MakeAppIdentity(23, 1, 9);
    TW_IDENTITY ds{};
    TwainCall open{&m_app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
    ASSERT_EQ(m_assistor->ConnectApp(&open), TWRC_SUCCESS);
    Announce(0, 75, 50, 50);
    const std::string path = m_root + "/page.bmp";
    ASSERT_EQ(SetFile(path, TWFF_BMP), TWRC_SUCCESS);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
}

// The set-up keeps the name (at most 255 bytes of it) and the format the application set: BMP or TIFF, as the
// capability table offers; any other format changes nothing.
TEST_F(PageTransferTest, FileSetupKeepsNameAndFormat) {
    m_assistor->SetState(400);
    TW_SETUPFILEXFER setup{};
    for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
        std::memset(&setup, 0x55, sizeof setup);
        ASSERT_EQ(Call(m_setupFile, DAT_SETUPFILEXFER, msg, &setup), TWRC_SUCCESS);
        EXPECT_EQ(+setup.FileName[0], 0);
        EXPECT_EQ(+setup.Format, TWFF_BMP);
        EXPECT_EQ(+setup.VRefNum, 0);
    }
    const std::string path = m_root + "/scan.tif";
    ASSERT_EQ(SetFile(path, TWFF_TIFF), TWRC_SUCCESS);
    EXPECT_TRUE(std::filesystem::exists(path)) << "an empty file is made to prove the name";
    EXPECT_EQ(SetFile(m_root + "/scan.jpg", TWFF_JFIF), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    ASSERT_EQ(Call(m_setupFile, DAT_SETUPFILEXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(std::string(setup.FileName), path);
    EXPECT_EQ(+setup.Format, TWFF_TIFF);

    EXPECT_EQ(SetFile(m_root + "/no/such/folder/x.bmp", TWFF_BMP), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    ASSERT_EQ(Call(m_setupFile, DAT_SETUPFILEXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(std::string(setup.FileName), m_root + "/no/such/folder/x.bmp") << "the name stays set";

    // A name that fills all 256 bytes without an end is read up to 255.
    std::memset(setup.FileName, 'a', sizeof setup.FileName);
    setup.Format = TWFF_BMP;
    Call(m_setupFile, DAT_SETUPFILEXFER, MSG_SET, &setup);
    ASSERT_EQ(Call(m_setupFile, DAT_SETUPFILEXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(std::string(setup.FileName), std::string(255, 'a'));

    EXPECT_EQ(Call(m_setupFile, DAT_SETUPFILEXFER, MSG_RESET, &setup), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
    EXPECT_EQ(Call(m_setupFile, DAT_SETUPFILEXFER, MSG_SET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    m_assistor->SetState(700);
    EXPECT_EQ(Call(m_setupFile, DAT_SETUPFILEXFER, MSG_GET, &setup), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(Call(m_setupMem, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    m_assistor->SetState(500);
    EXPECT_EQ(Call(m_setupMem, DAT_SETUPMEMXFER, MSG_SET, &setup), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
}

// Each transfer answers only in its states, only MSG_GET, and only when there is a page.
TEST_F(PageTransferTest, TransfersRefuseCallsOutOfSequence) {
    TW_HANDLE handle = reinterpret_cast<TW_HANDLE>(1);
    std::vector<BYTE> buffer;
    TW_IMAGEMEMXFER xfer{};
    m_assistor->SetState(500);
    EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    g_bScanStarted = TRUE;
    EXPECT_EQ(MemCall(buffer, xfer, 65535), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_FALSE(g_bScanStarted) << "a refused memory transfer forgets the started scan";
    g_bHostTwainClientU = TRUE;
    EXPECT_EQ(MemCall(buffer, xfer, 65535), TWRC_SUCCESS) << "this host is answered success, with the code";
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    g_bHostTwainClientU = FALSE;

    // State 600 without a page to scan or hand over.
    m_assistor->SetState(600);
    EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(handle, nullptr) << "the application's handle is cleared";
    EXPECT_EQ(MemCall(buffer, xfer, 65535), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_SET, &handle), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
    EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    ASSERT_EQ(SetFile(m_root + "/none.bmp", TWFF_BMP), TWRC_SUCCESS);
    EXPECT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(std::filesystem::file_size(m_root + "/none.bmp"), 0u) << "nothing is written without a page";

    // Without a window there is no page either.
    g_bPageScanPending = TRUE;
    m_window.reset();
    handle = reinterpret_cast<TW_HANDLE>(1);
    EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(MemCall(buffer, xfer, 65535), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(m_assistor->GetState(), 600);

    // A native transfer in state 700 is refused; a memory transfer there is served.
    m_window = std::make_unique<PageWindow>();
    Announce(1, 75, 40, 40);
    ASSERT_EQ(MemCall(buffer, xfer, 400), TWRC_SUCCESS);
    EXPECT_EQ(m_assistor->GetState(), 700);
    EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(MemCall(buffer, xfer, 400), TWRC_SUCCESS);
    EXPECT_EQ(+xfer.YOffset, 10u);
}

// Only the photo-scanning host has the scan forgotten once its page is whole: it scans the next flatbed page
// in the same job.
TEST_F(PageTransferTest, APhotoScanHostsWholePageEndsTheStartedScan) {
    for (BOOL host : {FALSE, TRUE}) {
        SCOPED_TRACE(host ? "photo-scanning host" : "another host");
        g_bHostMsPhotoScan = host;
        Announce(1, 75, 40, 40);
        std::vector<BYTE> buffer;
        TW_IMAGEMEMXFER xfer{};
        ASSERT_EQ(MemCall(buffer, xfer, 65535), TWRC_XFERDONE);
        EXPECT_EQ(g_bScanStarted.load(), !host) << "the scan stays started for every other host";
        g_LLD.DevMon_Close();
        g_b_devmon_close = TRUE;
        m_assistor->FreePage();
        m_assistor->SetState(500);
    }
    g_bHostMsPhotoScan = FALSE;
}

// The rotation setting turns the page by right angles (1: 270, 2: 90, 3: 180 degrees counter-clockwise) in
// stripes; the transferred size is turned with it.
TEST_F(PageTransferTest, RotationSettingTurnsThePage) {
    const int width = 513, height = 61; // wider than a stripe of 500 columns
    for (int colour : {0, 1, 2}) {
        const Page scanned = DevicePage(colour, 75, width, height);
        for (int rotation : {1, 2, 3}) {
            SCOPED_TRACE("colour " + std::to_string(colour) + ", rotation " + std::to_string(rotation));
            Announce(colour, 75, width, height, rotation);
            int calls = 0;
            std::string trouble;
            const Page page = MemoryPage(65535, calls, trouble);
            EXPECT_EQ(trouble, "");
            const Page expected = Turned(scanned, rotation == 1 ? 270 : rotation == 2 ? 90 : 180);
            ASSERT_EQ(page.width, expected.width);
            ASSERT_EQ(page.height, expected.height);
            EXPECT_EQ(FirstDifference(expected, page.rows.data(), page.RowBytes()), "");
            EXPECT_EQ(m_assistor->GetPageImage().GetWidth(), rotation == 3 ? width : height);
            g_LLD.DevMon_Close();
            m_assistor->FreePage();
            EXPECT_TRUE(TempFiles(m_root).empty()) << "the turned page's file replaced the scanned one's";
            m_assistor->SetState(500);
        }
    }
}

// Deskew straightens a document lying askew on the bed (at 1200 dpi it is skipped); the page's size before the fix
// is recorded either way, for the next page of the job.
TEST_F(PageTransferTest, DeskewStraightensASkewedDocument) {
    WriteControl("skew = 4\n");
    g_bAutoDeskew = TRUE;
    g_nPageWidthBeforeFix = 0;
    Announce(1, 150, 1240, 1754);
    ScanBeforeXferReady(); // as the scan road does when deskew needs the whole page first
    int calls = 0;
    std::string trouble;
    const Page page = MemoryPage(65535, calls, trouble);
    EXPECT_EQ(trouble, "");
    auto topEdge = [](const Page& p, int x) {
        for (int y = 0; y < p.height; ++y)
            if (p.Row(y)[x] < 100)
                return y;
        return -1;
    };
    const Page askew = DevicePage(1, 150, 1240, 1754, 4);
    EXPECT_GT(std::abs(topEdge(askew, 400) - topEdge(askew, 900)), 30) << "the scanned document lies askew";
    EXPECT_NEAR(topEdge(page, 400), topEdge(page, 900), 3) << "the frame's top edge is level after deskew";
    EXPECT_EQ(g_nPageWidthBeforeFix.load(), 1240);
    g_LLD.DevMon_Close();
    m_assistor->SetState(500);

    WriteControl("");
    g_nPageWidthBeforeFix = 0;
    g_nPageHeightBeforeFix = 0;
    Announce(1, 1200, 240, 120);
    ScanBeforeXferReady();
    const Page fine = MemoryPage(65535, calls, trouble);
    EXPECT_EQ(FirstDifference(DevicePage(1, 1200, 240, 120), fine.rows.data(), fine.RowBytes()), "");
    EXPECT_EQ(g_nPageWidthBeforeFix.load(), 240);
    EXPECT_EQ(g_nPageHeightBeforeFix.load(), 120);
    g_bAutoDeskew = FALSE;
}

// A rotation that cannot be made (no image-effect library, no room on the disk, a turn the library refuses)
// answers -1 and leaves the page as it was scanned; the transfer then fails and ends the job.
TEST_F(PageTransferTest, FailedRotationKeepsTheScannedPage) {
    WCHAR saved[MAX_PATH];
    wcscpy_s(saved, g_szEffectLibName);
    HMODULE recording = nullptr;
    for (int cause = 0; cause < 3; ++cause) {
        SCOPED_TRACE(cause == 0 ? "no library" : cause == 1 ? "no disk space" : "the library's turn fails");
        if (cause == 0) {
            wcscpy_s(g_szEffectLibName, u"kvxMissing.dll");
        } else if (cause == 1) {
            platform::testing::SetDiskFreeSpace(1000);
        } else {
            // Held loaded by the test, so the answer it is given outlives each use of the library.
            wcscpy_s(g_szEffectLibName, u"recTonalis.dll");
            WCHAR path[MAX_PATH];
            ASSERT_TRUE(GetCompanionPath(g_szEffectLibName, path));
            recording = LoadLibraryW(path);
            ASSERT_NE(recording, nullptr);
            reinterpret_cast<void (*)()>(GetProcAddress(recording, "Recording_Reset"))();
            reinterpret_cast<void (*)(const char*, int)>(GetProcAddress(recording, "Recording_SetResult"))(
                "RotationImg", 1);
        }
        Announce(1, 75, 100, 60, 2);
        ASSERT_EQ(g_LLD.DevMon_SetScanParameter(75, 75, 1, 0, 0, 1600, 960, 128, 0), 0);
        ASSERT_EQ(g_LLD.DevMon_StartScan(), 0);
        EXPECT_EQ(m_assistor->ScanToImageBuf_mapfile(m_window.get(), 100, 60, 1, 75), -1);
        ASSERT_TRUE(m_assistor->HasPage());
        CImage& image = m_assistor->GetPageImage();
        EXPECT_EQ(image.GetWidth(), 100);
        EXPECT_EQ(image.GetHeight(), 60);
        BYTE* data = nullptr;
        void* view = image.GetDataHandle(0, 6000, &data);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(FirstDifference(DevicePage(1, 75, 100, 60), data, 100), "");
        image.ReleaseDataHandle(view);
        EXPECT_EQ(TempFiles(m_root).size(), 1u) << "only the scanned page's file";

        std::vector<BYTE> buffer(65535);
        TW_IMAGEMEMXFER xfer{};
        xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
        m_window->errors.clear();
        EXPECT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_CANCEL);
        EXPECT_EQ(m_window->errors, std::vector<std::string>{"6 -1"});
        EXPECT_EQ(m_assistor->GetState(), 500);
        ExpectJobClosed("after the failed transfer");
        wcscpy_s(g_szEffectLibName, saved);
        platform::testing::SetDiskFreeSpace(100ULL << 30);
    }
    const std::string log = reinterpret_cast<const char* (*)()>(GetProcAddress(recording, "Recording_Log"))();
    EXPECT_NE(log.find("RotationImg 90"), std::string::npos) << "the library was asked to turn the page";
    FreeLibrary(recording);
}

// The room a turned page needs on the disk is its packed rows, whole bytes each, not padded.
TEST_F(PageTransferTest, TheDiskCheckOfATurnCountsWholeBytesOfEachRow) {
    for (auto [bpp, width, height, needed] :
         {std::tuple{1, 13, 10, 20ULL}, std::tuple{8, 13, 10, 130ULL}, std::tuple{24, 5, 3, 45ULL}}) {
        SCOPED_TRACE(std::to_string(bpp) + " bits, " + std::to_string(width) + " x " + std::to_string(height));
        platform::testing::SetDiskFreeSpace(needed);
        EXPECT_TRUE(CheckDiskSpaceForImage(bpp, width, height));
        platform::testing::SetDiskFreeSpace(needed - 1);
        EXPECT_FALSE(CheckDiskSpaceForImage(bpp, width, height));
    }
}

// The driver's second kind of success (its code 2) starts the page like the first: its rows are read.
TEST_F(PageTransferTest, TheDriversSecondSuccessStartsThePage) {
    // The simulated device does not really start on that answer: its first read is made to fail with a code of its
    // own, which shows that the read was made. A start taken as failed reads nothing and shows nothing.
    WriteControl("fault = ScanDrv_StartScan 2\nfault = ScanDrv_ReadScanData 12 once 1\n");
    Announce(1, 75, 40, 20);
    std::vector<BYTE> buffer(65535);
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
    EXPECT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_CANCEL);
    EXPECT_EQ(m_window->errors, std::vector<std::string>{"6 -210"});
    ExpectJobClosed("after the failed read");
}

// The page buffer that cannot be had: no page of that size (nothing at all, or 4 GiB and more) ends the job with
// the error box the scan shows itself.
TEST_F(PageTransferTest, PageBufferFailureEndsTheJob) {
    for (auto [width, height] : {std::pair{0, 100}, std::pair{100, -3}, std::pair{40000, 40000}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        m_manager.Clear();
        m_window->errors.clear();
        ASSERT_EQ(g_LLD.DevMon_Open("\\\\.\\Usbscan"), 0);
        g_b_devmon_close = FALSE;
        EXPECT_EQ(m_assistor->ScanToImageBuf_mapfile(m_window.get(), width, height, 2, 1200), -10000);
        EXPECT_EQ(m_window->errors, std::vector<std::string>{"Load String Error!"}) << "string 1105";
        EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 1);
        ExpectJobClosed("page buffer failure");
    }

    // Through a memory transfer (of a later page of the job): the scan's own box, none of the transfer's.
    Announce(1, 75, 0, 50);
    g_bScanStarted = TRUE;
    std::vector<BYTE> buffer(65535);
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
    m_window->errors.clear();
    EXPECT_EQ(Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_CANCEL);
    EXPECT_EQ(m_window->errors, std::vector<std::string>{"Load String Error!"});
    EXPECT_EQ(m_assistor->GetState(), 500);
}

// A native transfer makes sure first that the bitmap will fit; a bitmap that cannot be had after the scan ends the
// job with TWCC_LOWMEMORY.
TEST_F(PageTransferTest, NativeTransferWithoutMemoryForTheBitmap) {
    Announce(2, 75, 200, 100);
    platform::testing::SetAllocationCap(30000);
    TW_HANDLE handle = reinterpret_cast<TW_HANDLE>(1);
    EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_CANCEL);
    EXPECT_EQ(handle, nullptr);
    EXPECT_TRUE(CallsOf("ScanDrv_StartScan").empty()) << "nothing is scanned for a bitmap that cannot be";
    EXPECT_EQ(m_window->errors, std::vector<std::string>{"6 -100"});
    EXPECT_EQ(m_assistor->GetState(), 500);
    ExpectJobClosed("no memory before the scan");
    platform::testing::SetAllocationCap(std::nullopt);

    // The page scanned already (as auto-crop does before announcing it), the bitmap refused afterwards.
    Announce(2, 75, 200, 100);
    ASSERT_EQ(RunPageScan(m_window.get()), 0);
    g_bPageScanPending = FALSE;
    m_window->errors.clear();
    m_manager.Clear();
    platform::testing::SetAllocationCap(30000);
    EXPECT_EQ(Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
    platform::testing::SetAllocationCap(std::nullopt);
    EXPECT_EQ(Condition(), TWCC_LOWMEMORY);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(m_window->errors, std::vector<std::string>{"Load String Error!"}) << "string 1105";
    EXPECT_EQ(m_assistor->GetState(), 500);
    EXPECT_FALSE(m_window->busy);
    EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 1);
    ExpectJobClosed("no memory for the bitmap");
}

// A row window of the page that cannot be mapped: no bitmap, the page stays, the user is told.
TEST_F(PageTransferTest, BitmapOfAPageThatCannotBeReadIsNotBuilt) {
    Announce(1, 75, 64, 64);
    ASSERT_EQ(RunPageScan(m_window.get()), 0);
    int result = -1;
    EXPECT_EQ(m_assistor->BuildDib(64, 65, 1, nullptr, &result), nullptr) << "one row more than the page has";
    EXPECT_EQ(result, CDsAssistor::kNotBuilt);
    EXPECT_TRUE(m_assistor->HasPage());
    EXPECT_EQ(m_window->errors, std::vector<std::string>{"Load String Error!"});
    HGLOBAL dib = m_assistor->BuildDib(64, 64, 1, nullptr, &result);
    EXPECT_NE(dib, nullptr);
    EXPECT_EQ(result, CDsAssistor::kBuilt);
    GlobalFree(dib);
}

// A device that fails on the way: the transfer cancels, the error box names the driver's code, the device is
// closed and the application asked to close the source.
TEST_F(PageTransferTest, DeviceFaultsCancelTheTransfer) {
    struct Case {
        const char* fault;
        int code;
    };
    for (Case c : {Case{"ScanDrv_StartScan 8", -72}, Case{"ScanDrv_ReadScanData 8 once 40", -72},
                   Case{"ScanDrv_ReadScanData 12 once 1", -210}}) {
        for (int how = 0; how < 3; ++how) {
            SCOPED_TRACE(std::string(c.fault) + ", transfer " + std::to_string(how));
            // A change of the control file starts the device's call counts afresh.
            WriteControl(std::string("fault = ") + c.fault + "\n# transfer " + std::to_string(how) + "\n");
            m_manager.Clear();
            m_window->errors.clear();
            Announce(1, 75, 100, 100);
            const std::string path = m_root + "/page.bmp";
            ASSERT_EQ(SetFile(path, TWFF_BMP), TWRC_SUCCESS);
            TW_HANDLE handle = reinterpret_cast<TW_HANDLE>(1);
            std::vector<BYTE> buffer(65535);
            TW_IMAGEMEMXFER xfer{};
            xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
            const TW_UINT16 rc = how == 0   ? Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle)
                                 : how == 1 ? Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr)
                                            : Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
            EXPECT_EQ(rc, TWRC_CANCEL);
            EXPECT_EQ(m_assistor->GetState(), 500);
            EXPECT_EQ(m_window->errors, std::vector<std::string>{"6 " + std::to_string(c.code)});
            EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 1);
            EXPECT_FALSE(m_window->busy);
            if (how == 0) {
                EXPECT_EQ(handle, nullptr);
            }
            if (how == 1) {
                EXPECT_TRUE(std::filesystem::exists(path)) << "the application's file is deleted";
            }
            ExpectJobClosed("after the fault");
        }
    }
}

// A read that stalls until the user cancels: the transfer ends when the device gives up, by every mechanism, and
// the user's own Cancel is shown as no error.
TEST_F(PageTransferTest, StalledReadEndsWithTheCancelAndNoError) {
    for (int how = 0; how < 3; ++how) {
        SCOPED_TRACE("transfer " + std::to_string(how));
        WriteControl("stall = 1 30 0\n# transfer " + std::to_string(how) + "\n");
        m_manager.Clear();
        m_window->errors.clear();
        Announce(2, 75, 300, 100);
        const std::string path = m_root + "/page.bmp";
        ASSERT_EQ(SetFile(path, TWFF_BMP), TWRC_SUCCESS);
        std::thread cancel([] {
            for (int i = 0; i < 500 && !g_bFirstRowRead; ++i)
                Sleep(2);
            Sleep(100);
            g_bCancelScan = TRUE;
            g_LLD.DevMon_CancelScan();
        });
        TW_HANDLE handle = nullptr;
        std::vector<BYTE> buffer(65535);
        TW_IMAGEMEMXFER xfer{};
        xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
        const TW_UINT16 rc = how == 0   ? Call(m_nativeXfer, DAT_IMAGENATIVEXFER, MSG_GET, &handle)
                             : how == 1 ? Call(m_fileXfer, DAT_IMAGEFILEXFER, MSG_GET, nullptr)
                                        : Call(m_memXfer, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
        cancel.join();
        EXPECT_EQ(rc, TWRC_CANCEL);
        EXPECT_EQ(m_assistor->GetState(), 500);
        EXPECT_TRUE(m_window->errors.empty())
            << "a cancel is no error, yet the user was shown " << (m_window->errors.empty() ? "" : m_window->errors[0]);
        EXPECT_EQ(m_manager.Count(MSG_CLOSEDSREQ), 1);
        ExpectJobClosed("after the cancel");
        g_bCancelScan = FALSE;
    }
}

} // namespace
