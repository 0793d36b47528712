// The scanned page leaving the engine whole: as a packed DIB in one global block (native transfer), as a BMP file
// of that DIB or as an uncompressed TIFF file (file transfer). The page is read window by window from its mapped
// temporary file; only the bitmap itself has to fit in memory.
#include "twain/CDsAssistor.h"

#include "twain/CScanWindow.h"
#include "twain/PageScan.h"

#include "settings/DebugOutput.h"
#include "settings/Language.h"

#include "platform/gdi/wingdi.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

constexpr UINT IDS_NO_MEMORY = 1105;
constexpr std::uint64_t kWindowBytes = 0x40000; // the page is read in windows of this size

// Pixels a metre for dots an inch, in single precision and truncated as the bitmap header has always had them
// (300 -> 11811).
LONG PelsPerMeter(int dpi) {
    return static_cast<LONG>(static_cast<float>(dpi) * 1000.0f / 25.4f);
}

// Walks the rows of the page image top first, a window at a time: row(index, bytes) for each. False when a window
// cannot be mapped (or row() says stop).
template <typename RowFn> bool ForEachPageRow(CImage& page, int height, std::uint64_t rowBytes, RowFn row) {
    const std::uint64_t rowsPerWindow = std::max<std::uint64_t>(1, kWindowBytes / rowBytes);
    for (std::uint64_t first = 0; first < static_cast<std::uint64_t>(height);) {
        const std::uint64_t rows = std::min<std::uint64_t>(rowsPerWindow, static_cast<std::uint64_t>(height) - first);
        BYTE* data = nullptr;
        void* view = (first + rows) * rowBytes <= UINT_MAX
                         ? page.GetDataHandle(static_cast<unsigned>(first * rowBytes),
                                              static_cast<unsigned>(rows * rowBytes), &data)
                         : nullptr;
        if (view == nullptr)
            return false;
        bool goOn = true;
        for (std::uint64_t i = 0; i < rows && goOn; ++i)
            goOn = row(first + i, data + i * rowBytes);
        page.ReleaseDataHandle(view);
        if (!goOn)
            return false;
        first += rows;
    }
    return true;
}

// A file written front to back under a temporary name beside it; every write is checked. Only a file that was
// finished replaces the target, so a failure leaves whatever file had that name as it was.
class OutputFile {
public:
    explicit OutputFile(const WCHAR* path) : m_path(path), m_partPath(path) {
        m_partPath += u".part";
        m_file = CreateFileW(m_partPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        m_ok = m_opened = m_file != INVALID_HANDLE_VALUE;
        if (!m_ok)
            LogLastError(u"CreateFileW");
    }
    ~OutputFile() {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
        if (m_opened && !m_finished)
            DeleteFileW(m_partPath);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Write(const void* data, std::uint64_t bytes) {
        const auto* from = static_cast<const BYTE*>(data);
        while (m_ok && bytes > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(bytes, 1U << 30));
            DWORD written = 0;
            if (!WriteFile(m_file, from, chunk, &written, nullptr) || written != chunk) {
                LogLastError(u"WriteFile");
                m_ok = false;
            }
            from += chunk;
            bytes -= chunk;
        }
        return m_ok;
    }
    // Closes the file; true when every byte reached it.
    bool Finish() {
        if (m_ok && !CloseHandle(m_file))
            m_ok = false;
        m_file = INVALID_HANDLE_VALUE;
        if (m_ok && !MoveFileExW(m_partPath, m_path, MOVEFILE_REPLACE_EXISTING)) {
            LogLastError(u"MoveFileExW");
            m_ok = false;
        }
        m_finished = m_ok;
        return m_ok;
    }

private:
    const WCHAR* m_path;
    CString m_partPath;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    bool m_opened = false;
    bool m_ok = false;
    bool m_finished = false;
};

void Put16(BYTE* at, std::uint16_t value) {
    std::memcpy(at, &value, 2);
}
void Put32(BYTE* at, std::uint32_t value) {
    std::memcpy(at, &value, 4);
}

} // namespace

HGLOBAL CDsAssistor::BuildDib(int width, int height, int colour, const WCHAR* path, int* result) {
    int ignored = kNotBuilt;
    int& outcome = result != nullptr ? *result : ignored;
    outcome = kNotBuilt;
    const int bpp = PageBitsPerPixel(colour);
    const std::uint64_t rowBytes = PageRowBytes(width, bpp);
    const std::uint64_t stride = (rowBytes + 3) & ~std::uint64_t{3};
    const DWORD colours = colour == 0 ? 2 : colour == 1 ? 256 : 0;
    const std::uint64_t headerBytes = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
    const std::uint64_t imageBytes = stride * static_cast<std::uint64_t>(std::max(height, 0));
    const std::uint64_t dibSize = imageBytes + headerBytes;
    DebugPrintA("dwDIBSize :%llu", static_cast<unsigned long long>(dibSize));

    // A bitmap's sizes are 32-bit fields, the file's included.
    HGLOBAL block = nullptr;
    if (bpp != 0 && width > 0 && height > 0 && dibSize + sizeof(BITMAPFILEHEADER) <= UINT_MAX)
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(dibSize));
    if (block == nullptr) {
        ShowEngineError(g_pScanWindow, LoadResString(IDS_NO_MEMORY));
        return nullptr;
    }
    auto* dib = static_cast<BYTE*>(GlobalLock(block));
    DebugPrintA("hDIB value:%x", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(block)));

    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bpp);
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(imageBytes);
    header.biXPelsPerMeter = PelsPerMeter(m_PageImage.GetXResolution());
    header.biYPelsPerMeter = PelsPerMeter(m_PageImage.GetYResolution());
    header.biClrUsed = colours;
    std::memcpy(dib, &header, sizeof header);
    auto* table = reinterpret_cast<RGBQUAD*>(dib + sizeof header);
    if (colour == 0) {
        table[1] = {255, 255, 255, 0}; // entry 0 stays black
    } else {
        for (DWORD i = 0; i < colours; ++i)
            table[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    }

    // The top page row lands last; colour pixels turn from red-green-blue to blue-green-red on the way.
    BYTE* bits = dib + headerBytes;
    const bool copied = ForEachPageRow(m_PageImage, height, rowBytes, [&](std::uint64_t row, const BYTE* from) {
        BYTE* to = bits + (static_cast<std::uint64_t>(height) - 1 - row) * stride;
        if (bpp == 24) {
            for (std::uint64_t x = 0; x < rowBytes; x += 3) {
                to[x] = from[x + 2];
                to[x + 1] = from[x + 1];
                to[x + 2] = from[x];
            }
        } else {
            std::memcpy(to, from, static_cast<size_t>(rowBytes));
        }
        return true;
    });
    if (!copied) {
        DebugPrint(u"BuildDib: a window of the page cannot be mapped");
        GlobalUnlock(block);
        GlobalFree(block);
        ShowEngineError(g_pScanWindow, LoadResString(IDS_NO_MEMORY));
        return nullptr;
    }

    if (path == nullptr || path[0] == 0) {
        FreePage();
        GlobalUnlock(block);
        outcome = kBuilt;
        return block;
    }

    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfSize = static_cast<DWORD>(dibSize + sizeof fileHeader);
    fileHeader.bfOffBits = static_cast<DWORD>(sizeof fileHeader + headerBytes);
    OutputFile file(path);
    if (file.Write(&fileHeader, sizeof fileHeader) && file.Write(dib, dibSize) && file.Finish()) {
        FreePage();
        outcome = kBuilt;
    } else {
        outcome = kFileNotWritten;
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return nullptr;
}

// Byte layout of the file (little-endian, one strip):
//   0  "II", 42, offset of the directory (8)
//   8  the directory: 13 entries of 12 bytes (tag, type, count, value or offset), then 0 (no next directory)
// 170  BitsPerSample of a colour page: 8, 8, 8 (6 bytes, then 2 of filler)
// 176  XResolution, 184 YResolution: dpi / 1
// 192  the rows, top first, unpadded (a one-bit row ends on a byte boundary; a set bit is white)
int CDsAssistor::WritePageTiff(int width, int height, int colour, const WCHAR* path) {
    constexpr std::uint32_t kBitsOffset = 170;
    constexpr std::uint32_t kXResOffset = 176;
    constexpr std::uint32_t kYResOffset = 184;
    constexpr std::uint32_t kDataOffset = 192;
    const int bpp = PageBitsPerPixel(colour);
    const std::uint64_t rowBytes = PageRowBytes(width, bpp);
    const std::uint64_t dataBytes = rowBytes * static_cast<std::uint64_t>(std::max(height, 0));
    if (bpp == 0 || width <= 0 || height <= 0 || !HasPage() || kDataOffset + dataBytes > UINT_MAX)
        return kNotBuilt;

    BYTE head[kDataOffset] = {};
    head[0] = 'I';
    head[1] = 'I';
    Put16(head + 2, 42);
    Put32(head + 4, 8);
    const std::uint16_t samples = colour == 2 ? 3 : 1;
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    };
    constexpr std::uint16_t kShort = 3;
    constexpr std::uint16_t kLong = 4;
    constexpr std::uint16_t kRational = 5;
    const Entry entries[] = {
        {256, kLong, 1, static_cast<std::uint32_t>(width)},
        {257, kLong, 1, static_cast<std::uint32_t>(height)},
        {258, kShort, samples, samples == 3 ? kBitsOffset : static_cast<std::uint32_t>(bpp)},
        {259, kShort, 1, 1},                      // no compression
        {262, kShort, 1, samples == 3 ? 2U : 1U}, // RGB, or black is zero
        {273, kLong, 1, kDataOffset},             // the one strip
        {277, kShort, 1, samples},
        {278, kLong, 1, static_cast<std::uint32_t>(height)},
        {279, kLong, 1, static_cast<std::uint32_t>(dataBytes)},
        {282, kRational, 1, kXResOffset},
        {283, kRational, 1, kYResOffset},
        {284, kShort, 1, 1}, // chunky
        {296, kShort, 1, 2}, // inches
    };
    Put16(head + 8, static_cast<std::uint16_t>(std::size(entries)));
    BYTE* at = head + 10;
    for (const Entry& e : entries) {
        Put16(at, e.tag);
        Put16(at + 2, e.type);
        Put32(at + 4, e.count);
        if (e.type == kShort && e.count == 1)
            Put16(at + 8, static_cast<std::uint16_t>(e.value)); // a short value sits in the field's first bytes
        else
            Put32(at + 8, e.value);
        at += 12;
    }
    Put32(at, 0);
    for (int i = 0; i < 3; ++i)
        Put16(head + kBitsOffset + 2 * i, 8);
    Put32(head + kXResOffset, static_cast<std::uint32_t>(m_PageImage.GetXResolution()));
    Put32(head + kXResOffset + 4, 1);
    Put32(head + kYResOffset, static_cast<std::uint32_t>(m_PageImage.GetYResolution()));
    Put32(head + kYResOffset + 4, 1);

    OutputFile file(path);
    bool written = file.Write(head, sizeof head);
    written = written && ForEachPageRow(m_PageImage, height, rowBytes,
                                        [&](std::uint64_t, const BYTE* row) { return file.Write(row, rowBytes); });
    if (!written || !file.Finish())
        return kFileNotWritten;
    FreePage();
    return kBuilt;
}
