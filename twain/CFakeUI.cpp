#include "twain/CFakeUI.h"

#include "twain/CUIFactory.h"
#include "twain/CUIImp.h"

#include <atomic>
#include <memory>

IMPLEMENT_DYNCREATE(CFakeUI, CObject)

namespace {
std::atomic<CUIFactory*> s_pFactory{nullptr};
} // namespace

void CFakeUI::RegisterFactory(CUIFactory* pFactory) {
    s_pFactory = pFactory;
}

CFakeUI::~CFakeUI() {
    delete m_pUIImp;
}

int CFakeUI::CreateUI(CDsProxy* pProxy, HWND hParent) {
    CUIFactory* factory = s_pFactory;
    if (factory == nullptr)
        return 1;
    try {
        CUIImp* made = nullptr;
        if (factory->CreateUI(&made) != 0 || made == nullptr)
            return 1;
        std::unique_ptr<CUIImp> created(made);
        if (created->Create(pProxy, hParent) != 0)
            return 1;
        delete m_pUIImp;
        m_pUIImp = created.release();
        return 0;
    } catch (...) {
        return 1;
    }
}

int CFakeUI::Show(int nCmdShow) {
    if (m_pUIImp == nullptr)
        return 1;
    try {
        return m_pUIImp->Show(nCmdShow);
    } catch (...) {
        return 1;
    }
}

int CFakeUI::Close() {
    if (m_pUIImp == nullptr)
        return 1;
    try {
        m_pUIImp->Close();
    } catch (...) {
        // the window is gone either way
    }
    delete m_pUIImp;
    m_pUIImp = nullptr;
    return 0;
}

int CFakeUI::ProcessEvent(MSG* pMsg) {
    if (m_pUIImp == nullptr)
        return 1;
    try {
        return m_pUIImp->ProcessEvent(pMsg);
    } catch (...) {
        return 1;
    }
}
