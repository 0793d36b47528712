// The small modal window shown while a preview or a page is read: a progress bar with its percent, the page number
// in feeder jobs, and Cancel, which stops the device (the window itself closes only when the worker says so). One
// instance belongs to the scanning window and is reused for every run; a window exists only during each run.
#pragma once

#include "twain/ScanProgress.h"

#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"

#include "platform/user/afxwin.h"

#include <atomic>

class CScanProgressDlg : public CDialog, public CScanProgress {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10448 };

    explicit CScanProgressDlg(CWnd* parent = nullptr);
    ~CScanProgressDlg() override;
    CScanProgressDlg(const CScanProgressDlg&) = delete;
    CScanProgressDlg& operator=(const CScanProgressDlg&) = delete;

    // CScanProgress
    void SetPageMode(BOOL pageMode, BOOL resetCounter) override;
    INT_PTR RunWithWorker(LPTHREAD_START_ROUTINE worker, void* argument) override;
    void WaitUntilShown() override;
    void PostProgress(int percent) override;
    void WorkerFinished() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Auto-reset, unnamed: signalled by each run's OnInitDialog, so the worker reads only once the window is up.
    HANDLE m_hReadyEvent = nullptr;
    int m_bPageMode = 0;
    int m_nPage = 1; // runs across the modal runs of one feeder job
    int m_bCancelAllowed = 0;
    int m_nLastPercent = 0;

    CProgressCtrl m_progress;
    CStaticTrans m_stcPercent;
    CStaticTrans m_stcCaption;
    CStaticTrans m_stcPage;
    CStaticTrans m_stcPageLabel;
    CxSkinButton m_btnCancel;
    CBitmap m_bmpBackground;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override {} // Esc, the close box and Cancel end nothing: the worker ends the run
    LRESULT OnScanProgress(WPARAM wParam, LPARAM lParam);
    LRESULT OnScanEnd(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    void OnBnClickedCancel();
    void OnClose();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnDestroy();

private:
    // Written by the worker, read by the dialog's thread: the worker has finished, and the window it may post to.
    std::atomic<BOOL> m_bWorkerFinished{FALSE};
    std::atomic<HWND> m_hWndAlive{nullptr};
};
