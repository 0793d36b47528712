#include "twain/CMsgImageInfo.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CScanWindow.h"
#include "twain/CapabilityTable.h"
#include "twain/PageScan.h"
#include "twain/ScanState.h"

#include "settings/DebugOutput.h"

TW_UINT16 CMsgImageInfo::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    if (pCall->MSG != MSG_GET)
        return FailWith(TWCC_BADPROTOCOL);
    CScanWindow* window = g_pScanWindow;
    if (assistor->GetState() != 600 || g_bJobEnded || window == nullptr)
        return FailWith(TWCC_SEQERROR);
    auto* info = static_cast<TW_IMAGEINFO*>(pCall->pData);
    if (info == nullptr)
        return FailWith(TWCC_BADVALUE);

    const TW_FIX32 dpi = FloatToFix32(static_cast<float>(window->GetResolutionDpi()));
    info->XResolution = dpi;
    info->YResolution = dpi;
    const int colour = window->GetScanParam().colorMode;
    const int bpp = PageBitsPerPixel(colour);
    info->PixelType = static_cast<TW_INT16>(colour);
    info->BitsPerPixel = static_cast<TW_INT16>(bpp);
    info->Planar = 0;
    info->Compression = TWCP_NONE;
    for (TW_INT16& bits : info->BitsPerSample)
        bits = 0;
    if (bpp >= 24) {
        info->SamplesPerPixel = 3;
        for (int i = 0; i < 3; ++i)
            info->BitsPerSample[i] = static_cast<TW_INT16>(bpp / 3);
    } else {
        info->SamplesPerPixel = 1;
        info->BitsPerSample[0] = static_cast<TW_INT16>(bpp);
    }
    int width = 0;
    int height = 0;
    GetTransferredPageSize(window, width, height);
    info->ImageWidth = width;
    info->ImageLength = height;
    DebugPrint(u"CMsgImageInfo::Handle: pII->ImageWidth = %d, pII->ImageLength = %d", width, height);
    return TWRC_SUCCESS;
}
