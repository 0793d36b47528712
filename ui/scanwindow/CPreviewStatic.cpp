#include "ui/scanwindow/CPreviewStatic.h"

#include "imaging/CImage.h"
#include "settings/Language.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kLanguageArabic = 10;
constexpr int kLanguageHebrew = 21;
constexpr int kAutoScrollSteps = 30; // per timer tick
constexpr float kFeederShrinkX = 85.0f / 101.8f;
constexpr float kFeederShrinkY = 116.9f / 140.0f; // the flatbed's length within the longest feeder paper
constexpr int kImageInset = CPreviewStatic::kRulerStrip + 1;
constexpr int kAnchorInset = CPreviewStatic::kRulerStrip; // a zoom's anchor is counted from the ruler's edge

HCURSOR ResourceCursor(UINT id) {
    if (HCURSOR cursor = LoadCursorW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)))
        return cursor;
    return LoadCursorW(nullptr, IDC_ARROW); // never an invisible pointer
}

} // namespace

BEGIN_MESSAGE_MAP(CPreviewStatic, CStatic)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_LBUTTONUP()
ON_WM_SETCURSOR()
ON_WM_TIMER()
ON_WM_DESTROY()
ON_WM_MOUSELEAVE()
END_MESSAGE_MAP()

CPreviewStatic::CPreviewStatic() = default;
CPreviewStatic::~CPreviewStatic() = default;

BOOL CPreviewStatic::IsRightToLeft() {
    return g_LangugueID == kLanguageArabic || g_LangugueID == kLanguageHebrew;
}

CPoint CPreviewStatic::ToDrawingPoint(CPoint client) const {
    if (!IsRightToLeft())
        return client;
    CRect rect;
    GetClientRect(&rect);
    return CPoint(rect.Width() - 1 - client.x, client.y);
}

void CPreviewStatic::InvalidateDrawn(const CRect& rect, BOOL erase) {
    CRect r = rect;
    if (IsRightToLeft()) {
        CRect client;
        GetClientRect(&client);
        r.left = client.Width() - rect.right;
        r.right = client.Width() - rect.left;
    }
    InvalidateRect(&r, erase);
}

void CPreviewStatic::Init(CPreviewOwner* owner, CScrollBar* horizontal, CScrollBar* vertical) {
    m_pOwner = owner;
    m_pHScroll = horizontal;
    m_pVScroll = vertical;
    CRect client;
    GetClientRect(&client);
    m_bSurfaceReady = m_offscreen.Create(client.Size());
    m_rcImage.SetRect(client.left + kImageInset, client.top + kImageInset, client.right - 1, client.bottom - 1);
    m_tracker.SetArea(m_rcImage);
    m_ruler.Init(kRulerStrip, m_rcImage.Width(), m_rcImage.Height());
    m_nFullWidth = m_nViewWidth = m_rcImage.Width();
    m_nFullHeight = m_nViewHeight = m_rcImage.Height();
    auto reset = [](CScrollBar* bar, int size) {
        if (!bar)
            return;
        SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, size, static_cast<UINT>(size), 0, 0};
        bar->SetScrollInfo(&info);
    };
    reset(m_pHScroll, m_nFullWidth);
    reset(m_pVScroll, m_nFullHeight);
    SetTimer(kAnimationTimer, kAnimationMs);
}

void CPreviewStatic::SetImage(CImage* image) {
    m_pImage = image;
}

void CPreviewStatic::InvalidateRows(int firstRow, int, int totalRows) {
    if (totalRows <= 0 || !GetSafeHwnd())
        return;
    // Where the row stands as drawn: the image fills the area (its upper part in the feeder view) and the zoom
    // shows the part below the view's offset.
    const float height = static_cast<float>(m_rcImage.Height()) * (m_nFeederView ? kFeederShrinkY : 1.0f);
    const float visibleRows = static_cast<float>(totalRows) / m_fZoom;
    const float topRow = (-m_fOffsetY / m_fZoom) * static_cast<float>(totalRows) /
                         static_cast<float>(std::max(1, static_cast<int>(m_rcImage.Height()) - 1));
    const float row = static_cast<float>(std::clamp(firstRow, 0, totalRows));
    const float y = static_cast<float>(m_rcImage.top) + (row - topRow) * height / visibleRows;
    const int top = std::max(static_cast<int>(m_rcImage.top), static_cast<int>(y) - 1);
    if (top >= m_rcImage.bottom)
        return;
    CRect client;
    GetClientRect(&client);
    const CRect rows(client.left, top, client.right, m_rcImage.bottom);
    InvalidateRect(&rows, TRUE);
}

void CPreviewStatic::SetRulerUnit(int unitIndex, int dpi) {
    m_ruler.SetUnit(unitIndex == 0 ? PreviewRuler::kInch : unitIndex + 1, dpi);
    if (!GetSafeHwnd())
        return;
    const auto band = static_cast<int>(m_ruler.GetBand());
    const auto width = static_cast<int>(m_ruler.GetWidth());
    const auto height = static_cast<int>(m_ruler.GetHeight());
    InvalidateDrawn(CRect(1, 1, 2 + band + width, 1 + band), TRUE);
    InvalidateDrawn(CRect(1, 1 + band, 1 + band, 3 + band + height), TRUE);
}

CRect CPreviewStatic::SetScanArea(int source, int, const SelectionZone& zone) {
    m_nFeederView = source;
    UpdateScrollBars(CPoint(0, 0));
    return m_tracker.SetZoneInches(zone, source, this);
}

int CPreviewStatic::GetTrackerZone(SelectionZone* zone, int source, int paperIndex) {
    m_nFeederView = source;
    return m_tracker.GetTrackerZone(zone, source, paperIndex);
}

void CPreviewStatic::SetInteractive(BOOL interactive) {
    m_nInteractive = interactive;
}

void CPreviewStatic::SetToolMode(int mode) {
    if (mode == m_nToolMode)
        return;
    m_bZoomLimit = FALSE;
    m_nToolMode = mode;
    m_handDrag.active = FALSE;
}

void CPreviewStatic::SetScrollPosX(int pos) {
    m_fOffsetX = static_cast<float>(-pos);
    UpdateTrackerOffset();
    if (GetSafeHwnd())
        Invalidate(TRUE);
}

void CPreviewStatic::SetScrollPosY(int pos) {
    m_fOffsetY = static_cast<float>(-pos);
    UpdateTrackerOffset();
    if (GetSafeHwnd())
        Invalidate(TRUE);
}

void CPreviewStatic::ResetZoom() {
    m_bZoomLimit = FALSE;
    m_fZoom = 1.0f;
    UpdateScrollBars(CPoint(0, 0));
    m_nToolMode = kToolSelect;
    m_tracker.Rescale(m_fZoom);
    if (m_pOwner)
        m_pOwner->EnableZoomButtons(TRUE, FALSE);
}

void CPreviewStatic::ZoomIn(CPoint anchor) {
    if (m_fZoom >= kMaxZoom)
        return;
    m_fZoom += 1;
    m_bZoomLimit = m_fZoom >= kMaxZoom;
    UpdateScrollBars(anchor);
    EnableOwnerZoomButtons();
    m_tracker.Rescale(m_fZoom);
}

void CPreviewStatic::ZoomOut(CPoint anchor) {
    if (m_fZoom <= kMinZoom)
        return;
    m_fZoom -= 1;
    m_bZoomLimit = m_fZoom <= kMinZoom;
    UpdateScrollBars(anchor);
    EnableOwnerZoomButtons();
    m_tracker.Rescale(m_fZoom);
}

void CPreviewStatic::EnableOwnerZoomButtons() {
    if (m_pOwner)
        m_pOwner->EnableZoomButtons(m_fZoom<kMaxZoom, m_fZoom> kMinZoom);
}

void CPreviewStatic::UpdateScrollBars(CPoint anchor) {
    const bool zoomed = m_fZoom != 1.0f;
    // One axis: the view's size, the zoomed (virtual) size, and the offset that keeps the anchor's image point.
    auto update = [&](CScrollBar* bar, int full, int view, int anchorPos, float& offset) {
        const float virtualSize = zoomed ? static_cast<float>(view) * m_fZoom - static_cast<float>(full - view)
                                         : static_cast<float>(view) * m_fZoom;
        int minPos = 0;
        int oldMax = 0;
        bar->GetScrollRange(&minPos, &oldMax);
        if (oldMax <= 0 || !zoomed) {
            offset = 0;
        } else {
            const auto a = static_cast<float>(anchorPos - kAnchorInset);
            offset = ((offset - a) * virtualSize + a * static_cast<float>(oldMax)) / static_cast<float>(oldMax);
        }
        offset = std::min(offset, static_cast<float>(-minPos));
        offset = std::max(offset, static_cast<float>(view) - virtualSize);
        SCROLLINFO info{sizeof(SCROLLINFO),
                        SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL,
                        0,
                        static_cast<int>(virtualSize),
                        static_cast<UINT>(view),
                        static_cast<int>(-offset),
                        0};
        bar->SetScrollInfo(&info);
        const BOOL usable = zoomed && !m_nFeederView;
        bar->EnableWindow(usable);
        bar->ShowWindow(usable ? SW_SHOW : SW_HIDE);
    };
    if (m_pHScroll) {
        m_nViewWidth =
            m_nFeederView ? static_cast<int>(static_cast<float>(m_nFullWidth) * kFeederShrinkX) : m_nFullWidth;
        update(m_pHScroll, m_nFullWidth, m_nViewWidth, anchor.x, m_fOffsetX);
    }
    if (m_pVScroll) {
        m_nViewHeight = m_nFullHeight;
        update(m_pVScroll, m_nFullHeight, m_nViewHeight, anchor.y, m_fOffsetY);
    }
    UpdateTrackerOffset();
    if (GetSafeHwnd())
        Invalidate(TRUE);
}

int CPreviewStatic::AutoScrollX(int delta) {
    return AutoScroll(m_pHScroll, m_nViewWidth, m_fOffsetX, delta);
}

int CPreviewStatic::AutoScrollY(int delta) {
    return AutoScroll(m_pVScroll, m_nViewHeight, m_fOffsetY, delta);
}

int CPreviewStatic::AutoScroll(CScrollBar* bar, int view, float& offset, int delta) {
    if (m_fZoom == 1.0f || !bar)
        return 0;
    int minPos = 0;
    int maxPos = 0;
    bar->GetScrollRange(&minPos, &maxPos);
    const int pos = bar->GetScrollPos();
    const int next = std::max(minPos, std::min(pos + delta, maxPos - view));
    bar->SetScrollPos(next, TRUE);
    offset = static_cast<float>(-next);
    UpdateTrackerOffset();
    Invalidate(FALSE);
    return next - pos;
}

void CPreviewStatic::UpdateTrackerOffset() {
    m_tracker.SetOffset(m_fOffsetX, m_fOffsetY);
}

void CPreviewStatic::OnPaint() {
    CPaintDC dc(this);
    CDC* mem = nullptr;
    if (!m_bSurfaceReady || !m_offscreen.GetMemDC(&mem))
        return;
    CRect client;
    GetClientRect(&client);
    const DWORD layout = IsRightToLeft() ? LAYOUT_RTL : 0;
    const int saved = mem->SaveDC();
    mem->SetLayout(layout);
    mem->FillSolidRect(&client, RGB(255, 255, 255));
    // The page itself is drawn as scanned, only its place follows the mirrored layout.
    if (layout)
        mem->SetLayout(layout | LAYOUT_BITMAPORIENTATIONPRESERVED);
    DrawImage(mem);
    mem->SetLayout(layout);
    m_ruler.Draw(mem, m_fZoom, static_cast<int>(m_fOffsetX), static_cast<int>(m_fOffsetY), m_nFeederView);
    m_tracker.Draw(mem);
    // The screen copy keeps the surface's direction, whatever the window's own layout is, so the control is
    // mirrored exactly when the mouse is (ToDrawingPoint).
    dc.SetLayout(layout);
    dc.BitBlt(0, 0, client.Width(), client.Height(), mem, 0, 0, SRCCOPY);
    mem->RestoreDC(saved);
}

void CPreviewStatic::DrawImage(CDC* dc) {
    if (!m_pImage)
        return;
    const int imageWidth = m_pImage->GetWidth();
    const int imageHeight = m_pImage->GetHeight();
    const int areaWidth = m_rcImage.Width();
    const int areaHeight = m_rcImage.Height();
    if (imageWidth <= 0 || imageHeight <= 0 || areaWidth <= 1 || areaHeight <= 1)
        return;
    dc->SetStretchBltMode(COLORONCOLOR);
    // The part of the image the view shows: offsets are zoomed area pixels.
    CRect src;
    src.left =
        static_cast<int>((-m_fOffsetX / m_fZoom) * static_cast<float>(imageWidth) / static_cast<float>(areaWidth - 1));
    src.top = static_cast<int>((-m_fOffsetY / m_fZoom) * static_cast<float>(imageHeight) /
                               static_cast<float>(areaHeight - 1));
    src.right = std::min(imageWidth, src.left + static_cast<int>(static_cast<float>(imageWidth) / m_fZoom));
    src.bottom = std::min(imageHeight, src.top + static_cast<int>(static_cast<float>(imageHeight) / m_fZoom));
    if (IsRightToLeft()) {
        // The view's columns counted from the page's right edge, as the mirrored area shows them.
        const LONG left = src.left;
        src.left = std::max<LONG>(0, imageWidth - (left + static_cast<int>(static_cast<float>(imageWidth) / m_fZoom)));
        src.right = imageWidth - left;
    }
    CRect dest = m_rcImage;
    if (m_nFeederView) {
        dest.right = dest.left + static_cast<int>(static_cast<float>(areaWidth) * kFeederShrinkX);
        dest.bottom = dest.top + static_cast<int>(static_cast<float>(areaHeight) * kFeederShrinkY);
    }
    // A picture that cannot be drawn (no memory for its display copy) leaves the area white; the host goes on.
    try {
        m_pImage->Draw(dc, &dest, &src, SRCCOPY);
    } catch (const char* error) {
        dc->FillSolidRect(&m_rcImage, RGB(255, 255, 255));
        const std::string line =
            std::string("CPreviewStatic::OnPaint: the preview image was not drawn: ") + (error ? error : "") + "\r\n";
        OutputDebugStringA(line.c_str());
    } catch (...) {
        dc->FillSolidRect(&m_rcImage, RGB(255, 255, 255));
        OutputDebugStringA("CPreviewStatic::OnPaint: the preview image was not drawn\r\n");
    }
}

void CPreviewStatic::OnMouseMove(UINT, CPoint point) {
    const CPoint p = ToDrawingPoint(point);
    switch (m_nToolMode) {
    case kToolSelect:
        if (!m_tracker.IsDragging())
            SetCursor(m_tracker.CursorOf(m_tracker.HitTest(p), IsRightToLeft()));
        break;
    case kToolZoomIn:
    case kToolZoomOut:
        SetZoomToolCursor(p);
        break;
    case kToolHand:
        if (!m_bTrackingLeave) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, m_hWnd, 0};
            m_bTrackingLeave = TrackMouseEvent(&track);
        }
        SetCursor(ResourceCursor(kCursorHand));
        if (m_handDrag.active) {
            if (m_pOwner)
                m_pOwner->ScrollPreviewBy(p.x - m_handDrag.last.x, p.y - m_handDrag.last.y);
            m_handDrag.last = p;
        }
        break;
    default:
        break;
    }
}

void CPreviewStatic::OnLButtonDown(UINT, CPoint point) {
    const CPoint p = ToDrawingPoint(point);
    switch (m_nToolMode) {
    case kToolSelect: {
        SetCapture();
        const HWND self = m_hWnd;
        if (!m_tracker.Track(this, p))
            return; // the window went away during the drag
        if (::GetCapture() == self)
            ReleaseCapture();
        break;
    }
    case kToolZoomIn:
    case kToolZoomOut:
        if (m_tracker.HitTest(p) == SelectionTracker::kHitNone)
            break;
        if (m_nToolMode == kToolZoomIn)
            ZoomIn(p);
        else
            ZoomOut(p);
        SetZoomToolCursor(p);
        break;
    case kToolHand:
        if (m_fZoom != 1.0f) {
            m_handDrag.active = TRUE;
            m_handDrag.last = p;
        }
        break;
    default:
        break;
    }
}

// The static class counts a quick second press as a double click; here it is a press like any other.
void CPreviewStatic::OnLButtonDblClk(UINT flags, CPoint point) {
    OnLButtonDown(flags, point);
}

void CPreviewStatic::OnLButtonUp(UINT, CPoint point) {
    const CPoint p = ToDrawingPoint(point);
    switch (m_nToolMode) {
    case kToolSelect:
        if (!m_tracker.IsDragging())
            SetCursor(m_tracker.CursorOf(m_tracker.HitTest(p), IsRightToLeft()));
        break;
    case kToolZoomIn:
    case kToolZoomOut:
        SetZoomToolCursor(p);
        break;
    case kToolHand:
        m_handDrag.active = FALSE;
        break;
    default:
        break;
    }
}

void CPreviewStatic::SetZoomToolCursor(CPoint point) {
    if (!m_rcImage.PtInRect(point))
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    else if (m_bZoomLimit)
        SetCursor(ResourceCursor(kCursorZoomLimit));
    else
        SetCursor(ResourceCursor(m_nToolMode == kToolZoomIn ? kCursorZoomIn : kCursorZoomOut));
}

BOOL CPreviewStatic::OnSetCursor(CWnd*, UINT, UINT) {
    return TRUE; // the mouse handlers choose the cursor
}

void CPreviewStatic::OnTimer(UINT_PTR id) {
    if (id != kAnimationTimer) {
        CStatic::OnTimer(id);
        return;
    }
    if (!m_nInteractive)
        return;
    m_tracker.NextDashPhase();
    Invalidate(FALSE);
    if (m_fZoom > 1)
        for (int i = 0; i < kAutoScrollSteps; ++i)
            m_tracker.AutoScrollStep(this);
}

void CPreviewStatic::OnDestroy() {
    CStatic::OnDestroy();
    KillTimer(kAnimationTimer);
}

void CPreviewStatic::OnMouseLeave() {
    m_bTrackingLeave = FALSE;
    m_handDrag.active = FALSE;
}
