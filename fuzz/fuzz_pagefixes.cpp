// The page fixes on pages as the device may send them: each fix must give exactly what its plain, first form gives
// (the skew angle, the turned and the cropped bytes, the conversions), and the Hough step the same angle for points
// on and off the page.
//
// Input: u8 mode (0 black and white, 1 grey, 2 colour), u8 resolution (75, 150, 300, 600, 1200 or 200), u16 width
// and u16 height (60 to 239 each), u8 background, s8 turn in eighths of a degree, u8 whether some Hough points lie
// off the page; then strokes of six bytes each: column and row (scaled to the page), length, s8 slope in 64ths,
// thickness (1 to 8) and darkness.

#include "FuzzSupport.h"

#include "imaging/ImageProcessing.h"

#include "../tests/imaging/ReferencePageFixes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

namespace ref = reference_fixes;

struct Reader {
    const std::uint8_t* data;
    size_t size, at = 0;
    unsigned Byte() { return at < size ? data[at++] : 0; }
    unsigned Word() { return Byte() | (Byte() << 8); }
};

size_t RowBytes(int width, int mode) {
    return (static_cast<size_t>(width) * (mode == 0 ? 1 : mode == 1 ? 8 : 24) + 7) / 8;
}

void CheckTurn(const BYTE* input, int mode, int dpi, int width, int height, float angle) {
    ImgProcParam param{mode, dpi, width, height, 0, 0, angle};
    ref::ImgProcParam want{mode, dpi, width, height, 0, 0, angle};
    std::unique_ptr<BYTE[]> got = normal_rotate(input, &param);
    std::unique_ptr<BYTE[]> expected = ref::normal_rotate(input, &want);
    fuzz::Check(got != nullptr && expected != nullptr, "a turn failed");
    fuzz::Check(param.outWidth == width && param.outHeight == height, "a turn changed the page size");
    fuzz::Check(std::memcmp(got.get(), expected.get(), RowBytes(width, mode) * height) == 0,
                "the turned page differs from the reference");
}

void CheckCrop(const BYTE* page, int mode, int dpi, int width, int height) {
    const size_t size = RowBytes(width, mode) * height;
    std::vector<BYTE> out(size, 0x5A), expected(size, 0x5A);
    ImgProcParam param{mode, dpi, width, height, -1, -1, 0};
    ref::ImgProcParam want{mode, dpi, width, height, -1, -1, 0};
    fuzz::Check(auto_crop(page, out.data(), &param) == ref::auto_crop(page, expected.data(), &want),
                "the crop found a box where the reference did not, or the other way round");
    fuzz::Check(param.outWidth == want.outWidth && param.outHeight == want.outHeight,
                "the crop box differs from the reference");
    fuzz::Check(out == expected, "the cropped page differs from the reference");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const int resolutions[] = {75, 150, 300, 600, 1200, 200};
    Reader in{data, size};
    const int mode = static_cast<int>(in.Byte() % 3);
    const int dpi = resolutions[in.Byte() % 6];
    const int width = 60 + static_cast<int>(in.Word() % 180), height = 60 + static_cast<int>(in.Word() % 180);
    const BYTE background = static_cast<BYTE>(in.Byte());
    const float turn = static_cast<float>(static_cast<std::int8_t>(in.Byte())) / 8;
    const bool offPage = (in.Byte() & 1) != 0;

    // The page in grey first, stroke by stroke.
    std::vector<BYTE> drawn(static_cast<size_t>(width) * height, background);
    while (in.at + 6 <= in.size) {
        const int x0 = static_cast<int>(in.Byte() * width / 256), y0 = static_cast<int>(in.Byte() * height / 256);
        const int length = static_cast<int>(in.Byte());
        const int slope = static_cast<std::int8_t>(in.Byte()), thickness = 1 + static_cast<int>(in.Byte() % 8);
        const BYTE value = static_cast<BYTE>(in.Byte());
        for (int t = 0; t < length; ++t)
            for (int d = 0; d < thickness; ++d) {
                const int x = x0 + t, y = y0 + t * slope / 64 + d;
                if (x < width && y >= 0 && y < height)
                    drawn[static_cast<size_t>(y) * width + x] = value;
            }
    }

    // The page in its own format: bits (set for light), grey, or colour with channels a little apart.
    std::vector<BYTE> page(RowBytes(width, mode) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const BYTE v = drawn[static_cast<size_t>(y) * width + x];
            BYTE* row = page.data() + RowBytes(width, mode) * y;
            if (mode == 0)
                row[x / 8] |= v > 128 ? static_cast<BYTE>(0x80 >> (x % 8)) : 0;
            else if (mode == 1)
                row[x] = v;
            else
                for (int c = 0; c < 3; ++c)
                    row[3 * x + c] = static_cast<BYTE>(std::min(255, v + ((x + y + c) % 3) * 20));
        }

    std::vector<BYTE> grey(static_cast<size_t>(width) * height), expected(grey.size());
    if (mode == 0) {
        BwToGray(page.data(), grey.data(), width, height);
        ref::BwToGray(page.data(), expected.data(), width, height);
    } else if (mode == 2) {
        RgbToGray(page.data(), grey.data(), width, height);
        ref::RgbToGray(page.data(), expected.data(), width, height);
    } else {
        grey = expected = page;
    }
    fuzz::Check(grey == expected, "the grey working copy differs from the reference");
    if (mode == 0) {
        std::vector<BYTE> bits(page.size()), expectedBits(page.size());
        GrayToBW(grey.data(), bits.data(), width, height);
        ref::GrayToBW(grey.data(), expectedBits.data(), width, height);
        fuzz::Check(bits == expectedBits && bits == page, "packing the grey copy back differs");
    }

    const float angle = auto_deskew(grey.data(), width, height, mode, dpi);
    fuzz::Check(angle == ref::auto_deskew(grey.data(), width, height, mode, dpi),
                "the skew angle differs from the reference");
    const BYTE* turnInput = mode == 0 ? grey.data() : page.data();
    CheckTurn(turnInput, mode, dpi, width, height, angle);
    CheckTurn(turnInput, mode, dpi, width, height, turn);
    CheckCrop(page.data(), mode, dpi, width, height);

    // The Hough step on the drawn dark pixels (at most 2000, so that a run stays quick), some moved off the page when
    // asked.
    std::vector<int> rows, columns;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width && rows.size() < 2000; ++x)
            if (drawn[static_cast<size_t>(y) * width + x] < 100) {
                rows.push_back(offPage && x % 7 == 0 ? y - height : y);
                columns.push_back(x);
            }
    const int count = static_cast<int>(rows.size());
    fuzz::Check(DetectSkewAngle(rows.data(), columns.data(), count, width, height) ==
                    ref::DetectSkewAngle(rows.data(), columns.data(), count, width, height),
                "the Hough step's angle differs from the reference");
    return 0;
}
