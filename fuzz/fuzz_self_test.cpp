// The self-test figures of the INI's [Self Testing] section: whatever the file holds, the figures read as the
// profile reader reads each key, and a copy of the file read afresh gives the same figures. Large files reach the
// INI parse at full length.

#include "FuzzSupport.h"

#include "platform/base/profile.h"
#include "platform/base/windows.h"
#include "ui/scanwindow/CMainUIDialog.h"

#include <string>

namespace {

WCHAR g_ini[MAX_PATH];

bool IsTrue(const WCHAR* key, const WCHAR* file) {
    WCHAR value[MAX_PATH] = {};
    GetPrivateProfileStringW(u"Self Testing", key, u"", value, MAX_PATH, file);
    return wcscmp(value, u"TRUE") == 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    GetIniPath(g_ini);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteDosFile(g_ini, data, size);
    const SelfTestFigures figures = ReadSelfTestFigures();
    const bool enabled = SelfTestValueIsTrue(u"Testing Enable");

    // The same bytes under a name never read before: nothing of an earlier input can answer for it.
    static unsigned s_copy = 0;
    const std::u16string copy = u"C:\\Temp\\copy" + platform::ToUtf16(std::to_string(s_copy++ % 64)) + u".ini";
    fuzz::WriteDosFile(copy.c_str(), data, size);
    fuzz::Check(enabled == IsTrue(u"Testing Enable", copy.c_str()) &&
                    figures.randomColor == IsTrue(u"Color Random", copy.c_str()) &&
                    figures.randomResolution == IsTrue(u"Resolution Random", copy.c_str()) &&
                    figures.randomPaper == IsTrue(u"Paper Random", copy.c_str()),
                "the switches read as the file holds them");
    fuzz::Check(figures.count ==
                        static_cast<int>(GetPrivateProfileIntW(u"Self Testing", u"Testing Count", 3, copy.c_str())) &&
                    figures.seconds ==
                        static_cast<int>(GetPrivateProfileIntW(u"Self Testing", u"Testing Seconds", 5, copy.c_str())),
                "the count and the seconds read as the file holds them");
    DeleteFileW(copy.c_str());
    return 0;
}
