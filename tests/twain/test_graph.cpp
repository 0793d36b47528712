// The data source object graph, built in-process: creation and its failures, the window bridge, teardown, and the
// assistor's start values.

#include "TwainTestSupport.h"

#include "twain/CColMsg.h"
#include "twain/CDS.h"
#include "twain/CDsAssistor.h"
#include "twain/CFakeScanner.h"
#include "twain/CFakeUI.h"
#include "twain/CScannerTemplate.h"
#include "twain/CTwainDsApp.h"
#include "twain/CUIFactory.h"
#include "twain/CUIImp.h"
#include "twain/CapabilityTable.h"

#include "settings/CompanionNames.h"
#include "settings/IniPath.h"
#include "tests/support/CompanionNames.h"
#include "tests/support/DebugLines.h"

#include <stdexcept>
#include <vector>

namespace {

std::vector<std::string> g_events;

// Parts that report their life, so a test can tell that nothing stays behind.
class CountingScanner : public CFakeScanner {
    DECLARE_DYNCREATE(CountingScanner)
public:
    CountingScanner() { ++live; }
    ~CountingScanner() override { --live; }
    static inline int live = 0;
};
IMPLEMENT_DYNCREATE(CountingScanner, CFakeScanner)

class CountingUI : public CFakeUI {
    DECLARE_DYNCREATE(CountingUI)
public:
    CountingUI() { ++live; }
    ~CountingUI() override { --live; }
    static inline int live = 0;
};
IMPLEMENT_DYNCREATE(CountingUI, CFakeUI)

class CountingAssistor : public CDsAssistor {
    DECLARE_DYNCREATE(CountingAssistor)
public:
    CountingAssistor() { ++live; }
    ~CountingAssistor() override {
        --live;
        g_events.push_back("assistor deleted");
    }
    static inline int live = 0;
};
IMPLEMENT_DYNCREATE(CountingAssistor, CDsAssistor)

// A window object whose creation can be made to fail or throw.
class TestUIImp : public CUIImp {
public:
    explicit TestUIImp(int id) : m_id(id) {}
    ~TestUIImp() override { g_events.push_back("deleted " + std::to_string(m_id)); }
    int Show(int) override { return 0; }
    int Close() override {
        g_events.push_back(std::string("closed ") + std::to_string(m_id) +
                           (g_pDsAssistor.load() != nullptr ? " with engine" : " without engine"));
        return 1;
    }
    int ProcessEvent(MSG*) override { return 0; }
    int Create(CDsProxy*, HWND) override {
        if (s_throw)
            throw std::runtime_error("window");
        g_events.push_back("created " + std::to_string(m_id));
        return s_fail ? 1 : 0;
    }
    int m_id;
    static inline bool s_fail = false;
    static inline bool s_throw = false;
};

class TestUIFactory : public CUIFactory {
public:
    int CreateUI(CUIImp** ppUI) override {
        *ppUI = new TestUIImp(++m_next);
        return 0;
    }
    int m_next = 0;
};

class GraphTest : public TwainTestRoot {
protected:
    void SetUp() override {
        TwainTestRoot::SetUp();
        g_events.clear();
        TestUIImp::s_fail = false;
        TestUIImp::s_throw = false;
        CFakeUI::RegisterFactory(&m_factory);
    }
    void TearDown() override {
        CFakeUI::RegisterFactory(nullptr);
        unsetenv("PLATFORM_FAIL_CREATE");
        platform::testing::SetAllocationCap(std::nullopt);
        platform::debug::SetSink({});
        TwainTestRoot::TearDown();
    }
    static CDS* CreateCountingDS() {
        CScannerTemplate scannerTemplate(RUNTIME_CLASS(CountingScanner), RUNTIME_CLASS(CountingUI),
                                         RUNTIME_CLASS(CountingAssistor));
        return scannerTemplate.CreateDS();
    }
    TestUIFactory m_factory;
};

TEST_F(GraphTest, CreateDsLinksTheAssistorAsTheGlobalOne) {
    CDS* ds = CreateCountingDS();
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(g_pDsAssistor.load(), ds->GetAssistor());
    EXPECT_NE(ds->GetAssistor()->GetUI(), nullptr);
    EXPECT_EQ(ds->GetAssistor()->GetState(), 300);
    EXPECT_EQ(ds->GetAppId(), 0u);
    delete ds;
    EXPECT_EQ(g_pDsAssistor.load(), nullptr);
    EXPECT_EQ(CountingScanner::live + CountingUI::live + CountingAssistor::live, 0);
}

TEST_F(GraphTest, AnyFailedCreationLeavesNoPartialGraph) {
    for (const char* failing : {"CDS", "CountingAssistor", "CountingScanner", "CountingUI", "CColMsg"}) {
        setenv("PLATFORM_FAIL_CREATE", failing, 1);
        EXPECT_EQ(CreateCountingDS(), nullptr) << failing;
        EXPECT_EQ(CountingScanner::live, 0) << failing;
        EXPECT_EQ(CountingUI::live, 0) << failing;
        EXPECT_EQ(CountingAssistor::live, 0) << failing;
        EXPECT_EQ(g_pDsAssistor.load(), nullptr) << failing;
    }
}

TEST_F(GraphTest, ApplicationWithoutGraphAnswersBummer) {
    setenv("PLATFORM_FAIL_CREATE", "CFakeUI", 1);
    CTwainDsApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.GetDS(), nullptr);
    TW_IDENTITY origin = MakeAppIdentity(3);
    TW_IDENTITY identity{};
    EXPECT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_FAILURE);
    TW_STATUS status{};
    EXPECT_EQ(app.DS_Entry(&origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
    EXPECT_EQ(status.ConditionCode, TWCC_BUMMER);
    EXPECT_EQ(app.DS_Entry(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr), TWRC_FAILURE);
}

TEST_F(GraphTest, WindowBridgeWithoutWindowAnswersOne) {
    CFakeUI ui;
    EXPECT_EQ(ui.Show(1), 1);
    EXPECT_EQ(ui.Close(), 1);
    EXPECT_EQ(ui.ProcessEvent(nullptr), 1);
    EXPECT_TRUE(g_events.empty());
}

TEST_F(GraphTest, NewWindowReplacesTheOldOnlyOnceCreated) {
    CFakeUI ui;
    ASSERT_EQ(ui.CreateUI(nullptr, nullptr), 0);
    CUIImp* first = ui.GetUI();
    ASSERT_NE(first, nullptr);

    TestUIImp::s_fail = true;
    EXPECT_EQ(ui.CreateUI(nullptr, nullptr), 1);
    EXPECT_EQ(ui.GetUI(), first) << "a failed creation keeps the old window";
    TestUIImp::s_fail = false;
    TestUIImp::s_throw = true;
    EXPECT_EQ(ui.CreateUI(nullptr, nullptr), 1) << "exceptions of the window stop at the bridge";
    EXPECT_EQ(ui.GetUI(), first);
    TestUIImp::s_throw = false;

    ASSERT_EQ(ui.CreateUI(nullptr, nullptr), 0);
    EXPECT_NE(ui.GetUI(), first);
    EXPECT_EQ(g_events,
              (std::vector<std::string>{"created 1", "created 2", "deleted 2", "deleted 3", "created 4", "deleted 1"}));

    g_events.clear();
    EXPECT_EQ(ui.Close(), 0);
    EXPECT_EQ(ui.GetUI(), nullptr);
    EXPECT_EQ(g_events, (std::vector<std::string>{"closed 4 without engine", "deleted 4"}));
}

TEST_F(GraphTest, TeardownClosesTheWindowBeforeTheEngineGoes) {
    CDS* ds = CreateCountingDS();
    ASSERT_NE(ds, nullptr);
    CDsAssistor* assistor = ds->GetAssistor();
    ASSERT_EQ(assistor->GetUI()->CreateUI(assistor, nullptr), 0);
    g_events.clear();
    delete ds;
    EXPECT_EQ(g_events, (std::vector<std::string>{"closed 1 with engine", "deleted 1", "assistor deleted"}));
    EXPECT_EQ(g_pDsAssistor.load(), nullptr);
}

TEST_F(GraphTest, AssistorStartsAt300EvenWithoutMemory) {
    testsupport::DebugLines debug;
    debug.Capture();
    // This program's own INI file and model key, as the assistor in it reads them.
    WCHAR ini[MAX_PATH];
    GetIniPath(ini);
    WCHAR model[MAX_PATH];
    GetModelKeyName(model);
    const std::u16string iniPath(ini);
    const std::u16string iniName = iniPath.substr(iniPath.rfind(u'\\') + 1);
    m_ini += "Product Name(" + std::string(model, model + std::char_traits<char16_t>::length(model)) + ")=KVX 7731\n";
    WriteIni(std::string(iniName.begin(), iniName.end()));
    g_nTwainXResolution = 300;
    g_nTwainYResolution = 300;
    platform::testing::SetAllocationCap(1 << 20);
    CDsAssistor assistor;
    platform::testing::SetAllocationCap(std::nullopt);
    EXPECT_EQ(assistor.GetState(), 300);
    EXPECT_EQ(assistor.GetConditionCode(), TWCC_SUCCESS);
    EXPECT_EQ(assistor.GetAppId(), 0u);
    const TW_IDENTITY& identity = assistor.GetDsIdentity();
    EXPECT_EQ(+identity.Id, 0u);
    EXPECT_STREQ(identity.Manufacturer, "Korvel") << "the source still names itself to the manager";
    EXPECT_STREQ(identity.ProductName, "KVX 7731 TWAIN");
    EXPECT_STREQ(identity.Version.Info, " 1.030");
    EXPECT_EQ(identity.ProtocolMinor, 8);
    EXPECT_EQ(g_nTwainXResolution, 150) << "the window-less resolution is the table's also without memory";
    EXPECT_EQ(g_nTwainYResolution, 150);
    const std::vector<std::u16string> lines = debug.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"not enough mem"), lines.end());
}

TEST_F(GraphTest, CompanionFilesTakeTheFilePrefixOnce) {
    // This program's own INI file, as the assistor in it reads it.
    WCHAR ini[MAX_PATH];
    GetIniPath(ini);
    const std::u16string iniPath(ini);
    const std::u16string iniName = iniPath.substr(iniPath.rfind(u'\\') + 1);
    WriteIni(std::string(iniName.begin(), iniName.end()));
    testsupport::ResetCompanionNames();
    const std::u16string prefix(m_prefix.begin(), m_prefix.end());
    {
        CDsAssistor assistor;
        EXPECT_EQ(std::u16string(g_szHelpFileName), prefix + u"twXXXX.chm");
        EXPECT_EQ(std::u16string(g_szAppHelpFileName), prefix + u"AppXXXX.chm");
        EXPECT_EQ(std::u16string(g_szResLibraryName), prefix + u"twrcXXXX.dll");
        EXPECT_EQ(std::u16string(g_szEffectLibName), prefix + u"Tonalis.dll");
    }
    // A prefix that would not leave room for the name keeps the name whole instead of cutting it.
    PrefixCompanionNames(std::u16string(MAX_PATH - 5, u'p').c_str());
    EXPECT_EQ(std::u16string(g_szEffectLibName), prefix + u"Tonalis.dll");
}

TEST_F(GraphTest, NarrowedStringsFitAStr32) {
    TW_STR32 out;
    NarrowToStr32(u"short", out);
    EXPECT_STREQ(out, "short");
    std::u16string longText(50, u'x');
    NarrowToStr32(longText.c_str(), out);
    EXPECT_EQ(std::string(out), std::string(33, 'x'));
    // Two-byte characters: 16 of them (32 bytes) fit, the 17th would be cut in half.
    std::u16string accented(20, u'\u00e9');
    NarrowToStr32(accented.c_str(), out);
    EXPECT_EQ(std::strlen(out), 32u);
    EXPECT_EQ(out[33], '\0');
}

} // namespace
