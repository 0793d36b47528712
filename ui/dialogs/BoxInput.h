// The skinned message boxes (error, question, notice) are answered by a click on one of their buttons only.
#pragma once

#include "platform/user/afxwin.h"

// TRUE for the input those boxes swallow: a right click, and any key pressed while Enter, Esc or Space is held.
BOOL IsIgnoredBoxInput(const MSG* msg);

// Whether a key is held down now (the high bit of GetKeyState), as the panes' Alt keys are checked.
bool IsKeyDown(int virtKey);
