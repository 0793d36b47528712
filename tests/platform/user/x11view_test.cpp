// The X view under a real X server (Xvfb): a shown dialog appears as an X window with its pixels, and a click
// on that X window reaches the control under it. Skipped when Xvfb is not installed.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <dlfcn.h>
#include <filesystem>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

namespace ut = platform::user::testing;

bool FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (access((dir + "/" + name).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

class Xvfb {
public:
    // Xvfb chooses a free display itself (-displayfd), so parallel test runs never share a server. Without
    // -noreset the server resets when its last client leaves (as the probe below does), and refuses connections
    // while it does.
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen",  "0",
                              "1024x768x24", "-nolisten",  "tcp",      "-noreset", nullptr};
        int spawned = posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, const_cast<char* const*>(argv), environ);
        close(fds[1]);
        if (spawned != 0) {
            close(fds[0]);
            return false;
        }
        std::string number;
        pollfd pfd{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&pfd, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            return false;
        m_name = ":" + number;
        if (Display* d = XOpenDisplay(m_name.c_str())) {
            XCloseDisplay(d);
            return true;
        }
        return false;
    }
    ~Xvfb() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }
    const std::string& name() const { return m_name; }
    pid_t pid() const { return m_pid; }
    // Ends the server at once, as a crash would.
    void Kill() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    std::string m_name;
};

::Window FindNamed(Display* d, ::Window parent, const char* name) {
    ::Window root = 0;
    ::Window up = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, parent, &root, &up, &children, &count))
        return 0;
    ::Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* title = nullptr;
        if (XFetchName(d, children[i], &title) && title) {
            if (std::strcmp(title, name) == 0)
                found = children[i];
            XFree(title);
        }
        if (!found)
            found = FindNamed(d, children[i], name);
    }
    if (children)
        XFree(children);
    return found;
}

int g_clicks = 0;
// Every test has an X server of its own; those that show windows themselves point this process at it.
class XView : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FindProgram("Xvfb"))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(server.Start()) << "Xvfb did not start";
    }
    void TearDown() override {
        if (m_shownHere)
            unsetenv("DISPLAY");
    }
    void ShowWindowsOnTheServer() {
        setenv("DISPLAY", server.name().c_str(), 1);
        unsetenv("PLATFORM_HEADLESS");
        m_shownHere = true;
    }

    Xvfb server;

private:
    bool m_shownHere = false;
};

INT_PTR CALLBACK CountClicks(HWND, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && LOWORD(wParam) == 16 && HIWORD(wParam) == BN_CLICKED)
        ++g_clicks;
    return msg == WM_INITDIALOG;
}

TEST_F(XView, ShownDialogAppearsAsAnXWindowAndTakesClicks) {
    ShowWindowsOnTheServer();
    constexpr const char* kDialog = R"(DIALOGEX 20, 20, 160, 80
STYLE WS_POPUP | WS_CAPTION | WS_VISIBLE
CAPTION "X view test"
BEGIN
    PUSHBUTTON "Press", 16, 40, 30, 60, 20
END
)";
    HWND dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kDialog), nullptr, CountClicks, 0);
    ASSERT_NE(dlg, nullptr);
    Display* d = XOpenDisplay(server.name().c_str());
    ASSERT_NE(d, nullptr);
    ::Window xw = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!xw && std::chrono::steady_clock::now() < deadline) {
        ut::RunPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        xw = FindNamed(d, DefaultRootWindow(d), "X view test");
    }
    ASSERT_NE(xw, 0u) << "no X window shows the dialog";

    // The X window shows the surface: compare a pixel of the button's face.
    RECT dr{};
    RECT br{};
    GetWindowRect(dlg, &dr);
    GetWindowRect(GetDlgItem(dlg, 16), &br);
    int x = br.left - dr.left + 5;
    int y = br.top - dr.top + 5;
    COLORREF expected = ut::WindowPixel(GetDlgItem(dlg, 16), 5, 5);
    unsigned long seen = 0;
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
        ut::RunPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        XImage* image = XGetImage(d, xw, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image) {
            seen = XGetPixel(image, 0, 0);
            XDestroyImage(image);
        }
    } while (RGB((seen >> 16) & 0xFF, (seen >> 8) & 0xFF, seen & 0xFF) != expected &&
             std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(RGB((seen >> 16) & 0xFF, (seen >> 8) & 0xFF, seen & 0xFF), expected);

    // A click on the X window reaches the button.
    for (int type : {ButtonPress, ButtonRelease}) {
        XEvent e{};
        e.xbutton.type = type;
        e.xbutton.window = xw;
        e.xbutton.button = Button1;
        e.xbutton.x = x;
        e.xbutton.y = y;
        e.xbutton.same_screen = True;
        XSendEvent(d, xw, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &e);
    }
    XFlush(d);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (g_clicks == 0 && std::chrono::steady_clock::now() < deadline) {
        ut::RunPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(g_clicks, 1);
    DestroyWindow(dlg);
    XCloseDisplay(d);
}

} // namespace

namespace {

// Waits up to ten seconds for a window titled `name` to appear on the X server; 0 if none did.
::Window WaitForNamed(const std::string& server, const char* name) {
    Display* d = XOpenDisplay(server.c_str());
    if (!d)
        return 0;
    ::Window xw = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!xw && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        xw = FindNamed(d, DefaultRootWindow(d), name);
    }
    XCloseDisplay(d);
    return xw;
}

#ifdef DIALOGDEMO_PATH
TEST_F(XView, TheDemoShowsUnderAnXServerAndClosesByItself) {
    std::string display = "DISPLAY=" + server.name();
    const char* argv[] = {DIALOGDEMO_PATH, "--seconds", "2", nullptr};
    const char* envp[] = {display.c_str(), "PATH=/usr/bin:/bin", nullptr};
    pid_t demo = -1;
    ASSERT_EQ(posix_spawn(&demo, DIALOGDEMO_PATH, nullptr, nullptr, const_cast<char* const*>(argv),
                          const_cast<char* const*>(envp)),
              0);
    EXPECT_NE(WaitForNamed(server.name(), "Dialog demo"), 0u) << "the demo's dialog did not appear";
    int status = -1;
    waitpid(demo, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the demo ended with status " << status;
}
#endif

#ifdef MODAL_DIALOG_CHILD
TEST_F(XView, AModalDialogOnTheDisplayIsLeftToTheUser) {
    const std::string folder = testsupport::MakeTempFolder("xview-modal");
    ASSERT_FALSE(folder.empty());
    const std::string err = folder + "/err.txt";
    const std::string command = "exec env -u PLATFORM_HEADLESS DISPLAY=" + server.name() +
                                " PLATFORM_DIALOG_TIMEOUT=0.2 " + MODAL_DIALOG_CHILD + " box 1 2>'" + err + "'";
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
    EXPECT_NE(WaitForNamed(server.name(), "Caption"), 0u) << "the box did not appear";
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "the box waits for the user, three timeouts on";
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(testsupport::ReadBytes(err), "") << "nothing is said on standard error";
    testsupport::RemoveFolder(folder);
}
#endif

#ifdef LEAVING_MODULE
int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// Each module has its own copy of the view; unloading it must close the copy's connection to the server.
TEST_F(XView, AModuleLoadedAndUnloadedAgainLeavesNoConnectionToTheServer) {
    ShowWindowsOnTheServer();
    int afterFirst = -1;
    for (int round = 0; round < 4; ++round) {
        void* module = dlopen(LEAVING_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto show = reinterpret_cast<HWND (*)()>(dlsym(module, "LeavingModuleShowWindow"));
        ASSERT_NE(show, nullptr);
        ASSERT_NE(show(), nullptr);
        ASSERT_NE(WaitForNamed(server.name(), "shown by the leaving module"), 0u)
            << "round " << round << ": the module's window never reached the server";
        ASSERT_EQ(dlclose(module), 0);
        if (round == 0)
            afterFirst = OpenDescriptors(); // what the X libraries keep once loaded is no leak
    }
    EXPECT_EQ(OpenDescriptors(), afterFirst) << "every unload left a connection to the X server open";
}

// The server stops answering while the view sends it a picture, the module is unloaded, and then the server goes:
// the view meets the loss only after the unload has begun to wait for it, and the unload must still end.
TEST_F(XView, AModuleUnloadedWhileItsViewWaitsOnAServerThatThenGoesStillUnloads) {
    ShowWindowsOnTheServer();
    // A write to the server's closed end must not end the test program.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);

    void* module = dlopen(LEAVING_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto show = reinterpret_cast<HWND (*)()>(dlsym(module, "LeavingModuleShowWindow"));
    auto showLarge = reinterpret_cast<HWND (*)()>(dlsym(module, "LeavingModuleShowLargeWindow"));
    ASSERT_TRUE(show != nullptr && showLarge != nullptr);
    ASSERT_NE(show(), nullptr);
    ASSERT_NE(WaitForNamed(server.name(), "shown by the leaving module"), 0u) << "the view never reached the server";

    kill(server.pid(), SIGSTOP);
    ASSERT_NE(showLarge(), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the view is stuck sending the picture
    std::atomic<bool> unloaded{false};
    std::thread unload([&] {
        dlclose(module);
        unloaded = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    server.Kill();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!unloaded && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(unloaded) << "the unload still waits for a view that the lost server holds for good";
    if (unloaded)
        unload.join();
    else
        unload.detach();
    sigaction(SIGPIPE, &previous, nullptr);
}
#endif

} // namespace
