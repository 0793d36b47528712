// The still-image service as a program started by a device event uses it: StiCreateInstance of "sti.dll" makes the
// service's object, which tells the program which device and event launched it and reads values of that device.
// "sti.dll" is our stand-in (companions/sti); only the operations the system calls are here.
#pragma once

#include "platform/gdiplus/objidl.h"

#define STI_VERSION_REAL 0x00000002
#define STI_VERSION_FLAG_UNICODE 0x01000000
#define STI_MAX_INTERNAL_NAME_LENGTH 128

// Results beyond the usual COM ones.
#define STIERR_INVALID_DEVICE_NAME (static_cast<HRESULT>(0x8007007B)) // no device of that name
#define STIERR_OBJECTNOTFOUND (static_cast<HRESULT>(0x80070002))      // no launch information, no such value
#define STIERR_MORE_DATA (static_cast<HRESULT>(0x800700EA))           // the buffer is too small; the size is set

struct IStillImageW : IUnknown {
    // The device (its internal name) and the event that launched this program. deviceName and eventName have room
    // for STI_MAX_INTERNAL_NAME_LENGTH units each.
    virtual HRESULT GetSTILaunchInformation(LPWSTR deviceName, DWORD* eventCode, LPWSTR eventName) = 0;
    // A value of a device into `data`: *size is the room on entry and the bytes written (or needed, with
    // STIERR_MORE_DATA) on return; *type the registry type of the value.
    virtual HRESULT GetDeviceValue(LPWSTR deviceName, LPWSTR valueName, DWORD* type, BYTE* data, DWORD* size) = 0;

protected:
    ~IStillImageW() = default;
};
using PSTIW = IStillImageW*;

// "StiCreateInstance", bound by name: the object for the calling module, with a reference of the caller's own.
using StiCreateInstanceFn = HRESULT (*)(HINSTANCE instance, DWORD version, IStillImageW** sti, IUnknown* outer);
