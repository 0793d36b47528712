// The TIFF writer: tags and pixels read back with libtiff, tiffinfo, and the failure roads.
#include "devicescan/TiffPageWriter.h"
#include "tests/platform/gdiplus/page_stream.h"
#include "tests/support/DebugLines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

namespace {

struct TiffFields {
    uint32_t width = 0, height = 0;
    uint16_t bps = 0, spp = 0, compression = 0, photometric = 0, fill = 0, planar = 0, unit = 0;
    uint32_t subfile = 0;
    uint16_t page = 99, pages = 99;
    float xres = 0, yres = 0;
    std::string name;
    std::vector<std::vector<BYTE>> rows;
};

TiffFields ReadTiff(const std::string& path) {
    TiffFields f;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return f;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &f.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &f.height);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &f.bps);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &f.spp);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &f.compression);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &f.photometric);
    TIFFGetField(tif, TIFFTAG_FILLORDER, &f.fill);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &f.planar);
    TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &f.unit);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &f.xres);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &f.yres);
    TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &f.subfile);
    TIFFGetField(tif, TIFFTAG_PAGENUMBER, &f.page, &f.pages);
    char* name = nullptr;
    if (TIFFGetField(tif, TIFFTAG_PAGENAME, &name) && name)
        f.name = name;
    for (uint32_t y = 0; y < f.height; ++y) {
        std::vector<BYTE> row(TIFFScanlineSize(tif));
        TIFFReadScanline(tif, row.data(), y, 0);
        f.rows.push_back(std::move(row));
    }
    TIFFClose(tif);
    return f;
}

TEST(TiffPageWriter, OneBitPageKeepsItsBitsWithBlackAsZero) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(2550, 40, 1);
    auto stream = testpage::StreamOf(page);
    ASSERT_EQ(TiffPageWriter(stream.get(), u"C:\\bw.tif"), 0);
    TiffFields f = ReadTiff(root.Host(u"C:\\bw.tif"));
    EXPECT_EQ(f.width, 2550u);
    EXPECT_EQ(f.height, 40u);
    EXPECT_EQ(f.bps, 1);
    EXPECT_EQ(f.spp, 1);
    EXPECT_EQ(f.compression, COMPRESSION_LZW);
    EXPECT_EQ(f.photometric, PHOTOMETRIC_MINISBLACK);
    EXPECT_EQ(f.fill, FILLORDER_MSB2LSB);
    EXPECT_EQ(f.planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(f.unit, RESUNIT_INCH);
    EXPECT_FLOAT_EQ(f.xres, 300.0f) << "11811 pixels per metre is a 300-dpi page, not 299";
    EXPECT_FLOAT_EQ(f.yres, 300.0f);
    EXPECT_EQ(f.subfile, static_cast<uint32_t>(FILETYPE_PAGE));
    EXPECT_EQ(f.page, 0) << "page 1 of 1 is TIFF's (0, 1)";
    EXPECT_EQ(f.pages, 1);
    EXPECT_EQ(f.name, "Page 1");
    ASSERT_EQ(f.rows.size(), 40u);
    for (int y = 0; y < 40; ++y)
        ASSERT_EQ(0, std::memcmp(f.rows[y].data(), page.Row(y), f.rows[y].size())) << "row " << y;
    EXPECT_EQ(f.rows[0][0], 0x00) << "the black square at the top left has value 0";

    int info = testpage::Tool("tiffinfo", "'" + root.Host(u"C:\\bw.tif") + "' >/dev/null 2>&1");
    if (info >= 0) {
        EXPECT_EQ(info, 0) << "tiffinfo rejects the file";
    }
}

TEST(TiffPageWriter, GreyAndColourPagesComeBackExactly) {
    testpage::Root root;
    for (int bits : {8, 24}) {
        testpage::Page page = testpage::MakePage(101, 33, bits, 2952);
        auto stream = testpage::StreamOf(page);
        ASSERT_EQ(TiffPageWriter(stream.get(), u"C:\\page.tif"), 0);
        TiffFields f = ReadTiff(root.Host(u"C:\\page.tif"));
        EXPECT_EQ(f.bps, 8);
        EXPECT_EQ(f.spp, bits == 24 ? 3 : 1);
        EXPECT_EQ(f.photometric, bits == 24 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        EXPECT_FLOAT_EQ(f.xres, 75.0f);
        for (int y = 0; y < 33; ++y) {
            const BYTE* s = page.Row(y);
            for (int x = 0; x < 101; ++x) {
                if (bits == 24)
                    ASSERT_TRUE(f.rows[y][x * 3] == s[x * 3 + 2] && f.rows[y][x * 3 + 1] == s[x * 3 + 1] &&
                                f.rows[y][x * 3 + 2] == s[x * 3])
                        << "red-green-blue at " << x << "," << y;
                else
                    ASSERT_EQ(f.rows[y][x], s[x]);
            }
        }
    }
}

TEST(TiffPageWriter, ResolutionIsRoundedUpToMultiplesOf75) {
    EXPECT_EQ(TiffResolution(2952), 75);
    EXPECT_EQ(TiffResolution(5905), 150);
    EXPECT_EQ(TiffResolution(11811), 300);
    EXPECT_EQ(TiffResolution(23622), 600);
}

TEST(TiffPageWriter, FailuresAnswerMinusOneAndLeaveNoFile) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(200, 100, 24);
    std::vector<BYTE> bytes = testpage::BmpFile(page);
    // A page whose last row is missing.
    std::vector<BYTE> cut(bytes.begin(), bytes.end() - 10);
    auto shortStream = testpage::StreamOf(cut);
    EXPECT_EQ(TiffPageWriter(shortStream.get(), u"C:\\short.tif"), -1);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\short.tif")));
    // A depth the writer does not know.
    testpage::Page four = testpage::MakePage(8, 8, 8);
    std::vector<BYTE> fourBytes = testpage::BmpFile(four);
    fourBytes[28] = 4;
    auto fourStream = testpage::StreamOf(fourBytes);
    EXPECT_EQ(TiffPageWriter(fourStream.get(), u"C:\\four.tif"), -1);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\four.tif")));
    // A height of -2^31: neither a bottom-up nor a top-down page.
    std::vector<BYTE> tall = bytes;
    const BYTE lowest[4] = {0x00, 0x00, 0x00, 0x80};
    std::copy(std::begin(lowest), std::end(lowest), tall.begin() + 22);
    auto tallStream = testpage::StreamOf(tall);
    EXPECT_EQ(TiffPageWriter(tallStream.get(), u"C:\\tall.tif"), -1);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\tall.tif")));
    // A width no page has: refused before a row of it is allocated.
    std::vector<BYTE> wide = bytes;
    const BYTE widest[4] = {0xFF, 0xFF, 0xFF, 0x7F};
    std::copy(std::begin(widest), std::end(widest), wide.begin() + 18);
    auto wideStream = testpage::StreamOf(wide);
    EXPECT_EQ(TiffPageWriter(wideStream.get(), u"C:\\wide.tif"), -1);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\wide.tif")));
    // A header that is not there.
    auto tiny = testpage::StreamOf(std::vector<BYTE>(20, 0));
    EXPECT_EQ(TiffPageWriter(tiny.get(), u"C:\\tiny.tif"), -1);
    // A folder that cannot exist, and a full disk.
    auto stream = testpage::StreamOf(bytes);
    EXPECT_EQ(TiffPageWriter(stream.get(), u"C:\\nowhere\\x\\p.tif"), -1);
    {
        testpage::FileSizeLimit full(3000);
        auto again = testpage::StreamOf(bytes);
        EXPECT_EQ(TiffPageWriter(again.get(), u"C:\\full.tif"), -1);
    }
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\full.tif")));
}

// What libtiff has to say about a file reaches the debug output with the file's name, never standard error.
TEST(TiffPageWriter, LibtiffMessagesGoToTheDebugOutputWithTheFileName) {
    testpage::Root root;
    testsupport::DebugLines debug; // gone with the test, also when an assertion ends it early
    debug.Capture();
    const std::string errors = root.Host(u"C:\\stderr.txt");
    const int saved = dup(2);
    const int capture = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(capture, 0);
    dup2(capture, 2);
    {
        testpage::FileSizeLimit full(3000);
        auto stream = testpage::StreamOf(testpage::BmpFile(testpage::MakePage(200, 100, 24)));
        EXPECT_EQ(TiffPageWriter(stream.get(), u"C:\\full.tif"), -1);
    }
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(capture);
    debug.Release();
    const std::vector<std::u16string> lines = debug.Lines();

    EXPECT_TRUE(testpage::ReadAll(errors).empty()) << "libtiff wrote to standard error";
    bool named = false;
    for (const std::u16string& line : lines)
        named = named || (line.starts_with(u"TIFF error: C:\\full.tif: ") && line.size() > 24);
    EXPECT_TRUE(named) << "no debug line names the file; " << lines.size() << " lines";
}

} // namespace
