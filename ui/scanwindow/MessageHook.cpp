#include "ui/scanwindow/MessageHook.h"

#include "platform/base/lifetime.h"

HHOOK g_hMsgHook = nullptr;
CToolTipCtrl& g_ToolTip = *platform::KeepUntilUnload(new CToolTipCtrl);

HHOOK InstallMessageHook() {
    RemoveMessageHook();
    g_hMsgHook = ::SetWindowsHookExW(WH_GETMESSAGE, GetMessageHookProc, AfxGetInstanceHandle(), ::GetCurrentThreadId());
    return g_hMsgHook;
}

void RemoveMessageHook() {
    if (g_hMsgHook != nullptr)
        ::UnhookWindowsHookEx(g_hMsgHook);
    g_hMsgHook = nullptr;
}

void RemoveMessageHook(HHOOK installed) {
    if (installed != nullptr && g_hMsgHook == installed)
        RemoveMessageHook();
}

LRESULT CALLBACK GetMessageHookProc(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code >= 0 && wParam == PM_REMOVE && msg != nullptr && msg->message >= WM_KEYFIRST &&
        msg->message <= WM_KEYLAST) {
        CWinApp* app = AfxGetApp();
        if (app != nullptr && app->PreTranslateMessage(msg)) {
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    if (code >= 0 && msg != nullptr && g_ToolTip.m_hWnd != nullptr)
        g_ToolTip.RelayEvent(msg);
    return ::CallNextHookEx(g_hMsgHook, code, wParam, lParam);
}

BOOL CreateSharedToolTip(CWnd* owner) {
    if (g_ToolTip.m_hWnd != nullptr)
        g_ToolTip.DestroyWindow();
    if (!g_ToolTip.Create(owner))
        return FALSE;
    g_ToolTip.Activate(TRUE);
    return TRUE;
}

void DestroySharedToolTip(CWnd* owner) {
    if (g_ToolTip.m_hWnd != nullptr && ::GetParent(g_ToolTip.m_hWnd) == HwndOf(owner))
        g_ToolTip.DestroyWindow();
}
