// Reads pages from the simulated scanner the way the data source does (one row per call into a 0x40000-byte
// window) and in 1 MiB chunks, and prints the rates beside memcpy over the same buffer sizes.
// Usage: bench_device [path of the driver library]; the page needs at least 2 GB/s in colour.
#include "companions/scandrv/ScanDrv.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

struct Api {
    decltype(&ScanDrv_Open) open;
    decltype(&ScanDrv_Close) close;
    decltype(&ScanDrv_SetScanParameter) setScanParameter;
    decltype(&ScanDrv_GetScanParameter) getScanParameter;
    decltype(&ScanDrv_StartScan) startScan;
    decltype(&ScanDrv_ReadScanData) readScanData;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Bytes per second reading `pages` A4 pages at dpi and colour, `request` bytes a call (0: one row a call).
double ReadRate(const Api& api, void* device, int dpi, int colour, int pages, size_t request) {
    if (api.setScanParameter(device, dpi, dpi, colour, 0, 0, 9921, 14031, 128, 0) != 0)
        return 0;
    int width = 0, lines = 0;
    api.getScanParameter(device, &width, &lines);
    const size_t rowBytes = (static_cast<size_t>(width) * (colour == 0 ? 1 : colour == 1 ? 8 : 24) + 7) / 8;
    const size_t pageBytes = rowBytes * static_cast<size_t>(lines);
    const size_t window = request ? request : (0x40000 / rowBytes) * rowBytes;
    std::vector<unsigned char> buffer(window);
    double seconds = 0;
    for (int p = 0; p < pages; ++p) {
        if (api.startScan(device) != 0)
            return 0;
        auto start = std::chrono::steady_clock::now();
        size_t done = 0, at = 0;
        while (done < pageBytes) {
            size_t n = request ? std::min(request, pageBytes - done) : rowBytes;
            if (at + n > buffer.size())
                at = 0;
            int count = 0;
            if (api.readScanData(device, buffer.data() + at, static_cast<int>(n), &count) != 0)
                return 0;
            done += n;
            at += n;
        }
        seconds += Seconds(start);
    }
    return static_cast<double>(pageBytes) * pages / seconds;
}

double MemcpyRate(size_t block, size_t total) {
    std::vector<unsigned char> from(block, 1), to(block);
    auto start = std::chrono::steady_clock::now();
    for (size_t done = 0; done < total; done += block) {
        std::memcpy(to.data(), from.data(), block);
        from[done % block] ^= to[(done * 7) % block]; // keeps the copies from being folded away
    }
    return static_cast<double>(total) / Seconds(start);
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : SCANDRV_PATH;
    void* lib = dlopen(path, RTLD_NOW);
    if (!lib) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    Api api{reinterpret_cast<decltype(Api::open)>(dlsym(lib, "ScanDrv_Open")),
            reinterpret_cast<decltype(Api::close)>(dlsym(lib, "ScanDrv_Close")),
            reinterpret_cast<decltype(Api::setScanParameter)>(dlsym(lib, "ScanDrv_SetScanParameter")),
            reinterpret_cast<decltype(Api::getScanParameter)>(dlsym(lib, "ScanDrv_GetScanParameter")),
            reinterpret_cast<decltype(Api::startScan)>(dlsym(lib, "ScanDrv_StartScan")),
            reinterpret_cast<decltype(Api::readScanData)>(dlsym(lib, "ScanDrv_ReadScanData"))};
    void* device = nullptr;
    if (api.open("\\\\.\\Usbscan", &device) != 0) {
        std::fprintf(stderr, "the device does not open (check the control file's \"usb\" and faults)\n");
        return 1;
    }
    const double gb = 1e9;
    std::printf("memcpy, 0x40000-byte blocks:        %6.2f GB/s\n", MemcpyRate(0x40000, 4ull << 30) / gb);
    std::printf("memcpy, 64 MiB blocks:              %6.2f GB/s\n", MemcpyRate(64u << 20, 4ull << 30) / gb);
    struct Case {
        const char* name;
        int dpi, colour;
        size_t request;
    } cases[] = {
        {"colour 600 dpi A4, one row a call", 600, 2, 0},   {"colour 600 dpi A4, 1 MiB a call", 600, 2, 1u << 20},
        {"colour 1200 dpi A4, one row a call", 1200, 2, 0}, {"grey 600 dpi A4, one row a call", 600, 1, 0},
        {"black and white 600 dpi A4, one row", 600, 0, 0},
    };
    bool ok = true;
    for (const Case& c : cases) {
        double rate = ReadRate(api, device, c.dpi, c.colour, 3, c.request) / gb;
        std::printf("device, %-36s %6.2f GB/s\n", c.name, rate);
        if (c.colour == 2 && rate < 2.0)
            ok = false;
    }
    api.close(device);
    std::printf(ok ? "colour rows at 2 GB/s or more: yes\n" : "colour rows at 2 GB/s or more: NO\n");
    return ok ? 0 : 2;
}
