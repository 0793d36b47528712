#include "ui/controls/CStaticWithBkgBMP.h"

BEGIN_MESSAGE_MAP(CStaticWithBkgBMP, CStatic)
ON_WM_PAINT()
END_MESSAGE_MAP()

void CStaticWithBkgBMP::SetBitmap(UINT id) {
    m_bitmap.DeleteObject();
    // Bitmaps come from the module this code is linked into, never from the language library.
    if (HBITMAP bitmap = ::LoadBitmapW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(id)))
        m_bitmap.Attach(bitmap);
    CWnd* parent = GetParent();
    if (!parent)
        return;
    CRect rect;
    GetWindowRect(&rect);
    parent->ScreenToClient(&rect);
    parent->InvalidateRect(&rect, TRUE);
    Invalidate(FALSE); // a parent that clips its children repaints only around it
}

void CStaticWithBkgBMP::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    BITMAP bm{};
    if (m_bitmap.GetSafeHandle() && m_bitmap.GetBitmap(&bm)) {
        CDC mem;
        if (mem.CreateCompatibleDC(&dc)) {
            CBitmap* old = mem.SelectObject(&m_bitmap);
            dc.StretchBlt(0, 0, client.Width(), client.Height(), &mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
            mem.SelectObject(old);
        }
    }
    CWnd* parent = GetParent();
    CFont* oldFont = dc.SelectObject(parent ? parent->GetFont() : GetFont());
    CString text;
    GetWindowText(text);
    SIZE extent{0, 0};
    ::GetTextExtentPoint32W(dc, text, text.GetLength(), &extent);
    const int x = extent.cx < client.Width() ? (client.Width() - extent.cx) / 2 : 0;
    const int y = extent.cy < client.Height() ? (client.Height() - extent.cy) / 2 : 0;
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    dc.TextOut(x, y, text, text.GetLength());
    if (oldFont)
        dc.SelectObject(oldFont);
}
