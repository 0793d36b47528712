// The list box: one column of text items with a single selection, sorted or not, chosen with the mouse or the
// keyboard; LBS_NOTIFY reports the user's selection changes and double clicks. With WS_VSCROLL it keeps a scroll
// bar control of its own at its right edge, shown while the items do not fit.
#include "platform/user/internal.h"

#include <algorithm>

namespace platform::user {

namespace {

constexpr int kItemHeight = 16;
constexpr int kBarWidth = 17;
constexpr int kWheelLines = 3;

struct Item {
    std::u16string text;
    ULONG_PTR data = 0;
};

struct ListData : ControlData {
    std::vector<Item> items;
    int sel = -1;
    int top = 0;
    HWND bar = nullptr;
};

ListData* DataOf(HWND list) {
    return ControlOf<ListData>(list);
}

int Count(const ListData& d) {
    return static_cast<int>(d.items.size());
}

// Whole items that fit in the client area, at least one.
int VisibleRows(HWND list) {
    RECT client{};
    GetClientRect(list, &client);
    return std::max(1, static_cast<int>(client.bottom - client.top) / kItemHeight);
}

// The text area: the client area less the scroll bar while it shows.
RECT TextArea(HWND list, const ListData& d) {
    RECT r{};
    GetClientRect(list, &r);
    if (d.bar && IsWindowVisible(d.bar))
        r.right = std::max(r.left, r.right - kBarWidth);
    return r;
}

void UpdateBar(HWND list, ListData& d) {
    if (!d.bar)
        return;
    RECT client{};
    GetClientRect(list, &client);
    const int rows = VisibleRows(list);
    const bool needed = Count(d) > rows;
    MoveWindow(d.bar, client.right - kBarWidth, 0, kBarWidth, client.bottom, FALSE);
    SCROLLINFO si{
        sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, Count(d) - 1), static_cast<UINT>(rows), d.top, 0};
    SetScrollInfo(d.bar, SB_CTL, &si, TRUE);
    ShowWindow(d.bar, needed ? SW_SHOWNA : SW_HIDE);
}

void SetTop(HWND list, ListData& d, int top) {
    top = std::clamp(top, 0, std::max(0, Count(d) - VisibleRows(list)));
    if (top == d.top)
        return;
    d.top = top;
    UpdateBar(list, d);
    Redraw(list);
}

void Select(HWND list, ListData& d, int index, bool byUser) {
    index = index < 0 || Count(d) == 0 ? -1 : std::min(index, Count(d) - 1);
    if (index >= 0) {
        const int rows = VisibleRows(list);
        if (index < d.top)
            SetTop(list, d, index);
        else if (index >= d.top + rows)
            SetTop(list, d, index - rows + 1);
    }
    if (index == d.sel)
        return;
    d.sel = index;
    Redraw(list);
    if (byUser && (StyleOf(list) & LBS_NOTIFY))
        NotifyParent(list, LBN_SELCHANGE);
}

int Insert(HWND list, ListData& d, int index, const WCHAR* text) {
    Item item{text ? text : u"", 0};
    if (index < 0 || index > Count(d))
        index = Count(d);
    if (StyleOf(list) & LBS_SORT) {
        index = static_cast<int>(
            std::upper_bound(d.items.begin(), d.items.end(), item,
                             [](const Item& a, const Item& b) { return CompareNoCase(a.text, b.text) < 0; }) -
            d.items.begin());
    }
    d.items.insert(d.items.begin() + index, std::move(item));
    if (d.sel >= index)
        ++d.sel;
    UpdateBar(list, d);
    Redraw(list);
    return index;
}

int ItemAt(HWND list, const ListData& d, LPARAM lParam) {
    const int y = static_cast<SHORT>(HIWORD(lParam));
    if (y < 0)
        return -1;
    const int index = d.top + y / kItemHeight;
    return index < Count(d) ? index : -1;
}

// Typing a letter selects the next item that starts with it, after the selection, wrapping round.
void SelectByLetter(HWND list, ListData& d, WCHAR ch) {
    const int n = Count(d);
    for (int step = 1; step <= n; ++step) {
        const int i = (std::max(d.sel, -1) + step + n) % n;
        const std::u16string& text = d.items[static_cast<size_t>(i)].text;
        if (!text.empty() && towlower(text[0]) == towlower(ch)) {
            Select(list, d, i, true);
            return;
        }
    }
}

bool HandleKey(HWND list, ListData& d, WPARAM vk) {
    const int rows = VisibleRows(list);
    switch (vk) {
    case VK_UP:
        Select(list, d, d.sel < 0 ? 0 : std::max(0, d.sel - 1), true);
        return true;
    case VK_DOWN:
        Select(list, d, d.sel + 1, true);
        return true;
    case VK_PRIOR:
        Select(list, d, std::max(0, d.sel - (rows - 1)), true);
        return true;
    case VK_NEXT:
        Select(list, d, std::max(0, d.sel) + (rows - 1), true);
        return true;
    case VK_HOME:
        Select(list, d, 0, true);
        return true;
    case VK_END:
        Select(list, d, Count(d) - 1, true);
        return true;
    default:
        return false;
    }
}

void Paint(HWND list, ListData& d) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(list, &ps);
    if (!dc) {
        EndPaint(list, &ps);
        return;
    }
    const int saved = SaveDC(dc);
    if (HFONT font = WindowFont(list))
        SelectObject(dc, font);
    const bool disabled = !IsWindowEnabled(list);
    auto brush = reinterpret_cast<HBRUSH>(SendCtlColor(list, WM_CTLCOLORLISTBOX, dc));
    const RECT area = TextArea(list, d);
    FillRect(dc, &area, disabled ? GetSysColorBrush(COLOR_BTNFACE) : brush ? brush : GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    const bool focused = HasFocus(list);
    for (int i = d.top; i < Count(d); ++i) {
        const RECT row{area.left, area.top + (i - d.top) * kItemHeight, area.right,
                       area.top + (i - d.top + 1) * kItemHeight};
        if (row.top >= area.bottom)
            break;
        const bool selected = i == d.sel;
        if (selected)
            FillRect(dc, &row, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(disabled              ? COLOR_GRAYTEXT
                                     : selected && focused ? COLOR_HIGHLIGHTTEXT
                                                           : COLOR_WINDOWTEXT));
        RECT text = row;
        text.left += 3;
        const std::u16string& s = d.items[static_cast<size_t>(i)].text;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (selected && focused)
            DrawFocusRect(dc, &row);
    }
    RestoreDC(dc, saved);
    EndPaint(list, &ps);
}

} // namespace

LRESULT CALLBACK ListBoxProc(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
    ListData* d = DataOf(list);
    if (!d)
        return DefWindowProcW(list, msg, wParam, lParam);
    switch (msg) {
    case WM_CREATE:
        if (StyleOf(list) & WS_VSCROLL) {
            // The list keeps its own scroll bar control: the window's own bar would only be drawn.
            SetWindowLongW(list, GWL_STYLE, static_cast<LONG>(StyleOf(list) & ~static_cast<DWORD>(WS_VSCROLL)));
            d->bar = CreateWindowExW(0, u"ScrollBar", u"", WS_CHILD | SBS_VERT, 0, 0, kBarWidth, 0, list, nullptr,
                                     nullptr, nullptr);
            UpdateBar(list, *d);
        }
        return 0;
    case WM_SIZE:
        UpdateBar(list, *d);
        SetTop(list, *d, d->top);
        return 0;
    case WM_PAINT:
        Paint(list, *d);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFONT: {
        KeepWindowFont(list, reinterpret_cast<HFONT>(wParam));
        if (lParam)
            Redraw(list);
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(WindowFont(list));
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Redraw(list);
        if (StyleOf(list) & LBS_NOTIFY)
            NotifyParent(list, msg == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        Redraw(list);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (GetFocus() != list)
            SetFocus(list);
        const int index = ItemAt(list, *d, lParam);
        if (index >= 0)
            Select(list, *d, index, true);
        if (msg == WM_LBUTTONDBLCLK && index >= 0 && (StyleOf(list) & LBS_NOTIFY))
            NotifyParent(list, LBN_DBLCLK);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        const int notches = static_cast<SHORT>(HIWORD(wParam)) / WHEEL_DELTA;
        SetTop(list, *d, d->top - notches * kWheelLines);
        return 0;
    }
    case WM_VSCROLL: {
        const int rows = VisibleRows(list);
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            SetTop(list, *d, d->top - 1);
            break;
        case SB_LINEDOWN:
            SetTop(list, *d, d->top + 1);
            break;
        case SB_PAGEUP:
            SetTop(list, *d, d->top - rows);
            break;
        case SB_PAGEDOWN:
            SetTop(list, *d, d->top + rows);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            SetTop(list, *d, static_cast<SHORT>(HIWORD(wParam)));
            break;
        case SB_TOP:
            SetTop(list, *d, 0);
            break;
        case SB_BOTTOM:
            SetTop(list, *d, Count(*d));
            break;
        default:
            break;
        }
        return 0;
    }
    case WM_KEYDOWN:
        if (HandleKey(list, *d, wParam))
            return 0;
        return DefWindowProcW(list, msg, wParam, lParam);
    case WM_CHAR:
        if (wParam > u' ')
            SelectByLetter(list, *d, static_cast<WCHAR>(wParam));
        return 0;
    case LB_ADDSTRING:
        return Insert(list, *d, -1, reinterpret_cast<const WCHAR*>(lParam));
    case LB_INSERTSTRING:
        return Insert(list, *d, static_cast<int>(wParam), reinterpret_cast<const WCHAR*>(lParam));
    case LB_DELETESTRING: {
        const int index = static_cast<int>(wParam);
        if (index < 0 || index >= Count(*d))
            return LB_ERR;
        d->items.erase(d->items.begin() + index);
        if (d->sel == index)
            d->sel = -1;
        else if (d->sel > index)
            --d->sel;
        UpdateBar(list, *d);
        SetTop(list, *d, d->top);
        Redraw(list);
        return Count(*d);
    }
    case LB_RESETCONTENT:
        d->items.clear();
        d->sel = -1;
        d->top = 0;
        UpdateBar(list, *d);
        Redraw(list);
        return 0;
    case LB_GETCOUNT:
        return Count(*d);
    case LB_GETCURSEL:
        return d->sel;
    case LB_SETCURSEL: {
        // An index outside the list (-1 among them) removes the selection.
        const int index = static_cast<int>(wParam);
        const bool valid = index >= 0 && index < Count(*d);
        Select(list, *d, valid ? index : -1, false);
        return valid ? index : LB_ERR;
    }
    case LB_GETTEXT:
    case LB_GETTEXTLEN: {
        const int index = static_cast<int>(wParam);
        if (index < 0 || index >= Count(*d))
            return LB_ERR;
        const std::u16string& text = d->items[static_cast<size_t>(index)].text;
        if (msg == LB_GETTEXT && lParam) {
            // The caller's buffer holds the text and its terminator, as LB_GETTEXTLEN told it.
            auto* out = reinterpret_cast<WCHAR*>(lParam);
            std::copy(text.begin(), text.end(), out);
            out[text.size()] = 0;
        }
        return static_cast<LRESULT>(text.size());
    }
    case LB_FINDSTRINGEXACT: {
        const auto* text = reinterpret_cast<const WCHAR*>(lParam);
        if (!text)
            return LB_ERR;
        const int n = Count(*d);
        const int start = static_cast<int>(static_cast<INT_PTR>(wParam));
        for (int step = 1; step <= n; ++step) {
            const int i = (std::max(start, -1) + step + n) % n;
            if (CompareNoCase(d->items[static_cast<size_t>(i)].text, text) == 0)
                return i;
        }
        return LB_ERR;
    }
    case LB_GETTOPINDEX:
        return d->top;
    case LB_SETTOPINDEX:
        SetTop(list, *d, static_cast<int>(wParam));
        return 0;
    case LB_GETITEMHEIGHT:
        return kItemHeight;
    case LB_GETITEMDATA:
    case LB_SETITEMDATA: {
        const int index = static_cast<int>(wParam);
        if (index < 0 || index >= Count(*d))
            return LB_ERR;
        if (msg == LB_SETITEMDATA) {
            d->items[static_cast<size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
            return 0;
        }
        return static_cast<LRESULT>(d->items[static_cast<size_t>(index)].data);
    }
    default:
        return DefWindowProcW(list, msg, wParam, lParam);
    }
}

} // namespace platform::user
