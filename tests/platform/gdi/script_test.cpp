// Text of every user-interface language: Arabic joining and ligatures, bidirectional order of Hebrew and Arabic
// with digits and Latin words, Chinese and Japanese from real glyphs in their regional forms, measurement that
// matches the ink, wrapping, ellipsis and the caret positions of a line.
#include "test_support.h"

#include "platform/base/testing.h"
#include "platform/base/winnls.h"
#include "platform/gdi/textline.h"

#include <algorithm>
#include <string>
#include <vector>

using gditest::MemDC;
using gditest::ScopedFont;
using platform::gdi::ShapedGlyph;
using platform::gdi::ShapeText;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

std::vector<ShapedGlyph> Shape(HDC dc, const std::u16string& s, UINT options = 0) {
    return ShapeText(dc, s.c_str(), static_cast<int>(s.size()), options);
}

// The UTF-16 index each glyph stands for, left to right as drawn.
std::vector<int> VisualUnits(HDC dc, const std::u16string& s, UINT options = 0) {
    std::vector<int> units;
    for (const ShapedGlyph& g : Shape(dc, s, options))
        units.push_back(g.unit);
    return units;
}

int Width(HDC dc, const std::u16string& s) {
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return size.cx;
}

// Columns [first, last] that hold anything but white; {-1, -1} for none.
std::pair<int, int> InkColumns(const MemDC& dc, int width, int height) {
    int first = -1, last = -1;
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            if (dc.at(x, y) != kWhite) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

class LocaleScope {
public:
    explicit LocaleScope(LCID lcid) { platform::testing::SetSystemLocale(lcid); }
    ~LocaleScope() { platform::testing::SetSystemLocale(std::nullopt); }
};

} // namespace

TEST(ArabicText, LettersTakeTheirJoinedForms) {
    MemDC dc(10, 10);
    ScopedFont font(dc, -20);
    const std::u16string beh = u"\u0628";
    const std::u16string word = u"\u0628\u0628\u0628"; // beh beh beh: initial, medial and final forms
    auto isolated = Shape(dc, beh);
    auto joined = Shape(dc, word);
    ASSERT_EQ(1u, isolated.size());
    ASSERT_EQ(3u, joined.size());
    EXPECT_EQ("Noto Sans Arabic UI", joined[0].family);
    for (const ShapedGlyph& g : joined)
        EXPECT_NE(isolated[0].glyph, g.glyph) << "the letter at unit " << g.unit << " was drawn isolated";
    EXPECT_NE(joined[0].glyph, joined[1].glyph) << "final and medial forms differ";
    EXPECT_NE(joined[1].glyph, joined[2].glyph) << "medial and initial forms differ";
    EXPECT_LT(Width(dc, word), 3 * Width(dc, beh)) << "joined forms are narrower than three isolated letters";
}

TEST(ArabicText, LamAlefIsOneLigatureAndTheWordReadsRightToLeft) {
    MemDC dc(10, 10);
    ScopedFont font(dc, -20);
    auto glyphs = Shape(dc, u"\u0644\u0627"); // lam alef
    ASSERT_EQ(1u, glyphs.size()) << "lam and alef join into one glyph";
    EXPECT_EQ(0, glyphs[0].unit);
    // "kitab": the first letter stands at the right end.
    auto units = VisualUnits(dc, u"\u0643\u062A\u0627\u0628");
    ASSERT_FALSE(units.empty());
    EXPECT_TRUE(std::is_sorted(units.rbegin(), units.rend())) << "glyphs run from the last letter to the first";
    EXPECT_EQ(0, units.back());
}

TEST(BidiText, HebrewWithDigitsAndLatinInARightToLeftLine) {
    MemDC dc(10, 10);
    ScopedFont font(dc, -14);
    // "shalom 123 abc" read right to left: the Hebrew word at the right, then the number, then the Latin word at
    // the left, each of the last two reading left to right.
    const std::u16string text = u"\u05E9\u05DC\u05D5\u05DD 123 abc";
    EXPECT_EQ((std::vector<int>{9, 10, 11, 8, 5, 6, 7, 4, 3, 2, 1, 0}), VisualUnits(dc, text, ETO_RTLREADING));
    // In a left-to-right line the number after the Hebrew word belongs to its right-to-left run and stands at its
    // left; the Latin word follows at the right.
    EXPECT_EQ((std::vector<int>{5, 6, 7, 4, 3, 2, 1, 0, 8, 9, 10, 11}), VisualUnits(dc, text));
}

TEST(BidiText, ArabicSentenceWithANumberAndALatinName) {
    MemDC dc(10, 10);
    ScopedFont font(dc, -14);
    // "resolution 300 dpi" in Arabic reading order: "dpi" leftmost, then "300", then the Arabic word at the right.
    const std::u16string text = u"\u0627\u0644\u062F\u0642\u0629 300 dpi";
    auto units = VisualUnits(dc, text, ETO_RTLREADING);
    ASSERT_GE(units.size(), 10u);
    EXPECT_EQ((std::vector<int>{10, 11, 12, 9, 6, 7, 8, 5}), std::vector<int>(units.begin(), units.begin() + 8));
    std::vector<int> arabic(units.begin() + 8, units.end());
    EXPECT_TRUE(std::is_sorted(arabic.rbegin(), arabic.rend()));
    EXPECT_EQ(0, arabic.back()) << "the first letter at the right end";
    // In a left-to-right line a parenthesised Latin name inside Arabic text keeps its brackets around it.
    const std::u16string named = u"\u0645\u0646 (Kvx 7731)";
    auto left = VisualUnits(dc, named);
    ASSERT_EQ(named.size(), left.size());
    EXPECT_EQ(1, left.front()) << "the Arabic word comes first, reversed";
    EXPECT_EQ(static_cast<int>(named.size()) - 1, left.back()) << "the closing bracket ends the line";
}

TEST(BidiText, MirroredDCsReadRightToLeftUnlessAskedForTheReverse) {
    MemDC dc(100, 20);
    SetLayout(dc, LAYOUT_RTL);
    ScopedFont font(dc, -14);
    EXPECT_EQ((std::vector<int>{6, 5, 0, 1, 2, 3, 4}), VisualUnits(dc, u"Hello!?"))
        << "trailing punctuation of a right-to-left paragraph stands at the left";
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), VisualUnits(dc, u"Hello!?", ETO_RTLREADING))
        << "reverse reading in a mirrored DC is left to right";
}

TEST(BidiText, DrawnPixelsFollowTheVisualOrder) {
    // "abc" and a Hebrew word in a right-to-left line look like the Hebrew letters drawn one by one from its last
    // letter, a space, then "abc".
    const std::u16string logical = u"abc \u05E9\u05DC";
    MemDC a(80, 20), b(80, 20);
    SetBkMode(a, TRANSPARENT);
    SetBkMode(b, TRANSPARENT);
    ScopedFont fa(a, -14), fb(b, -14);
    RECT r{0, 0, 80, 20};
    SIZE whole{};
    GetTextExtentPoint32W(a, logical.c_str(), 6, &whole);
    DrawTextW(a, logical.c_str(), -1, &r, DT_SINGLELINE | DT_RTLREADING | DT_RIGHT | DT_NOPREFIX);
    int x = 80 - whole.cx;
    for (const char16_t* piece : {u"\u05DC", u"\u05E9", u" abc"}) {
        TextOutW(b, x, 0, piece, static_cast<int>(std::u16string(piece).size()));
        x += Width(b, piece);
    }
    EXPECT_EQ(platform::gdi::ReadBitmapPixels(a.bitmap), platform::gdi::ReadBitmapPixels(b.bitmap));
}

TEST(CjkText, EachLanguageDrawsRealGlyphsInItsRegionalForms) {
    struct Case {
        LCID locale;
        BYTE charSet;
        const char16_t* text;
        const char* family;
    };
    const Case cases[] = {
        {0x0411, DEFAULT_CHARSET, u"\u30B9\u30AD\u30E3\u30F3\u8A2D\u5B9A", "Noto Sans CJK JP"}, // ja
        {0x0804, DEFAULT_CHARSET, u"\u626B\u63CF\u8BBE\u7F6E", "Noto Sans CJK SC"},             // zhcn
        {0x0404, DEFAULT_CHARSET, u"\u6383\u63CF\u8A2D\u5B9A", "Noto Sans CJK TC"},             // zhtw
        {0x0409, CHINESEBIG5_CHARSET, u"\u6383\u63CF", "Noto Sans CJK TC"}, // the font's character set decides
        {0x0409, DEFAULT_CHARSET, u"\u8A2D\u5B9A", "Noto Sans CJK JP"},     // elsewhere Japanese forms, as Windows
    };
    for (const Case& c : cases) {
        LocaleScope locale(c.locale);
        MemDC dc(10, 10);
        ScopedFont font(dc, -16, FW_NORMAL, u"MS Shell Dlg", c.charSet);
        for (const ShapedGlyph& g : Shape(dc, c.text)) {
            EXPECT_NE(0u, g.glyph) << "an empty box for unit " << g.unit << " of locale " << std::hex << c.locale;
            EXPECT_EQ(c.family, g.family) << std::hex << c.locale;
        }
    }
    // On pixels: every character differs from the box of a character no font has, and from the others.
    MemDC box(24, 24);
    ScopedFont boxFont(box, -16);
    TextOutW(box, 2, 2, u"\uE000", 1);
    auto empty = platform::gdi::ReadBitmapPixels(box.bitmap);
    std::vector<std::vector<std::uint32_t>> seen;
    for (char16_t c : std::u16string(u"\u626B\u6383\u30B9\u8A2D\uD55C")) {
        MemDC dc(24, 24);
        ScopedFont font(dc, -16);
        TextOutW(dc, 2, 2, &c, 1);
        auto pixels = platform::gdi::ReadBitmapPixels(dc.bitmap);
        EXPECT_NE(empty, pixels) << "U+" << std::hex << static_cast<int>(c) << " drawn as a box";
        EXPECT_EQ(seen.end(), std::find(seen.begin(), seen.end(), pixels));
        seen.push_back(pixels);
    }
}

// The user-interface language as the programs set it: four hexadecimal digits of its LANGID.
class UiLanguageScope {
public:
    explicit UiLanguageScope(const char16_t* langId) {
        const char16_t list[6] = {langId[0], langId[1], langId[2], langId[3], 0, 0};
        EXPECT_TRUE(SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, list, nullptr)) << "language set";
    }
    ~UiLanguageScope() { SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, nullptr, nullptr); }
};

std::vector<std::uint32_t> DrawnChar(char16_t c) {
    MemDC dc(32, 32);
    ScopedFont font(dc, -24);
    TextOutW(dc, 2, 2, &c, 1);
    return platform::gdi::ReadBitmapPixels(dc.bitmap);
}

TEST(CjkText, TheUserInterfaceLanguageDecidesTheHanFormsWhateverTheLocale) {
    // U+76F4 and U+9AA8 are drawn differently in Simplified Chinese, Traditional Chinese and Japanese.
    for (LCID locale : {LCID{0x0409}, LCID{0x0411}, LCID{0x0804}}) {
        LocaleScope scope(locale);
        struct Expected {
            const char16_t* ui;
            const char* family;
        };
        for (const Expected& e : {Expected{u"0804", "Noto Sans CJK SC"}, Expected{u"0404", "Noto Sans CJK TC"},
                                  Expected{u"0411", "Noto Sans CJK JP"}}) {
            UiLanguageScope ui(e.ui);
            MemDC dc(10, 10);
            ScopedFont font(dc, -16);
            for (const ShapedGlyph& g : Shape(dc, u"\u76F4\u9AA8"))
                EXPECT_EQ(e.family, g.family)
                    << "UI language " << std::string(e.ui, e.ui + 4) << " on locale " << std::hex << locale;
        }
        // On pixels: the three languages draw the two characters three ways.
        std::vector<std::vector<std::uint32_t>> forms;
        for (const char16_t* ui : {u"0804", u"0404", u"0411"}) {
            UiLanguageScope scope2(ui);
            auto a = DrawnChar(u'\u76F4');
            auto b = DrawnChar(u'\u9AA8');
            a.insert(a.end(), b.begin(), b.end());
            EXPECT_EQ(forms.end(), std::find(forms.begin(), forms.end(), a))
                << "UI language " << std::string(ui, ui + 4) << " draws the forms of another, locale " << std::hex
                << locale;
            forms.push_back(a);
        }
    }
    // Without a language of its own the locale decides, as before.
    LocaleScope chinese(0x0804);
    MemDC dc(10, 10);
    ScopedFont font(dc, -16);
    for (const ShapedGlyph& g : Shape(dc, u"\u76F4"))
        EXPECT_EQ("Noto Sans CJK SC", g.family);
}

TEST(UiLanguage, TheProcessKeepsOneLanguageAndRefusesWhatIsNoLanguageId) {
    ULONG count = 0, size = 0;
    EXPECT_TRUE(SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, u"0404\0", &count));
    EXPECT_EQ(1u, count);
    char16_t buffer[8] = {};
    size = 8;
    ASSERT_TRUE(GetProcessPreferredUILanguages(MUI_LANGUAGE_ID, &count, buffer, &size));
    EXPECT_EQ(std::u16string(u"0404"), std::u16string(buffer));
    EXPECT_EQ(6u, size);
    size = 3;
    EXPECT_FALSE(GetProcessPreferredUILanguages(MUI_LANGUAGE_ID, &count, buffer, &size)) << "a buffer too small";
    EXPECT_EQ(6u, size) << "the size needed";
    EXPECT_FALSE(SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, u"04G4\0", nullptr));
    EXPECT_FALSE(SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, u"040\0", nullptr));
    EXPECT_FALSE(SetProcessPreferredUILanguages(MUI_LANGUAGE_NAME, u"zh-TW\0", nullptr)) << "names are not taken";
    size = 8;
    ASSERT_TRUE(GetProcessPreferredUILanguages(MUI_LANGUAGE_ID, &count, buffer, &size));
    EXPECT_EQ(std::u16string(u"0404"), std::u16string(buffer)) << "a refused list leaves the language";
    EXPECT_TRUE(SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, nullptr, nullptr));
    ASSERT_TRUE(GetProcessPreferredUILanguages(MUI_LANGUAGE_ID, &count, nullptr, &size));
    EXPECT_EQ(0u, count) << "an empty list forgets it";
}

TEST(TextMeasurement, ExtentsMatchTheInkInEveryScript) {
    const std::u16string samples[] = {
        u"Scan settings: 300 dpi",
        u"\u041F\u0430\u0440\u0430\u043C\u0435\u0442\u0440\u044B 300",
        u"Gr\u00F6\u00DFe \u017Ar\u00F3d\u0142o ka\u011F\u0131t",
        u"\u626B\u63CF\u8BBE\u7F6E 300 dpi",
        u"\u30B9\u30AD\u30E3\u30F3\u8A2D\u5B9A",
        u"\u05D4\u05D2\u05D3\u05E8\u05D5\u05EA \u05E1\u05E8\u05D9\u05E7\u05D4 300 dpi",
        u"\u0625\u0639\u062F\u0627\u062F\u0627\u062A \u0627\u0644\u0645\u0633\u062D 300",
    };
    for (UINT reading : {0u, static_cast<UINT>(DT_RTLREADING)}) {
        for (const auto& text : samples) {
            MemDC dc(400, 30);
            SetBkMode(dc, TRANSPARENT);
            ScopedFont font(dc, -16);
            const int extent = Width(dc, text);
            RECT calc{0, 0, 400, 0};
            DrawTextW(dc, text.c_str(), -1, &calc, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT | reading);
            EXPECT_EQ(extent, calc.right) << "DT_CALCRECT and GetTextExtentPoint32W agree";
            auto glyphs = Shape(dc, text, reading ? ETO_RTLREADING : 0);
            ASSERT_FALSE(glyphs.empty());
            EXPECT_EQ(extent, glyphs.back().x + glyphs.back().advance) << "the glyphs end where the extent does";
            RECT r{10, 0, 400, 30};
            DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX | reading);
            auto [first, last] = InkColumns(dc, 400, 30);
            EXPECT_GE(first, 10 - 1) << "ink starts in the measured box";
            EXPECT_LE(first, 10 + 3);
            EXPECT_LE(last, 10 + extent) << "ink ends in the measured box";
            EXPECT_GE(last, 10 + extent - 4);
        }
    }
}

TEST(DrawTextLayout, ChineseAndJapaneseWrapBetweenCharacters) {
    MemDC dc(200, 200);
    ScopedFont font(dc, -16);
    const std::u16string text = u"\u7528\u7D19\u304C\u30D5\u30A3\u30FC\u30C0\u30FC\u306B\u3042\u308A\u307E\u305B"
                                u"\u3093\u3002\u7528\u7D19\u3092\u30BB\u30C3\u30C8\u3057\u3066\u304F\u3060\u3055"
                                u"\u3044\u3002";
    const int box = 100;
    platform::gdi::ClearTextLog();
    RECT r{0, 0, box, 200};
    DrawTextW(dc, text.c_str(), -1, &r, DT_WORDBREAK | DT_NOPREFIX);
    auto log = platform::gdi::TextLog();
    ASSERT_GE(log.size(), 3u) << "a sentence without spaces still wraps";
    std::u16string joined;
    for (const auto& line : log) {
        EXPECT_LE(Width(dc, line.text), box) << "every line fits";
        EXPECT_NE(u'\u3002', line.text.front()) << "no line begins with a full stop";
        joined += line.text;
    }
    EXPECT_EQ(text, joined);
    RECT calc{0, 0, box, 0};
    SIZE cell{};
    GetTextExtentPoint32W(dc, u"x", 1, &cell);
    int height = DrawTextW(dc, text.c_str(), -1, &calc, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    EXPECT_EQ(static_cast<int>(log.size()) * cell.cy, height) << "DT_CALCRECT counts the lines drawn";
    EXPECT_LE(calc.right, box);
}

TEST(DrawTextLayout, EllipsisOfRightToLeftTextStandsAtTheLeft) {
    MemDC dc(300, 30);
    ScopedFont font(dc, -14);
    const std::u16string text = u"\u05D4\u05D2\u05D3\u05E8\u05D5\u05EA \u05E1\u05E8\u05D9\u05E7\u05D4 "
                                u"\u05D5\u05E9\u05DE\u05D9\u05E8\u05D4";
    const int box = Width(dc, text) / 2;
    platform::gdi::ClearTextLog();
    RECT r{0, 0, box, 30};
    DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_RTLREADING | DT_NOPREFIX);
    auto log = platform::gdi::TextLog();
    ASSERT_EQ(1u, log.size());
    const std::u16string cut = log[0].text;
    ASSERT_GE(cut.size(), 4u);
    EXPECT_EQ(u"...", cut.substr(cut.size() - 3)) << "the dots end the text";
    EXPECT_EQ(text.substr(0, cut.size() - 3), cut.substr(0, cut.size() - 3));
    EXPECT_LE(Width(dc, cut), box);
    auto glyphs = Shape(dc, cut, ETO_RTLREADING);
    EXPECT_EQ(static_cast<int>(cut.size()) - 1, glyphs.front().unit) << "and are drawn at its left";
}

TEST(TextLine, CaretStopsAndHitTestingFollowTheDrawnOrder) {
    MemDC dc(10, 10);
    ScopedFont font(dc, -16);
    // "ab" then a Hebrew word of three letters, left to right: a b [gimel bet alef].
    const std::u16string text = u"ab \u05D0\u05D1\u05D2";
    auto m = platform::gdi::MeasureTextLine(dc, text.c_str(), static_cast<int>(text.size()), 0);
    ASSERT_EQ(7u, m.caret.size());
    EXPECT_EQ(Width(dc, text), m.width);
    EXPECT_EQ(0, m.caret[0]);
    EXPECT_LT(m.caret[1], m.caret[2]);
    EXPECT_EQ(m.width, m.caret[3]) << "before alef: its right side, the line's end";
    EXPECT_GT(m.caret[3], m.caret[4]);
    EXPECT_GT(m.caret[4], m.caret[5]) << "Hebrew stops run to the left";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto& s = m.spans[i];
        ASSERT_LT(s.from, s.to);
        EXPECT_EQ(i >= 3, s.rightToLeft);
        // A click just inside a character's leading side puts the caret before it.
        int leading = s.rightToLeft ? s.to - 1 : s.from;
        EXPECT_EQ(static_cast<int>(i), m.indexAt(leading)) << "unit " << i;
    }
    EXPECT_EQ(0, m.indexAt(-5));
    EXPECT_EQ(3, m.indexAt(m.width + 5)) << "beyond the right end: before alef, which stands there";
    // A mirrored DC counts from the other side.
    SetLayout(dc, LAYOUT_RTL);
    auto mirrored = platform::gdi::MeasureTextLine(dc, u"abc", 3, ETO_RTLREADING);
    ASSERT_EQ(4u, mirrored.caret.size());
    EXPECT_EQ(mirrored.width, mirrored.caret[0]);
    EXPECT_EQ(0, mirrored.caret[3]);
    EXPECT_EQ(0, mirrored.indexAt(mirrored.width - 1));
}

TEST(TextLine, SurrogatePairsAndMarksAreOneCaretStop) {
    MemDC dc(10, 10);
    ScopedFont font(dc, -16);
    // A Han character outside the basic plane, then e with a combining acute.
    const std::u16string text = u"\U00020B9Fe\u0301x";
    auto m = platform::gdi::MeasureTextLine(dc, text.c_str(), static_cast<int>(text.size()), 0);
    ASSERT_EQ(6u, m.caret.size());
    EXPECT_EQ(m.spans[1].from, m.spans[1].to) << "the second half of the pair covers nothing";
    EXPECT_EQ(m.spans[3].from, m.spans[3].to) << "nor does the mark";
    EXPECT_EQ(2, m.indexAt(m.spans[0].to - 1)) << "a click on the right of the pair goes after all of it";
    EXPECT_EQ(4, m.indexAt(m.spans[2].to - 1)) << "and after the mark on e";
}

TEST(DrawTextLayout, WrappedRightToLeftLinesStartAtTheRightAndStayInTheBox) {
    MemDC dc(200, 120);
    SetBkMode(dc, TRANSPARENT);
    ScopedFont font(dc, -14);
    // "no paper in the feeder, put the pages in the feeder" in Arabic.
    const std::u16string text = u"\u0644\u0627 \u064A\u0648\u062C\u062F \u0648\u0631\u0642 \u0641\u064A "
                                u"\u0648\u062D\u062F\u0629 \u0627\u0644\u062A\u063A\u0630\u064A\u0629\u060C "
                                u"\u0636\u0639 \u0627\u0644\u0635\u0641\u062D\u0627\u062A";
    const int box = 90;
    platform::gdi::ClearTextLog();
    RECT r{10, 0, 10 + box, 120};
    DrawTextW(dc, text.c_str(), -1, &r, DT_WORDBREAK | DT_RIGHT | DT_RTLREADING | DT_NOPREFIX);
    auto log = platform::gdi::TextLog();
    ASSERT_GE(log.size(), 2u);
    std::u16string joined;
    for (const auto& line : log) {
        joined += (joined.empty() ? u"" : u" ") + line.text;
        const int width = Width(dc, line.text);
        EXPECT_LE(width, box);
        EXPECT_EQ(10 + box - width, line.pos.x) << "each line ends at the box's right edge";
        auto glyphs = Shape(dc, line.text, ETO_RTLREADING);
        EXPECT_EQ(0, glyphs.back().unit) << "and begins there";
    }
    EXPECT_EQ(text, joined);
    // Nothing is drawn outside the box, however narrow it is.
    MemDC narrow(120, 30);
    SetBkMode(narrow, TRANSPARENT);
    ScopedFont narrowFont(narrow, -14);
    RECT clip{40, 0, 80, 30};
    DrawTextW(narrow, text.c_str(), -1, &clip, DT_SINGLELINE | DT_RIGHT | DT_RTLREADING | DT_NOPREFIX);
    auto [first, last] = InkColumns(narrow, 120, 30);
    EXPECT_GE(first, 40);
    EXPECT_LE(last, 79);
}
