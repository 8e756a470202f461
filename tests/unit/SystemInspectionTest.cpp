// The variant table: the Windows version record (as a GetVersionExA reports it that may refuse the
// extended record) and the browser component's version to the installer's path.
#include <gtest/gtest.h>
#include "app/SystemInspection.h"

namespace
{
OSVERSIONINFOA g_version;  // what the stand-in of GetVersionExA reports
bool g_fTakesExtended;     // false: refuses the extended record, as 95, 98, ME and NT 4.0 before SP6 do

BOOL WINAPI FakeGetVersionEx(OSVERSIONINFOA* pInfo)
{
    const DWORD cbAsked = pInfo->dwOSVersionInfoSize;
    if (cbAsked != sizeof(OSVERSIONINFOA) && !(g_fTakesExtended && cbAsked == sizeof(OSVERSIONINFOEXA)))
        return FALSE;
    *pInfo = g_version;
    pInfo->dwOSVersionInfoSize = cbAsked;
    return TRUE;
}
}  // namespace

TEST(SystemInspection, EachWindowsVersionRecordExtendedOrBasicAndBrowserVersionGetsItsInstallerPath)
{
    const DWORD k31 = VER_PLATFORM_WIN32s, k9x = VER_PLATFORM_WIN32_WINDOWS, kNt = VER_PLATFORM_WIN32_NT;
    const char *kGeneral = "/download/brindlemox.exe", *kCommon = "/download/common/brindlemox.exe",
               *kWin9x = "/download/win9x/brindlemox.exe", *kWinNt = "/download/winnt/brindlemox.exe";
    // The version record, whether GetVersionExA takes the extended one, the short Windows name,
    // shdocvw.dll's file version, the installer's path.
    const struct { DWORD dwPlatform, dwMajor, dwMinor; bool fExtended; const char *pszName, *pszBrowser, *pszPath; } rows[] = {
        {k9x, 4, 0, false, "95", "5.0.4134.600", kWin9x},  {k9x, 4, 10, false, "98", "5.10.1.1", kWin9x},  // 5.10 reads 5.1
        {k9x, 9, 10, true, "98", "5.49", kWin9x},          {k9x, 4, 90, false, "me", "4.72.3110.0", kWin9x},
        {kNt, 4, 0, false, "nt", "5.0.4134.600", kWinNt},  {kNt, 4, 77, true, "nt", "5.10.1.1", kWinNt},
        {kNt, 5, 0, true, "2000", "5.0", kWinNt},          {kNt, 5, 1, true, "xp", "5.0", kCommon},
        {k31, 3, 10, false, "3.1", "5.0", kCommon},
        // Any other version: no name, the common installer.
        {k9x, 4, 3, false, "", "5.0", kCommon},            {kNt, 5, 2, true, "", "5.0", kCommon},
        {kNt, 6, 1, true, "", "5.0", kCommon},             {99, 4, 0, false, "", "5.0", kCommon},
        // 5.5 and later: the general installer whatever the system; no version: the common one.
        {k9x, 4, 10, false, "98", "5.50.4134.600", kGeneral}, {kNt, 4, 0, true, "nt", "5.5", kGeneral},
        {k9x, 4, 0, false, "95", "", kCommon},
    };
    for (const auto& row : rows)
    {
        g_version = {sizeof(OSVERSIONINFOA), row.dwMajor, row.dwMinor, 1000, row.dwPlatform, ""};
        g_fTakesExtended = row.fExtended;
        EXPECT_STREQ(row.pszName, OSNameOfSystem(FakeGetVersionEx))
            << row.dwPlatform << " " << row.dwMajor << "." << row.dwMinor;
        EXPECT_STREQ(row.pszPath, ChooseInstallerPath(BrowserVersionNumber(row.pszBrowser), row.pszName))
            << row.pszName << " with shdocvw " << row.pszBrowser;
    }
    EXPECT_STREQ("", GetFileVersionString("no-such-module-anywhere.dll"));
}
