// The image save dispatch: one page (a BMP file in a stream) written to a file in one SaveType: TIFF through
// libtiff, PDF through the page PDF writer, EMF and WMF as a recorded metafile, BMP, JPEG, GIF and PNG through the
// GDI+ encoders.
#pragma once

#include "platform/gdi/wingdi.h"
#include "platform/gdiplus/gdiplus.h"

enum SaveType {
    SaveTypeWmf = 0,
    SaveTypeEmf = 1,
    SaveTypeBmp = 2,
    SaveTypeTiff = 3,
    SaveTypeJpeg = 4,
    SaveTypeGif = 5,
    SaveTypePng = 6,
    SaveTypePdf = 7,
    SaveTypeDoc = 8,
    SaveTypeTxt = 9,
    SaveTypeOfd = 10,
};

// 0 on success, a negative code otherwise (-1; -40 out of memory; -41 invalid parameter). DOC, TXT and OFD have no
// writer here and answer -1 without writing anything.
int SaveImage(IStream* page, const WCHAR* path, int saveType);

// The MIME type of the GDI+ encoder for a SaveType ("image/wmf" for any type without one of its own).
const WCHAR* GetMimeType(int saveType);
// Status 0 gives 0, InvalidParameter -41, OutOfMemory -40, anything else -1.
int GdiplusStatusToError(Gdiplus::Status status);
// The index of the first encoder with exactly this MIME type (its CLSID in `clsid`), or -1.
int GetEncoderClsid(const WCHAR* mime, CLSID* clsid);
// Records the page into an EMF (emf true) or a WMF made from one; oneBit draws it through a threshold of 0.5.
int SaveMetafile(IStream* page, const WCHAR* path, bool emf, bool oneBit);
// A zero-initialised 1 x 1 BITMAPINFO for 1-bit (black, white), 8-bit (grey ramp) or 24-bit pixels; free it with
// LocalFree. E_INVALIDARG for other formats, E_OUTOFMEMORY.
HRESULT BuildBitmapInfo(Gdiplus::PixelFormat format, BITMAPINFO** info);
// A threshold of 0.5 for one-bit drawing, else the identity colour matrix.
bool SetThresholdAttributes(Gdiplus::ImageAttributes* attributes, bool oneBit);
// The first free "<temp>ScanToUtil<n>.emf" (MAX_PATH characters); false when there is none.
bool GetTempEmfFileName(WCHAR* path);
