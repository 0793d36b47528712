// Text as the dialogs draw it: the strings of a settings page measured and drawn with DrawTextW, single lines and
// a wrapped paragraph, in Latin, Chinese, Hebrew and Arabic; and an edit control's hit testing, which measures
// every start of its line. Best of a few rounds of many repetitions, in microseconds per call.
#include "platform/gdi/wingdi.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

template <class F> double BestMicros(int repetitions, F&& body) {
    double best = 1e18;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < repetitions; ++i)
            body(i);
        std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / repetitions);
    }
    return best;
}

struct Script {
    const char* name;
    std::u16string line;
    std::u16string paragraph;
};

} // namespace

int main() {
    HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 600, 200);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"MS Shell Dlg");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);

    const Script scripts[] = {
        {"Latin", u"Scan settings: 300 dpi, A4 (210 x 297 mm)",
         u"The feeder is empty. Put the pages face up into the feeder and press Scan again, or choose the flatbed "
         u"as the source of the next scan."},
        {"Chinese", u"扫描设置：分辨率 300 dpi，纸张 A4",
         u"进纸器中没有纸张。请将纸张正面朝上放入进纸器，然后再次单击扫描，或者选择平板作为下一次扫描的来源。"},
        {"Hebrew", u"הגדרות סריקה: רזולוציה 300 dpi, גודל A4",
         u"אין נייר במזין. הכנס את הדפים כשפניהם כלפי מעלה למזין ולחץ שוב על סריקה, או בחר במשטח הזכוכית כמקור "
         u"הסריקה הבאה."},
        {"Arabic", u"إعدادات المسح الضوئي: الدقة 300 نقطة لكل بوصة، الحجم A4",
         u"لا يوجد ورق في وحدة التغذية. ضع الصفحات ووجهها لأعلى في وحدة التغذية واضغط على مسح مرة أخرى، أو اختر "
         u"السطح الزجاجي مصدرا للمسح التالي."},
    };
    std::printf("%-8s %12s %12s %12s %12s %12s\n", "script", "extent", "draw line", "draw wrap", "new text",
                "edit hits");
    for (const Script& s : scripts) {
        const int n = static_cast<int>(s.line.size());
        RECT box{0, 0, 600, 20};
        RECT wrapBox{0, 0, 240, 200};
        double extent = BestMicros(2000, [&](int) {
            SIZE size{};
            GetTextExtentPoint32W(dc, s.line.c_str(), n, &size);
        });
        double line = BestMicros(500, [&](int) {
            RECT r = box;
            DrawTextW(dc, s.line.c_str(), n, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        });
        double wrap = BestMicros(200, [&](int) {
            RECT r = wrapBox;
            DrawTextW(dc, s.paragraph.c_str(), -1, &r, DT_WORDBREAK | DT_NOPREFIX);
        });
        // A text never measured before (a file name typed, a number that changes): nothing to reuse.
        int fresh = 0;
        double unseen = BestMicros(500, [&](int) {
            std::u16string text = s.line + u" " + std::u16string(1, static_cast<char16_t>(u'A' + fresh % 26)) +
                                  std::u16string(1, static_cast<char16_t>(u'a' + (fresh / 26) % 26)) +
                                  std::u16string(1, static_cast<char16_t>(u'0' + (fresh / 676) % 10));
            ++fresh;
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        });
        // Every start of the line measured, as a hit test that walks the line would.
        double hits = BestMicros(20, [&](int) {
            for (int k = 0; k <= n; ++k) {
                SIZE size{};
                GetTextExtentPoint32W(dc, s.line.c_str(), k, &size);
            }
        });
        std::printf("%-8s %12.2f %12.2f %12.2f %12.2f %12.2f\n", s.name, extent, line, wrap, unseen, hits);
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DeleteDC(screen);
    return 0;
}
