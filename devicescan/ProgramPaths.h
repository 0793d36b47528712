// Files the device-scan program finds beside itself: its folder and the INI [TWAIN] "File Prefix" name them.
#pragma once

#include "platform/base/windows.h"

// The program's folder, up to and including its last backslash (empty when it cannot be had), and the INI
// [TWAIN] "File Prefix" (empty when absent). Both MAX_PATH units.
void GetProgramFolderAndPrefix(WCHAR folder[MAX_PATH], WCHAR prefix[MAX_PATH]);

// "<folder><prefix>ps<code>.chm": the help file in the current language. False (and an empty path) when it would
// not fit.
bool GetVelmoraHelpPath(WCHAR out[MAX_PATH]);
