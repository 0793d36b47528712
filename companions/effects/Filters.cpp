// Descreen (a binomial low-pass) and fading correction (a per-channel levels stretch).
#include "companions/effects/Effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace tonalis {

void DescreenImage(const Image& image) {
    if (image.Empty())
        return;
    const int n = image.channels;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(n);
    // The original rows above and at the row being written; the row below is still unwritten in the image.
    std::vector<std::uint8_t> above(image.Row(0), image.Row(0) + rowBytes);
    std::vector<std::uint8_t> here = above;
    std::vector<std::uint16_t> column(rowBytes); // vertical 1-2-1 sums of the row
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* below = y + 1 < image.height ? image.Row(y + 1) : here.data();
        for (std::size_t i = 0; i < rowBytes; ++i)
            column[i] = static_cast<std::uint16_t>(above[i] + 2 * here[i] + below[i]);
        std::uint8_t* out = image.Row(y);
        for (int x = 0; x < image.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(x) * static_cast<std::size_t>(n);
            const std::size_t left = x > 0 ? at - static_cast<std::size_t>(n) : at;
            const std::size_t right = x + 1 < image.width ? at + static_cast<std::size_t>(n) : at;
            for (int c = 0; c < n; ++c) {
                const std::size_t k = static_cast<std::size_t>(c);
                out[at + k] =
                    static_cast<std::uint8_t>((column[left + k] + 2 * column[at + k] + column[right + k] + 8) / 16);
            }
        }
        std::swap(above, here);
        if (y + 1 < image.height)
            std::memcpy(here.data(), image.Row(y + 1), rowBytes);
    }
}

namespace {

// The stretch of one channel from its value counts: the darkest and brightest 0.5 % go to 0 and 255, blended
// with the identity by `strength` (0..1). A channel spanning fewer than 8 levels is left alone.
Table FadingTable(const std::uint64_t (&counts)[256], std::uint64_t total, double strength) {
    const std::uint64_t clip = total / 200;
    int low = 0, high = 255;
    std::uint64_t seen = 0;
    while (low < 255 && (seen += counts[low]) <= clip)
        ++low;
    seen = 0;
    while (high > 0 && (seen += counts[high]) <= clip)
        --high;
    Table t = IdentityTable();
    if (high - low < 8)
        return t;
    for (int v = 0; v < 256; ++v) {
        double stretched = std::clamp((v - low) * 255.0 / (high - low), 0.0, 255.0);
        t[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(std::lround(v + strength * (stretched - v)));
    }
    return t;
}

} // namespace

void CorrectFadingImage(const Image& image, int level) {
    if (level <= 0 || image.Empty())
        return;
    const double strength = std::min(level, 3) / 3.0;
    const int n = image.channels;
    std::uint64_t counts[3][256] = {};
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.Row(y);
        for (int x = 0; x < image.width; ++x)
            for (int c = 0; c < n; ++c)
                ++counts[c][*p++];
    }
    const std::uint64_t total = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
    std::array<Table, 3> tables;
    for (int c = 0; c < n; ++c)
        tables[static_cast<std::size_t>(c)] = FadingTable(counts[c], total, strength);
    // A grey image has its one table as the combined one; a colour image one per channel.
    ApplyTables(image, n == 1 ? tables[0] : IdentityTable(), tables);
}

} // namespace tonalis
