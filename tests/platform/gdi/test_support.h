// Helpers shared by the GDI tests: a memory DC with a fresh bitmap, released at scope end.
#pragma once

#include "platform/gdi/testing.h"
#include "platform/gdi/wingdi.h"

#include <gtest/gtest.h>

namespace gditest {

// A memory DC holding a w x h bitmap (colour, or monochrome), filled white.
class MemDC {
public:
    MemDC(int w, int h, bool mono = false) {
        HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateCompatibleBitmap(screen, w, h);
        old = SelectObject(dc, bitmap);
        DeleteDC(screen);
        PatBlt(dc, 0, 0, w, h, WHITENESS);
    }
    ~MemDC() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemDC(const MemDC&) = delete;
    MemDC& operator=(const MemDC&) = delete;
    COLORREF at(int x, int y) const { return GetPixel(dc, x, y); }
    operator HDC() const { return dc; }

    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

} // namespace gditest
