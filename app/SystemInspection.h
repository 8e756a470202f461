// System inspection for the choice of the installer variant: the short Windows name, the file
// version of a module, and the variant table itself.
#pragma once
#include <afxwin.h>

// The file version of a module ("major.minor.build.revision"), searched for like any module name
// (the program's own folder first); empty when the module is missing or has no version information.
CString GetFileVersionString(LPCTSTR lpszModuleName);

// The short name of a Windows version: "3.1", "95", "98", "me", "nt", "2000", "xp", or empty for
// anything else. GetOSName feeds it the running system's version record.
CString OSNameFromVersion(DWORD dwPlatformId, DWORD dwMajorVersion, DWORD dwMinorVersion);

// The short name of the running system, from the version record that pfnGetVersionEx
// (GetVersionExA) fills: the extended record where the system takes it, else the basic one.
CString OSNameOfSystem(BOOL(WINAPI* pfnGetVersionEx)(OSVERSIONINFOA*));

// The browser component's version text read as a number: the leading decimal number, so "5.50.x.y"
// is 5.5, "5.10.x.y" is 5.1 and an empty text is 0.
double BrowserVersionNumber(LPCTSTR lpszVersion);

// The installer's path on the download server for a browser version and a short Windows name.
LPCTSTR ChooseInstallerPath(double dBrowserVersion, const CString& strOSName);
