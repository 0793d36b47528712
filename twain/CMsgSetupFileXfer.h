// The handler of DAT_SETUPFILEXFER: the name and format (BMP or TIFF) of the file transfer's file.
#pragma once

#include "twain/CMsgLib.h"

class CMsgSetupFileXfer : public CMsgLib {
public:
    CMsgSetupFileXfer() : CMsgLib(DAT_SETUPFILEXFER) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
