// The handler of DAT_PENDINGXFERS: pending transfers. Until the transfers are built it refuses every message.
#pragma once

#include "twain/CMsgLib.h"

class CMsgPendingXfer : public CMsgLib {
public:
    CMsgPendingXfer() : CMsgLib(DAT_PENDINGXFERS) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
