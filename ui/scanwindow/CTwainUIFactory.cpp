#include "ui/scanwindow/CTwainUIFactory.h"

#include "ui/scanwindow/CTwainUIImp.h"

#include <new>

IMPLEMENT_DYNAMIC(CTwainUIFactory, CUIFactory)

int CTwainUIFactory::CreateUI(CUIImp** ppUI) {
    if (ppUI == nullptr)
        return 1;
    auto* ui = new (std::nothrow) CTwainUIImp;
    if (ui == nullptr)
        return 1;
    *ppUI = ui;
    return 0;
}
