// Dialog templates: the text form of a DIALOG resource (a .dlg file, UTF-8), parsed into a template.
//
//   # comment (also // comment)
//   DIALOGEX 0, 0, 184, 63                        (x, y, width, height in dialog units; DIALOG is the same)
//   STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
//   EXSTYLE WS_EX_APPWINDOW
//   CAPTION "Scanning"
//   CLASS "Z7731IDAVEV"                           (window class of the dialog; the standard one otherwise)
//   FONT 8, "MS Shell Dlg"
//   BEGIN
//       LTEXT "Pages:", 8010, 7, 45, 25, 8        (RTEXT, CTEXT likewise: a Static)
//       PUSHBUTTON "Cancel", IDCANCEL, 97, 43, 80, 14
//       DEFPUSHBUTTON "OK", IDOK, 65, 46, 50, 14
//       CHECKBOX / AUTOCHECKBOX / RADIOBUTTON / AUTORADIOBUTTON / GROUPBOX "text", id, x, y, cx, cy
//       EDITTEXT 8001, 12, 32, 201, 14, ES_AUTOHSCROLL | WS_DISABLED
//       COMBOBOX 20004, 10, 10, 60, 120, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
//       SCROLLBAR 10151, 0, 200, 300, 10, SBS_HORZ
//       CONTROL "", 8006, "msctls_progress32", WS_BORDER, 7, 22, 170, 14 [, exstyle]
//   END
//
// Every statement takes optional trailing style and extended style expressions after the rectangle (CONTROL takes
// its style before the rectangle). A style expression joins numbers (decimal or 0x hex) and the Windows style names
// with "|"; "NOT name" removes a bit the statement sets by default. Ids are numbers, IDOK, IDCANCEL & co or
// IDC_STATIC (-1). Strings are UTF-8 in double quotes with the escapes \n \t \" \\ \uXXXX (and "" for a quote).
// Dialog units map to pixels with the fixed base units of "MS Shell Dlg" 8: x * 6 / 4, y * 13 / 8.
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform::user {

struct DialogItem {
    std::u16string className;
    std::u16string text;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    std::u16string caption;
    std::u16string className; // empty: the standard dialog class
    std::u16string fontFace = u"MS Shell Dlg";
    int fontSize = 8;
    std::vector<DialogItem> items;
};

// Parses the text form; on failure answers false with a message naming the line.
bool ParseDialogTemplate(std::string_view text, DialogTemplate& out, std::string* error = nullptr);

// Dialog units to pixels (fixed base units 6 x 13).
inline int DialogUnitsToPixelsX(int x) {
    return x * 6 / 4;
}
inline int DialogUnitsToPixelsY(int y) {
    return y * 13 / 8;
}

} // namespace platform::user
