// The handler of DAT_PALETTE8: pages carry no palette; MSG_GET reports none.
#pragma once

#include "twain/CMsgLib.h"

class CMsgPallette8 : public CMsgLib {
public:
    CMsgPallette8() : CMsgLib(DAT_PALETTE8) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
