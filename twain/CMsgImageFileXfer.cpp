#include "twain/CMsgImageFileXfer.h"

TW_UINT16 CMsgImageFileXfer::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
