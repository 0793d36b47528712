#include "twain/CMsgSetupFileXfer.h"

TW_UINT16 CMsgSetupFileXfer::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
