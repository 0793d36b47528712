#include "ui/controls/Trans_GroupBox.h"

namespace {
constexpr int kCaptionX = 12; // where the caption starts; the frame's top edge is open from x = 8 to past it
constexpr int kGapStart = 8;
} // namespace

BEGIN_MESSAGE_MAP(Trans_GroupBox, CStatic)
ON_WM_CTLCOLOR_REFLECT()
ON_WM_PAINT()
END_MESSAGE_MAP()

void Trans_GroupBox::SetFrameStyle(int style) {
    m_nStyle = style;
    RedrawInParent();
}

void Trans_GroupBox::RedrawInParent() {
    CWnd* parent = GetParent();
    if (!parent)
        return;
    CRect rect;
    GetWindowRect(&rect);
    parent->ScreenToClient(&rect);
    rect.InflateRect(1, 1);
    parent->InvalidateRect(&rect, FALSE);
}

HBRUSH Trans_GroupBox::CtlColor(CDC* dc, UINT) {
    m_brush.DeleteObject();
    if (m_clrBackground == static_cast<COLORREF>(-1)) {
        dc->SetBkMode(TRANSPARENT);
        return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    }
    m_brush.CreateSolidBrush(m_clrBackground);
    return m_brush;
}

void Trans_GroupBox::OnPaint() {
    CPaintDC dc(this);
    // In a dialog laid out right to left the caption starts at the right: the whole box is drawn mirrored.
    if (GetExStyle() & WS_EX_RTLREADING)
        dc.SetLayout(LAYOUT_RTL);
    CWnd* parent = GetParent();
    CFont* oldFont = dc.SelectObject(parent ? parent->GetFont() : GetFont());
    CString caption;
    GetWindowText(caption);
    SIZE extent{0, 0};
    ::GetTextExtentPoint32W(dc, caption, caption.GetLength(), &extent);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);

    if (m_nStyle == kFrameWithCaption) {
        ::SetRect(&m_rcCaption, kCaptionX, 1, kCaptionX + extent.cx, extent.cy + 1);
        dc.TextOut(kCaptionX, 1, caption, caption.GetLength());
        CRect frame;
        GetClientRect(&frame);
        frame.left += 1;
        frame.right -= 1;
        frame.bottom -= 1;
        frame.top += extent.cy / 2 + 1;
        CPen pen(PS_SOLID, 1, m_clrFrame);
        CPen* oldPen = dc.SelectObject(&pen);
        dc.MoveTo(frame.left, frame.top);
        dc.LineTo(frame.left, frame.bottom);
        dc.LineTo(frame.right, frame.bottom);
        dc.LineTo(frame.right, frame.top);
        dc.LineTo(kCaptionX + extent.cx + 2, frame.top);
        dc.MoveTo(frame.left, frame.top);
        dc.LineTo(kGapStart, frame.top);
        dc.SelectObject(oldPen);
    } else {
        dc.TextOut(0, 0, caption, caption.GetLength());
    }
    if (oldFont)
        dc.SelectObject(oldFont);
}
