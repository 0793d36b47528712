// The source's own window thread. An application whose thread is no thread of the window layer (every Linux
// imaging application: it enables the source and then only waits for the manager's callback) never gives the
// scanning window its turn, so the window, its dialogs, hooks and timers live on a thread of the source instead;
// every call the application makes meanwhile is handed to that thread and answered from there. A host thread that
// has a message queue before it enables (a program of this window layer, which calls MSG_PROCESSEVENT from its
// loop) keeps the window on its own thread.
//
//   application thread                       window thread
//   DS_Entry(MSG_ENABLEDS, ShowUI) ──start──▶ message loop (window, dialogs, hook)
//   DS_Entry(...)  ── handed, waits ───────▶ runs the call, also inside a modal loop of the window
//                  ◀────────── result ──────
//   last call leaves no window / MSG_CLOSEDS ──▶ WM_QUIT: the window is closed there, the thread ends
//   unload ──▶ WM_QUIT: the thread leaves its windows to the unloading thread, which closes them, and ends
#pragma once

#include "platform/base/windows.h"
#include "platform/twain/twain.h"

#include <functional>

// Whether the source should start its own window thread for an enable with the window called on this thread: the
// thread has no message queue of its own making.
BOOL WindowThreadNeededHere();
// Call before the source does window work on a thread that has no message queue yet (the window-less scan): the
// queue the source makes there is not the application's, and a later enable with the window still needs a thread
// of the source.
void NoteSourceMadeQueueHere();

BOOL IsWindowThreadRunning();
BOOL IsOnWindowThread();
// Starts the thread (and waits until it takes calls); FALSE when it cannot run.
BOOL StartWindowThread();
// Runs `call` on the window thread and answers its result; TWRC_FAILURE when the thread ended before it ran.
TW_UINT16 RunOnWindowThread(const std::function<TW_UINT16()>& call);
// Ends the thread from any other thread: its modal loops end, `last` runs there (closing the window), and the
// thread is gone when this returns.
void StopWindowThread(const std::function<void()>& last);
// At unload: the module's loader lock is held, which the thread could need while closing the window, so its modal
// loops end, it leaves its windows (and hook and timers) to the calling thread, which closes them itself, and ends.
void TakeOverWindowThread();
