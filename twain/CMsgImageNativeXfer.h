// The handler of DAT_IMAGENATIVEXFER: the page as one DIB in a global block the application owns and frees
// (scanned inside the call when it was not yet).
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageNativeXfer : public CMsgLib {
public:
    CMsgImageNativeXfer() : CMsgLib(DAT_IMAGENATIVEXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
