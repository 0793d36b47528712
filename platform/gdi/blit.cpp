// Block transfers: BitBlt, StretchBlt, StretchDIBits, SetDIBitsToDevice, with raster operations, stretch modes,
// mirroring (negative extents, right-to-left layout) and the colour <-> monochrome rules.
#include "platform/gdi/internal.h"

#include <algorithm>
#include <initializer_list>
#include <new>
#include <vector>

namespace platform::gdi {

namespace {

// A signed span on one axis in target pixels: negative `size` covers [start + size + 1, start + 1), mirrored.
struct Span {
    int start, size;
};

// Where a DC's logical span [pos, pos + size) lies in its target, as a signed span (mirrored DCs flip the sign).
Span DeviceSpanX(const DeviceContext& dc, int x, int y, int width, bool preserveOrientation) {
    POINT p = dc.toDevice(x, y);
    int start = p.x + dc.devToTarget().x;
    if (dc.state.layout & LAYOUT_RTL) {
        if (preserveOrientation && (dc.state.layout & LAYOUT_BITMAPORIENTATIONPRESERVED))
            return Span{start - width + 1, width};
        return Span{start, -width};
    }
    return Span{start, width};
}

Span DeviceSpanY(const DeviceContext& dc, int x, int y, int height) {
    return Span{dc.toDevice(x, y).y + dc.devToTarget().y, height};
}

// Normalises a signed span to [first, first + length) and tells whether it runs backwards.
void Normalise(Span s, int& first, int& length, bool& reversed) {
    if (s.size < 0) {
        first = s.start + s.size + 1;
        length = -s.size;
        reversed = true;
    } else {
        first = s.start;
        length = s.size;
        reversed = false;
    }
}

// Source rows as 0x00RRGGBB, already converted for the destination (monochrome rules applied).
class SourceRows {
public:
    virtual ~SourceRows() = default;
    virtual const std::uint32_t* row(int y) = 0; // y in [0, height)
    int width = 0, height = 0;
};

class TargetRows : public SourceRows {
public:
    TargetRows(const Target& t, bool map, std::uint32_t zero, std::uint32_t one, bool toMono, std::uint32_t bk)
        : m_t(t), m_map(map), m_zero(zero), m_one(one), m_toMono(toMono), m_bk(bk) {
        width = t.width;
        height = t.height;
        if (map || toMono)
            m_buf.resize(static_cast<size_t>(width));
    }
    const std::uint32_t* row(int y) override {
        const std::uint32_t* src = m_t.row(y);
        if (m_map) { // monochrome source: 0 -> text colour, 1 -> background colour of the destination
            for (int x = 0; x < width; ++x)
                m_buf[static_cast<size_t>(x)] = src[x] ? m_one : m_zero;
            return m_buf.data();
        }
        if (m_toMono) { // colour source onto monochrome: the source's background colour becomes white
            for (int x = 0; x < width; ++x)
                m_buf[static_cast<size_t>(x)] = src[x] == m_bk ? 0x00FFFFFF : 0;
            return m_buf.data();
        }
        return src;
    }

private:
    Target m_t;
    bool m_map;
    std::uint32_t m_zero, m_one;
    bool m_toMono;
    std::uint32_t m_bk;
    std::vector<std::uint32_t> m_buf;
};

class DibRows : public SourceRows {
public:
    DibRows(const DibInfo& dib, const void* bits, bool toMono) : m_dib(dib), m_bits(bits), m_toMono(toMono) {
        width = dib.width;
        height = dib.height;
        m_buf.resize(static_cast<size_t>(width));
    }
    const std::uint32_t* row(int y) override {
        if (y != m_cached) {
            DecodeDibRow(m_dib, m_bits, y, m_buf.data());
            if (m_toMono)
                for (auto& p : m_buf)
                    p = ToMono(p);
            m_cached = y;
        }
        return m_buf.data();
    }

private:
    const DibInfo& m_dib;
    const void* m_bits;
    bool m_toMono;
    std::vector<std::uint32_t> m_buf;
    int m_cached = -1;
};

// Raster operation on one pixel: bit i of the ROP3 code is the result for (pattern, source, destination) = i.
inline std::uint32_t Rop3(std::uint8_t code, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
    std::uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (code & (1 << i))
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r & 0x00FFFFFF;
}

// For dest indexes first .. first + count - 1 of `dstLen`, the source index (relative to the source span) by
// centre sampling, and the range of source pixels that fall onto it (for the AND/OR stretch modes).
void BuildMap(int first, int count, int dstLen, int srcLen, bool reversed, std::vector<int>& index,
              std::vector<int>& lo, std::vector<int>& hi) {
    index.resize(static_cast<size_t>(count));
    lo.resize(static_cast<size_t>(count));
    hi.resize(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        long long i = first + k;
        long long j = ((2 * i + 1) * srcLen) / (2LL * dstLen);
        long long a = (i * srcLen) / dstLen;
        long long b = ((i + 1) * srcLen) / dstLen;
        if (b <= a)
            b = a + 1;
        if (reversed) {
            j = srcLen - 1 - j;
            long long na = srcLen - b, nb = srcLen - a;
            a = na;
            b = nb;
        }
        index[static_cast<size_t>(k)] = static_cast<int>(j);
        lo[static_cast<size_t>(k)] = static_cast<int>(a);
        hi[static_cast<size_t>(k)] = static_cast<int>(b);
    }
}

// Coordinates and extents GDI can represent; anything beyond (a garbage argument) is refused.
bool Reasonable(std::initializer_list<int> values) {
    for (int v : values)
        if (v <= -(1 << 27) || v >= (1 << 27))
            return false;
    return true;
}

// The heart of every blit: source span (in source rows' space) onto destination span (in target pixels).
bool TransferPixels(DeviceContext& dst, Span dx, Span dy, SourceRows* src, Span sx, Span sy, DWORD rop) {
    Target t = dst.target();
    if (!t.base)
        return true;
    int dX, dW, dY, dH, sX, sW, sY, sH;
    bool rdx, rdy, rsx = false, rsy = false;
    Normalise(dx, dX, dW, rdx);
    Normalise(dy, dY, dH, rdy);
    if (src) {
        Normalise(sx, sX, sW, rsx);
        Normalise(sy, sY, sH, rsy);
    } else {
        sX = sY = 0;
        sW = dW;
        sH = dH;
    }
    if (dW <= 0 || dH <= 0 || sW <= 0 || sH <= 0)
        return true;
    const std::uint8_t code = static_cast<std::uint8_t>(rop >> 16);
    bool usesSource = ((code >> 2) & 0x33) != (code & 0x33);
    bool usesPattern = ((code >> 4) & 0x0F) != (code & 0x0F);
    if (usesSource && !src)
        return false;

    // Only the part of the destination inside the clip gets tables, so huge extents cost nothing.
    Region clip = dst.effectiveClip();
    RECT box = clip.box();
    auto clampToInt = [](long long v) { return static_cast<LONG>(std::clamp(v, -(1LL << 30), 1LL << 30)); };
    RECT dstRect{clampToInt(dX), clampToInt(dY), clampToInt(static_cast<long long>(dX) + dW),
                 clampToInt(static_cast<long long>(dY) + dH)};
    if (!IntersectRect(&box, &box, &dstRect))
        return true;
    std::vector<int> xIndex, xLo, xHi, yIndex, yLo, yHi;
    BuildMap(box.left - dX, box.right - box.left, dW, sW, rdx != rsx, xIndex, xLo, xHi);
    BuildMap(box.top - dY, box.bottom - box.top, dH, sH, rdy != rsy, yIndex, yLo, yHi);
    int mode = dst.state.stretchMode;
    bool combineX = (mode == BLACKONWHITE || mode == WHITEONBLACK) && sW > dW;
    bool combineY = (mode == BLACKONWHITE || mode == WHITEONBLACK) && sH > dH;
    bool useAnd = mode == BLACKONWHITE;

    std::uint32_t pattern = 0;
    if (usesPattern) {
        const Brush* b = dst.state.brush;
        COLORREF c = b == StockBrush(DC_BRUSH) ? dst.state.dcBrushColor : b->color;
        pattern = b->style == BS_NULL ? 0 : t.pixelOf(c);
    }

    std::vector<std::uint32_t> line(static_cast<size_t>(box.right - box.left));
    for (const RECT& c : clip.rects) {
        RECT q;
        if (!IntersectRect(&q, &box, &c))
            continue;
        for (LONG y = q.top; y < q.bottom; ++y) {
            size_t iy = static_cast<size_t>(y - box.top);
            std::uint32_t* out = t.row(y);
            if (usesSource) {
                // Fill `line` for the columns q.left..q.right with the sampled (or combined) source.
                int r0 = combineY ? yLo[iy] : yIndex[iy], r1 = combineY ? yHi[iy] : yIndex[iy] + 1;
                bool first = true;
                for (int r = r0; r < r1; ++r) {
                    int srow = sY + r;
                    if (srow < 0 || srow >= src->height)
                        continue;
                    const std::uint32_t* s = src->row(srow);
                    for (LONG x = q.left; x < q.right; ++x) {
                        size_t ix = static_cast<size_t>(x - box.left);
                        std::uint32_t v;
                        if (combineX) {
                            v = useAnd ? 0x00FFFFFF : 0;
                            for (int k = xLo[ix]; k < xHi[ix]; ++k) {
                                int scol = sX + k;
                                if (scol < 0 || scol >= src->width)
                                    continue;
                                v = useAnd ? (v & s[scol]) : (v | s[scol]);
                            }
                        } else {
                            int scol = sX + xIndex[ix];
                            v = (scol >= 0 && scol < src->width) ? s[scol] : (useAnd ? 0x00FFFFFF : 0);
                        }
                        if (first)
                            line[ix] = v;
                        else
                            line[ix] = useAnd ? (line[ix] & v) : (line[ix] | v);
                    }
                    first = false;
                }
                if (first)
                    continue; // the source has no such row: nothing is transferred
            }
            for (LONG x = q.left; x < q.right; ++x) {
                size_t ix = static_cast<size_t>(x - box.left);
                if (usesSource && !combineX) {
                    int scol = sX + xIndex[ix];
                    if (scol < 0 || scol >= src->width)
                        continue;
                }
                std::uint32_t s = usesSource ? line[ix] : 0;
                std::uint32_t v;
                if (code == 0xCC)
                    v = s;
                else
                    v = Rop3(code, pattern, s, out[x]);
                out[x] = t.mono ? ToMono(v) : v;
            }
        }
    }
    return true;
}

bool Transfer(DeviceContext& dst, Span dx, Span dy, SourceRows* src, Span sx, Span sy, DWORD rop) {
    try {
        return TransferPixels(dst, dx, dy, src, sx, sy, rop);
    } catch (const std::bad_alloc&) {
        return false; // row buffers for an enormous source: reported as a failed blit
    }
}

} // namespace

} // namespace platform::gdi

using namespace platform::gdi;

BOOL StretchBlt(HDC hdest, int x, int y, int width, int height, HDC hsrc, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
    DeviceContext* dst = ToDC(hdest);
    if (!dst || !Reasonable({x, y, width, height, srcX, srcY, srcWidth, srcHeight}))
        return FALSE;
    const std::uint8_t code = static_cast<std::uint8_t>(rop >> 16);
    bool usesSource = ((code >> 2) & 0x33) != (code & 0x33);
    Span dx = DeviceSpanX(*dst, x, y, width, true);
    Span dy = DeviceSpanY(*dst, x, y, height);
    if (!usesSource)
        return Transfer(*dst, dx, dy, nullptr, Span{0, 0}, Span{0, 0}, rop) ? TRUE : FALSE;
    DeviceContext* src = ToDC(hsrc);
    if (!src)
        return FALSE;
    Target st = src->target();
    if (!st.base)
        return TRUE; // a display DC has nothing to copy from
    Target dt = dst->target();
    bool monoToColour = st.mono && !dt.mono;
    bool colourToMono = !st.mono && dt.mono;
    // Copy the source first when both are the same pixels, so overlapping blits read the original.
    std::vector<std::uint32_t> copy;
    Target from = st;
    if (st.base == dt.base) {
        try {
            copy.resize(static_cast<size_t>(st.width) * static_cast<size_t>(st.height));
        } catch (const std::bad_alloc&) {
            return FALSE;
        }
        for (int r = 0; r < st.height; ++r)
            std::copy_n(st.row(r), st.width, copy.begin() + static_cast<std::ptrdiff_t>(r) * st.width);
        from.base = copy.data();
        from.stride = st.width;
    }
    TargetRows rows(from, monoToColour, ToPixel(dst->state.textColor), ToPixel(dst->state.bkColor), colourToMono,
                    ToPixel(src->state.bkColor));
    Span sx = DeviceSpanX(*src, srcX, srcY, srcWidth, false);
    Span sy = DeviceSpanY(*src, srcX, srcY, srcHeight);
    return Transfer(*dst, dx, dy, &rows, sx, sy, rop) ? TRUE : FALSE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    DeviceContext* dst = ToDC(dest);
    if (!dst)
        return FALSE;
    // A plain copy never stretches, whatever the stretch mode.
    int mode = dst->state.stretchMode;
    dst->state.stretchMode = COLORONCOLOR;
    BOOL ok = StretchBlt(dest, x, y, width, height, src, srcX, srcY, width, height, rop);
    dst->state.stretchMode = mode;
    return ok;
}

int StretchDIBits(HDC hdest, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    DeviceContext* dst = ToDC(hdest);
    DibInfo dib;
    if (!dst || !bits || !ParseDib(info, usage, dib) ||
        !Reasonable({x, y, width, height, srcX, srcY, srcWidth, srcHeight}))
        return 0;
    DibRows rows(dib, bits, dst->target().mono);
    // For a bottom-up DIB the source rectangle's y counts from the bottom row; the picture stays upright.
    Span sx{srcX, srcWidth};
    Span sy{srcY, srcHeight};
    if (!dib.topDown)
        sy.start = dib.height - srcY - srcHeight - (srcHeight < 0 ? 1 : 0);
    Span dx = DeviceSpanX(*dst, x, y, width, true);
    Span dy = DeviceSpanY(*dst, x, y, height);
    if (!Transfer(*dst, dx, dy, &rows, sx, sy, rop))
        return 0;
    return dib.height;
}

int SetDIBitsToDevice(HDC hdest, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan,
                      UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage) {
    DeviceContext* dst = ToDC(hdest);
    DibInfo dib;
    if (!dst || !bits || !ParseDib(info, usage, dib) || startScan != 0)
        return 0;
    int mode = dst->state.stretchMode;
    dst->state.stretchMode = COLORONCOLOR;
    int lines = StretchDIBits(hdest, x, y, static_cast<int>(width), static_cast<int>(height), srcX, srcY,
                              static_cast<int>(width), static_cast<int>(height), bits, info, usage, SRCCOPY);
    dst->state.stretchMode = mode;
    return lines ? static_cast<int>(std::min<UINT>(scanLines, static_cast<UINT>(dib.height))) : 0;
}
