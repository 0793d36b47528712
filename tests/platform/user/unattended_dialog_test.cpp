// A modal dialog that no display shows and no test intercepts: the window layer says what it shows on standard
// error and, after PLATFORM_DIALOG_TIMEOUT seconds without input, answers it as a user who declines. Each case runs
// the dialog in a child process (tests/platform/user/programs/modal_dialog_child.cpp) with a short timeout.
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

struct ChildRun {
    int result = -1; // what the dialog ended with
    int ms = -1;     // how long it was up
    std::string err;
};

class UnattendedDialog : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = testsupport::MakeTempFolder("unattended-dialog");
        ASSERT_FALSE(m_dir.empty());
    }
    void TearDown() override { testsupport::RemoveFolder(m_dir); }

    std::string Command(const std::string& timeout, const std::string& arguments) const {
        return "env -u DISPLAY PLATFORM_HEADLESS=1 PLATFORM_DIALOG_TIMEOUT=" + timeout + " " MODAL_DIALOG_CHILD " " +
               arguments + " >'" + m_dir + "/out.txt' 2>'" + m_dir + "/err.txt'";
    }

    ChildRun Start(const std::string& timeout, const std::string& arguments) {
        ChildRun run;
        EXPECT_EQ(std::system(Command(timeout, arguments).c_str()), 0) << arguments;
        std::sscanf(testsupport::ReadBytes(m_dir + "/out.txt").c_str(), "result %d after %d ms", &run.result, &run.ms);
        run.err = testsupport::ReadBytes(m_dir + "/err.txt");
        return run;
    }

    std::string m_dir;
};

TEST_F(UnattendedDialog, AMessageBoxIsWrittenOnOneLineAndItsCancelPressedAfterTheTimeout) {
    const ChildRun run = Start("0.3", "box 1"); // MB_OKCANCEL
    EXPECT_EQ(run.result, 2) << "IDCANCEL";
    EXPECT_GE(run.ms, 290) << "not before the timeout (the clocks count whole milliseconds)";
    EXPECT_NE(run.err.find("modal_dialog_child: dialog \"Caption\": \"Line one Line two\" [OK] [Cancel] -- no display "
                           "shows it: declined after 0.3 s without input"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("dialog \"Caption\": no answer in 0.3 s, pressed Cancel"), std::string::npos) << run.err;
}

TEST_F(UnattendedDialog, WithoutAnEnabledCancelOkIsPressedAndWithoutButtonsTheDialogIsClosed) {
    EXPECT_EQ(Start("0.2", "box 0").result, 1) << "a box with OK alone: IDOK";
    ChildRun run = Start("0.2", "disabled-cancel");
    EXPECT_EQ(run.result, 1) << "Cancel is disabled: OK\n" << run.err;
    EXPECT_NE(run.err.find("[OK]"), std::string::npos) << run.err;
    run = Start("0.2", "no-buttons");
    EXPECT_EQ(run.result, 100) << "WM_CLOSE reached the dialog as IDCANCEL\n" << run.err;
    EXPECT_NE(run.err.find("closed it"), std::string::npos) << run.err;
}

TEST_F(UnattendedDialog, ADialogThatStaysUpAfterItWasDeclinedIsEndedWithIdcancelOneTimeoutLater) {
    ChildRun run = Start("0.2", "stubborn");
    EXPECT_EQ(run.result, 2) << run.err;
    EXPECT_GE(run.ms, 390) << "declined at 0.2 s, ended at 0.4 s";
    EXPECT_NE(run.err.find("ended with IDCANCEL"), std::string::npos) << run.err;
    run = Start("0.2", "box 4"); // MB_YESNO: neither Cancel nor OK, and a close does not end it
    EXPECT_EQ(run.result, 2) << run.err;
}

TEST_F(UnattendedDialog, AProgressDialogItsWorkerMovesIsLeftToItsWorkerPastTheTimeout) {
    const ChildRun run = Start("0.5", "worker 1500");
    EXPECT_EQ(run.result, 7) << "ended by its worker, never declined\n" << run.err;
    EXPECT_GE(run.ms, 1500);
    EXPECT_EQ(run.err.find("no answer"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Child worker"), std::string::npos) << "a dialog its worker moves says nothing\n" << run.err;
}

TEST_F(UnattendedDialog, KeysPostponeTheAnswerUntilTheyStop) {
    const ChildRun run = Start("0.5", "typing 1000");
    EXPECT_EQ(run.result, 2) << run.err;
    EXPECT_GE(run.ms, 1350) << "the last of the keys (every 0.1 s for 1 s), then 0.5 s without input";
}

TEST_F(UnattendedDialog, ATimeoutOfZeroWaitsForAnAnswer) {
    const std::string command = "exec " + Command("0", "box 1");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (testsupport::ReadBytes(m_dir + "/err.txt").find("dialog \"Caption\"") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the box is still up";
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_NE(testsupport::ReadBytes(m_dir + "/err.txt").find("-- no display shows it: it waits for an answer"),
              std::string::npos)
        << testsupport::ReadBytes(m_dir + "/err.txt");
}

} // namespace
