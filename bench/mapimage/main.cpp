// A 600-dpi A4 colour page written row by row into a mapped CImage through 0x40000-byte windows, then read back
// with CImage::ReadMappedData, as a scan and its transfer do. Prints the rates beside the machine's memcpy rate.
//   bench_mapimage [repeats]
// The page's backing file lies in C:\Temp, so the figure depends on the file system under it: the run is made
// once with C:\ on a disk folder (/tmp, or $BENCH_DISK_DIR) and once on tmpfs (/dev/shm) when there is one.
#include "imaging/CImage.h"
#include "platform/base/testing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 5100;  // 8.5 in at 600 dpi
constexpr int kHeight = 7020; // 11.7 in
constexpr unsigned kWindow = 0x40000;
constexpr double kTarget = 1e9; // bytes per second, end to end

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double MemcpyRate(size_t bytes) {
    std::vector<unsigned char> from(bytes, 1), to(bytes, 0);
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        best = std::min(best, Seconds(start));
        from[i] = to[bytes - 1 - i]; // keep the copies observable
    }
    return bytes / best;
}

struct Figures {
    double write = 0, read = 0;
    bool ok = false;
};

Figures RunOnce() {
    Figures f;
    CImage image;
    if (!image.CreateMapped(3, 8, kWidth, kHeight, 600, 600)) {
        std::fprintf(stderr, "CreateMapped failed\n");
        return f;
    }
    const unsigned rowBytes = kWidth * 3;
    const unsigned rowsPerWindow = kWindow / rowBytes;
    std::vector<unsigned char> row(rowBytes);
    for (unsigned i = 0; i < rowBytes; ++i)
        row[i] = static_cast<unsigned char>(i * 7);

    auto start = Clock::now();
    for (int y = 0; y < kHeight; y += rowsPerWindow) {
        const unsigned rows = std::min<unsigned>(rowsPerWindow, kHeight - y);
        BYTE* data = nullptr;
        void* view = image.GetDataHandle(static_cast<unsigned>(y) * rowBytes, rows * rowBytes, &data);
        if (!view) {
            std::fprintf(stderr, "GetDataHandle failed at row %d\n", y);
            return f;
        }
        for (unsigned r = 0; r < rows; ++r) {
            std::memcpy(data + r * rowBytes, row.data(), rowBytes);
            data[r * rowBytes] = static_cast<BYTE>(y + r); // each row its own first byte
        }
        image.ReleaseDataHandle(view);
    }
    f.write = Seconds(start);

    std::vector<unsigned char> buffer(kWindow);
    image.ResetRead();
    unsigned total = 0, read = 0, checksum = 0;
    start = Clock::now();
    do {
        if (image.ReadMappedData(buffer.data(), kWindow, &read) != 0) {
            std::fprintf(stderr, "ReadMappedData failed at byte %u\n", total);
            return f;
        }
        checksum += buffer[0] + (read ? buffer[read - 1] : 0);
        total += read;
    } while (read > 0);
    f.read = Seconds(start);
    f.ok = total == static_cast<unsigned>(rowBytes) * kHeight && checksum != 0;
    if (!f.ok)
        std::fprintf(stderr, "read %u bytes of %u\n", total, rowBytes * kHeight);
    return f;
}

// Runs the page under a fresh C:\ root made in `parent`; false when the page could not be written or read.
bool RunUnder(const char* parent, const char* label, int repeats, double bytes) {
    std::string pattern = std::string(parent) + "/bench-mapimage-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::printf("%-6s (no folder under %s)\n", label, parent);
        return true;
    }
    platform::testing::SetRoot(pattern);
    CreateDirectoryW(u"C:\\Temp", nullptr);
    Figures best;
    for (int i = 0; i < repeats; ++i) {
        Figures f = RunOnce();
        if (!f.ok)
            break;
        if (!best.ok || f.write + f.read < best.write + best.read)
            best = f;
    }
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    if (!best.ok)
        return false;
    const double endToEnd = bytes / (best.write + best.read);
    std::printf("%-6s write rows %6.2f GB/s (%5.1f ms)   ReadMappedData %6.2f GB/s (%5.1f ms)   end to end %5.2f GB/s"
                "  [target %.2f: %s]\n",
                label, bytes / best.write / 1e9, best.write * 1e3, bytes / best.read / 1e9, best.read * 1e3,
                endToEnd / 1e9, kTarget / 1e9, endToEnd >= kTarget ? "met" : "NOT MET");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const double bytes = 3.0 * kWidth * kHeight;
    std::printf("page: %d x %d colour, %.1f MB, windows of 0x%X bytes, best of %d\n", kWidth, kHeight, bytes / 1e6,
                kWindow, repeats);
    const char* disk = std::getenv("BENCH_DISK_DIR");
    bool ok = RunUnder(disk ? disk : "/tmp", "disk", repeats, bytes);
    if (std::filesystem::is_directory("/dev/shm"))
        ok = RunUnder("/dev/shm", "tmpfs", repeats, bytes) && ok;
    std::printf("memcpy %6.2f GB/s (same size, for comparison)\n", MemcpyRate(static_cast<size_t>(bytes)) / 1e9);
    return ok ? 0 : 1;
}
