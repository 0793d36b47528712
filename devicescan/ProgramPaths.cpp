#include "devicescan/ProgramPaths.h"

#include "devicescan/VelmoraLanguage.h"
#include "settings/IniPath.h"
#include "settings/Language.h"

void GetProgramFolderAndPrefix(WCHAR folder[MAX_PATH], WCHAR prefix[MAX_PATH]) {
    DWORD length = GetModuleFileNameW(nullptr, folder, MAX_PATH);
    if (length >= MAX_PATH)
        length = 0;
    folder[length] = 0;
    if (WCHAR* slash = wcsrchr(folder, u'\\'))
        slash[1] = 0;
    else
        folder[0] = 0;
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini, kIniDropCharsDeviceScan);
    GetPrivateProfileStringW(u"TWAIN", u"File Prefix", u"", prefix, MAX_PATH, ini);
}

bool GetVelmoraHelpPath(WCHAR out[MAX_PATH]) {
    WCHAR folder[MAX_PATH];
    WCHAR prefix[MAX_PATH];
    GetProgramFolderAndPrefix(folder, prefix);
    // The language code goes into the file name only, never into a folder that happens to hold "XXXX".
    if (_snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s%sps%s.chm", folder, prefix,
                     GetLanguageInfo(g_nVelmoraLanguageID).code) < 0) {
        out[0] = 0;
        return false;
    }
    return true;
}
