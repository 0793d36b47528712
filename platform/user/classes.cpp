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

// The procedure of a built-in class in this module's copy of the library: a window gets the code of the module
// that creates it, so a module that registered the classes first may be unloaded without taking them along.
WNDPROC LocalSystemProc(const std::u16string& name) {
    static const std::pair<const char16_t*, WNDPROC> procs[] = {
        {u"#32770", DialogClassProc},
        {u"Button", ButtonProc},
        {u"Static", StaticProc},
        {u"Edit", EditProc},
        {u"ComboBox", ComboBoxProc},
        {u"ComboLBox", ComboListProc},
        {u"ListBox", ListBoxProc},
        {u"ScrollBar", ScrollBarProc},
        {u"msctls_trackbar32", TrackbarProc},
        {u"msctls_progress32", ProgressProc},
        {u"tooltips_class32", TooltipProc},
    };
    for (const auto& [n, proc] : procs)
        if (name == n)
            return proc;
    return nullptr;
}

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
    AddSystemClass(u"ListBox", ListBoxProc, CS_DBLCLKS | CS_PARENTDC, 0, nullptr);
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
