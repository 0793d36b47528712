#include "twain/CMsgCapability.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"

TW_UINT16 CMsgCapability::Handle(TwainCall*) {
    // Applications of protocol 1.5 and older know TWCC_BADCAP rather than the newer capability codes.
    TW_UINT16 code = TWCC_CAPUNSUPPORTED;
    if (CDsAssistor* assistor = g_pDsAssistor) {
        const TW_IDENTITY& app = assistor->GetAppIdentity();
        if (app.ProtocolMajor <= 1 && app.ProtocolMinor <= 5)
            code = TWCC_BADCAP;
    }
    return FailWith(code);
}
