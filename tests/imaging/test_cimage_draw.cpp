// Drawing an in-memory image: every depth against reference pixels, the DIB it builds, clipping, and the images
// that draw nothing.
#include "imaging/CImage.h"

#include "platform/base/testing.h"
#include "platform/gdi/afxgdi.h"
#include "platform/gdi/testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

constexpr COLORREF kSentinel = RGB(1, 2, 3);

// A 40 x 20 drawing surface filled with the sentinel colour.
class Surface {
public:
    Surface() {
        m_screen.CreateDC(u"DISPLAY", nullptr, nullptr, nullptr);
        m_dc.CreateCompatibleDC(&m_screen);
        m_bitmap.CreateCompatibleBitmap(&m_screen, 40, 20);
        m_old = m_dc.SelectObject(&m_bitmap);
        m_dc.FillSolidRect(0, 0, 40, 20, kSentinel);
    }
    ~Surface() { m_dc.SelectObject(m_old); }
    CDC* dc() { return &m_dc; }
    COLORREF at(int x, int y) { return m_dc.GetPixel(x, y); }

private:
    CDC m_screen, m_dc;
    CBitmap m_bitmap;
    CBitmap* m_old = nullptr;
};

const BITMAPINFOHEADER& Header(const CImage& image) {
    return *reinterpret_cast<const BITMAPINFOHEADER*>(image.GetBitmapInfo());
}

// Draws the whole of `image` 1:1 at (0, 0) and compares every pixel with `expected(x, y)`.
void ExpectDrawn(CImage& image, const std::function<COLORREF(int, int)>& expected) {
    Surface s;
    const CRect rect(0, 0, image.GetWidth(), image.GetHeight());
    EXPECT_EQ(image.Draw(s.dc(), &rect, &rect, SRCCOPY), 1);
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            EXPECT_EQ(s.at(x, y), expected(x, y)) << "pixel " << x << ", " << y;
    EXPECT_EQ(s.at(image.GetWidth(), 0), kSentinel) << "nothing beyond the rectangle";
}

TEST(ImageDraw, TwentyFourBitsBecomeABottomUpPaddedBlueGreenRedDib) {
    CImage image;
    ASSERT_TRUE(image.Create(3, 8, 3, 2, 300, 300));
    BYTE* bits = image.GetBits();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            BYTE* p = bits + 3 * (y * 3 + x);
            p[0] = static_cast<BYTE>(10 + 50 * x), p[1] = static_cast<BYTE>(20 + 100 * y), p[2] = 200;
        }
    ExpectDrawn(image, [](int x, int y) { return RGB(10 + 50 * x, 20 + 100 * y, 200); });
    const BITMAPINFOHEADER& h = Header(image);
    EXPECT_EQ(h.biWidth, 3);
    EXPECT_EQ(h.biHeight, 2) << "positive: bottom-up";
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biSizeImage, 12u * 2) << "rows of 9 bytes padded to 12";
    EXPECT_EQ(h.biXPelsPerMeter, 300) << "the dpi number as it is";
    const BYTE* dib = image.GetDisplayData();
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib[0], 200) << "first DIB row is the image's bottom row, blue first";
    EXPECT_EQ(dib[1], 120);
    EXPECT_EQ(dib[2], 10);
    EXPECT_EQ(dib[12 + 2], 10);
    EXPECT_EQ(dib[12 + 1], 20);
}

TEST(ImageDraw, FortyEightBitsShowTheHighBytesAsTwentyFourBitRows) {
    CImage image;
    ASSERT_TRUE(image.Create(3, 16, 3, 2, 600, 600));
    auto* samples = reinterpret_cast<BYTE*>(image.GetBits());
    for (int i = 0; i < 3 * 3 * 2; ++i) {
        samples[2 * i] = 0xEE;                          // low byte: not shown
        samples[2 * i + 1] = static_cast<BYTE>(i * 13); // high byte
    }
    ExpectDrawn(image, [](int x, int y) {
        const int i = 3 * (y * 3 + x);
        return RGB(i * 13, (i + 1) * 13, (i + 2) * 13);
    });
    EXPECT_EQ(Header(image).biBitCount, 24);
    EXPECT_EQ(Header(image).biSizeImage, 12u * 2) << "sized from the 24-bit display rows";
}

TEST(ImageDraw, SixteenBitGreyShowsTheHighByteThroughAGreyRamp) {
    CImage image;
    ASSERT_TRUE(image.Create(1, 16, 5, 2, 300, 300));
    BYTE* bits = image.GetBits();
    for (int i = 0; i < 10; ++i) {
        bits[2 * i] = 0x7F;
        bits[2 * i + 1] = static_cast<BYTE>(25 * i);
    }
    ExpectDrawn(image, [](int x, int y) { return RGB(25 * (y * 5 + x), 25 * (y * 5 + x), 25 * (y * 5 + x)); });
    EXPECT_EQ(Header(image).biBitCount, 8);
    EXPECT_EQ(Header(image).biSizeImage, 0u);
}

TEST(ImageDraw, EightBitsGoThroughThePalette) {
    CImage image;
    ASSERT_TRUE(image.Create(1, 8, 5, 3, 300, 300));
    BYTE* palette = image.GetPalette();
    for (int i = 0; i < 256; ++i)
        palette[3 * i] = static_cast<BYTE>(i), palette[3 * i + 1] = static_cast<BYTE>(255 - i), palette[3 * i + 2] = 7;
    for (int i = 0; i < 15; ++i)
        image.GetBits()[i] = static_cast<BYTE>(i * 17);
    ExpectDrawn(image, [](int x, int y) {
        const int v = (y * 5 + x) * 17;
        return RGB(v, 255 - v, 7);
    });
    EXPECT_EQ(Header(image).biSizeImage, 8u * 3);
}

// 1 and 4 bits: the pixels are one stream (pixel (x, y) is number y * width + x), so rows need not start on a
// byte; a rectangle starting at an odd pixel or mid-byte is shifted into place.
TEST(ImageDraw, FourBitsFromANibbleStreamIncludingAnOddStart) {
    CImage image;
    ASSERT_TRUE(image.Create(1, 4, 5, 3, 300, 300));
    BYTE* palette = image.GetPalette();
    for (int i = 0; i < 16; ++i)
        palette[3 * i] = static_cast<BYTE>(16 * i), palette[3 * i + 1] = 0, palette[3 * i + 2] = static_cast<BYTE>(i);
    auto value = [](int x, int y) { return (y * 5 + x * 3) % 16; };
    BYTE* bits = image.GetBits();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int p = y * 5 + x;
            bits[p / 2] |= static_cast<BYTE>(p % 2 ? value(x, y) : value(x, y) << 4);
        }
    auto colour = [&](int x, int y) { return RGB(16 * value(x, y), 0, value(x, y)); };
    ExpectDrawn(image, colour);
    Surface s;
    const CRect src(1, 1, 4, 3), dest(0, 0, 3, 2);
    image.Draw(s.dc(), &dest, &src, SRCCOPY);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(s.at(x, y), colour(x + 1, y + 1)) << "pixel " << x << ", " << y;
}

TEST(ImageDraw, OneBitFromABitStreamIncludingAMidByteStart) {
    CImage image;
    ASSERT_TRUE(image.Create(1, 1, 11, 3, 300, 300));
    BYTE* palette = image.GetPalette();
    palette[0] = 255, palette[1] = 0, palette[2] = 0; // 0 red
    palette[3] = 0, palette[4] = 0, palette[5] = 255; // 1 blue
    auto on = [](int x, int y) { return (x * 7 + y * 3) % 5 < 2; };
    BYTE* bits = image.GetBits();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 11; ++x)
            if (on(x, y)) {
                const int b = y * 11 + x;
                bits[b / 8] |= static_cast<BYTE>(0x80 >> (b % 8));
            }
    auto colour = [&](int x, int y) { return on(x, y) ? RGB(0, 0, 255) : RGB(255, 0, 0); };
    ExpectDrawn(image, colour);
    Surface s;
    const CRect src(3, 1, 11, 3), dest(0, 0, 8, 2); // 8 pixels from mid-byte: two source bytes a byte
    image.Draw(s.dc(), &dest, &src, SRCCOPY);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(s.at(x, y), colour(x + 3, y + 1)) << "pixel " << x << ", " << y;
    EXPECT_EQ(Header(image).biBitCount, 1);
    EXPECT_EQ(Header(image).biSizeImage, 0u);
}

TEST(ImageDraw, ARectangleReachingOutsideIsClippedAndKeepsItsPlace) {
    CImage image;
    ASSERT_TRUE(image.Create(3, 8, 4, 3, 300, 300));
    for (int i = 0; i < 12; ++i) {
        BYTE* p = image.GetBits() + 3 * i;
        p[0] = static_cast<BYTE>(20 * i), p[1] = 100, p[2] = 50;
    }
    Surface s;
    const CRect src(2, 1, 6, 5), dest(10, 10, 18, 18); // 2x scale; only (2..4, 1..3) exists
    EXPECT_EQ(image.Draw(s.dc(), &dest, &src, SRCCOPY), 1);
    EXPECT_EQ(s.at(10, 10), RGB(20 * 6, 100, 50)) << "image pixel (2, 1)";
    EXPECT_EQ(s.at(13, 13), RGB(20 * 11, 100, 50)) << "image pixel (3, 2)";
    EXPECT_EQ(s.at(14, 10), kSentinel) << "nothing drawn for columns past the image";
    EXPECT_EQ(s.at(10, 14), kSentinel) << "nothing drawn for rows past the image";
    EXPECT_EQ(Header(image).biWidth, 2);
    EXPECT_EQ(Header(image).biHeight, 2);
}

TEST(ImageDraw, ImagesWithoutBitsOrRectanglesOutsideDrawNothing) {
    char pattern[] = "/tmp/image-draw-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    platform::testing::SetRoot(pattern);
    std::filesystem::create_directories(std::string(pattern) + "/Temp");
    Surface s;
    const CRect rect(0, 0, 4, 4);

    CImage mapped;
    ASSERT_TRUE(mapped.CreateMapped(3, 8, 4, 4, 300, 300));
    EXPECT_EQ(mapped.Draw(s.dc(), &rect, &rect, SRCCOPY), 1);
    CImage failed;
    EXPECT_FALSE(failed.Create(1, 2, 4, 4, 300, 300)) << "2 bits a pixel is not a depth";
    EXPECT_EQ(failed.Draw(s.dc(), &rect, &rect, SRCCOPY), 1);
    CImage destroyed;
    ASSERT_TRUE(destroyed.Create(3, 8, 4, 4, 75, 75));
    destroyed.Destroy();
    EXPECT_EQ(destroyed.Draw(s.dc(), &rect, &rect, SRCCOPY), 1);
    CImage white;
    ASSERT_TRUE(white.Create(3, 8, 4, 4, 75, 75));
    const CRect outside(4, 0, 8, 4);
    EXPECT_EQ(white.Draw(s.dc(), &rect, &outside, SRCCOPY), 1);
    EXPECT_EQ(white.GetDisplayData(), nullptr);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(s.at(x, y), kSentinel);

    EXPECT_EQ(white.Draw(s.dc(), &rect, &rect, SRCCOPY), 1);
    EXPECT_EQ(s.at(3, 3), RGB(255, 255, 255)) << "a new preview is white";
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
}

TEST(ImageDraw, AThousandDrawsLeaveNoGdiObjectBehind) {
    CImage image;
    ASSERT_TRUE(image.Create(3, 8, 30, 20, 75, 75));
    Surface s;
    const int before = platform::gdi::LiveObjectCount();
    const CRect rect(0, 0, 30, 20), half(0, 0, 15, 10);
    for (int i = 0; i < 1000; ++i)
        image.Draw(s.dc(), &rect, i % 2 ? &rect : &half, SRCCOPY);
    EXPECT_EQ(platform::gdi::LiveObjectCount(), before);
}

} // namespace
