// The image-effect library's entry points: each checks its image, then works in place. Nothing thrown leaves an
// entry point.
#include "companions/effects/Effects.h"
#include "companions/effects/Tonalis.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <new>

#define TONALIS_EXPORT extern "C" __attribute__((visibility("default")))

namespace tonalis {
namespace {

std::atomic<int> g_grayPreview{0};

// Checks a descriptor against the depths an operation takes and fills `image`; 0 or the result to give.
int Check(const TonalisImageInfo& info, unsigned char* data, std::initializer_list<int> depths, Image& image) {
    bool depthTaken = false;
    for (int depth : depths)
        depthTaken = depthTaken || info.bitsPerPixel == depth;
    if (!depthTaken)
        return Tonalis_BAD_DEPTH;
    if (info.width < 0 || info.height < 0 || info.bytesPerLine < 0)
        return Tonalis_BAD_ARGUMENT;
    const std::int64_t rowBytes = (static_cast<std::int64_t>(info.width) * info.bitsPerPixel + 7) / 8;
    if (rowBytes > info.bytesPerLine)
        return Tonalis_BAD_ARGUMENT;
    if (data == nullptr && info.width > 0 && info.height > 0)
        return Tonalis_BAD_ARGUMENT;
    image = {data, info.width, info.height, static_cast<std::size_t>(info.bytesPerLine), info.bitsPerPixel / 8};
    return Tonalis_OK;
}

// Runs an operation on a checked 8- or 24-bit image.
template <typename Work> int OnImage(const TonalisImageInfo& info, unsigned char* data, Work work) {
    try {
        Image image;
        if (int r = Check(info, data, {8, 24}, image))
            return r;
        work(image);
        return Tonalis_OK;
    } catch (const std::bad_alloc&) {
        return Tonalis_NO_MEMORY;
    } catch (...) {
        return Tonalis_BAD_ARGUMENT;
    }
}

// The tables of the red, green and blue entries (1 to 3) of a four-channel record.
template <typename Make> std::array<Table, 3> ChannelTables(Make make) {
    return {make(1), make(2), make(3)};
}

} // namespace
} // namespace tonalis

using namespace tonalis;

TONALIS_EXPORT int ChangeGamma(TonalisImageInfo info, unsigned char* data, float gamma) {
    if (!(gamma > 0))
        return Tonalis_BAD_ARGUMENT;
    return OnImage(info, data, [&](const Image& image) {
        const Table table = GammaTable(gamma);
        if (g_grayPreview.load() != 0)
            ApplyToLuminance(image, table);
        else
            ApplyTables(image, table, {IdentityTable(), IdentityTable(), IdentityTable()});
    });
}

TONALIS_EXPORT int Change_BrightAndConsent(TonalisImageInfo info, unsigned char* data, TonalisChannels brightness,
                                           TonalisChannels contrast) {
    return OnImage(info, data, [&](const Image& image) {
        ApplyTables(image, BrightContrastTable(brightness.value[0], contrast.value[0]),
                    ChannelTables([&](int c) { return BrightContrastTable(brightness.value[c], contrast.value[c]); }));
    });
}

TONALIS_EXPORT int ColorCurse_Ajust(TonalisImageInfo info, unsigned char* data, TonalisChannels curve) {
    return OnImage(info, data, [&](const Image& image) {
        ApplyTables(image, PresetTable(curve.value[0]),
                    ChannelTables([&](int c) { return PresetTable(curve.value[c]); }));
    });
}

TONALIS_EXPORT int Theashold_Preview(TonalisImageInfo info, unsigned char* data, int threshold) {
    return OnImage(info, data, [&](const Image& image) {
        Table table;
        for (int v = 0; v < 256; ++v)
            table[static_cast<std::size_t>(v)] = v < threshold ? 0 : 255;
        ApplyToLuminance(image, table);
    });
}

TONALIS_EXPORT int ChangeToGray_Preview(TonalisImageInfo info, unsigned char* data) {
    return OnImage(info, data, [&](const Image& image) {
        if (image.channels == 3)
            ApplyToLuminance(image, IdentityTable());
    });
}

TONALIS_EXPORT int CorrectFading(TonalisImageInfo info, unsigned char* data, int level) {
    return OnImage(info, data, [&](const Image& image) { CorrectFadingImage(image, level); });
}

TONALIS_EXPORT int Descreen(TonalisImageInfo info, unsigned char* data) {
    return OnImage(info, data, [&](const Image& image) { DescreenImage(image); });
}

TONALIS_EXPORT void SetGrayPreviewFlag(int flag) {
    g_grayPreview.store(flag);
}

TONALIS_EXPORT int Curve_BrightAndConsent(int brightness, int contrast, unsigned char lut[256]) {
    if (lut == nullptr)
        return Tonalis_BAD_ARGUMENT;
    for (int i = 0; i < 256; ++i)
        lut[i] = BrightContrast(brightness, contrast, lut[i]);
    return Tonalis_OK;
}

TONALIS_EXPORT int GetHistogramData(void* out, TonalisImageInfo info, unsigned char* data) {
    if (out == nullptr)
        return Tonalis_BAD_ARGUMENT;
    return OnImage(info, data, [&](const Image& image) { FillHistogram(image, *static_cast<TonalisHistogram*>(out)); });
}

TONALIS_EXPORT int RotationImg(int angle, TonalisImageInfo source, unsigned char* sourceData,
                               TonalisImageInfo destination, unsigned char* destinationData) {
    if (angle != 90 && angle != 180 && angle != 270)
        return Tonalis_BAD_ARGUMENT;
    Image from, to;
    if (int r = Check(source, sourceData, {1, 8, 24}, from))
        return r;
    if (int r = Check(destination, destinationData, {1, 8, 24}, to))
        return r;
    const bool turned = angle != 180;
    if (destination.bitsPerPixel != source.bitsPerPixel || to.width != (turned ? from.height : from.width) ||
        to.height != (turned ? from.width : from.height))
        return Tonalis_BAD_ARGUMENT;
    if (from.Empty())
        return Tonalis_OK;
    const std::uint8_t* fromEnd =
        from.Row(from.height - 1) + (static_cast<std::size_t>(from.width) * source.bitsPerPixel + 7) / 8;
    const std::uint8_t* toEnd =
        to.Row(to.height - 1) + (static_cast<std::size_t>(to.width) * destination.bitsPerPixel + 7) / 8;
    if (from.data < toEnd && to.data < fromEnd)
        return Tonalis_BAD_ARGUMENT; // turning in place would read pixels already written
    RotateImage(angle, from, to);
    return Tonalis_OK;
}
