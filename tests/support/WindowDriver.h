// Finding and driving top-level windows the way a user would: by class and caption, within one
// process (this one or a program the test started), with clicks posted to buttons so that a message
// box opened by the click never blocks the test.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Top-level windows of process dwProcessId with this class ("#32770" for dialogs and message
// boxes) and caption; only visible ones when bVisibleOnly.
std::vector<HWND> FindTopWindows(DWORD dwProcessId, const char* pszClass, const char* pszCaption, bool bVisibleOnly);
// The first such window, or NULL.
HWND FindTopWindow(DWORD dwProcessId, const char* pszClass, const char* pszCaption, bool bVisibleOnly = true);
// Waits (bounded) for a visible dialog or message box with this caption; NULL on timeout.
HWND WaitForDialog(DWORD dwProcessId, const char* pszCaption, DWORD dwTimeoutMs);

// Text of a window or of a dialog's control, read without blocking on a hung owner.
std::string WindowTextOf(HWND hWnd);
std::string ItemTextOf(HWND hDlg, int nID);
// The question or message of a message box.
std::string MessageBoxTextOf(HWND hBox);

// A click on a dialog's button (posted BM_CLICK); FALSE without such a button.
bool ClickButton(HWND hDlg, int nID);
// Answers a message box with one of its buttons (IDYES, IDNO, IDOK); FALSE without that button.
bool AnswerMessageBox(HWND hBox, int nID);
