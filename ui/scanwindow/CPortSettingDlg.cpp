#include "ui/scanwindow/CPortSettingDlg.h"

#include "scanner/CLLDKorvel.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/CErrorDlg.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

// What a worker owns: the dialog hands it a copy of what it needs and keeps only a share of the job, so a dialog
// that closes early leaves the worker nothing to write into; `abandoned` then keeps its answer from being posted.
struct PortJob {
    HWND notify = nullptr;
    HMODULE pinnedDriver = nullptr; // keeps the driver loaded while the worker may be inside it
    std::atomic<bool> abandoned{false};
    std::atomic<bool> done{false};
};

struct PortSearchJob : PortJob {
    std::vector<std::string> names; // narrow names, each at most 256 bytes; read once done
};

struct PortTestJob : PortJob {
    NetDetectRequest request{};
    int result = -1;
};

namespace {

constexpr UINT kBackground = 10443;
constexpr UINT_PTR kStartTimer = 1001;
constexpr int kResetHostCommand = 10253; // no control of the template has it
constexpr UINT kStringConnectFailed = 1141;
constexpr UINT kStringOK = 1090, kStringCancel = 1092, kStringCaption = 1180, kStringUsb = 1181, kStringFound = 1182,
               kStringRefresh = 1183, kStringHost = 1184, kStringSearching = 1185;
constexpr int kNameSize = 256;
constexpr int kMaxNames = 1024; // more scanners than a network holds: a larger count is taken as this many
constexpr COLORREF kUsbFace = RGB(249, 249, 249), kFoundFace = RGB(240, 240, 240), kHostFace = RGB(230, 230, 230);

// `text` in the ANSI code page (UTF-8) into a field of 256 bytes, cleared first: at most 255 bytes, cut before a
// character that would not fit whole, then the terminator.
void NarrowInto(const CString& text, char (&out)[kNameSize]) {
    std::memset(out, 0, kNameSize);
    const int length = text.GetLength();
    const int needed = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return;
    std::string bytes(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, bytes.data(), needed, nullptr, nullptr);
    size_t keep = std::min<size_t>(bytes.size(), kNameSize - 1);
    while (keep > 0 && keep < bytes.size() && (static_cast<unsigned char>(bytes[keep]) & 0xC0) == 0x80)
        --keep;
    std::memcpy(out, bytes.data(), keep);
}

// Narrow text of at most `size` bytes (terminated or not), in the thread's ANSI code page.
CString Widen(const char* text, size_t size) {
    const int length = static_cast<int>(strnlen(text, size));
    CString wide;
    const int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, text, length, nullptr, 0);
    if (needed > 0) {
        MultiByteToWideChar(CP_THREAD_ACP, 0, text, length, wide.GetBufferSetLength(needed), needed);
        wide.ReleaseBuffer(needed);
    }
    return wide;
}

CString ListText(const CComboBox& list) {
    CString text;
    const int selection = list.GetCurSel();
    if (selection >= 0)
        list.GetLBText(selection, text);
    return text;
}

// The end of every worker: tells the dialog unless it is gone, then lets the driver go.
void FinishJob(PortJob& job, UINT message, WPARAM wParam) {
    job.done.store(true);
    if (!job.abandoned.load())
        PostMessageW(job.notify, message, wParam, 0);
    if (job.pinnedDriver)
        FreeLibrary(job.pinnedDriver);
}

// Asks the driver for the number of scanners, then for that many 256-byte names: the count handed in is the
// buffer's capacity, and only the names it holds are read.
DWORD WINAPI PortSearchThread(LPVOID parameter) {
    std::unique_ptr<std::shared_ptr<PortSearchJob>> owner(static_cast<std::shared_ptr<PortSearchJob>*>(parameter));
    PortSearchJob& job = **owner;
    int count = 0;
    g_LLD.DevMon_BroadcastMFP(&count, nullptr, 0);
    if (count > 0) {
        const int capacity = std::min(count, kMaxNames);
        std::vector<char> buffer(static_cast<size_t>(capacity) * kNameSize, '\0');
        int filled = capacity;
        g_LLD.DevMon_BroadcastMFP(&filled, buffer.data(), 0);
        filled = std::clamp(filled, 0, capacity);
        for (int i = 0; i < filled; ++i) {
            const char* slot = buffer.data() + static_cast<size_t>(i) * kNameSize;
            job.names.emplace_back(slot, strnlen(slot, kNameSize));
        }
    }
    FinishJob(job, WM_PORT_SEARCH_DONE, 0);
    return 0;
}

DWORD WINAPI PortTestThread(LPVOID parameter) {
    std::unique_ptr<std::shared_ptr<PortTestJob>> owner(static_cast<std::shared_ptr<PortTestJob>*>(parameter));
    PortTestJob& job = **owner;
    job.result = g_LLD.DevMon_DetectNetMFP(&job.request, job.request.community);
    FinishJob(job, WM_PORT_TEST_DONE, static_cast<WPARAM>(job.result));
    return static_cast<DWORD>(job.result);
}

// Starts `thread` on a share of `job`; no handle is kept. FALSE when no thread could be made.
template <typename Job> BOOL StartWorker(LPTHREAD_START_ROUTINE thread, const std::shared_ptr<Job>& job) {
    job->pinnedDriver = g_LLD.PinLibrary();
    auto* share = new std::shared_ptr<Job>(job);
    HANDLE handle = CreateThread(nullptr, 0, thread, share, 0, nullptr);
    if (!handle) {
        delete share;
        if (job->pinnedDriver)
            FreeLibrary(job->pinnedDriver);
        return FALSE;
    }
    CloseHandle(handle);
    return TRUE;
}

} // namespace

PortSetting GetPortSetting(const ScanParam& param) {
    PortSetting port{};
    port.type = param.portType;
    std::memcpy(port.name, param.szFoundAddress, sizeof port.name);
    std::memcpy(port.address, param.szHostAddress, sizeof port.address);
    return port;
}

void SetPortSetting(ScanParam& param, const PortSetting& port) {
    param.portType = port.type;
    std::memcpy(param.szFoundAddress, port.name, sizeof port.name);
    std::memcpy(param.szHostAddress, port.address, sizeof port.address);
}

BEGIN_MESSAGE_MAP(CPortSettingDlg, CDialog)
ON_WM_TIMER()
ON_WM_DESTROY()
ON_WM_ERASEBKGND()
ON_BN_CLICKED(IDC_USB, OnClickedUsb)
ON_BN_CLICKED(IDC_FOUND, OnClickedFound)
ON_BN_CLICKED(IDC_HOST, OnClickedHost)
ON_EN_SETFOCUS(IDC_HOST_EDIT, OnHostEditFocus)
ON_EN_CHANGE(IDC_HOST_EDIT, OnHostEditChange)
ON_BN_CLICKED(IDC_REFRESH, OnClickedRefresh)
ON_BN_CLICKED(IDOK, OnClickedOK)
ON_BN_CLICKED(IDCANCEL, OnClickedCancel)
ON_CONTROL(1, kResetHostCommand, OnResetHostEdit)
ON_MESSAGE(WM_PORT_SEARCH_DONE, OnSearchDone)
ON_MESSAGE(WM_PORT_TEST_DONE, OnTestDone)
END_MESSAGE_MAP()

CPortSettingDlg::CPortSettingDlg(PortSetting* record, CWnd* parent) : CDialog(IDD, parent), m_pRecord(record) {}

CPortSettingDlg::~CPortSettingDlg() {
    Abandon();
}

void CPortSettingDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_HOST_EDIT, m_edtHost);
    DDX_Control(pDX, IDC_FOUND_LIST, m_cmbFound);
    DDX_Control(pDX, IDC_REFRESH, m_btnRefresh);
    DDX_Control(pDX, IDOK, m_btnOK);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_USB, m_radUsb);
    DDX_Control(pDX, IDC_FOUND, m_radFound);
    DDX_Control(pDX, IDC_HOST, m_radHost);
    DDX_Control(pDX, IDC_SEARCHING, m_stcSearching);
}

BOOL CPortSettingDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (CxSkinButton* button : {&m_btnRefresh, &m_btnOK, &m_btnCancel})
        button->SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    LoadModuleBitmap(m_bmpBackground, kBackground);
    m_radUsb.SetBkColor(kUsbFace);
    m_radFound.SetBkColor(kFoundFace);
    m_radHost.SetBkColor(kHostFace);
    const ControlText texts[] = {{this, kStringCaption},      {&m_radUsb, kStringUsb},
                                 {&m_radFound, kStringFound}, {&m_btnRefresh, kStringRefresh},
                                 {&m_radHost, kStringHost},   {&m_stcSearching, kStringSearching},
                                 {&m_btnOK, kStringOK},       {&m_btnCancel, kStringCancel}};
    SetControlTexts(texts, static_cast<int>(std::size(texts)));
    if (g_bHebrew)
        MirrorChildLayout(this);
    if (!m_pRecord)
        return FALSE;

    m_bEditModified = FALSE;
    m_nType = m_pRecord->type;
    ApplyPortType(m_nType);
    if (m_radFound.GetCheck() == BST_CHECKED)
        m_cmbFound.AddString(Widen(m_pRecord->name, sizeof m_pRecord->name));
    const CString address = Widen(m_pRecord->address, sizeof m_pRecord->address);
    m_edtHost.SetWindowText(address);
    m_edtHost.LimitText(kMaxHostLength);
    m_strLastHost = address;
    SetTimer(kStartTimer, 100);
    if (m_cmbFound.GetCount() > 0)
        m_cmbFound.SetCurSel(0);
    m_cmbFound.EnableWindow(m_radFound.GetCheck() == BST_CHECKED);
    return TRUE;
}

void CPortSettingDlg::ApplyPortType(int type) {
    m_radUsb.SetCheck(type != 1 && type != 2 ? BST_CHECKED : BST_UNCHECKED);
    m_radFound.SetCheck(type == 1 ? BST_CHECKED : BST_UNCHECKED);
    m_radHost.SetCheck(type == 2 ? BST_CHECKED : BST_UNCHECKED);
    m_btnRefresh.EnableWindow(type == 1);
}

void CPortSettingDlg::EnableControls(BOOL enable) {
    for (CWnd* control : std::initializer_list<CWnd*>{&m_radUsb, &m_radFound, &m_radHost, &m_btnRefresh, &m_cmbFound,
                                                      &m_edtHost, &m_btnOK})
        control->EnableWindow(enable);
    // Cancel stays: a driver that never answers must not keep the user in the dialog.
    m_btnCancel.EnableWindow(TRUE);
    m_stcSearching.ShowWindow(enable ? SW_HIDE : SW_SHOW);
}

void CPortSettingDlg::OnTimer(UINT_PTR id) {
    if (id != kStartTimer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(kStartTimer);
    if (m_radUsb.GetCheck() == BST_CHECKED) {
        m_nType = 0;
    } else if (m_radFound.GetCheck() == BST_CHECKED && m_cmbFound.GetCount() > 0) {
        m_nType = 1;
        m_cmbFound.EnableWindow(TRUE);
    } else if (m_radHost.GetCheck() == BST_CHECKED) {
        m_nType = 2;
        m_edtHost.SetFocus();
    }
}

void CPortSettingDlg::OnClickedUsb() {
    m_nType = 0;
    ApplyPortType(m_nType);
    m_cmbFound.EnableWindow(FALSE);
}

void CPortSettingDlg::OnClickedFound() {
    m_nType = 1;
    ApplyPortType(m_nType);
    if (m_cmbFound.GetCount() <= 0) {
        m_cmbFound.EnableWindow(FALSE);
        StartSearch();
    } else {
        m_cmbFound.EnableWindow(TRUE);
    }
}

void CPortSettingDlg::OnClickedHost() {
    m_nType = 2;
    ApplyPortType(m_nType);
    m_cmbFound.EnableWindow(FALSE);
    m_edtHost.SetFocus();
}

void CPortSettingDlg::OnHostEditFocus() {
    m_nType = 2;
    ApplyPortType(m_nType);
    m_cmbFound.EnableWindow(FALSE);
}

// Keeps the host field to at most 48 of the characters a host name, an IPv4 or IPv6 address or a zone can hold,
// with at most three dots.
void CPortSettingDlg::OnHostEditChange() {
    CString text;
    m_edtHost.GetWindowText(text);
    if (text.GetLength() > kMaxHostLength) {
        m_edtHost.SetWindowText(m_strLastHost);
        return;
    }
    CString kept;
    int dots = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        const WCHAR c = text[i];
        const bool allowed = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                             c == u'.' || c == u'-' || c == u':' || c == u'%' || c == u'/';
        if (!allowed)
            continue;
        if (c == u'.' && ++dots > 3)
            break;
        kept += c;
    }
    if (kept.GetLength() != text.GetLength()) {
        m_edtHost.SetWindowText(kept);
        m_edtHost.SetSel(kept.GetLength(), kept.GetLength()); // typing goes on where it was
    }
    m_strLastHost = kept;
}

void CPortSettingDlg::OnClickedRefresh() {
    if (m_nType != 1) {
        CTransCheckBox* radios[] = {&m_radUsb, &m_radFound, &m_radHost};
        if (m_nType >= 0 && m_nType < 3)
            radios[m_nType]->SetCheck(BST_UNCHECKED);
    }
    m_radFound.SetCheck(BST_CHECKED);
    StartSearch();
    if (m_cmbFound.GetCount() <= 0) {
        m_cmbFound.EnableWindow(FALSE);
    } else {
        m_nType = 1;
        m_cmbFound.EnableWindow(TRUE);
    }
}

void CPortSettingDlg::OnResetHostEdit() {
    m_bEditModified = FALSE;
    m_edtHost.SetWindowText(m_strLastHost);
}

void CPortSettingDlg::StartSearch() {
    EnableControls(FALSE);
    m_cmbFound.ResetContent();
    m_cmbFound.EnableWindow(FALSE);
    if (m_search)
        m_search->abandoned = true;
    m_search = std::make_shared<PortSearchJob>();
    m_search->notify = m_hWnd;
    if (!StartWorker(PortSearchThread, m_search)) {
        m_search->done = true;
        PostMessage(WM_PORT_SEARCH_DONE);
    }
}

LRESULT CPortSettingDlg::OnSearchDone(WPARAM, LPARAM) {
    // A search of ours that has ended, else a late or stray message.
    if (!m_search || !m_search->done.load())
        return 0;
    const std::shared_ptr<PortSearchJob> search = std::move(m_search);
    m_cmbFound.ResetContent();
    for (const std::string& name : search->names)
        m_cmbFound.AddString(Widen(name.data(), name.size()));
    const int count = m_cmbFound.GetCount();
    if (count > 0) {
        m_cmbFound.EnableWindow(TRUE);
        m_cmbFound.SetCurSel(0);
        if (m_pRecord) {
            // The stored scanner stays chosen when it was found again; otherwise the first one is selected and the
            // stored name stays as it is until a test succeeds.
            for (int i = 0; i < count; ++i) {
                CString entry;
                m_cmbFound.GetLBText(i, entry);
                char narrow[kNameSize];
                NarrowInto(entry, narrow);
                if (std::strncmp(narrow, m_pRecord->name, kNameSize) == 0)
                    m_cmbFound.SetCurSel(i);
            }
        }
    } else {
        if (count == CB_ERR && m_pRecord)
            std::memset(m_pRecord->name, 0, sizeof m_pRecord->name);
        m_cmbFound.ResetContent();
        m_cmbFound.EnableWindow(FALSE);
    }
    EnableControls(TRUE);
    return 0;
}

void CPortSettingDlg::OnClickedOK() {
    std::memset(m_request.community, 0, sizeof m_request.community);
    NarrowInto(CString(u"quorby"), m_request.community);
    m_request.notify = m_hWnd;
    if (!m_pRecord)
        return;
    if (m_nType == 0) {
        m_pRecord->type = 0;
        EndDialog(IDOK);
        return;
    }
    if (m_nType == 1) {
        CString name = ListText(m_cmbFound);
        name.Trim();
        NarrowInto(name, m_request.address);
        StartTest();
        return;
    }
    if (m_nType != 2)
        return;
    CString host;
    m_edtHost.GetWindowText(host);
    host.Trim();
    m_edtHost.SetWindowText(host);
    if (host.IsEmpty()) {
        m_edtHost.SetFocus();
        return;
    }
    if (host.GetLength() > kMaxHostLength) {
        m_edtHost.SetWindowText(Widen(m_pRecord->address, sizeof m_pRecord->address));
        return;
    }
    NarrowInto(host, m_request.address);
    StartTest();
}

void CPortSettingDlg::StartTest() {
    EnableControls(FALSE);
    if (m_test)
        m_test->abandoned = true;
    m_test = std::make_shared<PortTestJob>();
    m_test->notify = m_hWnd;
    m_test->request = m_request;
    if (!StartWorker(PortTestThread, m_test)) {
        m_test->done = true;
        PostMessage(WM_PORT_TEST_DONE, static_cast<WPARAM>(-1));
    }
}

LRESULT CPortSettingDlg::OnTestDone(WPARAM wParam, LPARAM) {
    if (!m_test || !m_test->done.load())
        return 0;
    m_test.reset();
    const int result = static_cast<int>(wParam);
    EnableControls(TRUE);
    if (m_nType != 1) {
        m_btnRefresh.EnableWindow(FALSE);
        m_cmbFound.EnableWindow(FALSE);
    }
    if (!m_pRecord)
        return 0;
    m_pRecord->type = m_nType;
    CString chosen;
    if (m_nType == 1)
        chosen = ListText(m_cmbFound);
    else
        m_edtHost.GetWindowText(chosen);
    if (result != 0 || chosen.IsEmpty()) {
        CErrorDlg error(this);
        error.m_strMessage = LoadResString(kStringConnectFailed);
        error.DoModal();
        m_cmbFound.SetFocus();
        return 0;
    }
    CString host;
    m_edtHost.GetWindowText(host);
    NarrowInto(ListText(m_cmbFound), m_pRecord->name);
    NarrowInto(host, m_pRecord->address);
    EndDialog(IDOK);
    return 0;
}

void CPortSettingDlg::OnClickedCancel() {
    Abandon();
    EndDialog(IDCANCEL);
}

void CPortSettingDlg::Abandon() {
    if (m_search)
        m_search->abandoned = true;
    if (m_test)
        m_test->abandoned = true;
    m_search.reset();
    m_test.reset();
}

void CPortSettingDlg::OnDestroy() {
    Abandon();
    CDialog::OnDestroy();
}

BOOL CPortSettingDlg::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

BOOL CPortSettingDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN) {
        if (pMsg->hwnd == m_edtHost.m_hWnd) {
            if (pMsg->wParam == VK_UP || pMsg->wParam == VK_DOWN)
                return TRUE;
            m_bEditModified = TRUE;
        }
        if (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)
            return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}
