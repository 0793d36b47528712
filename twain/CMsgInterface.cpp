#include "twain/CMsgInterface.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"

TW_UINT16 CMsgInterface::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    auto* ui = static_cast<TW_USERINTERFACE*>(pCall->pData);
    switch (pCall->MSG) {
    case MSG_DISABLEDS:
        return assistor->DisableDS(ui);
    case MSG_ENABLEDS:
        if (ui == nullptr)
            return FailWith(TWCC_BADVALUE);
        return assistor->EnableDS(ui);
    default: // MSG_ENABLEDSUIONLY included
        return FailWith(TWCC_BADPROTOCOL);
    }
}
