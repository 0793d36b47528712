// The static control: texts (left, centred, right, with ellipsis), bitmaps, rectangles and frames, owner-drawn
// statics, and the click notifications of SS_NOTIFY statics.
#include "platform/user/internal.h"

namespace platform::user {

namespace {

struct StaticData : ControlData {
    HANDLE image = nullptr;
    bool ownsImage = false; // loaded from the template's text; a bitmap set by STM_SETIMAGE stays the caller's
    HICON icon = nullptr;
};

UINT TextFormat(DWORD style) {
    UINT format = DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format |= DT_CENTER | DT_WORDBREAK;
        break;
    case SS_RIGHT:
        format |= DT_RIGHT | DT_WORDBREAK;
        break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP:
        format |= DT_LEFT | DT_SINGLELINE;
        break;
    default:
        format |= DT_LEFT | DT_WORDBREAK;
        break;
    }
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE)
        format = (format & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_VCENTER;
    switch (style & SS_WORDELLIPSIS) {
    case SS_ENDELLIPSIS:
        format = (format & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_END_ELLIPSIS;
        break;
    case SS_PATHELLIPSIS:
        format = (format & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_PATH_ELLIPSIS;
        break;
    case SS_WORDELLIPSIS:
        format = (format & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_WORD_ELLIPSIS;
        break;
    default:
        break;
    }
    return format;
}

void PaintImage(HDC dc, HANDLE image, const RECT& client, DWORD style) {
    if (!image)
        return;
    BITMAP bm{};
    if (!GetObjectW(image, sizeof bm, &bm))
        return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, image);
    int x = 0;
    int y = 0;
    if (style & SS_CENTERIMAGE) {
        x = (client.right - bm.bmWidth) / 2;
        y = (client.bottom - bm.bmHeight) / 2;
    }
    BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    auto* d = ControlOf<StaticData>(hwnd);
    if (!dc || !d) {
        EndPaint(hwnd, &ps);
        return;
    }
    DWORD style = StyleOf(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    int saved = SaveDC(dc);
    if (HFONT font = WindowFont(hwnd))
        SelectObject(dc, font);
    UINT type = style & SS_TYPEMASK;
    switch (type) {
    case SS_OWNERDRAW: {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_STATIC;
        dis.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED;
        dis.hwndItem = hwnd;
        dis.hDC = dc;
        dis.rcItem = client;
        if (HWND parent = GetParent(hwnd))
            SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        break;
    }
    case SS_BLACKRECT:
        FillRect(dc, &client, GetSysColorBrush(COLOR_3DDKSHADOW));
        break;
    case SS_GRAYRECT:
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
        break;
    case SS_WHITERECT:
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
        break;
    case SS_BLACKFRAME:
        FrameRect(dc, &client, GetSysColorBrush(COLOR_3DDKSHADOW));
        break;
    case SS_GRAYFRAME:
        FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
        break;
    case SS_WHITEFRAME:
        FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
        break;
    case SS_ETCHEDHORZ: {
        RECT r = client;
        DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP);
        break;
    }
    case SS_ETCHEDVERT: {
        RECT r = client;
        DrawEdge(dc, &r, EDGE_ETCHED, BF_LEFT);
        break;
    }
    case SS_ETCHEDFRAME: {
        RECT r = client;
        DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
        break;
    }
    case SS_BITMAP:
    case SS_ICON: {
        auto brush = reinterpret_cast<HBRUSH>(SendCtlColor(hwnd, WM_CTLCOLORSTATIC, dc));
        if (brush)
            FillRect(dc, &client, brush);
        if (type == SS_BITMAP)
            PaintImage(dc, d->image, client, style);
        break;
    }
    default: {
        auto brush = reinterpret_cast<HBRUSH>(SendCtlColor(hwnd, WM_CTLCOLORSTATIC, dc));
        if (brush)
            FillRect(dc, &client, brush);
        if (!IsWindowEnabled(hwnd))
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        std::u16string text = WindowText(hwnd);
        RECT r = client;
        UINT reading = (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING) ? DT_RTLREADING : 0;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFormat(style) | reading);
        break;
    }
    }
    if (style & SS_SUNKEN) {
        RECT r = client;
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    }
    RestoreDC(dc, saved);
    EndPaint(hwnd, &ps);
}

// A bitmap static takes the bitmap's size, unless it centres the image in its own rectangle.
void FitToImage(HWND hwnd, HANDLE image) {
    if (!image || (StyleOf(hwnd) & SS_CENTERIMAGE))
        return;
    BITMAP bm{};
    if (GetObjectW(image, sizeof bm, &bm))
        SetWindowPos(hwnd, nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* d = ControlOf<StaticData>(hwnd);
    if (!d)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_CREATE: {
        // A bitmap static of a template names its bitmap in its text: "#1001" or a resource name.
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if ((StyleOf(hwnd) & SS_TYPEMASK) == SS_BITMAP && cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName) &&
            cs->lpszName[0] == u'#') {
            UINT id = 0;
            for (const WCHAR* p = cs->lpszName + 1; *p >= u'0' && *p <= u'9'; ++p)
                id = id * 10 + static_cast<UINT>(*p - u'0');
            if (HBITMAP bitmap = LoadBitmapW(cs->hInstance, MAKEINTRESOURCEW(id))) {
                d->image = bitmap;
                d->ownsImage = true;
                FitToImage(hwnd, bitmap);
            }
        }
        return 0;
    }
    case WM_NCDESTROY:
        if (d->ownsImage && d->image)
            DeleteObject(d->image);
        d->image = nullptr;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST:
        return (StyleOf(hwnd) & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_ERASEBKGND:
        return 1; // everything is painted in WM_PAINT
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_LBUTTONDOWN:
        if (StyleOf(hwnd) & SS_NOTIFY)
            NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (StyleOf(hwnd) & SS_NOTIFY)
            NotifyParent(hwnd, STN_DBLCLK);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        if (StyleOf(hwnd) & SS_NOTIFY)
            NotifyParent(hwnd, wParam ? STN_ENABLE : STN_DISABLE);
        return 0;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_SETFONT: {
        KeepWindowFont(hwnd, reinterpret_cast<HFONT>(wParam));
        if (lParam)
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(WindowFont(hwnd));
    case STM_SETIMAGE: {
        HANDLE old = d->image;
        if (wParam == IMAGE_BITMAP) {
            if (d->ownsImage) {
                if (d->image)
                    DeleteObject(d->image);
                old = nullptr;
                d->ownsImage = false;
            }
            d->image = reinterpret_cast<HANDLE>(lParam);
            FitToImage(hwnd, d->image);
        } else {
            old = d->icon;
            d->icon = reinterpret_cast<HICON>(lParam);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
        return reinterpret_cast<LRESULT>(wParam == IMAGE_BITMAP ? d->image : static_cast<HANDLE>(d->icon));
    case STM_SETICON: {
        HICON old = d->icon;
        d->icon = reinterpret_cast<HICON>(wParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(d->icon);
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform::user
