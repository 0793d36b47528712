// The handler of DAT_IMAGEMEMXFER: memory transfers. Until the transfers are built it refuses every message.
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageMemXfer : public CMsgLib {
public:
    CMsgImageMemXfer() : CMsgLib(DAT_IMAGEMEMXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
