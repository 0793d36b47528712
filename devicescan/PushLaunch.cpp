#include "devicescan/PushLaunch.h"

#include "devicescan/CScanManagerApp.h"
#include "devicescan/PushCommand.h"
#include "platform/base/registry.h"
#include "platform/gdiplus/sti.h"
#include "settings/DebugOutput.h"
#include "settings/PlatformFlags.h"

#include <string>

ScanRequest g_ScanRequest = {};

namespace {

constexpr DWORD kEventDataSize = 64;
constexpr int kThreshold = 127;

// The bytes of a command as one debug line, each formatted with `format`.
void LogBytes(const char* format, const BYTE* bytes, int count) {
    std::string line;
    for (int i = 0; i < count; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, format, bytes[i]);
        line += hex;
    }
    DebugPrintA("%s", line.c_str());
}

// Holds the still-image object and its library; both go on every road out.
class StillImageService {
public:
    StillImageService() {
        m_library = LoadLibraryW(u"sti.dll");
        if (m_library)
            m_create = reinterpret_cast<StiCreateInstanceFn>(GetProcAddress(m_library, "StiCreateInstance"));
    }
    ~StillImageService() {
        ReleaseObject();
        if (m_library)
            FreeLibrary(m_library);
    }
    StillImageService(const StillImageService&) = delete;
    StillImageService& operator=(const StillImageService&) = delete;

    bool Loaded() const { return m_library && m_create; }
    IStillImageW* Create(HINSTANCE instance) {
        if (FAILED(m_create(instance, STI_VERSION_REAL | STI_VERSION_FLAG_UNICODE, &m_object, nullptr)))
            m_object = nullptr;
        return m_object;
    }
    void ReleaseObject() {
        if (m_object)
            m_object->Release();
        m_object = nullptr;
    }

private:
    HMODULE m_library = nullptr;
    StiCreateInstanceFn m_create = nullptr;
    IStillImageW* m_object = nullptr;
};

} // namespace

BOOL LaunchFromSti(CScanManagerApp& app) {
    StillImageService service;
    if (!service.Loaded())
        return FALSE;
    IStillImageW* sti = service.Create(app.m_hInstance);
    if (!sti)
        return TRUE;
    WCHAR deviceName[STI_MAX_INTERNAL_NAME_LENGTH] = {};
    WCHAR eventName[STI_MAX_INTERNAL_NAME_LENGTH] = {};
    DWORD eventCode = 0;
    if (FAILED(sti->GetSTILaunchInformation(deviceName, &eventCode, eventName)))
        return TRUE;
    DebugPrint(u"DeviceName:");
    DebugPrint(u"%s", deviceName);

    BYTE eventData[kEventDataSize] = {};
    DWORD type = REG_BINARY;
    DWORD size = sizeof eventData;
    if (FAILED(sti->GetDeviceValue(deviceName, const_cast<LPWSTR>(u"EventData"), &type, eventData, &size)))
        size = 0;
    const int length = GetPushCommandLength();
    DebugPrintA("%s:%d", "CBDATA value", static_cast<int>(size));
    if (size != static_cast<DWORD>(length)) {
        DebugPrint(u"CMD line error");
        return FALSE;
    }
    DebugPrint(u"Scan Manager get a event. Event data:\n");
    LogBytes("%02x ", eventData, length);

    WCHAR devicePath[MAX_PATH] = {};
    type = REG_SZ;
    size = sizeof devicePath;
    if (FAILED(sti->GetDeviceValue(deviceName, const_cast<LPWSTR>(u"DevicePath"), &type,
                                   reinterpret_cast<BYTE*>(devicePath), &size)))
        size = 0;
    // Only what the service wrote, and never past the buffer's last unit.
    devicePath[std::min<DWORD>(size / sizeof(WCHAR), MAX_PATH - 1)] = 0;
    app.m_scanUtility.LoadScanner();
    service.ReleaseObject();
    DebugPrint(u"DevicePath:");
    DebugPrint(u"%s", devicePath);

    if (ParsePushCommand(devicePath, app, eventData)) {
        app.m_scanUtility.WaitForScanThread();
        DebugPrint(u"Exit application");
    }
    return TRUE;
}

BOOL LaunchFromPushParam(const WCHAR* devicePath, const WCHAR* digits, CScanManagerApp& app) {
    const int length = GetPushCommandLength();
    BYTE command[kPushCommandLengthOrca] = {};
    if (!BuildPushCommandFromDigits(digits, command, length))
        return FALSE;
    LogBytes("%x ", command, length);
    app.m_scanUtility.LoadScanner();
    WCHAR path[MAX_PATH] = {};
    lstrcpynW(path, devicePath ? devicePath : u"", MAX_PATH);
    DebugPrint(u"%s", path);
    if (ParsePushCommand(path, app, command)) {
        app.m_scanUtility.WaitForScanThread();
        DebugPrint(u"Exit application");
    }
    return TRUE;
}

bool ParsePushCommand(const WCHAR* devicePath, CScanManagerApp& app, BYTE* command) {
    if (!devicePath || !devicePath[0]) {
        DebugPrint(u"Invalid device path.");
        return false;
    }
    ScanRequest& request = g_ScanRequest;
    request = ScanRequest{};
    if (WideCharToMultiByte(CP_ACP, 0, devicePath, -1, request.devicePath, sizeof request.devicePath, nullptr,
                            nullptr) == 0) {
        DebugPrint(u"Invalid device path.");
        return false; // a path that does not fit would open another device
    }
    request.openDevice = 1;

    UpdateVazeDoziSettings(&app);
    if (!FolderExists(app.m_szSaveFolder)) {
        DebugPrint(u"%s", app.m_szSaveFolder);
        app.ShowErrorMessage(TRANSFER_STATUS_FOLDER_MISSING);
        return false;
    }
    // A folder whose page names would not fit, or where nothing can be written, is refused before anything is
    // scanned: a scanned page would have nowhere to go.
    if (const UINT problem = app.CheckSaveFolder()) {
        CTransferCallbackEx::ShowErrorText(problem);
        return false;
    }

    const bool orca = g_bIsPlatformOrca;
    PushScanSettings settings{};
    if (!DecodePushCommand(command, orca ? kPushCommandLengthOrca : kPushCommandLength, orca, &settings))
        return false;
    request.dpiX = request.dpiY = settings.dpi;
    request.colour = settings.colour;
    request.left = request.top = 0;
    request.width = settings.width;
    request.height = settings.height;
    request.source = settings.source;
    request.multiPage = settings.multiPage;
    request.threshold = kThreshold;
    request.callback = &app;
    lstrcpynW(request.saveFolder, app.m_szSaveFolder, MAX_PATH);

    app.m_nResolution = settings.dpi;
    app.m_nColour = settings.colour;
    app.m_nSaveType = settings.saveType;
    app.m_bMultiPage = settings.multiPage;
    app.m_nPageWidth = settings.width * settings.dpi / 1200;
    app.m_nPageHeight = settings.height * settings.dpi / 1200;

    return app.m_scanUtility.StartScanThread(&request);
}
