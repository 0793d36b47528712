#include "tools/twainapp/CapabilityText.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace twainapp {

namespace {

struct Named {
    TW_UINT16 value;
    const char* name;
};

constexpr Named kCapabilities[] = {
    {CAP_XFERCOUNT, "CAP_XFERCOUNT"},
    {ICAP_COMPRESSION, "ICAP_COMPRESSION"},
    {ICAP_PIXELTYPE, "ICAP_PIXELTYPE"},
    {ICAP_UNITS, "ICAP_UNITS"},
    {ICAP_XFERMECH, "ICAP_XFERMECH"},
    {CAP_FEEDERENABLED, "CAP_FEEDERENABLED"},
    {CAP_FEEDERLOADED, "CAP_FEEDERLOADED"},
    {CAP_SUPPORTEDCAPS, "CAP_SUPPORTEDCAPS"},
    {CAP_AUTOFEED, "CAP_AUTOFEED"},
    {CAP_INDICATORS, "CAP_INDICATORS"},
    {CAP_UICONTROLLABLE, "CAP_UICONTROLLABLE"},
    {CAP_DEVICEONLINE, "CAP_DEVICEONLINE"},
    {CAP_DUPLEXENABLED, "CAP_DUPLEXENABLED"},
    {ICAP_AUTOBRIGHT, "ICAP_AUTOBRIGHT"},
    {ICAP_BRIGHTNESS, "ICAP_BRIGHTNESS"},
    {ICAP_CONTRAST, "ICAP_CONTRAST"},
    {ICAP_HALFTONES, "ICAP_HALFTONES"},
    {ICAP_HIGHLIGHT, "ICAP_HIGHLIGHT"},
    {ICAP_IMAGEFILEFORMAT, "ICAP_IMAGEFILEFORMAT"},
    {ICAP_ORIENTATION, "ICAP_ORIENTATION"},
    {ICAP_PHYSICALWIDTH, "ICAP_PHYSICALWIDTH"},
    {ICAP_PHYSICALHEIGHT, "ICAP_PHYSICALHEIGHT"},
    {ICAP_SHADOW, "ICAP_SHADOW"},
    {ICAP_FRAMES, "ICAP_FRAMES"},
    {ICAP_XNATIVERESOLUTION, "ICAP_XNATIVERESOLUTION"},
    {ICAP_YNATIVERESOLUTION, "ICAP_YNATIVERESOLUTION"},
    {ICAP_XRESOLUTION, "ICAP_XRESOLUTION"},
    {ICAP_YRESOLUTION, "ICAP_YRESOLUTION"},
    {ICAP_MAXFRAMES, "ICAP_MAXFRAMES"},
    {ICAP_BITORDER, "ICAP_BITORDER"},
    {ICAP_PIXELFLAVOR, "ICAP_PIXELFLAVOR"},
    {ICAP_PLANARCHUNKY, "ICAP_PLANARCHUNKY"},
    {ICAP_SUPPORTEDSIZES, "ICAP_SUPPORTEDSIZES"},
    {ICAP_THRESHOLD, "ICAP_THRESHOLD"},
    {ICAP_XSCALING, "ICAP_XSCALING"},
    {ICAP_YSCALING, "ICAP_YSCALING"},
    {ICAP_BITDEPTH, "ICAP_BITDEPTH"},
    {ICAP_BITDEPTHREDUCTION, "ICAP_BITDEPTHREDUCTION"},
    {ICAP_UNDEFINEDIMAGESIZE, "ICAP_UNDEFINEDIMAGESIZE"},
    {ICAP_MINIMUMHEIGHT, "ICAP_MINIMUMHEIGHT"},
    {ICAP_MINIMUMWIDTH, "ICAP_MINIMUMWIDTH"},
    {0x8123, "custom 0x8123 (app mode)"},
    {0x8124, "custom 0x8124 (skip adjustments)"},
};

constexpr const char* kTypes[] = {"INT8",  "INT16", "INT32", "UINT8", "UINT16", "UINT32", "BOOL",
                                  "FIX32", "FRAME", "STR32", "STR64", "STR128", "STR255"};

std::size_t ItemSize(TW_UINT16 type) {
    switch (type) {
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
        return 34; // the slot the sources of this family use
    default:
        return 2;
    }
}

// A value stored at `at`, which need not be aligned.
template <typename T> T Read(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::string Fix32Text(const unsigned char* at) {
    const auto fix = Read<TW_FIX32>(at);
    char text[32];
    std::snprintf(text, sizeof text, "%g", fix.Whole + fix.Frac / 65536.0);
    return text;
}

// One item; `available` bytes can be read at `at`.
std::string ItemText(TW_UINT16 type, const unsigned char* at, std::size_t available) {
    if (available < ItemSize(type) && type < TWTY_STR32)
        return "?";
    switch (type) {
    case TWTY_INT8:
        return std::to_string(Read<TW_INT8>(at));
    case TWTY_UINT8:
        return std::to_string(Read<TW_UINT8>(at));
    case TWTY_INT16:
        return std::to_string(Read<TW_INT16>(at));
    case TWTY_INT32:
        return std::to_string(Read<TW_INT32>(at));
    case TWTY_UINT32:
        return std::to_string(Read<TW_UINT32>(at));
    case TWTY_FIX32:
        return Fix32Text(at);
    case TWTY_FRAME:
        return "(" + Fix32Text(at) + ", " + Fix32Text(at + 4) + ", " + Fix32Text(at + 8) + ", " + Fix32Text(at + 12) +
               ")";
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255: {
        const std::size_t limit = available < ItemSize(type) ? available : ItemSize(type);
        return "\"" +
               std::string(reinterpret_cast<const char*>(at), strnlen(reinterpret_cast<const char*>(at), limit)) + "\"";
    }
    default:
        return std::to_string(Read<TW_UINT16>(at));
    }
}

} // namespace

std::string CapabilityName(TW_UINT16 cap) {
    for (const Named& named : kCapabilities)
        if (named.value == cap)
            return named.name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", cap);
    return text;
}

std::string ItemTypeName(TW_UINT16 type) {
    return type < std::size(kTypes) ? kTypes[type] : "type " + std::to_string(type);
}

std::string ContainerName(TW_UINT16 conType) {
    switch (conType) {
    case TWON_ARRAY:
        return "ARRAY";
    case TWON_ENUMERATION:
        return "ENUMERATION";
    case TWON_ONEVALUE:
        return "ONEVALUE";
    case TWON_RANGE:
        return "RANGE";
    default:
        return "container " + std::to_string(conType);
    }
}

std::string ConditionText(TW_UINT16 code) {
    static const char* const kMeanings[] = {"success",
                                            "failure",
                                            "not enough memory",
                                            "no data source",
                                            "the source is connected to its maximum of applications",
                                            "the source or the manager failed and reported it",
                                            "unknown capability",
                                            "",
                                            "",
                                            "unknown operation",
                                            "a value out of range",
                                            "an operation out of sequence",
                                            "unknown destination",
                                            "capability not supported",
                                            "operation not supported for this capability",
                                            "capability depends on another",
                                            "file access denied",
                                            "file exists",
                                            "file not found",
                                            "folder not empty",
                                            "paper jam",
                                            "double feed",
                                            "file write error",
                                            "device offline"};
    std::string text = "condition code " + std::to_string(code);
    if (code < std::size(kMeanings) && *kMeanings[code] != 0)
        text += std::string(" (") + kMeanings[code] + ")";
    return text;
}

std::string DescribeContainer(TW_UINT16 conType, const void* container, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(container);
    if (bytes == nullptr || size < 2)
        return "(no container)";
    const auto type = Read<TW_UINT16>(bytes);
    const std::size_t item = ItemSize(type);
    std::string text = ContainerName(conType) + " " + ItemTypeName(type) + " ";
    switch (conType) {
    case TWON_ONEVALUE:
        return text + ItemText(type, bytes + 2, size - 2);
    case TWON_RANGE:
        if (size < 22)
            return text + "?";
        return text + ItemText(type, bytes + 2, 4) + " to " + ItemText(type, bytes + 6, 4) + " step " +
               ItemText(type, bytes + 10, 4) + ", default " + ItemText(type, bytes + 14, 4) + ", current " +
               ItemText(type, bytes + 18, 4);
    case TWON_ARRAY:
    case TWON_ENUMERATION: {
        const std::size_t header = conType == TWON_ARRAY ? 6 : 14;
        if (size < header)
            return text + "?";
        const TW_UINT32 count = Read<TW_UINT32>(bytes + 2);
        const TW_UINT32 current = conType == TWON_ARRAY ? count : Read<TW_UINT32>(bytes + 6);
        const TW_UINT32 deflt = conType == TWON_ARRAY ? count : Read<TW_UINT32>(bytes + 10);
        text += "{";
        for (TW_UINT32 i = 0; i < count && header + (i + 1) * item <= size; ++i) {
            const std::string value = ItemText(type, bytes + header + i * item, item);
            text += (i ? ", " : "") + (i == current ? "[" + value + "]" : value);
        }
        text += "}";
        if (conType == TWON_ENUMERATION && deflt < count && header + (deflt + 1) * item <= size)
            text += " default " + ItemText(type, bytes + header + deflt * item, item);
        return text;
    }
    default:
        return text + "?";
    }
}

} // namespace twainapp
