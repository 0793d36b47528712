// Module resources: lookup by (module, type, id) in the tables the resource compiler writes (resource_table.h).
// Only integer ids and types (MAKEINTRESOURCEW); each type is its own namespace of ids.
#pragma once

#include "platform/base/wintypes.h"

#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)

// `module` NULL is the executable. A module's own compiled resources (project_resources) are found only by the
// module itself; a data-only resource module (project_resource_module) is found by every module.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource); // the data itself: read-only, lives as long as the module
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL data); // nothing to free; answers FALSE as on Windows
// Copies at most size-1 characters and terminates; answers the characters copied, 0 when the string is missing.
// size 0: `buffer` is really an LPCWSTR* that receives the read-only, unterminated string; answers its length.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);
#define FindResource FindResourceW
#define LoadString LoadStringW
