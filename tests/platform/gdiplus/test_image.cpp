// Images read from BMP streams and the encoder list.
#include "platform/gdiplus/gdiplus.h"
#include "tests/platform/gdiplus/page_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace Gdiplus;

namespace {

TEST(ImageFromStream, ReadsSizeFormatAndResolutionOfEachDepth) {
    struct Case {
        int bits;
        PixelFormat format;
        bool topDown;
    } cases[] = {{1, PixelFormat1bppIndexed, true},
                 {8, PixelFormat8bppIndexed, false},
                 {24, PixelFormat24bppRGB, true},
                 {24, PixelFormat24bppRGB, false}};
    for (const Case& c : cases) {
        testpage::Page page = testpage::MakePage(37, 5, c.bits);
        page.topDown = c.topDown;
        auto stream = testpage::StreamOf(page);
        Bitmap image(stream.get());
        ASSERT_EQ(image.GetLastStatus(), Ok) << c.bits << " bits";
        EXPECT_EQ(image.GetWidth(), 37u);
        EXPECT_EQ(image.GetHeight(), 5u);
        EXPECT_EQ(image.GetPixelFormat(), c.format);
        // 11811 pixels per metre is 299.9994 dots per inch, as the readers of the page expect.
        EXPECT_NEAR(image.GetHorizontalResolution(), 299.9994f, 0.0005f);
        EXPECT_NEAR(image.GetVerticalResolution(), 299.9994f, 0.0005f);
    }
}

TEST(ImageFromStream, RefusesWhatIsNotAnUncompressedBmp) {
    auto notBmp = testpage::StreamOf(std::vector<BYTE>{'G', 'I', 'F', '8', '9', 'a', 0, 0});
    Image a(notBmp.get());
    EXPECT_EQ(a.GetLastStatus(), UnknownImageFormat);
    EXPECT_EQ(a.GetWidth(), 0u);

    testpage::Page page = testpage::MakePage(8, 8, 24);
    std::vector<BYTE> bytes = testpage::BmpFile(page);
    bytes.erase(bytes.end() - 10, bytes.end()); // short pixel data
    auto shortStream = testpage::StreamOf(bytes);
    Image b(shortStream.get());
    EXPECT_NE(b.GetLastStatus(), Ok);

    Image c(nullptr);
    EXPECT_EQ(c.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(c.GetLastStatus(), Ok) << "GetLastStatus resets the status";
}

// A stream of another kind over one of ours: the reader cannot look at its bytes and copies the pixels.
class ForwardingStream final : public IStream {
public:
    explicit ForwardingStream(IStream* inner) : m_inner(inner) {}
    HRESULT QueryInterface(REFIID riid, void** object) override { return m_inner->QueryInterface(riid, object); }
    ULONG AddRef() override { return 2; } // lives on the test's stack
    ULONG Release() override { return 1; }
    HRESULT Read(void* buffer, ULONG size, ULONG* read) override { return m_inner->Read(buffer, size, read); }
    HRESULT Write(const void* buffer, ULONG size, ULONG* written) override {
        return m_inner->Write(buffer, size, written);
    }
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        return m_inner->Seek(move, origin, position);
    }
    HRESULT SetSize(ULARGE_INTEGER size) override { return m_inner->SetSize(size); }
    HRESULT CopyTo(IStream* to, ULARGE_INTEGER size, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
        return m_inner->CopyTo(to, size, read, written);
    }
    HRESULT Commit(DWORD flags) override { return m_inner->Commit(flags); }
    HRESULT Revert() override { return m_inner->Revert(); }
    HRESULT LockRegion(ULARGE_INTEGER at, ULARGE_INTEGER size, DWORD type) override {
        return m_inner->LockRegion(at, size, type);
    }
    HRESULT UnlockRegion(ULARGE_INTEGER at, ULARGE_INTEGER size, DWORD type) override {
        return m_inner->UnlockRegion(at, size, type);
    }
    HRESULT Stat(STATSTG* stat, DWORD flags) override { return m_inner->Stat(stat, flags); }
    HRESULT Clone(IStream** clone) override { return m_inner->Clone(clone); }

private:
    IStream* m_inner;
};

TEST(ImageFromStream, StreamsOfOtherKindsAreCopiedOnlyWhenTheyHoldThePixels) {
    testpage::Page page = testpage::MakePage(6, 3, 24);
    auto bytes = testpage::StreamOf(page);
    ForwardingStream copied(bytes.get());
    Bitmap image(&copied);
    ASSERT_EQ(image.GetLastStatus(), Ok);
    EXPECT_EQ(image.GetWidth(), 6u);
    EXPECT_EQ(image.GetHeight(), 3u);

    // A header claiming 30000 x 30000 colour pixels (2.7 GB) in a stream of a few bytes: refused before any room
    // is made for them.
    std::vector<BYTE> claim = testpage::BmpFile(testpage::MakePage(1, 1, 24));
    const BYTE side[4] = {0x30, 0x75, 0, 0};
    std::copy(std::begin(side), std::end(side), claim.begin() + 18);
    std::copy(std::begin(side), std::end(side), claim.begin() + 22);
    auto shortBytes = testpage::StreamOf(claim);
    ForwardingStream shortCopied(shortBytes.get());
    Bitmap refused(&shortCopied);
    EXPECT_EQ(refused.GetLastStatus(), UnknownImageFormat);
    EXPECT_EQ(refused.GetWidth(), 0u);
}

TEST(ImageEncoders, ListsFiveEncodersWithTheirMimeTypesAndClsids) {
    UINT count = 0, size = 0;
    ASSERT_EQ(GetImageEncodersSize(&count, &size), Ok);
    ASSERT_EQ(count, 5u);
    ASSERT_GT(size, count * sizeof(ImageCodecInfo));
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    EXPECT_EQ(GetImageEncoders(count, size - 1, codecs), GenericError) << "a short buffer is refused";
    ASSERT_EQ(GetImageEncoders(count, size, codecs), Ok);
    const char16_t* mimes[] = {u"image/bmp", u"image/jpeg", u"image/gif", u"image/tiff", u"image/png"};
    const DWORD clsids[] = {0x557cf400, 0x557cf401, 0x557cf402, 0x557cf405, 0x557cf406};
    const GUID* formats[] = {&ImageFormatBMP, &ImageFormatJPEG, &ImageFormatGIF, &ImageFormatTIFF, &ImageFormatPNG};
    for (UINT i = 0; i < count; ++i) {
        EXPECT_EQ(std::u16string(codecs[i].MimeType), mimes[i]);
        EXPECT_EQ(codecs[i].Clsid.Data1, clsids[i]);
        EXPECT_EQ(codecs[i].Clsid.Data2, 0x1a04);
        EXPECT_EQ(codecs[i].Clsid.Data3, 0x11d3);
        EXPECT_EQ(codecs[i].Clsid.Data4[7], 0x2e);
        EXPECT_TRUE(codecs[i].FormatID == *formats[i]);
        // The strings lie inside the caller's buffer.
        auto* text = reinterpret_cast<const BYTE*>(codecs[i].MimeType);
        EXPECT_TRUE(text >= buffer.data() && text < buffer.data() + size);
    }
}

TEST(ImageSave, UnknownEncoderAndMissingImageAreRefused) {
    testpage::Root root;
    auto stream = testpage::StreamOf(testpage::MakePage(4, 4, 8));
    Image image(stream.get());
    CLSID unknown{0x12345678, 0, 0, {0}};
    EXPECT_EQ(image.Save(u"C:\\x.bin", &unknown), FileNotFound);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\x.bin")));
    EXPECT_EQ(image.Save(u"C:\\x.bin", nullptr), InvalidParameter);
}

TEST(GdiplusStartup, CountsStartUpsAndChecksTheVersion) {
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    EXPECT_NE(token, 0u);
    GdiplusShutdown(token);
    input.GdiplusVersion = 2;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
}

} // namespace
