// The names the information dialogs show for the values of a ScanParam, in the UI language. Every lookup is
// range-checked: a value outside its table (a damaged settings file) names nothing.
#pragma once

#include "platform/base/cstring.h"

CString SourceName(int source);         // 0 flatbed, 1 feeder, 2 feeder duplex
CString ColorModeName(int colorMode);   // 0 black and white, 1 grey, 2 colour
CString ResolutionName(int resolution); // index 0-4; index 3 is 400 dpi on PlatformWren without RGB
CString DescreenName(int descreen);     // 0 off, 1 on
CString FadingName(int fading);         // 0-3
CString RotationName(int rotation);     // 0-3
CString CurveName(int preset);          // 0-4
// A number with its '.' turned into the language's decimal separator.
CString WithDecimalSeparator(CString text);
