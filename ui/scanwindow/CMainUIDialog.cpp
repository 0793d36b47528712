// The window itself: construction, OnInitDialog, skins and texts, title, help, keys, timers and the roads that
// close it. The scan road, the settings and the preview's side live in the files named after them.
#include "ui/scanwindow/CMainUIDialog.h"

#include "ui/scanwindow/CAdvancedSetting.h"
#include "ui/scanwindow/CBasicSetting.h"
#include "ui/scanwindow/CManualDuplexDlg.h"
#include "ui/scanwindow/CScanProgressDlg.h"
#include "ui/scanwindow/DeviceEvents.h"
#include "ui/scanwindow/LanguageLibrary.h"
#include "ui/scanwindow/MessageHook.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/HostFlags.h"
#include "twain/ScanState.h"

#include "scanner/CLLDKorvel.h"
#include "settings/CompanionNames.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "settings/PlatformFlags.h"
#include "settings/SettingStore.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"
#include "ui/dialogs/CDlg_ImgINFO.h"
#include "ui/dialogs/CDlg_ImgSaveSets.h"
#include "ui/dialogs/CDlg_SettingInfo.h"
#include "ui/dialogs/CErrorDlg.h"

#include "platform/user/shell.h"

#include <iterator>
#include <utility>

namespace {
constexpr int CTRL_EXPAND = 1000;
constexpr int CTRL_PANE_SAVE = 1009;
constexpr int CTRL_PANE_INFO = 1010;
constexpr int CTRL_SELECT = 10149;
constexpr int CTRL_VSCROLL = 10150;
constexpr int CTRL_HSCROLL = 10151;
constexpr int CTRL_ZOOM_IN = 10152;
constexpr int CTRL_ZOOM_OUT = 10153;
constexpr int CTRL_SIZE_INFO = 10185;
constexpr int CTRL_SETTINGS_LABEL = 10208;
constexpr int CTRL_BUTTON_10298 = 10298;
constexpr int CTRL_BUTTON_10299 = 10299;
constexpr int CTRL_SETTINGS = 10301;
constexpr int CTRL_SAVE_SETTING = 10302;
constexpr int CTRL_DELETE_SETTING = 10303;
constexpr int CTRL_HAND = 10310;
constexpr int CTRL_CLEAR_PREVIEW = 10311;
constexpr int CTRL_SETTING_INFO = 10314;
constexpr int CTRL_SETTINGS_GROUP = 10342;
constexpr int CTRL_TAB_BASIC = 10352;
constexpr int CTRL_TAB_ADVANCED = 10353;
constexpr int CTRL_PAGE_FRAME = 10315;
constexpr int CTRL_ABOUT = 20001;
constexpr int CTRL_HELP = 20002;
constexpr int CTRL_PORT = 20003;
constexpr int CTRL_UNITS = 20004;
constexpr int CTRL_PREVIEW = 20005;
constexpr int CTRL_SCAN = 20006;
constexpr int CTRL_CLOSE = 20007;

constexpr UINT IDB_TAB_ACTIVE = 1001;
constexpr UINT IDB_TAB_INACTIVE = 1002;
constexpr UINT IDB_APP_BACKGROUND = 1007;
constexpr UINT IDB_ADVANCED_BACKGROUND = 10447;
constexpr UINT IDB_BASIC_BACKGROUND = 10453;
constexpr UINT IDB_BASIC_BACKGROUND_RTL = 10454;

constexpr UINT IDS_HELP_ERROR = 1096;
constexpr UINT IDS_SAVE_FOLDER_ERROR = 1128;

constexpr UINT_PTR kTopMostTimer = 30003;
constexpr UINT kTopMostMs = 100;
constexpr UINT_PTR kCloseTimer = 30006;
constexpr UINT kCloseMs = 1000;

constexpr const WCHAR* kAppWindowClass = u"Z7731IDAVEV";

// A pump dispatches at most this many messages per call, so that a window that keeps posting to itself cannot hold
// the host's call forever.
constexpr int kPumpLimit = 1000;

// Layout 1004 names its own window class: a copy of the standard dialog class.
void RegisterAppWindowClass() {
    WNDCLASSW existing{};
    if (GetClassInfoW(AfxGetInstanceHandle(), kAppWindowClass, &existing))
        return;
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, u"#32770", &wc))
        return;
    wc.lpszClassName = kAppWindowClass;
    wc.hInstance = AfxGetInstanceHandle();
    AfxRegisterClass(&wc);
}

// Temporary image files ("Kor*.tmp") that earlier runs left in the temporary folder.
void DeleteOldTempFiles() {
    WCHAR folder[MAX_PATH] = {};
    const DWORD length = ::GetTempPathW(256, folder);
    if (length == 0 || length >= 256)
        return;
    if (folder[length - 1] != u'\\')
        lstrcatW(folder, u"\\");
    CString pattern;
    pattern.Format(u"%s%s*.tmp", folder, u"Kor");
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ::DeleteFileW(CString(folder) + found.cFileName);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
}

// Replaces `bitmap` with its mirror image (left and right swapped).
void MirrorBitmap(CBitmap& bitmap) {
    BITMAP bm{};
    if (!bitmap.GetSafeHandle() || !bitmap.GetBitmap(&bm))
        return;
    HDC screen = ::GetDC(nullptr);
    HBITMAP mirrored = ::CreateCompatibleBitmap(screen, bm.bmWidth, bm.bmHeight);
    HDC from = ::CreateCompatibleDC(screen);
    HDC to = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    if (mirrored != nullptr && from != nullptr && to != nullptr) {
        HGDIOBJ oldFrom = ::SelectObject(from, bitmap.GetSafeHandle());
        HGDIOBJ oldTo = ::SelectObject(to, mirrored);
        // A negative width turns the picture round.
        ::StretchBlt(to, bm.bmWidth - 1, 0, -bm.bmWidth, bm.bmHeight, from, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        ::SelectObject(from, oldFrom);
        ::SelectObject(to, oldTo);
        bitmap.DeleteObject();
        bitmap.Attach(mirrored);
        mirrored = nullptr;
    }
    if (mirrored != nullptr)
        ::DeleteObject(mirrored);
    if (from != nullptr)
        ::DeleteDC(from);
    if (to != nullptr)
        ::DeleteDC(to);
}

bool KeyDown(int virtKey) {
    return (::GetKeyState(virtKey) & 0x8000) != 0;
}

} // namespace

std::atomic<int> CMainUIDialog::s_nDriverUsers{0};

BEGIN_MESSAGE_MAP(CMainUIDialog, CDialog)
ON_BN_CLICKED(CTRL_CLOSE, OnClose)
ON_WM_CLOSE()
ON_WM_DESTROY()
ON_BN_CLICKED(CTRL_PREVIEW, OnBnClickedPreview)
ON_BN_CLICKED(CTRL_SCAN, OnBnClickedScan)
ON_BN_CLICKED(CTRL_HELP, ShowHelp)
ON_CONTROL_RANGE(BN_CLICKED, CTRL_SELECT, CTRL_SELECT, OnBnClickedTool)
ON_CONTROL_RANGE(BN_CLICKED, CTRL_ZOOM_IN, CTRL_ZOOM_OUT, OnBnClickedTool)
ON_CONTROL_RANGE(BN_CLICKED, CTRL_HAND, CTRL_HAND, OnBnClickedTool)
ON_BN_CLICKED(CTRL_EXPAND, OnBnClickedExpand)
ON_BN_CLICKED(CTRL_CLEAR_PREVIEW, OnBnClickedClearPreview)
ON_CBN_SELCHANGE(CTRL_UNITS, OnCbnSelchangeUnits)
ON_WM_HSCROLL()
ON_WM_VSCROLL()
ON_WM_TIMER()
ON_WM_ACTIVATE()
ON_BN_CLICKED(10243, ShowBasicPage)
ON_BN_CLICKED(10291, ShowAdvancedPage)
ON_WM_ERASEBKGND()
ON_WM_HELPINFO()
ON_BN_CLICKED(CTRL_TAB_ADVANCED, OnClickedAdvancedTab)
ON_BN_CLICKED(CTRL_TAB_BASIC, OnClickedBasicTab)
ON_MESSAGE(WM_PREVIEW_ROWS, OnPreviewRows)
ON_MESSAGE(WM_SAVE_FOLDER_ERROR, OnSaveFolderError)
ON_BN_CLICKED(CTRL_ABOUT, OnBnClickedAbout)
ON_BN_CLICKED(CTRL_PORT, OnBnClickedPort)
ON_BN_CLICKED(CTRL_SETTING_INFO, OnBnClickedSettingInfo)
ON_BN_CLICKED(CTRL_DELETE_SETTING, OnBnClickedDeleteSetting)
ON_BN_CLICKED(CTRL_SAVE_SETTING, OnBnClickedSaveSetting)
ON_CBN_SELCHANGE(CTRL_SETTINGS, OnCbnSelchangeSettings)
ON_CBN_EDITCHANGE(CTRL_SETTINGS, OnCbnEditchangeSettings)
ON_CBN_SELENDCANCEL(CTRL_SETTINGS, OnCbnSelendcancelSettings)
END_MESSAGE_MAP()

CMainUIDialog::CMainUIDialog(CWnd* parent)
    : CDialog(IDD, parent), m_pScanProgressDlg(std::make_unique<CScanProgressDlg>()) {
    if (CWinApp* app = AfxGetApp())
        app->m_pMainWnd = this;
    // Every source's custom area starts as its whole scan area.
    m_customZone[0] = {0.0f, 0.0f, 8.503937f, 11.692913f};
    m_customZone[1] = {0.0f, 0.0f, 8.503937f, 14.015748f};
    m_customZone[2] = {0.0f, 0.0f, 8.503937f, 14.015748f};
    DeleteOldTempFiles();
    m_hResourceLibrary = AcquireLanguageLibrary();
    RegisterAppWindowClass();
    g_pScanWindow = this;
}

CMainUIDialog::~CMainUIDialog() {
    CScanWindow* self = this;
    g_pScanWindow.compare_exchange_strong(self, nullptr);
    if (m_hWnd != nullptr)
        DestroyWindow();
    m_pBasicSetting.reset();
    m_pAdvancedSetting.reset();
    m_pDlg_SettingInfo.reset();
    delete m_pDlg_ImgINFO;
    m_pDlg_ImgINFO = nullptr;
    delete m_pDlg_ImgSaveSets;
    m_pDlg_ImgSaveSets = nullptr;
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    m_pScanProgressDlg.reset();
    ReleaseLanguageLibrary(); // the module's own resource handle is back before the library goes
    m_hResourceLibrary = nullptr;
}

BOOL CMainUIDialog::CreateModeless(CWnd* parent) {
    return Create(g_bAppMode ? IDD_APP : IDD, parent);
}

void CMainUIDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, CPreviewStatic::IDC, m_Preview);
    DDX_Control(pDX, CTRL_UNITS, m_cmbUnits);
    DDX_Control(pDX, CTRL_SIZE_INFO, m_stcSizeInfo);
    DDX_Control(pDX, CTRL_SELECT, m_btnSelect);
    DDX_Control(pDX, CTRL_ZOOM_IN, m_btnZoomIn);
    DDX_Control(pDX, CTRL_ZOOM_OUT, m_btnZoomOut);
    DDX_Control(pDX, CTRL_HAND, m_btnHand);
    DDX_Control(pDX, CTRL_CLEAR_PREVIEW, m_btnClearPreview);
    DDX_Control(pDX, CTRL_BUTTON_10299, m_btn10299);
    DDX_Control(pDX, CTRL_BUTTON_10298, m_btn10298);
    if (g_bAppMode)
        DDX_Control(pDX, CTRL_EXPAND, m_btnExpand);
    DDX_Control(pDX, CTRL_HSCROLL, m_sbHorz);
    DDX_Control(pDX, CTRL_VSCROLL, m_sbVert);
    DDX_Control(pDX, CTRL_ABOUT, m_btnAbout);
    DDX_Control(pDX, CTRL_HELP, m_btnHelp);
    DDX_Control(pDX, CTRL_PREVIEW, m_btnPreview);
    DDX_Control(pDX, CTRL_SCAN, m_btnScan);
    DDX_Control(pDX, CTRL_CLOSE, m_btnClose);
    DDX_Control(pDX, CTRL_PORT, m_btnPort);
    DDX_Control(pDX, CTRL_SAVE_SETTING, m_btnSaveSetting);
    DDX_Control(pDX, CTRL_DELETE_SETTING, m_btnDeleteSetting);
    DDX_Control(pDX, CTRL_SETTING_INFO, m_btnSettingInfo);
    DDX_Control(pDX, CTRL_SETTINGS, m_cmbSettings);
    DDX_Control(pDX, CTRL_SETTINGS_LABEL, m_stcSettingsLabel);
    DDX_Control(pDX, CTRL_SETTINGS_GROUP, m_grpSettings);
    DDX_Control(pDX, CTRL_TAB_BASIC, m_tabBasic);
    DDX_Control(pDX, CTRL_TAB_ADVANCED, m_tabAdvanced);
}

BOOL CMainUIDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_dwThreadId = GetCurrentThreadId();
    m_hMsgHook = InstallMessageHook();
    if (g_bHebrew) {
        MirrorChildLayout(this);
        // The size strip draws itself right to left; its window is mirrored too, so the picture reads the right way.
        m_stcSizeInfo.ModifyStyleEx(0, WS_EX_LAYOUTRTL);
    }

    FillUnitCombo();
    EnableZoomButtons(TRUE, FALSE);
    CenterWindow();
    m_cmbUnits.SetCurSel(m_nUnitIndex);

    m_Preview.Init(this, &m_sbHorz, &m_sbVert);
    EnableToolTips(TRUE);
    CreateSharedToolTip(this);
    // The pages read the model's features (A3 among them) before anything builds the paper lists.
    CreateSettingPages();
    m_pDlg_SettingInfo = std::make_unique<CDlg_SettingInfo>(this, this);

    // Save and Delete share one place; a saved name has at most 16 characters.
    CRect saveRect;
    m_btnSaveSetting.GetWindowRect(&saveRect);
    ScreenToClient(&saveRect);
    m_btnDeleteSetting.MoveWindow(&saveRect);
    m_cmbSettings.LimitText(16);

    if (g_bAppMode)
        CreateAppPanes();
    InitSkins();
    InitTexts();

    if (!initializeSetting())
        return FALSE;
    RefreshSettingControls(TRUE);
    ResetPreviewImage();
    g_LLD.LoadDriver(); // a missing driver shows when the device is opened
    m_bDriverHeld = true;
    ++s_nDriverUsers;

    UpdateTitle();
    m_tabBasic.SetBitmap(IDB_TAB_ACTIVE);
    m_tabAdvanced.SetBitmap(IDB_TAB_INACTIVE);
    m_btnScan.SetFocus();
    return FALSE; // the focus stays on Scan
}

// Both pages over the frame 10315, the basic one shown.
void CMainUIDialog::CreateSettingPages() {
    CRect frame;
    if (CWnd* placeholder = GetDlgItem(CTRL_PAGE_FRAME)) {
        placeholder->GetWindowRect(&frame);
        ScreenToClient(&frame);
    }
    m_pBasicSetting = std::make_unique<CBasicSetting>(this);
    if (m_pBasicSetting->Create(CBasicSetting::IDD, this)) {
        m_pBasicSetting->MoveWindow(&frame);
        m_pBasicSetting->ShowWindow(SW_SHOW);
    }
    m_pAdvancedSetting = std::make_unique<CAdvancedSetting>(this);
    if (m_pAdvancedSetting->Create(CAdvancedSetting::IDD, this)) {
        m_pAdvancedSetting->MoveWindow(&frame);
        m_pAdvancedSetting->ShowWindow(SW_HIDE);
    }
}

void CMainUIDialog::FillUnitCombo() {
    const UINT units[] = {1004, 1003, 1002}; // inch, millimetre, pixel
    FillComboFromStrings(&m_cmbUnits, units, 3);
}

// App mode: the image information and the save settings panes, collapsible on small screens.
void CMainUIDialog::CreateAppPanes() {
    auto placeOver = [this](CDialog* pane, UINT templateId, int placeholder) {
        if (!pane->Create(templateId, this))
            return;
        CRect rect;
        if (CWnd* where = GetDlgItem(placeholder)) {
            where->GetWindowRect(&rect);
            ScreenToClient(&rect);
        }
        // Above its placeholder, which stays in the layout.
        pane->SetWindowPos(&CWnd::wndTop, rect.left, rect.top, rect.Width(), rect.Height(), SWP_SHOWWINDOW);
    };
    m_pDlg_ImgINFO = new CDlg_ImgINFO(this, this);
    placeOver(m_pDlg_ImgINFO, CDlg_ImgINFO::IDD, CTRL_PANE_INFO);
    m_pDlg_ImgSaveSets = new CDlg_ImgSaveSets(this, this);
    placeOver(m_pDlg_ImgSaveSets, CDlg_ImgSaveSets::IDD, CTRL_PANE_SAVE);
    m_grpSettings.SetFrameStyle(Trans_GroupBox::kCaptionOnly);
    if (::GetSystemMetrics(SM_CYSCREEN) > 768)
        return;
    CRect pane;
    if (m_pDlg_ImgINFO != nullptr && m_pDlg_ImgINFO->m_hWnd != nullptr)
        m_pDlg_ImgINFO->GetWindowRect(&pane);
    else if (CWnd* placeholder = GetDlgItem(CTRL_PANE_INFO))
        placeholder->GetWindowRect(&pane); // without the pane its place counts
    m_nPaneHeight = pane.Height();
    m_btnExpand.ShowWindow(SW_SHOW);
    m_bPanesCollapsed = FALSE;
    if (CWnd* placeholder = GetDlgItem(CTRL_PANE_SAVE))
        placeholder->ShowWindow(SW_HIDE);
    if (CWnd* placeholder = GetDlgItem(CTRL_PANE_INFO))
        placeholder->ShowWindow(SW_HIDE);
}

void CMainUIDialog::OnBnClickedExpand() {
    int offset = 0;
    if (!m_bPanesCollapsed) {
        m_btnExpand.SetSkin(1022, 1022, 1023, 1022, 0, 0, CxSkinButton::kStretch, 0, 0);
        offset = -m_nPaneHeight;
    } else {
        m_btnExpand.SetSkin(1020, 1020, 1021, 1020, 0, 0, CxSkinButton::kStretch, 0, 0);
        offset = m_nPaneHeight;
    }
    const int show = m_bPanesCollapsed ? SW_SHOW : SW_HIDE;
    for (CWnd* pane : std::initializer_list<CWnd*>{m_pDlg_ImgINFO, m_pDlg_ImgSaveSets})
        if (pane != nullptr && pane->m_hWnd != nullptr)
            pane->ShowWindow(show);
    for (int id : {CTRL_HELP, CTRL_ABOUT, CTRL_PORT, CTRL_PREVIEW, CTRL_SCAN, CTRL_CLOSE}) {
        CWnd* button = GetDlgItem(id);
        if (button == nullptr)
            continue;
        CRect rect;
        button->GetWindowRect(&rect);
        ScreenToClient(&rect);
        rect.OffsetRect(0, offset);
        button->MoveWindow(&rect);
    }
    CRect window;
    GetWindowRect(&window);
    SetWindowPos(nullptr, 0, 0, window.Width(), window.Height() + offset, SWP_NOMOVE | SWP_NOZORDER);
    m_bPanesCollapsed = !m_bPanesCollapsed;
    Invalidate(TRUE);
}

void CMainUIDialog::InitSkins() {
    struct Skin {
        CxSkinButton* button;
        UINT normal, down, over, disabled;
    };
    const Skin tools[] = {
        {&m_btnHand, 10392, 10393, 10394, 10395},         {&m_btnSelect, 10384, 10385, 10386, 10387},
        {&m_btnZoomIn, 10400, 10401, 10402, 10403},       {&m_btnZoomOut, 10388, 10389, 10390, 10391},
        {&m_btn10299, 10408, 10409, 10410, 10411},        {&m_btn10298, 10404, 10405, 10406, 10407},
        {&m_btnClearPreview, 10396, 10397, 10398, 10399},
    };
    for (const Skin& skin : tools)
        skin.button->SetSkin(skin.normal, skin.down, skin.over, skin.disabled, 0, 0, CxSkinButton::kStretch, 0, 0);
    if (m_btnExpand.m_hWnd != nullptr)
        m_btnExpand.SetSkin(1020, 1020, 1021, 1020, 0, 0, CxSkinButton::kStretch, 0, 0);
    for (CxSkinButton* button : {&m_btnAbout, &m_btnHelp, &m_btnPreview, &m_btnScan, &m_btnClose, &m_btnPort,
                                 &m_btnSettingInfo, &m_btnSaveSetting, &m_btnDeleteSetting})
        button->SetSkin(10431, 10429, 10432, 10430, 0, 0, CxSkinButton::kStretch, 0, 0);

    LoadModuleBitmap(m_bmpAdvancedBackground, g_bAppMode ? IDB_APP_BACKGROUND : IDB_ADVANCED_BACKGROUND);
    if (g_bHebrew)
        MirrorBitmap(m_bmpAdvancedBackground); // this background has no right-to-left picture of its own
    LoadModuleBitmap(m_bmpBasicBackground, g_bHebrew ? IDB_BASIC_BACKGROUND_RTL : IDB_BASIC_BACKGROUND);
}

void CMainUIDialog::InitTexts() {
    const ControlText texts[] = {
        {this, 1000},
        {&m_stcSettingsLabel, 1001},
        {&m_btnHelp, 1013},
        {&m_btnAbout, 1014},
        {&m_btnPreview, 1015},
        {&m_btnScan, 1016},
        {&m_btnClose, 1017},
        {&m_grpSettings, 1018},
        {&m_btnSaveSetting, 1022},
        {&m_btnDeleteSetting, 1023},
        {&m_btnSettingInfo, 1021},
        {&m_tabBasic, 1024},
        {&m_tabAdvanced, 1047},
        {&m_btnPort, 1158},
    };
    SetControlTexts(texts, static_cast<int>(std::size(texts)));
    const std::pair<CWnd*, UINT> tips[] = {{&m_btnSelect, 1005},
                                           {&m_btnHand, 1006},
                                           {&m_btnZoomIn, 1007},
                                           {&m_btnZoomOut, 1008},
                                           {&m_btnClearPreview, 1009}};
    if (g_ToolTip.m_hWnd != nullptr)
        for (const auto& [control, id] : tips)
            g_ToolTip.AddTool(control, CString(u" ") + LoadResString(id) + u" ");
}

BOOL CMainUIDialog::OnEraseBkgnd(CDC* dc) {
    StretchBackground(this, dc, (m_bAdvancedTab || g_bAppMode) ? m_bmpAdvancedBackground : m_bmpBasicBackground);
    return TRUE;
}

// Alt+P previews and Alt+S scans, from the window and everything in it (the settings pages too), while it takes
// input: never from a dialog in front of it, which would start a road the window is already on.
BOOL CMainUIDialog::PreTranslateMessage(MSG* pMsg) {
    if (OnRoadKey(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

// The settings pages ask here too, so the same rule holds for their controls.
BOOL CMainUIDialog::OnRoadKey(const MSG* msg) {
    if (msg->message != WM_SYSKEYDOWN || m_hWnd == nullptr || !IsWindowEnabled() ||
        (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)))
        return FALSE;
    if (KeyDown(g_chPreviewKey)) {
        OnBnClickedPreview();
        return TRUE;
    }
    if (KeyDown(g_chScanKey)) {
        OnBnClickedScan();
        return TRUE;
    }
    return FALSE;
}

void CMainUIDialog::PumpMessages() {
    if (m_hWnd == nullptr || m_bPumping || GetCurrentThreadId() != m_dwThreadId)
        return;
    m_bPumping = true;
    MSG msg{};
    for (int n = 0; n < kPumpLimit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // the host's own loop ends on it, not ours
            break;
        }
        CWinApp* app = AfxGetApp();
        if (app != nullptr && app->PreTranslateMessage(&msg))
            continue;
        if (m_hWnd != nullptr && IsDialogMessageW(m_hWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (m_hWnd == nullptr)
            break; // a handler closed the window
    }
    m_bPumping = false;
}

void CMainUIDialog::EnableMainWindow(BOOL enable) {
    if (g_bNoUI || m_hWnd == nullptr)
        return;
    EnableWindow(enable);
    m_Preview.SetInteractive(enable);
}

void CMainUIDialog::UpdateTitle() {
    CString title;
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini);
    if (g_bAppMode) {
        WCHAR text[MAX_PATH] = {};
        ::GetPrivateProfileStringW(GetLanguageName(g_LangugueID), u"AP UI Title", u"", text, MAX_PATH, ini);
        title = text;
    } else {
        WCHAR product[MAX_PATH] = {};
        ReadModelValue(u"Product Name(%s)", product);
        title.Format(g_bHebrew ? u"(%s TWAIN (USB" : u"%s TWAIN (USB)", product);
    }
    if (m_ScanParam.portType == 1 || m_ScanParam.portType == 2) {
        const char* address = m_ScanParam.portType == 1 ? m_ScanParam.szFoundAddress : m_ScanParam.szHostAddress;
        WCHAR wide[MAX_PATH] = {};
        ::MultiByteToWideChar(CP_ACP, 0, address, static_cast<int>(strnlen(address, sizeof m_ScanParam.szFoundAddress)),
                              wide, MAX_PATH - 1);
        title.Replace(u"USB", wide);
    }
    SetWindowText(title);
    if (g_bAppMode)
        if (CWnd* parent = GetParent())
            parent->PostMessage(WM_APP_TITLE_CHANGED);
}

void CMainUIDialog::ShowHelp() {
    WCHAR code[MAX_PATH] = {};
    GetLanguageCode(code);
    WCHAR module[MAX_PATH] = {};
    const DWORD length = g_bAppMode ? ::GetModuleFileNameW(nullptr, module, 256)
                                    : ::GetModuleFileNameW(AfxGetInstanceHandle(), module, MAX_PATH);
    CString path(module);
    const int slash = path.ReverseFind(u'\\');
    if (length == 0 || slash < 0)
        path.Empty(); // no folder to look in: no help file either
    else
        path = path.Left(slash + 1) + (g_bAppMode ? g_szAppHelpFileName : g_szHelpFileName);
    path.Replace(u"XXXX", code);
    DebugPrint(u"helpFile = ");
    DebugPrint(u"%s", static_cast<LPCWSTR>(path));
    try {
        ::HtmlHelpW(m_hWnd, path, HH_DISPLAY_TOPIC, 0);
    } catch (...) {
        CErrorDlg error(this);
        error.m_strMessage = LoadResString(IDS_HELP_ERROR);
        error.DoModal();
    }
    ::Sleep(10);
}

BOOL CMainUIDialog::OnHelpInfo(HELPINFO* info) {
    ShowHelp();
    return CDialog::OnHelpInfo(info);
}

// Only for a Photoshop host other than CS4, which otherwise keeps our window behind its own.
BOOL CMainUIDialog::SetTopMost(BOOL topMost) {
    if (!g_bHostPhotoshopNotCS4 || m_hWnd == nullptr)
        return FALSE;
    CRect rect;
    GetWindowRect(&rect);
    const UINT flags = SWP_NOSENDCHANGING | SWP_SHOWWINDOW;
    if (g_bHostTwainClientU) {
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, rect.left, rect.top, rect.Width(), rect.Height(), flags);
    } else if (topMost) {
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, rect.left, rect.top, rect.Width(), rect.Height(), flags);
        SetTimer(kTopMostTimer, kTopMostMs);
    } else {
        ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, rect.left, rect.top, rect.Width(), rect.Height(), flags);
    }
    return TRUE;
}

void CMainUIDialog::OnTimer(UINT_PTR id) {
    if (id == kTopMostTimer) {
        KillTimer(kTopMostTimer);
        CRect rect;
        GetWindowRect(&rect);
        ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, rect.left, rect.top, rect.Width(), rect.Height(),
                       SWP_NOSENDCHANGING | SWP_SHOWWINDOW);
    } else if (id == kCloseTimer) {
        OnClose(); // repeats until the window is gone
    }
    CDialog::OnTimer(id);
}

// A Photoshop host that asked for the pixel flavour closes the source through the next activation.
void CMainUIDialog::OnActivate(UINT state, CWnd* other, BOOL minimized) {
    CDialog::OnActivate(state, other, minimized);
    if (!m_bCloseOnActivate)
        return;
    if (!g_b_devmon_close) {
        g_LLD.DevMon_StartScan();
        g_LLD.DevMon_AbortScan();
        g_LLD.DevMon_EndScan();
        g_LLD.DevMon_SetCallBackFun(nullptr, nullptr);
        g_LLD.DevMon_Close();
        if (CDsAssistor* assistor = g_pDsAssistor)
            assistor->NotifyCloseDsReq();
        g_b_devmon_close = TRUE;
    }
    SetTimer(kCloseTimer, kCloseMs);
}

void CMainUIDialog::OnClose() {
    if (!g_bNoUI) {
        // A control that keeps the focus (an entry being checked) keeps the window open too.
        m_btnClose.SetFocus();
        if (::GetFocus() != m_btnClose.m_hWnd)
            return;
    }
    RequestCloseSource();
}

// The window goes only when the application answers with MSG_DISABLEDS.
void CMainUIDialog::RequestCloseSource() {
    g_bUserClose = TRUE;
    if (CDsAssistor* assistor = g_pDsAssistor)
        assistor->RequestClose(FALSE);
}

void CMainUIDialog::OnDestroy() {
    StopDeviceEvents(this); // from here on no device event reaches this window
    RestoreFrontRotation();
    // The driver is shared: app mode's next window is up before the old one goes, and keeps using it.
    if (m_bDriverHeld) {
        m_bDriverHeld = false;
        if (--s_nDriverUsers == 0)
            g_LLD.UnloadDriver();
    }
    if (!g_bNoUI)
        SaveCurrentSettingOnExit();
    if (g_bAppMode && m_pDlg_ImgSaveSets != nullptr)
        m_pDlg_ImgSaveSets->SaveImgSaveSettings(TRUE);
    KillTimer(kTopMostTimer);
    KillTimer(kCloseTimer);
    DestroySharedToolTip(this);
    // A newer window (app mode replaces the window only once the new one stands) keeps its own hook.
    RemoveMessageHook(m_hMsgHook);
    m_hMsgHook = nullptr;
    CDialog::OnDestroy();
}

LRESULT CMainUIDialog::OnSaveFolderError(WPARAM wParam, LPARAM) {
    if (wParam == 10) {
        CErrorDlg error(this);
        error.m_strMessage = LoadResString(IDS_SAVE_FOLDER_ERROR);
        error.DoModal();
    }
    return 0;
}

int CMainUIDialog::GetResolutionDpi() {
    const int index = m_ScanParam.resolution;
    return g_nResolutionDpi[(index >= 0 && index < kResolutionCount) ? index : 1];
}

void CMainUIDialog::GetPageSize(int& width, int& height) const {
    width = m_nWidth;
    height = m_nHeight;
}

void CMainUIDialog::SetPageSize(int width, int height) {
    m_nWidth = width;
    m_nHeight = height;
}

CScanProgress* CMainUIDialog::GetScanProgress() {
    return m_pScanProgressDlg.get();
}

INT_PTR CMainUIDialog::RunManualDuplexNote() {
    return CManualDuplexDlg::GetInstance().DoModal();
}

void CMainUIDialog::EndManualDuplexNote() {
    CManualDuplexDlg::GetInstance().PostEnd();
}

void CMainUIDialog::OnCbnSelchangeUnits() {
    const int selection = m_cmbUnits.GetCurSel();
    if (selection == CB_ERR)
        return; // nothing chosen: nothing changes
    m_nUnitIndex = selection;
    if (m_ScanParam.adv[18] != m_nUnitIndex) {
        m_ScanParam.adv[18] = m_nUnitIndex;
        MarkSettingModified();
    }
    UpdateRulers();
    UpdateSizeInfo();
    if (g_bAppMode && m_pDlg_ImgINFO != nullptr)
        m_pDlg_ImgINFO->RefreshInfo();
}

void CMainUIDialog::UpdateSizeInfo() {
    if (g_bAppMode) {
        if (m_pDlg_ImgINFO != nullptr)
            m_pDlg_ImgINFO->RefreshInfo();
        return;
    }
    const SelectionZone zone = SelectionInches();
    m_stcSizeInfo.SetSizeInfo(zone.width, zone.height, m_nUnitIndex, 0, GetResolutionDpi(), m_ScanParam.colorMode);
}

void CMainUIDialog::ShowBasicPage() {
    if (m_pBasicSetting && m_pBasicSetting->m_hWnd != nullptr)
        m_pBasicSetting->ShowWindow(SW_SHOW);
    if (m_pAdvancedSetting && m_pAdvancedSetting->m_hWnd != nullptr)
        m_pAdvancedSetting->ShowWindow(SW_HIDE);
}

// The histogram counts the preview, which only the flatbed has, and has nothing to show in black and white.
void CMainUIDialog::ShowAdvancedPage() {
    if (m_pBasicSetting && m_pBasicSetting->m_hWnd != nullptr)
        m_pBasicSetting->ShowWindow(SW_HIDE);
    if (!m_pAdvancedSetting || m_pAdvancedSetting->m_hWnd == nullptr)
        return;
    m_pAdvancedSetting->ShowWindow(SW_SHOW);
    const bool feeder = m_ScanParam.source == 1 || m_ScanParam.source == 2;
    m_pAdvancedSetting->m_btnHistogram.EnableWindow(!feeder &&
                                                    (m_ScanParam.colorMode == 1 || m_ScanParam.colorMode == 2));
}

void CMainUIDialog::OnClickedAdvancedTab() {
    if (m_bAdvancedTab)
        return;
    ShowAdvancedPage();
    m_bAdvancedTab = 1;
    m_tabBasic.SetBitmap(IDB_TAB_INACTIVE);
    m_tabAdvanced.SetBitmap(IDB_TAB_ACTIVE);
    Invalidate(TRUE);
}

void CMainUIDialog::OnClickedBasicTab() {
    if (!m_bAdvancedTab)
        return;
    ShowBasicPage();
    m_bAdvancedTab = 0;
    m_tabBasic.SetBitmap(IDB_TAB_ACTIVE);
    m_tabAdvanced.SetBitmap(IDB_TAB_INACTIVE);
    Invalidate(TRUE);
}
