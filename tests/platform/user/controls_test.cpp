// Standard and common controls: what the user's actions report, and that values set by code report nothing.
#include "platform/gdi/textline.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

namespace ut = platform::user::testing;

constexpr const char* kControls = R"(DIALOGEX 0, 0, 220, 140
STYLE WS_POPUP | WS_CAPTION | WS_VISIBLE
CAPTION "Controls"
BEGIN
    AUTOCHECKBOX "Check", 10, 7, 7, 80, 10
    AUTORADIOBUTTON "One", 11, 7, 20, 80, 10, WS_GROUP | WS_TABSTOP
    AUTORADIOBUTTON "Two", 12, 7, 32, 80, 10
    CONTROL "Drawn", 13, "Button", BS_OWNERDRAW | WS_TABSTOP, 7, 46, 50, 14
    LTEXT "Plain", 14, 100, 7, 50, 8
    LTEXT "Notify", 15, 100, 20, 50, 8, SS_NOTIFY
    EDITTEXT 20, 100, 34, 100, 14, ES_AUTOHSCROLL
    COMBOBOX 30, 100, 52, 100, 80, CBS_DROPDOWNLIST | WS_TABSTOP
    COMBOBOX 31, 100, 70, 100, 80, CBS_DROPDOWN | CBS_SORT | WS_TABSTOP
    CONTROL "", 40, "msctls_trackbar32", WS_TABSTOP, 7, 90, 100, 20
    SCROLLBAR 41, 7, 115, 100, 10
END
)";

struct Note {
    UINT msg;
    int id;
    int code;
    int extra;
};

std::vector<Note>* g_notes = nullptr;
std::vector<DRAWITEMSTRUCT>* g_draws = nullptr;

INT_PTR CALLBACK RecordingProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!g_notes)
        return FALSE;
    switch (msg) {
    case WM_COMMAND:
        g_notes->push_back(Note{msg, LOWORD(wParam), HIWORD(wParam), 0});
        return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
        g_notes->push_back(Note{msg, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), LOWORD(wParam),
                                static_cast<SHORT>(HIWORD(wParam))});
        return TRUE;
    case WM_DRAWITEM:
        if (g_draws)
            g_draws->push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    default:
        return FALSE;
    }
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        g_notes = &notes;
        g_draws = &draws;
        dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kControls), nullptr, RecordingProc,
                                         0);
        ASSERT_NE(dlg, nullptr);
        ut::RunPendingMessages();
        notes.clear();
        draws.clear();
    }
    void TearDown() override {
        DestroyWindow(dlg);
        g_notes = nullptr;
        g_draws = nullptr;
    }
    HWND Item(int id) { return GetDlgItem(dlg, id); }
    std::vector<int> Codes(int id) {
        std::vector<int> out;
        for (const Note& n : notes)
            if (n.id == id)
                out.push_back(n.code);
        return out;
    }

    HWND dlg = nullptr;
    std::vector<Note> notes;
    std::vector<DRAWITEMSTRUCT> draws;
};

TEST_F(Controls, ValuesSetByCodeSendNoNotification) {
    SendMessageW(Item(10), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(Item(11), BM_SETCHECK, BST_CHECKED, 0);
    for (const char16_t* s : {u"b", u"a"})
        SendMessageW(Item(30), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendMessageW(Item(30), CB_SETCURSEL, 1, 0);
    SendMessageW(Item(31), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"x"));
    SendMessageW(Item(31), CB_SETCURSEL, 0, 0);
    SetWindowTextW(Item(31), u"typed by code");
    SendMessageW(Item(40), TBM_SETPOS, TRUE, 30);
    SetScrollPos(Item(41), SB_CTL, 5, TRUE);
    ut::RunPendingMessages();
    for (const Note& n : notes)
        ADD_FAILURE() << "control " << n.id << " sent code " << n.code;
    EXPECT_EQ(SendMessageW(Item(10), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Item(30), CB_GETCURSEL, 0, 0), 1);
}

TEST_F(Controls, ClicksCheckAndReportBnClicked) {
    ut::Click(Item(10));
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(Item(10), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Codes(10), std::vector<int>{BN_CLICKED});
    SendMessageW(Item(11), BM_SETCHECK, BST_CHECKED, 0);
    ut::Click(Item(12));
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(Item(12), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Item(11), BM_GETCHECK, 0, 0), BST_UNCHECKED) << "an auto radio unchecks its group";
}

TEST_F(Controls, PressingAndLeavingAButtonDoesNotClickIt) {
    RECT r{};
    GetWindowRect(Item(10), &r);
    ut::MouseMove(POINT{r.left + 2, r.top + 2});
    ut::MouseDown(POINT{r.left + 2, r.top + 2});
    ut::RunPendingMessages();
    EXPECT_TRUE(SendMessageW(Item(10), BM_GETSTATE, 0, 0) & BST_PUSHED);
    ut::MouseMove(POINT{r.right + 40, r.top + 2});
    ut::RunPendingMessages();
    EXPECT_FALSE(SendMessageW(Item(10), BM_GETSTATE, 0, 0) & BST_PUSHED) << "the capture follows the pointer out";
    ut::MouseUp(POINT{r.right + 40, r.top + 2});
    ut::RunPendingMessages();
    EXPECT_TRUE(Codes(10).empty());
}

TEST_F(Controls, OwnerDrawnButtonsAskTheirParentToDrawEachState) {
    InvalidateRect(Item(13), nullptr, TRUE);
    UpdateWindow(Item(13));
    ASSERT_FALSE(draws.empty());
    EXPECT_EQ(draws.back().CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(draws.back().CtlID, 13u);
    EXPECT_EQ(draws.back().itemState & ODS_SELECTED, 0u);
    SendMessageW(Item(13), BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(draws.back().itemState & ODS_SELECTED);
    EXPECT_EQ(draws.back().itemAction, static_cast<UINT>(ODA_SELECT));
    EXPECT_TRUE(SendMessageW(Item(13), BM_GETSTATE, 0, 0) & BST_PUSHED);
    EnableWindow(Item(13), FALSE);
    ut::RunPendingMessages();
    EXPECT_TRUE(draws.back().itemState & ODS_DISABLED);
}

TEST_F(Controls, StaticsReportClicksOnlyWithSsNotify) {
    ut::Click(Item(14));
    ut::Click(Item(15));
    ut::RunPendingMessages();
    EXPECT_TRUE(Codes(14).empty());
    EXPECT_EQ(Codes(15), std::vector<int>{STN_CLICKED});
    RECT r{};
    GetWindowRect(Item(14), &r);
    EXPECT_EQ(WindowFromPoint(POINT{r.left + 1, r.top + 1}), dlg) << "a plain static is transparent to the mouse";
}

TEST_F(Controls, EditTypingRespectsTheLimitAndReportsChanges) {
    HWND edit = Item(20);
    SendMessageW(edit, EM_LIMITTEXT, 4, 0);
    SetFocus(edit);
    notes.clear();
    ut::TypeText(u"12345");
    ut::RunPendingMessages();
    WCHAR text[16];
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"1234");
    int changes = 0;
    int maxText = 0;
    for (int c : Codes(20)) {
        changes += c == EN_CHANGE;
        maxText += c == EN_MAXTEXT;
    }
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(maxText, 1);
    SendMessageW(edit, EM_SETSEL, 1, 3);
    SendMessageW(edit, WM_COPY, 0, 0);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_PASTE, 0, 0);
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"23");
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(end, 2u);
}

TEST_F(Controls, ComboEditChangeOnlyForTheUsersTyping) {
    HWND combo = Item(31);
    SendMessageW(combo, CB_LIMITTEXT, 3, 0);
    for (const char16_t* s : {u"pear", u"apple", u"Quince"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    WCHAR text[16];
    SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::u16string(text), u"apple") << "sorted without regard to case";
    SendMessageW(combo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::u16string(text), u"Quince");
    SetFocus(combo);
    notes.clear();
    ut::TypeText(u"abcd");
    ut::RunPendingMessages();
    EXPECT_EQ(Codes(31), (std::vector<int>{CBN_EDITUPDATE, CBN_EDITCHANGE, CBN_EDITUPDATE, CBN_EDITCHANGE,
                                           CBN_EDITUPDATE, CBN_EDITCHANGE}))
        << "three characters fit the limit";
    GetWindowTextW(combo, text, 16);
    EXPECT_EQ(std::u16string(text), u"abc");
    notes.clear();
    ut::PressKey(VK_DOWN);
    ut::RunPendingMessages();
    EXPECT_EQ(Codes(31), std::vector<int>{CBN_SELCHANGE}) << "choosing an entry is no edit change";
}

TEST_F(Controls, DropListReportsSelectionsAndCancelledDrops) {
    HWND combo = Item(30);
    for (const char16_t* s : {u"one", u"two", u"three"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    SetFocus(combo);
    notes.clear();
    ut::PressKey(VK_DOWN);
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Codes(30), std::vector<int>{CBN_SELCHANGE});
    notes.clear();
    ut::PressKey(VK_F4);
    ut::RunPendingMessages();
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    ut::PressKey(VK_ESCAPE);
    ut::RunPendingMessages();
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(Codes(30), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}))
        << "Escape in a dropped list cancels without ending the dialog";
}

TEST_F(Controls, TrackbarTakesSignedRangesAndReportsScrollCodes) {
    HWND track = Item(40);
    SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(static_cast<WORD>(-100), 100));
    EXPECT_EQ(SendMessageW(track, TBM_GETRANGEMIN, 0, 0), -100);
    EXPECT_EQ(SendMessageW(track, TBM_GETRANGEMAX, 0, 0), 100);
    SendMessageW(track, TBM_SETPOS, TRUE, -150);
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), -100) << "positions are clamped to the range";
    SendMessageW(track, TBM_SETPOS, TRUE, 0);
    SetFocus(track);
    notes.clear();
    ut::PressKey(VK_RIGHT);
    ut::PressKey(VK_NEXT);
    ut::PressKey(VK_HOME);
    ut::RunPendingMessages();
    std::vector<int> codes;
    for (const Note& n : notes)
        if (n.msg == WM_HSCROLL)
            codes.push_back(n.code);
    EXPECT_EQ(codes, (std::vector<int>{TB_LINEDOWN, TB_ENDTRACK, TB_PAGEDOWN, TB_ENDTRACK, TB_TOP, TB_ENDTRACK}));
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), -100);
}

TEST_F(Controls, ScrollBarsReportCodesButLeaveThePositionToTheParent) {
    HWND bar = Item(41);
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 99, 10, 50, 0};
    SetScrollInfo(bar, SB_CTL, &si, TRUE);
    RECT r{};
    GetWindowRect(bar, &r);
    ut::Click(POINT{r.left + 3, (r.top + r.bottom) / 2});
    ut::Click(POINT{r.right - 3, (r.top + r.bottom) / 2});
    ut::RunPendingMessages();
    std::vector<int> codes;
    for (const Note& n : notes)
        if (n.msg == WM_HSCROLL && n.id == 41)
            codes.push_back(n.code);
    EXPECT_EQ(codes, (std::vector<int>{SB_LINEUP, SB_ENDSCROLL, SB_LINEDOWN, SB_ENDSCROLL}));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 50);
    si.fMask = SIF_POS;
    si.nPos = 95;
    EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &si, TRUE), 90) << "the position stops where the page ends";
}

// Laid out right to left, a horizontal bar starts at its right end: thumb, arrows, drag and arrow keys all mirrored.
TEST_F(Controls, AHorizontalBarLaidOutRightToLeftStartsAtItsRightEnd) {
    HWND bar = Item(41);
    SetWindowLongW(bar, GWL_EXSTYLE, GetWindowLongW(bar, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 99, 10, 0, 0};
    SetScrollInfo(bar, SB_CTL, &si, TRUE);
    ut::RunPendingMessages();
    RECT client{};
    GetClientRect(bar, &client);
    const int middle = client.bottom / 2;
    EXPECT_EQ(ut::WindowPixel(bar, client.right - 20, middle), GetSysColor(COLOR_BTNFACE)) << "the thumb at 0";
    EXPECT_EQ(ut::WindowPixel(bar, 20, middle), GetSysColor(COLOR_SCROLLBAR)) << "the track beyond it";

    RECT r{};
    GetWindowRect(bar, &r);
    const int y = (r.top + r.bottom) / 2;
    ut::Click(POINT{r.right - 3, y});
    ut::Click(POINT{r.left + 3, y});
    // The thumb dragged towards the left end moves towards the maximum.
    ut::MouseMove(POINT{r.right - 20, y});
    ut::MouseDown(POINT{r.right - 20, y});
    ut::MouseMove(POINT{r.right - 40, y});
    ut::MouseUp(POINT{r.right - 40, y});
    SetFocus(bar);
    ut::PressKey(VK_LEFT);
    ut::PressKey(VK_RIGHT);
    ut::RunPendingMessages();
    std::vector<std::pair<int, int>> codes;
    for (const Note& n : notes)
        if (n.msg == WM_HSCROLL && n.id == 41 && n.code != SB_ENDSCROLL)
            codes.emplace_back(n.code, n.code == SB_THUMBTRACK ? (n.extra > 0 ? 1 : 0) : 0);
    EXPECT_EQ(codes, (std::vector<std::pair<int, int>>{{SB_LINEUP, 0},
                                                       {SB_LINEDOWN, 0},
                                                       {SB_THUMBTRACK, 1},
                                                       {SB_THUMBPOSITION, 0},
                                                       {SB_LINEDOWN, 0},
                                                       {SB_LINEUP, 0}}));
}

} // namespace

namespace {

// Columns [first, last] of `hwnd`'s client area, from x = `from` on, that hold anything but `background` in rows
// [top, bottom).
std::pair<int, int> InkColumns(HWND hwnd, int top, int bottom, COLORREF background, int from = 0) {
    RECT client{};
    GetClientRect(hwnd, &client);
    int first = -1, last = -1;
    for (int x = from; x < client.right; ++x)
        for (int y = top; y < bottom; ++y)
            if (ut::WindowPixel(hwnd, x, y) != background) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

TEST_F(Controls, CombosLaidOutRightToLeftHaveTheirButtonLeftAndTheirTextRight) {
    HWND list = Item(30);
    HWND editable = Item(31);
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"300 dpi"));
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    for (HWND combo : {list, editable})
        SetWindowLongW(combo, GWL_EXSTYLE, GetWindowLongW(combo, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
    SetWindowTextW(editable, u"\u05E9\u05DD"); // a Hebrew name
    InvalidateRect(dlg, nullptr, TRUE);
    ut::RunPendingMessages();
    RECT client{};
    GetClientRect(list, &client);
    const int middle = client.bottom / 2;
    EXPECT_EQ(ut::WindowPixel(list, 5, middle), GetSysColor(COLOR_BTNFACE)) << "the drop button at the left";
    EXPECT_EQ(ut::WindowPixel(list, client.right - 4, middle), GetSysColor(COLOR_WINDOW)) << "the field at the right";
    const auto [first, last] = InkColumns(list, 4, client.bottom - 4, GetSysColor(COLOR_WINDOW), 22);
    EXPECT_GT(first, client.right / 2) << "the chosen text stands at the right, nothing between it and the button";
    EXPECT_GE(last, client.right - 12);

    // The edit of a drop-down lies right of the button, laid out right to left itself.
    HWND edit = GetWindow(editable, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    RECT field{}, box{};
    GetWindowRect(edit, &field);
    GetWindowRect(editable, &box);
    EXPECT_EQ(box.right - field.right, 3) << "the edit at the right end of the field";
    EXPECT_NE(GetWindowLongW(edit, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);

    // The dropped list stands under the field and reads from its right edge.
    ut::Click(list);
    ut::RunPendingMessages();
    ASSERT_TRUE(SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0));
    HWND dropped = nullptr;
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        WCHAR name[32] = {};
        GetClassNameW(w, name, 32);
        if (std::u16string(name) == u"ComboLBox" && IsWindowVisible(w))
            dropped = w;
    }
    if (dropped) {
        RECT r{};
        GetWindowRect(dropped, &r);
        EXPECT_EQ(r.right, box.right);
        EXPECT_NE(GetWindowLongW(dropped, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0) << "the list reads from the right";
    }
    ut::PressKey(VK_ESCAPE);
    ut::RunPendingMessages();
}

TEST_F(Controls, AnEditLaidOutRightToLeftStartsAtTheRightAndHitsWhatItShows) {
    HWND edit = Item(20);
    SetWindowLongW(edit, GWL_EXSTYLE, GetWindowLongW(edit, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
    SetWindowTextW(edit, u"abc");
    ut::RunPendingMessages();
    RECT client{};
    GetClientRect(edit, &client);
    const auto [first, last] = InkColumns(edit, 0, client.bottom, GetSysColor(COLOR_WINDOW));
    EXPECT_GT(first, client.right / 2) << "the text stands at the right";
    SetFocus(edit);
    auto caretAfterClick = [&](int x) {
        POINT p{x, client.bottom / 2};
        ClientToScreen(edit, &p);
        ut::Click(p);
        ut::RunPendingMessages();
        DWORD start = 0, end = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return static_cast<int>(end);
    };
    EXPECT_EQ(caretAfterClick(client.right - 2), 3) << "right of the Latin word is its end";
    EXPECT_EQ(caretAfterClick(first - 1), 0) << "left of it its start";

    // A number keeps its own order when the edit reads left to right inside its mirrored place.
    SetWindowLongW(edit, GWL_EXSTYLE, GetWindowLongW(edit, GWL_EXSTYLE) | WS_EX_RTLREADING);
    SetWindowTextW(edit, u"-42");
    ut::RunPendingMessages();
    HDC dc = GetDC(edit);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    const auto line = platform::gdi::MeasureTextLine(dc, u"-42", 3, ETO_RTLREADING);
    SelectObject(dc, old);
    ReleaseDC(edit, dc);
    ASSERT_EQ(line.spans.size(), 3u);
    // On screen (the DC is mirrored) the minus is left of the digits: its span lies further from the left edge.
    EXPECT_GT(line.spans[0].from, line.spans[2].from) << "the sign stays in front of the number";
    const auto [numberFirst, numberLast] = InkColumns(edit, 0, client.bottom, GetSysColor(COLOR_WINDOW));
    EXPECT_GT(numberFirst, client.right / 2) << "and the number stays at the right";
}

TEST_F(Controls, EditKeysMoveTheCaretSelectAndDelete) {
    HWND edit = Item(20);
    SetWindowTextW(edit, u"abcdef");
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 6, 6);
    ut::PressKey(VK_HOME);
    ut::KeyDown(VK_SHIFT);
    ut::PressKey(VK_RIGHT);
    ut::PressKey(VK_RIGHT);
    ut::KeyUp(VK_SHIFT);
    ut::RunPendingMessages();
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 2u);
    ut::PressKey(VK_DELETE);
    ut::TypeText(u"\bX");
    ut::RunPendingMessages();
    WCHAR text[16];
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"Xcdef") << "delete removed the selection, backspace had nothing before it";
    EXPECT_TRUE(SendMessageW(edit, EM_UNDO, 0, 0));
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"cdef");
}

TEST_F(Controls, EditCaretAndSelectionFollowTheDrawnOrderOfHebrewText) {
    HWND edit = Item(20);
    const std::u16string text = u"ab \u05D0\u05D1\u05D2"; // drawn a b, then gimel bet alef
    SetWindowTextW(edit, text.c_str());
    SetFocus(edit);
    ut::RunPendingMessages();
    HDC dc = GetDC(edit);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    const auto line = platform::gdi::MeasureTextLine(dc, text.c_str(), static_cast<int>(text.size()), 0);
    SelectObject(dc, old);
    ReleaseDC(edit, dc);
    auto clickAt = [&](int x) {
        POINT p{2 + x, 5}; // the edit's margin
        ClientToScreen(edit, &p);
        ut::Click(p);
        ut::RunPendingMessages();
        DWORD start = 0, end = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return static_cast<int>(end);
    };
    const auto& alef = line.spans[3];
    EXPECT_EQ(clickAt(alef.to - 1), 3) << "the right side of alef, the first Hebrew letter, is before it";
    EXPECT_EQ(clickAt(alef.from), 4) << "its left side is after it";
    EXPECT_EQ(clickAt(line.spans[1].from), 1);
    auto caretAfter = [&](std::initializer_list<WPARAM> keys) {
        for (WPARAM key : keys)
            ut::PressKey(key);
        ut::RunPendingMessages();
        DWORD start = 0, end = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return static_cast<int>(end);
    };
    EXPECT_EQ(caretAfter({VK_END, VK_RIGHT}), 5) << "the end is left of the Hebrew word; Right steps into it backwards";
    EXPECT_EQ(caretAfter({VK_RIGHT, VK_RIGHT}), 3) << "up to before alef at the right end";
    EXPECT_EQ(caretAfter({VK_RIGHT}), 3) << "nothing further right";
    EXPECT_EQ(caretAfter({VK_HOME, VK_RIGHT}), 1) << "Latin steps forward";
    SendMessageW(edit, EM_SETSEL, 3, 6);
    ut::RunPendingMessages();
    auto highlighted = [&](int from, int to) {
        for (int x = 2 + from; x < 2 + to; ++x)
            for (int y = 0; y < 12; ++y)
                if (ut::WindowPixel(edit, x, y) == GetSysColor(COLOR_HIGHLIGHT))
                    return true;
        return false;
    };
    EXPECT_TRUE(highlighted(line.spans[5].from, line.spans[3].to)) << "the Hebrew word is selected where it is drawn";
    EXPECT_FALSE(highlighted(line.spans[0].from, line.spans[1].to));
}

TEST_F(Controls, AScrolledEditHitsTheCharactersItShows) {
    HWND edit = Item(20);
    const std::u16string text = u"0123456789 0123456789 0123456789 0123456789 end";
    SetWindowTextW(edit, text.c_str());
    SetFocus(edit);
    ut::PressKey(VK_END);
    ut::RunPendingMessages(); // painted, scrolled so that the caret at the end shows
    RECT client{};
    GetClientRect(edit, &client);
    POINT p{client.right - 3, 5};
    ClientToScreen(edit, &p);
    ut::Click(p);
    ut::RunPendingMessages();
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_GE(static_cast<int>(end), static_cast<int>(text.size()) - 1) << "the right edge shows the end of the text";
    ut::PressKey(VK_HOME);
    ut::RunPendingMessages();
    p = POINT{3, 5};
    ClientToScreen(edit, &p);
    ut::Click(p);
    ut::RunPendingMessages();
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(end, 0u) << "and after Home the left edge shows its start";
}

TEST_F(Controls, ReadOnlyAndNumberEditsRefuseWhatTheyMust) {
    HWND edit = Item(20);
    SetFocus(edit);
    SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    ut::TypeText(u"abc");
    ut::RunPendingMessages();
    EXPECT_EQ(GetWindowTextLengthW(edit), 0);
    SendMessageW(edit, EM_SETREADONLY, FALSE, 0);
    SetWindowLongW(edit, GWL_STYLE, GetWindowLongW(edit, GWL_STYLE) | ES_NUMBER);
    ut::TypeText(u"1a2");
    ut::RunPendingMessages();
    WCHAR text[16];
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"12");
}

TEST_F(Controls, ComboListFindsSelectsAndKeepsTheSelectionAcrossDeletes) {
    HWND combo = Item(30);
    for (const char16_t* s : {u"alpha", u"beta", u"gamma"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    EXPECT_EQ(SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"GA")), 2);
    EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"bet")),
              CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"be")), 1);
    SendMessageW(combo, CB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0) << "the selection follows its entry";
    SendMessageW(combo, CB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR) << "deleting the selected entry clears it";
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 5, 0), CB_ERR);
    EXPECT_TRUE(notes.empty());
}

TEST_F(Controls, ChoosingFromTheDroppedListWithTheMouse) {
    HWND combo = Item(30);
    for (const char16_t* s : {u"one", u"two", u"three"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    ut::Click(combo);
    ut::RunPendingMessages();
    ASSERT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    RECT list{};
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list));
    RECT field{};
    GetWindowRect(combo, &field);
    int itemHeight = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    ut::Click(POINT{field.left + 10, field.bottom + itemHeight + itemHeight / 2});
    ut::RunPendingMessages();
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Codes(30), (std::vector<int>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
    notes.clear();
    ut::Click(combo);
    ut::RunPendingMessages();
    ut::Click(POINT{field.right + 300, field.bottom + 300});
    ut::RunPendingMessages();
    EXPECT_EQ(Codes(30), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}))
        << "a click elsewhere cancels the drop";
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
}

TEST_F(Controls, DraggingTheTrackbarThumbReportsTrackPositionAndEnd) {
    HWND track = Item(40);
    SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendMessageW(track, TBM_SETPOS, TRUE, 50);
    RECT thumb{};
    SendMessageW(track, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    RECT channel{};
    SendMessageW(track, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    POINT at{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    ClientToScreen(track, &at);
    POINT end{channel.right, at.y};
    ClientToScreen(track, &end);
    end.y = at.y;
    ut::MouseMove(at);
    ut::MouseDown(at);
    ut::MouseMove(end);
    ut::MouseUp(end);
    ut::RunPendingMessages();
    std::vector<int> codes;
    int trackedTo = -1;
    for (const Note& n : notes)
        if (n.msg == WM_HSCROLL) {
            codes.push_back(n.code);
            if (n.code == TB_THUMBTRACK)
                trackedTo = n.extra;
        }
    EXPECT_EQ(codes, (std::vector<int>{TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK}));
    EXPECT_EQ(trackedTo, 100);
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), 100);
}

TEST_F(Controls, SpaceAndBmClickClickButtonsLikeTheMouse) {
    SetFocus(Item(10));
    ut::PressKey(VK_SPACE);
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(Item(10), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(Item(10), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(Item(10), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(Codes(10), (std::vector<int>{BN_CLICKED, BN_CLICKED}));
}

TEST_F(Controls, ArrowKeysMoveThroughARadioGroupAndCheckTheAutoRadio) {
    SendMessageW(Item(11), BM_SETCHECK, BST_CHECKED, 0);
    SetFocus(Item(11));
    ut::PressKey(VK_DOWN);
    ut::RunPendingMessages();
    EXPECT_EQ(GetFocus(), Item(12));
    EXPECT_EQ(SendMessageW(Item(12), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Item(11), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(GetWindowLongW(Item(12), GWL_STYLE) & WS_TABSTOP) << "Tab now stops at the checked radio";
    EXPECT_FALSE(GetWindowLongW(Item(11), GWL_STYLE) & WS_TABSTOP);
}

TEST(Progress, KeepsItsPositionInRangeAndStepsAround) {
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, u"", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 50)), MAKELONG(0, 100));
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 80, 0), 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 50);
    SendMessageW(bar, PBM_SETSTEP, 20, 0);
    SendMessageW(bar, PBM_STEPIT, 0, 0);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 20) << "stepping past the end wraps to the start";
    DestroyWindow(bar);
}

TEST(Tooltips, KeepATableOfToolsAndTheirTexts) {
    HWND owner =
        CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND tool = CreateWindowExW(0, u"Static", u"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10, 10, 50, 20, owner, nullptr,
                                nullptr, nullptr);
    HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, owner, nullptr, nullptr,
                                nullptr);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = owner;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = const_cast<LPWSTR>(u" Zoom in ");
    ASSERT_TRUE(SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    ti.lpszText = const_cast<LPWSTR>(u" Zoom out ");
    SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    WCHAR text[80] = {};
    ti.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(std::u16string(text), u" Zoom out ");
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, 300), -1);
    MSG move{tool, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5), 0, {}};
    SendMessageW(tips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
    TTTOOLINFOW current{};
    current.cbSize = sizeof current;
    ASSERT_TRUE(SendMessageW(tips, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&current)));
    EXPECT_EQ(current.uId, reinterpret_cast<UINT_PTR>(tool));
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(tips)) << "the tooltip is owned by the window and goes with it";
}

} // namespace

namespace {

TEST(Tooltips, ATipShowsAfterThePointerRestsOnItsToolAndGoesOnAClick) {
    ut::UseManualClock(true);
    HWND owner =
        CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND tool = CreateWindowExW(0, u"Static", u"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10, 10, 50, 20, owner, nullptr,
                                nullptr, nullptr);
    HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, owner, nullptr, nullptr,
                                nullptr);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = owner;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = const_cast<LPWSTR>(u"Hand tool");
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    MSG move{tool, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5), 0, {}};
    SendMessageW(tips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
    ut::RunPendingMessages();
    EXPECT_FALSE(IsWindowVisible(tips)) << "not before the pointer has rested";
    ut::AdvanceClock(600);
    ut::RunPendingMessages();
    EXPECT_TRUE(IsWindowVisible(tips));
    RECT r{};
    GetWindowRect(tips, &r);
    POINT inside{r.left + 2, r.top + 2};
    EXPECT_NE(WindowFromPoint(inside), tips) << "the tip never takes the mouse";
    MSG click{tool, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5), 0, {}};
    SendMessageW(tips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&click));
    EXPECT_FALSE(IsWindowVisible(tips));
    DestroyWindow(owner);
    ut::UseManualClock(false);
}

} // namespace

namespace {

TEST_F(Controls, ASingleLineEditReportsTextSetByCodeAsWindowsDoes) {
    SetWindowTextW(Item(20), u"from code");
    EXPECT_EQ(Codes(20), (std::vector<int>{EN_UPDATE, EN_CHANGE}))
        << "single-line edits report WM_SETTEXT; combo boxes and the other controls report nothing";
}

} // namespace
