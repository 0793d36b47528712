#include "ui/controls/CTransCheckBox.h"

BEGIN_MESSAGE_MAP(CTransCheckBox, CButton)
ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

void CTransCheckBox::SetBkColor(COLORREF color) {
    m_clrBackground = color;
}

// One brush lives with the control; repaints reuse it until the colour changes.
HBRUSH CTransCheckBox::CtlColor(CDC* dc, UINT) {
    dc->SetBkColor(m_clrBackground);
    if (!m_brush.GetSafeHandle() || m_clrBrush != m_clrBackground) {
        m_brush.DeleteObject();
        m_brush.CreateSolidBrush(m_clrBackground);
        m_clrBrush = m_clrBackground;
    }
    return m_brush;
}
