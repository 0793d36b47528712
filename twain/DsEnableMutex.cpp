#include "twain/DsEnableMutex.h"

#include "settings/DebugOutput.h"
#include "settings/IniPath.h"

void FormDsEnableMutexName(WCHAR out[MAX_PATH]) {
    WCHAR ini[MAX_PATH];
    GetIniPath(ini);
    WCHAR prefix[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"File Prefix", u"", prefix, MAX_PATH, ini);
    if (_snwprintf(out, MAX_PATH, u"Global\\%s_sign", prefix) < 0)
        out[MAX_PATH - 1] = 0;
}

BOOL IsDsEnableMutexPresent() {
    WCHAR name[MAX_PATH];
    FormDsEnableMutexName(name);
    HANDLE mutex = OpenMutexW(READ_CONTROL, FALSE, name);
    if (mutex == nullptr)
        return FALSE;
    static int s_debugSwitch = -1;
    if (IsDebugSwitchOn(s_debugSwitch))
        OutputDebugStringA("==== enableDS =====OpenMutex  :true ");
    CloseHandle(mutex);
    return TRUE;
}
