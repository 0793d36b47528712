#include "ui/controls/CxSkinButton.h"

#include <algorithm>
#include <vector>

namespace {

// The shared push-button skin of both deliverables.
constexpr UINT kSkinNormal = 10431;
constexpr UINT kSkinDown = 10429;
constexpr UINT kSkinOver = 10432;
constexpr UINT kSkinDisabled = 10430;

constexpr int kRegionBlock = 40; // rectangles collected before they join the region

// Bitmaps always come from the module this code is linked into, never from the language library.
void LoadSkinBitmap(CBitmap& bitmap, UINT id) {
    if (id == 0)
        return;
    auto handle = static_cast<HBITMAP>(
        ::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (handle)
        bitmap.Attach(handle);
}

BOOL HasBitmap(const CBitmap& bitmap) {
    return bitmap.GetSafeHandle() != nullptr;
}

CSize BitmapSize(const CBitmap& bitmap) {
    BITMAP bm{};
    if (!HasBitmap(bitmap) || !bitmap.GetBitmap(&bm))
        return CSize(0, 0);
    return CSize(bm.bmWidth, bm.bmHeight);
}

// ORs a block of rectangles into `region`.
void AddRectangles(HRGN region, const std::vector<RECT>& rects) {
    if (rects.empty())
        return;
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    RECT bound = rects.front();
    for (const RECT& r : rects)
        ::UnionRect(&bound, &bound, &r);
    header->rcBound = bound;
    std::copy(rects.begin(), rects.end(), reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
    HRGN block = ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
    if (block) {
        ::CombineRgn(region, region, block, RGN_OR);
        ::DeleteObject(block);
    }
}

} // namespace

BEGIN_MESSAGE_MAP(CxSkinButton, CButton)
ON_WM_ERASEBKGND()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_MOUSELEAVE()
ON_WM_KILLFOCUS()
ON_MESSAGE(WM_SKINBUTTON_UNCHECK, OnUncheck)
ON_MESSAGE(BM_SETCHECK, OnSetCheck)
ON_MESSAGE(BM_GETCHECK, OnGetCheck)
END_MESSAGE_MAP()

CxSkinButton::CxSkinButton() : m_TextColor(::GetSysColor(COLOR_BTNTEXT)) {}

CxSkinButton::~CxSkinButton() {
    ReleaseClipRegion();
}

void CxSkinButton::ReleaseClipRegion() {
    if (m_hClipRgn && !m_bRegionGiven)
        ::DeleteObject(m_hClipRgn);
    m_hClipRgn = nullptr;
    m_bRegionGiven = false;
}

void CxSkinButton::PreSubclassWindow() {
    const DWORD style = GetStyle() & 0xFFFF;
    if ((style & BS_AUTOCHECKBOX) == BS_AUTOCHECKBOX)
        m_nStyle = kCheckBox;
    else if ((style & BS_AUTORADIOBUTTON) == BS_AUTORADIOBUTTON)
        m_nStyle = kRadio;
    else
        m_nStyle = kPush;
    CButton::PreSubclassWindow();
    ModifyStyle(0, BS_OWNERDRAW);
}

void CxSkinButton::SetSkin(UINT normal, UINT down, UINT over, UINT disabled, UINT focus, UINT mask, short drawMode,
                           short border, short margin) {
    for (CBitmap* bitmap : {&m_bNormal, &m_bDown, &m_bDisabled, &m_bMask, &m_bOver, &m_bFocus})
        bitmap->DeleteObject();

    LoadSkinBitmap(m_bNormal, normal);
    LoadSkinBitmap(m_bDown, down);
    LoadSkinBitmap(m_bOver, over);
    LoadSkinBitmap(m_bFocus, focus);
    LoadSkinBitmap(m_bDisabled, disabled != 0 ? disabled : normal);

    m_nDrawMode = drawMode < 0 ? short(kNatural) : (drawMode > 1 ? short(kTile) : drawMode);
    m_nBorder = border;
    m_nFocusRectMargin = margin < 0 ? 0 : margin;

    if (mask == 0)
        return;
    LoadSkinBitmap(m_bMask, mask);
    if (!HasBitmap(m_bMask))
        return; // the button stays rectangular

    // A region the window never took (an empty one, or one a later SetSkin replaces) is ours to delete.
    ReleaseClipRegion();
    m_hClipRgn = CreateRegionFromMask(&m_bMask, RGB(255, 255, 255));
    RECT box{};
    if (m_hClipRgn && ::GetRgnBox(m_hClipRgn, &box) != NULLREGION && m_hWnd) {
        SetWindowRgn(m_hClipRgn, TRUE);
        m_bRegionGiven = true;
    } else {
        ReleaseClipRegion();
    }

    if (m_nDrawMode == kNatural && m_hWnd) {
        const CSize size = BitmapSize(m_bMask);
        SetWindowPos(nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    }
}

void CxSkinButton::SetSkin() {
    SetSkin(kSkinNormal, kSkinDown, kSkinOver, kSkinDisabled, 0, 0, kStretch, 0, 0);
}

HRGN CxSkinButton::CreateRegionFromMask(CBitmap* mask, COLORREF transparent) {
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    if (!region || !mask || !HasBitmap(*mask))
        return region;
    const CSize size = BitmapSize(*mask);
    CDC dc;
    if (!dc.CreateCompatibleDC(nullptr))
        return region;
    CBitmap* old = dc.SelectObject(mask);
    std::vector<RECT> block;
    block.reserve(kRegionBlock);
    auto add = [&](int first, int end, int y) {
        block.push_back(RECT{first, y, end, y + 1});
        if (static_cast<int>(block.size()) == kRegionBlock) {
            AddRectangles(region, block);
            block.clear();
        }
    };
    for (int y = 0; y < size.cy; ++y) {
        int runStart = -1;
        for (int x = 0; x < size.cx; ++x) {
            const bool opaque = dc.GetPixel(x, y) != transparent;
            if (opaque && runStart < 0)
                runStart = x;
            else if (!opaque && runStart >= 0) {
                add(runStart, x, y);
                runStart = -1;
            }
        }
        if (runStart >= 0)
            add(runStart, size.cx, y);
    }
    AddRectangles(region, block);
    dc.SelectObject(old);
    return region;
}

void CxSkinButton::SetToolTipText(const CString& text) {
    if (m_tooltip.m_hWnd) {
        m_tooltip.UpdateTipText(text, this);
        return;
    }
    if (m_tooltip.Create(this) && m_tooltip.AddTool(this, text))
        m_tooltip.Activate(TRUE);
}

void CxSkinButton::SetPressed(BOOL pressed) {
    m_bPressed = pressed != FALSE;
    Invalidate();
}

BOOL CxSkinButton::PreTranslateMessage(MSG* pMsg) {
    if ((pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN) || pMsg->message == WM_KEYUP)
        return TRUE;
    return CButton::PreTranslateMessage(pMsg);
}

LRESULT CxSkinButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDBLCLK || message == WM_KEYDOWN || message == WM_KEYUP)
        return 1;
    return CButton::WindowProc(message, wParam, lParam);
}

BOOL CxSkinButton::IsCursorOverThis() const {
    POINT cursor{};
    return ::GetCursorPos(&cursor) && ::WindowFromPoint(cursor) == m_hWnd;
}

void CxSkinButton::DrawItem(LPDRAWITEMSTRUCT dis) {
    // While the mouse holds the button, the pushed state follows the cursor; each change paints again.
    POINT cursor{};
    if (m_bButtonDown && ::GetCapture() == m_hWnd && ::GetCursorPos(&cursor)) {
        const BOOL pushed = (GetState() & BST_PUSHED) != 0;
        if (::WindowFromPoint(cursor) == m_hWnd) {
            if (!pushed) {
                SetState(TRUE);
                return;
            }
        } else if (pushed) {
            SetState(FALSE);
            return;
        }
    }

    CDC* dc = CDC::FromHandle(dis->hDC);
    const CRect item(dis->rcItem);
    CString caption;
    GetWindowText(caption);
    CRect text = item;
    text.DeflateRect(m_nFocusRectMargin + 2, 0);
    dc->SetBkMode(TRANSPARENT);

    auto fill = [&](CBitmap& bitmap) {
        if (HasBitmap(bitmap))
            PaintBitmap(dc, &bitmap, item, m_nDrawMode);
        else
            dc->FillSolidRect(&item, ::GetSysColor(COLOR_BTNFACE));
    };
    auto edge = [&](UINT kind) {
        if (m_nBorder) {
            CRect r = item;
            dc->DrawEdge(&r, kind, BF_RECT);
        }
    };
    // A right-to-left layout's buttons read their caption right to left, as a standard button does.
    const UINT reading = (GetExStyle() & WS_EX_RTLREADING) ? DT_RTLREADING : 0;
    auto drawCaption = [&](const CRect& r) {
        CRect t = r;
        ::DrawTextW(dc->GetSafeHdc(), caption, caption.GetLength(), &t,
                    DT_SINGLELINE | DT_VCENTER | DT_CENTER | reading);
    };

    if (dis->itemState & ODS_DISABLED) {
        fill(m_bDisabled);
        edge(EDGE_RAISED);
        dc->SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
        drawCaption(text);
        text.OffsetRect(-1, -1);
        dc->SetTextColor(::GetSysColor(COLOR_GRAYTEXT));
        drawCaption(text);
        return;
    }

    if (m_bPressed) {
        fill(m_bDown);
        text.OffsetRect(1, 1);
        edge(EDGE_SUNKEN);
    } else {
        if (!HasBitmap(m_bNormal))
            dc->FillSolidRect(&item, ::GetSysColor(COLOR_BTNFACE));
        else if (m_bTracking && HasBitmap(m_bOver))
            PaintBitmap(dc, &m_bOver, item, m_nDrawMode);
        else if ((dis->itemState & ODS_FOCUS) && HasBitmap(m_bFocus))
            PaintBitmap(dc, &m_bFocus, item, m_nDrawMode);
        else
            PaintBitmap(dc, &m_bNormal, item, m_nDrawMode);
        edge(EDGE_RAISED);
    }
    if ((dis->itemState & ODS_FOCUS) && m_nFocusRectMargin > 0) {
        CRect focus = item;
        focus.DeflateRect(m_nFocusRectMargin, m_nFocusRectMargin);
        dc->DrawFocusRect(&focus);
    }
    dc->SetTextColor(m_TextColor);
    drawCaption(text);
}

void CxSkinButton::PaintBitmap(CDC* dc, CBitmap* bitmap, const CRect& rect, int drawMode) {
    if (drawMode == kTile) {
        TileBitmap(dc, bitmap, rect);
        return;
    }
    if (!bitmap || !HasBitmap(*bitmap))
        return;
    const CSize size = BitmapSize(*bitmap);
    CDC source;
    if (!source.CreateCompatibleDC(dc))
        return;
    CBitmap* oldSource = source.SelectObject(bitmap);
    const int w = rect.Width(), h = rect.Height();

    if (!HasBitmap(m_bMask)) {
        if (drawMode == kStretch)
            dc->StretchBlt(rect.left, rect.top, w, h, &source, 0, 0, size.cx, size.cy, SRCCOPY);
        else
            dc->BitBlt(rect.left, rect.top, std::min<int>(w, size.cx), std::min<int>(h, size.cy), &source, 0, 0,
                       SRCCOPY);
        source.SelectObject(oldSource);
        return;
    }

    // Background under the button, then bitmap XOR, mask AND, bitmap XOR: white mask keeps the background, black
    // shows the bitmap.
    const CSize maskSize = BitmapSize(m_bMask);
    CDC work, maskDC;
    CBitmap canvas;
    if (work.CreateCompatibleDC(dc) && maskDC.CreateCompatibleDC(dc) && canvas.CreateCompatibleBitmap(dc, w, h)) {
        CBitmap* oldCanvas = work.SelectObject(&canvas);
        CBitmap* oldMask = maskDC.SelectObject(&m_bMask);
        work.BitBlt(0, 0, w, h, dc, rect.left, rect.top, SRCCOPY);
        auto blit = [&](CDC* from, CSize fromSize, DWORD rop) {
            if (drawMode == kStretch)
                work.StretchBlt(0, 0, w, h, from, 0, 0, fromSize.cx, fromSize.cy, rop);
            else
                work.BitBlt(0, 0, fromSize.cx, fromSize.cy, from, 0, 0, rop);
        };
        blit(&source, size, SRCINVERT);
        blit(&maskDC, maskSize, SRCAND);
        blit(&source, size, SRCINVERT);
        dc->BitBlt(rect.left, rect.top, w, h, &work, 0, 0, SRCCOPY);
        maskDC.SelectObject(oldMask);
        work.SelectObject(oldCanvas);
    }
    source.SelectObject(oldSource);
}

void CxSkinButton::TileBitmap(CDC* dc, CBitmap* bitmap, const CRect& rect) {
    if (!bitmap || !HasBitmap(*bitmap))
        return;
    const CSize size = BitmapSize(*bitmap);
    if (size.cx <= 0 || size.cy <= 0)
        return;
    CDC source;
    if (!source.CreateCompatibleDC(dc))
        return;
    CBitmap* old = source.SelectObject(bitmap);
    for (int y = rect.top; y < rect.bottom; y += size.cy)
        for (int x = rect.left; x < rect.right; x += size.cx)
            dc->BitBlt(x, y, std::min<int>(size.cx, rect.right - x), std::min<int>(size.cy, rect.bottom - y), &source,
                       0, 0, SRCCOPY);
    source.SelectObject(old);
}

void CxSkinButton::RelayToolTipEvent(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_tooltip.m_hWnd)
        return;
    MSG msg{};
    msg.hwnd = m_hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    m_tooltip.RelayEvent(&msg);
}

BOOL CxSkinButton::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CxSkinButton::OnLButtonDown(UINT flags, CPoint point) {
    RelayToolTipEvent(WM_LBUTTONDOWN, flags, MAKELPARAM(point.x, point.y));
    if (m_bTracking) {
        TRACKMOUSEEVENT tme{sizeof(TRACKMOUSEEVENT), TME_CANCEL | TME_LEAVE, m_hWnd, 0};
        if (::TrackMouseEvent(&tme))
            m_bTracking = false;
    }
    CButton::OnLButtonDown(flags, point);
    m_bButtonDown = true;
}

void CxSkinButton::OnMouseMove(UINT flags, CPoint point) {
    RelayToolTipEvent(WM_MOUSEMOVE, flags, MAKELPARAM(point.x, point.y));
    if (m_bButtonDown && ::GetCapture() == m_hWnd) {
        const bool pushed = (GetState() & BST_PUSHED) != 0;
        const bool over = IsCursorOverThis() != FALSE;
        if (pushed != over) {
            SetState(over);
            Invalidate();
        }
    } else if (!m_bTracking) {
        TRACKMOUSEEVENT tme{sizeof(TRACKMOUSEEVENT), TME_LEAVE, m_hWnd, 0};
        if (::TrackMouseEvent(&tme)) {
            m_bTracking = true;
            Invalidate();
        }
    }
    CButton::OnMouseMove(flags, point);
}

void CxSkinButton::OnMouseLeave() {
    m_bTracking = false;
    Invalidate();
}

void CxSkinButton::OnLButtonUp(UINT flags, CPoint point) {
    if (m_nStyle == kCheckBox || m_nStyle == kRadio) {
        CPoint screen = point;
        ClientToScreen(&screen);
        if (::WindowFromPoint(screen) == m_hWnd)
            SendMessage(BM_SETCHECK, m_nStyle == kCheckBox ? !m_bChecked : 1);
    }
    RelayToolTipEvent(WM_LBUTTONUP, flags, MAKELPARAM(point.x, point.y));
    m_bButtonDown = false;
    CButton::OnLButtonUp(flags, point);
}

void CxSkinButton::OnKillFocus(CWnd* newWnd) {
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    m_bButtonDown = false;
    CButton::OnKillFocus(newWnd);
}

LRESULT CxSkinButton::OnSetCheck(WPARAM wParam, LPARAM) {
    m_bChecked = wParam != 0;
    if (m_nStyle == kPush)
        m_bChecked = false;
    if (m_nStyle == kRadio && wParam != 0) {
        CWnd* parent = GetParent();
        for (CWnd* other = parent ? parent->GetNextDlgGroupItem(this) : nullptr;
             other && other->m_hWnd && other->m_hWnd != m_hWnd; other = parent->GetNextDlgGroupItem(other))
            other->PostMessage(WM_SKINBUTTON_UNCHECK);
    }
    Invalidate();
    return 0;
}

LRESULT CxSkinButton::OnGetCheck(WPARAM, LPARAM) {
    return m_bChecked ? 1 : 0;
}

LRESULT CxSkinButton::OnUncheck(WPARAM, LPARAM) {
    if (m_bChecked) {
        m_bChecked = false;
        Invalidate();
    }
    return 0;
}
