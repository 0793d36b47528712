#include "devicescan/VelmoraLanguage.h"

#include "settings/IniPath.h"
#include "settings/Language.h"

int g_nVelmoraLanguageID = kLanguageEnglish;

void GetVelmoraLanguageCode(WCHAR code[MAX_PATH]) {
    g_nVelmoraLanguageID = ChooseLanguageNumber(kIniDropCharsDeviceScan);
    wcscpy_s(code, MAX_PATH, GetLanguageInfo(g_nVelmoraLanguageID).code);
}

CString GetVelmoraLanguageName() {
    return GetLanguageName(g_nVelmoraLanguageID);
}

BOOL IsVelmoraRightToLeft() {
    return IsRightToLeftCode(GetLanguageInfo(g_nVelmoraLanguageID).code);
}

CString GetPushUITitle() {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini, kIniDropCharsDeviceScan);
    WCHAR title[MAX_PATH] = {};
    GetPrivateProfileStringW(GetVelmoraLanguageName(), u"Push UI Title", u"", title, MAX_PATH, ini);
    return CString(title);
}
