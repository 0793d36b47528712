// TIFF files by wide path, and the TIFF encoder (LZW, one strip size as libtiff chooses).
#include "platform/gdiplus/imagedata.h"
#include "platform/gdiplus/tiffopen.h"

#include "platform/base/windows.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace platform::gdiplus {
namespace {

HANDLE AsHandle(thandle_t h) {
    return static_cast<HANDLE>(h);
}

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size) {
    DWORD got = 0;
    if (size < 0 ||
        !ReadFile(AsHandle(h), buffer, static_cast<DWORD>(std::min<tmsize_t>(size, 1 << 30)), &got, nullptr))
        return -1;
    return static_cast<tmsize_t>(got);
}

tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size) {
    if (size < 0 || size > (1 << 30))
        return -1;
    DWORD put = 0;
    if (!WriteFile(AsHandle(h), buffer, static_cast<DWORD>(size), &put, nullptr))
        return -1;
    return static_cast<tmsize_t>(put);
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
    LARGE_INTEGER move{};
    move.QuadPart = static_cast<LONGLONG>(offset);
    DWORD method = whence == SEEK_CUR ? FILE_CURRENT : whence == SEEK_END ? FILE_END : FILE_BEGIN;
    LARGE_INTEGER now{};
    if (!SetFilePointerEx(AsHandle(h), move, &now, method))
        return static_cast<toff_t>(-1);
    return static_cast<toff_t>(now.QuadPart);
}

int CloseProc(thandle_t h) {
    return CloseHandle(AsHandle(h)) ? 0 : -1;
}

toff_t SizeProc(thandle_t h) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(AsHandle(h), &size) ? static_cast<toff_t>(size.QuadPart) : 0;
}

int MapProc(thandle_t, void**, toff_t*) {
    return 0;
}
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff's warnings and errors go to the debug output, naming the file, rather than to standard error.
int Report(const char* kind, TIFF* tif, const char* module, const char* format, va_list args) {
    char message[512];
    std::vsnprintf(message, sizeof message, format, args);
    const char* file = tif != nullptr ? TIFFFileName(tif) : "";
    std::string line = std::string("TIFF ") + kind + ": " + file + ": ";
    if (module != nullptr && std::string_view(module) != file)
        line += std::string(module) + ": ";
    OutputDebugStringA((line + message).c_str());
    return 1; // handled: nothing for libtiff's global handlers
}
int ErrorHandler(TIFF* tif, void*, const char* module, const char* format, va_list args) {
    return Report("error", tif, module, format, args);
}
int WarningHandler(TIFF* tif, void*, const char* module, const char* format, va_list args) {
    return Report("warning", tif, module, format, args);
}

} // namespace

Gdiplus::Status EncodeTiff(const ImageData& image, const Gdiplus::EncoderParameters*, const WCHAR* path) {
    if (image.bitsPerPixel != 1 && image.bitsPerPixel != 8 && image.bitsPerPixel != 24)
        return Gdiplus::InvalidParameter;
    TIFF* tif = TIFFOpenW(path, "w");
    if (!tif)
        return Gdiplus::Win32Error;
    bool colour = image.bitsPerPixel == 24;
    // A palette that is the plain grey ramp (black first) is written as a grey image, any other one as a palette.
    bool greyRamp = !colour;
    size_t entries = image.palette.size();
    for (size_t i = 0; greyRamp && i < entries; ++i) {
        DWORD v = static_cast<DWORD>(i * 255 / (entries - 1));
        greyRamp = (image.palette[i] & 0xFFFFFF) == (v << 16 | v << 8 | v);
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(colour ? 8 : image.bitsPerPixel));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(colour ? 3 : 1));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 colour     ? PHOTOMETRIC_RGB
                 : greyRamp ? PHOTOMETRIC_MINISBLACK
                            : PHOTOMETRIC_PALETTE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, image.dpiX);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, image.dpiY);
    std::vector<uint16_t> red, green, blue;
    if (!colour && !greyRamp) {
        red.resize(entries);
        green.resize(entries);
        blue.resize(entries);
        for (size_t i = 0; i < entries; ++i) {
            red[i] = static_cast<uint16_t>(((image.palette[i] >> 16) & 0xFF) * 257);
            green[i] = static_cast<uint16_t>(((image.palette[i] >> 8) & 0xFF) * 257);
            blue[i] = static_cast<uint16_t>((image.palette[i] & 0xFF) * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    std::vector<BYTE> line(colour ? static_cast<size_t>(image.width) * 3 : image.stride);
    bool good = true;
    for (int y = 0; good && y < image.height; ++y) {
        if (colour) {
            const BYTE* in = image.row(y);
            for (int x = 0; x < image.width; ++x) {
                size_t at = static_cast<size_t>(x) * 3;
                line[at] = in[at + 2];
                line[at + 1] = in[at + 1];
                line[at + 2] = in[at];
            }
        } else {
            std::copy(image.row(y), image.row(y) + image.stride, line.begin());
        }
        good = TIFFWriteScanline(tif, line.data(), static_cast<uint32_t>(y), 0) == 1;
    }
    good = TIFFFlush(tif) == 1 && good;
    TIFFClose(tif);
    if (!good) {
        DeleteFileW(path);
        return Gdiplus::Win32Error;
    }
    return Gdiplus::Ok;
}

} // namespace platform::gdiplus

TIFF* TIFFOpenW(const WCHAR* path, const char* mode) {
    using namespace platform::gdiplus;
    if (!path || !mode)
        return nullptr;
    bool writing = mode[0] == 'w';
    bool appending = mode[0] == 'a';
    DWORD access = writing || appending ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    DWORD disposition = writing ? CREATE_ALWAYS : appending ? OPEN_ALWAYS : OPEN_EXISTING;
    HANDLE file = CreateFileW(path, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    std::string name = platform::ToUtf8(path);
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, ErrorHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, WarningHandler, nullptr);
    TIFF* tif = TIFFClientOpenExt(name.c_str(), mode, file, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                                  UnmapProc, options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        CloseHandle(file);
    return tif;
}
