#include "devicescan/CProgressDlg.h"

#include "devicescan/VelmoraLanguage.h"
#include "platform/user/afxwin.h"
#include "platform/user/commctrl.h"
#include "settings/DebugOutput.h"
#include "settings/Language.h"

namespace {
constexpr UINT kStringCancel = 8010;
constexpr UINT kStringCanceling = 8013;
constexpr int kFullPercent = 100;
} // namespace

CProgressDlg::CProgressDlg() {
    m_hStartEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_hStartEvent)
        return;
    m_nHolds.fetch_add(1); // the window thread's
    HANDLE thread = CreateThread(nullptr, 0, ProgressDialogThread, this, 0, &m_dwThreadId);
    if (!thread) {
        m_nHolds.fetch_sub(1);
        CloseHandle(m_hStartEvent);
        m_hStartEvent = nullptr;
        return;
    }
    // Ready when the window is initialised, or when its thread ended without one: a window that cannot be created
    // never holds the scan up. Meanwhile this thread's own windows keep answering.
    const HANDLE waits[2] = {m_hStartEvent, thread};
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(2, waits, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_OBJECT_0 + 1 || woke == WAIT_FAILED)
            break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode)); // the loop above is not the one the quit was meant for
    m_hThread = thread;                              // kept: the last release waits for it
    CloseHandle(m_hStartEvent);
    m_hStartEvent = nullptr;
}

CProgressDlg::~CProgressDlg() {
    if (m_hThread)
        CloseHandle(m_hThread);
}

void CProgressDlg::WaitForWindowThread() {
    if (!m_hThread || GetCurrentThreadId() == m_dwThreadId)
        return;
    // The window's modal loop calls into the application object; nothing of it may run once the release returns.
    // Messages other threads send to this one are answered meanwhile.
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &m_hThread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // answers what was sent, takes nothing posted
    }
}

HRESULT CProgressDlg::QueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CProgressDlg::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

ULONG CProgressDlg::Release() {
    const LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) {
        DebugPrint(u"End Progress Dialog");
        if (HWND hwnd = m_hWnd.load())
            ::EndDialog(hwnd, kEndResult);
        WaitForWindowThread();
        DropHold();
    }
    return static_cast<ULONG>(count);
}

void CProgressDlg::DropHold() {
    if (m_nHolds.fetch_sub(1) == 1)
        delete this;
}

void CProgressDlg::SetPageNumber(int pageCount) {
    m_nPageCount.store(pageCount);
    WCHAR text[16];
    _snwprintf_s(text, _TRUNCATE, u"%d", pageCount);
    OutputDebugStringW(text);
    if (HWND hwnd = m_hWnd.load())
        SetDlgItemTextW(hwnd, kPageNumber, text);
}

void CProgressDlg::Cancel(HWND hwnd) {
    InterlockedIncrement(&m_lCancel);
    SetDlgItemTextW(hwnd, IDCANCEL, LoadResString(kStringCanceling));
}

DWORD WINAPI CProgressDlg::ProgressDialogThread(LPVOID parameter) {
    auto* self = static_cast<CProgressDlg*>(parameter);
    const HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCEW(IDD), RT_DIALOG);
    DialogBoxParamW(module, MAKEINTRESOURCEW(IDD), nullptr, ProgressDialogProc, reinterpret_cast<LPARAM>(self));
    self->m_hWnd.store(nullptr);
    self->DropHold();
    return 0;
}

INT_PTR CALLBACK CProgressDlg::ProgressDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CProgressDlg*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_INITDIALOG: {
        self = reinterpret_cast<CProgressDlg*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        self->m_hWnd.store(hwnd);
        SetWindowTextW(hwnd, GetPushUITitle());
        SetDlgItemTextW(hwnd, IDCANCEL, LoadResString(kStringCancel));
        WCHAR count[16];
        _snwprintf_s(count, _TRUNCATE, u"%d", self->m_nPageCount.load());
        SetDlgItemTextW(hwnd, kPageNumber, count);
        SendDlgItemMessageW(hwnd, kProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        MirrorForReadingOrder(hwnd);
        SetEvent(self->m_hStartEvent);
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        SetWindowPos(hwnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetForegroundWindow(hwnd);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && self) {
            self->Cancel(hwnd);
            return TRUE;
        }
        return FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE && self) {
            // At 100 percent the page is being saved: closing then would drop it.
            if (self->m_nLastPercent.load() != kFullPercent)
                self->Cancel(hwnd);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
