// The handler of DAT_PENDINGXFERS: whether pages are pending (MSG_GET), dropping them (MSG_RESET), and the end of
// each page's transfer (MSG_ENDXFER), which decides whether another page follows: for feeder jobs it waits for the
// device to report the next page or the job's end, carrying the manual-duplex pause, checks disk and memory and
// announces the next page; otherwise, or when nothing follows, it ends the job and closes the device.
#pragma once

#include "twain/CMsgLib.h"

class CDsAssistor;
class CScanWindow;

class CMsgPendingXfer : public CMsgLib {
public:
    CMsgPendingXfer() : CMsgLib(DAT_PENDINGXFERS) {}
    TW_UINT16 Handle(TwainCall* pCall) override;

private:
    TW_UINT16 Reset(CDsAssistor* assistor, TW_PENDINGXFERS* pending);
    TW_UINT16 EndXfer(CDsAssistor* assistor, TW_PENDINGXFERS* pending);
    // The feeder's next page: the Count to report; rc becomes TWRC_FAILURE when the wait failed.
    TW_UINT16 NextPage(CDsAssistor* assistor, CScanWindow* window, TW_UINT16& rc, int dropped);
};

// One pass of the manual-duplex pause while the end of a transfer waits for the next page: waits (at most
// timeoutMs) for the device state to change and shows or hides the manual-duplex note. 1 = go on waiting for the
// next page, 0 = stop waiting (the job ended, or the user cancelled the note). *pauseEnded tells that a pause of
// the device ended (the wait for the next page starts afresh).
int ManualDuplexWait(DWORD timeoutMs, BOOL* pauseEnded);
