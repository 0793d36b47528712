// The router from a call's data argument type (DAT) to its handler, and the engine's one assistor pointer.
#pragma once

#include "twain/TwainCall.h"

#include "platform/base/afxcore.h"

#include <atomic>

class CDsAssistor;
class CMsgLib;

// The one assistor, set at start-up; every handler and the scanning window reach the engine through it.
extern std::atomic<CDsAssistor*> g_pDsAssistor;

// The DAT -> handler map, built on first use so that handlers may register from any static object.
CMapWordToPtr& GetMsgLibMap();

class CColMsg : public CObject {
    DECLARE_DYNCREATE(CColMsg)
public:
    CColMsg() = default;

    // The handler's answer, or TWRC_FAILURE (condition code untouched) when no handler has the DAT. DG is ignored.
    TW_UINT16 Dispatch(TwainCall* pCall);
    // A later registration of the same DAT replaces the earlier one. Answers 1.
    static int Register(WORD dat, CMsgLib* pHandler);
    // Makes the assistor the global one; 0 for null, else 1.
    int SetAssistor(CDsAssistor* pAssistor);
};
