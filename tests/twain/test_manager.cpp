// The staged module driven as an imaging application drives it: through the data source manager stand-in, and
// through the command-line imaging application.

#include "TransferTestSupport.h"

#include "platform/gdi/wingdi.h"
#include "platform/user/winuser.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct Notification {
    TW_UINT32 origin;
    TW_UINT32 dest;
    TW_UINT16 dat;
    TW_UINT16 msg;
};
std::vector<Notification> g_notifications;

TW_UINT16 AppCallback(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF) {
    g_notifications.push_back({origin ? origin->Id : 0, dest ? dest->Id : 0, dat, msg});
    return TWRC_SUCCESS;
}

class ManagerTest : public TwainTestRoot {
protected:
    void SetUp() override {
        TwainTestRoot::SetUp();
        g_notifications.clear();
        // An application with a message loop, which gives the source's window its turns through MSG_PROCESSEVENT.
        IsGUIThread(TRUE);
        // The manager's data-source folder: one model folder holding a copy of the module and its companions (the
        // simulated device, the language libraries).
        m_dsPath = m_root + "/twain";
        std::filesystem::create_directories(m_dsPath + "/kvx7731");
        for (const auto& file : std::filesystem::directory_iterator(ModuleDir()))
            if (file.is_regular_file())
                std::filesystem::copy_file(file.path(), m_dsPath + "/kvx7731/" + file.path().filename().string());
        std::ofstream(m_dsPath + "/loose.ds") << "not a source: it lies in the data-source folder itself";
        setenv("TWAIN_DS_PATH", m_dsPath.c_str(), 1);
        m_dsm = dlopen(ManagerPath().c_str(), RTLD_LAZY);
        ASSERT_NE(m_dsm, nullptr) << dlerror();
        m_entry = reinterpret_cast<DSMENTRYPROC>(dlsym(m_dsm, "DSM_Entry"));
        ASSERT_NE(m_entry, nullptr);
        m_app = MakeAppIdentity(0);
    }
    void TearDown() override {
        if (m_dsm != nullptr)
            dlclose(m_dsm);
        unsetenv("TWAIN_DS_PATH");
        TwainTestRoot::TearDown();
    }
    virtual std::string ManagerPath() { return StagedManager(); }
    TW_UINT16 Dsm(pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return m_entry(&m_app, dest, dg, dat, msg, data);
    }
    TW_UINT16 ManagerStatus() {
        TW_STATUS status{};
        Dsm(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }

    std::string m_dsPath;
    void* m_dsm = nullptr;
    DSMENTRYPROC m_entry = nullptr;
    TW_IDENTITY m_app{};
};

TEST_F(ManagerTest, ListsOpensAndClosesTheSource) {
    TW_HANDLE parent = nullptr;
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
    EXPECT_NE(m_app.Id, 0u) << "the manager assigns the application's Id";

    TW_IDENTITY found{};
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &found), TWRC_SUCCESS);
    EXPECT_STREQ(found.ProductName, "KVX 7731 TWAIN");
    EXPECT_NE(found.Id, 0u);
    TW_IDENTITY next{};
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &next), TWRC_ENDOFLIST)
        << "one source: files directly in the data-source folder are not sources";

    TW_IDENTITY chosen{};
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen), TWRC_SUCCESS);
    EXPECT_EQ(chosen.Id, found.Id);

    TW_IDENTITY source{};
    std::strcpy(source.ProductName, "KVX 7731 TWAIN");
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(source.Id, found.Id);

    // Calls with the source as destination reach its DS_Entry.
    TW_IDENTITY asked{};
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_IDENTITY, MSG_GET, &asked), TWRC_SUCCESS);
    EXPECT_EQ(asked.Id, source.Id) << "the source keeps the Id the manager handed it";
    TW_UINT32 group = 0;
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_SUCCESS);
    EXPECT_EQ(group, DG_IMAGE);
    EXPECT_EQ(Dsm(&source, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDSM, &group), TWRC_FAILURE);
    TW_STATUS status{};
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_BADPROTOCOL);

    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_FAILURE);
    EXPECT_EQ(ManagerStatus(), TWCC_SEQERROR) << "the manager stays open while a source is";
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(Dsm(&source, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
    EXPECT_EQ(ManagerStatus(), TWCC_BADDEST);
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS);
}

TEST_F(ManagerTest, RefusedOpenLeavesTheReasonWithTheManager) {
    TW_HANDLE parent = nullptr;
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
    TW_IDENTITY source{};
    std::strcpy(source.ProductName, "No such scanner");
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_FAILURE);
    EXPECT_EQ(ManagerStatus(), TWCC_NODS);

    // Held by someone else: the source refuses with its reason, and the manager passes it on.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName().c_str());
    ASSERT_NE(mutex, nullptr);
    source = TW_IDENTITY{};
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_FAILURE);
    EXPECT_EQ(ManagerStatus(), TWCC_MAXCONNECTIONS);
    CloseHandle(mutex);
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS);
}

TEST_F(ManagerTest, DeliversTheSourcesNotificationsToTheCallback) {
    TW_HANDLE parent = nullptr;
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
    TW_IDENTITY source{};
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);

    // Before a callback is registered the notification cannot be delivered.
    EXPECT_EQ(m_entry(&source, &m_app, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);

    TW_CALLBACK2 callback{reinterpret_cast<TW_MEMREF>(&AppCallback), 0, 0};
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);
    // The source speaks with its own identity as origin and the application's as destination.
    EXPECT_EQ(m_entry(&source, &m_app, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_SUCCESS);
    EXPECT_EQ(m_entry(&source, &m_app, DG_CONTROL, DAT_NULL, MSG_CLOSEDSREQ, nullptr), TWRC_SUCCESS);
    ASSERT_EQ(g_notifications.size(), 2u);
    EXPECT_EQ(g_notifications[0].origin, source.Id);
    EXPECT_EQ(g_notifications[0].dest, m_app.Id);
    EXPECT_EQ(g_notifications[0].dat, DAT_NULL);
    EXPECT_EQ(g_notifications[0].msg, MSG_XFERREADY);
    EXPECT_EQ(g_notifications[1].msg, MSG_CLOSEDSREQ);

    TW_IDENTITY stranger = source;
    stranger.Id = 9999;
    EXPECT_EQ(m_entry(&stranger, &m_app, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr), TWRC_FAILURE);
    EXPECT_EQ(g_notifications.size(), 2u);

    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS);
}

// The source's own notifications: it finds the manager the application loaded (from another folder than its own)
// and the manager hands them to the application's callback.
TEST_F(ManagerTest, EnabledSourceNotifiesTheApplicationThroughTheManager) {
    TW_HANDLE parent = nullptr;
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
    TW_IDENTITY source{};
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    TW_CALLBACK2 callback{reinterpret_cast<TW_MEMREF>(&AppCallback), 0, 0};
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);

    // A capability set with a container of the application's own allocator.
    auto* container = static_cast<TW_ONEVALUE*>(std::malloc(sizeof(TW_ONEVALUE)));
    container->ItemType = TWTY_UINT16;
    container->Item = TWPT_GRAY;
    TW_CAPABILITY cap{ICAP_PIXELTYPE, TWON_ONEVALUE, container};
    EXPECT_EQ(Dsm(&source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap), TWRC_SUCCESS);
    std::free(container);

    // Without a window the page is announced at once.
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_EQ(g_notifications.size(), 1u);
    EXPECT_EQ(g_notifications[0].origin, source.Id);
    EXPECT_EQ(g_notifications[0].dest, m_app.Id);
    EXPECT_EQ(g_notifications[0].dat, DAT_NULL);
    EXPECT_EQ(g_notifications[0].msg, MSG_XFERREADY);
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);

    // With the window: closing it asks the application to close the source. The window's messages are
    // dispatched by the source itself when the application calls MSG_PROCESSEVENT from its loop.
    ui.ShowUI = 1;
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    HWND window = FindWindowW(nullptr, u"KVX 7731 TWAIN (USB)");
    ASSERT_NE(window, nullptr) << "the scanning window";
    EXPECT_TRUE(IsWindowVisible(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(g_notifications.size(), 1u) << "nothing happens before the source gets its turn";
    TW_EVENT event{};
    MSG msg{};
    event.pEvent = &msg;
    EXPECT_EQ(Dsm(&source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    ASSERT_EQ(g_notifications.size(), 2u);
    EXPECT_EQ(g_notifications[1].msg, MSG_CLOSEDSREQ);
    EXPECT_TRUE(IsWindow(window)) << "the window stays until the application disables";

    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS);
}

TEST_F(ManagerTest, EntryPointMemoryIsPlainMalloc) {
    TW_HANDLE parent = nullptr;
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
    TW_ENTRYPOINT entry{};
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry), TWRC_SUCCESS);
    EXPECT_EQ(entry.Size, sizeof(TW_ENTRYPOINT));
    const DSMENTRYPROC dsmEntry = entry.DSM_Entry; // a packed field: gtest binds a reference to what it compares
    EXPECT_EQ(dsmEntry, m_entry);
    TW_HANDLE block = entry.DSM_MemAllocate(1000);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(entry.DSM_MemLock(block), block);
    std::memset(entry.DSM_MemLock(block), 0xAB, 1000);
    entry.DSM_MemUnlock(block);
    std::free(block); // what an application may do with any block it was handed
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS);
}

TEST_F(ManagerTest, ImagingApplicationPrintsIdentityAndStates) {
    std::string command = "'" + StageDir() + "/bin/twainapp' 2>&1";
    std::string out;
    {
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        ASSERT_TRUE(pipe);
        std::array<char, 512> buffer{};
        while (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr)
            out += buffer.data();
        EXPECT_EQ(pclose(pipe.release()), 0) << out;
    }
    EXPECT_NE(out.find("ProductName     \"KVX 7731 TWAIN\""), std::string::npos) << out;
    EXPECT_NE(out.find("Manufacturer    \"Korvel\""), std::string::npos) << out;
    size_t position = 0;
    for (const char* state : {"State 1 ", "State 2 ", "State 3 ", "State 4 ", "State 3 ", "State 2 ", "State 1 "}) {
        position = out.find(state, position);
        ASSERT_NE(position, std::string::npos) << "missing " << state << " in order:\n" << out;
        ++position;
    }
}

TEST_F(ManagerTest, ImagingApplicationSetsCapabilitiesAndEnablesWithoutTheWindow) {
    std::string command = "'" + StageDir() + "/bin/twainapp' --pixeltype gray --resolution 400 --size a5 " +
                          "--feeder on --duplex off --enable --wait 20 2>&1";
    std::string out;
    {
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        ASSERT_TRUE(pipe);
        std::array<char, 512> buffer{};
        while (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr)
            out += buffer.data();
        EXPECT_EQ(pclose(pipe.release()), 0) << out;
    }
    for (const char* line :
         {"Set pixeltype gray: ok", "Set resolution 400: the source took the nearest value it offers",
          "Set size a5: ok",
          "ICAP_PIXELTYPE                   ENUMERATION UINT16 {0, [1], 2} default 2",
          "ICAP_BITDEPTH                    ENUMERATION UINT16 {[8]} default 8",
          "ICAP_XRESOLUTION                 ENUMERATION FIX32 {75, 150, [300], 600, 1200} default 150",
          "ICAP_BRIGHTNESS                  RANGE FIX32 -1000 to 1000 step 1000, default 0, current 0",
          "State 5 (source enabled)", "Notification: MSG_XFERREADY", "State 4 (source open)"})
        EXPECT_NE(out.find(line), std::string::npos) << "missing \"" << line << "\" in:\n" << out;
}

// One run of the imaging application: its exit status and all it wrote, standard error included.
struct AppRun {
    int status = -1;
    std::string out;
};
AppRun RunImagingApplication(const std::string& arguments) {
    AppRun run;
    const std::string command = "'" + StageDir() + "/bin/twainapp' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::array<char, 512> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe) != nullptr)
        run.out += buffer.data();
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Every bad argument is refused before anything is loaded, in one line that names the option and the value.
TEST_F(ManagerTest, ImagingApplicationNamesTheBadArgument) {
    const std::pair<const char*, const char*> cases[] = {
        {"--resolution nan", "--resolution: 'nan' is not a resolution from 1 to 32767 dpi"},
        {"--resolution 0.00001", "--resolution: '0.00001'"},
        {"--resolution 300x", "--resolution: '300x'"},
        {"--wait abc", "--wait: 'abc' is not a whole number of seconds"},
        {"--wait -1", "--wait: '-1'"},
        {"--wait 0.5", "--wait: '0.5'"},
        {"--wait 1e10", "--wait: '1e10'"},
        {"--wait 99999999999999999999", "--wait: '99999999999999999999'"},
        {"--pixeltype cmyk", "--pixeltype: 'cmyk' is not bw, gray or rgb"},
        {"--feeder maybe", "--feeder: 'maybe' is not on or off"},
        {"--size a0", "--size: 'a0' is not a4, a5, a6, a3, b5, letter or legal"},
        {"--lang english", "--lang: 'english' is not a language code"},
        {"--enable --bogus", "unknown option '--bogus'"},
        {"--source", "--source needs a value"},
    };
    for (const auto& [arguments, expected] : cases) {
        const AppRun run = RunImagingApplication(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.out.find(std::string("twainapp: ") + expected), std::string::npos) << arguments << ":\n"
                                                                                         << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << arguments << ": one line, no usage text\n"
                                                                       << run.out;
    }
    for (const char* help : {"-h", "--help", "--wait 5 --help"}) {
        const AppRun run = RunImagingApplication(help);
        EXPECT_EQ(run.status, 0) << help;
        EXPECT_EQ(run.out.rfind("usage: twainapp", 0), 0u) << help << ":\n" << run.out;
    }
}

// The window's picture in a language of the user's choice, each text checked against its control.
TEST_F(ManagerTest, ImagingApplicationSavesTheWindowInTheChosenLanguage) {
    std::vector<std::string> pictures;
    for (const char* code : {"de", "ar"}) {
        const std::string png = m_root + "/window_" + code + ".png";
        const AppRun run = RunImagingApplication(std::string("--lang ") + code + " --png '" + png + "' --check");
        EXPECT_EQ(run.status, 0) << code << ":\n" << run.out;
        EXPECT_NE(run.out.find("texts of the source's window: each fits its control"), std::string::npos) << run.out;
        std::ifstream file(png, std::ios::binary);
        pictures.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        EXPECT_FALSE(pictures.back().empty()) << png;
    }
    EXPECT_NE(pictures[0], pictures[1]) << "German and Arabic windows look alike";
}

// --preview presses the window's Preview button before the picture is taken: the simulated page fills the preview.
TEST_F(ManagerTest, ImagingApplicationSavesTheWindowWithItsPreview) {
    std::vector<std::string> pictures;
    for (const char* preview : {"", " --preview"}) {
        const std::string png = m_root + "/window" + (preview[0] ? "_preview" : "") + ".png";
        const AppRun run = RunImagingApplication("--png '" + png + "'" + preview);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(run.out.find("Pressed the source's Preview button") != std::string::npos, preview[0] != 0) << run.out;
        std::ifstream file(png, std::ios::binary);
        pictures.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        EXPECT_FALSE(pictures.back().empty()) << png;
    }
    EXPECT_NE(pictures[0], pictures[1]) << "the preview changes the picture";
}

// Failures are told in words beside the TWAIN codes, with the folder that was looked in.
TEST_F(ManagerTest, ImagingApplicationSaysWhyTheSourceDidNotOpen) {
    std::filesystem::create_directories(m_root + "/none");
    AppRun run = RunImagingApplication("--dsm '" + StagedManager() + "'");
    EXPECT_EQ(run.status, 0) << run.out;

    setenv("TWAIN_DS_PATH", (m_root + "/none").c_str(), 1);
    run = RunImagingApplication("");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("MSG_OPENDS failed: no data source found in " + m_root + "/none (TWAIN_DS_PATH) (return " +
                           "code 1, condition code 3 (no data source))"),
              std::string::npos)
        << run.out;
    setenv("TWAIN_DS_PATH", m_dsPath.c_str(), 1);

    HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName().c_str()); // as another application's enabled source
    run = RunImagingApplication("");
    CloseHandle(mutex);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("MSG_OPENDS failed: the source refused to open: another application has it in use"),
              std::string::npos)
        << run.out;

    // A source file that does not answer is told apart from an empty folder.
    std::filesystem::create_directories(m_root + "/broken/model");
    std::ofstream(m_root + "/broken/model/Scanner64.ds") << "not a library";
    setenv("TWAIN_DS_PATH", (m_root + "/broken").c_str(), 1);
    run = RunImagingApplication("");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("MSG_OPENDS failed: no data source in " + m_root + "/broken (TWAIN_DS_PATH) told its " +
                           "identity: " + m_root + "/broken/model/Scanner64.ds did not answer; a source that cannot " +
                           "read its INI file may fail so (it reads Windows/"),
              std::string::npos)
        << run.out;
    setenv("TWAIN_DS_PATH", m_dsPath.c_str(), 1);

    for (const char* content : {"", "\x01\x02 not an INI file"}) {
        std::filesystem::remove(m_root + "/Windows/Scanner.ini");
        if (content[0] != 0)
            std::ofstream(m_root + "/Windows/Scanner.ini") << content;
        run = RunImagingApplication("");
        EXPECT_NE(run.out.find("twainapp: the source has no usable INI file (missing, empty or damaged): it reads "
                               "Windows/<its file name less the last 5 characters>.ini (Windows/Scanner.ini for "
                               "Scanner64.ds) in C:\\, which is " +
                               m_root + " (PLATFORM_ROOT)"),
                  std::string::npos)
            << run.out;
    }
}

// A whole session as an imaging application drives it, without the window and with it: open, negotiate, enable,
// each page's information, its transfer and its end, disable, close. The page is the device's, pixel for pixel.
class SessionTest : public ManagerTest {
protected:
    void SetUp() override {
        ManagerTest::SetUp();
        TW_HANDLE parent = nullptr;
        ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
        ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_source), TWRC_SUCCESS);
        TW_CALLBACK2 callback{reinterpret_cast<TW_MEMREF>(&AppCallback), 0, 0};
        ASSERT_EQ(Dsm(&m_source, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);
    }
    void TearDown() override {
        TW_HANDLE parent = nullptr;
        Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
        ManagerTest::TearDown();
    }
    TW_UINT16 Source(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return Dsm(&m_source, dg, dat, msg, data);
    }
    TW_UINT16 SetOne(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 item) {
        auto* value = static_cast<TW_ONEVALUE*>(std::calloc(1, sizeof(TW_ONEVALUE)));
        value->ItemType = type;
        value->Item = item;
        TW_CAPABILITY capability{cap, TWON_ONEVALUE, value};
        const TW_UINT16 rc = Source(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
        std::free(value);
        return rc;
    }
    bool Notified(TW_UINT16 msg) const {
        return std::any_of(g_notifications.begin(), g_notifications.end(),
                           [msg](const Notification& n) { return n.msg == msg; });
    }
    // The announced grey page by the given transfer, compared with the device's rendering; the end of the transfer
    // then reports no more pages.
    void TransferTheGreyPage(int how) {
        SCOPED_TRACE("transfer " + std::to_string(how));
        TW_IMAGEINFO info{};
        ASSERT_EQ(Source(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
        ASSERT_EQ(+info.PixelType, TWPT_GRAY);
        ASSERT_EQ(+info.XResolution.Whole, 150);
        const transfer_test::Page expected = transfer_test::DevicePage(1, 150, info.ImageWidth, info.ImageLength);
        const size_t stride = (static_cast<size_t>(info.ImageWidth) + 3) / 4 * 4;
        if (how == 0) {
            TW_HANDLE handle = nullptr;
            ASSERT_EQ(Source(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
            ASSERT_NE(handle, nullptr);
            EXPECT_EQ(transfer_test::FirstDifference(expected, static_cast<BYTE*>(handle) + 1064, stride, true), "");
            std::free(handle); // the source's global block is the application's, of the C heap
        } else if (how == 1) {
            std::vector<BYTE> page(stride * info.ImageLength), buffer(65535);
            TW_UINT16 rc = TWRC_SUCCESS;
            while (rc == TWRC_SUCCESS) {
                TW_IMAGEMEMXFER xfer{};
                xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, 65535, buffer.data()};
                rc = Source(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
                if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE)
                    std::memcpy(page.data() + xfer.YOffset * stride, buffer.data(), xfer.BytesWritten);
            }
            ASSERT_EQ(rc, TWRC_XFERDONE);
            EXPECT_EQ(transfer_test::FirstDifference(expected, page.data(), stride), "");
        } else {
            TW_SETUPFILEXFER setup{};
            const std::string path = m_root + "/page.bmp";
            std::strcpy(setup.FileName, path.c_str());
            setup.Format = TWFF_BMP;
            ASSERT_EQ(Source(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
            ASSERT_EQ(Source(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
            std::ifstream in(path, std::ios::binary);
            const std::vector<BYTE> file((std::istreambuf_iterator<char>(in)), {});
            ASSERT_EQ(file.size(), 14 + 1064 + stride * info.ImageLength);
            EXPECT_EQ(transfer_test::FirstDifference(expected, file.data() + 1078, stride, true), "");
        }
        TW_PENDINGXFERS pending{};
        ASSERT_EQ(Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
        EXPECT_EQ(+pending.Count, 0);
        EXPECT_TRUE(Notified(MSG_CLOSEDSREQ)) << "the flatbed job is over";
        EXPECT_TRUE(transfer_test::TempFiles(m_root).empty());
    }

    TW_IDENTITY m_source{};
};

TEST_F(SessionTest, WindowlessSessionTransfersThePageByEachMechanism) {
    for (int how = 0; how < 3; ++how) {
        g_notifications.clear();
        ASSERT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
        TW_USERINTERFACE ui{0, 0, nullptr};
        ASSERT_EQ(Source(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
        ASSERT_TRUE(Notified(MSG_XFERREADY));
        TransferTheGreyPage(how);
        ASSERT_EQ(Source(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    }
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source), TWRC_SUCCESS);
}

TEST_F(SessionTest, SessionWithTheWindowTransfersWhatTheScanButtonScans) {
    TW_USERINTERFACE ui{1, 0, nullptr};
    ASSERT_EQ(Source(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    HWND window = FindWindowW(nullptr, u"KVX 7731 TWAIN (USB)");
    ASSERT_NE(window, nullptr);
    // The window scans with its own settings: the test takes the page's size and depth from what it announces.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(20006, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, 20006)));
    TW_EVENT event{};
    MSG msg{};
    event.pEvent = &msg;
    for (int i = 0; i < 50 && !Notified(MSG_XFERREADY); ++i)
        Source(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    ASSERT_TRUE(Notified(MSG_XFERREADY)) << "the Scan button announces a page";
    TW_IMAGEINFO info{};
    ASSERT_EQ(Source(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    TW_HANDLE handle = nullptr;
    ASSERT_EQ(Source(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
    ASSERT_NE(handle, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(handle);
    EXPECT_EQ(header->biWidth, info.ImageWidth);
    EXPECT_EQ(header->biHeight, info.ImageLength);
    EXPECT_EQ(header->biBitCount, info.BitsPerPixel);
    std::free(handle);
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Source(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_TRUE(Notified(MSG_CLOSEDSREQ));
    EXPECT_TRUE(IsWindow(window)) << "the window stays until the application disables";
    ASSERT_EQ(Source(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source), TWRC_SUCCESS);
}

// The imaging application by each transfer: its page's information, the page written where --out says (numbered
// unless --pages 1), a feeder job cut short by --pages.
TEST_F(ManagerTest, ImagingApplicationTransfersPagesByEachMechanism) {
    const std::string out = m_root + "/out";
    std::filesystem::create_directories(out);
    struct Case {
        const char* arguments;
        const char* file;
    };
    for (Case c :
         {Case{"--xfer native --pages 1 --out OUT/n.png", "n.png"}, Case{"--xfer memory --out OUT/m.png", "m-001.png"},
          Case{"--xfer file --pages 1 --out OUT/f.bmp", "f.bmp"},
          Case{"--xfer file --pages 1 --out OUT/f.tif", "f.tif"}}) {
        std::string arguments = c.arguments;
        arguments.replace(arguments.find("OUT"), 3, out);
        const AppRun run = RunImagingApplication("--pixeltype bw --resolution 75 --enable --wait 30 " + arguments);
        EXPECT_EQ(run.status, 0) << run.out;
        for (const char* line : {"Page 1: 620 x 877 pixels, 75 x 75 dpi, black and white, 1 bits a pixel (1 x 1), "
                                 "uncompressed",
                                 "State 7 (transferring)", "Pending transfers: 0", "State 4 (source open)"})
            EXPECT_NE(run.out.find(line), std::string::npos) << "missing \"" << line << "\" in:\n" << run.out;
        EXPECT_TRUE(std::filesystem::exists(out + "/" + c.file)) << c.arguments << "\n" << run.out;
    }

    // Two pages of the three in the feeder, then the rest is dropped.
    const AppRun run = RunImagingApplication(
        "--pixeltype gray --resolution 75 --feeder on --enable --wait 30 --pages 2 --out " + out + "/feed.png");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(std::filesystem::exists(out + "/feed-001.png")) << run.out;
    EXPECT_TRUE(std::filesystem::exists(out + "/feed-002.png")) << run.out;
    EXPECT_FALSE(std::filesystem::exists(out + "/feed-003.png")) << run.out;
    EXPECT_NE(run.out.find("State 5 (source enabled): the remaining pages were dropped"), std::string::npos) << run.out;

    for (const auto& [arguments, message] :
         {std::pair{"--xfer fax", "--xfer: 'fax' is not native, memory or file"},
          std::pair{"--pages 0", "--pages: '0' is not a whole number of pages from 1 to 9999"},
          std::pair{"--xfer file", "--xfer file needs --out <file>"}}) {
        const AppRun bad = RunImagingApplication(arguments);
        EXPECT_EQ(bad.status, 2) << arguments;
        EXPECT_NE(bad.out.find(message), std::string::npos) << bad.out;
    }
}

// The exit status says whether the pages came, and transfer options that would do nothing are refused.
TEST_F(ManagerTest, ImagingApplicationFailsWhenAPageDoesNotArriveAndRefusesTransfersItWouldNotMake) {
    const std::string missing = m_root + "/no such folder/f.bmp";
    const AppRun run = RunImagingApplication("--pixeltype bw --resolution 75 --enable --wait 30 --xfer file --pages 1 "
                                             "--out '" +
                                             missing + "'");
    EXPECT_EQ(run.status, 1) << "a file the source could not write is a failed run:\n" << run.out;
    EXPECT_NE(run.out.find("twainapp: a page failed to transfer"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(missing));

    const std::vector<std::string> refused = {"--xfer native", "--out '" + m_root + "/x.png'", "--pages 2",
                                              "--png '" + m_root + "/w.png' --xfer memory"};
    for (const std::string& arguments : refused) {
        const AppRun bad = RunImagingApplication(arguments);
        EXPECT_EQ(bad.status, 2) << arguments << ":\n" << bad.out;
        EXPECT_NE(bad.out.find("twainapp: --xfer, --out and --pages transfer pages: "), std::string::npos)
            << arguments << ":\n"
            << bad.out;
    }
    EXPECT_FALSE(std::filesystem::exists(m_root + "/w.png")) << "a refused command line does nothing";
}

// An application that loaded a manager under the standard name (from anywhere) gets the notifications through it.
class StandardNamedManagerTest : public ManagerTest {
protected:
    std::string ManagerPath() override {
        const std::string copy = m_root + "/dsm/libtwaindsm.so.2.4.3";
        std::filesystem::create_directories(m_root + "/dsm");
        std::filesystem::copy_file(StagedManager(), copy);
        return copy;
    }
};

TEST_F(StandardNamedManagerTest, NotificationsReachTheManagerTheApplicationLoaded) {
    TW_HANDLE parent = nullptr;
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
    TW_IDENTITY source{};
    ASSERT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    TW_CALLBACK2 callback{reinterpret_cast<TW_MEMREF>(&AppCallback), 0, 0};
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_EQ(g_notifications.size(), 1u);
    EXPECT_EQ(g_notifications[0].msg, MSG_XFERREADY);
    ASSERT_EQ(Dsm(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS);
}

} // namespace
