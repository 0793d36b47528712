// The scanning window's view of the engine. The assistor implements it; the window reaches the engine through the
// global assistor pointer and only ever asks RequestClose.
#pragma once

#include "platform/base/windows.h"

class CDsProxy {
public:
    virtual int RequestClose(BOOL atEndOfTransfer) = 0;
    virtual int RequestXferReady() = 0;
    virtual int ScannerOpen() = 0;
    virtual int ScannerClose() = 0;
    virtual int ScannerStart() = 0;
    virtual int ScannerStop() = 0;
    virtual ~CDsProxy() = default;
};
