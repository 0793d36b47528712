// The text a window shows (up to 1023 characters), for tests to compare.
#pragma once

#include "platform/user/winuser.h"

#include <string>

namespace testsupport {

inline std::u16string TextOf(HWND hwnd) {
    WCHAR buffer[1024] = {};
    GetWindowTextW(hwnd, buffer, 1024);
    return buffer;
}

// The text of the dialog's control `id`.
inline std::u16string ItemText(HWND dlg, int id) {
    return TextOf(GetDlgItem(dlg, id));
}

} // namespace testsupport
