#include "twain/CMsgImageMemXfer.h"

TW_UINT16 CMsgImageMemXfer::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
