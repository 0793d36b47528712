// The scanning window: a modeless dialog under the host application's window, running on the host's thread. It
// owns the current scan settings; its Scan button (or the engine, for a host that wants no window) announces a
// page to the engine, and its Close button asks the application to close the source.
//
// On a host without a message loop of ours (a plain Linux TWAIN application) nobody else dispatches the window's
// messages: PumpMessages, called by the engine at every DS_Entry of the window's thread (applications call
// MSG_PROCESSEVENT from their event loop), dispatches what is pending, so the window still runs on the host's thread.
#pragma once

#include "twain/CScanWindow.h"

#include "settings/ScanParam.h"
#include "ui/controls/CxSkinButton.h"

#include "platform/user/afxwin.h"

class CMainUIDialog : public CDialog, public CScanWindow {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10257, IDD_APP = 1004 };

    explicit CMainUIDialog(CWnd* parent = nullptr);
    ~CMainUIDialog() override;

    // Creates the window hidden, from layout 1004 in app mode, else 10257.
    BOOL CreateModeless(CWnd* parent);

    void OnBnClickedScan();
    // The scan with the window-less settings of the capability table.
    void ScanWithoutUI() override;
    void SetBusy(BOOL busy) override { m_bBusy = busy ? 1 : 0; }
    void SetCloseOnActivate(BOOL close) override { m_bCloseOnActivate = close ? 1 : 0; }
    void PumpMessages() override;
    int UpdateNoUIScanParam(int nColorMode, int nResolution, int nScanSize, int nScanSource);

    BOOL PreTranslateMessage(MSG* pMsg) override;

    CxSkinButton m_btnScan;
    CxSkinButton m_btnClose;
    int m_nUnitIndex = 2;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nPageCount = 0;
    BYTE m_bBusy = 0;
    BYTE m_bCloseOnActivate = 0;
    ScanParam m_ScanParam{};
    int m_nSavedSettingIndex = -1;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter never ends the window
    void OnCancel() override {} // nor does Esc
    void OnClose();
    void Scan_();
    void RequestCloseSource();

private:
    DWORD m_dwThreadId = 0;
    bool m_bPumping = false;
};
