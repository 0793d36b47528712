// The smallest data source the manager stand-in can list and open: it tells its identity, opens and closes, and
// refuses every other call without touching what it was handed.

#include "platform/twain/twain.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(pTW_IDENTITY, TW_UINT32, TW_UINT16 DAT,
                                                                     TW_UINT16 MSG, TW_MEMREF pData) {
    if (DAT == DAT_IDENTITY && pData != nullptr) {
        auto* identity = static_cast<pTW_IDENTITY>(pData);
        if (MSG == MSG_GET) {
            std::memset(identity, 0, sizeof *identity);
            std::strcpy(identity->ProductName, "Echo Source");
            std::strcpy(identity->Manufacturer, "Fuzz");
            identity->SupportedGroups = DG_CONTROL | DG_IMAGE;
            return TWRC_SUCCESS;
        }
        if (MSG == MSG_OPENDS || MSG == MSG_CLOSEDS)
            return TWRC_SUCCESS;
    }
    if (DAT == DAT_STATUS && MSG == MSG_GET && pData != nullptr) {
        static_cast<pTW_STATUS>(pData)->ConditionCode = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    return TWRC_FAILURE;
}
