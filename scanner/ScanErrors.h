// The program's codes for the driver's codes, and the error text shown for a failed step.
#pragma once

#include "platform/base/windows.h"
#include "platform/base/cstring.h"

// Indexed by the driver code 0-21: 0 success, 200 a special success ("started"), negative failures. Driver code 5
// (end of data) and 21 count as success; 7 is also what the feeder check gives without an open device.
inline constexpr int kDriverResultCount = 22;
extern const int DriverResultMap[kDriverResultCount];

// Categories of the failed step, the first argument of the error chooser.
enum ScanErrorCategory {
    kScanErrorOpen = 0,       // opening the device
    kScanErrorStart = 1,      // starting the job or checking the feeder
    kScanErrorParameters = 2, // setting the scan parameters
    kScanErrorTransfer = 6,   // the transfer of a page (and the preview)
};

// The string id of the text for a failed step and the program's code.
UINT GetScanErrorStringId(int category, int mappedCode);
// That text from the language library ("Load String Error!" when it lacks the id).
CString GetScanErrorMessage(int category, int mappedCode);
