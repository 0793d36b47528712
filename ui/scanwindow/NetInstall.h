// The network scanner an installation chose. The installer leaves its address and the time of the installation in
// the registry (values "IP" and "IP TIME" under the key the INI's [TWAIN] "Registry" names, HKEY_LOCAL_MACHINE);
// the scanning window takes the address over once per installation and records that in the marker file
// "net_install.dat" of the settings folder.
//
// Marker file: UTF-16LE text without terminator or byte-order mark: one letter, then the "IP TIME" text. The letter
// tells who took that installation over: 'T' the TWAIN window, 'A' the app-mode window, 'D' both.
#pragma once

#include "settings/FileHandle.h"

#include "platform/base/windows.h"

#include <cstddef>
#include <optional>

// The registry values are read into 256-byte buffers; the marker file is read up to 260 characters.
inline constexpr int kNetInstallValueChars = 128;
inline constexpr int kNetInstallMarkerChars = 260;

// Reads a string value of at most kNetInstallValueChars units, terminated. FALSE when the value is missing, is no
// string, or does not fit its buffer (a value cut short would be another address or another time).
BOOL ReadNetInstallValue(HKEY key, const WCHAR* name, WCHAR out[kNetInstallValueChars + 1]);

// Decides from the marker's content (`chars` UTF-16 units, none for an empty file) and the registry's "IP TIME"
// whether this window takes the address over, and the marker's new letter when it does.
bool DecideNetInstall(const WCHAR* marker, size_t chars, const WCHAR* ipTime, BOOL appMode, WCHAR& letter);

class CNetInstall {
public:
    // Reads the registry values and the marker file (kept open until WriteMarker or the end of the object): TRUE
    // when the window is to take the address over.
    BOOL Check(BOOL appMode);
    // The address in the narrow form of ScanParam's address fields, terminated; FALSE when it does not fit.
    BOOL NarrowAddress(char out[256]) const;
    // Once the address is taken over: the marker is written from the start of the file and whatever followed it
    // cut off, so that the same installation is not taken over again. No marker file, nothing written.
    void WriteMarker();

private:
    WCHAR m_szAddress[kNetInstallValueChars + 1] = {};
    WCHAR m_szTime[kNetInstallValueChars + 1] = {};
    WCHAR m_letter = 0;
    std::optional<FileHandle> m_file;
};
