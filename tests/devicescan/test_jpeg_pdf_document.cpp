// The several-page PDF: exact bytes of a three-page document, the sizes taken from each JPEG, and its failure roads.
#include "devicescan/JpegPdfDocument.h"
#include "platform/gdiplus/gdiplus.h"
#include "tests/devicescan/pdf_tools.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <jpeglib.h>

namespace {

// Saves a page as a JPEG file (default quality) and answers its bytes.
std::string MakeJpeg(const testpage::Root& root, const char16_t* path, const testpage::Page& page) {
    auto stream = testpage::StreamOf(page);
    Gdiplus::Bitmap image(stream.get());
    CLSID jpeg{0x557cf401, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    EXPECT_EQ(image.Save(path, &jpeg), Gdiplus::Ok);
    return pdftest::Text(testpage::ReadAll(root.Host(path)));
}

// A JPEG of one colour as other programs write them, through libjpeg: 1 (grey), 3 (RGB) or 4 (CMYK) samples per
// pixel, CMYK with or without the Adobe marker, and `metadata` APP2 blocks of 65533 bytes (an ICC profile's
// size) before the frame header. Answers its length.
DWORD WriteJpeg(const std::string& hostPath, int width, int height, const std::vector<JSAMPLE>& colour,
                bool adobe = true, int metadata = 0) {
    FILE* file = std::fopen(hostPath.c_str(), "wb");
    if (file == nullptr)
        return 0;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = static_cast<int>(colour.size());
    cinfo.in_color_space = colour.size() == 1 ? JCS_GRAYSCALE : colour.size() == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    const std::vector<JOCTET> block(65533, 0x5A);
    for (int i = 0; i < metadata; ++i)
        jpeg_write_marker(&cinfo, JPEG_APP0 + 2, block.data(), static_cast<unsigned>(block.size()));
    std::vector<JSAMPLE> row;
    for (int x = 0; x < width; ++x)
        row.insert(row.end(), colour.begin(), colour.end());
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const long length = std::ftell(file);
    std::fclose(file);
    return static_cast<DWORD>(length);
}

struct JpegPage {
    std::string bytes;
    int width, height;
};

// The document as its layout says, with each image entry at its "n 0 obj".
std::string ExpectedDocument(const std::vector<JpegPage>& pages, int dpi) {
    std::string pdf = "%PDF-1.3\r\n%\xFF---\xFF\r\n";
    std::vector<size_t> entries(2);
    std::string kids;
    for (size_t k = 0; k < pages.size(); ++k) {
        const JpegPage& page = pages[k];
        int n = 2 + 5 * static_cast<int>(k);
        entries.resize(n + 5);
        entries[n] = pdf.size() + 2;
        pdf +=
            "\r\n" + std::to_string(n) +
            " 0 obj\r\n<</Type/XObject/Subtype/Image/Filter/DCTDecode/BitsPerComponent 8/ColorSpace/DeviceRGB/Width " +
            std::to_string(page.width) + "/Height " + std::to_string(page.height) + "/Length " +
            std::to_string(page.bytes.size()) + ">>\r\nstream\r\n" + page.bytes + "\r\nendstream\r\nendobj\r\n";
        entries[n + 1] = pdf.size();
        pdf += std::to_string(n + 1) + " 0 obj\r\n<</Type/Page/Parent 1 0 R/MediaBox[0 0 " +
               std::to_string(page.width * 72 / dpi) + " " + std::to_string(page.height * 72 / dpi) + "]/Contents " +
               std::to_string(n + 2) + " 0 R/Resources " + std::to_string(n + 4) + " 0 R>>\r\nendobj\r\n";
        char content[128];
        std::snprintf(content, sizeof content, "q\r\n %.2f 0 0 %.2f 0 0 cm \r\n/I%zu Do\r\nQ\r\n",
                      page.width * 72.0 / dpi, page.height * 72.0 / dpi, k);
        entries[n + 2] = pdf.size();
        pdf += std::to_string(n + 2) + " 0 obj\r\n<</Length " + std::to_string(n + 3) + " 0 R>>stream\r\n" + content +
               "endstream\r\nendobj\r\n";
        entries[n + 3] = pdf.size();
        pdf += std::to_string(n + 3) + " 0 obj\r\n" + std::to_string(std::strlen(content)) + "\r\nendobj\r\n";
        entries[n + 4] = pdf.size();
        pdf += std::to_string(n + 4) + " 0 obj\r\n<</ProcSet[/PDF/ImageB]/XObject<</I" + std::to_string(k) + " " +
               std::to_string(n) + " 0 R>>>>\r\nendobj\r\n";
        kids += (kids.empty() ? "" : " ") + std::to_string(n + 1) + " 0 R";
    }
    int m = 2 + 5 * static_cast<int>(pages.size());
    entries.resize(m + 1);
    entries[m] = pdf.size();
    pdf += std::to_string(m) + " 0 obj\r\n<</Type/Catalog/Pages 1 0 R>>\r\nendobj\r\n";
    entries[1] = pdf.size();
    pdf += "1 0 obj\r\n<</Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + ">>\r\nendobj\r\n";
    size_t table = pdf.size();
    pdf += "xref\r\n0 " + std::to_string(m + 1) + "\r\n0000000000 65535 f\r\n";
    char entry[32];
    for (int i = 1; i <= m; ++i) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", entries[i]);
        pdf += entry;
    }
    pdf += "trailer\r\n<</Root " + std::to_string(m) + " 0 R /Size " + std::to_string(m + 1) + ">>\r\nstartxref\r\n" +
           std::to_string(table) + "\r\n%%EOF\r\n";
    return pdf;
}

TEST(JpegPdfDocument, ThreePagesAreWrittenByteForByte) {
    testpage::Root root;
    std::vector<JpegPage> pages = {
        {MakeJpeg(root, u"C:\\Temp\\Jpg1.tmp", testpage::MakePage(160, 120, 24)), 160, 120},
        {MakeJpeg(root, u"C:\\Temp\\Jpg2.tmp", testpage::MakePage(80, 200, 8)), 80, 200},
        {MakeJpeg(root, u"C:\\Temp\\Jpg3.tmp", testpage::MakePage(300, 50, 1)), 300, 50},
    };
    const char16_t* paths[] = {u"C:\\Temp\\Jpg1.tmp", u"C:\\Temp\\Jpg2.tmp", u"C:\\Temp\\Jpg3.tmp"};
    // The requested page size (A4 at 100 dpi) differs from every JPEG: each page takes its own JPEG's size.
    JpegPdfDocument* doc = PDF_CreateDocument(827, 1169);
    ASSERT_NE(doc, nullptr);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(PDF_AddJpeg(paths[i], doc, 827, 1169, 100, static_cast<DWORD>(pages[i].bytes.size())), 0u);
    LONGLONG total = 0;
    ASSERT_EQ(PDF_EndDocument(doc, &total), 0u);
    ASSERT_EQ(PDF_ToFile(doc, u"C:\\three.pdf"), 0u);

    std::string written = pdftest::Text(testpage::ReadAll(root.Host(u"C:\\three.pdf")));
    std::string expected = ExpectedDocument(pages, 100);
    EXPECT_EQ(static_cast<LONGLONG>(written.size()), total);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "the three-page PDF differs from its layout";
    pdftest::ExpectXrefPointsAtObjects(written, "\r\n");

    std::string host = root.Host(u"C:\\three.pdf");
    pdftest::ExpectQpdfAccepts(host);
    pdftest::Pixels pixels;
    if (pdftest::Render(host, 2, 72, pixels)) {
        EXPECT_EQ(pixels.width, 57); // 80 pixels at 100 dpi in points
        EXPECT_EQ(pixels.height, 144);
    }
    // Page 1 runs from red on the left to blue on the right.
    if (pdftest::Render(host, 1, 72, pixels)) {
        const BYTE* left = pixels.at(2, pixels.height / 2);
        const BYTE* right = pixels.at(pixels.width - 3, pixels.height / 2);
        EXPECT_TRUE(left[0] > 200 && left[2] < 60) << "left edge red";
        EXPECT_TRUE(right[2] > 200 && right[0] < 60) << "right edge blue";
    }
}

TEST(JpegPdfDocument, A4PageAt300DpiHasItsMediaBoxAndMatrix) {
    testpage::Root root;
    std::string jpeg = MakeJpeg(root, u"C:\\Temp\\a4.jpg", testpage::MakePage(2480, 3508, 8));
    JpegPdfDocument* doc = PDF_CreateDocument(2480, 3508);
    ASSERT_EQ(PDF_AddJpeg(u"C:\\Temp\\a4.jpg", doc, 2480, 3508, 300, static_cast<DWORD>(jpeg.size())), 0u);
    ASSERT_EQ(PDF_EndDocument(doc, nullptr), 0u);
    ASSERT_EQ(PDF_ToFile(doc, u"C:\\a4.pdf"), 0u);
    std::string written = pdftest::Text(testpage::ReadAll(root.Host(u"C:\\a4.pdf")));
    EXPECT_NE(written.find("/MediaBox[0 0 595 841]"), std::string::npos);
    EXPECT_NE(written.find("q\r\n 595.20 0 0 841.92 0 0 cm \r\n/I0 Do\r\nQ\r\n"), std::string::npos);
    EXPECT_NE(written.find("7 0 obj\r\n<</Type/Catalog/Pages 1 0 R>>"), std::string::npos);
    EXPECT_NE(written.find("xref\r\n0 8\r\n"), std::string::npos);
    std::vector<long long> offsets = pdftest::XrefOffsets(written, "\r\n");
    EXPECT_EQ(offsets.size(), 8u);
    pdftest::ExpectQpdfAccepts(root.Host(u"C:\\a4.pdf"));
}

TEST(JpegPdfDocument, TheThousandAndFirstPageIsRefused) {
    testpage::Root root;
    std::string jpeg = MakeJpeg(root, u"C:\\Temp\\small.jpg", testpage::MakePage(16, 16, 24));
    JpegPdfDocument* doc = PDF_CreateDocument(16, 16);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(PDF_AddJpeg(u"C:\\Temp\\small.jpg", doc, 16, 16, 75, static_cast<DWORD>(jpeg.size())), 0u) << i;
    EXPECT_EQ(PDF_AddJpeg(u"C:\\Temp\\small.jpg", doc, 16, 16, 75, static_cast<DWORD>(jpeg.size())), 1627u);
    LONGLONG total = 0;
    EXPECT_EQ(PDF_EndDocument(doc, &total), 0u) << "the table of 1000 pages fits the tail";
    PDF_FreeDocument(doc);
    EXPECT_EQ(PDF_AddJpeg(u"C:\\Temp\\small.jpg", nullptr, 16, 16, 75, 10), 1627u);
}

TEST(JpegPdfDocument, FailedOutputLeavesNoFile) {
    testpage::Root root;
    std::string jpeg = MakeJpeg(root, u"C:\\Temp\\p.jpg", testpage::MakePage(200, 200, 24));
    auto build = [&](DWORD length) {
        JpegPdfDocument* doc = PDF_CreateDocument(200, 200);
        EXPECT_EQ(PDF_AddJpeg(u"C:\\Temp\\p.jpg", doc, 200, 200, 150, length), 0u);
        EXPECT_EQ(PDF_EndDocument(doc, nullptr), 0u);
        return doc;
    };
    DWORD size = static_cast<DWORD>(jpeg.size());
    // A length that is not the file's: the bytes written would not match the object.
    EXPECT_EQ(PDF_ToFile(build(size + 1), u"C:\\mismatch.pdf"), 1627u);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\mismatch.pdf")));
    // A folder that cannot exist gives the system's error code.
    EXPECT_NE(PDF_ToFile(build(size), u"C:\\Temp\\p.jpg\\x.pdf"), 0u);
    // A full disk.
    {
        testpage::FileSizeLimit full(size / 2);
        EXPECT_EQ(PDF_ToFile(build(size), u"C:\\full.pdf"), 1627u);
    }
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\full.pdf")));
    // A JPEG that went away before the document was written.
    JpegPdfDocument* doc = build(size);
    DeleteFileW(u"C:\\Temp\\p.jpg");
    EXPECT_EQ(PDF_ToFile(doc, u"C:\\gone.pdf"), 1627u);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\gone.pdf")));
    // A file that is not a JPEG cannot be added.
    JpegPdfDocument* other = PDF_CreateDocument(1, 1);
    std::ofstream(root.Host(u"C:\\text.jpg")) << "not a JPEG";
    EXPECT_EQ(PDF_AddJpeg(u"C:\\text.jpg", other, 1, 1, 75, 10), 1627u);
    EXPECT_EQ(PDF_AddJpeg(u"C:\\nothing.jpg", other, 1, 1, 75, 10), 1627u);
    PDF_FreeDocument(other);
}

// Each page's image takes the colour space of its JPEG's components, so that grey and CMYK pages of other programs
// show in their colours; the Adobe marker's CMYK is stored inverted and gets the decode array that turns it back.
TEST(JpegPdfDocument, EachImageDeclaresTheColourSpaceOfItsJpeg) {
    testpage::Root root;
    struct Kind {
        const char16_t* path;
        std::vector<JSAMPLE> colour;
        bool adobe;
        const char* space;
        BYTE rendered[3]; // {0, 0, 0}: cyan, whose shade depends on the renderer's CMYK conversion
    };
    // Cyan ink: as stored by Adobe's programs (0 = full ink), and as plain CMYK.
    const Kind kinds[] = {
        {u"C:\\Temp\\grey.jpg", {64}, false, "/ColorSpace/DeviceGray/Width", {64, 64, 64}},
        {u"C:\\Temp\\rgb.jpg", {200, 40, 40}, false, "/ColorSpace/DeviceRGB/Width", {200, 40, 40}},
        {u"C:\\Temp\\adobe.jpg",
         {0, 255, 255, 255},
         true,
         "/ColorSpace/DeviceCMYK/Decode[1 0 1 0 1 0 1 0]/Width",
         {0, 0, 0}},
        {u"C:\\Temp\\cmyk.jpg", {255, 0, 0, 0}, false, "/ColorSpace/DeviceCMYK/Width", {0, 0, 0}},
    };
    JpegPdfDocument* doc = PDF_CreateDocument(64, 64);
    for (const Kind& kind : kinds) {
        const DWORD length = WriteJpeg(root.Host(kind.path), 64, 64, kind.colour, kind.adobe);
        ASSERT_EQ(PDF_AddJpeg(kind.path, doc, 64, 64, 72, length), 0u) << kind.space;
    }
    ASSERT_EQ(PDF_EndDocument(doc, nullptr), 0u);
    ASSERT_EQ(PDF_ToFile(doc, u"C:\\kinds.pdf"), 0u);
    const std::string host = root.Host(u"C:\\kinds.pdf");
    const std::string written = pdftest::Text(testpage::ReadAll(host));
    size_t at = 0;
    for (const Kind& kind : kinds) {
        at = written.find(kind.space, at);
        EXPECT_NE(at, std::string::npos) << "missing, in page order: " << kind.space;
    }
    pdftest::ExpectXrefPointsAtObjects(written, "\r\n");
    pdftest::ExpectQpdfAccepts(host);
    for (int page = 1; page <= 4; ++page) {
        pdftest::Pixels pixels;
        if (!pdftest::Render(host, page, 72, pixels))
            break;
        const BYTE* middle = pixels.at(pixels.width / 2, pixels.height / 2);
        const Kind& kind = kinds[page - 1];
        if (kind.rendered[0] == 0 && kind.rendered[1] == 0 && kind.rendered[2] == 0) {
            EXPECT_TRUE(middle[0] < 60 && middle[1] > 120 && middle[2] > 120)
                << kind.space << " is not cyan: " << +middle[0] << " " << +middle[1] << " " << +middle[2];
            continue;
        }
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(middle[c], kind.rendered[c], 12) << kind.space << " channel " << c;
    }

    // Two components have no colour space in a PDF.
    const BYTE twoComponents[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0E, 8,    0, 16,   0,
                                  16,   2,    1,    0x11, 0,    2,    0x11, 0, 0xFF, 0xD9};
    std::ofstream(root.Host(u"C:\\Temp\\two.jpg"), std::ios::binary)
        .write(reinterpret_cast<const char*>(twoComponents), sizeof twoComponents);
    JpegPdfDocument* other = PDF_CreateDocument(16, 16);
    EXPECT_EQ(PDF_AddJpeg(u"C:\\Temp\\two.jpg", other, 16, 16, 72, sizeof twoComponents), 1627u);
    PDF_FreeDocument(other);
}

// Cameras and editors put EXIF and ICC blocks before the frame header, often more than 64 KiB of them.
TEST(JpegPdfDocument, TheFrameHeaderIsFoundBehindLargeMetadata) {
    testpage::Root root;
    const DWORD length = WriteJpeg(root.Host(u"C:\\Temp\\icc.jpg"), 48, 32, {10, 120, 250}, false, 4);
    ASSERT_GT(length, 4u * 65535);
    JpegPdfDocument* doc = PDF_CreateDocument(1, 1);
    ASSERT_EQ(PDF_AddJpeg(u"C:\\Temp\\icc.jpg", doc, 1, 1, 72, length), 0u);
    ASSERT_EQ(PDF_EndDocument(doc, nullptr), 0u);
    ASSERT_EQ(PDF_ToFile(doc, u"C:\\icc.pdf"), 0u);
    const std::string written = pdftest::Text(testpage::ReadAll(root.Host(u"C:\\icc.pdf")));
    EXPECT_NE(written.find("/ColorSpace/DeviceRGB/Width 48/Height 32/Length " + std::to_string(length)),
              std::string::npos);
    EXPECT_NE(written.find("/MediaBox[0 0 48 32]"), std::string::npos);

    // A file that ends inside its segments, or whose segment runs past its end, has no frame header.
    std::vector<BYTE> bytes = testpage::ReadAll(root.Host(u"C:\\Temp\\icc.jpg"));
    bytes.resize(3 * 65535);
    std::ofstream(root.Host(u"C:\\Temp\\cut.jpg"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    JpegPdfDocument* cut = PDF_CreateDocument(1, 1);
    EXPECT_EQ(PDF_AddJpeg(u"C:\\Temp\\cut.jpg", cut, 1, 1, 72, static_cast<DWORD>(bytes.size())), 1627u);
    PDF_FreeDocument(cut);
}

} // namespace

namespace {

TEST(JpegPdfDocument, NumbersIgnoreTheCLocale) {
    bool commaLocale = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name)) {
            commaLocale = true;
            break;
        }
    if (!commaLocale)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    testpage::Root root;
    std::string jpeg = MakeJpeg(root, u"C:\\Temp\\l.jpg", testpage::MakePage(2480, 3508, 1));
    JpegPdfDocument* doc = PDF_CreateDocument(2480, 3508);
    ASSERT_EQ(PDF_AddJpeg(u"C:\\Temp\\l.jpg", doc, 2480, 3508, 300, static_cast<DWORD>(jpeg.size())), 0u);
    ASSERT_EQ(PDF_EndDocument(doc, nullptr), 0u);
    ASSERT_EQ(PDF_ToFile(doc, u"C:\\l.pdf"), 0u);
    std::setlocale(LC_NUMERIC, "C");
    std::string written = pdftest::Text(testpage::ReadAll(root.Host(u"C:\\l.pdf")));
    EXPECT_NE(written.find(" 595.20 0 0 841.92 0 0 cm"), std::string::npos);
}

} // namespace
