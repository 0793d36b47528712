// The device-event callback of feeder jobs: the driver library reports job start, page done, the manual-duplex
// wait, job end and abort on its own thread; the callback turns them into the device state and its event (for the
// engine's end of transfer), counts the device's pages, closes the manual-duplex note and turns the rotation for
// the back sides of a manual-duplex job.
//
// The callback reaches the window only while the window is registered: StopDeviceEvents (from the window's
// OnDestroy) waits for a callback in progress and keeps every later one away from the window.
#pragma once

class CMainUIDialog;

// The driver's callback type: (context = the window, notification code, two values that are ignored); 0, or -1
// for a null context.
int myScanCallBack(void* context, int code, int, int);

// Makes `window` the callback's context and registers the callback with the open device.
void StartDeviceEvents(CMainUIDialog* window);
// The window goes: no callback touches it after this returns.
void StopDeviceEvents(CMainUIDialog* window);
