// The staged Scanner64.ds as a data source manager sees it: loaded with dlopen, driven through DS_Entry alone.

#include "TwainTestSupport.h"

#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>

namespace {

class ModuleTest : public TwainTestRoot {
protected:
    static constexpr TW_UINT32 kAppId = 11;
    static constexpr TW_UINT32 kDsId = 7;

    TW_UINT16 Open(const LoadedModule& ds, TW_IDENTITY& app) {
        TW_IDENTITY assigned{};
        ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &assigned);
        assigned.Id = kDsId;
        return ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned);
    }
};

std::string RunCommand(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return out;
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr)
        out += buffer.data();
    return out;
}

TEST_F(ModuleTest, ExportsDsEntryAlone) {
    std::string symbols = RunCommand("nm -D --defined-only '" + StagedModule() + "' | awk '{print $NF}'");
    EXPECT_EQ(symbols, "DS_Entry\n") << "the module must export DS_Entry and nothing else";
}

TEST_F(ModuleTest, LoadsAndUnloadsManyTimes) {
    for (int i = 0; i < 40; ++i) {
        {
            LoadedModule ds(StagedModule());
            ASSERT_TRUE(ds.ok()) << "load " << i << ": " << dlerror();
            TW_IDENTITY app = MakeAppIdentity(kAppId);
            TW_IDENTITY identity{};
            ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS) << "load " << i;
            ASSERT_STREQ(identity.ProductName, "KVX 7731 TWAIN") << "load " << i;
            if (i % 2 == 0) {
                ASSERT_EQ(Open(ds, app), TWRC_SUCCESS) << "unloading while open must be survivable too";
            }
        }
        EXPECT_EQ(dlopen(StagedModule().c_str(), RTLD_LAZY | RTLD_NOLOAD), nullptr) << "load " << i << " stayed";
    }
}

bool ModuleIsMapped() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("/Scanner64.ds") != std::string::npos)
            return true;
    return false;
}

// The threads of this process, from its task folder.
int CountThreads() {
    int count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

int CountThreadWindows() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND, LPARAM counter) -> BOOL {
            ++*reinterpret_cast<int*>(counter);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// A host may unload the source in whatever state it is in, and load it again in the same process: the library
// leaves the process, and with it its window, hook, device and the machine-wide enable mutex.
TEST_F(ModuleTest, UnloadInAnyStateLeavesNothingBehindAndTheNextLoadOpens) {
    enum class Left { Open, EnabledWithWindow, EnabledWithoutWindow, AppModeDisabled };
    const std::pair<Left, const char*> states[] = {{Left::Open, "open"},
                                                   {Left::EnabledWithWindow, "enabled with its window"},
                                                   {Left::EnabledWithoutWindow, "enabled without its window"},
                                                   {Left::AppModeDisabled, "disabled in app mode"}};
    const int windowsBefore = CountThreadWindows();
    const int threadsBefore = CountThreads();
    for (const auto& [left, name] : states) {
        SCOPED_TRACE(name);
        {
            LoadedModule ds(StagedModule());
            ASSERT_TRUE(ds.ok());
            TW_IDENTITY app = MakeAppIdentity(kAppId);
            ASSERT_EQ(Open(ds, app), TWRC_SUCCESS);
            if (left == Left::AppModeDisabled) {
                TW_ONEVALUE on{TWTY_BOOL, 1};
                TW_CAPABILITY cap{0x8123, TWON_ONEVALUE, &on}; // app mode
                ASSERT_EQ(ds(&app, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap), TWRC_SUCCESS);
            }
            if (left != Left::Open) {
                TW_USERINTERFACE ui{static_cast<TW_BOOL>(left == Left::EnabledWithoutWindow ? 0 : 1), 0, nullptr};
                ASSERT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
                EXPECT_GT(CountThreadWindows(), windowsBefore) << "the source made no window";
            }
            if (left == Left::AppModeDisabled) {
                TW_USERINTERFACE ui{};
                ASSERT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
            }
        }
        EXPECT_FALSE(ModuleIsMapped()) << "the library stayed in the process after its unload";
        EXPECT_EQ(CountThreadWindows(), windowsBefore) << "windows outlived the library";
        EXPECT_EQ(CountThreads(), threadsBefore) << "threads outlived the library";
        HANDLE mutex = OpenMutexW(READ_CONTROL, FALSE, MutexName().c_str());
        EXPECT_EQ(mutex, nullptr) << "the enable mutex outlived the library";
        if (mutex != nullptr)
            CloseHandle(mutex);
        // A hook or timer left behind would call into the unloaded library here.
        platform::user::testing::RunPendingMessages();

        LoadedModule again(StagedModule());
        ASSERT_TRUE(again.ok());
        TW_IDENTITY app = MakeAppIdentity(kAppId);
        ASSERT_EQ(Open(again, app), TWRC_SUCCESS) << "the next load cannot open the source";
        TW_USERINTERFACE ui{1, 0, nullptr};
        EXPECT_EQ(again(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
        EXPECT_EQ(again(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
        TW_IDENTITY identity{};
        EXPECT_EQ(again(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_SUCCESS);
    }
}

// An application whose thread has no message queue gets the window on a thread of the source's own: a close ends
// that thread with the window, and so does an unload with the window still open.
TEST_F(ModuleTest, TheWindowThreadOfAnApplicationWithoutALoopEndsWithTheSource) {
    const int threadsBefore = CountThreads();
    for (const bool closeFirst : {true, false}) {
        SCOPED_TRACE(closeFirst ? "closed, then unloaded" : "unloaded with the window open");
        std::thread application([&] {
            LoadedModule ds(StagedModule());
            ASSERT_TRUE(ds.ok());
            TW_IDENTITY app = MakeAppIdentity(kAppId);
            ASSERT_EQ(Open(ds, app), TWRC_SUCCESS);
            TW_USERINTERFACE ui{1, 0, nullptr};
            ASSERT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
            EXPECT_EQ(CountThreadWindows(), 0) << "the window is on this thread, which nobody dispatches";
            EXPECT_GE(CountThreads(), threadsBefore + 2) << "no window thread besides the application's";
            if (closeFirst) {
                TW_IDENTITY identity{};
                EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_SUCCESS);
                TW_USERINTERFACE again{1, 0, nullptr};
                EXPECT_EQ(Open(ds, app), TWRC_SUCCESS) << "the next session opens";
                EXPECT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &again), TWRC_SUCCESS);
                EXPECT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &again), TWRC_SUCCESS);
                EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_SUCCESS);
            }
        });
        application.join();
        EXPECT_FALSE(ModuleIsMapped()) << "the library stayed in the process after its unload";
        EXPECT_EQ(CountThreads(), threadsBefore) << "threads outlived the library";
        HANDLE mutex = OpenMutexW(READ_CONTROL, FALSE, MutexName().c_str());
        EXPECT_EQ(mutex, nullptr) << "the enable mutex outlived the library";
        if (mutex != nullptr)
            CloseHandle(mutex);
    }
}

TEST_F(ModuleTest, IdentityBeforeAndAfterOpen) {
    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(kAppId);
    TW_IDENTITY before{};
    ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &before), TWRC_SUCCESS);
    EXPECT_EQ(before.Id, 0u);
    EXPECT_EQ(before.Version.MajorNum, 1);
    EXPECT_EQ(before.Version.MinorNum, 30);
    EXPECT_EQ(before.Version.Language, TWLG_USA);
    EXPECT_EQ(before.Version.Country, TWCY_USA);
    EXPECT_STREQ(before.Version.Info, " 1.030");
    EXPECT_EQ(before.ProtocolMajor, 1);
    EXPECT_EQ(before.ProtocolMinor, 8);
    const TW_UINT32 groups = before.SupportedGroups; // a packed field: gtest binds a reference to what it compares
    EXPECT_EQ(groups, DG_CONTROL | DG_IMAGE);
    EXPECT_STREQ(before.Manufacturer, "Korvel");
    EXPECT_STREQ(before.ProductFamily, "TWAIN");
    EXPECT_STREQ(before.ProductName, "KVX 7731 TWAIN");

    // The manager hands the identity over in a temporary copy: the source keeps the values, not the pointer.
    auto handed = std::make_unique<TW_IDENTITY>(before);
    handed->Id = kDsId;
    ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, handed.get()), TWRC_SUCCESS);
    std::memset(handed.get(), 0xCD, sizeof(TW_IDENTITY));
    handed.reset();

    TW_IDENTITY after{};
    ASSERT_EQ(ds(&app, DG_IMAGE, DAT_IDENTITY, MSG_GET, &after), TWRC_SUCCESS) << "DG is not looked at";
    EXPECT_EQ(after.Id, kDsId);
    EXPECT_STREQ(after.ProductName, "KVX 7731 TWAIN");
}

TEST_F(ModuleTest, MissingIniGivesEmptyStringsAndBareTwainName) {
    std::filesystem::remove(m_root + "/Windows/Scanner.ini");
    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(kAppId);
    TW_IDENTITY identity{};
    ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_STREQ(identity.Manufacturer, "");
    EXPECT_STREQ(identity.ProductName, " TWAIN");
}

TEST_F(ModuleTest, LongIniStringsAreCutToAStr32) {
    m_ini = "[TWAIN]\nFile Prefix=" + m_prefix + "\nManufacturer=" + std::string(60, 'M') +
            "\nProduct Name(kvx7731)=" + std::string(40, 'P') + "\n";
    WriteIni();
    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(kAppId);
    TW_IDENTITY identity{};
    std::memset(&identity, 0x55, sizeof identity);
    ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_EQ(std::string(identity.Manufacturer), std::string(33, 'M'));
    EXPECT_EQ(std::string(identity.ProductName), std::string(33, 'P'));
    EXPECT_EQ(identity.ProductFamily[5], '\0');
}

TEST_F(ModuleTest, DispatchChecksBeforeAnyHandler) {
    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(kAppId);
    TW_IDENTITY other = MakeAppIdentity(kAppId + 1);

    // No application connected: any origin, also none, reaches the handlers.
    TW_STATUS status{};
    EXPECT_EQ(ds(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(ds(&other, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);

    // MSG_PROCESSEVENT is answered by the dispatcher in every state.
    TW_EVENT event{nullptr, 0x1234};
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(event.TWMessage, MSG_NULL);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, nullptr), TWRC_NOTDSEVENT);

    ASSERT_EQ(Open(ds, app), TWRC_SUCCESS);
    event.TWMessage = 0x1234;
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(event.TWMessage, MSG_NULL);

    // MSG_PROCESSEVENT with another data argument is no event of ours either, and reaches no handler: nothing is
    // written into its smaller structure and no condition code is set.
    struct {
        TW_PENDINGXFERS pending;
        TW_UINT16 padding;
        TW_UINT16 behind; // where a TW_EVENT keeps TWMessage
    } notAnEvent{{2, 0}, 0, 0x5A5A};
    for (TW_UINT16 dat : {DAT_PENDINGXFERS, DAT_CAPABILITY, DAT_IMAGEINFO, DAT_NULL}) {
        EXPECT_EQ(ds(&app, DG_CONTROL, dat, MSG_PROCESSEVENT, &notAnEvent), TWRC_NOTDSEVENT) << "DAT " << dat;
        EXPECT_EQ(notAnEvent.behind, 0x5A5A);
        EXPECT_EQ(notAnEvent.pending.Count, 2);
        EXPECT_EQ(ds.Status(&app), TWCC_SUCCESS) << "DAT " << dat;
    }

    // A second application, or no origin, is refused while one is connected; the event stays as it was.
    event.TWMessage = 0x1234;
    EXPECT_EQ(ds(&other, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_FAILURE);
    EXPECT_EQ(event.TWMessage, 0x1234);
    EXPECT_EQ(ds(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
    TW_IDENTITY identity{};
    EXPECT_EQ(ds(&other, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_FAILURE);
    EXPECT_EQ(identity.Id, 0u) << "a refused call writes nothing";
    EXPECT_EQ(ds.Status(&app), TWCC_SUCCESS) << "a refused call sets no condition code";

    // A DAT without a handler fails and leaves the condition code as it was.
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, 0x7777, nullptr), TWRC_FAILURE);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_FILESYSTEM, MSG_GET, &status), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADPROTOCOL) << "the code of the earlier failure must survive";
}

TEST_F(ModuleTest, NullPointersAreRefusedWithBadValue) {
    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(kAppId);

    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADVALUE);

    // MSG_OPENDS without an application to connect: refused, state stays 300.
    TW_IDENTITY identity{};
    identity.Id = kDsId;
    EXPECT_EQ(ds(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADVALUE);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADVALUE);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_SEQERROR) << "the failed opens must leave the state at 300";

    ASSERT_EQ(Open(ds, app), TWRC_SUCCESS);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_XFERGROUP, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADVALUE);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADVALUE);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADVALUE);
}

TEST_F(ModuleTest, StatesAndConditionCodes) {
    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(kAppId);
    TW_UINT32 group = 0;

    // State 300.
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &group), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_SEQERROR);
    EXPECT_EQ(ds.Status(&app), TWCC_SUCCESS) << "DAT_STATUS clears the code it reports";
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_SEQERROR);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_SEQERROR);

    // State 400.
    ASSERT_EQ(Open(ds, app), TWRC_SUCCESS);
    for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET}) {
        group = 0xFFFFFFFF;
        EXPECT_EQ(ds(&app, DG_CONTROL, DAT_XFERGROUP, msg, &group), TWRC_SUCCESS) << "msg " << msg;
        EXPECT_EQ(group, DG_IMAGE) << "all 32 bits are written, msg " << msg;
    }
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_XFERGROUP, MSG_SET, &group), TWRC_SUCCESS);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_XFERGROUP, MSG_QUERYSUPPORT, &group), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADPROTOCOL);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &group), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADPROTOCOL);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_STATUS, MSG_SET, &group), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_BADPROTOCOL);

    // A second MSG_OPENDS: sequence error, the connection stays.
    TW_IDENTITY again = MakeAppIdentity(kAppId);
    again.Id = 99;
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &again), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_SEQERROR);
    TW_IDENTITY identity{};
    ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_EQ(identity.Id, kDsId);

    // A capability without a row; old applications get the old code.
    TW_CAPABILITY cap{CAP_AUTHOR, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_CAPUNSUPPORTED);

    // Back to 300, and a new application may connect.
    ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_SUCCESS);
    TW_IDENTITY old = MakeAppIdentity(kAppId + 5, 1, 5);
    identity.Id = kDsId + 1;
    ASSERT_EQ(ds(&old, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_SUCCESS);
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &identity), TWRC_FAILURE) << "the first app is gone";
    EXPECT_EQ(ds(&old, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&old), TWCC_BADCAP);
}

// A second process that holds the enable mutex until released: this test program started again, running only the
// helper case MutexHolder.HoldsTheMutexWhenAsked. Every wait is bounded, so a failing child cannot hang the test.
class MutexHolderProcess {
public:
    static constexpr int kReadyFd = 10;
    static constexpr int kReleaseFd = 11;

    explicit MutexHolderProcess(const std::u16string& name) : m_name(name.begin(), name.end()) {}
    ~MutexHolderProcess() {
        Stop();
        if (m_ready >= 0)
            close(m_ready);
    }

    // TRUE once the child holds the mutex.
    bool Start() {
        int ready[2];
        int release[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            return false;
        if (pipe2(release, O_CLOEXEC) != 0) {
            close(ready[0]);
            close(ready[1]);
            return false;
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(ready[1], kReadyFd); // the copies lose close-on-exec; nothing else of the parent stays open
            dup2(release[0], kReleaseFd);
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            dup2(devnull, 2);
            setenv("TWAIN_TEST_HOLD_MUTEX", m_name.c_str(), 1);
            execl("/proc/self/exe", "twain_tests", "--gtest_filter=MutexHolder.HoldsTheMutexWhenAsked",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        close(release[0]);
        m_ready = ready[0];
        m_release = release[1];
        if (m_pid < 0)
            return false;
        pollfd wait{m_ready, POLLIN, 0};
        char byte = 0;
        return poll(&wait, 1, 30000) == 1 && read(m_ready, &byte, 1) == 1 && byte == 'y';
    }

    // Lets the child go and waits for it (10 s at most, then it is killed).
    void Stop() {
        if (m_release >= 0) {
            close(m_release);
            m_release = -1;
        }
        if (m_pid <= 0)
            return;
        for (int i = 0; i < 1000; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            usleep(10000);
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    std::string m_name;
    pid_t m_pid = -1;
    int m_ready = -1;
    int m_release = -1;
};

TEST(MutexHolder, HoldsTheMutexWhenAsked) {
    const char* name = std::getenv("TWAIN_TEST_HOLD_MUTEX");
    if (name == nullptr)
        return; // only the second process of the test below has work here
    std::u16string wide(name, name + std::strlen(name));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, wide.c_str());
    char byte = mutex != nullptr ? 'y' : 'n';
    (void)!write(MutexHolderProcess::kReadyFd, &byte, 1);
    pollfd wait{MutexHolderProcess::kReleaseFd, POLLIN, 0};
    poll(&wait, 1, 60000); // until the parent closes its end, a minute at most
    if (mutex != nullptr)
        CloseHandle(mutex);
}

TEST_F(ModuleTest, OpenIsRefusedWhileAnotherProcessHoldsTheEnableMutex) {
    MutexHolderProcess holder(MutexName());
    ASSERT_TRUE(holder.Start()) << "the second process could not take the mutex";

    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(kAppId);
    EXPECT_EQ(Open(ds, app), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_MAXCONNECTIONS) << "the refusal says why";
    TW_IDENTITY identity{};
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_FAILURE);
    EXPECT_EQ(ds.Status(&app), TWCC_SEQERROR) << "the state must have stayed 300";

    holder.Stop();
    EXPECT_EQ(Open(ds, app), TWRC_SUCCESS) << "the name must disappear with its last holder";
}

TEST_F(ModuleTest, FailedStartAnswersBummerToEveryCall) {
    setenv("PLATFORM_FAIL_CREATE", "CDsAssistor", 1);
    LoadedModule ds(StagedModule());
    unsetenv("PLATFORM_FAIL_CREATE");
    ASSERT_TRUE(ds.ok()) << "loading itself cannot fail";
    TW_IDENTITY app = MakeAppIdentity(kAppId);
    TW_IDENTITY identity{};
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_FAILURE);
    EXPECT_EQ(identity.ProductName[0], '\0');
    EXPECT_EQ(Open(ds, app), TWRC_FAILURE);
    TW_EVENT event{nullptr, 0x1234};
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_FAILURE);
    TW_STATUS status{};
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
    EXPECT_EQ(status.ConditionCode, TWCC_BUMMER) << "the reason is still written where the application looks";
}

TEST_F(ModuleTest, ModelFolderNamesTheProductKey) {
    // The same module installed under other model folders reads the keys of those models.
    const std::string longName(70, 'k');
    m_ini = "[TWAIN]\nFile Prefix=" + m_prefix + "\nProduct Name(kvx7718)=KVX 7718\nProduct Name(" + longName +
            ")=Long Model\n";
    WriteIni();
    for (const auto& [folder, expected] :
         {std::pair<std::string, std::string>{"kvx7718", "KVX 7718 TWAIN"}, {longName, "Long Model TWAIN"}}) {
        std::string dir = m_root + "/ds/" + folder;
        std::filesystem::create_directories(dir);
        std::filesystem::copy_file(StagedModule(), dir + "/Scanner64.ds");
        LoadedModule ds(dir + "/Scanner64.ds");
        ASSERT_TRUE(ds.ok()) << folder;
        TW_IDENTITY app = MakeAppIdentity(kAppId);
        TW_IDENTITY identity{};
        ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
        EXPECT_EQ(std::string(identity.ProductName), expected) << folder;
    }
}

class OfficeHostTest : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        platform::testing::SetHostProgramName(u"winword.exe");
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Microsoft\\Office\\11.0\\Common\\Scan", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(m_key);
        ModuleTest::TearDown();
    }
    void SetDevice(int i, const std::u16string& value, bool terminated = true) {
        std::u16string name = u"DEVICE" + std::u16string(1, static_cast<char16_t>(u'0' + i));
        DWORD bytes = static_cast<DWORD>((value.size() + (terminated ? 1 : 0)) * sizeof(WCHAR));
        RegSetValueExW(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    }
    // FLAGS<i>, or 0xDEAD when there is none.
    DWORD Flags(int i) {
        std::u16string name = u"FLAGS" + std::u16string(1, static_cast<char16_t>(u'0' + i));
        DWORD value = 0;
        DWORD bytes = sizeof value;
        if (RegQueryValueExW(m_key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS)
            return 0xDEAD;
        return value;
    }
    void AskIdentity() {
        LoadedModule ds(StagedModule());
        ASSERT_TRUE(ds.ok());
        TW_IDENTITY app = MakeAppIdentity(kAppId);
        TW_IDENTITY identity{};
        ASSERT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    }
    HKEY m_key = nullptr;
};

TEST_F(OfficeHostTest, MarksTheEntryThatNamesTheSource) {
    SetDevice(0, u"Other scanner");
    SetDevice(1, u"Another");
    SetDevice(2, u"KVX 7731 TWAIN (old)");
    SetDevice(3, u"KVX 7731 TWAIN");
    AskIdentity();
    EXPECT_EQ(Flags(3), 15u);
    EXPECT_EQ(Flags(2), 0xDEADu);
    EXPECT_EQ(Flags(0), 0xDEADu);
}

TEST_F(OfficeHostTest, ListEndsAtTheFirstMissingValue) {
    SetDevice(0, u"Other scanner");
    SetDevice(2, u"KVX 7731 TWAIN");
    AskIdentity();
    EXPECT_EQ(Flags(2), 0xDEADu) << "DEVICE1 is missing, so DEVICE2 is never read";
}

TEST_F(OfficeHostTest, UnterminatedAndOverlongValuesAreReadSafely) {
    SetDevice(0, std::u16string(300, u'x')); // longer than the 512-byte buffer: the list ends
    SetDevice(1, u"KVX 7731 TWAIN");
    AskIdentity();
    EXPECT_EQ(Flags(1), 0xDEADu);

    SetDevice(0, u"KVX 7731 TWAIN", false); // REG_SZ data need not be terminated
    AskIdentity();
    EXPECT_EQ(Flags(0), 15u);
}

} // namespace
