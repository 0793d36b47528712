// Paths of temporary data and the next free names for saved scans.
#pragma once

#include "platform/base/windows.h"
#include "platform/base/cstring.h"

// Application data (or the system temporary folder) + "\Tmpdata\" + name; see the .cpp for the folder rule.
CString GetTempDataPath(const WCHAR* folder, const WCHAR* name);
// "YYYY-MM-DD_NNN": today's prefix and the next number after every such name in the folder, from 001.
int NextDatedFileName(const WCHAR* folder, WCHAR out[MAX_PATH]);
// `base`, or "base N" with N one above the highest number found after `base` in the folder. A backslash is added to
// `folder` in place when it lacks one (the buffer holds MAX_PATH characters).
int NextNumberedFileName(WCHAR* folder, const WCHAR* base, WCHAR out[MAX_PATH]);
// The folder saved scans go to when none is chosen: My Pictures on Windows 6.0 and later, else My Documents (created
// when missing). FALSE, with an empty `out`, when the system has neither.
BOOL GetDefaultSaveFolder(WCHAR out[MAX_PATH]);
