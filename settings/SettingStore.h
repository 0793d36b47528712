// The per-user store of scan settings: any number of named ScanParam records plus the current one, kept in a tree
// settings file. Each operation loads the whole file, changes it, writes it back and releases it.
//
// Tree: "cfgobj" / "version" (string)
//                / "ScanParam" / "savesetting" / <name> (binary, 612 bytes) ...
//                              / "cursetting"  / <name> (binary, 612 bytes), at most one
//                              / "cuspapersetting"
#pragma once

#include "platform/base/windows.h"

// Application mode (custom capability 0x8123): selects "APPsettings.dat" instead of "settings.dat".
extern BOOL g_bAppMode;

inline constexpr int kMaxSettingNameLength = 40;

// Application data + [TWAIN] "Setting Folder" (created) + [TWAIN] "Setting Path" (created), joined as they stand
// (the INI values carry their own backslashes), read from the INI of a module that drops `nDropChars` (IniPath.h).
// FALSE (and an empty folder) when the application-data folder cannot be had or the path does not fit.
BOOL GetSettingsFolder(WCHAR out[MAX_PATH], int nDropChars);
// The same folder from a named INI file: another program finding where a module keeps its settings.
BOOL GetSettingsFolderFromIni(const WCHAR* ini, WCHAR out[MAX_PATH]);
// Application data + [TWAIN] "Setting Path" + the file name; FALSE (and an empty path) when the application-data
// folder cannot be had or the path does not fit.
BOOL GetSettingsFilePath(WCHAR out[MAX_PATH]);
BOOL InitSettingsFile();
BOOL SaveNamedSetting(const WCHAR* name, const BYTE* record);
BOOL LoadNamedSetting(const WCHAR* name, BYTE* record);
int ListNamedSettings(WCHAR* names[], int max);
BOOL DeleteNamedSetting(const WCHAR* name);
BOOL SaveCurrentSetting(const WCHAR* name, const BYTE* record);
BOOL LoadCurrentSetting(BYTE* record, WCHAR name[128]);
