// The preview's side in the window: the selection for the source and paper, the tool buttons, the scroll bars,
// the zoom buttons, the rulers' unit and the rows the preview thread reports.
#include "ui/scanwindow/CMainUIDialog.h"

#include "scanner/PaperTables.h"
#include "settings/PlatformFlags.h"

#include <algorithm>

namespace {
constexpr int CTRL_SELECT = 10149;
constexpr int CTRL_ZOOM_IN = 10152;
constexpr int CTRL_ZOOM_OUT = 10153;
constexpr int CTRL_HAND = 10310;
} // namespace

int CMainUIDialog::PreviewTrackerZone(PreviewZone& zone, int source, int paperIndex) {
    const int sourceIndex = std::clamp(source, 0, 2);
    if (paperIndex >= 0 && paperIndex < GetMaxSanSizeNum(static_cast<unsigned>(sourceIndex))) {
        _PaperInfo paper{};
        getPeperInfo(&paper, static_cast<unsigned>(sourceIndex), paperIndex);
        zone.width = paper.width;
        zone.height = paper.height;
        return paper.unit;
    }
    zone = m_customZone[sourceIndex];
    return kPaperUnitInch;
}

void CMainUIDialog::UpdatePreviewPaper() {
    UpdateSizeInfo();
}

// The user drew an area: the paper becomes the source's own area, which the selection now is.
void CMainUIDialog::ResetPaperToWholeArea() {
    const int source = std::clamp(m_ScanParam.source, 0, 2);
    m_ScanParam.paperSize = GetMaxSanSizeNum(static_cast<unsigned>(source));
    MarkSettingModified();
}

void CMainUIDialog::EnableZoomButtons(BOOL zoomIn, BOOL zoomOut) {
    m_btnZoomIn.EnableWindow(zoomIn);
    m_btnZoomOut.EnableWindow(zoomOut);
}

void CMainUIDialog::UpdateRulers() {}

// The four tools are a group: the chosen one shows pressed.
void CMainUIDialog::OnBnClickedTool(UINT id) {
    const std::pair<CxSkinButton*, int> tools[] = {{&m_btnSelect, CTRL_SELECT},
                                                   {&m_btnZoomIn, CTRL_ZOOM_IN},
                                                   {&m_btnZoomOut, CTRL_ZOOM_OUT},
                                                   {&m_btnHand, CTRL_HAND}};
    for (const auto& [button, toolId] : tools)
        button->SetPressed(toolId == static_cast<int>(id));
}

LRESULT CMainUIDialog::OnPreviewRows(WPARAM, LPARAM) {
    return 0;
}

void CMainUIDialog::OnBnClickedPreview() {}

// No preview is kept yet: there is nothing to render again, and no display image for the histogram.
void CMainUIDialog::RefreshPreviewImage() {}

CImage* CMainUIDialog::GetDisplayImage() {
    return nullptr;
}

void CMainUIDialog::ScrollBarTo(CScrollBar& bar, int position, bool horizontal) {
    int minimum = 0, maximum = 0;
    bar.GetScrollRange(&minimum, &maximum);
    position = std::clamp(position, minimum, std::max(minimum, bar.GetScrollLimit()));
    bar.SetScrollPos(position, TRUE);
    (void)horizontal;
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
