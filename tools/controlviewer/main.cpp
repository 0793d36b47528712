// controlviewer: the error dialog and a page with every skinned control of the data source.
//
//   controlviewer [--png <folder>] [--lang <code>|all] [--check] [--message <text>]
//
// With DISPLAY set and no --png the page opens on the X display ("Show error" opens the error dialog). Otherwise
// both are rendered headless and written as controls.png, controls_hover.png and error.png (error_rtl.png for a
// right-to-left language) into the folder (default: the current one); with --lang all, every language into a
// subfolder named by its code. --check also measures every text against its control and names each one that does
// not fit; the program then ends with 1.
#include "platform/user/afxwin.h"
#include "platform/user/testing.h"
#include "settings/Language.h"
#include "ui/controls/CSizeInfoStatic.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CStaticWithBkgBMP.h"
#include "ui/controls/CTransCheckBox.h"
#include "ui/controls/CTransparentSlider.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/controls/Trans_GroupBox.h"
#include "tools/support/ViewerSupport.h"
#include "ui/dialogs/CErrorDlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

namespace {

namespace ut = platform::user::testing;

constexpr COLORREF kPage = RGB(0xF6, 0xF8, 0xFB);
constexpr COLORREF kCard = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kHairline = RGB(0xD8, 0xDE, 0xE6);

// The error dialog's message: --message, else the longest error text of the language library (not enough disk
// space or memory), which must fit the dialog in every language.
CString g_message;
constexpr UINT kLongestError = 1105;
bool g_check = false;

class CViewerDlg : public CDialog {
public:
    CViewerDlg() : CDialog(100, nullptr) {}

    CStaticWithBkgBMP m_tabBasic, m_tabAdvanced;
    Trans_GroupBox m_groupAdjust, m_groupOptions;
    CStaticTrans m_lblBrightness, m_lblContrast, m_lblHint;
    CTransparentSlider m_brightness, m_contrast;
    CTransCheckBox m_deskew, m_duplex;
    CxSkinButton m_preview, m_disabled, m_colour, m_grey, m_held, m_round, m_error, m_close;
    CSizeInfoStatic m_sizeInfo;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, 900, m_tabBasic);
        DDX_Control(pDX, 901, m_tabAdvanced);
        DDX_Control(pDX, 902, m_groupAdjust);
        DDX_Control(pDX, 903, m_lblBrightness);
        DDX_Control(pDX, 904, m_brightness);
        DDX_Control(pDX, 905, m_lblContrast);
        DDX_Control(pDX, 906, m_contrast);
        DDX_Control(pDX, 907, m_groupOptions);
        DDX_Control(pDX, 908, m_deskew);
        DDX_Control(pDX, 909, m_duplex);
        DDX_Control(pDX, 910, m_preview);
        DDX_Control(pDX, 911, m_disabled);
        DDX_Control(pDX, 912, m_colour);
        DDX_Control(pDX, 913, m_grey);
        DDX_Control(pDX, 914, m_held);
        DDX_Control(pDX, 915, m_round);
        DDX_Control(pDX, 916, m_sizeInfo);
        DDX_Control(pDX, 917, m_lblHint);
        DDX_Control(pDX, 918, m_error);
        DDX_Control(pDX, IDCANCEL, m_close);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        CenterWindow();
        for (CxSkinButton* b : {&m_preview, &m_disabled, &m_colour, &m_grey, &m_held, &m_error, &m_close})
            b->SetSkin(10431, 10429, 10432, 10430, 0, 0, CxSkinButton::kStretch, 0, 0);
        m_round.SetSkin(200, 202, 201, 0, 0, 203, CxSkinButton::kNatural, 0, 0);
        m_round.SetToolTipText(CString(u"Zoom in"));
        m_preview.SetToolTipText(CString(u"Scan a quick preview"));
        m_held.SetPressed(TRUE);
        m_colour.SetCheck(1);
        m_tabBasic.SetBitmap(1001);
        m_tabAdvanced.SetBitmap(1002);
        m_groupOptions.SetFrameStyle(Trans_GroupBox::kCaptionOnly);
        m_deskew.SetBkColor(kPage);
        m_duplex.SetBkColor(kPage);
        m_duplex.SetCheck(BST_CHECKED);
        m_brightness.SetRange(-100, 100, TRUE);
        m_brightness.SetPos(20);
        m_contrast.SetRange(0, 10, TRUE);
        m_contrast.SetTicFreq(1);
        m_contrast.SetPos(6);
        m_lblHint.SetTipText(CString(u"Tooltips show after a short rest of the mouse."));
        m_sizeInfo.SetSizeInfo(8.27f, 11.69f, CSizeInfoStatic::kMillimetre, 0, 300, 2);
        // Right to left the strip draws itself mirrored; as in the scanning window, its window is mirrored too, so
        // its texts read the right way.
        if (g_bHebrew)
            m_sizeInfo.ModifyStyleEx(0, WS_EX_LAYOUTRTL);
        return TRUE;
    }

    // A flat page with a white card behind the adjustment group, so the sliders show what lies under them.
    BOOL OnEraseBkgnd(CDC* dc) {
        CRect client;
        GetClientRect(&client);
        dc->FillSolidRect(&client, kPage);
        CRect card;
        GetDlgItem(902)->GetWindowRect(&card);
        ScreenToClient(&card);
        card.InflateRect(4, 4);
        dc->FillSolidRect(&card, kHairline);
        card.DeflateRect(1, 1);
        dc->FillSolidRect(&card, kCard);
        return TRUE;
    }

    void OnShowError() {
        CErrorDlg dlg(this);
        dlg.m_strMessage = g_message.IsEmpty() ? LoadResString(kLongestError) : g_message;
        dlg.DoModal();
    }

    void OnOK() override {}

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CViewerDlg, CDialog)
ON_WM_ERASEBKGND()
ON_BN_CLICKED(918, OnShowError)
END_MESSAGE_MAP()

HMODULE LoadLanguage(const std::string& code) {
    return viewer::LoadLanguageLibrary("controlviewer", "kvxtwrc", code, VIEWER_MODULE_DIR);
}

bool Save(HWND hwnd, const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    return viewer::SaveWindow("controlviewer", hwnd, path, g_check, path);
}

// Renders the page (plain and with the mouse over "Preview") and the error dialog, each ended by the interceptor.
int RenderHeadless(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    bool ok = true;
    ut::SetModalInterceptor([&](HWND dlg) {
        ut::RunPendingMessages();
        if (GetDlgItem(dlg, 918)) { // the control page
            ok &= Save(dlg, folder, "controls.png");
            RECT r{};
            GetWindowRect(GetDlgItem(dlg, 910), &r);
            ut::MouseMove(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
            ok &= Save(dlg, folder, "controls_hover.png");
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(918, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, 918)));
            EndDialog(dlg, IDCANCEL);
        } else {
            ok &= Save(dlg, folder, g_bHebrew ? "error_rtl.png" : "error.png");
            EndDialog(dlg, IDOK);
        }
    });
    CViewerDlg page;
    page.DoModal();
    ut::SetModalInterceptor(nullptr);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::string pngFolder;
    std::string language = "enus";
    bool headless = std::getenv("DISPLAY") == nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--png") {
            headless = true;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                pngFolder = argv[++i];
        } else if (arg == "--lang" && i + 1 < argc) {
            language = argv[++i];
        } else if (arg == "--message" && i + 1 < argc) {
            g_message = CString(platform::ToUtf16(argv[++i]).c_str()); // the terminal's UTF-8
        } else if (arg == "--check") {
            g_check = true;
        } else {
            std::fprintf(stderr, "usage: controlviewer [--png <folder>] [--lang <code>|all] [--check] "
                                 "[--message <text>]\n");
            return 2;
        }
    }
    if (pngFolder.empty())
        pngFolder = ".";

    if (language == "all") {
        setenv("PLATFORM_HEADLESS", "1", 1);
        int result = 0;
        for (const WCHAR* code : LanguageLibraryCodes()) {
            HMODULE strings = LoadLanguage(platform::ToUtf8(code));
            AfxSetResourceHandle(strings);
            g_LangugueID = LanguageNumberOfCode(code);
            SetUiLanguage(g_LangugueID);
            g_chDecimalSep = GetLanguageInfo(g_LangugueID).decimalSep;
            g_bHebrew = IsRightToLeftCode(code);
            result |= RenderHeadless(pngFolder + "/" + platform::ToUtf8(code));
            AfxSetResourceHandle(nullptr);
            if (strings)
                FreeLibrary(strings);
        }
        return result;
    }
    if (HMODULE strings = LoadLanguage(language))
        AfxSetResourceHandle(strings);
    const int number = LanguageNumberOfCode(std::u16string(language.begin(), language.end()).c_str());
    g_LangugueID = number >= 0 ? number : kLanguageEnglish;
    SetUiLanguage(g_LangugueID);
    g_chDecimalSep = GetLanguageInfo(g_LangugueID).decimalSep;
    g_bHebrew = IsRightToLeftCode(std::u16string(language.begin(), language.end()).c_str());

    if (headless) {
        setenv("PLATFORM_HEADLESS", "1", 1); // no X windows, even with DISPLAY set
        return RenderHeadless(pngFolder);
    }
    CViewerDlg page;
    page.DoModal();
    return 0;
}
