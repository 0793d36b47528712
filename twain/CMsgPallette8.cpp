#include "twain/CMsgPallette8.h"

TW_UINT16 CMsgPallette8::Handle(TwainCall*) {
    return FailWith(TWCC_BADPROTOCOL);
}
