// The handler of DAT_SETUPMEMXFER: the buffer sizes memory transfers ask for.
#pragma once

#include "twain/CMsgLib.h"

class CMsgSetupMemXfer : public CMsgLib {
public:
    CMsgSetupMemXfer() : CMsgLib(DAT_SETUPMEMXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
