// The image buffer: sizes (in 64 bits up to the largest pages), in-memory and mapped creation, the sequential
// reader, and destruction.
#include "imaging/CImage.h"

#include "platform/base/testing.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <vector>

namespace {

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("image-test");
        ASSERT_FALSE(m_root.empty());
        platform::testing::SetRoot(m_root);
        std::filesystem::create_directories(m_root + "/Temp");
    }
    void TearDown() override {
        g_bHostPhotoshop = FALSE;
        platform::testing::SetAllocationCap(std::nullopt);
        testsupport::RemoveFolder(m_root);
    }
    std::string m_root;
};

// Only the format is set: sizes are computed without allocating anything.
class FormatOnly : public CImage {
public:
    FormatOnly(WORD spp, WORD bps, int width, int height) {
        m_wSamplesPerPixel = spp;
        m_wBitsPerSample = bps;
        m_nWidth = width;
        m_nHeight = height;
    }
};

TEST_F(ImageTest, InMemorySizesFollowTheDepth) {
    EXPECT_EQ(FormatOnly(1, 1, 2550, 3300).InMemorySize(), 1053657u) << "max(319 x 3303, 413 x 2550)";
    EXPECT_EQ(FormatOnly(1, 4, 3, 3).InMemorySize(), 5u) << "9 pixels rounded up to even, halved";
    EXPECT_EQ(FormatOnly(1, 8, 10, 10).InMemorySize(), 100u);
    EXPECT_EQ(FormatOnly(1, 16, 10, 10).InMemorySize(), 200u);
    EXPECT_EQ(FormatOnly(3, 8, 10, 10).InMemorySize(), 300u);
    EXPECT_EQ(FormatOnly(3, 16, 10, 10).InMemorySize(), 600u);
    EXPECT_EQ(FormatOnly(1, 2, 10, 10).InMemorySize(), 0u);
}

TEST_F(ImageTest, MappedRowsAreWholeBytesUnpadded) {
    EXPECT_EQ(FormatOnly(3, 8, 1000, 10).MappedSize(), 30000u);
    EXPECT_EQ(FormatOnly(1, 1, 1001, 10).MappedSize(), 1260u);
}

TEST_F(ImageTest, TheBiggestPagesAreSizedIn64Bits) {
    // 1200-dpi A3 (11.69 x 16.54 in): 14032 x 19842 pixels.
    const std::uint64_t pixels = 14032ull * 19842ull;
    EXPECT_EQ(FormatOnly(3, 16, 14032, 19842).MappedSize(), 6 * pixels);
    EXPECT_EQ(FormatOnly(3, 16, 14032, 19842).ReadableSize(), 6 * pixels);
    EXPECT_EQ(FormatOnly(3, 16, 14032, 19842).InMemorySize(), 6 * pixels);
    EXPECT_EQ(FormatOnly(3, 8, 14032, 19842).MappedSize(), 3 * pixels);
    EXPECT_EQ(FormatOnly(1, 1, 14032, 19842).ReadableSize(), 1754ull * 19842ull);
    EXPECT_GT(pixels * 3 * 16, 0xFFFFFFFFull) << "width x height x samples x bits is beyond 32 bits";
}

TEST_F(ImageTest, APageBeyondOneSectionIsRefusedWithoutAFile) {
    CImage image;
    EXPECT_FALSE(image.CreateMapped(3, 16, 40000, 40000, 1200, 1200));
    EXPECT_EQ(image.GetMappedData(), nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(m_root + "/Temp"));
}

TEST_F(ImageTest, APreviewStartsWhiteOtherImagesZeroed) {
    CImage preview;
    ASSERT_TRUE(preview.Create(3, 8, 20, 10, 75, 75));
    std::vector<BYTE> white(600, 0xFF);
    EXPECT_TRUE(std::equal(white.begin(), white.end(), preview.GetBits()));

    CImage page;
    ASSERT_TRUE(page.Create(1, 8, 20, 10, 300, 300));
    std::vector<BYTE> zero(200, 0);
    EXPECT_TRUE(std::equal(zero.begin(), zero.end(), page.GetBits()));
}

TEST_F(ImageTest, PalettesFollowTheDepth) {
    CImage image;
    ASSERT_TRUE(image.Create(1, 8, 4, 4, 300, 300));
    EXPECT_NE(image.GetPalette(), nullptr);
    ASSERT_TRUE(image.Create(3, 8, 4, 4, 300, 300));
    EXPECT_EQ(image.GetPalette(), nullptr) << "colour images have no palette";
}

TEST_F(ImageTest, AnUnknownDepthGetsNoBits) {
    CImage image;
    EXPECT_FALSE(image.Create(1, 2, 10, 10, 300, 300));
    EXPECT_EQ(image.GetBits(), nullptr);
}

TEST_F(ImageTest, PhotoshopExtraRoomBacksOffButNeverBelowTheImage) {
    g_bHostPhotoshop = TRUE;
    const std::uint64_t size = 3ull * 6000 * 6000; // 108 MB: above the 100 MiB mark
    platform::testing::SetAllocationCap(static_cast<SIZE_T>(size + 5 * 1048576));
    CImage image;
    EXPECT_TRUE(image.Create(3, 8, 6000, 6000, 300, 300)) << "the retries come down to the image's own size";

    platform::testing::SetAllocationCap(static_cast<SIZE_T>(size - 1));
    CImage tooBig;
    EXPECT_FALSE(tooBig.Create(3, 8, 6000, 6000, 300, 300)) << "no retry goes below what the image needs";
}

TEST_F(ImageTest, MappedPagesAreReadSequentiallyToTheEnd) {
    CImage image;
    ASSERT_TRUE(image.CreateMapped(3, 8, 100, 50, 300, 300));
    const unsigned size = 100 * 50 * 3;
    BYTE* rows = nullptr;
    void* view = image.GetDataHandle(0, size, &rows);
    ASSERT_NE(view, nullptr);
    std::iota(rows, rows + size, BYTE{0});
    image.ReleaseDataHandle(view);

    image.ResetRead();
    std::vector<BYTE> buffer(10000);
    unsigned read = 0;
    ASSERT_EQ(image.ReadMappedData(buffer.data(), 10000, &read), 0);
    EXPECT_EQ(read, 10000u);
    EXPECT_EQ(buffer[9999], static_cast<BYTE>(9999));
    ASSERT_EQ(image.ReadMappedData(buffer.data(), 10000, &read), 0);
    EXPECT_EQ(read, size - 10000) << "the remainder";
    EXPECT_EQ(buffer[0], static_cast<BYTE>(10000));
    ASSERT_EQ(image.ReadMappedData(buffer.data(), 10000, &read), 0);
    EXPECT_EQ(read, 0u) << "nothing left: 0 bytes, result 0";
}

TEST_F(ImageTest, ReadingWithoutMappedDataFails) {
    CImage image;
    ASSERT_TRUE(image.Create(1, 8, 10, 10, 300, 300));
    image.ResetRead();
    BYTE buffer[16];
    unsigned read = 0;
    EXPECT_EQ(image.ReadMappedData(buffer, sizeof buffer, &read), -1);
    BYTE* data = nullptr;
    EXPECT_EQ(image.GetDataHandle(0, 1, &data), nullptr);
    image.ReleaseDataHandle(nullptr);
}

TEST_F(ImageTest, DestroyTwiceAndThenTheDestructorIsHarmless) {
    auto* image = new CImage;
    ASSERT_TRUE(image->CreateMapped(1, 8, 64, 64, 300, 300));
    CString path = image->GetMappedData()->GetPath();
    EXPECT_EQ(image->Destroy(), 1);
    EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES) << "the temporary file goes with the data";
    EXPECT_EQ(image->Destroy(), 1);
    EXPECT_EQ(image->GetMappedData(), nullptr);
    EXPECT_EQ(image->GetBitmapInfo(), nullptr);
    ASSERT_TRUE(image->Create(1, 8, 8, 8, 300, 300)) << "the object can be used again";
    EXPECT_NE(image->GetBitmapInfo(), nullptr);
    delete image;
}

TEST_F(ImageTest, ANewPageReplacesTheOldOnesFile) {
    CImage image;
    ASSERT_TRUE(image.CreateMapped(1, 8, 64, 64, 300, 300));
    ASSERT_TRUE(image.CreateMapped(3, 8, 64, 64, 300, 300));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_root + "/Temp"))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u) << "only the new page's file is left";
    EXPECT_EQ(image.GetMappedData()->GetSize(), 64u * 64u * 3u);
}

} // namespace
