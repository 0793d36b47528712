// Internals of the window manager shared by the user32 files: the window table, classes, per-thread queues.
//
// Locking: one process-wide mutex (State::mutex) guards every structure here. It is never held while a window
// procedure, hook, timer procedure or dialog procedure runs; code copies what it needs, unlocks, then calls out.
#pragma once

#include "platform/user/winuser.h"
#include "platform/gdi/surface.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::user {

// Per-control state of the built-in classes (button, edit, combo box...), owned by the window.
struct ControlData {
    virtual ~ControlData() = default;
};

struct WindowClass {
    std::u16string name;
    WNDCLASSEXW wc{}; // lpszClassName points into name; lpszMenuName is not kept
    bool system = false;
};

struct DialogData {
    DLGPROC proc = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR user = 0;
    HWND savedFocus = nullptr; // the control to give the focus back to when the dialog gets it
    HFONT font = nullptr;      // the dialog font, owned by the dialog
    bool ended = false;
    INT_PTR result = 0;
    int defId = IDOK;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;      // WS_CHILD windows only
    HWND owner = nullptr;       // top-level windows only
    std::vector<HWND> children; // z-order, topmost first
    RECT rect{};                // in the parent's client coordinates; in screen coordinates for a top-level window
    std::u16string text;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    DWORD threadId = 0;
    std::vector<BYTE> extra;
    std::map<std::u16string, HANDLE> props;
    HRGN region = nullptr; // SetWindowRgn, window coordinates, owned by the window
    HFONT font = nullptr;  // WM_SETFONT of the built-in controls (not owned)
    HICON icons[2] = {nullptr, nullptr};
    SCROLLINFO scroll[2]{}; // WS_HSCROLL / WS_VSCROLL bars

    // Painting: the update area in client coordinates (a bounding rectangle) and whether it needs erasing.
    bool needsPaint = false;
    bool needsErase = false;
    bool needsFrame = false;
    RECT update{};
    unsigned paintCount = 0;               // BeginPaint calls, so DispatchMessage can tell an unanswered WM_PAINT
    std::shared_ptr<gdi::Surface> surface; // top-level windows only

    std::unique_ptr<ControlData> control;
    std::unique_ptr<DialogData> dialog;
    bool destroying = false;
    bool createdDone = false;
};

struct SentMessage {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    bool wantsReply = true;
    DWORD senderThread = 0;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    std::uint64_t due = 0; // clock milliseconds
};

struct Hook {
    HHOOK handle = nullptr;
    int kind = 0;
    HOOKPROC proc = nullptr;
};

struct ThreadQueue {
    DWORD threadId = 0;
    bool alive = true;
    std::condition_variable cv;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<Timer> timers;
    std::vector<Hook> hooks; // newest first
    bool quit = false;
    int quitCode = 0;
    BYTE keys[256] = {};
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    MSG last{};
    int inSend = 0;
    // The dialog of a modal loop nobody sees, and when (SteadyMs) another thread last sent one of its windows a
    // message: a worker showing its progress.
    HWND watchedDialog = nullptr;
    std::uint64_t watchedActivity = 0;
};

// A cursor or icon handle points to one of these.
struct CursorObject {
    HINSTANCE module = nullptr;
    ULONG_PTR id = 0;
    std::vector<BYTE> file; // a resource cursor's .cur file, copied: the module may go before the handle
};

struct State {
    std::mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel; // z-order, topmost first
    std::vector<std::shared_ptr<WindowClass>> classes;
    std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
    std::unordered_map<HDC, HWND> dcWindows; // DCs handed out by GetDC/BeginPaint
    std::uintptr_t nextHandle = 0x10010;
    std::uintptr_t nextHook = 0x20010;
    UINT_PTR nextThreadTimer = 0x7F00;
    UINT nextRegisteredMessage = 0xC000;
    std::map<std::u16string, UINT> registeredMessages;

    // Input shared by the process.
    POINT cursor{0, 0};
    HCURSOR cursorShape = nullptr;
    std::mutex cursorsLock; // the cursors alone, so they load under no other lock
    std::vector<std::unique_ptr<CursorObject>> cursors;
    HWND foreground = nullptr;
    HWND hoverWindow = nullptr; // the window the mouse was last over
    HWND trackLeave = nullptr;  // a window that asked for WM_MOUSELEAVE
    BYTE asyncKeys[256] = {};
    SIZE screen{1920, 1080};
    bool screenFixed = false; // set by a test: the X display's size is not taken over

    // Clock: real milliseconds, or a test clock moved only by testing::AdvanceClock.
    bool manualClock = false;
    std::uint64_t manualNow = 0;

    // Clipboard (within the process).
    std::u16string clipboardText;
    bool clipboardHasText = false;
    bool clipboardOpen = false;

    // Test hooks.
    std::function<void(HWND)> modalInterceptor;
    std::function<void(HWND)> windowChanged; // the X view follows top-level windows through this
    bool viewRunning = false;                // one X view per process
};

// The one state of the process (shared by every module's copy of this library).
State& G();
using Lock = std::unique_lock<std::mutex>;

// Lookups under the lock.
Window* Find(HWND hwnd);
DWORD CurrentThreadId();
ThreadQueue& QueueOf(DWORD threadId); // creates the queue (under the lock)
ThreadQueue* FindQueue(DWORD threadId);
std::uint64_t NowMs();
std::uint64_t SteadyMs(); // the real clock, whatever clock the timers run on
void WakeAll();           // notify every queue (clock moved, window destroyed)

// Calls a window's procedure on the calling thread (which must own the window), without the lock.
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs the messages other threads sent to this thread. Called with the lock held; unlocks around each call.
void ReceiveSentMessages(Lock& lock, ThreadQueue& queue);
// Waits until a message is ready for the calling thread (answering sent messages meanwhile), or until the real
// clock reaches `deadline` (SteadyMs). True when a message is ready.
bool WaitForMessageUntil(std::uint64_t deadline);

// Geometry (lock held): the non-client insets, client rectangle in window coordinates, origins in surface pixels.
RECT NonClientInsets(DWORD style, DWORD exStyle);
RECT ClientRectInWindow(const Window& w);
HWND RootOf(HWND hwnd); // the top-level window (lock held)
POINT WindowOriginOnSurface(const Window& w);
POINT ClientOriginOnSurface(const Window& w);
POINT ClientOriginOnScreen(const Window& w);
bool IsVisibleChain(const Window& w);
bool IsEnabledChain(const Window& w);

// Painting (painting.cpp).
enum class Children { Default, All, None }; // Default: included unless the window has WS_CLIPCHILDREN
void InvalidateLocked(Window& w, const RECT* rect, bool erase, Children children = Children::Default);
HRGN VisibleRegion(const Window& w, bool clientArea);                  // in surface pixels; the caller deletes it
HDC MakeWindowDC(const Window& w, bool clientArea, const RECT* limit); // limit: client coordinates
void SurfaceFollowWindow(Window& w);                                   // resize the surface of a top-level window
HWND FindWindowToPaint(ThreadQueue& queue, HWND filter);

// Window procedures of the built-in classes.
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboListProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ScrollBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TrackbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TooltipProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DialogClassProc(HWND, UINT, WPARAM, LPARAM);
void RegisterSystemClasses(); // lock not held
WNDPROC LocalSystemProc(const std::u16string& name);

// Control data of a window of the calling thread (owned by the window; valid while the window lives).
template <typename T> T* ControlOf(HWND hwnd) {
    Lock lock(G().mutex);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    if (!w->control)
        w->control = std::make_unique<T>();
    return dynamic_cast<T*>(w->control.get());
}

// Small helpers used by the controls.
std::u16string WindowText(HWND hwnd);
int CompareNoCase(const std::u16string& a, const std::u16string& b); // -1, 0 or 1, as the list controls sort
void NotifyParent(HWND hwnd, WORD code);                             // WM_COMMAND (id, code) to the parent
LRESULT SendCtlColor(HWND hwnd, UINT msg, HDC dc); // WM_CTLCOLOR* to the parent; default brush when unanswered
HFONT WindowFont(HWND hwnd);
void KeepWindowFont(HWND hwnd, HFONT font); // what WM_SETFONT stores, for WindowFont to answer
DWORD StyleOf(HWND hwnd);
bool HasFocus(HWND hwnd);
void Redraw(HWND hwnd); // invalidate the whole client area (with erase)

// The modal loop of dialogs and message boxes: runs until EndDialog; `preTranslate` (optional) sees each message
// first, as the framework's loop does.
INT_PTR RunModalLoop(HWND dlg, HWND owner);
struct DialogTemplate;
HWND CreateDialogFromTemplate(const DialogTemplate& t, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param,
                              bool modal);
using PreTranslateFn = BOOL (*)(MSG*);
void SetFrameworkPreTranslate(PreTranslateFn fn); // the framework's chain walk, used by modal loops
PreTranslateFn FrameworkPreTranslate();
void SetFrameworkIdle(void (*fn)()); // runs when a modal loop is about to wait (frees temporary wrappers)

// The dialog data the next window created on this thread receives (set by dialog creation).
std::unique_ptr<DialogData>& PendingDialogData();

// Creation hook: the framework attaches its CWnd before the first message reaches a new window.
using CreateHookFn = void (*)(HWND, void* context);
void SetThreadCreateHook(CreateHookFn fn, void* context); // one-shot, for the next window this thread creates

// The X view (x11view.cpp): started with the first top-level window shown, when DISPLAY is set.
void StartViewIfDisplay();
// The size of the X display the view would show windows on; false when there is none (or headless).
bool DisplayScreenSize(SIZE& size);
ULONG_PTR CursorSystemId(HCURSOR cursor); // 32512 (arrow)...; 0 for a cursor of a module's resources
bool IconResource(HICON icon, HINSTANCE* module, ULONG_PTR* id); // an icon of a module's resources
// The picture of a cursor from a module's resources (a monochrome .cur), one byte a pixel, top row first.
struct CursorPicture {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<std::uint8_t> shown; // 1 where the cursor covers the screen
    std::vector<std::uint8_t> white; // 1 where a shown pixel is white (else black)
};
// FALSE for a system cursor or a cursor file this reader does not know.
BOOL GetCursorPicture(HCURSOR cursor, CursorPicture* out);

// Input delivery (X view and tests): posts mouse and keyboard input to the right window's queue.
void DeliverMouse(UINT msg, POINT screen, WPARAM keys);
void DeliverKey(UINT msg, WPARAM vk, LPARAM lParam);
void DeliverChar(WCHAR ch);

} // namespace platform::user
