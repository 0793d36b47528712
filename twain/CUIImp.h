// The engine's view of one scanning window. Every operation answers 0 for success and 1 for failure.
#pragma once

#include "platform/base/afxcore.h"

class CDsProxy;
class CWnd;
struct MSG;

class CUIImp : public CObject {
    DECLARE_DYNAMIC(CUIImp)
public:
    virtual int Show(int nCmdShow) = 0;
    virtual int Close() = 0;
    virtual int ProcessEvent(MSG* pMsg) = 0;
    virtual int Create(CDsProxy* pProxy, HWND hParent) = 0;

protected:
    CUIImp() = default;

    int m_nReserved1 = 0;
    int m_nReserved2 = 0;
    CWnd* m_pWnd = nullptr; // the window, owned by the implementation
};
