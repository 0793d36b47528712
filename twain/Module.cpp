// The data source module's static objects, built in this order when it is loaded (the application object, then
// the fourteen handlers, each registering itself with its DAT), and its one export.

#include "twain/CMsgCapability.h"
#include "twain/CMsgIdentity.h"
#include "twain/CMsgImageFileXfer.h"
#include "twain/CMsgImageInfo.h"
#include "twain/CMsgImageLayout.h"
#include "twain/CMsgImageMemXfer.h"
#include "twain/CMsgImageNativeXfer.h"
#include "twain/CMsgInterface.h"
#include "twain/CMsgPallette8.h"
#include "twain/CMsgPendingXfer.h"
#include "twain/CMsgSetupFileXfer.h"
#include "twain/CMsgSetupMemXfer.h"
#include "twain/CMsgStatus.h"
#include "twain/CMsgXferGroup.h"
#include "twain/CFakeUI.h"
#include "twain/CTwainDsApp.h"
#include "ui/scanwindow/CTwainUIFactory.h"

CTwainDsApp theApp;

namespace {
CMsgIdentity s_msgIdentity;
CMsgInterface s_msgInterface;
CMsgXferGroup s_msgXferGroup;
CMsgCapability s_msgCapability;
CMsgImageInfo s_msgImageInfo;
CMsgImageFileXfer s_msgImageFileXfer;
CMsgImageMemXfer s_msgImageMemXfer;
CMsgImageNativeXfer s_msgImageNativeXfer;
CMsgSetupFileXfer s_msgSetupFileXfer;
CMsgSetupMemXfer s_msgSetupMemXfer;
CMsgStatus s_msgStatus;
CMsgPendingXfer s_msgPendingXfer;
CMsgImageLayout s_msgImageLayout;
CMsgPallette8 s_msgPallette8;

// The engine knows no window class: the module hands it the scanning window's factory.
struct ScanWindowRegistration {
    CTwainUIFactory factory;
    ScanWindowRegistration() { CFakeUI::RegisterFactory(&factory); }
    ~ScanWindowRegistration() { CFakeUI::RegisterFactory(nullptr); }
} s_scanWindowRegistration;
} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT,
                                                                     TW_UINT16 MSG, TW_MEMREF pData) {
    try {
        return theApp.DS_Entry(pOrigin, DG, DAT, MSG, pData);
    } catch (...) {
        return TWRC_FAILURE; // nothing may leave the C entry point
    }
}
