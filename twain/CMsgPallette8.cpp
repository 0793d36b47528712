#include "twain/CMsgPallette8.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"

TW_UINT16 CMsgPallette8::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    const TW_UINT16 state = assistor->GetState();
    if (state < 400 || state > 600)
        return FailWith(TWCC_SEQERROR);
    switch (pCall->MSG) {
    case MSG_GET: {
        // Pages are black and white, grey or colour: there is no palette to report.
        auto* palette = static_cast<TW_PALETTE8*>(pCall->pData);
        if (palette == nullptr)
            return FailWith(TWCC_BADVALUE);
        palette->NumColors = 0;
        palette->PaletteType = TWPA_RGB;
        return TWRC_SUCCESS;
    }
    case MSG_GETDEFAULT:
    case MSG_SET:
    case MSG_RESET:
        return TWRC_SUCCESS;
    default:
        return FailWith(TWCC_BADPROTOCOL);
    }
}
