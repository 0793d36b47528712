// A check box painted on a background colour of the dialog's choosing, so it blends with the bitmap under it.
#pragma once

#include "platform/user/afxwin.h"

class CTransCheckBox : public CButton {
    DECLARE_MESSAGE_MAP()
public:
    CTransCheckBox() = default;
    void SetBkColor(COLORREF color);
    COLORREF GetBkColor() const { return m_clrBackground; }

protected:
    HBRUSH CtlColor(CDC* dc, UINT ctlColor);

    COLORREF m_clrBackground = 0xF5F5F5;
    CBrush m_brush;                    // solid brush of m_clrBackground, made on first need
    COLORREF m_clrBrush = CLR_INVALID; // the colour m_brush was made with
};
