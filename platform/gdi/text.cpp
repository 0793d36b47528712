// Fonts and text: Windows font requests resolved to the metric-compatible Liberation fonts, rendered anti-aliased
// by FreeType through a glyph cache; TextOutW, ExtTextOutW, DrawTextW, extents and metrics.
#include "platform/gdi/internal.h"
#include "platform/gdi/state.h"
#include "platform/gdi/testing.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_map>

namespace platform::gdi {

struct Glyph {
    int advance = 0;
    int left = 0, top = 0; // bitmap offset from the pen position on the baseline (top: pixels above it)
    int width = 0, height = 0;
    std::vector<std::uint8_t> alpha;
};

// One font file at one pixel size.
struct FontFace {
    FT_Face face = nullptr;
    std::vector<FT_Byte> data; // the file, which FreeType reads in place
    int ascent = 0, descent = 0, internalLeading = 0, externalLeading = 0, aveCharWidth = 0, maxCharWidth = 0;
    int underlinePos = 0, underlineThickness = 1;
    int ppem = 0;
    bool bold = false;
    std::unordered_map<char32_t, Glyph> glyphs;
    // Faces asked for characters this one lacks (Arabic, Chinese, Japanese texts), opened on first need.
    std::vector<std::unique_ptr<FontFace>> fallbacks;
    bool fallbacksOpened = false;
    ~FontFace() {
        if (face)
            FT_Done_Face(face);
    }
};

namespace {

const char* kFontDir = "/usr/share/fonts/truetype/liberation/";

std::string FontFile(const LOGFONTW& lf) {
    std::u16string name(lf.lfFaceName, std::find(lf.lfFaceName, lf.lfFaceName + LF_FACESIZE, u'\0'));
    for (auto& c : name)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    std::string family = "LiberationSans";
    if (name == u"courier new" || name == u"courier" || name == u"consolas" || name == u"lucida console")
        family = "LiberationMono";
    else if (name == u"times new roman" || name == u"times")
        family = "LiberationSerif";
    bool bold = lf.lfWeight >= FW_SEMIBOLD;
    bool italic = lf.lfItalic != 0;
    std::string style = bold && italic ? "BoldItalic" : bold ? "Bold" : italic ? "Italic" : "Regular";
    return std::string(kFontDir) + family + "-" + style + ".ttf";
}

std::unique_ptr<FontFace> OpenFace(const std::string& file, const LOGFONTW& lf) {
    SharedState& g = G();
    if (!g.library && FT_Init_FreeType(&g.library) != 0)
        return nullptr;
    auto face = std::make_unique<FontFace>();
    std::ifstream in(file, std::ios::binary);
    face->data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (face->data.empty() ||
        FT_New_Memory_Face(g.library, face->data.data(), static_cast<FT_Long>(face->data.size()), 0, &face->face) != 0)
        return nullptr;
    FT_Face f = face->face;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    double winAscent = os2 ? os2->usWinAscent : f->ascender;
    double winDescent = os2 ? os2->usWinDescent : -f->descender;
    double upem = f->units_per_EM;
    // Negative heights ask for the character (em) height, positive ones for the cell height (ascent + descent).
    int ppem;
    if (lf.lfHeight < 0)
        ppem = -lf.lfHeight;
    else if (lf.lfHeight > 0)
        ppem = std::max(1, static_cast<int>(std::lround(lf.lfHeight * upem / (winAscent + winDescent))));
    else
        ppem = 16;
    ppem = std::min(ppem, 2000);
    FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(ppem));
    face->ppem = ppem;
    face->bold = lf.lfWeight >= FW_SEMIBOLD;
    double scale = ppem / upem;
    face->ascent = static_cast<int>(std::lround(winAscent * scale));
    face->descent = static_cast<int>(std::lround(winDescent * scale));
    if (lf.lfHeight > 0)
        face->descent = std::max(0, static_cast<int>(lf.lfHeight) - face->ascent);
    face->internalLeading = std::max(0, face->ascent + face->descent - ppem);
    // The line spacing the font asks for beyond its cell (hhea), else its typographic line gap.
    double extra = f->height - (winAscent + winDescent);
    if (extra <= 0)
        extra = os2 ? os2->sTypoLineGap : 0;
    face->externalLeading = std::max(0, static_cast<int>(std::lround(extra * scale)));
    face->aveCharWidth = os2 ? static_cast<int>(std::lround(os2->xAvgCharWidth * scale)) : ppem / 2;
    face->maxCharWidth = static_cast<int>(std::lround(f->max_advance_width * scale));
    face->underlinePos = std::max(1, static_cast<int>(std::lround(-f->underline_position * scale)));
    face->underlineThickness = std::max(1, static_cast<int>(std::lround(f->underline_thickness * scale)));
    return face;
}

// The face of a font object, opened on first use (caller holds the text mutex).
FontFace* FaceOf(Font* font) {
    if (!font)
        return nullptr;
    if (!font->face) {
        std::string file = FontFile(font->log);
        int key = static_cast<int>(font->log.lfHeight);
        auto& faces = G().faces;
        auto it = faces.find({file, key});
        if (it == faces.end()) // a face that fails to open is remembered as missing
            it = faces.emplace(std::make_pair(file, key), OpenFace(file, font->log).release()).first;
        font->face = it->second;
    }
    return font->face;
}

// Windows links fonts for scripts a face lacks; these stand in for that, when installed.
void OpenFallbacks(FontFace& face) {
    face.fallbacksOpened = true;
    const char* files[] = {face.bold ? "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
                                     : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf"};
    for (const char* file : files) {
        auto fb = std::make_unique<FontFace>();
        std::ifstream in(file, std::ios::binary);
        fb->data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (fb->data.empty() ||
            FT_New_Memory_Face(G().library, fb->data.data(), static_cast<FT_Long>(fb->data.size()), 0, &fb->face) != 0)
            continue;
        FT_Set_Pixel_Sizes(fb->face, 0, static_cast<FT_UInt>(face.ppem));
        face.fallbacks.push_back(std::move(fb));
    }
}

// The face that has a glyph for `c`: this one, else the first fallback that does, else this one (.notdef box).
FT_Face FaceFor(FontFace& face, char32_t c) {
    if (c < 0x80 || FT_Get_Char_Index(face.face, c) != 0)
        return face.face;
    if (!face.fallbacksOpened)
        OpenFallbacks(face);
    for (const auto& fb : face.fallbacks)
        if (FT_Get_Char_Index(fb->face, c) != 0)
            return fb->face;
    return face.face;
}

const Glyph& GlyphOf(FontFace& face, char32_t c) {
    auto it = face.glyphs.find(c);
    if (it != face.glyphs.end())
        return it->second;
    Glyph g;
    FT_Face ft = FaceFor(face, c);
    if (FT_Load_Char(ft, c, FT_LOAD_DEFAULT) == 0 && FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_NORMAL) == 0) {
        FT_GlyphSlot slot = ft->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(slot->bitmap.width);
        g.height = static_cast<int>(slot->bitmap.rows);
        g.alpha.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
        for (int y = 0; y < g.height; ++y)
            std::memcpy(g.alpha.data() + static_cast<size_t>(y) * static_cast<size_t>(g.width),
                        slot->bitmap.buffer + static_cast<std::ptrdiff_t>(y) * slot->bitmap.pitch,
                        static_cast<size_t>(g.width));
    }
    return face.glyphs.emplace(c, std::move(g)).first->second;
}

// UTF-16 to code points (unpaired surrogates pass through as themselves).
std::u32string CodePoints(const char16_t* s, size_t n) {
    std::u32string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

int Measure(FontFace& face, const std::u32string& text) {
    int w = 0;
    for (char32_t c : text)
        w += GlyphOf(face, c).advance;
    return w;
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

bool IsRightToLeft(char32_t c) {
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF);
}

// The order in which a line's characters appear from left to right. Hebrew and Arabic runs (with the spaces and
// punctuation between their words) read right to left inside a left-to-right line; everything else stays in
// place. A simple stand-in for the full bidirectional algorithm, enough for UI texts.
std::vector<size_t> VisualOrder(const std::u32string& text) {
    std::vector<size_t> order(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        order[i] = i;
    size_t i = 0;
    while (i < text.size()) {
        if (!IsRightToLeft(text[i])) {
            ++i;
            continue;
        }
        size_t end = i, lastStrong = i;
        while (end < text.size() && (IsRightToLeft(text[end]) || text[end] == U' ' || text[end] == U'-' ||
                                     text[end] == U'\'' || text[end] == U'"')) {
            if (IsRightToLeft(text[end]))
                lastStrong = end;
            ++end;
        }
        std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i),
                     order.begin() + static_cast<std::ptrdiff_t>(lastStrong + 1));
        i = lastStrong + 1;
    }
    return order;
}

// Draws one line with its cell's left-top at device point `topLeft` (already mirrored if needed), optionally
// underlining the characters whose indexes are in `underline`. `extraClip` further limits drawing (device).
void DrawLine(DeviceContext& dc, FontFace& face, const std::u32string& text, POINT topLeft,
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
    int width = Measure(face, text);
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
        fill(RECT{x0, y0, x0 + width, y0 + cellHeight}, t.pixelOf(dc.state.bkColor));
    bool underlineAll = dc.state.font && dc.state.font->log.lfUnderline;
    int baseline = y0 + face.ascent;
    int pen = x0;
    for (size_t i : VisualOrder(text)) {
        const Glyph& g = GlyphOf(face, text[i]);
        RECT box{pen + g.left, baseline - g.top, pen + g.left + g.width, baseline - g.top + g.height};
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
        if (underlineAll || std::find(underline.begin(), underline.end(), i) != underline.end())
            fill(RECT{pen, baseline + face.underlinePos, pen + g.advance,
                      baseline + face.underlinePos + face.underlineThickness},
                 color);
        pen += g.advance;
    }
    std::u16string logged;
    for (char32_t c : text) {
        if (c >= 0x10000) {
            logged.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            logged.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            logged.push_back(static_cast<char16_t>(c));
        }
    }
    LogText(logged, POINT{x0, y0});
}

// Device left-top of a line of `width` pixels whose logical cell starts at (x, y); mirrored DCs flip it.
POINT LineOrigin(const DeviceContext& dc, int x, int y, int width) {
    RECT r = ToDeviceRect(dc, x, y, x + width, y + 1);
    return POINT{r.left, r.top};
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
    size->cx = Measure(*face, CodePoints(text, static_cast<size_t>(count)));
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
    FontFace* face = FaceOf(dc->state.font);
    if (!face)
        return FALSE;
    std::u32string cps = CodePoints(text, count);
    int width = Measure(*face, cps);
    UINT align = dc->state.textAlign;
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
    DrawLine(*dc, *face, cps, LineOrigin(*dc, left, top, width), {}, extra);
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

std::u32string Ellipsize(FontFace& face, std::u32string text, int width) {
    if (Measure(face, text) <= width)
        return text;
    std::u32string dots = U"...";
    while (!text.empty() && Measure(face, text + dots) > width)
        text.pop_back();
    return text + dots;
}

// Splits a paragraph into lines no wider than `width` at spaces (a single word wider than that stays whole).
std::vector<std::u32string> WrapWords(FontFace& face, const std::u32string& para, int width) {
    std::vector<std::u32string> lines;
    std::u32string line;
    size_t i = 0;
    while (i < para.size()) {
        size_t end = i;
        while (end < para.size() && para[end] != U' ')
            ++end;
        std::u32string word = para.substr(i, end - i);
        std::u32string candidate = line;
        if (!candidate.empty())
            candidate += U' ';
        candidate += word;
        if (!line.empty() && Measure(face, candidate) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        i = end;
        while (i < para.size() && para[i] == U' ')
            ++i;
    }
    lines.push_back(line);
    return lines;
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
        if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
            // Wrapping loses the prefix underline positions only for lines after the first, which is rare enough.
            auto wrapped = WrapWords(*face, stripped.text, boxWidth);
            for (size_t k = 0; k < wrapped.size(); ++k)
                lines.push_back(TextLine{wrapped[k], k == 0 ? stripped.underline : std::vector<size_t>{}});
        } else {
            lines.push_back(stripped);
        }
    }
    if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS))
        for (auto& l : lines)
            l.text = Ellipsize(*face, l.text, boxWidth);

    int textHeight = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int maxWidth = 0;
        for (const auto& l : lines)
            maxWidth = std::max(maxWidth, Measure(*face, l.text));
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
        int w = Measure(*face, l.text);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (boxWidth - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        DrawLine(*dc, *face, l.text, LineOrigin(*dc, x, y, w), l.underline, extra);
        y += lineHeight;
    }
    // Windows answers the height of the text, measured from the rectangle's top when it was moved down.
    return (firstY - rect->top) + textHeight;
}
