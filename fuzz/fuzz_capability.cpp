// Capability negotiation with containers an application hands in: any sequence of capability calls with any
// containers answers a return code, and every container the source hands back is a well-formed block the
// application can read and free.
//
// Input: u8 protocol choice (odd: a 1.x application), then records of  u16 capability (below 0x8000 an index into
// kCapabilities, else the identifier as it stands), u16 message (below 0x8000 an index into
// kCapabilityMessages, else the message less 0x8000), u16 length, and `length` bytes of a container record
// (TwainInput.h); a record of length 0 passes no container.

#include "FuzzSupport.h"
#include "TwainInput.h"

#include "platform/base/windows.h"
#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CMsgCapability.h"
#include "twain/CapabilityTable.h"
#include "twain/TwainCall.h"
#include "settings/SettingStore.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

TW_IDENTITY g_app;
CDsAssistor* g_assistor;
CColMsg* g_colMsg;
CMsgCapability* g_handler;

// What the source hands back must be a container of its kind whose items lie inside the block.
void CheckReturned(const TW_CAPABILITY& cap) {
    const SIZE_T size = GlobalSize(cap.hContainer);
    auto* block = static_cast<const std::uint8_t*>(GlobalLock(cap.hContainer));
    fuzz::Check(block != nullptr && size >= 6, "a returned container is a block of at least a header");
    TW_UINT16 type;
    std::memcpy(&type, block, 2);
    const size_t item = CapItemSize(type); // the slots the source itself lays its items in
    size_t needed = 6;
    if (cap.ConType == TWON_ARRAY)
        needed = 6 + static_cast<size_t>(fuzz::LoadU32(block + 2)) * item;
    else if (cap.ConType == TWON_ENUMERATION)
        needed = size >= 14 ? 14 + static_cast<size_t>(fuzz::LoadU32(block + 2)) * item : 14;
    else if (cap.ConType == TWON_RANGE)
        needed = sizeof(TW_RANGE);
    else
        fuzz::Check(cap.ConType == TWON_ONEVALUE, "a returned container has a known kind");
    fuzz::Check(needed <= size, "a returned container holds every item its header declares");
    if (cap.ConType == TWON_ENUMERATION) {
        TW_UINT32 count, current, byDefault;
        std::memcpy(&count, block + 2, 4);
        std::memcpy(&current, block + 6, 4);
        std::memcpy(&byDefault, block + 10, 4);
        fuzz::Check(count == 0 || (current < count && byDefault < count),
                    "the indexes of a returned enumeration point at its items");
    }
    GlobalUnlock(cap.hContainer);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    g_assistor = new CDsAssistor;
    g_colMsg = new CColMsg;
    g_colMsg->SetAssistor(g_assistor);
    g_handler = new CMsgCapability;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in(data, size);
    // Old (1.x) and new applications get different masks and codes.
    const std::uint8_t protocol = in.U8();
    g_assistor->ClearAppId();
    g_app = TW_IDENTITY{};
    g_app.Id = 21;
    g_app.ProtocolMajor = protocol & 1 ? 1 : 2;
    g_app.ProtocolMinor = protocol & 1 ? 9 : 4;
    g_app.SupportedGroups = DG_CONTROL | DG_IMAGE;
    std::strcpy(g_app.ProductName, "fuzz application");
    TW_IDENTITY ds{};
    ds.Id = 3;
    TwainCall open{&g_app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
    fuzz::Check(g_assistor->ConnectApp(&open) == TWRC_SUCCESS, "the application connects");
    InitCapabilityTable();

    for (int calls = 0; !in.empty() && calls < 64; ++calls) {
        const TW_UINT16 selector = in.U16();
        const TW_UINT16 capId =
            selector < 0x8000 ? fuzz::kCapabilities[selector % std::size(fuzz::kCapabilities)] : selector;
        const TW_UINT16 msgChoice = in.U16();
        const TW_UINT16 msg = msgChoice < 0x8000
                                  ? fuzz::kCapabilityMessages[msgChoice % std::size(fuzz::kCapabilityMessages)]
                                  : msgChoice & 0x7FFF;
        const std::span<const std::uint8_t> record = in.Bytes(in.U16());

        fuzz::Reader container(record.data(), record.size());
        const TW_UINT16 conType = container.U16();
        const std::span<const std::uint8_t> bytes = container.Bytes(record.size());
        TW_CAPABILITY cap{capId, record.empty() ? static_cast<TW_UINT16>(TWON_DONTCARE16) : conType, nullptr};
        void* given = record.empty() ? nullptr : fuzz::NewContainer(conType, bytes);
        if (!record.empty() && given == nullptr)
            continue;
        cap.hContainer = given;
        TwainCall call{&g_app, DG_CONTROL, DAT_CAPABILITY, msg, &cap};
        const TW_UINT16 rc = g_handler->Handle(&call);
        if (rc == TWRC_SUCCESS && cap.hContainer != nullptr && cap.hContainer != given) {
            CheckReturned(cap);
            GlobalFree(cap.hContainer);
        }
        std::free(given);
    }

    // The values belong to the module's life: each input starts from the defaults.
    for (const TW_UINT16 capId : fuzz::kCapabilities) {
        TW_CAPABILITY cap{capId, TWON_DONTCARE16, nullptr};
        TwainCall call{&g_app, DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &cap};
        if (g_handler->Handle(&call) == TWRC_SUCCESS && cap.hContainer != nullptr)
            GlobalFree(cap.hContainer);
    }
    FreeCapabilityTable();
    g_nTwainPixelBits = 24;
    g_nTwainXResolution = 150;
    g_nTwainYResolution = 150;
    g_nTwainScanSize = 1;
    g_nTwainScanSource = 0;
    g_bSkipScanAdjust = FALSE;
    g_bAppMode = FALSE;
    return 0;
}
