// The handler of DAT_IMAGEINFO: image information. Until the transfers are built it refuses every message.
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageInfo : public CMsgLib {
public:
    CMsgImageInfo() : CMsgLib(DAT_IMAGEINFO) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
