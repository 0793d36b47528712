// Lines of text laid out as they are drawn: the bidirectional algorithm (FriBidi) orders Hebrew and Arabic runs
// among digits and Latin words, HarfBuzz shapes each run in its face (Arabic joining forms and ligatures, marks),
// and line breaking for wrapped text. Not for use outside platform/gdi; the caller holds the text mutex.
#pragma once

#include "platform/gdi/fonts.h"

#include <string>
#include <utility>
#include <vector>

namespace platform::gdi {

// The line `text` in reading order `rightToLeft` (the paragraph direction), glyphs left to right. Text that needs
// neither shaping nor reordering takes a direct road; the rest is kept in a cache of the font.
LineLayout LayOutLine(FontFace& font, const std::u32string& text, bool rightToLeft);
// Its width in pixels, which is what it covers when drawn.
int LineWidth(FontFace& font, const std::u32string& text, bool rightToLeft);

// The pixels each character of a laid-out line covers, [left, right) from the line's left edge. A glyph that
// stands for several characters (a ligature) is shared out among them in their reading order; combining marks
// cover nothing of their own.
struct CharSpan {
    int left = 0, right = 0;
};
std::vector<CharSpan> CharSpans(const LineLayout& layout, const std::u32string& text);

// Where the caret stands before each character (and, last, after the line), from the line's left edge: on the
// leading side of the character in its own direction.
std::vector<int> CaretStops(const LineLayout& layout, const std::vector<CharSpan>& spans, bool rightToLeft);

// DT_WORDBREAK: the lines [begin, end) of a paragraph no wider than `width` where a break is possible: after spaces
// (dropped at the break) and between Chinese, Japanese or Korean characters (not before closing punctuation nor
// after opening brackets). A word wider than `width` stays whole.
std::vector<std::pair<size_t, size_t>> WrapLines(FontFace& font, const std::u32string& text, int width,
                                                 bool rightToLeft);

// A combining mark or an invisible format character: it adds no caret stop and no width of its own.
bool IsMarkOrFormat(char32_t c);

} // namespace platform::gdi
