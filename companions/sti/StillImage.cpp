// The still-image service stand-in ("sti.dll"): StiCreateInstance makes a reference-counted object that answers the
// launch information and the device values from the launch file the scan key writes (StiLaunch.h).
#include "companions/sti/StiLaunch.h"
#include "platform/base/registry.h"
#include "platform/gdiplus/sti.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// Ours: the stand-in's interface identity.
constexpr IID kIidStillImageW = {0x5d3a1c20, 0x7b41, 0x4f0e, {0x9a, 0x36, 0x2e, 0x51, 0x07, 0xc4, 0x8b, 0x19}};
const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::atomic<int> g_liveObjects{0};

// Copies at most `room` - 1 units and a terminator.
void CopyName(const std::u16string& name, LPWSTR out, size_t room) {
    const size_t n = std::min(name.size(), room - 1);
    std::copy_n(name.data(), n, out);
    out[n] = 0;
}

class StillImage final : public IStillImageW {
public:
    StillImage() { ++g_liveObjects; }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid != kIidUnknown && riid != kIidStillImageW)
            return E_NOINTERFACE;
        AddRef();
        *object = static_cast<IStillImageW*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetSTILaunchInformation(LPWSTR deviceName, DWORD* eventCode, LPWSTR eventName) override {
        sti::Launch launch;
        if (!sti::ReadLaunch(launch))
            return STIERR_OBJECTNOTFOUND;
        if (deviceName)
            CopyName(launch.deviceName, deviceName, STI_MAX_INTERNAL_NAME_LENGTH);
        if (eventCode)
            *eventCode = launch.eventCode;
        if (eventName)
            CopyName(launch.eventName, eventName, STI_MAX_INTERNAL_NAME_LENGTH);
        return S_OK;
    }

    HRESULT GetDeviceValue(LPWSTR deviceName, LPWSTR valueName, DWORD* type, BYTE* data, DWORD* size) override {
        if (!deviceName || !valueName || !size)
            return E_INVALIDARG;
        sti::Launch launch;
        if (!sti::ReadLaunch(launch))
            return STIERR_OBJECTNOTFOUND;
        if (launch.deviceName != deviceName)
            return STIERR_INVALID_DEVICE_NAME;
        std::vector<BYTE> value;
        DWORD valueType;
        const std::u16string name = valueName;
        if (name == u"EventData") {
            value = launch.eventData;
            valueType = REG_BINARY;
        } else if (name == u"DevicePath") {
            const std::u16string& path = launch.devicePath;
            value.resize((path.size() + 1) * sizeof(WCHAR));
            std::memcpy(value.data(), path.c_str(), value.size());
            valueType = REG_SZ;
        } else {
            return STIERR_OBJECTNOTFOUND;
        }
        if (type)
            *type = valueType;
        const DWORD room = *size;
        *size = static_cast<DWORD>(value.size());
        if (!data || room < value.size())
            return STIERR_MORE_DATA;
        std::copy(value.begin(), value.end(), data);
        return S_OK;
    }

private:
    ~StillImage() { --g_liveObjects; }
    std::atomic<ULONG> m_refs{1};
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT StiCreateInstance(HINSTANCE, DWORD version, IStillImageW** sti,
                                                                 IUnknown* outer) {
    if (!sti)
        return E_POINTER;
    *sti = nullptr;
    if (outer)
        return E_NOINTERFACE; // no aggregation
    if ((version & 0xFF) != STI_VERSION_REAL)
        return E_INVALIDARG;
    *sti = new StillImage();
    return S_OK;
}

// For tests: the objects made and not yet released.
__attribute__((visibility("default"))) int StiStandIn_LiveObjects() {
    return g_liveObjects.load();
}
}
