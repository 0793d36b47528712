// Dialogs: templates, modal loops (nested, on other threads), the dialog manager's keys, focus rules.
#include "platform/user/dialog_template.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

namespace ut = platform::user::testing;

constexpr const char* kOkCancel = R"(DIALOGEX 10, 20, 200, 80
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Test"
FONT 8, "MS Shell Dlg"
BEGIN
    EDITTEXT 100, 7, 7, 100, 14, ES_AUTOHSCROLL
    AUTOCHECKBOX "Check", 101, 7, 25, 100, 10
    PUSHBUTTON "Other", 102, 7, 40, 50, 14
    DEFPUSHBUTTON "OK", IDOK, 90, 60, 50, 14
    PUSHBUTTON "Cancel", IDCANCEL, 143, 60, 50, 14
END
)";

LPCDLGTEMPLATEW Template(const char* text) {
    return reinterpret_cast<LPCDLGTEMPLATEW>(text);
}

// A dialog procedure that ends with the command id (OK, Cancel, Other) and can run a step at init.
struct Script {
    std::function<void(HWND)> onInit;
    std::vector<int> commands;
};

INT_PTR CALLBACK ScriptedProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* script = reinterpret_cast<Script*>(GetWindowLongPtrW(dlg, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        if (script)
            script->commands.push_back(LOWORD(wParam));
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == 102)
            EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

TEST(DialogTemplate, ParsesTheHeaderAndControlsWithDefaultStyles) {
    platform::user::DialogTemplate t;
    std::string error;
    ASSERT_TRUE(platform::user::ParseDialogTemplate(kOkCancel, t, &error)) << error;
    EXPECT_EQ(t.cx, 200);
    EXPECT_EQ(t.caption, u"Test");
    ASSERT_EQ(t.items.size(), 5u);
    EXPECT_EQ(t.items[0].className, u"Edit");
    EXPECT_TRUE(t.items[0].style & WS_TABSTOP);
    EXPECT_TRUE(t.items[0].style & WS_BORDER);
    EXPECT_EQ(t.items[3].style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(t.items[4].id, IDCANCEL);
}

TEST(DialogTemplate, ReportsTheLineOfAnError) {
    platform::user::DialogTemplate t;
    std::string error;
    EXPECT_FALSE(
        platform::user::ParseDialogTemplate("DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", 1, 2\nEND\n", t, &error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    EXPECT_FALSE(platform::user::ParseDialogTemplate("DIALOGEX 0, 0, 1, 1\nSTYLE WS_NOSUCH\n", t, &error));
}

TEST(DialogTemplate, DialogUnitsUseTheFixedBaseUnits) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    ASSERT_NE(dlg, nullptr);
    RECT client{};
    GetClientRect(dlg, &client);
    EXPECT_EQ(client.right, 200 * 6 / 4);
    EXPECT_EQ(client.bottom, 80 * 13 / 8);
    RECT r{};
    GetWindowRect(GetDlgItem(dlg, IDOK), &r);
    POINT p{r.left, r.top};
    ScreenToClient(dlg, &p);
    EXPECT_EQ(p.x, 90 * 6 / 4);
    EXPECT_EQ(p.y, 60 * 13 / 8);
    EXPECT_EQ(r.right - r.left, 50 * 6 / 4);
    DestroyWindow(dlg);
}

TEST(Dialog, InterceptorEndsAModalDialogWithTheChosenResult) {
    std::vector<HWND> seen;
    ut::SetModalInterceptor([&](HWND dlg) {
        seen.push_back(dlg);
        EXPECT_TRUE(IsWindowVisible(dlg));
        EndDialog(dlg, 1234);
    });
    Script script;
    EXPECT_EQ(
        DialogBoxIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, reinterpret_cast<LPARAM>(&script)),
        1234);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(IsWindow(seen[0])) << "the dialog is destroyed after its loop";
    ut::SetModalInterceptor(nullptr);
}

TEST(Dialog, ModalLoopsNestThreeDeepAndUnwindInOrder) {
    int depth = 0;
    std::vector<int> order;
    ut::SetModalInterceptor([&](HWND dlg) {
        int mine = ++depth;
        if (mine < 3) {
            HWND owner = dlg;
            INT_PTR inner = DialogBoxIndirectParamW(nullptr, Template(kOkCancel), owner, ScriptedProc, 0);
            order.push_back(static_cast<int>(inner));
            EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner is enabled again once the inner dialog ends";
        }
        EndDialog(dlg, 100 + mine);
    });
    INT_PTR outer = DialogBoxIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    EXPECT_EQ(outer, 101);
    EXPECT_EQ(order, (std::vector<int>{103, 102}));
    ut::SetModalInterceptor(nullptr);
}

TEST(Dialog, ModalLoopDisablesItsOwnerWhileItRuns) {
    HWND owner = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    ShowWindow(owner, SW_SHOW);
    bool ownerEnabledInside = true;
    ut::SetModalInterceptor([&](HWND dlg) {
        ownerEnabledInside = IsWindowEnabled(owner);
        EndDialog(dlg, IDOK);
    });
    DialogBoxIndirectParamW(nullptr, Template(kOkCancel), owner, ScriptedProc, 0);
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner));
    ut::SetModalInterceptor(nullptr);
    DestroyWindow(owner);
}

TEST(Dialog, CrossThreadSendReachesAWindowWhoseThreadIsInAModalLoop) {
    HWND main = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    std::atomic<int> textLength{-1};
    std::thread worker;
    ut::SetModalInterceptor([&](HWND dlg) {
        // A worker sets a control's text from its own thread while this thread sits in the modal loop.
        worker = std::thread([&, dlg] {
            SetDlgItemTextW(main, 100, u"from the worker");
            textLength = GetWindowTextLengthW(GetDlgItem(main, 100));
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
        });
    });
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Template(kOkCancel), main, ScriptedProc, 0), IDOK);
    worker.join();
    EXPECT_EQ(textLength.load(), 15);
    WCHAR text[64];
    GetDlgItemTextW(main, 100, text, 64);
    EXPECT_EQ(std::u16string(text), u"from the worker");
    ut::SetModalInterceptor(nullptr);
    DestroyWindow(main);
}

TEST(Dialog, AModalDialogRunsOnASecondThreadAndNestsThere) {
    std::atomic<INT_PTR> result{0};
    std::thread t([&] {
        int depth = 0;
        ut::SetModalInterceptor([&](HWND dlg) {
            int mine = ++depth;
            if (mine == 2) {
                PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Template(kOkCancel), dlg, ScriptedProc, 0), IDCANCEL);
            EndDialog(dlg, 77);
        });
        result = DialogBoxIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
        ut::SetModalInterceptor(nullptr);
    });
    t.join();
    EXPECT_EQ(result.load(), 77);
}

// Runs a modal dialog, types the given keys into it and answers how it ended and the commands it saw.
INT_PTR RunWithKeys(std::function<void(HWND)> setup, std::vector<WPARAM> keys, Script& script,
                    const char* text = kOkCancel) {
    ut::SetModalInterceptor([&](HWND dlg) {
        if (setup)
            setup(dlg);
        for (WPARAM k : keys)
            ut::PressKey(k);
        PostMessageW(dlg, WM_COMMAND, 102, 0); // ends the loop if the keys did not
    });
    INT_PTR r =
        DialogBoxIndirectParamW(nullptr, Template(text), nullptr, ScriptedProc, reinterpret_cast<LPARAM>(&script));
    ut::SetModalInterceptor(nullptr);
    return r;
}

TEST(DialogKeys, EnterGivesTheDefaultButtonAndEscapeGivesCancel) {
    Script a;
    EXPECT_EQ(RunWithKeys(nullptr, {VK_RETURN}, a), IDOK);
    Script b;
    EXPECT_EQ(RunWithKeys(nullptr, {VK_ESCAPE}, b), IDCANCEL);
}

TEST(DialogKeys, EnterOnAFocusedPushButtonClicksThatButton) {
    Script s;
    EXPECT_EQ(RunWithKeys([](HWND dlg) { SetFocus(GetDlgItem(dlg, 102)); }, {VK_RETURN}, s), 102);
}

TEST(DialogKeys, TabMovesThroughTabStopsInOrderAndWraps) {
    Script s;
    std::vector<int> ids;
    ut::SetModalInterceptor([&](HWND dlg) {
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), 100) << "the first tab stop has the focus";
        for (int i = 0; i < 5; ++i) {
            ut::PressKey(VK_TAB);
            ut::RunPendingMessages();
            ids.push_back(GetDlgCtrlID(GetFocus()));
        }
        EndDialog(dlg, IDOK);
    });
    DialogBoxIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, reinterpret_cast<LPARAM>(&s));
    ut::SetModalInterceptor(nullptr);
    EXPECT_EQ(ids, (std::vector<int>{101, 102, IDOK, IDCANCEL, 100}));
}

TEST(DialogKeys, CloseBecomesCancelOnlyWhileCancelIsEnabled) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    Script s;
    SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LPARAM>(&s));
    EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
    SendMessageW(dlg, WM_CLOSE, 0, 0);
    ut::RunPendingMessages();
    EXPECT_TRUE(s.commands.empty());
    EnableWindow(GetDlgItem(dlg, IDCANCEL), TRUE);
    SendMessageW(dlg, WM_CLOSE, 0, 0);
    ut::RunPendingMessages();
    EXPECT_EQ(s.commands, std::vector<int>{IDCANCEL});
    DestroyWindow(dlg);
}

// A control that refuses to lose the focus takes it back in WM_KILLFOCUS.
WNDPROC g_editProc = nullptr;
LRESULT CALLBACK StubbornEdit(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT r = CallWindowProcW(g_editProc, hwnd, msg, wParam, lParam);
    if (msg == WM_KILLFOCUS)
        SetFocus(hwnd);
    return r;
}

TEST(Focus, AControlMayRefuseToGiveUpTheFocus) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    ShowWindow(dlg, SW_SHOW);
    HWND edit = GetDlgItem(dlg, 100);
    HWND button = GetDlgItem(dlg, IDCANCEL);
    SetFocus(edit);
    g_editProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StubbornEdit)));
    SetFocus(button);
    EXPECT_EQ(GetFocus(), edit) << "the edit took the focus back";
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
    SetFocus(button);
    EXPECT_EQ(GetFocus(), button);
    DestroyWindow(dlg);
}

HWND g_lastFocusOther = reinterpret_cast<HWND>(1);
LRESULT CALLBACK RecordingEdit(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KILLFOCUS || msg == WM_SETFOCUS)
        g_lastFocusOther = reinterpret_cast<HWND>(wParam);
    return CallWindowProcW(g_editProc, hwnd, msg, wParam, lParam);
}

TEST(Focus, FocusMessagesCarryTheOtherWindow) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    ShowWindow(dlg, SW_SHOW);
    HWND edit = GetDlgItem(dlg, 100);
    HWND button = GetDlgItem(dlg, IDOK);
    SetFocus(button);
    g_editProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingEdit)));
    SetFocus(edit);
    EXPECT_EQ(g_lastFocusOther, button);
    SetFocus(button);
    EXPECT_EQ(g_lastFocusOther, button);
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editProc));
    DestroyWindow(dlg);
}

TEST(MessageBox, GoesThroughTheInterceptorWithItsText) {
    std::u16string text;
    ut::SetModalInterceptor([&](HWND box) {
        text = ut::MessageBoxText(box);
        ut::PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"Disk full", u"Error", MB_OK), IDOK) << "Esc on a lone OK answers OK";
    EXPECT_EQ(text, u"Disk full");
    ut::SetModalInterceptor([&](HWND box) { ut::PressKey(VK_RETURN); });
    EXPECT_EQ(MessageBoxW(nullptr, u"Go on?", u"Q", MB_YESNO | MB_DEFBUTTON2), IDNO);
    ut::SetModalInterceptor(nullptr);
}

TEST(Classes, ACopyOfTheDialogClassRegistersUnderAnotherName) {
    WNDCLASSW wc{};
    ASSERT_TRUE(GetClassInfoW(nullptr, u"#32770", &wc));
    wc.lpszClassName = u"Z7731IDAVEV";
    ASSERT_NE(RegisterClassW(&wc), 0);
    constexpr const char* kClassDialog = "DIALOGEX 0, 0, 100, 50\nSTYLE WS_POPUP | WS_CAPTION\nCLASS \"Z7731IDAVEV\"\n"
                                         "BEGIN\n    PUSHBUTTON \"OK\", IDOK, 10, 10, 40, 14\nEND\n";
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(kClassDialog), nullptr, ScriptedProc, 0);
    ASSERT_NE(dlg, nullptr);
    WCHAR name[64];
    GetClassNameW(dlg, name, 64);
    EXPECT_EQ(std::u16string(name), u"Z7731IDAVEV");
    Script s;
    SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LPARAM>(&s));
    SendMessageW(dlg, WM_CLOSE, 0, 0);
    ut::RunPendingMessages();
    EXPECT_EQ(s.commands, std::vector<int>{IDCANCEL}) << "it behaves as a dialog";
    DestroyWindow(dlg);
}

} // namespace

namespace {

constexpr const char* kHost = R"(DIALOGEX 0, 0, 200, 120
STYLE WS_POPUP | WS_CAPTION | WS_VISIBLE
CAPTION "Host"
BEGIN
    EDITTEXT 100, 7, 7, 80, 14
    DEFPUSHBUTTON "OK", IDOK, 140, 100, 50, 14
END
)";

constexpr const char* kPage = R"(DIALOGEX 0, 30, 180, 60
STYLE DS_CONTROL | WS_CHILD | WS_VISIBLE
BEGIN
    AUTOCHECKBOX "Page check", 200, 7, 7, 80, 10
    EDITTEXT 201, 7, 22, 80, 14
END
)";

TEST(DialogPages, TabRunsThroughAPageAsPartOfItsDialog) {
    HWND host = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kHost), nullptr, nullptr, 0);
    HWND page = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kPage), host, nullptr, 0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(GetParent(page), host);
    SetFocus(GetDlgItem(host, 100));
    std::vector<int> ids;
    for (int i = 0; i < 4; ++i) {
        platform::user::testing::PressKey(VK_TAB);
        platform::user::testing::RunPendingMessages();
        ids.push_back(GetDlgCtrlID(GetFocus()));
    }
    EXPECT_EQ(ids, (std::vector<int>{IDOK, 200, 201, 100}));
    DestroyWindow(host);
    EXPECT_FALSE(IsWindow(page)) << "the page goes with its dialog";
}

} // namespace

namespace {

TEST(Dialog, AModalDialogOnAWorkerDoesNotWaitForItsBlockedOwnerThread) {
    HWND owner = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    ShowWindow(owner, SW_SHOW);
    platform::user::testing::RunPendingMessages();
    ut::SetModalInterceptor([](HWND dlg) { EndDialog(dlg, IDOK); });
    std::atomic<INT_PTR> result{0};
    // The owner's thread blocks in join() without pumping messages, as a thread waiting for its worker does.
    std::thread worker([&] { result = DialogBoxIndirectParamW(nullptr, Template(kOkCancel), owner, ScriptedProc, 0); });
    worker.join();
    EXPECT_EQ(result.load(), IDOK);
    EXPECT_TRUE(IsWindowEnabled(owner));
    ut::SetModalInterceptor(nullptr);
    platform::user::testing::RunPendingMessages();
    DestroyWindow(owner);
}

} // namespace

namespace {

TEST(DialogTemplate, ReadsEscapesQuotesHexAndRemovedStyles) {
    constexpr const char* kText = "// a comment\n"
                                  "DIALOG 0, 0, 0x20, 10\n"
                                  "CAPTION \"Say \"\"hi\"\" \\u00e9\\n\" # trailing comment\n"
                                  "BEGIN\n"
                                  "    EDITTEXT 5, 1, 2, 3, 4, NOT WS_BORDER | ES_NUMBER\n"
                                  "    CONTROL \"\", 6, \"msctls_progress32\", 0x1, 1, 2, 3, 4, WS_EX_CLIENTEDGE\n"
                                  "END\n";
    platform::user::DialogTemplate t;
    std::string error;
    ASSERT_TRUE(platform::user::ParseDialogTemplate(kText, t, &error)) << error;
    EXPECT_EQ(t.cx, 32);
    EXPECT_EQ(t.caption, u"Say \"hi\" \u00e9\n");
    ASSERT_EQ(t.items.size(), 2u);
    EXPECT_FALSE(t.items[0].style & WS_BORDER);
    EXPECT_TRUE(t.items[0].style & ES_NUMBER);
    EXPECT_TRUE(t.items[0].style & WS_TABSTOP) << "defaults other than the removed one stay";
    EXPECT_EQ(t.items[1].className, u"msctls_progress32");
    EXPECT_EQ(t.items[1].style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | 0x1));
    EXPECT_EQ(t.items[1].exStyle, static_cast<DWORD>(WS_EX_CLIENTEDGE));
}

TEST(DialogKeys, TheDefaultIdCanMoveToAnotherButton) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    Script s;
    SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LPARAM>(&s));
    ShowWindow(dlg, SW_SHOW);
    EXPECT_EQ(LOWORD(SendMessageW(dlg, DM_GETDEFID, 0, 0)), IDOK);
    SendMessageW(dlg, DM_SETDEFID, 102, 0);
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dlg, 102), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dlg, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    SetFocus(GetDlgItem(dlg, 100));
    ut::PressKey(VK_RETURN);
    ut::RunPendingMessages();
    ASSERT_FALSE(s.commands.empty());
    EXPECT_EQ(s.commands.front(), 102);
    DestroyWindow(dlg);
}

TEST(DialogKeys, EnterDoesNothingWhileTheDefaultButtonIsDisabled) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, ScriptedProc, 0);
    Script s;
    SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LPARAM>(&s));
    ShowWindow(dlg, SW_SHOW);
    EnableWindow(GetDlgItem(dlg, IDOK), FALSE);
    SetFocus(GetDlgItem(dlg, 100));
    ut::PressKey(VK_RETURN);
    ut::RunPendingMessages();
    EXPECT_TRUE(s.commands.empty());
    DestroyWindow(dlg);
}

TEST(Resources, DialogsBitmapsAndCursorsComeFromTheModule) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    HBITMAP bitmap = LoadBitmapW(self, MAKEINTRESOURCEW(600));
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm{};
    GetObjectW(bitmap, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 4);
    EXPECT_EQ(bm.bmHeight, 3);
    DeleteObject(bitmap);
    EXPECT_EQ(LoadBitmapW(self, MAKEINTRESOURCEW(601)), nullptr);
    EXPECT_NE(LoadCursorW(self, MAKEINTRESOURCEW(700)), nullptr);
    EXPECT_EQ(LoadCursorW(self, MAKEINTRESOURCEW(701)), nullptr);
    EXPECT_EQ(LoadCursorW(self, MAKEINTRESOURCEW(700)), LoadCursorW(self, MAKEINTRESOURCEW(700)));

    HWND dlg = CreateDialogParamW(self, MAKEINTRESOURCEW(501), nullptr, nullptr, 0);
    ASSERT_NE(dlg, nullptr);
    HWND picture = GetDlgItem(dlg, 10);
    ASSERT_NE(reinterpret_cast<HBITMAP>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)), nullptr);
    RECT r{};
    GetClientRect(picture, &r);
    EXPECT_EQ(r.right, 4) << "a bitmap static takes its bitmap's size";
    ShowWindow(dlg, SW_SHOW);
    ut::RunPendingMessages();
    EXPECT_EQ(ut::WindowPixel(picture, 1, 1), RGB(255, 0, 0));
    DestroyWindow(dlg);
    EXPECT_EQ(CreateDialogParamW(self, MAKEINTRESOURCEW(999), nullptr, nullptr, 0), nullptr);
}

} // namespace

namespace {

int g_helpFrom = 0;
INT_PTR CALLBACK HelpProc(HWND, UINT msg, WPARAM, LPARAM lParam) {
    if (msg == WM_HELP) {
        g_helpFrom = reinterpret_cast<const HELPINFO*>(lParam)->iCtrlId;
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

TEST(DialogKeys, F1InAControlAsksTheDialogForHelp) {
    HWND dlg = CreateDialogIndirectParamW(nullptr, Template(kOkCancel), nullptr, HelpProc, 0);
    ShowWindow(dlg, SW_SHOW);
    SetFocus(GetDlgItem(dlg, 100));
    ut::PressKey(VK_F1);
    ut::RunPendingMessages();
    EXPECT_EQ(g_helpFrom, 100) << "WM_HELP climbed from the edit to its dialog";
    DestroyWindow(dlg);
}

} // namespace
