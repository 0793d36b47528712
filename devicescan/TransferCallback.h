// How the scan thread reports a push-scan job: every event of the job is one TransferMessage handed to the job's
// CTransferCallback, on the scan thread.
//
//   type                           sent when                     percent       bytes                 status
//   0 TRANSFER_MSG_PROGRESS        after each chunk of a page    of the page   image bytes so far    0
//   0 TRANSFER_MSG_PROGRESS        an error (ReportTransferError) 0            0                     the error
//   1 TRANSFER_MSG_END_OF_STREAM   a page is complete            0             0                     0
//   2 TRANSFER_MSG_END_OF_TRANSFER the job is over                0             0                     0
//   3 TRANSFER_MSG_THREAD_END      the scan thread ends          0             0                     0
//   5 TRANSFER_MSG_NEW_PAGE        a page begins                 0             0                     0
#pragma once

#include "platform/base/windows.h"
#include "platform/gdiplus/objidl.h"

enum TransferMessageType : int32_t {
    TRANSFER_MSG_PROGRESS = 0,
    TRANSFER_MSG_END_OF_STREAM = 1,
    TRANSFER_MSG_END_OF_TRANSFER = 2,
    TRANSFER_MSG_THREAD_END = 3,
    TRANSFER_MSG_NEW_PAGE = 5,
};

// The results of a push-scan job: 0, the driver's own codes (mostly positive) and these.
enum TransferStatus : int32_t {
    TRANSFER_STATUS_OK = 0,
    TRANSFER_STATUS_FAILED = -1,
    TRANSFER_STATUS_NO_DRIVER = -3,
    TRANSFER_STATUS_NO_MEMORY = -40,      // also: the page stream could not be made or written
    TRANSFER_STATUS_FOLDER_MISSING = -51, // the save folder does not exist
    TRANSFER_STATUS_DISK_FULL = -54,      // not enough free disk space
    TRANSFER_STATUS_CANNOT_WRITE = -55,   // no file can be written in the save folder (or no free name)
    TRANSFER_STATUS_END_OF_PAGE = 201,
    TRANSFER_STATUS_CANCELLED = 202,
};

struct TransferMessage {
    int32_t type; // TransferMessageType
    int32_t percent;
    int32_t bytes;
    int32_t status;
};

class CTransferCallback {
public:
    // Slot 0: a fresh stream for the next page, handed out with a reference of the caller's own; 0, or an error.
    virtual int NewStream(int reserved, IStream** stream) = 0;
    // Slot 1: one event of the job; the scan thread goes on only while this answers 0.
    virtual int TransferCallback(int reserved, TransferMessage* message) = 0;
    // Asked between pages: true when the job's progress window is gone or the user cancelled it.
    virtual bool IsCancelled() = 0;
    virtual ~CTransferCallback() = default;
};
