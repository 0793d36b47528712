// What tests need to drive windows and dialogs without a person: run the queue, move the clock, press keys and
// click, intercept modal loops, script the shell dialogs, size the screen, look at what a window shows.
#pragma once

#include "platform/gdi/surface.h"
#include "platform/user/winuser.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::user::testing {

// Dispatches everything pending for the calling thread (sent, posted and input messages, paints, due timers) the
// way an application's loop does: the framework's PreTranslateMessage first, then IsDialogMessageW for a message of
// a dialog, else TranslateMessage and DispatchMessageW. Answers the number of messages handled; stops at WM_QUIT
// (which it leaves queued) or after `limit` messages.
int RunPendingMessages(int limit = 100000);

// The clock timers run on. Manual: only AdvanceClock moves it (starting where the real clock was).
void UseManualClock(bool manual = true);
void AdvanceClock(DWORD milliseconds);

// The screen GetSystemMetrics reports (1920 x 1080 unless set).
void SetScreenSize(int width, int height);

// Key state of the calling thread as GetKeyState reports it (0xFF80 down, with the toggle bit).
void SetKeyState(int virtKey, bool down);

// Input, delivered as the X view or Windows delivers it: to the window under the pointer (or with the capture), to
// the window with the focus for keys. Positions are screen coordinates.
void MouseMove(POINT screen);
void MouseDown(POINT screen, UINT button = WM_LBUTTONDOWN);
void MouseUp(POINT screen, UINT button = WM_LBUTTONUP);
void Click(POINT screen);     // move, down, up
void Click(HWND hwnd);        // at the centre of the window
void KeyDown(WPARAM virtKey); // WM_KEYDOWN (WM_SYSKEYDOWN while VK_MENU is down)
void KeyUp(WPARAM virtKey);
void PressKey(WPARAM virtKey);           // down and up
void TypeText(std::u16string_view text); // WM_CHAR for each character, to the focus window

// Called on the dialog's thread when any dialog (DialogBox, CDialog::DoModal, MessageBoxW) enters its modal loop,
// after WM_INITDIALOG and after it is shown. EndDialog(dlg, result) there ends the loop at once; otherwise the loop
// runs (post input to it, or end it later). Pass an empty function to remove it.
using ModalInterceptor = std::function<void(HWND dlg)>;
void SetModalInterceptor(ModalInterceptor interceptor);

// The text of a message box (MessageBoxW, AfxMessageBox) given to the interceptor.
std::u16string MessageBoxText(HWND box);

// What a window shows: its top-level window's surface, a pixel of the window (client coordinates, COLORREF), and
// a PNG of the window's area (whole window, frame included).
std::shared_ptr<platform::gdi::Surface> WindowSurface(HWND hwnd);
COLORREF WindowPixel(HWND hwnd, int x, int y);
BOOL SaveWindowPng(HWND hwnd, const char* path);

// The largest visible top-level window of the calling thread, or null: a program's main window, whose dialogs in
// front of it are smaller.
HWND LargestThreadWindow();

// Texts that do not fit their controls, as a translator's check: every visible control below `window` whose text,
// laid out with the control's font as the control draws it, needs more room than the control gives it. Single-line
// texts (buttons, check boxes, group box captions, list and combo items, non-wrapping statics) are measured across;
// wrapping statics are wrapped to the control's width and need no more lines than it shows above any sibling that
// overlaps its lower part (a button under a message), each line clear of it. A static's text that fits its control
// still has to stay on one plain stretch of the parent's background (not into a skin's button strip or a frame
// painted there), and a single-line text must not reach into a sibling control that overlaps its control. Edit
// controls hold the user's data and are not checked.
struct TextOverflow {
    HWND control = nullptr;
    int id = 0;
    std::u16string className;
    std::u16string text;
    int needed = 0;    // pixels across, or lines for a wrapping static
    int available = 0; // the same unit
    bool lines = false;
    std::string into; // what the text runs into: empty for its control's own edge, else the background or a control
};
struct TextFitReport {
    int checked = 0; // texts measured
    std::vector<TextOverflow> overflows;
};
TextFitReport CheckTextFit(HWND window);
// One line a person can read: `<class> <id> "<text>" needs N px, has M` (or lines), and what it runs into.
std::string DescribeOverflow(const TextOverflow& overflow);

// ---- Shell stand-ins ----
// The next SHBrowseForFolderW answers `folder` (a DOS path) as if the user chose it, or cancels with nullopt. Its
// callback still gets BFFM_INITIALIZED first (with the browser's window) and the selection it set is recorded.
void ScriptFolderBrowser(std::optional<std::u16string> folder);
// The next GetOpenFileNameW / GetSaveFileNameW answers `file`, or cancels with nullopt.
void ScriptOpenFile(std::optional<std::u16string> file);

// Every shell call made, in order: "SHBrowseForFolderW", "BFFM_SETSELECTIONW <path>", "GetOpenFileNameW",
// "ShellExecuteW <operation> <file> <parameters>" (ShellExecuteExW likewise), "HtmlHelpW <file> <command>".
std::vector<std::u16string> ShellCalls();
void ClearShellCalls();
// ShellExecuteW runs xdg-open only when this is on (off in tests unless asked).
void AllowShellLaunch(bool allow);

} // namespace platform::user::testing
