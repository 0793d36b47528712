// The scanning window of the staged data source, as an imaging application meets it through the data source
// manager: enabled with its window in each language, scanning with the simulated device, its keys through its own
// message hook in the application's loop, and every road that closes it.
#include "ScanWindowTestSupport.h"

#include "platform/twain/twain.h"

#include <dlfcn.h>

namespace {

using namespace scanwindow_test;

std::vector<TW_UINT16> g_notifications;

TW_UINT16 AppCallback(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16 msg, TW_MEMREF) {
    g_notifications.push_back(msg);
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
        return std::find(g_notifications.begin(), g_notifications.end(), msg) != g_notifications.end();
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

} // namespace
