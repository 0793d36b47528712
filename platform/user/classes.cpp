// The built-in window classes: the dialog class, the standard controls and the common controls.
#include "platform/user/internal.h"

#include <mutex>

namespace platform::user {

namespace {

void AddSystemClass(const char16_t* name, WNDPROC proc, UINT style, int extra, HBRUSH background) {
    auto c = std::make_shared<WindowClass>();
    c->name = name;
    c->system = true;
    c->wc.cbSize = sizeof(WNDCLASSEXW);
    c->wc.style = style | CS_GLOBALCLASS;
    c->wc.lpfnWndProc = proc;
    c->wc.cbWndExtra = extra;
    c->wc.hbrBackground = background;
    c->wc.lpszClassName = c->name.c_str();
    G().classes.push_back(c);
}

HBRUSH SysColorIndex(int index) {
    return reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(index + 1));
}

} // namespace

void RegisterSystemClasses() {
    State& g = G();
    Lock lock(g.mutex);
    for (auto& c : g.classes)
        if (c && c->system)
            return; // already done by this or another module's copy
    AddSystemClass(u"#32770", DialogClassProc, CS_SAVEBITS | CS_DBLCLKS, DLGWINDOWEXTRA, nullptr);
    AddSystemClass(u"Button", ButtonProc, CS_DBLCLKS | CS_PARENTDC, 0, nullptr);
    AddSystemClass(u"Static", StaticProc, CS_DBLCLKS | CS_PARENTDC, 0, nullptr);
    AddSystemClass(u"Edit", EditProc, CS_DBLCLKS | CS_PARENTDC, 0, nullptr);
    AddSystemClass(u"ComboBox", ComboBoxProc, CS_DBLCLKS | CS_PARENTDC, 0, nullptr);
    AddSystemClass(u"ComboLBox", ComboListProc, CS_SAVEBITS, 0, SysColorIndex(COLOR_WINDOW));
    AddSystemClass(u"ScrollBar", ScrollBarProc, CS_DBLCLKS | CS_PARENTDC, 0, nullptr);
    AddSystemClass(u"msctls_trackbar32", TrackbarProc, CS_DBLCLKS, 0, nullptr);
    AddSystemClass(u"msctls_progress32", ProgressProc, 0, 0, nullptr);
    AddSystemClass(u"tooltips_class32", TooltipProc, CS_SAVEBITS, 0, SysColorIndex(COLOR_INFOBK));
}

} // namespace platform::user

void InitCommonControls() {
    platform::user::RegisterSystemClasses();
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX*) {
    platform::user::RegisterSystemClasses();
    return TRUE;
}
