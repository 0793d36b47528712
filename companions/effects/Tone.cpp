// Tone tables (gamma, brightness and contrast, tone-curve presets) and their application in place.
#include "companions/effects/Effects.h"

#include <algorithm>
#include <cmath>

namespace tonalis {

namespace {

std::uint8_t ClampByte(double v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

} // namespace

Table IdentityTable() {
    Table t;
    for (int i = 0; i < 256; ++i)
        t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return t;
}

Table GammaTable(double gamma) {
    Table t;
    for (int i = 0; i < 256; ++i)
        t[static_cast<std::size_t>(i)] = ClampByte(std::round(255.0 * std::pow(i / 255.0, 1.0 / gamma)));
    return t;
}

std::uint8_t BrightContrast(int brightness, int contrast, std::uint8_t v) {
    brightness = std::clamp(brightness, -100, 100);
    contrast = std::clamp(contrast, -100, 100);
    if (brightness == 0 && contrast == 0)
        return v;
    const double c = 2.55 * contrast;
    const double k = 259.0 * (c + 255.0) / (255.0 * (259.0 - c));
    return ClampByte(std::round(k * (v - 128.0) + 128.0 + 1.28 * brightness));
}

Table BrightContrastTable(int brightness, int contrast) {
    Table t;
    for (int i = 0; i < 256; ++i)
        t[static_cast<std::size_t>(i)] = BrightContrast(brightness, contrast, static_cast<std::uint8_t>(i));
    return t;
}

// The five presets as the tone-curve dialog draws them, so the preview follows its graph.
Table PresetTable(int preset) {
    Table t;
    for (int i = 0; i < 256; ++i) {
        const double x = i;
        int v = i;
        switch (preset) {
        case 1: { // lighten
            double y = (0.03168 + 6.6347 * x) / (1 + 0.024496 * x - 8.9e-6 * x * x) + 0.5;
            v = static_cast<int>(std::lround(std::min(y, 255.0)));
            break;
        }
        case 2: { // darken
            double y = std::pow(x, 1.5) * 255 * std::pow(255.0, -1.5);
            v = static_cast<int>(std::floor(std::min(y, 255.0) + 0.5));
            break;
        }
        case 3: // more contrast
            v = static_cast<int>(((-3.977e-5 * x + 0.0152614) * x - 0.283512) * x - 0.753321);
            break;
        case 4: // negative (256 at 0 is one above the range)
            v = 256 - i;
            break;
        default:
            break;
        }
        t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
    }
    return t;
}

Table Compose(const Table& first, const Table& then) {
    Table t;
    for (std::size_t i = 0; i < 256; ++i)
        t[i] = then[first[i]];
    return t;
}

void ApplyTables(const Image& image, const Table& combined, const std::array<Table, 3>& perChannel) {
    if (image.channels == 1) {
        for (int y = 0; y < image.height; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x)
                p[x] = combined[p[x]];
        }
        return;
    }
    std::array<Table, 3> tables;
    for (std::size_t c = 0; c < 3; ++c)
        tables[c] = Compose(combined, perChannel[c]);
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* p = image.Row(y);
        for (int x = 0; x < image.width; ++x, p += 3) {
            p[0] = tables[0][p[0]];
            p[1] = tables[1][p[1]];
            p[2] = tables[2][p[2]];
        }
    }
}

void ApplyToLuminance(const Image& image, const Table& table) {
    if (image.channels == 1) {
        ApplyTables(image, table, {});
        return;
    }
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* p = image.Row(y);
        for (int x = 0; x < image.width; ++x, p += 3)
            p[0] = p[1] = p[2] = table[Luminance(p[0], p[1], p[2])];
    }
}

} // namespace tonalis
