// The scan-settings store reading a settings.dat it did not write: every operation of the store on the file either
// fails cleanly or leaves a file it can read again, and a record it saves loads back byte for byte.

#include "FuzzSupport.h"

#include "settings/IniPath.h"
#include "settings/ScanParam.h"
#include "settings/SettingStore.h"

#include <cstring>
#include <string>

namespace {

WCHAR g_settingsPath[MAX_PATH];

void ExerciseStore() {
    BYTE record[kScanParamSize];
    WCHAR currentName[128];
    LoadCurrentSetting(record, currentName);

    WCHAR names[16][128];
    WCHAR* slots[16];
    for (int i = 0; i < 16; ++i)
        slots[i] = names[i];
    const int listed = ListNamedSettings(slots, 16);
    fuzz::Check(listed >= 0 && listed <= 16, "ListNamedSettings stays within the names asked for");
    ListNamedSettings(nullptr, 0);
    for (int i = 0; i < listed; ++i)
        LoadNamedSetting(names[i], record);

    BYTE saved[kScanParamSize];
    for (int i = 0; i < kScanParamSize; ++i)
        saved[i] = static_cast<BYTE>(i * 7);
    if (SaveNamedSetting(u"fuzz", saved)) {
        BYTE loaded[kScanParamSize] = {};
        fuzz::Check(LoadNamedSetting(u"fuzz", loaded) && std::memcmp(loaded, saved, kScanParamSize) == 0,
                    "a named record saved into the file loads back unchanged");
        fuzz::Check(DeleteNamedSetting(u"fuzz"), "a named record just saved can be deleted");
    }
    if (SaveCurrentSetting(u"current", saved)) {
        BYTE loaded[kScanParamSize] = {};
        WCHAR name[128] = {};
        fuzz::Check(LoadCurrentSetting(loaded, name) && std::memcmp(loaded, saved, kScanParamSize) == 0 &&
                        std::u16string(name) == u"current",
                    "the current record saved into the file loads back unchanged");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    fuzz::WriteModelIni("Version=1.0.0.1\n");
    if (!GetSettingsFilePath(g_settingsPath))
        fuzz::Fail("the settings file path cannot be formed");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteDosFile(g_settingsPath, data, size);
    ExerciseStore();
    // Opening the store on a damaged or foreign file starts it afresh, after which every operation works.
    fuzz::WriteDosFile(g_settingsPath, data, size);
    fuzz::Check(InitSettingsFile(), "InitSettingsFile makes a usable store of any file");
    ExerciseStore();
    return 0;
}
