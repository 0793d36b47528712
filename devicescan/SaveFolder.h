// The save folder of push scans: its trailing backslash and the probe that tells whether files can be written in it.
#pragma once

#include "platform/base/windows.h"

// Adds a backslash to `folder` (MAX_PATH units) only when it does not end with one already. False, leaving the
// folder as it was, when it would not fit.
bool AddFolderBackslash(WCHAR folder[MAX_PATH]);

// Tells whether a file can be created in `folder` (which ends with a backslash): creates
// "<folder>YYMMDDhhmmsstemp.dat" of `now` with CREATE_NEW, or, when that name is taken, "...temp1.dat" up to
// "...temp99.dat", then closes and deletes it. A file it did not create is never touched. False, with the system
// error left in GetLastError, when none can be created.
bool ProbeFolderWrite(const WCHAR* folder, const SYSTEMTIME& now);
