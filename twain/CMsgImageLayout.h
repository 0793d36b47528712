// The handler of DAT_IMAGELAYOUT: the image layout. Until the transfers are built it refuses every message.
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageLayout : public CMsgLib {
public:
    CMsgImageLayout() : CMsgLib(DAT_IMAGELAYOUT) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
