#include "devicescan/VelmoraLanguage.h"

#include "platform/user/commctrl.h"
#include "platform/user/winuser.h"
#include "settings/IniPath.h"
#include "settings/Language.h"

int g_nVelmoraLanguageID = kLanguageEnglish;

void GetVelmoraLanguageCode(WCHAR code[MAX_PATH]) {
    g_nVelmoraLanguageID = ChooseLanguageNumber(kIniDropCharsDeviceScan);
    SetUiLanguage(g_nVelmoraLanguageID);
    wcscpy_s(code, MAX_PATH, GetLanguageInfo(g_nVelmoraLanguageID).code);
}

CString GetVelmoraLanguageName() {
    return GetLanguageName(g_nVelmoraLanguageID);
}

BOOL IsVelmoraRightToLeft() {
    return IsRightToLeftCode(GetLanguageInfo(g_nVelmoraLanguageID).code);
}

CString GetPushUITitle() {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini, kIniDropCharsDeviceScan);
    WCHAR title[MAX_PATH] = {};
    GetPrivateProfileStringW(GetVelmoraLanguageName(), u"Push UI Title", u"", title, MAX_PATH, ini);
    return CString(title);
}

namespace {

bool ClassIs(HWND hwnd, const WCHAR* name) {
    WCHAR className[64] = {};
    GetClassNameW(hwnd, className, 64);
    return _wcsicmp(className, name) == 0;
}

void MirrorChild(HWND child, int clientWidth, HWND dialog) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    SetWindowPos(child, nullptr, clientWidth - rect.right, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(child, GWL_EXSTYLE);
    if (ClassIs(child, u"msctls_progress32")) {
        SetWindowLongW(child, GWL_EXSTYLE, exStyle | WS_EX_LAYOUTRTL);
        return;
    }
    // An edit holds a folder path: it stands at the right of its box, and the path still reads left to right.
    if (ClassIs(child, u"Edit")) {
        SetWindowLongW(child, GWL_EXSTYLE, exStyle | WS_EX_LAYOUTRTL | WS_EX_RTLREADING);
        InvalidateRect(child, nullptr, TRUE);
        return;
    }
    if (ClassIs(child, u"Static")) {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_RIGHT)
            SetWindowLongW(child, GWL_STYLE, (style & ~SS_TYPEMASK) | (type == SS_LEFT ? SS_RIGHT : SS_LEFT));
    } else if (ClassIs(child, u"Button")) {
        const LONG type = style & BS_TYPEMASK;
        const bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                         type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
        if (box)
            SetWindowLongW(child, GWL_STYLE, (style & ~BS_CENTER) | BS_LEFTTEXT | BS_RIGHT);
    } else {
        return;
    }
    SetWindowLongW(child, GWL_EXSTYLE, exStyle | WS_EX_RTLREADING);
}

} // namespace

void MirrorForReadingOrder(HWND dialog) {
    if (!IsVelmoraRightToLeft() || !dialog)
        return;
    RECT client{};
    GetClientRect(dialog, &client);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        MirrorChild(child, client.right - client.left, dialog);
    SetWindowLongW(dialog, GWL_EXSTYLE, GetWindowLongW(dialog, GWL_EXSTYLE) | WS_EX_RTLREADING);
    InvalidateRect(dialog, nullptr, TRUE);
}
