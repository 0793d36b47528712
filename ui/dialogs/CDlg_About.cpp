#include "ui/dialogs/CDlg_About.h"

#include "settings/IniPath.h"
#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"

namespace {
constexpr UINT kBackground = 10443;
constexpr UINT kStringCaption = 1014, kStringClose = 1017, kStringVersion = 1088;
} // namespace

BOOL IsIgnoredInfoInput(const MSG* msg) {
    if (msg->message == WM_RBUTTONDOWN)
        return TRUE;
    return msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

BEGIN_MESSAGE_MAP(CDlg_About, CDialog)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CDlg_About::CDlg_About(CWnd* parent) : CDialog(IDD, parent) {}

void CDlg_About::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnOK);
    DDX_Control(pDX, IDC_PRODUCT, m_stcProduct);
    DDX_Control(pDX, IDC_VERSION, m_stcVersion);
    DDX_Control(pDX, IDC_COPYRIGHT, m_stcCopyright);
}

BOOL CDlg_About::OnInitDialog() {
    CDialog::OnInitDialog();
    const ControlText texts[] = {{this, kStringCaption}, {&m_btnOK, kStringClose}};
    SetControlTexts(texts, 2);

    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini);
    WCHAR product[MAX_PATH] = {};
    ReadModelValue(u"Product Name(%s)", product);
    m_stcProduct.SetWindowText(product);

    // The copyright lines stand in the language's own section of the INI file.
    const CString section = GetLanguageName(g_LangugueID);
    WCHAR copyright[MAX_PATH] = {};
    WCHAR right[MAX_PATH] = {};
    GetPrivateProfileStringW(section, u"Copyright", u"", copyright, MAX_PATH, ini);
    GetPrivateProfileStringW(section, u"Right", u"", right, MAX_PATH, ini);
    CString lines;
    lines.Format(u"%s\r\n%s", copyright, right);
    m_stcCopyright.SetWindowText(lines);

    WCHAR version[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"Version", u"", version, MAX_PATH, ini);
    // A version ("1.0.2") is no decimal number: its dots stay in every language.
    m_stcVersion.SetWindowText(LoadResString(kStringVersion) + version);

    m_btnOK.SetSkin(10431, 10429, 10432, 10430, 0, 0, 1, 0, 0);
    LoadModuleBitmap(m_bmpBackground, kBackground);
    if (g_bHebrew) {
        MirrorChildLayout(this);
        // The product and copyright come from the INI file, often in English: such a line keeps its full stop at
        // its end.
        ReadAsItsTextReads(&m_stcProduct);
        ReadAsItsTextReads(&m_stcCopyright);
    }
    return TRUE;
}

BOOL CDlg_About::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

BOOL CDlg_About::PreTranslateMessage(MSG* pMsg) {
    if (IsIgnoredInfoInput(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}
