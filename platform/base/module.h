// Modules: loading shared objects under their Windows names, entry points, module handles and file names.
//
// An HMODULE is the load address of the shared object (as on Windows, where it is the image base), so every copy of
// platform linked into a module agrees on it. "x\\name.dll" (any case) loads the shared object "name.so" found
// case-insensitively in the same mapped folder; a bare name is searched in the calling module's folder, then in the
// executable's. A few system names map onto Linux libraries or our stand-ins (the table is in module.cpp; each has an
// environment variable that overrides where it is taken from: a POSIX path, or a path that does not exist to make the
// name unresolvable):
//   TWAIN_32.DLL -> a libtwaindsm* already loaded in the process, else libtwaindsm_standin.so     (PLATFORM_TWAIN_DSM)
//   zlibwapi.dll -> libminizip.so.1                                                               (PLATFORM_ZLIBWAPI)
//   sti.dll      -> sti.so, our stand-in                                                          (PLATFORM_STI)
//   hhctrl.ocx   -> hhctrl.so, our stand-in, when there is one                                    (PLATFORM_HHCTRL)
//   kernel32.dll -> platform itself; GetProcAddress finds the few entry points looked up by name there
#pragma once

#include "platform/base/wintypes.h"

#include <string>

// Typed as void (*)() rather than Windows' INT_PTR (*)(): compilers accept casts from it to any entry type
// without warnings, as callers always cast it.
using FARPROC = void (*)();

#define DONT_RESOLVE_DLL_REFERENCES 0x00000001
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008

HMODULE LoadLibraryW(LPCWSTR fileName);
HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags); // flags are accepted and ignored
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);
// NULL gives the executable; a name gives a module already loaded (same name rules as LoadLibraryW), else NULL.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
// A DOS path with backslashes. NULL gives the executable (or the host program name set for tests, see testing.h).
// Truncated to size-1 characters and terminated when too long: answers size and sets ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
#define LoadLibrary LoadLibraryW
#define LoadLibraryEx LoadLibraryExW
#define GetModuleHandle GetModuleHandleW
#define GetModuleFileName GetModuleFileNameW

namespace platform {

// The module this copy of platform is linked into (a shared object or the executable).
HMODULE ThisModule();

namespace module {

// The POSIX path of a loaded module; empty when the handle is not a loaded module.
std::string HostPath(HMODULE module);

// The environment variable behind the host program name of testing.h (read by every module of the process).
inline constexpr const char* kHostProgramVariable = "PLATFORM_HOST_PROGRAM";

} // namespace module
} // namespace platform
