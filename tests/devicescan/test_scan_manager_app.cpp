// Velmora's application object run as the program runs it (InitInstance, then ExitInstance), with the staged
// driver, language library, registration library and still-image service: the scan key's jobs from the key press
// to the files in the save folder, their failures, and the other roads of the command line.
#include "companions/sti/StiLaunch.h"
#include "devicescan/CDlg_error.h"
#include "devicescan/CScanManagerApp.h"
#include "devicescan/CScanManagerDlg.h"
#include "devicescan/PushLaunch.h"
#include "devicescan/Startup.h"
#include "devicescan/VazeDoziSettings.h"
#include "platform/base/commandline.h"
#include "platform/base/registry.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/user/testing.h"
#include "settings/PlatformFlags.h"
#include "tests/devicescan/page_marks.h"
#include "tests/devicescan/velmora_test_root.h"
#include "tests/platform/gdiplus/page_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace ut = platform::user::testing;

namespace {

const int g_headless = setenv("PLATFORM_HEADLESS", "1", 0);

constexpr int kProgressBar = 8006;
constexpr int kMessageBoxText = 0xFFFF; // the text of the system's message box
constexpr const char* kStiCommandLine = "ScannerVazeDozi.exe /StiDevice:KVX-7731\\0000 /StiEvent:1";

// Push commands: 'V', resolution, colour, paper, file type, source, several pages.
enum : BYTE { k75 = 0, k150 = 1, k300 = 2, k600 = 3 };
enum : BYTE { kBw = 0, kGrey = 1, kColour = 2 };
enum : BYTE { kA4 = 0, kCard = 6 };
enum : BYTE { kTiff = 0, kJpeg = 1, kPdf = 2, kOfd = 3 };
enum : BYTE { kFlatbed = 0, kFeeder = 1, kDuplex = 3 };

std::vector<BYTE> Command(BYTE dpi, BYTE colour, BYTE paper, BYTE type, BYTE source, BYTE several) {
    return {'V', dpi, colour, paper, type, source, several};
}

} // namespace

class ScanManagerAppTest : public velmoratest::TestRoot {
protected:
    void SetUp() override {
        TestRoot::SetUp();
        std::filesystem::create_directories(Host("Temp"));
        WriteIni("kvx");
        m_program = platform::path::ToDosPath(velmoratest::ModuleDir() + "/ScannerVazeDozi.exe");
        platform::testing::SetHostProgramName(m_program.c_str());
        setenv("PLATFORM_STI", (velmoratest::ModuleDir() + "/sti.so").c_str(), 1);
        SaveSettings(0, 0, u"C:\\Scans\\");
        SYSTEMTIME now{2024, 3, 2, 5, 10, 30, 0, 0};
        platform::testing::SetLocalTime(now);
        ut::AllowShellLaunch(false);
        ut::ClearShellCalls();
        platform::testing::SetSystemLocale(0x0409);
        platform::testing::SetUserLocale(0x0409);
        InterceptDialogs();
    }
    // The progress window runs; the error window's message is kept and the window closed; any other is counted and
    // closed.
    void InterceptDialogs() {
        ut::SetModalInterceptor([this](HWND dialog) {
            if (GetDlgItem(dialog, kProgressBar)) {
                ++m_progressWindows;
                return; // the progress window runs on its own
            }
            // The error window: its message is kept, then it is closed as a user would.
            if (HWND message = GetDlgItem(dialog, CDlg_error::kMessage)) {
                // No error is shown under a progress window: every one shown so far has had its last release.
                EXPECT_GE(CountLogged(u"End Progress Dialog"), m_progressWindows.load()) << DebugText();
                WCHAR text[512] = {};
                GetWindowTextW(message, text, 512);
                std::lock_guard lock(m_errorsLock);
                m_errors.emplace_back(text);
            } else {
                if (HWND box = GetDlgItem(dialog, kMessageBoxText)) {
                    WCHAR text[1024] = {};
                    GetWindowTextW(box, text, 1024);
                    std::lock_guard lock(m_errorsLock);
                    m_boxes.emplace_back(text);
                }
                ++m_otherDialogs;
            }
            EndDialog(dialog, IDOK);
        });
    }
    void TearDown() override {
        ut::SetModalInterceptor(nullptr);
        unsetenv(platform::kCommandLineVariable);
        unsetenv("PLATFORM_STI");
        platform::testing::SetHostProgramName(nullptr);
        platform::testing::SetLocalTime(std::nullopt);
        platform::testing::SetOsVersion(std::nullopt);
        platform::testing::SetSystemLocale(std::nullopt);
        platform::testing::SetUserLocale(std::nullopt);
        platform::testing::ClearRestartRegistration();
        g_bRestartRegistered = FALSE;
        g_bIsPlatformOrca = FALSE;
        TestRoot::TearDown();
    }

    void WriteIni(const std::string& prefix) {
        std::ofstream(Host("Windows/Scanner.ini"), std::ios::trunc)
            << "[TWAIN]\nFile Prefix=" << prefix
            << "\nSetting Folder=\\Korvel\nSetting Path=\\Korvel\\kvx7731\\\nRegistry=SOFTWARE\\Korvel\\kvx7731\n"
               "[English]\nPush UI Title=Korvel Scan Manager\n";
    }

    void SaveSettings(int openFile, int openFolder, const std::u16string& folder) {
        VazeDoziSettings settings{};
        settings.openFile = openFile;
        settings.openFolder = openFolder;
        std::copy(folder.begin(), folder.end(), settings.saveFolder);
        ASSERT_TRUE(WriteVazeDoziSettings(settings));
    }

    // Runs the program with this command line in this process: InitInstance (which always answers FALSE), then
    // ExitInstance.
    // Every road ends with what it started shut down: no GDI+ session, no COM apartment, no argument array.
    void RunProgram(const std::string& commandLine) {
        setenv(platform::kCommandLineVariable, commandLine.c_str(), 1);
        const size_t blocks = platform::testing::LiveMemoryBlocks();
        {
            CScanManagerApp app;
            EXPECT_FALSE(app.InitInstance());
            app.ExitInstance();
        }
        EXPECT_EQ(platform::gdiplus::testing::OpenSessions(), 0u) << commandLine;
        EXPECT_EQ(CoInitialize(nullptr), S_OK) << commandLine << ": an apartment was left open";
        CoUninitialize();
        EXPECT_EQ(platform::testing::LiveMemoryBlocks(), blocks) << commandLine;
    }

    // The device's scan key: the launch information, then the program as the still-image service starts it.
    void PressScanKey(const std::vector<BYTE>& command) {
        sti::Launch launch;
        launch.deviceName = u"KVX-7731\\0000";
        launch.eventCode = 1;
        launch.eventData = command;
        launch.devicePath = u"\\\\.\\Usbscan";
        ASSERT_TRUE(sti::WriteLaunch(launch));
        RunProgram(kStiCommandLine);
    }

    // The names in the save folder, sorted.
    std::vector<std::string> Saved(const std::string& folder = "Scans") {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(Host(folder), ec))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Files left in the temporary folder (page JPEGs, OFD work folders).
    std::vector<std::string> TempLeft() { return Saved("Temp"); }

    std::vector<std::u16string> Errors() {
        std::lock_guard lock(m_errorsLock);
        return m_errors;
    }

    // The marks of every page in a saved file, in order.
    std::vector<pagemarks::Marks> MarksIn(const std::string& name, int dpi) {
        const std::string path = Host("Scans/" + name);
        std::vector<pagemarks::GreyImage> images;
        const std::string extension = name.substr(name.rfind('.') + 1);
        pagemarks::GreyImage one;
        if (extension == "pdf")
            images = pagemarks::FromPdfFile(path);
        else if (extension == "ofd")
            images = pagemarks::FromOfdFile(path);
        else if (extension == "tif" ? pagemarks::FromTiffFile(path, one) : pagemarks::FromJpegFile(path, one))
            images.push_back(one);
        std::vector<pagemarks::Marks> marks;
        for (const auto& image : images)
            marks.push_back(pagemarks::ReadMarks(image, dpi, dpi));
        return marks;
    }

    void ExpectSheets(const std::string& name, int dpi, const std::vector<std::pair<int, bool>>& sheets) {
        std::vector<pagemarks::Marks> marks = MarksIn(name, dpi);
        ASSERT_EQ(marks.size(), sheets.size()) << name;
        for (size_t i = 0; i < marks.size(); ++i) {
            EXPECT_TRUE(marks[i].valid) << name << " page " << i;
            EXPECT_EQ(marks[i].sheet, sheets[i].first) << name << " page " << i;
            EXPECT_EQ(marks[i].back, sheets[i].second) << name << " page " << i;
        }
    }

    // A user who presses Cancel in the progress window once `ready` holds; the thread ends when the scan does.
    class CancellingUser {
    public:
        explicit CancellingUser(std::function<bool()> ready)
            : m_thread([this, ready] {
                  while (!m_done) {
                      HWND window = FindWindowW(nullptr, u"Korvel Scan Manager");
                      if (window && GetDlgItem(window, kProgressBar) && ready()) {
                          PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                          return;
                      }
                      std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  }
              }) {}
        ~CancellingUser() {
            m_done = true;
            m_thread.join();
        }

    private:
        std::atomic<bool> m_done{false};
        std::thread m_thread;
    };

    std::u16string m_program;
    std::mutex m_errorsLock; // the error window may come up on another thread than the test's
    std::vector<std::u16string> m_errors;
    std::vector<std::u16string> m_boxes; // texts of the system's message boxes
    int m_otherDialogs = 0;
    std::atomic<int> m_progressWindows{0};
};

TEST_F(ScanManagerAppTest, TheScanKeySavesOnePageInEachFileTypeUnderADatedNumberedName) {
    const std::pair<BYTE, const char*> types[] = {{kTiff, "tif"}, {kJpeg, "jpg"}, {kPdf, "pdf"}, {kOfd, "ofd"}};
    for (auto [type, extension] : types) {
        PressScanKey(Command(k150, kColour, kA4, type, kFlatbed, 0));
        const std::string name = std::string("img-240305103000-001.") + extension;
        ASSERT_EQ(Saved(), std::vector<std::string>{name}) << DebugText();
        ExpectSheets(name, 150, {{1, false}});
        EXPECT_TRUE(Errors().empty()) << extension;
        EXPECT_TRUE(TempLeft().empty()) << extension;
        std::filesystem::remove(Host("Scans/" + name));
    }
}

TEST_F(ScanManagerAppTest, EveryColourModeReachesTheFileWithItsMarks) {
    const std::pair<BYTE, const char*> types[] = {{kTiff, "tif"}, {kPdf, "pdf"}};
    for (BYTE colour : {kBw, kGrey}) {
        for (auto [type, extension] : types) {
            PressScanKey(Command(k150, colour, kA4, type, kFlatbed, 0));
            const std::string name = std::string("img-240305103000-001.") + extension;
            ASSERT_EQ(Saved(), std::vector<std::string>{name}) << DebugText();
            ExpectSheets(name, 150, {{1, false}});
            std::filesystem::remove(Host("Scans/" + name));
        }
    }
}

TEST_F(ScanManagerAppTest, SeveralFeederPagesBecomeOneFileForPdfAndOfdAndNumberedFilesOtherwise) {
    WriteControl("feeder_sheets = 3\n");
    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFeeder, 1));
    ASSERT_EQ(Saved(), std::vector<std::string>{"img-240305103000-001.pdf"}) << DebugText();
    ExpectSheets("img-240305103000-001.pdf", 75, {{1, false}, {2, false}, {3, false}});
    EXPECT_TRUE(TempLeft().empty()) << "the page JPEGs are gone";
    std::filesystem::remove(Host("Scans/img-240305103000-001.pdf"));

    PressScanKey(Command(k75, kColour, kA4, kOfd, kFeeder, 1));
    ASSERT_EQ(Saved(), std::vector<std::string>{"img-240305103000-001.ofd"}) << DebugText();
    ExpectSheets("img-240305103000-001.ofd", 75, {{1, false}, {2, false}, {3, false}});
    EXPECT_TRUE(TempLeft().empty());
    std::filesystem::remove(Host("Scans/img-240305103000-001.ofd"));

    // Three pages within one second: the same time, numbers 1 to 3.
    PressScanKey(Command(k75, kBw, kA4, kTiff, kFeeder, 1));
    ASSERT_EQ(Saved(), (std::vector<std::string>{"img-240305103000-001.tif", "img-240305103000-002.tif",
                                                 "img-240305103000-003.tif"}));
    for (int i = 0; i < 3; ++i)
        ExpectSheets("img-240305103000-00" + std::to_string(i + 1) + ".tif", 75, {{i + 1, false}});
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ScanManagerAppTest, DuplexSavesTheFrontAndBackOfEverySheetInOrder) {
    WriteControl("feeder_sheets = 2\n");
    PressScanKey(Command(k75, kColour, kA4, kJpeg, kDuplex, 1));
    std::vector<std::string> saved = Saved();
    ASSERT_EQ(saved.size(), 4u) << DebugText();
    const std::pair<int, bool> sides[] = {{1, false}, {1, true}, {2, false}, {2, true}};
    for (size_t i = 0; i < 4; ++i)
        ExpectSheets(saved[i], 75, {sides[i]});

    PressScanKey(Command(k75, kColour, kA4, kPdf, kDuplex, 1));
    ExpectSheets("img-240305103000-001.pdf", 75, {{1, false}, {1, true}, {2, false}, {2, true}});
}

TEST_F(ScanManagerAppTest, TheFileOrTheFolderIsOpenedAsTheSettingsSay) {
    SaveSettings(1, 1, u"C:\\Scans");
    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFlatbed, 0));
    std::vector<std::u16string> calls = ut::ShellCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], u"ShellExecuteExW open C:\\Scans\\img-240305103000-001.pdf ");
    EXPECT_EQ(calls[1], u"ShellExecuteW open C:\\Scans\\ ") << "the folder, with the backslash added to it";

    // Several files: the folder only.
    ut::ClearShellCalls();
    WriteControl("feeder_sheets = 2\n");
    PressScanKey(Command(k75, kGrey, kA4, kJpeg, kFeeder, 1));
    EXPECT_EQ(ut::ShellCalls(), std::vector<std::u16string>{u"ShellExecuteW open C:\\Scans\\ "});

    ut::ClearShellCalls();
    SaveSettings(0, 0, u"C:\\Scans\\");
    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFlatbed, 0));
    EXPECT_TRUE(ut::ShellCalls().empty());
}

TEST_F(ScanManagerAppTest, AJamKeepsThePagesBeforeItAndShowsOneError) {
    WriteControl("feeder_sheets = 3\njam = 2 100\n");
    PressScanKey(Command(k75, kGrey, kA4, kTiff, kFeeder, 1));
    EXPECT_EQ(Saved(), std::vector<std::string>{"img-240305103000-001.tif"});
    EXPECT_EQ(Errors(), std::vector<std::u16string>{
                            u"Paper is jammed in the document feeder. Remove the jammed paper and try again."});

    m_errors.clear();
    std::filesystem::remove(Host("Scans/img-240305103000-001.tif"));
    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFeeder, 1));
    ASSERT_EQ(Saved(), std::vector<std::string>{"img-240305103000-001.pdf"});
    ExpectSheets("img-240305103000-001.pdf", 75, {{1, false}});
    EXPECT_EQ(Errors().size(), 1u);
    EXPECT_TRUE(TempLeft().empty());
}

TEST_F(ScanManagerAppTest, CancelInTheProgressWindowEndsAStalledScanWithNothingSavedAndNoError) {
    WriteControl("stall = 1 20 0\n");
    {
        const auto shown = std::chrono::steady_clock::now();
        CancellingUser user([&] { return std::chrono::steady_clock::now() - shown > std::chrono::milliseconds(200); });
        PressScanKey(Command(k150, kColour, kA4, kPdf, kFlatbed, 0));
    }
    EXPECT_TRUE(Saved().empty());
    EXPECT_TRUE(Errors().empty());
    EXPECT_TRUE(TempLeft().empty());
    EXPECT_TRUE(Logged(u"is cancel"));
}

TEST_F(ScanManagerAppTest, ACancelDuringAPageDropsItAndTheJobStillJoinsAndOpensThePagesBeforeIt) {
    SaveSettings(1, 0, u"C:\\Scans\\");
    WriteControl("feeder_sheets = 3\nstall = 2 20 0\n");
    {
        CancellingUser user([&] { return Logged(u"now m_lstScanFile count::1"); });
        PressScanKey(Command(k75, kGrey, kA4, kPdf, kFeeder, 1));
    }
    ASSERT_EQ(Saved(), std::vector<std::string>{"img-240305103000-001.pdf"}) << DebugText();
    ExpectSheets("img-240305103000-001.pdf", 75, {{1, false}});
    EXPECT_TRUE(Errors().empty());
    EXPECT_TRUE(TempLeft().empty());
    EXPECT_EQ(ut::ShellCalls(),
              std::vector<std::u16string>{u"ShellExecuteExW open C:\\Scans\\img-240305103000-001.pdf "});
}

TEST_F(ScanManagerAppTest, AMissingFolderIsReportedBeforeAnyScan) {
    SaveSettings(0, 1, u"C:\\Gone\\");
    WriteControl("fault = ScanDrv_Open 99 from\n"); // would show up if the device were opened
    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFlatbed, 0));
    EXPECT_EQ(Errors(), std::vector<std::u16string>{u"The save folder does not exist. Please choose another folder."});
    EXPECT_TRUE(ut::ShellCalls().empty());
}

TEST_F(ScanManagerAppTest, AFolderWhereNoFileCanBeWrittenIsReportedAndNothingIsLeft) {
    // Not even the superuser creates files in /proc; the disk rule is satisfied so that the write probe decides.
    SaveSettings(0, 0, u"Z:\\proc\\");
    platform::testing::SetDiskFreeSpace(1ULL << 40);
    PressScanKey(Command(k75, kGrey, kA4, kTiff, kFlatbed, 0));
    EXPECT_EQ(Errors(), std::vector<std::u16string>{
                            u"Files cannot be written in the save folder. Please choose another folder."});
    EXPECT_TRUE(TempLeft().empty());
}

TEST_F(ScanManagerAppTest, AFolderWhosePageNamesWouldNotFitIsRefusedBeforeAnythingIsScanned) {
    // 3 + 250 + 1 characters: a page's name ("img-240305103000-001.tif", 24) would not fit in 259.
    const std::string name(250, 'a');
    std::filesystem::create_directories(Host(name));
    SaveSettings(0, 0, u"C:\\" + std::u16string(name.begin(), name.end()) + u"\\");
    PressScanKey(Command(k75, kGrey, kA4, kTiff, kFlatbed, 0));
    EXPECT_TRUE(Saved(name).empty());
    EXPECT_EQ(Errors(),
              std::vector<std::u16string>{u"The folder path is too long. Please choose a folder with a shorter path."});
    EXPECT_FALSE(Logged(u"Start Scan thread scan")) << "no page was scanned to be dropped";

    // 235 characters leave room for the longest name: the page is saved.
    m_errors.clear();
    const std::string fits(231, 'b');
    std::filesystem::create_directories(Host(fits));
    SaveSettings(0, 0, u"C:\\" + std::u16string(fits.begin(), fits.end()));
    PressScanKey(Command(k75, kGrey, kA4, kTiff, kFlatbed, 0));
    EXPECT_EQ(Saved(fits), std::vector<std::string>{"img-240305103000-001.tif"});
    EXPECT_TRUE(Errors().empty());
}

// The save folder goes while a job runs: what was scanned is kept in My Pictures, and one box says so.
TEST_F(ScanManagerAppTest, AFolderRemovedDuringAPageKeepsThatPageInMyPicturesAndSaysWhereInOneBox) {
    const std::u16string kept = u"The save folder is gone. The pages were kept in:\nC:\\Pictures\\";
    for (auto [type, extension] : {std::pair<BYTE, const char*>{kTiff, "tif"}, {kJpeg, "jpg"}, {kPdf, "pdf"}}) {
        m_errors.clear();
        std::filesystem::create_directories(Host("Scans"));
        WriteControl(std::string("stall = 1 20 700\n# ") + extension + "\n");
        std::thread remover([&] {
            // The page is being read (its folder was looked at before it began); then the folder goes.
            while (!FindWindowW(nullptr, u"Korvel Scan Manager"))
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            std::filesystem::remove_all(Host("Scans"));
        });
        PressScanKey(Command(k75, kGrey, kA4, type, kFlatbed, 0));
        remover.join();
        const std::string name = std::string("img-240305103000-001.") + extension;
        ASSERT_EQ(Saved("Pictures"), std::vector<std::string>{name}) << extension << DebugText();
        const std::string path = Host("Pictures/" + name);
        pagemarks::GreyImage image;
        if (type == kTiff)
            ASSERT_TRUE(pagemarks::FromTiffFile(path, image));
        else if (type == kJpeg)
            ASSERT_TRUE(pagemarks::FromJpegFile(path, image));
        else
            image = pagemarks::FromPdfFile(path).at(0);
        EXPECT_EQ(pagemarks::ReadMarks(image, 75, 75).sheet, 1) << extension;
        EXPECT_EQ(Errors(), std::vector<std::u16string>{kept}) << extension << ": one box, naming where the page is";
        EXPECT_TRUE(TempLeft().empty()) << extension;
        std::filesystem::remove(path);
    }
}

TEST_F(ScanManagerAppTest, AFolderRemovedBetweenPagesOfAJoinedDocumentKeepsEveryScannedPageAndSaysWhereInOneBox) {
    for (BYTE type : {kPdf, kOfd}) {
        m_errors.clear();
        std::filesystem::create_directories(Host("Scans"));
        // The second sheet is read slowly: the folder goes while it is, after the first one was kept.
        WriteControl(std::string("feeder_sheets = 3\nstall = 2 20 800\n# ") + std::to_string(type) + "\n");
        std::thread remover([&] {
            while (!Logged(u"now m_lstScanFile count::1"))
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            std::filesystem::remove_all(Host("Scans"));
        });
        PressScanKey(Command(k75, kGrey, kA4, type, kFeeder, 1));
        remover.join();
        const std::vector<std::string> kept = Saved("Pictures");
        ASSERT_EQ(kept, (std::vector<std::string>{"img-240305103000-001.jpg", "img-240305103000-002.jpg"}))
            << static_cast<int>(type) << DebugText();
        for (int i = 0; i < 2; ++i) {
            pagemarks::GreyImage image;
            ASSERT_TRUE(pagemarks::FromJpegFile(Host("Pictures/" + kept[i]), image));
            EXPECT_EQ(pagemarks::ReadMarks(image, 75, 75).sheet, i + 1);
            std::filesystem::remove(Host("Pictures/" + kept[i]));
        }
        EXPECT_EQ(Errors(),
                  std::vector<std::u16string>{u"The save folder is gone. The pages were kept in:\nC:\\Pictures\\"})
            << "one box, the right one";
        EXPECT_TRUE(TempLeft().empty()) << "no page stays behind as a temporary file";
    }
}

TEST_F(ScanManagerAppTest, AFullDiskStopsTheJobBeforeTheFirstPageWithOneError) {
    platform::testing::SetDiskFreeSpace(1000);
    PressScanKey(Command(k75, kGrey, kA4, kTiff, kFlatbed, 0));
    EXPECT_TRUE(Saved().empty());
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], std::u16string(u"The scanned images could not be saved. Check that there is enough free "
                                          u"disk space."));
}

TEST_F(ScanManagerAppTest, TheThousandAndFirstPageOfAJoinedPdfKeepsEveryPageAsAJpeg) {
    // The real clock, and a device that takes 2 ms a page: the pages spread over seconds, at most some 500 in one,
    // as on a real device (a fast machine saves more than the 998 numbered names of one second otherwise).
    platform::testing::SetLocalTime(std::nullopt);
    WriteControl("feeder_sheets = 1001\npage_ms = 2\n");
    PressScanKey(Command(k75, kGrey, kCard, kPdf, kFeeder, 1));
    const std::vector<std::string> saved = Saved();
    EXPECT_EQ(saved.size(), 1001u);
    EXPECT_TRUE(std::all_of(saved.begin(), saved.end(), [](const std::string& name) {
        return pagemarks::IsOutputName(name, "jpg");
    })) << "no PDF is left, only the pages";
    EXPECT_TRUE(TempLeft().empty());
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], std::u16string(u"The scanned images could not be saved. Check that there is enough free "
                                          u"disk space."));
}

TEST_F(ScanManagerAppTest, PagesThatCannotBeWrittenLeaveNoPartOfThemselvesAndOneErrorAtTheEnd) {
    WriteControl("feeder_sheets = 2\n");
    for (BYTE type : {kJpeg, kPdf}) {
        m_errors.clear();
        {
            // The disk fills while the pages are written.
            testpage::FileSizeLimit full(20000);
            PressScanKey(Command(k150, kColour, kA4, type, kFeeder, 1));
        }
        EXPECT_TRUE(Saved().empty()) << static_cast<int>(type) << DebugText();
        EXPECT_TRUE(TempLeft().empty()) << static_cast<int>(type);
        EXPECT_EQ(Errors(), std::vector<std::u16string>{u"The scanned images could not be saved. Check that there "
                                                        u"is enough free disk space."})
            << static_cast<int>(type);
    }

    // A page saved as an OFD document of its own: the disk fills while its JPEG is written, or the JPEG is written
    // and the package cannot be made.
    for (bool packable : {true, false}) {
        m_errors.clear();
        if (!packable)
            setenv("PLATFORM_ZLIBWAPI", "/nonexistent/libminizip.so", 1);
        {
            std::optional<testpage::FileSizeLimit> full;
            if (packable)
                full.emplace(20000);
            PressScanKey(Command(k150, kColour, kA4, kOfd, kFlatbed, 0));
        }
        unsetenv("PLATFORM_ZLIBWAPI");
        EXPECT_TRUE(Saved().empty()) << packable << DebugText();
        EXPECT_TRUE(TempLeft().empty()) << packable;
        EXPECT_EQ(Errors().size(), 1u) << packable;
    }
}

TEST_F(ScanManagerAppTest, AnOfdThatCannotBeWrittenKeepsThePagesAsJpegsAndOpensNothing) {
    SaveSettings(1, 1, u"C:\\Scans\\");
    setenv("PLATFORM_ZLIBWAPI", "/nonexistent/libminizip.so", 1); // no zip library: no package
    WriteControl("feeder_sheets = 2\n");
    PressScanKey(Command(k75, kGrey, kA4, kOfd, kFeeder, 1));
    unsetenv("PLATFORM_ZLIBWAPI");
    const std::vector<std::string> saved = Saved();
    ASSERT_EQ(saved, (std::vector<std::string>{"img-240305103000-001.jpg", "img-240305103000-002.jpg"}));
    ExpectSheets(saved[0], 75, {{1, false}});
    ExpectSheets(saved[1], 75, {{2, false}});
    EXPECT_EQ(Errors().size(), 1u);
    EXPECT_TRUE(Logged(u"-------CreateOfdFromJpg------------error"));
    EXPECT_EQ(CountLogged(u"Exit utilty"), 1) << "only the thread's end: a failed join ends the transfer at once";
    EXPECT_TRUE(TempLeft().empty());
    EXPECT_TRUE(ut::ShellCalls().empty());
}

// A fault of each entry point of the driver: the pages before it are saved whole, nothing half-written or temporary
// stays behind, and one error is shown where the driver's answer is one.
TEST_F(ScanManagerAppTest, ADeviceFaultAtEachStepLosesNoPageLeavesNoPartialFileAndShowsOneError) {
    struct Case {
        const char* fault;
        size_t pages;
        size_t errors;
    };
    const Case cases[] = {
        {"ScanDrv_Open 3", 0, 1},
        {"ScanDrv_SetScanParameter 18", 0, 1},
        {"ScanDrv_GetScanParameter 1", 0, 1},
        {"ScanDrv_StartScan 1", 0, 1},
        {"ScanDrv_ReadScanData 7 once 1000", 1, 1},
        {"ScanDrv_GetNextPushStatus 7", 1, 1},
        {"ScanDrv_Close 1", 3, 0},
    };
    for (const Case& c : cases) {
        for (BYTE type : {kTiff, kPdf}) {
            m_errors.clear();
            std::filesystem::remove_all(Host("Scans"));
            std::filesystem::create_directories(Host("Scans"));
            // A new text each run: the device counts the calls for a fault afresh when its file changes.
            WriteControl(std::string("feeder_sheets = 3\nfault = ") + c.fault + "\n# " +
                         (type == kPdf ? "pdf" : "tiff") + "\n");
            PressScanKey(Command(k75, kGrey, kA4, type, kFeeder, 1));
            const std::vector<std::string> saved = Saved();
            EXPECT_EQ(saved.size(), type == kTiff ? c.pages : (c.pages ? 1u : 0u)) << c.fault << DebugText();
            size_t pages = 0;
            for (const std::string& name : saved)
                pages += MarksIn(name, 75).size();
            EXPECT_EQ(pages, c.pages) << c.fault << ": every saved page reads back";
            EXPECT_EQ(Errors().size(), c.errors) << c.fault;
            EXPECT_TRUE(TempLeft().empty()) << c.fault;
        }
    }
}

TEST_F(ScanManagerAppTest, WhatAKilledRunLeftInTheTemporaryFolderGoesAtTheNextStartUnlessAnotherRunLives) {
    // A run killed while it kept its pages as JPEGs, and one killed while it packed an OFD document; beside them a
    // file of the data source and one of somebody else.
    const std::vector<std::string> leftovers = {"Jpg1F3C.tmp", "JpgA.tmp", "img-240305100000-001.ofd",
                                                "img-240305100000-001.ofd.ofd"};
    const std::vector<std::string> others = {"Kor12.tmp", "notes.txt"};
    auto leave = [&] {
        for (const std::string& name : leftovers)
            if (name.ends_with(".ofd"))
                std::filesystem::create_directories(Host("Temp/" + name + "/Doc_0/Res"));
            else
                std::ofstream(Host("Temp/" + name)) << "page";
        std::ofstream(Host("Temp/img-240305100000-001.ofd/Doc_0/Res/JpgB.tmp")) << "page";
        for (const std::string& name : others)
            std::ofstream(Host("Temp/" + name)) << "other";
    };
    leave();
    std::vector<std::string> everything = leftovers;
    everything.insert(everything.end(), others.begin(), others.end());
    std::sort(everything.begin(), everything.end());

    // Another scanning run lives: its files may be among them, so nothing is touched.
    HANDLE other = CreateMutexW(nullptr, FALSE, kScanRunMutexName);
    ASSERT_NE(other, nullptr);
    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFlatbed, 0));
    EXPECT_EQ(TempLeft(), everything);
    CloseHandle(other);

    RunProgram("ScannerVazeDozi.exe -PUSH_PARAM \\\\.\\Usbscan 020200");
    EXPECT_EQ(TempLeft(), others) << DebugText();
    EXPECT_EQ(Saved().size(), 2u) << "both runs scanned";

    // The settings road and the registration roads leave the folder alone.
    leave();
    RunProgram("ScannerVazeDozi.exe");
    RunProgram("ScannerVazeDozi.exe -ins");
    EXPECT_EQ(TempLeft(), everything);
}

TEST_F(ScanManagerAppTest, ThePushParamRoadScansTheDigitsAndRefusesTooFewOfThem) {
    RunProgram("ScannerVazeDozi.exe -push_param \\\\.\\Usbscan 120200");
    ASSERT_EQ(Saved(), std::vector<std::string>{"img-240305103000-001.pdf"}) << DebugText();
    ExpectSheets("img-240305103000-001.pdf", 150, {{1, false}});

    RunProgram("ScannerVazeDozi.exe -PUSH_PARAM \\\\.\\Usbscan 12020");
    EXPECT_TRUE(Logged(u"CMD line error"));
    EXPECT_EQ(Saved().size(), 1u) << "nothing scanned";
    EXPECT_EQ(m_otherDialogs, 0);

    // The paper codes above 9 follow '9': ':' is A6 (4961 x 6992 in 1/1200 inch), not the whole flatbed.
    RunProgram("ScannerVazeDozi.exe -PUSH_PARAM \\\\.\\Usbscan 01:000");
    pagemarks::GreyImage a6;
    ASSERT_TRUE(pagemarks::FromTiffFile(Host("Scans/img-240305103000-001.tif"), a6)) << DebugText();
    EXPECT_EQ(a6.width, 4961 * 75 / 1200);
    EXPECT_EQ(a6.height, 6992 * 75 / 1200);
    std::filesystem::remove(Host("Scans/img-240305103000-001.tif"));

    // Two or four extra arguments are no push command: the settings window comes instead.
    RunProgram("ScannerVazeDozi.exe -PUSH_PARAM \\\\.\\Usbscan");
    RunProgram("ScannerVazeDozi.exe -PUSH_PARAM \\\\.\\Usbscan 120200 extra");
    EXPECT_EQ(m_otherDialogs, 2);
    EXPECT_EQ(Saved().size(), 1u);
}

TEST_F(ScanManagerAppTest, AnEventDataOfTheWrongLengthIsACommandLineErrorAndTheServiceObjectIsReleased) {
    HMODULE sti = LoadLibraryW(u"sti.dll");
    ASSERT_NE(sti, nullptr);
    auto live = reinterpret_cast<int (*)()>(GetProcAddress(sti, "StiStandIn_LiveObjects"));
    ASSERT_NE(live, nullptr);
    PressScanKey({'V', 1, 2, 0, 2, 0, 0, 0});
    EXPECT_TRUE(Logged(u"CMD line error"));
    EXPECT_TRUE(Saved().empty());
    EXPECT_EQ(live(), 0);

    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFlatbed, 0));
    EXPECT_EQ(Saved().size(), 1u);
    EXPECT_EQ(live(), 0);

    std::filesystem::remove(Host("StillImage/launch.txt"));
    RunProgram(kStiCommandLine);
    EXPECT_EQ(live(), 0) << "no launch information";
    EXPECT_EQ(Saved().size(), 1u);
    FreeLibrary(sti);
}

TEST_F(ScanManagerAppTest, TheDevicePathIsTakenWholeUpTo259CharactersAndALongerOneIsRefused) {
    WriteControl("journal = calls.txt\n");
    auto press = [&](const std::u16string& path) {
        sti::Launch launch;
        launch.deviceName = u"KVX-7731\\0000";
        launch.eventCode = 1;
        launch.eventData = Command(k75, kGrey, kA4, kPdf, kFlatbed, 0);
        launch.devicePath = path;
        ASSERT_TRUE(sti::WriteLaunch(launch));
        RunProgram(kStiCommandLine);
    };
    const std::u16string longest = u"\\\\.\\Usbscan" + std::u16string(259 - 11, u'x');
    press(longest);
    EXPECT_EQ(Saved().size(), 1u) << DebugText();
    std::ifstream journal(Host("calls.txt"));
    const std::string calls(std::istreambuf_iterator<char>(journal), {});
    EXPECT_NE(calls.find("\\\\.\\Usbscan" + std::string(259 - 11, 'x') + " "), std::string::npos) << calls;

    // One unit more does not fit the service's buffer: no device is opened, nothing is shown.
    press(longest + u"x");
    EXPECT_TRUE(Logged(u"Invalid device path."));
    EXPECT_EQ(Saved().size(), 1u);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ScanManagerAppTest, PlatformOrcaReadsEightBytesAndJoinsSeveralPagesIntoOnePdfWhateverTheType) {
    // A model folder of its own, with the companion files under the kvx7718 prefix.
    const std::string folder = Host("Orca");
    std::filesystem::create_directories(folder);
    for (const char* file : {"lld.so", "psrcenus.so"})
        std::filesystem::create_symlink(velmoratest::ModuleDir() + "/kvx" + file, folder + "/kvx7718" + file);
    platform::testing::SetHostProgramName(u"C:\\Orca\\ScannerVazeDozi.exe");
    WriteIni("kvx7718");
    // The device stays busy after the second page until the user ends the job in the progress window.
    WriteControl("feeder_sheets = 3\npush_status = 0 13\n");
    {
        CancellingUser user([&] { return Logged(u"now m_lstScanFile count::2"); });
        PressScanKey({'V', k75, kGrey, kA4, kTiff, 0, 0, 1});
    }
    ASSERT_EQ(Saved(), std::vector<std::string>{"img-240305103000-001.pdf"}) << DebugText();
    ExpectSheets("img-240305103000-001.pdf", 75, {{1, false}, {2, false}});
    EXPECT_TRUE(Logged(u"g_bIsPlatformOrca = TRUE"));
    EXPECT_TRUE(Errors().empty());

    // Without a cancel the job ends when the device says that no page follows: every sheet, and no error.
    std::filesystem::remove(Host("Scans/img-240305103000-001.pdf"));
    WriteControl("feeder_sheets = 3\n");
    PressScanKey({'V', k75, kGrey, kA4, kPdf, 0, 0, 1});
    ASSERT_EQ(Saved(), std::vector<std::string>{"img-240305103000-001.pdf"}) << DebugText();
    ExpectSheets("img-240305103000-001.pdf", 75, {{1, false}, {2, false}, {3, false}});
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ScanManagerAppTest, InsAndUniRegisterAndUnregisterTheCompanionLibraryInAnyCase) {
    auto registered = [] {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{6E0B3F52-2A61-4C8D-B7E4-91D05A3C2F18}\\InprocServer32", 0,
                          KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        const bool found = RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(key);
        return found;
    };
    RunProgram("ScannerVazeDozi.exe -ins");
    EXPECT_TRUE(registered());
    EXPECT_TRUE(Logged(u"Scan Manager:ins out"));
    RunProgram("ScannerVazeDozi.exe -UNI");
    EXPECT_FALSE(registered());
    EXPECT_TRUE(Logged(u"Scan Manager:uni out"));
    EXPECT_EQ(m_otherDialogs, 0);
}

TEST_F(ScanManagerAppTest, OtherArgumentsShowTheSettingsWindowOncePerUser) {
    RunProgram("ScannerVazeDozi.exe");
    RunProgram("ScannerVazeDozi.exe /RESTART");
    EXPECT_EQ(m_otherDialogs, 2);
    EXPECT_EQ(CountLogged(u"Scan Manager:show window"), 2);

    // While another holds the settings window's mutex, no second window is shown.
    HANDLE held = CreateMutexW(nullptr, TRUE, CScanManagerApp::kMutexName);
    ASSERT_NE(held, nullptr);
    RunProgram("ScannerVazeDozi.exe");
    EXPECT_EQ(m_otherDialogs, 2);
    CloseHandle(held);
    RunProgram("ScannerVazeDozi.exe");
    EXPECT_EQ(m_otherDialogs, 3) << "admitted once the first is gone";

    // The scan roads never look at it.
    held = CreateMutexW(nullptr, TRUE, CScanManagerApp::kMutexName);
    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFlatbed, 0));
    EXPECT_EQ(Saved().size(), 1u);
    CloseHandle(held);
}

// The folder typed into the settings window is where the next scan's file goes.
TEST_F(ScanManagerAppTest, TheScanGoesIntoTheFolderTheUserChoseInTheSettingsWindow) {
    std::filesystem::create_directories(Host("Chosen"));
    bool pressed = false;
    ut::SetModalInterceptor([&](HWND dialog) {
        HWND folder = GetDlgItem(dialog, CScanManagerDlg::kFolderEdit);
        if (folder == nullptr || pressed) {
            EndDialog(dialog, IDCANCEL);
            return;
        }
        pressed = true;
        SetWindowTextW(folder, u"C:\\Chosen");
        ut::Click(GetDlgItem(dialog, IDOK));
        ut::RunPendingMessages();
    });
    RunProgram("ScannerVazeDozi.exe");
    ASSERT_TRUE(pressed) << "the settings window came up";
    InterceptDialogs();

    PressScanKey(Command(k75, kGrey, kA4, kPdf, kFlatbed, 0));
    EXPECT_EQ(Saved("Chosen"), std::vector<std::string>{"img-240305103000-001.pdf"}) << DebugText();
    EXPECT_TRUE(Saved().empty()) << "nothing in the folder of the settings before";
    EXPECT_TRUE(Saved("Pictures").empty()) << "nothing in My Pictures";
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ScanManagerAppTest, AMissingLanguageLibraryEndsTheStartWithOneBoxNamingItAndLeavesComAsItWas) {
    platform::testing::SetHostProgramName(u"C:\\Nowhere\\ScannerVazeDozi.exe");
    RunProgram("ScannerVazeDozi.exe");
    EXPECT_TRUE(Logged(u"m_hResourceHandle =0 ;GetLastError:"));
    ASSERT_EQ(m_boxes.size(), 1u) << DebugText();
    EXPECT_EQ(m_boxes[0], u"The scan cannot start. Its language library is missing:\nC:\\Nowhere\\kvxpsrcenus.dll\n"
                          u"Its name comes from the File Prefix in\nC:\\Windows\\Scanner.ini");
    EXPECT_EQ(m_otherDialogs, 1) << "no settings window";
    EXPECT_EQ(CoInitialize(nullptr), S_OK) << "no apartment was left open";
    CoUninitialize();

    // An installer registering the companion library is not held up by a box.
    RunProgram("ScannerVazeDozi.exe -uni");
    EXPECT_EQ(m_otherDialogs, 1);

    platform::testing::SetHostProgramName(m_program.c_str());
    RunProgram("ScannerVazeDozi.exe -ins");
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST_F(ScanManagerAppTest, AMissingEmptyOrDamagedIniFileIsNamedInOneBoxAndNothingIsScanned) {
    const std::u16string missing =
        u"The scan cannot start. The scanner's settings file is missing or cannot be read:\nC:\\Windows\\Scanner.ini";
    const std::u16string damaged = u"The scan cannot start. The scanner's settings file is empty or damaged:\n"
                                   u"C:\\Windows\\Scanner.ini\nIt names no [TWAIN] File Prefix.";
    const std::pair<const char*, std::u16string> cases[] = {
        {nullptr, missing},
        {"", damaged},
        {"\x89PNG\r\n\x1a\n\x01\x02[TW", damaged},
    };
    for (const auto& [content, text] : cases) {
        m_boxes.clear();
        std::filesystem::remove(Host("Windows/Scanner.ini"));
        if (content)
            std::ofstream(Host("Windows/Scanner.ini"), std::ios::binary) << content;
        PressScanKey(Command(k75, kGrey, kA4, kPdf, kFlatbed, 0));
        EXPECT_EQ(m_boxes, std::vector<std::u16string>{text}) << (content ? content : "no file");
        EXPECT_TRUE(Saved().empty());
        EXPECT_TRUE(Errors().empty());
    }
}

TEST_F(ScanManagerAppTest, RestartIsRegisteredOnlyOnVersionsWithMinorVersionZeroAndBuild6000) {
    const std::pair<platform::testing::OsVersion, bool> systems[] = {
        {{6, 0, 6000}, true},  {{10, 0, 19045}, true}, {{6, 1, 7601}, false},
        {{6, 2, 9200}, false}, {{6, 3, 9600}, false},  {{6, 0, 5999}, false},
    };
    for (auto [version, registers] : systems) {
        platform::testing::ClearRestartRegistration();
        g_bRestartRegistered = FALSE;
        platform::testing::SetOsVersion(version);
        RunProgram("ScannerVazeDozi.exe -ins");
        auto registration = platform::testing::RegisteredRestart();
        EXPECT_EQ(registration.has_value(), registers) << version.major << "." << version.minor;
        EXPECT_EQ(g_bRestartRegistered != FALSE, registers);
        if (registration) {
            EXPECT_EQ(registration->commandLine, u"/RESTART");
            EXPECT_EQ(registration->flags, 0u);
        }
    }
}

TEST_F(ScanManagerAppTest, ARegisteredProgramHoldsTheSessionEndUntilAMinuteAfterItsRegistration) {
    CScanManagerApp app;
    MSG query{};
    query.message = WM_QUERYENDSESSION;
    MSG end{};
    end.message = WM_ENDSESSION;
    g_bRestartRegistered = TRUE;
    g_tRestartTime = CurrentTimeSeconds() - 59;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(app.PreTranslateMessage(&query));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900)) << "waited the last second";
    g_tRestartTime = CurrentTimeSeconds() - 61;
    EXPECT_TRUE(app.PreTranslateMessage(&query));
    EXPECT_FALSE(app.PreTranslateMessage(&end));
}
