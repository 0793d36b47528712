// The record of one DS_Entry call, built on the dispatcher's stack and passed by pointer to every handler.
#pragma once

#include "platform/twain/twain.h"

struct TwainCall {
    pTW_IDENTITY pOrigin; // the calling application (may be null)
    TW_UINT32 DG;
    TW_UINT16 DAT;
    TW_UINT16 MSG;
    TW_MEMREF pData;
};
