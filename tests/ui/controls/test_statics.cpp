// The transparent text, the size strip, the bitmap static and the off-screen surface.
#include "TestHost.h"
#include "settings/Language.h"
#include "ui/controls/COffscreenDC.h"
#include "ui/controls/CSizeInfoStatic.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CStaticWithBkgBMP.h"

#include <gtest/gtest.h>

namespace {

using namespace controls_test;

constexpr const char* kTemplate = R"(DIALOGEX 20, 20, 260, 120
STYLE WS_POPUP | WS_VISIBLE
BEGIN
    LTEXT "WWWWWWWWWWWWWWWW", 100, 10, 10, 100, 10
    CONTROL "", 101, "Static", SS_NOTIFY, 10, 30, 240, 16
    CTEXT "Basic", 102, 10, 60, 60, 16
END
)";

// Counts the pixels of a control's rectangle that differ from `colour`.
int PixelsNot(HWND hwnd, COLORREF colour) {
    RECT r{};
    GetClientRect(hwnd, &r);
    int count = 0;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            count += ut::WindowPixel(hwnd, x, y) != colour;
    return count;
}

class StaticsTest : public ::testing::Test {
protected:
    TestHost host;
    CStaticTrans text;
    CSizeInfoStatic sizeInfo;
    CStaticWithBkgBMP tab;
    HMODULE strings = nullptr;

    void SetUp() override {
        strings = LoadEnglishStrings();
        if (strings)
            AfxSetResourceHandle(strings);
        g_LangugueID = 1;
        g_chDecimalSep = u'.';
        ASSERT_TRUE(host.Open(kTemplate));
        text.SubclassDlgItem(100, &host);
        sizeInfo.SubclassDlgItem(101, &host);
        tab.SubclassDlgItem(102, &host);
        host.Repaint();
    }
    void TearDown() override {
        host.DestroyWindow();
        AfxSetResourceHandle(nullptr);
        g_LangugueID = 1;
        g_chDecimalSep = u'.';
    }
};

TEST_F(StaticsTest, ATransparentTextPaintsNoBackgroundAndClearsItsOldTextWhenChanged) {
    const int inked = PixelsNot(text.m_hWnd, kLeftColour);
    EXPECT_GT(inked, 0) << "the text is drawn";
    text.SetWindowText(u"");
    ut::RunPendingMessages();
    EXPECT_EQ(PixelsNot(text.m_hWnd, kLeftColour), 0) << "the dialog's background replaces the old text";
    text.SetWindowText(u"i");
    ut::RunPendingMessages();
    EXPECT_LT(PixelsNot(text.m_hWnd, kLeftColour), inked / 4);
}

TEST_F(StaticsTest, SettingATipTwiceMakesOneTooltipAndChangesItsText) {
    text.SetTipText(CString(u"C:\\Scans"));
    HWND tip = text.GetToolTip().m_hWnd;
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(text.GetToolTip().GetMaxTipWidth(), 300);
    text.SetTipText(CString(u"D:\\Other"));
    EXPECT_EQ(text.GetToolTip().m_hWnd, tip);
    EXPECT_EQ(text.GetToolTip().GetToolCount(), 1);
    CString current;
    text.GetToolTip().GetText(current, &text);
    EXPECT_EQ(current, CString(u"D:\\Other"));
}

TEST_F(StaticsTest, SizeTextsInEachUnit) {
    sizeInfo.SetSizeInfo(2.0f, 3.0f, CSizeInfoStatic::kInch, 0, 300, 2);
    EXPECT_EQ(sizeInfo.GetWidthText(), CString(u": 2.00 in"));
    EXPECT_EQ(sizeInfo.GetHeightText(), CString(u": 3.00 in"));
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 1.54 MB")) << "600 x 900 pixels in colour";
    sizeInfo.SetSizeInfo(2.0f, 3.0f, CSizeInfoStatic::kMillimetre, 0, 300, 2);
    EXPECT_EQ(sizeInfo.GetWidthText(), CString(u": 50.8 mm"));
    EXPECT_EQ(sizeInfo.GetHeightText(), CString(u": 76.2 mm"));
    sizeInfo.SetSizeInfo(2.0f, 3.0f, CSizeInfoStatic::kPixel, 0, 300, 2);
    EXPECT_EQ(sizeInfo.GetWidthText(), CString(u": 600 px"));
    EXPECT_EQ(sizeInfo.GetHeightText(), CString(u": 900 px"));
}

TEST_F(StaticsTest, DataSizeByColourModeAndItsThresholds) {
    sizeInfo.SetSizeInfo(1.0f, 1.0f / 75, CSizeInfoStatic::kInch, 0, 75, 0);
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 10 B")) << "(75.5 + 7) / 8 bytes a row, truncated";
    sizeInfo.SetSizeInfo(1024.0f / 100, 0.01f, CSizeInfoStatic::kInch, 0, 100, 1);
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 1024 B")) << "exactly 1024 stays in bytes";
    sizeInfo.SetSizeInfo(1025.0f / 100, 0.01f, CSizeInfoStatic::kInch, 0, 100, 1);
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 1.00 KB"));
    sizeInfo.SetSizeInfo(100.0f, 100.0f, CSizeInfoStatic::kInch, 0, 1200, 2);
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 40.23 GB")) << "120000 x 120000 x 3 bytes, past 2^31";
}

TEST_F(StaticsTest, DecimalSeparatorAndFrenchUnits) {
    g_chDecimalSep = u',';
    sizeInfo.SetSizeInfo(2.0f, 3.0f, CSizeInfoStatic::kInch, 0, 300, 2);
    EXPECT_EQ(sizeInfo.GetWidthText(), CString(u": 2,00 in"));
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 1,54 MB"));
    g_LangugueID = 6;
    sizeInfo.SetSizeInfo(2.0f, 3.0f, CSizeInfoStatic::kInch, 0, 300, 2);
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 1,54 Mo"));
    sizeInfo.SetSizeInfo(1.0f, 1.0f / 75, CSizeInfoStatic::kInch, 0, 75, 0);
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 10 o"));
    sizeInfo.SetSizeInfo(100.0f, 100.0f, CSizeInfoStatic::kInch, 0, 1200, 2);
    EXPECT_EQ(sizeInfo.GetDataSizeText(), CString(u": 40,23 Go"));
}

TEST_F(StaticsTest, TheStripDrawsFrameDividerAndLabelledTexts) {
    sizeInfo.SetSizeInfo(2.0f, 3.0f, CSizeInfoStatic::kInch, 0, 300, 2);
    platform::gdi::ClearTextLog();
    ut::RunPendingMessages();
    CRect r;
    sizeInfo.GetClientRect(&r);
    const int divider = (r.Width() / 3) * 2 - 22;
    EXPECT_EQ(ut::WindowPixel(sizeInfo.m_hWnd, 0, 5), RGB(148, 148, 148));
    EXPECT_EQ(ut::WindowPixel(sizeInfo.m_hWnd, divider, 3), RGB(148, 148, 148));
    EXPECT_EQ(ut::WindowPixel(sizeInfo.m_hWnd, divider + 1, 3), RGB(242, 242, 242));
    std::vector<std::u16string> lines;
    for (const auto& t : platform::gdi::TextLog())
        lines.push_back(t.text);
    if (strings) {
        const std::u16string expected[] = {std::u16string(LoadResString(1010)) + u": 2.00 in",
                                           std::u16string(LoadResString(1011)) + u": 3.00 in",
                                           std::u16string(LoadResString(1012)) + u": 1.54 MB"};
        for (const auto& e : expected)
            EXPECT_NE(std::find(lines.begin(), lines.end(), e), lines.end()) << std::string(e.begin(), e.end());
    }
}

TEST_F(StaticsTest, TheStripIsMirroredForHebrewAndArabic) {
    // A right-to-left dialog lays its controls out right to left; the strip's surface follows the language.
    sizeInfo.ModifyStyleEx(0, WS_EX_LAYOUTRTL);
    CRect r;
    sizeInfo.GetClientRect(&r);
    const int divider = (r.Width() / 3) * 2 - 22;
    const int mirrored = r.Width() - 1 - divider;
    auto screenPixel = [&](int x) { // physical pixel, counted from the strip's left edge
        CRect w;
        sizeInfo.GetWindowRect(&w);
        POINT p{w.left + x, w.top + 3};
        host.ScreenToClient(&p);
        return ut::WindowPixel(host.m_hWnd, p.x, p.y);
    };
    for (int language : {21, 10}) {
        g_LangugueID = language;
        sizeInfo.SetSizeInfo(2.0f, 3.0f, CSizeInfoStatic::kInch, 0, 300, 2);
        ut::RunPendingMessages();
        EXPECT_EQ(screenPixel(mirrored), RGB(148, 148, 148)) << "language " << language;
        EXPECT_EQ(screenPixel(divider), RGB(242, 242, 242)) << "language " << language;
    }
}

TEST_F(StaticsTest, TheBitmapStaticStretchesItsPictureAndCentresItsText) {
    tab.SetBitmap(1001);
    platform::gdi::ClearTextLog();
    ut::RunPendingMessages();
    CRect r;
    tab.GetClientRect(&r);
    EXPECT_EQ(ut::WindowPixel(tab.m_hWnd, r.Width() / 2, r.Height() - 1), RGB(0x2F, 0x6F, 0xD6))
        << "the active tab's accent line, stretched to the bottom row";
    bool centred = false;
    for (const auto& t : platform::gdi::TextLog())
        if (t.text == u"Basic")
            centred = true;
    EXPECT_TRUE(centred);
}

TEST(OffscreenDC, RefusesAnEmptySizeAndKeepsOneBitmapAcrossCreates) {
    const int bitmaps = platform::gdi::LiveObjectCount(OBJ_BITMAP);
    const int dcs = platform::gdi::LiveObjectCount();
    {
        COffscreenDC surface;
        EXPECT_FALSE(surface.Create(CSize(0, 100)));
        EXPECT_FALSE(surface.Create(CSize(100, -1)));
        EXPECT_EQ(platform::gdi::LiveObjectCount(OBJ_BITMAP), bitmaps);
        ASSERT_TRUE(surface.Create(CSize(100, 40)));
        ASSERT_TRUE(surface.Create(CSize(120, 50)));
        EXPECT_EQ(platform::gdi::LiveObjectCount(OBJ_BITMAP), bitmaps + 1) << "the first bitmap was released";
        CDC* mem = nullptr;
        ASSERT_TRUE(surface.GetMemDC(&mem));
        mem->FillSolidRect(0, 0, 120, 50, RGB(1, 2, 3));
        EXPECT_EQ(mem->GetPixel(119, 49), RGB(1, 2, 3));
        EXPECT_FALSE(surface.Create(CSize(0, 0)));
        EXPECT_EQ(mem->GetPixel(119, 49), RGB(1, 2, 3)) << "a refused size leaves the surface as it was";
    }
    { COffscreenDC neverSized; }
    EXPECT_EQ(platform::gdi::LiveObjectCount(OBJ_BITMAP), bitmaps);
    EXPECT_EQ(platform::gdi::LiveObjectCount(), dcs) << "both DCs are deleted";
}

} // namespace
