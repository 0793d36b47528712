// The engine's bridge to its window: owns the current window object (null when there is none). Every operation
// answers 0 for success and 1 for failure; exceptions of the window code stop here.
#pragma once

#include "platform/base/afxcore.h"

class CDsProxy;
class CUIFactory;
class CUIImp;
struct MSG;

class CFakeUI : public CObject {
    DECLARE_DYNCREATE(CFakeUI)
public:
    CFakeUI() = default;
    ~CFakeUI() override;

    // The factory of the window module (static, lives as long as the module); null unregisters.
    static void RegisterFactory(CUIFactory* pFactory);

    // Makes and creates a new window object; the old one is replaced only once the new one stands.
    int CreateUI(CDsProxy* pProxy, HWND hParent);
    int Show(int nCmdShow);
    int Close();
    int ProcessEvent(MSG* pMsg);

    CUIImp* GetUI() const { return m_pUIImp; }

private:
    CUIImp* m_pUIImp = nullptr;
};
