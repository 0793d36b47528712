// The model's feature and platform flags and the defaults that depend on them. Each flag is 0 at load and only
// ever set to 1, never written back. Atomic: the scan threads read what the window's thread sets.
#pragma once

#include "platform/base/windows.h"

#include <atomic>

extern std::atomic<BOOL> g_bIsPlatformWren;
extern std::atomic<BOOL> g_bIsPlatformWren_RGB;
extern std::atomic<BOOL> g_bIsPlatformIbis;
extern std::atomic<BOOL> g_bIsBriselA3;
extern std::atomic<BOOL> g_bIsPlatformOrca;
extern std::atomic<BOOL> g_bHasA3;
extern std::atomic<BOOL> g_bHasAutoCrop;
extern std::atomic<BOOL> g_bHasHorizontal;

// Each reads its "IsPlatform...(%s)" key(s) of [TWAIN] and sets its flag(s) on an exact "TRUE".
void ReadPlatformWrenFlags();
void ReadPlatformIbisFlag();
void ReadBriselA3Flag();

// Sets g_bIsPlatformOrca when the model folder is exactly "kvx7718"; answers the flag.
BOOL CheckPlatformOrcaFolder();

// The dpi of each resolution index (75, 150, 300, 600, 1200). On PlatformWren models without RGB the basic
// settings page makes index 3 400 dpi for the life of the module; everything that turns an index into dpi reads
// this table.
inline constexpr int kResolutionCount = 5;
extern std::atomic<int> g_nResolutionDpi[kResolutionCount];

int GetDefaultGamma();          // gamma times 10
int GetDefaultThreshold();      // black-and-white threshold
UINT GetDefaultErrorStringId(); // the generic device-error message
int GetDefaultPaperIndex();     // into the flatbed paper list
