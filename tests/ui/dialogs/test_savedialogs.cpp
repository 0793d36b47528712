// The save-to-folder and save-to-e-mail dialogs: their checks in order (name, folder, write probe, overwrite
// question), the members each check leaves behind, browsing and the e-mail program through scripted shell
// dialogs, and the close box.
#include "DialogTest.h"

#include "platform/base/testing.h"
#include "tests/support/CheckBoxSides.h"
#include "ui/dialogs/CDlg_SaveImgToEmail.h"
#include "ui/dialogs/CDlg_SaveImgToFile.h"

namespace {

using namespace dialogs_test;

constexpr int kFolderEdit = 10262, kNameEdit = 10116, kOk = 1039, kCancel = 10003, kBrowse = 1006;
constexpr int kMailFolderEdit = 10263, kMailNameEdit = 10117, kProgramEdit = 10262, kAddProgram = 1035;

class SaveDialogsTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        SYSTEMTIME t{};
        t.wYear = 2024, t.wMonth = 5, t.wDay = 1, t.wHour = 9, t.wMinute = 8, t.wSecond = 7;
        platform::testing::SetLocalTime(t);
        std::filesystem::create_directories(Host("Scans"));
        ut::ClearShellCalls();
    }
    void TearDown() override {
        platform::testing::SetLocalTime(std::nullopt);
        DialogTest::TearDown();
    }

    // A file dialog holding a valid folder, name and type.
    void Fill(CSaveImgDlg& dialog) {
        wcscpy_s(dialog.m_szFolder, Dos("Scans").c_str());
        wcscpy_s(dialog.m_szName, u"scan");
        wcscpy_s(dialog.m_szType, u"jpg");
    }
    // Sets a field, presses OK and answers the last box's message (empty when none came).
    std::u16string OkWith(HWND dlg, int edit, const std::u16string& text) {
        SetDlgItemTextW(dlg, edit, text.c_str());
        ClickItem(dlg, kOk);
        return TakeLastBox();
    }
    std::u16string Str(UINT id) { return std::u16string(LoadResString(id)); }
};

TEST_F(SaveDialogsTest, TheNameIsCheckedFirstTrimmedAndWrittenBack) {
    CDlg_SaveImgToFile dialog;
    Fill(dialog);
    wcscpy_s(dialog.m_szFolder, u"C:\\nowhere"); // the folder would fail too: the name's check comes first
    RunModal(dialog, [&](HWND dlg) {
        EXPECT_EQ(OkWith(dlg, kNameEdit, u"   "), Str(1126)) << "an empty name";
        EXPECT_EQ(ItemText(dlg, kNameEdit), u"") << "the trimmed name is written back";
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, kNameEdit));
        SetDlgItemTextW(dlg, kNameEdit, u"a:b");
        ClickItem(dlg, kOk);
        EXPECT_EQ(TakeLastBox(), Str(1125)) << "a colon";
        const DWORD selection = static_cast<DWORD>(SendDlgItemMessageW(dlg, kNameEdit, EM_GETSEL, 0, 0));
        EXPECT_EQ(LOWORD(selection), 0);
        EXPECT_EQ(HIWORD(selection), 3) << "the whole name is selected for retyping";
        for (const char16_t* bad : {u"a\\b", u"a/b", u"a*b", u"a?b", u"a\"b", u"a<b", u"a>b", u"a|b"})
            EXPECT_EQ(OkWith(dlg, kNameEdit, bad), Str(1125)) << std::string(bad, bad + 3).c_str();
        EXPECT_EQ(OkWith(dlg, kNameEdit, u"  page one  "), Str(1128)) << "a good name passes on to the folder";
        EXPECT_EQ(ItemText(dlg, kNameEdit), u"page one");
        EXPECT_TRUE(IsWindowVisible(dlg));

        SetDlgItemTextW(dlg, kNameEdit, u"");
        SetFocus(GetDlgItem(dlg, kNameEdit));
        ut::TypeText(u"abcdefghijklmnopqrs");
        ut::RunPendingMessages();
        EXPECT_EQ(ItemText(dlg, kNameEdit), u"abcdefghijklmnop") << "16 characters can be typed";
    });
}

TEST_F(SaveDialogsTest, TheFolderMustBeChosenShortAnExistingFolderAndWritable) {
    CDlg_SaveImgToFile dialog;
    Fill(dialog);
    const std::string deep = "d" + std::string(99, 'x') + "/" + std::string(96, 'y'); // "C:\" + 197 = 200
    std::filesystem::create_directories(Host(deep));
    WriteFile("plain.txt", "x");
    RunModal(dialog, [&](HWND dlg) {
        EXPECT_EQ(OkWith(dlg, kFolderEdit, u""), Str(1124));
        const std::u16string folder200 = Dos(deep);
        ASSERT_EQ(folder200.size(), 200u);
        EXPECT_EQ(OkWith(dlg, kFolderEdit, folder200 + u"z"), Str(1127)) << "201 characters";
        EXPECT_EQ(std::u16string(dialog.m_szFolder), Dos("Scans")) << "the member changes only past that check";
        EXPECT_EQ(OkWith(dlg, kFolderEdit, Dos("absent")), Str(1128));
        EXPECT_EQ(std::u16string(dialog.m_szFolder), Dos("absent")) << "the folder is taken before it is tested";
        EXPECT_EQ(OkWith(dlg, kFolderEdit, Dos("plain.txt")), Str(1128)) << "a file is no folder";
        EXPECT_EQ(OkWith(dlg, kFolderEdit, u".\\Scans"), Str(1128));
        EXPECT_EQ(OkWith(dlg, kFolderEdit, u"\\Scans"), Str(1128));
        EXPECT_EQ(OkWith(dlg, kFolderEdit, u"Z:\\proc"), Str(1129)) << "no file can be made there";
        EXPECT_EQ(OkWith(dlg, kFolderEdit, folder200), u"") << "200 characters of an existing folder pass";
        EXPECT_FALSE(IsWindowVisible(dlg));
    });
    EXPECT_EQ(std::u16string(dialog.m_szFolder), Dos(deep));
}

TEST_F(SaveDialogsTest, TheWriteProbeTouchesNothingThatWasThere) {
    // The probe's first name, for the fixed clock: already taken by a file of the user's.
    WriteFile("Scans/240501090807temp.dat", "keep me");
    CDlg_SaveImgToFile dialog;
    Fill(dialog);
    EXPECT_EQ(RunModal(dialog, [&](HWND dlg) { ClickItem(dlg, kOk); }), IDOK);
    EXPECT_TRUE(m_boxes.empty());
    std::ifstream kept(Host("Scans/240501090807temp.dat"));
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "keep me");
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(Host("Scans")))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1) << "the probe made under another name is gone again";
}

TEST_F(SaveDialogsTest, AnExistingFileOfAnyCaseAsksBeforeItIsReplaced) {
    WriteFile("Scans/scan.jpg", "old");
    CDlg_SaveImgToFile dialog;
    Fill(dialog);
    m_boxAnswer = IDCANCEL;
    RunModal(dialog, [&](HWND dlg) {
        SendDlgItemMessageW(dlg, CSaveImgDlg::IDC_TYPE, CB_SETCURSEL, 1, 0); // "JPG"
        SetDlgItemTextW(dlg, kNameEdit, u"SCAN");
        ClickItem(dlg, kOk);
        EXPECT_EQ(TakeLastBox(), Str(1130)) << "\"SCAN.JPG\" finds \"scan.jpg\"";
        EXPECT_TRUE(IsWindowVisible(dlg)) << "declined: the dialog stays";
        EXPECT_EQ(std::u16string(dialog.m_szName), u"SCAN") << "name and type were taken before the question";
        EXPECT_EQ(std::u16string(dialog.m_szType), u"JPG");
        m_boxAnswer = IDOK;
        ClickItem(dlg, kOk);
        EXPECT_EQ(TakeLastBox(), Str(1130));
        EXPECT_FALSE(IsWindowVisible(dlg)) << "accepted";
    });
    m_boxAnswer = IDOK;
}

TEST_F(SaveDialogsTest, TheCheckBoxesTypeListAndFeederFlagAreSetUp) {
    CDlg_SaveImgToFile dialog;
    Fill(dialog);
    wcscpy_s(dialog.m_szType, u"Pdf");
    dialog.m_nOpenFile = 1;
    dialog.m_nOpenFolder = 0;
    dialog.m_bFeeder = TRUE;
    const INT_PTR result = RunModal(dialog, [&](HWND dlg) {
        const HWND type = GetDlgItem(dlg, CSaveImgDlg::IDC_TYPE);
        ASSERT_EQ(SendMessageW(type, CB_GETCOUNT, 0, 0), 6);
        std::u16string list;
        for (int i = 0; i < 6; ++i) {
            WCHAR item[8] = {};
            SendMessageW(type, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            list += item + std::u16string(u" ");
        }
        EXPECT_EQ(list, u"BMP JPG TIF PDF PNG OFD ");
        EXPECT_EQ(SendMessageW(type, CB_GETCURSEL, 0, 0), 3) << "the type, whatever its case";
        EXPECT_EQ(IsDlgButtonChecked(dlg, 10200), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dlg, 1001), BST_UNCHECKED);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 10200))) << "a feeder job's file is not opened";
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, kFolderEdit))) << "the folder is chosen by browsing";
        CheckDlgButton(dlg, 1001, BST_CHECKED);
        ClickItem(dlg, kOk);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_nOpenFolder, 1) << "the boxes reach their members at OK";
    EXPECT_EQ(std::u16string(dialog.m_szType), u"PDF");

    CDlg_SaveImgToFile other;
    Fill(other);
    wcscpy_s(other.m_szType, u"gif");
    RunModal(other, [&](HWND dlg) {
        EXPECT_EQ(SendDlgItemMessageW(dlg, CSaveImgDlg::IDC_TYPE, CB_GETCURSEL, 0, 0), 1) << "another type: JPG";
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, 10200)));
    });
}

TEST_F(SaveDialogsTest, OnlyTheButtonsEndItAndTheCloseBoxCancels) {
    CDlg_SaveImgToFile dialog;
    Fill(dialog);
    bool open = false;
    const INT_PTR result = RunModal(dialog, [&](HWND dlg) {
        SetDlgItemTextW(dlg, kNameEdit, u"renamed");
        SetFocus(GetDlgItem(dlg, kNameEdit));
        ut::PressKey(VK_RETURN);
        ut::PressKey(VK_ESCAPE);
        ut::RunPendingMessages();
        open = IsWindowVisible(dlg) != FALSE;
        SendMessageW(dlg, WM_CLOSE, 0, 0);
        ut::RunPendingMessages();
    });
    EXPECT_TRUE(open) << "Enter and Escape do nothing";
    EXPECT_EQ(result, IDCANCEL) << "the close box is Cancel";
    EXPECT_TRUE(m_boxes.empty()) << "without checks";
    EXPECT_EQ(std::u16string(dialog.m_szName), u"scan") << "and without taking anything";

    EXPECT_EQ(RunModal(dialog, [&](HWND dlg) { ClickItem(dlg, kCancel); }), IDCANCEL);
}

TEST_F(SaveDialogsTest, BrowsingStartsAtTheFolderAndTakesTheChosenOne) {
    std::filesystem::create_directories(Host("Other"));
    CDlg_SaveImgToFile dialog;
    Fill(dialog);
    RunModal(dialog, [&](HWND dlg) {
        ut::ScriptFolderBrowser(Dos("Other"));
        ClickItem(dlg, kBrowse);
        EXPECT_EQ(ItemText(dlg, kFolderEdit), Dos("Other"));
        ut::ScriptFolderBrowser(std::nullopt);
        ClickItem(dlg, kBrowse);
        EXPECT_EQ(ItemText(dlg, kFolderEdit), Dos("Other")) << "a cancelled browser changes nothing";
        SendMessageW(dlg, WM_CLOSE, 0, 0);
        ut::RunPendingMessages();
    });
    const std::vector<std::u16string> calls = ut::ShellCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], u"SHBrowseForFolderW");
    EXPECT_EQ(calls[1], u"BFFM_SETSELECTIONW " + Dos("Scans")) << "the browser opens at the current folder";
    EXPECT_EQ(std::u16string(dialog.m_szFolder), Dos("Other")) << "the member follows the browser at once";
}

TEST_F(SaveDialogsTest, TheMailProgramMustExistOrBeEmpty) {
    WriteFile("Programs/mail.exe", "");
    CDlg_SaveImgToEmail dialog;
    Fill(dialog);
    RunModal(dialog, [&](HWND dlg) {
        EXPECT_EQ(ItemText(dlg, kMailFolderEdit), Dos("Scans"));
        EXPECT_EQ(ItemText(dlg, kMailNameEdit), u"scan");
        ut::ScriptOpenFile(Dos("Programs/absent.exe"));
        ClickItem(dlg, kAddProgram);
        EXPECT_EQ(TakeLastBox(), Str(1132));
        EXPECT_EQ(ItemText(dlg, kProgramEdit), u"");
        ut::ScriptOpenFile(Dos("Programs/mail.exe"));
        ClickItem(dlg, kAddProgram);
        EXPECT_EQ(ItemText(dlg, kProgramEdit), Dos("Programs/mail.exe"));
        std::filesystem::remove(Host("Programs/mail.exe"));
        ClickItem(dlg, kOk);
        EXPECT_EQ(TakeLastBox(), Str(1132)) << "the program went away since";
        EXPECT_EQ(dialog.m_nModeResult, 0);
        EXPECT_EQ(std::u16string(dialog.m_szProgram), Dos("Programs/mail.exe"));
        SetDlgItemTextW(dlg, kProgramEdit, u"");
        ClickItem(dlg, kOk);
        EXPECT_FALSE(IsWindowVisible(dlg)) << "no program is allowed";
    });
    EXPECT_EQ(dialog.m_nModeResult, 1);

    EXPECT_EQ(RunModal(dialog,
                       [](HWND dlg) {
                           SendMessageW(dlg, WM_CLOSE, 0, 0);
                           ut::RunPendingMessages();
                       }),
              IDCANCEL);
    EXPECT_EQ(dialog.m_nModeResult, 0) << "each opening starts without a result";
}

TEST_F(SaveDialogsTest, TheMailTypeIsFixedForManualDuplexOnTheFeederAndForDuplex) {
    for (auto [manual, duplex, enabled] : {std::tuple{0, 0, true}, {1, 0, false}, {0, 1, false}}) {
        CDlg_SaveImgToEmail dialog;
        Fill(dialog);
        dialog.m_nManualDuplexOnFeeder = manual;
        dialog.m_nDuplexSource = duplex;
        RunModal(dialog, [&](HWND dlg) {
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(dlg, CSaveImgDlg::IDC_TYPE)) != FALSE, enabled) << manual << duplex;
        });
    }
}

TEST_F(SaveDialogsTest, SnapshotsInEachLanguage) {
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        CDlg_SaveImgToFile file;
        Fill(file);
        RunModal(file, [&](HWND dlg) {
            if (HaveStrings()) {
                EXPECT_EQ(TextOf(dlg), Str(1113));
            }
            EXPECT_EQ(ItemText(dlg, 10200), Str(1120));
            for (int id : {10200, 1001})
                EXPECT_TRUE(testsupport::BoxOnReadingSide(GetDlgItem(dlg, id), g_bHebrew != FALSE))
                    << language.code << ", check box " << id;
            Snapshot(dlg, "save_to_file");
            for (int id : {kFolderEdit, kNameEdit}) {
                const LONG ex = GetWindowLongW(GetDlgItem(dlg, id), GWL_EXSTYLE);
                EXPECT_EQ(ex & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING), g_bHebrew ? WS_EX_LAYOUTRTL | WS_EX_RTLREADING : 0)
                    << language.code << ", edit " << id << " reads left to right";
            }
        });
        CDlg_SaveImgToEmail mail;
        Fill(mail);
        wcscpy_s(mail.m_szProgram, u"C:\\Program Files\\Mail\\mail.exe");
        RunModal(mail, [&](HWND dlg) {
            EXPECT_EQ(ItemText(dlg, kAddProgram), Str(1123));
            Snapshot(dlg, "save_to_email");
            // Right to left, names and paths stand at the right but keep their order ("2024-05-01_001", not
            // "001_2024-05-01").
            for (int id : {kMailFolderEdit, kMailNameEdit, kProgramEdit}) {
                const LONG ex = GetWindowLongW(GetDlgItem(dlg, id), GWL_EXSTYLE);
                EXPECT_EQ(ex & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING), g_bHebrew ? WS_EX_LAYOUTRTL | WS_EX_RTLREADING : 0)
                    << language.code << ", edit " << id << " reads left to right";
            }
        });
    }
}

} // namespace
