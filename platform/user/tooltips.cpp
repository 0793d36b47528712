// The tooltip control: its table of tools and their texts, activation, and the relayed mouse messages that tell it
// which tool the pointer is over. A tip shows in a small window below the pointer after the pointer rests on a tool.
#include "platform/user/internal.h"

#include <algorithm>

namespace platform::user {

namespace {

struct Tool {
    UINT flags = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    HINSTANCE instance = nullptr;
    std::u16string text;
    bool callback = false;
    LPARAM lParam = 0;
};

struct TooltipData : ControlData {
    std::vector<Tool> tools;
    bool active = true;
    int maxWidth = -1;
    int current = -1;
};

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowDelay = 500;

void Pop(HWND hwnd, TooltipData& d) {
    d.current = -1;
    KillTimer(hwnd, kShowTimer);
    ShowWindow(hwnd, SW_HIDE);
}

HFONT TipFont() {
    return CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"MS Shell Dlg");
}

void Show(HWND hwnd, TooltipData& d) {
    if (d.current < 0)
        return;
    const std::u16string& text = d.tools[static_cast<size_t>(d.current)].text;
    if (text.empty())
        return;
    HDC dc = GetDC(hwnd);
    HFONT font = TipFont();
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, d.maxWidth > 0 ? d.maxWidth : 1000, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(hwnd, dc);
    POINT at{};
    GetCursorPos(&at);
    SetWindowPos(hwnd, HWND_TOPMOST, at.x, at.y + 20, r.right + 8, r.bottom + 6, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void PaintTip(HWND hwnd, TooltipData& d) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc && d.current >= 0) {
        RECT r{};
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        HFONT font = TipFont();
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        InflateRect(&r, -4, -3);
        const std::u16string& text = d.tools[static_cast<size_t>(d.current)].text;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_NOPREFIX | DT_WORDBREAK);
        SelectObject(dc, old);
        DeleteObject(font);
    }
    EndPaint(hwnd, &ps);
}

std::u16string TextOf(const TTTOOLINFOW& ti) {
    if (ti.lpszText == LPSTR_TEXTCALLBACKW)
        return u"";
    if (!ti.lpszText)
        return u"";
    if (IS_INTRESOURCE(ti.lpszText)) {
        WCHAR buffer[1024];
        int n = LoadStringW(ti.hinst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(ti.lpszText)), buffer, 1024);
        return std::u16string(buffer, static_cast<size_t>(std::max(n, 0)));
    }
    return ti.lpszText;
}

int FindTool(const TooltipData& d, const TTTOOLINFOW* ti) {
    if (!ti)
        return -1;
    for (size_t i = 0; i < d.tools.size(); ++i)
        if (d.tools[i].hwnd == ti->hwnd && d.tools[i].id == ti->uId)
            return static_cast<int>(i);
    return -1;
}

void Fill(const Tool& t, TTTOOLINFOW* ti) {
    ti->uFlags = t.flags;
    ti->hwnd = t.hwnd;
    ti->uId = t.id;
    ti->rect = t.rect;
    ti->hinst = t.instance;
    ti->lParam = t.lParam;
}

int ToolAt(const TooltipData& d, const MSG& m) {
    for (size_t i = 0; i < d.tools.size(); ++i) {
        const Tool& t = d.tools[i];
        if (t.flags & TTF_IDISHWND) {
            if (reinterpret_cast<HWND>(t.id) == m.hwnd)
                return static_cast<int>(i);
        } else if (t.hwnd == m.hwnd) {
            POINT p{static_cast<SHORT>(LOWORD(m.lParam)), static_cast<SHORT>(HIWORD(m.lParam))};
            if (PtInRect(&t.rect, p))
                return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

LRESULT CALLBACK TooltipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* d = ControlOf<TooltipData>(hwnd);
    if (!d)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    auto* ti = reinterpret_cast<TTTOOLINFOW*>(lParam);
    switch (msg) {
    case TTM_ADDTOOLW: {
        if (!ti)
            return FALSE;
        Tool t;
        t.flags = ti->uFlags;
        t.hwnd = ti->hwnd;
        t.id = ti->uId;
        t.rect = ti->rect;
        t.instance = ti->hinst;
        t.callback = ti->lpszText == LPSTR_TEXTCALLBACKW;
        t.text = TextOf(*ti);
        t.lParam = ti->lParam;
        d->tools.push_back(std::move(t));
        return TRUE;
    }
    case TTM_DELTOOLW: {
        int i = FindTool(*d, ti);
        if (i >= 0) {
            d->tools.erase(d->tools.begin() + i);
            if (d->current == i)
                d->current = -1;
            else if (d->current > i)
                --d->current;
        }
        return 0;
    }
    case TTM_UPDATETIPTEXTW: {
        int i = FindTool(*d, ti);
        if (i >= 0) {
            d->tools[static_cast<size_t>(i)].text = TextOf(*ti);
            d->tools[static_cast<size_t>(i)].callback = ti->lpszText == LPSTR_TEXTCALLBACKW;
        }
        return 0;
    }
    case TTM_GETTEXTW: {
        int i = FindTool(*d, ti);
        if (!ti || !ti->lpszText)
            return 0;
        const std::u16string& s = i >= 0 ? d->tools[static_cast<size_t>(i)].text : std::u16string();
        // The caller's buffer is at least 80 characters, as on Windows, unless wParam says more.
        size_t room = wParam ? static_cast<size_t>(wParam) : 80;
        size_t n = std::min(s.size(), room - 1);
        std::copy_n(s.data(), n, ti->lpszText);
        ti->lpszText[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case TTM_GETTOOLINFOW: {
        int i = FindTool(*d, ti);
        if (i < 0)
            return FALSE;
        Fill(d->tools[static_cast<size_t>(i)], ti);
        return TRUE;
    }
    case TTM_SETTOOLINFOW: {
        int i = FindTool(*d, ti);
        if (i >= 0) {
            Tool& t = d->tools[static_cast<size_t>(i)];
            t.flags = ti->uFlags;
            t.rect = ti->rect;
            t.text = TextOf(*ti);
            t.lParam = ti->lParam;
        }
        return 0;
    }
    case TTM_NEWTOOLRECTW: {
        int i = FindTool(*d, ti);
        if (i >= 0)
            d->tools[static_cast<size_t>(i)].rect = ti->rect;
        return 0;
    }
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(d->tools.size());
    case TTM_ENUMTOOLSW: {
        auto index = static_cast<size_t>(wParam);
        if (!ti || index >= d->tools.size())
            return FALSE;
        Fill(d->tools[index], ti);
        return TRUE;
    }
    case TTM_GETCURRENTTOOLW:
        if (d->current < 0)
            return FALSE;
        if (ti)
            Fill(d->tools[static_cast<size_t>(d->current)], ti);
        return TRUE;
    case TTM_ACTIVATE:
        d->active = wParam != 0;
        if (!d->active)
            Pop(hwnd, *d);
        return 0;
    case TTM_SETMAXTIPWIDTH: {
        int old = d->maxWidth;
        d->maxWidth = static_cast<int>(lParam);
        return old;
    }
    case TTM_GETMAXTIPWIDTH:
        return d->maxWidth;
    case TTM_SETDELAYTIME:
        return 0;
    case TTM_POP:
        Pop(hwnd, *d);
        return 0;
    case TTM_RELAYEVENT: {
        auto* m = reinterpret_cast<const MSG*>(lParam);
        if (!m || !d->active)
            return 0;
        if (m->message == WM_MOUSEMOVE) {
            int tool = ToolAt(*d, *m);
            if (tool != d->current) {
                Pop(hwnd, *d);
                d->current = tool;
                if (tool >= 0)
                    SetTimer(hwnd, kShowTimer, kShowDelay, nullptr);
            }
        } else if (m->message == WM_LBUTTONDOWN || m->message == WM_RBUTTONDOWN || m->message == WM_MBUTTONDOWN ||
                   m->message == WM_MOUSELEAVE) {
            Pop(hwnd, *d);
        }
        return 0;
    }
    case WM_TIMER:
        if (wParam == kShowTimer) {
            KillTimer(hwnd, kShowTimer);
            Show(hwnd, *d);
        }
        return 0;
    case WM_PAINT:
        PaintTip(hwnd, *d);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace platform::user
