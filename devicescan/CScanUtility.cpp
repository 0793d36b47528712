#include "devicescan/CScanUtility.h"

#include "settings/DebugOutput.h"
#include "settings/PlatformFlags.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Rows are read in chunks that grow with the resolution.
constexpr int kSmallChunk = 128 * 1024;  // 75 and 150 dpi
constexpr int kMediumChunk = 256 * 1024; // 300 dpi
constexpr int kLargeChunk = 1024 * 1024; // anything else
// The BMP header of a page: file and info headers and at most 256 palette entries.
constexpr int kMaxHeaderSize = 54 + 4 * 256;

// ScanDrv_GetNextPushStatus on PlatformOrca: the device is still busy; ask again after a pause.
constexpr int kPushStatusBusy = 13;
constexpr DWORD kPushStatusPauseMs = 500;

// The driver's general failure. As the status of an error report it would read as no error (it is also how a
// PlatformOrca device says that no page follows), so a failed open, start or read is reported as -1.
constexpr int kDriverGeneralFailure = 1;

int AsJobFailure(int code) {
    return code == kDriverGeneralFailure ? TRANSFER_STATUS_FAILED : code;
}

// Two pages at 1200 dpi are counted, plus this much room for everything else.
constexpr LONGLONG kDiskReserve = 300LL * 1024 * 1024;

int ChunkSize(int dpi) {
    if (dpi == 75 || dpi == 150)
        return kSmallChunk;
    if (dpi == 300)
        return kMediumChunk;
    return kLargeChunk;
}

int Send(CTransferCallback* callback, int type, int percent, int bytes, int status) {
    TransferMessage message{type, percent, bytes, status};
    return callback->TransferCallback(0, &message);
}

// A cancel in the progress window is seen by the scan thread at the next chunk, but a read that the device holds
// up (a stalled mechanism) would never return. While a page is read this watcher asks the callback every 100 ms and,
// once the user has cancelled, aborts the device, which wakes the read.
class CancelWatcher {
public:
    CancelWatcher(CTransferCallback* callback, CScanner& scanner, std::atomic<bool>& reading,
                  std::atomic<bool>& aborted)
        : m_callback(callback), m_scanner(scanner), m_reading(reading), m_aborted(aborted),
          m_thread([this] { Run(); }) {}
    ~CancelWatcher() {
        {
            std::lock_guard lock(m_lock);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    CancelWatcher(const CancelWatcher&) = delete;
    CancelWatcher& operator=(const CancelWatcher&) = delete;

private:
    void Run() {
        std::unique_lock lock(m_lock);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_quit; })) {
            if (m_reading && !m_aborted && m_callback->IsCancelled()) {
                m_aborted = true;
                m_scanner.AbortFromOtherThread();
            }
        }
    }

    CTransferCallback* m_callback;
    CScanner& m_scanner;
    std::atomic<bool>& m_reading;
    std::atomic<bool>& m_aborted;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_quit = false;
    std::thread m_thread; // last: it starts once everything above is set
};

using GetDiskFreeSpaceExFn = BOOL (*)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

} // namespace

LONGLONG DiskSpaceNeeded(int colour, int width, int height) {
    const LONGLONG bits = colour == 0 ? 1 : colour == 1 ? 8 : 24;
    return (bits * width + 7) / 8 * height * 2 + kDiskReserve;
}

bool CheckDiskSpace(int colour, int width, int height, const WCHAR* folder) {
    const LONGLONG needed = DiskSpaceNeeded(colour, width, height);
    ULONGLONG available = 0;
    HMODULE kernel = LoadLibraryW(u"kernel32.dll");
    auto getFreeEx =
        kernel ? reinterpret_cast<GetDiskFreeSpaceExFn>(GetProcAddress(kernel, "GetDiskFreeSpaceExW")) : nullptr;
    if (getFreeEx) {
        ULARGE_INTEGER toCaller{}, total{}, totalFree{};
        const BOOL ok = getFreeEx(folder, &toCaller, &total, &totalFree);
        FreeLibrary(kernel);
        if (!ok)
            return true;
        available = totalFree.QuadPart;
    } else {
        if (kernel)
            FreeLibrary(kernel);
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
        if (!GetDiskFreeSpaceW(folder, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
            return true;
        available = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector * freeClusters;
    }
    return static_cast<ULONGLONG>(needed) <= available;
}

bool FolderExists(const WCHAR* path) {
    const DWORD attributes = path ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void ReportTransferError(CTransferCallback* callback, int code) {
    if (callback)
        Send(callback, TRANSFER_MSG_PROGRESS, 0, 0, code);
}

DWORD WINAPI ScanThreadProc(LPVOID parameter) {
    DebugPrint(u"begin Scan thread");
    std::unique_ptr<ScanThreadArgs> args(static_cast<ScanThreadArgs*>(parameter));
    if (!args) {
        DebugPrint(u"ScanThreadProc false");
        return 0;
    }
    args->utility->Scan(args->request);
    if (args->request->callback)
        Send(args->request->callback, TRANSFER_MSG_THREAD_END, 0, 0, 0);
    args.reset();
    DebugPrint(u"ScanThreadProc end");
    return 0;
}

CScanUtility::~CScanUtility() {
    DebugPrint(u"~CScanUtility");
    if (m_bRunning) {
        m_bRunning = false;
        m_bStop = true;
        WaitForSingleObject(m_hThread, INFINITE);
    }
    if (m_hThread) {
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    m_scanner.FreeDriver();
}

int CScanUtility::LoadScanner() {
    WCHAR path[MAX_PATH] = {};
    GetLLDPath(path);
    m_scanner.LoadDriver(path);
    return 1;
}

bool CScanUtility::StartScanThread(ScanRequest* request) {
    auto args = std::make_unique<ScanThreadArgs>(ScanThreadArgs{this, request});
    m_bStop = false;
    HANDLE thread = CreateThread(nullptr, kThreadStackSize, ScanThreadProc, args.get(), 0, &m_dwThreadId);
    if (!thread) {
        DebugPrint(u"Create Scan thread fail");
        return false;
    }
    args.release(); // the thread owns it now
    if (m_hThread)
        CloseHandle(m_hThread);
    m_hThread = thread;
    m_bRunning = true;
    return true;
}

void CScanUtility::WaitForScanThread() {
    if (m_hThread)
        WaitForSingleObject(m_hThread, INFINITE);
}

int CScanUtility::Scan(ScanRequest* request) {
    DebugPrint(u"Start Scan thread scan");
    if (!request || !request->callback)
        return TRANSFER_STATUS_FAILED; // nowhere to put the pages
    CTransferCallback* callback = request->callback;

    int result = m_scanner.DevMon_Open(request->devicePath, request->openDevice);
    if (result != 0) {
        DebugPrint(u"Scanner open fail");
        result = AsJobFailure(result);
        ReportTransferError(callback, result);
        return result;
    }
    if (!m_scanner.IsLoaded() || !m_scanner.IsOpen()) {
        DebugPrint(u"Scanner start scan fail");
        ReportTransferError(callback, TRANSFER_STATUS_NO_DRIVER);
        return TRANSFER_STATUS_NO_DRIVER;
    }
    result = m_scanner.DevMon_StartScan(request);
    if (result != 0) {
        DebugPrint(u"SetScanParameterEx fail:%d", result);
        // A key press never ends in silence: the user learns why nothing was scanned.
        m_scanner.CloseDevice();
        result = AsJobFailure(result);
        ReportTransferError(callback, result);
        return result;
    }

    result = ScanPages(request);

    DebugPrint(u"nRet:%d", result);
    if (result != 0)
        m_scanner.DevMon_AbortScan();
    m_scanner.CloseDevice();
    if (result != 0) {
        DebugPrint(u"first popup error message, then abort scan task");
        ReportTransferError(callback, result);
    }
    DebugPrint(u"TransferCallbackMessage TRANSFER_MSG_END_OF_TRANSFER");
    const int answer = Send(callback, TRANSFER_MSG_END_OF_TRANSFER, 0, 0, 0);
    if (answer != 0) {
        DebugPrint(u"TRANSFER_MSG_END_OF_TRANSFER fail");
        ReportTransferError(callback, answer);
    }
    DebugPrint(u"end scan thread");
    return answer;
}

int CScanUtility::ScanPages(ScanRequest* request) {
    CTransferCallback* callback = request->callback;
    const bool folderExists = FolderExists(request->saveFolder);
    if (!CheckDiskSpace(request->colour, request->width, request->height, request->saveFolder))
        return TRANSFER_STATUS_DISK_FULL;
    if (!folderExists)
        return TRANSFER_STATUS_FOLDER_MISSING;

    const int chunk = ChunkSize(request->dpiX);
    m_bReading = false;
    m_bCancelAbort = false;
    CancelWatcher watcher(callback, m_scanner, m_bReading, m_bCancelAbort);
    auto buffer = std::make_unique<BYTE[]>(static_cast<size_t>(kLargeChunk + kMaxHeaderSize));
    int pages = 0;
    for (;;) {
        int result = Send(callback, TRANSFER_MSG_NEW_PAGE, 0, 0, 0);
        if (result != 0) {
            DebugPrint(u"New page error");
            return result;
        }
        if (m_bStop) {
            DebugPrint(u"Scan thread is terminated");
            return TRANSFER_STATUS_CANCELLED;
        }
        if (!FolderExists(request->saveFolder))
            return TRANSFER_STATUS_FOLDER_MISSING;
        if (!CheckDiskSpace(request->colour, request->width, request->height, request->saveFolder))
            return TRANSFER_STATUS_DISK_FULL;

        IStream* stream = nullptr;
        result = callback->NewStream(0, &stream);
        if (result != 0 || !stream) {
            DebugPrint(u"new stream fail");
            return result != 0 ? result : TRANSFER_STATUS_NO_MEMORY;
        }
        result = ScanOnePage(callback, stream, buffer.get(), chunk);
        if (result != TRANSFER_STATUS_END_OF_PAGE) {
            DebugPrint(u"Scan thread fail: %d", result);
            return AsJobFailure(result);
        }
        DebugPrintA("%s:%d", "page scanned ", ++pages);
        result = Send(callback, TRANSFER_MSG_END_OF_STREAM, 0, 0, 0);
        if (result != 0) {
            DebugPrint(u"TRANSFER_MSG_END_OF_STREAM fail");
            return result;
        }
        if (!NextPage(request, &result))
            return result;
    }
}

int CScanUtility::ScanOnePage(CTransferCallback* callback, IStream* stream, BYTE* buffer, int chunk) {
    // A page whose bytes cannot all reach the stream would be saved damaged: it ends with -40 instead.
    auto append = [stream](const BYTE* data, int size) {
        LARGE_INTEGER zero{};
        ULONG written = 0;
        return SUCCEEDED(stream->Seek(zero, STREAM_SEEK_END, nullptr)) &&
               SUCCEEDED(stream->Write(data, static_cast<ULONG>(size), &written)) &&
               written == static_cast<ULONG>(size);
    };

    int headerSize = 0;
    m_scanner.GetBmpHeader(buffer, &headerSize);
    if (!append(buffer, headerSize)) {
        stream->Release();
        return TRANSFER_STATUS_NO_MEMORY;
    }
    int count = 0; // image bytes of the page so far, header not counted
    int bytes = 0, percent = 0;
    m_scanner.ResetLinesRead();
    m_bReading = true;
    int result = m_scanner.DevMon_ReadScanData(buffer, chunk, &bytes, &percent);
    while (result == 0) {
        if (m_bStop) {
            DebugPrint(u"Scan thread is terminate2");
            result = TRANSFER_STATUS_CANCELLED;
            break;
        }
        if (!append(buffer, bytes)) {
            result = TRANSFER_STATUS_NO_MEMORY;
            break;
        }
        count += bytes;
        const int answer = Send(callback, TRANSFER_MSG_PROGRESS, percent, count, 0);
        if (answer == TRANSFER_STATUS_CANCELLED) {
            DebugPrint(u"Scan thread is cancel");
            result = answer;
            break;
        }
        if (answer != 0) {
            DebugPrint(u"Scan thread fail3");
            result = answer;
            break;
        }
        result = m_scanner.DevMon_ReadScanData(buffer, chunk, &bytes, &percent);
    }
    m_bReading = false;
    if (m_bCancelAbort && result != TRANSFER_STATUS_END_OF_PAGE) {
        DebugPrint(u"Scan thread is cancel");
        result = TRANSFER_STATUS_CANCELLED; // the device failed the read because the user cancelled it
    }
    stream->Release(); // the callback keeps its own reference until the next page
    return result;
}

bool CScanUtility::NextPage(ScanRequest* request, int* result) {
    *result = 0;
    CTransferCallback* callback = request->callback;
    if (g_bIsPlatformOrca) {
        if (!request->multiPage)
            return false;
        for (;;) {
            if (callback->IsCancelled()) {
                m_scanner.DevMon_AbortScan();
                return false;
            }
            if (m_bStop) {
                *result = TRANSFER_STATUS_CANCELLED;
                return false;
            }
            const int status = m_scanner.GetNextPushStatus();
            if (status == kPushStatusBusy) {
                Sleep(kPushStatusPauseMs);
                continue;
            }
            if (status == 0)
                return true;
            *result = status;
            return false;
        }
    }
    if (callback->IsCancelled()) {
        m_scanner.DevMon_AbortScan();
        return false;
    }
    const int status = m_scanner.GetNextPushStatus();
    if (status == 0) {
        DebugPrint(u"next page.");
        return true;
    }
    DebugPrint(u"no page.");
    // 1 is the driver's "no page follows"; any other status is its error (a jam, an empty feeder, an open cover),
    // which the user is told instead of the job ending in silence.
    if (status != kDriverGeneralFailure) {
        DebugPrint(u"push status:%d", status);
        *result = status;
    }
    return false;
}
