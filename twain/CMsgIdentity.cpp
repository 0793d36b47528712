#include "twain/CMsgIdentity.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CapabilityTable.h"

TW_UINT16 CMsgIdentity::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    switch (pCall->MSG) {
    case MSG_GET:
        return assistor->GetDsIdInfo(pCall);
    case MSG_OPENDS: {
        if (assistor->GetState() != 300)
            return FailWith(TWCC_SEQERROR);
        TW_UINT16 result = assistor->ConnectApp(pCall);
        if (result == TWRC_SUCCESS) {
            assistor->SetState(400);
            InitCapabilityTable();
        }
        return result;
    }
    case MSG_CLOSEDS: {
        TW_UINT16 state = assistor->GetState();
        if (state < 400 || state > 700)
            return FailWith(TWCC_SEQERROR);
        // An application that closes an enabled source gets the device and the window closed as a disable would.
        if (state >= 500)
            assistor->DisableDS(nullptr);
        return assistor->CloseDS();
    }
    default:
        return FailWith(TWCC_BADPROTOCOL);
    }
}
