// Makes the data source object and its three parts from their run-time classes.
#pragma once

#include "platform/base/afxcore.h"

class CDS;

class CScannerTemplate : public CObject {
    DECLARE_DYNAMIC(CScannerTemplate)
public:
    CScannerTemplate(CRuntimeClass* pScannerClass, CRuntimeClass* pUIClass, CRuntimeClass* pAssistorClass);

    // The linked CDS, or null with nothing left alive.
    virtual CDS* CreateDS();

private:
    CRuntimeClass* m_pScannerClass;
    CRuntimeClass* m_pUIClass;
    CRuntimeClass* m_pAssistorClass;
};
