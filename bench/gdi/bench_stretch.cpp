// A 300-dpi Letter page (2550 x 3300) of 8 and 24 bits drawn by StretchDIBits into an 800 x 1000 memory bitmap, as
// the preview shows a scanned page; best of a few rounds for each stretch mode.
#include "platform/gdi/wingdi.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct PageDib {
    std::vector<BYTE> header;
    std::vector<BYTE> bits;
    const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(header.data()); }
};

PageDib MakePage(int width, int height, int bpp) {
    PageDib page;
    const int colours = bpp == 8 ? 256 : 0;
    page.header.resize(sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(page.header.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bpp);
    info->bmiHeader.biCompression = BI_RGB;
    for (int i = 0; i < colours; ++i)
        info->bmiColors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    const size_t stride = (static_cast<size_t>(width) * bpp / 8 + 3) & ~size_t{3};
    page.bits.resize(stride * height);
    for (int y = 0; y < height; ++y)
        std::memset(page.bits.data() + stride * y, (y * 7) & 0xFF, stride);
    return page;
}

} // namespace

int main() {
    HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 800, 1000);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::printf("2550 x 3300 page into 800 x 1000, best of 5 rounds\n");
    for (int bpp : {8, 24}) {
        PageDib page = MakePage(2550, 3300, bpp);
        for (int mode : {COLORONCOLOR, BLACKONWHITE}) {
            SetStretchBltMode(dc, mode);
            double best = 1e9;
            for (int round = 0; round < 5; ++round) {
                auto start = std::chrono::steady_clock::now();
                StretchDIBits(dc, 0, 0, 800, 1000, 0, 0, 2550, 3300, page.bits.data(), page.info(), DIB_RGB_COLORS,
                              SRCCOPY);
                std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
                best = std::min(best, took.count());
            }
            std::printf("%2d-bit  %-12s %7.1f ms\n", bpp, mode == COLORONCOLOR ? "COLORONCOLOR" : "BLACKONWHITE", best);
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DeleteDC(screen);
    return 0;
}
