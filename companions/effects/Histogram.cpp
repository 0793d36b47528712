// The histogram record: value counts per channel and the luminance, with mean, median and deviation.
#include "companions/effects/Effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tonalis {

void FillHistogram(const Image& image, TonalisHistogram& out) {
    std::uint64_t bins[4][256] = {}; // red, green, blue, combined
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.Row(y);
        if (image.channels == 1) {
            for (int x = 0; x < image.width; ++x)
                for (auto& bin : bins)
                    ++bin[p[x]];
            continue;
        }
        for (int x = 0; x < image.width; ++x, p += 3) {
            ++bins[0][p[0]];
            ++bins[1][p[1]];
            ++bins[2][p[2]];
            ++bins[3][Luminance(p[0], p[1], p[2])];
        }
    }
    const std::uint64_t total = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
    for (int b = 0; b < 4; ++b)
        for (int v = 0; v < 256; ++v)
            out.bins[b][v] = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(bins[b][v], std::numeric_limits<std::uint32_t>::max()));
    out.pixels = static_cast<std::int32_t>(std::min<std::uint64_t>(total, std::numeric_limits<std::int32_t>::max()));

    for (int channel = 0; channel < 4; ++channel) {
        const std::uint64_t* bin = bins[channel == 0 ? 3 : channel - 1];
        double mean = 0, median = 0, deviation = 0;
        if (total > 0) {
            double sum = 0;
            for (int v = 0; v < 256; ++v)
                sum += static_cast<double>(bin[v]) * v;
            mean = sum / static_cast<double>(total);
            double squares = 0;
            for (int v = 0; v < 256; ++v)
                squares += static_cast<double>(bin[v]) * (v - mean) * (v - mean);
            deviation = std::sqrt(squares / static_cast<double>(total));
            std::uint64_t seen = 0;
            int v = 0;
            while ((seen += bin[v]) * 2 < total)
                ++v;
            median = v;
        }
        out.mean[channel] = mean;
        out.median[channel] = median;
        out.deviation[channel] = deviation;
    }
}

} // namespace tonalis
