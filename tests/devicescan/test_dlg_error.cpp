// The message box of the device-scan program and its note window.
#include "VelmoraTestRoot.h"

#include "devicescan/CDlg_error.h"
#include "devicescan/CMsgDlg.h"
#include "platform/base/wstring.h"
#include "platform/user/testing.h"
#include "tests/support/WindowText.h"

namespace ut = platform::user::testing;

namespace {

const int g_headless = setenv("PLATFORM_HEADLESS", "1", 0);

using testsupport::TextOf;

bool Reddish(COLORREF c) {
    return GetRValue(c) > 180 && GetGValue(c) < 110 && GetBValue(c) < 110;
}

} // namespace

class DlgErrorTest : public VelmoraTestRoot {
protected:
    void TearDown() override {
        ut::SetModalInterceptor(nullptr);
        VelmoraTestRoot::TearDown();
    }
    // Runs the box with `message`; `inside` looks at it, then OK is clicked.
    INT_PTR Run(const char16_t* message, const std::function<void(HWND)>& inside) {
        CDlg_error dlg;
        dlg.m_strMessage = message;
        ut::SetModalInterceptor([&](HWND hwnd) {
            ut::RunPendingMessages();
            inside(hwnd);
            ut::Click(GetDlgItem(hwnd, IDOK));
            ut::RunPendingMessages();
        });
        return dlg.DoModal();
    }
};

TEST_F(DlgErrorTest, EveryMessageFitsTheBoxInEveryLanguage) {
    for (const WCHAR* wide : LanguageLibraryCodes()) {
        const std::string code = platform::ToUtf8(wide);
        UseLanguage(code.c_str());
        for (UINT id : {8015u, 8016u, 8017u, 8018u, 8019u, 8021u, 8022u, 8023u, 8024u, 8026u}) {
            const CString message = LoadResString(id);
            Run(message.GetString(), [&](HWND dlg) {
                for (const ut::TextOverflow& overflow : ut::CheckTextFit(dlg).overflows)
                    ADD_FAILURE() << code << " string " << id << ": " << ut::DescribeOverflow(overflow);
            });
        }
        // Where the pages of a job were kept follows on a line of its own.
        for (UINT id : {8027u, 8028u}) {
            CString message = LoadResString(id);
            EXPECT_NE(message, u"Load String Error!") << code << " string " << id;
            message += u"\nC:\\Pictures\\";
            Run(message.GetString(), [&](HWND dlg) {
                for (const ut::TextOverflow& overflow : ut::CheckTextFit(dlg).overflows)
                    ADD_FAILURE() << code << " string " << id << ": " << ut::DescribeOverflow(overflow);
            });
        }
    }
}

TEST_F(DlgErrorTest, ShowsTheMessageWithTheLanguagesTitleAndButton) {
    for (const char* code : {"enus", "zhcn", "he"}) {
        UseLanguage(code);
        bool seen = false;
        Run(u"The scanner is busy.", [&](HWND dlg) {
            seen = true;
            EXPECT_EQ(TextOf(dlg), std::u16string(LoadResString(8014))) << code;
            EXPECT_EQ(TextOf(GetDlgItem(dlg, IDOK)), std::u16string(LoadResString(8011))) << code;
            EXPECT_EQ(TextOf(GetDlgItem(dlg, CDlg_error::kMessage)), u"The scanner is busy.");
            EXPECT_EQ(GetForegroundWindow(), dlg);
        });
        EXPECT_TRUE(seen) << code;
    }
    UseLanguage("enus");
    Run(u"", [&](HWND dlg) { EXPECT_EQ(TextOf(dlg), u"Error"); });
}

TEST_F(DlgErrorTest, TheBackgroundIsStretchedOverTheWholeClientArea) {
    Run(u"", [&](HWND dlg) {
        RECT client{};
        GetClientRect(dlg, &client);
        // The bitmap's error mark sits left of the text, around (40, 38) of its 277 x 122 pixels,
        // and its last row is a grey hairline: both land where the stretch puts them.
        EXPECT_TRUE(Reddish(ut::WindowPixel(dlg, client.right * 28 / 277, client.bottom * 38 / 122)));
        const COLORREF corner = ut::WindowPixel(dlg, client.right - 1, client.bottom - 1);
        EXPECT_LT(GetRValue(corner), 0xF0) << "the bottom hairline reaches the client's last row";
        const COLORREF panel = ut::WindowPixel(dlg, client.right - 5, client.bottom / 2);
        EXPECT_EQ(panel, RGB(0xFF, 0xFF, 0xFF));
    });
}

TEST_F(DlgErrorTest, InHebrewTheMarkAndTheTextChangeSides) {
    UseLanguage("he");
    Run(u"\u05e9\u05d2\u05d9\u05d0\u05d4", [&](HWND dlg) {
        RECT client{};
        GetClientRect(dlg, &client);
        EXPECT_TRUE(Reddish(ut::WindowPixel(dlg, client.right - client.right * 28 / 277, client.bottom * 38 / 122)));
        EXPECT_FALSE(Reddish(ut::WindowPixel(dlg, client.right * 28 / 277, client.bottom * 38 / 122)));
        RECT text{};
        GetWindowRect(GetDlgItem(dlg, CDlg_error::kMessage), &text);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&text), 2);
        EXPECT_LT(text.right, client.right * 3 / 4) << "the message stands left of the mark";
    });
}

TEST_F(DlgErrorTest, TheNoteWindowIsAnEmptyModelessWindow) {
    CMsgDlg note;
    ASSERT_TRUE(note.Create(CMsgDlg::IDD, nullptr));
    EXPECT_EQ(GetWindow(note.m_hWnd, GW_CHILD), nullptr);
    RECT rect{};
    GetWindowRect(note.m_hWnd, &rect);
    EXPECT_GT(rect.right - rect.left, 0);
    note.DestroyWindow();
}
