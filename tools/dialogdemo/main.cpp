// dialogdemo: a dialog built from a template with each kind of control, to look at the window layer.
//
//   dialogdemo                  show it (in an X window when DISPLAY is set) until it is closed
//   dialogdemo --png FILE       render it headless and write FILE
//   dialogdemo --seconds N      close it by itself after N seconds
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kDemoTemplate = R"(DIALOGEX 0, 0, 262, 190
STYLE DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Dialog demo"
FONT 8, "MS Shell Dlg"
BEGIN
    GROUPBOX "Buttons", 1000, 7, 7, 120, 86
    PUSHBUTTON "Push", 1001, 14, 20, 50, 14
    CONTROL "Owner-drawn", 1002, "Button", BS_OWNERDRAW | WS_TABSTOP, 70, 20, 50, 14
    AUTOCHECKBOX "Check box", 1003, 14, 40, 100, 10
    AUTORADIOBUTTON "Radio one", 1004, 14, 54, 100, 10, WS_GROUP | WS_TABSTOP
    AUTORADIOBUTTON "Radio two", 1005, 14, 68, 100, 10
    LTEXT "Left text", 1010, 134, 10, 60, 8
    CTEXT "Centred", 1011, 194, 10, 60, 8
    LTEXT "A long text that ends with an ellipsis when cut", 1012, 134, 22, 120, 8, SS_ENDELLIPSIS
    LTEXT "Click me", 1013, 134, 34, 120, 8, SS_NOTIFY
    EDITTEXT 1020, 134, 48, 120, 14, ES_AUTOHSCROLL
    COMBOBOX 1021, 134, 66, 120, 80, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
    COMBOBOX 1022, 134, 84, 120, 80, CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP
    CONTROL "", 1030, "msctls_trackbar32", TBS_AUTOTICKS | WS_TABSTOP, 7, 100, 120, 20
    LTEXT "25", 1031, 134, 106, 40, 8
    SCROLLBAR 1032, 7, 128, 120, 10
    CONTROL "", 1033, "msctls_progress32", WS_BORDER, 134, 126, 120, 12
    LTEXT "", 1034, 7, 146, 240, 8
    DEFPUSHBUTTON "OK", IDOK, 150, 168, 50, 14
    PUSHBUTTON "Cancel", IDCANCEL, 205, 168, 50, 14
END
)";

constexpr UINT_PTR kCloseTimer = 1;
HWND g_tooltip = nullptr;

void Status(HWND dlg, const char16_t* text) {
    SetDlgItemTextW(dlg, 1034, text);
}

void Init(HWND dlg) {
    for (const char16_t* s : {u"Flatbed", u"Feeder", u"Feeder, both sides"})
        SendDlgItemMessageW(dlg, 1021, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(dlg, 1021, CB_SETCURSEL, 0, 0);
    for (const char16_t* s : {u"Pear", u"Apple", u"Quince"})
        SendDlgItemMessageW(dlg, 1022, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(dlg, 1022, CB_LIMITTEXT, 16, 0);
    SetDlgItemTextW(dlg, 1020, u"Edit me");
    SendDlgItemMessageW(dlg, 1030, TBM_SETRANGE, TRUE, MAKELPARAM(static_cast<WORD>(-100), 100));
    SendDlgItemMessageW(dlg, 1030, TBM_SETTICFREQ, 25, 0);
    SendDlgItemMessageW(dlg, 1030, TBM_SETPOS, TRUE, 25);
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 99, 10, 30, 0};
    SetScrollInfo(GetDlgItem(dlg, 1032), SB_CTL, &si, TRUE);
    SendDlgItemMessageW(dlg, 1033, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageW(dlg, 1033, PBM_SETPOS, 60, 0);
    CheckRadioButton(dlg, 1004, 1005, 1004);
    g_tooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, dlg, nullptr, nullptr, nullptr);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = dlg;
    ti.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dlg, 1001));
    ti.lpszText = const_cast<LPWSTR>(u"A push button");
    SendMessageW(g_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void DrawOwnerButton(const DRAWITEMSTRUCT& dis) {
    bool pushed = (dis.itemState & ODS_SELECTED) != 0;
    HBRUSH brush = CreateSolidBrush(pushed ? RGB(0, 90, 160) : RGB(0, 120, 215));
    FillRect(dis.hDC, &dis.rcItem, brush);
    DeleteObject(brush);
    SetBkMode(dis.hDC, TRANSPARENT);
    SetTextColor(dis.hDC, RGB(255, 255, 255));
    RECT r = dis.rcItem;
    WCHAR text[64];
    GetWindowTextW(dis.hwndItem, text, 64);
    DrawTextW(dis.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (dis.itemState & ODS_FOCUS) {
        InflateRect(&r, -2, -2);
        DrawFocusRect(dis.hDC, &r);
    }
}

void Scroll(HWND bar, WORD code, int thumb) {
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(bar, SB_CTL, &si);
    int pos = si.nPos;
    switch (code) {
    case SB_LINEUP:
        --pos;
        break;
    case SB_LINEDOWN:
        ++pos;
        break;
    case SB_PAGEUP:
        pos -= static_cast<int>(si.nPage);
        break;
    case SB_PAGEDOWN:
        pos += static_cast<int>(si.nPage);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        pos = thumb;
        break;
    case SB_TOP:
        pos = si.nMin;
        break;
    case SB_BOTTOM:
        pos = si.nMax;
        break;
    default:
        return;
    }
    SetScrollPos(bar, SB_CTL, pos, TRUE);
}

INT_PTR CALLBACK DemoProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        Init(dlg);
        if (lParam > 0)
            SetTimer(dlg, kCloseTimer, static_cast<UINT>(lParam), nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam == kCloseTimer)
            EndDialog(dlg, IDCANCEL);
        return TRUE;
    case WM_DRAWITEM:
        DrawOwnerButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_HSCROLL: {
        auto from = reinterpret_cast<HWND>(lParam);
        if (from == GetDlgItem(dlg, 1030)) {
            auto pos = static_cast<int>(SendMessageW(from, TBM_GETPOS, 0, 0));
            SetDlgItemInt(dlg, 1031, static_cast<UINT>(pos), TRUE);
            SendDlgItemMessageW(dlg, 1033, PBM_SETPOS, static_cast<WPARAM>((pos + 100) / 2), 0);
        } else if (from == GetDlgItem(dlg, 1032)) {
            Scroll(from, LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam)));
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        case 1001:
        case 1002:
            Status(dlg, LOWORD(wParam) == 1001 ? u"Push button clicked" : u"Owner-drawn button clicked");
            return TRUE;
        case 1013:
            if (HIWORD(wParam) == STN_CLICKED)
                Status(dlg, u"Static clicked");
            return TRUE;
        case 1021:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                Status(dlg, u"Source changed");
            return TRUE;
        case 1022:
            if (HIWORD(wParam) == CBN_EDITCHANGE)
                Status(dlg, u"Combo text typed");
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

LPCDLGTEMPLATEW Template() {
    return reinterpret_cast<LPCDLGTEMPLATEW>(kDemoTemplate);
}

int RenderPng(const char* path) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(), nullptr, DemoProc, 0);
    if (!dlg) {
        std::fprintf(stderr, "dialogdemo: the dialog could not be created\n");
        return 1;
    }
    ShowWindow(dlg, SW_SHOW);
    platform::user::testing::RunPendingMessages();
    BOOL ok = platform::user::testing::SaveWindowPng(dlg, path);
    DestroyWindow(dlg);
    if (!ok) {
        std::fprintf(stderr, "dialogdemo: cannot write %s\n", path);
        return 1;
    }
    std::printf("dialogdemo: wrote %s\n", path);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const char* png = nullptr;
    long seconds = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc)
            png = argv[++i];
        else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::strtol(argv[++i], nullptr, 10);
        else {
            std::fprintf(stderr, "usage: dialogdemo [--png FILE] [--seconds N]\n");
            return 2;
        }
    }
    InitCommonControls();
    if (png)
        return RenderPng(png);
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::printf("dialogdemo: no DISPLAY; rendering to dialogdemo.png instead\n");
        return RenderPng("dialogdemo.png");
    }
    INT_PTR r = DialogBoxIndirectParamW(nullptr, Template(), nullptr, DemoProc, seconds > 0 ? seconds * 1000 : 0);
    return r == IDOK || r == IDCANCEL ? 0 : 1;
}
