// The double buffer of the custom-painted controls: a memory DC compatible with the display holding a bitmap of
// the control's size; the owner draws a whole frame into it and copies it to the screen in one BitBlt.
#pragma once

#include "platform/gdi/afxgdi.h"

class COffscreenDC {
public:
    COffscreenDC();
    ~COffscreenDC();
    COffscreenDC(const COffscreenDC&) = delete;
    COffscreenDC& operator=(const COffscreenDC&) = delete;

    // A new surface of `size` (the old one is released first); FALSE for an empty size, which changes nothing.
    BOOL Create(const CSize& size);
    // Deselects and deletes the surface's bitmap. TRUE.
    BOOL Release();
    BOOL GetMemDC(CDC** out);
    const CSize& GetSize() const { return m_size; }

private:
    CBitmap* m_pOldBitmap = nullptr; // selected before ours; owned by the system
    CBitmap* m_pBitmap = nullptr;    // ours
    CSize m_size;
    CDC* m_pDisplayDC = nullptr;
    CDC* m_pMemDC = nullptr;
    int m_nSavedDC = 0;
};
