#include "devicescan/SaveImage.h"

#include "devicescan/PagePdfWriter.h"
#include "devicescan/TiffPageWriter.h"

#include <memory>
#include <new>
#include <string_view>

namespace {

// Frees what the metafile recording borrowed, on every road.
struct ReferenceDevice {
    BITMAPINFO* info = nullptr;
    HBITMAP dib = nullptr;
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;

    ReferenceDevice() = default;
    ReferenceDevice(const ReferenceDevice&) = delete;
    ReferenceDevice& operator=(const ReferenceDevice&) = delete;
    ~ReferenceDevice() { release(); }
    void release() {
        if (dc && previous)
            SelectObject(dc, previous);
        if (dc)
            DeleteDC(dc);
        if (dib)
            DeleteObject(dib);
        if (info)
            LocalFree(info);
        info = nullptr;
        dib = nullptr;
        dc = nullptr;
        previous = nullptr;
    }
};

} // namespace

const WCHAR* GetMimeType(int saveType) {
    switch (saveType) {
    case SaveTypeEmf:
        return u"image/emf";
    case SaveTypeBmp:
        return u"image/bmp";
    case SaveTypeTiff:
        return u"image/tiff";
    case SaveTypeJpeg:
        return u"image/jpeg";
    case SaveTypeGif:
        return u"image/gif";
    case SaveTypePng:
        return u"image/png";
    default:
        return u"image/wmf";
    }
}

int GdiplusStatusToError(Gdiplus::Status status) {
    switch (status) {
    case Gdiplus::Ok:
        return 0;
    case Gdiplus::InvalidParameter:
        return -41;
    case Gdiplus::OutOfMemory:
        return -40;
    default:
        return -1;
    }
}

int GetEncoderClsid(const WCHAR* mime, CLSID* clsid) {
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0 || !mime)
        return -1;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
    if (!buffer)
        return -1;
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return -1;
    for (UINT i = 0; i < count; ++i) {
        if (std::u16string_view(codecs[i].MimeType) == mime) {
            if (clsid)
                *clsid = codecs[i].Clsid;
            return static_cast<int>(i);
        }
    }
    return -1;
}

HRESULT BuildBitmapInfo(Gdiplus::PixelFormat format, BITMAPINFO** info) {
    if (!info)
        return E_INVALIDARG;
    *info = nullptr;
    WORD bits = 0;
    DWORD entries = 0;
    switch (format) {
    case Gdiplus::PixelFormat1bppIndexed:
        bits = 1, entries = 2;
        break;
    case Gdiplus::PixelFormat8bppIndexed:
        bits = 8, entries = 256;
        break;
    case Gdiplus::PixelFormat24bppRGB:
        bits = 24, entries = 0;
        break;
    default:
        return E_INVALIDARG;
    }
    auto* bmi = static_cast<BITMAPINFO*>(LocalAlloc(LPTR, sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD)));
    if (!bmi)
        return E_OUTOFMEMORY;
    bmi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi->bmiHeader.biWidth = 1;
    bmi->bmiHeader.biHeight = 1;
    bmi->bmiHeader.biPlanes = 1;
    bmi->bmiHeader.biBitCount = bits;
    bmi->bmiHeader.biCompression = BI_RGB;
    bmi->bmiHeader.biSizeImage = ((bits + 31) / 32) * 4;
    RGBQUAD* colours = bmi->bmiColors;
    if (entries == 2)
        colours[1] = RGBQUAD{255, 255, 255, 0};
    for (DWORD i = 0; entries == 256 && i < 256; ++i)
        colours[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    *info = bmi;
    return S_OK;
}

bool SetThresholdAttributes(Gdiplus::ImageAttributes* attributes, bool oneBit) {
    if (!attributes)
        return false;
    if (oneBit)
        return attributes->SetThreshold(0.5f, Gdiplus::ColorAdjustTypeBitmap) == Gdiplus::Ok;
    Gdiplus::ColorMatrix identity{};
    for (int i = 0; i < 5; ++i)
        identity.m[i][i] = 1.0f;
    return attributes->SetColorMatrix(&identity, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeBitmap) ==
           Gdiplus::Ok;
}

bool GetTempEmfFileName(WCHAR* path) {
    WCHAR folder[MAX_PATH] = {};
    DWORD n = GetTempPathW(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH)
        return false;
    for (int i = 0; i < 100000; ++i) {
        if (swprintf_s(path, MAX_PATH, u"%s%s%d.%s", folder, u"ScanToUtil", i, u"emf") < 0)
            return false;
        if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
            return true;
    }
    return false;
}

int SaveMetafile(IStream* page, const WCHAR* path, bool emf, bool oneBit) {
    if (!page || !path)
        return -1;
    Gdiplus::ImageAttributes attributes;
    WCHAR tempEmf[MAX_PATH] = {};
    if (!emf && !GetTempEmfFileName(tempEmf))
        return -1;
    const WCHAR* recordTo = emf ? path : tempEmf;

    Gdiplus::Image image(page);
    Gdiplus::Status status = image.GetLastStatus();
    if (status != Gdiplus::Ok)
        return status == Gdiplus::InvalidParameter ? -41 : status == Gdiplus::OutOfMemory ? -40 : -1;
    Gdiplus::PixelFormat format = oneBit ? Gdiplus::PixelFormat1bppIndexed : image.GetPixelFormat();

    ReferenceDevice reference;
    void* pixel = nullptr;
    if (FAILED(BuildBitmapInfo(format, &reference.info)))
        return -40;
    reference.dib = CreateDIBSection(nullptr, reference.info, DIB_RGB_COLORS, &pixel, nullptr, 0);
    reference.dc = reference.dib ? CreateCompatibleDC(nullptr) : nullptr;
    if (!reference.dc)
        return -40;
    reference.previous = SelectObject(reference.dc, reference.dib);

    INT width = static_cast<INT>(image.GetWidth());
    INT height = static_cast<INT>(image.GetHeight());
    HENHMETAFILE recorded = nullptr;
    {
        auto metafile = std::make_unique<Gdiplus::Metafile>(recordTo, reference.dc, Gdiplus::EmfTypeEmfPlusDual);
        if (int error = GdiplusStatusToError(metafile->GetLastStatus()))
            return error;
        auto graphics = std::make_unique<Gdiplus::Graphics>(metafile.get());
        if (int error = GdiplusStatusToError(graphics->GetLastStatus())) {
            metafile.reset();
            DeleteFileW(recordTo);
            return error;
        }
        SetThresholdAttributes(&attributes, oneBit);
        status = graphics->DrawImage(&image, Gdiplus::Rect(0, 0, width, height), 0, 0, width, height,
                                     Gdiplus::UnitPixel, &attributes);
        reference.release();
        graphics.reset();
        if (status != Gdiplus::Ok) {
            metafile.reset();
            DeleteFileW(recordTo);
            return GdiplusStatusToError(status);
        }
        if (emf)
            return GdiplusStatusToError(metafile->GetLastStatus());
        recorded = metafile->GetHENHMETAFILE();
    }
    if (!recorded) {
        DeleteFileW(tempEmf);
        return -1;
    }
    UINT size =
        Gdiplus::Metafile::EmfToWmfBits(recorded, 0, nullptr, MM_ANISOTROPIC, Gdiplus::EmfToWmfBitsFlagsEmbedEmf);
    std::unique_ptr<BYTE[]> bits(size ? new (std::nothrow) BYTE[size] : nullptr);
    if (!bits) {
        DeleteEnhMetaFile(recorded);
        DeleteFileW(tempEmf);
        return size ? -40 : -1;
    }
    int result = -1;
    if (Gdiplus::Metafile::EmfToWmfBits(recorded, size, bits.get(), MM_ANISOTROPIC,
                                        Gdiplus::EmfToWmfBitsFlagsEmbedEmf) == size) {
        HMETAFILE wmf = SetMetaFileBitsEx(size, bits.get());
        HMETAFILE copy = wmf ? CopyMetaFileW(wmf, path) : nullptr;
        result = copy ? 0 : -1;
        if (copy)
            DeleteMetaFile(copy);
        if (wmf)
            DeleteMetaFile(wmf);
    }
    DeleteEnhMetaFile(recorded);
    DeleteFileW(tempEmf);
    return result;
}

int SaveImage(IStream* page, const WCHAR* path, int saveType) {
    if (!page)
        return -1;
    switch (saveType) {
    case SaveTypeWmf:
    case SaveTypeEmf:
        return SaveMetafile(page, path, saveType == SaveTypeEmf, false);
    case SaveTypeTiff:
        return TiffPageWriter(page, path);
    case SaveTypePdf:
        OutputDebugStringA("save PDF!!!!!!!!!!!!!!!!!!!!1");
        return SavePagePdf(page, path);
    case SaveTypeDoc:
        return -1;
    default:
        break;
    }
    // DOC, TXT and OFD pages have no writer here (several-page OFD is made from JPEG pages elsewhere).
    if (saveType < 0 || saveType > SaveTypePng)
        return -1;
    Gdiplus::Bitmap bitmap(page);
    if (bitmap.GetLastStatus() != Gdiplus::Ok)
        return -1;
    CLSID clsid{};
    if (GetEncoderClsid(GetMimeType(saveType), &clsid) < 0)
        return -1;
    return bitmap.Save(path, &clsid, nullptr) == Gdiplus::Ok ? 0 : -1;
}
