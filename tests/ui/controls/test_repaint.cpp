// A dialog holding every control of the folder: texts by string id, and repaints that leave no GDI object behind.
#include "TestHost.h"
#include "settings/Language.h"
#include "ui/controls/CSizeInfoStatic.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CStaticWithBkgBMP.h"
#include "ui/controls/CTransCheckBox.h"
#include "ui/controls/CTransparentSlider.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/controls/Trans_GroupBox.h"

#include <gtest/gtest.h>

namespace {

using namespace controls_test;

constexpr const char* kTemplate = R"(DIALOGEX 20, 20, 260, 160
STYLE WS_POPUP | WS_VISIBLE
BEGIN
    PUSHBUTTON "", 100, 10, 10, 54, 14
    PUSHBUTTON "", 101, 70, 10, 54, 14
    GROUPBOX "Group", 102, 10, 30, 120, 50
    AUTOCHECKBOX "Check", 103, 20, 45, 80, 12
    CONTROL "", 104, "msctls_trackbar32", WS_TABSTOP, 20, 60, 100, 16
    LTEXT "Text", 105, 140, 30, 100, 10
    CONTROL "", 106, "Static", SS_NOTIFY, 10, 90, 240, 16
    CTEXT "Tab", 107, 140, 50, 60, 16
    COMBOBOX 108, 140, 110, 100, 60, CBS_DROPDOWNLIST
END
)";

class EveryControlTest : public ::testing::Test {
protected:
    TestHost host;
    CxSkinButton ok, masked;
    Trans_GroupBox group;
    CTransCheckBox check;
    CTransparentSlider slider;
    CStaticTrans text;
    CSizeInfoStatic sizeInfo;
    CStaticWithBkgBMP tab;
    CComboBox units;
    HMODULE strings = nullptr;

    void SetUp() override {
        strings = LoadEnglishStrings();
        if (strings)
            AfxSetResourceHandle(strings);
        ASSERT_TRUE(host.Open(kTemplate));
        ok.SubclassDlgItem(100, &host);
        masked.SubclassDlgItem(101, &host);
        group.SubclassDlgItem(102, &host);
        check.SubclassDlgItem(103, &host);
        slider.SubclassDlgItem(104, &host);
        text.SubclassDlgItem(105, &host);
        sizeInfo.SubclassDlgItem(106, &host);
        tab.SubclassDlgItem(107, &host);
        units.SubclassDlgItem(108, &host);
        ok.SetSkin(10431, 10429, 10432, 10430, 0, 0, CxSkinButton::kStretch, 0, 0);
        masked.SetSkin(kSolidNormal, kSolidDown, kSolidOver, 0, 0, kMaskCorners, CxSkinButton::kNatural, 0, 0);
        ok.SetToolTipText(CString(u"Tip"));
        text.SetTipText(CString(u"Tip"));
        tab.SetBitmap(1002);
        sizeInfo.SetSizeInfo(8.5f, 11.0f, CSizeInfoStatic::kMillimetre, 0, 300, 1);
        host.Repaint();
    }
    void TearDown() override {
        host.DestroyWindow();
        AfxSetResourceHandle(nullptr);
    }
};

TEST_F(EveryControlTest, TextsComeFromTheLanguageLibraryByStringId) {
    const ControlText texts[] = {{&ok, 1090}, {&group, 1018}, {nullptr, 1090}, {&text, 99999}};
    SetControlTexts(texts, 4);
    CString label;
    text.GetWindowText(label);
    EXPECT_EQ(label, CString(u"Load String Error!")) << "a missing string shows as such";
    ok.GetWindowText(label);
    EXPECT_EQ(label, LoadResString(1090));
    SetControlTexts(nullptr, 3); // nothing happens

    const UINT ids[] = {1004, 1003, 1002};
    units.AddString(u"old");
    FillComboFromStrings(&units, ids, 3);
    ASSERT_EQ(units.GetCount(), 3);
    CString item;
    units.GetLBText(2, item);
    EXPECT_EQ(item, LoadResString(1002));
    FillComboFromStrings(nullptr, ids, 3);
    FillComboFromStrings(&units, nullptr, 3);
    EXPECT_EQ(units.GetCount(), 3);
}

TEST_F(EveryControlTest, AThousandRepaintsLeaveNoGdiObjectBehind) {
    const int before = platform::gdi::LiveObjectCount();
    for (int i = 0; i < 1000; ++i) {
        host.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        if (i % 50 == 0) {
            ut::MouseMove(host.ScreenOf(ok, 5, 5));
            ut::MouseMove(host.ScreenOf(masked, 20, 10));
            ut::RunPendingMessages();
        }
    }
    ut::RunPendingMessages();
    EXPECT_EQ(platform::gdi::LiveObjectCount(), before);
}

} // namespace
