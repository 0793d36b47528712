// Makes the window object of the engine. The scanning window's module provides the implementation and registers it
// with CFakeUI::RegisterFactory; the engine itself knows no window class.
#pragma once

#include "platform/base/afxcore.h"

class CUIImp;

class CUIFactory : public CObject {
    DECLARE_DYNAMIC(CUIFactory)
public:
    // 0 and the new object through ppUI, or 1 when it cannot be made.
    virtual int CreateUI(CUIImp** ppUI) = 0;

protected:
    CUIFactory() = default;
};
