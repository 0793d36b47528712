// A static text drawn over the skinned dialog backgrounds: transparent by default, or on a background colour,
// with an optional tooltip.
#pragma once

#include "platform/user/afxwin.h"

class CStaticTrans : public CStatic {
    DECLARE_MESSAGE_MAP()
public:
    CStaticTrans() = default;
    void SetTipText(const CString& text);

    CToolTipCtrl& GetToolTip() { return m_tooltip; }

protected:
    HBRUSH CtlColor(CDC* dc, UINT ctlColor);
    void OnMouseMove(UINT flags, CPoint point);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);

    COLORREF m_clrText = 0;
    COLORREF m_clrBackground = static_cast<COLORREF>(-1); // transparent
    CBrush m_brush;
    CToolTipCtrl m_tooltip;
};
