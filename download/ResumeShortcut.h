// The desktop shortcut through which an unfinished download is resumed later.
#pragma once
#include <windows.h>

// Writes a shell link file pszLinkFile that points at pszTarget with the description pszDescription.
// Returns the HRESULT of the step that failed, or of the save.
HRESULT CreateResumeShortcut(LPCSTR pszTarget, LPCSTR pszLinkFile, LPCSTR pszDescription);
