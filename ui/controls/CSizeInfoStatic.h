// The strip under the preview: the selection's width and height in the chosen unit and the expected data size of
// the scan, drawn through an off-screen surface.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/COffscreenDC.h"

class CSizeInfoStatic : public CStatic {
    DECLARE_MESSAGE_MAP()
public:
    enum Unit { kInch = 0, kMillimetre = 1, kPixel = 2 };

    CSizeInfoStatic() = default;
    // Width and height in inches; unit 0 inch, 1 millimetre, 2 pixel; colour mode 0 black and white, 1 grey,
    // 2 colour. The fourth argument is not used.
    void SetSizeInfo(float width, float height, int unit, int unused, int dpi, int colorMode);

    const CString& GetWidthText() const { return m_strWidth; }
    const CString& GetHeightText() const { return m_strHeight; }
    const CString& GetDataSizeText() const { return m_strDataSize; }

protected:
    void OnPaint();

    CString m_strWidth;
    CString m_strHeight;
    CString m_strDataSize;
    COffscreenDC m_offscreen;
    BOOL m_bOffscreenCreated = FALSE;
};
