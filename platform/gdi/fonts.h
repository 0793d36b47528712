// Fonts as the renderer holds them: font files mapped once, faces at a pixel size shared by every font that draws
// with them, and a logical font (LOGFONTW) resolved to a primary face, its metrics and the faces that stand in for
// the characters it lacks (Windows links fonts for other scripts the same way). Not for use outside platform/gdi;
// every function here expects the caller to hold the text mutex.
#pragma once

#include "platform/gdi/wingdi.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct FT_FaceRec_;
struct hb_font_t;

namespace platform::gdi {

struct Font;

struct Glyph {
    int advance = 0;       // pixels, hinted
    int left = 0, top = 0; // bitmap offset from the pen position on the baseline (top: pixels above it)
    int width = 0, height = 0;
    std::vector<std::uint8_t> alpha;
};

// One face of a font file at one pixel size.
struct SizedFace {
    FT_FaceRec_* face = nullptr;
    hb_font_t* shaper = nullptr; // the same face for HarfBuzz, with FreeType's hinted advances
    int ppem = 0;
    std::string family;                              // the font's family name ("Liberation Sans", "Noto Sans CJK JP")
    std::unordered_map<std::uint32_t, Glyph> glyphs; // by glyph index

    std::uint32_t glyphIndex(char32_t c) const; // 0 when the face lacks it
    const Glyph& glyph(std::uint32_t index);
};

// What a character is drawn with.
struct ResolvedChar {
    SizedFace* face = nullptr;
    std::uint32_t glyph = 0;
    int advance = 0;
};

// A glyph placed on a line of text.
struct PlacedGlyph {
    SizedFace* face = nullptr;
    std::uint32_t glyph = 0;
    int x = 0;                 // the pen position, from the line's left edge
    int advance = 0;           // how far it moves the pen
    int dx = 0, dy = 0;        // where the glyph is drawn relative to the pen (dy: pixels down)
    std::uint32_t cluster = 0; // index of the first character it stands for
};

// A line of text shaped and put in the order it is drawn.
struct LineLayout {
    std::vector<PlacedGlyph> glyphs;  // left to right as drawn
    std::vector<std::uint8_t> levels; // bidirectional level of each character: even reads left to right
    int width = 0;
};

// The regional forms of Han characters a font draws: Japanese, Korean, Simplified, Traditional, Hong Kong.
enum class HanRegion { Japanese, Korean, Simplified, Traditional, HongKong };

// Faces for the scripts a font may lack, in the order they are tried; each is opened on first need.
struct Fallback {
    int table = 0; // row of the fallback table in fonts.cpp
    bool opened = false;
    SizedFace* face = nullptr; // null when its file is not installed
};

// A logical font resolved: the face it asks for at the size it asks for, and what stands in for it.
struct FontFace {
    SizedFace* primary = nullptr;
    int ascent = 0, descent = 0, internalLeading = 0, externalLeading = 0, aveCharWidth = 0, maxCharWidth = 0;
    int underlinePos = 0, underlineThickness = 1;
    int ppem = 0;
    bool bold = false;
    HanRegion han = HanRegion::Japanese;
    std::vector<Fallback> fallbacks;
    ResolvedChar ascii[128] = {};
    bool asciiReady = false;
    std::unordered_map<char32_t, ResolvedChar> resolved;
    // Shaped lines by reading order (0 left to right, 1 right to left), dropped when they grow past a bound.
    std::unordered_map<std::u32string, LineLayout> layouts[2];

    // The face and glyph of a character: this font's, else the first fallback that has it, else this font's
    // missing-glyph box.
    const ResolvedChar& resolve(char32_t c);
};

// The face of a font object, opened on first use; null when no font file can be read.
FontFace* FaceOf(Font* font);

} // namespace platform::gdi
