// Internal: the decoded pixels behind a Gdiplus::Image, the file sink the encoders write through, and the encoders.
#pragma once

#include "platform/gdiplus/gdiplus.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform::gdiplus {

// Rows run from the top, `stride` bytes of pixels each (a multiple of 4, as in a DIB), in DIB byte order: blue,
// green, red for 24 bits; the most significant bit is the leftmost pixel for 1 bit. `palette` holds 0xAARRGGBB
// entries. The pixels are either owned (`bits`) or, for a page in one of our memory streams, read in place from the
// stream, which the image holds a reference to; as with GDI+, such a stream must not change while the image lives.
struct ImageData {
    int width = 0;
    int height = 0;
    Gdiplus::PixelFormat format = Gdiplus::PixelFormatUndefined;
    int bitsPerPixel = 0;
    size_t stride = 0;
    std::vector<Gdiplus::ARGB> palette;
    std::vector<BYTE> bits;
    const BYTE* base = nullptr; // row 0
    ptrdiff_t rowStep = 0;      // from one row to the next: negative for a bottom-up file read in place
    IStream* viewed = nullptr;  // the stream read in place, or null
    float dpiX = 96.0f;
    float dpiY = 96.0f;

    ImageData() = default;
    ImageData(const ImageData&) = delete;
    ImageData& operator=(const ImageData&) = delete;
    ~ImageData() {
        if (viewed)
            viewed->Release();
    }

    const BYTE* row(int y) const { return base + static_cast<ptrdiff_t>(y) * rowStep; }
    // A top-down copy with pixels of its own, which may then be changed through `bits`.
    void copyFrom(const ImageData& other);
};

inline size_t DibStride(int width, int bits) {
    return ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
}

// Reads a BMP file from the start of the stream.
Gdiplus::Status DecodeBmp(IStream* stream, ImageData& image);

// Expands one row of any of our formats into blue-green-red bytes (3 times width).
void RowToBgr(const ImageData& image, int y, BYTE* out);

// A file written front to back through a buffer. A sink that failed, or is dropped without Commit, deletes its file.
class FileSink {
public:
    explicit FileSink(const WCHAR* path);
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    bool ok() const { return m_file != nullptr && !m_failed; }
    bool write(const void* data, size_t size);
    // Flushes and closes; false (and the file is gone) when anything failed.
    bool commit();

private:
    bool flush();

    HANDLE m_file = nullptr;
    std::u16string m_path;
    std::vector<BYTE> m_buffer;
    bool m_failed = false;
};

// Each encoder writes the whole file at `path`; on failure the file is removed.
Gdiplus::Status EncodeBmp(const ImageData& image, const Gdiplus::EncoderParameters* parameters, const WCHAR* path);
Gdiplus::Status EncodeJpeg(const ImageData& image, const Gdiplus::EncoderParameters* parameters, const WCHAR* path);
Gdiplus::Status EncodeGif(const ImageData& image, const Gdiplus::EncoderParameters* parameters, const WCHAR* path);
Gdiplus::Status EncodeTiff(const ImageData& image, const Gdiplus::EncoderParameters* parameters, const WCHAR* path);
Gdiplus::Status EncodePng(const ImageData& image, const Gdiplus::EncoderParameters* parameters, const WCHAR* path);

// The JPEG quality asked for by EncoderQuality (0 to 100), or `fallback`.
long QualityParameter(const Gdiplus::EncoderParameters* parameters, long fallback);

} // namespace platform::gdiplus
