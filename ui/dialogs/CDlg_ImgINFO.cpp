#include "ui/dialogs/CDlg_ImgINFO.h"

#include "scanner/PaperTables.h"
#include "settings/Language.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/BoxInput.h"
#include "ui/dialogs/ScanParamNames.h"

#include <algorithm>

namespace {

constexpr UINT kBackground = 1008;
constexpr int kControlIds[12] = {1012, 1013, 1014, 1015, 1016, 1018, 1019, 1020, 1021, 1022, 1023, 1025};
constexpr UINT kLabelStrings[6] = {1025, 1031, 1027, 1037, 1110, 1111};
constexpr UINT kStringPixels = 1144;
constexpr int kLanguageFrench = 6, kLanguageRussian = 3, kLanguageArabic = 10, kLanguageHebrew = 21;

int Pixels(float inches, int dpi) {
    return static_cast<int>(inches * static_cast<float>(dpi) + 0.5f);
}

} // namespace

CString FormatDataSize(double bytes) {
    CString text;
    if (bytes > 1073741824.0)
        text.Format(u"%.2f GB", bytes / 1073741824.0);
    else if (bytes > 1048576.0)
        text.Format(u"%.2f MB", bytes / 1048576.0);
    else if (bytes > 1024.0)
        text.Format(u"%.2f KB", bytes / 1024.0);
    else
        text.Format(u"%d B", static_cast<int>(bytes));
    text = WithDecimalSeparator(text);
    if (g_LangugueID == kLanguageFrench)
        text.Replace(u'B', u'o');
    else if (g_LangugueID == kLanguageRussian)
        text.Replace(u'B', u'\u0411');
    return text;
}

BEGIN_MESSAGE_MAP(CDlg_ImgINFO, CDialog)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_SIZE()
END_MESSAGE_MAP()

CDlg_ImgINFO::CDlg_ImgINFO(CPaneHost* host, CWnd* parent) : CDialog(IDD, parent), m_pHost(host) {}

void CDlg_ImgINFO::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int i = 0; i < 12; ++i)
        DDX_Control(pDX, kControlIds[i], m_stcTexts[i]);
}

BOOL CDlg_ImgINFO::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int i = 0; i < 6; ++i) {
        m_stcTexts[i].SetWindowText(LoadResString(kLabelStrings[i]) + u":");
        m_stcTexts[6 + i].SetWindowText(u"");
    }
    LoadModuleBitmap(m_bmpBackground, kBackground);
    m_nMirroredWidth = 0;
    if (g_bHebrew) {
        MirrorChildLayout(this);
        CRect client;
        GetClientRect(&client);
        m_nMirroredWidth = client.Width();
    }
    RefreshInfo();
    return TRUE;
}

// The window places the pane over its placeholder after it is made: mirrored, the labels and values keep their
// distance from the right edge, as they keep it from the left edge left to right.
void CDlg_ImgINFO::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    FollowRightEdge(this, m_nMirroredWidth, cx);
}

void CDlg_ImgINFO::RefreshInfo() {
    if (!m_hWnd)
        return;
    if (CWnd* area = GetDlgItem(IDC_VALUES_AREA)) {
        CRect rect;
        area->GetWindowRect(&rect);
        ScreenToClient(&rect);
        InvalidateRect(&rect, TRUE);
    }
}

CDlg_ImgINFO::Extent CDlg_ImgINFO::ScanExtent() {
    InchRect area{};
    Extent extent{0.0f, 0.0f, 0};
    if (!m_pHost)
        return extent;
    m_pHost->GetScanRangeFromPreview(area);
    extent.width = area.Right - area.Left;
    extent.height = area.Bottom - area.Top;
    extent.dpi = m_pHost->GetResolutionDpi();
    return extent;
}

CString CDlg_ImgINFO::ImageSizeText() {
    const Extent e = ScanExtent();
    const int unit = m_pHost ? m_pHost->GetUnitIndex() : 0;
    CString text;
    if (unit == 0)
        text.Format(u"%.2f inch \u00D7 %.2f inch", e.width, e.height);
    else if (unit == 1)
        text.Format(u"%.2f mm \u00D7 %.2f mm", e.width * 25.4f, e.height * 25.4f);
    else if (g_LangugueID == kLanguageRussian)
        text.Format(u"%d \u00D7 %d %s", Pixels(e.width, e.dpi), Pixels(e.height, e.dpi),
                    LoadResString(kStringPixels).GetString());
    else
        text.Format(u"%d px \u00D7 %d px", Pixels(e.width, e.dpi), Pixels(e.height, e.dpi));
    return WithDecimalSeparator(text);
}

CString CDlg_ImgINFO::DataSizeText() {
    const Extent e = ScanExtent();
    const int colorMode = m_pHost ? m_pHost->GetScanParam().colorMode : 2;
    const double rows = Pixels(e.height, e.dpi);
    double bytes = 0;
    if (colorMode == 0)
        bytes = static_cast<double>(static_cast<long long>((e.width * e.dpi + 0.5 + 7) / 8)) * rows;
    else if (colorMode == 1)
        bytes = static_cast<double>(Pixels(e.width, e.dpi)) * rows;
    else
        bytes = static_cast<double>(Pixels(e.width, e.dpi)) * 3 * rows;
    return FormatDataSize(bytes);
}

CRect CDlg_ImgINFO::ValuePlace(int id) {
    CRect rect;
    if (CWnd* control = GetDlgItem(id)) {
        control->GetWindowRect(&rect);
        ScreenToClient(&rect);
    }
    return rect;
}

void CDlg_ImgINFO::OnPaint() {
    CPaintDC dc(this);
    if (!m_pHost)
        return;
    const ScanParam& param = m_pHost->GetScanParam();
    CWnd* parent = GetParent();
    CFont* font = parent ? parent->GetFont() : nullptr;
    if (!font || !font->GetSafeHandle())
        font = GetFont();
    CFont* oldFont = dc.SelectObject(font);

    // Right to left the values stand against their labels: they end at their place's right edge, where the
    // mirrored label begins, and a value with Hebrew or Arabic words in it reads right to left.
    const bool rightToLeft = g_LangugueID == kLanguageArabic || g_LangugueID == kLanguageHebrew;
    auto draw = [&](int id, const CString& text) {
        const CRect place = ValuePlace(id);
        if (!rightToLeft) {
            dc.TextOut(place.left, place.top, text, text.GetLength());
            return;
        }
        const UINT oldAlign = dc.SetTextAlign(TA_LEFT | TA_TOP | (HoldsRightToLeftText(text) ? TA_RTLREADING : 0));
        const int width = dc.GetTextExtent(text, text.GetLength()).cx;
        // A value wider than its place runs on away from its label, into the margin, up to the pane's edge.
        dc.TextOut(std::max<int>(0, place.right - width), place.top, text, text.GetLength());
        dc.SetTextAlign(oldAlign);
    };
    draw(IDC_SOURCE, SourceName(param.source));
    draw(IDC_COLOR_MODE, ColorModeName(param.colorMode));
    draw(IDC_RESOLUTION, ResolutionName(param.resolution));
    draw(IDC_PAPER, GetPaperName(param.source, param.paperSize));
    draw(IDC_DATA_SIZE, DataSizeText());

    if (!rightToLeft) {
        draw(IDC_IMAGE_SIZE, ImageSizeText());
    } else {
        // Right to left the size is drawn as two pieces, width first, each keeping its '.' as decimal point.
        const Extent e = ScanExtent();
        const int unit = m_pHost->GetUnitIndex();
        CString first, second;
        if (unit == 0) {
            first.Format(u"%.2finch \u00D7 ", e.width);
            second.Format(u"%.2finch", e.height);
        } else if (unit == 1) {
            first.Format(u"%.2fmm \u00D7 ", e.width * 25.4f);
            second.Format(u"%.2fmm", e.height * 25.4f);
        } else {
            first.Format(u"%dpx \u00D7 ", Pixels(e.width, e.dpi));
            second.Format(u"%dpx", Pixels(e.height, e.dpi));
        }
        const CRect place = ValuePlace(IDC_IMAGE_SIZE);
        const CSize extent = dc.GetTextExtent(first, first.GetLength());
        const CSize total(extent.cx + dc.GetTextExtent(second, second.GetLength()).cx, extent.cy);
        const int x = std::max<int>(0, place.right - total.cx);
        dc.TextOut(x, place.top, first, first.GetLength());
        dc.TextOut(x + extent.cx, place.top, second, second.GetLength());
    }
    dc.SelectObject(oldFont);
}

BOOL CDlg_ImgINFO::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, m_bmpBackground);
    return TRUE;
}

BOOL CDlg_ImgINFO::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        return TRUE;
    if (pMsg->message == WM_SYSKEYDOWN && m_pHost) {
        if (IsKeyDown(g_chPreviewKey)) {
            m_pHost->OnBnClickedPreview();
            return TRUE;
        }
        if (IsKeyDown(g_chScanKey)) {
            m_pHost->OnBnClickedScan();
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(pMsg);
}
