// The image-effect library: tone adjustments of the preview, the histogram, the brightness-and-contrast table and
// right-angle rotation, computed by the separate library "<File Prefix>Tonalis.dll" in the module's folder.
//
// A CEffectLibrary is a local object around one use: its constructor loads the library, its destructor frees it.
// Each member looks its entry point up at the call and answers 4 when the library is not loaded, 5 when the entry
// point is missing, else the entry point's own result (0 done; the library's failures are 1 to 3).
//
// Images are plain buffers of height x bytesPerLine bytes, rows top first, 24-bit pixels as red, green, blue, worked
// on in place. EffectImageInfo and the four-channel records (combined, red, green, blue) go by value, 16 bytes each:
//
// offset  EffectImageInfo      EffectChannels
//      0  int32 height         int32 value[0] combined
//      4  int32 bytesPerLine   int32 value[1] red
//      8  int32 width          int32 value[2] green
//     12  int32 bitsPerPixel   int32 value[3] blue
#pragma once

#include "platform/base/windows.h"
#include "settings/ScanParam.h"

#include <cstdint>

struct EffectImageInfo {
    std::int32_t height;
    std::int32_t bytesPerLine;
    std::int32_t width;
    std::int32_t bitsPerPixel;
};
static_assert(sizeof(EffectImageInfo) == 16);

struct EffectChannels {
    std::int32_t value[4];
};
static_assert(sizeof(EffectChannels) == 16);

// Margins of the preview in pixels (left, right) and rows (top, bottom).
struct EffectMargins {
    int left;
    int right;
    int top;
    int bottom;
};

class CEffectLibrary {
public:
    static constexpr int kNoLibrary = 4;
    static constexpr int kNoEntryPoint = 5;
    static constexpr int kHistogramSize = 4200; // the record GetHistogramData fills

    // Loads "<module folder><g_szEffectLibName>"; logs "load Tonalis.dll fail!" when it cannot.
    CEffectLibrary();
    ~CEffectLibrary();
    CEffectLibrary(const CEffectLibrary&) = delete;
    CEffectLibrary& operator=(const CEffectLibrary&) = delete;

    BOOL IsLoaded() const { return m_hModule != nullptr; }

    // (width x bitsPerPixel + 7) / 8: rows are not padded to 4 bytes.
    static int ComputeBytesPerLine(int width, int bitsPerPixel);

    int ChangeGamma(EffectImageInfo info, BYTE* data, float gamma);
    int Change_BrightAndConsent(EffectImageInfo info, BYTE* data, const int brightness[4], const int contrast[4]);
    int ColorCurse_Ajust(EffectImageInfo info, BYTE* data, const int curve[4]);
    int Theashold_Preview(EffectImageInfo info, BYTE* data, int threshold);
    int ChangeToGray_Preview(EffectImageInfo info, BYTE* data);
    int CorrectFading(EffectImageInfo info, BYTE* data, int level);
    int Descreen(EffectImageInfo info, BYTE* data);
    // Nothing happens without the library or the entry point.
    void SetGrayPreviewFlag(int flag);
    // Maps each entry of lut (the caller passes the identity 0..255) through brightness and contrast.
    int Curve_BrightAndConsent(int brightness, int contrast, BYTE lut[256]);
    // out: kHistogramSize bytes, zeroed by the caller.
    int GetHistogramData(void* out, EffectImageInfo info, BYTE* data);
    // Turns the source counter-clockwise by 90, 180 or 270 degrees into the destination (its size turned with it).
    // Anything but 0 means the destination holds no turned page.
    int RotationImg(int angle, EffectImageInfo source, BYTE* sourceData, EffectImageInfo destination,
                    BYTE* destinationData);

    // The preview's adjustments in the order its colour mode asks for; the first non-zero result, or the last
    // step's.
    int ApplyPreviewEffects(EffectImageInfo info, BYTE* data, const ScanParam& param);
    // Whitens (0xFF) what lies in the margins of a strip holding rows firstLine .. firstLine + height - 1 of an
    // image of totalLines rows. Each side margin is clamped to the row. 1 when data is null, else 0.
    static int WhiteOutMargins(EffectImageInfo strip, BYTE* data, EffectMargins margins, int firstLine, int totalLines);

private:
    template <typename Entry, typename... Args> int Call(const char* name, Args... args);

    HMODULE m_hModule = nullptr;
};
