// The TIFF writer: one page (a BMP file in a stream: file header, info header, grey palette below 24 bits, rows
// top-down) as a one-page LZW TIFF.
#pragma once

#include "platform/base/windows.h"
#include "platform/gdiplus/objidl.h"

// 0, or -1 when the page is not 1, 8 or 24 bits, the stream is short, or the file cannot be written; on failure no
// file is left behind.
int TiffPageWriter(IStream* page, const WCHAR* path);

// Dots per inch from pixels per metre: truncated, then rounded up to a multiple of 75 (2952 -> 75, 11811 -> 300).
int TiffResolution(LONG pelsPerMeter);
