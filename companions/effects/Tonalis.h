// The image-effect library's entry points (C linkage, bound by name). Every operation works in place on a plain
// buffer described by a TonalisImageInfo passed by value; rows are bytesPerLine apart, top row first; 24-bit pixels
// are red, green, blue; 1-bit rows are most significant bit first. The four-value records (brightness, contrast,
// tone-curve preset) are passed by value too, indexed by channel: 0 combined, 1 red, 2 green, 3 blue.
//
// Results: 0 done; 1 a bad argument (null data, negative size, rows shorter than their pixels, gamma <= 0, an angle
// other than 90, 180, 270, a destination that does not fit); 2 a depth the operation does not take; 3 no memory.
#pragma once

#include <cstdint>

struct TonalisImageInfo {
    std::int32_t height;       // rows
    std::int32_t bytesPerLine; // distance between rows
    std::int32_t width;        // pixels
    std::int32_t bitsPerPixel; // 8 or 24 (1 for rotation too)
};
static_assert(sizeof(TonalisImageInfo) == 16);

struct TonalisChannels {
    std::int32_t value[4]; // combined, red, green, blue
};
static_assert(sizeof(TonalisChannels) == 16);

// The histogram record GetHistogramData fills (4200 bytes, little-endian). Bins are indexed red, green, blue,
// combined; the statistics by channel number: 0 combined, 1 red, 2 green, 3 blue.
//
// offset  content
//      0  uint32 bins[4][256]   the pixel count of each value: red, green, blue, combined (the luminance)
//   4096  double mean[4]        average value
//   4128  double median[4]      the lowest value that at least half of the pixels reach or stay below
//   4160  double deviation[4]   population standard deviation
//   4192  int32  pixels         width x height (the same for every channel)
//   4196  4 bytes               not written
struct TonalisHistogram {
    std::uint32_t bins[4][256];
    double mean[4];
    double median[4];
    double deviation[4];
    std::int32_t pixels;
    std::uint8_t reserved[4];
};
static_assert(sizeof(TonalisHistogram) == 4200);

enum {
    Tonalis_OK = 0,
    Tonalis_BAD_ARGUMENT = 1,
    Tonalis_BAD_DEPTH = 2,
    Tonalis_NO_MEMORY = 3,
};

extern "C" {

// Gamma: v' = 255 x (v / 255)^(1 / gamma), rounded. While the grey-preview flag is set, a 24-bit pixel takes the
// corrected luminance in all three bytes; otherwise each byte is corrected on its own. 8 and 24 bits.
int ChangeGamma(TonalisImageInfo info, unsigned char* data, float gamma);
// Brightness and contrast (each -100..100, clamped) through the table of Curve_BrightAndConsent: the combined pair
// on every byte, then on 24-bit images each channel's own pair on its byte. 8 and 24 bits.
int Change_BrightAndConsent(TonalisImageInfo info, unsigned char* data, TonalisChannels brightness,
                            TonalisChannels contrast);
// Tone-curve presets (0 linear, 1 lighten, 2 darken, 3 more contrast, 4 negative; any other index linear): the
// combined preset on every byte, then on 24-bit images each channel's preset on its byte. 8 and 24 bits.
int ColorCurse_Ajust(TonalisImageInfo info, unsigned char* data, TonalisChannels curve);
// Black and white: a pixel whose luminance is below the threshold becomes 0, any other 255. 8 and 24 bits.
int Theashold_Preview(TonalisImageInfo info, unsigned char* data, int threshold);
// Grey: each 24-bit pixel takes its luminance (299 R + 587 G + 114 B + 500) / 1000 in all three bytes; 8-bit
// images are grey already. 8 and 24 bits.
int ChangeToGray_Preview(TonalisImageInfo info, unsigned char* data);
// Fading correction, level 0 (none) to 3 (full; higher levels count as 3): each channel's levels are stretched so
// that its darkest and brightest 0.5 % of pixels reach 0 and 255, blended with the original by level / 3. 8 and 24
// bits.
int CorrectFading(TonalisImageInfo info, unsigned char* data, int level);
// Descreen: a 3 x 3 binomial low-pass (1 2 1 / 2 4 2 / 1 2 1, sum 16) over each channel, edges repeated, which
// flattens halftone dots of a period of two or three pixels. 8 and 24 bits.
int Descreen(TonalisImageInfo info, unsigned char* data);
// The grey-preview flag ChangeGamma reads (0 at load).
void SetGrayPreviewFlag(int flag);
// Maps each table entry v through contrast about mid-grey, then brightness: v' = k (v - 128) + 128 + 1.28 b,
// rounded and clamped to 0..255, where with C = 2.55 c, k = 259 (C + 255) / (255 (259 - C)). b and c are clamped
// to -100..100; (0, 0) leaves the table as it is.
int Curve_BrightAndConsent(int brightness, int contrast, unsigned char lut[256]);
// Fills a TonalisHistogram (the caller's 4200 bytes) for an 8- or 24-bit image; an 8-bit image counts its values
// in all four bins.
int GetHistogramData(void* out, TonalisImageInfo info, unsigned char* data);
// Turns the source counter-clockwise by 90, 180 or 270 degrees into the destination, which must not overlap it
// and must be the turned size (width and height exchanged for 90 and 270) at the same depth. 1, 8 and 24 bits.
int RotationImg(int angle, TonalisImageInfo source, unsigned char* sourceData, TonalisImageInfo destination,
                unsigned char* destinationData);
}
