#include "ui/scanwindow/NetInstall.h"

#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/SettingStore.h"

#include <algorithm>
#include <cstring>

namespace {

// The system's text for the last error, into 1024 characters.
void LastErrorText(WCHAR out[1024]) {
    out[0] = 0;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out, 1024, nullptr);
    out[std::min<DWORD>(length, 1023)] = 0;
}

bool MarkerPath(WCHAR out[MAX_PATH]) {
    WCHAR folder[MAX_PATH];
    if (!GetSettingsFolder(folder, kIniDropCharsDataSource))
        return false;
    if (_snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%snet_install.dat", folder) < 0) {
        out[0] = 0;
        return false;
    }
    return true;
}

} // namespace

BOOL ReadNetInstallValue(HKEY key, const WCHAR* name, WCHAR out[kNetInstallValueChars + 1]) {
    out[0] = 0;
    DWORD type = 0;
    DWORD bytes = kNetInstallValueChars * sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        out[0] = 0;
        return FALSE;
    }
    out[std::min<DWORD>(bytes, kNetInstallValueChars * sizeof(WCHAR)) / sizeof(WCHAR)] = 0;
    return TRUE;
}

bool DecideNetInstall(const WCHAR* marker, size_t chars, const WCHAR* ipTime, BOOL appMode, WCHAR& letter) {
    const WCHAR own = appMode ? u'A' : u'T';
    const WCHAR first = chars > 0 ? marker[0] : 0;
    const size_t timeChars = wcslen(ipTime);
    const bool sameInstall =
        chars > 0 && chars - 1 == timeChars && std::equal(marker + 1, marker + chars, ipTime, ipTime + timeChars);
    if (!sameInstall) {
        letter = own;
        return true;
    }
    if (first == own || first == u'D')
        return false; // this window has taken this installation over already
    letter = u'D';
    return true;
}

BOOL CNetInstall::Check(BOOL appMode) {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini);
    WCHAR keyPath[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"Registry", u"", keyPath, MAX_PATH, ini);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return FALSE;
    const BOOL haveAddress = ReadNetInstallValue(key, u"IP", m_szAddress);
    if (haveAddress) {
        DebugPrint(u"initializeSetting: IP:");
        DebugPrint(u"%s", m_szAddress);
    }
    const BOOL haveTime = ReadNetInstallValue(key, u"IP TIME", m_szTime);
    RegCloseKey(key);
    if (!haveTime)
        DebugPrint(u"failed to get IP TIME");
    if (!haveAddress || !haveTime)
        return FALSE;

    WCHAR path[MAX_PATH] = {};
    if (!MarkerPath(path)) {
        DebugPrint(u"initializeSetting, no place for net_install.dat");
        m_letter = 0;
        return TRUE; // taken over without a marker
    }
    DebugPrint(u"%s", path);
    m_file.emplace(
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (m_file->valid()) {
        WCHAR marker[kNetInstallMarkerChars] = {};
        DWORD total = 0;
        for (DWORD got = 1; got > 0 && total < sizeof marker;) {
            if (!ReadFile(m_file->get(), reinterpret_cast<BYTE*>(marker) + total, sizeof marker - total, &got, nullptr))
                break;
            total += got;
        }
        return DecideNetInstall(marker, total / sizeof(WCHAR), m_szTime, appMode, m_letter) ? TRUE : FALSE;
    }

    WCHAR reason[1024];
    LastErrorText(reason);
    DebugPrint(u"CMainUIDialog::initializeSetting, open failed: %s", reason);
    m_file.emplace(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file->valid()) {
        LastErrorText(reason);
        DebugPrint(u"initializeSetting, open failed: %s", reason);
        m_letter = 0;
        return TRUE; // taken over without a marker
    }
    m_letter = appMode ? u'A' : u'T';
    return TRUE;
}

BOOL CNetInstall::NarrowAddress(char out[256]) const {
    std::memset(out, 0, 256);
    const int length = static_cast<int>(wcslen(m_szAddress));
    if (length == 0)
        return TRUE;
    const int written = WideCharToMultiByte(CP_ACP, 0, m_szAddress, length, out, 255, nullptr, nullptr);
    if (written <= 0) {
        std::memset(out, 0, 256);
        return FALSE;
    }
    out[written] = 0;
    return TRUE;
}

void CNetInstall::WriteMarker() {
    if (!m_file || !m_file->valid() || m_letter == 0)
        return;
    WCHAR text[kNetInstallValueChars + 2] = {};
    text[0] = m_letter;
    wcscpy_s(text + 1, kNetInstallValueChars + 1, m_szTime);
    const DWORD bytes = static_cast<DWORD>(wcslen(text) * sizeof(WCHAR));
    DWORD written = 0;
    HANDLE file = m_file->get();
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !WriteFile(file, text, bytes, &written, nullptr) || written != bytes || !SetEndOfFile(file))
        LogLastError(u"Writing net_install.dat");
    m_file.reset();
}
