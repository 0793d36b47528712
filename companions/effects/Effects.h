// The image-effect library's own workings behind its entry points (Exports.cpp checks the arguments first).
#pragma once

#include "companions/effects/Tonalis.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tonalis {

// A checked image: width pixels of `channels` bytes each (1 or 3; 0 for a 1-bit image) in rows `stride` apart.
struct Image {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    int channels = 0;

    std::uint8_t* Row(int y) const { return data + static_cast<std::size_t>(y) * stride; }
    bool Empty() const { return width == 0 || height == 0; }
};

using Table = std::array<std::uint8_t, 256>;

inline std::uint8_t Luminance(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
}

// Tables (Tone.cpp).
Table IdentityTable();
Table GammaTable(double gamma);
std::uint8_t BrightContrast(int brightness, int contrast, std::uint8_t v);
Table BrightContrastTable(int brightness, int contrast);
Table PresetTable(int preset);
Table Compose(const Table& first, const Table& then);

// In-place operations on checked images (Tone.cpp).
// Every byte through `combined`; on 3-channel images byte c of each pixel then through perChannel[c].
void ApplyTables(const Image& image, const Table& combined, const std::array<Table, 3>& perChannel);
// 3-channel pixels take table[luminance] in all three bytes; 1-channel bytes take table[byte].
void ApplyToLuminance(const Image& image, const Table& table);

// Filters.cpp (working buffers may throw std::bad_alloc).
void DescreenImage(const Image& image);
void CorrectFadingImage(const Image& image, int level);

// Histogram.cpp.
void FillHistogram(const Image& image, TonalisHistogram& out);

// Rotation.cpp: counter-clockwise by 90, 180 or 270 degrees; destination checked to be the turned size. 1-bit
// images give channels 0.
void RotateImage(int angle, const Image& source, const Image& destination);

} // namespace tonalis
