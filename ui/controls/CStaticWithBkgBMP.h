// A static that stretches a bitmap of this module over its whole area and centres its text on it.
#pragma once

#include "platform/user/afxwin.h"

class CStaticWithBkgBMP : public CStatic {
    DECLARE_MESSAGE_MAP()
public:
    CStaticWithBkgBMP() = default;
    // Replaces the picture (a bitmap resource id of this module) and has the parent repaint the control's area.
    void SetBitmap(UINT id);

protected:
    void OnPaint();

    COLORREF m_clrText = 0;                               // kept for callers; drawing uses black
    COLORREF m_clrBackground = static_cast<COLORREF>(-1); // likewise unused by drawing
    CBrush m_brush;
    CBitmap m_bitmap;
};
