// A module with its own copy of platform_gdi, as Scanner64.ds and Velmora have: the tests check that handles,
// object counts and the text log are one per process.
#include "platform/gdi/testing.h"
#include "platform/gdi/wingdi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT HBRUSH OtherModuleCreateBrush(COLORREF color) {
    return CreateSolidBrush(color);
}

EXPORT BOOL OtherModuleFill(HDC dc, const RECT* rect, HBRUSH brush) {
    return FillRect(dc, rect, brush);
}

EXPORT BOOL OtherModuleText(HDC dc, int x, int y, LPCWSTR text, int count) {
    return TextOutW(dc, x, y, text, count);
}

EXPORT int OtherModuleLiveObjects() {
    return platform::gdi::LiveObjectCount();
}

EXPORT BOOL OtherModuleDelete(HGDIOBJ object) {
    return DeleteObject(object);
}
