#include "twain/CMsgXferGroup.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"

TW_UINT16 CMsgXferGroup::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    TW_UINT16 state = assistor->GetState();
    if (state < 400 || state > 600)
        return FailWith(TWCC_SEQERROR);
    switch (pCall->MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
    case MSG_RESET:
        if (pCall->pData == nullptr)
            return FailWith(TWCC_BADVALUE);
        *static_cast<pTW_UINT32>(pCall->pData) = DG_IMAGE;
        return TWRC_SUCCESS;
    case MSG_SET:
        return TWRC_SUCCESS; // nothing to choose: the group stays DG_IMAGE
    default:
        return FailWith(TWCC_BADPROTOCOL);
    }
}
