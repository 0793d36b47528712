// The handler of DAT_IMAGEFILEXFER: file transfers. Until the transfers are built it refuses every message.
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageFileXfer : public CMsgLib {
public:
    CMsgImageFileXfer() : CMsgLib(DAT_IMAGEFILEXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
