// Images read from BMP streams, start-up, and the file sink the encoders share.
#include "platform/gdiplus/imagedata.h"

#include "platform/base/windows.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

namespace platform::gdiplus {
namespace {

std::atomic<ULONG_PTR> g_startupCount{0};
std::mutex g_sessionsLock;
std::set<ULONG_PTR> g_openSessions; // tokens given and not yet shut down

DWORD ReadLE32(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}
WORD ReadLE16(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

bool ReadExact(IStream* stream, void* buffer, ULONG size) {
    ULONG got = 0;
    return SUCCEEDED(stream->Read(buffer, size, &got)) && got == size;
}

bool SeekTo(IStream* stream, ULONGLONG offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SUCCEEDED(stream->Seek(to, STREAM_SEEK_SET, nullptr));
}

float DpiFromPelsPerMeter(LONG pels) {
    return pels > 0 ? static_cast<float>(pels) * 0.0254f : 96.0f;
}

} // namespace

// BMP layout (little-endian): file header 14 bytes ("BM", file size, 2 reserved words, offset of the pixels); info
// header (size >= 40: width, height (negative = top-down), planes, bit count, compression, image size, x and y
// pixels per metre, colours used, colours important); palette of 4-byte entries (blue, green, red, 0); rows padded
// to 4 bytes.
Gdiplus::Status DecodeBmp(IStream* stream, ImageData& image) {
    using namespace Gdiplus;
    if (!stream)
        return InvalidParameter;
    BYTE head[14 + 40];
    if (!SeekTo(stream, 0) || !ReadExact(stream, head, sizeof head))
        return UnknownImageFormat;
    if (head[0] != 'B' || head[1] != 'M')
        return UnknownImageFormat;
    DWORD offBits = ReadLE32(head + 10);
    const BYTE* info = head + 14;
    DWORD infoSize = ReadLE32(info);
    LONG width = static_cast<LONG>(ReadLE32(info + 4));
    LONG height = static_cast<LONG>(ReadLE32(info + 8));
    WORD planes = ReadLE16(info + 12);
    WORD bits = ReadLE16(info + 14);
    DWORD compression = ReadLE32(info + 16);
    LONG xPels = static_cast<LONG>(ReadLE32(info + 24));
    LONG yPels = static_cast<LONG>(ReadLE32(info + 28));
    DWORD colorsUsed = ReadLE32(info + 32);
    if (infoSize < 40 || planes != 1 || compression != 0 || width <= 0 || height == 0 || height == LONG(0x80000000))
        return UnknownImageFormat;
    if (bits != 1 && bits != 8 && bits != 24)
        return UnknownImageFormat;
    const LONG kMaxSide = 1 << 17;
    LONG rows = height < 0 ? -height : height;
    if (width > kMaxSide || rows > kMaxSide)
        return UnknownImageFormat;

    image.width = width;
    image.height = rows;
    image.bitsPerPixel = bits;
    image.format = bits == 1 ? PixelFormat1bppIndexed : bits == 8 ? PixelFormat8bppIndexed : PixelFormat24bppRGB;
    image.stride = DibStride(width, bits);
    image.dpiX = DpiFromPelsPerMeter(xPels);
    image.dpiY = DpiFromPelsPerMeter(yPels);

    image.palette.clear();
    if (bits <= 8) {
        DWORD entries = 1u << bits;
        if (colorsUsed != 0 && colorsUsed < entries)
            entries = colorsUsed;
        std::vector<BYTE> quads(static_cast<size_t>(entries) * 4);
        if (!SeekTo(stream, 14 + static_cast<ULONGLONG>(infoSize)) ||
            !ReadExact(stream, quads.data(), static_cast<ULONG>(quads.size())))
            return UnknownImageFormat;
        image.palette.resize(1u << bits, 0xFF000000);
        for (DWORD i = 0; i < entries; ++i) {
            const BYTE* quad = quads.data() + static_cast<size_t>(i) * 4;
            image.palette[i] = 0xFF000000 | (quad[2] << 16) | (quad[1] << 8) | quad[0];
        }
    }

    size_t total = image.stride * static_cast<size_t>(rows);
    if (total > 0xFFFFFFFFu)
        return OutOfMemory;
    ULONGLONG pixelsAt = offBits >= 14 + infoSize ? offBits : 14 + infoSize + image.palette.size() * 4;
    const BYTE* bytes = nullptr;
    ULONGLONG size = 0;
    if (platform::com::StreamBytes(stream, &bytes, &size)) {
        // A page in memory is read where it lies: no copy of the pixels.
        if (pixelsAt + total > size)
            return UnknownImageFormat;
        stream->AddRef();
        image.viewed = stream;
        image.base = bytes + pixelsAt + (height > 0 ? (rows - 1) * image.stride : 0);
        image.rowStep = height > 0 ? -static_cast<ptrdiff_t>(image.stride) : static_cast<ptrdiff_t>(image.stride);
        return Ok;
    }
    // Any other stream is copied. It must hold the pixels before room is made for them: a short stream whose header
    // claims a page of gigabytes is no page.
    ULARGE_INTEGER end{};
    if (FAILED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, &end)) || pixelsAt + total > end.QuadPart)
        return UnknownImageFormat;
    try {
        image.bits.resize(total);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    if (!SeekTo(stream, pixelsAt) || !ReadExact(stream, image.bits.data(), static_cast<ULONG>(total)))
        return UnknownImageFormat;
    if (height > 0) {
        // Bottom-up file: turn the rows round so that row 0 is the top one.
        std::vector<BYTE> swap(image.stride);
        for (LONG top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
            BYTE* a = image.bits.data() + top * image.stride;
            BYTE* b = image.bits.data() + bottom * image.stride;
            std::memcpy(swap.data(), a, image.stride);
            std::memcpy(a, b, image.stride);
            std::memcpy(b, swap.data(), image.stride);
        }
    }
    image.base = image.bits.data();
    image.rowStep = static_cast<ptrdiff_t>(image.stride);
    return Ok;
}

void ImageData::copyFrom(const ImageData& other) {
    width = other.width;
    height = other.height;
    format = other.format;
    bitsPerPixel = other.bitsPerPixel;
    stride = other.stride;
    palette = other.palette;
    dpiX = other.dpiX;
    dpiY = other.dpiY;
    bits.resize(stride * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(bits.data() + y * stride, other.row(y), stride);
    base = bits.data();
    rowStep = static_cast<ptrdiff_t>(stride);
}

void RowToBgr(const ImageData& image, int y, BYTE* out) {
    const BYTE* in = image.row(y);
    switch (image.bitsPerPixel) {
    case 24:
        std::memcpy(out, in, static_cast<size_t>(image.width) * 3);
        return;
    case 8:
    case 1:
        for (int x = 0; x < image.width; ++x, out += 3) {
            const int index = image.bitsPerPixel == 8 ? in[x] : (in[x >> 3] >> (7 - (x & 7))) & 1;
            Gdiplus::ARGB c = image.palette[index];
            out[0] = static_cast<BYTE>(c);
            out[1] = static_cast<BYTE>(c >> 8);
            out[2] = static_cast<BYTE>(c >> 16);
        }
        return;
    default:
        std::memset(out, 0, static_cast<size_t>(image.width) * 3);
        return;
    }
}

FileSink::FileSink(const WCHAR* path) : m_path(path ? path : u"") {
    HANDLE file = path ? CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                       : INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE) {
        m_file = file;
        m_buffer.reserve(1 << 20);
    }
}

FileSink::~FileSink() {
    if (m_file) {
        CloseHandle(m_file);
        DeleteFileW(m_path.c_str());
    }
}

bool FileSink::flush() {
    const BYTE* p = m_buffer.data();
    size_t left = m_buffer.size();
    while (left && !m_failed) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(m_file, p, chunk, &written, nullptr) || written != chunk)
            m_failed = true;
        p += written;
        left -= written;
    }
    m_buffer.clear();
    return !m_failed;
}

bool FileSink::write(const void* data, size_t size) {
    if (!ok())
        return false;
    if (m_buffer.size() + size > m_buffer.capacity()) {
        if (!flush())
            return false;
        if (size >= m_buffer.capacity()) {
            m_buffer.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
            return flush();
        }
    }
    m_buffer.insert(m_buffer.end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    return true;
}

bool FileSink::commit() {
    if (!m_file)
        return false;
    bool good = flush();
    good = CloseHandle(m_file) && good;
    m_file = nullptr;
    if (!good)
        DeleteFileW(m_path.c_str());
    return good;
}

size_t testing::OpenSessions() {
    std::lock_guard lock(g_sessionsLock);
    return g_openSessions.size();
}

} // namespace platform::gdiplus

namespace Gdiplus {

using platform::gdiplus::ImageData;

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
    if (!token || !input)
        return InvalidParameter;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && !output)
        return InvalidParameter;
    if (output)
        *output = GdiplusStartupOutput{};
    *token = ++platform::gdiplus::g_startupCount;
    std::lock_guard lock(platform::gdiplus::g_sessionsLock);
    platform::gdiplus::g_openSessions.insert(*token);
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    std::lock_guard lock(platform::gdiplus::g_sessionsLock);
    platform::gdiplus::g_openSessions.erase(token);
}

Image::Image(IStream* stream, BOOL) {
    auto data = std::shared_ptr<ImageData>(new (std::nothrow) ImageData);
    if (!data) {
        m_lastStatus = OutOfMemory;
        return;
    }
    m_lastStatus = platform::gdiplus::DecodeBmp(stream, *data);
    if (m_lastStatus == Ok)
        m_data = std::move(data);
}

Image* Image::FromStream(IStream* stream, BOOL useEmbeddedColorManagement) {
    return new (std::nothrow) Image(stream, useEmbeddedColorManagement);
}

Image::~Image() = default;

Status Image::SetStatus(Status status) const {
    if (status != Ok)
        m_lastStatus = status;
    return status;
}

Status Image::GetLastStatus() const {
    Status last = m_lastStatus;
    m_lastStatus = Ok;
    return last;
}

UINT Image::GetWidth() {
    return m_data ? static_cast<UINT>(m_data->width) : (SetStatus(InvalidParameter), 0u);
}
UINT Image::GetHeight() {
    return m_data ? static_cast<UINT>(m_data->height) : (SetStatus(InvalidParameter), 0u);
}
PixelFormat Image::GetPixelFormat() {
    return m_data ? m_data->format : (SetStatus(InvalidParameter), PixelFormatUndefined);
}
REAL Image::GetHorizontalResolution() {
    return m_data ? m_data->dpiX : (SetStatus(InvalidParameter), 0.0f);
}
REAL Image::GetVerticalResolution() {
    return m_data ? m_data->dpiY : (SetStatus(InvalidParameter), 0.0f);
}

Bitmap::Bitmap(IStream* stream, BOOL useEmbeddedColorManagement) : Image(stream, useEmbeddedColorManagement) {}

Bitmap* Bitmap::FromStream(IStream* stream, BOOL useEmbeddedColorManagement) {
    return new (std::nothrow) Bitmap(stream, useEmbeddedColorManagement);
}

Status ImageAttributes::SetThreshold(REAL threshold, ColorAdjustType) {
    m_hasThreshold = true;
    m_threshold = threshold;
    return Ok;
}

Status ImageAttributes::ClearThreshold(ColorAdjustType) {
    m_hasThreshold = false;
    return Ok;
}

Status ImageAttributes::SetColorMatrix(const ColorMatrix* matrix, ColorMatrixFlags, ColorAdjustType) {
    if (!matrix)
        return m_lastStatus = InvalidParameter;
    m_matrix = *matrix;
    m_hasMatrix = true;
    return Ok;
}

} // namespace Gdiplus
