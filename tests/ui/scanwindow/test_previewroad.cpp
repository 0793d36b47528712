// The preview road on the simulated device: the scan at 75 dpi in bands that the window paints as they arrive, the
// margins whitened, the display following the adjustments, and what a Cancel, a failing device or a thread that
// cannot be made leave behind: the blank page, a closed device and (for a failure) its error text.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CScanProgressDlg.h"

#include "twain/ScanProgress.h"
#include "twain/ScanState.h"

#include "scanner/PaperTables.h"
#include "scanner/ScanFlags.h"
#include "settings/PlatformFlags.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {

using namespace scanwindow_test;

constexpr int kPreviewButton = 20005;
constexpr int kClearPreview = 10311;
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The rows the window is told about, by every preview.
std::vector<int> g_reportedRows;
WNDPROC g_windowProc = nullptr;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PREVIEW_ROWS)
        g_reportedRows.push_back(static_cast<int>(wParam));
    return CallWindowProcW(g_windowProc, hwnd, msg, wParam, lParam);
}

// The percentages the progress dialog is sent, in order.
std::vector<int> g_percents;
WNDPROC g_progressProc = nullptr;

LRESULT CALLBACK RecordingProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SCAN_PROGRESS)
        g_percents.push_back(static_cast<int>(wParam));
    return CallWindowProcW(g_progressProc, hwnd, msg, wParam, lParam);
}

// A progress dialog that cannot start its worker, as when no thread can be made.
class PreviewRoadTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        ResetPaperListsForTesting();
        g_reportedRows.clear();
    }
    void TearDown() override {
        if (m_dialog && g_windowProc)
            SetWindowLongPtrW(m_dialog->m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_windowProc));
        g_windowProc = nullptr;
        m_dialog.reset();
        g_bHasA3 = FALSE;
        ResetPaperListsForTesting();
        ScanWindowTestRoot::TearDown();
    }

    CMainUIDialog& Create() {
        m_dialog = std::make_unique<CMainUIDialog>();
        EXPECT_TRUE(m_dialog->CreateModeless(nullptr));
        m_dialog->ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        g_windowProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(m_dialog->m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
        ClearDriverCalls();
        return *m_dialog;
    }
    // Every modal dialog but the progress dialog is recorded and closed; the progress dialog runs, and
    // `onProgress` (if any) acts on it once it is up.
    void Preview(const std::function<void(HWND)>& onProgress = nullptr) {
        m_onModal = [&](HWND dlg) {
            if (GetDlgItem(dlg, 10350) != nullptr && GetDlgItem(dlg, 10351) != nullptr) {
                ++m_progressRuns;
                if (onProgress)
                    onProgress(dlg);
                return;
            }
            RecordAndClose(dlg);
        };
        ut::Click(GetDlgItem(m_dialog->m_hWnd, kPreviewButton));
        ut::RunPendingMessages();
        m_onModal = nullptr;
    }
    // A pixel of the raw or display preview as COLORREF.
    static COLORREF Pixel(CImage& image, int x, int y) {
        const BYTE* p = image.GetBits() + (static_cast<size_t>(y) * image.GetWidth() + x) * 3;
        return RGB(p[0], p[1], p[2]);
    }
    COLORREF Raw(int x, int y) { return Pixel(m_dialog->m_imgPreview, x, y); }
    COLORREF Shown(int x, int y) { return Pixel(m_dialog->m_imgDisplay, x, y); }
    // What the preview control shows on the screen for image pixel (x, y), at the first zoom.
    COLORREF OnScreen(int x, int y) {
        CPreviewStatic& control = m_dialog->m_Preview;
        const CRect area = control.GetImageArea();
        CImage& image = m_dialog->m_imgDisplay;
        const int cx = area.left + (x * area.Width() + area.Width() / 2) / image.GetWidth();
        const int cy = area.top + (y * area.Height() + area.Height() / 2) / image.GetHeight();
        return ut::WindowPixel(control.m_hWnd, cx, cy);
    }
    bool ShowsBlankPage() { return m_dialog->m_imgPreview.GetWidth() == 730 && Raw(365, 456) != kWhite; }

    std::unique_ptr<CMainUIDialog> m_dialog;
    int m_progressRuns = 0;
};

bool IsDark(COLORREF c) {
    return GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80;
}

TEST_F(PreviewRoadTest, ThePreviewArrivesInBandsWithItsMarginsWhite) {
    Create();
    ASSERT_TRUE(ShowsBlankPage());
    Preview();
    EXPECT_EQ(m_progressRuns, 1);
    EXPECT_TRUE(m_modalTexts.empty());
    EXPECT_EQ(m_dialog->m_nPreviewResult, 0);
    EXPECT_EQ(m_dialog->m_bBusy, 0);
    EXPECT_TRUE(g_b_devmon_close);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(m_dialog->m_hWnd, kClearPreview)));
    EXPECT_EQ(DriverCalls(),
              (std::vector<std::string>{
                  "ScanDrv_SetResolution1200 0 -> 0", "ScanDrv_SetHorizontal 0 -> 0",
                  "ScanDrv_Open \\\\.\\Usbscan -> 0", "ScanDrv_SetScanParameter 75 75 3 0 0 10208 14032 127 0 -> 0",
                  "ScanDrv_StartScan -> 0", "ScanDrv_SetContinueFlag 0 -> 0", "ScanDrv_Close -> 0"}));

    ASSERT_EQ(m_dialog->m_imgPreview.GetWidth(), 638);
    ASSERT_EQ(m_dialog->m_imgPreview.GetHeight(), 877);
    EXPECT_EQ(m_dialog->m_nPreviewWidth, 638);
    EXPECT_EQ(m_dialog->m_nPreviewHeight, 877);
    // 43 bands of 20 rows and a last one of 17, after the first report of an empty picture.
    std::vector<int> bands = {0};
    for (int row = 19; row < 877; row += 20)
        bands.push_back(row);
    bands.push_back(876);
    EXPECT_EQ(g_reportedRows, bands);

    // The first six rows and the first four columns are white; the document's dark frame starts at one inch.
    for (int y : {0, 5})
        for (int x : {10, 300, 637})
            EXPECT_EQ(Raw(x, y), kWhite) << x << "," << y;
    for (int y : {6, 400, 876})
        EXPECT_EQ(Raw(3, y), kWhite) << y;
    EXPECT_TRUE(IsDark(Raw(76, 300))) << "the document's frame";
    // The red patch of the document, as read, as shown with the adjustments, and on the screen.
    EXPECT_EQ(Raw(132, 130), RGB(0xE6, 0x28, 0x28));
    const COLORREF red = Shown(132, 130);
    EXPECT_GT(GetRValue(red), 200);
    EXPECT_LT(GetGValue(red), 120);
    EXPECT_EQ(OnScreen(132, 130), red) << "the control shows the scan";
    EXPECT_EQ(OnScreen(300, 2), kWhite);
}

// While the first row is awaited the progress follows the mechanism's line (0 to 90 %); then the rows read take it
// from 90 to 100 %.
TEST_F(PreviewRoadTest, TheProgressFollowsTheMechanismUntilTheFirstRowThenTheRows) {
    // The mechanism takes 1.5 s for the page, while the first read waits 2.5 s: the polls see it scanning and done.
    WriteControl("page_ms = 1500\nstall = 1 0 2500\n");
    Create();
    g_percents.clear();
    Preview([](HWND progress) {
        g_progressProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(progress, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProgressProc)));
    });
    ASSERT_EQ(m_progressRuns, 1);
    EXPECT_EQ(m_dialog->m_nPreviewResult, 0);
    // The poller's last word (90), then the rows: 90 for the first, a step a tenth of the 877 rows up to 100.
    std::vector<int> rows = {90, 90};
    for (int p = 91; p <= 100; ++p)
        rows.push_back(p);
    ASSERT_GT(g_percents.size(), rows.size());
    const std::vector<int> tail(g_percents.end() - static_cast<long>(rows.size()), g_percents.end());
    EXPECT_EQ(tail, rows);
    const std::vector<int> polls(g_percents.begin(), g_percents.end() - static_cast<long>(rows.size()));
    ASSERT_FALSE(polls.empty()) << "the mechanism was polled before the first row";
    EXPECT_TRUE(std::is_sorted(polls.begin(), polls.end())) << "the line only goes forward";
    EXPECT_TRUE(std::any_of(polls.begin(), polls.end(), [](int p) { return p > 0 && p < 90; }))
        << "a poll saw the mechanism halfway through the page";
    EXPECT_EQ(polls.back(), 90) << "the mechanism done with the page shows 90 %";
}

TEST_F(PreviewRoadTest, AnA3ModelPreviewsItsWholeBed) {
    AddIni("HasA3(" + m_model + ")=TRUE\n");
    Create();
    Preview();
    EXPECT_EQ(CallsOf("ScanDrv_SetScanParameter"),
              (std::vector<std::string>{"ScanDrv_SetScanParameter 75 75 3 0 0 14032 19840 127 0 -> 0"}));
    EXPECT_EQ(m_dialog->m_imgPreview.GetWidth(), 877);
    EXPECT_EQ(m_dialog->m_imgPreview.GetHeight(), 1240);
    EXPECT_EQ(g_reportedRows.back(), 1239);
    EXPECT_EQ(g_reportedRows.size(), 1u + 62u) << "1240 rows are 62 bands";
}

TEST_F(PreviewRoadTest, ThePreviewFollowsTheAdjustments) {
    Create();
    Preview();
    // Find a saturated patch of the document: its pixel is strongly red, green or blue in the raw preview.
    int px = -1, py = -1;
    for (int y = 80; y < 870 && px < 0; y += 3)
        for (int x = 80; x < 630; x += 3) {
            const COLORREF c = Raw(x, y);
            if (GetRValue(c) > 150 && GetGValue(c) < 100 && GetBValue(c) < 100) {
                px = x, py = y;
                break;
            }
        }
    ASSERT_GE(px, 0) << "the document has a red patch";
    const COLORREF raw = Raw(px, py);
    EXPECT_GT(GetRValue(Shown(px, py)), GetGValue(Shown(px, py))) << "colour shows colour";

    CBasicSetting& basic = *m_dialog->m_pBasicSetting;
    auto chooseColour = [&](int index) {
        SendDlgItemMessageW(basic.m_hWnd, 10265, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        basic.SendMessage(WM_COMMAND, MAKEWPARAM(10265, CBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(GetDlgItem(basic.m_hWnd, 10265)));
        ut::RunPendingMessages();
    };
    chooseColour(1); // grey
    const COLORREF grey = Shown(px, py);
    EXPECT_EQ(GetRValue(grey), GetGValue(grey));
    EXPECT_EQ(GetGValue(grey), GetBValue(grey));
    EXPECT_EQ(OnScreen(px, py), grey) << "the control shows it at once";
    EXPECT_EQ(Raw(px, py), raw) << "the scan itself is kept";

    chooseColour(2); // black and white
    for (int y = 100; y < 800; y += 50)
        for (int x = 100; x < 600; x += 50) {
            const COLORREF c = Shown(x, y);
            EXPECT_TRUE(c == kWhite || c == RGB(0, 0, 0)) << x << "," << y;
        }
    m_dialog->m_ScanParam.adv[13] = 255;
    m_dialog->RefreshPreviewImage();
    EXPECT_EQ(Shown(px, py), RGB(0, 0, 0)) << "the threshold decides";

    chooseColour(0);
    EXPECT_EQ(Shown(px, py) == Raw(px, py), false) << "gamma 1.8 brightens the raw colour";
}

TEST_F(PreviewRoadTest, CancelBringsTheBlankPageBackWithoutAnError) {
    WriteControl("stall = 1 300 0\n"); // row 300 comes only when the scan is cancelled
    Create();
    ut::UseManualClock(true);
    Preview([&](HWND progress) {
        // The rows before the stall arrive and are painted; then the user cancels.
        for (int wait = 0; wait < 2000 && (g_reportedRows.empty() || g_reportedRows.back() < 299); ++wait) {
            ut::RunPendingMessages();
            usleep(5000);
        }
        ut::AdvanceClock(5000); // Cancel is allowed after four seconds
        ut::RunPendingMessages();
        ut::Click(GetDlgItem(progress, IDCANCEL));
        ut::RunPendingMessages();
    });
    EXPECT_EQ(m_progressRuns, 1);
    EXPECT_TRUE(m_modalTexts.empty()) << "a cancel is no error";
    EXPECT_NE(m_dialog->m_nPreviewResult, 0);
    EXPECT_TRUE(g_b_devmon_close);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u);
    EXPECT_EQ(m_dialog->m_bBusy, 0);
    EXPECT_TRUE(ShowsBlankPage());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(m_dialog->m_hWnd, kClearPreview)));
    EXPECT_EQ(g_reportedRows.back(), 299) << "the bands before the stall were shown";
}

TEST_F(PreviewRoadTest, AFailingDeviceIsReportedAndClosed) {
    struct Case {
        const char* fault;
        UINT text;
        bool started;
    };
    const Case cases[] = {
        {"fault = ScanDrv_ReadScanData 4 once 300\n", 1101, true}, // a device error in the middle
        {"fault = ScanDrv_SetScanParameter 18\n", 1152, false},    // settings the device refuses
        {"fault = ScanDrv_StartScan 3\n", 1104, false},            // busy with another job
    };
    for (const Case& c : cases) {
        WriteControl(c.fault);
        Create();
        m_modalTexts.clear();
        Preview();
        HoldLanguageLibrary();
        ASSERT_EQ(m_modalTexts.size(), 1u) << c.fault;
        EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(c.text))) << c.fault;
        EXPECT_LT(m_dialog->m_nPreviewResult, 0);
        EXPECT_TRUE(g_b_devmon_close) << "every failure closes the device once";
        EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u) << c.fault;
        EXPECT_EQ(CallsOf("ScanDrv_StartScan").size(), c.started ? 1u : (c.text == 1104 ? 1u : 0u)) << c.fault;
        EXPECT_EQ(m_dialog->m_bBusy, 0);
        EXPECT_TRUE(ShowsBlankPage()) << c.fault;
        m_dialog.reset();
        g_windowProc = nullptr;
    }
}

TEST_F(PreviewRoadTest, ADeviceThatCannotBeOpenedStartsNoPreview) {
    WriteControl("usb = 0\n");
    Create();
    Preview();
    EXPECT_EQ(m_progressRuns, 0);
    EXPECT_EQ(m_modalTexts.size(), 1u) << "the error of the open";
    EXPECT_EQ(m_dialog->m_bBusy, 0);
    EXPECT_TRUE(CallsOf("ScanDrv_SetScanParameter").empty());
    EXPECT_TRUE(ShowsBlankPage());
}

TEST_F(PreviewRoadTest, APreviewThreadThatCannotBeMadeShowsNoProgressAndClosesTheDevice) {
    Create();
    m_dialog->m_pScanProgressDlg = std::make_unique<NoThreadProgress>();
    Preview();
    EXPECT_EQ(m_progressRuns, 0) << "no dialog without its worker";
    HoldLanguageLibrary();
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_EQ(m_modalTexts[0], std::u16string(LoadResString(1105)));
    EXPECT_TRUE(g_b_devmon_close);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u);
    EXPECT_TRUE(CallsOf("ScanDrv_StartScan").empty());
    EXPECT_EQ(m_dialog->m_bBusy, 0);
    EXPECT_TRUE(ShowsBlankPage());
}

// Ends the test program with a message if the window's thread is not back within the time: a hang is the fault.
class HangGuard {
public:
    explicit HangGuard(const char* what) {
        m_thread = std::thread([this, what] {
            std::unique_lock lock(m_lock);
            if (!m_done.wait_for(lock, std::chrono::seconds(30), [this] { return m_finished; })) {
                std::fprintf(stderr, "%s: the window's thread never came back (deadlock)\n", what);
                std::_Exit(1);
            }
        });
    }
    ~HangGuard() {
        {
            std::lock_guard lock(m_lock);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

TEST_F(PreviewRoadTest, AProgressDialogThatEndsEarlyOrNeverComesUpLeavesThePreviewToFinish) {
    // The dialog goes before the preview thread has reported a row (as a dialog nobody answers is declined); the
    // device stalls a moment in the middle.
    WriteControl("stall = 1 50 300\n");
    Create();
    {
        HangGuard guard("a progress dialog ended early");
        Preview([](HWND progress) { EndDialog(progress, IDCANCEL); });
    }
    EXPECT_EQ(m_progressRuns, 1);
    EXPECT_TRUE(m_modalTexts.empty());
    EXPECT_EQ(m_dialog->m_nPreviewResult, 0);
    EXPECT_EQ(m_dialog->m_bBusy, 0);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u);
    EXPECT_FALSE(ShowsBlankPage());
    EXPECT_TRUE(IsDark(Raw(76, 300))) << "the page was read to its end";
    ASSERT_FALSE(g_reportedRows.empty());
    EXPECT_EQ(g_reportedRows.back(), 876) << "every band was still shown";
    m_dialog.reset();
    g_windowProc = nullptr;

    // A progress dialog whose layout cannot be loaded never comes up at all.
    class NoLayoutProgress : public CScanProgressDlg {
    public:
        NoLayoutProgress() { m_lpszTemplateName = MAKEINTRESOURCEW(4); }
    };
    WriteControl("");
    Create();
    g_reportedRows.clear();
    m_dialog->m_pScanProgressDlg = std::make_unique<NoLayoutProgress>();
    {
        HangGuard guard("a progress dialog without its layout");
        Preview();
    }
    EXPECT_EQ(m_progressRuns, 1) << "no second dialog came up";
    EXPECT_EQ(m_dialog->m_nPreviewResult, 0);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u);
    EXPECT_TRUE(IsDark(Raw(76, 300)));
    ASSERT_FALSE(g_reportedRows.empty());
    EXPECT_EQ(g_reportedRows.back(), 876);
}

TEST_F(PreviewRoadTest, AltPPreviewsFromTheWindowOnlyWhileItTakesInput) {
    Create();
    m_onModal = [&](HWND dlg) {
        if (GetDlgItem(dlg, 10350) != nullptr)
            ++m_progressRuns;
        else
            RecordAndClose(dlg);
    };
    m_dialog->EnableMainWindow(FALSE); // a dialog in front
    AltKey('P', m_dialog->m_hWnd);
    EXPECT_EQ(m_progressRuns, 0);
    EXPECT_TRUE(DriverCalls().empty());
    m_dialog->EnableMainWindow(TRUE);
    AltKey('P', GetDlgItem(m_dialog->m_hWnd, 20004)); // from the units list
    EXPECT_EQ(m_progressRuns, 1);
    EXPECT_EQ(m_dialog->m_nPreviewResult, 0);
    EXPECT_TRUE(g_b_devmon_close);
}

TEST_F(PreviewRoadTest, APreviewResetsTheViewAndAWhileBusyClickDoesNothing) {
    Create();
    ut::Click(GetDlgItem(m_dialog->m_hWnd, 10152)); // zoom-in tool
    m_dialog->m_Preview.ZoomIn(CPoint(100, 100));
    ASSERT_GT(m_dialog->m_Preview.GetZoom(), 1.0f);
    Preview();
    EXPECT_EQ(m_dialog->m_Preview.GetZoom(), 1.0f);
    EXPECT_EQ(m_dialog->m_Preview.GetToolMode(), kToolSelect);
    EXPECT_TRUE(m_dialog->m_btnSelect.IsPressedDisplay());

    ClearDriverCalls();
    m_dialog->m_bBusy = 1;
    Preview();
    EXPECT_EQ(m_progressRuns, 1) << "no second preview while busy";
    EXPECT_TRUE(DriverCalls().empty());
    m_dialog->m_bBusy = 0;
}

TEST_F(PreviewRoadTest, ClearingAsksFirstAndAFeederSourceShowsAWhitePage) {
    Create();
    Preview();
    ASSERT_FALSE(ShowsBlankPage());
    m_onModal = [&](HWND dlg) {
        m_modalTexts.push_back(TextOf(GetDlgItem(dlg, 10306)));
        EndDialog(dlg, IDCANCEL);
    };
    ut::AdvanceClock(1000);
    ut::Click(GetDlgItem(m_dialog->m_hWnd, kClearPreview));
    ut::RunPendingMessages();
    ASSERT_EQ(m_modalTexts.size(), 1u);
    EXPECT_FALSE(ShowsBlankPage()) << "Cancel keeps the preview";
    m_onModal = [&](HWND dlg) { EndDialog(dlg, IDOK); };
    m_dialog->ClearPreview(TRUE);
    EXPECT_TRUE(ShowsBlankPage());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(m_dialog->m_hWnd, kClearPreview)));

    m_dialog->m_ScanParam.source = 1;
    m_dialog->ResetPreviewImage();
    EXPECT_EQ(Raw(365, 456), kWhite);
    EXPECT_EQ(Raw(0, 0), kWhite);
    m_onModal = nullptr;
}

} // namespace
