// The combo box: drop-down lists and drop-downs with an edit, sorted or not, with the notifications of user actions
// only (CBN_SELCHANGE, CBN_EDITCHANGE, CBN_DROPDOWN, CBN_CLOSEUP, CBN_SELENDOK, CBN_SELENDCANCEL).
#include "platform/user/internal.h"

#include <algorithm>

namespace platform::user {

namespace {

constexpr int kFieldHeight = 21;
constexpr int kButtonWidth = 17;
constexpr int kEditId = 1001;

struct Item {
    std::u16string text;
    ULONG_PTR data = 0;
};

struct ComboData : ControlData {
    std::vector<Item> items;
    int sel = -1;
    int hot = -1; // highlighted entry of the dropped list
    int listHeight = 100;
    int itemHeight = 16;
    int droppedWidth = 0;
    bool dropped = false;
    bool focused = false;
    bool settingEdit = false; // the combo itself is changing its edit's text
    HWND edit = nullptr;
    HWND list = nullptr;
    WNDPROC editProc = nullptr;
};

UINT Kind(DWORD style) {
    return style & 3;
}

bool StartsWithNoCase(const std::u16string& s, const std::u16string& prefix) {
    return s.size() >= prefix.size() && CompareNoCase(s.substr(0, prefix.size()), prefix) == 0;
}

ComboData* DataOf(HWND combo) {
    return ControlOf<ComboData>(combo);
}

// A combo box laid out right to left (WS_EX_LAYOUTRTL) draws its field mirrored: the drop button at the left, the
// text from the right. Its edit and its list follow it.
bool Mirrored(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
}

// Puts the edit where the field's text goes and lays it out the combo box's way; the combo box's layout may have
// changed since the edit was made.
void PlaceEdit(HWND combo, const ComboData& d) {
    if (!d.edit)
        return;
    const bool mirrored = Mirrored(combo);
    const LONG exStyle = GetWindowLongW(d.edit, GWL_EXSTYLE);
    const LONG wanted = mirrored ? (exStyle | WS_EX_LAYOUTRTL) : (exStyle & ~static_cast<LONG>(WS_EX_LAYOUTRTL));
    RECT client{}, edit{};
    GetClientRect(combo, &client);
    GetWindowRect(d.edit, &edit);
    MapWindowPoints(nullptr, combo, reinterpret_cast<POINT*>(&edit), 2);
    const int width = edit.right - edit.left;
    const int x = mirrored ? client.right - 3 - width : 3;
    if (wanted != exStyle) {
        SetWindowLongW(d.edit, GWL_EXSTYLE, wanted);
        InvalidateRect(d.edit, nullptr, TRUE);
    }
    if (x != edit.left)
        SetWindowPos(d.edit, nullptr, x, edit.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetEditText(ComboData& d, const std::u16string& text) {
    if (!d.edit)
        return;
    d.settingEdit = true;
    SetWindowTextW(d.edit, text.c_str());
    SendMessageW(d.edit, EM_SETSEL, 0, -1);
    d.settingEdit = false;
}

void Select(HWND combo, ComboData& d, int index) {
    d.sel = (index >= 0 && index < static_cast<int>(d.items.size())) ? index : -1;
    d.hot = d.sel;
    SetEditText(d, d.sel >= 0 ? d.items[static_cast<size_t>(d.sel)].text : u"");
    InvalidateRect(combo, nullptr, TRUE);
    if (d.list)
        InvalidateRect(d.list, nullptr, TRUE);
}

int Find(const ComboData& d, int start, const std::u16string& text, bool exact) {
    int n = static_cast<int>(d.items.size());
    for (int step = 1; step <= n; ++step) {
        int i = (start + step + n) % n;
        if (start < 0)
            i = step - 1;
        const std::u16string& s = d.items[static_cast<size_t>(i)].text;
        if (exact ? CompareNoCase(s, text) == 0 : StartsWithNoCase(s, text))
            return i;
    }
    return CB_ERR;
}

void CloseUp(HWND combo, ComboData& d, bool ok) {
    if (!d.dropped)
        return;
    d.dropped = false;
    HWND list = d.list;
    d.list = nullptr;
    if (GetCapture() == list)
        ReleaseCapture();
    if (list)
        DestroyWindow(list);
    NotifyParent(combo, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    NotifyParent(combo, CBN_CLOSEUP);
    InvalidateRect(combo, nullptr, TRUE);
}

void DropDown(HWND combo, ComboData& d) {
    if (d.dropped || Kind(StyleOf(combo)) == CBS_SIMPLE)
        return;
    NotifyParent(combo, CBN_DROPDOWN);
    RECT r{};
    GetWindowRect(combo, &r);
    int count = std::max<int>(static_cast<int>(d.items.size()), 1);
    int height = std::min(count * d.itemHeight + 2, std::max(d.listHeight - kFieldHeight, d.itemHeight + 2));
    int width = std::max<int>(r.right - r.left, d.droppedWidth);
    d.dropped = true;
    d.hot = d.sel;
    // A mirrored list stands under the field from its right edge and reads from the right, as the field does.
    const bool mirrored = Mirrored(combo);
    d.list = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | (mirrored ? WS_EX_LAYOUTRTL : 0), u"ComboLBox", u"",
                             WS_POPUP | WS_BORDER, mirrored ? r.right - width : r.left, r.bottom, width, height, combo,
                             nullptr, nullptr, nullptr);
    if (d.list) {
        SetWindowLongPtrW(d.list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(combo));
        ShowWindow(d.list, SW_SHOWNA);
        SetCapture(d.list);
    }
    InvalidateRect(combo, nullptr, TRUE);
}

// Moves the selection as the user does with the keyboard: a change is reported.
void UserSelect(HWND combo, ComboData& d, int index) {
    index = std::clamp(index, 0, static_cast<int>(d.items.size()) - 1);
    if (d.items.empty() || index == d.sel)
        return;
    Select(combo, d, index);
    NotifyParent(combo, CBN_SELCHANGE);
}

bool HandleKey(HWND combo, ComboData& d, WPARAM vk) {
    bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    switch (vk) {
    case VK_F4:
        d.dropped ? CloseUp(combo, d, true) : DropDown(combo, d);
        return true;
    case VK_UP:
    case VK_DOWN:
        if (alt) {
            d.dropped ? CloseUp(combo, d, true) : DropDown(combo, d);
            return true;
        }
        UserSelect(combo, d, d.sel < 0 ? 0 : d.sel + (vk == VK_DOWN ? 1 : -1));
        return true;
    case VK_PRIOR:
        UserSelect(combo, d, d.sel - 8);
        return true;
    case VK_NEXT:
        UserSelect(combo, d, d.sel < 0 ? 0 : d.sel + 8);
        return true;
    case VK_HOME:
        if (d.edit)
            return false;
        UserSelect(combo, d, 0);
        return true;
    case VK_END:
        if (d.edit)
            return false;
        UserSelect(combo, d, static_cast<int>(d.items.size()) - 1);
        return true;
    case VK_RETURN:
        if (d.dropped) {
            CloseUp(combo, d, true);
            return true;
        }
        return false;
    case VK_ESCAPE:
        if (d.dropped) {
            CloseUp(combo, d, false);
            return true;
        }
        return false;
    default:
        return false;
    }
}

// The edit of a drop-down combo box: arrows and F4 belong to the combo box.
LRESULT CALLBACK ComboEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND combo = GetParent(edit);
    ComboData* d = DataOf(combo);
    if (!d || !d->editProc)
        return DefWindowProcW(edit, msg, wParam, lParam);
    switch (msg) {
    case WM_KEYDOWN:
        if (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_F4 || wParam == VK_PRIOR || wParam == VK_NEXT ||
            ((wParam == VK_RETURN || wParam == VK_ESCAPE) && d->dropped)) {
            HandleKey(combo, *d, wParam);
            return 0;
        }
        break;
    case WM_GETDLGCODE: {
        LRESULT code = CallWindowProcW(d->editProc, edit, msg, wParam, lParam);
        auto* m = reinterpret_cast<const MSG*>(lParam);
        if (d->dropped && m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KILLFOCUS: {
        LRESULT r = CallWindowProcW(d->editProc, edit, msg, wParam, lParam);
        auto next = reinterpret_cast<HWND>(wParam);
        if (next != combo && next != d->list) {
            CloseUp(combo, *d, false);
            d->focused = false;
            NotifyParent(combo, CBN_KILLFOCUS);
        }
        return r;
    }
    case WM_SETFOCUS:
        if (!d->focused) {
            d->focused = true;
            NotifyParent(combo, CBN_SETFOCUS);
        }
        break;
    default:
        break;
    }
    return CallWindowProcW(d->editProc, edit, msg, wParam, lParam);
}

void PaintField(HWND combo, ComboData& d) {
    PlaceEdit(combo, d);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(combo, &ps);
    if (!dc) {
        EndPaint(combo, &ps);
        return;
    }
    int saved = SaveDC(dc);
    if (HFONT font = WindowFont(combo))
        SelectObject(dc, font);
    RECT client{};
    GetClientRect(combo, &client);
    bool disabled = !IsWindowEnabled(combo);
    auto brush = reinterpret_cast<HBRUSH>(SendCtlColor(combo, d.edit ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC, dc));
    RECT field = client;
    FillRect(dc, &field, GetSysColorBrush(disabled ? COLOR_BTNFACE : COLOR_WINDOW));
    (void)brush;
    RECT edge = field;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    RECT button{client.right - 2 - kButtonWidth, 2, client.right - 2, client.bottom - 2};
    FillRect(dc, &button, GetSysColorBrush(COLOR_BTNFACE));
    RECT be = button;
    DrawEdge(dc, &be, d.dropped ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    int cx = (button.left + button.right) / 2;
    int cy = (button.top + button.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
        RECT line{cx - 3 + i, cy - 2 + i, cx + 4 - i, cy - 1 + i};
        FillRect(dc, &line, GetSysColorBrush(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    }
    if (!d.edit) {
        RECT text{3, 3, button.left - 1, client.bottom - 3};
        bool highlight = d.focused && !d.dropped;
        if (highlight)
            FillRect(dc, &text, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : highlight ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        if (d.sel >= 0) {
            RECT t = text;
            t.left += 2;
            const std::u16string& s = d.items[static_cast<size_t>(d.sel)].text;
            DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &t,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
        if (highlight)
            DrawFocusRect(dc, &text);
    }
    RestoreDC(dc, saved);
    EndPaint(combo, &ps);
}

} // namespace

LRESULT CALLBACK ComboListProc(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto combo = reinterpret_cast<HWND>(GetWindowLongPtrW(list, GWLP_USERDATA));
    ComboData* d = combo ? DataOf(combo) : nullptr;
    if (!d)
        return DefWindowProcW(list, msg, wParam, lParam);
    auto indexAt = [&](LPARAM lp) {
        POINT p{static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp))};
        RECT r{};
        GetClientRect(list, &r);
        if (!PtInRect(&r, p))
            return -2;
        int i = p.y / d->itemHeight;
        return i < static_cast<int>(d->items.size()) ? i : -1;
    };
    switch (msg) {
    case WM_MOUSEMOVE: {
        int i = indexAt(lParam);
        if (i >= 0 && i != d->hot) {
            d->hot = i;
            InvalidateRect(list, nullptr, TRUE);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
        if (indexAt(lParam) == -2) {
            // A click outside the list closes it; on the combo box itself it only closes it.
            CloseUp(combo, *d, false);
        }
        return 0;
    case WM_LBUTTONUP: {
        int i = indexAt(lParam);
        if (i < 0)
            return 0;
        bool changed = i != d->sel;
        Select(combo, *d, i);
        if (changed)
            NotifyParent(combo, CBN_SELCHANGE);
        CloseUp(combo, *d, true);
        return 0;
    }
    case WM_CAPTURECHANGED:
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(list, &ps);
        if (dc) {
            int saved = SaveDC(dc);
            if (HFONT font = WindowFont(combo))
                SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            RECT client{};
            GetClientRect(list, &client);
            for (size_t i = 0; i < d->items.size(); ++i) {
                RECT r{0, static_cast<LONG>(i) * d->itemHeight, client.right, static_cast<LONG>(i + 1) * d->itemHeight};
                bool hot = static_cast<int>(i) == d->hot;
                if (hot)
                    FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
                SetTextColor(dc, GetSysColor(hot ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
                r.left += 2;
                DrawTextW(dc, d->items[i].text.c_str(), static_cast<int>(d->items[i].text.size()), &r,
                          DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
            RestoreDC(dc, saved);
        }
        EndPaint(list, &ps);
        return 0;
    }
    default:
        return DefWindowProcW(list, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ComboBoxProc(HWND combo, UINT msg, WPARAM wParam, LPARAM lParam) {
    ComboData* d = DataOf(combo);
    if (!d)
        return DefWindowProcW(combo, msg, wParam, lParam);
    DWORD style = StyleOf(combo);
    switch (msg) {
    case WM_CREATE: {
        // WS_VSCROLL of a combo box belongs to its list, not to the field.
        SetWindowLongW(combo, GWL_STYLE, static_cast<LONG>(style & ~static_cast<DWORD>(WS_VSCROLL | WS_HSCROLL)));
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        d->listHeight = cs ? cs->cy : 100;
        if (Kind(style) != CBS_SIMPLE && cs)
            SetWindowPos(combo, nullptr, 0, 0, cs->cx, kFieldHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (Kind(style) == CBS_DROPDOWN || Kind(style) == CBS_SIMPLE) {
            RECT r{};
            GetClientRect(combo, &r);
            d->edit = CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 3, 3,
                                      r.right - 6 - kButtonWidth, kFieldHeight - 6, combo,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), nullptr, nullptr);
            d->editProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(d->edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ComboEditProc)));
        }
        return 0;
    }
    case WM_COMMAND:
        // The edit's own notifications: a change the user typed becomes CBN_EDITCHANGE.
        if (reinterpret_cast<HWND>(lParam) == d->edit && d->edit) {
            if (HIWORD(wParam) == EN_CHANGE && !d->settingEdit)
                NotifyParent(combo, CBN_EDITCHANGE);
            else if (HIWORD(wParam) == EN_UPDATE && !d->settingEdit)
                NotifyParent(combo, CBN_EDITUPDATE);
        }
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
        auto* m = reinterpret_cast<const MSG*>(lParam);
        if (d->dropped && m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETFONT:
        KeepWindowFont(combo, reinterpret_cast<HFONT>(wParam));
        if (d->edit)
            SendMessageW(d->edit, WM_SETFONT, wParam, lParam);
        if (lParam)
            InvalidateRect(combo, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(WindowFont(combo));
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintField(combo, *d);
        return 0;
    case WM_ENABLE:
        if (d->edit)
            EnableWindow(d->edit, wParam ? TRUE : FALSE);
        InvalidateRect(combo, nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
        if (d->edit) {
            SetFocus(d->edit);
            SendMessageW(d->edit, EM_SETSEL, 0, -1);
            return 0;
        }
        d->focused = true;
        InvalidateRect(combo, nullptr, TRUE);
        NotifyParent(combo, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS: {
        auto next = reinterpret_cast<HWND>(wParam);
        if (d->edit && (next == d->edit))
            return 0;
        CloseUp(combo, *d, false);
        if (!d->edit) {
            d->focused = false;
            InvalidateRect(combo, nullptr, TRUE);
            NotifyParent(combo, CBN_KILLFOCUS);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (d->edit)
            SetFocus(d->edit);
        else
            SetFocus(combo);
        if (d->dropped)
            CloseUp(combo, *d, false);
        else
            DropDown(combo, *d);
        return 0;
    case WM_KEYDOWN:
        HandleKey(combo, *d, wParam);
        return 0;
    case WM_CHAR: {
        if (d->edit)
            return SendMessageW(d->edit, msg, wParam, lParam);
        auto ch = static_cast<WCHAR>(wParam);
        if (ch < 0x20)
            return 0;
        int i = Find(*d, d->sel, std::u16string(1, ch), false);
        if (i >= 0)
            UserSelect(combo, *d, i);
        return 0;
    }
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<LPCWSTR>(lParam);
        std::u16string s = text ? text : u"";
        if (d->edit) {
            SetEditText(*d, s);
            return TRUE;
        }
        int i = Find(*d, -1, s, true);
        if (i < 0)
            return CB_ERR;
        Select(combo, *d, i);
        return TRUE;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        std::u16string s;
        if (d->edit)
            s = WindowText(d->edit);
        else if (d->sel >= 0)
            s = d->items[static_cast<size_t>(d->sel)].text;
        if (msg == WM_GETTEXTLENGTH)
            return static_cast<LRESULT>(s.size());
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        size_t n = std::min<size_t>(s.size(), wParam - 1);
        std::copy_n(s.data(), n, buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case CB_ADDSTRING: {
        Item item{lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"", 0};
        size_t at = d->items.size();
        if (style & CBS_SORT) {
            at = 0;
            while (at < d->items.size() && CompareNoCase(d->items[at].text, item.text) <= 0)
                ++at;
        }
        d->items.insert(d->items.begin() + static_cast<std::ptrdiff_t>(at), item);
        if (d->sel >= static_cast<int>(at))
            ++d->sel;
        InvalidateRect(combo, nullptr, TRUE);
        return static_cast<LRESULT>(at);
    }
    case CB_INSERTSTRING: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index > static_cast<int>(d->items.size()))
            return CB_ERR;
        size_t at = index < 0 ? d->items.size() : static_cast<size_t>(index);
        d->items.insert(d->items.begin() + static_cast<std::ptrdiff_t>(at),
                        Item{lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"", 0});
        if (d->sel >= static_cast<int>(at))
            ++d->sel;
        return static_cast<LRESULT>(at);
    }
    case CB_DELETESTRING: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(d->items.size()))
            return CB_ERR;
        d->items.erase(d->items.begin() + index);
        if (d->sel == index)
            Select(combo, *d, -1);
        else if (d->sel > index)
            --d->sel;
        InvalidateRect(combo, nullptr, TRUE);
        return static_cast<LRESULT>(d->items.size());
    }
    case CB_RESETCONTENT:
        d->items.clear();
        Select(combo, *d, -1);
        return CB_OKAY;
    case CB_GETCOUNT:
        return static_cast<LRESULT>(d->items.size());
    case CB_GETCURSEL:
        return d->sel;
    case CB_SETCURSEL: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        Select(combo, *d, index);
        return d->sel == index ? index : CB_ERR;
    }
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(d->items.size()))
            return CB_ERR;
        const std::u16string& s = d->items[static_cast<size_t>(index)].text;
        if (msg == CB_GETLBTEXT && lParam) {
            auto* buffer = reinterpret_cast<LPWSTR>(lParam);
            std::copy(s.begin(), s.end(), buffer);
            buffer[s.size()] = 0;
        }
        return static_cast<LRESULT>(s.size());
    }
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
        if (d->items.empty() || !lParam)
            return CB_ERR;
        int i = Find(*d, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<LPCWSTR>(lParam),
                     msg == CB_FINDSTRINGEXACT);
        if (msg == CB_SELECTSTRING && i >= 0)
            Select(combo, *d, i);
        return i;
    }
    case CB_GETITEMDATA: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(d->items.size()))
            return CB_ERR;
        return static_cast<LRESULT>(d->items[static_cast<size_t>(index)].data);
    }
    case CB_SETITEMDATA: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0 || index >= static_cast<int>(d->items.size()))
            return CB_ERR;
        d->items[static_cast<size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
        return CB_OKAY;
    }
    case CB_LIMITTEXT:
        if (d->edit)
            SendMessageW(d->edit, EM_LIMITTEXT, wParam, 0);
        return TRUE;
    case CB_GETEDITSEL:
        return d->edit ? SendMessageW(d->edit, EM_GETSEL, wParam, lParam) : CB_ERR;
    case CB_SETEDITSEL:
        if (!d->edit)
            return CB_ERR;
        SendMessageW(d->edit, EM_SETSEL, static_cast<WPARAM>(static_cast<SHORT>(LOWORD(lParam))),
                     static_cast<SHORT>(HIWORD(lParam)));
        return TRUE;
    case CB_SHOWDROPDOWN:
        wParam ? DropDown(combo, *d) : CloseUp(combo, *d, false);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return d->dropped;
    case CB_SETITEMHEIGHT:
        if (static_cast<INT_PTR>(wParam) >= 0)
            d->itemHeight = std::max(1, static_cast<int>(lParam));
        return 0;
    case CB_GETITEMHEIGHT:
        return static_cast<INT_PTR>(wParam) < 0 ? kFieldHeight - 6 : d->itemHeight;
    case CB_SETDROPPEDWIDTH:
        d->droppedWidth = static_cast<int>(wParam);
        return d->droppedWidth;
    case CB_GETDROPPEDCONTROLRECT:
        if (lParam) {
            auto* r = reinterpret_cast<RECT*>(lParam);
            GetWindowRect(combo, r);
            r->bottom = r->top + d->listHeight;
        }
        return TRUE;
    case WM_DESTROY:
        CloseUp(combo, *d, false);
        return 0;
    default:
        return DefWindowProcW(combo, msg, wParam, lParam);
    }
}

} // namespace platform::user
