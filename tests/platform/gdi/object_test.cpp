// GDI objects and DCs: lifetime, selection, saved states, the framework wrappers, and leaks in a paint loop.
#include "platform/gdi/afxgdi.h"
#include "platform/gdi/surface.h"
#include "test_support.h"

#include <atomic>
#include <thread>
#include <vector>

using gditest::MemDC;
using platform::gdi::LiveObjectCount;

TEST(Objects, PaintLoopThatCleansUpLeavesNoObjectsBehind) {
    HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    int before = LiveObjectCount();
    for (int i = 0; i < 50; ++i) {
        HDC mem = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, 40, 20);
        HGDIOBJ oldBmp = SelectObject(mem, bmp);
        HPEN pen = CreatePen(PS_SOLID, 2, RGB(0x91, 0x92, 0x95));
        HBRUSH brush = CreateSolidBrush(RGB(0xED, 0xE9, 0xEB));
        HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
        HGDIOBJ oldPen = SelectObject(mem, pen), oldBrush = SelectObject(mem, brush), oldFont = SelectObject(mem, font);
        HRGN clip = CreateRectRgn(0, 0, 30, 15);
        SelectClipRgn(mem, clip);
        DeleteObject(clip);
        Rectangle(mem, 0, 0, 40, 20);
        TextOutW(mem, 2, 2, u"x", 1);
        SelectObject(mem, oldPen);
        SelectObject(mem, oldBrush);
        SelectObject(mem, oldFont);
        SelectObject(mem, oldBmp);
        DeleteObject(pen);
        DeleteObject(brush);
        DeleteObject(font);
        DeleteObject(bmp);
        DeleteDC(mem);
    }
    EXPECT_EQ(before, LiveObjectCount());
    DeleteDC(screen);
}

TEST(Objects, StockObjectsAreSharedAndNeverDeleted) {
    int before = LiveObjectCount();
    HGDIOBJ a = GetStockObject(NULL_BRUSH), b = GetStockObject(HOLLOW_BRUSH);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(a)) << "still valid after DeleteObject";
    EXPECT_EQ(before, LiveObjectCount());
    LOGBRUSH lb{};
    EXPECT_EQ(static_cast<int>(sizeof(lb)), GetObjectW(a, sizeof(lb), &lb));
    EXPECT_EQ(static_cast<UINT>(BS_NULL), lb.lbStyle);
}

TEST(Objects, DeletingASelectedObjectWaitsUntilItIsDeselected) {
    MemDC dc(2, 2);
    int before = LiveObjectCount(OBJ_PEN);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HGDIOBJ old = SelectObject(dc, pen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(before + 1, LiveObjectCount(OBJ_PEN));
    SelectObject(dc, old);
    EXPECT_EQ(before, LiveObjectCount(OBJ_PEN));
    EXPECT_EQ(0u, GetObjectType(pen)) << "the handle is gone";
}

TEST(Objects, StaleAndForeignHandlesAreRefused) {
    HBRUSH brush = CreateSolidBrush(0);
    DeleteObject(brush);
    EXPECT_FALSE(DeleteObject(brush));
    int dummy = 0;
    EXPECT_FALSE(DeleteObject(&dummy));
    EXPECT_EQ(nullptr, SelectObject(reinterpret_cast<HDC>(&dummy), GetStockObject(BLACK_PEN)));
    EXPECT_EQ(CLR_INVALID, GetPixel(nullptr, 0, 0));
}

TEST(Objects, GetObjectDescribesPensFontsAndBitmaps) {
    HPEN pen = CreatePen(PS_DOT, 1, RGB(128, 128, 128));
    LOGPEN lp{};
    ASSERT_EQ(static_cast<int>(sizeof(lp)), GetObjectW(pen, sizeof(lp), &lp));
    EXPECT_EQ(static_cast<UINT>(PS_DOT), lp.lopnStyle);
    EXPECT_EQ(RGB(128, 128, 128), lp.lopnColor);
    HFONT font = CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
    LOGFONTW lf{};
    ASSERT_EQ(static_cast<int>(sizeof(lf)), GetObjectW(font, sizeof(lf), &lf));
    EXPECT_EQ(-12, lf.lfHeight);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_EQ(std::u16string(u"Arial"), std::u16string(lf.lfFaceName));
    HBITMAP mono = CreateBitmap(10, 3, 1, 1, nullptr);
    BITMAP bm{};
    ASSERT_EQ(static_cast<int>(sizeof(bm)), GetObjectW(mono, sizeof(bm), &bm));
    EXPECT_EQ(10, bm.bmWidth);
    EXPECT_EQ(3, bm.bmHeight);
    EXPECT_EQ(1, bm.bmBitsPixel);
    EXPECT_EQ(2, bm.bmWidthBytes) << "device bitmap rows are word aligned";
    for (HGDIOBJ h : {static_cast<HGDIOBJ>(pen), static_cast<HGDIOBJ>(font), static_cast<HGDIOBJ>(mono)})
        DeleteObject(h);
}

TEST(Objects, FreshMemoryDCMakesMonochromeCompatibleBitmaps) {
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP fromMem = CreateCompatibleBitmap(mem, 4, 4);
    HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP fromScreen = CreateCompatibleBitmap(screen, 4, 4);
    BITMAP a{}, b{};
    GetObjectW(fromMem, sizeof(a), &a);
    GetObjectW(fromScreen, sizeof(b), &b);
    EXPECT_EQ(1, a.bmBitsPixel);
    EXPECT_EQ(32, b.bmBitsPixel);
    EXPECT_EQ(32, GetDeviceCaps(screen, BITSPIXEL));
    EXPECT_EQ(96, GetDeviceCaps(screen, LOGPIXELSX));
    DeleteObject(fromMem);
    DeleteObject(fromScreen);
    DeleteDC(mem);
    DeleteDC(screen);
}

TEST(Objects, ABitmapIsSelectedIntoOneMemoryDCAtATime) {
    MemDC a(2, 2);
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(nullptr, SelectObject(other, a.bitmap));
    DeleteDC(other);
}

// The off-screen surface: save the memory DC, select a bitmap, restore (which deselects it), delete it.
TEST(SaveDC, RestoreDeselectsWhatWasSelectedAfterTheSave) {
    CDC display, mem;
    ASSERT_TRUE(display.CreateDC(u"DISPLAY", nullptr, nullptr, nullptr));
    ASSERT_TRUE(mem.CreateCompatibleDC(&display));
    int base = LiveObjectCount(OBJ_BITMAP);
    for (int round = 0; round < 2; ++round) {
        int saved = mem.SaveDC();
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&display, 20, 10));
        CBitmap* old = mem.SelectObject(&bitmap);
        ASSERT_NE(nullptr, old);
        EXPECT_EQ(32, mem.GetDeviceCaps(BITSPIXEL));
        mem.FillSolidRect(0, 0, 20, 10, RGB(1, 2, 3));
        EXPECT_EQ(RGB(1, 2, 3), mem.GetPixel(19, 9));
        EXPECT_TRUE(mem.RestoreDC(saved));
        EXPECT_EQ(1, mem.GetDeviceCaps(BITSPIXEL)) << "the default monochrome bitmap is back";
        bitmap.DeleteObject();
        EXPECT_EQ(base, LiveObjectCount(OBJ_BITMAP)) << "round " << round;
    }
    EXPECT_FALSE(mem.RestoreDC(5)) << "no such saved state";
}

TEST(SaveDC, RelativeRestoreTakesTheNewestState) {
    MemDC dc(1, 1);
    SaveDC(dc);
    SetTextColor(dc, RGB(1, 1, 1));
    SaveDC(dc);
    SetTextColor(dc, RGB(2, 2, 2));
    EXPECT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(RGB(1, 1, 1), GetTextColor(dc));
    EXPECT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(RGB(0, 0, 0), GetTextColor(dc));
    EXPECT_FALSE(RestoreDC(dc, -1));
}

TEST(FrameworkClasses, WrappersOwnTheirObjectsAndFromHandleFindsThem) {
    int before = LiveObjectCount();
    {
        CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
        CBrush brush(RGB(10, 10, 10));
        CRgn rgn;
        rgn.CreateRectRgn(0, 0, 4, 4);
        EXPECT_EQ(&pen, CGdiObject::FromHandle(pen.m_hObject));
        EXPECT_EQ(&brush, CBrush::FromHandle(brush));
        EXPECT_TRUE(rgn.PtInRegion(CPoint(3, 3)));
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        CPen* old = dc.SelectObject(&pen);
        ASSERT_NE(nullptr, old);
        EXPECT_EQ(GetStockObject(BLACK_PEN), old->m_hObject) << "a temporary wrapper of the default pen";
        dc.SelectObject(old);
        CGdiObject::DeleteTempMap();
    }
    EXPECT_EQ(before, LiveObjectCount());
}

TEST(FrameworkClasses, RectArithmetic) {
    CRect r(10, 20, 110, 70);
    EXPECT_EQ(100, r.Width());
    EXPECT_EQ(50, r.Height());
    EXPECT_EQ(CPoint(60, 45), r.CenterPoint());
    r.InflateRect(2, 2);
    EXPECT_EQ(CRect(8, 18, 112, 72), r);
    r.OffsetRect(-8, -18);
    EXPECT_EQ(CPoint(0, 0), r.TopLeft());
    CRect inter = r & CRect(100, 50, 200, 200);
    EXPECT_EQ(CRect(100, 50, 104, 54), inter);
    EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty());
    EXPECT_FALSE(r.PtInRect(CPoint(104, 0))) << "the right edge is outside";
}

TEST(Objects, ScreenSizeAndSystemBrushesComeFromTheWindowManager) {
    platform::gdi::SetScreenSize(1024, 768);
    HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_EQ(1024, GetDeviceCaps(screen, HORZRES));
    EXPECT_EQ(768, GetDeviceCaps(screen, VERTRES));
    DeleteDC(screen);

    int before = LiveObjectCount();
    HBRUSH face = platform::gdi::CreatePermanentBrush(RGB(240, 240, 240));
    EXPECT_EQ(before, LiveObjectCount()) << "system brushes are not the program's objects";
    EXPECT_TRUE(DeleteObject(face));
    MemDC dc(2, 2);
    RECT r{0, 0, 2, 2};
    EXPECT_TRUE(FillRect(dc, &r, face)) << "and survive DeleteObject";
    EXPECT_EQ(RGB(240, 240, 240), dc.at(1, 1));

    platform::gdi::SetSysColorSource([](int index) -> COLORREF { return index == 15 ? RGB(1, 2, 3) : 0; });
    FillRect(dc, &r, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(15 + 1)));
    EXPECT_EQ(RGB(1, 2, 3), dc.at(0, 0));
    platform::gdi::SetSysColorSource(nullptr);
}

// Velmora's progress window paints on its own thread while the main window paints on another.
TEST(Objects, ThreadsPaintingTheirOwnDCsAtOnceDoNotDisturbEachOther) {
    int before = LiveObjectCount();
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 100; ++i) {
                MemDC dc(40, 16);
                HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"MS Shell Dlg");
                HGDIOBJ old = SelectObject(dc, font);
                SelectObject(dc, GetStockObject(BLACK_BRUSH));
                Rectangle(dc, 0, 0, 4, 4);
                TextOutW(dc, 5, 0, u"42%", 3);
                COLORREF c = RGB(t * 10, i, 7);
                SetPixel(dc, 39, 15, c);
                if (dc.at(39, 15) != c || dc.at(1, 1) != RGB(0, 0, 0))
                    ++wrong;
                SelectObject(dc, old);
                DeleteObject(font);
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(0, wrong.load());
    EXPECT_EQ(before, LiveObjectCount());
}
