#include "twain/CMsgImageInfo.h"

TW_UINT16 CMsgImageInfo::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
