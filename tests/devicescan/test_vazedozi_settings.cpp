// vazedozi_settings.dat: its place, its byte layout, and what a missing, short or damaged file gives.
#include "VelmoraTestRoot.h"

#include "devicescan/SaveFolder.h"
#include "devicescan/VazeDoziSettings.h"

#include <cstring>

namespace {

constexpr const char* kFile = "AppData/kvx/7731/vazedozi_settings.dat";

// The file's bytes for the given record fields (the folder as UTF-16, zero-padded to 520 bytes).
std::string Record(int32_t openFile, int32_t openFolder, const std::u16string& folder) {
    std::string bytes(528, '\0');
    std::memcpy(&bytes[0], &openFile, 4);
    std::memcpy(&bytes[4], &openFolder, 4);
    std::memcpy(&bytes[8], folder.data(), std::min<size_t>(folder.size(), 260) * 2);
    return bytes;
}

} // namespace

class VazeDoziSettingsTest : public VelmoraTestRoot {};

TEST_F(VazeDoziSettingsTest, LivesInTheSettingPathBelowApplicationDataAndCreatesItsFolders) {
    WCHAR path[MAX_PATH];
    GetVazeDoziSettingsPath(path);
    EXPECT_EQ(std::u16string(path), u"C:\\AppData\\kvx\\7731\\vazedozi_settings.dat");
    EXPECT_TRUE(std::filesystem::is_directory(Host("AppData/kvx/7731")));
}

TEST_F(VazeDoziSettingsTest, WithoutApplicationDataThePathIsEmptyAndReadingGivesTheDefaults) {
    platform::testing::SetKnownFoldersFail(true);
    WCHAR path[MAX_PATH];
    GetVazeDoziSettingsPath(path);
    VazeDoziSettings settings;
    const bool read = ReadVazeDoziSettings(settings);
    const bool written = WriteVazeDoziSettings(settings);
    platform::testing::SetKnownFoldersFail(false);
    EXPECT_EQ(path[0], 0);
    EXPECT_FALSE(read);
    EXPECT_FALSE(written);
}

TEST_F(VazeDoziSettingsTest, WritesExactly528BytesInTheDocumentedLayout) {
    VazeDoziSettings settings{};
    settings.openFile = 1;
    settings.openFolder = 0;
    wcscpy_s(settings.saveFolder, u"Z:\\scans\\office");
    // Whatever lies behind the terminator in the caller's buffer does not reach the file.
    settings.saveFolder[200] = u'X';
    ASSERT_TRUE(WriteVazeDoziSettings(settings));
    EXPECT_EQ(ReadBytes(Host(kFile)), Record(1, 0, u"Z:\\scans\\office"));

    VazeDoziSettings back;
    ASSERT_TRUE(ReadVazeDoziSettings(back));
    EXPECT_EQ(back.openFile, 1);
    EXPECT_EQ(back.openFolder, 0);
    EXPECT_EQ(std::u16string(back.saveFolder), u"Z:\\scans\\office");
}

TEST_F(VazeDoziSettingsTest, AMissingOrShortFileGivesTheDefaults) {
    VazeDoziSettings settings;
    EXPECT_FALSE(ReadVazeDoziSettings(settings));
    EXPECT_EQ(settings.openFile, 0);
    EXPECT_EQ(settings.openFolder, 1);
    EXPECT_EQ(std::u16string(settings.saveFolder), u"C:\\Pictures");

    // A file cut short would mix stored flags with a half folder: none of it is taken.
    std::string cut = Record(1, 0, u"Z:\\scans").substr(0, 527);
    std::filesystem::create_directories(Host("AppData/kvx/7731"));
    WriteBytes(Host(kFile), cut);
    EXPECT_FALSE(ReadVazeDoziSettings(settings));
    EXPECT_EQ(settings.openFile, 0);
    EXPECT_EQ(settings.openFolder, 1);
    EXPECT_EQ(std::u16string(settings.saveFolder), u"C:\\Pictures");
    EXPECT_EQ(ReadBytes(Host(kFile)), cut) << "reading never changes the file";
}

TEST_F(VazeDoziSettingsTest, AFolderWithoutTerminatorIsCutAtUnit259) {
    std::filesystem::create_directories(Host("AppData/kvx/7731"));
    WriteBytes(Host(kFile), Record(0, 1, std::u16string(260, u'a')) + "trailing bytes are ignored");
    VazeDoziSettings settings;
    ASSERT_TRUE(ReadVazeDoziSettings(settings));
    EXPECT_EQ(std::u16string(settings.saveFolder), std::u16string(259, u'a'));
}

TEST_F(VazeDoziSettingsTest, AFileThatCannotBeOpenedForWritingGivesTheDefaults) {
    std::filesystem::create_directories(Host("AppData/kvx/7731"));
    WriteBytes(Host(kFile), Record(1, 0, u"Z:\\scans"));
    std::filesystem::permissions(Host(kFile), std::filesystem::perms::owner_read);
    VazeDoziSettings settings;
    const bool read = ReadVazeDoziSettings(settings);
    std::filesystem::permissions(Host(kFile), std::filesystem::perms::owner_all);
    EXPECT_FALSE(read);
    EXPECT_EQ(settings.openFolder, 1);
}

TEST(SaveFolderTest, ABackslashIsAddedOnlyWhenMissingAndOnlyWhenItFits) {
    WCHAR folder[MAX_PATH] = u"C:\\scans";
    EXPECT_TRUE(AddFolderBackslash(folder));
    EXPECT_EQ(std::u16string(folder), u"C:\\scans\\");
    EXPECT_TRUE(AddFolderBackslash(folder));
    EXPECT_EQ(std::u16string(folder), u"C:\\scans\\");

    WCHAR root[MAX_PATH] = u"C:\\";
    EXPECT_TRUE(AddFolderBackslash(root));
    EXPECT_EQ(std::u16string(root), u"C:\\");

    WCHAR full[MAX_PATH];
    std::u16string long259(259, u'a');
    wcscpy_s(full, long259.c_str());
    EXPECT_FALSE(AddFolderBackslash(full));
    EXPECT_EQ(std::u16string(full), long259);
}

class FolderProbeTest : public VelmoraTestRoot {
protected:
    SYSTEMTIME m_now{2024, 3, 0, 9, 14, 5, 7, 0};
};

TEST_F(FolderProbeTest, LeavesNothingBehindInAWritableFolder) {
    std::filesystem::create_directories(Host("scans"));
    EXPECT_TRUE(ProbeFolderWrite(u"C:\\scans\\", m_now));
    EXPECT_TRUE(std::filesystem::is_empty(Host("scans")));
}

TEST_F(FolderProbeTest, NeverDeletesAFileItDidNotCreate) {
    std::filesystem::create_directories(Host("scans"));
    WriteBytes(Host("scans/240309140507temp.dat"), "the user's own file");
    WriteBytes(Host("scans/240309140507temp1.dat"), "another one");
    EXPECT_TRUE(ProbeFolderWrite(u"C:\\scans\\", m_now));
    EXPECT_EQ(ReadBytes(Host("scans/240309140507temp.dat")), "the user's own file");
    EXPECT_EQ(ReadBytes(Host("scans/240309140507temp1.dat")), "another one");
    EXPECT_FALSE(std::filesystem::exists(Host("scans/240309140507temp2.dat")));
}

TEST_F(FolderProbeTest, FailsInAMissingOrReadOnlyFolder) {
    EXPECT_FALSE(ProbeFolderWrite(u"C:\\missing\\", m_now));
    EXPECT_NE(GetLastError(), 0u);
    std::filesystem::create_directories(Host("readonly"));
    std::filesystem::permissions(Host("readonly"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool probed = ProbeFolderWrite(u"C:\\readonly\\", m_now);
    std::filesystem::permissions(Host("readonly"), std::filesystem::perms::owner_all);
    EXPECT_FALSE(probed);
}
