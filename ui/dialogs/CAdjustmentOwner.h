// What the image-adjustment dialogs (gamma and threshold, brightness and contrast, tone curves, histogram) need of
// the scanning window: its current scan settings, which they edit in place, the two calls that follow a change, and
// the rendered preview the histogram counts. The scanning window implements it; all calls come on its thread.
#pragma once

#include "settings/ScanParam.h"

class CImage;

class CAdjustmentOwner {
public:
    // The window's own settings record (not a copy).
    virtual ScanParam& GetAdjustedScanParam() = 0;
    virtual void MarkSettingModified() = 0;
    // Renders the preview again from the raw preview with the current settings.
    virtual void RefreshPreviewImage() = 0;
    // The preview as shown (24-bit, rows of width x 3 bytes), or null while there is none.
    virtual CImage* GetDisplayImage() = 0;

protected:
    ~CAdjustmentOwner() = default;
};
