// While one process has the source enabled no other process can open it; once that process disables the source,
// or dies, others are admitted. The first process is this test program started again, running only the helper
// case EnabledSourceHolder.EnablesWhenAsked; every wait is bounded.

#include "TwainTestSupport.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>

namespace {

constexpr int kToParentFd = 10;
constexpr int kFromParentFd = 11;

bool ReadByte(int fd, char& byte, int timeoutMs) {
    pollfd wait{fd, POLLIN, 0};
    return poll(&wait, 1, timeoutMs) == 1 && read(fd, &byte, 1) == 1;
}

class SourceHolderProcess {
public:
    ~SourceHolderProcess() {
        Kill();
        if (m_toParent >= 0)
            close(m_toParent);
        if (m_fromParent >= 0)
            close(m_fromParent);
    }

    // TRUE once the child has opened and enabled the source; with `openOnly`, once it has opened it (Enable then
    // asks it to enable).
    bool Start(bool openOnly = false) {
        int up[2];
        int down[2];
        if (pipe2(up, O_CLOEXEC) != 0)
            return false;
        if (pipe2(down, O_CLOEXEC) != 0) {
            close(up[0]);
            close(up[1]);
            return false;
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(up[1], kToParentFd);
            dup2(down[0], kFromParentFd);
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            dup2(devnull, 2);
            setenv("TWAIN_TEST_ENABLE_SOURCE", openOnly ? "open" : "1", 1);
            execl("/proc/self/exe", "twain_tests", "--gtest_filter=EnabledSourceHolder.EnablesWhenAsked",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(up[1]);
        close(down[0]);
        m_toParent = up[0];
        m_fromParent = down[1];
        char byte = 0;
        return m_pid > 0 && ReadByte(m_toParent, byte, 30000) && byte == (openOnly ? 'o' : 'e');
    }

    // Asks the child that only opened the source to enable it, without waiting for the answer.
    bool AskToEnable() {
        const char ask = 'e';
        return write(m_fromParent, &ask, 1) == 1;
    }
    // The child's answer to AskToEnable: 'e' enabled, 'n' refused, 0 no answer.
    char EnableAnswer() {
        char byte = 0;
        return ReadByte(m_toParent, byte, 30000) ? byte : 0;
    }

    // Asks the child to disable the source; TRUE once it did (it stays alive until the pipe closes).
    bool Disable() {
        const char ask = 'd';
        char byte = 0;
        return write(m_fromParent, &ask, 1) == 1 && ReadByte(m_toParent, byte, 30000) && byte == 'd';
    }

    void Kill() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_toParent = -1;
    int m_fromParent = -1;
};

class ExclusiveTest : public TwainTestRoot {
protected:
    TW_UINT16 Open(const LoadedModule& ds, TW_IDENTITY& app) {
        TW_IDENTITY assigned{};
        assigned.Id = 8;
        return ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned);
    }
};

TEST(EnabledSourceHolder, EnablesWhenAsked) {
    if (std::getenv("TWAIN_TEST_ENABLE_SOURCE") == nullptr)
        return; // only the second process of the tests below has work here
    LoadedModule ds(StagedModule());
    TW_IDENTITY app = MakeAppIdentity(41);
    TW_IDENTITY assigned{};
    assigned.Id = 9;
    TW_USERINTERFACE ui{0, 0, nullptr};
    char state = 'n';
    char asked = 0;
    if (std::string(std::getenv("TWAIN_TEST_ENABLE_SOURCE")) == "open") {
        const bool opened = ds.ok() && ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned) == TWRC_SUCCESS;
        state = opened ? 'o' : 'n';
        (void)!write(kToParentFd, &state, 1);
        if (!opened || !ReadByte(kFromParentFd, asked, 60000) || asked != 'e')
            return;
        state = ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS ? 'e' : 'n';
    } else if (ds.ok() && ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned) == TWRC_SUCCESS &&
               ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS) {
        state = 'e';
    }
    (void)!write(kToParentFd, &state, 1);
    while (ReadByte(kFromParentFd, asked, 60000) && asked == 'd') {
        ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        (void)!write(kToParentFd, &asked, 1);
    }
}

TEST_F(ExclusiveTest, SecondProcessIsRefusedUntilTheFirstDisables) {
    SourceHolderProcess holder;
    ASSERT_TRUE(holder.Start()) << "the first process could not enable the source";

    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(42);
    EXPECT_EQ(Open(ds, app), TWRC_FAILURE) << "the source is enabled in another process";

    ASSERT_TRUE(holder.Disable());
    EXPECT_EQ(Open(ds, app), TWRC_SUCCESS) << "admitted once the other process disabled, while it still runs";
    TW_IDENTITY identity{};
    EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_SUCCESS);
}

TEST_F(ExclusiveTest, SecondProcessIsAdmittedWhenTheFirstDies) {
    SourceHolderProcess holder;
    ASSERT_TRUE(holder.Start()) << "the first process could not enable the source";
    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(43);
    EXPECT_EQ(Open(ds, app), TWRC_FAILURE);

    holder.Kill();
    EXPECT_EQ(Open(ds, app), TWRC_SUCCESS) << "a dead process holds nothing";
}

// Two processes that both opened the source before either enabled it: the one that enables second is refused,
// also when both enable at the same moment, so that only one of them scans.
TEST_F(ExclusiveTest, OfTwoProcessesEnablingTheSourceOnlyOneScans) {
    LoadedModule ds(StagedModule());
    ASSERT_TRUE(ds.ok());
    TW_IDENTITY app = MakeAppIdentity(44);
    TW_USERINTERFACE ui{0, 0, nullptr};
    TW_IDENTITY identity{};
    {
        SourceHolderProcess other;
        ASSERT_TRUE(other.Start(true)) << "the other process could not open the source";
        ASSERT_EQ(Open(ds, app), TWRC_SUCCESS) << "the other process has only opened the source";
        ASSERT_TRUE(other.AskToEnable());
        ASSERT_EQ(other.EnableAnswer(), 'e') << "the other process could not enable the source";
        EXPECT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE)
            << "enabled while another process has the source enabled: both scan";
        EXPECT_EQ(ds.Status(&app), TWCC_MAXCONNECTIONS) << "the source is in use by another application";
        EXPECT_EQ(ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_FAILURE)
            << "a refused enable leaves the source open, not enabled";
        EXPECT_EQ(ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity), TWRC_SUCCESS);
    }
    for (int round = 0; round < 3; ++round) {
        SourceHolderProcess other;
        ASSERT_TRUE(other.Start(true));
        ASSERT_EQ(Open(ds, app), TWRC_SUCCESS);
        ASSERT_TRUE(other.AskToEnable());
        const bool mine = ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS;
        const char theirs = other.EnableAnswer();
        ASSERT_NE(theirs, 0) << "round " << round << ": the other process did not answer";
        EXPECT_NE(mine, theirs == 'e') << "round " << round << ": " << (mine ? "both" : "neither")
                                       << " of two processes enabling at once enabled the source";
        if (mine)
            ds(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        ds(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity);
    }
}

// Every user of named objects, each in a process of its own, against a folder of names of this test alone: when
// they have ended the folder is as it was, also after one of them died holding its name.
TEST_F(ExclusiveTest, NamedObjectsLeaveTheirFolderAsItWas) {
    char runtime[] = "/tmp/twain-names-XXXXXX";
    ASSERT_NE(mkdtemp(runtime), nullptr);
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    setenv("XDG_RUNTIME_DIR", runtime, 1); // the children's folder of names
    const std::string names = std::string(runtime) + "/platform-objects";
    auto listing = [&] {
        std::vector<std::string> entries;
        std::error_code ec;
        for (std::filesystem::recursive_directory_iterator it(names, ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(it->path().string().substr(names.size()));
        std::sort(entries.begin(), entries.end());
        return entries;
    };
    const std::vector<std::string> before = listing();

    {
        SourceHolderProcess holder;
        ASSERT_TRUE(holder.Start());
        EXPECT_NE(listing(), before) << "the enabled source's mutex has no name";
        ASSERT_TRUE(holder.Disable());
        EXPECT_EQ(listing(), before) << "the disabled source left its name";
    }
    {
        SourceHolderProcess holder;
        ASSERT_TRUE(holder.Start());
        holder.Kill(); // its name stays until another process looks
    }
    const std::string command =
        "TWAIN_DS_PATH='" + StageDir() + "/twain' '" + StageDir() + "/bin/twainapp' --enable --wait 0 >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(listing(), before) << "the names of a process that died were not reclaimed";

    if (saved != nullptr)
        setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(runtime);
}

} // namespace
