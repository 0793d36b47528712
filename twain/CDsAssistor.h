// The one engine object every handler and the scanning window work through (g_pDsAssistor): the data source's and
// the connected application's identities, the TWAIN state (100 times the state number, 300 to 700), the last
// condition code, and the bridges to the window and the scanner.
#pragma once

#include "twain/CDsProxy.h"
#include "twain/TwainCall.h"

#include "platform/base/afxcore.h"

#include <atomic>

class CFakeUI;
class CFakeScanner;

class CDsAssistor : public CObject, public CDsProxy {
    DECLARE_DYNCREATE(CDsAssistor)
public:
    static constexpr size_t kWorkBufferSize = 8388708; // 8 MiB and 100 bytes

    CDsAssistor();
    ~CDsAssistor() override;

    TW_UINT16 GetState() const { return m_state; }
    void SetState(TW_UINT16 state) { m_state = state; }
    TW_UINT16 GetConditionCode() const { return m_conditionCode; }
    void SetConditionCode(TW_UINT16 code) { m_conditionCode = code; }

    TW_UINT32 GetAppId() const { return m_appIdentity.Id; }
    void ClearAppId() { m_appIdentity.Id = 0; }
    const TW_IDENTITY& GetDsIdentity() const { return m_dsIdentity; }
    const TW_IDENTITY& GetAppIdentity() const { return m_appIdentity; }

    // MSG_OPENDS: takes the application and the identity the manager assigned to us.
    TW_UINT16 ConnectApp(TwainCall* pCall);
    // MSG_GET of DAT_IDENTITY, in every state.
    TW_UINT16 GetDsIdInfo(TwainCall* pCall);
    // MSG_CLOSEDS: drops the connection and the capability table, lets go of the enable mutex.
    TW_UINT16 CloseDS();
    TW_UINT16 EnableDS(TW_USERINTERFACE* pUI);
    TW_UINT16 DisableDS(TW_USERINTERFACE* pUI);
    // State 600 and MSG_XFERREADY to the application (the state changes also when nothing can be sent).
    void NotifyXferReady();
    // MSG_CLOSEDSREQ to the application; in app mode only once the user closed the window.
    void NotifyCloseDsReq();

    int SetUI(CFakeUI* pUI);
    int SetScanner(CFakeScanner* pScanner);
    CFakeUI* GetUI() const { return m_pUI; }

    // CDsProxy
    int RequestClose(BOOL atEndOfTransfer) override;
    int RequestXferReady() override;
    int ScannerOpen() override;
    int ScannerClose() override;
    int ScannerStart() override;
    int ScannerStop() override;

    HWND m_hParent = nullptr;
    HANDLE m_hDsMutex = nullptr;

private:
    void FillIdentity();
    void SendToManager(TW_UINT16 msg);

    // The scan thread and the window read and set these too.
    std::atomic<TW_UINT16> m_state{300};
    std::atomic<TW_UINT16> m_conditionCode{TWCC_SUCCESS};
    TW_IDENTITY m_dsIdentity{};
    TW_IDENTITY m_appIdentity{};
    CFakeUI* m_pUI = nullptr;
    CFakeScanner* m_pScanner = nullptr;
    BYTE* m_pWorkBuffer = nullptr;
};

// Narrows a wide INI text into a TW_STR32: at most 33 bytes, cut at a character boundary, always terminated.
void NarrowToStr32(const WCHAR* text, TW_STR32& out);
