// The push command: what the device asks for when its scan key is pressed. It reaches the program as the
// still-image device value "EventData" ("/STIDEVICE") or as digits on the command line ("-PUSH_PARAM").
//
//   byte  meaning                          values
//   0     head                             'V' (0x56)
//   1     resolution                       0: 75, 1: 150, 2: 300, 3: 600 dpi
//   2     colour                           0 black and white, 1 grey, 2 colour
//   3     paper size                       the table in PushCommand.cpp; any other value the whole flatbed
//   4     file type                        0 TIFF, 1 JPEG, 2 PDF, 3 and 4 OFD; any other value PDF
//   5     source (not PlatformOrca)        0 flatbed, 1 feeder, 3 duplex, 5 duplex with several pages
//   6     several pages (not PlatformOrca) 1: several pages
//   7     scan mode (PlatformOrca only)    0 single page, 1 several pages (always PDF)
// The command is 7 bytes long, 8 on PlatformOrca.
#pragma once

#include "platform/base/windows.h"

inline constexpr int kPushCommandLength = 7;
inline constexpr int kPushCommandLengthOrca = 8;
inline constexpr BYTE kPushCommandHead = 'V';

// The command's length on this platform (8 when g_bIsPlatformOrca is set, with the line "nCmdLine = CMD_LINE_C").
int GetPushCommandLength();

// Width and height in 1/1200 inch of a paper code of byte 3; false (and the whole flatbed) for an unlisted code.
bool GetPushPaperSize(int code, int* width, int* height);

// What one command asks for.
struct PushScanSettings {
    int dpi;       // both directions
    int colour;    // 0, 1 or 2
    int width;     // 1/1200 inch
    int height;    // 1/1200 inch
    int saveType;  // SaveType: 3 TIFF, 4 JPEG, 7 PDF, 10 OFD
    int source;    // driver source: 0 flatbed, 1 feeder, 3 duplex; PlatformOrca 8 single, 4 several pages
    int multiPage; // 1: the pages are scanned as one job
};

// Checks and decodes `length` command bytes (at least 7, or 8 when `orca`), writing the parser's debug lines. False
// when the buffer is short or the head, the resolution or the colour is refused; other unknown values take their
// defaults. Source 5 sets byte 6 of the command to 1.
bool DecodePushCommand(BYTE* command, int length, bool orca, PushScanSettings* settings);

// The command of the "-PUSH_PARAM" road: 'V', then one byte per character of `digits`, each the character minus '0'
// ('0'..'9' give 0..9, ':' 10, '=' 13). False, with the line "CMD line error" and nothing built, when `digits` has
// fewer than length - 1 characters or one of them lies below '0' or more than 255 above it.
bool BuildPushCommandFromDigits(const WCHAR* digits, BYTE* command, int length);
