// The user-interface language of a process (MUI): which language its windows speak, beyond the locale.
#pragma once

#include "platform/base/wintypes.h"

using PULONG = ULONG*;
using PZZWSTR = WCHAR*; // strings one after another, ending with an empty one
using PCZZWSTR = const WCHAR*;

#define MUI_LANGUAGE_ID 0x4
#define MUI_LANGUAGE_NAME 0x8

// The languages as four hexadecimal digits of a LANGID ("0804"), a list ending with an empty string; only
// MUI_LANGUAGE_ID is taken. The renderer takes the regional forms of Han characters from the first of them, before
// the system locale. An empty list forgets the preference.
BOOL SetProcessPreferredUILanguages(DWORD flags, PCZZWSTR languages, PULONG count);
BOOL GetProcessPreferredUILanguages(DWORD flags, PULONG count, PZZWSTR buffer, PULONG size);
