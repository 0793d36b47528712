// The scan key and Velmora as separate processes under a C:\ root of their own, headless: the files a key press
// leaves, and the settings window's single instance across processes.
#include "companions/scandrv/TestPage.h"
#include "tests/devicescan/page_marks.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string Program() {
    const char* dir = std::getenv("MODULE_DIR");
    return std::string(dir ? dir : "") + "/ScannerVazeDozi.exe";
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScanKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("scankey-test");
        ASSERT_FALSE(m_root.empty());
        std::filesystem::create_directories(m_root + "/Windows");
        std::ofstream(m_root + "/Windows/Scanner.ini")
            << "[TWAIN]\nFile Prefix=kvx\nSetting Folder=\\Korvel\nSetting Path=\\Korvel\\kvx7731\\\n"
               "Registry=SOFTWARE\\Korvel\\kvx7731\n";
    }
    void TearDown() override {
        for (pid_t pid : m_running) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        testsupport::RemoveFolder(m_root);
    }

    // The environment of the processes: this root, no display, the debug lines on standard error.
    std::string Environment() const {
        return "env -u DISPLAY PLATFORM_ROOT='" + m_root + "' PLATFORM_HEADLESS=1 PLATFORM_DEBUG=1 LANG=C ";
    }

    // Runs the scan key with `options`; its exit status. Its output is in m_out, the debug lines in m_err.
    int PressScanKey(const std::string& options) {
        const std::string command = Environment() + SCANKEY_PATH " --timeout 60 " + options + " >'" + m_root +
                                    "/out.txt' 2>'" + m_root + "/err.txt'";
        const int status = std::system(command.c_str());
        m_out = ReadText(m_root + "/out.txt");
        m_err = ReadText(m_root + "/err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Starts the program with no argument (the settings road) in the background, its debug lines into `log`. Its
    // window waits for the user however long the test takes.
    pid_t StartSettingsWindow(const std::string& log) {
        const std::string command =
            "exec " + Environment() + "PLATFORM_DIALOG_TIMEOUT=0 '" + Program() + "' 2>'" + log + "'";
        const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
        m_running.push_back(pid);
        return pid;
    }

    static bool Running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

    void Stop(pid_t pid) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        m_running.erase(std::remove(m_running.begin(), m_running.end(), pid), m_running.end());
    }

    std::vector<std::string> Files(const std::string& folder) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_root + "/" + folder, ec))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_root;
    std::string m_out, m_err;
    std::vector<pid_t> m_running;
};

} // namespace

TEST_F(ScanKeyTest, WithoutOptionsOneA4ColourPageFromTheFlatbedBecomesAPdfInMyPictures) {
    ASSERT_EQ(PressScanKey(""), 0) << m_out << m_err;
    const std::vector<std::string> files = Files("Pictures");
    ASSERT_EQ(files.size(), 1u) << m_out << m_err;
    EXPECT_TRUE(pagemarks::IsOutputName(files[0], "pdf") && files[0].find("-001.") != std::string::npos) << files[0];
    EXPECT_NE(m_out.find("saved " + m_root + "/Pictures/" + files[0]), std::string::npos) << m_out;

    const std::vector<pagemarks::GreyImage> pages = pagemarks::FromPdfFile(m_root + "/Pictures/" + files[0]);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].width, 2480) << "A4 at 300 dpi";
    EXPECT_EQ(pages[0].height, 3507);
    const pagemarks::Marks marks = pagemarks::ReadMarks(pages[0], 300, 300);
    EXPECT_TRUE(marks.valid);
    EXPECT_EQ(marks.sheet, 1);
    EXPECT_NE(m_err.find("Exit application"), std::string::npos) << m_err;
}

TEST_F(ScanKeyTest, WithoutTheModelsIniFileItSaysSoAndStartsNothing) {
    std::filesystem::remove(m_root + "/Windows/Scanner.ini");
    EXPECT_EQ(PressScanKey(""), 1);
    EXPECT_NE(m_err.find("scankey: the model's INI file " + m_root + "/Windows/Scanner.ini is missing"),
              std::string::npos)
        << m_err;
    EXPECT_TRUE(Files("StillImage").empty()) << "no key was pressed";
}

TEST_F(ScanKeyTest, ThePushParamRoadScansSeveralFeederPagesIntoNumberedTiffs) {
    std::ofstream(m_root + "/scandrv.conf") << "feeder_sheets = 2\n";
    ASSERT_EQ(PressScanKey("--push-param --source feeder --several --type tiff --resolution 75 --colour grey"), 0)
        << m_out << m_err;
    const std::vector<std::string> files = Files("Pictures");
    ASSERT_EQ(files.size(), 2u) << m_out << m_err;
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(pagemarks::IsOutputName(files[i], "tif")) << files[i];
        pagemarks::GreyImage image;
        ASSERT_TRUE(pagemarks::FromTiffFile(m_root + "/Pictures/" + files[i], image));
        EXPECT_EQ(pagemarks::ReadMarks(image, 75, 75).sheet, i + 1) << files[i];
    }
    EXPECT_NE(m_err.find("-PUSH_PARAM"), std::string::npos) << "the command line is logged first";
}

TEST_F(ScanKeyTest, ItListsThePagesInTheFolderThatTheProgramsSettingsChose) {
    // What the settings window writes: open nothing afterwards, save into C:\Scans.
    std::filesystem::create_directories(m_root + "/Scans");
    std::filesystem::create_directories(m_root + "/AppData/Korvel/kvx7731");
    std::string record(528, '\0');
    const std::string folder = "C:\\Scans\\";
    for (size_t i = 0; i < folder.size(); ++i)
        record[8 + 2 * i] = folder[i];
    std::ofstream(m_root + "/AppData/Korvel/kvx7731/vazedozi_settings.dat", std::ios::binary) << record;

    ASSERT_EQ(PressScanKey("--resolution 75"), 0) << m_out << m_err;
    const std::vector<std::string> files = Files("Scans");
    ASSERT_EQ(files.size(), 1u) << m_out << m_err;
    EXPECT_NE(m_out.find("saving into " + m_root + "/Scans"), std::string::npos) << m_out;
    EXPECT_NE(m_out.find("saved " + m_root + "/Scans/" + files[0]), std::string::npos) << m_out;
    EXPECT_EQ(m_out.find("no file was saved"), std::string::npos) << m_out;
    EXPECT_TRUE(Files("Pictures").empty());
}

TEST_F(ScanKeyTest, ASecondSettingsWindowIsRefusedWhileTheFirstRunsAndAdmittedAfterItDies) {
    const std::string firstLog = m_root + "/first.txt";
    const pid_t first = StartSettingsWindow(firstLog);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ReadText(firstLog).find("Scan Manager:show window") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(Running(first)) << "the first shows its window and waits for the user";

    const pid_t second = StartSettingsWindow(m_root + "/second.txt");
    int status = -1;
    for (int i = 0; i < 500 && waitpid(second, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_running.erase(std::remove(m_running.begin(), m_running.end(), second), m_running.end());
    EXPECT_TRUE(WIFEXITED(status)) << "the second ends on its own, without a window";
    EXPECT_NE(ReadText(m_root + "/second.txt").find("Scan Manager:show window"), std::string::npos);

    Stop(first); // dies without closing anything
    const pid_t third = StartSettingsWindow(m_root + "/third.txt");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(Running(third)) << "admitted once the first is gone: it shows its window";
    Stop(third);
}
