// The note shown while the device waits for the user to turn the stack over during manual duplex. One instance
// lives as long as the library; the engine runs it modally when the device state becomes 5, and only the device
// closes it (WM_SCAN_END from the device-event callback at the end of the wait, of the job, or at an abort): Enter,
// Esc and the close box leave it open.
#pragma once

#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"

#include "platform/user/afxwin.h"

#include <atomic>

class CManualDuplexDlg : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10449 };

    static CManualDuplexDlg& GetInstance();

    // Ends a modal run from any thread; a request while no run is active is lost, as a post to no window would be.
    void PostEnd();
    // The note's window while a run is active (else null).
    HWND GetWindowAlive() const { return m_hWndAlive.load(); }

    BOOL PreTranslateMessage(MSG* pMsg) override;

    CxSkinButton m_btnCancel;
    CStaticTrans m_stcNote;

protected:
    CManualDuplexDlg();
    ~CManualDuplexDlg() override;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnCancel() override {} // only the Cancel button's own handler cancels
    void OnBnClickedCancel();
    LRESULT OnScanEnd(WPARAM wParam, LPARAM lParam);
    void OnClose() {}
    void OnDestroy();

private:
    std::atomic<HWND> m_hWndAlive{nullptr};
};
