#include "ui/scanwindow/SelectionTracker.h"

#include "scanner/PaperTables.h"
#include "settings/PlatformFlags.h"
#include "ui/scanwindow/CPreviewStatic.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr double kFeederShrink = 85.0 / 101.8;
constexpr double kFeederLengthInch = 14.015748; // the longest feeder paper
constexpr double kFlatbedWidthInch = 8.503937;
constexpr double kMinSideInch = 0.4;
constexpr int kHandle = 6;     // half the side of a handle's square
constexpr int kMinSide = 11;   // pixels at 1x
constexpr int kDashPeriod = 8; // the marching ants: 5 pixels drawn, 3 skipped
constexpr int kDashLength = 5;
constexpr DWORD kIdleMs = 10;

bool Near(int v, int centre) {
    return v >= centre - kHandle && v < centre + kHandle;
}

bool Between(int v, int low, int high) {
    return v >= low && v < high;
}

// The client point of a mouse message aimed at any window, in `control`'s client coordinates.
CPoint MessagePoint(const MSG& msg, HWND control) {
    POINT p{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    if (msg.hwnd != control)
        MapWindowPoints(msg.hwnd, control, &p, 1);
    return CPoint(p.x, p.y);
}

} // namespace

SelectionTracker::SelectionTracker() {
    static const LPCWSTR kCursors[9] = {IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENS,
                                        IDC_SIZEWE,   IDC_SIZENS,   IDC_SIZEWE,   IDC_SIZEALL};
    for (int i = 0; i < 9; ++i)
        m_hCursors[i] = LoadCursorW(nullptr, kCursors[i]);
    const auto flatbedLength = static_cast<float>(g_bHasA3 ? GetMaxScanLengthInch() : 11.692913);
    m_zones[0] = {0, 0, static_cast<float>(kFlatbedWidthInch), flatbedLength};
    m_zones[1] = {0, 0, static_cast<float>(kFlatbedWidthInch), static_cast<float>(kFeederLengthInch)};
    m_zones[2] = m_zones[1];
}

void SelectionTracker::SetArea(const CRect& area) {
    m_rect = area;
    m_rcVisible = area;
    m_rcImage = area;
    UpdateEffectiveRight();
}

void SelectionTracker::SetOffset(float offsetX, float offsetY) {
    m_fOffsetX = offsetX;
    m_fOffsetY = offsetY;
}

void SelectionTracker::UpdateEffectiveRight() {
    const double right = m_rcImage.right;
    m_fEffectiveRight =
        static_cast<float>(IsFeederSource() ? m_rcImage.left + (right - m_rcImage.left) * kFeederShrink : right);
}

CRect SelectionTracker::MirroredOnPage(const CRect& rect) const {
    if (!CPreviewStatic::IsRightToLeft())
        return rect;
    // The picture keeps the page's own orientation in a mirrored control, so the page's left edge is drawn at the
    // selection's right end: a rectangle as drawn and the page's part under it mirror about the page's middle.
    const int pageLeft = m_rcImage.left;
    const int pageRight = m_rcImage.left + static_cast<int>(m_fEffectiveRight - static_cast<float>(m_rcImage.left));
    return CRect(pageLeft + pageRight - rect.right, rect.top, pageLeft + pageRight - rect.left, rect.bottom);
}

double SelectionTracker::MaxLengthInch() const {
    return IsFeederSource() ? kFeederLengthInch : GetMaxScanLengthInch();
}

void SelectionTracker::Rescale(float zoom) {
    if (zoom <= 0 || m_fZoom <= 0)
        return;
    const double factor = static_cast<double>(zoom) / m_fZoom;
    const int originX = m_rcImage.left;
    const int originY = m_rcImage.top;
    // Rounded, so that zooming in and out again gives back the same pixels.
    auto x = [&](LONG& v) { v = originX + static_cast<LONG>((v - originX) * factor + (v >= originX ? 0.5 : -0.5)); };
    auto y = [&](LONG& v) { v = originY + static_cast<LONG>((v - originY) * factor + (v >= originY ? 0.5 : -0.5)); };
    x(m_rect.left);
    x(m_rect.right);
    y(m_rect.top);
    y(m_rect.bottom);
    x(m_rcImage.right);
    y(m_rcImage.bottom);
    m_fZoom = zoom;
    UpdateEffectiveRight();
}

CRect SelectionTracker::SetZoneInches(const SelectionZone& zone, int source, CWnd* control) {
    m_nSource = ClampSource(source);
    m_zones[m_nSource] = zone;
    UpdateEffectiveRight();
    const double maxWidth = GetMaxScanWidthInch();
    const double maxLength = MaxLengthInch();
    const auto span = static_cast<int>(m_fEffectiveRight - static_cast<float>(m_rcImage.left));
    const int imageHeight = m_rcImage.Height();
    m_rect.left = m_rcImage.left + static_cast<int>(span * zone.x / maxWidth);
    m_rect.top = m_rcImage.top + static_cast<int>(imageHeight * zone.y / maxLength);
    m_rect.right = static_cast<int>(m_rect.left + span * zone.width / maxWidth + 0.5);
    m_rect.bottom = static_cast<int>(m_rect.top + imageHeight * zone.height / maxLength + 0.5);
    m_rect = MirroredOnPage(m_rect);
    if (control && control->GetSafeHwnd())
        control->Invalidate(TRUE);
    return m_rect;
}

int SelectionTracker::GetTrackerZone(SelectionZone* zone, int source, int paperIndex) {
    m_nSource = ClampSource(source);
    UpdateEffectiveRight();
    const int count = GetMaxSanSizeNum(static_cast<unsigned>(m_nSource));
    CString line;
    line.Format(u"GetTrackerZone(): nMaxSanSizeNum = %d, nScanSize = %d\r\n", count, paperIndex);
    OutputDebugStringW(line);
    if (paperIndex >= 0 && paperIndex < count) {
        _PaperInfo paper{};
        getPeperInfo(&paper, static_cast<unsigned>(m_nSource), paperIndex);
        zone->width = paper.width;
        zone->height = paper.height;
        return paper.unit;
    }
    *zone = m_zones[m_nSource];
    return kPaperUnitInch;
}

int SelectionTracker::HitTest(CPoint point) const {
    if (!m_rcVisible.PtInRect(point))
        return kHitNone;
    const auto effectiveRight = static_cast<int>(m_fEffectiveRight);
    CRect band = m_rect;
    band.InflateRect(kHandle, kHandle);
    band.left = std::max(band.left, m_rcImage.left);
    band.top = std::max(band.top, m_rcImage.top);
    band.right = std::min<LONG>(band.right, effectiveRight);
    band.bottom = std::min(band.bottom, m_rcImage.bottom);
    const CPoint p(point.x - static_cast<int>(m_fOffsetX), point.y - static_cast<int>(m_fOffsetY));
    if (band.PtInRect(p)) {
        const CRect& r = m_rect;
        if (Near(p.x, r.left) && Near(p.y, r.top))
            return kHitTopLeft;
        if (Near(p.x, r.right) && Near(p.y, r.top))
            return kHitTopRight;
        if (Near(p.x, r.right) && Near(p.y, r.bottom))
            return kHitBottomRight;
        if (Near(p.x, r.left) && Near(p.y, r.bottom))
            return kHitBottomLeft;
        if (Between(p.x, r.left + kHandle, r.right - kHandle) && Near(p.y, r.top))
            return kHitTop;
        if (Near(p.x, r.right) && Between(p.y, r.top + kHandle, r.bottom - kHandle))
            return kHitRight;
        if (Between(p.x, r.left + kHandle, r.right - kHandle) && Near(p.y, r.bottom))
            return kHitBottom;
        if (Near(p.x, r.left) && Between(p.y, r.top + kHandle, r.bottom - kHandle))
            return kHitLeft;
        return kHitMove;
    }
    if (Between(p.x, m_rcImage.left, effectiveRight) && Between(p.y, m_rcImage.top, m_rcImage.bottom))
        return kHitNew;
    return kHitNone;
}

HCURSOR SelectionTracker::CursorOf(int hit, BOOL rightToLeft) const {
    if (hit < 0 || hit > kHitMove)
        return LoadCursorW(nullptr, IDC_ARROW);
    // Mirrored, the corners lean the other way.
    if (rightToLeft && hit <= kHitBottomLeft)
        return m_hCursors[hit % 2 == 0 ? kHitTopRight : kHitTopLeft];
    return m_hCursors[hit];
}

BOOL SelectionTracker::Track(CPreviewStatic* control, CPoint point) {
    const int hit = HitTest(point);
    if (hit == kHitNone)
        return TRUE;
    const HWND hwnd = control->GetSafeHwnd();
    m_rcSaved = m_rect;
    m_bDragging = TRUE;
    m_bFirstStep = TRUE;
    m_bChangedQuietly = FALSE;
    if (hit == kHitMove)
        SetCursor(m_hCursors[kHitMove]);
    // The click in image space, where it stays while the view scrolls under the mouse.
    const CPoint start(point.x - static_cast<int>(m_fOffsetX), point.y - static_cast<int>(m_fOffsetY));

    for (;;) {
        // The drag ends with the button, and also when something else took the mouse or the window is gone.
        if (!IsWindow(hwnd))
            return FALSE; // the control (and this tracker with it) may be gone: touch nothing
        if (GetCapture() != hwnd)
            break;
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(kIdleMs);
            continue;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop that owns the thread
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (!IsWindow(hwnd))
            return FALSE;
        if (msg.message == WM_LBUTTONUP)
            break;
        if (msg.message != WM_MOUSEMOVE) {
            Sleep(kIdleMs);
            continue;
        }
        m_nAutoScrollDir = kScrollNone;
        const CPoint client = control->ToDrawingPoint(MessagePoint(msg, hwnd));
        const CPoint current(client.x - static_cast<int>(m_fOffsetX), client.y - static_cast<int>(m_fOffsetY));
        const int dx = current.x - start.x;
        const int dy = current.y - start.y;
        if (dx == 0 && dy == 0)
            continue;
        if (!ChangeZone(hit, start, current, dx, dy, control))
            continue;
        m_bChangedQuietly = FALSE;
        control->Invalidate(FALSE);
        m_nLastHit = hit;
        m_ptLastStart = start;
        m_ptLastCurrent = current;
        m_nAccDx = dx;
        m_nAccDy = dy;
        // Beyond an edge of the view the timer scrolls on that way (the vertical direction wins).
        if (client.x < m_rcVisible.left)
            m_nAutoScrollDir = kScrollLeft;
        else if (client.x > m_rcVisible.right)
            m_nAutoScrollDir = kScrollRight;
        if (client.y < m_rcVisible.top)
            m_nAutoScrollDir = kScrollUp;
        else if (client.y > m_rcVisible.bottom)
            m_nAutoScrollDir = kScrollDown;
    }

    m_nAutoScrollDir = kScrollNone;
    if (m_bChangedQuietly) // the automatic scroll changed the selection after the owner last heard of it
        NotifyOwner(hit, control);
    m_bChangedQuietly = FALSE;
    if (m_bMoving) {
        m_bMoving = FALSE;
        control->Invalidate(FALSE);
    }
    m_bDragging = FALSE;
    POINT cursor{};
    GetCursorPos(&cursor);
    control->ScreenToClient(&cursor);
    SetCursor(CursorOf(HitTest(control->ToDrawingPoint(CPoint(cursor.x, cursor.y))), CPreviewStatic::IsRightToLeft()));
    return TRUE;
}

BOOL SelectionTracker::ChangeZone(int hit, CPoint start, CPoint current, int dx, int dy, CPreviewStatic* control) {
    const int minSide = static_cast<int>(kMinSide * m_fZoom);
    const auto effectiveRight = static_cast<int>(m_fEffectiveRight);
    auto changeLeft = [&] {
        m_rect.left = std::min(std::max(m_rcSaved.left + dx, m_rcImage.left), m_rect.right - minSide);
        m_bWidthChanged = TRUE;
    };
    auto changeRight = [&] {
        m_rect.right = std::max(std::min(m_rcSaved.right + dx, effectiveRight), m_rect.left + minSide);
        m_bWidthChanged = TRUE;
    };
    auto changeTop = [&] {
        m_rect.top = std::min(std::max(m_rcSaved.top + dy, m_rcImage.top), m_rect.bottom - minSide);
        m_bHeightChanged = TRUE;
    };
    auto changeBottom = [&] {
        m_rect.bottom = std::max(std::min(m_rcSaved.bottom + dy, m_rcImage.bottom), m_rect.top + minSide);
        m_bHeightChanged = TRUE;
    };

    switch (hit) {
    case kHitTopLeft:
        changeLeft();
        changeTop();
        break;
    case kHitTopRight:
        changeRight();
        changeTop();
        break;
    case kHitBottomRight:
        changeRight();
        changeBottom();
        break;
    case kHitBottomLeft:
        changeLeft();
        changeBottom();
        break;
    case kHitTop:
        changeTop();
        break;
    case kHitRight:
        changeRight();
        break;
    case kHitBottom:
        changeBottom();
        break;
    case kHitLeft:
        changeLeft();
        break;
    case kHitMove:
        MoveRectangle(dx, dy);
        break;
    case kHitNew:
        if (!NewRectangle(start, current, dx, dy))
            return FALSE;
        break;
    default:
        return FALSE;
    }
    UpdateInches();
    if (control)
        NotifyOwner(hit, control);
    else
        m_bChangedQuietly = TRUE;
    return TRUE;
}

void SelectionTracker::NotifyOwner(int hit, CPreviewStatic* control) {
    CPreviewOwner* owner = control->GetOwner();
    if (!owner)
        return;
    if (hit != kHitMove) {
        owner->UpdateSizeInfo();
        owner->MarkSettingModified();
    }
    owner->ResetPaperToWholeArea();
}

void SelectionTracker::MoveRectangle(int dx, int dy) {
    m_bMoving = TRUE;
    m_rect = m_rcSaved;
    m_rect.OffsetRect(dx, dy);
    // Against an edge the rectangle keeps its size and slides along it.
    const auto effectiveRight = static_cast<int>(m_fEffectiveRight);
    if (m_rect.left < m_rcImage.left)
        m_rect.OffsetRect(m_rcImage.left - m_rect.left, 0);
    if (m_rect.top < m_rcImage.top)
        m_rect.OffsetRect(0, m_rcImage.top - m_rect.top);
    if (m_rect.right > effectiveRight)
        m_rect.OffsetRect(effectiveRight - m_rect.right, 0);
    if (m_rect.bottom > m_rcImage.bottom)
        m_rect.OffsetRect(0, m_rcImage.bottom - m_rect.bottom);
}

BOOL SelectionTracker::NewRectangle(CPoint start, CPoint current, int dx, int dy) {
    // A purely horizontal or vertical first movement starts nothing.
    if (m_bFirstStep) {
        if (dx == 0 || dy == 0)
            return FALSE;
        m_bFirstStep = FALSE;
    }
    m_bWidthChanged = TRUE;
    m_bHeightChanged = TRUE;
    const int minSide = static_cast<int>(kMinSide * m_fZoom);
    // One axis: from the click to the pointer, at least minSide long, inside [low, high]. Near an edge the
    // rectangle grows away from it rather than falling under the smallest side.
    auto span = [minSide](int from, int to, int delta, int low, int high, LONG& first, LONG& last) {
        if (delta < 1) {
            first = to;
            last = from;
            if (last - first < minSide)
                first = last - minSide;
            first = std::max(first, static_cast<LONG>(low));
            last = std::max(last, first + minSide);
        } else {
            first = from;
            last = to;
            last = std::max(last, first + minSide);
            last = std::min(last, static_cast<LONG>(high));
            first = std::min(first, last - minSide);
        }
    };
    span(start.x, current.x, dx, m_rcImage.left, static_cast<int>(m_fEffectiveRight), m_rect.left, m_rect.right);
    span(start.y, current.y, dy, m_rcImage.top, m_rcImage.bottom, m_rect.top, m_rect.bottom);
    return TRUE;
}

void SelectionTracker::UpdateInches() {
    const double maxWidth = GetMaxScanWidthInch();
    const double maxLength = MaxLengthInch();
    const auto span = static_cast<int>(m_fEffectiveRight - static_cast<float>(m_rcImage.left));
    const int imageHeight = m_rcImage.Height();
    if (span <= 0 || imageHeight <= 0)
        return;
    SelectionZone& zone = m_zones[m_nSource];
    const CRect onPage = MirroredOnPage(m_rect);
    zone.x = static_cast<float>((onPage.left - m_rcImage.left) * maxWidth / span);
    zone.y = static_cast<float>((m_rect.top - m_rcImage.top) * maxLength / imageHeight);
    if (m_bWidthChanged)
        zone.width = static_cast<float>(std::max(std::min(m_rect.Width() * maxWidth / span, maxWidth), kMinSideInch));
    if (m_bHeightChanged)
        zone.height =
            static_cast<float>(std::max(std::min(m_rect.Height() * maxLength / imageHeight, maxLength), kMinSideInch));
    m_bWidthChanged = FALSE;
    m_bHeightChanged = FALSE;
}

void SelectionTracker::AutoScrollStep(CPreviewStatic* control) {
    if (m_nAutoScrollDir == kScrollNone || !m_bDragging)
        return;
    const bool horizontal = m_nAutoScrollDir == kScrollLeft || m_nAutoScrollDir == kScrollRight;
    const int step = (m_nAutoScrollDir == kScrollLeft || m_nAutoScrollDir == kScrollUp) ? -1 : 1;
    const int applied = horizontal ? control->AutoScrollX(step) : control->AutoScrollY(step);
    if (applied == 0) {
        m_nAutoScrollDir = kScrollNone;
        return;
    }
    // The pointer stands still over a view that moved: in image space it moved by the same amount.
    if (horizontal) {
        m_nAccDx += applied;
        m_ptLastCurrent.x += applied;
    } else {
        m_nAccDy += applied;
        m_ptLastCurrent.y += applied;
    }
    ChangeZone(m_nLastHit, m_ptLastStart, m_ptLastCurrent, m_nAccDx, m_nAccDy, nullptr);
}

void SelectionTracker::Draw(CDC* dc) {
    const int saved = dc->SaveDC();
    // The outline is drawn on the rectangle's right and bottom lines themselves, which for a selection of the whole
    // area are the area's right and bottom ends: the clip keeps them (the control has a pixel's margin there).
    CRect clip = m_rcVisible;
    clip.InflateRect(0, 0, 1, 1);
    dc->IntersectClipRect(&clip);
    dc->OffsetViewportOrg(static_cast<int>(m_fOffsetX), static_cast<int>(m_fOffsetY));
    auto outline = [dc](const CRect& r) {
        const POINT corners[5] = {
            {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}, {r.left, r.top}};
        dc->Polyline(corners, 5);
    };
    CPen white(PS_SOLID, 1, RGB(255, 255, 255));
    CPen* oldPen = dc->SelectObject(&white);
    outline(m_rect);
    CPen dotted(PS_DOT, 1, RGB(128, 128, 128));
    if (m_bMoving) {
        dc->SelectObject(&dotted);
        outline(m_rcSaved);
    }
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    dc->SelectObject(&black);
    DrawDashes(dc);
    dc->SelectObject(oldPen);
    dc->RestoreDC(saved);
}

// Two runs of 5-on, 3-off dashes over the white outline, both starting at the top-left corner: along the top edge
// and on down the right edge, and down the left edge and on along the bottom edge. The phase moves the pattern.
void SelectionTracker::DrawDashes(CDC* dc) const {
    const CRect& r = m_rect;
    // Pixels `first` .. `first + length - 1` of a run, laid from (x, y) in the direction (ux, uy).
    auto edge = [&](int x, int y, int ux, int uy, int length, int first) {
        int i = 0;
        while (i < length) {
            const int position = first + i;
            const int inPeriod = ((position - m_nDashPhase) % kDashPeriod + kDashPeriod) % kDashPeriod;
            if (inPeriod >= kDashLength) {
                i += kDashPeriod - inPeriod;
                continue;
            }
            const int run = std::min(kDashLength - inPeriod, length - i);
            dc->MoveTo(x + ux * i, y + uy * i);
            dc->LineTo(x + ux * (i + run), y + uy * (i + run));
            i += run;
        }
    };
    const int width = r.Width();
    const int height = r.Height();
    edge(r.left, r.top, 1, 0, width + 1, 0);
    edge(r.right, r.top + 1, 0, 1, height, width + 1);
    edge(r.left, r.top, 0, 1, height + 1, 0);
    edge(r.left + 1, r.bottom, 1, 0, width, height + 1);
}
