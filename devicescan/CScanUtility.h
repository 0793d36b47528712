// The push-scan job on a thread of its own: open the device, set the scan window, check the save folder and the free
// disk space, then for each page announce it, write a BMP file image of the page into a fresh stream and report the
// progress, until the driver says that no page follows. Everything goes to the request's CTransferCallback; the
// thread itself touches no window and no file.
#pragma once

#include "devicescan/CScanner.h"
#include "devicescan/ScanRequest.h"
#include "devicescan/TransferCallback.h"

#include <atomic>

// True when the folder's volume has room for two pages of the request's size at 1200 dpi plus 300 MiB. Colour 0 is
// 1 bit, 1 is 8 bits, anything else 24; width and height in 1/1200 inch. A failing query answers true.
bool CheckDiskSpace(int colour, int width, int height, const WCHAR* folder);
// The bytes CheckDiskSpace wants free.
LONGLONG DiskSpaceNeeded(int colour, int width, int height);
class CScanUtility;
struct ScanThreadArgs {
    CScanUtility* utility;
    ScanRequest* request;
};

// Sends {0, 0, 0, code} to the callback.
void ReportTransferError(CTransferCallback* callback, int code);
// True when the path names an existing folder.
bool FolderExists(const WCHAR* path);

// The scan thread's procedure; its parameter is a new'ed ScanThreadArgs, which it frees.
DWORD WINAPI ScanThreadProc(LPVOID parameter);

class CScanUtility {
public:
    static constexpr SIZE_T kThreadStackSize = 2 * 1024 * 1024;

    CScanUtility() = default;
    ~CScanUtility(); // stops and waits for a running thread, then closes the device and frees the driver
    CScanUtility(const CScanUtility&) = delete;
    CScanUtility& operator=(const CScanUtility&) = delete;

    // Loads the driver library named by the INI file (GetLLDPath); always 1.
    int LoadScanner();
    // Starts the job on its own thread; false when the thread cannot be made.
    bool StartScanThread(ScanRequest* request);
    // Waits without limit for the job's thread to end (at once when none was started).
    void WaitForScanThread();
    // The job itself: the end-of-transfer answer, or the early error code.
    int Scan(ScanRequest* request);

    CScanner& GetScanner() { return m_scanner; }

private:
    // The page loop; the job's result.
    int ScanPages(ScanRequest* request);
    // One page into the fresh stream, whose reference it releases: 201 when it is complete, else the code that
    // ended it.
    int ScanOnePage(CTransferCallback* callback, IStream* stream, BYTE* buffer, int chunk);
    // Between pages: true when another page follows; *result is the job's result when not.
    bool NextPage(ScanRequest* request, int* result);

    HANDLE m_hThread = nullptr;
    CScanner m_scanner;
    DWORD m_dwThreadId = 0;
    std::atomic<bool> m_bStop{false}; // set only by the destructor, read by the thread before each page and chunk
    bool m_bRunning = false;
    // Between the scan thread and its cancel watcher: a page is being read; the watcher aborted the device.
    std::atomic<bool> m_bReading{false};
    std::atomic<bool> m_bCancelAbort{false};
};
