// The handler of DAT_IMAGELAYOUT: the page frame reported, and the frame an application sets for the scan without
// the window.
#pragma once

#include "twain/CMsgLib.h"

class CMsgImageLayout : public CMsgLib {
public:
    CMsgImageLayout() : CMsgLib(DAT_IMAGELAYOUT) {}
    TW_UINT16 Handle(TwainCall* pCall) override;
};
