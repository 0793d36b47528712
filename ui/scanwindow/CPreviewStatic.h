// The preview area of the scanning window (control 10139): the 75-dpi preview image with rulers on top and left and
// the selection (the scan area) that the user draws, moves and resizes with the mouse. It zooms from 1x to 5x,
// drags the view with the hand tool and scrolls through two scroll bars that belong to the dialog. The control never
// reads the scanner: the dialog hands it the image, the scan source, the paper zone in inches and the ruler unit,
// and reads the selection back in inches.
//
// Everything is drawn into an off-screen surface and copied to the screen in one block. In Arabic and Hebrew the
// control is mirrored, and the mouse's x with it, so the selection follows the pointer; the page itself keeps its
// orientation, and the selection's inches are counted on the page as it is shown.
#pragma once

#include "ui/controls/COffscreenDC.h"
#include "ui/scanwindow/PreviewRuler.h"
#include "ui/scanwindow/SelectionTracker.h"

#include "platform/user/afxwin.h"

class CImage;

// What the preview asks of the dialog that hosts it (the scanning window). All calls come on the dialog's thread.
class CPreviewOwner {
public:
    // Enables or disables the zoom-in and zoom-out tool buttons.
    virtual void EnableZoomButtons(BOOL zoomIn, BOOL zoomOut) = 0;
    // The size strip shows the selection's new size.
    virtual void UpdateSizeInfo() = 0;
    virtual void MarkSettingModified() = 0;
    // The user changed the selection: the paper becomes the user-defined area (read back with GetTrackerZone).
    virtual void ResetPaperToWholeArea() = 0;
    // The hand tool dragged by (dx, dy) pixels: each scroll bar moves by minus its delta, within its range, and the
    // view follows through SetScrollPosX / SetScrollPosY.
    virtual void ScrollPreviewBy(int dx, int dy) = 0;

protected:
    ~CPreviewOwner() = default;
};

// The mouse tools of the preview (the four tool buttons).
enum PreviewToolMode { kToolSelect = 0, kToolZoomIn = 1, kToolZoomOut = 2, kToolHand = 3 };

class CPreviewStatic : public CStatic {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDC = 10139 };
    static constexpr UINT_PTR kAnimationTimer = 1;
    static constexpr UINT kAnimationMs = 40;
    static constexpr int kRulerStrip = 20; // the rulers' width; the image area starts one pixel further
    static constexpr int kMinZoom = 1;
    static constexpr int kMaxZoom = 5;
    // Cursors of the language library.
    static constexpr UINT kCursorZoomIn = 10333;
    static constexpr UINT kCursorZoomOut = 10334;
    static constexpr UINT kCursorZoomLimit = 10353;
    static constexpr UINT kCursorHand = 10382;

    CPreviewStatic();
    ~CPreviewStatic() override;

    // From the dialog's OnInitDialog, once the control has its window: sizes the image area and the off-screen
    // surface from the client rectangle, resets both scroll bars (either may be null) and starts the 40-ms timer
    // that animates the selection.
    void Init(CPreviewOwner* owner, CScrollBar* horizontal, CScrollBar* vertical);
    // The image to show (not owned; may be null). No repaint: InvalidateRows follows.
    void SetImage(CImage* image);
    // Repaints the image area from image row `firstRow` (of `totalRows`) down to the bottom, as the rows are shown
    // at the current zoom and scroll position; nothing when totalRows <= 0. The middle argument is not used: while
    // preview strips arrive, pass the first row of the newest strip; pass 0 to repaint the whole image.
    void InvalidateRows(int firstRow, int rowCount, int totalRows);
    // The ruler unit from the dialog's unit index (0 inch, 1 millimetre, 2 pixel) and the scan resolution.
    void SetRulerUnit(int unitIndex, int dpi);
    // Places the selection on `zone` (inches) for `source` (0 flatbed, 1 feeder, 2 feeder duplex; a feeder source
    // shows the feeder view). The middle argument is not used. Returns the selection in image pixels.
    CRect SetScanArea(int source, int unused, const SelectionZone& zone);
    // The selection of `source` in inches, or the size of the listed paper `paperIndex` (see SelectionTracker);
    // returns the unit of the sizes written (2 millimetres, 0 inches).
    int GetTrackerZone(SelectionZone* zone, int source, int paperIndex);
    // The dialog clears it while it is disabled: the selection then stands still.
    void SetInteractive(BOOL interactive);
    void SetToolMode(int mode);
    // Positions of the dialog's scroll bars, from their range minimum.
    void SetScrollPosX(int pos);
    void SetScrollPosY(int pos);
    // Back to 1x with the select tool (a preview starts this way).
    void ResetZoom();
    // One zoom step anchored at a client point, which stays over the same part of the image.
    void ZoomIn(CPoint anchor);
    void ZoomOut(CPoint anchor);
    // Scroll ranges, pages and positions from the zoom, keeping the image point under `anchor` where it is.
    void UpdateScrollBars(CPoint anchor);
    // Scrolls the view by one step of the drag's automatic scroll; returns the delta applied (0 at the ends).
    int AutoScrollX(int delta);
    int AutoScrollY(int delta);

    // A client point of the mouse as the control draws it (mirrored right to left).
    CPoint ToDrawingPoint(CPoint client) const;
    // Whether the control draws right to left (Arabic and Hebrew).
    static BOOL IsRightToLeft();

    float GetZoom() const { return m_fZoom; }
    int GetToolMode() const { return m_nToolMode; }
    BOOL IsZoomLimitReached() const { return m_bZoomLimit; }
    BOOL IsInteractive() const { return m_nInteractive != 0; }
    BOOL IsFeederView() const { return m_nFeederView != 0; }
    BOOL IsHandDragging() const { return m_handDrag.active; }
    float GetViewOffsetX() const { return m_fOffsetX; }
    float GetViewOffsetY() const { return m_fOffsetY; }
    // The image area in client coordinates (right of and below the rulers).
    const CRect& GetImageArea() const { return m_rcImage; }
    CImage* GetImage() const { return m_pImage; }
    CPreviewOwner* GetOwner() const { return m_pOwner; }
    const SelectionTracker& GetTracker() const { return m_tracker; }
    const PreviewRuler& GetRuler() const { return m_ruler; }

protected:
    void OnPaint();
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    void OnTimer(UINT_PTR id);
    void OnDestroy();
    void OnMouseLeave();

private:
    struct PreviewHandDrag {
        CPoint last;
        BOOL active = FALSE;
    };

    void DrawImage(CDC* dc);
    // Invalidates a rectangle given as drawn (mirrored right to left like the drawing).
    void InvalidateDrawn(const CRect& rect, BOOL erase);
    void SetZoomToolCursor(CPoint point);
    int AutoScroll(CScrollBar* bar, int view, float& offset, int delta);
    void UpdateTrackerOffset();
    void EnableOwnerZoomButtons();

    COffscreenDC m_offscreen;
    PreviewRuler m_ruler;
    SelectionTracker m_tracker;
    CImage* m_pImage = nullptr;
    PreviewHandDrag m_handDrag;
    float m_fZoom = 1.0f;
    BOOL m_bZoomLimit = FALSE;
    int m_nToolMode = kToolSelect;
    CPreviewOwner* m_pOwner = nullptr;
    int m_nInteractive = 1;
    CScrollBar* m_pHScroll = nullptr;
    CScrollBar* m_pVScroll = nullptr;
    float m_fOffsetX = 0; // <= 0: the view's origin moves left and up as it scrolls right and down
    float m_fOffsetY = 0;
    int m_nViewWidth = 0;
    int m_nFullWidth = 0;
    int m_nViewHeight = 0;
    int m_nFullHeight = 0;
    int m_nFeederView = 0;
    BOOL m_bTrackingLeave = FALSE;
    CRect m_rcImage;
    BOOL m_bSurfaceReady = FALSE;
};
