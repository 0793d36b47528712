// The information dialogs: the about box's texts from the INI file, the image information pane's sizes and names
// in each unit and language, and the settings details with the rows of each colour mode, without gaps.
#include "DialogTest.h"
#include "FakePaneHost.h"

#include "scanner/PaperTables.h"
#include "settings/PlatformFlags.h"
#include "ui/dialogs/CDlg_About.h"
#include "ui/dialogs/CDlg_ImgINFO.h"
#include "ui/dialogs/CDlg_SettingInfo.h"
#include "ui/dialogs/ScanParamNames.h"

namespace {

using namespace dialogs_test;

std::string Narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

CRect RectIn(HWND parent, int id) {
    CRect rect;
    GetWindowRect(GetDlgItem(parent, id), &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Dark pixels (text) in a rectangle of a window's client area.
int InkIn(HWND hwnd, const CRect& rect) {
    int ink = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF c = ut::WindowPixel(hwnd, x, y);
            ink += GetRValue(c) + GetGValue(c) + GetBValue(c) < 300 ? 1 : 0;
        }
    return ink;
}

class InfoDialogsTest : public DialogTest {
protected:
    void TearDown() override {
        if (pane.m_hWnd)
            pane.DestroyWindow();
        g_bIsPlatformWren = FALSE;
        g_bIsPlatformWren_RGB = FALSE;
        DialogTest::TearDown();
    }
    std::u16string Str(UINT id) { return std::u16string(LoadResString(id)); }
    // The INI key of the model's product name (the model is the folder of the running program).
    static std::string ProductKey() {
        WCHAR ini[MAX_PATH], key[MAX_PATH];
        GetIniPath(ini);
        FormatModelKey(u"Product Name(%s)", key);
        return Narrow(key);
    }
    // The pane as the app-mode window shows it: over its placeholder of 267 x 98 dialog units.
    void OpenPane() {
        ASSERT_TRUE(pane.Create(CDlg_ImgINFO::IDD, &host.window));
        pane.MoveWindow(10, 10, 400, 159);
        pane.ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
    }
    // Runs the details and hands `inside` the dialog.
    void RunDetails(const std::function<void(HWND)>& inside) {
        CDlg_SettingInfo details(&host);
        RunModal(details, inside);
    }
    // The value controls shown, from the top down, with their texts.
    std::vector<std::pair<int, std::u16string>> ShownValues(HWND dlg) {
        std::vector<std::pair<int, int>> byTop;
        for (const auto& row : CDlg_SettingInfo::kRows)
            if (IsWindowVisible(GetDlgItem(dlg, row.value)))
                byTop.emplace_back(RectIn(dlg, row.value).top, row.value);
        std::sort(byTop.begin(), byTop.end());
        std::vector<std::pair<int, std::u16string>> shown;
        for (const auto& [top, id] : byTop)
            shown.emplace_back(id, ItemText(dlg, id));
        return shown;
    }
    std::vector<int> RowTops(HWND dlg) {
        // The template's tops of the rows, from the layout as built (rows keep their template places here).
        std::vector<int> tops;
        for (const auto& row : CDlg_SettingInfo::kRows)
            tops.push_back(RectIn(dlg, row.label).top);
        return tops;
    }

    FakePaneHost host;
    CDlg_ImgINFO pane{&host, &host.window};
};

TEST_F(InfoDialogsTest, TheAboutBoxShowsProductVersionAndTheLanguagesCopyright) {
    const std::string key = ProductKey();
    WriteIni("[TWAIN]\n" + key +
             "=KVX 7731\nVersion=1.2.3.4\n"
             "[English]\nCopyright=Copyright (C) 2024 Korvel\nRight=All rights reserved.\n"
             "[French]\nCopyright=Copyright (C) 2024 Korvel\nRight=Tous droits r\xC3\xA9serv\xC3\xA9s.\n");
    CDlg_About about;
    EXPECT_EQ(RunModal(about,
                       [&](HWND dlg) {
                           EXPECT_EQ(TextOf(dlg), Str(1014));
                           EXPECT_EQ(ItemText(dlg, IDOK), Str(1017));
                           EXPECT_EQ(ItemText(dlg, CDlg_About::IDC_PRODUCT), u"KVX 7731");
                           EXPECT_EQ(ItemText(dlg, CDlg_About::IDC_VERSION), Str(1088) + u"1.2.3.4");
                           EXPECT_EQ(ItemText(dlg, CDlg_About::IDC_COPYRIGHT),
                                     u"Copyright (C) 2024 Korvel\r\nAll rights reserved.");
                           ut::PressKey(VK_RETURN);
                           ut::PressKey(VK_ESCAPE);
                           RECT r{};
                           GetWindowRect(dlg, &r);
                           ut::MouseDown(POINT{r.left + 20, r.bottom - 10}, WM_RBUTTONDOWN);
                           ut::RunPendingMessages();
                           EXPECT_TRUE(IsWindowVisible(dlg)) << "only the button ends it";
                           ClickItem(dlg, IDOK);
                       }),
              IDOK);

    // A version is no decimal number: on a comma language it keeps its dots. The copyright comes from the
    // language's own section.
    g_LangugueID = 6;
    g_chDecimalSep = u',';
    CDlg_About french;
    RunModal(french, [&](HWND dlg) {
        EXPECT_EQ(ItemText(dlg, CDlg_About::IDC_VERSION), Str(1088) + u"1.2.3.4");
        EXPECT_EQ(ItemText(dlg, CDlg_About::IDC_COPYRIGHT),
                  u"Copyright (C) 2024 Korvel\r\nTous droits r\u00E9serv\u00E9s.");
    });

    WriteIni("");
    g_LangugueID = 1;
    CDlg_About empty;
    RunModal(empty, [&](HWND dlg) {
        EXPECT_EQ(ItemText(dlg, CDlg_About::IDC_PRODUCT), u"") << "missing values read as empty";
        EXPECT_EQ(ItemText(dlg, CDlg_About::IDC_VERSION), Str(1088));
    });
}

TEST_F(InfoDialogsTest, DataSizesAreCountedInBytesUpToOneKilobyteAndNamedPerLanguage) {
    EXPECT_EQ(std::u16string(FormatDataSize(1024)), u"1024 B");
    EXPECT_EQ(std::u16string(FormatDataSize(1025)), u"1.00 KB");
    EXPECT_EQ(std::u16string(FormatDataSize(1048577)), u"1.00 MB");
    EXPECT_EQ(std::u16string(FormatDataSize(1073741825.0)), u"1.00 GB");
    EXPECT_EQ(std::u16string(FormatDataSize(0)), u"0 B");
    g_chDecimalSep = u',';
    g_LangugueID = 8; // German
    EXPECT_EQ(std::u16string(FormatDataSize(1025)), u"1,00 KB");
    g_LangugueID = 6; // French
    EXPECT_EQ(std::u16string(FormatDataSize(1025)), u"1,00 Ko");
    EXPECT_EQ(std::u16string(FormatDataSize(100)), u"100 o");
    g_LangugueID = 3; // Russian
    EXPECT_EQ(std::u16string(FormatDataSize(1048577)), u"1,00 M\u0411");
}

TEST_F(InfoDialogsTest, ThePaneSizesTheAreaInTheWindowsUnitAndCountsItsBytes) {
    host.area = InchRect{0.0f, 0.0f, 1.0f, 2.0f}; // one inch wide, two high
    host.param.resolution = 2;                    // 300 dpi
    OpenPane();
    host.unitIndex = 0;
    EXPECT_EQ(std::u16string(pane.ImageSizeText()), u"1.00 inch \u00D7 2.00 inch");
    host.unitIndex = 1;
    EXPECT_EQ(std::u16string(pane.ImageSizeText()), u"25.40 mm \u00D7 50.80 mm");
    host.unitIndex = 2;
    EXPECT_EQ(std::u16string(pane.ImageSizeText()), u"300 px \u00D7 600 px");
    g_LangugueID = 3;
    EXPECT_EQ(std::u16string(pane.ImageSizeText()), u"300 \u00D7 600 " + Str(1144));
    g_LangugueID = 1;
    g_chDecimalSep = u',';
    host.unitIndex = 0;
    EXPECT_EQ(std::u16string(pane.ImageSizeText()), u"1,00 inch \u00D7 2,00 inch");
    g_chDecimalSep = u'.';

    host.param.colorMode = 2;
    EXPECT_EQ(std::u16string(pane.DataSizeText()), u"527.34 KB") << "300 x 3 x 600 bytes";
    host.param.colorMode = 1;
    EXPECT_EQ(std::u16string(pane.DataSizeText()), u"175.78 KB");
    host.param.colorMode = 0;
    EXPECT_EQ(std::u16string(pane.DataSizeText()), u"22.27 KB") << "38 bytes a row of 300 pixels";
}

TEST_F(InfoDialogsTest, ThePanePaintsEveryValueAndOutOfRangeSettingsNameNothing) {
    host.param.source = 1;
    host.param.paperSize = 0;
    OpenPane();
    for (int id : {1012, 1013, 1014, 1015, 1016, 1018})
        EXPECT_EQ(ItemText(pane.m_hWnd, id).back(), u':') << "label " << id;
    EXPECT_EQ(ItemText(pane.m_hWnd, 1012), Str(1025) + u":");
    for (int id : {1019, 1020, 1021, 1022, 1023, 1025}) {
        EXPECT_EQ(ItemText(pane.m_hWnd, id), u"") << "values are painted, not set";
        EXPECT_GT(InkIn(pane.m_hWnd, RectIn(pane.m_hWnd, id)), 5) << "value " << id << " is drawn";
    }

    EXPECT_EQ(std::u16string(SourceName(7)), u"");
    EXPECT_EQ(std::u16string(ColorModeName(-1)), u"");
    EXPECT_EQ(std::u16string(ResolutionName(5)), u"");
    EXPECT_EQ(std::u16string(CurveName(5)), u"");
    EXPECT_EQ(std::u16string(RotationName(4)), u"");
    host.param.source = 9;
    host.param.colorMode = 9;
    host.param.resolution = -3;
    host.param.paperSize = 1000;
    pane.RefreshInfo();
    ut::RunPendingMessages();
    EXPECT_EQ(InkIn(pane.m_hWnd, RectIn(pane.m_hWnd, CDlg_ImgINFO::IDC_SOURCE)), 0);
    EXPECT_EQ(InkIn(pane.m_hWnd, RectIn(pane.m_hWnd, CDlg_ImgINFO::IDC_PAPER)), 0);

    g_bIsPlatformWren = TRUE;
    EXPECT_EQ(std::u16string(ResolutionName(3)), Str(1148)) << "400 dpi on PlatformWren without RGB";
    g_bIsPlatformWren_RGB = TRUE;
    EXPECT_EQ(std::u16string(ResolutionName(3)), Str(1035));
}

namespace {

// The keys that reach the pane's own window procedure, i.e. were not swallowed before dispatch.
std::vector<std::pair<UINT, WPARAM>> g_paneKeys;
WNDPROC g_paneProc = nullptr;

LRESULT CALLBACK KeyRecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN || msg == WM_SYSCHAR || msg == WM_CHAR)
        g_paneKeys.emplace_back(msg, wParam);
    return CallWindowProcW(g_paneProc, hwnd, msg, wParam, lParam);
}

// Alt held while `key` goes down and up on the window with the focus.
void AltKey(WPARAM key) {
    ut::SetKeyState(VK_MENU, true);
    ut::SetKeyState(static_cast<int>(key), true);
    ut::KeyDown(key);
    ut::RunPendingMessages();
    ut::SetKeyState(static_cast<int>(key), false);
    ut::SetKeyState(VK_MENU, false);
}

bool Reached(UINT msg, WPARAM key) {
    return std::find(g_paneKeys.begin(), g_paneKeys.end(), std::make_pair(msg, key)) != g_paneKeys.end();
}

} // namespace

TEST_F(InfoDialogsTest, ThePanesAltKeysPressTheWindowsButtonsAndAreSwallowed) {
    OpenPane();
    g_paneKeys.clear();
    g_paneProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(pane.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&KeyRecordingProc)));
    SetFocus(pane.m_hWnd);

    AltKey(static_cast<WPARAM>(g_chScanKey));
    EXPECT_EQ(host.scans, 1);
    EXPECT_EQ(host.previews, 0);
    EXPECT_FALSE(Reached(WM_SYSKEYDOWN, static_cast<WPARAM>(g_chScanKey))) << "the scan key is swallowed";

    AltKey(static_cast<WPARAM>(g_chPreviewKey));
    EXPECT_EQ(host.previews, 1);
    EXPECT_EQ(host.scans, 1);
    EXPECT_FALSE(Reached(WM_SYSKEYDOWN, static_cast<WPARAM>(g_chPreviewKey))) << "the preview key is swallowed";

    for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
        ut::PressKey(key);
        ut::RunPendingMessages();
        EXPECT_FALSE(Reached(WM_KEYDOWN, key)) << "Enter and Escape are swallowed: " << key;
    }
    EXPECT_TRUE(IsWindow(pane.m_hWnd)) << "neither closed the pane";

    // Another Alt key goes on to the pane: the recording sees what is not swallowed.
    AltKey('Q');
    EXPECT_TRUE(Reached(WM_SYSKEYDOWN, 'Q'));
    EXPECT_EQ(host.scans, 1);
    EXPECT_EQ(host.previews, 1);
    SetWindowLongPtrW(pane.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_paneProc));
}

TEST_F(InfoDialogsTest, ColourDetailsShowEveryAdjustmentWithTheToneCurveInTheThresholdsPlace) {
    host.param.colorMode = 2;
    int* adv = host.param.adv;
    adv[0] = 10, adv[1] = 20, adv[2] = 30, adv[3] = 40;
    adv[4] = -5, adv[5] = 0, adv[6] = 5, adv[7] = 100;
    adv[8] = 0, adv[9] = 1, adv[10] = 2, adv[11] = 4;
    adv[12] = 22, adv[14] = 1, adv[15] = 2, adv[16] = 3;
    RunDetails([&](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), Str(1021));
        EXPECT_EQ(ItemText(dlg, 10333), u"RGB:10  R:20  G:30   B:40");
        EXPECT_EQ(ItemText(dlg, 10334), u"RGB:-5  R:0  G:5   B:100");
        EXPECT_EQ(ItemText(dlg, 10335), u"2.2");
        EXPECT_EQ(ItemText(dlg, 10337),
                  u"RGB:" + Str(1082) + u" \nR:" + Str(1083) + u" \nG:" + Str(1084) + u" \nB:" + Str(1086));
        EXPECT_EQ(ItemText(dlg, 10331), Str(1050));
        EXPECT_EQ(ItemText(dlg, 10332), Str(1055));
        EXPECT_EQ(ItemText(dlg, 10330), Str(1061));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 10336)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 10200)));
        EXPECT_EQ(RectIn(dlg, 10337).TopLeft(), RectIn(dlg, 10336).TopLeft()) << "the curve takes its place";
        EXPECT_EQ(ShownValues(dlg).size(), 11u);
        ClickItem(dlg, IDOK);
    });
    g_chDecimalSep = u',';
    adv[12] = 18;
    RunDetails([&](HWND dlg) { EXPECT_EQ(ItemText(dlg, 10335), u"1,8"); });
}

TEST_F(InfoDialogsTest, GreyAndBlackAndWhiteDetailsCloseTheirGaps) {
    // The tops of the template's rows, from a colour run where only the last row moves.
    std::vector<int> tops;
    RunDetails([&](HWND dlg) { tops = RowTops(dlg); });
    ASSERT_EQ(tops.size(), 12u);

    host.param.colorMode = 1;
    host.param.adv[0] = 7;
    host.param.adv[4] = -3;
    host.param.adv[8] = 4;
    RunDetails([&](HWND dlg) {
        const auto shown = ShownValues(dlg);
        const std::vector<int> order = {10326, 10327, 10328, 10329, 10331, 10330, 10333, 10334, 10335, 10337};
        ASSERT_EQ(shown.size(), order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            EXPECT_EQ(shown[i].first, order[i]) << "row " << i;
            EXPECT_EQ(RectIn(dlg, order[i]).top, tops[i]) << "no gap at row " << i;
        }
        EXPECT_EQ(ItemText(dlg, 10333), u"RGB:7 ");
        EXPECT_EQ(ItemText(dlg, 10334), u"RGB:-3 ");
        EXPECT_EQ(ItemText(dlg, 10337), u"RGB:" + Str(1086) + u" ");
    });

    host.param.colorMode = 0;
    host.param.adv[13] = 128;
    host.param.adv[12] = 10;
    RunDetails([&](HWND dlg) {
        const auto shown = ShownValues(dlg);
        const std::vector<int> order = {10326, 10327, 10328, 10329, 10330, 10335, 10336};
        ASSERT_EQ(shown.size(), order.size()) << "source, colour, resolution, area, rotation, gamma, threshold";
        for (size_t i = 0; i < order.size(); ++i) {
            EXPECT_EQ(shown[i].first, order[i]) << "row " << i;
            EXPECT_EQ(RectIn(dlg, order[i]).top, tops[i]) << "no gap at row " << i;
        }
        EXPECT_EQ(ItemText(dlg, 10336), u"128");
        EXPECT_EQ(ItemText(dlg, 10335), u"1.0");
        EXPECT_EQ(ItemText(dlg, 10327), Str(1030));
    });

    g_bIsPlatformWren = TRUE;
    host.param.resolution = 3;
    RunDetails([&](HWND dlg) { EXPECT_EQ(ItemText(dlg, 10328), Str(1148)); });
}

TEST_F(InfoDialogsTest, RightToLeftThePaneDrawsEachValueAgainstItsLabel) {
    UseLanguage(kHebrew);
    host.area = InchRect{0.0f, 0.0f, 8.5f, 11.0f}; // a letter page in millimetres: wider than the size's place
    host.unitIndex = 1;
    OpenPane();
    const int ids[] = {CDlg_ImgINFO::IDC_SOURCE, CDlg_ImgINFO::IDC_RESOLUTION, CDlg_ImgINFO::IDC_COLOR_MODE,
                       CDlg_ImgINFO::IDC_PAPER,  CDlg_ImgINFO::IDC_IMAGE_SIZE, CDlg_ImgINFO::IDC_DATA_SIZE};
    for (int id : ids) {
        const CRect place = RectIn(pane.m_hWnd, id);
        CRect nearLabel = place;
        nearLabel.left = place.right - 12;
        EXPECT_GT(InkIn(pane.m_hWnd, nearLabel), 0) << "value " << id << " ends beside its label";
        const CRect gap(place.right + 1, place.top, place.right + 4, place.bottom);
        EXPECT_EQ(InkIn(pane.m_hWnd, gap), 0) << "value " << id << " stays in its place";
    }
    // Placed wider than its template, the pane keeps its labels at its right edge, as left to right at its left.
    CRect client;
    pane.GetClientRect(&client);
    const CRect label = RectIn(pane.m_hWnd, 1012);
    UseLanguage(kEnglish);
    pane.DestroyWindow();
    OpenPane();
    EXPECT_EQ(client.right - label.right, RectIn(pane.m_hWnd, 1012).left) << "mirrored about the pane's own width";
}

TEST_F(InfoDialogsTest, RightToLeftDetailsWithWordsReadRightToLeftAndNumbersLeftToRight) {
    UseLanguage(kHebrew);
    host.param.colorMode = 2;
    RunDetails([&](HWND dlg) {
        auto rightToLeft = [&](int id) {
            return (GetWindowLongW(GetDlgItem(dlg, id), GWL_EXSTYLE) & WS_EX_RTLREADING) != 0;
        };
        EXPECT_TRUE(rightToLeft(10337)) << "\"RGB:\" and a curve's name: the label is read first, at the right";
        EXPECT_TRUE(rightToLeft(10326)) << "the source's name";
        EXPECT_FALSE(rightToLeft(10333)) << "\"RGB:0  R:0 ...\" keeps its order";
        EXPECT_FALSE(rightToLeft(10328)) << "\"300 dpi\" keeps its order";
        ClickItem(dlg, IDOK);
    });
}

TEST_F(InfoDialogsTest, RightToLeftTheAboutBoxReadsEnglishCopyrightLeftToRightAndHebrewRightToLeft) {
    const std::string key = ProductKey();
    WriteIni("[TWAIN]\n" + key +
             "=KVX 7731\nVersion=1.0.2\n"
             "[Arabic]\nCopyright=Copyright (C) 2024 Korvel\nRight=All rights reserved.\n"
             "[Hebrew]\nCopyright=Copyright (C) 2024 Korvel\nRight=\xD7\x9B\xD7\x9C \xD7\x94\xD7\x96\xD7\x9B\xD7\x95"
             "\xD7\x99\xD7\x95\xD7\xAA \xD7\xA9\xD7\x9E\xD7\x95\xD7\xA8\xD7\x95\xD7\xAA.\n");
    for (const Language& language : {Language{"ar", 10}, kHebrew}) {
        UseLanguage(language);
        CDlg_About about;
        RunModal(about, [&](HWND dlg) {
            auto rightToLeft = [&](int id) {
                return (GetWindowLongW(GetDlgItem(dlg, id), GWL_EXSTYLE) & WS_EX_RTLREADING) != 0;
            };
            EXPECT_EQ(ItemText(dlg, CDlg_About::IDC_COPYRIGHT).rfind(u"Copyright (C) 2024 Korvel\r\n", 0), 0u)
                << language.code << ": the copyright of the language's section";
            EXPECT_FALSE(rightToLeft(CDlg_About::IDC_PRODUCT)) << language.code << ": \"KVX 7731\" keeps its order";
            EXPECT_EQ(rightToLeft(CDlg_About::IDC_COPYRIGHT), language.number == 21)
                << language.code << ": an English copyright ends with its full stop, a Hebrew one reads right to left";
            EXPECT_TRUE(rightToLeft(CDlg_About::IDC_VERSION)) << language.code << ": the version label reads first";
            ClickItem(dlg, IDOK);
        });
    }
}

TEST_F(InfoDialogsTest, SnapshotsInEachLanguage) {
    const std::string key = ProductKey();
    WriteIni("[TWAIN]\n" + key +
             "=KVX 7731\nVersion=1.0.2\n"
             "[English]\nCopyright=Copyright (C) 2024 Korvel\nRight=All rights reserved.\n"
             "[Simplified_Chinese]\nCopyright=Copyright (C) 2024 Korvel\nRight=\xE7\x89\x88\xE6\x9D\x83\xE6\x89\x80"
             "\xE6\x9C\x89\n"
             "[Hebrew]\nCopyright=Copyright (C) 2024 Korvel\nRight=\xD7\x9B\xD7\x9C \xD7\x94\xD7\x96\xD7\x9B\xD7\x95"
             "\xD7\x99\xD7\x95\xD7\xAA \xD7\xA9\xD7\x9E\xD7\x95\xD7\xA8\xD7\x95\xD7\xAA.\n");
    host.param.adv[12] = 10;
    for (const Language& language : kLanguages) {
        UseLanguage(language);
        CDlg_About about;
        RunModal(about, [&](HWND dlg) { Snapshot(dlg, "about"); });
        if (pane.m_hWnd)
            pane.DestroyWindow();
        OpenPane();
        Snapshot(pane.m_hWnd, "image_info");
        host.param.colorMode = 2;
        RunDetails([&](HWND dlg) { Snapshot(dlg, "setting_info_colour"); });
        host.param.colorMode = 0;
        RunDetails([&](HWND dlg) { Snapshot(dlg, "setting_info_bw"); });
    }
}

} // namespace
