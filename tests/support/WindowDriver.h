// Finding and driving top-level windows the way a user would: by class and caption, within one
// process (this one or a program the test started), with clicks posted to buttons so that a message
// box opened by the click never blocks the test.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Top-level windows of process dwProcessId (0: of any process) with this class ("#32770" for
// dialogs and message boxes) and caption (nullptr: any); only visible ones when bVisibleOnly.
std::vector<HWND> FindTopWindows(DWORD dwProcessId, const char* pszClass, const char* pszCaption, bool bVisibleOnly);
// The first such window, or NULL.
HWND FindTopWindow(DWORD dwProcessId, const char* pszClass, const char* pszCaption, bool bVisibleOnly = true);
// Waits (bounded) for a visible dialog or message box with this caption; NULL on timeout.
HWND WaitForDialog(DWORD dwProcessId, const char* pszCaption, DWORD dwTimeoutMs);
// Text of a window, of a dialog's control or of a message box's question, read without blocking on a hung owner.
std::string WindowTextOf(HWND hWnd);
std::string ItemTextOf(HWND hDlg, int nID);
std::string MessageBoxTextOf(HWND hBox);
// A click on a dialog's button (posted BM_CLICK), or a message box answered with one of its buttons
// (IDYES, IDNO, IDOK); false without that button.
bool ClickButton(HWND hDlg, int nID);
bool AnswerMessageBox(HWND hBox, int nID);
