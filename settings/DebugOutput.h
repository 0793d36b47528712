// The debug channel: formatted lines to OutputDebugString, always written.
#pragma once

#include "platform/base/windows.h"

// Formats into 256 characters; longer output is cut, never refused.
void DebugPrint(const WCHAR* format, ...);
void DebugPrintA(const char* format, ...);
// "<what> failed with error <code>: <system message>" for GetLastError.
void LogLastError(const WCHAR* what);

// The switched lines: a call site writes "<label>:<number>" only while the environment variable "kvxTWAINtest"
// holds exactly one character. Each site keeps its own cache, starting at -1, so the variable is read once per
// process and site:   static int s_switch = -1;  DebugSwitchLine(s_switch, "label", n);
bool IsDebugSwitchOn(int& cachedLength);
void DebugSwitchLine(int& cachedLength, const char* label, int number);
