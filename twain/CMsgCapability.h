// The handler of DAT_CAPABILITY. The table has no rows yet, so every capability is reported unsupported.
#pragma once

#include "twain/CMsgLib.h"

class CMsgCapability : public CMsgLib {
public:
    CMsgCapability() : CMsgLib(DAT_CAPABILITY) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
