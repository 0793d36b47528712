// StretchDIBits and StretchBlt against reference pixels: DIB depths, stretching, mirroring, right-to-left layout.
#include "test_support.h"

#include <cstring>
#include <vector>

using gditest::MemDC;

namespace {

// A DIB in one buffer: header, colour table, rows (bottom-up unless topDown).
struct Dib {
    std::vector<std::uint32_t> storage; // 4-byte aligned
    BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(storage.data()); }
    BYTE* bits() { return reinterpret_cast<BYTE*>(storage.data()) + bitsOffset; }
    size_t bitsOffset = 0;
    size_t stride = 0;
    int height = 0;
    bool topDown = false;
    // Row `y` of the picture (0 = top), wherever it is stored.
    BYTE* row(int y) { return bits() + stride * static_cast<size_t>(topDown ? y : height - 1 - y); }
};

Dib MakeDib(int w, int h, int bpp, std::vector<COLORREF> table = {}, bool topDown = false) {
    Dib d;
    d.stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
    d.height = h;
    d.topDown = topDown;
    d.bitsOffset = sizeof(BITMAPINFOHEADER) + table.size() * sizeof(RGBQUAD);
    d.storage.assign((d.bitsOffset + d.stride * h + 3) / 4, 0);
    BITMAPINFOHEADER& hdr = d.info()->bmiHeader;
    hdr.biSize = sizeof(BITMAPINFOHEADER);
    hdr.biWidth = w;
    hdr.biHeight = topDown ? -h : h;
    hdr.biPlanes = 1;
    hdr.biBitCount = static_cast<WORD>(bpp);
    hdr.biCompression = BI_RGB;
    hdr.biClrUsed = static_cast<DWORD>(table.size());
    for (size_t i = 0; i < table.size(); ++i)
        d.info()->bmiColors[i] = RGBQUAD{GetBValue(table[i]), GetGValue(table[i]), GetRValue(table[i]), 0};
    return d;
}

void Put24(Dib& d, int x, int y, COLORREF c) {
    BYTE* p = d.row(y) + 3 * x;
    p[0] = GetBValue(c);
    p[1] = GetGValue(c);
    p[2] = GetRValue(c);
}

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255), kWhite = RGB(255, 255, 255),
                   kBlack = RGB(0, 0, 0);

} // namespace

TEST(StretchDIBits, BottomUpEightBitDibIsDrawnUpright) {
    Dib d = MakeDib(3, 2, 8, {kRed, kGreen, kBlue});
    d.row(0)[0] = 0; // top row: red green blue
    d.row(0)[1] = 1;
    d.row(0)[2] = 2;
    d.row(1)[0] = 2; // bottom row: blue blue red
    d.row(1)[1] = 2;
    d.row(1)[2] = 0;
    MemDC dc(3, 2);
    EXPECT_EQ(2, StretchDIBits(dc, 0, 0, 3, 2, 0, 0, 3, 2, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(kRed, dc.at(0, 0));
    EXPECT_EQ(kGreen, dc.at(1, 0));
    EXPECT_EQ(kBlue, dc.at(2, 0));
    EXPECT_EQ(kBlue, dc.at(0, 1));
    EXPECT_EQ(kRed, dc.at(2, 1));
}

TEST(StretchDIBits, OneBitDibUsesItsColourTableAndEnlargesByReplication) {
    Dib d = MakeDib(4, 1, 1, {kRed, kBlue});
    d.row(0)[0] = 0xA0; // 1 0 1 0: blue red blue red
    MemDC dc(8, 2);
    StretchDIBits(dc, 0, 0, 8, 2, 0, 0, 4, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    const COLORREF expected[8] = {kBlue, kBlue, kRed, kRed, kBlue, kBlue, kRed, kRed};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(expected[x], dc.at(x, y)) << "at " << x << "," << y;
}

TEST(StretchDIBits, FourBitDibTakesHighNibbleFirst) {
    Dib d = MakeDib(3, 1, 4, {kBlack, kRed, kGreen, kBlue});
    d.row(0)[0] = 0x31; // blue red
    d.row(0)[1] = 0x20; // green
    MemDC dc(3, 1);
    StretchDIBits(dc, 0, 0, 3, 1, 0, 0, 3, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(kBlue, dc.at(0, 0));
    EXPECT_EQ(kRed, dc.at(1, 0));
    EXPECT_EQ(kGreen, dc.at(2, 0));
}

TEST(StretchDIBits, TwentyFourBitPixelsAreBlueGreenRed) {
    Dib d = MakeDib(2, 1, 24);
    Put24(d, 0, 0, RGB(1, 2, 3));
    Put24(d, 1, 0, RGB(200, 100, 50));
    MemDC dc(2, 1);
    StretchDIBits(dc, 0, 0, 2, 1, 0, 0, 2, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(RGB(1, 2, 3), dc.at(0, 0));
    EXPECT_EQ(RGB(200, 100, 50), dc.at(1, 0));
}

TEST(StretchDIBits, SourceRectangleOfABottomUpDibCountsFromTheBottom) {
    Dib d = MakeDib(1, 3, 24);
    Put24(d, 0, 0, kRed); // top
    Put24(d, 0, 1, kGreen);
    Put24(d, 0, 2, kBlue); // bottom
    MemDC dc(1, 1);
    StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(kBlue, dc.at(0, 0)) << "ySrc 0 of a bottom-up DIB is its bottom row";
    StretchDIBits(dc, 0, 0, 1, 1, 0, 2, 1, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(kRed, dc.at(0, 0));
}

TEST(StretchDIBits, NegativeDestinationWidthMirrorsAroundTheStartColumn) {
    Dib d = MakeDib(3, 1, 24);
    Put24(d, 0, 0, kRed);
    Put24(d, 1, 0, kGreen);
    Put24(d, 2, 0, kBlue);
    MemDC dc(5, 1);
    // Width -3 at x = 3 covers columns 1..3, right to left.
    StretchDIBits(dc, 3, 0, -3, 1, 0, 0, 3, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(kWhite, dc.at(0, 0));
    EXPECT_EQ(kBlue, dc.at(1, 0));
    EXPECT_EQ(kGreen, dc.at(2, 0));
    EXPECT_EQ(kRed, dc.at(3, 0));
    EXPECT_EQ(kWhite, dc.at(4, 0));
}

TEST(StretchBlt, NegativeDestinationHeightDrawsUpsideDown) {
    MemDC src(1, 3), dst(1, 5);
    SetPixel(src, 0, 0, kRed);
    SetPixel(src, 0, 1, kGreen);
    SetPixel(src, 0, 2, kBlue);
    // As a curve graph is drawn: top = bottom - 1, height negative, so the source's first row lands lowest.
    StretchBlt(dst, 0, 3, 1, -3, src, 0, 0, 1, 3, SRCCOPY);
    EXPECT_EQ(kWhite, dst.at(0, 0));
    EXPECT_EQ(kBlue, dst.at(0, 1));
    EXPECT_EQ(kGreen, dst.at(0, 2));
    EXPECT_EQ(kRed, dst.at(0, 3));
    EXPECT_EQ(kWhite, dst.at(0, 4));
}

TEST(StretchBlt, NegativeSourceAndDestinationWidthsCancel) {
    MemDC src(2, 1), dst(2, 1);
    SetPixel(src, 0, 0, kRed);
    SetPixel(src, 1, 0, kBlue);
    StretchBlt(dst, 1, 0, -2, 1, src, 1, 0, -2, 1, SRCCOPY);
    EXPECT_EQ(kRed, dst.at(0, 0));
    EXPECT_EQ(kBlue, dst.at(1, 0));
}

TEST(StretchBlt, DefaultModeKeepsBlackWhenShrinkingColourOnColourDropsIt) {
    MemDC src(8, 1), dst(2, 1);
    SetPixel(src, 1, 0, kBlack); // one black pixel among white
    EXPECT_EQ(BLACKONWHITE, GetStretchBltMode(dst));
    StretchBlt(dst, 0, 0, 2, 1, src, 0, 0, 8, 1, SRCCOPY);
    EXPECT_EQ(kBlack, dst.at(0, 0)) << "BLACKONWHITE ANDs the eliminated pixels";
    EXPECT_EQ(kWhite, dst.at(1, 0));

    SetStretchBltMode(dst, COLORONCOLOR);
    StretchBlt(dst, 0, 0, 2, 1, src, 0, 0, 8, 1, SRCCOPY);
    EXPECT_EQ(kWhite, dst.at(0, 0)) << "COLORONCOLOR drops eliminated pixels";
}

TEST(StretchDIBits, RightToLeftLayoutMirrorsPositionAndPicture) {
    Dib d = MakeDib(2, 1, 24);
    Put24(d, 0, 0, kRed);
    Put24(d, 1, 0, kBlue);
    MemDC dc(4, 1);
    SetLayout(dc, LAYOUT_RTL);
    StretchDIBits(dc, 0, 0, 2, 1, 0, 0, 2, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(kRed, dc.at(0, 0)) << "logical coordinates read back unchanged";
    int w = 0, h = 0;
    std::vector<std::uint32_t> px = platform::gdi::ReadBitmapPixels(dc.bitmap, &w, &h);
    ASSERT_EQ(4u, px.size());
    EXPECT_EQ(0xFFFFFFu & 0xFFFFFF, px[0]);
    EXPECT_EQ(0x0000FFu, px[2]) << "device column 2 holds the picture's second pixel (blue)";
    EXPECT_EQ(0xFF0000u, px[3]) << "logical column 0 is the rightmost device column";

    SetLayout(dc, LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED);
    StretchDIBits(dc, 0, 0, 2, 1, 0, 0, 2, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    px = platform::gdi::ReadBitmapPixels(dc.bitmap);
    EXPECT_EQ(0xFF0000u, px[2]) << "orientation preserved: red stays left";
    EXPECT_EQ(0x0000FFu, px[3]);
}

TEST(StretchBlt, BetweenTwoRightToLeftDCsDevicePixelsCopyStraight) {
    MemDC a(3, 1), b(3, 1);
    SetLayout(a, LAYOUT_RTL);
    SetLayout(b, LAYOUT_RTL);
    SetPixel(a, 0, 0, kRed);
    SetPixel(a, 2, 0, kBlue);
    BitBlt(b, 0, 0, 3, 1, a, 0, 0, SRCCOPY);
    EXPECT_EQ(kRed, b.at(0, 0));
    EXPECT_EQ(kBlue, b.at(2, 0));
    EXPECT_EQ(platform::gdi::ReadBitmapPixels(a.bitmap), platform::gdi::ReadBitmapPixels(b.bitmap));
}

TEST(StretchDIBits, OntoMonochromeBitmapColoursBecomeBlackOrWhite) {
    Dib d = MakeDib(2, 1, 24);
    Put24(d, 0, 0, RGB(250, 250, 250));
    Put24(d, 1, 0, RGB(20, 20, 20));
    MemDC mono(2, 1, true);
    StretchDIBits(mono, 0, 0, 2, 1, 0, 0, 2, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(kWhite, mono.at(0, 0));
    EXPECT_EQ(kBlack, mono.at(1, 0));
}

TEST(StretchDIBits, MalformedHeaderDrawsNothing) {
    Dib d = MakeDib(2, 1, 24);
    d.info()->bmiHeader.biBitCount = 7;
    MemDC dc(2, 1);
    EXPECT_EQ(0, StretchDIBits(dc, 0, 0, 2, 1, 0, 0, 2, 1, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(kWhite, dc.at(0, 0));
}

// A scanned page (2550 x 3300 at 300 dpi) shown in a preview-sized rectangle: every source line is taken and the
// picture lands scaled. (How fast this is belongs to bench/gdi.)
TEST(StretchDIBits, PageSizedDibFillsAPreviewRectangle) {
    for (int bpp : {8, 24}) {
        std::vector<COLORREF> grey;
        if (bpp == 8)
            for (int i = 0; i < 256; ++i)
                grey.push_back(RGB(i, i, i));
        Dib d = MakeDib(2550, 3300, bpp, grey);
        // The upper half of the picture black, the lower half white (rows are stored bottom-up).
        for (int y = 0; y < 3300; ++y)
            std::memset(d.row(y), y < 1650 ? 0x00 : 0xFF, d.stride);
        MemDC dc(800, 1000);
        for (int mode : {COLORONCOLOR, BLACKONWHITE}) {
            SetStretchBltMode(dc, mode);
            EXPECT_EQ(3300,
                      StretchDIBits(dc, 0, 0, 800, 1000, 0, 0, 2550, 3300, d.bits(), d.info(), DIB_RGB_COLORS, SRCCOPY))
                << bpp << "-bit, mode " << mode;
            EXPECT_EQ(RGB(0, 0, 0), dc.at(400, 100)) << bpp << "-bit, mode " << mode;
            EXPECT_EQ(RGB(255, 255, 255), dc.at(400, 900)) << bpp << "-bit, mode " << mode;
        }
    }
}

TEST(StretchBlt, AbsurdExtentsAreRefusedOrClippedWithoutHarm) {
    MemDC src(2, 2), dst(4, 4);
    EXPECT_FALSE(StretchBlt(dst, 0, 0, 0x7FFFFFFF, 4, src, 0, 0, 2, 2, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dst, 0, 0, 4, 4, src, 0, 0, -0x7FFFFFFF - 1, 2, SRCCOPY));
    // Large but representable: only the visible part is computed.
    SetPixel(src, 0, 0, kBlue);
    EXPECT_TRUE(StretchBlt(dst, 0, 0, 20000000, 4, src, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(kBlue, dst.at(3, 0));
}
