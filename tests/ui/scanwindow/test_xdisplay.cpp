// The scanning window on a real X server, in an imaging application that never calls the source while it waits:
// `twainapp --no-pump` on an Xvfb display of the test's own, driven by another X client's clicks, as a person's
// would come through the X view.
#include "ScanWindowTestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace scanwindow_test;

// An Xvfb server on a display it chooses itself (-displayfd), ended with the test.
class XServer {
public:
    ~XServer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    // Answers the display name (":<n>"), or empty with the reason.
    std::string Start(std::string& why) {
        int fds[2];
        if (pipe(fds) != 0) {
            why = "no pipe";
            return {};
        }
        // Made before the fork: this program has threads, the child only execs.
        std::string fd = std::to_string(fds[1]);
        std::string args[] = {"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int quiet = open("/dev/null", O_WRONLY);
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            dup2(quiet, 1);
            dup2(quiet, 2);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        close(quiet);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
            if (poll(&p, 1, 100) <= 0)
                continue;
            char c = 0;
            if (read(fds[0], &c, 1) != 1)
                break;
            number += c;
        }
        close(fds[0]);
        if (m_pid < 0 || number.find('\n') == std::string::npos) {
            why = "Xvfb did not start (is the xvfb package installed?)";
            return {};
        }
        return ":" + number.substr(0, number.find('\n'));
    }

private:
    pid_t m_pid = -1;
};

class XDisplayTest : public ScanWindowTestRoot {
protected:
    void TearDown() override {
        if (m_app > 0) {
            kill(m_app, SIGKILL);
            waitpid(m_app, nullptr, 0);
        }
        if (m_x != nullptr)
            XCloseDisplay(m_x); // before the server goes, or Xlib ends this program
        m_server.reset();
        ScanWindowTestRoot::TearDown();
    }

    // Where the buttons lie in the scanning window, as the same layout places them here (headless).
    void MeasureButtons() {
        CMainUIDialog dialog;
        ASSERT_TRUE(dialog.CreateModeless(nullptr));
        RECT window{};
        ::GetWindowRect(dialog.m_hWnd, &window);
        for (const int id : {20006}) {
            RECT button{};
            ::GetWindowRect(::GetDlgItem(dialog.m_hWnd, id), &button);
            m_centres[id] =
                POINT{(button.left + button.right) / 2 - window.left, (button.top + button.bottom) / 2 - window.top};
        }
        dialog.DestroyWindow();
    }

    // The staged imaging application on `display`, with the staged source under this test's root.
    void StartApplication(const std::string& display, const std::string& out) {
        const std::string stage = PROJECT_STAGE_DIR;
        const std::string model = m_root + "/twain/kvx7731";
        std::filesystem::create_directories(model);
        for (const auto& file : std::filesystem::directory_iterator(stage + "/twain/kvx7731"))
            if (file.is_regular_file())
                std::filesystem::copy_file(file.path(), model + "/" + file.path().filename().string());
        std::ofstream(m_root + "/Windows/Scanner.ini")
            << "[TWAIN]\nFile Prefix=kvx\nRegistry=Software\\Korvel\\KVX7731\nSetting Path=\\Korvel\\\n"
               "Product Name(kvx7731)=KVX 7731\n";
        m_log = m_root + "/twainapp.log";
        // Everything the child needs is made before the fork: this program has threads, the child only execs.
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            if (name != "DISPLAY" && name != "PLATFORM_HEADLESS" && name != "PLATFORM_ROOT" &&
                name != "TWAIN_DS_PATH" && name != "PLATFORM_TWAIN_DSM" && name != "LSAN_OPTIONS")
                env.push_back(entry);
        }
        // The X view keeps its connection to the display until the program ends: in a sanitizer build that is no
        // leak of the application's.
        const std::string suppressions = m_root + "/lsan.supp";
        std::ofstream(suppressions) << "leak:libX11.so\nleak:libxcb.so\n";
        const char* lsan = std::getenv("LSAN_OPTIONS");
        env.push_back("LSAN_OPTIONS=" + (lsan != nullptr && *lsan ? std::string(lsan) + ":" : std::string()) +
                      "suppressions=" + suppressions);
        env.push_back("DISPLAY=" + display);
        env.push_back("PLATFORM_ROOT=" + m_root);
        env.push_back("TWAIN_DS_PATH=" + m_root + "/twain");
        env.push_back("PLATFORM_TWAIN_DSM=" + stage + "/lib/libtwaindsm_standin.so");
        std::vector<char*> envp;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = {
            stage + "/bin/twainapp", "--enable-ui", "--no-pump", "--wait", "90", "--xfer", "memory", "--out", out};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int log = open(m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        m_app = fork();
        if (m_app == 0) {
            dup2(log, 1);
            dup2(log, 2);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(log);
    }

    // The application's X window of the scanning window, once it is shown (20 s at most).
    Window FindScanningWindow() {
        for (int i = 0; i < 200; ++i) {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            Window found = 0;
            if (XQueryTree(m_x, DefaultRootWindow(m_x), &root, &parent, &children, &count)) {
                for (unsigned c = 0; c < count && found == 0; ++c) {
                    char* name = nullptr;
                    XWindowAttributes attributes{};
                    if (XFetchName(m_x, children[c], &name) && name != nullptr) {
                        if (std::strcmp(name, "KVX 7731 TWAIN (USB)") == 0 &&
                            XGetWindowAttributes(m_x, children[c], &attributes) && attributes.map_state == IsViewable)
                            found = children[c];
                        XFree(name);
                    }
                }
                if (children != nullptr)
                    XFree(children);
            }
            if (found != 0)
                return found;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }

    // A click of the left button at a point of the X window, sent from this X client.
    void Click(Window window, POINT at) {
        XEvent e{};
        e.xmotion.type = MotionNotify;
        e.xmotion.display = m_x;
        e.xmotion.window = window;
        e.xmotion.x = at.x;
        e.xmotion.y = at.y;
        XSendEvent(m_x, window, False, PointerMotionMask, &e);
        for (const int type : {ButtonPress, ButtonRelease}) {
            XEvent b{};
            b.xbutton.type = type;
            b.xbutton.display = m_x;
            b.xbutton.window = window;
            b.xbutton.button = Button1;
            b.xbutton.x = at.x;
            b.xbutton.y = at.y;
            b.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
            XSendEvent(m_x, window, False, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &b);
        }
        XFlush(m_x);
    }

    // Waits for the application's end (60 s at most); its exit status, or -1.
    int WaitForApplication() {
        for (int i = 0; i < 600; ++i) {
            int status = 0;
            if (waitpid(m_app, &status, WNOHANG) == m_app) {
                m_app = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return -1;
    }
    std::string Log() const {
        std::ifstream in(m_log);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::unique_ptr<XServer> m_server = std::make_unique<XServer>();
    Display* m_x = nullptr;
    pid_t m_app = -1;
    std::string m_log;
    std::map<int, POINT> m_centres;
};

TEST_F(XDisplayTest, ScanClickedOnTheDisplayReachesAnApplicationThatNeverCallsTheSourceWhileItWaits) {
    std::string why;
    const std::string display = m_server->Start(why);
    if (display.empty())
        GTEST_SKIP() << "no X server could be started: " << why;
    m_x = XOpenDisplay(display.c_str());
    ASSERT_NE(m_x, nullptr) << "cannot connect to " << display;
    // A window that went between finding and clicking is no reason to end this program.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    MeasureButtons();
    StartApplication(display, m_root + "/page.png");
    const std::string page = m_root + "/page-001.png"; // the application numbers the pages of a session
    ASSERT_GT(m_app, 0);

    const Window window = FindScanningWindow();
    ASSERT_NE(window, 0u) << "the scanning window did not appear on " << display << "\n" << Log();
    Click(window, m_centres[20006]); // Scan
    for (int i = 0; i < 600 && Log().find("Page 1: wrote") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_NE(Log().find("Page 1: wrote"), std::string::npos) << "no page was written\n" << Log();
    char signature[8] = {};
    std::ifstream(page, std::ios::binary).read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG") << page << "\n" << Log();

    // The flatbed job ends with the page: the source asks to be closed, and the application disables, closes and
    // ends.
    EXPECT_EQ(WaitForApplication(), 0) << Log();
    EXPECT_NE(Log().find("Notification: MSG_CLOSEDSREQ"), std::string::npos) << Log();
}

} // namespace
