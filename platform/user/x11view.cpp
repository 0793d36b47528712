// The X view: with DISPLAY set, every visible top-level window is shown in an X window of its own, drawn from its
// surface, and the X window's mouse and keyboard input goes to the window manager as Windows input would.
// Without DISPLAY (or with PLATFORM_HEADLESS=1) nothing is started and everything stays headless.
#include "platform/base/lifetime.h"
#include "platform/user/internal.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::user {

namespace {

struct XWin {
    ::Window x = 0;
    RECT rect{};
    std::u16string title;
    XImage* image = nullptr;
    std::vector<std::uint32_t> pixels;
};

class View {
public:
    static View& Instance() {
        static View* view = platform::KeepUntilUnload(new View()); // stopped by g_stopAtUnload before it goes
        return *view;
    }

    // One view per process, whichever module's copy starts it.
    void Start() {
        {
            Lock lock(G().mutex);
            if (G().viewRunning || m_tried)
                return;
            m_tried = true;
            G().viewRunning = true;
        }
        XInitThreads();
        // A server that has only just come up may refuse the first connection: try for a moment.
        for (int attempt = 0; attempt < 20 && !m_display; ++attempt) {
            m_display = XOpenDisplay(nullptr);
            if (!m_display)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!m_display) {
            Lock lock(G().mutex);
            G().viewRunning = false;
            m_tried = false; // the next window shown tries again
            return;
        }
        // A protocol error (a window the server already dropped) is no reason to stop; a lost server ends
        // the view, not the program: Xlib would exit after this handler, so the view thread stays here.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        XSetIOErrorHandler([](Display*) -> int {
            View& view = Instance();
            {
                std::lock_guard<std::mutex> lock(view.m_endMutex);
                view.m_lost = true;
            }
            view.m_ended.notify_all();
            for (;;)
                pause();
        });
        m_deleteAtom = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
        {
            Lock lock(G().mutex);
            G().windowChanged = [this](HWND hwnd) { MarkDirty(hwnd); };
        }
        m_thread = std::thread([this] { Run(); });
    }

    // Stops the view before this module's code goes away (the library unloaded, or the program ending).
    void Stop() {
        if (!m_thread.joinable())
            return;
        {
            Lock lock(G().mutex);
            G().windowChanged = nullptr;
            G().viewRunning = false;
        }
        m_stop = true;
        // The thread either leaves its loop or, where the server has gone, meets the loss on its next call and stays
        // in the lost server's handler for good; the server may go at any moment, also while this waits.
        {
            std::unique_lock<std::mutex> lock(m_endMutex);
            m_ended.wait(lock, [this] { return m_runEnded || m_lost; });
            if (!m_runEnded) {
                m_thread.detach();
                return;
            }
        }
        m_thread.join();
        // The connection goes with the view: a module loaded and unloaded again and again would otherwise use up the
        // server's client slots and the process's descriptors, one at every unload. Closing it takes its X windows.
        for (auto& [hwnd, xw] : m_windows) {
            if (xw.image) {
                xw.image->data = nullptr; // the pixels belong to the vector
                XDestroyImage(xw.image);
            }
        }
        // A server that went away first would make XCloseDisplay end in the lost server's handler for good: then
        // only the socket is let go.
        if (ServerStillThere())
            XCloseDisplay(m_display);
        else
            close(ConnectionNumber(m_display));
        m_display = nullptr;
        m_windows.clear();
        m_byX.clear();
        m_cursors.clear();
        m_pictureCursors.clear();
    }

    // Whether the server's end of the connection is still open, without waiting and without Xlib.
    bool ServerStillThere() const {
        char byte = 0;
        const ssize_t got = recv(ConnectionNumber(m_display), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        return got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
    }

    void MarkDirty(HWND hwnd) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_dirty.insert(hwnd);
    }

private:
    struct Snapshot {
        HWND hwnd;
        RECT rect;
        std::u16string title;
        bool popup;
        std::shared_ptr<gdi::Surface> surface;
    };

    std::vector<Snapshot> TopLevels() {
        std::vector<Snapshot> out;
        Lock lock(G().mutex);
        for (HWND h : G().topLevel) {
            Window* w = Find(h);
            if (!w || !(w->style & WS_VISIBLE) || !w->surface)
                continue;
            bool popup = (w->style & WS_POPUP) && (w->style & WS_CAPTION) != WS_CAPTION;
            out.push_back(Snapshot{h, w->rect, w->text, popup, w->surface});
        }
        return out;
    }

    void Run() {
        while (!m_stop) {
            Sync();
            while (XPending(m_display)) {
                XEvent e;
                XNextEvent(m_display, &e);
                Handle(e);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        {
            std::lock_guard<std::mutex> lock(m_endMutex);
            m_runEnded = true;
        }
        m_ended.notify_all();
    }

    void Sync() {
        std::vector<Snapshot> tops = TopLevels();
        std::set<HWND> dirty;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            dirty.swap(m_dirty);
        }
        std::set<HWND> alive;
        for (const Snapshot& s : tops) {
            alive.insert(s.hwnd);
            int width = std::max<int>(s.rect.right - s.rect.left, 1);
            int height = std::max<int>(s.rect.bottom - s.rect.top, 1);
            auto it = m_windows.find(s.hwnd);
            bool fresh = it == m_windows.end();
            if (fresh) {
                XWin xw;
                XSetWindowAttributes attrs{};
                attrs.override_redirect = s.popup ? True : False;
                attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                   KeyPressMask | KeyReleaseMask | LeaveWindowMask | StructureNotifyMask;
                xw.x = XCreateWindow(m_display, DefaultRootWindow(m_display), s.rect.left, s.rect.top,
                                     static_cast<unsigned>(width), static_cast<unsigned>(height), 0, CopyFromParent,
                                     InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &attrs);
                XSetWMProtocols(m_display, xw.x, &m_deleteAtom, 1);
                XSizeHints hints{};
                hints.flags = PPosition | PSize;
                hints.x = s.rect.left;
                hints.y = s.rect.top;
                hints.width = width;
                hints.height = height;
                XSetWMNormalHints(m_display, xw.x, &hints);
                XMapWindow(m_display, xw.x);
                it = m_windows.emplace(s.hwnd, std::move(xw)).first;
                m_byX[it->second.x] = s.hwnd;
            }
            XWin& xw = it->second;
            if (fresh || !EqualRect(&xw.rect, &s.rect)) {
                XMoveResizeWindow(m_display, xw.x, s.rect.left, s.rect.top, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height));
                xw.rect = s.rect;
                dirty.insert(s.hwnd);
            }
            if (fresh || xw.title != s.title) {
                xw.title = s.title;
                SetTitle(xw.x, s.title);
            }
            if (fresh || dirty.count(s.hwnd))
                Draw(xw, *s.surface);
        }
        HCURSOR shape = nullptr;
        {
            Lock lock(G().mutex);
            shape = G().cursorShape;
        }
        if (shape != m_shape) {
            m_shape = shape;
            ::Cursor cursor = CursorFor(shape);
            for (auto& [h, xw] : m_windows)
                XDefineCursor(m_display, xw.x, cursor);
        }
        for (auto it = m_windows.begin(); it != m_windows.end();) {
            if (alive.count(it->first)) {
                ++it;
                continue;
            }
            m_byX.erase(it->second.x);
            XDestroyWindow(m_display, it->second.x);
            if (it->second.image) {
                it->second.image->data = nullptr; // the pixels belong to the vector
                XDestroyImage(it->second.image);
            }
            it = m_windows.erase(it);
        }
        XFlush(m_display);
    }

    void Draw(XWin& xw, const gdi::Surface& surface) {
        int w = surface.width();
        int h = surface.height();
        xw.pixels.assign(surface.pixels(), surface.pixels() + static_cast<size_t>(w) * h);
        if (xw.image) {
            xw.image->data = nullptr;
            XDestroyImage(xw.image);
        }
        Visual* visual = DefaultVisual(m_display, DefaultScreen(m_display));
        xw.image = XCreateImage(
            m_display, visual, static_cast<unsigned>(DefaultDepth(m_display, DefaultScreen(m_display))), ZPixmap, 0,
            reinterpret_cast<char*>(xw.pixels.data()), static_cast<unsigned>(w), static_cast<unsigned>(h), 32, w * 4);
        if (!xw.image)
            return;
        GC gc = DefaultGC(m_display, DefaultScreen(m_display));
        XPutImage(m_display, xw.x, gc, xw.image, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    }

    // WM_NAME for every window manager (non-ASCII shown as '?') and _NET_WM_NAME in UTF-8 for those that read it.
    void SetTitle(::Window x, const std::u16string& title) {
        std::string ascii;
        std::string utf8;
        for (size_t i = 0; i < title.size(); ++i) {
            char32_t c = title[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < title.size())
                c = 0x10000 + ((c - 0xD800) << 10) + (title[++i] - 0xDC00);
            ascii += c < 0x80 ? static_cast<char>(c) : '?';
            if (c < 0x80) {
                utf8 += static_cast<char>(c);
            } else if (c < 0x800) {
                utf8 += static_cast<char>(0xC0 | (c >> 6));
                utf8 += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                utf8 += static_cast<char>(0xE0 | (c >> 12));
                utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                utf8 += static_cast<char>(0xF0 | (c >> 18));
                utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        XStoreName(m_display, x, ascii.c_str());
        Atom netName = XInternAtom(m_display, "_NET_WM_NAME", False);
        Atom utf8String = XInternAtom(m_display, "UTF8_STRING", False);
        XChangeProperty(m_display, x, netName, utf8String, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    }

    // A resource cursor shows its own picture; a system cursor the nearest X cursor.
    ::Cursor CursorFor(HCURSOR shape) {
        const ULONG_PTR id = CursorSystemId(shape);
        if (id || !shape)
            return FontCursor(id);
        auto it = m_pictureCursors.find(shape);
        if (it == m_pictureCursors.end()) {
            ::Cursor made = PictureCursor(shape);
            it = m_pictureCursors.emplace(shape, made ? made : FontCursor(0)).first;
        }
        return it->second;
    }

    ::Cursor PictureCursor(HCURSOR shape) {
        CursorPicture picture;
        if (!GetCursorPicture(shape, &picture))
            return 0;
        // X bitmaps: rows of whole bytes, least significant bit leftmost; the source's set bits take the foreground.
        const int stride = (picture.width + 7) / 8;
        std::vector<char> source(static_cast<size_t>(stride) * picture.height);
        std::vector<char> mask(source.size());
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                const size_t i = static_cast<size_t>(y) * picture.width + x;
                const size_t byte = static_cast<size_t>(y) * stride + x / 8;
                const char bit = static_cast<char>(1 << (x % 8));
                if (picture.shown[i])
                    mask[byte] = static_cast<char>(mask[byte] | bit);
                if (picture.shown[i] && !picture.white[i])
                    source[byte] = static_cast<char>(source[byte] | bit);
            }
        const ::Window root = DefaultRootWindow(m_display);
        const auto w = static_cast<unsigned>(picture.width);
        const auto h = static_cast<unsigned>(picture.height);
        Pixmap sourceMap = XCreateBitmapFromData(m_display, root, source.data(), w, h);
        Pixmap maskMap = XCreateBitmapFromData(m_display, root, mask.data(), w, h);
        XColor black{};
        XColor white{};
        white.red = white.green = white.blue = 0xFFFF;
        black.flags = white.flags = DoRed | DoGreen | DoBlue;
        ::Cursor cursor = XCreatePixmapCursor(m_display, sourceMap, maskMap, &black, &white,
                                              static_cast<unsigned>(picture.hotX), static_cast<unsigned>(picture.hotY));
        XFreePixmap(m_display, sourceMap);
        XFreePixmap(m_display, maskMap);
        return cursor;
    }

    // The X cursor nearest to a system cursor.
    ::Cursor FontCursor(ULONG_PTR id) {
        unsigned shape = XC_left_ptr;
        switch (id) {
        case 32513:
            shape = XC_xterm;
            break;
        case 32514:
        case 32650:
            shape = XC_watch;
            break;
        case 32515:
            shape = XC_crosshair;
            break;
        case 32642:
            shape = XC_bottom_right_corner;
            break;
        case 32643:
            shape = XC_bottom_left_corner;
            break;
        case 32644:
            shape = XC_sb_h_double_arrow;
            break;
        case 32645:
            shape = XC_sb_v_double_arrow;
            break;
        case 32646:
            shape = XC_fleur;
            break;
        case 32649:
            shape = XC_hand2;
            break;
        default:
            break;
        }
        auto it = m_cursors.find(shape);
        if (it == m_cursors.end())
            it = m_cursors.emplace(shape, XCreateFontCursor(m_display, shape)).first;
        return it->second;
    }

    static WPARAM VirtualKey(KeySym sym) {
        if (sym >= XK_a && sym <= XK_z)
            return 'A' + (sym - XK_a);
        if (sym >= XK_A && sym <= XK_Z)
            return 'A' + (sym - XK_A);
        if (sym >= XK_0 && sym <= XK_9)
            return '0' + (sym - XK_0);
        if (sym >= XK_F1 && sym <= XK_F12)
            return VK_F1 + (sym - XK_F1);
        switch (sym) {
        case XK_Return:
        case XK_KP_Enter:
            return VK_RETURN;
        case XK_Escape:
            return VK_ESCAPE;
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return VK_TAB;
        case XK_BackSpace:
            return VK_BACK;
        case XK_Delete:
            return VK_DELETE;
        case XK_Left:
            return VK_LEFT;
        case XK_Right:
            return VK_RIGHT;
        case XK_Up:
            return VK_UP;
        case XK_Down:
            return VK_DOWN;
        case XK_Home:
            return VK_HOME;
        case XK_End:
            return VK_END;
        case XK_Prior:
            return VK_PRIOR;
        case XK_Next:
            return VK_NEXT;
        case XK_space:
            return VK_SPACE;
        case XK_Shift_L:
        case XK_Shift_R:
            return VK_SHIFT;
        case XK_Control_L:
        case XK_Control_R:
            return VK_CONTROL;
        case XK_Alt_L:
        case XK_Alt_R:
            return VK_MENU;
        case XK_minus:
            return 0xBD;
        case XK_period:
            return 0xBE;
        case XK_comma:
            return 0xBC;
        default:
            return 0;
        }
    }

    void Handle(XEvent& e) {
        auto it = m_byX.find(e.xany.window);
        if (it == m_byX.end())
            return;
        HWND hwnd = it->second;
        RECT rect = m_windows[hwnd].rect;
        switch (e.type) {
        case Expose:
            MarkDirty(hwnd);
            break;
        case MotionNotify:
            DeliverMouse(WM_MOUSEMOVE, POINT{rect.left + e.xmotion.x, rect.top + e.xmotion.y}, Keys(e.xmotion.state));
            break;
        case ButtonPress:
        case ButtonRelease: {
            UINT button = e.xbutton.button;
            bool down = e.type == ButtonPress;
            UINT msg = button == 1   ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP)
                       : button == 3 ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                       : button == 2 ? (down ? WM_MBUTTONDOWN : WM_MBUTTONUP)
                                     : 0;
            if (msg)
                DeliverMouse(msg, POINT{rect.left + e.xbutton.x, rect.top + e.xbutton.y},
                             Keys(e.xbutton.state) | (down ? (button == 1 ? MK_LBUTTON : 0) : 0));
            break;
        }
        case KeyPress:
        case KeyRelease: {
            KeySym sym = XLookupKeysym(&e.xkey, 0);
            WPARAM vk = VirtualKey(sym);
            if (!vk)
                break;
            bool alt = (e.xkey.state & Mod1Mask) != 0 || (vk == VK_MENU && e.type == KeyPress);
            bool down = e.type == KeyPress;
            UINT msg = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
            {
                Lock lock(G().mutex);
                if (!Find(G().foreground))
                    G().foreground = hwnd;
            }
            DeliverKey(msg, vk, down ? 1 : static_cast<LPARAM>(0xC0000001u));
            break;
        }
        case ClientMessage:
            if (static_cast<Atom>(e.xclient.data.l[0]) == m_deleteAtom)
                PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        default:
            break;
        }
    }

    static WPARAM Keys(unsigned state) {
        WPARAM k = 0;
        if (state & Button1Mask)
            k |= MK_LBUTTON;
        if (state & Button3Mask)
            k |= MK_RBUTTON;
        if (state & ShiftMask)
            k |= MK_SHIFT;
        if (state & ControlMask)
            k |= MK_CONTROL;
        return k;
    }

    bool m_tried = false;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_lost{false};
    std::mutex m_endMutex; // guards m_runEnded and the changes of m_lost that Stop waits for
    std::condition_variable m_ended;
    bool m_runEnded = false;
    Display* m_display = nullptr;
    Atom m_deleteAtom = 0;
    std::mutex m_mutex;
    std::set<HWND> m_dirty;
    std::unordered_map<HWND, XWin> m_windows; // view thread only
    std::unordered_map<::Window, HWND> m_byX;
    std::unordered_map<unsigned, ::Cursor> m_cursors;
    std::unordered_map<HCURSOR, ::Cursor> m_pictureCursors;
    HCURSOR m_shape = nullptr;
};

struct StopAtUnload {
    ~StopAtUnload() { View::Instance().Stop(); }
} g_stopAtUnload;

} // namespace

namespace {
bool WantsDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* headless = std::getenv("PLATFORM_HEADLESS");
    return display && *display && !(headless && std::strcmp(headless, "0") != 0);
}
} // namespace

void StartViewIfDisplay() {
    if (WantsDisplay())
        View::Instance().Start();
}

bool DisplayScreenSize(SIZE& size) {
    if (!WantsDisplay())
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const int screen = DefaultScreen(display);
    size = SIZE{DisplayWidth(display, screen), DisplayHeight(display, screen)};
    XCloseDisplay(display);
    return size.cx > 0 && size.cy > 0;
}

} // namespace platform::user
