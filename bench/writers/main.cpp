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

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& run, int rounds) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// A page with the texture of a scan: gradients, text-like dark strokes and sensor noise.
std::vector<BYTE> PageBmp() {
    size_t stride = (kWidth * 3 + 3) / 4 * 4;
    std::vector<BYTE> bmp(54 + stride * kHeight);
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
    put32(34, static_cast<DWORD>(stride * kHeight));
    put32(38, 11811);
    put32(42, 11811);
    std::mt19937 noise(1);
    for (int y = 0; y < kHeight; ++y) {
        BYTE* row = bmp.data() + 54 + stride * y;
        for (int x = 0; x < kWidth; ++x) {
            bool ink = (y / 40) % 3 == 0 && (x / 12) % 5 != 0 && ((x * 7 + y * 3) / 9) % 4 != 0;
            int base = ink ? 40 : 225;
            row[x * 3] = static_cast<BYTE>(std::clamp(base + x % 30 - 15 + static_cast<int>(noise() % 9), 0, 255));
            row[x * 3 + 1] = static_cast<BYTE>(std::clamp(base + y % 20 - 10 + static_cast<int>(noise() % 9), 0, 255));
            row[x * 3 + 2] = static_cast<BYTE>(std::clamp(base + static_cast<int>(noise() % 9), 0, 255));
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

double TurboEncode(const std::vector<BYTE>& bmp, int quality, int rounds) {
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    int stride = (kWidth * 3 + 3) / 4 * 4;
    double seconds = Seconds(
        [&] {
            tjCompress2(handle, bmp.data() + 54, kWidth, stride, kHeight, TJPF_BGR, &jpeg, &size, TJSAMP_420, quality,
                        0);
        },
        rounds);
    tjFree(jpeg);
    tjDestroy(handle);
    return seconds;
}

void Report(const char* what, double writer, double encoder) {
    double extra = (writer / encoder - 1.0) * 100.0;
    std::printf("%-34s %8.1f ms   encoder %8.1f ms   %+6.1f %%  %s\n", what, writer * 1000, encoder * 1000, extra,
                extra <= 25.0 ? "ok" : "OVER BUDGET");
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    auto root = std::filesystem::temp_directory_path() / ("bench-writers-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "Temp");
    platform::testing::SetRoot(root.string());

    std::vector<BYTE> bmp = PageBmp();
    double encode75 = TurboEncode(bmp, 75, rounds);
    double encode65 = TurboEncode(bmp, PagePdf_JpegQuality(300), rounds);
    std::printf("A4 colour page %d x %d at 300 dpi, best of %d\n", kWidth, kHeight, rounds);
    std::printf("%-34s %8.1f ms (quality 75), %.1f ms (quality 65)\n", "libjpeg-turbo encode", encode75 * 1000,
                encode65 * 1000);

    double jpeg = Seconds(
        [&] {
            IStream* stream = StreamOf(bmp);
            SaveImage(stream, u"C:\\page.jpg", SaveTypeJpeg);
            stream->Release();
        },
        rounds);
    Report("JPEG (SaveImage type 4)", jpeg, encode75);

    double pagePdf = Seconds(
        [&] {
            IStream* stream = StreamOf(bmp);
            SavePagePdf(stream, u"C:\\page.pdf");
            stream->Release();
        },
        rounds);
    Report("page PDF (SaveImage type 7)", pagePdf, encode65);

    auto makeJpegs = [&](std::vector<CString>& paths) {
        paths.clear();
        for (int i = 0; i < kPages; ++i) {
            WCHAR path[MAX_PATH];
            swprintf_s(path, MAX_PATH, u"C:\\Temp\\Jpg%d.tmp", i);
            IStream* stream = StreamOf(bmp);
            SaveImage(stream, path, SaveTypeJpeg);
            stream->Release();
            paths.emplace_back(path);
        }
    };
    double several = Seconds(
        [&] {
            std::vector<CString> paths;
            makeJpegs(paths);
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
        rounds);
    Report("10 pages to a several-page PDF", several, encode75 * kPages);

    double ofd = Seconds(
        [&] {
            std::vector<CString> paths;
            makeJpegs(paths);
            OfdWriter writer;
            writer.SaveAsOfd(paths, std::vector<int>(kPages, kWidth), std::vector<int>(kPages, kHeight), 300,
                             u"C:\\pages.ofd");
        },
        rounds);
    Report("10 pages to an OFD", ofd, encode75 * kPages);

    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
