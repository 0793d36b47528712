// Text: TextOutW, ExtTextOutW, DrawTextW, extents and metrics over the shaped lines of textlayout.h, and the line
// metrics the edit control places its caret with.
#include "platform/gdi/fonts.h"
#include "platform/gdi/internal.h"
#include "platform/gdi/state.h"
#include "platform/gdi/testing.h"
#include "platform/gdi/textline.h"
#include "platform/gdi/textlayout.h"

#include <algorithm>
#include <mutex>

namespace platform::gdi {

namespace {

// UTF-16 to code points (unpaired surrogates pass through as themselves). `units`, when given, receives the index
// of each code point's first unit.
std::u32string CodePoints(const char16_t* s, size_t n, std::vector<size_t>* units = nullptr) {
    std::u32string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        if (units)
            units->push_back(i);
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

std::u16string Utf16(const std::u32string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

size_t Length(LPCWSTR text, int count) {
    if (!text)
        return 0;
    if (count >= 0)
        return static_cast<size_t>(count);
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

// The paragraph direction of text on a DC. A right-to-left layout reads right to left unless the call asks for the
// reverse (WS_EX_RTLREADING is "reverse reading" in a mirrored window); a left-to-right one when the call asks.
bool ReadsRightToLeft(const DeviceContext& dc, bool reverse) {
    return ((dc.state.layout & LAYOUT_RTL) != 0) != reverse;
}

// Draws a laid-out line with its cell's left-top at device point `topLeft` (already mirrored if needed), underlining
// the characters whose indexes are in `underline`. `extraClip` further limits drawing (device).
void DrawLine(DeviceContext& dc, FontFace& face, const std::u32string& text, const LineLayout& line, POINT topLeft,
              const std::vector<size_t>& underline, const RECT* extraClip) {
    Target t = dc.target();
    if (!t.base)
        return;
    POINT o = dc.devToTarget();
    Region clip = dc.effectiveClip();
    if (extraClip) {
        Region extra;
        RECT r = *extraClip;
        OffsetRect(&r, o.x, o.y);
        extra.setRect(r);
        clip = Region::combine(clip, extra, RGN_AND);
    }
    int cellHeight = face.ascent + face.descent;
    int x0 = topLeft.x + o.x, y0 = topLeft.y + o.y;
    auto fill = [&](const RECT& area, std::uint32_t pixel) {
        for (const RECT& c : clip.rects) {
            RECT q;
            if (IntersectRect(&q, &area, &c))
                for (LONG y = q.top; y < q.bottom; ++y)
                    std::fill(t.row(y) + q.left, t.row(y) + q.right, pixel);
        }
    };
    const std::uint32_t color = t.pixelOf(dc.state.textColor);
    if (dc.state.bkMode == OPAQUE)
        fill(RECT{x0, y0, x0 + line.width, y0 + cellHeight}, t.pixelOf(dc.state.bkColor));
    int baseline = y0 + face.ascent;
    for (const PlacedGlyph& placed : line.glyphs) {
        const Glyph& g = placed.face->glyph(placed.glyph);
        int left = x0 + placed.x + placed.dx + g.left;
        int top = baseline + placed.dy - g.top;
        RECT box{left, top, left + g.width, top + g.height};
        for (const RECT& c : clip.rects) {
            RECT q;
            if (!IntersectRect(&q, &box, &c))
                continue;
            for (LONG y = q.top; y < q.bottom; ++y) {
                const std::uint8_t* a =
                    g.alpha.data() + static_cast<size_t>(y - box.top) * static_cast<size_t>(g.width);
                std::uint32_t* row = t.row(y);
                for (LONG x = q.left; x < q.right; ++x) {
                    unsigned alpha = a[x - box.left];
                    if (!alpha)
                        continue;
                    if (t.mono || alpha == 255) {
                        if (!t.mono || alpha >= 128)
                            row[x] = color;
                        continue;
                    }
                    std::uint32_t d = row[x], out = 0;
                    for (int shift = 0; shift <= 16; shift += 8) {
                        int dc8 = static_cast<int>((d >> shift) & 0xFF),
                            sc8 = static_cast<int>((color >> shift) & 0xFF);
                        out |= static_cast<std::uint32_t>(dc8 + ((sc8 - dc8) * static_cast<int>(alpha) + 127) / 255)
                               << shift;
                    }
                    row[x] = out;
                }
            }
        }
    }
    const int underlineTop = baseline + face.underlinePos;
    const int underlineBottom = underlineTop + face.underlineThickness;
    if (dc.state.font && dc.state.font->log.lfUnderline) {
        fill(RECT{x0, underlineTop, x0 + line.width, underlineBottom}, color);
    } else if (!underline.empty()) {
        std::vector<CharSpan> spans = CharSpans(line, text);
        for (size_t i : underline)
            if (i < spans.size())
                fill(RECT{x0 + spans[i].left, underlineTop, x0 + spans[i].right, underlineBottom}, color);
    }
    LogText(Utf16(text), POINT{x0, y0});
}

// Device left-top of a line of `width` pixels whose logical cell starts at (x, y); mirrored DCs flip it.
POINT LineOrigin(const DeviceContext& dc, int x, int y, int width) {
    RECT r = ToDeviceRect(dc, x, y, x + width, y + 1);
    return POINT{r.left, r.top};
}

// A line of text as ExtTextOutW with `options` draws it on the DC: its code points, the UTF-16 index of each, and
// its layout in the DC's font and reading order. False when the DC's font cannot be opened. Caller holds the text
// mutex.
struct DCLine {
    FontFace* face = nullptr;
    std::u32string text;
    std::vector<size_t> units;
    LineLayout layout;
    bool rightToLeft = false;
};

bool LayOutDCLine(const DeviceContext& dc, const WCHAR* text, size_t count, UINT options, DCLine& out) {
    out.face = FaceOf(dc.state.font);
    if (!out.face)
        return false;
    out.rightToLeft = ReadsRightToLeft(dc, (options & ETO_RTLREADING) || (dc.state.textAlign & TA_RTLREADING));
    out.text = CodePoints(text, count, &out.units);
    out.layout = LayOutLine(*out.face, out.text, out.rightToLeft);
    return true;
}

} // namespace

void LogText(const std::u16string& text, POINT pos) {
    // Caller holds the text mutex.
    auto& log = G().log;
    log.push_back(DrawnText{text, pos});
    if (log.size() > 100000) // a long-running program keeps the newest half
        log.erase(log.begin(), log.begin() + 50000);
}

std::vector<DrawnText> TextLog() {
    std::lock_guard lock(G().textMutex);
    return G().log;
}

void ClearTextLog() {
    std::lock_guard lock(G().textMutex);
    G().log.clear();
}

std::vector<ShapedGlyph> ShapeText(HDC hdc, const WCHAR* text, int count, UINT options) {
    std::vector<ShapedGlyph> out;
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !text || count < 0)
        return out;
    std::lock_guard lock(G().textMutex);
    DCLine line;
    if (!LayOutDCLine(*dc, text, static_cast<size_t>(count), options, line))
        return out;
    for (const PlacedGlyph& g : line.layout.glyphs)
        out.push_back(ShapedGlyph{g.glyph, g.x, g.advance, static_cast<int>(line.units[g.cluster]), g.face->family});
    return out;
}

int TextLineMetrics::indexAt(int x) const {
    const int n = static_cast<int>(spans.size());
    if (n == 0)
        return 0;
    // Work left to right as the line appears.
    auto visual = [&](const Span& s) { return mirrored ? Span{width - s.to, width - s.from, s.rightToLeft} : s; };
    if (mirrored)
        x = width - x;
    int hit = -1, leftmost = -1, rightmost = -1;
    for (int i = 0; i < n; ++i) {
        Span s = visual(spans[static_cast<size_t>(i)]);
        if (s.to <= s.from)
            continue;
        if (x >= s.from && x < s.to) {
            hit = i;
            break;
        }
        if (leftmost < 0 || s.from < visual(spans[static_cast<size_t>(leftmost)]).from)
            leftmost = i;
        if (rightmost < 0 || s.to > visual(spans[static_cast<size_t>(rightmost)]).to)
            rightmost = i;
    }
    bool onLeftSide;
    if (hit < 0) {
        if (leftmost < 0)
            return 0;
        onLeftSide = x < visual(spans[static_cast<size_t>(leftmost)]).from;
        hit = onLeftSide ? leftmost : rightmost;
    } else {
        Span s = visual(spans[static_cast<size_t>(hit)]);
        onLeftSide = 2 * (x - s.from) < s.to - s.from;
    }
    // The caret goes before a character on its leading side, which is the left one for left-to-right text.
    if (onLeftSide != spans[static_cast<size_t>(hit)].rightToLeft)
        return hit;
    int next = hit + 1; // after the character and whatever covers nothing after it (marks, a surrogate's half)
    while (next < n && spans[static_cast<size_t>(next)].to <= spans[static_cast<size_t>(next)].from)
        ++next;
    return next;
}

TextLineMetrics MeasureTextLine(HDC hdc, const WCHAR* text, int count, UINT options) {
    TextLineMetrics m;
    DeviceContext* dc = ToDC(hdc);
    if (!dc || count < 0 || (!text && count > 0))
        return m;
    std::lock_guard lock(G().textMutex);
    DCLine laidOut;
    if (!LayOutDCLine(*dc, text, static_cast<size_t>(count), options, laidOut))
        return m;
    const std::u32string& cps = laidOut.text;
    const std::vector<size_t>& units = laidOut.units;
    const LineLayout& line = laidOut.layout;
    std::vector<CharSpan> spans = CharSpans(line, cps);
    std::vector<int> stops = CaretStops(line, spans, laidOut.rightToLeft);
    m.width = line.width;
    m.mirrored = (dc->state.layout & LAYOUT_RTL) != 0;
    auto logical = [&](int x) { return m.mirrored ? line.width - x : x; };
    m.caret.assign(static_cast<size_t>(count) + 1, logical(stops.back()));
    m.spans.assign(static_cast<size_t>(count), TextLineMetrics::Span{});
    for (size_t i = 0; i < cps.size(); ++i) {
        const size_t unit = units[i];
        const size_t after = i + 1 < cps.size() ? units[i + 1] : static_cast<size_t>(count);
        const bool reversed = i < line.levels.size() && (line.levels[i] & 1);
        int a = logical(spans[i].left), b = logical(spans[i].right);
        m.spans[unit] = TextLineMetrics::Span{std::min(a, b), std::max(a, b), reversed};
        m.caret[unit] = logical(stops[i]);
        for (size_t u = unit + 1; u < after; ++u) { // the second half of a surrogate pair
            int end = logical(reversed ? spans[i].left : spans[i].right);
            m.spans[u] = TextLineMetrics::Span{end, end, reversed};
            m.caret[u] = end;
        }
    }
    return m;
}

} // namespace platform::gdi

using namespace platform::gdi;

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
    if (!lf)
        return nullptr;
    auto* font = new Font; // owned by the handle table until DeleteObject
    font->log = *lf;
    font->log.lfFaceName[LF_FACESIZE - 1] = 0;
    Register(font);
    return reinterpret_cast<HFONT>(font);
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic != 0);
    lf.lfUnderline = static_cast<BYTE>(underline != 0);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    for (int i = 0; faceName && faceName[i] && i < LF_FACESIZE - 1; ++i)
        lf.lfFaceName[i] = faceName[i];
    return CreateFontIndirectW(&lf);
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !size || count < 0 || (!text && count > 0))
        return FALSE;
    std::lock_guard lock(G().textMutex);
    FontFace* face = FaceOf(dc->state.font);
    if (!face)
        return FALSE;
    bool rtl = ReadsRightToLeft(*dc, (dc->state.textAlign & TA_RTLREADING) != 0);
    size->cx = LineWidth(*face, CodePoints(text, static_cast<size_t>(count)), rtl);
    size->cy = face->ascent + face->descent;
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW tm) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !tm)
        return FALSE;
    std::lock_guard lock(G().textMutex);
    FontFace* face = FaceOf(dc->state.font);
    if (!face)
        return FALSE;
    const LOGFONTW& lf = dc->state.font->log;
    *tm = TEXTMETRICW{};
    tm->tmAscent = face->ascent;
    tm->tmDescent = face->descent;
    tm->tmHeight = face->ascent + face->descent;
    tm->tmInternalLeading = face->internalLeading;
    tm->tmExternalLeading = face->externalLeading;
    tm->tmAveCharWidth = face->aveCharWidth;
    tm->tmMaxCharWidth = face->maxCharWidth;
    tm->tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = lf.lfItalic;
    tm->tmUnderlined = lf.lfUnderline;
    tm->tmStruckOut = lf.lfStrikeOut;
    tm->tmPitchAndFamily = static_cast<BYTE>(VARIABLE_PITCH | 0x06); // TMPF_VECTOR | TMPF_TRUETYPE
    tm->tmCharSet = lf.lfCharSet;
    return TRUE;
}

int GetTextFaceW(HDC hdc, int count, LPWSTR name) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !dc->state.font)
        return 0;
    const WCHAR* face = dc->state.font->log.lfFaceName;
    int n = 0;
    while (n < LF_FACESIZE && face[n])
        ++n;
    if (!name)
        return n + 1;
    int copied = std::min(n, count - 1);
    if (copied < 0)
        return 0;
    std::copy_n(face, copied, name);
    name[copied] = 0;
    return copied + 1;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || (!text && count > 0))
        return FALSE;
    if ((options & ETO_OPAQUE) && rect)
        FillRectDevice(*dc, ToDeviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom),
                       ToPixel(dc->state.bkColor));
    if (count == 0 && !(dc->state.textAlign & TA_UPDATECP))
        return TRUE; // a fill only (CDC::FillSolidRect): no text to draw or log
    std::lock_guard lock(G().textMutex);
    DCLine laidOut;
    if (!LayOutDCLine(*dc, text, count, options, laidOut))
        return FALSE;
    FontFace* face = laidOut.face;
    const LineLayout& line = laidOut.layout;
    const UINT align = dc->state.textAlign;
    int width = line.width;
    if (align & TA_UPDATECP) {
        x = dc->state.position.x;
        y = dc->state.position.y;
    }
    int left = x;
    if ((align & TA_CENTER) == TA_CENTER)
        left = x - width / 2;
    else if (align & TA_RIGHT)
        left = x - width;
    int top = y;
    if ((align & TA_BASELINE) == TA_BASELINE)
        top = y - face->ascent;
    else if (align & TA_BOTTOM)
        top = y - (face->ascent + face->descent);
    if (align & TA_UPDATECP)
        dc->state.position.x = (align & TA_RIGHT) ? x - width : x + width;
    RECT clipRect;
    const RECT* extra = nullptr;
    if ((options & ETO_CLIPPED) && rect) {
        clipRect = ToDeviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
        extra = &clipRect;
    }
    int saveMode = dc->state.bkMode;
    if (options & ETO_OPAQUE)
        dc->state.bkMode = TRANSPARENT; // the rectangle was the background
    DrawLine(*dc, *face, laidOut.text, line, LineOrigin(*dc, left, top, width), {}, extra);
    dc->state.bkMode = saveMode;
    return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
    if (count < 0)
        return FALSE;
    return ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

namespace {

struct TextLine {
    std::u32string text;
    std::vector<size_t> underline; // indexes of prefixed (&x) characters
};

// Removes & prefixes: "&x" shows x underlined, "&&" shows one &.
TextLine StripPrefix(const std::u32string& in, bool hideUnderline) {
    TextLine out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == U'&' && i + 1 < in.size()) {
            ++i;
            if (in[i] != U'&' && !hideUnderline)
                out.underline.push_back(out.text.size());
        } else if (in[i] == U'&') {
            continue;
        }
        out.text.push_back(in[i]);
    }
    return out;
}

// The longest start of the line that fits `width` with "..." after it, cut where a character begins (never between
// a letter and its marks); the line itself when it fits.
void Ellipsize(FontFace& face, TextLine& line, int width, bool rtl) {
    if (LineWidth(face, line.text, rtl) <= width)
        return;
    const std::u32string dots = U"...";
    size_t lo = 0, hi = line.text.size(); // lo always fits (or is 0)
    while (lo < hi) {
        size_t mid = (lo + hi + 1) / 2;
        if (LineWidth(face, line.text.substr(0, mid) + dots, rtl) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    while (lo > 0 && lo < line.text.size() && IsMarkOrFormat(line.text[lo]))
        --lo;
    line.text = line.text.substr(0, lo) + dots;
    line.underline.erase(
        std::remove_if(line.underline.begin(), line.underline.end(), [lo](size_t i) { return i >= lo; }),
        line.underline.end());
}

} // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !rect)
        return 0;
    size_t n = Length(text, count);
    std::lock_guard lock(G().textMutex);
    FontFace* face = FaceOf(dc->state.font);
    if (!face)
        return 0;
    const bool rtl = ReadsRightToLeft(*dc, (format & DT_RTLREADING) != 0);
    std::u32string all = CodePoints(text ? text : u"", n);
    int lineHeight = face->ascent + face->descent + ((format & DT_EXTERNALLEADING) ? face->externalLeading : 0);
    int boxWidth = rect->right - rect->left;

    // Paragraphs, then wrapped lines.
    std::vector<std::u32string> paragraphs;
    if (format & DT_SINGLELINE) {
        std::u32string one;
        for (char32_t c : all)
            if (c != U'\r' && c != U'\n')
                one.push_back(c);
        paragraphs.push_back(one);
    } else {
        std::u32string cur;
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i] == U'\r' || all[i] == U'\n') {
                paragraphs.push_back(cur);
                cur.clear();
                if (all[i] == U'\r' && i + 1 < all.size() && all[i + 1] == U'\n')
                    ++i;
            } else {
                cur.push_back(all[i]);
            }
        }
        paragraphs.push_back(cur);
    }
    if (format & DT_EXPANDTABS) {
        for (auto& p : paragraphs) {
            std::u32string expanded;
            for (char32_t c : p)
                expanded += c == U'\t' ? std::u32string(8, U' ') : std::u32string(1, c);
            p = expanded;
        }
    }
    std::vector<TextLine> lines;
    for (const auto& p : paragraphs) {
        TextLine stripped = (format & DT_NOPREFIX) ? TextLine{p, {}} : StripPrefix(p, (format & DT_HIDEPREFIX) != 0);
        if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
            lines.push_back(stripped);
            continue;
        }
        for (auto [begin, end] : WrapLines(*face, stripped.text, boxWidth, rtl)) {
            TextLine part{stripped.text.substr(begin, end - begin), {}};
            for (size_t i : stripped.underline)
                if (i >= begin && i < end)
                    part.underline.push_back(i - begin);
            lines.push_back(std::move(part));
        }
    }
    if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS))
        for (auto& l : lines)
            Ellipsize(*face, l, boxWidth, rtl);

    int textHeight = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int maxWidth = 0;
        for (const auto& l : lines)
            maxWidth = std::max(maxWidth, LineWidth(*face, l.text, rtl));
        rect->right = rect->left + maxWidth;
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }
    RECT clipDev = ToDeviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
    const RECT* extra = (format & DT_NOCLIP) ? nullptr : &clipDev;
    int firstY = y;
    for (const auto& l : lines) {
        LineLayout line = LayOutLine(*face, l.text, rtl);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (boxWidth - line.width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - line.width;
        DrawLine(*dc, *face, l.text, line, LineOrigin(*dc, x, y, line.width), l.underline, extra);
        y += lineHeight;
    }
    // Windows answers the height of the text, measured from the rectangle's top when it was moved down.
    return (firstY - rect->top) + textHeight;
}
