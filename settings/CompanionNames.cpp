#include "settings/CompanionNames.h"

#include "platform/base/module.h"
#include "platform/base/wstring.h"

WCHAR g_szHelpFileName[MAX_PATH] = u"twXXXX.chm";
WCHAR g_szAppHelpFileName[MAX_PATH] = u"AppXXXX.chm";
WCHAR g_szResLibraryName[MAX_PATH] = u"twrcXXXX.dll";
WCHAR g_szEffectLibName[MAX_PATH] = u"Tonalis.dll";

namespace {

void Prefix(const WCHAR* prefix, WCHAR name[MAX_PATH]) {
    WCHAR prefixed[MAX_PATH];
    int written = _snwprintf(prefixed, MAX_PATH, u"%s%s", prefix, name);
    if (written < 0 || written >= MAX_PATH)
        return;
    wcscpy_s(name, MAX_PATH, prefixed);
}

} // namespace

void PrefixCompanionNames(const WCHAR* prefix) {
    if (prefix == nullptr)
        return;
    for (WCHAR* name : {g_szHelpFileName, g_szAppHelpFileName, g_szResLibraryName, g_szEffectLibName})
        Prefix(prefix, name);
}

BOOL GetCompanionPath(const WCHAR* name, WCHAR out[MAX_PATH]) {
    out[0] = 0;
    WCHAR folder[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(platform::ThisModule(), folder, MAX_PATH);
    if (name == nullptr || length == 0 || length >= MAX_PATH)
        return FALSE;
    if (WCHAR* slash = wcsrchr(folder, u'\\'))
        slash[1] = 0;
    else
        folder[0] = 0;
    int written = _snwprintf(out, MAX_PATH, u"%s%s", folder, name);
    if (written < 0 || written >= MAX_PATH) {
        out[0] = 0; // a cut path would name another file
        return FALSE;
    }
    return TRUE;
}
