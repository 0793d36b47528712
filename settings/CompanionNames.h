// File names of Quennet's companion files in the module's folder. "XXXX" stands for the language code and is
// replaced where a file is used; the data source puts the INI [TWAIN] "File Prefix" in front of each name once,
// when its engine is built.
#pragma once

#include "platform/base/windows.h"

extern WCHAR g_szHelpFileName[MAX_PATH];    // "twXXXX.chm" at load
extern WCHAR g_szAppHelpFileName[MAX_PATH]; // "AppXXXX.chm" at load, the help of app mode
extern WCHAR g_szResLibraryName[MAX_PATH];  // "twrcXXXX.dll" at load, the language resource library
extern WCHAR g_szEffectLibName[MAX_PATH];   // "Tonalis.dll" at load, the image-effect library

// Formats "%s%s" (prefix, then name) into each of the four names. A result that would not fit leaves that name as
// it was, rather than cutting it into the name of some other file.
void PrefixCompanionNames(const WCHAR* prefix);

// The path of a companion file: the module's own folder (up to and including its last backslash) followed by
// `name`. FALSE (out empty) when the module's path cannot be had or the result would not fit.
BOOL GetCompanionPath(const WCHAR* name, WCHAR out[MAX_PATH]);
