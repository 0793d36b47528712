// What the driver library's callers hand it besides plain integers: the device-event callback and the network
// detection request.
#pragma once

#include "platform/base/windows.h"

// Called on the driver library's own thread: (context given at registration, notification code, two values the
// callers ignore). Notification codes: 2 job start, 3 page done, 7 and 8 start and end of the manual-duplex wait,
// 9 job end, 11 abort.
typedef int (*ScanCallBackFun)(void* context, int code, int, int);

// Byte layout (520 bytes on 64 bits): address at 0, community at 256, window to notify at 512.
struct NetDetectRequest {
    char address[256];   // the device name or address to test, narrow text
    char community[256]; // the community string, narrow text
    HWND notify;         // the window the caller reports the result to
};
