// The engine's view of the scanning window object: what the engine does to it directly. The window module
// implements it and registers the window that exists (at most one) in g_pScanWindow; the engine knows no window
// class of its own.
#pragma once

#include "twain/ScanProgress.h"

#include "settings/ScanParam.h"

#include "platform/base/windows.h"

#include <atomic>

class CScanWindow {
public:
    // The scan without a window, with the window-less settings of the capability table.
    virtual void ScanWithoutUI() = 0;
    virtual void SetBusy(BOOL busy) = 0;
    // A Photoshop host asked MSG_GET of ICAP_PIXELFLAVOR: the window closes the next time it is activated.
    virtual void SetCloseOnActivate(BOOL close) = 0;
    // Dispatches the window's pending messages when called on the window's own thread; the engine calls it at
    // every DS_Entry of a host that keeps the window on its own thread (the window thread's loop does it there).
    virtual void PumpMessages() = 0;

    // ---- What the page scan and the transfers ask of the window ----
    // The scanning window overrides every one; a window that never scans (a test's stand-in) may keep these
    // neutral answers.
    // The current settings (the engine reads colour mode, rotation, resolution and source from them).
    virtual const ScanParam& GetScanParam() const;
    virtual int GetResolutionDpi() { return 300; }
    virtual int GetScanSource() { return 0; }
    // The page in pixels and rows at the scan resolution, worked out by the scan road; auto-crop changes it.
    virtual void GetPageSize(int& width, int& height) const { width = height = 0; }
    virtual void SetPageSize(int, int) {}
    // Rows of the page already handed over by memory transfers.
    virtual int GetPageCount() const { return 0; }
    virtual void SetPageCount(int) {}
    // Sets the image adjustments and, with sendArea, the resolution, colour, area and source on the open device
    // before a job: 0, or -1 after a failure the window has reported (the device is closed, the close requested).
    virtual int ApplyScanParameters(BOOL) { return -1; }
    // The error box for a failed step (category) and the program's code; shows nothing for codes of 0 and above
    // except in category 5. May be called from a worker thread: the box is modal on that thread.
    virtual void ShowScanError(int, int) {}
    // The error box with a text of the engine's own, modal on the calling thread (which may be a worker's).
    virtual void ShowErrorMessage(const WCHAR*) {}
    // Makes the window the active one (the end of a transfer gives it back the focus).
    virtual void Activate() {}
    virtual void EnableMainWindow(BOOL) {}
    virtual BOOL SetTopMost(BOOL) { return FALSE; }
    // The progress dialog of the window.
    virtual CScanProgress* GetScanProgress() { return nullptr; }
    // The manual-duplex note: runs it modally on the calling thread until the device ends the wait; and ends it
    // from any thread.
    virtual INT_PTR RunManualDuplexNote() { return -1; }
    virtual void EndManualDuplexNote() {}
    // Puts back the front sides' rotation if the end of a manual-duplex wait turned it for the back sides; every
    // road that ends a job calls it, so the user's rotation setting never changes by itself.
    virtual void RestoreFrontRotation() {}
    // App mode: the save pane writes "imgSaveSettings.dat" (a new dated name first when the last one was used up),
    // and marks its name used up once a job is over. Nothing without the pane.
    virtual void SaveImgSaveSettings() {}
    virtual void RenewSaveName() {}

protected:
    ~CScanWindow() = default;
};

// The window that exists, or null; set by the window itself when it is built and cleared when it goes.
extern std::atomic<CScanWindow*> g_pScanWindow;
