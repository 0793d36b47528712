// The scanning window: a modeless dialog under the host application's window, running on the host's thread with a
// message hook of its own for its keys. It owns the current scan settings, the progress dialog and the settings
// panes; its Scan button (or the engine, for a host that wants no window) opens the device and announces a page
// to the engine, its Close button asks the application to close the source, and it is the context of the device's
// event callback.
//
// A host whose thread has a message queue of ours (it calls MSG_PROCESSEVENT from its event loop) keeps the window
// on that thread, where nobody else dispatches the window's messages: PumpMessages, called by the engine at every
// DS_Entry of the window's thread, dispatches what is pending. Any other host (a plain Linux TWAIN application that
// only waits for the manager's callback) gets the window on the engine's own window thread (twain/WindowThread.h),
// whose loop dispatches them.
#pragma once

#include "ui/scanwindow/CPreviewStatic.h"

#include "twain/CScanWindow.h"

#include "imaging/CImage.h"
#include "settings/ScanParam.h"
#include "ui/controls/CSizeInfoStatic.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CStaticWithBkgBMP.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/controls/Trans_GroupBox.h"
#include "ui/dialogs/CAdjustmentOwner.h"
#include "ui/dialogs/CPaneHost.h"

#include "platform/user/afxwin.h"

#include <atomic>
#include <memory>

class CScanProgressDlg;
class CBasicSetting;
class CEffectLibrary;
class CAdvancedSetting;
class CDlg_ImgSaveSets;
class CDlg_ImgINFO;
class CDlg_SettingInfo;

// Posted to the parent window in app mode when the window's title changed.
inline constexpr UINT WM_APP_TITLE_CHANGED = 0x943;
// Posted to the window when the save folder of the app-mode pane cannot be used (wParam 10).
inline constexpr UINT WM_SAVE_FOLDER_ERROR = 0xA41;

// The INI's [Self Testing] section: <key> is exactly "TRUE"; the figures of a series (count 3 and 5 seconds when
// absent).
bool SelfTestValueIsTrue(const WCHAR* key);
struct SelfTestFigures {
    bool randomColor = false;
    bool randomResolution = false;
    bool randomPaper = false;
    int count = 3;
    int seconds = 5;
};
SelfTestFigures ReadSelfTestFigures();

class CMainUIDialog : public CDialog,
                      public CScanWindow,
                      public CAdjustmentOwner,
                      public CPreviewOwner,
                      public CPaneHost {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10257, IDD_APP = 1004 };

    explicit CMainUIDialog(CWnd* parent = nullptr);
    ~CMainUIDialog() override;
    CMainUIDialog(const CMainUIDialog&) = delete;
    CMainUIDialog& operator=(const CMainUIDialog&) = delete;

    // Creates the window hidden, from layout 1004 in app mode, else 10257.
    BOOL CreateModeless(CWnd* parent);

    // ---- CScanWindow ----
    void ScanWithoutUI() override;
    void SetBusy(BOOL busy) override { m_bBusy = busy ? 1 : 0; }
    void SetCloseOnActivate(BOOL close) override { m_bCloseOnActivate = close ? 1 : 0; }
    void PumpMessages() override;
    const ScanParam& GetScanParam() const override { return m_ScanParam; }
    int GetResolutionDpi() override;
    int GetScanSource() override { return m_ScanParam.source; }
    void GetPageSize(int& width, int& height) const override;
    void SetPageSize(int width, int height) override;
    int GetPageCount() const override { return m_nPageCount; }
    void SetPageCount(int rows) override { m_nPageCount = rows; }
    int ApplyScanParameters(BOOL sendArea) override;
    void ShowScanError(int category, int code) override;
    void ShowErrorMessage(const WCHAR* text) override;
    void Activate() override;
    void EnableMainWindow(BOOL enable) override;
    BOOL SetTopMost(BOOL topMost) override;
    CScanProgress* GetScanProgress() override;
    INT_PTR RunManualDuplexNote() override;
    void EndManualDuplexNote() override;
    void RestoreFrontRotation() override;
    void SaveImgSaveSettings() override;
    void RenewSaveName() override;

    // ---- CPaneHost: what the app-mode panes and the settings details read and call ----
    int GetUnitIndex() const override { return m_nUnitIndex; }
    void SetManualDuplexCheck(BOOL checked) override;

    // ---- The window ----
    void UpdateTitle();
    void ShowHelp();
    void UpdateSizeInfo() override;
    void UpdateRulers();
    void ShowBasicPage();
    void ShowAdvancedPage();
    void OnClickedBasicTab();
    void OnClickedAdvancedTab();
    void EnableZoomButtons(BOOL zoomIn, BOOL zoomOut) override;

    // ---- Settings ----
    BOOL initializeSetting();
    void ReportUnusableStore();
    void RefreshSettingControls(BOOL updateButtons);
    void UpdateSourceControls();
    void MarkSettingModified() override;
    // ---- CAdjustmentOwner: what the adjustment dialogs edit and call ----
    ScanParam& GetAdjustedScanParam() override { return m_ScanParam; }
    void RefreshPreviewImage() override;
    CImage* GetDisplayImage() override;
    void SaveCurrentSettingOnExit();
    // A record read from the settings file, made safe to use: each index outside its table takes the value of
    // `defaults` (or of the source's whole area for the paper), and both addresses end at byte 255.
    static void CheckLoadedScanParam(ScanParam& record, const ScanParam& defaults);
    // The saved-settings combo box 10301 and its Save (10302) and Delete (10303) buttons.
    void OnCbnSelchangeSettings();
    void OnCbnEditchangeSettings();
    void OnCbnSelendcancelSettings();
    void OnBnClickedSaveSetting();
    void OnBnClickedDeleteSetting();

    // ---- The preview's side in the window ----
    void UpdatePreviewPaper();
    void ResetPaperToWholeArea() override;
    // The selection of the current source and paper in inches, from a zeroed zone: a listed paper lies at the
    // corner of the bed.
    SelectionZone SelectionInches();
    void ScrollPreviewBy(int dx, int dy) override;
    // The blank page (a feeder source's is white) in both preview images, rendered.
    void ResetPreviewImage();
    // With `ask`, only when the user agrees: the blank page, and nothing left to clear.
    void ClearPreview(BOOL ask);

    // ---- The scan road ----
    void OnBnClickedScan() override;
    void OnBnClickedPreview() override;
    // Alt+P previews and Alt+S scans (the language's keys): TRUE when `msg` is one of them and its road ran.
    BOOL OnRoadKey(const MSG* msg);
    // The app-mode save pane follows the basic page's manual-duplex box.
    void SetSavePaneManualDuplex(BOOL on);
    int UpdateNoUIScanParam(int nColorMode, int nResolution, int nScanSize, int nScanSource);
    bool OpenScanDevice();
    void GetScanRangeFromPreview(InchRect& area) override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // ---- Controls ----
    CPreviewStatic m_Preview;       // 10139
    CxSkinButton m_btnSelect;       // 10149
    CxSkinButton m_btnZoomIn;       // 10152
    CxSkinButton m_btnZoomOut;      // 10153
    CxSkinButton m_btnHand;         // 10310
    CxSkinButton m_btnClearPreview; // 10311
    CxSkinButton m_btn10299;
    CxSkinButton m_btn10298;
    CxSkinButton m_btnExpand; // 1000, app mode
    CComboBox m_cmbUnits;     // 20004
    CSizeInfoStatic m_stcSizeInfo;
    CScrollBar m_sbHorz; // 10151
    CScrollBar m_sbVert; // 10150
    CxSkinButton m_btnAbout;
    CxSkinButton m_btnHelp;
    CxSkinButton m_btnPreview;
    CxSkinButton m_btnScan;
    CxSkinButton m_btnClose;
    CxSkinButton m_btnPort;
    CxSkinButton m_btnSaveSetting;
    CxSkinButton m_btnDeleteSetting;
    CxSkinButton m_btnSettingInfo;
    CComboBox m_cmbSettings; // 10301
    CStaticTrans m_stcSettingsLabel;
    Trans_GroupBox m_grpSettings;
    CStaticWithBkgBMP m_tabBasic;    // 10352
    CStaticWithBkgBMP m_tabAdvanced; // 10353

    int m_nUnitIndex = 2;
    int m_nPreviewWidth = 0;
    int m_nPreviewHeight = 0;
    int m_nWidth = 0;  // the page in pixels at the scan resolution
    int m_nHeight = 0; // and its rows
    int m_nPageCount = 0;
    BYTE m_bBusy = 0;
    BYTE m_bCloseOnActivate = 0;
    int m_bAdvancedTab = 0;
    BOOL m_bPanesCollapsed = FALSE;
    int m_nPaneHeight = 0;
    ScanParam m_ScanParam{};
    int m_nSavedSettingIndex = -1;
    bool m_bStoreReported = false; // the settings store's failure has been told in this window
    int m_nPreviewResult = 0;

    // The 75-dpi preview as the device gave it, and the copy shown with the current adjustments.
    CImage m_imgPreview;
    CImage m_imgDisplay;

    // The settings pages, made in OnInitDialog over frame 10315.
    std::unique_ptr<CBasicSetting> m_pBasicSetting;
    std::unique_ptr<CAdvancedSetting> m_pAdvancedSetting;
    // Owned; the progress dialog exists from construction, so every road that uses it finds it.
    std::unique_ptr<CScanProgressDlg> m_pScanProgressDlg;
    // App mode: the save-settings and image-information panes (null in TWAIN mode); owned.
    CDlg_ImgSaveSets* m_pDlg_ImgSaveSets = nullptr;
    CDlg_ImgINFO* m_pDlg_ImgINFO = nullptr;
    // The settings details, run modally by button 10314; made in OnInitDialog.
    std::unique_ptr<CDlg_SettingInfo> m_pDlg_SettingInfo;
    HMODULE m_hResourceLibrary = nullptr;
    CBitmap m_bmpAdvancedBackground;
    CBitmap m_bmpBasicBackground;

    // The custom area of each source (flatbed, feeder, feeder duplex) in inches.
    SelectionZone m_customZone[3];

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter never ends the window
    void OnCancel() override {} // nor does Esc

    void CreateAppPanes();
    void CreateSettingPages();
    void InitSkins();
    void InitTexts();
    void FillUnitCombo();
    // Takes over the network scanner an installation left in the registry, once per installation: the current
    // settings get its address under `current` (the modified label when they were the defaults). FALSE when the
    // current settings cannot be saved.
    BOOL TakeOverNetInstall(CString& current, ScanParam& working);
    void Scan_();
    // App mode, with the INI's [Self Testing] "Testing Enable" at "TRUE": the Scan button runs a series of scans.
    void SelfTestScan();
    // App mode, at scan start: the save pane renews a name already used and writes its record; FALSE (the error
    // shown, the scan ends) when the e-mail program of e-mail mode is gone. TRUE without the pane.
    BOOL SavePaneBeforeScan();
    // App mode: the free bytes of the save pane's folder; FALSE (the error shown) when it is no folder to save in.
    BOOL SaveFolderFreeBytes(ULONGLONG& freeBytes);
    void RequestCloseSource();
    // Ends the device's work for good: no event after it reaches the window, then the device is closed.
    void CloseDevice(bool endScan);

    void OnClose();
    void OnDestroy();
    void OnTimer(UINT_PTR id);
    void OnActivate(UINT state, CWnd* other, BOOL minimized);
    BOOL OnEraseBkgnd(CDC* dc);
    BOOL OnHelpInfo(HELPINFO* info);
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnBnClickedExpand();
    void OnBnClickedAbout();
    void OnBnClickedPort();
    void OnBnClickedSettingInfo();
    void OnBnClickedTool(UINT id);
    void OnCbnSelchangeUnits();
    void OnBnClickedClearPreview();
    LRESULT OnPreviewRows(WPARAM wParam, LPARAM lParam);
    LRESULT OnSaveFolderError(WPARAM wParam, LPARAM lParam);

private:
    // The preview road's two threads (the window is their argument) and the reading between.
    static DWORD WINAPI PreviewThread(LPVOID param);
    static DWORD WINAPI PreviewProgressThread(LPVOID param);
    void ReadPreview(CEffectLibrary& effects);

    void ScrollBarTo(CScrollBar& bar, int position, bool horizontal);
    static bool ScrollRequestPosition(CScrollBar& bar, UINT code, UINT pos, int& position);

    DWORD m_dwThreadId = 0;
    bool m_bPumping = false;
    HHOOK m_hMsgHook = nullptr; // the hook this window installed
    // The windows that loaded the driver and have not yet gone: the last one unloads it.
    static std::atomic<int> s_nDriverUsers;
    bool m_bDriverHeld = false;
};
