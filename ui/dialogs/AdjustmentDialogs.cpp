#include "ui/dialogs/AdjustmentDialogs.h"

#include "settings/Language.h"
#include "ui/controls/ControlTexts.h"
#include "ui/controls/RightToLeft.h"
#include "ui/controls/StretchBackground.h"

namespace {
constexpr UINT kStringsChannels[kChannelCount] = {1068, 1069, 1070, 1071}; // combined, red, green, blue
constexpr int kColorModeColour = 2;
} // namespace

void DressAdjustmentDialog(CWnd* dialog, CBitmap& background, UINT backgroundId,
                           std::initializer_list<CxSkinButton*> buttons) {
    if (g_bHebrew)
        MirrorChildLayout(dialog);
    for (CxSkinButton* button : buttons)
        button->SetSkin(10431, 10429, 10432, 10430, 0, 0, CxSkinButton::kStretch, 0, 0);
    LoadModuleBitmap(background, backgroundId);
}

void FillChannelCombo(CComboBox& combo, int colorMode) {
    FillComboFromStrings(&combo, kStringsChannels, colorMode == kColorModeColour ? kChannelCount : 1);
}

CRect ControlRectInClient(CWnd* dialog, int id) {
    CRect rect(0, 0, 0, 0);
    if (dialog == nullptr || dialog->m_hWnd == nullptr)
        return rect;
    HWND control = ::GetDlgItem(dialog->m_hWnd, id);
    if (control == nullptr)
        return rect;
    ::GetWindowRect(control, &rect);
    dialog->ScreenToClient(&rect);
    return rect;
}

void KeepSliderEndLabels(CWnd* dialog, int slider, int minimumLabel, int maximumLabel) {
    if (!g_bHebrew)
        return;
    CRect client;
    dialog->GetClientRect(&client);
    const CRect bar = ControlRectInClient(dialog, slider);
    // The mirror took x to width - x; the labels follow the slider as one block instead.
    const int shift = bar.left - (client.Width() - bar.right);
    for (int id : {minimumLabel, maximumLabel}) {
        const CRect label = ControlRectInClient(dialog, id);
        ::SetWindowPos(::GetDlgItem(dialog->m_hWnd, id), nullptr, client.Width() - label.right + shift, label.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}
