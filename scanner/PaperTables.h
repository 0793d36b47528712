// The paper sizes offered per scan source (flatbed, feeder) and model, their names, and the scan limits.
#pragma once

#include "platform/base/windows.h"
#include "platform/base/afxcore.h"

#include <vector>

// A paper row. Byte layout (20 bytes): id at 0, name string id at 4, unit at 8 (2 millimetres, 0 inches),
// width at 12 and height at 16 as floats in that unit.
struct _PaperInfo {
    int id;
    int nameId;
    int unit;
    float width;
    float height;
};
static_assert(sizeof(_PaperInfo) == 20);

inline constexpr int kPaperUnitInch = 0;
inline constexpr int kPaperUnitMillimetre = 2;
inline constexpr int kPaperRowCount = 12;
extern const _PaperInfo PaperRowTable[kPaperRowCount];

// The rows offered for a source (0 flatbed, any other the feeder) on a model with or without A3, of the
// PlatformIbis family or not.
std::vector<_PaperInfo> PaperRowsFor(unsigned source, BOOL hasA3, BOOL isPlatformIbis);

// The process-wide lists, built on first use from the model flags of that moment and kept (names included, in the
// language current then).
extern std::vector<_PaperInfo> g_AdfPaperInfo;
extern CStringArray g_AdfPaperNames;
extern std::vector<_PaperInfo> g_FlatbedPaperInfo;
extern CStringArray g_FlatbedPaperNames;

const CStringArray& GetAdfPaperList();
const CStringArray& GetFlatbedPaperList();
// The name at index of the source's list; empty outside the list.
CString GetPaperName(int source, int index);
// Copies the row at index of the source's list into out; a zeroed row outside the list.
void getPeperInfo(_PaperInfo* out, unsigned source, int index);
// Selectable size indices of the source: an index at or above it means the source's whole default area.
int GetMaxSanSizeNum(unsigned source);
double GetMaxScanWidthInch();
double GetMaxScanLengthInch();

// App mode's manual-duplex choice, 0 at load.
extern int g_bManualDuplex;
void SetManualDuplexFlag(int on);
int GetManualDuplexFlag();
// The scan-reset value stored beside it (the window sets 0 before every scan; the save settings record it).
void SetScanResetValue(int value);
int GetScanResetValue();

// Tests only: forget the built lists so the next use builds them from the flags of that moment.
void ResetPaperListsForTesting();
