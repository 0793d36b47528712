// The selection of the preview: the scan area as a rectangle that the user draws, moves and resizes with the mouse,
// kept both in pixels of the zoomed image and, per scan source, in inches.
//
// Pixel values are in image space: client coordinates of the control with the view's scroll offsets taken away,
// so they do not change while the view scrolls. The image area grows with the zoom from its top-left corner.
#pragma once

#include "platform/user/afxwin.h"

// A scan area in inches, from the top-left corner of the scanner's bed. Zeroed unless given.
struct SelectionZone {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

class CPreviewStatic;

class SelectionTracker {
public:
    // Hit types: the corners, the edges, the inside; -1 outside the selection but on the image (a new rectangle),
    // -2 off the image (nothing).
    enum Hit {
        kHitNone = -2,
        kHitNew = -1,
        kHitTopLeft = 0,
        kHitTopRight = 1,
        kHitBottomRight = 2,
        kHitBottomLeft = 3,
        kHitTop = 4,
        kHitRight = 5,
        kHitBottom = 6,
        kHitLeft = 7,
        kHitMove = 8
    };
    // Directions of the automatic scroll while a drag is outside the view.
    enum AutoScroll { kScrollNone = -1, kScrollLeft = 0, kScrollRight = 1, kScrollUp = 2, kScrollDown = 3 };

    SelectionTracker();

    // The image area in client coordinates at zoom 1: the selection becomes all of it.
    void SetArea(const CRect& area);
    void SetZoom(float zoom) { m_fZoom = zoom; }
    void SetOffset(float offsetX, float offsetY);
    // Scales every pixel coordinate from the current zoom to `zoom` about the image's top-left corner.
    void Rescale(float zoom);

    // Stores the zone of `source` (0 flatbed, 1 feeder, 2 feeder duplex), places the rectangle on it and repaints
    // `control` (when given). Returns the rectangle.
    CRect SetZoneInches(const SelectionZone& zone, int source, CWnd* control);
    // A listed paper (index below the source's count) writes its width and height into `zone` (x and y are left as
    // they are) and returns the paper's unit (2 millimetres, 0 inches); otherwise the source's stored zone is
    // copied whole and 0 (inch) is returned.
    int GetTrackerZone(SelectionZone* zone, int source, int paperIndex);

    // The hit type of a client point.
    int HitTest(CPoint point) const;
    // The cursor of a hit type in select mode: the arrow off the selection; corners swapped right to left.
    HCURSOR CursorOf(int hit, BOOL rightToLeft) const;

    // Runs a mouse drag begun at `point` (client coordinates) until the button is released, the control loses the
    // mouse capture or its window is destroyed, pumping the thread's messages meanwhile. A WM_QUIT taken from the
    // queue is put back before it returns. FALSE when the control's window was destroyed meanwhile: the control,
    // and this tracker with it, may then be gone.
    BOOL Track(CPreviewStatic* control, CPoint point);
    // One step of a drag of hit type `hit` from `start` to `current` (image space), by (dx, dy) from the rectangle
    // saved when the drag began. With a control, the owner hears of the change. FALSE when nothing changed.
    BOOL ChangeZone(int hit, CPoint start, CPoint current, int dx, int dy, CPreviewStatic* control);
    // One step of the automatic scroll of a drag that left the view (nothing without a direction).
    void AutoScrollStep(CPreviewStatic* control);
    // The next phase of the marching ants (1 to 8).
    void NextDashPhase() { m_nDashPhase = m_nDashPhase % 8 + 1; }

    // Outlines the selection (white, marching black dashes; the saved rectangle dotted while moving), clipped to
    // the image area.
    void Draw(CDC* dc);

    const CRect& GetRect() const { return m_rect; }
    const CRect& GetSavedRect() const { return m_rcSaved; }
    const CRect& GetVisibleArea() const { return m_rcVisible; }
    const CRect& GetImageArea() const { return m_rcImage; }
    float GetEffectiveRight() const { return m_fEffectiveRight; }
    const SelectionZone& GetZone(int source) const { return m_zones[ClampSource(source)]; }
    int GetSource() const { return m_nSource; }
    BOOL IsMoving() const { return m_bMoving; }
    BOOL IsDragging() const { return m_bDragging; }
    int GetDashPhase() const { return m_nDashPhase; }
    int GetAutoScrollDirection() const { return m_nAutoScrollDir; }

private:
    static int ClampSource(int source) { return source < 0 || source > 2 ? 0 : source; }
    BOOL IsFeederSource() const { return m_nSource != 0; }
    void UpdateEffectiveRight();
    void UpdateInches();
    double MaxLengthInch() const;
    // Right to left, the page's part under a rectangle as drawn (and back); left to right the rectangle itself.
    CRect MirroredOnPage(const CRect& rect) const;
    BOOL NewRectangle(CPoint start, CPoint current, int dx, int dy);
    void MoveRectangle(int dx, int dy);
    void DrawDashes(CDC* dc) const;
    void NotifyOwner(int hit, CPreviewStatic* control);

    CRect m_rect{0, 0, 11, 11};
    CRect m_rcSaved;
    CRect m_rcVisible; // the image area in client coordinates
    CRect m_rcImage;   // image space; right and bottom grow with the zoom
    BOOL m_bMoving = FALSE;
    BOOL m_bDragging = FALSE;
    int m_nDashPhase = 1;
    float m_fZoom = 1.0f;
    float m_fOffsetX = 0;
    float m_fOffsetY = 0;
    int m_nAutoScrollDir = kScrollNone;
    int m_nLastHit = kHitNone;
    CPoint m_ptLastStart;
    CPoint m_ptLastCurrent;
    int m_nAccDx = 0; // of the running drag, grown by the automatic scroll
    int m_nAccDy = 0;
    BOOL m_bFirstStep = FALSE;
    BOOL m_bChangedQuietly = FALSE; // the automatic scroll changed the selection; the owner has not heard yet
    HCURSOR m_hCursors[9] = {};
    float m_fEffectiveRight = 0;
    int m_nSource = 0;
    BOOL m_bWidthChanged = FALSE;
    BOOL m_bHeightChanged = FALSE;
    SelectionZone m_zones[3];
};
