// Standard and common controls: what the user's actions report, and that values set by code report nothing.
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

} // namespace
