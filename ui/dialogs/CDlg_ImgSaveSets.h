// The app-mode pane of the scanning window that tells where scanned images go: into a folder (name, type, what
// opens afterwards) or to e-mail. Its two buttons open the save dialogs; the choices live in the record of
// "imgSaveSettings.dat", read when the pane starts and written at scan start, at the end of a transfer and when
// the window closes. The data source itself writes no image there: the record is for the calling application.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CxSkinButton.h"
#include "ui/dialogs/CPaneHost.h"
#include "ui/dialogs/ImgSaveSettings.h"

#include <memory>

class CSaveImgDlg;
class CDlg_SaveImgToFile;
class CDlg_SaveImgToEmail;

class CDlg_ImgSaveSets : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 1002 };
    enum {
        IDC_FOLDER_MODE = 1029,
        IDC_EMAIL_MODE = 1030,
        IDC_MODE_LABEL = 1038,
        IDC_NAME = 1031,
        IDC_TYPE = 1032,
        IDC_FOLDER = 1033,
        IDC_VALUES_AREA = 1036
    };

    // `host` is the scanning window; `parent` the window the pane is a child of (normally the same).
    explicit CDlg_ImgSaveSets(CPaneHost* host, CWnd* parent = nullptr);
    ~CDlg_ImgSaveSets() override;
    CDlg_ImgSaveSets(const CDlg_ImgSaveSets&) = delete;
    CDlg_ImgSaveSets& operator=(const CDlg_ImgSaveSets&) = delete;

    // Reads the record (defaults without a file), takes its manual-duplex switch over and gives the name base a
    // fresh dated name.
    void LoadImgSaveSettings();
    // Writes the record: a fresh dated name first unless the current one stands (the pane's texts then follow
    // unless keepTexts); on a feeder source a one-image-per-file type is announced under the next numbered name.
    void SaveImgSaveSettings(BOOL keepTexts);
    // Shows the record in the pane.
    void RefreshTexts();

    ImgSaveSettings m_ImgSaveSettings{};
    // TRUE: the name base stands; FALSE: the next save or dialog opening generates a new dated name.
    BOOL m_bNameCustom = FALSE;
    // Set by the window: the scan source is the feeder (or the duplex feeder).
    BOOL m_bFeeder = FALSE;

    std::unique_ptr<CDlg_SaveImgToFile> m_pDlgSaveToFile;
    std::unique_ptr<CDlg_SaveImgToEmail> m_pDlgSaveToEmail;

    CStaticTrans m_stcTexts[7];  // 1026 title, 1003 / 1027 / 1028 labels, 1031 / 1032 / 1033 values
    CStaticTrans m_stcModeLabel; // 1038
    CxSkinButton m_btnFolderMode;
    CxSkinButton m_btnEmailMode;
    CBitmap m_bmpBackground;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter does nothing
    void OnCancel() override {} // nor does Escape
    BOOL OnEraseBkgnd(CDC* dc);
    void OnSize(UINT type, int cx, int cy);
    void OnBnClickedFolderMode();
    void OnBnClickedEmailMode();

private:
    // The face of the two mode buttons: the button of the current mode is highlighted.
    void SkinModeButtons(BOOL emailMode);
    // Opens a save dialog on the record: TRUE when it ended with OK, its folder, name and type then taken over.
    BOOL RunSaveDialog(CSaveImgDlg& dialog);
    CStaticTrans& FolderText() { return m_stcTexts[6]; }
    int m_nMirroredWidth = 0; // right to left: the client width the children were mirrored in, 0 left to right

    CPaneHost* m_pHost;
};
