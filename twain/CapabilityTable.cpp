#include "twain/CapabilityTable.h"

std::atomic<int> g_nTwainPixelBits{24};
std::atomic<int> g_nTwainXResolution{300};
std::atomic<int> g_nTwainYResolution{300};
std::atomic<int> g_nTwainScanSize{1};
std::atomic<int> g_nTwainScanSource{0};

namespace {
float s_fXResolutionCurrent = 150.0f;
float s_fYResolutionCurrent = 150.0f;
} // namespace

void InitCapabilityTable() {}

void FreeCapabilityTable() {}

float GetCurrentXResolution() {
    return s_fXResolutionCurrent;
}

float GetCurrentYResolution() {
    return s_fYResolutionCurrent;
}
