#include "twain/CMsgStatus.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"

TW_UINT16 CMsgStatus::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    if (pCall->MSG != MSG_GET)
        return FailWith(TWCC_BADPROTOCOL);
    if (pCall->pData == nullptr)
        return FailWith(TWCC_BADVALUE);
    auto* status = static_cast<pTW_STATUS>(pCall->pData);
    status->ConditionCode = assistor->GetConditionCode();
    status->Reserved = 0;
    assistor->SetConditionCode(TWCC_SUCCESS);
    return TWRC_SUCCESS;
}
