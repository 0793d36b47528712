// The registration library stand-in records its class in the registry hive and removes it again.
#include "platform/base/path.h"
#include "platform/base/registry.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

constexpr const WCHAR* kServerKey = u"CLSID\\{6E0B3F52-2A61-4C8D-B7E4-91D05A3C2F18}\\InprocServer32";

std::u16string ReadServer(const WCHAR* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return u"<no key>";
    WCHAR value[MAX_PATH] = {};
    DWORD size = sizeof value;
    const LONG r = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? std::u16string(value) : u"<none>";
}

} // namespace

TEST(Quillet, RegisteringRecordsTheLibraryAndUnregisteringRemovesIt) {
    const std::string root = testsupport::MakeTempFolder("quillet-test");
    ASSERT_FALSE(root.empty());
    testsupport::UseAsRoot(root); // the library has a platform of its own, which reads PLATFORM_ROOT

    const std::u16string dosPath = platform::path::ToDosPath(QUILLET_PATH);
    HMODULE library = LoadLibraryW((dosPath.substr(0, dosPath.size() - 3) + u".dll").c_str());
    ASSERT_NE(library, nullptr);
    auto reg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllRegisterServer"));
    auto unreg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllUnregisterServer"));
    ASSERT_NE(reg, nullptr);
    ASSERT_NE(unreg, nullptr);

    EXPECT_EQ(unreg(), S_OK) << "nothing to remove is no failure";
    EXPECT_EQ(reg(), S_OK);
    EXPECT_EQ(ReadServer(nullptr), dosPath);
    EXPECT_EQ(ReadServer(u"ThreadingModel"), u"Apartment");
    EXPECT_EQ(unreg(), S_OK);
    EXPECT_EQ(ReadServer(nullptr), u"<none>");
    EXPECT_EQ(ReadServer(u"ThreadingModel"), u"<none>");

    FreeLibrary(library);
    testsupport::RemoveFolder(root);
}
