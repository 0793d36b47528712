// The language library of the scanning window ("<module folder><File Prefix>twrcXXXX.dll", XXXX the language
// code): one per process, shared by every window of the module and counted. The first window to take it loads it
// and makes it the framework's resource handle, so every string id comes from it (bitmaps always come from the
// module itself); the last to give it back puts the previous resource handle back before the library is freed, so
// no string is ever loaded from a freed library, also when windows overlap in app mode.
#pragma once

#include "platform/base/cstring.h"
#include "platform/base/windows.h"

// The library (null when it could not be loaded: strings then read "Load String Error!"). Sets g_bHebrew for a
// right-to-left language when it loads.
HMODULE AcquireLanguageLibrary();
// Gives back one Acquire.
void ReleaseLanguageLibrary();
// How many windows hold the library (tests).
int LanguageLibraryUsers();

// Whether `text` is the string `id` of any language library of the module (the window's own language included):
// names a window saved in one language are known again in another.
BOOL IsStringOfAnyLanguage(UINT id, const CString& text);
