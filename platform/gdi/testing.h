// What tests (and people) need to look inside the renderer: live object counts, the text drawn, pixels, PNG files.
#pragma once

#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"

#include <string>
#include <vector>

namespace platform::gdi {

// Live pens, brushes, fonts, bitmaps, regions and DCs created by the program (stock objects excluded).
// A paint loop that cleans up after itself leaves this unchanged.
int LiveObjectCount();
int LiveObjectCount(DWORD objType); // OBJ_PEN, OBJ_BRUSH, OBJ_FONT, OBJ_BITMAP, OBJ_REGION, OBJ_DC, OBJ_MEMDC

// Every string drawn by TextOutW/ExtTextOutW/DrawTextW (one entry per line DrawTextW draws), with its position in
// target pixels (surface or bitmap) of the line's left-top corner.
struct DrawnText {
    std::u16string text;
    POINT pos;
};
std::vector<DrawnText> TextLog();
void ClearTextLog();

// The glyphs ExtTextOutW draws a line of text with, left to right, laid out with the DC's font and reading order
// (ETO_RTLREADING in `options` reverses it): the glyph's index in its font, its pen position and advance from the
// line's left edge, the UTF-16 index of the first character it stands for, and the family of the font drawing it.
struct ShapedGlyph {
    std::uint32_t glyph = 0;
    int x = 0;
    int advance = 0;
    int unit = 0;
    std::string family;
};
std::vector<ShapedGlyph> ShapeText(HDC dc, const WCHAR* text, int count, UINT options = 0);

// Pixels of what a DC draws on right now (window surface or selected bitmap), in logical coordinates of the DC
// like GetPixel, as COLORREF; CLR_INVALID outside.
COLORREF ReadPixel(HDC dc, int x, int y);
// Pixels of a bitmap as 0x00RRGGBB, top-down (monochrome: 0 or 0xFFFFFF). Empty for a bad handle.
std::vector<std::uint32_t> ReadBitmapPixels(HBITMAP bitmap, int* width = nullptr, int* height = nullptr);

// PNG files of a bitmap or of what a DC shows (its whole target). TRUE on success.
BOOL WriteBitmapPng(HBITMAP bitmap, const char* path);
BOOL WriteDCPng(HDC dc, const char* path);

} // namespace platform::gdi
