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
    case MSG_GETDEFAULT: {
        if (layout == nullptr)
            return FailWith(TWCC_BADVALUE);
        // The frame the next window-less scan takes: the application's own, else its paper's. Office has always
        // been given an A4-wide letter frame (8.5 by 11.69 inches, the fractions exactly so) as its default.
        float left = 0, top = 0, right = 0, bottom = 0;
        const bool own = pCall->MSG != MSG_GETDEFAULT && GetApplicationFrame(left, top, right, bottom);
        if (!own && g_bHostOffice) {
            layout->Frame = {TW_FIX32{0, 0}, TW_FIX32{0, 0}, TW_FIX32{8, 32768}, TW_FIX32{11, 45219}};
        } else {
            if (!own)
                WindowlessPaperFrame(left, top, right, bottom);
            layout->Frame = {FloatToFix32(left), FloatToFix32(top), FloatToFix32(right), FloatToFix32(bottom)};
        }
        layout->DocumentNumber = 4;
        layout->PageNumber = 88;
        layout->FrameNumber = 1;
        return TWRC_SUCCESS;
    }
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
