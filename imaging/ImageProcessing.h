// The page fixes of the data source: conversions between colour, grey and one-bit rows, the content box of a page
// (auto_crop), its skew angle (auto_deskew, DetectSkewAngle) and rotation about its centre (normal_rotate).
//
// Buffers hold rows top first with no filler: a one-bit row is (width + 7) / 8 bytes, most significant bit first
// (a set bit is white); a grey row width bytes; a colour row 3 x width bytes (red, green, blue). Plain functions
// without state; each writes its entry and exit to the debug output ("auto_crop()<---------", then
// "auto_crop()---------->"). They share rows (or angles) out among the worker threads of ParallelBands.h and give
// the same bytes and angles however many threads run and whichever instruction set the processor has.
#pragma once

#include "platform/base/windows.h"

#include <cstdint>
#include <memory>

// The parameters of auto_crop and normal_rotate.
struct ImgProcParam {
    std::int32_t mode;      // 0 black and white (1 bit), 1 grey, 2 colour
    std::int32_t dpi;       // resolution of the page
    std::int32_t width;     // pixels
    std::int32_t height;    // rows
    std::int32_t outWidth;  // result width, written by the routine
    std::int32_t outHeight; // result height, written by the routine
    float angle;            // degrees (normal_rotate only)
};

// Each grey byte is the smallest of the pixel's three colour bytes.
void RgbToGray(const BYTE* rgb, BYTE* out, int width, int height);
// One byte a pixel holding its bit: 0 or 1.
void BwToGray(const BYTE* bits, BYTE* out, int width, int height);
// The inverse of BwToGray: a non-zero byte sets its bit; each row ends on a byte boundary, its spare bits clear.
void GrayToBW(const BYTE* bytes, BYTE* out, int width, int height);

// Finds the page's content box and copies it, in the page's own format, into `out` (as large as the page, not
// overlapping it); sets outWidth and outHeight. 1 when a box was found, 0 when there is nothing to crop (out then
// untouched), a working buffer cannot be had or the parameters describe no page (null buffers, a size of 0 or less,
// a mode other than 0 to 2).
int auto_crop(const BYTE* data, BYTE* out, ImgProcParam* param);

// The skew of a page in whole degrees (counter-clockwise positive, as normal_rotate takes it to straighten the
// page), 0 when none is found. grey: one byte a pixel, from BwToGray (mode 0), the grey page (1) or RgbToGray (2);
// the mode also chooses the edge threshold. Pages of 101 rows or columns or fewer give 0.
float auto_deskew(const BYTE* grey, int width, int height, int mode, int dpi);

// The Hough step of auto_deskew over edge points (row, column).
float DetectSkewAngle(const int rows[], const int columns[], int count, int width, int height);

// The page turned by param->angle degrees about its centre (clockwise on the page for a positive angle), with
// bilinear interpolation and white where nothing of the page lands; same width and height (outWidth, outHeight
// set). Mode 0 takes one byte (0 or 1) a pixel and gives packed one-bit rows; modes 1 and 2 give their own format.
// Null when the result cannot be allocated or the parameters describe no page.
std::unique_ptr<BYTE[]> normal_rotate(const BYTE* data, ImgProcParam* param);
