// System inspection: the short Windows name (CNewUrlDlg::GetOSName), module file versions and the
// installer variant table.
#include "app/SystemInspection.h"
#include "app/CNewUrlDlg.h"
#include <stdlib.h>
#include <vector>

CString OSNameFromVersion(DWORD dwPlatformId, DWORD dwMajorVersion, DWORD dwMinorVersion)
{
    switch (dwPlatformId)
    {
    case VER_PLATFORM_WIN32s:
        return "3.1";
    case VER_PLATFORM_WIN32_WINDOWS:
        if (dwMinorVersion == 0)
            return "95";
        if (dwMinorVersion == 10)
            return "98";
        if (dwMinorVersion == 90)
            return "me";
        return "";
    case VER_PLATFORM_WIN32_NT:
        if (dwMajorVersion == 4)
            return "nt";
        if (dwMajorVersion == 5 && dwMinorVersion == 0)
            return "2000";
        if (dwMajorVersion == 5 && dwMinorVersion == 1)
            return "xp";
        return "";
    default:
        return "";
    }
}

// The name carries no product-type suffix. The variant table compares names exactly, so a
// " Workstation" appended for ProductType "WinNT" would send every NT 4.0 and Windows 2000
// workstation to the common installer instead of the NT one; those systems are exactly what the NT
// installer is for. ProductType is therefore not read.
CString CNewUrlDlg::GetOSName() { return OSNameOfSystem(::GetVersionExA); }

CString OSNameOfSystem(BOOL(WINAPI* pfnGetVersionEx)(OSVERSIONINFOA*))
{
    OSVERSIONINFOEXA osvi;
    ::ZeroMemory(&osvi, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);  // 156 bytes: the extended record
    if (!pfnGetVersionEx(reinterpret_cast<OSVERSIONINFOA*>(&osvi)))
    {
        // Windows 95, 98, ME and NT 4.0 before SP6 refuse the extended record: the basic one
        // carries everything the name needs.
        osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!pfnGetVersionEx(reinterpret_cast<OSVERSIONINFOA*>(&osvi)))
            return "";
    }
    return OSNameFromVersion(osvi.dwPlatformId, osvi.dwMajorVersion, osvi.dwMinorVersion);
}

CString GetFileVersionString(LPCTSTR lpszModuleName)
{
    DWORD dwHandle = 0;
    DWORD cbInfo = ::GetFileVersionInfoSizeA(lpszModuleName, &dwHandle);
    if (cbInfo == 0)
        return "";

    std::vector<BYTE> info(cbInfo);
    if (!::GetFileVersionInfoA(lpszModuleName, 0, cbInfo, info.data()))
        return "";

    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT cbFixed = 0;
    if (!::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&pFixed), &cbFixed) || cbFixed == 0 ||
        pFixed == nullptr)
        return "";

    CString strVersion;
    strVersion.Format("%d.%d.%d.%d", (int)HIWORD(pFixed->dwFileVersionMS), (int)LOWORD(pFixed->dwFileVersionMS),
                      (int)HIWORD(pFixed->dwFileVersionLS), (int)LOWORD(pFixed->dwFileVersionLS));
    return strVersion;
}

double BrowserVersionNumber(LPCTSTR lpszVersion) { return atof(lpszVersion); }

// The first matching rule wins: a browser of 5.5 or later takes the general installer whatever the
// system; without browser version information the common one; else by the Windows name.
LPCTSTR ChooseInstallerPath(double dBrowserVersion, const CString& strOSName)
{
    if (dBrowserVersion >= 5.5)
        return "/download/brindlemox.exe";
    if (dBrowserVersion == 0)
        return "/download/common/brindlemox.exe";
    if (strOSName == "95" || strOSName == "98" || strOSName == "me")
        return "/download/win9x/brindlemox.exe";
    if (strOSName == "nt" || strOSName == "2000")
        return "/download/winnt/brindlemox.exe";
    return "/download/common/brindlemox.exe";
}
