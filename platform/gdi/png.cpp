// PNG export of surfaces, bitmaps and DCs (libpng), and the pixel read-back tests use.
#include "platform/gdi/internal.h"
#include "platform/gdi/testing.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace platform::gdi {

namespace {

// Writes width x height pixels, fetched row by row as 0x00RRGGBB, as an 8-bit RGB PNG.
template <class RowFn> BOOL WritePng(const char* path, int width, int height, RowFn rowOf) {
    if (!path || width <= 0 || height <= 0)
        return FALSE;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "wb"), &std::fclose);
    if (!file)
        return FALSE;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return FALSE;
    }
    std::vector<png_byte> line(static_cast<size_t>(width) * 3);
    // libpng reports errors by longjmp; nothing with a destructor is created between here and the end.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return FALSE;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* px = rowOf(y);
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            line[3 * x] = static_cast<png_byte>(px[x] >> 16);
            line[3 * x + 1] = static_cast<png_byte>(px[x] >> 8);
            line[3 * x + 2] = static_cast<png_byte>(px[x]);
        }
        png_write_row(png, line.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return TRUE;
}

} // namespace

BOOL WriteSurfacePng(const Surface& surface, const RECT& area, const char* path) {
    RECT full{0, 0, surface.width(), surface.height()}, r;
    if (!IntersectRect(&r, &area, &full))
        return FALSE;
    return WritePng(path, r.right - r.left, r.bottom - r.top, [&](int y) {
        return surface.pixels() + static_cast<std::ptrdiff_t>(y + r.top) * surface.width() + r.left;
    });
}

BOOL WriteSurfacePng(const Surface& surface, const char* path) {
    return WriteSurfacePng(surface, RECT{0, 0, surface.width(), surface.height()}, path);
}

BOOL WriteBitmapPng(HBITMAP bitmap, const char* path) {
    Bitmap* bmp = ToObjectOf<Bitmap>(bitmap, ObjectKind::Bitmap);
    if (!bmp)
        return FALSE;
    if (bmp->convertedSection() && !bmp->inDC)
        SectionToPixels(*bmp);
    return WritePng(path, bmp->width, bmp->height, [&](int y) { return bmp->row(y); });
}

BOOL WriteDCPng(HDC hdc, const char* path) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    Target t = dc->target();
    if (!t.base)
        return FALSE;
    return WritePng(path, t.width, t.height, [&](int y) { return t.row(y); });
}

COLORREF ReadPixel(HDC hdc, int x, int y) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return CLR_INVALID;
    Target t = dc->target();
    POINT p = dc->toTarget(x, y);
    if (!t.base || p.x < 0 || p.y < 0 || p.x >= t.width || p.y >= t.height)
        return CLR_INVALID;
    return ToColorRef(t.row(p.y)[p.x]);
}

std::vector<std::uint32_t> ReadBitmapPixels(HBITMAP bitmap, int* width, int* height) {
    Bitmap* bmp = ToObjectOf<Bitmap>(bitmap, ObjectKind::Bitmap);
    if (!bmp)
        return {};
    if (bmp->convertedSection() && !bmp->inDC)
        SectionToPixels(*bmp);
    if (width)
        *width = bmp->width;
    if (height)
        *height = bmp->height;
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<size_t>(bmp->width) * static_cast<size_t>(bmp->height));
    for (int y = 0; y < bmp->height; ++y)
        out.insert(out.end(), bmp->row(y), bmp->row(y) + bmp->width);
    return out;
}

} // namespace platform::gdi
