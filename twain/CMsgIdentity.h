// The handler of DAT_IDENTITY: the source's identity, and opening and closing the connection.
#pragma once

#include "twain/CMsgLib.h"

class CMsgIdentity : public CMsgLib {
public:
    CMsgIdentity() : CMsgLib(DAT_IDENTITY) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
