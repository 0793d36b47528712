// Dialogs: creation from templates, the dialog manager (DefDlgProcW, IsDialogMessageW, keyboard navigation),
// modal loops, EndDialog, dialog items and message boxes.
#include "platform/user/dialog_template.h"
#include "platform/user/internal.h"

#include "platform/base/wstring.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace platform::user {

namespace {

PreTranslateFn g_frameworkPreTranslate = nullptr;
void (*g_frameworkIdle)() = nullptr;

DialogData* DialogOf(Window* w) {
    if (!w)
        return nullptr;
    if (!w->dialog)
        w->dialog = std::make_unique<DialogData>();
    return w->dialog.get();
}

bool IsTabCandidate(HWND hwnd) {
    DWORD style = StyleOf(hwnd);
    return (style & WS_VISIBLE) && !(style & WS_DISABLED) && (style & WS_TABSTOP);
}

std::vector<HWND> ChildrenOf(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    return w ? w->children : std::vector<HWND>{};
}

// Controls of a dialog in tab order, entering child dialogs that are control parents (DS_CONTROL pages).
void CollectControls(HWND dlg, std::vector<HWND>& out) {
    for (HWND c : ChildrenOf(dlg)) {
        DWORD ex = static_cast<DWORD>(GetWindowLongW(c, GWL_EXSTYLE));
        DWORD style = StyleOf(c);
        if ((ex & WS_EX_CONTROLPARENT) && (style & WS_VISIBLE) && !(style & WS_DISABLED))
            CollectControls(c, out);
        else
            out.push_back(c);
    }
}

// Gives a control the focus the way the dialog manager does: an edit gets its whole text selected.
void DialogSetFocus(HWND ctl) {
    if (!ctl)
        return;
    if (SendMessageW(ctl, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(ctl, EM_SETSEL, 0, -1);
    SetFocus(ctl);
}

HWND FirstTabStop(HWND dlg) {
    return GetNextDlgTabItem(dlg, nullptr, FALSE);
}

bool IsDialogWindow(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    return w && w->dialog;
}

void SaveFocus(HWND dlg) {
    HWND focus = GetFocus();
    if (focus && IsChild(dlg, focus)) {
        Lock lock(G().mutex);
        if (DialogData* d = DialogOf(Find(dlg)))
            d->savedFocus = focus;
    }
}

void RestoreFocus(HWND dlg) {
    HWND saved = nullptr;
    {
        Lock lock(G().mutex);
        if (DialogData* d = DialogOf(Find(dlg)))
            saved = d->savedFocus;
    }
    if (!saved || !IsWindow(saved) || !IsChild(dlg, saved) || !IsWindowEnabled(saved) || !IsWindowVisible(saved))
        saved = FirstTabStop(dlg);
    if (saved)
        DialogSetFocus(saved);
}

int DefaultId(HWND dlg) {
    LRESULT r = SendMessageW(dlg, DM_GETDEFID, 0, 0);
    return HIWORD(r) == DC_HASDEFID ? LOWORD(r) : IDOK;
}

HWND DialogOwnerTop(HWND owner) {
    return owner ? GetAncestor(owner, GA_ROOT) : nullptr;
}

HFONT CreateDialogFont(const DialogTemplate& t) {
    int height = -(t.fontSize * 96 + 36) / 72;
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, t.fontFace.c_str());
}

} // namespace

void SetFrameworkPreTranslate(PreTranslateFn fn) {
    g_frameworkPreTranslate = fn;
}
void SetFrameworkIdle(void (*fn)()) {
    g_frameworkIdle = fn;
}

PreTranslateFn FrameworkPreTranslate() {
    return g_frameworkPreTranslate;
}

HWND CreateDialogFromTemplate(const DialogTemplate& t, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param,
                              bool modal) {
    DWORD style = t.style;
    bool child = (style & WS_CHILD) != 0;
    RECT r{0, 0, DialogUnitsToPixelsX(t.cx), DialogUnitsToPixelsY(t.cy)};
    AdjustWindowRectEx(&r, style, FALSE, t.exStyle);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    int x = DialogUnitsToPixelsX(t.x);
    int y = DialogUnitsToPixelsY(t.y);
    if (!child) {
        POINT origin{0, 0};
        if (owner)
            ClientToScreen(owner, &origin);
        x += origin.x;
        y += origin.y;
        if (style & DS_CENTER) {
            RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            if (HWND top = DialogOwnerTop(owner))
                GetWindowRect(top, &area);
            x = area.left + ((area.right - area.left) - width) / 2;
            y = area.top + ((area.bottom - area.top) - height) / 2;
        }
    }
    auto data = std::make_unique<DialogData>();
    data->proc = proc;
    data->font = CreateDialogFont(t);
    HFONT font = data->font;
    for (const DialogItem& item : t.items)
        if (item.className == u"Button" && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            data->defId = item.id;
            break;
        }
    PendingDialogData() = std::move(data);
    const char16_t* cls = t.className.empty() ? u"#32770" : t.className.c_str();
    // A page (DS_CONTROL) is part of its parent dialog's navigation.
    DWORD exStyle = t.exStyle | ((style & DS_CONTROL) ? WS_EX_CONTROLPARENT : 0);
    HWND dlg = CreateWindowExW(exStyle, cls, t.caption.c_str(), style & ~static_cast<DWORD>(WS_VISIBLE), x, y, width,
                               height, owner, nullptr, instance, reinterpret_cast<LPVOID>(param));
    if (PendingDialogData()) { // the class could not be created
        DeleteObject(PendingDialogData()->font);
        PendingDialogData().reset();
    }
    if (!dlg)
        return nullptr;
    SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const DialogItem& item : t.items) {
        HWND ctl = CreateWindowExW(item.exStyle | WS_EX_NOPARENTNOTIFY, item.className.c_str(), item.text.c_str(),
                                   item.style | WS_CHILD, DialogUnitsToPixelsX(item.x), DialogUnitsToPixelsY(item.y),
                                   DialogUnitsToPixelsX(item.cx), DialogUnitsToPixelsY(item.cy), dlg,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
        if (!ctl && !(style & DS_NOFAILCREATE)) {
            DestroyWindow(dlg);
            return nullptr;
        }
        if (ctl)
            SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    HWND first = FirstTabStop(dlg);
    if (SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && IsWindow(dlg)) {
        HWND focusTarget = first;
        if (focusTarget && !(style & DS_CONTROL))
            DialogSetFocus(focusTarget);
    }
    if (!IsWindow(dlg))
        return nullptr;
    if ((style & WS_VISIBLE) && !modal)
        ShowWindow(dlg, SW_SHOWNORMAL);
    return dlg;
}

bool LoadDialogTemplate(HINSTANCE instance, LPCWSTR name, DialogTemplate& t) {
    HRSRC res = FindResourceW(instance, name, RT_DIALOG);
    if (!res)
        return false;
    HGLOBAL data = LoadResource(instance, res);
    auto* bytes = static_cast<const char*>(LockResource(data));
    if (!bytes)
        return false;
    std::string error;
    if (!ParseDialogTemplate(std::string_view(bytes, SizeofResource(instance, res)), t, &error)) {
        std::fprintf(stderr, "dialog %u: %s\n", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)),
                     error.c_str());
        return false;
    }
    return true;
}

namespace {

thread_local unsigned t_modalLoopsStarted = 0; // tells a modal loop that another ran inside one of its messages
thread_local unsigned t_modalLoopDepth = 0;

// The seconds a dialog nobody sees waits for input before it is declined; 0: for ever.
double UnattendedTimeoutSeconds() {
    constexpr double kDefault = 30;
    const char* text = std::getenv("PLATFORM_DIALOG_TIMEOUT");
    if (!text || !*text)
        return kDefault;
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    return *end == 0 && seconds >= 0 && seconds <= 1e6 ? seconds : kDefault;
}

// A control's text on one line, without its mnemonic marks: line breaks become spaces, a push button's text goes in
// brackets; pictures and the user's data (edits, lists) say nothing.
std::string ControlSays(HWND ctl) {
    WCHAR cls[32] = {};
    GetClassNameW(ctl, cls, 32);
    const std::u16string name = cls;
    const DWORD style = StyleOf(ctl);
    const DWORD staticType = style & SS_TYPEMASK;
    if (name == u"Static" && (staticType == SS_ICON || staticType == SS_BITMAP))
        return {};
    if (name != u"Static" && name != u"Button")
        return {};
    const DWORD buttonType = style & BS_TYPEMASK;
    const bool push = name == u"Button" &&
                      (buttonType == BS_PUSHBUTTON || buttonType == BS_DEFPUSHBUTTON || buttonType == BS_OWNERDRAW);
    const bool prefixes = name == u"Button" || !(style & SS_NOPREFIX); // "&" marks the mnemonic
    std::u16string text;
    const std::u16string raw = WindowText(ctl);
    for (size_t i = 0; i < raw.size(); ++i) {
        char16_t c = raw[i];
        if (c == u'\r')
            continue;
        if (c == u'\n' || c == u'\t')
            c = u' ';
        if (c == u'&' && prefixes && i + 1 < raw.size())
            c = raw[++i];
        if (c == u' ' && (text.empty() || text.back() == u' '))
            continue;
        text += c;
    }
    while (!text.empty() && text.back() == u' ')
        text.pop_back();
    if (text.empty())
        return {};
    return push ? "[" + platform::ToUtf8(text) + "]" : "\"" + platform::ToUtf8(text) + "\"";
}

void CollectVisibleControls(HWND parent, std::vector<HWND>& out) {
    for (HWND c : ChildrenOf(parent)) {
        if (!(StyleOf(c) & WS_VISIBLE))
            continue;
        out.push_back(c);
        if (GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)
            CollectVisibleControls(c, out);
    }
}

// A modal dialog that no display shows and no test intercepts: nobody can answer it. Once it has gone two seconds
// without input it says what it shows on standard error and, after a time without input from anybody (keys or clicks, or another thread
// sending to its windows, as a worker showing its progress does), answers it as a user who declines would: its
// enabled Cancel, else its enabled OK, else WM_CLOSE; still up after another such time, it is ended with IDCANCEL.
class UnattendedDialog {
public:
    explicit UnattendedDialog(HWND dlg) : m_dlg(dlg), m_timeoutMs(UnattendedTimeoutSeconds() * 1000) {
        m_lastInput = SteadyMs();
        Lock lock(G().mutex);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        m_outerDialog = q.watchedDialog;
        m_outerActivity = q.watchedActivity;
        q.watchedDialog = dlg;
        q.watchedActivity = 0;
    }

    ~UnattendedDialog() {
        Lock lock(G().mutex);
        ThreadQueue& q = QueueOf(CurrentThreadId());
        q.watchedDialog = m_outerDialog;
        q.watchedActivity = m_outerActivity;
    }

    UnattendedDialog(const UnattendedDialog&) = delete;
    UnattendedDialog& operator=(const UnattendedDialog&) = delete;

    // Waits for the next message. False when the time ran out first and the dialog was answered: the loop looks
    // whether it ended before it waits again. A dialog that has gone a while without input says on standard error
    // what it shows, once; one that its program keeps moving (a progress dialog) says nothing.
    bool WaitForMessage() {
        for (;;) {
            const std::uint64_t last = LastInput();
            std::uint64_t deadline = UINT64_MAX;
            if (!m_announced)
                deadline = last + static_cast<std::uint64_t>(AnnounceMs());
            if (m_timeoutMs > 0)
                deadline = std::min(deadline, last + static_cast<std::uint64_t>(m_timeoutMs));
            if (deadline == UINT64_MAX)
                return true; // said, and waiting for ever: the loop's own wait
            if (WaitForMessageUntil(deadline))
                return true;
            const std::uint64_t quiet = SteadyMs() - LastInput();
            if (m_timeoutMs > 0 && quiet >= static_cast<std::uint64_t>(m_timeoutMs))
                break;
            if (!m_announced && quiet >= static_cast<std::uint64_t>(AnnounceMs()))
                Announce();
        }
        Decline();
        m_lastInput = SteadyMs();
        return false;
    }

    // A message the loop took: keys and clicks anywhere, and whatever is posted to the dialog's windows (not its
    // timers and paints, which the queue makes itself), are input.
    void Took(const MSG& msg) {
        const bool input = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                           (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
        const bool posted = msg.message != WM_TIMER && msg.message != WM_PAINT && msg.hwnd &&
                            (msg.hwnd == m_dlg || IsChild(m_dlg, msg.hwnd));
        if (input || posted)
            m_lastInput = SteadyMs();
    }

    // Another modal loop ran inside a message: its time was not this dialog's.
    void Resume() { m_lastInput = SteadyMs(); }

private:
    // How long a dialog goes without input before it says what it shows: two seconds, or its timeout if shorter.
    double AnnounceMs() const { return m_timeoutMs > 0 ? std::min(m_timeoutMs, 2000.0) : 2000.0; }

    void Announce() {
        m_announced = true;
        std::string line = std::string(program_invocation_short_name) + ": " + Named(m_dlg) + ":";
        std::vector<HWND> controls;
        CollectVisibleControls(m_dlg, controls);
        for (HWND c : controls)
            if (std::string says = ControlSays(c); !says.empty())
                line += " " + says;
        if (m_timeoutMs > 0)
            line +=
                " -- no display shows it: declined after " + Seconds() + " s without input (PLATFORM_DIALOG_TIMEOUT)";
        else
            line += " -- no display shows it: it waits for an answer";
        std::fprintf(stderr, "%s\n", line.c_str());
    }

    std::string Seconds() const {
        char text[32];
        std::snprintf(text, sizeof text, "%g", m_timeoutMs / 1000);
        return text;
    }

    static std::string Named(HWND dlg) {
        const std::u16string caption = WindowText(dlg);
        return caption.empty() ? "dialog" : "dialog \"" + platform::ToUtf8(caption) + "\"";
    }

    std::uint64_t LastInput() {
        Lock lock(G().mutex);
        return std::max(m_lastInput, QueueOf(CurrentThreadId()).watchedActivity);
    }

    // The enabled, visible button of `id` anywhere in the dialog.
    HWND Button(int id) const {
        std::vector<HWND> controls;
        CollectVisibleControls(m_dlg, controls);
        for (HWND c : controls)
            if (GetDlgCtrlID(c) == id && IsWindowEnabled(c))
                return c;
        return nullptr;
    }

    void Decline() {
        if (!m_announced)
            Announce();
        const std::string named = Named(m_dlg);
        const char* how = nullptr;
        if (m_declined) {
            how = "ended with IDCANCEL";
            EndDialog(m_dlg, IDCANCEL);
        } else if (HWND cancel = Button(IDCANCEL)) {
            how = "pressed Cancel";
            SendMessageW(cancel, BM_CLICK, 0, 0);
        } else if (HWND ok = Button(IDOK)) {
            how = "pressed OK";
            SendMessageW(ok, BM_CLICK, 0, 0);
        } else {
            how = "closed it";
            SendMessageW(m_dlg, WM_CLOSE, 0, 0);
        }
        m_declined = true;
        std::fprintf(stderr, "%s: %s: no answer in %s s, %s\n", program_invocation_short_name, named.c_str(),
                     Seconds().c_str(), how);
    }

    HWND m_dlg;
    double m_timeoutMs;
    std::uint64_t m_lastInput = 0;
    bool m_declined = false;
    bool m_announced = false;
    HWND m_outerDialog = nullptr;
    std::uint64_t m_outerActivity = 0;
};

} // namespace

unsigned ModalLoopDepth() {
    return t_modalLoopDepth;
}

INT_PTR RunModalLoop(HWND dlg, HWND owner) {
    HWND top = DialogOwnerTop(owner);
    bool disabledOwner = false;
    if (top && top != dlg && IsWindowEnabled(top)) {
        EnableWindow(top, FALSE);
        disabledOwner = true;
    }
    ++t_modalLoopsStarted;
    ++t_modalLoopDepth;
    bool ended = false;
    {
        Lock lock(G().mutex);
        if (DialogData* d = DialogOf(Find(dlg)))
            ended = d->ended;
    }
    std::optional<UnattendedDialog> unattended;
    if (!ended && IsWindow(dlg)) {
        ShowWindow(dlg, SW_SHOWNORMAL);
        std::function<void(HWND)> interceptor;
        bool seen = false; // on the X display
        {
            Lock lock(G().mutex);
            interceptor = G().modalInterceptor;
            seen = G().viewRunning;
        }
        if (interceptor)
            interceptor(dlg);
        else if (!seen && IsWindow(dlg))
            unattended.emplace(dlg);
    }
    INT_PTR result = -1;
    for (;;) {
        {
            Lock lock(G().mutex);
            Window* w = Find(dlg);
            if (!w)
                break;
            DialogData* d = DialogOf(w);
            if (d->ended) {
                result = d->result;
                break;
            }
        }
        MSG msg;
        if (g_frameworkIdle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            g_frameworkIdle();
        if (unattended && !unattended->WaitForMessage())
            continue;
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // the outer loop must see it too
            break;
        }
        if (unattended)
            unattended->Took(msg);
        const unsigned loopsBefore = t_modalLoopsStarted;
        if (!(g_frameworkPreTranslate && g_frameworkPreTranslate(&msg)) && !IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (unattended && t_modalLoopsStarted != loopsBefore)
            unattended->Resume();
    }
    --t_modalLoopDepth;
    // The owner comes back before the dialog goes, so that it is the one activated.
    if (disabledOwner && IsWindow(top)) {
        EnableWindow(top, TRUE);
        if (GetWindowThreadProcessId(top, nullptr) == CurrentThreadId() && GetActiveWindow() == dlg)
            SetActiveWindow(top);
    }
    return result;
}

} // namespace platform::user

using namespace platform::user;

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dlgTemplate, HWND parent, DLGPROC proc,
                                LPARAM param) {
    if (!dlgTemplate)
        return nullptr;
    DialogTemplate t;
    if (!ParseDialogTemplate(reinterpret_cast<const char*>(dlgTemplate), t))
        return nullptr;
    return CreateDialogFromTemplate(t, instance, parent, proc, param, false);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
    DialogTemplate t;
    if (!LoadDialogTemplate(instance, templateName, t))
        return nullptr;
    return CreateDialogFromTemplate(t, instance, parent, proc, param, false);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dlgTemplate, HWND parent, DLGPROC proc,
                                LPARAM param) {
    DialogTemplate t;
    if (!dlgTemplate || !ParseDialogTemplate(reinterpret_cast<const char*>(dlgTemplate), t))
        return -1;
    HWND dlg = CreateDialogFromTemplate(t, instance, parent, proc, param, true);
    if (!dlg)
        return -1;
    INT_PTR result = RunModalLoop(dlg, parent);
    DestroyWindow(dlg);
    return result;
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
    DialogTemplate t;
    if (!LoadDialogTemplate(instance, templateName, t))
        return -1;
    HWND dlg = CreateDialogFromTemplate(t, instance, parent, proc, param, true);
    if (!dlg)
        return -1;
    INT_PTR result = RunModalLoop(dlg, parent);
    DestroyWindow(dlg);
    return result;
}

BOOL EndDialog(HWND dlg, INT_PTR result) {
    {
        Lock lock(G().mutex);
        Window* w = Find(dlg);
        if (!w)
            return FALSE;
        DialogData* d = DialogOf(w);
        d->ended = true;
        d->result = result;
    }
    ShowWindow(dlg, SW_HIDE);
    PostMessageW(dlg, WM_NULL, 0, 0); // wakes the modal loop, wherever it waits
    return TRUE;
}

LRESULT DefDlgProcW(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = nullptr;
    {
        Lock lock(G().mutex);
        Window* w = Find(dlg);
        if (!w)
            return 0;
        DialogData* d = DialogOf(w);
        proc = d->proc;
        d->msgResult = 0;
    }
    if (proc) {
        INT_PTR r = proc(dlg, msg, wParam, lParam);
        if (r) {
            switch (msg) {
            case WM_CTLCOLORMSGBOX:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORSCROLLBAR:
            case WM_INITDIALOG:
            case WM_QUERYDRAGICON:
                return r;
            default:
                return GetWindowLongPtrW(dlg, DWLP_MSGRESULT);
            }
        }
    }
    switch (msg) {
    case WM_ERASEBKGND: {
        auto dc = reinterpret_cast<HDC>(wParam);
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(dlg, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dlg)));
        if (!brush)
            brush =
                reinterpret_cast<HBRUSH>(DefWindowProcW(dlg, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dlg)));
        RECT r{};
        GetClientRect(dlg, &r);
        FillRect(dc, &r, brush);
        return 1;
    }
    case WM_SHOWWINDOW:
        if (!wParam)
            SaveFocus(dlg);
        return DefWindowProcW(dlg, msg, wParam, lParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            SaveFocus(dlg);
        else
            RestoreFocus(dlg);
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(dlg);
        return 0;
    case WM_CLOSE: {
        // Closing is Cancel, but only while a Cancel button that exists is enabled.
        HWND cancel = GetDlgItem(dlg, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) {
            MessageBeep(0);
            return 0;
        }
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case DM_GETDEFID: {
        Lock lock(G().mutex);
        DialogData* d = DialogOf(Find(dlg));
        return d ? MAKELONG(d->defId, DC_HASDEFID) : 0;
    }
    case DM_SETDEFID: {
        int old = 0;
        {
            Lock lock(G().mutex);
            DialogData* d = DialogOf(Find(dlg));
            if (!d)
                return FALSE;
            old = d->defId;
            d->defId = static_cast<int>(wParam);
        }
        if (HWND oldButton = GetDlgItem(dlg, old);
            oldButton && (SendMessageW(oldButton, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
            SendMessageW(oldButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        if (HWND newButton = GetDlgItem(dlg, static_cast<int>(wParam));
            newButton && (SendMessageW(newButton, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
            SendMessageW(newButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        return TRUE;
    }
    case 0x0028: { // WM_NEXTDLGCTL
        HWND target =
            lParam ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(dlg, GetFocus(), wParam ? TRUE : FALSE);
        DialogSetFocus(target);
        return 0;
    }
    case WM_GETFONT: {
        Lock lock(G().mutex);
        DialogData* d = DialogOf(Find(dlg));
        return d ? reinterpret_cast<LRESULT>(d->font) : 0;
    }
    case WM_SETFONT:
        return 0;
    default:
        return DefWindowProcW(dlg, msg, wParam, lParam);
    }
}

LRESULT CALLBACK platform::user::DialogClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcW(hwnd, msg, wParam, lParam);
}

BOOL IsDialogMessageW(HWND dlg, LPMSG msg) {
    if (!msg || !dlg || !msg->hwnd || (msg->hwnd != dlg && !IsChild(dlg, msg->hwnd)))
        return FALSE;
    // Keys in a page navigate the dialog the page belongs to.
    while ((StyleOf(dlg) & WS_CHILD) && (GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)) {
        HWND parent = GetParent(dlg);
        if (!parent || !IsDialogWindow(parent))
            break;
        dlg = parent;
    }
    if (msg->message == WM_KEYDOWN) {
        LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (!(code & DLGC_WANTMESSAGE)) {
            switch (msg->wParam) {
            case VK_TAB:
                if (!(code & DLGC_WANTTAB)) {
                    bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
                    DialogSetFocus(GetNextDlgTabItem(dlg, GetFocus(), back));
                    return TRUE;
                }
                break;
            case VK_LEFT:
            case VK_UP:
            case VK_RIGHT:
            case VK_DOWN:
                if (!(code & DLGC_WANTARROWS)) {
                    bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
                    HWND next = GetNextDlgGroupItem(dlg, GetFocus(), back);
                    if (next) {
                        DialogSetFocus(next);
                        LRESULT nextCode = SendMessageW(next, WM_GETDLGCODE, 0, 0);
                        if ((nextCode & DLGC_RADIOBUTTON) && (StyleOf(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                            SendMessageW(next, BM_CLICK, 0, 0);
                    }
                    return TRUE;
                }
                break;
            case VK_ESCAPE:
                SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
                return TRUE;
            case VK_RETURN: {
                HWND focus = GetFocus();
                LRESULT focusCode = focus ? SendMessageW(focus, WM_GETDLGCODE, 0, 0) : 0;
                if (focus && IsChild(dlg, focus) && (focusCode & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) &&
                    IsWindowEnabled(focus)) {
                    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(focus));
                    return TRUE;
                }
                int id = DefaultId(dlg);
                HWND button = GetDlgItem(dlg, id);
                if (button && !IsWindowEnabled(button)) {
                    MessageBeep(0);
                    return TRUE;
                }
                SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
                return TRUE;
            }
            default:
                break;
            }
        }
    } else if (msg->message == WM_CHAR && (msg->wParam == u'\t' || msg->wParam == u'\r' || msg->wParam == 0x1B)) {
        LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (!(code & (DLGC_WANTMESSAGE | DLGC_WANTCHARS)) && !(msg->wParam == u'\t' && (code & DLGC_WANTTAB)))
            return TRUE; // the key already acted; its character would only beep
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

HWND GetDlgItem(HWND dlg, int id) {
    Lock lock(G().mutex);
    Window* w = Find(dlg);
    if (!w)
        return nullptr;
    for (HWND c : w->children)
        if (Window* cw = Find(c); cw && static_cast<int>(cw->id) == id)
            return c;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    return w ? static_cast<int>(w->id) : 0;
}

HWND GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous) {
    std::vector<HWND> all;
    CollectControls(dlg, all);
    if (all.empty())
        return nullptr;
    auto it = ctl ? std::find(all.begin(), all.end(), ctl) : all.end();
    // Controls inside a child of the control (a combo box's edit) count as that control.
    if (ctl && it == all.end())
        for (auto i = all.begin(); i != all.end(); ++i)
            if (IsChild(*i, ctl)) {
                it = i;
                break;
            }
    size_t n = all.size();
    size_t start = it == all.end() ? (previous ? 0 : n - 1) : static_cast<size_t>(it - all.begin());
    for (size_t step = 1; step <= n; ++step) {
        size_t i = previous ? (start + n - step) % n : (start + step) % n;
        if (IsTabCandidate(all[i]))
            return all[i];
    }
    return ctl;
}

HWND GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous) {
    std::vector<HWND> all;
    CollectControls(dlg, all);
    auto it = std::find(all.begin(), all.end(), ctl);
    if (it == all.end())
        return nullptr;
    // The group runs from the last WS_GROUP control at or before ctl up to the next WS_GROUP control.
    size_t pos = static_cast<size_t>(it - all.begin());
    size_t first = pos;
    while (first > 0 && !(StyleOf(all[first]) & WS_GROUP))
        --first;
    size_t last = pos + 1;
    while (last < all.size() && !(StyleOf(all[last]) & WS_GROUP))
        ++last;
    size_t n = last - first;
    for (size_t step = 1; step < n; ++step) {
        size_t i = first + (previous ? (pos - first + n - step) % n : (pos - first + step) % n);
        DWORD style = StyleOf(all[i]);
        if ((style & WS_VISIBLE) && !(style & WS_DISABLED))
            return all[i];
    }
    return ctl;
}

BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) {
    HWND ctl = GetDlgItem(dlg, id);
    return ctl ? SetWindowTextW(ctl, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR text, int maxCount) {
    HWND ctl = GetDlgItem(dlg, id);
    if (!ctl) {
        if (text && maxCount > 0)
            text[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(ctl, text, maxCount));
}

BOOL SetDlgItemInt(HWND dlg, int id, UINT value, BOOL isSigned) {
    char buffer[32];
    if (isSigned)
        std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
    else
        std::snprintf(buffer, sizeof buffer, "%u", value);
    char16_t wide[32];
    size_t i = 0;
    for (; buffer[i] && i < 31; ++i)
        wide[i] = static_cast<char16_t>(buffer[i]);
    wide[i] = 0;
    return SetDlgItemTextW(dlg, id, wide);
}

UINT GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL isSigned) {
    WCHAR buffer[64];
    GetDlgItemTextW(dlg, id, buffer, 64);
    const WCHAR* p = buffer;
    while (*p == u' ')
        ++p;
    bool negative = false;
    if (isSigned && *p == u'-') {
        negative = true;
        ++p;
    }
    if (*p < u'0' || *p > u'9') {
        if (translated)
            *translated = FALSE;
        return 0;
    }
    long long v = 0;
    while (*p >= u'0' && *p <= u'9')
        v = v * 10 + (*p++ - u'0');
    while (*p == u' ')
        ++p;
    if (translated)
        *translated = *p == 0;
    return static_cast<UINT>(negative ? -v : v);
}

LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND ctl = GetDlgItem(dlg, id);
    return ctl ? SendMessageW(ctl, msg, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dlg, int id, UINT check) {
    SendDlgItemMessageW(dlg, id, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dlg, int id) {
    return static_cast<UINT>(SendDlgItemMessageW(dlg, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dlg, int firstId, int lastId, int checkId) {
    for (int id = firstId; id <= lastId; ++id)
        SendDlgItemMessageW(dlg, id, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

BOOL MapDialogRect(HWND, LPRECT rect) {
    if (!rect)
        return FALSE;
    rect->left = DialogUnitsToPixelsX(rect->left);
    rect->right = DialogUnitsToPixelsX(rect->right);
    rect->top = DialogUnitsToPixelsY(rect->top);
    rect->bottom = DialogUnitsToPixelsY(rect->bottom);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    return MAKELONG(6, 13);
}

// ---- Message boxes ----

namespace {

INT_PTR CALLBACK MessageBoxProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        // The default button (MB_DEFBUTTONn) starts with the focus.
        SetFocus(GetDlgItem(dlg, DefaultId(dlg)));
        return FALSE;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        int id = LOWORD(wParam);
        // Esc or the close box only ends a box that has a way out: Cancel, or OK alone.
        if (id == IDCANCEL && !GetDlgItem(dlg, IDCANCEL)) {
            if (GetDlgItem(dlg, IDOK) && !GetDlgItem(dlg, IDNO))
                id = IDOK;
            else
                return TRUE;
        }
        EndDialog(dlg, id);
        return TRUE;
    }
    return FALSE;
}

std::string Utf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Quoted(const std::u16string& s) {
    std::string out = "\"";
    for (char c : Utf8(s)) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\r')
            continue;
        out += c;
    }
    return out + "\"";
}

} // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    struct Button {
        int id;
        const char* label;
    };
    std::vector<Button> buttons;
    switch (type & 0xF) {
    case MB_OKCANCEL:
        buttons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
        break;
    case MB_ABORTRETRYIGNORE:
        buttons = {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
        break;
    case MB_YESNO:
        buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}};
        break;
    case MB_RETRYCANCEL:
        buttons = {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
        break;
    default:
        buttons = {{IDOK, "OK"}};
        break;
    }
    std::u16string body = text ? text : u"";
    size_t longest = 0;
    size_t lines = 1;
    size_t current = 0;
    for (char16_t c : body) {
        if (c == u'\n') {
            ++lines;
            current = 0;
        } else {
            longest = std::max(longest, ++current);
        }
    }
    int textWidth = std::clamp<int>(static_cast<int>(longest) * 4 + 8, 60, 300);
    int buttonsWidth = static_cast<int>(buttons.size()) * 56;
    int width = std::max(textWidth + 20, buttonsWidth + 14);
    int textHeight = static_cast<int>(lines) * 9 + 4;
    int height = textHeight + 40;
    size_t defIndex = (type & MB_DEFBUTTON2) && buttons.size() > 1 ? 1 : 0;
    std::string t = "DIALOGEX 0, 0, " + std::to_string(width) + ", " + std::to_string(height) + "\n";
    t += "STYLE DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU\n";
    t += "CAPTION " + Quoted(caption ? caption : u"Error") + "\n";
    t += "BEGIN\n";
    t += "    LTEXT " + Quoted(body) + ", 65535, 10, 10, " + std::to_string(width - 20) + ", " +
         std::to_string(textHeight) + ", SS_NOPREFIX\n";
    int x = width - 7 - buttonsWidth + 6;
    for (size_t i = 0; i < buttons.size(); ++i) {
        t += std::string(i == defIndex ? "    DEFPUSHBUTTON \"" : "    PUSHBUTTON \"") + buttons[i].label + "\", " +
             std::to_string(buttons[i].id) + ", " + std::to_string(x + static_cast<int>(i) * 56) + ", " +
             std::to_string(height - 21) + ", 50, 14\n";
    }
    t += "END\n";
    return static_cast<int>(
        DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t.c_str()), owner, MessageBoxProc, 0));
}
