#include "settings/SettingStore.h"

#include "settings/CfgFileHlper.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/ScanParam.h"

#include <cstring>
#include <memory>

BOOL g_bAppMode = FALSE;

namespace {

struct CfgFileCloser {
    void operator()(CfgFile* file) const { CloseCfgFile(file); }
};
using LoadedCfgFile = std::unique_ptr<CfgFile, CfgFileCloser>;

LoadedCfgFile LoadStore() {
    WCHAR path[MAX_PATH];
    if (!GetSettingsFilePath(path))
        return nullptr;
    return LoadedCfgFile(LoadCfgFile(path));
}

// Names the file format cannot give back ('>' may end a tag early, ',' ends a field) are kept out of the store.
bool IsStorableName(const WCHAR* name) {
    if (!name || wcsnlen(name, kMaxSettingNameLength + 1) > kMaxSettingNameLength)
        return false;
    return wcspbrk(name, u">,") == nullptr;
}

// The loader opens the file this way too: a file it cannot open is unavailable, not damaged, and is kept.
bool CanOpenForUpdate(const WCHAR* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

CfgObject* FindContainer(CfgFileHlper& helper, CfgFile* file, const WCHAR* name) {
    CfgObject* scanParam = helper.FindObject(file->root, u"ScanParam", true);
    return scanParam ? helper.FindObject(scanParam, name, true) : nullptr;
}

// A store that holds no whole tree (cut short by a full disk or a crash): the file is copied aside as it is, so the
// user's settings are never lost with it, and what can still be read of it is kept. Null when nothing can be.
LoadedCfgFile KeepDamagedStore(const WCHAR* path, CfgFileHlper& helper) {
    WCHAR aside[MAX_PATH];
    if (_snwprintf_s(aside, MAX_PATH, _TRUNCATE, u"%s.damaged", path) < 0 || !CopyFileW(path, aside, FALSE)) {
        DebugPrint(u"InitSettingsFile: %s is damaged and cannot be kept aside", path);
    } else {
        DebugPrint(u"InitSettingsFile: %s is damaged; kept as %s", path, aside);
    }
    LoadedCfgFile file(SalvageCfgFile(path));
    CfgObject* saved = file ? FindContainer(helper, file.get(), u"savesetting") : nullptr;
    CfgObject* current = file ? FindContainer(helper, file.get(), u"cursetting") : nullptr;
    DebugPrint(u"InitSettingsFile: %d saved and %d current settings can still be read of the damaged file",
               saved ? static_cast<int>(saved->children.size()) : 0,
               current ? static_cast<int>(current->children.size()) : 0);
    return file;
}

} // namespace

BOOL GetSettingsFolder(WCHAR out[MAX_PATH], int nDropChars) {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini, nDropChars);
    return GetSettingsFolderFromIni(ini, out);
}

BOOL GetSettingsFolderFromIni(const WCHAR* ini, WCHAR out[MAX_PATH]) {
    out[0] = 0;
    WCHAR appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData)) || !appData[0])
        return FALSE; // without the user's folder there is no defined place for the store
    WCHAR settingFolder[MAX_PATH] = {};
    WCHAR settingPath[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"Setting Folder", u"", settingFolder, MAX_PATH, ini);
    GetPrivateProfileStringW(u"TWAIN", u"Setting Path", u"", settingPath, MAX_PATH, ini);

    if (_snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s%s", appData, settingFolder) < 0) {
        out[0] = 0;
        return FALSE;
    }
    CreateDirectoryW(out, nullptr);
    if (_snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s%s", appData, settingPath) < 0) {
        out[0] = 0;
        return FALSE;
    }
    CreateDirectoryW(out, nullptr);
    return TRUE;
}

BOOL GetSettingsFilePath(WCHAR out[MAX_PATH]) {
    out[0] = 0;
    WCHAR folder[MAX_PATH];
    if (!GetSettingsFolder(folder, kIniDropCharsDataSource))
        return FALSE;
    const WCHAR* fileName = g_bAppMode ? u"APPsettings.dat" : u"settings.dat";
    if (_snwprintf_s(out, MAX_PATH, _TRUNCATE, u"%s%s", folder, fileName) < 0) {
        out[0] = 0;
        return FALSE;
    }
    OutputDebugStringW(out);
    return TRUE;
}

BOOL InitSettingsFile() {
    WCHAR path[MAX_PATH];
    if (!GetSettingsFilePath(path))
        return FALSE;
    LoadedCfgFile file(LoadCfgFile(path));
    if (!file && !CanOpenForUpdate(path))
        return FALSE;
    CfgFileHlper helper;
    if (!file)
        file = KeepDamagedStore(path, helper);
    // The whole narrowed INI value is compared with the node's text up to its terminating zero (the zero bytes
    // behind every data block end it); a "version" node without data never matches.
    std::string version = ReadNarrowVersion();
    CfgObject* node = file ? helper.FindObject(file->root, u"version", true) : nullptr;
    bool sameVersion = node && node->data && std::strcmp(node->data, version.c_str()) == 0;
    if (!sameVersion) {
        // A changed package version, or a file that holds no tree: start afresh.
        file.reset();
        DeleteFileW(path);
        file.reset(LoadCfgFile(path));
        if (!file)
            return FALSE;
    }
    CfgObject* scanParam = helper.FindObject(file->root, u"ScanParam", true);
    if (!scanParam && !(scanParam = helper.AddObject(file->root, u"ScanParam", "null", nullptr, 0)))
        return FALSE;
    for (const WCHAR* name : {u"savesetting", u"cursetting", u"cuspapersetting"}) {
        if (!helper.FindObject(scanParam, name, true) && !helper.AddObject(scanParam, name, "null", nullptr, 0))
            return FALSE;
    }
    return SaveCfgFile(file.get()) ? TRUE : FALSE;
}

BOOL SaveNamedSetting(const WCHAR* name, const BYTE* record) {
    if (!IsStorableName(name) || !record)
        return FALSE;
    LoadedCfgFile file = LoadStore();
    if (!file)
        return FALSE;
    CfgFileHlper helper;
    CfgObject* saved = FindContainer(helper, file.get(), u"savesetting");
    if (!saved)
        return FALSE;
    helper.DeleteObject(saved, name, true);
    if (!helper.AddObject(saved, name, "binary", record, kScanParamSize))
        return FALSE;
    return SaveCfgFile(file.get()) ? TRUE : FALSE;
}

BOOL LoadNamedSetting(const WCHAR* name, BYTE* record) {
    if (!record || !IsStorableName(name))
        return FALSE;
    LoadedCfgFile file = LoadStore();
    if (!file)
        return FALSE;
    CfgFileHlper helper;
    CfgObject* node = helper.FindObject(FindContainer(helper, file.get(), u"savesetting"), name, true);
    if (!node || !node->data || node->len != kScanParamSize)
        return FALSE;
    std::memcpy(record, node->data, kScanParamSize);
    return TRUE;
}

int ListNamedSettings(WCHAR* names[], int max) {
    LoadedCfgFile file = LoadStore();
    if (!file)
        return 0;
    CfgFileHlper helper;
    CfgObject* saved = FindContainer(helper, file.get(), u"savesetting");
    if (!saved)
        return 0;
    if (!names)
        return static_cast<int>(saved->children.size());
    return helper.GetChildNames(saved, names, max);
}

BOOL DeleteNamedSetting(const WCHAR* name) {
    if (!IsStorableName(name))
        return FALSE;
    LoadedCfgFile file = LoadStore();
    if (!file)
        return FALSE;
    CfgFileHlper helper;
    if (!helper.DeleteObject(FindContainer(helper, file.get(), u"savesetting"), name, true))
        return FALSE;
    return SaveCfgFile(file.get()) ? TRUE : FALSE;
}

BOOL SaveCurrentSetting(const WCHAR* name, const BYTE* record) {
    if (!IsStorableName(name) || !record)
        return FALSE;
    LoadedCfgFile file = LoadStore();
    if (!file)
        return FALSE;
    CfgFileHlper helper;
    CfgObject* current = FindContainer(helper, file.get(), u"cursetting");
    if (!current)
        return FALSE;
    // The last child itself goes, not the first one that happens to share its name.
    if (!current->children.empty()) {
        CfgObject* last = current->children.back();
        helper.UnlinkChild(current, last);
        helper.DeleteCfgObject(last);
    }
    if (!helper.AddObject(current, name, "binary", record, kScanParamSize))
        return FALSE;
    return SaveCfgFile(file.get()) ? TRUE : FALSE;
}

BOOL LoadCurrentSetting(BYTE* record, WCHAR name[128]) {
    if (!record || !name)
        return FALSE;
    LoadedCfgFile file = LoadStore();
    if (!file)
        return FALSE;
    CfgFileHlper helper;
    CfgObject* current = FindContainer(helper, file.get(), u"cursetting");
    if (!current || current->children.empty())
        return FALSE;
    CfgObject* last = current->children.back();
    if (!last->data || last->len != kScanParamSize)
        return FALSE;
    std::memcpy(record, last->data, kScanParamSize);
    helper.NameToWide(last->name, name);
    return TRUE;
}
