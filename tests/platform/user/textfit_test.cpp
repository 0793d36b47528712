// The translator's check: which texts do not fit their controls, measured as the controls draw them.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    // A static tall enough for its lines, but with a button over its lower part, shows only the lines above it.
    it = std::find_if(report.overflows.begin(), report.overflows.end(), [](const auto& o) { return o.id == 23; });
    ASSERT_NE(it, report.overflows.end());
    EXPECT_EQ(it->available, 2);
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
