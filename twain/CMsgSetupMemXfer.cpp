#include "twain/CMsgSetupMemXfer.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"

namespace {
// The buffers memory transfers ask for: every black-and-white and grey row fits the smallest whole.
constexpr TW_UINT32 kMinBufSize = 0x4000;
constexpr TW_UINT32 kMaxBufSize = 0xFFFF;
} // namespace

TW_UINT16 CMsgSetupMemXfer::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    const TW_UINT16 state = assistor->GetState();
    if (state < 400 || state > 600)
        return FailWith(TWCC_SEQERROR);
    if (pCall->MSG != MSG_GET)
        return FailWith(TWCC_BADPROTOCOL);
    auto* setup = static_cast<TW_SETUPMEMXFER*>(pCall->pData);
    if (setup == nullptr)
        return FailWith(TWCC_BADVALUE);
    setup->MinBufSize = kMinBufSize;
    setup->MaxBufSize = kMaxBufSize;
    setup->Preferred = kMaxBufSize;
    return TWRC_SUCCESS;
}
