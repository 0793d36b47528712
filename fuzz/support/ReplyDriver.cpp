// A driver library whose every reply comes from a script the fuzz target hands in: results, the scan size it
// reports, the counts of its reads and the bytes it delivers. Only ever writes within the buffers it is given, as a
// driver must; everything else about its replies is the script's choice.

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace {

const std::uint8_t* g_script = nullptr;
size_t g_size = 0;
size_t g_pos = 0;
int g_device = 0; // the handle handed out points here

std::uint8_t Next() {
    return g_pos < g_size ? g_script[g_pos++] : 0;
}

int Int() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(Next()) << (8 * i);
    return static_cast<int>(v);
}

// Mostly success; otherwise a code of the driver's range, any other number, or an exception.
int Result() {
    const std::uint8_t b = Next();
    if (b < 0xC0)
        return 0;
    if (b < 0xF0)
        return b - 0xC0;
    if (b < 0xFF)
        return Int();
    throw std::runtime_error("driver failure");
}

} // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT void ReplyDriver_Script(const std::uint8_t* script, size_t size) {
    g_script = script;
    g_size = size;
    g_pos = 0;
}

EXPORT int ScanDrv_Open(const char*, void** handle) {
    const int r = Result();
    if (handle != nullptr)
        *handle = Next() < 0xF0 ? &g_device : nullptr;
    return r;
}
EXPORT int ScanDrv_Open_C(const char* name, void** handle) {
    return ScanDrv_Open(name, handle);
}
EXPORT int ScanDrv_Close(void*) {
    return Result();
}
EXPORT int ScanDrv_SetScanParameter(void*, int, int, int, int, int, int, int, int, int) {
    return Result();
}
EXPORT int ScanDrv_GetScanParameter(void*, int* pixelsPerLine, int* totalLines) {
    const int r = Result();
    // Small sizes mostly, any number at times.
    const std::uint8_t how = Next();
    if (how < 0xE0) {
        *pixelsPerLine = static_cast<int>(Next() | (Next() << 8)) & 0x3FFF;
        *totalLines = static_cast<int>(Next() | (Next() << 8)) & 0x3FFF;
    } else {
        *pixelsPerLine = Int();
        *totalLines = Int();
    }
    return r;
}
EXPORT int ScanDrv_StartScan(void*) {
    return Result();
}
EXPORT int ScanDrv_AbortScan(void*) {
    return Result();
}
EXPORT int ScanDrv_ReadScanData(void*, void* buffer, int size, int* count) {
    const int r = Result();
    const std::uint8_t fill = Next();
    if (buffer != nullptr && size > 0)
        std::memset(buffer, fill, static_cast<size_t>(size));
    if (count != nullptr)
        *count = Next() < 0x80 ? size : Int(); // a short or nonsense count at times
    return r;
}
EXPORT int ScanDrv_SetScanParameterAdj(void*, int*, int*, int*, int, int, int, int) {
    return Result();
}
EXPORT int ScanDrv_GetNextPushStatus(void*) {
    return Next() < 0x80 ? Result() : Int();
}
EXPORT int ScanDrv_GetCurScanLineNum(void*, int* line, int* status) {
    *line = Int();
    *status = Int();
    return Result();
}
EXPORT int ScanDrv_GetCurTransferSize(void*, int* total, int* done) {
    *total = Int();
    *done = Int();
    return Result();
}
EXPORT int ScanDrv_GetLastError(void*) {
    return Int();
}
EXPORT int ScanDrv_CancelScan(void*) {
    return Result();
}
EXPORT int ScanDrv_GetADFStatus(void*) {
    return Result();
}
