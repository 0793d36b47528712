// The handler of DAT_IMAGENATIVEXFER: native transfers. Until the transfers are built it refuses every message.
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageNativeXfer : public CMsgLib {
public:
    CMsgImageNativeXfer() : CMsgLib(DAT_IMAGENATIVEXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
