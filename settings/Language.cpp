#include "settings/Language.h"

#include "settings/DebugOutput.h"
#include "settings/IniPath.h"

#include "platform/base/winnls.h"

#include <algorithm>
#include <iterator>

int g_LangugueID = 0;
WCHAR g_chDecimalSep = u'.';
BYTE g_chPreviewKey = 'P';
BYTE g_chScanKey = 'S';
BOOL g_bHebrew = FALSE;

namespace {

constexpr LanguageInfo kLanguages[kLanguageCount] = {
    {u"Simplified_Chinese", u"zhcn", u'.', 'P', 'S'},
    {u"English", u"enus", u'.', 'P', 'S'},
    {u"Japanese", u"ja", u'.', 'P', 'S'},
    {u"Russian", u"ru", u',', 177, 179},
    {u"Portuguese", u"pt", u'.', 'P', 'S'},
    {u"Spanish", u"esmx", u'.', 'V', 'E'},
    {u"French", u"fr", u',', 'P', 'S'},
    {u"Polish", u"pl", u'.', 'P', 'S'},
    {u"German", u"de", u',', 'P', 'S'},
    {u"Italian", u"it", u',', 'A', 'S'},
    {u"Arabic", u"ar", u'.', '?', '?'},
    {u"Turkish", u"tr", u',', 'P', 'S'},
    {u"Danish", u"enus", u'.', 'P', 'S'},
    {u"Finnish", u"enus", u'.', 'P', 'S'},
    {u"Dutch", u"enus", u'.', 'P', 'S'},
    {u"Czech", u"enus", u'.', 'P', 'S'},
    {u"Norwegian", u"no", u',', 'F', 'S'},
    {u"Swedish", u"sv", u',', 'F', 'S'},
    {u"Slovak", u"enus", u'.', 'P', 'S'},
    {u"Hungarian", u"enus", u'.', 'P', 'S'},
    {u"Traditional_Chinese", u"zhtw", u'.', 'P', 'S'},
    {u"Hebrew", u"he", u'.', 'P', 'S'},
};

// Only these names select a language from the registry; the others are reached through the system locale.
constexpr const WCHAR* kRegistryNames[] = {
    u"Simplified_Chinese",
    u"Traditional_Chinese",
    u"English",
    u"Russian",
    u"Italian",
    u"French",
    u"Arabic",
    u"Spanish",
    u"Norwegian",
    u"Swedish",
    u"Japanese",
    u"German",
    u"Turkish",
    u"Polish",
    u"Hebrew",
    u"Portuguese",
};

int LanguageNumberOfName(const WCHAR* name) {
    auto same = [name](const WCHAR* candidate) { return wcscmp(candidate, name) == 0; };
    if (std::none_of(std::begin(kRegistryNames), std::end(kRegistryNames), same))
        return -1;
    for (int i = 0; i < kLanguageCount; ++i)
        if (same(kLanguages[i].name))
            return i;
    return -1;
}

// The "Language" value of the key, or -1. The value must be REG_SZ; it is read bounded and always terminated.
int LanguageFromRegistry(const WCHAR* keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    WCHAR value[129] = {};
    DWORD type = 0;
    DWORD size = 256;
    LONG result = RegQueryValueExW(key, u"Language", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return -1;
    value[std::min<DWORD>(size, 256) / sizeof(WCHAR)] = 0;
    return LanguageNumberOfName(value);
}

int ChooseLanguage(bool log, int nDropChars) {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini, nDropChars);
    WCHAR keyPath[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"Registry", u"", keyPath, MAX_PATH, ini);
    if (log)
        DebugPrint(u"MFP_REG_PATH = %s", keyPath);
    int number = LanguageFromRegistry(keyPath);
    return number >= 0 ? number : LanguageFromSystemLcid();
}

} // namespace

const LanguageInfo& GetLanguageInfo(int number) {
    return kLanguages[number >= 0 && number < kLanguageCount ? number : kLanguageEnglish];
}

int LanguageNumberOfCode(const WCHAR* code) {
    for (int i = 0; code && i < kLanguageCount; ++i)
        if (wcscmp(kLanguages[i].code, code) == 0)
            return i;
    return -1;
}

std::vector<const WCHAR*> LanguageLibraryCodes() {
    std::vector<const WCHAR*> codes;
    for (int i = 0; i < kLanguageCount; ++i)
        if (LanguageNumberOfCode(kLanguages[i].code) == i) // the languages without a library read another's
            codes.push_back(kLanguages[i].code);
    return codes;
}

int LanguageFromLcid(LCID lcid) {
    const WORD langId = LANGIDFROMLCID(lcid);
    const int primary = langId & 0x3FF;
    const int sub = langId >> 10;
    auto subIn = [&](int primaryWanted, int last) { return primary == primaryWanted && sub >= 1 && sub <= last; };
    if (subIn(0x09, 13))
        return 1;
    if (subIn(0x0A, 21))
        return 5;
    if (subIn(0x0C, 6))
        return 6;
    if (subIn(0x07, 5))
        return 8;
    if (subIn(0x01, 16))
        return 10;
    struct Exact {
        WORD langId;
        int number;
    };
    static constexpr Exact kExact[] = {
        {0x0804, 0},  {0x1004, 0},  {0x0411, 2},  {0x0419, 3},  {0x0416, 4},  {0x0816, 4},  {0x0415, 7},
        {0x0410, 9},  {0x0810, 9},  {0x041F, 11}, {0x0406, 12}, {0x040B, 13}, {0x0413, 14}, {0x0813, 14},
        {0x0405, 15}, {0x0414, 16}, {0x0814, 16}, {0x041D, 17}, {0x081D, 17}, {0x041B, 18}, {0x040E, 19},
        {0x0404, 20}, {0x0C04, 20}, {0x1404, 20}, {0x040D, 21},
    };
    for (const Exact& row : kExact)
        if (row.langId == langId)
            return row.number;
    return kLanguageEnglish;
}

int LanguageFromSystemLcid() {
    return LanguageFromLcid(GetSystemDefaultLCID());
}

int ChooseLanguageNumber(int nDropChars) {
    return ChooseLanguage(false, nDropChars);
}

LANGID LanguageLangId(int number) {
    // The first LCID of each language in the system-locale table.
    static constexpr LANGID kLangIds[kLanguageCount] = {
        0x0804, 0x0409, 0x0411, 0x0419, 0x0416, 0x080A, 0x040C, 0x0415, 0x0407, 0x0410, 0x0401,
        0x041F, 0x0406, 0x040B, 0x0413, 0x0405, 0x0414, 0x041D, 0x041B, 0x040E, 0x0404, 0x040D,
    };
    return kLangIds[number >= 0 && number < kLanguageCount ? number : kLanguageEnglish];
}

void SetUiLanguage(int number) {
    // The renderer reads the user-interface language for the forms of Han characters, whatever the locale.
    WCHAR list[6] = {};
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    const LANGID id = LanguageLangId(number);
    for (int i = 0; i < 4; ++i)
        list[i] = kHex[(id >> (12 - 4 * i)) & 0xF];
    SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, list, nullptr);
}

void GetLanguageCode(WCHAR code[MAX_PATH]) {
    g_chDecimalSep = u'.';
    g_chPreviewKey = 'P';
    g_chScanKey = 'S';
    g_LangugueID = ChooseLanguage(true, kIniDropCharsDataSource);
    DebugPrint(u"g_LangugueID == %d", g_LangugueID);
    SetUiLanguage(g_LangugueID);
    const LanguageInfo& info = GetLanguageInfo(g_LangugueID);
    wcscpy_s(code, MAX_PATH, info.code);
    g_chDecimalSep = info.decimalSep;
    g_chPreviewKey = info.previewKey;
    g_chScanKey = info.scanKey;
}

CString GetLanguageName(int number) {
    if (number < 0 || number >= kLanguageCount)
        return CString();
    return CString(kLanguages[number].name);
}

BOOL IsRightToLeftCode(const WCHAR* code) {
    return code && (wcscmp(code, u"he") == 0 || wcscmp(code, u"ar") == 0);
}

CString LoadResString(UINT id) {
    CString text;
    if (!text.LoadString(AfxGetResourceHandle(), id))
        return CString(u"Load String Error!");
    return text;
}
