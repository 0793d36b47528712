// The registry: file-backed hives under the per-user root, C:\Registry\HKLM.reg and C:\Registry\HKCU.reg.
// Every call reads the hive afresh and every change rewrites it atomically, so modules and processes share it.
// Key and value names compare without regard to case. Values keep exactly the bytes they were set with (a REG_SZ
// need not be terminated). The 32/64-bit views are one and the same.
#pragma once

#include "platform/base/wintypes.h"

using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

// Results are Windows error codes: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND (no such key or value), ERROR_MORE_DATA
// (*cbData then holds the size needed), ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER, ERROR_CANTWRITE.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
// data NULL asks the size only; a name NULL or empty is the key's default value.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD cbData);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD cbData);
// ERROR_FILE_NOT_FOUND when the value (or its key) does not exist.
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG RegCloseKey(HKEY key);
#define RegOpenKeyEx RegOpenKeyExW
#define RegCreateKeyEx RegCreateKeyExW
#define RegQueryValueEx RegQueryValueExW
#define RegSetValueEx RegSetValueExW
#define RegDeleteValue RegDeleteValueW
