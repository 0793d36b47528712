// The two scan roads of the program: the still-image service's launch ("/STIDEVICE") and a push command on the
// command line ("-PUSH_PARAM <device path> <digits>"). Both hand the command to ParsePushCommand, which fills the
// process's one ScanRequest and starts the scan thread; the launching thread then waits for the thread to end.
#pragma once

#include "devicescan/ScanRequest.h"

class CScanManagerApp;

// The one scan request of the process: written on the main thread before the scan thread starts.
extern ScanRequest g_ScanRequest;

// The "/STIDEVICE" road: the device's name, its "EventData" (the push command) and "DevicePath" from the
// still-image service. FALSE when the service is missing or the command has the wrong length, else TRUE.
BOOL LaunchFromSti(CScanManagerApp& app);
// The "-PUSH_PARAM" road: `digits` are the command's bytes after its head. FALSE when they are too few.
BOOL LaunchFromPushParam(const WCHAR* devicePath, const WCHAR* digits, CScanManagerApp& app);
// Checks the command, reads the save settings into the application, fills g_ScanRequest and starts the scan thread.
// True when the thread runs. A missing save folder shows its error; every other refusal only logs.
bool ParsePushCommand(const WCHAR* devicePath, CScanManagerApp& app, BYTE* command);
