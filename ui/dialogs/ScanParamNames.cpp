#include "ui/dialogs/ScanParamNames.h"

#include "settings/Language.h"
#include "settings/PlatformFlags.h"

#include <iterator>

namespace {

template <size_t N> CString NameFrom(const UINT (&ids)[N], int value) {
    if (value < 0 || static_cast<size_t>(value) >= N)
        return CString();
    return LoadResString(ids[value]);
}

constexpr UINT kSourceNames[] = {1026, 1138, 1145};
constexpr UINT kColorModeNames[] = {1030, 1029, 1028};
constexpr UINT kResolutionNames[] = {1032, 1033, 1034, 1035, 1036};
constexpr UINT kDescreenNames[] = {1051, 1050};
constexpr UINT kFadingNames[] = {1053, 1054, 1055, 1056};
constexpr UINT kRotationNames[] = {1058, 1059, 1060, 1061};
constexpr UINT kCurveNames[] = {1082, 1083, 1084, 1085, 1086};
constexpr UINT kString400Dpi = 1148;

} // namespace

CString SourceName(int source) {
    return NameFrom(kSourceNames, source);
}

CString ColorModeName(int colorMode) {
    return NameFrom(kColorModeNames, colorMode);
}

CString ResolutionName(int resolution) {
    if (resolution == 3 && g_bIsPlatformWren && !g_bIsPlatformWren_RGB)
        return LoadResString(kString400Dpi);
    return NameFrom(kResolutionNames, resolution);
}

CString DescreenName(int descreen) {
    return NameFrom(kDescreenNames, descreen);
}

CString FadingName(int fading) {
    return NameFrom(kFadingNames, fading);
}

CString RotationName(int rotation) {
    return NameFrom(kRotationNames, rotation);
}

CString CurveName(int preset) {
    return NameFrom(kCurveNames, preset);
}

CString WithDecimalSeparator(CString text) {
    text.Replace(u'.', g_chDecimalSep);
    return text;
}
