#include "ui/scanwindow/CPreviewStatic.h"

BEGIN_MESSAGE_MAP(CPreviewStatic, CStatic)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_SETCURSOR()
ON_WM_TIMER()
ON_WM_DESTROY()
ON_WM_MOUSELEAVE()
END_MESSAGE_MAP()

CPreviewStatic::CPreviewStatic() = default;
CPreviewStatic::~CPreviewStatic() = default;

void CPreviewStatic::Init(CPreviewOwner* owner, CScrollBar* horizontal, CScrollBar* vertical) {
    m_pOwner = owner;
    m_pHScroll = horizontal;
    m_pVScroll = vertical;
}
void CPreviewStatic::SetImage(CImage* image) {
    m_pImage = image;
}
void CPreviewStatic::InvalidateRows(int, int, int) {}
void CPreviewStatic::SetRulerUnit(int, int) {}
CRect CPreviewStatic::SetScanArea(int source, int, const SelectionZone& zone) {
    m_nFeederView = source;
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
    m_nToolMode = mode;
}
void CPreviewStatic::SetScrollPosX(int) {}
void CPreviewStatic::SetScrollPosY(int) {}
void CPreviewStatic::ResetZoom() {}
void CPreviewStatic::ZoomIn(CPoint) {}
void CPreviewStatic::ZoomOut(CPoint) {}
void CPreviewStatic::UpdateScrollBars(CPoint) {}
int CPreviewStatic::AutoScrollX(int) {
    return 0;
}
int CPreviewStatic::AutoScrollY(int) {
    return 0;
}
CPoint CPreviewStatic::ToDrawingPoint(CPoint client) const {
    return client;
}
BOOL CPreviewStatic::IsRightToLeft() {
    return FALSE;
}
void CPreviewStatic::OnPaint() {}
void CPreviewStatic::OnMouseMove(UINT, CPoint) {}
void CPreviewStatic::OnLButtonDown(UINT, CPoint) {}
void CPreviewStatic::OnLButtonUp(UINT, CPoint) {}
BOOL CPreviewStatic::OnSetCursor(CWnd*, UINT, UINT) {
    return TRUE;
}
void CPreviewStatic::OnTimer(UINT_PTR) {}
void CPreviewStatic::OnDestroy() {}
void CPreviewStatic::OnMouseLeave() {}
void CPreviewStatic::DrawImage(CDC*) {}
void CPreviewStatic::SetZoomToolCursor(CPoint) {}
void CPreviewStatic::UpdateTrackerOffset() {}
void CPreviewStatic::EnableOwnerZoomButtons() {}
