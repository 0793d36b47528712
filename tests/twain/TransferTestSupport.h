// The engine's page road in-process, with a stand-in for the scanning window: the window's settings and page size,
// a progress dialog that only records, and the error boxes it would show. The simulated device and the image-effect
// library lie beside the test program; a recording manager takes the engine's notifications. The page a test
// expects is rendered from the device's own test document.
#pragma once

#include "TwainTestSupport.h"
#include "recording_dsm/ManagerRecorder.h"
#include "tests/companions/scandrv/WriteControlFile.h"
#include "tests/support/CompanionNames.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CMsgLib.h"
#include "twain/CScanWindow.h"
#include "twain/PageScan.h"
#include "twain/ScanState.h"

#include "companions/scandrv/RowRenderer.h"
#include "scanner/CLLDKorvel.h"
#include "settings/CompanionNames.h"
#include "settings/IniPath.h"

#include "platform/base/path.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace transfer_test {

// A progress dialog that shows nothing: the worker runs on its own thread while the caller waits.
class RecordingProgress : public CScanProgress {
public:
    void SetPageMode(BOOL, BOOL) override {}
    INT_PTR RunWithWorker(LPTHREAD_START_ROUTINE worker, void* argument) override {
        ++runs;
        guardedDuringRun = g_nModalEngineCalls.load() > 0;
        HANDLE thread = CreateThread(nullptr, 0, worker, argument, 0, nullptr);
        if (thread == nullptr)
            return -1;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return 1;
    }
    void WaitUntilShown() override { ++shown; }
    void PostProgress(int percent) override {
        std::lock_guard lock(m_lock);
        percents.push_back(percent);
    }
    void WorkerFinished() override { ++finished; }

    std::vector<int> Percents() {
        std::lock_guard lock(m_lock);
        return percents;
    }

    int runs = 0;
    bool guardedDuringRun = false;
    std::atomic<int> shown{0};
    std::atomic<int> finished{0};

private:
    std::mutex m_lock;
    std::vector<int> percents;
};

// The window as the engine sees it, scanning a flatbed area from the bed's corner.
class PageWindow : public CScanWindow {
public:
    PageWindow() { g_pScanWindow = this; }
    ~PageWindow() {
        CScanWindow* self = this;
        g_pScanWindow.compare_exchange_strong(self, nullptr);
    }
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    void ScanWithoutUI() override {}
    void SetBusy(BOOL value) override { busy = value; }
    void SetCloseOnActivate(BOOL value) override { closeOnActivate = value; }
    void PumpMessages() override {}
    const ScanParam& GetScanParam() const override { return param; }
    int GetResolutionDpi() override { return dpi; }
    int GetScanSource() override { return param.source; }
    void GetPageSize(int& w, int& h) const override {
        w = width;
        h = height;
    }
    void SetPageSize(int w, int h) override {
        width = w;
        height = h;
    }
    int GetPageCount() const override { return rows; }
    void SetPageCount(int value) override { rows = value; }
    int ApplyScanParameters(BOOL sendArea) override {
        if (applyFails)
            return -1; // the window could not set the page's parameters (and has said so)
        g_bPageScanPending = TRUE;
        if (sendArea && g_LLD.DevMon_SetScanParameter(dpi, dpi, param.colorMode, 0, 0, width * 1200 / dpi,
                                                      height * 1200 / dpi, 128, 0) != 0)
            return -1;
        rows = 0;
        return 0;
    }
    void ShowScanError(int category, int code) override {
        if (category != 5 && code >= 0)
            return; // nothing to show, as the window decides
        NoteModal();
        errors.push_back(std::to_string(category) + " " + std::to_string(code));
    }
    void ShowErrorMessage(const WCHAR* text) override {
        NoteModal();
        errors.push_back(std::string(text, text + std::char_traits<char16_t>::length(text)));
    }
    void EnableMainWindow(BOOL value) override { enabled = value; }
    BOOL SetTopMost(BOOL value) override {
        topMost.push_back(value);
        return TRUE;
    }
    CScanProgress* GetScanProgress() override { return &progress; }
    // The manual-duplex note: what the user and the device do while it is up, then how it ended (IDOK: the device
    // closed it).
    INT_PTR RunManualDuplexNote() override {
        NoteModal();
        ++notes;
        return duplexNote ? duplexNote() : 1; // IDOK
    }
    void RestoreFrontRotation() override { ++rotationsRestored; }

    ScanParam param{};
    int dpi = 75;
    int width = 0;
    int height = 0;
    int rows = 0;
    BOOL busy = TRUE;
    BOOL enabled = FALSE;
    BOOL closeOnActivate = TRUE;
    bool applyFails = false;
    std::vector<BOOL> topMost; // each SetTopMost call
    std::vector<std::string> errors;
    RecordingProgress progress;
    std::function<INT_PTR()> duplexNote;
    int notes = 0;
    int rotationsRestored = 0; // the job's end gave the window its front rotation back
    // Dialogs shown while the engine still answered the application's calls.
    std::atomic<int> unguardedDialogs{0};

private:
    void NoteModal() {
        if (g_nModalEngineCalls.load() == 0)
            ++unguardedDialogs;
    }
};

// A page as the device renders it: rows top first, packed.
struct Page {
    int width = 0;
    int height = 0;
    int bpp = 0;
    std::vector<BYTE> rows;
    size_t RowBytes() const { return (static_cast<size_t>(width) * bpp + 7) / 8; }
    const BYTE* Row(int y) const { return rows.data() + RowBytes() * static_cast<size_t>(y); }
};

inline int BitsOf(int colour) {
    return colour == 0 ? 1 : colour == 1 ? 8 : 24;
}

// The flatbed page of that size from the bed's corner, as the simulated device scans it (the document turned by
// `skew` degrees as the control file's key turns it).
inline Page DevicePage(int colour, int dpi, int width, int height, double skew = 0) {
    scandrv::ScanSettings settings{dpi, dpi, colour, 0, 0, width * 1200 / dpi, height * 1200 / dpi, 128, 0};
    scandrv::Placement placement;
    placement.skewDegrees = skew;
    scandrv::RowRenderer renderer(settings, placement);
    renderer.SetPage(1, false);
    Page page{width, height, BitsOf(colour), {}};
    page.rows.resize(page.RowBytes() * height);
    for (int y = 0; y < height; ++y)
        renderer.Render(y, page.rows.data() + page.RowBytes() * y);
    return page;
}

// The page turned counter-clockwise by a right angle, as the rotation settings 2 (90), 3 (180) and 1 (270) give it.
inline Page Turned(const Page& page, int angle) {
    const bool quarter = angle != 180;
    Page out{quarter ? page.height : page.width, quarter ? page.width : page.height, page.bpp, {}};
    out.rows.assign(out.RowBytes() * out.height, 0);
    auto get = [&](int x, int y, int byte) -> int {
        if (page.bpp == 1)
            return (page.Row(y)[x / 8] >> (7 - x % 8)) & 1;
        return page.Row(y)[x * (page.bpp / 8) + byte];
    };
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            int sx = x, sy = y;
            if (angle == 90) { // the top edge becomes the left edge
                sx = page.width - 1 - y;
                sy = x;
            } else if (angle == 270) {
                sx = y;
                sy = page.height - 1 - x;
            } else {
                sx = page.width - 1 - x;
                sy = page.height - 1 - y;
            }
            BYTE* row = out.rows.data() + out.RowBytes() * y;
            if (page.bpp == 1) {
                if (get(sx, sy, 0))
                    row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            } else {
                for (int b = 0; b < page.bpp / 8; ++b)
                    row[x * (page.bpp / 8) + b] = static_cast<BYTE>(get(sx, sy, b));
            }
        }
    return out;
}

// Where the first difference of two pages lies, or "" when they are the same.
inline std::string FirstDifference(const Page& expected, const BYTE* rows, size_t stride, bool bottomUp = false,
                                   bool bgr = false) {
    const size_t rowBytes = expected.RowBytes();
    for (int y = 0; y < expected.height; ++y) {
        const BYTE* want = expected.Row(y);
        const BYTE* got = rows + stride * static_cast<size_t>(bottomUp ? expected.height - 1 - y : y);
        for (size_t i = 0; i < rowBytes; ++i) {
            const size_t from = bgr ? i - i % 3 + (2 - i % 3) : i;
            if (want[i] != got[from])
                return "row " + std::to_string(y) + " byte " + std::to_string(i) + ": " + std::to_string(want[i]) +
                       " expected, " + std::to_string(got[from]) + " found";
        }
    }
    return "";
}

// The files of C:\Temp, where scanned pages are kept.
inline std::vector<std::string> TempFiles(const std::string& root) {
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(root + "/Temp", ec), end; !ec && it != end; it.increment(ec))
        files.push_back(it->path().filename().string());
    return files;
}

class TransferTestRoot : public TwainTestRoot {
protected:
    void SetUp() override {
        TwainTestRoot::SetUp();
        // This program's own INI file (its name less the last 5 characters), so the engine finds the File Prefix.
        WCHAR ini[MAX_PATH] = {};
        GetIniPath(ini);
        std::ofstream(platform::path::ToHostPath(ini), std::ios::trunc) << m_ini;
        WriteControl("");
        platform::testing::SetDiskFreeSpace(100ULL << 30);
        g_b_devmon_close = TRUE;
        g_bScanStarted = FALSE;
        g_bPageScanPending = FALSE;
        g_bAutoCrop = FALSE;
        g_bAutoDeskew = FALSE;
        g_bKeepOpenAfterXfer = TRUE;
        testsupport::ResetCompanionNames(); // each test's assistor prefixes them anew
        m_assistor = std::make_unique<CDsAssistor>();
        m_colMsg.SetAssistor(m_assistor.get());
        m_app = MakeAppIdentity(21);
        TW_IDENTITY ds{};
        ds.Id = 22;
        TwainCall open{&m_app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds};
        ASSERT_EQ(m_assistor->ConnectApp(&open), TWRC_SUCCESS);
        m_assistor->SetState(500);
        m_window = std::make_unique<PageWindow>();
        ASSERT_EQ(g_LLD.LoadDriver(), 1) << "the simulated device beside the test program";
    }
    void TearDown() override {
        if (m_window) {
            EXPECT_EQ(m_window->unguardedDialogs.load(), 0) << "an error box or note left the engine open to calls";
        }
        m_window.reset();
        if (!g_b_devmon_close) {
            g_LLD.DevMon_Close();
            g_b_devmon_close = TRUE;
        }
        g_LLD.UnloadDriver();
        g_pDsAssistor = nullptr;
        m_assistor.reset();
        g_bPageScanPending = FALSE;
        g_bScanStarted = FALSE;
        platform::testing::SetDiskFreeSpace(std::nullopt);
        platform::testing::SetAllocationCap(std::nullopt);
        TwainTestRoot::TearDown();
    }

    // The device's control file, always with a journal of its calls.
    void WriteControl(const std::string& text) {
        scandrv_test::WriteControlFile(m_root, "journal = calls.log\n" + text);
    }
    std::vector<std::string> CallsOf(const std::string& entry) const {
        std::vector<std::string> found;
        std::ifstream in(m_root + "/calls.log");
        for (std::string line; std::getline(in, line);)
            if (line.rfind(entry + " ", 0) == 0)
                found.push_back(line);
        return found;
    }

    // What the scan road leaves for a flatbed page: the device open, the page's size and settings in the window, the
    // page waiting to be scanned and announced (state 600).
    void Announce(int colour, int dpi, int width, int height, int rotation = 0) {
        m_window->param.colorMode = colour;
        m_window->param.adv[16] = rotation;
        m_window->dpi = dpi;
        m_window->width = width;
        m_window->height = height;
        m_window->rows = 0;
        m_window->busy = TRUE;
        ASSERT_EQ(g_LLD.DevMon_Open("\\\\.\\Usbscan"), 0);
        g_b_devmon_close = FALSE;
        g_bScanStarted = FALSE;
        g_bPageScanPending = TRUE;
        m_assistor->NotifyXferReady();
        ASSERT_EQ(m_assistor->GetState(), 600);
    }

    TW_UINT16 Call(CMsgLib& handler, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        TwainCall call{&m_app, DG_IMAGE, dat, msg, data};
        return handler.Handle(&call);
    }
    TW_UINT16 Condition() {
        const TW_UINT16 code = m_assistor->GetConditionCode();
        m_assistor->SetConditionCode(TWCC_SUCCESS);
        return code;
    }
    // The device closed, the page and its temporary file gone.
    void ExpectJobClosed(const std::string& what) {
        EXPECT_TRUE(g_b_devmon_close) << what;
        EXPECT_FALSE(g_LLD.IsDeviceOpen()) << what;
        EXPECT_FALSE(m_assistor->HasPage()) << what;
        EXPECT_TRUE(TempFiles(m_root).empty()) << what;
    }

    ManagerRecorder m_manager;
    std::unique_ptr<CDsAssistor> m_assistor;
    CColMsg m_colMsg;
    TW_IDENTITY m_app{};
    std::unique_ptr<PageWindow> m_window;
};

} // namespace transfer_test
