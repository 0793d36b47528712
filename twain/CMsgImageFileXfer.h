// The handler of DAT_IMAGEFILEXFER: the page as a BMP or TIFF file at the name DAT_SETUPFILEXFER set (scanned
// inside the call when it was not yet).
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageFileXfer : public CMsgLib {
public:
    CMsgImageFileXfer() : CMsgLib(DAT_IMAGEFILEXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
