// GIF encoder over giflib. Indexed images keep their palette; 24-bit images are mapped onto a 6 x 6 x 6 colour cube.
#include "platform/gdiplus/imagedata.h"

#include <vector>

#include <gif_lib.h>

namespace platform::gdiplus {
namespace {

int WriteData(GifFileType* gif, const GifByteType* data, int size) {
    return static_cast<FileSink*>(gif->UserData)->write(data, static_cast<size_t>(size)) ? size : 0;
}

// The nearest of the six levels 0, 51, ..., 255.
int CubeLevel(BYTE v) {
    return (v + 25) / 51;
}

} // namespace

Gdiplus::Status EncodeGif(const ImageData& image, const Gdiplus::EncoderParameters*, const WCHAR* path) {
    if (image.width > 0xFFFF || image.height > 0xFFFF)
        return Gdiplus::InvalidParameter;
    bool indexed = image.bitsPerPixel <= 8;
    int depth = indexed ? image.bitsPerPixel : 8;
    ColorMapObject* map = GifMakeMapObject(1 << depth, nullptr);
    if (!map)
        return Gdiplus::OutOfMemory;
    for (int i = 0; i < map->ColorCount; ++i) {
        GifColorType& c = map->Colors[i];
        if (indexed) {
            Gdiplus::ARGB argb = i < static_cast<int>(image.palette.size()) ? image.palette[i] : 0;
            c.Red = static_cast<GifByteType>(argb >> 16);
            c.Green = static_cast<GifByteType>(argb >> 8);
            c.Blue = static_cast<GifByteType>(argb);
        } else {
            int cube = i < 216 ? i : 0;
            c.Red = static_cast<GifByteType>(cube / 36 * 51);
            c.Green = static_cast<GifByteType>(cube / 6 % 6 * 51);
            c.Blue = static_cast<GifByteType>(cube % 6 * 51);
        }
    }

    FileSink sink(path);
    if (!sink.ok()) {
        GifFreeMapObject(map);
        return Gdiplus::Win32Error;
    }
    int error = 0;
    GifFileType* gif = EGifOpen(&sink, WriteData, &error);
    bool good = gif != nullptr;
    if (good) {
        EGifSetGifVersion(gif, true);
        good = EGifPutScreenDesc(gif, image.width, image.height, depth, 0, map) == GIF_OK &&
               EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) == GIF_OK;
    }
    std::vector<GifPixelType> line(static_cast<size_t>(image.width));
    for (int y = 0; good && y < image.height; ++y) {
        const BYTE* in = image.row(y);
        for (int x = 0; x < image.width; ++x) {
            switch (image.bitsPerPixel) {
            case 1:
                line[x] = static_cast<GifPixelType>((in[x >> 3] >> (7 - (x & 7))) & 1);
                break;
            case 8:
                line[x] = in[x];
                break;
            default: {
                const BYTE* p = in + static_cast<ptrdiff_t>(x) * 3;
                line[x] = static_cast<GifPixelType>(CubeLevel(p[2]) * 36 + CubeLevel(p[1]) * 6 + CubeLevel(p[0]));
            }
            }
        }
        good = EGifPutLine(gif, line.data(), image.width) == GIF_OK;
    }
    if (gif && EGifCloseFile(gif, &error) != GIF_OK)
        good = false;
    GifFreeMapObject(map);
    if (!good)
        return Gdiplus::GenericError;
    return sink.commit() ? Gdiplus::Ok : Gdiplus::Win32Error;
}

} // namespace platform::gdiplus
