#include "ui/scanwindow/CTwainUIImp.h"

#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/MessageHook.h"

#include "twain/CScanWindow.h"
#include "twain/ScanState.h"

#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "ui/dialogs/CErrorDlg.h"

#include <memory>

IMPLEMENT_DYNAMIC(CTwainUIImp, CUIImp)

CTwainUIImp::~CTwainUIImp() {
    delete GetDialog();
    m_pWnd = nullptr;
}

CMainUIDialog* CTwainUIImp::GetDialog() const {
    return static_cast<CMainUIDialog*>(m_pWnd);
}

int CTwainUIImp::Show(int nCmdShow) {
    if (m_pWnd == nullptr)
        return 1;
    m_pWnd->ShowWindow(nCmdShow);
    return 0;
}

int CTwainUIImp::Close() {
    if (m_pWnd == nullptr)
        return 1;
    CMainUIDialog* dialog = GetDialog();
    m_pWnd = nullptr;
    dialog->DestroyWindow();
    delete dialog;
    RemoveMessageHook();
    return 1;
}

int CTwainUIImp::ProcessEvent(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == 'C')
        return 0; // swallowed
    CMainUIDialog* dialog = GetDialog();
    if (dialog == nullptr || dialog->m_hWnd == nullptr ||
        (pMsg->hwnd != dialog->m_hWnd && !::IsChild(dialog->m_hWnd, pMsg->hwnd)))
        return 1;
    dialog->PreTranslateMessage(pMsg);
    return 0;
}

// The proxy is not kept: the window reaches the engine through the global assistor. Without a usable INI file there
// is no driver and no language library to be found: the user is told which file is at fault (in English, as no
// language's texts can be had), and no window is made.
int CTwainUIImp::Create(CDsProxy*, HWND hParent) {
    WCHAR ini[MAX_PATH] = {};
    if (!IsIniFileUsable(ini)) {
        DebugPrint(u"CTwainUIImp::Create: the INI file %s is missing, unreadable or names no File Prefix", ini);
        CString message;
        message.Format(u"The scanner's settings file %s is missing or damaged. Install the scanner software again.",
                       ini);
        ModalEngineCall modal;
        CErrorDlg error(CWnd::FromHandle(hParent));
        error.m_strMessage = message;
        error.DoModal();
        return 1;
    }
    CMainUIDialog* previous = GetDialog();
    auto dialog = std::make_unique<CMainUIDialog>();
    if (!dialog->CreateModeless(CWnd::FromHandle(hParent))) {
        dialog.reset();
        g_pScanWindow = previous; // the window that stays is still the engine's
        return 1;
    }
    delete GetDialog();
    m_pWnd = dialog.release();
    return 0;
}
