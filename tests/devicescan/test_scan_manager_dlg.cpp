// The settings window: what it shows, the checks of OK with the message each failure gives, what it saves, the
// folder browser and help.
#include "VelmoraTestRoot.h"

#include "devicescan/CDlg_error.h"
#include "devicescan/CScanManagerDlg.h"
#include "devicescan/VazeDoziSettings.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"
#include "tests/support/CheckBoxSides.h"
#include "tests/support/WindowText.h"

#include <cstring>
#include <functional>
#include <map>

namespace ut = platform::user::testing;

namespace {

// The tests drive input themselves: no X windows even when DISPLAY is set.
const int g_headless = setenv("PLATFORM_HEADLESS", "1", 0);

constexpr const char* kFile = "AppData/kvx/7731/vazedozi_settings.dat";

// A click, and everything it sets off.
void Press(HWND control) {
    ut::Click(control);
    ut::RunPendingMessages();
}

using testsupport::TextOf;

} // namespace

class ScanManagerDlgTest : public VelmoraTestRoot {
protected:
    void SetUp() override {
        VelmoraTestRoot::SetUp();
        UseLanguage("enus");
        SetIni(u"English", u"Push UI Title", u"Scan to PC");
        ut::SetScreenSize(1920, 1080);
        ut::ClearShellCalls();
    }
    void TearDown() override {
        ut::SetModalInterceptor(nullptr);
        VelmoraTestRoot::TearDown();
    }

    void StoreSettings(int32_t openFile, int32_t openFolder, const std::u16string& folder) {
        VazeDoziSettings settings{};
        settings.openFile = openFile;
        settings.openFolder = openFolder;
        wcscpy_s(settings.saveFolder, folder.c_str());
        ASSERT_TRUE(WriteVazeDoziSettings(settings));
    }

    // Runs the window; `inside` works with it while it runs (every message box it opens is answered with OK and
    // its text kept in m_messages), then the window is closed with Cancel unless `inside` ended it.
    INT_PTR Run(const std::function<void(HWND)>& inside) {
        CScanManagerDlg dlg;
        HWND window = nullptr;
        ut::SetModalInterceptor([&](HWND hwnd) {
            ut::RunPendingMessages();
            if (!window) {
                window = hwnd;
                inside(hwnd);
                if (IsWindow(hwnd) && IsWindowVisible(hwnd))
                    ut::Click(GetDlgItem(hwnd, IDCANCEL));
                return;
            }
            m_messages.push_back(TextOf(GetDlgItem(hwnd, CDlg_error::kMessage)));
            m_messageTitles.push_back(TextOf(hwnd));
            ut::Click(GetDlgItem(hwnd, IDOK));
        });
        const INT_PTR result = dlg.DoModal();
        ut::SetModalInterceptor(nullptr);
        return result;
    }

    // OK pressed once; answers the message it gave ("" when it closed the window).
    std::u16string PressOk(HWND dlg) {
        const size_t before = m_messages.size();
        Press(GetDlgItem(dlg, IDOK));
        ut::RunPendingMessages();
        return m_messages.size() > before ? m_messages.back() : std::u16string();
    }

    std::vector<std::u16string> m_messages;
    std::vector<std::u16string> m_messageTitles;
};

TEST_F(ScanManagerDlgTest, TheFirstStartShowsTheDefaultsAndWritesThemAtOnce) {
    Run([&](HWND dlg) {
        EXPECT_EQ(TextOf(GetDlgItem(dlg, CScanManagerDlg::kFolderEdit)), u"C:\\Pictures");
        EXPECT_EQ(IsDlgButtonChecked(dlg, CScanManagerDlg::kOpenFile), BST_UNCHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dlg, CScanManagerDlg::kOpenFolder), BST_CHECKED);
        EXPECT_EQ(ReadBytes(Host(kFile)).size(), 528u) << "the defaults are written before anything is chosen";
    });
    VazeDoziSettings settings;
    ASSERT_TRUE(ReadVazeDoziSettings(settings));
    EXPECT_EQ(settings.openFolder, 1);
    EXPECT_EQ(std::u16string(settings.saveFolder), u"C:\\Pictures");
}

TEST_F(ScanManagerDlgTest, ShowsTheStoredChoiceTheLanguagesTextsAndTheIniTitle) {
    std::filesystem::create_directories(Host("scans"));
    StoreSettings(1, 0, u"C:\\scans");
    Run([&](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), u"Scan to PC");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, CScanManagerDlg::kFolderEdit)), u"C:\\scans");
        EXPECT_EQ(IsDlgButtonChecked(dlg, CScanManagerDlg::kOpenFile), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dlg, CScanManagerDlg::kOpenFolder), BST_UNCHECKED);
        EXPECT_EQ(TextOf(GetDlgItem(dlg, CScanManagerDlg::kFolderLabel)), u"Save scanned images to:");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, CScanManagerDlg::kBrowse)), u"Browse...");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, CScanManagerDlg::kOpenFile)), u"Open the image file after scanning");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, CScanManagerDlg::kOpenFolder)), u"Open the image folder after scanning");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, ID_HELP)), u"Help");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDCANCEL)), u"Cancel");
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDOK)), u"OK");
        HWND edit = GetDlgItem(dlg, CScanManagerDlg::kFolderEdit);
        EXPECT_FALSE(IsWindowEnabled(edit)) << "the folder is chosen with the browser only";
        EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 200);
        EXPECT_NE(SendMessageW(dlg, WM_GETICON, ICON_BIG, 0), 0);
    });
}

TEST_F(ScanManagerDlgTest, OkSavesTheChoiceAndCancelDoesNot) {
    std::filesystem::create_directories(Host("scans"));
    StoreSettings(0, 1, u"C:\\scans");
    const std::string before = ReadBytes(Host(kFile));
    EXPECT_EQ(Run([&](HWND dlg) {
                  Press(GetDlgItem(dlg, CScanManagerDlg::kOpenFile));
                  Press(GetDlgItem(dlg, CScanManagerDlg::kOpenFolder));
              }),
              IDCANCEL);
    EXPECT_EQ(ReadBytes(Host(kFile)), before);

    EXPECT_EQ(Run([&](HWND dlg) {
                  Press(GetDlgItem(dlg, CScanManagerDlg::kOpenFile));
                  Press(GetDlgItem(dlg, CScanManagerDlg::kOpenFolder));
                  EXPECT_EQ(PressOk(dlg), u"");
              }),
              IDOK);
    VazeDoziSettings settings;
    ASSERT_TRUE(ReadVazeDoziSettings(settings));
    EXPECT_EQ(settings.openFile, 1);
    EXPECT_EQ(settings.openFolder, 0);
    EXPECT_EQ(std::u16string(settings.saveFolder), u"C:\\scans") << "saved as chosen, without an added backslash";
    EXPECT_TRUE(std::filesystem::is_empty(Host("scans"))) << "the write probe leaves nothing behind";
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ScanManagerDlgTest, EachFolderProblemIsRefusedWithItsOwnMessageAndNothingIsSaved) {
    std::filesystem::create_directories(Host("scans"));
    WriteBytes(Host("afile"), "not a folder");
    struct Case {
        std::u16string folder;
        std::u16string message;
    } cases[] = {
        {u"", u"Please choose a folder for the scanned images."},
        {u"C:\\missing", u"The save folder does not exist. Please choose another folder."},
        {u"C:\\afile", u"The save folder does not exist. Please choose another folder."},
        {u"\\scans", u"The save folder does not exist. Please choose another folder."},
    };
    for (const Case& c : cases) {
        StoreSettings(1, 1, c.folder);
        m_messageTitles.clear();
        const std::string before = ReadBytes(Host(kFile));
        m_messages.clear();
        EXPECT_EQ(Run([&](HWND dlg) {
                      EXPECT_EQ(PressOk(dlg), c.message) << Narrow(c.folder);
                      EXPECT_TRUE(IsWindowVisible(dlg)) << "the window stays open";
                  }),
                  IDCANCEL);
        EXPECT_EQ(ReadBytes(Host(kFile)), before) << Narrow(c.folder);
        ASSERT_EQ(m_messageTitles.size(), 1u);
        EXPECT_EQ(m_messageTitles[0], u"Error");
    }
}

TEST_F(ScanManagerDlgTest, AFolderOf199CharactersIsTakenAndOneOf200IsTooLong) {
    // "C:\" + 100 + "\" + 95 = 199 characters; with the added backslash 200.
    const std::string first(100, 'a');
    for (const int last : {95, 96}) {
        const std::string second(last, 'b');
        std::filesystem::create_directories(Host(first + "/" + second));
        const std::u16string folder =
            u"C:\\" + std::u16string(first.begin(), first.end()) + u"\\" + std::u16string(second.begin(), second.end());
        ASSERT_EQ(folder.size(), static_cast<size_t>(104 + last));
        StoreSettings(0, 1, folder);
        m_messages.clear();
        const INT_PTR result = Run([&](HWND dlg) { PressOk(dlg); });
        if (last == 95) {
            EXPECT_EQ(result, IDOK);
            EXPECT_TRUE(m_messages.empty());
        } else {
            EXPECT_EQ(result, IDCANCEL);
            ASSERT_EQ(m_messages.size(), 1u);
            EXPECT_EQ(m_messages[0], u"The folder path is too long. Please choose a folder with a shorter path.");
        }
    }
}

TEST_F(ScanManagerDlgTest, AFolderThatEndsWithABackslashGetsNoSecondOne) {
    StoreSettings(0, 1, u"C:\\");
    EXPECT_EQ(Run([&](HWND dlg) { EXPECT_EQ(PressOk(dlg), u""); }), IDOK);
}

TEST_F(ScanManagerDlgTest, AReadOnlyFolderIsRefusedAndTheFileIsUnchanged) {
    std::filesystem::create_directories(Host("readonly"));
    StoreSettings(0, 1, u"C:\\readonly");
    const std::string before = ReadBytes(Host(kFile));
    std::filesystem::permissions(Host("readonly"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const INT_PTR result = Run([&](HWND dlg) {
        EXPECT_EQ(PressOk(dlg), u"Files cannot be written in the save folder. Please choose another folder.");
    });
    std::filesystem::permissions(Host("readonly"), std::filesystem::perms::owner_all);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(ReadBytes(Host(kFile)), before);
}

TEST_F(ScanManagerDlgTest, BrowseStartsAtTheCurrentFolderAndTakesTheChosenOne) {
    std::filesystem::create_directories(Host("scans"));
    std::filesystem::create_directories(Host("other"));
    StoreSettings(0, 1, u"C:\\scans");
    Run([&](HWND dlg) {
        ut::ScriptFolderBrowser(u"C:\\other");
        Press(GetDlgItem(dlg, CScanManagerDlg::kBrowse));
        EXPECT_EQ(TextOf(GetDlgItem(dlg, CScanManagerDlg::kFolderEdit)), u"C:\\other");
        ut::ScriptFolderBrowser(std::nullopt);
        Press(GetDlgItem(dlg, CScanManagerDlg::kBrowse));
        EXPECT_EQ(TextOf(GetDlgItem(dlg, CScanManagerDlg::kFolderEdit)), u"C:\\other") << "a cancelled browse";
        EXPECT_EQ(PressOk(dlg), u"");
    });
    const auto calls = ut::ShellCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], u"SHBrowseForFolderW");
    EXPECT_EQ(calls[1], u"BFFM_SETSELECTIONW C:\\scans");
    VazeDoziSettings settings;
    ASSERT_TRUE(ReadVazeDoziSettings(settings));
    EXPECT_EQ(std::u16string(settings.saveFolder), u"C:\\other");
}

TEST_F(ScanManagerDlgTest, BrowseFromAMissingFolderStartsWithoutASelection) {
    StoreSettings(0, 1, u"C:\\gone");
    Run([&](HWND dlg) {
        ut::ScriptFolderBrowser(std::nullopt);
        Press(GetDlgItem(dlg, CScanManagerDlg::kBrowse));
    });
    for (const auto& call : ut::ShellCalls())
        EXPECT_EQ(call.find(u"BFFM_SETSELECTIONW"), std::u16string::npos);
}

TEST_F(ScanManagerDlgTest, HelpOpensTheProgramsHelpFileInTheCurrentLanguage) {
    SetIni(u"TWAIN", u"File Prefix", u"kvx");
    UseLanguage("he");
    Run([&](HWND dlg) { Press(GetDlgItem(dlg, ID_HELP)); });
    WCHAR program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::u16string folder(program);
    folder.erase(folder.rfind(u'\\') + 1);
    const auto calls = ut::ShellCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], u"HtmlHelpW " + folder + u"kvxpshe.chm 0");
}

TEST_F(ScanManagerDlgTest, InHebrewAndArabicTheCheckBoxesShowTheirBoxRightOfTheirText) {
    for (const char* code : {"enus", "he", "ar"}) {
        const bool rightToLeft = std::strcmp(code, "enus") != 0;
        UseLanguage(code);
        Run([&](HWND dlg) {
            for (int id : {CScanManagerDlg::kOpenFile, CScanManagerDlg::kOpenFolder})
                EXPECT_TRUE(testsupport::BoxOnReadingSide(GetDlgItem(dlg, id), rightToLeft))
                    << code << ", control " << id;
        });
    }
}

TEST_F(ScanManagerDlgTest, InHebrewTheWindowIsTheMirrorOfItsLayout) {
    // Each control's place in client coordinates, by id, in English and then in Hebrew.
    auto places = [&](const char* code) {
        UseLanguage(code);
        std::map<int, RECT> rects;
        int width = 0;
        Run([&](HWND dlg) {
            RECT client{};
            GetClientRect(dlg, &client);
            width = client.right;
            for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                RECT r{};
                GetWindowRect(child, &r);
                MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
                rects[GetDlgCtrlID(child)] = r;
            }
            if (std::string(code) == "he") {
                HWND check = GetDlgItem(dlg, CScanManagerDlg::kOpenFolder);
                EXPECT_TRUE(GetWindowLongW(check, GWL_STYLE) & BS_LEFTTEXT) << "the box stands right of its text";
                HWND label = GetDlgItem(dlg, CScanManagerDlg::kFolderLabel);
                EXPECT_EQ(GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);
                EXPECT_TRUE(GetWindowLongW(label, GWL_EXSTYLE) & WS_EX_RTLREADING);
                // The save folder stands at the right of its box, the path reading left to right.
                HWND path = GetDlgItem(dlg, CScanManagerDlg::kFolderEdit);
                EXPECT_EQ(GetWindowLongW(path, GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING),
                          WS_EX_LAYOUTRTL | WS_EX_RTLREADING);
                RECT box{};
                GetClientRect(path, &box);
                int first = -1;
                for (int x = 0; x < box.right && first < 0; ++x)
                    for (int y = 0; y < box.bottom; ++y)
                        if (GetRValue(ut::WindowPixel(path, x, y)) < 128) {
                            first = x;
                            break;
                        }
                EXPECT_GT(first, box.right / 3) << "the path is drawn against the box's right edge";
            }
        });
        return std::make_pair(width, rects);
    };
    const auto [width, english] = places("enus");
    const auto [hebrewWidth, hebrew] = places("he");
    ASSERT_EQ(width, hebrewWidth);
    ASSERT_EQ(english.size(), 8u);
    for (const auto& [id, r] : english) {
        const RECT& h = hebrew.at(id);
        EXPECT_EQ(h.left, width - r.right) << "control " << id;
        EXPECT_EQ(h.top, r.top) << "control " << id;
        EXPECT_EQ(h.right - h.left, r.right - r.left) << "control " << id;
    }
}
