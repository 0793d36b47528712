// Shell pieces the dialogs call: folder browser, open-file dialog, ShellExecuteW, HTML help. On Linux each is a
// small stand-in that tests can script (platform/user/testing.h); ShellExecuteW hands "open" to xdg-open.
#pragma once

#include "platform/base/wintypes.h"

// An item list is one malloc'ed block: a WORD byte count (of the whole block) followed by the UTF-16 path,
// NUL-terminated. Free it with ILFree (or CoTaskMemFree, which is free()).
struct ITEMIDLIST {
    WORD cb;
    WCHAR path[1];
};
using LPITEMIDLIST = ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;

using BFFCALLBACK = int (*)(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data);

struct BROWSEINFOW {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot;
    LPWSTR pszDisplayName;
    LPCWSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};
using LPBROWSEINFOW = BROWSEINFOW*;

#define BIF_RETURNONLYFSDIRS 0x00000001
#define BIF_DONTGOBELOWDOMAIN 0x00000002
#define BIF_STATUSTEXT 0x00000004
#define BIF_RETURNFSANCESTORS 0x00000008
#define BIF_EDITBOX 0x00000010
#define BIF_VALIDATE 0x00000020
#define BIF_NEWDIALOGSTYLE 0x00000040
#define BIF_USENEWUI (BIF_NEWDIALOGSTYLE | BIF_EDITBOX)
#define BIF_BROWSEFORCOMPUTER 0x00001000

#define BFFM_INITIALIZED 1
#define BFFM_SELCHANGED 2
#define BFFM_SETSELECTIONW (WM_USER + 103)
#define BFFM_ENABLEOK (WM_USER + 101)

// The folder browser speaks the user-interface language: it reads its texts from the program's current resource
// module (the framework's resource handle, a program's language library) under these ids, in English where the
// module has none, and is laid out right to left when the process's user-interface language is Hebrew or Arabic.
#define IDS_BROWSE_CAPTION 9000 // "Browse For Folder"
#define IDS_BROWSE_LOOK_IN 9001 // "Look in:", followed by the place listed
#define IDS_BROWSE_DRIVES 9002  // "Drives", the place above every drive
#define IDS_BROWSE_FOLDER 9003  // "Folder:", the label of the path box
#define IDS_BROWSE_OK 9004
#define IDS_BROWSE_CANCEL 9005

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW bi);
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR path);
HRESULT SHParseDisplayName(LPCWSTR name, void* bindContext, PIDLIST_ABSOLUTE* pidl, ULONG sfgaoIn, ULONG* sfgaoOut);
PIDLIST_ABSOLUTE ILCreateFromPathW(LPCWSTR path);
void ILFree(PIDLIST_ABSOLUTE pidl);

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};
using LPOPENFILENAMEW = OPENFILENAMEW*;
#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_EXPLORER 0x00080000
BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn);
BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn);

// ShellExecuteW answers a value greater than 32 on success, as on Windows.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT showCmd);

#define SEE_MASK_DEFAULT 0x00000000
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400
struct SHELLEXECUTEINFOW {
    DWORD cbSize; // sizeof(SHELLEXECUTEINFOW)
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb; // NULL: the default verb, "open"
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp; // out: greater than 32 on success, else an error code as ShellExecuteW answers it
    void* lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess; // out with SEE_MASK_NOCLOSEPROCESS: the desktop's opener hands over and leaves none (NULL)
};
using LPSHELLEXECUTEINFOW = SHELLEXECUTEINFOW*;
// As ShellExecuteW; FALSE with the last error set when the file cannot be opened or cbSize is wrong.
BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info);

#define HH_DISPLAY_TOPIC 0x0000
#define HH_HELP_FINDER 0x0000
#define HH_DISPLAY_TOC 0x0001
#define HH_DISPLAY_INDEX 0x0002
#define HH_HELP_CONTEXT 0x000F
#define HH_CLOSE_ALL 0x0012
// Opens a help file (a .chm path) for a topic: the call is recorded, and an existing file is handed to the
// desktop's opener (xdg-open, when launching is allowed: a display is there, or a test asked for it). Answers a
// non-null window when the file exists and was handed over; null for a missing file, a failed opener and
// HH_CLOSE_ALL.
HWND HtmlHelpW(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data);
