// A trackbar whose channel is painted over a snapshot of the dialog under it, taken at its first channel paint and
// kept for the control's life; the channel's white pixels and the thumb are drawn on top as usual.
#pragma once

#include "platform/user/afxwin.h"
#include "platform/user/commctrl.h"

class CTransparentSlider : public CSliderCtrl {
    DECLARE_MESSAGE_MAP()
public:
    CTransparentSlider() = default;
    ~CTransparentSlider() override;

    BOOL HasSnapshot() const { return m_dcBk.GetSafeHdc() != nullptr; }

protected:
    void OnCustomDraw(NMHDR* nmhdr, LRESULT* result);
    BOOL OnEraseBkgnd(CDC* dc);
    void TakeSnapshot(int width, int height);

    CDC m_dcBk; // memory DC holding the parent's background under the slider
    CBitmap m_bmpBk;
    HGDIOBJ m_hOldBitmap = nullptr; // what the snapshot replaced in m_dcBk
};
