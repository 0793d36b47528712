// The self test of app mode: the INI file's [Self Testing] section turns the Scan button into a series of scans on
// the simulated device, each handed to an application that transfers the page inside the notification, with the
// settings drawn at random when asked, the progress in the title and a countdown between the scans; a cancelled
// scan ends the series, and outside app mode the button scans once.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"

#include "tests/twain/recording_dsm/ManagerRecorder.h"

#include "twain/CMsgImageNativeXfer.h"
#include "twain/CMsgPendingXfer.h"
#include "twain/PageScan.h"

#include "scanner/ScanFlags.h"

#include <cstdlib>
#include <ctime>

namespace {

using namespace scanwindow_test;

constexpr int kProgressBar = 10349; // a control of the progress dialog

class SelfTestTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        ut::UseManualClock(true);
        g_bCancelScan = FALSE;
        std::filesystem::create_directories(m_root + "/Pictures");
        m_onModal = [this](HWND dlg) {
            if (GetDlgItem(dlg, kProgressBar) != nullptr) {
                if (m_inProgress)
                    m_inProgress(dlg);
                return; // it runs until the page is read
            }
            RecordAndClose(dlg);
        };
        m_manager.OnXferReady(&SelfTestTest::Application, this);
    }
    void TearDown() override {
        m_manager.OnXferReady(nullptr, nullptr);
        m_dialog.reset();
        g_bCancelScan = FALSE;
        s_titles = nullptr;
        ScanWindowTestRoot::TearDown();
    }

    void SelfTesting(const std::string& lines) { AddIni("[Self Testing]\n" + lines); }

    // A window with small grey pages (A6 at 75 dpi) that records every title it is given.
    CMainUIDialog& Create(BOOL appMode) {
        g_bAppMode = appMode;
        m_dialog = std::make_unique<CMainUIDialog>();
        EXPECT_TRUE(m_dialog->CreateModeless(nullptr));
        m_dialog->ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        ScanParam& p = m_dialog->m_ScanParam;
        p.source = 0;
        p.colorMode = 1;
        p.resolution = 0;
        p.paperSize = 2;
        m_title = TextOf(m_dialog->m_hWnd);
        s_titles = &m_titles;
        s_windowProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(m_dialog->m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordTitle)));
        ClearDriverCalls();
        return *m_dialog;
    }
    void ClickScan() {
        ut::AdvanceClock(1000);
        ut::Click(GetDlgItem(m_dialog->m_hWnd, 20006));
        ut::RunPendingMessages();
    }

    // The application: each announced page is transferred at once (or the job reset), before the notification
    // returns, as the window's thread is busy with the series until it ends.
    static void Application(void* context) {
        auto* self = static_cast<SelfTestTest*>(context);
        self->m_announced.push_back(TextOf(self->m_dialog->m_hWnd));
        const ScanParam& p = self->m_dialog->m_ScanParam;
        self->m_settings.push_back({p.colorMode, p.resolution, p.paperSize});
        TW_PENDINGXFERS pending{};
        if (self->m_resetJobs) {
            TwainCall reset{nullptr, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending};
            self->m_pending.Handle(&reset);
            return;
        }
        TW_HANDLE dib = nullptr;
        TwainCall xfer{nullptr, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib};
        const TW_UINT16 rc = self->m_nativeXfer.Handle(&xfer);
        self->m_results.push_back(rc);
        if (dib != nullptr)
            GlobalFree(dib);
        if (rc == TWRC_XFERDONE) {
            TwainCall end{nullptr, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending};
            self->m_pending.Handle(&end);
        }
    }
    static LRESULT CALLBACK RecordTitle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_SETTEXT && s_titles != nullptr)
            s_titles->emplace_back(reinterpret_cast<const WCHAR*>(lParam));
        return CallWindowProcW(s_windowProc, hwnd, msg, wParam, lParam);
    }

    // The titles the series showed, without the window's own.
    std::vector<std::u16string> SeriesTitles() const {
        std::vector<std::u16string> titles;
        for (const std::u16string& title : m_titles)
            if (title != m_title)
                titles.push_back(title);
        return titles;
    }
    std::u16string Title(const std::string& rest) const { return m_title + Wide(rest); }
    // The calls of those entry points, in order, each by its name.
    std::vector<std::string> Entries(const std::vector<std::string>& entries) const {
        std::vector<std::string> found;
        for (const std::string& line : DriverCalls())
            for (const std::string& entry : entries)
                if (line.rfind(entry + " ", 0) == 0)
                    found.push_back(entry);
        return found;
    }
    int SelfTestingLines() {
        int n = 0;
        for (const std::u16string& line : m_debug.Lines())
            n += line.rfind(u"OnBnClickedScan: self testing: ", 0) == 0 ? 1 : 0;
        return n;
    }

    struct Drawn {
        int colour, resolution, paper;
    };

    transfer_test::ManagerRecorder m_manager;
    CMsgImageNativeXfer m_nativeXfer;
    CMsgPendingXfer m_pending;
    std::unique_ptr<CMainUIDialog> m_dialog;
    std::function<void(HWND)> m_inProgress;
    bool m_resetJobs = false;
    std::vector<std::u16string> m_announced; // the title at each announced page
    std::vector<Drawn> m_settings;           // the settings of each announced page
    std::vector<TW_UINT16> m_results;
    std::u16string m_title;
    std::vector<std::u16string> m_titles;
    // The window's own procedure, under the one that records its titles.
    static WNDPROC s_windowProc;
    static std::vector<std::u16string>* s_titles;
};
WNDPROC SelfTestTest::s_windowProc = nullptr;
std::vector<std::u16string>* SelfTestTest::s_titles = nullptr;

TEST_F(SelfTestTest, TheScanButtonRunsTheSeriesOfScans) {
    SelfTesting("Testing Enable=TRUE\nTesting Count=3\nTesting Seconds=0\n");
    CMainUIDialog& dialog = Create(TRUE);
    ClickScan();
    EXPECT_EQ(m_results, (std::vector<TW_UINT16>{TWRC_XFERDONE, TWRC_XFERDONE, TWRC_XFERDONE}));
    EXPECT_EQ(m_announced, (std::vector<std::u16string>{Title(": Scanned 1 / 3"), Title(": Scanned 2 / 3"),
                                                        Title(": Scanned 3 / 3")}))
        << "each scan starts under its number";
    EXPECT_EQ(TextOf(dialog.m_hWnd), m_title) << "the title is put back";
    const std::vector<std::string> job = {"ScanDrv_Open", "ScanDrv_SetScanParameter", "ScanDrv_StartScan",
                                          "ScanDrv_Close"};
    std::vector<std::string> series;
    for (int i = 0; i < 3; ++i)
        series.insert(series.end(), job.begin(), job.end());
    EXPECT_EQ(Entries(job), series) << "three whole jobs, one after the other";
    EXPECT_EQ(CallsOf("ScanDrv_SetScanParameter").front(), CallsOf("ScanDrv_SetScanParameter").back())
        << "without random settings every scan is the same";
    EXPECT_EQ(SelfTestingLines(), 2) << "a line after each countdown, none after the last scan";
    EXPECT_TRUE(g_b_devmon_close);
    EXPECT_FALSE(dialog.m_bBusy);
    EXPECT_TRUE(m_modalTexts.empty());
}

TEST_F(SelfTestTest, RandomSettingsAndTheCountdownBetweenScans) {
    SelfTesting("Testing Enable=TRUE\nColor Random=TRUE\nResolution Random=TRUE\nPaper Random=TRUE\n"
                "Testing Count=2\nTesting Seconds=1\n");
    m_resetJobs = true; // the drawn settings may be large pages: the application takes none of them
    CMainUIDialog& dialog = Create(TRUE);
    const std::time_t before = std::time(nullptr);
    ClickScan();
    const std::time_t after = std::time(nullptr);

    EXPECT_EQ(SeriesTitles(),
              (std::vector<std::u16string>{Title(": Scanned 1 / 2"), Title(": Scanned 1 / 2, 1 seconds next scan"),
                                           Title(": Scanned 2 / 2")}));
    EXPECT_EQ(TextOf(dialog.m_hWnd), m_title);
    ASSERT_EQ(m_settings.size(), 2u);
    EXPECT_EQ(CallsOf("ScanDrv_Open").size(), 2u);
    for (const Drawn& drawn : m_settings) {
        // Each value is the first number of the generator seeded with the time of the draw.
        bool explained = false;
        for (std::time_t t = before; t <= after && !explained; ++t) {
            std::srand(static_cast<unsigned>(t));
            const int first = std::rand();
            explained = drawn.colour == first % 3 && drawn.resolution == first % 5 && drawn.paper == first % 5;
        }
        EXPECT_TRUE(explained) << drawn.colour << " " << drawn.resolution << " " << drawn.paper;
    }
    const ScanParam& p = dialog.m_ScanParam;
    EXPECT_EQ(dialog.m_pBasicSetting->m_cmbColorMode.GetCurSel(), 2 - p.colorMode) << "the page shows the draw";
    EXPECT_EQ(SelfTestingLines(), 1);
    const std::u16string line = u"OnBnClickedScan: self testing: Scanned 1 / 2, iColorMode = " +
                                Wide(std::to_string(m_settings[0].colour)) + u", iResolution = " +
                                Wide(std::to_string(m_settings[0].resolution)) + u", iScansize = " +
                                Wide(std::to_string(m_settings[0].paper));
    EXPECT_TRUE(DebugHas(line));
}

TEST_F(SelfTestTest, ACancelledScanEndsTheSeries) {
    SelfTesting("Testing Enable=TRUE\nTesting Count=3\nTesting Seconds=0\n");
    WriteControl("stall = 1 20 0\n");
    m_inProgress = [](HWND dlg) {
        ut::AdvanceClock(5000); // Cancel is taken once the page's start-up time has passed
        ut::RunPendingMessages();
        for (int i = 0; i < 1000 && !g_bFirstRowRead; ++i)
            Sleep(2);
        Sleep(50);
        ut::Click(GetDlgItem(dlg, IDCANCEL));
    };
    CMainUIDialog& dialog = Create(TRUE);
    ClickScan();
    EXPECT_EQ(m_results, std::vector<TW_UINT16>{TWRC_CANCEL});
    EXPECT_EQ(CallsOf("ScanDrv_Open").size(), 1u) << "no scan after the cancelled one";
    EXPECT_EQ(TextOf(dialog.m_hWnd), m_title);
    EXPECT_EQ(SelfTestingLines(), 0);
}

TEST_F(SelfTestTest, OnlyAnExactTrueInAppModeStartsTheSeries) {
    SelfTesting("Testing Enable=TRUE\nTesting Count=3\nTesting Seconds=0\n");
    Create(FALSE);
    ClickScan();
    EXPECT_EQ(m_results.size(), 1u) << "outside app mode the button scans once";
    EXPECT_EQ(m_announced, std::vector<std::u16string>{m_title});
    m_dialog.reset();

    m_iniText.replace(m_iniText.find("Testing Enable=TRUE"), 19, "Testing Enable=true");
    WriteIni();
    m_results.clear();
    m_announced.clear();
    Create(TRUE);
    ClickScan();
    EXPECT_EQ(m_results.size(), 1u) << "\"true\" is not \"TRUE\"";
    EXPECT_EQ(m_announced, std::vector<std::u16string>{m_title});
    m_dialog.reset();

    m_iniText.replace(m_iniText.find("Testing Enable=true"), 19, "Testing Enable=TRUE");
    m_iniText.replace(m_iniText.find("Testing Count=3"), 15, "Testing Count=1");
    m_iniText.replace(m_iniText.find("Testing Seconds=0"), 17, "Testing Seconds=5");
    WriteIni();
    m_results.clear();
    Create(TRUE);
    ClickScan();
    EXPECT_EQ(m_results.size(), 1u);
    EXPECT_EQ(SeriesTitles(), std::vector<std::u16string>{Title(": Scanned 1 / 1")}) << "one scan, no countdown";
}

} // namespace
