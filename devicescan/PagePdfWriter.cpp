#include "devicescan/PagePdfWriter.h"

#include "devicescan/SaveImage.h"
#include "platform/gdiplus/gdiplus.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int kMaxOffsets = 11;
constexpr char kProgramTitle[] = "Velmora";

// Process-wide writer state.
struct PagePdfState {
    FILE* file = nullptr;
    std::u16string path;
    long offsets[kMaxOffsets] = {};
    int offsetCount = 0;
    int counter = 1;
    int width = 0;
    int height = 0;
    int resolution = 0;
    bool failed = false;
};
PagePdfState g_pdf;

void Debug(const char* text) {
    OutputDebugStringA(text);
}

void Write(const void* data, size_t size) {
    if (!g_pdf.file || g_pdf.failed)
        return;
    if (size && std::fwrite(data, 1, size, g_pdf.file) != size)
        g_pdf.failed = true;
}
void Write(const std::string& text) {
    Write(text.data(), text.size());
}

void RecordOffset() {
    if (!g_pdf.file || g_pdf.offsetCount >= kMaxOffsets) {
        g_pdf.failed = true;
        return;
    }
    long at = std::ftell(g_pdf.file);
    if (at < 0)
        g_pdf.failed = true;
    g_pdf.offsets[g_pdf.offsetCount++] = at;
}

std::string Num(long long value) {
    return std::to_string(value);
}

// The page in points: pixels * 72 / resolution, in floating point and truncated.
int Points(int pixels, int resolution) {
    return static_cast<int>(static_cast<double>(pixels) * 72.0 / resolution);
}

std::u16string TempFolder() {
    WCHAR folder[MAX_PATH] = {};
    DWORD n = GetTempPathW(MAX_PATH, folder);
    return n && n < MAX_PATH ? std::u16string(folder) : std::u16string();
}

// Two processes (or two pages within a second) never share a temporary name.
std::u16string UniqueSuffix() {
    static LONG counter = 0;
    return platform::Format(u"_%lu_%ld", static_cast<unsigned long>(GetCurrentProcessId()),
                            static_cast<long>(InterlockedIncrement(&counter)));
}

// A read-only view of a whole file, closed and unmapped on every road.
class MappedFile {
public:
    explicit MappedFile(const WCHAR* path) {
        m_file =
            CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_file == INVALID_HANDLE_VALUE)
            return;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(m_file, &size) || size.QuadPart <= 0)
            return;
        m_mapping = CreateFileMappingW(m_file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!m_mapping)
            return;
        m_view = static_cast<const BYTE*>(MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, 0));
        if (m_view)
            m_size = static_cast<size_t>(size.QuadPart);
    }
    ~MappedFile() {
        if (m_view)
            UnmapViewOfFile(m_view);
        if (m_mapping)
            CloseHandle(m_mapping);
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const BYTE* data() const { return m_view; }
    size_t size() const { return m_size; }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    HANDLE m_mapping = nullptr;
    const BYTE* m_view = nullptr;
    size_t m_size = 0;
};

void WriteContentsAndLength(int w, int h) {
    std::string stream = "q\r" + Num(w) + " 0 0 " + Num(h) + " 0 0 cm \r/im" + Num(g_pdf.counter) + " Do\rQ\r";
    Write("7 0 obj\r<<\r/Length 8 0 R\r>>\rstream\r\n" + stream + "endstream\rendobj\r");
    RecordOffset();
    Write("8 0 obj\r" + Num(static_cast<long long>(stream.size())) + "\rendobj\r");
    RecordOffset();
}

std::string ImageHead(int width, int height) {
    return "10 0 obj\r<<\r/Type /XObject\r/Subtype /Image\r/Name /im" + Num(g_pdf.counter) + "\r/Width " + Num(width) +
           "\r/Height " + Num(height);
}

std::string PageHead() {
    return "9 0 obj\r<<\r/Type /Page\r/Parent 6 0 R\r/Resources <<\r/XObject <<\r/im" + Num(g_pdf.counter) +
           " 10 0 R \r>>\r/ProcSet [/PDF ";
}

} // namespace

int PagePdf_JpegQuality(int resolution) {
    int quality = static_cast<int>(100.0 - resolution / 600.0 * 70.0);
    return quality < 0 ? 0 : quality > 100 ? 100 : quality;
}

bool ReadImageInfo(IStream* page, int& width, int& height, int& resolution, int& bits) {
    Gdiplus::Bitmap image(page);
    if (image.GetLastStatus() != Gdiplus::Ok)
        return false;
    width = static_cast<int>(image.GetWidth());
    height = static_cast<int>(image.GetHeight());
    // 11811 pixels per metre read back as 299.9994 dpi: the page is a 300-dpi page.
    resolution = static_cast<int>(std::lround(image.GetVerticalResolution()));
    switch (image.GetPixelFormat()) {
    case Gdiplus::PixelFormat24bppRGB:
        bits = 24;
        return true;
    case Gdiplus::PixelFormat8bppIndexed:
        bits = 8;
        return true;
    case Gdiplus::PixelFormat1bppIndexed:
        bits = 1;
        return true;
    default:
        return false;
    }
}

void PagePdf_WriteHeader() {
    g_pdf.offsetCount = 0;
    g_pdf.counter = 1;
    Write("%PDF-1.3 \r");
    RecordOffset();
    Write("1 0 obj\rendobj\r");
    RecordOffset();
    Write("2 0 obj\r<<\r/Type /Catalog\r/Pages 6 0 R\r>>\rendobj\r");
    RecordOffset();
    Write("3 0 obj\rendobj\r");
    RecordOffset();
    Write("4 0 obj\rendobj\r");
    RecordOffset();
    Write(std::string("5 0 obj\r<</Creator()/Title()/Author()/Subject(image)/Producer(") + kProgramTitle +
          ")>>\rendobj\r");
    RecordOffset();
}

std::u16string PagePdf_SaveTempJpeg(IStream* page, WCHAR* outPath, int resolution) {
    if (outPath)
        outPath[0] = 0;
    Debug(platform::Format("nResolution: %d", resolution).c_str());
    int quality = PagePdf_JpegQuality(resolution);
    Debug(platform::Format("Quality: %d", quality).c_str());
    std::u16string folder = TempFolder();
    CLSID clsid{};
    if (folder.empty() || GetEncoderClsid(u"image/jpeg", &clsid) < 0)
        return {};
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::u16string path = platform::Format(u"%s%02d%02d%02d%02d%02d%02d", folder.c_str(), now.wYear % 1000, now.wMonth,
                                           now.wDay, now.wHour, now.wMinute, now.wSecond) +
                          UniqueSuffix() + u".jpg";
    if (path.size() >= MAX_PATH)
        return {};
    Gdiplus::Bitmap image(page);
    ULONG value = static_cast<ULONG>(quality);
    Gdiplus::EncoderParameters parameters{};
    parameters.Count = 1;
    parameters.Parameter[0].Guid = Gdiplus::EncoderQuality;
    parameters.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Value = &value;
    if (image.GetLastStatus() != Gdiplus::Ok || image.Save(path.c_str(), &clsid, &parameters) != Gdiplus::Ok)
        return {};
    if (outPath)
        lstrcpynW(outPath, path.c_str(), MAX_PATH);
    return path;
}

std::vector<BYTE> PagePdf_SaveTempBmp(IStream* page, int width, int height) {
    std::u16string folder = TempFolder();
    CLSID clsid{};
    if (folder.empty() || GetEncoderClsid(u"image/bmp", &clsid) < 0 || width <= 0 || height <= 0)
        return {};
    std::u16string path = folder + u"temp" + UniqueSuffix() + u".bmp";
    Gdiplus::Bitmap image(page);
    if (image.GetLastStatus() != Gdiplus::Ok || image.Save(path.c_str(), &clsid) != Gdiplus::Ok) {
        DeleteFileW(path.c_str());
        return {};
    }
    std::vector<BYTE> rows;
    {
        MappedFile file(path.c_str());
        size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
        size_t stride = ((static_cast<size_t>(width) + 31) / 32) * 4;
        size_t need = stride * static_cast<size_t>(height);
        // The saved bitmap is bottom-up: its last row is the top of the page.
        if (file.data() && file.size() >= need + 54) {
            rows.resize(rowBytes * static_cast<size_t>(height));
            const BYTE* last = file.data() + file.size() - stride;
            for (int y = 0; y < height; ++y)
                std::memcpy(rows.data() + rowBytes * y, last - stride * y, rowBytes);
        }
    }
    DeleteFileW(path.c_str());
    return rows;
}

bool PagePdf_AddJpegPage(IStream* page, int width, int height, int resolution) {
    int w = Points(width, resolution);
    int h = Points(height, resolution);
    Debug(platform::Format("CX: %d,CY:%d", w, h).c_str());
    WCHAR jpegPath[MAX_PATH];
    std::u16string path = PagePdf_SaveTempJpeg(page, jpegPath, resolution);
    if (path.empty())
        return false;
    bool good = false;
    {
        MappedFile jpeg(path.c_str());
        if (jpeg.data()) {
            WriteContentsAndLength(w, h);
            Write(PageHead() + "/ImageC]\r>>\r/Contents [ 7 0 R ]\r/MediaBox [ 0 0 " + Num(w) + " " + Num(h) +
                  " ]\r>>\rendobj\r");
            RecordOffset();
            Write(ImageHead(width, height) + "\r/Filter /DCTDecode\r/BitsPerComponent 8\r/ColorSpace /DeviceRGB " +
                  "\r/Length " + Num(static_cast<long long>(jpeg.size())) + "\r>>\rstream\r\n");
            Write(jpeg.data(), jpeg.size());
            Write("\rendstream\rendobj\r");
            RecordOffset();
            ++g_pdf.counter;
            good = !g_pdf.failed;
        }
    }
    DeleteFileW(path.c_str());
    return good;
}

bool PagePdf_AddBwPage(IStream* page, int width, int height, int resolution) {
    int w = Points(width, resolution);
    int h = Points(height, resolution);
    std::vector<BYTE> rows = PagePdf_SaveTempBmp(page, width, height);
    if (rows.empty())
        return false;
    WriteContentsAndLength(w, h);
    Write(PageHead() + "/ImageB]\r>>\r/Contents [ 7 0 R  ]\r>>\rendobj\r");
    RecordOffset();
    Write(ImageHead(width, height) + "\r/BitsPerComponent 1\r/ColorSpace /DeviceGray" + "\r/Length " +
          Num(static_cast<long long>(rows.size())) + "\r>>\rstream\r\n");
    Write(rows.data(), rows.size());
    Write("\rendstream\rendobj\r");
    RecordOffset();
    ++g_pdf.counter;
    return !g_pdf.failed;
}

int PagePdf_AddPage(IStream* page) {
    int width = 0, height = 0, resolution = 0, bits = 0;
    if (!ReadImageInfo(page, width, height, resolution, bits) || resolution <= 0)
        return -1;
    g_pdf.width = width;
    g_pdf.height = height;
    g_pdf.resolution = resolution;
    bool added = bits == 1 ? PagePdf_AddBwPage(page, width, height, resolution)
                           : PagePdf_AddJpegPage(page, width, height, resolution);
    return added ? 0 : -1;
}

void PagePdf_WriteTrailer() {
    int w = Points(g_pdf.width, g_pdf.resolution);
    int h = Points(g_pdf.height, g_pdf.resolution);
    Write("6 0 obj\r<<\r/Kids [9 0 R ]\r/Count 1\r/Type /Pages\r/MediaBox [ 0 0 " + Num(w) + " " + Num(h) +
          " ]\r>>\rendobj\r");
    RecordOffset();
    if (g_pdf.offsetCount != kMaxOffsets) {
        g_pdf.failed = true;
        return;
    }
    const long* e = g_pdf.offsets;
    // Objects 1 to 5, then 6 (written last, just before the table), then 7 to 10.
    const long objects[10] = {e[0], e[1], e[2], e[3], e[4], e[9], e[5], e[6], e[7], e[8]};
    std::string table = "xref\r0 " + Num(kMaxOffsets) + "\r0000000000 65535 f \r";
    char entry[32];
    for (long offset : objects) {
        std::snprintf(entry, sizeof entry, "%010ld 00000 n \r", offset);
        table += entry;
    }
    table += "trailer\r<<\r/Size " + Num(kMaxOffsets) + "\r/Root 2 0 R\r/Info 5 0 R\r>>\rstartxref\r" + Num(e[10]) +
             "\r%%EOF\r";
    Write(table);
}

bool PagePdf_Close() {
    if (!g_pdf.file)
        return true;
    PagePdf_WriteTrailer();
    Debug("Close PDF");
    bool good = std::fclose(g_pdf.file) == 0 && !g_pdf.failed;
    g_pdf = PagePdfState{};
    return good;
}

int SavePagePdf(IStream* page, const WCHAR* path) {
    Debug("try to open PDF");
    if (!g_pdf.file) {
        if (!path)
            return -1;
        g_pdf.file = _wfopen(path, u"wb");
        if (!g_pdf.file)
            return -1;
        g_pdf.path = path;
        g_pdf.failed = false;
        Debug("Create PDF");
        OutputDebugStringW(path);
        PagePdf_WriteHeader();
    }
    std::u16string written = g_pdf.path;
    if (PagePdf_AddPage(page) != 0) {
        // No trailer over missing objects: the half-written file goes.
        std::fclose(g_pdf.file);
        g_pdf = PagePdfState{};
        DeleteFileW(written.c_str());
        return -1;
    }
    if (!PagePdf_Close()) {
        DeleteFileW(written.c_str());
        return -1;
    }
    return 0;
}
