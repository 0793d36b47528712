#include "settings/PlatformFlags.h"

#include "settings/IniPath.h"

std::atomic<BOOL> g_bIsPlatformWren{FALSE};
std::atomic<BOOL> g_bIsPlatformWren_RGB{FALSE};
std::atomic<BOOL> g_bIsPlatformIbis{FALSE};
std::atomic<BOOL> g_bIsBriselA3{FALSE};
std::atomic<BOOL> g_bIsPlatformOrca{FALSE};
std::atomic<BOOL> g_bHasA3{FALSE};
std::atomic<BOOL> g_bHasAutoCrop{FALSE};
std::atomic<BOOL> g_bHasHorizontal{FALSE};
std::atomic<int> g_nResolutionDpi[kResolutionCount] = {75, 150, 300, 600, 1200};

namespace {
void SetWhenTrue(std::atomic<BOOL>& flag, LPCWSTR keyFormat) {
    if (ModelValueIs(keyFormat, u"TRUE"))
        flag = TRUE;
}
} // namespace

void ReadPlatformWrenFlags() {
    SetWhenTrue(g_bIsPlatformWren, u"IsPlatformWren(%s)");
    SetWhenTrue(g_bIsPlatformWren_RGB, u"IsPlatformWren_RGB(%s)");
}

void ReadPlatformIbisFlag() {
    SetWhenTrue(g_bIsPlatformIbis, u"IsPlatformIbis(%s)");
}

void ReadBriselA3Flag() {
    SetWhenTrue(g_bIsBriselA3, u"IsBriselA3(%s)");
}

BOOL CheckPlatformOrcaFolder() {
    WCHAR ini[MAX_PATH];
    GetIniPath(ini); // refreshes the model folder name
    WCHAR name[MAX_PATH];
    GetModelKeyName(name);
    if (wcscmp(name, u"kvx7718") == 0)
        g_bIsPlatformOrca = TRUE;
    return g_bIsPlatformOrca;
}

int GetDefaultGamma() {
    return (g_bIsPlatformWren || g_bIsPlatformIbis) ? 10 : 18;
}

int GetDefaultThreshold() {
    return (g_bIsPlatformIbis || g_bIsPlatformWren) ? 183 : 72;
}

UINT GetDefaultErrorStringId() {
    return g_bIsPlatformIbis ? 1154 : 1101;
}

int GetDefaultPaperIndex() {
    return g_bHasA3 ? 7 : 5;
}
