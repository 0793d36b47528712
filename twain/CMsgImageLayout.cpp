#include "twain/CMsgImageLayout.h"

TW_UINT16 CMsgImageLayout::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
