// vazedozi_settings.dat: where push scans are saved and what is opened after a scan. The settings window writes it,
// every push scan reads it before it starts. The whole file is one record, little-endian, no header, no version:
//
//   offset  size  field
//        0     4  open the file after the scan: int32, 0 or 1
//        4     4  open the folder after the scan: int32, 0 or 1
//        8   520  save folder: UTF-16, terminated, zero-padded to 260 units
#pragma once

#include "platform/base/windows.h"

#include <cstdint>

struct VazeDoziSettings {
    int32_t openFile;
    int32_t openFolder;
    WCHAR saveFolder[MAX_PATH];
};
static_assert(sizeof(VazeDoziSettings) == 528, "vazedozi_settings.dat is 528 bytes");

// Application data + [TWAIN] "Setting Folder" (created) + [TWAIN] "Setting Path" (created) + "vazedozi_settings.dat",
// joined as they stand. `out` holds MAX_PATH units; it is empty when the application-data folder cannot be had or
// the path does not fit, so that opening it fails.
void GetVazeDoziSettingsPath(WCHAR out[MAX_PATH]);
// The same file as the program finds it through the INI file `ini` (for another program, such as the scan key).
void GetVazeDoziSettingsPathFromIni(const WCHAR* ini, WCHAR out[MAX_PATH]);

// Open-file 0, open-folder 1, the default save folder (My Pictures).
void GetDefaultVazeDoziSettings(VazeDoziSettings& settings);

// Reads the file (opened for reading and writing). False, with the defaults in `settings`, when it cannot be opened
// or holds fewer than 528 bytes. The folder read is always terminated at unit 259.
bool ReadVazeDoziSettings(VazeDoziSettings& settings);
// The same, from the file GetVazeDoziSettingsPathFromIni names.
bool ReadVazeDoziSettingsFromIni(const WCHAR* ini, VazeDoziSettings& settings);

// Creates the file (replacing any) and writes the record. False when it cannot be written whole.
bool WriteVazeDoziSettings(const VazeDoziSettings& settings);
