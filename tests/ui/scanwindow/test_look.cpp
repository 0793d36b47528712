// How the scanning window and its two small dialogs look in each language: every control of the layouts placed and
// skinned, the texts from the language library, nothing cut off, the title, and Hebrew laid out right to left. Each
// test saves the pictures as PNG files in "snapshots" beside this program, to look at when the layout changes.
#include "ScanWindowTestSupport.h"

#include "tests/support/CheckBoxSides.h"
#include "ui/scanwindow/CAdvancedSetting.h"
#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"
#include "ui/scanwindow/CManualDuplexDlg.h"
#include "ui/scanwindow/CScanProgressDlg.h"

#include "twain/DeviceState.h"

#include "scanner/PaperTables.h"

#include "platform/base/wstring.h"
#include "platform/gdi/testing.h"

#include <unistd.h>

#include <algorithm>

namespace {

using namespace scanwindow_test;

struct Language {
    const WCHAR* registryName;
    const char* code;
    bool rightToLeft;
};
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.code;
}
const Language kLanguages[] = {{u"English", "enus", false}, {u"Simplified_Chinese", "zhcn", false},
                               {u"Hebrew", "he", true},     {u"Japanese", "ja", false},
                               {u"Russian", "ru", false},   {u"Portuguese", "pt", false},
                               {u"Spanish", "esmx", false}, {u"French", "fr", false},
                               {u"Polish", "pl", false},    {u"German", "de", false},
                               {u"Italian", "it", false},   {u"Arabic", "ar", true},
                               {u"Turkish", "tr", false},   {u"Norwegian", "no", false},
                               {u"Swedish", "sv", false},   {u"Traditional_Chinese", "zhtw", false}};

CRect RectIn(HWND parent, int id) {
    CRect rect;
    GetWindowRect(GetDlgItem(parent, id), &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Every text of the window fits its control, as the control lays it out: a translation too long for its place is
// shortened in the language's library.
void ExpectEveryTextFits(HWND window) {
    for (const ut::TextOverflow& overflow : ut::CheckTextFit(window).overflows)
        ADD_FAILURE() << ut::DescribeOverflow(overflow);
}

// The size strip paints its three texts (label and value each) itself, a third of the strip apart: at the widest
// values of an A3 page they stand apart, inside the strip, the last one clear of the divider.
void ExpectSizeStripTextsApart(CSizeInfoStatic& strip) {
    for (int unit : {CSizeInfoStatic::kInch, CSizeInfoStatic::kMillimetre, CSizeInfoStatic::kPixel}) {
        strip.SetSizeInfo(11.69f, 16.54f, unit, 0, 1200, 2);
        platform::gdi::ClearTextLog();
        strip.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const std::vector<platform::gdi::DrawnText> drawn = platform::gdi::TextLog();
        ASSERT_EQ(drawn.size(), 3u) << "unit " << unit;
        CRect client;
        strip.GetClientRect(&client);
        CFont font;
        font.CreateFont(14, 0, 0, 0, 100, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                        2, 6, u"Arial");
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font.GetSafeHandle());
        std::vector<std::pair<int, int>> spans; // left and right of each text, in the strip's pixels
        for (const auto& text : drawn) {
            SIZE extent{};
            GetTextExtentPoint32W(dc, text.text.c_str(), static_cast<int>(text.text.size()), &extent);
            spans.emplace_back(text.pos.x, text.pos.x + extent.cx);
            EXPECT_GE(text.pos.x, 0) << platform::ToUtf8(text.text);
            EXPECT_LE(text.pos.x + extent.cx, client.Width()) << platform::ToUtf8(text.text);
        }
        SelectObject(dc, old);
        DeleteDC(dc);
        std::sort(spans.begin(), spans.end());
        for (size_t i = 1; i < spans.size(); ++i)
            EXPECT_LE(spans[i - 1].second, spans[i].first)
                << "unit " << unit << ": texts " << i - 1 << " and " << i << " run into each other";
    }
}

// The text of a control fits in it with the dialog's font (a little room for a button's frame).
void ExpectTextFits(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const std::u16string text = TextOf(control);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT client{};
    GetClientRect(control, &client);
    EXPECT_LE(extent.cx + 6, client.right)
        << "control " << id << " cuts \"" << std::string(text.begin(), text.end()) << "\"";
}

class LookTest : public ScanWindowTestRoot, public ::testing::WithParamInterface<Language> {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        SetLanguage(GetParam().registryName);
        m_library = AcquireLanguageLibrary(); // the texts the window must show come from here
        ++m_languageHeld;
        ASSERT_NE(m_library, nullptr) << "the language library of " << GetParam().code;
    }
    std::u16string String(UINT id) {
        WCHAR text[512] = {};
        LoadStringW(m_library, id, text, 512);
        return text;
    }
    HMODULE m_library = nullptr;
};

TEST_P(LookTest, TheScanningWindow) {
    const Language& language = GetParam();
    CMainUIDialog dialog;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    dialog.ShowWindow(SW_SHOW);
    ut::RunPendingMessages();
    HWND hwnd = dialog.m_hWnd;
    ut::SaveWindowPng(hwnd, SnapshotPath(std::string("main_") + language.code).c_str());

    EXPECT_EQ(TextOf(hwnd), language.rightToLeft ? u"(KVX 7731 TWAIN (USB" : u"KVX 7731 TWAIN (USB)");
    const std::pair<int, UINT> texts[] = {{20001, 1014}, {20002, 1013}, {20003, 1158}, {20005, 1015}, {20006, 1016},
                                          {20007, 1017}, {10208, 1001}, {10342, 1018}, {10302, 1022}, {10303, 1023},
                                          {10314, 1021}, {10352, 1024}, {10353, 1047}};
    for (const auto& [id, string] : texts) {
        ASSERT_NE(GetDlgItem(hwnd, id), nullptr) << "control " << id;
        EXPECT_EQ(TextOf(GetDlgItem(hwnd, id)), String(string)) << "control " << id;
        if (id != 10342 && id != 10208)
            ExpectTextFits(hwnd, id);
    }
    for (int id : {10139, 10149, 10152, 10153, 10310, 10311, 10185, 20004, 10301})
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, id))) << "control " << id;
    for (int id : {10150, 10151, 10298, 10299, 10315})
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, id))) << "control " << id << " waits for its use";
    EXPECT_EQ(SendDlgItemMessageW(hwnd, 20004, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(dialog.m_stcSizeInfo.GetWidthText().IsEmpty(), false);
    ExpectEveryTextFits(hwnd);
    ExpectSizeStripTextsApart(dialog.m_stcSizeInfo);

    // Right to left: the settings side is on the left, the preview on the right, the tools in mirrored order.
    const CRect preview = RectIn(hwnd, 10139);
    const CRect settings = RectIn(hwnd, 10342);
    EXPECT_EQ(preview.left > settings.left, language.rightToLeft);
    EXPECT_EQ(RectIn(hwnd, 10149).left > RectIn(hwnd, 10311).left, language.rightToLeft);
    EXPECT_EQ((GetWindowLongW(GetDlgItem(hwnd, 10185), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, language.rightToLeft)
        << "the size strip draws itself right to left, in a mirrored window";
    EXPECT_EQ(RectIn(hwnd, 10303), RectIn(hwnd, 10302)) << "Save and Delete share one place";
}

TEST_P(LookTest, TheAppModeWindow) {
    const Language& language = GetParam();
    g_bAppMode = TRUE;
    CMainUIDialog dialog;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    dialog.ShowWindow(SW_SHOW);
    ut::RunPendingMessages();
    HWND hwnd = dialog.m_hWnd;
    ut::SaveWindowPng(hwnd, SnapshotPath(std::string("main_app_") + language.code).c_str());
    ExpectEveryTextFits(hwnd);
    // From the feeder the manual-duplex box shows, in the language.
    HWND basic = dialog.m_pBasicSetting->m_hWnd;
    SendDlgItemMessageW(basic, 10297, CB_SETCURSEL, 1, 0);
    SendMessageW(basic, WM_COMMAND, MAKEWPARAM(10297, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(basic, 10297)));
    ut::RunPendingMessages();
    ASSERT_TRUE(IsWindowVisible(GetDlgItem(basic, 10200)));
    EXPECT_EQ(TextOf(GetDlgItem(basic, 10200)), String(1198)) << "the manual-duplex box speaks the language";
    ExpectTextFits(basic, 10200);
    ut::SaveWindowPng(hwnd, SnapshotPath(std::string("main_app_feeder_") + language.code).c_str());
    for (int id : {20001, 20002, 20003, 20005, 20006, 20007})
        ExpectTextFits(hwnd, id);
    // The panes lie between the settings and the buttons.
    EXPECT_GT(RectIn(hwnd, 1009).top, RectIn(hwnd, 10342).bottom);
    EXPECT_GT(RectIn(hwnd, 20006).top, RectIn(hwnd, 1009).bottom);
    EXPECT_EQ(RectIn(hwnd, 10139).left > RectIn(hwnd, 10342).left, language.rightToLeft);
}

// Both settings pages in the window: their texts, every label whole, and in Hebrew the pages mirrored within the
// mirrored window (the restore button on the left, the adjustment buttons from right to left).
TEST_P(LookTest, TheSettingsPages) {
    const Language& language = GetParam();
    AddIni("HasHorizontal(" + m_model + ")=TRUE\nHasAutoRotate(" + m_model + ")=TRUE\n");
    ResetPaperListsForTesting(); // the paper names in this language
    CMainUIDialog dialog;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    dialog.ShowWindow(SW_SHOW);
    ut::RunPendingMessages();
    HWND basic = dialog.m_pBasicSetting->m_hWnd;
    HWND advanced = dialog.m_pAdvancedSetting->m_hWnd;
    const std::pair<int, UINT> basicTexts[] = {
        {10322, 1025}, {10155, 1027}, {10156, 1031}, {10158, 1037}, {10243, 1046}};
    for (const auto& [id, string] : basicTexts) {
        EXPECT_EQ(TextOf(GetDlgItem(basic, id)), String(string)) << "control " << id;
        ExpectTextFits(basic, id);
    }
    EXPECT_EQ(RectIn(basic, 10243).left < RectIn(basic, 10297).left, language.rightToLeft);
    EXPECT_EQ(RectIn(dialog.m_hWnd, 10315), [&] {
        CRect rect;
        GetWindowRect(basic, &rect);
        MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }()) << "the page lies on its frame";
    EXPECT_TRUE(testsupport::BoxOnReadingSide(GetDlgItem(basic, 21004), language.rightToLeft)) << "Horizontal Scan";
    EXPECT_EQ(TextOf(GetDlgItem(basic, 21004)), String(1197)) << "the horizontal-scan box speaks the language";
    ut::SaveWindowPng(dialog.m_hWnd, SnapshotPath(std::string("basic_") + language.code).c_str());
    ExpectEveryTextFits(dialog.m_hWnd);

    dialog.OnClickedAdvancedTab();
    ut::RunPendingMessages();
    ut::SaveWindowPng(dialog.m_hWnd, SnapshotPath(std::string("advanced_") + language.code).c_str());
    ExpectEveryTextFits(dialog.m_hWnd);
    // The active tab is underlined in the accent colour.
    const auto underlined = [&](int tab) {
        const CRect rect = RectIn(dialog.m_hWnd, tab);
        return ut::WindowPixel(dialog.m_hWnd, rect.CenterPoint().x, rect.bottom - 2) == RGB(0x2F, 0x6F, 0xD6);
    };
    EXPECT_TRUE(underlined(10353));
    EXPECT_FALSE(underlined(10352));
    const std::pair<int, UINT> advancedTexts[] = {{10347, 1048}, {10157, 1049}, {10276, 1052},
                                                  {10348, 1057}, {10346, 1062}, {10291, 1046}};
    for (const auto& [id, string] : advancedTexts) {
        EXPECT_EQ(TextOf(GetDlgItem(advanced, id)), String(string)) << "control " << id;
        if (id != 10347 && id != 10346)
            ExpectTextFits(advanced, id);
    }
    for (int list : {10027, 10268, 10264})
        EXPECT_GT(SendDlgItemMessageW(advanced, list, CB_GETCOUNT, 0, 0), 1) << "list " << list;
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(advanced, 21003)));
    EXPECT_EQ(TextOf(GetDlgItem(advanced, 21003)), String(1196)) << "the auto-deskew box speaks the language";
    ExpectTextFits(advanced, 21003);
    EXPECT_TRUE(testsupport::BoxOnReadingSide(GetDlgItem(advanced, 21003), language.rightToLeft)) << "auto deskew";
    EXPECT_EQ(RectIn(advanced, 10243).left > RectIn(advanced, 10271).left, language.rightToLeft);
}

// The saved-settings row: the modified label with Save, and a saved name with Delete.
TEST_P(LookTest, TheSavedSettingsRow) {
    const Language& language = GetParam();
    CMainUIDialog dialog;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    dialog.ShowWindow(SW_SHOW);
    ut::RunPendingMessages();
    HWND hwnd = dialog.m_hWnd;
    dialog.MarkSettingModified();
    ut::RunPendingMessages();
    EXPECT_EQ(TextOf(GetDlgItem(hwnd, 10301)), String(1020));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, 10302)));
    ut::SaveWindowPng(hwnd, SnapshotPath(std::string("settings_modified_") + language.code).c_str());
    ExpectEveryTextFits(hwnd);

    SetDlgItemTextW(hwnd, 10301, u"Photo 600 dpi");
    dialog.OnBnClickedSaveSetting();
    ut::RunPendingMessages();
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, 10303)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, 10303)));
    ut::SaveWindowPng(hwnd, SnapshotPath(std::string("settings_saved_") + language.code).c_str());
    ExpectEveryTextFits(hwnd);
}

TEST_P(LookTest, TheProgressDialogAndTheDuplexNote) {
    const Language& language = GetParam();
    CScanProgressDlg progress;
    progress.SetPageMode(TRUE, TRUE);
    m_onModal = [&](HWND dlg) {
        SendMessageW(dlg, WM_SCAN_PROGRESS, 42, 0);
        ut::RunPendingMessages();
        ut::SaveWindowPng(dlg, SnapshotPath(std::string("progress_") + language.code).c_str());
        EXPECT_EQ(TextOf(dlg), String(1091));
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 10350)), String(1107));
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 1040)), String(1156));
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 10351)), u"42 %");
        for (int id : {10350, 1040, IDCANCEL})
            ExpectTextFits(dlg, id);
        ExpectEveryTextFits(dlg);
        EXPECT_EQ(RectIn(dlg, IDCANCEL).left < RectIn(dlg, 10350).left + 20, language.rightToLeft);
        EndDialog(dlg, IDOK);
    };
    progress.DoModal();

    m_devState = kDevStateShowDuplexNote;
    m_onModal = [&](HWND dlg) {
        ut::RunPendingMessages();
        ut::SaveWindowPng(dlg, SnapshotPath(std::string("duplex_") + language.code).c_str());
        EXPECT_EQ(TextOf(GetDlgItem(dlg, 10450)), String(1157));
        ExpectEveryTextFits(dlg);
        EndDialog(dlg, IDOK);
    };
    CManualDuplexDlg::GetInstance().DoModal();
    m_devState = 0;
}

// The window lays each page over a frame wider than the page's layout: in Hebrew every control of both pages lies
// as far from the page's right edge as it lies from the left edge in English.
TEST_F(ScanWindowTestRoot, RightToLeftThePagesKeepTheirMarginsOnTheirWiderFrame) {
    const int basicIds[] = {10322, 10297, 10158, 10243};
    const int advancedIds[] = {10347, 10157, 10243};
    auto margins = [&](bool fromRight) {
        CMainUIDialog dialog;
        EXPECT_TRUE(dialog.CreateModeless(nullptr));
        ut::RunPendingMessages();
        std::vector<int> found;
        for (HWND page : {dialog.m_pBasicSetting->m_hWnd, dialog.m_pAdvancedSetting->m_hWnd}) {
            CRect client;
            GetClientRect(page, &client);
            EXPECT_EQ(RectIn(dialog.m_hWnd, 10315).Width(), client.Width()) << "the page covers its frame";
            const bool basic = page == dialog.m_pBasicSetting->m_hWnd;
            for (int id : basic ? std::vector<int>(std::begin(basicIds), std::end(basicIds))
                                : std::vector<int>(std::begin(advancedIds), std::end(advancedIds))) {
                const CRect rect = RectIn(page, id);
                found.push_back(fromRight ? client.right - rect.right : rect.left);
            }
        }
        dialog.DestroyWindow();
        return found;
    };
    const std::vector<int> english = margins(false);
    SetLanguage(u"Hebrew");
    const std::vector<int> hebrew = margins(true);
    EXPECT_EQ(hebrew, english) << "each control's distance from the page's reading edge";
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, LookTest, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.code); });

} // namespace
