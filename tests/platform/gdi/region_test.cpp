// Regions: combination, hit tests, clipping of paint, and the visible area of window surface DCs.
#include "platform/gdi/surface.h"
#include "test_support.h"

#include <vector>

using gditest::MemDC;

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

HRGN FromRects(const std::vector<RECT>& rects) {
    std::vector<std::uint32_t> buf((sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT)) / 4);
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(rects.size());
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT*>(data->Buffer));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size() * 4), data);
}
} // namespace

TEST(Region, CombineModesGiveTheSetOperations) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    struct Case {
        int mode;
        bool in00, in77, in1212, in122;
    } cases[] = {
        {RGN_OR, true, true, true, false},
        {RGN_AND, false, true, false, false},
        {RGN_XOR, true, false, true, false},
        {RGN_DIFF, true, false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_NE(ERROR, CombineRgn(r, a, b, c.mode));
        EXPECT_EQ(c.in00, PtInRegion(r, 0, 0) != 0) << c.mode;
        EXPECT_EQ(c.in77, PtInRegion(r, 7, 7) != 0) << c.mode;
        EXPECT_EQ(c.in1212, PtInRegion(r, 12, 12) != 0) << c.mode;
        EXPECT_EQ(c.in122, PtInRegion(r, 12, 2) != 0) << c.mode;
    }
    EXPECT_EQ(SIMPLEREGION, CombineRgn(r, a, b, RGN_AND));
    RECT box;
    EXPECT_EQ(SIMPLEREGION, GetRgnBox(r, &box));
    EXPECT_TRUE(EqualRect(&box, std::vector<RECT>{{5, 5, 10, 10}}.data()));
    EXPECT_EQ(NULLREGION, CombineRgn(r, a, a, RGN_DIFF));
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(r);
}

TEST(Region, RightAndBottomEdgesAreOutside) {
    HRGN r = CreateRectRgn(2, 3, 4, 6);
    EXPECT_TRUE(PtInRegion(r, 2, 3));
    EXPECT_TRUE(PtInRegion(r, 3, 5));
    EXPECT_FALSE(PtInRegion(r, 4, 3));
    EXPECT_FALSE(PtInRegion(r, 2, 6));
    EXPECT_EQ(SIMPLEREGION, OffsetRgn(r, -2, -3));
    EXPECT_TRUE(PtInRegion(r, 0, 0));
    EXPECT_FALSE(PtInRegion(r, 2, 3));
    DeleteObject(r);
}

// A skinned button's mask: one rectangle per run of non-white pixels in each row, joined into a region.
TEST(Region, FromRowRunsGivesTheShapeForHitTests) {
    HRGN r = FromRects({{1, 0, 3, 1}, {0, 1, 4, 2}, {0, 2, 4, 3}, {1, 3, 3, 4}});
    ASSERT_NE(nullptr, r);
    EXPECT_FALSE(PtInRegion(r, 0, 0)) << "transparent corner";
    EXPECT_TRUE(PtInRegion(r, 1, 0));
    EXPECT_TRUE(PtInRegion(r, 0, 2));
    EXPECT_FALSE(PtInRegion(r, 3, 3));
    RECT box;
    EXPECT_EQ(COMPLEXREGION, GetRgnBox(r, &box));
    EXPECT_EQ(0, box.left);
    EXPECT_EQ(4, box.bottom);
    // Overlapping input rectangles are allowed and give their union.
    HRGN overlapping = FromRects({{0, 0, 3, 3}, {1, 1, 4, 4}});
    HRGN expected = CreateRectRgn(0, 0, 3, 3);
    HRGN second = CreateRectRgn(1, 1, 4, 4);
    CombineRgn(expected, expected, second, RGN_OR);
    EXPECT_TRUE(EqualRgn(overlapping, expected));
    for (HRGN h : {r, overlapping, expected, second})
        DeleteObject(h);
}

TEST(Region, MalformedRegionDataIsRefused) {
    RGNDATA data{};
    data.rdh.dwSize = sizeof(RGNDATAHEADER);
    data.rdh.iType = RDH_RECTANGLES;
    data.rdh.nCount = 1000; // far more than the buffer holds
    EXPECT_EQ(nullptr, ExtCreateRegion(nullptr, sizeof(data), &data));
}

TEST(ClipRegion, PaintingStaysInsideTheSelectedRegion) {
    MemDC dc(6, 1);
    HRGN clip = CreateRectRgn(1, 0, 3, 1);
    HRGN more = CreateRectRgn(4, 0, 5, 1);
    CombineRgn(clip, clip, more, RGN_OR);
    EXPECT_EQ(COMPLEXREGION, SelectClipRgn(dc, clip));
    DeleteObject(clip); // the DC keeps its own copy
    DeleteObject(more);
    PatBlt(dc, 0, 0, 6, 1, BLACKNESS);
    const COLORREF expected[6] = {kWhite, kBlack, kBlack, kWhite, kBlack, kWhite};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(expected[x], platform::gdi::ReadPixel(dc, x, 0)) << x;
    SelectClipRgn(dc, nullptr);
    PatBlt(dc, 0, 0, 6, 1, BLACKNESS);
    EXPECT_EQ(kBlack, dc.at(0, 0)) << "a null region removes the clipping";
}

TEST(ClipRegion, IntersectAndExcludeClipRectUseLogicalCoordinates) {
    MemDC dc(8, 1);
    SetViewportOrgEx(dc, 2, 0, nullptr);
    IntersectClipRect(dc, 0, 0, 4, 1); // device 2..5
    ExcludeClipRect(dc, 1, 0, 2, 1);   // device 3
    PatBlt(dc, -2, 0, 8, 1, BLACKNESS);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    const COLORREF expected[8] = {kWhite, kWhite, kBlack, kWhite, kBlack, kBlack, kWhite, kWhite};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(expected[x], platform::gdi::ReadPixel(dc, x, 0)) << x;
}

TEST(ClipRegion, SaveAndRestoreBringBackTheClip) {
    MemDC dc(4, 1);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, 1, 1);
    RestoreDC(dc, saved);
    PatBlt(dc, 0, 0, 4, 1, BLACKNESS);
    EXPECT_EQ(kBlack, dc.at(3, 0));
}

TEST(SurfaceDC, DrawsAtTheWindowOriginInsideItsVisibleRegion) {
    auto surface = std::make_shared<platform::gdi::Surface>(20, 10);
    // A child window at (5, 2), 6 x 4, of which a sibling covers the right half.
    HRGN visible = CreateRectRgn(5, 2, 8, 6);
    HDC dc = platform::gdi::CreateSurfaceDC(surface, POINT{5, 2}, visible, SIZE{6, 4}, 0);
    DeleteObject(visible);
    ASSERT_NE(nullptr, dc);
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RECT all{-100, -100, 100, 100};
    FillRect(dc, &all, black);
    EXPECT_EQ(0u, surface->pixel(5, 2));
    EXPECT_EQ(0u, surface->pixel(7, 5));
    EXPECT_EQ(0xFFFFFFu, surface->pixel(8, 2)) << "covered by the sibling";
    EXPECT_EQ(0xFFFFFFu, surface->pixel(4, 2)) << "outside the window";
    EXPECT_EQ(kBlack, GetPixel(dc, 0, 0)) << "logical (0,0) is the window's corner";
    EXPECT_EQ(CLR_INVALID, GetPixel(dc, 4, 0)) << "clipped pixels cannot be read";

    // The window moves; the same DC follows.
    EXPECT_TRUE(platform::gdi::SetSurfaceDCArea(dc, POINT{0, 0}, nullptr, SIZE{2, 2}));
    SetPixel(dc, 1, 1, RGB(255, 0, 0));
    EXPECT_EQ(0xFF0000u, surface->pixel(1, 1));
    EXPECT_EQ(surface, platform::gdi::GetDCSurface(dc));
    DeleteDC(dc);
}

TEST(SurfaceDC, RightToLeftWindowMirrorsAboutItsOwnWidth) {
    auto surface = std::make_shared<platform::gdi::Surface>(10, 1);
    HDC dc = platform::gdi::CreateSurfaceDC(surface, POINT{2, 0}, nullptr, SIZE{4, 1}, LAYOUT_RTL);
    SetPixel(dc, 0, 0, RGB(0, 0, 0));
    EXPECT_EQ(0u, surface->pixel(5, 0)) << "logical 0 is the window's rightmost column";
    DeleteDC(dc);
}

TEST(ClipRegion, ClipBoxAndVisibilityAreInLogicalCoordinates) {
    auto surface = std::make_shared<platform::gdi::Surface>(50, 50);
    HRGN visible = CreateRectRgn(10, 10, 30, 20); // the window at (10, 10) is 20 x 10 and fully visible
    HDC dc = platform::gdi::CreateSurfaceDC(surface, POINT{10, 10}, visible, SIZE{20, 10}, 0);
    DeleteObject(visible);
    RECT box;
    EXPECT_EQ(SIMPLEREGION, GetClipBox(dc, &box));
    EXPECT_TRUE(EqualRect(&box, std::vector<RECT>{{0, 0, 20, 10}}.data()));
    IntersectClipRect(dc, 5, 0, 100, 100);
    GetClipBox(dc, &box);
    EXPECT_EQ(5, box.left);
    RECT outside{0, 0, 5, 10}, inside{4, 0, 6, 1};
    EXPECT_FALSE(RectVisible(dc, &outside));
    EXPECT_TRUE(RectVisible(dc, &inside));
    EXPECT_FALSE(PtVisible(dc, 4, 0));
    EXPECT_TRUE(PtVisible(dc, 5, 0));
    DeleteDC(dc);
}
