#include "twain/CScannerTemplate.h"

#include "twain/CDS.h"
#include "twain/CDsAssistor.h"
#include "twain/CFakeScanner.h"
#include "twain/CFakeUI.h"

IMPLEMENT_DYNAMIC(CScannerTemplate, CObject)

CScannerTemplate::CScannerTemplate(CRuntimeClass* pScannerClass, CRuntimeClass* pUIClass, CRuntimeClass* pAssistorClass)
    : m_pScannerClass(pScannerClass), m_pUIClass(pUIClass), m_pAssistorClass(pAssistorClass) {}

namespace {
// A new object of the class, checked to be what the slot needs; the wrong kind is deleted.
template <typename T> T* Create(CRuntimeClass* cls, const CRuntimeClass* wanted) {
    if (cls == nullptr)
        return nullptr;
    CObject* object = cls->CreateObject();
    if (object != nullptr && !object->IsKindOf(wanted)) {
        delete object;
        return nullptr;
    }
    return static_cast<T*>(object);
}
} // namespace

CDS* CScannerTemplate::CreateDS() {
    CDS* ds = Create<CDS>(RUNTIME_CLASS(CDS), RUNTIME_CLASS(CDS));
    if (ds == nullptr)
        return nullptr;
    auto* assistor = Create<CDsAssistor>(m_pAssistorClass, RUNTIME_CLASS(CDsAssistor));
    if (assistor == nullptr) {
        delete ds;
        return nullptr;
    }
    auto* scanner = Create<CFakeScanner>(m_pScannerClass, RUNTIME_CLASS(CFakeScanner));
    if (scanner == nullptr) {
        delete assistor;
        delete ds;
        return nullptr;
    }
    auto* ui = Create<CFakeUI>(m_pUIClass, RUNTIME_CLASS(CFakeUI));
    if (ui == nullptr) {
        delete scanner;
        delete assistor;
        delete ds;
        return nullptr;
    }
    ds->SetAssistor(assistor);
    ds->SetScanner(scanner);
    ds->SetUI(ui);
    if (ds->Init() != 1) {
        delete ds; // its teardown deletes the three parts it was handed
        return nullptr;
    }
    return ds;
}
