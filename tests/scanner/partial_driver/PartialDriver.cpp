// A driver library with Velmora's entry points but ScanDrv_GetCurTransferSize, none of the optional setters, and a
// start and a read that throw.
#include <stdexcept>

#define PARTIAL_EXPORT extern "C" __attribute__((visibility("default")))

PARTIAL_EXPORT int ScanDrv_Open(const char*, void** handle) {
    *handle = reinterpret_cast<void*>(0x1000);
    return 0;
}
PARTIAL_EXPORT int ScanDrv_Open_C(const char* name, void** handle) {
    return ScanDrv_Open(name, handle);
}
PARTIAL_EXPORT int ScanDrv_Close(void*) {
    return 0;
}
PARTIAL_EXPORT int ScanDrv_SetScanParameter(void*, int, int, int, int, int, int, int, int, int) {
    return 0;
}
PARTIAL_EXPORT int ScanDrv_GetScanParameter(void*, int* pixels, int* lines) {
    *pixels = 100;
    *lines = 10;
    return 0;
}
PARTIAL_EXPORT int ScanDrv_StartScan(void*) {
    throw std::runtime_error("the partial driver cannot scan");
}
PARTIAL_EXPORT int ScanDrv_AbortScan(void*) {
    return 0;
}
PARTIAL_EXPORT int ScanDrv_ReadScanData(void*, void*, int, int*) {
    throw std::runtime_error("no data");
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
