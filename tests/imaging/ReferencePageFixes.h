// The page fixes as they were first written, kept as the reference that every faster form must match byte for
// byte and angle for angle. Plain single-threaded code; nothing here is used by the product.
#pragma once

#include "platform/base/windows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace reference_fixes {

struct ImgProcParam {
    std::int32_t mode, dpi, width, height, outWidth, outHeight;
    float angle;
};

// A zeroed buffer, or null when it cannot be had.
inline std::unique_ptr<BYTE[]> TryAllocate(std::size_t bytes) {
    return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[bytes]());
}

inline std::size_t PixelCount(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

inline std::size_t BitRowBytes(int width) {
    return (static_cast<std::size_t>(width) + 7) / 8;
}

inline void RgbToGray(const BYTE* rgb, BYTE* out, int width, int height) {
    const std::size_t pixels = PixelCount(std::max(width, 0), std::max(height, 0));
    for (std::size_t i = 0; i < pixels; ++i, rgb += 3)
        out[i] = std::min({rgb[0], rgb[1], rgb[2]});
}

inline void BwToGray(const BYTE* bits, BYTE* out, int width, int height) {
    const std::size_t rowBytes = BitRowBytes(std::max(width, 0));
    for (int y = 0; y < height; ++y, bits += rowBytes)
        for (int x = 0; x < width; ++x)
            *out++ = static_cast<BYTE>((bits[x >> 3] >> (7 - (x & 7))) & 1);
}

inline void GrayToBW(const BYTE* bytes, BYTE* out, int width, int height) {
    const std::size_t rowBytes = BitRowBytes(std::max(width, 0));
    for (int y = 0; y < height; ++y, bytes += width, out += rowBytes)
        for (std::size_t k = 0; k < rowBytes; ++k) {
            BYTE v = 0;
            for (int b = 0; b < 8; ++b) {
                const std::size_t x = k * 8 + static_cast<std::size_t>(b);
                if (x < static_cast<std::size_t>(width) && bytes[x] != 0)
                    v |= static_cast<BYTE>(0x80u >> b);
            }
            out[k] = v;
        }
}

namespace detail {

inline float Hough(const int rows[], const int columns[], int count, int width, int height);

constexpr int kMargin = 50; // pixels on every side that crop and deskew do not examine

// ---- auto_crop ----

struct CropRule {
    int dark;        // T: a pixel at or below it is dark
    int count;       // N: dark pixels that make a row or column count
    int extend;      // E1: the first extension, also the reach of the trim
    int finalExtend; // E2: the second extension
};

inline CropRule CropRuleFor(int dpi) {
    switch (dpi) {
    case 75:
        return {220, 15, 0, 0};
    case 150:
        return {200, 15, 0, 0};
    case 300:
        return {150, 30, 400, 50};
    case 600:
    case 1200:
        return {150, 160, 400, 80};
    default:
        return {0, 0, 0, 0};
    }
}

struct Box {
    int top, bottom, left, right; // bottom and right are the last row and column that count
};

// The rows and columns that count: a row counts when at least N of its examined pixels have a dark pixel within 15
// above or below; a column when at least N have one within 15 to the left or right. An empty page gives an
// inverted box (top > bottom or left > right).
inline Box FindContent(const BYTE* grey, int width, int height, const CropRule& rule) {
    Box box{height, 0, width, 0};
    const int y0 = kMargin, y1 = height - kMargin - 1; // examined rows, inclusive
    const int x0 = kMargin, x1 = width - kMargin - 1;
    if (y0 > y1 || x0 > x1)
        return box;
    auto dark = [&](int y, int x) { return grey[static_cast<std::size_t>(y) * width + x] <= rule.dark; };

    // Rows: per column the dark pixels among rows y-15 .. y+15, and how many columns have any.
    std::vector<int> window(static_cast<std::size_t>(width), 0);
    int columnsWithDark = 0;
    auto addRow = [&](int y, int delta) {
        for (int x = x0; x <= x1; ++x)
            if (dark(y, x)) {
                int& n = window[static_cast<std::size_t>(x)];
                columnsWithDark += (delta > 0 && n == 0) - (delta < 0 && n == 1);
                n += delta;
            }
    };
    for (int y = y0 - 15; y < y0 + 15; ++y)
        addRow(y, 1);
    for (int y = y0; y <= y1; ++y) {
        addRow(y + 15, 1);
        if (columnsWithDark >= rule.count) {
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
        addRow(y - 15, -1);
    }

    // Columns: per row the dark pixels among columns x-15 .. x+15, counted into each column.
    std::vector<int> columnCount(static_cast<std::size_t>(width), 0);
    for (int y = y0; y <= y1; ++y) {
        int n = 0;
        for (int x = x0 - 15; x < x0 + 15; ++x)
            n += dark(y, x);
        for (int x = x0; x <= x1; ++x) {
            n += dark(y, x + 15);
            if (n > 0)
                ++columnCount[static_cast<std::size_t>(x)];
            n -= dark(y, x - 15);
        }
    }
    for (int x = x0; x <= x1; ++x)
        if (columnCount[static_cast<std::size_t>(x)] >= rule.count) {
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
        }
    return box;
}

// Widens the box by `by` on every side where that stays inside the image (past the first row or column, short of
// the last); a side that would leave it stays.
inline void Extend(Box& box, int by, int width, int height) {
    if (box.top - by >= 1)
        box.top -= by;
    if (box.bottom + by < height)
        box.bottom += by;
    if (box.left - by >= 1)
        box.left -= by;
    if (box.right + by < width)
        box.right += by;
}

// Moves each side of the extended box back towards the content over rows and columns with fewer than N pixels of
// 250 or darker, at most E1 of them, stopping at the first one with content and never past the content itself.
inline void Trim(Box& box, const Box& content, const BYTE* grey, int width, const CropRule& rule) {
    auto rowHasContent = [&](int y) {
        const BYTE* row = grey + static_cast<std::size_t>(y) * width;
        return std::count_if(row + box.left, row + box.right + 1, [](BYTE v) { return v <= 250; }) >= rule.count;
    };
    auto columnHasContent = [&](int x) {
        int n = 0;
        for (int y = box.top; y <= box.bottom; ++y)
            n += grey[static_cast<std::size_t>(y) * width + x] <= 250;
        return n >= rule.count;
    };
    for (int i = 0; i < rule.extend && box.top < content.top && !rowHasContent(box.top); ++i)
        ++box.top;
    for (int i = 0; i < rule.extend && box.bottom > content.bottom && !rowHasContent(box.bottom); ++i)
        --box.bottom;
    for (int i = 0; i < rule.extend && box.left < content.left && !columnHasContent(box.left); ++i)
        ++box.left;
    for (int i = 0; i < rule.extend && box.right > content.right && !columnHasContent(box.right); ++i)
        --box.right;
}

// Copies bits [left, left + count) of a packed row to the start of `out`, the spare bits of the last byte clear.
inline void CopyBits(const BYTE* row, std::size_t rowBytes, int left, int count, BYTE* out) {
    const std::size_t first = static_cast<std::size_t>(left) / 8;
    const int shift = left % 8;
    const std::size_t outBytes = BitRowBytes(count);
    for (std::size_t k = 0; k < outBytes; ++k) {
        unsigned v = static_cast<unsigned>(row[first + k]) << shift;
        if (shift != 0 && first + k + 1 < rowBytes)
            v |= row[first + k + 1] >> (8 - shift);
        out[k] = static_cast<BYTE>(v);
    }
    if (count % 8 != 0)
        out[outBytes - 1] &= static_cast<BYTE>(0xFF00u >> (count % 8));
}

inline int Crop(const BYTE* data, BYTE* out, ImgProcParam* param) {
    if (data == nullptr || out == nullptr || param == nullptr || param->width <= 0 || param->height <= 0 ||
        param->mode < 0 || param->mode > 2)
        return 0;
    const int width = param->width, height = param->height, mode = param->mode;
    const std::size_t pixels = PixelCount(width, height);

    // The grey working image; black-and-white pages work on 0 (black) and 255 (white).
    std::unique_ptr<BYTE[]> converted;
    const BYTE* grey = data;
    if (mode == 0 || mode == 2) {
        converted = TryAllocate(pixels);
        if (!converted) {
            return 0;
        }
        if (mode == 0) {
            BwToGray(data, converted.get(), width, height);
            std::transform(converted.get(), converted.get() + pixels, converted.get(),
                           [](BYTE v) { return static_cast<BYTE>(v ? 255 : 0); });
        } else {
            RgbToGray(data, converted.get(), width, height);
        }
        grey = converted.get();
    }

    const CropRule rule = CropRuleFor(param->dpi);
    const Box content = FindContent(grey, width, height, rule);
    if (content.top > content.bottom || content.left > content.right) {
        return 0;
    }
    Box box = content;
    Extend(box, rule.extend, width, height);
    Trim(box, content, grey, width, rule);
    Extend(box, rule.finalExtend, width, height);
    // The copy takes rows top .. bottom - 1 and columns left .. right - 1.
    if (box.bottom <= box.top || box.right <= box.left) {
        return 0;
    }

    const int outWidth = box.right - box.left, outHeight = box.bottom - box.top;
    for (int y = 0; y < outHeight; ++y) {
        const std::size_t sourceRow = static_cast<std::size_t>(box.top) + static_cast<std::size_t>(y);
        switch (mode) {
        case 0:
            CopyBits(data + sourceRow * BitRowBytes(width), BitRowBytes(width), box.left, outWidth,
                     out + static_cast<std::size_t>(y) * BitRowBytes(outWidth));
            break;
        case 2:
            std::memcpy(out + static_cast<std::size_t>(y) * outWidth * 3, data + (sourceRow * width + box.left) * 3,
                        static_cast<std::size_t>(outWidth) * 3);
            break;
        default:
            std::memcpy(out + static_cast<std::size_t>(y) * outWidth, grey + sourceRow * width + box.left,
                        static_cast<std::size_t>(outWidth));
            break;
        }
    }
    param->outWidth = outWidth;
    param->outHeight = outHeight;
    return 1;
}

// ---- auto_deskew ----

struct DeskewRule {
    int dark;  // T
    int count; // N
};

inline DeskewRule DeskewRuleFor(int dpi, double mean) {
    auto below = [mean](double limit, double by) { return static_cast<int>(mean >= limit ? mean - by : mean); };
    switch (dpi) {
    case 75:
        return {below(20, 50), 15};
    case 150:
        return {below(40, 70), 25};
    case 300:
        return {below(50, 80), 30};
    case 600:
        return {below(60, 90), 60};
    case 1200:
        return {below(80, 80), 15};
    default:
        return {0, 15};
    }
}

inline float Deskew(const BYTE* grey, int width, int height, int mode, int dpi) {
    constexpr int kMinSize = 2 * kMargin + 1; // pages this small or smaller have nothing to examine
    if (grey == nullptr || width <= kMinSize || height <= kMinSize)
        return 0;
    const std::size_t w = static_cast<std::size_t>(width);
    auto at = [&](int y, int x) { return grey[static_cast<std::size_t>(y) * w + x]; };
    const int y0 = kMargin, y1 = height - kMargin - 1, x0 = kMargin, x1 = width - kMargin - 1;

    // The mean of the row means inside the margins.
    double mean = 0;
    for (int y = y0; y <= y1; ++y) {
        double sum = 0;
        for (int x = x0; x <= x1; ++x)
            sum += at(y, x);
        mean += sum / (x1 - x0 + 1);
    }
    mean /= (y1 - y0 + 1);

    const DeskewRule rule = DeskewRuleFor(dpi, mean);
    std::uint64_t darkTotal = 0;
    bool anyContentRow = false;
    for (int y = y0; y <= y1; ++y) {
        int n = 0;
        for (int x = x0; x <= x1; ++x)
            n += at(y, x) <= rule.dark;
        darkTotal += static_cast<std::uint64_t>(n);
        anyContentRow = anyContentRow || n >= rule.count;
    }
    if (static_cast<double>(darkTotal) <= static_cast<double>(PixelCount(width, height)) * 0.001 || !anyContentRow)
        return 0;

    std::unique_ptr<BYTE[]> edges = TryAllocate(PixelCount(width, height));
    std::unique_ptr<BYTE[]> widened = TryAllocate(PixelCount(width, height));
    std::vector<BYTE> rowMax;
    std::vector<int> rows, columns;
    try {
        rowMax.resize(w);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!edges || !widened)
        return 0;

    // Edges: the larger difference across the two diagonals at distance 2, light values (129 and up) taken as
    // white, where the four are not (nearly) all light.
    for (int y = 52; y <= height - 53; ++y) {
        const BYTE* above = grey + static_cast<std::size_t>(y - 2) * w;
        const BYTE* below = grey + static_cast<std::size_t>(y + 2) * w;
        BYTE* out = edges.get() + static_cast<std::size_t>(y) * w;
        for (int x = 52; x <= width - 53; ++x) {
            auto light = [](int v) { return v >= 129 ? 255 : v; };
            const int tl = light(above[x - 2]), tr = light(above[x + 2]);
            const int bl = light(below[x - 2]), br = light(below[x + 2]);
            const int edge = (std::abs(tl + bl - tr - br) + std::abs(tl + tr - bl - br)) / 2;
            out[x] = static_cast<BYTE>(tl + bl + tr + br < 765 ? edge : 0);
        }
    }

    // Widened: the largest edge in the 5 x 5 square, as a vertical then a horizontal maximum.
    for (int y = 53; y <= height - 53; ++y) {
        const BYTE* rows5[5];
        for (int dy = 0; dy < 5; ++dy)
            rows5[dy] = edges.get() + static_cast<std::size_t>(y - 2 + dy) * w;
        for (int x = 51; x <= width - 51; ++x)
            rowMax[static_cast<std::size_t>(x)] =
                std::max({rows5[0][x], rows5[1][x], rows5[2][x], rows5[3][x], rows5[4][x]});
        BYTE* out = widened.get() + static_cast<std::size_t>(y) * w;
        const BYTE* m = rowMax.data();
        for (int x = 53; x <= width - 53; ++x)
            out[x] = std::max({m[x - 2], m[x - 1], m[x], m[x + 1], m[x + 2]});
    }

    // Edge points: where the widened edges of a row differ enough from the next row's over five columns.
    const int minStep = mode == 0 ? 1 : 145;
    try {
        for (int y = 53; y <= height - 53; ++y) {
            const BYTE* here = widened.get() + static_cast<std::size_t>(y) * w;
            const BYTE* next = here + w;
            int sum = 0;
            for (int x = 51; x < 55; ++x)
                sum += here[x] - next[x];
            for (int x = 53; x <= width - 53; ++x) {
                sum += here[x + 2] - next[x + 2];
                if (std::abs(sum) >= minStep) {
                    rows.push_back(y);
                    columns.push_back(x);
                }
                sum -= here[x - 2] - next[x - 2];
            }
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    edges.reset();
    widened.reset();
    return Hough(rows.data(), columns.data(), static_cast<int>(rows.size()), width, height);
}

// ---- DetectSkewAngle ----

struct HoughTables {
    int cosine[360];
    int sine[360];
    HoughTables() {
        for (int i = 0; i < 360; ++i) {
            cosine[i] = static_cast<int>(std::floor(100000 * std::cos((i + 1) * 0.01745329)));
            sine[i] = static_cast<int>(std::floor(100000 * std::sin((i + 1) * 0.01745329)));
        }
    }
};

inline float Hough(const int rows[], const int columns[], int count, int width, int height) {
    if (rows == nullptr || columns == nullptr || count <= 0 || width <= 0 || height <= 0)
        return 0;
    static const HoughTables tables;
    const double diagonal = std::sqrt(static_cast<double>(width) * width + static_cast<double>(height) * height);
    const std::int64_t rhoRows = static_cast<std::int64_t>(diagonal) + 1;
    // Votes by angle, then rho: the points come in rows, so for one angle neighbouring points vote in
    // neighbouring cells.
    std::vector<std::uint32_t> votes;
    try {
        votes.assign(static_cast<std::size_t>(rhoRows) * 360, 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    for (int k = 0; k < 360; ++k) {
        std::uint32_t* column = votes.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(rhoRows);
        const std::int64_t cosine = tables.cosine[k], sine = tables.sine[k];
        for (int i = 0; i < count; ++i) {
            const std::int64_t rho = (rows[i] * cosine + (static_cast<std::int64_t>(columns[i]) + 1) * sine) / 100000;
            if (rho > 0 && rho < rhoRows)
                ++column[rho];
        }
    }
    const std::uint32_t best = *std::max_element(votes.begin(), votes.end());
    if (best == 0)
        return 0; // every cell is a peak: no direction stands out

    // The peaks in order of rho, then k: the last one names the angle; their spread must stay within 4 degrees.
    int lastK = 0, lastRho = -1, lowest = 180, highest = -1;
    for (int k = 0; k < 360; ++k)
        for (std::int64_t rho = 1; rho < rhoRows; ++rho)
            if (votes[static_cast<std::size_t>(k) * static_cast<std::size_t>(rhoRows) +
                      static_cast<std::size_t>(rho)] == best) {
                if (rho >= lastRho) {
                    lastRho = static_cast<int>(rho);
                    lastK = k;
                }
                lowest = std::min(lowest, k % 180);
                highest = std::max(highest, k % 180);
            }
    if (highest - lowest > 4)
        return 0;
    int angle = lastK + 1;
    if (angle > 270)
        angle -= 360;
    else if (angle > 180)
        angle = 270 - angle;
    else if (angle > 90)
        angle = 180 - angle;
    return std::abs(angle) >= 15 ? 0.0f : static_cast<float>(angle);
}

// ---- normal_rotate ----

// Turns a page of one byte (channels 1) or three bytes (channels 3) a pixel into `out`.
inline void Rotate(const BYTE* data, BYTE* out, int width, int height, int channels, float angle, BYTE white) {
    const float rad = angle * 3.1415927f / 180;
    const float cosA = std::cos(rad), sinA = std::sin(rad);
    const int halfW = width / 2, halfH = height / 2;
    const std::size_t n = static_cast<std::size_t>(channels);
    const std::size_t stride = static_cast<std::size_t>(width) * n;
    auto f = [](int v) { return static_cast<float>(v); };
    for (int i = 0; i < height; ++i) {
        BYTE* dst = out + static_cast<std::size_t>(i) * stride;
        for (int j = 0; j < width; ++j, dst += n) {
            const float srcRow = f(i - halfH) * cosA + f(halfW - j) * sinA + f(halfH);
            const float srcCol = f(i - halfH) * sinA + f(j - halfW) * cosA + f(halfW);
            const int r0 = static_cast<int>(srcRow), c0 = static_cast<int>(srcCol);
            if (!(0 < r0 && r0 < height - 2 && 0 < c0 && c0 < width - 2)) {
                std::memset(dst, white, n);
                continue;
            }
            const float fx = srcCol - f(c0), fy = srcRow - f(r0);
            const BYTE* p = data + static_cast<std::size_t>(r0) * stride + static_cast<std::size_t>(c0) * n;
            for (std::size_t c = 0; c < n; ++c) {
                const float top = f(p[c]) + fx * f(p[n + c] - p[c]);
                const float bottom = f(p[stride + c]) + fx * f(p[stride + n + c] - p[stride + c]);
                dst[c] = static_cast<BYTE>(static_cast<int>(top + fy * (bottom - top)));
            }
        }
    }
}

} // namespace detail

inline int auto_crop(const BYTE* data, BYTE* out, ImgProcParam* param) {
    return detail::Crop(data, out, param);
}

inline float auto_deskew(const BYTE* grey, int width, int height, int mode, int dpi) {
    return detail::Deskew(grey, width, height, mode, dpi);
}

inline float DetectSkewAngle(const int rows[], const int columns[], int count, int width, int height) {
    return detail::Hough(rows, columns, count, width, height);
}

inline std::unique_ptr<BYTE[]> normal_rotate(const BYTE* data, ImgProcParam* param) {
    if (data == nullptr || param == nullptr || param->width <= 0 || param->height <= 0 || param->mode < 0 ||
        param->mode > 2)
        return nullptr;
    const int width = param->width, height = param->height;
    const std::size_t pixels = PixelCount(width, height);
    std::unique_ptr<BYTE[]> result;
    if (param->mode == 0) {
        std::unique_ptr<BYTE[]> turned = TryAllocate(pixels);
        result = TryAllocate(BitRowBytes(width) * static_cast<std::size_t>(height));
        if (!turned || !result)
            return nullptr;
        detail::Rotate(data, turned.get(), width, height, 1, param->angle, 1);
        GrayToBW(turned.get(), result.get(), width, height);
    } else {
        const int channels = param->mode == 2 ? 3 : 1;
        result = TryAllocate(pixels * static_cast<std::size_t>(channels));
        if (!result)
            return nullptr;
        detail::Rotate(data, result.get(), width, height, channels, param->angle, 255);
    }
    param->outWidth = width;
    param->outHeight = height;
    return result;
}

} // namespace reference_fixes
