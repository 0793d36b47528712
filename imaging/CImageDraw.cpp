// The drawing half of CImage: a rectangle of an in-memory image becomes a bottom-up DIB (rows padded to 4 bytes,
// blue-green-red pixels, 16-bit samples cut to their high byte) that StretchDIBits puts on a DC.
#include "imaging/CImage.h"

#include "platform/gdi/afxgdi.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

size_t RowLength(int bpp, int width) {
    const size_t w = static_cast<size_t>(width);
    size_t bytes = 0;
    switch (bpp) {
    case 1:
        bytes = (w + 7) / 8;
        break;
    case 4:
        bytes = (w + 1) / 2;
        break;
    case 8:
    case 16:
        bytes = w;
        break;
    case 24:
    case 48:
        bytes = 3 * w;
        break;
    default:
        return 0;
    }
    return (bytes + 3) & ~size_t{3};
}

bool DrawableDepth(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 48;
}

} // namespace

int CImage::Draw(CDC* pDC, const CRect* dest, const CRect* src, DWORD rop) {
    FreeDisplayData();
    // Nothing to draw from: a mapped page, a failed create, an unknown depth, or a rectangle outside the image.
    if (!pDC || !dest || !src || !m_pBits || !m_pBitmapInfo || !DrawableDepth(BitsPerPixel()))
        return 1;
    if (src->Width() <= 0 || src->Height() <= 0)
        return 1;
    CRect clipped;
    const CRect image(0, 0, m_nWidth, m_nHeight);
    if (!clipped.IntersectRect(src, &image))
        return 1;

    // The part of dest that the clipped source covers, so what is drawn stays where it belongs.
    CRect target = *dest;
    if (!::EqualRect(&clipped, src)) {
        const long long dw = dest->Width(), dh = dest->Height();
        const long long sw = src->Width(), sh = src->Height();
        target.left = dest->left + static_cast<int>((clipped.left - src->left) * dw / sw);
        target.right = dest->left + static_cast<int>((clipped.right - src->left) * dw / sw);
        target.top = dest->top + static_cast<int>((clipped.top - src->top) * dh / sh);
        target.bottom = dest->top + static_cast<int>((clipped.bottom - src->top) * dh / sh);
    }

    BuildBitmapInfo(&clipped);
    ConstructDisplayData(&clipped);
    return StretchToDC(pDC, &target, &clipped, rop);
}

void CImage::BuildBitmapInfo(const CRect* src) {
    if (!m_pBitmapInfo || !src)
        return;
    const int bpp = BitsPerPixel();
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(m_pBitmapInfo);
    std::memset(header, 0, sizeof(BITMAPINFOHEADER));
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = src->Width();
    header->biHeight = src->Height(); // positive: bottom-up
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bpp == 16 ? 8 : (bpp == 48 ? 24 : bpp));
    // 48-bit images are shown as 24-bit rows, so their size is that of the display rows.
    if (bpp == 8 || bpp == 24 || bpp == 48)
        header->biSizeImage = static_cast<DWORD>(RowLength(bpp, src->Width()) * static_cast<size_t>(src->Height()));
    header->biXPelsPerMeter = m_nXResolution;
    header->biYPelsPerMeter = m_nYResolution;

    auto* colours = reinterpret_cast<RGBQUAD*>(m_pBitmapInfo + sizeof(BITMAPINFOHEADER));
    const int entries = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    for (size_t i = 0; i < static_cast<size_t>(entries) && m_pPalette; ++i)
        colours[i] = RGBQUAD{m_pPalette[3 * i + 2], m_pPalette[3 * i + 1], m_pPalette[3 * i], 0};
    if (bpp == 16)
        for (int i = 0; i < 256; ++i)
            colours[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
}

void CImage::ConstructDisplayData(const CRect* src) {
    const int bpp = BitsPerPixel();
    const size_t rowLen = RowLength(bpp, src->Width());
    const size_t size = rowLen * static_cast<size_t>(src->Height());
    try {
        HGLOBAL block = size ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size) : nullptr;
        m_pDisplayData = block ? static_cast<BYTE*>(GlobalLock(block)) : nullptr;
        if (!m_pDisplayData) {
            if (block)
                GlobalFree(block);
            throw "Out of Memory!";
        }
    } catch (...) {
        throw "Construct Display Data: Out of Memory!";
    }
    std::memset(m_pDisplayData, 0, size);
    CopyRect(m_pBits, src, m_pDisplayData, static_cast<int>(rowLen));
    FlipRows(m_pDisplayData, static_cast<int>(rowLen), src->Height());
    if (bpp > 16)
        SwapRedBlue(m_pDisplayData, static_cast<int>(rowLen), src->Height(), src->Width());
}

int CImage::CopyRect(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen) {
    switch (BitsPerPixel()) {
    case 1:
        return CopyRect1(bits, src, dest, destRowLen);
    case 4:
        return CopyRect4(bits, src, dest, destRowLen);
    case 8:
        return CopyRect8(bits, src, dest, destRowLen);
    case 16:
        return CopyRect16(bits, src, dest, destRowLen);
    case 24:
        return CopyRect24(bits, src, dest, destRowLen);
    case 48:
        return CopyRect48(bits, src, dest, destRowLen);
    default:
        return 0;
    }
}

// The 1-bit source is one bit stream, most significant bit first: pixel (x, y) is bit y * width + x.
int CImage::CopyRect1(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen) {
    const int w = src->Width();
    for (int row = 0; row < src->Height(); ++row) {
        const size_t first = static_cast<size_t>(src->top + row) * static_cast<size_t>(m_nWidth) + src->left;
        BYTE* out = dest + static_cast<size_t>(row) * destRowLen;
        for (int i = 0; 8 * i < w; ++i) {
            const size_t bit = first + 8 * static_cast<size_t>(i);
            const int offset = static_cast<int>(bit & 7);
            const int wanted = std::min(8, w - 8 * i);
            unsigned value = static_cast<unsigned>(bits[bit >> 3]) << offset;
            if (offset && wanted > 8 - offset) // the rest lies in the next source byte
                value |= bits[(bit >> 3) + 1] >> (8 - offset);
            out[i] = static_cast<BYTE>(value & (0xFFu << (8 - wanted)));
        }
    }
    return 1;
}

// The 4-bit source is one nibble stream, high nibble first: pixel (x, y) is nibble y * width + x.
int CImage::CopyRect4(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen) {
    const int w = src->Width();
    for (int row = 0; row < src->Height(); ++row) {
        const size_t first = static_cast<size_t>(src->top + row) * static_cast<size_t>(m_nWidth) + src->left;
        BYTE* out = dest + static_cast<size_t>(row) * destRowLen;
        for (int j = 0; j < w; ++j) {
            const size_t p = first + j;
            const BYTE nibble = (p & 1) ? (bits[p >> 1] & 0x0F) : (bits[p >> 1] >> 4);
            out[j >> 1] |= (j & 1) ? nibble : static_cast<BYTE>(nibble << 4);
        }
    }
    return 1;
}

int CImage::CopyRect8(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen) {
    for (int row = 0; row < src->Height(); ++row)
        std::memcpy(dest + static_cast<size_t>(row) * destRowLen,
                    bits + static_cast<size_t>(src->top + row) * m_nWidth + src->left,
                    static_cast<size_t>(src->Width()));
    return 1;
}

// 16-bit grey samples, low byte first: the high byte is the 8-bit grey shown.
int CImage::CopyRect16(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen) {
    for (int row = 0; row < src->Height(); ++row) {
        const BYTE* in = bits + 2 * (static_cast<size_t>(src->top + row) * m_nWidth + src->left);
        BYTE* out = dest + static_cast<size_t>(row) * destRowLen;
        for (int j = 0; j < src->Width(); ++j)
            out[j] = in[2 * j + 1];
    }
    return 1;
}

int CImage::CopyRect24(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen) {
    for (int row = 0; row < src->Height(); ++row)
        std::memcpy(dest + static_cast<size_t>(row) * destRowLen,
                    bits + 3 * (static_cast<size_t>(src->top + row) * m_nWidth + src->left),
                    3 * static_cast<size_t>(src->Width()));
    return 1;
}

int CImage::CopyRect48(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen) {
    for (int row = 0; row < src->Height(); ++row) {
        const BYTE* in = bits + 6 * (static_cast<size_t>(src->top + row) * m_nWidth + src->left);
        BYTE* out = dest + static_cast<size_t>(row) * destRowLen;
        for (int k = 0; k < 3 * src->Width(); ++k)
            out[k] = in[2 * k + 1];
    }
    return 1;
}

void CImage::FlipRows(BYTE* data, int rowLen, int rows) {
    if (rows < 2 || rowLen <= 0)
        return;
    std::vector<BYTE> row(static_cast<size_t>(rowLen));
    for (int i = 0; i < rows / 2; ++i) {
        BYTE* a = data + static_cast<size_t>(i) * rowLen;
        BYTE* b = data + static_cast<size_t>(rows - 1 - i) * rowLen;
        std::memcpy(row.data(), a, row.size());
        std::memcpy(a, b, row.size());
        std::memcpy(b, row.data(), row.size());
    }
}

void CImage::SwapRedBlue(BYTE* data, int rowLen, int rows, int width) {
    for (int i = 0; i < rows; ++i) {
        BYTE* pixel = data + static_cast<size_t>(i) * rowLen;
        for (int x = 0; x < width; ++x, pixel += 3)
            std::swap(pixel[0], pixel[2]);
    }
}

int CImage::StretchToDC(CDC* pDC, const CRect* dest, const CRect* src, DWORD rop) {
    ::StretchDIBits(pDC->GetSafeHdc(), dest->left, dest->top, dest->Width(), dest->Height(), 0, 0, src->Width(),
                    src->Height(), m_pDisplayData, reinterpret_cast<const BITMAPINFO*>(m_pBitmapInfo), DIB_RGB_COLORS,
                    rop);
    return 1;
}
