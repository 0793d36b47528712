// PNG encoder over libpng: indexed images keep their palette and depth, 24-bit ones become RGB.
#include "platform/gdiplus/imagedata.h"

#include <cmath>
#include <csetjmp>
#include <vector>

#include <png.h>

namespace platform::gdiplus {
namespace {

void WriteData(png_structp png, png_bytep data, png_size_t size) {
    static_cast<FileSink*>(png_get_io_ptr(png))->write(data, size);
}
void FlushData(png_structp) {}

// No object with a destructor may live in this frame: libpng leaves it by longjmp on errors.
bool WritePng(png_structp png, png_infop info, const ImageData& image, png_colorp palette) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    bool indexed = image.bitsPerPixel <= 8;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                 indexed ? image.bitsPerPixel : 8, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed)
        png_set_PLTE(png, info, palette, static_cast<int>(image.palette.size()));
    png_set_pHYs(png, info, static_cast<png_uint_32>(std::lround(image.dpiX / 0.0254)),
                 static_cast<png_uint_32>(std::lround(image.dpiY / 0.0254)), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    if (!indexed)
        png_set_bgr(png);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(image.row(y)));
    png_write_end(png, info);
    return true;
}

} // namespace

Gdiplus::Status EncodePng(const ImageData& image, const Gdiplus::EncoderParameters*, const WCHAR* path) {
    if (image.bitsPerPixel != 1 && image.bitsPerPixel != 8 && image.bitsPerPixel != 24)
        return Gdiplus::InvalidParameter;
    std::vector<png_color> palette(image.palette.size());
    for (size_t i = 0; i < palette.size(); ++i) {
        palette[i].red = static_cast<png_byte>(image.palette[i] >> 16);
        palette[i].green = static_cast<png_byte>(image.palette[i] >> 8);
        palette[i].blue = static_cast<png_byte>(image.palette[i]);
    }
    FileSink sink(path);
    if (!sink.ok())
        return Gdiplus::Win32Error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return Gdiplus::OutOfMemory;
    }
    png_set_write_fn(png, &sink, WriteData, FlushData);
    bool done = WritePng(png, info, image, palette.data());
    png_destroy_write_struct(&png, &info);
    if (!done)
        return Gdiplus::GenericError;
    return sink.commit() ? Gdiplus::Ok : Gdiplus::Win32Error;
}

} // namespace platform::gdiplus
