// The contract between the window manager (platform/user) and the renderer: each top-level window owns one Surface,
// and every DC of that window or of its children draws onto it through a window DC made here.
//
//   auto surface = std::make_shared<platform::gdi::Surface>(w, h);   // one per top-level window, white
//   HDC dc = platform::gdi::CreateSurfaceDC(surface, clientOrigin, visible, clientSize, layout);
//   ... the window procedure paints through dc (GDI calls, CDC) ...
//   DeleteDC(dc);                                                    // or keep it and re-point it:
//   platform::gdi::SetSurfaceDCArea(dc, newOrigin, newVisible, newSize);
//
// Coordinates passed here are surface pixels; the DC maps logical (0,0) to `origin`. The visible region is what the
// window manager allows (client area, minus clipped children or siblings, intersected with SetWindowRgn); the
// application's own SelectClipRgn/IntersectClipRect further narrow it, as on Windows. A DC never draws outside
// the surface, whatever region it is given.
#pragma once

#include "platform/base/wintypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct BITMAPINFO;

namespace platform::gdi {

// Pixels are 0x00RRGGBB (not COLORREF order), top-down, `width` pixels per row.
class Surface {
public:
    Surface(int width, int height, std::uint32_t fill = 0x00FFFFFF);

    int width() const { return m_width; }
    int height() const { return m_height; }
    std::uint32_t* pixels() { return m_pixels.data(); }
    const std::uint32_t* pixels() const { return m_pixels.data(); }
    std::uint32_t pixel(int x, int y) const; // 0 outside

    // Follows a window resize: keeps the overlapping top-left content, fills new area with `fill`.
    void resize(int width, int height, std::uint32_t fill = 0x00FFFFFF);

    // The renderer itself does not lock: whoever shares a surface between threads (the X view reading it while
    // the GUI thread paints) holds this mutex around its reads and around a paint.
    std::mutex& mutex() { return m_mutex; }

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint32_t> m_pixels;
    std::mutex m_mutex;
};

// A window DC on `surface`. `origin`: where logical (0,0) lies (the window's or client's top-left in surface
// pixels). `visible`: region in surface pixels the DC may touch (copied; NULL = the rectangle origin..origin+size).
// `size`: the area's extent, which a LAYOUT_RTL DC mirrors about and GetClipBox reports. `layout`: 0 or
// LAYOUT_RTL (a window with WS_EX_LAYOUTRTL). Released with DeleteDC (ReleaseDC/EndPaint call that).
HDC CreateSurfaceDC(std::shared_ptr<Surface> surface, POINT origin, HRGN visible, SIZE size, DWORD layout);

// Re-points an existing surface DC after its window moved, resized or had its visible region changed
// (e.g. SetWindowRgn). Keeps the DC's selected objects, colours, application clip region and saved states.
BOOL SetSurfaceDCArea(HDC dc, POINT origin, HRGN visible, SIZE size);

// The surface a DC draws on (NULL for memory and display DCs); lets user find the window surface behind a DC.
std::shared_ptr<Surface> GetDCSurface(HDC dc);

// Writes the surface (or one rectangle of it, in surface pixels) as an 8-bit RGB PNG. TRUE on success.
BOOL WriteSurfacePng(const Surface& surface, const char* path);
BOOL WriteSurfacePng(const Surface& surface, const RECT& area, const char* path);

// ---- Services for platform/user ----------------------------------------------------------------------------------

// System colours for DrawEdge, DrawFocusRect and FillRect's (HBRUSH)(COLOR_x + 1) brushes. User installs GetSysColor
// at start; until then the classic values are used.
void SetSysColorSource(COLORREF (*source)(int index));

// Screen size reported by GetDeviceCaps(HORZRES/VERTRES) of display DCs (default 1920 x 1080).
void SetScreenSize(int width, int height);

// A solid brush that DeleteObject ignores and the live-object count does not include (GetSysColorBrush).
HBRUSH CreatePermanentBrush(COLORREF color);

// A 32-bit colour bitmap (or a monochrome one for a 1-bit DIB whose colours are black and white) from a packed DIB:
// LoadBitmapW's resources. `bits` NULL: the pixels follow the header and colour table. NULL when malformed.
HBITMAP CreateBitmapFromDib(const BITMAPINFO* info, const void* bits);
// The same from the bytes of a .bmp file (BITMAPFILEHEADER first); checks every size against `size`.
HBITMAP CreateBitmapFromBmpFile(const void* data, size_t size);

} // namespace platform::gdi
