// The handler of DAT_XFERGROUP: the source transfers images only.
#pragma once

#include "twain/CMsgLib.h"

class CMsgXferGroup : public CMsgLib {
public:
    CMsgXferGroup() : CMsgLib(DAT_XFERGROUP) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
