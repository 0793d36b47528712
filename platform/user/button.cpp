// The button control: push and default buttons, check boxes, radio buttons, group boxes and owner-drawn buttons.
#include "platform/user/internal.h"

namespace platform::user {

namespace {

struct ButtonData : ControlData {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    bool focused = false;
    bool tracking = false; // the left button went down here and the capture is ours
    bool spaceDown = false;
    UINT drawAction = ODA_DRAWENTIRE;
    HANDLE image = nullptr;
};

UINT TypeOf(DWORD style) {
    return style & BS_TYPEMASK;
}

bool IsCheckType(UINT type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
           type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool IsRadio(UINT type) {
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

void Repaint(HWND hwnd, UINT action = ODA_DRAWENTIRE) {
    if (auto* d = ControlOf<ButtonData>(hwnd))
        d->drawAction = action;
    InvalidateRect(hwnd, nullptr, FALSE);
}

// An auto radio button that gets checked by the user unchecks the others of its group.
void UncheckGroup(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    if (!parent)
        return;
    for (HWND other = GetNextDlgGroupItem(parent, hwnd, FALSE); other && other != hwnd;
         other = GetNextDlgGroupItem(parent, other, FALSE)) {
        if (SendMessageW(other, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
            SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void Click(HWND hwnd) {
    UINT type = TypeOf(StyleOf(hwnd));
    auto* d = ControlOf<ButtonData>(hwnd);
    if (!d)
        return;
    if (type == BS_AUTOCHECKBOX) {
        SendMessageW(hwnd, BM_SETCHECK, d->check ? BST_UNCHECKED : BST_CHECKED, 0);
    } else if (type == BS_AUTO3STATE) {
        SendMessageW(hwnd, BM_SETCHECK, (d->check + 1) % 3, 0);
    } else if (type == BS_AUTORADIOBUTTON) {
        SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
        UncheckGroup(hwnd);
    }
    NotifyParent(hwnd, BN_CLICKED);
}

void DrawText(HDC dc, HWND hwnd, RECT r, UINT format, bool disabled) {
    std::u16string text = WindowText(hwnd);
    if (disabled)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING)
        format |= DT_RTLREADING;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
}

void PaintPush(HWND hwnd, HDC dc, const RECT& client, ButtonData& d, DWORD style, bool disabled) {
    SendCtlColor(hwnd, WM_CTLCOLORBTN, dc);
    RECT r = client;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (TypeOf(style) == BS_DEFPUSHBUTTON) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_3DDKSHADOW));
        InflateRect(&r, -1, -1);
    }
    RECT edge = r;
    DrawEdge(dc, &edge, d.pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    RECT text = r;
    if (d.pushed)
        OffsetRect(&text, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawText(dc, hwnd, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, disabled);
    if (d.focused) {
        RECT f = r;
        InflateRect(&f, -3, -3);
        DrawFocusRect(dc, &f);
    }
}

void PaintCheck(HWND hwnd, HDC dc, const RECT& client, ButtonData& d, DWORD style, bool disabled) {
    auto brush = reinterpret_cast<HBRUSH>(SendCtlColor(hwnd, WM_CTLCOLORSTATIC, dc));
    if (brush)
        FillRect(dc, &client, brush);
    UINT type = TypeOf(style);
    const int box = 13;
    int top = (client.bottom - box) / 2;
    bool leftText = (style & BS_LEFTTEXT) != 0;
    RECT b{leftText ? client.right - box : 0, top, (leftText ? client.right - box : 0) + box, top + box};
    HBRUSH face = GetSysColorBrush((disabled || d.pushed) ? COLOR_BTNFACE : COLOR_WINDOW);
    if (IsRadio(type)) {
        HGDIOBJ oldBrush = SelectObject(dc, face);
        HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        Ellipse(dc, b.left, b.top, b.right, b.bottom);
        if (d.check) {
            SelectObject(dc, GetSysColorBrush(disabled ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
            SelectObject(dc, GetStockObject(NULL_PEN));
            Ellipse(dc, b.left + 4, b.top + 4, b.right - 3, b.bottom - 3);
        }
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
    } else {
        FillRect(dc, &b, face);
        RECT e = b;
        DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT);
        if (d.check) {
            HPEN pen = CreatePen(
                PS_SOLID, 2, GetSysColor(disabled || d.check == BST_INDETERMINATE ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
            HGDIOBJ oldPen = SelectObject(dc, pen);
            MoveToEx(dc, b.left + 3, b.top + 6, nullptr);
            LineTo(dc, b.left + 5, b.top + 9);
            LineTo(dc, b.left + 10, b.top + 3);
            SelectObject(dc, oldPen);
            DeleteObject(pen);
        }
    }
    RECT text = client;
    if (leftText)
        text.right -= box + 4;
    else
        text.left += box + 4;
    // BS_RIGHT puts the text against the right edge (beside the box, with BS_LEFTTEXT: the right-to-left form).
    const DWORD align = style & BS_CENTER;
    const UINT horizontal = align == BS_RIGHT ? DT_RIGHT : align == BS_CENTER ? DT_CENTER : DT_LEFT;
    DrawText(dc, hwnd, text, horizontal | DT_VCENTER | DT_SINGLELINE, disabled);
    if (d.focused) {
        std::u16string s = WindowText(hwnd);
        RECT f = text;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &f, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
        const int width = f.right - f.left;
        if (horizontal == DT_RIGHT)
            OffsetRect(&f, text.right - f.right, 0);
        else if (horizontal == DT_CENTER)
            OffsetRect(&f, (text.right - text.left - width) / 2, 0);
        int h = f.bottom - f.top;
        f.top = (client.bottom - h) / 2 - 1;
        f.bottom = f.top + h + 2;
        f.left -= 1;
        f.right += 1;
        DrawFocusRect(dc, &f);
    }
}

void PaintGroup(HWND hwnd, HDC dc, const RECT& client, bool disabled) {
    SendCtlColor(hwnd, WM_CTLCOLORSTATIC, dc);
    std::u16string text = WindowText(hwnd);
    SIZE extent{0, 0};
    GetTextExtentPoint32W(dc, text.empty() ? u" " : text.c_str(), text.empty() ? 1 : static_cast<int>(text.size()),
                          &extent);
    RECT frame = client;
    frame.top += extent.cy / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!text.empty()) {
        RECT t{8, 0, 8 + extent.cx + 4, extent.cy};
        DrawText(dc, hwnd, RECT{t.left + 2, t.top, t.right, t.bottom}, DT_LEFT | DT_SINGLELINE, disabled);
    }
}

void PaintOwnerDraw(HWND hwnd, HDC dc, const RECT& client, ButtonData& d, bool disabled) {
    SendCtlColor(hwnd, WM_CTLCOLORBTN, dc);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    dis.itemAction = d.drawAction;
    dis.itemState = (d.pushed ? ODS_SELECTED : 0) | (d.focused ? ODS_FOCUS : 0) | (disabled ? ODS_DISABLED : 0);
    dis.hwndItem = hwnd;
    dis.hDC = dc;
    dis.rcItem = client;
    d.drawAction = ODA_DRAWENTIRE;
    if (HWND parent = GetParent(hwnd))
        SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    auto* d = ControlOf<ButtonData>(hwnd);
    if (dc && d) {
        DWORD style = StyleOf(hwnd);
        bool disabled = !IsWindowEnabled(hwnd);
        RECT client{};
        GetClientRect(hwnd, &client);
        int saved = SaveDC(dc);
        if (HFONT font = WindowFont(hwnd))
            SelectObject(dc, font);
        UINT type = TypeOf(style);
        if (type == BS_OWNERDRAW)
            PaintOwnerDraw(hwnd, dc, client, *d, disabled);
        else if (type == BS_GROUPBOX)
            PaintGroup(hwnd, dc, client, disabled);
        else if (IsCheckType(type))
            PaintCheck(hwnd, dc, client, *d, style, disabled);
        else
            PaintPush(hwnd, dc, client, *d, style, disabled);
        RestoreDC(dc, saved);
    }
    EndPaint(hwnd, &ps);
}

bool PointInClient(HWND hwnd, LPARAM lParam) {
    RECT r{};
    GetClientRect(hwnd, &r);
    POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    return PtInRect(&r, p);
}

} // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* d = ControlOf<ButtonData>(hwnd);
    if (!d)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    UINT type = TypeOf(StyleOf(hwnd));
    switch (msg) {
    case WM_GETDLGCODE:
        switch (type) {
        case BS_PUSHBUTTON:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    case WM_NCHITTEST:
        return type == BS_GROUPBOX ? HTTRANSPARENT : HTCLIENT;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_SETFONT: {
        KeepWindowFont(hwnd, reinterpret_cast<HFONT>(wParam));
        if (lParam)
            Repaint(hwnd);
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(WindowFont(hwnd));
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE:
        Repaint(hwnd);
        return 0;
    case WM_SETFOCUS:
        d->focused = true;
        Repaint(hwnd, ODA_FOCUS);
        if (StyleOf(hwnd) & BS_NOTIFY)
            NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        d->focused = false;
        if (d->tracking && GetCapture() == hwnd)
            ReleaseCapture();
        d->tracking = false;
        d->spaceDown = false;
        if (d->pushed) {
            d->pushed = false;
        }
        Repaint(hwnd, ODA_FOCUS);
        if (StyleOf(hwnd) & BS_NOTIFY)
            NotifyParent(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX)
            return 0;
        SetFocus(hwnd);
        SetCapture(hwnd);
        d->tracking = true;
        SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
        return 0;
    case WM_MOUSEMOVE:
        if (d->tracking && GetCapture() == hwnd) {
            bool inside = PointInClient(hwnd, lParam);
            if (inside != d->pushed)
                SendMessageW(hwnd, BM_SETSTATE, inside, 0);
        }
        return 0;
    case WM_LBUTTONUP: {
        if (!d->tracking)
            return 0;
        bool click = d->pushed && PointInClient(hwnd, lParam);
        d->tracking = false;
        SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
        if (GetCapture() == hwnd)
            ReleaseCapture();
        if (click)
            Click(hwnd);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (d->tracking) {
            d->tracking = false;
            if (d->pushed)
                SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && type != BS_GROUPBOX) {
            d->spaceDown = true;
            SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && d->spaceDown) {
            d->spaceDown = false;
            SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
            Click(hwnd);
        }
        return 0;
    case WM_CHAR:
        return 0;
    case BM_CLICK:
        if (!IsWindowEnabled(hwnd))
            return 0;
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case BM_GETCHECK:
        return IsCheckType(type) ? d->check : 0;
    case BM_SETCHECK: {
        if (!IsCheckType(type))
            return 0;
        UINT check = static_cast<UINT>(wParam) & 3;
        if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE)
            check = BST_CHECKED;
        if (IsRadio(type)) {
            // A checked radio button is the one Tab stops at in its group.
            DWORD style = StyleOf(hwnd);
            SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(check ? style | WS_TABSTOP : style & ~WS_TABSTOP));
        }
        if (check != d->check) {
            d->check = check;
            Repaint(hwnd, ODA_SELECT);
        }
        return 0;
    }
    case BM_GETSTATE:
        return d->check | (d->pushed ? BST_PUSHED : 0) | (d->focused ? BST_FOCUS : 0);
    case BM_SETSTATE: {
        bool pushed = wParam != 0;
        if (pushed != d->pushed) {
            d->pushed = pushed;
            Repaint(hwnd, ODA_SELECT);
            UpdateWindow(hwnd);
        }
        return 0;
    }
    case BM_SETSTYLE: {
        DWORD style = StyleOf(hwnd);
        SetWindowLongW(hwnd, GWL_STYLE,
                       static_cast<LONG>((style & ~static_cast<DWORD>(BS_TYPEMASK)) | (wParam & BS_TYPEMASK)));
        if (lParam)
            Repaint(hwnd);
        return 0;
    }
    case BM_SETIMAGE: {
        HANDLE old = d->image;
        d->image = reinterpret_cast<HANDLE>(lParam);
        Repaint(hwnd);
        return reinterpret_cast<LRESULT>(old);
    }
    case BM_GETIMAGE:
        return reinterpret_cast<LRESULT>(d->image);
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform::user
