// What the app-mode panes (image information, save settings) and the settings details ask of the scanning window
// that holds them. The scanning window implements it; the panes know no window class of their own.
#pragma once

#include "platform/base/windows.h"
#include "settings/ScanParam.h"

// The scan area in inches.
struct InchRect {
    float Top;
    float Left;
    float Right;
    float Bottom;
};

class CPaneHost {
public:
    // The window's current settings.
    virtual const ScanParam& GetScanParam() const = 0;
    // The dpi of the settings' resolution index.
    virtual int GetResolutionDpi() = 0;
    // The area the next scan covers.
    virtual void GetScanRangeFromPreview(InchRect& area) = 0;
    // The unit of the size display: 0 inch, 1 millimetre, 2 pixel.
    virtual int GetUnitIndex() const = 0;
    // The window's Preview and Scan buttons, as the panes' Alt keys press them.
    virtual void OnBnClickedPreview() = 0;
    virtual void OnBnClickedScan() = 0;
    // The basic settings page's manual-duplex box, as the save settings read from their file set it.
    virtual void SetManualDuplexCheck(BOOL checked) = 0;

protected:
    ~CPaneHost() = default;
};
