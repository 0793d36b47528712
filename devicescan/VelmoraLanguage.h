// The user-interface language of the device-scan program: its own copy of the choice, made when its language
// library is named at start-up, and read by its windows for their titles and their reading order.
#pragma once

#include "platform/base/cstring.h"
#include "platform/base/windows.h"

// The language number (0-21); English until GetVelmoraLanguageCode has run.
extern int g_nVelmoraLanguageID;

// Chooses the language as the data source does (registry value "Language" under the INI's [TWAIN] "Registry" key,
// else the system locale; the INI of this program), stores it in g_nVelmoraLanguageID and writes its code ("enus",
// "zhcn", "he"...) into `code` (MAX_PATH units). No log lines, no separator or keys.
void GetVelmoraLanguageCode(WCHAR code[MAX_PATH]);

// The English name of the current language: the INI section of its texts ("English", "Hebrew"...).
CString GetVelmoraLanguageName();

// TRUE when the current language is written right to left: the program's windows are then mirrored.
BOOL IsVelmoraRightToLeft();

// [<language name>] "Push UI Title" of the program's INI file: the title of its windows (empty when absent).
CString GetPushUITitle();

// In a right-to-left language, lays `dialog` out as the mirror of its template: every child moves to the mirror
// place about the client area's centre line; texts read right to left and stand against their right edge; check
// boxes carry their box on the right; progress bars fill from the right. Nothing in other languages.
void MirrorForReadingOrder(HWND dialog);
