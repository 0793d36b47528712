// An edit control for one number beside the sliders of the adjustment dialogs. It lets through only the keys its
// mode takes, shows the value with the language's decimal separator (g_chDecimalSep), and checks the number when
// the user leaves the field or presses Enter: bad or out-of-range input brings back the last good value and the
// error dialog (string 1097); an accepted new value is announced to the parent with WM_NUMBEREDIT_CHANGED.
//
// Values are integers in the mode's unit:
//
// mode  meaning            unit        shown as
//    1  unsigned integer   the number  "%d"
//    2  signed integer     the number  "%d"
//    3  one decimal        tenths      "%.1f"
//    4  two decimals       hundredths  "%.2f"
#pragma once

#include "platform/user/afxwin.h"

// Sent (not posted) to the parent after an accepted new value: wParam = the edit's window, lParam 0.
inline constexpr UINT WM_NUMBEREDIT_CHANGED = 0x481;

class CNumberEdit : public CEdit {
    DECLARE_MESSAGE_MAP()
public:
    enum Mode { kUnsigned = 1, kSigned = 2, kOneDecimal = 3, kTwoDecimals = 4 };
    // Leaving the field for the parent's control of this id (the Reset button) checks nothing.
    static constexpr int kResetButtonId = 10146;
    static constexpr UINT kOutOfRangeString = 1097;

    CNumberEdit() = default;
    ~CNumberEdit() override;

    void SetMode(int mode) { m_nMode = mode; }
    void SetRange(int minimum, int maximum);
    // Shows `value` (in the mode's unit); a value outside the range shows the last valid value instead.
    void SetValue(int value);
    void SetValue(int mode, int value);
    // The shown text as a value in the mode's unit, read with the language's separator, exactly as the check reads
    // it; values that do not fit an int are held to its limits.
    int GetValue() const;

    // Not empty and, after an optional leading '-' and without its first '.', digits only ("." alone is 0).
    static BOOL IsValidNumber(const CString& text);
    // The check of Enter and of leaving the field; TRUE when the shown value is a valid one.
    BOOL Validate();

    BOOL PreTranslateMessage(MSG* pMsg) override;

    int m_nMode = 0;
    int m_nMax = 0;
    int m_nMin = 0;
    CString m_strLastValid; // with '.' as separator

protected:
    void OnChar(UINT ch, UINT repeat, UINT flags);
    void OnKillFocus(CWnd* newWnd);
    void OnMButtonDown(UINT flags, CPoint point);

private:
    // The control's text with the language's separator turned into '.'.
    CString GetNeutralText() const;
    int ToValue(const CString& neutralText) const;
    void ShowLastValid();
    void ShowOutOfRangeError();
    // The parent is hidden or on its way out: no message box may come up over it.
    bool ParentIsLeaving() const;

    bool m_bValidating = false;
};
