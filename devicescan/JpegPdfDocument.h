// The several-page PDF: page JPEGs joined into one PDF 1.3 file, each embedded unchanged as a DCTDecode image.
// The object texts and the cross-reference table are formatted into one fixed block as pages are added; the JPEG
// bytes stay in their files until the document is written. Lines end with CR LF.
//
// Objects: 1 the page tree; each page takes five numbers from n = 2 + 5k: n image /Ik, n+1 page, n+2 contents,
// n+3 length of the contents, n+4 resources; the catalog takes the next number after the last page.
// Calling order: PDF_CreateDocument, PDF_AddJpeg for each page in order, PDF_EndDocument, PDF_ToFile.
#pragma once

#include "platform/base/windows.h"

#ifndef ERROR_FUNCTION_FAILED
#define ERROR_FUNCTION_FAILED 1627L
#endif

constexpr DWORD kPdfMaxPages = 1000;
constexpr DWORD kPdfMaxXrefEntries = 5003;
constexpr size_t kPdfHeaderSize = 64;
constexpr size_t kPdfTailSize = 110316;

struct JpegPdfPage {
    JpegPdfPage* next;
    WCHAR path[MAX_PATH];
    DWORD length;
    int width;
    int height;
    int pageObject;
    char imageHead[256];
    char following[1024]; // after the JPEG data: end of the image object and the page's four further objects
};

struct JpegPdfDocument {
    JpegPdfPage* first;
    JpegPdfPage* last;
    DWORD pageCount;
    char header[kPdfHeaderSize];
    char tail[kPdfTailSize]; // catalog, page tree, cross-reference table, trailer
    char xref[kPdfMaxXrefEntries][21];
    int pageWidth;
    int pageHeight;
    LONGLONG offset; // running byte offset of the output
    int imageCount;
    int nextObject;
};

// The document, or NULL when memory is short. Width and height are the requested page size in pixels.
JpegPdfDocument* PDF_CreateDocument(int width, int height);
// 0, or ERROR_FUNCTION_FAILED (1627): no document, 1000 pages already, a file that is not a readable JPEG (or has
// 2 or more than 4 colour components), a resolution of 0. The image is DeviceGray, DeviceRGB or DeviceCMYK by its
// number of components. The page and image sizes come from the JPEG's own frame header, not from `width` and `height`
// (the requested page size), so that a page is never stretched to a size it does not have.
DWORD PDF_AddJpeg(const WCHAR* path, JpegPdfDocument* document, int width, int height, int dpi, DWORD length);
DWORD PDF_EndDocument(JpegPdfDocument* document, LONGLONG* totalSize);
DWORD PDF_WriteBuffers(HANDLE file, JpegPdfDocument* document);
// 0, a system error code or 1627; the document is freed in every case and a failed output file is removed.
DWORD PDF_ToFile(JpegPdfDocument* document, const WCHAR* path);
// Frees a document that will not be written.
void PDF_FreeDocument(JpegPdfDocument* document);

// What a JPEG's image object needs: its size and number of colour components from the frame header, and whether an
// Adobe marker (APP14) came before it.
struct JpegFrame {
    int width = 0;
    int height = 0;
    int components = 0;
    bool adobe = false;
};
// Walks the marker segments of an open JPEG file from its start to the frame header, however far that lies;
// false when the file holds none.
bool ReadJpegFrame(HANDLE file, JpegFrame& frame);
