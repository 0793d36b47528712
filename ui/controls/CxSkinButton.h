// The owner-drawn push button of every dialog: each state is a bitmap of the module's own resources, an optional
// mask gives the button a window region and transparent corners, the program can hold it in its "down" picture,
// and it carries its own tooltip. It can act as an auto check box or auto radio button. It reacts to the mouse
// only: Enter, key-ups and double clicks are swallowed.
#pragma once

#include "platform/user/afxwin.h"

// Sent to the other radio-style buttons of a group when one of them is checked.
#define WM_SKINBUTTON_UNCHECK (WM_USER + 0x100)

class CxSkinButton : public CButton {
    DECLARE_MESSAGE_MAP()
public:
    enum Style { kPush = 0, kCheckBox = 2, kRadio = 4 };
    enum DrawMode { kNatural = 0, kStretch = 1, kTile = 2 };

    CxSkinButton();
    ~CxSkinButton() override;

    // Bitmap resource ids of this module (0 = none). A negative mode is natural size, above 1 tiled.
    void SetSkin(UINT normal, UINT down, UINT over, UINT disabled, UINT focus, UINT mask, short drawMode = kStretch,
                 short border = 0, short margin = 0);
    // The push-scan program's form: the shared skin (normal 10431, down 10429, over 10432, disabled 10430),
    // stretched, no border, margin, focus picture or mask.
    void SetSkin();
    void SetToolTipText(const CString& text);
    void SetPressed(BOOL pressed);

    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawItem(LPDRAWITEMSTRUCT dis) override;

    // The union of one-row rectangles covering every pixel of `mask` that is not `transparent`; empty when none.
    static HRGN CreateRegionFromMask(CBitmap* mask, COLORREF transparent);

    int GetSkinStyle() const { return m_nStyle; }
    BOOL IsPressedDisplay() const { return m_bPressed; }
    BOOL IsTracking() const { return m_bTracking; }
    short GetDrawMode() const { return m_nDrawMode; }
    HRGN GetClipRegion() const { return m_hClipRgn; }
    CToolTipCtrl& GetToolTip() { return m_tooltip; }

protected:
    void PreSubclassWindow() override;
    void PaintBitmap(CDC* dc, CBitmap* bitmap, const CRect& rect, int drawMode);
    void TileBitmap(CDC* dc, CBitmap* bitmap, const CRect& rect);
    void RelayToolTipEvent(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL IsCursorOverThis() const;
    void ReleaseClipRegion();

    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnMouseLeave();
    void OnKillFocus(CWnd* newWnd);
    BOOL OnEraseBkgnd(CDC* dc);
    LRESULT OnUncheck(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCheck(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetCheck(WPARAM wParam, LPARAM lParam);

    bool m_bPressed = false;
    bool m_bChecked = false;
    int m_nStyle = kPush;
    bool m_bTracking = false;
    bool m_bButtonDown = false;
    CToolTipCtrl m_tooltip;
    CBitmap m_bNormal;
    CBitmap m_bDown;
    CBitmap m_bDisabled;
    CBitmap m_bMask;
    CBitmap m_bOver;
    CBitmap m_bFocus;
    short m_nFocusRectMargin = 0;
    COLORREF m_TextColor;
    HRGN m_hClipRgn = nullptr;
    bool m_bRegionGiven = false; // the window owns m_hClipRgn once SetWindowRgn took it
    short m_nBorder = 0;
    short m_nDrawMode = kStretch;
};
