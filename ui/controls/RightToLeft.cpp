#include "ui/controls/RightToLeft.h"

namespace {

bool ClassIs(HWND hwnd, const WCHAR* name) {
    WCHAR className[64] = {};
    ::GetClassNameW(hwnd, className, 64);
    return lstrcmpiW(className, name) == 0;
}

void MirrorChild(HWND child, int clientWidth, HWND dialog) {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    ::SetWindowPos(child, nullptr, clientWidth - rect.right, rect.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    const LONG exStyle = ::GetWindowLongW(child, GWL_EXSTYLE);
    // A progress bar fills from the right, and a horizontal scroll bar starts there, as the view it scrolls does.
    if (ClassIs(child, u"msctls_progress32") || (ClassIs(child, u"ScrollBar") && (style & SBS_VERT) == 0)) {
        ::SetWindowLongW(child, GWL_EXSTYLE, exStyle | WS_EX_LAYOUTRTL);
        return;
    }
    // Edits and combo boxes are laid out right to left themselves: text from the right edge, the drop button left.
    if (ClassIs(child, u"Edit") || ClassIs(child, u"ComboBox")) {
        ::SetWindowLongW(child, GWL_EXSTYLE, exStyle | WS_EX_LAYOUTRTL);
        ::InvalidateRect(child, nullptr, TRUE);
        return;
    }
    if (ClassIs(child, u"Static")) {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_RIGHT)
            ::SetWindowLongW(child, GWL_STYLE, (style & ~SS_TYPEMASK) | (type == SS_LEFT ? SS_RIGHT : SS_LEFT));
    } else if (ClassIs(child, u"Button")) {
        const LONG type = style & BS_TYPEMASK;
        const bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                         type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
        if (box)
            ::SetWindowLongW(child, GWL_STYLE, (style & ~BS_CENTER) | BS_LEFTTEXT | BS_RIGHT);
    } else {
        return; // vertical scroll bars keep their left-to-right ways
    }
    ::SetWindowLongW(child, GWL_EXSTYLE, exStyle | WS_EX_RTLREADING);
}

} // namespace

void MirrorChildLayout(CWnd* dialog) {
    HWND hwnd = HwndOf(dialog);
    if (hwnd == nullptr)
        return;
    RECT client{};
    ::GetClientRect(hwnd, &client);
    for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
        MirrorChild(child, client.right - client.left, hwnd);
    ::SetWindowLongW(hwnd, GWL_EXSTYLE, ::GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_RTLREADING);
    ::InvalidateRect(hwnd, nullptr, TRUE);
}

void KeepNumberOrder(CWnd* dialog, std::initializer_list<int> ids) {
    HWND hwnd = HwndOf(dialog);
    if (hwnd == nullptr)
        return;
    for (int id : ids) {
        HWND edit = ::GetDlgItem(hwnd, id);
        const LONG exStyle = edit ? ::GetWindowLongW(edit, GWL_EXSTYLE) : 0;
        if ((exStyle & WS_EX_LAYOUTRTL) == 0)
            continue;
        // Reading order reversed once more inside the mirrored edit: a sign or a decimal point stays where it is.
        ::SetWindowLongW(edit, GWL_EXSTYLE, exStyle | WS_EX_RTLREADING);
        ::InvalidateRect(edit, nullptr, TRUE);
    }
}

void FollowRightEdge(CWnd* dialog, int& mirroredWidth, int width) {
    if (mirroredWidth <= 0 || width == mirroredWidth || !dialog->GetSafeHwnd())
        return;
    const int shift = width - mirroredWidth;
    mirroredWidth = width;
    const HWND parent = dialog->GetSafeHwnd();
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        CRect rect;
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        ::SetWindowPos(child, nullptr, rect.left + shift, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    dialog->Invalidate(TRUE);
}

BOOL HoldsRightToLeftText(const CString& text) {
    for (int i = 0; i < text.GetLength(); ++i) {
        const WCHAR c = text[i];
        // Hebrew, Arabic and their supplements and presentation forms.
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF))
            return TRUE;
    }
    return FALSE;
}

void ReadAsItsTextReads(CWnd* control) {
    HWND hwnd = HwndOf(control);
    if (hwnd == nullptr)
        return;
    CString text;
    control->GetWindowText(text);
    const LONG exStyle = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
    const LONG wanted =
        HoldsRightToLeftText(text) ? (exStyle | WS_EX_RTLREADING) : (exStyle & ~static_cast<LONG>(WS_EX_RTLREADING));
    if (wanted != exStyle) {
        ::SetWindowLongW(hwnd, GWL_EXSTYLE, wanted);
        ::InvalidateRect(hwnd, nullptr, TRUE);
    }
}
