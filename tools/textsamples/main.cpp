// textsamples: a page of sample texts in every user-interface language, drawn as the dialogs draw them, to look at
// shaping, bidirectional order, fallback fonts and measurement.
//
//   textsamples --png FILE [--size PIXELS]
//
// Each language gets one row: the text left to right (left-aligned) and in right-to-left reading order
// (right-aligned), each on a pale box of the extent DT_CALCRECT measures for it, so ink outside a box is a
// measurement fault. Below them: an end ellipsis, a wrapped paragraph and prefixed accelerators.
#include "platform/gdi/testing.h"
#include "platform/gdi/wingdi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Sample {
    const char* code;
    const char16_t* text;
};

constexpr Sample kSamples[] = {
    {"enus", u"Scan settings: 300 dpi, A4 (210 \u00D7 297 mm)"},
    {"zhcn", u"扫描设置：分辨率 300 dpi，纸张 A4"},
    {"zhtw", u"掃描設定：解析度 300 dpi，紙張 A4"},
    {"ja", u"スキャン設定：解像度 300 dpi、用紙 A4"},
    {"ru", u"Параметры сканирования: 300 точек на дюйм"},
    {"pt", u"Configurações de digitalização: 300 dpi"},
    {"esmx", u"Configuración de escaneo: 300 ppp, tamaño"},
    {"fr", u"Paramètres de numérisation : 300 ppp"},
    {"pl", u"Ustawienia skanowania: 300 dpi, źródło"},
    {"de", u"Scaneinstellungen: 300 dpi, Größe A4"},
    {"it", u"Impostazioni di scansione: 300 dpi"},
    {"ar", u"إعدادات المسح الضوئي: الدقة 300 نقطة لكل بوصة، الحجم A4"},
    {"ar", u"لا يوجد ورق في وحدة التغذية (Kvx 7731)"},
    {"he", u"הגדרות סריקה: רזולוציה 300 dpi, גודל A4"},
    {"he", u"שמירה בשם \"Scan 12.pdf\" בתיקייה"},
    {"tr", u"Tarama ayarları: 300 dpi, kağıt boyutu"},
    {"no", u"Skanneinnstillinger: 300 dpi, størrelse"},
    {"sv", u"Skanningsinställningar: 300 dpi, storlek"},
};

void Box(HDC dc, RECT r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// Draws `text` in `cell` with `format` on a box of the extent DT_CALCRECT gives for it.
void Measured(HDC dc, const char16_t* text, RECT cell, UINT format) {
    RECT calc{0, 0, cell.right - cell.left, 0};
    DrawTextW(dc, text, -1, &calc, (format & ~static_cast<UINT>(DT_RIGHT)) | DT_CALCRECT);
    int width = calc.right - calc.left;
    int x = (format & DT_RIGHT) ? cell.right - width : cell.left;
    Box(dc, RECT{x, cell.top, x + width, cell.top + calc.bottom}, RGB(226, 236, 250));
    DrawTextW(dc, text, -1, &cell, format);
}

} // namespace

int main(int argc, char** argv) {
    const char* png = nullptr;
    int size = 15;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc)
            png = argv[++i];
        else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc)
            size = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: textsamples --png FILE [--size PIXELS]\n");
            return 2;
        }
    }
    if (!png || size < 6 || size > 200) {
        std::fprintf(stderr, "usage: textsamples --png FILE [--size PIXELS]\n");
        return 2;
    }
    const int rowHeight = size * 2;
    const int column = size * 34;
    const int rows = static_cast<int>(std::size(kSamples));
    const int width = 2 * column + size * 5;
    const int height = rowHeight * (rows + 6);
    HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    DeleteDC(screen);
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    HFONT font =
        CreateFontW(-size, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, 0, u"MS Shell Dlg");
    HFONT bold =
        CreateFontW(-size, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, 0, u"MS Shell Dlg");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const int left = size * 4;
    int y = size / 2;
    for (const Sample& s : kSamples) {
        std::u16string code(s.code, s.code + std::strlen(s.code));
        RECT label{4, y, left, y + rowHeight};
        SetTextColor(dc, RGB(120, 120, 120));
        DrawTextW(dc, code.c_str(), -1, &label, DT_SINGLELINE | DT_NOPREFIX);
        SetTextColor(dc, RGB(0, 0, 0));
        Measured(dc, s.text, RECT{left, y, left + column - size, y + rowHeight}, DT_SINGLELINE | DT_NOPREFIX);
        Measured(dc, s.text, RECT{left + column, y, left + 2 * column - size, y + rowHeight},
                 DT_SINGLELINE | DT_NOPREFIX | DT_RIGHT | DT_RTLREADING);
        y += rowHeight;
    }
    // Cut with an ellipsis, wrapped, and with accelerators, left to right and right to left.
    SelectObject(dc, bold);
    const int narrow = size * 12;
    Measured(dc, kSamples[11].text, RECT{left, y, left + narrow, y + rowHeight},
             DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    Measured(dc, kSamples[13].text, RECT{left + column, y, left + column + narrow, y + rowHeight},
             DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | DT_RTLREADING);
    SelectObject(dc, font);
    y += rowHeight;
    Measured(dc, kSamples[3].text, RECT{left, y, left + narrow, y + rowHeight * 3}, DT_WORDBREAK | DT_NOPREFIX);
    Measured(dc, kSamples[11].text, RECT{left + column, y, left + column + narrow * 3 / 2, y + rowHeight * 3},
             DT_WORDBREAK | DT_NOPREFIX | DT_RIGHT | DT_RTLREADING);
    y += rowHeight * 3;
    Measured(dc, u"&Preview   &Scan   &&Close", RECT{left, y, left + column - size, y + rowHeight}, DT_SINGLELINE);
    Measured(dc, u"&תצוגה מקדימה   &סריקה", RECT{left + column, y, left + 2 * column - size, y + rowHeight},
             DT_SINGLELINE | DT_RIGHT | DT_RTLREADING);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    DeleteObject(bold);
    BOOL ok = platform::gdi::WriteBitmapPng(bitmap, png);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    if (!ok) {
        std::fprintf(stderr, "textsamples: cannot write %s\n", png);
        return 1;
    }
    std::printf("%s\n", png);
    return 0;
}
