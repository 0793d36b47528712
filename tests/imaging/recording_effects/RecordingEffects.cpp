// Records each call as one line "<entry> <arguments>" and answers 0, or the result the test set for that entry.
#include "companions/effects/Tonalis.h"

#include <cstdio>
#include <map>
#include <string>

#define RECORDING_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string g_log;
std::map<std::string, int> g_results;

int Record(const std::string& entry, const std::string& arguments = {}) {
    g_log += entry + (arguments.empty() ? "" : " " + arguments) + "\n";
    auto it = g_results.find(entry);
    return it == g_results.end() ? 0 : it->second;
}

std::string Describe(const TonalisImageInfo& info, const unsigned char* data) {
    char text[96];
    std::snprintf(text, sizeof text, "%dx%d/%d/%d first=%d", info.width, info.height, info.bytesPerLine,
                  info.bitsPerPixel, data ? data[0] : -1);
    return text;
}

std::string Four(const TonalisChannels& c) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", c.value[0], c.value[1], c.value[2], c.value[3]);
    return text;
}

} // namespace

RECORDING_EXPORT const char* Recording_Log() {
    return g_log.c_str();
}
RECORDING_EXPORT void Recording_Reset() {
    g_log.clear();
    g_results.clear();
}
RECORDING_EXPORT void Recording_SetResult(const char* entry, int result) {
    g_results[entry] = result;
}

RECORDING_EXPORT int ChangeGamma(TonalisImageInfo info, unsigned char* data, float gamma) {
    char text[32];
    std::snprintf(text, sizeof text, " %.6g", gamma);
    return Record("ChangeGamma", Describe(info, data) + text);
}
RECORDING_EXPORT int Change_BrightAndConsent(TonalisImageInfo info, unsigned char* data, TonalisChannels brightness,
                                             TonalisChannels contrast) {
    return Record("Change_BrightAndConsent", Describe(info, data) + " " + Four(brightness) + " " + Four(contrast));
}
RECORDING_EXPORT int ColorCurse_Ajust(TonalisImageInfo info, unsigned char* data, TonalisChannels curve) {
    return Record("ColorCurse_Ajust", Describe(info, data) + " " + Four(curve));
}
RECORDING_EXPORT int Theashold_Preview(TonalisImageInfo info, unsigned char* data, int threshold) {
    return Record("Theashold_Preview", Describe(info, data) + " " + std::to_string(threshold));
}
RECORDING_EXPORT int ChangeToGray_Preview(TonalisImageInfo info, unsigned char* data) {
    return Record("ChangeToGray_Preview", Describe(info, data));
}
RECORDING_EXPORT int CorrectFading(TonalisImageInfo info, unsigned char* data, int level) {
    return Record("CorrectFading", Describe(info, data) + " " + std::to_string(level));
}
RECORDING_EXPORT int Descreen(TonalisImageInfo info, unsigned char* data) {
    return Record("Descreen", Describe(info, data));
}
RECORDING_EXPORT void SetGrayPreviewFlag(int flag) {
    Record("SetGrayPreviewFlag", std::to_string(flag));
}
RECORDING_EXPORT int GetHistogramData(void* out, TonalisImageInfo info, unsigned char* data) {
    return Record("GetHistogramData", Describe(info, data) + (out ? " out" : " null"));
}
RECORDING_EXPORT int RotationImg(int angle, TonalisImageInfo source, unsigned char* sourceData,
                                 TonalisImageInfo destination, unsigned char* destinationData) {
    return Record("RotationImg", std::to_string(angle) + " " + Describe(source, sourceData) + " " +
                                     Describe(destination, destinationData));
}
