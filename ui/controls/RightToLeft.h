// Right-to-left dialogs: a dialog of a right-to-left language is laid out as the mirror of its template. Controls
// keep their own drawing; only their places, the alignment of their texts and the direction a progress bar fills
// are turned round.
#pragma once

#include "platform/user/afxwin.h"

// Moves every child of `dialog` to the mirror place about its client area's vertical centre line; static texts swap
// left and right alignment, check boxes and radio buttons put their box on the right, and texts read right to
// left (the dialog's title too); progress bars fill from the right.
void MirrorChildLayout(CWnd* dialog);
