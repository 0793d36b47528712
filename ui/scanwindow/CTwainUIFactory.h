// The factory the engine asks for a window object; the module registers one with CFakeUI::RegisterFactory.
#pragma once

#include "twain/CUIFactory.h"

class CTwainUIFactory : public CUIFactory {
    DECLARE_DYNAMIC(CTwainUIFactory)
public:
    CTwainUIFactory() = default;
    int CreateUI(CUIImp** ppUI) override;
};
