// The still-image service stand-in's launch file (C:\StillImage\launch.txt) as the device-scan program reads it on
// its "/STIDEVICE" road: the launch information into its fixed name buffers, "EventData" into the push command's
// buffer and "DevicePath" into a path buffer, each call staying within the buffer it is given.

#include "FuzzSupport.h"

#include "companions/sti/StiLaunch.h"
#include "platform/base/windows.h"
#include "platform/gdiplus/sti.h"

#include <vector>

extern "C" HRESULT StiCreateInstance(HINSTANCE, DWORD version, IStillImageW** sti, IUnknown* outer);

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteDosFile(sti::kLaunchFile, data, size);
    sti::Launch launch;
    sti::ReadLaunch(launch);

    IStillImageW* service = nullptr;
    if (FAILED(StiCreateInstance(nullptr, STI_VERSION_REAL, &service, nullptr)) || service == nullptr)
        fuzz::Fail("the still-image service object cannot be made");
    WCHAR deviceName[STI_MAX_INTERNAL_NAME_LENGTH];
    WCHAR eventName[STI_MAX_INTERNAL_NAME_LENGTH];
    DWORD eventCode = 0;
    if (SUCCEEDED(service->GetSTILaunchInformation(deviceName, &eventCode, eventName))) {
        fuzz::Check(wcsnlen(deviceName, STI_MAX_INTERNAL_NAME_LENGTH) < STI_MAX_INTERNAL_NAME_LENGTH &&
                        wcsnlen(eventName, STI_MAX_INTERNAL_NAME_LENGTH) < STI_MAX_INTERNAL_NAME_LENGTH,
                    "the launch names are terminated within their buffers");
        // Exactly the buffers the program hands in: the push command's 8 bytes and a path.
        std::vector<BYTE> eventData(8);
        DWORD type = 0;
        DWORD room = static_cast<DWORD>(eventData.size());
        service->GetDeviceValue(deviceName, const_cast<LPWSTR>(u"EventData"), &type, eventData.data(), &room);
        std::vector<WCHAR> path(MAX_PATH);
        room = MAX_PATH * sizeof(WCHAR);
        service->GetDeviceValue(deviceName, const_cast<LPWSTR>(u"DevicePath"), &type,
                                reinterpret_cast<BYTE*>(path.data()), &room);
        room = 0;
        service->GetDeviceValue(deviceName, const_cast<LPWSTR>(u"EventData"), &type, nullptr, &room);
    }
    service->Release();
    return 0;
}
