// Recorded metafiles: the EMF file of a drawn page and the WMF made from it.
#include "platform/gdiplus/gdiplus.h"
#include "tests/platform/gdiplus/page_stream.h"

#include <gtest/gtest.h>

using namespace Gdiplus;

namespace {

DWORD Le32(const std::vector<BYTE>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<DWORD>(b[at + 3]) << 24);
}
WORD Le16(const std::vector<BYTE>& b, size_t at) {
    return static_cast<WORD>(b[at] | (b[at + 1] << 8));
}

// Records the page into `path` through a Graphics, as the save dispatch does.
void Record(const testpage::Page& page, const char16_t* path, const ImageAttributes* attributes) {
    auto stream = testpage::StreamOf(page);
    Image image(stream.get());
    Metafile metafile(path, nullptr, EmfTypeEmfPlusDual);
    ASSERT_EQ(metafile.GetLastStatus(), Ok);
    Graphics graphics(&metafile);
    ASSERT_EQ(graphics.GetLastStatus(), Ok);
    ASSERT_EQ(graphics.DrawImage(&image, Rect(0, 0, page.width, page.height), 0, 0, page.width, page.height, UnitPixel,
                                 attributes),
              Ok);
}

TEST(Metafile, RecordsAnEmfWithHeaderStretchDibitsAndEof) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(30, 20, 24);
    Record(page, u"C:\\page.emf", nullptr);
    std::vector<BYTE> emf = testpage::ReadAll(root.Host(u"C:\\page.emf"));
    ASSERT_GE(emf.size(), 108u + 80 + 40 + page.Stride() * 20 + 20);
    EXPECT_EQ(Le32(emf, 0), 1u);
    EXPECT_EQ(Le32(emf, 40), 0x464D4520u) << "\" EMF\" signature";
    EXPECT_EQ(Le32(emf, 48), emf.size()) << "nBytes is the file size";
    EXPECT_EQ(Le32(emf, 52), 3u) << "header, one image, end";
    EXPECT_EQ(Le32(emf, 16), 29u) << "bounds right, inclusive";
    EXPECT_EQ(Le32(emf, 20), 19u);
    size_t image = 108;
    EXPECT_EQ(Le32(emf, image), 81u) << "EMR_STRETCHDIBITS";
    EXPECT_EQ(Le32(emf, image + 68), 0x00CC0020u) << "SRCCOPY";
    EXPECT_EQ(Le32(emf, image + 72), 30u);
    EXPECT_EQ(Le32(emf, image + 76), 20u);
    DWORD offBits = Le32(emf, image + 56);
    // The DIB is bottom-up: its first row is the page's last.
    EXPECT_EQ(0, std::memcmp(emf.data() + image + offBits, page.Row(19), page.Stride()));
    size_t eof = image + Le32(emf, image + 4);
    EXPECT_EQ(Le32(emf, eof), 14u);
    EXPECT_EQ(eof + 20, emf.size());
}

TEST(Metafile, ThresholdTurnsGreyIntoBlackAndWhite) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(16, 4, 8);
    ImageAttributes attributes;
    ASSERT_EQ(attributes.SetThreshold(0.5f), Ok);
    Record(page, u"C:\\bw.emf", &attributes);
    std::vector<BYTE> emf = testpage::ReadAll(root.Host(u"C:\\bw.emf"));
    size_t bmi = 108 + Le32(emf, 108 + 48);
    for (int i = 0; i < 256; ++i) {
        DWORD entry = Le32(emf, bmi + 40 + 4 * i);
        ASSERT_EQ(entry, i >= 128 ? 0xFFFFFFu : 0u) << "palette entry " << i;
    }
}

TEST(Metafile, EmfToWmfBitsGivesAWmfWithTheEmfEmbedded) {
    testpage::Root root;
    testpage::Page page = testpage::MakePage(24, 10, 1);
    auto stream = testpage::StreamOf(page);
    Image image(stream.get());
    auto metafile = std::make_unique<Metafile>(u"C:\\rec.emf", nullptr);
    {
        Graphics graphics(metafile.get());
        ASSERT_EQ(graphics.DrawImage(&image, 0, 0, 24, 10), Ok);
    }
    HENHMETAFILE emf = metafile->GetHENHMETAFILE();
    ASSERT_NE(emf, nullptr);
    UINT emfSize = GetEnhMetaFileBits(emf, 0, nullptr);
    UINT size = Metafile::EmfToWmfBits(emf, 0, nullptr, MM_ANISOTROPIC, EmfToWmfBitsFlagsEmbedEmf);
    ASSERT_GT(size, emfSize);
    std::vector<BYTE> wmf(size);
    EXPECT_EQ(Metafile::EmfToWmfBits(emf, size - 1, wmf.data(), MM_ANISOTROPIC, EmfToWmfBitsFlagsEmbedEmf), 0u);
    ASSERT_EQ(Metafile::EmfToWmfBits(emf, size, wmf.data(), MM_ANISOTROPIC, EmfToWmfBitsFlagsEmbedEmf), size);
    EXPECT_EQ(Le16(wmf, 0), 1);
    EXPECT_EQ(Le16(wmf, 2), 9);
    EXPECT_EQ(Le16(wmf, 4), 0x0300);
    EXPECT_EQ(Le32(wmf, 6) * 2, size) << "size in words";
    // Walk the records: MFCOMMENT escapes carrying the EMF, then the map mode, the window and the image, then EOF.
    std::vector<BYTE> embedded;
    bool sawImage = false, sawMode = false;
    size_t at = 18;
    for (;;) {
        ASSERT_LT(at + 6, wmf.size() + 1);
        DWORD words = Le32(wmf, at);
        WORD function = Le16(wmf, at + 4);
        if (function == 0)
            break;
        if (function == 0x0626 && Le16(wmf, at + 6) == 0x000F) {
            EXPECT_EQ(Le32(wmf, at + 10), 0x43464D57u) << "\"WMFC\"";
            DWORD chunk = Le32(wmf, at + 32);
            embedded.insert(embedded.end(), wmf.begin() + at + 44, wmf.begin() + at + 44 + chunk);
        }
        if (function == 0x0103) {
            EXPECT_EQ(Le16(wmf, at + 6), MM_ANISOTROPIC);
            sawMode = true;
        }
        if (function == 0x0F43) {
            EXPECT_EQ(Le16(wmf, at + 20), 10) << "destination height";
            EXPECT_EQ(Le16(wmf, at + 22), 24) << "destination width";
            sawImage = true;
        }
        at += words * 2;
    }
    EXPECT_EQ(at + 6, wmf.size());
    EXPECT_TRUE(sawImage && sawMode);
    std::vector<BYTE> original(emfSize);
    GetEnhMetaFileBits(emf, emfSize, original.data());
    EXPECT_EQ(embedded, original);

    HMETAFILE bits = SetMetaFileBitsEx(size, wmf.data());
    HMETAFILE copy = CopyMetaFileW(bits, u"C:\\page.wmf");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(testpage::ReadAll(root.Host(u"C:\\page.wmf")), wmf);
    DeleteMetaFile(copy);
    DeleteMetaFile(bits);
    DeleteEnhMetaFile(emf);
}

TEST(Metafile, RecordingIntoAnUnwritablePlaceFails) {
    testpage::Root root;
    Metafile metafile(u"C:\\no\\such\\folder\\x.emf", nullptr);
    EXPECT_NE(metafile.GetLastStatus(), Ok);
    Graphics graphics(&metafile);
    EXPECT_NE(graphics.GetLastStatus(), Ok);
}

} // namespace
