// The save dispatch: every SaveType, the encoder look-up and the metafile helpers.
#include "devicescan/SaveImage.h"
#include "tests/platform/gdiplus/page_stream.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string Head(const testpage::Root& root, const char16_t* path, size_t n) {
    std::vector<BYTE> bytes = testpage::ReadAll(root.Host(path));
    return std::string(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
}

TEST(SaveImage, EveryTypeWritesItsFormatOrNothing) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(64, 40, 24);
    struct Case {
        int type;
        const char16_t* path;
        std::string head; // empty: the type has no writer
    } cases[] = {
        {SaveTypeWmf, u"C:\\p.wmf", std::string("\x01\x00\x09\x00\x00\x03", 6)},
        {SaveTypeEmf, u"C:\\p.emf", std::string("\x01\x00\x00\x00", 4)},
        {SaveTypeBmp, u"C:\\p.bmp", "BM"},
        {SaveTypeTiff, u"C:\\p.tif", std::string("II*\x00", 4)},
        {SaveTypeJpeg, u"C:\\p.jpg", "\xFF\xD8\xFF"},
        {SaveTypeGif, u"C:\\p.gif", "GIF89a"},
        {SaveTypePng, u"C:\\p.png", "\x89PNG"},
        {SaveTypePdf, u"C:\\p.pdf", "%PDF-1.3 \r"},
        {SaveTypeDoc, u"C:\\p.doc", ""},
        {SaveTypeTxt, u"C:\\p.txt", ""},
        {SaveTypeOfd, u"C:\\p.ofd", ""},
        {11, u"C:\\p.11", ""},
        {-1, u"C:\\p.neg", ""},
    };
    for (const Case& c : cases) {
        auto stream = testpage::StreamOf(page);
        int result = SaveImage(stream.get(), c.path, c.type);
        if (c.head.empty()) {
            EXPECT_EQ(result, -1) << "type " << c.type;
            EXPECT_FALSE(testpage::Exists(root.Host(c.path))) << "type " << c.type << " must write nothing";
        } else {
            EXPECT_EQ(result, 0) << "type " << c.type;
            EXPECT_EQ(Head(root, c.path, c.head.size()), c.head) << "type " << c.type;
        }
    }
    EXPECT_EQ(SaveImage(nullptr, u"C:\\none.jpg", SaveTypeJpeg), -1);
    // The WMF road records through a temporary EMF that does not stay.
    for (const auto& item : std::filesystem::directory_iterator(root.path() / "Temp"))
        ADD_FAILURE() << "left in the temporary folder: " << item.path();
}

TEST(SaveImage, UnreadablePageWritesNothing) {
    testpage::Root root;
    for (int type : {SaveTypeWmf, SaveTypeEmf, SaveTypeBmp, SaveTypeTiff, SaveTypeJpeg, SaveTypePdf}) {
        auto garbage = testpage::StreamOf(std::vector<BYTE>(80, 'x'));
        EXPECT_NE(SaveImage(garbage.get(), u"C:\\bad.out", type), 0) << type;
        EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\bad.out"))) << type;
    }
}

TEST(SaveImage, MimeTypesStatusCodesAndEncoderLookUp) {
    EXPECT_EQ(std::u16string(GetMimeType(SaveTypeEmf)), u"image/emf");
    EXPECT_EQ(std::u16string(GetMimeType(SaveTypeBmp)), u"image/bmp");
    EXPECT_EQ(std::u16string(GetMimeType(SaveTypeTiff)), u"image/tiff");
    EXPECT_EQ(std::u16string(GetMimeType(SaveTypeJpeg)), u"image/jpeg");
    EXPECT_EQ(std::u16string(GetMimeType(SaveTypeGif)), u"image/gif");
    EXPECT_EQ(std::u16string(GetMimeType(SaveTypePng)), u"image/png");
    EXPECT_EQ(std::u16string(GetMimeType(SaveTypeWmf)), u"image/wmf");
    EXPECT_EQ(std::u16string(GetMimeType(SaveTypePdf)), u"image/wmf");

    EXPECT_EQ(GdiplusStatusToError(Gdiplus::Ok), 0);
    EXPECT_EQ(GdiplusStatusToError(Gdiplus::InvalidParameter), -41);
    EXPECT_EQ(GdiplusStatusToError(Gdiplus::OutOfMemory), -40);
    EXPECT_EQ(GdiplusStatusToError(Gdiplus::Win32Error), -1);

    CLSID clsid{};
    EXPECT_EQ(GetEncoderClsid(u"image/jpeg", &clsid), 1);
    EXPECT_EQ(clsid.Data1, 0x557cf401u);
    EXPECT_EQ(GetEncoderClsid(u"image/png", &clsid), 4);
    EXPECT_EQ(GetEncoderClsid(u"image/emf", &clsid), -1) << "no EMF encoder";
    EXPECT_EQ(GetEncoderClsid(u"image/JPEG", &clsid), -1) << "the MIME type must match exactly";
}

TEST(BuildBitmapInfo, DescribesAOnePixelBitmapOfEachFormat) {
    BITMAPINFO* info = nullptr;
    ASSERT_EQ(BuildBitmapInfo(Gdiplus::PixelFormat1bppIndexed, &info), S_OK);
    EXPECT_EQ(info->bmiHeader.biSize, 40u);
    EXPECT_EQ(info->bmiHeader.biWidth, 1);
    EXPECT_EQ(info->bmiHeader.biHeight, 1);
    EXPECT_EQ(info->bmiHeader.biBitCount, 1);
    EXPECT_EQ(info->bmiHeader.biSizeImage, 4u);
    EXPECT_EQ(info->bmiHeader.biClrUsed, 0u);
    EXPECT_EQ(info->bmiColors[0].rgbRed, 0);
    EXPECT_EQ(info->bmiColors[1].rgbRed, 255);
    LocalFree(info);
    ASSERT_EQ(BuildBitmapInfo(Gdiplus::PixelFormat8bppIndexed, &info), S_OK);
    EXPECT_EQ(info->bmiHeader.biBitCount, 8);
    EXPECT_EQ(info->bmiColors[200].rgbGreen, 200);
    LocalFree(info);
    ASSERT_EQ(BuildBitmapInfo(Gdiplus::PixelFormat24bppRGB, &info), S_OK);
    EXPECT_EQ(info->bmiHeader.biSizeImage, 4u);
    LocalFree(info);
    EXPECT_EQ(BuildBitmapInfo(Gdiplus::PixelFormat32bppARGB, &info), E_INVALIDARG);
    EXPECT_EQ(info, nullptr);
}

TEST(SaveMetafile, OneBitFlagDrawsThroughTheThreshold) {
    testpage::Root root;
    auto stream = testpage::StreamOf(testpage::MakePage(16, 8, 8));
    ASSERT_EQ(SaveMetafile(stream.get(), u"C:\\bw.emf", true, true), 0);
    std::vector<BYTE> emf = testpage::ReadAll(root.Host(u"C:\\bw.emf"));
    ASSERT_GT(emf.size(), 108u + 80 + 40 + 1024);
    size_t palette = 108 + 80 + 40;
    EXPECT_EQ(emf[palette + 4 * 10], 0) << "dark grey becomes black";
    EXPECT_EQ(emf[palette + 4 * 200], 255) << "light grey becomes white";

    Gdiplus::ImageAttributes attributes;
    EXPECT_TRUE(SetThresholdAttributes(&attributes, false));
    EXPECT_FALSE(SetThresholdAttributes(nullptr, true));
}

TEST(SaveMetafile, WmfIntoAnUnwritablePlaceFailsAndCleansUp) {
    testpage::Root root;
    auto stream = testpage::StreamOf(testpage::MakePage(16, 8, 24));
    EXPECT_NE(SaveMetafile(stream.get(), u"C:\\no\\folder\\p.wmf", false, false), 0);
    EXPECT_TRUE(std::filesystem::is_empty(root.path() / "Temp"));
    WCHAR name[MAX_PATH];
    ASSERT_TRUE(GetTempEmfFileName(name));
    EXPECT_EQ(std::u16string(name), u"C:\\Temp\\ScanToUtil0.emf");
}

} // namespace
