// Check boxes: where the box and the text stand, as the right-to-left form puts them.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

namespace {

namespace ut = platform::user::testing;

constexpr const char* kBoxes = R"(DIALOGEX 0, 0, 200, 40
STYLE WS_POPUP | WS_VISIBLE
BEGIN
    AUTOCHECKBOX "x", 10, 0, 0, 200, 12
    AUTOCHECKBOX "x", 11, 0, 20, 200, 12, BS_LEFTTEXT | BS_RIGHT
END
)";

INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The leftmost and rightmost columns of `box` holding a dark (text or tick) pixel.
std::pair<int, int> InkColumns(HWND box) {
    RECT r{};
    GetClientRect(box, &r);
    int first = -1, last = -1;
    for (int x = 0; x < r.right; ++x)
        for (int y = 0; y < r.bottom; ++y) {
            const COLORREF c = ut::WindowPixel(box, x, y);
            if (GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
    return {first, last};
}

TEST(CheckBox, TheRightToLeftFormHasItsBoxAndItsTextAgainstTheRightEdge) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kBoxes), nullptr, Proc, 0);
    ASSERT_NE(dlg, nullptr);
    ut::RunPendingMessages();
    RECT r{};
    GetClientRect(GetDlgItem(dlg, 10), &r);
    const auto plain = InkColumns(GetDlgItem(dlg, 10));
    const auto mirrored = InkColumns(GetDlgItem(dlg, 11));
    EXPECT_LT(plain.second, r.right / 4) << "box and text at the left";
    EXPECT_GT(mirrored.first, r.right * 3 / 4) << "text and box at the right";
    DestroyWindow(dlg);
}

} // namespace
