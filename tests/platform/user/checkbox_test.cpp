// Check boxes and radio buttons: where the box and the text stand, as the right-to-left form puts them.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"
#include "tests/support/CheckBoxSides.h"

#include <gtest/gtest.h>

namespace {

namespace ut = platform::user::testing;

constexpr const char* kBoxes = R"(DIALOGEX 0, 0, 200, 80
STYLE WS_POPUP | WS_VISIBLE
BEGIN
    AUTOCHECKBOX "xy", 10, 0, 0, 200, 12
    AUTOCHECKBOX "xy", 11, 0, 20, 200, 12, BS_LEFTTEXT | BS_RIGHT
    AUTORADIOBUTTON "xy", 12, 0, 40, 200, 12
    AUTORADIOBUTTON "xy", 13, 0, 60, 200, 12, BS_LEFTTEXT | BS_RIGHT
END
)";

INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

TEST(CheckBox, TheRightToLeftFormHasItsBoxAgainstTheRightEdgeAndItsTextLeftOfIt) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kBoxes), nullptr, Proc, 0);
    ASSERT_NE(dlg, nullptr);
    ut::RunPendingMessages();
    for (int id : {10, 11, 12, 13}) {
        const bool rightToLeft = id == 11 || id == 13;
        HWND button = GetDlgItem(dlg, id);
        EXPECT_TRUE(testsupport::BoxOnReadingSide(button, rightToLeft)) << "control " << id;
        const testsupport::BoxAndText m = testsupport::MeasureBoxAndText(button);
        if (rightToLeft)
            EXPECT_GT(m.textLeft, m.width * 3 / 4) << "control " << id << ": the text against the box";
        else
            EXPECT_LT(m.textRight, m.width / 4) << "control " << id << ": the text against the box";
    }
    DestroyWindow(dlg);
}

} // namespace
