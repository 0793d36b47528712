// The port dialog: the user chooses how the scanner is reached, by the local USB port, as a network scanner found
// by a broadcast search, or by host name or IP address. A network choice is taken only after a connection test
// through the driver. The search and the test run on threads of their own and report by posting 0x800 and 0x801,
// so the dialog stays responsive; Cancel stays usable meanwhile, and a worker that answers after the dialog closed
// finds nobody to tell (each worker owns what it works on).
#pragma once

#include "platform/user/afxwin.h"
#include "scanner/DriverTypes.h"
#include "settings/ScanParam.h"
#include "ui/controls/CStaticTrans.h"
#include "ui/controls/CTransCheckBox.h"
#include "ui/controls/CxSkinButton.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// How the scanner is reached: the head of ScanParam, edited in place by the dialog.
struct PortSetting {
    std::int32_t type; // 0 USB, 1 a network scanner found by the search, 2 a host name or IP address
    char name[256];    // the found scanner, narrow text
    char address[256]; // the typed host name or IP address, narrow text
};
static_assert(sizeof(PortSetting) == offsetof(ScanParam, source));

// The port part of the settings, and back.
PortSetting GetPortSetting(const ScanParam& param);
void SetPortSetting(ScanParam& param, const PortSetting& port);

inline constexpr UINT WM_PORT_SEARCH_DONE = 0x800; // wParam 0, lParam 0
inline constexpr UINT WM_PORT_TEST_DONE = 0x801;   // wParam: the driver's result

struct PortSearchJob;
struct PortTestJob;

class CPortSettingDlg : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    enum { IDD = 10266 };
    enum {
        IDC_USB = 10111,
        IDC_FOUND = 10112,
        IDC_HOST = 10113,
        IDC_HOST_EDIT = 10115,
        IDC_FOUND_LIST = 10131,
        IDC_REFRESH = 10184,
        IDC_SEARCHING = 1042,
    };
    static constexpr int kMaxHostLength = 48;

    // `record` may be null: the dialog then does nothing at all.
    CPortSettingDlg(PortSetting* record, CWnd* parent = nullptr);
    ~CPortSettingDlg() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    PortSetting* m_pRecord;
    int m_nType = 0;
    CString m_strLastHost; // the last text the host filter accepted
    BOOL m_bEditModified = FALSE;
    NetDetectRequest m_request{};

    CEdit m_edtHost;
    CComboBox m_cmbFound;
    CxSkinButton m_btnRefresh;
    CxSkinButton m_btnOK;
    CxSkinButton m_btnCancel;
    CTransCheckBox m_radUsb;
    CTransCheckBox m_radFound;
    CTransCheckBox m_radHost;
    CStaticTrans m_stcSearching;
    CBitmap m_bmpBackground;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter never ends the dialog
    void OnCancel() override {} // nor does Escape

    // The radios for a type: 1 found, 2 host, anything else USB; Refresh only for a found scanner.
    void ApplyPortType(int type);
    // All controls but Cancel off while a search or test runs (the searching notice shown), or all on again.
    void EnableControls(BOOL enable);
    void StartSearch();
    void StartTest();

    void OnTimer(UINT_PTR id);
    void OnClickedUsb();
    void OnClickedFound();
    void OnClickedHost();
    void OnHostEditFocus();
    void OnHostEditChange();
    void OnClickedRefresh();
    void OnClickedOK();
    void OnClickedCancel();
    void OnResetHostEdit();
    void OnDestroy();
    BOOL OnEraseBkgnd(CDC* dc);
    LRESULT OnSearchDone(WPARAM wParam, LPARAM lParam);
    LRESULT OnTestDone(WPARAM wParam, LPARAM lParam);

private:
    void Abandon();

    std::shared_ptr<PortSearchJob> m_search;
    std::shared_ptr<PortTestJob> m_test;
};
