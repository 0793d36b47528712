// The scan-settings store: named and current records in settings.dat, version resets, and the names the file
// format cannot carry.
#include "settings/CfgFileHlper.h"
#include "settings/ScanParam.h"
#include "settings/SettingStore.h"

#include "platform/base/path.h"

#include "SettingsTestRoot.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using Record = std::array<BYTE, kScanParamSize>;

Record MakeRecord(int resolution) {
    ScanParam param{};
    param.colorMode = 2;
    param.resolution = resolution;
    param.adv[18] = 2;
    std::strcpy(param.szHostAddress, "192.168.1.20");
    Record record;
    std::memcpy(record.data(), &param, sizeof param);
    return record;
}

class SettingStoreTest : public SettingsTestRoot {
protected:
    void SetUp() override {
        SettingsTestRoot::SetUp();
        SetIni(u"TWAIN", u"Setting Folder", u"\\Kvx");
        SetIni(u"TWAIN", u"Setting Path", u"\\Kvx\\Scan\\");
        g_bAppMode = FALSE;
    }
    void TearDown() override {
        platform::testing::SetKnownFoldersFail(false);
        g_bAppMode = FALSE;
        SettingsTestRoot::TearDown();
    }
    std::string FileBytes(const char* name = "settings.dat") { return ReadBytes(Host("AppData/Kvx/Scan/") + name); }
    std::vector<std::u16string> Names() {
        WCHAR buffers[20][128] = {};
        WCHAR* names[20];
        for (int i = 0; i < 20; ++i)
            names[i] = buffers[i];
        int n = ListNamedSettings(names, 20);
        return std::vector<std::u16string>(buffers, buffers + n);
    }
};

TEST_F(SettingStoreTest, TheFileLiesUnderTheSettingPathOfApplicationData) {
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(GetSettingsFilePath(path));
    EXPECT_EQ(std::u16string(path), u"C:\\AppData\\Kvx\\Scan\\settings.dat");
    g_bAppMode = TRUE;
    ASSERT_TRUE(GetSettingsFilePath(path));
    EXPECT_EQ(std::u16string(path), u"C:\\AppData\\Kvx\\Scan\\APPsettings.dat");
}

TEST_F(SettingStoreTest, InitialisationWritesTheContainers) {
    const std::string expected = "<object:cfgobj,type:null,len:0,childobjs:2>\n"
                                 "<object:version,type:string,len:8,childobjs:0>1.0.0.1\0<endobj>\n"
                                 "<object:ScanParam,type:null,len:0,childobjs:3>\n"
                                 "<object:savesetting,type:null,len:0,childobjs:0>\n<endobj>\n"
                                 "<object:cursetting,type:null,len:0,childobjs:0>\n<endobj>\n"
                                 "<object:cuspapersetting,type:null,len:0,childobjs:0>\n<endobj>\n"
                                 "<endobj>\n<endobj>\n"s;
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_EQ(FileBytes(), expected);
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_EQ(FileBytes(), expected) << "a second initialisation adds nothing";
}

TEST_F(SettingStoreTest, SavingANameAgainReplacesItAndMovesItToTheEnd) {
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Photo", MakeRecord(1).data()));
    ASSERT_TRUE(SaveNamedSetting(u"Text", MakeRecord(2).data()));
    ASSERT_TRUE(SaveNamedSetting(u"Photo", MakeRecord(3).data()));
    EXPECT_EQ(Names(), (std::vector<std::u16string>{u"Text", u"Photo"}));
    Record loaded{};
    ASSERT_TRUE(LoadNamedSetting(u"Photo", loaded.data()));
    EXPECT_EQ(loaded, MakeRecord(3));
}

TEST_F(SettingStoreTest, NamesUpTo40CharactersAreStored) {
    ASSERT_TRUE(InitSettingsFile());
    std::u16string forty(40, u'n');
    std::u16string fortyOne(41, u'n');
    Record record = MakeRecord(2);
    EXPECT_TRUE(SaveNamedSetting(forty.c_str(), record.data()));
    EXPECT_TRUE(LoadNamedSetting(forty.c_str(), record.data()));
    EXPECT_FALSE(SaveNamedSetting(fortyOne.c_str(), record.data()));
    EXPECT_FALSE(LoadNamedSetting(fortyOne.c_str(), record.data()));
    EXPECT_FALSE(DeleteNamedSetting(fortyOne.c_str()));
    EXPECT_FALSE(SaveCurrentSetting(fortyOne.c_str(), record.data()));
    EXPECT_TRUE(DeleteNamedSetting(forty.c_str()));
    EXPECT_FALSE(DeleteNamedSetting(forty.c_str())) << "nothing left to delete";
}

TEST_F(SettingStoreTest, NamesTheFileCannotGiveBackAreRefused) {
    ASSERT_TRUE(InitSettingsFile());
    Record record = MakeRecord(2);
    EXPECT_FALSE(SaveNamedSetting(u"a,b", record.data()));
    EXPECT_FALSE(SaveNamedSetting(u"a>b", record.data()));
    EXPECT_FALSE(SaveCurrentSetting(u"x,y", record.data()));
    EXPECT_TRUE(SaveNamedSetting(u"a:b<c", record.data()));
    EXPECT_TRUE(SaveNamedSetting(u"\x7167\x7247", record.data())) << "a name outside ASCII";
    EXPECT_EQ(Names(), (std::vector<std::u16string>{u"a:b<c", u"\x7167\x7247"}));
}

TEST_F(SettingStoreTest, NamesAreCaseSensitive) {
    ASSERT_TRUE(InitSettingsFile());
    Record record = MakeRecord(2);
    ASSERT_TRUE(SaveNamedSetting(u"Photo", record.data()));
    EXPECT_FALSE(LoadNamedSetting(u"photo", record.data()));
    EXPECT_FALSE(LoadNamedSetting(u"Photo", nullptr));
}

TEST_F(SettingStoreTest, AChangedVersionStartsFromAnEmptyStore) {
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Photo", MakeRecord(1).data()));
    ASSERT_TRUE(SaveCurrentSetting(u"Photo", MakeRecord(1).data()));
    SetIni(u"TWAIN", u"Version", u"1.0.0.2");
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_TRUE(Names().empty());
    Record record{};
    WCHAR name[128];
    EXPECT_FALSE(LoadCurrentSetting(record.data(), name));
}

TEST_F(SettingStoreTest, TheWholeVersionTextIsCompared) {
    SetIni(u"TWAIN", u"Version", u"10.20.30.40.50.60.70.1");
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Keep", MakeRecord(1).data()));
    SetIni(u"TWAIN", u"Version", u"10.20.30.40.50.60.70.2"); // differs only past 20 characters
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_TRUE(Names().empty());
}

TEST_F(SettingStoreTest, AFileCutShortKeepsEveryWholeSettingAndIsKeptAside) {
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Photo", MakeRecord(1).data()));
    ASSERT_TRUE(SaveNamedSetting(u"Text", MakeRecord(3).data()));
    ASSERT_TRUE(SaveCurrentSetting(u"Text", MakeRecord(3).data()));
    const std::string whole = FileBytes();
    std::vector<std::u16string> log;
    platform::debug::SetSink([&log](std::u16string_view line) { log.emplace_back(line); });
    // Only the closing tags are lost, or a container's tag is cut in the middle: every record is still whole.
    for (size_t cut : {2u, 9u, 30u, 60u}) {
        const std::string damaged = whole.substr(0, whole.size() - cut);
        WriteBytes(Host("AppData/Kvx/Scan/settings.dat"), damaged);
        log.clear();
        ASSERT_TRUE(InitSettingsFile()) << cut;
        EXPECT_EQ(Names(), (std::vector<std::u16string>{u"Photo", u"Text"})) << "cut by " << cut;
        Record record{};
        EXPECT_TRUE(LoadNamedSetting(u"Photo", record.data())) << cut;
        EXPECT_EQ(record, MakeRecord(1)) << cut;
        WCHAR name[128] = {};
        EXPECT_TRUE(LoadCurrentSetting(record.data(), name)) << cut;
        EXPECT_EQ(std::u16string(name), u"Text") << cut;
        EXPECT_EQ(record, MakeRecord(3)) << cut;
        EXPECT_EQ(FileBytes(), whole) << "cut by " << cut << ": the store is whole again";
        EXPECT_EQ(FileBytes("settings.dat.damaged"), damaged) << "the damaged file is kept as it was";
        bool said = false;
        for (const std::u16string& line : log)
            said = said || (line.find(u"settings.dat is damaged; kept as ") != std::u16string::npos &&
                            line.find(u"settings.dat.damaged") != std::u16string::npos);
        EXPECT_TRUE(said) << "cut by " << cut << ": the debug output tells where the damaged file went";
    }

    // Cut inside the second record: it goes, the first stays.
    const size_t textRecord = whole.find("<object:Text,");
    ASSERT_NE(textRecord, std::string::npos);
    WriteBytes(Host("AppData/Kvx/Scan/settings.dat"), whole.substr(0, textRecord + 100));
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_EQ(Names(), std::vector<std::u16string>{u"Photo"});
    platform::debug::SetSink({});
}

TEST_F(SettingStoreTest, AFileWithoutAUsableTreeIsKeptAsideAndStartedAfresh) {
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Photo", MakeRecord(1).data()));
    const std::string bytes = FileBytes();
    // Cut before the version's text is whole: nothing tells which package wrote it.
    const std::string damaged = bytes.substr(0, bytes.find("1.0.0.1") + 3);
    WriteBytes(Host("AppData/Kvx/Scan/settings.dat"), damaged);
    EXPECT_EQ(ListNamedSettings(nullptr, 0), 0) << "a cut file is no tree";
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_TRUE(Names().empty());
    EXPECT_EQ(FileBytes("settings.dat.damaged"), damaged);
    EXPECT_TRUE(SaveNamedSetting(u"Again", MakeRecord(1).data()));

    WriteBytes(Host("AppData/Kvx/Scan/settings.dat"), "no tree at all");
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_TRUE(Names().empty());
    EXPECT_EQ(FileBytes("settings.dat.damaged"), "no tree at all");
}

TEST_F(SettingStoreTest, AFileThatCannotBeOpenedIsUnavailableNotReset) {
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Photo", MakeRecord(1).data()));
    const std::string before = FileBytes();
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(GetSettingsFilePath(path));
    // Another reader holds the file and lets no one write it (but would let it be deleted).
    HANDLE reader = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(InitSettingsFile()) << "the store is unavailable";
    CloseHandle(reader);
    EXPECT_EQ(FileBytes(), before) << "the saved settings are kept";
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_EQ(Names(), std::vector<std::u16string>{u"Photo"});
}

TEST_F(SettingStoreTest, AVersionNodeWithoutDataIsNoMatch) {
    WriteBytes(Host("AppData/Kvx/Scan/settings.dat"),
               "<object:cfgobj,type:null,len:0,childobjs:1>\n<object:version,type:string,len:0,childobjs:0>\n"
               "<endobj>\n<endobj>\n");
    SetIni(u"TWAIN", u"Version", u"");
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_NE(FileBytes().find("<object:version,type:string,len:1,childobjs:0>\0<endobj>"s), std::string::npos)
        << "rewritten afresh";
}

TEST_F(SettingStoreTest, CountingTouchesNoBuffer) {
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"A", MakeRecord(1).data()));
    ASSERT_TRUE(SaveNamedSetting(u"B", MakeRecord(1).data()));
    EXPECT_EQ(ListNamedSettings(nullptr, 0), 2);
    EXPECT_EQ(ListNamedSettings(nullptr, 1), 2);
}

TEST_F(SettingStoreTest, TheCurrentSettingKeepsItsNameAndRecord) {
    ASSERT_TRUE(InitSettingsFile());
    Record record{};
    WCHAR name[128] = u"CurrentSettingName";
    EXPECT_FALSE(LoadCurrentSetting(record.data(), name)) << "none saved yet";
    ASSERT_TRUE(SaveCurrentSetting(u"Scan A", MakeRecord(1).data()));
    ASSERT_TRUE(SaveCurrentSetting(u"Scan B", MakeRecord(4).data()));
    ASSERT_TRUE(LoadCurrentSetting(record.data(), name));
    EXPECT_EQ(std::u16string(name), u"Scan B");
    EXPECT_EQ(record, MakeRecord(4));
    EXPECT_FALSE(LoadCurrentSetting(nullptr, name));
    EXPECT_FALSE(LoadCurrentSetting(record.data(), nullptr));
}

TEST_F(SettingStoreTest, SavingTheCurrentSettingReplacesTheLastChildItself) {
    ASSERT_TRUE(InitSettingsFile());
    // A file written elsewhere with two current entries of one name: the last one is the one replaced.
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(GetSettingsFilePath(path));
    {
        std::unique_ptr<CfgFile, decltype(&CloseCfgFile)> file(LoadCfgFile(path), &CloseCfgFile);
        CfgFileHlper helper;
        CfgObject* current = helper.FindObject(file->root, u"cursetting", false);
        Record record = MakeRecord(1);
        helper.AddObject(current, u"A", "binary", record.data(), kScanParamSize);
        helper.AddObject(current, u"B", "binary", record.data(), kScanParamSize);
        helper.AddObject(current, u"A", "binary", record.data(), kScanParamSize);
        ASSERT_TRUE(SaveCfgFile(file.get()));
    }
    ASSERT_TRUE(SaveCurrentSetting(u"C", MakeRecord(2).data()));
    std::unique_ptr<CfgFile, decltype(&CloseCfgFile)> file(LoadCfgFile(path), &CloseCfgFile);
    CfgFileHlper helper;
    CfgObject* current = helper.FindObject(file->root, u"cursetting", false);
    ASSERT_EQ(current->children.size(), 3u);
    EXPECT_STREQ(current->children[0]->name, "A");
    EXPECT_STREQ(current->children[1]->name, "B");
    EXPECT_STREQ(current->children[2]->name, "C");
}

TEST_F(SettingStoreTest, ARecordOfAnotherLengthIsNeverLoaded) {
    ASSERT_TRUE(InitSettingsFile());
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(GetSettingsFilePath(path));
    {
        std::unique_ptr<CfgFile, decltype(&CloseCfgFile)> file(LoadCfgFile(path), &CloseCfgFile);
        CfgFileHlper helper;
        helper.AddObject(helper.FindObject(file->root, u"savesetting", false), u"Short", "binary", "abc", 3);
        helper.AddObject(helper.FindObject(file->root, u"cursetting", false), u"Short", "binary", "abc", 3);
        ASSERT_TRUE(SaveCfgFile(file.get()));
    }
    Record record{};
    WCHAR name[128];
    EXPECT_FALSE(LoadNamedSetting(u"Short", record.data()));
    EXPECT_FALSE(LoadCurrentSetting(record.data(), name));
}

TEST_F(SettingStoreTest, AFailedWriteIsReportedAndKeepsTheFile) {
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Kept", MakeRecord(1).data()));
    std::string before = FileBytes();
    std::filesystem::create_directory(Host("AppData/Kvx/Scan/settings.dat.new"));
    EXPECT_FALSE(SaveNamedSetting(u"Lost", MakeRecord(2).data()));
    EXPECT_FALSE(SaveCurrentSetting(u"Lost", MakeRecord(2).data()));
    EXPECT_FALSE(DeleteNamedSetting(u"Kept"));
    EXPECT_FALSE(InitSettingsFile());
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(SettingStoreTest, NormalAndApplicationModeKeepSeparateFiles) {
    ASSERT_TRUE(InitSettingsFile());
    ASSERT_TRUE(SaveNamedSetting(u"Twain", MakeRecord(1).data()));
    g_bAppMode = TRUE;
    ASSERT_TRUE(InitSettingsFile());
    EXPECT_TRUE(Names().empty());
    EXPECT_FALSE(FileBytes("APPsettings.dat").empty());
}

TEST_F(SettingStoreTest, WithoutApplicationDataThereIsNoStore) {
    platform::testing::SetKnownFoldersFail(true);
    WCHAR path[MAX_PATH] = u"stale";
    EXPECT_FALSE(GetSettingsFilePath(path));
    EXPECT_EQ(path[0], 0);
    EXPECT_FALSE(InitSettingsFile());
    EXPECT_FALSE(SaveNamedSetting(u"A", MakeRecord(1).data()));
    platform::testing::SetKnownFoldersFail(false);
    EXPECT_TRUE(std::filesystem::is_empty(Host("AppData"))) << "nothing written in an undefined place";
}

TEST_F(SettingStoreTest, WithoutTheStoreEveryOperationFails) {
    // The settings folder cannot be made (a file stands in its way): nothing can be loaded or saved.
    WriteBytes(Host("AppData/Kvx"), "not a folder");
    Record record = MakeRecord(1);
    WCHAR name[128];
    EXPECT_FALSE(InitSettingsFile());
    EXPECT_FALSE(SaveNamedSetting(u"A", record.data()));
    EXPECT_FALSE(LoadNamedSetting(u"A", record.data()));
    EXPECT_EQ(ListNamedSettings(nullptr, 0), 0);
    EXPECT_FALSE(LoadCurrentSetting(record.data(), name));
}

} // namespace
