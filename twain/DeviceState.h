// The course of a feeder job as the device reports it through the scanning window's device-event callback, and
// the event the engine's end-of-transfer handler waits on to learn it. The callback runs on the driver library's
// thread; the waiter reads the state after the event wakes it (the state is always written before the event is
// set; a later report may overwrite it first, and the waiter takes the latest). Plain variables in the design,
// atomic here.
#pragma once

#include "platform/base/windows.h"

#include <atomic>

inline constexpr int kDevStateJobStarted = 1;
inline constexpr int kDevStatePageReady = 2;
inline constexpr int kDevStateShowDuplexNote = 5;
inline constexpr int kDevStateHideDuplexNote = 6;
inline constexpr int kDevStateJobEnd = 7;

// Written only through SetDevState, read only through GetDevState (the manual-duplex note also peeks at it).
extern std::atomic<int> m_devState;
// Auto-reset, not signalled, unnamed: made at the first job start and kept for the life of the library.
extern std::atomic<HANDLE> g_devStateEvent;
// Pages the device reported in this job; 10000 is added at the job's end (above 9999: over, minus 10000 pages).
extern std::atomic<int> g_nDevPageCount;
// Pages handed over in this job (counted by the end-of-transfer handler); zeroed at job start.
extern std::atomic<int> g_nXferPageCount;
// The rotation setting of the front sides, saved at job start.
extern std::atomic<int> g_nFrontRotation;
// Set when the end of a manual-duplex wait turned the rotation setting to the back sides' one; cleared when the
// front rotation is put back (RestoreFrontRotation of the window), so it is put back exactly once.
extern std::atomic<BOOL> g_bBackSideRotation;
// "Global\manual_duplex": exists from the end of a job's first manual-duplex wait until the next job start.
extern std::atomic<HANDLE> g_hManualDuplexEvent;
// Set by the scan road just before it registers the callback: the first page of the job is not signalled.
extern std::atomic<BYTE> g_bSkipFirstPageSignal;

// The driver refused the device-event callback of the current job: the end of transfer polls the device instead.
extern std::atomic<BOOL> g_bDeviceEventsRefused;

void SetDevState(int state);
int GetDevState();

// The rotation of the back side of a manually duplexed sheet for the front side's rotation code (0 none, 1 270
// degrees, 2 90 degrees, 3 180 degrees): 0 -> 3, 1 -> 2, 2 -> 1, 3 -> 0; any other value stays.
int BackSideRotation(int frontRotation);
