#include "scanner/ScanErrors.h"

#include "settings/Language.h"
#include "settings/PlatformFlags.h"

const int DriverResultMap[kDriverResultCount] = {
    0,  -1,   200, -21, -4,  0,   -7,  -73, -72, -12, -1, // driver codes 0-10
    -1, -210, -74, -9,  -75, -76, -77, -78, -79, -80, 0,  // driver codes 11-21
};

namespace {

// The texts chosen by (category, code); id 0 stands for the model's generic device error.
struct ErrorText {
    int category, code;
    UINT id;
};
constexpr ErrorText kErrorTexts[] = {
    {0, -21, 1104}, {1, -73, 1139},  {1, -72, 1143}, {1, -21, 1104}, {1, -7, 1140},  {2, -78, 1152},
    {6, -210, 0},   {6, -100, 1105}, {6, -80, 1155}, {6, -79, 1153}, {6, -78, 1152}, {6, -77, 1151},
    {6, -76, 1149}, {6, -73, 1139},  {6, -72, 1143}, {6, -21, 1104}, {6, -7, 1140},  {6, -4, 0},
};

} // namespace

UINT GetScanErrorStringId(int category, int code) {
    for (const ErrorText& text : kErrorTexts)
        if (text.category == category && text.code == code)
            return text.id ? text.id : GetDefaultErrorStringId();
    // Any other failure to open is the device's; any other failure elsewhere is the general error text.
    return category == 0 ? GetDefaultErrorStringId() : 1103;
}

CString GetScanErrorMessage(int category, int code) {
    return LoadResString(GetScanErrorStringId(category, code));
}
