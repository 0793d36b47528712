// Times Velmora's writers on a 300-dpi A4 colour page (2480 x 3508) held as a BMP file in a stream, as the scan
// thread delivers it: the JPEG save, the page PDF, and ten pages joined into a several-page PDF and into an OFD.
// Each is printed beside libjpeg-turbo's own encode time of the same pixels (at the same quality); the writers should
// add no more than 25 % to it.
//
//   bench_writers [rounds]     (default 3; the best round counts)
#include "devicescan/JpegPdfDocument.h"
#include "devicescan/OfdWriter.h"
#include "devicescan/PagePdfWriter.h"
#include "devicescan/SaveImage.h"
#include "platform/base/path.h"
#include "platform/base/testing.h"

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;
constexpr int kPages = 10;
constexpr size_t kStride = (static_cast<size_t>(kWidth) * 3 + 3) / 4 * 4; // BMP rows are DWORD aligned

using Clock = std::chrono::steady_clock;

// A page with the texture of a scan: gradients, text-like dark strokes and sensor noise.
std::vector<BYTE> PageBmp() {
    std::vector<BYTE> bmp(54 + kStride * kHeight);
    auto put32 = [&](size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = static_cast<BYTE>(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<DWORD>(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, kWidth);
    put32(22, static_cast<DWORD>(-kHeight));
    bmp[26] = 1;
    bmp[28] = 24;
    put32(34, static_cast<DWORD>(kStride * kHeight));
    put32(38, 11811);
    put32(42, 11811);
    std::mt19937 noise(1);
    for (int y = 0; y < kHeight; ++y) {
        BYTE* row = bmp.data() + 54 + kStride * y;
        for (int x = 0; x < kWidth; ++x) {
            bool ink = (y / 40) % 3 == 0 && (x / 12) % 5 != 0 && ((x * 7 + y * 3) / 9) % 4 != 0;
            int base = ink ? 40 : 225;
            BYTE* pixel = row + static_cast<size_t>(x) * 3;
            pixel[0] = static_cast<BYTE>(std::clamp(base + x % 30 - 15 + static_cast<int>(noise() % 9), 0, 255));
            pixel[1] = static_cast<BYTE>(std::clamp(base + y % 20 - 10 + static_cast<int>(noise() % 9), 0, 255));
            pixel[2] = static_cast<BYTE>(std::clamp(base + static_cast<int>(noise() % 9), 0, 255));
        }
    }
    return bmp;
}

IStream* StreamOf(const std::vector<BYTE>& bytes) {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    return stream;
}

// libjpeg-turbo's own encoder on the page's pixels, as the writers' yardstick.
class Encoder {
public:
    explicit Encoder(const std::vector<BYTE>& bmp) : m_bmp(bmp), m_handle(tjInitCompress()) {}
    ~Encoder() {
        tjFree(m_jpeg);
        tjDestroy(m_handle);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    void Encode(int quality) {
        tjCompress2(m_handle, m_bmp.data() + 54, kWidth, static_cast<int>(kStride), kHeight, TJPF_BGR, &m_jpeg, &m_size,
                    TJSAMP_420, quality, 0);
    }

private:
    const std::vector<BYTE>& m_bmp;
    tjhandle m_handle;
    unsigned char* m_jpeg = nullptr;
    unsigned long m_size = 0;
};

double Time(const std::function<void()>& run) {
    auto start = Clock::now();
    run();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The writer and the encoder take turns, so that both see the same load on a shared machine; the best round counts.
void Compare(const char* what, int rounds, const std::function<void()>& writer, const std::function<void()>& encoder) {
    double bestWriter = 1e9, bestEncoder = 1e9;
    for (int i = 0; i < rounds; ++i) {
        bestEncoder = std::min(bestEncoder, Time(encoder));
        bestWriter = std::min(bestWriter, Time(writer));
    }
    double extra = (bestWriter / bestEncoder - 1.0) * 100.0;
    std::printf("%-32s %8.1f ms   libjpeg-turbo %8.1f ms   %+6.1f %%  %s\n", what, bestWriter * 1000,
                bestEncoder * 1000, extra, extra <= 25.0 ? "ok" : "OVER BUDGET");
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    auto root = std::filesystem::temp_directory_path() / ("bench-writers-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "Temp");
    platform::testing::SetRoot(root.string());

    std::vector<BYTE> bmp = PageBmp();
    // The page arrives as the scan thread leaves it: a BMP file in a memory stream.
    IStream* page = StreamOf(bmp);
    Encoder encoder(bmp);
    std::printf("A4 colour page %d x %d at 300 dpi; best of %d rounds, writer and encoder taking turns\n", kWidth,
                kHeight, rounds);

    Compare(
        "JPEG (SaveImage type 4)", rounds, [&] { SaveImage(page, u"C:\\page.jpg", SaveTypeJpeg); },
        [&] { encoder.Encode(75); });
    Compare(
        "page PDF (SaveImage type 7)", rounds, [&] { SavePagePdf(page, u"C:\\page.pdf"); },
        [&] { encoder.Encode(PagePdf_JpegQuality(300)); });

    auto makeJpegs = [&] {
        std::vector<CString> paths;
        for (int i = 0; i < kPages; ++i) {
            WCHAR path[MAX_PATH];
            swprintf_s(path, MAX_PATH, u"C:\\Temp\\Jpg%d.tmp", i);
            SaveImage(page, path, SaveTypeJpeg);
            paths.emplace_back(path);
        }
        return paths;
    };
    auto tenEncodes = [&] {
        for (int i = 0; i < kPages; ++i)
            encoder.Encode(75);
    };
    Compare(
        "10 pages to a several-page PDF", rounds,
        [&] {
            std::vector<CString> paths = makeJpegs();
            JpegPdfDocument* doc = PDF_CreateDocument(kWidth, kHeight);
            for (const CString& path : paths) {
                auto size = std::filesystem::file_size(platform::path::ToHostPath(static_cast<LPCWSTR>(path)));
                PDF_AddJpeg(path, doc, kWidth, kHeight, 300, static_cast<DWORD>(size));
            }
            PDF_EndDocument(doc, nullptr);
            PDF_ToFile(doc, u"C:\\pages.pdf");
            for (const CString& path : paths)
                DeleteFileW(path);
        },
        tenEncodes);
    Compare(
        "10 pages to an OFD", rounds,
        [&] {
            std::vector<CString> paths = makeJpegs();
            OfdWriter writer;
            writer.SaveAsOfd(paths, std::vector<int>(kPages, kWidth), std::vector<int>(kPages, kHeight), 300,
                             u"C:\\pages.ofd");
        },
        tenEncodes);

    std::printf("page JPEG %zu bytes, page PDF %zu bytes, 10-page PDF %zu bytes, OFD %zu bytes\n",
                static_cast<size_t>(std::filesystem::file_size(root / "page.jpg")),
                static_cast<size_t>(std::filesystem::file_size(root / "page.pdf")),
                static_cast<size_t>(std::filesystem::file_size(root / "pages.pdf")),
                static_cast<size_t>(std::filesystem::file_size(root / "pages.ofd")));
    page->Release();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
