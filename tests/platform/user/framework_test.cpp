// The framework's windows: message maps, reflection of control messages to the control's own object, the
// PreTranslateMessage walk, data exchange, modal framework dialogs and the application's main-window pointer.
#include "platform/base/wstring.h"
#include "platform/user/afxwin.h"
#include "platform/user/testing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

namespace ut = platform::user::testing;

CWinApp g_app(u"UserTests");

constexpr const char* kPage = R"(DIALOGEX 0, 0, 200, 100
STYLE WS_POPUP | WS_CAPTION | WS_VISIBLE
CAPTION "Page"
BEGIN
    LTEXT "Reflected", 10, 7, 7, 80, 10
    LTEXT "Plain", 11, 7, 20, 80, 10
    CONTROL "Drawn", 12, "Button", WS_TABSTOP, 7, 34, 60, 14
    CONTROL "", 13, "msctls_trackbar32", WS_TABSTOP, 7, 52, 120, 20
    EDITTEXT 14, 100, 7, 80, 14, ES_AUTOHSCROLL
    AUTOCHECKBOX "Check", 15, 100, 24, 80, 10
    PUSHBUTTON "Act", 16, 100, 40, 40, 14
    DEFPUSHBUTTON "OK", IDOK, 140, 80, 50, 14
END
)";

// A static that colours itself through the reflected WM_CTLCOLOR.
class CRedStatic : public CStatic {
public:
    CBrush m_brush;
    int m_calls = 0;
    HBRUSH CtlColor(CDC* pDC, UINT) {
        ++m_calls;
        if (!m_brush.m_hObject)
            m_brush.CreateSolidBrush(RGB(255, 0, 0));
        pDC->SetBkColor(RGB(255, 0, 0));
        return static_cast<HBRUSH>(m_brush.m_hObject);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CRedStatic, CStatic)
ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

// An owner-drawn button that draws itself in green.
class CGreenButton : public CButton {
public:
    int m_draws = 0;
    void PreSubclassWindow() override {
        CButton::PreSubclassWindow();
        ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
    }
    void DrawItem(LPDRAWITEMSTRUCT dis) override {
        ++m_draws;
        CBrush green;
        green.CreateSolidBrush(RGB(0, 255, 0));
        ::FillRect(dis->hDC, &dis->rcItem, static_cast<HBRUSH>(green.m_hObject));
    }
};

// A slider that records the custom-draw stages it gets back from its parent.
class CRecordingSlider : public CSliderCtrl {
public:
    std::vector<std::pair<DWORD, DWORD_PTR>> m_stages;
    COLORREF m_underChannel = CLR_INVALID;
    void OnCustomDraw(NMHDR* nm, LRESULT* result) {
        auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(nm);
        m_stages.emplace_back(cd->dwDrawStage, cd->dwItemSpec);
        if (cd->dwDrawStage == CDDS_ITEMPREPAINT && cd->dwItemSpec == TBCD_CHANNEL) {
            // What the dialog shows under the slider while the slider draws its frame.
            CRect r;
            GetWindowRect(&r);
            GetParent()->ScreenToClient(&r);
            CClientDC parent(GetParent());
            m_underChannel = parent.GetPixel(r.left + 1, r.top + 1);
        }
        *result = cd->dwDrawStage == CDDS_PREPAINT ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CRecordingSlider, CSliderCtrl)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
END_MESSAGE_MAP()

// An edit that swallows the key 'X' before the dialog sees it.
class CPickyEdit : public CEdit {
public:
    BOOL PreTranslateMessage(MSG* msg) override { return msg->message == WM_KEYDOWN && msg->wParam == 'X'; }
};

class CPage : public CDialog {
public:
    CRedStatic m_red;
    CGreenButton m_green;
    CRecordingSlider m_slider;
    CPickyEdit m_edit;
    int m_check = 1;
    CString m_text = u"hello";
    std::vector<int> m_clicks;
    std::vector<UINT> m_keysSeen;
    int m_hscrolls = 0;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, 10, m_red);
        DDX_Control(pDX, 12, m_green);
        DDX_Control(pDX, 13, m_slider);
        DDX_Control(pDX, 14, m_edit);
        DDX_Check(pDX, 15, m_check);
        DDX_Text(pDX, 14, m_text);
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN)
            m_keysSeen.push_back(static_cast<UINT>(msg->wParam));
        return CDialog::PreTranslateMessage(msg);
    }
    void OnAct() { m_clicks.push_back(16); }
    void OnHScroll(UINT, UINT, CScrollBar* bar) {
        ++m_hscrolls;
        CDialog::OnHScroll(0, 0, bar);
    }
    LRESULT OnPrivate(WPARAM wParam, LPARAM lParam) { return static_cast<LRESULT>(wParam + lParam); }
    BOOL OnEraseBkgnd(CDC* pDC) {
        CRect r;
        GetClientRect(&r);
        CBrush navy;
        navy.CreateSolidBrush(RGB(0, 0, 128));
        pDC->FillRect(&r, &navy);
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CPage, CDialog)
ON_WM_ERASEBKGND()
ON_BN_CLICKED(16, OnAct)
ON_WM_HSCROLL()
ON_MESSAGE(WM_USER + 50, OnPrivate)
END_MESSAGE_MAP()

class Framework : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(page.CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kPage)));
        ut::RunPendingMessages();
    }
    void TearDown() override {
        if (page.m_hWnd)
            page.DestroyWindow();
    }
    CPage page;
};

TEST_F(Framework, MessageMapEntriesAndBaseEntriesAreFound) {
    EXPECT_EQ(page.SendMessage(WM_USER + 50, 2, 3), 5);
    ut::Click(page.GetDlgItem(16)->m_hWnd);
    ut::RunPendingMessages();
    EXPECT_EQ(page.m_clicks, std::vector<int>{16});
}

TEST_F(Framework, DataExchangeBindsControlsAndMovesValuesBothWays) {
    EXPECT_EQ(CWnd::FromHandlePermanent(page.GetDlgItem(10)->m_hWnd), &page.m_red);
    EXPECT_EQ(page.IsDlgButtonChecked(15), 1u);
    CString text;
    page.m_edit.GetWindowText(text);
    EXPECT_EQ(text, u"hello");
    page.CheckDlgButton(15, 0);
    page.SetDlgItemText(14, u"changed");
    ASSERT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(page.m_check, 0);
    EXPECT_EQ(page.m_text, u"changed");
}

TEST_F(Framework, NumbersMoveBothWaysAndATextThatIsNoNumberFailsTheExchange) {
    int value = -5;
    CDataExchange show(&page, FALSE);
    DDX_Text(&show, 14, value);
    CString text;
    page.m_edit.GetWindowText(text);
    EXPECT_EQ(text, u"-5");
    page.SetDlgItemText(14, u"42");
    CDataExchange read(&page, TRUE);
    DDX_Text(&read, 14, value);
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(read.m_bFailed);

    UINT count = 7;
    for (const char16_t* bad : {u"many", u"-3"}) {
        page.SetDlgItemText(14, bad);
        CDataExchange refused(&page, TRUE);
        DDX_Text(&refused, 14, count);
        EXPECT_TRUE(refused.m_bFailed) << "an unsigned number from \"" << platform::ToUtf8(bad) << "\"";
        EXPECT_EQ(count, 7u) << "the value stays as it was";
    }
}

TEST_F(Framework, ControlColoursAreReflectedToTheControlsOwnObject) {
    page.m_red.Invalidate();
    page.GetDlgItem(11)->Invalidate();
    ut::RunPendingMessages();
    EXPECT_GT(page.m_red.m_calls, 0);
    EXPECT_EQ(ut::WindowPixel(page.m_red.m_hWnd, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(ut::WindowPixel(page.GetDlgItem(11)->m_hWnd, 1, 1), GetSysColor(COLOR_BTNFACE))
        << "a control without a reflected handler gets the dialog's default";
}

TEST_F(Framework, OwnerDrawIsReflectedToDrawItem) {
    EXPECT_TRUE((page.m_green.GetStyle() & BS_TYPEMASK) == BS_OWNERDRAW) << "PreSubclassWindow made it owner-drawn";
    page.m_green.Invalidate();
    ut::RunPendingMessages();
    EXPECT_GT(page.m_green.m_draws, 0);
    EXPECT_EQ(ut::WindowPixel(page.m_green.m_hWnd, 2, 2), RGB(0, 255, 0));
}

TEST_F(Framework, TrackbarCustomDrawComesInTheOrderPreChannelTicsThumb) {
    page.m_slider.m_stages.clear();
    page.Invalidate(); // the dialog repaints its background first, then the slider over it
    ut::RunPendingMessages();
    using Stage = std::pair<DWORD, DWORD_PTR>;
    std::vector<Stage> expected{{CDDS_PREPAINT, 0},
                                {CDDS_ITEMPREPAINT, TBCD_CHANNEL},
                                {CDDS_ITEMPREPAINT, TBCD_TICS},
                                {CDDS_ITEMPREPAINT, TBCD_THUMB}};
    EXPECT_EQ(page.m_slider.m_stages, expected);
    EXPECT_EQ(page.m_slider.m_underChannel, RGB(0, 0, 128))
        << "the slider draws off screen, so its parent still shows its own background there";
}

TEST_F(Framework, ScrollMessagesReachTheParentMapAndThenTheControl) {
    page.m_slider.SetFocus();
    ut::PressKey(VK_RIGHT);
    ut::RunPendingMessages();
    EXPECT_EQ(page.m_hscrolls, 2) << "line down and end track";
    EXPECT_EQ(page.m_slider.GetPos(), 1);
}

TEST_F(Framework, PreTranslateMessageWalksFromTheTargetUpItsParents) {
    page.m_edit.SetFocus();
    ut::PressKey('X');
    ut::PressKey('Y');
    ut::RunPendingMessages();
    EXPECT_EQ(page.m_keysSeen, std::vector<UINT>{'Y'}) << "the edit swallowed X before the dialog saw it";
    ut::PressKey(VK_RETURN);
    ut::RunPendingMessages();
    EXPECT_FALSE(page.IsWindowVisible()) << "Enter reached the dialog manager, whose OnOK hides a modeless dialog";
    EXPECT_EQ(page.m_nModalResult, IDOK);
}

TEST(FrameworkApp, DestroyingTheMainWindowClearsThePointerAndPostsNoQuit) {
    auto* page = new CPage;
    ASSERT_TRUE(page->CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kPage)));
    AfxGetApp()->m_pMainWnd = page;
    page->DestroyWindow();
    EXPECT_EQ(AfxGetApp()->m_pMainWnd, nullptr);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    delete page;
}

class CSettings : public CDialog {
public:
    CSettings() : CDialog(500) {}
    int m_open = 0;
    int m_index = 1;
    BOOL OnInitDialog() override {
        HWND list = ::GetDlgItem(m_hWnd, 1002);
        for (const char16_t* s : {u"TIFF", u"JPEG", u"PDF"})
            ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        return CDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Check(pDX, 1001, m_open);
        DDX_CBIndex(pDX, 1002, m_index);
    }
};

TEST(FrameworkDialog, DoModalRunsTheTemplateAndOkSavesTheData) {
    CSettings dlg;
    ut::SetModalInterceptor([](HWND hwnd) {
        EXPECT_EQ(::SendDlgItemMessageW(hwnd, 1002, CB_GETCURSEL, 0, 0), 1);
        ::CheckDlgButton(hwnd, 1001, BST_CHECKED);
        ::SendDlgItemMessageW(hwnd, 1002, CB_SETCURSEL, 2, 0);
        ut::PressKey(VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_open, 1);
    EXPECT_EQ(dlg.m_index, 2);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    ut::SetModalInterceptor([](HWND) { ut::PressKey(VK_ESCAPE); });
    CSettings cancelled;
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(cancelled.m_open, 0) << "Cancel saves nothing";
    ut::SetModalInterceptor(nullptr);
}

TEST(FrameworkDialog, AfxMessageBoxGoesThroughTheInterceptor) {
    std::u16string text;
    ut::SetModalInterceptor([&](HWND box) {
        text = ut::MessageBoxText(box);
        EndDialog(box, IDOK);
    });
    EXPECT_EQ(AfxMessageBox(u"Saved"), IDOK);
    EXPECT_EQ(text, u"Saved");
    EXPECT_EQ(AfxMessageBox(2000), IDOK);
    EXPECT_EQ(text, u"Something went wrong");
    ut::SetModalInterceptor(nullptr);
}

} // namespace

namespace {

// An application class may carry a message map of its own; it ends at the application base.
class CMapApp : public CWinApp {
public:
    CMapApp() : CWinApp(u"MapApp") {}
    void OnHelpCommand() { ++m_helps; }
    int m_helps = 0;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CMapApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelpCommand)
END_MESSAGE_MAP()

TEST(FrameworkMaps, AnApplicationMapCompilesAndEndsAtItsBase) {
    const AFX_MSGMAP* map = CMapApp::GetThisMessageMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->pfnGetBaseMap(), nullptr);
    EXPECT_EQ(map->lpEntries[0].nID, static_cast<UINT>(ID_HELP));
}

} // namespace

namespace {

// A static whose reflected colour handler sets colours but returns no brush: the parent's default brush is used.
class CNoBrushStatic : public CStatic {
public:
    int m_calls = 0;
    HBRUSH CtlColor(CDC* pDC, UINT) {
        ++m_calls;
        pDC->SetTextColor(RGB(0, 0, 255));
        return nullptr;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CNoBrushStatic, CStatic)
ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

// A button that takes its own clicks (ON_CONTROL_REFLECT) before the dialog sees them.
class CSelfClicking : public CButton {
public:
    int m_clicks = 0;
    void OnClicked() { ++m_clicks; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CSelfClicking, CButton)
ON_CONTROL_REFLECT(BN_CLICKED, OnClicked)
END_MESSAGE_MAP()

class CHost : public CDialog {
public:
    CNoBrushStatic m_plain;
    CSelfClicking m_self;
    std::vector<int> m_clicks;
    void OnStaticClicked() { m_clicks.push_back(20); }
    void OnAnyButton(UINT id) { m_clicks.push_back(static_cast<int>(id)); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CHost, CDialog)
ON_STN_CLICKED(20, OnStaticClicked)
ON_CONTROL_RANGE(BN_CLICKED, 21, 22, OnAnyButton)
END_MESSAGE_MAP()

constexpr const char* kHost = R"(DIALOGEX 0, 0, 200, 80
STYLE WS_POPUP | WS_CAPTION | WS_VISIBLE
CAPTION "Host"
BEGIN
    LTEXT "Click", 20, 7, 7, 60, 10, SS_NOTIFY
    PUSHBUTTON "Self", 21, 7, 25, 50, 14
    PUSHBUTTON "Other", 22, 70, 25, 50, 14
    LTEXT "Plain", 23, 7, 45, 60, 10
END
)";

TEST(FrameworkReflection, ReflectedHandlersComeFirstAndRangesCoverTheirIds) {
    CHost host;
    ASSERT_TRUE(host.CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kHost)));
    ASSERT_TRUE(host.m_self.SubclassDlgItem(21, &host));
    ut::Click(host.GetDlgItem(20)->m_hWnd);
    ut::Click(host.m_self.m_hWnd);
    ut::Click(host.GetDlgItem(22)->m_hWnd);
    ut::RunPendingMessages();
    EXPECT_EQ(host.m_self.m_clicks, 1);
    EXPECT_EQ(host.m_clicks, (std::vector<int>{20, 22})) << "the reflected click did not reach the dialog";
    host.DestroyWindow();
}

TEST(FrameworkReflection, AReflectedColourWithoutABrushFallsBackToTheParent) {
    CHost host;
    ASSERT_TRUE(host.CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kHost)));
    ASSERT_TRUE(host.m_plain.SubclassDlgItem(23, &host));
    host.m_plain.Invalidate();
    ut::RunPendingMessages();
    EXPECT_GT(host.m_plain.m_calls, 0);
    EXPECT_EQ(ut::WindowPixel(host.m_plain.m_hWnd, 0, 0), GetSysColor(COLOR_BTNFACE));
    host.DestroyWindow();
}

TEST(FrameworkReflection, UnsubclassingGivesTheWindowItsProcedureBack) {
    CHost host;
    ASSERT_TRUE(host.CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kHost)));
    HWND button = host.GetDlgItem(22)->m_hWnd;
    auto original = GetWindowLongPtrW(button, GWLP_WNDPROC);
    CButton wrapper;
    ASSERT_TRUE(wrapper.SubclassWindow(button));
    EXPECT_NE(GetWindowLongPtrW(button, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(button), &wrapper);
    EXPECT_EQ(wrapper.UnsubclassWindow(), button);
    EXPECT_EQ(GetWindowLongPtrW(button, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(button), nullptr);
    EXPECT_NE(CWnd::FromHandle(button), nullptr) << "a temporary object stands in";
    host.DestroyWindow();
}

TEST(FrameworkControls, ControlClassesWrapTheirMessages) {
    CHost host;
    ASSERT_TRUE(host.CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kHost)));
    CComboBox combo;
    ASSERT_TRUE(combo.Create(CBS_DROPDOWNLIST | WS_VISIBLE, CRect(100, 40, 190, 140), &host, 30));
    combo.AddString(u"first");
    combo.AddString(u"second");
    CString text;
    combo.GetLBText(1, text);
    EXPECT_EQ(text, u"second");
    CSliderCtrl slider;
    ASSERT_TRUE(slider.Create(WS_VISIBLE, CRect(0, 60, 100, 80), &host, 31));
    slider.SetRange(-100, 100, TRUE);
    slider.SetPos(-40);
    EXPECT_EQ(slider.GetRangeMin(), -100);
    EXPECT_EQ(slider.GetPos(), -40);
    CScrollBar bar;
    ASSERT_TRUE(bar.Create(SBS_HORZ | WS_VISIBLE, CRect(0, 0, 100, 10), &host, 32));
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 100, 20, 0, 0};
    bar.SetScrollInfo(&si);
    EXPECT_EQ(bar.GetScrollLimit(), 81);
    CProgressCtrl progress;
    ASSERT_TRUE(progress.Create(WS_VISIBLE, CRect(0, 0, 100, 10), &host, 33));
    progress.SetRange32(0, 10);
    progress.SetPos(7);
    EXPECT_EQ(progress.GetPos(), 7);
    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&host));
    ASSERT_TRUE(tips.AddTool(&combo, u"pick one"));
    tips.UpdateTipText(u"pick another", &combo);
    tips.GetText(text, &combo);
    EXPECT_EQ(text, u"pick another");
    EXPECT_EQ(tips.GetToolCount(), 1);
    host.DestroyWindow();
}

TEST(FrameworkWindows, CenterWindowCentresOnTheOwnerOrTheScreen) {
    CHost host;
    ASSERT_TRUE(host.CreateIndirect(reinterpret_cast<LPCDLGTEMPLATEW>(kHost)));
    host.CenterWindow();
    CRect r;
    host.GetWindowRect(&r);
    EXPECT_EQ(r.left + r.Width() / 2, 1920 / 2);
    EXPECT_EQ(r.top + r.Height() / 2, 1080 / 2);
    host.DestroyWindow();
}

} // namespace
