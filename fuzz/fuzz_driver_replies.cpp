// The driver's replies as the device-scan program's wrapper reads them: whatever the driver answers (results, the
// scan size it reports, its reads, exceptions), the wrapper writes only whole lines within the caller's buffer,
// reports a progress between 0 and 100 and never more lines than the page it promised.
//
// Input: one byte choosing the request (as push commands make them), one choosing the read size, then the driver's
// script (see support/ReplyDriver.cpp).

#include "FuzzSupport.h"

#include "devicescan/CScanner.h"
#include "platform/base/module.h"
#include "platform/base/path.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

namespace {

CScanner* g_scanner = nullptr;
void (*g_script)(const uint8_t*, size_t) = nullptr;

struct Request {
    int source, colour, dpi, width, height;
};
// 1/1200 inch: A4, Letter, A5 and a strip; feeder and flatbed.
constexpr Request kRequests[] = {
    {0, 2, 75, 9921, 14031},  {1, 1, 150, 10200, 13200}, {3, 0, 300, 6992, 9921},  {0, 1, 300, 2400, 600},
    {1, 2, 100, 9921, 14031}, {0, 0, 600, 1200, 1200},   {8, 2, 200, 10200, 1400}, {4, 1, 75, 14031, 19842},
};
constexpr int kReadSizes[] = {1, 4, 64, 4096, 65536, 262144};

std::string DriverPath() {
    // Built beside the fuzz targets.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    return self + "/replylld.so";
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    std::u16string dos = platform::path::ToDosPath(DriverPath());
    dos.replace(dos.size() - 3, 3, u".dll");
    g_scanner = new CScanner;
    if (g_scanner->LoadDriver(dos.c_str()) != 0)
        fuzz::Fail("the scripted driver loads");
    HMODULE module = LoadLibraryW(dos.c_str()); // a second reference, only to reach the script entry
    g_script = reinterpret_cast<void (*)(const uint8_t*, size_t)>(GetProcAddress(module, "ReplyDriver_Script"));
    fuzz::Check(g_script != nullptr, "the scripted driver has its script entry");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const Request& chosen = kRequests[data[0] % std::size(kRequests)];
    const int readSize = kReadSizes[data[1] % std::size(kReadSizes)];
    g_script(data + 2, size - 2);

    CScanner& scanner = *g_scanner;
    if (scanner.DevMon_Open("\\\\.\\Usbscan", TRUE) != 0) {
        fuzz::Check(!scanner.IsOpen(), "a refused open leaves no device open");
        return 0;
    }
    ScanRequest request{};
    request.openDevice = 1;
    request.source = chosen.source;
    request.colour = chosen.colour;
    request.dpiX = request.dpiY = chosen.dpi;
    request.width = chosen.width;
    request.height = chosen.height;
    request.threshold = 127;
    if (scanner.DevMon_StartScan(&request) == 0) {
        const UINT lines = scanner.GetTotalLines();
        const UINT stride = scanner.GetStride();
        fuzz::Check(lines <= static_cast<UINT>(chosen.height) * chosen.dpi / 1200,
                    "a page has no more lines than the request");
        fuzz::Check(scanner.GetPixelsPerLine() <= static_cast<UINT>(chosen.width) * chosen.dpi / 1200,
                    "a line has no more pixels than the request");
        fuzz::Check(stride % 4 == 0 && stride * 8 >= scanner.GetPixelsPerLine() * scanner.GetBitsPerPixel(),
                    "the stride holds a line in whole 4-byte units");
        int headerSize = 0;
        scanner.GetBmpHeader(nullptr, &headerSize);
        fuzz::Check(headerSize >= 54 && headerSize <= 54 + 4 * 256, "the BMP header has a palette of at most 256");
        std::vector<BYTE> header(static_cast<size_t>(headerSize));
        scanner.GetBmpHeader(header.data(), &headerSize);

        std::vector<BYTE> buffer(static_cast<size_t>(readSize));
        UINT read = 0;
        for (int call = 0; call < 64; ++call) {
            int bytes = -1, percent = -1;
            const int r = scanner.DevMon_ReadScanData(buffer.data(), readSize, &bytes, &percent);
            if (r != 0) {
                fuzz::Check(r == CScanner::kEndOfPage || bytes == 0 || bytes == -1, "a failed read delivers nothing");
                break;
            }
            fuzz::Check(bytes > 0 && bytes <= readSize, "a read stays within the buffer");
            fuzz::Check(stride > 0 && bytes % stride == 0, "a read delivers whole lines");
            fuzz::Check(percent >= 0 && percent <= 100, "the progress lies between 0 and 100");
            read += static_cast<UINT>(bytes) / stride;
            fuzz::Check(read <= lines, "no more lines are read than the page has");
        }
    }
    scanner.GetNextPushStatus();
    scanner.DevMon_AbortScan();
    scanner.CloseDevice();
    return 0;
}
