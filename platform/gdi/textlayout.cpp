// Line layout: bidirectional levels, runs of one face, script and direction, HarfBuzz shaping, visual order, and
// what the caret and line breaking need from the result.
#include "platform/gdi/textlayout.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>
#include <climits>
#include <numeric>

namespace platform::gdi {

namespace {

// Beyond this many shaped lines a font's cache starts again: a dialog's texts fit many times over.
constexpr size_t kCacheLimit = 512;

// Characters every face draws as one glyph each, advance by advance: Latin, Greek, Cyrillic, common punctuation
// and symbols, and Chinese, Japanese and Korean characters that do not combine. Left-to-right text of these alone
// needs no shaping and no reordering.
bool IsPlain(char32_t c) {
    if (c < 0x0300)
        return c != 0x00AD; // the soft hyphen is invisible
    if (c < 0x0370)
        return false; // combining diacritics
    if (c < 0x0483)
        return true;
    if (c < 0x048A)
        return false; // Cyrillic combining marks
    if (c < 0x0530)
        return true;
    return (c >= 0x2010 && c <= 0x2027) || (c >= 0x2030 && c <= 0x205E) || (c >= 0x20A0 && c <= 0x20C0) ||
           (c >= 0x2100 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x3029) || (c >= 0x3030 && c <= 0x3098) ||
           (c >= 0x309B && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

bool IsDefaultIgnorable(char32_t c) {
    return c == 0x00AD || c == 0x034F || c == 0x061C || c == 0xFEFF || (c >= 0x180B && c <= 0x180E) ||
           (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0000 && c <= 0xE0FFF);
}

bool IsIdeographic(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Characters that never begin a line (closing punctuation, small kana) or never end one (opening brackets).
bool NeverBeginsLine(char32_t c) {
    static constexpr std::u32string_view kClosing =
        U")]}.,:;!?%\u3001\u3002\uFF0C\uFF0E\uFF1A\uFF1B\uFF1F\uFF01\uFF09\uFF3D\uFF5D\u300D\u300F\u3011\u3009"
        U"\u300B\u3015\u3017\u3019\u301B\u30FC\u3005\u303B\u30FB\u3041\u3043\u3045\u3047\u3049\u3063\u3083\u3085"
        U"\u3087\u308E\u3095\u3096\u30A1\u30A3\u30A5\u30A7\u30A9\u30C3\u30E3\u30E5\u30E7\u30EE\u30F5\u30F6";
    return kClosing.find(c) != std::u32string_view::npos;
}

bool NeverEndsLine(char32_t c) {
    static constexpr std::u32string_view kOpening =
        U"([{\uFF08\uFF3B\uFF5B\u300C\u300E\u3010\u3008\u300A\u3014\u3016\u3018\u301A";
    return kOpening.find(c) != std::u32string_view::npos;
}

// May a line end before text[i] (0 < i < size)?
bool BreakBefore(const std::u32string& text, size_t i) {
    char32_t before = text[i - 1], c = text[i];
    if (c == U' ' || IsMarkOrFormat(c))
        return false;
    if (before == U' ')
        return true;
    if (NeverBeginsLine(c) || NeverEndsLine(before))
        return false;
    return IsIdeographic(before) || IsIdeographic(c);
}

// Scripts whose text Windows draws glyph by glyph without kerning or ligatures; the others are shaped in full.
bool IsSimpleScript(hb_script_t script) {
    switch (script) {
    case HB_SCRIPT_LATIN:
    case HB_SCRIPT_GREEK:
    case HB_SCRIPT_CYRILLIC:
    case HB_SCRIPT_COMMON:
    case HB_SCRIPT_HAN:
    case HB_SCRIPT_HIRAGANA:
    case HB_SCRIPT_KATAKANA:
    case HB_SCRIPT_HANGUL:
    case HB_SCRIPT_BOPOMOFO:
        return true;
    default:
        return false;
    }
}

LineLayout LayOutPlain(FontFace& font, const std::u32string& text) {
    LineLayout line;
    line.levels.assign(text.size(), 0);
    line.glyphs.reserve(text.size());
    int pen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const ResolvedChar& r = font.resolve(text[i]);
        line.glyphs.push_back(PlacedGlyph{r.face, r.glyph, pen, r.advance, 0, 0, static_cast<std::uint32_t>(i)});
        pen += r.advance;
    }
    line.width = pen;
    return line;
}

bool NeedsShaping(const std::u32string& text, bool rightToLeft) {
    return rightToLeft || !std::all_of(text.begin(), text.end(), IsPlain);
}

// Bidirectional levels of the line as one paragraph of the given direction, with the whitespace at its end at the
// paragraph's level.
std::vector<std::uint8_t> BidiLevels(const std::u32string& text, bool rightToLeft) {
    const auto n = static_cast<FriBidiStrIndex>(text.size());
    const auto* chars = reinterpret_cast<const FriBidiChar*>(text.data());
    std::vector<FriBidiCharType> types(text.size());
    std::vector<FriBidiBracketType> brackets(text.size());
    std::vector<FriBidiLevel> levels(text.size());
    fribidi_get_bidi_types(chars, n, types.data());
    fribidi_get_bracket_types(chars, n, types.data(), brackets.data());
    FriBidiParType direction = rightToLeft ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    std::vector<std::uint8_t> out(text.size(), rightToLeft ? 1 : 0);
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &direction, levels.data()) != 0)
        for (size_t i = 0; i < text.size(); ++i)
            out[i] = static_cast<std::uint8_t>(levels[i]);
    for (size_t i = text.size(); i-- > 0;) {
        if (!FRIBIDI_IS_EXPLICIT_OR_BN_OR_WS(types[i]) && !FRIBIDI_IS_ISOLATE(types[i]))
            break;
        out[i] = rightToLeft ? 1 : 0;
    }
    return out;
}

struct Run {
    size_t begin, end;
    SizedFace* face;
    hb_script_t script;
    std::uint8_t level;
};

// Splits the line where the face, the script or the level changes. Marks and invisible format characters stay
// with the face of the character before them; characters common to all scripts take their neighbours' script.
std::vector<Run> Itemize(FontFace& font, const std::u32string& text, const std::vector<std::uint8_t>& levels) {
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    const size_t n = text.size();
    std::vector<SizedFace*> faces(n);
    std::vector<hb_script_t> scripts(n, HB_SCRIPT_INVALID);
    hb_script_t last = HB_SCRIPT_INVALID;
    for (size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (i > 0 && IsMarkOrFormat(c) && (IsDefaultIgnorable(c) || faces[i - 1]->glyphIndex(c) != 0))
            faces[i] = faces[i - 1];
        else
            faces[i] = font.resolve(c).face;
        hb_script_t script = hb_unicode_script(unicode, c);
        if (script != HB_SCRIPT_COMMON && script != HB_SCRIPT_INHERITED && script != HB_SCRIPT_UNKNOWN)
            last = script;
        scripts[i] = last;
    }
    hb_script_t first = HB_SCRIPT_COMMON;
    for (hb_script_t s : scripts)
        if (s != HB_SCRIPT_INVALID) {
            first = s;
            break;
        }
    for (auto& s : scripts) {
        if (s != HB_SCRIPT_INVALID)
            break;
        s = first;
    }
    std::vector<Run> runs;
    for (size_t i = 0; i < n; ++i) {
        if (!runs.empty() && runs.back().face == faces[i] && runs.back().script == scripts[i] &&
            runs.back().level == levels[i])
            runs.back().end = i + 1;
        else
            runs.push_back(Run{i, i + 1, faces[i], scripts[i], levels[i]});
    }
    return runs;
}

// The runs' visual order: from the highest level down to the lowest odd one, every sequence of runs at that level
// or above is reversed.
std::vector<size_t> VisualOrder(const std::vector<Run>& runs) {
    std::vector<size_t> order(runs.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::uint8_t highest = 0, lowestOdd = UINT8_MAX;
    for (const Run& r : runs) {
        highest = std::max(highest, r.level);
        if (r.level & 1)
            lowestOdd = std::min(lowestOdd, r.level);
    }
    for (int level = highest; level >= lowestOdd && level > 0; --level) {
        size_t i = 0;
        while (i < order.size()) {
            if (runs[order[i]].level < level) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < order.size() && runs[order[j]].level >= level)
                ++j;
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i),
                         order.begin() + static_cast<std::ptrdiff_t>(j));
            i = j;
        }
    }
    return order;
}

int Pixels(hb_position_t p) {
    return (p + 32) >> 6;
}

LineLayout Shape(FontFace& font, const std::u32string& text, bool rightToLeft) {
    LineLayout line;
    if (text.empty())
        return line;
    line.levels = BidiLevels(text, rightToLeft);
    std::vector<Run> runs = Itemize(font, text, line.levels);
    static const hb_feature_t kGlyphByGlyph[] = {
        {HB_TAG('k', 'e', 'r', 'n'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('l', 'i', 'g', 'a'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
        {HB_TAG('c', 'l', 'i', 'g'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END},
    };
    hb_buffer_t* buffer = hb_buffer_create();
    hb_position_t pen = 0; // 26.6
    for (size_t index : VisualOrder(runs)) {
        const Run& run = runs[index];
        hb_buffer_clear_contents(buffer);
        hb_buffer_add_utf32(buffer, reinterpret_cast<const std::uint32_t*>(text.data()), static_cast<int>(text.size()),
                            static_cast<unsigned>(run.begin), static_cast<int>(run.end - run.begin));
        hb_buffer_set_direction(buffer, (run.level & 1) ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_set_script(buffer, run.script);
        unsigned flags = HB_BUFFER_FLAG_DEFAULT;
        if (run.begin == 0)
            flags |= HB_BUFFER_FLAG_BOT;
        if (run.end == text.size())
            flags |= HB_BUFFER_FLAG_EOT;
        hb_buffer_set_flags(buffer, static_cast<hb_buffer_flags_t>(flags));
        const bool simple = IsSimpleScript(run.script);
        hb_shape(run.face->shaper, buffer, simple ? kGlyphByGlyph : nullptr, simple ? std::size(kGlyphByGlyph) : 0);
        unsigned count = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
        const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, nullptr);
        for (unsigned g = 0; g < count; ++g) {
            const hb_glyph_position_t& p = positions[g];
            PlacedGlyph placed;
            placed.face = run.face;
            placed.glyph = infos[g].codepoint;
            placed.x = Pixels(pen);
            placed.advance = Pixels(pen + p.x_advance) - placed.x;
            placed.dx = Pixels(pen + p.x_offset) - placed.x;
            placed.dy = -Pixels(p.y_offset);
            placed.cluster = infos[g].cluster;
            line.glyphs.push_back(placed);
            pen += p.x_advance;
        }
    }
    hb_buffer_destroy(buffer);
    line.width = Pixels(pen);
    return line;
}

} // namespace

bool IsMarkOrFormat(char32_t c) {
    if (c < 0x0300)
        return c == 0x00AD;
    switch (hb_unicode_general_category(hb_unicode_funcs_get_default(), c)) {
    case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_FORMAT:
        return true;
    default:
        return IsDefaultIgnorable(c);
    }
}

LineLayout LayOutLine(FontFace& font, const std::u32string& text, bool rightToLeft) {
    if (!NeedsShaping(text, rightToLeft))
        return LayOutPlain(font, text);
    auto& cache = font.layouts[rightToLeft ? 1 : 0];
    auto it = cache.find(text);
    if (it != cache.end())
        return it->second;
    if (cache.size() >= kCacheLimit)
        cache.clear();
    return cache.emplace(text, Shape(font, text, rightToLeft)).first->second;
}

int LineWidth(FontFace& font, const std::u32string& text, bool rightToLeft) {
    if (NeedsShaping(text, rightToLeft))
        return LayOutLine(font, text, rightToLeft).width;
    int width = 0;
    for (char32_t c : text)
        width += font.resolve(c).advance;
    return width;
}

std::vector<CharSpan> CharSpans(const LineLayout& layout, const std::u32string& text) {
    const size_t n = text.size();
    std::vector<CharSpan> spans(n);
    // The box of each cluster, found at the index of its first character.
    std::vector<int> left(n, INT_MAX), right(n, INT_MIN);
    for (const PlacedGlyph& g : layout.glyphs) {
        if (g.cluster >= n)
            continue;
        left[g.cluster] = std::min(left[g.cluster], g.x);
        right[g.cluster] = std::max(right[g.cluster], g.x + g.advance);
    }
    size_t begin = 0;
    int trailing = 0; // where the previous cluster ended in reading order, for characters without a glyph
    while (begin < n) {
        size_t end = begin + 1;
        while (end < n && left[end] == INT_MAX)
            ++end;
        const bool rtl = !layout.levels.empty() && (layout.levels[begin] & 1);
        if (left[begin] == INT_MAX) {
            for (size_t i = begin; i < end; ++i)
                spans[i] = CharSpan{trailing, trailing};
            begin = end;
            continue;
        }
        // Share the cluster's box among its characters that are not marks, in reading order.
        int shares = 0;
        for (size_t i = begin; i < end; ++i)
            shares += (i == begin || !IsMarkOrFormat(text[i])) ? 1 : 0;
        const int l = left[begin], r = right[begin], width = r - l;
        int k = 0;
        int edge = rtl ? r : l;
        for (size_t i = begin; i < end; ++i) {
            if (i != begin && IsMarkOrFormat(text[i])) {
                spans[i] = CharSpan{edge, edge};
                continue;
            }
            ++k;
            int from = rtl ? r - width * (k - 1) / shares : l + width * (k - 1) / shares;
            int to = rtl ? r - width * k / shares : l + width * k / shares;
            spans[i] = CharSpan{std::min(from, to), std::max(from, to)};
            edge = to;
        }
        trailing = edge;
        begin = end;
    }
    return spans;
}

std::vector<int> CaretStops(const LineLayout& layout, const std::vector<CharSpan>& spans, bool rightToLeft) {
    const size_t n = spans.size();
    std::vector<int> stops(n + 1);
    auto odd = [&](size_t i) { return i < layout.levels.size() && (layout.levels[i] & 1); };
    for (size_t i = 0; i < n; ++i)
        stops[i] = odd(i) ? spans[i].right : spans[i].left;
    if (n == 0)
        stops[0] = rightToLeft ? layout.width : 0;
    else
        stops[n] = odd(n - 1) ? spans[n - 1].left : spans[n - 1].right;
    return stops;
}

std::vector<std::pair<size_t, size_t>> WrapLines(FontFace& font, const std::u32string& text, int width,
                                                 bool rightToLeft) {
    const size_t n = text.size();
    if (n == 0)
        return {{0, 0}};
    const std::vector<CharSpan> spans = CharSpans(LayOutLine(font, text, rightToLeft), text);
    std::vector<std::pair<size_t, size_t>> lines;
    size_t begin = 0;
    while (begin < n) {
        size_t end = n, lastBreak = n;
        int used = 0, inked = 0; // the line's width, and without its trailing spaces
        for (size_t i = begin; i < n; ++i) {
            if (i > begin && BreakBefore(text, i))
                lastBreak = i;
            used += spans[i].right - spans[i].left;
            if (text[i] != U' ')
                inked = used;
            if (inked > width && lastBreak != n) {
                end = lastBreak;
                break;
            }
        }
        size_t last = end;
        while (last > begin && text[last - 1] == U' ')
            --last;
        lines.emplace_back(begin, last);
        begin = end;
        while (begin < n && text[begin] == U' ')
            ++begin;
    }
    return lines;
}

} // namespace platform::gdi
