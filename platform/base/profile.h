// Private-profile (INI) files, read-only: every call sees the file as it is then. A file that has not changed since
// a call read it (same file, size, modification and change times) is not read again.
// Section and key names compare without regard to case; values are trimmed of blanks and of one pair of
// surrounding quotes (" or '); lines starting with ';' are comments. Files may be UTF-16 LE with a byte-order mark
// or 8-bit (UTF-8, with or without a byte-order mark). A file name without a folder lies in the Windows folder.
#pragma once

#include "platform/base/wintypes.h"

// Copies the value (or, when the file, section or key is missing, the default without its trailing blanks) into
// `returned`. A value that does not fit is cut to size-1 characters and terminated, and the result is size-1;
// otherwise the result is the number of characters copied. NULL section or key (enumeration) is not supported:
// it answers an empty string.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR returned, DWORD size,
                               LPCWSTR fileName);
// The value's leading decimal number (optional sign); `defaultValue` when the key is missing or empty.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName);
#define GetPrivateProfileString GetPrivateProfileStringW
#define GetPrivateProfileInt GetPrivateProfileIntW
