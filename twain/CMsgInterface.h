// The handler of DAT_USERINTERFACE: routes enabling and disabling to the assistor.
#pragma once

#include "twain/CMsgLib.h"

class CMsgInterface : public CMsgLib {
public:
    CMsgInterface() : CMsgLib(DAT_USERINTERFACE) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
