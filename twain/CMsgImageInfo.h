// The handler of DAT_IMAGEINFO: size, resolution and format of the page about to be transferred (state 6).
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageInfo : public CMsgLib {
public:
    CMsgImageInfo() : CMsgLib(DAT_IMAGEINFO) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
