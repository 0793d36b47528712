// The data source's one entry point as any application may call it: sequences of DS_Entry calls with every
// structure an application hands in (identities, user interface, capabilities and their containers, transfer
// setups, image layouts, palettes, memory-transfer buffers, events), from the right application, another one or
// none, in any state. Each call answers a return code; after the input the application closes the source.
//
// Input: records of
//   u8  flags      bits 0-1 origin (0 the application, 1 none, 2 another application, 3 a 1.x application);
//                  bit 2 no data; bit 3 a parent window handle that names no window
//   u8  group      1 DG_CONTROL, 2 DG_IMAGE, anything else as it stands
//   u16 DAT, u16 MSG, u16 length, then `length` bytes of the structure (DAT_CAPABILITY: u16 capability, then a
//   container record of TwainInput.h; DAT_SETUPFILEXFER: the file name is kept under C:\Temp).
// A record of group 0xFE is no call: its bytes become the current scan settings (a ScanParam) in settings.dat, which
// the window loads when it is made. Each input starts without settings.dat.

#include "FuzzSupport.h"
#include "TwainInput.h"

#include "platform/base/windows.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"
#include "settings/IniPath.h"
#include "settings/ScanParam.h"
#include "settings/SettingStore.h"
#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CTwainDsApp.h"

#include <cstring>
#include <string>
#include <vector>

extern CTwainDsApp theApp;
extern "C" TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);

namespace {

TW_IDENTITY Application(TW_UINT32 id, TW_UINT16 major, TW_UINT16 minor) {
    TW_IDENTITY app{};
    app.Id = id;
    app.ProtocolMajor = major;
    app.ProtocolMinor = minor;
    app.SupportedGroups = DG_CONTROL | DG_IMAGE;
    std::strcpy(app.Manufacturer, "Fuzz");
    std::strcpy(app.ProductName, "fuzz application");
    return app;
}

std::string g_settingsFiles[2]; // the host paths of settings.dat and APPsettings.dat

TW_IDENTITY g_app = Application(7, 2, 4);
TW_IDENTITY g_other = Application(8, 2, 4);
TW_IDENTITY g_old = Application(7, 1, 9);

// A structure of exactly its size from the record's bytes (zero beyond them), so reads past it are caught.
template <class T> std::vector<std::uint8_t> Structure(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> out(sizeof(T));
    std::memcpy(out.data(), bytes.data(), std::min(bytes.size(), out.size()));
    return out;
}

// What one call hands in, kept alive across the call and released after it as an application would.
struct Call {
    std::vector<std::uint8_t> structure;
    void* container = nullptr;         // DAT_CAPABILITY: the application's container
    std::vector<std::uint8_t> buffer;  // DAT_IMAGEMEMXFER: the application's buffer
    std::vector<std::uint8_t> message; // DAT_EVENT: the application's MSG
    TW_MEMREF native = nullptr;        // DAT_IMAGENATIVEXFER: receives the bitmap handle
    void* data = nullptr;

    ~Call() { std::free(container); }
};

bool Prepare(Call& call, TW_UINT16 dat, std::uint8_t flags, std::span<const std::uint8_t> bytes) {
    switch (dat) {
    case DAT_CAPABILITY: {
        fuzz::Reader in(bytes.data(), bytes.size());
        TW_CAPABILITY cap{in.U16(), TWON_DONTCARE16, nullptr};
        if (!in.empty()) {
            cap.ConType = in.U16();
            call.container = fuzz::NewContainer(cap.ConType, in.Bytes(bytes.size()));
            if (call.container == nullptr)
                return false;
            cap.hContainer = call.container;
        }
        call.structure.resize(sizeof cap);
        std::memcpy(call.structure.data(), &cap, sizeof cap);
        break;
    }
    case DAT_IDENTITY:
        call.structure = Structure<TW_IDENTITY>(bytes);
        break;
    case DAT_USERINTERFACE: {
        call.structure = Structure<TW_USERINTERFACE>(bytes);
        auto* ui = reinterpret_cast<TW_USERINTERFACE*>(call.structure.data());
        ui->hParent = flags & 8 ? reinterpret_cast<TW_HANDLE>(std::uintptr_t{0x1234}) : nullptr;
        break;
    }
    case DAT_EVENT: {
        call.structure = Structure<TW_EVENT>(bytes);
        call.message = Structure<MSG>(bytes.size() > sizeof(TW_EVENT) ? bytes.subspan(sizeof(TW_EVENT)) : bytes);
        auto* event = reinterpret_cast<TW_EVENT*>(call.structure.data());
        event->pEvent = call.message.data();
        break;
    }
    case DAT_IMAGEMEMXFER: {
        call.structure = Structure<TW_IMAGEMEMXFER>(bytes);
        auto* xfer = reinterpret_cast<TW_IMAGEMEMXFER*>(call.structure.data());
        const TW_UINT32 length = xfer->Memory.Length; // the structure is packed: no reference into it
        xfer->Memory.Length = std::min<TW_UINT32>(length, 1u << 20);
        call.buffer.resize(xfer->Memory.Length);
        xfer->Memory.TheMem = call.buffer.empty() ? nullptr : call.buffer.data();
        break;
    }
    case DAT_IMAGENATIVEXFER:
        call.data = &call.native;
        return true;
    case DAT_SETUPFILEXFER: {
        call.structure = Structure<TW_SETUPFILEXFER>(bytes);
        auto* setup = reinterpret_cast<TW_SETUPFILEXFER*>(call.structure.data());
        // Kept inside the fuzz root: no drive letter, no POSIX path. The last byte may stay unterminated.
        char name[sizeof setup->FileName];
        std::memcpy(name, setup->FileName, sizeof name);
        std::string safe = "C:\\Temp\\";
        for (char c : name)
            safe += c == ':' || c == '/' ? '_' : c;
        std::memcpy(setup->FileName, safe.data(), sizeof setup->FileName);
        break;
    }
    case DAT_PENDINGXFERS:
        call.structure = Structure<TW_PENDINGXFERS>(bytes);
        break;
    case DAT_SETUPMEMXFER:
        call.structure = Structure<TW_SETUPMEMXFER>(bytes);
        break;
    case DAT_STATUS:
        call.structure = Structure<TW_STATUS>(bytes);
        break;
    case DAT_XFERGROUP:
        call.structure = Structure<TW_UINT32>(bytes);
        break;
    case DAT_IMAGEINFO:
        call.structure = Structure<TW_IMAGEINFO>(bytes);
        break;
    case DAT_IMAGELAYOUT:
        call.structure = Structure<TW_IMAGELAYOUT>(bytes);
        break;
    case DAT_PALETTE8:
        call.structure = Structure<TW_PALETTE8>(bytes);
        break;
    default:
        // A structure the source has no handler for: plain bytes, with room for any of the protocol's.
        call.structure.assign(bytes.begin(), bytes.end());
        call.structure.resize(std::max<size_t>(call.structure.size(), 1024));
        break;
    }
    call.data = call.structure.data();
    return true;
}

// After the call: what the source handed over belongs to the application, which frees it.
void Release(Call& call, TW_UINT16 dat, TW_UINT16 rc) {
    if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE)
        return;
    if (dat == DAT_CAPABILITY && !call.structure.empty()) {
        auto* cap = reinterpret_cast<TW_CAPABILITY*>(call.structure.data());
        if (cap->hContainer != nullptr && cap->hContainer != call.container)
            GlobalFree(cap->hContainer);
    } else if (dat == DAT_IMAGENATIVEXFER && call.native != nullptr) {
        GlobalFree(call.native);
    }
}

TW_UINT16 Send(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return DS_Entry(origin, dg, dat, msg, data);
}

// Whatever state the input left, the connected application ends its transfers, disables and closes the source.
void CloseSource() {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr || assistor->GetAppId() == 0)
        return;
    TW_IDENTITY& app = assistor->GetAppId() == g_other.Id ? g_other : g_app;
    TW_PENDINGXFERS pending{};
    for (int i = 0; i < 64 && assistor->GetState() >= 600; ++i)
        Send(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    Send(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    TW_USERINTERFACE ui{};
    Send(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    TW_IDENTITY ds{};
    Send(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &ds);
    fuzz::Check(assistor->GetAppId() == 0, "the application can always end, disable and close the source");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    fuzz::WriteModelIni("File Prefix=fz" + std::to_string(getpid()) +
                        "\nVersion=1.0.0.1\nManufacturer=Korvel\nRegistry=Software\\Korvel\n");
    // Message boxes and error dialogs have no one to answer them.
    platform::user::testing::SetModalInterceptor([](HWND dialog) { EndDialog(dialog, IDCANCEL); });
    // Timers stand still: an input gives the same calls every run, and the preview's animation does not repaint
    // the page at every call (under the sanitizers a repaint outlasts the animation's period).
    platform::user::testing::UseManualClock();
    for (const BOOL appMode : {FALSE, TRUE}) {
        g_bAppMode = appMode;
        WCHAR settings[MAX_PATH];
        if (!GetSettingsFilePath(settings))
            fuzz::Fail("the settings file path cannot be formed");
        g_settingsFiles[appMode] = platform::path::ToHostPath(settings);
    }
    g_bAppMode = FALSE;
    if (!theApp.InitInstance())
        fuzz::Fail("the data source cannot build itself");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const std::string& file : g_settingsFiles)
        std::remove(file.c_str());
    fuzz::Reader in(data, size);
    for (int calls = 0; !in.empty() && calls < 48; ++calls) {
        const std::uint8_t flags = in.U8();
        const std::uint8_t group = in.U8();
        const TW_UINT16 dat = in.U16();
        const TW_UINT16 msg = in.U16();
        const std::span<const std::uint8_t> bytes = in.Bytes(in.U16());
        if (group == 0xFE) {
            BYTE record[kScanParamSize] = {};
            std::memcpy(record, bytes.data(), std::min<size_t>(bytes.size(), sizeof record));
            SaveCurrentSetting(u"fuzz", record);
            continue;
        }
        const TW_UINT32 dg = group == 1 ? DG_CONTROL : group == 2 ? DG_IMAGE : group;
        TW_IDENTITY* origin = nullptr;
        switch (flags & 3) {
        case 0:
            origin = &g_app;
            break;
        case 2:
            origin = &g_other;
            break;
        case 3:
            origin = &g_old;
            break;
        }
        Call call;
        if (!Prepare(call, dat, flags, bytes))
            continue;
        const TW_UINT16 rc = Send(origin, dg, dat, msg, flags & 4 ? nullptr : call.data);
        if (!(flags & 4))
            Release(call, dat, rc);
    }
    CloseSource();
    return 0;
}
