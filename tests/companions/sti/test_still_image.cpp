// The still-image service stand-in: launch information and device values from the scan key's launch file, and the
// object's reference counting.
#include "companions/sti/StiLaunch.h"
#include "platform/base/path.h"
#include "platform/base/registry.h"
#include "platform/base/testing.h"
#include "platform/gdiplus/sti.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class StillImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("sti-test");
        ASSERT_FALSE(m_root.empty());
        testsupport::UseAsRoot(m_root);
        setenv("PLATFORM_STI", STI_PATH, 1);
        m_library = LoadLibraryW(u"sti.dll");
        ASSERT_NE(m_library, nullptr);
        m_create = reinterpret_cast<StiCreateInstanceFn>(GetProcAddress(m_library, "StiCreateInstance"));
        m_live = reinterpret_cast<int (*)()>(GetProcAddress(m_library, "StiStandIn_LiveObjects"));
        ASSERT_NE(m_create, nullptr);
        ASSERT_NE(m_live, nullptr);
    }
    void TearDown() override {
        if (m_library)
            FreeLibrary(m_library);
        unsetenv("PLATFORM_STI");
        testsupport::RemoveFolder(m_root);
    }

    IStillImageW* Create() {
        IStillImageW* sti = nullptr;
        EXPECT_EQ(m_create(nullptr, STI_VERSION_REAL | STI_VERSION_FLAG_UNICODE, &sti, nullptr), S_OK);
        return sti;
    }

    static sti::Launch PushLaunch() {
        sti::Launch launch;
        launch.deviceName = u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000";
        launch.eventCode = 1;
        launch.eventName = u"Scan";
        launch.eventData = {'V', 2, 2, 0, 2, 0, 0};
        launch.devicePath = u"\\\\.\\Usbscan";
        return launch;
    }

    std::string m_root;
    HMODULE m_library = nullptr;
    StiCreateInstanceFn m_create = nullptr;
    int (*m_live)() = nullptr;
};

} // namespace

TEST_F(StillImageTest, TheLaunchFileRoundTrips) {
    sti::Launch written = PushLaunch();
    written.eventData = {0x00, 0x56, 0xFF, 0x0A};
    ASSERT_TRUE(sti::WriteLaunch(written));
    sti::Launch read;
    ASSERT_TRUE(sti::ReadLaunch(read));
    EXPECT_EQ(read.deviceName, written.deviceName);
    EXPECT_EQ(read.eventCode, 1u);
    EXPECT_EQ(read.eventName, u"Scan");
    EXPECT_EQ(read.eventData, written.eventData);
    EXPECT_EQ(read.devicePath, written.devicePath);
}

TEST_F(StillImageTest, TheObjectAnswersTheLaunchAndTheDeviceValues) {
    ASSERT_TRUE(sti::WriteLaunch(PushLaunch()));
    IStillImageW* sti = Create();
    ASSERT_NE(sti, nullptr);
    WCHAR device[STI_MAX_INTERNAL_NAME_LENGTH] = {}, event[STI_MAX_INTERNAL_NAME_LENGTH] = {};
    DWORD code = 0;
    ASSERT_EQ(sti->GetSTILaunchInformation(device, &code, event), S_OK);
    EXPECT_EQ(std::u16string(device), PushLaunch().deviceName);
    EXPECT_EQ(code, 1u);

    BYTE data[64] = {};
    DWORD type = 0, size = sizeof data;
    ASSERT_EQ(sti->GetDeviceValue(device, const_cast<LPWSTR>(u"EventData"), &type, data, &size), S_OK);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(data[0], 'V');

    WCHAR path[260] = {};
    size = sizeof path;
    ASSERT_EQ(
        sti->GetDeviceValue(device, const_cast<LPWSTR>(u"DevicePath"), &type, reinterpret_cast<BYTE*>(path), &size),
        S_OK);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::u16string(path), u"\\\\.\\Usbscan");
    EXPECT_EQ(size, 24u) << "the path's units and its terminator";

    size = 4;
    EXPECT_EQ(sti->GetDeviceValue(device, const_cast<LPWSTR>(u"EventData"), &type, data, &size), STIERR_MORE_DATA);
    EXPECT_EQ(size, 7u) << "the size needed";
    EXPECT_EQ(sti->GetDeviceValue(const_cast<LPWSTR>(u"other"), const_cast<LPWSTR>(u"EventData"), &type, data, &size),
              STIERR_INVALID_DEVICE_NAME);
    size = sizeof data;
    EXPECT_EQ(sti->GetDeviceValue(device, const_cast<LPWSTR>(u"Colour"), &type, data, &size), STIERR_OBJECTNOTFOUND);
    sti->Release();
}

TEST_F(StillImageTest, WithoutALaunchFileThereIsNoLaunchInformation) {
    IStillImageW* sti = Create();
    ASSERT_NE(sti, nullptr);
    WCHAR device[STI_MAX_INTERNAL_NAME_LENGTH] = {};
    DWORD code = 0;
    EXPECT_TRUE(FAILED(sti->GetSTILaunchInformation(device, &code, nullptr)));
    sti->Release();
}

TEST_F(StillImageTest, TheObjectLivesUntilItsLastRelease) {
    IStillImageW* sti = Create();
    ASSERT_NE(sti, nullptr);
    EXPECT_EQ(m_live(), 1);
    IUnknown* unknown = nullptr;
    const IID iidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    ASSERT_EQ(sti->QueryInterface(iidUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(sti->Release(), 1u);
    EXPECT_EQ(m_live(), 1);
    EXPECT_EQ(unknown->Release(), 0u);
    EXPECT_EQ(m_live(), 0);

    IStillImageW* refused = reinterpret_cast<IStillImageW*>(1);
    EXPECT_EQ(m_create(nullptr, 1, &refused, nullptr), E_INVALIDARG) << "version 2 only";
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(m_live(), 0);
}
