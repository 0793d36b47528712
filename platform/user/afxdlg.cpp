// CDialog (modal and modeless, from templates of the resource module), data exchange, and the control classes.
#include "platform/user/afxwin.h"

#include "platform/user/dialog_template.h"
#include "platform/user/internal.h"

#include <string>

namespace {

// The dialog procedure under a framework dialog: everything is handled by the object's map and DefDlgProcW.
INT_PTR CALLBACK AfxDlgProc(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

void AttachDialog(HWND hwnd, void* context) {
    static_cast<CWnd*>(context)->SubclassWindow(hwnd);
}

// A template's text from the resource module, then from the module itself.
bool FindTemplate(LPCWSTR name, const char*& text, size_t& size) {
    for (HINSTANCE module : {AfxGetResourceHandle(), AfxGetInstanceHandle()}) {
        HRSRC res = ::FindResourceW(module, name, RT_DIALOG);
        if (!res)
            continue;
        text = static_cast<const char*>(::LockResource(::LoadResource(module, res)));
        size = ::SizeofResource(module, res);
        if (text)
            return true;
    }
    return false;
}

void ReadText(HWND ctl, CString& value) {
    int n = ::GetWindowTextLengthW(ctl);
    ::GetWindowTextW(ctl, value.GetBufferSetLength(n), n + 1);
    value.ReleaseBuffer();
}

// The number in the control, signed or not; a text that is no number fails the exchange.
template <typename Number> void ExchangeNumber(CDataExchange* pDX, int id, Number& value, BOOL isSigned) {
    if (!pDX->PrepareCtrl(id))
        return;
    HWND dlg = pDX->m_pDlgWnd->GetSafeHwnd();
    if (pDX->m_bSaveAndValidate) {
        BOOL ok = FALSE;
        UINT v = ::GetDlgItemInt(dlg, id, &ok, isSigned);
        if (!ok)
            pDX->Fail();
        else
            value = static_cast<Number>(v);
    } else {
        ::SetDlgItemInt(dlg, id, static_cast<UINT>(value), isSigned);
    }
}

} // namespace

// ---- CDialog ----

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
END_MESSAGE_MAP()

CDialog::CDialog() = default;

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_nIDHelp(templateId), m_lpszTemplateName(MAKEINTRESOURCEW(templateId)), m_pParentWnd(parent) {}

CDialog::CDialog(LPCWSTR templateName, CWnd* parent) : m_lpszTemplateName(templateName), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd && ::IsWindow(m_hWnd) && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(m_hWnd);
}

BOOL CDialog::CreateFromTemplate(const char* text, size_t size, CWnd* parent, bool modal) {
    platform::user::DialogTemplate t;
    std::string error;
    if (!platform::user::ParseDialogTemplate(std::string_view(text, size), t, &error))
        return FALSE;
    if (parent)
        m_pParentWnd = parent;
    HWND owner = modal ? ResolveOwner() : HwndOf(m_pParentWnd);
    platform::user::SetThreadCreateHook(AttachDialog, this);
    HWND hwnd = platform::user::CreateDialogFromTemplate(t, AfxGetInstanceHandle(), owner, AfxDlgProc, 0, modal);
    platform::user::SetThreadCreateHook(nullptr, nullptr);
    if (!hwnd && m_hWnd)
        Detach();
    return hwnd != nullptr;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    return Create(MAKEINTRESOURCEW(templateId), parent);
}

BOOL CDialog::Create(LPCWSTR templateName, CWnd* parent) {
    m_lpszTemplateName = templateName;
    const char* text = nullptr;
    size_t size = 0;
    if (!FindTemplate(templateName, text, size))
        return FALSE;
    return CreateFromTemplate(text, size, parent, false);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATEW dlgTemplate, CWnd* parent) {
    if (!dlgTemplate)
        return FALSE;
    auto* text = reinterpret_cast<const char*>(dlgTemplate);
    return CreateFromTemplate(text, std::char_traits<char>::length(text), parent, false);
}

HWND CDialog::ResolveOwner() const {
    HWND owner = HwndOf(m_pParentWnd);
    if (!owner) {
        owner = HwndOf(AfxGetMainWnd());
        // Another thread's main window is no owner for a dialog of this thread.
        if (owner && ::GetWindowThreadProcessId(owner, nullptr) != platform::user::CurrentThreadId())
            owner = nullptr;
    }
    return owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
}

INT_PTR CDialog::DoModal() {
    const char* text = nullptr;
    size_t size = 0;
    if (!m_lpszTemplateName || !FindTemplate(m_lpszTemplateName, text, size))
        return -1;
    m_nModalResult = -1;
    HWND owner = ResolveOwner();
    if (!CreateFromTemplate(text, size, nullptr, true))
        return -1;
    HWND dlg = m_hWnd;
    INT_PTR result = platform::user::RunModalLoop(dlg, owner);
    if (m_nModalResult == -1)
        m_nModalResult = result;
    if (::IsWindow(dlg))
        ::DestroyWindow(dlg);
    return m_nModalResult;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    ::EndDialog(m_hWnd, result);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    bool input = (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST);
    if (!input || !m_hWnd)
        return FALSE;
    if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd))
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, pMsg);
}

void CDialog::NextDlgCtrl() const {
    ::SendMessageW(m_hWnd, 0x0028, 0, 0);
}
void CDialog::PrevDlgCtrl() const {
    ::SendMessageW(m_hWnd, 0x0028, 1, 0);
}
void CDialog::GotoDlgCtrl(CWnd* ctl) {
    if (ctl)
        ::SendMessageW(m_hWnd, 0x0028, reinterpret_cast<WPARAM>(ctl->m_hWnd), 1);
}

// ---- Data exchange ----

HWND CDataExchange::PrepareCtrl(int id) {
    HWND ctl = ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), id);
    if (!ctl)
        Fail();
    return ctl;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.m_hWnd)
        return;
    if (!control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlgWnd))
        pDX->Fail();
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    HWND ctl = pDX->PrepareCtrl(id);
    if (!ctl)
        return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(ctl, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(ctl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* pDX, int id, int& value) {
    HWND first = pDX->PrepareCtrl(id);
    if (!first)
        return;
    if (pDX->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    HWND ctl = first;
    do {
        if (::SendMessageW(ctl, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (pDX->m_bSaveAndValidate) {
                if (::SendMessageW(ctl, BM_GETCHECK, 0, 0))
                    value = index;
            } else {
                ::SendMessageW(ctl, BM_SETCHECK, index == value, 0);
            }
            ++index;
        }
        ctl = ::GetWindow(ctl, GW_HWNDNEXT);
    } while (ctl && !(::GetWindowLongW(ctl, GWL_STYLE) & WS_GROUP));
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    HWND ctl = pDX->PrepareCtrl(id);
    if (!ctl)
        return;
    if (pDX->m_bSaveAndValidate)
        ReadText(ctl, value);
    else
        ::SetWindowTextW(ctl, value);
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    ExchangeNumber(pDX, id, value, TRUE);
}

void DDX_Text(CDataExchange* pDX, int id, UINT& value) {
    ExchangeNumber(pDX, id, value, FALSE);
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index) {
    HWND ctl = pDX->PrepareCtrl(id);
    if (!ctl)
        return;
    if (pDX->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageW(ctl, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(ctl, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_CBString(CDataExchange* pDX, int id, CString& value) {
    HWND ctl = pDX->PrepareCtrl(id);
    if (!ctl)
        return;
    if (pDX->m_bSaveAndValidate) {
        ReadText(ctl, value);
    } else if (::SendMessageW(ctl, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(value.GetString())) == CB_ERR) {
        ::SetWindowTextW(ctl, value);
    }
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int count) {
    if (pDX->m_bSaveAndValidate && value.GetLength() > count)
        pDX->Fail();
}

// ---- Controls ----

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CSliderCtrl, CWnd)
IMPLEMENT_DYNAMIC(CScrollBar, CWnd)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)
IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

namespace {

// An owner-drawn control draws itself: WM_DRAWITEM sent to the parent ends in the control's DrawItem, unless a
// reflected entry of its map took it first.
template <class Control>
BOOL NotifyOwnerDraw(Control& control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (control.CWnd::OnChildNotify(message, wParam, lParam, pResult))
        return TRUE;
    if (message != WM_DRAWITEM)
        return FALSE;
    control.DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult)
        *pResult = TRUE;
    return TRUE;
}

} // namespace

BOOL CButton::Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(u"Button", caption, style, rect, parent, id);
}

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return NotifyOwnerDraw(*this, message, wParam, lParam, pResult);
}

BOOL CStatic::Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(u"Static", text, style, rect, parent, id);
}

void CStatic::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return NotifyOwnerDraw(*this, message, wParam, lParam, pResult);
}

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(u"Edit", nullptr, style, rect, parent, id);
}

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(u"ComboBox", nullptr, style, rect, parent, id);
}

void CComboBox::GetLBText(int index, CString& text) const {
    int n = GetLBTextLen(index);
    if (n < 0) {
        text.Empty();
        return;
    }
    GetLBText(index, text.GetBufferSetLength(n));
    text.ReleaseBuffer(n);
}

BOOL CSliderCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(TRACKBAR_CLASSW, nullptr, style, rect, parent, id);
}

BOOL CScrollBar::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(u"ScrollBar", nullptr, style, rect, parent, id);
}

int CScrollBar::GetScrollLimit() {
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    ::GetScrollInfo(m_hWnd, SB_CTL, &si);
    return si.nMax - std::max<int>(static_cast<int>(si.nPage) - 1, 0);
}

BOOL CProgressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(PROGRESS_CLASSW, nullptr, style, rect, parent, id);
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    RECT none{0, 0, 0, 0};
    return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, none, parent, 0);
}

void CToolTipCtrl::FillToolInfo(TTTOOLINFOW& ti, CWnd* wnd, UINT_PTR toolId) {
    ti = TTTOOLINFOW{};
    ti.cbSize = sizeof ti;
    if (toolId == 0) {
        ti.hwnd = ::GetParent(HwndOf(wnd));
        ti.uFlags = TTF_IDISHWND;
        ti.uId = reinterpret_cast<UINT_PTR>(HwndOf(wnd));
    } else {
        ti.hwnd = HwndOf(wnd);
        ti.uId = toolId;
    }
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, LPCWSTR text, LPCRECT rect, UINT_PTR toolId) {
    TTTOOLINFOW ti;
    FillToolInfo(ti, wnd, toolId);
    if (rect)
        ti.rect = *rect;
    else if (toolId == 0)
        ti.uFlags |= TTF_SUBCLASS;
    ti.lpszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, UINT textId, LPCRECT rect, UINT_PTR toolId) {
    CString text;
    text.LoadString(textId);
    return AddTool(wnd, text.GetString(), rect, toolId);
}

void CToolTipCtrl::DelTool(CWnd* wnd, UINT_PTR toolId) {
    TTTOOLINFOW ti;
    FillToolInfo(ti, wnd, toolId);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR text, CWnd* wnd, UINT_PTR toolId) {
    TTTOOLINFOW ti;
    FillToolInfo(ti, wnd, toolId);
    ti.lpszText = const_cast<LPWSTR>(text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::UpdateTipText(UINT textId, CWnd* wnd, UINT_PTR toolId) {
    CString text;
    text.LoadString(textId);
    UpdateTipText(text.GetString(), wnd, toolId);
}

void CToolTipCtrl::GetText(CString& text, CWnd* wnd, UINT_PTR toolId) const {
    TTTOOLINFOW ti;
    FillToolInfo(ti, wnd, toolId);
    constexpr int kRoom = 1024;
    ti.lpszText = text.GetBufferSetLength(kRoom);
    SendMessage(TTM_GETTEXTW, kRoom, reinterpret_cast<LPARAM>(&ti));
    text.ReleaseBuffer();
}
