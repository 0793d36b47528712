#include "ui/controls/COffscreenDC.h"

#include <new>

COffscreenDC::COffscreenDC() {
    m_pDisplayDC = new (std::nothrow) CDC;
    m_pMemDC = new (std::nothrow) CDC;
    if (m_pDisplayDC)
        m_pDisplayDC->CreateDC(u"DISPLAY", nullptr, nullptr, nullptr);
    if (m_pMemDC && m_pDisplayDC) {
        m_pMemDC->CreateCompatibleDC(m_pDisplayDC);
        m_nSavedDC = m_pMemDC->SaveDC();
    }
}

COffscreenDC::~COffscreenDC() {
    Release();
    if (m_pMemDC)
        m_pMemDC->DeleteDC();
    if (m_pDisplayDC)
        m_pDisplayDC->DeleteDC();
    delete m_pMemDC;
    delete m_pDisplayDC;
}

BOOL COffscreenDC::Create(const CSize& size) {
    if (size.cx <= 0 || size.cy <= 0)
        return FALSE;
    if (!m_pMemDC || !m_pMemDC->GetSafeHdc())
        return FALSE;
    Release();
    m_nSavedDC = m_pMemDC->SaveDC();
    m_pBitmap = new (std::nothrow) CBitmap;
    if (!m_pBitmap || !m_pBitmap->CreateCompatibleBitmap(m_pDisplayDC, size.cx, size.cy)) {
        delete m_pBitmap;
        m_pBitmap = nullptr;
        return FALSE;
    }
    m_pOldBitmap = m_pMemDC->SelectObject(m_pBitmap);
    m_size = size;
    return TRUE;
}

BOOL COffscreenDC::Release() {
    // The saved state holds the bitmap that was there before ours (m_pOldBitmap is only a temporary wrapper of it,
    // not to be used once the message loop has cleaned up), so restoring it deselects ours.
    if (m_pMemDC && m_pMemDC->GetSafeHdc())
        m_pMemDC->RestoreDC(m_nSavedDC);
    m_pOldBitmap = nullptr;
    delete m_pBitmap; // deletes its GDI object
    m_pBitmap = nullptr;
    return TRUE;
}

BOOL COffscreenDC::GetMemDC(CDC** out) {
    if (!m_pMemDC || !m_pMemDC->GetSafeHdc())
        return FALSE;
    *out = m_pMemDC;
    return TRUE;
}
