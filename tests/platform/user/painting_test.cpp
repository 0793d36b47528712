// Painting: erase before paint, parents before children, what GetDC of a parent reads, window regions, and
// the demo dialog rendered headless.
#include "platform/gdi/testing.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace ut = platform::user::testing;

struct Event {
    HWND hwnd;
    UINT msg;
};
std::vector<Event>* g_events = nullptr;

// Paints its client area in the colour kept in its user data.
LRESULT CALLBACK ColourProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_events && (msg == WM_ERASEBKGND || msg == WM_PAINT))
        g_events->push_back(Event{hwnd, msg});
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
        RECT r{};
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeColour(HWND parent, int x, int y, int cx, int cy, COLORREF colour, DWORD style = 0) {
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ColourProc;
        wc.lpszClassName = u"Colour";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
        return RegisterClassW(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    HWND hwnd = CreateWindowExW(0, u"Colour", u"", style | (parent ? WS_CHILD | WS_VISIBLE : WS_POPUP), x, y, cx, cy,
                                parent, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
    return hwnd;
}

TEST(Painting, ParentErasesAndPaintsBeforeItsChildren) {
    std::vector<Event> events;
    g_events = &events;
    HWND top = MakeColour(nullptr, 0, 0, 200, 100, RGB(0, 0, 255));
    HWND child = MakeColour(top, 10, 10, 50, 50, RGB(255, 0, 0));
    ShowWindow(top, SW_SHOW);
    ut::RunPendingMessages();
    g_events = nullptr;
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].hwnd, top);
    EXPECT_EQ(events[0].msg, static_cast<UINT>(WM_PAINT)) << "WM_PAINT comes first and BeginPaint erases";
    EXPECT_EQ(events[1].hwnd, top);
    EXPECT_EQ(events[1].msg, static_cast<UINT>(WM_ERASEBKGND));
    EXPECT_EQ(events[2].hwnd, child);
    EXPECT_EQ(ut::WindowPixel(top, 100, 50), RGB(0, 0, 255));
    EXPECT_EQ(ut::WindowPixel(top, 20, 20), RGB(255, 0, 0)) << "the child painted over its parent";
    DestroyWindow(top);
}

TEST(Painting, GetDCOfTheParentReadsWhatIsShown) {
    HWND top = MakeColour(nullptr, 0, 0, 200, 100, RGB(0, 0, 255));
    MakeColour(top, 10, 10, 50, 50, RGB(255, 0, 0));
    ShowWindow(top, SW_SHOW);
    ut::RunPendingMessages();
    HDC dc = GetDC(top);
    EXPECT_EQ(GetPixel(dc, 20, 20), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 100, 20), RGB(0, 0, 255));
    ReleaseDC(top, dc);
    DestroyWindow(top);
}

TEST(Painting, InvalidatingAParentAreaRepaintsTheChildrenOverIt) {
    std::vector<Event> events;
    HWND top = MakeColour(nullptr, 0, 0, 200, 100, RGB(0, 0, 255));
    HWND child = MakeColour(top, 10, 10, 50, 50, RGB(255, 0, 0));
    ShowWindow(top, SW_SHOW);
    ut::RunPendingMessages();
    g_events = &events;
    RECT under{5, 5, 30, 30};
    InvalidateRect(top, &under, TRUE);
    ut::RunPendingMessages();
    g_events = nullptr;
    std::vector<HWND> painted;
    for (const Event& e : events)
        if (e.msg == WM_PAINT)
            painted.push_back(e.hwnd);
    EXPECT_EQ(painted, (std::vector<HWND>{top, child}));
    EXPECT_EQ(ut::WindowPixel(top, 20, 20), RGB(255, 0, 0));
    DestroyWindow(top);
}

TEST(Painting, WindowRegionsClipPaintingAndHitTests) {
    HWND top = MakeColour(nullptr, 100, 100, 200, 100, RGB(0, 0, 255));
    HWND child = MakeColour(top, 10, 10, 60, 60, RGB(255, 0, 0));
    // Only the middle of the child is the child: its corners belong to the parent.
    SetWindowRgn(child, CreateRectRgn(20, 20, 40, 40), TRUE);
    ShowWindow(top, SW_SHOW);
    ut::RunPendingMessages();
    EXPECT_EQ(ut::WindowPixel(top, 12, 12), RGB(0, 0, 255));
    EXPECT_EQ(ut::WindowPixel(top, 40, 40), RGB(255, 0, 0));
    POINT corner{12, 12};
    ClientToScreen(top, &corner);
    EXPECT_EQ(WindowFromPoint(corner), top);
    POINT middle{40, 40};
    ClientToScreen(top, &middle);
    EXPECT_EQ(WindowFromPoint(middle), child);
    DestroyWindow(top);
}

TEST(Painting, RepaintingADialogCreatesNoGdiObjectsThatStay) {
    constexpr const char* kDialog = R"(DIALOGEX 0, 0, 160, 90
STYLE WS_POPUP | WS_CAPTION | WS_VISIBLE
CAPTION "Leak check"
BEGIN
    LTEXT "Text", 1, 7, 7, 60, 8
    AUTOCHECKBOX "Check", 2, 7, 20, 60, 10
    EDITTEXT 3, 7, 34, 80, 14
    COMBOBOX 4, 7, 52, 80, 60, CBS_DROPDOWNLIST
    CONTROL "", 5, "msctls_trackbar32", 0, 90, 7, 60, 20
    CONTROL "", 6, "msctls_progress32", 0, 90, 30, 60, 10
    SCROLLBAR 7, 90, 44, 60, 10
    DEFPUSHBUTTON "OK", IDOK, 100, 70, 50, 14
END
)";
    HWND dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kDialog), nullptr, nullptr, 0);
    ASSERT_NE(dlg, nullptr);
    ut::RunPendingMessages();
    int before = platform::gdi::LiveObjectCount();
    for (int i = 0; i < 50; ++i) {
        RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
        ut::RunPendingMessages();
    }
    EXPECT_EQ(platform::gdi::LiveObjectCount(), before);
    DestroyWindow(dlg);
}

#ifdef DIALOGDEMO_PATH
TEST(Demo, RendersToAPngHeadless) {
    // A name of this process's own: other test runs on the machine write theirs at the same time.
    std::string path = ::testing::TempDir() + "dialogdemo_test_" + std::to_string(getpid()) + ".png";
    std::remove(path.c_str());
    std::string command = std::string("env -u DISPLAY ") + DIALOGDEMO_PATH + " --png " + path + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream png(path, std::ios::binary);
    char signature[8] = {};
    png.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
    std::remove(path.c_str());
}
#endif

} // namespace

namespace {

TEST(Painting, UpdateWindowPaintsOnlyWhatIsInvalid) {
    std::vector<Event> events;
    HWND top = MakeColour(nullptr, 0, 0, 100, 100, RGB(0, 128, 0));
    ShowWindow(top, SW_SHOW);
    ut::RunPendingMessages();
    g_events = &events;
    UpdateWindow(top);
    EXPECT_TRUE(events.empty()) << "nothing invalid, nothing painted";
    InvalidateRect(top, nullptr, FALSE);
    ValidateRect(top, nullptr);
    UpdateWindow(top);
    EXPECT_TRUE(events.empty());
    InvalidateRect(top, nullptr, FALSE);
    UpdateWindow(top);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].msg, static_cast<UINT>(WM_PAINT)) << "no erase was asked for";
    g_events = nullptr;
    DestroyWindow(top);
}

TEST(Painting, CaptionedWindowsDrawTheirFrameAndTitleBar) {
    DestroyWindow(MakeColour(nullptr, 0, 0, 1, 1, 0)); // registers the class
    HWND top = CreateWindowExW(0, u"Colour", u"Title", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 0, 0, 200, 120, nullptr,
                               nullptr, nullptr, nullptr);
    SetWindowLongPtrW(top, GWLP_USERDATA, static_cast<LONG_PTR>(RGB(255, 255, 0)));
    ShowWindow(top, SW_SHOW);
    ut::RunPendingMessages();
    auto surface = ut::WindowSurface(top);
    ASSERT_NE(surface, nullptr);
    std::uint32_t caption = surface->pixel(100, 10);
    COLORREF active = GetSysColor(COLOR_ACTIVECAPTION);
    EXPECT_EQ(caption, (static_cast<std::uint32_t>(GetRValue(active)) << 16) |
                           (static_cast<std::uint32_t>(GetGValue(active)) << 8) | GetBValue(active));
    RECT client{};
    GetClientRect(top, &client);
    EXPECT_EQ(client.bottom, 120 - 23 - 6);
    EXPECT_EQ(ut::WindowPixel(top, 0, 0), RGB(255, 255, 0));
    DestroyWindow(top);
}

} // namespace

// A bitmap file that cannot be read (a folder in its place, an empty file) gives no bitmap and ends nothing.
TEST(BitmapFiles, AFileThatCannotBeReadGivesNoBitmap) {
    char folder[] = "/tmp/bitmap-file-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dos = std::string("Z:") + folder;
    const std::u16string name(dos.begin(), dos.end());
    EXPECT_EQ(LoadImageW(nullptr, name.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr) << "a folder";
    const std::string empty = std::string(folder) + "/empty.bmp";
    std::ofstream(empty).close();
    const std::u16string emptyName = name + u"/empty.bmp";
    EXPECT_EQ(LoadImageW(nullptr, emptyName.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr) << "an empty file";
    std::remove(empty.c_str());
    rmdir(folder);
}
