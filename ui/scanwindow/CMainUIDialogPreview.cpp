// The preview's side in the window: the selection for the source and paper, the tool buttons, the scroll bars,
// the zoom buttons, the rulers' unit and the rows the preview thread reports.
#include "ui/scanwindow/CMainUIDialog.h"

#include "ui/scanwindow/CBasicSetting.h"

#include "twain/ScanProgress.h"

#include "imaging/CEffectLibrary.h"
#include "scanner/PaperTables.h"
#include "settings/DebugOutput.h"
#include "settings/Language.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/CWarningDlg.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr int CTRL_SELECT = 10149;
constexpr int CTRL_ZOOM_IN = 10152;
constexpr int CTRL_ZOOM_OUT = 10153;
constexpr int CTRL_HAND = 10310;

constexpr UINT IDB_BLANK_PAGE = 10441;
constexpr UINT IDS_CLEAR_PREVIEW = 1098;
constexpr int kPreviewDpi = 75;

int SourceIndex(int source) {
    return std::clamp(source, 0, 2);
}

// The preview's pixels: red, green, blue, rows of width x 3 bytes.
EffectImageInfo PreviewInfo(int width, int height) {
    return {height, width * 3, width, 24};
}
} // namespace

SelectionZone CMainUIDialog::SelectionInches() {
    SelectionZone zone{};
    if (m_Preview.GetTrackerZone(&zone, m_ScanParam.source, m_ScanParam.paperSize) == kPaperUnitMillimetre) {
        zone.width /= 25.4f;
        zone.height /= 25.4f;
    }
    return zone;
}

// The selection follows the source and the paper: a listed paper from the bed's corner, else the source's own area.
void CMainUIDialog::UpdatePreviewPaper() {
    const int source = SourceIndex(m_ScanParam.source);
    const int paper = m_ScanParam.paperSize;
    SelectionZone zone{};
    if (paper >= GetMaxSanSizeNum(static_cast<unsigned>(source))) {
        zone = m_customZone[source];
    } else {
        _PaperInfo row{};
        getPeperInfo(&row, static_cast<unsigned>(source), paper);
        const float scale = row.unit == kPaperUnitMillimetre ? 25.4f : 1.0f;
        zone.width = row.width / scale;
        zone.height = row.height / scale;
    }
    m_Preview.SetScanArea(m_ScanParam.source, paper, zone);
    UpdateSizeInfo();
}

// The user drew an area: the paper becomes the source's own area, which the selection now is.
void CMainUIDialog::ResetPaperToWholeArea() {
    const int source = SourceIndex(m_ScanParam.source);
    m_ScanParam.paperSize = GetMaxSanSizeNum(static_cast<unsigned>(source));
    m_Preview.GetTrackerZone(&m_customZone[source], m_ScanParam.source, m_ScanParam.paperSize);
    if (m_pBasicSetting && m_pBasicSetting->m_hWnd != nullptr)
        m_pBasicSetting->SelectPaperSize();
    MarkSettingModified();
}

void CMainUIDialog::EnableZoomButtons(BOOL zoomIn, BOOL zoomOut) {
    m_btnZoomIn.EnableWindow(zoomIn);
    m_btnZoomOut.EnableWindow(zoomOut);
}

void CMainUIDialog::UpdateRulers() {
    m_Preview.SetRulerUnit(m_nUnitIndex, GetResolutionDpi());
}

// The four tools are a group: the chosen one shows pressed.
void CMainUIDialog::OnBnClickedTool(UINT id) {
    const std::pair<CxSkinButton*, int> tools[] = {{&m_btnSelect, CTRL_SELECT},
                                                   {&m_btnZoomIn, CTRL_ZOOM_IN},
                                                   {&m_btnZoomOut, CTRL_ZOOM_OUT},
                                                   {&m_btnHand, CTRL_HAND}};
    for (int mode = 0; mode < 4; ++mode) {
        const bool chosen = tools[mode].second == static_cast<int>(id);
        tools[mode].first->SetPressed(chosen);
        if (chosen)
            m_Preview.SetToolMode(mode);
    }
}

// The preview thread reports the last row of its newest band: the picture is repainted from that band down.
LRESULT CMainUIDialog::OnPreviewRows(WPARAM wParam, LPARAM lParam) {
    const int lastRow = static_cast<int>(wParam);
    m_Preview.InvalidateRows(lastRow - lastRow % kPreviewBandRows, 0, static_cast<int>(lParam));
    return 0;
}

// The display copy from the raw preview with the current settings' adjustments.
void CMainUIDialog::RefreshPreviewImage() {
    const int width = m_imgPreview.GetWidth();
    const int height = m_imgPreview.GetHeight();
    BYTE* raw = m_imgPreview.GetBits();
    BYTE* display = m_imgDisplay.GetBits();
    if (raw == nullptr || display == nullptr || width <= 0 || height <= 0 || m_imgDisplay.GetWidth() != width ||
        m_imgDisplay.GetHeight() != height)
        return;
    const size_t bytes = static_cast<size_t>(width) * 3 * static_cast<size_t>(height);
    std::memset(display, 0xFF, bytes);
    m_Preview.SetImage(&m_imgDisplay);
    std::memcpy(display, raw, bytes);
    CEffectLibrary effects;
    if (effects.IsLoaded())
        effects.ApplyPreviewEffects(PreviewInfo(width, height), display, m_ScanParam);
    m_Preview.InvalidateRows(0, width, height);
}

CImage* CMainUIDialog::GetDisplayImage() {
    return m_imgDisplay.GetBits() != nullptr ? &m_imgDisplay : nullptr;
}

// The blank page: the flatbed's empty glass (the bitmap's blue-green-red turned into red-green-blue), or for a
// feeder source a white page.
void CMainUIDialog::ResetPreviewImage() {
    CBitmap bitmap;
    BITMAP info{};
    if (!LoadModuleBitmap(bitmap, IDB_BLANK_PAGE) || !bitmap.GetBitmap(&info) || info.bmWidth <= 0 ||
        info.bmHeight <= 0) {
        DebugPrint(u"CMainUIDialog::ResetPreviewImage: no blank page");
        return;
    }
    const int width = info.bmWidth;
    const int height = info.bmHeight;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    std::vector<BYTE> bits(stride * static_cast<size_t>(height));
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height; // rows top first
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biCompression = BI_RGB;
    CClientDC dc(this);
    if (::GetDIBits(dc.GetSafeHdc(), static_cast<HBITMAP>(bitmap.GetSafeHandle()), 0, static_cast<UINT>(height),
                    bits.data(), &header, DIB_RGB_COLORS) != height)
        return;

    try {
        if (!m_imgPreview.Create(3, 8, width, height, kPreviewDpi, kPreviewDpi) ||
            !m_imgDisplay.Create(3, 8, width, height, kPreviewDpi, kPreviewDpi))
            return;
    } catch (const char* error) {
        DebugPrint(u"CMainUIDialog::ResetPreviewImage: %hs", error);
        return;
    }
    BYTE* raw = m_imgPreview.GetBits();
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    const bool feeder = m_ScanParam.source == 1 || m_ScanParam.source == 2;
    for (int y = 0; y < height; ++y) {
        BYTE* row = raw + rowBytes * static_cast<size_t>(y);
        if (feeder) {
            std::memset(row, 0xFF, rowBytes);
            continue;
        }
        const BYTE* source = bits.data() + stride * static_cast<size_t>(y);
        for (size_t x = 0; x < rowBytes; x += 3) {
            row[x] = source[x + 2];
            row[x + 1] = source[x + 1];
            row[x + 2] = source[x];
        }
    }
    m_nPreviewHeight = height;
    m_nPreviewWidth = width;
    RefreshPreviewImage();
}

void CMainUIDialog::ClearPreview(BOOL ask) {
    if (ask) {
        CWarningDlg question(this);
        question.m_strMessage = LoadResString(IDS_CLEAR_PREVIEW);
        if (question.DoModal() != IDOK)
            return;
    }
    ResetPreviewImage();
    m_btnClearPreview.EnableWindow(FALSE);
}

void CMainUIDialog::OnBnClickedClearPreview() {
    ClearPreview(TRUE);
}

void CMainUIDialog::ScrollBarTo(CScrollBar& bar, int position, bool horizontal) {
    int minimum = 0, maximum = 0;
    bar.GetScrollRange(&minimum, &maximum);
    position = std::clamp(position, minimum, std::max(minimum, bar.GetScrollLimit()));
    bar.SetScrollPos(position, TRUE);
    if (horizontal)
        m_Preview.SetScrollPosX(position - minimum);
    else
        m_Preview.SetScrollPosY(position - minimum);
}

// Where a scroll request moves the bar; false for a request that moves nothing.
bool CMainUIDialog::ScrollRequestPosition(CScrollBar& bar, UINT code, UINT pos, int& position) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    bar.GetScrollInfo(&info, SIF_ALL);
    position = info.nPos;
    switch (code) {
    case SB_LINEUP:
        position -= 1;
        return true;
    case SB_LINEDOWN:
        position += 1;
        return true;
    case SB_PAGEUP:
        position -= static_cast<int>(info.nPage);
        return true;
    case SB_PAGEDOWN:
        position += static_cast<int>(info.nPage);
        return true;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        position = static_cast<int>(pos);
        return true;
    case SB_TOP:
        position = info.nMin;
        return true;
    case SB_BOTTOM:
        position = bar.GetScrollLimit();
        return true;
    default:
        return false;
    }
}

void CMainUIDialog::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
    int position = 0;
    if (HwndOf(bar) == m_sbHorz.m_hWnd && m_sbHorz.m_hWnd != nullptr &&
        ScrollRequestPosition(m_sbHorz, code, pos, position))
        ScrollBarTo(m_sbHorz, position, true);
}

void CMainUIDialog::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
    int position = 0;
    if (HwndOf(bar) == m_sbVert.m_hWnd && m_sbVert.m_hWnd != nullptr &&
        ScrollRequestPosition(m_sbVert, code, pos, position))
        ScrollBarTo(m_sbVert, position, false);
}

void CMainUIDialog::ScrollPreviewBy(int dx, int dy) {
    if (dx != 0 && m_sbHorz.m_hWnd != nullptr)
        ScrollBarTo(m_sbHorz, m_sbHorz.GetScrollPos() - dx, true);
    if (dy != 0 && m_sbVert.m_hWnd != nullptr)
        ScrollBarTo(m_sbVert, m_sbVert.GetScrollPos() - dy, false);
}
