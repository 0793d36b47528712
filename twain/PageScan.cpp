#include "twain/PageScan.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CScanWindow.h"
#include "twain/DeviceState.h"
#include "twain/ScanState.h"

#include "imaging/CEffectLibrary.h"
#include "scanner/CLLDKorvel.h"
#include "scanner/ScanFlags.h"
#include "settings/DebugOutput.h"
#include "settings/SystemProbes.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

std::atomic<int> g_iScanThreadRet{0};
std::atomic<int> g_nProgressBase{0};
std::atomic<BYTE> g_bFirstRowRead{0};
std::atomic<int> g_nPageHeightBeforeFix{0};
std::atomic<int> g_nPageWidthBeforeFix{0};

namespace {

constexpr int kRotation = 16;          // the rotation code in ScanParam::adv
constexpr int kStripe = 500;           // columns (or rows, for 180 degrees) turned in one call
constexpr DWORD kPollMs = 200;         // the progress poll's period
constexpr int kNotRun = INT_MIN;       // g_iScanThreadRet before Scanthread has set it
constexpr int kLineScanning = 15;      // line poll status: the mechanism scans the page being read
constexpr int kLineTransferring = 254; // the page is scanned and waits to be read

bool StatusIsScanning(int status) {
    return status == kLineScanning || status == kLineTransferring;
}

// The poller sleeps between its polls until the first row has been read, and is woken at once when it has.
std::mutex g_firstRowLock;
std::condition_variable g_firstRowRead;

} // namespace

void FirstRowRead() {
    {
        std::lock_guard lock(g_firstRowLock);
        g_bFirstRowRead = 1;
    }
    g_firstRowRead.notify_all();
}

int PageBitsPerPixel(int colour) {
    switch (colour) {
    case 0:
        return 1;
    case 1:
        return 8;
    case 2:
        return 24;
    default:
        return 0;
    }
}

std::uint64_t PageRowBytes(int width, int bpp) {
    return (static_cast<std::uint64_t>(std::max(width, 0)) * static_cast<unsigned>(std::max(bpp, 0)) + 7) / 8;
}

void GetTransferredPageSize(CScanWindow* window, int& width, int& height) {
    width = height = 0;
    if (window == nullptr)
        return;
    window->GetPageSize(width, height);
    const int rotation = window->GetScanParam().adv[kRotation];
    if (rotation == 1 || rotation == 2)
        std::swap(width, height);
}

void CloseJobDevice(bool stop, bool end) {
    if (g_b_devmon_close)
        return;
    if (stop)
        g_LLD.DevMon_StopScan();
    if (end)
        g_LLD.DevMon_EndScan();
    g_LLD.DevMon_SetCallBackFun(nullptr, nullptr); // no device event after this may reach the window
    g_LLD.DevMon_Close();
    g_b_devmon_close = TRUE;
}

void ShowEngineError(CScanWindow* window, const WCHAR* text) {
    DebugPrint(u"%s", text);
    if (window == nullptr)
        return;
    ModalEngineCall modal;
    window->ShowErrorMessage(text);
}

void ShowEngineScanError(CScanWindow* window, int category, int code) {
    // The user's own Cancel stops the device, which then fails the read: that is no error to show.
    if (window == nullptr || g_bCancelScan)
        return;
    ModalEngineCall modal;
    window->ShowScanError(category, code);
}

namespace {

// The device's job for the first page: the parameters set, the scan started. 0, 1 when the window failed to set the
// parameters (it has reported and asked to close), else the mapped result of the start.
int StartJobIfNeeded(CScanWindow* window) {
    if (g_bScanStarted)
        return 0; // a further page of a running feeder job
    if (window->ApplyScanParameters(TRUE) == -1)
        return 1;
    // Signals left from an earlier job must not speak for this one.
    if (HANDLE event = g_devStateEvent.load())
        ResetEvent(event);
    int result = g_LLD.DevMon_StartScan();
    // 200 is the driver's second kind of success.
    if (result == 100 || result == 200)
        result = 0;
    return result;
}

// Reads the pending page's rows from the device and drops them, so that the device moves on to the next one.
DWORD WINAPI DiscardThread(void*) {
    CScanWindow* window = g_pScanWindow;
    CScanProgress* progress = window != nullptr ? window->GetScanProgress() : nullptr;
    if (progress != nullptr)
        progress->WaitUntilShown();
    int result = window != nullptr ? StartJobIfNeeded(window) : -1;
    if (result == 0) {
        g_bScanStarted = TRUE;
        int width = 0;
        int height = 0;
        window->GetPageSize(width, height);
        const std::uint64_t rowBytes = PageRowBytes(width, PageBitsPerPixel(window->GetScanParam().colorMode));
        std::vector<BYTE> row;
        if (rowBytes == 0 || rowBytes > INT_MAX)
            result = -1;
        else
            row.resize(static_cast<size_t>(rowBytes));
        int posted = -1;
        for (int y = 0; result == 0 && y < height; ++y) {
            int count = 0;
            result = g_LLD.DevMon_ReadScanData(row.data(), static_cast<int>(rowBytes), &count);
            const int percent = static_cast<int>((static_cast<std::int64_t>(y) + 1) * 100 / height);
            if (progress != nullptr && percent != posted)
                progress->PostProgress(posted = percent);
        }
    }
    g_iScanThreadRet = result;
    if (progress != nullptr)
        progress->WorkerFinished();
    return 0;
}

} // namespace

DWORD WINAPI Scanthread(void* argument) {
    auto* assistor = static_cast<CDsAssistor*>(argument);
    CScanWindow* window = g_pScanWindow;
    CScanProgress* progress = window != nullptr ? window->GetScanProgress() : nullptr;
    DebugPrintA("CMsgLib: Scanthread BEGIN");
    if (progress != nullptr)
        progress->WaitUntilShown();

    int result = 0;
    if (assistor == nullptr || window == nullptr)
        result = -1;
    else
        result = StartJobIfNeeded(window);
    if (result == 0) {
        g_bScanStarted = TRUE;
        g_iScanThreadRet = 0;
        int width = 0;
        int height = 0;
        window->GetPageSize(width, height);
        result = assistor->ScanToImageBuf_mapfile(window, width, height, window->GetScanParam().colorMode,
                                                  window->GetResolutionDpi());
    }
    g_iScanThreadRet = result;

    if (progress != nullptr)
        progress->WorkerFinished();
    DebugPrintA("CMsgLib: Scanthread END");
    return 0;
}

namespace {

int RunPageWorker(CScanWindow* window, LPTHREAD_START_ROUTINE worker, void* argument) {
    g_iScanThreadRet = kNotRun;
    {
        ModalEngineCall modal;
        CScanProgress* progress = window != nullptr ? window->GetScanProgress() : nullptr;
        if (progress != nullptr) {
            progress->RunWithWorker(worker, argument);
        } else if (HANDLE thread = CreateThread(nullptr, 0, worker, argument, 0, nullptr)) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
    }
    if (g_iScanThreadRet == kNotRun) {
        LogLastError(u"Scanthread");
        g_iScanThreadRet = -1;
    }
    return g_iScanThreadRet;
}

} // namespace

int RunPageScan(CScanWindow* window) {
    return RunPageWorker(window, Scanthread, g_pDsAssistor.load());
}

int DiscardPendingPage(CScanWindow* window) {
    if (!g_bPageScanPending)
        return 0;
    g_bPageScanPending = FALSE;
    if (g_bAutoCrop || g_bAutoDeskew)
        return 0; // scanned before it was announced: nothing is left on the device
    DebugPrint(u"discard the pending page");
    return RunPageWorker(window, DiscardThread, nullptr);
}

int ScanPendingPage(CScanWindow* window, const WCHAR* debugLine, bool checkDibMemory) {
    if (!g_bPageScanPending)
        return 0;
    DebugPrint(u"%s", debugLine);
    int result = 0;
    if (checkDibMemory) {
        int width = 0;
        int height = 0;
        GetTransferredPageSize(window, width, height);
        if (!CheckDibMemory(width, height, window->GetScanParam().colorMode))
            result = -100;
    }
    if (result == 0)
        result = g_bAutoCrop || g_bAutoDeskew ? g_iScanThreadRet.load() : RunPageScan(window);
    g_bPageScanPending = FALSE;
    return result;
}

int ScanBeforeXferReady() {
    RunPageScan(g_pScanWindow);
    if (CDsAssistor* assistor = g_pDsAssistor)
        assistor->NotifyXferReady();
    return 0;
}

DWORD WINAPI ScanProgressThread(void* argument) {
    auto* window = static_cast<CScanWindow*>(argument);
    CScanProgress* progress = window != nullptr ? window->GetScanProgress() : nullptr;
    auto post = [progress](std::int64_t percent) {
        if (progress != nullptr)
            progress->PostProgress(static_cast<int>(percent));
    };
    int pixels = 0;
    int total = 0;
    g_LLD.DevMon_GetScanParameter(&pixels, &total);
    int status = 0;
    do {
        int line = 0;
        g_LLD.DevMon_GetCurScanLineNum(&line, &status);
        const bool scanning = StatusIsScanning(status);
        if (scanning && line != 0 && total != 0 && total >= line)
            post((static_cast<std::int64_t>(line) * 80 + 80) / total);
        int size = 0;
        int done = 0;
        g_LLD.DevMon_GetCurTransferSize(&size, &done);
        if (scanning && line == 0 && size > 0 && size >= done)
            post((static_cast<std::int64_t>(done) * 10 + 10) / size + 80);
        std::unique_lock lock(g_firstRowLock);
        g_firstRowRead.wait_for(lock, std::chrono::milliseconds(kPollMs), [] { return g_bFirstRowRead != 0; });
    } while (!g_bFirstRowRead);
    if (StatusIsScanning(status)) {
        g_nProgressBase = 90;
        post(90);
    }
    return 0;
}

BOOL CheckDiskSpaceForImage(int bpp, int width, int height) {
    const std::uint64_t needed = PageRowBytes(width, bpp) * static_cast<std::uint64_t>(std::max(height, 0));
    WCHAR folder[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    ULARGE_INTEGER toCaller{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER totalFree{};
    if (!GetDiskFreeSpaceExW(folder, &toCaller, &total, &totalFree))
        return TRUE;
    return needed <= totalFree.QuadPart ? TRUE : FALSE;
}

int CopyColumnStripe(Data_MapFile* page, int bpp, int width, int height, BYTE* out, int firstColumn, int endColumn) {
    if ((bpp != 8 && bpp != 24) || page == nullptr || out == nullptr || firstColumn < 0 || endColumn > width ||
        firstColumn >= endColumn)
        return -1;
    const std::uint64_t pixel = static_cast<unsigned>(bpp / 8);
    const std::uint64_t rowBytes = PageRowBytes(width, bpp);
    const std::uint64_t first = pixel * static_cast<unsigned>(firstColumn);
    const std::uint64_t span = pixel * static_cast<unsigned>(endColumn - firstColumn);
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const std::uint64_t granularity = info.dwAllocationGranularity != 0 ? info.dwAllocationGranularity : 65536;
    const std::uint64_t rowsPerWindow = std::max<std::uint64_t>(1, granularity * 300 / rowBytes);
    for (std::uint64_t row = 0; row < static_cast<std::uint64_t>(height);) {
        const std::uint64_t rows = std::min<std::uint64_t>(rowsPerWindow, static_cast<std::uint64_t>(height) - row);
        BYTE* data = nullptr;
        void* view =
            page->GetDataHandle(static_cast<unsigned>(row * rowBytes), static_cast<unsigned>(rows * rowBytes), &data);
        if (view == nullptr)
            return -1;
        for (std::uint64_t i = 0; i < rows; ++i, out += span)
            std::memcpy(out, data + i * rowBytes + first, static_cast<size_t>(span));
        page->ReleaseDataHandle(view);
        row += rows;
    }
    return 0;
}

namespace {

// Maps a window of a section for as long as it lives.
class MappedWindow {
public:
    MappedWindow(Data_MapFile* page, std::uint64_t offset, std::uint64_t length) : m_page(page) {
        if (offset + length <= UINT_MAX)
            m_view = page->GetDataHandle(static_cast<unsigned>(offset), static_cast<unsigned>(length), &m_data);
    }
    ~MappedWindow() {
        if (m_view != nullptr)
            m_page->ReleaseDataHandle(m_view);
    }
    MappedWindow(const MappedWindow&) = delete;
    MappedWindow& operator=(const MappedWindow&) = delete;
    BYTE* data() const { return m_view != nullptr ? m_data : nullptr; }

private:
    Data_MapFile* m_page;
    void* m_view = nullptr;
    BYTE* m_data = nullptr;
};

EffectImageInfo Describe(int width, int height, int bpp) {
    return {height, static_cast<std::int32_t>(PageRowBytes(width, bpp)), width, bpp};
}

// The turns of the three depths; each answers whether every call of the library succeeded.
bool TurnWhole(CEffectLibrary& library, Data_MapFile* from, Data_MapFile* to, int angle, int width, int height,
               int newWidth, int newHeight) {
    MappedWindow source(from, 0, PageRowBytes(width, 1) * static_cast<unsigned>(height));
    MappedWindow target(to, 0, to->GetSize());
    return source.data() != nullptr && target.data() != nullptr &&
           library.RotationImg(angle, Describe(width, height, 1), source.data(), Describe(newWidth, newHeight, 1),
                               target.data()) == 0;
}

// 180 degrees: stripes of rows from the bottom upwards, each turned into the next rows of the new page.
bool TurnRowStripes(CEffectLibrary& library, Data_MapFile* from, Data_MapFile* to, int bpp, int width, int height) {
    const std::uint64_t rowBytes = PageRowBytes(width, bpp);
    for (int done = 0; done < height;) {
        const int rows = std::min(kStripe, height - done);
        const int first = height - done - rows;
        MappedWindow source(from, rowBytes * static_cast<unsigned>(first), rowBytes * static_cast<unsigned>(rows));
        MappedWindow target(to, rowBytes * static_cast<unsigned>(done), rowBytes * static_cast<unsigned>(rows));
        if (source.data() == nullptr || target.data() == nullptr ||
            library.RotationImg(180, Describe(width, rows, bpp), source.data(), Describe(width, rows, bpp),
                                target.data()) != 0)
            return false;
        done += rows;
    }
    return true;
}

// 90 degrees: column stripes from the right edge leftwards; 270: from the left edge rightwards. Each stripe's turn
// fills the next rows of the new page.
bool TurnColumnStripes(CEffectLibrary& library, Data_MapFile* from, Data_MapFile* to, int angle, int bpp, int width,
                       int height) {
    const std::uint64_t pixel = static_cast<unsigned>(bpp / 8);
    const std::uint64_t newRowBytes = PageRowBytes(height, bpp);
    std::unique_ptr<BYTE[]> stripe(new (std::nothrow)
                                       BYTE[static_cast<size_t>(static_cast<std::uint64_t>(height) * kStripe * pixel)]);
    if (!stripe)
        return false;
    for (int done = 0; done < width;) {
        const int columns = std::min(kStripe, width - done);
        const int first = angle == 90 ? width - done - columns : done;
        if (CopyColumnStripe(from, bpp, width, height, stripe.get(), first, first + columns) != 0)
            return false;
        MappedWindow target(to, newRowBytes * static_cast<unsigned>(done),
                            newRowBytes * static_cast<unsigned>(columns));
        if (target.data() == nullptr || library.RotationImg(angle, Describe(columns, height, bpp), stripe.get(),
                                                            Describe(height, columns, bpp), target.data()) != 0)
            return false;
        done += columns;
    }
    return true;
}

} // namespace

int RotateMappedPage(Data_MapFile** page, int bpp, int width, int height, int angle) {
    if (angle == 0)
        return 0;
    if (page == nullptr || *page == nullptr || width <= 0 || height <= 0 || (bpp != 1 && bpp != 8 && bpp != 24) ||
        (angle != 90 && angle != 180 && angle != 270))
        return 0;
    CEffectLibrary library;
    if (!library.IsLoaded())
        return 0;
    if (!CheckDiskSpaceForImage(bpp, width, height))
        return 0;
    const bool quarter = angle != 180;
    const int newWidth = quarter ? height : width;
    const int newHeight = quarter ? width : height;
    const std::uint64_t newSize = PageRowBytes(newWidth, bpp) * static_cast<unsigned>(newHeight);
    if (newSize == 0 || newSize > UINT_MAX)
        return 0;
    auto turned = std::make_unique<Data_MapFile>();
    if (turned->MapFile_Create(static_cast<unsigned>(newSize), CString()) != 0)
        return 0; // the new section goes with its temporary file
    bool done = false;
    if (bpp == 1)
        done = TurnWhole(library, *page, turned.get(), angle, width, height, newWidth, newHeight);
    else if (angle == 180)
        done = TurnRowStripes(library, *page, turned.get(), bpp, width, height);
    else
        done = TurnColumnStripes(library, *page, turned.get(), angle, bpp, width, height);
    if (!done)
        return 0;
    delete *page;
    *page = turned.release();
    return 1;
}
