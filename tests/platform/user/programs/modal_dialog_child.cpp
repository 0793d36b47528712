// A program that puts up one modal dialog nobody sees, for the tests of how the window layer answers it. It prints
// "result <n> after <ms> ms" when the dialog ends.
//
//   modal_dialog_child box <MB_ type>   a message box "Caption" saying "Line one" and "Line two"
//   modal_dialog_child disabled-cancel  OK and a disabled Cancel
//   modal_dialog_child no-buttons       no buttons: IDCANCEL (from WM_CLOSE) ends it with 100
//   modal_dialog_child stubborn         no buttons, and nothing ends it
//   modal_dialog_child worker <ms>      a progress bar its worker thread moves for <ms>, then ends with 7
//   modal_dialog_child typing <ms>      a key is pressed every 100 ms for <ms>
#include "platform/user/commctrl.h"
#include "platform/user/testing.h"
#include "platform/user/winuser.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr UINT WM_WORKER_DONE = WM_APP + 1;
constexpr UINT_PTR kTypingTimer = 1;
constexpr int kProgress = 10;

std::string g_mode;
int g_milliseconds = 0;
std::chrono::steady_clock::time_point g_start;

int ElapsedMs() {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_start).count());
}

INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        if (g_mode == "disabled-cancel")
            EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
        if (g_mode == "worker") {
            std::thread([dlg] {
                const auto end = g_start + std::chrono::milliseconds(g_milliseconds);
                for (int percent = 0; std::chrono::steady_clock::now() < end; percent = (percent + 1) % 100) {
                    SendDlgItemMessageW(dlg, kProgress, PBM_SETPOS, percent, 0);
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
                PostMessageW(dlg, WM_WORKER_DONE, 0, 0);
            }).detach();
        }
        if (g_mode == "typing")
            SetTimer(dlg, kTypingTimer, 100, nullptr);
        return TRUE;
    case WM_TIMER:
        if (ElapsedMs() < g_milliseconds)
            platform::user::testing::PressKey(VK_SHIFT);
        return TRUE;
    case WM_WORKER_DONE:
        EndDialog(dlg, 7);
        return TRUE;
    case WM_COMMAND:
        if (g_mode == "stubborn")
            return TRUE;
        if (LOWORD(wParam) == IDCANCEL && g_mode == "no-buttons")
            EndDialog(dlg, 100);
        else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

std::string Template() {
    std::string t = "DIALOGEX 0, 0, 200, 80\nSTYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU\n"
                    "CAPTION \"Child " +
                    g_mode + "\"\nBEGIN\n    LTEXT \"Waiting\", 11, 10, 10, 180, 10\n";
    if (g_mode == "worker")
        t += "    CONTROL \"\", 10, \"msctls_progress32\", WS_BORDER, 10, 30, 180, 12\n";
    if (g_mode == "disabled-cancel" || g_mode == "worker" || g_mode == "typing")
        t += "    PUSHBUTTON \"&Cancel\", IDCANCEL, 140, 60, 50, 14\n";
    if (g_mode == "disabled-cancel")
        t += "    DEFPUSHBUTTON \"OK\", IDOK, 80, 60, 50, 14\n";
    return t + "END\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    g_mode = argv[1];
    if (argc > 2)
        g_milliseconds = std::atoi(argv[2]);
    InitCommonControls();
    g_start = std::chrono::steady_clock::now();
    INT_PTR result = 0;
    if (g_mode == "box") {
        result = MessageBoxW(nullptr, u"Line one\nLine two", u"Caption", static_cast<UINT>(g_milliseconds));
    } else {
        const std::string t = Template();
        result = DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t.c_str()), nullptr, Proc, 0);
    }
    std::printf("result %d after %d ms\n", static_cast<int>(result), ElapsedMs());
    return 0;
}
