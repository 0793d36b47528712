// "imgSaveSettings.dat": where and how the app-mode scans are saved, for the calling application to read. The file
// is exactly this record, 2100 bytes, little-endian, no header; strings are UTF-16LE, terminated and zero-padded:
//
//   offset  size  field
//        0   520  save folder (with or without a trailing backslash)
//      520   520  file-name base of the next image, without extension
//     1040   520  file type: "bmp", "jpg", "tif", "pdf", "png" or "ofd" (lower case in the file)
//     1560     4  open the image file after scanning (0/1)
//     1564     4  open the image folder after scanning (0/1)
//     1568     4  destination: 0 folder, 1 e-mail
//     1572   520  full path of the e-mail program (may be empty)
//     2092     4  manual duplex of app mode (0/1)
//     2096     4  always 0
#pragma once

#include "platform/base/windows.h"

#include <cstddef>
#include <cstdint>

struct ImgSaveSettings {
    WCHAR szFolder[MAX_PATH];
    WCHAR szName[MAX_PATH];
    WCHAR szType[MAX_PATH];
    std::int32_t nOpenFile;
    std::int32_t nOpenFolder;
    std::int32_t nMode;
    WCHAR szMailProgram[MAX_PATH];
    std::int32_t nManualDuplex;
    std::int32_t nScanReset;
};
static_assert(sizeof(ImgSaveSettings) == 2100);
static_assert(offsetof(ImgSaveSettings, szType) == 1040);
static_assert(offsetof(ImgSaveSettings, nOpenFile) == 1560);
static_assert(offsetof(ImgSaveSettings, szMailProgram) == 1572);
static_assert(offsetof(ImgSaveSettings, nManualDuplex) == 2092);
static_assert(offsetof(ImgSaveSettings, nScanReset) == 2096);

inline constexpr int kImgSaveSettingsSize = 2100;
inline constexpr int kImgSaveModeFolder = 0;
inline constexpr int kImgSaveModeEmail = 1;

// The six file types in the order the save dialogs list them (upper case, as shown).
inline constexpr const WCHAR* kImgSaveTypes[] = {u"BMP", u"JPG", u"TIF", u"PDF", u"PNG", u"OFD"};

// Application data + the INI's "Setting Folder" and "Setting Path" (both created) + "imgSaveSettings.dat", into
// `out` of `size` characters, and written to the debug output. FALSE, with `out` empty, without an
// application-data folder or when the path does not fit: then nothing is read or written.
BOOL GetImgSaveSettingsPath(WCHAR* out, int size);

// Takes the record from the bytes of a file: up to 2100 of them, a shorter file leaving the rest zero; then every
// string ends at its last unit, a type other than the six becomes "jpg", and the four switches are 0 or 1.
void ParseImgSaveSettings(const void* bytes, size_t size, ImgSaveSettings& record);
// Reads the file into `record` (zeroed first); FALSE, `record` zero, when it cannot be opened or read.
BOOL ReadImgSaveSettings(const WCHAR* path, ImgSaveSettings& record);
// Writes the record as the whole file (each string zero-padded after its end), through a temporary file renamed
// over it; a failure is written to the debug output and leaves the previous file as it was.
BOOL WriteImgSaveSettings(const WCHAR* path, const ImgSaveSettings& record);
