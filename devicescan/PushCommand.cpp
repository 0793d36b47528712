#include "devicescan/PushCommand.h"

#include "devicescan/SaveImage.h"
#include "settings/DebugOutput.h"
#include "settings/PlatformFlags.h"

namespace {

// Paper sizes of byte 3 in 1/1200 inch; codes 11 and 12 are not listed.
struct PushPaper {
    int code;
    int width;
    int height;
};
constexpr PushPaper kPushPapers[] = {
    {0, 9921, 14031},   // A4
    {1, 6992, 9921},    // A5
    {2, 9921, 6992},    // A5 landscape
    {3, 8598, 12142},   // B5 (182 x 257 mm)
    {4, 10205, 14031},  // the whole flatbed
    {5, 10200, 13200},  // Letter
    {6, 4252, 2598},    // 90 x 55 mm card
    {7, 10200, 16800},  // Legal
    {8, 10200, 15590},  // 8.5 x 13 inch
    {9, 8315, 11811},   // B5 (176 x 250 mm)
    {10, 4961, 6992},   // A6
    {13, 14031, 19842}, // A3
};
constexpr int kFullFlatbedWidth = 10205;
constexpr int kFullFlatbedHeight = 14031;

constexpr int kPushDpi[] = {75, 150, 300, 600};

// Driver source codes of PlatformOrca's push jobs.
constexpr int kOrcaSourceSingle = 8;
constexpr int kOrcaSourceSeveral = 4;

} // namespace

int GetPushCommandLength() {
    if (g_bIsPlatformOrca) {
        DebugPrint(u"nCmdLine = CMD_LINE_C");
        return kPushCommandLengthOrca;
    }
    return kPushCommandLength;
}

bool GetPushPaperSize(int code, int* width, int* height) {
    for (const PushPaper& paper : kPushPapers) {
        if (paper.code == code) {
            *width = paper.width;
            *height = paper.height;
            return true;
        }
    }
    *width = kFullFlatbedWidth;
    *height = kFullFlatbedHeight;
    return false;
}

bool DecodePushCommand(BYTE* command, int length, bool orca, PushScanSettings* settings) {
    if (!command || !settings || length < (orca ? kPushCommandLengthOrca : kPushCommandLength))
        return false;
    *settings = PushScanSettings{};
    if (command[0] != kPushCommandHead) {
        DebugPrint(u"Push CMD Head error!");
        return false;
    }
    if (command[1] > 3) {
        DebugPrint(u"Scan Resolution error");
        return false;
    }
    settings->dpi = kPushDpi[command[1]];
    if (command[2] > 2) {
        DebugPrint(u"color error");
        return false;
    }
    settings->colour = command[2];
    if (!GetPushPaperSize(command[3], &settings->width, &settings->height))
        DebugPrint(u"scan size error, default full");

    switch (command[4]) {
    case 0:
        settings->saveType = SaveTypeTiff;
        break;
    case 1:
        settings->saveType = SaveTypeJpeg;
        break;
    case 2:
        settings->saveType = SaveTypePdf;
        break;
    case 3:
    case 4:
        settings->saveType = SaveTypeOfd;
        break;
    default:
        DebugPrint(u"save type error, save default PDF");
        settings->saveType = SaveTypePdf;
        break;
    }

    if (orca) {
        // Any other mode sets nothing: the flatbed source 0 and one page.
        if (command[7] == 0) {
            settings->source = kOrcaSourceSingle;
            settings->multiPage = 0;
            DebugPrint(u"single scan mode");
        } else if (command[7] == 1) {
            settings->source = kOrcaSourceSeveral;
            settings->multiPage = 1;
            settings->saveType = SaveTypePdf; // several pages always become one PDF
            DebugPrint(u"multi scan mode");
        }
        return true;
    }
    switch (command[5]) {
    case 0:
        settings->source = 0;
        break;
    case 1:
        settings->source = 1;
        break;
    case 3:
        settings->source = 3;
        break;
    case 5:
        settings->source = 3;
        command[6] = 1;
        break;
    default:
        DebugPrint(u"ScanSource error, default flatbed");
        settings->source = 0;
        break;
    }
    if (command[5] == 1 || command[6] == 1) {
        settings->multiPage = 1;
        DebugPrint(u"multi scan mode");
    } else {
        settings->multiPage = 0;
        DebugPrint(u"single scan mode");
    }
    return true;
}

bool BuildPushCommandFromDigits(const WCHAR* digits, BYTE* command, int length) {
    const int needed = length - 1;
    int available = 0;
    while (digits && available < needed && digits[available] != 0)
        ++available;
    if (length < 1 || available < needed) {
        DebugPrint(u"CMD line error");
        return false;
    }
    // The device's codes above 9 follow '9' in the character table (':' is 10, '=' is 13, as the push command
    // writes them); only a character whose value does not fit a byte is refused, before anything is built.
    for (int i = 0; i < needed; ++i) {
        const int value = static_cast<int>(digits[i]) - u'0';
        if (value < 0 || value > 0xFF) {
            DebugPrint(u"CMD line error");
            return false;
        }
    }
    command[0] = kPushCommandHead;
    for (int i = 1; i < length; ++i)
        command[i] = static_cast<BYTE>(digits[i - 1] - u'0');
    return true;
}
