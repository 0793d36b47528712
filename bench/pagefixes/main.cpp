// The page fixes of an A4 page with its document skewed by 2 degrees, as the scan thread runs them: the grey working
// copy, the skew (auto_deskew), the turn (normal_rotate) and the crop (auto_crop), at 150, 300, 600 and 1200 dpi in
// black and white, grey and colour. Prints the best of the repeats for each step and the whole, and the peak resident
// memory of the fixes (the page included). Built with leptonica, it also times pixFindSkew (on the page binarised
// beforehand) and pixDeskew on the very same page and prints the ratios.
//   bench_pagefixes [repeats] [path of the driver library] [dpi ...]
// Each resolution and mode runs in a process of its own, so that its peak memory is its own.
#include "companions/scandrv/ScanDrv.h"
#include "imaging/ImageProcessing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#ifdef HAVE_LEPTONICA
#include <leptonica/allheaders.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Processor time of every thread of the process, in milliseconds: what the fixes cost with the cores shared.
double ProcessorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

const char* ModeName(int colour) {
    return colour == 0 ? "black and white" : colour == 1 ? "grey" : "colour";
}

struct Page {
    int width = 0, height = 0, colour = 0, dpi = 0;
    std::vector<BYTE> bytes;
};

// One A4 page of the simulated device; empty when the device cannot be used.
Page Scan(void* lib, int dpi, int colour) {
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
    if (set(device, dpi, dpi, colour, 0, 0, 9921, 14031, 128, 0) == 0 && get(device, &page.width, &page.height) == 0 &&
        start(device) == 0) {
        const size_t rowBytes = (static_cast<size_t>(page.width) * (colour == 0 ? 1 : colour == 1 ? 8 : 24) + 7) / 8;
        page.bytes.resize(rowBytes * static_cast<size_t>(page.height));
        page.colour = colour;
        page.dpi = dpi;
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

// The peak resident memory of this process, in bytes, since the last ResetPeakMemory (VmHWM).
size_t PeakMemory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return static_cast<size_t>(std::strtoull(line.c_str() + 6, nullptr, 10)) * 1024;
    return 0;
}

void ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Times {
    double grey = 1e300, deskew = 1e300, rotate = 1e300, crop = 1e300, total = 1e300;
    double deskewProcessor = 1e300, totalProcessor = 1e300;
};

struct Result {
    Times best;
    float angle = 0;
    ImgProcParam crop{};
    bool ok = true;
};

// The fixes as the scan thread runs them, once, on the page itself: the turned page replaces it before the crop.
Result RunFixes(Page& page) {
    Result result;
    const int width = page.width, height = page.height, colour = page.colour, dpi = page.dpi;
    const auto start = Clock::now();
    const double startProcessor = ProcessorMilliseconds();
    // As the scan thread does: a working copy that the conversion writes whole, so it is not zeroed first.
    std::unique_ptr<BYTE[]> grey;
    if (colour == 0 || colour == 2)
        grey.reset(new BYTE[static_cast<size_t>(width) * static_cast<size_t>(height)]);
    if (colour == 0)
        BwToGray(page.bytes.data(), grey.get(), width, height);
    else if (colour == 2)
        RgbToGray(page.bytes.data(), grey.get(), width, height);
    const BYTE* greyData = colour == 1 ? page.bytes.data() : grey.get();
    result.best.grey = Milliseconds(start);

    auto step = Clock::now();
    const double stepProcessor = ProcessorMilliseconds();
    result.angle = auto_deskew(greyData, width, height, colour, dpi);
    result.best.deskew = Milliseconds(step);
    result.best.deskewProcessor = ProcessorMilliseconds() - stepProcessor;

    step = Clock::now();
    ImgProcParam turn{colour, dpi, width, height, 0, 0, result.angle};
    std::unique_ptr<BYTE[]> upright = normal_rotate(colour == 0 ? grey.get() : page.bytes.data(), &turn);
    if (!upright) {
        result.ok = false;
        return result;
    }
    std::memcpy(page.bytes.data(), upright.get(), page.bytes.size());
    upright.reset();
    grey.reset();
    result.best.rotate = Milliseconds(step);

    step = Clock::now();
    std::unique_ptr<BYTE[]> out(new BYTE[page.bytes.size()]);
    result.crop = {colour, dpi, width, height, 0, 0, 0};
    if (auto_crop(page.bytes.data(), out.get(), &result.crop) != 1)
        result.ok = false;
    result.best.crop = Milliseconds(step);
    result.best.total = Milliseconds(start);
    result.best.totalProcessor = ProcessorMilliseconds() - startProcessor;
    return result;
}

#ifdef HAVE_LEPTONICA
// The page as a leptonica image: 1 bit (1 = black), 8-bit grey or 32-bit colour.
PIX* ToPix(const Page& page) {
    const int depth = page.colour == 0 ? 1 : page.colour == 1 ? 8 : 32;
    PIX* pix = pixCreate(page.width, page.height, depth);
    if (pix == nullptr)
        return nullptr;
    const size_t rowBytes = (static_cast<size_t>(page.width) * (page.colour == 0   ? 1
                                                                : page.colour == 1 ? 8
                                                                                   : 24) +
                             7) /
                            8;
    for (int y = 0; y < page.height; ++y) {
        const BYTE* row = page.bytes.data() + rowBytes * static_cast<size_t>(y);
        l_uint32* line = pixGetData(pix) + static_cast<size_t>(y) * static_cast<size_t>(pixGetWpl(pix));
        for (int x = 0; x < page.width; ++x) {
            if (page.colour == 0) {
                if (((row[x >> 3] >> (7 - (x & 7))) & 1) == 0) // a clear bit is black
                    SET_DATA_BIT(line, x);
            } else if (page.colour == 1) {
                SET_DATA_BYTE(line, x, row[x]);
            } else {
                l_uint32 pixel = 0;
                composeRGBPixel(row[3 * x], row[3 * x + 1], row[3 * x + 2], &pixel);
                line[x] = pixel;
            }
        }
    }
    return pix;
}

struct LeptonicaTimes {
    double findSkew = 1e300, deskew = 1e300;
    float angle = 0;
};

LeptonicaTimes RunLeptonica(const Page& page, int repeats) {
    LeptonicaTimes times;
    setMsgSeverity(L_SEVERITY_WARNING);
    PIX* pix = ToPix(page);
    PIX* binary = pix == nullptr ? nullptr : pixConvertTo1(pix, 130);
    for (int r = 0; r < repeats && binary != nullptr; ++r) {
        auto start = Clock::now();
        l_float32 confidence = 0;
        pixFindSkew(binary, &times.angle, &confidence);
        times.findSkew = std::min(times.findSkew, Milliseconds(start));
        start = Clock::now();
        PIX* straight = pixDeskew(pix, 0);
        times.deskew = std::min(times.deskew, Milliseconds(start));
        pixDestroy(&straight);
    }
    pixDestroy(&binary);
    pixDestroy(&pix);
    return times;
}
#endif

// One resolution and mode, in the calling (child) process; 0 when the fixes did their work. Every repeat scans the
// page afresh; the peak memory is that of the first, with nothing but the page before it.
int RunCase(void* lib, int dpi, int colour, int repeats) {
    Result result;
    size_t peak = 0, pageBytes = 0;
    Page page;
    for (int r = 0; r < repeats; ++r) {
        page = Scan(lib, dpi, colour);
        if (page.bytes.empty()) {
            std::fprintf(stderr, "the simulated device gave no page at %d dpi\n", dpi);
            return 1;
        }
        pageBytes = page.bytes.size();
        if (r == 0)
            ResetPeakMemory();
        const Result once = RunFixes(page);
        if (r == 0)
            peak = PeakMemory();
        result.ok = result.ok && once.ok;
        result.angle = once.angle;
        result.crop = once.crop;
        result.best.grey = std::min(result.best.grey, once.best.grey);
        result.best.deskew = std::min(result.best.deskew, once.best.deskew);
        result.best.rotate = std::min(result.best.rotate, once.best.rotate);
        result.best.crop = std::min(result.best.crop, once.best.crop);
        result.best.total = std::min(result.best.total, once.best.total);
        result.best.deskewProcessor = std::min(result.best.deskewProcessor, once.best.deskewProcessor);
        result.best.totalProcessor = std::min(result.best.totalProcessor, once.best.totalProcessor);
    }
    const double pageMiB = static_cast<double>(pageBytes) / (1 << 20);
    std::printf("%4d dpi %-16s %8.1f %8.1f %8.1f %8.1f %8.1f %8.0f MiB = %4.2f x page %8.1f %8.1f   skew %.0f, %d x %d "
                "of %d x %d\n",
                dpi, ModeName(colour), result.best.grey, result.best.deskew, result.best.rotate, result.best.crop,
                result.best.total, static_cast<double>(peak) / (1 << 20),
                static_cast<double>(peak) / (1 << 20) / pageMiB, result.best.deskewProcessor,
                result.best.totalProcessor, result.angle, result.crop.outWidth, result.crop.outHeight, page.width,
                page.height);
    std::fflush(stdout);
    page = Scan(lib, dpi, colour);
#ifdef HAVE_LEPTONICA
    const LeptonicaTimes lept = RunLeptonica(page, repeats);
    std::printf("%d dpi %s: whole page fix %.2f x pixDeskew, skew search %.2f x pixFindSkew"
                "   (pixDeskew %.1f ms, pixFindSkew %.1f ms, its angle %.2f)\n",
                dpi, ModeName(colour), result.best.total / lept.deskew, result.best.deskew / lept.findSkew, lept.deskew,
                lept.findSkew, lept.angle);
#endif
    std::fflush(stdout);
    return result.ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const char* driver = argc > 2 ? argv[2] : SCANDRV_PATH;
    std::vector<int> resolutions;
    for (int i = 3; i < argc; ++i)
        resolutions.push_back(std::atoi(argv[i]));
    if (resolutions.empty())
        resolutions = {150, 300, 600, 1200};

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

    std::printf("A4 page, document skewed by 2 degrees; best of %d, milliseconds; peak resident memory of the fixes\n",
                repeats);
#ifndef HAVE_LEPTONICA
    std::printf("(built without leptonica: no comparison)\n");
#endif
    std::printf("%-25s %8s %8s %8s %8s %8s %22s %8s %8s\n", "page", "grey", "deskew", "rotate", "crop", "total",
                "peak memory", "deskew", "total");
    std::printf("%-25s %44s %22s %17s\n", "", "(wall clock)", "", "(processor, all threads)");
    std::fflush(stdout);
    int status = 0;
    for (int dpi : resolutions)
        for (int colour : {0, 1, 2}) {
            const pid_t child = fork();
            if (child == 0)
                _exit(RunCase(lib, dpi, colour, repeats));
            int childStatus = 0;
            if (child < 0 || waitpid(child, &childStatus, 0) != child || !WIFEXITED(childStatus) ||
                WEXITSTATUS(childStatus) != 0)
                status = 1;
        }
    dlclose(lib);
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return status;
}
