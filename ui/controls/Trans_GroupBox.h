// A group frame whose caption and lines are drawn by hand over the dialog's background bitmap.
#pragma once

#include "platform/user/afxwin.h"

class Trans_GroupBox : public CStatic {
    DECLARE_MESSAGE_MAP()
public:
    enum FrameStyle { kFrameWithCaption = 0, kCaptionOnly = 1 };

    Trans_GroupBox() = default;
    // Stores the style and has the parent repaint the area under the control.
    void SetFrameStyle(int style);
    void RedrawInParent();

    const RECT& GetCaptionRect() const { return m_rcCaption; }
    COLORREF GetFrameColor() const { return m_clrFrame; }

protected:
    HBRUSH CtlColor(CDC* dc, UINT ctlColor);
    void OnPaint();

    RECT m_rcCaption{0, 0, 0, 0};
    COLORREF m_clrText = 0;
    COLORREF m_clrBackground = static_cast<COLORREF>(-1); // transparent; nothing changes it
    COLORREF m_clrFrame = 0xACACAC;
    CBrush m_brush;
    int m_nStyle = kFrameWithCaption;
};
