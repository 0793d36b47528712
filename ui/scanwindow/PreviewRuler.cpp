#include "ui/scanwindow/PreviewRuler.h"

void PreviewRuler::Init(int strip, int width, int height) {
    m_fBand = static_cast<float>(strip - 1);
    m_fWidth = static_cast<float>(width);
    m_fHeight = static_cast<float>(height);
}

void PreviewRuler::SetUnit(int unit, int dpi) {
    m_nUnit = unit;
    m_nDpi = dpi;
}

void PreviewRuler::Draw(CDC*, float, int, int, BOOL) {}
