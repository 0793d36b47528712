#include "devicescan/TiffPageWriter.h"

#include "platform/gdiplus/tiffopen.h"

#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr ULONG kHeaderAndPalette = 1064; // info header (40) and up to 256 palette entries

bool SeekTo(IStream* stream, LONGLONG offset) {
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    return SUCCEEDED(stream->Seek(to, STREAM_SEEK_SET, nullptr));
}

bool ReadExact(IStream* stream, void* buffer, ULONG size) {
    ULONG got = 0;
    return SUCCEEDED(stream->Read(buffer, size, &got)) && got == size;
}

LONG Le32(const BYTE* p) {
    return static_cast<LONG>(p[0] | (p[1] << 8) | (p[2] << 16) | (DWORD(p[3]) << 24));
}

// Closes the TIFF on every road and removes the file unless the page was written completely.
class TiffFile {
public:
    TiffFile(TIFF* tif, const WCHAR* path) : m_tif(tif), m_path(path) {}
    ~TiffFile() {
        if (m_tif)
            TIFFClose(m_tif);
        if (!m_done)
            DeleteFileW(m_path);
    }
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    TIFF* get() const { return m_tif; }
    bool finish() {
        bool good = TIFFFlush(m_tif) == 1;
        TIFFClose(m_tif);
        m_tif = nullptr;
        m_done = good;
        return good;
    }

private:
    TIFF* m_tif;
    const WCHAR* m_path;
    bool m_done = false;
};

} // namespace

int TiffResolution(LONG pelsPerMeter) {
    int d = static_cast<int>(pelsPerMeter * 0.0254);
    return (d + 74) / 75 * 75;
}

int TiffPageWriter(IStream* page, const WCHAR* path) {
    if (!page || !path)
        return -1;
    BYTE info[kHeaderAndPalette] = {};
    ULONG got = 0;
    if (!SeekTo(page, 14) || FAILED(page->Read(info, kHeaderAndPalette, &got)) || got < 40)
        return -1;
    LONG width = Le32(info + 4);
    const LONG rows = Le32(info + 8); // negative for a top-down page; -2^31 has no size
    if (rows == std::numeric_limits<LONG>::min())
        return -1;
    LONG height = rows < 0 ? -rows : rows;
    int bits = info[14] | (info[15] << 8);
    // The sides the image codecs read at most (a row of the widest is 384 KiB): a larger header is no page.
    const LONG kMaxSide = 1 << 17;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || (bits != 1 && bits != 8 && bits != 24))
        return -1;
    int samples = bits == 24 ? 3 : 1;
    ULONG stride = static_cast<ULONG>((static_cast<ULONGLONG>(bits) * width + 31) / 32 * 4);
    float xResolution = static_cast<float>(TiffResolution(Le32(info + 24)));
    float yResolution = static_cast<float>(TiffResolution(Le32(info + 28)));

    TIFF* tif = TIFFOpenW(path, "w");
    if (!tif)
        return -1;
    TiffFile file(tif, path);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(bits / samples));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(samples));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bits == 24 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, xResolution);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, yResolution);
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    // Page 1 of 1: TIFF counts pages from 0.
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(0), static_cast<uint16_t>(1));
    TIFFSetField(tif, TIFFTAG_PAGENAME, "Page 1");

    LONGLONG rowsAt = 54 + (bits < 24 ? 4LL << bits : 0);
    if (!SeekTo(page, rowsAt))
        return -1;
    std::vector<BYTE> row(stride);
    for (LONG y = 0; y < height; ++y) {
        if (!ReadExact(page, row.data(), stride))
            return -1;
        if (bits == 24) {
            for (LONG x = 0; x < width; ++x)
                std::swap(row[x * 3LL], row[x * 3LL + 2]);
        }
        if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) != 1)
            return -1;
    }
    return file.finish() ? 0 : -1;
}
