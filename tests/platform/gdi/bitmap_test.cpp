// Bitmaps: DIB transfers both ways, .bmp files from resources, DIB sections, device bitmap bits, PNG export.
#include "platform/gdi/surface.h"
#include "test_support.h"

#include <png.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <unistd.h>

using gditest::MemDC;

namespace {

std::vector<std::uint8_t> BmpFile(int w, int h, int bpp, const std::vector<RGBQUAD>& table,
                                  const std::vector<std::uint8_t>& rows) {
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = static_cast<WORD>(bpp);
    fh.bfType = 0x4D42;
    fh.bfOffBits = static_cast<DWORD>(sizeof(fh) + sizeof(ih) + table.size() * 4);
    fh.bfSize = static_cast<DWORD>(fh.bfOffBits + rows.size());
    std::vector<std::uint8_t> file(fh.bfSize);
    std::memcpy(file.data(), &fh, sizeof(fh));
    std::memcpy(file.data() + sizeof(fh), &ih, sizeof(ih));
    if (!table.empty())
        std::memcpy(file.data() + sizeof(fh) + sizeof(ih), table.data(), table.size() * 4);
    if (!rows.empty())
        std::memcpy(file.data() + fh.bfOffBits, rows.data(), rows.size());
    return file;
}

} // namespace

TEST(Bitmap, HeaderStructuresHaveTheirFileSizes) {
    EXPECT_EQ(14u, sizeof(BITMAPFILEHEADER));
    EXPECT_EQ(40u, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(2u, offsetof(BITMAPFILEHEADER, bfSize));
    EXPECT_EQ(10u, offsetof(BITMAPFILEHEADER, bfOffBits));
}

TEST(Bitmap, GetDIBitsGivesBottomUpBlueGreenRedRows) {
    MemDC dc(2, 2);
    SetPixel(dc, 0, 0, RGB(1, 2, 3));    // top left
    SetPixel(dc, 1, 1, RGB(10, 20, 30)); // bottom right
    SelectObject(dc, dc.old);            // GetDIBits wants the bitmap free
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_EQ(2, GetDIBits(dc, dc.bitmap, 0, 2, nullptr, &info, DIB_RGB_COLORS));
    EXPECT_EQ(2, info.bmiHeader.biWidth);
    EXPECT_EQ(32, info.bmiHeader.biBitCount);
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<BYTE> bits(8 * 2);
    EXPECT_EQ(2, GetDIBits(dc, dc.bitmap, 0, 2, bits.data(), &info, DIB_RGB_COLORS));
    // Row 0 of the buffer is the bottom of the picture; each row padded to 8 bytes.
    EXPECT_EQ(30, bits[3]);
    EXPECT_EQ(20, bits[4]);
    EXPECT_EQ(10, bits[5]);
    EXPECT_EQ(3, bits[8]);
    EXPECT_EQ(2, bits[9]);
    EXPECT_EQ(1, bits[10]);
    EXPECT_EQ(0, bits[14]) << "padding";

    // And back: the same rows into a fresh bitmap give the same picture.
    HBITMAP copy = CreateBitmap(2, 2, 1, 32, nullptr);
    EXPECT_EQ(2, SetDIBits(nullptr, copy, 0, 2, bits.data(), &info, DIB_RGB_COLORS));
    EXPECT_EQ(platform::gdi::ReadBitmapPixels(dc.bitmap), platform::gdi::ReadBitmapPixels(copy));
    DeleteObject(copy);
    SelectObject(dc, dc.bitmap);
}

TEST(Bitmap, MonochromeDeviceBitsAreWordAlignedRowsWithOneForWhite) {
    const BYTE bits[4] = {0xA0, 0x00, 0x40, 0x00}; // row 0: 1 0 1 0, row 1: 0 1 0 0
    HBITMAP mono = CreateBitmap(4, 2, 1, 1, bits);
    auto px = platform::gdi::ReadBitmapPixels(mono);
    ASSERT_EQ(8u, px.size());
    EXPECT_EQ(0xFFFFFFu, px[0]);
    EXPECT_EQ(0u, px[1]);
    EXPECT_EQ(0xFFFFFFu, px[5]);
    BYTE out[4] = {};
    EXPECT_EQ(4, GetBitmapBits(mono, 4, out));
    EXPECT_EQ(0, std::memcmp(bits, out, 4));
    DeleteObject(mono);
}

TEST(Bitmap, BmpFileOfResourcesBecomesABitmap) {
    // 2 x 2, 24 bits: bottom row blue, white; top row red, green (rows padded to 8 bytes).
    std::vector<std::uint8_t> rows = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
    auto file = BmpFile(2, 2, 24, {}, rows);
    HBITMAP h = platform::gdi::CreateBitmapFromBmpFile(file.data(), file.size());
    ASSERT_NE(nullptr, h);
    auto px = platform::gdi::ReadBitmapPixels(h);
    EXPECT_EQ(0xFF0000u, px[0]);
    EXPECT_EQ(0x00FF00u, px[1]);
    EXPECT_EQ(0x0000FFu, px[2]);
    DeleteObject(h);
    EXPECT_EQ(nullptr, platform::gdi::CreateBitmapFromBmpFile(file.data(), file.size() - 1)) << "truncated";
    file[0] = 'X';
    EXPECT_EQ(nullptr, platform::gdi::CreateBitmapFromBmpFile(file.data(), file.size())) << "not BM";
}

TEST(Bitmap, FileWhoseColourTableRunsPastItsEndIsRefused) {
    // An 8-bit file that ends inside its 256-entry colour table: the reader must not look past the file.
    auto file = BmpFile(1, 1, 8, {}, {});
    file.resize(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + 16);
    EXPECT_EQ(nullptr, platform::gdi::CreateBitmapFromBmpFile(file.data(), file.size()));
    auto masks = BmpFile(1, 1, 32, {}, {});
    masks[sizeof(BITMAPFILEHEADER) + 16] = BI_BITFIELDS; // the three masks would follow the header
    masks.resize(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(nullptr, platform::gdi::CreateBitmapFromBmpFile(masks.data(), masks.size()));
}

TEST(Bitmap, ThirtyTwoBitPixelsAtAnOddOffsetOfTheFileAreRead) {
    // Two 32-bit pixels one byte behind the header: the pixel offset of the file need not be aligned.
    auto file = BmpFile(2, 1, 32, {}, {0, 0x33, 0x22, 0x11, 0, 0xCC, 0xBB, 0xAA, 0});
    BITMAPFILEHEADER fh;
    std::memcpy(&fh, file.data(), sizeof fh);
    fh.bfOffBits += 1;
    std::memcpy(file.data(), &fh, sizeof fh);
    HBITMAP h = platform::gdi::CreateBitmapFromBmpFile(file.data(), file.size());
    ASSERT_NE(nullptr, h);
    auto px = platform::gdi::ReadBitmapPixels(h);
    EXPECT_EQ(0x112233u, px[0]);
    EXPECT_EQ(0xAABBCCu, px[1]);
    DeleteObject(h);
}

TEST(Bitmap, BlackAndWhiteOneBitFileBecomesMonochrome) {
    auto file = BmpFile(8, 1, 1, {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}}, {0x0F, 0, 0, 0});
    HBITMAP h = platform::gdi::CreateBitmapFromBmpFile(file.data(), file.size());
    ASSERT_NE(nullptr, h);
    BITMAP bm{};
    GetObjectW(h, sizeof(bm), &bm);
    EXPECT_EQ(1, bm.bmBitsPixel);
    auto px = platform::gdi::ReadBitmapPixels(h);
    EXPECT_EQ(0u, px[0]);
    EXPECT_EQ(0xFFFFFFu, px[7]);
    DeleteObject(h);
}

TEST(Bitmap, ThirtyTwoBitDibSectionSharesItsBitsWithDrawing) {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, h);
    ASSERT_NE(nullptr, bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, h);
    SetPixel(dc, 0, 0, RGB(0x11, 0x22, 0x33)); // top left = last row in memory (bottom-up)
    auto* p = static_cast<std::uint8_t*>(bits) + 8;
    EXPECT_EQ(0x33, p[0]);
    EXPECT_EQ(0x22, p[1]);
    EXPECT_EQ(0x11, p[2]);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(h);
}

TEST(Png, SurfaceIsWrittenAsRgbRows) {
    platform::gdi::Surface surface(3, 2);
    surface.pixels()[1] = 0x123456;
    auto path = std::filesystem::temp_directory_path() / ("gdi_png_test_" + std::to_string(::getpid()) + ".png");
    ASSERT_TRUE(platform::gdi::WriteSurfacePng(surface, path.c_str()));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    EXPECT_EQ(3u, image.width);
    EXPECT_EQ(2u, image.height);
    EXPECT_EQ(0x12, rgb[3]);
    EXPECT_EQ(0x34, rgb[4]);
    EXPECT_EQ(0x56, rgb[5]);
    EXPECT_EQ(0xFF, rgb[0]);
    std::filesystem::remove(path);
    EXPECT_FALSE(platform::gdi::WriteSurfacePng(surface, "/nonexistent-dir/x.png"));
}

TEST(Bitmap, TwentyFourBitDibSectionShowsItsBitsAndReceivesTheDrawing) {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bits);
    auto* p = static_cast<std::uint8_t*>(bits);
    p[0] = 0x33; // pixel 0: blue 0x33, green 0x22, red 0x11
    p[1] = 0x22;
    p[2] = 0x11;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, h);
    EXPECT_EQ(RGB(0x11, 0x22, 0x33), GetPixel(dc, 0, 0)) << "bits written before selection are drawn on";
    SetPixel(dc, 1, 0, RGB(0xAA, 0xBB, 0xCC));
    BITMAP bm{};
    GetObjectW(h, sizeof(bm), &bm);
    EXPECT_EQ(bits, bm.bmBits);
    EXPECT_EQ(24, bm.bmBitsPixel);
    EXPECT_EQ(0xCC, p[3]) << "GetObject hands out bits that hold the drawing";
    EXPECT_EQ(0xAA, p[5]);
    DIBSECTION ds{};
    ASSERT_EQ(static_cast<int>(sizeof(ds)), GetObjectW(h, sizeof(ds), &ds));
    EXPECT_EQ(24, ds.dsBmih.biBitCount);
    EXPECT_EQ(1, ds.dsBmih.biHeight);
    EXPECT_EQ(bits, ds.dsBm.bmBits);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(h);
}

TEST(Bitmap, EightBitDibSectionStoresTheNearestPaletteEntry) {
    std::vector<std::uint32_t> buf((sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD)) / 4);
    auto* info = reinterpret_cast<BITMAPINFO*>(buf.data());
    info->bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, 1, 1, 8, BI_RGB, 0, 0, 0, 2, 0};
    info->bmiColors[0] = RGBQUAD{0, 0, 0, 0};
    info->bmiColors[1] = RGBQUAD{255, 255, 255, 0};
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, h);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, h);
    SetPixel(dc, 0, 0, RGB(250, 240, 230));
    SetPixel(dc, 1, 0, RGB(10, 20, 5));
    SelectObject(dc, old);
    EXPECT_EQ(1, static_cast<BYTE*>(bits)[0]);
    EXPECT_EQ(0, static_cast<BYTE*>(bits)[1]);
    DeleteDC(dc);
    DeleteObject(h);
}
