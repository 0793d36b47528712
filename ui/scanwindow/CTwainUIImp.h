// The engine's window object: holds the one modeless CMainUIDialog. Every operation answers 0 for success and 1 for
// failure (Close always answers 1; callers ignore it).
#pragma once

#include "twain/CUIImp.h"

class CMainUIDialog;

class CTwainUIImp : public CUIImp {
    DECLARE_DYNAMIC(CTwainUIImp)
public:
    CTwainUIImp() = default;
    ~CTwainUIImp() override;

    int Show(int nCmdShow) override;
    int Close() override;
    int ProcessEvent(MSG* pMsg) override;
    int Create(CDsProxy* pProxy, HWND hParent) override;

    CMainUIDialog* GetDialog() const;
};
