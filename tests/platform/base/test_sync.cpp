// Threads, waits, events, mutexes, named objects seen from a second process, critical sections, tick counts.
#include "platform/base/sync.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A name no other test (or test process) uses.
std::u16string UniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return platform::ToUtf16(std::string(what) + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
}

TEST(Threads, HandleIsSignalledWithTheExitCodeWhenTheThreadEnds) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Context {
        HANDLE go;
        DWORD id;
    } context{go, 0};
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* c = static_cast<Context*>(p);
            c->id = GetCurrentThreadId();
            WaitForSingleObject(c->go, INFINITE);
            return 77;
        },
        &context, 0, &id);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(context.id, id) << "the id CreateThread reports is the thread's own";
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 77u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
    CloseHandle(thread);
    CloseHandle(go);
}

TEST(Threads, ExitThreadAndSuspendedStart) {
    std::atomic<bool> ran{false};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            static_cast<std::atomic<bool>*>(p)->store(true);
            ExitThread(5);
        },
        &ran, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    Sleep(30);
    EXPECT_FALSE(ran) << "a suspended thread waits for ResumeThread";
    EXPECT_EQ(ResumeThread(thread), 1u);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(ran);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 5u);
    CloseHandle(thread);
}

TEST(Events, AutoResetReleasesOneWaiterManualResetAll) {
    HANDLE autoEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT) << "the first wait reset it";

    HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(manual, 5000) == WAIT_OBJECT_0)
                ++released;
        });
    Sleep(20);
    SetEvent(manual);
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0) << "a manual event stays set";
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    CloseHandle(autoEvent);
    CloseHandle(manual);
}

TEST(Waits, MultipleObjectsAnyAllAndTimeOuts) {
    HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE both[] = {a, b};

    auto start = Clock::now();
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 60), WAIT_TIMEOUT);
    EXPECT_GE(MillisecondsSince(start), 59);
    EXPECT_LT(MillisecondsSince(start), 2000);

    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1) << "the index of the signalled one";
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 30), WAIT_TIMEOUT) << "all means all";

    start = Clock::now(); // before the thread starts its 30 ms, however late this thread runs on
    std::thread later([&] {
        Sleep(30);
        SetEvent(a);
    });
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 5000), WAIT_OBJECT_0);
    EXPECT_GE(MillisecondsSince(start), 20);
    later.join();

    HANDLE bad[] = {a, reinterpret_cast<HANDLE>(0x7777)};
    EXPECT_EQ(WaitForMultipleObjects(2, bad, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(a);
    CloseHandle(b);
}

TEST(Waits, WaitAllTakesNothingUntilEverythingIsSignalled) {
    HANDLE autoEvent = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    HANDLE other = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE both[] = {autoEvent, other};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0) << "the auto-reset event was not consumed";
    SetEvent(autoEvent);
    SetEvent(other);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT) << "now it was";
    SetEvent(autoEvent);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0) << "the lowest signalled index wins";

    EXPECT_EQ(WaitForMultipleObjects(0, both, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(autoEvent);
    CloseHandle(other);
}

TEST(Waits, AnAutoResetEventWakesExactlyOneOfSeveralWaiters) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, 60000) == WAIT_OBJECT_0)
                ++woken;
        });
    // Each set wakes one waiter (the next to come, when none waits yet) and is used up by it.
    for (int set = 1; set <= 4; ++set) {
        SetEvent(event);
        for (int i = 0; i < 2000 && woken < set; ++i)
            Sleep(5);
        Sleep(30); // time for any other waiter the set might wrongly wake
        EXPECT_EQ(woken, set);
    }
    for (auto& t : waiters)
        t.join();
    CloseHandle(event);
}

TEST(Handles, ADuplicateKeepsTheObjectAfterTheOriginalIsClosed) {
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE copy = nullptr;
    ASSERT_TRUE(
        DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    EXPECT_NE(copy, event);
    CloseHandle(event);
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(SetEvent(event)) << "the closed handle is gone";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(copy);
}

TEST(Mutexes, OwnershipIsRecursiveAndBelongsToOneThread) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "the owner may take it again";
    DWORD other = 0;
    std::thread([&] {
        other = WaitForSingleObject(mutex, 20);
        EXPECT_FALSE(ReleaseMutex(mutex));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    std::thread([&] { other = WaitForSingleObject(mutex, 0); }).join(); // ends while owning it
    EXPECT_EQ(other, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED) << "an owner that ended abandons the mutex";
    ReleaseMutex(mutex);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "and after that it is an ordinary mutex again";
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST(Mutexes, AThreadHandleSignalsOnlyAfterItsMutexesAreAbandoned) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID m) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(m), 0); }, mutex, 0,
        nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
    ReleaseMutex(mutex);
    CloseHandle(thread);
    CloseHandle(mutex);
}

TEST(NamedObjects, SameNameSameObjectInOneProcess) {
    std::u16string name = u"Local\\" + UniqueName("kernel_same");
    HANDLE first = CreateMutexW(nullptr, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    std::u16string plain = name.substr(6);
    HANDLE second = CreateMutexW(nullptr, TRUE, plain.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "\"Local\\x\" and \"x\" are one name";
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0) << "initial ownership is ignored for an existing name";
    DWORD other = 0;
    std::thread([&] { other = WaitForSingleObject(first, 0); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT) << "both handles name the one mutex";
    ReleaseMutex(second);

    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "a name belongs to one kind of object";

    CloseHandle(first);
    HANDLE third = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(third, nullptr) << "alive while a handle is open";
    CloseHandle(third);
    CloseHandle(second);
}

TEST(NamedObjects, TheNameVanishesWithTheLastHandle) {
    char root[] = "/tmp/kernel-root-XXXXXX"; // a root of its own, whose folder of names no other test uses
    ASSERT_NE(mkdtemp(root), nullptr);
    platform::testing::SetRoot(root);
    std::u16string name = u"Global\\" + UniqueName("kernel_gone") + u"_sign";
    EXPECT_EQ(OpenMutexW(READ_CONTROL, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE created = CreateMutexW(nullptr, FALSE, name.c_str());
    HANDLE opened = OpenMutexW(READ_CONTROL, FALSE, name.c_str());
    ASSERT_NE(opened, nullptr);
    CloseHandle(opened);
    CloseHandle(created);
    EXPECT_EQ(OpenMutexW(READ_CONTROL, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(std::filesystem::exists(platform::kernel::NamePresence::Folder()))
        << "the root's folder of names outlived its last name";
    platform::testing::SetRoot("");
    rmdir(root);
}

// A second process that creates a named object, reports through a pipe, then waits for a byte (1 = close the handle
// and report again) or to be killed.
class SecondProcess {
public:
    SecondProcess(const std::u16string& name, bool event) {
        EXPECT_EQ(pipe(m_toChild), 0);
        EXPECT_EQ(pipe(m_fromChild), 0);
        m_pid = fork();
        if (m_pid == 0) {
            close(m_toChild[1]); // so that the parent's end, closed or dead, reads as end of file
            close(m_fromChild[0]);
            HANDLE h =
                event ? CreateEventW(nullptr, FALSE, FALSE, name.c_str()) : CreateMutexW(nullptr, FALSE, name.c_str());
            char ok = h ? 'y' : 'n';
            (void)!write(m_fromChild[1], &ok, 1);
            char command = 0;
            if (read(m_toChild[0], &command, 1) == 1 && command == '1') {
                CloseHandle(h);
                (void)!write(m_fromChild[1], &ok, 1);
                (void)!read(m_toChild[0], &command, 1);
            }
            _exit(0);
        }
        // Only the child keeps these ends, so its death reads as end of file here.
        close(m_toChild[0]);
        close(m_fromChild[1]);
        m_toChild[0] = m_fromChild[1] = -1;
    }
    ~SecondProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        for (int fd : {m_toChild[0], m_toChild[1], m_fromChild[0], m_fromChild[1]})
            if (fd >= 0)
                close(fd);
    }
    // Bounded: a child that hangs or dies fails the test instead of blocking it.
    bool Ready() {
        pollfd ready{m_fromChild[0], POLLIN, 0};
        char ok = 0;
        return poll(&ready, 1, 10000) == 1 && read(m_fromChild[0], &ok, 1) == 1 && ok == 'y';
    }
    bool CloseItsHandle() {
        char command = '1';
        return write(m_toChild[1], &command, 1) == 1 && Ready();
    }
    void Die() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_toChild[2] = {-1, -1};
    int m_fromChild[2] = {-1, -1};
};

TEST(NamedObjects, AMutexOfAnotherProcessIsSeenUntilThatProcessDies) {
    std::u16string name = u"Global\\" + UniqueName("kernel_cross") + u"_sign";
    SecondProcess other(name, false);
    ASSERT_TRUE(other.Ready());

    HANDLE probe = OpenMutexW(READ_CONTROL, FALSE, name.c_str());
    ASSERT_NE(probe, nullptr) << "the other process's mutex is found by name";
    CloseHandle(probe);
    HANDLE mine = CreateMutexW(nullptr, FALSE, name.c_str());
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(mine);
    EXPECT_NE((probe = OpenMutexW(READ_CONTROL, FALSE, name.c_str())), nullptr)
        << "closing our handles leaves the other process's";
    CloseHandle(probe);

    other.Die();
    EXPECT_EQ(OpenMutexW(READ_CONTROL, FALSE, name.c_str()), nullptr) << "a dead process holds nothing";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    mine = CreateMutexW(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR)) << "so the name is created anew";
    CloseHandle(mine);
}

TEST(NamedObjects, EachRootHasItsOwnNames) {
    char first[] = "/tmp/kernel-root-a-XXXXXX";
    char second[] = "/tmp/kernel-root-b-XXXXXX";
    ASSERT_NE(mkdtemp(first), nullptr);
    ASSERT_NE(mkdtemp(second), nullptr);
    platform::testing::SetRoot(first);
    std::u16string name = u"Global\\" + UniqueName("kernel_root") + u"_sign";
    SecondProcess other(name, false); // inherits the first root
    ASSERT_TRUE(other.Ready());
    platform::testing::SetRoot(second);
    EXPECT_EQ(OpenMutexW(READ_CONTROL, FALSE, name.c_str()), nullptr) << "another root is another machine";
    platform::testing::SetRoot(first);
    HANDLE seen = OpenMutexW(READ_CONTROL, FALSE, name.c_str());
    EXPECT_NE(seen, nullptr);
    CloseHandle(seen);
    platform::testing::SetRoot("");
    rmdir(first);
    rmdir(second);
}

// A process that dies keeps its names on disk until another process makes a name, in whatever root.
TEST(NamedObjects, NamesOfAProcessThatDiedAreReclaimedInEveryRoot) {
    char first[] = "/tmp/kernel-root-a-XXXXXX";
    char second[] = "/tmp/kernel-root-b-XXXXXX";
    ASSERT_NE(mkdtemp(first), nullptr);
    ASSERT_NE(mkdtemp(second), nullptr);
    platform::testing::SetRoot(first);
    const std::string firstNames = platform::kernel::NamePresence::Folder();
    {
        SecondProcess other(u"Global\\" + UniqueName("kernel_dead") + u"_sign", false);
        ASSERT_TRUE(other.Ready());
        other.Die();
    }
    EXPECT_TRUE(std::filesystem::exists(firstNames));
    platform::testing::SetRoot(second);
    HANDLE made = CreateEventW(nullptr, TRUE, FALSE, (u"Global\\" + UniqueName("kernel_next")).c_str());
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(std::filesystem::exists(firstNames)) << "the dead process's name was not reclaimed";
    CloseHandle(made);
    EXPECT_FALSE(std::filesystem::exists(platform::kernel::NamePresence::Folder()));
    platform::testing::SetRoot("");
    rmdir(first);
    rmdir(second);
}

TEST(NamedObjects, AnEventOfAnotherProcessIsGoneWhenItClosesIt) {
    std::u16string name = u"Global\\" + UniqueName("manual_duplex");
    SecondProcess other(name, true);
    ASSERT_TRUE(other.Ready());
    HANDLE probe = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    ASSERT_NE(probe, nullptr);
    CloseHandle(probe);
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()), nullptr) << "an event is not a mutex";
    ASSERT_TRUE(other.CloseItsHandle());
    EXPECT_EQ(OpenEventW(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(CriticalSections, AreRecursiveAndExclusive) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    BOOL other = TRUE;
    std::thread([&] { other = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(other);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread([&] {
        other = TryEnterCriticalSection(&section);
        if (other)
            LeaveCriticalSection(&section);
    }).join();
    EXPECT_TRUE(other);
    DeleteCriticalSection(&section);
}

TEST(Clock, TickCountAndLocalTimeCanBeFixed) {
    DWORD real = GetTickCount();
    Sleep(15);
    EXPECT_GE(GetTickCount() - real, 10u);
    platform::testing::SetTickCount(0xFFFFFFF0ULL);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    platform::testing::AdvanceTickCount(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u) << "the 32-bit count wraps after 49.7 days";
    EXPECT_EQ(GetTickCount64(), 0x100000010ULL);
    platform::testing::SetTickCount(std::nullopt);

    SYSTEMTIME fixed{2024, 3, 2, 5, 14, 30, 0, 0};
    platform::testing::SetLocalTime(fixed);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2024);
    EXPECT_EQ(now.wMonth, 3);
    EXPECT_EQ(now.wDay, 5);
    platform::testing::SetLocalTime(std::nullopt);
    GetLocalTime(&now);
    EXPECT_GE(now.wYear, 2024);
}

TEST(Interlocked, OperationsAnswerTheWindowsValues) {
    volatile LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 7), 9) << "no exchange when the comparand differs";
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            for (int n = 0; n < 10000; ++n)
                InterlockedIncrement(&value);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(value, 40001);
}

} // namespace

namespace {

// A scratch folder of this test, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        char path[] = "/tmp/kernel-private-XXXXXX";
        m_path = mkdtemp(path) != nullptr ? path : "";
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

// The folder of names sits at a predictable place, often in a folder every user may write: one that another user
// made first, or a link planted under its name, must not be taken for ours.
TEST(NamedObjects, OnlyAPrivateFolderOfOursHoldsNames) {
    ScratchFolder scratch;
    ASSERT_FALSE(scratch.path().empty());
    using platform::kernel::MakePrivateFolder;

    const std::string fresh = scratch.path() + "/fresh";
    umask(022);
    EXPECT_EQ(MakePrivateFolder(fresh), "");
    struct stat status {};
    ASSERT_EQ(lstat(fresh.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u) << "a folder made here is private to its user";
    EXPECT_EQ(MakePrivateFolder(fresh), "") << "and is taken again as it is";

    const std::string target = scratch.path() + "/target";
    const std::string link = scratch.path() + "/link";
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(MakePrivateFolder(link), "is a symbolic link") << "a link to a folder of the right mode is refused";

    const std::string open = scratch.path() + "/open";
    ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    EXPECT_EQ(MakePrivateFolder(open), "has mode 0777 instead of 0700") << "a folder others may write is refused";

    const std::string file = scratch.path() + "/file";
    std::ofstream(file).close();
    EXPECT_EQ(MakePrivateFolder(file), "is not a folder");

    if (geteuid() == 0) { // only root can plant a folder owned by another user here
        const std::string foreign = scratch.path() + "/foreign";
        ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_EQ(MakePrivateFolder(foreign), "belongs to user 65534");
    }
}

// A process whose folder of names was planted as a link says so, leaves the link's target alone, and keeps its
// named objects to itself. Checked in a fresh process, since a process chooses its folder once.
TEST(NamedObjects, APlantedLinkIsRefusedAndNamesStayInTheProcess) {
    if (const char* target = std::getenv("KERNEL_TEST_PLANTED_TARGET")) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, u"Global\\planted_sign");
        ASSERT_NE(mutex, nullptr) << "named objects still work within the process";
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
        HANDLE again = OpenMutexW(READ_CONTROL, FALSE, u"Global\\planted_sign");
        EXPECT_NE(again, nullptr);
        CloseHandle(again);
        EXPECT_EQ(OpenMutexW(READ_CONTROL, FALSE, u"Global\\never_made"), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_TRUE(std::filesystem::is_empty(target)) << "names were made through the planted link";
        CloseHandle(mutex);
        return;
    }
    ScratchFolder scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string target = scratch.path() + "/target";
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    ASSERT_EQ(symlink(target.c_str(), (scratch.path() + "/platform-objects").c_str()), 0);
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string errors = scratch.path() + "/stderr";
    const std::string command =
        "XDG_RUNTIME_DIR='" + scratch.path() + "' KERNEL_TEST_PLANTED_TARGET='" + target + "' '" + self +
        "' --gtest_filter=NamedObjects.APlantedLinkIsRefusedAndNamesStayInTheProcess" + " >&2 2>'" + errors + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << "the checks in the child process failed";
    std::ifstream in(errors);
    const std::string said{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(said.find(scratch.path() + "/platform-objects is a symbolic link"), std::string::npos)
        << "the refusal was not reported:\n"
        << said;
    EXPECT_TRUE(std::filesystem::is_empty(target));
}
