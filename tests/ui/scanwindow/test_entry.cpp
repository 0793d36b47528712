// The scanning window of the staged data source, as an imaging application meets it through the data source
// manager: enabled with its window in each language, scanning with the simulated device, its keys through its own
// message hook in the application's loop, and every road that closes it.
#include "ScanWindowTestSupport.h"

#include "platform/twain/twain.h"

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace scanwindow_test;

// The callback may come from a thread of the source: the list is guarded, and a waiting application wakes on it.
std::vector<TW_UINT16> g_notifications;
std::mutex g_notifyLock;
std::condition_variable g_notified;

TW_UINT16 AppCallback(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16 msg, TW_MEMREF) {
    std::lock_guard lock(g_notifyLock);
    g_notifications.push_back(msg);
    g_notified.notify_all();
    return TWRC_SUCCESS;
}

std::string StageDir() {
    const char* dir = std::getenv("STAGE_DIR");
    return dir != nullptr ? dir : "";
}

// The source's window: the largest visible top-level window of this thread.
HWND SourceWindow() {
    return ut::LargestThreadWindow();
}

class EntryTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        g_notifications.clear();
        // This thread is an application with a message loop, which gives the source's window its turns through
        // MSG_PROCESSEVENT.
        IsGUIThread(TRUE);
        // The model folder of the manager's data sources: the module with its companions.
        const std::string model = m_root + "/twain/kvx7731";
        std::filesystem::create_directories(model);
        for (const auto& file : std::filesystem::directory_iterator(StageDir() + "/twain/kvx7731"))
            if (file.is_regular_file())
                std::filesystem::copy_file(file.path(), model + "/" + file.path().filename().string());
        std::ofstream(m_root + "/Windows/Scanner.ini")
            << "[TWAIN]\nFile Prefix=kvx\nRegistry=Software\\Korvel\\KVX7731\nSetting Path=\\Korvel\\\n"
               "Product Name(kvx7731)=KVX 7731\nHasADF(kvx7731)=TRUE\n";
        setenv("TWAIN_DS_PATH", (m_root + "/twain").c_str(), 1);
        m_windowsBefore = ThreadWindowCount();
        m_dsm = dlopen((StageDir() + "/lib/libtwaindsm_standin.so").c_str(), RTLD_LAZY);
        ASSERT_NE(m_dsm, nullptr) << dlerror();
        m_entry = reinterpret_cast<DSMENTRYPROC>(dlsym(m_dsm, "DSM_Entry"));
        ASSERT_NE(m_entry, nullptr);
        m_app.ProtocolMajor = 2;
        m_app.ProtocolMinor = 4;
        m_app.SupportedGroups = DG_CONTROL | DG_IMAGE;
        std::strcpy(m_app.ProductName, "scanning window test");
        TW_HANDLE parent = nullptr;
        ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
        ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_source), TWRC_SUCCESS);
        TW_CALLBACK2 callback{reinterpret_cast<TW_MEMREF>(&AppCallback), 0, 0};
        ASSERT_EQ(Dsm(&m_source, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);
        ClearDriverCalls();
    }
    void TearDown() override {
        if (m_entry != nullptr) {
            TW_USERINTERFACE ui{};
            Dsm(&m_source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
            Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source);
            TW_HANDLE parent = nullptr;
            Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
        }
        if (m_dsm != nullptr)
            dlclose(m_dsm);
        unsetenv("TWAIN_DS_PATH");
        ScanWindowTestRoot::TearDown();
    }

    TW_UINT16 Dsm(pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return m_entry(&m_app, dest, dg, dat, msg, data);
    }
    TW_UINT16 Enable(bool showUI) {
        TW_USERINTERFACE ui{static_cast<TW_BOOL>(showUI ? 1 : 0), 0, nullptr};
        return Dsm(&m_source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }
    // The custom capability 0x8123 on: the source runs in app mode.
    TW_UINT16 SetAppMode() {
        auto* container = static_cast<TW_ONEVALUE*>(std::malloc(sizeof(TW_ONEVALUE)));
        *container = TW_ONEVALUE{TWTY_BOOL, 1};
        TW_CAPABILITY cap{0x8123, TWON_ONEVALUE, container};
        const TW_UINT16 rc = Dsm(&m_source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
        std::free(container);
        return rc;
    }
    TW_UINT16 Disable() {
        TW_USERINTERFACE ui{};
        return Dsm(&m_source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    // The application's loop gives the source its turn.
    void ProcessEvent() {
        MSG msg{};
        TW_EVENT event{&msg, 0};
        Dsm(&m_source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    }
    bool Notified(TW_UINT16 msg) const {
        std::lock_guard lock(g_notifyLock);
        return std::find(g_notifications.begin(), g_notifications.end(), msg) != g_notifications.end();
    }
    TW_UINT16 ConditionCode() {
        TW_STATUS status{};
        Dsm(&m_source, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }

    void* m_dsm = nullptr;
    DSMENTRYPROC m_entry = nullptr;
    TW_IDENTITY m_app{};
    TW_IDENTITY m_source{};
    int m_windowsBefore = 0;
};

TEST_F(EntryTest, TheWindowInEachLanguage) {
    struct Case {
        const WCHAR* registryName;
        const char* code;
        std::u16string title, scan;
    };
    const Case cases[] = {{u"English", "enus", u"KVX 7731 TWAIN (USB)", u"Scan"},
                          {u"Simplified_Chinese", "zhcn", u"KVX 7731 TWAIN (USB)", u"扫描"},
                          {u"Hebrew", "he", u"(KVX 7731 TWAIN (USB", u"סריקה"},
                          // The user changed back: the next window reads left to right again.
                          {u"English", "enus", u"KVX 7731 TWAIN (USB)", u"Scan"}};
    for (const Case& c : cases) {
        SetLanguage(c.registryName);
        ASSERT_EQ(Enable(true), TWRC_SUCCESS) << c.code;
        ProcessEvent();
        HWND window = SourceWindow();
        ASSERT_NE(window, nullptr) << c.code;
        ut::RunPendingMessages();
        EXPECT_EQ(TextOf(window), c.title) << c.code;
        EXPECT_EQ(TextOf(GetDlgItem(window, 20006)), c.scan) << c.code;
        RECT preview{}, settings{};
        GetWindowRect(GetDlgItem(window, 10139), &preview);
        GetWindowRect(GetDlgItem(window, 10342), &settings);
        EXPECT_EQ(preview.left > settings.left, std::string(c.code) == "he") << "Hebrew is mirrored";
        ASSERT_EQ(Disable(), TWRC_SUCCESS);
        EXPECT_FALSE(IsWindow(window));
    }
}

TEST_F(EntryTest, ScanAnnouncesThePageWithTheDeviceOpen) {
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    HWND window = SourceWindow();
    ASSERT_NE(window, nullptr);
    ut::Click(GetDlgItem(window, 20006));
    ProcessEvent();
    EXPECT_TRUE(Notified(MSG_XFERREADY));
    EXPECT_EQ(CallsOf("ScanDrv_Open"), std::vector<std::string>{"ScanDrv_Open \\\\.\\Usbscan -> 0"});
    EXPECT_TRUE(CallsOf("ScanDrv_Close").empty()) << "the device stays open for the transfer";

    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u) << "disabling closes it";
    EXPECT_EQ(ThreadWindowCount(), m_windowsBefore) << "no window (nor tooltip) is left";
}

TEST_F(EntryTest, AltSScansInTheApplicationsLoop) {
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    HWND window = SourceWindow();
    ASSERT_NE(window, nullptr);
    HWND units = GetDlgItem(window, 20004);
    SetFocus(units);
    ut::SetKeyState(VK_MENU, true);
    ut::SetKeyState('S', true);
    PostMessageW(units, WM_SYSKEYDOWN, 'S', 0x20000000);
    ProcessEvent();
    ut::SetKeyState('S', false);
    ut::SetKeyState(VK_MENU, false);
    EXPECT_TRUE(Notified(MSG_XFERREADY));
}

TEST_F(EntryTest, WithoutItsWindowTheSourceScansAtOnce) {
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    EXPECT_TRUE(Notified(MSG_XFERREADY));
    EXPECT_EQ(CallsOf("ScanDrv_Open").size(), 1u);
}

// Without a usable INI file there is no driver and no language to be found: the enable is refused with one box that
// names the file, readable without any language library, in place of a window of "Load String Error!".
TEST_F(EntryTest, AnUnusableIniFileIsNamedOnceAndTheEnableRefused) {
    const std::string ini = m_root + "/Windows/Scanner.ini";
    std::ifstream in(ini);
    const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    struct Box {
        std::u16string caption, text, button;
    };
    std::vector<Box> boxes;
    m_onModal = [&](HWND dlg) {
        boxes.push_back({TextOf(dlg), TextOf(GetDlgItem(dlg, 10306)), TextOf(GetDlgItem(dlg, IDOK))});
        EndDialog(dlg, IDOK);
    };
    const std::pair<const char*, std::string> cases[] = {
        {"missing", ""},
        {"empty", ""},
        {"not an INI file", std::string("\x89PNG\r\n\x1a\n\0\0garbage")},
        {"without its File Prefix", "[TWAIN]\nVersion=1.0.0.1\n"}};
    for (const auto& [what, content] : cases) {
        SCOPED_TRACE(what);
        std::filesystem::remove(ini);
        if (std::string(what) != "missing")
            std::ofstream(ini, std::ios::binary) << content;
        boxes.clear();
        for (bool showUI : {true, false}) {
            EXPECT_EQ(Enable(showUI), TWRC_FAILURE);
            TW_STATUS status{};
            Dsm(&m_source, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
            EXPECT_EQ(status.ConditionCode, TWCC_BUMMER) << "the source could not start; no shortage of memory";
        }
        ASSERT_EQ(boxes.size(), 2u) << "one box for each enable";
        for (const Box& box : boxes) {
            EXPECT_EQ(box.caption, u"Error");
            EXPECT_EQ(box.text, u"The scanner's settings file C:\\Windows\\Scanner.ini is missing or damaged. Install "
                                u"the scanner software again.");
            EXPECT_EQ(box.button, u"OK");
        }
        EXPECT_EQ(SourceWindow(), nullptr) << "no window";
        EXPECT_TRUE(CallsOf("ScanDrv_Open").empty());
    }
    std::ofstream(ini, std::ios::trunc) << good;
    m_onModal = nullptr;
    ASSERT_EQ(Enable(false), TWRC_SUCCESS) << "the INI file back, the source scans";
    EXPECT_TRUE(Notified(MSG_XFERREADY));
}

TEST_F(EntryTest, CloseAndTheCloseBoxAskTheApplicationDisableEndsTheWindow) {
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    HWND window = SourceWindow();
    ASSERT_NE(window, nullptr);
    ut::Click(GetDlgItem(window, 20007));
    ProcessEvent();
    EXPECT_EQ(std::count(g_notifications.begin(), g_notifications.end(), MSG_CLOSEDSREQ), 1);
    PostMessageW(window, WM_CLOSE, 0, 0);
    ProcessEvent();
    EXPECT_EQ(std::count(g_notifications.begin(), g_notifications.end(), MSG_CLOSEDSREQ), 2);
    EXPECT_TRUE(IsWindow(window)) << "until the application disables";
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ThreadWindowCount(), m_windowsBefore);
}

TEST_F(EntryTest, InAppModeTheNextEnablesWindowScansToo) {
    ASSERT_EQ(SetAppMode(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    HWND first = SourceWindow();
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    HWND window = SourceWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_NE(window, first);
    EXPECT_FALSE(IsWindow(first)) << "the new window replaces the old one";
    ut::Click(GetDlgItem(window, 20006));
    ProcessEvent();
    EXPECT_TRUE(m_modalTexts.empty()) << (m_modalTexts.empty() ? "" : platform::ToUtf8(m_modalTexts[0]));
    EXPECT_TRUE(Notified(MSG_XFERREADY)) << "the old window's end leaves the driver to the new one";
    EXPECT_EQ(CallsOf("ScanDrv_Open").size(), 1u);
}

TEST_F(EntryTest, InAppModeTheWindowOutlivesDisableAndGoesWithTheSource) {
    ASSERT_EQ(SetAppMode(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    HWND window = SourceWindow();
    ASSERT_NE(window, nullptr);
    WCHAR className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_EQ(std::u16string(className), u"Z7731IDAVEV");
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_TRUE(IsWindow(window)) << "app mode keeps the window";
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source), TWRC_SUCCESS);
    TW_HANDLE parent = nullptr;
    Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
    dlclose(m_dsm); // the manager, and with it the source, leave the process
    m_dsm = nullptr;
    m_entry = nullptr;
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ThreadWindowCount(), m_windowsBefore);
}

// A dialog of the window is up and returns into it: the application's disable or close would destroy the window
// underneath it, so both are refused until the dialog is gone.
TEST_F(EntryTest, DisableAndCloseWaitWhileADialogOfTheWindowIsUp) {
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    HWND window = SourceWindow();
    ASSERT_NE(window, nullptr);
    bool aboutSeen = false;
    m_onModal = [&](HWND dlg) {
        // The application's loop runs while the About box is up (its timers, its own windows): it asks now.
        aboutSeen = true;
        EXPECT_EQ(Disable(), TWRC_FAILURE) << "disabled under the About box";
        EXPECT_EQ(ConditionCode(), TWCC_SEQERROR);
        EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source), TWRC_FAILURE);
        EXPECT_EQ(ConditionCode(), TWCC_SEQERROR);
        EXPECT_TRUE(IsWindow(window));
        EndDialog(dlg, IDOK);
    };
    ut::Click(GetDlgItem(window, 20001));
    ProcessEvent();
    ASSERT_TRUE(aboutSeen) << "the About box did not come up";
    EXPECT_TRUE(IsWindowEnabled(window)) << "the window is given back after the box";
    ASSERT_EQ(Disable(), TWRC_SUCCESS) << "once the box is gone";
    EXPECT_FALSE(IsWindow(window));
}

// An application that enables the source with its window and then only waits for the manager's callback, never
// calling the source meanwhile (as Linux imaging applications do). Its thread has no message queue, so the source
// runs the window on a thread of its own; the person at the window is this test's thread, clicking through the
// window layer's input.
class WaitingHostTest : public EntryTest {
protected:
    void SetUp() override {
        EntryTest::SetUp();
        m_threadsBefore = ThreadCount();
        // Progress windows are left to their workers; any other box is recorded and closed.
        m_onModal = [this](HWND dlg) {
            if (!ShowsProgress(dlg))
                RecordAndClose(dlg);
        };
    }
    void TearDown() override {
        if (m_host.joinable())
            m_host.join();
        EntryTest::TearDown();
    }

    static bool ShowsProgress(HWND dlg) {
        bool found = false;
        EnumChildWindows(
            dlg,
            [](HWND child, LPARAM data) {
                WCHAR name[64] = {};
                GetClassNameW(child, name, 64);
                if (std::u16string(name) == u"msctls_progress32")
                    *reinterpret_cast<bool*>(data) = true;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    static int ThreadCount() {
        int count = 0;
        for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
            ++count;
        return count;
    }
    // Runs the application's side on a thread that has never touched the window layer.
    void RunHost(std::function<void()> script) { m_host = std::thread(std::move(script)); }
    void JoinHost() { m_host.join(); }

    // What the application's semaphore does: sleeps until the callback has brought `msg` `times` times (30 s at
    // most).
    static bool WaitFor(TW_UINT16 msg, int times = 1) {
        std::unique_lock lock(g_notifyLock);
        return g_notified.wait_for(lock, std::chrono::seconds(30), [&] {
            return std::count(g_notifications.begin(), g_notifications.end(), msg) >= times;
        });
    }
    // On the application's thread: enables with the window; from then on the application only waits.
    TW_UINT16 EnableAndWait() {
        const TW_UINT16 rc = Enable(true);
        m_hostWaits = true;
        return rc;
    }
    // The shown scanning window, wherever its thread is, once the application waits (10 s at most).
    HWND WaitForWindow() const {
        for (int i = 0; i < 1000; ++i) {
            HWND window = FindWindowW(nullptr, u"KVX 7731 TWAIN (USB)");
            if (m_hostWaits && window != nullptr && IsWindowVisible(window))
                return window;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return nullptr;
    }
    // Until the window takes input again (a preview's progress window disables it), 30 s at most.
    static bool WaitUntilEnabled(HWND window) {
        for (int i = 0; i < 3000; ++i) {
            if (IsWindowEnabled(window) && IsWindowEnabled(GetDlgItem(window, 20006)))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The application's transfer of the announced page by memory, from its own thread: every row of the page in
    // buffers of the size the source prefers. Answers the rows received.
    int TransferByMemory(TW_IMAGEINFO& info) {
        if (Dsm(&m_source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) != TWRC_SUCCESS)
            return -1;
        TW_SETUPMEMXFER setup{};
        if (Dsm(&m_source, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup) != TWRC_SUCCESS)
            return -1;
        std::vector<BYTE> buffer(setup.Preferred);
        int rows = 0;
        for (int pieces = 0; pieces < 100000; ++pieces) {
            TW_IMAGEMEMXFER xfer{};
            xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
            xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
            xfer.Memory.TheMem = buffer.data();
            const TW_UINT16 rc = Dsm(&m_source, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
            if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE)
                return -1;
            if (xfer.XOffset == 0)
                rows += static_cast<int>(xfer.Rows);
            if (rc == TWRC_XFERDONE)
                return rows;
        }
        return -1;
    }
    // Disables and closes from the application's thread, as it does on MSG_CLOSEDSREQ or after its pages.
    void DisableAndClose() {
        EXPECT_EQ(Disable(), TWRC_SUCCESS);
        EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source), TWRC_SUCCESS);
    }
    void ExpectNothingLeft(HWND window) {
        EXPECT_FALSE(IsWindow(window)) << "the window outlived the close";
        EXPECT_EQ(ThreadCount(), m_threadsBefore) << "a thread of the source outlived the close";
        EXPECT_TRUE(m_modalTexts.empty()) << (m_modalTexts.empty() ? "" : platform::ToUtf8(m_modalTexts[0]));
    }

    std::thread m_host;
    std::atomic<bool> m_hostWaits{false};
    int m_threadsBefore = 0;
};

TEST_F(WaitingHostTest, ScanReachesTheApplicationThatOnlyWaits) {
    TW_IMAGEINFO info{};
    int rows = -1;
    TW_UINT16 enabled = TWRC_FAILURE;
    bool announced = false;
    RunHost([&] {
        enabled = EnableAndWait();
        if (enabled != TWRC_SUCCESS)
            return;
        announced = WaitFor(MSG_XFERREADY);
        if (!announced)
            return;
        rows = TransferByMemory(info);
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(Dsm(&m_source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
        EXPECT_EQ(pending.Count, 0);
        DisableAndClose();
    });
    HWND window = WaitForWindow();
    ASSERT_NE(window, nullptr) << "the window did not come up";
    EXPECT_NE(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
    ut::Click(GetDlgItem(window, 20006)); // Scan
    JoinHost();
    ASSERT_EQ(enabled, TWRC_SUCCESS);
    ASSERT_TRUE(announced) << "Scan announced no page to the waiting application";
    EXPECT_GT(info.ImageLength, 0);
    EXPECT_EQ(rows, info.ImageLength) << "the page's rows by memory transfer";
    EXPECT_EQ(CallsOf("ScanDrv_Open").size(), 1u);
    EXPECT_EQ(CallsOf("ScanDrv_Close").size(), 1u) << "the job closes the device";
    ExpectNothingLeft(window);
}

// The scan without the window runs on the application's thread and leaves a message queue there that is the
// source's, not the application's: its next enable with the window still gets the window thread.
TEST_F(WaitingHostTest, AfterAScanWithoutTheWindowTheWindowStillRunsForTheApplicationThatOnlyWaits) {
    TW_IMAGEINFO info{};
    int windowlessRows = -1, rows = -1;
    RunHost([&] {
        ASSERT_EQ(Enable(false), TWRC_SUCCESS);
        ASSERT_TRUE(WaitFor(MSG_XFERREADY)) << "without the window the page is announced at once";
        windowlessRows = TransferByMemory(info);
        TW_PENDINGXFERS pending{};
        Dsm(&m_source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        EXPECT_EQ(Disable(), TWRC_SUCCESS);
        ASSERT_EQ(EnableAndWait(), TWRC_SUCCESS);
        if (WaitFor(MSG_XFERREADY, 2))
            rows = TransferByMemory(info);
        Dsm(&m_source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        DisableAndClose();
    });
    HWND window = WaitForWindow();
    ASSERT_NE(window, nullptr) << "the window did not come up";
    ut::Click(GetDlgItem(window, 20006)); // Scan
    JoinHost();
    EXPECT_GT(windowlessRows, 0);
    EXPECT_EQ(rows, info.ImageLength) << "Scan announced no page to the waiting application";
    ExpectNothingLeft(window);
}

TEST_F(WaitingHostTest, CloseAsksTheWaitingApplicationToCloseTheSource) {
    bool asked = false;
    RunHost([&] {
        ASSERT_EQ(EnableAndWait(), TWRC_SUCCESS);
        asked = WaitFor(MSG_CLOSEDSREQ);
        DisableAndClose();
    });
    HWND window = WaitForWindow();
    ASSERT_NE(window, nullptr);
    ut::Click(GetDlgItem(window, 20007)); // Close
    JoinHost();
    EXPECT_TRUE(asked) << "Close asked nothing of the application";
    EXPECT_FALSE(Notified(MSG_XFERREADY));
    ExpectNothingLeft(window);
}

TEST_F(WaitingHostTest, PreviewThenScanReachesTheApplicationThatOnlyWaits) {
    TW_IMAGEINFO info{};
    int rows = -1;
    RunHost([&] {
        ASSERT_EQ(EnableAndWait(), TWRC_SUCCESS);
        if (WaitFor(MSG_XFERREADY))
            rows = TransferByMemory(info);
        TW_PENDINGXFERS pending{};
        Dsm(&m_source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        DisableAndClose();
    });
    HWND window = WaitForWindow();
    ASSERT_NE(window, nullptr);
    ut::Click(GetDlgItem(window, 20005)); // Preview
    // The preview scans the whole bed with its progress window, then gives the window back.
    for (int i = 0; i < 3000 && CallsOf("ScanDrv_Close").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(CallsOf("ScanDrv_Close").size(), 1u) << "the preview did not run";
    ASSERT_TRUE(WaitUntilEnabled(window)) << "the window stayed disabled after the preview";
    EXPECT_FALSE(Notified(MSG_XFERREADY)) << "a preview announces no page";
    ut::Click(GetDlgItem(window, 20006)); // Scan
    JoinHost();
    ASSERT_TRUE(Notified(MSG_XFERREADY));
    EXPECT_EQ(rows, info.ImageLength);
    EXPECT_EQ(CallsOf("ScanDrv_Open").size(), 2u) << "the preview and the scan";
    ExpectNothingLeft(window);
}

TEST_F(WaitingHostTest, DisableAndCloseWaitWhileTheWindowsDialogIsUp) {
    std::atomic<HWND> about{nullptr};
    m_onModal = [&](HWND dlg) { about = dlg; }; // left up until the test's person closes it
    std::mutex step;
    std::condition_variable stepped;
    int stage = 0; // 1: the box is up; 2: the application has asked; 3: the box is closed
    TW_UINT16 disabledUnder = TWRC_SUCCESS, closedUnder = TWRC_SUCCESS, codeUnder = 0, disabledAfter = 0;
    auto waitStage = [&](int s) {
        std::unique_lock lock(step);
        return stepped.wait_for(lock, std::chrono::seconds(30), [&] { return stage >= s; });
    };
    auto setStage = [&](int s) {
        std::lock_guard lock(step);
        stage = s;
        stepped.notify_all();
    };
    RunHost([&] {
        ASSERT_EQ(EnableAndWait(), TWRC_SUCCESS);
        if (!waitStage(1))
            return;
        disabledUnder = Disable();
        codeUnder = ConditionCode();
        closedUnder = Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source);
        setStage(2);
        if (!waitStage(3))
            return;
        disabledAfter = Disable();
        EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source), TWRC_SUCCESS);
    });
    HWND window = WaitForWindow();
    ASSERT_NE(window, nullptr);
    ut::Click(GetDlgItem(window, 20001)); // About
    for (int i = 0; i < 1000 && about.load() == nullptr; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(about.load(), nullptr) << "the About box did not come up";
    setStage(1);
    ASSERT_TRUE(waitStage(2));
    EXPECT_EQ(disabledUnder, TWRC_FAILURE) << "disabled under the About box";
    EXPECT_EQ(codeUnder, TWCC_SEQERROR);
    EXPECT_EQ(closedUnder, TWRC_FAILURE) << "closed under the About box";
    EXPECT_TRUE(IsWindow(window));
    EndDialog(about.load(), IDOK); // the person closes the box
    for (int i = 0; i < 1000 && IsWindow(about.load()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    setStage(3);
    JoinHost();
    EXPECT_EQ(disabledAfter, TWRC_SUCCESS) << "once the box is gone";
    ExpectNothingLeft(window);
}

} // namespace
