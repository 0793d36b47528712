#include "devicescan/CTransferCallbackEx.h"

#include "devicescan/CDlg_error.h"
#include "devicescan/CProgressDlg.h"
#include "platform/user/commctrl.h"
#include "settings/DebugOutput.h"
#include "settings/Language.h"

#include <string>

namespace {

constexpr UINT kStringProgress = 8012; // "... 0%": every '0' becomes the percent
constexpr UINT kStringGeneralError = 8017;

// Statuses below this are errors; 201 (end of page) and 202 (cancelled) are not.
constexpr int kFirstNonError = 200;
// No error either: a PlatformOrca device ends a several-page job with it when no page follows. The scan thread
// reports the driver's general failure 1 of an open, a start or a read as -1.
constexpr int kStatusNoPageFollows = 1;

struct ErrorText {
    int status;
    UINT stringId;
};
constexpr ErrorText kErrorTexts[] = {
    {3, 8018},  // the device is busy
    {6, 8023},  // the cover is open
    {7, 8024},  // no paper in the feeder
    {8, 8026},  // paper jam
    {12, 8017}, // general failure
    {TRANSFER_STATUS_FOLDER_MISSING, 8016},
    {TRANSFER_STATUS_DISK_FULL, 8019},
    {TRANSFER_STATUS_CANNOT_WRITE, 8021},
};
constexpr int kStatusShowsNothing = 2;

} // namespace

CTransferCallbackEx::~CTransferCallbackEx() {
    DebugPrint(u"Release Dialog 2");
    ReleaseProgressWindow(nullptr);
    ReleaseStream();
}

void CTransferCallbackEx::ReleaseStream() {
    if (m_pStream) {
        m_pStream->Release();
        m_pStream = nullptr;
    }
    if (m_hGlobal) {
        GlobalFree(m_hGlobal);
        m_hGlobal = nullptr;
    }
}

bool CTransferCallbackEx::HasProgressWindow() {
    std::lock_guard lock(m_progressLock);
    return m_pProgressDlg != nullptr;
}

void CTransferCallbackEx::CreateProgressWindow() {
    if (HasProgressWindow())
        return;
    auto* dialog = new CProgressDlg(); // shows itself; returns once its window is up (or could not be made)
    dialog->AddRef();
    std::lock_guard lock(m_progressLock);
    m_pProgressDlg = dialog;
}

void CTransferCallbackEx::ReleaseProgressWindow(const WCHAR* debugLine) {
    CProgressDlg* dialog;
    {
        std::lock_guard lock(m_progressLock);
        dialog = m_pProgressDlg;
        m_pProgressDlg = nullptr;
    }
    if (!dialog)
        return;
    if (debugLine)
        DebugPrint(u"%s", debugLine);
    dialog->Release();
}

bool CTransferCallbackEx::IsCancelled() {
    std::lock_guard lock(m_progressLock);
    return !m_pProgressDlg || m_pProgressDlg->GetCancelCount() != 0;
}

int CTransferCallbackEx::NewStream(int, IStream** stream) {
    if (!stream)
        return TRANSFER_STATUS_NO_MEMORY;
    *stream = nullptr;
    ReleaseStream();
    IStream* created = nullptr;
    HGLOBAL global = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, FALSE, &created)))
        return TRANSFER_STATUS_NO_MEMORY;
    if (FAILED(GetHGlobalFromStream(created, &global))) {
        created->Release();
        return TRANSFER_STATUS_NO_MEMORY;
    }
    m_pStream = created;
    m_hGlobal = global;
    created->AddRef();
    *stream = created;
    CreateProgressWindow();
    return 0;
}

int CTransferCallbackEx::TransferCallback(int, TransferMessage* message) {
    if (!message)
        return TRANSFER_STATUS_FAILED;
    switch (message->type) {
    case TRANSFER_MSG_PROGRESS:
        if (message->status != 0 && message->status != kStatusNoPageFollows && message->status < kFirstNonError) {
            ReleaseProgressWindow(u"Release Dialog 1");
            ShowErrorMessage(message->status);
        } else {
            UpdateProgress(message->percent);
        }
        break;
    case TRANSFER_MSG_END_OF_STREAM:
        ReleaseProgressWindow(u"Release Dialog 2.2");
        break;
    case TRANSFER_MSG_END_OF_TRANSFER:
        DebugPrint(u"CTransferCallbackEx::TransferCallback TRANSFER_MSG_END_OF_TRANSFER");
        ReleaseProgressWindow(u"Release Dialog 3");
        break;
    case TRANSFER_MSG_NEW_PAGE:
        CreateProgressWindow();
        OnNewPage();
        break;
    default:
        break;
    }
    std::lock_guard lock(m_progressLock);
    if (m_pProgressDlg && m_pProgressDlg->GetCancelCount() > 0)
        return TRANSFER_STATUS_CANCELLED;
    return message->status;
}

UINT CTransferCallbackEx::GetErrorStringId(int status) {
    if (status == kStatusShowsNothing)
        return 0;
    for (const ErrorText& text : kErrorTexts)
        if (text.status == status)
            return text.stringId;
    return kStringGeneralError;
}

void CTransferCallbackEx::ShowErrorText(UINT stringId) {
    CDlg_error dialog;
    dialog.m_strMessage = LoadResString(stringId);
    dialog.DoModal();
}

void CTransferCallbackEx::ShowErrorMessage(int status) {
    DebugPrint(u"ErrorCode:%d", status);
    ReleaseProgressWindow(u"Release Dialog 4");
    if (const UINT stringId = GetErrorStringId(status))
        ShowErrorText(stringId);
}

// The window lives on its own thread; the scan thread changes its controls through their handles.
void CTransferCallbackEx::UpdateProgress(int percent) {
    if (!m_pProgressDlg)
        return;
    CString number;
    number.Format(u"%d", percent);
    CString text = LoadResString(kStringProgress);
    text.Replace(u"0", number.GetString());
    const HWND window = m_pProgressDlg->GetSafeHwnd();
    SetDlgItemTextW(window, CProgressDlg::kPercentText, text.GetString());
    SendDlgItemMessageW(window, CProgressDlg::kProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    ShowWindow(GetDlgItem(window, IDCANCEL), percent != 100 ? SW_SHOW : SW_HIDE);
    m_pProgressDlg->SetLastPercent(percent);
}

void CTransferCallbackEx::OnNewPage() {
    if (!m_pProgressDlg)
        return;
    m_pProgressDlg->SetPageNumber(m_pProgressDlg->GetPageNumber() + 1);
    const HWND window = m_pProgressDlg->GetSafeHwnd();
    SendDlgItemMessageW(window, CProgressDlg::kProgressBar, PBM_SETPOS, 0, 0);
    ShowWindow(GetDlgItem(window, IDCANCEL), SW_SHOW);
    m_pProgressDlg->SetLastPercent(0);
}
