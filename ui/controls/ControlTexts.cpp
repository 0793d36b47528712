#include "ui/controls/ControlTexts.h"

#include "settings/Language.h"

void SetControlTexts(const ControlText* items, int count) {
    if (!items)
        return;
    for (int i = 0; i < count; ++i)
        if (HwndOf(items[i].pWnd))
            items[i].pWnd->SetWindowText(LoadResString(items[i].nID));
}

void FillComboFromStrings(CComboBox* combo, const UINT ids[], int count) {
    if (!combo || !ids)
        return;
    combo->ResetContent();
    for (int i = 0; i < count; ++i)
        combo->AddString(LoadResString(ids[i]));
}
