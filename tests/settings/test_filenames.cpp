// Dated and numbered names of saved scans, the temporary data path, and the system probes.
#include "settings/FileNames.h"
#include "settings/SystemProbes.h"

#include "platform/base/path.h"
#include "tests/support/DebugLines.h"

#include "SettingsTestRoot.h"

namespace {

class FileNamesTest : public SettingsTestRoot {
protected:
    void SetUp() override {
        SettingsTestRoot::SetUp();
        SYSTEMTIME day{};
        day.wYear = 2024;
        day.wMonth = 3;
        day.wDay = 5;
        day.wHour = 10;
        platform::testing::SetLocalTime(day);
        std::filesystem::create_directories(Host("Scans"));
    }
    void TearDown() override {
        platform::testing::SetLocalTime(std::nullopt);
        platform::testing::SetCountryCode(std::nullopt);
        platform::testing::SetAllocationCap(std::nullopt);
        platform::testing::SetKnownFoldersFail(false);
        SettingsTestRoot::TearDown();
    }
    void Touch(const std::string& name) { WriteBytes(Host("Scans/" + name), "x"); }
    std::u16string Dated(const WCHAR* folder = u"C:\\Scans") {
        WCHAR out[MAX_PATH] = {};
        EXPECT_EQ(NextDatedFileName(folder, out), 1);
        return out;
    }
    std::u16string Numbered(const WCHAR* base) {
        WCHAR folder[MAX_PATH] = u"C:\\Scans";
        WCHAR out[MAX_PATH] = {};
        EXPECT_EQ(NextNumberedFileName(folder, base, out), 1);
        EXPECT_EQ(std::u16string(folder), u"C:\\Scans\\") << "the backslash is added in place";
        return out;
    }
};

TEST_F(FileNamesTest, TheFirstDatedNameOfADayIs001) {
    EXPECT_EQ(Dated(), u"2024-03-05_001");
}

TEST_F(FileNamesTest, DatedNamesContinueAfterTheHighestNumberOfTheDay) {
    Touch("2024-03-05_001.jpg");
    Touch("2024-03-05_010.tif");
    Touch("2024-03-04_050.jpg"); // another day
    EXPECT_EQ(Dated(), u"2024-03-05_011");
    EXPECT_EQ(Dated(u"C:\\Scans\\"), u"2024-03-05_011");
}

TEST_F(FileNamesTest, ADatedNameWithoutANumberCountsAsZero) {
    Touch("2024-03-05_.jpg");
    Touch("2024-03-05_abc.pdf");
    EXPECT_EQ(Dated(), u"2024-03-05_001");
}

TEST_F(FileNamesTest, NumberedNamesFollowTheBase) {
    EXPECT_EQ(Numbered(u"Scan"), u"Scan");
    Touch("Scan.jpg");
    EXPECT_EQ(Numbered(u"Scan"), u"Scan 1");
    Touch("Scan 4.pdf");
    EXPECT_EQ(Numbered(u"Scan"), u"Scan 5");
}

TEST_F(FileNamesTest, HugeNumbersInNamesDoNotOverflow) {
    Touch("Scan 99999999999999999999.jpg");
    std::u16string name = Numbered(u"Scan");
    EXPECT_EQ(name.rfind(u"Scan ", 0), 0u);
    EXPECT_LE(name.size(), 20u);
}

TEST_F(FileNamesTest, NamesNeverRunPastTheirBuffers) {
    std::u16string folder = u"C:\\" + std::u16string(250, u'f');
    WCHAR guarded[MAX_PATH + 8];
    std::fill(std::begin(guarded), std::end(guarded), u'#');
    EXPECT_EQ(NextDatedFileName(folder.c_str(), guarded), 1);
    EXPECT_EQ(guarded[MAX_PATH], u'#');

    WCHAR longFolder[MAX_PATH] = {};
    std::fill(longFolder, longFolder + MAX_PATH - 1, u'g');
    std::u16string longBase(300, u'b');
    std::fill(std::begin(guarded), std::end(guarded), u'#');
    EXPECT_EQ(NextNumberedFileName(longFolder, longBase.c_str(), guarded), 1);
    EXPECT_EQ(guarded[MAX_PATH], u'#');
    EXPECT_EQ(guarded[MAX_PATH - 1], 0) << "cut and terminated";
    EXPECT_EQ(longFolder[MAX_PATH - 1], 0);
}

TEST_F(FileNamesTest, TemporaryDataLivesInTmpdataOfApplicationData) {
    EXPECT_EQ(GetTempDataPath(u"", u"temp.bin"), CString(u"C:\\AppData\\Tmpdata\\temp.bin"));
    EXPECT_TRUE(std::filesystem::is_directory(Host("AppData/Tmpdata")));
    // Another folder is taken only while the base holds no such file.
    EXPECT_EQ(GetTempDataPath(u"C:\\Scans", u"x.bin"), CString(u"C:\\Scans\\x.bin"));
    WriteBytes(Host("AppData/Tmpdata/x.bin"), "x");
    EXPECT_EQ(GetTempDataPath(u"C:\\Scans", u"x.bin"), CString(u"C:\\AppData\\Tmpdata\\x.bin"));
}

TEST_F(FileNamesTest, TemporaryDataFallsBackToTheTemporaryFolder) {
    platform::testing::SetKnownFoldersFail(true);
    EXPECT_EQ(GetTempDataPath(u"", u"temp.bin"), CString(u"C:\\Temp\\Tmpdata\\temp.bin"));
}

TEST_F(FileNamesTest, LetterCountriesAreNotA4) {
    struct Case {
        int country;
        bool a4;
    };
    // Each range checked at both ends and just outside them.
    for (Case c : {Case{1, false}, Case{2, false}, Case{52, false}, Case{505, false}, Case{44, true}, Case{86, true},
                   Case{600, true}, Case{49, true}, Case{50, false}, Case{59, false}, Case{60, true}, Case{500, false},
                   Case{599, false}, Case{499, true}, Case{0, true}, Case{3, true}}) {
        platform::testing::SetCountryCode(c.country);
        EXPECT_EQ(IsA4Country(), c.a4) << "country " << c.country;
    }
}

TEST_F(FileNamesTest, TheBitmapProbeAsksForTheDibSize) {
    testsupport::DebugLines debug;
    debug.Capture();
    EXPECT_TRUE(CheckDibMemory(1001, 10, 1));
    std::vector<std::u16string> log = debug.Lines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), u"dwDIBSize 1: 11104") << "1004-byte rows plus the 1064-byte header";
    EXPECT_EQ(log.back(), u"checkMem ok");

    // Black and white: 1001 pixels take 126 bytes, padded to 128, plus a header with two palette entries.
    debug.Clear();
    EXPECT_TRUE(CheckDibMemory(1001, 10, 0));
    log = debug.Lines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), u"dwDIBSize 1: 1328") << "black and white rows are one bit a pixel";
    // Colour: three bytes a pixel, 3003 padded to 3004, plus the bare header.
    debug.Clear();
    EXPECT_TRUE(CheckDibMemory(1001, 10, 2));
    log = debug.Lines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), u"dwDIBSize 1: 30080") << "colour rows are three bytes a pixel";

    platform::testing::SetAllocationCap(1000);
    EXPECT_FALSE(CheckDibMemory(5100, 7020, 2));
    EXPECT_EQ(debug.Lines().back(), u"checkMem fasle");
}

} // namespace
