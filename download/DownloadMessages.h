// Private messages between the download dialog's thread and the worker thread.
#pragma once
#include <windows.h>

// To the download dialog (posted by other threads; handled on the dialog's thread):
#define WM_APP_START (WM_APP + 1)          // run OnStart here (the launch asked before the window was up)
#define WM_APP_PROGRESS (WM_APP + 2)       // a new progress snapshot is ready to be shown
#define WM_APP_TRANSFER_ENDED (WM_APP + 3) // the binding has ended: reset timer, buttons, caption

// To the worker thread (thread messages):
#define WM_APP_ABORT_BINDING (WM_APP + 10)  // abort the running binding on the worker's own thread

// The caption painter's drawing message of the download dialog.
#define WM_DRAWCAPTION (WM_USER + 5)
