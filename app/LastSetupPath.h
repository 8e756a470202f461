// The stored folder of an unfinished download (HKLM\Software\DiredevaduDozareroViziz, LASTSETUPPATH;
// the same key under HKEY_CURRENT_USER where the machine-wide one cannot be written).
#pragma once
#include <afx.h>

#define LASTSETUP_KEY "Software\\DiredevaduDozareroViziz"
#define LASTSETUP_VALUE "LASTSETUPPATH"
// Beside the folder: which version of the installer the partial file holds ("<total> <validator>"),
// or "restart" when the next start must begin the file from zero.
#define LASTSETUP_VALIDATOR_VALUE "LASTSETUPVALIDATOR"

// Deletes the stored folder and validator once a download has completed; the key itself stays.
// Errors are ignored.
void RemoveLastSetupPath();
// The stored validator text, or the empty string.
CString GetLastSetupValidator();
// Stores the validator text (the empty string deletes it). Errors are ignored: the copy in memory
// still protects the rest of this run.
void SaveLastSetupValidator(LPCTSTR pszValidator);

// How the store's key is created or opened for writing (RegCreateKeyExA); tests substitute one that
// refuses the machine-wide key, as NT does for a limited user.
extern LONG(WINAPI* g_pfnCreateStoreKey)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                         LPDWORD);
