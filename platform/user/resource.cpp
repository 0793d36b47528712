// Resources of the user side: bitmaps (packed DIBs in a module's resources, or .bmp files) and images.
#include "platform/user/internal.h"

#include "platform/base/path.h"
#include "platform/base/readfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace platform::user;

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    HRSRC res = FindResourceW(instance, name, RT_BITMAP);
    if (!res)
        return nullptr;
    HGLOBAL data = LoadResource(instance, res);
    const void* dib = LockResource(data);
    if (!dib || SizeofResource(instance, res) < sizeof(BITMAPINFOHEADER))
        return nullptr;
    return platform::gdi::CreateBitmapFromDib(static_cast<const BITMAPINFO*>(dib), nullptr);
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int, int, UINT flags) {
    if (type == IMAGE_CURSOR)
        return LoadCursorW(instance, name);
    if (type == IMAGE_ICON)
        return LoadIconW(instance, name);
    if (type != IMAGE_BITMAP)
        return nullptr;
    if (!(flags & LR_LOADFROMFILE))
        return LoadBitmapW(instance, name);
    if (!name || IS_INTRESOURCE(name))
        return nullptr;
    std::string bytes;
    if (!platform::file::ReadWholeFile(platform::path::ToHostPath(name), bytes))
        return nullptr;
    return platform::gdi::CreateBitmapFromBmpFile(bytes.data(), bytes.size());
}

namespace {

std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Draws one 24- or 32-bit image of an ICO file: the colour rows, then the AND mask (1 = transparent); a 32-bit
// image with any alpha uses its alpha instead (half or more is opaque). Rows run bottom-up.
bool DrawIconImage(HDC dc, int x, int y, const unsigned char* image, size_t size) {
    if (size < sizeof(BITMAPINFOHEADER))
        return false;
    const int width = static_cast<int>(Le32(image + 4));
    const int height = static_cast<int>(Le32(image + 8)) / 2;
    const int bits = Le16(image + 14);
    const std::uint32_t headerSize = Le32(image);
    if (width <= 0 || height <= 0 || width > 256 || height > 256 || (bits != 24 && bits != 32) ||
        headerSize < sizeof(BITMAPINFOHEADER) || headerSize > size)
        return false;
    const size_t colourStride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t maskStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    const size_t colourBytes = colourStride * height;
    if (headerSize + colourBytes > size)
        return false;
    const unsigned char* colour = image + headerSize;
    const unsigned char* mask = headerSize + colourBytes + maskStride * height <= size ? colour + colourBytes : nullptr;
    bool hasAlpha = false;
    if (bits == 32)
        for (size_t i = 3; i < colourBytes && !hasAlpha; i += 4)
            hasAlpha = colour[i] != 0;
    for (int row = 0; row < height; ++row) {
        const unsigned char* line = colour + colourStride * (height - 1 - row);
        const unsigned char* maskLine = mask ? mask + maskStride * (height - 1 - row) : nullptr;
        for (int col = 0; col < width; ++col) {
            const unsigned char* px = line + static_cast<size_t>(col) * (bits / 8);
            bool opaque = true;
            if (hasAlpha)
                opaque = px[3] >= 128;
            else if (maskLine)
                opaque = !(maskLine[col / 8] & (0x80 >> (col % 8)));
            if (opaque)
                SetPixel(dc, x + col, y + row, RGB(px[2], px[1], px[0]));
        }
    }
    return true;
}

} // namespace

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    HINSTANCE module = nullptr;
    ULONG_PTR id = 0;
    if (!dc || !IconResource(icon, &module, &id))
        return FALSE;
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), RT_ICON);
    if (!res)
        return FALSE;
    const auto* file = static_cast<const unsigned char*>(LockResource(LoadResource(module, res)));
    const size_t size = SizeofResource(module, res);
    constexpr size_t kDirectory = 6, kEntry = 16;
    if (!file || size < kDirectory || Le16(file + 2) != 1)
        return FALSE;
    const size_t count = Le16(file + 4);
    const unsigned char* best = nullptr;
    int bestDistance = 0;
    for (size_t i = 0; i < count && kDirectory + (i + 1) * kEntry <= size; ++i) {
        const unsigned char* entry = file + kDirectory + i * kEntry;
        const int width = entry[0] ? entry[0] : 256;
        const int distance = std::abs(width - 32);
        if (!best || distance < bestDistance) {
            best = entry;
            bestDistance = distance;
        }
    }
    if (!best)
        return FALSE;
    const size_t length = Le32(best + 8);
    const size_t offset = Le32(best + 12);
    if (offset > size || length > size - offset)
        return FALSE;
    return DrawIconImage(dc, x, y, file + offset, length) ? TRUE : FALSE;
}
