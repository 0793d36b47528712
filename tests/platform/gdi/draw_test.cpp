// Lines, rectangles, paths and the user32 drawing helpers, pixel by pixel.
#include "test_support.h"

#include <string>

using gditest::MemDC;

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

// The row as a string: '#' for black, '.' for white, '?' otherwise.
std::string Row(const MemDC& dc, int y, int width) {
    std::string s;
    for (int x = 0; x < width; ++x) {
        COLORREF c = dc.at(x, y);
        s += c == kBlack ? '#' : c == kWhite ? '.' : '?';
    }
    return s;
}
std::string Column(const MemDC& dc, int x, int height) {
    std::string s;
    for (int y = 0; y < height; ++y) {
        COLORREF c = dc.at(x, y);
        s += c == kBlack ? '#' : c == kWhite ? '.' : '?';
    }
    return s;
}
} // namespace

TEST(LineTo, EndPointIsNotDrawnInAnyDirection) {
    MemDC dc(8, 8);
    MoveToEx(dc, 1, 1, nullptr);
    LineTo(dc, 5, 1);
    EXPECT_EQ(".####...", Row(dc, 1, 8)) << "left to right";
    MoveToEx(dc, 5, 3, nullptr);
    LineTo(dc, 1, 3);
    EXPECT_EQ("..####..", Row(dc, 3, 8)) << "right to left";
    MoveToEx(dc, 7, 0, nullptr);
    LineTo(dc, 7, 4);
    EXPECT_EQ("####....", Column(dc, 7, 8)) << "downwards";
    POINT pos;
    GetCurrentPositionEx(dc, &pos);
    EXPECT_EQ(7, pos.x);
    EXPECT_EQ(4, pos.y);
}

TEST(LineTo, DiagonalStepsOnePixelPerRow) {
    MemDC dc(5, 5);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 4, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(kBlack, dc.at(i, i)) << i;
    EXPECT_EQ(kWhite, dc.at(4, 4));
    EXPECT_EQ(kWhite, dc.at(1, 0));
}

TEST(LineTo, ZeroLengthLineDrawsNothing) {
    MemDC dc(3, 3);
    MoveToEx(dc, 1, 1, nullptr);
    LineTo(dc, 1, 1);
    EXPECT_EQ(kWhite, dc.at(1, 1));
}

TEST(LineTo, HistogramBarOfHeightHCoversHPlusOnePixels) {
    MemDC dc(1, 12);
    int h = 4;
    MoveToEx(dc, 0, 10, nullptr);
    LineTo(dc, 0, 10 - h - 1);
    EXPECT_EQ("......#####.", Column(dc, 0, 12)) << "rows 10 down to 6";
}

TEST(Pen, NullPenDrawsNothingAndDottedPenLeavesGaps) {
    MemDC dc(12, 2);
    HPEN nullPen = CreatePen(PS_NULL, 1, kBlack);
    HGDIOBJ old = SelectObject(dc, nullPen);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 12, 0);
    EXPECT_EQ("............", Row(dc, 0, 12));

    HPEN dot = CreatePen(PS_DOT, 1, kBlack);
    SelectObject(dc, dot);
    SetBkMode(dc, TRANSPARENT);
    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, 12, 1);
    std::string row = Row(dc, 1, 12);
    EXPECT_NE(std::string::npos, row.find('#'));
    EXPECT_NE(std::string::npos, row.find('.')) << row;
    SelectObject(dc, old);
    DeleteObject(nullPen);
    DeleteObject(dot);
}

TEST(Pen, WidthTwoLineIsTwoPixelsThick) {
    MemDC dc(6, 6);
    HPEN pen = CreatePen(PS_SOLID, 2, kBlack);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, 1, 3, nullptr);
    LineTo(dc, 5, 3);
    int rows = 0;
    for (int y = 0; y < 6; ++y)
        rows += dc.at(2, y) == kBlack;
    EXPECT_EQ(2, rows);
    SelectObject(dc, old);
    DeleteObject(pen);
}

TEST(Rectangle, PenBorderAndBrushFillExcludeRightAndBottom) {
    MemDC dc(7, 6);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(dc, brush);
    Rectangle(dc, 1, 1, 5, 5);
    EXPECT_EQ(".####..", Row(dc, 1, 7));
    EXPECT_EQ(".#??#..", Row(dc, 2, 7));
    EXPECT_EQ(RGB(0, 0, 255), dc.at(2, 2));
    EXPECT_EQ(".####..", Row(dc, 4, 7));
    EXPECT_EQ(".......", Row(dc, 5, 7));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    PatBlt(dc, 0, 0, 7, 6, WHITENESS);
    Rectangle(dc, 1, 1, 5, 5);
    EXPECT_EQ(".#..#..", Row(dc, 2, 7)) << "the null brush leaves the inside";
    SelectObject(dc, old);
    DeleteObject(brush);
}

TEST(Path, RectangleStrokedAsAPathOutlinesTheSamePixels) {
    MemDC a(6, 6), b(6, 6);
    Rectangle(a, 0, 0, 5, 4);
    BeginPath(b);
    Rectangle(b, 0, 0, 5, 4);
    EndPath(b);
    StrokePath(b);
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(Row(a, y, 6), Row(b, y, 6)) << "row " << y;
}

TEST(PolyBezier, CurveThroughCollinearPointsIsTheStraightLine) {
    MemDC dc(12, 3);
    POINT pts[4] = {{0, 1}, {3, 1}, {6, 1}, {9, 1}};
    EXPECT_TRUE(PolyBezier(dc, pts, 4));
    EXPECT_EQ("#########...", Row(dc, 1, 12));
    EXPECT_FALSE(PolyBezier(dc, pts, 3)) << "a Bezier needs 3n + 1 points";
}

TEST(FillRect, SystemColourBrushValuesAndFrames) {
    MemDC dc(5, 5);
    RECT r{0, 0, 5, 5};
    FillRect(dc, &r, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(15 + 1))); // COLOR_BTNFACE + 1
    EXPECT_EQ(RGB(240, 240, 240), dc.at(2, 2));
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    FrameRect(dc, &r, black);
    EXPECT_EQ("#####", Row(dc, 0, 5));
    EXPECT_EQ(kBlack, dc.at(0, 2));
    EXPECT_EQ(kBlack, dc.at(4, 2));
    EXPECT_EQ(RGB(240, 240, 240), dc.at(1, 1));
}

TEST(DrawFocusRect, DrawingTwiceRestoresThePixels) {
    MemDC dc(8, 6);
    SetPixel(dc, 3, 0, RGB(12, 34, 56));
    RECT r{0, 0, 8, 6};
    DrawFocusRect(dc, &r);
    EXPECT_EQ(kBlack, dc.at(0, 0));
    EXPECT_EQ(kWhite, dc.at(1, 0)) << "every other pixel";
    EXPECT_EQ(kWhite, dc.at(3, 3)) << "inside untouched";
    DrawFocusRect(dc, &r);
    EXPECT_EQ(kWhite, dc.at(0, 0));
    EXPECT_EQ(RGB(12, 34, 56), dc.at(3, 0));
}

TEST(DrawEdge, RaisedEdgeIsLightTopLeftDarkBottomRight) {
    MemDC dc(6, 6);
    RECT r{0, 0, 6, 6};
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    EXPECT_EQ(2, r.left) << "BF_ADJUST shrinks by both rings";
    EXPECT_EQ(4, r.right);
    COLORREF outerTL = dc.at(0, 2), outerBR = dc.at(5, 2), innerTL = dc.at(1, 2), innerBR = dc.at(4, 2);
    auto lum = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
    EXPECT_GT(lum(outerTL), lum(outerBR));
    EXPECT_GT(lum(innerTL), lum(innerBR));
    RECT s{0, 0, 6, 6};
    PatBlt(dc, 0, 0, 6, 6, WHITENESS);
    DrawEdge(dc, &s, EDGE_SUNKEN, BF_RECT);
    EXPECT_LT(lum(dc.at(0, 2)), lum(dc.at(5, 2))) << "sunken is dark at the top left";
}

TEST(InvertRect, FlipsEveryBit) {
    MemDC dc(2, 1);
    SetPixel(dc, 0, 0, RGB(0x12, 0x34, 0x56));
    RECT r{0, 0, 1, 1};
    InvertRect(dc, &r);
    EXPECT_EQ(RGB(0xED, 0xCB, 0xA9), dc.at(0, 0));
}
