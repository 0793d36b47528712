// Window surfaces: the pixels of a top-level window and the DCs that draw on them.
#include "platform/gdi/internal.h"

#include <algorithm>

namespace platform::gdi {

Surface::Surface(int width, int height, std::uint32_t fill)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), fill) {}

std::uint32_t Surface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    return m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
}

void Surface::resize(int width, int height, std::uint32_t fill) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_width && height == m_height)
        return;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    int w = std::min(width, m_width), h = std::min(height, m_height);
    for (int y = 0; y < h; ++y)
        std::copy_n(m_pixels.begin() + static_cast<std::ptrdiff_t>(y) * m_width, w,
                    pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    m_pixels = std::move(pixels);
    m_width = width;
    m_height = height;
}

namespace {

void SetArea(DeviceContext& dc, POINT origin, HRGN visible, SIZE size) {
    dc.origin = origin;
    dc.extent = size;
    if (RegionObject* r = ToObjectOf<RegionObject>(visible, ObjectKind::Region))
        dc.visible = r->region;
    else
        dc.visible.setRect(RECT{origin.x, origin.y, origin.x + size.cx, origin.y + size.cy});
}

} // namespace

HDC CreateSurfaceDC(std::shared_ptr<Surface> surface, POINT origin, HRGN visible, SIZE size, DWORD layout) {
    if (!surface)
        return nullptr;
    DeviceContext* dc = NewDC(DCKind::Surface);
    dc->surface = std::move(surface);
    dc->state.layout = layout & (LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED);
    SetArea(*dc, origin, visible, size);
    return reinterpret_cast<HDC>(dc);
}

BOOL SetSurfaceDCArea(HDC hdc, POINT origin, HRGN visible, SIZE size) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || dc->kind != DCKind::Surface)
        return FALSE;
    SetArea(*dc, origin, visible, size);
    return TRUE;
}

std::shared_ptr<Surface> GetDCSurface(HDC hdc) {
    DeviceContext* dc = ToDC(hdc);
    return dc && dc->kind == DCKind::Surface ? dc->surface : nullptr;
}

} // namespace platform::gdi
