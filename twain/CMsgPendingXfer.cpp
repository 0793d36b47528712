#include "twain/CMsgPendingXfer.h"

TW_UINT16 CMsgPendingXfer::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
