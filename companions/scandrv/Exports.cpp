// The driver library's entry points. Each one counts its call for the faults of the control file, and all but the
// hot ones (reads and progress polls) first pick up a changed control file. Nothing thrown leaves an entry point.
#include "companions/scandrv/ControlFile.h"
#include "companions/scandrv/Device.h"
#include "companions/scandrv/ScanDrv.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <strings.h>
#include <thread>

#define SCANDRV_EXPORT extern "C" __attribute__((visibility("default")))

namespace scandrv {
namespace {

std::mutex g_lock;
std::shared_ptr<Device> g_device; // the one open device; its address is the handle
bool g_controlLoaded = false;
std::string g_controlText;
Control g_control;
std::map<std::string, long long> g_calls;
int g_resolution1200 = 0;
int g_horizontal = 0;

// The debug output of the programs that load the driver: standard error with PLATFORM_DEBUG=1, else nothing.
void DebugLine(const std::string& text) {
    if (const char* debug = std::getenv("PLATFORM_DEBUG"); debug != nullptr && std::strcmp(debug, "1") == 0)
        std::fprintf(stderr, "%s\n", text.c_str());
}

void RefreshControl() {
    std::string text;
    ReadControlFile(text);
    std::vector<std::string> unread;
    {
        std::lock_guard lock(g_lock);
        if (g_controlLoaded && text == g_controlText)
            return;
        g_controlText = text;
        g_control = ParseControl(text, &unread);
        g_calls.clear();
        g_controlLoaded = true;
    }
    for (const std::string& line : unread)
        DebugLine("scandrv: " + ControlFilePath() + " " + line + " (ignored)");
}

Control CurrentControl() {
    std::lock_guard lock(g_lock);
    return g_control;
}

// Counts a call of the entry point; the driver code of a fault due at this call, if any.
std::optional<int> FaultFor(const char* entry) {
    std::lock_guard lock(g_lock);
    if (g_control.faults.empty())
        return std::nullopt; // counts restart with every change of the file, so there is nothing to count for
    long long n = ++g_calls[entry];
    for (const Fault& f : g_control.faults)
        if (f.entry == entry && (f.from ? n >= f.n : n == f.n))
            return f.code;
    return std::nullopt;
}

std::shared_ptr<Device> Find(void* handle) {
    std::lock_guard lock(g_lock);
    return g_device && g_device.get() == handle ? g_device : nullptr;
}

// A network device answers to its name (any case) or its address.
bool NetDeviceAnswers(const Control& c, const char* nameOrAddress) {
    return std::any_of(c.netDevices.begin(), c.netDevices.end(), [&](const NetDevice& d) {
        return strcasecmp(d.name.c_str(), nameOrAddress) == 0 || d.address == nameOrAddress;
    });
}

// Network discovery and detection take the control file's net_wait_ms before they answer; "never" holds the call
// until the file no longer says so (looked at every 20 ms).
void WaitForNetwork() {
    const int wait = CurrentControl().netWaitMs;
    if (wait > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        return;
    }
    while (wait == kNetWaitNever) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        RefreshControl();
        if (CurrentControl().netWaitMs != kNetWaitNever)
            return;
    }
}

// The arguments of a call as the journal writes them: each after a space, a missing text as "(null)".
struct Text {
    const char* text;
};
std::ostream& operator<<(std::ostream& out, Text t) {
    return out << (t.text ? t.text : "(null)");
}
// Four values of a channel table as "a,b,c,d".
struct Four {
    const int* values;
};
std::ostream& operator<<(std::ostream& out, Four f) {
    if (!f.values)
        return out << "(null)";
    return out << f.values[0] << ',' << f.values[1] << ',' << f.values[2] << ',' << f.values[3];
}
template <typename... T> std::string Args(const T&... values) {
    std::ostringstream out;
    ((out << ' ' << values), ...);
    return out.str();
}

// Appends "<entry><arguments> -> <code>" to the journal of the control file, if it names one.
void Journal(const char* entry, const std::string& args, int code) {
    std::string file;
    {
        std::lock_guard lock(g_lock);
        file = g_control.journal;
    }
    if (file.empty())
        return;
    if (file[0] != '/') {
        const std::string control = ControlFilePath(); // the folder of today's control file
        file = control.substr(0, control.rfind('/') + 1) + file;
    }
    static std::mutex s_writing; // one whole line at a time, whichever thread calls
    std::lock_guard lock(s_writing);
    std::ofstream(file, std::ios::app) << entry << args << " -> " << code << '\n';
}

// Hot entry points (reads and progress polls) neither pick up a changed control file nor go into the journal.
template <typename F> int Guarded(const char* entry, bool refresh, F body, const std::string& args = {}) {
    int code = 1;
    try {
        if (refresh)
            RefreshControl();
        std::optional<int> fault = FaultFor(entry);
        code = fault ? *fault : body();
    } catch (...) {
        code = 1;
    }
    if (refresh)
        Journal(entry, args, code);
    return code;
}

int Open(const char* entry, const char* deviceName, void** handle) {
    return Guarded(entry, true, [&] {
        if (!deviceName || !handle)
            return 1;
        Control c = CurrentControl();
        bool local = deviceName[0] == '\\' && deviceName[1] == '\\';
        if (local ? !c.usb : !NetDeviceAnswers(c, deviceName))
            return 4;
        std::lock_guard lock(g_lock);
        if (g_device)
            return 3;
        g_device = std::make_shared<Device>();
        *handle = g_device.get();
        return 0;
    }, Args(Text{deviceName}));
}

template <typename F>
int WithDevice(const char* entry, bool refresh, void* handle, F body, const std::string& args = {}) {
    return Guarded(
        entry, refresh,
        [&] {
            std::shared_ptr<Device> device = Find(handle);
            return device ? body(*device) : 1;
        },
        args);
}

} // namespace
} // namespace scandrv

using namespace scandrv;

SCANDRV_EXPORT int ScanDrv_Open(const char* deviceName, void** handle) {
    return Open("ScanDrv_Open", deviceName, handle);
}

SCANDRV_EXPORT int ScanDrv_Open_C(const char* deviceName, void** handle) {
    return Open("ScanDrv_Open_C", deviceName, handle);
}

// A fault on the close still closes: the caller forgets the handle whatever the answer.
SCANDRV_EXPORT int ScanDrv_Close(void* handle) {
    try {
        RefreshControl();
        std::optional<int> fault = FaultFor("ScanDrv_Close");
        std::shared_ptr<Device> device;
        {
            std::lock_guard lock(g_lock);
            if (g_device && g_device.get() == handle)
                device = std::move(g_device);
        }
        const bool found = device != nullptr;
        if (device) {
            device->Stop(); // a read blocked on another thread returns; the device goes with the last user
            // Closed from inside a device event: the mechanism cannot wait for itself, so another thread lets it go.
            if (device->OnMechanismThread())
                std::thread([closing = std::move(device)]() mutable { closing.reset(); }).detach();
        }
        const int code = fault ? *fault : found ? 0 : 1;
        Journal("ScanDrv_Close", {}, code);
        return code;
    } catch (...) {
        return 1;
    }
}

SCANDRV_EXPORT int ScanDrv_SetResolution1200(int on) {
    return Guarded("ScanDrv_SetResolution1200", true, [&] {
        std::lock_guard lock(g_lock);
        g_resolution1200 = on;
        return 0;
    }, Args(on));
}

SCANDRV_EXPORT int ScanDrv_SetHorizontal(int horizontal) {
    return Guarded("ScanDrv_SetHorizontal", true, [&] {
        std::lock_guard lock(g_lock);
        g_horizontal = horizontal;
        return 0;
    }, Args(horizontal));
}

SCANDRV_EXPORT int ScanDrv_SetContinueFlag(void* handle, int on) {
    return WithDevice("ScanDrv_SetContinueFlag", true, handle, [](Device&) { return 0; }, Args(on));
}

SCANDRV_EXPORT int ScanDrv_GetLastError(void* handle) {
    return WithDevice("ScanDrv_GetLastError", true, handle, [](Device& d) { return d.LastError(); });
}

SCANDRV_EXPORT int ScanDrv_SetScanParameter(void* handle, int xres, int yres, int colour, int left, int top, int right,
                                            int bottom, int threshold, int source) {
    return WithDevice("ScanDrv_SetScanParameter", true, handle, [&](Device& d) {
        return d.SetScanParameter({xres, yres, colour, left, top, right, bottom, threshold, source});
    }, Args(xres, yres, colour, left, top, right, bottom, threshold, source));
}

SCANDRV_EXPORT int ScanDrv_GetScanParameter(void* handle, int* pixelsPerLine, int* totalLines) {
    return WithDevice("ScanDrv_GetScanParameter", false, handle, [&](Device& d) {
        return pixelsPerLine && totalLines ? d.GetScanParameter(pixelsPerLine, totalLines) : 1;
    });
}

SCANDRV_EXPORT int ScanDrv_StartScan(void* handle) {
    return WithDevice("ScanDrv_StartScan", true, handle, [](Device& d) { return d.StartScan(CurrentControl()); });
}

SCANDRV_EXPORT int ScanDrv_AbortScan(void* handle) {
    return WithDevice("ScanDrv_AbortScan", true, handle, [](Device& d) { return d.Stop(); });
}

SCANDRV_EXPORT int ScanDrv_CancelScan(void* handle) {
    return WithDevice("ScanDrv_CancelScan", true, handle, [](Device& d) { return d.Stop(); });
}

SCANDRV_EXPORT int ScanDrv_ReadScanData(void* handle, void* buffer, int size, int* count) {
    return WithDevice("ScanDrv_ReadScanData", false, handle,
                      [&](Device& d) { return buffer && count && size > 0 ? d.Read(buffer, size, count) : 1; });
}

SCANDRV_EXPORT int ScanDrv_GetCurScanLineNum(void* handle, int* line, int* status) {
    return WithDevice("ScanDrv_GetCurScanLineNum", false, handle, [&](Device& d) {
        if (!line || !status)
            return 1;
        d.LinePoll(line, status);
        return 0;
    });
}

SCANDRV_EXPORT int ScanDrv_GetCurTransferSize(void* handle, int* total, int* done) {
    return WithDevice("ScanDrv_GetCurTransferSize", false, handle, [&](Device& d) {
        if (!total || !done)
            return 1;
        d.TransferPoll(total, done);
        return 0;
    });
}

// The tone settings do not change the test pages; the threshold decides black and white.
SCANDRV_EXPORT int ScanDrv_SetScanParameterAdj(void* handle, int* brightness, int* contrast, int* curve, int gamma,
                                               int threshold, int descreen, int fading) {
    return WithDevice("ScanDrv_SetScanParameterAdj", true, handle,
                      [&](Device& d) { return brightness && contrast && curve ? d.SetAdjustments(threshold) : 1; }, Args(Four{brightness}, Four{contrast}, Four{curve}, gamma, threshold, descreen, fading));
}

// Port type 0 asks for the local device; any other type for the network device named by the narrow text.
SCANDRV_EXPORT int ScanDrv_CheckConnect(int portType, void* address) {
    return Guarded("ScanDrv_CheckConnect", true, [&] {
        Control c = CurrentControl();
        if (portType == 0)
            return c.usb ? 0 : 4;
        if (!address)
            return 1;
        return NetDeviceAnswers(c, static_cast<const char*>(address)) ? 0 : 4;
    }, Args(portType, Text{portType != 0 ? static_cast<const char*>(address) : ""}));
}

SCANDRV_EXPORT int ScanDrv_GetADFStatus(void* handle) {
    return WithDevice("ScanDrv_GetADFStatus", true, handle, [](Device& d) { return d.GetADFStatus(CurrentControl()); });
}

// Without names: *count = the devices found. With names: *count on entry is how many 256-byte names the buffer holds;
// that many at most are written and *count becomes the number written.
SCANDRV_EXPORT int ScanDrv_BroadcastMFP(int* count, char* names) {
    return Guarded("ScanDrv_BroadcastMFP", true, [&] {
        if (!count)
            return 1;
        WaitForNetwork();
        Control c = CurrentControl();
        const int found = static_cast<int>(c.netDevices.size());
        if (!names) {
            *count = found;
            return 0;
        }
        const int n = std::clamp(*count, 0, found);
        for (int i = 0; i < n; ++i) {
            char* slot = names + static_cast<std::size_t>(i) * 256;
            std::memset(slot, 0, 256);
            std::strncpy(slot, c.netDevices[static_cast<std::size_t>(i)].name.c_str(), 255);
        }
        *count = n;
        return 0;
    });
}

SCANDRV_EXPORT int ScanDrv_LocateMFP(char* address, char*) {
    return Guarded("ScanDrv_LocateMFP", true, [&] {
        if (!address)
            return 1;
        return NetDeviceAnswers(CurrentControl(), address) ? 0 : 4;
    }, Args(Text{address}));
}

// Answers 0 when a device answers at the request's address; the caller notifies its window itself.
SCANDRV_EXPORT int ScanDrv_DetectNetMFP(NetDetectRequest* request) {
    const std::string address =
        request ? std::string(request->address, strnlen(request->address, sizeof request->address)) : std::string();
    return Guarded("ScanDrv_DetectNetMFP", true, [&] {
        if (!request)
            return 1;
        WaitForNetwork();
        return NetDeviceAnswers(CurrentControl(), address.c_str()) ? 0 : 4;
    }, Args(Text{request ? address.c_str() : nullptr}));
}

SCANDRV_EXPORT int ScanDrv_SetCallBackFun(void* handle, ScanDrvCallback callback, void* context) {
    return WithDevice("ScanDrv_SetCallBackFun", true, handle, [&](Device& d) {
        d.SetCallback(callback, context);
        return 0;
    }, Args(Text{callback ? "callback" : nullptr}));
}

// 0: another page of the push job follows; 13: not yet, ask again; anything else: no more pages.
SCANDRV_EXPORT int ScanDrv_GetNextPushStatus(void* handle) {
    return WithDevice("ScanDrv_GetNextPushStatus", true, handle, [](Device& d) { return d.NextPushStatus(); });
}
