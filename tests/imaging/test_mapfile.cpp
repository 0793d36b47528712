// The mapped temporary file: windows at and beyond the end of the section, unaligned offsets, the backing file's
// life.
#include "imaging/Data_MapFile.h"

#include "platform/base/testing.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

class MapFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("imaging-test");
        ASSERT_FALSE(m_root.empty());
        platform::testing::SetRoot(m_root);
        std::filesystem::create_directories(m_root + "/Temp");
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        m_granularity = info.dwAllocationGranularity;
    }
    void TearDown() override { testsupport::RemoveFolder(m_root); }
    size_t TempFileCount() const {
        size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_root + "/Temp"))
            n += entry.path().filename().string().rfind("Kor", 0) == 0;
        return n;
    }

    std::string m_root;
    unsigned m_granularity = 65536;
};

TEST_F(MapFileTest, AWindowEndingAtTheEndIsMappedOneByteFurtherIsRefused) {
    Data_MapFile file;
    ASSERT_EQ(file.MapFile_Create(3 * m_granularity + 100, CString()), 0);
    BYTE* data = nullptr;
    void* view = file.GetDataHandle(m_granularity, 2 * m_granularity + 100, &data);
    ASSERT_NE(view, nullptr);
    data[2 * m_granularity + 99] = 0x5A; // the last byte of the section is writable
    file.ReleaseDataHandle(view);

    BYTE* untouched = reinterpret_cast<BYTE*>(0x1);
    EXPECT_EQ(file.GetDataHandle(m_granularity, 2 * m_granularity + 101, &untouched), nullptr);
    EXPECT_EQ(untouched, reinterpret_cast<BYTE*>(0x1));
}

TEST_F(MapFileTest, OffsetAndLengthAreCheckedWithoutWrapping) {
    Data_MapFile file;
    ASSERT_EQ(file.MapFile_Create(4096, CString()), 0);
    BYTE* data = nullptr;
    EXPECT_EQ(file.GetDataHandle(0xFFFFFFF0u, 0x20, &data), nullptr) << "offset + length wraps in 32 bits";
    EXPECT_EQ(file.GetDataHandle(4096, 0, &data), nullptr) << "nothing to map at the very end";
    EXPECT_EQ(data, nullptr);
}

TEST_F(MapFileTest, AnUnalignedOffsetMapsFromTheRoundedDownBase) {
    Data_MapFile file;
    ASSERT_EQ(file.MapFile_Create(2 * m_granularity, CString()), 0);
    BYTE* data = nullptr;
    void* first = file.GetDataHandle(0, 2 * m_granularity, &data);
    ASSERT_NE(first, nullptr);
    data[m_granularity + 7] = 0xA7;
    BYTE* inner = nullptr;
    void* second = file.GetDataHandle(m_granularity + 7, 1, &inner);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(inner, static_cast<BYTE*>(second) + 7);
    EXPECT_EQ(*inner, 0xA7) << "two views of one section share their bytes";
    file.ReleaseDataHandle(second);
    file.ReleaseDataHandle(first);
}

TEST_F(MapFileTest, TheBackingFileGoesWithTheObject) {
    CString path;
    {
        Data_MapFile file;
        ASSERT_EQ(file.MapFile_Create(1000, CString()), 0);
        path = file.GetPath();
        EXPECT_EQ(TempFileCount(), 1u);
        EXPECT_NE(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(path.Left(11), CString(u"C:\\Temp\\Kor"));
    }
    EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(TempFileCount(), 0u);
}

TEST_F(MapFileTest, AGivenPathIsUsedResizedAndDeleted) {
    std::filesystem::create_directories(m_root + "/Work");
    {
        Data_MapFile file;
        ASSERT_EQ(file.MapFile_Create(8192, CString(u"C:\\Work\\page.bin")), 0);
        EXPECT_EQ(std::filesystem::file_size(m_root + "/Work/page.bin"), 8192u);
    }
    EXPECT_FALSE(std::filesystem::exists(m_root + "/Work/page.bin"));
}

TEST_F(MapFileTest, NoTemporaryFolderMeansNoSection) {
    std::filesystem::remove_all(m_root + "/Temp");
    { std::ofstream blocker(m_root + "/Temp"); } // C:\Temp is a file, so no temporary file can be made
    Data_MapFile file;
    EXPECT_EQ(file.MapFile_Create(4096, CString()), 1);
    EXPECT_FALSE(file.IsCreated());
    BYTE* data = nullptr;
    EXPECT_EQ(file.GetDataHandle(0, 1, &data), nullptr);
}

} // namespace
