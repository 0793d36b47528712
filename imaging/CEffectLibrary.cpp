#include "imaging/CEffectLibrary.h"

#include "platform/base/module.h"
#include "settings/CompanionNames.h"
#include "settings/DebugOutput.h"

#include <algorithm>
#include <cstring>

namespace {

using ImageEntry = int (*)(EffectImageInfo, BYTE*);
using ImageValueEntry = int (*)(EffectImageInfo, BYTE*, int);
using GammaEntry = int (*)(EffectImageInfo, BYTE*, float);
using ChannelsEntry = int (*)(EffectImageInfo, BYTE*, EffectChannels);
using BrightContrastEntry = int (*)(EffectImageInfo, BYTE*, EffectChannels, EffectChannels);
using FlagEntry = void (*)(int);
using TableEntry = int (*)(int, int, BYTE*);
using HistogramEntry = int (*)(void*, EffectImageInfo, BYTE*);
using RotationEntry = int (*)(int, EffectImageInfo, BYTE*, EffectImageInfo, BYTE*);

EffectChannels Channels(const int values[4]) {
    EffectChannels c;
    std::copy(values, values + 4, c.value);
    return c;
}

} // namespace

CEffectLibrary::CEffectLibrary() {
    WCHAR path[MAX_PATH];
    if (GetCompanionPath(g_szEffectLibName, path))
        m_hModule = LoadLibraryW(path);
    if (m_hModule == nullptr)
        DebugPrint(u"load Tonalis.dll fail!");
}

CEffectLibrary::~CEffectLibrary() {
    if (m_hModule != nullptr)
        FreeLibrary(m_hModule);
}

int CEffectLibrary::ComputeBytesPerLine(int width, int bitsPerPixel) {
    return static_cast<int>((static_cast<std::int64_t>(width) * bitsPerPixel + 7) / 8);
}

template <typename Entry, typename... Args> int CEffectLibrary::Call(const char* name, Args... args) {
    if (m_hModule == nullptr)
        return kNoLibrary;
    auto entry = reinterpret_cast<Entry>(GetProcAddress(m_hModule, name));
    if (entry == nullptr)
        return kNoEntryPoint;
    return entry(args...);
}

int CEffectLibrary::ChangeGamma(EffectImageInfo info, BYTE* data, float gamma) {
    return Call<GammaEntry>("ChangeGamma", info, data, gamma);
}

int CEffectLibrary::Change_BrightAndConsent(EffectImageInfo info, BYTE* data, const int brightness[4],
                                            const int contrast[4]) {
    return Call<BrightContrastEntry>("Change_BrightAndConsent", info, data, Channels(brightness), Channels(contrast));
}

int CEffectLibrary::ColorCurse_Ajust(EffectImageInfo info, BYTE* data, const int curve[4]) {
    return Call<ChannelsEntry>("ColorCurse_Ajust", info, data, Channels(curve));
}

int CEffectLibrary::Theashold_Preview(EffectImageInfo info, BYTE* data, int threshold) {
    return Call<ImageValueEntry>("Theashold_Preview", info, data, threshold);
}

int CEffectLibrary::ChangeToGray_Preview(EffectImageInfo info, BYTE* data) {
    return Call<ImageEntry>("ChangeToGray_Preview", info, data);
}

int CEffectLibrary::CorrectFading(EffectImageInfo info, BYTE* data, int level) {
    return Call<ImageValueEntry>("CorrectFading", info, data, level);
}

int CEffectLibrary::Descreen(EffectImageInfo info, BYTE* data) {
    return Call<ImageEntry>("Descreen", info, data);
}

void CEffectLibrary::SetGrayPreviewFlag(int flag) {
    if (m_hModule == nullptr)
        return;
    if (auto entry = reinterpret_cast<FlagEntry>(GetProcAddress(m_hModule, "SetGrayPreviewFlag")))
        entry(flag);
}

int CEffectLibrary::Curve_BrightAndConsent(int brightness, int contrast, BYTE lut[256]) {
    return Call<TableEntry>("Curve_BrightAndConsent", brightness, contrast, lut);
}

int CEffectLibrary::GetHistogramData(void* out, EffectImageInfo info, BYTE* data) {
    return Call<HistogramEntry>("GetHistogramData", out, info, data);
}

int CEffectLibrary::RotationImg(int angle, EffectImageInfo source, BYTE* sourceData, EffectImageInfo destination,
                                BYTE* destinationData) {
    return Call<RotationEntry>("RotationImg", angle, source, sourceData, destination, destinationData);
}

int CEffectLibrary::ApplyPreviewEffects(EffectImageInfo info, BYTE* data, const ScanParam& param) {
    const std::int32_t* adv = param.adv;
    if (param.colorMode == 0) { // black and white
        if (int r = ChangeToGray_Preview(info, data))
            return r;
        SetGrayPreviewFlag(1);
        int r = ChangeGamma(info, data, 1.0f);
        SetGrayPreviewFlag(0);
        if (r != 0)
            return r;
        return Theashold_Preview(info, data, adv[13]);
    }
    const bool grey = param.colorMode == 1;
    if (grey) {
        if (int r = ChangeToGray_Preview(info, data))
            return r;
    }
    if (int r = Descreen(info, data))
        return r;
    SetGrayPreviewFlag(grey ? 1 : 0);
    int r = ChangeGamma(info, data, static_cast<float>(adv[12] / 10.0));
    if (grey)
        SetGrayPreviewFlag(0);
    if (r != 0)
        return r;
    if (!grey) {
        if (int fading = CorrectFading(info, data, adv[15]))
            return fading;
    }
    if (int curve = ColorCurse_Ajust(info, data, adv + 8))
        return curve;
    return Change_BrightAndConsent(info, data, adv + 0, adv + 4);
}

int CEffectLibrary::WhiteOutMargins(EffectImageInfo strip, BYTE* data, EffectMargins margins, int firstLine,
                                    int totalLines) {
    if (data == nullptr)
        return 1;
    const std::int64_t height = std::max(strip.height, 0);
    const std::int64_t stride = std::max(strip.bytesPerLine, 0);
    auto fillRows = [&](std::int64_t first, std::int64_t count) {
        std::memset(data + first * stride, 0xFF, static_cast<size_t>(count * stride));
    };

    const std::int64_t nTop = firstLine < margins.top ? std::min<std::int64_t>(margins.top - firstLine, height) : 0;
    fillRows(0, nTop);
    if (nTop == height)
        return 0;

    const std::int64_t end = static_cast<std::int64_t>(firstLine) + height;
    std::int64_t nBottom = 0;
    if (end >= static_cast<std::int64_t>(totalLines) - margins.bottom)
        nBottom = std::clamp<std::int64_t>(end + margins.bottom - totalLines, 0, height);
    fillRows(height - nBottom, nBottom);
    if (nBottom == height || nTop + nBottom >= height)
        return 0;

    // The side margins in bytes, each held inside the pixels of the row.
    const std::int64_t bpp = std::max(strip.bitsPerPixel, 0);
    const std::int64_t rowEnd = std::min(static_cast<std::int64_t>(std::max(strip.width, 0)) * bpp / 8, stride);
    const std::int64_t leftBytes = std::clamp<std::int64_t>(margins.left * bpp / 8, 0, rowEnd);
    const std::int64_t rightBytes = std::clamp<std::int64_t>(margins.right * bpp / 8, 0, rowEnd);
    for (std::int64_t y = nTop; y < height - nBottom; ++y) {
        BYTE* row = data + y * stride;
        std::memset(row, 0xFF, static_cast<size_t>(leftBytes));
        std::memset(row + rowEnd - rightBytes, 0xFF, static_cast<size_t>(rightBytes));
    }
    return 0;
}
