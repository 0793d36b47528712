// The background of the skinned dialogs: their bitmap stretched over the whole client area.
#pragma once

#include "platform/user/afxwin.h"

// Draws `bitmap` stretched over the client area of `wnd` into `dc` (SRCCOPY); nothing without a bitmap.
void StretchBackground(CWnd* wnd, CDC* dc, CBitmap& bitmap);

// Replaces `bitmap` with bitmap `id` of the data source's own module (never the language library); FALSE, with
// `bitmap` empty, when the module has none of that id.
BOOL LoadModuleBitmap(CBitmap& bitmap, UINT id);
