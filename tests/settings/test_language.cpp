// The user-interface language: the choice from the registry and from the system locale, the globals it sets, and
// strings from the language libraries.
#include "settings/Language.h"

#include "platform/base/afxcore.h"
#include "platform/base/path.h"

#include "SettingsTestRoot.h"

#include <cstring>
#include <tuple>

#include <cstdlib>
#include <vector>

namespace {

const WCHAR* const kKeyPath = u"SOFTWARE\\Korvel\\kvx7731";

class LanguageTest : public SettingsTestRoot {
protected:
    void SetUp() override {
        SettingsTestRoot::SetUp();
        SetIni(u"TWAIN", u"Registry", kKeyPath);
        platform::testing::SetSystemLocale(0x0409);
        platform::debug::SetSink([this](std::u16string_view line) { m_log.emplace_back(line); });
    }
    void TearDown() override {
        platform::testing::SetSystemLocale(std::nullopt);
        SettingsTestRoot::TearDown();
    }
    void SetRegistryValue(const WCHAR* value, DWORD type = REG_SZ) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        DWORD bytes = static_cast<DWORD>((std::u16string(value).size() + 1) * sizeof(WCHAR));
        ASSERT_EQ(RegSetValueExW(key, u"Language", 0, type, reinterpret_cast<const BYTE*>(value), bytes),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    std::u16string Code() {
        WCHAR code[MAX_PATH] = {};
        GetLanguageCode(code);
        return code;
    }
    bool Logged(const std::u16string& line) const {
        for (const auto& entry : m_log)
            if (entry == line)
                return true;
        return false;
    }
    std::vector<std::u16string> m_log;
};

TEST_F(LanguageTest, SystemLocalesMapByLanguageAndSublanguage) {
    struct Case {
        LCID lcid;
        int number;
    };
    const Case cases[] = {
        {0x0804, 0},  {0x1004, 0},  {0x0C04, 20}, {0x0404, 20}, {0x0409, 1},  {0x3409, 1},  {0x0411, 2},  {0x0419, 3},
        {0x0816, 4},  {0x0C0A, 5},  {0x540A, 5},  {0x580A, 1},  {0x180C, 6},  {0x1C0C, 1},  {0x0415, 7},  {0x1407, 8},
        {0x1807, 1},  {0x0810, 9},  {0x4001, 10}, {0x4401, 1},  {0x041F, 11}, {0x0406, 12}, {0x040B, 13}, {0x0813, 14},
        {0x0405, 15}, {0x0814, 16}, {0x081D, 17}, {0x041B, 18}, {0x040E, 19}, {0x040D, 21}, {0x0000, 1},  {0x0412, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LanguageFromLcid(c.lcid), c.number) << std::hex << "LCID 0x" << c.lcid;
}

TEST_F(LanguageTest, TheRegistryNameWinsOverTheLocale) {
    platform::testing::SetSystemLocale(0x0411);
    SetRegistryValue(u"Simplified_Chinese");
    EXPECT_EQ(Code(), u"zhcn");
    EXPECT_EQ(g_LangugueID, 0);
    EXPECT_TRUE(Logged(u"MFP_REG_PATH = SOFTWARE\\Korvel\\kvx7731"));
    EXPECT_TRUE(Logged(u"g_LangugueID == 0"));
}

TEST_F(LanguageTest, NamesAreMatchedExactly) {
    platform::testing::SetSystemLocale(0x0411);
    SetRegistryValue(u"english");
    EXPECT_EQ(Code(), u"ja") << "lower case is no match: the locale decides";
    EXPECT_EQ(g_LangugueID, 2);
}

TEST_F(LanguageTest, ALanguageOutsideTheSixteenNamesComesFromTheLocale) {
    platform::testing::SetSystemLocale(0x0406);
    SetRegistryValue(u"Danish");
    EXPECT_EQ(Code(), u"enus");
    EXPECT_EQ(g_LangugueID, 12);
    EXPECT_EQ(GetLanguageName(g_LangugueID), CString(u"Danish"));
}

TEST_F(LanguageTest, OnlyAStringValueIsRead) {
    platform::testing::SetSystemLocale(0x0419);
    SetRegistryValue(u"English", REG_EXPAND_SZ);
    EXPECT_EQ(Code(), u"ru");
}

TEST_F(LanguageTest, AnOverlongValueIsReadBoundedAndFallsBack) {
    platform::testing::SetSystemLocale(0x040D);
    std::u16string longValue(300, u'E');
    SetRegistryValue(longValue.c_str());
    EXPECT_EQ(Code(), u"he");
    EXPECT_TRUE(IsRightToLeftCode(u"he"));
    EXPECT_TRUE(IsRightToLeftCode(u"ar"));
    EXPECT_FALSE(IsRightToLeftCode(u"enus"));
}

TEST_F(LanguageTest, WithoutAKeyTheLocaleDecides) {
    platform::testing::SetSystemLocale(0x0C0A);
    EXPECT_EQ(Code(), u"esmx");
    EXPECT_EQ(g_chPreviewKey, 'V');
    EXPECT_EQ(g_chScanKey, 'E');
    EXPECT_EQ(g_chDecimalSep, u'.');
}

TEST_F(LanguageTest, SeparatorAndKeysBelongToTheLanguageJustChosen) {
    SetRegistryValue(u"Russian");
    EXPECT_EQ(Code(), u"ru");
    EXPECT_EQ(g_chDecimalSep, u',');
    EXPECT_EQ(g_chPreviewKey, 177);
    EXPECT_EQ(g_chScanKey, 179);
    SetRegistryValue(u"English");
    EXPECT_EQ(Code(), u"enus");
    EXPECT_EQ(g_chDecimalSep, u'.');
    EXPECT_EQ(g_chPreviewKey, 'P');
    EXPECT_EQ(g_chScanKey, 'S');
}

TEST_F(LanguageTest, TheDeviceScanCopyChoosesQuietly) {
    SetRegistryValue(u"Hebrew");
    g_LangugueID = 5;
    EXPECT_EQ(ChooseLanguageNumber(kIniDropCharsDataSource), 21);
    EXPECT_EQ(g_LangugueID, 5) << "the data source's globals stay";
    EXPECT_TRUE(m_log.empty());
}

// Every language number, chosen by its registry name (where it has one of the sixteen) and by each system locale
// that maps to it: the code, the separator, the keys and the reading direction that follow.
TEST_F(LanguageTest, EveryLanguageNumberFromTheRegistryAndFromEachOfItsLocales) {
    struct Row {
        const WCHAR* name;
        const WCHAR* code;
        WCHAR separator;
        BYTE previewKey, scanKey;
        std::vector<LCID> locales;
        bool registryName; // one of the sixteen names the registry value may hold
    };
    auto sublanguages = [](LCID primary, int count) {
        std::vector<LCID> lcids;
        for (int sub = 1; sub <= count; ++sub)
            lcids.push_back(static_cast<LCID>(sub << 10) | primary);
        return lcids;
    };
    const Row rows[] = {
        {u"Simplified_Chinese", u"zhcn", u'.', 'P', 'S', {0x0804, 0x1004}, true},
        {u"English", u"enus", u'.', 'P', 'S', sublanguages(0x09, 13), true},
        {u"Japanese", u"ja", u'.', 'P', 'S', {0x0411}, true},
        {u"Russian", u"ru", u',', 177, 179, {0x0419}, true},
        {u"Portuguese", u"pt", u'.', 'P', 'S', {0x0416, 0x0816}, true},
        {u"Spanish", u"esmx", u'.', 'V', 'E', sublanguages(0x0A, 21), true},
        {u"French", u"fr", u',', 'P', 'S', sublanguages(0x0C, 6), true},
        {u"Polish", u"pl", u'.', 'P', 'S', {0x0415}, true},
        {u"German", u"de", u',', 'P', 'S', sublanguages(0x07, 5), true},
        {u"Italian", u"it", u',', 'A', 'S', {0x0410, 0x0810}, true},
        {u"Arabic", u"ar", u'.', '?', '?', sublanguages(0x01, 16), true},
        {u"Turkish", u"tr", u',', 'P', 'S', {0x041F}, true},
        {u"Danish", u"enus", u'.', 'P', 'S', {0x0406}, false},
        {u"Finnish", u"enus", u'.', 'P', 'S', {0x040B}, false},
        {u"Dutch", u"enus", u'.', 'P', 'S', {0x0413, 0x0813}, false},
        {u"Czech", u"enus", u'.', 'P', 'S', {0x0405}, false},
        {u"Norwegian", u"no", u',', 'F', 'S', {0x0414, 0x0814}, true},
        {u"Swedish", u"sv", u',', 'F', 'S', {0x041D, 0x081D}, true},
        {u"Slovak", u"enus", u'.', 'P', 'S', {0x041B}, false},
        {u"Hungarian", u"enus", u'.', 'P', 'S', {0x040E}, false},
        {u"Traditional_Chinese", u"zhtw", u'.', 'P', 'S', {0x0404, 0x0C04, 0x1404}, true},
        {u"Hebrew", u"he", u'.', 'P', 'S', {0x040D}, true},
    };
    ASSERT_EQ(std::size(rows), static_cast<size_t>(kLanguageCount));
    auto expectLanguage = [&](int number, const std::u16string& code, const char* how) {
        const Row& row = rows[number];
        EXPECT_EQ(code, row.code) << how;
        EXPECT_EQ(g_LangugueID, number) << how;
        EXPECT_EQ(g_chDecimalSep, row.separator) << how;
        EXPECT_EQ(g_chPreviewKey, row.previewKey) << how;
        EXPECT_EQ(g_chScanKey, row.scanKey) << how;
        EXPECT_EQ(static_cast<bool>(IsRightToLeftCode(code.c_str())), number == 10 || number == 21) << how;
        EXPECT_EQ(GetLanguageName(number), CString(row.name)) << how;
    };
    for (int number = 0; number < kLanguageCount; ++number) {
        const Row& row = rows[number];
        SetRegistryValue(u""); // no name: the locale decides
        for (LCID lcid : row.locales) {
            platform::testing::SetSystemLocale(lcid);
            const std::string how = "number " + std::to_string(number) + " from locale " + std::to_string(lcid);
            expectLanguage(number, Code(), how.c_str());
        }
        // By name, on a system whose locale says otherwise.
        const LCID elsewhere = number == 2 ? 0x0419 : 0x0411;
        platform::testing::SetSystemLocale(elsewhere);
        SetRegistryValue(row.name);
        const std::string how = "number " + std::to_string(number) + " from the registry";
        if (row.registryName)
            expectLanguage(number, Code(), how.c_str());
        else
            expectLanguage(LanguageFromLcid(elsewhere), Code(), (how + ", a name it does not take").c_str());
        EXPECT_EQ(ChooseLanguageNumber(kIniDropCharsDataSource),
                  row.registryName ? number : LanguageFromLcid(elsewhere))
            << "the device-scan program chooses alike: " << how;
    }
}

TEST_F(LanguageTest, NamesOfLanguageNumbers) {
    EXPECT_EQ(GetLanguageName(0), CString(u"Simplified_Chinese"));
    EXPECT_EQ(GetLanguageName(21), CString(u"Hebrew"));
    EXPECT_TRUE(GetLanguageName(22).IsEmpty());
    EXPECT_TRUE(GetLanguageName(-1).IsEmpty());
}

// The libraries built from resources/strings, as the window loads them from the module folder.
class LanguageLibraryTest : public ::testing::Test {
protected:
    static std::string ModuleDir() {
        if (const char* folder = std::getenv("MODULE_DIR"))
            return folder;
        if (const char* stage = std::getenv("STAGE_DIR"))
            return std::string(stage) + "/twain/kvx7731";
        return {};
    }
    static HMODULE Load(const char* file) {
        std::u16string path = platform::path::ToDosPath(ModuleDir()) + u"\\";
        path.append(file, file + std::strlen(file));
        return LoadLibraryW(path.c_str());
    }
    void SetUp() override {
        if (ModuleDir().empty())
            GTEST_SKIP() << "MODULE_DIR (or STAGE_DIR) names the folder of the staged libraries";
    }
    void TearDown() override { AfxSetResourceHandle(nullptr); }
};

TEST_F(LanguageLibraryTest, AMissingIdReadsLoadStringError) {
    EXPECT_EQ(LoadResString(999), CString(u"Load String Error!")) << "no library made current";
    HMODULE english = Load("kvxtwrcenus.dll");
    ASSERT_NE(english, nullptr) << "the staged English library";
    AfxSetResourceHandle(english);
    EXPECT_EQ(LoadResString(1044), CString(u"Load String Error!"));
    EXPECT_EQ(LoadResString(1016), CString(u"Scan"));
    EXPECT_EQ(LoadResString(1125), CString(u"A file name cannot contain any of these characters:\n\\ / : * ? \" < > |"))
        << "escapes of the string table";
    EXPECT_EQ(LoadResString(1059), CString(u"90\u00B0 Clockwise"));
    EXPECT_EQ(LoadResString(1088), CString(u"Version ")) << "the version number follows directly";
    FreeLibrary(english);
}

TEST_F(LanguageLibraryTest, EveryLanguageCarriesTheSameIds) {
    const char* quennet[] = {"kvxtwrcenus.dll", "kvxtwrczhcn.dll", "kvxtwrche.dll"};
    const char* velmora[] = {"kvxpsrcenus.dll", "kvxpsrczhcn.dll", "kvxpsrche.dll"};
    for (auto [files, first, last, least] :
         {std::tuple{quennet, 1000u, 1155u, 140}, std::tuple{velmora, 8000u, 8030u, 19}}) {
        std::vector<UINT> englishIds;
        for (int lang = 0; lang < 3; ++lang) {
            HMODULE module = Load(files[lang]);
            ASSERT_NE(module, nullptr) << files[lang];
            std::vector<UINT> ids;
            WCHAR text[1024];
            for (UINT id = first; id <= last; ++id)
                if (LoadStringW(module, id, text, 1024) > 0)
                    ids.push_back(id);
            FreeLibrary(module);
            if (lang == 0)
                englishIds = ids;
            EXPECT_EQ(ids, englishIds) << files[lang];
            EXPECT_GE(static_cast<int>(ids.size()), least) << files[lang];
        }
    }
}

TEST_F(LanguageLibraryTest, HebrewAndChineseTextsAreTheirOwn) {
    HMODULE hebrew = Load("kvxtwrche.dll");
    ASSERT_NE(hebrew, nullptr);
    AfxSetResourceHandle(hebrew);
    EXPECT_EQ(LoadResString(1016), CString(u"\x05E1\x05E8\x05D9\x05E7\x05D4"));
    FreeLibrary(hebrew);
    HMODULE chinese = Load("kvxpsrczhcn.dll");
    ASSERT_NE(chinese, nullptr);
    AfxSetResourceHandle(chinese);
    EXPECT_EQ(LoadResString(8014), CString(u"\x9519\x8BEF"));
    FreeLibrary(chinese);
}

TEST_F(LanguageLibraryTest, TheProgressTextHoldsExactlyOneZero) {
    // Every "0" of string 8012 is replaced by the percent.
    for (const char* file : {"kvxpsrcenus.dll", "kvxpsrczhcn.dll", "kvxpsrche.dll"}) {
        HMODULE module = Load(file);
        ASSERT_NE(module, nullptr) << file;
        AfxSetResourceHandle(module);
        CString progress = LoadResString(8012);
        EXPECT_NE(progress.Find(u'0'), -1) << file;
        EXPECT_EQ(progress.Find(u'0'), progress.ReverseFind(u'0')) << file;
        FreeLibrary(module);
    }
}

} // namespace
