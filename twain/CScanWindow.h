// The engine's view of the scanning window object: the few things the engine does to it directly. The window
// module implements it and registers the window that exists (at most one) in g_pScanWindow; the engine knows no
// window class of its own.
#pragma once

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
    // every DS_Entry, so the window runs also in hosts that never dispatch our messages themselves.
    virtual void PumpMessages() = 0;

protected:
    ~CScanWindow() = default;
};

// The window that exists, or null; set by the window itself when it is built and cleared when it goes.
extern std::atomic<CScanWindow*> g_pScanWindow;
