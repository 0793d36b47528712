// A scanning window as the panes see it: settings, scan area and units of the test's choosing, and a record of
// what the panes asked of it. It is also the panes' parent window (a plain popup).
#pragma once

#include "platform/user/afxwin.h"
#include "ui/dialogs/CPaneHost.h"

#include <cstring>

namespace dialogs_test {

class FakePaneHost : public CPaneHost {
public:
    FakePaneHost() {
        std::memset(&param, 0, sizeof param);
        param.colorMode = 2;
        param.resolution = 2;
        window.CreateEx(0, u"#32770", u"Scanning window", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                        CRect(100, 100, 900, 700), nullptr, 0);
    }
    ~FakePaneHost() {
        if (window.m_hWnd)
            window.DestroyWindow();
    }

    const ScanParam& GetScanParam() const override { return param; }
    int GetResolutionDpi() override {
        static const int dpi[] = {75, 150, 300, 600, 1200};
        return param.resolution >= 0 && param.resolution < 5 ? dpi[param.resolution] : 300;
    }
    void GetScanRangeFromPreview(InchRect& out) override { out = area; }
    int GetUnitIndex() const override { return unitIndex; }
    void OnBnClickedPreview() override { ++previews; }
    void OnBnClickedScan() override { ++scans; }
    void SetManualDuplexCheck(BOOL checked) override { manualDuplexCheck = checked; }

    ScanParam param{};
    InchRect area{0.0f, 0.0f, 8.5f, 11.0f};
    int unitIndex = 0;
    int previews = 0;
    int scans = 0;
    int manualDuplexCheck = -1;
    CWnd window;
};

} // namespace dialogs_test
