// The base of the TWAIN message handlers: one object per data argument type, registered with the router when it is
// built (static objects of the module, Module.cpp).
#pragma once

#include "twain/TwainCall.h"

#include "platform/base/windows.h"

class CMsgLib {
public:
    explicit CMsgLib(WORD dat);
    virtual TW_UINT16 Handle(TwainCall* pCall) = 0;
    virtual ~CMsgLib(); // leaves its entry in the router's map

    CMsgLib(const CMsgLib&) = delete;
    CMsgLib& operator=(const CMsgLib&) = delete;
};

// The answer of every handler that refuses a call: the condition code is set, then TWRC_FAILURE.
TW_UINT16 FailWith(TW_UINT16 conditionCode);
