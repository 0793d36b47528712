#include "devicescan/VazeDoziSettings.h"

#include "settings/FileHandle.h"
#include "settings/FileNames.h"
#include "settings/IniPath.h"
#include "settings/SettingStore.h"

#include <cstring>

namespace {
constexpr DWORD kRecordSize = sizeof(VazeDoziSettings);
} // namespace

namespace {

void FormSettingsPath(BOOL haveFolder, const WCHAR folder[MAX_PATH], WCHAR out[MAX_PATH]) {
    if (!haveFolder || _snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s%s", folder, u"vazedozi_settings.dat") < 0)
        out[0] = 0;
}

bool ReadSettingsFile(const WCHAR* path, VazeDoziSettings& settings) {
    VazeDoziSettings read{};
    DWORD got = 0;
    if (path[0]) {
        FileHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid() && !ReadFile(file.get(), &read, kRecordSize, &got, nullptr))
            got = 0;
    }
    if (got != kRecordSize) {
        // Missing, unreadable or cut short: a half record would mix stored and default choices.
        GetDefaultVazeDoziSettings(settings);
        return false;
    }
    read.saveFolder[MAX_PATH - 1] = 0;
    settings = read;
    return true;
}

} // namespace

void GetVazeDoziSettingsPath(WCHAR out[MAX_PATH]) {
    WCHAR folder[MAX_PATH];
    FormSettingsPath(GetSettingsFolder(folder, kIniDropCharsDeviceScan), folder, out);
}

void GetVazeDoziSettingsPathFromIni(const WCHAR* ini, WCHAR out[MAX_PATH]) {
    WCHAR folder[MAX_PATH];
    FormSettingsPath(GetSettingsFolderFromIni(ini, folder), folder, out);
}

void GetDefaultVazeDoziSettings(VazeDoziSettings& settings) {
    std::memset(&settings, 0, sizeof(settings));
    settings.openFile = 0;
    settings.openFolder = 1;
    GetDefaultSaveFolder(settings.saveFolder);
}

bool ReadVazeDoziSettings(VazeDoziSettings& settings) {
    WCHAR path[MAX_PATH];
    GetVazeDoziSettingsPath(path);
    return ReadSettingsFile(path, settings);
}

bool ReadVazeDoziSettingsFromIni(const WCHAR* ini, VazeDoziSettings& settings) {
    WCHAR path[MAX_PATH];
    GetVazeDoziSettingsPathFromIni(ini, path);
    return ReadSettingsFile(path, settings);
}

bool WriteVazeDoziSettings(const VazeDoziSettings& settings) {
    WCHAR path[MAX_PATH];
    GetVazeDoziSettingsPath(path);
    if (!path[0])
        return false;
    // The folder goes out zero-padded, whatever lay behind its terminator in the caller's buffer.
    VazeDoziSettings record{};
    record.openFile = settings.openFile;
    record.openFolder = settings.openFolder;
    wcsncpy_s(record.saveFolder, settings.saveFolder, _TRUNCATE);
    FileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.valid() && WriteFile(file.get(), &record, kRecordSize, &written, nullptr) && written == kRecordSize;
}
