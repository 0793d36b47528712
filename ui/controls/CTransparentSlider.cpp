#include "ui/controls/CTransparentSlider.h"

BEGIN_MESSAGE_MAP(CTransparentSlider, CSliderCtrl)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CTransparentSlider::~CTransparentSlider() {
    if (m_dcBk.GetSafeHdc()) {
        m_dcBk.SelectObject(m_hOldBitmap);
        m_bmpBk.DeleteObject();
        m_dcBk.DeleteDC();
    }
}

BOOL CTransparentSlider::OnEraseBkgnd(CDC*) {
    return FALSE;
}

void CTransparentSlider::TakeSnapshot(int width, int height) {
    CWnd* parent = GetParent();
    if (!parent)
        return;
    CClientDC parentDC(parent);
    if (!m_dcBk.CreateCompatibleDC(&parentDC))
        return;
    m_bmpBk.CreateCompatibleBitmap(&parentDC, width, height);
    m_hOldBitmap = m_dcBk.SelectObject(m_bmpBk.GetSafeHandle());
    CRect rect;
    GetWindowRect(&rect);
    parent->ScreenToClient(&rect);
    m_dcBk.BitBlt(0, 0, width, height, &parentDC, rect.left, rect.top, SRCCOPY);
}

void CTransparentSlider::OnCustomDraw(NMHDR* nmhdr, LRESULT* result) {
    auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(nmhdr);
    *result = 0;
    if (cd->dwDrawStage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
        return;
    }
    if (cd->dwDrawStage != CDDS_ITEMPREPAINT)
        return;
    if (cd->dwItemSpec == TBCD_THUMB) {
        *result = CDRF_DODEFAULT;
        return;
    }
    if (cd->dwItemSpec != TBCD_CHANNEL)
        return;

    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    if (!m_dcBk.GetSafeHdc())
        TakeSnapshot(w, h);

    CDC* dc = CDC::FromHandle(cd->hdc);
    const COLORREF oldBk = dc->SetBkColor(RGB(0, 0, 0));
    const COLORREF oldText = dc->SetTextColor(RGB(255, 255, 255));

    // IMG is what the default drawing put there so far; MASK is 1 exactly where IMG is pure white.
    CDC imgDC, maskDC;
    CBitmap img, mask;
    if (imgDC.CreateCompatibleDC(dc) && maskDC.CreateCompatibleDC(dc) && img.CreateCompatibleBitmap(dc, w, h) &&
        mask.CreateBitmap(w, h, 1, 1, nullptr)) {
        CBitmap* oldImg = imgDC.SelectObject(&img);
        CBitmap* oldMask = maskDC.SelectObject(&mask);
        imgDC.BitBlt(0, 0, w, h, dc, 0, 0, SRCCOPY);
        maskDC.BitBlt(0, 0, w, h, &imgDC, 0, 0, SRCCOPY);
        if (m_dcBk.GetSafeHdc())
            dc->BitBlt(0, 0, w, h, &m_dcBk, 0, 0, SRCCOPY);
        dc->BitBlt(0, 0, w, h, &imgDC, 0, 0, SRCINVERT);
        dc->BitBlt(0, 0, w, h, &maskDC, 0, 0, SRCAND);
        dc->BitBlt(0, 0, w, h, &imgDC, 0, 0, SRCINVERT);
        maskDC.SelectObject(oldMask);
        imgDC.SelectObject(oldImg);
    }
    dc->SetBkColor(oldBk);
    dc->SetTextColor(oldText);
    *result = CDRF_DODEFAULT;
}
