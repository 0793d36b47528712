// Fonts and text: stable extents, Windows height conventions, where text lands, DrawTextW's formatting.
#include "test_support.h"

#include <algorithm>
#include <string>

using gditest::MemDC;
using gditest::ScopedFont;
using platform::gdi::TextLog;

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);

SIZE Extent(HDC dc, const std::u16string& s) {
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return size;
}

bool AnyInk(const MemDC& dc, RECT r) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (dc.at(x, y) != kWhite)
                return true;
    return false;
}
} // namespace

TEST(TextExtent, IsStableAndAddsUpWithoutKerning) {
    MemDC dc(10, 10);
    ScopedFont font(dc, -12);
    SIZE hello = Extent(dc, u"Hello 123");
    EXPECT_GT(hello.cx, 30);
    EXPECT_LT(hello.cx, 80);
    for (int i = 0; i < 3; ++i) {
        SIZE again = Extent(dc, u"Hello 123");
        EXPECT_EQ(hello.cx, again.cx);
        EXPECT_EQ(hello.cy, again.cy);
    }
    EXPECT_EQ(Extent(dc, u"AV").cx, Extent(dc, u"A").cx + Extent(dc, u"V").cx);
    EXPECT_EQ(0, Extent(dc, u"").cx);
    MemDC other(10, 10);
    ScopedFont same(other, -12);
    EXPECT_EQ(hello.cx, Extent(other, u"Hello 123").cx) << "a second font object of the same request measures alike";
}

TEST(TextExtent, BoldIsWiderAndHeightsFollowWindowsConventions) {
    MemDC dc(10, 10);
    SIZE regular, bold;
    {
        ScopedFont f(dc, -12);
        regular = Extent(dc, u"Scanner settings");
    }
    {
        ScopedFont f(dc, -12, FW_BOLD);
        bold = Extent(dc, u"Scanner settings");
    }
    EXPECT_GT(bold.cx, regular.cx);
    {
        ScopedFont f(dc, 14); // positive: cell height
        TEXTMETRICW tm{};
        ASSERT_TRUE(GetTextMetricsW(dc, &tm));
        EXPECT_EQ(14, tm.tmHeight);
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    }
    {
        ScopedFont f(dc, -14); // negative: character height, the cell is taller
        TEXTMETRICW tm{};
        ASSERT_TRUE(GetTextMetricsW(dc, &tm));
        EXPECT_GT(tm.tmHeight, 14);
        EXPECT_EQ(tm.tmHeight - 14, tm.tmInternalLeading);
        EXPECT_EQ(tm.tmHeight, Extent(dc, u"x").cy);
    }
}

TEST(TextExtent, DialogFontMapsToTheSansFaceLikeArial) {
    MemDC dc(10, 10);
    SIZE arial, dialog;
    {
        ScopedFont f(dc, -11, FW_NORMAL, u"Arial");
        arial = Extent(dc, u"Resolution");
    }
    {
        ScopedFont f(dc, -11, FW_NORMAL, u"MS Shell Dlg");
        dialog = Extent(dc, u"Resolution");
    }
    EXPECT_EQ(arial.cx, dialog.cx);
}

TEST(TextOut, InkStaysInsideTheCellAndIsLogged) {
    MemDC dc(80, 30);
    ScopedFont font(dc, -12);
    platform::gdi::ClearTextLog();
    SetBkMode(dc, TRANSPARENT);
    SIZE s = Extent(dc, u"Scan");
    ASSERT_TRUE(TextOutW(dc, 10, 5, u"Scan", 4));
    EXPECT_TRUE(AnyInk(dc, RECT{10, 5, 10 + s.cx, 5 + s.cy}));
    EXPECT_FALSE(AnyInk(dc, RECT{0, 0, 80, 5}));
    EXPECT_FALSE(AnyInk(dc, RECT{0, 0, 9, 30}));
    EXPECT_FALSE(AnyInk(dc, RECT{0, 5 + s.cy, 80, 30}));
    auto log = TextLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(u"Scan", log[0].text);
    EXPECT_EQ(10, log[0].pos.x);
    EXPECT_EQ(5, log[0].pos.y);
}

TEST(TextOut, OpaqueModeFillsTheCellWithTheBackgroundColour) {
    MemDC dc(60, 20);
    ScopedFont font(dc, -12);
    SetBkColor(dc, RGB(242, 242, 242));
    SIZE s = Extent(dc, u"mm");
    TextOutW(dc, 0, 0, u"mm", 2);
    EXPECT_EQ(RGB(242, 242, 242), dc.at(s.cx - 1, s.cy - 1)) << "corner of the cell, no ink there";
    EXPECT_EQ(kWhite, dc.at(s.cx, 0));
}

TEST(TextOut, RightToLeftDCPutsTheTextAtTheMirroredPosition) {
    MemDC dc(100, 20);
    SetLayout(dc, LAYOUT_RTL);
    ScopedFont font(dc, -12);
    platform::gdi::ClearTextLog();
    SIZE s = Extent(dc, u"px");
    TextOutW(dc, 0, 0, u"px", 2);
    auto log = TextLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(100 - s.cx, log[0].pos.x) << "the text ends at the right edge and reads left to right";
}

TEST(DrawText, CentresASingleLine) {
    MemDC dc(200, 40);
    ScopedFont font(dc, -12);
    platform::gdi::ClearTextLog();
    RECT r{0, 0, 200, 40};
    SIZE s = Extent(dc, u"Preview");
    DrawTextW(dc, u"Preview", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    auto log = TextLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ((200 - s.cx) / 2, log[0].pos.x);
    EXPECT_EQ((40 - s.cy) / 2, log[0].pos.y);
}

TEST(DrawText, WordBreakWrapsAndCalcRectMeasures) {
    MemDC dc(200, 200);
    ScopedFont font(dc, -12);
    SIZE word = Extent(dc, u"alpha");
    RECT r{0, 0, word.cx + 2, 0};
    int h = DrawTextW(dc, u"alpha beta gamma", -1, &r, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(3 * word.cy, h);
    EXPECT_EQ(3 * word.cy, r.bottom);
    LONG widest = std::max({word.cx, Extent(dc, u"beta").cx, Extent(dc, u"gamma").cx});
    EXPECT_EQ(widest, r.right) << "a word wider than the box stays whole and widens the result";
    platform::gdi::ClearTextLog();
    RECT box{0, 0, word.cx + 2, 200};
    DrawTextW(dc, u"alpha beta gamma", -1, &box, DT_WORDBREAK);
    auto log = TextLog();
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ(u"gamma", log[2].text);
    EXPECT_EQ(2 * word.cy, log[2].pos.y);
}

TEST(DrawText, PrefixesAndEllipsis) {
    MemDC dc(300, 40);
    ScopedFont font(dc, -12);
    platform::gdi::ClearTextLog();
    RECT r{0, 0, 300, 40};
    DrawTextW(dc, u"&Save && close", -1, &r, DT_SINGLELINE);
    DrawTextW(dc, u"&Save", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    RECT narrow{0, 0, Extent(dc, u"Long").cx, 40};
    DrawTextW(dc, u"Long file name here", -1, &narrow, DT_SINGLELINE | DT_END_ELLIPSIS);
    auto log = TextLog();
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ(u"Save & close", log[0].text);
    EXPECT_EQ(u"&Save", log[1].text);
    std::u16string cut = log[2].text;
    ASSERT_GE(cut.size(), 3u);
    EXPECT_EQ(u"...", cut.substr(cut.size() - 3));
    EXPECT_LE(Extent(dc, cut).cx, narrow.right);
}

TEST(DrawText, LinesAreClippedToTheRectangle) {
    MemDC dc(100, 30);
    ScopedFont font(dc, -12);
    SetBkMode(dc, TRANSPARENT);
    RECT r{0, 0, 10, 30};
    DrawTextW(dc, u"WWWWWWWW", -1, &r, DT_SINGLELINE);
    EXPECT_TRUE(AnyInk(dc, RECT{0, 0, 10, 30}));
    EXPECT_FALSE(AnyInk(dc, RECT{10, 0, 100, 30}));
}

TEST(TextOut, CharactersMissingFromTheLatinFaceAreDrawnFromAFallbackFace) {
    // Two Chinese and two Arabic letters: with a fallback face each pair draws differently; without one, both
    // characters of a pair would be the same empty box.
    for (auto pair : {std::pair{u"\u9608", u"\u503c"}, std::pair{u"\u0628", u"\u0645"}}) {
        MemDC a(24, 24), b(24, 24);
        ScopedFont fa(a, -16), fb(b, -16);
        TextOutW(a, 2, 2, pair.first, 1);
        TextOutW(b, 2, 2, pair.second, 1);
        EXPECT_NE(platform::gdi::ReadBitmapPixels(a.bitmap), platform::gdi::ReadBitmapPixels(b.bitmap));
    }
}

TEST(TextOut, FillOnlyCallsLogNoText) {
    MemDC dc(10, 10);
    platform::gdi::ClearTextLog();
    RECT r{0, 0, 5, 5};
    SetBkColor(dc, RGB(9, 9, 9));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    EXPECT_EQ(RGB(9, 9, 9), dc.at(4, 4));
    EXPECT_TRUE(TextLog().empty());
}

TEST(TextOut, HebrewWordsReadRightToLeftInsideTheLine) {
    // "AB" followed by a two-letter Hebrew word: drawn as A B then the word's second letter, then its first.
    const char16_t logical[] = u"AB\u05e9\u05dc";
    const char16_t visual[] = u"AB\u05dc\u05e9";
    MemDC a(60, 20), b(60, 20);
    SetBkMode(a, TRANSPARENT);
    SetBkMode(b, TRANSPARENT);
    {
        ScopedFont fa(a, -14);
        TextOutW(a, 0, 0, logical, 4);
    }
    {
        ScopedFont fb(b, -14);
        // Drawn one by one, left to right, in the visual order.
        int x = 0;
        for (int i = 0; i < 4; ++i) {
            TextOutW(b, x, 0, visual + i, 1);
            x += Extent(b, std::u16string(visual + i, 1)).cx;
        }
    }
    EXPECT_EQ(platform::gdi::ReadBitmapPixels(a.bitmap), platform::gdi::ReadBitmapPixels(b.bitmap));
}
