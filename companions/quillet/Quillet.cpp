// The registration library stand-in ("<File Prefix>Quillet.dll"): its two registration entry points record the
// library's class in the registry hive, as a self-registering component does, and remove it again.
//
//   HKEY_CLASSES_ROOT\CLSID\{6E0B3F52-2A61-4C8D-B7E4-91D05A3C2F18}\InprocServer32
//       (default)       REG_SZ  the library's own path
//       ThreadingModel  REG_SZ  "Apartment"
#include "platform/base/module.h"
#include "platform/base/registry.h"
#include "platform/base/windows.h"

#include <string>

namespace {

constexpr const WCHAR* kServerKey = u"CLSID\\{6E0B3F52-2A61-4C8D-B7E4-91D05A3C2F18}\\InprocServer32";

LONG SetString(HKEY key, const WCHAR* name, const std::u16string& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(platform::ThisModule(), path, MAX_PATH);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return E_FAIL;
    const bool written = SetString(key, nullptr, path) == ERROR_SUCCESS &&
                         SetString(key, u"ThreadingModel", u"Apartment") == ERROR_SUCCESS;
    RegCloseKey(key);
    return written ? S_OK : E_FAIL;
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return S_OK; // nothing registered
    RegDeleteValueW(key, nullptr);
    RegDeleteValueW(key, u"ThreadingModel");
    RegCloseKey(key);
    return S_OK;
}
}
