#include "ui/scanwindow/SelectionTracker.h"

#include "ui/scanwindow/CPreviewStatic.h"

SelectionTracker::SelectionTracker() = default;

void SelectionTracker::SetArea(const CRect& area) {
    m_rect = area;
    m_rcVisible = area;
    m_rcImage = area;
}

void SelectionTracker::SetOffset(float offsetX, float offsetY) {
    m_fOffsetX = offsetX;
    m_fOffsetY = offsetY;
}

void SelectionTracker::Rescale(float zoom) {
    m_fZoom = zoom;
}

CRect SelectionTracker::SetZoneInches(const SelectionZone& zone, int source, CWnd*) {
    m_zones[ClampSource(source)] = zone;
    return m_rect;
}

int SelectionTracker::GetTrackerZone(SelectionZone* zone, int source, int) {
    *zone = m_zones[ClampSource(source)];
    return 0;
}

int SelectionTracker::HitTest(CPoint) const {
    return kHitNone;
}

HCURSOR SelectionTracker::CursorOf(int, BOOL) const {
    return nullptr;
}

void SelectionTracker::Track(CPreviewStatic*, CPoint) {}

BOOL SelectionTracker::ChangeZone(int, CPoint, CPoint, int, int, CPreviewStatic*) {
    return FALSE;
}

void SelectionTracker::AutoScrollStep(CPreviewStatic*) {}

void SelectionTracker::Draw(CDC*) {}
