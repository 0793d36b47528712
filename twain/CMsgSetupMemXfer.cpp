#include "twain/CMsgSetupMemXfer.h"

TW_UINT16 CMsgSetupMemXfer::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
