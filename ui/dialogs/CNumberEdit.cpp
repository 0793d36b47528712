#include "ui/dialogs/CNumberEdit.h"

#include "settings/Language.h"
#include "ui/dialogs/CErrorDlg.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

bool KeyHeld(int virtKey) {
    return HIBYTE(static_cast<WORD>(::GetKeyState(virtKey))) == 0xFF;
}

bool IsDigit(WCHAR ch) {
    return ch >= u'0' && ch <= u'9';
}

int ClampToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

// The leading integer of the text as the C library reads one (blanks, a sign, digits; 0 when there is none).
int IntegerOf(const CString& text) {
    std::string narrow;
    for (int i = 0; i < text.GetLength(); ++i) {
        const WCHAR ch = text[i];
        narrow += (ch < 0x80) ? static_cast<char>(ch) : '?';
    }
    const long long value = std::strtoll(narrow.c_str(), nullptr, 10);
    return ClampToInt(static_cast<double>(value));
}

double NumberOf(const CString& text) {
    std::string narrow;
    for (int i = 0; i < text.GetLength(); ++i) {
        const WCHAR ch = text[i];
        narrow += (ch < 0x80) ? static_cast<char>(ch) : '?';
    }
    return std::strtod(narrow.c_str(), nullptr);
}

} // namespace

BEGIN_MESSAGE_MAP(CNumberEdit, CEdit)
ON_WM_CHAR()
ON_WM_KILLFOCUS()
ON_WM_MBUTTONDOWN()
END_MESSAGE_MAP()

CNumberEdit::~CNumberEdit() = default;

void CNumberEdit::SetRange(int minimum, int maximum) {
    m_nMin = minimum;
    m_nMax = maximum;
}

void CNumberEdit::SetValue(int value) {
    SetValue(m_nMode, value);
}

void CNumberEdit::SetValue(int mode, int value) {
    m_nMode = mode;
    if (value <= m_nMax && value >= m_nMin) {
        CString text;
        switch (mode) {
        case kUnsigned:
        case kSigned:
            text.Format(u"%d", value);
            break;
        case kTwoDecimals:
            text.Format(u"%.2f", value / 100.0 + 0.0005);
            break;
        default:
            text.Format(u"%.1f", value / 10.0 + 0.0005);
            break;
        }
        m_strLastValid = text;
    }
    ShowLastValid();
}

void CNumberEdit::ShowLastValid() {
    CString shown = m_strLastValid;
    shown.Replace(u'.', g_chDecimalSep);
    if (m_hWnd != nullptr)
        SetWindowText(shown);
}

CString CNumberEdit::GetNeutralText() const {
    CString text;
    if (m_hWnd != nullptr)
        GetWindowText(text);
    text.Replace(g_chDecimalSep, u'.');
    return text;
}

int CNumberEdit::ToValue(const CString& neutralText) const {
    switch (m_nMode) {
    case kOneDecimal:
        return ClampToInt((NumberOf(neutralText) + 0.0005) * 10);
    case kTwoDecimals:
        return ClampToInt((NumberOf(neutralText) + 0.0005) * 100);
    default:
        return IntegerOf(neutralText);
    }
}

int CNumberEdit::GetValue() const {
    return ToValue(GetNeutralText());
}

BOOL CNumberEdit::IsValidNumber(const CString& text) {
    if (text.IsEmpty())
        return FALSE;
    std::u16string rest(text.GetString());
    if (rest.front() == u'-')
        rest.erase(0, 1);
    if (const size_t dot = rest.find(u'.'); dot != std::u16string::npos)
        rest.erase(dot, 1);
    for (WCHAR ch : rest)
        if (!IsDigit(ch))
            return FALSE;
    return TRUE;
}

bool CNumberEdit::ParentIsLeaving() const {
    HWND parent = ::GetParent(m_hWnd);
    return parent == nullptr || !::IsWindowVisible(parent);
}

void CNumberEdit::ShowOutOfRangeError() {
    CErrorDlg dlg(GetParent());
    dlg.m_strMessage = LoadResString(kOutOfRangeString);
    dlg.DoModal();
}

BOOL CNumberEdit::Validate() {
    if (m_hWnd == nullptr || m_bValidating)
        return TRUE;
    if (CWnd* parent = GetParent()) {
        HWND reset = ::GetDlgItem(parent->m_hWnd, kResetButtonId);
        if (reset != nullptr && ::GetFocus() == reset)
            return TRUE;
    }
    const CString text = GetNeutralText();
    const int newValue = ToValue(text);
    const int oldValue = ToValue(m_strLastValid);
    if (IsValidNumber(text)) {
        if (newValue == oldValue) {
            SetValue(oldValue); // normalises what was typed ("01" -> "1")
            return TRUE;
        }
        if (newValue >= m_nMin && newValue <= m_nMax) {
            SetValue(newValue);
            if (CWnd* parent = GetParent())
                parent->SendMessage(WM_NUMBEREDIT_CHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
            return TRUE;
        }
    }
    // Bad or out of range: the last good value comes back, the user is told, and the field keeps the focus. While
    // the error dialog runs the focus passes through other controls (the one clicked, the dialog's button); the
    // guard keeps this edit from checking itself again on the way, and setting the focus last makes this edit the
    // one it settles on.
    m_bValidating = true;
    SetValue(oldValue);
    ShowOutOfRangeError();
    m_bValidating = false;
    if (::IsWindow(m_hWnd))
        SetFocus();
    return FALSE;
}

void CNumberEdit::OnChar(UINT ch, UINT repeat, UINT flags) {
    bool accepted = true;
    switch (m_nMode) {
    case kUnsigned:
        accepted = IsDigit(static_cast<WCHAR>(ch)) || ch == VK_BACK;
        break;
    case kSigned:
        accepted = IsDigit(static_cast<WCHAR>(ch)) || ch == VK_BACK || ch == u'-';
        break;
    case kOneDecimal:
    case kTwoDecimals:
        accepted = IsDigit(static_cast<WCHAR>(ch)) || ch == VK_BACK || ch == g_chDecimalSep;
        break;
    default:
        break;
    }
    if (accepted)
        CEdit::OnChar(ch, repeat, flags);
}

void CNumberEdit::OnKillFocus(CWnd* newWnd) {
    CEdit::OnKillFocus(newWnd);
    if (m_bValidating)
        return;
    if (ParentIsLeaving()) {
        // Closing or hiding the dialog is no moment for a message box: what was not accepted is simply dropped.
        ShowLastValid();
        return;
    }
    Validate();
}

void CNumberEdit::OnMButtonDown(UINT, CPoint) {}

BOOL CNumberEdit::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN && ::GetFocus() == m_hWnd) {
        if (KeyHeld(VK_CONTROL)) {
            // The lower-case codes are taken as well (they are also Numpad1, Numpad3 and F7).
            switch (pMsg->wParam) {
            case 'A':
            case 'a':
                SetSel(0, -1);
                return TRUE;
            case 'C':
            case 'c':
                SendMessage(WM_COPY);
                return TRUE;
            case 'V':
            case 'v':
                SendMessage(WM_PASTE);
                return TRUE;
            default:
                break;
            }
        }
        if (pMsg->wParam == VK_RETURN) {
            Validate();
            return TRUE;
        }
    }
    return CEdit::PreTranslateMessage(pMsg);
}
