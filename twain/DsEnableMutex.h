// The machine-wide mark of an enabled data source: the named mutex "Global\<File Prefix>_sign". While it exists,
// MSG_OPENDS of every other process is refused.
#pragma once

#include "platform/base/windows.h"

// "Global\<INI [TWAIN] File Prefix>_sign" into out (MAX_PATH units).
void FormDsEnableMutexName(WCHAR out[MAX_PATH]);

// TRUE when the mutex exists anywhere (probed: opened and closed at once, never waited on).
BOOL IsDsEnableMutexPresent();
