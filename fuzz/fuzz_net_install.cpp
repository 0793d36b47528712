// The network installation's hand-over to the scanning window: the registry values "IP" and "IP TIME" an installer
// left (any type, any bytes, terminated or not) and the marker file net_install.dat, read into the window's fixed
// buffers; the address the window takes over fits ScanParam's field.
//
// Input: u8 flags (bit 0 app mode; bits 1-2 the values' type: REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD),
// u16 length and the bytes of "IP", u16 length and the bytes of "IP TIME", then the marker file.

#include "FuzzSupport.h"
#include "TwainInput.h"

#include "platform/base/registry.h"
#include "settings/IniPath.h"
#include "settings/SettingStore.h"
#include "ui/scanwindow/NetInstall.h"

#include <cstring>
#include <string>

namespace {

WCHAR g_marker[MAX_PATH];
constexpr DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    fuzz::WriteModelIni("Registry=SOFTWARE\\Korvel\\kvx7731\n");
    WCHAR folder[MAX_PATH];
    if (!GetSettingsFolder(folder, kIniDropCharsDataSource) ||
        _snwprintf_s(g_marker, MAX_PATH, _TRUNCATE, u"%snet_install.dat", folder) < 0)
        fuzz::Fail("the settings folder cannot be formed");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in(data, size);
    const std::uint8_t flags = in.U8();
    const DWORD type = kTypes[(flags >> 1) & 3];
    const std::span<const std::uint8_t> ip = in.Bytes(in.U16());
    const std::span<const std::uint8_t> ipTime = in.Bytes(in.U16());
    const std::span<const std::uint8_t> marker = in.Bytes(size);

    std::remove(platform::path::ToHostPath(u"C:\\Registry\\HKLM.reg").c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\kvx7731", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        fuzz::Fail("the installation key cannot be made");
    RegSetValueExW(key, u"IP", 0, type, ip.data(), static_cast<DWORD>(ip.size()));
    RegSetValueExW(key, u"IP TIME", 0, type, ipTime.data(), static_cast<DWORD>(ipTime.size()));
    RegCloseKey(key);
    if (flags & 8)
        std::remove(platform::path::ToHostPath(g_marker).c_str());
    else
        fuzz::WriteDosFile(g_marker, marker.data(), marker.size());

    CNetInstall install;
    if (install.Check(flags & 1 ? TRUE : FALSE)) {
        char address[256];
        std::memset(address, 0x5A, sizeof address);
        if (install.NarrowAddress(address))
            fuzz::Check(std::memchr(address, 0, sizeof address) != nullptr, "the address taken over is terminated");
        install.WriteMarker();
    }
    return 0;
}
