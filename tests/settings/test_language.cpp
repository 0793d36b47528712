// The user-interface language: the choice from the registry and from the system locale, the globals it sets, and
// strings from the language libraries.
#include "settings/Language.h"

#include "platform/base/afxcore.h"
#include "platform/base/path.h"
#include "platform/base/winnls.h"
#include "platform/base/wstring.h"

#include "SettingsTestRoot.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
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

// The renderer takes the forms of Han characters from the user-interface language; the language chosen from the
// registry is that language on any locale.
TEST_F(LanguageTest, TheChosenLanguageBecomesTheProcessUserInterfaceLanguage) {
    auto preferred = []() {
        WCHAR list[16] = {};
        ULONG count = 0, size = 16;
        EXPECT_TRUE(GetProcessPreferredUILanguages(MUI_LANGUAGE_ID, &count, list, &size));
        return std::u16string(list);
    };
    struct Case {
        LCID locale;
        const WCHAR* registry;
        const char16_t* expected;
    };
    const Case cases[] = {
        {0x0409, u"Simplified_Chinese", u"0804"},
        {0x0411, u"Simplified_Chinese", u"0804"},
        {0x0409, u"Traditional_Chinese", u"0404"},
        {0x0804, u"Traditional_Chinese", u"0404"},
        {0x0804, u"Japanese", u"0411"},
        {0x0409, u"Hebrew", u"040D"},
        {0x0411, u"Danish", u"0411"}, // not one of the sixteen: the locale's language
    };
    for (const Case& c : cases) {
        platform::testing::SetSystemLocale(c.locale);
        SetRegistryValue(c.registry);
        Code();
        EXPECT_EQ(preferred(), c.expected)
            << "registry " << platform::ToUtf8(c.registry) << ", locale " << std::hex << c.locale;
    }
    SetUiLanguage(2);
    EXPECT_EQ(preferred(), u"0411");
    SetProcessPreferredUILanguages(MUI_LANGUAGE_ID, nullptr, nullptr);
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

TEST_F(LanguageTest, EveryLibraryCodeOnceAndTheSharedEnglishOne) {
    std::vector<std::u16string> codes;
    for (const WCHAR* code : LanguageLibraryCodes())
        codes.emplace_back(code);
    EXPECT_EQ(codes, (std::vector<std::u16string>{u"zhcn", u"enus", u"ja", u"ru", u"pt", u"esmx", u"fr", u"pl", u"de",
                                                  u"it", u"ar", u"tr", u"no", u"sv", u"zhtw", u"he"}));
    EXPECT_EQ(LanguageNumberOfCode(u"enus"), 1) << "Danish to Hungarian read English's library";
    EXPECT_EQ(LanguageNumberOfCode(u"he"), 21);
    EXPECT_EQ(LanguageNumberOfCode(u"da"), -1);
    EXPECT_EQ(LanguageNumberOfCode(nullptr), -1);
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

// Every string of a library by id.
std::map<UINT, std::u16string> Strings(HMODULE module) {
    std::map<UINT, std::u16string> out;
    // Strings come in blocks of sixteen: block k holds the ids 16 (k - 1) to 16 k - 1.
    for (UINT block = 1; block <= 4096; ++block) {
        if (!FindResourceW(module, MAKEINTRESOURCEW(block), RT_STRING))
            continue;
        for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
            const WCHAR* text = nullptr;
            if (int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0); length > 0)
                out[id] = std::u16string(text, static_cast<size_t>(length));
        }
    }
    return out;
}

// The library's other resources (layouts, cursors, icons...) as (type, id).
std::set<std::pair<LPCWSTR, UINT>> OtherResources(HMODULE module) {
    std::set<std::pair<LPCWSTR, UINT>> out;
    for (LPCWSTR type : {RT_CURSOR, RT_BITMAP, RT_ICON, RT_DIALOG, RT_RCDATA, RT_GROUP_CURSOR, RT_GROUP_ICON})
        for (UINT id = 1; id <= 0xFFFF; ++id)
            if (FindResourceW(module, MAKEINTRESOURCEW(id), type))
                out.emplace(type, id);
    return out;
}

// The printf conversions of a text in order ("%d", "%.2f", "%s"...); "%%" and a lone "%" are plain text.
std::vector<std::u16string> Placeholders(const std::u16string& text) {
    static const std::u16string kFlags = u"-+ #0", kLength = u"hlLqjztI", kConversions = u"diouxXeEfgGaAcCsSpn";
    std::vector<std::u16string> out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%')
            continue;
        size_t j = i + 1;
        if (j < text.size() && text[j] == u'%') {
            i = j;
            continue;
        }
        while (j < text.size() && kFlags.find(text[j]) != std::u16string::npos)
            ++j;
        while (j < text.size() && ((text[j] >= u'0' && text[j] <= u'9') || text[j] == u'*' || text[j] == u'.'))
            ++j;
        while (j < text.size() && kLength.find(text[j]) != std::u16string::npos)
            ++j;
        if (j < text.size() && kConversions.find(text[j]) != std::u16string::npos) {
            out.push_back(text.substr(i, j - i + 1));
            i = j;
        }
    }
    return out;
}

// Keyboard accelerators: each "&" before a character other than "&" ("&&" shows one ampersand).
int Accelerators(const std::u16string& text) {
    int count = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] != u'&')
            ++count;
        ++i;
    }
    return count;
}

// A dialog layout less its texts: what a translated copy must keep from the English one.
std::string LayoutWithoutTexts(HMODULE module, UINT id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    if (!found)
        return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string out;
    bool quoted = false, comment = false, lineStart = true;
    for (const char* c = data; c < data + SizeofResource(module, found); ++c) {
        if (lineStart && *c == '#')
            comment = true;
        lineStart = *c == '\n';
        if (comment) {
            comment = *c != '\n';
            continue;
        }
        if (quoted && *c == '\\' && c + 1 < data + SizeofResource(module, found)) {
            ++c;
            continue;
        }
        if (*c == '"')
            quoted = !quoted;
        else if (!quoted)
            out += *c;
    }
    return out;
}

// Every code of the language table once, as file names spell it.
std::vector<std::string> LibraryCodes() {
    std::vector<std::string> codes;
    for (const WCHAR* code : LanguageLibraryCodes())
        codes.push_back(platform::ToUtf8(code));
    return codes;
}

TEST_F(LanguageLibraryTest, SixteenCodesHaveLibrariesOfBothPrograms) {
    const std::vector<std::string> codes = LibraryCodes();
    ASSERT_EQ(codes.size(), 16u);
    for (const std::string& code : codes)
        for (const char* program : {"twrc", "psrc"}) {
            const std::string file = std::string("kvx") + program + code + ".dll";
            HMODULE module = Load(file.c_str());
            EXPECT_NE(module, nullptr) << file;
            if (module)
                FreeLibrary(module);
        }
}

TEST_F(LanguageLibraryTest, EveryLibraryHasWhatTheEnglishOneHas) {
    // The same string ids, each with the English text's placeholders in the same order and as many keyboard
    // accelerators, and the same other resources (layouts, cursors, icons).
    for (const char* program : {"twrc", "psrc"}) {
        HMODULE englishModule = Load((std::string("kvx") + program + "enus.dll").c_str());
        ASSERT_NE(englishModule, nullptr);
        const std::map<UINT, std::u16string> english = Strings(englishModule);
        const std::set<std::pair<LPCWSTR, UINT>> englishOthers = OtherResources(englishModule);
        FreeLibrary(englishModule);
        ASSERT_GE(english.size(), 19u);
        for (const std::string& code : LibraryCodes()) {
            const std::string file = std::string("kvx") + program + code + ".dll";
            HMODULE module = Load(file.c_str());
            ASSERT_NE(module, nullptr) << file;
            const std::map<UINT, std::u16string> library = Strings(module);
            for (const auto& [type, id] : englishOthers)
                EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(id), type), nullptr)
                    << file << " lacks resource " << id << " of type " << reinterpret_cast<ULONG_PTR>(type);
            FreeLibrary(module);
            for (const auto& [id, text] : english) {
                auto it = library.find(id);
                if (it == library.end()) {
                    ADD_FAILURE() << file << " lacks string " << id << " (English: \"" << platform::ToUtf8(text)
                                  << "\")";
                    continue;
                }
                EXPECT_EQ(Placeholders(it->second), Placeholders(text)) << file << " string " << id;
                EXPECT_EQ(Accelerators(it->second), Accelerators(text)) << file << " string " << id;
            }
            for (const auto& [id, text] : library)
                EXPECT_TRUE(english.count(id)) << file << " has string " << id << ", which English has not";
        }
    }
}

TEST_F(LanguageLibraryTest, PlaceholdersAndAcceleratorsAreFoundAsPrintfAndWindowsReadThem) {
    EXPECT_EQ(Placeholders(u"%d of %s at %.2f%% (%5.1lf)"),
              (std::vector<std::u16string>{u"%d", u"%s", u"%.2f", u"%5.1lf"}));
    EXPECT_TRUE(Placeholders(u"Scanning... 0%").empty());
    EXPECT_TRUE(Placeholders(u"Taran\u0131yor... %0").empty());
    EXPECT_EQ(Accelerators(u"&Scan"), 1);
    EXPECT_EQ(Accelerators(u"Save && close"), 0);
    EXPECT_EQ(Accelerators(u"&Tom && &Jerry"), 2);
}

TEST_F(LanguageLibraryTest, TranslatedLayoutsKeepTheProgramsLayout) {
    // The device-scan program finds its settings and progress layouts in the language library first: a copy
    // whose controls moved or changed ids would break the window in that language.
    HMODULE englishModule = Load("kvxpsrcenus.dll");
    ASSERT_NE(englishModule, nullptr);
    const std::string settings = LayoutWithoutTexts(englishModule, 8000);
    const std::string progress = LayoutWithoutTexts(englishModule, 8002);
    FreeLibrary(englishModule);
    ASSERT_NE(settings.find("8004"), std::string::npos);
    ASSERT_NE(progress.find("8010"), std::string::npos);
    for (const std::string& code : LibraryCodes()) {
        const std::string file = "kvxpsrc" + code + ".dll";
        HMODULE module = Load(file.c_str());
        ASSERT_NE(module, nullptr) << file;
        EXPECT_EQ(LayoutWithoutTexts(module, 8000), settings) << file;
        EXPECT_EQ(LayoutWithoutTexts(module, 8002), progress) << file;
        FreeLibrary(module);
    }
}

TEST_F(LanguageLibraryTest, NumbersWithADecimalCommaKeepTheirLabelsFreeOfPoints) {
    // The histogram statistics (1077-1080), the About box's version (1088) and the pixel unit of the information
    // pane (1144) are shown with every "." of the whole text turned into the language's separator: a point in the
    // label itself would come out as a comma.
    for (const std::string& code : LibraryCodes()) {
        const int number = LanguageNumberOfCode(std::u16string(code.begin(), code.end()).c_str());
        if (GetLanguageInfo(number).decimalSep == u'.')
            continue;
        HMODULE module = Load(("kvxtwrc" + code + ".dll").c_str());
        ASSERT_NE(module, nullptr) << code;
        AfxSetResourceHandle(module);
        for (UINT id : {1077u, 1078u, 1079u, 1080u, 1088u, 1144u})
            EXPECT_EQ(LoadResString(id).Find(u'.'), -1) << code << " string " << id;
        AfxSetResourceHandle(nullptr);
        FreeLibrary(module);
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
    for (const std::string& code : LibraryCodes()) {
        const std::string file = "kvxpsrc" + code + ".dll";
        HMODULE module = Load(file.c_str());
        ASSERT_NE(module, nullptr) << file;
        AfxSetResourceHandle(module);
        CString progress = LoadResString(8012);
        EXPECT_NE(progress.Find(u'0'), -1) << file;
        EXPECT_EQ(progress.Find(u'0'), progress.ReverseFind(u'0')) << file;
        FreeLibrary(module);
    }
}

} // namespace
