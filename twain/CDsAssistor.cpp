#include "twain/CDsAssistor.h"

#include "twain/CFakeScanner.h"
#include "twain/CFakeUI.h"
#include "twain/CMsgLib.h"
#include "twain/CScanWindow.h"
#include "twain/CapabilityTable.h"
#include "twain/DsEnableMutex.h"
#include "twain/ScanState.h"

#include "scanner/CLLDKorvel.h"
#include "settings/SettingStore.h"
#include "twain/HostFlags.h"

#include "settings/CompanionNames.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"

#include <cstring>

IMPLEMENT_DYNCREATE(CDsAssistor, CObject)

void NarrowToStr32(const WCHAR* text, TW_STR32& out) {
    std::memset(out, 0, sizeof(TW_STR32));
    char narrow[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    size_t length = std::strlen(narrow);
    if (length > sizeof(TW_STR32) - 1) {
        length = sizeof(TW_STR32) - 1;
        // Never leave half a UTF-8 character at the end.
        while (length > 0 && (static_cast<unsigned char>(narrow[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(out, narrow, length);
}

namespace {
void CopyStr32(TW_STR32& to, const char* from) {
    std::memset(to, 0, sizeof(TW_STR32));
    std::strncpy(to, from, sizeof(TW_STR32) - 1);
}

// A TW_STR32 that came from outside is not trusted to be terminated.
const char* Str32(const TW_STR32& s, char (&buffer)[sizeof(TW_STR32) + 1]) {
    std::memcpy(buffer, s, sizeof(TW_STR32));
    buffer[sizeof(TW_STR32)] = 0;
    return buffer;
}
} // namespace

CDsAssistor::CDsAssistor() {
    // State, condition code, both identities and the window-less resolutions are set before anything that can
    // fail, so a source without its work buffer still names itself to the manager and scans at the table's values.
    g_bHostOffice = FALSE;
    FillIdentity();
    WCHAR ini[MAX_PATH];
    GetIniPath(ini);
    WCHAR prefix[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"File Prefix", u"", prefix, MAX_PATH, ini);
    PrefixCompanionNames(prefix);
    g_nTwainXResolution = static_cast<int>(GetCurrentXResolution());
    g_nTwainYResolution = static_cast<int>(GetCurrentYResolution());
    m_pWorkBuffer = static_cast<BYTE*>(GlobalAlloc(GPTR, kWorkBufferSize));
    if (m_pWorkBuffer == nullptr)
        DebugPrint(u"not enough mem");
}

CDsAssistor::~CDsAssistor() {
    // A host that unloads the source without disabling it must not leave it marked as in use machine-wide.
    if (m_hDsMutex != nullptr)
        CloseHandle(m_hDsMutex);
    if (m_pWorkBuffer != nullptr)
        GlobalFree(m_pWorkBuffer);
}

void CDsAssistor::FillIdentity() {
    m_dsIdentity.Id = 0;
    m_dsIdentity.Version.MajorNum = 1;
    m_dsIdentity.Version.MinorNum = 30;
    m_dsIdentity.Version.Language = TWLG_USA;
    m_dsIdentity.Version.Country = TWCY_USA;
    CopyStr32(m_dsIdentity.Version.Info, " 1.030");
    m_dsIdentity.ProtocolMajor = 1;
    m_dsIdentity.ProtocolMinor = 8;
    m_dsIdentity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyStr32(m_dsIdentity.ProductFamily, "TWAIN");

    WCHAR ini[MAX_PATH];
    GetIniPath(ini);
    WCHAR manufacturer[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"Manufacturer", u"", manufacturer, MAX_PATH, ini);
    NarrowToStr32(manufacturer, m_dsIdentity.Manufacturer);

    WCHAR productName[MAX_PATH] = {};
    ReadModelValue(u"Product Name(%s)", productName);
    WCHAR product[MAX_PATH] = {};
    if (_snwprintf(product, MAX_PATH, u"%s TWAIN", productName) < 0)
        product[MAX_PATH - 1] = 0;
    NarrowToStr32(product, m_dsIdentity.ProductName);
}

TW_UINT16 CDsAssistor::ConnectApp(TwainCall* pCall) {
    if (pCall->pOrigin == nullptr || pCall->pData == nullptr) {
        SetConditionCode(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    WCHAR hostPath[MAX_PATH];
    WCHAR hostName[MAX_PATH];
    GetHostProgram(hostPath, hostName);

    TW_UINT16 result = TWRC_SUCCESS;
    if (GetAppId() != 0) {
        SetConditionCode(TWCC_MAXCONNECTIONS);
        result = TWRC_FAILURE;
    } else {
        std::memcpy(&m_appIdentity, pCall->pOrigin, sizeof(TW_IDENTITY));
        std::memcpy(&m_dsIdentity, pCall->pData, sizeof(TW_IDENTITY));
        char name[sizeof(TW_STR32) + 1];
        DebugPrintA("CDsAssistor::ConnectApp: AP -- ProductName:%s, ProtocolMajor:%d,ProtocolMinor:%d",
                    Str32(m_appIdentity.ProductName, name), m_appIdentity.ProtocolMajor, m_appIdentity.ProtocolMinor);
        DebugPrintA("CDsAssistor::ConnectApp: DS -- ProductName:%s, ProtocolMajor:%d,ProtocolMinor:%d",
                    Str32(m_dsIdentity.ProductName, name), m_dsIdentity.ProtocolMajor, m_dsIdentity.ProtocolMinor);
    }
    DebugPrint(u"CDsAssistor::ConnectApp: AP -- ProductName:%s", hostName);
    SetHostFlags(hostPath, hostName);
    return result;
}

TW_UINT16 CDsAssistor::GetDsIdInfo(TwainCall* pCall) {
    if (pCall->pData == nullptr) {
        SetConditionCode(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    WCHAR hostPath[MAX_PATH];
    WCHAR hostName[MAX_PATH];
    GetHostProgram(hostPath, hostName);
    if (IsOfficeScanHost(hostName)) {
        g_bHostOffice = TRUE;
        // Office keeps a list of scanners; marking ours with flags 15 lets it use the source's own window.
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Microsoft\\Office\\11.0\\Common\\Scan", 0, KEY_ALL_ACCESS,
                          &key) == ERROR_SUCCESS) {
            WCHAR productName[sizeof(TW_STR32) + 1] = {};
            char narrow[sizeof(TW_STR32) + 1];
            MultiByteToWideChar(CP_ACP, 0, Str32(m_dsIdentity.ProductName, narrow), -1, productName,
                                static_cast<int>(std::size(productName)) - 1);
            for (int i = 0; i < 32; ++i) {
                WCHAR valueName[32];
                swprintf_s(valueName, u"DEVICE%d", i);
                WCHAR device[256] = {};                       // 512 bytes
                DWORD bytes = sizeof(device) - sizeof(WCHAR); // room for the terminator REG_SZ data may lack
                if (RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(device), &bytes) !=
                    ERROR_SUCCESS)
                    break;
                device[bytes / sizeof(WCHAR)] = 0;
                if (wcscmp(device, productName) == 0) {
                    WCHAR flagsName[32];
                    swprintf_s(flagsName, u"FLAGS%d", i);
                    DWORD flags = 15;
                    RegSetValueExW(key, flagsName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof(flags));
                    break;
                }
            }
            RegCloseKey(key);
        }
    }
    std::memcpy(pCall->pData, &m_dsIdentity, sizeof(TW_IDENTITY));
    char name[sizeof(TW_STR32) + 1];
    DebugPrintA("CDsAssistor::GetDsIdInfo: ProductName: %s", Str32(m_dsIdentity.ProductName, name));
    return TWRC_SUCCESS;
}

TW_UINT16 CDsAssistor::CloseDS() {
    ClearAppId();
    SetState(300);
    FreeCapabilityTable();
    if (m_hDsMutex != nullptr) {
        if (WaitForSingleObject(m_hDsMutex, 100) == WAIT_OBJECT_0)
            ReleaseMutex(m_hDsMutex);
        CloseHandle(m_hDsMutex);
        m_hDsMutex = nullptr;
    }
    return TWRC_SUCCESS;
}

TW_UINT16 CDsAssistor::EnableDS(TW_USERINTERFACE* pUI) {
    // Only a source that is open and not yet enabled takes the mutex and starts its work; any other state is a
    // sequence error that leaves the machine-wide mark alone.
    if (GetState() != 400)
        return FailWith(TWCC_SEQERROR);
    g_bUserClose = FALSE; // a close by the user of an earlier session lets no close request through now

    // Probed every time, so an existing mark is logged also when it is this process's own from an earlier attempt.
    IsDsEnableMutexPresent();
    if (m_hDsMutex == nullptr) {
        WCHAR name[MAX_PATH];
        FormDsEnableMutexName(name);
        SECURITY_DESCRIPTOR descriptor{};
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE); // null DACL: every user and log-on may open it
        SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};
        m_hDsMutex = CreateMutexW(&attributes, FALSE, name);
        // Creating the mark is the one atomic test: a mark that already exists belongs to another process that
        // enabled the source after this one opened it, and only one of them may scan.
        if (m_hDsMutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(m_hDsMutex);
            m_hDsMutex = nullptr;
            return FailWith(TWCC_MAXCONNECTIONS);
        }
    }

    m_hParent = static_cast<HWND>(pUI->hParent);
    g_bNoUI = pUI->ShowUI ? FALSE : TRUE;
    // A window that cannot be made for want of the INI file is no shortage of memory: the user was told why.
    if (m_pUI == nullptr || m_pUI->CreateUI(this, m_hParent) != 0)
        return FailWith(IsIniFileUsable() ? TWCC_LOWMEMORY : TWCC_BUMMER);

    if (pUI->ShowUI) {
        g_bNoUI = FALSE;
        m_pUI->Show(1); // SW_SHOWNORMAL
        SetState(500);
        return TWRC_SUCCESS;
    }
    // The window-less scan announces its page itself (state 600); when it fails the source stays enabled and the
    // application hears of it through MSG_CLOSEDSREQ.
    g_bNoUI = TRUE;
    SetState(500);
    if (CScanWindow* window = g_pScanWindow)
        window->ScanWithoutUI();
    return TWRC_SUCCESS;
}

TW_UINT16 CDsAssistor::DisableDS(TW_USERINTERFACE*) {
    TW_UINT16 state = GetState();
    if (state < 500 || state > 700) {
        DebugPrint(u"out DisableDS");
        return FailWith(TWCC_SEQERROR);
    }
    if (!g_b_devmon_close) {
        g_LLD.AbortScan();
        g_LLD.DevMon_EndScan();
        g_LLD.DevMon_SetCallBackFun(nullptr, nullptr); // no device event after this may reach the window
        g_LLD.DevMon_Close();
        g_b_devmon_close = TRUE;
    }
    if (CScanWindow* window = g_pScanWindow) {
        window->SetBusy(FALSE);
        window->RestoreFrontRotation(); // the job ends here; in app mode the window and its settings stay
        if (!g_bAppMode && m_pUI != nullptr)
            m_pUI->Close();
    }
    SetState(400);
    if (m_hDsMutex != nullptr) {
        ReleaseMutex(m_hDsMutex);
        CloseHandle(m_hDsMutex);
        m_hDsMutex = nullptr;
    }
    g_bPageScanPending = TRUE;
    g_bScanStarted = FALSE;
    FreePage(); // a page the application left behind goes with its temporary file
    DebugPrint(u"out DisableDS");
    return TWRC_SUCCESS;
}

void CDsAssistor::NotifyXferReady() {
    if (GetAppId() == 0)
        return; // a page for nobody: no state to move, no one to tell
    SetState(600);
    g_bJobEnded = FALSE;
    SendToManager(MSG_XFERREADY);
}

void CDsAssistor::NotifyCloseDsReq() {
    if (g_bAppMode && !g_bUserClose)
        return;
    SendToManager(MSG_CLOSEDSREQ);
}

// The manager is looked up afresh for every notification: "TWAIN_32.DLL" stands for the manager the application
// has loaded, which holds its callback. Without one the notification is dropped.
void CDsAssistor::SendToManager(TW_UINT16 msg) {
    if (GetAppId() == 0)
        return; // no application to tell
    HMODULE manager = LoadLibraryW(u"TWAIN_32.DLL");
    if (manager == nullptr)
        return;
    if (auto entry = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(manager, "DSM_Entry"))) {
        TW_IDENTITY origin = m_dsIdentity;
        TW_IDENTITY destination = m_appIdentity;
        entry(&origin, &destination, DG_CONTROL, DAT_NULL, msg, nullptr);
    }
    FreeLibrary(manager);
}

int CDsAssistor::SetUI(CFakeUI* pUI) {
    m_pUI = pUI;
    return 1;
}

int CDsAssistor::SetScanner(CFakeScanner* pScanner) {
    m_pScanner = pScanner;
    return 1;
}

int CDsAssistor::RequestClose(BOOL atEndOfTransfer) {
    if (atEndOfTransfer)
        g_bKeepOpenAfterXfer = FALSE;
    else
        NotifyCloseDsReq();
    return 0;
}
int CDsAssistor::RequestXferReady() {
    return 1;
}
int CDsAssistor::ScannerOpen() {
    return m_pScanner != nullptr ? m_pScanner->Open() : 1;
}
int CDsAssistor::ScannerClose() {
    return m_pScanner != nullptr ? m_pScanner->Close() : 1;
}
int CDsAssistor::ScannerStart() {
    return m_pScanner != nullptr ? m_pScanner->Start() : 1;
}
int CDsAssistor::ScannerStop() {
    return m_pScanner != nullptr ? m_pScanner->Stop() : 1;
}
