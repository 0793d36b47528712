// Where the INI file lies, how model keys are formed, and the feature and platform flags read from it.

#include "SettingsTestRoot.h"

#include "settings/PlatformFlags.h"

namespace {

std::string ToUtf8(const std::u16string& text) {
    char out[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
    return out;
}

struct IniPathCase {
    const char16_t* modulePath;
    int dropChars;
    const char16_t* iniPath;
    const char16_t* folderName;
};

TEST(IniPathRule, DropsTheModulesTrailingCharacters) {
    const IniPathCase cases[] = {
        {u"C:\\Windows\\twain_32\\kvx7718\\Scanner64.ds", kIniDropCharsDataSource, u"C:\\Windows\\Scanner.ini",
         u"kvx7718"},
        {u"C:\\Program Files\\Korvel\\ScannerVazeDozi.exe", kIniDropCharsDeviceScan, u"C:\\Windows\\Scanner.ini",
         u"Korvel"},
        {u"C:\\x\\abcd", kIniDropCharsDataSource, u"C:\\Windows\\.ini", u"x"},  // shorter than N: nothing left
        {u"C:\\x\\abcde", kIniDropCharsDataSource, u"C:\\Windows\\.ini", u"x"}, // exactly N
        {u"C:\\Scanner64.ds", kIniDropCharsDataSource, u"C:\\Windows\\Scanner.ini", u"(kept)"}, // no folder name
        {u"Scanner64.ds", kIniDropCharsDataSource, u"C:\\Windows\\Scanner.ini", u"(kept)"},     // no backslash at all
    };
    for (const IniPathCase& c : cases) {
        WCHAR out[MAX_PATH];
        WCHAR folder[MAX_PATH] = u"(kept)";
        FormIniPath(u"C:\\Windows", c.modulePath, c.dropChars, out, folder);
        EXPECT_EQ(std::u16string(out), std::u16string(c.iniPath)) << ToUtf8(c.modulePath);
        EXPECT_EQ(std::u16string(folder), std::u16string(c.folderName)) << ToUtf8(c.modulePath);
    }
}

TEST(IniPathRule, NoModulePathAndOverlongResultGiveNothing) {
    WCHAR out[MAX_PATH] = u"stale";
    FormIniPath(u"C:\\Windows", u"", kIniDropCharsDataSource, out, nullptr);
    EXPECT_EQ(out[0], 0);

    std::u16string longName = u"C:\\m\\" + std::u16string(250, u'n') + u"64.ds";
    FormIniPath(u"C:\\Windows", longName.c_str(), kIniDropCharsDataSource, out, nullptr);
    EXPECT_EQ(out[0], 0) << "a cut path would name another file";
}

TEST(IniPathRule, LongFolderNamesAreKeptWhole) {
    std::u16string folderName(70, u'f');
    std::u16string path = u"C:\\twain\\" + folderName + u"\\Scanner64.ds";
    WCHAR out[MAX_PATH];
    WCHAR folder[MAX_PATH] = {};
    FormIniPath(u"C:\\Windows", path.c_str(), kIniDropCharsDataSource, out, folder);
    EXPECT_EQ(std::u16string(folder), folderName);
}

class IniFlagsTest : public SettingsTestRoot {
protected:
    // The flags are never reset while the module lives: the next test starts with a freshly loaded module's.
    void TearDown() override {
        for (std::atomic<BOOL>* flag : {&g_bIsPlatformWren, &g_bIsPlatformWren_RGB, &g_bIsPlatformIbis, &g_bIsBriselA3,
                                        &g_bIsPlatformOrca, &g_bHasA3, &g_bHasAutoCrop, &g_bHasHorizontal})
            *flag = FALSE;
        SettingsTestRoot::TearDown();
    }
};

// The tests run inside the test program, so the model key is the name of the folder that holds it.
std::u16string ModelKey(const std::u16string& format) {
    WCHAR key[MAX_PATH];
    FormatModelKey(format.c_str(), key);
    return key;
}

TEST_F(IniFlagsTest, GetIniPathUsesTheWindowsFolderAndRefreshesTheModelKey) {
    WCHAR windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::u16string ini(m_ini);
    EXPECT_EQ(ini.substr(0, ini.rfind(u'\\')), std::u16string(windows));
    EXPECT_EQ(ini.substr(ini.size() - 4), u".ini");
    WCHAR name[MAX_PATH];
    GetModelKeyName(name);
    EXPECT_NE(name[0], 0);
    EXPECT_EQ(std::u16string(g_szModuleFolderName), std::u16string(name).substr(0, 63));
    EXPECT_EQ(ModelKey(u"HasADF(%s)"), u"HasADF(" + std::u16string(name) + u")");
}

TEST_F(IniFlagsTest, BooleanKeysMatchExactlyAndCaseSensitively) {
    SetIni(u"TWAIN", ModelKey(u"HasADF(%s)"), u"false");
    SetIni(u"TWAIN", ModelKey(u"HasManualDuplex(%s)"), u"FALSE");
    SetIni(u"TWAIN", ModelKey(u"IsAutoduplex(%s)"), u"True");
    EXPECT_FALSE(ModelValueIs(u"HasADF(%s)", u"FALSE")) << "a lower-case false keeps the feeder";
    EXPECT_TRUE(ModelValueIs(u"HasManualDuplex(%s)", u"FALSE"));
    EXPECT_FALSE(ModelValueIs(u"IsAutoduplex(%s)", u"TRUE"));
}

TEST_F(IniFlagsTest, PlatformFlagsAreSetOnlyByTheirOwnModel) {
    SetIni(u"TWAIN", u"IsPlatformIbis(kvx9999)", u"TRUE");
    SetIni(u"TWAIN", ModelKey(u"IsPlatformWren(%s)"), u"true");
    ReadPlatformIbisFlag();
    ReadPlatformWrenFlags();
    EXPECT_FALSE(g_bIsPlatformIbis) << "a key of another model folder has no effect";
    EXPECT_FALSE(g_bIsPlatformWren);
    EXPECT_EQ(GetDefaultGamma(), 18);
    EXPECT_EQ(GetDefaultThreshold(), 72);
    EXPECT_EQ(GetDefaultErrorStringId(), 1101u);
    EXPECT_EQ(GetDefaultPaperIndex(), 5);
    EXPECT_FALSE(CheckPlatformOrcaFolder());
}

TEST_F(IniFlagsTest, FlagsOnceSetStaySet) {
    SetIni(u"TWAIN", ModelKey(u"IsPlatformWren_RGB(%s)"), u"TRUE");
    SetIni(u"TWAIN", ModelKey(u"IsBriselA3(%s)"), u"TRUE");
    ReadPlatformWrenFlags();
    ReadBriselA3Flag();
    EXPECT_TRUE(g_bIsPlatformWren_RGB);
    EXPECT_FALSE(g_bIsPlatformWren);
    EXPECT_TRUE(g_bIsBriselA3);
    SetIni(u"TWAIN", ModelKey(u"IsBriselA3(%s)"), u"FALSE");
    ReadBriselA3Flag();
    EXPECT_TRUE(g_bIsBriselA3) << "the flags are never reset while the module lives";

    SetIni(u"TWAIN", ModelKey(u"IsPlatformIbis(%s)"), u"TRUE");
    ReadPlatformIbisFlag();
    EXPECT_EQ(GetDefaultGamma(), 10);
    EXPECT_EQ(GetDefaultThreshold(), 183);
    EXPECT_EQ(GetDefaultErrorStringId(), 1154u);
    g_bHasA3 = TRUE;
    EXPECT_EQ(GetDefaultPaperIndex(), 7);
}

TEST_F(IniFlagsTest, MissingFileReadsAsEmpty) {
    std::u16string ini(m_ini);
    std::filesystem::remove(Host("Windows/" + Narrow(ini.substr(ini.rfind(u'\\') + 1))));
    WCHAR value[MAX_PATH] = u"stale";
    ReadModelValue(u"Product Name(%s)", value);
    EXPECT_EQ(value[0], 0);
    EXPECT_FALSE(ModelValueIs(u"HasADF(%s)", u"FALSE")) << "absent means a feeder";
}

} // namespace
