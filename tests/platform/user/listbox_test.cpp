// The list box: its items, what the user's clicks, double clicks, keys and wheel do and report, and its scroll bar.
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace ut = platform::user::testing;

constexpr const char* kList = R"(DIALOGEX 0, 0, 120, 90
STYLE WS_POPUP | WS_CAPTION | WS_VISIBLE
CAPTION "List"
BEGIN
    CONTROL "", 10, "ListBox", LBS_NOTIFY | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 7, 7, 100, 60
    CONTROL "", 11, "ListBox", LBS_SORT | WS_BORDER, 7, 70, 100, 16
END
)";

std::vector<int>* g_codes = nullptr;

INT_PTR CALLBACK RecordingProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && g_codes && LOWORD(wParam) == 10)
        g_codes->push_back(HIWORD(wParam));
    return msg == WM_COMMAND;
}

class ListBox : public ::testing::Test {
protected:
    void SetUp() override {
        g_codes = &codes;
        dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kList), nullptr, RecordingProc, 0);
        ASSERT_NE(dlg, nullptr);
        list = GetDlgItem(dlg, 10);
        for (int i = 0; i < 20; ++i) {
            const std::u16string text = u"item " + std::u16string(1, static_cast<char16_t>(u'a' + i));
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        ut::RunPendingMessages();
        codes.clear();
    }
    void TearDown() override {
        DestroyWindow(dlg);
        g_codes = nullptr;
    }
    std::u16string Text(HWND box, int index) {
        const LRESULT length = SendMessageW(box, LB_GETTEXTLEN, index, 0);
        if (length == LB_ERR)
            return u"<none>";
        std::u16string text(static_cast<size_t>(length) + 1, u'\0');
        SendMessageW(box, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        return text;
    }
    // The screen point of the middle of row `row` counted from the list's top.
    POINT RowPoint(int row) {
        POINT p{20, row * static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)) + 8};
        ClientToScreen(list, &p);
        return p;
    }

    HWND dlg = nullptr;
    HWND list = nullptr;
    std::vector<int> codes;
};

TEST_F(ListBox, KeepsItsItemsInOrderOrSortedAndAnswersOutOfRangeWithAnError) {
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 20);
    EXPECT_EQ(Text(list, 0), u"item a");
    EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>(u"first")), 1);
    EXPECT_EQ(Text(list, 1), u"first");
    EXPECT_EQ(SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"ITEM C")), 3);
    EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 1, 0), 20);
    EXPECT_EQ(Text(list, 40), u"<none>");
    EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 40, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), -1);

    HWND sorted = GetDlgItem(dlg, 11);
    for (const char16_t* s : {u"pear", u"Apple", u"fig"})
        SendMessageW(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    EXPECT_EQ(Text(sorted, 0), u"Apple");
    EXPECT_EQ(Text(sorted, 1), u"fig");
    EXPECT_EQ(Text(sorted, 2), u"pear");
    SendMessageW(sorted, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageW(sorted, LB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(codes.empty()) << "changes made by code report nothing";
}

TEST_F(ListBox, AClickSelectsAndADoubleClickIsReported) {
    ut::Click(RowPoint(2));
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(GetFocus(), list);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), LBN_SELCHANGE);
    codes.clear();
    ut::Click(RowPoint(2));
    ut::RunPendingMessages();
    EXPECT_EQ(codes, std::vector<int>{LBN_DBLCLK}) << "the same item again: no change, a double click";
}

TEST_F(ListBox, KeysMoveTheSelectionAndScrollItIntoView) {
    SetFocus(list);
    ut::RunPendingMessages();
    codes.clear();
    ut::PressKey(VK_DOWN);
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    ut::PressKey(VK_END);
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 19);
    EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0) << "the last item is scrolled into view";
    ut::PressKey(VK_HOME);
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    ut::TypeText(u"i");
    ut::RunPendingMessages();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1) << "a letter selects the next item starting with it";
    EXPECT_EQ(codes, (std::vector<int>{LBN_SELCHANGE, LBN_SELCHANGE, LBN_SELCHANGE, LBN_SELCHANGE}));
}

TEST_F(ListBox, TheWheelAndItsScrollBarMoveTheView) {
    HWND bar = GetWindow(list, GW_CHILD);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(IsWindowVisible(bar)) << "20 items do not fit";
    SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 3);
    SendMessageW(list, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 4);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 4);
    SendMessageW(list, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), reinterpret_cast<LPARAM>(bar));
    const LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    EXPECT_GT(top, 4);
    EXPECT_LT(top, 20) << "the view stops with the last item at the bottom";
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    EXPECT_FALSE(IsWindowVisible(bar));
}

} // namespace
