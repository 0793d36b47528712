#include "twain/CMsgCapability.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CapabilityTable.h"

TW_UINT16 CMsgCapability::Handle(TwainCall* pCall) {
    TW_UINT16 code = TWCC_SUCCESS;
    const TW_UINT16 result = CapabilityDispatch(pCall, code);
    if (CDsAssistor* assistor = g_pDsAssistor)
        assistor->SetConditionCode(code);
    return result;
}
