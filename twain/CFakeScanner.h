// The scanner slot of the data source graph. Its inner scanner is never set in this system, so every forwarding
// operation answers 1 (failure).
#pragma once

#include "platform/base/afxcore.h"

class CFakeScanner : public CObject {
    DECLARE_DYNCREATE(CFakeScanner)
public:
    CFakeScanner() = default;

    int Open();
    int Close();
    int Start();
    int Stop();

private:
    [[maybe_unused]] CObject* m_pScanner = nullptr; // never set: nothing to forward to
};
