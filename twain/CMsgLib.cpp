#include "twain/CMsgLib.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"

CMsgLib::CMsgLib(WORD dat) {
    CColMsg::Register(dat, this);
}

CMsgLib::~CMsgLib() = default;

TW_UINT16 FailWith(TW_UINT16 conditionCode) {
    if (CDsAssistor* assistor = g_pDsAssistor)
        assistor->SetConditionCode(conditionCode);
    return TWRC_FAILURE;
}
