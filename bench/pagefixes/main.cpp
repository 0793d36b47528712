// The page fixes of a 300-dpi A4 page with its document skewed by 2 degrees, as the scan thread runs them: the grey
// working copy, the skew (auto_deskew), the turn (normal_rotate) and the crop (auto_crop), in black and white, grey
// and colour. Prints the best of the repeats for each step and the whole.
//   bench_pagefixes [repeats] [path of the driver library]
#include "companions/scandrv/ScanDrv.h"
#include "imaging/ImageProcessing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

struct Page {
    int width = 0, height = 0, colour = 0;
    std::vector<BYTE> bytes;
};

// One A4 page of the simulated device at 300 dpi in the colour mode; empty when the device cannot be used.
Page Scan(void* lib, int colour) {
    Page page;
    auto open = reinterpret_cast<decltype(&ScanDrv_Open)>(dlsym(lib, "ScanDrv_Open"));
    auto close = reinterpret_cast<decltype(&ScanDrv_Close)>(dlsym(lib, "ScanDrv_Close"));
    auto set = reinterpret_cast<decltype(&ScanDrv_SetScanParameter)>(dlsym(lib, "ScanDrv_SetScanParameter"));
    auto get = reinterpret_cast<decltype(&ScanDrv_GetScanParameter)>(dlsym(lib, "ScanDrv_GetScanParameter"));
    auto start = reinterpret_cast<decltype(&ScanDrv_StartScan)>(dlsym(lib, "ScanDrv_StartScan"));
    auto read = reinterpret_cast<decltype(&ScanDrv_ReadScanData)>(dlsym(lib, "ScanDrv_ReadScanData"));
    void* device = nullptr;
    if (!open || !read || open("\\\\.\\Usbscan", &device) != 0)
        return page;
    if (set(device, 300, 300, colour, 0, 0, 9921, 14031, 128, 0) == 0 && get(device, &page.width, &page.height) == 0 &&
        start(device) == 0) {
        const size_t rowBytes = (static_cast<size_t>(page.width) * (colour == 0 ? 1 : colour == 1 ? 8 : 24) + 7) / 8;
        page.bytes.resize(rowBytes * static_cast<size_t>(page.height));
        page.colour = colour;
        for (int y = 0; y < page.height; ++y) {
            int count = 0;
            if (read(device, page.bytes.data() + rowBytes * static_cast<size_t>(y), static_cast<int>(rowBytes),
                     &count) != 0) {
                page.bytes.clear();
                break;
            }
        }
    }
    close(device);
    return page;
}

struct Times {
    double grey = 1e300, deskew = 1e300, rotate = 1e300, crop = 1e300, total = 1e300;
};

} // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const char* driver = argc > 2 ? argv[2] : SCANDRV_PATH;

    // The device reads its control file from the C:\ root: a private one with the skewed document.
    char pattern[] = "/tmp/bench-pagefixes-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    setenv("PLATFORM_ROOT", pattern, 1);
    std::ofstream(std::string(pattern) + "/scandrv.conf") << "skew = 2\n";
    void* lib = dlopen(driver, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", driver, dlerror());
        return 1;
    }

    std::printf("300-dpi A4 page, document skewed by 2 degrees; best of %d, milliseconds\n", repeats);
    std::printf("%-16s %8s %8s %8s %8s %8s   %s\n", "mode", "grey", "deskew", "rotate", "crop", "total", "result");
    int status = 0;
    for (int colour : {0, 1, 2}) {
        Page page = Scan(lib, colour);
        if (page.bytes.empty()) {
            std::fprintf(stderr, "the simulated device gave no page\n");
            status = 1;
            break;
        }
        Times best;
        float angle = 0;
        ImgProcParam crop{};
        for (int r = 0; r < repeats; ++r) {
            const auto start = Clock::now();
            std::vector<BYTE> grey(static_cast<size_t>(page.width) * static_cast<size_t>(page.height));
            if (colour == 0)
                BwToGray(page.bytes.data(), grey.data(), page.width, page.height);
            else if (colour == 2)
                RgbToGray(page.bytes.data(), grey.data(), page.width, page.height);
            else
                grey = page.bytes;
            const double greyMs = Milliseconds(start);

            auto step = Clock::now();
            angle = auto_deskew(grey.data(), page.width, page.height, colour, 300);
            const double deskewMs = Milliseconds(step);

            step = Clock::now();
            ImgProcParam turn{colour, 300, page.width, page.height, 0, 0, angle};
            std::unique_ptr<BYTE[]> upright = normal_rotate(colour == 0 ? grey.data() : page.bytes.data(), &turn);
            const double rotateMs = Milliseconds(step);

            step = Clock::now();
            std::vector<BYTE> out(page.bytes.size());
            crop = {colour, 300, page.width, page.height, 0, 0, 0};
            if (!upright || auto_crop(upright.get(), out.data(), &crop) != 1)
                status = 1;
            const double cropMs = Milliseconds(step);
            const double totalMs = Milliseconds(start);

            best.grey = std::min(best.grey, greyMs);
            best.deskew = std::min(best.deskew, deskewMs);
            best.rotate = std::min(best.rotate, rotateMs);
            best.crop = std::min(best.crop, cropMs);
            best.total = std::min(best.total, totalMs);
        }
        std::printf("%-16s %8.1f %8.1f %8.1f %8.1f %8.1f   skew %.0f, cropped to %d x %d of %d x %d\n",
                    colour == 0   ? "black and white"
                    : colour == 1 ? "grey"
                                  : "colour",
                    best.grey, best.deskew, best.rotate, best.crop, best.total, angle, crop.outWidth, crop.outHeight,
                    page.width, page.height);
    }
    dlclose(lib);
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return status;
}
