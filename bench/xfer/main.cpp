// Pages through the staged data source as an application receives them, window-less: a 600-dpi A4 colour page by
// memory transfer in whole rows and in pieces of a row, and by native transfer, each timed from the first transfer
// call (the page is scanned inside it) to its last; beside, in the same run, the simulated device delivering the same
// rows straight to the caller and memcpy of the same bytes. Then the peak resident memory of a 1200-dpi A3 colour
// page (about 835 MB of pixels) through memory transfer, measured in a process of its own: the page lives in its
// mapped temporary file, so the source must stay far below the page's size.
//   bench_xfer [repeats]
// C:\ is a folder of its own under $BENCH_DISK_DIR (default /tmp): the page's temporary file lies there.
#include "companions/scandrv/ScanDrv.h"
#include "platform/twain/twain.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// A C:\ root with the model's INI file, removed at the end.
struct Root {
    std::string path;
    Root() {
        const char* disk = std::getenv("BENCH_DISK_DIR");
        std::string pattern = std::string(disk != nullptr ? disk : "/tmp") + "/bench-xfer-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        path = pattern;
        std::filesystem::create_directories(path + "/Windows");
        std::ofstream(path + "/Windows/Scanner.ini")
            << "[TWAIN]\nFile Prefix=" FILE_PREFIX "\nManufacturer=Korvel\nProduct Name(kvx7731)=KVX 7731\n"
               "Setting Folder=\\Korvel\nSetting Path=\\Korvel\\kvx7731\\\nRegistry=SOFTWARE\\Korvel\\kvx7731\n"
               "HasA3(kvx7731)=TRUE\n";
        setenv("PLATFORM_ROOT", path.c_str(), 1);
        setenv("PLATFORM_HEADLESS", "1", 1);
    }
    ~Root() {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};

// The data source as an application drives it, without the data source manager.
class Source {
public:
    Source() {
        m_module = dlopen(MODULE_FOLDER "/Scanner64.ds", RTLD_NOW | RTLD_LOCAL);
        if (m_module != nullptr)
            m_entry = reinterpret_cast<DSENTRYPROC>(dlsym(m_module, "DS_Entry"));
        m_app.Id = 1;
        m_app.ProtocolMajor = 2;
        m_app.ProtocolMinor = 4;
        m_app.SupportedGroups = DG_CONTROL | DG_IMAGE;
        std::strcpy(m_app.ProductName, "bench_xfer");
        TW_IDENTITY ds{};
        ds.Id = 2;
        m_ok = m_entry != nullptr && Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds) == TWRC_SUCCESS;
    }
    ~Source() {
        if (m_ok) {
            TW_IDENTITY ds{};
            Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &ds);
        }
        if (m_module != nullptr)
            dlclose(m_module);
    }
    bool ok() const { return m_ok; }
    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return m_entry(&m_app, dg, dat, msg, data);
    }
    bool SetOne(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 item) {
        auto* value = static_cast<TW_ONEVALUE*>(std::calloc(1, sizeof(TW_ONEVALUE)));
        value->ItemType = type;
        value->Item = item;
        TW_CAPABILITY capability{cap, TWON_ONEVALUE, value};
        const bool done = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability) == TWRC_SUCCESS;
        std::free(value);
        return done;
    }
    // Colour pages at dpi of a paper size; false when the source refuses.
    bool Configure(int dpi, TW_UINT16 size) {
        const TW_FIX32 fix{static_cast<TW_INT16>(dpi), 0};
        TW_UINT32 item = 0;
        std::memcpy(&item, &fix, sizeof fix);
        return SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB) && SetOne(ICAP_XRESOLUTION, TWTY_FIX32, item) &&
               SetOne(ICAP_YRESOLUTION, TWTY_FIX32, item) && SetOne(ICAP_SUPPORTEDSIZES, TWTY_UINT16, size);
    }
    // Enables without the window (the page is announced at once) and answers its information.
    bool Announce(TW_IMAGEINFO& info) {
        TW_USERINTERFACE ui{0, 0, nullptr};
        return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS &&
               Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) == TWRC_SUCCESS;
    }
    void EndJob() {
        TW_PENDINGXFERS pending{};
        Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        TW_USERINTERFACE ui{};
        Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }

private:
    void* m_module = nullptr;
    DSENTRYPROC m_entry = nullptr;
    TW_IDENTITY m_app{};
    bool m_ok = false;
};

// A whole page by memory transfer with buffers of `length` bytes, the rows dropped as they come; seconds, or -1.
double MemoryPage(Source& source, TW_UINT32 length, std::uint64_t& bytes, int& calls) {
    std::vector<unsigned char> buffer(length);
    bytes = 0;
    calls = 0;
    const auto start = Clock::now();
    for (;;) {
        TW_IMAGEMEMXFER xfer{};
        xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, length, buffer.data()};
        const TW_UINT16 rc = source.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
        if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE)
            return -1;
        bytes += xfer.BytesWritten;
        ++calls;
        if (rc == TWRC_XFERDONE)
            return Seconds(start);
    }
}

double NativePage(Source& source) {
    TW_HANDLE handle = nullptr;
    const auto start = Clock::now();
    if (source.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle) != TWRC_XFERDONE || handle == nullptr)
        return -1;
    const double seconds = Seconds(start);
    std::free(handle); // the application's block of the C heap
    return seconds;
}

// The same page read from the simulated device straight, a row a call, as the source reads it.
double DevicePage(int dpi, int width, int height) {
    void* library = dlopen(MODULE_FOLDER "/" FILE_PREFIX "lld.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return -1;
    auto open = reinterpret_cast<decltype(&ScanDrv_Open)>(dlsym(library, "ScanDrv_Open"));
    auto close = reinterpret_cast<decltype(&ScanDrv_Close)>(dlsym(library, "ScanDrv_Close"));
    auto set = reinterpret_cast<decltype(&ScanDrv_SetScanParameter)>(dlsym(library, "ScanDrv_SetScanParameter"));
    auto start = reinterpret_cast<decltype(&ScanDrv_StartScan)>(dlsym(library, "ScanDrv_StartScan"));
    auto read = reinterpret_cast<decltype(&ScanDrv_ReadScanData)>(dlsym(library, "ScanDrv_ReadScanData"));
    void* device = nullptr;
    double seconds = -1;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<unsigned char> window(std::max<size_t>(0x40000 / rowBytes, 1) * rowBytes);
    if (open("\\\\.\\Usbscan", &device) == 0 &&
        set(device, dpi, dpi, 2, 0, 0, width * 1200 / dpi, height * 1200 / dpi, 128, 0) == 0 && start(device) == 0) {
        const auto begin = Clock::now();
        size_t at = 0;
        bool ok = true;
        for (int y = 0; y < height && ok; ++y) {
            if (at + rowBytes > window.size())
                at = 0;
            int count = 0;
            ok = read(device, window.data() + at, static_cast<int>(rowBytes), &count) == 0;
            at += rowBytes;
        }
        seconds = ok ? Seconds(begin) : -1;
    }
    if (device != nullptr)
        close(device);
    dlclose(library);
    return seconds;
}

double MemcpySeconds(size_t bytes) {
    std::vector<unsigned char> from(bytes, 1), to(bytes, 0);
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        best = std::min(best, Seconds(start));
        from[i] = to[bytes - 1 - i]; // keep the copies observable
    }
    return best;
}

// The A3 page in a process of its own: prints its peak resident memory in kB, and whether the page came whole.
int RssChild() {
    Root root;
    Source source;
    TW_IMAGEINFO info{};
    if (!source.ok() || !source.Configure(1200, TWSS_A3) || !source.Announce(info)) {
        std::fprintf(stderr, "bench_xfer: the A3 page was not announced\n");
        return 1;
    }
    std::uint64_t bytes = 0;
    int calls = 0;
    const double seconds = MemoryPage(source, 65535, bytes, calls);
    source.EndJob();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld %d %d %llu %.3f\n", usage.ru_maxrss, info.ImageWidth, info.ImageLength,
                static_cast<unsigned long long>(bytes), seconds);
    return seconds < 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--rss-child") == 0)
        return RssChild();
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    {
        Root root;
        Source source;
        TW_IMAGEINFO info{};
        if (!source.ok() || !source.Configure(600, TWSS_A4) || !source.Announce(info)) {
            std::fprintf(stderr, "bench_xfer: the source did not announce a page (is %s built?)\n", MODULE_FOLDER);
            return 1;
        }
        source.EndJob();
        const int width = info.ImageWidth, height = info.ImageLength;
        const double pageBytes = static_cast<double>(width) * height * 3;
        std::printf("600-dpi A4 colour page: %d x %d pixels, %.1f MB; best of %d runs\n", width, height,
                    pageBytes / 1e6, repeats);

        double whole = 1e9, pieces = 1e9, native = 1e9, device = 1e9;
        int wholeCalls = 0, pieceCalls = 0;
        for (int r = 0; r < repeats; ++r) {
            std::uint64_t bytes = 0;
            double s = source.Announce(info) ? MemoryPage(source, 65535, bytes, wholeCalls) : -1;
            source.EndJob();
            if (s > 0)
                whole = std::min(whole, s);
            s = source.Announce(info) ? MemoryPage(source, 4096, bytes, pieceCalls) : -1;
            source.EndJob();
            if (s > 0)
                pieces = std::min(pieces, s);
            s = source.Announce(info) ? NativePage(source) : -1;
            source.EndJob();
            if (s > 0)
                native = std::min(native, s);
            s = DevicePage(600, width, height);
            if (s > 0)
                device = std::min(device, s);
        }
        const double copy = MemcpySeconds(static_cast<size_t>(pageBytes));
        auto line = [&](const char* what, double seconds) {
            std::printf("  %-44s %8.1f ms  %7.0f MB/s  %5.2f x the device  %6.1f x memcpy\n", what, seconds * 1e3,
                        pageBytes / seconds / 1e6, seconds / device, seconds / copy);
        };
        line("the device, a row a call (raw row rate)", device);
        std::printf("  %-44s %8.1f ms  %7.0f MB/s\n", "memcpy of the page's bytes", copy * 1e3, pageBytes / copy / 1e6);
        line(("memory transfer, whole rows (" + std::to_string(wholeCalls) + " buffers)").c_str(), whole);
        line(("memory transfer, pieces of 4096 bytes (" + std::to_string(pieceCalls) + ")").c_str(), pieces);
        line("native transfer (the DIB)", native);
    }

    // The A3 page in a fresh process, so its peak is the page's alone.
    int fds[2];
    if (pipe(fds) != 0)
        return 1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        execl("/proc/self/exe", argv[0], "--rss-child", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char chunk[256];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;)
        out.append(chunk, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    long peakKb = 0;
    int width = 0, height = 0;
    unsigned long long bytes = 0;
    double seconds = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(out.c_str(), "%ld %d %d %llu %lf", &peakKb, &width, &height, &bytes, &seconds) != 5) {
        std::fprintf(stderr, "bench_xfer: the A3 page failed: %s\n", out.c_str());
        return 1;
    }
    const double pixels = static_cast<double>(width) * height * 3;
    std::printf("1200-dpi A3 colour page by memory transfer: %d x %d pixels, %.0f MB, %.1f s\n", width, height,
                pixels / 1e6, seconds);
    std::printf("  peak resident memory %.0f MB (%.2f of the page; limit 300 MB): %s\n", peakKb / 1024.0,
                peakKb * 1024.0 / pixels, peakKb < 300 * 1024 ? "ok" : "TOO MUCH");
    return peakKb < 300 * 1024 ? 0 : 1;
}
