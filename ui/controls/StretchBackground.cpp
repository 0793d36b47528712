#include "ui/controls/StretchBackground.h"

void StretchBackground(CWnd* wnd, CDC* dc, CBitmap& bitmap) {
    CRect client;
    wnd->GetClientRect(&client);
    BITMAP bm{};
    if (!bitmap.GetSafeHandle() || !bitmap.GetBitmap(&bm))
        return;
    CDC mem;
    if (mem.CreateCompatibleDC(dc)) {
        CBitmap* old = mem.SelectObject(&bitmap);
        dc->StretchBlt(0, 0, client.Width(), client.Height(), &mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        mem.SelectObject(old);
    }
}

BOOL LoadModuleBitmap(CBitmap& bitmap, UINT id) {
    bitmap.DeleteObject();
    HBITMAP handle = ::LoadBitmapW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(id));
    if (!handle)
        return FALSE;
    bitmap.Attach(handle);
    return TRUE;
}
