#include "twain/CMsgImageLayout.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CapabilityTable.h"
#include "twain/HostFlags.h"

TW_UINT16 CMsgImageLayout::Handle(TwainCall* pCall) {
    if (g_pDsAssistor.load() == nullptr)
        return TWRC_FAILURE;
    auto* layout = static_cast<TW_IMAGELAYOUT*>(pCall->pData);
    switch (pCall->MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
        if (layout == nullptr)
            return FailWith(TWCC_BADVALUE);
        // Office asks for an A4-wide letter frame; every other host gets an empty one.
        layout->Frame.Left = FloatToFix32(0.0f);
        layout->Frame.Top = FloatToFix32(0.0f);
        layout->Frame.Right = FloatToFix32(g_bHostOffice ? 8.5f : 0.0f);
        layout->Frame.Bottom = FloatToFix32(g_bHostOffice ? 11.69f : 0.0f);
        layout->DocumentNumber = 4;
        layout->PageNumber = 88;
        layout->FrameNumber = 1;
        return TWRC_SUCCESS;
    case MSG_SET:
        if (layout == nullptr)
            return FailWith(TWCC_BADVALUE);
        return SetImageLayoutFrame(layout);
    case MSG_RESET:
        return TWRC_SUCCESS;
    default:
        return FailWith(TWCC_BADPROTOCOL);
    }
}
