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
// A feeder job has told the paper flag; until then CAP_FEEDERLOADED asks the device.
extern std::atomic<BOOL> g_bFeederStatusKnown;

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
// The pages a feeder job delivers before it ends: CAP_XFERCOUNT as the application set it, -1 (all the feeder
// holds) while it has not set it or after a reset.
int GetTransferCountLimit();
// The current value of a FIX32 capability (ICAP_THRESHOLD, ICAP_BRIGHTNESS, ICAP_CONTRAST ...), from its storage.
float GetCurrentNumber(TW_UINT16 cap);
TW_UINT16 SetImageLayoutFrame(const TW_IMAGELAYOUT* pLayout);
// The frame the application set (ICAP_FRAMES MSG_SET or DAT_IMAGELAYOUT MSG_SET since the table was built, and not
// reset since), in inches: FALSE when it set none.
BOOL GetApplicationFrame(float& left, float& top, float& right, float& bottom);

// The current values of ICAP_XRESOLUTION and ICAP_YRESOLUTION in dpi, read from their storage.
float GetCurrentXResolution();
float GetCurrentYResolution();

// The window-less scan's paper index for the ICAP_SUPPORTEDSIZES code and source (0 flatbed, 1 and 2 feeder):
// A4 0, A5 1, A6 2, JIS B5 3, US Letter 4, US Legal 5, A3 6 on the flatbed and 7 in the feeder, anything else 0.
int WindowlessPaperIndex(int twainSize, int source);
// The window's adjustments from the application's values: ICAP_BRIGHTNESS and ICAP_CONTRAST (-1000 to 1000) become
// the combined brightness and contrast of the window (-100 to 100, a tenth, rounded); ICAP_THRESHOLD (0 to 255)
// is the device's threshold as it stands.
int WindowlessBrightnessContrast(float value);
int WindowlessThreshold(float value);
// The frame of the window-less scan's paper (ICAP_SUPPORTEDSIZES for the feeder or flatbed switch) in inches, from
// the bed's corner, as the scan takes it when the application set no frame of its own.
void WindowlessPaperFrame(float& left, float& top, float& right, float& bottom);
// The longest paper of the feeder, and the widest page of the PlatformWren models without A3, in inches.
inline constexpr float kFeederMaxLengthInch = 14.015748f;
inline constexpr float kWidthMaxInchLx = 8.5f;
