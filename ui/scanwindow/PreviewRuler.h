// The two rulers of the preview: a strip along the top and one down the left of the image area, scaled in inches,
// millimetres or pixels at the scan resolution, following the zoom and the scroll position of the view.
#pragma once

#include "platform/gdi/afxgdi.h"

class PreviewRuler {
public:
    // Units of the ruler (the window's unit indexes 0, 1, 2 map to 0, 2, 3; 1 is not used).
    enum Unit { kInch = 0, kMillimetre = 2, kPixel = 3 };

    // `strip` is the ruler strip's width in pixels (20); width and height are those of the image area.
    void Init(int strip, int width, int height);
    void SetUnit(int unit, int dpi);
    // Draws both strips with their ticks, numbers and the unit's label in the corner. The offsets are the view's
    // (<= 0 when scrolled); the feeder view shrinks the horizontal scale to 85 / 101.8.
    void Draw(CDC* dc, float zoom, int offsetX, int offsetY, BOOL feederView);

    float GetBand() const { return m_fBand; }
    float GetWidth() const { return m_fWidth; }
    float GetHeight() const { return m_fHeight; }
    int GetDpi() const { return m_nDpi; }
    int GetUnit() const { return m_nUnit; }

private:
    void DrawStrips(CDC* dc, float zoom, int offsetX, int offsetY, float width);
    void DrawCornerLabel(CDC* dc);
    void DrawTicks(CDC* dc, float originX, float originY, float stepX, float stepY, float stepsX, float stepsY);
    void DrawInchNumbers(CDC* dc, float originX, float originY, float stepX, float stepY, float stepsX, float stepsY);
    void DrawMillimetreNumbers(CDC* dc, float zoom, float originX, float originY, float stepX, float stepY,
                               float stepsX, float stepsY);
    void DrawPixelNumbers(CDC* dc, float zoom, BOOL feederView, float originX, float originY, float stepX, float stepY,
                          float stepsX, float stepsY);

    float m_fBand = 0;  // the strip's width less one: 19 after Init
    float m_fWidth = 0; // of the image area, unzoomed
    float m_fHeight = 0;
    int m_nDpi = 300;
    int m_nUnit = kPixel;
};
