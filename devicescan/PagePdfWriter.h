// The page PDF writer: one scanned page (a BMP file in a stream) as a complete PDF 1.3 file. 8- and 24-bit pages
// are embedded as JPEG (DCTDecode) with a quality that falls with the resolution, 1-bit pages as uncompressed
// one-bit grey rows. Lines end with a single CR.
//
// Objects of every file (the page is page 1):
//   1, 3, 4  empty            5  information (Producer "Velmora")     9   page
//   2        catalog          6  page tree, written last              10  image /im1
//   7        contents ("q W 0 0 H 0 0 cm /im1 Do Q", W and H the page in points)
//   8        length of the contents stream
// Offsets are recorded as objects end: [0] object 1 (10, after "%PDF-1.3 \r"), [1..4] objects 2 to 5, [5] object 7,
// [6..8] objects 8 to 10, [9] object 6, [10] the cross-reference table.
//
// The writer state is process-wide and used by one thread (the scan thread), one file at a time.
#pragma once

#include "platform/base/windows.h"
#include "platform/gdiplus/objidl.h"

#include <string>
#include <vector>

// Writes the page as a PDF file at `path`: 0, or -1 when the file cannot be created, the page cannot be added or
// anything fails to reach the file; on failure no file is left behind.
int SavePagePdf(IStream* page, const WCHAR* path);

void PagePdf_WriteHeader();
// 0, or -1 when the page cannot be added (an unknown depth, a resolution of 0, a failing temporary file).
int PagePdf_AddPage(IStream* page);
bool PagePdf_AddJpegPage(IStream* page, int width, int height, int resolution);
bool PagePdf_AddBwPage(IStream* page, int width, int height, int resolution);
// The temporary JPEG's path (also copied to `outPath`, MAX_PATH characters), empty when it could not be saved.
std::u16string PagePdf_SaveTempJpeg(IStream* page, WCHAR* outPath, int resolution);
// The page's one-bit rows from the top, (width + 7) / 8 bytes each; empty on failure.
std::vector<BYTE> PagePdf_SaveTempBmp(IStream* page, int width, int height);
void PagePdf_WriteTrailer();
// Writes the trailer and closes the file; false when any write or the close failed. Nothing happens (true) when
// no file is open.
bool PagePdf_Close();

// Width, height, resolution (dots per inch, rounded) and bits per pixel of the page; true for 1, 8 and 24 bits.
bool ReadImageInfo(IStream* page, int& width, int& height, int& resolution, int& bits);

// The JPEG quality for a resolution: 100 - resolution / 600 * 70, truncated (75 gives 91, 600 gives 30).
int PagePdf_JpegQuality(int resolution);
