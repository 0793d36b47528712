#include "ui/controls/CSizeInfoStatic.h"

#include "settings/Language.h"

#include <cstdint>

namespace {

constexpr UINT kLabelWidth = 1010;
constexpr UINT kLabelHeight = 1011;
constexpr UINT kLabelDataSize = 1012;
constexpr int kLanguageFrench = 6;  // writes o (octet) for B
constexpr int kLanguageArabic = 10; // right-to-left strips
constexpr int kLanguageHebrew = 21;
constexpr COLORREF kBorder = RGB(148, 148, 148);
constexpr COLORREF kFace = RGB(242, 242, 242);
constexpr double kKilo = 1024.0;
constexpr double kMega = 1048576.0;
constexpr double kGiga = 1073741824.0;

} // namespace

BEGIN_MESSAGE_MAP(CSizeInfoStatic, CStatic)
ON_WM_PAINT()
END_MESSAGE_MAP()

void CSizeInfoStatic::SetSizeInfo(float width, float height, int unit, int, int dpi, int colorMode) {
    if (unit == kInch) {
        m_strWidth.Format(u": %.2f in", width);
        m_strHeight.Format(u": %.2f in", height);
    } else if (unit == kMillimetre) {
        m_strWidth.Format(u": %.1f mm", width * 25.4);
        m_strHeight.Format(u": %.1f mm", height * 25.4);
    } else {
        m_strWidth.Format(u": %d px", static_cast<int>(width * dpi + 0.5));
        m_strHeight.Format(u": %d px", static_cast<int>(height * dpi + 0.5));
    }

    // Bytes in 64 bits: a long page at 1200 dpi in colour passes 2^31.
    const double w = width * dpi + 0.5;
    const double h = height * dpi + 0.5;
    std::int64_t bytes;
    if (colorMode == 0)
        bytes = static_cast<std::int64_t>(static_cast<int>((w + 7) / 8)) * static_cast<int>(h);
    else if (colorMode == 1)
        bytes = static_cast<std::int64_t>(static_cast<int>(w)) * static_cast<int>(h);
    else
        bytes = static_cast<std::int64_t>(static_cast<int>(w)) * 3 * static_cast<int>(h);
    const float size = static_cast<float>(bytes);

    if (size > kGiga)
        m_strDataSize.Format(u": %.2f GB", size / kGiga);
    else if (size > kMega)
        m_strDataSize.Format(u": %.2f MB", size / kMega);
    else if (size > kKilo)
        m_strDataSize.Format(u": %.2f KB", size / kKilo);
    else
        m_strDataSize.Format(u": %d B", static_cast<int>(size));

    if (g_LangugueID == kLanguageFrench)
        m_strDataSize.Replace(u'B', u'o');
    m_strWidth.Replace(u'.', g_chDecimalSep);
    m_strHeight.Replace(u'.', g_chDecimalSep);
    m_strDataSize.Replace(u'.', g_chDecimalSep);
    Invalidate(TRUE);
}

void CSizeInfoStatic::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    if (!m_bOffscreenCreated)
        m_bOffscreenCreated = m_offscreen.Create(client.Size());
    CDC* mem = nullptr;
    if (!m_offscreen.GetMemDC(&mem))
        return;

    const bool rightToLeft = g_LangugueID == kLanguageArabic || g_LangugueID == kLanguageHebrew;
    mem->SetLayout(rightToLeft ? LAYOUT_RTL : 0);

    CPen pen(PS_SOLID, 1, kBorder);
    CBrush brush(kFace);
    CPen* oldPen = mem->SelectObject(&pen);
    CBrush* oldBrush = mem->SelectObject(&brush);
    mem->Rectangle(&client);
    const int divider = (client.Width() / 3) * 2 - 22;
    mem->MoveTo(divider, 0);
    mem->LineTo(divider, client.Height());

    mem->SetBkColor(kFace);
    CFont font;
    font.CreateFont(14, 0, 0, 0, 100, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, 2,
                    6, u"Arial");
    CFont* oldFont = mem->SelectObject(&font);

    const int third = (client.Width() - 20) / 3;
    const int y = (client.Height() - 14) / 2 + 1;
    auto write = [&](int x, UINT label, const CString& value) {
        WCHAR line[MAX_PATH];
        lstrcpynW(line, LoadResString(label) + value, MAX_PATH);
        mem->TextOut(x, y, line, lstrlenW(line));
    };
    write(4, kLabelWidth, m_strWidth);
    write(third - 2, kLabelHeight, m_strHeight);
    write(2 * third - 2, kLabelDataSize, m_strDataSize);

    dc.BitBlt(0, 0, client.Width(), client.Height(), mem, 0, 0, SRCCOPY);
    mem->SelectObject(oldFont);
    mem->SelectObject(oldBrush);
    mem->SelectObject(oldPen);
}
