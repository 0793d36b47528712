// Block transfers between memory DCs: raster operations and the colour <-> monochrome rules.
#include "test_support.h"

using gditest::MemDC;

namespace {
void Fill(HDC dc, int l, int t, int r, int b, COLORREF c) {
    HBRUSH brush = CreateSolidBrush(c);
    RECT rc{l, t, r, b};
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
}
} // namespace

TEST(BitBlt, RasterOperationsCombineSourceAndDestinationBitwise) {
    MemDC src(4, 1), dst(4, 1);
    Fill(src, 0, 0, 4, 1, RGB(0x0F, 0xF0, 0x33));
    struct Case {
        DWORD rop;
        COLORREF expected;
    } cases[] = {
        {SRCCOPY, RGB(0x0F, 0xF0, 0x33)},
        {SRCINVERT, RGB(0x0F ^ 0x55, 0xF0 ^ 0x55, 0x33 ^ 0x55)},
        {SRCAND, RGB(0x0F & 0x55, 0xF0 & 0x55, 0x33 & 0x55)},
        {SRCPAINT, RGB(0x0F | 0x55, 0xF0 | 0x55, 0x33 | 0x55)},
        {NOTSRCCOPY, RGB(0xF0, 0x0F, 0xCC)},
        {DSTINVERT, RGB(0xAA, 0xAA, 0xAA)},
        {WHITENESS, RGB(255, 255, 255)},
        {BLACKNESS, RGB(0, 0, 0)},
    };
    for (const Case& c : cases) {
        Fill(dst, 0, 0, 4, 1, RGB(0x55, 0x55, 0x55));
        ASSERT_TRUE(BitBlt(dst, 1, 0, 2, 1, src, 0, 0, c.rop));
        EXPECT_EQ(c.expected, dst.at(1, 0)) << "rop " << std::hex << c.rop;
        EXPECT_EQ(c.expected, dst.at(2, 0)) << "rop " << std::hex << c.rop;
        EXPECT_EQ(RGB(0x55, 0x55, 0x55), dst.at(0, 0)) << "outside the destination, rop " << std::hex << c.rop;
        EXPECT_EQ(RGB(0x55, 0x55, 0x55), dst.at(3, 0)) << "outside the destination, rop " << std::hex << c.rop;
    }
}

TEST(BitBlt, PatCopyPaintsTheSelectedBrush) {
    MemDC dst(3, 3);
    HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
    HGDIOBJ old = SelectObject(dst, brush);
    EXPECT_TRUE(PatBlt(dst, 1, 1, 1, 1, PATCOPY));
    EXPECT_EQ(RGB(10, 20, 30), dst.at(1, 1));
    EXPECT_EQ(RGB(255, 255, 255), dst.at(0, 0));
    SelectObject(dst, old);
    DeleteObject(brush);
}

TEST(BitBlt, ColourToMonochromeMakesTheSourceBackgroundColourWhite) {
    MemDC colour(3, 1), mono(3, 1, true);
    SetPixel(colour, 0, 0, RGB(255, 255, 255));
    SetPixel(colour, 1, 0, RGB(200, 10, 10));
    SetPixel(colour, 2, 0, RGB(254, 255, 255));
    BitBlt(mono, 0, 0, 3, 1, colour, 0, 0, SRCCOPY);
    EXPECT_EQ(RGB(255, 255, 255), mono.at(0, 0));
    EXPECT_EQ(RGB(0, 0, 0), mono.at(1, 0));
    EXPECT_EQ(RGB(0, 0, 0), mono.at(2, 0)) << "only the exact background colour becomes 1";

    SetBkColor(colour, RGB(200, 10, 10));
    BitBlt(mono, 0, 0, 3, 1, colour, 0, 0, SRCCOPY);
    EXPECT_EQ(RGB(0, 0, 0), mono.at(0, 0));
    EXPECT_EQ(RGB(255, 255, 255), mono.at(1, 0));
}

TEST(BitBlt, MonochromeToColourUsesTheDestinationTextAndBackgroundColours) {
    MemDC mono(2, 1, true), colour(2, 1);
    SetPixel(mono, 0, 0, RGB(0, 0, 0));
    SetPixel(mono, 1, 0, RGB(255, 255, 255));
    SetTextColor(colour, RGB(1, 2, 3));
    SetBkColor(colour, RGB(4, 5, 6));
    BitBlt(colour, 0, 0, 2, 1, mono, 0, 0, SRCCOPY);
    EXPECT_EQ(RGB(1, 2, 3), colour.at(0, 0)) << "0 bits take the text colour";
    EXPECT_EQ(RGB(4, 5, 6), colour.at(1, 0)) << "1 bits take the background colour";
}

// The transparent slider's trick: pixels that were pure white stay white, all others show a snapshot.
TEST(BitBlt, MaskSequenceKeepsWhitePixelsAndShowsTheBackgroundElsewhere) {
    MemDC item(3, 1), img(3, 1), mask(3, 1, true), snapshot(3, 1);
    SetPixel(item, 0, 0, RGB(255, 255, 255));
    SetPixel(item, 1, 0, RGB(30, 60, 90));
    SetPixel(item, 2, 0, RGB(0, 0, 0));
    for (int x = 0; x < 3; ++x)
        SetPixel(snapshot, x, 0, RGB(7, 77, 177));
    SetBkColor(item, RGB(0, 0, 0));
    SetTextColor(item, RGB(255, 255, 255));
    BitBlt(img, 0, 0, 3, 1, item, 0, 0, SRCCOPY);
    BitBlt(mask, 0, 0, 3, 1, img, 0, 0, SRCCOPY);
    BitBlt(item, 0, 0, 3, 1, snapshot, 0, 0, SRCCOPY);
    BitBlt(item, 0, 0, 3, 1, img, 0, 0, SRCINVERT);
    BitBlt(item, 0, 0, 3, 1, mask, 0, 0, SRCAND);
    BitBlt(item, 0, 0, 3, 1, img, 0, 0, SRCINVERT);
    EXPECT_EQ(RGB(255, 255, 255), item.at(0, 0));
    EXPECT_EQ(RGB(7, 77, 177), item.at(1, 0));
    EXPECT_EQ(RGB(7, 77, 177), item.at(2, 0));
}

TEST(BitBlt, OverlappingCopyWithinOneBitmapReadsTheOriginal) {
    MemDC dc(4, 1);
    for (int x = 0; x < 4; ++x)
        SetPixel(dc, x, 0, RGB(x * 10, 0, 0));
    BitBlt(dc, 1, 0, 3, 1, dc, 0, 0, SRCCOPY);
    EXPECT_EQ(RGB(0, 0, 0), dc.at(1, 0));
    EXPECT_EQ(RGB(10, 0, 0), dc.at(2, 0));
    EXPECT_EQ(RGB(20, 0, 0), dc.at(3, 0));
}

TEST(BitBlt, SourceOutsideItsBitmapLeavesTheDestination) {
    MemDC src(2, 2), dst(4, 4);
    Fill(src, 0, 0, 2, 2, RGB(0, 0, 255));
    BitBlt(dst, 0, 0, 4, 4, src, 0, 0, SRCCOPY);
    EXPECT_EQ(RGB(0, 0, 255), dst.at(1, 1));
    EXPECT_EQ(RGB(255, 255, 255), dst.at(2, 2));
}

TEST(BitBlt, ViewportOriginMovesTheDestination) {
    MemDC src(1, 1), dst(4, 4);
    SetPixel(src, 0, 0, RGB(9, 9, 9));
    SetViewportOrgEx(dst, 2, 1, nullptr);
    BitBlt(dst, 0, 0, 1, 1, src, 0, 0, SRCCOPY);
    SetViewportOrgEx(dst, 0, 0, nullptr);
    EXPECT_EQ(RGB(9, 9, 9), dst.at(2, 1));
}
