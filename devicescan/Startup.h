// What the device-scan program does at start-up besides choosing its road: the language library's path, the
// registration of its companion library ("-INS"/"-UNI") and its registration with the restart service.
#pragma once

#include "platform/base/windows.h"

// Set when RegisterApplicationRestart succeeded, with the time of the registration (seconds since 1970). While set,
// the program holds a session end back until 60 seconds after the registration.
extern BOOL g_bRestartRegistered;
extern LONGLONG g_tRestartTime;

// "<program folder><File Prefix>psrc<language code>.dll"; chooses the program's language. Sets g_bIsPlatformOrca
// for the File Prefix "kvx7718". Empty when the path would not fit.
void GetResourceDllPath(WCHAR out[MAX_PATH]);
// "<program folder><File Prefix>Quillet.dll"; empty when it would not fit.
void GetQuilletDllPath(WCHAR out[MAX_PATH]);
// Call the companion library's DllRegisterServer / DllUnregisterServer; a missing library or export does nothing.
void RegisterQuillet();
void UnregisterQuillet();

// Registers "/RESTART" with the restart service on a system of version 6.0 or 10.0 (a minor version of 0) with a
// build of 6000 or more; other systems are left alone.
void RegisterRestart();
// Tells the user, in a message box of the system's own, why the program cannot start without its language library:
// the model's INI file is missing or unreadable, names no File Prefix (empty or damaged), or the library it names
// is missing. Written to the debug output too. The texts are English: no library of texts is at hand.
void ReportNoLanguageLibrary(const WCHAR* libraryPath);

// The name every scanning run holds while it lives, so that a starting one knows whether another uses the temporary
// folder.
inline constexpr const WCHAR* kScanRunMutexName = u"Local\\KVX7731_SCANMANAGER_SCAN";
// Marks this run as one that scans and, when no other scanning run lives, deletes what killed runs left in the
// temporary folder: page JPEGs ("Jpg*.tmp") and the work folders and archives of OFD documents ("img-*.ofd"). The
// handle is held until the run ends; null when it cannot be made (nothing is deleted then).
HANDLE ClaimTemporaryFolder();

// Seconds since 1970 of the system clock.
LONGLONG CurrentTimeSeconds();
