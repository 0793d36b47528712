// Locales: the system and user default LCID (from LANG, or fixed by tests), their country, and GetLocaleInfoW for
// the items the system reads; also the version the system reports.
#include "platform/base/kernel.h"
#include "platform/base/testing.h"
#include "platform/base/winnls.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

struct Locale {
    LCID lcid;
    const char* language; // ISO 639
    const char* country;  // ISO 3166
    int countryCode;      // telephone country code, which is LOCALE_ICOUNTRY
    char16_t decimal;
    char16_t thousand;
    const char* englishLanguage;
    const char* englishCountry;
};

constexpr Locale kLocales[] = {
    {0x0409, "en", "US", 1, u'.', u',', "English", "United States"},
    {0x0809, "en", "GB", 44, u'.', u',', "English", "United Kingdom"},
    {0x0C09, "en", "AU", 61, u'.', u',', "English", "Australia"},
    {0x1009, "en", "CA", 2, u'.', u',', "English", "Canada"},
    {0x1409, "en", "NZ", 64, u'.', u',', "English", "New Zealand"},
    {0x1809, "en", "IE", 353, u'.', u',', "English", "Ireland"},
    {0x0804, "zh", "CN", 86, u'.', u',', "Chinese", "China"},
    {0x1004, "zh", "SG", 65, u'.', u',', "Chinese", "Singapore"},
    {0x0404, "zh", "TW", 886, u'.', u',', "Chinese", "Taiwan"},
    {0x0C04, "zh", "HK", 852, u'.', u',', "Chinese", "Hong Kong SAR"},
    {0x1404, "zh", "MO", 853, u'.', u',', "Chinese", "Macao SAR"},
    {0x0411, "ja", "JP", 81, u'.', u',', "Japanese", "Japan"},
    {0x0412, "ko", "KR", 82, u'.', u',', "Korean", "Korea"},
    {0x0419, "ru", "RU", 7, u',', u'\u00A0', "Russian", "Russia"},
    {0x0416, "pt", "BR", 55, u',', u'.', "Portuguese", "Brazil"},
    {0x0816, "pt", "PT", 351, u',', u'\u00A0', "Portuguese", "Portugal"},
    {0x040A, "es", "ES", 34, u',', u'.', "Spanish", "Spain"},
    {0x0C0A, "es", "ES", 34, u',', u'.', "Spanish", "Spain"},
    {0x080A, "es", "MX", 52, u'.', u',', "Spanish", "Mexico"},
    {0x040C, "fr", "FR", 33, u',', u'\u00A0', "French", "France"},
    {0x080C, "fr", "BE", 32, u',', u'.', "French", "Belgium"},
    {0x0C0C, "fr", "CA", 2, u',', u'\u00A0', "French", "Canada"},
    {0x100C, "fr", "CH", 41, u'.', u'\'', "French", "Switzerland"},
    {0x0415, "pl", "PL", 48, u',', u'\u00A0', "Polish", "Poland"},
    {0x0407, "de", "DE", 49, u',', u'.', "German", "Germany"},
    {0x0807, "de", "CH", 41, u'.', u'\'', "German", "Switzerland"},
    {0x0C07, "de", "AT", 43, u',', u'.', "German", "Austria"},
    {0x0410, "it", "IT", 39, u',', u'.', "Italian", "Italy"},
    {0x0810, "it", "CH", 41, u'.', u'\'', "Italian", "Switzerland"},
    {0x0401, "ar", "SA", 966, u'.', u',', "Arabic", "Saudi Arabia"},
    {0x0C01, "ar", "EG", 20, u'.', u',', "Arabic", "Egypt"},
    {0x041F, "tr", "TR", 90, u',', u'.', "Turkish", "Turkey"},
    {0x0406, "da", "DK", 45, u',', u'.', "Danish", "Denmark"},
    {0x040B, "fi", "FI", 358, u',', u'\u00A0', "Finnish", "Finland"},
    {0x0413, "nl", "NL", 31, u',', u'.', "Dutch", "Netherlands"},
    {0x0813, "nl", "BE", 32, u',', u'.', "Dutch", "Belgium"},
    {0x0405, "cs", "CZ", 420, u',', u'\u00A0', "Czech", "Czech Republic"},
    {0x0414, "nb", "NO", 47, u',', u'\u00A0', "Norwegian", "Norway"},
    {0x0814, "nn", "NO", 47, u',', u'\u00A0', "Norwegian", "Norway"},
    {0x041D, "sv", "SE", 46, u',', u'\u00A0', "Swedish", "Sweden"},
    {0x081D, "sv", "FI", 358, u',', u'\u00A0', "Swedish", "Finland"},
    {0x041B, "sk", "SK", 421, u',', u'\u00A0', "Slovak", "Slovakia"},
    {0x040E, "hu", "HU", 36, u',', u'\u00A0', "Hungarian", "Hungary"},
    {0x040D, "he", "IL", 972, u'.', u',', "Hebrew", "Israel"},
    {0x0408, "el", "GR", 30, u',', u'.', "Greek", "Greece"},
};

std::mutex g_localeLock;
std::optional<LCID> g_systemLcid;
std::optional<LCID> g_userLcid;
std::optional<int> g_countryCode;
std::optional<platform::testing::OsVersion> g_osVersion;

const Locale* Find(LCID lcid) {
    for (const Locale& l : kLocales)
        if (l.lcid == (lcid & 0xFFFF))
            return &l;
    return nullptr;
}

// The environment's locale ("de_DE.UTF-8") by language and country, else by language alone; else US English.
LCID FromEnvironment() {
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const char* variable : names) {
        const char* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        std::string tag(value);
        std::string language = tag.substr(0, tag.find_first_of("_.@"));
        std::string country;
        if (size_t underscore = tag.find('_'); underscore != std::string::npos)
            country = tag.substr(underscore + 1, 2);
        const Locale* byLanguage = nullptr;
        for (const Locale& l : kLocales) {
            if (language != l.language)
                continue;
            if (country == l.country)
                return l.lcid;
            if (!byLanguage)
                byLanguage = &l;
        }
        if (byLanguage)
            return byLanguage->lcid;
    }
    return 0x0409;
}

LCID SystemLcid() {
    std::lock_guard guard(g_localeLock);
    return g_systemLcid ? *g_systemLcid : FromEnvironment();
}

LCID UserLcid() {
    std::lock_guard guard(g_localeLock);
    if (g_userLcid)
        return *g_userLcid;
    return g_systemLcid ? *g_systemLcid : FromEnvironment();
}

} // namespace

LCID GetSystemDefaultLCID() {
    return SystemLcid();
}
LCID GetUserDefaultLCID() {
    return UserLcid();
}
LCID GetThreadLocale() {
    return UserLcid();
}
LANGID GetSystemDefaultLangID() {
    return LANGIDFROMLCID(SystemLcid());
}
LANGID GetUserDefaultLangID() {
    return LANGIDFROMLCID(UserLcid());
}
LANGID GetUserDefaultUILanguage() {
    return LANGIDFROMLCID(UserLcid());
}
LANGID GetSystemDefaultUILanguage() {
    return LANGIDFROMLCID(SystemLcid());
}

namespace {

// The process's preferred user-interface language, 0 while none is set.
std::atomic<LANGID> g_preferredUiLanguage{0};

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

BOOL SetProcessPreferredUILanguages(DWORD flags, PCZZWSTR languages, PULONG count) {
    if (flags != MUI_LANGUAGE_ID) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!languages || !languages[0]) { // an empty list forgets the preference
        g_preferredUiLanguage = 0;
        if (count)
            *count = 0;
        return TRUE;
    }
    // Only the first language counts here: four hexadecimal digits, as "0804".
    unsigned value = 0;
    int digits = 0;
    for (; languages[digits]; ++digits) {
        const int d = HexDigit(languages[digits]);
        if (d < 0 || digits >= 4) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        value = value * 16 + static_cast<unsigned>(d);
    }
    if (digits != 4 || value == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_preferredUiLanguage = static_cast<LANGID>(value);
    if (count)
        *count = 1;
    return TRUE;
}

BOOL GetProcessPreferredUILanguages(DWORD flags, PULONG count, PZZWSTR buffer, PULONG size) {
    if (flags != MUI_LANGUAGE_ID || !count || !size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const LANGID id = g_preferredUiLanguage;
    const ULONG needed = id ? 6 : 1; // "XXXX", its zero and the list's zero; an empty list is one zero
    if (!buffer) {
        *count = id ? 1 : 0;
        *size = needed;
        return TRUE;
    }
    if (*size < needed) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    ULONG at = 0;
    if (id) {
        for (int shift = 12; shift >= 0; shift -= 4)
            buffer[at++] = kHex[(id >> shift) & 0xF];
        buffer[at++] = 0;
    }
    buffer[at++] = 0;
    *count = id ? 1 : 0;
    *size = at;
    return TRUE;
}

int GetLocaleInfoW(LCID locale, DWORD type, LPWSTR data, int size) {
    if (size < 0 || (size > 0 && !data)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool user = locale == LOCALE_USER_DEFAULT || locale == LOCALE_NEUTRAL;
    LCID lcid = user ? UserLcid() : locale == LOCALE_SYSTEM_DEFAULT ? SystemLcid() : locale;
    if (locale == LOCALE_INVARIANT)
        lcid = 0x0409;
    const Locale* l = Find(lcid);
    if (!l) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A fixed country belongs to the default locales (and to the user's LCID named explicitly).
    int countryCode = l->countryCode;
    LCID userLcid = UserLcid();
    {
        std::lock_guard guard(g_localeLock);
        if (g_countryCode && (user || locale == LOCALE_SYSTEM_DEFAULT || lcid == userLcid))
            countryCode = *g_countryCode;
    }
    bool number = (type & LOCALE_RETURN_NUMBER) != 0;
    DWORD item = type & ~(LOCALE_NOUSEROVERRIDE | LOCALE_RETURN_NUMBER);
    std::u16string text;
    DWORD value = 0;
    bool numeric = true;
    switch (item) {
    case LOCALE_ILANGUAGE:
        value = lcid & 0xFFFF;
        text = platform::Format(u"%04x", value);
        break;
    case LOCALE_ICOUNTRY:
        value = static_cast<DWORD>(countryCode);
        text = platform::Format(u"%d", countryCode);
        break;
    case LOCALE_IDEFAULTANSICODEPAGE:
        value = CP_UTF8;
        text = u"65001";
        break;
    case LOCALE_IMEASURE: // 0 metric, 1 U.S.
        value = countryCode == 1 ? 1 : 0;
        text = value ? u"1" : u"0";
        break;
    case LOCALE_IPAPERSIZE: // 1 Letter, 9 A4
        value = countryCode == 1 || countryCode == 2 || countryCode == 52 ? 1 : 9;
        text = platform::Format(u"%u", value);
        break;
    default:
        numeric = false;
        switch (item) {
        case LOCALE_SDECIMAL:
            text = std::u16string(1, l->decimal);
            break;
        case LOCALE_STHOUSAND:
            text = std::u16string(1, l->thousand);
            break;
        case LOCALE_SLIST:
            text = l->decimal == u',' ? u";" : u",";
            break;
        case LOCALE_SISO639LANGNAME:
            text = platform::ToUtf16(l->language);
            break;
        case LOCALE_SISO3166CTRYNAME:
            text = platform::ToUtf16(l->country);
            break;
        case LOCALE_SNAME:
            text = platform::ToUtf16(std::string(l->language) + "-" + l->country);
            break;
        case LOCALE_SENGLANGUAGE:
        case LOCALE_SLANGUAGE:
            text = platform::ToUtf16(l->englishLanguage);
            break;
        case LOCALE_SENGCOUNTRY:
        case LOCALE_SCOUNTRY:
            text = platform::ToUtf16(l->englishCountry);
            break;
        case LOCALE_SABBREVCTRYNAME:
            text = platform::ToUtf16(l->country);
            break;
        case LOCALE_SDATE:
            text = u"/";
            break;
        case LOCALE_STIME:
            text = u":";
            break;
        default:
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
    }
    if (number) {
        // The value is written as a DWORD into the buffer, whose size counts two WCHARs.
        if (!numeric) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        if (size == 0)
            return 2;
        if (size < 2) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(data, &value, sizeof value);
        return 2;
    }
    int needed = static_cast<int>(text.size()) + 1;
    if (size == 0)
        return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(data, text.c_str(), static_cast<size_t>(needed) * sizeof(WCHAR));
    return needed;
}

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // Without a manifest, Windows reports 6.2 to programs; this system reports the 6.1 it was built against.
    platform::testing::OsVersion version{6, 1, 7601};
    {
        std::lock_guard guard(g_localeLock);
        if (g_osVersion)
            version = *g_osVersion;
    }
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = version.build;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memcpy(info->szCSDVersion, u"Service Pack 1", sizeof(u"Service Pack 1"));
    return TRUE;
}

namespace platform::testing {

void SetSystemLocale(std::optional<LCID> lcid) {
    std::lock_guard guard(g_localeLock);
    g_systemLcid = lcid;
}

void SetUserLocale(std::optional<LCID> lcid) {
    std::lock_guard guard(g_localeLock);
    g_userLcid = lcid;
}

void SetCountryCode(std::optional<int> code) {
    std::lock_guard guard(g_localeLock);
    g_countryCode = code;
}

void SetOsVersion(std::optional<OsVersion> version) {
    std::lock_guard guard(g_localeLock);
    g_osVersion = version;
}

} // namespace platform::testing
