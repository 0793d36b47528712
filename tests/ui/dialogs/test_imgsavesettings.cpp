// "imgSaveSettings.dat": the record's bytes, its round trip, short, damaged and foreign files, where it lies and
// what happens without that place.
#include "DialogTest.h"

#include "platform/base/testing.h"
#include "tests/support/DebugLines.h"
#include "ui/dialogs/ImgSaveSettings.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using namespace dialogs_test;

std::string ReadBytes(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string WideAt(const std::string& bytes, size_t offset) {
    std::u16string text;
    for (size_t i = offset; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                    (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (unit == 0)
            break;
        text += unit;
    }
    return text;
}

std::int32_t IntAt(const std::string& bytes, size_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return static_cast<std::int32_t>(v);
}

ImgSaveSettings Sample() {
    ImgSaveSettings r{};
    wcscpy_s(r.szFolder, u"C:\\Pictures\\Scans");
    wcscpy_s(r.szName, u"2024-05-01_007");
    wcscpy_s(r.szType, u"png");
    r.nOpenFile = 1;
    r.nOpenFolder = 0;
    r.nMode = 1;
    wcscpy_s(r.szMailProgram, u"C:\\Program Files\\Mail\\mail.exe");
    r.nManualDuplex = 1;
    return r;
}

using ImgSaveSettingsTest = DialogTest;

TEST_F(ImgSaveSettingsTest, TheFileIsTheRecordByteForByte) {
    ImgSaveSettings record = Sample();
    // Left-overs behind a string's end are not written: the file's strings are zero-padded.
    record.szName[15] = u'X';
    ASSERT_TRUE(WriteImgSaveSettings(Dos("out.dat").c_str(), record));
    const std::string bytes = ReadBytes(Host("out.dat"));
    ASSERT_EQ(bytes.size(), 2100u);
    EXPECT_EQ(WideAt(bytes, 0), u"C:\\Pictures\\Scans");
    EXPECT_EQ(WideAt(bytes, 520), u"2024-05-01_007");
    EXPECT_EQ(WideAt(bytes, 1040), u"png");
    EXPECT_EQ(IntAt(bytes, 1560), 1);
    EXPECT_EQ(IntAt(bytes, 1564), 0);
    EXPECT_EQ(IntAt(bytes, 1568), 1);
    EXPECT_EQ(WideAt(bytes, 1572), u"C:\\Program Files\\Mail\\mail.exe");
    EXPECT_EQ(IntAt(bytes, 2092), 1);
    EXPECT_EQ(IntAt(bytes, 2096), 0);
    for (size_t i = 520 + 2 * 14; i < 1040; ++i)
        ASSERT_EQ(bytes[i], 0) << "the name is zero-padded to its full width, byte " << i;
    EXPECT_FALSE(std::filesystem::exists(Host("out.dat.new"))) << "the temporary file is renamed over the target";

    ImgSaveSettings back{};
    ASSERT_TRUE(ReadImgSaveSettings(Dos("out.dat").c_str(), back));
    record.szName[15] = 0;
    EXPECT_EQ(std::memcmp(&back, &record, sizeof record), 0) << "the round trip gives the record back";
}

TEST_F(ImgSaveSettingsTest, AShortFileLeavesTheRestZeroAndAMissingOneReadsNothing) {
    ImgSaveSettings record = Sample();
    std::string bytes(reinterpret_cast<const char*>(&record), 1100); // folder, name and part of the type
    WriteFile("short.dat", bytes);
    ImgSaveSettings back{};
    ASSERT_TRUE(ReadImgSaveSettings(Dos("short.dat").c_str(), back));
    EXPECT_EQ(std::u16string(back.szFolder), record.szFolder);
    EXPECT_EQ(std::u16string(back.szName), record.szName);
    EXPECT_EQ(std::u16string(back.szType), u"png");
    EXPECT_EQ(back.nOpenFile, 0);
    EXPECT_EQ(back.nMode, 0);
    EXPECT_EQ(back.szMailProgram[0], 0);

    WriteFile("empty.dat", "");
    ASSERT_TRUE(ReadImgSaveSettings(Dos("empty.dat").c_str(), back));
    EXPECT_EQ(std::u16string(back.szType), u"jpg") << "no type is an unknown type";

    std::memset(&back, 0x55, sizeof back);
    EXPECT_FALSE(ReadImgSaveSettings(Dos("absent.dat").c_str(), back));
    EXPECT_EQ(back.szFolder[0], 0) << "nothing read leaves the record zero";
}

TEST_F(ImgSaveSettingsTest, ADamagedOrForeignFileReadsAsSafeValues) {
    // No string ends, switches hold any value, the type is foreign.
    std::string bytes(2100, '\x41');
    WriteFile("damaged.dat", bytes);
    ImgSaveSettings back{};
    ASSERT_TRUE(ReadImgSaveSettings(Dos("damaged.dat").c_str(), back));
    EXPECT_EQ(std::char_traits<char16_t>::length(back.szFolder), 259u) << "each string ends at its last unit";
    EXPECT_EQ(std::char_traits<char16_t>::length(back.szName), 259u);
    EXPECT_EQ(std::char_traits<char16_t>::length(back.szMailProgram), 259u);
    EXPECT_EQ(std::u16string(back.szType), u"jpg");
    for (std::int32_t flag : {back.nOpenFile, back.nOpenFolder, back.nMode, back.nManualDuplex})
        EXPECT_EQ(flag, 1);

    ImgSaveSettings record = Sample();
    wcscpy_s(record.szType, u"GIF");
    record.nOpenFolder = -7;
    record.nMode = 2;
    std::string longer(reinterpret_cast<const char*>(&record), sizeof record);
    longer += std::string(5000, '\xEE'); // whatever follows the record is not read
    WriteFile("foreign.dat", longer);
    ASSERT_TRUE(ReadImgSaveSettings(Dos("foreign.dat").c_str(), back));
    EXPECT_EQ(std::u16string(back.szType), u"jpg") << "a type the dialogs do not offer";
    EXPECT_EQ(back.nOpenFolder, 1);
    EXPECT_EQ(back.nMode, 1);
    EXPECT_EQ(std::u16string(back.szFolder), record.szFolder);

    wcscpy_s(record.szType, u"TiF");
    ParseImgSaveSettings(&record, sizeof record, back);
    EXPECT_EQ(std::u16string(back.szType), u"TiF") << "the six types are known whatever their case";
    ParseImgSaveSettings(nullptr, 0, back);
    EXPECT_EQ(std::u16string(back.szType), u"jpg");
}

TEST_F(ImgSaveSettingsTest, ItLiesInTheSettingsFolderWhichIsMadeWhenMissing) {
    WriteIni("[TWAIN]\nSetting Folder=\\Kvx\nSetting Path=\\Kvx\\Scanner\\\n");
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(GetImgSaveSettingsPath(path, MAX_PATH));
    EXPECT_EQ(std::u16string(path), u"C:\\AppData\\Kvx\\Scanner\\imgSaveSettings.dat");
    EXPECT_TRUE(std::filesystem::is_directory(Host("AppData/Kvx/Scanner")));

    WCHAR small[20];
    EXPECT_FALSE(GetImgSaveSettingsPath(small, 20)) << "a path that does not fit is no path";
    EXPECT_EQ(small[0], 0);

    WriteIni("[TWAIN]\nSetting Path=\\" + std::string(250, 'p') + "\\\n");
    EXPECT_FALSE(GetImgSaveSettingsPath(path, MAX_PATH));
    EXPECT_EQ(path[0], 0);

    platform::testing::SetKnownFoldersFail(true);
    EXPECT_FALSE(GetImgSaveSettingsPath(path, MAX_PATH)) << "no application-data folder, no file";
    platform::testing::SetKnownFoldersFail(false);
    EXPECT_FALSE(WriteImgSaveSettings(u"", Sample()));
}

TEST_F(ImgSaveSettingsTest, AFailedWriteIsLoggedAndKeepsThePreviousFile) {
    testsupport::DebugLines debug;
    debug.Capture();
    EXPECT_FALSE(WriteImgSaveSettings(Dos("missing/folder/out.dat").c_str(), Sample()));
    std::filesystem::create_directories(Host("target.dat")); // a folder stands where the file should go
    EXPECT_FALSE(WriteImgSaveSettings(Dos("target.dat").c_str(), Sample()));
    debug.Release();
    EXPECT_TRUE(std::filesystem::is_directory(Host("target.dat")));
    EXPECT_FALSE(std::filesystem::exists(Host("target.dat.new")));
    const std::vector<std::u16string> lines = debug.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(u"imgSaveSettings.dat failed with error"), std::u16string::npos);
}

} // namespace
