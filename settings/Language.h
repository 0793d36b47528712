// The user-interface language: its number (0-21), code, keyboard conventions, and strings by id from the language
// resource library.
#pragma once

#include "platform/base/windows.h"
#include "platform/base/cstring.h"

#include <vector>

// Set by GetLanguageCode (Quennet).
extern int g_LangugueID;
extern WCHAR g_chDecimalSep; // '.' at load
extern BYTE g_chPreviewKey;  // Alt-key virtual-key codes of the scanning window; 'P' and 'S' at load
extern BYTE g_chScanKey;
// Set by the scanning window when the language library it loads is written right to left.
extern BOOL g_bHebrew;

inline constexpr int kLanguageCount = 22;
inline constexpr int kLanguageEnglish = 1;

struct LanguageInfo {
    const WCHAR* name; // the registry value that selects it and the INI section of its texts
    const WCHAR* code; // names the resource library and the help file
    WCHAR decimalSep;
    BYTE previewKey;
    BYTE scanKey;
};

// The row of a language number; English for a number outside 0-21.
const LanguageInfo& GetLanguageInfo(int number);
// The first language number with this code (the one whose library it names: "enus" gives English), -1 for none.
int LanguageNumberOfCode(const WCHAR* code);
// Every code of the table once, in table order: the sixteen language libraries of each program.
std::vector<const WCHAR*> LanguageLibraryCodes();
// The language of an LCID by its language and sublanguage; 1 (English) for any LCID not listed.
int LanguageFromLcid(LCID lcid);
int LanguageFromSystemLcid();
// Registry value "Language" under HKEY_LOCAL_MACHINE\<INI [TWAIN] "Registry">, else the system locale. Velmora's
// copy of the choice: no log lines, no globals; nDropChars as for GetIniPath (12 for the device-scan program).
int ChooseLanguageNumber(int nDropChars);
// The LANGID a language number stands for (its first system locale); English's for a number outside 0-21.
LANGID LanguageLangId(int number);
// Makes the language the process's user-interface language, which decides among others the forms of Han text.
void SetUiLanguage(int number);
// Chooses the language, sets g_LangugueID and the separator and keys, makes it the process's user-interface
// language, and writes the code into `code`.
void GetLanguageCode(WCHAR code[MAX_PATH]);
// The English name of a language number; empty outside 0-21.
CString GetLanguageName(int number);
// A language is written right to left when its code is "he" or "ar".
BOOL IsRightToLeftCode(const WCHAR* code);

// The string from the current resource module (the language library once the window made it current);
// "Load String Error!" when there is none with that id.
CString LoadResString(UINT id);
