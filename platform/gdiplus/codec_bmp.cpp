// BMP encoder: a bottom-up file with the image's own depth and palette.
#include "platform/gdiplus/imagedata.h"

#include <cmath>

namespace platform::gdiplus {
namespace {

void PutLE16(BYTE* p, unsigned v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
void PutLE32(BYTE* p, DWORD v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

} // namespace

Gdiplus::Status EncodeBmp(const ImageData& image, const Gdiplus::EncoderParameters*, const WCHAR* path) {
    FileSink sink(path);
    if (!sink.ok())
        return Gdiplus::Win32Error;
    DWORD entries = static_cast<DWORD>(image.palette.size());
    DWORD offBits = 14 + 40 + entries * 4;
    size_t imageSize = image.stride * static_cast<size_t>(image.height);
    BYTE head[54] = {};
    head[0] = 'B';
    head[1] = 'M';
    PutLE32(head + 2, static_cast<DWORD>(offBits + imageSize));
    PutLE32(head + 10, offBits);
    PutLE32(head + 14, 40);
    PutLE32(head + 18, static_cast<DWORD>(image.width));
    PutLE32(head + 22, static_cast<DWORD>(image.height));
    PutLE16(head + 26, 1);
    PutLE16(head + 28, static_cast<unsigned>(image.bitsPerPixel));
    PutLE32(head + 34, static_cast<DWORD>(imageSize));
    PutLE32(head + 38, static_cast<DWORD>(std::lround(image.dpiX / 0.0254)));
    PutLE32(head + 42, static_cast<DWORD>(std::lround(image.dpiY / 0.0254)));
    PutLE32(head + 46, entries);
    sink.write(head, sizeof head);
    for (Gdiplus::ARGB c : image.palette) {
        BYTE quad[4] = {static_cast<BYTE>(c), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c >> 16), 0};
        sink.write(quad, 4);
    }
    for (int y = image.height - 1; y >= 0; --y)
        sink.write(image.row(y), image.stride);
    return sink.commit() ? Gdiplus::Ok : Gdiplus::Win32Error;
}

} // namespace platform::gdiplus
