// The preview control: drawing, moving and resizing the selection with the mouse, zoom and hand tools, the rulers in
// each unit, the automatic scroll of a drag, the ends of the drag loop, right-to-left drawing and input, and the
// animation timer. Driven like a user does, through the windowing layer's test input on the test clock.
#include "ui/scanwindow/CPreviewStatic.h"

#include "imaging/CImage.h"
#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/gdi/testing.h"
#include "platform/user/testing.h"
#include "scanner/PaperTables.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"
#include "tests/support/DebugLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ostream>
#include <vector>

// Rectangles in failure messages.
void PrintTo(const CRect& r, std::ostream* out) {
    *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

namespace ut = platform::user::testing;

// The control's client area: 340 x 468 pixels of image right of and below the 21-pixel rulers.
constexpr int kWidth = 362;
constexpr int kHeight = 490;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kStrip = RGB(198, 198, 188);
constexpr COLORREF kPicture = RGB(90, 140, 200);

constexpr UINT WM_STEAL_CAPTURE = WM_APP + 1;
constexpr UINT WM_DESTROY_PREVIEW = WM_APP + 2;
constexpr UINT WM_QUIT_DURING_DRAG = WM_APP + 3;
constexpr UINT WM_TICK_PREVIEW = WM_APP + 4;

constexpr const char* kTemplate = R"(DIALOGEX 0, 0, 300, 340
STYLE WS_POPUP | WS_VISIBLE
BEGIN
END
)";

// A dialog hosting the preview as the scanning window does, recording what the control asks of it. Its scroll-by
// moves the scroll bars as the scanning window does.
class PreviewHost : public CDialog, public CPreviewOwner {
public:
    CPreviewStatic preview;
    CScrollBar horizontal;
    CScrollBar vertical;
    std::vector<std::string> calls;
    BOOL zoomInEnabled = TRUE;
    BOOL zoomOutEnabled = FALSE;

    BOOL Open() {
        if (!CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kTemplate), nullptr))
            return FALSE;
        MoveWindow(0, 0, 420, 540);
        const CRect area(10, 10, 10 + kWidth, 10 + kHeight);
        if (!preview.Create(u"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, area, this, CPreviewStatic::IDC) ||
            !horizontal.Create(WS_CHILD | SBS_HORZ, CRect(10, 10 + kHeight, 10 + kWidth, 26 + kHeight), this, 10151) ||
            !vertical.Create(WS_CHILD | SBS_VERT, CRect(10 + kWidth, 10, 26 + kWidth, 10 + kHeight), this, 10150))
            return FALSE;
        preview.Init(this, &horizontal, &vertical);
        ShowWindow(SW_SHOW);
        ut::RunPendingMessages();
        return TRUE;
    }

    void EnableZoomButtons(BOOL zoomIn, BOOL zoomOut) override {
        zoomInEnabled = zoomIn;
        zoomOutEnabled = zoomOut;
    }
    void UpdateSizeInfo() override { calls.emplace_back("size"); }
    void MarkSettingModified() override { calls.emplace_back("modified"); }
    void ResetPaperToWholeArea() override { calls.emplace_back("paper"); }
    void ScrollPreviewBy(int dx, int dy) override {
        calls.emplace_back("scroll " + std::to_string(dx) + " " + std::to_string(dy));
        auto scroll = [](CScrollBar& bar, int delta) {
            if (delta == 0)
                return -1;
            int low = 0;
            int high = 0;
            bar.GetScrollRange(&low, &high);
            const int pos = std::clamp(bar.GetScrollPos() - delta, low, std::max(low, bar.GetScrollLimit()));
            bar.SetScrollPos(pos);
            return pos - low;
        };
        if (const int x = scroll(horizontal, dx); x >= 0)
            preview.SetScrollPosX(x);
        if (const int y = scroll(vertical, dy); y >= 0)
            preview.SetScrollPosY(y);
    }

    // What the tests do while a drag is running: steps posted to the host, dispatched by the drag's own loop.
    LRESULT OnStealCapture(WPARAM, LPARAM) {
        ::SetCapture(m_hWnd);
        return 0;
    }
    LRESULT OnDestroyPreview(WPARAM, LPARAM) {
        preview.DestroyWindow();
        return 0;
    }
    LRESULT OnQuitDuringDrag(WPARAM code, LPARAM) {
        PostQuitMessage(static_cast<int>(code));
        return 0;
    }
    LRESULT OnTickPreview(WPARAM, LPARAM) {
        preview.SendMessage(WM_TIMER, CPreviewStatic::kAnimationTimer);
        return 0;
    }
    void OnOK() override {}
    void OnCancel() override {}
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(PreviewHost, CDialog)
ON_MESSAGE(WM_STEAL_CAPTURE, OnStealCapture)
ON_MESSAGE(WM_DESTROY_PREVIEW, OnDestroyPreview)
ON_MESSAGE(WM_QUIT_DURING_DRAG, OnQuitDuringDrag)
ON_MESSAGE(WM_TICK_PREVIEW, OnTickPreview)
END_MESSAGE_MAP()

// An image whose display copy cannot be made.
class UndrawableImage : public CImage {
public:
    int Draw(CDC*, const CRect*, const CRect*, DWORD) override { throw "Construct Display Data: Out of Memory!"; }
};

HMODULE LoadLanguageLibrary(const char* code) {
    const char* dir = std::getenv("MODULE_DIR");
    if (!dir)
        return nullptr;
    return LoadLibraryW(
        (platform::path::ToDosPath(dir) + u"\\kvxtwrc" + std::u16string(code, code + std::strlen(code)) + u".dll")
            .c_str());
}

HCURSOR SystemCursor(LPCWSTR id) {
    return LoadCursorW(nullptr, id);
}

class PreviewStaticTest : public ::testing::Test {
protected:
    PreviewHost host;
    HMODULE strings = nullptr;
    CImage picture;

    void SetUp() override {
        ut::UseManualClock(true);
        g_LangugueID = kLanguageEnglish;
        g_bHasA3 = FALSE;
        ResetPaperListsForTesting();
        strings = LoadLanguageLibrary("enus");
        ASSERT_NE(strings, nullptr) << "the staged English language library";
        AfxSetResourceHandle(strings);
        ASSERT_TRUE(host.Open());
        PlaceSelection(0, {1, 1, 4, 5});
        host.calls.clear();
    }
    void TearDown() override {
        ::ReleaseCapture();
        host.DestroyWindow();
        ut::RunPendingMessages();
        AfxSetResourceHandle(nullptr);
        FreeLibrary(strings);
        g_LangugueID = kLanguageEnglish;
        g_bHasA3 = FALSE;
        ResetPaperListsForTesting();
        ut::UseManualClock(false);
    }

    CPreviewStatic& preview() { return host.preview; }
    const CRect& selection() { return preview().GetTracker().GetRect(); }

    CRect PlaceSelection(int source, const SelectionZone& zone) {
        const CRect r = preview().SetScanArea(source, 0, zone);
        ut::RunPendingMessages();
        return r;
    }
    POINT Screen(CPoint client) {
        POINT p{client.x, client.y};
        preview().ClientToScreen(&p);
        return p;
    }
    // A physical client point of the control for a point as it is drawn (mirrored right to left).
    CPoint Physical(CPoint drawn) { return preview().ToDrawingPoint(drawn); }
    // Presses the left button at `from`, moves through `path` and releases at its end, as one drag. The control
    // holds the mouse from the press on, so moves outside it reach it too.
    void Drag(CPoint from, const std::vector<CPoint>& path) {
        ut::MouseMove(Screen(from));
        ::SetCapture(preview().m_hWnd);
        ut::MouseDown(Screen(from));
        for (const CPoint& p : path)
            ut::MouseMove(Screen(p));
        ut::MouseUp(Screen(path.empty() ? from : path.back()));
        ut::RunPendingMessages();
    }
    COLORREF Pixel(int x, int y) { return ut::WindowPixel(preview().m_hWnd, x, y); }
    int Count(const std::string& call) {
        return static_cast<int>(std::count(host.calls.begin(), host.calls.end(), call));
    }
    void FillPicture(COLORREF colour) {
        ASSERT_TRUE(picture.Create(3, 8, 340, 468, 75, 75));
        BYTE* bits = picture.GetBits();
        for (int i = 0; i < 340 * 468; ++i) {
            bits[i * 3] = GetRValue(colour);
            bits[i * 3 + 1] = GetGValue(colour);
            bits[i * 3 + 2] = GetBValue(colour);
        }
        preview().SetImage(&picture);
        preview().InvalidateRows(0, 0, 468);
        ut::RunPendingMessages();
    }
    bool Drawn(const std::u16string& text, int x, int y) {
        for (const auto& t : platform::gdi::TextLog())
            if (t.text == text && t.pos.x == x && t.pos.y == y)
                return true;
        return false;
    }
    void PaintRulers(int unitIndex, int dpi) {
        preview().SetRulerUnit(unitIndex, dpi);
        ut::RunPendingMessages();
        platform::gdi::ClearTextLog();
        preview().Invalidate(FALSE);
        ut::RunPendingMessages();
    }
};

TEST(PreviewCursors, EveryLanguageLibraryHasTheFourCursors) {
    for (const char* code : {"enus", "zhcn", "he"}) {
        HMODULE library = LoadLanguageLibrary(code);
        ASSERT_NE(library, nullptr) << code;
        for (UINT id : {CPreviewStatic::kCursorZoomIn, CPreviewStatic::kCursorZoomOut, CPreviewStatic::kCursorZoomLimit,
                        CPreviewStatic::kCursorHand})
            EXPECT_NE(LoadCursorW(library, MAKEINTRESOURCEW(id)), nullptr) << code << " cursor " << id;
        FreeLibrary(library);
    }
}

TEST_F(PreviewStaticTest, InitSizesTheImageAreaAndResetsTheScrollBars) {
    EXPECT_EQ(preview().GetImageArea(), CRect(21, 21, 361, 489));
    EXPECT_EQ(preview().GetTracker().GetImageArea(), CRect(21, 21, 361, 489));
    SCROLLINFO info{sizeof(SCROLLINFO)};
    host.horizontal.GetScrollInfo(&info);
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 340);
    EXPECT_EQ(info.nPage, 340u);
    EXPECT_EQ(info.nPos, 0);
    host.vertical.GetScrollInfo(&info);
    EXPECT_EQ(info.nMax, 468);
    EXPECT_EQ(info.nPage, 468u);
    EXPECT_EQ(preview().GetRuler().GetBand(), 19.0f);
}

TEST_F(PreviewStaticTest, AZoneInInchesBecomesPixelsAndBack) {
    EXPECT_EQ(selection(), CRect(60, 61, 220, 261));
    // The feeder view maps the height to the longest feeder paper and shrinks the width to 85 / 101.8.
    const CRect feeder = PlaceSelection(1, {0, 0, 8.503937f, 14.015748f});
    EXPECT_EQ(feeder, CRect(21, 21, 21 + 283, 489));
    EXPECT_NEAR(preview().GetTracker().GetEffectiveRight(), 21 + 340 * 85 / 101.8, 0.01);
    EXPECT_TRUE(preview().IsFeederView());
}

// The whole bed selected (the "Auto" size) has all four edges on screen: the right and bottom ones lie on the
// last column and row of the image area.
TEST_F(PreviewStaticTest, AWholeBedSelectionShowsAllFourEdges) {
    const CRect whole = PlaceSelection(0, {0, 0, 8.503937f, 11.692913f});
    preview().RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    auto dashes = [&](bool column, int at, int from, int to) {
        int black = 0;
        for (int i = from; i < to; ++i)
            black += Pixel(column ? at : i, column ? i : at) == RGB(0, 0, 0) ? 1 : 0;
        return black;
    };
    EXPECT_GT(dashes(false, whole.top, whole.left, whole.right), 0) << "top edge";
    EXPECT_GT(dashes(true, whole.left, whole.top, whole.bottom), 0) << "left edge";
    EXPECT_GT(dashes(true, whole.right, whole.top + 1, whole.bottom), 0) << "right edge at x " << whole.right;
    EXPECT_GT(dashes(false, whole.bottom, whole.left + 1, whole.right), 0) << "bottom edge at y " << whole.bottom;
}

TEST_F(PreviewStaticTest, AListedPaperGivesItsSizeAndUnitAndLeavesThePositionAlone) {
    testsupport::DebugLines debug;
    debug.Capture();
    SelectionZone zone{0.25f, 0.5f, 0, 0};
    _PaperInfo first{};
    getPeperInfo(&first, 0, 0);
    EXPECT_EQ(preview().GetTrackerZone(&zone, 0, 0), first.unit);
    EXPECT_EQ(zone.x, 0.25f);
    EXPECT_EQ(zone.y, 0.5f);
    EXPECT_EQ(zone.width, first.width);
    EXPECT_EQ(zone.height, first.height);

    // Past the list: the source's own zone, in inches.
    const int custom = GetMaxSanSizeNum(0);
    EXPECT_EQ(preview().GetTrackerZone(&zone, 0, custom), 0);
    EXPECT_EQ(zone.x, 1.0f);
    EXPECT_EQ(zone.width, 4.0f);
    SelectionZone damaged;
    EXPECT_EQ(preview().GetTrackerZone(&damaged, 0, -1), 0) << "a negative index is no listed paper";
    EXPECT_EQ(damaged.width, 4.0f);
    debug.Release();
    const std::vector<std::u16string> lines = debug.Lines();
    CString expected;
    expected.Format(u"GetTrackerZone(): nMaxSanSizeNum = %d, nScanSize = 0", custom);
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [](const std::u16string& l) { return l.rfind(u"GetTrackerZone", 0) == 0; });
    ASSERT_NE(line, lines.end());
    EXPECT_EQ(line->substr(0, expected.GetLength()), std::u16string(expected));
}

TEST_F(PreviewStaticTest, ThePictureFillsTheImageAreaAndShrinksInTheFeederView) {
    EXPECT_EQ(Pixel(100, 300), kWhite) << "no picture yet: a white page";
    EXPECT_EQ(Pixel(131, 10), kStrip) << "the top ruler";
    EXPECT_EQ(Pixel(10, 300), kStrip) << "the left ruler";
    FillPicture(kPicture);
    EXPECT_EQ(Pixel(100, 300), kPicture);
    EXPECT_EQ(Pixel(355, 480), kPicture) << "the picture reaches the area's corner";

    PlaceSelection(1, {0, 0, 8.503937f, 14.015748f});
    EXPECT_EQ(Pixel(21 + 270, 300), kPicture);
    EXPECT_EQ(Pixel(21 + 290, 300), kWhite) << "85 / 101.8 of the width";
    EXPECT_EQ(Pixel(100, 21 + 380), kPicture);
    EXPECT_EQ(Pixel(100, 21 + 400), kWhite) << "116.9 / 140 of the height";
}

TEST_F(PreviewStaticTest, APictureThatCannotBeDrawnLeavesTheAreaWhite) {
    FillPicture(kPicture);
    UndrawableImage broken;
    ASSERT_TRUE(broken.Create(3, 8, 10, 10, 75, 75));
    testsupport::DebugLines debug;
    debug.Capture();
    preview().SetImage(&broken);
    preview().InvalidateRows(0, 0, 10);
    ut::RunPendingMessages();
    debug.Release();
    const std::vector<std::u16string> lines = debug.Lines();
    EXPECT_EQ(Pixel(100, 300), kWhite);
    EXPECT_EQ(Pixel(131, 10), kStrip) << "the rulers are still drawn";
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(u"Construct Display Data: Out of Memory!"), std::u16string::npos);
    preview().SetImage(nullptr);
}

TEST_F(PreviewStaticTest, RowsArrivingRepaintFromTheirRowDown) {
    RECT update{};
    preview().InvalidateRows(0, 0, 0);
    EXPECT_FALSE(::GetUpdateRect(preview().m_hWnd, &update, FALSE)) << "no rows: nothing";
    preview().InvalidateRows(234, 20, 468);
    ASSERT_TRUE(::GetUpdateRect(preview().m_hWnd, &update, FALSE));
    EXPECT_EQ(CRect(update), CRect(0, 21 + 234 - 1, kWidth, 489));
    ut::RunPendingMessages();
    // Zoomed and scrolled, a row is found where it is drawn; rows below the view repaint nothing.
    preview().ZoomIn(CPoint(20, 20));
    preview().SetScrollPosY(100);
    ut::RunPendingMessages();
    preview().InvalidateRows(100, 20, 468);
    ASSERT_TRUE(::GetUpdateRect(preview().m_hWnd, &update, FALSE));
    EXPECT_EQ(update.top, 119) << "row 100 at 2x, 100 pixels scrolled";
    ut::RunPendingMessages();
    preview().InvalidateRows(400, 20, 468);
    EXPECT_FALSE(::GetUpdateRect(preview().m_hWnd, &update, FALSE));
}

TEST_F(PreviewStaticTest, TheTimerMarchesTheAntsEvery40MsWhileInteractive) {
    const int phase = preview().GetTracker().GetDashPhase();
    ut::AdvanceClock(39);
    ut::RunPendingMessages();
    EXPECT_EQ(preview().GetTracker().GetDashPhase(), phase);
    ut::AdvanceClock(1);
    ut::RunPendingMessages();
    EXPECT_EQ(preview().GetTracker().GetDashPhase(), phase % 8 + 1);
    // The dashes move along the top edge with the phase.
    std::vector<COLORREF> before;
    for (int x = 70; x < 90; ++x)
        before.push_back(Pixel(x, 61));
    ut::AdvanceClock(40);
    ut::RunPendingMessages();
    std::vector<COLORREF> after;
    for (int x = 70; x < 90; ++x)
        after.push_back(Pixel(x, 61));
    EXPECT_NE(before, after);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](COLORREF c) { return c == kWhite || c == 0; }));
    EXPECT_NE(std::find(after.begin(), after.end(), COLORREF(0)), after.end());

    preview().SetInteractive(FALSE);
    const int still = preview().GetTracker().GetDashPhase();
    ut::AdvanceClock(200);
    ut::RunPendingMessages();
    EXPECT_EQ(preview().GetTracker().GetDashPhase(), still) << "a disabled window's selection stands still";
}

TEST_F(PreviewStaticTest, DrawingANewSelectionFromEitherCorner) {
    Drag(CPoint(100, 300), {CPoint(120, 320), CPoint(150, 350)});
    EXPECT_EQ(selection(), CRect(100, 300, 150, 350));
    EXPECT_EQ(Count("size"), 2);
    EXPECT_EQ(Count("modified"), 2);
    EXPECT_EQ(Count("paper"), 2);
    const SelectionZone& zone = preview().GetTracker().GetZone(0);
    EXPECT_NEAR(zone.x, (100 - 21) * 8.503937 / 340, 1e-5);
    EXPECT_NEAR(zone.y, (300 - 21) * 11.692913 / 468, 1e-5);
    EXPECT_NEAR(zone.width, 50 * 8.503937 / 340, 1e-5);
    EXPECT_NEAR(zone.height, 50 * 11.692913 / 468, 1e-5);

    Drag(CPoint(300, 400), {CPoint(250, 340)});
    EXPECT_EQ(selection(), CRect(250, 340, 300, 400)) << "drawn up and to the left";
}

TEST_F(PreviewStaticTest, ANewSelectionNeedsADiagonalFirstMoveAndKeepsItsSmallestSize) {
    Drag(CPoint(100, 300), {CPoint(150, 300)});
    EXPECT_EQ(selection(), CRect(60, 61, 220, 261)) << "a purely horizontal first move starts nothing";
    EXPECT_TRUE(host.calls.empty());
    Drag(CPoint(100, 300), {CPoint(100, 330), CPoint(130, 340)});
    EXPECT_EQ(selection(), CRect(100, 300, 130, 340)) << "it starts with the first diagonal move";

    Drag(CPoint(100, 380), {CPoint(103, 384)});
    EXPECT_EQ(selection(), CRect(100, 380, 111, 391)) << "at least 11 pixels at 1x";
    EXPECT_NEAR(preview().GetTracker().GetZone(0).width, 0.4, 1e-6) << "and at least 0.4 inch stored";
    Drag(CPoint(358, 400), {CPoint(360, 405)});
    EXPECT_EQ(selection(), CRect(350, 400, 361, 411)) << "near the right edge it grows leftwards";
}

TEST_F(PreviewStaticTest, EachHandleResizesItsEdges) {
    struct Case {
        CPoint handle;
        int hit;
        CRect expected;
    };
    const Case cases[] = {
        {{60, 61}, SelectionTracker::kHitTopLeft, {70, 73, 220, 261}},
        {{220, 61}, SelectionTracker::kHitTopRight, {60, 73, 230, 261}},
        {{220, 261}, SelectionTracker::kHitBottomRight, {60, 61, 230, 273}},
        {{60, 261}, SelectionTracker::kHitBottomLeft, {70, 61, 220, 273}},
        {{140, 61}, SelectionTracker::kHitTop, {60, 73, 220, 261}},
        {{220, 161}, SelectionTracker::kHitRight, {60, 61, 230, 261}},
        {{140, 261}, SelectionTracker::kHitBottom, {60, 61, 220, 273}},
        {{60, 161}, SelectionTracker::kHitLeft, {70, 61, 220, 261}},
    };
    for (const Case& c : cases) {
        PlaceSelection(0, {1, 1, 4, 5});
        host.calls.clear();
        EXPECT_EQ(preview().GetTracker().HitTest(c.handle), c.hit);
        Drag(c.handle, {c.handle + CPoint(10, 12)});
        EXPECT_EQ(selection(), c.expected) << "handle " << c.hit;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"size", "modified", "paper"})) << "handle " << c.hit;
    }
    // An edge stops 11 pixels short of the opposite one, and at the image's edge.
    PlaceSelection(0, {1, 1, 4, 5});
    Drag(CPoint(60, 161), {CPoint(300, 161)});
    EXPECT_EQ(selection(), CRect(209, 61, 220, 261));
    Drag(CPoint(209, 61), {CPoint(0, 0)});
    EXPECT_EQ(selection(), CRect(21, 21, 220, 261));
}

TEST_F(PreviewStaticTest, MovingKeepsTheSizeAndSlidesAlongTheEdges) {
    Drag(CPoint(140, 161), {CPoint(150, 171), CPoint(160, 181)});
    EXPECT_EQ(selection(), CRect(80, 81, 240, 281));
    EXPECT_FALSE(preview().GetTracker().IsMoving()) << "the dotted outline goes with the drag";
    EXPECT_EQ(host.calls, (std::vector<std::string>{"paper", "paper"})) << "a move changes no size";
    const SelectionZone& zone = preview().GetTracker().GetZone(0);
    EXPECT_FLOAT_EQ(zone.width, 4.0f);
    EXPECT_FLOAT_EQ(zone.height, 5.0f);

    Drag(CPoint(140, 161), {CPoint(40, 131)});
    EXPECT_EQ(selection(), CRect(21, 51, 181, 251)) << "against the left edge it slides up";
    Drag(CPoint(100, 151), {CPoint(400, 600)});
    EXPECT_EQ(selection(), CRect(201, 289, 361, 489)) << "into the bottom-right corner";
}

TEST_F(PreviewStaticTest, TheCursorShowsWhatADragWouldDo) {
    auto cursorAt = [&](CPoint p) {
        ut::MouseMove(Screen(Physical(p)));
        ut::RunPendingMessages();
        return GetCursor();
    };
    EXPECT_EQ(cursorAt({60, 61}), SystemCursor(IDC_SIZENWSE));
    EXPECT_EQ(cursorAt({220, 61}), SystemCursor(IDC_SIZENESW));
    EXPECT_EQ(cursorAt({220, 261}), SystemCursor(IDC_SIZENWSE));
    EXPECT_EQ(cursorAt({60, 261}), SystemCursor(IDC_SIZENESW));
    EXPECT_EQ(cursorAt({140, 61}), SystemCursor(IDC_SIZENS));
    EXPECT_EQ(cursorAt({220, 161}), SystemCursor(IDC_SIZEWE));
    EXPECT_EQ(cursorAt({140, 161}), SystemCursor(IDC_SIZEALL));
    EXPECT_EQ(cursorAt({300, 400}), SystemCursor(IDC_ARROW)) << "a new rectangle";
    EXPECT_EQ(cursorAt({10, 100}), SystemCursor(IDC_ARROW)) << "on the ruler";
    // Mirrored, the corners lean the other way.
    g_LangugueID = 21;
    EXPECT_EQ(cursorAt({60, 61}), SystemCursor(IDC_SIZENESW));
    EXPECT_EQ(cursorAt({220, 61}), SystemCursor(IDC_SIZENWSE));
    EXPECT_EQ(cursorAt({140, 61}), SystemCursor(IDC_SIZENS));
}

TEST_F(PreviewStaticTest, ZoomingInAndOutStopsAtTheLimitsAndShowsTheLimitCursor) {
    const HCURSOR zoomIn = LoadCursorW(strings, MAKEINTRESOURCEW(CPreviewStatic::kCursorZoomIn));
    const HCURSOR zoomOut = LoadCursorW(strings, MAKEINTRESOURCEW(CPreviewStatic::kCursorZoomOut));
    const HCURSOR limit = LoadCursorW(strings, MAKEINTRESOURCEW(CPreviewStatic::kCursorZoomLimit));
    ASSERT_NE(zoomIn, nullptr);
    ASSERT_NE(zoomOut, nullptr);
    ASSERT_NE(limit, nullptr);
    preview().SetToolMode(kToolZoomIn);
    ut::MouseMove(Screen({100, 100}));
    ut::RunPendingMessages();
    EXPECT_EQ(GetCursor(), zoomIn);

    ut::Click(Screen({100, 100}));
    ut::RunPendingMessages();
    EXPECT_EQ(preview().GetZoom(), 2.0f);
    EXPECT_TRUE(host.zoomInEnabled);
    EXPECT_TRUE(host.zoomOutEnabled);
    EXPECT_FLOAT_EQ(preview().GetViewOffsetX(), -80.0f) << "the clicked point stays under the pointer";
    EXPECT_FLOAT_EQ(preview().GetViewOffsetY(), -80.0f);
    EXPECT_TRUE(host.horizontal.IsWindowVisible());
    EXPECT_TRUE(host.vertical.IsWindowEnabled());
    SCROLLINFO info{sizeof(SCROLLINFO)};
    host.horizontal.GetScrollInfo(&info);
    EXPECT_EQ(info.nMax, 680);
    EXPECT_EQ(info.nPage, 340u);
    EXPECT_EQ(info.nPos, 80);
    EXPECT_EQ(selection(), CRect(99, 101, 419, 501)) << "the selection grows with the picture";

    for (int i = 0; i < 4; ++i) {
        ut::Click(Screen({100, 100}));
        ut::RunPendingMessages();
    }
    EXPECT_EQ(preview().GetZoom(), 5.0f) << "5x is the most";
    EXPECT_TRUE(preview().IsZoomLimitReached());
    EXPECT_FALSE(host.zoomInEnabled);
    EXPECT_EQ(GetCursor(), limit);
    ut::Click(Screen({10, 100}));
    ut::RunPendingMessages();
    EXPECT_EQ(preview().GetZoom(), 5.0f);

    preview().SetToolMode(kToolZoomOut);
    EXPECT_FALSE(preview().IsZoomLimitReached()) << "a new tool forgets the limit";
    ut::MouseMove(Screen({150, 150}));
    ut::RunPendingMessages();
    EXPECT_EQ(GetCursor(), zoomOut);
    ut::Click(Screen({10, 100}));
    ut::RunPendingMessages();
    EXPECT_EQ(preview().GetZoom(), 5.0f) << "a click on the ruler does nothing";
    for (int i = 0; i < 5; ++i) {
        ut::Click(Screen({150, 150}));
        ut::RunPendingMessages();
    }
    EXPECT_EQ(preview().GetZoom(), 1.0f) << "1x is the least";
    EXPECT_TRUE(preview().IsZoomLimitReached());
    EXPECT_EQ(GetCursor(), limit);
    EXPECT_TRUE(host.zoomInEnabled);
    EXPECT_FALSE(host.zoomOutEnabled);
    EXPECT_EQ(preview().GetViewOffsetX(), 0.0f);
    EXPECT_FALSE(host.horizontal.IsWindowVisible());
    EXPECT_FALSE(host.vertical.IsWindowEnabled());
    EXPECT_EQ(selection(), CRect(60, 61, 220, 261)) << "back to the same pixels";
    ut::MouseMove(Screen({5, 5}));
    ut::RunPendingMessages();
    EXPECT_EQ(GetCursor(), SystemCursor(IDC_ARROW)) << "off the picture";

    preview().ZoomIn(CPoint(20, 20));
    preview().ResetZoom();
    EXPECT_EQ(preview().GetZoom(), 1.0f);
    EXPECT_EQ(preview().GetToolMode(), kToolSelect);
    EXPECT_TRUE(host.zoomInEnabled);
    EXPECT_FALSE(host.zoomOutEnabled);
}

TEST_F(PreviewStaticTest, ALanguageLibraryWithoutTheCursorsLeavesTheArrow) {
    AfxSetResourceHandle(GetModuleHandleW(nullptr));
    preview().SetToolMode(kToolHand);
    ut::MouseMove(Screen({200, 200}));
    ut::RunPendingMessages();
    EXPECT_EQ(GetCursor(), SystemCursor(IDC_ARROW)) << "never an invisible pointer";
}

TEST_F(PreviewStaticTest, TheHandDragsTheZoomedViewUntilReleasedOrLeft) {
    const HCURSOR hand = LoadCursorW(strings, MAKEINTRESOURCEW(CPreviewStatic::kCursorHand));
    ASSERT_NE(hand, nullptr);
    preview().SetToolMode(kToolHand);
    ut::MouseMove(Screen({200, 200}));
    ut::MouseDown(Screen({200, 200}));
    ut::MouseMove(Screen({180, 170}));
    ut::MouseUp(Screen({180, 170}));
    ut::RunPendingMessages();
    EXPECT_EQ(GetCursor(), hand);
    EXPECT_TRUE(host.calls.empty()) << "at 1x there is nothing to drag";

    preview().ZoomIn(CPoint(20, 20));
    host.calls.clear();
    ut::MouseMove(Screen({200, 200}));
    ut::MouseDown(Screen({200, 200}));
    ut::MouseMove(Screen({180, 170}));
    ut::MouseMove(Screen({170, 160}));
    ut::MouseUp(Screen({170, 160}));
    ut::MouseMove(Screen({100, 100}));
    ut::RunPendingMessages();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"scroll -20 -30", "scroll -10 -10"}));
    EXPECT_EQ(preview().GetViewOffsetX(), -30.0f) << "the picture follows the hand";
    EXPECT_EQ(preview().GetViewOffsetY(), -40.0f);
    EXPECT_EQ(host.horizontal.GetScrollPos(), 30);

    host.calls.clear();
    ut::MouseDown(Screen({100, 100}));
    ut::MouseMove(Screen({90, 90}));
    ut::MouseMove(Screen({kWidth + 30, 100})); // out of the control: the leave ends the drag
    ut::RunPendingMessages();
    EXPECT_FALSE(preview().IsHandDragging());
    ut::MouseMove(Screen({80, 80}));
    ut::RunPendingMessages();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"scroll -10 -10"}));
}

TEST_F(PreviewStaticTest, TheRulersCountInInches) {
    PaintRulers(0, 300);
    EXPECT_TRUE(Drawn(u"in", 5, 3));
    EXPECT_TRUE(Drawn(u"1", 59, 3));
    EXPECT_TRUE(Drawn(u"8", 339, 3));
    EXPECT_FALSE(Drawn(u"9", 379, 3)) << "the bed is 8.5 inches wide";
    EXPECT_TRUE(Drawn(u"1", 6, 56));
    EXPECT_TRUE(Drawn(u"1", 6, 411)) << "10 is written downwards";
    EXPECT_TRUE(Drawn(u"0", 6, 421));
    // Half inches get short ticks, inches long ones, from the strip's inner edge outwards.
    EXPECT_EQ(Pixel(41, 18), 0u);
    EXPECT_EQ(Pixel(41, 15), kStrip);
    EXPECT_EQ(Pixel(61, 15), 0u);
    EXPECT_EQ(Pixel(15, 61), 0u);
}

TEST_F(PreviewStaticTest, TheRulersCountInMillimetres) {
    PaintRulers(1, 300);
    EXPECT_TRUE(Drawn(u"mm", 3, 3));
    EXPECT_TRUE(Drawn(u"50", 95, 3));
    EXPECT_TRUE(Drawn(u"100", 170, 3));
    EXPECT_TRUE(Drawn(u"5", 6, 92));
    EXPECT_TRUE(Drawn(u"0", 6, 102));
    preview().ZoomIn(CPoint(20, 20));
    PaintRulers(1, 300);
    EXPECT_TRUE(Drawn(u"20", static_cast<int>(21.5 + 20 * 680 / 216.0) - 5, 3)) << "every 20 mm zoomed";
}

TEST_F(PreviewStaticTest, TheRulersCountInPixelsAtTheScanResolution) {
    PaintRulers(2, 300);
    EXPECT_TRUE(Drawn(u"px", 5, 3));
    EXPECT_TRUE(Drawn(u"600", 93, 3)) << "every 2 inches at 1x";
    EXPECT_TRUE(Drawn(u"1200", 170, 3));
    EXPECT_TRUE(Drawn(u"6", 6, 88)) << "600 written downwards";
    EXPECT_TRUE(Drawn(u"0", 6, 108));
    PaintRulers(2, 1200);
    EXPECT_TRUE(Drawn(u"2400", 90, 3));
    EXPECT_TRUE(Drawn(u"4", 6, 163)) << "above 600 dpi the vertical numbers stand every 4 inches";
    EXPECT_FALSE(Drawn(u"2", 6, 83));
    preview().ZoomIn(CPoint(20, 20));
    PaintRulers(2, 300);
    EXPECT_TRUE(Drawn(u"300", static_cast<int>(21.5 + 10 * 680 / 85.03937) - 8, 3)) << "every inch zoomed";
}

TEST_F(PreviewStaticTest, TheA3RulerCountsHundredsOfPixels) {
    g_bHasA3 = TRUE;
    PaintRulers(2, 300);
    EXPECT_TRUE(Drawn(u"px", 5, 0));
    EXPECT_TRUE(Drawn(u"x100", 1, 10));
    EXPECT_TRUE(Drawn(u"6", static_cast<int>(21.5 + 20 * 340 / 116.92913) - 2, 3));
    // The long A3 bed has room for every other inch from 10 on.
    PaintRulers(0, 300);
    EXPECT_TRUE(Drawn(u"2", 6, 361)) << "12";
    EXPECT_FALSE(Drawn(u"1", 6, 332)) << "11";
}

// The ruler's numbers in every language, Arabic included, stand digit under digit with a gap between them and
// clear of the ticks; the A3 ruler's "x100" stays inside the corner square.
TEST_F(PreviewStaticTest, RulerNumbersAndTheCornerLabelKeepClearOfEachOther) {
    const int band = static_cast<int>(preview().GetRuler().GetBand());
    CRect client;
    preview().GetClientRect(&client);
    for (int language : {kLanguageEnglish, 10}) {
        g_LangugueID = language;
        const bool mirrored = language == 10;
        // A physical pixel of the left ruler as it is drawn (on the right when mirrored).
        auto ink = [&](int x, int y) {
            const COLORREF c = Pixel(mirrored ? client.right - 1 - x : x, y);
            return GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
        };
        PaintRulers(2, 300); // "600" written downwards around y = 98
        int runs = 0;
        bool inside = false;
        for (int y = 80; y < 118; ++y) {
            bool row = false;
            for (int x = 1; x < band - 5; ++x)
                row = row || ink(x, y);
            runs += row && !inside ? 1 : 0;
            inside = row;
        }
        EXPECT_EQ(runs, 3) << "language " << language << ": the three digits of 600 stand apart";
        // Ticks run from the strip's inner edge 2 or 5 pixels out; beside them only a tick's own row has ink.
        for (int y = 80; y < 118; ++y)
            for (int x = band - 4; x < band - 1; ++x)
                EXPECT_FALSE(ink(x, y) && !ink(band - 1, y))
                    << "language " << language << ": a digit reaches the ticks at (" << x << ", " << y << ")";
        if (HasFailure())
            break;
    }
    g_LangugueID = kLanguageEnglish;

    g_bHasA3 = TRUE;
    PaintRulers(2, 300);
    // The corner square's inside is x and y 1 to band - 1; its outline at band + 1 is the left strip's edge, and
    // the top ruler's first tick stands well to the right of the corner.
    int lastInk = -1;
    for (int x = 1; x < band + 10; ++x)
        for (int y = 10; y < band; ++y) {
            const COLORREF c = Pixel(x, y);
            if (x != band + 1 && GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100)
                lastInk = std::max(lastInk, x);
        }
    EXPECT_GT(lastInk, 0) << "\"x100\" is written";
    EXPECT_LE(lastInk, band) << "\"x100\" runs out of the corner";
    if (const char* out = std::getenv("PREVIEW_PNG_DIR"))
        ut::SaveWindowPng(host.m_hWnd, (std::string(out) + "/preview_a3.png").c_str());
}

TEST_F(PreviewStaticTest, InTheFeederViewTheSelectionStaysOnTheFeederPaper) {
    PlaceSelection(1, {1, 1, 4, 5});
    const auto right = static_cast<int>(preview().GetTracker().GetEffectiveRight());
    const CPoint corner = selection().BottomRight();
    Drag(corner, {CPoint(500, 700)});
    EXPECT_EQ(selection().right, right) << "85 / 101.8 of the width";
    EXPECT_EQ(selection().bottom, 489);
    const SelectionZone& zone = preview().GetTracker().GetZone(1);
    EXPECT_LE(zone.x + zone.width, 8.503937f + 1e-5f);
    EXPECT_LE(zone.height, 14.015748f);
    EXPECT_NEAR(zone.y + zone.height, 14.015748f, 0.05f);
    EXPECT_FLOAT_EQ(preview().GetTracker().GetZone(0).width, 4.0f) << "the flatbed's zone is its own";
}

TEST_F(PreviewStaticTest, ADragOutOfTheZoomedViewScrollsItOnEveryTick) {
    preview().ZoomIn(CPoint(20, 20));
    PlaceSelection(0, {1, 1, 2, 2});
    ASSERT_EQ(selection(), CRect(100, 101, 260, 261));
    host.calls.clear();
    ut::MouseMove(Screen({260, 181}));
    ::SetCapture(preview().m_hWnd);
    ut::MouseDown(Screen({260, 181}));
    ut::MouseMove(Screen({370, 181})); // right of the view
    host.PostMessage(WM_TICK_PREVIEW);
    host.PostMessage(WM_TICK_PREVIEW);
    ut::MouseUp(Screen({370, 181}));
    ut::RunPendingMessages();
    EXPECT_EQ(preview().GetViewOffsetX(), -60.0f) << "30 pixels a tick";
    EXPECT_EQ(host.horizontal.GetScrollPos(), 60);
    EXPECT_EQ(selection().right, 260 + 110 + 60) << "the edge stays under the pointer";
    EXPECT_EQ(preview().GetTracker().GetAutoScrollDirection(), SelectionTracker::kScrollNone);
    EXPECT_EQ(Count("size"), 2) << "the owner hears of the scrolled size when the drag ends";
    EXPECT_EQ(host.calls.back(), "paper");
    EXPECT_NEAR(preview().GetTracker().GetZone(0).width, (430 - 100) * 8.503937 / 680, 1e-5);
}

TEST_F(PreviewStaticTest, TheDragEndsWhenTheMouseIsTakenAway) {
    // The button stays down; another window takes the mouse instead.
    ut::MouseMove(Screen({140, 161}));
    ::SetCapture(preview().m_hWnd);
    ut::MouseDown(Screen({140, 161}));
    ut::MouseMove(Screen({150, 171}));
    host.PostMessage(WM_STEAL_CAPTURE);
    ut::RunPendingMessages();
    EXPECT_FALSE(preview().GetTracker().IsDragging());
    EXPECT_EQ(::GetCapture(), host.m_hWnd) << "the control does not release what is not its own";
    EXPECT_EQ(selection(), CRect(70, 71, 230, 271));
}

TEST_F(PreviewStaticTest, TheDragEndsWhenTheControlIsDestroyed) {
    ut::MouseMove(Screen({140, 161}));
    ::SetCapture(preview().m_hWnd);
    ut::MouseDown(Screen({140, 161}));
    ut::MouseMove(Screen({150, 171}));
    host.PostMessage(WM_DESTROY_PREVIEW);
    ut::RunPendingMessages();
    EXPECT_EQ(preview().m_hWnd, nullptr);
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(PreviewStaticTest, TheDragPutsBackAQuitItTook) {
    ut::MouseMove(Screen({140, 161}));
    ::SetCapture(preview().m_hWnd);
    ut::MouseDown(Screen({140, 161}));
    host.PostMessage(WM_QUIT_DURING_DRAG, 7);
    ut::RunPendingMessages();
    EXPECT_FALSE(preview().GetTracker().IsDragging());
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit is there for the host's loop";
    EXPECT_EQ(msg.wParam, 7u);
    ut::MouseUp(Screen({140, 161}));
    ut::RunPendingMessages();
}

TEST_F(PreviewStaticTest, RightToLeftTheControlIsMirroredAndTheSelectionFollowsThePointer) {
    FillPicture(kPicture);
    g_LangugueID = 21;
    preview().Invalidate(FALSE);
    ut::RunPendingMessages();
    EXPECT_EQ(Pixel(kWidth - 1 - 10, 300), kStrip) << "the side ruler is on the right";
    EXPECT_EQ(Pixel(10, 300), kPicture);
    // The selection's right edge (x 220 as drawn) stands 220 pixels from the right.
    const COLORREF edge = Pixel(kWidth - 1 - 220, 150);
    EXPECT_TRUE(edge == kWhite || edge == 0);
    EXPECT_EQ(Pixel(220, 150), kPicture);

    // Dragging the right edge's handle towards the physical right makes the selection narrower.
    const CPoint handle = Physical({220, 161});
    Drag(handle, {handle + CPoint(10, 0)});
    EXPECT_EQ(selection(), CRect(60, 61, 210, 261));
    Drag(Physical({100, 300}), {Physical({150, 350})});
    EXPECT_EQ(selection(), CRect(100, 300, 150, 350)) << "drawn under the pointer";
    if (const char* out = std::getenv("CONTROLS_PNG_DIR"))
        ut::SaveWindowPng(host.m_hWnd, (std::string(out) + "/preview_he.png").c_str());
}

TEST_F(PreviewStaticTest, RightToLeftThePageShowsAsScannedAndTheSelectionMarksWhatIsScanned) {
    // The page's first 100 columns red, the rest blue; 340 columns fill the 340-pixel area one to one.
    constexpr COLORREF kRed = RGB(200, 30, 30);
    constexpr COLORREF kBlue = RGB(30, 30, 200);
    ASSERT_TRUE(picture.Create(3, 8, 340, 468, 75, 75));
    BYTE* bits = picture.GetBits();
    for (int y = 0; y < 468; ++y)
        for (int x = 0; x < 340; ++x) {
            BYTE* p = bits + (y * 340 + x) * 3;
            const COLORREF c = x < 100 ? kRed : kBlue;
            p[0] = GetRValue(c);
            p[1] = GetGValue(c);
            p[2] = GetBValue(c);
        }
    g_LangugueID = 21;
    preview().SetImage(&picture);
    preview().InvalidateRows(0, 0, 468);
    ut::RunPendingMessages();
    // Mirrored, the area runs from the physical left edge to the side ruler; the page's left edge is at the left.
    const int pageLeft = kWidth - 361;
    EXPECT_EQ(Pixel(pageLeft + 50, 300), kRed) << "the page's left part is drawn at the left, not reversed";
    EXPECT_EQ(Pixel(pageLeft + 300, 300), kBlue) << "the page's right part is drawn at the right";
    EXPECT_EQ(Pixel(kWidth - 1 - 10, 300), kStrip) << "the side ruler still follows the mirrored layout";

    // A selection drawn over the red columns 20 to 80 (as the user sees them) scans those columns of the page.
    Drag(CPoint(pageLeft + 20, 100), {CPoint(pageLeft + 50, 150), CPoint(pageLeft + 80, 200)});
    SelectionZone zone;
    preview().GetTrackerZone(&zone, 0, GetMaxSanSizeNum(0));
    const double inchPerColumn = 8.503937 / 340;
    EXPECT_NEAR(zone.x / inchPerColumn, 20, 1.5) << "the scan starts where the selection's left edge is shown";
    EXPECT_NEAR((zone.x + zone.width) / inchPerColumn, 80, 1.5) << "and ends under its right edge";

    // A zone in inches is placed over the same part of the page as shown: the left inch lies at the physical left.
    PlaceSelection(0, {0, 1, 1, 2});
    const CRect drawn = selection();
    EXPECT_EQ(Physical({drawn.right - 1, 0}).x, pageLeft) << "the page's left edge under the selection's edge";
    EXPECT_NEAR(drawn.Width(), 340 / 8.503937, 1.0);
}

TEST_F(PreviewStaticTest, SnapshotOfThePreviewWithAPictureAndASelection) {
    // A page with a dark frame and a patch, to look at (CONTROLS_PNG_DIR) and to find again in the pixels.
    ASSERT_TRUE(picture.Create(3, 8, 340, 468, 75, 75));
    BYTE* bits = picture.GetBits();
    for (int y = 0; y < 468; ++y)
        for (int x = 0; x < 340; ++x) {
            const bool frame = x > 40 && x < 300 && y > 40 && y < 420 && (x < 44 || x > 296 || y < 44 || y > 416);
            const bool patch = x > 80 && x < 140 && y > 80 && y < 140;
            BYTE* p = bits + (y * 340 + x) * 3;
            p[0] = frame ? 30 : (patch ? 200 : 245);
            p[1] = frame ? 30 : (patch ? 40 : 245);
            p[2] = frame ? 30 : (patch ? 40 : 240);
        }
    preview().SetImage(&picture);
    preview().SetRulerUnit(0, 300);
    preview().InvalidateRows(0, 0, 468);
    ut::RunPendingMessages();
    EXPECT_EQ(Pixel(21 + 100, 21 + 100), RGB(200, 40, 40)) << "the patch";
    EXPECT_EQ(Pixel(21 + 42, 21 + 200), RGB(30, 30, 30)) << "the frame";
    if (const char* out = std::getenv("CONTROLS_PNG_DIR"))
        ut::SaveWindowPng(host.m_hWnd, (std::string(out) + "/preview.png").c_str());
}

} // namespace
