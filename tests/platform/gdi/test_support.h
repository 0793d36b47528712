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

// Selects a font for the lifetime of the object.
class ScopedFont {
public:
    ScopedFont(HDC dc, int height, int weight = FW_NORMAL, LPCWSTR face = u"Arial", BYTE charSet = DEFAULT_CHARSET)
        : m_dc(dc) {
        m_font = CreateFontW(height, 0, 0, 0, weight, 0, 0, 0, charSet, 0, 0, PROOF_QUALITY, 6, face);
        m_old = SelectObject(dc, m_font);
    }
    ~ScopedFont() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_font);
    }
    ScopedFont(const ScopedFont&) = delete;
    ScopedFont& operator=(const ScopedFont&) = delete;

private:
    HDC m_dc;
    HFONT m_font;
    HGDIOBJ m_old;
};

} // namespace gditest
