// The Office scan list as the identity query reads it (the user's hive, values "DEVICE%d" of
// Software\Microsoft\Office\11.0\Common\Scan): whatever the hive holds, the query answers the source's identity,
// reads each name within its buffer, and marks the entry that names this source, and only that one, with flags 15.
// Large hives reach the registry's parse at full length.

#include "FuzzSupport.h"

#include "platform/base/registry.h"
#include "platform/base/windows.h"
#include "twain/CDsAssistor.h"
#include "twain/TwainCall.h"

#include <cstring>
#include <string>

namespace {

CDsAssistor* g_assistor = nullptr;
constexpr const WCHAR* kScanKey = u"Software\\Microsoft\\Office\\11.0\\Common\\Scan";

// The value's bytes, or empty when it cannot be read.
std::u16string ReadString(HKEY key, const std::u16string& name, bool& present) {
    DWORD size = 0;
    present = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    if (!present || size > 510)
        return {};
    WCHAR text[256] = {};
    RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(text), &size);
    return std::u16string(text);
}

DWORD ReadFlags(HKEY key, int i, bool& present) {
    const std::u16string name = u"FLAGS" + platform::ToUtf16(std::to_string(i));
    DWORD type = 0, value = 0, size = sizeof value;
    present =
        RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    fuzz::WriteModelIni("Manufacturer=Korvel\nFile Prefix=kvx7731\nProduct Name(kvx7731)=KVX 7731\n");
    platform::testing::SetHostProgramName(u"WINWORD.EXE");
    g_assistor = new CDsAssistor;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteDosFile(u"C:\\Registry\\HKCU.reg", data, size);
    TW_IDENTITY app{};
    TW_IDENTITY answered{};
    TwainCall call{&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &answered};
    fuzz::Check(g_assistor->GetDsIdInfo(&call) == TWRC_SUCCESS, "the identity query succeeds whatever the list holds");
    fuzz::Check(std::memcmp(&answered, &g_assistor->GetDsIdentity(), sizeof answered) == 0,
                "the identity query answers the source's identity");

    // The entries up to the first missing one: the first that names this source is marked with 15.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kScanKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    const std::u16string product = platform::ToUtf16(g_assistor->GetDsIdentity().ProductName);
    for (int i = 0; i < 32; ++i) {
        bool present = false;
        const std::u16string device = ReadString(key, u"DEVICE" + platform::ToUtf16(std::to_string(i)), present);
        if (!present)
            break;
        if (device == product) {
            bool marked = false;
            fuzz::Check(ReadFlags(key, i, marked) == 15 && marked, "the entry naming this source has flags 15");
            break;
        }
    }
    RegCloseKey(key);
    return 0;
}
