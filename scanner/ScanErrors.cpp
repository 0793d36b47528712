#include "scanner/ScanErrors.h"

#include "settings/Language.h"
#include "settings/PlatformFlags.h"

const int DriverResultMap[kDriverResultCount] = {
    0,   -1,  200, -21, -4,  0,   -7,  -73, -72, -12, -1, // driver codes 0-10
    -1,  -210, -74, -9, -75, -76, -77, -78, -79, -80, 0,  // driver codes 11-21
};

UINT GetScanErrorStringId(int category, int code) {
    switch (category) {
    case 0:
        return code == -21 ? 1104 : GetDefaultErrorStringId();
    case 1:
        switch (code) {
        case -73: return 1139;
        case -72: return 1143;
        case -21: return 1104;
        case -7: return 1140;
        default: return 1103;
        }
    case 2:
        return code == -78 ? 1152 : 1103;
    case 6:
        switch (code) {
        case -210: return GetDefaultErrorStringId();
        case -100: return 1105;
        case -80: return 1155;
        case -79: return 1153;
        case -78: return 1152;
        case -77: return 1151;
        case -76: return 1149;
        case -73: return 1139;
        case -72: return 1143;
        case -21: return 1104;
        case -7: return 1140;
        case -4: return GetDefaultErrorStringId();
        default: return 1103;
        }
    default:
        return 1103;
    }
}

CString GetScanErrorMessage(int category, int code) { return LoadResString(GetScanErrorStringId(category, code)); }
