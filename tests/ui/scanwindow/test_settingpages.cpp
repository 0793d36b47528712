// The basic and advanced settings pages of the scanning window: what each list offers and which control may be
// used per model family, platform flag, host mode and source; the values reaching the window's ScanParam, the
// preview and the settings file; restore; the adjustment dialogs opening from the advanced page.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CAdvancedSetting.h"
#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CMainUIDialog.h"

#include "ui/dialogs/CDlg_ImgSaveSets.h"

#include "twain/ScanState.h"

#include "scanner/PaperTables.h"
#include "settings/PlatformFlags.h"

#include <cstring>

namespace {

using namespace scanwindow_test;

const std::u16string kModified = u"Custom Settings";

class SettingPagesTest : public ScanWindowTestRoot {
protected:
    void SetUp() override {
        ScanWindowTestRoot::SetUp();
        ResetPaperListsForTesting();
        platform::testing::SetCountryCode(44); // an A4 country
    }
    void TearDown() override {
        m_dialog.reset();
        for (std::atomic<BOOL>* flag : {&g_bIsPlatformWren, &g_bIsPlatformWren_RGB, &g_bIsPlatformIbis, &g_bIsBriselA3,
                                        &g_bHasA3, &g_bHasAutoCrop, &g_bHasHorizontal, &g_bAutoDeskew})
            *flag = FALSE;
        g_nResolutionDpi[3] = 600;
        SetManualDuplexFlag(0);
        ResetPaperListsForTesting();
        platform::testing::SetCountryCode(std::nullopt);
        ScanWindowTestRoot::TearDown();
    }

    // A model key of the INI file, "<key>(<model>)=<value>".
    void ModelKey(const std::string& key, const std::string& value) {
        AddIni(key + "(" + m_model + ")=" + value + "\n");
    }
    CMainUIDialog& Create() {
        m_dialog = std::make_unique<CMainUIDialog>();
        EXPECT_TRUE(m_dialog->CreateModeless(nullptr));
        m_dialog->ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        return *m_dialog;
    }
    CBasicSetting& Basic() { return *m_dialog->m_pBasicSetting; }
    CAdvancedSetting& Advanced() { return *m_dialog->m_pAdvancedSetting; }
    ScanParam& Param() { return m_dialog->m_ScanParam; }
    HWND Item(CWnd& page, int id) const { return GetDlgItem(page.m_hWnd, id); }

    // The user picks item `index` of a page's list (-1: the list loses its selection).
    void Choose(CWnd& page, int id, int index) {
        SendMessageW(Item(page, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(page, id)));
        ut::RunPendingMessages();
    }
    void Click(CWnd& page, int id) {
        ut::AdvanceClock(1000); // never a double click, which skinned buttons ignore
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(page, id)));
        ut::RunPendingMessages();
    }
    void Check(CWnd& page, int id, bool on) {
        SendMessageW(Item(page, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        Click(page, id);
    }
    std::vector<std::u16string> Items(CWnd& page, int id) const {
        std::vector<std::u16string> items;
        const int count = static_cast<int>(SendMessageW(Item(page, id), CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            WCHAR text[256] = {};
            SendMessageW(Item(page, id), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            items.emplace_back(text);
        }
        return items;
    }
    int Selection(CWnd& page, int id) const {
        return static_cast<int>(SendMessageW(Item(page, id), CB_GETCURSEL, 0, 0));
    }
    bool Enabled(CWnd& page, int id) const { return IsWindowEnabled(Item(page, id)) != FALSE; }
    bool Visible(CWnd& page, int id) const { return IsWindowVisible(Item(page, id)) != FALSE; }
    bool Modified() const { return TextOf(GetDlgItem(m_dialog->m_hWnd, 10301)) == kModified; }
    // Starts again from an unmodified settings name, as after loading one.
    void ForgetModified() { SetWindowTextW(GetDlgItem(m_dialog->m_hWnd, 10301), u"Default"); }

    // The raw preview turned black behind the display's back: a step that renders again shows black.
    void BlackenRawPreview() {
        CImage& raw = m_dialog->m_imgPreview;
        std::memset(raw.GetBits(), 0, static_cast<size_t>(raw.GetWidth()) * 3 * raw.GetHeight());
    }
    bool DisplayIsBlack() {
        CImage& display = m_dialog->m_imgDisplay;
        const BYTE* centre =
            display.GetBits() +
            (static_cast<size_t>(display.GetHeight() / 2) * display.GetWidth() + display.GetWidth() / 2) * 3;
        return centre[0] == 0 && centre[1] == 0 && centre[2] == 0;
    }

    std::unique_ptr<CMainUIDialog> m_dialog;
};

constexpr int kSource = 10297, kColour = 10265, kPaper = 10146, kResolution = 10266;
constexpr int kManualDuplex = 10200, kBasicRestore = 10243, kHorizontal = 21004;
constexpr int kDescreen = 10027, kFading = 10268, kRotation = 10264, kAutoDeskew = 21003, kAdvancedRestore = 10291;
constexpr int kBrightContrast = 10243, kGamma = 10269, kHistogram = 10270, kCurve = 10271;

const std::vector<std::u16string> kAllDpi = {u"75 dpi", u"150 dpi", u"300 dpi", u"600 dpi", u"1200 dpi"};

std::vector<std::u16string> FirstDpi(size_t count) {
    return {kAllDpi.begin(), kAllDpi.begin() + static_cast<std::ptrdiff_t>(count)};
}

TEST_F(SettingPagesTest, TheModelsKeysDecideTheSources) {
    struct Case {
        const char* hasAdf;
        const char* autoDuplex;
        std::vector<std::u16string> sources;
    };
    const Case cases[] = {
        {nullptr, nullptr, {u"Flatbed", u"Document Feeder"}},
        {"FALSE", nullptr, {u"Flatbed"}},
        {nullptr, "TRUE", {u"Flatbed", u"Document Feeder", u"Document Feeder (Duplex)"}},
        {"FALSE", "TRUE", {u"Flatbed", u"Document Feeder", u"Document Feeder (Duplex)"}}, // auto duplex wins
        {"false", "true", {u"Flatbed", u"Document Feeder"}},                              // only the exact words count
    };
    const std::string plain = m_iniText;
    for (const Case& c : cases) {
        m_iniText = plain;
        if (c.hasAdf)
            ModelKey("HasADF", c.hasAdf);
        if (c.autoDuplex)
            ModelKey("IsAutoduplex", c.autoDuplex);
        WriteIni();
        Create();
        EXPECT_EQ(Items(Basic(), kSource), c.sources)
            << (c.hasAdf ? c.hasAdf : "-") << " " << (c.autoDuplex ? c.autoDuplex : "-");
        EXPECT_EQ(Items(Basic(), kColour), (std::vector<std::u16string>{u"Color", u"Grayscale", u"Black and White"}));
        m_dialog.reset();
    }
}

TEST_F(SettingPagesTest, TheResolutionsFollowSourceColourAndPlatform) {
    struct Case {
        const char* platform; // the INI key set to TRUE, if any
        const char* second;
        int source;
        int colour;
        std::vector<std::u16string> offered;
    };
    const std::vector<std::u16string> upTo600 = FirstDpi(4);
    const std::vector<std::u16string> upTo400 = {u"75 dpi", u"150 dpi", u"300 dpi", u"400 dpi"};
    const Case cases[] = {
        {nullptr, nullptr, 0, 2, FirstDpi(5)},
        {nullptr, nullptr, 0, 0, FirstDpi(5)},
        {nullptr, nullptr, 1, 2, FirstDpi(4)},
        {nullptr, nullptr, 2, 1, FirstDpi(3)},
        {"IsPlatformIbis", nullptr, 0, 2, FirstDpi(4)},
        {"IsPlatformIbis", nullptr, 0, 1, FirstDpi(5)},
        {"IsPlatformIbis", nullptr, 1, 2, FirstDpi(4)},
        {"IsPlatformIbis", nullptr, 1, 1, FirstDpi(5)},
        {"IsPlatformIbis", nullptr, 2, 2, FirstDpi(3)},
        {"IsPlatformIbis", nullptr, 2, 0, FirstDpi(4)},
        {"IsPlatformWren", "IsPlatformWren_RGB", 0, 2, upTo600},
        {"IsPlatformWren", "IsPlatformWren_RGB", 2, 2, upTo600},
        {"IsPlatformWren", nullptr, 0, 2, upTo400},
        {"IsBriselA3", nullptr, 0, 2, upTo600},
        {"IsBriselA3", nullptr, 2, 1, upTo600},
    };
    const std::string plain = m_iniText;
    for (const Case& c : cases) {
        m_iniText = plain;
        ModelKey("IsAutoduplex", "TRUE");
        if (c.platform)
            ModelKey(c.platform, "TRUE");
        if (c.second)
            ModelKey(c.second, "TRUE");
        WriteIni();
        Create();
        Param().source = c.source;
        Param().colorMode = c.colour;
        Basic().UpdateControlsFromParam();
        EXPECT_EQ(Items(Basic(), kResolution), c.offered)
            << (c.platform ? c.platform : "plain") << (c.second ? "+RGB" : "") << " source " << c.source << " colour "
            << c.colour;
        m_dialog.reset();
        for (std::atomic<BOOL>* flag : {&g_bIsPlatformWren, &g_bIsPlatformWren_RGB, &g_bIsPlatformIbis, &g_bIsBriselA3})
            *flag = FALSE;
    }
}

TEST_F(SettingPagesTest, AChangedSourceClampsTheResolutionAndTakesItsPaperList) {
    ModelKey("IsAutoduplex", "TRUE");
    Create();
    Choose(Basic(), kResolution, 4);
    ASSERT_EQ(Param().resolution, 4);
    EXPECT_TRUE(Modified());
    EXPECT_EQ(m_dialog->GetResolutionDpi(), 1200);

    Choose(Basic(), kSource, 2);
    EXPECT_EQ(Param().source, 2);
    EXPECT_EQ(Param().resolution, 2) << "feeder duplex offers up to 300 dpi";
    EXPECT_EQ(Selection(Basic(), kResolution), 2);
    EXPECT_EQ(Items(Basic(), kPaper), (std::vector<std::u16string>{u"A4", u"A5", u"A6", u"B5 (JIS)", u"Letter",
                                                                   u"Legal", u"Folio (8.5 x 13 in)"}));
    EXPECT_EQ(Param().paperSize, 0) << "A4 in an A4 country";
    EXPECT_EQ(Selection(Basic(), kPaper), 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(m_dialog->m_hWnd, 20005))) << "no preview from the feeder";

    Choose(Basic(), kSource, 0);
    Choose(Basic(), kResolution, 4);
    platform::testing::SetCountryCode(1);
    Choose(Basic(), kSource, 1);
    EXPECT_EQ(Param().resolution, 3) << "the feeder offers up to 600 dpi";
    EXPECT_EQ(Param().paperSize, 4) << "Letter where Letter is the custom";

    Choose(Basic(), kSource, 0);
    EXPECT_EQ(Param().paperSize, 5) << "the flatbed's default paper";
    EXPECT_EQ(Items(Basic(), kPaper),
              (std::vector<std::u16string>{u"A4", u"A5", u"A6", u"B5 (JIS)", u"Letter", u"Auto", u"Custom"}));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(m_dialog->m_hWnd, 20005)));
}

TEST_F(SettingPagesTest, OnIbisTheColourModeRebuildsTheResolutionsAndKeepsThePaper) {
    ModelKey("IsPlatformIbis", "TRUE");
    Create();
    EXPECT_EQ(Param().source, 1) << "an Ibis model starts from the feeder";
    Choose(Basic(), kPaper, 3);
    Choose(Basic(), kColour, 1); // grey: the feeder offers 1200 dpi
    EXPECT_EQ(Items(Basic(), kResolution), FirstDpi(5));
    Choose(Basic(), kResolution, 4);
    Choose(Basic(), kColour, 2); // black and white
    EXPECT_EQ(Param().resolution, 4);
    Choose(Basic(), kColour, 2); // the same mode again still rebuilds
    EXPECT_EQ(Items(Basic(), kResolution), FirstDpi(5));
    Choose(Basic(), kColour, 0); // colour
    EXPECT_EQ(Param().colorMode, 2);
    EXPECT_EQ(Items(Basic(), kResolution), FirstDpi(4));
    EXPECT_EQ(Param().resolution, 3) << "colour from the feeder stops at 600 dpi";
    EXPECT_EQ(Param().paperSize, 3);
    EXPECT_EQ(Selection(Basic(), kPaper), 3);
}

TEST_F(SettingPagesTest, AWrenModelWithoutRgbShowsAndScans400Dpi) {
    ModelKey("IsPlatformWren", "TRUE");
    Create();
    Choose(Basic(), kResolution, 3);
    EXPECT_EQ(Items(Basic(), kResolution).back(), u"400 dpi");
    EXPECT_EQ(g_nResolutionDpi[3], 400);
    EXPECT_EQ(m_dialog->GetResolutionDpi(), 400);
    EXPECT_EQ(std::u16string(m_dialog->m_stcSizeInfo.GetWidthText()).find(u"px") != std::u16string::npos, true);

    Choose(Basic(), kPaper, 0); // A4
    ClearDriverCalls();
    ut::AdvanceClock(1000);
    ut::Click(GetDlgItem(m_dialog->m_hWnd, 20006));
    ut::RunPendingMessages();
    EXPECT_EQ(m_dialog->m_nWidth, 3307) << "A4 at 400 dpi";
    ClearDriverCalls();
    ASSERT_EQ(m_dialog->ApplyScanParameters(TRUE), 0);
    const std::vector<std::string> set = CallsOf("ScanDrv_SetScanParameter");
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].rfind("ScanDrv_SetScanParameter 400 400 ", 0), 0u) << set[0];
}

TEST_F(SettingPagesTest, TheColourModeDecidesWhatTheAdvancedPageAllows) {
    Create();
    for (int i = 0; i < 12; ++i)
        Param().adv[i] = 10 + i;
    Param().adv[13] = 99;
    Choose(Advanced(), kDescreen, 1);
    Choose(Advanced(), kFading, 2);

    Choose(Basic(), kColour, 1); // grey
    EXPECT_EQ(Param().colorMode, 1);
    EXPECT_EQ(Param().adv[15], 0) << "no fading correction in grey";
    EXPECT_EQ(Selection(Advanced(), kFading), 0);
    EXPECT_EQ(Param().adv[14], 1);
    for (int block : {0, 4, 8}) {
        EXPECT_EQ(Param().adv[block], 10 + block) << "the combined channel stays";
        for (int channel = 1; channel <= 3; ++channel)
            EXPECT_EQ(Param().adv[block + channel], 0);
    }
    EXPECT_EQ(Param().adv[13], 72) << "the default threshold";
    EXPECT_TRUE(Enabled(Advanced(), kDescreen));
    EXPECT_FALSE(Enabled(Advanced(), kFading));
    for (int button : {kBrightContrast, kHistogram, kCurve, kGamma})
        EXPECT_TRUE(Enabled(Advanced(), button)) << button;

    Param().adv[13] = 120;
    Choose(Basic(), kColour, 2); // black and white
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Param().adv[i], 0) << i;
    EXPECT_EQ(Param().adv[14], 0);
    EXPECT_EQ(Selection(Advanced(), kDescreen), 0);
    EXPECT_EQ(Param().adv[13], 120) << "black and white keeps its threshold";
    for (int control : {kDescreen, kFading, kBrightContrast, kHistogram, kCurve})
        EXPECT_FALSE(Enabled(Advanced(), control)) << control;
    EXPECT_TRUE(Enabled(Advanced(), kGamma)) << "the threshold is set there";

    Choose(Basic(), kColour, 0); // colour
    for (int control : {kDescreen, kFading, kBrightContrast, kHistogram, kCurve, kGamma})
        EXPECT_TRUE(Enabled(Advanced(), control)) << control;
    EXPECT_EQ(Param().adv[13], 72);
}

TEST_F(SettingPagesTest, ChangesReachThePreviewOnlyWhereThePictureChanges) {
    Create();
    struct Step {
        const char* what;
        std::function<void()> act;
        bool rendered;
        bool modified;
    };
    const Step steps[] = {
        {"colour mode", [&] { Choose(Basic(), kColour, 1); }, true, true},
        {"descreen", [&] { Choose(Advanced(), kDescreen, 1); }, true, true},
        {"fading", [&] { Choose(Advanced(), kFading, 3); }, true, true},
        {"rotation", [&] { Choose(Advanced(), kRotation, 2); }, false, true},
        {"resolution", [&] { Choose(Basic(), kResolution, 1); }, false, true},
        {"auto deskew", [&] { Check(Advanced(), kAutoDeskew, true); }, false, false},
        {"the same descreen again", [&] { Choose(Advanced(), kDescreen, 1); }, false, false},
        {"no selection", [&] { Choose(Advanced(), kFading, -1); }, false, false},
        {"no colour selection", [&] { Choose(Basic(), kColour, -1); }, false, false},
        {"no source selection", [&] { Choose(Basic(), kSource, -1); }, false, false},
        {"no resolution selection", [&] { Choose(Basic(), kResolution, -1); }, false, false},
        {"no paper selection", [&] { Choose(Basic(), kPaper, -1); }, false, false},
        {"no descreen or rotation selection",
         [&] {
             Choose(Advanced(), kDescreen, -1);
             Choose(Advanced(), kRotation, -1);
         },
         false, false},
    };
    const int source = Param().source, paper = Param().paperSize;
    for (const Step& step : steps) {
        m_dialog->ResetPreviewImage();
        ForgetModified();
        BlackenRawPreview();
        step.act();
        EXPECT_EQ(DisplayIsBlack(), step.rendered) << step.what;
        EXPECT_EQ(Modified(), step.modified) << step.what;
    }
    EXPECT_EQ(Param().colorMode, 1);
    EXPECT_EQ(Param().source, source);
    EXPECT_EQ(Param().resolution, 1);
    EXPECT_EQ(Param().paperSize, paper);
    EXPECT_EQ(Param().adv[14], 1);
    EXPECT_EQ(Param().adv[15], 3);
    EXPECT_EQ(Param().adv[16], 2);
    EXPECT_EQ(Param().adv[17], 1);
    EXPECT_TRUE(g_bAutoDeskew);
    Check(Advanced(), kAutoDeskew, false);
    EXPECT_EQ(Param().adv[17], 0);
    EXPECT_FALSE(g_bAutoDeskew);
}

TEST_F(SettingPagesTest, RestoreChangesNothingWhenAllIsAtItsDefaults) {
    Create();
    ForgetModified();
    m_dialog->RefreshPreviewImage();
    BlackenRawPreview();
    Click(Basic(), kBasicRestore);
    Click(Advanced(), kAdvancedRestore);
    EXPECT_FALSE(Modified());
    EXPECT_FALSE(DisplayIsBlack()) << "neither page renders the preview again";

    // Changed values come back, and the preview with them.
    Choose(Basic(), kResolution, 0);
    Choose(Basic(), kPaper, 1);
    Choose(Advanced(), kRotation, 3);
    Param().adv[12] = 25;
    ForgetModified();
    BlackenRawPreview();
    Click(Advanced(), kAdvancedRestore);
    EXPECT_TRUE(Modified());
    EXPECT_TRUE(DisplayIsBlack());
    EXPECT_EQ(Param().adv[12], 18);
    EXPECT_EQ(Param().adv[16], 0);
    EXPECT_EQ(Selection(Advanced(), kRotation), 0);
    EXPECT_EQ(Param().resolution, 0) << "the advanced restore leaves the basic values";

    ForgetModified();
    Click(Basic(), kBasicRestore);
    EXPECT_TRUE(Modified());
    EXPECT_EQ(Param().resolution, 2);
    EXPECT_EQ(Param().paperSize, 5);
    EXPECT_EQ(Selection(Basic(), kResolution), 2);
    EXPECT_EQ(Selection(Basic(), kPaper), 5);
    EXPECT_FALSE(DisplayIsBlack()) << "the blank page is back";
}

TEST_F(SettingPagesTest, RestoreInBlackAndWhiteKeepsTheColourRulesControlsDisabled) {
    Create();
    Choose(Basic(), kColour, 2);
    Param().adv[12] = 30;
    Click(Advanced(), kAdvancedRestore);
    EXPECT_EQ(Param().adv[12], 18);
    for (int control : {kDescreen, kFading, kBrightContrast, kHistogram, kCurve})
        EXPECT_FALSE(Enabled(Advanced(), control)) << control;
}

TEST_F(SettingPagesTest, IbisRestoresToTheFeederAndItsFirstPaper) {
    ModelKey("IsPlatformIbis", "TRUE");
    Create();
    Choose(Basic(), kSource, 0);
    Click(Basic(), kBasicRestore);
    EXPECT_EQ(Param().source, 1);
    EXPECT_EQ(Param().paperSize, 0);
    EXPECT_EQ(Selection(Basic(), kSource), 1);
    EXPECT_EQ(Param().adv[12], 10) << "Ibis's own gamma stays untouched by the basic restore";
}

TEST_F(SettingPagesTest, HorizontalScanningOnlyOnModelsWithItAndForPapersFedAcross) {
    Create();
    EXPECT_FALSE(Visible(Basic(), kHorizontal));
    m_dialog.reset();

    ModelKey("HasHorizontal", "TRUE");
    Create();
    EXPECT_TRUE(g_bHasHorizontal);
    EXPECT_TRUE(Visible(Basic(), kHorizontal));
    Choose(Basic(), kPaper, 0);
    EXPECT_TRUE(Enabled(Basic(), kHorizontal));
    ForgetModified();
    Check(Basic(), kHorizontal, true);
    EXPECT_EQ(Param().horizontal, 1);
    EXPECT_FALSE(Modified()) << "the horizontal box does not mark the settings";

    Choose(Basic(), kPaper, 2); // A6
    EXPECT_EQ(Param().horizontal, 0);
    EXPECT_FALSE(Enabled(Basic(), kHorizontal));
    EXPECT_EQ(SendMessageW(Item(Basic(), kHorizontal), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    Choose(Basic(), kPaper, 1);
    EXPECT_TRUE(Enabled(Basic(), kHorizontal));
}

// One settings file may serve several models: what a model that scans across saved never reaches one that cannot.
TEST_F(SettingPagesTest, AModelWithoutHorizontalScanningNeverScansAcross) {
    ScanParam across{};
    across.colorMode = 2;
    across.resolution = 2;
    across.paperSize = 0;
    across.horizontal = 1;
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Across", reinterpret_cast<const BYTE*>(&across)));
    ASSERT_TRUE(SaveCurrentSetting(u"Across", reinterpret_cast<const BYTE*>(&across)));

    Create();
    EXPECT_EQ(Param().horizontal, 0) << "the current settings";
    const HWND settings = GetDlgItem(m_dialog->m_hWnd, 10301);
    const int item = static_cast<int>(
        SendMessageW(settings, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"Across")));
    ASSERT_GE(item, 0);
    Choose(*m_dialog, 10301, item);
    EXPECT_EQ(Param().horizontal, 0) << "a saved setting picked";
    m_dialog.reset(); // saves its current settings, across no more
    ASSERT_TRUE(SaveCurrentSetting(u"Across", reinterpret_cast<const BYTE*>(&across)));

    ModelKey("HasHorizontal", "TRUE");
    Create();
    EXPECT_EQ(Param().horizontal, 1) << "a model that scans across keeps it";
    EXPECT_EQ(SendMessageW(Item(Basic(), kHorizontal), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(SettingPagesTest, ManualDuplexIsOfferedInAppModeFromTheFeeder) {
    Create();
    EXPECT_FALSE(Visible(Basic(), kManualDuplex)) << "not outside app mode";
    m_dialog.reset();

    g_bAppMode = TRUE;
    Create();
    EXPECT_FALSE(Visible(Basic(), kManualDuplex)) << "not for the flatbed";
    Choose(Basic(), kSource, 1);
    EXPECT_TRUE(Visible(Basic(), kManualDuplex));
    CDlg_ImgSaveSets pane(nullptr); // the save pane's record, for the application
    wcscpy_s(pane.m_ImgSaveSettings.szType, u"jpg");
    m_dialog->m_pDlg_ImgSaveSets = &pane;
    Check(Basic(), kManualDuplex, true);
    EXPECT_EQ(GetManualDuplexFlag(), 1);
    EXPECT_EQ(pane.m_ImgSaveSettings.nManualDuplex, 1);
    EXPECT_EQ(std::u16string(pane.m_ImgSaveSettings.szType), u"PDF") << "both sides go into one PDF";
    Click(Basic(), kBasicRestore);
    EXPECT_EQ(GetManualDuplexFlag(), 0) << "restore clears manual duplex";
    EXPECT_EQ(pane.m_ImgSaveSettings.nManualDuplex, 0);
    EXPECT_EQ(std::u16string(pane.m_ImgSaveSettings.szType), u"PDF") << "turning it off keeps the type";
    m_dialog->m_pDlg_ImgSaveSets = nullptr;
    EXPECT_EQ(SendMessageW(Item(Basic(), kManualDuplex), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(Visible(Basic(), kManualDuplex)) << "restore goes back to the flatbed";
    m_dialog.reset();

    ModelKey("HasManualDuplex", "FALSE");
    Create();
    Choose(Basic(), kSource, 1);
    EXPECT_FALSE(Visible(Basic(), kManualDuplex)) << "a model without manual duplex";
}

TEST_F(SettingPagesTest, AutoDeskewOnlyOnModelsThatTurnThePage) {
    Create();
    EXPECT_FALSE(Visible(Advanced(), kAutoDeskew));
    m_dialog.reset();
    ModelKey("HasAutoRotate", "TRUE");
    Create();
    m_dialog->OnClickedAdvancedTab();
    EXPECT_TRUE(Visible(Advanced(), kAutoDeskew));
}

// The three check boxes of the pages read in the interface's language and show the page under their captions: the
// pixel just beside each box's end is the page's own colour, and so is the box's unpainted end.
TEST_F(SettingPagesTest, TheCheckBoxesSpeakTheLanguageOnThePagesBackground) {
    g_bAppMode = TRUE;
    ModelKey("HasHorizontal", "TRUE");
    ModelKey("HasAutoRotate", "TRUE");
    Create();
    Choose(Basic(), kSource, 1);
    const struct {
        CWnd* page;
        int id;
        const char16_t* caption;
    } boxes[] = {{&Basic(), kManualDuplex, u"Manual Duplex"},
                 {&Basic(), kHorizontal, u"Horizontal Scan"},
                 {&Advanced(), kAutoDeskew, u"Auto Deskew"}};
    for (const auto& box : boxes) {
        if (box.page == &Advanced()) {
            m_dialog->OnClickedAdvancedTab();
            ut::RunPendingMessages();
        }
        HWND hwnd = Item(*box.page, box.id);
        EXPECT_EQ(TextOf(hwnd), box.caption) << "control " << box.id << " takes its caption from the library";
        ASSERT_TRUE(IsWindowVisible(hwnd)) << "control " << box.id;
        CRect rect;
        GetWindowRect(hwnd, &rect);
        ScreenToClient(box.page->m_hWnd, &rect.TopLeft());
        ScreenToClient(box.page->m_hWnd, &rect.BottomRight());
        const COLORREF page = ut::WindowPixel(box.page->m_hWnd, rect.right + 2, rect.CenterPoint().y);
        EXPECT_EQ(ut::WindowPixel(hwnd, rect.Width() - 2, rect.Height() / 2), page)
            << "control " << box.id << " paints a patch of another colour than the page";
    }
}

TEST_F(SettingPagesTest, TheHistogramNeedsAFlatbedPreviewInColourOrGrey) {
    ModelKey("IsAutoduplex", "TRUE");
    Create();
    struct Case {
        int source;
        int colourIndex;
        bool histogram;
    };
    for (const Case& c :
         {Case{0, 0, true}, Case{0, 1, true}, Case{0, 2, false}, Case{1, 0, false}, Case{2, 1, false}}) {
        m_dialog->OnClickedBasicTab();
        Choose(Basic(), kSource, c.source);
        Choose(Basic(), kColour, c.colourIndex);
        m_dialog->OnClickedAdvancedTab();
        EXPECT_TRUE(Visible(Advanced(), kHistogram));
        EXPECT_FALSE(Visible(Basic(), kSource));
        EXPECT_EQ(Enabled(Advanced(), kHistogram), c.histogram) << "source " << c.source << " colour " << c.colourIndex;
    }
    m_dialog->OnClickedBasicTab();
    EXPECT_TRUE(Visible(Basic(), kSource));
    EXPECT_FALSE(Visible(Advanced(), kHistogram));
}

TEST_F(SettingPagesTest, TheAdjustmentButtonsOpenTheirDialogs) {
    Create();
    m_dialog->OnClickedAdvancedTab();
    for (const auto& [button, title] :
         {std::pair{kBrightContrast, u"Brightness/Contrast"}, std::pair{kGamma, u"Gamma/Threshold"},
          std::pair{kHistogram, u"Histogram"}, std::pair{kCurve, u"Tone Curve"}}) {
        m_modalTexts.clear();
        Click(Advanced(), button);
        ASSERT_EQ(m_modalTexts.size(), 1u) << button;
        EXPECT_EQ(m_modalTexts[0], title);
    }
    // What a dialog changes is the window's: the gamma dialog's slider reaches its ScanParam and the preview.
    m_onModal = [&](HWND dlg) {
        HWND slider = GetDlgItem(dlg, 10287);
        SendMessageW(slider, TBM_SETPOS, TRUE, 30);
        SendMessageW(dlg, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
        EndDialog(dlg, IDOK);
    };
    ForgetModified();
    Click(Advanced(), kGamma);
    EXPECT_EQ(Param().adv[12], 30);
    EXPECT_TRUE(Modified());
}

TEST_F(SettingPagesTest, UnknownValuesShowNothingAndChangeNothing) {
    Create();
    Param().colorMode = 7;
    Param().adv[14] = 9;
    Param().adv[15] = -3;
    Param().adv[16] = 4;
    for (int i = 0; i < 12; ++i)
        Param().adv[i] = 5;
    Basic().UpdateControlsFromParam();
    Advanced().UpdateControlsFromParam();
    EXPECT_EQ(Selection(Basic(), kColour), CB_ERR);
    for (int list : {kDescreen, kFading, kRotation})
        EXPECT_EQ(Selection(Advanced(), list), CB_ERR) << list;
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Param().adv[i], 5) << "a colour mode without rules resets nothing";

    // A change that leaves a list without a selection changes nothing either.
    const ScanParam before = Param();
    ForgetModified();
    for (int list : {kSource, kColour, kPaper, kResolution})
        Choose(Basic(), list, -1);
    for (int list : {kDescreen, kFading, kRotation})
        Choose(Advanced(), list, -1);
    EXPECT_EQ(Param().source, before.source);
    EXPECT_EQ(Param().colorMode, before.colorMode);
    EXPECT_EQ(Param().paperSize, before.paperSize);
    EXPECT_EQ(Param().resolution, before.resolution);
    EXPECT_TRUE(std::equal(std::begin(before.adv), std::end(before.adv), std::begin(Param().adv)));
    EXPECT_FALSE(Modified());
}

TEST_F(SettingPagesTest, AltKeysFromAPageRunTheWindowsRoadsAndEnterEscapeAreSwallowed) {
    Create();
    ClearDriverCalls();
    AltKey('S', Item(Basic(), kSource));
    EXPECT_EQ(m_assistor->GetState(), 600) << "Alt+S scans from the basic page";
    EXPECT_FALSE(CallsOf("ScanDrv_Open").empty());
    m_dialog->m_bBusy = 0; // the engine would end the job and close the device
    m_assistor->SetState(500);
    g_LLD.DevMon_Close();
    g_b_devmon_close = TRUE;

    m_dialog->OnClickedAdvancedTab();
    ClearDriverCalls();
    AltKey('S', Item(Advanced(), kRotation));
    EXPECT_EQ(m_assistor->GetState(), 600) << "and from the advanced page";
    m_dialog->m_bBusy = 0;

    for (CWnd* page : {static_cast<CWnd*>(&Basic()), static_cast<CWnd*>(&Advanced())})
        for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            HWND focus = GetDlgItem(page->m_hWnd, page == &Basic() ? kColour : kFading);
            SetFocus(focus);
            PostMessageW(focus, WM_KEYDOWN, key, 0);
            ut::RunPendingMessages();
            EXPECT_TRUE(IsWindow(page->m_hWnd));
        }
    EXPECT_TRUE(Visible(Advanced(), kRotation)) << "Enter and Escape never close a page";
}

TEST_F(SettingPagesTest, EveryValueGoesThroughTheSettingsFileAndComesBack) {
    ModelKey("IsAutoduplex", "TRUE");
    ModelKey("HasAutoRotate", "TRUE");
    Create();
    Choose(Basic(), kSource, 2);
    Choose(Basic(), kColour, 1);
    Choose(Basic(), kResolution, 1);
    Choose(Basic(), kPaper, 3);
    Choose(Advanced(), kDescreen, 1);
    Choose(Advanced(), kRotation, 3);
    Check(Advanced(), kAutoDeskew, true);
    const ScanParam saved = Param();
    m_dialog.reset(); // the window saves its current settings as it goes
    g_bAutoDeskew = FALSE;

    Create();
    EXPECT_EQ(std::memcmp(&Param(), &saved, sizeof saved), 0);
    EXPECT_EQ(Selection(Basic(), kSource), 2);
    EXPECT_EQ(Selection(Basic(), kColour), 1);
    EXPECT_EQ(Selection(Basic(), kResolution), 1);
    EXPECT_EQ(Selection(Basic(), kPaper), 3);
    EXPECT_EQ(Selection(Advanced(), kDescreen), 1);
    EXPECT_EQ(Selection(Advanced(), kFading), 0);
    EXPECT_EQ(Selection(Advanced(), kRotation), 3);
    EXPECT_EQ(SendMessageW(Item(Advanced(), kAutoDeskew), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(g_bAutoDeskew);
    EXPECT_FALSE(Enabled(Advanced(), kFading)) << "the colour rules hold again";
    EXPECT_EQ(TextOf(GetDlgItem(m_dialog->m_hWnd, 10301)), kModified);
}

} // namespace
