// The scanning window's side of its preview: the tool buttons choose the preview's tool, the unit list its rulers,
// the paper its selection; a selection drawn with the mouse becomes the scan area and the user's own paper; the zoom
// buttons and scroll bars follow the zoom; a disabled window stills the preview; the preview thread's rows repaint
// from their band down.
#include "ScanWindowTestSupport.h"

#include "ui/scanwindow/CMainUIDialog.h"

#include "twain/ScanProgress.h"

#include "scanner/PaperTables.h"

namespace {

using namespace scanwindow_test;

class PreviewSideTest : public ScanWindowTest {
protected:
    CPreviewStatic& Preview() { return m_dialog->m_Preview; }
    CPoint Screen(CPoint client) {
        Preview().ClientToScreen(&client);
        return client;
    }
    // One drag of the left button in the preview, as in the preview's own tests.
    void Drag(CPoint from, const std::vector<CPoint>& path) {
        ut::AdvanceClock(1000);
        ut::MouseMove(Screen(from));
        ::SetCapture(Preview().m_hWnd);
        ut::MouseDown(Screen(from));
        for (const CPoint& p : path)
            ut::MouseMove(Screen(p));
        ut::MouseUp(Screen(path.back()));
        ut::RunPendingMessages();
    }
};

TEST_F(PreviewSideTest, ToolButtonsChooseThePreviewsTool) {
    const std::pair<int, int> tools[] = {
        {10152, kToolZoomIn}, {10153, kToolZoomOut}, {10310, kToolHand}, {10149, kToolSelect}};
    for (const auto& [button, mode] : tools) {
        EnableWindow(Item(button), TRUE); // zoom out waits for a zoom otherwise
        ClickItem(button);
        EXPECT_EQ(Preview().GetToolMode(), mode) << "button " << button;
    }
}

TEST_F(PreviewSideTest, TheUnitListSetsTheRulers) {
    EXPECT_EQ(Preview().GetRuler().GetUnit(), 3) << "pixels at the start";
    const std::pair<int, int> units[] = {{0, 0}, {1, 2}, {2, 3}}; // inch, millimetre, pixel
    for (const auto& [index, unit] : units) {
        SendMessageW(Item(20004), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        m_dialog->SendMessage(WM_COMMAND, MAKEWPARAM(20004, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(20004)));
        EXPECT_EQ(Preview().GetRuler().GetUnit(), unit) << "unit index " << index;
        EXPECT_EQ(Preview().GetRuler().GetDpi(), 300);
    }
}

TEST_F(PreviewSideTest, ThePaperPlacesTheSelection) {
    m_dialog->m_ScanParam.source = 0;
    m_dialog->m_ScanParam.paperSize = 1; // A5
    m_dialog->UpdatePreviewPaper();
    InchRect area{};
    m_dialog->GetScanRangeFromPreview(area);
    EXPECT_NEAR(area.Right - area.Left, 148 / 25.4, 1e-4);
    EXPECT_NEAR(area.Bottom - area.Top, 210 / 25.4, 1e-4);
    EXPECT_FALSE(Preview().IsFeederView());
    EXPECT_EQ(std::u16string(m_dialog->m_stcSizeInfo.GetWidthText()), u": 1748 px") << "the size strip follows";

    m_dialog->m_ScanParam.source = 1;
    m_dialog->m_ScanParam.paperSize = 0;
    m_dialog->UpdatePreviewPaper();
    EXPECT_TRUE(Preview().IsFeederView());
}

TEST_F(PreviewSideTest, ASelectionDrawnByHandIsTheScanAreaAndTheUsersOwnPaper) {
    m_dialog->m_ScanParam.paperSize = 2; // A6 in the top-left corner
    m_dialog->UpdatePreviewPaper();
    const CRect image = Preview().GetImageArea();
    // A new rectangle, off the A6 selection: from 60 % to 80 % of the picture each way.
    const CPoint from(image.left + image.Width() * 6 / 10, image.top + image.Height() * 6 / 10);
    const CPoint to(image.left + image.Width() * 8 / 10, image.top + image.Height() * 8 / 10);
    Drag(from, {CPoint(from.x + 5, from.y + 5), to});
    EXPECT_EQ(m_dialog->m_ScanParam.paperSize, GetMaxSanSizeNum(0)) << "the user's own area";
    EXPECT_EQ(TextOf(Item(10301)), u"Custom Settings");
    InchRect area{};
    m_dialog->GetScanRangeFromPreview(area);
    EXPECT_NEAR(area.Left, 8.5 * 0.6, 0.1);
    EXPECT_NEAR(area.Top, 11.69 * 0.6, 0.1);
    EXPECT_NEAR(area.Right, 8.5 * 0.8, 0.1);
    EXPECT_NEAR(area.Bottom, 11.69 * 0.8, 0.1);
    // A scan now asks the device for that area.
    ClickItem(20006);
    EXPECT_EQ(m_assistor->GetState(), 600);
    EXPECT_NEAR(m_dialog->m_nWidth, 300 * 8.5 * 0.2, 30);
    EXPECT_EQ(m_dialog->ApplyScanParameters(TRUE), 0);
    const auto set = CallsOf("ScanDrv_SetScanParameter");
    ASSERT_EQ(set.size(), 1u);
    int dpi = 0, left = 0, top = 0;
    ASSERT_EQ(std::sscanf(set[0].c_str(), "ScanDrv_SetScanParameter %d %*d %*d %d %d", &dpi, &left, &top), 3);
    EXPECT_NEAR(left, 1200 * 8.5 * 0.6, 150) << "the area in 1/1200 inch";
    EXPECT_NEAR(top, 1200 * 11.69 * 0.6, 150);
}

TEST_F(PreviewSideTest, ZoomButtonsAndScrollBarsFollowTheZoom) {
    ClickItem(10152); // the zoom-in tool
    const CRect image = Preview().GetImageArea();
    const CPoint middle = image.CenterPoint();
    ut::AdvanceClock(1000);
    ut::Click(Screen(middle));
    ut::RunPendingMessages();
    EXPECT_EQ(Preview().GetZoom(), 2.0f);
    EXPECT_TRUE(IsWindowEnabled(Item(10153))) << "zoom out once zoomed in";
    EXPECT_TRUE(IsWindowVisible(Item(10151))) << "horizontal scroll bar";
    EXPECT_TRUE(IsWindowVisible(Item(10150))) << "vertical scroll bar";

    const float before = Preview().GetViewOffsetX();
    m_dialog->SendMessage(WM_HSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(Item(10151)));
    EXPECT_EQ(Preview().GetViewOffsetX(), before - 1) << "the view follows its scroll bar";
    const float top = Preview().GetViewOffsetY();
    m_dialog->SendMessage(WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(Item(10150)));
    EXPECT_LT(Preview().GetViewOffsetY(), top);
    m_dialog->SendMessage(WM_HSCROLL, SB_TOP, reinterpret_cast<LPARAM>(Item(10151)));
    EXPECT_EQ(Preview().GetViewOffsetX(), 0);
    // The hand drags the view through the window's scroll bars.
    m_dialog->ScrollPreviewBy(-10, 0);
    EXPECT_EQ(Preview().GetViewOffsetX(), -10);
}

// In Hebrew the picture is mirrored: its start lies on the right, and so does the start of the horizontal bar.
TEST_F(PreviewSideTest, RightToLeftTheHorizontalBarStartsOnTheRightAsThePictureDoes) {
    m_dialog.reset();
    SetLanguage(u"Hebrew");
    m_dialog = std::make_unique<CMainUIDialog>();
    ASSERT_TRUE(m_dialog->CreateModeless(nullptr));
    m_dialog->ShowWindow(SW_SHOW);
    ut::RunPendingMessages();
    Preview().ZoomIn(Preview().GetImageArea().CenterPoint());
    m_dialog->SendMessage(WM_HSCROLL, SB_TOP, reinterpret_cast<LPARAM>(Item(10151)));
    ut::RunPendingMessages();
    ASSERT_EQ(Preview().GetViewOffsetX(), 0);

    RECT bar{};
    GetWindowRect(Item(10151), &bar);
    const int y = (bar.top + bar.bottom) / 2;
    ut::AdvanceClock(1000);
    ut::Click(POINT{bar.right - 3, y}); // the arrow at the start: nothing further that way
    ut::RunPendingMessages();
    EXPECT_EQ(Preview().GetViewOffsetX(), 0);
    ut::AdvanceClock(1000);
    ut::Click(POINT{bar.left + 3, y}); // the arrow at the far end
    ut::RunPendingMessages();
    EXPECT_EQ(Preview().GetViewOffsetX(), -1);
    EXPECT_EQ(GetWindowLongW(Item(10150), GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0) << "the vertical bar runs down";
}

TEST_F(PreviewSideTest, ADisabledWindowStillsThePreview) {
    m_dialog->EnableMainWindow(FALSE);
    EXPECT_FALSE(Preview().IsInteractive());
    m_dialog->EnableMainWindow(TRUE);
    EXPECT_TRUE(Preview().IsInteractive());
}

TEST_F(PreviewSideTest, ThePreviewThreadsRowsRepaintFromTheirBandDown) {
    ut::RunPendingMessages();
    const CRect image = Preview().GetImageArea();
    // The band of rows 20 to 39 of 877 is ready.
    m_dialog->SendMessage(WM_PREVIEW_ROWS, 39, 877);
    RECT update{};
    ASSERT_TRUE(GetUpdateRect(Preview().m_hWnd, &update, FALSE));
    EXPECT_NEAR(update.top, image.top + 20 * image.Height() / 877, 1) << "from the band's first row";
    EXPECT_LT(update.top, image.top + 39 * image.Height() / 877 - 2) << "not from its last";
    EXPECT_GE(update.bottom, image.bottom);
    ut::RunPendingMessages();
    // The first report repaints the whole picture.
    m_dialog->SendMessage(WM_PREVIEW_ROWS, 0, 877);
    ASSERT_TRUE(GetUpdateRect(Preview().m_hWnd, &update, FALSE));
    EXPECT_LE(update.top, image.top);
}

} // namespace
