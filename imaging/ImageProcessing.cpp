#include "imaging/ImageProcessing.h"

#include "imaging/ParallelBands.h"
#include "platform/base/winbase.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Writes "<name>()<---------" now and "<name>()---------->" when it goes.
class RoutineTrace {
public:
    explicit RoutineTrace(const char16_t* name) : m_name(name) {
        OutputDebugStringW((m_name + u"()<---------").c_str());
    }
    ~RoutineTrace() { OutputDebugStringW((m_name + u"()---------->").c_str()); }
    RoutineTrace(const RoutineTrace&) = delete;
    RoutineTrace& operator=(const RoutineTrace&) = delete;

private:
    std::u16string m_name;
};

// Uninitialised, for buffers that are written whole; null when it cannot be had.
std::unique_ptr<BYTE[]> TryAllocateUninitialised(std::size_t bytes) {
    return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[bytes]);
}

std::size_t PixelCount(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

std::size_t BitRowBytes(int width) {
    return (static_cast<std::size_t>(width) + 7) / 8;
}

constexpr int kMargin = 50; // pixels on every side that crop and deskew do not examine

// The fewest rows a band of parallel work takes: about 64 KiB, so that a band is worth waking a thread for.
int MinRows(std::size_t rowBytes) {
    return static_cast<int>(std::max<std::size_t>(1, (std::size_t{1} << 16) / std::max<std::size_t>(rowBytes, 1)));
}

// The row kernels (PAGEFIX_KERNEL) are built twice, for AVX2 and for any x86-64, and chosen when the module loads; both
// give the same bytes (integer work only, and the float steps of the turn are the same single operations either way).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PAGEFIX_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define PAGEFIX_KERNEL
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Whether the hand-vectorised AVX2 paths may run. PAGEFIXES_PORTABLE=1 in the environment keeps to the portable
// paths, so that they are checked on machines with AVX2 too.
bool HasAvx2() {
    static const bool has = [] {
        const char* portable = std::getenv("PAGEFIXES_PORTABLE");
        if (portable != nullptr && std::strcmp(portable, "1") == 0)
            return false;
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

// ---- conversions ----

PAGEFIX_KERNEL void DarkestSamples(const BYTE* __restrict rgb, BYTE* __restrict out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = std::min(std::min(rgb[3 * i], rgb[3 * i + 1]), rgb[3 * i + 2]);
}

void GreyFromRgb(const BYTE* rgb, BYTE* out, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    const std::size_t w = static_cast<std::size_t>(width);
    ParallelBands(height, MinRows(3 * w), [&](int y0, int y1, int) {
        DarkestSamples(rgb + static_cast<std::size_t>(y0) * w * 3, out + static_cast<std::size_t>(y0) * w,
                       static_cast<std::size_t>(y1 - y0) * w);
    });
}

// One-bit rows to a byte a pixel: `one` for a set bit, 0 for a clear one.
void ExpandBits(const BYTE* bits, BYTE* out, int width, int height, BYTE one) {
    if (width <= 0 || height <= 0)
        return;
    std::uint64_t table[256];
    for (int v = 0; v < 256; ++v) {
        BYTE eight[8];
        for (int b = 0; b < 8; ++b)
            eight[b] = ((v >> (7 - b)) & 1) != 0 ? one : 0;
        std::memcpy(&table[v], eight, 8);
    }
    const std::size_t w = static_cast<std::size_t>(width), rowBytes = BitRowBytes(width);
    ParallelBands(height, MinRows(w), [&](int y0, int y1, int) {
        for (int y = y0; y < y1; ++y) {
            const BYTE* in = bits + static_cast<std::size_t>(y) * rowBytes;
            BYTE* o = out + static_cast<std::size_t>(y) * w;
            const int full = width / 8;
            for (int k = 0; k < full; ++k)
                std::memcpy(o + 8 * k, &table[in[k]], 8);
            for (int x = full * 8; x < width; ++x)
                o[x] = ((in[x >> 3] >> (7 - (x & 7))) & 1) != 0 ? one : 0;
        }
    });
}

// Eight bytes in a word, the first lowest, each turned into 1 when it is not 0 and 0 when it is. Multiplying the
// result by 0x8040201008040201 gathers the eight bits into the top byte with the first byte's highest, by
// 0x0102040810204080 with the first byte's lowest.
inline std::uint64_t NonZeroFlags(const BYTE* in) {
    std::uint64_t v;
    std::memcpy(&v, in, 8);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    return ((((v & kLow7) + kLow7) | v) >> 7) & 0x0101010101010101ull;
}

// A row of bytes to bits, most significant first: a non-zero byte sets its bit; the spare bits stay clear.
void PackRow(const BYTE* in, BYTE* out, int width) {
    const int full = width / 8;
    for (int k = 0; k < full; ++k, in += 8)
        out[k] = static_cast<BYTE>((NonZeroFlags(in) * 0x8040201008040201ull) >> 56);
    if (width % 8 != 0) {
        unsigned v = 0;
        for (int b = 0; b < width % 8; ++b)
            v |= static_cast<unsigned>(in[b] != 0) << (7 - b);
        out[full] = static_cast<BYTE>(v);
    }
}

void PackBits(const BYTE* bytes, BYTE* out, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    const std::size_t w = static_cast<std::size_t>(width), rowBytes = BitRowBytes(width);
    ParallelBands(height, MinRows(w), [&](int y0, int y1, int) {
        for (int y = y0; y < y1; ++y)
            PackRow(bytes + static_cast<std::size_t>(y) * w, out + static_cast<std::size_t>(y) * rowBytes, width);
    });
}

// ---- auto_crop ----

struct CropRule {
    int dark;        // T: a pixel at or below it is dark
    int count;       // N: dark pixels that make a row or column count
    int extend;      // E1: the first extension, also the reach of the trim
    int finalExtend; // E2: the second extension
};

CropRule CropRuleFor(int dpi) {
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

// Per column, the last row with a dark pixel: `row` if its pixel is dark.
PAGEFIX_KERNEL void NoteDarkRows(const BYTE* __restrict pixels, int* __restrict last, int count, int dark, int row) {
    for (int i = 0; i < count; ++i)
        last[i] = pixels[i] <= dark ? row : last[i];
}

// The columns whose last dark row is `from` or later.
PAGEFIX_KERNEL int CountSince(const int* __restrict last, int count, int from) {
    int n = 0;
    for (int i = 0; i < count; ++i)
        n += last[i] >= from;
    return n;
}

PAGEFIX_KERNEL void DarkFlags(const BYTE* __restrict pixels, BYTE* __restrict flags, int count, int dark) {
    for (int i = 0; i < count; ++i)
        flags[i] = pixels[i] <= dark;
}

PAGEFIX_KERNEL void MaxWithShifted(const BYTE* __restrict in, BYTE* __restrict out, int count, int step) {
    for (int i = 0; i < count; ++i)
        out[i] = std::max(in[i], in[i + step]);
}

PAGEFIX_KERNEL void AddAnyOfTwo(const BYTE* __restrict a, const BYTE* __restrict b, int* __restrict counts, int count) {
    for (int i = 0; i < count; ++i)
        counts[i] += a[i] | b[i];
}

// The rows and columns that count: a row counts when at least N of its examined pixels have a dark pixel within 15
// above or below; a column when at least N have one within 15 to the left or right. An empty page gives an
// inverted box (top > bottom or left > right). Bands of rows run in parallel; each keeps, per column, the last row
// with a dark pixel, and adds to each column's count whether a row has a dark pixel near it.
Box FindContent(const BYTE* grey, int width, int height, const CropRule& rule) {
    Box box{height, 0, width, 0};
    const int y0 = kMargin, y1 = height - kMargin - 1; // examined rows, inclusive
    const int x0 = kMargin, x1 = width - kMargin - 1;
    if (y0 > y1 || x0 > x1)
        return box;
    const std::size_t w = static_cast<std::size_t>(width);
    const int columns = x1 - x0 + 1;
    const int dark = rule.dark;
    const int slots = ParallelSlots();
    std::vector<Box> found(static_cast<std::size_t>(slots), Box{height, 0, width, 0});
    std::vector<std::vector<int>> columnCounts(static_cast<std::size_t>(slots));
    std::atomic<bool> failed{false};

    ParallelBands(y1 - y0 + 1, 64, [&](int b, int e, int slot) {
        const int ya = y0 + b, yb = y0 + e - 1;
        const std::size_t span = static_cast<std::size_t>(columns) + 30; // columns x0-15 .. x1+15
        std::vector<int> lastDark;
        std::vector<BYTE> flags, wider;
        std::vector<int>& columnCount = columnCounts[static_cast<std::size_t>(slot)];
        try {
            lastDark.assign(static_cast<std::size_t>(columns), INT_MIN / 2);
            flags.resize(span);
            wider.resize(span);
            if (columnCount.empty())
                columnCount.assign(static_cast<std::size_t>(columns), 0);
        } catch (const std::bad_alloc&) {
            failed = true;
            return;
        }
        for (int y = ya - 15; y < ya + 15; ++y)
            NoteDarkRows(grey + static_cast<std::size_t>(y) * w + x0, lastDark.data(), columns, dark, y);
        Box& mine = found[static_cast<std::size_t>(slot)];
        for (int y = ya; y <= yb; ++y) {
            NoteDarkRows(grey + static_cast<std::size_t>(y + 15) * w + x0, lastDark.data(), columns, dark, y + 15);
            if (CountSince(lastDark.data(), columns, y - 15) >= rule.count) {
                mine.top = std::min(mine.top, y);
                mine.bottom = std::max(mine.bottom, y);
            }
            // Columns: whether any of columns x-15 .. x+15 of this row is dark, as a maximum over windows of 2, 4,
            // 8 and 16 flags and then two windows of 16 that meet.
            DarkFlags(grey + static_cast<std::size_t>(y) * w + x0 - 15, flags.data(), static_cast<int>(span), dark);
            int valid = static_cast<int>(span);
            for (int step = 1; step <= 8; step *= 2) {
                valid -= step;
                MaxWithShifted(flags.data(), wider.data(), valid, step);
                flags.swap(wider);
            }
            AddAnyOfTwo(flags.data(), flags.data() + 15, columnCount.data(), columns);
        }
    });
    if (failed)
        return box;
    for (const Box& mine : found) {
        box.top = std::min(box.top, mine.top);
        box.bottom = std::max(box.bottom, mine.bottom);
    }
    for (int i = 0; i < columns; ++i) {
        int n = 0;
        for (const std::vector<int>& counts : columnCounts)
            n += counts.empty() ? 0 : counts[static_cast<std::size_t>(i)];
        if (n >= rule.count) {
            box.left = std::min(box.left, x0 + i);
            box.right = std::max(box.right, x0 + i);
        }
    }
    return box;
}

// Widens the box by `by` on every side where that stays inside the image (past the first row or column, short of
// the last); a side that would leave it stays.
void Extend(Box& box, int by, int width, int height) {
    if (box.top - by >= 1)
        box.top -= by;
    if (box.bottom + by < height)
        box.bottom += by;
    if (box.left - by >= 1)
        box.left -= by;
    if (box.right + by < width)
        box.right += by;
}

// How far each side of the extended box may move back towards the content: at most E1 rows or columns, never past
// the content itself.
struct Reach {
    int top, bottom, left, right;
};

Reach TrimReach(const Box& box, const Box& content, const CropRule& rule) {
    auto upTo = [&](int room) { return std::max(0, std::min(rule.extend, room)); };
    return {upTo(content.top - box.top), upTo(box.bottom - content.bottom), upTo(content.left - box.left),
            upTo(box.right - content.right)};
}

// The row of the i-th count of the rows the sides may pass: the top ones first, then the bottom ones.
int TrimRow(const Box& box, const Reach& reach, int i) {
    return i < reach.top ? box.top + i : box.bottom - (i - reach.top);
}

// Moves the top and the bottom in over their counted rows with fewer than N, up to the first with content.
void WalkRows(Box& box, const Reach& reach, const std::vector<int>& rowCount, int count) {
    for (int i = 0; i < reach.top && rowCount[static_cast<std::size_t>(i)] < count; ++i)
        ++box.top;
    for (int i = 0; i < reach.bottom && rowCount[static_cast<std::size_t>(reach.top + i)] < count; ++i)
        --box.bottom;
}

// Moves each side of the extended box back towards the content over rows and columns with fewer than N pixels of
// 250 or darker, at most E1 of them, stopping at the first one with content and never past the content itself.
// The rows and columns a side may pass are counted first, in parallel, then walked in order.
void Trim(Box& box, const Box& content, const BYTE* grey, int width, const CropRule& rule) {
    const std::size_t w = static_cast<std::size_t>(width);
    auto light = [](BYTE v) { return v <= 250; };

    // Rows: the first few below the top and above the bottom, over the box's columns.
    const Reach reach = TrimReach(box, content, rule);
    std::vector<int> rowCount(static_cast<std::size_t>(reach.top + reach.bottom));
    ParallelBands(reach.top + reach.bottom, 16, [&](int b, int e, int) {
        for (int i = b; i < e; ++i) {
            const int y = TrimRow(box, reach, i);
            const BYTE* row = grey + static_cast<std::size_t>(y) * w;
            int n = 0;
            for (int x = box.left; x <= box.right; ++x)
                n += light(row[x]);
            rowCount[static_cast<std::size_t>(i)] = n;
        }
    });
    WalkRows(box, reach, rowCount, rule.count);

    // Columns: the first few right of the left side and left of the right side, over the trimmed rows.
    const int leftColumns = reach.left, rightColumns = reach.right;
    if (leftColumns + rightColumns == 0)
        return;
    const int slots = ParallelSlots();
    std::vector<std::vector<int>> counts(static_cast<std::size_t>(slots),
                                         std::vector<int>(static_cast<std::size_t>(leftColumns + rightColumns), 0));
    ParallelBands(box.bottom - box.top + 1, 64, [&](int b, int e, int slot) {
        int* __restrict n = counts[static_cast<std::size_t>(slot)].data();
        for (int y = box.top + b; y < box.top + e; ++y) {
            const BYTE* row = grey + static_cast<std::size_t>(y) * w;
            for (int i = 0; i < leftColumns; ++i)
                n[i] += light(row[box.left + i]);
            for (int i = 0; i < rightColumns; ++i)
                n[leftColumns + i] += light(row[box.right - i]);
        }
    });
    auto columnCount = [&](int i) {
        int n = 0;
        for (const std::vector<int>& c : counts)
            n += c[static_cast<std::size_t>(i)];
        return n;
    };
    for (int i = 0; i < leftColumns && columnCount(i) < rule.count; ++i)
        ++box.left;
    for (int i = 0; i < rightColumns && columnCount(leftColumns + i) < rule.count; ++i)
        --box.right;
}

// ---- auto_crop on one-bit pages, read from the bits ----
// Every threshold of the crop (T of 220 or less, and 250) takes the black pixels (0 once expanded) and leaves the
// white ones (255), so a one-bit page is looked at as words of black: bit 63 of word k is pixel 64k, set for black.

constexpr int kWordBits = 64;

int WordCount(int width) {
    return (width + kWordBits - 1) / kWordBits;
}

// Words `first` .. first + count - 1 of a packed row as black bits; pixels past the width read as white.
void LoadBlack(const BYTE* row, int width, int first, int count, std::uint64_t* out) {
    const std::size_t rowBytes = BitRowBytes(width);
    for (int k = 0; k < count; ++k) {
        const std::size_t at = static_cast<std::size_t>(first + k) * 8;
        std::uint64_t v = 0;
        if (at + 8 <= rowBytes) {
            std::memcpy(&v, row + at, 8);
            if constexpr (std::endian::native == std::endian::little)
                v = __builtin_bswap64(v);
        } else {
            for (std::size_t b = 0; b < 8; ++b)
                v = (v << 8) | (at + b < rowBytes ? row[at + b] : 0xFFu);
        }
        out[k] = ~v;
    }
    const int spare = WordCount(width) * kWordBits - width;
    if (spare > 0 && first + count == WordCount(width))
        out[count - 1] &= ~std::uint64_t{0} << spare;
}

// The bits of pixels from .. to (inclusive) within word k.
std::uint64_t PixelMask(int k, int from, int to) {
    const int a = std::max(from - k * kWordBits, 0), b = std::min(to - k * kWordBits, kWordBits - 1);
    if (a > b)
        return 0;
    const std::uint64_t high = ~std::uint64_t{0} >> a; // pixels a and on
    return b == kWordBits - 1 ? high : high & ~(~std::uint64_t{0} >> (b + 1));
}

// Per pixel, how many of the rows added had its bit set: eight 8-bit counters a word, moved into ints before they
// can overflow. Covers words first .. first + count - 1 of the rows.
class BitColumnCounts {
public:
    BitColumnCounts(int first, int count)
        : m_first(first), m_bytes(static_cast<std::size_t>(count) * 8), m_counts(static_cast<std::size_t>(count) * 64) {
        for (int v = 0; v < 256; ++v) {
            BYTE eight[8];
            for (int b = 0; b < 8; ++b)
                eight[b] = static_cast<BYTE>((v >> (7 - b)) & 1);
            std::memcpy(&m_spread[v], eight, 8);
        }
    }

    // `words` holds words first .. first + count - 1 of one row.
    void Add(const std::uint64_t* words) {
        for (std::size_t k = 0; k < m_bytes.size() / 8; ++k) {
            const std::uint64_t v = words[k];
            if (v == 0)
                continue;
            for (int b = 0; b < 8; ++b)
                m_bytes[8 * k + static_cast<std::size_t>(b)] += m_spread[(v >> (56 - 8 * b)) & 0xFF];
        }
        if (++m_pending == 255)
            Flush();
    }

    // The count of pixel x (a column of the page).
    int Count(int x) {
        Flush();
        return m_counts[static_cast<std::size_t>(x - m_first * kWordBits)];
    }

private:
    void Flush() {
        if (m_pending == 0)
            return;
        const BYTE* pending = reinterpret_cast<const BYTE*>(m_bytes.data());
        for (std::size_t i = 0; i < m_counts.size(); ++i)
            m_counts[i] += pending[i];
        std::fill(m_bytes.begin(), m_bytes.end(), 0);
        m_pending = 0;
    }

    int m_first;
    std::vector<std::uint64_t> m_bytes; // byte i is the pending count of pixel 64 first + i
    std::vector<int> m_counts;
    int m_pending = 0;
    std::uint64_t m_spread[256]; // byte b of a byte value's entry is its bit b, most significant first
};

// The set bits of (a | b) & mask over `words` words.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target_clones("popcnt", "default")))
#endif
int CountUnion(const std::uint64_t* a, const std::uint64_t* b, const std::uint64_t* mask, int words) {
    int n = 0;
    for (int k = 0; k < words; ++k)
        n += std::popcount((a[k] | b[k]) & mask[k]);
    return n;
}

// words[i] |= words[i + step] for i below count, in order.
PAGEFIX_KERNEL void OrShifted(std::uint64_t* words, std::size_t count, std::size_t step) {
    for (std::size_t i = 0; i < count; ++i)
        words[i] |= words[i + step];
}

// Sets bit x of a row wherever one of x-15 .. x+15 was set; `row` has one zero word after the row's words.
void WidenFifteen(std::uint64_t* row, int words) {
    // First x .. x+15 by doubling, then the union with x-15 .. x.
    for (int step = 1; step <= 8; step *= 2)
        for (int k = 0; k < words; ++k)
            row[k] |= (row[k] << step) | (row[k + 1] >> (kWordBits - step));
    for (int k = words - 1; k >= 0; --k)
        row[k] |= (row[k] >> 15) | (k > 0 ? row[k - 1] << (kWordBits - 15) : 0);
}

// FindContent of a one-bit page. Bands of rows run in parallel, in chunks: a chunk's rows and the 15 on either side
// are read once; each row widened sideways is added to the column counts, then the rows are ORed 31 at a time.
Box FindContentBits(const BYTE* bits, int width, int height, const CropRule& rule) {
    Box box{height, 0, width, 0};
    const int y0 = kMargin, y1 = height - kMargin - 1;
    const int x0 = kMargin, x1 = width - kMargin - 1;
    if (y0 > y1 || x0 > x1)
        return box;
    const std::size_t rowBytes = BitRowBytes(width);
    const int words = WordCount(width);
    const std::size_t stride = static_cast<std::size_t>(words) + 1;
    std::vector<std::uint64_t> examined(static_cast<std::size_t>(words));
    for (int k = 0; k < words; ++k)
        examined[static_cast<std::size_t>(k)] = PixelMask(k, x0, x1);
    constexpr int kChunk = 64;
    const int slots = ParallelSlots();
    // Each slot's scratch is made here, on the calling thread, so that a failed allocation reaches the caller.
    struct Scratch {
        BitColumnCounts counts;
        std::vector<std::uint64_t> rows, wide;
        Box found;
    };
    std::vector<std::unique_ptr<Scratch>> scratch;
    for (int slot = 0; slot < slots; ++slot)
        scratch.push_back(std::make_unique<Scratch>(Scratch{BitColumnCounts(0, words),
                                                            std::vector<std::uint64_t>(stride * (kChunk + 30)),
                                                            std::vector<std::uint64_t>(stride), box}));

    ParallelBands(y1 - y0 + 1, kChunk, [&](int b, int e, int slot) {
        Scratch& mineScratch = *scratch[static_cast<std::size_t>(slot)];
        BitColumnCounts* counts = &mineScratch.counts;
        std::vector<std::uint64_t>& rows = mineScratch.rows;
        std::vector<std::uint64_t>& wide = mineScratch.wide;
        Box& mine = mineScratch.found;
        for (int c0 = y0 + b; c0 < y0 + e; c0 += kChunk) {
            const int c1 = std::min(c0 + kChunk, y0 + e) - 1;
            const int n = c1 - c0 + 31; // rows c0 - 15 .. c1 + 15
            for (int q = 0; q < n; ++q) {
                std::uint64_t* row = rows.data() + static_cast<std::size_t>(q) * stride;
                LoadBlack(bits + static_cast<std::size_t>(c0 - 15 + q) * rowBytes, width, 0, words, row);
                row[words] = 0;
            }
            for (int q = 15; q < n - 15; ++q) {
                std::copy_n(rows.data() + static_cast<std::size_t>(q) * stride, stride, wide.data());
                WidenFifteen(wide.data(), words);
                for (int k = 0; k < words; ++k)
                    wide[static_cast<std::size_t>(k)] &= examined[static_cast<std::size_t>(k)];
                counts->Add(wide.data());
            }
            // Row q then holds the OR of rows q .. q + 15; rows y - 15 .. y + 15 are those at y - c0 and y - c0 + 15.
            for (int step = 1; step <= 8; step *= 2)
                OrShifted(rows.data(), stride * static_cast<std::size_t>(n - step),
                          static_cast<std::size_t>(step) * stride);
            for (int y = c0; y <= c1; ++y) {
                const std::uint64_t* above = rows.data() + static_cast<std::size_t>(y - c0) * stride;
                const std::uint64_t* below = above + 15 * stride;
                if (CountUnion(above, below, examined.data(), words) >= rule.count) {
                    mine.top = std::min(mine.top, y);
                    mine.bottom = std::max(mine.bottom, y);
                }
            }
        }
    });
    for (const std::unique_ptr<Scratch>& mine : scratch) {
        box.top = std::min(box.top, mine->found.top);
        box.bottom = std::max(box.bottom, mine->found.bottom);
    }
    for (int x = x0; x <= x1; ++x) {
        int n = 0;
        for (const std::unique_ptr<Scratch>& mine : scratch)
            n += mine->counts.Count(x);
        if (n >= rule.count) {
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
        }
    }
    return box;
}

// Trim of a one-bit page: the same walk, counting black pixels.
void TrimBits(Box& box, const Box& content, const BYTE* bits, int width, const CropRule& rule) {
    const std::size_t rowBytes = BitRowBytes(width);
    const int words = WordCount(width);

    const Reach reach = TrimReach(box, content, rule);
    std::vector<int> rowCount(static_cast<std::size_t>(reach.top + reach.bottom));
    const int firstWord = box.left / kWordBits, lastWord = box.right / kWordBits;
    // Scratch is made on the calling thread, so that a failed allocation reaches the caller.
    const int slots = ParallelSlots();
    std::vector<std::vector<std::uint64_t>> rows(static_cast<std::size_t>(slots),
                                                 std::vector<std::uint64_t>(static_cast<std::size_t>(words)));
    ParallelBands(reach.top + reach.bottom, 16, [&](int b, int e, int slot) {
        std::vector<std::uint64_t>& row = rows[static_cast<std::size_t>(slot)];
        for (int i = b; i < e; ++i) {
            const int y = TrimRow(box, reach, i);
            LoadBlack(bits + static_cast<std::size_t>(y) * rowBytes, width, firstWord, lastWord - firstWord + 1,
                      row.data());
            int n = 0;
            for (int k = firstWord; k <= lastWord; ++k)
                n += std::popcount(row[static_cast<std::size_t>(k - firstWord)] & PixelMask(k, box.left, box.right));
            rowCount[static_cast<std::size_t>(i)] = n;
        }
    });
    WalkRows(box, reach, rowCount, rule.count);

    const int leftColumns = reach.left, rightColumns = reach.right;
    if (leftColumns + rightColumns == 0)
        return;
    // The words under the columns each side may pass (the two runs may share words; each is counted on its own).
    struct Run {
        int first, count;
    };
    auto run = [&](int from, int to) {
        return to < from ? Run{0, 0} : Run{from / kWordBits, to / kWordBits - from / kWordBits + 1};
    };
    const Run left = run(box.left, box.left + leftColumns - 1);
    const Run right = run(box.right - rightColumns + 1, box.right);
    std::vector<std::unique_ptr<BitColumnCounts>> leftCounts, rightCounts;
    for (int slot = 0; slot < slots; ++slot) {
        leftCounts.push_back(std::make_unique<BitColumnCounts>(left.first, left.count));
        rightCounts.push_back(std::make_unique<BitColumnCounts>(right.first, right.count));
    }
    ParallelBands(box.bottom - box.top + 1, 64, [&](int b, int e, int slot) {
        BitColumnCounts& l = *leftCounts[static_cast<std::size_t>(slot)];
        BitColumnCounts& r = *rightCounts[static_cast<std::size_t>(slot)];
        std::vector<std::uint64_t>& row = rows[static_cast<std::size_t>(slot)];
        for (int y = box.top + b; y < box.top + e; ++y) {
            const BYTE* source = bits + static_cast<std::size_t>(y) * rowBytes;
            if (left.count > 0) {
                LoadBlack(source, width, left.first, left.count, row.data());
                l.Add(row.data());
            }
            if (right.count > 0) {
                LoadBlack(source, width, right.first, right.count, row.data());
                r.Add(row.data());
            }
        }
    });
    auto columnCount = [&](std::vector<std::unique_ptr<BitColumnCounts>>& counts, int x) {
        int n = 0;
        for (const std::unique_ptr<BitColumnCounts>& c : counts)
            n += c->Count(x);
        return n;
    };
    for (int i = 0; i < leftColumns && columnCount(leftCounts, box.left) < rule.count; ++i)
        ++box.left;
    for (int i = 0; i < rightColumns && columnCount(rightCounts, box.right) < rule.count; ++i)
        --box.right;
}

// Copies bits [left, left + count) of a packed row to the start of `out`, the spare bits of the last byte clear.
void CopyBits(const BYTE* row, std::size_t rowBytes, int left, int count, BYTE* out) {
    const std::size_t first = static_cast<std::size_t>(left) / 8;
    const int shift = left % 8;
    const std::size_t outBytes = BitRowBytes(count);
    std::size_t k = 0;
    // Eight bytes at a time while the ninth source byte is in the row: the source bits as one big-endian word.
    for (; k + 8 <= outBytes && first + k + 8 < rowBytes; k += 8) {
        std::uint64_t v;
        std::memcpy(&v, row + first + k, 8);
        if constexpr (std::endian::native == std::endian::little)
            v = __builtin_bswap64(v);
        if (shift != 0)
            v = (v << shift) | (row[first + k + 8] >> (8 - shift));
        if constexpr (std::endian::native == std::endian::little)
            v = __builtin_bswap64(v);
        std::memcpy(out + k, &v, 8);
    }
    for (; k < outBytes; ++k) {
        unsigned v = static_cast<unsigned>(row[first + k]) << shift;
        if (shift != 0 && first + k + 1 < rowBytes)
            v |= row[first + k + 1] >> (8 - shift);
        out[k] = static_cast<BYTE>(v);
    }
    if (count % 8 != 0)
        out[outBytes - 1] &= static_cast<BYTE>(0xFF00u >> (count % 8));
}

int Crop(const BYTE* data, BYTE* out, ImgProcParam* param) {
    if (data == nullptr || out == nullptr || param == nullptr || param->width <= 0 || param->height <= 0 ||
        param->mode < 0 || param->mode > 2)
        return 0;
    const int width = param->width, height = param->height, mode = param->mode;
    const std::size_t pixels = PixelCount(width, height);

    // The grey working image of a colour page; black-and-white pages are read from their bits (as 0 for black and
    // 255 for white) and grey pages as they are.
    std::unique_ptr<BYTE[]> converted;
    const BYTE* grey = data;
    if (mode == 2) {
        converted = TryAllocateUninitialised(pixels);
        if (!converted) {
            OutputDebugStringW(u"pGray == NULL");
            return 0;
        }
        RoutineTrace trace(u"RgbToGray");
        GreyFromRgb(data, converted.get(), width, height);
        grey = converted.get();
    } else if (mode == 0) {
        RoutineTrace expanded(u"BwToGray"); // its working image is read from the bits where they lie
    }

    const CropRule rule = CropRuleFor(param->dpi);
    const Box content = mode == 0 ? FindContentBits(data, width, height, rule) : FindContent(grey, width, height, rule);
    if (content.top > content.bottom || content.left > content.right) {
        OutputDebugStringW(u"不在裁剪范围内，不裁剪");
        return 0;
    }
    Box box = content;
    Extend(box, rule.extend, width, height);
    if (mode == 0)
        TrimBits(box, content, data, width, rule);
    else
        Trim(box, content, grey, width, rule);
    Extend(box, rule.finalExtend, width, height);
    // The copy takes rows top .. bottom - 1 and columns left .. right - 1.
    if (box.bottom <= box.top || box.right <= box.left) {
        OutputDebugStringW(u"不在裁剪范围内，不裁剪");
        return 0;
    }

    const int outWidth = box.right - box.left, outHeight = box.bottom - box.top;
    const std::size_t outRow =
        mode == 0 ? BitRowBytes(outWidth) : static_cast<std::size_t>(outWidth) * (mode == 2 ? 3 : 1);
    ParallelBands(outHeight, MinRows(outRow), [&](int y0, int y1, int) {
        for (int y = y0; y < y1; ++y) {
            const std::size_t sourceRow = static_cast<std::size_t>(box.top) + static_cast<std::size_t>(y);
            BYTE* target = out + static_cast<std::size_t>(y) * outRow;
            switch (mode) {
            case 0:
                CopyBits(data + sourceRow * BitRowBytes(width), BitRowBytes(width), box.left, outWidth, target);
                break;
            case 2:
                std::memcpy(target, data + (sourceRow * width + box.left) * 3, outRow);
                break;
            default:
                std::memcpy(target, grey + sourceRow * width + box.left, outRow);
                break;
            }
        }
    });
    param->outWidth = outWidth;
    param->outHeight = outHeight;
    return 1;
}

// ---- auto_deskew ----

// The sum of a row's bytes, exact for rows under 2^24 pixels.
std::uint32_t RowSumPlain(const BYTE* p, int count) {
    std::uint32_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += p[i];
    return sum;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// 32 bytes at a time, summed in eights by the sum of absolute differences with zero.
__attribute__((target("avx2"))) std::uint32_t RowSumAvx2(const BYTE* p, int count) {
    __m256i sums = _mm256_setzero_si256();
    int i = 0;
    for (; i + 32 <= count; i += 32)
        sums = _mm256_add_epi64(
            sums, _mm256_sad_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)), _mm256_setzero_si256()));
    alignas(32) std::uint64_t four[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(four), sums);
    return static_cast<std::uint32_t>(four[0] + four[1] + four[2] + four[3]) + RowSumPlain(p + i, count - i);
}
#endif

std::uint32_t RowSum(const BYTE* p, int count) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (HasAvx2())
        return RowSumAvx2(p, count);
#endif
    return RowSumPlain(p, count);
}

// How many of a row's bytes are at most `limit`.
PAGEFIX_KERNEL std::uint32_t CountAtMost(const BYTE* __restrict p, int count, int limit) {
    if (limit < 0)
        return 0;
    if (limit >= 255)
        return static_cast<std::uint32_t>(count);
    const BYTE most = static_cast<BYTE>(limit);
    std::uint32_t n = 0;
    for (int i = 0; i < count; ++i)
        n += p[i] <= most;
    return n;
}

struct DeskewRule {
    int dark;  // T
    int count; // N
};

DeskewRule DeskewRuleFor(int dpi, double mean) {
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

// Edge points of one band of rows, grouped by row: the columns of row rows[g] are columns[starts[g] ..
// starts[g + 1]). Columns are 16-bit: pages up to 65535 pixels wide (wider ones take the plain point lists).
// The column list ends with kSpareColumns unused entries, so that a vector load at any point stays inside it.
constexpr std::size_t kSpareColumns = 8;
struct RowPoints {
    std::vector<int> rows;
    std::vector<std::uint32_t> starts{0};
    std::vector<std::uint16_t> columns;
};

// Points as two lists, for pages too wide for RowPoints.
struct PointList {
    std::vector<int> rows, columns;
};

// Points as two arrays, for DetectSkewAngle's callers and pages too wide for RowPoints.
struct PointSpan {
    const int* rows;
    const int* columns;
    std::size_t count;
};

float Hough(const std::vector<PointSpan>& points, int width, int height);
float Hough(const std::vector<RowPoints>& points, int width, int height);

// Edges of columns from .. to of a row: the larger difference across the two diagonals at distance 2, light values
// (129 and up) taken as white, where the four are not (nearly) all light.
PAGEFIX_KERNEL void EdgeRow(const BYTE* __restrict above, const BYTE* __restrict below, BYTE* __restrict out, int from,
                            int to) {
    for (int x = from; x <= to; ++x) {
        auto light = [](int v) { return v >= 129 ? 255 : v; };
        const int tl = light(above[x - 2]), tr = light(above[x + 2]);
        const int bl = light(below[x - 2]), br = light(below[x + 2]);
        const int edge = (std::abs(tl + bl - tr - br) + std::abs(tl + tr - bl - br)) / 2;
        out[x] = static_cast<BYTE>(tl + bl + tr + br < 765 ? edge : 0);
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// EdgeRow 32 pixels at a time in bytes. The edge, (|TL + BL - TR - BR| + |TL + TR - BL - BR|) / 2, is the larger of
// |TL - BR| and |BL - TR|. A light value is 255 and any other at most 128, so the four sum to less than 765 when at
// most one is light, or when two are and the other two sum to less than 255 (their saturating sum below 255).
__attribute__((target("avx2"))) inline __m256i ThirtyTwo(const BYTE* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// 0xFF where the byte is light (129 and up).
__attribute__((target("avx2"))) inline __m256i LightMask(__m256i v) {
    return _mm256_cmpeq_epi8(_mm256_max_epu8(v, _mm256_set1_epi8(static_cast<char>(129))), v);
}

__attribute__((target("avx2"))) inline __m256i AbsoluteDifference(__m256i a, __m256i b) {
    return _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
}

__attribute__((target("avx2"))) int EdgeRowAvx2(const BYTE* above, const BYTE* below, BYTE* out, int from, int to) {
    const __m256i two = _mm256_set1_epi8(2), full = _mm256_set1_epi8(static_cast<char>(255));
    int x = from;
    for (; x + 31 <= to; x += 32) {
        const __m256i tl = ThirtyTwo(above + x - 2), tr = ThirtyTwo(above + x + 2);
        const __m256i bl = ThirtyTwo(below + x - 2), br = ThirtyTwo(below + x + 2);
        const __m256i mtl = LightMask(tl), mtr = LightMask(tr), mbl = LightMask(bl), mbr = LightMask(br);
        const __m256i ltl = _mm256_or_si256(tl, mtl), ltr = _mm256_or_si256(tr, mtr);
        const __m256i lbl = _mm256_or_si256(bl, mbl), lbr = _mm256_or_si256(br, mbr);
        const __m256i edge = _mm256_max_epu8(AbsoluteDifference(ltl, lbr), AbsoluteDifference(lbl, ltr));
        // The number of light ones (each mask is -1), and the saturating sum of the others.
        const __m256i light = _mm256_sub_epi8(_mm256_setzero_si256(),
                                              _mm256_add_epi8(_mm256_add_epi8(mtl, mtr), _mm256_add_epi8(mbl, mbr)));
        const __m256i others =
            _mm256_adds_epu8(_mm256_adds_epu8(_mm256_andnot_si256(mtl, tl), _mm256_andnot_si256(mtr, tr)),
                             _mm256_adds_epu8(_mm256_andnot_si256(mbl, bl), _mm256_andnot_si256(mbr, br)));
        const __m256i notAllLight =
            _mm256_or_si256(_mm256_cmpgt_epi8(two, light),
                            _mm256_andnot_si256(_mm256_cmpeq_epi8(others, full), _mm256_cmpeq_epi8(light, two)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_and_si256(edge, notAllLight));
    }
    return x;
}
#endif

void EdgeRowAny(const BYTE* above, const BYTE* below, BYTE* out, int from, int to) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (HasAvx2())
        from = EdgeRowAvx2(above, below, out, from, to);
#endif
    EdgeRow(above, below, out, from, to);
}

PAGEFIX_KERNEL void MaxOfFiveRows(const BYTE* __restrict r0, const BYTE* __restrict r1, const BYTE* __restrict r2,
                                  const BYTE* __restrict r3, const BYTE* __restrict r4, BYTE* __restrict out, int from,
                                  int to) {
    for (int x = from; x <= to; ++x)
        out[x] = std::max(std::max(std::max(r0[x], r1[x]), std::max(r2[x], r3[x])), r4[x]);
}

PAGEFIX_KERNEL void MaxOfFiveColumns(const BYTE* __restrict m, BYTE* __restrict out, int from, int to) {
    for (int x = from; x <= to; ++x)
        out[x] = std::max(std::max(std::max(m[x - 2], m[x - 1]), std::max(m[x], m[x + 1])), m[x + 2]);
}

// The widened edges of a row summed over the five columns around each column (at most 1275, exact in 16 bits).
PAGEFIX_KERNEL void FiveColumnSums(const BYTE* __restrict widened, std::int16_t* __restrict sums, int from, int to) {
    for (int x = from; x <= to; ++x)
        sums[x] =
            static_cast<std::int16_t>(widened[x - 2] + widened[x - 1] + widened[x] + widened[x + 1] + widened[x + 2]);
}

// Scratch of one thread for the edge points of a band: the edge map and its widened form over the band's rows and
// the few around them.
struct EdgeScratch {
    std::vector<BYTE> edges, widened, rowMax;
    std::vector<std::int16_t> sums, nextSums;
    std::vector<int> marked;
};

// The columns from .. to where the step from a row's five-column sums to the next row's is at least minStep in size,
// in order, into `out`; returns how many.
int StepColumnsPlain(const std::int16_t* here, const std::int16_t* next, int from, int to, int minStep, int* out) {
    int n = 0;
    for (int x = from; x <= to; ++x)
        if (std::abs(here[x] - next[x]) >= minStep)
            out[n++] = x;
    return n;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Sixteen steps at a time: most rows have few points, so whole runs of columns are passed over with one test. The
// steps stay within +-1275, so their 16-bit sizes are exact.
__attribute__((target("avx2"))) int StepColumnsAvx2(const std::int16_t* here, const std::int16_t* next, int from,
                                                    int to, int minStep, int* out) {
    const __m256i below = _mm256_set1_epi16(static_cast<short>(minStep - 1));
    int n = 0, x = from;
    for (; x + 15 <= to; x += 16) {
        const __m256i step = _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(here + x)),
                                              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(next + x)));
        // Two mask bits a step; keep the low one of each.
        unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpgt_epi16(_mm256_abs_epi16(step), below))) &
                        0x55555555u;
        while (mask != 0) {
            out[n++] = x + (__builtin_ctz(mask) >> 1);
            mask &= mask - 1;
        }
    }
    return n + StepColumnsPlain(here, next, x, to, minStep, out + n);
}
#endif

int StepColumns(const std::int16_t* here, const std::int16_t* next, int from, int to, int minStep, int* out) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (HasAvx2())
        return StepColumnsAvx2(here, next, from, to, minStep, out);
#endif
    return StepColumnsPlain(here, next, from, to, minStep, out);
}

// The edge points of rows ya .. yb (inclusive), handed to emit(row, columns, count) a row at a time in order. The edge
// map of a row needs the grey rows 2 above and below it, the widened map the edge rows 2 above and below, the points a
// row's widened map and the next: so the band computes the edge rows ya-2 .. yb+3 and the widened rows ya .. yb+1. Rows
// and columns outside the ranges that the full-page maps would fill stay zero.
template <class Emit>
void BandEdgePoints(const BYTE* grey, int width, int height, int ya, int yb, int minStep, EdgeScratch& scratch,
                    Emit&& emit) {
    const std::size_t w = static_cast<std::size_t>(width);
    const int edgeFirst = ya - 2, edgeRows = yb - ya + 6, widenedRows = yb - ya + 2;
    scratch.edges.resize(static_cast<std::size_t>(edgeRows) * w);
    scratch.widened.resize(static_cast<std::size_t>(widenedRows) * w);
    scratch.rowMax.resize(w);
    scratch.sums.resize(w);
    scratch.nextSums.resize(w);
    scratch.marked.resize(w);

    for (int q = edgeFirst; q < edgeFirst + edgeRows; ++q) {
        BYTE* out = scratch.edges.data() + static_cast<std::size_t>(q - edgeFirst) * w;
        std::memset(out, 0, w);
        if (q >= 52 && q <= height - 53)
            EdgeRowAny(grey + static_cast<std::size_t>(q - 2) * w, grey + static_cast<std::size_t>(q + 2) * w, out, 52,
                       width - 53);
    }

    // Widened: the largest edge in the 5 x 5 square, as a vertical then a horizontal maximum.
    for (int r = ya; r <= yb + 1; ++r) {
        BYTE* out = scratch.widened.data() + static_cast<std::size_t>(r - ya) * w;
        std::memset(out, 0, w);
        if (r < 53 || r > height - 53)
            continue;
        const BYTE* e = scratch.edges.data() + static_cast<std::size_t>(r - 2 - edgeFirst) * w;
        MaxOfFiveRows(e, e + w, e + 2 * w, e + 3 * w, e + 4 * w, scratch.rowMax.data(), 51, width - 51);
        MaxOfFiveColumns(scratch.rowMax.data(), out, 53, width - 53);
    }

    // Edge points: where the widened edges of a row differ enough from the next row's over five columns.
    // Each row's five-column sums serve twice: against the row before and the row after.
    FiveColumnSums(scratch.widened.data(), scratch.sums.data(), 53, width - 53);
    for (int y = ya; y <= yb; ++y) {
        FiveColumnSums(scratch.widened.data() + static_cast<std::size_t>(y + 1 - ya) * w, scratch.nextSums.data(), 53,
                       width - 53);
        const int n =
            StepColumns(scratch.sums.data(), scratch.nextSums.data(), 53, width - 53, minStep, scratch.marked.data());
        scratch.sums.swap(scratch.nextSums);
        if (n > 0)
            emit(y, scratch.marked.data(), n);
    }
}

float Deskew(const BYTE* grey, int width, int height, int mode, int dpi) {
    constexpr int kMinSize = 2 * kMargin + 1; // pages this small or smaller have nothing to examine
    if (grey == nullptr || width <= kMinSize || height <= kMinSize)
        return 0;
    const std::size_t w = static_cast<std::size_t>(width);
    const int y0 = kMargin, y1 = height - kMargin - 1, x0 = kMargin, x1 = width - kMargin - 1;
    const int rows = y1 - y0 + 1, columns = x1 - x0 + 1;

    // The mean of the row means inside the margins. A row's sum is exact in 32 bits and in a double, so adding
    // the row means in row order gives the same mean however the sums were made.
    std::vector<std::uint32_t> rowSum(static_cast<std::size_t>(rows));
    ParallelBands(rows, MinRows(w), [&](int b, int e, int) {
        for (int r = b; r < e; ++r)
            rowSum[static_cast<std::size_t>(r)] = RowSum(grey + static_cast<std::size_t>(y0 + r) * w + x0, columns);
    });
    double mean = 0;
    for (std::uint32_t sum : rowSum)
        mean += static_cast<double>(sum) / columns;
    mean /= rows;

    // Enough content: more dark pixels than a thousandth of the page, and a row with at least N of them. Both only
    // grow as rows are counted, so the count stops once both hold.
    const DeskewRule rule = DeskewRuleFor(dpi, mean);
    const double fewest = static_cast<double>(PixelCount(width, height)) * 0.001;
    std::atomic<std::uint64_t> darkTotal{0};
    std::atomic<bool> anyContentRow{false}, enough{false};
    ParallelBands(rows, MinRows(w), [&](int b, int e, int) {
        constexpr int kRowsBetweenChecks = 16;
        for (int r = b; r < e && !enough.load(std::memory_order_relaxed); r += kRowsBetweenChecks) {
            std::uint64_t dark = 0;
            bool content = false;
            for (int q = r; q < std::min(e, r + kRowsBetweenChecks); ++q) {
                const std::uint32_t n =
                    CountAtMost(grey + static_cast<std::size_t>(y0 + q) * w + x0, columns, rule.dark);
                dark += n;
                content = content || static_cast<int>(n) >= rule.count;
            }
            if (content)
                anyContentRow = true;
            const std::uint64_t total = darkTotal.fetch_add(dark) + dark;
            if (anyContentRow && static_cast<double>(total) > fewest)
                enough = true;
        }
    });
    if (!enough && (static_cast<double>(darkTotal.load()) <= fewest || !anyContentRow))
        return 0;

    // Edge points of the rows 53 .. height - 53, band by band in parallel.
    const int first = 53, last = height - 53;
    const int minStep = mode == 0 ? 1 : 145;
    if (last < first) {
        RoutineTrace trace(u"DetectSkewAngle");
        return 0; // no points
    }
    const int pointRows = last - first + 1;
    const int slots = ParallelSlots();
    const int bands = std::clamp(pointRows / 64, 1, slots * 8);
    std::vector<EdgeScratch> scratch(static_cast<std::size_t>(slots));
    std::atomic<bool> failed{false};
    // Edge points band by band in parallel, each band into its own list, so the lists hold the points in row order.
    auto collect = [&](auto& lists, auto&& add) {
        lists.resize(static_cast<std::size_t>(bands));
        ParallelBands(bands, 1, [&](int b, int e, int slot) {
            for (int band = b; band < e; ++band) {
                const int ya = first + static_cast<int>(static_cast<long long>(pointRows) * band / bands);
                const int yb = first + static_cast<int>(static_cast<long long>(pointRows) * (band + 1) / bands) - 1;
                auto& list = lists[static_cast<std::size_t>(band)];
                try {
                    BandEdgePoints(grey, width, height, ya, yb, minStep, scratch[static_cast<std::size_t>(slot)],
                                   [&](int y, const int* xs, int n) { add(list, y, xs, n); });
                } catch (const std::bad_alloc&) {
                    failed = true;
                }
            }
        });
    };
    if (width <= 65535) {
        std::vector<RowPoints> points;
        collect(points, [](RowPoints& list, int y, const int* xs, int n) {
            if (!list.rows.empty())
                list.starts.push_back(static_cast<std::uint32_t>(list.columns.size()));
            list.rows.push_back(y);
            list.columns.insert(list.columns.end(), xs, xs + n);
        });
        if (failed)
            return 0;
        for (RowPoints& list : points)
            if (!list.rows.empty()) {
                list.starts.push_back(static_cast<std::uint32_t>(list.columns.size()));
                list.columns.resize(list.columns.size() + kSpareColumns); // read past the last row's end
            }
        RoutineTrace trace(u"DetectSkewAngle");
        return Hough(points, width, height);
    }
    std::vector<PointList> points;
    collect(points, [](PointList& list, int y, const int* xs, int n) {
        list.rows.insert(list.rows.end(), static_cast<std::size_t>(n), y);
        list.columns.insert(list.columns.end(), xs, xs + n);
    });
    if (failed)
        return 0;
    std::vector<PointSpan> spans;
    for (const PointList& list : points)
        spans.push_back({list.rows.data(), list.columns.data(), list.rows.size()});
    RoutineTrace trace(u"DetectSkewAngle");
    return Hough(spans, width, height);
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

std::int64_t RhoRows(int width, int height) {
    const double diagonal = std::sqrt(static_cast<double>(width) * width + static_cast<double>(height) * height);
    return static_cast<std::int64_t>(diagonal) + 1;
}

const HoughTables& Tables() {
    static const HoughTables tables;
    return tables;
}

// What the peak rule needs of each angle's column of the accumulator: its largest count and the largest rho that
// has it.
struct ColumnPeaks {
    std::uint32_t best[360] = {};
    std::int64_t lastRho[360] = {};
};

void NoteColumn(int k, const std::uint32_t* column, std::int64_t rhoRows, ColumnPeaks& peaks) {
    const std::uint32_t most = *std::max_element(column, column + rhoRows);
    std::int64_t rho = rhoRows - 1;
    while (column[rho] != most)
        --rho;
    peaks.best[k] = most;
    peaks.lastRho[k] = rho;
}

// The Hough accumulator, two columns at a time, for the angle pairs (k, k + 180) listed: vote(k, column, opposite,
// slot) adds the points' votes for the angle k into `column` and for the angle k + 180 into `opposite`, both zeroed,
// rhoRows counters each; the threads share the pairs out. False when there is no memory for the columns.
template <class Vote>
bool VotePairs(const std::vector<int>& pairs, std::int64_t rhoRows, Vote&& vote, ColumnPeaks& peaks) {
    if (pairs.empty())
        return true;
    const std::size_t rhoCount = static_cast<std::size_t>(rhoRows);
    const std::size_t slots = static_cast<std::size_t>(ParallelSlots());
    std::unique_ptr<std::uint32_t[]> scratch(new (std::nothrow) std::uint32_t[slots * 2 * rhoCount]);
    if (!scratch)
        return false;
    ParallelBands(static_cast<int>(pairs.size()), 1, [&](int b, int e, int slot) {
        std::uint32_t* column = scratch.get() + static_cast<std::size_t>(slot) * 2 * rhoCount;
        std::uint32_t* opposite = column + rhoCount;
        for (int i = b; i < e; ++i) {
            const int k = pairs[static_cast<std::size_t>(i)];
            std::fill_n(column, 2 * rhoCount, 0u);
            vote(k, column, opposite, slot);
            NoteColumn(k, column, rhoRows, peaks);
            NoteColumn(k + 180, opposite, rhoRows, peaks);
        }
    });
    return true;
}

// The peak rule over all columns: the angle in degrees, 0 when none stands out.
float PeakAngle(const ColumnPeaks& peaks) {
    const std::uint32_t best = *std::max_element(peaks.best, peaks.best + 360);
    if (best == 0)
        return 0; // every cell is a peak: no direction stands out

    // The peaks in order of rho, then k: the last one names the angle; their spread must stay within 4 degrees.
    int lastK = 0, lowest = 180, highest = -1;
    std::int64_t lastRho = -1;
    for (int k = 0; k < 360; ++k) {
        if (peaks.best[k] != best)
            continue;
        if (peaks.lastRho[k] >= lastRho) {
            lastRho = peaks.lastRho[k];
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

// Every column of the accumulator, then the peak rule.
template <class Vote> float HoughPeaks(int width, int height, Vote&& vote) {
    std::vector<int> pairs(180);
    for (int k = 0; k < 180; ++k)
        pairs[static_cast<std::size_t>(k)] = k;
    ColumnPeaks peaks;
    if (!VotePairs(pairs, RhoRows(width, height), vote, peaks))
        return 0;
    return PeakAngle(peaks);
}

// rho = (row x cosine + (column + 1) x sine) / 100000, truncated toward zero; a vote when 0 < rho < rhoRows.
inline void VoteOne(std::int64_t row, std::int64_t column, int k, std::uint32_t* column0, std::int64_t rhoRows) {
    const std::int64_t rho = (row * Tables().cosine[k] + (column + 1) * Tables().sine[k]) / 100000;
    if (static_cast<std::uint64_t>(rho - 1) < static_cast<std::uint64_t>(rhoRows - 1))
        ++column0[rho];
}

float Hough(const std::vector<PointSpan>& points, int width, int height) {
    std::size_t count = 0;
    for (const PointSpan& span : points)
        count += span.count;
    if (count == 0 || width <= 0 || height <= 0)
        return 0;
    const std::int64_t rhoRows = RhoRows(width, height);
    return HoughPeaks(width, height, [&](int k, std::uint32_t* column, std::uint32_t* opposite, int) {
        for (const PointSpan& span : points)
            for (std::size_t i = 0; i < span.count; ++i) {
                VoteOne(span.rows[i], span.columns[i], k, column, rhoRows);
                VoteOne(span.rows[i], span.columns[i], k + 180, opposite, rhoRows);
            }
    });
}

// The votes of a band's points for the angles k and k + 180 in 32-bit arithmetic, row by row: for each angle
// u = row x cosine + (column + 1) x sine modulo 2^32, a vote when u - 100000 < limit, for rho = u / 100000. A point
// votes for at most one of two opposite angles (their values have opposite signs but for a few units), so each point
// first gets one counter number (rho for k, offset + rho for k + 180, 0 for none), eight points at a time, and then
// one increment, spread over four partial counter sets; a point that votes for both after all gets its second vote
// on its own.
struct AngleTerms {
    std::uint32_t cosine, sine, oppositeCosine, oppositeSine, limit, offset;
};

PAGEFIX_KERNEL void VoteBand(const int* rows, const std::uint32_t* starts, std::size_t groups,
                             const std::uint16_t* columns, const AngleTerms& t, std::uint32_t* __restrict counter,
                             std::uint32_t* __restrict p0, std::uint32_t* __restrict p1, std::uint32_t* __restrict p2,
                             std::uint32_t* __restrict p3) {
    const std::uint32_t sine = t.sine, oppositeSine = t.oppositeSine, limit = t.limit, offset = t.offset;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint16_t* __restrict x = columns + starts[g];
        const std::size_t n = starts[g + 1] - starts[g];
        const std::uint32_t row = static_cast<std::uint32_t>(rows[g]);
        const std::uint32_t base = row * t.cosine + sine, oppositeBase = row * t.oppositeCosine + oppositeSine;
        std::uint32_t both = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t u = base + x[i] * sine, v = oppositeBase + x[i] * oppositeSine;
            const std::uint32_t inU = u - 100000u < limit, inV = v - 100000u < limit;
            const std::uint32_t q = (inU ? u : v) / 100000u; // one division for whichever angle votes
            counter[i] = inU ? q : inV ? offset + q : 0u;
            both |= inU & inV;
        }
        if (both != 0)
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint32_t u = base + x[i] * sine, v = oppositeBase + x[i] * oppositeSine;
                if (u - 100000u < limit && v - 100000u < limit)
                    ++p0[offset + v / 100000u];
            }
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            ++p0[counter[i]];
            ++p1[counter[i + 1]];
            ++p2[counter[i + 2]];
            ++p3[counter[i + 3]];
        }
        for (; i < n; ++i)
            ++p0[counter[i]];
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// VoteBand's counter numbers with AVX2, in registers: the same 32-bit sums, range tests and quotient. A row's points
// go eight at a time, the last eight running past its end into columns that are read but not counted (the lists end
// with eight spare columns, and `counter` has room for eight more). The quotient
// u / 100000 is (u >> 5) / 3125, and for every (u >> 5) below 2^27 the division by 3125 equals the product with
// 175921861 shifted right by 39 (the product errs by less than 1737 / 2^39 of it).
__attribute__((target("avx2"))) void VoteBandAvx2(const int* rows, const std::uint32_t* starts, std::size_t groups,
                                                  const std::uint16_t* columns, const AngleTerms& t,
                                                  std::uint32_t* __restrict counter, std::uint32_t* __restrict p0,
                                                  std::uint32_t* __restrict p1, std::uint32_t* __restrict p2,
                                                  std::uint32_t* __restrict p3) {
    const std::uint32_t sine = t.sine, oppositeSine = t.oppositeSine, limit = t.limit, offset = t.offset;
    const __m256i vSine = _mm256_set1_epi32(static_cast<int>(sine));
    const __m256i vOppositeSine = _mm256_set1_epi32(static_cast<int>(oppositeSine));
    const __m256i least = _mm256_set1_epi32(100000), lastIn = _mm256_set1_epi32(static_cast<int>(limit - 1));
    const __m256i vOffset = _mm256_set1_epi32(static_cast<int>(offset)), magic = _mm256_set1_epi32(175921861);
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint16_t* x = columns + starts[g];
        const std::size_t n = starts[g + 1] - starts[g];
        const std::uint32_t row = static_cast<std::uint32_t>(rows[g]);
        const std::uint32_t base = row * t.cosine + sine, oppositeBase = row * t.oppositeCosine + oppositeSine;
        const __m256i vBase = _mm256_set1_epi32(static_cast<int>(base));
        const __m256i vOppositeBase = _mm256_set1_epi32(static_cast<int>(oppositeBase));
        __m256i bothLanes = _mm256_setzero_si256();
        std::size_t i = 0;
        for (; i < n; i += 8) {
            const __m256i column = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i)));
            const __m256i u = _mm256_add_epi32(vBase, _mm256_mullo_epi32(column, vSine));
            const __m256i v = _mm256_add_epi32(vOppositeBase, _mm256_mullo_epi32(column, vOppositeSine));
            const __m256i du = _mm256_sub_epi32(u, least), dv = _mm256_sub_epi32(v, least);
            const __m256i inU = _mm256_cmpeq_epi32(_mm256_min_epu32(du, lastIn), du);
            const __m256i inV = _mm256_cmpeq_epi32(_mm256_min_epu32(dv, lastIn), dv);
            const __m256i w = _mm256_srli_epi32(_mm256_blendv_epi8(v, u, inU), 5);
            const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(w, magic), 39);
            const __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(w, 32), magic), 39);
            const __m256i q = _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
            const __m256i number =
                _mm256_and_si256(_mm256_add_epi32(q, _mm256_andnot_si256(inU, vOffset)), _mm256_or_si256(inU, inV));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(counter + i), number);
            bothLanes = _mm256_or_si256(bothLanes, _mm256_and_si256(inU, inV));
        }
        // The last lanes may have taken the next row's columns: the exact test below sorts out the points.
        if (!_mm256_testz_si256(bothLanes, bothLanes))
            for (i = 0; i < n; ++i) {
                const std::uint32_t u = base + x[i] * sine, v = oppositeBase + x[i] * oppositeSine;
                if (u - 100000u < limit && v - 100000u < limit)
                    ++p0[offset + v / 100000u];
            }
        // The lanes past the row's end count as points without a vote (counter 0), so whole eights go in.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(counter + n), _mm256_setzero_si256());
        for (i = 0; i < n; i += 8) {
            ++p0[counter[i]];
            ++p1[counter[i + 1]];
            ++p2[counter[i + 2]];
            ++p3[counter[i + 3]];
            ++p0[counter[i + 4]];
            ++p1[counter[i + 5]];
            ++p2[counter[i + 6]];
            ++p3[counter[i + 7]];
        }
    }
}
#endif

// The runs of neighbouring points of each row, one entry a run: its row, the column + 1 of its first point, and its
// length. Doubles, so that the sums of ColumnRanges are exact and can be taken four at a time.
struct Runs {
    std::vector<double> row, first, length;
};

// For one angle, the rho range of each run and the most points the run can give one counter of it (see
// ColumnBounds); an empty range (nothing to count) gives from 1, to 0 and a limit of 0. The products and sums stay far
// below 2^53, and a u that is not a multiple of 100000 lies at least 1 / 100000 of a unit from the next whole
// quotient, far beyond the error of the product with 1e-5: the floors are the exact quotients.
void ColumnRangesPlain(const double* __restrict row, const double* __restrict first, const double* __restrict length,
                       std::size_t count, double cosine, double sine, double perRow, double lastRho,
                       int* __restrict from, int* __restrict to, int* __restrict limit) {
    for (std::size_t i = 0; i < count; ++i) {
        const double y = row[i] * cosine;
        const double last = first[i] + (length[i] - 1);
        const double a = std::floor((y + first[i] * sine) * 1e-5), b = std::floor((y + last * sine) * 1e-5);
        const double low = std::min(a, b), high = std::max(a, b);
        const double most = std::min(length[i] - (high - low), perRow);
        const double lowIn = std::max(low, 1.0), highIn = std::min(high, lastRho);
        const bool any = lowIn <= highIn;
        from[i] = any ? static_cast<int>(lowIn) : 1;
        to[i] = any ? static_cast<int>(highIn) : 0;
        limit[i] = any ? static_cast<int>(most) : 0;
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// ColumnRanges four runs at a time: the same double operations, each rounded as the scalar one is.
__attribute__((target("avx2"))) std::size_t ColumnRangesAvx2(const double* row, const double* first,
                                                             const double* length, std::size_t count, double cosine,
                                                             double sine, double perRow, double lastRho, int* from,
                                                             int* to, int* limit) {
    const __m256d vCosine = _mm256_set1_pd(cosine), vSine = _mm256_set1_pd(sine), scale = _mm256_set1_pd(1e-5);
    const __m256d vPerRow = _mm256_set1_pd(perRow), vLastRho = _mm256_set1_pd(lastRho), one = _mm256_set1_pd(1.0);
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d y = _mm256_mul_pd(_mm256_loadu_pd(row + i), vCosine);
        const __m256d start = _mm256_loadu_pd(first + i), runLength = _mm256_loadu_pd(length + i);
        const __m256d last = _mm256_add_pd(start, _mm256_sub_pd(runLength, one));
        const __m256d a = _mm256_floor_pd(_mm256_mul_pd(_mm256_add_pd(y, _mm256_mul_pd(start, vSine)), scale));
        const __m256d b = _mm256_floor_pd(_mm256_mul_pd(_mm256_add_pd(y, _mm256_mul_pd(last, vSine)), scale));
        const __m256d low = _mm256_min_pd(a, b), high = _mm256_max_pd(a, b);
        const __m256d most = _mm256_min_pd(_mm256_sub_pd(runLength, _mm256_sub_pd(high, low)), vPerRow);
        const __m256d lowIn = _mm256_max_pd(low, one), highIn = _mm256_min_pd(high, vLastRho);
        const __m256d any = _mm256_cmp_pd(lowIn, highIn, _CMP_LE_OQ);
        const __m256d f = _mm256_blendv_pd(one, lowIn, any);
        const __m256d t = _mm256_and_pd(highIn, any), m = _mm256_and_pd(most, any);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(from + i), _mm256_cvttpd_epi32(f));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm256_cvttpd_epi32(t));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(limit + i), _mm256_cvttpd_epi32(m));
    }
    return i;
}
#endif

void ColumnRanges(const double* row, const double* first, const double* length, std::size_t count, double cosine,
                  double sine, double perRow, double lastRho, int* from, int* to, int* limit) {
    std::size_t done = 0;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (HasAvx2())
        done = ColumnRangesAvx2(row, first, length, count, cosine, sine, perRow, lastRho, from, to, limit);
#endif
    ColumnRangesPlain(row + done, first + done, length + done, count - done, cosine, sine, perRow, lastRho, from + done,
                      to + done, limit + done);
}

// Upper bounds of the largest count of each of the 360 columns, from the runs of neighbouring columns in each row's
// points rather than from the points one by one. Along a run of L points, u = row x cosine + (column + 1) x sine
// moves by `sine` a point, at most 100000, so the run's rho values (u / 100000) cover a range of nb rows without a
// gap: no rho row has more than L - nb + 1 of its points, nor more than ceil(100000 / |sine|), the points that fit
// in one rho row's span of u. Adding that limit over each run's range, through a difference array, bounds every
// counter. False where the runs are too short for the bounds to pay (fewer than two points a run on average), where
// the counts might not fit an int, or where there is no memory.
bool ColumnBounds(const std::vector<RowPoints>& points, std::int64_t rhoRows, std::uint32_t bound[360]) {
    std::size_t pointCount = 0;
    for (const RowPoints& list : points)
        pointCount += list.starts.back();
    if (pointCount > static_cast<std::size_t>(INT_MAX))
        return false;
    std::vector<Runs> runs(points.size());
    std::atomic<bool> failed{false};
    ParallelBands(static_cast<int>(points.size()), 1, [&](int b, int e, int) {
        for (int l = b; l < e; ++l) {
            const RowPoints& list = points[static_cast<std::size_t>(l)];
            Runs& mine = runs[static_cast<std::size_t>(l)];
            try {
                for (std::size_t g = 0; g < list.rows.size(); ++g)
                    for (std::uint32_t i = list.starts[g]; i < list.starts[g + 1]; ++i) {
                        const double column = list.columns[i] + 1.0;
                        if (i > list.starts[g] && column == mine.first.back() + mine.length.back()) {
                            mine.length.back() += 1;
                        } else {
                            mine.row.push_back(list.rows[g]);
                            mine.first.push_back(column);
                            mine.length.push_back(1);
                        }
                    }
            } catch (const std::bad_alloc&) {
                failed = true;
            }
        }
    });
    std::size_t runCount = 0, longest = 0;
    for (const Runs& list : runs) {
        runCount += list.row.size();
        longest = std::max(longest, list.row.size());
    }
    if (failed || 2 * runCount > pointCount)
        return false;

    const std::size_t slots = static_cast<std::size_t>(ParallelSlots()), rhoCount = static_cast<std::size_t>(rhoRows);
    // Four difference arrays a thread, a run in each by turns: neighbouring runs often meet the same counters, and
    // one array would make each addition wait for the one before.
    constexpr std::size_t kPartials = 4;
    const std::size_t span = rhoCount + 1, perSlot = kPartials * span + 3 * longest;
    std::unique_ptr<int[]> scratch(new (std::nothrow) int[slots * perSlot]);
    if (!scratch)
        return false;
    ParallelBands(360, 1, [&](int kb, int ke, int slot) {
        int* d0 = scratch.get() + static_cast<std::size_t>(slot) * perSlot;
        int* d1 = d0 + span;
        int* d2 = d1 + span;
        int* d3 = d2 + span;
        int* from = d0 + kPartials * span;
        int* to = from + longest;
        int* limit = to + longest;
        for (int k = kb; k < ke; ++k) {
            const int sine = Tables().sine[k];
            // Where both terms are 0 or less at every point (the angles past 180 up to 270 degrees), nothing votes.
            if (Tables().cosine[k] <= 0 && sine <= 0) {
                bound[k] = 0;
                continue;
            }
            const double perRow = sine == 0 ? 1e18 : std::ceil(100000.0 / std::abs(sine));
            std::fill_n(d0, kPartials * span, 0);
            for (const Runs& list : runs) {
                const std::size_t count = list.row.size();
                ColumnRanges(list.row.data(), list.first.data(), list.length.data(), count, Tables().cosine[k], sine,
                             perRow, static_cast<double>(rhoRows - 1), from, to, limit);
                std::size_t i = 0;
                for (; i + kPartials <= count; i += kPartials) {
                    d0[from[i]] += limit[i];
                    d0[to[i] + 1] -= limit[i];
                    d1[from[i + 1]] += limit[i + 1];
                    d1[to[i + 1] + 1] -= limit[i + 1];
                    d2[from[i + 2]] += limit[i + 2];
                    d2[to[i + 2] + 1] -= limit[i + 2];
                    d3[from[i + 3]] += limit[i + 3];
                    d3[to[i + 3] + 1] -= limit[i + 3];
                }
                for (; i < count; ++i) {
                    d0[from[i]] += limit[i];
                    d0[to[i] + 1] -= limit[i];
                }
            }
            int sum = 0, most = 0;
            for (std::size_t r = 1; r < rhoCount; ++r) {
                sum += d0[r] + d1[r] + d2[r] + d3[r];
                most = std::max(most, sum);
            }
            bound[k] = static_cast<std::uint32_t>(most);
        }
    });
    return true;
}

float Hough(const std::vector<RowPoints>& points, int width, int height) {
    std::size_t count = 0, widest = 0;
    for (const RowPoints& list : points) {
        count += list.starts.back();
        for (std::size_t g = 0; g + 1 < list.starts.size(); ++g)
            widest = std::max<std::size_t>(widest, list.starts[g + 1] - list.starts[g]);
    }
    if (count == 0 || width <= 0 || height <= 0)
        return 0;
    const std::int64_t rhoRows = RhoRows(width, height);
    const std::size_t rhoCount = static_cast<std::size_t>(rhoRows);
    // Per thread four partial pairs of columns, so that neighbouring points voting for the same rho do not wait on
    // each other's counter, and the counters of one row at a time.
    constexpr std::size_t kPartials = 4;
    const std::size_t slots = static_cast<std::size_t>(ParallelSlots()), pair = 2 * rhoCount;
    widest = std::max<std::size_t>(widest, 1);
    widest += kSpareColumns;
    std::vector<std::uint32_t> partials(slots * kPartials * pair), counters(slots * widest);
    constexpr std::int64_t kWrap = std::int64_t{1} << 32;
    // The values row x cosine + (column + 1) x sine of the angle lie in [low, high]; 32 bits are exact when no
    // value outside the counted range [100000, rhoRows x 100000) meets it modulo 2^32.
    auto exact = [&](int k) {
        const std::int64_t cosine = Tables().cosine[k], sine = Tables().sine[k];
        const std::int64_t low =
            (height - 1) * std::min<std::int64_t>(cosine, 0) + width * std::min<std::int64_t>(sine, 0);
        const std::int64_t high =
            (height - 1) * std::max<std::int64_t>(cosine, 0) + width * std::max<std::int64_t>(sine, 0);
        return rhoRows * 100000 <= kWrap && high < kWrap + 100000 && rhoRows * 100000 - low < kWrap;
    };
    // The votes of the lists [lb, le) for the pair k, k + 180, added to `column` and `opposite`.
    auto voteLists = [&](int k, std::uint32_t* column, std::uint32_t* opposite, int slot, std::size_t lb,
                         std::size_t le) {
        if (!exact(k) || !exact(k + 180)) {
            for (std::size_t l = lb; l < le; ++l) {
                const RowPoints& list = points[l];
                for (std::size_t g = 0; g < list.rows.size(); ++g)
                    for (std::uint32_t i = list.starts[g]; i < list.starts[g + 1]; ++i) {
                        VoteOne(list.rows[g], list.columns[i], k, column, rhoRows);
                        VoteOne(list.rows[g], list.columns[i], k + 180, opposite, rhoRows);
                    }
            }
            return;
        }
        std::uint32_t* part = partials.data() + static_cast<std::size_t>(slot) * kPartials * pair;
        std::uint32_t* counter = counters.data() + static_cast<std::size_t>(slot) * widest;
        std::uint32_t* p0 = part;
        std::uint32_t* p1 = part + pair;
        std::uint32_t* p2 = part + 2 * pair;
        std::uint32_t* p3 = part + 3 * pair;
        const AngleTerms terms{
            static_cast<std::uint32_t>(Tables().cosine[k]),       static_cast<std::uint32_t>(Tables().sine[k]),
            static_cast<std::uint32_t>(Tables().cosine[k + 180]), static_cast<std::uint32_t>(Tables().sine[k + 180]),
            static_cast<std::uint32_t>((rhoRows - 1) * 100000),   static_cast<std::uint32_t>(rhoCount)};
        for (std::size_t l = lb; l < le; ++l) {
            const RowPoints& list = points[l];
            if (list.rows.empty())
                continue;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
            if (HasAvx2()) {
                VoteBandAvx2(list.rows.data(), list.starts.data(), list.rows.size(), list.columns.data(), terms,
                             counter, p0, p1, p2, p3);
                continue;
            }
#endif
            VoteBand(list.rows.data(), list.starts.data(), list.rows.size(), list.columns.data(), terms, counter, p0,
                     p1, p2, p3);
        }
        // The partials start zero and are left zero for the next angle. Counter 0 of each gathered the points
        // without a vote: rho 0 has no votes.
        auto gather = [&](std::uint32_t* out, std::size_t from) {
            for (std::size_t r = 1; r < rhoCount; ++r)
                out[r] += p0[from + r] + p1[from + r] + p2[from + r] + p3[from + r];
            std::fill_n(p0 + from, rhoCount, 0u);
            std::fill_n(p1 + from, rhoCount, 0u);
            std::fill_n(p2 + from, rhoCount, 0u);
            std::fill_n(p3 + from, rhoCount, 0u);
        };
        gather(column, 0);
        gather(opposite, rhoCount);
    };
    auto vote = [&](int k, std::uint32_t* column, std::uint32_t* opposite, int slot) {
        voteLists(k, column, opposite, slot, 0, points.size());
    };

    // Only the columns whose largest count reaches the largest of all take part in the peak rule, and a column's
    // largest count is at most the largest of its bounds (ColumnBounds). So the pairs are voted in the order of their
    // bounds: first the pair with the largest, its points shared out among the threads, then every pair whose bound
    // reaches the largest count found; the others cannot hold a peak and keep a largest count of 0, below it.
    std::uint32_t bound[360];
    if (!ColumnBounds(points, rhoRows, bound))
        return HoughPeaks(width, height, vote);
    auto pairBound = [&](int k) { return std::max(bound[k], bound[k + 180]); };
    int top = 0;
    for (int k = 1; k < 180; ++k)
        if (pairBound(k) > pairBound(top))
            top = k;
    ColumnPeaks peaks;
    std::vector<std::uint32_t> sums(slots * pair, 0u);
    ParallelBands(static_cast<int>(points.size()), 1, [&](int b, int e, int slot) {
        std::uint32_t* mine = sums.data() + static_cast<std::size_t>(slot) * pair;
        voteLists(top, mine, mine + rhoCount, slot, static_cast<std::size_t>(b), static_cast<std::size_t>(e));
    });
    for (std::size_t slot = 1; slot < slots; ++slot)
        for (std::size_t r = 0; r < pair; ++r)
            sums[r] += sums[slot * pair + r];
    NoteColumn(top, sums.data(), rhoRows, peaks);
    NoteColumn(top + 180, sums.data() + rhoCount, rhoRows, peaks);
    const std::uint32_t found = std::max(peaks.best[top], peaks.best[top + 180]);
    std::vector<int> rest;
    for (int k = 0; k < 180; ++k)
        if (k != top && pairBound(k) >= found)
            rest.push_back(k);
    if (!VotePairs(rest, rhoRows, vote, peaks))
        return 0;
    return PeakAngle(peaks);
}

// ---- normal_rotate ----

// One row of the turn: where each pixel j of destination row i comes from. The terms are added in the order of the
// plain formula, srcRow = (i - h/2) cos + (w/2 - j) sin + h/2 and srcCol = (i - h/2) sin + (j - w/2) cos + w/2, in
// single precision, the column terms from tables made once.
struct TurnRow {
    float a, e, halfH, halfW; // (i - h/2) cos, (i - h/2) sin, h/2, w/2
    const float* rowTerm;     // (w/2 - j) sin
    const float* columnTerm;  // (j - w/2) cos
    float SourceRow(int j) const { return a + rowTerm[j] + halfH; }
    float SourceColumn(int j) const { return e + columnTerm[j] + halfW; }
};

// Bilinear value of one sample: p00 and p01 on the source row, p10 and p11 on the next, in the plain formula's order.
inline BYTE Blend(int p00, int p01, int p10, int p11, float fx, float fy) {
    auto f = [](int v) { return static_cast<float>(v); };
    const float top = f(p00) + fx * f(p01 - p00);
    const float bottom = f(p10) + fx * f(p11 - p10);
    return static_cast<BYTE>(static_cast<int>(top + fy * (bottom - top)));
}

template <int N>
void TurnSpanPlain(const BYTE* data, BYTE* dst, std::size_t stride, int from, int to, const TurnRow& row) {
    for (int j = from; j <= to; ++j) {
        const float srcRow = row.SourceRow(j), srcCol = row.SourceColumn(j);
        const int r0 = static_cast<int>(srcRow), c0 = static_cast<int>(srcCol);
        const float fx = srcCol - static_cast<float>(c0), fy = srcRow - static_cast<float>(r0);
        const BYTE* p = data + static_cast<std::size_t>(r0) * stride + static_cast<std::size_t>(c0) * N;
        for (int c = 0; c < N; ++c)
            dst[static_cast<std::size_t>(j) * N + c] = Blend(p[c], p[N + c], p[stride + c], p[stride + N + c], fx, fy);
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same steps on four float lanes, the three colour samples of a pixel at once: every lane does the single
// operations of Blend (the sample differences are exact in float), so the bytes are the same.
inline __m128 FourSamples(const BYTE* q) {
    int bytes;
    std::memcpy(&bytes, q, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero));
}

// Colour pixels from .. to; reads one byte past each source pixel pair, which the row below still holds.
void TurnSpanColour(const BYTE* data, BYTE* dst, std::size_t stride, int from, int to, const TurnRow& row) {
    const __m128i low = _mm_set1_epi32(0xFF);
    for (int j = from; j <= to; ++j) {
        const float srcRow = row.SourceRow(j), srcCol = row.SourceColumn(j);
        const int r0 = static_cast<int>(srcRow), c0 = static_cast<int>(srcCol);
        const __m128 fx = _mm_set1_ps(srcCol - static_cast<float>(c0)),
                     fy = _mm_set1_ps(srcRow - static_cast<float>(r0));
        const BYTE* p = data + static_cast<std::size_t>(r0) * stride + static_cast<std::size_t>(c0) * 3;
        const __m128 p00 = FourSamples(p), p01 = FourSamples(p + 3);
        const __m128 p10 = FourSamples(p + stride), p11 = FourSamples(p + stride + 3);
        const __m128 top = _mm_add_ps(p00, _mm_mul_ps(fx, _mm_sub_ps(p01, p00)));
        const __m128 bottom = _mm_add_ps(p10, _mm_mul_ps(fx, _mm_sub_ps(p11, p10)));
        const __m128i value =
            _mm_and_si128(_mm_cvttps_epi32(_mm_add_ps(top, _mm_mul_ps(fy, _mm_sub_ps(bottom, top)))), low);
        const __m128i words = _mm_packs_epi32(value, value);
        const int packed = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
        std::memcpy(dst + static_cast<std::size_t>(j) * 3, &packed, 3);
    }
}

// Grey pixels eight at a time with AVX2 gathers (4 bytes at each source pixel: it and its right neighbour); the
// offsets are 32-bit, so the caller keeps this to pages under 2 GiB. Returns the first column not done.
__attribute__((target("avx2"))) int TurnSpanGreyAvx2(const BYTE* data, BYTE* dst, std::size_t stride, int from, int to,
                                                     const TurnRow& row) {
    const __m256 a = _mm256_set1_ps(row.a), e = _mm256_set1_ps(row.e);
    const __m256 halfH = _mm256_set1_ps(row.halfH), halfW = _mm256_set1_ps(row.halfW);
    const __m256i rowBytes = _mm256_set1_epi32(static_cast<int>(stride)), low = _mm256_set1_epi32(0xFF);
    const int* base = reinterpret_cast<const int*>(data);
    const int* next = reinterpret_cast<const int*>(data + stride);
    int j = from;
    for (; j + 7 <= to; j += 8) {
        const __m256 srcRow = _mm256_add_ps(_mm256_add_ps(a, _mm256_loadu_ps(row.rowTerm + j)), halfH);
        const __m256 srcCol = _mm256_add_ps(_mm256_add_ps(e, _mm256_loadu_ps(row.columnTerm + j)), halfW);
        const __m256i r0 = _mm256_cvttps_epi32(srcRow), c0 = _mm256_cvttps_epi32(srcCol);
        const __m256 fx = _mm256_sub_ps(srcCol, _mm256_cvtepi32_ps(c0));
        const __m256 fy = _mm256_sub_ps(srcRow, _mm256_cvtepi32_ps(r0));
        const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(r0, rowBytes), c0);
        const __m256i g0 = _mm256_i32gather_epi32(base, at, 1), g1 = _mm256_i32gather_epi32(next, at, 1);
        const __m256 p00 = _mm256_cvtepi32_ps(_mm256_and_si256(g0, low));
        const __m256 p01 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(g0, 8), low));
        const __m256 p10 = _mm256_cvtepi32_ps(_mm256_and_si256(g1, low));
        const __m256 p11 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(g1, 8), low));
        const __m256 top = _mm256_add_ps(p00, _mm256_mul_ps(fx, _mm256_sub_ps(p01, p00)));
        const __m256 bottom = _mm256_add_ps(p10, _mm256_mul_ps(fx, _mm256_sub_ps(p11, p10)));
        const __m256i value = _mm256_and_si256(
            _mm256_cvttps_epi32(_mm256_add_ps(top, _mm256_mul_ps(fy, _mm256_sub_ps(bottom, top)))), low);
        const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(value), _mm256_extracti128_si256(value, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + j), _mm_packus_epi16(words, words));
    }
    return j;
}

// Colour pixels eight at a time with AVX2 gathers: 4 bytes at each source pixel and at its right neighbour, on the
// source row and the next; each sample goes through the same single operations as Blend.
__attribute__((target("avx2"))) int TurnSpanColourAvx2(const BYTE* data, BYTE* dst, std::size_t stride, int from,
                                                       int to, const TurnRow& row) {
    const __m256 a = _mm256_set1_ps(row.a), e = _mm256_set1_ps(row.e);
    const __m256 halfH = _mm256_set1_ps(row.halfH), halfW = _mm256_set1_ps(row.halfW);
    const __m256i rowBytes = _mm256_set1_epi32(static_cast<int>(stride)), three = _mm256_set1_epi32(3);
    const __m256i low = _mm256_set1_epi32(0xFF);
    const int* here = reinterpret_cast<const int*>(data);
    const int* right = reinterpret_cast<const int*>(data + 3);
    const int* below = reinterpret_cast<const int*>(data + stride);
    const int* belowRight = reinterpret_cast<const int*>(data + stride + 3);
    int j = from;
    for (; j + 7 <= to; j += 8) {
        const __m256 srcRow = _mm256_add_ps(_mm256_add_ps(a, _mm256_loadu_ps(row.rowTerm + j)), halfH);
        const __m256 srcCol = _mm256_add_ps(_mm256_add_ps(e, _mm256_loadu_ps(row.columnTerm + j)), halfW);
        const __m256i r0 = _mm256_cvttps_epi32(srcRow), c0 = _mm256_cvttps_epi32(srcCol);
        const __m256 fx = _mm256_sub_ps(srcCol, _mm256_cvtepi32_ps(c0));
        const __m256 fy = _mm256_sub_ps(srcRow, _mm256_cvtepi32_ps(r0));
        const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(r0, rowBytes), _mm256_mullo_epi32(c0, three));
        const __m256i g00 = _mm256_i32gather_epi32(here, at, 1), g01 = _mm256_i32gather_epi32(right, at, 1);
        const __m256i g10 = _mm256_i32gather_epi32(below, at, 1), g11 = _mm256_i32gather_epi32(belowRight, at, 1);
        __m256i pixels = _mm256_setzero_si256();
        for (int c = 0; c < 3; ++c) {
            const __m128i shift = _mm_cvtsi32_si128(8 * c);
            const __m256 p00 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srl_epi32(g00, shift), low));
            const __m256 p01 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srl_epi32(g01, shift), low));
            const __m256 p10 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srl_epi32(g10, shift), low));
            const __m256 p11 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srl_epi32(g11, shift), low));
            const __m256 top = _mm256_add_ps(p00, _mm256_mul_ps(fx, _mm256_sub_ps(p01, p00)));
            const __m256 bottom = _mm256_add_ps(p10, _mm256_mul_ps(fx, _mm256_sub_ps(p11, p10)));
            const __m256i value = _mm256_and_si256(
                _mm256_cvttps_epi32(_mm256_add_ps(top, _mm256_mul_ps(fy, _mm256_sub_ps(bottom, top)))), low);
            pixels = _mm256_or_si256(pixels, _mm256_sll_epi32(value, shift));
        }
        alignas(32) std::uint32_t packed[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(packed), pixels);
        for (int i = 0; i < 8; ++i)
            std::memcpy(dst + static_cast<std::size_t>(j + i) * 3, &packed[i], 3);
    }
    return j;
}

#endif

// ---- the turn of two-level (mode 0) pages ----
// The source is first reduced to one bit a pixel, set where its byte is not 0, in 64-bit words with pixel 64k + b at
// bit b of word k. The blend of four non-zero bytes is 1 or more and of four zeros 0, so wherever every source pixel
// that a run of result pixels blends has the same bit, that is their bit in the result, without any arithmetic.

// The bits of eight bytes, the first lowest.
inline unsigned NonZeroByte(const BYTE* in) {
    return static_cast<unsigned>((NonZeroFlags(in) * 0x0102040810204080ull) >> 56);
}

void NonZeroWordsPlain(const BYTE* in, int width, std::uint64_t* out) {
    for (int k = 0; k * 64 < width; ++k, in += 64) {
        const int n = std::min(64, width - 64 * k);
        std::uint64_t word = 0;
        int b = 0;
        for (; b + 8 <= n; b += 8)
            word |= static_cast<std::uint64_t>(NonZeroByte(in + b)) << b;
        for (; b < n; ++b)
            word |= static_cast<std::uint64_t>(in[b] != 0) << b;
        out[k] = word;
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("avx2"))) void NonZeroWordsAvx2(const BYTE* in, int width, std::uint64_t* out) {
    const __m256i zero = _mm256_setzero_si256();
    const int full = width / 64;
    for (int k = 0; k < full; ++k, in += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32));
        const std::uint64_t zeros =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, zero))) |
            static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, zero))))
                << 32;
        out[k] = ~zeros;
    }
    NonZeroWordsPlain(in, width % 64, out + full);
}
#endif

// A row of bytes as words of bits, set where a byte is not 0; the spare bits of the last word clear.
void NonZeroWords(const BYTE* in, int width, std::uint64_t* out) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (HasAvx2()) {
        NonZeroWordsAvx2(in, width, out);
        return;
    }
#endif
    NonZeroWordsPlain(in, width, out);
}

// Whether bits c0 .. c1 of rows r0 .. r1 all equal bit `one`.
bool SameBits(const std::uint64_t* bits, std::size_t words, int r0, int r1, int c0, int c1, bool one) {
    const std::uint64_t want = one ? ~std::uint64_t{0} : 0;
    const int k0 = c0 / 64, k1 = c1 / 64;
    const std::uint64_t first = ~std::uint64_t{0} << (c0 % 64), last = ~std::uint64_t{0} >> (63 - c1 % 64);
    if (k1 - k0 <= 1) { // the usual case at small angles: one or two words a row
        const std::uint64_t mask0 = k0 == k1 ? first & last : first, mask1 = k0 == k1 ? 0 : last;
        const std::uint64_t* row = bits + static_cast<std::size_t>(r0) * words + static_cast<std::size_t>(k0);
        std::uint64_t differ = 0;
        for (int r = r0; r <= r1; ++r, row += words)
            differ |= ((row[0] ^ want) & mask0) | ((row[k1 - k0] ^ want) & mask1);
        return differ == 0;
    }
    for (int r = r0; r <= r1; ++r) {
        const std::uint64_t* row = bits + static_cast<std::size_t>(r) * words;
        for (int k = k0; k <= k1; ++k) {
            const std::uint64_t mask = (k == k0 ? first : ~std::uint64_t{0}) & (k == k1 ? last : ~std::uint64_t{0});
            if (((row[k] ^ want) & mask) != 0)
                return false;
        }
    }
    return true;
}

// One row of a two-level page into packed `out`, 64 pixels at a time: pixels outside from .. to are white; a run
// inside whose source pixels share one bit takes it; other runs are turned pixel by pixel into `scratch` by
// turn(first, last) and packed.
template <class Turn>
void TurnRowTwoLevels(const std::uint64_t* bits, std::size_t words, BYTE* scratch, BYTE* out, int width, int from,
                      int to, BYTE white, const TurnRow& row, const Turn& turn) {
    constexpr int kMostWordsChecked = 64; // beyond this (steep angles), a run is turned pixel by pixel
    for (int a = 0; a < width; a += 64) {
        const int b = std::min(a + 63, width - 1);
        BYTE* o = out + a / 8;
        const std::size_t bytes = static_cast<std::size_t>(b - a + 1 + 7) / 8;
        int fill = -1; // 0 or 1 when the whole run takes that bit
        if (b < from || a > to) {
            fill = white != 0 ? 1 : 0;
        } else if (a >= from && b <= to) {
            const int ra = static_cast<int>(row.SourceRow(a)), rb = static_cast<int>(row.SourceRow(b));
            const int ca = static_cast<int>(row.SourceColumn(a)), cb = static_cast<int>(row.SourceColumn(b));
            const int r0 = std::min(ra, rb), r1 = std::max(ra, rb) + 1;
            const int c0 = std::min(ca, cb), c1 = std::max(ca, cb) + 1;
            const bool one =
                ((bits[static_cast<std::size_t>(r0) * words + static_cast<std::size_t>(c0 / 64)] >> (c0 % 64)) & 1) !=
                0;
            if ((r1 - r0 + 1) * (c1 / 64 - c0 / 64 + 1) <= kMostWordsChecked &&
                SameBits(bits, words, r0, r1, c0, c1, one))
                fill = one ? 1 : 0;
        }
        if (fill >= 0 && b - a == 63) {
            const std::uint64_t word = fill != 0 ? ~std::uint64_t{0} : 0;
            std::memcpy(o, &word, 8);
            continue;
        }
        if (fill >= 0) {
            std::memset(o, fill != 0 ? 0xFF : 0, bytes);
            if ((b - a + 1) % 8 != 0)
                o[bytes - 1] &= static_cast<BYTE>(0xFF00u >> ((b - a + 1) % 8));
            continue;
        }
        const int ia = std::max(a, from), ib = std::min(b, to);
        std::memset(scratch + a, white, static_cast<std::size_t>(ia - a));
        std::memset(scratch + ib + 1, white, static_cast<std::size_t>(b - ib));
        turn(ia, ib);
        PackRow(scratch + a, o, b - a + 1);
    }
}

// Turns a page of N bytes a pixel into `out`, rows in parallel. Mode 0 (pack) turns rows of 0/1 bytes and packs
// each to bits. In each row the pixels whose source lies inside form one run of columns (the source row and column
// only grow or only shrink along a row), found from both ends; the rest are white.
template <int N> bool Rotate(const BYTE* data, BYTE* out, int width, int height, float angle, BYTE white, bool pack) {
    const float rad = angle * 3.1415927f / 180;
    const float cosA = std::cos(rad), sinA = std::sin(rad);
    const int halfW = width / 2, halfH = height / 2;
    const std::size_t stride = static_cast<std::size_t>(width) * N;
    auto f = [](int v) { return static_cast<float>(v); };
    std::vector<float> rowTerm(static_cast<std::size_t>(width) + 8), columnTerm(static_cast<std::size_t>(width) + 8);
    for (int j = 0; j < width; ++j) {
        rowTerm[static_cast<std::size_t>(j)] = f(halfW - j) * sinA;
        columnTerm[static_cast<std::size_t>(j)] = f(j - halfW) * cosA;
    }
    const int slots = ParallelSlots();
    std::vector<std::vector<BYTE>> rowBuffers(static_cast<std::size_t>(pack ? slots : 0));
    for (std::vector<BYTE>& buffer : rowBuffers)
        buffer.resize(static_cast<std::size_t>(width));
    const std::size_t outRow = pack ? BitRowBytes(width) : stride;
    // A two-level page's bits, for the runs that need no arithmetic; without them every pixel is turned.
    const std::size_t words = (static_cast<std::size_t>(width) + 63) / 64;
    std::unique_ptr<std::uint64_t[]> bits;
    if (pack && N == 1) {
        bits.reset(new (std::nothrow) std::uint64_t[words * static_cast<std::size_t>(height)]);
        if (bits)
            ParallelBands(height, MinRows(stride), [&](int y0, int y1, int) {
                for (int y = y0; y < y1; ++y)
                    NonZeroWords(data + static_cast<std::size_t>(y) * stride, width,
                                 bits.get() + static_cast<std::size_t>(y) * words);
            });
    }
    ParallelBands(height, MinRows(stride), [&](int i0, int i1, int slot) {
        for (int i = i0; i < i1; ++i) {
            BYTE* dst =
                pack ? rowBuffers[static_cast<std::size_t>(slot)].data() : out + static_cast<std::size_t>(i) * outRow;
            const TurnRow row{f(i - halfH) * cosA, f(i - halfH) * sinA, f(halfH), f(halfW),
                              rowTerm.data(),      columnTerm.data()};
            auto inside = [&](int j) {
                const int r0 = static_cast<int>(row.SourceRow(j)), c0 = static_cast<int>(row.SourceColumn(j));
                return 0 < r0 && r0 < height - 2 && 0 < c0 && c0 < width - 2;
            };
            int from = 0, to = width - 1;
            while (from < width && !inside(from))
                ++from;
            while (to >= from && !inside(to))
                --to;
            // Grey pixels a .. b, all inside.
            auto turnGrey = [&](int a, int b) {
                int j = a;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
                if (HasAvx2() && static_cast<std::size_t>(height) * stride < (std::size_t{1} << 31))
                    j = TurnSpanGreyAvx2(data, dst, stride, a, b, row);
#endif
                TurnSpanPlain<1>(data, dst, stride, j, b, row);
            };
            if (bits) {
                TurnRowTwoLevels(bits.get(), words, dst, out + static_cast<std::size_t>(i) * outRow, width, from, to,
                                 white, row, turnGrey);
                continue;
            }
            std::memset(dst, white, static_cast<std::size_t>(from) * N);
            std::memset(dst + static_cast<std::size_t>(to + 1) * N, white,
                        static_cast<std::size_t>(width - 1 - to) * N);
            if (from <= to) {
                if constexpr (N == 3) {
                    int j = from;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
                    if (HasAvx2() && static_cast<std::size_t>(height) * stride < (std::size_t{1} << 31))
                        j = TurnSpanColourAvx2(data, dst, stride, from, to, row);
                    TurnSpanColour(data, dst, stride, j, to, row);
#else
                    TurnSpanPlain<3>(data, dst, stride, j, to, row);
#endif
                } else {
                    turnGrey(from, to);
                }
            }
            if (pack)
                PackRow(dst, out + static_cast<std::size_t>(i) * outRow, width);
        }
    });
    return true;
}

// Points of a page up to 65535 pixels wide, grouped by row in bands of rows as the edge search gives them; the order
// of a row's points changes no count.
std::vector<RowPoints> PointsByRow(const int rows[], const int columns[], std::size_t count, int height) {
    std::vector<std::uint32_t> next(static_cast<std::size_t>(height) + 1, 0u);
    for (std::size_t i = 0; i < count; ++i)
        ++next[static_cast<std::size_t>(rows[i]) + 1];
    for (int y = 0; y < height; ++y)
        next[static_cast<std::size_t>(y) + 1] += next[static_cast<std::size_t>(y)];
    const std::vector<std::uint32_t> start(next.begin(), next.end());
    std::vector<std::uint16_t> byRow(count);
    for (std::size_t i = 0; i < count; ++i)
        byRow[next[static_cast<std::size_t>(rows[i])]++] = static_cast<std::uint16_t>(columns[i]);

    const int bands = std::clamp(height / 64, 1, ParallelSlots() * 8);
    std::vector<RowPoints> lists(static_cast<std::size_t>(bands));
    for (int band = 0; band < bands; ++band) {
        RowPoints& list = lists[static_cast<std::size_t>(band)];
        const int ya = static_cast<int>(static_cast<long long>(height) * band / bands);
        const int yb = static_cast<int>(static_cast<long long>(height) * (band + 1) / bands);
        for (int y = ya; y < yb; ++y) {
            const std::uint32_t from = start[static_cast<std::size_t>(y)], to = start[static_cast<std::size_t>(y) + 1];
            if (from == to)
                continue;
            if (!list.rows.empty())
                list.starts.push_back(static_cast<std::uint32_t>(list.columns.size()));
            list.rows.push_back(y);
            list.columns.insert(list.columns.end(), byRow.begin() + from, byRow.begin() + to);
        }
        if (!list.rows.empty()) {
            list.starts.push_back(static_cast<std::uint32_t>(list.columns.size()));
            list.columns.resize(list.columns.size() + kSpareColumns);
        }
    }
    return lists;
}

} // namespace

void RgbToGray(const BYTE* rgb, BYTE* out, int width, int height) {
    RoutineTrace trace(u"RgbToGray");
    GreyFromRgb(rgb, out, width, height);
}

void BwToGray(const BYTE* bits, BYTE* out, int width, int height) {
    RoutineTrace trace(u"BwToGray");
    ExpandBits(bits, out, width, height, 1);
}

void GrayToBW(const BYTE* bytes, BYTE* out, int width, int height) {
    RoutineTrace trace(u"GrayToBW");
    PackBits(bytes, out, width, height);
}

int auto_crop(const BYTE* data, BYTE* out, ImgProcParam* param) {
    RoutineTrace trace(u"auto_crop");
    try {
        return Crop(data, out, param);
    } catch (const std::bad_alloc&) {
        OutputDebugStringW(u"pGray == NULL");
        return 0;
    }
}

float auto_deskew(const BYTE* grey, int width, int height, int mode, int dpi) {
    RoutineTrace trace(u"auto_deskew");
    try {
        return Deskew(grey, width, height, mode, dpi);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

float DetectSkewAngle(const int rows[], const int columns[], int count, int width, int height) {
    RoutineTrace trace(u"DetectSkewAngle");
    if (rows == nullptr || columns == nullptr || count <= 0)
        return 0;
    try {
        const std::size_t n = static_cast<std::size_t>(count);
        if (width > 0 && width <= 65535 && height > 0) {
            bool onPage = true;
            for (std::size_t i = 0; i < n && onPage; ++i)
                onPage = rows[i] >= 0 && rows[i] < height && columns[i] >= 0 && columns[i] < width;
            if (onPage)
                return Hough(PointsByRow(rows, columns, n, height), width, height);
        }
        return Hough({PointSpan{rows, columns, n}}, width, height);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::unique_ptr<BYTE[]> normal_rotate(const BYTE* data, ImgProcParam* param) {
    RoutineTrace trace(u"normal_rotate");
    if (data == nullptr || param == nullptr || param->width <= 0 || param->height <= 0 || param->mode < 0 ||
        param->mode > 2)
        return nullptr;
    const int width = param->width, height = param->height;
    const std::size_t pixels = PixelCount(width, height);
    std::unique_ptr<BYTE[]> result;
    try {
        if (param->mode == 0) {
            result = TryAllocateUninitialised(BitRowBytes(width) * static_cast<std::size_t>(height));
            if (!result)
                return nullptr;
            Rotate<1>(data, result.get(), width, height, param->angle, 1, true);
            RoutineTrace packed(u"GrayToBW"); // the rows were packed as they were turned
        } else if (param->mode == 1) {
            result = TryAllocateUninitialised(pixels);
            if (!result)
                return nullptr;
            Rotate<1>(data, result.get(), width, height, param->angle, 255, false);
        } else {
            result = TryAllocateUninitialised(pixels * 3);
            if (!result)
                return nullptr;
            Rotate<3>(data, result.get(), width, height, param->angle, 255, false);
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    param->outWidth = width;
    param->outHeight = height;
    return result;
}
