// Metafiles: recording an EMF of drawn images, turning it into a WMF, and the GDI metafile handles.
//
// EMF as we write it (little-endian, every record a multiple of 4 bytes):
//   EMR_HEADER (1), 108 bytes: type, size, bounds (inclusive device pixels), frame (inclusive 0.01 mm),
//       " EMF", version 0x10000, file bytes, record count, handles 1, reserved, no description, no palette,
//       reference device pixels and millimetres, no pixel format, not OpenGL, reference device micrometres.
//   EMR_STRETCHDIBITS (81) per drawn image: type, size, bounds, dest x y, src x y w h, offset and size of the
//       BITMAPINFO, offset and size of the bits, DIB_RGB_COLORS, SRCCOPY, dest w h; then BITMAPINFO and bottom-up bits.
//   EMR_EOF (14), 20 bytes: no palette, palette offset 16, size 20.
#include "platform/gdiplus/imagedata.h"

#include "platform/base/windows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace platform::gdiplus {
namespace {

constexpr DWORD EMR_HEADER = 1;
constexpr DWORD EMR_EOF = 14;
constexpr DWORD EMR_STRETCHDIBITS = 81;
constexpr DWORD kEmfSignature = 0x464D4520;
constexpr DWORD kSrcCopy = 0x00CC0020;
// The reference device: a 96-dpi screen of 1920 x 1080 pixels.
constexpr LONG kDevicePixelsX = 1920, kDevicePixelsY = 1080;
constexpr LONG kDeviceMmX = 508, kDeviceMmY = 286;

class Bytes {
public:
    std::vector<BYTE> data;
    void u16(unsigned v) {
        data.push_back(static_cast<BYTE>(v));
        data.push_back(static_cast<BYTE>(v >> 8));
    }
    void u32(DWORD v) {
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<BYTE>(v >> (8 * i)));
    }
    void i32(LONG v) { u32(static_cast<DWORD>(v)); }
    void raw(const void* p, size_t n) {
        data.insert(data.end(), static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + n);
    }
    void put32(size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i)
            data[at + i] = static_cast<BYTE>(v >> (8 * i));
    }
};

DWORD Get32(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// Pixels as drawn through the attributes: either the source unchanged or a new image.
const ImageData* Render(const ImageData& source, const Gdiplus::ImageAttributes* attributes, bool threshold,
                        float level, const Gdiplus::ColorMatrix* matrix, ImageData& rendered) {
    bool identity = true;
    if (matrix)
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c)
                identity = identity && matrix->m[r][c] == (r == c ? 1.0f : 0.0f);
    if ((!attributes || identity) && !threshold)
        return &source;
    rendered.copyFrom(source);
    auto adjust = [&](BYTE& b, BYTE& g, BYTE& r) {
        float rgb[3] = {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f};
        if (matrix && !identity) {
            float out[3];
            for (int c = 0; c < 3; ++c)
                out[c] = rgb[0] * matrix->m[0][c] + rgb[1] * matrix->m[1][c] + rgb[2] * matrix->m[2][c] +
                         matrix->m[3][c] + matrix->m[4][c];
            for (int c = 0; c < 3; ++c)
                rgb[c] = std::clamp(out[c], 0.0f, 1.0f);
        }
        if (threshold)
            for (float& v : rgb)
                v = v >= level ? 1.0f : 0.0f;
        r = static_cast<BYTE>(std::lround(rgb[0] * 255));
        g = static_cast<BYTE>(std::lround(rgb[1] * 255));
        b = static_cast<BYTE>(std::lround(rgb[2] * 255));
    };
    if (source.bitsPerPixel <= 8) {
        for (Gdiplus::ARGB& c : rendered.palette) {
            BYTE b = static_cast<BYTE>(c), g = static_cast<BYTE>(c >> 8), r = static_cast<BYTE>(c >> 16);
            adjust(b, g, r);
            c = 0xFF000000 | (r << 16) | (g << 8) | b;
        }
    } else {
        for (int y = 0; y < rendered.height; ++y) {
            BYTE* p = rendered.bits.data() + y * rendered.stride;
            for (int x = 0; x < rendered.width; ++x, p += 3)
                adjust(p[0], p[1], p[2]);
        }
    }
    return &rendered;
}

} // namespace

class MetafileRecorder {
public:
    explicit MetafileRecorder(const WCHAR* path) : m_path(path ? path : u"") {}

    Gdiplus::Status open() {
        if (m_path.empty())
            return Gdiplus::InvalidParameter;
        HANDLE file =
            CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return Gdiplus::Win32Error;
        CloseHandle(file);
        return Gdiplus::Ok;
    }

    bool finished() const { return m_finished; }

    Gdiplus::Status drawImage(const ImageData& image, LONG x, LONG y, LONG width, LONG height) {
        if (m_finished)
            return Gdiplus::WrongState;
        DWORD entries = static_cast<DWORD>(image.palette.size());
        DWORD bmiSize = 40 + 4 * entries;
        size_t bitsSize = image.stride * static_cast<size_t>(image.height);
        if (80 + bmiSize + bitsSize > 0xFFFFFFF0u)
            return Gdiplus::ValueOverflow;
        try {
            Bytes r;
            r.data.reserve(80 + bmiSize + bitsSize);
            r.u32(EMR_STRETCHDIBITS);
            r.u32(static_cast<DWORD>(80 + bmiSize + bitsSize));
            r.i32(x);
            r.i32(y);
            r.i32(x + width - 1);
            r.i32(y + height - 1);
            r.i32(x);
            r.i32(y);
            r.i32(0);
            r.i32(0);
            r.i32(image.width);
            r.i32(image.height);
            r.u32(80);
            r.u32(bmiSize);
            r.u32(80 + bmiSize);
            r.u32(static_cast<DWORD>(bitsSize));
            r.u32(0); // DIB_RGB_COLORS
            r.u32(kSrcCopy);
            r.i32(width);
            r.i32(height);
            r.u32(40);
            r.i32(image.width);
            r.i32(image.height); // bottom-up
            r.u16(1);
            r.u16(static_cast<unsigned>(image.bitsPerPixel));
            r.u32(0);
            r.u32(static_cast<DWORD>(bitsSize));
            r.i32(static_cast<LONG>(std::lround(image.dpiX / 0.0254)));
            r.i32(static_cast<LONG>(std::lround(image.dpiY / 0.0254)));
            r.u32(entries);
            r.u32(0);
            for (Gdiplus::ARGB c : image.palette)
                r.u32(c & 0xFFFFFF);
            for (int row = image.height - 1; row >= 0; --row)
                r.raw(image.row(row), image.stride);
            m_records.insert(m_records.end(), r.data.begin(), r.data.end());
        } catch (const std::bad_alloc&) {
            return Gdiplus::OutOfMemory;
        }
        ++m_recordCount;
        m_right = std::max(m_right, x + width);
        m_bottom = std::max(m_bottom, y + height);
        return Gdiplus::Ok;
    }

    // Completes the EMF and writes it to the file.
    Gdiplus::Status finish() {
        if (!m_finished) {
            m_finished = true;
            m_finishStatus = complete();
        }
        return m_finishStatus;
    }

    std::vector<BYTE> takeEmf() { return std::move(m_emf); }

private:
    Gdiplus::Status complete() {
        Bytes h;
        h.u32(EMR_HEADER);
        h.u32(108);
        h.i32(0);
        h.i32(0);
        h.i32(std::max<LONG>(m_right - 1, 0));
        h.i32(std::max<LONG>(m_bottom - 1, 0));
        h.i32(0);
        h.i32(0);
        h.i32(static_cast<LONG>(std::lround(m_right * 2540.0 / 96.0)) - 1);
        h.i32(static_cast<LONG>(std::lround(m_bottom * 2540.0 / 96.0)) - 1);
        h.u32(kEmfSignature);
        h.u32(0x00010000);
        size_t total = 108 + m_records.size() + 20;
        h.u32(static_cast<DWORD>(total));
        h.u32(static_cast<DWORD>(m_recordCount + 2));
        h.u16(1);
        h.u16(0);
        h.u32(0);
        h.u32(0);
        h.u32(0);
        h.i32(kDevicePixelsX);
        h.i32(kDevicePixelsY);
        h.i32(kDeviceMmX);
        h.i32(kDeviceMmY);
        h.u32(0);
        h.u32(0);
        h.u32(0);
        h.i32(kDeviceMmX * 1000);
        h.i32(kDeviceMmY * 1000 - 250);
        Bytes eof;
        eof.u32(EMR_EOF);
        eof.u32(20);
        eof.u32(0);
        eof.u32(16);
        eof.u32(20);
        try {
            m_emf.reserve(total);
            m_emf = std::move(h.data);
            m_emf.insert(m_emf.end(), m_records.begin(), m_records.end());
            m_emf.insert(m_emf.end(), eof.data.begin(), eof.data.end());
        } catch (const std::bad_alloc&) {
            return Gdiplus::OutOfMemory;
        }
        std::vector<BYTE>().swap(m_records);
        FileSink sink(m_path.c_str());
        if (!sink.ok() || !sink.write(m_emf.data(), m_emf.size()) || !sink.commit())
            return Gdiplus::Win32Error;
        return Gdiplus::Ok;
    }

    std::u16string m_path;
    std::vector<BYTE> m_records;
    std::vector<BYTE> m_emf;
    DWORD m_recordCount = 0;
    LONG m_right = 0;
    LONG m_bottom = 0;
    bool m_finished = false;
    Gdiplus::Status m_finishStatus = Gdiplus::Ok;
};

// What the GDI metafile handles point at.
struct MetafileBits {
    std::vector<BYTE> bytes;
};

MetafileBits* NewBits(std::vector<BYTE> bytes) {
    auto* bits = new (std::nothrow) MetafileBits;
    if (bits)
        bits->bytes = std::move(bytes);
    return bits;
}

// WMF as EmfToWmfBits makes it (sizes in 16-bit words): an 18-byte header (type 1, header 9 words, version 0x300,
// file size, no objects, largest record, no parameters); with EmbedEmf, the EMF in MFCOMMENT escapes of at most
// 8192 bytes each ("WMFC", type 1, version 0x10000, checksum, flags 0, record count, this chunk's size, bytes left,
// the whole EMF's size, the chunk); SETMAPMODE, SETWINDOWORG, SETWINDOWEXT; one STRETCHDIB per EMF image; EOF.
std::vector<BYTE> EmfToWmf(const std::vector<BYTE>& emf, int mapMode, bool embed) {
    std::vector<BYTE> none;
    if (emf.size() < 108 || Get32(emf.data()) != EMR_HEADER || Get32(emf.data() + 40) != kEmfSignature)
        return none;
    LONG right = static_cast<LONG>(Get32(emf.data() + 16)) + 1;
    LONG bottom = static_cast<LONG>(Get32(emf.data() + 20)) + 1;
    Bytes w;
    size_t maxRecord = 3;
    auto record = [&](WORD function, const Bytes& params) {
        size_t words = 3 + params.data.size() / 2;
        w.u32(static_cast<DWORD>(words));
        w.u16(function);
        w.raw(params.data.data(), params.data.size());
        maxRecord = std::max(maxRecord, words);
    };
    w.data.resize(18);
    if (embed) {
        WORD check = 0;
        for (size_t i = 0; i + 1 < emf.size(); i += 2)
            check ^= static_cast<WORD>(emf[i] | (emf[i + 1] << 8));
        check = static_cast<WORD>(~check);
        constexpr size_t kChunk = 8192;
        DWORD chunks = static_cast<DWORD>((emf.size() + kChunk - 1) / kChunk);
        for (size_t at = 0; at < emf.size(); at += kChunk) {
            size_t n = std::min(kChunk, emf.size() - at);
            Bytes p;
            p.u16(0x000F); // MFCOMMENT
            p.u16(static_cast<unsigned>(34 + n));
            p.u32(0x43464D57);
            p.u32(1);
            p.u32(0x00010000);
            p.u16(check);
            p.u32(0);
            p.u32(chunks);
            p.u32(static_cast<DWORD>(n));
            p.u32(static_cast<DWORD>(emf.size() - at - n));
            p.u32(static_cast<DWORD>(emf.size()));
            p.raw(emf.data() + at, n);
            record(0x0626, p);
        }
    }
    Bytes mode;
    mode.u16(static_cast<unsigned>(mapMode));
    record(0x0103, mode);
    Bytes org;
    org.u16(0);
    org.u16(0);
    record(0x020B, org);
    Bytes ext;
    ext.u16(static_cast<unsigned>(bottom));
    ext.u16(static_cast<unsigned>(right));
    record(0x020C, ext);
    for (size_t at = 108; at + 8 <= emf.size();) {
        DWORD type = Get32(emf.data() + at);
        DWORD size = Get32(emf.data() + at + 4);
        if (size < 8 || at + size > emf.size())
            return none;
        if (type == EMR_STRETCHDIBITS && size >= 80) {
            const BYTE* r = emf.data() + at;
            DWORD offBmi = Get32(r + 48), cbBmi = Get32(r + 52), offBits = Get32(r + 56), cbBits = Get32(r + 60);
            if (offBmi + cbBmi > size || offBits + cbBits > size)
                return none;
            Bytes p;
            p.u32(Get32(r + 68)); // raster operation
            p.u16(static_cast<unsigned>(Get32(r + 64)));
            p.u16(Get32(r + 44)); // source height, width, y, x
            p.u16(Get32(r + 40));
            p.u16(Get32(r + 36));
            p.u16(Get32(r + 32));
            p.u16(Get32(r + 76)); // destination height, width, y, x
            p.u16(Get32(r + 72));
            p.u16(Get32(r + 28));
            p.u16(Get32(r + 24));
            p.raw(r + offBmi, cbBmi);
            p.raw(r + offBits, cbBits);
            if (p.data.size() % 2)
                p.data.push_back(0);
            record(0x0F43, p);
        }
        if (type == EMR_EOF)
            break;
        at += size;
    }
    record(0x0000, Bytes{});
    Bytes h;
    h.u16(1);
    h.u16(9);
    h.u16(0x0300);
    h.u32(static_cast<DWORD>(w.data.size() / 2));
    h.u16(0);
    h.u32(static_cast<DWORD>(maxRecord));
    h.u16(0);
    std::memcpy(w.data.data(), h.data.data(), 18);
    return std::move(w.data);
}

} // namespace platform::gdiplus

using platform::gdiplus::MetafileBits;

HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data) {
    if (!data || size < 18)
        return nullptr;
    return reinterpret_cast<HMETAFILE>(platform::gdiplus::NewBits(std::vector<BYTE>(data, data + size)));
}

UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT size, LPVOID data) {
    auto* bits = reinterpret_cast<MetafileBits*>(metafile);
    if (!bits)
        return 0;
    if (!data)
        return static_cast<UINT>(bits->bytes.size());
    if (size < bits->bytes.size())
        return 0;
    std::memcpy(data, bits->bytes.data(), bits->bytes.size());
    return static_cast<UINT>(bits->bytes.size());
}

HMETAFILE CopyMetaFileW(HMETAFILE metafile, LPCWSTR fileName) {
    auto* bits = reinterpret_cast<MetafileBits*>(metafile);
    if (!bits)
        return nullptr;
    if (fileName) {
        platform::gdiplus::FileSink sink(fileName);
        if (!sink.ok() || !sink.write(bits->bytes.data(), bits->bytes.size()) || !sink.commit())
            return nullptr;
    }
    return reinterpret_cast<HMETAFILE>(platform::gdiplus::NewBits(bits->bytes));
}

BOOL DeleteMetaFile(HMETAFILE metafile) {
    delete reinterpret_cast<MetafileBits*>(metafile);
    return metafile != nullptr;
}

UINT GetEnhMetaFileBits(HENHMETAFILE metafile, UINT size, LPBYTE data) {
    return GetMetaFileBitsEx(reinterpret_cast<HMETAFILE>(metafile), size, data);
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) {
    delete reinterpret_cast<MetafileBits*>(metafile);
    return metafile != nullptr;
}

namespace Gdiplus {

Metafile::Metafile(const WCHAR* fileName, HDC, EmfType, const WCHAR*) {
    m_recorder.reset(new (std::nothrow) platform::gdiplus::MetafileRecorder(fileName));
    if (!m_recorder) {
        m_lastStatus = OutOfMemory;
        return;
    }
    m_lastStatus = m_recorder->open();
    if (m_lastStatus != Ok)
        m_recorder.reset();
}

Metafile::~Metafile() {
    if (m_recorder)
        m_recorder->finish();
}

HENHMETAFILE Metafile::GetHENHMETAFILE() {
    if (!m_recorder) {
        SetStatus(WrongState);
        return nullptr;
    }
    if (SetStatus(m_recorder->finish()) != Ok) {
        m_recorder.reset();
        return nullptr;
    }
    auto* bits = platform::gdiplus::NewBits(m_recorder->takeEmf());
    m_recorder.reset();
    return reinterpret_cast<HENHMETAFILE>(bits);
}

UINT Metafile::EmfToWmfBits(HENHMETAFILE emf, UINT bufferSize, LPBYTE buffer, INT mapMode, INT flags) {
    auto* bits = reinterpret_cast<MetafileBits*>(emf);
    if (!bits)
        return 0;
    std::vector<BYTE> wmf;
    try {
        wmf = platform::gdiplus::EmfToWmf(bits->bytes, mapMode, (flags & EmfToWmfBitsFlagsEmbedEmf) != 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (wmf.empty() || wmf.size() > 0xFFFFFFFFu)
        return 0;
    if (!buffer)
        return static_cast<UINT>(wmf.size());
    if (bufferSize < wmf.size())
        return 0;
    std::memcpy(buffer, wmf.data(), wmf.size());
    return static_cast<UINT>(wmf.size());
}

Graphics::Graphics(Image* image) {
    auto* metafile = dynamic_cast<Metafile*>(image);
    if (!image)
        m_lastStatus = InvalidParameter;
    else if (!metafile || !metafile->m_recorder || metafile->m_recorder->finished())
        m_lastStatus = NotImplemented;
    else
        m_target = metafile;
}

Graphics* Graphics::FromImage(Image* image) {
    return new (std::nothrow) Graphics(image);
}

Graphics::~Graphics() {
    // Ending the drawing ends the recording: the file is complete from here on.
    if (m_target && m_target->m_recorder)
        m_target->m_recorder->finish();
}

Status Graphics::SetStatus(Status status) const {
    if (status != Ok)
        m_lastStatus = status;
    return status;
}

Status Graphics::GetLastStatus() const {
    Status last = m_lastStatus;
    m_lastStatus = Ok;
    return last;
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height) {
    if (!image || !image->m_data)
        return SetStatus(InvalidParameter);
    return DrawImage(image, Rect(x, y, width, height), 0, 0, image->m_data->width, image->m_data->height, UnitPixel);
}

Status Graphics::DrawImage(Image* image, const Rect& destination, INT srcX, INT srcY, INT srcWidth, INT srcHeight,
                           Unit srcUnit, const ImageAttributes* attributes, void*, void*) {
    if (!m_target || !m_target->m_recorder)
        return SetStatus(WrongState);
    if (!image || !image->m_data || destination.Width <= 0 || destination.Height <= 0 || srcUnit != UnitPixel)
        return SetStatus(InvalidParameter);
    const auto& source = *image->m_data;
    // Only whole images are drawn by the system.
    if (srcX != 0 || srcY != 0 || srcWidth != source.width || srcHeight != source.height)
        return SetStatus(NotImplemented);
    platform::gdiplus::ImageData rendered;
    const platform::gdiplus::ImageData* drawn = &source;
    try {
        drawn = platform::gdiplus::Render(
            source, attributes, attributes && attributes->m_hasThreshold, attributes ? attributes->m_threshold : 0.0f,
            attributes && attributes->m_hasMatrix ? &attributes->m_matrix : nullptr, rendered);
    } catch (const std::bad_alloc&) {
        return SetStatus(OutOfMemory);
    }
    return SetStatus(
        m_target->m_recorder->drawImage(*drawn, destination.X, destination.Y, destination.Width, destination.Height));
}

} // namespace Gdiplus
