// The data source object: owns the router and the three parts the template made for it.
#pragma once

#include "twain/TwainCall.h"

#include "platform/base/afxcore.h"

class CColMsg;
class CDsAssistor;
class CFakeScanner;
class CFakeUI;

class CDS : public CObject {
    DECLARE_DYNCREATE(CDS)
public:
    CDS() = default;
    ~CDS() override; // tears down what is still owned

    int SetAssistor(CDsAssistor* pAssistor);
    int SetScanner(CFakeScanner* pScanner);
    int SetUI(CFakeUI* pUI);

    // Links the parts and makes the assistor the global one; 1 on success, 0 on failure.
    int Init();
    // Closes the window bridge, deletes the assistor (then clears the global pointer), the router and the bridges.
    void Teardown();

    TW_UINT32 GetAppId() const;
    TW_UINT16 Dispatch(TwainCall* pCall);

    CDsAssistor* GetAssistor() const { return m_pAssistor; }

private:
    CColMsg* m_pColMsg = nullptr;
    CDsAssistor* m_pAssistor = nullptr;
    CFakeScanner* m_pScanner = nullptr;
    CFakeUI* m_pUI = nullptr;
};
