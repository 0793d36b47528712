// The process command line in the Windows form (one string) and its splitting into arguments.
#pragma once

#include "platform/base/wintypes.h"

// The arguments of the process, each quoted as Windows would when it holds blanks or quotes. Tests set a
// command line of their own through kCommandLineVariable (read by every module of the process).
LPWSTR GetCommandLineW();
// Windows splitting rules; the result is one LocalAlloc'ed block (LocalFree it). An empty line gives the
// executable's path alone.
LPWSTR* CommandLineToArgvW(LPCWSTR cmdLine, int* numArgs);
#define GetCommandLine GetCommandLineW

namespace platform {
inline constexpr const char* kCommandLineVariable = "PLATFORM_COMMAND_LINE";
} // namespace platform
