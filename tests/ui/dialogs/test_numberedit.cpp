// The number edit: the keys each mode lets through, the value shown with the language's separator, the check on
// Enter and on leaving the field (range, bad input, the Reset button, a parent on its way out), and where the focus
// ends after an error.
#include "AdjustTestHost.h"

#include "ui/dialogs/CNumberEdit.h"

#include <vector>

namespace {

using namespace adjust_test;

constexpr int kDecimal = 100, kUnsigned = 101, kSigned = 102, kReset = 10146, kOther = 200;

constexpr const char* kTemplate = R"(DIALOGEX 20, 20, 200, 120
STYLE WS_POPUP | WS_VISIBLE
FONT 8, "MS Shell Dlg"
BEGIN
    EDITTEXT 100, 10, 10, 40, 14, ES_AUTOHSCROLL
    EDITTEXT 101, 10, 30, 40, 14, ES_AUTOHSCROLL
    EDITTEXT 102, 10, 50, 40, 14, ES_AUTOHSCROLL
    PUSHBUTTON "Reset", 10146, 100, 10, 50, 14, WS_TABSTOP
    PUSHBUTTON "Other", 200, 100, 30, 50, 14, WS_TABSTOP
END
)";

class EditHost : public CDialog {
public:
    CNumberEdit decimal, whole, signedEdit;
    std::vector<HWND> changes; // the wParam of each WM_NUMBEREDIT_CHANGED

    BOOL Open() {
        if (!CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kTemplate), nullptr))
            return FALSE;
        decimal.SubclassDlgItem(kDecimal, this);
        whole.SubclassDlgItem(kUnsigned, this);
        signedEdit.SubclassDlgItem(kSigned, this);
        decimal.SetRange(1, 99);
        decimal.LimitText(3);
        decimal.SetValue(CNumberEdit::kOneDecimal, 18);
        whole.SetRange(0, 255);
        whole.LimitText(3);
        whole.SetValue(CNumberEdit::kUnsigned, 72);
        signedEdit.SetRange(-100, 100);
        signedEdit.LimitText(4);
        signedEdit.SetValue(CNumberEdit::kSigned, 0);
        ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        return TRUE;
    }
    LRESULT OnChanged(WPARAM wParam, LPARAM) {
        changes.push_back(reinterpret_cast<HWND>(wParam));
        return 0;
    }
    void OnOK() override {}
    void OnCancel() override {}
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(EditHost, CDialog)
ON_MESSAGE(WM_NUMBEREDIT_CHANGED, OnChanged)
END_MESSAGE_MAP()

class NumberEditTest : public AdjustTest {
protected:
    EditHost host;
    HWND errorOwner = nullptr;

    void SetUp() override {
        AdjustTest::SetUp();
        // Error dialogs are noted and answered with OK at once.
        ut::SetModalInterceptor([this](HWND dlg) {
            m_boxes.push_back(ItemText(dlg, 10306));
            errorOwner = GetWindow(dlg, GW_OWNER);
            EndDialog(dlg, IDOK);
        });
    }
    void TearDown() override {
        if (host.m_hWnd)
            host.DestroyWindow();
        AdjustTest::TearDown();
    }
    void Open() { ASSERT_TRUE(host.Open()); }
    // Focus on the edit, its text replaced by `text` as typed.
    void TypeInto(CNumberEdit& edit, std::u16string_view text) {
        edit.SetFocus();
        edit.SetSel(0, -1);
        ut::TypeText(text);
        ut::RunPendingMessages();
    }
    void Enter() {
        ut::PressKey(VK_RETURN);
        ut::RunPendingMessages();
    }
    static std::u16string Text(CNumberEdit& edit) { return TextOf(edit.m_hWnd); }
};

TEST_F(NumberEditTest, EachModeLetsThroughOnlyItsKeys) {
    Open();
    TypeInto(host.whole, u"1a-2.,3");
    EXPECT_EQ(Text(host.whole), u"123") << "unsigned: digits only";
    TypeInto(host.signedEdit, u"-4x5.");
    EXPECT_EQ(Text(host.signedEdit), u"-45") << "signed: digits and the minus";
    TypeInto(host.decimal, u"1,.5");
    EXPECT_EQ(Text(host.decimal), u"1.5") << "decimal: digits and the language's separator only";
    TypeInto(host.decimal, u"12");
    ut::TypeText(u"\b");
    ut::RunPendingMessages();
    EXPECT_EQ(Text(host.decimal), u"1") << "backspace goes through";
    TypeInto(host.decimal, u"12345");
    EXPECT_EQ(Text(host.decimal), u"123") << "the dialog's limit of 3 characters";
}

TEST_F(NumberEditTest, ValuesAreShownInTheModesFormatWithTheLanguagesSeparator) {
    Open();
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        const std::u16string separator(1, GetLanguageInfo(language.number).decimalSep);
        host.decimal.SetValue(CNumberEdit::kOneDecimal, 15);
        EXPECT_EQ(Text(host.decimal), u"1" + separator + u"5") << language.code;
        host.decimal.SetValue(CNumberEdit::kTwoDecimals, 25);
        EXPECT_EQ(Text(host.decimal), u"0" + separator + u"25") << language.code;
    }
    g_chDecimalSep = u',';
    host.decimal.SetRange(1, 99);
    host.decimal.SetValue(CNumberEdit::kOneDecimal, 99);
    EXPECT_EQ(Text(host.decimal), u"9,9");
    EXPECT_EQ(host.decimal.m_strLastValid, CString(u"9.9")) << "kept with a dot";
    host.decimal.SetValue(CNumberEdit::kOneDecimal, 100);
    EXPECT_EQ(Text(host.decimal), u"9,9") << "a value out of range shows the last valid one";
    host.signedEdit.SetValue(-100);
    EXPECT_EQ(Text(host.signedEdit), u"-100");
}

TEST_F(NumberEditTest, ACommaLanguageTypesAndReadsTheDecimalWithItsComma) {
    g_chDecimalSep = u',';
    Open();
    EXPECT_EQ(Text(host.decimal), u"1,8");
    TypeInto(host.decimal, u"1.5");
    EXPECT_EQ(Text(host.decimal), u"15") << "a dot is refused where the separator is a comma";
    TypeInto(host.decimal, u"1,5");
    Enter();
    EXPECT_TRUE(m_boxes.empty());
    ASSERT_EQ(host.changes.size(), 1U);
    EXPECT_EQ(host.changes[0], host.decimal.m_hWnd);
    EXPECT_EQ(host.decimal.GetValue(), 15) << "one comma five is 15 tenths";
    EXPECT_EQ(Text(host.decimal), u"1,5");
}

TEST_F(NumberEditTest, AnAcceptedValueIsAnnouncedOnceAndUnchangedTextNotAtAll) {
    Open();
    TypeInto(host.whole, u"072");
    Enter();
    EXPECT_TRUE(host.changes.empty()) << "the same value typed again is no change";
    EXPECT_EQ(Text(host.whole), u"72") << "but its text is normalised";
    TypeInto(host.whole, u"200");
    Enter();
    ASSERT_EQ(host.changes.size(), 1U);
    EXPECT_EQ(host.whole.GetValue(), 200);
    TypeInto(host.decimal, u"1.25");
    EXPECT_EQ(Text(host.decimal), u"1.2") << "three characters at most";
    host.decimal.SetWindowText(u"1.25");
    Enter();
    EXPECT_EQ(host.decimal.GetValue(), 12) << "1.25 is 12 tenths";
    EXPECT_EQ(Text(host.decimal), u"1.2");
    TypeInto(host.signedEdit, u"-");
    Enter();
    EXPECT_EQ(Text(host.signedEdit), u"0") << "a lone minus reads as 0, which it already was";
    EXPECT_EQ(host.changes.size(), 2U);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(NumberEditTest, BadOrOutOfRangeInputBringsBackTheLastValueWithTheError) {
    Open();
    const std::u16string message = HaveStrings() ? std::u16string(LoadResString(1097)) : u"";
    // Out of range, empty, and a pasted text that is no number.
    for (std::u16string_view typed : {u"300", u"", u"1-2"}) {
        TypeInto(host.signedEdit, u"5");
        Enter();
        m_boxes.clear();
        host.whole.SetFocus();
        host.whole.SetWindowText(CString(typed));
        Enter();
        ASSERT_EQ(m_boxes.size(), 1U) << "typed \"" << std::string(typed.begin(), typed.end()) << "\"";
        if (HaveStrings()) {
            EXPECT_EQ(m_boxes[0], message);
        }
        EXPECT_EQ(errorOwner, host.m_hWnd) << "the dialog owns the error";
        EXPECT_EQ(Text(host.whole), u"72");
        EXPECT_EQ(GetFocus(), host.whole.m_hWnd) << "the field keeps the focus";
    }
    m_boxes.clear();
    TypeInto(host.decimal, u".");
    Enter();
    EXPECT_EQ(m_boxes.size(), 1U) << "a lone dot is 0, below the gamma range";
    EXPECT_EQ(Text(host.decimal), u"1.8");
    EXPECT_EQ(host.changes.size(), 1U) << "only the signed edit's 5 was announced";
}

TEST_F(NumberEditTest, LeavingTheFieldChecksItExceptForTheResetButton) {
    Open();
    TypeInto(host.whole, u"999");
    host.GetDlgItem(kReset)->SetFocus();
    ut::RunPendingMessages();
    EXPECT_TRUE(m_boxes.empty()) << "resetting never shows the range error";
    EXPECT_EQ(Text(host.whole), u"999");

    TypeInto(host.whole, u"999");
    host.GetDlgItem(kOther)->SetFocus();
    ut::RunPendingMessages();
    EXPECT_EQ(m_boxes.size(), 1U);
    EXPECT_EQ(Text(host.whole), u"72");
    EXPECT_EQ(GetFocus(), host.whole.m_hWnd);

    TypeInto(host.whole, u"90");
    host.GetDlgItem(kOther)->SetFocus();
    ut::RunPendingMessages();
    EXPECT_EQ(host.changes.size(), 1U) << "a good value is taken on leaving too";
    EXPECT_EQ(GetFocus(), host.GetDlgItem(kOther)->m_hWnd);
}

TEST_F(NumberEditTest, AfterAnErrorTheFocusSettlesOnTheFieldThatWasWrong) {
    Open();
    TypeInto(host.whole, u"300");
    ut::Click(host.decimal.m_hWnd); // the user moves on to the gamma field
    ut::RunPendingMessages();
    EXPECT_EQ(m_boxes.size(), 1U) << "one error, for the field that was wrong; the other checks nothing";
    EXPECT_EQ(GetFocus(), host.whole.m_hWnd);
    EXPECT_EQ(Text(host.decimal), u"1.8");
    EXPECT_TRUE(host.changes.empty());
    ut::PressKey(VK_TAB);
    ut::RunPendingMessages();
    EXPECT_EQ(m_boxes.size(), 1U) << "the field's text is good again";
}

TEST_F(NumberEditTest, AParentOnItsWayOutDropsTheTextWithoutAnError) {
    Open();
    TypeInto(host.whole, u"300");
    host.ShowWindow(SW_HIDE);
    ut::RunPendingMessages();
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(Text(host.whole), u"72") << "what was not accepted is dropped";
    EXPECT_TRUE(host.changes.empty());

    host.ShowWindow(SW_SHOW);
    TypeInto(host.whole, u"300");
    host.DestroyWindow();
    ut::RunPendingMessages();
    EXPECT_TRUE(m_boxes.empty()) << "no message box over a dialog being destroyed";
}

TEST_F(NumberEditTest, ControlKeysSelectCopyAndPasteAndTheMiddleButtonDoesNothing) {
    Open();
    host.whole.SetFocus();
    host.whole.SetSel(0, 0);
    ut::SetKeyState(VK_CONTROL, true);
    ut::PressKey('A');
    ut::RunPendingMessages();
    int start = -1, end = -1;
    host.whole.GetSel(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 2) << "Ctrl+A selects the whole text";
    host.whole.SetSel(1, 1);
    ut::PressKey('a'); // the lower-case code, which is also Numpad1
    ut::RunPendingMessages();
    host.whole.GetSel(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 2) << "Ctrl with the lower-case code selects all too";
    EXPECT_EQ(Text(host.whole), u"72");
    ut::PressKey('C');
    ut::PressKey('X'); // no cut: its character is not a digit
    ut::RunPendingMessages();
    EXPECT_EQ(Text(host.whole), u"72");
    host.signedEdit.SetFocus();
    host.signedEdit.SetSel(0, -1);
    ut::PressKey('V');
    ut::RunPendingMessages();
    ut::SetKeyState(VK_CONTROL, false);
    EXPECT_EQ(Text(host.signedEdit), u"72") << "Ctrl+C then Ctrl+V";

    RECT r{};
    GetWindowRect(host.decimal.m_hWnd, &r);
    const POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ut::MouseDown(middle, WM_MBUTTONDOWN);
    ut::MouseUp(middle, WM_MBUTTONUP);
    ut::RunPendingMessages();
    EXPECT_EQ(GetFocus(), host.signedEdit.m_hWnd) << "the middle button neither focuses nor checks";
    EXPECT_TRUE(m_boxes.empty());
}

TEST(NumberEditRules, AValidNumberIsDigitsWithAtMostALeadingMinusAndOneDot) {
    EXPECT_TRUE(CNumberEdit::IsValidNumber(CString(u"12")));
    EXPECT_TRUE(CNumberEdit::IsValidNumber(CString(u"-1.5")));
    EXPECT_TRUE(CNumberEdit::IsValidNumber(CString(u".")));
    EXPECT_TRUE(CNumberEdit::IsValidNumber(CString(u"-")));
    EXPECT_FALSE(CNumberEdit::IsValidNumber(CString(u"")));
    EXPECT_FALSE(CNumberEdit::IsValidNumber(CString(u"1.2.3")));
    EXPECT_FALSE(CNumberEdit::IsValidNumber(CString(u"--1")));
    EXPECT_FALSE(CNumberEdit::IsValidNumber(CString(u"1,5")));
    EXPECT_FALSE(CNumberEdit::IsValidNumber(CString(u"1e3")));
}

} // namespace
