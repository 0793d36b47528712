// Where a check box or radio button shows its box and its text, measured on what the window shows: the columns that
// change when the check changes are the box's; the columns elsewhere holding a pixel unlike the control's background
// are the text's. For tests of the left-to-right and the mirrored (right-to-left) forms in real windows.
#pragma once

#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace testsupport {

struct BoxAndText {
    int width = 0;                     // the control's client width
    int boxLeft = -1, boxRight = -1;   // the box's columns, client coordinates (-1: the check changed nothing)
    int textLeft = -1, textRight = -1; // the text's columns (-1: no text)
    bool BoxAtRightOfText() const { return boxLeft >= 0 && textRight >= 0 && textRight < boxLeft; }
    bool BoxAtLeftOfText() const { return boxRight >= 0 && textLeft >= 0 && boxRight < textLeft; }
};

inline BoxAndText MeasureBoxAndText(HWND button) {
    namespace ut = platform::user::testing;
    RECT r{};
    GetClientRect(button, &r);
    const auto picture = [&] {
        InvalidateRect(button, nullptr, TRUE);
        UpdateWindow(button);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < r.right; ++x)
                pixels.push_back(ut::WindowPixel(button, x, y));
        return pixels;
    };
    const LRESULT check = SendMessageW(button, BM_GETCHECK, 0, 0);
    const std::vector<COLORREF> before = picture();
    SendMessageW(button, BM_SETCHECK, check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    const std::vector<COLORREF> after = picture();
    SendMessageW(button, BM_SETCHECK, check, 0);
    picture();

    BoxAndText m;
    m.width = r.right;
    std::map<COLORREF, int> counts;
    for (COLORREF c : before)
        ++counts[c];
    COLORREF background = before.empty() ? 0 : before[0];
    for (const auto& [colour, count] : counts)
        if (count > counts[background])
            background = colour;
    const auto at = [&](const std::vector<COLORREF>& pixels, int x, int y) { return pixels[y * r.right + x]; };
    int top = r.bottom, bottom = -1;
    for (int x = 0; x < r.right; ++x)
        for (int y = 0; y < r.bottom; ++y)
            if (at(before, x, y) != at(after, x, y)) {
                if (m.boxLeft < 0)
                    m.boxLeft = x;
                m.boxRight = x;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    // The mark lies inside the box: the box reaches out over the columns around it that are drawn on, up to the
    // first column of plain background.
    const auto drawnOn = [&](int x) {
        for (int y = std::max(0, top - 4); y <= std::min<int>(r.bottom - 1, bottom + 4); ++y)
            if (at(before, x, y) != background)
                return true;
        return false;
    };
    if (m.boxLeft >= 0) {
        while (m.boxLeft > 0 && drawnOn(m.boxLeft - 1))
            --m.boxLeft;
        while (m.boxRight + 1 < r.right && drawnOn(m.boxRight + 1))
            ++m.boxRight;
    }
    for (int x = 0; x < r.right; ++x) {
        if (m.boxLeft >= 0 && x >= m.boxLeft && x <= m.boxRight)
            continue;
        for (int y = 0; y < r.bottom; ++y)
            if (at(before, x, y) != background) {
                if (m.textLeft < 0)
                    m.textLeft = x;
                m.textRight = x;
                break;
            }
    }
    return m;
}

// The box against the edge the reading starts from (the right one in a right-to-left window), the text beside it.
// The box's outermost column may be lost in a background of its own light edge's colour.
inline ::testing::AssertionResult BoxOnReadingSide(HWND button, bool rightToLeft) {
    const BoxAndText m = MeasureBoxAndText(button);
    const bool ok = rightToLeft ? m.BoxAtRightOfText() && m.boxRight >= m.width - 2
                                : m.BoxAtLeftOfText() && m.boxLeft >= 0 && m.boxLeft <= 1;
    return (ok ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << "box at " << m.boxLeft << "-" << m.boxRight << ", text at " << m.textLeft << "-" << m.textRight << " of "
           << m.width << " columns" << (rightToLeft ? " (right to left)" : "");
}

} // namespace testsupport
