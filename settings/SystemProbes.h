// Questions to the system: the paper convention of the user's country and room for a bitmap.
#pragma once

#include "platform/base/windows.h"

// FALSE for the Letter-paper countries (country codes 1, 2, 50-59, 500-599) and when the locale cannot be read.
bool IsA4Country();
// Whether a bitmap of that size can be allocated: pixelType 0 black and white, 1 grey, other colour.
BOOL CheckDibMemory(int width, int height, int pixelType);
