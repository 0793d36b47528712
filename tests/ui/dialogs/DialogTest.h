// The dialog tests' root: a C:\ root of each test's own, input driven by the test (no X windows), the language
// library of a chosen language as resource module with the globals the window sets for it, and snapshots: Snapshot
// checks that every text of the dialog fits its control and, with DIALOG_PNG_DIR set, writes
// <DIALOG_PNG_DIR>/<name>_<language>.png.
#pragma once

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/user/afxwin.h"
#include "platform/user/testing.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "tests/support/TempRoot.h"
#include "tests/support/WindowText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dialogs_test {

namespace ut = platform::user::testing;

using testsupport::ItemText;
using testsupport::TextOf;

// The languages every dialog is looked at in, each library once: code and language number.
struct Language {
    const char* code;
    int number;
};
inline constexpr Language kEnglish{"enus", 1}, kChinese{"zhcn", 0}, kHebrew{"he", 21};
inline constexpr Language kLanguages[] = {kEnglish,    kChinese,   kHebrew,    {"ja", 2},   {"ru", 3}, {"pt", 4},
                                          {"esmx", 5}, {"fr", 6},  {"pl", 7},  {"de", 8},   {"it", 9}, {"ar", 10},
                                          {"tr", 11},  {"no", 16}, {"sv", 17}, {"zhtw", 20}};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_HEADLESS", "1", 0);
        m_root = testsupport::MakeTempFolder("dialogs-test");
        ASSERT_FALSE(m_root.empty());
        testsupport::UseAsRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        ut::SetScreenSize(1920, 1080);
        ut::UseManualClock(true); // clicks in quick succession must not make double clicks
        UseLanguage(kEnglish);
    }
    void TearDown() override {
        ut::SetModalInterceptor(nullptr);
        ut::UseManualClock(false);
        AfxSetResourceHandle(nullptr);
        if (m_strings)
            FreeLibrary(m_strings);
        m_strings = nullptr;
        g_bHebrew = FALSE;
        g_LangugueID = kLanguageEnglish;
        g_chDecimalSep = u'.';
        platform::testing::SetRoot("");
        testsupport::RemoveFolder(m_root);
    }

    // Makes `language`'s string library the resource module and sets the language globals as the window does.
    void UseLanguage(const Language& language) {
        AfxSetResourceHandle(nullptr);
        if (m_strings)
            FreeLibrary(m_strings);
        m_strings = nullptr;
        std::string folder;
        if (const char* m = std::getenv("MODULE_DIR"))
            folder = m;
        if (!folder.empty())
            m_strings = LoadLibraryW((platform::path::ToDosPath(folder) + u"\\kvxtwrc" +
                                      std::u16string(language.code, language.code + strlen(language.code)) + u".dll")
                                         .c_str());
        if (m_strings)
            AfxSetResourceHandle(m_strings);
        m_language = language;
        g_LangugueID = language.number;
        SetUiLanguage(language.number);
        g_chDecimalSep = GetLanguageInfo(language.number).decimalSep;
        g_bHebrew = IsRightToLeftCode(GetLanguageInfo(language.number).code);
    }
    bool HaveStrings() const { return m_strings != nullptr; }

    void Snapshot(HWND hwnd, const std::string& name) {
        ut::RunPendingMessages();
        for (const ut::TextOverflow& overflow : ut::CheckTextFit(hwnd).overflows)
            ADD_FAILURE() << name << "_" << m_language.code << ": " << ut::DescribeOverflow(overflow);
        if (const char* out = std::getenv("DIALOG_PNG_DIR"))
            ut::SaveWindowPng(hwnd, (std::string(out) + "/" + name + "_" + m_language.code + ".png").c_str());
    }

    // The next dialog that runs modally is driven by `inside` (a dialog still open afterwards is ended with
    // IDCANCEL). Every box it opens meanwhile (error, question, notice) is answered with m_boxAnswer at once, its
    // message kept in m_boxes.
    void InterceptModal(std::function<void(HWND)> inside) {
        auto depth = std::make_shared<int>(0);
        ut::SetModalInterceptor([this, depth, inside = std::move(inside)](HWND hwnd) {
            if ((*depth)++ > 0) {
                for (int id : {10306, 10307, 10308})
                    if (HWND text = GetDlgItem(hwnd, id))
                        m_boxes.push_back(TextOf(text));
                EndDialog(hwnd, m_boxAnswer);
                --*depth;
                return;
            }
            ut::RunPendingMessages();
            inside(hwnd);
            if (IsWindowVisible(hwnd))
                EndDialog(hwnd, IDCANCEL);
            --*depth;
        });
    }
    // Runs `dialog` modally, driven by `inside` as above; answers DoModal's result.
    INT_PTR RunModal(CDialog& dialog, std::function<void(HWND)> inside) {
        InterceptModal(std::move(inside));
        const INT_PTR result = dialog.DoModal();
        ut::SetModalInterceptor(nullptr);
        return result;
    }
    // Clicks a control of a dialog and runs what follows.
    static void ClickItem(HWND dlg, int id) {
        ut::AdvanceClock(1000);
        ut::Click(GetDlgItem(dlg, id));
        ut::RunPendingMessages();
    }
    // The last box's message, and forgets them all.
    std::u16string TakeLastBox() {
        std::u16string last = m_boxes.empty() ? u"" : m_boxes.back();
        m_boxes.clear();
        return last;
    }

    std::vector<std::u16string> m_boxes;
    INT_PTR m_boxAnswer = IDOK;

    // The C:\ path of a file or folder under the root, and its POSIX form.
    std::u16string Dos(const std::string& relative) const { return platform::path::ToDosPath(m_root + "/" + relative); }
    std::string Host(const std::string& relative) const { return m_root + "/" + relative; }
    void WriteFile(const std::string& relative, const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(Host(relative)).parent_path());
        std::ofstream(Host(relative), std::ios::binary | std::ios::trunc) << bytes;
    }

    // Writes the model's INI file (the text as it stands).
    static void WriteIni(const std::string& text) {
        WCHAR ini[MAX_PATH] = {};
        GetIniPath(ini);
        std::ofstream(platform::path::ToHostPath(ini), std::ios::binary | std::ios::trunc) << text;
    }

    std::string m_root;
    HMODULE m_strings = nullptr;
    Language m_language = kEnglish;
};

} // namespace dialogs_test
