#include "ui/scanwindow/PreviewRuler.h"

#include "scanner/PaperTables.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"

#include <string>

namespace {

constexpr COLORREF kStripColour = RGB(198, 198, 188);
constexpr float kFeederShrink = 85.0f / 101.8f;
constexpr float kFeederLengthTenths = 140.0f; // 14.015748 in, the longest feeder paper
constexpr float kFeederLengthMillimetres = 355.6f;
constexpr int kShortTick = 2;
constexpr int kLongTick = 5;
constexpr int kDigitStep = 10; // vertical numbers are written one digit under the other, 10 pixels apart
constexpr int kCornerFactorHeight = 9;

int DigitCount(int value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

void Text(CDC* dc, int x, int y, const char16_t* text) {
    dc->TextOut(x, y, text, static_cast<int>(std::char_traits<char16_t>::length(text)));
}

void Number(CDC* dc, int x, int y, int value) {
    CString text;
    text.Format(u"%d", value);
    dc->TextOut(x, y, text, text.GetLength());
}

// The digits of `value` one under the other, centred on y.
void StackedNumber(CDC* dc, int x, int y, int value) {
    CString text;
    text.Format(u"%d", value);
    const int n = text.GetLength();
    int top = y - (n - 1) * kDigitStep / 2;
    for (int i = 0; i < n; ++i, top += kDigitStep)
        dc->TextOut(x, top, static_cast<LPCWSTR>(text) + i, 1);
}

} // namespace

void PreviewRuler::Init(int strip, int width, int height) {
    m_fBand = static_cast<float>(strip - 1);
    m_fWidth = static_cast<float>(width);
    m_fHeight = static_cast<float>(height);
}

void PreviewRuler::SetUnit(int unit, int dpi) {
    m_nUnit = unit;
    m_nDpi = dpi;
}

void PreviewRuler::Draw(CDC* dc, float zoom, int offsetX, int offsetY, BOOL feederView) {
    const float width = feederView ? m_fWidth * kFeederShrink : m_fWidth;
    DrawStrips(dc, zoom, offsetX, offsetY, width);

    CFont font;
    font.CreateFont(12, 0, 0, 0, 100, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, 2,
                    6, u"Arial");
    CFont* oldFont = dc->SelectObject(&font);
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = dc->SetTextColor(RGB(0, 0, 0));
    DrawCornerLabel(dc);

    // Ticks and numbers stay inside the strips.
    const int outer = static_cast<int>(m_fBand) + 1;
    CRgn top;
    CRgn left;
    CRgn both;
    top.CreateRectRgn(offsetX, 0, offsetX + 2 + outer + static_cast<int>(width * zoom), outer);
    left.CreateRectRgn(0, offsetY, outer, offsetY + 2 + outer + static_cast<int>(m_fHeight * zoom));
    both.CreateRectRgn(0, 0, 0, 0);
    both.CombineRgn(&top, &left, RGN_OR);
    dc->SelectClipRgn(&both);

    // The numbers keep the 12-pixel face in every language: stacked 10 pixels apart, anything taller runs the
    // digits into each other and into the ticks.

    // Scale lengths in steps: tenths of an inch (inch and pixel units) or millimetres.
    const bool millimetres = m_nUnit == kMillimetre;
    const float perInch = millimetres ? 25.4f : 10.0f;
    const float stepsX = static_cast<float>(GetMaxScanWidthInch()) * perInch;
    const float stepsY = feederView ? (millimetres ? kFeederLengthMillimetres : kFeederLengthTenths)
                                    : static_cast<float>(GetMaxScanLengthInch()) * perInch;
    const float stepX = width * zoom / stepsX;
    const float stepY = m_fHeight * zoom / stepsY;
    const float originX = static_cast<float>(offsetX) + m_fBand + 2 + 0.5f;
    const float originY = static_cast<float>(offsetY) + m_fBand + 2 + 0.5f;

    DrawTicks(dc, originX, originY, stepX, stepY, stepsX, stepsY);
    if (m_nUnit == kInch)
        DrawInchNumbers(dc, originX, originY, stepX, stepY, stepsX, stepsY);
    else if (millimetres)
        DrawMillimetreNumbers(dc, zoom, originX, originY, stepX, stepY, stepsX, stepsY);
    else
        DrawPixelNumbers(dc, zoom, feederView, originX, originY, stepX, stepY, stepsX, stepsY);

    dc->SelectClipRgn(nullptr);
    dc->SetTextColor(oldColour);
    dc->SetBkMode(oldMode);
    dc->SelectObject(oldFont);
}

void PreviewRuler::DrawStrips(CDC* dc, float zoom, int offsetX, int offsetY, float width) {
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush brush(kStripColour);
    CPen* oldPen = dc->SelectObject(&pen);
    CBrush* oldBrush = dc->SelectObject(&brush);
    const int outer = static_cast<int>(m_fBand) + 1;
    auto strip = [&](int l, int t, int r, int b) {
        dc->BeginPath();
        dc->Rectangle(l, t, r, b);
        dc->EndPath();
        dc->StrokeAndFillPath();
    };
    strip(offsetX, 0, offsetX + 2 + static_cast<int>(m_fBand + width * zoom), outer);
    strip(0, offsetY, outer, offsetY + 2 + static_cast<int>(m_fBand + m_fHeight * zoom));
    dc->SelectObject(oldBrush);
    dc->SelectObject(oldPen);
}

void PreviewRuler::DrawCornerLabel(CDC* dc) {
    if (m_nUnit == kInch) {
        Text(dc, 5, 3, u"in");
    } else if (m_nUnit == kMillimetre) {
        Text(dc, 3, 3, u"mm");
    } else if (g_bHasA3) {
        Text(dc, 5, 0, u"px");
        // The 20-pixel corner square holds "x100" only in a smaller face than the numbers'.
        CFont small;
        small.CreateFont(kCornerFactorHeight, 0, 0, 0, 100, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, 2, 6, u"Arial");
        CFont* old = dc->SelectObject(&small);
        Text(dc, 1, 10, u"x100");
        dc->SelectObject(old);
    } else {
        Text(dc, 5, 3, u"px");
    }
}

void PreviewRuler::DrawTicks(CDC* dc, float originX, float originY, float stepX, float stepY, float stepsX,
                             float stepsY) {
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* oldPen = dc->SelectObject(&pen);
    const int band = static_cast<int>(m_fBand);
    // A tick every 5 steps (half inches, 5 mm): short and long in turn, so whole inches and tens of mm are long.
    const int countX = static_cast<int>(stepsX / 5);
    for (int k = 0; k < countX; ++k) {
        const int x = static_cast<int>(originX + static_cast<float>((k + 1) * 5) * stepX);
        dc->MoveTo(x, band);
        dc->LineTo(x, band - (k % 2 == 0 ? kShortTick : kLongTick));
    }
    const int countY = static_cast<int>(stepsY / 5);
    for (int k = 0; k < countY; ++k) {
        const int y = static_cast<int>(originY + static_cast<float>((k + 1) * 5) * stepY);
        dc->MoveTo(band, y);
        dc->LineTo(band - (k % 2 == 0 ? kShortTick : kLongTick), y);
    }
    dc->SelectObject(oldPen);
}

void PreviewRuler::DrawInchNumbers(CDC* dc, float originX, float originY, float stepX, float stepY, float stepsX,
                                   float stepsY) {
    const int countX = static_cast<int>(stepsX / 5) / 2;
    for (int k = 0; k < countX; ++k)
        Number(dc, static_cast<int>(originX + static_cast<float>((k + 1) * 10) * stepX) - 2, 3, k + 1);
    const int countY = static_cast<int>(stepsY / 5) / 2;
    for (int k = 0; k < countY; ++k) {
        const int inches = k + 1;
        const int y = static_cast<int>(originY + static_cast<float>(inches * 10) * stepY) - 5;
        if (inches < 10)
            Number(dc, 6, y, inches);
        else if (!g_bHasA3 || inches % 2 == 0) // the long A3 scale has room for every other number only
            StackedNumber(dc, 6, y, inches);
    }
}

void PreviewRuler::DrawMillimetreNumbers(CDC* dc, float zoom, float originX, float originY, float stepX, float stepY,
                                         float stepsX, float stepsY) {
    // A number every `spacing` ticks: 50 mm at 1x, 10 mm from 4x, else 20 mm.
    const int spacing = zoom <= 1 ? 10 : (zoom >= 4 ? 2 : 4);
    const int countX = static_cast<int>(stepsX / 5) / spacing;
    for (int j = 0; j < countX; ++j) {
        const int mm = (j + 1) * spacing * 5;
        const int digits = DigitCount(mm);
        const int shift = digits == 2 ? 3 : (digits >= 3 ? 6 : 0);
        Number(dc, static_cast<int>(originX + static_cast<float>(mm) * stepX) - 2 - shift, 3, mm);
    }
    const int countY = static_cast<int>(stepsY / 5) / spacing;
    for (int j = 0; j < countY; ++j) {
        const int mm = (j + 1) * spacing * 5;
        if (mm >= 1000)
            continue;
        StackedNumber(dc, 6, static_cast<int>(originY + static_cast<float>(mm) * stepY) - 3, mm);
    }
}

void PreviewRuler::DrawPixelNumbers(CDC* dc, float zoom, BOOL feederView, float originX, float originY, float stepX,
                                    float stepY, float stepsX, float stepsY) {
    // Numbers every 2 inches at 1x, every inch zoomed; the long A3 scale counts hundreds of pixels.
    const int divisor = g_bHasA3 ? 100 : 1;
    const int inchesX = zoom <= 1 ? 2 : 1;
    const int countX = static_cast<int>(stepsX / static_cast<float>(10 * inchesX));
    for (int i = 0; i < countX; ++i) {
        const int value = (i + 1) * inchesX * m_nDpi / divisor;
        const int digits = DigitCount(value);
        if (digits >= 6)
            continue;
        const float position = originX + static_cast<float>((i + 1) * inchesX * 10) * stepX;
        Number(dc, static_cast<int>(position) - 2 - 3 * (digits - 1), 3, value);
    }
    // Vertical numbers stand one digit under the other and need twice the room in the feeder view and for the
    // large numbers above 600 dpi at 1x.
    int inchesY = inchesX;
    if (feederView || (zoom == 1 && m_nDpi > 600))
        inchesY *= 2;
    const int countY = static_cast<int>(stepsY / static_cast<float>(10 * inchesY));
    for (int i = 0; i < countY; ++i) {
        const int value = (i + 1) * inchesY * m_nDpi / divisor;
        if (DigitCount(value) >= 6)
            continue;
        const float position = originY + static_cast<float>((i + 1) * inchesY * 10) * stepY;
        StackedNumber(dc, 6, static_cast<int>(position) - 3, value);
    }
}
