// System metrics (over a virtual screen that tests may resize) and the classic system colours.
#include "platform/user/internal.h"

#include <mutex>

#include <array>

namespace {

// The colours of the standard Windows theme, as COLORREF.
constexpr std::array<COLORREF, 31> kSysColors = {
    RGB(200, 200, 200), // COLOR_SCROLLBAR
    RGB(0, 0, 0),       // COLOR_BACKGROUND
    RGB(153, 180, 209), // COLOR_ACTIVECAPTION
    RGB(191, 205, 219), // COLOR_INACTIVECAPTION
    RGB(240, 240, 240), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(100, 100, 100), // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(0, 0, 0),       // COLOR_CAPTIONTEXT
    RGB(180, 180, 180), // COLOR_ACTIVEBORDER
    RGB(244, 247, 252), // COLOR_INACTIVEBORDER
    RGB(171, 171, 171), // COLOR_APPWORKSPACE
    RGB(0, 120, 215),   // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(240, 240, 240), // COLOR_BTNFACE
    RGB(160, 160, 160), // COLOR_BTNSHADOW
    RGB(109, 109, 109), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(0, 0, 0),       // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(105, 105, 105), // COLOR_3DDKSHADOW
    RGB(227, 227, 227), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    RGB(0, 0, 0),       // 25 (unused)
    RGB(0, 102, 204),   // COLOR_HOTLIGHT
    RGB(185, 209, 234), // COLOR_GRADIENTACTIVECAPTION
    RGB(215, 228, 242), // COLOR_GRADIENTINACTIVECAPTION
    RGB(51, 153, 255),  // COLOR_MENUHILIGHT
    RGB(240, 240, 240), // COLOR_MENUBAR
};

} // namespace

using namespace platform::user;

namespace {

// Windows are placed on the screen the user sees: once, the X display's size replaces the virtual screen's, unless
// a test has fixed the screen.
void AdoptDisplaySize() {
    static std::once_flag once;
    std::call_once(once, [] {
        SIZE size{};
        if (!DisplayScreenSize(size))
            return;
        Lock lock(G().mutex);
        if (!G().screenFixed)
            G().screen = size;
    });
}

} // namespace

int GetSystemMetrics(int index) {
    AdoptDisplaySize();
    SIZE screen{};
    {
        Lock lock(G().mutex);
        screen = G().screen;
    }
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
        return screen.cx;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return screen.cy;
    case SM_CYFULLSCREEN:
        return screen.cy - 63; // minus a caption and a task bar
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 17;
    case SM_CYCAPTION:
        return 23;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYMENU:
        return 20;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CMONITORS:
        return 1;
    default:
        return 0;
    }
}

DWORD GetSysColor(int index) {
    if (index < 0 || static_cast<size_t>(index) >= kSysColors.size())
        return 0;
    return kSysColors[static_cast<size_t>(index)];
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || static_cast<size_t>(index) >= kSysColors.size())
        return nullptr;
    // One brush per colour for the life of the process, like the system's own: DeleteObject leaves it alone.
    static std::mutex mutex;
    static std::array<HBRUSH, kSysColors.size()> brushes{};
    std::lock_guard<std::mutex> lock(mutex);
    HBRUSH& b = brushes[static_cast<size_t>(index)];
    if (!b)
        b = platform::gdi::CreatePermanentBrush(kSysColors[static_cast<size_t>(index)]);
    return b;
}
