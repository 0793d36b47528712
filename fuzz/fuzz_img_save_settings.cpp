// imgSaveSettings.dat, which the save dialogs read in app mode and the calling application reads too: any file
// gives a record whose strings end in their fields, whose type is one of the six and whose switches are 0 or 1,
// and which writes back and reads again as the same record.

#include "FuzzSupport.h"

#include "settings/IniPath.h"
#include "ui/dialogs/ImgSaveSettings.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

WCHAR g_path[MAX_PATH];

void CheckRecord(const ImgSaveSettings& r) {
    for (const WCHAR* text : {r.szFolder, r.szName, r.szType, r.szMailProgram})
        fuzz::Check(wcsnlen(text, MAX_PATH) < MAX_PATH, "every string of the record ends in its field");
    bool known = false; // in any case: the dialogs write lower case, a file may hold "PDF"
    for (const WCHAR* type : {u"bmp", u"jpg", u"tif", u"pdf", u"png", u"ofd"})
        known = known || _wcsicmp(r.szType, type) == 0;
    fuzz::Check(known, "the file type is one of the six");
    for (const std::int32_t flag : {r.nOpenFile, r.nOpenFolder, r.nMode, r.nManualDuplex})
        fuzz::Check(flag == 0 || flag == 1, "the switches are 0 or 1");
}

// The same record as the program sees it: the strings up to their ends (the file keeps nothing behind them) and
// the numbers.
bool SameRecord(const ImgSaveSettings& a, const ImgSaveSettings& b) {
    return std::u16string(a.szFolder) == b.szFolder && std::u16string(a.szName) == b.szName &&
           std::u16string(a.szType) == b.szType && std::u16string(a.szMailProgram) == b.szMailProgram &&
           a.nOpenFile == b.nOpenFile && a.nOpenFolder == b.nOpenFolder && a.nMode == b.nMode &&
           a.nManualDuplex == b.nManualDuplex && a.nScanReset == b.nScanReset;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    fuzz::WriteModelIni();
    if (!GetImgSaveSettingsPath(g_path, MAX_PATH))
        fuzz::Fail("the path of imgSaveSettings.dat cannot be formed");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The parser on a copy of exactly the file's size, so a read past it is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    ImgSaveSettings parsed{};
    ParseImgSaveSettings(bytes.data(), bytes.size(), parsed);
    CheckRecord(parsed);

    fuzz::WriteDosFile(g_path, data, size);
    ImgSaveSettings read{};
    fuzz::Check(ReadImgSaveSettings(g_path, read), "an existing file reads");
    fuzz::Check(std::memcmp(&read, &parsed, sizeof read) == 0, "the file reads as its bytes parse");
    fuzz::Check(WriteImgSaveSettings(g_path, read), "the record read writes back");
    ImgSaveSettings again{};
    fuzz::Check(ReadImgSaveSettings(g_path, again) && SameRecord(again, read),
                "the record written reads back unchanged");
    return 0;
}
