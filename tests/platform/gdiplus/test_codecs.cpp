// Each encoder's file, read back with the library that reads that format.
#include "platform/gdiplus/gdiplus.h"
#include "tests/platform/gdiplus/page_stream.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

using namespace Gdiplus;

namespace {

CLSID Encoder(const char16_t* mime) {
    UINT count = 0, size = 0;
    GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i)
        if (std::u16string(codecs[i].MimeType) == mime)
            return codecs[i].Clsid;
    return CLSID{};
}

Status SaveAs(const testpage::Page& page, const char16_t* mime, const char16_t* path,
              const EncoderParameters* parameters = nullptr) {
    auto stream = testpage::StreamOf(page);
    Bitmap image(stream.get());
    CLSID clsid = Encoder(mime);
    return image.Save(path, &clsid, parameters);
}

EncoderParameters Quality(ULONG& value) {
    EncoderParameters parameters{};
    parameters.Count = 1;
    parameters.Parameter[0].Guid = EncoderQuality;
    parameters.Parameter[0].Type = EncoderParameterValueTypeLong;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Value = &value;
    return parameters;
}

struct DecodedJpeg {
    int width = 0, height = 0, components = 0, density = 0;
    std::vector<BYTE> rgb;
};

DecodedJpeg DecodeJpeg(const std::vector<BYTE>& file) {
    DecodedJpeg out;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), file.size());
    jpeg_read_header(&cinfo, TRUE);
    out.components = cinfo.num_components;
    out.density = cinfo.density_unit == 1 ? cinfo.X_density : 0;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.rgb.data() + static_cast<size_t>(cinfo.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

TEST(JpegEncoder, WritesThreeComponentsForEveryDepthWithTheResolution) {
    testpage::Root root;
    for (int bits : {1, 8, 24}) {
        testpage::Page page = testpage::MakePage(64, 48, bits);
        ASSERT_EQ(SaveAs(page, u"image/jpeg", u"C:\\page.jpg"), Ok) << bits;
        DecodedJpeg jpeg = DecodeJpeg(testpage::ReadAll(root.Host(u"C:\\page.jpg")));
        EXPECT_EQ(jpeg.components, 3) << bits << "-bit pages must become three-component JPEGs (DeviceRGB in PDF)";
        EXPECT_EQ(jpeg.width, 64);
        EXPECT_EQ(jpeg.height, 48);
        EXPECT_EQ(jpeg.density, 300);
        // The pixels survive within JPEG's losses: compare the middle of the first row.
        const BYTE* source = page.Row(20);
        const BYTE* got = jpeg.rgb.data() + (20 * 64 + 40) * 3;
        int expectRed = bits == 24 ? source[40 * 3 + 2] : bits == 8 ? source[40] : ((source[5] >> 7) & 1) * 255;
        EXPECT_NEAR(got[0], expectRed, bits == 1 ? 60 : 24) << bits;
    }
}

TEST(JpegEncoder, DefaultQualityIs75AndQualityChangesTheFile) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(200, 150, 24);
    ULONG q75 = 75, q20 = 20, q95 = 95;
    EncoderParameters p75 = Quality(q75), p20 = Quality(q20), p95 = Quality(q95);
    ASSERT_EQ(SaveAs(page, u"image/jpeg", u"C:\\default.jpg"), Ok);
    ASSERT_EQ(SaveAs(page, u"image/jpeg", u"C:\\q75.jpg", &p75), Ok);
    ASSERT_EQ(SaveAs(page, u"image/jpeg", u"C:\\q20.jpg", &p20), Ok);
    ASSERT_EQ(SaveAs(page, u"image/jpeg", u"C:\\q95.jpg", &p95), Ok);
    auto fileDefault = testpage::ReadAll(root.Host(u"C:\\default.jpg"));
    EXPECT_EQ(fileDefault, testpage::ReadAll(root.Host(u"C:\\q75.jpg")));
    EXPECT_LT(testpage::ReadAll(root.Host(u"C:\\q20.jpg")).size(), fileDefault.size());
    EXPECT_GT(testpage::ReadAll(root.Host(u"C:\\q95.jpg")).size(), fileDefault.size());
}

TEST(PngEncoder, KeepsPaletteDepthsAndExactPixelsOfTopDownAndBottomUpFiles) {
    testpage::Root root;
    for (int variant = 0; variant < 4; ++variant) {
        int bits = variant == 0 ? 1 : variant == 1 ? 8 : 24;
        testpage::Page page = testpage::MakePage(33, 17, bits);
        page.topDown = variant != 3;
        ASSERT_EQ(SaveAs(page, u"image/png", u"C:\\page.png"), Ok);
        FILE* file = std::fopen(root.Host(u"C:\\page.png").c_str(), "rb");
        ASSERT_NE(file, nullptr);
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, file);
        png_read_info(png, info);
        EXPECT_EQ(png_get_image_width(png, info), 33u);
        EXPECT_EQ(png_get_image_height(png, info), 17u);
        EXPECT_EQ(png_get_color_type(png, info), bits == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE);
        EXPECT_EQ(png_get_bit_depth(png, info), bits == 24 ? 8 : bits);
        std::vector<BYTE> row(png_get_rowbytes(png, info));
        for (int y = 0; y < 17; ++y) {
            png_read_row(png, row.data(), nullptr);
            const BYTE* source = page.Row(y);
            if (bits == 24) {
                for (int x = 0; x < 33; ++x)
                    ASSERT_TRUE(row[x * 3] == source[x * 3 + 2] && row[x * 3 + 2] == source[x * 3]) << x << "," << y;
            } else {
                ASSERT_EQ(0, std::memcmp(row.data(), source, row.size())) << "row " << y;
            }
        }
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
    }
}

TEST(GifEncoder, KeepsIndicesOfGreyPagesAndMapsColourOntoTheCube) {
    testpage::Root root;
    for (int bits : {1, 8, 24}) {
        testpage::Page page = testpage::MakePage(40, 12, bits);
        ASSERT_EQ(SaveAs(page, u"image/gif", u"C:\\page.gif"), Ok);
        int error = 0;
        GifFileType* gif = DGifOpenFileName(root.Host(u"C:\\page.gif").c_str(), &error);
        ASSERT_NE(gif, nullptr);
        ASSERT_EQ(DGifSlurp(gif), GIF_OK);
        EXPECT_EQ(gif->SWidth, 40);
        EXPECT_EQ(gif->SHeight, 12);
        ASSERT_EQ(gif->ImageCount, 1);
        const GifByteType* pixels = gif->SavedImages[0].RasterBits;
        const GifColorType* colours = gif->SColorMap->Colors;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 40; ++x) {
                const GifColorType& c = colours[pixels[y * 40 + x]];
                const BYTE* s = page.Row(y);
                int red = bits == 24 ? s[x * 3 + 2] : bits == 8 ? s[x] : ((s[x / 8] >> (7 - x % 8)) & 1) * 255;
                ASSERT_NEAR(c.Red, red, bits == 24 ? 26 : 0) << bits << " bits at " << x << "," << y;
            }
        DGifCloseFile(gif, &error);
    }
}

TEST(TiffEncoder, WritesLzwPagesThatLibtiffReadsBack) {
    testpage::Root root;
    for (int bits : {1, 8, 24}) {
        testpage::Page page = testpage::MakePage(50, 9, bits);
        ASSERT_EQ(SaveAs(page, u"image/tiff", u"C:\\page.tif"), Ok);
        TIFF* tif = TIFFOpen(root.Host(u"C:\\page.tif").c_str(), "r");
        ASSERT_NE(tif, nullptr);
        uint32_t width = 0, height = 0;
        uint16_t samples = 0, bps = 0, compression = 0, photometric = 0;
        float xres = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres);
        EXPECT_EQ(width, 50u);
        EXPECT_EQ(height, 9u);
        EXPECT_EQ(samples, bits == 24 ? 3 : 1);
        EXPECT_EQ(bps, bits == 24 ? 8 : bits);
        EXPECT_EQ(compression, COMPRESSION_LZW);
        EXPECT_EQ(photometric, bits == 24 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        EXPECT_NEAR(xres, 300.0f, 0.01f);
        std::vector<BYTE> row(TIFFScanlineSize(tif));
        for (uint32_t y = 0; y < height; ++y) {
            ASSERT_EQ(TIFFReadScanline(tif, row.data(), y, 0), 1);
            const BYTE* s = page.Row(static_cast<int>(y));
            if (bits == 24)
                for (int x = 0; x < 50; ++x)
                    ASSERT_TRUE(row[x * 3] == s[x * 3 + 2] && row[x * 3 + 1] == s[x * 3 + 1]) << x;
            else
                ASSERT_EQ(0, std::memcmp(row.data(), s, row.size()));
        }
        TIFFClose(tif);
    }
}

TEST(BmpEncoder, WritesABottomUpFileWithItsPalette) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(21, 7, 1);
    ASSERT_EQ(SaveAs(page, u"image/bmp", u"C:\\page.bmp"), Ok);
    std::vector<BYTE> file = testpage::ReadAll(root.Host(u"C:\\page.bmp"));
    ASSERT_EQ(file.size(), 54u + 8 + page.Stride() * 7);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[22], 7) << "biHeight positive: bottom-up";
    EXPECT_EQ(file[10], 62) << "pixels after the two palette entries";
    // Entry 1 is white; the last row of the file is the top row of the page.
    EXPECT_EQ(file[58], 255);
    EXPECT_EQ(0, std::memcmp(file.data() + file.size() - page.Stride(), page.Row(0), page.Stride()));
    EXPECT_EQ(0, std::memcmp(file.data() + 62, page.Row(6), page.Stride()));
}

TEST(Encoders, FailWithoutLeavingAFile) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(300, 300, 24);
    std::mt19937 noise(7); // pixels no encoder can squeeze below the limit
    for (BYTE& b : page.rows)
        b = static_cast<BYTE>(noise());
    // A folder that cannot exist: its parent is a file.
    ASSERT_EQ(SaveAs(page, u"image/bmp", u"C:\\file.bmp"), Ok);
    for (const char16_t* mime : {u"image/bmp", u"image/jpeg", u"image/gif", u"image/tiff", u"image/png"})
        EXPECT_NE(SaveAs(page, mime, u"C:\\file.bmp\\x\\out.img"), Ok) << std::string(mime, mime + 10);
    // A full disk: nothing half-written stays behind.
    testpage::FileSizeLimit full(2000);
    for (const char16_t* mime : {u"image/bmp", u"image/jpeg", u"image/gif", u"image/tiff", u"image/png"}) {
        EXPECT_NE(SaveAs(page, mime, u"C:\\full.img"), Ok) << std::string(mime, mime + 10);
        EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\full.img")));
    }
}

} // namespace
