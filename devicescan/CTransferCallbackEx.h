// The transfer callback with a page stream in global memory and the progress window: it keeps the window up to
// date, shows the job's errors, and tells the scan thread when the user cancelled. The application object derives
// from it to save the pages (CScanManagerApp).
#pragma once

#include "devicescan/TransferCallback.h"

#include <mutex>

class CProgressDlg;

class CTransferCallbackEx : public CTransferCallback {
public:
    CTransferCallbackEx() = default;
    ~CTransferCallbackEx() override; // releases the progress window, the stream and its memory
    CTransferCallbackEx(const CTransferCallbackEx&) = delete;
    CTransferCallbackEx& operator=(const CTransferCallbackEx&) = delete;

    // A fresh stream on new global memory (the previous one freed), handed out with a reference of the caller's;
    // makes the progress window when there is none. 0, or -40 with no stream.
    int NewStream(int reserved, IStream** stream) override;
    // -1 for no message; else 202 while a progress window exists and was cancelled, else the message's status.
    int TransferCallback(int reserved, TransferMessage* message) override;
    // True when there is no progress window or the user cancelled it. Safe from any thread.
    bool IsCancelled() override;

    // Releases the progress window and shows the status's text in the error window (nothing for status 2).
    void ShowErrorMessage(int status);
    // Shows the page's percent in the progress window; nothing without a window.
    void UpdateProgress(int percent);
    // Counts and shows a new page in the progress window; nothing without a window.
    void OnNewPage();

    // The string id of a status's error text; 0 for status 2, which shows nothing.
    static UINT GetErrorStringId(int status);
    // Shows a string of the language library in the error window, modally, on the calling thread.
    static void ShowErrorText(UINT stringId);

protected:
    bool HasProgressWindow();
    void CreateProgressWindow();
    // Writes `debugLine` when a window existed, then drops this callback's reference to it.
    void ReleaseProgressWindow(const WCHAR* debugLine);
    void ReleaseStream();

    IStream* m_pStream = nullptr; // the current page
    HGLOBAL m_hGlobal = nullptr;  // the memory under it, freed by this callback

private:
    // The scan thread makes and drops the window; the scan thread's cancel watcher reads it.
    std::mutex m_progressLock;
    CProgressDlg* m_pProgressDlg = nullptr;
};
