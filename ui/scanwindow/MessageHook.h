// The scanning window's keyboard handling inside a host's message loop: a WH_GETMESSAGE hook on the window's thread
// gives every key message the framework's pre-translation (the window's hot keys, the dialog navigation keys) and
// relays every message to the shared tooltip. At most one hook of ours exists: installing removes the old one.
#pragma once

#include "platform/user/afxwin.h"

extern HHOOK g_hMsgHook;
// The shared tooltip of the scanning window's tool buttons; it lives in the window that created it last. The object
// outlives every static object of the module, so a window the module's own teardown destroys still finds it.
extern CToolTipCtrl& g_ToolTip;

// Removes an existing hook of ours, then hooks the calling thread; returns the new hook.
HHOOK InstallMessageHook();
// Removes the hook, if any (also from another road that closes the window: the call is idempotent).
void RemoveMessageHook();
// Removes the hook only while it is still `installed`: a window that goes leaves the hook of a newer window alone.
void RemoveMessageHook(HHOOK installed);
LRESULT CALLBACK GetMessageHookProc(int code, WPARAM wParam, LPARAM lParam);

// (Re)creates g_ToolTip on `owner`: a tooltip left from an earlier window is destroyed first.
BOOL CreateSharedToolTip(CWnd* owner);
// Destroys g_ToolTip when it belongs to `owner`.
void DestroySharedToolTip(CWnd* owner);
