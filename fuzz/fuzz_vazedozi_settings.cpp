// vazedozi_settings.dat as Velmora reads it before every push scan: any file either gives the defaults or a record
// whose folder is terminated, which writes back and reads again with the same choices and folder.

#include "FuzzSupport.h"

#include "devicescan/SaveFolder.h"
#include "devicescan/VazeDoziSettings.h"
#include "settings/IniPath.h"

#include <cstring>
#include <string>

namespace {

WCHAR g_path[MAX_PATH];

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    fuzz::WriteModelIni("File Prefix=kvx7731\n", kIniDropCharsDeviceScan);
    GetVazeDoziSettingsPath(g_path);
    if (g_path[0] == 0)
        fuzz::Fail("the path of vazedozi_settings.dat cannot be formed");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteDosFile(g_path, data, size);
    VazeDoziSettings settings{};
    const bool read = ReadVazeDoziSettings(settings);
    fuzz::Check(read == (size >= sizeof settings), "a file of a whole record reads, a shorter one gives the defaults");
    fuzz::Check(wcsnlen(settings.saveFolder, MAX_PATH) < MAX_PATH, "the save folder read is terminated");
    WCHAR folder[MAX_PATH];
    std::memcpy(folder, settings.saveFolder, sizeof folder);
    AddFolderBackslash(folder);
    fuzz::Check(wcsnlen(folder, MAX_PATH) < MAX_PATH, "the save folder with its backslash is terminated");

    fuzz::Check(WriteVazeDoziSettings(settings), "the record read writes back");
    VazeDoziSettings again{};
    // The folder goes out zero-padded: what lay behind its terminator in the file is not kept.
    fuzz::Check(ReadVazeDoziSettings(again) && again.openFile == settings.openFile &&
                    again.openFolder == settings.openFolder &&
                    std::u16string(again.saveFolder) == std::u16string(settings.saveFolder),
                "the record written reads back unchanged");
    return 0;
}
