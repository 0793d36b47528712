// The handler of DAT_STATUS: reads and clears the last condition code.
#pragma once

#include "twain/CMsgLib.h"

class CMsgStatus : public CMsgLib {
public:
    CMsgStatus() : CMsgLib(DAT_STATUS) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
