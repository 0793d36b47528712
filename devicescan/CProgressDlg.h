// The progress window of a push scan: the percent of the current page, the page count and Cancel. It runs on a
// thread of its own, so that the scan thread can update it while it blocks on the driver, and it lives as long as a
// reference to it is held (COM counting; the creator adds the first reference).
//
// The scan thread sets the percent text (control kPercentText), the bar (kProgressBar, PBM_SETPOS) and Cancel
// (IDCANCEL, ShowWindow) through GetSafeHwnd; they are plain window calls and safe from any thread.
#pragma once

#include "platform/base/windows.h"
#include "platform/gdiplus/objidl.h"

#include <atomic>

class CProgressDlg final : public IUnknown {
public:
    enum { IDD = 8002 };
    enum { kPercentText = 8005, kProgressBar = 8006, kPageNumber = 8009, kPageLabel = 8010 };
    enum { kEndResult = 8 }; // the dialog result of a window closed by its last release

    // Creates the window on its own thread and returns once the window is initialised, or once its thread has
    // ended without one (no template, no thread): GetSafeHwnd then answers null and every call still works.
    CProgressDlg();
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    // IUnknown. QueryInterface answers only IUnknown (E_POINTER without an out pointer, E_NOINTERFACE otherwise).
    // The last Release writes "End Progress Dialog", ends the window and returns once the window's thread has ended
    // (called on that thread itself, it cannot wait: the object is then freed when the thread ends).
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // Stores the page count and shows it ("%d", also written to the debug output) when the window exists.
    void SetPageNumber(int pageCount);
    int GetPageNumber() const { return m_nPageCount.load(); }

    // The window, or null when it could not be created or has ended.
    HWND GetSafeHwnd() const { return m_hWnd.load(); }

    // How often Cancel was pressed (or the window was closed below 100 percent). Only grows.
    LONG GetCancelCount() const { return m_lCancel; }

    // The percent last shown; at 100 the close box does nothing.
    void SetLastPercent(int percent) { m_nLastPercent.store(percent); }
    int GetLastPercent() const { return m_nLastPercent.load(); }

private:
    ~CProgressDlg();

    static DWORD WINAPI ProgressDialogThread(LPVOID parameter);
    static INT_PTR CALLBACK ProgressDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Cancel(HWND hwnd);
    // Drops one of the two holds on the object (the owners' references, the window thread); the last frees it.
    void DropHold();
    // Waits for the window's thread to end, unless called on it.
    void WaitForWindowThread();

    volatile LONG m_cRef = 0;
    std::atomic<HWND> m_hWnd{nullptr};
    HWND m_hParent = nullptr;
    volatile LONG m_lCancel = 0;
    HANDLE m_hStartEvent = nullptr;
    HANDLE m_hThread = nullptr; // the window's thread
    DWORD m_dwThreadId = 0;
    std::atomic<int> m_nLastPercent{0};
    std::atomic<int> m_nPageCount{0};
    std::atomic<int> m_nHolds{1}; // the owners' side; the window thread adds its own while it runs
};
