#include "ui/controls/CStaticTrans.h"

namespace {
constexpr int kMaxTipWidth = 300;
constexpr COLORREF kTransparent = static_cast<COLORREF>(-1);
} // namespace

BEGIN_MESSAGE_MAP(CStaticTrans, CStatic)
ON_WM_CTLCOLOR_REFLECT()
ON_WM_MOUSEMOVE()
ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

HBRUSH CStaticTrans::CtlColor(CDC* dc, UINT) {
    m_brush.DeleteObject();
    if (m_clrBackground == kTransparent) {
        dc->SetBkMode(TRANSPARENT);
        return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    }
    dc->SetBkColor(m_clrBackground);
    dc->SetTextColor(m_clrText);
    return nullptr;
}

// A transparent static paints no background, so new text would land on the old one: the parent repaints its
// background under the control first.
LRESULT CStaticTrans::OnSetText(WPARAM, LPARAM) {
    const LRESULT result = Default();
    CWnd* parent = GetParent();
    if (m_clrBackground == kTransparent && parent) {
        CRect rect;
        GetWindowRect(&rect);
        parent->ScreenToClient(&rect);
        parent->InvalidateRect(&rect, TRUE);
    }
    return result;
}

void CStaticTrans::SetTipText(const CString& text) {
    if (m_tooltip.m_hWnd) {
        m_tooltip.UpdateTipText(text, this);
        return;
    }
    m_tooltip.Create(this);
    m_tooltip.AddTool(this, text);
    m_tooltip.Activate(TRUE);
    m_tooltip.SetMaxTipWidth(kMaxTipWidth);
}

void CStaticTrans::OnMouseMove(UINT flags, CPoint point) {
    if (m_tooltip.m_hWnd) {
        MSG msg{};
        msg.hwnd = m_hWnd;
        msg.message = WM_MOUSEMOVE;
        msg.wParam = flags;
        msg.lParam = MAKELPARAM(point.x, point.y);
        msg.time = 0;
        m_tooltip.RelayEvent(&msg);
    }
    CStatic::OnMouseMove(flags, point);
}
