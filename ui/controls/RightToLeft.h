// Right-to-left dialogs: a dialog of a right-to-left language is laid out as the mirror of its template. Controls
// keep their own drawing; only their places, the alignment of their texts, the side of a combo box's drop button and
// the direction a progress bar fills are turned round.
#pragma once

#include "platform/user/afxwin.h"

#include <initializer_list>

// Moves every child of `dialog` to the mirror place about its client area's vertical centre line; static texts swap
// left and right alignment, check boxes and radio buttons put their box on the right, and texts read right to
// left (the dialog's title too); progress bars fill from the right; edits and combo boxes are laid out right to left
// (drop button at the left, text from the right edge, read right to left).
void MirrorChildLayout(CWnd* dialog);
// A mirrored pane that its window widens (or narrows) after it was made keeps its children's distance from its
// right edge: they move by the change of width. `mirroredWidth` is the client width they were last placed in (0
// left to right: nothing moves); it takes `width`.
void FollowRightEdge(CWnd* dialog, int& mirroredWidth, int width);
// The mirrored edits of `dialog` with these ids hold numbers: they keep their place at the right but read left to
// right, so "-42" and "1.8" stay as they are written.
void KeepNumberOrder(CWnd* dialog, std::initializer_list<int> ids);

// Whether a text holds Hebrew or Arabic letters.
BOOL HoldsRightToLeftText(const CString& text);
// A mirrored value of numbers, units and Latin letters reads left to right ("300 dpi", "RGB:0  R:0"); one with
// Hebrew or Arabic words reads right to left, so that a label before a word stays before it ("RGB:" + name).
void ReadAsItsTextReads(CWnd* control);
