// The page PDF: exact bytes of a one-bit and a JPEG page, read back by the standard tools, and its failure roads.
#include "devicescan/PagePdfWriter.h"
#include "platform/gdiplus/gdiplus.h"
#include "tests/devicescan/pdf_tools.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// 2550 x 3300 at 300 dpi: the left half black, the right half white (one bit) or red and blue (colour, grey).
testpage::Page HalfAndHalf(int bits) {
    testpage::Page page = testpage::MakePage(2550, 3300, bits);
    for (int y = 0; y < page.height; ++y) {
        BYTE* row = page.Row(y);
        std::memset(row, 0, page.Stride());
        for (int x = page.width / 2; x < page.width; ++x) {
            if (bits == 1)
                row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            else if (bits == 8)
                row[x] = 255;
        }
        for (int x = 0; bits == 24 && x < page.width; ++x) {
            bool left = x < page.width / 2;
            row[x * 3] = left ? 0 : 255;     // blue
            row[x * 3 + 2] = left ? 255 : 0; // red
        }
    }
    return page;
}

// The file as the writer must lay it out, built here piece by piece with its own offset bookkeeping.
std::string ExpectedPdf(bool jpeg, int width, int height, int w, int h, const std::string& imageData) {
    std::string pdf = "%PDF-1.3 \r";
    std::vector<size_t> at(11); // objects 1 to 10 by number, [0] unused
    auto object = [&](int n, const std::string& text) {
        at[n] = pdf.size();
        pdf += text;
    };
    object(1, "1 0 obj\rendobj\r");
    object(2, "2 0 obj\r<<\r/Type /Catalog\r/Pages 6 0 R\r>>\rendobj\r");
    object(3, "3 0 obj\rendobj\r");
    object(4, "4 0 obj\rendobj\r");
    object(5, "5 0 obj\r<</Creator()/Title()/Author()/Subject(image)/Producer(Velmora)>>\rendobj\r");
    std::string stream = "q\r" + std::to_string(w) + " 0 0 " + std::to_string(h) + " 0 0 cm \r/im1 Do\rQ\r";
    object(7, "7 0 obj\r<<\r/Length 8 0 R\r>>\rstream\r\n" + stream + "endstream\rendobj\r");
    object(8, "8 0 obj\r" + std::to_string(stream.size()) + "\rendobj\r");
    std::string page = "9 0 obj\r<<\r/Type /Page\r/Parent 6 0 R\r/Resources <<\r/XObject <<\r/im1 10 0 R \r>>\r";
    if (jpeg)
        page += "/ProcSet [/PDF /ImageC]\r>>\r/Contents [ 7 0 R ]\r/MediaBox [ 0 0 " + std::to_string(w) + " " +
                std::to_string(h) + " ]\r>>\rendobj\r";
    else
        page += "/ProcSet [/PDF /ImageB]\r>>\r/Contents [ 7 0 R  ]\r>>\rendobj\r";
    object(9, page);
    std::string image = "10 0 obj\r<<\r/Type /XObject\r/Subtype /Image\r/Name /im1\r/Width " + std::to_string(width) +
                        "\r/Height " + std::to_string(height);
    if (jpeg)
        image += "\r/Filter /DCTDecode\r/BitsPerComponent 8\r/ColorSpace /DeviceRGB \r/Length ";
    else
        image += "\r/BitsPerComponent 1\r/ColorSpace /DeviceGray\r/Length ";
    object(10, image + std::to_string(imageData.size()) + "\r>>\rstream\r\n" + imageData + "\rendstream\rendobj\r");
    object(6, "6 0 obj\r<<\r/Kids [9 0 R ]\r/Count 1\r/Type /Pages\r/MediaBox [ 0 0 " + std::to_string(w) + " " +
                  std::to_string(h) + " ]\r>>\rendobj\r");
    size_t table = pdf.size();
    pdf += "xref\r0 11\r0000000000 65535 f \r";
    char entry[32];
    for (int n = 1; n <= 10; ++n) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \r", at[n]);
        pdf += entry;
    }
    pdf += "trailer\r<<\r/Size 11\r/Root 2 0 R\r/Info 5 0 R\r>>\rstartxref\r" + std::to_string(table) + "\r%%EOF\r";
    return pdf;
}

bool TempFolderIsEmpty(const testpage::Root& root) {
    return std::filesystem::is_empty(root.path() / "Temp");
}

TEST(PagePdf, OneBitPageIsWrittenByteForByte) {
    testpage::Root root;
    testpage::Page page = HalfAndHalf(1);
    auto stream = testpage::StreamOf(page);
    ASSERT_EQ(SavePagePdf(stream.get(), u"C:\\page.pdf"), 0);
    std::string rows;
    for (int y = 0; y < page.height; ++y)
        rows.append(reinterpret_cast<const char*>(page.Row(y)), (page.width + 7) / 8);
    ASSERT_EQ(rows.size(), 1052700u);
    std::string expected = ExpectedPdf(false, 2550, 3300, 612, 792, rows);
    std::string written = pdftest::Text(testpage::ReadAll(root.Host(u"C:\\page.pdf")));
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "the one-bit page PDF differs from its layout";
    EXPECT_NE(written.find("8 0 obj\r32\rendobj\r"), std::string::npos) << "contents stream of 32 bytes";
    EXPECT_TRUE(TempFolderIsEmpty(root)) << "temp.bmp must be gone";

    std::string host = root.Host(u"C:\\page.pdf");
    pdftest::ExpectQpdfAccepts(host, true);
    pdftest::Pixels pixels;
    if (pdftest::Render(host, 1, 10, pixels)) {
        EXPECT_EQ(pixels.width, 85); // 612 points at 10 dpi
        EXPECT_LT(pixels.at(10, 50)[0], 40) << "left half black";
        EXPECT_GT(pixels.at(75, 50)[0], 215) << "right half white (bit value 1 is white)";
    }
}

TEST(PagePdf, ColourPageIsWrittenByteForByteAroundItsJpeg) {
    testpage::Root root;
    testpage::Page page = HalfAndHalf(24);
    // The embedded JPEG is the encoder's output at the quality for 300 dpi (65).
    {
        auto stream = testpage::StreamOf(page);
        Gdiplus::Bitmap image(stream.get());
        CLSID jpeg{0x557cf401, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        ULONG quality = 65;
        Gdiplus::EncoderParameters parameters{1, {{Gdiplus::EncoderQuality, 1, 4, &quality}}};
        ASSERT_EQ(image.Save(u"C:\\reference.jpg", &jpeg, &parameters), Gdiplus::Ok);
    }
    std::string jpegBytes = pdftest::Text(testpage::ReadAll(root.Host(u"C:\\reference.jpg")));
    auto stream = testpage::StreamOf(page);
    ASSERT_EQ(SavePagePdf(stream.get(), u"C:\\colour.pdf"), 0);
    std::string written = pdftest::Text(testpage::ReadAll(root.Host(u"C:\\colour.pdf")));
    std::string expected = ExpectedPdf(true, 2550, 3300, 612, 792, jpegBytes);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "the JPEG page PDF differs from its layout";
    EXPECT_TRUE(TempFolderIsEmpty(root)) << "the temporary JPEG must be gone";

    std::string host = root.Host(u"C:\\colour.pdf");
    pdftest::ExpectQpdfAccepts(host, true);
    pdftest::Pixels pixels;
    if (pdftest::Render(host, 1, 10, pixels)) {
        const BYTE* left = pixels.at(10, 50);
        const BYTE* right = pixels.at(75, 50);
        EXPECT_TRUE(left[0] > 200 && left[2] < 60) << "left half red";
        EXPECT_TRUE(right[2] > 200 && right[0] < 60) << "right half blue";
    }
}

TEST(PagePdf, GreyPageBecomesAThreeComponentJpeg) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(300, 200, 8, 5905); // 150 dpi
    auto stream = testpage::StreamOf(page);
    ASSERT_EQ(SavePagePdf(stream.get(), u"C:\\grey.pdf"), 0);
    std::string written = pdftest::Text(testpage::ReadAll(root.Host(u"C:\\grey.pdf")));
    EXPECT_NE(written.find("/MediaBox [ 0 0 144 96 ]"), std::string::npos);
    size_t jpeg = written.find("stream\r\n\xFF\xD8");
    ASSERT_NE(jpeg, std::string::npos);
    // SOF0 of a three-component frame: FF C0, length 17, precision 8, height, width, 3 components.
    size_t sof = written.find("\xFF\xC0", jpeg);
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(static_cast<BYTE>(written[sof + 9]), 3) << "components of the grey page's JPEG";
    pdftest::ExpectXrefPointsAtObjects(written, "\r");
    pdftest::ExpectQpdfAccepts(root.Host(u"C:\\grey.pdf"), true);
}

TEST(PagePdf, TemporaryJpegsNeverShareAName) {
    testpage::Root root;
    auto stream = testpage::StreamOf(testpage::MakePage(40, 30, 24));
    WCHAR first[MAX_PATH], second[MAX_PATH];
    std::u16string a = PagePdf_SaveTempJpeg(stream.get(), first, 300);
    std::u16string b = PagePdf_SaveTempJpeg(stream.get(), second, 300);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b) << "two pages within one second";
    EXPECT_EQ(std::u16string(first), a);
    std::u16string pid = platform::Format(u"_%lu_", static_cast<unsigned long>(GetCurrentProcessId()));
    EXPECT_NE(a.find(pid), std::u16string::npos) << "the name carries the process";
    EXPECT_TRUE(testpage::Exists(root.Host(a)) && testpage::Exists(root.Host(b)));
}

TEST(PagePdf, QualityFallsWithTheResolution) {
    EXPECT_EQ(PagePdf_JpegQuality(75), 91);
    EXPECT_EQ(PagePdf_JpegQuality(150), 82);
    EXPECT_EQ(PagePdf_JpegQuality(300), 65);
    EXPECT_EQ(PagePdf_JpegQuality(600), 30);
    EXPECT_EQ(PagePdf_JpegQuality(1200), 0) << "never below the encoder's range";
}

TEST(PagePdf, ResolutionIsRoundedNotTruncated) {
    testpage::Root root;
    for (LONG pels : {2952, 5905, 11811, 23622}) {
        auto stream = testpage::StreamOf(testpage::MakePage(10, 10, 1, pels));
        int width = 0, height = 0, resolution = 0, bits = 0;
        ASSERT_TRUE(ReadImageInfo(stream.get(), width, height, resolution, bits));
        EXPECT_EQ(resolution, pels == 2952 ? 75 : pels == 5905 ? 150 : pels == 11811 ? 300 : 600) << pels;
        EXPECT_EQ(bits, 1);
    }
}

TEST(PagePdf, FailuresLeaveNoFile) {
    testpage::Root root;
    auto good = testpage::StreamOf(testpage::MakePage(400, 300, 24));
    // An output folder that cannot exist.
    ASSERT_EQ(SavePagePdf(good.get(), u"C:\\x.pdf"), 0);
    EXPECT_EQ(SavePagePdf(good.get(), u"C:\\x.pdf\\y\\z.pdf"), -1);
    // A page that cannot be read: the file was opened, and goes again.
    auto garbage = testpage::StreamOf(std::vector<BYTE>(100, 'x'));
    EXPECT_EQ(SavePagePdf(garbage.get(), u"C:\\garbage.pdf"), -1);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\garbage.pdf")));
    // A full disk while the PDF is written: the temporary JPEG still fits, the PDF around it does not.
    {
        auto stream = testpage::StreamOf(testpage::MakePage(400, 300, 24));
        Gdiplus::Bitmap image(stream.get());
        CLSID jpeg{0x557cf401, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        ULONG quality = 65;
        Gdiplus::EncoderParameters parameters{1, {{Gdiplus::EncoderQuality, 1, 4, &quality}}};
        ASSERT_EQ(image.Save(u"C:\\reference.jpg", &jpeg, &parameters), Gdiplus::Ok);
    }
    size_t jpegSize = testpage::ReadAll(root.Host(u"C:\\reference.jpg")).size();
    {
        testpage::FileSizeLimit full(jpegSize + 300);
        EXPECT_EQ(SavePagePdf(good.get(), u"C:\\full.pdf"), -1);
    }
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\full.pdf")));
    EXPECT_TRUE(TempFolderIsEmpty(root));
    // The writer is idle again: the next page writes a whole file.
    EXPECT_EQ(SavePagePdf(good.get(), u"C:\\after.pdf"), 0);
    pdftest::ExpectXrefPointsAtObjects(pdftest::Text(testpage::ReadAll(root.Host(u"C:\\after.pdf"))), "\r");
}

} // namespace
