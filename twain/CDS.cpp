#include "twain/CDS.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CFakeScanner.h"
#include "twain/CFakeUI.h"

IMPLEMENT_DYNCREATE(CDS, CObject)

CDS::~CDS() {
    Teardown();
}

int CDS::SetAssistor(CDsAssistor* pAssistor) {
    m_pAssistor = pAssistor;
    return 1;
}

int CDS::SetScanner(CFakeScanner* pScanner) {
    m_pScanner = pScanner;
    return 1;
}

int CDS::SetUI(CFakeUI* pUI) {
    m_pUI = pUI;
    return 1;
}

int CDS::Init() {
    if (m_pAssistor == nullptr)
        return 0;
    m_pAssistor->SetScanner(m_pScanner);
    m_pAssistor->SetUI(m_pUI);
    m_pColMsg = static_cast<CColMsg*>(RUNTIME_CLASS(CColMsg)->CreateObject());
    if (m_pColMsg == nullptr)
        return 0;
    return m_pColMsg->SetAssistor(m_pAssistor);
}

void CDS::Teardown() {
    // A host may unload the source in any state: the device, the window and the enable mutex go as a disable and a
    // close would let go of them.
    if (m_pAssistor != nullptr) {
        const TW_UINT16 state = m_pAssistor->GetState();
        if (state >= 500)
            m_pAssistor->DisableDS(nullptr);
        if (state >= 400)
            m_pAssistor->CloseDS();
    }
    // The window may still call the engine while it closes, so it goes before the assistor.
    if (m_pUI != nullptr)
        m_pUI->Close();
    delete m_pAssistor;
    CDsAssistor* expected = m_pAssistor;
    g_pDsAssistor.compare_exchange_strong(expected, nullptr);
    m_pAssistor = nullptr;
    delete m_pColMsg;
    m_pColMsg = nullptr;
    delete m_pUI;
    m_pUI = nullptr;
    delete m_pScanner;
    m_pScanner = nullptr;
}

TW_UINT32 CDS::GetAppId() const {
    return m_pAssistor != nullptr ? m_pAssistor->GetAppId() : 0;
}

TW_UINT16 CDS::Dispatch(TwainCall* pCall) {
    if (m_pColMsg == nullptr)
        return TWRC_FAILURE;
    return m_pColMsg->Dispatch(pCall);
}
