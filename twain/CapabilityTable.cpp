#include "twain/CapabilityTable.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CScanWindow.h"
#include "twain/HostFlags.h"

#include "twain/ScanState.h"

#include "scanner/CLLDKorvel.h"
#include "scanner/PaperTables.h"
#include "settings/PlatformFlags.h"
#include "settings/SettingStore.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

std::atomic<int> g_nTwainPixelBits{24};
std::atomic<int> g_nTwainXResolution{300};
std::atomic<int> g_nTwainYResolution{300};
std::atomic<int> g_nTwainScanSize{1};
std::atomic<int> g_nTwainScanSource{0};
std::atomic<BOOL> g_bSkipScanAdjust{FALSE};
std::atomic<BOOL> g_bPaperInFeeder{FALSE};
std::atomic<BOOL> g_bFeederStatusKnown{FALSE};

namespace {

// The application set the frame (ICAP_FRAMES or DAT_IMAGELAYOUT): it becomes the window-less scan area.
std::atomic<BOOL> g_bApplicationFrame{FALSE};
// The application set CAP_XFERCOUNT (and has not reset it): a feeder job ends after that many pages.
std::atomic<BOOL> g_bApplicationXferCount{FALSE};

constexpr TW_UINT32 kGet = 0x0D;    // get, get-default, get-current
constexpr TW_UINT32 kGetSet = 0x0F; // the same plus set
constexpr TW_UINT32 kAll = 0x1F;    // and reset

constexpr size_t kListBytes = 160;
constexpr size_t kValueBytes = 34;
constexpr TW_UINT32 kStrChars = 32;
// The most items an application's enumeration may declare; no capability here has more than a few dozen.
constexpr TW_UINT32 kMaxSetItems = 0x10000;

// What a row holds when the module is loaded. Numbers in the application's units; a frame is left, top, right,
// bottom; strings for TW_STR32 rows.
struct RowDefinition {
    TW_UINT16 cap;
    TW_UINT16 type;
    TW_UINT16 getCon;
    TW_UINT32 mask;
    std::initializer_list<double> list;
    double value; // default and current at load
    std::initializer_list<const char*> strings = {};
};

const double kA4Frame[4] = {0, 0, 8.5, 11.69};

// clang-format off
const RowDefinition kRows[] = {
    {CAP_SUPPORTEDCAPS, TWTY_UINT16, TWON_ARRAY, kGet,
     {0x1005, 0x0103, 0x111F, 0x1120, 0x0100, 0x1111, 0x1112, 0x1130, 0x1131, 0x0102, 0x100F, 0x1100, 0x1101, 0x1103,
      0x110A, 0x1110, 0x1113, 0x1124, 0x1125, 0x0101, 0x112B, 0x112C, 0x111C, 0x1109, 0x1123, 0x1114, 0x111A, 0x1122,
      0x1116, 0x1117, 0x1118, 0x1119, 0x0001, 0x110C, 0x112D, 0x100B, 0x100E, 0x8123, 0x8124, 0x1013, 0, 0, 0}, 0},
    {CAP_FEEDERENABLED, TWTY_BOOL, TWON_ONEVALUE, kAll, {1}, 0},
    {ICAP_PIXELFLAVOR, TWTY_UINT16, TWON_ENUMERATION, kAll, {0, 1}, 0},
    {ICAP_XFERMECH, TWTY_UINT16, TWON_ENUMERATION, kAll, {0, 2}, 0},
    {ICAP_PLANARCHUNKY, TWTY_UINT16, TWON_ENUMERATION, kGet, {0, 1}, 0},
    {ICAP_COMPRESSION, TWTY_UINT16, TWON_ENUMERATION, kAll, {0}, 0},
    {ICAP_MINIMUMWIDTH, TWTY_FIX32, TWON_ONEVALUE, kGet, {1}, 1},
    {ICAP_MINIMUMHEIGHT, TWTY_FIX32, TWON_ONEVALUE, kGet, {1}, 1},
    {ICAP_PHYSICALWIDTH, TWTY_FIX32, TWON_ONEVALUE, kGet, {8.5}, 8.5},
    {ICAP_PHYSICALHEIGHT, TWTY_FIX32, TWON_ONEVALUE, kGet, {11}, 11},
    {ICAP_UNITS, TWTY_UINT16, TWON_ENUMERATION, kAll, {0, 1, 5}, 0},
    {CAP_DEVICEONLINE, TWTY_BOOL, TWON_ONEVALUE, kGet, {1, 0}, 1},
    {CAP_AUTOFEED, TWTY_BOOL, TWON_ONEVALUE, kGetSet, {1, 0}, 0},
    {CAP_FEEDERLOADED, TWTY_BOOL, TWON_ONEVALUE, kGetSet, {0, 1}, 0},
    {ICAP_AUTOBRIGHT, TWTY_BOOL, TWON_ONEVALUE, kAll, {1, 0}, 0},
    {ICAP_BRIGHTNESS, TWTY_FIX32, TWON_RANGE, kAll, {-1000, 1000, 1000}, 0},
    {ICAP_CONTRAST, TWTY_FIX32, TWON_RANGE, kAll, {-1000, 1000, 1000}, 0},
    {ICAP_HIGHLIGHT, TWTY_FIX32, TWON_RANGE, kAll, {0, 255, 1}, 128},
    {ICAP_ORIENTATION, TWTY_UINT16, TWON_ENUMERATION, kAll, {0, 1, 2, 3}, 0},
    {ICAP_SHADOW, TWTY_FIX32, TWON_RANGE, kAll, {0, 255, 1}, 128},
    {ICAP_XSCALING, TWTY_FIX32, TWON_ENUMERATION, kAll, {100}, 100},
    {ICAP_YSCALING, TWTY_FIX32, TWON_ENUMERATION, kAll, {100}, 100},
    {ICAP_BITDEPTH, TWTY_UINT16, TWON_ENUMERATION, kAll, {1}, 1},
    {ICAP_BITDEPTH, TWTY_UINT16, TWON_ENUMERATION, kAll, {8}, 8},
    {ICAP_BITDEPTH, TWTY_UINT16, TWON_ENUMERATION, kAll, {24}, 24},
    {ICAP_PIXELTYPE, TWTY_UINT16, TWON_ENUMERATION, kAll, {0, 1, 2}, 2},
    {ICAP_BITDEPTHREDUCTION, TWTY_UINT16, TWON_ENUMERATION, kAll, {0, 1, 3}, 0},
    {ICAP_BITORDER, TWTY_UINT16, TWON_ENUMERATION, kGet, {1, 0}, 1},
    {ICAP_THRESHOLD, TWTY_FIX32, TWON_RANGE, kAll, {0, 255, 1}, 128},
    {ICAP_HALFTONES, TWTY_STR32, TWON_ENUMERATION, kAll, {}, 0, {"FLOYD/STEINBURG", "ORDERED"}},
    {ICAP_FRAMES, TWTY_FRAME, TWON_ONEVALUE, kAll, {}, 0},
    {ICAP_MAXFRAMES, TWTY_UINT16, TWON_ONEVALUE, kGet, {1, 0, 0, 0, 0, 0, 0, 0}, 1},
    {ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWON_ENUMERATION, kAll, {1, 5, 13, 2, 3, 4, 11}, 1},
    {ICAP_XNATIVERESOLUTION, TWTY_FIX32, TWON_ONEVALUE, kGet, {150}, 150},
    {ICAP_YNATIVERESOLUTION, TWTY_FIX32, TWON_ONEVALUE, kGet, {150}, 150},
    {ICAP_XRESOLUTION, TWTY_FIX32, TWON_ENUMERATION, kAll, {75, 150, 300, 600, 1200}, 150},
    {ICAP_YRESOLUTION, TWTY_FIX32, TWON_ENUMERATION, kAll, {75, 150, 300, 600, 1200}, 150},
    {CAP_XFERCOUNT, TWTY_INT16, TWON_ONEVALUE, kAll,
     {-1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25}, 1},
    {ICAP_IMAGEFILEFORMAT, TWTY_UINT16, TWON_ENUMERATION, kAll, {0, 2}, 2},
    {ICAP_UNDEFINEDIMAGESIZE, TWTY_BOOL, TWON_ONEVALUE, kAll, {0, 1}, 1},
    {CAP_INDICATORS, TWTY_BOOL, TWON_ONEVALUE, kAll, {1, 0}, 1},
    {CAP_UICONTROLLABLE, TWTY_BOOL, TWON_ONEVALUE, kGet, {1, 0}, 1},
    {CAP_APPMODE, TWTY_BOOL, TWON_ONEVALUE, kAll, {1}, 0},
    {CAP_SKIPSCANADJUST, TWTY_BOOL, TWON_ONEVALUE, kAll, {1}, 0},
    {CAP_DUPLEXENABLED, TWTY_BOOL, TWON_ONEVALUE, kAll, {1}, 0},
};
// clang-format on
constexpr int kUsedRows = static_cast<int>(std::size(kRows));
static_assert(kUsedRows == kCapabilityRows - 1);

struct RowValues {
    TW_UINT32 listCount;
    alignas(4) unsigned char list[kListBytes];
    alignas(4) unsigned char defaultValue[kValueBytes];
    alignas(4) unsigned char currentValue[kValueBytes];
};

void StoreNumber(TW_UINT16 type, double value, unsigned char* to) {
    switch (type) {
    case TWTY_INT8:
    case TWTY_UINT8:
        *to = static_cast<unsigned char>(static_cast<int>(value));
        break;
    case TWTY_INT32:
    case TWTY_UINT32: {
        auto v = static_cast<TW_INT32>(value);
        std::memcpy(to, &v, 4);
        break;
    }
    case TWTY_FIX32: {
        auto v = static_cast<float>(value);
        std::memcpy(to, &v, 4);
        break;
    }
    default: {
        auto v = static_cast<TW_UINT16>(static_cast<TW_INT32>(value));
        std::memcpy(to, &v, 2);
        break;
    }
    }
}

// Internal frame order: top, left, right, bottom.
void StoreFrame(const double (&frame)[4], unsigned char* to) {
    const float internal[4] = {static_cast<float>(frame[1]), static_cast<float>(frame[0]), static_cast<float>(frame[2]),
                               static_cast<float>(frame[3])};
    std::memcpy(to, internal, sizeof internal);
}

void StoreString(const char* text, unsigned char* to) {
    std::memset(to, 0, kValueBytes);
    std::memcpy(to, text, std::min<size_t>(std::strlen(text), kStrChars));
}

// The values at load, built on first use so that the assistor's constructor may read them from any static order.
RowValues* Values() {
    static RowValues* values = [] {
        static RowValues storage[kUsedRows] = {};
        for (int i = 0; i < kUsedRows; ++i) {
            const RowDefinition& definition = kRows[i];
            RowValues& row = storage[i];
            const TW_UINT32 size = CapItemSize(definition.type);
            if (definition.type == TWTY_FRAME) {
                row.listCount = 8; // the page frame and seven zero frames
                StoreFrame(kA4Frame, row.list);
                StoreFrame(kA4Frame, row.defaultValue);
                StoreFrame(kA4Frame, row.currentValue);
            } else if (definition.type == TWTY_STR32) {
                row.listCount = static_cast<TW_UINT32>(definition.strings.size());
                TW_UINT32 n = 0;
                for (const char* text : definition.strings)
                    StoreString(text, row.list + size * n++);
                StoreString(*definition.strings.begin(), row.defaultValue);
                StoreString(*definition.strings.begin(), row.currentValue);
            } else {
                row.listCount = static_cast<TW_UINT32>(definition.list.size());
                TW_UINT32 n = 0;
                for (double v : definition.list)
                    StoreNumber(definition.type, v, row.list + size * n++);
                StoreNumber(definition.type, definition.value, row.defaultValue);
                StoreNumber(definition.type, definition.value, row.currentValue);
            }
        }
        return storage;
    }();
    return values;
}

CapabilityEntry g_CapabilityTable[kCapabilityRows] = {};

// What the feeder and duplex switches say is what the next window-less scan takes: its source.
TW_BOOL WindowlessSourceSwitch(TW_UINT16 cap) {
    const int source = g_nTwainScanSource;
    return cap == CAP_FEEDERENABLED ? (source != 0 ? 1 : 0) : (source == 2 ? 1 : 0);
}

int RowIndexOf(TW_UINT16 cap) {
    for (int i = 0; i < kUsedRows; ++i)
        if (kRows[i].cap == cap)
            return i;
    return -1;
}

TW_UINT16 CurrentUInt16(TW_UINT16 cap) {
    const int i = RowIndexOf(cap);
    TW_UINT16 v = 0;
    std::memcpy(&v, Values()[i].currentValue, 2);
    return v;
}

float CurrentFloat(TW_UINT16 cap) {
    const int i = RowIndexOf(cap);
    float v = 0;
    std::memcpy(&v, Values()[i].currentValue, 4);
    return v;
}

// ICAP_BITDEPTH has one row per pixel type; a call about it concerns the row of the current pixel type.
CapabilityEntry* FindRowForCall(TW_UINT16 cap) {
    if (cap != ICAP_BITDEPTH)
        return FindCapability(cap);
    const TW_UINT16 pixelType = CurrentUInt16(ICAP_PIXELTYPE);
    const TW_UINT16 wanted = pixelType == TWPT_BW ? 1 : pixelType == TWPT_GRAY ? 8 : 24;
    for (CapabilityEntry& row : g_CapabilityTable) {
        TW_UINT16 bits = 0;
        if (row.CapId == ICAP_BITDEPTH && row.List.items != nullptr) {
            std::memcpy(&bits, row.List.items, 2);
            if (bits == wanted)
                return &row;
        }
    }
    return FindCapability(cap);
}

// ---- Items between the internal form and the application's form ----

void PutFix32(float value, unsigned char* to) {
    const TW_FIX32 fix = FloatToFix32(value);
    std::memcpy(to, &fix, 4);
}

float GetFix32(const unsigned char* from) {
    TW_FIX32 fix;
    std::memcpy(&fix, from, 4);
    return Fix32ToFloat(fix);
}

// One item in the application's form, CapItemSize(type) bytes.
void WriteItem(TW_UINT16 type, const unsigned char* internal, unsigned char* to) {
    switch (type) {
    case TWTY_FIX32: {
        float v;
        std::memcpy(&v, internal, 4);
        PutFix32(v, to);
        break;
    }
    case TWTY_FRAME: {
        float f[4]; // top, left, right, bottom
        std::memcpy(f, internal, sizeof f);
        PutFix32(f[1], to);
        PutFix32(f[0], to + 4);
        PutFix32(f[2], to + 8);
        PutFix32(f[3], to + 12);
        break;
    }
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255: {
        std::memset(to, 0, kValueBytes);
        const void* end = std::memchr(internal, 0, kStrChars);
        const size_t length = end ? static_cast<const unsigned char*>(end) - internal : kStrChars;
        std::memcpy(to, internal, length);
        break;
    }
    default:
        std::memcpy(to, internal, CapItemSize(type));
        break;
    }
}

// One item of the application's form into the internal form; false when the block ends before the item does.
bool ReadOneValue(TW_UINT16 type, const unsigned char* from, size_t available, unsigned char* internal) {
    if (type == TWTY_STR32 || type == TWTY_STR64 || type == TWTY_STR128 || type == TWTY_STR255) {
        const size_t scan = std::min<size_t>(available, kStrChars);
        const void* end = std::memchr(from, 0, scan);
        if (end == nullptr && scan < kStrChars)
            return false; // the string runs past the block
        const size_t length = end ? static_cast<const unsigned char*>(end) - from : kStrChars;
        std::memset(internal, 0, kValueBytes);
        std::memcpy(internal, from, length);
        return true;
    }
    const TW_UINT32 size = CapItemSize(type);
    if (available < size)
        return false;
    if (type == TWTY_FIX32) {
        const float v = GetFix32(from);
        std::memcpy(internal, &v, 4);
    } else if (type == TWTY_FRAME) {
        const float f[4] = {GetFix32(from + 4), GetFix32(from), GetFix32(from + 8), GetFix32(from + 12)};
        std::memcpy(internal, f, sizeof f);
    } else {
        std::memcpy(internal, from, size);
    }
    return true;
}

// ---- Containers ----

struct Built {
    TW_UINT16 conType;
    TW_HANDLE handle;
};

unsigned char* NewContainer(size_t bytes, Built& built, TW_UINT16 conType) {
    built.conType = conType;
    built.handle = GlobalAlloc(GHND, bytes);
    return static_cast<unsigned char*>(GlobalLock(built.handle));
}

void PutUInt16(unsigned char* to, TW_UINT16 v) {
    std::memcpy(to, &v, 2);
}
void PutUInt32(unsigned char* to, TW_UINT32 v) {
    std::memcpy(to, &v, 4);
}

bool BuildOneValue(TW_UINT16 type, const unsigned char* internal, Built& built) {
    const TW_UINT32 size = CapItemSize(type);
    unsigned char* block = NewContainer(size + 6, built, TWON_ONEVALUE);
    if (block == nullptr)
        return false;
    PutUInt16(block, type);
    WriteItem(type, internal, block + 2); // the block is zeroed: short items come out zero-extended
    GlobalUnlock(built.handle);
    return true;
}

bool BuildArray(TW_UINT16 type, const CapabilityValues& values, Built& built) {
    const TW_UINT32 size = CapItemSize(type);
    unsigned char* block = NewContainer(size_t{values.count} * size + 7, built, TWON_ARRAY);
    if (block == nullptr)
        return false;
    PutUInt16(block, type);
    PutUInt32(block + 2, values.count);
    for (TW_UINT32 i = 0; i < values.count; ++i)
        WriteItem(type, static_cast<const unsigned char*>(values.items) + size * i, block + 6 + size * i);
    GlobalUnlock(built.handle);
    return true;
}

// The position of value in the list, or count when it is not listed.
TW_UINT32 IndexInList(const CapabilityEntry& row, const void* value) {
    const TW_UINT32 size = CapItemSize(row.ItemType);
    for (TW_UINT32 i = 0; i < row.List.count; ++i)
        if (std::memcmp(static_cast<const unsigned char*>(row.List.items) + size * i, value, size) == 0)
            return i;
    return row.List.count;
}

// A current or default value the list does not hold is appended to the reply, so the indexes stay inside it.
bool BuildEnumeration(const CapabilityEntry& row, Built& built) {
    const TW_UINT32 size = CapItemSize(row.ItemType);
    TW_UINT32 count = row.List.count;
    TW_UINT32 current = IndexInList(row, row.Current.items);
    TW_UINT32 deflt = IndexInList(row, row.Default.items);
    const bool appendCurrent = current == row.List.count;
    const bool defaultIsCurrent = std::memcmp(row.Default.items, row.Current.items, size) == 0;
    const bool appendDefault = deflt == row.List.count && !(appendCurrent && defaultIsCurrent);
    if (appendCurrent)
        current = count++;
    if (deflt == row.List.count)
        deflt = appendDefault ? count++ : current;

    unsigned char* block = NewContainer(size_t{count} * size + 15, built, TWON_ENUMERATION);
    if (block == nullptr)
        return false;
    PutUInt16(block, row.ItemType);
    PutUInt32(block + 2, count);
    PutUInt32(block + 6, current);
    PutUInt32(block + 10, deflt);
    unsigned char* items = block + 14;
    for (TW_UINT32 i = 0; i < row.List.count; ++i)
        WriteItem(row.ItemType, static_cast<const unsigned char*>(row.List.items) + size * i, items + size * i);
    if (appendCurrent)
        WriteItem(row.ItemType, static_cast<const unsigned char*>(row.Current.items), items + size * current);
    if (appendDefault)
        WriteItem(row.ItemType, static_cast<const unsigned char*>(row.Default.items), items + size * deflt);
    GlobalUnlock(built.handle);
    return true;
}

void PutRangeValue(TW_UINT16 type, const unsigned char* internal, unsigned char* to) {
    if (type == TWTY_FIX32) {
        WriteItem(type, internal, to);
        return;
    }
    std::memcpy(to, internal, std::min<TW_UINT32>(CapItemSize(type), 4)); // zero-extended in the zeroed block
}

bool BuildRange(const CapabilityEntry& row, Built& built) {
    const TW_UINT32 size = CapItemSize(row.ItemType);
    unsigned char* block = NewContainer(22, built, TWON_RANGE);
    if (block == nullptr)
        return false;
    PutUInt16(block, row.ItemType);
    const auto* list = static_cast<const unsigned char*>(row.List.items);
    for (TW_UINT32 i = 0; i < 3 && i < row.List.count; ++i)
        PutRangeValue(row.ItemType, list + size * i, block + 2 + 4 * i);
    PutRangeValue(row.ItemType, static_cast<const unsigned char*>(row.Default.items), block + 14);
    PutRangeValue(row.ItemType, static_cast<const unsigned char*>(row.Current.items), block + 18);
    GlobalUnlock(built.handle);
    return true;
}

bool BuildGet(const CapabilityEntry& row, Built& built) {
    switch (row.GetConType) {
    case TWON_ARRAY:
        return BuildArray(row.ItemType, row.List, built);
    case TWON_ENUMERATION:
        return BuildEnumeration(row, built);
    case TWON_RANGE:
        return BuildRange(row, built);
    default:
        return BuildOneValue(row.ItemType, static_cast<const unsigned char*>(row.Current.items), built);
    }
}

bool BuildSecond(const CapabilityEntry& row, const CapabilityValues& value, Built& built) {
    if (row.CurrentConType == TWON_ARRAY)
        return BuildArray(row.ItemType, value, built);
    return BuildOneValue(row.ItemType, static_cast<const unsigned char*>(value.items), built);
}

// ---- MSG_SET ----

void ApplySetEffects(const CapabilityEntry& row) {
    TW_UINT16 value16 = 0;
    std::memcpy(&value16, row.Current.items, 2);
    switch (row.CapId) {
    case ICAP_XRESOLUTION:
        g_nTwainXResolution = static_cast<int>(CurrentFloat(ICAP_XRESOLUTION));
        break;
    case ICAP_YRESOLUTION:
        g_nTwainYResolution = static_cast<int>(CurrentFloat(ICAP_YRESOLUTION));
        break;
    case ICAP_PIXELTYPE:
        g_nTwainPixelBits = value16 == TWPT_BW ? 1 : value16 == TWPT_GRAY ? 8 : 24;
        break;
    case CAP_FEEDERENABLED:
        g_nTwainScanSource = value16;
        break;
    case CAP_DUPLEXENABLED:
        if (value16 == 1)
            g_nTwainScanSource = 2;
        else if (g_nTwainScanSource == 2)
            g_nTwainScanSource = 1; // one side of the feeder still
        break;
    case ICAP_SUPPORTEDSIZES:
        g_nTwainScanSize = value16;
        break;
    case CAP_APPMODE:
        g_bAppMode = value16;
        break;
    case CAP_SKIPSCANADJUST:
        g_bSkipScanAdjust = value16;
        break;
    case ICAP_FRAMES:
        g_bApplicationFrame = TRUE;
        break;
    case CAP_XFERCOUNT:
        g_bApplicationXferCount = TRUE;
        break;
    default:
        break;
    }
}

float ItemAsNumber(TW_UINT16 type, const unsigned char* internal) {
    switch (type) {
    case TWTY_FIX32: {
        float v;
        std::memcpy(&v, internal, 4);
        return v;
    }
    case TWTY_INT16: {
        TW_INT16 v;
        std::memcpy(&v, internal, 2);
        return v;
    }
    default: {
        TW_UINT16 v;
        std::memcpy(&v, internal, 2);
        return v;
    }
    }
}

enum class Offered { Exactly, Nearest, No };

// Whether the capability offers the application's value. A number between the offered ones of a FIX32 list is
// changed to the nearest of them; a RANGE takes anything from its minimum to its maximum. Codes, switches and
// strings must be offered as they are. The file transfer is accepted beside the two mechanisms the list offers,
// since the source performs it.
Offered CheckOffered(const CapabilityEntry& row, unsigned char* internal) {
    const TW_UINT32 size = CapItemSize(row.ItemType);
    const auto* list = static_cast<const unsigned char*>(row.List.items);
    if (row.ItemType == TWTY_FRAME)
        return Offered::Exactly; // the scan keeps a frame inside the bed
    if (row.ItemType == TWTY_BOOL) {
        TW_UINT16 v;
        std::memcpy(&v, internal, 2);
        return v <= 1 ? Offered::Exactly : Offered::No;
    }
    if (row.CapId == ICAP_XFERMECH) {
        TW_UINT16 v;
        std::memcpy(&v, internal, 2);
        return v == TWSX_NATIVE || v == TWSX_FILE || v == TWSX_MEMORY ? Offered::Exactly : Offered::No;
    }
    if (row.GetConType == TWON_RANGE) {
        const float v = ItemAsNumber(row.ItemType, internal);
        return v >= ItemAsNumber(row.ItemType, list) && v <= ItemAsNumber(row.ItemType, list + size) ? Offered::Exactly
                                                                                                     : Offered::No;
    }
    if (IndexInList(row, internal) < row.List.count)
        return Offered::Exactly;
    if (row.ItemType != TWTY_FIX32 || row.List.count == 0)
        return Offered::No;
    const float v = ItemAsNumber(row.ItemType, internal);
    const unsigned char* nearest = nullptr;
    float low = v;
    float high = v;
    for (TW_UINT32 i = 0; i < row.List.count; ++i) {
        const float item = ItemAsNumber(row.ItemType, list + size * i);
        low = std::min(low, item);
        high = std::max(high, item);
        if (nearest == nullptr || std::fabs(item - v) < std::fabs(ItemAsNumber(row.ItemType, nearest) - v))
            nearest = list + size * i;
    }
    if (v <= low || v >= high)
        return Offered::No; // outside the offered numbers
    std::memcpy(internal, nearest, size);
    return Offered::Nearest;
}

// The application's value read and checked, then stored with its effects: TWRC_SUCCESS, TWRC_CHECKSTATUS when the
// nearest offered number was taken instead, TWRC_FAILURE (nothing stored) when it is not offered or not readable.
TW_UINT16 StoreCurrent(CapabilityEntry& row, const unsigned char* from, size_t available) {
    unsigned char internal[kValueBytes] = {};
    if (!ReadOneValue(row.ItemType, from, available, internal))
        return TWRC_FAILURE;
    const Offered offered = CheckOffered(row, internal);
    if (offered == Offered::No)
        return TWRC_FAILURE;
    std::memcpy(row.Current.items, internal, CapItemSize(row.ItemType));
    ApplySetEffects(row);
    return offered == Offered::Nearest ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
}

// A container is read only as far as it declares itself (its kind, item type and item count), as TWAIN sources do:
// the block may lie on the application's stack, in a mapped page or come from any allocator, so nobody can be
// asked how large it really is.
TW_UINT16 SetCapability(CapabilityEntry& row, const TW_CAPABILITY& cap, TW_UINT16& code) {
    code = TWCC_BADVALUE;
    // Only a TW_ONEVALUE or TW_ENUMERATION sets a value; a container of any other kind declares nothing to read.
    if (cap.hContainer == nullptr || (cap.ConType != TWON_ONEVALUE && cap.ConType != TWON_ENUMERATION))
        return TWRC_FAILURE;
    const auto* block = static_cast<const unsigned char*>(GlobalLock(cap.hContainer));
    if (block == nullptr)
        return TWRC_FAILURE;
    TW_UINT16 itemType;
    std::memcpy(&itemType, block, 2);
    const TW_UINT32 size = CapItemSize(row.ItemType);

    if (cap.ConType == TWON_ONEVALUE) {
        if (itemType != row.ItemType) {
            // Both kept from the design: a wrong-typed bit depth still sets the window-less pixel bits, a
            // wrong-typed feeder switch the flatbed.
            if (row.CapId == ICAP_BITDEPTH) { // every TW_ONEVALUE has its 32-bit Item field
                TW_UINT32 item;
                std::memcpy(&item, block + 2, 4);
                g_nTwainPixelBits = static_cast<int>(item);
            } else if (row.CapId == CAP_FEEDERENABLED) {
                g_nTwainScanSource = 0;
            }
            return TWRC_FAILURE;
        }
        const TW_UINT16 rc = StoreCurrent(row, block + 2, size);
        if (rc != TWRC_FAILURE)
            code = TWCC_SUCCESS;
        return rc;
    }
    if (cap.ConType == TWON_ENUMERATION) {
        // The item at CurrentIndex is taken as a ONEVALUE's item would be.
        if (itemType != row.ItemType)
            return TWRC_FAILURE;
        TW_UINT32 numItems;
        TW_UINT32 currentIndex;
        std::memcpy(&numItems, block + 2, 4);
        std::memcpy(&currentIndex, block + 6, 4);
        if (numItems > kMaxSetItems || currentIndex >= numItems)
            return TWRC_FAILURE;
        const size_t offset = 14 + size_t{currentIndex} * size; // at most 14 + 0xFFFF * 34
        const TW_UINT16 rc = StoreCurrent(row, block + offset, size);
        if (rc != TWRC_FAILURE)
            code = TWCC_SUCCESS;
        return rc;
    }
    return TWRC_FAILURE;
}

TW_UINT16 RunOperation(CapabilityEntry& row, TW_CAPABILITY& cap, TW_UINT16 msg, TW_UINT16& code) {
    if (msg == MSG_SET)
        return SetCapability(row, cap, code);

    Built built{};
    bool ok = false;
    switch (msg) {
    case MSG_GET:
        if (row.CapId == CAP_FEEDERLOADED) {
            const TW_BOOL loaded = IsPaperInFeeder() ? 1 : 0;
            std::memcpy(row.Current.items, &loaded, 2);
        }
        if (row.CapId == CAP_FEEDERENABLED || row.CapId == CAP_DUPLEXENABLED) {
            TW_BOOL source = WindowlessSourceSwitch(row.CapId);
            ok = BuildOneValue(row.ItemType, reinterpret_cast<const unsigned char*>(&source), built);
            break;
        }
        ok = BuildGet(row, built);
        if (ok && row.CapId == ICAP_PIXELFLAVOR && g_bHostPhotoshop) {
            if (CScanWindow* window = g_pScanWindow)
                window->SetCloseOnActivate(TRUE);
        }
        break;
    case MSG_GETCURRENT:
        if (row.CapId == CAP_FEEDERENABLED || row.CapId == CAP_DUPLEXENABLED) {
            TW_BOOL source = WindowlessSourceSwitch(row.CapId);
            ok = BuildOneValue(row.ItemType, reinterpret_cast<const unsigned char*>(&source), built);
            break;
        }
        ok = BuildSecond(row, row.Current, built);
        break;
    case MSG_GETDEFAULT:
        ok = BuildSecond(row, row.Default, built);
        break;
    case MSG_RESET:
        // The same as a set of the default, effects included; only the frame is then the application's no more.
        std::memcpy(row.Current.items, row.Default.items,
                    row.CurrentConType == TWON_ARRAY ? CapItemSize(row.ItemType) * row.Current.count
                                                     : CapItemSize(row.ItemType));
        ApplySetEffects(row);
        if (row.CapId == ICAP_FRAMES)
            g_bApplicationFrame = FALSE;
        if (row.CapId == CAP_XFERCOUNT)
            g_bApplicationXferCount = FALSE; // every page of the feeder again
        ok = BuildSecond(row, row.Default, built);
        break;
    default: { // MSG_QUERYSUPPORT
        const TW_UINT32 mask = row.Operations;
        ok = BuildOneValue(TWTY_INT32, reinterpret_cast<const unsigned char*>(&mask), built);
        break;
    }
    }
    if (!ok) {
        code = TWCC_LOWMEMORY;
        return TWRC_FAILURE;
    }
    cap.ConType = built.conType;
    cap.hContainer = built.handle;
    code = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

TW_UINT32 RequiredBit(TW_UINT16 msg) {
    switch (msg) {
    case MSG_GET:
        return TWQC_GET;
    case MSG_GETCURRENT:
        return TWQC_GETCURRENT;
    case MSG_GETDEFAULT:
        return TWQC_GETDEFAULT;
    case MSG_SET:
        return TWQC_SET;
    case MSG_RESET:
        return TWQC_RESET;
    case MSG_QUERYSUPPORT:
        return 0;
    default:
        return ~TW_UINT32{0};
    }
}

bool IsOldApplication() {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return false;
    const TW_IDENTITY& app = assistor->GetAppIdentity();
    return app.ProtocolMajor <= 1 && app.ProtocolMinor <= 5;
}

} // namespace

TW_UINT32 CapItemSize(TW_UINT16 itemType) {
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
        return 1;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
        return 4;
    case TWTY_FRAME:
        return 16;
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255:
        return 34;
    default:
        return 2;
    }
}

// Rounded half away from zero, so that negative values such as -1000 and -0.25 come out exact. A value beyond the
// FIX32 range takes its nearest end: a float holds 32767.99998 as 32768.
TW_FIX32 FloatToFix32(float value) {
    const double scaled = static_cast<double>(value) * 65536.0;
    const double rounded = scaled < 0 ? scaled - 0.5 : scaled + 0.5;
    const auto n = static_cast<TW_INT32>(std::clamp<double>(rounded, INT32_MIN, INT32_MAX));
    TW_FIX32 fix;
    fix.Whole = static_cast<TW_INT16>(n >> 16);
    fix.Frac = static_cast<TW_UINT16>(n & 0xFFFF);
    return fix;
}

float Fix32ToFloat(TW_FIX32 value) {
    return static_cast<float>(value.Whole + value.Frac / 65536.0);
}

void InitCapabilityTable() {
    g_bApplicationFrame = FALSE;
    RowValues* values = Values();
    for (int i = 0; i < kUsedRows; ++i) {
        const RowDefinition& definition = kRows[i];
        CapabilityEntry& row = g_CapabilityTable[i];
        row.CapId = definition.cap;
        row.ItemType = definition.type;
        row.GetConType = definition.getCon;
        row.CurrentConType = definition.cap == CAP_SUPPORTEDCAPS ? TWON_ARRAY : TWON_ONEVALUE;
        row.Operations = definition.mask;
        row.List = {values[i].listCount, values[i].list};
        // The supported capabilities have no value of their own: current and default are the list.
        if (definition.cap == CAP_SUPPORTEDCAPS) {
            row.Default = row.List;
            row.Current = row.List;
        } else {
            row.Default = {1, values[i].defaultValue};
            row.Current = {1, values[i].currentValue};
        }
        row.Scratch = {0, nullptr};
    }
    g_CapabilityTable[kCapabilityRows - 1] = CapabilityEntry{};
}

void FreeCapabilityTable() {
    for (CapabilityEntry& row : g_CapabilityTable) {
        if (row.Scratch.items != nullptr)
            GlobalFree(row.Scratch.items);
        row = CapabilityEntry{};
    }
}

CapabilityEntry* FindCapability(TW_UINT16 capId) {
    for (CapabilityEntry& row : g_CapabilityTable)
        if (row.List.items != nullptr && row.CapId == capId)
            return &row;
    return nullptr;
}

TW_UINT16 CapabilityDispatch(TwainCall* pCall, TW_UINT16& conditionCode) {
    conditionCode = TWCC_CAPUNSUPPORTED;
    TW_UINT16 result = TWRC_FAILURE;
    auto* cap = static_cast<TW_CAPABILITY*>(pCall->pData);
    if (cap == nullptr) {
        conditionCode = TWCC_BADVALUE;
    } else if (CapabilityEntry* row = FindRowForCall(cap->Cap)) {
        const TW_UINT32 bit = RequiredBit(pCall->MSG);
        if (bit == ~TW_UINT32{0}) {
            // another message: the preset code stands
        } else if ((row->Operations & bit) != bit) {
            conditionCode = TWCC_CAPBADOPERATION;
        } else {
            result = RunOperation(*row, *cap, pCall->MSG, conditionCode);
        }
    }
    // Applications of protocol 1.5 and older know TWCC_BADCAP rather than the newer capability codes.
    if (conditionCode >= TWCC_CAPUNSUPPORTED && IsOldApplication())
        conditionCode = TWCC_BADCAP;
    return result;
}

BOOL GetFeederEnabled() {
    return CurrentUInt16(CAP_FEEDERENABLED) != 0;
}

void SetFeederEnabled(BOOL enabled) {
    const TW_BOOL value = enabled ? 1 : 0;
    std::memcpy(Values()[RowIndexOf(CAP_FEEDERENABLED)].currentValue, &value, 2);
}

namespace {

// No job has told yet whether paper lies in the feeder: the device is asked, opened for the question when no job
// holds it (with the port of the window's settings when a window exists).
BOOL AskFeederStatus() {
    if (!g_b_devmon_close)
        return g_LLD.DevMon_GetADFStatus() == 0 ? TRUE : FALSE;
    const bool wasLoaded = g_LLD.IsLoaded();
    if (!wasLoaded && g_LLD.LoadDriver() != 1)
        return FALSE;
    char name[256] = "\\\\.\\Usbscan";
    if (CScanWindow* window = g_pScanWindow) {
        const ScanParam& param = window->GetScanParam();
        const char* address = param.portType == 1   ? param.szFoundAddress
                              : param.portType == 2 ? param.szHostAddress
                                                    : nullptr;
        if (address != nullptr) {
            const size_t length = strnlen(address, sizeof name - 1);
            std::memcpy(name, address, length);
            name[length] = 0;
        }
    }
    BOOL paper = FALSE;
    if (g_LLD.DevMon_Open(name) == 0) {
        paper = g_LLD.DevMon_GetADFStatus() == 0 ? TRUE : FALSE;
        g_LLD.DevMon_Close();
    }
    if (!wasLoaded)
        g_LLD.UnloadDriver();
    return paper;
}

} // namespace

BOOL IsPaperInFeeder() {
    if (g_bFeederStatusKnown)
        return g_bPaperInFeeder;
    return AskFeederStatus();
}

int GetTransferCountLimit() {
    if (!g_bApplicationXferCount)
        return -1;
    TW_INT16 count = 0;
    std::memcpy(&count, Values()[RowIndexOf(CAP_XFERCOUNT)].currentValue, 2);
    return count;
}

float GetCurrentNumber(TW_UINT16 cap) {
    return CurrentFloat(cap);
}

TW_UINT16 SetImageLayoutFrame(const TW_IMAGELAYOUT* pLayout) {
    unsigned char wire[16];
    std::memcpy(wire, &pLayout->Frame, sizeof wire);
    ReadOneValue(TWTY_FRAME, wire, sizeof wire, Values()[RowIndexOf(ICAP_FRAMES)].currentValue);
    g_bApplicationFrame = TRUE;
    return TWRC_SUCCESS;
}

BOOL GetApplicationFrame(float& left, float& top, float& right, float& bottom) {
    if (!g_bApplicationFrame)
        return FALSE;
    float frame[4]; // internal order: top, left, right, bottom
    std::memcpy(frame, Values()[RowIndexOf(ICAP_FRAMES)].currentValue, sizeof frame);
    top = frame[0];
    left = frame[1];
    right = frame[2];
    bottom = frame[3];
    return TRUE;
}

float GetCurrentXResolution() {
    return CurrentFloat(ICAP_XRESOLUTION);
}

float GetCurrentYResolution() {
    return CurrentFloat(ICAP_YRESOLUTION);
}

int WindowlessPaperIndex(int twainSize, int source) {
    switch (twainSize) {
    case TWSS_JISB5:
        return 3;
    case TWSS_USLETTER:
        return 4;
    case TWSS_USLEGAL:
        return 5;
    case TWSS_A5:
        return 1;
    case TWSS_A3:
        return source != 0 ? 7 : 6;
    case TWSS_A6:
        return 2;
    default: // A4 and anything unknown
        return 0;
    }
}

int WindowlessBrightnessContrast(float value) {
    return static_cast<int>(std::lround(std::clamp(value, -1000.0f, 1000.0f) / 10.0f));
}

int WindowlessThreshold(float value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0f, 255.0f)));
}

void WindowlessPaperFrame(float& left, float& top, float& right, float& bottom) {
    const int source = g_nTwainScanSource == 1 || g_nTwainScanSource == 2 ? g_nTwainScanSource.load() : 0;
    const unsigned list = source != 0 ? 1 : 0;
    const int index = WindowlessPaperIndex(g_nTwainScanSize, source);
    left = top = 0;
    if (index < GetMaxSanSizeNum(list)) {
        _PaperInfo row{};
        getPeperInfo(&row, list, index);
        const float scale = row.unit == kPaperUnitMillimetre ? 25.4f : 1.0f;
        right = row.width / scale;
        bottom = row.height / scale;
    } else { // the source's whole area
        right = static_cast<float>(GetMaxScanWidthInch());
        bottom = source == 0 ? static_cast<float>(GetMaxScanLengthInch()) : kFeederMaxLengthInch;
    }
    if (g_bIsPlatformWren && !g_bHasA3)
        right = std::min(right, kWidthMaxInchLx);
}
