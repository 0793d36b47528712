#include "twain/CColMsg.h"

#include "twain/CDsAssistor.h"
#include "twain/CMsgLib.h"

IMPLEMENT_DYNCREATE(CColMsg, CObject)

std::atomic<CDsAssistor*> g_pDsAssistor{nullptr};

CMapWordToPtr& GetMsgLibMap() {
    static CMapWordToPtr map(10);
    return map;
}

TW_UINT16 CColMsg::Dispatch(TwainCall* pCall) {
    void* handler = nullptr;
    if (!GetMsgLibMap().Lookup(pCall->DAT, handler) || handler == nullptr) {
        if (CDsAssistor* assistor = g_pDsAssistor)
            assistor->SetConditionCode(TWCC_BADPROTOCOL); // a triplet this source does not support
        return TWRC_FAILURE;
    }
    return static_cast<CMsgLib*>(handler)->Handle(pCall);
}

int CColMsg::Register(WORD dat, CMsgLib* pHandler) {
    GetMsgLibMap().SetAt(dat, pHandler);
    return 1;
}

int CColMsg::SetAssistor(CDsAssistor* pAssistor) {
    if (pAssistor == nullptr)
        return 0;
    g_pDsAssistor = pAssistor;
    return 1;
}
