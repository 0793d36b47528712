// The handler of DAT_SETUPMEMXFER: the memory transfer set-up. Until the transfers are built it refuses every message.
#pragma once

#include "twain/CMsgLib.h"

class CMsgSetupMemXfer : public CMsgLib {
public:
    CMsgSetupMemXfer() : CMsgLib(DAT_SETUPMEMXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
