// The translator's check: which texts do not fit their controls, measured as the controls draw them.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

namespace ut = platform::user::testing;

constexpr const char* kLayout = R"(DIALOGEX 0, 0, 300, 200
STYLE WS_POPUP | WS_VISIBLE
FONT 8, "MS Shell Dlg"
BEGIN
    PUSHBUTTON "OK", 10, 0, 0, 50, 14
    PUSHBUTTON "Add Program and more...", 11, 60, 0, 40, 14
    AUTOCHECKBOX "Open", 12, 0, 20, 60, 10
    AUTOCHECKBOX "Open the image folder after scanning", 13, 60, 20, 60, 10
    LTEXT "Save scanned images to the folder below, after every page", 14, 0, 40, 80, 8
    LTEXT "Save scanned images to the folder below, after every page", 15, 100, 40, 80, 40
    LTEXT "Unbreakablewordthatnolinecanhold", 16, 200, 40, 40, 40
    GROUPBOX "Image Adjustment", 17, 0, 90, 150, 40
    GROUPBOX "Image Adjustment", 18, 160, 90, 40, 40
    COMBOBOX 19, 0, 140, 60, 60, CBS_DROPDOWNLIST
    EDITTEXT 20, 70, 140, 30, 14, ES_AUTOHSCROLL
    PUSHBUTTON "A caption far too long for a button", 21, 110, 140, 20, 14, NOT WS_VISIBLE
    LTEXT "Scan", 22, 140, 140, 30, 8, SS_LEFTNOWORDWRAP
    LTEXT "A message of three lines that wraps down into the button below it", 23, 200, 100, 60, 30
    PUSHBUTTON "OK", 24, 200, 118, 50, 14
END
)";

INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

class TextFitTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kLayout), nullptr, Proc, 0);
        ASSERT_NE(m_dlg, nullptr);
        SendDlgItemMessageW(m_dlg, 19, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"A4"));
        SendDlgItemMessageW(m_dlg, 19, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Document Feeder (Duplex)"));
        SetDlgItemTextW(m_dlg, 20, u"C:\\A folder path far longer than its edit control");
        ut::RunPendingMessages();
    }
    void TearDown() override { DestroyWindow(m_dlg); }

    std::set<int> Flagged(const ut::TextFitReport& report) {
        std::set<int> ids;
        for (const auto& o : report.overflows)
            ids.insert(o.id);
        return ids;
    }
    HWND m_dlg = nullptr;
};

TEST_F(TextFitTest, FlagsEveryKindOfControlWhoseTextIsCut) {
    const ut::TextFitReport report = ut::CheckTextFit(m_dlg);
    EXPECT_EQ(Flagged(report), (std::set<int>{11, 13, 14, 16, 18, 19, 23}));
    // Buttons, check boxes, statics, captions and both combo items; the edit and the hidden button are not measured.
    EXPECT_EQ(report.checked, 14);
    for (const auto& o : report.overflows) {
        EXPECT_GT(o.needed, o.available) << ut::DescribeOverflow(o);
        if (o.id == 19) {
            EXPECT_EQ(o.text, u"Document Feeder (Duplex)") << "only the item that is too wide";
        }
        EXPECT_EQ(o.lines, o.id == 14 || o.id == 23) << ut::DescribeOverflow(o);
    }
}

TEST_F(TextFitTest, AWrappedStaticNeedsNoMoreLinesThanItShows) {
    const ut::TextFitReport report = ut::CheckTextFit(m_dlg);
    auto it = std::find_if(report.overflows.begin(), report.overflows.end(), [](const auto& o) { return o.id == 14; });
    ASSERT_NE(it, report.overflows.end());
    EXPECT_GE(it->needed, 2);
    EXPECT_EQ(it->available, 1);
    EXPECT_NE(ut::DescribeOverflow(*it).find("Static 14 \"Save scanned images"), std::string::npos);
    // A static tall enough for its lines, but with a button over its lower part, shows only the lines that end a
    // few pixels above the button (two of its three would touch it).
    it = std::find_if(report.overflows.begin(), report.overflows.end(), [](const auto& o) { return o.id == 23; });
    ASSERT_NE(it, report.overflows.end());
    EXPECT_EQ(it->available, 1);
    EXPECT_EQ(it->into, "Button 24");
    EXPECT_NE(ut::DescribeOverflow(*it).find("runs into Button 24"), std::string::npos);
}

// A skinned box: a white message area over a grey button strip painted by the dialog itself, a message that fits
// its control but reaches the strip, one that ends well above it, and labels that fit their own controls but
// overlap a neighbour.
constexpr const char* kSkinnedLayout = R"(DIALOGEX 0, 0, 300, 120
STYLE WS_POPUP | WS_VISIBLE
FONT 8, "MS Shell Dlg"
BEGIN
    LTEXT "A long message of several lines that wraps down into the strip painted under the buttons", 30, 10, 40, 60, 60
    LTEXT "A short message", 31, 100, 10, 80, 30
    LTEXT "Resolution of the scan", 32, 190, 10, 100, 8
    COMBOBOX 33, 230, 8, 60, 60, CBS_DROPDOWNLIST
    AUTOCHECKBOX "Automatic page deskew", 34, 190, 30, 100, 10
    PUSHBUTTON "Go", 35, 250, 30, 40, 14
    GROUPBOX "Frame", 36, 185, 0, 110, 60
    LTEXT "", 37, 100, 45, 20, 16
    LTEXT "", 38, 130, 45, 40, 16
END
)";
constexpr int kStripTop = 70; // pixels

INT_PTR CALLBACK SkinnedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_ERASEBKGND)
        return FALSE;
    RECT client{};
    GetClientRect(hwnd, &client);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    HBRUSH grey = CreateSolidBrush(RGB(0xED, 0xF1, 0xF6));
    const RECT area{0, 0, client.right, kStripTop};
    const RECT strip{0, kStripTop, client.right, client.bottom};
    FillRect(reinterpret_cast<HDC>(wParam), &area, white);
    FillRect(reinterpret_cast<HDC>(wParam), &strip, grey);
    DeleteObject(white);
    DeleteObject(grey);
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

TEST(TextFitSkinTest, FlagsTextsThatRunIntoTheSkinsStripOrANeighbour) {
    HWND dlg =
        CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kSkinnedLayout), nullptr, SkinnedProc, 0);
    ASSERT_NE(dlg, nullptr);
    // A katakana word too wide for its label breaks in the middle; a sentence may wrap between its words.
    SetDlgItemTextW(dlg, 37, u"\u30B3\u30F3\u30C8\u30E9\u30B9\u30C8");       // contrast
    SetDlgItemTextW(dlg, 38, u"\u660E\u308B\u3055\u3068\u30B3\u30F3\u30C8"); // brightness and con...
    ut::RunPendingMessages();
    std::map<int, ut::TextOverflow> flagged;
    for (const ut::TextOverflow& o : ut::CheckTextFit(dlg).overflows)
        flagged.emplace(o.id, o);
    ASSERT_EQ(flagged.count(30), 1u) << "the message ends in the button strip, though its control holds it";
    EXPECT_EQ(flagged.at(30).into, "the background");
    EXPECT_TRUE(flagged.at(30).lines);
    EXPECT_LT(flagged.at(30).available, flagged.at(30).needed);
    EXPECT_EQ(flagged.count(31), 0u) << "a message on the plain area";
    ASSERT_EQ(flagged.count(32), 1u) << "a label reaching under the list beside it";
    EXPECT_EQ(flagged.at(32).into, "ComboBox 33");
    ASSERT_EQ(flagged.count(34), 1u) << "a check box whose caption runs under the button beside it";
    EXPECT_EQ(flagged.at(34).into, "Button 35");
    EXPECT_EQ(flagged.count(36), 0u) << "the frame around them is no neighbour";
    ASSERT_EQ(flagged.count(37), 1u) << "a katakana word broken over two lines";
    EXPECT_FALSE(flagged.at(37).lines);
    EXPECT_EQ(flagged.count(38), 0u) << "wrapped between a hiragana word and a katakana one";
    DestroyWindow(dlg);
}

TEST_F(TextFitTest, WhatIsFlaggedIsWhatTheControlCutsOnScreen) {
    // The measure is the drawing's own: a check box flagged as too narrow has ink in its last column, one that
    // fits ends clear of its edge.
    auto lastInk = [](HWND control) {
        RECT r{};
        GetClientRect(control, &r);
        int last = -1;
        for (int x = 0; x < r.right; ++x)
            for (int y = 0; y < r.bottom; ++y) {
                const COLORREF c = ut::WindowPixel(control, x, y);
                if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100)
                    last = x;
            }
        return std::pair{last, static_cast<int>(r.right)};
    };
    const auto [cut, cutWidth] = lastInk(GetDlgItem(m_dlg, 13));
    const auto [fits, fitsWidth] = lastInk(GetDlgItem(m_dlg, 12));
    EXPECT_GE(cut, cutWidth - 2);
    EXPECT_LT(fits, fitsWidth / 2);
}

} // namespace
