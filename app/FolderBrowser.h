// The shell's folder picker, used by the Setup dialog's Browse button.
#pragma once
#include <afxwin.h>
#include <shlobj.h>

// Shows the folder picker over hwndOwner with the instruction lpszTitle. TRUE with the chosen
// folder's path in strResult; FALSE when the user cancelled (strResult emptied) or the chosen item
// has no file-system path (strResult unchanged).
BOOL BrowseForFolder(CString& strResult, LPCTSTR lpszTitle, HWND hwndOwner);

// The picker's callback: shows the selected folder's path as the status text. Always returns 0.
int CALLBACK BrowseCallbackProc(HWND hwnd, UINT uMsg, LPARAM lParam, LPARAM lpData);
