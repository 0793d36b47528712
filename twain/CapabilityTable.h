// The capability table and the window-less scan settings kept beside it. The table's rows exist from MSG_OPENDS to
// MSG_CLOSEDS; the values they point at are static and live (with every MSG_SET change) for the life of the module.
//
// Values are kept in an internal form: 8- and 16-bit types as such, FIX32 as a float, a frame as four floats in the
// order top, left, right, bottom, a TW_STR32 as 34 bytes.
//
// Containers built for the application (moveable global blocks the application frees), byte offsets:
//   ONEVALUE     0 ItemType, 2 the item inline (16-bit items zero-extended to 32 bits); item size + 6 bytes
//   ENUMERATION  0 ItemType, 2 NumItems, 6 CurrentIndex, 10 DefaultIndex, 14 items; count * item size + 15 bytes
//   ARRAY        0 ItemType, 2 NumItems, 6 items; count * item size + 7 bytes
//   RANGE        0 ItemType, 2 Min, 6 Max, 10 Step, 14 Default, 18 Current; 22 bytes
#pragma once

#include "twain/TwainCall.h"

#include "platform/base/windows.h"
#include "platform/twain/twain.h"

#include <atomic>

// Set by capability MSG_SET, read by the scan without a window.
extern std::atomic<int> g_nTwainPixelBits;
extern std::atomic<int> g_nTwainXResolution;
extern std::atomic<int> g_nTwainYResolution;
extern std::atomic<int> g_nTwainScanSize;
extern std::atomic<int> g_nTwainScanSource;
// Custom capability 0x8124: while set the window sends no image adjustments to the driver. (0x8123 sets g_bAppMode
// of settings/SettingStore.h.)
extern std::atomic<BOOL> g_bSkipScanAdjust;
// The paper flag the end-of-transfer handler keeps; MSG_GET of CAP_FEEDERLOADED reports it.
extern std::atomic<BOOL> g_bPaperInFeeder;

inline constexpr TW_UINT16 CAP_APPMODE = 0x8123;
inline constexpr TW_UINT16 CAP_SKIPSCANADJUST = 0x8124;

struct CapabilityValues {
    TW_UINT32 count;
    void* items;
};

struct CapabilityEntry {
    TW_UINT16 CapId;
    TW_UINT16 ItemType;
    TW_UINT16 GetConType;     // container of MSG_GET
    TW_UINT16 CurrentConType; // container of MSG_GETCURRENT and MSG_GETDEFAULT
    TW_UINT32 Operations;     // TWQC mask
    CapabilityValues List;
    CapabilityValues Default;
    CapabilityValues Current;
    CapabilityValues Scratch;
};

inline constexpr int kCapabilityRows = 46; // 45 used, the last all zero

void InitCapabilityTable();
void FreeCapabilityTable();
// The first row with that identifier; null when there is none (also while the table is cleared).
CapabilityEntry* FindCapability(TW_UINT16 capId);

// DAT_CAPABILITY: the return code, and the condition code through conditionCode (0 after success).
TW_UINT16 CapabilityDispatch(TwainCall* pCall, TW_UINT16& conditionCode);

TW_UINT32 CapItemSize(TW_UINT16 itemType);
TW_FIX32 FloatToFix32(float value);
float Fix32ToFloat(TW_FIX32 value);

BOOL GetFeederEnabled();
void SetFeederEnabled(BOOL enabled);
BOOL IsPaperInFeeder();
TW_UINT16 SetImageLayoutFrame(const TW_IMAGELAYOUT* pLayout);
// The frame the application set (ICAP_FRAMES MSG_SET or DAT_IMAGELAYOUT MSG_SET since the table was built, and not
// reset since), in inches: FALSE when it set none.
BOOL GetApplicationFrame(float& left, float& top, float& right, float& bottom);

// The current values of ICAP_XRESOLUTION and ICAP_YRESOLUTION in dpi, read from their storage.
float GetCurrentXResolution();
float GetCurrentYResolution();
