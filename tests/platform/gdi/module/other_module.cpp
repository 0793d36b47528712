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

// Draws a shaped line (Arabic and Hebrew) into a memory DC of its own; TRUE when ink landed.
EXPORT BOOL OtherModuleDrawShapedText() {
    HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 120, 24);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    DeleteDC(screen);
    PatBlt(dc, 0, 0, 120, 24, WHITENESS);
    HFONT font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    const WCHAR text[] = u"\u0645\u0633\u062D \u05E1\u05E8\u05D9\u05E7\u05D4 300";
    BOOL drawn = ExtTextOutW(dc, 2, 2, ETO_RTLREADING, nullptr, text, sizeof text / sizeof text[0] - 1, nullptr);
    bool ink = false;
    for (int y = 0; y < 24 && !ink; ++y)
        for (int x = 0; x < 120 && !ink; ++x)
            ink = GetPixel(dc, x, y) != RGB(255, 255, 255);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return drawn && ink;
}
