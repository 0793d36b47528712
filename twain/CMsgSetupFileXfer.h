// The handler of DAT_SETUPFILEXFER: the file transfer set-up. Until the transfers are built it refuses every message.
#pragma once

#include "twain/CMsgLib.h"

class CMsgSetupFileXfer : public CMsgLib {
public:
    CMsgSetupFileXfer() : CMsgLib(DAT_SETUPFILEXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
