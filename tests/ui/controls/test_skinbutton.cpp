// The skinned button: its picture by state (mouse and code), keyboard and double clicks ignored, masks giving the
// window region and hit test, check and radio behaviour, tooltips.
#include "TestHost.h"
#include "ui/controls/CxSkinButton.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using namespace controls_test;

constexpr const char* kTemplate = R"(DIALOGEX 20, 20, 200, 100
STYLE WS_POPUP | WS_VISIBLE
BEGIN
    PUSHBUTTON "Skin", 100, 10, 10, 60, 16
    PUSHBUTTON "Other", 101, 100, 10, 60, 16
    AUTORADIOBUTTON "A", 102, 10, 40, 40, 12, WS_GROUP
    AUTORADIOBUTTON "B", 103, 60, 40, 40, 12
    AUTORADIOBUTTON "C", 104, 110, 40, 40, 12
    AUTOCHECKBOX "Check", 105, 10, 60, 60, 12, WS_GROUP
    PUSHBUTTON "Masked", 106, 100, 60, 60, 16
END
)";

class SkinButtonTest : public ::testing::Test {
protected:
    TestHost host;
    CxSkinButton button, other, radioA, radioB, radioC, check, masked;

    void SetUp() override {
        ut::SetScreenSize(1920, 1080);
        ASSERT_TRUE(host.Open(kTemplate));
        button.SubclassDlgItem(100, &host);
        other.SubclassDlgItem(101, &host);
        radioA.SubclassDlgItem(102, &host);
        radioB.SubclassDlgItem(103, &host);
        radioC.SubclassDlgItem(104, &host);
        check.SubclassDlgItem(105, &host);
        masked.SubclassDlgItem(106, &host);
        for (CxSkinButton* b : {&button, &other, &radioA, &radioB, &radioC, &check})
            b->SetSkin(kSolidNormal, kSolidDown, kSolidOver, kSolidDisabled, 0, 0, CxSkinButton::kStretch, 0, 0);
        host.Repaint();
        ut::MouseMove(POINT{1900, 1000}); // away from every window
        ut::RunPendingMessages();
    }
    void TearDown() override { host.DestroyWindow(); }

    COLORREF Face(CWnd& w) {
        ut::RunPendingMessages();
        CRect r;
        w.GetClientRect(&r);
        return ut::WindowPixel(w.m_hWnd, 3, r.Height() - 3); // a corner the caption does not reach
    }
    POINT Centre(CWnd& w) {
        CRect r;
        w.GetWindowRect(&r);
        return r.CenterPoint();
    }
};

TEST_F(SkinButtonTest, TheMouseMovesTheButtonBetweenNormalAndHover) {
    EXPECT_EQ(Face(button), kNormalColour);
    ut::MouseMove(Centre(button));
    ut::RunPendingMessages();
    EXPECT_TRUE(button.IsTracking());
    EXPECT_EQ(Face(button), kOverColour) << "hover picture while the mouse is over the button";
    ut::MouseMove(Centre(other));
    ut::RunPendingMessages();
    EXPECT_FALSE(button.IsTracking()) << "the leave notification ends the hover";
    EXPECT_EQ(Face(button), kNormalColour);
    EXPECT_EQ(Face(other), kOverColour);
}

TEST_F(SkinButtonTest, APressByMouseClicksButKeepsTheNormalPictureOnlyTheProgramShowsDown) {
    const POINT centre = Centre(button);
    ut::MouseMove(centre);
    ut::MouseDown(centre);
    ut::RunPendingMessages();
    EXPECT_NE(button.GetState() & BST_PUSHED, 0u);
    EXPECT_EQ(Face(button), kNormalColour) << "a mouse press does not switch to the down picture";
    ut::MouseUp(centre);
    ut::RunPendingMessages();
    EXPECT_EQ(host.clicks, 1);

    button.SetPressed(TRUE);
    EXPECT_EQ(Face(button), kDownColour);
    ut::MouseMove(Centre(other));
    ut::MouseMove(centre);
    EXPECT_EQ(Face(button), kDownColour) << "the down picture stays whatever the mouse does";
    button.SetPressed(FALSE);
    EXPECT_EQ(Face(button), kOverColour);
}

TEST_F(SkinButtonTest, HoldingTheMouseAndLeavingReleasesThePushedStateComingBackPushesAgain) {
    const POINT centre = Centre(button);
    ut::MouseMove(centre);
    ut::MouseDown(centre);
    ut::MouseMove(Centre(other));
    ut::RunPendingMessages();
    EXPECT_EQ(button.GetState() & BST_PUSHED, 0u);
    ut::MouseMove(centre);
    ut::RunPendingMessages();
    EXPECT_NE(button.GetState() & BST_PUSHED, 0u);
    ut::MouseMove(Centre(other));
    ut::MouseUp(Centre(other));
    ut::RunPendingMessages();
    EXPECT_EQ(host.clicks, 0) << "released outside: no click";
}

TEST_F(SkinButtonTest, DisabledShowsItsPictureOrTheNormalOneWhenNoneIsGiven) {
    button.EnableWindow(FALSE);
    EXPECT_EQ(Face(button), kDisabledColour);
    button.SetSkin(kSolidNormal, kSolidDown, kSolidOver, 0, 0, 0, CxSkinButton::kStretch, 0, 0);
    button.Invalidate();
    EXPECT_EQ(Face(button), kNormalColour) << "disabled id 0 draws the normal bitmap";
    button.SetSkin(0, 0, 0, 0, 0, 0, CxSkinButton::kStretch, 0, 0);
    button.Invalidate();
    EXPECT_EQ(Face(button), ::GetSysColor(COLOR_BTNFACE)) << "no bitmap at all: the button face colour";
}

TEST_F(SkinButtonTest, TheFocusPictureAndFocusRectangleShowWhileTheButtonHasTheFocus) {
    button.SetSkin(kSolidNormal, kSolidDown, kSolidOver, kSolidDisabled, kSolidFocus, 0, CxSkinButton::kStretch, 0, 4);
    other.SetFocus();
    EXPECT_EQ(Face(button), kNormalColour);
    button.SetFocus();
    ut::RunPendingMessages();
    EXPECT_EQ(Face(button), kFocusColour);
    CRect r;
    button.GetClientRect(&r);
    int dotted = 0, outside = 0;
    for (int y = 5; y < r.Height() - 5; ++y) {
        dotted += ut::WindowPixel(button.m_hWnd, 4, y) != kFocusColour;
        outside += ut::WindowPixel(button.m_hWnd, 2, y) != kFocusColour;
    }
    EXPECT_GT(dotted, 0) << "the focus rectangle, 4 pixels in";
    EXPECT_EQ(outside, 0);
    ut::MouseMove(Centre(button));
    EXPECT_EQ(Face(button), kOverColour) << "hover wins over focus";
}

TEST_F(SkinButtonTest, ACaptionReadRightToLeftEndsAtTheLeftAsOnAStandardButton) {
    // Hebrew "Browse...": read right to left (a mirrored dialog's buttons) the dots stand left of the word.
    other.SetWindowText(CString(u"\u05E2\u05D9\u05D5\u05DF..."));
    // The ink height of the leftmost and the rightmost column the caption darkens.
    auto edgeInk = [&]() {
        host.Repaint();
        ut::RunPendingMessages();
        CRect r;
        other.GetClientRect(&r);
        std::vector<int> heights;
        for (int x = 0; x < r.Width(); ++x) {
            int ink = 0;
            for (int y = 2; y < r.Height() - 2; ++y)
                ink += GetBValue(ut::WindowPixel(other.m_hWnd, x, y)) < 0x60 ? 1 : 0;
            if (ink > 0)
                heights.push_back(ink);
        }
        return heights.empty() ? std::pair{0, 0} : std::pair{heights.front(), heights.back()};
    };
    const auto [plainLeft, plainRight] = edgeInk();
    EXPECT_GT(plainLeft, 2) << "left to right: the word first";
    EXPECT_LE(plainRight, 2) << "left to right: the dots last";
    other.ModifyStyleEx(0, WS_EX_RTLREADING);
    const auto [rtlLeft, rtlRight] = edgeInk();
    EXPECT_LE(rtlLeft, 2) << "right to left: the dots at the left end";
    EXPECT_GT(rtlRight, 2);
}

TEST_F(SkinButtonTest, TheKeyboardNeverClicks) {
    button.SetFocus();
    ut::PressKey(VK_RETURN);
    ut::PressKey(VK_SPACE);
    ut::RunPendingMessages();
    EXPECT_EQ(host.clicks, 0) << "Enter and Space on a focused skinned button do nothing";
    ut::PressKey(VK_TAB);
    ut::RunPendingMessages();
    EXPECT_NE(HwndOf(CWnd::GetFocus()), button.m_hWnd) << "Tab still moves the focus";
}

TEST_F(SkinButtonTest, TheSecondPressOfADoubleClickIsIgnored) {
    ut::UseManualClock();
    ut::Click(Centre(button));
    ut::Click(Centre(button));
    ut::RunPendingMessages();
    ut::UseManualClock(false);
    EXPECT_EQ(host.clicks, 1);
}

TEST_F(SkinButtonTest, DrawModesOutsideTheRangeAreClampedAndTileRepeatsTheBitmap) {
    button.SetSkin(kTile, 0, 0, 0, 0, 0, 7, 0, 0);
    EXPECT_EQ(button.GetDrawMode(), CxSkinButton::kTile);
    button.Invalidate();
    ut::RunPendingMessages();
    // The tile is 7 x 5 with a blue first column and row on yellow.
    EXPECT_EQ(ut::WindowPixel(button.m_hWnd, 7, 2), RGB(0, 0, 255));
    EXPECT_EQ(ut::WindowPixel(button.m_hWnd, 8, 6), RGB(255, 255, 0));
    EXPECT_EQ(ut::WindowPixel(button.m_hWnd, 15, 10), RGB(0, 0, 255));
    button.SetSkin(kTile, 0, 0, 0, 0, 0, -1, 0, 0);
    EXPECT_EQ(button.GetDrawMode(), CxSkinButton::kNatural);
    other.SetSkin(kTile, 0, 0, 0, 0, 0, -1, 0, 0);
    other.Invalidate();
    ut::RunPendingMessages();
    EXPECT_EQ(ut::WindowPixel(other.m_hWnd, 1, 1), RGB(255, 255, 0));
    EXPECT_EQ(ut::WindowPixel(other.m_hWnd, 7, 2), kNormalColour) << "natural size paints the bitmap once";
}

TEST_F(SkinButtonTest, AMaskGivesTheButtonARegionWhoseCornersBelongToTheDialog) {
    masked.SetSkin(kSolidNormal, kSolidDown, kSolidOver, 0, 0, kMaskCorners, CxSkinButton::kNatural, 0, 0);
    CRect rect;
    masked.GetWindowRect(&rect);
    EXPECT_EQ(rect.Width(), 40) << "natural size with a mask takes the mask's size";
    EXPECT_EQ(rect.Height(), 20);
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(masked.GetWindowRgn(region), ERROR);
    EXPECT_FALSE(::PtInRegion(region, 0, 0));
    EXPECT_FALSE(::PtInRegion(region, 39, 19));
    EXPECT_FALSE(::PtInRegion(region, 5, 0)) << "the 6-pixel diagonal cut";
    EXPECT_TRUE(::PtInRegion(region, 6, 0));
    EXPECT_TRUE(::PtInRegion(region, 20, 10));
    ::DeleteObject(region);

    EXPECT_EQ(::WindowFromPoint(POINT{rect.left + 1, rect.top + 1}), host.m_hWnd);
    EXPECT_EQ(::WindowFromPoint(rect.CenterPoint()), masked.m_hWnd);
    ut::Click(POINT{rect.left + 1, rect.top + 1});
    ut::RunPendingMessages();
    EXPECT_EQ(host.clicks, 0) << "a click on a cut corner reaches the dialog";
    ut::Click(rect.CenterPoint());
    ut::RunPendingMessages();
    EXPECT_EQ(host.clicks, 1);

    host.Repaint();
    POINT corner{rect.left, rect.top};
    host.ScreenToClient(&corner);
    EXPECT_EQ(ut::WindowPixel(host.m_hWnd, corner.x, corner.y), kRightColour)
        << "the dialog shows through the transparent corner";
    EXPECT_EQ(ut::WindowPixel(host.m_hWnd, corner.x + 20, corner.y + 18), kNormalColour);
}

TEST_F(SkinButtonTest, RegionsTheWindowDoesNotTakeAreDeleted) {
    const int before = platform::gdi::LiveObjectCount(OBJ_REGION);
    masked.SetSkin(kSolidNormal, 0, 0, 0, 0, kMaskEmpty, CxSkinButton::kStretch, 0, 0);
    EXPECT_EQ(masked.GetClipRegion(), nullptr);
    HRGN probe = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(masked.GetWindowRgn(probe), ERROR) << "an empty region is not handed to the window";
    ::DeleteObject(probe);
    EXPECT_EQ(platform::gdi::LiveObjectCount(OBJ_REGION), before);
    for (int i = 0; i < 3; ++i)
        masked.SetSkin(kSolidNormal, 0, 0, 0, 0, kMaskCorners, CxSkinButton::kStretch, 0, 0);
    EXPECT_EQ(platform::gdi::LiveObjectCount(OBJ_REGION), before + 1) << "only the window's current region lives";
}

TEST_F(SkinButtonTest, CheckingARadioButtonUnchecksTheOthersOfItsGroup) {
    EXPECT_EQ(radioA.GetSkinStyle(), CxSkinButton::kRadio);
    EXPECT_EQ(check.GetSkinStyle(), CxSkinButton::kCheckBox);
    EXPECT_EQ(button.GetSkinStyle(), CxSkinButton::kPush);
    radioA.SetCheck(1);
    ut::RunPendingMessages();
    radioC.SetCheck(1);
    ut::RunPendingMessages();
    EXPECT_EQ(radioA.GetCheck(), 0);
    EXPECT_EQ(radioB.GetCheck(), 0);
    EXPECT_EQ(radioC.GetCheck(), 1);
    ut::Click(Centre(radioB));
    ut::RunPendingMessages();
    EXPECT_EQ(radioB.GetCheck(), 1);
    EXPECT_EQ(radioC.GetCheck(), 0);
    EXPECT_EQ(check.GetCheck(), 0) << "another group is left alone";

    ut::Click(Centre(check));
    ut::RunPendingMessages();
    EXPECT_EQ(check.GetCheck(), 1);
    ut::MouseMove(POINT{1900, 1000});
    ut::UseManualClock();
    ut::AdvanceClock(2000);
    ut::Click(Centre(check));
    ut::RunPendingMessages();
    ut::UseManualClock(false);
    EXPECT_EQ(check.GetCheck(), 0) << "a check-box style toggles on each click";
    button.SetCheck(1);
    EXPECT_EQ(button.GetCheck(), 0) << "a push button is never checked";
}

TEST_F(SkinButtonTest, SettingATooltipTwiceMakesOneTooltipAndChangesItsText) {
    button.SetToolTipText(CString(u"First"));
    HWND tip = button.GetToolTip().m_hWnd;
    ASSERT_NE(tip, nullptr);
    button.SetToolTipText(CString(u"Second"));
    EXPECT_EQ(button.GetToolTip().m_hWnd, tip);
    EXPECT_EQ(button.GetToolTip().GetToolCount(), 1);
    CString text;
    button.GetToolTip().GetText(text, &button);
    EXPECT_EQ(text, CString(u"Second"));
}

TEST_F(SkinButtonTest, TheSharedSkinLoadsFromThisModule) {
    other.SetSkin();
    other.EnableWindow(FALSE);
    const COLORREF disabled = Face(other);
    other.EnableWindow(TRUE);
    const COLORREF normal = Face(other);
    EXPECT_NE(disabled, normal) << "10430 and 10431 differ";
    EXPECT_NE(normal, ::GetSysColor(COLOR_BTNFACE)) << "10431 was found in this module";
}

} // namespace
