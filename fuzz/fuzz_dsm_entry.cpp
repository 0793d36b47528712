// The manager stand-in's entry: sequences of DSM_Entry calls from two applications and from a source, with any
// origin, destination, group, data argument type, message and data, against a data-source folder that holds one
// working source and one file that only looks like a source. Every call returns, the manager stays consistent
// (its list finds the working source, a source opened can be closed) and nothing outlives the input.
//
// A call record: u8 who (origin and destination), u8 group, u8 data argument type, u8 message, u8 data, then for
// data held in a scratch block its first 64 bytes.

#include "FuzzSupport.h"
#include "TwainInput.h"

#include "platform/twain/twain.h"

#include <cstring>
#include <filesystem>
#include <set>

extern "C" TW_UINT16 DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                               TW_MEMREF pData);

namespace {

constexpr TW_UINT16 kDats[] = {DAT_PARENT,    DAT_IDENTITY, DAT_STATUS,        DAT_ENTRYPOINT, DAT_CALLBACK,
                               DAT_CALLBACK2, DAT_NULL,     DAT_USERINTERFACE, DAT_CAPABILITY};
constexpr TW_UINT16 kMsgs[] = {MSG_OPENDSM,    MSG_CLOSEDSM,   MSG_GETFIRST,  MSG_GETNEXT,    MSG_GETDEFAULT,
                               MSG_USERSELECT, MSG_OPENDS,     MSG_CLOSEDS,   MSG_GET,        MSG_REGISTER_CALLBACK,
                               MSG_XFERREADY,  MSG_CLOSEDSREQ, MSG_CLOSEDSOK, MSG_DEVICEEVENT};

int g_callbacks = 0;

TW_UINT16 Callback(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF) {
    ++g_callbacks;
    return TWRC_SUCCESS;
}

TW_IDENTITY App(const char* name) {
    TW_IDENTITY identity{};
    identity.ProtocolMajor = 2;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    std::strcpy(identity.ProductName, name);
    return identity;
}

bool Known(TW_UINT16 rc) {
    return rc == TWRC_SUCCESS || rc == TWRC_FAILURE || rc == TWRC_ENDOFLIST || rc == TWRC_CHECKSTATUS ||
           rc == TWRC_CANCEL || rc == TWRC_DSEVENT || rc == TWRC_NOTDSEVENT || rc == TWRC_XFERDONE;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::filesystem::path root = fuzz::Root();
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    std::filesystem::create_directories(root / "ds/echo");
    std::filesystem::create_directories(root / "ds/broken");
    std::filesystem::create_directories(root / "ds/empty");
    std::filesystem::copy_file(self / "echo.ds", root / "ds/echo/echo.ds",
                               std::filesystem::copy_options::overwrite_existing);
    fuzz::WriteHostFile((root / "ds/broken/not.ds").string(), "not a library", 13);
    setenv("TWAIN_DS_PATH", (root / "ds").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in(data, size);
    // Identities the calls use: two applications, the source as the applications know it, and one of the input's.
    TW_IDENTITY pool[4] = {App("Alpha"), App("Beta"), {}, {}};
    std::set<TW_UINT32> ids;
    alignas(8) std::uint8_t scratch[512];
    for (int call = 0; call < 48 && !in.empty(); ++call) {
        const std::uint8_t who = in.U8();
        const std::uint8_t group = in.U8();
        const std::uint8_t dat = in.U8();
        const std::uint8_t msg = in.U8();
        const std::uint8_t what = in.U8();
        pTW_IDENTITY origin = (who & 3) == 3 ? nullptr : &pool[who & 3];
        const int destination = (who >> 2) & 3;
        pTW_IDENTITY dest = destination == 0 ? nullptr : &pool[destination == 1 ? 2 : destination == 2 ? 0 : 3];
        const TW_UINT32 dg = group < 0x80 ? DG_CONTROL : group < 0xC0 ? DG_IMAGE : group;
        const TW_UINT16 datCode = dat < std::size(kDats) * 16 ? kDats[dat % std::size(kDats)] : dat;
        const TW_UINT16 msgCode = msg < std::size(kMsgs) * 16 ? kMsgs[msg % std::size(kMsgs)] : msg;
        TW_MEMREF pData = nullptr;
        switch (what % 5) {
        case 0:
            break;
        case 1:
        case 2:
            pData = &pool[what % 5 == 1 ? 2 : (what >> 3) % 4];
            break;
        case 3: {
            std::memset(scratch, 0, sizeof scratch);
            const auto bytes = in.Bytes(64);
            std::memcpy(scratch, bytes.data(), bytes.size());
            pData = scratch;
            break;
        }
        case 4:
            pData = scratch;
            break;
        }
        // A callback is a function of the application's: the manager calls whatever it is given, so an application
        // hands a real one (or none).
        if ((what % 5 == 4 ||
             ((datCode == DAT_CALLBACK || datCode == DAT_CALLBACK2) && msgCode == MSG_REGISTER_CALLBACK)) &&
            pData != nullptr) {
            std::memset(scratch, 0, sizeof scratch);
            TW_CALLBACK2 callback{};
            callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&Callback);
            std::memcpy(scratch, &callback, sizeof callback);
            pData = scratch;
        }
        const TW_UINT16 rc = DSM_Entry(origin, dest, dg, datCode, msgCode, pData);
        fuzz::Check(Known(rc), "the manager answers a TWAIN return code");
        for (const TW_IDENTITY& identity : pool)
            if (identity.Id != 0)
                ids.insert(identity.Id);
    }

    // The manager, opened afresh, lists the working source and not the broken one.
    TW_IDENTITY checker = App("Checker");
    fuzz::Check(DSM_Entry(&checker, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr) == TWRC_SUCCESS,
                "a new application opens the manager");
    TW_IDENTITY first{};
    fuzz::Check(DSM_Entry(&checker, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &first) == TWRC_SUCCESS &&
                    std::strcmp(first.ProductName, "Echo Source") == 0,
                "the list starts with the working source");
    TW_IDENTITY next{};
    fuzz::Check(DSM_Entry(&checker, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &next) == TWRC_ENDOFLIST,
                "the file that only looks like a source is not listed");
    ids.insert(checker.Id);
    ids.insert(first.Id);

    // Everything the input opened is closed again, so nothing carries over to the next input.
    for (const TW_UINT32 app : ids) {
        TW_IDENTITY origin{};
        origin.Id = app;
        for (const TW_UINT32 source : ids) {
            TW_IDENTITY which{};
            which.Id = source;
            DSM_Entry(&origin, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &which);
        }
        DSM_Entry(&origin, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
    }
    fuzz::Check(DSM_Entry(&checker, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr) == TWRC_SUCCESS,
                "an application that closed the manager opens it again");
    DSM_Entry(&checker, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
    return 0;
}
