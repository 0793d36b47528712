// Test driver libraries with Velmora's entry points.
// partiallld: no ScanDrv_GetCurTransferSize, none of the optional setters, and a start and a read that throw.
// widelld (WIDE_DRIVER): all twelve; 1000-pixel lines of 0x11 bytes and 10 lines, whatever area was asked for.
// quirklld (QUIRK_DRIVER): no ScanDrv_Close, an open that answers a chosen code, and a start and reads that work.
// hugelld (also HUGE_DRIVER): as widelld, but it reports lines of 2^31 - 1 pixels.
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#define PARTIAL_EXPORT extern "C" __attribute__((visibility("default")))

#ifdef QUIRK_DRIVER
// The open answers the code in QUIRK_OPEN_CODE (0 when unset) and fills the handle whatever it answers.
PARTIAL_EXPORT int ScanDrv_Open(const char*, void** handle) {
    *handle = reinterpret_cast<void*>(0x1000);
    const char* code = std::getenv("QUIRK_OPEN_CODE");
    return code ? std::atoi(code) : 0;
}
#else
PARTIAL_EXPORT int ScanDrv_Open(const char*, void** handle) {
    *handle = reinterpret_cast<void*>(0x1000);
    return 0;
}
PARTIAL_EXPORT int ScanDrv_Close(void*) {
    return 0;
}
#endif
PARTIAL_EXPORT int ScanDrv_Open_C(const char* name, void** handle) {
    return ScanDrv_Open(name, handle);
}
PARTIAL_EXPORT int ScanDrv_SetScanParameter(void*, int, int, int, int, int, int, int, int, int) {
    return 0;
}
PARTIAL_EXPORT int ScanDrv_AbortScan(void*) {
    return 0;
}
PARTIAL_EXPORT int ScanDrv_SetScanParameterAdj(void*, int*, int*, int*, int, int, int, int) {
    return 0;
}
PARTIAL_EXPORT int ScanDrv_GetNextPushStatus(void*) {
    return 1;
}
PARTIAL_EXPORT int ScanDrv_GetCurScanLineNum(void*, int* line, int* status) {
    *line = 0;
    *status = 0;
    return 0;
}
PARTIAL_EXPORT int ScanDrv_GetScanParameter(void*, int* pixels, int* lines) {
#if defined(HUGE_DRIVER)
    *pixels = 0x7FFFFFFF;
#elif defined(WIDE_DRIVER)
    *pixels = 1000;
#else
    *pixels = 100;
#endif
    *lines = 10;
    return 0;
}

#if defined(WIDE_DRIVER) || defined(QUIRK_DRIVER)
PARTIAL_EXPORT int ScanDrv_StartScan(void*) {
    return 0;
}
PARTIAL_EXPORT int ScanDrv_ReadScanData(void*, void* buffer, int size, int* count) {
    std::memset(buffer, 0x11, static_cast<size_t>(size));
    *count = size;
    return 0;
}
PARTIAL_EXPORT int ScanDrv_GetCurTransferSize(void*, int* total, int* done) {
    *total = *done = 0;
    return 0;
}
#else
PARTIAL_EXPORT int ScanDrv_StartScan(void*) {
    throw std::runtime_error("the partial driver cannot scan");
}
PARTIAL_EXPORT int ScanDrv_ReadScanData(void*, void*, int, int*) {
    throw std::runtime_error("no data");
}
#endif
