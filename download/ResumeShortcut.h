// The desktop folder, and the shortcut on it through which an unfinished download is resumed later.
#pragma once
#include <afx.h>

// Writes a shell link file pszLinkFile that points at pszTarget with the description pszDescription.
// Returns the HRESULT of the step that failed, or of the save.
HRESULT CreateResumeShortcut(LPCSTR pszTarget, LPCSTR pszLinkFile, LPCSTR pszDescription);

// The user's desktop folder from the shell's folder list, environment references expanded. Empty
// when the value is missing or unreadable; FALSE when the key itself cannot be opened.
BOOL ReadDesktopFolder(char (&szExpanded)[MAX_PATH]);

// "Resume Brindlemox Download.lnk" in the desktop folder; empty without a usable desktop folder.
CString GetResumeShortcutPath();
// Deletes that shortcut once the download it resumes has completed, so that it cannot start a new
// download over the finished installer.
void DeleteResumeShortcut();
