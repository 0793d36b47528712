// Special cases of particular host applications, set at MSG_OPENDS from the host's upper-cased executable name.
// Each reader tells its own special case. g_bHostPhotoshop (imaging/CImage.h) and g_bHostMsPhotoScan
// (scanner/ScanFlags.h) are defined beside the code below the engine that reads them.
#pragma once

#include "imaging/CImage.h"
#include "platform/base/windows.h"
#include "scanner/ScanFlags.h"

#include <atomic>

extern std::atomic<BOOL> g_bHostOffice; // only ever set here; cleared by the assistor's constructor
extern std::atomic<BOOL> g_bHostWordExcelStore;
extern std::atomic<BOOL> g_bHostPhotoshopNotCS4;
extern std::atomic<BOOL> g_bHostPhotoshopCS2;
extern std::atomic<BOOL> g_bHostAcdsee10;
extern std::atomic<BOOL> g_bHostTwainClient;
extern std::atomic<BOOL> g_bHostTwainClientU; // only ever set
extern std::atomic<BOOL> g_bHostAcrobat;      // only ever set
extern std::atomic<BOOL> g_bHostIedit;
extern std::atomic<BOOL> g_bHostIeditExe;

// The host program's path (GetModuleFileNameW(NULL)) upper-cased, and its file name after the last backslash.
// Both empty when the path cannot be had.
void GetHostProgram(WCHAR upperPath[MAX_PATH], WCHAR upperName[MAX_PATH]);

// Clears the flags that are not "only ever set", then sets those that match the host.
void SetHostFlags(const WCHAR* upperPath, const WCHAR* upperName);

// TRUE for the Office programs whose scan list the identity query updates.
BOOL IsOfficeScanHost(const WCHAR* upperName);
