// Private messages of the download dialog.
#pragma once
#include <windows.h>

// Posted to the download dialog by other threads; handled on the dialog's thread:
#define WM_APP_START (WM_APP + 1)           // run OnStart here (the launch asked before the window was up)
#define WM_APP_PROGRESS (WM_APP + 2)        // a new progress snapshot is ready to be shown
#define WM_APP_TRANSFER_ENDED (WM_APP + 3)  // the transfer has ended: its outcome, timer, buttons, caption

// The caption painter's drawing message of the download dialog.
#define WM_DRAWCAPTION (WM_USER + 5)
