// Drawing primitives: pens and lines, shapes, paths, pixels, region fills and pattern blits.
#include "platform/gdi/internal.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform::gdi {

namespace {

COLORREF PenColor(const DeviceContext& dc) {
    return dc.state.pen == StockPen(DC_PEN) ? dc.state.dcPenColor : dc.state.pen->color;
}

const Brush& CurrentBrush(const DeviceContext& dc, Brush& scratch) {
    if (dc.state.brush == StockBrush(DC_BRUSH)) {
        scratch.style = BS_SOLID;
        scratch.color = dc.state.dcBrushColor;
        return scratch;
    }
    return *dc.state.brush;
}

// Cosmetic dash patterns of Windows: lengths of on and off runs, starting with on.
const std::vector<int>& DashPattern(UINT style) {
    static const std::vector<int> dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3};
    static const std::vector<int> solid;
    switch (style) {
    case PS_DASH:
        return dash;
    case PS_DOT:
        return dot;
    case PS_DASHDOT:
        return dashDot;
    case PS_DASHDOTDOT:
        return dashDotDot;
    default:
        return solid;
    }
}

// Plots pixels of one pen stroke in target coordinates, honouring the clip, the pen width, style and ROP2.
class PenPlotter {
public:
    explicit PenPlotter(DeviceContext& dc) : m_dc(dc), m_target(dc.target()), m_clip(dc.effectiveClip()) {
        const Pen& pen = *dc.state.pen;
        m_style = pen.style;
        m_width = pen.width;
        m_pixel = m_target.pixelOf(PenColor(dc));
        m_bk = m_target.pixelOf(dc.state.bkColor);
        m_pattern = &DashPattern(m_style);
        m_origin = dc.devToTarget();
        m_box = m_clip.box();
    }
    bool visible() const { return m_style != PS_NULL && m_target.base; }

    // A line from a to b in device coordinates; the end point is not drawn.
    void line(POINT a, POINT b) {
        int x0 = a.x + m_origin.x, y0 = a.y + m_origin.y, x1 = b.x + m_origin.x, y1 = b.y + m_origin.y;
        int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
        int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        // Bresenham along the major axis; ties round towards the start so reversed lines differ as on Windows.
        if (dx >= dy) {
            int err = dx / 2;
            int y = y0;
            for (int i = 0, x = x0; i < dx; ++i, x += sx) {
                step(x, y);
                err -= dy;
                if (err < 0) {
                    y += sy;
                    err += dx;
                }
            }
        } else {
            int err = dy / 2;
            int x = x0;
            for (int i = 0, y = y0; i < dy; ++i, y += sy) {
                step(x, y);
                err -= dx;
                if (err < 0) {
                    x += sx;
                    err += dy;
                }
            }
        }
    }

    // A point of the stroke: applies the dash pattern, then paints the pen's footprint.
    void step(int x, int y) {
        bool on = true;
        if (!m_pattern->empty()) {
            int total = 0;
            for (int n : *m_pattern)
                total += n;
            int pos = m_phase % total, k = 0;
            while (pos >= (*m_pattern)[static_cast<size_t>(k)]) {
                pos -= (*m_pattern)[static_cast<size_t>(k)];
                ++k;
            }
            on = (k % 2) == 0;
            ++m_phase;
            if (!on && m_dc.state.bkMode == TRANSPARENT)
                return;
        }
        std::uint32_t color = on ? m_pixel : m_bk;
        if (m_width <= 1) {
            plot(x, y, color);
            return;
        }
        int lo = -(m_width / 2), hi = lo + m_width;
        for (int yy = y + lo; yy < y + hi; ++yy)
            for (int xx = x + lo; xx < x + hi; ++xx)
                plot(xx, yy, color);
    }

    void plot(int x, int y, std::uint32_t color) {
        if (x < m_box.left || x >= m_box.right || y < m_box.top || y >= m_box.bottom || !m_clip.contains(x, y))
            return;
        std::uint32_t* p = m_target.row(y) + x;
        *p = ApplyRop2(m_dc.state.rop2, color, *p) & 0x00FFFFFF;
        if (m_target.mono)
            *p = ToMono(*p);
    }

    int width() const { return m_width; }

private:
    DeviceContext& m_dc;
    Target m_target;
    Region m_clip;
    RECT m_box{};
    UINT m_style;
    int m_width;
    std::uint32_t m_pixel, m_bk;
    const std::vector<int>* m_pattern;
    int m_phase = 0;
    POINT m_origin;
};

// Flattens a cubic Bezier segment into points (device coordinates), excluding p0.
void FlattenBezier(POINT p0, POINT p1, POINT p2, POINT p3, std::vector<POINT>& out) {
    double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                 std::hypot(p3.x - p2.x, p3.y - p2.y);
    int steps = std::clamp(static_cast<int>(len / 2), 1, 512);
    for (int i = 1; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps, u = 1 - t;
        double x = u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x;
        double y = u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y;
        POINT p{static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
        if (out.empty() || out.back().x != p.x || out.back().y != p.y)
            out.push_back(p);
    }
    if (out.empty() || out.back().x != p3.x || out.back().y != p3.y)
        out.push_back(p3);
}

// Fills a polygon (device coordinates) with the brush, alternate (even-odd) rule, pixel centres inside.
void FillPolygonDevice(DeviceContext& dc, const std::vector<POINT>& pts, const Brush& brush) {
    if (pts.size() < 3 || brush.style == BS_NULL)
        return;
    LONG top = pts[0].y, bottom = pts[0].y;
    for (const POINT& p : pts) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    std::vector<double> xs;
    for (LONG y = top; y < bottom; ++y) {
        double cy = y + 0.5;
        xs.clear();
        for (size_t i = 0; i < pts.size(); ++i) {
            POINT a = pts[i], b = pts[(i + 1) % pts.size()];
            if ((a.y <= cy && b.y > cy) || (b.y <= cy && a.y > cy))
                xs.push_back(a.x + (cy - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            LONG x0 = static_cast<LONG>(std::ceil(xs[i] - 0.5)), x1 = static_cast<LONG>(std::ceil(xs[i + 1] - 0.5));
            if (x0 < x1)
                FillRectBrush(dc, RECT{x0, y, x1, y + 1}, brush, dc.state.rop2);
        }
    }
}

void StrokePolyline(DeviceContext& dc, const std::vector<POINT>& devPts, bool closed, bool includeLast) {
    PenPlotter plot(dc);
    if (!plot.visible() || devPts.empty())
        return;
    for (size_t i = 0; i + 1 < devPts.size(); ++i)
        plot.line(devPts[i], devPts[i + 1]);
    if (closed && devPts.size() > 1)
        plot.line(devPts.back(), devPts.front());
    else if (includeLast || plot.width() > 1)
        plot.step(devPts.back().x + dc.devToTarget().x, devPts.back().y + dc.devToTarget().y);
}

} // namespace

std::uint32_t ApplyRop2(int rop2, std::uint32_t pen, std::uint32_t dst) {
    switch (rop2) {
    case R2_BLACK:
        return 0;
    case R2_NOTMERGEPEN:
        return ~(dst | pen);
    case R2_MASKNOTPEN:
        return dst & ~pen;
    case R2_NOTCOPYPEN:
        return ~pen;
    case R2_MASKPENNOT:
        return pen & ~dst;
    case R2_NOT:
        return ~dst;
    case R2_XORPEN:
        return dst ^ pen;
    case R2_NOTMASKPEN:
        return ~(dst & pen);
    case R2_MASKPEN:
        return dst & pen;
    case R2_NOTXORPEN:
        return ~(dst ^ pen);
    case R2_NOP:
        return dst;
    case R2_MERGENOTPEN:
        return dst | ~pen;
    case R2_MERGEPENNOT:
        return pen | ~dst;
    case R2_MERGEPEN:
        return dst | pen;
    case R2_WHITE:
        return 0x00FFFFFF;
    default:
        return pen;
    }
}

void FillRectDevice(DeviceContext& dc, RECT r, std::uint32_t pixel, int rop2) {
    Target t = dc.target();
    if (!t.base)
        return;
    if (t.mono)
        pixel = ToMono(pixel);
    POINT o = dc.devToTarget();
    OffsetRect(&r, o.x, o.y);
    for (const RECT& c : dc.effectiveClip().rects) {
        RECT q;
        if (!IntersectRect(&q, &r, &c))
            continue;
        for (LONG y = q.top; y < q.bottom; ++y) {
            std::uint32_t* row = t.row(y);
            if (rop2 == R2_COPYPEN) {
                std::fill(row + q.left, row + q.right, pixel);
            } else {
                for (LONG x = q.left; x < q.right; ++x) {
                    row[x] = ApplyRop2(rop2, pixel, row[x]) & 0x00FFFFFF;
                    if (t.mono)
                        row[x] = ToMono(row[x]);
                }
            }
        }
    }
}

void FillRectBrush(DeviceContext& dc, RECT r, const Brush& brush, int rop2) {
    if (brush.style == BS_NULL)
        return;
    if (brush.style != BS_PATTERN || brush.pattern.empty()) {
        FillRectDevice(dc, r, ToPixel(brush.color), rop2);
        return;
    }
    Target t = dc.target();
    if (!t.base)
        return;
    POINT o = dc.devToTarget();
    OffsetRect(&r, o.x, o.y);
    std::uint32_t fg = ToPixel(dc.state.textColor), bg = ToPixel(dc.state.bkColor);
    for (const RECT& c : dc.effectiveClip().rects) {
        RECT q;
        if (!IntersectRect(&q, &r, &c))
            continue;
        for (LONG y = q.top; y < q.bottom; ++y) {
            int py =
                ((y - o.y - dc.state.brushOrg.y) % brush.patternHeight + brush.patternHeight) % brush.patternHeight;
            std::uint32_t* row = t.row(y);
            for (LONG x = q.left; x < q.right; ++x) {
                int px =
                    ((x - o.x - dc.state.brushOrg.x) % brush.patternWidth + brush.patternWidth) % brush.patternWidth;
                std::uint32_t p = brush.pattern[static_cast<size_t>(py) * static_cast<size_t>(brush.patternWidth) +
                                                static_cast<size_t>(px)];
                if (brush.patternMono)
                    p = p ? bg : fg;
                std::uint32_t v = ApplyRop2(rop2, p, row[x]) & 0x00FFFFFF;
                row[x] = t.mono ? ToMono(v) : v;
            }
        }
    }
}

} // namespace platform::gdi

using namespace platform::gdi;

// ---- Regions and pattern blits --------------------------------------------------------------------------------------
BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH h) {
    DeviceContext* dc = ToDC(hdc);
    RegionObject* r = ToObjectOf<RegionObject>(rgn, ObjectKind::Region);
    Brush brush;
    if (!dc || !r || !ResolveBrush(h, brush))
        return FALSE;
    for (const RECT& q : r->region.rects)
        FillRectBrush(*dc, ToDeviceRect(*dc, q.left, q.top, q.right, q.bottom), brush);
    return TRUE;
}

BOOL PaintRgn(HDC hdc, HRGN rgn) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    return FillRgn(hdc, rgn, reinterpret_cast<HBRUSH>(static_cast<GdiObject*>(dc->state.brush)));
}

BOOL InvertRgn(HDC hdc, HRGN rgn) {
    DeviceContext* dc = ToDC(hdc);
    RegionObject* r = ToObjectOf<RegionObject>(rgn, ObjectKind::Region);
    if (!dc || !r)
        return FALSE;
    for (const RECT& q : r->region.rects)
        FillRectDevice(*dc, ToDeviceRect(*dc, q.left, q.top, q.right, q.bottom), 0, R2_NOT);
    return TRUE;
}

BOOL FrameRgn(HDC hdc, HRGN rgn, HBRUSH h, int width, int height) {
    DeviceContext* dc = ToDC(hdc);
    RegionObject* r = ToObjectOf<RegionObject>(rgn, ObjectKind::Region);
    Brush brush;
    if (!dc || !r || !ResolveBrush(h, brush))
        return FALSE;
    // The frame is the region minus itself shrunk by width/height in each direction.
    Region inner = r->region;
    for (int dx : {-width, width}) {
        Region moved = r->region;
        moved.offset(dx, 0);
        inner = Region::combine(inner, moved, RGN_AND);
    }
    for (int dy : {-height, height}) {
        Region moved = r->region;
        moved.offset(0, dy);
        inner = Region::combine(inner, moved, RGN_AND);
    }
    Region frame = Region::combine(r->region, inner, RGN_DIFF);
    for (const RECT& q : frame.rects)
        FillRectBrush(*dc, ToDeviceRect(*dc, q.left, q.top, q.right, q.bottom), brush);
    return TRUE;
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    RECT r = ToDeviceRect(*dc, x, y, x + width, y + height);
    Brush scratch;
    const Brush& brush = CurrentBrush(*dc, scratch);
    switch (rop) {
    case PATCOPY:
        FillRectBrush(*dc, r, brush);
        return TRUE;
    case PATINVERT:
        FillRectBrush(*dc, r, brush, R2_XORPEN);
        return TRUE;
    case DSTINVERT:
        FillRectDevice(*dc, r, 0, R2_NOT);
        return TRUE;
    case BLACKNESS:
        FillRectDevice(*dc, r, 0);
        return TRUE;
    case WHITENESS:
        FillRectDevice(*dc, r, 0x00FFFFFF);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- Pixels ------------------------------------------------------------------------------------------------------

// The pixel under logical (x, y) on the DC's target `t`, or null when the DC has no pixels or the point is clipped.
static std::uint32_t* VisiblePixel(HDC hdc, int x, int y, Target& t) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return nullptr;
    t = dc->target();
    POINT p = dc->toTarget(x, y);
    if (!t.base || !dc->effectiveClip().contains(p.x, p.y))
        return nullptr;
    return &t.row(p.y)[p.x];
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    Target t;
    std::uint32_t* px = VisiblePixel(hdc, x, y, t);
    return px ? ToColorRef(*px) : CLR_INVALID;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    Target t;
    std::uint32_t* px = VisiblePixel(hdc, x, y, t);
    if (!px)
        return CLR_INVALID;
    *px = t.pixelOf(color);
    return ToColorRef(*px);
}

BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color) {
    return SetPixel(hdc, x, y, color) != CLR_INVALID;
}

// ---- Lines and shapes --------------------------------------------------------------------------------------------

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT old) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    if (old)
        *old = dc->state.position;
    dc->state.position = POINT{x, y};
    if (dc->pathOpen)
        dc->path.push_back(PathFigure{{dc->toDevice(x, y)}, false});
    return TRUE;
}

BOOL GetCurrentPositionEx(HDC hdc, LPPOINT pos) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !pos)
        return FALSE;
    *pos = dc->state.position;
    return TRUE;
}

// Appends the device points of `count` logical points.
static void AppendDevicePoints(const DeviceContext& dc, const POINT* points, size_t count, std::vector<POINT>& dev) {
    dev.reserve(dev.size() + count);
    for (size_t i = 0; i < count; ++i)
        dev.push_back(dc.toDevice(points[i].x, points[i].y));
}

static void PathLineTo(DeviceContext& dc, POINT dev) {
    if (dc.path.empty() || dc.path.back().closed)
        dc.path.push_back(PathFigure{{dc.toDevice(dc.state.position.x, dc.state.position.y)}, false});
    dc.path.back().points.push_back(dev);
}

BOOL LineTo(HDC hdc, int x, int y) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    POINT from = dc->toDevice(dc->state.position.x, dc->state.position.y);
    POINT to = dc->toDevice(x, y);
    if (dc->pathOpen)
        PathLineTo(*dc, to);
    else
        StrokePolyline(*dc, {from, to}, false, false);
    dc->state.position = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !points || count < 2)
        return FALSE;
    std::vector<POINT> dev;
    AppendDevicePoints(*dc, points, static_cast<size_t>(count), dev);
    if (dc->pathOpen)
        dc->path.push_back(PathFigure{dev, false});
    else
        StrokePolyline(*dc, dev, false, false);
    return TRUE;
}

BOOL PolylineTo(HDC hdc, const POINT* points, DWORD count) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !points || count == 0)
        return FALSE;
    std::vector<POINT> dev{dc->toDevice(dc->state.position.x, dc->state.position.y)};
    AppendDevicePoints(*dc, points, count, dev);
    if (dc->pathOpen) {
        for (size_t i = 1; i < dev.size(); ++i)
            PathLineTo(*dc, dev[i]);
    } else {
        StrokePolyline(*dc, dev, false, false);
    }
    dc->state.position = points[count - 1];
    return TRUE;
}

// Records a closed figure into the open path, or fills it with the brush and outlines it with the pen.
static BOOL DrawClosedShape(DeviceContext& dc, std::vector<POINT> dev) {
    if (dc.pathOpen) {
        dc.path.push_back(PathFigure{std::move(dev), true});
        return TRUE;
    }
    Brush scratch;
    FillPolygonDevice(dc, dev, CurrentBrush(dc, scratch));
    StrokePolyline(dc, dev, true, false);
    return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !points || count < 2)
        return FALSE;
    std::vector<POINT> dev;
    AppendDevicePoints(*dc, points, static_cast<size_t>(count), dev);
    return DrawClosedShape(*dc, std::move(dev));
}

static std::vector<POINT> BezierPoints(DeviceContext& dc, POINT start, const POINT* points, DWORD count) {
    std::vector<POINT> dev{dc.toDevice(start.x, start.y)};
    for (DWORD i = 0; i + 2 < count; i += 3) {
        POINT p0 = dev.back();
        FlattenBezier(p0, dc.toDevice(points[i].x, points[i].y), dc.toDevice(points[i + 1].x, points[i + 1].y),
                      dc.toDevice(points[i + 2].x, points[i + 2].y), dev);
    }
    return dev;
}

BOOL PolyBezier(HDC hdc, const POINT* points, DWORD count) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !points || count < 1 || (count - 1) % 3 != 0)
        return FALSE;
    std::vector<POINT> dev = BezierPoints(*dc, points[0], points + 1, count - 1);
    if (dc->pathOpen)
        dc->path.push_back(PathFigure{dev, false});
    else
        StrokePolyline(*dc, dev, false, false);
    return TRUE;
}

BOOL PolyBezierTo(HDC hdc, const POINT* points, DWORD count) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !points || count % 3 != 0)
        return FALSE;
    std::vector<POINT> dev = BezierPoints(*dc, dc->state.position, points, count);
    if (dc->pathOpen) {
        for (size_t i = 1; i < dev.size(); ++i)
            PathLineTo(*dc, dev[i]);
    } else {
        StrokePolyline(*dc, dev, false, false);
    }
    if (count)
        dc->state.position = points[count - 1];
    return TRUE;
}

// The outline of Rectangle: a width-1 pen covers the border pixels inside [left, right) x [top, bottom).
static std::vector<POINT> RectangleOutline(const DeviceContext& dc, int l, int t, int r, int b) {
    OrderCorners(l, t, r, b);
    return {dc.toDevice(l, t), dc.toDevice(r - 1, t), dc.toDevice(r - 1, b - 1), dc.toDevice(l, b - 1)};
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    if (dc->pathOpen) {
        dc->path.push_back(PathFigure{RectangleOutline(*dc, left, top, right, bottom), true});
        return TRUE;
    }
    OrderCorners(left, top, right, bottom);
    bool pen = dc->state.pen->style != PS_NULL;
    // Without a pen the filled area is one pixel smaller on the right and bottom, as on Windows.
    int inset = pen ? 1 : 0;
    Brush scratch;
    const Brush& brush = CurrentBrush(*dc, scratch);
    if (right - left > 2 * inset && bottom - top > 2 * inset)
        FillRectBrush(*dc, ToDeviceRect(*dc, left + inset, top + inset, right - 1, bottom - 1), brush, dc->state.rop2);
    if (pen && right - left >= 1 && bottom - top >= 1)
        StrokePolyline(*dc, RectangleOutline(*dc, left, top, right, bottom), true, false);
    return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    OrderCorners(left, top, right, bottom);
    double cx = (left + right - 1) / 2.0, cy = (top + bottom - 1) / 2.0;
    double rx = (right - left - 1) / 2.0, ry = (bottom - top - 1) / 2.0;
    std::vector<POINT> dev;
    int steps = std::clamp(static_cast<int>((rx + ry) * 2), 8, 720);
    for (int i = 0; i < steps; ++i) {
        double a = 2 * M_PI * i / steps;
        dev.push_back(dc->toDevice(static_cast<int>(std::lround(cx + rx * std::cos(a))),
                                   static_cast<int>(std::lround(cy + ry * std::sin(a)))));
    }
    return DrawClosedShape(*dc, std::move(dev));
}

// ---- Paths -------------------------------------------------------------------------------------------------------

BOOL BeginPath(HDC hdc) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    dc->path.clear();
    dc->pathOpen = true;
    return TRUE;
}

BOOL EndPath(HDC hdc) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !dc->pathOpen)
        return FALSE;
    dc->pathOpen = false;
    return TRUE;
}

BOOL AbortPath(HDC hdc) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc)
        return FALSE;
    dc->pathOpen = false;
    dc->path.clear();
    return TRUE;
}

BOOL CloseFigure(HDC hdc) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || !dc->pathOpen || dc->path.empty())
        return FALSE;
    dc->path.back().closed = true;
    return TRUE;
}

static BOOL FinishPath(HDC hdc, bool fill, bool stroke) {
    DeviceContext* dc = ToDC(hdc);
    if (!dc || dc->pathOpen)
        return FALSE;
    Brush scratch;
    const Brush& brush = CurrentBrush(*dc, scratch);
    for (const PathFigure& f : dc->path) {
        if (fill)
            FillPolygonDevice(*dc, f.points, brush);
        // A stroked path includes its last point: the path is one outline, not a line with an open end.
        if (stroke)
            StrokePolyline(*dc, f.points, f.closed, true);
    }
    dc->path.clear();
    return TRUE;
}

BOOL StrokePath(HDC hdc) {
    return FinishPath(hdc, false, true);
}
BOOL FillPath(HDC hdc) {
    return FinishPath(hdc, true, false);
}
BOOL StrokeAndFillPath(HDC hdc) {
    return FinishPath(hdc, true, true);
}
