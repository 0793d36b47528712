#include "ui/dialogs/ImgSaveSettings.h"

#include "settings/DebugOutput.h"
#include "settings/FileHandle.h"
#include "settings/IniPath.h"
#include "settings/SafeFileWrite.h"
#include "settings/SettingStore.h"

#include <algorithm>
#include <cstring>

namespace {

void TerminateAtLastUnit(WCHAR (&field)[MAX_PATH]) {
    field[MAX_PATH - 1] = 0;
}

// Everything after the string's end is zero, as the file holds it.
void ZeroPad(WCHAR (&field)[MAX_PATH]) {
    TerminateAtLastUnit(field);
    const size_t length = wcslen(field);
    std::fill(field + length, field + MAX_PATH, u'\0');
}

bool IsKnownType(const WCHAR* type) {
    return std::any_of(std::begin(kImgSaveTypes), std::end(kImgSaveTypes),
                       [type](const WCHAR* known) { return _wcsicmp(type, known) == 0; });
}

} // namespace

BOOL GetImgSaveSettingsPath(WCHAR* out, int size) {
    if (!out || size <= 0)
        return FALSE;
    out[0] = 0;
    WCHAR folder[MAX_PATH];
    if (!GetSettingsFolder(folder, kIniDropCharsDataSource))
        return FALSE;
    if (_snwprintf_s(out, static_cast<size_t>(size), _TRUNCATE, u"%simgSaveSettings.dat", folder) < 0) {
        out[0] = 0;
        return FALSE;
    }
    DebugPrint(u"%s", out);
    return TRUE;
}

void ParseImgSaveSettings(const void* bytes, size_t size, ImgSaveSettings& record) {
    std::memset(&record, 0, sizeof record);
    if (bytes)
        std::memcpy(&record, bytes, std::min<size_t>(size, sizeof record));
    TerminateAtLastUnit(record.szFolder);
    TerminateAtLastUnit(record.szName);
    TerminateAtLastUnit(record.szType);
    TerminateAtLastUnit(record.szMailProgram);
    if (!IsKnownType(record.szType)) {
        std::memset(record.szType, 0, sizeof record.szType);
        wcscpy_s(record.szType, u"jpg");
    }
    for (std::int32_t* flag : {&record.nOpenFile, &record.nOpenFolder, &record.nMode, &record.nManualDuplex})
        *flag = *flag != 0 ? 1 : 0;
}

BOOL ReadImgSaveSettings(const WCHAR* path, ImgSaveSettings& record) {
    std::memset(&record, 0, sizeof record);
    if (!path || !path[0])
        return FALSE;
    FileHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return FALSE;
    BYTE bytes[kImgSaveSettingsSize] = {};
    DWORD total = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes + total, kImgSaveSettingsSize - total, &got, nullptr))
            return FALSE;
        total += got;
        if (got == 0 || total == kImgSaveSettingsSize)
            break;
    }
    ParseImgSaveSettings(bytes, total, record);
    return TRUE;
}

BOOL WriteImgSaveSettings(const WCHAR* path, const ImgSaveSettings& record) {
    if (!path || !path[0])
        return FALSE; // no place to write to: nothing is written
    ImgSaveSettings file = record;
    for (WCHAR(*field)[MAX_PATH] : {&file.szFolder, &file.szName, &file.szType, &file.szMailProgram})
        ZeroPad(*field);
    if (!WriteFileReplacing(path, &file, sizeof file)) {
        LogLastError(u"Writing imgSaveSettings.dat");
        return FALSE;
    }
    return TRUE;
}
