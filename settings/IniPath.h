// Where the model's INI file lies and how its model-specific keys are formed.
//
// The INI file: <Windows folder>\<module file name less its last N characters>.ini, N being 5 for the data source
// (Scanner64.ds -> Scanner.ini) and 12 for the device-scan program (ScannerVazeDozi.exe -> Scanner.ini).
// The model key: the name of the folder that holds the running module, the %s of keys like "HasADF(%s)".
#pragma once

#include "platform/base/windows.h"

inline constexpr int kIniDropCharsDataSource = 5;
inline constexpr int kIniDropCharsDeviceScan = 12;

// The model folder name as the design keeps it: 63 characters at most. Keys are formed from the whole name
// (GetModelKeyName), which may be longer.
extern WCHAR g_szModuleFolderName[64];

// Writes the INI path into out (MAX_PATH units; empty when the module's path cannot be had) and refreshes the model
// folder name. Read afresh at every call.
void GetIniPath(WCHAR out[MAX_PATH], int nDropChars = kIniDropCharsDataSource);

// The pure rule behind GetIniPath: builds the INI path from the Windows folder and a module path; folderName
// (MAX_PATH units, may be null) receives the whole model folder name, or is left alone when the module path has no
// folder with a name.
void FormIniPath(LPCWSTR windowsDir, LPCWSTR modulePath, int nDropChars, WCHAR out[MAX_PATH], WCHAR* folderName);

// The whole model folder name as last found by GetIniPath (empty before the first call).
void GetModelKeyName(WCHAR out[MAX_PATH]);

// Formats a model key such as u"HasADF(%s)" with the whole model folder name into out (MAX_PATH units).
void FormatModelKey(LPCWSTR keyFormat, WCHAR out[MAX_PATH]);

// Reads [TWAIN] <model key> into out (MAX_PATH units; empty when absent).
void ReadModelValue(LPCWSTR keyFormat, WCHAR out[MAX_PATH]);

// TRUE when [TWAIN] <model key> is exactly `literal` ("TRUE" or "FALSE"; compared case-sensitively, untrimmed).
BOOL ModelValueIs(LPCWSTR keyFormat, LPCWSTR literal);

// TRUE when the INI file is a readable file that names the [TWAIN] "File Prefix", by which every companion file (the
// driver, the language libraries) is found; a missing, unreadable, empty or damaged INI file is not. `path`
// (MAX_PATH units, may be null) receives the INI file's path.
BOOL IsIniFileUsable(WCHAR* path = nullptr, int nDropChars = kIniDropCharsDataSource);
