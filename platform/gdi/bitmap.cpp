// Bitmaps: device bitmaps (32-bit colour, 1-bit monochrome), DIB sections, and DIB <-> bitmap transfers.
#include "platform/gdi/internal.h"

#include <algorithm>
#include <cstring>

namespace platform::gdi {

namespace {

int LowBit(std::uint32_t m) {
    int s = 0;
    while (m && !(m & 1)) {
        m >>= 1;
        ++s;
    }
    return s;
}
int BitWidth(std::uint32_t m) {
    m >>= LowBit(m);
    int w = 0;
    while (m & 1) {
        m >>= 1;
        ++w;
    }
    return w;
}
std::uint8_t Expand(std::uint32_t v, int width) {
    if (width <= 0)
        return 0;
    if (width >= 8)
        return static_cast<std::uint8_t>(v >> (width - 8));
    // Replicates the high bits into the low ones, so the full range maps onto 0..255.
    std::uint32_t out = v << (8 - width);
    for (int shift = width; shift < 8; shift += width)
        out |= out >> width;
    return static_cast<std::uint8_t>(out);
}

// A 32-bit pixel wherever it lies: the rows of a file or a caller's bits need not be aligned.
std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::size_t DdbStride(const Bitmap& b) {
    return b.mono ? static_cast<std::size_t>((b.width + 15) / 16) * 2 : static_cast<std::size_t>(b.width) * 4;
}

} // namespace

bool ParseDib(const BITMAPINFO* info, UINT usage, DibInfo& out) {
    if (!info)
        return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1)
        return false;
    if (h.biWidth > 65536 || h.biHeight > 65536 || h.biHeight < -65536)
        return false;
    int bpp = h.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return false;
    if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32)))
        return false;
    out = DibInfo{};
    out.width = h.biWidth;
    out.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    out.topDown = h.biHeight < 0;
    out.bitCount = bpp;
    out.stride = ((static_cast<std::size_t>(out.width) * static_cast<std::size_t>(bpp) + 31) / 32) * 4;
    const auto* colors = reinterpret_cast<const BYTE*>(info) + h.biSize;
    std::size_t tableBytes = 0;
    if (bpp <= 8) {
        int count = h.biClrUsed ? static_cast<int>(std::min<DWORD>(h.biClrUsed, 1u << bpp)) : (1 << bpp);
        out.paletteSize = count;
        for (int i = 0; i < count; ++i) {
            if (usage == DIB_PAL_COLORS) {
                // Palette indexes into the default palette: only black and white matter for us.
                WORD index = reinterpret_cast<const WORD*>(colors)[i];
                out.palette[i] = index ? 0x00FFFFFF : 0;
            } else {
                const RGBQUAD& q = reinterpret_cast<const RGBQUAD*>(colors)[i];
                out.palette[i] = (static_cast<std::uint32_t>(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue;
            }
        }
        tableBytes = static_cast<std::size_t>(count) * (usage == DIB_PAL_COLORS ? 2 : 4);
    } else if (h.biCompression == BI_BITFIELDS) {
        std::memcpy(out.masks, colors, sizeof(out.masks));
        tableBytes = h.biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    } else if (bpp == 16) {
        out.masks[0] = 0x7C00;
        out.masks[1] = 0x03E0;
        out.masks[2] = 0x001F;
    } else {
        out.masks[0] = 0xFF0000;
        out.masks[1] = 0x00FF00;
        out.masks[2] = 0x0000FF;
    }
    for (int i = 0; i < 3; ++i) {
        out.shifts[i] = LowBit(out.masks[i]);
        out.widths[i] = BitWidth(out.masks[i]);
    }
    out.headerBytes = h.biSize + tableBytes;
    return true;
}

void DecodeDibRow(const DibInfo& dib, const void* bits, int row, std::uint32_t* out) {
    int stored = dib.topDown ? row : dib.height - 1 - row;
    const auto* p = static_cast<const std::uint8_t*>(bits) + static_cast<std::size_t>(stored) * dib.stride;
    const int w = dib.width;
    auto pal = [&](unsigned index) { return index < static_cast<unsigned>(dib.paletteSize) ? dib.palette[index] : 0u; };
    switch (dib.bitCount) {
    case 1:
        for (int x = 0; x < w; ++x)
            out[x] = pal((p[x >> 3] >> (7 - (x & 7))) & 1);
        break;
    case 4:
        for (int x = 0; x < w; ++x)
            out[x] = pal((x & 1) ? (p[x >> 1] & 0x0F) : (p[x >> 1] >> 4));
        break;
    case 8:
        for (int x = 0; x < w; ++x)
            out[x] = pal(p[x]);
        break;
    case 24:
        for (int x = 0; x < w; ++x, p += 3)
            out[x] = (static_cast<std::uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
        break;
    case 16:
    case 32: {
        bool plain32 = dib.bitCount == 32 && dib.masks[0] == 0xFF0000 && dib.masks[1] == 0xFF00 && dib.masks[2] == 0xFF;
        if (plain32) {
            for (int x = 0; x < w; ++x)
                out[x] = Load32(p + 4 * static_cast<size_t>(x)) & 0x00FFFFFF;
            break;
        }
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = dib.bitCount == 16 ? static_cast<std::uint32_t>(p[2 * static_cast<size_t>(x)] |
                                                                              (p[2 * static_cast<size_t>(x) + 1] << 8))
                                                 : Load32(p + 4 * static_cast<size_t>(x));
            std::uint32_t rgb = 0;
            for (int c = 0; c < 3; ++c)
                rgb = (rgb << 8) | Expand((v & dib.masks[c]) >> dib.shifts[c], dib.widths[c]);
            out[x] = rgb;
        }
        break;
    }
    default:
        std::fill(out, out + w, 0u);
    }
}

} // namespace platform::gdi

using namespace platform::gdi;

namespace {

Bitmap* ToBitmap(HBITMAP h) {
    return ToObjectOf<Bitmap>(h, ObjectKind::Bitmap);
}

// Whether a 1-bit DIB's table is exactly black then white (such a DIB becomes a monochrome bitmap).
bool IsBlackWhite(const DibInfo& dib) {
    return dib.bitCount == 1 && dib.paletteSize == 2 && dib.palette[0] == 0 && dib.palette[1] == 0x00FFFFFF;
}

// Writes DIB rows [first, first + count) (scan lines counted from the DIB's first stored row) into the bitmap.
int StoreDibRows(Bitmap& bmp, const DibInfo& dib, const void* bits, UINT start, UINT lines) {
    if (start >= static_cast<UINT>(dib.height))
        return 0;
    lines = std::min<UINT>(lines, static_cast<UINT>(dib.height) - start);
    std::vector<std::uint32_t> row(static_cast<size_t>(dib.width));
    int w = std::min(bmp.width, dib.width);
    for (UINT i = 0; i < lines; ++i) {
        // Scan line `start + i` of the DIB; for a bottom-up DIB scan line 0 is the bottom row.
        int scan = static_cast<int>(start + i);
        int picRow = dib.topDown ? scan : dib.height - 1 - scan;
        if (picRow >= bmp.height)
            continue;
        DibInfo one = dib;
        // Decode from the caller's buffer, whose first row is scan line `start`.
        one.height = static_cast<int>(lines);
        DecodeDibRow(one, bits, dib.topDown ? static_cast<int>(i) : static_cast<int>(lines) - 1 - static_cast<int>(i),
                     row.data());
        std::uint32_t* dst = bmp.row(picRow);
        for (int x = 0; x < w; ++x)
            dst[x] = bmp.mono ? ToMono(row[static_cast<size_t>(x)]) : row[static_cast<size_t>(x)];
    }
    return static_cast<int>(lines);
}

// The palette index nearest to a colour (squared distance), for writing into 1-, 4- and 8-bit sections.
unsigned Nearest(const DibInfo& dib, std::uint32_t p) {
    unsigned best = 0;
    long bestDistance = -1;
    for (int i = 0; i < dib.paletteSize; ++i) {
        std::uint32_t q = dib.palette[i];
        long dr = static_cast<long>((p >> 16) & 0xFF) - static_cast<long>((q >> 16) & 0xFF);
        long dg = static_cast<long>((p >> 8) & 0xFF) - static_cast<long>((q >> 8) & 0xFF);
        long db = static_cast<long>(p & 0xFF) - static_cast<long>(q & 0xFF);
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = static_cast<unsigned>(i);
            bestDistance = d;
        }
    }
    return best;
}

void EncodeIndexedRow(const std::uint32_t* px, const DibInfo& dib, std::uint8_t* out) {
    std::uint32_t lastColour = ~0u;
    unsigned lastIndex = 0;
    std::memset(out, 0, dib.stride);
    for (int x = 0; x < dib.width; ++x) {
        if (px[x] != lastColour) {
            lastColour = px[x];
            lastIndex = Nearest(dib, px[x]);
        }
        if (dib.bitCount == 8)
            out[x] = static_cast<std::uint8_t>(lastIndex);
        else if (dib.bitCount == 4)
            out[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? lastIndex : lastIndex << 4);
        else if (lastIndex)
            out[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    }
}

void EncodeRow(const std::uint32_t* px, int width, int bpp, bool mono, std::uint8_t* out) {
    switch (bpp) {
    case 1:
        std::memset(out, 0, static_cast<size_t>((width + 7) / 8));
        for (int x = 0; x < width; ++x)
            if ((mono ? px[x] : ToMono(px[x])) != 0)
                out[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        break;
    case 4:
    case 8:
        for (int x = 0; x < width; ++x) {
            std::uint32_t p = px[x];
            unsigned grey = (((p >> 16) & 0xFF) * 77 + ((p >> 8) & 0xFF) * 150 + (p & 0xFF) * 29) >> 8;
            if (bpp == 8) {
                out[x] = static_cast<std::uint8_t>(grey);
            } else {
                unsigned v = grey >> 4;
                out[x >> 1] = static_cast<std::uint8_t>((x & 1) ? ((out[x >> 1] & 0xF0) | v) : (v << 4));
            }
        }
        break;
    case 16:
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            std::uint32_t p = px[x];
            auto v =
                static_cast<std::uint16_t>((((p >> 19) & 0x1F) << 10) | (((p >> 11) & 0x1F) << 5) | ((p >> 3) & 0x1F));
            out[2 * x] = static_cast<std::uint8_t>(v);
            out[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        break;
    case 24:
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            out[3 * x] = static_cast<std::uint8_t>(px[x]);
            out[3 * x + 1] = static_cast<std::uint8_t>(px[x] >> 8);
            out[3 * x + 2] = static_cast<std::uint8_t>(px[x] >> 16);
        }
        break;
    case 32:
        std::memcpy(out, px, static_cast<size_t>(width) * 4);
        break;
    }
}

} // namespace

namespace platform::gdi {

void SectionToPixels(Bitmap& bmp) {
    DibInfo dib;
    if (!bmp.convertedSection() ||
        !ParseDib(reinterpret_cast<const BITMAPINFO*>(bmp.dibHeader.data()), DIB_RGB_COLORS, dib))
        return;
    for (int y = 0; y < dib.height && y < bmp.height; ++y)
        DecodeDibRow(dib, bmp.dibStore.data(), y, bmp.row(y));
}

void PixelsToSection(Bitmap& bmp) {
    DibInfo dib;
    if (!bmp.convertedSection() ||
        !ParseDib(reinterpret_cast<const BITMAPINFO*>(bmp.dibHeader.data()), DIB_RGB_COLORS, dib))
        return;
    for (int y = 0; y < dib.height && y < bmp.height; ++y) {
        std::uint8_t* out =
            bmp.dibStore.data() + dib.stride * static_cast<size_t>(dib.topDown ? y : dib.height - 1 - y);
        if (dib.bitCount <= 8)
            EncodeIndexedRow(bmp.row(y), dib, out);
        else
            EncodeRow(bmp.row(y), dib.width, dib.bitCount, false, out);
    }
}

} // namespace platform::gdi

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width < 0 || height < 0 || planes != 1 || width > 65536 || height > 65536)
        return nullptr;
    if (width == 0 || height == 0)
        return CreateBitmap(1, 1, 1, 1, nullptr);
    // Device bits come as 1 or 32 bits a pixel here; other layouts would be misread.
    if (bits && bitsPerPixel != 1 && bitsPerPixel != 32)
        return nullptr;
    Bitmap* bmp = NewBitmap(width, height, bitsPerPixel == 1);
    if (!bmp)
        return nullptr;
    if (bits)
        SetBitmapBits(reinterpret_cast<HBITMAP>(bmp), static_cast<DWORD>(DdbStride(*bmp) * static_cast<size_t>(height)),
                      bits);
    return reinterpret_cast<HBITMAP>(bmp);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || width < 0 || height < 0)
        return nullptr;
    if (width == 0 || height == 0)
        return CreateBitmap(1, 1, 1, 1, nullptr);
    // A memory DC makes bitmaps like the one selected into it: a fresh memory DC holds a monochrome one.
    bool mono = dc->kind == DCKind::Memory && dc->state.bitmap && dc->state.bitmap->mono;
    Bitmap* bmp = NewBitmap(width, height, mono);
    return reinterpret_cast<HBITMAP>(bmp);
}

LONG GetBitmapBits(HBITMAP h, LONG size, LPVOID bits) {
    Bitmap* bmp = ToBitmap(h);
    if (!bmp || size < 0)
        return 0;
    std::size_t stride = DdbStride(*bmp);
    if (!bits)
        return static_cast<LONG>(stride * static_cast<size_t>(bmp->height));
    auto* out = static_cast<std::uint8_t*>(bits);
    LONG written = 0;
    std::vector<std::uint8_t> line(stride);
    for (int y = 0; y < bmp->height && written < size; ++y) {
        std::fill(line.begin(), line.end(), 0);
        EncodeRow(bmp->row(y), bmp->width, bmp->mono ? 1 : 32, bmp->mono, line.data());
        LONG n = std::min<LONG>(size - written, static_cast<LONG>(stride));
        std::memcpy(out + written, line.data(), static_cast<size_t>(n));
        written += n;
    }
    return written;
}

LONG SetBitmapBits(HBITMAP h, DWORD size, const void* bits) {
    Bitmap* bmp = ToBitmap(h);
    if (!bmp || !bits)
        return 0;
    std::size_t stride = DdbStride(*bmp);
    const auto* in = static_cast<const std::uint8_t*>(bits);
    LONG used = 0;
    for (int y = 0; y < bmp->height && static_cast<std::size_t>(used) + stride <= size;
         ++y, used += static_cast<LONG>(stride)) {
        std::uint32_t* dst = bmp->row(y);
        const std::uint8_t* src = in + used;
        for (size_t x = 0; x < static_cast<size_t>(bmp->width); ++x) {
            if (bmp->mono)
                dst[x] = ((src[x >> 3] >> (7 - (x & 7))) & 1) ? 0x00FFFFFF : 0;
            else
                dst[x] = (static_cast<std::uint32_t>(src[4 * x + 2]) << 16) | (src[4 * x + 1] << 8) | src[4 * x];
        }
    }
    return used;
}

BOOL GetBitmapDimensionEx(HBITMAP h, LPSIZE size) {
    if (!ToBitmap(h) || !size)
        return FALSE;
    *size = SIZE{0, 0};
    return TRUE;
}

int SetDIBits(HDC hdc, HBITMAP h, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    Bitmap* bmp = ToBitmap(h);
    DibInfo dib;
    if (!bmp || !bits || !ParseDib(info, usage, dib))
        return 0;
    if (bmp->convertedSection() && !bmp->inDC)
        SectionToPixels(*bmp);
    int stored = StoreDibRows(*bmp, dib, bits, start, lines);
    if (bmp->convertedSection() && !bmp->inDC)
        PixelsToSection(*bmp);
    return stored;
}

int GetDIBits(HDC hdc, HBITMAP h, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT usage) {
    Bitmap* bmp = ToBitmap(h);
    if (!bmp || !info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return 0;
    BITMAPINFOHEADER& hdr = info->bmiHeader;
    if (hdr.biBitCount == 0) {
        // Only the bitmap's own format is asked for.
        hdr.biWidth = bmp->width;
        hdr.biHeight = bmp->height;
        hdr.biPlanes = 1;
        hdr.biBitCount = static_cast<WORD>(bmp->mono ? 1 : 32);
        hdr.biCompression = BI_RGB;
        hdr.biSizeImage = static_cast<DWORD>(((bmp->width * hdr.biBitCount + 31) / 32) * 4 * bmp->height);
        hdr.biClrUsed = 0;
        return bmp->height;
    }
    int bpp = hdr.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return 0;
    if (bmp->convertedSection() && !bmp->inDC)
        SectionToPixels(*bmp);
    hdr.biWidth = hdr.biWidth > 0 ? hdr.biWidth : bmp->width;
    bool topDown = hdr.biHeight < 0;
    int height = bmp->height;
    hdr.biHeight = topDown ? -height : height;
    hdr.biPlanes = 1;
    hdr.biCompression = BI_RGB;
    std::size_t stride = ((static_cast<std::size_t>(hdr.biWidth) * static_cast<std::size_t>(bpp) + 31) / 32) * 4;
    hdr.biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(height));
    if (bpp <= 8 && usage == DIB_RGB_COLORS) {
        int n = 1 << bpp;
        for (int i = 0; i < n; ++i) {
            BYTE v = bpp == 1 ? static_cast<BYTE>(i ? 255 : 0) : static_cast<BYTE>(i * 255 / (n - 1));
            info->bmiColors[i] = RGBQUAD{v, v, v, 0};
        }
    }
    if (!bits)
        return height;
    if (start >= static_cast<UINT>(height))
        return 0;
    lines = std::min<UINT>(lines, static_cast<UINT>(height) - start);
    auto* out = static_cast<std::uint8_t*>(bits);
    std::vector<std::uint32_t> row(static_cast<size_t>(hdr.biWidth), 0);
    int w = std::min<int>(bmp->width, hdr.biWidth);
    for (UINT i = 0; i < lines; ++i) {
        int scan = static_cast<int>(start + i);
        int picRow = topDown ? scan : height - 1 - scan;
        std::copy_n(bmp->row(picRow), w, row.begin());
        EncodeRow(row.data(), hdr.biWidth, bpp, bmp->mono, out + stride * i);
    }
    return static_cast<int>(lines);
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage) {
    if (!header)
        return nullptr;
    LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    // Compatible with the DC: colour, unless it is a memory DC holding a monochrome bitmap.
    DeviceContext* dc = ToDC(hdc);
    bool mono = dc && dc->kind == DCKind::Memory && dc->state.bitmap && dc->state.bitmap->mono;
    HBITMAP h =
        mono ? CreateBitmap(header->biWidth, height, 1, 1, nullptr)
             : (header->biWidth > 0 && height > 0 ? reinterpret_cast<HBITMAP>(NewBitmap(header->biWidth, height, false))
                                                  : CreateBitmap(1, 1, 1, 1, nullptr));
    if (h && (init & CBM_INIT) && bits && info)
        SetDIBits(hdc, h, 0, static_cast<UINT>(height), bits, info, usage);
    return h;
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) {
    DibInfo dib;
    if (bits)
        *bits = nullptr;
    if (section || !ParseDib(info, usage, dib))
        return nullptr;
    auto bmp = std::make_unique<Bitmap>();
    bmp->width = dib.width;
    bmp->height = dib.height;
    bmp->dibBitCount = dib.bitCount;
    try {
        bmp->dibStore.assign(dib.imageBytes(), 0);
        if (dib.bitCount != 32)
            bmp->store.assign(static_cast<size_t>(dib.width) * static_cast<size_t>(dib.height), 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    bmp->dibBits = bmp->dibStore.data();
    bmp->dibHeader.assign((dib.headerBytes + 3) / 4, 0);
    std::memcpy(bmp->dibHeader.data(), info, dib.headerBytes);
    if (dib.bitCount == 32) {
        // 32-bit DIB memory is our pixel format already: draw straight into the caller's bits.
        auto* base = reinterpret_cast<std::uint32_t*>(bmp->dibStore.data());
        bmp->external = dib.topDown ? base : base + static_cast<std::ptrdiff_t>(dib.height - 1) * dib.width;
        bmp->stride = dib.topDown ? dib.width : -static_cast<std::ptrdiff_t>(dib.width);
    }
    if (bits)
        *bits = bmp->dibBits;
    Register(bmp.get());
    return reinterpret_cast<HBITMAP>(bmp.release());
}

namespace platform::gdi {

HBITMAP CreateBitmapFromDib(const BITMAPINFO* info, const void* bits) {
    DibInfo dib;
    if (!ParseDib(info, DIB_RGB_COLORS, dib))
        return nullptr;
    if (!bits)
        bits = reinterpret_cast<const std::uint8_t*>(info) + dib.headerBytes;
    Bitmap* bmp = NewBitmap(dib.width, dib.height, IsBlackWhite(dib));
    if (!bmp)
        return nullptr;
    for (int y = 0; y < dib.height; ++y)
        DecodeDibRow(dib, bits, y, bmp->row(y));
    return reinterpret_cast<HBITMAP>(bmp);
}

HBITMAP CreateBitmapFromBmpFile(const void* data, size_t size) {
    if (!data || size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))
        return nullptr;
    BITMAPFILEHEADER fh;
    std::memcpy(&fh, data, sizeof(fh));
    if (fh.bfType != 0x4D42)
        return nullptr;
    // Copy into aligned memory: the info header sits at offset 14 of the file. The copy has room behind the file
    // for the largest colour table (256 entries), which ParseDib reads before the sizes are checked against the file.
    std::vector<std::uint32_t> aligned((size - sizeof(fh) + 3) / 4 + 256);
    std::memcpy(aligned.data(), static_cast<const std::uint8_t*>(data) + sizeof(fh), size - sizeof(fh));
    const auto* info = reinterpret_cast<const BITMAPINFO*>(aligned.data());
    DibInfo dib;
    if (info->bmiHeader.biSize > size - sizeof(fh) || !ParseDib(info, DIB_RGB_COLORS, dib))
        return nullptr;
    std::size_t available = size - sizeof(fh);
    std::size_t bitsOffset = fh.bfOffBits >= sizeof(fh) ? fh.bfOffBits - sizeof(fh) : dib.headerBytes;
    if (dib.headerBytes > available || bitsOffset > available || available - bitsOffset < dib.imageBytes())
        return nullptr;
    return CreateBitmapFromDib(info, reinterpret_cast<const std::uint8_t*>(aligned.data()) + bitsOffset);
}

} // namespace platform::gdi
