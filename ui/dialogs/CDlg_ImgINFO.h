// The app-mode pane that tells what the next scan will be: source, resolution, colour mode, scan area, image size
// and data size, painted from the scanning window's current settings at every repaint (the pane keeps no copy).
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/dialogs/CPaneHost.h"

class CDlg_ImgINFO : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 1003 };
    enum {
        IDC_SOURCE = 1019,
        IDC_RESOLUTION = 1020,
        IDC_COLOR_MODE = 1021,
        IDC_PAPER = 1022,
        IDC_IMAGE_SIZE = 1023,
        IDC_DATA_SIZE = 1025,
        IDC_VALUES_AREA = 1037
    };

    // `host` is the scanning window; `parent` the window the pane is a child of (normally the same).
    explicit CDlg_ImgINFO(CPaneHost* host, CWnd* parent = nullptr);

    // Repaints the values (the window calls it when the settings or the area change).
    void RefreshInfo();

    // The texts painted for the values (also what tests read).
    CString ImageSizeText();
    CString DataSizeText();

    CStaticTrans m_stcTexts[12];
    CBitmap m_bmpBackground;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    BOOL OnEraseBkgnd(CDC* dc);
    void OnPaint();
    void OnSize(UINT type, int cx, int cy);

private:
    struct Extent {
        float width;  // inches
        float height; // inches
        int dpi;
    };
    Extent ScanExtent();
    CRect ValuePlace(int id); // where a value is painted: the place of its empty static

    CPaneHost* m_pHost;
    int m_nMirroredWidth = 0; // right to left: the client width the children were mirrored in, 0 left to right
};

// "%.2f GB", "MB", "KB" above 2^30, 2^20 and 1024 bytes, else "%d B"; the language's decimal separator; French
// (6) writes "o" for "B", Russian (3) a Cyrillic "Б".
CString FormatDataSize(double bytes);
