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
        // Office asks for an A4-wide letter frame (8.5 by 11.69 inches, the fractions as Office hosts have always
        // been given them); every other host gets an empty one.
        layout->Frame.Left = TW_FIX32{0, 0};
        layout->Frame.Top = TW_FIX32{0, 0};
        layout->Frame.Right = g_bHostOffice ? TW_FIX32{8, 32768} : TW_FIX32{0, 0};
        layout->Frame.Bottom = g_bHostOffice ? TW_FIX32{11, 45219} : TW_FIX32{0, 0};
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
