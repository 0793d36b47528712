// What the image-adjustment dialogs share: the look of their buttons and background, the channel list, and the
// owner's settings.
#pragma once

#include "platform/user/afxwin.h"
#include "ui/controls/CxSkinButton.h"

#include <initializer_list>

// Channels of the adjustment dialogs, as they index the four-value settings and the combo boxes.
enum AdjustChannel { kChannelCombined = 0, kChannelRed = 1, kChannelGreen = 2, kChannelBlue = 3 };
inline constexpr int kChannelCount = 4;

// Curve and bar colours as COLORREF (0x00BBGGRR).
inline constexpr COLORREF kCurveBlack = 0x000000;
inline constexpr COLORREF kCurveRed = 0x0000FF;
inline constexpr COLORREF kCurveGreen = 0x00FF00;
inline constexpr COLORREF kCurveBlue = 0xFF0000;

// The look every adjustment dialog takes in its initialisation: laid out as the mirror of its template in a
// right-to-left language, its buttons in the shared push-button skin (normal, pressed, hover, disabled, stretched),
// and its background bitmap `backgroundId` of the data source's own module loaded into `background`.
void DressAdjustmentDialog(CWnd* dialog, CBitmap& background, UINT backgroundId,
                           std::initializer_list<CxSkinButton*> buttons);
// Combined, red, green and blue in colour (colour mode 2); only combined in grey and black and white.
void FillChannelCombo(CComboBox& combo, int colorMode);
// The rectangle of a dialog's control in the dialog's client coordinates; empty when there is no such control.
CRect ControlRectInClient(CWnd* dialog, int id);
// Sliders run from left to right in every language: after a right-to-left dialog is mirrored, the labels of a slider's
// two ends are moved back to where they stand beside the slider in the template, the smallest value at its left end.
void KeepSliderEndLabels(CWnd* dialog, int slider, int minimumLabel, int maximumLabel);
