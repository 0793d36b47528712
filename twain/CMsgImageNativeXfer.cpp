#include "twain/CMsgImageNativeXfer.h"

TW_UINT16 CMsgImageNativeXfer::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
