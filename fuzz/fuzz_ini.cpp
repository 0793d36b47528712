// The model's INI file as every reader of it sees it: the profile reader with each key the system asks for, in
// UTF-8 and in UTF-16 with a byte-order mark, and the readers built on it (flags, language, version, companion
// names, the model keys).

#include "FuzzSupport.h"

#include "platform/base/profile.h"
#include "platform/base/windows.h"
#include "settings/CfgFile.h"
#include "settings/CompanionNames.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"

#include <cstring>
#include <string>

namespace {

WCHAR g_ini[MAX_PATH];

// The sections and keys the system reads; the language sections stand for all of them.
constexpr struct {
    const WCHAR* section;
    const WCHAR* key;
} kKeys[] = {{u"TWAIN", u"File Prefix"},     {u"TWAIN", u"Setting Path"},
             {u"TWAIN", u"Registry"},        {u"TWAIN", u"Version"},
             {u"TWAIN", u"HasADF(kvx7731)"}, {u"TWAIN", u""},
             {u"Self Testing", u"Enable"},   {u"English", u"AP UI Title"},
             {u"Hebrew", u"Copyright"},      {u"", u"Right"}};

void ReadEveryKey() {
    for (const auto& [section, key] : kKeys) {
        {
            WCHAR value[MAX_PATH];
            const DWORD n = GetPrivateProfileStringW(section, key, u"default  ", value, MAX_PATH, g_ini);
            fuzz::Check(n < MAX_PATH && value[n] == 0, "a profile string is terminated within its buffer");
            WCHAR tiny[2];
            const DWORD cut = GetPrivateProfileStringW(section, key, u"", tiny, 2, g_ini);
            fuzz::Check(cut <= 1 && tiny[cut] == 0, "a profile string cut to a small buffer is terminated");
            GetPrivateProfileIntW(section, key, -7, g_ini);
        }
    }
}

void ReadThroughTheSystem() {
    ReadPlatformWrenFlags();
    ReadPlatformIbisFlag();
    ReadBriselA3Flag();
    GetDefaultGamma();
    GetDefaultThreshold();
    GetDefaultErrorStringId();
    GetDefaultPaperIndex();
    ReadNarrowVersion();
    WCHAR code[MAX_PATH];
    GetLanguageCode(code);
    ChooseLanguageNumber(kIniDropCharsDeviceScan);
    WCHAR value[MAX_PATH];
    ReadModelValue(u"HasADF(%s)", value);
    ModelValueIs(u"HasA3(%s)", u"TRUE");
    // The names are prefixed once in a module's life: each input starts from the names at load.
    WCHAR* names[] = {g_szHelpFileName, g_szAppHelpFileName, g_szResLibraryName, g_szEffectLibName};
    WCHAR kept[4][MAX_PATH];
    for (int i = 0; i < 4; ++i)
        std::memcpy(kept[i], names[i], sizeof kept[i]);
    WCHAR prefix[MAX_PATH];
    GetPrivateProfileStringW(u"TWAIN", u"File Prefix", u"", prefix, MAX_PATH, g_ini);
    PrefixCompanionNames(prefix);
    for (int i = 0; i < 4; ++i)
        std::memcpy(names[i], kept[i], sizeof kept[i]);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    GetIniPath(g_ini);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteDosFile(g_ini, data, size);
    ReadEveryKey();
    ReadThroughTheSystem();
    // The same bytes behind a UTF-16 byte-order mark.
    std::string wide = "\xFF\xFE";
    wide.append(reinterpret_cast<const char*>(data), size);
    fuzz::WriteDosFile(g_ini, wide.data(), wide.size());
    ReadEveryKey();
    return 0;
}
