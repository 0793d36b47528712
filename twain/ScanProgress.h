// The progress dialog as the engine's workers see it, and the window messages that drive it. One dialog belongs to
// the scanning window and serves every preview and every page scan: the caller's thread runs it modally while a
// worker thread reads from the device and reports.
//
// A run:   caller                                   worker
//          RunWithWorker(worker, arg) ──creates──▶  WaitUntilShown()
//            (modal loop; the dialog signals)  ──▶  ... reads, PostProgress(percent) ...
//                                                   WorkerFinished()   (the modal loop ends)
//          ◀── the worker has ended; the run's result
#pragma once

#include "platform/base/windows.h"

// Posted (or sent) to the progress dialog: wParam = percent 0..100.
inline constexpr UINT WM_SCAN_PROGRESS = 0x557;
// Posted to the progress dialog and to the manual-duplex note: close.
inline constexpr UINT WM_SCAN_END = 0x568;
// Sent by the preview thread to the scanning window: wParam = last row ready, lParam = rows in all.
inline constexpr UINT WM_PREVIEW_ROWS = 0x575;
// The preview is read and shown in bands of this many rows (the last band may be shorter).
inline constexpr int kPreviewBandRows = 20;

class CScanProgress {
public:
    // Shows the page number in feeder jobs; resetCounter starts a new job's count.
    virtual void SetPageMode(BOOL pageMode, BOOL resetCounter) = 0;
    // Starts `worker` on a thread of its own, runs the dialog modally on this thread until the worker finishes, and
    // waits for the thread to end. -1 when the thread cannot be created: then no dialog was shown and nothing ran,
    // and the caller closes the device and reports.
    virtual INT_PTR RunWithWorker(LPTHREAD_START_ROUTINE worker, void* argument) = 0;
    // For the worker: returns once the dialog is up (or, should it fail to come up, at once).
    virtual void WaitUntilShown() = 0;
    // For the worker: the percent to show. Dropped while no dialog is up.
    virtual void PostProgress(int percent) = 0;
    // For the worker, as its last word: ends the modal run, also when the dialog is not up yet.
    virtual void WorkerFinished() = 0;

protected:
    ~CScanProgress() = default;
};
